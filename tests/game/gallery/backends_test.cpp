// Both drawing back ends draw the game alike: every group of the screen
// gallery runs on the software renderer and on Direct3D through OpenGL (in
// a private Xvfb, whose OpenGL is Mesa's llvmpipe), then compared screen by
// screen (scripts/gallery.sh --compare keeps the pictures). Each run must
// picture every step of the group, none of them blank, as the gallery test
// checks its run (so the test run of the build runs this test alone: its
// software run is the gallery's). The two runs have the same seed and the
// same inputs, so they must reach the same game states at every picture:
// that is checked first, and only pictures of the same state are compared.
// A group that cannot run on either back end fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/game/gallery/gallery.h"
#include "tests/game/harness/game_harness.h"
#include "tests/support/test_support.h"
// After gtest (Xlib's macros).
#include "tests/support/xvfb.h"

namespace {

// What legitimately differs between the back ends, and the tolerances it
// gives:
// - The software screen is RGB565 (5 bits of red and blue: steps of 8), and
//   every blend on it truncates to those steps; OpenGL blends in 8 bits. A
//   few blended layers drift by up to three steps: a channel counts as
//   differing above 24.
// - Placement by up to a pixel: the software renderer turns a picture about
//   its integer centre (width / 2, height / 2) with no half-pixel offset, so
//   a picture of even size turned by a quarter or half turn lands one pixel
//   right or down of where Direct3D puts it (the window frames' turned
//   tiles and corners); OpenGL samples texel centres, the software renderer
//   texel corners. Such pixels are counted, but a pixel that lies within the
//   threshold of one of the other picture's pixels one pixel or less away
//   ("unmatched" when not) is the same drawing moved, so the tolerance is
//   mostly on the unmatched pixels.
// - Edges of turned and scaled pictures and glyphs sample other texels,
//   and a free quadrilateral is two affine triangles in software and an
//   8 x 8 grid in Direct3D: a few thousand unmatched pixels at most.
// The largest difference of a channel is shown but not bounded: a pixel
// drawn one pixel off differs by up to 255.
constexpr int kThreshold = 24;
// A screen of several windows (the quiz's five) has some 20000 pixels of
// turned frame tiles one pixel off.
constexpr int kPixelsAllowed = 24000;    // 8 % of the screen
constexpr int kUnmatchedAllowed = 3000;  // 1 % of the screen

// Screens whose back ends differ more, each by a rule of its own back end.
struct Allowance {
  const char* group;
  const char* step;  // a part of the picture's name
  int pixels, unmatched;
  const char* why;
};
const Allowance kAllowances[] = {
    // Additive spotlight beams: in 16-bit pixels the add scales each 5- or
    // 6-bit channel by the parameter, truncating, and the guard-bit add
    // keeps the lowest bit of red and green as an OR rather than a sum, so
    // the beams' faint parts add less, red and green less than blue; each
    // beam is a quadrilateral of two affine triangles, where Direct3D maps
    // it through a grid.
    {"front", "-story", 38500, 33800, "additive beams"},
    {"map1", "-RunResultsRanking-", 41800, 36200, "additive beams"},
};

const Allowance* AllowanceOf(const std::string& group, const std::string& file) {
  for (const Allowance& a : kAllowances)
    if (group == a.group && file.find(a.step) != std::string::npos) return &a;
  return nullptr;
}

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string StateFile(const std::string& dir, const std::string& picture) {
  return dir + "/states/" + picture.substr(0, picture.size() - 4) + ".txt";
}

// The variable's value as it was, put back when the object goes.
class EnvironmentVariable {
 public:
  explicit EnvironmentVariable(const char* name) : name_(name) {
    const char* v = getenv(name);
    had_ = v != nullptr;
    if (had_) value_ = v;
  }
  ~EnvironmentVariable() {
    if (had_)
      setenv(name_, value_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string value_;
};

class BackEnds : public testing::TestWithParam<std::string> {};

TEST_P(BackEnds, DrawTheGroupAlike) {
  ASSERT_TRUE(GeneratedMediaAvailable()) << "no generated media in " << GeneratedMediaDir();
  const std::string group = GetParam();
  const char* keep = getenv("ZR_GALLERY_DIR");
  const std::string base = keep != nullptr && *keep != '\0' ? std::string(keep) : TestScratchDir() + "/gallery";

  GalleryOptions software;
  software.outDir = base + "/software";
  GalleryGroupResult soft = RunGalleryGroup(group, software);
  for (const std::string& fault : GalleryGroupFaults(group, soft, software.outDir))
    ADD_FAILURE() << "software: " << fault;

  // The OpenGL run draws the frames the software run took its pictures of
  // (llvmpipe takes some 13 ms a frame): a run that reaches other states
  // takes pictures of other frames, and those the checks below catch.
  GalleryOptions opengl;
  opengl.outDir = base + "/opengl";
  opengl.backend = GalleryBackend::OpenGL;
  for (const GalleryShot& s : soft.shots) opengl.drawnFrames.insert(s.frame);
  GalleryGroupResult gl;
  {
    EnvironmentVariable display("DISPLAY"), driver("SDL_VIDEODRIVER");
    Child server;
    std::string name = StartXvfb(server);
    ASSERT_FALSE(name.empty()) << "Xvfb did not start";
    setenv("DISPLAY", name.c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
    gl = RunGalleryGroup(group, opengl);
  }
  for (const std::string& fault : GalleryGroupFaults(group, gl, opengl.outDir)) ADD_FAILURE() << "OpenGL: " << fault;
  for (const std::string& line : gl.device) std::cout << group << ": " << line << "\n";

  // The same pictures of the same states.
  ASSERT_EQ(soft.shots.size(), gl.shots.size());
  for (size_t i = 0; i < soft.shots.size(); ++i) ASSERT_EQ(soft.shots[i].file, gl.shots[i].file);
  for (const GalleryShot& s : soft.shots) {
    std::string difference;
    bool same = SameGalleryStates(ReadText(StateFile(software.outDir, s.file)),
                                  ReadText(StateFile(opengl.outDir, s.file)), &difference);
    EXPECT_TRUE(same) << s.file << ": the runs reached other states: " << difference;
    if (!same) continue;
    PictureDifference d;
    ASSERT_TRUE(CompareGalleryPictures(software.outDir + "/" + s.file, opengl.outDir + "/" + s.file, kThreshold, &d))
        << s.file;
    const Allowance* allowance = AllowanceOf(group, s.file);
    char line[240];
    snprintf(line, sizeof line, "%-40s %6d pixels above %d, %6d unmatched, largest %3d at (%d, %d)%s%s",
             s.file.c_str(), d.pixels, kThreshold, d.unmatched, d.largest, d.x, d.y, allowance ? ": " : "",
             allowance ? allowance->why : "");
    std::cout << line << "\n";
    EXPECT_LE(d.pixels, allowance ? allowance->pixels : kPixelsAllowed) << line;
    EXPECT_LE(d.unmatched, allowance ? allowance->unmatched : kUnmatchedAllowed) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Groups, BackEnds, testing::ValuesIn(GalleryGroups()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
