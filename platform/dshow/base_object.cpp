// Identifiers, media types, events and the reference count of the base
// classes.
#include <cstring>

#include "platform/dshow/dshow_base.h"

const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// Types named by a four-character code or a wave format tag share one tail.
#define ZR_FOURCC_GUID(code) {code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}}
const GUID MEDIATYPE_Video = ZR_FOURCC_GUID(0x73646976);  // 'vids'
const GUID MEDIATYPE_Audio = ZR_FOURCC_GUID(0x73647561);  // 'auds'
const GUID MEDIASUBTYPE_PCM = ZR_FOURCC_GUID(WAVE_FORMAT_PCM);
const GUID MEDIASUBTYPE_MPEG1AudioPayload = ZR_FOURCC_GUID(WAVE_FORMAT_MPEG);
const GUID MEDIASUBTYPE_MP3 = ZR_FOURCC_GUID(WAVE_FORMAT_MPEGLAYER3);
#undef ZR_FOURCC_GUID

const GUID MEDIATYPE_Stream = {0xE436EB83, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID MEDIASUBTYPE_NULL = GUID_NULL;
const GUID MEDIASUBTYPE_RGB24 = {0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID MEDIASUBTYPE_RGB32 = {0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID MEDIASUBTYPE_MPEG1Audio = {0xE436EB87, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID FORMAT_None = {0x0F6417D6, 0xC318, 0x11D0, {0xA4, 0x3F, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID FORMAT_VideoInfo = {0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
const GUID FORMAT_WaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

const CLSID CLSID_FilterGraph = {0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const CLSID CLSID_NullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

// The interfaces of this stand-in carry identifiers of its own.
#define ZR_DSHOW_IID(n) {0x5A524400 + (n), 0x4453, 0x0000, {'Z', 'R', 'D', 'S', 'H', 'O', 'W', (n)}}
const IID IID_IPersist = ZR_DSHOW_IID(1);
const IID IID_IMediaFilter = ZR_DSHOW_IID(2);
const IID IID_IBaseFilter = ZR_DSHOW_IID(3);
const IID IID_IPin = ZR_DSHOW_IID(4);
const IID IID_IEnumPins = ZR_DSHOW_IID(5);
const IID IID_IEnumMediaTypes = ZR_DSHOW_IID(6);
const IID IID_IEnumFilters = ZR_DSHOW_IID(7);
const IID IID_IMemAllocator = ZR_DSHOW_IID(8);
const IID IID_IMemInputPin = ZR_DSHOW_IID(9);
const IID IID_IMediaSample = ZR_DSHOW_IID(10);
const IID IID_IMediaSample2 = ZR_DSHOW_IID(11);
const IID IID_IAsyncReader = ZR_DSHOW_IID(12);
const IID IID_IReferenceClock = ZR_DSHOW_IID(13);
const IID IID_IFilterGraph = ZR_DSHOW_IID(14);
const IID IID_IGraphBuilder = ZR_DSHOW_IID(15);
const IID IID_IMediaControl = ZR_DSHOW_IID(16);
const IID IID_IMediaEvent = ZR_DSHOW_IID(17);
const IID IID_IMediaEventSink = ZR_DSHOW_IID(18);
const IID IID_IMediaSeeking = ZR_DSHOW_IID(19);
const IID IID_IBasicAudio = ZR_DSHOW_IID(20);
#undef ZR_DSHOW_IID

namespace {

std::atomic<int> liveObjects{0};

// Every event shares one lock and one condition, so that a wait can watch
// several events at once.
std::mutex eventMutex;
std::condition_variable eventChanged;

}  // namespace

int PlatformLiveDShowObjectCount() { return liveObjects.load(); }

// ---------------------------------------------------------------- events

void D_CAMEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(eventMutex);
    set_ = true;
  }
  eventChanged.notify_all();
}

void D_CAMEvent::Reset() {
  std::lock_guard<std::mutex> lock(eventMutex);
  set_ = false;
}

bool D_CAMEvent::Wait(DWORD milliseconds) {
  D_CAMEvent* self = this;
  return D_WaitForEvents(&self, 1, milliseconds) == WAIT_OBJECT_0;
}

DWORD D_WaitForEvents(D_CAMEvent* const* events, int count, DWORD milliseconds) {
  std::unique_lock<std::mutex> lock(eventMutex);
  int found = -1;
  auto anySet = [&] {
    for (int i = 0; i < count; ++i) {
      if (events[i]->set_) {
        found = i;
        return true;
      }
    }
    return false;
  };
  if (milliseconds == INFINITE) {
    eventChanged.wait(lock, anySet);
  } else if (!eventChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), anySet)) {
    return WAIT_TIMEOUT;
  }
  if (!events[found]->manual_) events[found]->set_ = false;
  return WAIT_OBJECT_0 + static_cast<DWORD>(found);
}

// ---------------------------------------------------------------- objects

D_CUnknown::D_CUnknown(const char* objectName, IUnknown* outer) : outer_(outer), objectName_(objectName) {
  ++liveObjects;
}

D_CUnknown::~D_CUnknown() { --liveObjects; }

HRESULT D_CUnknown::NonDelegatingQueryInterface(const IID&, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG D_CUnknown::NonDelegatingAddRef() { return static_cast<ULONG>(++references_); }

ULONG D_CUnknown::NonDelegatingRelease() {
  const LONG left = --references_;
  if (left == 0) {
    // Held up while the destructor runs, so that a pass through AddRef and
    // Release on the way cannot delete the object twice.
    references_ = 1;
    delete this;
  }
  return static_cast<ULONG>(left < 0 ? 0 : left);
}

HRESULT D_CUnknown::OwnerQueryInterface(const IID& iid, void** out) {
  return outer_ != nullptr ? outer_->QueryInterface(iid, out) : NonDelegatingQueryInterface(iid, out);
}

ULONG D_CUnknown::OwnerAddRef() { return outer_ != nullptr ? outer_->AddRef() : NonDelegatingAddRef(); }

ULONG D_CUnknown::OwnerRelease() { return outer_ != nullptr ? outer_->Release() : NonDelegatingRelease(); }

HRESULT D_GetInterface(IUnknown* object, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = object;
  object->AddRef();
  return S_OK;
}

// ---------------------------------------------------------------- media types

void FreeMediaType(AM_MEDIA_TYPE& mediaType) {
  if (mediaType.cbFormat != 0 || mediaType.pbFormat != nullptr) CoTaskMemFree(mediaType.pbFormat);
  mediaType.cbFormat = 0;
  mediaType.pbFormat = nullptr;
  if (mediaType.pUnk != nullptr) {
    mediaType.pUnk->Release();
    mediaType.pUnk = nullptr;
  }
}

void DeleteMediaType(AM_MEDIA_TYPE* mediaType) {
  if (mediaType == nullptr) return;
  FreeMediaType(*mediaType);
  CoTaskMemFree(mediaType);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  if (target == nullptr || source == nullptr) return E_POINTER;
  *target = *source;
  if (source->cbFormat != 0 && source->pbFormat != nullptr) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (target->pbFormat == nullptr) {
      target->cbFormat = 0;
      target->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
  } else {
    target->cbFormat = 0;
    target->pbFormat = nullptr;
  }
  if (target->pUnk != nullptr) target->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (type == nullptr) return nullptr;
  if (FAILED(CopyMediaType(type, source))) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

D_CMediaType::D_CMediaType() : AM_MEDIA_TYPE() { Clear(); }

D_CMediaType::D_CMediaType(const AM_MEDIA_TYPE& other) : AM_MEDIA_TYPE() {
  Clear();
  *this = other;
}

D_CMediaType::D_CMediaType(const D_CMediaType& other) : D_CMediaType(static_cast<const AM_MEDIA_TYPE&>(other)) {}

D_CMediaType& D_CMediaType::operator=(const AM_MEDIA_TYPE& other) {
  if (&other == this) return *this;
  FreeMediaType(*this);
  if (FAILED(CopyMediaType(this, &other))) Clear();
  return *this;
}

D_CMediaType& D_CMediaType::operator=(const D_CMediaType& other) {
  return *this = static_cast<const AM_MEDIA_TYPE&>(other);
}

D_CMediaType::~D_CMediaType() { FreeMediaType(*this); }

bool D_CMediaType::operator==(const D_CMediaType& other) const {
  return majortype == other.majortype && subtype == other.subtype && formattype == other.formattype &&
         cbFormat == other.cbFormat && (cbFormat == 0 || memcmp(pbFormat, other.pbFormat, cbFormat) == 0);
}

bool D_CMediaType::MatchesPartial(const AM_MEDIA_TYPE& partial) const {
  if (partial.majortype != GUID_NULL && partial.majortype != majortype) return false;
  if (partial.subtype != GUID_NULL && partial.subtype != subtype) return false;
  if (partial.formattype != GUID_NULL) {
    if (partial.formattype != formattype) return false;
    if (partial.cbFormat != 0 &&
        (partial.cbFormat != cbFormat || memcmp(partial.pbFormat, pbFormat, cbFormat) != 0)) {
      return false;
    }
  }
  return true;
}

void D_CMediaType::Clear() {
  FreeMediaType(*this);
  majortype = GUID_NULL;
  subtype = GUID_NULL;
  formattype = GUID_NULL;
  bFixedSizeSamples = TRUE;
  bTemporalCompression = FALSE;
  lSampleSize = 1;
}

BYTE* D_CMediaType::AllocFormatBuffer(ULONG size) {
  FreeMediaType(*this);
  pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(size));
  if (pbFormat == nullptr) return nullptr;
  memset(pbFormat, 0, size);
  cbFormat = size;
  return pbFormat;
}

bool D_CMediaType::SetFormat(const void* format, ULONG size) {
  BYTE* block = AllocFormatBuffer(size);
  if (block == nullptr) return false;
  memcpy(block, format, size);
  return true;
}
