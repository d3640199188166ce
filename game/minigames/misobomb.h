// Minigame 26, beam team ("media\mini\misobomb"): two teams of two on the
// four edges of a square field, team 1 (A) on the left and top edges, team 2
// (B) on the right and bottom. Each player fires a beam straight across the
// field; every fairy it touches scores one, and a beam that reaches the open
// player opposite stuns it. After 1800 frames the side with the higher total
// wins (the won flags only: this game pays no coins); equal totals a draw.
#pragma once

#include <cstdint>

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t MisobombStep;
extern int32_t MisobombPlayStep;
extern int32_t MisobombOutcomeStep;  // left at 1 after a game

struct MisobombBeam {
  int32_t active;
  float endX, endY;
  int32_t age;  // frames
};
struct MisobombFairy {
  int32_t active;
  float x, y;
  float angle;  // the spin, radians
  uint8_t turn;  // drawn mirrored
};
constexpr int kMisobombFairies = 30;
// Beams by participant number (entry 0 unused).
extern MisobombBeam MisobombBeamTable[5];
extern MisobombFairy MisobombFairyTable[kMisobombFairies];
// Play frames left (1800 at the start), and the frames since the last fairy.
extern int32_t MisobombClock;
extern int32_t MisobombSpawnCounter;

extern int32_t MisobombFairyPicture, MisobombBeamPicture;
extern int32_t MisobombBeamSound, MisobombStunSound;

// A participant's state (its phase byte).
enum MisobombState : uint8_t { kMisobombFree = 1, kMisobombFiring = 4, kMisobombStunned = 6 };
constexpr int32_t kMisobombSidePlayer = 1;  // slides up and down
constexpr int32_t kMisobombEndPlayer = 2;   // slides left and right
constexpr int32_t kMisobombPlayFrames = 1800;
constexpr int32_t kMisobombBeamFrames = 30;

// The participant record's fields this game uses (x, y; the first two speed
// fields): the role, the facing (numeric-keypad digit), the score, the fire
// request (1 asked, 2 beam out), the charge counter (0..250) and the open
// flag. The CPU's delay is its CpuWorkTable counter.
uint8_t& MisobombStateOf(int32_t p);
int32_t& MisobombRole(int32_t p);
int32_t& MisobombFacing(int32_t p);
int32_t& MisobombScore(int32_t p);
int32_t& MisobombFireRequest(int32_t p);
int32_t& MisobombCharge(int32_t p);
uint8_t& MisobombOpen(int32_t p);

// The entry (slot 25 of the runner's table) is MisobombMain in minigame_entries.h.
void MisobombDraw();
void MisobombCpu(int32_t p);
void MisobombMove();
void MisobombFairies();
void MisobombBeams();
int MisobombPlay();
int MisobombOutcome();
