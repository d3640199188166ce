// The falling-block minigame's piece file "block.csv": seven 10 x 10 piece
// patterns, one digit a cell (1 a piece cell, any other digit empty), commas,
// CR and LF skipped, read up to the end-of-file byte 0xFF. The reader checks
// what play relies on before it hands a table over.
#pragma once

#include <cstdint>

constexpr int kBlockPatternCount = 7;
constexpr int kBlockPatternSide = 10;
constexpr int kBlockPatternCells = kBlockPatternCount * kBlockPatternSide * kBlockPatternSide;  // 700
// Pattern rows from this one on land inside the well when a piece spawns
// (the rows above it lie over the well's top).
constexpr int kBlockPatternFirstSpawnRow = 3;

enum BlockPatternsResult : int32_t {
  kBlockPatternsOk = 0,
  kBlockPatternsShort,        // fewer than 700 cells before the end
  kBlockPatternsNotDigit,     // a cell byte that is no digit
  kBlockPatternsEmptyPiece,   // a pattern without a piece cell in the rows that spawn
};

// Reads cells from `next` (a byte a call; 0xFF ends the file) until 700 are
// read. On kBlockPatternsOk `table` holds them; on a refusal it is left as
// it was and `*badPattern` (when given) names the pattern at fault (-1 when
// none is).
BlockPatternsResult ReadBlockPatterns(char (*next)(void* context), void* context, int32_t table[kBlockPatternCells],
                                      int32_t* badPattern);
