// The Theora movie player over an Ogg file in memory: the page index built
// at open, then the decode thread driven by seeks and advances, each frame
// converted to RGB.
//
// Input: a byte of the ring size (1 to 8), four steps (a byte each: high bit
// set, a seek to the frame of the low bits; else an advance by 0 to 4
// frames), then the file.
//
// Besides memory safety: a refused file leaves no memory; an opened movie has
// a picture of a sensible size and no negative frame count; the frame to show
// stays within the movie; a converted RGB image is of the picture's size and
// readable to its last pixel; every frame the ring holds is a whole picture
// the decoder gave (no slot is filled from a decoder that had none), readable
// to its last byte; closing ends the thread (no hang) and leaves no memory.
#include <cstring>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "library/core/memory.h"
#include "library/file/memory_stream.h"
#include "library/movie/theora_player.h"

FUZZ_TARGET_STARTS_LIBRARY()

namespace {

void CheckRing(TheoraMovieState* movie) {
  EnterCriticalSection(&movie->ringLock);
  for (int32_t i = 0; i < movie->ringSize; ++i) {
    const TheoraFrameSlot& slot = movie->ring[i];
    if (!slot.valid) continue;
    FUZZ_CHECK(slot.luma != nullptr && slot.cb != nullptr && slot.cr != nullptr && slot.lumaWidth > 0 &&
                   slot.lumaHeight > 0 && slot.chromaWidth > 0 && slot.chromaHeight > 0,
               "a frame slot held without a picture");
    TouchBytes(slot.luma, static_cast<size_t>(slot.lumaStride) * slot.lumaHeight);
    TouchBytes(slot.cb, static_cast<size_t>(slot.chromaStride) * slot.chromaHeight);
    TouchBytes(slot.cr, static_cast<size_t>(slot.chromaStride) * slot.chromaHeight);
  }
  LeaveCriticalSection(&movie->ringLock);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  FuzzInput in(data, size);
  const int32_t ring = 1 + in.Byte() % 8;
  uint8_t steps[4];
  for (uint8_t& s : steps) s = in.Byte();
  const std::vector<uint8_t> file = in.Rest();

  const int32_t blocks = TrackedBlockCount();
  MemoryStream* stream = OpenMemoryStream(file.data(), static_cast<uint32_t>(file.size()));
  const uintptr_t handle = reinterpret_cast<uintptr_t>(stream);
  TheoraMovieState* movie = TheoraOpen(GetMemoryStreamInterface(), handle, ring);
  if (movie == nullptr) {
    CloseMemoryStream(handle);
    FUZZ_CHECK(TrackedBlockCount() == blocks, "a refused movie left memory behind");
    return 0;
  }
  TheoraMovieInfo info{};
  GetTheoraInfo(movie, &info);
  FUZZ_CHECK(info.width > 0 && info.height > 0 && info.width <= 1048560 && info.height <= 1048560,
             "a picture size no frame has");
  FUZZ_CHECK(info.totalFrames >= 0 && info.framesPerSecond > 0, "a movie of negative frames or no frame rate");
  for (uint8_t step : steps) {
    if (step & 0x80)
      TheoraSeekFrame(movie, step & 0x7F);
    else
      TheoraAdvance(movie, step % 5);
    const int32_t frame = GetTheoraCurrentFrame(movie);
    FUZZ_CHECK(frame >= -1 && (info.totalFrames == 0 || frame < info.totalFrames), "a frame outside the movie");
    const int converted = ConvertTheoraFrame(movie, 1, 0);
    FUZZ_CHECK(converted == 0 || converted == 1, "a conversion result other than 0 or 1");
    if (converted == 1) {
      const GraphImage* rgb = GetTheoraRgbImage(movie);
      FUZZ_CHECK(rgb != nullptr && rgb->width == info.width && rgb->height == info.height,
                 "an RGB image of another size than the picture");
      CheckGraphImage(*rgb);
    }
    TheoraFrameLost(movie);
    CheckRing(movie);
  }
  TheoraClose(movie);
  CloseMemoryStream(handle);
  FUZZ_CHECK(TrackedBlockCount() == blocks, "a closed movie left memory behind");
  return 0;
}
