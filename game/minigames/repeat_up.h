// Minigame 27, stone climbing ("media\mini\repeatup"): two teams of two race
// upwards, team 1 on the left half and team 2 on the right. In each team the
// first member (by participant number) moves the team's two floating stones
// up and down, the other jumps from stone to stone. Play ends when a climber
// is more than 1000 pixels above the top of the screen; the higher climber's
// team wins 10 coins each, equal heights a draw.
#pragma once

#include <cstdint>

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t RepeatUpEntryStep;
extern int32_t RepeatUpPlayStep;
extern int32_t RepeatUpOutcomeStep;  // left at 1 after a game

// Per participant (index 1..4; 0 unused). A mover's record holds its team's
// stones; a climber's its action and jump speed.
struct StoneRecord {
  float leftX, leftY;
  float rightX, rightY;
  int32_t action;   // 0 none, 1 A, 2 B, 3 and 4 a climber's jump begun with A or B
  float jumpSpeed;  // pixels a frame, downwards
  float leftSpeedX, leftSpeedY;
  float rightSpeedX, rightSpeedY;
  int32_t leftCounter, rightCounter;  // frames of the stone's move (it stops at 4)
};
extern StoneRecord StoneTable[5];

extern int32_t KeystonePicture;

// The roles, kept in the participant's teamIndex.
constexpr int32_t kStoneMover = 1;
constexpr int32_t kStoneClimber = 2;

// The participant record's fields this game uses (x, y: the climber in world
// pixels; the first two speed fields: its horizontal speed and this frame's
// vertical step; the fourth: its scroll, world y minus screen y): the
// climber's side (2 on the left stone, 1 on the right: the side of the stone
// to jump to) and the mover's raised flags of stone 1 (left) and 2 (right).
int32_t& RepeatUpSide(int32_t p);
int32_t& RepeatUpRaised(int32_t mover, int32_t side);
float& RepeatUpScrollOf(int32_t p);

// The entry (slot 26 of the runner's table) is RepeatUpMain in minigame_entries.h.
void RepeatUpDraw();
int RepeatUpPlay();
void RepeatUpCpu(int32_t p);
void RepeatUpStep();
void RepeatUpScroll();
int RepeatUpOutcome();
