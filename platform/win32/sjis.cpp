#include "platform/win32/sjis.h"

#include <dirent.h>
#include <iconv.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
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

// Set when the calling thread's converters have been closed: a trivially
// destructible flag, still readable from the exit handlers that run after
// the main thread's thread-local objects are gone.
thread_local bool threadConvertersClosed = false;

// The calling thread's converters, one per pair of encodings, opened at
// their first use and closed when the thread ends.
class ThreadConverters {
 public:
  ThreadConverters() = default;
  ThreadConverters(const ThreadConverters&) = delete;
  ThreadConverters& operator=(const ThreadConverters&) = delete;
  ~ThreadConverters() { threadConvertersClosed = true; }

  Converter& Get(const char* to, const char* from) {
    for (Entry& e : entries_)
      if (e.to == to && e.from == from) return *e.converter;
    entries_.push_back({to, from, std::make_unique<Converter>(to, from)});
    return *entries_.back().converter;
  }

 private:
  struct Entry {
    std::string to, from;
    std::unique_ptr<Converter> converter;
  };
  std::vector<Entry> entries_;
};

// Converts in from one encoding to another with this thread's converter,
// or, once the thread's converters are closed, with one opened for the call.
bool ConvertText(const char* to, const char* from, std::string_view in, std::string& out,
                 std::string_view replacement = {}) {
  if (threadConvertersClosed) return Converter(to, from).Convert(in, out, replacement);
  thread_local ThreadConverters converters;
  return converters.Get(to, from).Convert(in, out, replacement);
}

bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string FoldAsciiCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

// Listings of the directories that case-blind look-ups have read.
//
// A watched listing: the directory is watched (inotify) from before it is
// read, and the listing is used again, without asking the file system, until
// the kernel reports a change of its entries or of the directory itself.
// Every path look-up first takes the reports that have come in (one read of
// the watch descriptor), so a file made by another program before the
// look-up is seen by it. A watch follows its directory, not the path it was
// listed by: a parent folder renamed or exchanged for another, or a link on
// the path repointed, reports nothing to it while the path leads elsewhere.
// So what a watched listing answers is looked at on disk before it stands:
// a path found is taken once it exists, and a miss once the directory it
// was missed in exists and is still the one its listing lists, unchanged
// (one look either way). Otherwise each watched listing that answered is
// looked at, those that no longer hold are forgotten, and the path is
// matched again.
//
// Where no watch can be set, a listing is used again while the directory is
// the same one (device and inode) with the same modification and change
// times, asked of the file system at each use. Such a listing is kept only
// when the directory's last modification lies in an earlier tick of the
// clock that file systems stamp times with than the moment the listing was
// begun: every later change then moves the modification time off the kept
// one (a change within the same tick would not). A file system that keeps
// whole seconds needs two of them.
//
// The program's own creations and deletions forget every listing.
struct DirectoryListing {
  int watch = -1;  // the inotify watch, or -1: the times below decide
  dev_t device = 0;
  ino_t inode = 0;
  timespec modified{};
  timespec changed{};
  uint64_t checkedIn = 0;  // the look-up that last read the directory or looked at it
  std::unordered_set<std::string> names;
  std::unordered_map<std::string, std::string> byFoldedName;  // the first entry of each folded name
};

std::mutex listingMutex;
std::unordered_map<std::string, DirectoryListing> listings;
std::atomic<int64_t> directoryReads{0};
uint64_t lookUp = 0;  // the number of the current path look-up

// The watch descriptor (-1 before the first watch or where there is none)
// and the listings each watch stands for (one directory may be listed under
// more than one path: relative and absolute, or through links).
int watchFd = -1;
bool watchOpened = false;
std::unordered_map<int, std::vector<std::string>> watchedDirectories;

void Unwatch(int watch, const std::string& dir) {
  auto entry = watchedDirectories.find(watch);
  if (entry == watchedDirectories.end()) return;
  auto& dirs = entry->second;
  dirs.erase(std::remove(dirs.begin(), dirs.end(), dir), dirs.end());
  if (dirs.empty()) watchedDirectories.erase(entry);
}

// The current directory the relative listings were read in.
dev_t relativeDevice = 0;
ino_t relativeInode = 0;

// Relative listings belong to the current directory they were read in:
// when it has changed, they are forgotten.
void CheckCurrentDirectory() {
  struct stat st;
  if (stat(".", &st) != 0) st = {};
  if (st.st_dev == relativeDevice && st.st_ino == relativeInode) return;
  relativeDevice = st.st_dev;
  relativeInode = st.st_ino;
  for (auto listing = listings.begin(); listing != listings.end();) {
    if (!listing->first.empty() && listing->first[0] == '/') {
      ++listing;
      continue;
    }
    if (listing->second.watch >= 0) Unwatch(listing->second.watch, listing->first);
    listing = listings.erase(listing);
  }
}

constexpr uint32_t kWatchedChanges =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

void DropWatchedListings(int watch) {
  auto entry = watchedDirectories.find(watch);
  if (entry == watchedDirectories.end()) return;
  for (const std::string& dir : entry->second) {
    auto listing = listings.find(dir);
    if (listing != listings.end() && listing->second.watch == watch) listings.erase(listing);
  }
  watchedDirectories.erase(entry);
}

// Takes the reports of changes that have come in: the listings they concern
// are forgotten (every watched listing when reports were lost).
void TakeChangeReports() {
  if (watchFd < 0) return;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = read(watchFd, buffer, sizeof buffer);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return;
    }
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & IN_Q_OVERFLOW) {
        while (!watchedDirectories.empty()) DropWatchedListings(watchedDirectories.begin()->first);
      } else {
        DropWatchedListings(event->wd);
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

// A watch of dir, set before it is read; -1 where none can be set.
int WatchDirectory(const std::string& dir) {
  if (!watchOpened) {
    watchOpened = true;
    watchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  }
  if (watchFd < 0) return -1;
  const int watch = inotify_add_watch(watchFd, dir.c_str(), kWatchedChanges);
  if (watch >= 0) watchedDirectories[watch].push_back(dir);
  return watch;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

int64_t Nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

bool Settled(const timespec& modified, const timespec& begun) {
  if (modified.tv_nsec == 0) return Nanoseconds(modified) + 2'000'000'000 <= Nanoseconds(begun);
  return Nanoseconds(modified) < Nanoseconds(begun);
}

// Reads dir into listing (when given), or looks for name alone.
bool ReadDirectory(const std::string& dir, DirectoryListing* listing, std::string_view name, std::string* found) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return false;
  ++directoryReads;
  bool hit = false;
  while (dirent* e = readdir(d)) {
    if (listing != nullptr) {
      listing->names.emplace(e->d_name);
      listing->byFoldedName.emplace(FoldAsciiCase(e->d_name), e->d_name);
    } else if (FoldAsciiCase(e->d_name) == name) {
      *found = e->d_name;
      hit = true;
      break;
    }
  }
  closedir(d);
  return listing != nullptr || hit;
}

// What a look for an entry found.
enum class Entry {
  kFound,
  kNone,         // the directory holds no such entry
  kNoneUnseen,   // its watched listing, not looked at on disk in this look-up, holds none
  kNoDirectory,  // no directory is there
};

// The entry of dir named name (dir ends in '/', or is empty for the current
// directory): the name itself when it exists as written, else the entry
// whose name equals it without regard to ASCII case. A kept listing answers
// both questions without asking the file system; a watched one not looked at
// on disk in this look-up adds its directory to unchecked.
// (Called with listingMutex held, the change reports taken.)
Entry FindEntry(const std::string& dirAsked, std::string_view name, std::string& found,
                std::vector<std::string>& unchecked) {
  const std::string dir = dirAsked.empty() ? "." : dirAsked;
  const std::string key = FoldAsciiCase(name);
  auto cached = listings.find(dir);
  bool unseen = false;
  if (cached == listings.end() || cached->second.watch < 0) {
    const std::string asWritten = dirAsked + std::string(name);
    // A name that exists as written needs no listing: directories passed
    // through on the way (a shared /tmp, say) are not read, nor read again
    // whenever another program changes them.
    if (cached == listings.end() && Exists(asWritten)) {
      found = name;
      return Entry::kFound;
    }
    timespec begun;
    clock_gettime(CLOCK_REALTIME_COARSE, &begun);
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      if (cached != listings.end()) listings.erase(cached);
      if (!Exists(asWritten)) return Entry::kNoDirectory;
      found = name;
      return Entry::kFound;
    }
    if (cached == listings.end() || cached->second.device != st.st_dev || cached->second.inode != st.st_ino ||
        !SameTime(cached->second.modified, st.st_mtim) || !SameTime(cached->second.changed, st.st_ctim)) {
      if (cached != listings.end()) listings.erase(cached);
      DirectoryListing listing;
      listing.watch = WatchDirectory(dir);
      if (listing.watch < 0) {
        if (Exists(asWritten)) {
          found = name;
          return Entry::kFound;
        }
        if (!Settled(st.st_mtim, begun))
          return ReadDirectory(dir, nullptr, key, &found) ? Entry::kFound : Entry::kNone;
      }
      listing.device = st.st_dev;
      listing.inode = st.st_ino;
      listing.modified = st.st_mtim;
      listing.changed = st.st_ctim;
      listing.checkedIn = lookUp;
      if (!ReadDirectory(dir, &listing, key, nullptr)) {
        // A directory that cannot be read may still be passed through.
        if (listing.watch >= 0) Unwatch(listing.watch, dir);
        if (!Exists(asWritten)) return Entry::kNone;
        found = name;
        return Entry::kFound;
      }
      cached = listings.emplace(dir, std::move(listing)).first;
    }
  } else if (cached->second.checkedIn != lookUp) {
    unchecked.push_back(dir);
    unseen = true;
  }
  if (cached->second.names.count(std::string(name)) != 0) {
    found = name;
    return Entry::kFound;
  }
  auto hit = cached->second.byFoldedName.find(key);
  if (hit == cached->second.byFoldedName.end()) return unseen ? Entry::kNoneUnseen : Entry::kNone;
  found = hit->second;
  return Entry::kFound;
}

// Whether dir still leads to the directory its listing lists, as it was
// read: not when a parent was renamed or replaced or a link repointed, nor
// when it changed since (the watch does not hear of every change: those
// made by another machine on a network file system).
bool ListingHolds(const std::string& dir, DirectoryListing& kept) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_dev != kept.device || st.st_ino != kept.inode ||
      !SameTime(st.st_mtim, kept.modified) || !SameTime(st.st_ctim, kept.changed))
    return false;
  kept.checkedIn = lookUp;
  return true;
}

// Looks at each directory in dirs on disk and forgets the listings that no
// longer hold. True when none was forgotten.
bool CheckListings(const std::vector<std::string>& dirs) {
  bool held = true;
  for (const std::string& dir : dirs) {
    auto listing = listings.find(dir);
    if (listing == listings.end()) continue;  // named twice, and forgotten already
    if (ListingHolds(dir, listing->second)) continue;
    Unwatch(listing->second.watch, dir);
    listings.erase(listing);
    held = false;
  }
  return held;
}

// Matches path's components one by one, starting at out ("/" or empty);
// miss tells what the first component that matched nothing met (those from
// it on are kept as written), missedIn the directory it was looked for in;
// unchecked lists the watched listings that answered unseen.
std::string MatchComponents(const std::string& path, std::string out, Entry& miss, std::string& missedIn,
                            std::vector<std::string>& unchecked) {
  size_t pos = out.size();
  miss = Entry::kFound;
  bool notFound = false;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    std::string_view component(path.data() + pos, end - pos);
    bool last = end == path.size();
    if (!component.empty()) {
      std::string candidate = out + std::string(component);
      if (!notFound && component != "." && component != "..") {
        std::string found;
        miss = FindEntry(out, component, found, unchecked);
        if (miss == Entry::kFound) {
          candidate = out + found;
        } else {
          notFound = true;
          missedIn = out.empty() ? "." : out;
        }
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

}  // namespace

bool SjisToUtf8(std::string_view sjis, std::string& utf8) {
  if (IsAscii(sjis)) {
    utf8.assign(sjis);
    return true;
  }
  return ConvertText("UTF-8", "CP932", sjis, utf8);
}

bool Utf8ToSjis(std::string_view utf8, std::string& sjis) {
  if (IsAscii(utf8)) {
    sjis.assign(utf8);
    return true;
  }
  return ConvertText("CP932", "UTF-8", utf8, sjis);
}

std::string MapPathToHost(std::string_view sjisPath) { return MapPathToHost(sjisPath, nullptr); }

std::string MapPathToHost(std::string_view sjisPath, bool* missing) {
  std::string utf8;
  SjisToUtf8(sjisPath, utf8);
  return MapUtf8PathToHost(utf8, missing);
}

std::string MapUtf8PathToHost(std::string_view utf8Path) { return MapUtf8PathToHost(utf8Path, nullptr); }

std::string MapUtf8PathToHost(std::string_view utf8Path, bool* missing) {
  if (missing != nullptr) *missing = false;
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
  std::lock_guard<std::mutex> lock(listingMutex);
  ++lookUp;
  TakeChangeReports();
  bool absolute = path[0] == '/';
  if (!absolute) CheckCurrentDirectory();
  // What the watched listings answered unseen stands once the path found
  // exists, or the directory missed in was seen on disk or still holds its
  // listing, or else once each of them still holds; those that no longer
  // hold are forgotten and the path is matched again. A round that does not
  // end forgets a listing not yet looked at in this look-up, and the
  // listings read or looked at in it answer unseen no more: the rounds end.
  for (;;) {
    Entry miss = Entry::kFound;
    std::string missedIn;
    std::vector<std::string> unchecked;
    std::string out = MatchComponents(path, absolute ? "/" : "", miss, missedIn, unchecked);
    bool stands = unchecked.empty();
    if (!stands) {
      switch (miss) {
        case Entry::kFound:
          stands = Exists(out);
          break;
        case Entry::kNone:
          stands = true;
          break;
        case Entry::kNoneUnseen: {
          auto kept = listings.find(missedIn);
          stands = kept != listings.end() && ListingHolds(missedIn, kept->second);
          break;
        }
        case Entry::kNoDirectory:
          break;
      }
    }
    if (stands || CheckListings(unchecked)) {
      if (missing != nullptr) *missing = miss != Entry::kFound;
      return out;
    }
  }
}

void ForgetDirectoryListings() {
  std::lock_guard<std::mutex> lock(listingMutex);
  listings.clear();
  watchedDirectories.clear();
  // The watches go with their descriptor; the next listing opens another.
  if (watchFd >= 0) close(watchFd);
  watchFd = -1;
  watchOpened = false;
}

int64_t PlatformDirectoryReadCount() { return directoryReads.load(); }

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
  ConvertText("UTF-16LE", page, std::string_view(text, length), wide, std::string_view(kReplacement, 2));
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
  const bool clean =
      ConvertText(page, "UTF-16LE", std::string_view(reinterpret_cast<const char*>(text), length * 2), narrow, "?");
  if (usedDefault != nullptr) *usedDefault = clean ? FALSE : TRUE;
  if (bytes == 0) return static_cast<int>(narrow.size());
  if (out == nullptr || narrow.size() > static_cast<size_t>(bytes)) return 0;
  memcpy(out, narrow.data(), narrow.size());
  return static_cast<int>(narrow.size());
}

std::string WideToUtf8(LPCWSTR text) {
  std::string utf8;
  if (text == nullptr) return utf8;
  ConvertText("UTF-8", "UTF-16LE", std::string_view(reinterpret_cast<const char*>(text), WideLength(text) * 2), utf8,
              "?");
  return utf8;
}
