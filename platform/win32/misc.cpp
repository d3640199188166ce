#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/sjis.h"
#include "platform/win32/win32_misc.h"

namespace {
std::atomic<bool> debugOutput{true};
thread_local DWORD lastError = 0;
}  // namespace

void OutputDebugStringA(LPCSTR text) {
  if (text == nullptr || !debugOutput.load()) return;
  std::string utf8;
  SjisToUtf8(text, utf8);
  fwrite(utf8.data(), 1, utf8.size(), stderr);
}

void PlatformSetDebugOutput(bool on) { debugOutput.store(on); }

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  char host[4096];
  if (getcwd(host, sizeof host) == nullptr) return 0;
  std::string windows = HostPathToWindows(host);
  if (buffer == nullptr || bufferLength < windows.size() + 1)
    return static_cast<DWORD>(windows.size() + 1);
  memcpy(buffer, windows.c_str(), windows.size() + 1);
  return static_cast<DWORD>(windows.size());
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  if (path == nullptr) return FALSE;
  std::string host = MapPathToHost(path);
  return chdir(host.c_str()) == 0 ? TRUE : FALSE;
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }
