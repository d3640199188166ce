#include "library/core/random.h"

// The batch starts used up, so a draw before any seeding takes the default
// seed instead of handing out the zeroed output buffer.
RandomState Random = {{}, {}, 624, 0, 0};
uint64_t RandomDrawCount = 0;

namespace {

constexpr int kWords = 624;
constexpr int kShift = 397;
constexpr uint32_t kDefaultSeed = 4357;

void Regenerate() {
  uint32_t* s = Random.state;
  for (int k = 0; k < kWords; ++k) {
    uint32_t y = (s[k] & 0x80000000u) | (s[(k + 1) % kWords] & 0x7FFFFFFFu);
    s[k] = s[(k + kShift) % kWords] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
  }
  for (int k = 0; k < kWords; ++k) {
    uint32_t y = s[k];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    Random.output[k] = y;
  }
  Random.index = 0;
}

}  // namespace

void SeedRandom(uint32_t seed) {
  for (int i = 0; i < kWords; ++i) {
    Random.state[i] = seed & 0xFFFF0000u;
    seed = 69069u * seed + 1u;
    Random.state[i] |= seed >> 16;
    seed = 69069u * seed + 1u;
  }
  Random.mmxFlag = 0;
  Random.seeded = 1;
  Regenerate();
}

uint32_t NextRandom32() {
  if (Random.index >= kWords) {
    if (!Random.seeded) SeedRandom(kDefaultSeed);
    Regenerate();
  }
  ++RandomDrawCount;
  return Random.output[Random.index++];
}

int32_t GetRandomNumber(int32_t max) {
  if (max < 0) return 0;
  uint64_t r = NextRandom32();
  // max + 1 is formed in 64 bits, so max = INT32_MAX spans the whole range.
  uint64_t range = static_cast<uint64_t>(max) + 1u;
  return static_cast<int32_t>((r * range) >> 32);
}
