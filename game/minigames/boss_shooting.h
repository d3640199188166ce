// Minigame 20, boss shooting ("media\mini\shootingboss"): one against three
// in a vertical field. The lone participant (team 1) is the boss near the
// top, firing aimed bullets at the nearest challenger still up; the three
// challengers (team 2) fly below and shoot upwards, each hit taking one of
// the boss's hit points. A bullet puts a participant down. The boss down
// wins the challengers 10 coins each; all three challengers down, or the
// 5400 frames run out, wins the boss 10 coins.
#pragma once

#include <cstdint>

// The steps: the entry (numbering B), the play and the outcome.
extern int32_t BossShootingStep;
extern int32_t BossShootingPlayStep;
extern int32_t BossShootingOutcomeStep;
// Play frames left (5400 at the start).
extern int32_t BossShootingCountdown;
// The boss (the lone participant; participant 1 when the teams name none)
// and its hit points (kBossHitPoints at set-up).
extern int32_t BossShootingBoss;
extern int32_t BossShootingHitPoints;
// The scene picture.
extern int32_t BossShootingScene;

struct BossShootingBullet {
  int32_t active;
  float x, y, vx, vy;
  int32_t spare[4];
};
constexpr int kBossShotsPerChallenger = 20;
constexpr int kBossEnemyBullets = 100;
// The challengers' shots: participant p owns block p - 1.
extern BossShootingBullet BossShootingShots[4][kBossShotsPerChallenger];
// The boss's bullets (they hit challengers only).
extern BossShootingBullet BossShootingEnemyBullets[kBossEnemyBullets];

constexpr int32_t kBossHitPoints = 120;
constexpr float kBossBulletSpeed = 3.0f;
constexpr float kBossRadius = 16.0f;  // the boss's body, as the challengers' shots find it
constexpr float kBossShotRadius = 4.0f;
// The field a participant's centre never leaves.
constexpr float kBossFieldLeft = 48.0f, kBossFieldRight = 384.0f;
constexpr float kBossFieldTop = 32.0f, kBossFieldBottom = 448.0f;

// The participant record's fields this game uses: the phase is the down
// state (0 alive, 2 down); reals 0 and 1 the speed; ints 0, 1, 2 the fire
// flag (1 while A is held), the shot timer and the focus level (0 to 255);
// byte 0 the focus flag (1 while B is held).
constexpr uint8_t kBossShootingDown = 2;
int32_t& BossShootingFire(int32_t p);
int32_t& BossShootingShotTimer(int32_t p);
int32_t& BossShootingFocus(int32_t p);

// The entry (slot 19 of the runner's table) is BossShootingMain in minigame_entries.h.
void BossShootingDraw();
void BossShootingDrawFrame();
int BossShootingPlay();
int BossShootingOutcome();
void BossShootingMoveEnemyBullets();
void BossShootingMoveShots();
