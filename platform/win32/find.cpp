#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/kernel_object.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32_file.h"
#include "platform/win32/win32_misc.h"

namespace {

constexpr uint64_t TicksPerSecond = 10000000u;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t SecondsTo1970 = 11644473600;

struct FindObject final : KernelObject {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

FindObject* AsFind(HANDLE handle) {
  return dynamic_cast<FindObject*>(KernelObjectFromHandle(handle));
}

FILETIME MakeFileTime(int64_t seconds, uint32_t nanoseconds) {
  uint64_t ticks = static_cast<uint64_t>(seconds + SecondsTo1970) * TicksPerSecond + nanoseconds / 100;
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(ticks);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
}

uint64_t Ticks(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// UTF-8 text as code points (a bad byte stands for itself).
std::vector<uint32_t> CodePoints(std::string_view text) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (i + extra >= text.size()) extra = 0;  // cut short: the byte stands alone
    uint32_t value = extra == 0 ? c : c & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) value = (value << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(value);
    i += 1 + extra;
  }
  return out;
}

uint32_t FoldCase(uint32_t c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

// '*' matches any run, '?' one character; ASCII letters match either case.
bool MatchWildcard(const std::vector<uint32_t>& name, const std::vector<uint32_t>& pattern) {
  size_t n = 0, p = 0, starP = SIZE_MAX, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p;
      ++n;
    } else if (starP != SIZE_MAX) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// Fills one result from the host entry; false when it cannot be reported.
bool DescribeEntry(const std::string& hostPath, const std::string& utf8Name, WIN32_FIND_DATAA* out) {
  struct statx sx;
  if (statx(AT_FDCWD, hostPath.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
  std::string sjis;
  if (!Utf8ToSjis(utf8Name, sjis) || sjis.size() >= sizeof out->cFileName) return false;
  memset(out, 0, sizeof *out);
  memcpy(out->cFileName, sjis.c_str(), sjis.size() + 1);
  bool directory = S_ISDIR(sx.stx_mode);
  out->dwFileAttributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((sx.stx_mode & 0222) == 0) out->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  if (!directory) {
    out->nFileSizeLow = static_cast<DWORD>(sx.stx_size);
    out->nFileSizeHigh = static_cast<DWORD>(sx.stx_size >> 32);
  }
  out->ftLastWriteTime = MakeFileTime(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
  out->ftLastAccessTime = MakeFileTime(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
  out->ftCreationTime = (sx.stx_mask & STATX_BTIME) != 0
                            ? MakeFileTime(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                            : out->ftLastWriteTime;
  return true;
}

}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  if (pattern == nullptr || data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // Split after the conversion, where every '\' is a separator.
  std::string utf8;
  SjisToUtf8(pattern, utf8);
  size_t slash = utf8.find_last_of("/\\");
  std::string directory = slash == std::string::npos ? "" : utf8.substr(0, slash + 1);
  std::string namePattern = slash == std::string::npos ? utf8 : utf8.substr(slash + 1);
  if (directory.empty() && utf8.size() >= 2 && utf8[1] == ':') {  // "C:name"
    directory = utf8.substr(0, 2);
    namePattern = utf8.substr(2);
  }
  if (namePattern == "*.*") namePattern = "*";

  std::string hostDir = directory.empty() ? "." : MapUtf8PathToHost(directory);
  if (hostDir.empty()) hostDir = "/";
  std::vector<uint32_t> wanted = CodePoints(namePattern);
  auto* find = new FindObject();
  if (!wanted.empty()) {
    std::vector<std::string> names;
    if (DIR* d = opendir(hostDir.c_str())) {
      while (dirent* e = readdir(d)) names.push_back(e->d_name);
      closedir(d);
    }
    char resolved[PATH_MAX];
    bool root = realpath(hostDir.c_str(), resolved) != nullptr && strcmp(resolved, "/") == 0;
    std::sort(names.begin(), names.end());  // "." and ".." sort first
    std::string prefix = hostDir.back() == '/' ? hostDir : hostDir + "/";
    for (const std::string& name : names) {
      if (root && (name == "." || name == "..")) continue;
      if (!MatchWildcard(CodePoints(name), wanted)) continue;
      WIN32_FIND_DATAA entry;
      if (DescribeEntry(prefix + name, name, &entry)) find->entries.push_back(entry);
    }
  }
  if (find->entries.empty()) {
    delete find;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *data = find->entries[0];
  find->next = 1;
  return HandleFromKernelObject(find);
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
  FindObject* find = AsFind(handle);
  if (find == nullptr || data == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (find->next >= find->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *data = find->entries[find->next++];
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  FindObject* find = AsFind(handle);
  if (find == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete find;
  return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  if (utc == nullptr || local == nullptr) return FALSE;
  uint64_t ticks = Ticks(*utc);
  time_t seconds = static_cast<time_t>(static_cast<int64_t>(ticks / TicksPerSecond) - SecondsTo1970);
  tm parts;
  if (localtime_r(&seconds, &parts) == nullptr) return FALSE;
  uint64_t shifted = ticks + static_cast<uint64_t>(static_cast<int64_t>(parts.tm_gmtoff) *
                                                   static_cast<int64_t>(TicksPerSecond));
  local->dwLowDateTime = static_cast<DWORD>(shifted);
  local->dwHighDateTime = static_cast<DWORD>(shifted >> 32);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* out) {
  if (time == nullptr || out == nullptr) return FALSE;
  uint64_t ticks = Ticks(*time);
  if (ticks >> 63) return FALSE;
  uint64_t days = ticks / (TicksPerSecond * 86400);
  uint64_t rest = ticks % (TicksPerSecond * 86400);
  // Civil date from the day count (proleptic Gregorian), counted in eras of
  // 400 years from 1600-03-01.
  int64_t z = static_cast<int64_t>(days) + 306;  // days since 1600-03-01
  int64_t era = z / 146097;
  int64_t dayOfEra = z - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = 1600 + yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  out->wYear = static_cast<WORD>(year);
  out->wMonth = static_cast<WORD>(month);
  out->wDay = static_cast<WORD>(day);
  out->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  out->wHour = static_cast<WORD>(rest / (TicksPerSecond * 3600));
  out->wMinute = static_cast<WORD>(rest / (TicksPerSecond * 60) % 60);
  out->wSecond = static_cast<WORD>(rest / TicksPerSecond % 60);
  out->wMilliseconds = static_cast<WORD>(rest / 10000 % 1000);
  return TRUE;
}
