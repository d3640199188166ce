// The air ride minigame, for the harness.
#include "game/minigames/air_ride.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(air_ride) {
  GAME_MACHINE(AirRideMain, AirRideStep);
  GAME_MACHINE(AirRidePlay, AirRidePlayStep);
  // The outcome rests on step 1 once it has run (0 only before its first run).
  RegisterGameMachine("AirRideOutcome", "AirRideOutcomeStep",
                      [] { return static_cast<int64_t>(AirRideOutcomeStep == 0 ? 1 : AirRideOutcomeStep); }, 1);
  GAME_VALUE(AirRideZoom);
  GAME_VALUE(AirRideTimer);
  GAME_VALUE(AirRideCellCount);
}
