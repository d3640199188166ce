#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/win32/win32.h"

namespace {

TEST(Joystick, DevicesAndPositionsOnTheRawScale) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
  int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 4, 33, 1);
  ASSERT_EQ(index, 0);
  SDL_Joystick* pad = SDL_JoystickOpen(index);

  JOYCAPSA caps{};
  ASSERT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), JOYERR_NOERROR);
  EXPECT_EQ(caps.wCaps & (JOYCAPS_HASZ | JOYCAPS_HASR | JOYCAPS_HASU | JOYCAPS_HASPOV),
            JOYCAPS_HASZ | JOYCAPS_HASR | JOYCAPS_HASPOV);
  EXPECT_EQ(caps.wNumAxes, 4u);
  EXPECT_EQ(caps.wNumButtons, 32u);
  EXPECT_EQ(joyGetDevCapsA(1, &caps, sizeof caps), JOYERR_UNPLUGGED);
  EXPECT_EQ(joyGetDevCapsA(0, &caps, sizeof caps - 1), JOYERR_PARMS);

  SDL_JoystickSetVirtualAxis(pad, 0, -32768);
  SDL_JoystickSetVirtualAxis(pad, 1, 32767);
  SDL_JoystickSetVirtualAxis(pad, 3, 0);
  SDL_JoystickSetVirtualButton(pad, 0, 1);
  SDL_JoystickSetVirtualButton(pad, 31, 1);
  SDL_JoystickSetVirtualButton(pad, 32, 1);  // past the 32 bits
  SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_LEFTDOWN);
  JOYINFOEX info{};
  info.dwSize = sizeof info;
  info.dwFlags = JOY_RETURNALL;
  ASSERT_EQ(joyGetPosEx(0, &info), JOYERR_NOERROR);
  EXPECT_EQ(info.dwXpos, 0u);
  EXPECT_EQ(info.dwYpos, 65535u);
  EXPECT_EQ(info.dwRpos, 32768u);
  EXPECT_EQ(info.dwUpos, 32767u);  // an axis the pad lacks rests in the middle
  EXPECT_EQ(info.dwButtons, 0x80000001u);
  EXPECT_EQ(info.dwButtonNumber, 2u);
  EXPECT_EQ(info.dwPOV, 22500u);
  EXPECT_EQ(joyGetPosEx(3, &info), JOYERR_UNPLUGGED);
  info.dwSize = 0;
  EXPECT_EQ(joyGetPosEx(0, &info), JOYERR_PARMS);

  // Another pad at the number is read as the new one.
  SDL_JoystickClose(pad);
  SDL_JoystickDetachVirtual(0);
  info.dwSize = sizeof info;
  EXPECT_EQ(joyGetPosEx(0, &info), JOYERR_UNPLUGGED);
  ASSERT_EQ(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 2, 0), 0);
  ASSERT_EQ(joyGetPosEx(0, &info), JOYERR_NOERROR);
  EXPECT_EQ(info.dwButtons, 0u);
  EXPECT_EQ(info.dwPOV, JOY_POVCENTERED);
}

}  // namespace
