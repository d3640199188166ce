#include "library/movie/sample_grabber.h"

#include <new>

const IID IID_D_ISampleGrabber = {0x6B652FFF, 0x11FE, 0x4FCE, {0x92, 0x64, 0x32, 0x36, 0x35, 0x37, 0x37, 0x66}};
const CLSID CLSID_D_CSampleGrabber = {0x2FA4F053, 0x6D60, 0x4CB0, {0x95, 0x33, 0x65, 0x39, 0x33, 0x66, 0x66, 0x33}};

// ---------------------------------------------------------------- allocator

SampleGrabberAllocator::SampleGrabberAllocator(SampleGrabberInputPin* pin, HRESULT* result)
    : D_CMemAllocator("SampleGrabberAllocator", nullptr, result), pin_(pin) {}

HRESULT SampleGrabberAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (request == nullptr || actual == nullptr) return E_POINTER;
  ALLOCATOR_PROPERTIES delivery = pin_->deliveryProperties;
  if (request->cbAlign != delivery.cbAlign) return VFW_E_BADALIGN;
  if (request->cbPrefix != delivery.cbPrefix || request->cBuffers > delivery.cBuffers ||
      request->cbBuffer > delivery.cbBuffer) {
    return E_FAIL;
  }
  return D_CMemAllocator::SetProperties(&delivery, actual);
}

HRESULT SampleGrabberAllocator::Alloc() {
  HRESULT hr = D_CBaseAllocator::Alloc();
  if (FAILED(hr)) return hr;
  if (hr == S_FALSE) return S_OK;
  BYTE* buffer = pin_->deliveryBuffer;
  if (buffer == nullptr) return E_OUTOFMEMORY;
  DeleteSamples();
  const int64_t step = (static_cast<int64_t>(prefix_) + size_ + alignment_ - 1) / alignment_ * alignment_;
  for (LONG i = 0; i < count_; ++i) {
    if (!AddSample(buffer + step * i + prefix_, size_)) {
      DeleteSamples();
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

// The buffer is the caller's: only the samples go.
void SampleGrabberAllocator::Free() { DeleteSamples(); }

// ---------------------------------------------------------------- input pin

SampleGrabberInputPin::SampleGrabberInputPin(D_CSampleGrabber* grabber, HRESULT* result)
    : D_CTransInPlaceInputPin("SampleGrabberInputPin", grabber, result, u"Input"), grabber_(grabber) {}

SampleGrabberInputPin::~SampleGrabberInputPin() {
  if (private_ != nullptr) private_->Release();
}

HRESULT SampleGrabberInputPin::GetMediaType(int position, D_CMediaType* mediaType) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mediaType = grabber_->AcceptedMediaType();
  return S_OK;
}

HRESULT SampleGrabberInputPin::SetMediaType(const D_CMediaType* mediaType) {
  mediaTypeChanged = true;
  return D_CTransInPlaceInputPin::SetMediaType(mediaType);
}

HRESULT SampleGrabberInputPin::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  if (private_ == nullptr) return D_CTransInPlaceInputPin::GetAllocator(allocator);
  *allocator = private_;
  private_->AddRef();
  return S_OK;
}

HRESULT SampleGrabberInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (private_ != nullptr && allocator != private_) return E_FAIL;
  return D_CTransInPlaceInputPin::NotifyAllocator(allocator, readOnly);
}

HRESULT SampleGrabberInputPin::SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer) {
  if (properties.cBuffers != 1) return E_INVALIDARG;
  if (buffer == nullptr) return E_POINTER;
  deliveryProperties = properties;
  deliveryBuffer = buffer;
  if (private_ != nullptr) private_->Release();
  HRESULT hr = S_OK;
  private_ = new (std::nothrow) SampleGrabberAllocator(this, &hr);
  if (private_ == nullptr) return E_OUTOFMEMORY;
  private_->AddRef();
  return S_OK;
}

// ---------------------------------------------------------------- grabber

D_CSampleGrabber::D_CSampleGrabber(IUnknown* outer, HRESULT*)
    : D_CTransInPlaceFilter("SampleGrabber", outer, CLSID_D_CSampleGrabber) {}

D_CSampleGrabber::~D_CSampleGrabber() = default;

HRESULT D_CSampleGrabber::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IID_D_ISampleGrabber) return D_GetInterface(static_cast<D_ISampleGrabber*>(this), out);
  return D_CTransInPlaceFilter::NonDelegatingQueryInterface(iid, out);
}

D_CTransformInputPin* D_CSampleGrabber::MakeInputPin(HRESULT* result) {
  return new SampleGrabberInputPin(this, result);
}

D_CMediaType D_CSampleGrabber::AcceptedMediaType() {
  D_CAutoLock lock(&callbackLock_);
  return accepted_;
}

HRESULT D_CSampleGrabber::SetAcceptedMediaType(const AM_MEDIA_TYPE* mediaType) {
  D_CAutoLock lock(&callbackLock_);
  if (mediaType == nullptr) {
    accepted_.Clear();
    return S_OK;
  }
  accepted_.Clear();
  const HRESULT hr = CopyMediaType(&accepted_, mediaType);
  if (FAILED(hr)) accepted_.Clear();
  return hr;
}

HRESULT D_CSampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE* mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  D_CTransformInputPin* input = InputPin();
  if (!input->IsConnected()) return VFW_E_NOT_CONNECTED;
  return input->ConnectionMediaType(mediaType);
}

HRESULT D_CSampleGrabber::SetCallback(SampleGrabberCallback callback, void* userValue) {
  D_CAutoLock lock(&callbackLock_);
  callback_ = callback;
  userValue_ = userValue;
  return S_OK;
}

HRESULT D_CSampleGrabber::SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer) {
  if (!HasPins()) return E_POINTER;
  if (InputPin()->IsConnected() || OutputPin()->IsConnected()) return E_INVALIDARG;
  return static_cast<SampleGrabberInputPin*>(InputPin())->SetDeliveryBuffer(properties, buffer);
}

HRESULT D_CSampleGrabber::CheckInputType(const D_CMediaType* mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  D_CAutoLock lock(&callbackLock_);
  if (accepted_.majortype != GUID_NULL && accepted_.majortype != mediaType->majortype) return VFW_E_TYPE_NOT_ACCEPTED;
  if (accepted_.subtype != GUID_NULL && accepted_.subtype != mediaType->subtype) return VFW_E_TYPE_NOT_ACCEPTED;
  if (accepted_.formattype != GUID_NULL && accepted_.formattype != mediaType->formattype)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT D_CSampleGrabber::Transform(IMediaSample* sample) {
  D_CAutoLock lock(&callbackLock_);
  if (callback_ == nullptr) return S_OK;
  REFERENCE_TIME start = 0, stop = 0;
  sample->GetTime(&start, &stop);
  auto* input = static_cast<SampleGrabberInputPin*>(InputPin());
  start += input->SegmentStart();
  stop += input->SegmentStart();
  const HRESULT hr = callback_(sample, &start, &stop, input->mediaTypeChanged ? TRUE : FALSE, userValue_);
  input->mediaTypeChanged = false;
  return hr;
}

D_CSampleGrabber* CreateSampleGrabber(int* result) {
  HRESULT hr = S_OK;
  auto* grabber = new (std::nothrow) D_CSampleGrabber(nullptr, &hr);
  if (result != nullptr) *result = grabber == nullptr ? E_OUTOFMEMORY : hr;
  return grabber;
}
