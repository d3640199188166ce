// Minigame 19, quarter jump, and the quarter-view pictures it shares with
// quarter action.
#include "game/minigames/quarter_jump.h"

#include <cmath>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t QuarterGroundPicture = -1;
int32_t QuarterGroundWidth = 0, QuarterGroundHeight = 0;
int32_t QuarterCharacterCells[6][2] = {{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}};

int32_t QuarterJumpEntryStep = 0;
int32_t QuarterJumpPlayStep = 0;
int32_t QuarterJumpOutcomeStep = 0;
int32_t QuarterJumpTimer = 0;
int32_t QuarterJumpBarTimer = 0;
int32_t QuarterJumpWorld[kQuarterJumpX * kQuarterJumpZ * kQuarterJumpH][2] = {};
float QuarterJumpCellA = 0.0f;
float QuarterJumpCellH = 0.0f;
QuarterJumpBody QuarterJumpBodies[5] = {};
QuarterJumpObstacle QuarterJumpObstacles[kQuarterJumpObstacles] = {};

int32_t& QuarterJumpDirection(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& QuarterJumpRequest(int32_t p) { return ParticipantTable[p].ints[1]; }

namespace {

// The smallest block the tile steps and the world's cells can be built on.
constexpr int32_t kSmallestGround = 4;

const MinigameMedia kQuarterMedia[] = {
    MinigamePicture("media\\mini\\quarterjump\\ground2.png", &QuarterGroundPicture),
    MinigamePictureCells("media\\mini\\quarterjump\\quarter_タヴィシャ.png", QuarterCharacterCells[0], 2, 2, 1, 64, 64),
    MinigamePictureCells("media\\mini\\quarterjump\\quarter_ベルノーラ.png", QuarterCharacterCells[1], 2, 2, 1, 64, 64),
    MinigamePictureCells("media\\mini\\quarterjump\\quarter_クェンドリ.png", QuarterCharacterCells[2], 2, 2, 1, 64, 64),
    MinigamePictureCells("media\\mini\\quarterjump\\quarter_ファリッセ.png", QuarterCharacterCells[3], 2, 2, 1, 64, 64),
    MinigamePictureCells("media\\mini\\quarterjump\\quarter_オドウィナ.png", QuarterCharacterCells[4], 2, 2, 1, 64, 64),
    MinigamePictureCells("media\\mini\\quarterjump\\quarter_ジュレール.png", QuarterCharacterCells[5], 2, 2, 1, 64, 64),
};

constexpr int32_t kPlayFrames = 2700;
constexpr int32_t kWinnerCoins = 10;
constexpr float kJumpSpeed = 10.0f;
constexpr float kGravity = 0.5f;
constexpr float kRollSpeed = 2.0f;
constexpr int32_t kStunFrames = 60;
constexpr int32_t kBarEvery = 30;
constexpr float kBodyHalf = 15.0f;
constexpr float kOriginX = 384.0f, kOriginY = 176.0f;
float ProjectU = 0.0f, ProjectV = 0.0f;

bool IsLone(int32_t p) { return ParticipantTable[p].team == 1; }

float WorldWidth() { return QuarterJumpCellA * kQuarterJumpX; }
float WorldDepth() { return QuarterJumpCellA * kQuarterJumpZ; }

int32_t CellOf(float v, float size) { return static_cast<int32_t>(std::floor(v / size)); }

bool Solid(int32_t x, int32_t z, int32_t h) {
  int32_t i = QuarterJumpCellIndex(x, z, h);
  return i >= 0 && QuarterJumpWorld[i][0] == 1;
}

void BuildWorld() {
  for (int32_t h = 0; h < kQuarterJumpH; ++h)
    for (int32_t x = 0; x < kQuarterJumpX; ++x)
      for (int32_t z = 0; z < kQuarterJumpZ; ++z) {
        bool solid = h == 0 || (h <= 4 && x <= 8) || x == 0;
        QuarterJumpWorld[QuarterJumpCellIndex(x, z, h)][0] = solid ? 1 : 0;
        QuarterJumpWorld[QuarterJumpCellIndex(x, z, h)][1] = 0;
      }
}

void SetUpQuarterJump() {
  Vector2f unit = NormalizeVector(32.0f, 16.0f);
  ProjectU = unit.x;
  ProjectV = unit.y;
  QuarterJumpCellA = std::sqrt(32.0f * 32.0f + 16.0f * 16.0f);
  QuarterJumpCellH = static_cast<float>(QuarterGroundHeight / 4);
  BuildWorld();
  float a = QuarterJumpCellA, h = QuarterJumpCellH;
  for (int32_t p = 1; p <= 4; ++p) {
    QuarterJumpBody& b = QuarterJumpBodies[p];
    b = {};
    b.stance = 1;
    b.recompute = -1;
    b.height = 4.5f * h;
    if (IsLone(p)) {
      b.x = 2.5f * a;
      b.z = 2.5f * a;
      b.facing = 2;
    } else {
      int32_t lane = ParticipantTable[p].teamIndex;
      if (lane < 1 || lane > 3) lane = 2;
      b.x = 7.5f * a;
      b.z = (0.5f + static_cast<float>(lane)) * a;
      b.facing = 8;
    }
    QuarterJumpDirection(p) = 5;
    QuarterJumpRequest(p) = 0;
  }
  for (QuarterJumpObstacle& o : QuarterJumpObstacles) o = {};
  QuarterJumpBarTimer = 0;
  QuarterJumpTimer = kPlayFrames;
  QuarterJumpDraw();
}

int LoadQuarterJump() {
  int result = LoadQuarterPictures();
  if (result == 1) DrawGraphAt(0, 0, BackgroundPictures[1], 1);
  return result;
}

// A new obstacle of the kind at the point, in the first free slot; none
// when every slot is in use.
bool StartObstacle(int32_t kind, float x, float z, float height) {
  QuarterJumpObstacle* o = FirstFreeRecord(QuarterJumpObstacles, &QuarterJumpObstacle::active);
  if (o == nullptr) return false;
  *o = {};
  o->active = 1;
  o->kind = kind;
  o->x = x;
  o->z = z;
  o->height = height;
  return true;
}

void ReadInput(int32_t p) {
  QuarterJumpDirection(p) = 5;
  if (!IsHumanParticipant(p)) {
    QuarterJumpCpu(p);
    return;
  }
  if (IsLone(p)) {
    if (IsNewParticipantPress(p, kButtonA)) QuarterJumpRequest(p) = 1;
    if (IsNewParticipantPress(p, kButtonB)) QuarterJumpRequest(p) = 2;
    if (IsNewParticipantPress(p, kButtonC)) QuarterJumpRequest(p) = 3;
  } else {
    QuarterJumpRequest(p) = IsParticipantButtonHeld(p, kButtonA) ? 1 : 0;
  }
}

bool AllChallengersDown() {
  bool any = false;
  for (int32_t p = 1; p <= 4; ++p) {
    if (IsLone(p)) continue;
    any = true;
    if (QuarterJumpChallengerUp(p)) return false;
  }
  return any;
}

void PlayFrame() {
  for (int32_t p = 1; p <= 4; ++p) ReadInput(p);
  QuarterJumpStep();
  QuarterJumpDraw();
  if (QuarterJumpTimer == 0 || AllChallengersDown()) {
    QuarterJumpPlayStep = 3;
    return;
  }
  --QuarterJumpTimer;
  DrawNumber(QuarterJumpTimer / 60 + 1, 580, 32, 1.0);
}

// The hit box of an obstacle on the ground plane: a lane obstacle's square,
// or the bar across the whole depth of the world.
RectRecord ObstacleBox(const QuarterJumpObstacle& o) {
  if (o.kind == 2) return {o.x - 3.0f, -1.0f, o.x + 3.0f, WorldDepth() + 1.0f};
  return {o.x - 3.0f, o.z - 3.0f, o.x + 3.0f, o.z + 3.0f};
}

bool Touches(const QuarterJumpObstacle& o, const QuarterJumpBody& b) {
  auto between = [&b](float v) { return v > b.height && v < b.height + kBodyHalf; };
  if (!between(o.height + 3.0f) && !between(o.height - 3.0f)) return false;
  RectRecord body = {b.x - 7.5f, b.z - 7.5f, b.x + 7.5f, b.z + 7.5f};
  return HitRectRect(ObstacleBox(o), body);
}

void DrawBody(int32_t p) {
  QuarterJumpBody& b = QuarterJumpBodies[p];
  if (b.stance == 2 && (b.stun / 10) % 2 != 0 && QuarterJumpChallengerUp(p)) return;
  int32_t character = ParticipantTable[p].character;
  if (character < 0 || character > 5) character = 0;
  int32_t cell = b.facing == 8 || b.facing == 4 ? 1 : 0;
  int32_t turn = b.facing == 4 || b.facing == 6 ? 1 : 0;
  int32_t handle = QuarterCharacterCells[character][cell];
  int32_t ch = 0;
  QueryGraphSize(handle, nullptr, &ch);
  float sx, sy;
  QuarterJumpProject(b.x, b.z, b.height, 0, &sx, &sy);
  b.screenX = sx;
  b.screenY = sy;
  DrawCircleShape(static_cast<int32_t>(sx), static_cast<int32_t>(sy), 5, MakeScreenColor(0, 0, 0), 1);
  // A challenger who is down stays, faded.
  if (!QuarterJumpChallengerUp(p) && !IsLone(p)) SetDrawBlend(1, 96);
  DrawGraphRotated(static_cast<int32_t>(sx), static_cast<int32_t>(sy) - ch / 2 + 4, 1.0, 0.0, handle, 1, turn);
  SetDrawBlend(0, 255);
}

void DrawObstacle(const QuarterJumpObstacle& o) {
  float x1, y1, x2, y2;
  if (o.kind == 2) {
    QuarterJumpProject(o.x, 0.0f, o.height, 0, &x1, &y1);
    QuarterJumpProject(o.x, WorldDepth(), o.height, 0, &x2, &y2);
    DrawLineShape(static_cast<int32_t>(x1), static_cast<int32_t>(y1), static_cast<int32_t>(x2),
                  static_cast<int32_t>(y2), MakeScreenColor(0, 255, 255), 3);
    return;
  }
  // A lane obstacle: a rolling rock resting on its point.
  QuarterJumpProject(o.x, o.z, o.height, 0, &x1, &y1);
  DrawCircleShape(static_cast<int32_t>(x1), static_cast<int32_t>(y1) - 7, 8, MakeScreenColor(120, 60, 20), 1);
  DrawCircleShape(static_cast<int32_t>(x1), static_cast<int32_t>(y1) - 7, 8, MakeScreenColor(40, 20, 0), 0);
}

constexpr MinigameSteps kQuarterJump = {
    .step = &QuarterJumpEntryStep,
    .numbering = &kMinigameStepsA,
    .load = LoadQuarterJump,
    .setUp = SetUpQuarterJump,
    .draw = QuarterJumpDraw,
    .play = QuarterJumpPlay,
    .outcome = QuarterJumpOutcome,
    .unload = FreeQuarterPictures,
};

}  // namespace

int QuarterJumpMain() { return RunMinigameSteps(kQuarterJump); }

int LoadQuarterPictures() {
  if (LoadMinigameMedia(kQuarterMedia) < 0) return -1;
  QuarterGroundWidth = QuarterGroundHeight = 0;
  QueryGraphSize(QuarterGroundPicture, &QuarterGroundWidth, &QuarterGroundHeight);
  if (QuarterGroundWidth < kSmallestGround || QuarterGroundHeight < kSmallestGround) {
    WriteErrorLogFormat("media\\mini\\quarterjump\\ground2.png: the block is too small (%d x %d)", QuarterGroundWidth,
                        QuarterGroundHeight);
    FreeMinigameMedia(kQuarterMedia);
    return -1;
  }
  return 1;
}

// Every handle of the list, the cells of character 0 included.
void FreeQuarterPictures() { FreeMinigameMedia(kQuarterMedia); }

bool QuarterJumpChallengerUp(int32_t p) {
  return p >= 1 && p <= 4 && !IsLone(p) && QuarterJumpBodies[p].stuns < kQuarterJumpStunsDown;
}

int32_t QuarterJumpCellIndex(int32_t x, int32_t z, int32_t h) {
  if (x < 0 || x >= kQuarterJumpX || z < 0 || z >= kQuarterJumpZ || h < 0 || h >= kQuarterJumpH) return -1;
  return z + (h * kQuarterJumpX + x) * kQuarterJumpZ;
}

float QuarterJumpFloorUnder(float x, float z, float height) {
  if (QuarterJumpCellA <= 0.0f || QuarterJumpCellH <= 0.0f) return -1.0f;
  int32_t cx = CellOf(x, QuarterJumpCellA), cz = CellOf(z, QuarterJumpCellA);
  if (QuarterJumpCellIndex(cx, cz, 0) < 0) return -1.0f;
  int32_t top = CellOf(height, QuarterJumpCellH);
  if (top >= kQuarterJumpH) top = kQuarterJumpH - 1;
  for (int32_t h = top; h >= 0; --h)
    if (Solid(cx, cz, h)) return static_cast<float>(h + 1) * QuarterJumpCellH;
  return -1.0f;
}

void QuarterJumpProject(float x, float z, float height, int32_t pictureHeight, float* sx, float* sy) {
  *sx = -ProjectU * x + ProjectU * z + kOriginX;
  *sy = ProjectV * x + ProjectV * z - height + kOriginY - static_cast<float>(pictureHeight / 4);
}

void QuarterJumpStep() {
  float a = QuarterJumpCellA, h = QuarterJumpCellH;
  // 1. Walking: the direction stays 5, so nobody walks.
  for (int32_t p = 1; p <= 4; ++p) {
    QuarterJumpBody& b = QuarterJumpBodies[p];
    if (b.recompute != -1) continue;
    int32_t d = QuarterJumpDirection(p);
    float vx = 0.0f, vz = 0.0f;
    if (d == 4 || d == 1 || d == 2) vx = 2.0f;
    if (d == 8 || d == 9 || d == 6) vx = -2.0f;
    if (d == 2 || d == 3 || d == 6) vz = 2.0f;
    if (d == 4 || d == 7 || d == 8) vz = -2.0f;
    Vector2f v = NormalizeVector(vx, vz);
    b.vx = v.x * 2.0f;
    b.vz = v.y * 2.0f;
  }
  // 2. Requests.
  for (int32_t p = 1; p <= 4; ++p) {
    QuarterJumpBody& b = QuarterJumpBodies[p];
    int32_t& request = QuarterJumpRequest(p);
    if (IsLone(p)) {
      if (request < 1 || request > 3) continue;
      bool near = false;
      for (const QuarterJumpObstacle& o : QuarterJumpObstacles) near = near || std::fabs(o.x - b.x) < 2.0f;
      if (near && StartObstacle(1, 2.5f * a, (0.5f + static_cast<float>(request)) * a, 5.5f * h)) request = 0;
      continue;
    }
    if (!QuarterJumpChallengerUp(p)) continue;
    if (b.stance == 1) {
      if (b.jumping == 0 && request == 1) {
        b.jumping = 1;
        b.vh = kJumpSpeed;
      } else if (b.jumping == 1 && request == 0 && b.vh > 0.0f) {
        b.vh = 0.0f;
      }
    } else if (b.stance == 2 && ++b.stun > kStunFrames - 1) {
      b.stance = 1;
      b.stun = 0;
    }
  }
  // 3. Gravity and landing; 4. the world's edges; 5. the move.
  for (int32_t p = 1; p <= 4; ++p) {
    QuarterJumpBody& b = QuarterJumpBodies[p];
    b.vh -= kGravity;
    float floor = QuarterJumpFloorUnder(b.x, b.z, b.height);
    bool landed = b.height + b.vh < floor;
    if (landed) {
      b.vh = floor - b.height;
      if (QuarterJumpRequest(p) == 0 || IsLone(p)) b.jumping = 0;
    }
    if (b.x + b.vx < 0.0f || b.x + b.vx > WorldWidth()) {
      b.x = b.x + b.vx < 0.0f ? 0.0f : WorldWidth() - 1.0f;
      b.vx = 0.0f;
    }
    if (b.z + b.vz < 0.0f || b.z + b.vz > WorldDepth()) {
      b.z = b.z + b.vz < 0.0f ? 0.0f : WorldDepth() - 1.0f;
      b.vz = 0.0f;
    }
    // A step into a solid cell is refused.
    if (Solid(CellOf(b.x + b.vx + (b.vx > 0 ? kBodyHalf : -kBodyHalf), a), CellOf(b.z, a), CellOf(b.height + 1.0f, h)))
      b.vx = 0.0f;
    if (Solid(CellOf(b.x, a), CellOf(b.z + b.vz + (b.vz > 0 ? kBodyHalf : -kBodyHalf), a), CellOf(b.height + 1.0f, h)))
      b.vz = 0.0f;
    b.x += b.vx;
    b.z += b.vz;
    b.height += b.vh;
    if (landed) b.vh = 0.0f;
  }
  // 6. The bar.
  if (++QuarterJumpBarTimer > kBarEvery - 1) {
    QuarterJumpBarTimer = 0;
    StartObstacle(2, 0.0f, 0.5f * a, 9.5f * h);
  }
  // 7. Obstacles roll, fall and leave the world.
  for (QuarterJumpObstacle& o : QuarterJumpObstacles) {
    if (o.active == 0) continue;
    o.vx = kRollSpeed;
    o.vz = 0.0f;
    o.vh -= kGravity;
    float floor = QuarterJumpFloorUnder(o.x, o.z, o.height);
    if (floor < 0.0f) floor = 0.0f;
    bool landed = o.height + o.vh < floor;
    if (landed) o.vh = floor - o.height;
    o.x += o.vx;
    o.z += o.vz;
    o.height += o.vh;
    if (landed) o.vh = 0.0f;
    if (o.x > WorldWidth()) o.active = 0;
  }
  // 8. Hits: a challenger standing up is stunned by the first obstacle it touches.
  for (int32_t p = 1; p <= 4; ++p) {
    QuarterJumpBody& b = QuarterJumpBodies[p];
    if (!QuarterJumpChallengerUp(p) || b.stance != 1) continue;
    for (const QuarterJumpObstacle& o : QuarterJumpObstacles) {
      if (o.active == 0 || !Touches(o, b)) continue;
      b.stance = 2;
      b.stun = 0;
      ++b.stuns;
      break;
    }
  }
}

void QuarterJumpCpu(int32_t p) {
  const QuarterJumpBody& b = QuarterJumpBodies[p];
  if (IsLone(p)) {
    QuarterJumpRequest(p) = GetRandomNumber(2) + 1;
    return;
  }
  // A challenger jumps when an obstacle comes close in its lane; the bar
  // crosses every lane.
  int32_t request = 0;
  for (const QuarterJumpObstacle& o : QuarterJumpObstacles) {
    if (o.active == 0) continue;
    bool inLane = o.kind == 2 || std::fabs(o.z - b.z) < 5.0f;
    if (inLane && o.x > b.x - 32.0f && o.x < b.x - 16.0f) request = 1;
  }
  QuarterJumpRequest(p) = request;
}

void QuarterJumpDraw() {
  DrawGraphAt(0, 0, BackgroundPictures[1], 1);
  float a = QuarterJumpCellA, h = QuarterJumpCellH;
  // Back to front: by x + z, then upwards.
  for (int32_t s = 0; s <= kQuarterJumpX + kQuarterJumpZ - 2; ++s)
    for (int32_t x = 0; x < kQuarterJumpX; ++x) {
      int32_t z = s - x;
      if (z < 0 || z >= kQuarterJumpZ) continue;
      for (int32_t k = 0; k < kQuarterJumpH; ++k) {
        if (!Solid(x, z, k)) continue;
        float sx, sy;
        QuarterJumpProject((static_cast<float>(x) + 0.5f) * a, (static_cast<float>(z) + 0.5f) * a,
                           static_cast<float>(k) * h, 0, &sx, &sy);
        DrawGraphRotated(static_cast<int32_t>(sx), static_cast<int32_t>(sy), 1.0, 0.0, QuarterGroundPicture, 1, 0);
      }
    }
  for (const QuarterJumpObstacle& o : QuarterJumpObstacles)
    if (o.active != 0 && o.kind == 2) DrawObstacle(o);
  // Participants and lane obstacles, the farther first.
  for (int32_t s = 0; s <= 2 * (kQuarterJumpX + kQuarterJumpZ); ++s) {
    for (const QuarterJumpObstacle& o : QuarterJumpObstacles)
      if (o.active != 0 && o.kind == 1 && static_cast<int32_t>((o.x + o.z) / a * 2.0f) == s) DrawObstacle(o);
    for (int32_t p = 1; p <= 4; ++p) {
      const QuarterJumpBody& b = QuarterJumpBodies[p];
      if (static_cast<int32_t>((b.x + b.z) / a * 2.0f) == s) DrawBody(p);
    }
  }
  // Each challenger's stuns left.
  int32_t white = MakeScreenColor(255, 255, 255);
  for (int32_t p = 1, row = 0; p <= 4; ++p) {
    if (IsLone(p)) continue;
    int32_t left = kQuarterJumpStunsDown - QuarterJumpBodies[p].stuns;
    DrawFormatTextToHandle(16, 400 + 24 * row++, white, FontHandlesBySize[19], "%dP %s", p,
                           left >= 3 ? "●●●" : left == 2 ? "●●" : left == 1 ? "●" : "×");
  }
}

int QuarterJumpPlay() {
  switch (QuarterJumpPlayStep) {
    case 0:
    case 1:
      QuarterJumpDraw();
      ++QuarterJumpPlayStep;
      break;
    case 2:
      PlayFrame();
      break;
    case 3:
      QuarterJumpDraw();
      QuarterJumpPlayStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

int QuarterJumpOutcome() {
  QuarterJumpDraw();
  switch (QuarterJumpOutcomeStep) {
    case 0:
      QuarterJumpOutcomeStep = 1;
      break;
    case 1: {
      bool up = false;
      for (int32_t p = 1; p <= 4; ++p) up = up || QuarterJumpChallengerUp(p);
      AwardTeam(up ? 2 : 1, kWinnerCoins);
      QuarterJumpOutcomeStep = 2;
      break;
    }
    case 2:
      QuarterJumpOutcomeStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}
