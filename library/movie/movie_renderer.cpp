#include "library/movie/movie_renderer.h"

#include <cstring>
#include <new>

#include "library/core/memory.h"

const CLSID CLSID_MovieFrameRenderer = {0x71771540, 0x2017, 0x11CF, {0xAE, 0x26, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x67}};

namespace {

// Pictures beyond this many pixels a side are refused as damaged.
constexpr int32_t kLargestSide = 16384;

}  // namespace

MovieFrameRenderer::MovieFrameRenderer(IUnknown* outer, HRESULT* result)
    : D_CBaseVideoRenderer(CLSID_MovieFrameRenderer, nullptr, outer, result) {
  InitializeCriticalSection(&frameLock_);
}

MovieFrameRenderer::~MovieFrameRenderer() {
  TrackedFree(frameBuffer);
  DeleteCriticalSection(&frameLock_);
}

HRESULT MovieFrameRenderer::CheckMediaType(const D_CMediaType* mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  if (mediaType->formattype != FORMAT_VideoInfo) return E_INVALIDARG;
  if (mediaType->majortype != MEDIATYPE_Video) return E_FAIL;
  if (mediaType->subtype != MEDIASUBTYPE_RGB24) return E_FAIL;
  // The bitmap header is read from the format block: it must be there and
  // describe a picture.
  if (mediaType->pbFormat == nullptr || mediaType->cbFormat < sizeof(VIDEOINFOHEADER)) return E_INVALIDARG;
  VIDEOINFOHEADER info;
  memcpy(&info, mediaType->pbFormat, sizeof info);
  const int64_t h = info.bmiHeader.biHeight < 0 ? -static_cast<int64_t>(info.bmiHeader.biHeight)
                                                : info.bmiHeader.biHeight;
  if (info.bmiHeader.biWidth <= 0 || info.bmiHeader.biWidth > kLargestSide || h == 0 || h > kLargestSide)
    return E_INVALIDARG;
  return S_OK;
}

HRESULT MovieFrameRenderer::SetMediaType(const D_CMediaType* mediaType) {
  VIDEOINFOHEADER info;
  memcpy(&info, mediaType->pbFormat, sizeof info);
  width = info.bmiHeader.biWidth;
  if (info.bmiHeader.biHeight < 0) {
    sourceBottomUp = 0;
    height = -info.bmiHeader.biHeight;
  } else {
    sourceBottomUp = 1;
    height = info.bmiHeader.biHeight;
  }
  pitch = (width + 1) * 3 / 4 * 4;
  LockFrame();
  TrackedFree(frameBuffer);
  frameBuffer = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(pitch) * height, __FILE__, __LINE__));
  newFrame = 0;
  UnlockFrame();
  return S_OK;
}

HRESULT MovieFrameRenderer::DoRenderSample(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  if (frameBuffer == nullptr) return S_OK;
  BYTE* source = nullptr;
  if (FAILED(sample->GetPointer(&source))) return S_OK;
  // A sample shorter than a frame is dropped rather than read past its end.
  const size_t frameBytes = static_cast<size_t>(pitch) * height;
  if (sample->GetActualDataLength() < 0 || static_cast<size_t>(sample->GetActualDataLength()) < frameBytes)
    return S_OK;
  LockFrame();
  if (sourceBottomUp) {
    for (int32_t row = 0; row < height; ++row)
      memcpy(frameBuffer + static_cast<size_t>(height - 1 - row) * pitch, source + static_cast<size_t>(row) * pitch,
             static_cast<size_t>(pitch));
  } else {
    memcpy(frameBuffer, source, frameBytes);
  }
  newFrame.store(1, std::memory_order_release);
  UnlockFrame();
  return S_OK;
}

MovieFrameRenderer* CreateMovieFrameRenderer(IUnknown* outer, int* result) {
  HRESULT hr = S_OK;
  auto* renderer = new (std::nothrow) MovieFrameRenderer(outer, &hr);
  if (result != nullptr) *result = renderer == nullptr ? E_OUTOFMEMORY : hr;
  return renderer;
}
