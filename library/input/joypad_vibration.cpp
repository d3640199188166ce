// Joypad vibration: the constant force plays while a pad's vibration is on,
// the sine wave while it is on above half power; both stop while the
// application is inactive.
#include <algorithm>

#include "library/core/main_window.h"
#include "library/input/input_devices.h"
#include "platform/win32/win32.h"

namespace {

void PlayWhile(IDirectInputEffect* effect, uint32_t* playing, bool wanted) {
  if (effect == nullptr) return;
  if (wanted && !*playing) {
    effect->Start(1, 0);
    *playing = 1;
  } else if (!wanted && *playing) {
    effect->Stop();
    *playing = 0;
  }
}

}  // namespace

int ApplyJoypadVibration() {
  for (int i = 0; i < InputDevices.joypadCount; ++i) {
    JoypadRecord& pad = InputDevices.joypads[i];
    bool on = AppActive && pad.vibrationOn;
    PlayWhile(pad.constantEffect, &pad.constantPlaying, on);
    PlayWhile(pad.periodicEffect, &pad.periodicPlaying, on && pad.vibrationPower > 5000);
  }
  return 0;
}

int StopJoypadVibration(int index) {
  if (index < 0 || index >= kMaxJoypads) return -1;
  InputDevices.joypads[index].vibrationOn = 0;
  InputDevices.joypads[index].vibrationPower = 10000;
  return 0;
}

int UpdateJoypadVibrationTimer() {
  DWORD now = timeGetTime();
  for (int i = 0; i < InputDevices.joypadCount; ++i) {
    JoypadRecord& pad = InputDevices.joypads[i];
    if (!pad.vibrationOn) continue;
    if (now < pad.vibrationLastStep) pad.vibrationLastStep = now;  // the clock went back: start the step again
    int64_t elapsed = static_cast<int64_t>(pad.vibrationElapsed) + (now - pad.vibrationLastStep);
    pad.vibrationElapsed = static_cast<int32_t>(std::min<int64_t>(elapsed, INT32_MAX));
    pad.vibrationLastStep = now;
    if (pad.vibrationDuration >= 0 && pad.vibrationElapsed >= pad.vibrationDuration) StopJoypadVibration(i);
  }
  return ApplyJoypadVibration();
}
