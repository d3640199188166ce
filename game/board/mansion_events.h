// The mansion of board map 2: the stone colour shop of square kind 17
// (re-pairs the warps for 5 coins), and the warp of square kind 18, which
// carries the piece to the paired warp square and on the way may meet the
// mansion's master (a roll of 1 fixed in the player's future) or the star
// destroyer (a star of a player destroyed for 30 coins).
#pragma once

#include <cstdint>

constexpr int32_t kStoneColourFee = 5;
constexpr int32_t kStarDestructionFee = 30;

extern int32_t StoneShopState;
extern int32_t CpuStoneShopState;
extern int32_t WarpState;
extern int32_t MasterMeetingState;
extern int32_t CpuMasterMeetingState;
extern int32_t StarDestructionState;
extern int32_t CpuStarDestructionState;

// Each: one frame, 1 on the frame the event ends, else 0.
int RunStoneColourShop(int32_t player);
int RunCpuStoneColourShop(int32_t player);
// Makes the destination the move's square (MoveSquare) at its start and
// puts the piece there at its end.
int RunWarpSquare(int32_t player);
int RunMasterMeeting(int32_t player);
int RunCpuMasterMeeting(int32_t player);
int RunStarDestruction(int32_t player);
int RunCpuStarDestruction(int32_t player);
