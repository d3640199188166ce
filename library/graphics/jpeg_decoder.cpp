// JPEG pictures through libjpeg, read over the decoder stream.
#include <cstddef>
#include <cstdio>
// libjpeg's header needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>

#include "library/core/memory.h"
#include "library/graphics/image_decoders.h"

namespace {

constexpr size_t kSourceBufferSize = 4096;

// A picture whose data ends before it does is decoded on as if the file
// ended there only while its pixels take at most this much, or this many
// times the bytes of the file: a few hundred bytes never make a picture of
// hundreds of megabytes, nor take seconds to fill.
constexpr size_t kCutPictureBytes = 4u << 20;
constexpr size_t kCutPicturePerFileByte = 64;
// What libjpeg may hold for the whole picture's coefficients (pictures of
// several scans): the same bound for files of every length.
constexpr long kCoefficientBytes = 64l << 20;
constexpr long kCoefficientPerFileByte = 64;

// A source manager over the decoder stream.
struct JpegStreamSource {
  jpeg_source_mgr pub;
  JOCTET* buffer;
  boolean startOfFile;
  DecoderStream* stream;
  int64_t end;     // the stream position of its end
  int64_t length;  // bytes from the start of decoding to the end
};

// The error manager with the jump back into the decoder, and the note that
// the data ran out before the picture did.
struct JpegErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  void (*standardEmit)(j_common_ptr, int);
  bool dataRanOut;
};

// Decoders do not log: libjpeg's messages (warnings, and the reason for a
// refusal) go nowhere.
void JpegSilentOutput(j_common_ptr) {}

void JpegErrorExit(j_common_ptr object) {
  (*object->err->output_message)(object);
  longjmp(reinterpret_cast<JpegErrorManager*>(object->err)->jump, 1);
}

// Warnings pass on as libjpeg gives them; the two that say the data ended
// early (the file did, or the coded data met a marker) are noted.
void JpegEmitMessage(j_common_ptr object, int level) {
  auto* error = reinterpret_cast<JpegErrorManager*>(object->err);
  if (level < 0 && (error->pub.msg_code == JWRN_JPEG_EOF || error->pub.msg_code == JWRN_HIT_MARKER))
    error->dataRanOut = true;
  (*error->standardEmit)(object, level);
}

void JpegInitSource(j_decompress_ptr object) {
  reinterpret_cast<JpegStreamSource*>(object->src)->startOfFile = TRUE;
}

boolean JpegFillInputBuffer(j_decompress_ptr object) {
  auto* source = reinterpret_cast<JpegStreamSource*>(object->src);
  DecoderStream* stream = source->stream;
  int64_t left = source->end - stream->ops.Tell(stream->handle);
  size_t n = left < static_cast<int64_t>(kSourceBufferSize) ? static_cast<size_t>(left < 0 ? 0 : left)
                                                            : kSourceBufferSize;
  if (n != 0) n = stream->ops.Read(source->buffer, 1, static_cast<uint32_t>(n), stream->handle);
  if (n == 0) {
    if (source->startOfFile) ERREXIT(object, JERR_INPUT_EMPTY);
    // A cut-off file ends with an inserted end-of-image marker.
    WARNMS(object, JWRN_JPEG_EOF);
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    n = 2;
  }
  source->pub.next_input_byte = source->buffer;
  source->pub.bytes_in_buffer = n;
  source->startOfFile = FALSE;
  return TRUE;
}

void JpegSkipInputData(j_decompress_ptr object, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = object->src;
  while (count > static_cast<long>(source->bytes_in_buffer)) {
    count -= static_cast<long>(source->bytes_in_buffer);
    JpegFillInputBuffer(object);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<size_t>(count);
}

void JpegTermSource(j_decompress_ptr) {}

void SetJpegStreamSource(j_decompress_ptr object, DecoderStream* stream) {
  if (object->src == nullptr) {
    auto* source = static_cast<JpegStreamSource*>(
        (*object->mem->alloc_small)(reinterpret_cast<j_common_ptr>(object), JPOOL_PERMANENT, sizeof(JpegStreamSource)));
    source->buffer = static_cast<JOCTET*>(
        (*object->mem->alloc_small)(reinterpret_cast<j_common_ptr>(object), JPOOL_PERMANENT, kSourceBufferSize));
    object->src = &source->pub;
  }
  auto* source = reinterpret_cast<JpegStreamSource*>(object->src);
  source->pub.init_source = JpegInitSource;
  source->pub.fill_input_buffer = JpegFillInputBuffer;
  source->pub.skip_input_data = JpegSkipInputData;
  source->pub.resync_to_restart = jpeg_resync_to_restart;
  source->pub.term_source = JpegTermSource;
  source->stream = stream;
  int64_t remaining = DecoderStreamRemaining(stream);
  source->end = remaining < 0 ? 0 : stream->ops.Tell(stream->handle) + remaining;
  source->length = remaining < 0 ? 0 : remaining;
  source->pub.bytes_in_buffer = 0;
  source->pub.next_input_byte = nullptr;
}

// One decoded row into the picture's byte order: grey as it is, colour as
// blue, green, red. Four-component rows are ink (CMYK, inverted when an Adobe
// marker says so) and become colour.
void StoreRow(const JSAMPLE* row, int components, bool adobeInverted, JDIMENSION width, uint8_t* out) {
  if (components == 1) {
    for (JDIMENSION x = 0; x < width; ++x) out[x] = row[x];
    return;
  }
  for (JDIMENSION x = 0; x < width; ++x, out += 3) {
    if (components == 3) {
      out[0] = row[3 * x + 2];
      out[1] = row[3 * x + 1];
      out[2] = row[3 * x];
      continue;
    }
    const JSAMPLE* ink = row + 4 * x;
    uint32_t keep[4];
    for (int i = 0; i < 4; ++i) keep[i] = adobeInverted ? ink[i] : 255u - ink[i];
    out[0] = static_cast<uint8_t>(keep[2] * keep[3] / 255u);
    out[1] = static_cast<uint8_t>(keep[1] * keep[3] / 255u);
    out[2] = static_cast<uint8_t>(keep[0] * keep[3] / 255u);
  }
}

// True while a picture of this many bytes may still be decoded on: its data
// has not run out, or the picture is small beside the file.
bool WorthDecoding(const JpegErrorManager& error, const j_decompress_ptr object, size_t pictureBytes) {
  if (!error.dataRanOut) return true;
  const auto length = static_cast<size_t>(reinterpret_cast<const JpegStreamSource*>(object->src)->length);
  return pictureBytes <= kCutPictureBytes || pictureBytes / kCutPicturePerFileByte <= length;
}

// Makes room for rows up to `rows` in the picture, growing it by doubling
// (rows arrive as the data holds them, so a file that ends early never
// costs the whole picture). False when memory runs out.
bool ReserveRows(uint8_t** pixels, size_t* capacity, size_t rowLength, size_t rows, size_t allRows) {
  if (rows <= *capacity) return true;
  size_t grown = *capacity == 0 ? 64 : *capacity * 2;
  grown = grown < rows ? rows : grown;
  grown = grown > allRows ? allRows : grown;
  void* block = TrackedRealloc(*pixels, rowLength * grown, __FILE__, __LINE__);
  if (block == nullptr) return false;
  *pixels = static_cast<uint8_t*>(block);
  *capacity = grown;
  return true;
}

}  // namespace

int ReadJpegImage(DecoderStream* stream, GraphImage* image) {
  // A JPEG file starts with the start-of-image marker (FF D8); other data is refused
  // before libjpeg is made.
  const int32_t start = stream->ops.Tell(stream->handle);
  uint8_t marker[2] = {};
  if (stream->ops.Read(marker, 1, 2, stream->handle) != 2 || marker[0] != 0xFF || marker[1] != 0xD8) return -1;
  stream->ops.Seek(stream->handle, start, SeekFromStart);
  jpeg_decompress_struct object{};
  JpegErrorManager error{};
  object.err = jpeg_std_error(&error.pub);
  error.pub.error_exit = JpegErrorExit;
  error.pub.output_message = JpegSilentOutput;
  error.standardEmit = error.pub.emit_message;
  error.pub.emit_message = JpegEmitMessage;
  uint8_t* volatile pixels = nullptr;
  if (setjmp(error.jump)) {
    TrackedFree(pixels);
    jpeg_destroy_decompress(&object);
    return -1;
  }
  jpeg_create_decompress(&object);
  SetJpegStreamSource(&object, stream);
  jpeg_read_header(&object, TRUE);
  // Only grey, colour and ink pictures, of a size the library takes.
  if ((object.num_components != 1 && object.num_components != 3 && object.num_components != 4) ||
      !DecodedSizeAllowed(object.image_width, object.image_height)) {
    jpeg_destroy_decompress(&object);
    return -1;
  }
  if (object.num_components == 4) object.out_color_space = JCS_CMYK;
  // Pictures of several scans keep every coefficient until the last scan:
  // libjpeg refuses (it has no backing store) beyond this.
  const long fileLength = static_cast<long>(reinterpret_cast<JpegStreamSource*>(object.src)->length);
  object.mem->max_memory_to_use = fileLength > kCoefficientBytes / kCoefficientPerFileByte
                                      ? fileLength * kCoefficientPerFileByte
                                      : kCoefficientBytes;
  jpeg_start_decompress(&object);
  int components = object.output_components;
  if (components != 1 && components != 3 && components != 4) ERREXIT(&object, JERR_CONVERSION_NOTIMPL);
  JDIMENSION width = object.output_width;
  size_t rowLength = static_cast<size_t>(width) * (components == 1 ? 1 : 3);
  const size_t allRows = object.output_height;
  JSAMPARRAY row = (*object.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&object), JPOOL_IMAGE,
                                               width * static_cast<JDIMENSION>(components), 1);
  bool adobeInverted = object.saw_Adobe_marker;
  size_t capacity = 0;
  while (object.output_scanline < object.output_height) {
    // A file that ends early and stands for a large picture is refused once
    // its data is gone, instead of being filled out row by row.
    if (!WorthDecoding(error, &object, rowLength * allRows)) ERREXIT(&object, JERR_INPUT_EOF);
    JDIMENSION y = object.output_scanline;
    uint8_t* grown = pixels;
    if (!ReserveRows(&grown, &capacity, rowLength, y + 1u, allRows)) ERREXIT1(&object, JERR_OUT_OF_MEMORY, 0);
    pixels = grown;
    if (jpeg_read_scanlines(&object, row, 1) != 1) ERREXIT(&object, JERR_INPUT_EOF);
    StoreRow(row[0], components, adobeInverted, width, pixels + rowLength * y);
  }
  jpeg_finish_decompress(&object);
  image->width = static_cast<int32_t>(width);
  image->height = static_cast<int32_t>(object.output_height);
  image->pitch = static_cast<int32_t>(rowLength);
  if (components == 1) {
    SetColorFormatGrey8(&image->format);
  } else {
    SetColorFormatRGB24(&image->format);
  }
  image->pixels = pixels;
  jpeg_destroy_decompress(&object);
  return 0;
}
