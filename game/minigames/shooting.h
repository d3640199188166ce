// Minigame 25, versus shooting ("media\mini\shooting"): two against two over
// two side-by-side fields, team 1 on the left and team 2 on the right. Waves
// of enemies enter both fields alike; every enemy shot down (and every enemy
// bullet an explosion clears) sends orbs to the other field, where each
// bursts into an enemy bullet. A bullet puts a ship down for the rest of the
// game. Play lasts 7200 frames or until a team has every member down; the
// team with more members up wins 10 coins each (equal numbers: a draw).
#pragma once

#include <cstdint>

// The steps: the entry (numbering B, step 3 a frame of nothing), the play
// and the outcome.
extern int32_t ShootingStep;
extern int32_t ShootingPlayStep;
extern int32_t ShootingOutcomeStep;
// Play frames left (7200 at the start); frames since the last wave started
// (a wave starts when it passes 119; 0 at set-up).
extern int32_t ShootingCountdown;
extern int32_t ShootingWaveTimer;
// The background picture.
extern int32_t ShootingBackground;

// Per side (0 team 1's field on the left, 1 team 2's on the right): the
// team's level, 1 at the start of play; it rises every 1200 frames and when
// a member is hit, and makes the bullets it sends faster and more numerous.
extern int32_t TeamLevel[2];

struct ShootingShot {
  int32_t active;
  float x, y, vx, vy;
};
struct ShootingEnemy {
  int32_t active, hitPoints;
  float x, y, vx, vy;
  float heading;  // radians (the turning patterns 5 to 8)
  int32_t speed, age, spinFrame;
};
struct ShootingWave {
  int32_t active, pattern, frame;
  ShootingEnemy enemies[15];
};
struct ShootingBullet {
  int32_t active;
  float x, y, vx, vy, heading, speed;
  int32_t kind;  // 0 red (an explosion clears it), 1 blue
};
struct ShootingOrb {
  int32_t active;
  float startX, startY, x, y, targetX, targetY, vx, vy;
  int32_t age;
};
struct ShootingExplosion {
  int32_t active, frame;
  float x, y;
  int32_t ringSize;  // 0 to 4
};

constexpr int kShootingShots = 20;
constexpr int kShootingWaves = 3;
constexpr int kShootingBullets = 100;
constexpr int kShootingOrbs = 20;
constexpr int kShootingExplosions = 15;

// Shots per participant (index 1..4; 0 unused); the other tables per side.
extern ShootingShot ShotTable[5][kShootingShots];
extern ShootingWave EnemyWaveTable[2][kShootingWaves];
extern ShootingBullet EnemyBulletTable[2][kShootingBullets];
extern ShootingOrb OrbTable[2][kShootingOrbs];  // by the side that sent them
extern ShootingExplosion ExplosionTable[2][kShootingExplosions];
// Per participant: the CPU's move direction (a numeric-keypad digit).
extern int32_t ShootingCpuDirection[5];

// The participant record's fields this game uses: the phase is the status
// (0 in play, 2 down); reals 0 and 1 the speed of this frame; ints 0, 1, 2
// the shots left in the burst, the burst's frame counter and the focus glow
// (0 to 255); byte 0 focus held.
constexpr uint8_t kShootingDown = 2;
int32_t& ShootingShotsLeft(int32_t p);
int32_t& ShootingBurstFrame(int32_t p);
int32_t& ShootingGlow(int32_t p);
// The side of a participant: 1 for team 2, else 0.
int32_t ShootingSide(int32_t p);

// Orbs move at most this many pixels a frame toward their target point,
// slower when close; the slowest still arrives (the burst test is a 10-pixel
// reach).
constexpr float kShootingOrbSpeed = 6.0f;

// The entry (slot 24 of the runner's table) is ShootingMain in minigame_entries.h.
void ShootingDraw();
void ShootingDrawBullets();
int ShootingPlay();
void ShootingCpu(int32_t p);
void ShootingWaves();
void ShootingShotHits();
void ShootingExplosions();
void ShootingEnemyBullets();
void ShootingOrbs();
int ShootingWaveBusy(const ShootingWave& wave);
int ShootingOutcome();
// An orb from the side's field toward a random point of the other field
// (nothing when the side's 20 orbs are all flying).
void ShootingSendOrb(int32_t side, float x, float y);
