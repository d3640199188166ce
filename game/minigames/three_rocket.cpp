// Minigame 18, three-stage rocket.
#include "game/minigames/three_rocket.h"

#include <cmath>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t ThreeRocketStep = 0;
int32_t ThreeRocketPlayStep = 0;
int32_t ThreeRocketOutcomeStep = 0;
ThreeRocketRecord ThreeRocketRockets[3] = {};
ThreeRocketStar ThreeRocketStars[kThreeRocketStars] = {};
int32_t ThreeRocketBlueStar = 0;
int32_t ThreeRocketRedStar = 0;
int32_t ThreeRocketPlain = 0;
int32_t ThreeRocketFlames[2] = {};
int32_t ThreeRocketFireSound = 0;

int32_t& ThreeRocketPressMark(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t ThreeRocketSideOf(int32_t p) { return ParticipantTable[p].team == 1 ? 1 : 2; }
int32_t& ThreeRocketCpuDelay() { return CpuWorkTable[0].counter; }

namespace {

constexpr int32_t kWinnerCoins = 10;
constexpr float kGravity = 0.05f;
constexpr int32_t kCpuPressDelay = 30;
constexpr int32_t kBlowUpSound = 25;
constexpr int32_t kHalfWidth = 320;

const MinigameMedia kThreeRocketMedia[] = {
    MinigamePicture("media\\mini\\threerocket\\bluestar.png", &ThreeRocketBlueStar),
    MinigamePicture("media\\mini\\threerocket\\redstar.png", &ThreeRocketRedStar),
    MinigamePicture("media\\mini\\threerocket\\rocket_2_004.png", &ThreeRocketPlain),
    MinigamePicture("media\\mini\\threerocket\\rocket_2_000.png", &ThreeRocketFlames[0]),
    MinigamePicture("media\\mini\\threerocket\\rocket_2_001.png", &ThreeRocketFlames[1]),
    MinigameSound("media\\mini\\threerocket\\bom11.wav", &ThreeRocketFireSound),
};

int LoadThreeRocket() {
  if (LoadMinigameMedia(kThreeRocketMedia) == -1) return -1;
  if (SetSoundHandleVolume(SoundEffectVolume, ThreeRocketFireSound) == -1) {
    WriteErrorLogFormat("%s の音量を設定できませんでした", kThreeRocketMedia[5].file);
    FreeMinigameMedia(kThreeRocketMedia);
    return -1;
  }
  return 1;
}

void FreeThreeRocket() { FreeMinigameMedia(kThreeRocketMedia); }

// True when p (1..4) is a challenger not yet in the first `filled` entries.
bool IsFreeChallenger(const ThreeRocketRecord& rocket, int32_t filled, int32_t p) {
  if (ThreeRocketSideOf(p) != 2) return false;
  for (int32_t k = 0; k < filled; ++k)
    if (rocket.order[k] == p) return false;
  return true;
}

// The challengers' order: each entry drawn until it is a challenger not yet
// drawn. With fewer than three challengers the draws stop when none is left
// and the order repeats from its start (a challenger fires again).
void DrawChallengerOrder(ThreeRocketRecord& rocket) {
  int32_t filled = 0;
  for (int32_t k = 0; k < 3; ++k) {
    bool candidate = false;
    for (int32_t p = 1; p <= 4; ++p) candidate |= IsFreeChallenger(rocket, filled, p);
    if (!candidate) break;
    int32_t drawn;
    do {
      drawn = GetRandomNumber(3) + 1;
    } while (!IsFreeChallenger(rocket, filled, drawn));
    rocket.order[filled++] = drawn;
  }
  for (int32_t k = filled; k < 3; ++k) rocket.order[k] = filled > 0 ? rocket.order[k % filled] : 0;
}

}  // namespace

void ThreeRocketSetUp() {
  for (int32_t side = 1; side <= 2; ++side) {
    ThreeRocketRecord& r = ThreeRocketRockets[side];
    r = ThreeRocketRecord{};
    r.active = 1;
    r.x = side == 1 ? 160.0f : 480.0f;
    r.y = kThreeRocketPadY;
    r.viewTop = 320.0f;
    r.viewScroll = 240.0f;
  }
  for (ThreeRocketStar& star : ThreeRocketStars) {
    star.x = GetRandomNumber(640);
    star.y = GetRandomNumber(480);
    star.scale = static_cast<float>(GetRandomNumber(10) / 100.0);
    star.kind = GetRandomNumber(1);
  }
  int32_t lone = GetFirstTeamOneParticipant();
  for (int32_t& entry : ThreeRocketRockets[1].order) entry = lone;
  DrawChallengerOrder(ThreeRocketRockets[2]);
  for (int32_t p = 1; p <= 4; ++p) ThreeRocketPressMark(p) = -1;
  ThreeRocketCpuDelay() = 0;
  ThreeRocketPlayStep = 0;
  ThreeRocketOutcomeStep = 0;
}

namespace {

// The participant whose turn it is on the rocket (the last firer once all
// three stages are fired); 0 for nobody.
int32_t CurrentFirer(const ThreeRocketRecord& rocket) {
  return rocket.order[rocket.stage < 3 ? (rocket.stage < 0 ? 0 : rocket.stage) : 2];
}

void FireStages() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (ThreeRocketPressMark(p) != 0) continue;
    ThreeRocketRecord& r = ThreeRocketRockets[ThreeRocketSideOf(p)];
    if (r.stage < 0 || r.stage > 2 || r.order[r.stage] != p) continue;
    if (r.gauge < kThreeRocketBlowUpGauge) {
      r.speedY -= static_cast<float>(r.gauge / 3.0);
      PlaySoundHandle(ThreeRocketFireSound, 1, 1);
    } else {
      r.active = 0;
      PlaySoundHandle(SoundEffectHandles[kBlowUpSound], 1, 1);
    }
    ++r.stage;
  }
}

// A rocket is done once blown up; once its last stage is fired and it no
// longer climbs (it falls, or rests on the pad, where landing sets its speed
// to 0); or when nobody can fire its next stage. Done stays.
void MarkDone(ThreeRocketRecord& r) {
  if (r.active == 0) r.done = 1;
  if (r.stage > 2 && r.speedY >= 0.0f) r.done = 1;
  if (r.stage <= 2 && CurrentFirer(r) == 0) r.done = 1;
}

// Play state 2.
void PlayFrame() {
  ThreeRocketDraw();
  for (int32_t p = 1; p <= 4; ++p) {
    ThreeRocketPressMark(p) = -1;
    if (ThreeRocketRockets[ThreeRocketSideOf(p)].active == 0) continue;
    if (IsHumanParticipant(p)) {
      if (IsNewParticipantPress(p, kButtonA)) ThreeRocketPressMark(p) = 0;
    } else {
      ThreeRocketCpu(p);
    }
  }
  FireStages();
  ThreeRocketUpdate();
  for (int32_t side = 1; side <= 2; ++side) MarkDone(ThreeRocketRockets[side]);
  if (ThreeRocketRockets[1].done == 1 && ThreeRocketRockets[2].done == 1) ThreeRocketPlayStep = 4;
}

// The rockets go on flying behind the FINISH banner and the results.
void DrawScene() {
  ThreeRocketDraw();
  if (ThreeRocketStep >= 6 && ThreeRocketStep <= 8) ThreeRocketUpdate();
}

int Outcome() {
  DrawScene();
  return ThreeRocketOutcome();
}

// ---------------------------------------------------------------- drawing

uint32_t SkyColour(int32_t r, int32_t g, int32_t b) {
  auto clamp = [](int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
  return MakeScreenColor(clamp(r), clamp(g), clamp(b));
}

// The sky of one half, in the rocket's view: light blue at the pad darkening
// upwards (a column of tall boxes, then three bands of thin ones) into the
// black of space, where the stars drawn before it show.
void DrawSky(int32_t left, float camera) {
  struct Band {
    int32_t boxes, height, step;
  };
  static constexpr Band kBands[] = {{8, 60, 6}, {10, 12, 12}, {16, 8, 2}, {10, 8, 6}};
  int32_t r = 110, g = 180, b = 255;
  int32_t bottom = 480;  // the world y of the lowest box's bottom
  for (const Band& band : kBands) {
    for (int32_t i = 0; i < band.boxes; ++i) {
      int32_t top = bottom - band.height;
      int32_t y1 = static_cast<int32_t>(static_cast<float>(top) - camera);
      int32_t y2 = static_cast<int32_t>(static_cast<float>(bottom) - camera);
      if (y2 > 0 && y1 < 480) DrawRectangleShape(left, y1, left + kHalfWidth, y2, SkyColour(r, g, b), 1);
      r -= band.step;
      g -= band.step;
      b -= band.step;
      bottom = top;
    }
  }
}

void DrawStars(float camera) {
  // The stars scroll at a quarter of the rockets' pace, wrapping.
  int32_t shift = static_cast<int32_t>(std::fmod(-camera * 0.25f, 480.0f));
  for (const ThreeRocketStar& star : ThreeRocketStars) {
    int32_t y = (star.y + shift) % 480;
    DrawGraphRotated(star.x, y, star.scale, 0.0, star.kind == 0 ? ThreeRocketBlueStar : ThreeRocketRedStar, 1, 0);
  }
}

void DrawRocket(const ThreeRocketRecord& r, int32_t rider, float camera) {
  int32_t x = static_cast<int32_t>(r.x);
  int32_t y = static_cast<int32_t>(r.y - camera);
  // The rider sits on the nose.
  if (rider != 0) DrawGraphRotated(x, y - 74, 1.0, 0.0, ParticipantPicture(rider, 1), 1, 0);
  int32_t picture = r.speedY >= 0.0f ? ThreeRocketPlain : ThreeRocketFlames[(r.flameCounter / 5) % 2];
  DrawGraphRotated(x, y, 1.0, 0.0, picture, 1, 0);
}

void DrawGauge(const ThreeRocketRecord& r, int32_t left) {
  uint32_t white = MakeScreenColor(255, 255, 255);
  uint32_t green = MakeScreenColor(0, 255, 0);
  uint32_t red = MakeScreenColor(255, 0, 0);
  int32_t firer = CurrentFirer(r);
  if (firer != 0)
    DrawFormatTextToHandle(left + 64, 440, white, FontHandlesBySize[23], "%dPlayer入力待ち!!", firer);
  DrawRectangleShape(left, 200, left + 112, 290, green, 0);
  DrawRectangleShape(left, 190, left + 112, 200, red, 0);
  DrawRectangleShape(left, 290 - r.gauge, left + 112, 290, r.gauge <= 90 ? green : red, 1);
}

constexpr MinigameSteps kThreeRocket = {
    .step = &ThreeRocketStep,
    .numbering = &kMinigameStepsB,
    .load = LoadThreeRocket,
    .setUp = ThreeRocketSetUp,
    .draw = DrawScene,
    .play = ThreeRocketPlay,
    .outcome = Outcome,
    .unload = FreeThreeRocket,
};

}  // namespace

int ThreeRocketMain() { return RunMinigameSteps(kThreeRocket); }

void ThreeRocketDraw() {
  uint32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t side = 1; side <= 2; ++side) {
    const ThreeRocketRecord& r = ThreeRocketRockets[side];
    int32_t left = (side - 1) * kHalfWidth;
    // The view follows the rocket's best height once it passes the middle.
    float camera = r.viewScroll - 240.0f;
    SetDrawClipArea(left, 0, left + kHalfWidth, 480);
    DrawStars(camera);
    DrawSky(left, camera);
    if (r.active == 1) {
      DrawRocket(r, ThreeRocketRider(side), camera);
      if (r.stage < 3) DrawGauge(r, left);
    }
    int32_t width = GetFormatTextWidthToHandle(FontHandlesBySize[23], "%dM", r.bestHeight);
    DrawFormatTextToHandle(left + kHalfWidth / 2 - width / 2, 56, white, FontHandlesBySize[23], "%dM", r.bestHeight);
  }
  SetDrawClipArea(0, 0, 640, 480);
}

int32_t ThreeRocketRider(int32_t side) {
  if (side == 1) return ThreeRocketRockets[1].order[0];
  if (side == 2) return CurrentFirer(ThreeRocketRockets[2]);
  return 0;
}

void ThreeRocketUpdate() {
  for (int32_t side = 1; side <= 2; ++side) {
    ThreeRocketRecord& r = ThreeRocketRockets[side];
    if (r.active == 0) continue;
    if (r.gaugeFalling == 0) {
      if (++r.gauge > 99) r.gaugeFalling = 1;
    } else {
      if (--r.gauge < 1) r.gaugeFalling = 0;
    }
    r.speedY += kGravity;
    if (r.speedY > 0.0f && r.y + r.speedY > kThreeRocketPadY) r.speedY = 0.0f;
    r.x += r.speedX;
    r.y += r.speedY;
    if (r.y > kThreeRocketPadY) r.y = kThreeRocketPadY;
    int32_t height = static_cast<int32_t>(kThreeRocketPadY - r.y);
    if (height > r.bestHeight) r.bestHeight = height;
    if (kThreeRocketPadY - static_cast<float>(r.bestHeight) < 240.0f)
      r.viewScroll = kThreeRocketPadY - static_cast<float>(r.bestHeight);
    r.flameCounter = (r.flameCounter + 1) % 10;
  }
}

int ThreeRocketPlay() {
  switch (ThreeRocketPlayStep) {
    case 0:
      ThreeRocketDraw();
      ThreeRocketPlayStep = 1;
      break;
    case 1:
      ThreeRocketRockets[1].stage = 0;
      ThreeRocketRockets[2].stage = 0;
      ThreeRocketDraw();
      ThreeRocketPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 4:
      ThreeRocketPlayStep = 0;
      ThreeRocketUpdate();
      ThreeRocketDraw();
      return 1;
    default:
      break;
  }
  return 0;
}

void ThreeRocketCpu(int32_t p) {
  ThreeRocketPressMark(p) = -1;
  if (ParticipantTable[p].cpuLevel != 1) return;
  int32_t& delay = ThreeRocketCpuDelay();
  if (delay > 0) {
    --delay;
    return;
  }
  int32_t gauge = ThreeRocketRockets[ThreeRocketSideOf(p)].gauge;
  if (gauge > 50 && gauge < 81 && GetRandomNumber(30) == 0) {
    ThreeRocketPressMark(p) = 0;
    delay = kCpuPressDelay;
  }
}

int ThreeRocketOutcome() {
  switch (ThreeRocketOutcomeStep) {
    case 0: {
      int32_t winner = 0, score = 0;
      const ThreeRocketRecord& left = ThreeRocketRockets[1];
      const ThreeRocketRecord& right = ThreeRocketRockets[2];
      if (left.active == 1 && left.bestHeight > 0) {
        winner = 1;
        score = left.bestHeight;
      }
      if (right.active == 1 && right.bestHeight > score) winner = 2;
      for (int32_t p = 1; p <= 4; ++p)
        if (winner != 0 && ThreeRocketSideOf(p) == winner) AwardParticipant(p, kWinnerCoins);
      ThreeRocketOutcomeStep = 1;
      return 0;
    }
    case 1:
      ThreeRocketOutcomeStep = 0;
      return 1;
    default:
      return 0;
  }
}
