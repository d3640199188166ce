// The movie frame renderer: the DirectShow renderer at the end of a movie's
// video chain. It takes uncompressed 24-bit RGB only (the graph builder puts
// the decoders and converters before it), keeps the latest frame as
// top-down rows in a buffer of its own and raises the new-frame flag, which
// the movie's frame refresh clears when it hands the frame on. The buffer
// is written under the frame lock, which the refresh holds while the frame
// is handed on: a frame is never read while the next one is copied in.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/dshow/dshow_base.h"
#include "platform/win32/win32.h"

// {71771540-2017-11CF-AE26-0020AFD79767}
extern const CLSID CLSID_MovieFrameRenderer;

class MovieFrameRenderer : public D_CBaseVideoRenderer {
 public:
  MovieFrameRenderer(IUnknown* outer, HRESULT* result);
  ~MovieFrameRenderer() override;

  // E_POINTER for null; E_INVALIDARG for a format that is no video info
  // header (or one too short, or of no size); E_FAIL for other than RGB24
  // video.
  HRESULT CheckMediaType(const D_CMediaType* mediaType) override;
  // Size and row order from the bitmap header (a negative height: top-down
  // rows); the buffer made again.
  HRESULT SetMediaType(const D_CMediaType* mediaType) override;
  // The sample's rows into the buffer, top row first.
  HRESULT DoRenderSample(IMediaSample* sample) override;

  void LockFrame() { EnterCriticalSection(&frameLock_); }
  void UnlockFrame() { LeaveCriticalSection(&frameLock_); }

  uint8_t* frameBuffer = nullptr;  // tracked allocation, top-down rows
  std::atomic<int32_t> newFrame{0};
  int32_t sourceBottomUp = 0;
  int32_t width = 0, height = 0;
  int32_t pitch = 0;  // (width + 1) x 3 rounded down to 4: a 24-bit row padded to 4 bytes

 private:
  CRITICAL_SECTION frameLock_;
};

// A new renderer without references, or null when memory runs out
// (E_OUTOFMEMORY in result).
MovieFrameRenderer* CreateMovieFrameRenderer(IUnknown* outer, int* result);
