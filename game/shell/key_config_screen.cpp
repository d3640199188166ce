// The key-configuration screen: one prompt per button of the record being
// edited, a test view, and the store.
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t KeyConfigStep = 0;
int32_t KeyConfigTarget = 1;
uint32_t KeyConfigDevice = 0;
uint8_t KeyConfigReleased = 0;
uint32_t KeyConfigCapture[9] = {};
uint32_t ConfigButtonMasks[16] = {};

namespace {

// Keyboard scan codes of the screen's own keys.
constexpr int kKeyE = 0x12;
constexpr int kKeyR = 0x13;
constexpr int kKeyO = 0x18;

// The prompts in the order they are asked: the step, the captured mask's
// place (record order: up, left, right, down, A, B, C, D, start) and the text.
struct Prompt {
  int32_t step;
  int capture;
  const char* text;
};
const Prompt kPrompts[] = {
    {2, 0, "上に指定するボタンを押してください"},
    {3, 3, "下に指定するボタンを押してください"},
    {4, 1, "左に指定するボタンを押してください"},
    {5, 2, "右に指定するボタンを押してください"},
    {6, 4, "Ａボタン(決定)に指定するボタンを押してください"},
    {7, 5, "Ｂボタン(キャンセル)に指定するボタンを押してください"},
    {8, 6, "Ｃボタンに指定するボタンを押してください"},
    {9, 7, "Ｄボタンに指定するボタンを押してください"},
    {14, 8, "startボタンに指定するボタンを押してください"},
};

// The test view's label of each captured mask, in record order.
struct Label {
  int32_t x, y;
  const char* text;
};
const Label kLabels[9] = {
    {100, 100, "上"}, {60, 140, "左"},          {140, 140, "右"}, {100, 180, "下"},  {200, 100, "Ａ(決定)"},
    {200, 130, "Ｂ(キャンセル)"}, {200, 160, "Ｃ"}, {200, 190, "Ｄ"}, {160, 200, "start"},
};

void DrawWhite(int32_t x, int32_t y, const char* text) {
  DrawTextWithDefaultFont(x, y, text, MakeScreenColor(255, 255, 255), 0);
}

void DrawTestView(uint32_t held) {
  DrawWhite(10, 10, "テスト　やり直す場合ｒキーを押してください");
  DrawWhite(10, 30, "　　　　決定の場合　ｏキーを押してください");
  for (int i = 0; i < 9; ++i)
    if ((held & KeyConfigCapture[i]) != 0) DrawWhite(kLabels[i].x, kLabels[i].y, kLabels[i].text);
}

const Prompt* PromptOfStep(int32_t step) {
  for (const Prompt& p : kPrompts)
    if (p.step == step) return &p;
  return nullptr;
}

}  // namespace

uint32_t CaptureConfigButton() {
  uint32_t held = GetDeviceButtons(KeyConfigDevice);
  for (uint32_t mask : ConfigButtonMasks)
    if ((held & mask) != 0) return mask;
  return 0;
}

int RunKeyConfigScreen() {
  DrawGraphAt(0, 0, BackgroundPictures[3], 0);
  uint32_t held = GetDeviceButtons(KeyConfigDevice);
  switch (KeyConfigStep) {
    case 0:
      for (int i = 0; i < 16; ++i) ConfigButtonMasks[i] = 1u << i;
      for (uint32_t& mask : KeyConfigCapture) mask = 0;
      KeyConfigDevice = 0;
      KeyConfigReleased = 0;
      KeyConfigStep = 1;
      break;
    case 1:
      if (CaptureConfigButton() != 0 || KeyConfigReleased == 0) {
        if (FindActiveDevice() == 0) KeyConfigReleased = 1;
      } else {
        KeyConfigStep = 10;
        for (const Prompt& p : kPrompts) {
          if (KeyConfigCapture[p.capture] == 0) {
            KeyConfigStep = p.step;
            break;
          }
        }
      }
      break;
    case 10:
      PlaySoundHandle(ExtraSoundHandle, 1, 1);
      DrawTestView(held);
      KeyConfigStep = 11;
      break;
    case 11:
      DrawTestView(held);
      if (KeyHoldFrames[kKeyR] == 1)
        KeyConfigStep = 0;
      else if (KeyHoldFrames[kKeyO] == 1)
        KeyConfigStep = 12;
      break;
    case 12:
      if (KeyConfigTarget >= 1 && KeyConfigTarget <= 4) {
        const uint32_t* c = KeyConfigCapture;
        KeyConfigTable[KeyConfigTarget] = KeyConfigRecord{KeyConfigDevice, c[0], c[1], c[2], c[3],
                                                          c[4],            c[5], c[6], c[7], c[8]};
      } else {
        WriteErrorLogFormat("キーコンフィグ: 記録 %d はありません 保存しません", KeyConfigTarget);
      }
      KeyConfigStep = 13;
      break;
    case 13:
      KeyConfigStep = 0;
      return 1;
    default:
      if (const Prompt* prompt = PromptOfStep(KeyConfigStep)) {
        DrawWhite(100, 100, prompt->text);
        // The first device that shows input is the one configured, for
        // every prompt of the record.
        if (KeyConfigDevice == 0) KeyConfigDevice = FindActiveDevice();
        if (KeyConfigDevice != 0) {
          uint32_t mask = CaptureConfigButton();
          if (mask != 0) {
            KeyConfigCapture[prompt->capture] = mask;
            KeyConfigStep = 1;
          }
        }
      }
      break;
  }
  if (KeyHoldFrames[kKeyE] == 1) {
    KeyConfigStep = 0;
    return 1;
  }
  DrawWhite(100, 350, "キーコンフィングをやめる場合Ｅキーを押してください");
  return 0;
}
