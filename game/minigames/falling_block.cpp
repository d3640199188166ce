// Minigame 29, falling block.
#include "game/minigames/falling_block.h"

#include <cstring>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t BlockWellTable[3 * kBlockWellCells] = {};
int32_t BlockPatternTable[kBlockPatternCells] = {};
int32_t DropperStateTable[5][8] = {};
int32_t BlockHoleCounters[3] = {};
int32_t BlockFallInterval = 0;
int32_t FallingBlockMainStep = 0;
int32_t FallingBlockPlayStep = 0;

int32_t& BlockDirection(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& BlockBreakColour(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& BlockRotate(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& BlockJumpHeld(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& BlockFacing(int32_t p) { return ParticipantTable[p].ints[2]; }
int32_t& BlockRole(int32_t p) { return ParticipantTable[p].ints[3]; }
uint8_t& BlockInAir(int32_t p) { return ParticipantTable[p].bytes[0]; }
uint8_t& BlockJumpReady(int32_t p) { return ParticipantTable[p].bytes[1]; }
float& BlockFallSpeed(int32_t p) { return ParticipantTable[p].words[0].f; }

int32_t BlockWellOf(int32_t p) {
  if (p < 1 || p > 4) return 0;
  int32_t team = ParticipantTable[p].team;
  return team == 1 || team == 2 ? team : 0;
}

int32_t& BlockCell(int32_t well, int32_t row, int32_t column) {
  return BlockWellTable[kBlockWellCells * well + kBlockWellColumns * row + column];
}

namespace {

constexpr char kBlockFile[] = "media\\mini\\tumbrick\\block.csv";
constexpr int32_t kWinnerCoins = 10;
constexpr int32_t kSettleFrames = 30;
constexpr int32_t kLockFalls = 2;  // the piece locks when a failed fall makes more
constexpr int32_t kEndRow = 2;
constexpr float kRunnerHalf = 6.5f;
constexpr float kRunnerSpeed = 3.0f;
constexpr float kJumpSpeed = 8.0f;
constexpr float kGravity = 0.5f;
constexpr int32_t kCell = 16;
constexpr int32_t kWellTop = 96;

int32_t WellLeft(int32_t well) { return well == 1 ? 80 : 400; }

bool IsPieceCell(int32_t v) { return v == kBlockPiece; }

bool WellHasPiece(int32_t well) {
  for (int32_t i = 0; i < kBlockWellCells; ++i)
    if (IsPieceCell(BlockWellTable[kBlockWellCells * well + i])) return true;
  return false;
}

// The dropper of the well (role 1 on that team), 0 for none.
int32_t DropperOfWell(int32_t well) {
  for (int32_t p = 1; p <= 4; ++p)
    if (BlockWellOf(p) == well && BlockRole(p) == kBlockDropper) return p;
  return 0;
}

int32_t RandomColour() { return GetRandomNumber(2) + 2; }

// Column 1 holds a block only at hole counter 1, column 8 only at 3.
bool HoleAt(int32_t column, int32_t counter) {
  return (column == 1 && counter != 1) || (column == 8 && counter != 3);
}

char NextFileByte(void* context) { return FileStreamGetChar(*static_cast<FileId*>(context)); }

int LoadFallingBlock() {
  std::memset(BlockWellTable, 0, sizeof BlockWellTable);
  std::memset(BlockPatternTable, 0, sizeof BlockPatternTable);
  std::memset(DropperStateTable, 0, sizeof DropperStateTable);
  return FallingBlockLoadPatterns();
}

void SetUpFallingBlock() {
  std::memset(BlockWellTable, 0, sizeof BlockWellTable);
  int32_t counter = 3;
  for (int32_t r = 0; r < kBlockWellRows; ++r) {
    if (r >= 12)
      for (int32_t c = 0; c < kBlockWellColumns; ++c) {
        if (HoleAt(c, counter)) continue;
        int32_t colour = RandomColour();
        BlockCell(1, r, c) = colour;
        BlockCell(2, r, c) = colour;
      }
    counter = (counter + 1) % 4;
  }
  for (int32_t& h : BlockHoleCounters) h = counter;
  // Team 1: the first member runs and the second drops; team 2 the reverse.
  for (int32_t team = 1; team <= 2; ++team) {
    int32_t first = FindTeamMember(team, 1), second = FindTeamMember(team, 2);
    if (first != 0) BlockRole(first) = team == 1 ? kBlockRunner : kBlockDropper;
    if (second != 0) BlockRole(second) = team == 1 ? kBlockDropper : kBlockRunner;
  }
  std::memset(DropperStateTable, 0, sizeof DropperStateTable);
  for (int32_t p = 1; p <= 4; ++p) {
    DropperStateTable[p][kDropperPattern] = -1;
    ParticipantRecord& r = ParticipantTable[p];
    r.phase = 0;
    r.reals[0] = r.reals[1] = 0.0f;
    BlockInAir(p) = 0;
    BlockJumpReady(p) = 0;
    BlockFallSpeed(p) = 0.0f;
    BlockDirection(p) = 5;
    BlockRotate(p) = 0;
    if (BlockRole(p) == kBlockRunner) {
      BlockFacing(p) = 5;
      r.x = 80.0f;
      r.y = 64.0f;
    } else {
      BlockFacing(p) = 0;
    }
  }
  BlockFallInterval = 60;
  FallingBlockPlayStep = 0;
  FallingBlockDraw();
}

// Participant p's buttons for this frame; a CPU participant gives none.
void ReadControls(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  bool human = IsHumanParticipant(p);
  if (BlockRole(p) == kBlockDropper) {
    BlockDirection(p) = human ? GetPadDirection(p) : 5;
    BlockRotate(p) = 0;
    if (!human) return;
    if (IsNewParticipantPress(p, kButtonA)) BlockRotate(p) = 1;
    if (IsNewParticipantPress(p, kButtonB)) BlockRotate(p) = 2;
    return;
  }
  if (BlockRole(p) != kBlockRunner) return;
  r.reals[0] = 0.0f;
  BlockBreakColour(p) = 0;
  BlockJumpHeld(p) = 0;
  if (!human) return;
  if (IsParticipantButtonHeld(p, kButtonRight)) {
    BlockFacing(p) = 6;
    r.reals[0] = kRunnerSpeed;
  }
  if (IsParticipantButtonHeld(p, kButtonLeft)) {
    BlockFacing(p) = 4;
    r.reals[0] = -kRunnerSpeed;
  }
  BlockJumpHeld(p) = IsParticipantButtonHeld(p, kButtonA) ? 1 : 0;
  if (IsNewParticipantPress(p, kButtonB)) BlockBreakColour(p) = kBlockBlue;
  if (IsNewParticipantPress(p, kButtonC)) BlockBreakColour(p) = kBlockYellow;
  if (IsNewParticipantPress(p, kButtonD)) BlockBreakColour(p) = kBlockGreen;
}

void LockPiece(int32_t p, int32_t well) {
  DropperStateTable[p][kDropperLock] = 0;
  for (int32_t i = 0; i < kBlockWellCells; ++i) {
    int32_t& cell = BlockWellTable[kBlockWellCells * well + i];
    if (IsPieceCell(cell)) cell = RandomColour();
  }
  ParticipantTable[p].phase = kBlockSettling;
  DropperStateTable[p][kDropperSettle] = kSettleFrames;
}

void ClearFullRows(int32_t well) {
  for (int32_t r = 0; r < kBlockWellRows; ++r) {
    bool full = true;
    for (int32_t c = 0; c < kBlockWellColumns; ++c) full &= BlockCell(well, r, c) != kBlockEmpty;
    if (!full) continue;
    for (int32_t above = r; above > 0; --above)
      for (int32_t c = 0; c < kBlockWellColumns; ++c) BlockCell(well, above, c) = BlockCell(well, above - 1, c);
    for (int32_t c = 0; c < kBlockWellColumns; ++c) BlockCell(well, 0, c) = kBlockEmpty;
  }
}

void StepDropper(int32_t p, int32_t well) {
  ParticipantRecord& r = ParticipantTable[p];
  int32_t* state = DropperStateTable[p];
  switch (r.phase) {
    case kBlockFalling: {
      // A piece with no cell left in the well (a turn may drop cells onto
      // settled blocks) would fall for ever: it locks at once.
      if (!WellHasPiece(well)) {
        LockPiece(p, well);
        break;
      }
      int32_t dir = BlockDirection(p);
      if (dir != 2 && dir != 8) {
        int32_t repeat = ++state[kDropperRepeat];
        if (repeat == 1 || repeat > 14) {
          if ((dir == 1 || dir == 4 || dir == 7) && FallingBlockShiftPiece(4, well) == 1) r.x -= 1.0f;
          if ((dir == 3 || dir == 6 || dir == 9) && FallingBlockShiftPiece(6, well) == 1) r.x += 1.0f;
        }
      }
      if (dir == 1 || dir == 2 || dir == 3) {
        int32_t repeat = ++state[kDropperRepeat];
        if (repeat == 1 || (repeat > 4 && repeat % 2 == 0)) state[kDropperFall] = BlockFallInterval;
      }
      if (dir == 5) state[kDropperRepeat] = 0;
      if (dir == 8) {
        for (int32_t n = 0; n < kBlockWellRows && FallingBlockShiftPiece(2, well) == 1; ++n) r.y += 1.0f;
        state[kDropperFall] = 0;
      }
      if (BlockRotate(p) == 1) FallingBlockRotatePiece(1, well, p);
      if (BlockRotate(p) == 2) FallingBlockRotatePiece(-1, well, p);
      if (++state[kDropperFall] >= BlockFallInterval) {
        state[kDropperFall] = 0;
        if (FallingBlockShiftPiece(2, well) == 1) {
          r.y += 1.0f;
        } else if (++state[kDropperLock] > kLockFalls) {
          LockPiece(p, well);
        }
      }
      break;
    }
    case kBlockSettling:
      if (--state[kDropperSettle] < 1) {
        state[kDropperSettle] = 0;
        r.phase = kBlockSpawnNext;
        ClearFullRows(well);
      }
      break;
    case kBlockSpawnNext:
      FallingBlockSpawnPiece(p, kBlockDropper);
      r.phase = kBlockFalling;
      break;
    default:
      break;
  }
}

void StepRunner(int32_t p, int32_t well) {
  ParticipantRecord& r = ParticipantTable[p];
  if (BlockJumpHeld(p) == 0) {
    if (BlockFallSpeed(p) < 0.0f) BlockFallSpeed(p) = 0.0f;
    if (BlockInAir(p) == 0) BlockJumpReady(p) = 1;
  } else if (BlockJumpReady(p) == 1) {
    BlockJumpReady(p) = 0;
    BlockFallSpeed(p) -= kJumpSpeed;
  }
  BlockFallSpeed(p) += kGravity;
  r.reals[1] = BlockFallSpeed(p);
  FallingBlockMoveRunner(p);
  int32_t colour = BlockBreakColour(p);
  if (colour != 0 && (BlockFacing(p) == 6 || BlockFacing(p) == 4)) {
    float bx = BlockFacing(p) == 6 ? r.x + 16.0f : r.x - 16.0f;
    if (FallingBlockCellAt(p, bx, r.y) == colour)
      BlockCell(well, static_cast<int32_t>(r.y / kCell), static_cast<int32_t>(bx / kCell)) = kBlockEmpty;
  }
  if (FallingBlockCellAt(p, r.x, r.y) != kBlockEmpty) {
    r.x = kBlockRunnerStartX;
    r.y = kBlockRunnerStartY;
    BlockFacing(p) = 5;
    FallingBlockRaiseWell(well);
  }
}

bool WellToppedOut(int32_t well) {
  for (int32_t c = 0; c < kBlockWellColumns; ++c) {
    int32_t v = BlockCell(well, kEndRow, c);
    if (v != kBlockEmpty && v != kBlockPiece) return true;
  }
  return false;
}

void FreeFallingBlock() {}

constexpr MinigameSteps kFallingBlock = {
    .step = &FallingBlockMainStep,
    .numbering = &kMinigameStepsA,
    .load = LoadFallingBlock,
    .setUp = SetUpFallingBlock,
    .draw = FallingBlockDraw,
    .play = FallingBlockPlay,
    .outcome = FallingBlockOutcome,
    .unload = FreeFallingBlock,
};

}  // namespace

int FallingBlockMain() { return RunMinigameSteps(kFallingBlock); }

int FallingBlockLoadPatterns() {
  FileId file = FileStreamOpenRead(kBlockFile, 0);
  if (file == 0) {
    WriteErrorLogFormat("%s の読み込みに失敗しました", kBlockFile);
    return -1;
  }
  int32_t bad = -1;
  BlockPatternsResult result = ReadBlockPatterns(NextFileByte, &file, BlockPatternTable, &bad);
  FileStreamClose(file);
  if (result != kBlockPatternsOk) {
    WriteErrorLogFormat("%s の読み込みに失敗しました (%d, pattern %d)", kBlockFile, static_cast<int>(result),
                        static_cast<int>(bad));
    return -1;
  }
  return 1;
}

void FallingBlockSpawnPiece(int32_t p, int32_t role) {
  if (role != kBlockDropper) return;
  int32_t well = BlockWellOf(p);
  if (well == 0) return;
  int32_t* state = DropperStateTable[p];
  state[kDropperRepeat] = 0;
  ParticipantTable[p].x = 5.0f;
  ParticipantTable[p].y = 2.0f;
  int32_t next = GetRandomNumber(6);
  while (next == state[kDropperNext]) next = GetRandomNumber(6);
  state[kDropperPattern] = state[kDropperNext];
  state[kDropperNext] = next;
  const int32_t* pattern = BlockPatternTable + 100 * state[kDropperPattern];
  for (int32_t i = 0; i < kBlockPatternSide; ++i)
    for (int32_t j = 0; j < kBlockPatternSide; ++j) {
      int32_t row = 2 - 5 + i, column = 5 - 5 + j;
      if (pattern[10 * i + j] == 1 && row >= 0 && row < kBlockWellRows && column >= 0 && column < kBlockWellColumns)
        BlockCell(well, row, column) = kBlockPiece;
    }
}

int32_t FallingBlockShiftPiece(int32_t direction, int32_t well) {
  int32_t copy[kBlockWellCells];
  std::memcpy(copy, BlockWellTable + kBlockWellCells * well, sizeof copy);
  int32_t dr = direction == 2 ? 1 : 0, dc = direction == 4 ? -1 : direction == 6 ? 1 : 0;
  // The cell farthest along the motion moves first, so a cell never lands
  // on one of its own piece that has not moved yet.
  int32_t order[kBlockWellCells];
  int32_t n = 0;
  for (int32_t i = 0; i < kBlockWellCells; ++i)
    if (IsPieceCell(copy[i])) order[n++] = i;
  auto ahead = [&](int32_t a, int32_t b) {
    if (dr == 1) return a / 10 > b / 10;
    return dc == 1 ? a % 10 > b % 10 : a % 10 < b % 10;
  };
  for (int32_t k = 1; k < n; ++k)
    for (int32_t m = k; m > 0 && ahead(order[m], order[m - 1]); --m) {
      int32_t t = order[m];
      order[m] = order[m - 1];
      order[m - 1] = t;
    }
  for (int32_t k = 0; k < n; ++k) {
    int32_t row = order[k] / 10, column = order[k] % 10;
    if ((dc == 1 && column == 9) || (dc == -1 && column == 0) || (dr == 1 && row == kBlockWellRows - 1)) return -1;
    int32_t target = 10 * (row + dr) + column + dc;
    if (copy[target] != kBlockEmpty) return -1;
    copy[target] = kBlockPiece;
    copy[order[k]] = kBlockEmpty;
  }
  std::memcpy(BlockWellTable + kBlockWellCells * well, copy, sizeof copy);
  return 1;
}

int32_t FallingBlockRotatePiece(int32_t angle, int32_t well, int32_t p) {
  if (well < 1 || well > 2 || p < 1 || p > 4) return -1;
  int32_t copy[kBlockWellCells];
  std::memcpy(copy, BlockWellTable + kBlockWellCells * well, sizeof copy);
  int32_t centreRow = static_cast<int32_t>(ParticipantTable[p].y);
  int32_t centreColumn = static_cast<int32_t>(ParticipantTable[p].x);
  // Lift the piece out of the 10 x 10 window about the centre (cells of
  // this well only).
  bool lifted[10][10] = {};
  int32_t minRow = 10, maxRow = -1, minColumn = 10, maxColumn = -1;
  for (int32_t r = 0; r < 10; ++r)
    for (int32_t c = 0; c < 10; ++c) {
      int32_t wr = centreRow - 5 + r, wc = centreColumn - 5 + c;
      if (wr < 0 || wr >= kBlockWellRows || wc < 0 || wc >= kBlockWellColumns) continue;
      if (!IsPieceCell(copy[10 * wr + wc])) continue;
      lifted[r][c] = true;
      copy[10 * wr + wc] = kBlockEmpty;
      if (r < minRow) minRow = r;
      if (r > maxRow) maxRow = r;
      if (c < minColumn) minColumn = c;
      if (c > maxColumn) maxColumn = c;
    }
  if (maxRow < 0) return -1;
  // A quarter turn about the window's centre (4.5, 4.5): +1 takes (r, c) to
  // (c, 9 - r), -1 to (9 - c, r).
  bool turned[10][10] = {};
  for (int32_t r = 0; r < 10; ++r)
    for (int32_t c = 0; c < 10; ++c)
      if (lifted[r][c]) {
        if (angle > 0)
          turned[c][9 - r] = true;
        else
          turned[9 - c][r] = true;
      }
  // Move the centre until every turned cell lies inside the well; a move
  // back against an earlier one, or a cell outside that lies within the
  // piece's former span, refuses the turn.
  int32_t rowMove = 0, columnMove = 0;
  for (int32_t pass = 0;; ++pass) {
    if (pass > 2 * (kBlockWellRows + kBlockWellColumns)) return -1;
    int32_t moveRow = 0, moveColumn = 0;
    for (int32_t r = 0; r < 10 && moveRow == 0 && moveColumn == 0; ++r)
      for (int32_t c = 0; c < 10 && moveRow == 0 && moveColumn == 0; ++c) {
        if (!turned[r][c]) continue;
        int32_t wr = centreRow - 5 + r, wc = centreColumn - 5 + c;
        if (wr < 0 || wr >= kBlockWellRows) {
          if (wr < 0 && r < minRow)
            moveRow = 1;
          else if (wr >= kBlockWellRows && r > maxRow)
            moveRow = -1;
          else
            return -1;
        } else if (wc < 0 || wc >= kBlockWellColumns) {
          if (wc < 0 && c < minColumn)
            moveColumn = 1;
          else if (wc >= kBlockWellColumns && c > maxColumn)
            moveColumn = -1;
          else
            return -1;
        }
      }
    if (moveRow == 0 && moveColumn == 0) break;
    if (moveRow != 0) {
      if (rowMove == -moveRow) return -1;
      rowMove = moveRow;
      centreRow += moveRow;
    } else {
      if (columnMove == -moveColumn) return -1;
      columnMove = moveColumn;
      centreColumn += moveColumn;
    }
  }
  for (int32_t r = 0; r < 10; ++r)
    for (int32_t c = 0; c < 10; ++c) {
      if (!turned[r][c]) continue;
      int32_t& cell = copy[10 * (centreRow - 5 + r) + centreColumn - 5 + c];
      if (cell == kBlockEmpty) cell = kBlockPiece;
    }
  std::memcpy(BlockWellTable + kBlockWellCells * well, copy, sizeof copy);
  ParticipantTable[p].x = static_cast<float>(centreColumn);
  ParticipantTable[p].y = static_cast<float>(centreRow);
  return 1;
}

void FallingBlockRaiseWell(int32_t well) {
  if (well < 1 || well > 2) return;
  int32_t* cells = BlockWellTable + kBlockWellCells * well;
  for (int32_t i = kBlockWellColumns; i < kBlockWellCells; ++i)
    if (cells[i] != kBlockEmpty) {
      int32_t t = cells[i - kBlockWellColumns];
      cells[i - kBlockWellColumns] = cells[i];
      cells[i] = t;
    }
  int32_t dropper = DropperOfWell(well);
  if (dropper != 0) ParticipantTable[dropper].y -= 1.0f;
  for (int32_t c = 0; c < kBlockWellColumns; ++c)
    BlockCell(well, kBlockWellRows - 1, c) = HoleAt(c, BlockHoleCounters[well]) ? kBlockEmpty : RandomColour();
  BlockHoleCounters[well] = (BlockHoleCounters[well] + 1) % 4;
}

int32_t FallingBlockCellAt(int32_t p, float x, float y) {
  int32_t well = BlockWellOf(p);
  if (well == 0 || !(x >= 0.0f) || !(y >= 0.0f)) return kBlockSolid;
  float column = x / kCell, row = y / kCell;
  if (column >= kBlockWellColumns || row >= kBlockWellRows) return kBlockSolid;
  return BlockCell(well, static_cast<int32_t>(row), static_cast<int32_t>(column));
}

int32_t FallingBlockClipVelocity(int32_t p, float px, float py, float* vx, float* vy) {
  float qx = px + *vx, qy = py + *vy;
  if (FallingBlockCellAt(p, qx, qy) == kBlockEmpty) return 0;
  // The blocking cell's first and last pixel on each axis.
  auto first = [](float v) {
    int32_t n = static_cast<int32_t>(v);
    if (static_cast<float>(n) > v) --n;
    return static_cast<float>((n >= 0 ? n / kCell : -((-n + kCell - 1) / kCell)) * kCell);
  };
  float left = first(qx), top = first(qy);
  float right = left + kCell - 1, bottom = top + kCell - 1;
  if (*vy > 0.0f) {
    *vy = top - py - 1.0f;
    return 3;
  }
  if (*vy < 0.0f) {
    *vy = bottom - py + 1.0f;
    return 4;
  }
  if (*vx > 0.0f) {
    *vx = left - px - 1.0f;
    return 1;
  }
  if (*vx < 0.0f) {
    *vx = right - px + 1.0f;
    return 2;
  }
  return 4;
}

void FallingBlockMoveRunner(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  const float h = kRunnerHalf;
  float none = 0.0f;
  float& vy = r.reals[1];
  bool landed = FallingBlockClipVelocity(p, r.x - h, r.y + h, &none, &vy) == 3;
  none = 0.0f;
  landed |= FallingBlockClipVelocity(p, r.x + h, r.y + h, &none, &vy) == 3;
  if (landed) BlockFallSpeed(p) = 0.0f;
  r.y += vy;
  float n = static_cast<float>(static_cast<int32_t>(r.y + 0.5f));
  if (r.y - n < 0.001f && n - r.y < 0.001f) r.y = n;
  float& vx = r.reals[0];
  const float probes[4][2] = {{-h, h}, {h, h}, {-h, -h}, {h, -h}};
  for (const auto& probe : probes) {
    float still = 0.0f;
    FallingBlockClipVelocity(p, r.x + probe[0], r.y + probe[1], &vx, &still);
  }
  r.x += vx;
  if (FallingBlockCellAt(p, r.x - h, r.y + h + 1.0f) == kBlockEmpty &&
      FallingBlockCellAt(p, r.x + h, r.y + h + 1.0f) == kBlockEmpty)
    BlockInAir(p) = 1;
  else
    BlockInAir(p) = CompareFloatWithInt(2, BlockFallSpeed(p), 0) ? 0 : 1;
}

void FallingBlockStep() {
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t well = BlockWellOf(p);
    if (well == 0) continue;
    if (BlockRole(p) == kBlockDropper)
      StepDropper(p, well);
    else if (BlockRole(p) == kBlockRunner)
      StepRunner(p, well);
  }
}

int FallingBlockPlay() {
  switch (FallingBlockPlayStep) {
    case 0:
      FallingBlockPlayStep = 1;
      break;
    case 1:
      for (int32_t p = 1; p <= 4; ++p) {
        FallingBlockSpawnPiece(p, BlockRole(p));
        ParticipantTable[p].phase = kBlockFalling;
      }
      BlockFallInterval = 60;
      FallingBlockPlayStep = 3;
      break;
    case 3: {
      for (int32_t p = 1; p <= 4; ++p) ReadControls(p);
      FallingBlockStep();
      bool over = false;
      for (int32_t p = 1; p <= 4; ++p)
        if (BlockWellOf(p) != 0 && WellToppedOut(BlockWellOf(p))) over = true;
      if (over) FallingBlockPlayStep = 7;
      break;
    }
    case 7:
      FallingBlockDraw();
      FallingBlockPlayStep = 0;
      return 1;
    default:
      break;
  }
  FallingBlockDraw();
  return 0;
}

int FallingBlockOutcome() {
  FallingBlockDraw();
  // The pair whose well stayed below row 2 wins; both wells at once is a draw.
  bool topped1 = WellToppedOut(1), topped2 = WellToppedOut(2);
  if (topped1 && !topped2) AwardTeam(2, kWinnerCoins);
  if (topped2 && !topped1) AwardTeam(1, kWinnerCoins);
  return 1;
}

void FallingBlockDraw() {
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  const uint32_t red = MakeScreenColor(255, 0, 0), white = MakeScreenColor(255, 255, 255);
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t well = BlockWellOf(p);
    if (well == 0) continue;
    const ParticipantRecord& r = ParticipantTable[p];
    if (BlockRole(p) == kBlockDropper)
      DrawCircleShape(WellLeft(well) + static_cast<int32_t>(kCell * r.x), kWellTop + static_cast<int32_t>(kCell * r.y),
                      3, red, 1);
    else if (BlockRole(p) == kBlockRunner)
      DrawGraphRotated(WellLeft(well) + static_cast<int32_t>(r.x), kWellTop + static_cast<int32_t>(r.y), 0.5, 0.0,
                       ParticipantPicture(p, 1), 1, 0);
  }
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t team = BlockWellOf(p);
    int32_t next = DropperStateTable[p][kDropperNext];
    if (team == 0 || BlockRole(p) != kBlockDropper || next < 0 || next >= kBlockPatternCount) continue;
    for (int32_t i = 0; i < kBlockPatternSide; ++i)
      for (int32_t j = 0; j < kBlockPatternSide; ++j)
        if (BlockPatternTable[100 * next + 10 * i + j] == 1) {
          int32_t x = kCell * (j + 20 * team - 8), y = kCell * i - kCell;
          DrawRectangleShape(x, y, x + kCell, y + kCell, white, 1);
        }
  }
  for (int32_t well = 1; well <= 2; ++well) {
    for (int32_t r = 0; r < kBlockWellRows; ++r)
      for (int32_t c = 0; c < kBlockWellColumns; ++c) {
        int32_t x = WellLeft(well) + kCell * c, y = kWellTop + kCell * r;
        int32_t v = BlockCell(well, r, c);
        uint32_t colour = v == kBlockBlue     ? MakeScreenColor(160, 160, 255)
                          : v == kBlockYellow ? MakeScreenColor(255, 255, 140)
                          : v == kBlockGreen  ? MakeScreenColor(120, 255, 130)
                          : v == kBlockSolid  ? MakeScreenColor(255, 155, 155)
                                              : white;
        DrawRectangleShape(x, y, x + kCell, y + kCell, colour, v == kBlockEmpty ? 0 : 1);
      }
    DrawLineShape(WellLeft(well), 144, WellLeft(well) + 160, 144, red, 1);
  }
}
