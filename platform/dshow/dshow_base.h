// The DirectShow base classes filters are made of: reference counting with
// an optional outer object, locks and events, media types, filters and
// pins, allocators and samples, copying and in-place transforms, renderers
// that schedule samples by the graph's clock, and the seeking pass-through
// of pins that are not the source.
//
// Reference counts start at 0: whoever makes an object takes the first
// reference (AddFilter does, so does QueryInterface). A pin counts its
// references on its filter; a sample handed out holds a reference to its
// allocator until it comes back.
//
// Streaming. A filter in the paused or running state streams: output pins
// have committed their allocators, a source's thread delivers samples
// downstream through IMemInputPin::Receive, which runs each filter's work on
// that thread. Stopping goes from the renderers up to the sources (the graph
// sees to the order): a stopped input pin refuses samples
// (VFW_E_WRONG_STATE), a decommitted allocator refuses buffers, so a source's
// thread ends soon after and is waited for in the source's Stop. A flush
// (BeginFlush .. EndFlush) makes every pin downstream drop what it holds and
// refuse samples (S_FALSE) until it ends.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/dshow.h"

// ---------------------------------------------------------------- locks

// A recursive lock.
class D_CCritSec {
 public:
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

class D_CAutoLock {
 public:
  explicit D_CAutoLock(D_CCritSec* lock) : lock_(lock) { lock_->Lock(); }
  ~D_CAutoLock() { lock_->Unlock(); }
  D_CAutoLock(const D_CAutoLock&) = delete;
  D_CAutoLock& operator=(const D_CAutoLock&) = delete;

 private:
  D_CCritSec* lock_;
};

// An event: a manual-reset one stays set until Reset; an auto-reset one
// lets one wait through and clears itself.
class D_CAMEvent {
 public:
  explicit D_CAMEvent(bool manualReset = false) : manual_(manualReset) {}
  void Set();
  void Reset();
  // True once set (within the milliseconds; INFINITE waits for ever).
  bool Wait(DWORD milliseconds = INFINITE);
  bool Check() { return Wait(0); }

 private:
  friend DWORD D_WaitForEvents(D_CAMEvent* const* events, int count, DWORD milliseconds);
  bool manual_;
  bool set_ = false;  // guarded by the events' shared lock
};

// Waits until one of the events is set: WAIT_OBJECT_0 + its index (an
// auto-reset event is cleared), or WAIT_TIMEOUT.
DWORD D_WaitForEvents(D_CAMEvent* const* events, int count, DWORD milliseconds);

// ---------------------------------------------------------------- objects

// The reference count, shared with an outer object when there is one:
// QueryInterface, AddRef and Release go to the outer object, the
// NonDelegating ones to this object.
class D_CUnknown {
 public:
  D_CUnknown(const char* objectName, IUnknown* outer);
  virtual ~D_CUnknown();
  D_CUnknown(const D_CUnknown&) = delete;
  D_CUnknown& operator=(const D_CUnknown&) = delete;

  virtual HRESULT NonDelegatingQueryInterface(const IID& iid, void** out);
  virtual ULONG NonDelegatingAddRef();
  virtual ULONG NonDelegatingRelease();  // deletes the object at 0
  const char* ObjectName() const { return objectName_; }

 protected:
  HRESULT OwnerQueryInterface(const IID& iid, void** out);
  ULONG OwnerAddRef();
  ULONG OwnerRelease();
  IUnknown* outer_;

 private:
  const char* objectName_;
  std::atomic<LONG> references_{0};
};

// The IUnknown operations of a class that derives from D_CUnknown and from
// interfaces.
#define D_DECLARE_IUNKNOWN                                                                                 \
  HRESULT QueryInterface(const IID& iid, void** out) override { return OwnerQueryInterface(iid, out); } \
  ULONG AddRef() override { return OwnerAddRef(); }                                                     \
  ULONG Release() override { return OwnerRelease(); }

// Hands out an interface pointer with a reference.
HRESULT D_GetInterface(IUnknown* object, void** out);

// ---------------------------------------------------------------- media types

class D_CMediaType : public AM_MEDIA_TYPE {
 public:
  D_CMediaType();
  D_CMediaType(const AM_MEDIA_TYPE& other);  // NOLINT: a deep copy
  D_CMediaType(const D_CMediaType& other);
  D_CMediaType& operator=(const AM_MEDIA_TYPE& other);
  D_CMediaType& operator=(const D_CMediaType& other);
  ~D_CMediaType();

  // Equal types: the three GUIDs and the format bytes.
  bool operator==(const D_CMediaType& other) const;
  bool IsValid() const { return majortype != GUID_NULL; }
  // A type whose null GUIDs stand for "any": true when this one fits it.
  bool MatchesPartial(const AM_MEDIA_TYPE& partial) const;
  void Clear();
  void SetType(const GUID& type) { majortype = type; }
  void SetSubtype(const GUID& type) { subtype = type; }
  void SetFormatType(const GUID& type) { formattype = type; }
  // A zeroed format block of the size; null when it cannot be had.
  BYTE* AllocFormatBuffer(ULONG size);
  bool SetFormat(const void* format, ULONG size);
};

// ---------------------------------------------------------------- filters

class D_CBasePin;

class D_CBaseFilter : public D_CUnknown, public IBaseFilter {
 public:
  // lock: the filter lock its state changes take (owned by the derived
  // filter).
  D_CBaseFilter(const char* objectName, IUnknown* outer, D_CCritSec* lock, const CLSID& classId);
  ~D_CBaseFilter() override;
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT GetClassID(CLSID* classId) override;
  // Stop: every pin inactive. Pause from stopped: every connected pin active.
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;
  HRESULT EnumPins(IEnumPins** pins) override;
  HRESULT FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

  virtual int GetPinCount() = 0;
  // The pin at the index, without a reference, or null.
  virtual D_CBasePin* GetPin(int index) = 0;

  // Reports an event to the graph (E_NOTIMPL outside a graph).
  HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
  FILTER_STATE State() const { return state_.load(); }
  bool IsStopped() const { return state_.load() == State_Stopped; }
  bool IsActive() const { return state_.load() != State_Stopped; }
  REFERENCE_TIME StartTime() const { return start_.load(); }
  // The clock with a reference, or null.
  IReferenceClock* Clock();
  D_CCritSec* FilterLock() const { return lock_; }
  IFilterGraph* Graph() const { return graph_; }

 protected:
  D_CCritSec* lock_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  std::atomic<REFERENCE_TIME> start_{0};

 private:
  std::mutex clockMutex_;
  IReferenceClock* clock_ = nullptr;
  IFilterGraph* graph_ = nullptr;
  IMediaEventSink* sink_ = nullptr;  // the graph's, without a reference
  std::u16string name_;
  CLSID classId_;
};

// ---------------------------------------------------------------- pins

class D_CBasePin : public D_CUnknown, public IPin {
 public:
  D_CBasePin(const char* objectName, D_CBaseFilter* filter, D_CCritSec* lock, HRESULT* result,
             const char16_t* pinName, PIN_DIRECTION direction);
  ~D_CBasePin() override;
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;
  ULONG NonDelegatingAddRef() override;
  ULONG NonDelegatingRelease() override;

  // Tries the pin's own types, then the receiver's, each after its
  // CheckMediaType: the receiver's ReceiveConnection first, then this pin's
  // CheckConnect and CompleteConnect; any refusal undoes the connection.
  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) override;
  // CheckConnect, CheckMediaType, SetMediaType, CompleteConnect.
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mediaType) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mediaType) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* mediaType) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT EndOfStream() override { return S_OK; }
  HRESULT BeginFlush() override { return S_OK; }
  HRESULT EndFlush() override { return S_OK; }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // S_OK accepts; anything else refuses.
  virtual HRESULT CheckMediaType(const D_CMediaType* mediaType) = 0;
  virtual HRESULT SetMediaType(const D_CMediaType* mediaType);
  // The base refuses a peer of the same direction.
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT BreakConnect() { return S_OK; }
  virtual HRESULT CompleteConnect(IPin*) { return S_OK; }
  // The pin's preferred types: E_INVALIDARG below 0, VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT GetMediaType(int position, D_CMediaType* mediaType);
  // The filter starts (Active) and stops (Inactive) streaming.
  virtual HRESULT Active() { return S_OK; }
  virtual HRESULT Inactive() { return S_OK; }

  bool IsConnected() const { return connected_ != nullptr; }
  // The connected pin, without a reference.
  IPin* GetConnected() const { return connected_; }
  const D_CMediaType& CurrentMediaType() const { return mediaType_; }
  D_CBaseFilter* Filter() const { return filter_; }
  PIN_DIRECTION Direction() const { return direction_; }
  const std::u16string& Name() const { return name_; }
  REFERENCE_TIME SegmentStart() const { return segmentStart_.load(); }
  REFERENCE_TIME SegmentStop() const { return segmentStop_.load(); }

 protected:
  HRESULT AttemptConnection(IPin* receivePin, const D_CMediaType* mediaType);
  HRESULT TryMediaTypes(IPin* receivePin, const D_CMediaType* partial, IEnumMediaTypes* types);

  D_CBaseFilter* filter_;
  D_CCritSec* lock_;
  IPin* connected_ = nullptr;  // with a reference
  D_CMediaType mediaType_;
  std::atomic<REFERENCE_TIME> segmentStart_{0};
  std::atomic<REFERENCE_TIME> segmentStop_{0x7FFFFFFFFFFFFFFF};

 private:
  PIN_DIRECTION direction_;
  std::u16string name_;
};

// A pin that receives samples through IMemInputPin.
class D_CBaseInputPin : public D_CBasePin, public IMemInputPin {
 public:
  D_CBaseInputPin(const char* objectName, D_CBaseFilter* filter, D_CCritSec* lock, HRESULT* result,
                  const char16_t* pinName);
  ~D_CBaseInputPin() override;
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // A memory allocator of the pin's own unless one was notified.
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  // The base checks the streaming state and keeps the sample's properties.
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
  HRESULT ReceiveCanBlock() override { return S_OK; }
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT BreakConnect() override;
  HRESULT Inactive() override;

  // S_OK while samples may come, S_FALSE while flushing, else an error.
  HRESULT CheckStreaming();
  bool IsFlushing() const { return flushing_.load(); }
  // The properties of the sample being received.
  const AM_SAMPLE2_PROPERTIES* SampleProps() const { return &sampleProps_; }
  // The allocator in use, without a reference.
  IMemAllocator* Allocator() const { return allocator_; }

 protected:
  IMemAllocator* allocator_ = nullptr;
  bool readOnly_ = false;
  std::atomic<bool> flushing_{false};
  AM_SAMPLE2_PROPERTIES sampleProps_{};
};

// A pin that delivers samples from an allocator agreed with the receiver.
class D_CBaseOutputPin : public D_CBasePin {
 public:
  D_CBaseOutputPin(const char* objectName, D_CBaseFilter* filter, D_CCritSec* lock, HRESULT* result,
                   const char16_t* pinName);
  ~D_CBaseOutputPin() override;

  HRESULT CheckConnect(IPin* pin) override;    // the peer must offer IMemInputPin
  HRESULT CompleteConnect(IPin* pin) override;  // agrees the allocator
  HRESULT BreakConnect() override;
  HRESULT Active() override;    // commits the allocator
  HRESULT Inactive() override;  // decommits it
  HRESULT EndOfStream() override { return E_UNEXPECTED; }
  HRESULT BeginFlush() override { return E_UNEXPECTED; }
  HRESULT EndFlush() override { return E_UNEXPECTED; }

  // The receiver's allocator when it gives one and takes the properties,
  // else one of InitAllocator; DecideBufferSize sets the properties.
  virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT InitAllocator(IMemAllocator** allocator);

  HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
  HRESULT Deliver(IMediaSample* sample);
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();
  HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  // The allocator in use, without a reference.
  IMemAllocator* Allocator() const { return allocator_; }

 protected:
  IMemAllocator* allocator_ = nullptr;
  IMemInputPin* inputPin_ = nullptr;
};

// ---------------------------------------------------------------- samples

class D_CBaseAllocator;

// A buffer of an allocator with its properties. The last Release gives it
// back to the allocator.
class D_CMediaSample : public IMediaSample2 {
 public:
  D_CMediaSample(const char* objectName, D_CBaseAllocator* allocator, HRESULT* result, BYTE* buffer, LONG length);
  virtual ~D_CMediaSample();
  D_CMediaSample(const D_CMediaSample&) = delete;
  D_CMediaSample& operator=(const D_CMediaSample&) = delete;

  HRESULT QueryInterface(const IID& iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetPointer(BYTE** buffer) override;
  LONG GetSize() override { return size_; }
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  HRESULT IsSyncPoint() override { return (flags_ & AM_SAMPLE_SPLICEPOINT) ? S_OK : S_FALSE; }
  HRESULT SetSyncPoint(BOOL syncPoint) override;
  HRESULT IsPreroll() override { return (flags_ & AM_SAMPLE_PREROLL) ? S_OK : S_FALSE; }
  HRESULT SetPreroll(BOOL preroll) override;
  LONG GetActualDataLength() override { return actual_; }
  HRESULT SetActualDataLength(LONG length) override;
  HRESULT GetMediaType(AM_MEDIA_TYPE** mediaType) override;
  HRESULT SetMediaType(AM_MEDIA_TYPE* mediaType) override;
  HRESULT IsDiscontinuity() override { return (flags_ & AM_SAMPLE_DATADISCONTINUITY) ? S_OK : S_FALSE; }
  HRESULT SetDiscontinuity(BOOL discontinuity) override;
  HRESULT GetProperties(DWORD size, BYTE* properties) override;
  HRESULT SetProperties(DWORD size, const BYTE* properties) override;

  // Back to a fresh state when handed out again.
  void ResetProperties();

 private:
  D_CBaseAllocator* allocator_;
  BYTE* buffer_;
  LONG size_;
  LONG actual_;
  DWORD flags_ = 0;
  DWORD typeFlags_ = 0;
  DWORD streamId_ = AM_STREAM_MEDIA;
  REFERENCE_TIME start_ = 0, stop_ = 0;
  AM_MEDIA_TYPE* mediaType_ = nullptr;
  std::atomic<LONG> references_{0};
};

// The bookkeeping of an allocator: properties, the free list, commit and
// decommit, and waiting for a free sample. Derived allocators make the
// samples in Alloc and delete them in Free.
class D_CBaseAllocator : public D_CUnknown, public IMemAllocator {
 public:
  D_CBaseAllocator(const char* objectName, IUnknown* outer, HRESULT* result);
  ~D_CBaseAllocator() override;
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // VFW_E_ALREADY_COMMITTED while committed, VFW_E_BUFFERS_OUTSTANDING with
  // samples out, VFW_E_BADALIGN for an alignment that is no power of two.
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) override;
  HRESULT ReleaseBuffer(IMediaSample* sample) override;

 protected:
  // The base checks (VFW_E_SIZENOTSET without properties) and S_FALSE when
  // the samples made before still fit; called under the lock by Commit.
  virtual HRESULT Alloc();
  // Deletes the samples (all are back); under the lock.
  virtual void Free() = 0;
  // A new sample over the bytes, put on the free list; false on failure.
  bool AddSample(BYTE* buffer, LONG length);
  // Deletes every sample of the free list.
  void DeleteSamples();

  std::mutex mutex_;
  LONG count_ = 0, size_ = 0, alignment_ = 0, prefix_ = 0;
  bool changed_ = false;  // properties set since the last Alloc
  LONG allocated_ = 0;    // samples made

 private:
  std::condition_variable available_;
  std::vector<D_CMediaSample*> free_;
  bool committed_ = false;
  bool decommitPending_ = false;  // Free once every sample is back
};

// Samples laid one after another in one block of its own.
class D_CMemAllocator : public D_CBaseAllocator {
 public:
  D_CMemAllocator(const char* objectName, IUnknown* outer, HRESULT* result);
  ~D_CMemAllocator() override;

 protected:
  HRESULT Alloc() override;
  void Free() override;

 private:
  BYTE* block_ = nullptr;
};

// ---------------------------------------------------------------- seeking

// IMediaSeeking of a pin that is not the source: every call goes to the
// pin connected to `pin` (upstream).
class D_CPosPassThru : public D_CUnknown, public IMediaSeeking {
 public:
  D_CPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* pin);
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT GetDuration(LONGLONG* duration) override;
  HRESULT GetStopPosition(LONGLONG* stop) override;
  HRESULT GetCurrentPosition(LONGLONG* current) override;
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;

 protected:
  // The upstream pin's seeking interface with a reference, or null.
  IMediaSeeking* PeerSeeking();

 private:
  IPin* pin_;
};

// A renderer's pass-through: the current position is that of the last
// sample rendered, the stop position once the stream has ended.
class D_CRendererPosPassThru : public D_CPosPassThru {
 public:
  D_CRendererPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* pin);
  HRESULT GetCurrentPosition(LONGLONG* current) override;
  void RegisterMediaTime(REFERENCE_TIME position);
  void EndOfStream();
  void ResetMediaTime();

 private:
  std::mutex mutex_;
  bool known_ = false;
  bool ended_ = false;
  REFERENCE_TIME position_ = 0;
};

// ---------------------------------------------------------------- transforms

class D_CTransformInputPin;
class D_CTransformOutputPin;

// A filter with one input and one output pin that turns each input sample
// into output samples on the streaming thread.
class D_CTransformFilter : public D_CBaseFilter {
 public:
  D_CTransformFilter(const char* objectName, IUnknown* outer, const CLSID& classId);
  ~D_CTransformFilter() override;

  int GetPinCount() override { return 2; }
  D_CBasePin* GetPin(int index) override;
  HRESULT Stop() override;
  HRESULT Pause() override;

  virtual HRESULT CheckInputType(const D_CMediaType* mediaType) = 0;
  virtual HRESULT CheckTransform(const D_CMediaType* in, const D_CMediaType* out) = 0;
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  // The output types (the input is connected).
  virtual HRESULT GetMediaType(int position, D_CMediaType* mediaType) = 0;
  virtual HRESULT Transform(IMediaSample*, IMediaSample*) { return E_UNEXPECTED; }
  // The base gets an output buffer, transforms into it and delivers it.
  virtual HRESULT Receive(IMediaSample* sample);
  // The base passes these downstream.
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  virtual HRESULT SetMediaType(PIN_DIRECTION, const D_CMediaType*) { return S_OK; }
  virtual HRESULT CheckConnect(PIN_DIRECTION, IPin*) { return S_OK; }
  virtual HRESULT BreakConnect(PIN_DIRECTION) { return S_OK; }
  virtual HRESULT CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }
  // Pause from stopped, Stop (after the last sample has left Receive).
  virtual HRESULT StartStreaming() { return S_OK; }
  virtual HRESULT StopStreaming() { return S_OK; }

  D_CTransformInputPin* InputPin();
  D_CTransformOutputPin* OutputPin();

 protected:
  // The pins, made on first use; derived filters may give their own.
  bool HasPins() const { return input_ != nullptr; }
  virtual D_CTransformInputPin* MakeInputPin(HRESULT* result);
  virtual D_CTransformOutputPin* MakeOutputPin(HRESULT* result);

  D_CCritSec filterLock_;
  D_CCritSec receiveLock_;  // held while a sample is received

 private:
  friend class D_CTransformInputPin;
  void MakePins();
  D_CTransformInputPin* input_ = nullptr;
  D_CTransformOutputPin* output_ = nullptr;
};

class D_CTransformInputPin : public D_CBaseInputPin {
 public:
  D_CTransformInputPin(const char* objectName, D_CTransformFilter* filter, HRESULT* result, const char16_t* pinName);
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* pin) override;
  HRESULT CheckMediaType(const D_CMediaType* mediaType) override;
  HRESULT SetMediaType(const D_CMediaType* mediaType) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

 protected:
  D_CTransformFilter* transform_;
};

class D_CTransformOutputPin : public D_CBaseOutputPin {
 public:
  D_CTransformOutputPin(const char* objectName, D_CTransformFilter* filter, HRESULT* result, const char16_t* pinName);
  ~D_CTransformOutputPin() override;
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;  // adds IMediaSeeking
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* pin) override;
  HRESULT CheckMediaType(const D_CMediaType* mediaType) override;
  HRESULT SetMediaType(const D_CMediaType* mediaType) override;
  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 protected:
  D_CTransformFilter* transform_;

 private:
  D_CPosPassThru* position_ = nullptr;
};

// A transform that works on the sample it receives and delivers that same
// sample. Its output offers the input's type and shares the input's
// allocator with the next filter when that filter takes it; otherwise each
// sample is copied into one of the output's buffers first.
class D_CTransInPlaceFilter : public D_CTransformFilter {
 public:
  D_CTransInPlaceFilter(const char* objectName, IUnknown* outer, const CLSID& classId);

  virtual HRESULT Transform(IMediaSample* sample) = 0;
  // Samples that are no media data pass untouched; Transform's S_OK
  // delivers the sample, S_FALSE drops it (S_OK returned), an error stops.
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT CheckTransform(const D_CMediaType* in, const D_CMediaType* out) override;
  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 protected:
  D_CTransformInputPin* MakeInputPin(HRESULT* result) override;
  D_CTransformOutputPin* MakeOutputPin(HRESULT* result) override;
  bool UsingDifferentAllocators();
  // A copy of the sample in an output buffer, or null.
  IMediaSample* Copy(IMediaSample* source);
};

class D_CTransInPlaceInputPin : public D_CTransformInputPin {
 public:
  D_CTransInPlaceInputPin(const char* objectName, D_CTransInPlaceFilter* filter, HRESULT* result,
                          const char16_t* pinName);
  // The downstream pin's allocator once the output is connected.
  HRESULT GetAllocator(IMemAllocator** allocator) override;
};

class D_CTransInPlaceOutputPin : public D_CTransformOutputPin {
 public:
  D_CTransInPlaceOutputPin(const char* objectName, D_CTransInPlaceFilter* filter, HRESULT* result,
                           const char16_t* pinName);
  // The input's allocator first.
  HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) override;
};

// ---------------------------------------------------------------- renderers

class D_CRendererInputPin;

// A filter with one input pin that renders each sample when its time comes
// on the graph's clock (at once without a clock or without times). Paused,
// it holds the sample it has until it runs. The end of the
// stream comes when the clock reaches the end of the last sample: then the
// position is the stop position and the graph hears EC_COMPLETE. Samples
// marked preroll are dropped.
class D_CBaseRenderer : public D_CBaseFilter {
 public:
  D_CBaseRenderer(const CLSID& classId, const char* objectName, IUnknown* outer, HRESULT* result);
  ~D_CBaseRenderer() override;
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;  // adds IMediaSeeking

  int GetPinCount() override { return 1; }
  D_CBasePin* GetPin(int index) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;

  virtual HRESULT CheckMediaType(const D_CMediaType* mediaType) = 0;
  virtual HRESULT SetMediaType(const D_CMediaType*) { return S_OK; }
  virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;
  // Paused: the sample that will be rendered first has come.
  virtual void OnReceiveFirstSample(IMediaSample*) {}
  // True when OnReceiveFirstSample rendered the sample (it is not rendered
  // again when its time comes).
  virtual bool PosterRendered() { return false; }
  virtual HRESULT CompleteConnect(IPin*) { return S_OK; }
  virtual HRESULT BreakConnect() { return S_OK; }
  // Called on each change of state, after it.
  virtual void OnStateChanged(FILTER_STATE) {}
  // How long before its time a sample may be rendered.
  virtual REFERENCE_TIME RenderLead() { return 0; }

  // The input pin's calls.
  HRESULT Receive(IMediaSample* sample);
  HRESULT EndOfStream();
  HRESULT BeginFlush();
  HRESULT EndFlush();
  // For a DoRenderSample that waits: true once the wait should end (stop,
  // flush).
  bool RenderAborted();
  // Waits up to the milliseconds, or until aborted or the state changes.
  void WaitForChange(DWORD milliseconds);

  D_CRendererInputPin* InputPin();

 private:
  // True once the clock has reached the stream time (always without a
  // clock); else how long to wait before looking again.
  bool DueNow(REFERENCE_TIME streamTime, DWORD* waitMilliseconds);

  D_CCritSec interfaceLock_;
  std::mutex renderMutex_;
  std::condition_variable renderChanged_;
  bool flushing_ = false;
  bool ended_ = false;           // the stream has ended (EC_COMPLETE sent)
  bool cueing_ = false;          // paused: the next sample is the picture of the pause
  REFERENCE_TIME lastStop_ = 0;  // stream time at which the last sample ends
  D_CRendererInputPin* input_ = nullptr;
  D_CRendererPosPassThru* position_ = nullptr;
};

class D_CRendererInputPin : public D_CBaseInputPin {
 public:
  D_CRendererInputPin(D_CBaseRenderer* renderer, HRESULT* result, const char16_t* pinName);
  HRESULT CheckMediaType(const D_CMediaType* mediaType) override;
  HRESULT SetMediaType(const D_CMediaType* mediaType) override;
  HRESULT CompleteConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  D_CBaseRenderer* renderer_;
};

// A renderer of video: paused, it shows the first sample at once (and only
// once).
class D_CBaseVideoRenderer : public D_CBaseRenderer {
 public:
  D_CBaseVideoRenderer(const CLSID& classId, const char* objectName, IUnknown* outer, HRESULT* result);
  void OnReceiveFirstSample(IMediaSample* sample) override;
  bool PosterRendered() override { return true; }
};
