// The set-up scene played by scripted presses: a party set up and started,
// minigame mode, going back, cancelling, and the restore prompt with good
// and damaged autosaves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "game/board/board_map.h"
#include "game/board/board_pictures.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/party_setup.h"
#include "game/shell/player_table.h"
#include "library/graphics/graph_handle.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/party_support.h"
#include "tests/support/test_support.h"

namespace {

#define REQUIRE_MEDIA() \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"

// A frame with every button released (the screen sees the release), a new
// press of the button on the record, and a frame with it released.
void Press(GameHarness& h, int record, int button) {
  ASSERT_TRUE(h.Frame());
  h.Tap(record, button);
  ASSERT_TRUE(h.Frames(2));
}

bool WaitFor(GameHarness& h, const std::function<bool()>& done) { return h.RunUntil(done, 300); }

// Screens are saved for a look when ZR_SETUP_SHOTS names a folder.
void Shot(GameHarness& h, const std::string& name) {
  if (const char* dir = getenv("ZR_SETUP_SHOTS")) h.SaveScreen(std::string(dir) + "/" + name + ".bmp");
}

// Scene 4 entered from the main menu in the mode.
void EnterSetup(int32_t mode) {
  MainMenuChoice = mode;
  SceneState = 4;
}

int32_t IntAt(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24);
}

std::string GoldenBackup() { return std::string(ZR_SOURCE_DIR) + "/tests/game/golden/backup_round.dat"; }

TEST(PartySetup, AScriptedSetUpReachesTheParty) {
  REQUIRE_MEDIA();
  RunGame({.seed = 4}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());
    EnterSetup(1);
    ASSERT_TRUE(WaitFor(h, [] { return HumanCountStep == 1; }));
    EXPECT_FALSE(std::filesystem::exists(h.workDir() + "/backup.dat"));
    EXPECT_NE(PartySetupSceneStep, 2) << "no backup: no prompt";
    ASSERT_TRUE(h.Frames(20));  // the fade-in
    Shot(h, "1-humans");
    Press(h, 1, kButtonRight);
    EXPECT_EQ(HumanCount, 2);
    Press(h, 1, kButtonA);
    EXPECT_EQ(PlayerTable[2].cpuFlag, 1);
    EXPECT_EQ(PlayerTable[1].cpuFlag, 0);
    ASSERT_TRUE(WaitFor(h, [] { return CharacterSelectStep == 2; }));
    EXPECT_EQ(CharacterCursor[1], 0);
    EXPECT_EQ(CharacterCursor[2], 2);
    Press(h, 1, kButtonRight);  // player 1: 0 -> 1
    EXPECT_EQ(CharacterCursor[1], 1);
    Press(h, 2, kButtonLeft);  // player 2: 2 -> 1 is held -> 0
    EXPECT_EQ(CharacterCursor[2], 0);
    Press(h, 2, kButtonLeft);  // 0 -> 2 (wrapping)
    Press(h, 2, kButtonLeft);  // 2 -> 1 held -> 0
    EXPECT_EQ(CharacterCursor[2], 0);
    Shot(h, "2-characters");
    Press(h, 1, kButtonA);
    Press(h, 2, kButtonA);
    EXPECT_EQ(PlayerTable[0].character, 1);
    EXPECT_EQ(PlayerTable[1].character, 0);
    ASSERT_TRUE(WaitFor(h, [] { return CharacterSelectStep == 4; }));
    EXPECT_EQ(ChoosingCpu, 3);
    EXPECT_EQ(CharacterCursor[3], 3) << "the first free character from its start";
    Press(h, 1, kButtonUp);  // the other row: 0 held, so its first free one: 2
    EXPECT_EQ(CharacterCursor[3], 2);
    Shot(h, "3-cpu");
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return CharacterSelectStep == 4 && ChoosingCpu == 4; }));
    EXPECT_EQ(CharacterCursor[4], 5);
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return TurnCountStep == 1; }));
    Press(h, 1, kButtonRight);
    Press(h, 1, kButtonRight);
    Shot(h, "4-turns");
    Press(h, 1, kButtonA);
    EXPECT_EQ(TotalTurns, 20);
    EXPECT_EQ(TurnsLeft, 20);
    ASSERT_TRUE(WaitFor(h, [] { return MapChoiceStep == 1; }));
    EXPECT_EQ(MapCursor, 1);
    Press(h, 1, kButtonLeft);
    EXPECT_EQ(MapCursor, 4) << "the list wraps within the playable maps";
    Press(h, 1, kButtonRight);
    Press(h, 1, kButtonRight);
    Shot(h, "5-map");
    Press(h, 1, kButtonA);
    EXPECT_EQ(CurrentMapId, 2);
    ASSERT_TRUE(WaitFor(h, [] { return ConfirmStep == 1; }));
    EXPECT_EQ(ConfirmCursor, 1);
    Press(h, 1, kButtonLeft);
    Shot(h, "6-confirm");
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return SetupStep == 9; }));
    ASSERT_TRUE(WaitFor(h, [] { return SceneState == 8; }));

    const int32_t characters[4] = {1, 0, 2, 5};
    const char* names[4] = {"ベルノーラ", "タヴィシャ", "クェンドリ", "ジュレール"};
    std::set<int32_t> distinct;
    for (int p = 0; p < 4; ++p) {
      EXPECT_EQ(PlayerTable[p].character, characters[p]) << p + 1;
      EXPECT_STREQ(PlayerTable[p].name, names[p]) << p + 1;
      EXPECT_EQ(PlayerTable[p].cpuFlag, p >= 2 ? 1 : 0);
      EXPECT_EQ(PlayerTable[p].cpuLevel, p >= 2 ? 1 : 0);
      distinct.insert(PlayerTable[p].character);
    }
    EXPECT_EQ(distinct.size(), 4u);
    EXPECT_EQ(MapChoice, 2);
    EXPECT_TRUE(IsGraphHandleValid(BoardPictures[1])) << "map 2's pictures";
    EXPECT_EQ(SquareTable[59].kind == kSquareWarp, true);
    // The party scene takes over: the board set up, the first autosave.
    PressThroughOpening(h);
    ASSERT_TRUE(h.RunUntil([] { return PartySceneState >= 5; }, 1500));
    EXPECT_EQ(PlayerTable[0].square, 1);
    EXPECT_NE(WarpPairs[0], 0);
    EXPECT_EQ(ReadFileBytes(h.workDir() + "/backup.dat").size(), 4140u);
  });
}

TEST(PartySetup, GoingBackCancellingAndMinigameMode) {
  REQUIRE_MEDIA();
  RunGame({.seed = 6, .files = {{"backup.dat", ReadFileBytes(GoldenBackup())}}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    // Minigame mode: no restore prompt, no turns or map.
    EnterSetup(2);
    ASSERT_TRUE(WaitFor(h, [] { return HumanCountStep == 1; }));
    Press(h, 1, kButtonRight);
    Press(h, 1, kButtonRight);
    Press(h, 1, kButtonRight);  // four humans
    Press(h, 1, kButtonRight);
    EXPECT_EQ(HumanCount, 4);
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return CharacterSelectStep == 2; }));
    EXPECT_EQ(CharacterCursor[3], 3);
    EXPECT_EQ(CharacterCursor[4], 5);
    Press(h, 3, kButtonDown);  // 3 -> 0 is held -> the first free of row 0: 1
    EXPECT_EQ(CharacterCursor[3], 1);
    Press(h, 4, kButtonUp);  // 5 -> 2 held -> 0 held, 1 held: stays... 2 is held by player 2
    EXPECT_EQ(CharacterCursor[4], 5) << "the whole other row is held";
    Press(h, 1, kButtonA);
    Press(h, 2, kButtonA);
    EXPECT_EQ(CharacterDecided[2], 1);
    // B by a confirmed player releases it; the set-up waits for it again.
    Press(h, 2, kButtonB);
    EXPECT_EQ(CharacterDecided[2], 0);
    EXPECT_EQ(PlayerTable[1].character, -1);
    EXPECT_EQ(CharacterSelectStep, 2);
    for (int p = 2; p <= 4; ++p) Press(h, p, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return ConfirmStep == 1; }));
    EXPECT_EQ(TurnCountStep, 0) << "no turn count in minigame mode";
    EXPECT_EQ(MapChoiceStep, 0);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(PlayerTable[p - 1].cpuFlag, 0) << "four humans, no CPU";
    // いいえ: back to the number of players, which clears the CPU flags again.
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return HumanCountStep == 1; }));
    EXPECT_EQ(HumanCount, 1);
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return CharacterSelectStep == 2; }));
    EXPECT_EQ(PlayerTable[3].cpuFlag, 1);
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return CharacterSelectStep == 4; }));
    // B at the first CPU: the human chooses again.
    Press(h, 1, kButtonB);
    ASSERT_TRUE(WaitFor(h, [] { return CharacterSelectStep == 2; }));
    EXPECT_EQ(CharacterDecided[1], 0);
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return CharacterSelectStep == 4; }));
    Press(h, 1, kButtonA);  // CPU 2
    ASSERT_TRUE(WaitFor(h, [] { return ChoosingCpu == 3 && CharacterSelectStep == 4; }));
    int32_t second = CharacterCursor[3];
    Press(h, 1, kButtonB);  // back to CPU 2, which is picked afresh
    ASSERT_TRUE(WaitFor(h, [] { return ChoosingCpu == 2 && CharacterSelectStep == 4; }));
    EXPECT_EQ(CharacterCursor[3], -1);
    EXPECT_EQ(CharacterCursor[2], 2);
    (void)second;
    for (int k = 0; k < 3; ++k) {
      Press(h, 1, kButtonA);
      ASSERT_TRUE(h.Frames(2));
    }
    ASSERT_TRUE(WaitFor(h, [] { return ConfirmStep == 1; }));
    Press(h, 1, kButtonLeft);
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return SceneState != 4; }));
    EXPECT_EQ(SceneState, 3) << "minigame mode";
    for (int p = 0; p < 4; ++p) EXPECT_EQ(PlayerTable[p].cpuLevel, p == 0 ? 0 : 1);

    // Cancelling at the number of players fades out with the farewell first.
    EnterSetup(1);
    ASSERT_TRUE(WaitFor(h, [] { return PartySetupSceneStep == 2; })) << "the golden backup is offered";
    Press(h, 1, kButtonA);  // いいえ
    ASSERT_TRUE(WaitFor(h, [] { return HumanCountStep == 1; }));
    Press(h, 1, kButtonB);
    EXPECT_EQ(SetupStep, 9);
    EXPECT_EQ(FadeOutRequest, 1);
    ASSERT_TRUE(WaitFor(h, [] { return SceneState != 4; }));
    EXPECT_EQ(SceneState, 2);
    EXPECT_EQ(PartyRestored, 0);
  });
}

TEST(PartySetup, TheRestorePromptOffersOnlyAValidBackup) {
  REQUIRE_MEDIA();
  const std::vector<uint8_t> golden = ReadFileBytes(GoldenBackup());
  ASSERT_EQ(golden.size(), 4140u);
  RunGame({.seed = 2}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());
    const std::string file = h.workDir() + "/backup.dat";
    auto damaged = [&](size_t at, uint8_t byte) {
      std::vector<uint8_t> b = golden;
      b[at] = byte;
      return b;
    };
    auto withWord = [&](size_t at, uint32_t word) {
      std::vector<uint8_t> b = golden;
      for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(word >> (8 * i));
      return b;
    };
    // The counts of player p: coins at 4 + 92p + 24, stars 4 bytes further.
    auto coinsAt = [](size_t p) { return 4 + 92 * p + 24; };
    // Counts at the bound are a party's; above it, none is.
    EXPECT_TRUE(IsBackupValid(withWord(coinsAt(1), kMostCoinsOrStars).data(), golden.size()));
    EXPECT_TRUE(IsBackupValid(withWord(coinsAt(4) + 4, kMostCoinsOrStars).data(), golden.size()));
    const std::vector<std::vector<uint8_t>> files = {
        std::vector<uint8_t>(golden.begin(), golden.end() - 1),  // short
        damaged(0, 0),                                           // no party saved
        damaged(464, 9),                                         // map 9
        damaged(472, 0),                                         // no turns left
        damaged(4 + 92 + 16, 7),                                 // character 7
        damaged(480 + 36 * 3 + 20, 200),                         // a link to 200
        {},                                                      // empty
        withWord(coinsAt(1), 0x7FFFFFFF),                        // coins a first gain overflows
        withWord(coinsAt(3), kMostCoinsOrStars + 1),
        withWord(coinsAt(2) + 4, kMostCoinsOrStars + 1),         // stars
        withWord(coinsAt(4) + 4, 0x7FFFFFFF),
    };
    for (size_t i = 0; i < files.size(); ++i) {
      WriteFileBytes(file, files[i]);
      EnterSetup(1);
      bool prompted = false;
      h.RunUntil(
          [&] {
            prompted = prompted || PartySetupSceneStep == 2;
            return HumanCountStep == 1;
          },
          50);
      EXPECT_FALSE(prompted) << "file " << i;
      Press(h, 1, kButtonB);
      ASSERT_TRUE(WaitFor(h, [] { return SceneState == 2; }));
    }
    // The good file: the prompt, and はい restores it.
    WriteFileBytes(file, golden);
    EnterSetup(1);
    ASSERT_TRUE(WaitFor(h, [] { return PartySetupSceneStep == 2; }));
    EXPECT_EQ(RestoreCursor, 1) << "the cursor starts at いいえ";
    Press(h, 1, kButtonLeft);
    EXPECT_EQ(RestoreCursor, 0);
    Press(h, 1, kButtonA);
    ASSERT_TRUE(WaitFor(h, [] { return SceneState == 8; }));
    EXPECT_EQ(PartyRestored, 1);
    EXPECT_EQ(CurrentMapId, 2);
    EXPECT_EQ(TotalTurns, 20);
    EXPECT_EQ(TurnsLeft, 17);
    EXPECT_TRUE(IsGraphHandleValid(BoardPictures[1])) << "the saved map's pictures";
    EXPECT_EQ(SquareTable[10].x, 330.0f) << "the saved squares over the loaded ones";
    unsigned char rebuilt[4140];
    BuildBackupBytes(rebuilt);
    EXPECT_EQ(std::vector<uint8_t>(rebuilt, rebuilt + 4140), golden);
    // The restored party starts at its round start: no set-up, no opening.
    ASSERT_TRUE(WaitFor(h, [] { return PartySceneState == 5; }));
    EXPECT_EQ(PlayerTable[0].coins, 10) << "the set-up did not run";
    EXPECT_EQ(PlayerTable[0].square, 6);
    EXPECT_EQ(IntAt(ReadFileBytes(h.workDir() + "/backup.dat"), 472), 17) << "the round start saved it again";
  });
}

}  // namespace
