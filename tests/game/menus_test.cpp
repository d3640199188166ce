// The title, the main menu and the options screen played through the real
// loop on the generated media: the blinking prompt, held input on the title,
// the menu's scroll and wrap-around and each entry's scene, the options'
// rows, the settings files on disk and the change of window mode.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/options_screen.h"
#include "game/shell/saved_files.h"
#include "game/shell/shared_media.h"
#include "game/shell/title_menu.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

#define START_GAME(h)                                                   \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"; \
  ASSERT_EQ((h).StartUp(), 0)

Bytes Words(std::initializer_list<uint32_t> words) {
  Bytes out;
  for (uint32_t w : words)
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(w >> (8 * i)));
  return out;
}

// A new press of the button on input record 1, and a frame with it released.
void Press(GameHarness& h, int button) {
  h.Tap(1, button);
  ASSERT_TRUE(h.Frames(2));
}

// ---------------------------------------------------------------- title

// Near-white pixels where "push any button" is drawn.
bool PromptShown(const GameHarness& h) {
  for (int y = 350; y < 376; y += 1)
    for (int x = 230; x < 410; x += 1) {
      uint32_t p = h.Pixel(x, y);
      if ((p >> 16 & 0xFF) > 240 && (p >> 8 & 0xFF) > 240 && (p & 0xFF) > 240) return true;
    }
  return false;
}

TEST(TitleScreen, ThePromptShows29FramesOfEvery61UntilAnyInput) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 1 && TitleStep == 3 && FadeInDone == 1; }, 40));
    EXPECT_GT(TitlePicture, 0);
    std::string shown;
    for (int i = 0; i < 183; ++i) {
      ASSERT_TRUE(h.Frame());
      shown += PromptShown(h) ? '1' : '0';
    }
    for (size_t start = 0; start + 61 <= shown.size(); ++start)
      ASSERT_EQ(std::count(shown.begin() + start, shown.begin() + start + 61, '1'), 29) << "from frame " << start;
    size_t on = shown.find("01") + 1;
    EXPECT_EQ(shown.substr(on, 30), std::string(29, '1') + "0");
    EXPECT_EQ(SceneState, 1) << "no input, no end";
    // Any input of any device: pad 3's button 7.
    h.HoldPad(3, 1u << 11, 1);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(TitleStep, 4);
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 2; }, 20));
    EXPECT_EQ(TitleStep, 0);
  });
}

TEST(TitleScreen, AButtonHeldOnEntryEndsItAtOnce) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    h.HoldButton(1, kButtonA, 5);
    ASSERT_TRUE(h.Frame());  // boot
    ASSERT_EQ(SceneState, 1);
    ASSERT_TRUE(h.Frames(4));  // steps 0, 1, 2, and the first frame of the prompt
    EXPECT_EQ(TitleStep, 4);
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 2; }, 30));
  });
}

// A missing title picture ends the program with exit code 1.
TEST(TitleScreen, AMissingPictureEndsTheProgram) {
  RunGame({.hiddenMedia = {"other/titleimage2.png"}}, [](GameHarness& h) {
    START_GAME(h);
    h.Frames(5);
    EXPECT_TRUE(h.exited());
    EXPECT_EQ(h.exitCode(), 1);
  });
}

// ---------------------------------------------------------------- main menu

void ToTheMenu(GameHarness& h) {
  ASSERT_TRUE(h.RunUntil([] { return SceneState == 1 && TitleStep == 3; }, 20));
  h.Tap(1, kButtonA);
  ASSERT_TRUE(h.RunUntil([] { return SceneState == 2 && MainMenuStep == 4; }, 120));
}

// One scroll of the menu, and a frame in which the list reads the released
// button (a latch is cleared only where the button is read released).
void Scroll(GameHarness& h, int button) {
  Press(h, button);
  ASSERT_TRUE(h.RunUntil([] { return MainMenuStep == 4; }, 20));
  ASSERT_TRUE(h.Frame());
}

// Scrolls the menu to the entry with down presses, then chooses it.
void Choose(GameHarness& h, int entry) {
  while (MainMenuCursor != entry) Scroll(h, kButtonDown);
  h.Tap(1, kButtonA);
  ASSERT_TRUE(h.RunUntil([] { return SceneState != 2; }, 120));
}

TEST(MainMenu, ScrollsIn11FramesWrapsAroundAndLeadsToEachScene) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    ToTheMenu(h);
    ASSERT_EQ(MainMenuCursor, 0);
    // Down: 11 frames of scrolling up, input unread meanwhile.
    h.Tap(1, kButtonDown);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MainMenuStep, 6);
    h.Tap(1, kButtonDown);  // during the scroll: not read
    for (int f = 1; f <= 10; ++f) {
      ASSERT_TRUE(h.Frame());
      EXPECT_EQ(MainMenuStep, 6) << "scroll frame " << f;
      EXPECT_EQ(MainMenuScroll, -3 * f);
    }
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MainMenuStep, 4);
    EXPECT_EQ(MainMenuCursor, 1);
    EXPECT_EQ(MainMenuScroll, 0);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(MainMenuStep, 4) << "the press during the scroll was not kept";
    // Up twice from ミニゲームモード: パーティモード, then ＥＸＩＴ; down wraps back.
    for (int expected : {0, 3}) {
      Scroll(h, kButtonUp);
      EXPECT_EQ(MainMenuCursor, expected);
    }
    Scroll(h, kButtonDown);
    EXPECT_EQ(MainMenuCursor, 0);
    // Up and A in one frame choose the current entry without scrolling.
    h.Tap(1, kButtonUp);
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MainMenuStep, 7);
    ASSERT_TRUE(h.RunUntil([] { return SceneState != 2; }, 120));
    EXPECT_EQ(SceneState, 4);
    EXPECT_EQ(MainMenuChoice, 1);
    EXPECT_EQ(MainMenuCursor, 0) << "kept between visits";
    // Minigame mode, then the options and back, then the exit.
    SceneState = 2;
    ASSERT_TRUE(h.RunUntil([] { return MainMenuStep == 4; }, 60));
    Choose(h, 1);
    EXPECT_EQ(SceneState, 4);
    EXPECT_EQ(MainMenuChoice, 2);
    SceneState = 2;
    ASSERT_TRUE(h.RunUntil([] { return MainMenuStep == 4; }, 60));
    Choose(h, 2);
    EXPECT_EQ(SceneState, 7);
    ASSERT_TRUE(h.RunUntil([] { return OptionsStep == 3 && FadeInDone == 1; }, 60));
    Press(h, kButtonB);  // to 戻る
    EXPECT_EQ(OptionsStep, 8);
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 2 && MainMenuStep == 4; }, 120));
    EXPECT_EQ(MainMenuCursor, 2);
    Scroll(h, kButtonDown);
    h.Tap(1, kButtonA);
    for (int f = 0; f < 120 && h.Frame(); ++f) {
    }
    EXPECT_TRUE(h.loopEnded()) << "ＥＸＩＴ ends the loop";
    EXPECT_EQ(SceneState, 15);
  });
}

// ---------------------------------------------------------------- options

// The options scene entered from boot, up to its first row.
void ToTheOptions(GameHarness& h) {
  ASSERT_TRUE(h.Frame());  // boot
  SceneState = 7;
  ASSERT_TRUE(h.RunUntil([] { return OptionsStep == 3 && FadeInDone == 1; }, 40));
}

// Leaves through 戻る (from any row) and waits for the scene's result.
void LeaveOptions(GameHarness& h) {
  Press(h, kButtonB);
  while (OptionsStep != 8) Press(h, kButtonDown);
  h.Tap(1, kButtonA);
  ASSERT_TRUE(h.RunUntil([] { return SceneState != 7; }, 60));
}

// The key-configuration screen given pad 3's buttons 1 to 9 for up, down,
// left, right, A, B, C, D, start, then confirmed with O.
void ConfigureWithPad3(GameHarness& h) {
  ASSERT_TRUE(h.RunUntil([] { return KeyConfigStep == 2; }, 10));
  for (int i = 0; i < 9; ++i) {
    h.HoldPad(3, 1u << (4 + i), 1);
    ASSERT_TRUE(h.Frames(2));
  }
  ASSERT_TRUE(h.RunUntil([] { return KeyConfigStep == 11; }, 10));
  h.HoldKey(0x18, 1);  // O
  ASSERT_TRUE(h.RunUntil([] { return OptionsSceneStep == 3; }, 10));
}

TEST(OptionsScreen, RowsVolumesAndKeysAreSavedByteForByteWhenLeft) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    ToTheOptions(h);
    const std::string optionFile = h.workDir() + "/option.dat";
    const std::string keyFile = h.workDir() + "/keyconfig.dat";
    // BGM: the scale's ends hold, each press moves one step.
    EXPECT_EQ(MusicVolumeIndex, 8);
    Press(h, kButtonRight);
    EXPECT_EQ(MusicVolumeIndex, 8);
    EXPECT_EQ(MusicVolume, 255);
    for (int expected : {7, 6, 5, 4, 3, 2, 1, 0, 0}) {
      Press(h, kButtonLeft);
      EXPECT_EQ(MusicVolumeIndex, expected);
      EXPECT_EQ(MusicVolume, VolumeSteps[expected]);
    }
    Press(h, kButtonRight);
    EXPECT_EQ(MusicVolume, 2);
    // SE, one step down; the effect sample plays while the row is chosen.
    Press(h, kButtonDown);
    EXPECT_EQ(OptionsStep, 4);
    Press(h, kButtonLeft);
    EXPECT_EQ(SoundEffectVolume, 125);
    // Window: left and right choose, nothing changes until the screen is left.
    Press(h, kButtonDown);
    EXPECT_EQ(OptionsStep, 5);
    Press(h, kButtonLeft);
    EXPECT_EQ(WindowModeChoice, 0);
    Press(h, kButtonRight);
    EXPECT_EQ(WindowModeChoice, 1);
    // 初期化 sets both volumes to full, then BGM goes down one step again.
    Press(h, kButtonDown);
    EXPECT_EQ(OptionsStep, 7);
    Press(h, kButtonA);
    EXPECT_EQ(MusicVolume, 255);
    EXPECT_EQ(SoundEffectVolume, 255);
    EXPECT_EQ(SoundEffectVolumeIndex, 8);
    Press(h, kButtonUp);
    Press(h, kButtonUp);
    Press(h, kButtonUp);
    EXPECT_EQ(OptionsStep, 3);
    Press(h, kButtonLeft);
    EXPECT_EQ(MusicVolume, 125);
    // keyconfig: the targets wrap both ways.
    Press(h, kButtonUp);
    Press(h, kButtonUp);
    EXPECT_EQ(OptionsStep, 6);
    EXPECT_EQ(KeyConfigTarget, 1);
    Press(h, kButtonLeft);
    EXPECT_EQ(KeyConfigTarget, 5);
    Press(h, kButtonRight);
    EXPECT_EQ(KeyConfigTarget, 1);
    // "Joypad初期化" resets the records in memory only.
    KeyConfigTable[3].a = 0x400;
    for (int i = 0; i < 4; ++i) Press(h, kButtonRight);
    EXPECT_EQ(KeyConfigTarget, 5);
    Press(h, kButtonA);
    EXPECT_EQ(KeyConfigTable[3].a, 16u);
    // Player 2's keys from pad 3, through the key-configuration screen.
    for (int i = 0; i < 2; ++i) Press(h, kButtonRight);
    EXPECT_EQ(KeyConfigTarget, 2);
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return OptionsSceneStep == 4; }, 5));
    ConfigureWithPad3(h);
    EXPECT_EQ(OptionsStep, 6) << "back on the keyconfig row";
    EXPECT_EQ(KeyConfigTable[2].device, 3u);
    EXPECT_FALSE(fs::exists(optionFile)) << "nothing is saved while the screen runs";
    EXPECT_FALSE(fs::exists(keyFile));
    LeaveOptions(h);
    EXPECT_EQ(SceneState, 2);
    EXPECT_EQ(ReadFileBytes(optionFile), Words({125, 255, 1}));
    Bytes keys;
    for (uint32_t r = 0; r < 5; ++r) {
      Bytes record = r == 2 ? Words({3, 0x10, 0x40, 0x80, 0x20, 0x100, 0x200, 0x400, 0x800, 0x1000})
                            : Words({r, 8, 2, 4, 1, 16, 32, 64, 128, 8192});
      keys.insert(keys.end(), record.begin(), record.end());
    }
    EXPECT_EQ(ReadFileBytes(keyFile), keys);
    EXPECT_FALSE(fs::exists(optionFile + ".tmp"));
    EXPECT_EQ(OptionsStep, 2);
    EXPECT_EQ(OptionsSceneStep, 2);
  });
}

TEST(OptionsScreen, LeavingTheKeyConfigurationWithEChangesNothing) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    ToTheOptions(h);
    for (int i = 0; i < 2; ++i) Press(h, kButtonUp);  // 戻る, keyconfig
    ASSERT_EQ(OptionsStep, 6) << "up from BGM wraps to 戻る";
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.RunUntil([] { return KeyConfigStep == 2; }, 10));
    h.HoldPad(4, 0x100, 1);
    ASSERT_TRUE(h.Frames(2));
    h.HoldKey(0x12, 1);  // E
    ASSERT_TRUE(h.RunUntil([] { return OptionsSceneStep == 3; }, 5));
    KeyConfigRecord record1 = DefaultKeyConfigRecord(1);
    EXPECT_EQ(0, memcmp(&KeyConfigTable[1], &record1, sizeof record1));
  });
}

// Started with full screen in "option.dat": the library falls back to a
// window, and choosing "window" switches the mode back in the game's eyes.
TEST(OptionsScreen, AWindowModeChangeGoesThroughSceneZeroWithTheTitleMusicAgain) {
  RunGame({.files = {{"option.dat", Words({255, 63, 0})}}}, [](GameHarness& h) {
    START_GAME(h);
    ASSERT_EQ(WindowModeFlag, 0u);
    ToTheMenu(h);
    uint32_t graphs = GraphHandleTable.count;
    Choose(h, 2);
    ASSERT_TRUE(h.RunUntil([] { return OptionsStep == 3 && FadeInDone == 1; }, 60));
    StopSoundHandle(MusicHandles[0]);
    Press(h, kButtonDown);
    Press(h, kButtonDown);
    ASSERT_EQ(OptionsStep, 5);
    EXPECT_EQ(WindowModeChoice, 0);
    Press(h, kButtonRight);
    std::vector<int> scenes;
    h.AddFrameHook([&](GameHarness&) { scenes.push_back(SceneState); });
    LeaveOptions(h);
    EXPECT_EQ(SceneState, 0);
    EXPECT_EQ(WindowModeFlag, 1u);
    EXPECT_EQ(ReadFileBytes(h.workDir() + "/option.dat"), Words({255, 63, 1}));
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 1 && TitleStep == 3; }, 10));
    EXPECT_EQ(CheckSoundHandle(MusicHandles[0]), 1) << "the title music plays again";
    EXPECT_EQ(GraphHandleTable.count, graphs) << "the images and the title picture were replaced, not added";
    EXPECT_TRUE(IsGraphHandleValid(TitlePicture));
  });
}

TEST(OptionsScreen, AFailedWindowModeChangeKeepsTheOldFlag) {
  RunGame({}, [](GameHarness& h) {
    // A display that cannot show the 640 x 480 screen at all.
    PlatformOfferScaledDisplayModes(false);
    START_GAME(h);
    if (HasDisplayMode(640, 480, 32) || HasDisplayMode(640, 480, 16)) GTEST_SKIP() << "full screen is possible here";
    ToTheOptions(h);
    Press(h, kButtonDown);
    Press(h, kButtonDown);
    Press(h, kButtonLeft);
    ASSERT_EQ(WindowModeChoice, 0);
    LeaveOptions(h);
    EXPECT_EQ(WindowModeFlag, 1u);
    EXPECT_EQ(ReadFileBytes(h.workDir() + "/option.dat"), Words({255, 255, 1}));
    bool logged = false;
    for (const std::string& line : h.LogLines()) logged |= line.find("ChangeWindowMode(0) に失敗") != std::string::npos;
    EXPECT_TRUE(logged);
    // The graphs are loaded again all the same, and the game goes on.
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 1 && TitleStep == 3; }, 10));
  });
}

TEST(OptionsScreen, AFailedReloadAfterAModeChangeEndsTheProgram) {
  const std::string loading = "circle/NowLoading_ver2.png";
  Bytes picture = ReadFileBytes(GeneratedMediaDir() + "/" + loading);
  RunGame({.files = {{"option.dat", Words({255, 255, 0})}, {"media/" + loading, picture}}}, [&](GameHarness& h) {
    START_GAME(h);
    ToTheOptions(h);
    fs::remove(h.workDir() + "/media/" + loading);
    Press(h, kButtonDown);
    Press(h, kButtonDown);
    Press(h, kButtonRight);
    Press(h, kButtonB);
    h.Tap(1, kButtonA);
    for (int f = 0; f < 60 && h.Frame(); ++f) {
    }
    EXPECT_TRUE(h.exited());
    EXPECT_EQ(h.exitCode(), -1);
  });
}

// ---------------------------------------------------------------- the settings files' writes

// The temporary file leads to a full device: the write fails at its flush.
TEST(SettingsFiles, AFailedWriteKeepsTheOldFileAndIsShownBeforeTheWait) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  RunGame({.pads = 0, .files = {{"option.dat", Words({1, 2, 3})}}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_EQ(symlink("/dev/full", (h.workDir() + "/option.dat.tmp").c_str()), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(WriteOptionFile(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ファイルオープンエラー\n");
    EXPECT_EQ(h.waitAnyInputCalls(), 1);
    EXPECT_EQ(ReadFileBytes(h.workDir() + "/option.dat"), Words({1, 2, 3})) << "the old file is whole";
    EXPECT_FALSE(fs::exists(h.workDir() + "/option.dat.tmp"));
    // The text was on the screen (the default font, white on black).
    int white = 0;
    for (int y = 228; y < 256; ++y)
      for (int x = 216; x < 420; ++x) white += h.Pixel(x, y) == 0xFFFFFF;
    EXPECT_GT(white, 20);
    // A file longer than the record is replaced whole.
    WriteFileBytes(h.workDir() + "/keyconfig.dat", Bytes(300, 0xAB));
    SetDefaultKeyConfig();
    ASSERT_EQ(WriteKeyConfigFile(), 0);
    EXPECT_EQ(ReadFileBytes(h.workDir() + "/keyconfig.dat").size(), 200u);
  });
}

}  // namespace
