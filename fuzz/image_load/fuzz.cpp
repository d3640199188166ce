// Image loading from memory: the decoder table over the input, mirrored or
// not, with an alpha image, as a top-down DIB and as a GDI DIB section in
// each layout callers ask for. Every path ends with nothing allocated and no
// GDI object left; pictures and DIBs are readable to their last byte.
//
// Input: a flags byte (bit 0 mirror, bits 1-3 the section layout), the
// length of the alpha image (u16, taken from the end), then the bytes.
#include <cstring>

#include "fuzz/support/fuzz_support.h"
#include "library/core/memory.h"
#include "library/graphics/image_load.h"

namespace {

void CheckDib(const DibHeaderBlock* header, const void* bits) {
  const BITMAPINFOHEADER& h = header->header;
  FUZZ_CHECK(h.biWidth > 0 && h.biHeight != 0, "a DIB of no size");
  FUZZ_CHECK(h.biBitCount == 8 || h.biBitCount == 24, "a DIB of " + std::to_string(h.biBitCount) + " bits");
  const int64_t rowBytes = (static_cast<int64_t>(h.biWidth) * h.biBitCount + 31) / 32 * 4;
  const int64_t rows = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  TouchBytes(bits, static_cast<size_t>(rowBytes * rows));
}

void CheckSection(HBITMAP section) {
  DIBSECTION ds;
  FUZZ_CHECK(GetObjectA(section, sizeof ds, &ds) == sizeof ds, "a section GDI does not describe");
  TouchBytes(ds.dsBm.bmBits, static_cast<size_t>(ds.dsBm.bmWidthBytes) * ds.dsBm.bmHeight);
}

}  // namespace

FUZZ_TARGET_STARTS_LIBRARY()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  FuzzInput in(data, size);
  const uint8_t flags = in.Byte();
  const int32_t mirror = flags & 1;
  const size_t alphaLength = in.U16();
  std::vector<uint8_t> bytes = in.Rest();
  std::vector<uint8_t> alpha;
  if (alphaLength <= bytes.size()) {
    alpha.assign(bytes.end() - static_cast<ptrdiff_t>(alphaLength), bytes.end());
    bytes.resize(bytes.size() - alphaLength);
  }
  const auto length = static_cast<int32_t>(bytes.size());
  const int32_t blocks = TrackedBlockCount();
  const int gdiObjects = PlatformLiveGdiObjectCount();

  GraphImage rgb, alphaImage;
  std::memset(&rgb, 0, sizeof rgb);
  std::memset(&alphaImage, 0, sizeof alphaImage);
  const int loaded = LoadGraphImageFile(nullptr, bytes.data(), length, 1, alpha.data(),
                                        static_cast<int32_t>(alpha.size()), AlphaImageFromMemory, &rgb, mirror,
                                        &alphaImage);
  FUZZ_CHECK(loaded >= -1 && loaded <= 1, "result " + std::to_string(loaded));
  if (loaded >= 0) {
    CheckGraphImage(rgb);
    if (loaded == 0) CheckGraphImage(alphaImage);
    ReleaseGraphImage(&rgb);
    ReleaseGraphImage(&alphaImage);
  }
  FUZZ_CHECK(TrackedBlockCount() == blocks, "loading left memory behind");
  if (loaded < 0) return 0;  // the rest goes through the same decoders

  DibHeaderBlock* header = nullptr;
  void* bits = nullptr;
  if (LoadImageToGraphImage(nullptr, bytes.data(), length, 1, 1, mirror, nullptr, &header, &bits) == 0) {
    CheckDib(header, bits);
    TrackedFree(header);
    TrackedFree(bits);
  }
  FUZZ_CHECK(TrackedBlockCount() == blocks, "the DIB left memory behind");

  // The section layouts callers ask for: their own 8 or 24 bits, 16, 24 or 32 bits.
  ColorFormat format{};
  ColorFormat* asked = nullptr;
  switch ((flags >> 1) & 7) {
    case 1: format = *GetStandardColorFormat(ColorKind16, 0, 0); asked = &format; break;
    case 2: format = *GetStandardColorFormat(ColorKind32, 0, 0); asked = &format; break;
    case 3: format = *GetStandardColorFormat(ColorKind32, 1, 0); asked = &format; break;
    case 4: SetColorFormatRGB24(&format); asked = &format; break;
    default: break;
  }
  HBITMAP section = LoadImageToDIBSection(nullptr, bytes.data(), length, 1, mirror, asked);
  if (section != nullptr) {
    CheckSection(section);
    DeleteObject(section);
  }
  FUZZ_CHECK(TrackedBlockCount() == blocks, "the section left memory behind");
  FUZZ_CHECK(PlatformLiveGdiObjectCount() == gdiObjects, "the section left GDI objects behind");
  return 0;
}
