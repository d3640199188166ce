// Every human control goes through one of five input assignments, each
// naming a device and the bit masks of nine logical buttons. Record p serves
// player p (1 to 4), record 1 also serves every menu. A shared latch table
// turns a held button into a new press; per-key frame counters serve the few
// places that read the raw keyboard; the key-configuration screen assigns
// the buttons of players 1 to 4, kept in "keyconfig.dat".
#pragma once

#include <cstdint>

// Device code, then the masks of up, left, right, down, A (decide), B
// (cancel), C, D and start. Device codes: 0 none; 1 joypad 1 with the
// keyboard; 2 to 16 joypad n alone.
struct KeyConfigRecord {
  uint32_t device;
  uint32_t up, left, right, down;
  uint32_t a, b, c, d;
  uint32_t start;
};
static_assert(sizeof(KeyConfigRecord) == 40);

extern KeyConfigRecord KeyConfigTable[5];
// Laid out like KeyConfigTable: a button's word is 1 while a press of it has
// been taken and not yet released. Shared by every screen and minigame.
extern KeyConfigRecord KeyLatchTable[5];
// Frames each keyboard key (by scan code) has been held; 1 = pressed this frame.
extern uint32_t KeyHoldFrames[256];

// Button numbers of the new-press tests (not the record's field order).
enum GameButton : int32_t {
  kButtonUp = 0,
  kButtonDown = 1,
  kButtonLeft = 2,
  kButtonRight = 3,
  kButtonA = 4,
  kButtonB = 5,
  kButtonC = 6,
  kButtonD = 7,
  kButtonStart = 8,
};

// The record's word of a button (its mask in KeyConfigTable, its latch in
// KeyLatchTable); null for a record outside 0..4 or a button outside 0..8.
uint32_t* ButtonWord(KeyConfigRecord* table, int32_t record, int32_t button);

// The default record i: device i, up 8, left 2, right 4, down 1, A 16, B 32,
// C 64, D 128, start 8192.
KeyConfigRecord DefaultKeyConfigRecord(int32_t index);
void SetDefaultKeyConfig();

// Device 1: pad 1 with the keyboard; 2 to 16: that pad; else 0.
uint32_t GetDeviceButtons(uint32_t device);
// The first device 1 to 16 with any input, else 0.
uint32_t FindActiveDevice();
// True on the frame a button of the record goes down (the latch holds it
// until released).
bool IsNewButtonPress(int32_t record, int32_t button);
// The same test on bits the caller has read (buttons 0 to 7).
bool IsNewButtonPressBits(int32_t record, uint32_t bits, int32_t button);
// A numeric-keypad digit for the record's directions (5 = none).
int32_t GetPadDirection(int32_t record);
// Counts the frames each key is held. Returns 0.
int UpdateKeyHoldCounters();

// "keyconfig.dat" in the working folder. A file that does not open or is
// not exactly 200 bytes gives the defaults; a record 1 to 4 whose device
// lies outside 1..16, or that leaves A, B or start (the buttons the menus
// need) without a mask, takes its default record.
void ReadKeyConfigFile();
// 0, or -1 after the failure is reported and any input waited for (the old
// file stays whole).
int WriteKeyConfigFile();

// ---------------------------------------------------------------- key-configuration screen

extern int32_t KeyConfigStep;
extern int32_t KeyConfigTarget;  // the record being edited, 1 to 4 (5 on the options row = reset)
extern uint32_t KeyConfigDevice;
extern uint8_t KeyConfigReleased;
// The captured masks: up, left, right, down, A, B, C, D, start (0 = not yet).
extern uint32_t KeyConfigCapture[9];
extern uint32_t ConfigButtonMasks[16];

// The first of the 16 masks held on KeyConfigDevice, else 0.
uint32_t CaptureConfigButton();
// One frame; 0 while running, 1 when finished (stored, or left with E).
int RunKeyConfigScreen();
