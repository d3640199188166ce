// A fixture for tests that start the library: quiet debug output, the virtual
// clock, default settings, and the library ended afterwards.
#pragma once

#include <gtest/gtest.h>

#include "library/core/main_window.h"
#include "library/core/message_pump.h"
#include "library/core/startup.h"
#include "platform/win32/win32.h"

class LibraryTest : public testing::Test {
 protected:
  void SetUp() override {
    PlatformSetDebugOutput(false);
    PlatformUseVirtualClock(true, 1000000);
    MainWindowConfig = MainWindowSettings{};
    WindowedMode = 1;
  }
  void TearDown() override {
    EndLibrary();
    PlatformSetDesktopColorBits(0);
    PlatformOfferScaledDisplayModes(true);
    PlatformUseVirtualClock(false);
    PlatformSetDebugOutput(true);
  }
  // Pumps until nothing is queued for the window any more.
  static void Drain() {
    MSG m;
    for (int i = 0; i < 20 && PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE); ++i) ProcessWindowMessages();
  }
};
