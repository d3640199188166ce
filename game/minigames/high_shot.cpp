// Minigame 21, high shooting.
#include "game/minigames/high_shot.h"

#include <cmath>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t HighShotStep = 0;
int32_t HighShotPlayStep = 0;
int32_t HighShotOutcomeStep = 0;
int32_t HighShotTimer = 0;
HighShotBullet HighShotBullets[5][kHighShotBulletsEach] = {};
HighShotCameraRecord HighShotCamera = {};
float HighShotZoom = 1.0f;
int32_t HighShotPicture = 0;

int32_t& HighShotFire(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& HighShotFireCounter(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& HighShotDashOrOpacity(int32_t p) { return ParticipantTable[p].ints[2]; }
uint8_t& HighShotSlow(int32_t p) { return ParticipantTable[p].bytes[0]; }

namespace {

constexpr int32_t kPlayFrames = 5400;
constexpr int32_t kWinnerCoins = 10;
constexpr float kLoneSpeed = 2.0f;
constexpr float kFastSpeed = 3.5f, kSlowSpeed = 2.0f;
constexpr float kSpeedTolerance = 0.00001f;
constexpr float kDashFactor = 5.0f;
constexpr int32_t kOpacityStep = 15;
constexpr int32_t kFireEvery = 6;
constexpr float kShotSpeed = 10.0f;
// The hit circles: a participant's hit point and a shot.
constexpr float kBodyRadius = 5.0f, kShotRadius = 3.0f;
constexpr float kMaxZoom = 1.5f;

const MinigameMedia kHighShotMedia[] = {
    MinigamePicture("media\\mini\\shootingboss\\花シュー2.png", &HighShotPicture),
};

int LoadHighShot() { return LoadMinigameMedia(kHighShotMedia); }
void FreeHighShot() { FreeMinigameMedia(kHighShotMedia); }

bool InPlay(int32_t p) { return ParticipantTable[p].phase != kHighShotHit; }

// The camera's centre on the mean of the four positions, and its view
// around it at the current zoom.
void CentreCamera() {
  HighShotCameraRecord& c = HighShotCamera;
  float sumX = 0.0f, sumY = 0.0f;
  for (int32_t p = 1; p <= 4; ++p) {
    sumX += ParticipantTable[p].x;
    sumY += ParticipantTable[p].y;
  }
  c.centreX = sumX / 4.0f;
  c.centreY = sumY / 4.0f;
  float halfW = 640.0f / HighShotZoom / 2.0f, halfH = 480.0f / HighShotZoom / 2.0f;
  c.left = c.centreX - halfW;
  c.right = c.centreX + halfW;
  c.top = c.centreY - halfH;
  c.bottom = c.centreY + halfH;
}

float ScreenX(float x) { return x * HighShotZoom - HighShotCamera.centreX * HighShotZoom + 320.0f; }
float ScreenY(float y) { return y * HighShotZoom - HighShotCamera.centreY * HighShotZoom + 240.0f; }

void SetUpHighShot() {
  int32_t k = 0;
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    if (r.team == 1) {
      r.x = kHighShotArenaX;
      r.y = kHighShotArenaY;
    } else if (r.team == 2) {
      ++k;
      // 2, 4 and 6 radians around the centre.
      float a = std::trunc(static_cast<float>(k) * 2.0944f);
      r.x = kHighShotArenaX + 160.0f * std::cos(a);
      r.y = kHighShotArenaY + 160.0f * std::sin(a);
    }
    r.phase = 0;
    HighShotDashOrOpacity(p) = 0;
  }
  for (auto& row : HighShotBullets)
    for (HighShotBullet& b : row) b = {};
  // Each game starts unzoomed, the camera on the participants.
  HighShotZoom = 1.0f;
  CentreCamera();
}

void ReadInput(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  float& vx = r.reals[0];
  float& vy = r.reals[1];
  float speed;
  if (r.team == 1) {
    speed = kLoneSpeed;
    if (IsParticipantButtonHeld(p, kButtonA) && HighShotDashOrOpacity(p) == 0) HighShotDashOrOpacity(p) = 1;
  } else if (r.team == 2) {
    HighShotSlow(p) = 0;
    HighShotFire(p) = 0;
    int32_t& opacity = HighShotDashOrOpacity(p);
    if (IsParticipantButtonHeld(p, kButtonB)) {
      opacity = opacity + kOpacityStep > 255 ? 255 : opacity + kOpacityStep;
      HighShotSlow(p) = 1;
    } else {
      opacity = opacity - kOpacityStep < 0 ? 0 : opacity - kOpacityStep;
    }
    speed = HighShotSlow(p) != 0 ? kSlowSpeed : kFastSpeed;
    if (IsParticipantButtonHeld(p, kButtonA)) HighShotFire(p) = 1;
  } else {
    return;
  }
  vx = 0.0f;
  vy = 0.0f;
  if (IsParticipantButtonHeld(p, kButtonUp)) vy = -speed;
  if (IsParticipantButtonHeld(p, kButtonDown)) vy = speed;
  if (IsParticipantButtonHeld(p, kButtonLeft)) vx = -speed;
  if (IsParticipantButtonHeld(p, kButtonRight)) vx = speed;
}

void LimitToLength(float& vx, float& vy, float length) {
  float current = std::sqrt(vx * vx + vy * vy);
  if (current <= length + kSpeedTolerance) return;
  vx = vx / current * length;
  vy = vy / current * length;
}

bool OutsideArena(float x, float y) {
  float dx = x - kHighShotArenaX, dy = y - kHighShotArenaY;
  return dx * dx + dy * dy >= kHighShotArenaRadius * kHighShotArenaRadius;
}

void LimitSpeed(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  float& vx = r.reals[0];
  float& vy = r.reals[1];
  if (r.team == 1) {
    LimitToLength(vx, vy, kLoneSpeed);
    // A dash: 18 frames at five times the speed, then a rest until the
    // counter has passed 29.
    int32_t& dash = HighShotDashOrOpacity(p);
    if (dash != 0) {
      ++dash;
      if (dash < 20) {
        vx *= kDashFactor;
        vy *= kDashFactor;
      }
      if (dash > 29) dash = 0;
    }
  } else if (r.team == 2) {
    LimitToLength(vx, vy, HighShotSlow(p) != 0 ? kSlowSpeed : kFastSpeed);
  } else {
    return;
  }
  if (OutsideArena(r.x + vx, r.y)) vx = 0.0f;
  if (OutsideArena(r.x, r.y + vy)) vy = 0.0f;
}

void Fire(int32_t p) {
  if (ParticipantTable[p].team != 2 || HighShotFire(p) != 1) return;
  int32_t& counter = HighShotFireCounter(p);
  if (++counter < kFireEvery) return;
  counter = 0;
  HighShotBullet* b = FirstFreeRecord(HighShotBullets[p], &HighShotBullet::active);
  if (b == nullptr) return;
  // Aimed at where the lone participant stands now (record 0, off the
  // arena, when there is none).
  const ParticipantRecord& target = ParticipantTable[GetFirstTeamOneParticipant()];
  const ParticipantRecord& r = ParticipantTable[p];
  *b = {};
  b->active = 1;
  b->x = r.x;
  b->y = r.y;
  b->angle = std::atan2(target.y - r.y, target.x - r.x);
  b->speed = kShotSpeed;
  PlaySoundHandle(SoundEffectHandles[24], 1, 1);
}

void DrawHitPoints() {
  uint32_t red = MakeScreenColor(255, 0, 0);
  for (int32_t p = 1; p <= 4; ++p) {
    if (!InPlay(p)) continue;
    const ParticipantRecord& r = ParticipantTable[p];
    SetDrawBlend(1, HighShotDashOrOpacity(p));
    DrawCircleShape(static_cast<int32_t>(ScreenX(r.x)), static_cast<int32_t>(ScreenY(r.y)), 5, red, 1);
  }
  SetDrawBlend(0, 255);
}

void PlayFrame() {
  DrawHighShot();
  for (int32_t p = 1; p <= 4; ++p)
    if (InPlay(p) && IsHumanParticipant(p)) ReadInput(p);
  DrawHitPoints();
  for (int32_t p = 1; p <= 4; ++p) LimitSpeed(p);
  for (int32_t p = 1; p <= 4; ++p) Fire(p);
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantTable[p].x += ParticipantTable[p].reals[0];
    ParticipantTable[p].y += ParticipantTable[p].reals[1];
  }
  UpdateHighShotCamera();
  MoveHighShotBullets();
  HitHighShotTargets();
  --HighShotTimer;
  DrawFormatTextToHandle(310, 0, MakeScreenColor(255, 255, 255), FontHandlesBySize[19], "%d",
                         HighShotTimer / 60 + 1);
  if (HighShotTimer <= 0) HighShotPlayStep = 4;
  // A hit ends play.
  for (int32_t p = 1; p <= 4; ++p)
    if (!InPlay(p)) HighShotPlayStep = 4;
}

constexpr MinigameSteps kHighShot = {
    .step = &HighShotStep,
    .numbering = &kMinigameStepsB,
    .load = LoadHighShot,
    .setUp = SetUpHighShot,
    .draw = DrawHighShot,
    .play = HighShotPlay,
    .outcome = HighShotOutcome,
    .unload = FreeHighShot,
};

}  // namespace

int HighShotMain() { return RunMinigameSteps(kHighShot); }

void DrawHighShot() {
  float zoom = HighShotZoom;
  DrawCircleShape(static_cast<int32_t>(ScreenX(kHighShotArenaX)), static_cast<int32_t>(ScreenY(kHighShotArenaY)),
                  static_cast<int32_t>(kHighShotArenaRadius * zoom), MakeScreenColor(255, 255, 255), 0);
  double scale = (zoom - 1.0) * 0.5 + 1.0;
  for (int32_t p = 1; p <= 4; ++p) {
    if (!InPlay(p)) continue;
    const ParticipantRecord& r = ParticipantTable[p];
    DrawGraphRotated(static_cast<int32_t>(ScreenX(r.x)), static_cast<int32_t>(ScreenY(r.y)), scale, 0.0,
                     ParticipantPicture(p, 8), 1, 0);
  }
  for (int32_t p = 1; p <= 4; ++p) {
    for (const HighShotBullet& b : HighShotBullets[p]) {
      if (b.active == 0) continue;
      DrawGraphRotated(static_cast<int32_t>(ScreenX(b.x)), static_cast<int32_t>(ScreenY(b.y)), 0.3, 0.0, ShotPicture,
                       1, 1);
      // A faint trail along the way it came, 5 arena pixels apart.
      float backX = -std::cos(b.angle) * 5.0f, backY = -std::sin(b.angle) * 5.0f;
      SetDrawBlend(1, 30);
      for (int32_t k = 1; k <= 4; ++k)
        DrawGraphRotated(static_cast<int32_t>(ScreenX(b.x + backX * static_cast<float>(k))),
                         static_cast<int32_t>(ScreenY(b.y + backY * static_cast<float>(k))), 0.3, 0.0, ShotPicture,
                         1, 1);
      SetDrawBlend(0, 255);
    }
  }
}

void MoveHighShotBullets() {
  for (int32_t p = 1; p <= 4; ++p) {
    for (HighShotBullet& b : HighShotBullets[p]) {
      if (b.active == 0) continue;
      b.vx = std::cos(b.angle) * b.speed;
      b.vy = std::sin(b.angle) * b.speed;
      b.x += b.vx;
      b.y += b.vy;
      if (OutsideArena(b.x, b.y)) b.active = 0;
    }
  }
}

void HitHighShotTargets() {
  for (int32_t q = 1; q <= 4; ++q) {
    ParticipantRecord& target = ParticipantTable[q];
    if (target.team != 1 || !InPlay(q)) continue;
    for (int32_t p = 1; p <= 4 && InPlay(q); ++p) {
      for (HighShotBullet& b : HighShotBullets[p]) {
        if (b.active == 0 || !HitCircleCircle(target.x, target.y, kBodyRadius, b.x, b.y, kShotRadius)) continue;
        b.active = 0;
        target.phase = kHighShotHit;
        break;
      }
    }
  }
}

void UpdateHighShotCamera() {
  CentreCamera();
  HighShotCameraRecord& c = HighShotCamera;
  // The participant farthest from the centre (a later one must be strictly farther).
  int32_t far = 1;
  float farthest = -1.0f;
  for (int32_t p = 1; p <= 4; ++p) {
    float d = GetDistanceSquared(c.centreX, c.centreY, ParticipantTable[p].x, ParticipantTable[p].y);
    if (d > farthest) {
      farthest = d;
      far = p;
    }
  }
  float fx = ParticipantTable[far].x, fy = ParticipantTable[far].y;
  float w = c.right - c.left, h = c.bottom - c.top;
  RectRecord inner = {c.left + w / 4.0f, c.top + h / 4.0f, c.right - w / 4.0f, c.bottom - h / 4.0f};
  RectRecord outer = {c.left + w / 8.0f, c.top + h / 8.0f, c.right - w / 8.0f, c.bottom - h / 8.0f};
  float grow = 0.0f;
  if (HitPointRect(inner, fx, fy))
    grow = -1.0f;
  else if (!HitPointRect(outer, fx, fy))
    grow = 1.0f;
  c.left -= 4.0f * grow;
  c.right += 4.0f * grow;
  c.top -= 3.0f * grow;
  c.bottom += 3.0f * grow;
  HighShotZoom = 640.0f / (c.right - c.left);
  if (HighShotZoom > kMaxZoom) HighShotZoom = kMaxZoom;
}

int HighShotPlay() {
  switch (HighShotPlayStep) {
    case 0:
      DrawHighShot();
      HighShotPlayStep = 1;
      break;
    case 1:
      HighShotTimer = kPlayFrames;
      DrawHighShot();
      HighShotPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 4:
      DrawHighShot();
      HighShotPlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

int HighShotOutcome() {
  DrawHighShot();
  switch (HighShotOutcomeStep) {
    case 0:
      HighShotOutcomeStep = 1;
      break;
    case 1: {
      // A hit lone participant gives the game to team 2; one still untouched
      // at the end of time keeps it for team 1 (a hit on team 2 would give
      // it to team 1; the last one in order decides).
      int32_t winner = 1;
      for (int32_t p = 1; p <= 4; ++p) {
        if (InPlay(p)) continue;
        if (ParticipantTable[p].team == 1) winner = 2;
        if (ParticipantTable[p].team == 2) winner = 1;
      }
      AwardTeam(winner, kWinnerCoins);
      HighShotOutcomeStep = 2;
      break;
    }
    case 2:
      HighShotOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}
