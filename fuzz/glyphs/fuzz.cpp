// The font stand-in's text inputs: text bytes (Shift-JIS or another code
// page's) measured whole and turned into glyph codes, each rendered in a
// chosen format through a chosen transform.
//
// Input: a byte of the font height (signed: negative asks for the em
// height), a byte choosing the character set, the face (fixed or
// proportional) and bold, a byte of the format, a byte of the transform,
// then the text.
//
// Besides memory safety: the text measures to a non-negative width at the
// font's height; a glyph's bitmap is the size its box and format make (rows
// padded to 4 bytes), is written within that size and no further, and a
// buffer one byte short is refused untouched.
#include <cstring>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_font.h"

FUZZ_TARGET_STARTS_LIBRARY()

namespace {

constexpr DWORD kCharSets[4] = {SHIFTJIS_CHARSET, ANSI_CHARSET, 129 /* Hangul */, 136 /* Big5 */};
constexpr UINT kFormats[5] = {GGO_METRICS, GGO_BITMAP, GGO_GRAY2_BITMAP, GGO_GRAY4_BITMAP, GGO_GRAY8_BITMAP};

MAT2 Transform(uint8_t choice) {
  MAT2 m{};
  m.eM11.value = 1;
  m.eM22.value = 1;
  switch (choice % 4) {
    case 1:  // twice as wide
      m.eM11.value = 2;
      break;
    case 2:  // slanted
      m.eM21.fract = 0x4000;
      break;
    case 3:  // mirrored and squeezed
      m.eM11.value = -1;
      m.eM22.fract = 0x8000;
      m.eM22.value = 0;
      break;
    default:
      break;
  }
  return m;
}

void CheckGlyph(HDC dc, UINT code, UINT format, const MAT2& transform) {
  GLYPHMETRICS metrics{};
  const DWORD size = GetGlyphOutlineA(dc, code, format, &metrics, 0, nullptr, &transform);
  if (size == GDI_ERROR || format == GGO_METRICS) return;
  const size_t pitch = format == GGO_BITMAP ? (metrics.gmBlackBoxX + 31) / 32 * 4 : (metrics.gmBlackBoxX + 3) / 4 * 4;
  FUZZ_CHECK(size == 0 || size == pitch * metrics.gmBlackBoxY, "a bitmap of another size than its box makes");
  if (size == 0) return;
  std::vector<uint8_t> buffer(size + 16, 0xA5);
  GLYPHMETRICS again{};
  FUZZ_CHECK(GetGlyphOutlineA(dc, code, format, &again, size - 1, buffer.data(), &transform) == GDI_ERROR,
             "a buffer one byte short taken");
  for (uint8_t b : buffer) FUZZ_CHECK(b == 0xA5, "a refused buffer written");
  FUZZ_CHECK(GetGlyphOutlineA(dc, code, format, &again, size, buffer.data(), &transform) == size,
             "the bitmap of another size than asked");
  for (size_t i = size; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == 0xA5, "a bitmap written past its size");
  const uint8_t top = format == GGO_BITMAP ? 255 : format == GGO_GRAY2_BITMAP ? 4 : format == GGO_GRAY4_BITMAP ? 16 : 64;
  for (size_t i = 0; i < size; ++i) FUZZ_CHECK(buffer[i] <= top, "a grey level past its format's top");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const int height = static_cast<int8_t>(in.Byte());
  const uint8_t kind = in.Byte();
  const UINT format = kFormats[in.Byte() % 5];
  const MAT2 transform = Transform(in.Byte());
  std::vector<uint8_t> text = in.Take(256);
  const char* face = (kind & 4) ? "MS PGothic" : "MS Gothic";
  HFONT font = CreateFontA(height, 0, 0, 0, (kind & 8) ? 700 : FW_NORMAL, 0, 0, 0, kCharSets[kind % 4], 0, 0, 0, 0,
                           face);
  FUZZ_CHECK(font != nullptr, "the font file does not open");
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT previous = SelectObject(dc, font);
  FUZZ_CHECK(previous != nullptr, "the font does not select");
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SIZE extent{};
  FUZZ_CHECK(GetTextExtentPoint32A(dc, reinterpret_cast<const char*>(text.data()), static_cast<int>(text.size()),
                                   &extent),
             "text does not measure");
  FUZZ_CHECK(extent.cx >= 0 && extent.cy == metrics.tmHeight, "a width below 0 or another height");
  // The codes as the measure takes them: a lead byte with its trail byte.
  const bool shiftJis = kCharSets[kind % 4] == SHIFTJIS_CHARSET || kCharSets[kind % 4] == ANSI_CHARSET;
  for (size_t i = 0, n = 0; i < text.size() && n < 24; ++n) {
    UINT code = text[i];
    const bool lead = shiftJis ? (code >= 0x81 && code <= 0x9F) || (code >= 0xE0 && code <= 0xFC) : code >= 0x81 && code <= 0xFE;
    if (lead && i + 1 < text.size()) code = code << 8 | text[++i];
    ++i;
    CheckGlyph(dc, code, format, transform);
  }
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(font);
  return 0;
}
