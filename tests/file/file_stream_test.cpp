#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "library/file/archive_files.h"
#include "library/file/disk_file.h"
#include "library/file/memory_stream.h"
#include "tests/file/file_fixture.h"

namespace {

using StreamFileTest = FileTest;

TEST(MemoryStreamTest, WholeElementsClampedSeeksAndEndOfFile) {
  const uint8_t data[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  int32_t blocks = TrackedBlockCount();
  MemoryStream* stream = OpenMemoryStream(data, sizeof data);
  ASSERT_NE(stream, nullptr);
  auto h = reinterpret_cast<uintptr_t>(stream);
  const StreamInterface* io = GetMemoryStreamInterface();

  uint8_t out[40];
  memset(out, 0xEE, sizeof out);
  EXPECT_EQ(io->Read(out, 4, 10, h), 2u);  // 10 elements of 4 with 9 bytes left
  EXPECT_EQ(0, memcmp(out, data, 8));
  EXPECT_EQ(out[8], 0xEE);
  EXPECT_EQ(io->Tell(h), 8);
  // One byte left is no whole element: nothing is copied or passed over, and
  // the read reports the end.
  EXPECT_EQ(io->Read(out, 4, 1, h), 0u);
  EXPECT_EQ(out[8], 0xEE);
  EXPECT_NE(io->Eof(h), 0);
  EXPECT_EQ(io->Tell(h), 8);
  EXPECT_EQ(io->Read(out, 1, 5, h), 1u);  // the byte is still there by single bytes
  EXPECT_EQ(out[0], 9);
  EXPECT_EQ(io->Eof(h), 0);
  EXPECT_EQ(io->Read(out, 1, 1, h), 0u);
  EXPECT_NE(io->Eof(h), 0);
  EXPECT_EQ(io->Read(out, 0, 3, h), 0u);  // element size 0 and count 0 do nothing
  EXPECT_EQ(io->Read(out, 3, 0, h), 0u);
  EXPECT_EQ(io->Idle(h), 1);

  struct Seek {
    int32_t offset, origin, position;
  } seeks[] = {{-5, 0, 0}, {4, 0, 4}, {100, 0, 9}, {-2, 1, 7}, {-20, 1, 0}, {-3, 2, 6}, {1, 2, 9}};
  for (const Seek& s : seeks) {
    io->Read(out, 1, 100, h);  // leaves the end-of-file flag set
    EXPECT_EQ(io->Seek(h, s.offset, s.origin), 0);
    EXPECT_EQ(io->Tell(h), s.position) << s.offset << " from " << s.origin;
    EXPECT_EQ(io->Eof(h), 0);
  }
  EXPECT_EQ(io->Seek(h, 0, 3), -1);

  // 2^31 elements of 4 bytes must not wrap to a small size.
  io->Seek(h, 0, 0);
  EXPECT_EQ(io->Read(out, 4, 0x80000000u, h), 2u);
  EXPECT_EQ(io->Read(out, 0x80000000u, 2, h), 0u);
  EXPECT_EQ(io->Close(h), 0);
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

TEST_F(StreamFileTest, GetCharGivesMinusOneAtTheEndAndForByteFF) {
  WriteFileBytes("abc.bin", {0x41, 0xFF, 0x42});
  WriteFileBytes("empty.bin", {});
  for (int async : {0, 1}) {
    FileId file = FileStreamOpenRead("abc.bin", async);
    ASSERT_NE(file, 0u);
    std::string text;
    for (char c; (c = FileStreamGetChar(file)) != -1;) text += c;
    EXPECT_EQ(text, "A");  // a reader that stops at -1 never sees 0x42
    EXPECT_EQ(FileStreamGetChar(file), 'B');
    EXPECT_EQ(FileStreamGetChar(file), -1);
    EXPECT_EQ(FileStreamGetChar(file), -1);
    EXPECT_EQ(FileStreamClose(file), 0);
  }
  FileId empty = FileStreamOpenRead("empty.bin", 0);
  ASSERT_NE(empty, 0u);
  EXPECT_EQ(FileStreamGetChar(empty), -1);
  FileStreamClose(empty);
  // A file that did not open reads as ended.
  EXPECT_EQ(FileStreamOpenRead("missing.bin", 0), 0u);
  EXPECT_EQ(FileStreamGetChar(0), -1);
  EXPECT_EQ(FileStreamClose(0), -1);
}

TEST_F(StreamFileTest, DiskSetReadsWholeElementsClampsSeeksAndRefusesMissingFiles) {
  std::vector<uint8_t> bytes = PatternBytes(10, 1);
  WriteFileBytes("ten.bin", bytes);
  FileId file = DiskFileOpen("ten.bin", 0, 1, 0);
  ASSERT_NE(file, 0u);
  uint8_t out[16] = {};
  EXPECT_EQ(DiskFileRead(out, 0, 5, file), 0u);
  EXPECT_EQ(DiskFileTell(file), 0);
  EXPECT_EQ(DiskFileEof(file), 0);
  EXPECT_EQ(DiskFileRead(out, 4, 3, file), 2u);
  EXPECT_EQ(0, memcmp(out, bytes.data(), 8));
  EXPECT_EQ(DiskFileRead(out, 4, 1, file), 0u);  // two bytes left: no whole element
  EXPECT_EQ(DiskFileEof(file), -1);
  EXPECT_EQ(DiskFileTell(file), 8);
  EXPECT_EQ(DiskFileSeek(file, 3, 1), 0);  // past the end: clamped
  EXPECT_EQ(DiskFileTell(file), 10);
  EXPECT_EQ(DiskFileEof(file), 0);
  EXPECT_EQ(DiskFileSeek(file, -100, 2), 0);
  EXPECT_EQ(DiskFileTell(file), 0);
  EXPECT_EQ(DiskFileRead(out, 0x40000000u, 8, file), 0u);  // size times count would wrap
  EXPECT_EQ(DiskFileRead(out, 2, 0x80000001u, file), 5u);
  EXPECT_EQ(0, memcmp(out, bytes.data(), 10));
  EXPECT_EQ(DiskFileIdle(file), 1);
  EXPECT_EQ(DiskFileClose(file), 0);

  // A missing file opens in no mode, logs nothing and starts no thread.
  int threads = PlatformLiveThreadCount();
  int32_t blocks = TrackedBlockCount();
  for (int mode = 0; mode < 4; ++mode)
    EXPECT_EQ(DiskFileOpen("nothing.bin", mode & 1, 1, mode >> 1), 0u);
  EXPECT_EQ(PlatformLiveThreadCount(), threads);
  EXPECT_EQ(TrackedBlockCount(), blocks);
  EXPECT_EQ(Log(), "");
  // Operations on the null id fail instead of touching memory.
  EXPECT_EQ(DiskFileTell(0), -1);
  EXPECT_EQ(DiskFileSeek(0, 0, 0), -1);
  EXPECT_EQ(DiskFileRead(out, 1, 1, 0), 0u);
  EXPECT_EQ(DiskFileClose(0), -1);
}

TEST_F(StreamFileTest, FileStreamsFollowTheTableInstalledAtTheCall) {
  WriteFileBytes("a.bin", {1, 2, 3});
  SetFileFunctionTable(&DiskFileFunctions);
  FileId file = FileStreamOpen("a.bin", 0, 1, 0);
  ASSERT_NE(file, 0u);

  // A table whose read always reports one element of 0x7F.
  static int reads = 0;
  FileFunctionTable counting = DiskFileFunctions;
  counting.Read = [](void* buffer, uint32_t, uint32_t, FileId) -> uint32_t {
    ++reads;
    *static_cast<uint8_t*>(buffer) = 0x7F;
    return 1;
  };
  const StreamInterface* io = GetFileStreamInterface();
  uint8_t byte = 0;
  EXPECT_EQ(io->Read(&byte, 1, 1, file), 1u);
  EXPECT_EQ(byte, 1);
  SetFileFunctionTable(&counting);
  EXPECT_EQ(io->Read(&byte, 1, 1, file), 1u);
  EXPECT_EQ(byte, 0x7F);
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(io->Tell(file), 1);
  EXPECT_EQ(io->Close(file), 0);

  // Null installs the archive-aware set, or the plain-disk set with archive support off.
  SetFileFunctionTable(nullptr);
  EXPECT_EQ(ActiveFileFunctions.Open, ArchiveFileFunctions.Open);
  ArchiveSupportOff = 1;
  SetFileFunctionTable(nullptr);
  EXPECT_EQ(ActiveFileFunctions.Open, DiskFileOpen);
  EXPECT_EQ(ActiveFileFunctions.FindClose, DiskFindClose);
  ArchiveSupportOff = 0;
}

TEST_F(StreamFileTest, MakeFullPathAsksTheTableForTheCurrentDirectory) {
  FileFunctionTable table = DiskFileFunctions;
  table.GetCurrentDir = [](char* buffer) {
    strcpy(buffer, "D:\\game");
    return 7;
  };
  SetFileFunctionTable(&table);
  char out[64];
  EXPECT_EQ(MakeFullPath("data\\..\\img\\a.png", out, nullptr), 0);
  EXPECT_STREQ(out, "D:\\game\\img\\a.png");
  table.GetCurrentDir = [](char*) { return 0; };  // writes nothing
  SetFileFunctionTable(&table);
  EXPECT_EQ(MakeFullPath("a.png", out, nullptr), -1);
}

// ---------------------------------------------------------------- find

void SetWriteTime(const std::string& path, int year, int month, int day, int hour, int minute, int second) {
  tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  timespec times[2] = {{mktime(&parts), 0}, {mktime(&parts), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

FileDateTime LocalBirthTime(const std::string& path) {
  struct statx sx;
  EXPECT_EQ(statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx), 0);
  time_t t = (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
  tm parts;
  localtime_r(&t, &parts);
  return {static_cast<uint32_t>(parts.tm_year + 1900), static_cast<uint32_t>(parts.tm_mon + 1),
          static_cast<uint32_t>(parts.tm_mday),        static_cast<uint32_t>(parts.tm_hour),
          static_cast<uint32_t>(parts.tm_min),         static_cast<uint32_t>(parts.tm_sec)};
}

bool operator==(const FileDateTime& a, const FileDateTime& b) {
  return memcmp(&a, &b, sizeof a) == 0;
}

// Every entry a search yields, by name.
std::map<std::string, FileFindInfo> FindAll(const std::string& pattern) {
  std::map<std::string, FileFindInfo> found;
  FileFindInfo info;
  FindHandle find = ActiveFileFunctions.FindFirst(pattern.c_str(), &info);
  if (find == -1) return found;
  do found[info.name] = info;
  while (ActiveFileFunctions.FindNext(find, &info) == 0);
  EXPECT_EQ(ActiveFileFunctions.FindClose(find), 0);
  return found;
}

TEST_F(StreamFileTest, FindReportsNamesFlagsSizesAndLocalTimesForWildcards) {
  SetFileFunctionTable(&DiskFileFunctions);
  TempDir dir;
  std::string sjisName = "表示.txt";
  WriteFileBytes(dir.Make(U8(u8"表示.txt")), PatternBytes(1234, 2));
  WriteFileBytes(dir.Make("abc.png"), PatternBytes(5, 3));
  WriteFileBytes(dir.Make("ABD.png"), {});
  WriteFileBytes(dir.Make(U8(u8"画像/x.png")), {});
  SetWriteTime(dir.path() + U8(u8"/表示.txt"), 2021, 3, 4, 5, 6, 7);

  std::string root = Win(dir.path());
  auto all = FindAll(root + "\\*");
  std::vector<std::string> names;
  for (auto& [name, info] : all) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "ABD.png", "abc.png", "画像", "表示.txt"}));

  const FileFindInfo& text = all[sjisName];
  EXPECT_EQ(text.isDirectory, 0u);
  EXPECT_EQ(text.sizeLow, 1234u);
  EXPECT_EQ(text.sizeHigh, 0u);
  EXPECT_TRUE((text.lastWriteTime == FileDateTime{2021, 3, 4, 5, 6, 7}));
  EXPECT_TRUE(text.creationTime == LocalBirthTime(dir.path() + U8(u8"/表示.txt")));
  EXPECT_EQ(all["画像"].isDirectory, 1u);
  EXPECT_EQ(all["."].isDirectory, 1u);

  struct Case {
    std::string pattern;
    std::vector<std::string> names;
  } cases[] = {
      {"ab?.PNG", {"ABD.png", "abc.png"}},
      {"*.*", {".", "..", "ABD.png", "abc.png", "画像", "表示.txt"}},
      {"表?.txt", {"表示.txt"}},  // '?' takes one character, also a double-byte one
      {"*示*", {"表示.txt"}},
      {"画像\\?.png", {"x.png"}},
      {"a?", {}},
      {"*.bmp", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    for (auto& [name, info] : FindAll(root + "\\" + c.pattern)) got.push_back(name);
    EXPECT_EQ(got, c.names) << c.pattern;
  }

  // Relative patterns search the current directory; the info may be null.
  ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
  FindHandle find = ActiveFileFunctions.FindFirst("*.png", nullptr);
  ASSERT_NE(find, -1);
  EXPECT_EQ(ActiveFileFunctions.FindNext(find, nullptr), 0);
  EXPECT_EQ(ActiveFileFunctions.FindNext(find, nullptr), -1);
  EXPECT_EQ(ActiveFileFunctions.FindClose(find), 0);
  ASSERT_TRUE(SetCurrentDirectoryA(SavedCurrentDirectory));
  EXPECT_EQ(ActiveFileFunctions.FindFirst((root + "\\none\\*").c_str(), nullptr), -1);
  EXPECT_EQ(ActiveFileFunctions.FindClose(-1), -1);
}

TEST(FileTimes, ConversionToCalendarTime) {
  struct Case {
    uint64_t ticks;
    SYSTEMTIME expected;
  } cases[] = {
      {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
      {116444736000000000ull, {1970, 1, 4, 1, 0, 0, 0, 0}},            // a Thursday
      {116444736000000000ull + 951782400ull * 10000000 + 12345678, {2000, 2, 2, 29, 0, 0, 1, 234}},
      {116444736000000000ull + 4107542399ull * 10000000, {2100, 2, 0, 28, 23, 59, 59, 0}},
  };
  for (const Case& c : cases) {
    FILETIME t{static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
    SYSTEMTIME s;
    ASSERT_TRUE(FileTimeToSystemTime(&t, &s));
    EXPECT_EQ(memcmp(&s, &c.expected, sizeof s), 0)
        << s.wYear << "-" << s.wMonth << "-" << s.wDay << " " << s.wDayOfWeek << " " << s.wHour << ":"
        << s.wMinute << ":" << s.wSecond << "." << s.wMilliseconds;
  }
  FILETIME huge{0, 0x80000000u};
  SYSTEMTIME s;
  EXPECT_FALSE(FileTimeToSystemTime(&huge, &s));
}

}  // namespace
