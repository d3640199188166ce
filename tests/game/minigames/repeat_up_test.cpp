// The stone-climbing minigame played through the runner: roles within each
// team whatever the participant numbers, a stone's 80-pixel move a press, a
// mismatched press that does nothing, the jump's arc and the change of side,
// the end above the top line, the heights compared truncated (equal: a
// draw), CPU teams of every pairing playing to the end, and a failed load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/minigames/repeat_up.h"
#include "game/minigames/minigame_screens.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

constexpr int32_t kRepeatUp = 27;

MinigameSeats Pairing(std::initializer_list<int> humans, const int32_t (&teams)[4]) {
  MinigameSeats seats = HumanSeats(humans);
  for (int p = 0; p < 4; ++p) seats.team[p] = teams[p];
  return seats;
}

std::vector<int32_t> Awards(const MinigameOutcome& out) { return {out.award[1], out.award[2], out.award[3], out.award[4]}; }

TEST(RepeatUp, StonesJumpsTheTopLineAndADraw) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // Participants 1 and 3 against 2 and 4, all human.
    h.SetStallLimit("RunMinigame", 3000);
    EnterMinigame(h, kRepeatUp, Pairing({1, 2, 3, 4}, {1, 2, 1, 2}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return RepeatUpPlayStep == 2; }, 400));
    // The first member of each team moves the stones, the second climbs.
    EXPECT_EQ(ParticipantTable[1].teamIndex, kStoneMover);
    EXPECT_EQ(ParticipantTable[3].teamIndex, kStoneClimber);
    EXPECT_EQ(ParticipantTable[2].teamIndex, kStoneMover);
    EXPECT_EQ(ParticipantTable[4].teamIndex, kStoneClimber);
    EXPECT_EQ(ParticipantTable[3].x, 106.0f);
    EXPECT_EQ(ParticipantTable[4].x, 426.0f);
    EXPECT_EQ(StoneTable[2].leftX, 426.0f);
    EXPECT_EQ(StoneTable[2].rightX, 532.0f);
    ASSERT_TRUE(h.Frames(10));
    EXPECT_EQ(ParticipantTable[3].y, 384.0f) << "standing on the left stone";
    EXPECT_EQ(RepeatUpSide(3), 2);

    // A press that does not match the climber's side does nothing.
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.Frames(8));
    EXPECT_EQ(StoneTable[1].leftY, 400.0f);
    EXPECT_EQ(StoneTable[1].rightY, 432.0f);
    EXPECT_EQ(RepeatUpRaised(1, 1), 0);
    EXPECT_EQ(RepeatUpRaised(1, 2), 0);

    // The matching press raises the far stone 80 pixels, 16 a frame.
    h.Tap(1, kButtonB);
    std::vector<float> stone;
    for (int i = 0; i < 7; ++i) {
      ASSERT_TRUE(h.Frame());
      stone.push_back(StoneTable[1].rightY);
    }
    EXPECT_EQ(stone, (std::vector<float>{416, 400, 384, 368, 352, 352, 352}));
    EXPECT_EQ(RepeatUpRaised(1, 2), 1);
    EXPECT_EQ(StoneTable[1].action, 0);

    // The climber jumps across with its side's button: -32 and 5 a frame
    // back, 12 pixels sideways, and lands on the raised stone.
    h.Tap(3, kButtonB);
    std::vector<float> steps, xs;
    for (int i = 0; i < 40 && (steps.empty() || StoneTable[3].action != 0); ++i) {
      ASSERT_TRUE(h.Frame());
      steps.push_back(ParticipantTable[3].reals[1]);
      xs.push_back(ParticipantTable[3].x);
    }
    EXPECT_EQ(std::vector<float>(steps.begin(), steps.begin() + 8),
              (std::vector<float>{-27, -22, -17, -12, -7, -2, 3, 8}));
    EXPECT_EQ(std::vector<float>(xs.begin(), xs.begin() + 10),
              (std::vector<float>{118, 130, 142, 154, 166, 178, 190, 202, 212, 212}));
    EXPECT_EQ(ParticipantTable[3].y, 336.0f);
    EXPECT_EQ(RepeatUpSide(3), 1) << "the next jump goes back left";
    EXPECT_EQ(RepeatUpRaised(1, 2), 0);

    // The other side's button jumps straight up and keeps the side.
    // (A frame of standing first: the button's latch is read again only
    // once the climber stands.)
    ASSERT_TRUE(h.Frame());
    h.Tap(3, kButtonB);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_LT(ParticipantTable[3].y, 336.0f);
    ASSERT_TRUE(h.RunUntil([] { return StoneTable[3].action == 0; }, 40));
    EXPECT_EQ(ParticipantTable[3].x, 212.0f);
    EXPECT_EQ(ParticipantTable[3].y, 336.0f);
    EXPECT_EQ(RepeatUpSide(3), 1);

    // Play ends in the frame a climber passes y -1000; team 1's is higher.
    ParticipantTable[3].y = -1004.0f;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(RepeatUpPlayStep, 2) << "-999 is not above the line";
    ParticipantTable[3].y = -1010.0f;
    StoneTable[3].jumpSpeed = 0.0f;
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(RepeatUpPlayStep, 3);
    h.RunUntil(MinigameEnded, 600);
    MinigameOutcome out = ReadMinigameOutcome();
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{10, 0, 10, 0}));
    EXPECT_EQ(std::vector<int>(out.won + 1, out.won + 5), (std::vector<int>{1, 0, 1, 0}));

    // The outcome on the climbers' heights, compared truncated.
    struct Case {
      float y3, y4;
      std::vector<int32_t> awards;
    };
    const Case cases[] = {
        {-1001.0f, 200.0f, {10, 0, 10, 0}},
        {300.0f, -1001.0f, {0, 10, 0, 10}},
        {-1001.2f, -1001.9f, {0, 0, 0, 0}},  // both -1001: a draw
        {-1001.0f, -1002.0f, {0, 10, 0, 10}},
    };
    for (const Case& c : cases) {
      for (int p = 1; p <= 4; ++p) ParticipantTable[p].award = 0, ParticipantTable[p].won = 0;
      ParticipantTable[3].y = c.y3;
      ParticipantTable[4].y = c.y4;
      RepeatUpOutcomeStep = 1;
      while (RepeatUpOutcome() == 0) {
      }
      EXPECT_EQ((std::vector<int32_t>{ParticipantTable[1].award, ParticipantTable[2].award, ParticipantTable[3].award,
                                      ParticipantTable[4].award}),
                c.awards)
          << c.y3 << " " << c.y4;
    }
  });
}

// Four CPU players climb to the top in every pairing, each team's first
// member moving the stones; the CPU rule is the same for both teams, so
// they arrive together.
TEST(RepeatUp, FourCpuPlayersFinishInEveryPairing) {
  RunGame({.seed = 11}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    const int32_t pairings[3][4] = {{1, 1, 2, 2}, {1, 2, 1, 2}, {1, 2, 2, 1}};
    for (const auto& teams : pairings) {
      MinigameOutcome out = PlayMinigame(h, kRepeatUp, Pairing({}, teams), 3000);
      ASSERT_TRUE(out.ended) << teams[1] << teams[2] << teams[3];
      // The two CPU teams climb in step: equal heights, a draw.
      EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 0, 0, 0}));
      for (int team = 1; team <= 2; ++team) {
        int32_t mover = FindTeamMember(team, 1), climber = FindTeamMember(team, 2);
        EXPECT_EQ(ParticipantTable[mover].teamIndex, kStoneMover);
        EXPECT_EQ(ParticipantTable[climber].teamIndex, kStoneClimber);
        EXPECT_LT(ParticipantTable[climber].y, -1000.0f);
      }
      EXPECT_EQ(RepeatUpEntryStep, 0);
    }
  });
}

TEST(RepeatUp, AMissingStoneEndsTheGameWithoutWinners) {
  RunGame({.hiddenMedia = {"mini/repeatup/要石.png"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, kRepeatUp, Pairing({}, {1, 2, 1, 2}), 600);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(RepeatUpEntryStep, 1) << "the next start loads again";
    EXPECT_EQ(Awards(out), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(KeystonePicture, -1);
    bool logged = false;
    for (const std::string& line : h.LogLines()) logged |= line.find("要石.png") != std::string::npos;
    EXPECT_TRUE(logged);
  });
}

}  // namespace
