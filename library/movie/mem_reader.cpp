#include "library/movie/mem_reader.h"

#include <cstring>
#include <new>

const CLSID CLSID_D_CMemReader = {0xC553F2C0, 0x1529, 0x11D0, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};

namespace {

// The mark a stream read may give for the first read of a stream.
constexpr HRESULT kFirstReadMark = 0x40000;

}  // namespace

// ---------------------------------------------------------------- memory stream

D_CMemStream::D_CMemStream(const uint8_t* data, int64_t length, uint32_t rate)
    : data_(data), length_(length < 0 ? 0 : length), rate_(rate), startTime_(timeGetTime()) {
  InitializeCriticalSection(&lock_);
}

D_CMemStream::~D_CMemStream() { DeleteCriticalSection(&lock_); }

void D_CMemStream::Lock() { EnterCriticalSection(&lock_); }

void D_CMemStream::Unlock() { LeaveCriticalSection(&lock_); }

HRESULT D_CMemStream::SetPointer(int64_t position) {
  Lock();
  const bool inside = position >= 0 && position <= length_;
  if (inside) position_ = position;
  Unlock();
  return inside ? S_OK : S_FALSE;
}

HRESULT D_CMemStream::Read(uint8_t* buffer, int32_t bytes, BOOL, int32_t* read) {
  Lock();
  int64_t count = length_ - position_;
  if (bytes < count) count = bytes;
  if (count < 0) count = 0;
  if (rate_ != 0 && rate_ != 0xFFFFFFFFu) {
    // The bytes up to the end of this read arrive at the rate (bytes per
    // millisecond) from the stream's making on.
    const uint32_t due = (static_cast<uint32_t>(position_) + static_cast<uint32_t>(count)) / rate_;
    const uint32_t passed = timeGetTime() - startTime_;
    if (passed < due) Sleep(due - passed);
  }
  if (count > 0) memcpy(buffer, data_ + position_, static_cast<size_t>(count));
  position_ += count;
  Unlock();
  *read = static_cast<int32_t>(count);
  return S_OK;
}

int64_t D_CMemStream::Size(int64_t* available) {
  if (available != nullptr) {
    // A rate with the top bit set (no limit) makes everything available.
    const int32_t rate = static_cast<int32_t>(rate_);
    int64_t arrived = rate <= 0 ? length_ : static_cast<int64_t>(timeGetTime() - startTime_) * rate;
    if (arrived > length_) arrived = length_;
    if (arrived < 0) arrived = 0;
    *available = arrived;
  }
  return length_;
}

D_CMemStream* CreateMemStream(const void* data, uint32_t lengthLow, uint32_t lengthHigh, uint32_t rate) {
  const int64_t length = static_cast<int64_t>((static_cast<uint64_t>(lengthHigh) << 32) | lengthLow);
  return new (std::nothrow) D_CMemStream(static_cast<const uint8_t*>(data), length, rate);
}

void DeleteMemStream(D_CMemStream* stream) { delete stream; }

// ---------------------------------------------------------------- request engine

AsyncIo::AsyncIo(D_CMemStream* stream) : stream_(stream) { InitializeCriticalSection(&listLock_); }

AsyncIo::~AsyncIo() {
  if (thread_ != nullptr) {
    stopEvent_.Set();
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  for (AsyncRequest* r : work_) delete r;
  for (AsyncRequest* r : done_) delete r;
  DeleteCriticalSection(&listLock_);
}

HRESULT AsyncIo::Request(int64_t position, int32_t length, BOOL aligned, BYTE* buffer, void* context,
                         DWORD_PTR user) {
  if (aligned && (!IsAligned(position) || !IsAligned(length) || !IsAligned(reinterpret_cast<intptr_t>(buffer))))
    return VFW_E_BADALIGN;
  auto* request = new (std::nothrow) AsyncRequest{stream_, position, length, aligned, buffer, context, user,
                                                  VFW_E_TIMEOUT, 0};
  if (request == nullptr) return E_OUTOFMEMORY;
  EnterCriticalSection(&listLock_);
  if (flushing_) {
    LeaveCriticalSection(&listLock_);
    delete request;
    return VFW_E_WRONG_STATE;
  }
  try {
    work_.push_back(request);
  } catch (const std::bad_alloc&) {
    LeaveCriticalSection(&listLock_);
    delete request;
    return E_OUTOFMEMORY;
  }
  workEvent_.Set();
  if (thread_ == nullptr) thread_ = CreateThread(nullptr, 0, WorkerEntry, this, 0, nullptr);
  const bool running = thread_ != nullptr;
  LeaveCriticalSection(&listLock_);
  return running ? S_OK : E_OUTOFMEMORY;
}

DWORD AsyncIo::WorkerEntry(LPVOID self) {
  static_cast<AsyncIo*>(self)->Worker();
  return 0;
}

void AsyncIo::Worker() {
  D_CAMEvent* events[2] = {&stopEvent_, &workEvent_};
  for (;;) {
    if (D_WaitForEvents(events, 2, INFINITE) == WAIT_OBJECT_0) return;
    ProcessRequests();
  }
}

void AsyncIo::ProcessRequests() {
  for (;;) {
    EnterCriticalSection(&listLock_);
    if (work_.empty()) {
      workEvent_.Reset();
      LeaveCriticalSection(&listLock_);
      return;
    }
    AsyncRequest* request = work_.front();
    work_.pop_front();
    ++inProgress_;
    LeaveCriticalSection(&listLock_);

    Complete(request);

    EnterCriticalSection(&listLock_);
    done_.push_back(request);
    doneEvent_.Set();
    if (--inProgress_ == 0 && waitingForFlush_) allDoneEvent_.Set();
    LeaveCriticalSection(&listLock_);
  }
}

void AsyncIo::Complete(AsyncRequest* request) {
  D_CMemStream* stream = request->stream;
  stream->Lock();
  HRESULT hr = stream->SetPointer(request->position);
  int32_t actual = 0;
  // A position the stream refuses reads nothing (rather than reading at
  // the old position).
  if (hr == S_OK) hr = stream->Read(request->buffer, request->length, request->aligned, &actual);
  stream->Unlock();
  if (hr == kFirstReadMark) {
    if (request->context != nullptr)
      static_cast<IMediaSample*>(request->context)->SetDiscontinuity(TRUE);
    hr = S_OK;
  }
  request->actual = actual;
  if (SUCCEEDED(hr)) hr = actual < request->length ? S_FALSE : S_OK;
  request->result = hr;
}

HRESULT AsyncIo::WaitForNext(DWORD timeout, void** context, DWORD_PTR* user, int32_t* actual) {
  *context = nullptr;
  *user = 0;
  *actual = 0;
  AsyncRequest* request = nullptr;
  for (;;) {
    if (!doneEvent_.Wait(timeout)) return VFW_E_TIMEOUT;
    EnterCriticalSection(&listLock_);
    if (!done_.empty()) {
      request = done_.front();
      done_.pop_front();
    }
    // While flushing the event stays set, so that waiters come out.
    if (done_.empty() && !flushing_) doneEvent_.Reset();
    if (request == nullptr && flushing_ && !waitingForFlush_) {
      LeaveCriticalSection(&listLock_);
      return VFW_E_WRONG_STATE;
    }
    LeaveCriticalSection(&listLock_);
    if (request != nullptr) break;
  }
  HRESULT hr = request->result;
  if (hr == S_FALSE) {
    // Short: fine at the end of the stream, a failure before it.
    hr = request->position + request->actual == stream_->Size(nullptr) ? S_OK : E_FAIL;
  }
  *context = request->context;
  *user = request->user;
  *actual = request->actual;
  delete request;
  return hr;
}

HRESULT AsyncIo::SyncReadAligned(int64_t position, int32_t length, BYTE* buffer, int32_t* actual, void* context) {
  if (!IsAligned(position) || !IsAligned(length) || !IsAligned(reinterpret_cast<intptr_t>(buffer)))
    return VFW_E_BADALIGN;
  AsyncRequest request{stream_, position, length, TRUE, buffer, context, 0, VFW_E_TIMEOUT, 0};
  Complete(&request);
  *actual = request.actual;
  return request.result;
}

HRESULT AsyncIo::SyncRead(int64_t position, int32_t length, BYTE* buffer) {
  if (IsAligned(position) && IsAligned(length) && IsAligned(reinterpret_cast<intptr_t>(buffer))) {
    int32_t actual = 0;
    return SyncReadAligned(position, length, buffer, &actual, nullptr);
  }
  AsyncRequest request{stream_, position, length, FALSE, buffer, nullptr, 0, VFW_E_TIMEOUT, 0};
  Complete(&request);
  return request.result;
}

HRESULT AsyncIo::Length(int64_t* total, int64_t* available) {
  *total = stream_->Size(available);
  return S_OK;
}

HRESULT AsyncIo::BeginFlush() {
  EnterCriticalSection(&listLock_);
  flushing_ = true;
  while (!work_.empty()) {
    done_.push_back(work_.front());
    work_.pop_front();
  }
  workEvent_.Reset();
  const bool wait = inProgress_ > 0;
  if (wait) {
    waitingForFlush_ = true;
    allDoneEvent_.Reset();
  }
  LeaveCriticalSection(&listLock_);
  if (wait) {
    allDoneEvent_.Wait(INFINITE);
    EnterCriticalSection(&listLock_);
    waitingForFlush_ = false;
    LeaveCriticalSection(&listLock_);
  }
  doneEvent_.Set();
  return S_OK;
}

HRESULT AsyncIo::EndFlush() {
  EnterCriticalSection(&listLock_);
  flushing_ = false;
  if (done_.empty())
    doneEvent_.Reset();
  else
    doneEvent_.Set();
  LeaveCriticalSection(&listLock_);
  return S_OK;
}

// ---------------------------------------------------------------- output pin

AsyncOutputPin::AsyncOutputPin(D_CMemReader* reader, AsyncIo* io, D_CCritSec* lock, HRESULT* result)
    : D_CBasePin("AsyncOutputPin", reader, lock, result, u"Output", PINDIR_OUTPUT), reader_(reader), io_(io) {}

HRESULT AsyncOutputPin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IID_IAsyncReader) {
    queriedForAsyncReader_ = true;
    return D_GetInterface(static_cast<IAsyncReader*>(this), out);
  }
  return D_CBasePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT AsyncOutputPin::GetMediaType(int position, D_CMediaType* mediaType) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  if (reader_ == nullptr) return E_UNEXPECTED;
  *mediaType = *reader_->MediaType();
  return S_OK;
}

HRESULT AsyncOutputPin::CheckMediaType(const D_CMediaType* mediaType) {
  const D_CMediaType* mine = reader_->MediaType();
  if (mediaType->majortype != mine->majortype) return S_FALSE;
  if (mine->subtype != GUID_NULL && mediaType->subtype != mine->subtype) return S_FALSE;
  return S_OK;
}

HRESULT AsyncOutputPin::CheckConnect(IPin* pin) {
  if (!queriedForAsyncReader_) return E_FAIL;
  return D_CBasePin::CheckConnect(pin);
}

HRESULT AsyncOutputPin::BreakConnect() {
  queriedForAsyncReader_ = false;
  return D_CBasePin::BreakConnect();
}

HRESULT AsyncOutputPin::InitAllocator(IMemAllocator** allocator) {
  HRESULT hr = S_OK;
  auto* made = new (std::nothrow) D_CMemAllocator("AsyncOutputAllocator", nullptr, &hr);
  if (made == nullptr) return E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete made;
    return hr;
  }
  void* out = nullptr;
  hr = made->NonDelegatingQueryInterface(IID_IMemAllocator, &out);
  if (FAILED(hr)) {
    delete made;
    return E_NOINTERFACE;
  }
  *allocator = static_cast<IMemAllocator*>(out);
  return S_OK;
}

HRESULT AsyncOutputPin::RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                                         IMemAllocator** actual) {
  if (properties == nullptr || actual == nullptr) return E_POINTER;
  *actual = nullptr;
  const LONG alignment = io_->Alignment();
  if (properties->cbAlign < alignment) properties->cbAlign = alignment;
  ALLOCATOR_PROPERTIES granted;
  if (preferred != nullptr && SUCCEEDED(preferred->SetProperties(properties, &granted)) &&
      granted.cbAlign % alignment == 0) {
    preferred->AddRef();
    *actual = preferred;
    return S_OK;
  }
  IMemAllocator* own = nullptr;
  HRESULT hr = InitAllocator(&own);
  if (FAILED(hr)) return hr;
  hr = own->SetProperties(properties, &granted);
  if (FAILED(hr) || granted.cbAlign % alignment != 0) {
    own->Release();
    return VFW_E_BADALIGN;
  }
  *actual = own;
  return S_OK;
}

bool AsyncOutputPin::RangeOf(IMediaSample* sample, int64_t* position, int32_t* length, BYTE** buffer) {
  REFERENCE_TIME start, stop;
  if (FAILED(sample->GetTime(&start, &stop))) return false;
  int64_t first = start / UNITS;
  int64_t count = (stop - start) / UNITS;
  int64_t total = 0, available = 0;
  io_->Length(&total, &available);
  if (first < 0 || first > total || count < 0) return false;
  if (first + count > total) {
    const int64_t alignment = io_->Alignment();
    const int64_t end = (total + alignment - 1) / alignment * alignment;
    if (first + count > end) {
      count = end - first;
      REFERENCE_TIME newStart = first * UNITS, newStop = (first + count) * UNITS;
      sample->SetTime(&newStart, &newStop);
    }
  }
  if (count > sample->GetSize() || FAILED(sample->GetPointer(buffer))) return false;
  *position = first;
  *length = static_cast<int32_t>(count);
  return true;
}

HRESULT AsyncOutputPin::Request(IMediaSample* sample, DWORD_PTR user) {
  if (sample == nullptr) return E_POINTER;
  int64_t position;
  int32_t length;
  BYTE* buffer;
  if (!RangeOf(sample, &position, &length, &buffer)) return E_INVALIDARG;
  return io_->Request(position, length, TRUE, buffer, sample, user);
}

HRESULT AsyncOutputPin::WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user) {
  if (sample == nullptr || user == nullptr) return E_POINTER;
  void* context = nullptr;
  int32_t actual = 0;
  const HRESULT hr = io_->WaitForNext(timeout, &context, user, &actual);
  *sample = static_cast<IMediaSample*>(context);
  if (*sample != nullptr && SUCCEEDED(hr)) (*sample)->SetActualDataLength(actual);
  return hr;
}

HRESULT AsyncOutputPin::SyncReadAligned(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  int64_t position;
  int32_t length;
  BYTE* buffer;
  if (!RangeOf(sample, &position, &length, &buffer)) return E_INVALIDARG;
  int32_t actual = 0;
  const HRESULT hr = io_->SyncReadAligned(position, length, buffer, &actual, sample);
  sample->SetActualDataLength(actual);
  return hr;
}

HRESULT AsyncOutputPin::SyncRead(LONGLONG position, LONG length, BYTE* buffer) {
  if (buffer == nullptr) return E_POINTER;
  int64_t total = 0, available = 0;
  io_->Length(&total, &available);
  if (position < 0 || position > total || length < 0) return E_INVALIDARG;
  return io_->SyncRead(position, length, buffer);
}

HRESULT AsyncOutputPin::Length(LONGLONG* total, LONGLONG* available) {
  if (total == nullptr || available == nullptr) return E_POINTER;
  return io_->Length(total, available);
}

HRESULT AsyncOutputPin::BeginFlush() { return io_->BeginFlush(); }

HRESULT AsyncOutputPin::EndFlush() { return io_->EndFlush(); }

// ---------------------------------------------------------------- reader

D_CMemReader::D_CMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* mediaType, HRESULT* result)
    : D_CBaseFilter("Mem Reader", nullptr, &lock_, CLSID_D_CMemReader),
      io_(stream),
      pin_(this, &io_, &lock_, result),
      mediaType_(*mediaType) {}

D_CMemReader::~D_CMemReader() = default;

D_CBasePin* D_CMemReader::GetPin(int index) { return index == 0 ? &pin_ : nullptr; }

D_CMemReader* CreateMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* mediaType, int* result) {
  HRESULT hr = S_OK;
  D_CMemReader* reader =
      stream != nullptr && mediaType != nullptr ? new (std::nothrow) D_CMemReader(stream, mediaType, &hr) : nullptr;
  if (result != nullptr) *result = reader == nullptr ? E_OUTOFMEMORY : hr;
  return reader;
}
