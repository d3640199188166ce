// The Theora player: one Ogg Theora file behind a stream, indexed page by
// page when it opens, and a decode thread that decodes the frames ahead of
// the one to show into a ring of frame slots. The caller moves the frame to
// show (advance, seek) and converts it to RGB when it draws.
//
// The caller and the thread share the request and state words (atomic) and
// hand over requests by polling: a pause request is acknowledged with state
// 4, an exit request with state 3. The ring's slots are filled by the thread
// and read by the caller, which take them under the ring lock.
#pragma once

#include <ogg/ogg.h>
#include <theora/theora.h>

#include <atomic>
#include <cstdint>

#include "library/file/file_table.h"
#include "library/graphics/color_format.h"
#include "platform/win32/win32.h"

// Thread states.
constexpr int32_t TheoraThreadIdle = 0;      // ring full, or nothing to do
constexpr int32_t TheoraThreadDecoding = 1;
constexpr int32_t TheoraThreadSeeking = 2;
constexpr int32_t TheoraThreadEnded = 3;     // the thread is gone
constexpr int32_t TheoraThreadPaused = 4;    // a pause request is acknowledged

// One page of the video stream on which at least one frame ends.
struct TheoraPageEntry {
  uint32_t offset;      // file offset of the page
  uint32_t firstFrame;  // the first frame that ends on the page
  uint32_t keyFrame;    // 1 when a key frame ends on the page
  uint32_t frames;      // frames that end on the page
};

// One decoded picture. Planes are reallocated only when their sizes change.
// valid, frame and reading change under the ring lock; the thread writes the
// planes of a slot that is neither valid nor being read, the caller reads
// those of a slot it marked as being read.
struct TheoraFrameSlot {
  int32_t valid;
  int32_t frame;
  int32_t reading;  // 1 while the caller converts from the slot
  uint8_t* luma;
  uint8_t* cb;
  uint8_t* cr;
  int32_t lumaWidth, lumaHeight, lumaStride;
  int32_t chromaWidth, chromaHeight, chromaStride;
};

struct TheoraMovieState {
  std::atomic<int32_t> threadState;
  std::atomic<int32_t> pauseRequest;
  std::atomic<int32_t> exitRequest;
  std::atomic<int32_t> seekRequest;
  std::atomic<int32_t> seekTarget;
  std::atomic<int32_t> endOfStream;  // the file ran out while decoding

  HANDLE thread;
  HANDLE slotFilled;  // auto-reset event, set each time the thread fills a slot
  DWORD threadId;

  StreamInterface stream;
  uintptr_t streamId;

  // libogg and libtheora (the thread's once it runs).
  ogg_sync_state sync;
  ogg_stream_state oggStream;
  ogg_page page;
  ogg_packet packet;
  theora_info info;
  theora_comment comment;
  theora_state decoder;
  int32_t videoSerial;
  int32_t oggStreamReady, decoderReady;

  TheoraPageEntry* pages;  // grown 1000 entries at a time
  int32_t pageCount, pageCapacity;
  uint8_t* keyFrames;      // one byte a frame: 1 key frame; grown 1000 at a time
  int32_t keyFrameCapacity;

  int64_t totalFrames;
  std::atomic<int32_t> currentFrame;  // the frame to show; -1 before the first seek
  int32_t decodedFrame;               // the frame the decoder has read up to (thread)
  int32_t pictureFrame;               // the frame whose picture the decoder holds, -1 none (thread)

  TheoraFrameSlot* ring;
  int32_t ringSize;
  CRITICAL_SECTION ringLock;

  // Direct3D off-screen surface for the frame, and its four-character code.
  void* yuvSurface;
  uint32_t yuvFormat;

  GraphImage rgbImage;  // 32-bit XRGB, picture size
  int32_t rgbUpToDate, yuvUpToDate;
};

struct TheoraMovieInfo {
  double framesPerSecond;
  int64_t totalFrames;
  int32_t width, height;  // the picture
};

// Opens the Theora stream of an Ogg file. The state keeps (not owns) the
// stream: the caller closes it after TheoraClose. Null when the file is no
// Ogg Theora file or cannot be played.
TheoraMovieState* TheoraOpen(const StreamInterface* stream, uintptr_t streamId, int32_t ringSize);
// Ends the thread (waiting for it) and frees everything.
void TheoraClose(TheoraMovieState* state);
// Makes frame (clamped to the movie's frames) the one to show; the thread
// decodes it from the key frame before it.
void TheoraSeekFrame(TheoraMovieState* state, int32_t frame);
// Moves the frame to show on by frames, wrapping at the end.
void TheoraAdvance(TheoraMovieState* state, int32_t frames);
// Brings the RGB image and/or the YUV surface up to the frame to show,
// waiting for the thread to have decoded it. 1 when something was
// converted; 0 when the requested outputs were up to date or the frame
// cannot be had (the stream broke).
int ConvertTheoraFrame(TheoraMovieState* state, int32_t toRgb, int32_t toSurface);
int GetTheoraInfo(const TheoraMovieState* state, TheoraMovieInfo* info);
int32_t GetTheoraCurrentFrame(const TheoraMovieState* state);
GraphImage* GetTheoraRgbImage(TheoraMovieState* state);
void* GetTheoraYuvSurface(const TheoraMovieState* state);
// 1 when the frame to show cannot be had: it is not in the ring and the
// stream cannot give it (the file broke or shrank while playing), or the
// thread has ended.
int TheoraFrameLost(TheoraMovieState* state);

// Packs the picture of a 4:2:0 slot into a locked YUV surface of four-
// character format "YV12", "YUY2" or "UYVY"; false for another format or
// picture. The rectangle is the picture within the slot's planes.
bool PackTheoraFrameYuv(const TheoraFrameSlot& slot, int32_t x, int32_t y, int32_t width, int32_t height,
                        uint32_t fourcc, uint8_t* dest, int32_t pitch);

// The four-character codes of the YUV surface formats.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
constexpr uint32_t FourCCYV12 = MakeFourCC('Y', 'V', '1', '2');
constexpr uint32_t FourCCYUY2 = MakeFourCC('Y', 'U', 'Y', '2');
constexpr uint32_t FourCCUYVY = MakeFourCC('U', 'Y', 'V', 'Y');
