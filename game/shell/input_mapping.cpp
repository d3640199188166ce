// Input assignments, new-press latches, key hold counters and "keyconfig.dat".
#include "game/shell/input_mapping.h"

#include <cstring>

#include "game/shell/saved_files.h"
#include "library/zrlib.h"

KeyConfigRecord KeyConfigTable[5] = {};
KeyConfigRecord KeyLatchTable[5] = {};
uint32_t KeyHoldFrames[256] = {};

namespace {

const char kKeyConfigFile[] = "keyconfig.dat";
constexpr size_t kRecordWords = 10;
constexpr size_t kKeyConfigFileSize = 5 * kRecordWords * 4;

// The record's word index of each button number.
constexpr int kButtonField[9] = {1, 4, 2, 3, 5, 6, 7, 8, 9};

// The record as its ten words, in file order.
uint32_t* Words(KeyConfigRecord& record) { return reinterpret_cast<uint32_t*>(&record); }

}  // namespace

uint32_t* ButtonWord(KeyConfigRecord* table, int32_t record, int32_t button) {
  if (record < 0 || record > 4 || button < 0 || button > 8) return nullptr;
  return Words(table[record]) + kButtonField[button];
}

KeyConfigRecord DefaultKeyConfigRecord(int32_t index) {
  return KeyConfigRecord{static_cast<uint32_t>(index), 8, 2, 4, 1, 16, 32, 64, 128, 8192};
}

void SetDefaultKeyConfig() {
  for (int32_t i = 0; i < 5; ++i) KeyConfigTable[i] = DefaultKeyConfigRecord(i);
}

uint32_t GetDeviceButtons(uint32_t device) {
  if (device == 1) return static_cast<uint32_t>(GetPadInputBits(0x1001));
  if (device >= 2 && device <= 16) return static_cast<uint32_t>(GetPadInputBits(static_cast<int>(device)));
  return 0;
}

uint32_t FindActiveDevice() {
  for (uint32_t device = 1; device <= 16; ++device)
    if (GetDeviceButtons(device) != 0) return device;
  return 0;
}

bool IsNewButtonPressBits(int32_t record, uint32_t bits, int32_t button) {
  uint32_t* mask = ButtonWord(KeyConfigTable, record, button);
  uint32_t* latch = ButtonWord(KeyLatchTable, record, button);
  if (mask == nullptr) return false;
  if ((bits & *mask) == 0) {
    *latch = 0;
    return false;
  }
  if (*latch != 0) return false;
  *latch = 1;
  return true;
}

bool IsNewButtonPress(int32_t record, int32_t button) {
  if (record < 0 || record > 4) return false;
  return IsNewButtonPressBits(record, GetDeviceButtons(KeyConfigTable[record].device), button);
}

int32_t GetPadDirection(int32_t record) {
  if (record < 0 || record > 4) return 5;
  const KeyConfigRecord& r = KeyConfigTable[record];
  uint32_t bits = GetDeviceButtons(r.device);
  bool up = (bits & r.up) != 0, down = (bits & r.down) != 0;
  bool left = (bits & r.left) != 0, right = (bits & r.right) != 0;
  int held = up + down + left + right;
  if (held < 2) {
    if (left) return 4;
    if (right) return 6;
    if (up) return 8;
    if (down) return 2;
    return 5;
  }
  if (left) return down ? 1 : 7;
  if (right) return down ? 3 : 9;
  return 5;
}

int UpdateKeyHoldCounters() {
  uint8_t keys[256];
  if (GetAllKeyState(keys) != 0) memset(keys, 0, sizeof keys);
  for (int i = 0; i < 256; ++i) KeyHoldFrames[i] = keys[i] != 0 ? KeyHoldFrames[i] + 1 : 0;
  return 0;
}

void ReadKeyConfigFile() {
  unsigned char bytes[kKeyConfigFileSize];
  if (ReadSavedFile(kKeyConfigFile, bytes, sizeof bytes) != 1) {
    SetDefaultKeyConfig();
    return;
  }
  for (int32_t r = 0; r < 5; ++r) {
    uint32_t* words = Words(KeyConfigTable[r]);
    for (size_t w = 0; w < kRecordWords; ++w) words[w] = ReadLe32(bytes + (r * kRecordWords + w) * 4);
  }
  // A player's record without a device, or without a mask for a button the
  // menus need (A decides, B cancels, start leaves the title), would lock
  // that player out of the menus.
  for (int32_t r = 1; r < 5; ++r) {
    const KeyConfigRecord& record = KeyConfigTable[r];
    if (record.device < 1 || record.device > 16) {
      WriteErrorLogFormat("%s: 記録 %d の機器 %u は使えません 初期設定に戻します", kKeyConfigFile, r,
                          record.device);
      KeyConfigTable[r] = DefaultKeyConfigRecord(r);
    } else if (record.a == 0 || record.b == 0 || record.start == 0) {
      WriteErrorLogFormat("%s: 記録 %d にはＡ、Ｂ、startのボタンがそろっていません 初期設定に戻します",
                          kKeyConfigFile, r);
      KeyConfigTable[r] = DefaultKeyConfigRecord(r);
    }
  }
}

int WriteKeyConfigFile() {
  unsigned char bytes[kKeyConfigFileSize];
  for (int32_t r = 0; r < 5; ++r) {
    const uint32_t* words = Words(KeyConfigTable[r]);
    for (size_t w = 0; w < kRecordWords; ++w) WriteLe32(bytes + (r * kRecordWords + w) * 4, words[w]);
  }
  return WriteSavedFile(kKeyConfigFile, bytes, sizeof bytes);
}
