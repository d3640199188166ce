// The gun-sight minigame, for the harness.
#include <string>

#include "game/minigames/gun_shooting.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(gun_shooting) {
  GAME_MACHINE(GunShootingMain, GunShootingStep);
  GAME_MACHINE(GunShootingPlay, GunShootingPlayStep);
  GAME_MACHINE(GunShootingOutcome, GunShootingOutcomeStep);
  GAME_VALUE(GunShootingCountdown);
  GAME_VALUE(GunShootingEmblemTurn);
  GAME_TEXT("GunProjectileTable", [] {
    return GunProjectileTable == nullptr
               ? std::string("none")
               : "table " + HexBytes(GunProjectileTable, kGunProjectiles * sizeof(GunProjectile));
  });
}
