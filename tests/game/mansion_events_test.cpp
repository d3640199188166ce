// The mansion of map 2: the stone colour shop (5 coins, only after payment,
// a CPU's 2 chances in 11), the warp's 120 frames of travel and where it
// leaves the piece, the events met on the way, the master's fates, and the
// star destruction's price, victims and burst.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "game/board/board_map.h"
#include "game/board/dice_movement.h"
#include "game/board/mansion_events.h"
#include "game/board/party_scene.h"
#include "game/shell/shared_media.h"
#include "tests/game/board_event_support.h"

namespace {

// Map 2 as a new party finds it: the squares read and the warps paired.
void SetUpMansion() {
  CurrentMapId = 2;
  LoadBoardSquares(2);
  while (SetUpBoard() != 1) {
  }
}

// The human's answers: A on every page; at a choice, "no" is one press of
// down before A.
struct Answers {
  int player = 1;
  bool yes = true;
  bool movedDown = false;
};

// Answers a human event of the player: `choosing` tells whether the event's
// choice is on the screen.
void AnswerHuman(GameHarness& h, std::shared_ptr<Answers> answers, std::function<bool()> choosing) {
  PressFor(h, [answers, choosing] {
    if (!EventRunning() || EventPlayer != answers->player) return Press{};
    if (choosing() && !answers->yes && !answers->movedDown) {
      answers->movedDown = true;
      return Press{answers->player, kButtonDown};
    }
    return Press{answers->player, kButtonA};
  });
}

void Start(std::shared_ptr<Answers> answers, int (*event)(int32_t), int player, bool yes) {
  *answers = Answers{player, yes, false};
  StartEvent(event, player);
}

TEST(StoneColourShop, TakesFiveCoinsOnlyWhenPaidForAndEnough) {
  RunGame({.seed = 4}, [](GameHarness& h) {
    EnterEventScene(h);
    SetUpMansion();
    SeatPlayers({0, 1, 1, 1}, {12, 5, 40, 10});
    auto answers = std::make_shared<Answers>();
    AnswerHuman(h, answers, [] { return StoneShopState == 5; });

    Start(answers, RunStoneColourShop, 1, false);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(Coins(1), 12) << "declined";

    Start(answers, RunStoneColourShop, 1, true);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(Coins(1), 7) << "paid";

    PlayerTable[0].coins = 3;
    Start(answers, RunStoneColourShop, 1, true);
    ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
    EXPECT_EQ(Coins(1), 3) << "too few coins cost nothing";
    EXPECT_EQ(StoneShopState, 2) << "later visits skip the idle frames";

    // A CPU with exactly 5 coins never pays.
    for (int i = 0; i < 2; ++i) {
      StartEvent(RunCpuStoneColourShop, 2);
      ASSERT_TRUE(h.RunUntil(EventEnded, 1000));
      EXPECT_EQ(Coins(2), 5);
    }
    // A CPU with more pays when the draw of 0 to 10 is below 2.
    int paid = 0, visits = 0;
    while (visits < 11) {
      StartEvent(RunCpuStoneColourShop, 3);
      int before = Coins(3);
      bool predicted = false;
      while (!EventEnded()) {
        int state = CpuStoneShopState;
        bool pays = PeekRandom(10) < 2;
        ASSERT_TRUE(h.Frame());
        if (state == 4 && CpuStoneShopState == 5) predicted = pays;
      }
      EXPECT_EQ(Coins(3), predicted ? before - 5 : before) << "visit " << visits;
      paid += predicted ? 1 : 0;
      ++visits;
    }
    EXPECT_GT(paid, 0);
    EXPECT_LT(paid, visits);
  });
}

// The player on warp square `from`, the camera on the piece.
void StandOnWarp(int player, int from) {
  PlayerRecord& r = PlayerTable[player - 1];
  r.square = from;
  r.prevSquare = 0;
  r.x = SquareTable[from].x;
  r.y = SquareTable[from].y;
  MoveSquare = from;
  CameraX = r.x - 320;
  CameraY = r.y - 240;
}

TEST(WarpSquare, CarriesThePieceToItsPartnerOver120Frames) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    EnterEventScene(h);
    SetUpMansion();
    SeatPlayers({0, 1, 1, 1});
    // Fated already and no stars elsewhere: nothing is met on the way.
    FatedOneCountdown[1] = 1;
    int from = 59;
    int to = SquareTable[from].link[3];
    ASSERT_GE(to, 59);
    ASSERT_EQ(SquareTable[to].link[3], from);
    StandOnWarp(1, from);

    StartEvent(RunWarpSquare, 1);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(MoveSquare, to) << "the destination becomes the move's square at the start";
    EXPECT_EQ(PlayerTable[0].square, from) << "the piece stays until the travel ends";
    ASSERT_TRUE(h.RunUntil(EventEnded, 300));
    // Two idle frames on the first warp, the set-up, the draw, the speed,
    // 120 frames of travel and the last frame.
    EXPECT_EQ(EventCalls, 2 + 3 + 120 + 1);
    EXPECT_EQ(WarpEvent, 0);
    const PlayerRecord& r = PlayerTable[0];
    EXPECT_EQ(r.square, to);
    EXPECT_EQ(r.prevSquare, from) << "the movement does not walk straight back";
    EXPECT_EQ(r.x, SquareTable[to].x);
    EXPECT_EQ(r.y, SquareTable[to].y);
    // The camera has travelled to the destination (held on the board).
    float wantX = std::clamp(SquareTable[to].x - 320.0f, 0.0f, MapInfoTable[2].width - 640.0f);
    float wantY = std::clamp(SquareTable[to].y - 240.0f, 0.0f, MapInfoTable[2].height - 480.0f);
    EXPECT_NEAR(CameraX, wantX, 2.0f);
    EXPECT_NEAR(CameraY, wantY, 2.0f);

    StandOnWarp(1, to);
    StartEvent(RunWarpSquare, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 300));
    EXPECT_EQ(EventCalls, 3 + 120 + 1) << "later warps skip the idle frames";
    EXPECT_EQ(PlayerTable[0].square, from);

    // A warp square without a partner is passed like a path square.
    SquareTable[from].link[3] = 0;
    StandOnWarp(1, from);
    StartEvent(RunWarpSquare, 1);
    ASSERT_TRUE(h.Frame());
    EXPECT_TRUE(EventEnded());
    EXPECT_EQ(MoveSquare, from);
    EXPECT_EQ(PlayerTable[0].square, from);
  });
}

TEST(WarpSquare, MeetsTheMasterOnOneOrTwoAndTheStarDestroyerOnThreeOrFour) {
  RunGame({.seed = 9}, [](GameHarness& h) {
    EnterEventScene(h);
    SetUpMansion();
    SeatPlayers({1, 1, 1, 1}, {200, 10, 10, 10});
    PlayerTable[1].stars = 3;
    PlayerTable[2].stars = 2;
    std::set<int> met;
    for (int warp = 0; warp < 24; ++warp) {
      FatedOneCountdown[1] = 0;
      // From the 13th warp on, nobody else holds a star: no destruction.
      if (warp == 12) PlayerTable[1].stars = PlayerTable[2].stars = 0;
      int starsBefore = Stars(1) + Stars(2) + Stars(3) + Stars(4);
      int coinsBefore = Coins(1);
      StandOnWarp(1, 60);
      StartEvent(RunWarpSquare, 1);
      int expected = -1;
      while (!EventEnded()) {
        int state = WarpState;
        int r = PeekRandom(9) + 1;
        bool othersHoldStars = Stars(2) + Stars(3) + Stars(4) > 0;
        ASSERT_TRUE(h.Frame());
        ASSERT_LT(EventCalls, 2000);
        if (state == 3) expected = r <= 2 ? 1 : r <= 4 && othersHoldStars ? 2 : 0;
      }
      EXPECT_EQ(WarpEvent, expected) << "warp " << warp;
      met.insert(WarpEvent);
      if (WarpEvent == 1) {
        EXPECT_EQ(FatedOneCountdown[1], 2) << "a CPU's fate is always 2";
      }
      int starsAfter = Stars(1) + Stars(2) + Stars(3) + Stars(4);
      if (Coins(1) == coinsBefore - 30) {
        EXPECT_EQ(starsAfter, starsBefore - 1);
      } else {  // declined, or nothing met
        EXPECT_EQ(Coins(1), coinsBefore);
        EXPECT_EQ(starsAfter, starsBefore);
      }
      for (int p = 1; p <= 4; ++p) ASSERT_GE(Stars(p), 0);
    }
    EXPECT_TRUE(met.count(1) && met.count(2) && met.count(0));
  });
}

TEST(MasterMeeting, FixesTheFateAndTheRunsFirstMeetingClearsEveryFate) {
  RunGame({.seed = 2}, [](GameHarness& h) {
    EnterEventScene(h);
    SeatPlayers({0, 0, 1, 1});
    PressFor(h, [] { return EventRunning() && EventPlayer <= 2 ? Press{EventPlayer, kButtonA} : Press{}; });
    int32_t fates[5] = {0, 0, 2, 0, 1};
    memcpy(FatedOneCountdown, fates, sizeof fates);
    TurnsLeft = 2;
    StartEvent(RunMasterMeeting, 1);
    ASSERT_TRUE(h.RunUntil(EventEnded, 3000));
    EXPECT_EQ(FatedOneCountdown[1], 1) << "two turns left: the next roll";
    EXPECT_EQ(FatedOneCountdown[2], 0);
    EXPECT_EQ(FatedOneCountdown[4], 0) << "the first meeting of the run clears every fate";

    FatedOneCountdown[4] = 1;
    TurnsLeft = 5;
    StartEvent(RunMasterMeeting, 2);
    ASSERT_TRUE(h.RunUntil(EventEnded, 3000));
    EXPECT_EQ(FatedOneCountdown[2], 2);
    EXPECT_EQ(FatedOneCountdown[4], 1) << "later meetings clear nothing";

    TurnsLeft = 2;
    StartEvent(RunCpuMasterMeeting, 3);
    ASSERT_TRUE(h.RunUntil(EventEnded, 3000));
    EXPECT_EQ(FatedOneCountdown[3], 2) << "a CPU's fate is always 2";
    EXPECT_EQ(FatedOneCountdown[1], 1);
  });
}

TEST(StarDestruction, TheVictimIsDrawnAmongThePlayersWhoHoldAStar) {
  RunGame({.seed = 8}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    memset(PlayerTable, 0, sizeof PlayerTable);
    uint64_t draws = RandomDrawCount;
    EXPECT_EQ(DrawStarDestructionVictim(), 0) << "nobody holds a star";
    EXPECT_EQ(RandomDrawCount, draws);
    // Shares by stars: player 2 three quarters, player 4 one quarter.
    PlayerTable[1].stars = 3;
    PlayerTable[3].stars = 1;
    int count[5] = {};
    for (int i = 0; i < 400; ++i) ++count[DrawStarDestructionVictim()];
    EXPECT_EQ(count[0] + count[1] + count[3], 0);
    EXPECT_GT(count[2], 250);
    EXPECT_GT(count[4], 50);
    // The buyer's own stars count like everyone else's.
    memset(PlayerTable, 0, sizeof PlayerTable);
    PlayerTable[0].stars = 2;
    for (int i = 0; i < 20; ++i) EXPECT_EQ(DrawStarDestructionVictim(), 1);
  });
}

TEST(StarDestruction, ThirtyCoinsDestroyAStarAndTheBurstMarksTheVictimsPanel) {
  RunGame({.seed = 6}, [](GameHarness& h) {
    EnterEventScene(h, true);
    SeatPlayers({0, 1, 1, 1}, {40, 10, 29, 10});
    // Player 3 alone holds a star and has turn position 4: its panel is at
    // the bottom right.
    PlayerTable[2].stars = 2;
    PlayerTable[2].turnOrder = 4;
    PlayerTable[3].turnOrder = 3;
    auto answers = std::make_shared<Answers>();
    AnswerHuman(h, answers, [] { return StarDestructionState == 3; });

    Start(answers, RunStarDestruction, 1, false);
    ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
    EXPECT_EQ(Coins(1), 40) << "declined";
    EXPECT_EQ(Stars(3), 2);

    Start(answers, RunStarDestruction, 1, true);
    ASSERT_TRUE(h.RunUntil([] { return StarDestructionState == 7; }, 2000));
    EXPECT_EQ(Coins(1), 10) << "the price is taken at once";
    EXPECT_EQ(Stars(3), 1);
    EXPECT_EQ(StarDestructionVictim, 3);
    ASSERT_TRUE(h.Frames(2));  // the burst's second frame: radius 10 at alpha 240
    uint32_t centre = h.Pixel(464, 356);
    EXPECT_GT(centre >> 16 & 0xFF, 200u);
    EXPECT_GT(centre >> 8 & 0xFF, 90u);
    EXPECT_LT(centre & 0xFF, 60u) << std::hex << centre;
    SaveShot(h, "star_destruction_burst");
    ASSERT_TRUE(h.RunUntil(EventEnded, 2000));

    Start(answers, RunStarDestruction, 1, true);
    ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
    EXPECT_EQ(Coins(1), 10) << "too few coins cost nothing";
    EXPECT_EQ(Stars(3), 1);

    // A CPU needs 30 coins to order one.
    for (int i = 0; i < 3; ++i) {
      StartEvent(RunCpuStarDestruction, 3);
      ASSERT_TRUE(h.RunUntil(EventEnded, 2000));
      EXPECT_EQ(Coins(3), 29);
      EXPECT_EQ(Stars(3), 1);
    }
  });
}

}  // namespace
