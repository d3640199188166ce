#include "platform/com/com.h"

namespace {
thread_local int initCount = 0;
}  // namespace

HRESULT CoInitialize(void*) { return initCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (initCount > 0) --initCount;
}
