#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "library/core/memory.h"
#include "library/file/disk_file.h"
#include "tests/file/file_fixture.h"

namespace {

using DiskFileThreadTest = FileTest;

// What a read or seek of the disk set must give, worked out with pread.
struct Oracle {
  int fd;
  uint32_t size;
  uint32_t position = 0;
  bool eof = false;

  uint32_t Read(uint8_t* out, uint32_t elementSize, uint32_t count) {
    if (elementSize == 0 || count == 0) return 0;
    uint64_t whole = std::min<uint64_t>(count, (size - position) / elementSize);
    if (whole == 0) {
      eof = true;
      return 0;
    }
    size_t bytes = static_cast<size_t>(whole * elementSize);
    EXPECT_EQ(pread(fd, out, bytes, position), static_cast<ssize_t>(bytes));
    position += static_cast<uint32_t>(bytes);
    eof = false;
    return static_cast<uint32_t>(whole);
  }
  void Seek(int32_t offset, int32_t origin) {
    int64_t base = origin == 0 ? 0 : origin == 1 ? position : size;
    position = static_cast<uint32_t>(std::clamp<int64_t>(base + offset, 0, size));
    eof = false;
  }
};

struct Mode {
  const char* name;
  int32_t useCache;
  int32_t async;
};

TEST_F(DiskFileThreadTest, RandomReadsAndSeeksAgreeWithPreadInEveryMode) {
  constexpr uint32_t kSize = 300007;  // more than two caches, odd
  WriteFileBytes("data.bin", PatternBytes(kSize, 7));
  int fd = open("data.bin", O_RDONLY);
  ASSERT_GE(fd, 0);
  const int threadsBefore = PlatformLiveThreadCount();
  const int32_t blocksBefore = TrackedBlockCount();
  const Mode modes[] = {{"plain", 0, 0}, {"thread", 0, 1}, {"cache", 1, 0}, {"cache+async", 1, 1}};
  const uint32_t elementSizes[] = {1, 2, 3, 4, 7, 16, 509, 4096, 65536, 200000};

  for (const Mode& mode : modes) {
    SCOPED_TRACE(mode.name);
    FileId file = DiskFileOpen("data.bin", mode.useCache, 1, mode.async);
    ASSERT_NE(file, 0u);
    EXPECT_EQ(PlatformLiveThreadCount(), threadsBefore + (mode.useCache || mode.async ? 1 : 0));
    Oracle oracle{fd, kSize};
    std::mt19937 random(1234);
    std::vector<uint8_t> got(kSize + 16), want(kSize + 16);
    for (int step = 0; step < 400; ++step) {
      uint32_t op = random() % 10;
      if (op < 6) {
        uint32_t elementSize = elementSizes[random() % std::size(elementSizes)];
        uint32_t count = random() % 5 == 0 ? 0x7FFFFFFFu : random() % (8 + 100000 / elementSize);
        uint32_t n = DiskFileRead(got.data(), elementSize, count, file);
        while (DiskFileIdle(file) == 0) Sleep(1);
        uint32_t expected = oracle.Read(want.data(), elementSize, count);
        ASSERT_EQ(n, expected) << "step " << step;
        ASSERT_EQ(0, memcmp(got.data(), want.data(), static_cast<size_t>(n) * elementSize)) << "step " << step;
      } else if (op < 9) {
        int32_t origin = static_cast<int32_t>(random() % 3);
        int32_t offset = static_cast<int32_t>(random() % (2 * kSize + 1000)) - static_cast<int32_t>(kSize) - 500;
        ASSERT_EQ(DiskFileSeek(file, offset, origin), 0);
        oracle.Seek(offset, origin);
      } else if (mode.useCache && step % 100 == 9) {
        Sleep(130);  // idle long enough for the thread to prefetch
      }
      ASSERT_EQ(DiskFileTell(file), static_cast<int32_t>(oracle.position)) << "step " << step;
      ASSERT_EQ(DiskFileEof(file) != 0, oracle.eof) << "step " << step;
    }
    // A forward reader after a pause reads the prefetched bytes.
    if (mode.useCache) {
      DiskFileSeek(file, 1000, 0);
      oracle.Seek(1000, 0);
      Sleep(250);
      for (int i = 0; i < 64; ++i) {
        uint32_t n = DiskFileRead(got.data(), 1, 3000, file);
        while (DiskFileIdle(file) == 0) Sleep(1);
        ASSERT_EQ(n, oracle.Read(want.data(), 1, 3000));
        ASSERT_EQ(0, memcmp(got.data(), want.data(), n));
      }
    }
    EXPECT_EQ(DiskFileClose(file), 0);
    EXPECT_EQ(PlatformLiveThreadCount(), threadsBefore);
  }
  EXPECT_EQ(TrackedBlockCount(), blocksBefore);
  close(fd);
  EXPECT_EQ(Log(), "");
}

TEST_F(DiskFileThreadTest, AsyncReadsRunBesideTheCallerAndCloseEndsTheThread) {
  std::vector<uint8_t> bytes = PatternBytes(1 << 20, 9);
  WriteFileBytes("big.bin", bytes);
  const int threadsBefore = PlatformLiveThreadCount();
  FileId file = DiskFileOpen("big.bin", 0, 1, 1);
  ASSERT_NE(file, 0u);
  std::vector<uint8_t> out(bytes.size());
  // The count of an async read is the one asked for; the bytes are there once idle.
  EXPECT_EQ(DiskFileRead(out.data(), 1024, 1024, file), 1024u);
  EXPECT_EQ(DiskFileTell(file), 1 << 20);
  WaitDiskFileIdle(file);
  EXPECT_EQ(DiskFileIdle(file), 1);
  EXPECT_EQ(out, bytes);
  // A seek right behind a read waits for it; a close right behind a read too.
  DiskFileSeek(file, 0, 0);
  DiskFileRead(out.data(), 1, 100, file);
  DiskFileSeek(file, 10, 0);
  DiskFileRead(out.data() + 100, 1, 100, file);
  EXPECT_EQ(DiskFileClose(file), 0);
  EXPECT_EQ(0, memcmp(out.data(), bytes.data(), 100));
  EXPECT_EQ(0, memcmp(out.data() + 100, bytes.data() + 10, 100));
  EXPECT_EQ(PlatformLiveThreadCount(), threadsBefore);
}

}  // namespace
