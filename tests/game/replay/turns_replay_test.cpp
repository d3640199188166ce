// Whole rounds of turns of four CPU players on each board map 1 to 4: the
// turn machine from the first banner to the drum roll, every frame through
// the real main loop, under the stall watchdog. Every piece moves, forks are
// taken, and every landing effect of the map occurs in the rounds played
// (a seed plays rounds until all have occurred or a limit; then the next).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <ostream>
#include <set>
#include <string>

#include "game/board/dice_movement.h"
#include "game/board/landing_effects.h"
#include "game/board/turn_machine.h"
#include "game/shell/game_helpers.h"
#include "game/shell/shared_media.h"
#include "tests/game/turns_fixture.h"

namespace {

using namespace turns_fixture;

// What the rounds of one map showed.
struct MapReplay {
  std::set<int32_t> landings;  // square kinds landed on
  std::array<std::set<int32_t>, 4> squares;  // squares each player stood on
  int forks = 0;   // forks passed with two or more ways
  int rounds = 0;  // rounds played to their end
  int minigames = 0;
  int frames = 0;
  std::string stall;
};

int32_t ReplayStep = 0;
int32_t ReplayRounds = 0;
int32_t ReplayMinigame = 0;

void Reopen(int32_t square, int32_t target) {
  for (int32_t& link : SquareTable[square].link) {
    if (link == target) return;
  }
  for (int32_t& link : SquareTable[square].link) {
    if (link == 0) {
      link = target;
      return;
    }
  }
}

// The party scene's board part alone: the set-up, then rounds of the turn
// machine, with the closed passages of map 3 counted down at each round start.
int ReplayScene() {
  switch (ReplayStep) {
    case 0:
      while (SetUpBoard() != 1) {
      }
      ReplayStep = 1;
      return 0;
    case 1:
      if (PassageClosedRounds > 0 && --PassageClosedRounds == 0) {
        Reopen(6, 9);
        Reopen(47, 53);
      }
      ReplayStep = 2;
      return 0;
    default: {
      int32_t row = RunTurnMachine();
      if (row != 0) {
        ReplayMinigame = row;
        ++ReplayRounds;
        if (TurnsLeft > 1) --TurnsLeft;
        ReplayStep = 1;
      }
      return 0;
    }
  }
}

// Plays rounds of map on the seed until the landing kinds `wanted` have all
// occurred (with what earlier seeds showed) at the end of a round, or
// `maxRounds` have been played, adding what was seen to the replay.
void PlayRounds(uint32_t seed, int32_t map, const std::set<int32_t>& wanted, int maxRounds, MapReplay& replay) {
  GameRunResult run = RunGame({.seed = seed, .pads = 0}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    SetWaitVSync(0);  // frames without waiting for the display
    SetDrawClipArea(0, 0, 1, 1);  // the replay looks at the game's state, not at its pictures
    ASSERT_TRUE(h.Frame());
    CurrentMapId = map;
    LoadBoardSquares(map);
    SetPlayers({true, true, true, true});
    TotalTurns = TurnsLeft = 99;
    SceneHandlers[8] = &ReplayScene;
    SceneState = 8;
    std::set<int32_t> landings = replay.landings;
    std::array<std::set<int32_t>, 4> squares;
    std::set<int32_t> minigames;
    int forks = 0;
    int32_t lastForkState = 0;
    bool landed = false;
    auto covered = [&] {
      for (int32_t kind : wanted)
        if (landings.count(kind) == 0) return false;
      return true;
    };
    int32_t roundsSeen = 0;
    while (ReplayRounds < maxRounds && !h.ended()) {
      if (!h.Frame()) break;
      for (int p = 0; p < 4; ++p) squares[p].insert(PlayerTable[p].square);
      if (lastForkState == 2 && ForkState == 0 && ForkCandidates[1] != 0) ++forks;
      lastForkState = ForkState;
      if (TurnState == 6 && !landed) landings.insert(SquareTable[LandingSquare].kind);
      landed = TurnState == 6;
      if (ReplayRounds != roundsSeen) {
        roundsSeen = ReplayRounds;
        minigames.insert(ReplayMinigame);
        if (covered()) break;
      }
    }
    // Back to the test process, one line: kinds; squares per player; forks, rounds, minigames, frames; stall.
    std::string text;
    for (int32_t kind : landings) text += std::to_string(kind) + ",";
    text += ";";
    for (int p = 0; p < 4; ++p) {
      for (int32_t square : squares[p]) text += std::to_string(square) + ",";
      text += ";";
    }
    text += std::to_string(forks) + ";" + std::to_string(ReplayRounds) + ";" + std::to_string(minigames.size()) + ";" +
            std::to_string(h.frame()) + ";" + h.stall();
    h.Report(text);
  });
  ASSERT_TRUE(run.completed);
  ASSERT_EQ(run.reports.size(), 1u);
  // Parse the report.
  std::vector<std::string> fields;
  std::string field;
  for (char c : run.reports[0]) {
    if (c == ';') {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  ASSERT_EQ(fields.size(), 10u);
  auto numbers = [](const std::string& list) {
    std::set<int32_t> out;
    size_t at = 0;
    while (at < list.size()) {
      size_t comma = list.find(',', at);
      out.insert(std::stoi(list.substr(at, comma - at)));
      at = comma + 1;
    }
    return out;
  };
  for (int32_t kind : numbers(fields[0])) replay.landings.insert(kind);
  for (int p = 0; p < 4; ++p)
    for (int32_t square : numbers(fields[1 + p])) replay.squares[p].insert(square);
  replay.forks += std::stoi(fields[5]);
  replay.rounds += std::stoi(fields[6]);
  replay.minigames += std::stoi(fields[7]);
  replay.frames += std::stoi(fields[8]);
  if (replay.stall.empty()) replay.stall = fields[9];
}

struct MapCase {
  int32_t map;
  std::set<int32_t> effects;  // the landing kinds of the map that have an effect
};

void PrintTo(const MapCase& c, std::ostream* out) { *out << "map " << c.map; }

class TurnsReplay : public ::testing::TestWithParam<MapCase> {};

TEST_P(TurnsReplay, WholeRoundsOfFourCpuPlayers) {
  REQUIRE_MEDIA();
  const MapCase& c = GetParam();
  MapReplay replay;
  const uint32_t seeds[] = {101, 202, 303};
  const int kMaxRounds = 16;
  int played = 0;
  for (uint32_t seed : seeds) {
    PlayRounds(seed + static_cast<uint32_t>(c.map), c.map, c.effects, kMaxRounds, replay);
    ++played;
    bool all = true;
    for (int32_t kind : c.effects) all = all && replay.landings.count(kind) != 0;
    if (all || HasFatalFailure()) break;
  }
  EXPECT_EQ(replay.stall, "") << "no stall";
  EXPECT_GE(replay.rounds, played) << "rounds are played to their end";
  EXPECT_GT(replay.minigames, 0) << "each round ends with a minigame row";
  for (int32_t kind : c.effects) EXPECT_EQ(replay.landings.count(kind), 1u) << "landing kind " << kind;
  for (int p = 0; p < 4; ++p) EXPECT_GT(replay.squares[p].size(), 3u) << "player " << p + 1 << " moves";
  EXPECT_GT(replay.forks, 0);
  fprintf(stderr, "map %d: %d seed(s), %d rounds, %d frames, %d forks, landings", c.map, played, replay.rounds,
          replay.frames, replay.forks);
  for (int32_t kind : replay.landings) fprintf(stderr, " %d", kind);
  fprintf(stderr, "\n");
}

INSTANTIATE_TEST_SUITE_P(Maps, TurnsReplay,
                         ::testing::Values(MapCase{1, {2, 3, 4, 5, 6}}, MapCase{2, {2, 3, 4, 5, 6}},
                                           MapCase{3, {2, 3, 4, 5, 6}}, MapCase{4, {2, 3, 4, 5, 6, 7, 8}}),
                         [](const ::testing::TestParamInfo<MapCase>& info) {
                           return "Map" + std::to_string(info.param.map);
                         });

}  // namespace
