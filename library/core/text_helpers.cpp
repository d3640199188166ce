#include "library/core/text_helpers.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "library/file/file_table.h"
#include "platform/win32/win32.h"

int32_t LibraryCharSet = 0;
int32_t LibraryCodePage = 0;

int CheckDoubleByteLead(const char* p, int32_t charSet) {
  unsigned char c = static_cast<unsigned char>(*p);
  switch (charSet) {
    case CharSetKorean:
    case CharSetBig5:
    case CharSetSimplified:
      return c >= 0x80 ? 1 : 0;
    default:
      return ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 1 : 0;
  }
}

bool IsDoubleByteAt(const char* p) {
  return CheckDoubleByteLead(p, LibraryCharSet) != 0 && p[1] != '\0';
}

// ---------------------------------------------------------------- strings

char* StrCopy(char* dst, size_t dstSize, const char* src) {
  if (dstSize == 0) return dst;
  size_t i = 0;
  while (src[i] != '\0') {
    size_t step = IsDoubleByteAt(src + i) ? 2 : 1;
    if (i + step >= dstSize) break;
    memcpy(dst + i, src + i, step);
    i += step;
  }
  dst[i] = '\0';
  return dst;
}

char* StrCopyN(char* dst, const char* src, int32_t n) {
  int32_t i = 0;
  if (n > 0)
    for (; i < n && src[i] != '\0'; ++i) dst[i] = src[i];
  dst[i] = '\0';
  return dst;
}

const char* StrFindChar(const char* s, int c) {
  for (; *s != '\0'; ++s) {
    if (IsDoubleByteAt(s)) {
      ++s;
      continue;
    }
    if (static_cast<unsigned char>(*s) == static_cast<unsigned char>(c)) return s;
  }
  return nullptr;
}

char* StrFindChar(char* s, int c) {
  return const_cast<char*>(StrFindChar(static_cast<const char*>(s), c));
}

int StrCompare(const char* a, const char* b) { return strcmp(a, b) == 0 ? 0 : 1; }

int StrCompareN(const char* a, const char* b, int32_t n) {
  if (n < 1) return n == 0 ? 0 : 1;
  return strncmp(a, b, static_cast<size_t>(n)) == 0 ? 0 : 1;
}

char* StrToUpper(char* s) {
  for (; *s != '\0'; ++s) {
    if (IsDoubleByteAt(s)) {
      ++s;
      continue;
    }
    if (*s >= 'a' && *s <= 'z') *s = static_cast<char>(*s - 'a' + 'A');
  }
  return s;
}

// ---------------------------------------------------------------- memory

int MemFill(void* p, int byte, size_t n) {
  if (n > 0) memset(p, byte, n);
  return byte;
}

int MemCompare(const void* a, const void* b, size_t n) {
  return n == 0 || memcmp(a, b, n) == 0 ? 0 : 1;
}

void* MemCopy(void* dst, const void* src, size_t n) {
  if (n > 0) memcpy(dst, src, n);
  return dst;
}

void* MemMove(void* dst, const void* src, size_t n) {
  if (n > 0) memmove(dst, src, n);
  return dst;
}

// ---------------------------------------------------------------- numbers

int32_t StrToInt(const char* s) {
  while (*s != '\0' && *s != '-' && !(*s >= '0' && *s <= '9')) ++s;
  if (*s == '\0') return -1;
  bool negative = false;
  if (*s == '-') {
    negative = true;
    ++s;
  }
  uint32_t value = 0;  // wraps on overflow, as 32-bit arithmetic does
  for (int digits = 0; digits < 32 && *s >= '0' && *s <= '9'; ++digits, ++s)
    value = value * 10u + static_cast<uint32_t>(*s - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

double StrToDouble(const char* s) {
  constexpr int kMaxDigits = 127;
  bool negative = false;
  if (*s == '-') {
    negative = true;
    ++s;
  }
  const char* intDigits = s;
  int intCount = 0;
  const char* fracDigits = nullptr;
  int fracCount = 0;
  bool expSeen = false, expNegative = false;
  int expCount = 0;
  long long exponent = 0;
  enum { Integer, Fraction, ExponentSign, Exponent } part = Integer;
  for (; *s != '\0'; ++s) {
    char c = *s;
    bool digit = c >= '0' && c <= '9';
    switch (part) {
      case Integer:
        if (digit) {
          if (++intCount > kMaxDigits) return 0.0;
        } else if (c == '.') {
          part = Fraction;
          fracDigits = s + 1;
        } else if (c == 'e' || c == 'E') {
          part = ExponentSign;
          expSeen = true;
        } else {
          return 0.0;
        }
        break;
      case Fraction:
        if (digit) {
          if (++fracCount > kMaxDigits) return 0.0;
        } else if (c == 'e' || c == 'E') {
          part = ExponentSign;
          expSeen = true;
        } else {
          return 0.0;  // a second '.' or any other character
        }
        break;
      case ExponentSign:
        if (c == '+' || c == '-') {
          expNegative = c == '-';
          part = Exponent;
          break;
        }
        part = Exponent;
        [[fallthrough]];
      case Exponent:
        if (!digit) return 0.0;
        if (++expCount > kMaxDigits) return 0.0;
        if (exponent < 100000) exponent = exponent * 10 + (c - '0');
        break;
    }
  }
  (void)expSeen;
  if (intCount == 0 && fracCount == 0) return 0.0;

  double value = 0.0, weight = 1.0;
  for (int i = intCount - 1; i >= 0; --i) {
    value += (intDigits[i] - '0') * weight;
    weight *= 10.0;
  }
  double divisor = 10.0;
  for (int i = 0; i < fracCount; ++i) {
    value += (fracDigits[i] - '0') / divisor;
    divisor *= 10.0;
  }
  if (negative) value = -value;
  // Scaling stops once the value can no longer change, so a huge exponent
  // costs no more than a few hundred steps.
  for (long long i = 0; i < exponent && value != 0.0 && std::isfinite(value); ++i)
    value = expNegative ? value / 10.0 : value * 10.0;
  return value;
}

char* IntToStr(int32_t value, char* buffer, int32_t radix) {
  if (radix < 2 || radix > 36) {
    buffer[0] = '\0';
    return buffer;
  }
  char digits[33];
  int count = 0;
  // The magnitude is taken unsigned, so INT32_MIN needs no negation overflow.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    uint32_t d = magnitude % static_cast<uint32_t>(radix);
    digits[count++] = static_cast<char>(d < 10 ? '0' + d : 'a' + (d - 10));
    magnitude /= static_cast<uint32_t>(radix);
  } while (magnitude != 0);
  char* out = buffer;
  if (value < 0) *out++ = '-';
  while (count > 0) *out++ = digits[--count];
  *out = '\0';
  return buffer;
}

int32_t AbsInt(int32_t value) {
  return value < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(value)) : value;
}

float AbsFloat(float value) { return std::fabs(value); }

int32_t DoubleToIntTrunc(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t FloatToIntTrunc(float value) { return DoubleToIntTrunc(value); }

void RectDoubleToInt(double x1, double y1, double x2, double y2, int32_t* out) {
  out[0] = DoubleToIntTrunc(x1);
  out[1] = DoubleToIntTrunc(y1);
  out[2] = DoubleToIntTrunc(x2);
  out[3] = DoubleToIntTrunc(y2);
}

float SqrtFloat(float value) { return std::sqrt(value); }

double PowFloat(float base, float exponent) {
  return std::pow(static_cast<double>(base), static_cast<double>(exponent));
}

void ComputeSinCos(float angle, float* sinOut, float* cosOut) {
  double a = angle;
  *sinOut = static_cast<float>(std::sin(a));
  *cosOut = static_cast<float>(std::cos(a));
}

// ---------------------------------------------------------------- handle list

int InitHandleList(HandleListNode* head, HandleListNode* tail) {
  head->handle = -1;
  head->record = nullptr;
  head->prev = nullptr;
  head->next = tail;
  tail->handle = -1;
  tail->record = nullptr;
  tail->prev = head;
  tail->next = nullptr;
  return 0;
}

int AddHandleListNode(HandleListNode* head, HandleListNode* node, int32_t handle, void* record) {
  node->handle = handle;
  node->record = record;
  node->prev = head;
  node->next = head->next;
  head->next->prev = node;
  head->next = node;
  return 0;
}

int RemoveHandleListNode(HandleListNode* node) {
  node->prev->next = node->next;
  node->next->prev = node->prev;
  node->prev = nullptr;
  node->next = nullptr;
  return 0;
}

// ---------------------------------------------------------------- paths

int QueryCurrentDirectory(char* out, size_t outSize) {
  // Through the file function table's get-current-directory slot, which
  // writes at most MAX_PATH chars and leaves the buffer alone on failure.
  char current[MAX_PATH] = "";
  ActiveFileFunctions.GetCurrentDir(current);
  size_t length = strnlen(current, sizeof current);
  if (length == 0 || length >= sizeof current || length >= outSize) {
    if (outSize > 0) out[0] = '\0';
    return -1;
  }
  memcpy(out, current, length + 1);
  return 0;
}

namespace {

bool IsSlash(char c) { return c == '/' || c == '\\'; }

// Bounded appends into the path being built.
struct PathBuilder {
  char* out;
  size_t size;
  size_t length = 0;
  bool overflow = false;

  void Append(const char* text, size_t n) {
    if (overflow || length + n + 1 > size) {
      overflow = true;
      return;
    }
    memcpy(out + length, text, n);
    length += n;
    out[length] = '\0';
  }

  // Removes the last component: back to the last backslash, never past the
  // drive colon or a leading backslash.
  void RemoveLast() {
    size_t last = SIZE_MAX;
    for (size_t i = 0; i < length; ++i) {
      if (IsDoubleByteAt(out + i)) {
        ++i;
        continue;
      }
      if (out[i] == '\\') last = i;
    }
    if (last == SIZE_MAX) return;
    length = last == 0 ? 1 : last;
    out[length] = '\0';
  }
};

}  // namespace

int MakeFullPath(const char* path, char* out, size_t outSize, const char* base) {
  if (outSize == 0) return -1;
  char current[MAX_PATH * 4];
  if (base == nullptr) {
    if (QueryCurrentDirectory(current, sizeof current) != 0) {
      out[0] = '\0';
      return -1;
    }
    base = current;
  }
  out[0] = '\0';
  PathBuilder b{out, outSize};

  if (path == nullptr) {
    b.Append(base, strlen(base));
  } else {
    const char* p = path;
    if (IsSlash(p[0]) && IsSlash(p[1])) {
      b.Append("\\", 1);
      p += 2;
    } else if (IsSlash(p[0])) {
      b.Append(base, strnlen(base, 2));
      p += 1;
    } else if (p[0] != '\0' && p[1] == ':') {
      b.Append(p, 2);
      p += 2;
      if (IsSlash(*p)) ++p;
    } else {
      // The base without its trailing separator (a single-byte one only).
      size_t n = 0, lastStart = 0;
      while (base[n] != '\0') {
        lastStart = n;
        n += IsDoubleByteAt(base + n) ? 2 : 1;
      }
      if (n > 0 && n - lastStart == 1 && IsSlash(base[lastStart])) n = lastStart;
      b.Append(base, n);
    }

    while (*p != '\0') {
      const char* start = p;
      while (*p != '\0' && !IsSlash(*p)) p += IsDoubleByteAt(p) ? 2 : 1;
      size_t n = static_cast<size_t>(p - start);
      if (n == 1 && start[0] == '.') {
        // skipped
      } else if (n == 2 && start[0] == '.' && start[1] == '.') {
        b.RemoveLast();
      } else if (n > 0) {
        b.Append("\\", 1);
        b.Append(start, n);
      }
      if (IsSlash(*p)) ++p;
    }
  }

  if (b.overflow) {
    out[0] = '\0';
    return -1;
  }
  return 0;
}
