// Media samples and the allocators that hand them out.
#include <cstring>
#include <new>

#include "platform/dshow/dshow_base.h"

// ---------------------------------------------------------------- sample

D_CMediaSample::D_CMediaSample(const char*, D_CBaseAllocator* allocator, HRESULT* result, BYTE* buffer, LONG length)
    : allocator_(allocator), buffer_(buffer), size_(length), actual_(length) {
  if (result != nullptr && buffer == nullptr) *result = E_OUTOFMEMORY;
}

D_CMediaSample::~D_CMediaSample() { DeleteMediaType(mediaType_); }

HRESULT D_CMediaSample::QueryInterface(const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IMediaSample || iid == IID_IMediaSample2 || iid == IID_IUnknown) {
    *out = static_cast<IMediaSample2*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG D_CMediaSample::AddRef() { return static_cast<ULONG>(++references_); }

ULONG D_CMediaSample::Release() {
  const LONG left = --references_;
  if (left == 0) allocator_->ReleaseBuffer(this);
  return static_cast<ULONG>(left);
}

void D_CMediaSample::ResetProperties() {
  flags_ = 0;
  typeFlags_ = 0;
  streamId_ = AM_STREAM_MEDIA;
  start_ = stop_ = 0;
  actual_ = size_;
  DeleteMediaType(mediaType_);
  mediaType_ = nullptr;
  references_ = 1;
}

HRESULT D_CMediaSample::GetPointer(BYTE** buffer) {
  if (buffer == nullptr) return E_POINTER;
  *buffer = buffer_;
  return S_OK;
}

HRESULT D_CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  if (start == nullptr || stop == nullptr) return E_POINTER;
  if (!(flags_ & AM_SAMPLE_TIMEVALID)) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = start_;
  if (flags_ & AM_SAMPLE_STOPVALID) {
    *stop = stop_;
    return S_OK;
  }
  *stop = start_ + 1;
  return VFW_S_NO_STOP_TIME;
}

HRESULT D_CMediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  flags_ &= ~(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
  if (start == nullptr) return S_OK;
  start_ = *start;
  flags_ |= AM_SAMPLE_TIMEVALID;
  if (stop != nullptr) {
    stop_ = *stop;
    flags_ |= AM_SAMPLE_STOPVALID;
  }
  return S_OK;
}

HRESULT D_CMediaSample::SetSyncPoint(BOOL syncPoint) {
  flags_ = syncPoint ? (flags_ | AM_SAMPLE_SPLICEPOINT) : (flags_ & ~AM_SAMPLE_SPLICEPOINT);
  return S_OK;
}

HRESULT D_CMediaSample::SetPreroll(BOOL preroll) {
  flags_ = preroll ? (flags_ | AM_SAMPLE_PREROLL) : (flags_ & ~AM_SAMPLE_PREROLL);
  return S_OK;
}

HRESULT D_CMediaSample::SetDiscontinuity(BOOL discontinuity) {
  flags_ = discontinuity ? (flags_ | AM_SAMPLE_DATADISCONTINUITY) : (flags_ & ~AM_SAMPLE_DATADISCONTINUITY);
  return S_OK;
}

HRESULT D_CMediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
  actual_ = length;
  return S_OK;
}

HRESULT D_CMediaSample::GetMediaType(AM_MEDIA_TYPE** mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  if (mediaType_ == nullptr) {
    *mediaType = nullptr;
    return S_FALSE;
  }
  *mediaType = CreateMediaType(mediaType_);
  return *mediaType != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT D_CMediaSample::SetMediaType(AM_MEDIA_TYPE* mediaType) {
  DeleteMediaType(mediaType_);
  mediaType_ = nullptr;
  if (mediaType == nullptr) return S_OK;
  mediaType_ = CreateMediaType(mediaType);
  return mediaType_ != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT D_CMediaSample::GetProperties(DWORD size, BYTE* properties) {
  if (properties == nullptr) return E_POINTER;
  AM_SAMPLE2_PROPERTIES p{};
  p.cbData = sizeof p;
  p.dwTypeSpecificFlags = typeFlags_;
  p.dwSampleFlags = flags_;
  p.lActual = actual_;
  p.tStart = start_;
  p.tStop = stop_;
  p.dwStreamId = streamId_;
  p.pMediaType = mediaType_;
  p.pbBuffer = buffer_;
  p.cbBuffer = size_;
  memcpy(properties, &p, size < sizeof p ? size : sizeof p);
  return S_OK;
}

HRESULT D_CMediaSample::SetProperties(DWORD size, const BYTE* properties) {
  if (properties == nullptr) return E_POINTER;
  AM_SAMPLE2_PROPERTIES p{};
  GetProperties(sizeof p, reinterpret_cast<BYTE*>(&p));
  memcpy(&p, properties, size < sizeof p ? size : sizeof p);
  if (p.lActual < 0 || p.lActual > size_) return VFW_E_BUFFER_OVERFLOW;
  typeFlags_ = p.dwTypeSpecificFlags;
  flags_ = p.dwSampleFlags;
  actual_ = p.lActual;
  start_ = p.tStart;
  stop_ = p.tStop;
  streamId_ = p.dwStreamId;
  return S_OK;
}

// ---------------------------------------------------------------- base allocator

D_CBaseAllocator::D_CBaseAllocator(const char* objectName, IUnknown* outer, HRESULT*)
    : D_CUnknown(objectName, outer) {}

D_CBaseAllocator::~D_CBaseAllocator() = default;

HRESULT D_CBaseAllocator::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IID_IMemAllocator || iid == IID_IUnknown) return D_GetInterface(static_cast<IMemAllocator*>(this), out);
  return D_CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT D_CBaseAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (request == nullptr || actual == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  if (committed_) return VFW_E_ALREADY_COMMITTED;
  if (static_cast<LONG>(free_.size()) != allocated_) return VFW_E_BUFFERS_OUTSTANDING;
  const LONG alignment = request->cbAlign;
  if (alignment <= 0 || (alignment & (alignment - 1)) != 0) return VFW_E_BADALIGN;
  if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
  count_ = request->cBuffers;
  size_ = request->cbBuffer;
  alignment_ = alignment;
  prefix_ = request->cbPrefix;
  changed_ = true;
  *actual = {count_, size_, alignment_, prefix_};
  return S_OK;
}

HRESULT D_CBaseAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) {
  if (properties == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  *properties = {count_, size_, alignment_, prefix_};
  return S_OK;
}

HRESULT D_CBaseAllocator::Alloc() {
  if (count_ <= 0 || size_ <= 0 || alignment_ <= 0) return VFW_E_SIZENOTSET;
  if (allocated_ > 0 && !changed_) return S_FALSE;
  changed_ = false;
  return S_OK;
}

HRESULT D_CBaseAllocator::Commit() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (committed_) return S_OK;
  if (decommitPending_) {
    // Samples of the last run are still out: they come back to this run.
    decommitPending_ = false;
    committed_ = true;
    return S_OK;
  }
  const HRESULT hr = Alloc();
  if (FAILED(hr)) return hr;
  committed_ = true;
  return S_OK;
}

HRESULT D_CBaseAllocator::Decommit() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!committed_) return S_OK;
  committed_ = false;
  if (static_cast<LONG>(free_.size()) == allocated_)
    Free();
  else
    decommitPending_ = true;
  available_.notify_all();
  return S_OK;
}

HRESULT D_CBaseAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, DWORD flags) {
  if (sample == nullptr) return E_POINTER;
  *sample = nullptr;
  D_CMediaSample* taken = nullptr;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (!committed_) return VFW_E_NOT_COMMITTED;
      if (!free_.empty()) break;
      if (flags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
      available_.wait(lock);
    }
    taken = free_.back();
    free_.pop_back();
    taken->ResetProperties();
  }
  // The sample holds the allocator until it comes back.
  OwnerAddRef();
  *sample = taken;
  return S_OK;
}

HRESULT D_CBaseAllocator::ReleaseBuffer(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(static_cast<D_CMediaSample*>(sample));
    if (decommitPending_ && static_cast<LONG>(free_.size()) == allocated_) {
      decommitPending_ = false;
      Free();
    }
    available_.notify_all();
  }
  OwnerRelease();
  return S_OK;
}

bool D_CBaseAllocator::AddSample(BYTE* buffer, LONG length) {
  HRESULT hr = S_OK;
  auto* sample = new (std::nothrow) D_CMediaSample("Sample", this, &hr, buffer, length);
  if (sample == nullptr || FAILED(hr)) {
    delete sample;
    return false;
  }
  free_.push_back(sample);
  ++allocated_;
  return true;
}

void D_CBaseAllocator::DeleteSamples() {
  for (D_CMediaSample* sample : free_) delete sample;
  allocated_ -= static_cast<LONG>(free_.size());
  free_.clear();
}

// ---------------------------------------------------------------- memory allocator

D_CMemAllocator::D_CMemAllocator(const char* objectName, IUnknown* outer, HRESULT* result)
    : D_CBaseAllocator(objectName, outer, result) {}

D_CMemAllocator::~D_CMemAllocator() {
  std::lock_guard<std::mutex> lock(mutex_);
  Free();
}

HRESULT D_CMemAllocator::Alloc() {
  HRESULT hr = D_CBaseAllocator::Alloc();
  if (FAILED(hr)) return hr;
  if (hr == S_FALSE) return S_OK;
  Free();
  const int64_t step = (static_cast<int64_t>(prefix_) + size_ + alignment_ - 1) / alignment_ * alignment_;
  const int64_t total = step * count_;
  if (total > 0x7FFFFFFF) return E_OUTOFMEMORY;
  block_ = new (std::nothrow) BYTE[static_cast<size_t>(total) + static_cast<size_t>(alignment_)];
  if (block_ == nullptr) return E_OUTOFMEMORY;
  // The first sample's data (after its prefix) on the alignment.
  BYTE* at = block_;
  const uintptr_t misalign = reinterpret_cast<uintptr_t>(at + prefix_) % static_cast<uintptr_t>(alignment_);
  if (misalign != 0) at += alignment_ - static_cast<LONG>(misalign);
  for (LONG i = 0; i < count_; ++i) {
    if (!AddSample(at + prefix_, size_)) {
      Free();
      return E_OUTOFMEMORY;
    }
    at += step;
  }
  return S_OK;
}

void D_CMemAllocator::Free() {
  DeleteSamples();
  delete[] block_;
  block_ = nullptr;
}
