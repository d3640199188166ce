#include <gtest/gtest.h>

#include "platform/ddraw/ddraw.h"
#include "platform/win32/win32.h"

namespace {

int64_t Microseconds() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart * 1000000 / frequency.QuadPart;
}

TEST(DirectDraw, MadeThroughComAndWaitsForEachBlank) {
  PlatformUseVirtualClock(true, 1000000);
  CoInitialize(nullptr);
  void* object = nullptr;
  const GUID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_ALL, IID_IDirectDraw7, &object), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, other, &object), E_NOINTERFACE);
  ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, &object), S_OK);
  auto* draw = static_cast<IDirectDraw7*>(object);
  EXPECT_EQ(PlatformLiveDirectDrawCount(), 1);
  EXPECT_EQ(draw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DDERR_NOTINITIALIZED);
  EXPECT_EQ(draw->Initialize(nullptr), DD_OK);
  EXPECT_EQ(draw->Initialize(nullptr), DDERR_ALREADYINITIALIZED);
  EXPECT_EQ(draw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
  EXPECT_EQ(draw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGINEVENT, nullptr), DDERR_UNSUPPORTED);

  // Each wait ends on the next sixtieth of a second, never on the one it started on.
  int64_t previous = 0;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(draw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    const int64_t now = Microseconds();
    EXPECT_EQ(now * 60 % 1000000 < 60, true) << now;
    if (i > 0) {
      EXPECT_NEAR(now - previous, 16667, 1);
    }
    previous = now;
  }
  PlatformAdvanceVirtualClock(5000);
  draw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
  EXPECT_NEAR(Microseconds() - previous, 16667, 1);

  IDirectDraw7* second = nullptr;
  EXPECT_EQ(draw->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&second)), S_OK);
  EXPECT_EQ(second->Release(), 1u);
  EXPECT_EQ(draw->Release(), 0u);
  EXPECT_EQ(PlatformLiveDirectDrawCount(), 0);
  CoUninitialize();
  PlatformUseVirtualClock(false);
}

}  // namespace
