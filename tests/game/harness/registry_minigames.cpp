// The minigame runner, the explanation screen, the banners and the winner
// text, the participants, and the button-mashing minigame, for the harness.
#include <cstdio>
#include <string>

#include "game/minigames/minigame_runner.h"
#include "game/minigames/minigame_screens.h"
#include "game/minigames/participants.h"
#include "game/minigames/renda.h"
#include "tests/game/harness/game_registry.h"

namespace {

// Participants 1..4: character, team, place in team, CPU level, position,
// award, won flag and the minigame's integers.
std::string ParticipantsText() {
  std::string out;
  for (int p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    char line[200];
    snprintf(line, sizeof line, "%sp%d char %d team %d/%d cpu %d at (%g, %g) award %d won %d ints %d %d %d %d %d",
             p > 1 ? " | " : "", p, r.character, r.team, r.teamIndex, r.cpuLevel, r.x, r.y, r.award, r.won, r.ints[0],
             r.ints[1], r.ints[2], r.ints[3], r.ints[4]);
    out += line;
  }
  return out;
}

}  // namespace

GAME_REGISTRY(minigames) {
  // These rest at 2 between uses; before the first use they are 0.
  RegisterGameMachine("RunMinigame", "MinigameRunnerStep",
                      [] { return static_cast<int64_t>(MinigameRunnerStep == 0 ? 2 : MinigameRunnerStep); }, 2);
  GAME_MACHINE(ShowMinigameExplanation, ExplanationStep);
  RegisterGameMachine("ShowStartBanner", "StartBannerStep",
                      [] { return static_cast<int64_t>(StartBannerStep == 0 ? 2 : StartBannerStep); }, 2);
  RegisterGameMachine("ShowFinishBanner", "FinishBannerStep",
                      [] { return static_cast<int64_t>(FinishBannerStep == 0 ? 2 : FinishBannerStep); }, 2);
  RegisterGameMachine("ShowMinigameWinners", "WinnerTextStep",
                      [] { return static_cast<int64_t>(WinnerTextStep == 0 ? 2 : WinnerTextStep); }, 2);
  GAME_VALUE(ExplanationTextId);
  GAME_VALUE(ExplanationScreenshot);
  GAME_VALUE(StartBannerFrame);
  GAME_VALUE(FinishBannerFrame);
  GAME_VALUE(WinnerTextFrame);
  GAME_TEXT("Participants", ParticipantsText);
  GAME_TABLE(CpuWorkTable);

  GAME_MACHINE(RendaMain, RendaStep);
  // Left at 1 after a game; 0 before the first.
  RegisterGameMachine("RendaPlay", "RendaPlayStep",
                      [] { return static_cast<int64_t>(RendaPlayStep == 0 ? 1 : RendaPlayStep); }, 1);
  GAME_MACHINE(RendaOutcome, RendaOutcomeStep);
  GAME_VALUE(RendaCountdown);
  GAME_VALUE(RendaOutcomeWait);
  GAME_TABLE(RendaPartnerFrames);
}
