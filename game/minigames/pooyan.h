// Minigame 16, balloon climb ("media\mini\pooyan"): one against three. The
// three challengers (team 2) pump up balloons on the ground and ride them up;
// the first at the top wins for the whole team. The lone participant (team
// 1) rides a lift on the right and shoots pellets leftwards that pop the
// balloons; when no challenger is up within 2700 frames, it wins. Stray
// balloons rise now and then and swallow pellets. Winners get 10 coins.
#pragma once

#include <cstdint>

// The steps: the entry (a game over comes back to the set-up), the play and
// the outcome.
extern int32_t PooyanStep;
extern int32_t PooyanPlayStep;
extern int32_t PooyanOutcomeStep;  // left at 1 after a game

// A pellet or a stray balloon.
struct PooyanObject {
  uint8_t active;
  float x, y;
  float speedX, speedY;
};
constexpr int kPooyanPellets = 4;
constexpr int kPooyanBalloons = 5;
extern PooyanObject PooyanPellets[kPooyanPellets];
extern PooyanObject PooyanBalloons[kPooyanBalloons];
// Per participant (index 1..4; 0 unused): frames since the last leak, and
// the frames of boost left.
extern int32_t PooyanLeakTimers[5];
extern int32_t PooyanBoostTimers[5];
// Play frames left (2700 at the start); the drawing's animation counters
// (0..19 and 0..59).
extern int32_t PooyanCountdown;
extern int32_t PooyanPullCounter;
extern int32_t PooyanPushCounter;

// A challenger's ride.
enum PooyanRide : uint8_t { kPooyanGround = 0, kPooyanPumping = 4, kPooyanFlying = 6, kPooyanFalling = 10 };
constexpr int32_t kPooyanMaxLevel = 20;
constexpr float kPooyanGroundY = 438.0f;
constexpr float kPooyanTopY = 64.0f;
constexpr int32_t kPooyanPlayFrames = 2700;

// The participant record's fields this game uses (x, y; the first two speed
// fields: horizontal and vertical speed): the ride state, the balloon level
// (the lone participant's shot request) and the lone participant's shot
// timer. The winning team is kept in record 0's team field. CPU: the lone
// one's decision delay is its CpuWorkTable counter, a challenger's pump
// counter value1, its walking direction value3 (1 right, 0 left).
uint8_t& PooyanRideOf(int32_t p);
int32_t& PooyanLevel(int32_t p);
int32_t& PooyanShotTimer(int32_t p);
int32_t& PooyanWinningTeam();

// The entry (slot 15 of the runner's table) is PooyanMain in minigame_entries.h.
void PooyanDrawScene();
void PooyanDrawObjects();
int PooyanPlay();
void PooyanCpu(int32_t p);
int PooyanOutcome();
