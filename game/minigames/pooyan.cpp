// Minigame 16, balloon climb. Its pictures are loaded at start-up with the
// stage images; the game loads and frees nothing.
#include "game/minigames/pooyan.h"

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t PooyanStep = 0;
int32_t PooyanPlayStep = 0;
int32_t PooyanOutcomeStep = 0;
PooyanObject PooyanPellets[kPooyanPellets] = {};
PooyanObject PooyanBalloons[kPooyanBalloons] = {};
int32_t PooyanLeakTimers[5] = {};
int32_t PooyanBoostTimers[5] = {};
int32_t PooyanCountdown = 0;
int32_t PooyanPullCounter = 0;
int32_t PooyanPushCounter = 0;

uint8_t& PooyanRideOf(int32_t p) { return ParticipantTable[p].bytes[0]; }
int32_t& PooyanLevel(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& PooyanShotTimer(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& PooyanWinningTeam() { return ParticipantTable[0].team; }

namespace {

constexpr float kLiftSpeed = 4.0f;
constexpr float kWalkSpeed = 4.0f;
constexpr float kRisePerLevel = -0.05f;
constexpr float kBoostFactor = 1.8f;
constexpr int32_t kBoostFrames = 30;
constexpr int32_t kBoostCost = 5;
constexpr int32_t kLeakFrames = 60;
constexpr int32_t kShotDelay = 10;
constexpr float kPelletSpeed = -6.0f;
constexpr float kFallSpeed = 3.0f;
constexpr float kHitRadius = 12.0f;
constexpr int32_t kWinnerCoins = 10;
constexpr int32_t kPopSound = 9;

bool IsLone(int32_t p) { return ParticipantTable[p].team == 1; }
bool IsChallenger(int32_t p) { return ParticipantTable[p].team == 2; }

void PlayPop() { PlaySoundHandle(SoundEffectHandles[kPopSound], 1, 1); }

void Draw() {
  PooyanDrawScene();
  PooyanDrawObjects();
}

void SetUp() {
  int32_t k = 0;
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.reals[0] = 0.0f;
    r.reals[1] = 0.0f;
    PooyanRideOf(p) = kPooyanGround;
    PooyanLevel(p) = 0;
    PooyanShotTimer(p) = 0;
    if (IsLone(p)) {
      r.x = 550.0f;
      r.y = 100.0f;
    } else if (IsChallenger(p)) {
      r.x = 240.0f + 50.0f * static_cast<float>(k++);
      r.y = kPooyanGroundY;
    } else {
      r.x = -100.0f;
      r.y = -100.0f;
    }
  }
  for (PooyanObject& o : PooyanPellets) o = {};
  for (PooyanObject& o : PooyanBalloons) o = {};
  PooyanWinningTeam() = 0;
}

// The leak of a pumping balloon: one level every 61 frames.
void Leak(int32_t p) {
  if (PooyanLeakTimers[p] == kLeakFrames) {
    PooyanLeakTimers[p] = 0;
    if (PooyanLevel(p) > 0) --PooyanLevel(p);
  } else {
    ++PooyanLeakTimers[p];
  }
}

void StartFall(int32_t p) {
  PooyanRideOf(p) = kPooyanFalling;
  PooyanLevel(p) = 0;
}

// A flying challenger's rise this frame, with a running boost.
void Fly(int32_t p, bool sound) {
  ParticipantRecord& r = ParticipantTable[p];
  r.reals[1] = static_cast<float>(PooyanLevel(p)) * kRisePerLevel;
  int32_t& boost = PooyanBoostTimers[p];
  if (boost <= 0) return;
  r.reals[1] *= kBoostFactor;
  if (--boost > 0) return;
  PooyanLevel(p) -= kBoostCost;
  if (PooyanLevel(p) < 1) {
    StartFall(p);
    if (sound) PlayPop();
  }
}

void Fall(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  r.reals[1] = kFallSpeed;
  if (r.y >= kPooyanGroundY) {
    PooyanRideOf(p) = kPooyanGround;
    r.reals[0] = 0.0f;
    r.reals[1] = 0.0f;
    PooyanBoostTimers[p] = 0;
    r.y = kPooyanGroundY;
  }
}

void HumanInput(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  if (IsLone(p)) {
    r.reals[1] = 0.0f;
    if (IsParticipantButtonHeld(p, kButtonUp)) r.reals[1] -= kLiftSpeed;
    if (IsParticipantButtonHeld(p, kButtonDown)) r.reals[1] += kLiftSpeed;
    if (IsNewParticipantPress(p, kButtonA)) PooyanLevel(p) = 1;
    return;
  }
  if (!IsChallenger(p)) return;
  switch (PooyanRideOf(p)) {
    case kPooyanGround:
      r.reals[0] = 0.0f;
      r.reals[1] = 0.0f;
      if (IsParticipantButtonHeld(p, kButtonLeft)) r.reals[0] = -kWalkSpeed;
      if (IsParticipantButtonHeld(p, kButtonRight)) r.reals[0] = kWalkSpeed;
      if (IsNewParticipantPress(p, kButtonA)) {
        r.reals[0] = 0.0f;
        PooyanRideOf(p) = kPooyanPumping;
      }
      break;
    case kPooyanPumping: {
      // Every latch is read each frame, so that no press is left pending.
      bool up = IsNewParticipantPress(p, kButtonUp);
      bool down = IsNewParticipantPress(p, kButtonDown);
      bool pump = IsNewParticipantPress(p, kButtonA);
      if (up && PooyanLevel(p) > 0) {
        PooyanRideOf(p) = kPooyanFlying;
      } else if (down) {
        PooyanLevel(p) = 0;
        PooyanRideOf(p) = kPooyanGround;
      } else if (pump && PooyanLevel(p) < kPooyanMaxLevel) {
        ++PooyanLevel(p);
      }
      Leak(p);
      break;
    }
    case kPooyanFlying: {
      bool boost = IsNewParticipantPress(p, kButtonB);
      if (boost && PooyanBoostTimers[p] <= 0) PooyanBoostTimers[p] = kBoostFrames;
      Fly(p, true);
      break;
    }
    case kPooyanFalling:
      Fall(p);
      break;
  }
}

void Shoot(int32_t p) {
  if (PooyanLevel(p) == 0) return;
  if (++PooyanShotTimer(p) < kShotDelay) return;
  const ParticipantRecord& r = ParticipantTable[p];
  // A full set of pellets makes no pellet; the request is used up all the same.
  if (PooyanObject* pellet = FirstFreeRecord(PooyanPellets, &PooyanObject::active))
    *pellet = {1, r.x, r.y, kPelletSpeed, 0.0f};
  PooyanLevel(p) = 0;
  PooyanShotTimer(p) = 0;
}

void Move(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  r.x += r.reals[0];
  r.y += r.reals[1];
  if (IsLone(p)) {
    if (r.y < 112.0f) r.y = 112.0f;
    if (r.y > 374.0f) r.y = 374.0f;
  } else if (IsChallenger(p)) {
    if (r.x < 128.0f) r.x = 128.0f;
    if (r.x > 409.0f) r.x = 409.0f;
  }
}

void StrayBalloons() {
  if (GetRandomNumber(150) == 1) {
    if (PooyanObject* b = FirstFreeRecord(PooyanBalloons, &PooyanObject::active)) {
      static constexpr float kStarts[3] = {200.0f, 300.0f, 400.0f};
      *b = {1, kStarts[GetRandomNumber(2)], kPooyanGroundY, 0.0f, -0.5f};
    }
  }
  for (PooyanObject& b : PooyanBalloons) {
    if (b.active == 0) continue;
    if (b.y < 0.0f) {
      b.active = 0;
      continue;
    }
    b.x += b.speedX;
    b.y += b.speedY;
  }
}

void PelletHits() {
  for (PooyanObject& pellet : PooyanPellets) {
    if (pellet.active == 0) continue;
    SegmentRecord path = {pellet.x, pellet.y, pellet.x + pellet.speedX, pellet.y + pellet.speedY};
    bool used = false;
    for (PooyanObject& b : PooyanBalloons) {
      if (b.active == 0 || !HitSegmentCircle(path, {b.x, b.y - 2.0f, kHitRadius})) continue;
      b.active = 0;
      pellet.active = 0;
      PlayPop();
      used = true;
      break;
    }
    if (used) continue;
    for (int32_t p = 1; p <= 4; ++p) {
      const ParticipantRecord& r = ParticipantTable[p];
      if (!IsChallenger(p) || PooyanRideOf(p) != kPooyanFlying) continue;
      if (!HitSegmentCircle(path, {r.x, r.y, kHitRadius})) continue;
      StartFall(p);
      pellet.active = 0;
      PlayPop();
      break;
    }
  }
}

void MovePellets() {
  for (PooyanObject& pellet : PooyanPellets) {
    if (pellet.active == 0) continue;
    if (pellet.x < 0.0f) {
      pellet.active = 0;
      continue;
    }
    pellet.x += pellet.speedX;
    pellet.y += pellet.speedY;
  }
}

void PlayFrame() {
  PooyanDrawScene();
  for (int32_t p = 1; p <= 4; ++p) {
    if (IsHumanParticipant(p))
      HumanInput(p);
    else
      PooyanCpu(p);
  }
  for (int32_t p = 1; p <= 4; ++p)
    if (IsLone(p)) Shoot(p);
  for (int32_t p = 1; p <= 4; ++p) Move(p);
  StrayBalloons();
  PelletHits();
  MovePellets();
  PooyanDrawObjects();
  for (int32_t p = 1; p <= 4; ++p) {
    if (IsChallenger(p) && ParticipantTable[p].y <= kPooyanTopY) {
      PooyanWinningTeam() = 2;
      PooyanPlayStep = 3;
    }
  }
  if (PooyanCountdown != 0) {
    DrawNumber(PooyanCountdown / 60 + 1, 320, 160, 1.0);
    --PooyanCountdown;
  } else {
    // The time-out wins for the lone participant, also over a challenger
    // at the top in the same frame.
    PooyanWinningTeam() = 1;
    PooyanPlayStep = 3;
  }
}

void CpuLone(int32_t p) {
  ParticipantRecord& me = ParticipantTable[p];
  int32_t target = 0;
  for (int32_t q = 1; q <= 4; ++q) {
    if (!IsChallenger(q) || ParticipantTable[q].y >= 480.0f) continue;
    if (target == 0 || ParticipantTable[q].y < ParticipantTable[target].y) target = q;
  }
  int32_t& delay = CpuWorkTable[p].counter;
  if (delay == 0) {
    me.reals[1] = 0.0f;
    if (target != 0) {
      const ParticipantRecord& t = ParticipantTable[target];
      int32_t lead = static_cast<int32_t>((me.x - t.x) * (static_cast<float>(PooyanLevel(target)) * 0.05f / 6.0f));
      float aim = t.y - 34.0f + 4.0f - static_cast<float>(lead);
      if (me.y > aim)
        me.reals[1] = -kLiftSpeed;
      else if (me.y < t.y - 112.0f)
        me.reals[1] = kLiftSpeed;
    }
    delay = 2;
  } else {
    --delay;
  }
  if (GetRandomNumber(30) == 0) PooyanLevel(p) = 1;
}

void CpuFly(int32_t p) {
  ParticipantRecord& me = ParticipantTable[p];
  me.reals[1] = static_cast<float>(PooyanLevel(p)) * kRisePerLevel;
  if (PooyanBoostTimers[p] <= 0) {
    for (const PooyanObject& pellet : PooyanPellets) {
      if (pellet.active == 0 || pellet.x - me.x <= 0.0f) continue;
      float d = pellet.x - me.x;
      if (d >= static_cast<float>(GetRandomNumber(150) + 100)) continue;
      float expected = me.y - static_cast<float>(PooyanLevel(p)) * 0.05f * (d / 6.0f) - 34.0f;
      if (pellet.y > expected - 6.0f && pellet.y < expected + 6.0f) {
        PooyanBoostTimers[p] = kBoostFrames;
        break;
      }
    }
  }
  Fly(p, false);
}

void CpuChallenger(int32_t p) {
  ParticipantRecord& me = ParticipantTable[p];
  CpuWorkRecord& work = CpuWorkTable[p];
  switch (PooyanRideOf(p)) {
    case kPooyanGround:
      me.reals[0] = 0.0f;
      me.reals[1] = 0.0f;
      if (me.x <= 128.0f) work.value3 = 1;
      if (me.x >= 409.0f) work.value3 = 0;
      me.reals[0] = work.value3 == 1 ? kWalkSpeed : -kWalkSpeed;
      if (GetRandomNumber(100) < 2) {
        PooyanRideOf(p) = kPooyanPumping;
        me.reals[0] = 0.0f;
      }
      break;
    case kPooyanPumping:
      if (++work.value1 % 10 == 0 && PooyanLevel(p) < kPooyanMaxLevel) ++PooyanLevel(p);
      Leak(p);
      if (PooyanLevel(p) > 14 && GetRandomNumber(1) == 1) PooyanRideOf(p) = kPooyanFlying;
      break;
    case kPooyanFlying:
      CpuFly(p);
      break;
    case kPooyanFalling:
      Fall(p);
      break;
  }
}

}  // namespace

void PooyanCpu(int32_t p) {
  if (ParticipantTable[p].cpuLevel != 1) return;  // the other levels do nothing
  if (IsLone(p))
    CpuLone(p);
  else if (IsChallenger(p))
    CpuChallenger(p);
}

int PooyanPlay() {
  switch (PooyanPlayStep) {
    case 0:
      for (int32_t p = 1; p <= 4; ++p) {
        PooyanLeakTimers[p] = 0;
        PooyanBoostTimers[p] = 0;
      }
      Draw();
      PooyanPlayStep = 1;
      return 0;
    case 1:
      PooyanCountdown = kPooyanPlayFrames;
      Draw();
      PooyanPlayStep = 2;
      return 0;
    case 2:
      PlayFrame();
      return 0;
    case 3:
      Draw();
      PooyanPlayStep = 9;
      return 0;
    default:
      PooyanPlayStep = 0;
      Draw();
      return 1;
  }
}

int PooyanOutcome() {
  Draw();
  switch (PooyanOutcomeStep) {
    case 0:
      PooyanOutcomeStep = 1;
      return 0;
    case 1:
      for (int32_t p = 1; p <= 4; ++p)
        if (ParticipantTable[p].team == PooyanWinningTeam()) AwardParticipant(p, kWinnerCoins);
      PooyanOutcomeStep = 2;
      return 0;
    default:
      PooyanOutcomeStep = 1;
      return 1;
  }
}

void PooyanDrawScene() {
  DrawRectangleShape(0, 0, 640, 480, MakeScreenColor(72, 130, 255), 1);
  DrawGraphAt(0, 0, PooyanMapPicture, 1);
}

void PooyanDrawObjects() {
  PooyanPullCounter = (PooyanPullCounter + 1) % 20;
  PooyanPushCounter = (PooyanPushCounter + 1) % 60;
  uint32_t white = MakeScreenColor(255, 255, 255);
  float liftSpeed = 0.0f;
  for (int32_t p = 1; p <= 4; ++p)
    if (IsLone(p)) liftSpeed = ParticipantTable[p].reals[1];
  int32_t pull = 0;
  if (liftSpeed != 0.0f) {
    bool first = PooyanPullCounter < 10;
    pull = (liftSpeed < 0.0f) == first ? 1 : 2;
  }
  DrawGraphMirrored(600, 80, PooyanPullPictures[pull], 1);
  bool pushFirst = PooyanPushCounter < 30;
  for (int32_t i = 0; i < 5; ++i) DrawGraphAt(300 + 26 * i, 32, PooyanPushPictures[pushFirst ? 1 : 2], 1);
  if (pushFirst)
    DrawGraphAt(455, 42, PooyanRockPictures[0], 1);
  else
    DrawGraphRotatedAbout(458, 42, 0, 0, 1.0, 0.26, PooyanRockPictures[1], 1, 0);
  for (int32_t p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    int32_t x = static_cast<int32_t>(r.x), y = static_cast<int32_t>(r.y);
    if (IsLone(p)) {
      DrawGraphRotated(x, y, 1.0, 0.0, ParticipantPicture(p, 9), 1, 1);
      DrawLineShape(x, 73, x, y - 16, white, 1);
      DrawLineShape(558, 70, 573, 85, white, 1);
      DrawLineShape(576, 87, 640, 87, white, 1);
      continue;
    }
    if (!IsChallenger(p)) continue;
    uint8_t ride = PooyanRideOf(p);
    if (ride == kPooyanGround && r.reals[0] != 0.0f)
      DrawGraphRotated(x, y, 1.0, 0.0, ParticipantPicture(p, 9), 1, r.reals[0] < 0.0f ? 1 : 0);
    else
      DrawGraphRotated(x, y, 1.0, 0.0, ParticipantPicture(p, 1), 1, 0);
    if (ride == kPooyanPumping || ride == kPooyanFlying) {
      int32_t level = PooyanLevel(p);
      int32_t cell = level < 5 ? 0 : level < 10 ? 1 : level < 15 ? 2 : 3;
      DrawGraphRotated(x, y - (ride == kPooyanPumping ? 28 : 32), 1.0, 0.0, BalloonPumpPictures[cell], 1, 0);
    }
  }
  for (const PooyanObject& b : PooyanBalloons)
    if (b.active != 0)
      DrawGraphRotated(static_cast<int32_t>(b.x), static_cast<int32_t>(b.y), 1.0, 0.0,
                       BalloonFlyPictures[(GetMillisecondCount(0) / 500) % 2], 1, 0);
  for (const PooyanObject& pellet : PooyanPellets)
    if (pellet.active != 0) DrawCircleShape(static_cast<int32_t>(pellet.x), static_cast<int32_t>(pellet.y), 3, white, 1);
}

namespace {
// No media of its own: steps 0 and 1 do nothing.
constexpr MinigameNumbering kNumbering = {{kStepNothing, kStepNothing, kStepSetUp, kStepStartBanner, kStepPlay,
                                           kStepFinishBanner, kStepOutcome, kStepWinners, kStepUnused, kStepFadeOut,
                                           kStepUnload, kStepUnused}};
constexpr MinigameSteps kSteps = {
    .step = &PooyanStep,
    .numbering = &kNumbering,
    .setUp = SetUp,
    .draw = Draw,
    .play = PooyanPlay,
    .outcome = PooyanOutcome,
    .restartStep = 2,
};
}  // namespace

int PooyanMain() { return RunMinigameSteps(kSteps); }
