#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "library/core/library_state.h"
#include "library/core/log.h"
#include "library/core/memory.h"
#include "platform/win32/win32.h"
#include "tests/support/scratch_log.h"

namespace {

class TrackedMemoryTest : public ScratchLogTest {
 protected:
  void SetUp() override {
    PlatformUseVirtualClock(true, 0);
    ScratchLogTest::SetUp();
  }
  void TearDown() override {
    ScratchLogTest::TearDown();
    PlatformUseVirtualClock(false);
  }
  static std::string Addr(const void* p) {
    char text[32];
    snprintf(text, sizeof text, "%08llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return text;
  }
  // The serial number the dump shows for the block at p, or -1.
  static int SerialOf(const std::string& log, const void* p) {
    size_t at = log.find("  addr:" + Addr(p));
    if (at == std::string::npos) return -1;
    size_t id = log.rfind("ID:", at);
    return id == std::string::npos ? -1 : std::stoi(log.substr(id + 3, at - id - 3));
  }
};

TEST_F(TrackedMemoryTest, DumpListsBlocksNewestFirstWithTotals) {
  int32_t baseSize = TrackedTotalSize(), baseCount = TrackedBlockCount();
  ASSERT_EQ(baseCount, 0);
  char* a = static_cast<char*>(TrackedAlloc(10, "short.cpp", 12));
  char* b = static_cast<char*>(TrackedAlloc(20, "a_rather_long_source_name.cpp", 345));
  char* c = static_cast<char*>(TrackedAlloc(30));
  memcpy(a, "ABCDEFGHIJ", 10);
  for (int i = 0; i < 20; ++i) b[i] = static_cast<char>(i);  // control bytes show as dots
  memset(c, 0xE0, 30);                                        // bytes of 0x80 and above too
  DumpTrackedHeap();
  std::string log = Log();
  int sa = SerialOf(log, a);
  ASSERT_GE(sa, 0);
  std::string expected =
      "0:\r\n"
      "0:Alloc memory dump\r\n"
      "0:\tsize:30(0.029kb)  file:  line:0  ID:" + std::to_string(sa + 2) + "  addr:" + Addr(c) +
      "  data:<................> [e0 e0 e0 e0 e0 e0 e0 e0 e0 e0 e0 e0 e0 e0 e0 e0]\r\n"
      "0:\tsize:20(0.020kb)  file:source_name.cpp  line:345  ID:" + std::to_string(sa + 1) +
      "  addr:" + Addr(b) +
      "  data:<................> [00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f]\r\n"
      "0:\tsize:10(0.010kb)  file:short.cpp  line:12  ID:" + std::to_string(sa) + "  addr:" + Addr(a) +
      "  data:<ABCDEFGHIJ> [41 42 43 44 45 46 47 48 49 4a]\r\n"
      "0:\tTotal size:60(0.059kb)  Alloc num:3\r\n"
      "0:\r\n";
  EXPECT_EQ(log, expected);
  EXPECT_EQ(TrackedTotalSize(), baseSize + 60);
  // Full 64-bit addresses.
  EXPECT_NE(log.find(Addr(a)), std::string::npos);
  TrackedFree(a);
  TrackedFree(b);
  TrackedFree(c);
  EXPECT_EQ(TrackedBlockCount(), 0);
  EXPECT_EQ(TrackedTotalSize(), 0);
}

TEST_F(TrackedMemoryTest, ReallocKeepsListPlaceTakesNewSerialAndZeroFills) {
  void* a = TrackedAlloc(8);
  char* b = static_cast<char*>(TrackedAlloc(8));
  void* c = TrackedAlloc(8);
  memcpy(b, "12345678", 8);
  char* b2 = static_cast<char*>(TrackedRealloc(b, 4096, "grow.cpp", 7));
  ASSERT_NE(b2, nullptr);
  EXPECT_EQ(memcmp(b2, "12345678", 8), 0);
  for (int i = 8; i < 4096; ++i) ASSERT_EQ(b2[i], 0) << i;
  EXPECT_EQ(TrackedTotalSize(), 8 + 4096 + 8);
  DumpTrackedHeap();
  std::string log = Log();
  size_t pc = log.find(Addr(c)), pb = log.find(Addr(b2)), pa = log.find(Addr(a));
  ASSERT_NE(pb, std::string::npos);
  EXPECT_LT(pc, pb);  // newest first: c, then b where it was, then a
  EXPECT_LT(pb, pa);
  EXPECT_GT(SerialOf(log, b2), SerialOf(log, c));
  EXPECT_NE(log.find("file:grow.cpp  line:7"), std::string::npos);
  EXPECT_EQ(CheckTrackedHeap(), 0);
  TrackedFree(a);
  TrackedFree(b2);
  TrackedFree(c);
  void* fresh = TrackedRealloc(nullptr, 5);
  EXPECT_EQ(TrackedBlockCount(), 1);
  TrackedFree(fresh);
  TrackedFree(nullptr);
  EXPECT_EQ(TrackedBlockCount(), 0);
}

TEST_F(TrackedMemoryTest, WatchSizeZeroLogsZeroByteBlocks) {
  void* other = TrackedAlloc(3);
  void* p = TrackedAlloc(0);
  p = TrackedRealloc(p, 0);
  TrackedFree(p);
  TrackedFree(other);
  std::string log = Log();
  size_t alloc = log.find("0:mem alloc  \tsize:0(0.000kb)");
  size_t realloc = log.find("0:mem realloc  \tsize:0(0.000kb)");
  size_t free = log.find("0:mem free  \tsize:0(0.000kb)");
  EXPECT_NE(alloc, std::string::npos) << log;
  EXPECT_NE(realloc, std::string::npos);
  EXPECT_NE(free, std::string::npos);
  EXPECT_EQ(log.find("size:3"), std::string::npos);  // other sizes are not logged
  EXPECT_NE(log.find("data:<> []\r\n"), std::string::npos);
}

TEST_F(TrackedMemoryTest, DoubleFreeAndForeignPointersAreRefused) {
  void* keep = TrackedAlloc(16);
  void* p = TrackedAlloc(24);
  TrackedFree(p);
  TrackedFree(p);  // logged, nothing touched
  alignas(16) static char foreign[256];
  TrackedFree(foreign + 128);
  EXPECT_EQ(TrackedRealloc(foreign + 128, 10), nullptr);
  EXPECT_EQ(TrackedBlockCount(), 1);
  EXPECT_EQ(TrackedTotalSize(), 16);
  EXPECT_EQ(CheckTrackedHeap(), 0);
  std::string log = Log();
  EXPECT_NE(log.find("in TrackedFree"), std::string::npos);
  EXPECT_NE(log.find("in TrackedRealloc"), std::string::npos);
  TrackedFree(keep);
  EXPECT_EQ(TrackedBlockCount(), 0);
}

TEST_F(TrackedMemoryTest, CorruptedHeaderIsReported) {
  char* p = static_cast<char*>(TrackedAlloc(8));
  void* q = TrackedAlloc(8);
  EXPECT_EQ(CheckTrackedHeap(), 0);
  // Scribble over p's header the way an underrun would: the size field and the
  // name's terminator. The report must still read only the block's own bytes.
  char saved[64];
  char* header = p - 80;
  memcpy(saved, header, 64);
  memset(header, 'N', 16);
  header[22] = 0x7F;
  EXPECT_EQ(CheckTrackedHeap(), -1);
  std::string log = Log();
  EXPECT_NE(log.find("以下のメモリ確保情報が破損しました"), std::string::npos);
  EXPECT_NE(log.find("file:NNNNNNNNNNNNNNN  line:"), std::string::npos);
  memcpy(header, saved, 64);
  EXPECT_EQ(CheckTrackedHeap(), 0);
  TrackedFree(p);
  TrackedFree(q);
}

TEST_F(TrackedMemoryTest, CallocZeroesAndHugeRequestsFail) {
  unsigned char* p = static_cast<unsigned char*>(TrackedCalloc(100));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0);
  TrackedFree(p);
  EXPECT_EQ(TrackedAlloc(size_t{1} << 40), nullptr);
  EXPECT_NE(Log().find("Alloc memory dump"), std::string::npos);  // failure writes the dump
}

// Large zeroed blocks and pixel blocks placed as TrackedCalloc and
// TrackedAllocPixels place them (AddressSanitizer builds place every block in
// its own heap unless asked).
class OwnBlocksTest : public TrackedMemoryTest {
 protected:
  void SetUp() override {
    TrackedMemoryTest::SetUp();
    saved_ = TrackedBlocksOfTheirOwn;
    TrackedBlocksOfTheirOwn = 1;
  }
  void TearDown() override {
    TrackedBlocksOfTheirOwn = saved_;
    TrackedMemoryTest::TearDown();
  }

 private:
  int32_t saved_ = 1;
};

TEST_F(OwnBlocksTest, ALargeZeroedBlockReadsZerosAfterAnotherWasWrittenAndFreed) {
  const size_t size = 300 << 10;
  for (int round = 0; round < 3; ++round) {
    auto* used = static_cast<unsigned char*>(TrackedCalloc(size));
    memset(used, 0xA5, size);
    TrackedFree(used);
    auto* zeroed = static_cast<unsigned char*>(TrackedCalloc(size));
    ASSERT_NE(zeroed, nullptr);
    for (size_t i = 0; i < size; i += 97) ASSERT_EQ(zeroed[i], 0) << round << " at " << i;
    EXPECT_EQ(zeroed[size - 1], 0);
    TrackedFree(zeroed);
  }
  EXPECT_EQ(TrackedBlockCount(), 0);
}

TEST_F(OwnBlocksTest, FreedPixelBlocksAreReusedFirstAndJoinTheirNeighbours) {
  const size_t size = 100000;
  uint8_t* blocks[3];
  for (int i = 0; i < 3; ++i) {
    blocks[i] = static_cast<uint8_t*>(TrackedAllocPixels(size, "pixels.cpp", i));
    ASSERT_NE(blocks[i], nullptr);
    memset(blocks[i], 0x10 + i, size);
  }
  EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks[0]) % 16, 0u);
  // The hole of a freed block takes the next block of its size.
  TrackedFree(blocks[1]);
  auto* again = static_cast<uint8_t*>(TrackedAllocPixels(size));
  EXPECT_EQ(again, blocks[1]);
  // Two neighbours freed make one hole that a block of both sizes fits.
  TrackedFree(blocks[0]);
  TrackedFree(again);
  auto* joined = static_cast<uint8_t*>(TrackedAllocPixels(2 * size));
  EXPECT_EQ(joined, blocks[0]);
  // The third block kept its bytes throughout; reallocated, it keeps them.
  for (size_t i = 0; i < size; i += 101) ASSERT_EQ(blocks[2][i], 0x12) << i;
  auto* moved = static_cast<uint8_t*>(TrackedRealloc(blocks[2], 2 * size, "moved.cpp", 1));
  ASSERT_NE(moved, nullptr);
  for (size_t i = 0; i < size; i += 101) ASSERT_EQ(moved[i], 0x12) << i;
  for (size_t i = size; i < 2 * size; i += 101) ASSERT_EQ(moved[i], 0) << i;
  auto* zeroed = static_cast<uint8_t*>(TrackedCalloc(size));
  memset(zeroed, 0x33, size);
  auto* grown = static_cast<uint8_t*>(TrackedRealloc(zeroed, 3 * size));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(grown[size - 1], 0x33);
  EXPECT_EQ(grown[3 * size - 1], 0);
  // Listed and counted as any block.
  EXPECT_EQ(TrackedBlockCount(), 3);
  EXPECT_EQ(TrackedTotalSize(), static_cast<int32_t>(2 * size + 2 * size + 3 * size));
  EXPECT_EQ(CheckTrackedHeap(), 0);
  DumpTrackedHeap();
  EXPECT_NE(Log().find("file:moved.cpp  line:1"), std::string::npos);
  TrackedFree(joined);
  TrackedFree(moved);
  TrackedFree(grown);
  TrackedFree(moved);  // a second free is refused as before
  EXPECT_NE(Log().find("in TrackedFree"), std::string::npos);
  EXPECT_EQ(TrackedBlockCount(), 0);
  EXPECT_EQ(TrackedTotalSize(), 0);
}

// The pages of [p, p + size) after the one that holds p that are resident.
int ResidentPagesAfterTheFirst(const void* p, size_t size) {
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t from = (reinterpret_cast<uintptr_t>(p) / page + 1) * page;
  const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + size) / page * page;
  if (to <= from) return 0;
  std::vector<unsigned char> resident((to - from) / page);
  if (mincore(reinterpret_cast<void*>(from), to - from, resident.data()) != 0) return -1;
  int count = 0;
  for (unsigned char r : resident) count += r & 1;
  return count;
}

// The pages of a pixel block's whole huge pages (those the block's header,
// written as the block is made, does not share) that are resident, and all
// of them.
struct HugePages {
  int resident, all;
};
HugePages ResidentWholeHugePages(const void* p, size_t size) {
  constexpr uintptr_t kHuge = 2 << 20;
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t from = (reinterpret_cast<uintptr_t>(p) / kHuge + 1) * kHuge;
  const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + size) / kHuge * kHuge;
  // ResidentPagesAfterTheFirst leaves out the page at `from`: counted here.
  std::vector<unsigned char> first(1);
  if (to <= from || mincore(reinterpret_cast<void*>(from), page, first.data()) != 0) return {-1, 0};
  return {ResidentPagesAfterTheFirst(reinterpret_cast<void*>(from), to - from) + (first[0] & 1),
          static_cast<int>((to - from) / page)};
}

// Pages made ahead for the next pixel blocks (while the first window waits
// on the display): the next block finds them resident before it writes
// them; a stop asked from the start makes none; those no block holds go back
// and read as zeros.
TEST_F(OwnBlocksTest, PixelPagesMadeAheadServeTheNextBlocksAndGoBackUnused) {
  constexpr size_t kBlock = 6 << 20, kAhead = 8 << 20;
  ReturnUnusedPixelSpan();  // nothing above the live blocks left by other tests
  const std::atomic<bool> stopped{true}, going{false};

  PrefaultPixelSpan(kAhead, stopped);
  void* block = TrackedAllocPixels(kBlock);
  ASSERT_NE(block, nullptr);
  HugePages pages = ResidentWholeHugePages(block, kBlock);
  ASSERT_GT(pages.all, 0);
  EXPECT_EQ(pages.resident, 0) << "a stop asked from the start made pages";
  TrackedFree(block);

  PrefaultPixelSpan(kAhead, going);
  block = TrackedAllocPixels(kBlock);
  ASSERT_NE(block, nullptr);
  pages = ResidentWholeHugePages(block, kBlock);
  EXPECT_EQ(pages.resident, pages.all) << "the block's pages were not made ahead";
  std::memset(block, 0x5A, kBlock);
  TrackedFree(block);

  ReturnUnusedPixelSpan();
  auto* again = static_cast<uint8_t*>(TrackedAllocPixels(kBlock));
  ASSERT_EQ(again, block);
  pages = ResidentWholeHugePages(again, kBlock);
  EXPECT_EQ(pages.resident, 0) << "pages above the live blocks stayed";
  const size_t header = 4096;  // the block's first page holds its header, written again
  for (size_t i = header; i < kBlock; i += 4093) ASSERT_EQ(again[i], 0) << i;
  TrackedFree(again);
  ReturnUnusedPixelSpan();
  EXPECT_EQ(TrackedBlockCount(), 0);
}

// Large zeroed blocks on pages of their own are listed, moved, zero-filled
// and freed as any other.
TEST_F(OwnBlocksTest, ZeroedBlocksOnPagesOfTheirOwnBehaveAsAnyOther) {
  void* before = TrackedAlloc(10000);  // not zeroed: from the heap
  auto* big = static_cast<unsigned char*>(TrackedCalloc(100000, "own.cpp", 3));
  void* after = TrackedCalloc(16);
  ASSERT_NE(big, nullptr);
  // Pages the block has not written take no memory (the header's page aside).
  EXPECT_EQ(ResidentPagesAfterTheFirst(big, 100000), 0);
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(big[i], 0) << i;
  std::vector<unsigned char> expected(100000);
  for (int i = 0; i < 100000; ++i) big[i] = expected[i] = static_cast<unsigned char>(i * 7);
  // Grown (moved into the heap), shrunk, grown once more: the bytes kept,
  // the new ones zero.
  for (size_t size : {size_t{160000}, size_t{100}, size_t{20000}}) {
    big = static_cast<unsigned char*>(TrackedRealloc(big, size, "own.cpp", 4));
    ASSERT_NE(big, nullptr) << size;
    expected.resize(size, 0);
    EXPECT_EQ(std::vector<unsigned char>(big, big + size), expected) << size;
    EXPECT_EQ(TrackedTotalSize(), static_cast<int32_t>(10000 + size + 16));
    EXPECT_EQ(CheckTrackedHeap(), 0);
  }
  DumpTrackedHeap();
  const std::string log = Log();
  size_t pAfter = log.find(Addr(after)), pBig = log.find(Addr(big)), pBefore = log.find(Addr(before));
  ASSERT_NE(pBig, std::string::npos);
  EXPECT_LT(pAfter, pBig);  // still in its place in the list
  EXPECT_LT(pBig, pBefore);
  TrackedFree(big);
  TrackedFree(big);  // refused, as any block freed twice
  EXPECT_EQ(TrackedBlockCount(), 2);
  TrackedFree(after);
  TrackedFree(before);
  EXPECT_EQ(TrackedBlockCount(), 0);
  EXPECT_EQ(TrackedTotalSize(), 0);
}

}  // namespace
