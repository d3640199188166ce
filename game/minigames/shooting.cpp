// Minigame 25, versus shooting.
#include "game/minigames/shooting.h"

#include <cmath>
#include <cstring>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/minigames/shooter_controls.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t ShootingStep = 0;
int32_t ShootingPlayStep = 0;
int32_t ShootingOutcomeStep = 0;
int32_t ShootingCountdown = 0;
int32_t ShootingWaveTimer = 0;
int32_t ShootingBackground = 0;
int32_t TeamLevel[2] = {};
ShootingShot ShotTable[5][kShootingShots] = {};
ShootingWave EnemyWaveTable[2][kShootingWaves] = {};
ShootingBullet EnemyBulletTable[2][kShootingBullets] = {};
ShootingOrb OrbTable[2][kShootingOrbs] = {};
ShootingExplosion ExplosionTable[2][kShootingExplosions] = {};
int32_t ShootingCpuDirection[5] = {};

int32_t& ShootingShotsLeft(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& ShootingBurstFrame(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& ShootingGlow(int32_t p) { return ParticipantTable[p].ints[2]; }
int32_t ShootingSide(int32_t p) { return ParticipantTable[p].team == 2 ? 1 : 0; }

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int32_t kPlayFrames = 7200;
constexpr int32_t kLevelUpFrames = 1200;
constexpr int32_t kWaveFrames = 120;
constexpr int32_t kWinnerCoins = 10;
constexpr float kSpeed = 3.5f;
constexpr float kFocusSpeed = 2.0f;
constexpr int32_t kBurstShots = 3;
constexpr int32_t kBurstFrames = 6;
constexpr float kShotSpeed = -10.0f;
constexpr float kEnemyRadius = 15.0f;
constexpr float kExplosionRadius = 35.0f;
constexpr int32_t kExplosionFrames = 15;
constexpr int32_t kChainFrame = 8;
constexpr float kShipRadius = 5.0f;
constexpr float kBulletRadius = 3.0f;
constexpr float kOrbRadius = 5.0f;
constexpr int32_t kShotSound = 24;

// The fields, by side: x from left to right, y from top to bottom (inclusive).
constexpr float kFieldLeft[2] = {16.0f, 336.0f};
constexpr float kFieldRight[2] = {304.0f, 624.0f};
constexpr float kFieldTop = 16.0f;
constexpr float kFieldBottom = 464.0f;

bool InField(int32_t side, float x, float y) {
  return x >= kFieldLeft[side] && x <= kFieldRight[side] && y >= kFieldTop && y <= kFieldBottom;
}

bool InPlay(int32_t p) { return ParticipantTable[p].phase == 0; }

const MinigameMedia kShootingMedia[] = {
    MinigamePicture("media\\mini\\shooting\\花シュー2.png", &ShootingBackground),
};

int LoadShooting() { return LoadMinigameMedia(kShootingMedia); }
void FreeShooting() { FreeMinigameMedia(kShootingMedia); }

// Team 1's members from x 80 and team 2's from x 400, 32 pixels apart in
// participant order, all at y 300; every table cleared.
void SetUpShooting() {
  int32_t placed[2] = {};
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    int32_t side = ShootingSide(p);
    r.x = kFieldLeft[side] + 64.0f + 32.0f * static_cast<float>(placed[side]++);
    r.y = 300.0f;
    r.phase = 0;
    r.reals[0] = r.reals[1] = 0.0f;
    ShootingShotsLeft(p) = ShootingBurstFrame(p) = ShootingGlow(p) = 0;
    r.bytes[0] = 0;
    ShootingCpuDirection[p] = 5;
  }
  std::memset(ShotTable, 0, sizeof ShotTable);
  std::memset(EnemyWaveTable, 0, sizeof EnemyWaveTable);
  std::memset(EnemyBulletTable, 0, sizeof EnemyBulletTable);
  std::memset(OrbTable, 0, sizeof OrbTable);
  std::memset(ExplosionTable, 0, sizeof ExplosionTable);
  ShootingWaveTimer = 0;
  ShootingCountdown = kPlayFrames;
  TeamLevel[0] = TeamLevel[1] = 1;
}

// ---------------------------------------------------------------- drawing without moving

void DrawEnemies() {
  for (auto& field : EnemyWaveTable)
    for (ShootingWave& wave : field)
      for (ShootingEnemy& e : wave.enemies)
        if (e.active != 0)
          DrawGraphRotated(static_cast<int32_t>(e.x), static_cast<int32_t>(e.y), 1.0, e.spinFrame * 0.20943951606750488,
                           FuzzballPicture, 1, 0);
}

void DrawExplosion(const ShootingExplosion& ex) {
  uint32_t blue = MakeScreenColor(0, 140, 255);
  int32_t x = static_cast<int32_t>(ex.x), y = static_cast<int32_t>(ex.y);
  int32_t radius = 10 * ex.ringSize;
  DrawCircleShape(x, y, radius, blue, 0);
  SetDrawBlend(1, 60);
  DrawCircleShape(x, y, radius, blue, 1);
  SetDrawBlend(1, 30);
  for (int32_t i = 1; i <= 5; ++i) DrawCircleShape(x, y, radius / 6 * i, blue, 1);
  SetDrawBlend(0, 255);
}

void DrawOrb(const ShootingOrb& orb) {
  uint32_t magenta = MakeScreenColor(255, 0, 255);
  int32_t x = static_cast<int32_t>(orb.x), y = static_cast<int32_t>(orb.y);
  SetDrawBlend(1, 60);
  DrawCircleShape(x, y, 10, magenta, 1);
  SetDrawBlend(1, 30);
  for (int32_t r = 1; r <= 5; ++r) DrawCircleShape(x, y, r, magenta, 1);
  SetDrawBlend(0, 255);
}

// The whole scene as it stands, for the banners, the outcome and the fade:
// the enemies, explosions and orbs stay on the screen after play.
void DrawStill() {
  ShootingDraw();
  DrawEnemies();
  for (auto& field : ExplosionTable)
    for (ShootingExplosion& ex : field)
      if (ex.active != 0) DrawExplosion(ex);
  for (auto& field : OrbTable)
    for (ShootingOrb& orb : field)
      if (orb.active != 0) DrawOrb(orb);
  ShootingDrawBullets();
}

// ---------------------------------------------------------------- play

void HumanControls(int32_t p) {
  ReadShooterControls(p, kSpeed, kFocusSpeed, ShootingGlow(p), ParticipantTable[p].bytes[0]);
  if (IsNewParticipantPress(p, kButtonA)) ShootingShotsLeft(p) = kBurstShots;
}

void LimitSpeed(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  LimitShooterSpeed(p, r.bytes[0] != 0 ? kFocusSpeed : kSpeed);
  int32_t side = ShootingSide(p);
  if (r.x + r.reals[0] < kFieldLeft[side] || r.x + r.reals[0] > kFieldRight[side]) r.reals[0] = 0.0f;
  if (r.y + r.reals[1] < kFieldTop || r.y + r.reals[1] > kFieldBottom) r.reals[1] = 0.0f;
}

void Burst(int32_t p) {
  if (!InPlay(p) || ShootingShotsLeft(p) <= 0) return;
  if (++ShootingBurstFrame(p) < kBurstFrames) return;
  if (ShootingShot* shot = FirstFreeRecord(ShotTable[p], &ShootingShot::active)) {
    *shot = {1, ParticipantTable[p].x, ParticipantTable[p].y, 0.0f, kShotSpeed};
    PlaySoundHandle(SoundEffectHandles[kShotSound], 1, 1);
  }
  --ShootingShotsLeft(p);
  ShootingBurstFrame(p) = 0;
}

// A destroyed enemy: an explosion where it stood and, by chance and by the
// side's level, 3 or 6 orbs toward the other field.
void DestroyEnemy(int32_t side, ShootingEnemy& e) {
  e.active = 0;
  if (ShootingExplosion* ex = FirstFreeRecord(ExplosionTable[side], &ShootingExplosion::active))
    *ex = {1, 0, e.x, e.y, 0};
  int32_t r = GetRandomNumber(9);
  int32_t level = TeamLevel[side];
  int32_t orbs = 0;
  if (level - 1 <= r && r <= level + 3)
    orbs = 3;
  else if (level - 14 <= r && r <= level - 2)
    orbs = 6;
  for (int32_t i = 0; i < orbs; ++i) ShootingSendOrb(side, e.x, e.y);
}

// The side with every member down (at least one member), else -1.
int32_t SideAllDown() {
  for (int32_t side = 0; side < 2; ++side) {
    int32_t members = 0, down = 0;
    for (int32_t p = 1; p <= 4; ++p) {
      if (ShootingSide(p) != side) continue;
      ++members;
      if (!InPlay(p)) ++down;
    }
    if (members > 0 && down == members) return side;
  }
  return -1;
}

void PlayFrame() {
  ShootingDraw();
  ShootingDrawBullets();
  for (int32_t p = 1; p <= 4; ++p) {
    if (!InPlay(p)) continue;
    if (IsHumanParticipant(p))
      HumanControls(p);
    else
      ShootingCpu(p);
  }
  uint32_t red = MakeScreenColor(255, 0, 0);
  for (int32_t p = 1; p <= 4; ++p) {
    if (!InPlay(p)) continue;
    SetDrawBlend(1, ShootingGlow(p));
    DrawCircleShape(static_cast<int32_t>(ParticipantTable[p].x), static_cast<int32_t>(ParticipantTable[p].y), 5, red,
                    1);
  }
  SetDrawBlend(0, 255);
  for (int32_t p = 1; p <= 4; ++p) LimitSpeed(p);
  for (int32_t p = 1; p <= 4; ++p) Burst(p);
  for (int32_t p = 1; p <= 4; ++p) {
    if (!InPlay(p)) continue;  // a ship that is down no longer moves or fires
    ParticipantTable[p].x += ParticipantTable[p].reals[0];
    ParticipantTable[p].y += ParticipantTable[p].reals[1];
  }
  ShootingShotHits();
  ShootingWaves();
  ShootingExplosions();
  ShootingEnemyBullets();
  ShootingOrbs();
  --ShootingCountdown;
  DrawFormatTextToHandle(310, 0, MakeScreenColor(255, 255, 255), FontHandlesBySize[19], "%d",
                         ShootingCountdown / 60 + 1);
  if (ShootingCountdown % kLevelUpFrames == 0) {
    ++TeamLevel[0];
    ++TeamLevel[1];
  }
  if (ShootingCountdown <= 0 || SideAllDown() >= 0) ShootingPlayStep = 4;
}

// ---------------------------------------------------------------- waves

struct PatternRule {
  float entryX[2], entryY;
  float vx;       // patterns 1 to 4: a fixed velocity (vy 0)
  float heading;  // patterns 5 to 8: heading and speed 2, turning
  int32_t turnFrom, turnTo, period;
  float turn;
  int32_t ageLimit;  // 0 for the straight patterns
};

constexpr float kTurn = kPi / 20.0f;
const PatternRule kPatterns[9] = {
    {},
    {{16, 336}, 80, 2.0f, 0, 0, 0, 0, 0, 0},
    {{16, 336}, 144, 2.0f, 0, 0, 0, 0, 0, 0},
    {{304, 624}, 80, -2.0f, 0, 0, 0, 0, 0, 0},
    {{304, 624}, 144, -2.0f, 0, 0, 0, 0, 0, 0},
    {{80, 400}, 16, 0, kPi / 2, 60, 120, 10, -kTurn, 120},
    {{240, 560}, 16, 0, kPi / 2, 60, 120, 10, kTurn, 120},
    {{48, 368}, 16, 0, 0, 0, 300, 15, kTurn, 300},
    {{272, 592}, 16, 0, kPi, 0, 300, 15, -kTurn, 300},
};

// One frame of a wave: every 20 frames of its first 140 an enemy enters at
// its pattern's entry point; then its enemies move.
void ShootingPattern(int32_t side, ShootingWave& wave) {
  const PatternRule& rule = kPatterns[wave.pattern];
  if (wave.frame % 20 == 0 && wave.frame < 140) {
    if (ShootingEnemy* e = FirstFreeRecord(wave.enemies, &ShootingEnemy::active)) {
      *e = {};
      e->active = 1;
      e->hitPoints = 2;
      e->x = rule.entryX[side];
      e->y = rule.entryY;
      e->vx = rule.vx;
      e->heading = rule.heading;
      e->speed = 2;
    }
  }
  wave.frame = wave.frame >= 140 ? 141 : wave.frame + 1;
  for (ShootingEnemy& e : wave.enemies) {
    if (e.active == 0) continue;
    if (rule.ageLimit > 0) {
      if (e.age >= rule.turnFrom && e.age < rule.turnTo && e.age % rule.period == 0) e.heading += rule.turn;
      e.vx = std::cos(e.heading) * static_cast<float>(e.speed);
      e.vy = std::sin(e.heading) * static_cast<float>(e.speed);
      if (e.age < rule.ageLimit) ++e.age;
    }
    e.x += e.vx;
    e.y += e.vy;
  }
}

// ---------------------------------------------------------------- the steps

// Numbering B: step 3 is a frame of nothing.
constexpr MinigameSteps kShooting = {
    .step = &ShootingStep,
    .numbering = &kMinigameStepsB,
    .load = LoadShooting,
    .setUp = SetUpShooting,
    .draw = DrawStill,
    .play = ShootingPlay,
    .outcome = ShootingOutcome,
    .unload = FreeShooting,
};

}  // namespace

int ShootingMain() { return RunMinigameSteps(kShooting); }

void ShootingDraw() {
  DrawGraphAt(0, 0, ShootingBackground, 1);
  SetDrawBlend(1, 150);
  uint32_t black = MakeScreenColor(0, 0, 0);
  DrawRectangleShape(16, 16, 304, 464, black, 1);
  DrawRectangleShape(336, 16, 624, 464, black, 1);
  SetDrawBlend(0, 255);
  for (int32_t p = 1; p <= 4; ++p)
    if (InPlay(p))
      DrawGraphRotated(static_cast<int32_t>(ParticipantTable[p].x), static_cast<int32_t>(ParticipantTable[p].y), 1.0,
                       0.0, ParticipantPicture(p, 8), 1, 0);
  for (int32_t p = 1; p <= 4; ++p)
    for (const ShootingShot& s : ShotTable[p]) {
      if (s.active == 0) continue;
      int32_t x = static_cast<int32_t>(s.x), y = static_cast<int32_t>(s.y);
      DrawGraphRotated(x, y, 0.5, 0.0, ShotPicture, 1, 0);
      SetDrawBlend(1, 30);
      for (int32_t k = 1; k <= 4; ++k) DrawGraphRotated(x, y + 5 * k, 0.5, 0.0, ShotPicture, 1, 0);
      SetDrawBlend(0, 255);
    }
}

void ShootingDrawBullets() {
  uint32_t colours[2] = {MakeScreenColor(255, 0, 0), MakeScreenColor(80, 80, 255)};
  for (auto& field : EnemyBulletTable)
    for (const ShootingBullet& b : field)
      if (b.active != 0)
        DrawCircleShape(static_cast<int32_t>(b.x), static_cast<int32_t>(b.y), 3, colours[b.kind == 1 ? 1 : 0], 1);
}

int ShootingPlay() {
  switch (ShootingPlayStep) {
    case 0:
      DrawStill();
      ShootingPlayStep = 1;
      break;
    case 1:
      ShootingCountdown = kPlayFrames;
      TeamLevel[0] = TeamLevel[1] = 1;
      DrawStill();
      ShootingPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 4:
      DrawStill();
      ShootingPlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

void ShootingCpu(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  if (r.cpuLevel != 1) return;  // other levels give no input
  CpuWorkRecord& work = CpuWorkTable[p];
  int32_t& direction = ShootingCpuDirection[p];
  int32_t side = ShootingSide(p);
  if (work.counter > 0) {
    // Along the direction digit: 1 down-left ... 9 up-right; 5 and others stay.
    static const float kDx[10] = {0, -1, 0, 1, -1, 0, 1, -1, 0, 1};
    static const float kDy[10] = {0, 1, 1, 1, 0, 0, 0, -1, -1, -1};
    if (direction >= 1 && direction <= 9 && direction != 5) {
      r.reals[0] = kDx[direction] * kSpeed;
      r.reals[1] = kDy[direction] * kSpeed;
    }
    --work.counter;
  } else {
    r.reals[0] = r.reals[1] = 0.0f;
    const ShootingEnemy* nearest = nullptr;
    float best = 0.0f;
    for (ShootingWave& wave : EnemyWaveTable[side])
      for (ShootingEnemy& e : wave.enemies) {
        if (e.active == 0) continue;
        float d = GetDistanceSquared(r.x, r.y, e.x, e.y);
        if (nearest == nullptr || d < best) {
          nearest = &e;
          best = d;
        }
      }
    if (nearest == nullptr) {
      // Back to the middle of the lower field.
      float low = kFieldLeft[side] + 114.0f, high = kFieldLeft[side] + 174.0f;
      bool above = r.y <= 240.0f;
      if (r.x < low)
        direction = above ? 6 : 9;
      else if (r.x <= high)
        direction = above ? 5 : 8;
      else
        direction = above ? 4 : 7;
      work.counter = 3;
    } else if (std::fabs(nearest->vx) < 0.00001f) {
      // Standing or moving straight up or down: a near-zero speed counts as none.
      if (nearest->x - 10.0f < r.x && r.x < nearest->x + 10.0f)
        ShootingShotsLeft(p) = kBurstShots;
      else if (r.x <= nearest->x - 10.0f)
        r.reals[0] = kSpeed;
      else
        r.reals[0] = -kSpeed;
      direction = r.y >= nearest->y + 30.0f ? 5 : 2;
    } else if (nearest->vx < 0.0f) {
      if (r.x < nearest->x) {
        ShootingShotsLeft(p) = kBurstShots;
      } else {
        direction = r.y < nearest->y + 30.0f ? 1 : 4;
        work.counter = 3;
      }
    } else {
      if (r.x > nearest->x) {
        ShootingShotsLeft(p) = kBurstShots;
      } else {
        direction = r.y >= nearest->y + 30.0f ? 6 : 3;
        work.counter = 3;
      }
    }
  }
  // Dodging the bullets within 30 pixels above and beside the ship.
  for (const ShootingBullet& b : EnemyBulletTable[side]) {
    if (b.active == 0 || GetDistanceSquared(r.x, r.y, b.x, b.y) > 30.0f * 30.0f) continue;
    float a = std::atan2(b.y - r.y, b.x - r.x);
    if (a > 0.0f) continue;
    int32_t dodge = a <= -7 * kPi / 8 ? 6 : a <= -5 * kPi / 8 ? 3 : a <= -3 * kPi / 8 ? 2 : a <= -kPi / 8 ? 1 : 4;
    if (dodge != direction) {
      direction = dodge;
      work.value1 = 0;
    } else if (++work.value1 > 5) {
      float middle = kFieldLeft[side] + 144.0f;
      switch (dodge) {
        case 6:
        case 4:
          r.reals[1] = kSpeed;
          break;
        case 3:
          r.reals[0] = -kSpeed;
          r.reals[1] = kSpeed;
          break;
        case 2:
          r.reals[0] = r.x < middle ? kSpeed : -kSpeed;
          r.reals[1] = kSpeed;
          break;
        case 1:
          r.reals[0] = r.reals[1] = kSpeed;
          break;
        default:
          break;
      }
    }
    work.counter = 3;
  }
}

void ShootingWaves() {
  if (++ShootingWaveTimer > kWaveFrames - 1) {
    ShootingWaveTimer = 0;
    int32_t pattern = GetRandomNumber(7) + 1;
    for (auto& field : EnemyWaveTable)
      if (ShootingWave* wave = FirstFreeRecord(field, &ShootingWave::active)) {
        std::memset(wave, 0, sizeof *wave);
        wave->active = 1;
        wave->pattern = pattern;
      }
  }
  for (int32_t side = 0; side < 2; ++side)
    for (ShootingWave& wave : EnemyWaveTable[side]) {
      if (wave.active == 0) continue;
      if (wave.pattern >= 1 && wave.pattern <= 8) ShootingPattern(side, wave);
      for (ShootingEnemy& e : wave.enemies)
        if (e.active != 0 && !InField(side, e.x, e.y)) e.active = 0;
      if (wave.frame > 139 && ShootingWaveBusy(wave) == 0) wave.active = wave.pattern = wave.frame = 0;
    }
  for (auto& field : EnemyWaveTable)
    for (ShootingWave& wave : field)
      for (ShootingEnemy& e : wave.enemies)
        if (e.active != 0) e.spinFrame = e.spinFrame >= 29 ? 0 : e.spinFrame + 1;
  DrawEnemies();
}

int ShootingWaveBusy(const ShootingWave& wave) {
  for (const ShootingEnemy& e : wave.enemies)
    if (e.active != 0) return 1;
  return 0;
}

void ShootingShotHits() {
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t side = ShootingSide(p);
    for (ShootingShot& s : ShotTable[p]) {
      if (s.active == 0) continue;
      SegmentRecord path = {s.x, s.y, s.x + s.vx, s.y + s.vy};
      for (ShootingWave& wave : EnemyWaveTable[side]) {
        for (ShootingEnemy& e : wave.enemies) {
          if (e.active == 0 || !HitSegmentCircle(path, {e.x, e.y, kEnemyRadius})) continue;
          s.active = 0;
          if (--e.hitPoints <= 0) DestroyEnemy(side, e);
          break;
        }
        if (s.active == 0) break;
      }
      if (s.active == 0) continue;
      s.x += s.vx;
      s.y += s.vy;
      if (!InField(side, s.x, s.y)) s.active = 0;
    }
  }
}

void ShootingSendOrb(int32_t side, float x, float y) {
  ShootingOrb* orb = FirstFreeRecord(OrbTable[side], &ShootingOrb::active);
  if (orb == nullptr) return;
  *orb = {};
  orb->active = 1;
  orb->startX = orb->x = x;
  orb->startY = orb->y = y;
  orb->targetX = static_cast<float>(GetRandomNumber(288) + (side == 0 ? 336 : 16));
  orb->targetY = static_cast<float>(GetRandomNumber(96) + 16);
}

void ShootingExplosions() {
  for (int32_t side = 0; side < 2; ++side)
    for (ShootingExplosion& ex : ExplosionTable[side]) {
      if (ex.active == 0) continue;
      if (ex.frame < kExplosionFrames)
        for (ShootingBullet& b : EnemyBulletTable[side])
          if (b.active != 0 && b.kind == 0 &&
              GetDistanceSquared(ex.x, ex.y, b.x, b.y) <= kExplosionRadius * kExplosionRadius) {
            b.active = 0;
            ShootingSendOrb(side, b.x, b.y);
          }
      if (ex.frame == kChainFrame)
        for (ShootingWave& wave : EnemyWaveTable[side])
          for (ShootingEnemy& e : wave.enemies)
            if (e.active != 0 && HitCircleCircle(e.x, e.y, kEnemyRadius, ex.x, ex.y, kExplosionRadius))
              DestroyEnemy(side, e);
      if (ex.frame >= kExplosionFrames) {
        ex.active = 0;
        continue;
      }
      ++ex.frame;
      if (ex.ringSize < 4) ++ex.ringSize;
      DrawExplosion(ex);
    }
}

void ShootingEnemyBullets() {
  for (int32_t side = 0; side < 2; ++side)
    for (ShootingBullet& b : EnemyBulletTable[side]) {
      if (b.active == 0) continue;
      b.x += b.vx;
      b.y += b.vy;
      for (int32_t p = 1; p <= 4; ++p) {
        ParticipantRecord& r = ParticipantTable[p];
        if (!InPlay(p) || !HitCircleCircle(r.x, r.y, kShipRadius, b.x, b.y, kBulletRadius)) continue;
        r.phase = kShootingDown;
        ++TeamLevel[ShootingSide(p)];
        b.active = 0;
        break;
      }
      if (b.active != 0 && !InField(side, b.x, b.y)) b.active = 0;
    }
}

void ShootingOrbs() {
  for (int32_t side = 0; side < 2; ++side)
    for (ShootingOrb& orb : OrbTable[side]) {
      if (orb.active == 0) continue;
      // Straight at the target, 6 pixels a frame, half the distance left once
      // closer than 12: it always comes within the burst's reach.
      float dx = orb.targetX - orb.x, dy = orb.targetY - orb.y;
      float distance = std::sqrt(dx * dx + dy * dy);
      float step = distance * 0.5f < kShootingOrbSpeed ? distance * 0.5f : kShootingOrbSpeed;
      if (distance > 0.0f) {
        orb.vx = dx / distance * step;
        orb.vy = dy / distance * step;
        orb.x += orb.vx;
        orb.y += orb.vy;
      }
      ++orb.age;
      if (HitCircleCircle(orb.x, orb.y, kOrbRadius, orb.targetX, orb.targetY, kOrbRadius)) {
        orb.active = 0;
        int32_t target = 1 - side;
        if (ShootingBullet* b = FirstFreeRecord(EnemyBulletTable[target], &ShootingBullet::active)) {
          b->active = 1;
          b->x = orb.targetX;
          b->y = orb.targetY;
          b->kind = GetRandomNumber(1);
          b->heading = static_cast<float>(GetRandomNumber(10)) * kPi / 30.0f - kPi / 6.0f;
          b->speed = static_cast<float>(TeamLevel[side]) * 0.3f + static_cast<float>(GetRandomNumber(10)) * 0.1f + 1.0f;
          b->vx = std::sin(b->heading) * b->speed;
          b->vy = std::cos(b->heading) * b->speed;
        }
        continue;
      }
      DrawOrb(orb);
    }
}

// The side with more members up wins; equal numbers are a draw.
int ShootingOutcome() {
  DrawStill();
  switch (ShootingOutcomeStep) {
    case 0:
      ShootingOutcomeStep = 1;
      break;
    case 1: {
      int32_t up[2] = {};
      for (int32_t p = 1; p <= 4; ++p)
        if (InPlay(p)) ++up[ShootingSide(p)];
      if (up[0] != up[1]) {
        int32_t winner = up[0] > up[1] ? 0 : 1;
        for (int32_t p = 1; p <= 4; ++p)
          if (ShootingSide(p) == winner) AwardParticipant(p, kWinnerCoins);
      }
      ShootingOutcomeStep = 2;
      break;
    }
    case 2:
      ShootingOutcomeStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}
