// The Win32 stand-ins the library calls.
#pragma once

#include "platform/win32/win32_types.h"
#include "platform/win32/win32_file.h"
#include "platform/win32/win32_misc.h"
#include "platform/win32/win32_sync.h"
#include "platform/win32/win32_time.h"
#include "platform/win32/win32_window.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_joystick.h"
#include "platform/win32/win32_wide.h"
