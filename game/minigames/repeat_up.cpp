// Minigame 27, stone climbing.
#include "game/minigames/repeat_up.h"

#include <cstring>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "library/zrlib.h"

int32_t RepeatUpEntryStep = 0;
int32_t RepeatUpPlayStep = 0;
int32_t RepeatUpOutcomeStep = 0;
StoneRecord StoneTable[5] = {};
int32_t KeystonePicture = -1;

int32_t& RepeatUpSide(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& RepeatUpRaised(int32_t mover, int32_t side) { return ParticipantTable[mover].ints[side == 1 ? 1 : 2]; }
float& RepeatUpScrollOf(int32_t p) { return ParticipantTable[p].reals[3]; }

namespace {

constexpr float kStoneSpeed = 16.0f;
constexpr float kJumpSpeed = -32.0f;
constexpr float kGravity = 5.0f;
constexpr float kJumpAcross = 12.0f;
constexpr float kTopLine = -1000.0f;
constexpr int32_t kWinnerCoins = 10;

float SideOffset(int32_t team) { return team == 2 ? 320.0f : 0.0f; }

// The team's member in the role, or -1.
int32_t FindRole(int32_t team, int32_t role) { return FindParticipantByTeamIndex(0, team, role); }

bool IsRole(int32_t p, int32_t role) {
  const ParticipantRecord& r = ParticipantTable[p];
  return (r.team == 1 || r.team == 2) && r.teamIndex == role;
}

float TeamScroll(int32_t team) {
  int32_t climber = FindRole(team, kStoneClimber);
  return climber > 0 ? RepeatUpScrollOf(climber) : 0.0f;
}

const MinigameMedia kMedia[] = {
    MinigamePicture("media\\mini\\repeatup\\要石.png", &KeystonePicture),
};
int Load() { return LoadMinigameMedia(kMedia); }
void Unload() { FreeMinigameMedia(kMedia); }

// Within each team the first member moves the stones and the second climbs;
// anybody else (a team of more than two, or no team) stays off the game.
void SetUp() {
  std::memset(StoneTable, 0, sizeof StoneTable);
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.teamIndex = 0;
    r.x = -100.0f;
    r.y = -100.0f;
    for (float& real : r.reals) real = 0.0f;
    for (int32_t& i : r.ints) i = 0;
  }
  for (int32_t team = 1; team <= 2; ++team) {
    float o = SideOffset(team);
    int32_t mover = FindTeamMember(team, 1);
    int32_t climber = FindTeamMember(team, 2);
    if (mover > 0) {
      ParticipantTable[mover].teamIndex = kStoneMover;
      StoneRecord& s = StoneTable[mover];
      s.leftX = 106.0f + o;
      s.leftY = 400.0f;
      s.rightX = 212.0f + o;
      s.rightY = 432.0f;
      // Past its move, so that the mover's action is cleared every frame
      // from the start.
      s.leftCounter = 10;
    }
    if (climber > 0) {
      ParticipantRecord& r = ParticipantTable[climber];
      r.teamIndex = kStoneClimber;
      r.x = 106.0f + o;
      r.y = 368.0f;
      RepeatUpSide(climber) = 2;
    }
  }
  RepeatUpDraw();
}

void ReadInput(int32_t p) {
  if (IsNewParticipantPress(p, kButtonA)) StoneTable[p].action = 1;
  if (IsNewParticipantPress(p, kButtonB)) StoneTable[p].action = 2;
}

// Stone s of the mover: its y speed and step counter.
float& StoneSpeedY(StoneRecord& s, int32_t side) { return side == 1 ? s.leftSpeedY : s.rightSpeedY; }
int32_t& StoneCounter(StoneRecord& s, int32_t side) { return side == 1 ? s.leftCounter : s.rightCounter; }

void MoveStones(StoneRecord& s) {
  s.leftX += s.leftSpeedX;
  s.leftY += s.leftSpeedY;
  s.rightX += s.rightSpeedX;
  s.rightY += s.rightSpeedY;
  for (int32_t side = 1; side <= 2; ++side) {
    int32_t& counter = StoneCounter(s, side);
    if (counter < 4) {
      ++counter;
    } else {
      StoneSpeedY(s, side) = 0.0f;
      s.action = 0;
    }
  }
}

void MoveClimber(int32_t climber, int32_t mover, int32_t team) {
  ParticipantRecord& r = ParticipantTable[climber];
  StoneRecord& own = StoneTable[climber];
  float o = SideOffset(team);
  r.x += r.reals[0];
  r.y += r.reals[1];
  if (r.x < 105.0f + o) {
    r.x = 106.0f + o;
    r.reals[0] = 0.0f;
  } else if (r.x > 213.0f + o) {
    r.x = 212.0f + o;
    r.reals[0] = 0.0f;
  }
  if (mover <= 0) return;  // no stones to stand on
  StoneRecord& stones = StoneTable[mover];
  float ground = r.x > 160.0f + o ? stones.rightY : stones.leftY;
  float landing = static_cast<float>(static_cast<int32_t>(ground - 16.0f));
  if (r.y > landing) {
    own.jumpSpeed = 0.0f;
    r.y = landing;
    int32_t& side = RepeatUpSide(climber);
    if (own.action - 2 == side) {
      RepeatUpRaised(mover, side) = 0;
      side = side == 2 ? 1 : 2;
    }
    own.action = 0;
  }
}

}  // namespace

void RepeatUpStep() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    StoneRecord& s = StoneTable[p];
    if (IsRole(p, kStoneMover)) {
      int32_t climber = FindRole(r.team, kStoneClimber);
      if (climber <= 0) continue;
      int32_t side = RepeatUpSide(climber);
      if ((side != 1 && side != 2) || s.action != side) continue;
      int32_t& raised = RepeatUpRaised(p, side);
      StoneSpeedY(s, side) = raised == 0 ? -kStoneSpeed : kStoneSpeed;
      raised = raised == 0 ? 1 : 0;
      StoneCounter(s, side) = 0;
    } else if (IsRole(p, kStoneClimber)) {
      int32_t side = RepeatUpSide(p);
      if (s.action == 1) {
        if (side == 1) r.reals[0] = -kJumpAcross;
        s.action = 3;
        s.jumpSpeed = kJumpSpeed;
      } else if (s.action == 2) {
        if (side == 2) r.reals[0] = kJumpAcross;
        s.action = 4;
        s.jumpSpeed = kJumpSpeed;
      }
      s.jumpSpeed += kGravity;
      r.reals[1] = s.jumpSpeed;
    }
  }
  for (int32_t team = 1; team <= 2; ++team) {
    int32_t mover = FindRole(team, kStoneMover);
    if (mover > 0) MoveStones(StoneTable[mover]);
  }
  for (int32_t team = 1; team <= 2; ++team) {
    int32_t climber = FindRole(team, kStoneClimber);
    if (climber > 0) MoveClimber(climber, FindRole(team, kStoneMover), team);
  }
}

void RepeatUpScroll() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (!IsRole(p, kStoneClimber) || StoneTable[p].action != 0) continue;
    ParticipantRecord& r = ParticipantTable[p];
    if (r.y < 240.0f) {
      r.reals[2] = 0.0f;
      r.reals[3] = static_cast<float>(static_cast<int32_t>(r.y) - 240);
    } else {
      r.reals[2] = 0.0f;
      r.reals[3] = 0.0f;
    }
  }
}

void RepeatUpCpu(int32_t p) {
  const ParticipantRecord& r = ParticipantTable[p];
  if (r.cpuLevel != 1) return;  // the other levels give no input
  if (IsRole(p, kStoneMover)) {
    int32_t climber = FindRole(r.team, kStoneClimber);
    if (climber <= 0) return;
    int32_t side = RepeatUpSide(climber);
    if ((side == 1 || side == 2) && RepeatUpRaised(p, side) == 0) StoneTable[p].action = side;
  } else if (IsRole(p, kStoneClimber)) {
    int32_t mover = FindRole(r.team, kStoneMover);
    if (mover <= 0) return;
    int32_t side = RepeatUpSide(p);
    if ((side == 1 || side == 2) && RepeatUpRaised(mover, side) == 1) StoneTable[p].action = side;
  }
}

namespace {

bool AnyClimber() {
  for (int32_t p = 1; p <= 4; ++p)
    if (IsRole(p, kStoneClimber)) return true;
  return false;
}

bool ClimberAtTop() {
  for (int32_t p = 1; p <= 4; ++p)
    if (IsRole(p, kStoneClimber) && ParticipantTable[p].y < kTopLine) return true;
  return false;
}

void PlayFrame() {
  for (int32_t p = 1; p <= 4; ++p) {
    if (StoneTable[p].action != 0) continue;
    if (IsHumanParticipant(p))
      ReadInput(p);
    else
      RepeatUpCpu(p);
  }
  RepeatUpStep();
  // Without a climber there is no race to run.
  if (ClimberAtTop() || !AnyClimber()) RepeatUpPlayStep = 3;
  RepeatUpScroll();
  RepeatUpDraw();
}

}  // namespace

int RepeatUpPlay() {
  switch (RepeatUpPlayStep) {
    case 0:
    case 1:
      RepeatUpDraw();
      ++RepeatUpPlayStep;
      return 0;
    case 2:
      PlayFrame();
      return 0;
    default:
      RepeatUpPlayStep = 0;
      RepeatUpDraw();
      return 1;
  }
}

int RepeatUpOutcome() {
  RepeatUpDraw();
  switch (RepeatUpOutcomeStep) {
    case 0:
      RepeatUpOutcomeStep = 1;
      return 0;
    case 1: {
      int32_t c1 = FindRole(1, kStoneClimber), c2 = FindRole(2, kStoneClimber);
      if (c1 > 0 && c2 > 0) {
        int32_t y1 = static_cast<int32_t>(ParticipantTable[c1].y);
        int32_t y2 = static_cast<int32_t>(ParticipantTable[c2].y);
        if (y1 < y2) AwardTeam(1, kWinnerCoins);
        if (y1 > y2) AwardTeam(2, kWinnerCoins);
      }
      RepeatUpOutcomeStep = 2;
      return 0;
    }
    default:
      RepeatUpOutcomeStep = 1;
      return 1;
  }
}

void RepeatUpDraw() {
  DrawRectangleShape(0, 0, 640, 480, MakeScreenColor(255, 255, 255), 1);
  for (int32_t team = 1; team <= 2; ++team) {
    int32_t c = static_cast<int32_t>(TeamScroll(team));
    for (int32_t k = 0; k < 30; ++k)
      DrawRectangleShape(320 * team - 320, 480 - 64 * (k + 1) - c, 320 * team, 480 - 64 * k - c,
                         MakeScreenColor(150 + 3 * k, 50 + 6 * k, 8 * k), 1);
  }
  for (int32_t p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    if (IsRole(p, kStoneClimber)) {
      int32_t c = static_cast<int32_t>(RepeatUpScrollOf(p));
      DrawGraphRotated(static_cast<int32_t>(r.x), static_cast<int32_t>(r.y) - c, 1.0, 0.0, ParticipantPicture(p, 1),
                       1, 0);
    } else if (IsRole(p, kStoneMover)) {
      int32_t c = static_cast<int32_t>(TeamScroll(r.team));
      const StoneRecord& s = StoneTable[p];
      DrawGraphRotated(static_cast<int32_t>(s.leftX), static_cast<int32_t>(s.leftY) - c, 1.0, 0.0, KeystonePicture,
                       1, 0);
      DrawGraphRotated(static_cast<int32_t>(s.rightX), static_cast<int32_t>(s.rightY) - c, 1.0, 0.0, KeystonePicture,
                       1, 0);
    }
  }
}

namespace {
constexpr MinigameSteps kSteps = {
    .step = &RepeatUpEntryStep,
    .numbering = &kMinigameStepsA,
    .load = Load,
    .setUp = SetUp,
    .draw = RepeatUpDraw,
    .play = RepeatUpPlay,
    .outcome = RepeatUpOutcome,
    .unload = Unload,
};
}  // namespace

int RepeatUpMain() { return RunMinigameSteps(kSteps); }
