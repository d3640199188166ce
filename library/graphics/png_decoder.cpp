// PNG pictures through libpng, read over the decoder stream.
#include <png.h>

#include <csetjmp>
#include <memory>
#include <new>
#include <vector>

#include "library/core/memory.h"
#include "library/graphics/color_convert.h"
#include "library/graphics/image_decoders.h"

namespace {

constexpr size_t kPngSignatureBytes = 8;

// The stream and the position of its end.
struct PngStreamContext {
  DecoderStream* stream;
  int64_t end;
};

void PngReadCallback(png_structp png, png_bytep buffer, png_size_t length) {
  auto* context = static_cast<PngStreamContext*>(png_get_io_ptr(png));
  DecoderStream* stream = context->stream;
  int64_t left = context->end - stream->ops.Tell(stream->handle);
  if (left < static_cast<int64_t>(length) ||
      stream->ops.Read(buffer, 1, static_cast<uint32_t>(length), stream->handle) != length) {
    png_error(png, "Read Error");
  }
}

// The stream after the signature, which the decoder has read itself.
void SetPngStreamReader(png_structp png, PngStreamContext* context, DecoderStream* stream) {
  context->stream = stream;
  int64_t remaining = DecoderStreamRemaining(stream);
  context->end = remaining < 0 ? 0 : stream->ops.Tell(stream->handle) + remaining;
  png_set_read_fn(png, context, PngReadCallback);
  png_set_sig_bytes(png, kPngSignatureBytes);
}

// libpng's working memory for one picture (its structures, zlib's state and
// window, its row buffers), taken from a block that each thread keeps from
// picture to picture and freed all at once when the picture is done: once
// the block is as large as a picture needs, decoding touches no fresh memory.
class PngScratch {
 public:
  void* Take(size_t bytes) {
    bytes = (bytes + kAlign - 1) / kAlign * kAlign;
    if (bytes <= size_ - used_) {
      void* p = block_.get() + used_;
      used_ += bytes;
      return p;
    }
    // Beyond the block: a block of its own, until the next picture.
    std::unique_ptr<uint8_t[]> extra(new (std::nothrow) uint8_t[bytes]);
    if (extra == nullptr) return nullptr;
    overflow_ += bytes;
    extra_.push_back(std::move(extra));
    return extra_.back().get();
  }
  // After a picture: the block grows to what the picture took.
  void Reset() {
    if (overflow_ > 0) {
      const size_t size = used_ + overflow_;
      block_.reset(new (std::nothrow) uint8_t[size]);
      size_ = block_ != nullptr ? size : 0;
      extra_.clear();
    }
    used_ = overflow_ = 0;
  }

 private:
  static constexpr size_t kAlign = 16;
  std::unique_ptr<uint8_t[]> block_;
  size_t size_ = 0, used_ = 0, overflow_ = 0;
  std::vector<std::unique_ptr<uint8_t[]>> extra_;
};

PngScratch& Scratch() {
  thread_local PngScratch scratch;
  return scratch;
}

png_voidp PngScratchAlloc(png_structp, png_alloc_size_t bytes) {
  // (Nothing may be thrown through libpng: no memory is a null block.)
  try {
    return Scratch().Take(bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void PngScratchFree(png_structp, png_voidp) {}

// The scratch is emptied whichever way the decoding ends.
struct ScratchReset {
  ~ScratchReset() { Scratch().Reset(); }
};

// Decoders do not log: libpng's errors jump back into the decoder without a
// word, and its warnings go nowhere.
[[noreturn]] void PngSilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngSilentWarning(png_structp, png_const_charp) {}

// The image's format from the picture's colour type and its channels after
// the transformations.
void SetPngImageFormat(png_structp png, png_infop info, int colorType, int channels, ColorFormat* format) {
  if (colorType == PNG_COLOR_TYPE_PALETTE && channels == 1) {
    SetColorFormatPal8(format);
    png_colorp palette = nullptr;
    int entries = 0;
    png_get_PLTE(png, info, &palette, &entries);
    for (int i = 0; i < entries && i < 256; ++i) {
      format->palette[i][0] = palette[i].blue;
      format->palette[i][1] = palette[i].green;
      format->palette[i][2] = palette[i].red;
    }
  } else if ((colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) && channels == 1) {
    SetColorFormatGrey8(format);
  } else if (channels == 2) {
    // Grey and alpha, from a grey picture with an alpha channel or with a
    // transparent grey level: the second byte is the pixel's alpha.
    SetColorFormatFromMasks(format, 16, 0xFF, 0xFF, 0xFF, 0xFF00);
  } else if (channels == 4) {
    SetColorFormatARGB32(format);
  } else {
    SetColorFormatRGB24(format);
  }
}

// ReadPngImage's rows: the image's own block, rows back to back.
class WholeImageRows final : public PngRowSink {
 public:
  ~WholeImageRows() { TrackedFree(layout_.pixels); }

  bool Begin(const GraphImage& layout, bool) override {
    layout_ = layout;
    layout_.pixels = static_cast<uint8_t*>(
        TrackedAlloc(static_cast<size_t>(layout.pitch) * static_cast<size_t>(layout.height), __FILE__, __LINE__));
    return layout_.pixels != nullptr;
  }
  uint8_t* Row(uint32_t y) override { return layout_.pixels + static_cast<size_t>(layout_.pitch) * y; }
  bool RowDone(uint32_t) override { return true; }
  // The decoded picture, its pixels now the image's.
  void MoveTo(GraphImage* image) {
    *image = layout_;
    layout_.pixels = nullptr;
  }

 private:
  GraphImage layout_{};
};

}  // namespace

int DecodePng(DecoderStream* stream, PngRowSink* sink) {
  // Data without the PNG signature is refused before libpng is made.
  png_byte signature[kPngSignatureBytes];
  if (stream->ops.Read(signature, 1, kPngSignatureBytes, stream->handle) != kPngSignatureBytes ||
      png_sig_cmp(signature, 0, kPngSignatureBytes) != 0)
    return -1;
  const ScratchReset resetScratch;
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, PngSilentError, PngSilentWarning,
                                             nullptr, PngScratchAlloc, PngScratchFree);
  if (png == nullptr) return -1;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return -1;
  }
  // Every libpng error, the stream's read errors and a refusal of the sink
  // come back here.
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    TrackedFree(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return -1;
  }
  PngStreamContext context{};
  SetPngStreamReader(png, &context, stream);
#if defined(PNG_IGNORE_ADLER32)
  // Every chunk's own checksum is checked; the zlib stream's second checksum
  // over the same data is left out (it cost a tenth of every decode).
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
  if (!DecodedSizeAllowed(width, height)) png_error(png, "Image too large");

  png_set_strip_16(png);
  png_set_packing(png);
  png_set_packswap(png);
  if ((colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 9) || png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_expand(png);
  }
  // Red and blue are exchanged here rather than by libpng's own BGR step,
  // which moves a byte at a time (a quarter of every load of the game's
  // pictures): the same bytes, each row as soon as it is decoded.
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const int channels = png_get_channels(png, info);
  const int outputType = png_get_color_type(png, info);
  const bool swapRedBlue = png_get_bit_depth(png, info) == 8 && (outputType == PNG_COLOR_TYPE_RGB ||
                                                                 outputType == PNG_COLOR_TYPE_RGB_ALPHA);
  const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;

  GraphImage layout{};
  SetPngImageFormat(png, info, colorType, channels, &layout.format);
  layout.width = static_cast<int32_t>(width);
  layout.height = static_cast<int32_t>(height);
  layout.pitch = static_cast<int32_t>(rowBytes);
  if (!sink->Begin(layout, interlaced)) png_error(png, "Refused");

  if (!interlaced) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_bytep row = sink->Row(y);
      png_read_row(png, row, nullptr);
      if (swapRedBlue) SwapRedAndBlue(row, width, channels);
      if (!sink->RowDone(y)) png_error(png, "Refused");
    }
  } else {
    rows = static_cast<png_bytep*>(TrackedAlloc(sizeof(png_bytep) * height, __FILE__, __LINE__));
    if (rows == nullptr) png_error(png, "Out of memory");
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = sink->Row(y);
    png_read_image(png, rows);
    for (png_uint_32 y = 0; y < height; ++y) {
      if (swapRedBlue) SwapRedAndBlue(rows[y], width, channels);
      if (!sink->RowDone(y)) png_error(png, "Refused");
    }
    TrackedFree(rows);
    rows = nullptr;
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return 0;
}

int ReadPngImage(DecoderStream* stream, GraphImage* image) {
  WholeImageRows rows;
  if (DecodePng(stream, &rows) != 0) return -1;
  rows.MoveTo(image);
  return 0;
}
