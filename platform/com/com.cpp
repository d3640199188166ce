#include "platform/com/com.h"

#include <cstdlib>

#include "platform/ddraw/ddraw.h"
#include "platform/dinput/dinput_classes.h"
#include "platform/dshow/dshow.h"
#include "platform/dsound/dsound.h"

const IID IID_IUnknown = {0x5A520000, 0x0000, 0x0000, {'Z', 'R', 'C', 'O', 'M', 0, 0, 1}};

namespace {

thread_local int initCount = 0;

// The classes objects can be made of.
struct ComClass {
  HRESULT (*create)(const CLSID& classId, const IID& iid, void** out);  // REGDB_E_CLASSNOTREG: not this one
};

const ComClass kClasses[] = {
    {CreateDirectInputClassObject},
    {CreateDirectDrawClassObject},
    {CreateDirectSoundClassObject},
    {CreateDirectShowClassObject},
};

}  // namespace

HRESULT CoInitialize(void*) { return initCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (initCount > 0) --initCount;
}

HRESULT CoCreateInstance(const CLSID& classId, IUnknown* outer, DWORD, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (initCount == 0) return CO_E_NOTINITIALIZED;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  for (const ComClass& c : kClasses) {
    HRESULT result = c.create(classId, iid, out);
    if (result != REGDB_E_CLASSNOTREG) return result;
  }
  return REGDB_E_CLASSNOTREG;
}

void* CoTaskMemAlloc(size_t size) { return malloc(size == 0 ? 1 : size); }

void CoTaskMemFree(void* block) { free(block); }
