// The stand-in media: the generated tree passes the validator, generation
// gives the same bytes every time, and the validator names the file and the
// rule of each broken tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/mediagen/canvas.h"
#include "tools/mediagen/check.h"
#include "tools/mediagen/figures.h"
#include "tools/mediagen/data.h"
#include "tools/mediagen/generate.h"
#include "tools/mediagen/manifest.h"

namespace fs = std::filesystem;
using namespace mediagen;

namespace {

const std::string kMedia = ZR_MEDIA_DIR;

// Source texts are compiled to Shift-JIS; u8 literals stay UTF-8 like the
// names on disk.
std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string Describe(const std::vector<CheckFailure>& failures) {
  std::string out;
  for (const CheckFailure& f : failures) out += "  " + f.file + ": " + f.rule + "\n";
  return out;
}

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}
void WriteText(const std::string& path, const std::string& text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

TEST(MediagenTest, GeneratedTreePassesTheValidator) {
  std::vector<CheckFailure> failures = CheckMedia(kMedia);
  EXPECT_TRUE(failures.empty()) << Describe(failures);
  // Every kind of file is there.
  int kinds[5] = {0};
  for (const MediaFile& f : Manifest()) ++kinds[static_cast<int>(f.kind)];
  for (int k = 0; k < 5; ++k) EXPECT_GT(kinds[k], 0) << "kind " << k;
}

TEST(MediagenTest, GenerationGivesTheSameBytesEveryTime) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(GenerateMedia(dir.path() + "/media", 2, &error)) << error;
  for (const MediaFile& f : Manifest())
    EXPECT_TRUE(ReadFileBytes(dir.path() + "/media/" + f.path) == ReadFileBytes(kMedia + "/" + f.path)) << f.path;
}

// One broken tree: a change to the copy of the generated tree, the file the
// validator must blame and a part of its rule.
struct Breakage {
  const char* what;
  std::string file;
  std::function<void(const std::string& dir)> apply;
  std::string rule;
  bool decode = false;
};

// Replaces the first occurrence of `from` in a file.
std::function<void(const std::string&)> Edit(const std::string& file, const std::string& from, const std::string& to) {
  return [=](const std::string& dir) {
    std::string t = ReadText(dir + "/" + file);
    size_t at = t.find(from);
    ASSERT_NE(at, std::string::npos) << from << " in " << file;
    t.replace(at, from.size(), to);
    WriteText(dir + "/" + file, t);
  };
}
// Replaces the line that starts with `prefix`.
std::function<void(const std::string&)> EditLine(const std::string& file, const std::string& prefix,
                                                  const std::string& line) {
  return [=](const std::string& dir) {
    std::string t = ReadText(dir + "/" + file);
    size_t at = t.rfind("\n" + prefix, std::string::npos);
    ASSERT_NE(at, std::string::npos) << prefix << " in " << file;
    size_t end = t.find('\n', at + 1);
    t.replace(at + 1, end - at - 1, line);
    WriteText(dir + "/" + file, t);
  };
}
// Sets the four links of square k of a board file.
std::function<void(const std::string&)> Links(const std::string& file, int k, const std::string& links) {
  return [=](const std::string& dir) {
    std::string t = ReadText(dir + "/" + file);
    std::string prefix = "\n" + std::to_string(k) + ",";
    size_t at = t.find(prefix);
    ASSERT_NE(at, std::string::npos) << prefix << " in " << file;
    size_t end = t.find('\n', at + 1), start = at + 1;
    for (int comma = 0; comma < 4; ++comma) start = t.find(',', start) + 1;
    t.replace(start, end - start, links);
    WriteText(dir + "/" + file, t);
  };
}
// Cuts the last `bytes` bytes off a file.
std::function<void(const std::string&)> Truncate(const std::string& file, size_t bytes) {
  return [=](const std::string& dir) {
    std::vector<uint8_t> b = ReadFileBytes(dir + "/" + file);
    b.resize(b.size() - bytes);
    WriteFileBytes(dir + "/" + file, b);
  };
}
std::function<void(const std::string&)> Write(const std::string& file, const std::string& bytes) {
  return [=](const std::string& dir) { WriteText(dir + "/" + file, bytes); };
}
std::function<void(const std::string&)> Picture(const std::string& file, const Canvas& canvas) {
  std::vector<uint8_t> png = EncodePng(canvas);
  return [=](const std::string& dir) { WriteFileBytes(dir + "/" + file, png); };
}
std::string Course(const std::function<void(std::vector<int>&)>& change) {
  std::vector<int> cells = AirRideCells();
  change(cells);
  return AirRideCourseText(cells);
}

std::vector<Breakage> Breakages() {
  const std::string dice = U8(u8"other/サイコロ.png"), arrow = U8(u8"other/矢印.png");
  const std::string thornyle = "data/map/thornyle.csv";
  return {
      {"missing picture", U8(u8"other/点.png"), [](const std::string& d) { fs::remove(d + U8(u8"/other/点.png")); },
       "missing"},
      {"sheet too small for its cut", dice, Picture(dice, Canvas(300, 128, kWhite)), "needs 320x128"},
      {"sheet larger than its cut", dice, Picture(dice, Canvas(330, 128, kWhite)), "not exactly 320x128"},
      {"transparent picture without alpha", arrow, Picture(arrow, Canvas(32, 64, kWhite)), "alpha channel"},
      {"background of the wrong size", U8(u8"background/汎用背景01.png"),
       Picture(U8(u8"background/汎用背景01.png"), Canvas(640, 400, kWhite)), "draws it as 640x480"},
      {"alpha companion", "other/STARTver0_a.2.png", Write("other/STARTver0_a.2.png", "x"), "_a companion"},
      {"archive inside media", "mini.dat", Write("mini.dat", "ZR"), "opened as an archive"},
      {"truncated picture", U8(u8"other/final result.png"),
       Truncate(U8(u8"other/final result.png"), 5000), "not a readable PNG", true},
      {"effect that is no WAVE", "sound/SE/coin03.wav", Write("sound/SE/coin03.wav", "RIFF....junk"), "WAVE"},
      {"truncated music", U8(u8"sound/BGM/Very Xmas.ogg"),
       Truncate(U8(u8"sound/BGM/Very Xmas.ogg"), 100), "Ogg"},
      {"minigame number off its row", "data/minidata.csv", Edit("data/minidata.csv", "\n5,", "\n6,"),
       "must equal the row"},
      {"minigame number without a game", "data/minidata.csv", Edit("data/minidata.csv", "\n0,,9,0", "\n15,x,0,0"),
       "no minigame"},
      {"minidata row short of a field", "data/minidata.csv", Edit("data/minidata.csv", ",0,0\n", ",0\n"), "not 4"},
      {"item table with LF ends", "data/item.csv",
       [](const std::string& d) {
         std::string t = ReadText(d + "/data/item.csv"), out;
         for (char c : t)
           if (c != '\r') out += c;
         WriteText(d + "/data/item.csv", out);
       },
       "CR LF"},
      {"item without an effect on sale", "data/item.csv", Edit("data/item.csv", "\r\n8,0,", "\r\n8,10,"),
       "price must be 0"},
      {"map table off its picture", "data/mapdata.csv", Edit("data/mapdata.csv", "草原,960,", "草原,900,"),
       "thornyle_bg.png is 1280x960"},
      {"dead end", thornyle, Links(thornyle, 3, "2,0,0,0"), "dead end"},
      {"loop of pass-through squares", thornyle,
       [thornyle](const std::string& d) {
         Links(thornyle, 18, "21,19,0,0")(d);
         Links(thornyle, 21, "23,22,0,0")(d);
         Links(thornyle, 23, "18,24,0,0")(d);
       },
       "circle for ever"},
      {"too few blue squares", thornyle,
       [thornyle](const std::string& d) {
         std::string t = ReadText(d + "/" + thornyle);
         for (size_t at; (at = t.find(",blue,")) != std::string::npos;) t.replace(at, 6, ",red,");
         WriteText(d + "/" + thornyle, t);
       },
       "blue squares"},
      {"unknown square kind", thornyle, Edit(thornyle, ",item,", ",Item,"), "no keyword"},
      {"squares too close", thornyle, EditLine(thornyle, "2,", "2,180,140,blue,3,0,0,0"), "px apart"},
      {"nine warps on map 2", "data/map/zarvie.csv", Edit("data/map/zarvie.csv", ",warp,", ",way,"), "exactly 10"},
      {"warp with a fourth link", "data/map/zarvie.csv", Links("data/map/zarvie.csv", 59, "6,0,0,60"),
       "link 4"},
      {"closable passage without another way", "data/map/cadris.csv",
       Links("data/map/cadris.csv", 6, "9,0,0,0"),
       "square 6 must link 9"},
      {"map 4 square off its grid cell", "data/map/brimwold.csv",
       EditLine("data/map/brimwold.csv", "7,", "7,250,180,blue,8,0,0,0"), "centre of its cell"},
      {"three air-ride starts", "mini/airride/airridetest.mdt", Edit("mini/airride/airridetest.mdt", "24,", "2,"),
       "exactly 4"},
      {"air-ride starts side by side", "mini/airride/airridetest.mdt",
       Write("mini/airride/airridetest.mdt", Course([](std::vector<int>& c) {
               c[21 * 64 + 7] = 2;
               c[21 * 64 + 5] = 24;
             })),
       "closer than 4 cells"},
      {"open gap beside the air-ride track", "mini/airride/airridetest.mdt",
       Write("mini/airride/airridetest.mdt", Course([](std::vector<int>& c) { c[9 * 64 + 30] = 0; })), "open ground"},
      {"air-ride course of another width", "mini/airride/airridetest.mdt",
       Edit("mini/airride/airridetest.mdt", "64,48,", "63,48,"), "64 and 48"},
      {"river opening stone misses the landing", "data/Mini_RJ2.csv", Edit("data/Mini_RJ2.csv", "row0,0,100,", "row0,0,40,"),
       "46-49"},
      {"river row with a trailing comma", "data/Mini_RJ2.csv", Edit("data/Mini_RJ2.csv", "\nrow3,", "\nrow3,0,"), "not 11"},
      {"quiz short of questions", "mini/quizvemla/QTA.csv",
       [](const std::string& d) {
         std::string t = ReadText(d + "/mini/quizvemla/QTA.csv");
         size_t at = 0;
         for (int k = 0; k < 11; ++k) at = t.find('\n', at) + 1;
         WriteText(d + "/mini/quizvemla/QTA.csv", t.substr(0, at));
       },
       "19 questions"},
      {"block pattern of five cells", "mini/tumbrick/block.csv", Edit("mini/tumbrick/block.csv", "0,0,0,1,1,1,1", "0,0,1,1,1,1,1"),
       "4 cells"},
      {"explanation without an end code", "mini/renda/explain.txt",
       Write("mini/renda/explain.txt", "text without end"), "no end code"},
      {"explanation line too long", "mini/river/explain.txt",
       Write("mini/river/explain.txt", std::string(63, 'a') + "@N"), "break every 62"},
      {"order text greeting ending @N", "text/order/thornyle.txt", Edit("text/order/thornyle.txt", "@F", "@N"),
       "must end @F"},
      {"half-width katakana in a text", "text/star/zarvie.txt", Edit("text/star/zarvie.txt", "@N", "\xB1@N"),
       "not a character the renderer types"},
      {"unknown message code", "text/roundbonus/zarvie.txt", Edit("text/roundbonus/zarvie.txt", "@N", "@Z@N"),
       "no message code"},
      {"result text ending @F", "text/sugoresult.txt", Edit("text/sugoresult.txt", "@N", "@F"), "must end @N"},
      {"banquet page without @N", "sugoroku/cadris/banquet.txt", Edit("sugoroku/cadris/banquet.txt", "@N", ""),
       "pages"},
  };
}

TEST(MediagenTest, BrokenTreesFailWithTheirFileAndRule) {
  TempDir dir;
  std::string copy = dir.path() + "/media";
  fs::copy(kMedia, copy, fs::copy_options::recursive);
  for (const Breakage& b : Breakages()) {
    SCOPED_TRACE(b.what);
    // Each case starts from a fresh copy of the files it touches.
    std::string saved;
    bool existed = fs::exists(copy + "/" + b.file);
    if (existed) saved = ReadText(copy + "/" + b.file);
    b.apply(copy);
    CheckOptions options;
    options.decodePictures = b.decode;
    std::vector<CheckFailure> failures = CheckMedia(copy, options);
    bool found = false;
    for (const CheckFailure& f : failures) {
      EXPECT_EQ(f.file, b.file) << f.rule;
      found |= f.file == b.file && f.rule.find(b.rule) != std::string::npos;
    }
    EXPECT_TRUE(found) << "expected " << b.file << ": ..." << b.rule << "...\n" << Describe(failures);
    if (existed)
      WriteText(copy + "/" + b.file, saved);
    else
      fs::remove(copy + "/" + b.file);
  }
  // Packed on purpose, an archive is accepted.
  WriteText(copy + "/mini.dat", "ZR");
  CheckOptions packed;
  packed.allowArchives = true;
  packed.decodePictures = false;
  EXPECT_TRUE(CheckMedia(copy, packed).empty());
}

// The pictures fit where the game shows them: the map choice writes a map's
// name in its 35-pixel font between arrows whose ends are 112 pixels apart;
// a portrait's plate names the character, not its file; the spotlight
// beams are as wide as the quadrilaterals they are drawn onto (no stretched
// steps) and add whole steps of the 16-bit screen in grey.

TEST(MediagenTest, PicturesFitWhereTheGameShowsThem) {
  std::string table = MapTableCsv();
  for (size_t at = table.find('\n') + 1; at < table.size(); at = table.find('\n', at) + 1) {
    std::string name = table.substr(at, table.find(',', at) - at);
    EXPECT_LE(TextWidth(name, 35), 112) << name;
  }
  const struct {
    const char8_t* file;
    const char8_t* plate;
  } portraits[] = {{u8"ニクセラver1", u8"ニクセラ"}, {u8"ピコルダ_L", u8"ピコルダ"}, {u8"ザンベリedg", u8"ザンベリ"},
                   {u8"グラヴォネ", u8"グラヴォネ"}};
  for (const auto& p : portraits) EXPECT_EQ(PortraitName(U8(p.file)), U8(p.plate));

  const struct {
    const char* file;
    int blend;
  } beams[] = {{"other/spotlightver0.8.png", 80}, {"other/spotlightver0.7.png", 200}, {"spotlightver0.8.png", 80}};
  for (const auto& b : beams) {
    Canvas beam;
    ASSERT_TRUE(ReadPng(kMedia + "/" + b.file, &beam)) << b.file;
    EXPECT_GE(beam.width(), 320) << b.file;
    EXPECT_GE(beam.height(), 248) << b.file;
    int lit = 0;
    for (int y = 0; y < beam.height(); ++y)
      for (int x = 0; x < beam.width(); ++x) {
        Rgba p = beam.At(x, y);
        ASSERT_TRUE(p.r == p.g && p.g == p.b) << b.file << " at " << x << "," << y;
        int added = p.r * b.blend / 255;
        ASSERT_LE(std::min(added % 8, 8 - added % 8), 1) << b.file << " at " << x << "," << y << ": " << int(p.r);
        lit += p.r > 0;
      }
    EXPECT_GT(lit, beam.width() * beam.height() / 8) << b.file;
  }
}

TEST(MediagenTest, ContactSheetTilesTheSamples) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteContactSheet(kMedia, dir.path() + "/sheet.png", &error)) << error;
  PngInfo info;
  ASSERT_TRUE(ReadPngInfo(dir.path() + "/sheet.png", &info));
  EXPECT_EQ(info.width, 1600);
  EXPECT_GT(info.height, 400);
}

}  // namespace
