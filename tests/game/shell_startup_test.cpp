// Start-up on the generated media: the logo and loading picture, the
// loading, and the scene switch's first frames.
#include <gtest/gtest.h>

#include "game/shell/game_main.h"
#include "game/shell/shared_media.h"
#include "tests/game/harness/game_harness.h"

namespace {

TEST(GameStartUp, ReachesTheTitleScene) {
  if (!GeneratedMediaAvailable()) GTEST_SKIP() << "no generated media";
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    EXPECT_EQ(SceneState, 0);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(SceneState, 1);
    ASSERT_TRUE(h.Frames(100));
    EXPECT_EQ(SceneState, 1);
    h.Report(h.Dump());
  });
}

}  // namespace
