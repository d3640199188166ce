// Debugger output and the current directory.
#pragma once

#include "platform/win32/win32_types.h"

// Writes the Shift-JIS text to standard error (as UTF-8).
void OutputDebugStringA(LPCSTR text);
// Tests may silence the debugger output.
void PlatformSetDebugOutput(bool on);

// The current directory in the Windows form the library works with: the drive
// "C:" stands for the root of the host file system, separators are '\' and
// the text is Shift-JIS. Returns the length written without the terminator, or
// the size needed (terminator included) when the buffer is too small, or 0 on
// failure.
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);

DWORD GetLastError();
void SetLastError(DWORD error);
