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
