// Minigame 26, beam team.
#include "game/minigames/misobomb.h"

#include <algorithm>
#include <cmath>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t MisobombStep = 0;
int32_t MisobombPlayStep = 0;
int32_t MisobombOutcomeStep = 0;
MisobombBeam MisobombBeamTable[5] = {};
MisobombFairy MisobombFairyTable[kMisobombFairies] = {};
int32_t MisobombClock = 0;
int32_t MisobombSpawnCounter = 0;
int32_t MisobombFairyPicture = -1, MisobombBeamPicture = -1;
int32_t MisobombBeamSound = -1, MisobombStunSound = -1;

uint8_t& MisobombStateOf(int32_t p) { return ParticipantTable[p].phase; }
int32_t& MisobombRole(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& MisobombFacing(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& MisobombScore(int32_t p) { return ParticipantTable[p].ints[2]; }
int32_t& MisobombFireRequest(int32_t p) { return ParticipantTable[p].ints[3]; }
int32_t& MisobombCharge(int32_t p) { return ParticipantTable[p].ints[4]; }
uint8_t& MisobombOpen(int32_t p) { return ParticipantTable[p].bytes[0]; }

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kSpin = 0.049087387f;  // 2 pi / 128
constexpr float kStep = 4.0f;
constexpr float kBeamGrowth = 18.0f;
constexpr float kBeamHalfWidth = 6.0f;
constexpr float kBodyHalf = 16.0f;
constexpr int32_t kMaxCharge = 250;

const MinigameMedia kMedia[] = {
    MinigamePicture("media\\mini\\misobomb\\yousei_S.png", &MisobombFairyPicture),
    MinigamePicture("media\\mini\\misobomb\\ray.png", &MisobombBeamPicture),
    MinigameSound("media\\mini\\misobomb\\cursor35.wav", &MisobombBeamSound),
    MinigameSound("media\\mini\\misobomb\\don14.wav", &MisobombStunSound),
};

int Load() {
  if (LoadMinigameMedia(kMedia) == -1) return -1;
  SetSoundHandleVolume(SoundEffectVolume, MisobombBeamSound);
  SetSoundHandleVolume(SoundEffectVolume, MisobombStunSound);
  for (MisobombBeam& b : MisobombBeamTable) b = {};
  for (MisobombFairy& f : MisobombFairyTable) f = {};
  MisobombDraw();
  return 1;
}
void Unload() { FreeMinigameMedia(kMedia); }

void Place(int32_t p, int32_t role, float x, float y, int32_t facing) {
  ParticipantRecord& r = ParticipantTable[p];
  MisobombRole(p) = role;
  r.x = x;
  r.y = y;
  r.reals[0] = 0.0f;
  r.reals[1] = 0.0f;
  MisobombFacing(p) = facing;
  MisobombStateOf(p) = kMisobombFree;
  MisobombOpen(p) = 1;
}

void SetUp() {
  for (MisobombBeam& b : MisobombBeamTable) b = {};
  for (MisobombFairy& f : MisobombFairyTable) f = {};
  MisobombSpawnCounter = 0;
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.x = -100.0f;
    r.y = -100.0f;
    MisobombRole(p) = 0;
    MisobombStateOf(p) = 0;
  }
  if (int32_t p = FindTeamMember(1, 1)) Place(p, kMisobombSidePlayer, 112.0f, 240.0f, 6);
  if (int32_t p = FindTeamMember(1, 2)) Place(p, kMisobombEndPlayer, 320.0f, 32.0f, 2);
  if (int32_t p = FindTeamMember(2, 1)) Place(p, kMisobombSidePlayer, 528.0f, 240.0f, 4);
  if (int32_t p = FindTeamMember(2, 2)) Place(p, kMisobombEndPlayer, 320.0f, 448.0f, 8);
  MisobombDraw();
}

bool Plays(int32_t p) { return MisobombRole(p) != 0; }

void Fire(int32_t p) {
  ParticipantTable[p].reals[0] = 0.0f;
  ParticipantTable[p].reals[1] = 0.0f;
  MisobombStateOf(p) = kMisobombFiring;
  MisobombFireRequest(p) = 1;
}

void HumanInput(int32_t p) {
  ParticipantRecord& r = ParticipantTable[p];
  bool fire = IsNewParticipantPress(p, kButtonA);
  r.reals[0] = 0.0f;
  r.reals[1] = 0.0f;
  if (MisobombStateOf(p) != kMisobombFree) return;
  if (MisobombRole(p) == kMisobombSidePlayer) {
    if (IsParticipantButtonHeld(p, kButtonUp)) r.reals[1] = -kStep;
    if (IsParticipantButtonHeld(p, kButtonDown)) r.reals[1] = kStep;
  } else {
    if (IsParticipantButtonHeld(p, kButtonRight)) r.reals[0] = kStep;
    if (IsParticipantButtonHeld(p, kButtonLeft)) r.reals[0] = -kStep;
  }
  if (MisobombCharge(p) > 60 && fire) Fire(p);
}

// The beam of participant p as a rectangle, widened across.
RectRecord BeamRect(int32_t p) {
  const ParticipantRecord& r = ParticipantTable[p];
  const MisobombBeam& b = MisobombBeamTable[p];
  if (MisobombRole(p) == kMisobombSidePlayer)
    return {std::min(r.x, b.endX), r.y - kBeamHalfWidth, std::max(r.x, b.endX), r.y + kBeamHalfWidth};
  return {r.x - kBeamHalfWidth, std::min(r.y, b.endY), r.x + kBeamHalfWidth, std::max(r.y, b.endY)};
}

RectRecord BodyRect(float x, float y) { return {x - kBodyHalf, y - kBodyHalf, x + kBodyHalf, y + kBodyHalf}; }

// The player opposite: the other participant with the same role.
int32_t Opposite(int32_t p) {
  for (int32_t q = 1; q <= 4; ++q)
    if (q != p && MisobombRole(q) == MisobombRole(p)) return q;
  return 0;
}

// The beam is over: its shooter is free again.
void EndBeam(int32_t p) {
  MisobombBeamTable[p].active = 0;
  MisobombFireRequest(p) = 0;
  if (MisobombStateOf(p) == kMisobombFiring) MisobombStateOf(p) = kMisobombFree;
}

void PlayFrame() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Plays(p)) continue;
    if (IsHumanParticipant(p))
      HumanInput(p);
    else
      MisobombCpu(p);
  }
  MisobombMove();
  MisobombFairies();
  MisobombBeams();
  if (MisobombClock > 0) --MisobombClock;
  MisobombDraw();
}

}  // namespace

void MisobombMove() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Plays(p)) continue;
    ParticipantRecord& r = ParticipantTable[p];
    int32_t& charge = MisobombCharge(p);
    if (charge >= 30 && charge <= 59 && MisobombStateOf(p) == kMisobombStunned) MisobombStateOf(p) = kMisobombFree;
    if (charge >= 60) MisobombOpen(p) = 1;
    charge = std::min(charge + 1, kMaxCharge);
    if (r.reals[1] < 0.0f) MisobombFacing(p) = 8;
    if (r.reals[1] > 0.0f) MisobombFacing(p) = 2;
    if (r.reals[0] > 0.0f) MisobombFacing(p) = 6;
    if (r.reals[0] < 0.0f) MisobombFacing(p) = 4;
    if (MisobombRole(p) == kMisobombSidePlayer) {
      float next = r.y + r.reals[1];
      if (next < 48.0f || next > 432.0f) r.reals[0] = r.reals[1] = 0.0f;
    } else {
      float next = r.x + r.reals[0];
      if (next < 128.0f || next > 512.0f) r.reals[0] = r.reals[1] = 0.0f;
    }
    r.x += r.reals[0];
    r.y += r.reals[1];
  }
}

void MisobombFairies() {
  int32_t active = 0;
  for (const MisobombFairy& f : MisobombFairyTable) active += f.active != 0 ? 1 : 0;
  ++MisobombSpawnCounter;
  if (active < 2 || MisobombSpawnCounter > 29 || GetRandomNumber(20) == 0) {
    MisobombSpawnCounter = 0;
    // With every fairy out, none starts.
    if (MisobombFairy* f = FirstFreeRecord(MisobombFairyTable, &MisobombFairy::active)) {
      f->active = 1;
      f->x = static_cast<float>(144 + GetRandomNumber(352));
      f->y = static_cast<float>(64 + GetRandomNumber(352));
      f->angle = 0.0f;
      f->turn = static_cast<uint8_t>(GetRandomNumber(1));
    }
  }
  for (MisobombFairy& f : MisobombFairyTable) {
    if (f.active == 0) continue;
    f.angle += kSpin;
    if (f.angle >= 2.0f * kPi) f.angle = 0.0f;
  }
}

void MisobombBeams() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Plays(p) || MisobombFireRequest(p) != 1) continue;
    const ParticipantRecord& r = ParticipantTable[p];
    MisobombBeamTable[p] = {1, r.x, r.y, 0};
    MisobombFireRequest(p) = 2;
    bool side = MisobombRole(p) == kMisobombSidePlayer;
    MisobombFacing(p) = r.team == 1 ? (side ? 6 : 2) : (side ? 4 : 8);
    PlaySoundHandle(MisobombBeamSound, 1, 1);
  }
  for (int32_t p = 1; p <= 4; ++p) {
    MisobombBeam& b = MisobombBeamTable[p];
    if (!Plays(p) || b.active == 0) continue;
    if (b.age >= kMisobombBeamFrames) {
      EndBeam(p);
      continue;
    }
    const ParticipantRecord& r = ParticipantTable[p];
    if (MisobombRole(p) == kMisobombSidePlayer)
      b.endX += r.x >= 320.0f ? -kBeamGrowth : kBeamGrowth;
    else
      b.endY += r.y >= 240.0f ? -kBeamGrowth : kBeamGrowth;
    ++b.age;
  }
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Plays(p) || MisobombBeamTable[p].active == 0) continue;
    RectRecord beam = BeamRect(p);
    for (MisobombFairy& f : MisobombFairyTable) {
      if (f.active == 0 || !HitRectRect(beam, BodyRect(f.x, f.y))) continue;
      f.active = 0;
      ++MisobombScore(p);
    }
  }
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Plays(p) || MisobombBeamTable[p].active == 0) continue;
    int32_t target = Opposite(p);
    if (target == 0 || MisobombOpen(target) != 1) continue;
    ParticipantRecord& t = ParticipantTable[target];
    if (!HitRectRect(BeamRect(p), BodyRect(t.x, t.y))) continue;
    t.reals[0] = 0.0f;
    t.reals[1] = 0.0f;
    MisobombOpen(target) = 0;
    MisobombCharge(target) = 0;
    MisobombStateOf(target) = kMisobombStunned;
    // The shooter is free again with its beam gone (it would otherwise stay
    // firing for the rest of the game).
    EndBeam(p);
    PlaySoundHandle(MisobombStunSound, 1, 1);
  }
}

void MisobombCpu(int32_t p) {
  ParticipantRecord& me = ParticipantTable[p];
  if (me.cpuLevel != 1) {  // the other levels stand still and never fire
    me.reals[0] = me.reals[1] = 0.0f;
    return;
  }
  if (MisobombStateOf(p) == kMisobombFiring) {
    me.reals[0] = me.reals[1] = 0.0f;
    return;
  }
  if (MisobombStateOf(p) != kMisobombFree) return;
  int32_t& delay = CpuWorkTable[p].counter;
  if (delay > -1) {
    --delay;
    if (delay > -1) return;
  }
  me.reals[0] = me.reals[1] = 0.0f;
  bool side = MisobombRole(p) == kMisobombSidePlayer;
  float own = side ? me.y : me.x;
  const MisobombFairy* nearest = nullptr;
  float best = 0.0f;
  for (const MisobombFairy& f : MisobombFairyTable) {
    if (f.active == 0) continue;
    float d = std::fabs((side ? f.y : f.x) - own);
    if (nearest == nullptr || d < best) {
      nearest = &f;
      best = d;
    }
  }
  float& speed = side ? me.reals[1] : me.reals[0];
  if (nearest == nullptr) {
    float low = side ? 176.0f : 256.0f, high = side ? 304.0f : 384.0f;
    if (own < low) speed = kStep;
    if (own > high) speed = -kStep;
    delay = GetRandomNumber(5) + 5;
    return;
  }
  float target = side ? nearest->y : nearest->x;
  if (best <= 6.0f) {
    Fire(p);
    delay = GetRandomNumber(30) + 30;
    return;
  }
  speed = target > own ? kStep : -kStep;
  delay = GetRandomNumber(3);
}

int MisobombPlay() {
  switch (MisobombPlayStep) {
    case 0:
      MisobombClock = 0;
      MisobombPlayStep = 1;
      return 0;
    case 1:
      MisobombClock = kMisobombPlayFrames;
      for (int32_t p = 1; p <= 4; ++p) MisobombCharge(p) = 65;
      MisobombDraw();
      MisobombPlayStep = 2;
      return 0;
    case 2:
      PlayFrame();
      if (MisobombClock == 0) MisobombPlayStep = 3;
      return 0;
    default:
      MisobombPlayStep = 0;
      MisobombDraw();
      return 1;
  }
}

int MisobombOutcome() {
  MisobombDraw();
  switch (MisobombOutcomeStep) {
    case 0:
      MisobombOutcomeStep = 1;
      return 0;
    case 1: {
      int32_t totals[3] = {};
      for (int32_t p = 1; p <= 4; ++p) {
        int32_t team = ParticipantTable[p].team;
        if (Plays(p) && (team == 1 || team == 2)) totals[team] += MisobombScore(p);
      }
      // The winners get the won flag and no coins.
      if (totals[1] > totals[2]) AwardTeam(1, 0);
      if (totals[2] > totals[1]) AwardTeam(2, 0);
      MisobombOutcomeStep = 2;
      return 0;
    }
    default:
      MisobombOutcomeStep = 1;
      return 1;
  }
}

void MisobombDraw() {
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  DrawRectangleShape(128, 48, 512, 432, MakeScreenColor(255, 160, 110), 1);
  DrawWindowFrame(128, 48, 512, 432);
  for (const MisobombFairy& f : MisobombFairyTable) {
    if (f.active == 0) continue;
    DrawGraphRotated(static_cast<int32_t>(f.x), static_cast<int32_t>(f.y + 3.0f * std::sin(f.angle)), 1.0, 0.0,
                     MisobombFairyPicture, 1, f.turn);
  }
  int32_t width = 0, height = 0;
  QueryGraphSize(MisobombBeamPicture, &width, &height);
  float spacing = static_cast<float>(std::max(width / 2, 1));
  SetDrawBlend(2, 255);
  for (int32_t p = 1; p <= 4; ++p) {
    const MisobombBeam& b = MisobombBeamTable[p];
    if (!Plays(p) || b.active == 0) continue;
    const ParticipantRecord& r = ParticipantTable[p];
    bool side = MisobombRole(p) == kMisobombSidePlayer;
    float from = side ? r.x : r.y, to = side ? b.endX : b.endY;
    float step = to >= from ? spacing : -spacing;
    for (float at = from; step > 0.0f ? at <= to : at >= to; at += step) {
      int32_t x = static_cast<int32_t>(side ? at : r.x), y = static_cast<int32_t>(side ? r.y : at);
      DrawGraphRotated(x, y, 1.0, side ? 0.0 : kPi / 2.0, MisobombBeamPicture, 1, 0);
    }
  }
  SetDrawBlend(0, 255);
  for (int32_t p = 1; p <= 4; ++p) {
    if (!Plays(p)) continue;
    const ParticipantRecord& r = ParticipantTable[p];
    int32_t facing = MisobombFacing(p);
    int32_t slot = facing == 8 ? 5 : facing == 2 ? 1 : 9;
    DrawGraphRotated(static_cast<int32_t>(r.x), static_cast<int32_t>(r.y), 1.0, 0.0, ParticipantPicture(p, slot), 1,
                     facing == 4 ? 1 : 0);
  }
  uint32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t team = 1; team <= 2; ++team) {
    int32_t first = FindTeamMember(team, 1), second = FindTeamMember(team, 2);
    int32_t a = first > 0 ? MisobombScore(first) : 0, b = second > 0 ? MisobombScore(second) : 0;
    if (team == 1)
      DrawFormatTextToHandle(8, 16, white, FontHandlesBySize[15], "Ａ：%d＋%d＝%d", a, b, a + b);
    else
      DrawFormatTextToHandle(512, 432, white, FontHandlesBySize[15], "Ｂ：%d＋%d＝%d", a, b, a + b);
  }
  if (MisobombClock > 0) DrawNumber(MisobombClock / 60 + 1, 544, 32, 1.0);
}

namespace {
constexpr MinigameSteps kSteps = {
    .step = &MisobombStep,
    .numbering = &kMinigameStepsA,
    .load = Load,
    .setUp = SetUp,
    .draw = MisobombDraw,
    .play = MisobombPlay,
    .outcome = MisobombOutcome,
    .unload = Unload,
};
}  // namespace

int MisobombMain() { return RunMinigameSteps(kSteps); }
