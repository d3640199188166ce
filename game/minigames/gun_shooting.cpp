// Minigame 17, gun sight.
#include "game/minigames/gun_shooting.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t GunShootingStep = 0;
int32_t GunShootingPlayStep = 0;
int32_t GunShootingOutcomeStep = 0;
int32_t GunShootingCountdown = 0;
int32_t GunShootingEmblemTurn = 0;
int32_t GunSightPicture = 0, GunTilePicture = 0, GunPlainMarkPicture = 0, GunEmblemPicture = 0, GunRingPicture = 0,
        GunBombPicture = 0;
GunProjectile* GunProjectileTable = nullptr;
int32_t* GunRoomGrid = nullptr;

int32_t& GunShotsPending(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& GunShotCounter(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& GunJumpRequest(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& GunBombState(int32_t p) { return ParticipantTable[p].ints[2]; }
int32_t& GunDropThrough(int32_t p) { return ParticipantTable[p].ints[2]; }
int32_t& GunRunnerUp(int32_t p) { return ParticipantTable[p].ints[3]; }
float& GunRunnerFallSpeed(int32_t p) { return ParticipantTable[p].words[0].f; }
bool IsGunSight(int32_t p) { return ParticipantTable[p].team == 1; }

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int32_t kPlayFrames = 2700;
constexpr int32_t kWinnerCoins = 10;
constexpr float kSightSpeed = 5.0f;
constexpr float kRunSpeed = 3.0f;
constexpr float kJumpSpeed = -13.0f;
constexpr float kGravity = 0.7f;
constexpr float kHalfSize = 16.0f;
constexpr float kRunnerRadius = 15.0f;
constexpr int32_t kShotDelay = 6;
constexpr int32_t kShotAim = 45, kBombAim = 270;
constexpr int32_t kShotBurstStep = 3, kShotReach = 40;
constexpr int32_t kBombBurstStep = 10, kBombReach = 200;
constexpr int32_t kBurstFrames = 29;
constexpr int32_t kJumpSound = 17, kFireSound = 24, kBurstSound = 25;

bool RunnerUp(int32_t p) { return !IsGunSight(p) && GunRunnerUp(p) != 0; }

const MinigameMedia kGunMedia[] = {
    MinigamePicture("media\\mini\\gunshooting\\ガンシュー.png", &GunSightPicture),
    MinigamePicture("media\\mini\\gunshooting\\足場.png", &GunTilePicture),
    MinigamePicture("media\\mini\\gunshooting\\マークなし.png", &GunPlainMarkPicture),
    MinigamePicture("media\\mini\\gunshooting\\マークver3.png", &GunEmblemPicture),
    MinigamePicture("media\\mini\\gunshooting\\空_001.png", &GunRingPicture),
    MinigamePicture("media\\mini\\gunshooting\\金ヒュドネ.png", &GunBombPicture),
};

void FreeTables() {
  std::free(GunProjectileTable);
  std::free(GunRoomGrid);
  GunProjectileTable = nullptr;
  GunRoomGrid = nullptr;
}

// The two tables, then the six pictures; a failure frees both tables too.
int LoadGunShooting() {
  FreeTables();
  GunProjectileTable = static_cast<GunProjectile*>(std::calloc(kGunProjectiles, sizeof(GunProjectile)));
  GunRoomGrid = static_cast<int32_t*>(std::calloc(kGunRoomColumns * kGunRoomRows, sizeof(int32_t)));
  if (GunProjectileTable == nullptr || GunRoomGrid == nullptr) {
    WriteErrorLogFormat("ガンシューの表を確保できませんでした");
    FreeTables();
    return -1;
  }
  if (LoadMinigameMedia(kGunMedia) < 0) {
    FreeTables();
    return -1;
  }
  return 1;
}

void FreeGunShooting() {
  FreeMinigameMedia(kGunMedia);
  FreeTables();
}

void SetUpGunShooting() {
  GunShootingFillRoom();
  for (int32_t i = 0; i < kGunProjectiles; ++i) GunProjectileTable[i] = {};
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    GunShotsPending(p) = GunShotCounter(p) = GunBombState(p) = 0;
    GunRunnerUp(p) = 1;
    r.bytes[0] = 1;
    r.bytes[1] = 0;
    GunRunnerFallSpeed(p) = 0.0f;
    r.reals[0] = r.reals[1] = 0.0f;
    // Where play starts them, so that the START banner shows them.
    r.x = 320.0f;
    r.y = 240.0f;
  }
  GunShootingEmblemTurn = 0;
  GunShootingCountdown = kPlayFrames;
}

void DrawScene() {
  GunShootingDrawRoom();
  GunShootingDrawActors();
}

float Distance(float x1, float y1, float x2, float y2) { return std::sqrt(GetDistanceSquared(x1, y1, x2, y2)); }

// The first free projectile slot, or null.
GunProjectile* FreeProjectile() {
  for (int32_t i = 0; i < kGunProjectiles; ++i)
    if (GunProjectileTable[i].phase == 0) return &GunProjectileTable[i];
  return nullptr;
}

void Controls(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  if (IsGunSight(p)) {
    r.reals[0] = r.reals[1] = 0.0f;
    if (IsParticipantButtonHeld(p, kButtonUp)) r.reals[1] -= kSightSpeed;
    if (IsParticipantButtonHeld(p, kButtonDown)) r.reals[1] += kSightSpeed;
    if (IsParticipantButtonHeld(p, kButtonLeft)) r.reals[0] -= kSightSpeed;
    if (IsParticipantButtonHeld(p, kButtonRight)) r.reals[0] += kSightSpeed;
    if (IsNewParticipantPress(p, kButtonA)) GunShotsPending(p) = 1;
    if (IsNewParticipantPress(p, kButtonB) && FreeProjectile() != nullptr && GunBombState(p) == 0) GunBombState(p) = 1;
    return;
  }
  if (GunRunnerUp(p) == 0) return;
  r.reals[0] = 0.0f;
  if (IsParticipantButtonHeld(p, kButtonRight)) r.reals[0] += kRunSpeed;
  if (IsParticipantButtonHeld(p, kButtonLeft)) r.reals[0] -= kRunSpeed;
  bool a = IsParticipantButtonHeld(p, kButtonA);
  GunJumpRequest(p) = a && IsParticipantButtonHeld(p, kButtonDown) ? 2 : a ? 1 : 0;
}

void Move(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  if (IsGunSight(p)) {
    if (std::sqrt(r.reals[0] * r.reals[0] + r.reals[1] * r.reals[1]) > kSightSpeed + 0.00001f) {
      Vector2f v = ScaleVector(kSightSpeed / std::sqrt(r.reals[0] * r.reals[0] + r.reals[1] * r.reals[1]), r.reals[0],
                               r.reals[1]);
      r.reals[0] = v.x;
      r.reals[1] = v.y;
    }
    if (r.x + r.reals[0] < 32.0f || r.x + r.reals[0] > 608.0f) r.reals[0] = 0.0f;
    if (r.y + r.reals[1] < 32.0f || r.y + r.reals[1] > 448.0f) r.reals[1] = 0.0f;
    r.x += r.reals[0];
    r.y += r.reals[1];
    return;
  }
  float& fall = GunRunnerFallSpeed(p);
  if (GunJumpRequest(p) == 0) {
    if (fall < 0.0f) fall = 0.0f;
    if (r.bytes[0] == 0) r.bytes[1] = 1;
  } else if (GunJumpRequest(p) == 1 && r.bytes[1] != 0) {
    fall = kJumpSpeed;
    r.bytes[1] = 0;
    PlaySoundHandle(SoundEffectHandles[kJumpSound], 1, 1);
  } else if (GunJumpRequest(p) == 2 && r.bytes[1] != 0) {
    r.bytes[1] = 0;
    GunDropThrough(p) = 1;
  }
  fall += kGravity;
  r.reals[1] = fall;
  GunRunnerMove(p);
}

// A projectile of the kind at the sight's point, into the first free slot.
bool Launch(int32_t p, int32_t kind) {
  GunProjectile* slot = FreeProjectile();
  if (slot == nullptr) return false;
  *slot = {1, kind, ParticipantTable[p].x, ParticipantTable[p].y, 0, 0};
  PlaySoundHandle(SoundEffectHandles[kFireSound], 1, 1);
  return true;
}

void PlayFrame() {
  DrawScene();
  for (int32_t p = 1; p <= 4; ++p) {
    if (IsHumanParticipant(p))
      Controls(p);
    else
      GunShootingCpu(p);
  }
  for (int32_t p = 1; p <= 4; ++p) Move(p);
  for (int32_t p = 1; p <= 4; ++p)
    if (IsGunSight(p) && GunBombState(p) == 1 && Launch(p, 2)) GunBombState(p) = 2;
  for (int32_t p = 1; p <= 4; ++p) {
    if (!IsGunSight(p) || GunShotsPending(p) <= 0 || ++GunShotCounter(p) < kShotDelay) continue;
    Launch(p, 1);
    --GunShotsPending(p);
    GunShotCounter(p) = 0;
  }
  GunShootingProjectiles();
  bool anyUp = false;
  for (int32_t p = 1; p <= 4; ++p) anyUp = anyUp || RunnerUp(p);
  if (!anyUp || GunShootingCountdown <= 0) {
    GunShootingPlayStep = 3;
    return;
  }
  --GunShootingCountdown;
  DrawNumber(GunShootingCountdown / 60 + 1, 320, 50, 1.0);
}

// ---------------------------------------------------------------- the CPU

// The sight: follows the nearest runner that is up, fires when on it or by
// chance, and throws the bomb over the middle of the room.
void SightCpu(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  CpuWorkRecord& work = CpuWorkTable[p];
  int32_t target = 0;
  float best = 0.0f;
  for (int32_t q = 1; q <= 4; ++q) {
    if (q == p || !RunnerUp(q)) continue;
    float d = GetDistanceSquared(r.x, r.y, ParticipantTable[q].x, ParticipantTable[q].y);
    if (target == 0 || d < best) {
      target = q;
      best = d;
    }
  }
  if (target == 0) return;
  const ParticipantRecord& t = ParticipantTable[target];
  if (work.value1 < 1) {
    r.reals[0] = r.reals[1] = 0.0f;
    if (t.reals[0] > 0.0f || t.reals[0] < 0.0f) {
      float vx = t.reals[0] > 0.0f ? kSightSpeed : -kSightSpeed;
      r.reals[0] = r.x + vx < 0.0f || r.x + vx > 640.0f ? 0.0f : vx;
      work.value1 = GetRandomNumber(12) + 8;
    } else if (Distance(r.x, r.y, t.x, t.y) > 64.0f) {
      if (std::fabs(t.x - r.x) > 16.0f) r.reals[0] = t.x > r.x ? kSightSpeed : -kSightSpeed;
      work.value1 = GetRandomNumber(6) + 2;
    }
    if (r.y < t.y - 16.0f || r.y > t.y + 16.0f) {
      float vy = r.y < t.y - 16.0f ? kSightSpeed : -kSightSpeed;
      r.reals[1] = r.y + vy < 0.0f || r.y + vy > 480.0f ? 0.0f : vy;
      work.value1 = GetRandomNumber(12) + 3;
    }
  } else {
    --work.value1;
  }
  if (++work.counter >= 31 && (Distance(r.x, r.y, t.x, t.y) <= 16.0f || GetRandomNumber(15) == 0)) {
    GunShotsPending(p) = 1;
    work.counter = 0;
  }
  if (GunBombState(p) == 0 && r.x > 170.0f && r.x < 470.0f && r.y > 140.0f && r.y < 340.0f) GunBombState(p) = 1;
}

float AwayFrom(float from, float x) {
  if (x > from) return kRunSpeed;
  if (x < from) return -kRunSpeed;
  return GetRandomNumber(1) == 0 ? kRunSpeed : -kRunSpeed;
}

// A runner: dodges the aiming projectiles near it (jumping when they close
// in from both sides or a wall is near), else keeps away from the sight,
// and now and then jumps or drops on its own.
void RunnerCpu(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  CpuWorkRecord& work = CpuWorkTable[p];
  const GunProjectile* threat = nullptr;
  float threatDistance = 4095.0f, threatReach = 0.0f;
  bool left = false, right = false;
  for (int32_t i = 0; i < kGunProjectiles; ++i) {
    const GunProjectile& s = GunProjectileTable[i];
    if (s.phase != 1) continue;
    float reach = s.kind == 2 ? kBombReach : kShotReach;
    float d = Distance(r.x, r.y, s.x, s.y);
    bool bombClose = s.kind == 2 && d < static_cast<float>(GetRandomNumber(64) + 200);
    if (!bombClose && d > reach + 16.0f) continue;
    threat = &s;
    threatDistance = d;
    threatReach = reach;
    (s.x < r.x ? left : right) = true;
    if (bombClose) break;
  }
  if (work.value2 == 0) {
    float margin = static_cast<float>(GetRandomNumber(8) + 8);
    if (threat == nullptr || threatDistance >= margin + threatReach) {
      int32_t sight = GetFirstTeamOneParticipant();
      if (work.counter < 1) {
        if (sight != 0 && Distance(r.x, r.y, ParticipantTable[sight].x, ParticipantTable[sight].y) < 80.0f) {
          r.reals[0] = AwayFrom(ParticipantTable[sight].x, r.x);
          work.counter = GetRandomNumber(20) + 40;
        } else {
          r.reals[0] = 0.0f;
        }
      } else {
        --work.counter;
      }
    } else {
      r.reals[0] = AwayFrom(threat->x, r.x);
      work.value2 = GetRandomNumber(15) + 15;
      if (r.x < 100.0f || r.x > 540.0f) {
        work.value2 = GetRandomNumber(25) + 50;
        GunJumpRequest(p) = GetRandomNumber(1) + 1;
        work.value1 = 60;
        r.reals[0] = r.x < 100.0f ? kRunSpeed : -kRunSpeed;
      }
      if (left && right) {
        r.reals[0] = 0.0f;
        GunJumpRequest(p) = r.y > 368.0f ? 1 : r.y <= 176.0f ? 2 : GetRandomNumber(1) + 1;
        work.value1 = 60;
      }
    }
  } else {
    --work.value2;
  }
  // A request is held for 15 frames at least and ends when its 60 have run
  // out; a runner without one sometimes starts one.
  if (work.value1 > 45) {
    --work.value1;
  } else {
    if (work.value1 > 0 && --work.value1 == 0) GunJumpRequest(p) = 0;
    if (GetRandomNumber(50) == 0) {
      GunJumpRequest(p) = GetRandomNumber(2);
      work.value1 = 60;
    }
  }
}

constexpr MinigameSteps kGunShooting = {
    .step = &GunShootingStep,
    .numbering = &kMinigameStepsA,
    .load = LoadGunShooting,
    .setUp = SetUpGunShooting,
    .draw = DrawScene,
    .play = GunShootingPlay,
    .outcome = GunShootingOutcome,
    .unload = FreeGunShooting,
};

}  // namespace

int GunShootingMain() { return RunMinigameSteps(kGunShooting); }

void GunShootingFillRoom() {
  for (int32_t i = 0; i < kGunRoomColumns * kGunRoomRows; ++i) GunRoomGrid[i] = kGunEmpty;
  for (int32_t first : {439, 679, 919})
    for (int32_t i = first; i <= first + 40; ++i) GunRoomGrid[i] = kGunLedge;
  for (int32_t i = 0; i <= 40; ++i) GunRoomGrid[i] = kGunSolid;
  for (int32_t i = 1159; i < kGunRoomColumns * kGunRoomRows; ++i) GunRoomGrid[i] = kGunSolid;
  for (int32_t row = 0; row < kGunRoomRows; ++row) {
    GunRoomGrid[row * kGunRoomColumns] = kGunSolid;
    GunRoomGrid[row * kGunRoomColumns + kGunRoomColumns - 1] = kGunSolid;
  }
}

void GunShootingDrawRoom() {
  DrawGraphRotated(320, 240, 1.0, GunShootingEmblemTurn * 2.0 * kPi / 256.0, GunEmblemPicture, 0, 0);
  GunShootingEmblemTurn = GunShootingEmblemTurn >= 256 ? 0 : GunShootingEmblemTurn + 1;
  if (GunRoomGrid == nullptr) return;
  for (int32_t row = 0; row < kGunRoomRows; ++row)
    for (int32_t column = 0; column < kGunRoomColumns; ++column) {
      int32_t cell = GunRoomGrid[row * kGunRoomColumns + column];
      int32_t x = 8 + 16 * column, y = 8 + 16 * row;
      if (cell == kGunSolid) DrawGraphRotated(x, y, 1.0, kPi / 2, GunTilePicture, 1, 0);
      if (cell == kGunSolid || cell == kGunLedge) DrawGraphRotated(x, y, 1.0, 0.0, GunTilePicture, 1, 0);
    }
}

void GunShootingDrawActors() {
  for (int32_t p = 1; p <= 4; ++p)
    if (RunnerUp(p))
      DrawGraphRotated(static_cast<int32_t>(ParticipantTable[p].x), static_cast<int32_t>(ParticipantTable[p].y), 1.0,
                       0.0, ParticipantPicture(p, 1), 1, 0);
  for (int32_t p = 1; p <= 4; ++p)
    if (IsGunSight(p))
      DrawGraphRotated(static_cast<int32_t>(ParticipantTable[p].x), static_cast<int32_t>(ParticipantTable[p].y), 1.0,
                       0.0, GunSightPicture, 1, 0);
}

int GunShootingPlay() {
  switch (GunShootingPlayStep) {
    case 0:
      DrawScene();
      for (int32_t p = 1; p <= 4; ++p) {
        GunShotsPending(p) = 0;
        ParticipantTable[p].x = 320.0f;
        ParticipantTable[p].y = 240.0f;
      }
      GunShootingCountdown = kPlayFrames;
      GunShootingPlayStep = 1;
      break;
    case 1:
      DrawScene();
      GunShootingPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 3:
      DrawScene();
      GunShootingPlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

void GunShootingCpu(int32_t p) {
  if (ParticipantTable[p].cpuLevel != 1) return;  // other levels give no input
  if (IsGunSight(p))
    SightCpu(p);
  else if (RunnerUp(p))
    RunnerCpu(p);
}

void GunShootingProjectiles() {
  uint32_t orange = MakeScreenColor(255, 100, 0);
  for (int32_t i = 0; i < kGunProjectiles; ++i) {
    GunProjectile& s = GunProjectileTable[i];
    if (s.phase == 0) continue;
    ++s.counter;
    int32_t x = static_cast<int32_t>(s.x), y = static_cast<int32_t>(s.y);
    double angle = s.counter * kPi / 16.0 - kPi / 2.0;
    if (s.phase == 1 && s.kind == 1) {
      SetDrawBlend(1, s.alpha);
      DrawGraphRotated(x, y, (46.0 - s.counter) / 45.0, angle, GunRingPicture, 1, 0);
      SetDrawBlend(0, 255);
      if (s.counter < kShotAim) s.alpha = s.alpha + 15 > 255 ? 255 : s.alpha + 15;
      if (s.counter >= kShotAim) {
        s.phase = 2;
        s.counter = 0;
        PlaySoundHandle(SoundEffectHandles[kBurstSound], 1, 1);
      }
      continue;
    }
    if (s.phase == 1) {
      double scale = (271.0 - s.counter) / 270.0;
      DrawGraphRotated(x, y, scale, angle, GunRingPicture, 1, 0);
      s.alpha = static_cast<int32_t>(s.counter * 255.0 / 270.0 + 40.0);
      if (s.alpha > 255) s.alpha = 255;
      SetDrawBlend(1, s.alpha);
      DrawGraphRotated(x, y, scale, angle, GunBombPicture, 1, 0);
      SetDrawBlend(0, 255);
      if (s.counter >= kBombAim) {
        s.phase = 2;
        s.counter = 0;
        PlaySoundHandle(SoundEffectHandles[kBurstSound], 1, 1);
      }
      continue;
    }
    // The burst grows to its reach; every runner it meets goes down.
    int32_t radius = s.kind == 2 ? std::min(kBombBurstStep * s.counter, kBombReach)
                                 : std::min(kShotBurstStep * s.counter, kShotReach);
    for (int32_t p = 1; p <= 4; ++p)
      if (RunnerUp(p) && HitCircleCircle(ParticipantTable[p].x, ParticipantTable[p].y, kRunnerRadius, s.x, s.y, radius))
        GunRunnerUp(p) = 0;
    // Translucent, so that the runners caught in it still show.
    SetDrawBlend(1, 180);
    DrawCircleShape(x, y, radius, orange, 1);
    SetDrawBlend(0, 255);
    if (s.counter > kBurstFrames) {
      if (s.kind == 2)
        for (int32_t p = 1; p <= 4; ++p)
          if (IsGunSight(p)) GunBombState(p) = 0;
      s = {};
    }
  }
}

int32_t GunRoomCellAt(float x, float y) {
  if (!(x >= 0.0f && y >= 0.0f)) return kGunEmpty;  // NaN and negative points are outside
  int32_t column = static_cast<int32_t>(x / 16.0f), row = static_cast<int32_t>(y / 16.0f);
  if (column >= kGunRoomColumns || row >= kGunRoomRows || GunRoomGrid == nullptr) return kGunEmpty;
  return GunRoomGrid[row * kGunRoomColumns + column];
}

int32_t GunRoomClipVelocity(float px, float py, float& vx, float& vy) {
  float x = px + vx, y = py + vy;
  int32_t cell = GunRoomCellAt(x, y);
  if (cell == kGunEmpty) return 0;
  float column = static_cast<float>(static_cast<int32_t>(x / 16.0f));
  float row = static_cast<float>(static_cast<int32_t>(y / 16.0f));
  if (vy > 0.0f) {
    vy = 16.0f * row - py - 1.0f;
    return 3;
  }
  if (cell == kGunLedge) {
    if (vy < 0.0f || vx == 0.0f) return 4;
    return vx > 0.0f ? 1 : 2;
  }
  if (vy < 0.0f) {
    vy = 16.0f * (row + 1.0f) - py + 1.0f;
    return 4;
  }
  if (vx > 0.0f) {
    vx = 16.0f * column - px - 1.0f;
    return 1;
  }
  if (vx < 0.0f) {
    vx = 16.0f * (column + 1.0f) - px + 1.0f;
    return 2;
  }
  return 4;
}

void GunRunnerMove(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  float& step = r.reals[1];
  // Dropping through a ledge: once both lower corners are about to enter
  // ledge cells (flag 1), the ledge is not landed on until the corners have
  // left it (flag 2 meanwhile), however many frames the fall through its 16
  // pixels takes. A request that lands on a floor instead is spent.
  int32_t below[2] = {GunRoomCellAt(r.x - kHalfSize, r.y + kHalfSize + step),
                      GunRoomCellAt(r.x + kHalfSize, r.y + kHalfSize + step)};
  int32_t& drop = GunDropThrough(p);
  if (drop == 1 && below[0] == kGunLedge && below[1] == kGunLedge) drop = 2;
  if (drop == 2 && below[0] != kGunLedge && below[1] != kGunLedge) drop = 0;
  if (drop != 2) {
    float none = 0.0f;
    int32_t left = GunRoomClipVelocity(r.x - kHalfSize, r.y + kHalfSize, none, step);
    int32_t right = GunRoomClipVelocity(r.x + kHalfSize, r.y + kHalfSize, none, step);
    if (left == 3 || right == 3) {
      GunRunnerFallSpeed(p) = 0.0f;
      drop = 0;
    }
  }
  r.y += step;
  float rounded = std::trunc(r.y + 0.5f);
  if (std::fabs(r.y - rounded) < 0.001f) r.y = rounded;
  float none = 0.0f;
  for (float dx : {-kHalfSize, kHalfSize})
    for (float dy : {kHalfSize, -kHalfSize}) GunRoomClipVelocity(r.x + dx, r.y + dy, r.reals[0], none);
  r.x += r.reals[0];
  bool emptyBelow = GunRoomCellAt(r.x - kHalfSize, r.y + kHalfSize + 1.0f) == kGunEmpty &&
                    GunRoomCellAt(r.x + kHalfSize, r.y + kHalfSize + 1.0f) == kGunEmpty;
  r.bytes[0] = emptyBelow || std::fabs(GunRunnerFallSpeed(p)) > 0.00001f ? 1 : 0;
}

int GunShootingOutcome() {
  DrawScene();
  switch (GunShootingOutcomeStep) {
    case 0:
      GunShootingOutcomeStep = 1;
      break;
    case 1: {
      bool anyUp = false;
      for (int32_t p = 1; p <= 4; ++p) anyUp = anyUp || RunnerUp(p);
      for (int32_t p = 1; p <= 4; ++p)
        if (IsGunSight(p) != anyUp) AwardParticipant(p, kWinnerCoins);
      GunShootingOutcomeStep = 2;
      break;
    }
    case 2:
      GunShootingOutcomeStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}
