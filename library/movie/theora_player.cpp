#include "library/movie/theora_player.h"

#include <cstring>
#include <new>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/graphics_system.h"
#include "library/movie/yuv_tables.h"

namespace {

constexpr uint32_t kReadSize = 4096;
constexpr int32_t kGrowStep = 1000;
// Coded frames larger than this on either side are refused: no movie the
// library plays comes near it, and a damaged header could ask for any size.
constexpr uint32_t kMaxFrameSide = 16384;

// ---------------------------------------------------------------- Direct3D

// An off-screen plain surface of the picture size in the default pool, in
// the first of "YV12", "YUY2" and "UYVY" that the device makes; null when
// none.
void* G_D3D_CreateMovieYuvSurface(int32_t width, int32_t height, uint32_t* format) {
  if (Direct3DDevice == nullptr) return nullptr;
  for (uint32_t fourcc : {FourCCYV12, FourCCYUY2, FourCCUYVY}) {
    IDirect3DSurface9* surface = nullptr;
    if (Direct3DDevice->CreateOffscreenPlainSurface(static_cast<UINT>(width), static_cast<UINT>(height), fourcc,
                                                    D3DPOOL_DEFAULT, &surface, nullptr) >= 0 &&
        surface != nullptr) {
      *format = fourcc;
      return surface;
    }
  }
  return nullptr;
}

// The surface's pixels and pitch, or null when the lock fails.
uint8_t* G_D3D_LockMovieYuvSurface(void* surface, int32_t* pitch) {
  D3DLOCKED_RECT locked{};
  if (static_cast<IDirect3DSurface9*>(surface)->LockRect(&locked, nullptr, 0) < 0) return nullptr;
  *pitch = locked.Pitch;
  return static_cast<uint8_t*>(locked.pBits);
}
void G_D3D_UnlockMovieYuvSurface(void* surface) { static_cast<IDirect3DSurface9*>(surface)->UnlockRect(); }
void G_D3D_ReleaseMovieYuvSurface(void* surface) { static_cast<IDirect3DSurface9*>(surface)->Release(); }

// ---------------------------------------------------------------- reading

// Feeds the next bytes of the file to the sync state; the count read (0 at
// the end of the file or on a failed read).
uint32_t FeedSync(TheoraMovieState* s) {
  char* buffer = ogg_sync_buffer(&s->sync, kReadSize);
  if (buffer == nullptr) return 0;
  const uint32_t got = s->stream.Read(buffer, 1, kReadSize, s->streamId);
  ogg_sync_wrote(&s->sync, static_cast<long>(got));
  return got;
}

void ResetOgg(TheoraMovieState* s) {
  ogg_sync_reset(&s->sync);
  ogg_stream_reset(&s->oggStream);
}

// The next packet of the video stream (pages of other streams are passed
// over); false when the file ends first.
bool NextVideoPacket(TheoraMovieState* s) {
  for (;;) {
    const int got = ogg_stream_packetout(&s->oggStream, &s->packet);
    if (got > 0) return true;
    if (got < 0) continue;  // a hole: the packets after it follow
    const int page = ogg_sync_pageout(&s->sync, &s->page);
    if (page > 0) {
      ogg_stream_pagein(&s->oggStream, &s->page);
    } else if (page == 0 && FeedSync(s) == 0) {
      return false;
    }
  }
}

// ---------------------------------------------------------------- decoding (thread)

// Reads count frames on from the decoded frame; only packets from the last
// key frame among them on reach the decoder. 1 when the last packet was a
// key frame, 0 when not, -1 when the file ran out first.
int TheoraDecodeFrames(TheoraMovieState* s, int32_t count) {
  const int32_t first = s->decodedFrame + 1;
  int32_t lastKey = -1;
  for (int64_t f = static_cast<int64_t>(first) + count - 1; f >= first && f >= 0; --f) {
    if (f < s->totalFrames && s->keyFrames[f]) {
      lastKey = static_cast<int32_t>(f);
      break;
    }
  }
  int lastWasKey = 0;
  for (int32_t done = 0; done < count;) {
    if (!NextVideoPacket(s)) return -1;
    const int key = theora_packet_iskeyframe(&s->packet);
    if (key < 0) continue;  // a header
    const int32_t frame = s->decodedFrame + 1;
    // The decoder holds a picture of the frame only when it took the packet:
    // a damaged packet gives none, and an empty one (the frame before again)
    // none before a first picture.
    if ((lastKey < 0 || frame >= lastKey) && theora_decode_packetin(&s->decoder, &s->packet) >= 0 &&
        (s->packet.bytes > 0 || s->pictureFrame >= 0)) {
      s->pictureFrame = frame;
    }
    s->decodedFrame = frame;
    lastWasKey = key;
    ++done;
  }
  return lastWasKey;
}

// Decodes from the file's first frame so that the decoder holds `target`.
int DecodeFromStart(TheoraMovieState* s, int32_t target) {
  ResetOgg(s);
  s->stream.Seek(s->streamId, static_cast<int32_t>(s->pages[0].offset), SeekFromStart);
  s->decodedFrame = -1;
  return TheoraDecodeFrames(s, target + 1);
}

bool Resize(uint8_t** plane, int32_t oldBytes, int32_t newBytes) {
  if (*plane != nullptr && oldBytes == newBytes) return true;
  TrackedFree(*plane);
  *plane = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(newBytes), __FILE__, __LINE__));
  return *plane != nullptr;
}

void CopyPlane(uint8_t* dest, const unsigned char* source, int32_t stride, int32_t width, int32_t height) {
  for (int32_t row = 0; row < height; ++row)
    std::memcpy(dest + static_cast<intptr_t>(row) * width, source + static_cast<intptr_t>(row) * stride,
                static_cast<size_t>(width));
}

// The decoder's picture into the planes of a free slot (reallocated when
// their sizes changed). False when the decoder holds no picture of the frame
// it has read up to (its buffers are then not to be read), or no memory.
bool StorePicture(TheoraMovieState* s, TheoraFrameSlot* slot) {
  yuv_buffer yuv;
  if (s->pictureFrame != s->decodedFrame || theora_decode_YUVout(&s->decoder, &yuv) != 0 || yuv.y == nullptr ||
      yuv.u == nullptr || yuv.v == nullptr || yuv.y_width <= 0 || yuv.y_height <= 0 || yuv.uv_width <= 0 ||
      yuv.uv_height <= 0) {
    return false;
  }
  const int32_t lumaBytes = slot->lumaWidth * slot->lumaHeight;
  const int32_t chromaBytes = slot->chromaWidth * slot->chromaHeight;
  if (!Resize(&slot->luma, lumaBytes, yuv.y_width * yuv.y_height) ||
      !Resize(&slot->cb, chromaBytes, yuv.uv_width * yuv.uv_height) ||
      !Resize(&slot->cr, chromaBytes, yuv.uv_width * yuv.uv_height)) {
    TrackedFree(slot->luma);
    TrackedFree(slot->cb);
    TrackedFree(slot->cr);
    slot->luma = slot->cb = slot->cr = nullptr;
    slot->lumaWidth = slot->lumaHeight = slot->chromaWidth = slot->chromaHeight = 0;
    return false;
  }
  slot->lumaWidth = yuv.y_width;
  slot->lumaHeight = yuv.y_height;
  slot->lumaStride = yuv.y_width;
  slot->chromaWidth = yuv.uv_width;
  slot->chromaHeight = yuv.uv_height;
  slot->chromaStride = yuv.uv_width;
  CopyPlane(slot->luma, yuv.y, yuv.y_stride, yuv.y_width, yuv.y_height);
  CopyPlane(slot->cb, yuv.u, yuv.uv_stride, yuv.uv_width, yuv.uv_height);
  CopyPlane(slot->cr, yuv.v, yuv.uv_stride, yuv.uv_width, yuv.uv_height);
  return true;
}

TheoraFrameSlot* SlotOfFrame(TheoraMovieState* s, int32_t frame) {
  for (int32_t i = 0; i < s->ringSize; ++i) {
    if (s->ring[i].valid && s->ring[i].frame == frame) return &s->ring[i];
  }
  return nullptr;
}

void InvalidateRing(TheoraMovieState* s) {
  EnterCriticalSection(&s->ringLock);
  for (int32_t i = 0; i < s->ringSize; ++i) s->ring[i].valid = 0;
  LeaveCriticalSection(&s->ringLock);
}

// Positions the file before the seek target and decodes up to it. False
// when the target lies past the last frame: the thread then ends.
bool SeekToTarget(TheoraMovieState* s) {
  const int32_t target = s->seekTarget.load();
  int32_t entry = -1;
  for (int32_t i = 0; i < s->pageCount; ++i) {
    if (static_cast<int64_t>(s->pages[i].firstFrame) + s->pages[i].frames > target) {
      entry = i;
      break;
    }
  }
  if (entry < 0) return false;
  // Back to a page with a key frame, and one page more, so that the key
  // frame's packet is read from its start.
  if (entry > 0) --entry;
  while (entry > 0 && !s->pages[entry].keyFrame) --entry;
  if (entry > 0) --entry;
  ResetOgg(s);
  s->stream.Seek(s->streamId, static_cast<int32_t>(s->pages[entry].offset), SeekFromStart);
  int32_t first = static_cast<int32_t>(s->pages[entry].firstFrame);
  bool ran = false;
  if (entry > 0) {
    // The first packet of a page that continues one from the page before is
    // a tail, which the stream drops.
    int page;
    while ((page = ogg_sync_pageout(&s->sync, &s->page)) <= 0) {
      if (page == 0 && FeedSync(s) == 0) {
        ran = true;
        break;
      }
    }
    if (!ran) {
      if (ogg_page_continued(&s->page)) ++first;
      ogg_stream_pagein(&s->oggStream, &s->page);
    }
  }
  s->decodedFrame = first - 1;
  if (!ran && target > s->decodedFrame && TheoraDecodeFrames(s, target - s->decodedFrame) < 0) ran = true;
  InvalidateRing(s);
  s->seekRequest.store(0);
  // A stream that ran out keeps the frame it reached and reports the end.
  s->endOfStream.store(ran ? 1 : 0);
  return true;
}

// How far frame lies ahead of the current frame, counting on from the last
// frame to the first: the window of frames the ring holds is the ring size
// frames from the current one, and may wrap past the end.
int64_t Ahead(const TheoraMovieState* s, int32_t frame, int32_t current) {
  const int64_t d = (static_cast<int64_t>(frame) - current) % s->totalFrames;
  return d < 0 ? d + s->totalFrames : d;
}

// Frees the slots that fell out of the window.
void DropStaleSlots(TheoraMovieState* s, int32_t current) {
  EnterCriticalSection(&s->ringLock);
  for (int32_t i = 0; i < s->ringSize; ++i) {
    TheoraFrameSlot& slot = s->ring[i];
    if (slot.valid && Ahead(s, slot.frame, current) >= s->ringSize) slot.valid = 0;
  }
  LeaveCriticalSection(&s->ringLock);
}

// A slot neither valid nor being read, or null.
TheoraFrameSlot* FreeSlot(TheoraMovieState* s) {
  TheoraFrameSlot* free = nullptr;
  EnterCriticalSection(&s->ringLock);
  for (int32_t i = 0; i < s->ringSize && free == nullptr; ++i) {
    if (!s->ring[i].valid && !s->ring[i].reading) free = &s->ring[i];
  }
  LeaveCriticalSection(&s->ringLock);
  return free;
}

// The first frame of the window, from the current frame on, that the ring
// lacks; -1 when it holds them all.
int32_t MissingFrame(TheoraMovieState* s, int32_t current) {
  const int64_t window = s->ringSize < s->totalFrames ? s->ringSize : s->totalFrames;
  for (int64_t k = 0; k < window; ++k) {
    const int32_t frame = static_cast<int32_t>((current + k) % s->totalFrames);
    if (SlotOfFrame(s, frame) == nullptr) return frame;
  }
  return -1;
}

// Brings the decoder on to the frame (past the last frame the player starts
// over from the first) and stores its picture in the slot. False when the
// stream cannot give it.
bool FillSlot(TheoraMovieState* s, TheoraFrameSlot* slot, int32_t frame) {
  if (frame != s->decodedFrame) {
    const int64_t count = Ahead(s, frame, s->decodedFrame);
    const int64_t reach = s->decodedFrame + count;
    const int result = reach >= s->totalFrames ? DecodeFromStart(s, static_cast<int32_t>(reach - s->totalFrames))
                                               : TheoraDecodeFrames(s, static_cast<int32_t>(count));
    if (result < 0) return false;
  }
  if (!StorePicture(s, slot)) return false;
  EnterCriticalSection(&s->ringLock);
  slot->frame = s->decodedFrame;
  slot->valid = 1;
  LeaveCriticalSection(&s->ringLock);
  SetEvent(s->slotFilled);
  return true;
}

DWORD TheoraDecodeThread(void* parameter) {
  auto* s = static_cast<TheoraMovieState*>(parameter);
  while (!s->exitRequest.load()) {
    if (s->pauseRequest.load()) {
      s->threadState.store(TheoraThreadPaused);
      Sleep(1);
      continue;
    }
    if (s->seekRequest.load()) {
      s->threadState.store(TheoraThreadSeeking);
      if (!SeekToTarget(s)) break;
      Sleep(0);
      continue;
    }
    const int32_t current = s->currentFrame.load();
    if (!s->endOfStream.load()) DropStaleSlots(s, current);
    TheoraFrameSlot* slot = FreeSlot(s);
    const int32_t frame = slot != nullptr ? MissingFrame(s, current) : -1;
    if (frame < 0) {
      // A full ring waits a millisecond rather than spinning.
      s->threadState.store(TheoraThreadIdle);
      Sleep(1);
      continue;
    }
    s->threadState.store(TheoraThreadDecoding);
    if (!FillSlot(s, slot, frame)) {
      s->endOfStream.store(1);
      Sleep(1);
      continue;
    }
    Sleep(0);
  }
  s->threadState.store(TheoraThreadEnded);
  return 0;
}

// ---------------------------------------------------------------- opening

bool GrowPages(TheoraMovieState* s) {
  if (s->pageCount < s->pageCapacity) return true;
  void* grown = TrackedRealloc(s->pages, sizeof(TheoraPageEntry) * (s->pageCapacity + kGrowStep), __FILE__,
                               __LINE__);
  if (grown == nullptr) return false;
  s->pages = static_cast<TheoraPageEntry*>(grown);
  s->pageCapacity += kGrowStep;
  return true;
}

bool GrowKeyFrames(TheoraMovieState* s) {
  if (s->totalFrames < s->keyFrameCapacity) return true;
  if (s->keyFrameCapacity > INT32_MAX - kGrowStep) return false;
  void* grown = TrackedRealloc(s->keyFrames, static_cast<size_t>(s->keyFrameCapacity) + kGrowStep, __FILE__,
                               __LINE__);
  if (grown == nullptr) return false;
  s->keyFrames = static_cast<uint8_t*>(grown);
  s->keyFrameCapacity += kGrowStep;
  return true;
}

// Finds the Theora stream among the streams that begin the file and decodes
// its three headers. 0, or -1 (logged when the file ran out).
int ReadHeaders(TheoraMovieState* s) {
  bool found = false;
  int32_t headers = 0;
  while (headers < 3) {
    if (found) {
      const int got = ogg_stream_packetout(&s->oggStream, &s->packet);
      if (got < 0) return -1;
      if (got > 0) {
        if (theora_decode_header(&s->info, &s->comment, &s->packet) != 0) return -1;
        ++headers;
        continue;
      }
    }
    const int page = ogg_sync_pageout(&s->sync, &s->page);
    if (page == 0) {
      if (FeedSync(s) == 0) return WriteLogMessage("End of file while searching for codec headers.");
      continue;
    }
    if (page < 0) continue;
    if (ogg_page_bos(&s->page)) {
      if (found) continue;
      ogg_stream_init(&s->oggStream, ogg_page_serialno(&s->page));
      s->oggStreamReady = 1;
      ogg_stream_pagein(&s->oggStream, &s->page);
      if (ogg_stream_packetout(&s->oggStream, &s->packet) > 0 &&
          theora_decode_header(&s->info, &s->comment, &s->packet) == 0) {
        found = true;
        headers = 1;
        s->videoSerial = ogg_page_serialno(&s->page);
      } else {
        ogg_stream_clear(&s->oggStream);
        s->oggStreamReady = 0;
        // A refused packet may leave something behind in the records.
        theora_comment_clear(&s->comment);
        theora_info_clear(&s->info);
        theora_info_init(&s->info);
        theora_comment_init(&s->comment);
      }
    } else if (found) {
      ogg_stream_pagein(&s->oggStream, &s->page);
    }
  }
  return 0;
}

// Reads the whole file once: the page index, the key-frame table and the
// number of frames. 0, or -1 (logged) when memory runs out.
int ScanPages(TheoraMovieState* s) {
  int64_t offset = 0;  // where the next page the sync state finds begins
  bool newPage = false;
  uint32_t newPageOffset = 0;
  for (;;) {
    const long n = ogg_sync_pageseek(&s->sync, &s->page);
    if (n == 0) {
      if (FeedSync(s) == 0) break;
      continue;
    }
    if (n < 0) {
      offset -= n;
      continue;
    }
    const int64_t pageOffset = offset;
    offset += n;
    if (ogg_page_serialno(&s->page) != s->videoSerial || ogg_stream_pagein(&s->oggStream, &s->page) != 0) continue;
    newPage = true;
    newPageOffset = static_cast<uint32_t>(pageOffset);
    int got;
    while ((got = ogg_stream_packetout(&s->oggStream, &s->packet)) != 0) {
      if (got < 0) continue;
      const int key = theora_packet_iskeyframe(&s->packet);
      if (key < 0) continue;
      if (s->totalFrames >= INT32_MAX - 1) break;
      if (newPage) {
        if (!GrowPages(s)) return WriteLogMessage("Theora ページ情報格納用メモリの確保に失敗しました\n");
        s->pages[s->pageCount++] = {newPageOffset, static_cast<uint32_t>(s->totalFrames), 0, 0};
        newPage = false;
      }
      if (!GrowKeyFrames(s)) return WriteLogMessage("Theora キーフレーム情報格納用メモリの確保に失敗しました\n");
      s->keyFrames[s->totalFrames] = key ? 1 : 0;
      TheoraPageEntry& entry = s->pages[s->pageCount - 1];
      if (key) entry.keyFrame = 1;
      ++entry.frames;
      ++s->totalFrames;
    }
  }
  if (s->pageCount > 0) s->pages[0].offset = 0;
  return 0;
}

TheoraMovieState* NewState() {
  void* memory = TrackedCalloc(sizeof(TheoraMovieState), __FILE__, __LINE__);
  if (memory == nullptr) return nullptr;
  auto* s = new (memory) TheoraMovieState();
  ogg_sync_init(&s->sync);
  theora_info_init(&s->info);
  theora_comment_init(&s->comment);
  InitializeCriticalSection(&s->ringLock);
  s->currentFrame.store(-1);
  s->pictureFrame = -1;
  return s;
}

// Everything the state holds, in any stage of opening.
void ReleaseState(TheoraMovieState* s) {
  if (s->thread != nullptr) {
    s->exitRequest.store(1);
    while (s->threadState.load() != TheoraThreadEnded) Sleep(1);
    WaitForSingleObject(s->thread, INFINITE);
    CloseHandle(s->thread);
  }
  if (s->slotFilled != nullptr) CloseHandle(s->slotFilled);
  if (s->ring != nullptr) {
    for (int32_t i = 0; i < s->ringSize; ++i) {
      TrackedFree(s->ring[i].luma);
      TrackedFree(s->ring[i].cb);
      TrackedFree(s->ring[i].cr);
    }
    TrackedFree(s->ring);
  }
  if (s->yuvSurface != nullptr) G_D3D_ReleaseMovieYuvSurface(s->yuvSurface);
  TrackedFree(s->pages);
  TrackedFree(s->keyFrames);
  if (s->rgbImage.pixels != nullptr) ReleaseGraphImage(&s->rgbImage);
  if (s->decoderReady) theora_clear(&s->decoder);
  if (s->oggStreamReady) ogg_stream_clear(&s->oggStream);
  ogg_sync_clear(&s->sync);
  theora_comment_clear(&s->comment);
  theora_info_clear(&s->info);
  DeleteCriticalSection(&s->ringLock);
  s->~TheoraMovieState();
  TrackedFree(s);
}

TheoraMovieState* FailOpen(TheoraMovieState* s, const char* message) {
  if (message != nullptr) WriteLogMessage(message);
  ReleaseState(s);
  return nullptr;
}

// The packed YUV surface of the current slot, re-creating the surface when
// its lock fails (up to three times).
void WriteYuvSurface(TheoraMovieState* s, const TheoraFrameSlot& slot) {
  const int32_t w = static_cast<int32_t>(s->info.frame_width), h = static_cast<int32_t>(s->info.frame_height);
  for (int32_t attempt = 0; attempt <= 3 && s->yuvSurface != nullptr; ++attempt) {
    int32_t pitch = 0;
    uint8_t* pixels = G_D3D_LockMovieYuvSurface(s->yuvSurface, &pitch);
    if (pixels != nullptr) {
      PackTheoraFrameYuv(slot, static_cast<int32_t>(s->info.offset_x), static_cast<int32_t>(s->info.offset_y), w, h,
                         s->yuvFormat, pixels, pitch);
      G_D3D_UnlockMovieYuvSurface(s->yuvSurface);
      return;
    }
    G_D3D_ReleaseMovieYuvSurface(s->yuvSurface);
    s->yuvSurface = attempt < 3 ? G_D3D_CreateMovieYuvSurface(w, h, &s->yuvFormat) : nullptr;
  }
}

// The picture of a slot into the RGB image; the rectangle is cut to the
// planes the slot holds.
void WriteRgbImage(TheoraMovieState* s, const TheoraFrameSlot& slot) {
  const int32_t shiftX = slot.chromaWidth * 2 <= slot.lumaWidth ? 1 : 0;
  const int32_t shiftY = slot.chromaHeight * 2 <= slot.lumaHeight ? 1 : 0;
  const int32_t x = static_cast<int32_t>(s->info.offset_x), y = static_cast<int32_t>(s->info.offset_y);
  int32_t width = s->rgbImage.width, height = s->rgbImage.height;
  if (x >= slot.lumaWidth || y >= slot.lumaHeight) return;
  if (width > slot.lumaWidth - x) width = slot.lumaWidth - x;
  if (height > slot.lumaHeight - y) height = slot.lumaHeight - y;
  if (((x + width - 1) >> shiftX) >= slot.chromaWidth || ((y + height - 1) >> shiftY) >= slot.chromaHeight) return;
  const YuvPlanes planes = {slot.luma, slot.cb, slot.cr, slot.lumaStride, slot.chromaStride, shiftX, shiftY};
  ConvertYuvToXrgb(planes, x, y, width, height, s->rgbImage.pixels, s->rgbImage.pitch);
}

}  // namespace

TheoraMovieState* TheoraOpen(const StreamInterface* stream, uintptr_t streamId, int32_t ringSize) {
  char magic[4] = {};
  if (stream->Read(magic, 1, 4, streamId) != 4 || std::memcmp(magic, "OggS", 4) != 0) return nullptr;
  stream->Seek(streamId, 0, SeekFromStart);

  TheoraMovieState* s = NewState();
  if (s == nullptr) {
    WriteLogMessage("Theora ムービーデコード処理用のメモリ確保に失敗しました\n");
    return nullptr;
  }
  s->stream = *stream;
  s->streamId = streamId;
  s->ringSize = ringSize < 1 ? 1 : ringSize;
  if (ReadHeaders(s) != 0) return FailOpen(s, nullptr);
  if (s->info.width == 0 || s->info.height == 0 || s->info.width > kMaxFrameSide || s->info.height > kMaxFrameSide ||
      s->info.frame_width == 0 || s->info.frame_height == 0 || s->info.fps_numerator == 0 ||
      s->info.fps_denominator == 0) {
    return FailOpen(s, nullptr);
  }

  s->slotFilled = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (s->slotFilled == nullptr) return FailOpen(s, nullptr);
  s->pauseRequest.store(1);
  s->thread = CreateThread(nullptr, 0, TheoraDecodeThread, s, 0, &s->threadId);
  if (s->thread == nullptr) return FailOpen(s, "Theora ムービーデコード用スレッドの作成に失敗しました\n");
  if (theora_decode_init(&s->decoder, &s->info) != 0) return FailOpen(s, nullptr);
  s->decoderReady = 1;
  ResetOgg(s);
  s->stream.Seek(s->streamId, 0, SeekFromStart);

  if (ScanPages(s) != 0) return FailOpen(s, nullptr);
  // A stream without a single frame has nothing to show.
  if (s->totalFrames == 0) return FailOpen(s, nullptr);

  const int32_t width = static_cast<int32_t>(s->info.frame_width);
  const int32_t height = static_cast<int32_t>(s->info.frame_height);
  if (HardwareActive) s->yuvSurface = G_D3D_CreateMovieYuvSurface(width, height, &s->yuvFormat);
  if (CreateGraphImage(width, height, &s->rgbImage) != 0) {
    s->rgbImage = GraphImage{};
    return FailOpen(s, "Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました\n");
  }
  s->ring = static_cast<TheoraFrameSlot*>(
      TrackedCalloc(sizeof(TheoraFrameSlot) * static_cast<size_t>(s->ringSize), __FILE__, __LINE__));
  if (s->ring == nullptr) return FailOpen(s, "Theora ムービーデコードフレームストック用のメモリ確保に失敗しました\n");

  TheoraSeekFrame(s, 0);
  ConvertTheoraFrame(s, 1, 1);
  return s;
}

void TheoraClose(TheoraMovieState* state) {
  if (state != nullptr) ReleaseState(state);
}

void TheoraSeekFrame(TheoraMovieState* s, int32_t frame) {
  if (frame == s->currentFrame.load()) return;
  s->rgbUpToDate = 0;
  s->yuvUpToDate = 0;
  s->pauseRequest.store(1);
  for (;;) {
    const int32_t state = s->threadState.load();
    if (state == TheoraThreadPaused || state == TheoraThreadEnded) break;
    Sleep(0);
  }
  // Past the last frame is the last frame.
  if (frame > s->totalFrames - 1) frame = static_cast<int32_t>(s->totalFrames - 1);
  if (frame < 0) frame = 0;
  s->currentFrame.store(frame);
  s->endOfStream.store(0);
  s->seekTarget.store(frame);
  s->seekRequest.store(1);
  s->pauseRequest.store(0);
}

void TheoraAdvance(TheoraMovieState* s, int32_t frames) {
  if (frames < 1 || s->totalFrames < 1) return;
  const int64_t next = (static_cast<int64_t>(s->currentFrame.load()) + frames) % s->totalFrames;
  s->currentFrame.store(static_cast<int32_t>(next));
  s->rgbUpToDate = 0;
  s->yuvUpToDate = 0;
}

int ConvertTheoraFrame(TheoraMovieState* s, int32_t toRgb, int32_t toSurface) {
  const bool rgb = toRgb && !s->rgbUpToDate;
  const bool surface = toSurface && s->yuvSurface != nullptr && !s->yuvUpToDate;
  if (!rgb && !surface) return 0;
  const int32_t current = s->currentFrame.load();
  int32_t yields = 0;
  for (;;) {
    // The slot is marked while it is read, so that the thread leaves its
    // planes alone without the lock being held for the conversion.
    EnterCriticalSection(&s->ringLock);
    TheoraFrameSlot* slot = SlotOfFrame(s, current);
    if (slot != nullptr) slot->reading = 1;
    LeaveCriticalSection(&s->ringLock);
    if (slot != nullptr) {
      if (surface) {
        WriteYuvSurface(s, *slot);
        s->yuvUpToDate = 1;
      }
      if (rgb) {
        WriteRgbImage(s, *slot);
        s->rgbUpToDate = 1;
      }
      EnterCriticalSection(&s->ringLock);
      slot->reading = 0;
      LeaveCriticalSection(&s->ringLock);
      return 1;
    }
    const int32_t state = s->threadState.load();
    if (state == TheoraThreadEnded) return 0;
    if (state == TheoraThreadSeeking) {
      Sleep(1);
      continue;
    }
    if (s->endOfStream.load()) return 0;
    // A few yields first (on one core they let the thread run on to the
    // frame), then asleep until the thread fills a slot (a millisecond at
    // most, for the thread's other news): a caller that kept spinning would
    // hold its core, where the thread could otherwise decode while its own
    // core is busy.
    if (++yields <= 32) {
      Sleep(0);
    } else {
      WaitForSingleObject(s->slotFilled, 1);
    }
  }
}

int GetTheoraInfo(const TheoraMovieState* s, TheoraMovieInfo* info) {
  info->framesPerSecond = static_cast<double>(s->info.fps_numerator) / s->info.fps_denominator;
  info->totalFrames = s->totalFrames;
  info->width = static_cast<int32_t>(s->info.frame_width);
  info->height = static_cast<int32_t>(s->info.frame_height);
  return 0;
}

int32_t GetTheoraCurrentFrame(const TheoraMovieState* s) { return s->currentFrame.load(); }
GraphImage* GetTheoraRgbImage(TheoraMovieState* s) { return &s->rgbImage; }
void* GetTheoraYuvSurface(const TheoraMovieState* s) { return s->yuvSurface; }

int TheoraFrameLost(TheoraMovieState* s) {
  if (s->threadState.load() == TheoraThreadEnded) return 1;
  if (!s->endOfStream.load()) return 0;
  EnterCriticalSection(&s->ringLock);
  const bool held = SlotOfFrame(s, s->currentFrame.load()) != nullptr;
  LeaveCriticalSection(&s->ringLock);
  return held ? 0 : 1;
}

bool PackTheoraFrameYuv(const TheoraFrameSlot& slot, int32_t x, int32_t y, int32_t width, int32_t height,
                        uint32_t fourcc, uint8_t* dest, int32_t pitch) {
  // Only 4:2:0 pictures, on even positions, inside the planes.
  if (slot.chromaWidth * 2 != slot.lumaWidth || slot.chromaHeight * 2 != slot.lumaHeight) return false;
  if ((x | y) & 1 || x < 0 || y < 0 || width < 2 || height < 2 || x + width > slot.lumaWidth ||
      y + height > slot.lumaHeight) {
    return false;
  }
  const auto luma = [&](int32_t row, int32_t column) {
    return slot.luma[static_cast<intptr_t>(y + row) * slot.lumaStride + x + column];
  };
  const auto chroma = [&](const uint8_t* plane, int32_t row, int32_t column) {
    return plane[static_cast<intptr_t>((y >> 1) + row) * slot.chromaStride + (x >> 1) + column];
  };
  if (fourcc == FourCCYV12) {
    for (int32_t row = 0; row < height; ++row) {
      for (int32_t column = 0; column < width; ++column) dest[static_cast<intptr_t>(row) * pitch + column] = luma(row, column);
    }
    const int32_t half = pitch / 2;
    uint8_t* crPlane = dest + static_cast<intptr_t>(pitch) * height;
    uint8_t* cbPlane = crPlane + static_cast<intptr_t>(half) * (height / 2);
    for (int32_t row = 0; row < height / 2; ++row) {
      for (int32_t column = 0; column < width / 2; ++column) {
        crPlane[static_cast<intptr_t>(row) * half + column] = chroma(slot.cr, row, column);
        cbPlane[static_cast<intptr_t>(row) * half + column] = chroma(slot.cb, row, column);
      }
    }
    return true;
  }
  if (fourcc != FourCCYUY2 && fourcc != FourCCUYVY) return false;
  const bool yuy2 = fourcc == FourCCYUY2;
  for (int32_t row = 0; row < height; ++row) {
    uint8_t* out = dest + static_cast<intptr_t>(row) * pitch;
    for (int32_t column = 0; column + 1 < width; column += 2) {
      const uint8_t cb = chroma(slot.cb, row / 2, column / 2), cr = chroma(slot.cr, row / 2, column / 2);
      const uint8_t y0 = luma(row, column), y1 = luma(row, column + 1);
      if (yuy2) {
        out[0] = y0, out[1] = cb, out[2] = y1, out[3] = cr;
      } else {
        out[0] = cb, out[1] = y0, out[2] = cr, out[3] = y1;
      }
      out += 4;
    }
  }
  return true;
}
