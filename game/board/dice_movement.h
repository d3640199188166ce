// The die of the action menu and the move of the current player's piece
// square by square: links, forks (a human picks a direction, a CPU player
// follows its route policy), the events of the squares passed, the coin
// steals of the passing items, and the square where the move ended. The
// fork's candidates and arrow angles (ForkCandidates, ForkArrowAngles) are
// in game/shell/game_helpers.h beside NearestAngleIndex.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- the die

// By player number (entries 1 to 4): the die of a player whose entry is 1
// shows 1; the action menu counts it down at the end of each turn.
extern int32_t FatedOneCountdown[5];

extern int32_t DieState;      // 1 reset, 2 rolling
extern int32_t DieValue;      // the last roll
extern int32_t CpuDieFrames;  // the frames a CPU player has watched the die

// ---------------------------------------------------------------- the move

extern int32_t MoveState;   // 0 to 8
extern int32_t MoveSquare;  // the square the piece is on or heading for
extern int32_t MoveSquaresWalked;  // the squares the piece has entered in this move
extern int32_t StepState;   // 2 walking, 3 arrived
extern float StepSpeed;     // pixels a frame of the current step

extern int32_t ForkState;   // 0 to 4
extern int32_t ForkChoice;  // index of the highlighted candidate, -1 = none
extern int32_t ForkLastChoice;  // the candidate highlighted the frame before (its sound plays on a change)

extern int32_t PassEventState;  // 2 between events
extern int32_t PassEventKind;   // the running event's square kind; -1 between events

// A running coin transfer, animated on its own counter and state.
struct CoinPopupRecord {
  uint8_t active;
  int32_t amount;
  int32_t counter;
  int32_t state;
  int32_t player;
};
constexpr int kCoinPopupCount = 5;
extern CoinPopupRecord CoinPopups[kCoinPopupCount];

// ---------------------------------------------------------------- steps

// One frame of the die drawn at (x, y): 0 while rolling, else the roll
// (1 to 10, or more with the die items).
int RollDie(int32_t player, int32_t x, int32_t y);
// One frame of CurrentPlayer's move: 0 while moving, else the landing square.
// No move enters more than kMoveWalkLimit squares.
int MovePiece();
// 0 while choosing, else the square chosen.
int ChooseForkDirection(int32_t player);
// A CPU player's choice among the fork candidates, 0 for none (the fork
// then asks again).
int FindCpuRoute(int32_t player);
// Route walks give up after this many squares (a loop without a fork).
constexpr int32_t kRouteWalkLimit = 99;
// A move that has entered this many squares without ending ends where the
// piece stands (a loop of squares that spend no point).
constexpr int32_t kMoveWalkLimit = 99;
// One frame of walking to MoveSquare: 0 walking, 1 move over, 2 one point
// used and more to go, 3 an event square reached.
int StepPiece(int32_t player);
// The event of MoveSquare's kind: 0 while it runs, 1 the move goes on, -1
// the move ends here.
int RunPassThroughEvent(int32_t player);
