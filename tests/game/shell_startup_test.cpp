// Start-up on the generated media: the first visible frame, the loading, the
// failures of each step, and the reload after a change of window mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/shell/game_main.h"
#include "game/shell/shared_media.h"
#include "game/shell/title_menu.h"
#include "library/graphics/graph_direct_load.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/mask_screen.h"
#include "library/text/font_handle.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/graphics/graph_compare.h"
#include "tests/support/test_support.h"

namespace {

#define REQUIRE_MEDIA() \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"

// Some pixel of the rectangle is not white.
bool DrawnIn(const GameHarness& h, int x1, int y1, int x2, int y2) {
  for (int y = y1; y < y2; y += 2)
    for (int x = x1; x < x2; x += 2)
      if (h.Pixel(x, y) != 0xFFFFFF) return true;
  return false;
}

TEST(GameStartUp, ShowsTheLogoAndLoadingPictureThenReachesTheTitleScene) {
  REQUIRE_MEDIA();
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    // The back screen still holds the first frame the user saw: the logo
    // centred on white, the loading picture at (300, 400).
    EXPECT_EQ(h.Pixel(2, 2), 0xFFFFFFu);
    EXPECT_EQ(h.Pixel(637, 2), 0xFFFFFFu);
    EXPECT_TRUE(DrawnIn(h, 280, 200, 360, 280)) << "the logo";
    EXPECT_TRUE(DrawnIn(h, 300, 400, 600, 464)) << "the loading picture";
    EXPECT_EQ(SceneState, 0);
    // Everything loaded; the start-up pictures are freed again.
    EXPECT_FALSE(IsGraphHandleValid(LogoPicture));
    EXPECT_FALSE(IsGraphHandleValid(LoadingPicture));
    for (int c = 0; c < kCharacterCount; ++c)
      for (int s = 0; s < kCharacterSlots; ++s) EXPECT_TRUE(IsGraphHandleValid(CharacterImageTable[c][s])) << c << "/" << s;
    for (int n = 1; n < 23; ++n) {
      if (n == 12) {
        EXPECT_EQ(EventPortraitTable[n], 0) << "portrait 12 is never loaded";
      } else {
        EXPECT_TRUE(IsGraphHandleValid(EventPortraitTable[n])) << n;
      }
    }
    EXPECT_NE(EventPortraitTable[2], EventPortraitTable[3]) << "one file, two independent handles";
    EXPECT_NE(SquarePictures[4], SquarePictures[7]);
    EXPECT_NE(OrnamentPictures[0], OrnamentPictures[1]);
    EXPECT_TRUE(IsGraphHandleValid(SlotTitlePicture));
    EXPECT_TRUE(IsGraphHandleValid(CharacterBackgroundPictures[5]));
    for (const SpriteRecord& letter : StartLetterSprites) EXPECT_TRUE(IsGraphHandleValid(letter.graph));
    EXPECT_TRUE(MaskScreenCreated);
    EXPECT_FALSE(MaskScreenEnabled);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SceneState, 1);
    ASSERT_TRUE(h.Frames(30));
    EXPECT_EQ(SceneState, 1) << "the title screen is the next module's";
    EXPECT_EQ(h.messageBoxes().size(), 0u);
  });
}

TEST(GameStartUp, EachFailingLoadEndsStartUpWithALogLineNamingTheFile) {
  REQUIRE_MEDIA();
  struct Case {
    const char* hidden;  // below media/
    int result;
    const char* logLine;  // Shift-JIS, as the log holds it
  };
  // The first file of each loader, so most runs stop early.
  const Case cases[] = {
      {"circle/サークルロゴ.png", -1, "media\\circle\\サークルロゴ.png に失敗しました"},
      {"circle/NowLoading_ver2.png", -1, "media\\circle\\NowLoading_ver2.png に失敗しました"},
      {"window/window_枠.png", -1, "media\\window\\window_枠.png の読み込みに失敗しました"},
      {"tavisha/face.png", -1, "media\\tavisha\\face.png の読み込みに失敗しました"},
      {"eventchar/ヴァシュテ.png", -1, "media\\eventchar\\ヴァシュテ.png の読み込みに失敗しました"},
      {"other/STARTver0.2.png", -1, "media\\other\\STARTver0.2.png の読み込みに失敗しました"},
      // The slot's pictures stop their own loading only (the tally's
      // backgrounds below likewise).
      {"sugoroku/other/spellslot/MagicSquare/タヴィシャ/外円.png", 0,
       "media\\sugoroku\\other\\spellslot\\MagicSquare\\タヴィシャ\\外円.png の読み込みに失敗しました"},
  };
  for (const Case& c : cases) {
    RunGame({.hiddenMedia = {c.hidden}}, [&](GameHarness& h) {
      EXPECT_EQ(h.StartUp(), c.result) << c.hidden;
      EXPECT_FALSE(h.exited()) << "start-up returns; it does not exit";
      if (c.logLine != nullptr) {
        EXPECT_TRUE(h.LogHas(c.logLine)) << c.hidden;
      }
      if (c.result == -1) {
        EXPECT_TRUE(h.LogHas("に失敗しました")) << c.hidden;
      }
    });
  }
  RunGame({.hiddenMedia = {"background/chara/odwyna.png"}}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    EXPECT_TRUE(h.LogHas("media\\background\\chara\\odwyna.png の読み込みに失敗しました"));
    EXPECT_TRUE(IsGraphHandleValid(CharacterBackgroundPictures[3]));
    EXPECT_EQ(CharacterBackgroundPictures[4], -1);
    EXPECT_EQ(CharacterBackgroundPictures[5], 0) << "the later ones stay unloaded";
  });
}

TEST(GameStartUp, LoadsTheSoundsAndBootPlaysTheTitleMusic) {
  REQUIRE_MEDIA();
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    for (int slot = 0; slot < 28; ++slot) EXPECT_EQ(CheckSoundHandle(SoundEffectHandles[slot]), 0) << slot;
    EXPECT_EQ(SoundEffectHandles[28], 0);
    EXPECT_EQ(SoundEffectHandles[29], 0);
    EXPECT_EQ(CheckSoundHandle(ExtraSoundHandle), 0);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[3]), 0);
    EXPECT_EQ(CheckSoundHandle(MusicHandles[0]), 0) << "silent until scene 0";
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(CheckSoundHandle(MusicHandles[0]), 1) << "the title music, looped";
    ASSERT_TRUE(h.Frames(120));
    EXPECT_EQ(CheckSoundHandle(MusicHandles[0]), 1);
  });
  for (const char* hidden : {"sound/SE/coin03.wav", "sound/BGM/Very Xmas.ogg"}) {
    RunGame({.hiddenMedia = {hidden}}, [&](GameHarness& h) {
      EXPECT_EQ(h.StartUp(), -1) << hidden;
      EXPECT_TRUE(h.LogHas("LoadSounds に失敗しました")) << hidden;
    });
  }
}

TEST(GameStartUp, ADamagedOptionFileIsNotedInTheLogAndGivesWindowMode) {
  REQUIRE_MEDIA();
  RunGame({.files = {{"option.dat", {1, 2, 3}}}}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    EXPECT_EQ(WindowModeFlag, 1u);
    EXPECT_TRUE(h.LogHas("option.dat が壊れています 初期設定を使います"));
  });
}

TEST(GameStartUp, WindowModeChangesReloadWithoutLeaking) {
  REQUIRE_MEDIA();
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frames(3));  // boot; the title's first step; its picture loaded
    uint32_t graphs = GraphHandleTable.count;
    uint32_t fonts = FontHandleTable.count;
    for (int32_t& font : FontHandlesBySize) EXPECT_TRUE(IsValidFontHandle(font));
    for (int32_t mode : {0, 1}) {
      // What the options screen does when it is left with a new mode (full
      // screen is taken on any display, scaled where it lacks the mode).
      ASSERT_EQ(ChangeWindowMode(mode), 0) << "mode " << mode;
      ASSERT_EQ(InitGame(), 0) << "mode " << mode;
      EXPECT_TRUE(IsValidFontHandle(FontHandle35));
      EXPECT_TRUE(MaskScreenCreated);
      EXPECT_FALSE(MaskScreenEnabled);
      EXPECT_TRUE(IsGraphHandleValid(ItemIcons[39]));
      EXPECT_TRUE(IsGraphHandleValid(CharacterImageTable[5][38]));
      // Back through scene 0 to the title from its start, as leaving the
      // options does.
      SceneState = 0;
      TitleStep = 0;
      ASSERT_TRUE(h.Frames(2));
      EXPECT_EQ(SceneState, 1);
      // The new screen dropped every graph and font: InitGame loaded the
      // game's again and the title its picture, none twice. (The library's
      // on-screen log font is not made again, so fonts may be one fewer.)
      ASSERT_TRUE(h.RunUntil([] { return TitleStep == 3; }, 10));
      ASSERT_TRUE(h.Frames(2));
      EXPECT_EQ(GraphHandleTable.count, graphs) << "mode " << mode;
      EXPECT_LE(FontHandleTable.count, fonts) << "mode " << mode;
      for (int32_t font : FontHandlesBySize) EXPECT_TRUE(IsValidFontHandle(font));
      EXPECT_TRUE(IsValidFontHandle(FontHandle30));
      EXPECT_TRUE(IsValidFontHandle(FontHandle30Type2));
    }
  });
}

// What a start-up left: the log from the end of the library's start-up on,
// then every graph, slot by slot: its handle and a digest of everything
// drawing reads of it (size, place, file name, format, palette, pixels).
std::string StartUpRecord(const GameHarness& h) {
  std::string record;
  bool game = false;
  for (const std::string& line : h.LogLines()) {
    if (game) record += line + "\n";
    if (line.find("文字コードバッファの初期化") != std::string::npos) game = true;
  }
  for (uint32_t slot = 0; slot < GraphHandleTable.top; ++slot) {
    if (GraphHandleTable.records[slot] == nullptr) continue;
    const ObjectHandle handle = GraphHandleTable.HandleAt(slot);
    std::string parts;
    for (auto [label, bytes] : DescribeGraph(handle, false)) {
      // The path below the working folder, which each run has of its own.
      if (label == "file name" && bytes.find("media\\") != std::string::npos) bytes.erase(0, bytes.find("media\\"));
      parts += label + ":" + bytes + ";";
    }
    record += std::to_string(handle) + " " + std::to_string(std::hash<std::string>{}(parts)) + "\n";
  }
  return record;
}

TEST(GameStartUp, PicturesDecodedAheadLeaveTheLogHandlesAndPixelsOfLoadsOneAtATime) {
  REQUIRE_MEDIA();
  // Besides the pictures that go straight into their graphs: one cut short
  // (its loader stops, the slot's other pictures are listed but never
  // loaded), an interlaced one, one with an alpha image beside it, and a
  // bitmap under a PNG name.
  PngLayout interlaced = GreyLayout(64, 48, 1);
  interlaced.interlaced = true;
  Bytes cut = MakePng(GreyLayout(40, 40, 2));
  cut.resize(cut.size() - 20);
  BmpLayout bitmap;
  bitmap.width = 12;
  bitmap.height = 10;
  bitmap.pixels = PackRows(12, 10, 24, false, [](int x, int y) { return Hash(x, y, 3) & 0xFFFFFF; });
  GameOptions options;
  options.files = {
      {"media/sugoroku/other/spellslot/MagicSquare/ファリッセ/内円.png", cut},
      {"media/background/汎用背景02.png", MakePng(interlaced)},
      {"media/other/矢印.png", MakePng(GreyLayout(24, 16, 4))},
      {"media/other/矢印_a.png", MakePng(GreyLayout(24, 16, 5))},
      {"media/other/点.png", MakeBmp(bitmap)},
  };
  struct Mode {
    const char* name;
    int32_t directOff, threads;
  };
  const Mode modes[] = {{"the whole image, then the graph", 1, 0}, {"decoded ahead by three threads", 0, 3}};
  std::vector<std::string> records;
  for (const Mode& mode : modes) {
    GameRunResult run = RunGame(options, [&](GameHarness& h) {
      GraphDirectLoadOff = mode.directOff;
      GraphReadAheadThreads = mode.threads;
      ASSERT_EQ(h.StartUp(), 0);
      if (mode.directOff == 0) {
        EXPECT_GT(GraphDirectLoads, 150) << mode.name;
        // All but the logo and the loading picture, which load before the
        // list is made, came from the list.
        EXPECT_EQ(GraphReadAheadTaken, GraphDirectLoads - 2) << mode.name;
      }
      EXPECT_TRUE(h.LogHas("ファリッセ\\内円.png の読み込みに失敗しました 残りのスロット画像は読み込みません"));
      h.Report(StartUpRecord(h));
    });
    ASSERT_EQ(run.reports.size(), 1u) << mode.name;
    records.push_back(run.reports[0]);
  }
  for (size_t m = 1; m < records.size(); ++m) {
    if (records[m] == records[0]) continue;
    size_t at = 0;
    while (at < records[0].size() && at < records[m].size() && records[0][at] == records[m][at]) ++at;
    const size_t line = records[0].rfind('\n', at == 0 ? 0 : at - 1);
    ADD_FAILURE() << modes[m].name << " differs from " << modes[0].name << " at:\n"
                  << records[0].substr(line == std::string::npos ? 0 : line + 1, 120) << "\nagainst\n"
                  << records[m].substr(line == std::string::npos ? 0 : line + 1, 120);
  }
}

}  // namespace
