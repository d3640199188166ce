#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "library/file/lz.h"
#include "tools/archive/lz_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A block of the given unpacked size, escape byte and code stream.
Bytes Block(uint32_t unpacked, uint8_t escape, const Bytes& code) {
  uint32_t packed = static_cast<uint32_t>(LzHeadSize + code.size());
  Bytes block = {static_cast<uint8_t>(unpacked),      static_cast<uint8_t>(unpacked >> 8),
                 static_cast<uint8_t>(unpacked >> 16), static_cast<uint8_t>(unpacked >> 24),
                 static_cast<uint8_t>(packed),        static_cast<uint8_t>(packed >> 8),
                 static_cast<uint8_t>(packed >> 16),   static_cast<uint8_t>(packed >> 24),
                 escape};
  block.insert(block.end(), code.begin(), code.end());
  return block;
}

// Unpacks into a buffer of exactly the stated size; -1 when refused.
int64_t Unpack(const Bytes& block, Bytes* out) {
  int64_t size = DecompressArchiveData(block.data(), block.size(), nullptr, 0);
  if (size < 0) return -1;
  out->assign(static_cast<size_t>(size), 0xEE);
  return DecompressArchiveData(block.data(), block.size(), out->data(), out->size());
}

Bytes Repeat(const std::string& pattern, size_t size) {
  Bytes out(size);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(pattern[i % pattern.size()]);
  return out;
}

TEST(LzDecode, HandMadeStreams) {
  Bytes longRun(8196, 'Z');
  struct Case {
    const char* what;
    Bytes block;
    Bytes expected;
  } cases[] = {
      {"empty stream", Block(0, 0x7F, {}), {}},
      {"escaped escape", Block(3, 0x7F, {0x41, 0x7F, 0x7F, 0x42}), {0x41, 0x7F, 0x42}},
      {"distance 1, length 5", Block(6, 0x7F, {0x41, 0x7F, 0x08, 0x00}), Bytes(6, 0x41)},
      // 0x19 is above the escape 0x10: lowered to 0x18, length 3 + 4, distance 2.
      {"code above the escape", Block(9, 0x10, {'A', 'B', 0x10, 0x19, 0x01}), Repeat("AB", 9)},
      {"code below the escape", Block(9, 0x20, {'A', 'B', 0x20, 0x18, 0x01}), Repeat("AB", 9)},
      // Length byte 0xFF: (31 | 255 << 5) + 4 = 8195 bytes from one back, through every doubling.
      {"longest copy, distance 1", Block(8196, 0x00, {'Z', 0x00, 0xFD, 0xFF, 0x00}), longRun},
      {"two-byte distance field", Block(8, 0x00, {'a', 'b', 'c', 'd', 0x00, 0x02, 0x03, 0x00}), Repeat("abcd", 8)},
      {"three-byte distance field", Block(6, 0x00, {'a', 'b', 0x00, 0x03, 0x01, 0x00, 0x00}), Repeat("ab", 6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes out;
    ASSERT_EQ(Unpack(c.block, &out), static_cast<int64_t>(c.expected.size()));
    EXPECT_EQ(out, c.expected);
  }
}

TEST(LzDecode, NullDestinationReportsTheSizeOnly) {
  Bytes block = Block(6, 0x7F, {0x41, 0x7F, 0x08, 0x00});
  EXPECT_EQ(DecompressArchiveData(block.data(), block.size(), nullptr, 0), 6);
  // The head alone is read: a stream cut short is found only when unpacking.
  block.resize(block.size() - 1);
  block[4] = static_cast<uint8_t>(block.size());
  EXPECT_EQ(DecompressArchiveData(block.data(), block.size(), nullptr, 0), 6);
  uint8_t out[6];
  EXPECT_EQ(DecompressArchiveData(block.data(), block.size(), out, sizeof out), -1);
}

TEST(LzDecode, CorruptBlocksAreRefused) {
  Bytes good = Block(6, 0x7F, {0x41, 0x7F, 0x08, 0x00});
  Bytes longerThanSource = good;
  longerThanSource[4] = 14;
  Bytes head = good;
  head.resize(8);
  Bytes belowHead = Block(0, 0, {});
  belowHead[4] = 8;
  struct Case {
    const char* what;
    Bytes block;
    size_t room;
  } cases[] = {
      {"head cut short", head, 16},
      {"packed size below the head", belowHead, 16},
      {"packed size beyond the source", longerThanSource, 16},
      {"escape at the end", Block(1, 0x7F, {0x41, 0x7F}), 16},
      {"length byte missing", Block(40, 0x00, {'a', 0x00, 0x05}), 64},
      {"distance field cut short", Block(40, 0x00, {'a', 'b', 0x00, 0x02, 0x00}), 64},
      {"distance field size 3", Block(5, 0x00, {'a', 0x00, 0x04, 0x00, 0x00, 0x00, 0x00}), 16},
      {"reference before the start", Block(5, 0x7F, {0x7F, 0x08, 0x00}), 16},
      {"reaching back too far", Block(7, 0x7F, {0x41, 0x7F, 0x08, 0x01}), 16},
      {"output beyond the unpacked size", Block(5, 0x7F, {0x41, 0x7F, 0x08, 0x00}), 16},
      {"literal beyond the unpacked size", Block(1, 0x7F, {0x41, 0x42}), 16},
      {"output short of the unpacked size", Block(7, 0x7F, {0x41, 0x7F, 0x08, 0x00}), 16},
      {"destination smaller than stated", good, 5},
      {"unpacked size no stream can give", Block(9000, 0x00, {'Z', 0x00, 0xFD, 0xFF}), 9000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes out(c.room, 0);
    EXPECT_EQ(DecompressArchiveData(c.block.data(), c.block.size(), out.data(), out.size()), -1);
  }
  EXPECT_EQ(DecompressArchiveData(nullptr, 0, nullptr, 0), -1);
}

TEST(LzRoundTrip, EncoderOutputUnpacksToTheInput) {
  std::mt19937 random(5);
  auto noise = [&](size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(random());
    return b;
  };
  Bytes far = noise(70000);  // repeated from 70000 back: a three-byte distance
  far.insert(far.end(), far.begin(), far.begin() + 20000);
  Bytes near = noise(300);  // from 300 back: a two-byte distance
  for (int i = 0; i < 5; ++i) near.insert(near.end(), near.begin(), near.begin() + 300);
  Bytes text;
  for (int i = 0; i < 2000; ++i) {
    std::string line = "line " + std::to_string(i % 37) + ": the quick brown fox\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  Bytes mixed = noise(5000);
  for (size_t i = 0; i < mixed.size(); i += 97) mixed[i] = 0;
  mixed.insert(mixed.end(), 20000, 0x00);

  struct Case {
    const char* what;
    Bytes data;
    LzEncodeOptions options;
  } cases[] = {
      {"empty", {}, {}},
      {"one byte", {0x42}, {}},
      {"run of one byte", Bytes(100000, 7), {}},
      {"noise", noise(10000), {}},
      {"far repeat", far, {}},
      {"near repeat", near, {}},
      {"text", text, {}},
      {"short distances only", text, {.maxDistance = 200}},
      {"escape is the commonest byte", mixed, {.escape = 0}},
      {"short matches only", text, {.maxLength = 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes block = LzEncode(c.data.data(), c.data.size(), c.options);
    Bytes out;
    ASSERT_EQ(Unpack(block, &out), static_cast<int64_t>(c.data.size()));
    EXPECT_EQ(out, c.data);
  }
  Bytes run(100000, 7);
  EXPECT_LT(LzEncode(run.data(), run.size()).size(), 80u);
  Bytes farBlock = LzEncode(far.data(), far.size());
  EXPECT_LT(farBlock.size(), 71000u);  // of 90000: the repeat was found
}

}  // namespace
