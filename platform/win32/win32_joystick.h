// The multimedia joystick services over SDL2's joysticks: joystick n is SDL's
// joystick of device index n, read raw (axes in order X, Y, Z, R, U, V on a
// scale of 0 to 65535, buttons as bits, the first hat as the point of view).
#pragma once

#include "platform/win32/win32_types.h"

constexpr UINT JOYERR_NOERROR = 0;
constexpr UINT JOYERR_PARMS = 165;
constexpr UINT JOYERR_UNPLUGGED = 167;

constexpr UINT JOYCAPS_HASZ = 0x1;
constexpr UINT JOYCAPS_HASR = 0x2;
constexpr UINT JOYCAPS_HASU = 0x4;
constexpr UINT JOYCAPS_HASV = 0x8;
constexpr UINT JOYCAPS_HASPOV = 0x10;

constexpr DWORD JOY_RETURNALL = 0xFF;
constexpr DWORD JOY_POVCENTERED = 0xFFFF;

struct JOYCAPSA {
  WORD wMid;
  WORD wPid;
  char szPname[32];
  UINT wXmin, wXmax;
  UINT wYmin, wYmax;
  UINT wZmin, wZmax;
  UINT wNumButtons;
  UINT wPeriodMin, wPeriodMax;
  UINT wRmin, wRmax;
  UINT wUmin, wUmax;
  UINT wVmin, wVmax;
  UINT wCaps;
  UINT wMaxAxes;
  UINT wNumAxes;
  UINT wMaxButtons;
};

struct JOYINFOEX {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwXpos, dwYpos, dwZpos, dwRpos, dwUpos, dwVpos;
  DWORD dwButtons;
  DWORD dwButtonNumber;  // buttons held
  DWORD dwPOV;           // hundredths of a degree; JOY_POVCENTERED when centred
  DWORD dwReserved1;
  DWORD dwReserved2;
};

// JOYERR_UNPLUGGED when no joystick has the number.
UINT joyGetDevCapsA(uintptr_t joystickId, JOYCAPSA* caps, UINT size);
// JOYERR_PARMS for a bad size; JOYERR_UNPLUGGED when no joystick has the number.
UINT joyGetPosEx(UINT joystickId, JOYINFOEX* info);
