// The river-crossing minigame, for the harness.
#include <cstdio>
#include <string>

#include "game/minigames/participants.h"
#include "game/minigames/river.h"
#include "tests/game/harness/game_registry.h"

namespace {

// Per participant: motion state, piece, rows, power and its phase, wind-up.
std::string RiverParticipantsText() {
  std::string out;
  for (int p = 1; p <= 4; ++p) {
    char line[200];
    snprintf(line, sizeof line, "%sp%d motion %d piece %d rows %d %d %d power %g/%d wind-up %d ground %d",
             p > 1 ? " | " : "", p, RiverMotion(p), RiverPiece(p), RiverRows[p][0], RiverRows[p][1], RiverRows[p][2],
             RiverPower(p), RiverPowerPhase(p), RiverWindUpCounter(p), RiverGround(p));
    out += line;
  }
  return out;
}

}  // namespace

GAME_REGISTRY(river) {
  GAME_MACHINE(RiverMain, RiverStep);
  GAME_MACHINE(RiverIntro, RiverIntroStep);
  GAME_MACHINE(RiverPlay, RiverPlayStep);
  GAME_MACHINE(RiverOutcome, RiverOutcomeStep);
  GAME_VALUE(RiverCourseLoaded);
  GAME_TABLE(RiverCourseOrder);
  GAME_TABLE(RiverRescues);
  GAME_VALUE(RiverCloudOffset);
  GAME_TEXT("RiverParticipants", RiverParticipantsText);
}
