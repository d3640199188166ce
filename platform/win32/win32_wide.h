// Wide-character (UTF-16) text: conversions from and to the multi-byte code
// pages the library uses, and the wide file calls the DirectShow path needs.
#pragma once

#include <string>

#include "platform/win32/win32_types.h"

// The system's code page: 932 here.
constexpr UINT CP_ACP = 0;

// Converts `bytes` bytes of text in the code page (CP_ACP, 932, 936, 949 or
// 950; -1 bytes: up to and including the terminating zero) into `chars`
// wide characters at out. The characters written, or with chars 0 the
// number needed; 0 on failure (an unknown code page, a buffer too small).
// Bytes that do not convert become U+FFFD.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int bytes, LPWSTR out, int chars);
// The reverse: `chars` wide characters (-1: up to and including the zero)
// into `bytes` bytes of the code page; with bytes 0 the number needed.
// Characters the code page lacks become '?'.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int chars, LPSTR out, int bytes,
                        LPCSTR defaultChar, BOOL* usedDefault);
BOOL DeleteFileW(LPCWSTR path);

// A zero-terminated wide string as UTF-8 (for the stand-ins that open files
// by wide names).
std::string WideToUtf8(LPCWSTR text);
