#include "library/graphics/image_load.h"

#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "library/file/memory_stream.h"
#include "library/graphics/color_convert.h"

const ImageDecoder ImageDecoderTable[] = {
    ReadBmpImage, ReadJpegImage, ReadPngImage, ReadBgraImage, ReadTgaImage, ReadDdsImage, nullptr,
};

namespace {

// A copy of the image mirrored left-right, in place of its pixels. The copy
// holds one level, so a mip chain is dropped.
int MirrorLoadedImage(GraphImage* image) {
  if (DecodeCompressedGraphImage(image) != 0) return -1;
  size_t size = static_cast<size_t>(image->pitch) * image->height;
  auto* pixels = static_cast<uint8_t*>(TrackedAlloc(size, __FILE__, __LINE__));
  if (pixels == nullptr) return -1;
  PixelRect rect = {0, 0, image->width, image->height};
  if (ConvertPixelRect(pixels, image->pitch, &image->format, image->pixels, image->pitch, &image->format, nullptr, 0,
                       nullptr, 0, 0, &rect, 1, 0, 0, DitherNone, 0, 0, 0, 0) < 0) {
    TrackedFree(pixels);
    return -1;
  }
  TrackedFree(image->pixels);
  image->pixels = pixels;
  image->mipLevels = 0;
  return 0;
}

int32_t DibRowBytes(int32_t width, int32_t bits) { return (width * bits + 31) / 32 * 4; }

}  // namespace

int DecodeImageStream(DecoderStream* stream, GraphImage* image) {
  for (const ImageDecoder* decoder = ImageDecoderTable; *decoder != nullptr; ++decoder) {
    stream->ops.Seek(stream->handle, 0, SeekFromStart);
    std::memset(image, 0, sizeof *image);
    if ((*decoder)(stream, image) == 0) return 0;
  }
  return -1;
}

int LoadImageToGraphImage(const char* fileName, const void* data, int32_t size, int32_t fromMemory, int32_t dib,
                          int32_t mirror, GraphImage* out, DibHeaderBlock** headerOut, void** bitsOut) {
  DecoderStream stream{};
  if (fromMemory == 0) {
    if (fileName == nullptr) return -1;
    stream.ops = *GetFileStreamInterface();
    stream.handle = FileStreamOpen(fileName, 0, 1, 0);
  } else {
    if (data == nullptr || size < 0) return -1;
    stream.ops = *GetMemoryStreamInterface();
    stream.handle = reinterpret_cast<uintptr_t>(OpenMemoryStream(data, static_cast<uint32_t>(size)));
  }
  if (stream.handle == 0) return -1;

  GraphImage image{};
  int decoded = DecodeImageStream(&stream, &image);
  stream.ops.Close(stream.handle);
  if (decoded != 0) return -1;

  if (mirror == 1 && MirrorLoadedImage(&image) != 0) {
    ReleaseGraphImage(&image);
    return -1;
  }
  if (dib == 0) {
    *out = image;
    return 0;
  }

  if (DecodeCompressedGraphImage(&image) != 0) {
    ReleaseGraphImage(&image);
    return -1;
  }
  auto* header = static_cast<DibHeaderBlock*>(TrackedAlloc(sizeof(DibHeaderBlock), __FILE__, __LINE__));
  int made = header == nullptr ? -1 : GraphImageToDIB(&image, header, bitsOut, 0, 0);
  if (made == -1) {
    TrackedFree(header);
    ReleaseGraphImage(&image);
    return -1;
  }
  // With 0 the bits are the image's own pixels, now the caller's.
  if (made == 1) ReleaseGraphImage(&image);
  *headerOut = header;
  return 0;
}

int LoadGraphImageOnly(const char* fileName, const void* data, int32_t size, int32_t fromMemory, GraphImage* out,
                       int32_t mirror) {
  return LoadImageToGraphImage(fileName, data, size, fromMemory, 0, mirror, out, nullptr, nullptr);
}

int LoadGraphImageFile(const char* fileName, const void* data, int32_t size, int32_t fromMemory,
                       const void* alphaData, int32_t alphaSize, int32_t alphaMode, GraphImage* rgbOut,
                       int32_t mirror, GraphImage* alphaOut) {
  if (LoadImageToGraphImage(fileName, data, size, fromMemory, 0, mirror, rgbOut, nullptr, nullptr) != 0) return -1;
  std::memset(alphaOut, 0, sizeof *alphaOut);
  int loaded = -1;
  if (alphaMode == AlphaImageFromFile) {
    char alphaName[260];
    if (fileName != nullptr && MakeAlphaImageFileName(fileName, alphaName) == 0) {
      loaded = LoadImageToGraphImage(alphaName, nullptr, 0, 0, 0, mirror, alphaOut, nullptr, nullptr);
    }
  } else if (alphaMode == AlphaImageFromMemory) {
    loaded = LoadImageToGraphImage(nullptr, alphaData, alphaSize, 1, 0, mirror, alphaOut, nullptr, nullptr);
  }
  return loaded == 0 ? 0 : 1;
}

int MakeAlphaImageFileName(const char* name, char* out) {
  // The file name starts after the last separator; its first dot takes the
  // insertion, so a dot in a folder name is passed over.
  size_t length = 0, nameStart = 0;
  while (name[length] != '\0') {
    if (IsDoubleByteAt(name + length)) {
      length += 2;
      continue;
    }
    if (name[length] == '\\' || name[length] == '/') nameStart = length + 1;
    ++length;
  }
  if (length + 3 > 260) {
    out[0] = '\0';
    return -1;
  }
  size_t dot = nameStart;
  while (dot < length && name[dot] != '.') dot += IsDoubleByteAt(name + dot) ? 2 : 1;
  std::memcpy(out, name, dot);
  out[dot] = '_';
  out[dot + 1] = 'a';
  std::memcpy(out + dot + 2, name + dot, length - dot + 1);
  return 0;
}

int GraphImageToDIB(const GraphImage* image, DibHeaderBlock* header, void** bits, int32_t forceCopy,
                    int32_t force24) {
  const ColorFormat& f = image->format;
  if (f.compression != 0 || image->pixels == nullptr || image->width < 1 || image->height < 1) return -1;
  std::memset(&header->header, 0, sizeof header->header);
  std::memset(&header->colors[0], 0, sizeof header->colors[0]);
  BITMAPINFOHEADER& h = header->header;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = image->width;
  h.biHeight = -image->height;
  h.biPlanes = 1;
  h.biCompression = BI_RGB;

  bool paletted = f.colorBits == 8 && f.bytesPerPixel == 1 && force24 == 0;
  h.biBitCount = paletted ? 8 : 24;
  int32_t rowBytes = DibRowBytes(image->width, h.biBitCount);
  int32_t pixelBytes = paletted ? 1 : 3;
  if (paletted) std::memcpy(header->colors, f.palette, sizeof header->colors);

  bool sameLayout = paletted || (f.colorBits == 24 && f.bytesPerPixel == 3 && f.redMask == 0xFF0000 &&
                                 f.greenMask == 0xFF00 && f.blueMask == 0xFF);
  if (sameLayout && forceCopy != 1 && image->pitch == rowBytes) {
    *bits = image->pixels;
    return 0;
  }
  auto* out = static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(rowBytes) * image->height, __FILE__, __LINE__));
  if (out == nullptr) return -1;
  if (sameLayout && (paletted || forceCopy != 1)) {
    // Row by row, each row's pixels only: a wider source pitch never runs
    // past the end of the DIB's row.
    for (int32_t y = 0; y < image->height; ++y) {
      std::memcpy(out + static_cast<size_t>(rowBytes) * y, image->pixels + static_cast<size_t>(image->pitch) * y,
                  static_cast<size_t>(image->width) * pixelBytes);
    }
  } else {
    ColorFormat rgb24{};
    SetColorFormatRGB24(&rgb24);
    PixelRect rect = {0, 0, image->width, image->height};
    if (ConvertPixelRect(out, rowBytes, &rgb24, image->pixels, image->pitch, &f, nullptr, 0, nullptr, 0, 0, &rect, 0,
                         0, 0, DitherNone, 0, 0, 0, 0) < 0) {
      TrackedFree(out);
      return -1;
    }
  }
  *bits = out;
  return 1;
}

HBITMAP CreateDIBGraph(const DibHeaderBlock* header, const void* bits, int32_t mirror, ColorFormat* format) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) {
    WriteErrorLog("ＤＩＢの作成に失敗しました3\n");
    return nullptr;
  }
  auto* info = static_cast<DibHeaderBlock*>(TrackedCalloc(sizeof(DibHeaderBlock), __FILE__, __LINE__));
  if (info == nullptr) {
    DeleteDC(dc);
    WriteErrorLog("メモリの確保に失敗しました in CreateDIBGraph \n");
    return nullptr;
  }
  const BITMAPINFOHEADER& src = header->header;
  int32_t width = src.biWidth;
  int32_t height = src.biHeight < 0 ? -src.biHeight : src.biHeight;
  BITMAPINFOHEADER& h = info->header;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = -height;
  h.biPlanes = 1;
  auto setMasks = [&](const ColorFormat& f) {
    DWORD masks[3] = {f.redMask, f.greenMask, f.blueMask};
    std::memcpy(info->colors, masks, sizeof masks);
    h.biCompression = BI_BITFIELDS;
    h.biBitCount = f.colorBits;
  };
  if (format == nullptr) {
    if (src.biBitCount == 8) {
      h.biBitCount = 8;
      h.biClrUsed = src.biClrUsed;
      std::memcpy(info->colors, header->colors, sizeof info->colors);
    } else {
      h.biBitCount = 24;
    }
  } else if (format->colorBits == 16 || (format->colorBits >= 25 && src.biBitCount != 24)) {
    setMasks(*format);
  } else {
    // The caller learns from the format that the section is 24-bit.
    if (format->colorBits == 32) SetColorFormatRGB24(format);
    h.biBitCount = format->colorBits;
  }

  void* sectionBits = nullptr;
  HBITMAP section = CreateDIBSection(dc, AsBitmapInfo(info), DIB_RGB_COLORS, &sectionBits, nullptr, 0);
  TrackedFree(info);
  if (section == nullptr || sectionBits == nullptr) {
    WriteErrorLog(section == nullptr ? "ＤＩＢの作成に失敗しました3\n" : "ＤＩＢの作成に失敗しました2\n");
    if (section != nullptr) DeleteObject(section);
    DeleteDC(dc);
    return nullptr;
  }
  HBITMAP old = SelectObject(dc, section);
  if (mirror == 1) {
    StretchDIBits(dc, 0, 0, width, height, width - 1, 0, -width, height, bits, AsBitmapInfo(header), DIB_RGB_COLORS,
                  SRCCOPY);
  } else {
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), bits, AsBitmapInfo(header), DIB_RGB_COLORS);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return section;
}

HBITMAP LoadImageToDIBSection(const char* fileName, const void* data, int32_t size, int32_t fromMemory,
                              int32_t mirror, ColorFormat* format) {
  DibHeaderBlock* header = nullptr;
  void* bits = nullptr;
  if (LoadImageToGraphImage(fileName, data, size, fromMemory, 1, 0, nullptr, &header, &bits) != 0) return nullptr;
  HBITMAP section = CreateDIBGraph(header, bits, mirror, format);
  TrackedFree(header);
  TrackedFree(bits);
  return section;
}

HBITMAP LoadImageFileToDIBSection(const char* fileName, int32_t mirror, ColorFormat* format) {
  return LoadImageToDIBSection(fileName, nullptr, 0, 0, mirror, format);
}
