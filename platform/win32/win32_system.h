// Facts about the machine and the system, and run-time module loading.
#pragma once

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
// still come from the system on their own.
void PlatformKeepFreedHeapMemory();
// The whole pages inside the heap's free blocks go back to the system: a
// block later made there takes memory only for the pages it writes.
void PlatformReturnFreedHeapMemory();
// Pages straight from the system, zeroed, untouched until they are used
// (as a Windows heap serves its largest blocks); null when there are none.
// PlatformFreePages gives them back at once, with the size they were asked
// with.
void* PlatformAllocZeroedPages(size_t size);
void PlatformFreePages(void* pages, size_t size);

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
