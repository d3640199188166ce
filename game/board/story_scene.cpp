// The spotlight scene.
#include "game/board/story_scene.h"

int32_t SpotlightSceneStep = 0;
int32_t SpotlightScenePictures[5] = {};
SpotlightBeam SpotlightBeams[3] = {};

// empty step: built with its module (the scene stays)
int RunSpotlightScene() { return 0; }
// empty step: built with its module
void MoveSpotlightBeam(SpotlightBeam*, int32_t) {}
// empty step: built with its module
void DrawSpotlightBeam(const SpotlightBeam&, int32_t, int32_t) {}
