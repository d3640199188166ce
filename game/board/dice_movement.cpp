// The die, the move, the forks and the CPU routes.
#include "game/board/dice_movement.h"

#include <cmath>

#include "game/board/board_helpers.h"
#include "game/board/board_map.h"
#include "game/board/board_view.h"
#include "game/board/magic_square_slot.h"
#include "game/board/mansion_events.h"
#include "game/board/mischief_shop.h"
#include "game/board/party_scene.h"
#include "game/board/pass_events.h"
#include "game/board/round_bonus.h"
#include "game/board/shops.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t FatedOneCountdown[5] = {};

int32_t DieState = 1;
int32_t DieValue = 0;
int32_t CpuDieFrames = 0;

int32_t MoveState = 0;
int32_t MoveSquare = 0;
int32_t MoveSquaresWalked = 0;
int32_t StepState = 2;
float StepSpeed = 0.0f;

int32_t ForkState = 0;
int32_t ForkChoice = -1;
int32_t ForkLastChoice = -1;

int32_t PassEventState = 2;
int32_t PassEventKind = -1;

CoinPopupRecord CoinPopups[kCoinPopupCount] = {};

namespace {

constexpr float kPi = 3.14159265358979f;

void PlayEffect(int32_t slot) { PlaySoundHandle(SoundEffectHandles[slot], 1, 1); }

bool IsSquare(int32_t square) { return square > 0 && square < kSquareCount; }
int32_t KindOf(int32_t square) { return IsSquare(square) ? SquareTable[square].kind : 0; }
// Path and event squares: a piece passes them without spending a point.
bool IsPassKind(int32_t kind) { return kind >= kSquareWay && kind <= kSquareFalse; }

// ---------------------------------------------------------------- route walks

// Which links a route walk may follow (map 2's walk to the star shop keeps
// to one floor and leaves warps and stones aside).
using LinkFilter = bool (*)(int32_t square, int32_t floor);
bool AnyLink(int32_t, int32_t) { return true; }
bool SameFloorStep(int32_t square, int32_t floor) {
  int32_t kind = KindOf(square);
  return kind != kSquareWarp && kind != kSquareStoneShop && GetSquareFloor(square) == floor;
}

// The one link of the square that is not 0, not `from` and passes the
// filter; 0 when there is none or more than one (a dead end or a fork).
int32_t OnlyOnwardLink(int32_t square, int32_t from, LinkFilter filter, int32_t floor) {
  if (!IsSquare(square)) return 0;
  int32_t onward = 0;
  for (int32_t link : SquareTable[square].link) {
    if (link == 0 || link == from || !filter(link, floor)) continue;
    if (onward != 0) return 0;
    onward = link;
  }
  return onward;
}

// The squares from the candidate (counted 1) to the first star shop; 0 when
// a fork or a dead end comes first, or the walk is too long.
int32_t DistanceToStarShop(int32_t from, int32_t candidate, LinkFilter filter, int32_t floor) {
  int32_t previous = from, square = candidate;
  for (int32_t distance = 1; distance <= kRouteWalkLimit; ++distance) {
    if (KindOf(square) == kSquareStarShop) return distance;
    int32_t next = OnlyOnwardLink(square, previous, filter, floor);
    if (next == 0) return 0;
    previous = square;
    square = next;
  }
  return 0;
}

// Where a move of `points` through the candidate would end, counting only
// squares that spend a point; 0 ("open") when a fork or a dead end comes
// first, or the walk is too long.
int32_t PredictLanding(int32_t from, int32_t candidate, int32_t points) {
  int32_t previous = from, square = candidate;
  int32_t used = IsPassKind(KindOf(square)) ? 0 : 1;
  for (int32_t walked = 1; used < points; ++walked) {
    if (walked >= kRouteWalkLimit) return 0;
    int32_t next = OnlyOnwardLink(square, previous, AnyLink, 0);
    if (next == 0) return 0;
    previous = square;
    square = next;
    if (!IsPassKind(KindOf(square))) ++used;
  }
  return square;
}

int32_t CandidateCount() {
  int32_t count = 0;
  for (int32_t candidate : ForkCandidates)
    if (candidate != 0) ++count;
  return count;
}

int32_t UniformCandidate() { return ForkCandidates[GetRandomNumber(CandidateCount() - 1)]; }

bool IsCandidate(int32_t square) {
  for (int32_t candidate : ForkCandidates)
    if (candidate != 0 && candidate == square) return true;
  return false;
}

// The highest-numbered star shop square, 0 when the board has none.
int32_t StarShopSquare() {
  for (int32_t s = kSquareCount - 1; s > 0; --s)
    if (SquareTable[s].kind == kSquareStarShop) return s;
  return 0;
}

// A candidate whose predicted landing is not red (open routes count as not
// red); uniform among all when every one lands on red.
int32_t AvoidRed(const PlayerRecord& record) {
  int32_t safe[4];
  int32_t count = 0;
  for (int32_t candidate : ForkCandidates) {
    if (candidate == 0) continue;
    int32_t landing = PredictLanding(record.square, candidate, record.moveCount);
    if (landing == 0 || KindOf(landing) != kSquareRed) safe[count++] = candidate;
  }
  if (count == 0) return UniformCandidate();
  return safe[GetRandomNumber(count - 1)];
}

// The candidate nearest the star shop (the first on ties); uniform when no
// route leads there without a fork.
int32_t NearestToStarShop(const PlayerRecord& record, LinkFilter filter, int32_t floor, bool skipWarps) {
  int32_t best = 0, bestDistance = 0;
  for (int32_t candidate : ForkCandidates) {
    if (candidate == 0) continue;
    if (skipWarps && (KindOf(candidate) == kSquareWarp || GetSquareFloor(candidate) != floor)) continue;
    int32_t distance = DistanceToStarShop(record.square, candidate, filter, floor);
    if (distance > 0 && (best == 0 || distance < bestDistance)) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best != 0 ? best : UniformCandidate();
}

int32_t RouteOnMap3(const PlayerRecord& record) {
  if (record.coins < kStarPrice) return GetRandomNumber(4) != 0 ? AvoidRed(record) : UniformCandidate();
  int32_t shop = StarShopSquare();
  if (shop != 0 && IsCandidate(shop)) return shop;
  return NearestToStarShop(record, AnyLink, 0, false);
}

int32_t RouteOnMap2(const PlayerRecord& record) {
  if (record.coins < kStarPrice) return AvoidRed(record);
  int32_t shop = StarShopSquare();
  if (shop != 0 && IsCandidate(shop)) return shop;
  int32_t floor = GetSquareFloor(record.square);
  if (floor == GetSquareFloor(shop)) return NearestToStarShop(record, SameFloorStep, floor, true);
  for (int32_t candidate : ForkCandidates)
    if (candidate != 0 && GetSquareFloor(candidate) != floor) return candidate;
  for (int32_t candidate : ForkCandidates)
    if (candidate != 0 && KindOf(candidate) == kSquareWarp &&
        GetSquareFloor(SquareTable[candidate].link[3]) != floor)
      return candidate;
  for (int32_t candidate : ForkCandidates)
    if (candidate != 0 && KindOf(candidate) != kSquareWarp) return candidate;
  return GetRandomNumber(1) == 0 ? UniformCandidate() : 0;
}

// ---------------------------------------------------------------- the fork

// The square's links in slot order without 0 and the square the piece came
// from; when that leaves nothing, the way back. Returns the count.
int32_t CollectForkCandidates(const PlayerRecord& record) {
  for (int32_t& candidate : ForkCandidates) candidate = 0;
  if (!IsSquare(record.square)) return 0;
  int32_t count = 0;
  bool back = false;
  for (int32_t link : SquareTable[record.square].link) {
    if (link == 0) continue;
    if (link == record.prevSquare) {
      back = true;
    } else {
      ForkCandidates[count++] = link;
    }
  }
  if (count == 0 && back) ForkCandidates[count++] = record.prevSquare;
  return count;
}

bool HasAnyLink(int32_t square) {
  if (!IsSquare(square)) return false;
  for (int32_t link : SquareTable[square].link)
    if (link != 0) return true;
  return false;
}

// The pad digit's angle (up 0, clockwise), or a negative value for none.
float PadDirectionAngle(int32_t digit) {
  switch (digit) {
    case 8:
      return 0.0f;
    case 9:
      return kPi / 4;
    case 6:
      return kPi / 2;
    case 3:
      return 3 * kPi / 4;
    case 2:
      return kPi;
    case 1:
      return 5 * kPi / 4;
    case 4:
      return 3 * kPi / 2;
    case 7:
      return 7 * kPi / 4;
    default:
      return -1.0f;
  }
}

void DrawForkArrows(const PlayerRecord& record) {
  if (ForkChoice != ForkLastChoice) PlayEffect(0);
  ForkLastChoice = ForkChoice;
  int32_t x = static_cast<int32_t>(record.x - CameraX);
  int32_t y = static_cast<int32_t>(record.y - CameraY);
  SetDrawBlend(1, 96);
  for (int32_t i = 0; i < 4; ++i)
    if (ForkCandidates[i] != 0) DrawGraphRotatedAbout(x, y, 16, 64, 1.5, ForkArrowAngles[i], ArrowPicture, 1, 0);
  SetDrawBlend(0, 255);
  if (ForkChoice >= 0 && ForkChoice < 4 && ForkCandidates[ForkChoice] != 0)
    DrawGraphRotatedAbout(x, y, 16, 64, 1.5, ForkArrowAngles[ForkChoice], ArrowPicture, 1, 0);
  DrawHelpLine(CurrentMapId == 4 ? "方向キー：方向を決める　Ａ：移動"
                                 : "方向キー：方向を決める　Ａ：移動　Ｃホールド：マップを見る　Ｄ：全体図");
}

// The fork's choice is made: the candidate, with its sound.
int32_t TakeForkChoice() {
  ForkState = 0;
  PlayEffect(1);
  return ForkCandidates[ForkChoice];
}

// ---------------------------------------------------------------- the move

int32_t FreeCoinPopup(int32_t besides) {
  for (int32_t i = 0; i < kCoinPopupCount; ++i)
    if (CoinPopups[i].active == 0 && i != besides) return i;
  return -1;
}

// The passing items take coins from every other player on MoveSquare: item
// 23 held, item 11 used this turn, or both. A transfer takes at most what
// the other player holds, and runs on two pop-up records (one for each
// player) or, when two are not free, not at all.
void StartCoinSteals(int32_t player, const PlayerRecord& record) {
  bool held = record.items[2] == 23;
  bool used = record.itemInUse == 11;
  if (!held && !used) return;
  bool up = RoundEffect == kRoundEffectItemsUp;
  int32_t amount = held && used ? (up ? 11 : 7) : used ? (up ? 8 : 5) : (up ? 3 : 2);
  for (int32_t other = 1; other <= 4; ++other) {
    if (other == player || PlayerTable[other - 1].square != MoveSquare) continue;
    int32_t taken = -CoinChangeWithinHeld(other, -amount);
    if (taken == 0) continue;
    int32_t gain = FreeCoinPopup(-1);
    int32_t loss = FreeCoinPopup(gain);
    if (gain < 0 || loss < 0) continue;
    CoinPopups[gain] = CoinPopupRecord{1, taken, 0, 0, player};
    CoinPopups[loss] = CoinPopupRecord{1, -taken, 0, 0, other};
  }
}

void StepCoinPopups() {
  for (CoinPopupRecord& popup : CoinPopups) {
    if (popup.active == 0) continue;
    if (AnimateCoinChangeWithState(popup.amount, popup.player, &popup.counter, &popup.state) == 1) popup.active = 0;
  }
}

// The move ends on the square the piece stands on.
void EndMoveHere(PlayerRecord& record) {
  MoveSquare = record.square;
  record.moveCount = 0;
  if (IsSquare(record.square)) SquareTable[record.square].occupancy += 1;
  record.facing = 2;
  MoveState = 7;
}

bool AnyCoinPopupActive() {
  for (const CoinPopupRecord& popup : CoinPopups)
    if (popup.active != 0) return true;
  return false;
}

}  // namespace

int RollDie(int32_t player, int32_t x, int32_t y) {
  PlayerRecord* record = GetPlayer(player);
  if (DieState != 2) {
    DieValue = 0;
    CpuDieFrames = 0;
    DieState = 2;
    return 0;
  }
  bool roll;
  if (record != nullptr && record->cpuFlag != 0) {
    CpuDieFrames += 1;
    roll = CpuDieFrames > 45;
    if (roll) CpuDieFrames = 0;
  } else {
    roll = IsNewButtonPress(player, kButtonA);
  }
  if (!roll) {
    DrawDieNumber(GetRandomNumber(9) + 1, x, y);  // a face every frame
    return 0;
  }
  int32_t d = GetRandomNumber(9) + 1;
  int32_t held = record != nullptr ? record->items[2] : 0;
  bool up = RoundEffect == kRoundEffectItemsUp;
  if (held == 24) {
    d += up ? 4 : 3;
  } else if (held == 25) {
    d -= up ? 3 : 2;
    if (d < 2) d = 1;
  }
  if (player >= 1 && player <= 4 && FatedOneCountdown[player] == 1) d = 1;
  DieValue = d;
  DrawDieNumber(d, x, y);
  if (record != nullptr && IsSquare(record->square)) SquareTable[record->square].occupancy -= 1;
  DieState = 1;
  return d;
}

int MovePiece() {
  int32_t player = CurrentPlayer;
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) return 0;
  DrawTurnBoard(player, true, false);
  StepCoinPopups();
  switch (MoveState) {
    case 0:
    case 1:
    case 2:
      MoveState += 1;
      return 0;
    case 3:
      MoveSquare = record->square;
      MoveSquaresWalked = 0;
      MoveState = record->moveCount != 0 ? 4 : 7;
      return 0;
    case 4:
      if (!HasAnyLink(record->square)) {
        // A square with no way on: the move ends here.
        EndMoveHere(*record);
        return 0;
      }
      MoveSquare = ChooseForkDirection(player);
      if (MoveSquare != 0) MoveState = 5;
      return 0;
    case 5: {
      int r = StepPiece(player);
      if (r == 0) return 0;
      if (WanderingSquare != 0 && MoveSquare == WanderingSquare) {
        SquareTable[MoveSquare].kind = kSquarePitfall;
        r = 3;
      }
      // A board whose squares lead round without spending a point (a path
      // square linked to itself, a ring of event squares) would keep the
      // piece walking for ever: the move ends where it stands.
      if (++MoveSquaresWalked >= kMoveWalkLimit && r != 1) {
        WriteErrorLogFormat("移動が %d マスに達したので、マス %d で止まります", kMoveWalkLimit, MoveSquare);
        EndMoveHere(*record);
        return 0;
      }
      if (r == 1) {
        MoveState = 7;
      } else if (r == 3) {
        MoveState = 6;
      } else {
        StartCoinSteals(player, *record);
        MoveState = 4;
      }
      return 0;
    }
    case 6: {
      int r = RunPassThroughEvent(player);
      if (r == -1) {
        MoveState = 7;
      } else if (r == 1) {
        MoveState = 4;
      }
      return 0;
    }
    case 7:
      if (!AnyCoinPopupActive()) MoveState = 8;
      return 0;
    case 8:
      MoveState = 3;
      return MoveSquare;
    default:  // a state no step leads to: the move starts over
      MoveState = 3;
      return 0;
  }
}

int ChooseForkDirection(int32_t player) {
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr) return 0;
  switch (ForkState) {
    case 0: {
      for (float& angle : ForkArrowAngles) angle = -9.0f;
      ForkChoice = -1;
      ForkLastChoice = -1;
      int32_t count = CollectForkCandidates(*record);
      if (count == 1) return ForkCandidates[0];
      if (count > 1) ForkState = 1;
      return 0;
    }
    case 1: {
      const SquareRecord& here = SquareTable[record->square];
      for (int32_t i = 0; i < 4; ++i) {
        if (ForkCandidates[i] == 0) continue;
        const SquareRecord& there = SquareTable[ForkCandidates[i]];
        ForkArrowAngles[i] = std::atan2(there.y - here.y, there.x - here.x) + kPi / 2;
      }
      ForkState = 2;
      return 0;
    }
    case 2: {
      int32_t chosen = 0;
      if (record->cpuFlag != 0) {
        int32_t& frames = CpuWaitFrames[kCpuWaitFork];
        frames += 1;
        if (frames == 30) {
          int32_t target = FindCpuRoute(player);
          ForkChoice = -1;
          for (int32_t i = 0; i < 4; ++i)
            if (target != 0 && ForkCandidates[i] == target) ForkChoice = i;
        }
        if (frames >= 60) {
          frames = 0;  // without a choice the route is asked again
          if (ForkChoice >= 0) chosen = TakeForkChoice();
        }
      } else {
        float target = PadDirectionAngle(GetPadDirection(player));
        if (target >= 0.0f) {
          for (int32_t i = 0; i < 4; ++i)
            if (ForkCandidates[i] == 0) ForkArrowAngles[i] = target + kPi;
          ForkChoice = NearestAngleIndex(target);
        }
        if (IsNewButtonPress(player, kButtonA) && ForkChoice >= 0) {
          chosen = TakeForkChoice();
        } else if (int key = MapViewKeyPressed(player); key != 0) {
          ForkState = key == 1 ? 3 : 4;
        }
      }
      DrawForkArrows(*record);
      return chosen;
    }
    case 3:
      if (RunMapView(player) == 1) ForkState = 2;
      return 0;
    case 4:
      if (RunWholeMapView(player) == 1) ForkState = 2;
      return 0;
    default:
      ForkState = 0;
      return 0;
  }
}

int FindCpuRoute(int32_t player) {
  const PlayerRecord* record = GetPlayer(player);
  if (record == nullptr || CandidateCount() == 0) return 0;
  // Every CPU level follows the level-1 policy; level 0 is a human's.
  if (record->cpuLevel == 0) return 0;
  switch (CurrentMapId) {
    case 2:
      return RouteOnMap2(*record);
    case 3:
      return RouteOnMap3(*record);
    default:
      return UniformCandidate();
  }
}

int StepPiece(int32_t player) {
  PlayerRecord* record = GetPlayer(player);
  if (record == nullptr || !IsSquare(MoveSquare) || !IsSquare(record->square)) return 1;
  const SquareRecord& from = SquareTable[record->square];
  SquareRecord& to = SquareTable[MoveSquare];
  if (StepState != 3) {
    float dx = to.x - from.x, dy = to.y - from.y;
    float speed = std::sqrt(dx * dx + dy * dy) / 45.0f;
    StepSpeed = speed < 3.0f ? 3.0f : speed > 4.0f ? 4.0f : speed;
    Vector2f unit = GetUnitVector(dx, dy);
    record->x += unit.x * StepSpeed;
    record->y += unit.y * StepSpeed;
    float angle = std::atan2(dy, dx);
    if (angle > kPi / 4 && angle < 3 * kPi / 4) {
      record->facing = 2;
    } else if (angle > -3 * kPi / 4 && angle < -kPi / 4) {
      record->facing = 8;
    } else if (angle >= -kPi / 4 && angle <= kPi / 4) {
      record->facing = 6;
    } else {
      record->facing = 4;
    }
    float near = StepSpeed * 1.2f;
    if (GetDistanceSquared(record->x, record->y, to.x, to.y) <= near * near) {
      record->x = to.x;
      record->y = to.y;
      StepState = 3;
    }
    CenterCameraOnPlayer(player);
    return 0;
  }
  record->prevSquare = record->square;
  record->square = MoveSquare;
  record->x = to.x;
  record->y = to.y;
  StepState = 2;
  if (IsPassKind(to.kind)) return 3;
  record->moveCount -= 1;
  if (record->moveCount > 0) {
    PlayEffect(7);
    return 2;
  }
  to.occupancy += 1;
  record->facing = 2;
  return 1;
}

int RunPassThroughEvent(int32_t player) {
  switch (PassEventState) {
    case 0:
      PassEventState = 1;
      return 0;
    case 1:
      PassEventState = 2;
      return 0;
    case 2:
      break;
    case 3:
      PassEventState = 2;
      return 1;
    default:
      PassEventState = 2;
      return 0;
  }
  const PlayerRecord* record = GetPlayer(player);
  bool cpu = record != nullptr && record->cpuFlag != 0;
  // The event keeps the kind its square had when it started (the star sale
  // moves the star shop away, the warp changes the square).
  if (PassEventKind < 0) PassEventKind = KindOf(MoveSquare);
  const int32_t kind = PassEventKind;
  bool done;
  switch (kind) {
    case kSquareStarShop:
      done = RunStarSale(CurrentMapId, player) == 1;
      break;
    case kSquareItemShop:
      done = RunItemShop(player) == 1;
      break;
    case kSquareMischiefShop:
      done = (cpu ? RunCpuMischiefShop(player) : RunMischiefShop(player)) == 1;
      break;
    case kSquareRoundBonus:
      done = RunRoundBonus(player) == 1;
      break;
    case kSquareMushroom:
      done = RunMushroomPickUp(player) != 0;
      break;
    case kSquareOvrelle:
      done = RunOvrelleHouse(player) != 0;
      break;
    case kSquareStoneShop:
      done = (cpu ? RunCpuStoneColourShop(player) : RunStoneColourShop(player)) == 1;
      break;
    case kSquareWarp:
      done = RunWarpSquare(player) == 1;
      break;
    case kSquareBanquet:
      done = RunBanquet(player) == 1;
      break;
    case kSquarePitfall:
      done = RunPitfall(player) == 1;
      if (done) PassEventKind = -1;
      return done ? -1 : 0;
    case kSquareZanberi:
      done = RunZanberiCoinEvent(player) == 1;
      break;
    case kSquareFalse:
      done = RunFalseSquare(player) == 1;
      if (done) PassEventKind = -1;
      return done ? 1 : 0;
    default:  // a path square: on at once, and the next event starts a frame later
      PassEventKind = -1;
      PassEventState = 1;
      return 1;
  }
  if (done) {
    PassEventKind = -1;
    PassEventState = 3;
  }
  return 0;
}
