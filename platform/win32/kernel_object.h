// Internal: the object behind every kernel HANDLE of the stand-ins.
#pragma once

#include "platform/win32/win32_types.h"

struct KernelObject {
  virtual ~KernelObject() = default;
  // Waits until the object is signalled; WAIT_FAILED when it cannot be waited on.
  virtual DWORD Wait(DWORD milliseconds) {
    (void)milliseconds;
    return WAIT_FAILED;
  }
};

// The object of a handle, or null for null and INVALID_HANDLE_VALUE.
KernelObject* KernelObjectFromHandle(HANDLE handle);
HANDLE HandleFromKernelObject(KernelObject* object);
