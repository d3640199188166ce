// The file source the graph builder puts at the head of RenderFile and
// AddSourceFilter: one output pin that offers the file's bytes as a stream
// of unknown kind through IAsyncReader. Requests are served at once on the
// caller's thread and queued for WaitForNext.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>

#include "platform/dshow/filters_internal.h"

namespace {

class FileSource;

class FileSourcePin : public D_CBasePin, public IAsyncReader {
 public:
  FileSourcePin(FileSource* filter, D_CCritSec* lock, int file, int64_t size);
  ~FileSourcePin() override;
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IAsyncReader) return D_GetInterface(static_cast<IAsyncReader*>(this), out);
    return D_CBasePin::NonDelegatingQueryInterface(iid, out);
  }

  HRESULT CheckMediaType(const D_CMediaType* mediaType) override {
    return mediaType->majortype == MEDIATYPE_Stream ? S_OK : S_FALSE;
  }
  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    mediaType->Clear();
    mediaType->SetType(MEDIATYPE_Stream);
    mediaType->SetSubtype(MEDIASUBTYPE_NULL);
    return S_OK;
  }

  HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                           IMemAllocator** actual) override {
    if (properties == nullptr || actual == nullptr) return E_POINTER;
    *actual = nullptr;
    if (properties->cbAlign <= 0) properties->cbAlign = 1;
    ALLOCATOR_PROPERTIES granted;
    if (preferred != nullptr && SUCCEEDED(preferred->SetProperties(properties, &granted))) {
      preferred->AddRef();
      *actual = preferred;
      return S_OK;
    }
    HRESULT hr = S_OK;
    auto* own = new D_CMemAllocator("FileSourceAllocator", nullptr, &hr);
    own->AddRef();
    hr = own->SetProperties(properties, &granted);
    if (FAILED(hr)) {
      own->Release();
      return hr;
    }
    *actual = own;
    return S_OK;
  }

  HRESULT Request(IMediaSample* sample, DWORD_PTR user) override {
    if (sample == nullptr) return E_POINTER;
    REFERENCE_TIME start, stop;
    if (FAILED(sample->GetTime(&start, &stop))) return VFW_E_SAMPLE_TIME_NOT_SET;
    const HRESULT hr = ReadInto(sample, start / UNITS, (stop - start) / UNITS);
    std::lock_guard<std::mutex> lock(mutex_);
    if (flushing_) return VFW_E_WRONG_STATE;
    done_.push_back({sample, user, hr});
    arrived_.notify_all();
    return S_OK;
  }

  HRESULT WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user) override {
    if (sample == nullptr || user == nullptr) return E_POINTER;
    *sample = nullptr;
    *user = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [&] { return !done_.empty() || flushing_; };
    if (timeout == INFINITE)
      arrived_.wait(lock, ready);
    else if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeout), ready))
      return VFW_E_TIMEOUT;
    if (done_.empty()) return VFW_E_WRONG_STATE;
    const Done d = done_.front();
    done_.pop_front();
    *sample = d.sample;
    *user = d.user;
    return d.result;
  }

  HRESULT SyncReadAligned(IMediaSample* sample) override {
    if (sample == nullptr) return E_POINTER;
    REFERENCE_TIME start, stop;
    if (FAILED(sample->GetTime(&start, &stop))) return VFW_E_SAMPLE_TIME_NOT_SET;
    return ReadInto(sample, start / UNITS, (stop - start) / UNITS);
  }

  HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override {
    if (buffer == nullptr) return E_POINTER;
    if (position < 0 || length < 0) return E_INVALIDARG;
    LONG read = 0;
    const HRESULT hr = ReadAt(position, length, buffer, &read);
    return FAILED(hr) ? hr : (read == length ? S_OK : S_FALSE);
  }

  HRESULT Length(LONGLONG* total, LONGLONG* available) override {
    if (total == nullptr || available == nullptr) return E_POINTER;
    *total = *available = size_;
    return S_OK;
  }

  HRESULT BeginFlush() override {
    std::lock_guard<std::mutex> lock(mutex_);
    flushing_ = true;
    arrived_.notify_all();
    return S_OK;
  }

  HRESULT EndFlush() override {
    std::lock_guard<std::mutex> lock(mutex_);
    flushing_ = false;
    return S_OK;
  }

 private:
  struct Done {
    IMediaSample* sample;
    DWORD_PTR user;
    HRESULT result;
  };

  HRESULT ReadAt(LONGLONG position, LONGLONG length, BYTE* buffer, LONG* read) {
    *read = 0;
    if (position > size_) return E_INVALIDARG;
    LONGLONG left = size_ - position < length ? size_ - position : length;
    while (left > 0) {
      const ssize_t n = pread(file_, buffer + *read, static_cast<size_t>(left), static_cast<off_t>(position + *read));
      if (n < 0) return E_FAIL;
      if (n == 0) break;
      *read += static_cast<LONG>(n);
      left -= n;
    }
    return S_OK;
  }

  // The byte range into the sample, which it must fit.
  HRESULT ReadInto(IMediaSample* sample, LONGLONG position, LONGLONG length) {
    BYTE* buffer = nullptr;
    if (position < 0 || length < 0 || length > sample->GetSize() || FAILED(sample->GetPointer(&buffer)))
      return E_INVALIDARG;
    LONG read = 0;
    const HRESULT hr = ReadAt(position, length, buffer, &read);
    if (FAILED(hr)) return hr;
    sample->SetActualDataLength(read);
    return read == length ? S_OK : S_FALSE;
  }

  int file_;
  int64_t size_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Done> done_;
  bool flushing_ = false;
};

class FileSource : public D_CBaseFilter {
 public:
  static const CLSID kClassId;
  FileSource(int file, int64_t size) : D_CBaseFilter("FileSource", nullptr, &lock_, kClassId) {
    pin_ = new FileSourcePin(this, &lock_, file, size);
  }
  ~FileSource() override { delete pin_; }
  int GetPinCount() override { return 1; }
  D_CBasePin* GetPin(int index) override { return index == 0 ? pin_ : nullptr; }

 private:
  D_CCritSec lock_;
  FileSourcePin* pin_;
};

const CLSID FileSource::kClassId = {0xE436EBB5, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

FileSourcePin::FileSourcePin(FileSource* filter, D_CCritSec* lock, int file, int64_t size)
    : D_CBasePin("FileSourcePin", filter, lock, nullptr, u"Output", PINDIR_OUTPUT), file_(file), size_(size) {}

FileSourcePin::~FileSourcePin() { close(file_); }

}  // namespace

HRESULT CreateFileSourceFilter(const std::string& hostPath, IBaseFilter** filter) {
  *filter = nullptr;
  const int file = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return VFW_E_NOT_FOUND;
  struct stat st;
  if (fstat(file, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(file);
    return VFW_E_NOT_FOUND;
  }
  auto* source = new FileSource(file, static_cast<int64_t>(st.st_size));
  *filter = source;
  source->AddRef();
  return S_OK;
}
