// The boss shooting minigame, for the harness.
#include "game/minigames/boss_shooting.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(boss_shooting) {
  GAME_MACHINE(BossShootingMain, BossShootingStep);
  GAME_MACHINE(BossShootingPlay, BossShootingPlayStep);
  GAME_MACHINE(BossShootingOutcome, BossShootingOutcomeStep);
  GAME_VALUE(BossShootingCountdown);
  GAME_VALUE(BossShootingBoss);
  GAME_VALUE(BossShootingHitPoints);
}
