// The memory helpers of the system stand-in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/win32/win32_system.h"

namespace {

TEST(MemoryPages, MakingTheBlocksPagesKeepsWhatTheyHold) {
  // A heap block whose first and last pages it shares with its neighbours.
  std::vector<uint8_t> block(300000 + 123);
  uint8_t* start = block.data() + 123;
  const size_t size = 300000;
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + 3);
  PlatformPrefaultMemory(start, size);
  for (size_t i = 0; i < block.size(); ++i) ASSERT_EQ(block[i], static_cast<uint8_t>(i * 7 + 3)) << i;
}

TEST(MemoryPages, TheHugePageSpanIsAlignedAndWhollyUsable) {
  const size_t size = size_t{64} << 20;
  auto* span = static_cast<uint8_t*>(PlatformReserveHugePageSpan(size));
  ASSERT_NE(span, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(span) % (2 << 20), 0u);
  // The ends of the reservation given back around it leave it whole.
  span[0] = 1;
  span[size - 1] = 2;
  EXPECT_EQ(span[0] + span[size - 1], 3);
  PlatformUnmapBlock(span, size);
}

}  // namespace
