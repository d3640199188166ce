// The mansion events of map 2.
#include "game/board/mansion_events.h"

int32_t StoneShopState = 0;
int32_t CpuStoneShopState = 0;
int32_t WarpState = 0;
int32_t MasterMeetingState = 0;
int32_t CpuMasterMeetingState = 0;
int32_t StarDestructionState = 0;
int32_t CpuStarDestructionState = 0;

// empty step: built with its module
int RunStoneColourShop(int32_t) { return 1; }
// empty step: built with its module
int RunCpuStoneColourShop(int32_t) { return 1; }
// empty step: built with its module
int RunWarpSquare(int32_t) { return 1; }
// empty step: built with its module
int RunMasterMeeting(int32_t) { return 1; }
// empty step: built with its module
int RunCpuMasterMeeting(int32_t) { return 1; }
// empty step: built with its module
int RunStarDestruction(int32_t) { return 1; }
// empty step: built with its module
int RunCpuStarDestruction(int32_t) { return 1; }
