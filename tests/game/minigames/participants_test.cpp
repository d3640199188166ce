// The participant table, the team queries, the awards, the push chain and
// the record pools, on their own (no game).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "game/minigames/minigame_steps.h"
#include "game/minigames/participants.h"
#include "game/shell/player_table.h"
#include "library/core/random.h"

namespace {

void SetPlayers(std::initializer_list<int32_t> teams) {
  int p = 0;
  for (int32_t team : teams) {
    PlayerTable[p].character = 5 - p;
    PlayerTable[p].cpuLevel = p % 2;
    PlayerTable[p].team = team;
    ++p;
  }
}

std::vector<int32_t> TeamIndices() {
  std::vector<int32_t> out;
  for (int p = 1; p <= 4; ++p) out.push_back(ParticipantTable[p].teamIndex);
  return out;
}

// The order in which the reset's rejection draw picks participants 1..4.
std::vector<int32_t> DrawOrder(uint32_t seed) {
  SeedRandom(seed);
  std::vector<int32_t> order;
  while (order.size() < 4) {
    int32_t r = GetRandomNumber(3) + 1;
    if (std::find(order.begin(), order.end(), r) == order.end()) order.push_back(r);
  }
  return order;
}

TEST(ResetParticipants, ClearsTheTablesAndCopiesThePlayers) {
  for (ParticipantRecord& r : ParticipantTable) {
    memset(&r, 0x5A, sizeof r);
    r.phase = 7;
  }
  memset(CpuWorkTable, 0x5A, sizeof CpuWorkTable);
  SetPlayers({0, 0, 0, 0});
  SeedRandom(3);
  ResetParticipants();
  for (int i = 0; i < kParticipantRecords; ++i) {
    const ParticipantRecord& r = ParticipantTable[i];
    EXPECT_EQ(r.phase, 7) << "the phase byte is kept";
    EXPECT_EQ(r.x, -100.0f);
    EXPECT_EQ(r.y, -100.0f);
    EXPECT_EQ(r.award, 0);
    EXPECT_EQ(r.spare, 0);
    EXPECT_EQ(r.won, 0);
    for (float real : r.reals) EXPECT_EQ(real, 0.0f);
    for (int32_t v : r.ints) EXPECT_EQ(v, 0);
    EXPECT_EQ(r.bytes[0] | r.bytes[1], 0);
    EXPECT_EQ(r.words[0].i | r.words[1].i, 0);
    const CpuWorkRecord& w = CpuWorkTable[i];
    EXPECT_EQ(w.counter | w.value1 | w.value2 | w.flag, 0);
    EXPECT_EQ(w.value3, 1);
  }
  EXPECT_EQ(ParticipantTable[0].character, 0);
  for (int p = 1; p <= 4; ++p) {
    EXPECT_EQ(ParticipantTable[p].character, 5 - (p - 1));
    EXPECT_EQ(ParticipantTable[p].cpuLevel, (p - 1) % 2);
  }
}

TEST(ResetParticipants, DrawsThePlacesInsideEachTeam) {
  struct Case {
    std::initializer_list<int32_t> teams;
    const char* what;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, "four alone: a permutation of 1..4"},
      {{2, 1, 2, 2}, "one against three: the lone one 1, the three 1..3"},
      {{1, 2, 2, 1}, "two against two: 1 and 2 in each pair"},
  };
  for (const Case& c : cases) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
      SetPlayers(c.teams);
      std::vector<int32_t> order = DrawOrder(seed);
      SeedRandom(seed);
      uint64_t before = RandomDrawCount;
      ResetParticipants();
      std::vector<int32_t> expected(4);
      int32_t counters[3] = {1, 1, 1};
      for (int32_t p : order) expected[p - 1] = counters[ParticipantTable[p].team]++;
      ASSERT_EQ(TeamIndices(), expected) << c.what << ", seed " << seed;
      ASSERT_GE(RandomDrawCount - before, 4u);
    }
  }
  // The places themselves, for one seed each.
  SetPlayers({0, 0, 0, 0});
  SeedRandom(1);
  ResetParticipants();
  std::vector<int32_t> all = TeamIndices();
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<int32_t>{1, 2, 3, 4}));
  SetPlayers({2, 1, 2, 2});
  ResetParticipants();
  EXPECT_EQ(ParticipantTable[2].teamIndex, 1);
  std::vector<int32_t> three = {ParticipantTable[1].teamIndex, ParticipantTable[3].teamIndex,
                                ParticipantTable[4].teamIndex};
  std::sort(three.begin(), three.end());
  EXPECT_EQ(three, (std::vector<int32_t>{1, 2, 3}));
  SetPlayers({1, 2, 2, 1});
  ResetParticipants();
  EXPECT_EQ(ParticipantTable[1].teamIndex + ParticipantTable[4].teamIndex, 3);
  EXPECT_EQ(ParticipantTable[2].teamIndex + ParticipantTable[3].teamIndex, 3);
  // A team outside 0..3 (a damaged saved party) is counted apart.
  SetPlayers({9, 0, -4, 0});
  ResetParticipants();
  EXPECT_EQ(ParticipantTable[2].teamIndex + ParticipantTable[4].teamIndex, 3);
}

TEST(Teams, Queries) {
  struct Case {
    std::initializer_list<int32_t> teams;
    int32_t lone, firstOfTeamOne;
    int32_t mates[4];
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, 0, 0, {0, 0, 0, 0}},
      {{2, 2, 1, 2}, 3, 3, {2, 1, 0, 1}},
      {{1, 2, 2, 2}, 1, 1, {0, 3, 2, 2}},
      {{1, 2, 1, 2}, 0, 1, {3, 4, 1, 2}},
      {{1, 1, 1, 1}, 0, 1, {2, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    int p = 1;
    for (int32_t team : c.teams) ParticipantTable[p++].team = team;
    EXPECT_EQ(GetLoneParticipant(), c.lone);
    EXPECT_EQ(GetFirstTeamOneParticipant(), c.firstOfTeamOne);
    for (int q = 1; q <= 4; ++q) EXPECT_EQ(FindTeammate(q), c.mates[q - 1]) << "participant " << q;
  }
  EXPECT_EQ(FindTeammate(0), 0);
  EXPECT_EQ(FindTeammate(5), 0);

  // Two against two with places: 1 and 3 on team 1, 2 and 4 on team 2.
  const int32_t teams[5] = {0, 1, 2, 1, 2}, places[5] = {0, 2, 1, 1, 2};
  for (int q = 1; q <= 4; ++q) {
    ParticipantTable[q].team = teams[q];
    ParticipantTable[q].teamIndex = places[q];
  }
  EXPECT_EQ(FindParticipantByTeamIndex(0, 1, 1), 3);
  EXPECT_EQ(FindParticipantByTeamIndex(3, 1, 1), -1) << "the only one is skipped";
  EXPECT_EQ(FindParticipantByTeamIndex(0, 2, 2), 4);
  EXPECT_EQ(FindParticipantByTeamIndex(0, 2, 3), -1);
  EXPECT_EQ(GetParticipant(FindParticipantByTeamIndex(0, 2, 3)), nullptr) << "-1 reads no record";
  EXPECT_EQ(FindTeamMember(2, 1), 2);
  EXPECT_EQ(FindTeamMember(2, 2), 4);
  EXPECT_EQ(FindTeamMember(2, 3), 0);
  EXPECT_EQ(FindTeamMember(0, 1), 0);
  EXPECT_EQ(ParticipantPicture(0, 1), -1);
  ParticipantTable[1].character = -1;
  EXPECT_EQ(ParticipantPicture(1, 1), -1) << "no character";
  ParticipantTable[1].character = 2;
  EXPECT_EQ(ParticipantPicture(1, 39), -1);
}

TEST(Awards, HighestScoresTeamsAndSingles) {
  struct Case {
    int32_t scores[5];
    uint8_t won[5];
  };
  const Case cases[] = {
      {{0, 3, 7, 7, 1}, {0, 0, 1, 1, 0}},
      {{0, 0, 0, 0, 0}, {0, 1, 1, 1, 1}},
      {{0, 9, 2, 2, 2}, {0, 1, 0, 0, 0}},
      {{99, -5, -2, -9, -2}, {0, 0, 1, 0, 1}},
  };
  for (const Case& c : cases) {
    for (ParticipantRecord& r : ParticipantTable) r.award = r.won = 0;
    AwardHighestScores(c.scores, 10);
    for (int p = 0; p <= 4; ++p) {
      EXPECT_EQ(ParticipantTable[p].won, c.won[p]) << "participant " << p;
      EXPECT_EQ(ParticipantTable[p].award, c.won[p] ? 10 : 0);
    }
  }
  for (ParticipantRecord& r : ParticipantTable) r.award = r.won = 0;
  const int32_t teams[5] = {0, 1, 2, 2, 1};
  for (int p = 1; p <= 4; ++p) ParticipantTable[p].team = teams[p];
  AwardTeam(2, 10);
  AwardParticipant(4, 0);
  AwardParticipant(7, 10);
  EXPECT_EQ(ParticipantTable[2].award + ParticipantTable[3].award, 20);
  EXPECT_EQ(ParticipantTable[2].won & ParticipantTable[3].won, 1);
  EXPECT_EQ(ParticipantTable[4].won, 1) << "a win without coins";
  EXPECT_EQ(ParticipantTable[4].award, 0);
  EXPECT_EQ(ParticipantTable[1].won, 0);
}

// ---------------------------------------------------------------- push chain

// Bodies on one axis, 32 wide; a body that ends a move closer than 32 to
// another shoves the first such one 33 beyond it.
struct Axis {
  float position[5];
  float speed[5];
  std::vector<int32_t> moves;
};
Axis axis;

float AxisPosition(int32_t p) { return axis.position[p]; }
float AxisSpeed(int32_t p) { return axis.speed[p]; }
int32_t AxisMove(int32_t p) {
  axis.moves.push_back(p);
  axis.position[p] += axis.speed[p];
  axis.speed[p] = 0.0f;
  for (int32_t q = 1; q <= 4; ++q) {
    if (q == p) continue;
    float gap = axis.position[q] - axis.position[p];
    if (gap > -32.0f && gap < 32.0f) {
      axis.position[q] = axis.position[p] + 33.0f * ShoveSide(axis.position[p], axis.position[q], p, q);
      return q;
    }
  }
  return 0;
}
// Two bodies that always shove each other back.
int32_t StubbornMove(int32_t p) {
  axis.moves.push_back(p);
  return p == 1 ? 2 : 1;
}

TEST(PushChain, MovesFrontFirstAndShovesInAChain) {
  const PushChain chain = {AxisPosition, AxisSpeed, AxisMove, -99.0f, 999.0f, -64.0f, 640.0f};
  struct Case {
    float position[5];
    float speed[5];
    std::vector<int32_t> moves;
    float after[5];
    const char* what;
  };
  const Case cases[] = {
      {{0, 100, 120, 300, 500}, {0, 3, 0, 0, 0}, {1, 2, 4, 3}, {0, 103, 136, 300, 500},
       "the mover shoves the one ahead, which moves next; then the last standing one first"},
      {{0, 100, 134, 300, 500}, {0, 3, -3, 0, 0}, {1, 2, 1, 4, 3}, {0, 100, 133, 300, 500},
       "walking into each other: the one moving up the axis moves first, and each shoves the other back"},
      {{0, 198, 50, 200, 500}, {0, 2, 0, 0, 0}, {1, 3, 4, 2}, {0, 200, 50, 233, 500},
       "meeting at an equal position: the higher number is shoved up the axis"},
      {{0, 0, 300, 600, 300}, {0, 0, 1, 0, 1}, {2, 4, 3, 1}, {0, 0, 301, 600, 269},
       "equal positions: the lower number moves first"},
      {{0, 100, 300, 200, 400}, {0, -1, -2, 5, -4}, {3, 1, 2, 4}, {0, 99, 298, 205, 396},
       "no contact: up-movers by position, then down-movers from the smallest"},
  };
  for (const Case& c : cases) {
    memcpy(axis.position, c.position, sizeof axis.position);
    memcpy(axis.speed, c.speed, sizeof axis.speed);
    axis.moves.clear();
    RunPushChain(chain);
    EXPECT_EQ(axis.moves, c.moves) << c.what;
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(axis.position[p], c.after[p]) << c.what << ", participant " << p;
  }
  // A body out of every search range (off the screen) does not move; the pass still ends.
  const float offPosition[5] = {0, -200, 100, 200, 300}, offSpeed[5] = {0, 1, 0, 0, 0};
  memcpy(axis.position, offPosition, sizeof axis.position);
  memcpy(axis.speed, offSpeed, sizeof axis.speed);
  axis.moves.clear();
  RunPushChain(chain);
  EXPECT_EQ(axis.moves, (std::vector<int32_t>{4, 3, 2}));

  // Bodies that keep shoving each other back end the pass at the cap.
  const PushChain stubborn = {AxisPosition, AxisSpeed, StubbornMove, -99.0f, 999.0f, -64.0f, 640.0f};
  const float stillSpeed[5] = {};
  memcpy(axis.speed, stillSpeed, sizeof axis.speed);
  axis.moves.clear();
  EXPECT_EQ(RunPushChain(stubborn), kPushChainMovesPerPass);
  EXPECT_EQ(axis.moves.size(), static_cast<size_t>(kPushChainMovesPerPass));

  EXPECT_EQ(ShoveSide(10.0f, 20.0f, 3, 1), 1);
  EXPECT_EQ(ShoveSide(10.0f, 5.0f, 1, 3), -1);
  EXPECT_EQ(ShoveSide(10.0f, 10.0f, 1, 3), 1);
  EXPECT_EQ(ShoveSide(10.0f, 10.0f, 3, 1), -1);
}

TEST(RecordPool, TheFirstFreeRecordAndAFullPoolStartsNothing) {
  struct Ball {
    int32_t state;
    float x;
  };
  Ball pool[3] = {{1, 0}, {0, 0}, {0, 0}};
  EXPECT_EQ(FirstFreeRecord(pool, &Ball::state), &pool[1]);
  pool[1].state = 1;
  pool[2].state = 1;
  EXPECT_EQ(FirstFreeRecord(pool, &Ball::state), nullptr);
  EXPECT_EQ(FirstFreeRecord(pool, [](const Ball& b) { return b.x > 0.0f; }), nullptr);
  pool[2].x = 5.0f;
  EXPECT_EQ(FirstFreeRecord(pool, [](const Ball& b) { return b.x > 0.0f; }), &pool[2]);
}

TEST(StepDriver, NumberingsAndTheirNextSteps) {
  // Pattern A skips its unused step 8; pattern B its step 9.
  const int32_t nextA[] = {1, 2, 3, 4, 5, 6, 7, 9, 9, 10, 10};
  for (int32_t s = 0; s <= 10; ++s) EXPECT_EQ(NextMinigameStep(kMinigameStepsA, s), nextA[s]) << "A " << s;
  const int32_t nextB[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 10, 11, 11};
  for (int32_t s = 0; s <= 11; ++s) EXPECT_EQ(NextMinigameStep(kMinigameStepsB, s), nextB[s]) << "B " << s;
}

}  // namespace
