// Minigame 2, river crossing.
#include "game/minigames/river.h"

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t RiverStep = 0;
int32_t RiverIntroStep = 0;
int32_t RiverPlayStep = 0;
int32_t RiverOutcomeStep = 0;
RiverCourseTable RiverCourse = {};
int32_t RiverCourseLoaded = 0;
int32_t RiverCourseOrder[kRiverOrderEntries] = {};
int32_t RiverRows[5][3] = {};
RiverRescueRecord RiverRescues[5] = {};
int32_t RiverGoalPicture = 0;
int32_t RiverSunsetPicture = 0;
int32_t RiverMountainPicture = 0;
int32_t RiverBackCloudPicture = 0;
int32_t RiverFrontCloudPicture = 0;
float RiverCloudOffset = 0.0f;

uint8_t& RiverMotion(int32_t p) { return ParticipantTable[p].phase; }
float& RiverHorizontalSpeed(int32_t p) { return ParticipantTable[p].reals[0]; }
float& RiverMovedVerticalSpeed(int32_t p) { return ParticipantTable[p].reals[1]; }
float& RiverCamera(int32_t p) { return ParticipantTable[p].reals[2]; }
int32_t& RiverPiece(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& RiverPowerFrame(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& RiverGround(int32_t p) { return ParticipantTable[p].ints[2]; }
int32_t& RiverWindUpCounter(int32_t p) { return ParticipantTable[p].ints[3]; }
uint8_t& RiverPowerPhase(int32_t p) { return ParticipantTable[p].bytes[0]; }
float& RiverVerticalSpeed(int32_t p) { return ParticipantTable[p].words[0].f; }
float& RiverPower(int32_t p) { return ParticipantTable[p].words[1].f; }

namespace {

constexpr int32_t kWinnerCoins = 10;
constexpr int32_t kJumpSound = 17;
constexpr float kWindUpRise = -3.5f;
constexpr float kWaterSink = 0.05f;
constexpr float kPowerStep = 0.3f;
constexpr float kPowerTop = 6.0f;
constexpr float kPowerBottom = 0.5f;
constexpr float kCpuJumpPower = 4.0f;
constexpr int32_t kCpuJumpChance = 11;
// Lanes 1..4 (index 0 unused): the band each is drawn in.
constexpr int32_t kLaneTop[5] = {0, 0, 115, 250, 365};
constexpr int32_t kLaneHeight = 115;
// A rescue is over once its rescuer has flown 40 pixels above its lane.
constexpr float kRescueGone = 40.0f;
// The participant colours of the lane numbers.
constexpr int32_t kLaneColours[5][3] = {{0, 0, 0}, {230, 50, 50}, {50, 90, 230}, {240, 200, 30}, {50, 180, 70}};

const MinigameMedia kRiverMedia[] = {
    MinigamePicture("media\\mini\\river\\川渡り_goal.png", &RiverGoalPicture),
    MinigamePicture("media\\mini\\river\\夕日.png", &RiverSunsetPicture),
    MinigamePicture("media\\mini\\river\\山.png", &RiverMountainPicture),
    MinigamePicture("media\\mini\\river\\背面雲.png", &RiverBackCloudPicture),
    MinigamePicture("media\\mini\\river\\前面雲.png", &RiverFrontCloudPicture),
};

const RiverStone* CurrentStones(int32_t p) { return RiverCourse.stones[RiverRows[p][1]]; }

// A screen coordinate from a position (held to a range any drawing takes).
int32_t ScreenAt(float v) {
  if (!(v > -100000.0f)) return -100000;
  if (v > 100000.0f) return 100000;
  return static_cast<int32_t>(v);
}

// The vertical speed changes and the body moves by it from now on.
void AddVerticalSpeed(int32_t p, float dv) {
  RiverVerticalSpeed(p) += dv;
  RiverMovedVerticalSpeed(p) = RiverVerticalSpeed(p);
}

int LoadRiver() {
  if (LoadRiverCourse() == -1) return -1;
  return LoadMinigameMedia(kRiverMedia);
}

void FreeRiver() { FreeMinigameMedia(kRiverMedia); }

void SetUpRiver() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.x = kRiverStartX;
    r.y = kRiverLaneGround[p];
    for (float& real : r.reals) real = 0.0f;
    RiverMotion(p) = kRiverStanding;
    RiverPiece(p) = 0;
    RiverPowerFrame(p) = 0;
    RiverGround(p) = static_cast<int32_t>(r.y);
    RiverWindUpCounter(p) = -1;
    RiverPowerPhase(p) = 0;
    RiverVerticalSpeed(p) = 0.0f;
    RiverPower(p) = 0.0f;
    RiverRows[p][0] = 0;
    RiverRows[p][1] = 0;
    RiverRows[p][2] = 1;
  }
  for (RiverRescueRecord& rescue : RiverRescues) rescue = {0, 0.0f, 0.0f, 0, 1};
  // Piece 0 is row 0 and piece 1 row 1 (the rows above); each piece entered
  // takes the order's entry of its own index as the row after it, so pieces
  // 2 to 8 are entries 1 to 7, and entry 8 only becomes the next row in the
  // frame that passes the goal.
  RiverCourseOrder[0] = 0;
  for (int32_t i = 1; i < kRiverOrderEntries; ++i) RiverCourseOrder[i] = GetRandomNumber(kRiverRowsDrawn - 1);
  RiverIntroStep = 0;
  RiverPlayStep = 0;
  RiverOutcomeStep = 0;
}

void DrawAll() {
  RiverDrawScene();
  RiverDrawLanes();
  RiverDrawRescues();
}

// The jump power runs one step every second frame between its bottom and top.
void MovePower(int32_t p) {
  float& power = RiverPower(p);
  if (RiverPowerFrame(p)++ % 2 == 0) power += RiverPowerPhase(p) == 0 ? kPowerStep : -kPowerStep;
  if (RiverPowerPhase(p) == 0 && power >= kPowerTop)
    RiverPowerPhase(p) = 1;
  else if (RiverPowerPhase(p) == 1 && power <= kPowerBottom)
    RiverPowerPhase(p) = 0;
}

void StartWindUp(int32_t p) {
  RiverVerticalSpeed(p) = kWindUpRise;
  RiverGround(p) = static_cast<int32_t>(ParticipantTable[p].y);
  RiverMotion(p) = kRiverWindingUp;
}

// The states other than standing, for humans and CPUs alike.
void MoveParticipant(int32_t p) {
  switch (RiverMotion(p)) {
    case kRiverWindingUp:
      if (RiverWindUp(p, RiverWindUpCounter(p)) == 1) {
        RiverHorizontalSpeed(p) = RiverPower(p);
        AddVerticalSpeed(p, kRiverGravity);
        RiverMotion(p) = kRiverInTheAir;
        PlaySoundHandle(SoundEffectHandles[kJumpSound], 1, 1);
      }
      break;
    case kRiverInTheAir:
      RiverHorizontalSpeed(p) = RiverPower(p);
      AddVerticalSpeed(p, kRiverGravity);
      break;
    case kRiverInTheWater: {
      AddVerticalSpeed(p, kWaterSink);
      RiverRescueRecord& rescue = RiverRescues[p];
      rescue.active = 1;
      if (rescue.phase == 2 && rescue.counter > 19) RiverMotion(p) = kRiverInTheAir;
      break;
    }
    default:
      break;
  }
}

void PlayFrame() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!IsHumanParticipant(p)) {
      RiverCpu(p);
    } else if (RiverMotion(p) == kRiverStanding) {
      if (IsNewParticipantPress(p, kButtonA)) StartWindUp(p);
      MovePower(p);
    } else {
      MoveParticipant(p);
    }
  }
  RiverRescue();
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantTable[p].x += RiverHorizontalSpeed(p);
    ParticipantTable[p].y += RiverMovedVerticalSpeed(p);
  }
  RiverLanding();
  for (int32_t p = 1; p <= 4; ++p)
    if (ParticipantTable[p].x > kRiverGoalX) RiverPlayStep = 3;
  for (int32_t p = 1; p <= 4; ++p) {
    const float x = ParticipantTable[p].x;
    if (x > 100.0f) RiverCamera(p) = x - 100.0f;
    if (x > static_cast<float>((RiverPiece(p) + 1) * kRiverPieceWidth)) {
      ++RiverPiece(p);
      RiverRows[p][0] = RiverRows[p][1];
      RiverRows[p][1] = RiverRows[p][2];
      RiverRows[p][2] = RiverCourseOrder[RiverPiece(p) < kRiverOrderEntries ? RiverPiece(p) : 0];
    }
  }
  DrawAll();
}

// The rescue puts the participant down on the stone behind: phase 2 begins.
void LetGo(int32_t p, RiverRescueRecord& rescue) {
  ParticipantTable[p].y = rescue.y + 100.0f;
  rescue.counter = 0;
  rescue.phase = 2;
}

// Carries the participant back one pixel a frame towards the stone behind,
// and lets go once strictly before that stone's end: a participant let go
// on the end itself (a carry from a whole-pixel x, as after jumps at the
// powers 1.5, 3.0 and 4.5) would come down on the edge, which is no landing,
// and fall straight back in.
void CarryBack(int32_t p, RiverRescueRecord& rescue) {
  const RiverStone* stones = CurrentStones(p);
  const float base = static_cast<float>(RiverPiece(p) * kRiverPieceWidth);
  // The first stone that starts beyond the rescuer; the stone behind it is
  // the one to reach (beyond the last stone's start: the last stone).
  int32_t i = 0;
  while (i < kRiverStonesPerRow && !(static_cast<float>(stones[i].start) + base > rescue.x)) ++i;
  rescue.x -= 1.0f;
  ParticipantTable[p].x = rescue.x;
  if (i == 0) {
    // Before the piece's first stone: back to the previous piece's last stone.
    const RiverStone* previous = RiverCourse.stones[RiverRows[p][0]];
    int32_t last = kRiverStonesPerRow - 1;
    while (last >= 0 && previous[last].end == 0) --last;
    if (RiverPiece(p) == 0 || last < 0) {
      LetGo(p, rescue);  // nothing behind to carry to
      return;
    }
    if (rescue.x < static_cast<float>(previous[last].end + (RiverPiece(p) - 1) * kRiverPieceWidth)) {
      --RiverPiece(p);
      RiverRows[p][2] = RiverRows[p][1];
      RiverRows[p][1] = RiverRows[p][0];
      LetGo(p, rescue);
    }
    return;
  }
  int32_t behind = i - 1;
  if (i == kRiverStonesPerRow)
    while (behind > 0 && stones[behind].end == 0) --behind;
  if (rescue.x < static_cast<float>(stones[behind].end) + base) LetGo(p, rescue);
}

int32_t StandingPicture(float power) {
  if (power <= 1.2) return 29;
  if (power <= 2.4) return 28;
  if (power <= 3.6) return 27;
  if (power <= 4.8) return 26;
  return 25;
}

// A carried participant is drawn in the rescuer's arms.
bool IsCarried(const RiverRescueRecord& rescue) {
  return rescue.active != 0 && ((rescue.phase == 1 && rescue.counter > 40) || (rescue.phase == 2 && rescue.counter < 20));
}

void ClipToLane(int32_t p) { SetDrawClipArea(0, kLaneTop[p], 640, kLaneTop[p] + kLaneHeight); }

constexpr MinigameSteps kRiver = {
    .step = &RiverStep,
    .numbering = &kMinigameStepsB,
    .load = LoadRiver,
    .setUp = SetUpRiver,
    .intro = RiverIntro,
    .draw = DrawAll,
    .play = RiverPlay,
    .outcome = RiverOutcome,
    .unload = FreeRiver,
};

}  // namespace

int RiverMain() { return RunMinigameSteps(kRiver); }

int LoadRiverCourse() {
  if (RiverCourseLoaded != 0) return 1;
  switch (ReadRiverCourse(kRiverCourseFile, &RiverCourse)) {
    case kRiverCourseRead:
      RiverCourseLoaded = 1;
      return 1;
    case kRiverCourseRefused:
      return -1;
    case kRiverCourseMissing:
      break;
  }
  WriteErrorLogFormat("%s が開けません", kRiverCourseFile);
  DrawTextWithDefaultFont(10, 10, kRiverCourseFile, MakeScreenColor(255, 255, 255), 0);
  PresentScreen();
  WaitAnyInputPress();
  ExitGame(-1, kRiverCourseFile);
}

int RiverIntro() {
  RiverDrawScene();
  RiverDrawLanes();
  switch (RiverIntroStep) {
    case 0:
      for (int32_t p = 1; p <= 4; ++p) {
        RiverMotion(p) = kRiverInTheAir;
        RiverPower(p) = kRiverOpeningPower;
        RiverHorizontalSpeed(p) = kRiverOpeningPower;
        RiverVerticalSpeed(p) = kRiverOpeningRise;
        RiverGround(p) = static_cast<int32_t>(ParticipantTable[p].y);
      }
      RiverIntroStep = 2;
      break;
    case 2: {
      for (int32_t p = 1; p <= 4; ++p) {
        if (RiverMotion(p) != kRiverInTheAir) continue;
        RiverHorizontalSpeed(p) = RiverPower(p);
        AddVerticalSpeed(p, kRiverGravity);
      }
      for (int32_t p = 1; p <= 4; ++p) {
        ParticipantTable[p].x += RiverHorizontalSpeed(p);
        ParticipantTable[p].y += RiverMovedVerticalSpeed(p);
      }
      RiverLanding();
      for (int32_t p = 1; p <= 4; ++p)
        if (RiverMotion(p) == kRiverStanding) RiverIntroStep = 3;
      break;
    }
    case 3:
      RiverIntroStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

int RiverPlay() {
  switch (RiverPlayStep) {
    case 0:
      DrawAll();
      RiverPlayStep = 1;
      break;
    case 1:
      DrawAll();
      for (RiverRescueRecord& rescue : RiverRescues) {
        rescue.active = 0;
        rescue.counter = 0;
        rescue.phase = 1;
      }
      RiverPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 3:
      DrawAll();
      RiverPlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

// Every CPU level plays by the same rule: a jump is begun only on a strong
// power, with one chance in eleven a frame.
void RiverCpu(int32_t p) {
  if (RiverMotion(p) != kRiverStanding) {
    MoveParticipant(p);
    return;
  }
  if (RiverPower(p) > kCpuJumpPower && CpuOneChanceIn(kCpuJumpChance)) StartWindUp(p);
  MovePower(p);
}

int RiverWindUp(int32_t p, int32_t& counter) {
  if (counter < 0) {
    const float power = RiverPower(p);
    counter = power <= 1.2 ? 3 : power <= 2.4 ? 7 : power <= 3.6 ? 11 : power <= 4.8 ? 15 : 19;
  }
  return --counter < 0 ? 1 : 0;
}

void RiverLanding() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    if (RiverMotion(p) != kRiverInTheAir || !(r.y >= static_cast<float>(RiverGround(p)))) continue;
    const float rel = r.x - static_cast<float>(RiverPiece(p) * kRiverPieceWidth);
    const RiverStone* stones = CurrentStones(p);
    for (int32_t i = 0; i < kRiverStonesPerRow; ++i) {
      const bool onStone = static_cast<float>(stones[i].start) < rel && rel < static_cast<float>(stones[i].end);
      const bool beforeNext = i < kRiverStonesPerRow - 1 && rel < static_cast<float>(stones[i + 1].start);
      if (!onStone && !beforeNext) continue;
      r.y = static_cast<float>(RiverGround(p));
      RiverHorizontalSpeed(p) = 0.0f;
      RiverPower(p) = 0.0f;
      RiverMovedVerticalSpeed(p) = 0.0f;
      RiverPowerPhase(p) = 0;
      if (onStone) {
        RiverMotion(p) = kRiverStanding;
      } else {
        RiverMotion(p) = kRiverInTheWater;
        RiverVerticalSpeed(p) *= 0.1f;
      }
      break;
    }
  }
}

void RiverRescue() {
  for (int32_t p = 1; p <= 4; ++p) {
    RiverRescueRecord& rescue = RiverRescues[p];
    if (rescue.active == 0) continue;
    if (rescue.phase == 1) {
      if (rescue.counter == 0) {
        rescue.x = ParticipantTable[p].x;
        rescue.y = ParticipantTable[p].y - 100.0f;
        rescue.counter = 1;
      } else if (rescue.counter < 40) {
        ++rescue.counter;
        rescue.y += 2.0f;
      } else if (rescue.counter < 60) {
        ++rescue.counter;
        rescue.y -= 1.0f;
      } else {
        CarryBack(p, rescue);
      }
    } else if (rescue.counter < 20) {
      ++rescue.counter;
      rescue.y += 1.0f;
    } else {
      rescue.y -= 2.2f;
      if (rescue.y < static_cast<float>(kLaneTop[p]) - kRescueGone) {
        rescue.phase = 1;
        rescue.active = 0;
        rescue.counter = 0;
      }
    }
  }
}

int RiverOutcome() {
  DrawAll();
  switch (RiverOutcomeStep) {
    case 0:
      RiverOutcomeStep = 1;
      break;
    case 1:
      for (int32_t p = 1; p <= 4; ++p)
        if (ParticipantTable[p].x > kRiverWinX) AwardParticipant(p, kWinnerCoins);
      RiverOutcomeStep = 2;
      break;
    default:
      RiverOutcomeStep = 0;
      return 1;
  }
  return 0;
}

void RiverDrawScene() {
  for (int32_t p = 1; p <= 4; ++p) {
    const int32_t top = kLaneTop[p], clouds = top + (p >= 3 ? 20 : 0);
    DrawGraphAt(0, top, RiverSunsetPicture, 0);
    DrawGraphAt(0, top, RiverMountainPicture, 1);
    // The back clouds drift at half the front clouds' pace.
    for (int32_t k = 0; k < 2; ++k)
      DrawGraphAt(static_cast<int32_t>(RiverCloudOffset / 2.0f) + 640 * k, clouds, RiverBackCloudPicture, 1);
    for (int32_t k = 0; k < 3; ++k)
      DrawGraphAt(static_cast<int32_t>(RiverCloudOffset) + 640 * k, clouds, RiverFrontCloudPicture, 1);
  }
  RiverCloudOffset -= 0.5f;
  if (RiverCloudOffset <= -1280.0f) RiverCloudOffset = 0.0f;
  for (int32_t p = 1; p <= 4; ++p) {
    const int32_t x = 160 * p - 80;
    DrawCircleShape(x, 240, 9, MakeScreenColor(kLaneColours[p][0], kLaneColours[p][1], kLaneColours[p][2]), 1);
    DrawFormatTextToHandle(x - 4, 232, MakeScreenColor(255, 255, 255), FontHandlesBySize[15], "%d", p);
  }
  for (int32_t p = 1; p <= 4; ++p)
    DrawGraphRotated(ScreenAt(kRiverGoalX - RiverCamera(p)), static_cast<int32_t>(kRiverLaneGround[p]) - 30, 1.0, 0.0,
                     RiverGoalPicture, 1, 0);
}

void RiverDrawLanes() {
  for (int32_t p = 1; p <= 4; ++p) {
    const int32_t top = kLaneTop[p], bottom = top + kLaneHeight;
    const int32_t ground = static_cast<int32_t>(kRiverLaneGround[p]);
    const float camera = RiverCamera(p);
    ClipToLane(p);
    // The water: its surface row translucent over the sky, the rest opaque.
    const int32_t shift = -(ScreenAt(camera) % 32);
    SetDrawBlend(1, 128);
    for (int32_t x = shift; x < 640; x += 32) DrawGraphAt(x, ground + 6, RiverWaterPicture, 0);
    SetDrawBlend(0, 255);
    for (int32_t x = shift; x < 640; x += 32)
      for (int32_t y = ground + 38; y < bottom; y += 32) DrawGraphAt(x, y, RiverWaterPicture, 0);
    // The stones of the previous, current and next pieces.
    for (int32_t k = 0; k < 3; ++k) {
      const int32_t piece = RiverPiece(p) - 1 + k;
      if (piece < 0) continue;
      const int32_t base = ScreenAt(static_cast<float>(piece * kRiverPieceWidth) - camera);
      for (const RiverStone& stone : RiverCourse.stones[RiverRows[p][k]]) {
        if (stone.end <= stone.start) continue;
        const int32_t x1 = base + stone.start, x2 = base + stone.end;
        if (x2 <= 0 || x1 >= 640) continue;
        SetDrawClipArea(x1 < 0 ? 0 : x1, top, x2 > 640 ? 640 : x2, bottom);
        for (int32_t x = x1; x < x2; x += 32)
          for (int32_t y = ground; y < bottom; y += 32) DrawGraphAt(x, y, RiverRockPicture, 0);
        ClipToLane(p);
      }
    }
    // The participant, its feet on its ground line while it stands.
    if (!IsCarried(RiverRescues[p])) {
      int32_t slot = 32;
      switch (RiverMotion(p)) {
        case kRiverStanding:
        case kRiverWindingUp:
          slot = StandingPicture(RiverPower(p));
          break;
        case kRiverInTheAir:
          slot = RiverMovedVerticalSpeed(p) < 0.0f ? 30 : 31;
          break;
        default:
          break;
      }
      const ParticipantRecord& r = ParticipantTable[p];
      DrawGraphAt(ScreenAt(r.x - camera) - 40, ScreenAt(r.y) - 68, ParticipantPicture(p, slot), 1);
    }
  }
  SetDrawClipArea(0, 0, 640, 480);
}

void RiverDrawRescues() {
  for (int32_t p = 1; p <= 4; ++p) {
    const RiverRescueRecord& rescue = RiverRescues[p];
    if (rescue.active == 0) continue;
    ClipToLane(p);
    const float camera = RiverCamera(p);
    DrawGraphAt(ScreenAt(rescue.x - 74.0f - camera), ScreenAt(rescue.y - 40.0f), RiverRescuerPicture, 1);
    if (IsCarried(rescue))
      DrawGraphAt(ScreenAt(rescue.x - 40.0f - camera), ScreenAt(rescue.y), ParticipantPicture(p, 28), 1);
  }
  SetDrawClipArea(0, 0, 640, 480);
}
