// Small Ogg Theora clips for the movie tests and benchmarks, made with
// libtheoraenc (and libvorbisenc for a sound track). The pictures are
// deterministic: gradients that drift and a bright square that moves, so
// that every frame differs from its neighbours.
#pragma once

#include <cstdint>
#include <vector>

struct TheoraClipOptions {
  int32_t width = 48;  // picture size; even
  int32_t height = 32;
  int32_t pictureX = 0;  // where the picture lies in the coded frame; even
  int32_t pictureY = 0;
  int32_t frames = 24;
  uint32_t fpsNumerator = 30;
  uint32_t fpsDenominator = 1;
  int32_t keyFrameInterval = 8;  // a key frame at least every that many frames (1 to 64)
  int32_t pageFill = 0;          // > 0: video data pages of about that many bytes, packets cut across pages
  int32_t quality = 40;          // 0 to 63
  int32_t audioRate = 0;         // > 0: a mono Vorbis track of a sine, as long as the video
  uint32_t seed = 1;             // varies the pattern
  int32_t texture = 0;           // > 0: fine luma detail of that amplitude, panning with the frames
};

// The bytes of an Ogg file with one Theora stream (and a Vorbis stream when
// asked). Empty when the encoder refuses the options.
std::vector<uint8_t> MakeTheoraClip(const TheoraClipOptions& options);

// The three 8-bit planes of the coded frame that MakeTheoraClip gives the
// encoder for frame `index` (4:2:0: chroma planes of half width and height).
struct TheoraClipFrame {
  int32_t frameWidth, frameHeight;  // coded size, multiples of 16
  std::vector<uint8_t> y, cb, cr;
};
TheoraClipFrame MakeTheoraClipFrame(const TheoraClipOptions& options, int32_t index);
