// Base filters and pins: state changes, connection and the enumerators.
#include <cstring>

#include "platform/dshow/dshow_base.h"

namespace {

void CopyName(const std::u16string& name, WCHAR* out, size_t capacity) {
  const size_t n = name.size() < capacity - 1 ? name.size() : capacity - 1;
  memcpy(out, name.data(), n * sizeof(WCHAR));
  out[n] = 0;
}

std::u16string NameOf(LPCWSTR name) { return name != nullptr ? std::u16string(name) : std::u16string(); }

class PinEnumerator : public D_CUnknown, public IEnumPins {
 public:
  explicit PinEnumerator(D_CBaseFilter* filter) : D_CUnknown("EnumPins", nullptr), filter_(filter) { filter_->AddRef(); }
  ~PinEnumerator() override { filter_->Release(); }
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IEnumPins || iid == IID_IUnknown) return D_GetInterface(static_cast<IEnumPins*>(this), out);
    return D_CUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override {
    if (pins == nullptr) return E_POINTER;
    ULONG n = 0;
    while (n < count && position_ < filter_->GetPinCount()) {
      D_CBasePin* pin = filter_->GetPin(position_++);
      if (pin == nullptr) continue;
      pins[n] = pin;
      pin->AddRef();
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    position_ += static_cast<int>(count);
    return position_ <= filter_->GetPinCount() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }

 private:
  D_CBaseFilter* filter_;
  int position_ = 0;
};

class MediaTypeEnumerator : public D_CUnknown, public IEnumMediaTypes {
 public:
  explicit MediaTypeEnumerator(D_CBasePin* pin) : D_CUnknown("EnumMediaTypes", nullptr), pin_(pin) { pin_->AddRef(); }
  ~MediaTypeEnumerator() override { pin_->Release(); }
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IEnumMediaTypes || iid == IID_IUnknown)
      return D_GetInterface(static_cast<IEnumMediaTypes*>(this), out);
    return D_CUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    if (types == nullptr) return E_POINTER;
    ULONG n = 0;
    while (n < count) {
      D_CMediaType type;
      if (pin_->GetMediaType(position_, &type) != S_OK) break;
      ++position_;
      types[n] = CreateMediaType(&type);
      if (types[n] == nullptr) break;
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    position_ += static_cast<int>(count);
    return S_OK;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }

 private:
  D_CBasePin* pin_;
  int position_ = 0;
};

}  // namespace

// ---------------------------------------------------------------- filter

D_CBaseFilter::D_CBaseFilter(const char* objectName, IUnknown* outer, D_CCritSec* lock, const CLSID& classId)
    : D_CUnknown(objectName, outer), lock_(lock), classId_(classId) {}

D_CBaseFilter::~D_CBaseFilter() {
  if (clock_ != nullptr) clock_->Release();
}

HRESULT D_CBaseFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist || iid == IID_IUnknown)
    return D_GetInterface(static_cast<IBaseFilter*>(this), out);
  return D_CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT D_CBaseFilter::GetClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = classId_;
  return S_OK;
}

HRESULT D_CBaseFilter::Stop() {
  D_CAutoLock lock(lock_);
  HRESULT result = S_OK;
  if (state_.load() != State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      D_CBasePin* pin = GetPin(i);
      if (pin == nullptr || !pin->IsConnected()) continue;
      const HRESULT hr = pin->Inactive();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
  }
  state_ = State_Stopped;
  return result;
}

HRESULT D_CBaseFilter::Pause() {
  D_CAutoLock lock(lock_);
  if (state_.load() == State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      D_CBasePin* pin = GetPin(i);
      if (pin == nullptr || !pin->IsConnected()) continue;
      const HRESULT hr = pin->Active();
      if (FAILED(hr)) return hr;
    }
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT D_CBaseFilter::Run(REFERENCE_TIME start) {
  D_CAutoLock lock(lock_);
  start_ = start;
  if (state_.load() == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  state_ = State_Running;
  return S_OK;
}

HRESULT D_CBaseFilter::GetState(DWORD, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  *state = state_.load();
  return S_OK;
}

HRESULT D_CBaseFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard<std::mutex> lock(clockMutex_);
  if (clock != nullptr) clock->AddRef();
  if (clock_ != nullptr) clock_->Release();
  clock_ = clock;
  return S_OK;
}

HRESULT D_CBaseFilter::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  *clock = Clock();
  return S_OK;
}

IReferenceClock* D_CBaseFilter::Clock() {
  std::lock_guard<std::mutex> lock(clockMutex_);
  if (clock_ != nullptr) clock_->AddRef();
  return clock_;
}

HRESULT D_CBaseFilter::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  *pins = new PinEnumerator(this);
  (*pins)->AddRef();
  return S_OK;
}

HRESULT D_CBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (id == nullptr || pin == nullptr) return E_POINTER;
  *pin = nullptr;
  const std::u16string wanted(id);
  for (int i = 0; i < GetPinCount(); ++i) {
    D_CBasePin* p = GetPin(i);
    if (p != nullptr && p->Name() == wanted) {
      *pin = p;
      p->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT D_CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) return E_POINTER;
  CopyName(name_, info->achName, MAX_FILTER_NAME);
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

HRESULT D_CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  D_CAutoLock lock(lock_);
  graph_ = graph;
  sink_ = nullptr;
  if (graph != nullptr) {
    // Kept without a reference: the graph holds the filter.
    void* sink = nullptr;
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, &sink))) {
      sink_ = static_cast<IMediaEventSink*>(sink);
      sink_->Release();
    }
  }
  name_ = NameOf(name);
  return S_OK;
}

HRESULT D_CBaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
  IMediaEventSink* sink = sink_;
  return sink != nullptr ? sink->Notify(code, param1, param2) : E_NOTIMPL;
}

// ---------------------------------------------------------------- pin

D_CBasePin::D_CBasePin(const char* objectName, D_CBaseFilter* filter, D_CCritSec* lock, HRESULT*,
                       const char16_t* pinName, PIN_DIRECTION direction)
    : D_CUnknown(objectName, nullptr),
      filter_(filter),
      lock_(lock),
      direction_(direction),
      name_(pinName != nullptr ? pinName : u"") {}

D_CBasePin::~D_CBasePin() {
  if (connected_ != nullptr) connected_->Release();
}

// A pin lives as long as its filter: its references are the filter's.
ULONG D_CBasePin::NonDelegatingAddRef() { return filter_->AddRef(); }

ULONG D_CBasePin::NonDelegatingRelease() { return filter_->Release(); }

HRESULT D_CBasePin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IID_IPin || iid == IID_IUnknown) return D_GetInterface(static_cast<IPin*>(this), out);
  return D_CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT D_CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) {
  if (receivePin == nullptr) return E_POINTER;
  D_CAutoLock lock(lock_);
  if (connected_ != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  PIN_DIRECTION other;
  if (FAILED(receivePin->QueryDirection(&other)) || other == direction_) return VFW_E_INVALID_DIRECTION;

  D_CMediaType partial;
  if (mediaType != nullptr) partial = *mediaType;
  if (mediaType != nullptr && partial.majortype != GUID_NULL && partial.subtype != GUID_NULL &&
      partial.formattype != GUID_NULL) {
    return AttemptConnection(receivePin, &partial);
  }
  HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
  IPin* sources[2] = {this, receivePin};
  for (IPin* source : sources) {
    IEnumMediaTypes* types = nullptr;
    if (FAILED(source->EnumMediaTypes(&types))) continue;
    const HRESULT hr = TryMediaTypes(receivePin, mediaType != nullptr ? &partial : nullptr, types);
    types->Release();
    if (SUCCEEDED(hr)) return S_OK;
    if (hr != VFW_E_NO_ACCEPTABLE_TYPES) failure = hr;
  }
  return failure;
}

HRESULT D_CBasePin::TryMediaTypes(IPin* receivePin, const D_CMediaType* partial, IEnumMediaTypes* types) {
  HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
  for (;;) {
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &type, &fetched) != S_OK || fetched != 1) break;
    D_CMediaType candidate(*type);
    DeleteMediaType(type);
    if (!candidate.IsValid()) continue;
    if (partial != nullptr && !candidate.MatchesPartial(*partial)) continue;
    const HRESULT hr = AttemptConnection(receivePin, &candidate);
    if (SUCCEEDED(hr)) return S_OK;
    failure = hr;
  }
  return failure;
}

HRESULT D_CBasePin::AttemptConnection(IPin* receivePin, const D_CMediaType* mediaType) {
  HRESULT hr = CheckMediaType(mediaType);
  if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  connected_ = receivePin;
  connected_->AddRef();
  bool peerConnected = false;
  hr = SetMediaType(mediaType);
  if (SUCCEEDED(hr)) {
    hr = receivePin->ReceiveConnection(this, mediaType);
    peerConnected = SUCCEEDED(hr);
  }
  if (SUCCEEDED(hr)) hr = CheckConnect(receivePin);
  if (SUCCEEDED(hr)) hr = CompleteConnect(receivePin);
  if (SUCCEEDED(hr)) return S_OK;
  if (peerConnected) receivePin->Disconnect();
  BreakConnect();
  connected_->Release();
  connected_ = nullptr;
  mediaType_.Clear();
  return hr;
}

HRESULT D_CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mediaType) {
  if (connector == nullptr || mediaType == nullptr) return E_POINTER;
  D_CAutoLock lock(lock_);
  if (connected_ != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(connector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  const D_CMediaType type(*mediaType);
  hr = CheckMediaType(&type);
  if (hr != S_OK) {
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  connected_ = connector;
  connected_->AddRef();
  hr = SetMediaType(&type);
  if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
  if (SUCCEEDED(hr)) return S_OK;
  BreakConnect();
  connected_->Release();
  connected_ = nullptr;
  mediaType_.Clear();
  return hr;
}

HRESULT D_CBasePin::Disconnect() {
  D_CAutoLock lock(lock_);
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  if (connected_ == nullptr) return S_FALSE;
  BreakConnect();
  connected_->Release();
  connected_ = nullptr;
  mediaType_.Clear();
  return S_OK;
}

HRESULT D_CBasePin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  D_CAutoLock lock(lock_);
  *pin = connected_;
  if (connected_ == nullptr) return VFW_E_NOT_CONNECTED;
  connected_->AddRef();
  return S_OK;
}

HRESULT D_CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  D_CAutoLock lock(lock_);
  if (connected_ == nullptr) {
    memset(mediaType, 0, sizeof *mediaType);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(mediaType, &mediaType_);
}

HRESULT D_CBasePin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = direction_;
  CopyName(name_, info->achName, MAX_PIN_NAME);
  return S_OK;
}

HRESULT D_CBasePin::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) return E_POINTER;
  *direction = direction_;
  return S_OK;
}

HRESULT D_CBasePin::QueryAccept(const AM_MEDIA_TYPE* mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  const D_CMediaType type(*mediaType);
  return CheckMediaType(&type) == S_OK ? S_OK : S_FALSE;
}

HRESULT D_CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  *types = new MediaTypeEnumerator(this);
  (*types)->AddRef();
  return S_OK;
}

HRESULT D_CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double) {
  segmentStart_ = start;
  segmentStop_ = stop;
  return S_OK;
}

HRESULT D_CBasePin::SetMediaType(const D_CMediaType* mediaType) {
  mediaType_ = *mediaType;
  return S_OK;
}

HRESULT D_CBasePin::CheckConnect(IPin* pin) {
  PIN_DIRECTION other;
  if (FAILED(pin->QueryDirection(&other)) || other == direction_) return VFW_E_INVALID_DIRECTION;
  return S_OK;
}

HRESULT D_CBasePin::GetMediaType(int position, D_CMediaType*) {
  return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

// ---------------------------------------------------------------- input pin

D_CBaseInputPin::D_CBaseInputPin(const char* objectName, D_CBaseFilter* filter, D_CCritSec* lock, HRESULT* result,
                                 const char16_t* pinName)
    : D_CBasePin(objectName, filter, lock, result, pinName, PINDIR_INPUT) {}

D_CBaseInputPin::~D_CBaseInputPin() {
  if (allocator_ != nullptr) allocator_->Release();
}

HRESULT D_CBaseInputPin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IID_IMemInputPin) return D_GetInterface(static_cast<IMemInputPin*>(this), out);
  return D_CBasePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT D_CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  D_CAutoLock lock(lock_);
  if (allocator_ == nullptr) {
    HRESULT hr = S_OK;
    allocator_ = new D_CMemAllocator("InputAllocator", nullptr, &hr);
    allocator_->AddRef();
  }
  *allocator = allocator_;
  allocator_->AddRef();
  return S_OK;
}

HRESULT D_CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (allocator == nullptr) return E_POINTER;
  D_CAutoLock lock(lock_);
  allocator->AddRef();
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
  readOnly_ = readOnly != FALSE;
  return S_OK;
}

HRESULT D_CBaseInputPin::CheckStreaming() {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  if (filter_->IsStopped()) return VFW_E_WRONG_STATE;
  if (flushing_.load()) return S_FALSE;
  return S_OK;
}

HRESULT D_CBaseInputPin::Receive(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  void* second = nullptr;
  if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, &second))) {
    auto* s2 = static_cast<IMediaSample2*>(second);
    s2->GetProperties(sizeof sampleProps_, reinterpret_cast<BYTE*>(&sampleProps_));
    s2->Release();
    return S_OK;
  }
  // A sample of another kind: what IMediaSample tells.
  sampleProps_ = AM_SAMPLE2_PROPERTIES{};
  sampleProps_.cbData = sizeof sampleProps_;
  sampleProps_.dwStreamId = AM_STREAM_MEDIA;
  if (sample->GetTime(&sampleProps_.tStart, &sampleProps_.tStop) >= 0)
    sampleProps_.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
  if (sample->IsSyncPoint() == S_OK) sampleProps_.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
  if (sample->IsPreroll() == S_OK) sampleProps_.dwSampleFlags |= AM_SAMPLE_PREROLL;
  if (sample->IsDiscontinuity() == S_OK) sampleProps_.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
  sampleProps_.lActual = sample->GetActualDataLength();
  sample->GetPointer(&sampleProps_.pbBuffer);
  sampleProps_.cbBuffer = sample->GetSize();
  return S_OK;
}

HRESULT D_CBaseInputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
  if (samples == nullptr) return E_POINTER;
  HRESULT hr = S_OK;
  LONG n = 0;
  while (n < count) {
    hr = Receive(samples[n]);
    if (hr != S_OK) break;
    ++n;
  }
  if (processed != nullptr) *processed = n;
  return hr;
}

HRESULT D_CBaseInputPin::BeginFlush() {
  flushing_ = true;
  return S_OK;
}

HRESULT D_CBaseInputPin::EndFlush() {
  flushing_ = false;
  return S_OK;
}

HRESULT D_CBaseInputPin::BreakConnect() {
  if (allocator_ != nullptr) {
    allocator_->Decommit();
    allocator_->Release();
    allocator_ = nullptr;
  }
  return S_OK;
}

HRESULT D_CBaseInputPin::Inactive() {
  flushing_ = false;
  return allocator_ != nullptr ? allocator_->Decommit() : S_OK;
}

// ---------------------------------------------------------------- output pin

D_CBaseOutputPin::D_CBaseOutputPin(const char* objectName, D_CBaseFilter* filter, D_CCritSec* lock,
                                   HRESULT* result, const char16_t* pinName)
    : D_CBasePin(objectName, filter, lock, result, pinName, PINDIR_OUTPUT) {}

D_CBaseOutputPin::~D_CBaseOutputPin() {
  if (allocator_ != nullptr) allocator_->Release();
  if (inputPin_ != nullptr) inputPin_->Release();
}

HRESULT D_CBaseOutputPin::CheckConnect(IPin* pin) {
  HRESULT hr = D_CBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  void* input = nullptr;
  if (FAILED(pin->QueryInterface(IID_IMemInputPin, &input))) return VFW_E_NO_TRANSPORT;
  if (inputPin_ != nullptr) inputPin_->Release();
  inputPin_ = static_cast<IMemInputPin*>(input);
  return S_OK;
}

HRESULT D_CBaseOutputPin::CompleteConnect(IPin*) {
  if (inputPin_ == nullptr) return VFW_E_NO_TRANSPORT;
  IMemAllocator* allocator = nullptr;
  const HRESULT hr = DecideAllocator(inputPin_, &allocator);
  if (FAILED(hr)) return hr;
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
  return S_OK;
}

HRESULT D_CBaseOutputPin::BreakConnect() {
  if (allocator_ != nullptr) {
    allocator_->Decommit();
    allocator_->Release();
    allocator_ = nullptr;
  }
  if (inputPin_ != nullptr) {
    inputPin_->Release();
    inputPin_ = nullptr;
  }
  return S_OK;
}

HRESULT D_CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  *allocator = nullptr;
  ALLOCATOR_PROPERTIES wanted{};
  pin->GetAllocatorRequirements(&wanted);
  if (wanted.cbAlign == 0) wanted.cbAlign = 1;
  IMemAllocator* candidate = nullptr;
  if (SUCCEEDED(pin->GetAllocator(&candidate))) {
    ALLOCATOR_PROPERTIES request = wanted;
    if (SUCCEEDED(DecideBufferSize(candidate, &request)) && SUCCEEDED(pin->NotifyAllocator(candidate, FALSE))) {
      *allocator = candidate;
      return S_OK;
    }
    candidate->Release();
    candidate = nullptr;
  }
  HRESULT hr = InitAllocator(&candidate);
  if (FAILED(hr)) return hr;
  ALLOCATOR_PROPERTIES request = wanted;
  hr = DecideBufferSize(candidate, &request);
  if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(candidate, FALSE);
  if (FAILED(hr)) {
    candidate->Release();
    return hr;
  }
  *allocator = candidate;
  return S_OK;
}

HRESULT D_CBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
  HRESULT hr = S_OK;
  auto* made = new D_CMemAllocator("OutputAllocator", nullptr, &hr);
  made->AddRef();
  *allocator = made;
  return S_OK;
}

HRESULT D_CBaseOutputPin::Active() {
  return allocator_ != nullptr ? allocator_->Commit() : VFW_E_NO_ALLOCATOR;
}

HRESULT D_CBaseOutputPin::Inactive() { return allocator_ != nullptr ? allocator_->Decommit() : S_OK; }

HRESULT D_CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                            DWORD flags) {
  if (allocator_ == nullptr) return VFW_E_NO_ALLOCATOR;
  return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT D_CBaseOutputPin::Deliver(IMediaSample* sample) {
  return inputPin_ != nullptr ? inputPin_->Receive(sample) : VFW_E_NOT_CONNECTED;
}

HRESULT D_CBaseOutputPin::DeliverEndOfStream() {
  return connected_ != nullptr ? connected_->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT D_CBaseOutputPin::DeliverBeginFlush() {
  return connected_ != nullptr ? connected_->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT D_CBaseOutputPin::DeliverEndFlush() {
  return connected_ != nullptr ? connected_->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT D_CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  D_CBasePin::NewSegment(start, stop, rate);
  return connected_ != nullptr ? connected_->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}
