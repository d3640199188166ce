#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <sstream>

#include "library/core/random.h"

namespace {

// A standard-library twister holding the state the 1998 seeding makes: its
// textual form is the 624 state words, and reading it leaves the batch used
// up, so its next word comes from a fresh twist, as after SeedRandom.
std::mt19937 ReferenceFor(uint32_t seed) {
  std::ostringstream words;
  for (int i = 0; i < 624; ++i) {
    uint32_t word = seed & 0xFFFF0000u;
    seed = 69069u * seed + 1u;
    word |= seed >> 16;
    seed = 69069u * seed + 1u;
    words << word << ' ';
  }
  std::mt19937 engine;
  std::istringstream in(words.str());
  in >> engine;
  return engine;
}

TEST(Random, DrawsBeforeSeedingUseTheDefaultSeed) {
  // First in this file, so the generator is untouched even when all tests share a process.
  ASSERT_EQ(Random.seeded, 0);
  std::mt19937 reference = ReferenceFor(4357);
  reference.discard(624);  // the implicit seeding twists once more before the first word
  uint32_t first = NextRandom32();
  EXPECT_NE(first, 0u);
  EXPECT_EQ(first, reference());
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(NextRandom32(), reference());
}

TEST(Random, SeededSequenceFollowsTheStandardTwister) {
  for (uint32_t seed : {0u, 1u, 4357u, 0x7FFFFFFFu, 0xDEADBEEFu}) {
    SeedRandom(seed);
    std::mt19937 reference = ReferenceFor(seed);
    // Three batches: the 625th draw regenerates.
    for (int i = 0; i < 624 * 3; ++i) ASSERT_EQ(NextRandom32(), reference()) << "seed " << seed << " word " << i;
  }
}

TEST(Random, RangeMappingByMultiplication) {
  SeedRandom(12345);
  std::mt19937 reference = ReferenceFor(12345);
  struct Case {
    int32_t max;
  } cases[] = {{0}, {1}, {9}, {99}, {INT_MAX}};
  for (const Case& c : cases) {
    for (int i = 0; i < 500; ++i) {
      uint64_t word = reference();
      int32_t expected = static_cast<int32_t>((word * (static_cast<uint64_t>(c.max) + 1)) >> 32);
      int32_t got = GetRandomNumber(c.max);
      ASSERT_EQ(got, expected);
      ASSERT_GE(got, 0);
      ASSERT_LE(got, c.max);
    }
  }
}

TEST(Random, DieCoversOneToTenAndNegativeMaxGivesZero) {
  SeedRandom(99);
  int seen[11] = {};
  for (int i = 0; i < 5000; ++i) {
    int face = GetRandomNumber(9) + 1;
    ASSERT_GE(face, 1);
    ASSERT_LE(face, 10);
    ++seen[face];
  }
  for (int f = 1; f <= 10; ++f) EXPECT_GT(seen[f], 0) << f;
  for (int32_t max : {-1, -2, INT_MIN}) EXPECT_EQ(GetRandomNumber(max), 0) << max;
}

}  // namespace
