// Minigame 10, best shot ("media\mini\bestshot"): four participants each
// alone watch a target fly about the screen, faster after every turn, and
// press A to take a snapshot of where it is. Play ends when all four have
// shot or after 6000 frames; everyone who shot wins, without coins.
#pragma once

#include <cstdint>

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t BestShotStep;
extern int32_t BestShotPlayStep;
extern int32_t BestShotOutcomeStep;
// Play frames left (6000 at the start).
extern int32_t BestShotCountdown;

// The flying target.
struct BestShotTargetRecord {
  float x, y;
  float heading;  // radians
  float ramp;     // radians, at most pi/2: the speed is 40 sin(ramp), held within 15..38
  float speed;
  float stepX, stepY;  // the last step
};
extern BestShotTargetRecord BestShotTarget;
// The course circle around (320, 240): the target turns back whenever it
// leaves it. 300 at each game's set-up, redrawn at every turn.
extern float BestShotCircleRadius;

// The participant record's fields this game uses (x, y take the snapshot):
// the shot state (0 not shot, 1 asked this frame, 2 taken) and the CPU
// choice (0 until the CPU routine has run).
int32_t& BestShotState(int32_t p);
int32_t& BestShotCpuChoice(int32_t p);

// The entry (slot 9 of the runner's table) is BestShotMain in minigame_entries.h.
void BestShotDraw();
// One frame of play: 1 when play is over.
int BestShotPlay();
// The CPU routine, shared with the catching game: once per game (while the
// choice is 0) it draws a choice of 1, 3 or 5 by CPU level into the second
// per-minigame integer. Nothing shoots on it.
void BestShotCpu(int32_t p);
// Participants who asked for a shot this frame take the target's position.
void BestShotTakeShots();
// One step of the target; a target that left the course circle turns back
// towards a point near the centre of the screen, faster.
void BestShotMoveTarget();
// Marks the winners: 1 when done.
int BestShotOutcome();
