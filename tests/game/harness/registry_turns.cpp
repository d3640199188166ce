// The turn machine, the die and the move, and the landing effects for the
// harness. Steps whose first run starts below their resting step (the
// action menu, the drum roll, the move, the per-map events) count their
// first steps as resting, so a program that has not played a turn yet is
// not taken for a stall.
#include "game/board/dice_movement.h"
#include "game/board/landing_effects.h"
#include "game/board/turn_machine.h"
#include "game/shell/game_helpers.h"
#include "tests/game/harness/game_registry.h"

namespace {

// The step, with the steps below `rest` read as `rest`.
template <const int32_t* step>
int64_t AtLeast(int64_t rest) {
  return *step < rest ? rest : *step;
}

}  // namespace

GAME_REGISTRY(turns) {
  GAME_MACHINE(RunTurnMachine, TurnState);
  GAME_VALUE(TurnIndex);
  GAME_VALUE(CurrentPlayer);
  GAME_VALUE(LandingSquare);
  GAME_VALUE(MinigameType);
  GAME_VALUE(PausedFlag);
  GAME_VALUE(PausingPlayer);
  GAME_VALUE(RoundMinigameRow);
  RegisterGameMachine("RunTurnMenu", "TurnMenuState", [] { return AtLeast<&TurnMenuState>(2); }, 2);
  GAME_VALUE(CpuItemSlot);
  GAME_VALUE(BannerSpinAngle);
  GAME_TABLE(CpuWaitFrames);
  GAME_TABLE(MinigameWeights);
  GAME_MACHINE(DecideMinigameType, TypeState);
  GAME_VALUE(TypeFrames);
  GAME_VALUE(BlueCount);
  GAME_TABLE(RerollFlags);
  RegisterGameMachine("PickBoardMinigame", "PickState", [] { return AtLeast<&PickState>(2); }, 2);
  GAME_TABLE(ReelSlots);
  GAME_VALUE(ReelOffset);
  GAME_VALUE(ReelFrames);
  GAME_VALUE(ReelSelected);

  GAME_MACHINE(RollDie, DieState, 1);
  GAME_VALUE(DieValue);
  RegisterGameMachine("MovePiece", "MoveState", [] { return AtLeast<&MoveState>(3); }, 3);
  GAME_VALUE(MoveSquare);
  GAME_MACHINE(StepPiece, StepState, 2);
  GAME_MACHINE(ChooseForkDirection, ForkState);
  GAME_VALUE(ForkChoice);
  GAME_TABLE(ForkCandidates);
  GAME_VALUE(PassEventKind);
  // State 1 is left after a path square until the next event square.
  RegisterGameMachine("RunPassThroughEvent", "PassEventState", [] { return AtLeast<&PassEventState>(2); }, 2);
  GAME_TABLE(CoinPopups);

  GAME_MACHINE(RunLandingEffect, LandingState);
  GAME_MACHINE(RunBlueSquare, BlueSquare.state);
  GAME_MACHINE(RunRedSquare, RedSquare.state);
  GAME_MACHINE(RunItemSquare, ItemSquare.state);
  GAME_TABLE(ItemSquare);
  GAME_MACHINE(RunEventSquare, EventSquareState);
  RegisterGameMachine("RunNothingHappensEvent", "NothingHappensState",
                      [] { return AtLeast<&NothingHappensState>(2); }, 2);
  RegisterGameMachine("RunStoneColourEvent", "StoneColourEventState",
                      [] { return AtLeast<&StoneColourEventState>(2); }, 2);
  RegisterGameMachine("RunLostEvent", "LostEventState", [] { return AtLeast<&LostEventState>(2); }, 2);
  RegisterGameMachine("RunPassageClosingEvent", "PassageClosing.state",
                      [] { return PassageClosing.state < 2 ? 2 : PassageClosing.state; }, 2);
  GAME_MACHINE(RunHouseEvent, HouseEvent.state);
  GAME_MACHINE(RunRabbitDuel, RabbitDuel.state);
  GAME_TABLE(ImpossibleRequestGiven);
}
