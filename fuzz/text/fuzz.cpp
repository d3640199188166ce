// The text helpers over outside text (names from files and archives, numbers
// typed into fields, paths): copies, searches, case, numbers, full paths,
// alpha-image names and archive search names.
//
// Input: the character set (0 to 4), a buffer size, then NUL-separated texts:
// the text, a second text (the base folder of full paths).
#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz/support/fuzz_support.h"
#include "library/core/text_helpers.h"
#include "library/file/archive.h"
#include "library/graphics/image_load.h"

namespace {

// Where each character of s starts (double-byte aware), and the end.
std::vector<size_t> CharStarts(const char* s) {
  std::vector<size_t> starts;
  size_t i = 0;
  while (s[i] != '\0') {
    starts.push_back(i);
    i += IsDoubleByteAt(s + i) ? 2 : 1;
  }
  starts.push_back(i);
  return starts;
}

bool IsStart(const std::vector<size_t>& starts, size_t at) {
  return std::find(starts.begin(), starts.end(), at) != starts.end();
}

constexpr char kGuard = 0x5A;

void CheckCopies(const std::string& text, size_t room) {
  const std::vector<size_t> starts = CharStarts(text.c_str());
  std::string buffer(room + 8, kGuard);
  StrCopy(buffer.data(), room, text.c_str());
  if (room == 0) {
    FUZZ_CHECK(buffer[0] == kGuard, "StrCopy wrote into no room");
    return;
  }
  const size_t n = strnlen(buffer.c_str(), room);
  FUZZ_CHECK(n < room, "StrCopy left no end mark within its room");
  FUZZ_CHECK(text.compare(0, n, buffer.c_str(), n) == 0, "StrCopy's text is not the start of the source");
  FUZZ_CHECK(IsStart(starts, n), "StrCopy cut a double-byte character");
  FUZZ_CHECK(n == text.size() || n + 2 >= room, "StrCopy stopped early");
  for (size_t i = room; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == kGuard, "StrCopy wrote past its room");
}

void CheckSearchAndCase(const std::string& text) {
  const std::vector<size_t> starts = CharStarts(text.c_str());
  for (int c : {0x5C, 0x2E, 0x61, 0x81, 0x2F}) {
    const char* found = StrFindChar(text.c_str(), c);
    if (found == nullptr) continue;
    const size_t at = static_cast<size_t>(found - text.c_str());
    FUZZ_CHECK(at < text.size() && static_cast<uint8_t>(*found) == static_cast<uint8_t>(c),
               "StrFindChar found another byte");
    FUZZ_CHECK(IsStart(starts, at), "StrFindChar found the second byte of a double-byte character");
  }
  std::string upper = text;
  StrToUpper(upper.data());
  FUZZ_CHECK(upper.size() == text.size(), "StrToUpper changed the length");
  for (size_t i = 0; i < text.size(); ++i) {
    if (upper[i] == text[i]) continue;
    FUZZ_CHECK(text[i] >= 'a' && text[i] <= 'z' && upper[i] == text[i] - 32 && IsStart(starts, i),
               "StrToUpper changed a byte that is no single-byte small letter");
  }
}

void CheckNumbers(const std::string& text) {
  const int32_t value = StrToInt(text.c_str());
  char digits[IntToStrBufferSize];
  for (int radix : {2, 10, 16, 36}) {
    std::memset(digits, kGuard, sizeof digits);
    IntToStr(value, digits, radix);
    FUZZ_CHECK(std::memchr(digits, 0, sizeof digits) != nullptr, "IntToStr overran its buffer");
  }
  IntToStr(value, digits, 10);
  FUZZ_CHECK(StrToInt(digits) == value, "IntToStr and StrToInt do not meet");
  volatile double d = StrToDouble(text.c_str());
  (void)d;
}

void CheckFullPath(const std::string& path, const std::string& base, size_t room) {
  std::string out(room + 8, kGuard);
  const int result = MakeFullPath(path.c_str(), out.data(), room, base.c_str());
  for (size_t i = room; i < out.size(); ++i) FUZZ_CHECK(out[i] == kGuard, "MakeFullPath wrote past its room");
  if (room == 0) return;
  const size_t n = strnlen(out.c_str(), room);
  FUZZ_CHECK(n < room, "MakeFullPath left no end mark");
  if (result != 0) {
    FUZZ_CHECK(n == 0, "a failed MakeFullPath left text");
    return;
  }
  // No "." or ".." component is left once the path is whole (the base is
  // taken as it is).
  if (base.find('.') != std::string::npos) return;
  const std::string full(out.c_str());
  const std::vector<size_t> starts = CharStarts(full.c_str());
  for (size_t i : starts) {
    if (i >= full.size() || full[i] != '\\') continue;
    const std::string rest = full.substr(i + 1);
    FUZZ_CHECK(rest != "." && rest.rfind(".\\", 0) != 0 && rest != ".." && rest.rfind("..\\", 0) != 0,
               "a dot component in " + full);
  }
}

void CheckNames(const std::string& text, int32_t charSet) {
  char alpha[260];
  std::memset(alpha, kGuard, sizeof alpha);
  const int result = MakeAlphaImageFileName(text.c_str(), alpha);
  FUZZ_CHECK(std::memchr(alpha, 0, sizeof alpha) != nullptr, "the alpha name has no end mark");
  if (result != 0) FUZZ_CHECK(alpha[0] == '\0', "a failed alpha name left text");
  ArchiveName name;
  size_t consumed = 0;
  if (MakeArchiveName(charSet, text.c_str(), &name, &consumed) == 0) {
    FUZZ_CHECK(consumed <= text.size(), "the archive name took more than the text");
    FUZZ_CHECK(name.units * 4u <= sizeof name.bytes, "the archive name's units exceed its bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const int32_t charSet = in.Byte() % 5;
  const size_t room = in.Byte();
  const std::vector<uint8_t> rest = in.Rest();
  const std::string all(rest.begin(), rest.end());
  const size_t split = all.find('\0');
  const std::string text = all.substr(0, split);
  const std::string base = split == std::string::npos ? "C:\\base" : std::string(all.c_str() + split + 1);

  const int32_t savedCharSet = LibraryCharSet;
  LibraryCharSet = charSet;
  CheckCopies(text, room);
  CheckSearchAndCase(text);
  CheckNumbers(text);
  CheckFullPath(text, base, room);
  CheckFullPath(text, base, 1024);
  CheckNames(text, charSet);
  LibraryCharSet = savedCharSet;
  return 0;
}
