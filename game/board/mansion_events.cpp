// The mansion events of map 2.
#include "game/board/mansion_events.h"

#include <cmath>

#include "game/board/board_map.h"
#include "game/board/board_view.h"
#include "game/board/dice_movement.h"
#include "game/board/event_dialogue.h"
#include "game/board/landing_effects.h"
#include "game/board/party_scene.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"

int32_t StoneShopState = 0;
int32_t CpuStoneShopState = 0;
int32_t WarpState = 0;
int32_t MasterMeetingState = 0;
int32_t CpuMasterMeetingState = 0;
int32_t StarDestructionState = 0;
int32_t CpuStarDestructionState = 0;

int32_t WarpDestination = 0;
int32_t WarpFrames = 0;
float WarpCameraSpeed = 0.0f;
int32_t WarpEvent = 0;
int32_t StarDestructionVictim = 0;
int32_t MasterMetInThisRun = 0;

namespace {

// The working values of one event: its page, choice and text id.
struct MansionWork {
  EventPageRecord page;
  EventChoiceRecord choice;
  int32_t textId;
  int32_t counter;  // the pages said, or the frames of the burst
};

void StartWork(MansionWork& w) {
  w = MansionWork{};
  w.textId = 1;
  RestartEventText();
}

// The line under way, typed in the choice window's area.
int Line(MansionWork& w, const char* text, int32_t player) { return RunEventLine(&w.page, w.textId, text, player); }

// A text shown (not waited on) while a choice is made.
void ShowText(const MansionWork& w, const char* text, int32_t player) {
  DrawMessageText(kEventTextRight, w.textId, kEventTextLeft, kEventTextTop, kEventTextBottom, kEventTextSize, text,
                  player);
}

PlayerRecord& Player(int32_t player) { return PlayerTable[(player >= 1 && player <= 4 ? player : 1) - 1]; }

// ---------------------------------------------------------------- the stone colour shop

struct StoneShopLines {
  const char* greeting;
  const char* question;
  const char* declined;
  const char* tooFew;
  const char* farewell;
};

const StoneShopLines kHumanStoneLines = {
    "何かしら@F",
    "５[点]払えば賢者の石の色を変えてあげるわよ@N",
    "そう、じゃあ私は本の続きを読むから@F",
    "・・・[点]が足りないわ@R（￢＿￢）@F",
    "じゃあ私は本の続きを読むから@F",
};
const StoneShopLines kCpuStoneLines = {
    "@A何かしら@N",
    "@A５[点]払えば賢者の石の色を変えてあげるわよ@N",
    "@Aそう、じゃあ私は本の続きを読むから@N",
    "@A・・・[点]が足りないわ@R（￢＿￢）@N",
    "@Aじゃあ私は本の続きを読むから@N",
};

MansionWork StoneWork{};
MansionWork CpuStoneWork{};

int StoneColourShop(int32_t& state, MansionWork& w, int32_t player, bool cpu) {
  const StoneShopLines& lines = cpu ? kCpuStoneLines : kHumanStoneLines;
  PlayerRecord& record = Player(player);
  switch (state) {
    case 0:
    case 1:  // idle frames, on the first visit only
      ++state;
      return 0;
    case 2:
      StartWork(w);
      state = 3;
      return 0;
    case 3:
      if (DrawChoiceWindow(1, 0) == 1) state = 4;
      return 0;
    case 4:
      DrawChoiceWindow(2, kStoneShopPortrait);
      if (Line(w, lines.greeting, player) == 1) {
        PlayEventSound(1);
        // A CPU pays when it has more than 5 coins, 2 chances in 11.
        int32_t decision = 1;
        if (cpu && record.coins > kStoneColourFee && GetRandomNumber(10) < 2) decision = 0;
        ResetEventChoice(&w.choice, decision);
        ++w.textId;
        state = 5;
      }
      return 0;
    case 5: {
      DrawChoiceWindow(2, kStoneShopPortrait);
      ShowText(w, lines.question, player);
      int choice = RunEventChoice(&w.choice, player, "払う", "払わない");
      if (choice == 0) return 0;
      ++w.textId;
      if (choice == 2) {
        state = 6;
      } else if (record.coins < kStoneColourFee) {
        PlayEventSound(1);
        state = 7;
      } else {
        record.coins -= kStoneColourFee;
        PlayEventSound(13);
        ReshuffleWarpPairs();
        state = 8;
      }
      return 0;
    }
    case 6:
      DrawChoiceWindow(2, kStoneShopPortrait);
      if (Line(w, lines.declined, player) == 1) state = 9;
      return 0;
    case 7:
      DrawChoiceWindow(2, kStoneShopPortrait);
      if (Line(w, lines.tooFew, player) == 1) {
        ++w.textId;
        state = 8;
      }
      return 0;
    case 8:
      DrawChoiceWindow(2, kStoneShopPortrait);
      if (Line(w, lines.farewell, player) == 1) state = 9;
      return 0;
    default:
      if (DrawChoiceWindow(3, 0) == 1) {
        state = 2;
        return 1;
      }
      return 0;
  }
}

// ---------------------------------------------------------------- the master

const char* const kHumanMasterPages[6] = {
    "おめでとう、あなたはこの館の主に出会うことが出来たわ@F",
    "褒美としていいことを教えてあげようかしら@F",
    "あなたは次の次の目で１が出る@F",
    "あなたは運命に囚われている@F",
    "精々もがいて見せなさい@R私を楽しませるためにね@F",
    "じゃあね@F",
};
const char* const kCpuMasterPages[6] = {
    "@Aおめでとう、あなたはこの館の主に出会うことが出来たわ@N",
    "@A褒美としていいことを教えてあげようかしら@N",
    "@Aあなたは次の次の目で１が出る@N",
    "@Aあなたは運命に囚われている@N",
    "@A精々もがいて見せなさい@R私を楽しませるためにね@N",
    "@Aじゃあね@N",
};

MansionWork MasterWork{};
MansionWork CpuMasterWork{};

int MasterMeeting(int32_t& state, MansionWork& w, int32_t player, bool cpu) {
  switch (state) {
    case 0:
      // The first meeting of the program run clears every fate first.
      if (MasterMetInThisRun == 0) {
        for (int32_t& countdown : FatedOneCountdown) countdown = 0;
        MasterMetInThisRun = 1;
      }
      state = 1;
      return 0;
    case 1:
      StartWork(w);
      state = 2;
      return 0;
    case 2:
      if (DrawChoiceWindow(1, 0) == 1) {
        if (player >= 1 && player <= 4) FatedOneCountdown[player] = cpu ? 2 : TurnsLeft == 2 ? 1 : 2;
        state = 3;
      }
      return 0;
    case 3:
      DrawChoiceWindow(2, kMasterPortrait);
      if (Line(w, (cpu ? kCpuMasterPages : kHumanMasterPages)[w.counter], player) == 1) {
        PlayEventSound(1);
        ++w.textId;
        if (++w.counter == 6) state = 4;
      }
      return 0;
    default:
      if (DrawChoiceWindow(3, 0) == 1) {
        state = 1;
        return 1;
      }
      return 0;
  }
}

// ---------------------------------------------------------------- the star destruction

struct StarLines {
  const char* greeting;
  const char* question;
  const char* tooFew;
  const char* declined;
  const char* accepted;
  const char* farewell;
};

const StarLines kHumanStarLines = {
    "おまたせ@F",
    "３０[点]くれればスターを１つ破壊してあげるよ@N",
    "[点]が足りないよ！@F",
    "そぉ・・・じゃあね～@F",
    "うん、任せておいてっ！@F",
    "じゃあね～@F",
};
const StarLines kCpuStarLines = {
    "@Aおまたせ@N",
    "@A３０[点]くれればスターを１つ破壊してあげるよ@N",
    "@A[点]が足りないよ＞＜@N",
    "@Aそぉ・・・じゃあね～@N",
    "@Aわかったぁ～じゃあ行ってくるねっ！@N",
    "@Aじゃあね～@N",
};
const char kBurstLine[] = "@Aぽふっとしてバシューン！@N";
constexpr int32_t kBurstFrames = 17;

MansionWork StarWork{};
MansionWork CpuStarWork{};

// The burst at the victim's status panel, found by its turn order.
void DrawBurst(int32_t frame) {
  const PlayerRecord* victim = GetPlayer(StarDestructionVictim);
  if (victim == nullptr || victim->turnOrder < 1 || victim->turnOrder > 4) return;
  int32_t x = (victim->turnOrder - 1) % 2 * 400 + 64;
  int32_t y = (victim->turnOrder - 1) / 2 * 256 + 100;
  int32_t radius = frame >= 10 ? 100 : 10 * frame;
  SetDrawBlend(1, (kBurstFrames - frame) * 15);
  DrawCircleShape(x, y, radius, MakeScreenColor(255, 135, 0), 1);
  SetDrawBlend(0, 255);
}

int StarDestruction(int32_t& state, MansionWork& w, int32_t player, bool cpu) {
  const StarLines& lines = cpu ? kCpuStarLines : kHumanStarLines;
  PlayerRecord& record = Player(player);
  switch (state) {
    case 0:
      StartWork(w);
      state = 1;
      return 0;
    case 1:
      if (DrawChoiceWindow(1, 0) == 1) state = 2;
      return 0;
    case 2:
      DrawChoiceWindow(2, kStarDestroyerPortrait);
      if (Line(w, lines.greeting, player) == 1) {
        int32_t decision = 1;
        if (cpu) {
          int32_t r = GetRandomNumber(9);
          if (r <= 5 && record.coins >= kStarDestructionFee) decision = 0;
        }
        ResetEventChoice(&w.choice, decision);
        ++w.textId;
        state = 3;
      }
      return 0;
    case 3: {
      DrawChoiceWindow(2, kStarDestroyerPortrait);
      ShowText(w, lines.question, player);
      int choice = RunEventChoice(&w.choice, player, "お願いする", "やめておく");
      if (choice == 0) return 0;
      ++w.textId;
      if (choice == 2) {
        state = 5;
      } else if (record.coins < kStarDestructionFee) {
        state = 4;
      } else {
        record.coins -= kStarDestructionFee;
        state = 6;
      }
      return 0;
    }
    case 4:
      DrawChoiceWindow(2, kStarDestroyerPortrait);
      if (Line(w, lines.tooFew, player) == 1) {
        ++w.textId;
        state = 8;
      }
      return 0;
    case 5:
      DrawChoiceWindow(2, kStarDestroyerPortrait);
      if (Line(w, lines.declined, player) == 1) state = 9;
      return 0;
    case 6:
      DrawChoiceWindow(2, kStarDestroyerPortrait);
      if (Line(w, lines.accepted, player) == 1) {
        int32_t victim = DrawStarDestructionVictim();
        if (victim != 0) {
          StarDestructionVictim = victim;
          --PlayerTable[victim - 1].stars;
          PlayEventSound(25);
        }
        ++w.textId;
        w.counter = 0;
        state = cpu || victim == 0 ? 9 : 7;
      }
      return 0;
    case 7:
      DrawChoiceWindow(2, kStarDestroyerPortrait);
      ShowText(w, kBurstLine, player);
      if (w.counter < kBurstFrames) {
        DrawBurst(w.counter);
        ++w.counter;
      } else if (IsNewButtonPress(player, kButtonA)) {
        ++w.textId;
        state = 8;
      }
      return 0;
    case 8:
      DrawChoiceWindow(2, kStarDestroyerPortrait);
      if (Line(w, lines.farewell, player) == 1) state = 9;
      return 0;
    default:
      if (DrawChoiceWindow(3, 0) == 1) {
        state = 0;
        return 1;
      }
      return 0;
  }
}

// ---------------------------------------------------------------- the warp

bool IsSquareNumber(int32_t square) { return square >= 1 && square < kSquareCount; }

// The camera one frame nearer the destination, held on the board.
void MoveCameraTowardsDestination() {
  const SquareRecord& target = SquareTable[WarpDestination];
  Vector2f direction = NormalizeVector(target.x - (CameraX + 320.0f), target.y - (CameraY + 240.0f));
  CameraX += direction.x * WarpCameraSpeed;
  CameraY += direction.y * WarpCameraSpeed;
  const MapInfoRecord* map = CurrentMapId >= 0 && CurrentMapId < kMapInfoRows ? &MapInfoTable[CurrentMapId] : nullptr;
  float maxX = map != nullptr ? static_cast<float>(map->width - 640) : 0.0f;
  float maxY = map != nullptr ? static_cast<float>(map->height - 480) : 0.0f;
  if (CameraX > maxX) CameraX = maxX;
  if (CameraY > maxY) CameraY = maxY;
  if (CameraX < 0.0f) CameraX = 0.0f;
  if (CameraY < 0.0f) CameraY = 0.0f;
}

bool AnyOtherPlayerHoldsAStar(int32_t player) {
  for (int32_t q = 1; q <= 4; ++q)
    if (q != player && PlayerTable[q - 1].stars >= 1) return true;
  return false;
}

constexpr int32_t kWarpEventFrame = 60;
constexpr int32_t kWarpTravelFrames = 120;

}  // namespace

int RunStoneColourShop(int32_t player) { return StoneColourShop(StoneShopState, StoneWork, player, false); }
int RunCpuStoneColourShop(int32_t player) { return StoneColourShop(CpuStoneShopState, CpuStoneWork, player, true); }
int RunMasterMeeting(int32_t player) { return MasterMeeting(MasterMeetingState, MasterWork, player, false); }
int RunCpuMasterMeeting(int32_t player) { return MasterMeeting(CpuMasterMeetingState, CpuMasterWork, player, true); }
int RunStarDestruction(int32_t player) { return StarDestruction(StarDestructionState, StarWork, player, false); }
int RunCpuStarDestruction(int32_t player) {
  return StarDestruction(CpuStarDestructionState, CpuStarWork, player, true);
}

int32_t DrawStarDestructionVictim() {
  int32_t weights[5] = {};
  int32_t total = 0;
  for (int32_t q = 1; q <= 4; ++q) {
    weights[q] = PlayerTable[q - 1].stars >= 1 ? PlayerTable[q - 1].stars : 0;
    total += weights[q];
  }
  if (total == 0) return 0;
  double f = GetRandomNumber(99) / 100.0;
  int32_t cumulative = 0;
  int32_t last = 0;
  for (int32_t q = 1; q <= 4; ++q) {
    if (weights[q] == 0) continue;
    last = q;
    double low = static_cast<double>(cumulative) / total;
    double high = static_cast<double>(cumulative + weights[q]) / total;
    if (low <= f && f < high) return q;
    cumulative += weights[q];
  }
  return last;  // f below 1 always falls in a share; the last holder is the guard
}

int RunWarpSquare(int32_t player) {
  PlayerRecord* record = GetPlayer(player);
  switch (WarpState) {
    case 0:
    case 1:  // idle frames, on the first warp only
      ++WarpState;
      return 0;
    case 2: {
      WarpFrames = 0;
      WarpCameraSpeed = 0.0f;
      WarpEvent = 0;
      int32_t destination = IsSquareNumber(MoveSquare) ? SquareTable[MoveSquare].link[3] : 0;
      if (!IsSquareNumber(destination) || record == nullptr) {
        // No partner: the square is passed like a path square.
        WriteErrorLogFormat("ワープマス %d に行き先がありません", MoveSquare);
        return 1;
      }
      WarpDestination = destination;
      MoveSquare = destination;
      WarpState = 3;
      return 0;
    }
    case 3: {
      int32_t r = GetRandomNumber(9) + 1;
      if (r <= 2) {
        if (FatedOneCountdown[player] == 0) WarpEvent = 1;
      } else if (r <= 4) {
        if (AnyOtherPlayerHoldsAStar(player)) WarpEvent = 2;
      }
      WarpState = 4;
      return 0;
    }
    case 4: {
      const SquareRecord& target = SquareTable[WarpDestination];
      float d = std::sqrt(GetDistanceSquared(CameraX + 320.0f, CameraY + 240.0f, target.x, target.y));
      WarpCameraSpeed = d / kWarpTravelFrames;
      WarpState = 5;
      return 0;
    }
    case 5:
      MoveCameraTowardsDestination();
      if (++WarpFrames >= kWarpEventFrame) WarpState = WarpEvent == 0 ? 10 : 6;
      return 0;
    case 6: {
      int done;
      if (WarpEvent == 1)
        done = record->cpuFlag != 0 ? RunCpuMasterMeeting(player) : RunMasterMeeting(player);
      else
        done = record->cpuFlag != 0 ? RunCpuStarDestruction(player) : RunStarDestruction(player);
      if (done == 1) WarpState = 10;
      return 0;
    }
    case 10:
      MoveCameraTowardsDestination();
      if (++WarpFrames >= kWarpTravelFrames) {
        const SquareRecord& target = SquareTable[WarpDestination];
        record->square = WarpDestination;
        record->prevSquare = target.link[3];
        record->x = target.x;
        record->y = target.y;
        WarpState = 13;
      }
      return 0;
    default:
      WarpState = 2;
      return 1;
  }
}
