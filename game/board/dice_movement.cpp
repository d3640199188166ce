// The die, the move, the forks and the CPU routes.
#include "game/board/dice_movement.h"

int32_t FatedOneCountdown[5] = {};

int32_t DieState = 1;
int32_t DieValue = 0;
int32_t CpuDieFrames = 0;

int32_t MoveState = 0;
int32_t MoveSquare = 0;
int32_t StepState = 2;
float StepSpeed = 0.0f;

int32_t ForkState = 0;
int32_t ForkChoice = -1;

int32_t PassEventState = 2;

CoinPopupRecord CoinPopups[kCoinPopupCount] = {};

// empty step: built with its module
int RollDie(int32_t, int32_t, int32_t) { return 1; }
// empty step: built with its module
int MovePiece() { return 1; }
// empty step: built with its module
int ChooseForkDirection(int32_t) { return 1; }
// empty step: built with its module
int FindCpuRoute(int32_t) { return 0; }
// empty step: built with its module
int StepPiece(int32_t) { return 1; }
// empty step: built with its module
int RunPassThroughEvent(int32_t) { return 1; }
