// "option.dat": the music and effect volumes and the window mode.
#include "game/shell/game_main.h"
#include "game/shell/saved_files.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

OptionRecordData OptionRecord = {0, 0, 1};
uint32_t& WindowModeFlag = OptionRecord.windowModeFlag;

const int32_t VolumeSteps[9] = {0, 2, 4, 8, 15, 31, 63, 125, 255};
int32_t MusicVolumeIndex = 0;
int32_t SoundEffectVolumeIndex = 0;

namespace {

const char kOptionFile[] = "option.dat";
constexpr size_t kOptionFileSize = 12;

// What ReadOptionFile found wrong with the file, logged once the log exists.
const char* optionFileNote = nullptr;

void SetVolumeIndex(int32_t volume, int32_t* index) {
  for (int32_t i = 0; i < 9; ++i) {
    if (VolumeSteps[i] == volume) {
      *index = i;
      return;
    }
  }
}

}  // namespace

void ReadOptionFile() {
  unsigned char bytes[kOptionFileSize];
  int read = ReadSavedFile(kOptionFile, bytes, sizeof bytes);
  if (read == 1) {
    uint32_t music = ReadLe32(bytes);
    uint32_t effects = ReadLe32(bytes + 4);
    uint32_t window = ReadLe32(bytes + 8);
    if (music > 255 || effects > 255 || window > 1) optionFileNote = "option.dat の値が範囲外です 補正します";
    OptionRecord.musicVolume = music > 255 ? 255 : music;
    OptionRecord.soundEffectVolume = effects > 255 ? 255 : effects;
    OptionRecord.windowModeFlag = window == 0 ? 0 : 1;
    MusicVolume = static_cast<int32_t>(OptionRecord.musicVolume);
    SoundEffectVolume = static_cast<int32_t>(OptionRecord.soundEffectVolume);
  } else {
    if (read == -1) optionFileNote = "option.dat が壊れています 初期設定を使います";
    MusicVolume = 255;
    SoundEffectVolume = 255;
    WindowModeFlag = 1;
  }
  SetVolumeIndex(MusicVolume, &MusicVolumeIndex);
  SetVolumeIndex(SoundEffectVolume, &SoundEffectVolumeIndex);
}

void LogOptionFileNote() {
  if (optionFileNote != nullptr) WriteErrorLogFormat("%s", optionFileNote);
  optionFileNote = nullptr;
}

int WriteOptionFile() {
  unsigned char bytes[kOptionFileSize];
  WriteLe32(bytes, OptionRecord.musicVolume);
  WriteLe32(bytes + 4, OptionRecord.soundEffectVolume);
  WriteLe32(bytes + 8, OptionRecord.windowModeFlag);
  return WriteSavedFile(kOptionFile, bytes, sizeof bytes);
}
