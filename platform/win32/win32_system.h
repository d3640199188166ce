// Facts about the machine and the system, and run-time module loading.
#pragma once

#include <atomic>

#include "platform/win32/win32_types.h"
#include "platform/win32/win32_window.h"

struct SYSTEM_INFO {
  WORD wProcessorArchitecture;
  WORD wReserved;
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress;
  LPVOID lpMaximumApplicationAddress;
  uintptr_t dwActiveProcessorMask;
  DWORD dwNumberOfProcessors;
  DWORD dwProcessorType;
  DWORD dwAllocationGranularity;
  WORD wProcessorLevel;
  WORD wProcessorRevision;
};

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char szCSDVersion[128];
};

struct MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  size_t dwTotalPhys;
  size_t dwAvailPhys;
  size_t dwTotalPageFile;
  size_t dwAvailPageFile;
  size_t dwTotalVirtual;
  size_t dwAvailVirtual;
};

// Reached through GetProcAddress(kernel32, "GlobalMemoryStatusEx").
struct MEMORYSTATUSEX {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  ULONGLONG ullTotalPhys;
  ULONGLONG ullAvailPhys;
  ULONGLONG ullTotalPageFile;
  ULONGLONG ullAvailPageFile;
  ULONGLONG ullTotalVirtual;
  ULONGLONG ullAvailVirtual;
  ULONGLONG ullAvailExtendedVirtual;
};
typedef BOOL (*GlobalMemoryStatusExProc)(MEMORYSTATUSEX* status);

// Freed memory stays with the process for reuse, as the Windows process
// heap keeps it, instead of going back to the system block by block: large
// blocks (the pictures that start-up decodes, converts and frees one after
// another) then reuse pages that are already there. Blocks of 32 MB or more
// still come from the system on their own. All threads share the one heap,
// as on Windows: pictures decoded on the read-ahead threads are kept and
// freed by the main thread, and a heap of each thread's own would give the
// room a freed picture leaves only to the thread that made it, so that
// every reload of the pictures (a change of window mode) scatters them
// afresh and the process grows.
void PlatformKeepFreedHeapMemory();
// The whole pages inside the heap's free blocks go back to the system: a
// block later made there takes memory only for the pages it writes.
void PlatformReturnFreedHeapMemory();
// Makes the pages of a block that is about to be written whole, in one call
// rather than a page fault at a time (where the system offers it; blocks
// below 64 KB are left alone).
void PlatformPrefaultMemory(void* block, size_t bytes);
// The processors this program may run on (at least 1).
int32_t PlatformUsableProcessorCount();
// The size of a memory page.
size_t PlatformPageSize();
// A block of whole pages of its own, zero-filled as each page is first
// touched (the Windows heap's way with large blocks), or null; and its
// return (bytes as asked for).
void* PlatformMapBlock(size_t bytes);
void PlatformUnmapBlock(void* block, size_t bytes);
// A span of address space of that many bytes (reserved, no memory made
// until touched) that the system backs with huge pages where it offers them
// for the asking, starting on a huge-page boundary; null when it cannot be
// reserved.
void* PlatformReserveHugePageSpan(size_t bytes);
// The whole pages inside a block go back to the system (read as zeros when
// next touched); the block stays mapped.
void PlatformDiscardPages(void* block, size_t bytes);

// Work for the time a window's creation waits on the display: where the
// Direct3D 9 stand-in asks the display for its OpenGL renderer (a child
// process that loads the OpenGL driver), the first window waits for the
// answer. From the moment that wait begins the work runs on a thread of its
// own at the lowest priority (it takes only a processor nothing else wants),
// and is told to stop when the answer has come; the creation goes on once
// the work has returned, so it should look at the flag between small steps.
// Where no answer is awaited (SDL's dummy driver, a setting that forces the
// drawing path) the work never runs. Null: none.
using PlatformWaitWork = void (*)(const std::atomic<bool>& stop);
void PlatformSetDisplayWaitWork(PlatformWaitWork work);
PlatformWaitWork PlatformDisplayWaitWork();

// Logical processors online.
void GetSystemInfo(SYSTEM_INFO* info);
// The system answers as the newest Windows the library knows: NT 6.1
// (Windows 7), build 7601, "Service Pack 1".
BOOL GetVersionExA(OSVERSIONINFOA* info);
void GlobalMemoryStatus(MEMORYSTATUS* status);
// The OEM code page: 932.
UINT GetOEMCP();

// Modules: "kernel32" (GlobalMemoryStatusEx), "user32" and "dwmapi"
// (DwmEnableComposition, which has nothing to switch here and succeeds),
// "d3d9" (Direct3DCreate9, Direct3DCreate9Ex; missing when the Direct3D
// stand-in's adapter says so, platform/d3d9/d3d9_control.h) and "dsound"
// (DirectSoundEnumerateA, platform/dsound/dsound.h). The ".dll" suffix and
// letter case do not matter; unknown modules fail.
typedef void (*FARPROC)();
HMODULE LoadLibraryA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
typedef LONG (*DwmEnableCompositionProc)(UINT action);

// The processor identification instruction: eax, ebx, ecx, edx of the given
// function. False when the processor has no such instruction or function.
bool ReadCpuId(uint32_t function, uint32_t registers[4]);

// Ends the process with the exit code (the C runtime's exit). A hook set by a
// test is called first; a hook that returns lets the process end.
[[noreturn]] void ExitProcess(UINT exitCode);
typedef void (*PlatformExitHook)(UINT exitCode);
void PlatformSetExitHook(PlatformExitHook hook);
