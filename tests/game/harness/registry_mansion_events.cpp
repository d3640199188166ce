// The mansion events of map 2, for the harness. The stone colour shop and
// the warp idle at step 2 (their steps 0 and 1 are idle frames of the first
// visit), the master meetings at step 1 (step 0 clears the fates on the
// first meeting of the run).
#include "game/board/mansion_events.h"
#include "tests/game/harness/game_registry.h"

namespace {

// A step that counts as idle below the machine's idle step.
int64_t IdleBelow(int32_t step, int32_t idle) { return step < idle ? idle : step; }

}  // namespace

GAME_REGISTRY(mansion_events) {
  RegisterGameMachine("RunStoneColourShop", "StoneShopState", [] { return IdleBelow(StoneShopState, 2); }, 2);
  RegisterGameMachine("RunCpuStoneColourShop", "CpuStoneShopState", [] { return IdleBelow(CpuStoneShopState, 2); },
                      2);
  RegisterGameMachine("RunWarpSquare", "WarpState", [] { return IdleBelow(WarpState, 2); }, 2);
  RegisterGameMachine("RunMasterMeeting", "MasterMeetingState", [] { return IdleBelow(MasterMeetingState, 1); }, 1);
  RegisterGameMachine("RunCpuMasterMeeting", "CpuMasterMeetingState",
                      [] { return IdleBelow(CpuMasterMeetingState, 1); }, 1);
  GAME_MACHINE(RunStarDestruction, StarDestructionState);
  GAME_MACHINE(RunCpuStarDestruction, CpuStarDestructionState);
  GAME_VALUE(WarpDestination);
  GAME_VALUE(WarpFrames);
  GAME_VALUE(WarpCameraSpeed);
  GAME_VALUE(WarpEvent);
  GAME_VALUE(StarDestructionVictim);
  GAME_VALUE(MasterMetInThisRun);
}
