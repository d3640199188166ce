// The screen gallery as a test: each group drives the program through its
// scenes and must save a picture of each of its steps, none of them a blank
// screen. The pictures go to the folder ZR_GALLERY_DIR names (the test's
// scratch folder when it is not set), and ZR_GALLERY_BACKEND=opengl draws
// them through Direct3D on OpenGL in a private Xvfb instead of the software
// renderer. scripts/gallery.sh runs it as the gallery command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "tests/game/gallery/gallery.h"
#include "tests/game/harness/game_harness.h"
#include "tests/support/test_support.h"
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

class Gallery : public testing::TestWithParam<std::string> {};

TEST_P(Gallery, SavesEveryStepOfTheGroup) {
  ASSERT_TRUE(GeneratedMediaAvailable()) << "no generated media in " << GeneratedMediaDir();
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
  for (const std::string& line : result.device) std::cout << group << ": " << line << "\n";
  for (const std::string& fault : GalleryGroupFaults(group, result, options.outDir)) ADD_FAILURE() << group << ": " << fault;
}

INSTANTIATE_TEST_SUITE_P(Groups, Gallery, testing::ValuesIn(GalleryGroups()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
