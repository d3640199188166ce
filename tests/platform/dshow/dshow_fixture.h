// What the DirectShow tests share: COM and the virtual clock around each
// test (the graph's clock follows it), no object or thread left behind, a
// renderer that keeps every frame it is given, and helpers for graphs.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dshow/dshow_base.h"
#include "platform/win32/win32.h"
#include "tests/platform/dshow/av_clip.h"
#include "tests/support/test_support.h"

namespace dshowtest {

inline std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

template <typename T>
T* Query(IUnknown* object, const IID& iid) {
  void* out = nullptr;
  return SUCCEEDED(object->QueryInterface(iid, &out)) ? static_cast<T*>(out) : nullptr;
}

inline IGraphBuilder* NewGraph() {
  void* graph = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &graph), S_OK);
  return static_cast<IGraphBuilder*>(graph);
}

// The names of the graph's filters, in the order they were added.
inline std::vector<std::u16string> FilterNames(IGraphBuilder* graph) {
  std::vector<std::u16string> names;
  IEnumFilters* e = nullptr;
  if (FAILED(graph->EnumFilters(&e))) return names;
  IBaseFilter* f = nullptr;
  ULONG n = 0;
  while (e->Next(1, &f, &n) == S_OK && n == 1) {
    FILTER_INFO info;
    f->QueryFilterInfo(&info);
    if (info.pGraph != nullptr) info.pGraph->Release();
    names.push_back(info.achName);
    f->Release();
  }
  e->Release();
  return names;
}

inline bool Contains(const std::vector<std::u16string>& names, const std::u16string& name) {
  for (const auto& n : names)
    if (n == name) return true;
  return false;
}

// Keeps a top-down copy of every RGB24 frame it renders, with its time.
class FrameCatcher : public D_CBaseVideoRenderer {
 public:
  static constexpr CLSID kClassId = {0x5A525445, 0x5354, 0x0001, {'C', 'A', 'T', 'C', 'H', 'E', 'R', 1}};
  FrameCatcher() : D_CBaseVideoRenderer(kClassId, "FrameCatcher", nullptr, &result_) {}

  HRESULT CheckMediaType(const D_CMediaType* t) override {
    return t->majortype == MEDIATYPE_Video && t->subtype == MEDIASUBTYPE_RGB24 && t->formattype == FORMAT_VideoInfo &&
                   t->cbFormat >= sizeof(VIDEOINFOHEADER)
               ? S_OK
               : E_FAIL;
  }
  HRESULT SetMediaType(const D_CMediaType* t) override {
    VIDEOINFOHEADER info;
    memcpy(&info, t->pbFormat, sizeof info);
    width_ = info.bmiHeader.biWidth;
    bottomUp_ = info.bmiHeader.biHeight > 0;
    height_ = bottomUp_ ? info.bmiHeader.biHeight : -info.bmiHeader.biHeight;
    return S_OK;
  }
  HRESULT DoRenderSample(IMediaSample* sample) override {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const int pitch = (width_ * 3 + 3) & ~3;
    avclip::Picture p{width_, height_, 0, avclip::Bytes(static_cast<size_t>(width_) * height_ * 3)};
    for (int y = 0; y < height_; ++y) {
      const int from = bottomUp_ ? height_ - 1 - y : y;
      memcpy(&p.pixels[static_cast<size_t>(y) * width_ * 3], data + static_cast<size_t>(from) * pitch,
             static_cast<size_t>(width_) * 3);
    }
    REFERENCE_TIME start = 0, stop = 0;
    sample->GetTime(&start, &stop);
    p.time = InputPin()->SegmentStart() + start;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      frames_.push_back(std::move(p));
    }
    arrived_.notify_all();
    return S_OK;
  }

  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size();
  }
  // Waits (for real) until `count` frames have come; false after 20 s.
  bool WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return frames_.size() >= count; });
  }
  avclip::Picture Frame(size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.at(i);
  }

 private:
  HRESULT result_ = S_OK;
  int width_ = 0, height_ = 0;
  bool bottomUp_ = true;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<avclip::Picture> frames_;
};

inline D_CMediaType MakeType(const GUID& major, const GUID& subtype, const GUID& format = GUID_NULL,
                             const void* block = nullptr, ULONG size = 0) {
  D_CMediaType t;
  t.SetType(major);
  t.SetSubtype(subtype);
  t.SetFormatType(format);
  if (block != nullptr) t.SetFormat(block, size);
  return t;
}

// A source whose output pin offers the types given and delivers what the
// test hands it (on the test's thread).
class TestSource : public D_CBaseFilter {
 public:
  static constexpr CLSID kClassId = {0x5A525445, 0x5354, 0x0002, {'S', 'O', 'U', 'R', 'C', 'E', 0, 1}};
  explicit TestSource(std::vector<D_CMediaType> types, LONG bufferSize = 4096)
      : D_CBaseFilter("TestSource", nullptr, &lock_, kClassId), pin_(this, &lock_, std::move(types), bufferSize) {}
  int GetPinCount() override { return 1; }
  D_CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
  D_CBaseOutputPin* Output() { return &pin_; }

  // One sample of the bytes with the times given (none when start < 0).
  HRESULT Send(const std::vector<uint8_t>& bytes, REFERENCE_TIME start = -1, REFERENCE_TIME stop = -1) {
    IMediaSample* sample = nullptr;
    HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    memcpy(data, bytes.data(), bytes.size());
    sample->SetActualDataLength(static_cast<LONG>(bytes.size()));
    if (start >= 0) sample->SetTime(&start, &stop);
    hr = pin_.Deliver(sample);
    sample->Release();
    return hr;
  }

 private:
  class Pin : public D_CBaseOutputPin {
   public:
    Pin(D_CBaseFilter* filter, D_CCritSec* lock, std::vector<D_CMediaType> types, LONG size)
        : D_CBaseOutputPin("TestSourcePin", filter, lock, nullptr, u"Out"), types_(std::move(types)), size_(size) {}
    HRESULT CheckMediaType(const D_CMediaType* t) override {
      for (const D_CMediaType& mine : types_)
        if (*t == mine) return S_OK;
      return S_FALSE;
    }
    HRESULT GetMediaType(int position, D_CMediaType* t) override {
      if (position < 0) return E_INVALIDARG;
      if (position >= static_cast<int>(types_.size())) return VFW_S_NO_MORE_ITEMS;
      *t = types_[static_cast<size_t>(position)];
      return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) override {
      ALLOCATOR_PROPERTIES wanted = {2, size_, 1, 0}, actual;
      return allocator->SetProperties(&wanted, &actual);
    }

   private:
    std::vector<D_CMediaType> types_;
    LONG size_;
  };

  D_CCritSec lock_;
  Pin pin_;
};

// A renderer of the types whose subtype it is given; keeps the bytes and
// times of what it renders.
class TestSink : public D_CBaseRenderer {
 public:
  static constexpr CLSID kClassId = {0x5A525445, 0x5354, 0x0003, {'S', 'I', 'N', 'K', 0, 0, 0, 1}};
  explicit TestSink(std::vector<GUID> subtypes) : D_CBaseRenderer(kClassId, "TestSink", nullptr, &result_), subtypes_(std::move(subtypes)) {}
  HRESULT CheckMediaType(const D_CMediaType* t) override {
    for (const GUID& g : subtypes_)
      if (t->subtype == g) return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT DoRenderSample(IMediaSample* sample) override {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    REFERENCE_TIME start = -1, stop = -1;
    sample->GetTime(&start, &stop);
    std::lock_guard<std::mutex> lock(mutex_);
    received_.emplace_back(data, data + sample->GetActualDataLength());
    starts_.push_back(start);
    return S_OK;
  }
  std::vector<std::vector<uint8_t>> Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  std::vector<REFERENCE_TIME> Starts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return starts_;
  }

 private:
  HRESULT result_ = S_OK;
  std::vector<GUID> subtypes_;
  std::mutex mutex_;
  std::vector<std::vector<uint8_t>> received_;
  std::vector<REFERENCE_TIME> starts_;
};

class DShowTest : public testing::Test {
 protected:
  void SetUp() override {
    objects_ = PlatformLiveDShowObjectCount();
    threads_ = PlatformLiveThreadCount();
    PlatformUseVirtualClock(true, 1000000);
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    PlatformUseVirtualClock(false);
    EXPECT_EQ(PlatformLiveDShowObjectCount(), objects_) << "DirectShow objects left behind";
    EXPECT_EQ(PlatformLiveThreadCount(), threads_) << "threads left behind";
  }

  // The clip written into the scratch folder; its path.
  std::string WriteClip(const std::string& name, const avclip::Bytes& bytes) {
    const std::string path = dir_.Make(name);
    WriteFileBytes(path, bytes);
    return path;
  }

  // Moves the graph's clock on.
  static void Advance(int64_t microseconds) { PlatformAdvanceVirtualClock(static_cast<uint64_t>(microseconds)); }

  TempDir dir_;

 private:
  int objects_ = 0;
  int threads_ = 0;
};

}  // namespace dshowtest
