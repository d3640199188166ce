// Whole parties of four CPU players, one per board map 1 to 4 on a fixed
// seed: the set-up, ten rounds with every minigame the board picks played
// through the real runner, the coin tally, the results and back to the main
// menu, every frame through the real main loop (see party_replay.h for how
// it is driven). Per round the autosave, the minigame type and number, the
// coins, stars and squares are checked against a golden dump; no coin or
// star count may go negative and no turn may take more than 20,000 frames.
//
// A missing golden file is written when ZR_WRITE_GOLDEN is set (then read
// it before committing it); otherwise the test fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/board/party_scene.h"
#include "game/board/turn_machine.h"
#include "game/shell/game_main.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/party_replay.h"
#include "tests/support/test_support.h"

namespace {

constexpr int kTurnFrameLimit = 20000;

std::string GoldenPath(int32_t map) {
  return std::string(ZR_SOURCE_DIR) + "/tests/game/golden/party_replay_map" + std::to_string(map) + ".txt";
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

std::string Standings() {
  std::string line;
  for (int p = 0; p < 4; ++p) {
    const PlayerRecord& r = PlayerTable[p];
    line += " p" + std::to_string(p + 1) + "=" + std::to_string(r.coins) + "c/" + std::to_string(r.stars) + "s@" +
            std::to_string(r.square);
  }
  return line;
}

// Plays the party and hands back its dump, one line per round start (the
// autosave's size and hash, the standings), per minigame (type, number) and
// the final standings; then the frames, the stall and the faults seen.
std::string PlayParty(uint32_t seed, int32_t map) {
  GameRunResult run = RunGame({.seed = seed, .pads = 1, .stallFrames = kTurnFrameLimit}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());  // boot: the tables
    party_replay::StartCpuParty(h, map, 10, /*draw=*/false);
    std::string dump, faults;
    const std::string file = h.workDir() + "/backup.dat";
    int turnFrames = 0, rounds = 0;
    int phaseFrames[11] = {};     // frames by the party scene's state
    int minigameFrames[40] = {};  // frames by minigame number
    int32_t lastPlayer = -1, lastTurn = -1;
    party_replay::PlayCpuParty(h, 200000, [&](int32_t before) {
      if (before >= 0 && before <= 10) ++phaseFrames[before];
      if (before == 6 && BoardMinigameNumber >= 0 && BoardMinigameNumber < 40) ++minigameFrames[BoardMinigameNumber];
      for (int p = 0; p < 4; ++p) {
        if (PlayerTable[p].coins < 0 || PlayerTable[p].stars < 0)
          faults += "frame " + std::to_string(h.frame()) + ":" + Standings() + "\n";
      }
      if (before == 3) {
        ++rounds;
        std::vector<uint8_t> bytes = ReadFileBytes(file);
        char hash[17];
        snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(bytes)));
        dump += "round " + std::to_string(rounds) + " turns left " + std::to_string(TurnsLeft) + " backup " +
                std::to_string(bytes.size()) + " " + hash + Standings() + "\n";
      }
      if (before == 5 && PartySceneState == 6)
        dump += "  minigame type " + std::to_string(MinigameType) + " number " +
                std::to_string(BoardMinigameNumber) + "\n";
      if (before == 7 && PartySceneState != 7) dump += "  tally" + Standings() + "\n";
      if (PartySceneState == 5 && TurnState != 0) {
        if (CurrentPlayer != lastPlayer || TurnIndex != lastTurn) turnFrames = 0;
        lastPlayer = CurrentPlayer;
        lastTurn = TurnIndex;
        if (++turnFrames == kTurnFrameLimit + 1)
          faults += "a turn of player " + std::to_string(CurrentPlayer) + " longer than 20000 frames\n";
      } else {
        lastPlayer = lastTurn = -1;
      }
    });
    dump += "end scene " + std::to_string(SceneState) + Standings() + "\n";
    h.Report(dump);
    std::string phases;
    for (int s = 0; s <= 10; ++s)
      if (phaseFrames[s] != 0) phases += " " + std::to_string(s) + ":" + std::to_string(phaseFrames[s]);
    phases += "; by minigame";
    for (int n = 0; n < 40; ++n)
      if (minigameFrames[n] != 0) phases += " " + std::to_string(n) + ":" + std::to_string(minigameFrames[n]);
    h.Report(std::to_string(h.frame()) + " frames (by party state" + phases + "); stall: " + h.stall() + "\n" +
             faults);
  });
  EXPECT_TRUE(run.completed);
  if (run.reports.size() != 2) return "";
  fprintf(stderr, "map %d: %s", map, run.reports[1].c_str());
  std::string status = run.reports[1];
  EXPECT_NE(status.find("stall: \n"), std::string::npos) << status;
  EXPECT_EQ(status.substr(status.find('\n') + 1), "") << "negative counts or long turns";
  return run.reports[0];
}

class PartyReplay : public ::testing::TestWithParam<int32_t> {};

TEST_P(PartyReplay, TenTurnsOfFourCpuPlayersFromTheSetUpToTheMenu) {
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
  const int32_t map = GetParam();
  const std::string dump = PlayParty(1000u + static_cast<uint32_t>(map), map);
  ASSERT_FALSE(dump.empty());
  std::ifstream in(GoldenPath(map));
  if (!in) {
    if (getenv("ZR_WRITE_GOLDEN") != nullptr) {
      std::ofstream(GoldenPath(map)) << dump;
      GTEST_SKIP() << "golden written: " << GoldenPath(map);
    }
    FAIL() << "no golden file " << GoldenPath(map) << "; the run gave:\n" << dump;
  }
  std::stringstream golden;
  golden << in.rdbuf();
  EXPECT_EQ(dump, golden.str());
  EXPECT_NE(dump.find("round 10 turns left 1"), std::string::npos) << "ten rounds";
  EXPECT_NE(dump.find("end scene 2"), std::string::npos) << "back to the main menu";
}

INSTANTIATE_TEST_SUITE_P(Maps, PartyReplay, ::testing::Values(1, 2, 3, 4),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                           return "Map" + std::to_string(info.param);
                         });

}  // namespace
