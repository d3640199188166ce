// The options screen and its scene.
#include "game/shell/options_screen.h"

#include <initializer_list>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t OptionsStep = 0;
int32_t OptionsSceneStep = 0;
int32_t WindowModeChoice = 1;
int32_t OptionsSampleCounter = 0;

namespace {

// The rows' steps, top to bottom on the screen.
constexpr int32_t kRowMusic = 3;
constexpr int32_t kRowEffects = 4;
constexpr int32_t kRowWindow = 5;
constexpr int32_t kRowKeyConfig = 6;
constexpr int32_t kRowReset = 7;
constexpr int32_t kRowBack = 8;

struct Label {
  int32_t x, y;
  const char* text;
};
const Label kMusicLabel{50, 50, "BGM"};
const Label kEffectsLabel{50, 100, "SE"};
const Label kWindowLabel{50, 150, "Window"};
const Label kFullScreenLabel{200, 150, "fullscreen"};
const Label kWindowedLabel{300, 150, "window"};
const Label kResetLabel{50, 200, "初期化"};
const Label kKeyConfigLabel{50, 300, "keyconfig"};
// KeyConfigTarget 1 to 5: the players' records, then the reset of all five.
const Label kTargetLabels[5] = {
    {200, 300, "1P"}, {230, 300, "2P"}, {260, 300, "3P"}, {290, 300, "4P"}, {320, 300, "Joypad初期化"},
};
const Label kBackLabel{50, 400, "戻る"};

void Draw(const Label& label) { DrawTextWithDefaultFont(label.x, label.y, label.text, MakeScreenColor(255, 255, 255), 0); }

void PlayEffect(int32_t slot) { PlaySoundHandle(SoundEffectHandles[slot], 1, 1); }

// Every label at half opacity.
void DrawLabels() {
  SetDrawBlend(1, 128);
  for (const Label* label : {&kMusicLabel, &kEffectsLabel, &kWindowLabel, &kFullScreenLabel, &kWindowedLabel,
                             &kResetLabel, &kKeyConfigLabel, &kBackLabel})
    Draw(*label);
  for (const Label& label : kTargetLabels) Draw(label);
  SetDrawBlend(0, 255);
}

// The A, B, C and D masks of a player's record as button numbers; a mask
// that is not a single pad button 1 to 13 shows nothing.
void DrawButtonNumbers(const KeyConfigRecord& record) {
  struct Shown {
    uint32_t mask;
    int32_t x;
    const char* format;
  };
  const Shown shown[4] = {
      {record.a, 50, "Ａ：%dボタン"}, {record.b, 150, "Ｂ：%dボタン"}, {record.c, 250, "Ｃ：%dボタン"},
      {record.d, 350, "Ｄ：%dボタン"},
  };
  uint32_t white = MakeScreenColor(255, 255, 255);
  for (const Shown& s : shown)
    for (int32_t n = 1; n <= 13; ++n)
      if (s.mask == 8u << n) DrawFormatTextWithDefaultFont(s.x, 350, white, s.format, n);
}

void DrawVolumeBar(int32_t y, int32_t index) {
  DrawRectangleShape(200, y, 455, y + 30, MakeScreenColor(255, 255, 255), 0);
  DrawRectangleShape(200, y, 200 + index * 32, y + 30, MakeScreenColor(200, 200, 200), 1);
}

// Left and right move a volume one step along the scale, within 0..8.
void MoveVolume(bool left, bool right, int32_t* index, int32_t* volume) {
  if (right && *index < 8) ++*index;
  if (left && *index > 0) --*index;
  if (left || right) *volume = VolumeSteps[*index];
}

// The volumes in use on every music and effect slot.
void ApplyVolumes() {
  for (int32_t handle : MusicHandles) SetSoundHandleVolume(MusicVolume, handle);
  for (int32_t handle : SoundEffectHandles) SetSoundHandleVolume(SoundEffectVolume, handle);
}

// A row's up and down: the cursor sound and the row above or below.
void MoveRow(bool up, bool down, int32_t above, int32_t below) {
  if (up) {
    OptionsStep = above;
    PlayEffect(0);
  }
  if (down) {
    OptionsStep = below;
    PlayEffect(0);
  }
}

// Saves both files and switches a changed window mode. 1 unchanged, 3 changed.
int SaveAndLeave() {
  OptionsStep = 2;
  OptionRecord.musicVolume = static_cast<uint32_t>(MusicVolume);
  OptionRecord.soundEffectVolume = static_cast<uint32_t>(SoundEffectVolume);
  WriteOptionFile();
  WriteKeyConfigFile();
  if (static_cast<uint32_t>(WindowModeChoice) == WindowModeFlag) return 1;
  if (ChangeWindowMode(WindowModeChoice) == 0) {
    WindowModeFlag = static_cast<uint32_t>(WindowModeChoice);
    WriteOptionFile();
  } else {
    // The display stays as it was, and so do the flag and the file.
    WriteErrorLogFormat("ChangeWindowMode(%d) に失敗しました 画面モードはそのままです", WindowModeChoice);
  }
  // The screen was rebuilt (or a failed switch may have left it so): the
  // images and fonts are loaded again, as at start-up.
  if (InitGame() == -1) ExitGame(-1, "InitGame");
  return 3;
}

}  // namespace

int RunOptionsScreen() {
  if (UpdateFade() == 1) OptionsStep = 10;
  DrawGraphAt(0, 0, BackgroundPictures[3], 0);
  DrawLabels();
  Draw(WindowModeChoice == 1 ? kWindowedLabel : kFullScreenLabel);
  if (KeyConfigTarget >= 1 && KeyConfigTarget <= 5) Draw(kTargetLabels[KeyConfigTarget - 1]);
  if (KeyConfigTarget >= 1 && KeyConfigTarget <= 4) DrawButtonNumbers(KeyConfigTable[KeyConfigTarget]);
  DrawVolumeBar(50, MusicVolumeIndex);
  DrawVolumeBar(100, SoundEffectVolumeIndex);

  // Every button is a new press of the menu input; each is read every frame.
  bool up = false, down = false, left = false, right = false, a = false, b = false;
  if (OptionsStep >= kRowMusic && OptionsStep <= kRowBack) {
    right = IsNewButtonPress(1, kButtonRight);
    left = IsNewButtonPress(1, kButtonLeft);
    up = IsNewButtonPress(1, kButtonUp);
    down = IsNewButtonPress(1, kButtonDown);
    a = IsNewButtonPress(1, kButtonA);
    b = IsNewButtonPress(1, kButtonB);
  }
  switch (OptionsStep) {
    case 0:
    case 1:
      ++OptionsStep;
      break;
    case 2:
      WindowModeChoice = static_cast<int32_t>(WindowModeFlag);
      OptionsStep = kRowMusic;
      break;
    case kRowMusic:
      MoveVolume(left, right, &MusicVolumeIndex, &MusicVolume);
      MoveRow(up, down, kRowBack, kRowEffects);
      if (b) OptionsStep = kRowBack;
      for (int32_t handle : MusicHandles) SetSoundHandleVolume(MusicVolume, handle);
      Draw(kMusicLabel);
      break;
    case kRowEffects:
      MoveVolume(left, right, &SoundEffectVolumeIndex, &SoundEffectVolume);
      MoveRow(up, down, kRowMusic, kRowWindow);
      if (b) OptionsStep = kRowBack;
      for (int32_t handle : SoundEffectHandles) SetSoundHandleVolume(SoundEffectVolume, handle);
      if (OptionsSampleCounter == 0) PlayEffect(2);
      OptionsSampleCounter = (OptionsSampleCounter + 1) % 30;
      Draw(kEffectsLabel);
      break;
    case kRowWindow:
      if (right) WindowModeChoice = 1;
      if (left) WindowModeChoice = 0;
      MoveRow(up, down, kRowEffects, kRowReset);
      if (b) OptionsStep = kRowBack;
      Draw(kWindowLabel);
      break;
    case kRowReset:
      MoveRow(up, down, kRowWindow, kRowKeyConfig);
      if (a) {
        PlayEffect(1);
        MusicVolumeIndex = 8;
        SoundEffectVolumeIndex = 8;
        MusicVolume = 255;
        SoundEffectVolume = 255;
        ApplyVolumes();
      }
      Draw(kResetLabel);
      break;
    case kRowKeyConfig:
      MoveRow(up, down, kRowReset, kRowBack);
      if (right) KeyConfigTarget = KeyConfigTarget % 5 + 1;
      if (left) KeyConfigTarget = (KeyConfigTarget + 3) % 5 + 1;
      Draw(kKeyConfigLabel);
      if (a) {
        PlayEffect(1);
        if (KeyConfigTarget >= 1 && KeyConfigTarget <= 4) return 2;
        // Reset in memory; saved when the screen is left.
        SetDefaultKeyConfig();
      }
      if (b) {
        PlayEffect(1);
        OptionsStep = kRowBack;
      }
      break;
    case kRowBack:
      MoveRow(up, down, kRowKeyConfig, kRowMusic);
      if (a) {
        PlayEffect(1);
        OptionsStep = 9;
      }
      Draw(kBackLabel);
      break;
    case 9:
      FadeOutRequest = 1;
      break;
    case 10:
      return SaveAndLeave();
    default:
      break;
  }
  return 0;
}

int RunOptionsScene() {
  switch (OptionsSceneStep) {
    case 0:
    case 1:
      ++OptionsSceneStep;
      return 0;
    case 2:
      KeyConfigTarget = 1;
      OptionsSceneStep = 3;
      return 0;
    case 3:
      switch (RunOptionsScreen()) {
        case 1:
          OptionsSceneStep = 5;
          break;
        case 2:
          OptionsSceneStep = 4;
          break;
        case 3:
          OptionsSceneStep = 6;
          break;
        default:
          break;
      }
      return 0;
    case 4:
      if (RunKeyConfigScreen() != 0) OptionsSceneStep = 3;
      return 0;
    case 5:
      OptionsSceneStep = 2;
      return 1;
    case 6:
      OptionsSceneStep = 2;
      return 2;
    default:
      return 0;
  }
}
