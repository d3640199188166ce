// What the tests of the shooting minigames (versus shooting, boss shooting,
// gun sight) share: the start-up on the generated media, and a button held
// in a frame's scripted input.
#pragma once

#include <gtest/gtest.h>

#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"

#define START_SHOOTER_GAME(h)                                           \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"; \
  ASSERT_EQ((h).StartUp(), 0)

// The button of input record `record` held in this frame's input.
inline void HoldInFrame(FrameInput& in, int record, int button) {
  GameHarness::PadButton b = GameHarness::ButtonOf(record, button);
  in.pads[b.pad - 1] |= b.mask;
}
