// COM start-up and shut-down for the calling thread.
#pragma once

#include "platform/win32/win32_types.h"

// S_OK on the thread's first call, S_FALSE on later ones; each call is
// paired with a CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
