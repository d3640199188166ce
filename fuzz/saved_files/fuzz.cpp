// The game's saved files in the working folder: "option.dat" (volumes and
// window mode), "keyconfig.dat" (five input records) and the autosave
// "backup.dat" (checked, then restored).
//
// Input: a byte choosing the file (0 option.dat, 1 keyconfig.dat, 2
// backup.dat, 3 backup.dat of exactly its size, the rest padded with zeros),
// then the file's bytes, written to the working folder and read as the game
// reads it at start.
//
// Besides memory safety: a file of another size reads as the defaults; the
// settings read are within their ranges (volumes 0 to 255 on a step of the
// volume table, window mode 0 or 1; a player's record naming a device 1 to
// 16 and masks for A, B and start) and each is the file's word wherever that
// word was in range; written back and read again they are the same. A
// backup is restored exactly when it is whole and checked; a restored party
// holds four players in turns 1 to 4 on squares 0 to 99 with coins and stars
// within 0 and the bound, built again it gives back the file's fields, and
// gains of coins (a frame of the coin animation at a time) and of stars
// never take a count above the bound.
//
// The game library is not built for fuzzing (only the library is): the
// readers are compiled into the target from their sources (game_sources.cpp),
// with the few game objects they touch standing alone there.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"

FUZZ_TARGET_STARTS_LIBRARY()

namespace {

uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

void CheckOptions(const std::vector<uint8_t>& file) {
  WriteScratchFile("option.dat", file);
  OptionRecord = {7, 7, 7};
  ReadOptionFile();
  LogOptionFileNote();
  const bool whole = file.size() == 12;
  const uint32_t music = whole ? std::min<uint32_t>(Word(file, 0), 255) : 255;
  const uint32_t effects = whole ? std::min<uint32_t>(Word(file, 4), 255) : 255;
  FUZZ_CHECK(MusicVolume == static_cast<int32_t>(music) && SoundEffectVolume == static_cast<int32_t>(effects),
             "volumes other than the file's words held at 255");
  FUZZ_CHECK(WindowModeFlag == (whole ? (Word(file, 8) != 0 ? 1u : 0u) : 1u), "a window mode other than 0 or 1");
  FUZZ_CHECK(MusicVolumeIndex >= 0 && MusicVolumeIndex <= 8 && SoundEffectVolumeIndex >= 0 &&
                 SoundEffectVolumeIndex <= 8,
             "a volume index off the table");
  if (!whole) return;
  const OptionRecordData read = OptionRecord;
  FUZZ_CHECK(WriteOptionFile() == 0, "the settings do not write");
  OptionRecord = {7, 7, 7};
  ReadOptionFile();
  LogOptionFileNote();
  FUZZ_CHECK(memcmp(&read, &OptionRecord, sizeof read) == 0, "settings written and read back differ");
}

void CheckKeyConfig(const std::vector<uint8_t>& file) {
  WriteScratchFile("keyconfig.dat", file);
  memset(KeyConfigTable, 0x5A, sizeof KeyConfigTable);
  ReadKeyConfigFile();
  const bool whole = file.size() == sizeof KeyConfigTable;
  for (int32_t r = 0; r < 5; ++r) {
    const KeyConfigRecord& k = KeyConfigTable[r];
    if (r > 0) FUZZ_CHECK(k.device >= 1 && k.device <= 16, "a player's record without a device");
    if (r > 0) FUZZ_CHECK(k.a != 0 && k.b != 0 && k.start != 0, "a player's record without A, B or start");
    KeyConfigRecord expected = DefaultKeyConfigRecord(r);
    if (whole) {
      memcpy(&expected, file.data() + sizeof expected * static_cast<size_t>(r), sizeof expected);  // little-endian
      if (r > 0 && (expected.device < 1 || expected.device > 16 || expected.a == 0 || expected.b == 0 ||
                    expected.start == 0))
        expected = DefaultKeyConfigRecord(r);
    }
    FUZZ_CHECK(memcmp(&expected, &k, sizeof k) == 0, "a record other than the file's or the default");
  }
  KeyConfigRecord read[5];
  memcpy(read, KeyConfigTable, sizeof read);
  FUZZ_CHECK(WriteKeyConfigFile() == 0, "the records do not write");
  ReadKeyConfigFile();
  FUZZ_CHECK(memcmp(read, KeyConfigTable, sizeof read) == 0, "records written and read back differ");
}

void CheckBackup(const std::vector<uint8_t>& file) {
  WriteScratchFile("backup.dat", file);
  unsigned char bytes[kBackupFileSize];
  const bool read = ReadBackupFile(bytes);
  const bool valid = IsBackupValid(file.data(), file.size());
  FUZZ_CHECK(read == (valid && file.size() == kBackupFileSize), "read other than a whole, checked backup");
  if (!read) return;
  FUZZ_CHECK(memcmp(bytes, file.data(), kBackupFileSize) == 0, "the backup read is not the file");
  RestoreBackup(bytes);
  bool seen[5] = {};
  for (const PlayerRecord& p : PlayerTable) {
    FUZZ_CHECK(p.turnOrder >= 1 && p.turnOrder <= 4 && !seen[p.turnOrder], "turns not 1 to 4 once each");
    seen[p.turnOrder] = true;
    FUZZ_CHECK(p.square >= 0 && p.square <= 99 && p.prevSquare >= 0 && p.prevSquare <= 99,
               "a player off the board");
    FUZZ_CHECK(memchr(p.name, 0, 11) != nullptr, "a name without its end");
    FUZZ_CHECK(p.coins >= 0 && p.coins <= kMostCoinsOrStars && p.stars >= 0 && p.stars <= kMostCoinsOrStars,
               "a count no party reaches");
  }
  FUZZ_CHECK(TurnsLeft >= 1 && TurnsLeft <= TotalTurns, "turns left outside the party");
  unsigned char again[kBackupFileSize];
  BuildBackupBytes(again);
  // Everything but the first word and the never-written slot 0 and pad.
  FUZZ_CHECK(memcmp(again + 96, bytes + 96, 476 - 96) == 0 &&
                 memcmp(again + 480, bytes + 480, kBackupFileSize - 480) == 0,
             "a restored party builds other bytes than its file");

  // The party's first gains: coins counted up a frame at a time, by amounts
  // taken from the file, and a star each.
  for (int32_t p = 1; p <= 4; ++p) {
    PlayerRecord& record = PlayerTable[p - 1];
    const int32_t gain = CoinChangeWithinHeld(p, static_cast<int32_t>(bytes[96 + 92 * (p - 1) + 68] % 64));
    memset(CoinAnimationState, 0, sizeof CoinAnimationState);
    for (int frame = 0; frame < 200 && AnimateCoinChange(gain, p) == 0; ++frame)
      FUZZ_CHECK(record.coins >= 0 && record.coins <= kMostCoinsOrStars, "coins above the bound after a frame");
    FUZZ_CHECK(record.coins >= 0 && record.coins <= kMostCoinsOrStars, "coins above the bound");
    record.stars = GainWithinBound(record.stars, 1);
    FUZZ_CHECK(record.stars <= kMostCoinsOrStars, "stars above the bound");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  FuzzInput in(data, size);
  const uint8_t which = in.Byte() % 4;
  std::vector<uint8_t> file = in.Rest();
  switch (which) {
    case 0:
      CheckOptions(file);
      break;
    case 1:
      CheckKeyConfig(file);
      break;
    default:
      if (which == 3) file.resize(kBackupFileSize, 0);
      CheckBackup(file);
      break;
  }
  return 0;
}
