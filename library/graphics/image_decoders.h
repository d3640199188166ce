// The image decoders: each reads one file format from a stream into an empty
// GraphImage. A decoder returns 0 when it recognised and decoded the data and
// -1 when it refuses; on refusal it has freed whatever it allocated. None of
// them logs (the loader above them does), apart from the two GDI messages of
// the BMP reader.
#pragma once

#include <cstdint>

#include "library/file/file_table.h"
#include "library/graphics/color_format.h"

// What a decoder reads from: the six stream operations and the stream's handle.
struct DecoderStream {
  StreamInterface ops;
  uintptr_t handle;
};

int ReadBmpImage(DecoderStream* stream, GraphImage* image);
int ReadJpegImage(DecoderStream* stream, GraphImage* image);
int ReadPngImage(DecoderStream* stream, GraphImage* image);
int ReadBgraImage(DecoderStream* stream, GraphImage* image);
int ReadTgaImage(DecoderStream* stream, GraphImage* image);
int ReadDdsImage(DecoderStream* stream, GraphImage* image);

// Where the rows of a PNG picture go as they are decoded: ReadPngImage keeps
// them in the image's own block, a graph load converts them into its memory
// image a band of rows at a time.
class PngRowSink {
 public:
  // The picture's size and the layout of its rows, known before any row:
  // layout holds the format, width, height and pitch (the bytes of a row),
  // without pixels. Interlaced pictures ask for every row's place before
  // the first row is done. false refuses the picture.
  virtual bool Begin(const GraphImage& layout, bool interlaced) = 0;
  // Where row y is to be decoded (pitch bytes).
  virtual uint8_t* Row(uint32_t y) = 0;
  // Row y is decoded (rows are done top to bottom); false refuses the picture.
  virtual bool RowDone(uint32_t y) = 0;

 protected:
  ~PngRowSink() = default;
};

// ReadPngImage's decoding into a sink: 0, or -1 when the data is refused.
int DecodePng(DecoderStream* stream, PngRowSink* sink);

// The largest picture a decoder accepts: 8192 x 8192 pixels, in any shape.
constexpr int64_t MaxDecodedPixels = 8192 * 8192;

// Helpers of the decoders.
// The stream's length in bytes from its current position on (the position is
// kept), or -1 when the stream cannot tell.
int64_t DecoderStreamRemaining(DecoderStream* stream);
// Reads exactly size bytes; false on a short read.
bool DecoderStreamReadAll(DecoderStream* stream, void* buffer, uint32_t size);
int DecoderStreamSeek(DecoderStream* stream, int64_t offset, int32_t origin);
// True for 1 to MaxDecodedPixels pixels with both sides at least 1.
bool DecodedSizeAllowed(int64_t width, int64_t height);

inline uint32_t ReadLe16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
