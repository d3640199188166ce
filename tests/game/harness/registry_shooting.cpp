// The versus shooting minigame, for the harness.
#include "game/minigames/shooting.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(shooting) {
  GAME_MACHINE(ShootingMain, ShootingStep);
  GAME_MACHINE(ShootingPlay, ShootingPlayStep);
  GAME_MACHINE(ShootingOutcome, ShootingOutcomeStep);
  GAME_VALUE(ShootingCountdown);
  GAME_VALUE(ShootingWaveTimer);
  GAME_TABLE(TeamLevel);
  GAME_TABLE(ShootingCpuDirection);
}
