#include "tools/archive/lz_encoder.h"

#include <algorithm>

namespace {

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint8_t LeastFrequentByte(const uint8_t* data, size_t size) {
  size_t counts[256] = {};
  for (size_t i = 0; i < size; ++i) ++counts[data[i]];
  return static_cast<uint8_t>(std::min_element(counts, counts + 256) - counts);
}

size_t DistanceBytes(size_t distance) {
  size_t field = distance - 1;
  return field < 0x100 ? 1 : field < 0x10000 ? 2 : 3;
}

size_t MatchCost(size_t length, size_t distance) {
  return 2 + (length - LzMinMatch >= 32 ? 1 : 0) + DistanceBytes(distance);
}

void EmitLiteral(std::vector<uint8_t>& out, uint8_t byte, uint8_t escape) {
  out.push_back(byte);
  if (byte == escape) out.push_back(escape);
}

void EmitMatch(std::vector<uint8_t>& out, size_t length, size_t distance, uint8_t escape) {
  uint32_t extended = static_cast<uint32_t>(length - LzMinMatch);
  size_t fieldBytes = DistanceBytes(distance);
  uint32_t code = (extended & 31) << 3 | (extended >= 32 ? 4 : 0) | static_cast<uint32_t>(fieldBytes - 1);
  out.push_back(escape);
  out.push_back(static_cast<uint8_t>(code >= escape ? code + 1 : code));  // never the escape itself
  if (extended >= 32) out.push_back(static_cast<uint8_t>(extended >> 5));
  uint32_t field = static_cast<uint32_t>(distance - 1);
  for (size_t i = 0; i < fieldBytes; ++i) out.push_back(static_cast<uint8_t>(field >> (8 * i)));
}

constexpr int HashBits = 16;

uint32_t Hash(const uint8_t* p) {
  uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
  return (v * 2654435761u) >> (32 - HashBits);
}

}  // namespace

std::vector<uint8_t> LzEncode(const uint8_t* data, size_t size, const LzEncodeOptions& options) {
  const uint8_t escape =
      options.escape >= 0 ? static_cast<uint8_t>(options.escape) : LeastFrequentByte(data, size);
  const size_t maxLength = std::clamp<size_t>(options.maxLength, LzMinMatch, LzMaxMatch);
  const size_t maxDistance = std::clamp<size_t>(options.maxDistance, 1, 1u << 24);
  std::vector<uint8_t> out(LzHeadSize);
  out.reserve(size + size / 8 + LzHeadSize);

  std::vector<int64_t> head(size_t{1} << HashBits, -1);
  std::vector<int64_t> previous(size, -1);
  auto insert = [&](size_t at) {
    if (at + 3 > size) return;
    uint32_t h = Hash(data + at);
    previous[at] = head[h];
    head[h] = static_cast<int64_t>(at);
  };

  size_t at = 0;
  while (at < size) {
    size_t bestLength = 0, bestDistance = 0;
    if (at + LzMinMatch <= size) {
      size_t limit = std::min(maxLength, size - at);
      int tries = options.chainLimit;
      for (int64_t from = head[Hash(data + at)]; from >= 0 && tries-- > 0; from = previous[from]) {
        size_t distance = at - static_cast<size_t>(from);
        if (distance > maxDistance) break;
        size_t length = 0;
        while (length < limit && data[from + length] == data[at + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = distance;
          if (length == limit) break;
        }
      }
    }
    size_t literalCost = 0;
    for (size_t i = 0; i < bestLength; ++i) literalCost += data[at + i] == escape ? 2 : 1;
    if (bestLength >= LzMinMatch && MatchCost(bestLength, bestDistance) < literalCost) {
      EmitMatch(out, bestLength, bestDistance, escape);
      for (size_t i = 0; i < bestLength; ++i) insert(at + i);
      at += bestLength;
    } else {
      EmitLiteral(out, data[at], escape);
      insert(at);
      ++at;
    }
  }
  PutU32(out, 0, static_cast<uint32_t>(size));
  PutU32(out, 4, static_cast<uint32_t>(out.size()));
  out[8] = escape;
  return out;
}
