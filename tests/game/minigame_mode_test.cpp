// Minigame mode: the three category pages built from the minigame table, the
// entry list's wrap-around, the page slide, the two team screens (the lone
// player never drawn twice in a row, the random partner), the teams handed
// to the minigame, and B back to the main menu.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "game/shell/minigame_mode.h"
#include "game/shell/minigame_table.h"
#include "game/shell/shared_media.h"
#include "tests/game/board_event_support.h"
#include "tests/game/minigame_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<int> PageNumbers(int page) {
  std::vector<int> out;
  for (const MinigameInfoRecord& entry : MinigamePickerPages[page])
    if (entry.number != 0) out.push_back(entry.number);
  return out;
}

// A new press of the button on the menu input, then a frame released.
void Press(GameHarness& h, int button) {
  h.Tap(1, button);
  ASSERT_TRUE(h.Frames(2));
}

// Boots, seats four players and enters minigame mode as the set-up does.
void EnterMinigameMode(GameHarness& h, bool withMedia = false) {
  if (withMedia) {
    ASSERT_EQ(h.StartUp(), 0);
  } else {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
  }
  ASSERT_TRUE(h.RunUntil([] { return SceneState == 1; }, 10));
  SeatPlayers({0, 1, 1, 1});
  h.SetStallLimit("RunMinigamePicker", 0);
  SceneState = 3;
  FadeInDone = 0;
  FadeLevel = 0;
  ASSERT_TRUE(h.RunUntil([] { return MinigamePickerStep == 5 && FadeInDone == 1; }, 40));
}

// The presses that lead from the picker to the next team screen: left, down
// and A; then, at step 3, right and A.
void PressOnToNextTeamScreen(GameHarness& h) {
  Press(h, kButtonLeft);
  Press(h, kButtonDown);
  Press(h, kButtonA);
  ASSERT_TRUE(h.RunUntil([] { return MinigamePickerStep == 3; }, 60));
  Press(h, kButtonRight);
  Press(h, kButtonA);
}

// The minigames have tests of their own: the runner goes from the
// explanation screen straight to the minigame's end.
void PassOverMinigamePlay(GameHarness& h) {
  h.AddFrameHook([](GameHarness&) {
    if (SceneState == 3 && MinigameRunnerStep == 4) MinigameRunnerStep = 7;
  });
}

std::vector<int> Teams() {
  std::vector<int> out;
  for (const PlayerRecord& r : PlayerTable) out.push_back(r.team);
  return out;
}

TEST(MinigameMode, PagesListTheMinigamesOfEachCategoryAndUpAtTheTopWraps) {
  RunGame({}, [](GameHarness& h) {
    EnterMinigameMode(h);
    EXPECT_EQ(PageNumbers(0), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(PageNumbers(1), (std::vector<int>{13, 14, 16, 17, 18, 19, 20, 21, 22, 31}));
    EXPECT_EQ(PageNumbers(2), (std::vector<int>{24, 25, 26, 27, 28, 29}));
    EXPECT_EQ(PickerEntryCursor, 0);
    Press(h, kButtonUp);
    EXPECT_EQ(PickerEntryCursor, 11);
    Press(h, kButtonDown);
    EXPECT_EQ(PickerEntryCursor, 0);

    // The page of category 2 slides to the front; its empty entries do nothing.
    Press(h, kButtonLeft);
    EXPECT_EQ(MinigamePickerStep, 3);
    Press(h, kButtonUp);
    EXPECT_EQ(PickerCategoryCursor, 2);
    Press(h, kButtonA);
    EXPECT_EQ(MinigamePickerStep, 4);
    ASSERT_TRUE(h.RunUntil([] { return MinigamePickerStep == 3; }, 60));
    EXPECT_EQ(PickerPageOrder[0], 2);
    EXPECT_EQ(PickerPageOrder[1], 0);
    EXPECT_EQ(PickerPageOrder[2], 1);
    EXPECT_EQ(PickerSlideOffset, 0);
    Press(h, kButtonRight);
    for (int i = 0; i < 6; ++i) Press(h, kButtonDown);
    EXPECT_EQ(PickerEntryCursor, 6);
    Press(h, kButtonA);
    EXPECT_EQ(MinigamePickerStep, 5) << "an empty entry";

    // B leaves for the main menu after the fade-out.
    Press(h, kButtonB);
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 2; }, 30));
    EXPECT_EQ(MinigamePickerStep, 2);
  });
}

TEST(MinigameMode, APageHoldsTwelveAndRowsWithoutAMinigameAreLeftOut) {
  std::string table = "number,name,category,group\n";
  for (int n = 1; n <= 14; ++n) table += std::to_string(n) + ",game" + std::to_string(n) + ",0,0\n";
  table += "0,,1,0\n15,nothing,1,0\n16,pump,1,0\n";
  RunGame({.files = {{"media/data/minidata.csv", Bytes(table.begin(), table.end())}}}, [](GameHarness& h) {
    EnterMinigameMode(h);
    EXPECT_EQ(PageNumbers(0), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(PageNumbers(1), (std::vector<int>{16}));
    EXPECT_EQ(std::string(MinigamePickerPages[1][0].name), "pump");
  });
}

TEST(MinigameMode, TeamScreensSetTheTeamsOfTheMinigame) {
  RunGame({.seed = 17}, [](GameHarness& h) {
    EnterMinigameMode(h);
    PressStartOnExplanation(h);
    PassOverMinigamePlay(h);
    PlayerTable[3].character = -1;  // no face on the team screens
    // Four each alone: no teams, whatever an earlier team game left.
    for (PlayerRecord& r : PlayerTable) r.team = 2;
    Press(h, kButtonDown);
    Press(h, kButtonA);
    EXPECT_EQ(MinigamePickerStep, 8);
    EXPECT_EQ(Teams(), (std::vector<int>{0, 0, 0, 0}));
    ASSERT_TRUE(h.RunUntil([] { return MinigameModeStep == 3; }, 30));
    EXPECT_EQ(PickerChosenNumber, 2);
    ASSERT_TRUE(h.RunUntil([] { return MinigamePickerStep == 5 && FadeInDone == 1; }, 200));

    // One against three: right and left move the lone player; D draws
    // another every time.
    PressOnToNextTeamScreen(h);
    ASSERT_EQ(MinigamePickerStep, 6);
    EXPECT_EQ(PickerAlonePlayer, 1);
    Press(h, kButtonLeft);
    EXPECT_EQ(PickerAlonePlayer, 4);
    Press(h, kButtonRight);
    EXPECT_EQ(PickerAlonePlayer, 1);
    std::vector<int> alone;
    for (int i = 0; i < 24; ++i) {
      int before = PickerAlonePlayer;
      Press(h, kButtonD);
      ASSERT_NE(PickerAlonePlayer, before);
      alone.push_back(PickerAlonePlayer);
    }
    EXPECT_EQ(std::set<int>(alone.begin(), alone.end()).size(), 4u);
    int lone = PickerAlonePlayer;
    Press(h, kButtonA);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(PlayerTable[p - 1].team, p == lone ? 1 : 2);
    EXPECT_EQ(PickerChosenNumber, 14) << "the entry cursor stays where it was";
    ASSERT_TRUE(h.RunUntil([] { return MinigamePickerStep == 5 && FadeInDone == 1; }, 200));

    // Two against two: D gives player 1 another partner every time.
    PressOnToNextTeamScreen(h);
    ASSERT_EQ(MinigamePickerStep, 7);
    EXPECT_EQ(std::vector<int>(PickerPairSlots + 1, PickerPairSlots + 5), (std::vector<int>{1, 2, 3, 4}));
    for (int i = 0; i < 12; ++i) {
      int before = PickerPairSlots[2];
      Press(h, kButtonD);
      ASSERT_NE(PickerPairSlots[2], before);
      std::vector<int> slots(PickerPairSlots + 1, PickerPairSlots + 5);
      EXPECT_EQ(slots[0], 1);
      EXPECT_EQ(std::set<int>(slots.begin(), slots.end()).size(), 4u);
      EXPECT_LT(slots[2], slots[3]);
    }
    Press(h, kButtonB);
    EXPECT_EQ(MinigamePickerStep, 5) << "B goes back to the list";
    Press(h, kButtonA);
    int partner = PickerPairSlots[2];
    Press(h, kButtonA);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(PlayerTable[p - 1].team, p == 1 || p == partner ? 1 : 2);
    EXPECT_EQ(PickerChosenNumber, 25);
  });
}

TEST(MinigameMode, AfterTheMinigameThePickerComesBackToTheTitleMusic) {
  RunGame({.seed = 18}, [](GameHarness& h) {
    EnterMinigameMode(h, true);
    PressStartOnExplanation(h);
    PassOverMinigamePlay(h);
    PlayBgmLooped(3);
    Press(h, kButtonDown);
    Press(h, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return MinigameModeStep == 3; }, 30));
    ASSERT_TRUE(h.RunUntil([] { return MinigameModeStep == 2; }, 600));
    EXPECT_EQ(CheckSoundHandle(MusicHandles[0]), 1);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[3]), 0);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[5]), 0) << "the minigame's music stopped";
    ASSERT_TRUE(h.RunUntil([] { return MinigamePickerStep == 5 && FadeInDone == 1; }, 40));
    EXPECT_EQ(PickerEntryCursor, 1) << "the picker keeps its cursors";
    EXPECT_EQ(SceneState, 3);
  });
}

}  // namespace
