#include "library/graphics/image_decoders.h"

int64_t DecoderStreamRemaining(DecoderStream* stream) {
  int32_t start = stream->ops.Tell(stream->handle);
  if (start < 0 || stream->ops.Seek(stream->handle, 0, SeekFromEnd) != 0) return -1;
  int32_t end = stream->ops.Tell(stream->handle);
  if (stream->ops.Seek(stream->handle, start, SeekFromStart) != 0 || end < start) return -1;
  return end - start;
}

bool DecoderStreamReadAll(DecoderStream* stream, void* buffer, uint32_t size) {
  if (size == 0) return true;
  return stream->ops.Read(buffer, 1, size, stream->handle) == size;
}

int DecoderStreamSeek(DecoderStream* stream, int64_t offset, int32_t origin) {
  if (offset < INT32_MIN || offset > INT32_MAX) return -1;
  return stream->ops.Seek(stream->handle, static_cast<int32_t>(offset), origin);
}

bool DecodedSizeAllowed(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= MaxDecodedPixels && height <= MaxDecodedPixels &&
         width * height <= MaxDecodedPixels;
}
