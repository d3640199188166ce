// The pair-matching card minigame played through the runner: the deal, one
// card a participant, a mismatch left face up, a match freeing both members,
// the end and the awards; both decks cleared in one frame; the CPU's rhythm,
// memory and pick; four CPU players to the end; a failed load.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "game/minigames/minigame_screens.h"
#include "game/minigames/trump_memory.h"
#include "game/shell/input_mapping.h"
#include "library/core/random.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

constexpr int kTrumpMemory = 28;

MinigameSeats Pairs(const std::vector<int32_t>& levels) {
  MinigameSeats seats;
  const int32_t teams[4] = {1, 1, 2, 2};
  for (int i = 0; i < 4; ++i) {
    seats.team[i] = teams[i];
    seats.cpuLevel[i] = levels[i];
  }
  return seats;
}

// A new press of the button on p's record, then a frame without it.
void Press(GameHarness& h, int p, int button) {
  h.Tap(p, button);
  ASSERT_TRUE(h.Frame());
  ASSERT_TRUE(h.Frame());
}

void MoveTo(GameHarness& h, int p, int card) {
  for (int guard = 0; guard < 8; ++guard) {
    int x = static_cast<int>(ParticipantTable[p].x), y = static_cast<int>(ParticipantTable[p].y);
    if (x < card % 4) Press(h, p, kButtonRight);
    else if (x > card % 4) Press(h, p, kButtonLeft);
    else if (y < card / 4) Press(h, p, kButtonDown);
    else if (y > card / 4) Press(h, p, kButtonUp);
    else return;
  }
  ADD_FAILURE() << "participant " << p << " did not reach card " << card;
}

// The other card of the deck with the same face as card c.
int PairOf(const TrumpCard* deck, int c) {
  for (int i = 0; i < 16; ++i)
    if (i != c && deck[i].face == deck[c].face) return i;
  return -1;
}

TEST(TrumpMemory, PlayedThroughTheRunner) {
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // Team 2 are CPU players of level 2, who never act.
    EnterMinigame(h, kTrumpMemory, Pairs({0, 0, 2, 2}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return TrumpMemoryPlayStep == 2; }, 600));
    // Each deck holds two cards of each face, face down.
    for (const auto& deck : CardDeckTable) {
      int count[9] = {};
      for (const TrumpCard& card : deck) {
        ASSERT_TRUE(card.face >= 1 && card.face <= 8);
        ++count[card.face];
        EXPECT_EQ(card.present, 1);
        EXPECT_EQ(card.faceUp, 0);
      }
      for (int f = 1; f <= 8; ++f) EXPECT_EQ(count[f], 2) << f;
    }
    TrumpCard* deck = CardDeckTable[0];
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(TrumpHeldCard(p), -1);

    // Player 1 turns card 0 up; a second card stays down while it holds one.
    Press(h, 1, kButtonA);
    EXPECT_EQ(deck[0].faceUp, 1);
    EXPECT_EQ(TrumpHolding(1), 1);
    EXPECT_EQ(TrumpHeldCard(1), 0);
    MoveTo(h, 1, 1);
    Press(h, 1, kButtonA);
    EXPECT_EQ(deck[1].faceUp, 0) << "one card a participant";
    EXPECT_EQ(TrumpHeldCard(1), 0);

    // Player 2 turns up a card of another face: both stay up.
    int other = 1;
    while (deck[other].face == deck[0].face) ++other;
    MoveTo(h, 2, other);
    Press(h, 2, kButtonA);
    ASSERT_TRUE(h.Frames(30));
    EXPECT_EQ(deck[0].faceUp, 1);
    EXPECT_EQ(deck[other].faceUp, 1);
    EXPECT_EQ(deck[0].present + deck[other].present, 2);
    // Player 2 cannot turn down its teammate's card; each turns down its own.
    MoveTo(h, 2, 0);
    Press(h, 2, kButtonA);
    EXPECT_EQ(deck[0].faceUp, 1);
    EXPECT_EQ(TrumpHeldCard(2), other);
    MoveTo(h, 1, 0);
    Press(h, 1, kButtonA);
    EXPECT_EQ(deck[0].faceUp, 0);
    EXPECT_EQ(TrumpHolding(1), 0);
    EXPECT_EQ(deck[other].faceUp, 1);
    MoveTo(h, 2, other);
    Press(h, 2, kButtonA);
    EXPECT_EQ(deck[other].faceUp, 0);
    EXPECT_EQ(TrumpHeldCard(2), -1);

    // A match leaves the table (shown face up) and frees both members; the
    // last pair ends play in its frame.
    int pairs = 0;
    for (int c = 0; c < 16; ++c) {
      if (deck[c].present == 0) continue;
      int mate = PairOf(deck, c);
      MoveTo(h, 1, c);
      Press(h, 1, kButtonA);
      MoveTo(h, 2, mate);
      h.Tap(2, kButtonA);
      ASSERT_TRUE(h.Frame());
      ++pairs;
      EXPECT_EQ(deck[c].present + deck[mate].present, 0) << c;
      EXPECT_EQ(deck[c].faceUp + deck[mate].faceUp, 2) << c;
      EXPECT_EQ(TrumpHolding(1) + TrumpHolding(2), 0);
      EXPECT_EQ(TrumpHeldCard(1) + TrumpHeldCard(2), -2);
      if (pairs == 8) {
        EXPECT_EQ(TrumpMemoryPlayStep, 4) << "the last pair ends play";
        break;
      }
      EXPECT_EQ(TrumpMemoryPlayStep, 2);
      ASSERT_TRUE(h.Frame());
    }
    EXPECT_EQ(pairs, 8);
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 600));
    EXPECT_GT(WinnerTextFrame, 0) << "the winner text was shown";
    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 10, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 1, 0, 0}));
    // Level 2 CPU players never moved nor turned a card.
    for (int p = 3; p <= 4; ++p) EXPECT_EQ(ParticipantTable[p].x + ParticipantTable[p].y, 0.0f) << p;
    for (const TrumpCard& card : CardDeckTable[1]) EXPECT_EQ(card.faceUp, 0);
  });
}

// Four CPU players of level 1: moves one cell at a time, 11 to 16 frames
// apart; a card is remembered only after 60 face-up frames, as it is; the
// game ends (from three pairs left in each deck). The next game: both decks cleared in one frame go to team 1.
TEST(TrumpMemory, FourCpuPlayersAndBothDecksAtOnce) {
  RunGame({.seed = 8}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    struct Track {
      float x = 0, y = 0;
      int lastMove = -1;
    } track[5];
    int frame = 0, moves = 0, remembered = 0;
    int minGap = 1000, maxGap = 0;
    bool farMove = false, earlyMemory = false, wrongMemory = false;
    h.AddFrameHook([&](GameHarness&) {
      if (TrumpMemoryPlayStep != 2) return;
      // A shorter game: faces 1 to 5 already matched in both decks.
      if (frame++ == 0)
        for (auto& deck : CardDeckTable)
          for (TrumpCard& card : deck)
            if (card.face <= 5) card = {0, card.face, 1};
      for (int p = 1; p <= 4; ++p) {
        const ParticipantRecord& r = ParticipantTable[p];
        if (frame == 1) track[p] = {r.x, r.y, -1};
        if (r.x != track[p].x || r.y != track[p].y) {
          ++moves;
          if (std::abs(r.x - track[p].x) + std::abs(r.y - track[p].y) != 1.0f) farMove = true;
          if (track[p].lastMove >= 0) {
            int gap = frame - track[p].lastMove;
            minGap = std::min(minGap, gap);
            maxGap = std::max(maxGap, gap);
          }
          track[p] = {r.x, r.y, frame};
        }
        const TrumpCard* deck = CardDeckTable[r.team - 1];
        for (int i = 0; i < 16; ++i) {
          const TrumpMemoryEntry& e = CardMemoryTable[p][i];
          if (e.face == -1) continue;
          ++remembered;
          if (e.count < kTrumpRememberFrames || frame < kTrumpRememberFrames) earlyMemory = true;
          if (e.face != deck[i].face) wrongMemory = true;
        }
      }
    });
    MinigameOutcome out = PlayMinigame(h, kTrumpMemory, Pairs({1, 1, 1, 1}), 12000);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(h.stall(), "");
    EXPECT_GT(moves, 20);
    EXPECT_FALSE(farMove) << "one cell a move";
    EXPECT_GE(minGap, 11);
    EXPECT_GT(remembered, 0);
    EXPECT_FALSE(earlyMemory) << "remembered after 60 face-up frames";
    EXPECT_FALSE(wrongMemory);
    int won = 0;
    for (int team = 1; team <= 2 && won == 0; ++team) {
      bool cleared = true;
      for (const TrumpCard& card : CardDeckTable[team - 1]) cleared &= card.present == 0;
      if (cleared) won = team;
    }
    ASSERT_NE(won, 0);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p], ParticipantTable[p].team == won ? 10 : 0) << p;

    bool poked = false;
    h.AddFrameHook([&](GameHarness&) {
      if (TrumpMemoryPlayStep != 2 || poked) return;
      poked = true;
      for (auto& deck : CardDeckTable)
        for (TrumpCard& card : deck) card.present = 0;
    });
    out = PlayMinigame(h, kTrumpMemory, Pairs({1, 1, 1, 1}), 2000);
    ASSERT_TRUE(out.ended);
    EXPECT_TRUE(poked);
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 10, 0, 0}));
  });
}

// The CPU's action, its random draws replayed: the pacing draw, then the
// pick among the n cards it does not know (0 picks none, 1..n the r-th).
TEST(TrumpMemory, CpuPicksAmongTheCardsItDoesNotKnow) {
  for (int p = 1; p <= 4; ++p) {
    ParticipantTable[p].team = p <= 2 ? 1 : 2;
    ParticipantTable[p].cpuLevel = 1;
    ParticipantTable[p].x = ParticipantTable[p].y = 0.0f;
    TrumpHolding(p) = 0;
    TrumpHeldCard(p) = -1;
  }
  TrumpCard* deck = CardDeckTable[1];
  for (int i = 0; i < 16; ++i) {
    deck[i] = {1, i / 2 + 1, 0};
    CardMemoryTable[3][i] = {i / 2 + 1, 60};
  }
  // Cards 5 and 12 unknown, card 12 gone from the table: one candidate.
  for (int unknown : {5, 12}) CardMemoryTable[3][unknown] = {-1, 0};
  deck[12].present = 0;
  SeedRandom(77);
  int picked = 0, none = 0;
  for (int round = 0; round < 60; ++round) {
    TrumpCpuTarget(3) = -1;
    TrumpCpuPacing(3) = 20;
    RandomState before = Random;
    GetRandomNumber(5);
    int32_t r = GetRandomNumber(1);
    Random = before;
    TrumpMemoryCpu(3);
    EXPECT_EQ(TrumpCpuTarget(3), r == 1 ? 5 : -1) << round;
    EXPECT_EQ(TrumpCpuPacing(3), 0);
    (r == 1 ? picked : none) += 1;
  }
  EXPECT_GT(picked, 0);
  EXPECT_GT(none, 0);
  // With a target it walks one cell towards it per action, and turns it up
  // on arrival; while the pacing counter is below its draw it waits.
  TrumpCpuTarget(3) = 5;
  TrumpCpuPacing(3) = 0;
  TrumpMemoryCpu(3);
  EXPECT_EQ(TrumpMove(3), 5);
  EXPECT_EQ(TrumpCpuPacing(3), 1);
  TrumpCpuPacing(3) = 20;
  TrumpMemoryCpu(3);
  EXPECT_EQ(TrumpMove(3), 2) << "card 5 is in row 1";
  ParticipantTable[3].y = 1.0f;
  TrumpCpuPacing(3) = 20;
  TrumpMemoryCpu(3);
  EXPECT_EQ(TrumpMove(3), 6);
  ParticipantTable[3].x = 1.0f;
  TrumpCpuPacing(3) = 20;
  TrumpMemoryCpu(3);
  EXPECT_EQ(TrumpMove(3), 5);
  EXPECT_EQ(TrumpTurn(3), 1);
  // Levels 2 to 4 do nothing and draw nothing.
  ParticipantTable[4].cpuLevel = 3;
  TrumpCpuPacing(4) = 20;
  uint64_t draws = RandomDrawCount;
  TrumpMemoryCpu(4);
  EXPECT_EQ(RandomDrawCount, draws);
  EXPECT_EQ(TrumpMove(4), 5);
  EXPECT_EQ(TrumpTurn(4), 0);
}

TEST(TrumpMemory, AFailedLoadFreesThePicturesWithALogLine) {
  RunGame({.hiddenMedia = {"mini/trumpmemory/矢印_green.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, kTrumpMemory, Pairs({0, 1, 1, 1}), 600);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(WinnerTextStep, 0) << "no winner text";
    EXPECT_EQ(TrumpMemoryStep, 1) << "the next start loads again";
    EXPECT_EQ(TrumpBackPicture, -1);
    EXPECT_EQ(TrumpCursorPictures[2], -1);
    EXPECT_TRUE(h.LogHas("media\\mini\\trumpmemory\\矢印_green.png"));
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
  });
}

}  // namespace
