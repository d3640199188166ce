// The sample grabber: an in-place transform filter that hands every media
// sample passing through it to a callback of the library, then delivers it
// downstream unchanged. The accepted media type restricts what its input
// takes; a delivery buffer given beforehand makes its input pin offer an
// allocator whose samples lie in that buffer.
#pragma once

#include "platform/dshow/dshow_base.h"

// The callback: (sample, start time, stop time (both plus the input's
// segment start), media type changed since the last call, user value).
// S_FALSE or an error keeps the sample from going downstream.
using SampleGrabberCallback = HRESULT (*)(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          BOOL mediaTypeChanged, void* userValue);

// {6B652FFF-11FE-4FCE-9264-323635373766}
extern const IID IID_D_ISampleGrabber;
// {2FA4F053-6D60-4CB0-9533-653933666633}
extern const CLSID CLSID_D_CSampleGrabber;

// The grabber's control interface.
struct D_ISampleGrabber : IUnknown {
  // Null resets to the empty type (anything); null GUIDs accept anything.
  virtual HRESULT SetAcceptedMediaType(const AM_MEDIA_TYPE* mediaType) = 0;
  // VFW_E_NOT_CONNECTED while the input is not connected.
  virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* mediaType) = 0;
  virtual HRESULT SetCallback(SampleGrabberCallback callback, void* userValue) = 0;
  // E_POINTER before the pins exist, E_INVALIDARG while a pin is connected.
  virtual HRESULT SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer) = 0;

 protected:
  ~D_ISampleGrabber() = default;
};

class SampleGrabberInputPin;

// Samples laid one after another in the delivery buffer the caller gave.
class SampleGrabberAllocator : public D_CMemAllocator {
 public:
  SampleGrabberAllocator(SampleGrabberInputPin* pin, HRESULT* result);
  // The alignment must be the delivery one (VFW_E_BADALIGN), the prefix too
  // and the count and size no larger (E_FAIL); the delivery properties are
  // what is granted.
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;

 protected:
  HRESULT Alloc() override;
  void Free() override;

 private:
  SampleGrabberInputPin* pin_;
};

class D_CSampleGrabber;

class SampleGrabberInputPin : public D_CTransInPlaceInputPin {
 public:
  SampleGrabberInputPin(D_CSampleGrabber* grabber, HRESULT* result);
  ~SampleGrabberInputPin() override;

  // Position 0: the accepted media type.
  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override;
  HRESULT SetMediaType(const D_CMediaType* mediaType) override;
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer);

  ALLOCATOR_PROPERTIES deliveryProperties{};
  BYTE* deliveryBuffer = nullptr;  // not owned
  bool mediaTypeChanged = false;

 private:
  D_CSampleGrabber* grabber_;
  SampleGrabberAllocator* private_ = nullptr;  // with a reference
};

class D_CSampleGrabber : public D_CTransInPlaceFilter, public D_ISampleGrabber {
 public:
  D_CSampleGrabber(IUnknown* outer, HRESULT* result);
  ~D_CSampleGrabber() override;
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT SetAcceptedMediaType(const AM_MEDIA_TYPE* mediaType) override;
  HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* mediaType) override;
  HRESULT SetCallback(SampleGrabberCallback callback, void* userValue) override;
  HRESULT SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer) override;

  HRESULT CheckInputType(const D_CMediaType* mediaType) override;
  HRESULT Transform(IMediaSample* sample) override;

  // The accepted type, copied under the lock.
  D_CMediaType AcceptedMediaType();

 protected:
  D_CTransformInputPin* MakeInputPin(HRESULT* result) override;

 private:
  D_CMediaType accepted_;
  SampleGrabberCallback callback_ = nullptr;
  void* userValue_ = nullptr;
  D_CCritSec callbackLock_;  // the accepted type and the callback
};

// A new grabber without references, or null.
D_CSampleGrabber* CreateSampleGrabber(int* result);
