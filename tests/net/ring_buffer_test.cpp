#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <random>
#include <vector>

#include "library/core/memory.h"
#include "library/net/ring_buffer.h"
#include "platform/win32/win32.h"

namespace {

class RingBufferTest : public testing::Test {
 protected:
  void SetUp() override { PlatformSetDebugOutput(false); }
  void TearDown() override {
    ReleaseRingBuffer(&ring);
    PlatformSetDebugOutput(true);
  }

  // The held bytes in order, read without taking them.
  std::vector<uint8_t> Contents() {
    std::vector<uint8_t> out(static_cast<size_t>(ring.dataLength));
    EXPECT_EQ(RingBufferRead(&ring, out.data(), ring.dataLength, 1), 0);
    return out;
  }

  RingBuffer ring{};
};

std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
  return v;
}

TEST_F(RingBufferTest, GrowsByHalfItsDataPlusTheNeedPlus1000) {
  ASSERT_EQ(ReserveRingBuffer(&ring, 10), 0);
  EXPECT_EQ(ring.capacity, 1010);
  ASSERT_EQ(ReserveRingBuffer(&ring, 1010), 0);  // fits: nothing changes
  EXPECT_EQ(ring.capacity, 1010);

  // Growth while the data wrap: the new block holds them in order from its start.
  ASSERT_EQ(RingBufferWrite(&ring, Bytes(1000, 0).data(), 1000), 0);
  std::vector<uint8_t> taken(900);
  ASSERT_EQ(RingBufferRead(&ring, taken.data(), 900, 0), 0);
  ASSERT_EQ(RingBufferWrite(&ring, Bytes(500, 0).data(), 500), 0);  // 10 at the end, 490 at the start
  EXPECT_EQ(ring.capacity, 1010);
  EXPECT_EQ(ring.writePosition, 490);
  ASSERT_EQ(RingBufferWrite(&ring, Bytes(2000, 7).data(), 2000), 0);
  EXPECT_EQ(ring.capacity, 600 * 3 / 2 + 2000 + 1000);
  EXPECT_EQ(ring.readPosition, 0);
  std::vector<uint8_t> expected = Bytes(100, 900 & 0xFF);
  for (uint8_t b : Bytes(500, 0)) expected.push_back(b);
  for (uint8_t b : Bytes(2000, 7)) expected.push_back(b);
  EXPECT_EQ(Contents(), expected);
}

TEST_F(RingBufferTest, RefusalsLeaveTheRingAsItWas) {
  ASSERT_EQ(RingBufferWrite(&ring, Bytes(20, 1).data(), 20), 0);
  RingBuffer before = ring;
  std::vector<uint8_t> out(21);
  EXPECT_EQ(RingBufferRead(&ring, out.data(), 21, 0), -1);  // more than is held
  EXPECT_EQ(RingBufferRead(&ring, out.data(), -1, 0), -1);
  EXPECT_EQ(ReserveRingBuffer(&ring, -1), -1);
  EXPECT_EQ(ReserveRingBuffer(&ring, RingBufferLimit - 19), -1);
  EXPECT_EQ(RingBufferWrite(&ring, Bytes(8, 0).data(), RingBufferLimit), -1);
  EXPECT_EQ(ring.data, before.data);
  EXPECT_EQ(ring.capacity, before.capacity);
  EXPECT_EQ(Contents(), Bytes(20, 1));
  // Up to the limit itself is allowed.
  EXPECT_EQ(ReserveRingBuffer(&ring, RingBufferLimit - 20), 0);
  EXPECT_EQ(ring.capacity, RingBufferLimit);
  EXPECT_EQ(Contents(), Bytes(20, 1));
}

// Random writes, reads, peeks and dropped tails against a plain queue.
TEST_F(RingBufferTest, MatchesAQueueThroughWrapsAndGrowth) {
  std::mt19937 random(1234);
  std::deque<uint8_t> model;
  uint8_t next = 0;
  for (int step = 0; step < 3000; ++step) {
    int32_t n = static_cast<int32_t>(random() % 700);
    switch (random() % 4) {
      case 0:
      case 1: {
        std::vector<uint8_t> bytes(static_cast<size_t>(n));
        for (uint8_t& b : bytes) b = next++;
        ASSERT_EQ(RingBufferWrite(&ring, bytes.data(), n), 0);
        model.insert(model.end(), bytes.begin(), bytes.end());
        break;
      }
      case 2: {
        bool peek = random() % 2 == 0;
        std::vector<uint8_t> out(static_cast<size_t>(n));
        int result = RingBufferRead(&ring, out.data(), n, peek ? 1 : 0);
        if (static_cast<size_t>(n) > model.size()) {
          ASSERT_EQ(result, -1);
          break;
        }
        ASSERT_EQ(result, 0);
        ASSERT_TRUE(std::equal(out.begin(), out.end(), model.begin()));
        if (!peek) model.erase(model.begin(), model.begin() + n);
        break;
      }
      default: {
        int32_t drop = std::min<int32_t>(n % 50, static_cast<int32_t>(model.size()));
        DropRingBufferTail(&ring, drop);
        model.erase(model.end() - drop, model.end());
        break;
      }
    }
    ASSERT_EQ(ring.dataLength, static_cast<int32_t>(model.size()));
    ASSERT_LE(ring.dataLength, ring.capacity);
  }
  std::vector<uint8_t> rest = Contents();
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), model.begin(), model.end()));
}

}  // namespace
