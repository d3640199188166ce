#include "platform/ddraw/ddraw.h"

#include <atomic>

#include "platform/win32/win32_time.h"

namespace {

std::atomic<int> liveObjects{0};

constexpr int64_t kRefreshHz = 60;

class DirectDraw final : public IDirectDraw7 {
 public:
  DirectDraw() { ++liveObjects; }

  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (!IsEqualGUID(iid, IID_IDirectDraw7) && !IsEqualGUID(iid, IID_IUnknown)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *out = static_cast<IDirectDraw7*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      --liveObjects;
      delete this;
    }
    return left;
  }

  HRESULT Initialize(GUID*) override {
    if (initialised_) return DDERR_ALREADYINITIALIZED;
    initialised_ = true;
    return DD_OK;
  }
  HRESULT SetCooperativeLevel(HWND, DWORD) override { return initialised_ ? DD_OK : DDERR_NOTINITIALIZED; }
  HRESULT WaitForVerticalBlank(DWORD flags, HANDLE) override {
    if (!initialised_) return DDERR_NOTINITIALIZED;
    if (flags & DDWAITVB_BLOCKBEGINEVENT) return DDERR_UNSUPPORTED;
    if ((flags & (DDWAITVB_BLOCKBEGIN | DDWAITVB_BLOCKEND)) == 0) return DDERR_INVALIDPARAMS;
    // The next whole multiple of the period (in microseconds, rounded so
    // that 60 periods make a second).
    const int64_t now = PlatformCounterMicroseconds();
    const int64_t frame = now * kRefreshHz / 1000000 + 1;
    const int64_t next = (frame * 1000000 + kRefreshHz - 1) / kRefreshHz;
    // Asleep until the blank's microsecond on the system's high-resolution
    // timer (one wake-up, which a busy machine delays least; a wait that
    // gave the processor away again and again near the end came back late by
    // a varying share of a time slice); the virtual clock is moved there at
    // once.
    if (PlatformVirtualClockActive()) {
      PlatformAdvanceVirtualClock(static_cast<uint64_t>(next - now));
      return DD_OK;
    }
    PlatformSleepUntilMicroseconds(next);
    return DD_OK;
  }

 private:
  ~DirectDraw() = default;
  std::atomic<ULONG> references_{1};
  bool initialised_ = false;
};

}  // namespace

HRESULT CreateDirectDrawClassObject(const CLSID& classId, const IID& iid, void** out) {
  if (!IsEqualGUID(classId, CLSID_DirectDraw7)) return REGDB_E_CLASSNOTREG;
  if (!IsEqualGUID(iid, IID_IDirectDraw7) && !IsEqualGUID(iid, IID_IUnknown)) return E_NOINTERFACE;
  *out = static_cast<IDirectDraw7*>(new DirectDraw);
  return S_OK;
}

int PlatformLiveDirectDrawCount() { return liveObjects.load(); }
