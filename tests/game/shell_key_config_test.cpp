// A scripted key-configuration session through the real loop.
#include <gtest/gtest.h>

#include <cstring>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"

namespace {

constexpr int kKeyE = 0x12, kKeyR = 0x13, kKeyO = 0x18;

int finished = 0;
int KeyConfigScene() {
  if (RunKeyConfigScreen() != 0) ++finished;
  return 0;
}

// The prompts' order and the pad buttons given to them: up, down, left,
// right, A, B, C, D, start.
const uint32_t kGiven[9] = {0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000, 0x10};

// Presses the mask on the pad for one frame, then releases it for one.
void Give(GameHarness& h, int pad, uint32_t mask) {
  h.HoldPad(pad, mask, 1);
  ASSERT_TRUE(h.Frames(2));
}

void StartSession(GameHarness& h, int target) {
  ASSERT_EQ(h.StartUpWithoutMedia(), 0);
  SceneHandlers[1] = &KeyConfigScene;
  KeyConfigTarget = target;
  ASSERT_TRUE(h.Frames(4));  // boot; step 0; release seen; the first prompt
  ASSERT_EQ(KeyConfigStep, 2);
}

TEST(KeyConfigScreen, TheFirstDeviceWithInputIsConfiguredForEveryPrompt) {
  RunGame({}, [](GameHarness& h) {
    StartSession(h, 2);
    // Record 2 had device 2; pad 3 answers first and becomes its device.
    Give(h, 3, kGiven[0]);
    EXPECT_EQ(KeyConfigDevice, 3u);
    EXPECT_EQ(KeyConfigStep, 3);
    // Another device's input does not take over the session.
    h.HoldPad(2, 0x20, 1);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(KeyConfigDevice, 3u);
    EXPECT_EQ(KeyConfigStep, 3) << "pad 2 was not captured";
    for (int i = 1; i < 9; ++i) Give(h, 3, kGiven[i]);
    EXPECT_EQ(KeyConfigStep, 10) << "the confirmation sound";
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(KeyConfigStep, 11) << "the test view";
    h.HoldKey(kKeyO, 1);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(KeyConfigStep, 0);
    const KeyConfigRecord expected{3, 0x100, 0x400, 0x800, 0x200, 0x1000, 0x2000, 0x4000, 0x8000, 0x10};
    EXPECT_EQ(0, memcmp(&KeyConfigTable[2], &expected, sizeof expected));
    KeyConfigRecord record1 = DefaultKeyConfigRecord(1);
    EXPECT_EQ(0, memcmp(&KeyConfigTable[1], &record1, sizeof record1));
  });
}

TEST(KeyConfigScreen, RStartsAgainAndELeavesTheRecordUnchanged) {
  RunGame({}, [](GameHarness& h) {
    StartSession(h, 4);
    for (int i = 0; i < 9; ++i) Give(h, 4, kGiven[i]);
    ASSERT_TRUE(h.Frame());
    ASSERT_EQ(KeyConfigStep, 11);
    h.HoldKey(kKeyR, 1);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(KeyConfigStep, 0);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(KeyConfigStep, 2) << "every prompt again";
    Give(h, 4, kGiven[0]);
    Give(h, 4, kGiven[1]);
    h.HoldKey(kKeyE, 1);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(KeyConfigStep, 0);
    KeyConfigRecord record4 = DefaultKeyConfigRecord(4);
    EXPECT_EQ(0, memcmp(&KeyConfigTable[4], &record4, sizeof record4));
  });
}

}  // namespace
