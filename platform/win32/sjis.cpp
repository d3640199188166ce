#include "platform/win32/sjis.h"

#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/win32/win32_wide.h"

namespace {

// One converter per thread and direction: iconv descriptors are not shared.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts in; bytes that do not convert are copied through unchanged, or
  // each replaced by `replacement` when one is given.
  bool Convert(std::string_view in, std::string& out, std::string_view replacement = {}) {
    out.clear();
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      out.assign(in);
      return false;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    bool clean = true;
    std::vector<char> buffer(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
      char* dst = buffer.data();
      size_t dstLeft = buffer.size();
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) continue;
      // An invalid or incomplete sequence: pass one byte through and go on.
      clean = false;
      if (replacement.empty())
        out.push_back(*src);
      else
        out.append(replacement);
      ++src;
      --srcLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return clean;
  }

 private:
  iconv_t cd_;
};

bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The entry of dir whose name equals name without regard to ASCII case.
bool FindEntryIgnoringCase(const std::string& dir, std::string_view name, std::string& found) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return false;
  bool ok = false;
  while (dirent* e = readdir(d)) {
    if (EqualIgnoringAsciiCase(e->d_name, name)) {
      found = e->d_name;
      ok = true;
      break;
    }
  }
  closedir(d);
  return ok;
}

}  // namespace

bool SjisToUtf8(std::string_view sjis, std::string& utf8) {
  if (IsAscii(sjis)) {
    utf8.assign(sjis);
    return true;
  }
  thread_local Converter converter("UTF-8", "CP932");
  return converter.Convert(sjis, utf8);
}

bool Utf8ToSjis(std::string_view utf8, std::string& sjis) {
  if (IsAscii(utf8)) {
    sjis.assign(utf8);
    return true;
  }
  thread_local Converter converter("CP932", "UTF-8");
  return converter.Convert(utf8, sjis);
}

std::string MapPathToHost(std::string_view sjisPath) {
  std::string utf8;
  SjisToUtf8(sjisPath, utf8);
  return MapUtf8PathToHost(utf8);
}

std::string MapUtf8PathToHost(std::string_view utf8Path) {
  std::string path(utf8Path);
  // Only after conversion is every 0x5C a separator: a Shift-JIS trail byte
  // of 0x5C is part of a multi-byte UTF-8 character now.
  for (char& c : path)
    if (c == '\\') c = '/';

  // A drive ("C:") stands for the host root; a network path ("//x") too.
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    size_t rest = 2;
    while (rest < path.size() && path[rest] == '/') ++rest;
    path = "/" + path.substr(rest);
  } else if (path.size() >= 2 && path[0] == '/' && path[1] == '/') {
    size_t rest = 2;
    while (rest < path.size() && path[rest] == '/') ++rest;
    path = "/" + path.substr(rest);
  }

  if (path.empty() || Exists(path)) return path;

  // Walk the components, matching each without regard to case where the
  // name as written does not exist.
  bool absolute = path[0] == '/';
  std::string out = absolute ? "/" : "";
  size_t pos = absolute ? 1 : 0;
  bool missing = false;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    std::string_view component(path.data() + pos, end - pos);
    bool last = end == path.size();
    if (!component.empty()) {
      std::string candidate = out + std::string(component);
      if (!missing && component != "." && component != ".." && !Exists(candidate)) {
        std::string found;
        if (FindEntryIgnoringCase(out, component, found))
          candidate = out + found;
        else
          missing = true;
      }
      out = candidate;
      if (!last) out += '/';
    } else if (last && !out.empty() && out.back() != '/') {
      out += '/';
    }
    pos = end + 1;
  }
  return out;
}

std::string HostPathToWindows(std::string_view hostPath) {
  std::string windows = "C:";
  if (hostPath.empty() || hostPath[0] != '/') windows += '\\';
  for (char c : hostPath) windows += c == '/' ? '\\' : c;
  std::string sjis;
  Utf8ToSjis(windows, sjis);
  return sjis;
}

// ---------------------------------------------------------------- wide text

namespace {

const char* CodePageName(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case 932:
      return "CP932";
    case 936:
      return "CP936";
    case 949:
      return "CP949";
    case 950:
      return "CP950";
    default:
      return nullptr;
  }
}

// The converter of one code page and direction for this thread.
Converter& CodePageConverter(const char* page, bool toWide) {
  struct Entry {
    std::string page;
    bool toWide;
    std::unique_ptr<Converter> converter;
  };
  thread_local std::vector<Entry> converters;
  for (Entry& e : converters)
    if (e.page == page && e.toWide == toWide) return *e.converter;
  converters.push_back({page, toWide,
                        std::make_unique<Converter>(toWide ? "UTF-16LE" : page, toWide ? page : "UTF-16LE")});
  return *converters.back().converter;
}

size_t WideLength(LPCWSTR text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int bytes, LPWSTR out, int chars) {
  const char* page = CodePageName(codePage);
  if (page == nullptr || text == nullptr || chars < 0) return 0;
  const size_t length = bytes < 0 ? strlen(text) + 1 : static_cast<size_t>(bytes);
  std::string wide;
  static const char kReplacement[2] = {'\xFD', '\xFF'};  // U+FFFD, little-endian
  CodePageConverter(page, true).Convert(std::string_view(text, length), wide, std::string_view(kReplacement, 2));
  const size_t count = wide.size() / 2;
  if (chars == 0) return static_cast<int>(count);
  if (out == nullptr || count > static_cast<size_t>(chars)) return 0;
  memcpy(out, wide.data(), count * 2);
  return static_cast<int>(count);
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int chars, LPSTR out, int bytes, LPCSTR,
                        BOOL* usedDefault) {
  const char* page = CodePageName(codePage);
  if (page == nullptr || text == nullptr || bytes < 0) return 0;
  const size_t length = chars < 0 ? WideLength(text) + 1 : static_cast<size_t>(chars);
  std::string narrow;
  const bool clean = CodePageConverter(page, false)
                         .Convert(std::string_view(reinterpret_cast<const char*>(text), length * 2), narrow, "?");
  if (usedDefault != nullptr) *usedDefault = clean ? FALSE : TRUE;
  if (bytes == 0) return static_cast<int>(narrow.size());
  if (out == nullptr || narrow.size() > static_cast<size_t>(bytes)) return 0;
  memcpy(out, narrow.data(), narrow.size());
  return static_cast<int>(narrow.size());
}

std::string WideToUtf8(LPCWSTR text) {
  std::string utf8;
  if (text == nullptr) return utf8;
  thread_local Converter converter("UTF-8", "UTF-16LE");
  converter.Convert(std::string_view(reinterpret_cast<const char*>(text), WideLength(text) * 2), utf8, "?");
  return utf8;
}
