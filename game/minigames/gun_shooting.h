// Minigame 17, gun sight ("media\mini\gunshooting"): one against three. The
// member of team 1 moves a gun sight over the whole screen and fires shots
// that burst after a short aim, and a large bomb; the members of team 2 run
// and jump over three ledges inside a walled room and must not be caught in
// a burst. Play lasts 2700 frames or until every runner is down; the
// runners win 10 coins each when one of them is still up at the end,
// otherwise the sight wins 10 coins.
#pragma once

#include <cstdint>

// The steps: the entry (numbering A), the play and the outcome.
extern int32_t GunShootingStep;
extern int32_t GunShootingPlayStep;
extern int32_t GunShootingOutcomeStep;
// Play frames left (2700 at the start); the emblem's turn (0 to 256).
extern int32_t GunShootingCountdown;
extern int32_t GunShootingEmblemTurn;

// The media: the sight, the wall and ledge tile, the plain mark (loaded
// only), the emblem, the aiming ring and the bomb's figure.
extern int32_t GunSightPicture, GunTilePicture, GunPlainMarkPicture, GunEmblemPicture, GunRingPicture, GunBombPicture;

// A shot or bomb: aimed at a point, it bursts there after its aim.
struct GunProjectile {
  int32_t phase;  // 0 free, 1 aiming, 2 burst
  int32_t kind;   // 1 shot, 2 bomb
  float x, y;     // the point it was fired at
  int32_t counter, alpha;
};
constexpr int kGunProjectiles = 4;
// The room: 40 columns x 30 rows of 16-pixel cells over the screen, cell
// (c, r) at 40r + c.
constexpr int kGunRoomColumns = 40, kGunRoomRows = 30;
enum GunRoomCell : int32_t { kGunEmpty = 0, kGunSolid = 1, kGunLedge = 2 };
// Both allocated zero-filled when the minigame loads and freed when it ends
// (null otherwise).
extern GunProjectile* GunProjectileTable;
extern int32_t* GunRoomGrid;

// The participant record's fields this game uses: x, y the sight's or the
// runner's centre; reals 0 and 1 the horizontal speed and this frame's
// vertical step; ints 0..3: shots pending (the sight), the shot counter
// (the sight) or jump request (a runner: 0 none, 1 jump, 2 drop through a
// ledge), the bomb state (the sight: 0 ready, 1 requested, 2 thrown) or
// drop-through state (a runner: 1 asked, 2 falling through a ledge), up (a
// runner: 1 up, 0 down); bytes 0, 1 in
// the air and jump ready; word 0 (real) a runner's vertical speed.
int32_t& GunShotsPending(int32_t p);
int32_t& GunShotCounter(int32_t p);
int32_t& GunJumpRequest(int32_t p);
int32_t& GunBombState(int32_t p);
int32_t& GunDropThrough(int32_t p);
int32_t& GunRunnerUp(int32_t p);
float& GunRunnerFallSpeed(int32_t p);
// Team 1 holds the sight; everyone else runs.
bool IsGunSight(int32_t p);

// The entry (slot 16 of the runner's table) is GunShootingMain in minigame_entries.h.
void GunShootingDrawRoom();
void GunShootingDrawActors();
int GunShootingPlay();
void GunShootingCpu(int32_t p);
void GunShootingProjectiles();
// Walls on all four sides, ledges across rows 11, 17 and 23.
void GunShootingFillRoom();
// The cell at a pixel point; empty outside the grid.
int32_t GunRoomCellAt(float x, float y);
// The move (vx, vy) from the probe point clipped against the cell it would
// enter: 3 landed, 1 or 2 stopped by a wall to the right or left, 4 stopped
// otherwise (or not moving), 0 free. A ledge stops only downward moves.
int32_t GunRoomClipVelocity(float px, float py, float& vx, float& vy);
// One frame of a runner's movement through the room.
void GunRunnerMove(int32_t p);
int GunShootingOutcome();
