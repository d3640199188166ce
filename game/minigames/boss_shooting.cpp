// Minigame 20, boss shooting.
#include "game/minigames/boss_shooting.h"

#include <cmath>
#include <cstring>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/minigames/shooter_controls.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t BossShootingStep = 0;
int32_t BossShootingPlayStep = 0;
int32_t BossShootingOutcomeStep = 0;
int32_t BossShootingCountdown = 0;
int32_t BossShootingBoss = 0;
int32_t BossShootingHitPoints = 0;
int32_t BossShootingScene = 0;
BossShootingBullet BossShootingShots[4][kBossShotsPerChallenger] = {};
BossShootingBullet BossShootingEnemyBullets[kBossEnemyBullets] = {};

int32_t& BossShootingFire(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& BossShootingShotTimer(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& BossShootingFocus(int32_t p) { return ParticipantTable[p].ints[2]; }

namespace {

constexpr int32_t kPlayFrames = 5400;
constexpr int32_t kWinnerCoins = 10;
constexpr float kBossSpeed = 2.0f;
constexpr float kSpeed = 3.5f;
constexpr float kFocusSpeed = 2.0f;
constexpr int32_t kFireFrames = 6;
constexpr float kShotSpeed = -10.0f;
constexpr float kBodyRadius = 5.0f;
constexpr float kBulletRadius = 3.0f;
constexpr int32_t kShotSound = 24;

bool Alive(int32_t p) { return ParticipantTable[p].phase == 0; }
bool IsBoss(int32_t p) { return p == BossShootingBoss; }

bool OutOfBounds(const BossShootingBullet& b) { return b.x < 32.0f || b.x > 400.0f || b.y < -64.0f || b.y > 544.0f; }

const MinigameMedia kBossShootingMedia[] = {
    MinigamePicture("media\\mini\\shootingboss\\花シュー2.png", &BossShootingScene),
};

int LoadBossShooting() { return LoadMinigameMedia(kBossShootingMedia); }
void FreeBossShooting() { FreeMinigameMedia(kBossShootingMedia); }

void SetUpBossShooting() {
  BossShootingBoss = GetLoneParticipant();
  if (BossShootingBoss == 0) BossShootingBoss = 1;
  int32_t k = 0;
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    if (IsBoss(p)) {
      r.x = 216.0f;
      r.y = 80.0f;
    } else {
      r.x = static_cast<float>(++k * 32 + 64);
      r.y = 300.0f;
    }
    r.phase = 0;
    r.reals[0] = r.reals[1] = 0.0f;
    BossShootingFire(p) = BossShootingShotTimer(p) = BossShootingFocus(p) = 0;
    r.bytes[0] = 0;
  }
  std::memset(BossShootingShots, 0, sizeof BossShootingShots);
  std::memset(BossShootingEnemyBullets, 0, sizeof BossShootingEnemyBullets);
  BossShootingHitPoints = kBossHitPoints;
  BossShootingCountdown = kPlayFrames;
}

// The boss's hit points as a bar in the panel beside the field.
void DrawHitPointBar() {
  uint32_t white = MakeScreenColor(255, 255, 255);
  DrawFormatTextToHandle(416, 32, white, FontHandlesBySize[19], "BOSS");
  DrawRectangleShape(416, 60, 624, 76, white, 0);
  int32_t width = 206 * BossShootingHitPoints / kBossHitPoints;
  if (width > 0) DrawRectangleShape(417, 61, 417 + width, 75, MakeScreenColor(255, 60, 60), 1);
}

// The scene with the frame, for the banners, the outcome and the fade.
void DrawWithFrame() {
  BossShootingDraw();
  BossShootingDrawFrame();
  DrawHitPointBar();
}

// The challenger nearest to the boss among those still up, else 0.
int32_t NearestChallenger() {
  const ParticipantRecord& boss = ParticipantTable[BossShootingBoss];
  int32_t nearest = 0;
  float best = 0.0f;
  for (int32_t p = 1; p <= 4; ++p) {
    if (IsBoss(p) || !Alive(p)) continue;
    float d = GetDistanceSquared(boss.x, boss.y, ParticipantTable[p].x, ParticipantTable[p].y);
    if (nearest == 0 || d < best) {
      nearest = p;
      best = d;
    }
  }
  return nearest;
}

// The fire flag's shots, one every 6 frames: a challenger's straight up from
// its own block, the boss's aimed at the nearest challenger.
void Fire(int32_t p) {
  if (BossShootingFire(p) == 0 || ++BossShootingShotTimer(p) < kFireFrames) return;
  BossShootingShotTimer(p) = 0;
  const ParticipantRecord& r = ParticipantTable[p];
  if (!IsBoss(p)) {
    if (BossShootingBullet* b = FirstFreeRecord(BossShootingShots[p - 1], &BossShootingBullet::active)) {
      *b = {1, r.x, r.y, 0.0f, kShotSpeed, {}};
      PlaySoundHandle(SoundEffectHandles[kShotSound], 1, 1);
    }
    return;
  }
  int32_t target = NearestChallenger();
  if (target == 0) return;
  BossShootingBullet* b = FirstFreeRecord(BossShootingEnemyBullets, &BossShootingBullet::active);
  if (b == nullptr) return;
  Vector2f aim = GetUnitVector(ParticipantTable[target].x - r.x, ParticipantTable[target].y - r.y);
  *b = {1, r.x, r.y, aim.x * kBossBulletSpeed, aim.y * kBossBulletSpeed, {}};
}

bool AllChallengersDown() {
  for (int32_t p = 1; p <= 4; ++p)
    if (!IsBoss(p) && Alive(p)) return false;
  return true;
}

void PlayFrame() {
  BossShootingDraw();
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Alive(p)) continue;
    ParticipantRecord& r = ParticipantTable[p];
    if (!IsHumanParticipant(p)) {
      // CPU players stay still; a CPU boss fires all the time.
      BossShootingFire(p) = IsBoss(p) ? 1 : 0;
      continue;
    }
    if (IsBoss(p)) {
      int32_t glow = 0;
      ReadShooterControls(p, kBossSpeed, kBossSpeed, glow, r.bytes[0]);
      r.bytes[0] = 0;
    } else {
      ReadShooterControls(p, kSpeed, kFocusSpeed, BossShootingFocus(p), r.bytes[0]);
    }
    BossShootingFire(p) = IsParticipantButtonHeld(p, kButtonA) ? 1 : 0;
  }
  uint32_t red = MakeScreenColor(255, 0, 0);
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Alive(p)) continue;
    SetDrawBlend(1, BossShootingFocus(p));
    DrawCircleShape(static_cast<int32_t>(ParticipantTable[p].x), static_cast<int32_t>(ParticipantTable[p].y), 5, red,
                    1);
    SetDrawBlend(0, 255);
  }
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    LimitShooterSpeed(p, IsBoss(p) || r.bytes[0] != 0 ? kFocusSpeed : kSpeed);
    if (r.x + r.reals[0] < kBossFieldLeft || r.x + r.reals[0] > kBossFieldRight) r.reals[0] = 0.0f;
    if (r.y + r.reals[1] < kBossFieldTop || r.y + r.reals[1] > kBossFieldBottom) r.reals[1] = 0.0f;
  }
  for (int32_t p = 1; p <= 4; ++p)
    if (Alive(p)) Fire(p);
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Alive(p)) continue;
    ParticipantTable[p].x += ParticipantTable[p].reals[0];
    ParticipantTable[p].y += ParticipantTable[p].reals[1];
  }
  BossShootingMoveShots();
  BossShootingMoveEnemyBullets();
  --BossShootingCountdown;
  if (BossShootingCountdown <= 0 || !Alive(BossShootingBoss) || AllChallengersDown()) BossShootingPlayStep = 4;
  BossShootingDrawFrame();
  DrawHitPointBar();
  // Over the frame, so that its top strip does not hide the seconds.
  DrawFormatTextToHandle(310, 0, MakeScreenColor(255, 255, 255), FontHandlesBySize[19], "%d",
                         BossShootingCountdown / 60 + 1);
}

constexpr MinigameSteps kBossShooting = {
    .step = &BossShootingStep,
    .numbering = &kMinigameStepsB,
    .load = LoadBossShooting,
    .setUp = SetUpBossShooting,
    .draw = DrawWithFrame,
    .play = BossShootingPlay,
    .outcome = BossShootingOutcome,
    .unload = FreeBossShooting,
};

}  // namespace

int BossShootingMain() { return RunMinigameSteps(kBossShooting); }

void BossShootingDraw() {
  DrawGraphAt(0, 0, BossShootingScene, 1);
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Alive(p)) continue;
    int32_t x = static_cast<int32_t>(ParticipantTable[p].x), y = static_cast<int32_t>(ParticipantTable[p].y);
    // The boss faces the challengers below it, and stands larger.
    if (IsBoss(p))
      DrawGraphRotated(x, y, 1.5, 0.0, ParticipantPicture(p, 1), 1, 0);
    else
      DrawGraphRotated(x, y, 1.0, 0.0, ParticipantPicture(p, 8), 1, 0);
  }
  for (const auto& block : BossShootingShots)
    for (const BossShootingBullet& b : block) {
      if (b.active == 0) continue;
      int32_t x = static_cast<int32_t>(b.x), y = static_cast<int32_t>(b.y);
      DrawGraphRotated(x, y, 0.5, 0.0, ShotPicture, 1, 0);
      SetDrawBlend(1, 30);
      for (int32_t k = 1; k <= 4; ++k) DrawGraphRotated(x, y + 5 * k, 0.5, 0.0, ShotPicture, 1, 0);
      SetDrawBlend(0, 255);
    }
  uint32_t red = MakeScreenColor(255, 0, 0);
  for (const BossShootingBullet& b : BossShootingEnemyBullets)
    if (b.active != 0) DrawCircleShape(static_cast<int32_t>(b.x), static_cast<int32_t>(b.y), 3, red, 1);
}

void BossShootingDrawFrame() {
  uint32_t black = MakeScreenColor(0, 0, 0);
  DrawRectangleShape(0, 0, 32, 480, black, 1);
  DrawRectangleShape(0, 0, 640, 16, black, 1);
  DrawRectangleShape(400, 0, 640, 480, black, 1);
  DrawRectangleShape(0, 464, 640, 480, black, 1);
}

int BossShootingPlay() {
  switch (BossShootingPlayStep) {
    case 0:
      DrawWithFrame();
      BossShootingPlayStep = 1;
      break;
    case 1:
      BossShootingCountdown = kPlayFrames;
      DrawWithFrame();
      BossShootingPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 4:
      BossShootingPlayStep = 0;
      DrawWithFrame();
      return 1;
    default:
      break;
  }
  return 0;
}

// The boss down: the challengers win; otherwise (every challenger down, or
// the time-out) the boss wins.
int BossShootingOutcome() {
  DrawWithFrame();
  switch (BossShootingOutcomeStep) {
    case 0:
      BossShootingOutcomeStep = 1;
      break;
    case 1: {
      bool bossDown = !Alive(BossShootingBoss);
      for (int32_t p = 1; p <= 4; ++p)
        if (IsBoss(p) != bossDown) AwardParticipant(p, kWinnerCoins);
      BossShootingOutcomeStep = 2;
      break;
    }
    case 2:
      BossShootingOutcomeStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

void BossShootingMoveEnemyBullets() {
  for (BossShootingBullet& b : BossShootingEnemyBullets) {
    if (b.active == 0) continue;
    b.x += b.vx;
    b.y += b.vy;
    for (int32_t p = 1; p <= 4; ++p) {
      ParticipantRecord& r = ParticipantTable[p];
      if (IsBoss(p) || !Alive(p) || !HitCircleCircle(r.x, r.y, kBodyRadius, b.x, b.y, kBulletRadius)) continue;
      r.phase = kBossShootingDown;
      b.active = 0;
      break;
    }
    if (b.active != 0 && OutOfBounds(b)) b.active = 0;
  }
}

void BossShootingMoveShots() {
  ParticipantRecord& boss = ParticipantTable[BossShootingBoss];
  for (auto& block : BossShootingShots)
    for (BossShootingBullet& b : block) {
      if (b.active == 0) continue;
      b.x += b.vx;
      b.y += b.vy;
      if (Alive(BossShootingBoss) && HitCircleCircle(b.x, b.y, kBossShotRadius, boss.x, boss.y, kBossRadius)) {
        b.active = 0;
        if (--BossShootingHitPoints <= 0) {
          BossShootingHitPoints = 0;
          boss.phase = kBossShootingDown;
        }
        continue;
      }
      if (OutOfBounds(b)) b.active = 0;
    }
}
