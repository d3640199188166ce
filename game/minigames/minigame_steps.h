// The home of a minigame: the step driver that every minigame's entry runs,
// the media lists, and the pieces most minigames share (participants, teams,
// awards, CPU pacing, banners, bodies that push each other, record pools).
//
// A minigame is one source file, game/minigames/<name>.cpp (it replaces the
// one-line entry waiting there), with a header <name>.h for the globals its
// tests read. It names its steps' hooks in a MinigameSteps, and its entry
// (declared in minigame_entries.h, called by the runner once a frame) runs
// the driver:
//
//   int32_t RiverStep = 0;  // the entry's step; 0 at program start
//   int32_t RiverGoal = 0, RiverSunset = 0;
//
//   namespace {
//   const MinigameMedia kMedia[] = {
//       MinigamePicture("media\\mini\\river\\川渡り_goal.png", &RiverGoal),
//       MinigamePicture("media\\mini\\river\\夕日.png", &RiverSunset),
//   };
//   int Load() { return LoadMinigameMedia(kMedia); }  // -1 after freeing, logged
//   void Unload() { FreeMinigameMedia(kMedia); }
//   void SetUp() { for (int32_t p = 1; p <= 4; ++p) ParticipantTable[p].x = -50.0f; }
//   int Outcome() {  // sub-steps of its own; 1 once the awards are set
//     ...
//     AwardHighestScores(scores, 10);
//     return 1;
//   }
//   constexpr MinigameSteps kSteps = {
//       .step = &RiverStep,
//       .numbering = &kMinigameStepsB,  // or A, or a table of its own
//       .load = Load, .setUp = SetUp, .intro = RiverIntro, .draw = RiverDraw,
//       .play = RiverPlay, .outcome = Outcome, .unload = Unload,
//   };
//   }  // namespace
//
//   int RiverMain() { return RunMinigameSteps(kSteps); }
//
// (MinigamePictureCells cuts a sheet into cells, MinigameSound loads an effect.)
// Each call runs the shared fade first (the minigame fades in by itself; the
// completed fade-out runs the unload step in that same call), then its step:
// the START banner, the FINISH banner and the winner text are drawn over the
// draw hook's scene; a hook that reports 1 moves the step on. The play and
// outcome hooks keep sub-steps of their own in globals (0 while they run, 1
// on the frame they end, resetting themselves). Other drawing a step needs
// (a scene while loading, under the outcome) the hooks do themselves; a hook
// may read its own step variable. renda.cpp is the worked example, with a
// numbering of its own. The entry's, play's and outcome's step variables go
// into tests/game/harness/registry_<name>.cpp; tests in
// tests/game/minigames/<name>_test.cpp play the minigame through the runner
// with tests/game/minigame_test_support.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/minigames/minigame_screens.h"
#include "game/minigames/participants.h"

// ---------------------------------------------------------------- the step driver

// What the driver does in a step.
enum MinigameStepKind : uint8_t {
  kStepUnused,        // never entered (the driver does nothing)
  kStepNothing,       // nothing; the next step
  kStepLoad,          // the load hook: -1 returns -1 and stays here, else the next step
  kStepSetUp,         // the set-up hook; the next step
  kStepIntro,         // the intro hook until it returns 1 (without one: the next step)
  kStepStartBanner,   // draw, ShowStartBanner until it returns 1
  kStepPlay,          // the play hook until it returns 1
  kStepFinishBanner,  // draw, ShowFinishBanner until it returns 1
  kStepOutcome,       // the outcome hook until it returns 1 (it decides the awards)
  kStepWinners,       // draw, ShowMinigameWinners until it returns 1
  kStepFadeOut,       // asks for the fade-out and draws; the completed fade runs kStepUnload
  kStepUnload,        // the unload hook; the step becomes the restart step; returns 1
};

constexpr int kMinigameStepCount = 12;

// The kind of each step number 0..11; "the next step" is the next number
// whose kind is not kStepUnused.
struct MinigameNumbering {
  MinigameStepKind kinds[kMinigameStepCount];
};

// Pattern A: 0 nothing, 1 load, 2 set-up, 3 START, 4 play, 5 FINISH,
// 6 outcome, 7 winners, (8), 9 fade-out, 10 unload.
inline constexpr MinigameNumbering kMinigameStepsA = {
    {kStepNothing, kStepLoad, kStepSetUp, kStepStartBanner, kStepPlay, kStepFinishBanner, kStepOutcome, kStepWinners,
     kStepUnused, kStepFadeOut, kStepUnload, kStepUnused}};
// Pattern B: 0 nothing, 1 load, 2 set-up, 3 intro (or a frame of nothing),
// 4 START, 5 play, 6 FINISH, 7 outcome, 8 winners, (9), 10 fade-out, 11 unload.
inline constexpr MinigameNumbering kMinigameStepsB = {
    {kStepNothing, kStepLoad, kStepSetUp, kStepIntro, kStepStartBanner, kStepPlay, kStepFinishBanner, kStepOutcome,
     kStepWinners, kStepUnused, kStepFadeOut, kStepUnload}};

// A minigame, as the driver runs it. Every hook may be null (nothing to do;
// a null play never ends).
struct MinigameSteps {
  int32_t* step = nullptr;  // the entry's own step variable (0 at program start)
  const MinigameNumbering* numbering = nullptr;
  int (*load)() = nullptr;     // 1 when loaded; -1 when a file failed (after freeing what it had loaded)
  void (*setUp)() = nullptr;   // positions, counters, the participants' fields
  int (*intro)() = nullptr;    // 0 while it runs, 1 when over
  void (*draw)() = nullptr;    // the scene, under the banners, the winner text and the fade-out
  int (*play)() = nullptr;     // one frame of play: 0 while it runs, 1 when play is over
  int (*outcome)() = nullptr;  // 0 while it runs, 1 when the winners and awards are set
  void (*unload)() = nullptr;  // frees what load made
  // The step after the unload step: 0 (the next game loads again) or the
  // set-up step (the media stay).
  int32_t restartStep = 0;
};

// One frame of the minigame: 0 while it runs, 1 in the frame it has ended, -1
// when its load failed (the runner takes any non-zero result as the end,
// nobody having won; the step stays at the load step so that the next start
// tries again).
int RunMinigameSteps(const MinigameSteps& minigame);
// The step the driver moves to after the step (the step itself when no
// later step is used).
int32_t NextMinigameStep(const MinigameNumbering& numbering, int32_t step);

// ---------------------------------------------------------------- media lists

// One file of a minigame's media: a picture into one graph handle, a picture
// cut into cells (LoadDividedGraph), or a sound effect (LoadSoundFile with 3
// play buffers, decoded at load).
struct MinigameMedia {
  enum Kind : uint8_t { kPicture, kPictureCells, kSound };
  Kind kind;
  const char* file;
  int32_t* handles;  // one handle, or `count` cell handles
  int16_t count, across, down, width, height;
};

constexpr MinigameMedia MinigamePicture(const char* file, int32_t* handle) {
  return {MinigameMedia::kPicture, file, handle, 1, 0, 0, 0, 0};
}
constexpr MinigameMedia MinigamePictureCells(const char* file, int32_t* handles, int16_t count, int16_t across,
                                             int16_t down, int16_t width, int16_t height) {
  return {MinigameMedia::kPictureCells, file, handles, count, across, down, width, height};
}
constexpr MinigameMedia MinigameSound(const char* file, int32_t* handle) {
  return {MinigameMedia::kSound, file, handle, 1, 0, 0, 0, 0};
}

// Loads the files in order. 1 when all loaded; at the first that fails, a
// log line naming the file, everything the list loaded before is freed (its
// handles -1) and -1 is returned, so a retry starts clean.
int LoadMinigameMedia(const MinigameMedia* list, size_t count);
// Frees every handle of the list (FreeGraph, DeleteSoundHandle) and sets it to -1.
void FreeMinigameMedia(const MinigameMedia* list, size_t count);

template <size_t N>
int LoadMinigameMedia(const MinigameMedia (&list)[N]) {
  return LoadMinigameMedia(list, N);
}
template <size_t N>
void FreeMinigameMedia(const MinigameMedia (&list)[N]) {
  FreeMinigameMedia(list, N);
}

// ---------------------------------------------------------------- bodies that push each other

// One pass of moves along one axis for participants 1..4, where a body that
// moves into another shoves it aside and the shoved one moves next. The
// first mover is the participant moving up the axis (speed > 0) with the
// greatest position, else the one moving down with the smallest, else the
// last standing one; equal positions go to the lower participant number.
struct PushChain {
  float (*position)(int32_t p);  // p's coordinate on the axis
  float (*speed)(int32_t p);     // p's speed on the axis (its sign picks the order)
  // Moves p (and clears its speed); when it now overlaps another body, shoves
  // the first such one aside and returns it (1..4), else 0.
  int32_t (*move)(int32_t p);
  // The searches start from these bounds: a mover up the axis must lie above
  // `low`, one down the axis below `high`; the first search of a pass uses
  // its own pair.
  float firstLow, firstHigh;
  float low, high;
};
// A pass makes at most this many moves, so bodies that keep shoving each
// other back end the pass instead of the frame.
constexpr int kPushChainMovesPerPass = 16;
// Runs one pass; the number of moves made.
int RunPushChain(const PushChain& chain);
// The side (+1 up the axis, -1 down) a shoved body goes to from the mover:
// the side it stands on, and for equal positions the side of its
// participant number (a higher number goes up the axis).
int32_t ShoveSide(float moverPosition, float otherPosition, int32_t mover, int32_t other);

// ---------------------------------------------------------------- record pools

// The first free record of a pool (shots, balls, creatures...), or null when
// every record is in use: a full pool starts nothing, so look for the slot
// before drawing the new record's random values.
template <class Record, size_t N, class IsFree>
Record* FirstFreeRecord(Record (&pool)[N], IsFree isFree) {
  for (Record& r : pool)
    if (isFree(r)) return &r;
  return nullptr;
}
// The same for the usual pool whose records are free while a field is 0.
template <class Record, size_t N, class Field>
Record* FirstFreeRecord(Record (&pool)[N], Field Record::*activeField) {
  return FirstFreeRecord(pool, [activeField](const Record& r) { return r.*activeField == 0; });
}
