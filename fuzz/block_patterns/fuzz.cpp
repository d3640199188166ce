// The falling-block piece file "block.csv": the input is the file's bytes.
//
// Besides memory safety: the reader stops at the first 0xFF; it accepts a
// file exactly when its first 700 cells (bytes other than ',', CR and LF)
// are all digits and every pattern holds a 1 in its rows 3 to 9, and then
// the table holds those digits; a refused file leaves the table untouched.
//
// The game library is not built for fuzzing: the reader, which needs
// nothing of the game, is compiled into the target from its source.
#include "game/minigames/block_patterns.cpp"

#include <cstring>

#include "fuzz/support/fuzz_support.h"

namespace {

struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  bool readPastEnd = false;
  static char Next(void* context) {
    MemorySource* s = static_cast<MemorySource*>(context);
    if (s->at >= s->size) {
      if (s->at > s->size) s->readPastEnd = true;
      ++s->at;
      return static_cast<char>(0xFF);
    }
    return static_cast<char>(s->data[s->at++]);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The plain reading.
  int32_t cells[kBlockPatternCells];
  int count = 0;
  bool digits = true;
  for (size_t i = 0; i < size && data[i] != 0xFF && count < kBlockPatternCells; ++i) {
    uint8_t b = data[i];
    if (b == ',' || b == '\r' || b == '\n') continue;
    if (b < '0' || b > '9') digits = false;
    cells[count++] = b - '0';
  }
  bool accept = count == kBlockPatternCells && digits;
  for (int k = 0; accept && k < kBlockPatternCount; ++k) {
    bool any = false;
    for (int i = 30; i < 100; ++i) any |= cells[100 * k + i] == 1;
    accept = any;
  }

  int32_t table[kBlockPatternCells];
  memset(table, 0x5a, sizeof table);
  MemorySource source{data, size};
  int32_t bad = 0;
  BlockPatternsResult result = ReadBlockPatterns(MemorySource::Next, &source, table, &bad);
  FUZZ_CHECK(!source.readPastEnd, "read again after the end of the file");
  FUZZ_CHECK((result == kBlockPatternsOk) == accept, "accepted a bad file or refused a good one");
  FUZZ_CHECK(bad >= -1 && bad < kBlockPatternCount, "pattern number out of range");
  if (result == kBlockPatternsOk) {
    FUZZ_CHECK(memcmp(table, cells, sizeof table) == 0, "the table differs from the file's digits");
  } else {
    for (int32_t v : table) FUZZ_CHECK(v == 0x5a5a5a5a, "a refused file changed the table");
  }
  return 0;
}
