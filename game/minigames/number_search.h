// Minigame 5, number search ("media\mini\numbersearch"): thirty panels
// numbered 1 to 30 in a shuffled grid of 6 columns by 5 rows. A number is
// called; each of the four participants, each alone, moves a cursor over the
// grid and answers with A. The first right answer scores (participants right
// in the same frame all score) and the next number is called; a wrong answer
// freezes the participant for the rest of the number and makes it sit out
// the next one. A number that nobody can answer any more is dropped without
// a score. Twenty numbers are called, the last counting double; then a
// treasure is revealed on the last number's panel. Every participant earns 2
// coins a point; the most points win (four equal scores are a draw).
#pragma once

#include <cstdint>

// The steps: the entry (numbering B), the play (0 to 9) and the outcome.
extern int32_t NumberSearchStep;
extern int32_t NumberSearchPlayStep;
extern int32_t NumberSearchOutcomeStep;

constexpr int32_t kNumberPanelColumns = 6;
constexpr int32_t kNumberPanelRows = 5;
constexpr int32_t kNumberPanels = kNumberPanelColumns * kNumberPanelRows;

// The panels by index row * 6 + column: the number 1..30 (0 before the
// shuffle), and 1 while the number has not been called.
struct NumberPanelRecord {
  int32_t pending;
  int32_t number;
};
extern NumberPanelRecord NumberPanels[kNumberPanels];

// Numbers still in the pool (30 down to 10); the called number; frames of
// the window after a call in which nobody may answer.
extern int32_t NumberSearchRemaining;
extern int32_t NumberSearchTarget;
extern int32_t NumberSearchFrame;
// By participant (index 1..4): the CPU's thinking length for this number.
extern int32_t NumberSearchThinkSteps[5];
// The reveal: the last number's panel centre, the treasure's opacity
// (0..255), the sparkle's scale (4.5 down to 1.0) and angle.
extern int32_t NumberSearchRevealX;
extern int32_t NumberSearchRevealY;
extern int32_t NumberSearchRevealOpacity;
extern float NumberSearchSparkleScale;
extern float NumberSearchSparkleAngle;
// Frames left of the hosts' flinch after a wrong answer.
extern int32_t NumberSearchFlinch;

// Own media: the sparkle, the treasure and the font of the texts (the
// shared size-30 font when it cannot be made).
extern int32_t NumberSearchSparklePicture;
extern int32_t NumberSearchTreasurePicture;
extern int32_t NumberSearchFont;

// The participant record's fields this game uses (participants 1..4).
// Answer state: 0 may answer, 1 has answered, -1 sits this number out.
int32_t& NumberSearchAnswerState(int32_t p);
int32_t& NumberSearchCursor(int32_t p);  // panel index 0..29
int32_t& NumberSearchPoints(int32_t p);
// This frame's direction as a keypad digit: 8 up, 2 down, 4 left, 6 right, 5 none.
int32_t& NumberSearchDirection(int32_t p);
uint8_t& NumberSearchSoundPlayed(int32_t p);  // the wrong sound of this number has played
uint8_t& NumberSearchWrong(int32_t p);        // answered wrong on this number

// The entry (slot 4 of the runner's table) is NumberSearchMain in
// minigame_entries.h.
// One frame of play: 1 after the reveal.
int NumberSearchPlay();
// One frame of a CPU participant (its direction, and its answer).
void NumberSearchCpu(int32_t p);
// The CPU's search length for the called number from p's cursor: the panels
// read on square rings around it, up to the one that holds the number (all
// 168 of six rings when none does).
int32_t CountNumberSearchSteps(int32_t p);
// The points turned into coins and the winners: 1 when done.
int NumberSearchOutcome();
// One frame of the scene.
void DrawNumberSearch();
// The panel a cursor moves to in a direction, wrapping at the grid's edges.
int32_t MoveNumberSearchCursor(int32_t cursor, int32_t direction);
