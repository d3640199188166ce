#include "platform/com/com.h"

#include "platform/ddraw/ddraw.h"

namespace {
thread_local int initCount = 0;
}  // namespace

HRESULT CoInitialize(void*) { return initCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (initCount > 0) --initCount;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown*, DWORD, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid == CLSID_DirectDraw7) return PlatformCreateDirectDraw7(iid, out);
  return REGDB_E_CLASSNOTREG;
}
