// The falling-block piece file reader.
#include "game/minigames/block_patterns.h"

BlockPatternsResult ReadBlockPatterns(char (*next)(void* context), void* context, int32_t table[kBlockPatternCells],
                                      int32_t* badPattern) {
  if (badPattern != nullptr) *badPattern = -1;
  int32_t cells[kBlockPatternCells];
  int count = 0;
  while (count < kBlockPatternCells) {
    char c = next(context);
    if (static_cast<unsigned char>(c) == 0xFF) return kBlockPatternsShort;
    if (c == ',' || c == '\r' || c == '\n') continue;
    if (c < '0' || c > '9') {
      if (badPattern != nullptr) *badPattern = count / (kBlockPatternSide * kBlockPatternSide);
      return kBlockPatternsNotDigit;
    }
    cells[count++] = c - '0';
  }
  // A piece without a cell in the well would never lock: every pattern needs
  // a piece cell in a row that spawns inside it.
  for (int k = 0; k < kBlockPatternCount; ++k) {
    bool any = false;
    for (int i = kBlockPatternFirstSpawnRow * kBlockPatternSide; i < kBlockPatternSide * kBlockPatternSide; ++i)
      any |= cells[k * kBlockPatternSide * kBlockPatternSide + i] == 1;
    if (!any) {
      if (badPattern != nullptr) *badPattern = k;
      return kBlockPatternsEmptyPiece;
    }
  }
  for (int i = 0; i < kBlockPatternCells; ++i) table[i] = cells[i];
  return kBlockPatternsOk;
}
