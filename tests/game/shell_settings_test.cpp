// "option.dat" and "keyconfig.dat": byte-for-byte round trips, and every
// damaged form giving the defaults.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "tests/game/harness/game_harness.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Words(std::initializer_list<uint32_t> words) {
  Bytes out;
  for (uint32_t w : words)
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(w >> (8 * i)));
  return out;
}

// A game process without the library: only the files and the globals.
const GameOptions kFilesOnly = {.pads = 0, .media = ""};

TEST(OptionFile, RoundTripsByteForByte) {
  for (const Bytes& file : {Words({0, 0, 0}), Words({125, 8, 1}), Words({255, 255, 1}), Words({17, 200, 0})}) {
    RunGame(kFilesOnly, [&](GameHarness& h) {
      WriteFileBytes(h.workDir() + "/option.dat", file);
      ReadOptionFile();
      EXPECT_EQ(MusicVolume, static_cast<int32_t>(file[0]));
      EXPECT_EQ(SoundEffectVolume, static_cast<int32_t>(file[4]));
      EXPECT_EQ(WindowModeFlag, file[8]);
      std::filesystem::remove(h.workDir() + "/option.dat");
      ASSERT_EQ(WriteOptionFile(), 0);
      EXPECT_EQ(ReadFileBytes(h.workDir() + "/option.dat"), file);
    });
  }
}

TEST(OptionFile, VolumesOnTheScaleSetTheirIndexOthersLeaveIt) {
  RunGame(kFilesOnly, [&](GameHarness& h) {
    WriteFileBytes(h.workDir() + "/option.dat", Words({63, 100, 1}));
    ReadOptionFile();
    EXPECT_EQ(MusicVolumeIndex, 6);
    EXPECT_EQ(SoundEffectVolumeIndex, 0) << "100 is not on the scale";
    EXPECT_EQ(SoundEffectVolume, 100) << "but is used as it is";
  });
}

TEST(OptionFile, DamagedOrMissingFilesGiveTheDefaults) {
  struct Case {
    const char* what;
    bool present;
    Bytes bytes;
    int32_t music, effects;
    uint32_t window;
  };
  const Case cases[] = {
      {"missing", false, {}, 255, 255, 1},
      {"empty", true, {}, 255, 255, 1},
      {"short", true, Words({10, 20, 0}), 255, 255, 1},  // cut below
      {"long", true, Words({10, 20, 0, 0}), 255, 255, 1},
      {"volumes above 255", true, Words({256, 0xFFFFFFFF, 0}), 255, 255, 0},
      {"window flag 7", true, Words({10, 20, 7}), 10, 20, 1},
      {"window flag -1", true, Words({10, 20, 0xFFFFFFFF}), 10, 20, 1},
  };
  for (const Case& c : cases) {
    RunGame(kFilesOnly, [&](GameHarness& h) {
      Bytes bytes = c.bytes;
      if (std::string(c.what) == "short") bytes.pop_back();
      if (c.present) WriteFileBytes(h.workDir() + "/option.dat", bytes);
      ReadOptionFile();
      EXPECT_EQ(MusicVolume, c.music) << c.what;
      EXPECT_EQ(SoundEffectVolume, c.effects) << c.what;
      EXPECT_EQ(WindowModeFlag, c.window) << c.what;
    });
  }
}

TEST(OptionFile, AWriteThatCannotOpenWaitsForAnyInputAndGoesOn) {
  RunGame(kFilesOnly, [&](GameHarness& h) {
    std::filesystem::create_directory(h.workDir() + "/option.dat");
    testing::internal::CaptureStdout();
    EXPECT_EQ(WriteOptionFile(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ファイルオープンエラー\n");
    EXPECT_EQ(h.waitAnyInputCalls(), 1);
    std::filesystem::remove(h.workDir() + "/option.dat");
    std::filesystem::create_directory(h.workDir() + "/keyconfig.dat");
    testing::internal::CaptureStdout();
    EXPECT_EQ(WriteKeyConfigFile(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ファイルオープンエラー\n");
    EXPECT_EQ(h.waitAnyInputCalls(), 2);
  });
}

Bytes DefaultKeyConfigBytes() {
  Bytes out;
  for (uint32_t r = 0; r < 5; ++r) {
    Bytes record = Words({r, 8, 2, 4, 1, 16, 32, 64, 128, 8192});
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

TEST(KeyConfigFile, RoundTripsByteForByte) {
  Bytes custom = DefaultKeyConfigBytes();
  Bytes changed = Words({7, 0x100, 0x200, 0x400, 0x800, 1, 2, 4, 8, 0x8000});  // record 2
  std::copy(changed.begin(), changed.end(), custom.begin() + 80);
  custom[0] = 99;  // record 0 is nobody's and is kept as it is
  for (const Bytes& file : {DefaultKeyConfigBytes(), custom}) {
    RunGame(kFilesOnly, [&](GameHarness& h) {
      WriteFileBytes(h.workDir() + "/keyconfig.dat", file);
      ReadKeyConfigFile();
      std::filesystem::remove(h.workDir() + "/keyconfig.dat");
      ASSERT_EQ(WriteKeyConfigFile(), 0);
      EXPECT_EQ(ReadFileBytes(h.workDir() + "/keyconfig.dat"), file);
    });
  }
  RunGame(kFilesOnly, [&](GameHarness& h) {
    WriteFileBytes(h.workDir() + "/keyconfig.dat", custom);
    ReadKeyConfigFile();
    EXPECT_EQ(KeyConfigTable[2].device, 7u);
    EXPECT_EQ(KeyConfigTable[2].up, 0x100u);
    EXPECT_EQ(KeyConfigTable[2].down, 0x800u);
    EXPECT_EQ(KeyConfigTable[2].start, 0x8000u);
  });
}

TEST(KeyConfigFile, DamagedFilesGiveTheDefaultsAndNoRecordLosesItsDeviceOrMenuButtons) {
  Bytes full = DefaultKeyConfigBytes();
  auto withDevice = [&](int record, uint32_t device) {
    Bytes b = full;
    Bytes w = Words({device});
    std::copy(w.begin(), w.end(), b.begin() + 40 * record);
    for (int i = 4; i < 40; ++i) b[40 * record + i] = 0xEE;  // masks that must not survive
    return b;
  };
  // Word w (0 device, 5 A, 6 B, 9 start) of the record set to the value.
  auto withMask = [&](int record, int word, uint32_t value) {
    Bytes b = full;
    Bytes w = Words({value});
    std::copy(w.begin(), w.end(), b.begin() + 40 * record + 4 * word);
    return b;
  };
  struct Case {
    const char* what;
    bool present;
    Bytes bytes;
  };
  const Case cases[] = {
      {"missing", false, {}},
      {"empty", true, {}},
      {"199 bytes", true, Bytes(full.begin(), full.end() - 1)},
      {"201 bytes", true, [&] {
         Bytes b = full;
         b.push_back(0);
         return b;
       }()},
      {"record 1 without a device", true, withDevice(1, 0)},
      {"record 3 with device 17", true, withDevice(3, 17)},
      {"record 4 with device -1", true, withDevice(4, 0xFFFFFFFF)},
      // A valid device, but a button the menus need without a mask.
      {"record 1 without A", true, withMask(1, 5, 0)},
      {"record 2 without B", true, withMask(2, 6, 0)},
      {"record 4 without start", true, withMask(4, 9, 0)},
  };
  for (const Case& c : cases) {
    RunGame(kFilesOnly, [&](GameHarness& h) {
      // Values a short read would have left behind.
      for (KeyConfigRecord& r : KeyConfigTable) r = KeyConfigRecord{};
      if (c.present) WriteFileBytes(h.workDir() + "/keyconfig.dat", c.bytes);
      ReadKeyConfigFile();
      for (int32_t r = 0; r < 5; ++r) {
        KeyConfigRecord expected = DefaultKeyConfigRecord(r);
        EXPECT_EQ(0, memcmp(&KeyConfigTable[r], &expected, sizeof expected)) << c.what << ", record " << r;
      }
    });
  }
}

}  // namespace
