#include "library/core/message_pump.h"

#include "library/core/lock.h"
#include "library/core/main_window.h"
#include "library/core/system_report.h"
#include "library/graphics/graphics_system.h"
#include "library/input/input_devices.h"
#include "library/input/key_input.h"
#include "library/net/network.h"
#include "library/sound/sound_handle.h"
#include "platform/win32/win32.h"

int32_t PumpReentryGuard = 0;

namespace {

constexpr int kMessagesPerPass = 5;

// Full screen: the cursor setting is applied again after each pump (with
// Direct3D only while the cursor is in the top 60 rows).
void ReapplyCursorInFullScreen() {
  if (WindowedMode) return;
  if (HardwareActive) {
    int y = 0;
    GetMousePoint(nullptr, &y);
    if (y >= 60) return;
  }
  SetMouseDispFlag(MainWindow.cursorSetting);
}

}  // namespace

int ProcessWindowMessages_Unlocked() {
  if (PumpReentryGuard) return 0;
  if (MainHwnd == nullptr) return MainWindowClosed ? -1 : 0;

  bool windowThread = GetCurrentThreadId() == MainWindow.mainThreadId;
  int delivered = 0;
  bool idlePass = false;
  for (;;) {
    if ((AppActive || QuitRequested) && (idlePass || MainWindowClosed)) break;
    idlePass = true;
    if (!AppActive) Sleep(1);

    bool closedWhileReading = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (WindowedMode && msg.message == WM_ACTIVATEAPP) AppActive = LOWORD(msg.wParam);
      if (MainWindowClosed) {
        closedWhileReading = true;
        break;
      }
      if (msg.message == WM_QUIT) MainWindowClosed = 1;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      if (++delivered == kMessagesPerPass) {
        delivered = 0;
        idlePass = true;
        break;
      }
      idlePass = false;
    }
    if (closedWhileReading) break;

    if (!AppActive) {
      PumpNetWorkMessages(1);
      if (ProcessorCount <= 1) UpdateStreamSounds();
      Sleep(24);
    }
    if (MainWindowClosed || !windowThread) break;
  }

  if (windowThread) ReapplyCursorInFullScreen();

  if (ProcessorCount <= 1) UpdateStreamSounds();
  PollKeyboard();
  UpdateJoypadVibrationTimer();
  PumpNetWorkMessages(1);
  PumpReentryGuard = 1;
  UpdateKeyInputs();
  PumpReentryGuard = 0;
  return MainWindowClosed ? -1 : 0;
}

int32_t HeapReturnPending = 0;

int ProcessWindowMessages() {
  EnterLibraryLock();
  if (HeapReturnPending) {
    HeapReturnPending = 0;
    PlatformReturnFreedHeapMemory();
  }
  int result = ProcessWindowMessages_Unlocked();
  LeaveLibraryLock();
  return result;
}

void WaitWhileInactive() {
  // Before the window exists (or after it is gone) nothing could activate
  // the application, so there is nothing to wait for.
  if (MainHwnd == nullptr || MainWindow.painting || AppActive) return;
  while (ProcessWindowMessages_Unlocked() == 0 && !AppActive) {
  }
}
