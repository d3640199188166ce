// Minigame 7, air ride.
#include "game/minigames/air_ride.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "game/minigames/air_ride_course.h"
#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32_window.h"

int32_t AirRideStep = 0;
int32_t AirRidePlayStep = 0;
int32_t AirRideOutcomeStep = 0;
std::vector<int32_t> AirRideGrid;
int32_t AirRideGridWidth = 1, AirRideGridHeight = 1, AirRideCellCount = 1;
float AirRideZoom = 1.0f;
AirRideViewRect AirRideView = {0.0f, 0.0f, 640.0f, 480.0f, 320.0f, 240.0f};
int32_t AirRideTimer = 0;
int32_t AirRideRiderPictures[6] = {};
int32_t AirRideArrow = 0;

int32_t& AirRideInput(int32_t p) { return ParticipantTable[p].ints[0]; }
float& AirRideHeading(int32_t p) { return ParticipantTable[p].words[0].f; }
float& AirRideSpeed(int32_t p) { return ParticipantTable[p].words[1].f; }
float& AirRideWinding(int32_t p) { return ParticipantTable[p].reals[2]; }
float& AirRideLastAngle(int32_t p) { return ParticipantTable[p].reals[3]; }

int32_t AirRideProgress(int32_t p) {
  return static_cast<int32_t>(std::fabs(AirRideWinding(p)) * 180.0f / static_cast<float>(M_PI));
}

namespace {

constexpr char kGridFile[] = "media\\mini\\airride\\airridetest";
constexpr float kPi = static_cast<float>(M_PI);
constexpr float kTurn = kPi / 64.0f;
constexpr float kThrust = 0.075f;
constexpr float kCoast = 0.0375f;
constexpr float kStandstill = 0.225f;
constexpr float kGrassBrake = -0.15f;
constexpr float kGrassSpeed = 2.0f;
constexpr float kTopSpeed = 4.0f, kBackSpeed = -2.0f;
constexpr float kMinZoom = 0.5f, kMaxZoom = 1.2f;
constexpr int32_t kWinnerCoins = 10;
constexpr float kCentreX = 320.0f, kCentreY = 240.0f;

const MinigameMedia kAirRideMedia[] = {
    MinigamePicture("media\\mini\\airride\\タヴィシャ.png", &AirRideRiderPictures[0]),
    MinigamePicture("media\\mini\\airride\\ベルノーラ.png", &AirRideRiderPictures[1]),
    MinigamePicture("media\\mini\\airride\\クェンドリ.png", &AirRideRiderPictures[2]),
    MinigamePicture("media\\mini\\airride\\ファリッセ.png", &AirRideRiderPictures[3]),
    MinigamePicture("media\\mini\\airride\\オドウィナ.png", &AirRideRiderPictures[4]),
    MinigamePicture("media\\mini\\airride\\ジュレール.png", &AirRideRiderPictures[5]),
    MinigamePicture("media\\mini\\airride\\矢印.png", &AirRideArrow),
};

int LoadAirRide() {
  if (LoadAirRideGrid() < 0) return -1;
  return LoadMinigameMedia(kAirRideMedia);
}
void FreeAirRide() { FreeMinigameMedia(kAirRideMedia); }

float AngleAroundCentre(int32_t p) {
  return std::atan2(ParticipantTable[p].y - kCentreY, ParticipantTable[p].x - kCentreX);
}

void SetUpAirRide() {
  const float startY[5] = {0.0f, 150.0f, 200.0f, 250.0f, 300.0f};
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.x = 100.0f;
    r.y = startY[p];
    r.reals[0] = r.reals[1] = 0.0f;
    AirRideHeading(p) = p % 2 == 1 ? kPi : 0.0f;
    AirRideSpeed(p) = 0.0f;
    AirRideInput(p) = 0;
    CpuWorkTable[p].counter = 0;
  }
  // The k-th start cell places rider k; a start cell past the fourth is
  // plain track.
  int32_t k = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(AirRideGrid.size()); ++i) {
    if (AirRideGrid[i] != kAirRideStart) continue;
    AirRideGrid[i] = kAirRideTrack;
    if (++k > 4) continue;
    ParticipantTable[k].x = static_cast<float>(i % AirRideGridWidth * 10 + 5);
    ParticipantTable[k].y = static_cast<float>(i / AirRideGridWidth * 10 + 5);
  }
  for (int32_t p = 1; p <= 4; ++p) {
    AirRideWinding(p) = 0.0f;
    AirRideLastAngle(p) = AngleAroundCentre(p);
  }
  AirRidePlayStep = 0;
  AirRideOutcomeStep = 0;
  AirRideTimer = 0;
  UpdateAirRideCamera();
}

constexpr MinigameSteps kAirRide = {
    .step = &AirRideStep,
    .numbering = &kMinigameStepsA,
    .load = LoadAirRide,
    .setUp = SetUpAirRide,
    .draw = DrawAirRide,
    .play = AirRidePlay,
    .outcome = AirRideOutcome,
    .unload = FreeAirRide,
};

int NextFileByte(void* file) { return std::fgetc(static_cast<FILE*>(file)); }

// ---------------------------------------------------------------- the shove

float PositionX(int32_t p) { return ParticipantTable[p].x; }
float PositionY(int32_t p) { return ParticipantTable[p].y; }
float SpeedX(int32_t p) { return ParticipantTable[p].reals[0]; }
float SpeedY(int32_t p) { return ParticipantTable[p].reals[1]; }

// A coordinate made whole for the shove's comparison.
int32_t Whole(float v) { return static_cast<int32_t>(v > 0.0f ? v + 0.05f : v - 0.05f); }

// Moves p along one axis (0 x, 1 y); the first rider its box then hits is
// put 33 pixels beyond it on its own side and returned.
int32_t MoveOnAxis(int32_t p, int axis) {
  ParticipantRecord& r = ParticipantTable[p];
  float zero = 0.0f;
  if (axis == 0) {
    ClipAirRideMoveAtWall(r.x, r.y, &r.reals[0], &zero);
    r.x += r.reals[0];
    r.reals[0] = 0.0f;
  } else {
    ClipAirRideMoveAtWall(r.x, r.y, &zero, &r.reals[1]);
    r.y += r.reals[1];
    r.reals[1] = 0.0f;
  }
  const RectRecord box = {r.x - 16.0f, r.y - 15.0f, r.x + 16.0f, r.y + 15.0f};
  for (int32_t q = 1; q <= 4; ++q) {
    if (q == p) continue;
    ParticipantRecord& o = ParticipantTable[q];
    if (!HitRectRect(box, {o.x - 15.0f, o.y - 15.0f, o.x + 15.0f, o.y + 15.0f})) continue;
    float& mine = axis == 0 ? r.x : r.y;
    float& theirs = axis == 0 ? o.x : o.y;
    // Equal coordinates shove the higher number up the axis.
    int32_t side = ShoveSide(static_cast<float>(Whole(mine)), static_cast<float>(Whole(theirs)), p, q);
    theirs = mine + 33.0f * static_cast<float>(side);
    o.reals[axis] += 0.0001f * static_cast<float>(side);
    return q;
  }
  return 0;
}

int32_t MoveX(int32_t p) { return MoveOnAxis(p, 0); }
int32_t MoveY(int32_t p) { return MoveOnAxis(p, 1); }

// Winds each rider's angle round the course's centre on by this frame's move.
void CountLaps() {
  for (int32_t p = 1; p <= 4; ++p) {
    float angle = AngleAroundCentre(p);
    float delta = angle - AirRideLastAngle(p);
    if (delta > kPi) delta -= 2.0f * kPi;
    if (delta < -kPi) delta += 2.0f * kPi;
    AirRideWinding(p) += delta;
    AirRideLastAngle(p) = angle;
  }
}

bool AnyRiderHome() {
  for (int32_t p = 1; p <= 4; ++p)
    if (std::fabs(AirRideWinding(p)) >= 2.0f * kPi * static_cast<float>(kAirRideLaps)) return true;
  return false;
}

// A course point on the screen.
int32_t ScreenX(float x) { return static_cast<int32_t>((x - AirRideView.centreX) * AirRideZoom + AirRideView.centreX); }
int32_t ScreenY(float y) { return static_cast<int32_t>((y - AirRideView.centreY) * AirRideZoom + AirRideView.centreY); }

}  // namespace

int AirRideMain() { return RunMinigameSteps(kAirRide); }

int32_t LoadAirRideGrid() {
  char path[64];
  std::snprintf(path, sizeof path, "%s.mdt", kGridFile);
  // The course is read from the folder tree with the C library, never from
  // an archive.
  FILE* file = std::fopen(MapPathToHost(path).c_str(), "r");
  if (file == nullptr) {
    WriteErrorLogFormat("%s を開けません", path);
    MessageBoxA(nullptr, "多分存在しないかも", "err", 0);
    return -1;
  }
  AirRideCourse course;
  int32_t read = ReadAirRideCourse(NextFileByte, file, &course);
  std::fclose(file);
  if (read < 0) {
    WriteErrorLogFormat("%s: %d x %d のコースは読めません (64 x 48 のみ)", path, course.width, course.height);
    MessageBoxA(nullptr, "多分存在しないかも", "err", 0);
    return -1;
  }
  AirRideGrid = std::move(course.cells);
  AirRideGridWidth = course.width;
  AirRideGridHeight = course.height;
  AirRideCellCount = course.width * course.height;
  return 1;
}

int32_t GetAirRideCell(float x, float y) {
  // Both truncate toward zero, so the strip just left of (or above) the
  // grid reads column (or row) 0.
  if (!(x > -10.0f && x < 640.0f && y > -10.0f && y < 480.0f)) return 0;
  int32_t column = static_cast<int32_t>(x) / 10, row = static_cast<int32_t>(y) / 10;
  if (column < 0 || column >= kAirRideColumns || row < 0 || row >= kAirRideRows) return 0;
  size_t i = static_cast<size_t>(row * kAirRideColumns + column);
  return i < AirRideGrid.size() ? AirRideGrid[i] : 0;
}

int32_t ClipAirRideMoveAtWall(float x, float y, float* vx, float* vy) {
  if (GetAirRideCell(x + *vx, y + *vy) != kAirRideWall) return 0;
  if (*vy != 0.0f) {
    const int32_t c = static_cast<int32_t>(y + *vy) / 10;
    if (*vy > 0.0f) {
      *vy = static_cast<float>(c * 10) - y - 1.0f;
      return 3;
    }
    *vy = static_cast<float>((c + 1) * 10) - y + 1.0f;
    return 4;
  }
  const int32_t c = static_cast<int32_t>(x + *vx) / 10;
  if (*vx > 0.0f) {
    *vx = static_cast<float>(c * 10) - x - 1.0f;
    return 1;
  }
  if (*vx < 0.0f) {
    *vx = static_cast<float>((c + 1) * 10) - x + 1.0f;
    return 2;
  }
  return 0;
}

void UpdateAirRideCamera() {
  AirRideViewRect& v = AirRideView;
  v.centreX = kCentreX;
  v.centreY = kCentreY;
  const float halfW = 640.0f / AirRideZoom / 2.0f, halfH = 480.0f / AirRideZoom / 2.0f;
  v.left = v.centreX - halfW;
  v.right = v.centreX + halfW;
  v.top = v.centreY - halfH;
  v.bottom = v.centreY + halfH;
  int32_t far = 1;
  float farthest = -1.0f;
  for (int32_t p = 1; p <= 4; ++p) {
    float d = GetDistanceSquared(ParticipantTable[p].x, ParticipantTable[p].y, v.centreX, v.centreY);
    if (d > farthest) {
      farthest = d;
      far = p;
    }
  }
  const float x = ParticipantTable[far].x, y = ParticipantTable[far].y;
  const float w = v.right - v.left, h = v.bottom - v.top;
  auto inside = [&](float mx, float my) {
    return x > v.left + mx && x < v.right - mx && y > v.top + my && y < v.bottom - my;
  };
  if (inside(w / 4.0f, h / 4.0f)) {
    v.left += 4.0f;
    v.right -= 4.0f;
    v.top += 3.0f;
    v.bottom -= 3.0f;
  } else if (!inside(w / 10.0f, h / 10.0f)) {
    v.left -= 4.0f;
    v.right += 4.0f;
    v.top -= 3.0f;
    v.bottom += 3.0f;
  }
  float zoom = 640.0f / (v.right - v.left);
  if (zoom < kMinZoom) zoom = kMinZoom;
  if (zoom > kMaxZoom) zoom = kMaxZoom;
  AirRideZoom = zoom;
}

void DrawAirRide() {
  FillRectangleShape(0, 0, 640, 480, MakeScreenColor(185, 125, 0));
  const uint32_t track = MakeScreenColor(128, 128, 128), grass = MakeScreenColor(0, 128, 0),
                 decoration = MakeScreenColor(170, 100, 0);
  for (int32_t row = 0; row < kAirRideRows; ++row)
    for (int32_t column = 0; column < kAirRideColumns; ++column) {
      size_t i = static_cast<size_t>(row * kAirRideColumns + column);
      int32_t value = i < AirRideGrid.size() ? AirRideGrid[i] : 0;
      uint32_t colour = value == kAirRideTrack ? track : value == kAirRideGrass ? grass : value == kAirRideDecoration ? decoration : 0;
      if (colour == 0) continue;
      const float x = static_cast<float>(column * 10), y = static_cast<float>(row * 10);
      FillRectangleShape(ScreenX(x), ScreenY(y), ScreenX(x + 10.0f), ScreenY(y + 10.0f), colour);
    }
  const double scale = (AirRideZoom - 1.0) / 3.0 + 0.5;
  for (int32_t p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    const int32_t x = ScreenX(r.x), y = ScreenY(r.y);
    DrawGraphRotatedAbout(x, y, 16, 56, scale, AirRideHeading(p) + M_PI / 2.0, AirRideArrow, 1, 0);
    const int32_t character = r.character >= 0 && r.character < 6 ? r.character : 0;
    DrawGraphRotated(x, y, scale, AirRideHeading(p) - M_PI / 2.0, AirRideRiderPictures[character], 1, 0);
  }
  if (AirRidePlayStep == 2 && AirRideTimer > 0) DrawNumber(AirRideTimer / 60 + 1, 320, 100, 1.0);
}

void CastAirRideRays(int32_t p, int32_t lengths[19]) {
  const ParticipantRecord& r = ParticipantTable[p];
  for (int32_t i = 0; i < 19; ++i) {
    const float angle = AirRideHeading(p) - kPi / 4.0f + static_cast<float>(i) * kPi / 36.0f;
    const float dx = std::cos(angle), dy = std::sin(angle);
    float x = r.x, y = r.y;
    for (int32_t step = 0; step < 100; ++step) {
      if (GetAirRideCell(x + dx, y + dy) != kAirRideTrack) break;
      x += dx;
      y += dy;
    }
    lengths[i] = static_cast<int32_t>(std::sqrt((x - r.x) * (x - r.x) + (y - r.y) * (y - r.y)));
  }
}

int32_t ChooseAirRideInput(const int32_t lengths[19]) {
  int32_t left = 0, right = 0;
  for (int32_t i = 0; i <= 8; ++i) left += lengths[i];
  for (int32_t i = 9; i <= 17; ++i) right += lengths[i];
  const int32_t first = right < left ? 0 : 10, last = right < left ? 10 : 18;
  int32_t chosen = 19, best = 3;
  for (int32_t i = first; i <= last; ++i)
    if (lengths[i] > best) {
      best = lengths[i];
      chosen = i;
    }
  if (chosen <= 3) return 4;
  if (chosen <= 8) return 7;
  if (chosen == 9) return 8;
  if (chosen <= 13) return 9;
  if (chosen <= 18) return 6;
  return 9;
}

void AirRideCpu(int32_t p) {
  // Riders of other CPU levels give no input and stand still.
  if (ParticipantTable[p].cpuLevel != 1) return;
  if (++CpuWorkTable[p].counter <= GetRandomNumber(45)) return;
  CpuWorkTable[p].counter = 0;
  int32_t lengths[19];
  CastAirRideRays(p, lengths);
  AirRideInput(p) = ChooseAirRideInput(lengths);
}

void MoveAirRideRiders() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    const int32_t d = AirRideInput(p);
    float& speed = AirRideSpeed(p);
    if (d == 1 || d == 4 || d == 7) AirRideHeading(p) -= kTurn;
    if (d == 3 || d == 6 || d == 9) AirRideHeading(p) += kTurn;
    float a = 0.0f;
    if (d >= 7 && d <= 9) {
      a = kThrust;
    } else if (d >= 1 && d <= 3) {
      a = -kThrust;
    } else if (d >= 4 && d <= 6) {
      // Without thrust the rider slows to a stop and then rocks about it.
      if (speed > -kStandstill && speed < kStandstill) speed = 0.0f;
      a = speed <= 0.0f ? kCoast : -kCoast;
    }
    if (GetAirRideCell(r.x, r.y) == kAirRideGrass && speed > kGrassSpeed) a = kGrassBrake;
    speed += a;
    if (speed < kBackSpeed) speed = kBackSpeed;
    if (speed > kTopSpeed) speed = kTopSpeed;
    r.reals[0] = std::cos(AirRideHeading(p)) * speed;
    r.reals[1] = std::sin(AirRideHeading(p)) * speed;
    float zero = 0.0f;
    ClipAirRideMoveAtWall(r.x, r.y, &r.reals[0], &zero);
    zero = 0.0f;
    ClipAirRideMoveAtWall(r.x, r.y, &zero, &r.reals[1]);
  }
  SeparateAirRideRiders();
}

void SeparateAirRideRiders() {
  static constexpr PushChain kAlongX = {
      .position = PositionX, .speed = SpeedX, .move = MoveX,
      .firstLow = -1.0e9f, .firstHigh = 1.0e9f, .low = -64.0f, .high = 640.0f,
  };
  static constexpr PushChain kAlongY = {
      .position = PositionY, .speed = SpeedY, .move = MoveY,
      .firstLow = -1.0e9f, .firstHigh = 1.0e9f, .low = -64.0f, .high = 640.0f,
  };
  RunPushChain(kAlongX);
  RunPushChain(kAlongY);
}

int AirRidePlay() {
  switch (AirRidePlayStep) {
    case 0:
      DrawAirRide();
      UpdateAirRideCamera();
      AirRidePlayStep = 1;
      break;
    case 1:
      AirRideTimer = kAirRidePlayFrames;
      DrawAirRide();
      UpdateAirRideCamera();
      AirRidePlayStep = 2;
      break;
    case 2:
      for (int32_t p = 1; p <= 4; ++p) {
        if (IsHumanParticipant(p))
          AirRideInput(p) = GetPadDirection(p);
        else
          AirRideCpu(p);
      }
      MoveAirRideRiders();
      CountLaps();
      if (AirRideTimer > 0) --AirRideTimer;
      DrawAirRide();
      UpdateAirRideCamera();
      // The race ends when a rider has come three times round, or when the
      // time is up.
      if (AirRideTimer == 0 || AnyRiderHome()) AirRidePlayStep = 3;
      break;
    case 3:
      DrawAirRide();
      AirRidePlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

int AirRideOutcome() {
  DrawAirRide();
  switch (AirRideOutcomeStep) {
    case 0:
      AirRideOutcomeStep = 1;
      break;
    case 1: {
      // The riders who came farthest round win; nobody does when nobody
      // moved round at all.
      int32_t best = 0;
      for (int32_t p = 1; p <= 4; ++p)
        if (AirRideProgress(p) > best) best = AirRideProgress(p);
      if (best > 0)
        for (int32_t p = 1; p <= 4; ++p)
          if (AirRideProgress(p) == best) AwardParticipant(p, kWinnerCoins);
      AirRideOutcomeStep = 2;
      break;
    }
    case 2:
      AirRideOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}
