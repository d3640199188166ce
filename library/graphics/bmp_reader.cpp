// Windows bitmaps. 8, 24 and 32-bit pictures, 4-bit ones and the two
// run-length forms are read here; the other layouts (1-bit, 16-bit, bit
// fields) are drawn by GDI into a 24-bit section.
#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/graphics/image_decoders.h"
#include "platform/gdi/gdi.h"

namespace {

// The info header as read, with room behind it for a full colour table and
// the three bit-field masks.
struct BmpInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256 + 2];
};

const BITMAPINFO* AsBitmapInfo(const BmpInfo& info) { return reinterpret_cast<const BITMAPINFO*>(&info); }

void CopyPalette(const BmpInfo& info, int32_t entries, ColorFormat* format) {
  SetColorFormatPal8(format);
  std::memset(format->palette, 0, sizeof format->palette);
  for (int32_t i = 0; i < entries; ++i) {
    format->palette[i][0] = info.colors[i].rgbBlue;
    format->palette[i][1] = info.colors[i].rgbGreen;
    format->palette[i][2] = info.colors[i].rgbRed;
  }
}

// The picture's geometry.
struct BmpShape {
  int32_t width, height;  // height positive
  bool bottomUp;
  int64_t sourceRowBytes;
};

// Run-length data (RLE8, or RLE4 with one pixel a byte) into cleared rows of
// one byte a pixel. Runs that leave the picture are cut; data that ends early
// leaves the rest of the picture at index 0.
void DecodeRunLengths(const uint8_t* data, size_t size, bool rle4, const BmpShape& shape, uint8_t* pixels,
                      int32_t pitch) {
  int64_t x = 0, row = 0;
  auto put = [&](uint8_t value) {
    if (x < shape.width && row < shape.height) {
      int64_t imageRow = shape.bottomUp ? shape.height - 1 - row : row;
      pixels[imageRow * pitch + x] = value;
    }
    ++x;
  };
  size_t i = 0;
  while (i + 2 <= size && row < shape.height) {
    uint8_t count = data[i], value = data[i + 1];
    i += 2;
    if (count != 0) {
      for (int n = 0; n < count; ++n) put(rle4 ? ((n & 1) ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of picture
      return;
    } else if (value == 2) {  // move
      if (i + 2 > size) return;
      x += data[i];
      row += data[i + 1];
      i += 2;
    } else {  // absolute run of `value` pixels, padded to an even offset
      size_t bytes = rle4 ? (value + 1u) / 2u : value;
      for (int n = 0; n < value && (rle4 ? i + n / 2 : i + n) < size; ++n) {
        put(rle4 ? ((n & 1) ? data[i + n / 2] & 15 : data[i + n / 2] >> 4) : data[i + n]);
      }
      i += bytes + (bytes & 1u);
    }
  }
}

// The 24-bit GDI conversion: a top-down section drawn from the source block.
int ConvertThroughGdi(const BmpInfo& info, const uint8_t* block, const BmpShape& shape, GraphImage* image) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return WriteErrorLog("ＤＩＢの作成に失敗しました3\n");
  BmpInfo sectionInfo{};
  sectionInfo.header.biSize = sizeof(BITMAPINFOHEADER);
  sectionInfo.header.biWidth = shape.width;
  sectionInfo.header.biHeight = -shape.height;
  sectionInfo.header.biPlanes = 1;
  sectionInfo.header.biBitCount = 24;
  sectionInfo.header.biCompression = BI_RGB;
  void* sectionBits = nullptr;
  HBITMAP section = CreateDIBSection(dc, AsBitmapInfo(sectionInfo), DIB_RGB_COLORS, &sectionBits, nullptr, 0);
  if (section == nullptr || sectionBits == nullptr) {
    DeleteDC(dc);
    return WriteErrorLog("ＤＩＢの作成に失敗しました3\n");
  }
  HBITMAP old = SelectObject(dc, section);
  // A layout GDI does not draw leaves the section blank: refused, not
  // handed out as a black picture.
  int drawn = SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(shape.width), static_cast<DWORD>(shape.height), 0, 0, 0,
                                static_cast<UINT>(shape.height), block, AsBitmapInfo(info), DIB_RGB_COLORS);
  int result = -1;
  if (drawn != 0) {
    int32_t pitch = (shape.width * 3 + 3) & ~3;
    size_t size = static_cast<size_t>(pitch) * shape.height;
    auto* pixels = static_cast<uint8_t*>(TrackedAlloc(size, __FILE__, __LINE__));
    if (pixels == nullptr) {
      WriteErrorLog("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
    } else {
      std::memcpy(pixels, sectionBits, size);
      image->pixels = pixels;
      image->pitch = pitch;
      SetColorFormatRGB24(&image->format);
      result = 0;
    }
  }
  SelectObject(dc, old);
  DeleteObject(section);
  DeleteDC(dc);
  return result;
}

int DecodePixels(const BmpInfo& info, uint8_t* block, size_t blockSize, const BmpShape& shape,
                 GraphImage* image) {
  const BITMAPINFOHEADER& h = info.header;
  int32_t bits = h.biBitCount;
  int32_t bytePitch = (shape.width + 3) & ~3;  // one byte a pixel
  bool complete = static_cast<int64_t>(blockSize) >= shape.sourceRowBytes * shape.height;

  if (h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4) {
    bool rle4 = h.biCompression == BI_RLE4;
    auto* pixels = static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(bytePitch) * shape.height, __FILE__, __LINE__));
    if (pixels == nullptr) return -1;
    DecodeRunLengths(block, blockSize, rle4, shape, pixels, bytePitch);
    CopyPalette(info, rle4 ? 16 : 256, &image->format);
    image->pixels = pixels;
    image->pitch = bytePitch;
    return 0;
  }
  if (h.biCompression == BI_RGB && bits == 4) {
    if (!complete) return -1;
    auto* pixels = static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(bytePitch) * shape.height, __FILE__, __LINE__));
    if (pixels == nullptr) return -1;
    for (int32_t r = 0; r < shape.height; ++r) {
      const uint8_t* src = block + r * shape.sourceRowBytes;
      uint8_t* dest = pixels + static_cast<int64_t>(shape.bottomUp ? shape.height - 1 - r : r) * bytePitch;
      for (int32_t x = 0; x < shape.width; ++x) dest[x] = (x & 1) ? src[x / 2] & 15 : src[x / 2] >> 4;
    }
    CopyPalette(info, 16, &image->format);
    image->pixels = pixels;
    image->pitch = bytePitch;
    return 0;
  }
  if (h.biCompression == BI_RGB && (bits == 8 || bits == 24 || bits == 32)) {
    if (!complete) return -1;
    uint8_t* pixels = block;
    if (shape.bottomUp) {
      pixels = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(shape.sourceRowBytes * shape.height), __FILE__, __LINE__));
      if (pixels == nullptr) return -1;
      for (int32_t r = 0; r < shape.height; ++r) {
        std::memcpy(pixels + r * shape.sourceRowBytes, block + (shape.height - 1 - r) * shape.sourceRowBytes,
                    static_cast<size_t>(shape.sourceRowBytes));
      }
    }
    if (bits == 8) {
      CopyPalette(info, 256, &image->format);
    } else if (bits == 24) {
      SetColorFormatRGB24(&image->format);
    } else {
      SetColorFormatARGB32(&image->format);
    }
    image->pixels = pixels;
    image->pitch = static_cast<int32_t>(shape.sourceRowBytes);
    return 0;
  }
  if (!complete || shape.sourceRowBytes == 0) return -1;
  return ConvertThroughGdi(info, block, shape, image);
}

}  // namespace

int ReadBmpImage(DecoderStream* stream, GraphImage* image) {
  int64_t length = DecoderStreamRemaining(stream);
  uint8_t fileHeader[14];
  if (length < 0 || !DecoderStreamReadAll(stream, fileHeader, sizeof fileHeader)) return -1;
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return -1;
  uint32_t dataOffset = ReadLe32(fileHeader + 10);

  BmpInfo info{};
  if (!DecoderStreamReadAll(stream, &info, sizeof info.header + 4)) return -1;
  const BITMAPINFOHEADER& h = info.header;
  if (h.biBitCount < 9) {
    // The colour table follows the whole info header, which may be longer
    // than the 40 bytes read; a table cut short by the end of the file
    // leaves its last entries 0.
    uint32_t entries = 1u << h.biBitCount;
    if (h.biSize > sizeof h && h.biSize < dataOffset) {
      info.colors[0] = RGBQUAD{};
      if (DecoderStreamSeek(stream, 14 + static_cast<int64_t>(h.biSize), SeekFromStart) != 0) return -1;
      stream->ops.Read(info.colors, 1, entries * 4, stream->handle);
    } else {
      stream->ops.Read(info.colors + 1, 1, entries * 4 - 4, stream->handle);
    }
  } else if (h.biCompression == BI_BITFIELDS) {
    // The three masks: the dword already read and two more.
    if (!DecoderStreamReadAll(stream, info.colors + 1, 8)) return -1;
  }

  if (h.biWidth < 1 || h.biHeight == 0 || h.biHeight == INT32_MIN) return -1;
  BmpShape shape{};
  shape.width = h.biWidth;
  shape.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  shape.bottomUp = h.biHeight > 0;
  shape.sourceRowBytes = ((static_cast<int64_t>(shape.width) * h.biBitCount + 7) / 8 + 3) & ~int64_t{3};
  if (!DecodedSizeAllowed(shape.width, shape.height)) return -1;

  if (dataOffset > length || DecoderStreamSeek(stream, dataOffset, SeekFromStart) != 0) return -1;
  size_t blockSize = static_cast<size_t>(length - dataOffset);
  auto* block = static_cast<uint8_t*>(TrackedAlloc(blockSize == 0 ? 1 : blockSize, __FILE__, __LINE__));
  if (block == nullptr) return -1;
  if (!DecoderStreamReadAll(stream, block, static_cast<uint32_t>(blockSize)) ||
      DecodePixels(info, block, blockSize, shape, image) != 0) {
    TrackedFree(block);
    return -1;
  }
  if (image->pixels != block) TrackedFree(block);
  image->width = shape.width;
  image->height = shape.height;
  return 0;
}
