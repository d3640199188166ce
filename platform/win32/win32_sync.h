// Critical sections, events, threads and kernel-object waits.
#pragma once

#include "platform/win32/win32_types.h"

// A recursive lock. The storage is opaque; InitializeCriticalSection must run
// before any other use and DeleteCriticalSection after the last.
struct CRITICAL_SECTION {
  void* impl = nullptr;
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);

// Events: manual reset stays signalled until ResetEvent; auto reset releases
// one waiter and clears itself. Names are not supported (pass null).
HANDLE CreateEventA(SECURITY_ATTRIBUTES* attributes, BOOL manualReset, BOOL initialState,
                    LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Waits on an event or a thread (signalled once it has ended). A timeout of 0
// polls. Returns WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
constexpr DWORD CREATE_SUSPENDED = 0x4;

// Starts a thread (CREATE_SUSPENDED holds it until ResumeThread). The stack
// size is a hint and may be ignored.
HANDLE CreateThread(SECURITY_ATTRIBUTES* attributes, size_t stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    DWORD* threadId);
DWORD ResumeThread(HANDLE thread);
// STILL_ACTIVE while the thread runs, then the value its start routine returned.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
DWORD GetCurrentThreadId();

constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
BOOL SetThreadPriority(HANDLE thread, int priority);

// Closes any kernel handle. A thread keeps running after its handle is closed.
BOOL CloseHandle(HANDLE handle);

// Threads started by CreateThread that have not ended yet (tests only).
int PlatformLiveThreadCount();
