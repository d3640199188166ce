// The screen gallery as a test: each group drives the program through its
// scenes and must save a picture of each of its steps, none of them a blank
// screen. The pictures go to the folder ZR_GALLERY_DIR names (the test's
// scratch folder when it is not set), and ZR_GALLERY_BACKEND=opengl draws
// them through Direct3D on OpenGL in a private Xvfb instead of the software
// renderer. scripts/gallery.sh runs it as the gallery command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "tests/game/gallery/gallery.h"
#include "tests/game/harness/game_harness.h"
#include "tests/support/test_support.h"
#include "tools/mediagen/canvas.h"
// After gtest (Xlib's macros).
#include "tests/support/xvfb.h"

namespace {

std::string OutDir() {
  const char* dir = getenv("ZR_GALLERY_DIR");
  return dir != nullptr && *dir != '\0' ? std::string(dir) : TestScratchDir() + "/gallery";
}

bool OpenGLWanted() {
  const char* backend = getenv("ZR_GALLERY_BACKEND");
  return backend != nullptr && std::string(backend) == "opengl";
}

// Distinct colours in a 64-pixel grid over the picture: a picture of one
// colour (a blank or black screen) has one.
int Colours(const mediagen::Canvas& c) {
  std::set<uint32_t> seen;
  for (int y = 0; y < c.height(); y += 8)
    for (int x = 0; x < c.width(); x += 8) {
      mediagen::Rgba p = c.At(x, y);
      seen.insert(static_cast<uint32_t>(p.r) << 16 | p.g << 8 | p.b);
    }
  return static_cast<int>(seen.size());
}

class Gallery : public testing::TestWithParam<std::string> {};

TEST_P(Gallery, SavesEveryStepOfTheGroup) {
  if (!GeneratedMediaAvailable()) GTEST_SKIP() << "no generated media";
  GalleryOptions options;
  options.outDir = OutDir();
  Child server;
  if (OpenGLWanted()) {
    options.backend = GalleryBackend::OpenGL;
    std::string display = StartXvfb(server);
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
  }
  const std::string group = GetParam();
  GalleryGroupResult result = RunGalleryGroup(group, options);
  for (const std::string& p : result.problems) ADD_FAILURE() << group << ": " << p;
  for (const std::string& line : result.device) std::cout << group << ": " << line << "\n";
  for (const std::string& step : GalleryRequiredSteps(group)) {
    bool found = false;
    for (const GalleryShot& s : result.shots) found |= s.file.find("-" + step + ".png") != std::string::npos;
    EXPECT_TRUE(found) << group << " has no picture of " << step;
  }
  for (const GalleryShot& s : result.shots) {
    mediagen::Canvas picture;
    ASSERT_TRUE(mediagen::ReadPng(options.outDir + "/" + s.file, &picture)) << s.file;
    EXPECT_EQ(picture.width(), 640);
    EXPECT_EQ(picture.height(), 480);
    EXPECT_GT(Colours(picture), 1) << s.file << " is one colour";
  }
  std::vector<uint8_t> bytes = ReadFileBytes(options.outDir + "/index.html");
  std::string index(bytes.begin(), bytes.end());
  EXPECT_NE(index.find("id=\"" + group + "\""), std::string::npos);
  for (const GalleryShot& s : result.shots) EXPECT_NE(index.find(s.file), std::string::npos) << s.file;
}

INSTANTIATE_TEST_SUITE_P(Groups, Gallery, testing::ValuesIn(GalleryGroups()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
