// The spotlight scene (scene 11), for the harness.
#include "game/board/story_scene.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(story_scene) {
  GAME_MACHINE(RunSpotlightScene, SpotlightSceneStep);
  GAME_TABLE(SpotlightBeams);
}
