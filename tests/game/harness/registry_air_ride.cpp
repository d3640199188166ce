// The air ride minigame, for the harness.
#include "game/minigames/air_ride.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(air_ride) {
  GAME_MACHINE(AirRideMain, AirRideStep);
  GAME_MACHINE(AirRidePlay, AirRidePlayStep);
  GAME_MACHINE(AirRideOutcome, AirRideOutcomeStep);
  GAME_VALUE(AirRideZoom);
  GAME_VALUE(AirRideTimer);
  GAME_VALUE(AirRideCellCount);
}
