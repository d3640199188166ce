// The autosave "backup.dat": written field by field at every round start,
// read back and checked before a restore.
#include <cmath>
#include <cstring>

#include "game/board/board_map.h"
#include "game/board/board_pictures.h"
#include "game/board/dice_movement.h"
#include "game/board/party_scene.h"
#include "game/shell/player_table.h"
#include "game/shell/saved_files.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

const char kBackupFileName[] = "backup.dat";

namespace {

// Offsets of the file.
constexpr size_t kPlayersAt = 4;  // slot 0 (never written), then players 1 to 4
constexpr size_t kPlayerBytes = 92;
constexpr size_t kMapIdAt = 464;
constexpr size_t kTotalTurnsAt = 468;
constexpr size_t kTurnsLeftAt = 472;
constexpr size_t kSquaresAt = 480;
constexpr size_t kSquareBytes = 36;
constexpr size_t kFatedAt = 4080;
constexpr size_t kWarpPairsAt = 4100;

uint32_t FloatBits(float value) {
  uint32_t bits;
  memcpy(&bits, &value, 4);
  return bits;
}

float BitsFloat(uint32_t bits) {
  float value;
  memcpy(&value, &bits, 4);
  return value;
}

int32_t I32(const unsigned char* p) { return static_cast<int32_t>(ReadLe32(p)); }
void PutI32(unsigned char* p, int32_t v) { WriteLe32(p, static_cast<uint32_t>(v)); }

const unsigned char* PlayerBytes(const unsigned char* file, int32_t player) {
  return file + kPlayersAt + kPlayerBytes * static_cast<size_t>(player);
}

const unsigned char* SquareBytes(const unsigned char* file, int32_t square) {
  return file + kSquaresAt + kSquareBytes * static_cast<size_t>(square);
}

void EncodePlayer(const PlayerRecord& r, unsigned char* p) {
  memcpy(p, r.name, 11);
  p[11] = r.cpuFlag;
  PutI32(p + 12, r.cpuLevel);
  PutI32(p + 16, r.character);
  PutI32(p + 20, r.turnOrder);
  PutI32(p + 24, r.coins);
  PutI32(p + 28, r.stars);
  PutI32(p + 32, r.placement);
  for (int i = 0; i < 3; ++i) PutI32(p + 36 + 4 * i, r.items[i]);
  PutI32(p + 48, r.itemInUse);
  PutI32(p + 52, r.team);
  PutI32(p + 56, r.facing);
  PutI32(p + 60, r.squareColour);
  PutI32(p + 64, r.moveCount);
  PutI32(p + 68, r.unused68);
  PutI32(p + 72, r.prevSquare);
  PutI32(p + 76, r.square);
  PutI32(p + 80, r.unused80);
  WriteLe32(p + 84, FloatBits(r.x));
  WriteLe32(p + 88, FloatBits(r.y));
}

void DecodePlayer(const unsigned char* p, PlayerRecord& r) {
  memcpy(r.name, p, 11);
  r.cpuFlag = p[11];
  r.cpuLevel = I32(p + 12);
  r.character = I32(p + 16);
  r.turnOrder = I32(p + 20);
  r.coins = I32(p + 24);
  r.stars = I32(p + 28);
  r.placement = I32(p + 32);
  for (int i = 0; i < 3; ++i) r.items[i] = I32(p + 36 + 4 * i);
  r.itemInUse = I32(p + 48);
  r.team = I32(p + 52);
  r.facing = I32(p + 56);
  r.squareColour = I32(p + 60);
  r.moveCount = I32(p + 64);
  r.unused68 = I32(p + 68);
  r.prevSquare = I32(p + 72);
  r.square = I32(p + 76);
  r.unused80 = I32(p + 80);
  r.x = BitsFloat(ReadLe32(p + 84));
  r.y = BitsFloat(ReadLe32(p + 88));
}

void EncodeSquare(const SquareRecord& s, unsigned char* p) {
  PutI32(p, s.id);
  WriteLe32(p + 4, FloatBits(s.x));
  WriteLe32(p + 8, FloatBits(s.y));
  PutI32(p + 12, s.occupancy);
  PutI32(p + 16, s.kind);
  for (int i = 0; i < 4; ++i) PutI32(p + 20 + 4 * i, s.link[i]);
}

void DecodeSquare(const unsigned char* p, SquareRecord& s) {
  s.id = I32(p);
  s.x = BitsFloat(ReadLe32(p + 4));
  s.y = BitsFloat(ReadLe32(p + 8));
  s.occupancy = I32(p + 12);
  s.kind = I32(p + 16);
  for (int i = 0; i < 4; ++i) s.link[i] = I32(p + 20 + 4 * i);
}

bool InRange(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

bool PlayerValid(const unsigned char* p, bool orderSeen[5]) {
  if (memchr(p, 0, 11) == nullptr) return false;  // the name must end within its 11 bytes
  PlayerRecord r;
  DecodePlayer(p, r);
  // A CPU player has a level (its fork routes ask for one), a human none.
  if (r.cpuFlag > 1 || r.cpuLevel < 0 || (r.cpuFlag == 1) != (r.cpuLevel >= 1)) return false;
  if (!InRange(r.character, 0, 5) || !InRange(r.turnOrder, 1, 4) || orderSeen[r.turnOrder]) return false;
  orderSeen[r.turnOrder] = true;
  // No party reaches counts above the bound: such a file is not a saved party.
  if (!InRange(r.coins, 0, kMostCoinsOrStars) || !InRange(r.stars, 0, kMostCoinsOrStars)) return false;
  for (int32_t item : r.items)
    if (!InRange(item, 0, 39)) return false;
  if (!InRange(r.itemInUse, 0, 39)) return false;
  if (!InRange(r.square, 0, 99) || !InRange(r.prevSquare, 0, 99)) return false;
  return std::isfinite(r.x) && std::isfinite(r.y);
}

bool SquareValid(const unsigned char* p) {
  SquareRecord s;
  DecodeSquare(p, s);
  for (int32_t link : s.link)
    if (!InRange(link, 0, 99)) return false;
  return std::isfinite(s.x) && std::isfinite(s.y);
}

}  // namespace

void BuildBackupBytes(unsigned char out[kBackupFileSize]) {
  memset(out, 0, kBackupFileSize);
  WriteLe32(out, 1);
  for (int32_t p = 1; p <= 4; ++p)
    EncodePlayer(PlayerTable[p - 1], out + kPlayersAt + kPlayerBytes * static_cast<size_t>(p));
  PutI32(out + kMapIdAt, CurrentMapId);
  PutI32(out + kTotalTurnsAt, TotalTurns);
  PutI32(out + kTurnsLeftAt, TurnsLeft);
  for (int32_t s = 0; s < kSquareCount; ++s)
    EncodeSquare(SquareTable[s], out + kSquaresAt + kSquareBytes * static_cast<size_t>(s));
  for (int i = 0; i < 5; ++i) PutI32(out + kFatedAt + 4 * i, FatedOneCountdown[i]);
  for (int i = 0; i < 10; ++i) PutI32(out + kWarpPairsAt + 4 * i, WarpPairs[i]);
}

int WriteBackupFile() {
  unsigned char bytes[kBackupFileSize];
  BuildBackupBytes(bytes);
  if (WriteFileReplacing(kBackupFileName, bytes, sizeof bytes) != 0) {
    MessageBoxA(nullptr, "バックアップ生成失敗", "どういうことなの･･･", 0);
    return -1;
  }
  return 0;
}

bool IsBackupValid(const unsigned char* bytes, size_t size) {
  if (bytes == nullptr || size != kBackupFileSize || ReadLe32(bytes) == 0) return false;
  if (!InRange(I32(bytes + kMapIdAt), kFirstPlayableMap, kLastPlayableMap)) return false;
  int32_t total = I32(bytes + kTotalTurnsAt);
  bool offered = false;
  for (int32_t count : kTurnCounts)
    if (count == total) offered = true;
  if (!offered || !InRange(I32(bytes + kTurnsLeftAt), 1, total)) return false;
  bool orderSeen[5] = {};
  for (int32_t p = 1; p <= 4; ++p)
    if (!PlayerValid(PlayerBytes(bytes, p), orderSeen)) return false;
  for (int32_t s = 0; s < kSquareCount; ++s)
    if (!SquareValid(SquareBytes(bytes, s))) return false;
  for (int i = 0; i < 10; ++i)
    if (!InRange(I32(bytes + kWarpPairsAt + 4 * i), 0, 99)) return false;
  return true;
}

bool ReadBackupFile(unsigned char out[kBackupFileSize]) {
  if (ReadSavedFile(kBackupFileName, out, kBackupFileSize) != 1) return false;
  if (ReadLe32(out) == 0) return false;  // no party saved
  if (IsBackupValid(out, kBackupFileSize)) return true;
  WriteErrorLogFormat("%s の内容が壊れているため復元しません", kBackupFileName);
  return false;
}

void RestoreBackup(const unsigned char bytes[kBackupFileSize]) {
  PartyRestored = 1;
  CurrentMapId = I32(bytes + kMapIdAt);
  LoadBoardImages();  // the saved map's squares and pictures; the saved squares go over them
  for (int32_t s = 0; s < kSquareCount; ++s) DecodeSquare(SquareBytes(bytes, s), SquareTable[s]);
  for (int32_t p = 1; p <= 4; ++p) DecodePlayer(PlayerBytes(bytes, p), PlayerTable[p - 1]);
  TotalTurns = I32(bytes + kTotalTurnsAt);
  TurnsLeft = I32(bytes + kTurnsLeftAt);
  for (int i = 0; i < 5; ++i) FatedOneCountdown[i] = I32(bytes + kFatedAt + 4 * i);
  for (int i = 0; i < 10; ++i) WarpPairs[i] = I32(bytes + kWarpPairsAt + 4 * i);
}
