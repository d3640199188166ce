#include <SDL.h>
#include <gtest/gtest.h>

#include "library/core/library_state.h"
#include "library/core/system_report.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_handle.h"
#include "tests/core/library_fixture.h"

namespace {

void PushFocus(bool gained) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = PlatformSdlWindowId(MainHwnd);
  e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&e);
}

// Takes the deactivation in without running the library's pump (which would
// stay inside while the program is inactive).
void Deactivate() {
  PushFocus(false);
  MSG m;
  PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
  ASSERT_EQ(AppActive, 0);
}

void PostClicks(int count) {
  for (int i = 0; i < count; ++i) PostMessageA(MainHwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(i, i));
}

TEST_F(LibraryTest, PumpDeliversFiveMessagesPerCall) {
  ASSERT_EQ(InitLibrary(), 0);
  // The keyboard poll pumps once more whenever the clock has moved since the
  // last poll (graphics start-up moves it, measuring the display, and so do
  // the presents of the front screen's refresh timer): the back screen is
  // drawn on, as by the game, and the keyboard polled at the present time.
  SelectDrawTarget(BackScreenHandle);
  Drain();
  ProcessWindowMessages();
  PostClicks(10);
  EXPECT_EQ(ProcessWindowMessages(), 0);
  EXPECT_EQ(MouseClickLog.count, 5);
  EXPECT_EQ(ProcessWindowMessages(), 0);
  EXPECT_EQ(MouseClickLog.count, 10);
  EXPECT_EQ(ProcessWindowMessages(), 0);
  EXPECT_EQ(MouseClickLog.count, 10);

  // A pump re-entered from the key-input update leaves the queue alone.
  PostClicks(1);
  PumpReentryGuard = 1;
  EXPECT_EQ(ProcessWindowMessages(), 0);
  PumpReentryGuard = 0;
  EXPECT_EQ(MouseClickLog.count, 10);
}

TEST_F(LibraryTest, AfterTheQuitMessageEveryCallReturnsMinusOne) {
  ASSERT_EQ(InitLibrary(), 0);
  Drain();
  PostQuitMessage(0);
  EXPECT_EQ(ProcessWindowMessages(), -1);
  EXPECT_EQ(MainWindowClosed, 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ProcessWindowMessages(), -1);
}

TEST_F(LibraryTest, ClosingTheWindowEndsThePump) {
  ASSERT_EQ(InitLibrary(), 0);
  Drain();
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = PlatformSdlWindowId(MainHwnd);
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
  int result = 0;
  for (int i = 0; i < 5 && result == 0; ++i) result = ProcessWindowMessages();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(MainWindowDestroyed, 1);
  EXPECT_EQ(LibraryEnding, 4);
  EXPECT_FALSE(IsWindow(MainHwnd));
  EXPECT_EQ(ProcessWindowMessages(), -1);
  EXPECT_EQ(EndLibrary(), 0);
}

TEST_F(LibraryTest, PumpBeforeTheWindowExists) {
  EXPECT_EQ(ProcessWindowMessages(), 0);
  WaitWhileInactive();  // nothing could activate the program yet: returns at once
  EXPECT_EQ(AppActive, 0);
}

TEST_F(LibraryTest, WaitWhileInactiveReturnsOnActivation) {
  ASSERT_EQ(InitLibrary(), 0);
  Drain();
  Deactivate();
  PushFocus(true);
  // An inactive program sleeps inside the pump until it is activated.
  uint32_t before = timeGetTime();
  EXPECT_EQ(ProcessWindowMessages(), 0);
  EXPECT_EQ(AppActive, 1);
  EXPECT_GE(timeGetTime() - before, 1u);

  Deactivate();
  PushFocus(true);
  WaitWhileInactive();
  EXPECT_EQ(AppActive, 1);
}

TEST_F(LibraryTest, WaitWhileInactiveReturnsOnClose) {
  ASSERT_EQ(InitLibrary(), 0);
  Drain();
  Deactivate();
  PostMessageA(MainHwnd, WM_CLOSE, 0, 0);
  WaitWhileInactive();
  EXPECT_EQ(AppActive, 0);
  EXPECT_EQ(MainWindowClosed, 1);
  EXPECT_EQ(WaitAnyInputPress(), 0);  // a closed window ends the wait for input
}

}  // namespace
