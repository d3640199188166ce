#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/win32/input_sources.h"
#include "platform/win32/win32_joystick.h"

bool StartSdlJoysticks() {
  // Pads are read while the window is in the background too; their state is
  // read by the stand-ins, never delivered as events.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return false;
  SDL_JoystickEventState(SDL_IGNORE);
  SDL_GameControllerEventState(SDL_IGNORE);
  return true;
}

void StopSdlJoysticks() { SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER); }

namespace {

constexpr int kMaxJoysticks = 16;

// The joysticks opened so far, by number; the services keep the subsystem
// started from their first use to the end of the process.
SDL_Joystick* opened[kMaxJoysticks] = {};

void CloseAll() {
  for (SDL_Joystick*& j : opened) {
    if (j != nullptr) SDL_JoystickClose(j);
    j = nullptr;
  }
  StopSdlJoysticks();
}

bool Ready() {
  static bool started = false;
  if (!started) {
    if (!StartSdlJoysticks()) return false;
    atexit(CloseAll);
    started = true;
  }
  return true;
}

// The joystick of the number, opened again when the device there changed.
SDL_Joystick* JoystickAt(uintptr_t id) {
  if (id >= kMaxJoysticks || !Ready()) return nullptr;
  SDL_JoystickUpdate();
  int index = static_cast<int>(id);
  SDL_Joystick*& j = opened[id];
  if (index >= SDL_NumJoysticks()) {
    if (j != nullptr) SDL_JoystickClose(j);
    j = nullptr;
    return nullptr;
  }
  if (j != nullptr && (!SDL_JoystickGetAttached(j) ||
                       SDL_JoystickInstanceID(j) != SDL_JoystickGetDeviceInstanceID(index))) {
    SDL_JoystickClose(j);
    j = nullptr;
  }
  if (j == nullptr) j = SDL_JoystickOpen(index);
  return j;
}

DWORD AxisPosition(SDL_Joystick* j, int axis) {
  if (axis >= SDL_JoystickNumAxes(j)) return 32767;
  return static_cast<DWORD>(SDL_JoystickGetAxis(j, axis) + 32768);
}

DWORD HatDegrees(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP:
      return 0;
    case SDL_HAT_RIGHTUP:
      return 4500;
    case SDL_HAT_RIGHT:
      return 9000;
    case SDL_HAT_RIGHTDOWN:
      return 13500;
    case SDL_HAT_DOWN:
      return 18000;
    case SDL_HAT_LEFTDOWN:
      return 22500;
    case SDL_HAT_LEFT:
      return 27000;
    case SDL_HAT_LEFTUP:
      return 31500;
    default:
      return JOY_POVCENTERED;
  }
}

}  // namespace

UINT joyGetDevCapsA(uintptr_t joystickId, JOYCAPSA* caps, UINT size) {
  if (caps == nullptr || size < sizeof(JOYCAPSA)) return JOYERR_PARMS;
  SDL_Joystick* j = JoystickAt(joystickId);
  if (j == nullptr) return JOYERR_UNPLUGGED;
  memset(caps, 0, sizeof *caps);
  caps->wMid = SDL_JoystickGetVendor(j);
  caps->wPid = SDL_JoystickGetProduct(j);
  const char* name = SDL_JoystickName(j);
  strncpy(caps->szPname, name != nullptr ? name : "", sizeof caps->szPname - 1);
  int axes = SDL_JoystickNumAxes(j);
  caps->wXmax = caps->wYmax = caps->wZmax = caps->wRmax = caps->wUmax = caps->wVmax = 65535;
  caps->wNumButtons = static_cast<UINT>(SDL_min(SDL_JoystickNumButtons(j), 32));
  caps->wMaxButtons = 32;
  caps->wPeriodMin = 10;
  caps->wPeriodMax = 1000;
  caps->wMaxAxes = 6;
  caps->wNumAxes = static_cast<UINT>(SDL_min(axes, 6));
  if (axes >= 3) caps->wCaps |= JOYCAPS_HASZ;
  if (axes >= 4) caps->wCaps |= JOYCAPS_HASR;
  if (axes >= 5) caps->wCaps |= JOYCAPS_HASU;
  if (axes >= 6) caps->wCaps |= JOYCAPS_HASV;
  if (SDL_JoystickNumHats(j) > 0) caps->wCaps |= JOYCAPS_HASPOV;
  return JOYERR_NOERROR;
}

UINT joyGetPosEx(UINT joystickId, JOYINFOEX* info) {
  if (info == nullptr || info->dwSize != sizeof(JOYINFOEX)) return JOYERR_PARMS;
  SDL_Joystick* j = JoystickAt(joystickId);
  if (j == nullptr) return JOYERR_UNPLUGGED;
  info->dwXpos = AxisPosition(j, 0);
  info->dwYpos = AxisPosition(j, 1);
  info->dwZpos = AxisPosition(j, 2);
  info->dwRpos = AxisPosition(j, 3);
  info->dwUpos = AxisPosition(j, 4);
  info->dwVpos = AxisPosition(j, 5);
  info->dwButtons = 0;
  info->dwButtonNumber = 0;
  int buttons = SDL_min(SDL_JoystickNumButtons(j), 32);
  for (int b = 0; b < buttons; ++b) {
    if (SDL_JoystickGetButton(j, b)) {
      info->dwButtons |= 1u << b;
      ++info->dwButtonNumber;
    }
  }
  info->dwPOV = SDL_JoystickNumHats(j) > 0 ? HatDegrees(SDL_JoystickGetHat(j, 0)) : JOY_POVCENTERED;
  return JOYERR_NOERROR;
}
