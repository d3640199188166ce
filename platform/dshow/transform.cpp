// Copying and in-place transform filters, and the seeking pass-through.
#include <cstring>

#include "platform/dshow/dshow_base.h"

// ---------------------------------------------------------------- seeking

D_CPosPassThru::D_CPosPassThru(const char* objectName, IUnknown* outer, HRESULT*, IPin* pin)
    : D_CUnknown(objectName, outer), pin_(pin) {}

HRESULT D_CPosPassThru::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IID_IMediaSeeking || iid == IID_IUnknown) return D_GetInterface(static_cast<IMediaSeeking*>(this), out);
  return D_CUnknown::NonDelegatingQueryInterface(iid, out);
}

IMediaSeeking* D_CPosPassThru::PeerSeeking() {
  IPin* peer = nullptr;
  if (pin_ == nullptr || FAILED(pin_->ConnectedTo(&peer))) return nullptr;
  void* seeking = nullptr;
  const HRESULT hr = peer->QueryInterface(IID_IMediaSeeking, &seeking);
  peer->Release();
  return SUCCEEDED(hr) ? static_cast<IMediaSeeking*>(seeking) : nullptr;
}

#define ZR_PASS_THROUGH(call)                          \
  IMediaSeeking* seeking = PeerSeeking();              \
  if (seeking == nullptr) return VFW_E_NOT_CONNECTED;  \
  const HRESULT hr = seeking->call;                    \
  seeking->Release();                                  \
  return hr;

HRESULT D_CPosPassThru::GetDuration(LONGLONG* duration) { ZR_PASS_THROUGH(GetDuration(duration)) }
HRESULT D_CPosPassThru::GetStopPosition(LONGLONG* stop) { ZR_PASS_THROUGH(GetStopPosition(stop)) }
HRESULT D_CPosPassThru::GetCurrentPosition(LONGLONG* current) { ZR_PASS_THROUGH(GetCurrentPosition(current)) }
HRESULT D_CPosPassThru::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
  ZR_PASS_THROUGH(SetPositions(current, currentFlags, stop, stopFlags))
}
#undef ZR_PASS_THROUGH

D_CRendererPosPassThru::D_CRendererPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* pin)
    : D_CPosPassThru(objectName, outer, result, pin) {}

HRESULT D_CRendererPosPassThru::GetCurrentPosition(LONGLONG* current) {
  if (current == nullptr) return E_POINTER;
  bool ended, known;
  REFERENCE_TIME position;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended = ended_;
    known = known_;
    position = position_;
  }
  if (ended) return GetStopPosition(current);
  if (known) {
    *current = position;
    return S_OK;
  }
  return D_CPosPassThru::GetCurrentPosition(current);
}

void D_CRendererPosPassThru::RegisterMediaTime(REFERENCE_TIME position) {
  std::lock_guard<std::mutex> lock(mutex_);
  position_ = position;
  known_ = true;
}

void D_CRendererPosPassThru::EndOfStream() {
  std::lock_guard<std::mutex> lock(mutex_);
  ended_ = true;
}

void D_CRendererPosPassThru::ResetMediaTime() {
  std::lock_guard<std::mutex> lock(mutex_);
  known_ = false;
  ended_ = false;
}

// ---------------------------------------------------------------- transform filter

D_CTransformFilter::D_CTransformFilter(const char* objectName, IUnknown* outer, const CLSID& classId)
    : D_CBaseFilter(objectName, outer, &filterLock_, classId) {}

D_CTransformFilter::~D_CTransformFilter() {
  delete input_;
  delete output_;
}

void D_CTransformFilter::MakePins() {
  if (input_ != nullptr) return;
  HRESULT hr = S_OK;
  input_ = MakeInputPin(&hr);
  output_ = MakeOutputPin(&hr);
}

D_CTransformInputPin* D_CTransformFilter::MakeInputPin(HRESULT* result) {
  return new D_CTransformInputPin("Transform input pin", this, result, u"XForm In");
}

D_CTransformOutputPin* D_CTransformFilter::MakeOutputPin(HRESULT* result) {
  return new D_CTransformOutputPin("Transform output pin", this, result, u"XForm Out");
}

D_CTransformInputPin* D_CTransformFilter::InputPin() {
  MakePins();
  return input_;
}

D_CTransformOutputPin* D_CTransformFilter::OutputPin() {
  MakePins();
  return output_;
}

D_CBasePin* D_CTransformFilter::GetPin(int index) {
  MakePins();
  if (index == 0) return input_;
  if (index == 1) return output_;
  return nullptr;
}

HRESULT D_CTransformFilter::Stop() {
  D_CAutoLock lock(&filterLock_);
  if (state_.load() == State_Stopped) return S_OK;
  MakePins();
  // New samples are refused from here; the one being received finishes.
  if (input_->IsConnected()) input_->Inactive();
  D_CAutoLock receiving(&receiveLock_);
  if (output_->IsConnected()) output_->Inactive();
  const HRESULT hr = StopStreaming();
  state_ = State_Stopped;
  return hr;
}

HRESULT D_CTransformFilter::Pause() {
  D_CAutoLock lock(&filterLock_);
  if (state_.load() == State_Stopped) {
    MakePins();
    if (input_->IsConnected()) {
      const HRESULT hr = StartStreaming();
      if (FAILED(hr)) return hr;
    }
  }
  return D_CBaseFilter::Pause();
}

HRESULT D_CTransformFilter::Receive(IMediaSample* sample) {
  IMediaSample* out = nullptr;
  HRESULT hr = output_->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  REFERENCE_TIME start, stop;
  const HRESULT timed = sample->GetTime(&start, &stop);
  if (timed >= 0) out->SetTime(&start, timed == S_OK ? &stop : nullptr);
  out->SetSyncPoint(sample->IsSyncPoint() == S_OK);
  out->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
  out->SetPreroll(sample->IsPreroll() == S_OK);
  hr = Transform(sample, out);
  if (hr == S_OK) hr = output_->Deliver(out);
  else if (hr == S_FALSE) hr = S_OK;
  out->Release();
  return hr;
}

HRESULT D_CTransformFilter::EndOfStream() {
  return output_->IsConnected() ? output_->DeliverEndOfStream() : S_OK;
}

HRESULT D_CTransformFilter::BeginFlush() { return output_->IsConnected() ? output_->DeliverBeginFlush() : S_OK; }

HRESULT D_CTransformFilter::EndFlush() { return output_->IsConnected() ? output_->DeliverEndFlush() : S_OK; }

HRESULT D_CTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return output_->IsConnected() ? output_->DeliverNewSegment(start, stop, rate) : S_OK;
}

// ---------------------------------------------------------------- transform pins

D_CTransformInputPin::D_CTransformInputPin(const char* objectName, D_CTransformFilter* filter, HRESULT* result,
                                           const char16_t* pinName)
    : D_CBaseInputPin(objectName, filter, filter->FilterLock(), result, pinName), transform_(filter) {}

HRESULT D_CTransformInputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = transform_->CheckConnect(PINDIR_INPUT, pin);
  return FAILED(hr) ? hr : D_CBaseInputPin::CheckConnect(pin);
}

HRESULT D_CTransformInputPin::BreakConnect() {
  transform_->BreakConnect(PINDIR_INPUT);
  return D_CBaseInputPin::BreakConnect();
}

HRESULT D_CTransformInputPin::CompleteConnect(IPin* pin) {
  const HRESULT hr = transform_->CompleteConnect(PINDIR_INPUT, pin);
  return FAILED(hr) ? hr : D_CBaseInputPin::CompleteConnect(pin);
}

HRESULT D_CTransformInputPin::CheckMediaType(const D_CMediaType* mediaType) {
  const HRESULT hr = transform_->CheckInputType(mediaType);
  if (hr != S_OK) return hr;
  D_CTransformOutputPin* output = transform_->OutputPin();
  if (output->IsConnected()) return transform_->CheckTransform(mediaType, &output->CurrentMediaType());
  return S_OK;
}

HRESULT D_CTransformInputPin::SetMediaType(const D_CMediaType* mediaType) {
  const HRESULT hr = D_CBaseInputPin::SetMediaType(mediaType);
  return FAILED(hr) ? hr : transform_->SetMediaType(PINDIR_INPUT, mediaType);
}

HRESULT D_CTransformInputPin::Receive(IMediaSample* sample) {
  D_CAutoLock receiving(&transform_->receiveLock_);
  HRESULT hr = D_CBaseInputPin::Receive(sample);
  if (hr == S_OK) hr = transform_->Receive(sample);
  return hr;
}

HRESULT D_CTransformInputPin::EndOfStream() {
  D_CAutoLock receiving(&transform_->receiveLock_);
  const HRESULT hr = CheckStreaming();
  return hr == S_OK ? transform_->EndOfStream() : hr;
}

HRESULT D_CTransformInputPin::BeginFlush() {
  D_CAutoLock lock(lock_);
  D_CBaseInputPin::BeginFlush();
  return transform_->BeginFlush();
}

HRESULT D_CTransformInputPin::EndFlush() {
  D_CAutoLock lock(lock_);
  // Whatever was being received has given up by now (the flush refused it).
  D_CAutoLock receiving(&transform_->receiveLock_);
  const HRESULT hr = transform_->EndFlush();
  D_CBaseInputPin::EndFlush();
  return hr;
}

HRESULT D_CTransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  D_CBaseInputPin::NewSegment(start, stop, rate);
  return transform_->NewSegment(start, stop, rate);
}

D_CTransformOutputPin::D_CTransformOutputPin(const char* objectName, D_CTransformFilter* filter, HRESULT* result,
                                             const char16_t* pinName)
    : D_CBaseOutputPin(objectName, filter, filter->FilterLock(), result, pinName), transform_(filter) {}

D_CTransformOutputPin::~D_CTransformOutputPin() { delete position_; }

HRESULT D_CTransformOutputPin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IID_IMediaSeeking) {
    if (position_ == nullptr) {
      HRESULT hr = S_OK;
      position_ = new D_CPosPassThru("Transform position", static_cast<IPin*>(this), &hr, transform_->InputPin());
    }
    return D_GetInterface(static_cast<IMediaSeeking*>(position_), out);
  }
  return D_CBaseOutputPin::NonDelegatingQueryInterface(iid, out);
}

HRESULT D_CTransformOutputPin::CheckConnect(IPin* pin) {
  if (!transform_->InputPin()->IsConnected()) return E_UNEXPECTED;
  const HRESULT hr = transform_->CheckConnect(PINDIR_OUTPUT, pin);
  return FAILED(hr) ? hr : D_CBaseOutputPin::CheckConnect(pin);
}

HRESULT D_CTransformOutputPin::BreakConnect() {
  transform_->BreakConnect(PINDIR_OUTPUT);
  return D_CBaseOutputPin::BreakConnect();
}

HRESULT D_CTransformOutputPin::CompleteConnect(IPin* pin) {
  const HRESULT hr = transform_->CompleteConnect(PINDIR_OUTPUT, pin);
  return FAILED(hr) ? hr : D_CBaseOutputPin::CompleteConnect(pin);
}

HRESULT D_CTransformOutputPin::CheckMediaType(const D_CMediaType* mediaType) {
  D_CTransformInputPin* input = transform_->InputPin();
  if (!input->IsConnected()) return E_UNEXPECTED;
  return transform_->CheckTransform(&input->CurrentMediaType(), mediaType);
}

HRESULT D_CTransformOutputPin::SetMediaType(const D_CMediaType* mediaType) {
  const HRESULT hr = D_CBaseOutputPin::SetMediaType(mediaType);
  return FAILED(hr) ? hr : transform_->SetMediaType(PINDIR_OUTPUT, mediaType);
}

HRESULT D_CTransformOutputPin::GetMediaType(int position, D_CMediaType* mediaType) {
  if (!transform_->InputPin()->IsConnected()) return E_UNEXPECTED;
  return transform_->GetMediaType(position, mediaType);
}

HRESULT D_CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  return transform_->DecideBufferSize(allocator, request);
}

// ---------------------------------------------------------------- in place

D_CTransInPlaceFilter::D_CTransInPlaceFilter(const char* objectName, IUnknown* outer, const CLSID& classId)
    : D_CTransformFilter(objectName, outer, classId) {}

D_CTransformInputPin* D_CTransInPlaceFilter::MakeInputPin(HRESULT* result) {
  return new D_CTransInPlaceInputPin("TransInPlace input pin", this, result, u"Input");
}

D_CTransformOutputPin* D_CTransInPlaceFilter::MakeOutputPin(HRESULT* result) {
  return new D_CTransInPlaceOutputPin("TransInPlace output pin", this, result, u"Output");
}

HRESULT D_CTransInPlaceFilter::CheckTransform(const D_CMediaType*, const D_CMediaType* out) {
  return CheckInputType(out);
}

HRESULT D_CTransInPlaceFilter::GetMediaType(int position, D_CMediaType* mediaType) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mediaType = InputPin()->CurrentMediaType();
  return S_OK;
}

HRESULT D_CTransInPlaceFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  ALLOCATOR_PROPERTIES wanted = {1, 65536, 1, 0};
  IMemAllocator* input = InputPin()->Allocator();
  if (input != nullptr) input->GetProperties(&wanted);
  if (wanted.cbAlign <= 0) wanted.cbAlign = 1;
  if (request != nullptr) *request = wanted;
  ALLOCATOR_PROPERTIES actual;
  return allocator->SetProperties(&wanted, &actual);
}

bool D_CTransInPlaceFilter::UsingDifferentAllocators() {
  return InputPin()->Allocator() != OutputPin()->Allocator();
}

IMediaSample* D_CTransInPlaceFilter::Copy(IMediaSample* source) {
  IMediaSample* copy = nullptr;
  if (FAILED(OutputPin()->GetDeliveryBuffer(&copy, nullptr, nullptr, 0))) return nullptr;
  BYTE* from = nullptr;
  BYTE* to = nullptr;
  const LONG length = source->GetActualDataLength();
  if (length > copy->GetSize() || FAILED(source->GetPointer(&from)) || FAILED(copy->GetPointer(&to))) {
    copy->Release();
    return nullptr;
  }
  if (length > 0) memcpy(to, from, static_cast<size_t>(length));
  copy->SetActualDataLength(length);
  REFERENCE_TIME start, stop;
  const HRESULT timed = source->GetTime(&start, &stop);
  if (timed >= 0) copy->SetTime(&start, timed == S_OK ? &stop : nullptr);
  copy->SetSyncPoint(source->IsSyncPoint() == S_OK);
  copy->SetPreroll(source->IsPreroll() == S_OK);
  copy->SetDiscontinuity(source->IsDiscontinuity() == S_OK);
  AM_MEDIA_TYPE* type = nullptr;
  if (source->GetMediaType(&type) == S_OK) {
    copy->SetMediaType(type);
    DeleteMediaType(type);
  }
  return copy;
}

HRESULT D_CTransInPlaceFilter::Receive(IMediaSample* sample) {
  D_CTransformOutputPin* output = OutputPin();
  if (InputPin()->SampleProps()->dwStreamId != AM_STREAM_MEDIA)
    return output->IsConnected() ? output->Deliver(sample) : S_OK;
  IMediaSample* copy = nullptr;
  if (UsingDifferentAllocators()) {
    copy = Copy(sample);
    if (copy == nullptr) return E_UNEXPECTED;
    sample = copy;
  }
  HRESULT hr = Transform(sample);
  if (hr == S_OK)
    hr = output->Deliver(sample);
  else if (hr == S_FALSE)
    hr = S_OK;
  if (copy != nullptr) copy->Release();
  return hr;
}

D_CTransInPlaceInputPin::D_CTransInPlaceInputPin(const char* objectName, D_CTransInPlaceFilter* filter,
                                                 HRESULT* result, const char16_t* pinName)
    : D_CTransformInputPin(objectName, filter, result, pinName) {}

HRESULT D_CTransInPlaceInputPin::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  D_CTransformOutputPin* output = transform_->OutputPin();
  IPin* downstream = output->GetConnected();
  if (downstream != nullptr) {
    void* input = nullptr;
    if (SUCCEEDED(downstream->QueryInterface(IID_IMemInputPin, &input))) {
      const HRESULT hr = static_cast<IMemInputPin*>(input)->GetAllocator(allocator);
      static_cast<IMemInputPin*>(input)->Release();
      return hr;
    }
  }
  return D_CTransformInputPin::GetAllocator(allocator);
}

D_CTransInPlaceOutputPin::D_CTransInPlaceOutputPin(const char* objectName, D_CTransInPlaceFilter* filter,
                                                   HRESULT* result, const char16_t* pinName)
    : D_CTransformOutputPin(objectName, filter, result, pinName) {}

HRESULT D_CTransInPlaceOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  IMemAllocator* shared = transform_->InputPin()->Allocator();
  if (shared != nullptr && SUCCEEDED(pin->NotifyAllocator(shared, FALSE))) {
    shared->AddRef();
    *allocator = shared;
    return S_OK;
  }
  return D_CTransformOutputPin::DecideAllocator(pin, allocator);
}
