// The library's random number generator: MT19937 with the 1998 reference
// seeding (linear congruential fill), handed out in batches of 624 words.
#pragma once

#include <cstdint>

struct RandomState {
  uint32_t state[624];
  uint32_t output[624];
  int32_t index;   // next output word; 624 = batch used up
  int32_t seeded;  // 1 after the first SeedRandom
  int32_t mmxFlag; // kept for the record; both regeneration paths give the same words
};

extern RandomState Random;
// Words handed out since the program started (tests compare runs by it).
extern uint64_t RandomDrawCount;

void SeedRandom(uint32_t seed);
uint32_t NextRandom32();
// An integer in 0..max inclusive; 0 for a negative max.
int32_t GetRandomNumber(int32_t max);
