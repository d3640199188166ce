// The mansion of board map 2: the stone colour shop of square kind 17
// (re-pairs the warps for 5 coins), and the warp of square kind 18, which
// carries the piece to the paired warp square and on the way may meet the
// mansion's master (a roll of 1 fixed in the player's future) or the star
// destroyer (a star of a player destroyed for 30 coins).
#pragma once

#include <cstdint>

constexpr int32_t kStoneColourFee = 5;
constexpr int32_t kStarDestructionFee = 30;

// The portraits of the mansion's characters.
constexpr int32_t kStoneShopPortrait = 14;        // ブロウニャ
constexpr int32_t kMasterPortrait = 15;           // ズィルベ
constexpr int32_t kStarDestroyerPortrait = 16;    // ヴェスピナ

extern int32_t StoneShopState;
extern int32_t CpuStoneShopState;
extern int32_t WarpState;
extern int32_t MasterMeetingState;
extern int32_t CpuMasterMeetingState;
extern int32_t StarDestructionState;
extern int32_t CpuStarDestructionState;

// The warp under way: the destination square, the frames of travel, the
// camera's speed in pixels a frame, and the event met on the way (0 none,
// 1 the master, 2 the star destruction).
extern int32_t WarpDestination;
extern int32_t WarpFrames;
extern float WarpCameraSpeed;
extern int32_t WarpEvent;
// The player whose star the last star destruction took, 0 before any.
extern int32_t StarDestructionVictim;
// 1 once a master meeting has begun in this program run: the first one sets
// every FatedOneCountdown entry to 0 before anything else.
extern int32_t MasterMetInThisRun;

// Each: one frame, 1 on the frame the event ends, else 0.
int RunStoneColourShop(int32_t player);
int RunCpuStoneColourShop(int32_t player);
// Makes the destination the move's square (MoveSquare) at its start and
// puts the piece there at its end. A warp square without a partner (an
// empty fourth link) carries nowhere: it ends at once like a path square.
int RunWarpSquare(int32_t player);
int RunMasterMeeting(int32_t player);
int RunCpuMasterMeeting(int32_t player);
int RunStarDestruction(int32_t player);
int RunCpuStarDestruction(int32_t player);

// The star destruction's victim, drawn among the players who hold a star
// (the buyer's own stars count like everyone else's), each weighted by its
// stars; 0 when no player holds one. One random draw when there is a victim.
int32_t DrawStarDestructionVictim();
