// Minigame 28, pair-matching cards.
#include "game/minigames/trump_memory.h"

#include <initializer_list>

#include "game/minigames/minigame_entries.h"
#include "game/minigames/minigame_steps.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

TrumpCard CardDeckTable[2][16] = {};
TrumpMemoryEntry CardMemoryTable[5][16] = {};
int32_t TrumpMemoryStep = 0;
int32_t TrumpMemoryPlayStep = 0;
int32_t TrumpMemoryOutcomeStep = 0;
int32_t TrumpBackPicture = -1;
int32_t TrumpFacePictures[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
int32_t TrumpCursorPictures[4] = {-1, -1, -1, -1};

int32_t& TrumpMove(int32_t p) { return ParticipantTable[p].ints[0]; }
int32_t& TrumpTurn(int32_t p) { return ParticipantTable[p].ints[1]; }
int32_t& TrumpHolding(int32_t p) { return ParticipantTable[p].ints[2]; }
int32_t& TrumpHeldCard(int32_t p) { return ParticipantTable[p].ints[3]; }
int32_t& TrumpCpuTarget(int32_t p) { return CpuWorkTable[p].value1; }
int32_t& TrumpCpuPacing(int32_t p) { return CpuWorkTable[p].counter; }

namespace {

constexpr int32_t kCards = 16;
constexpr int32_t kWinnerCoins = 10;
constexpr int32_t kMatchSound = 19;

const MinigameMedia kTrumpMedia[] = {
    MinigamePicture("media\\mini\\trumpmemory\\trump.png", &TrumpBackPicture),
    MinigamePicture("media\\mini\\trumpmemory\\trump_tavisha.png", &TrumpFacePictures[0]),
    MinigamePicture("media\\mini\\trumpmemory\\trump_belnora.png", &TrumpFacePictures[1]),
    MinigamePicture("media\\mini\\trumpmemory\\trump_quendri.png", &TrumpFacePictures[2]),
    MinigamePicture("media\\mini\\trumpmemory\\trump_falisse.png", &TrumpFacePictures[3]),
    MinigamePicture("media\\mini\\trumpmemory\\trump_odwyna.png", &TrumpFacePictures[4]),
    MinigamePicture("media\\mini\\trumpmemory\\trump_jurelle.png", &TrumpFacePictures[5]),
    MinigamePicture("media\\mini\\trumpmemory\\trump_brounya.png", &TrumpFacePictures[6]),
    MinigamePicture("media\\mini\\trumpmemory\\trump_ovrelle.png", &TrumpFacePictures[7]),
    MinigamePicture("media\\mini\\trumpmemory\\矢印.png", &TrumpCursorPictures[0]),
    MinigamePicture("media\\mini\\trumpmemory\\矢印_blue.png", &TrumpCursorPictures[1]),
    MinigamePicture("media\\mini\\trumpmemory\\矢印_yellow.png", &TrumpCursorPictures[2]),
    MinigamePicture("media\\mini\\trumpmemory\\矢印_green.png", &TrumpCursorPictures[3]),
};

int LoadTrump() { return LoadMinigameMedia(kTrumpMedia); }
void FreeTrump() { FreeMinigameMedia(kTrumpMedia); }

// The deck of p's team, null outside teams 1 and 2.
TrumpCard* DeckOf(int32_t p) {
  int32_t team = p >= 1 && p <= 4 ? ParticipantTable[p].team : 0;
  return team == 1 || team == 2 ? CardDeckTable[team - 1] : nullptr;
}

int32_t CursorCard(int32_t p) {
  return 4 * static_cast<int32_t>(ParticipantTable[p].y) + static_cast<int32_t>(ParticipantTable[p].x);
}

bool DeckCleared(const TrumpCard* deck) {
  for (int32_t i = 0; i < kCards; ++i)
    if (deck[i].present != 0) return false;
  return true;
}

void SetUpTrump() {
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    r.x = r.y = 0.0f;
    r.phase = 0;
    TrumpMove(p) = 5;
    TrumpTurn(p) = 0;
    TrumpHolding(p) = 0;
    TrumpHeldCard(p) = -1;
  }
  for (auto& deck : CardDeckTable) {
    int32_t stock[9] = {0, 2, 2, 2, 2, 2, 2, 2, 2};
    for (TrumpCard& card : deck) {
      int32_t face = GetRandomNumber(7) + 1;
      while (stock[face] == 0) face = GetRandomNumber(7) + 1;
      --stock[face];
      card = {1, face, 0};
    }
  }
  for (auto& memory : CardMemoryTable)
    for (TrumpMemoryEntry& e : memory) e = {-1, 0};
  for (int32_t p = 0; p <= 4; ++p) {
    TrumpCpuTarget(p) = -1;
    TrumpCpuPacing(p) = 0;
  }
  TrumpMemoryPlayStep = 0;
  TrumpMemoryOutcomeStep = 0;
}

void ReadControls(int32_t p) {
  TrumpMove(p) = 5;
  TrumpTurn(p) = 0;
  if (IsNewParticipantPress(p, kButtonUp)) TrumpMove(p) = 8;
  if (IsNewParticipantPress(p, kButtonDown)) TrumpMove(p) = 2;
  if (IsNewParticipantPress(p, kButtonLeft)) TrumpMove(p) = 4;
  if (IsNewParticipantPress(p, kButtonRight)) TrumpMove(p) = 6;
  if (IsNewParticipantPress(p, kButtonA)) TrumpTurn(p) = 1;
}

float Clamped(float v) { return v < 0.0f ? 0.0f : v > 3.0f ? 3.0f : v; }

void PlayFrame() {
  TrumpMemoryDraw();
  for (int32_t p = 1; p <= 4; ++p) {
    if (ParticipantTable[p].phase != 0) continue;
    if (IsHumanParticipant(p))
      ReadControls(p);
    else
      TrumpMemoryCpu(p);
  }
  for (int32_t p = 1; p <= 4; ++p) {
    ParticipantRecord& r = ParticipantTable[p];
    switch (TrumpMove(p)) {
      case 2: r.y = Clamped(r.y + 1.0f); break;
      case 8: r.y = Clamped(r.y - 1.0f); break;
      case 6: r.x = Clamped(r.x + 1.0f); break;
      case 4: r.x = Clamped(r.x - 1.0f); break;
      default: break;
    }
  }
  for (int32_t p = 1; p <= 4; ++p) {
    TrumpCard* deck = DeckOf(p);
    if (deck == nullptr || TrumpTurn(p) == 0) continue;
    int32_t c = CursorCard(p);
    TrumpCard& card = deck[c];
    if (card.present == 0) continue;
    if (TrumpHolding(p) == 0 && card.faceUp == 0) {
      card.faceUp = 1;
      TrumpHolding(p) = 1;
      TrumpHeldCard(p) = c;
    } else if (TrumpHolding(p) != 0 && TrumpHeldCard(p) == c && card.faceUp != 0) {
      card.faceUp = 0;
      TrumpHolding(p) = 0;
      TrumpHeldCard(p) = -1;
    }
  }
  for (int32_t team = 1; team <= 2; ++team) {
    int32_t a = FindTeamMember(team, 1), b = FindTeamMember(team, 2);
    if (a == 0 || b == 0 || TrumpHolding(a) == 0 || TrumpHolding(b) == 0) continue;
    TrumpCard* deck = CardDeckTable[team - 1];
    int32_t up[2] = {-1, -1}, n = 0;
    for (int32_t i = 0; i < kCards && n < 2; ++i)
      if (deck[i].present != 0 && deck[i].faceUp != 0) up[n++] = i;
    if (n < 2 || deck[up[0]].face != deck[up[1]].face) continue;
    deck[up[0]].present = deck[up[1]].present = 0;
    PlaySoundHandle(SoundEffectHandles[kMatchSound], 1, 1);
    for (int32_t p : {a, b}) {
      TrumpHolding(p) = 0;
      TrumpHeldCard(p) = -1;
    }
  }
  if (DeckCleared(CardDeckTable[0]) || DeckCleared(CardDeckTable[1])) TrumpMemoryPlayStep = 4;
}

constexpr MinigameSteps kTrump = {
    .step = &TrumpMemoryStep,
    .numbering = &kMinigameStepsB,
    .load = LoadTrump,
    .setUp = SetUpTrump,
    .draw = TrumpMemoryDraw,
    .play = TrumpMemoryPlay,
    .outcome = TrumpMemoryOutcome,
    .unload = FreeTrump,
};

}  // namespace

int TrumpMemoryMain() { return RunMinigameSteps(kTrump); }

int TrumpMemoryPlay() {
  switch (TrumpMemoryPlayStep) {
    case 0:
      TrumpMemoryDraw();
      TrumpMemoryPlayStep = 1;
      break;
    case 1:
      TrumpMemoryDraw();
      TrumpMemoryPlayStep = 2;
      break;
    case 2:
      PlayFrame();
      break;
    case 4:
      TrumpMemoryPlayStep = 0;
      TrumpMemoryDraw();
      return 1;
    default:
      break;
  }
  return 0;
}

void TrumpMemoryCpu(int32_t p) {
  TrumpMove(p) = 5;
  TrumpTurn(p) = 0;
  TrumpCard* deck = DeckOf(p);
  // Only level 1 plays this game.
  if (deck == nullptr || ParticipantTable[p].cpuLevel != 1) return;
  TrumpMemoryEntry* memory = CardMemoryTable[p];
  for (int32_t i = 0; i < kCards; ++i) {
    if (deck[i].faceUp == 0) continue;
    if (++memory[i].count >= kTrumpRememberFrames) memory[i].face = deck[i].face;
  }
  int32_t& target = TrumpCpuTarget(p);
  // The teammate holds a card: go for its remembered pair.
  int32_t mate = FindTeammate(p);
  if (mate != 0 && TrumpHolding(mate) != 0)
    for (int32_t j = 0; j < kCards; ++j) {
      if (deck[j].present == 0 || deck[j].faceUp == 0) continue;
      for (int32_t i = 0; i < kCards; ++i)
        if (i != j && memory[i].face != -1 && memory[i].face == deck[j].face) {
          target = i;
          break;
        }
    }
  int32_t& pacing = TrumpCpuPacing(p);
  if (pacing < GetRandomNumber(5) + 10) {
    ++pacing;
    return;
  }
  pacing = 0;
  if (target >= 0 && target < kCards) {
    bool holding = TrumpHolding(p) != 0;
    int32_t goal = holding ? TrumpHeldCard(p) : target;
    if (goal < 0 || goal >= kCards) goal = target;
    int32_t row = static_cast<int32_t>(ParticipantTable[p].y), column = static_cast<int32_t>(ParticipantTable[p].x);
    bool requested = false;
    if (row > goal / 4)
      TrumpMove(p) = 8;
    else if (row < goal / 4)
      TrumpMove(p) = 2;
    else if (column > goal % 4)
      TrumpMove(p) = 4;
    else if (column < goal % 4)
      TrumpMove(p) = 6;
    else if (!holding || memory[target].face != -1) {
      TrumpTurn(p) = 1;
      requested = true;
    }
    if (deck[target].present == 0 || (holding && requested)) target = -1;
    return;
  }
  // A face-up card of another whose pair it remembers.
  for (int32_t i = 0; i < kCards; ++i) {
    if (deck[i].present == 0 || deck[i].faceUp == 0 || (TrumpHolding(p) != 0 && TrumpHeldCard(p) == i)) continue;
    for (int32_t j = 0; j < kCards; ++j)
      if (j != i && memory[j].face != -1 && memory[j].face == deck[i].face) {
        target = j;
        return;
      }
  }
  // Else one of the present cards it does not know, or none this time.
  int32_t n = 0;
  for (int32_t i = 0; i < kCards; ++i) n += deck[i].present != 0 && memory[i].face == -1 ? 1 : 0;
  if (n == 0) return;
  int32_t r = GetRandomNumber(n);
  for (int32_t i = 0; i < kCards && r > 0; ++i)
    if (deck[i].present != 0 && memory[i].face == -1 && --r == 0) target = i;
}

int TrumpMemoryOutcome() {
  TrumpMemoryDraw();
  switch (TrumpMemoryOutcomeStep) {
    case 0:
      TrumpMemoryOutcomeStep = 1;
      break;
    case 1:
      // Team 1 first: both decks cleared in one frame go to team 1.
      for (int32_t team = 1; team <= 2; ++team)
        if (DeckCleared(CardDeckTable[team - 1])) {
          AwardTeam(team, kWinnerCoins);
          break;
        }
      TrumpMemoryOutcomeStep = 2;
      break;
    case 2:
      TrumpMemoryOutcomeStep = 0;
      return 1;
    default:
      break;
  }
  return 0;
}

void TrumpMemoryDraw() {
  DrawGraphAt(0, 0, BackgroundPictures[0], 1);
  for (int32_t p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    if (r.phase != 0 || (r.team != 1 && r.team != 2)) continue;
    DrawCircleShape(320 * (r.team - 1) + 48 + 72 * static_cast<int32_t>(r.x), 76 + 96 * static_cast<int32_t>(r.y), 5,
                    MakeScreenColor(0, 255, 255), 1);
  }
  for (int32_t t = 1; t <= 2; ++t)
    for (int32_t i = 0; i < kCards; ++i) {
      const TrumpCard& card = CardDeckTable[t - 1][i];
      int32_t face = card.face >= 1 && card.face <= 8 ? TrumpFacePictures[card.face - 1] : -1;
      int32_t picture = card.present != 0 && card.faceUp == 0 ? TrumpBackPicture : face;
      DrawGraphRotated(320 * t - 272 + 72 * (i % 4), 76 + 96 * (i / 4), 1.0, 0.0, picture, 1, 0);
    }
  for (int32_t p = 1; p <= 4; ++p) {
    const ParticipantRecord& r = ParticipantTable[p];
    if (r.team != 1 && r.team != 2) continue;
    int32_t left = 320 * (r.team - 1) + 72;
    DrawGraphRotated(left + 72 * static_cast<int32_t>(r.x), 120 + 88 * static_cast<int32_t>(r.y), 1.0, 0.0,
                     TrumpCursorPictures[p - 1], 1, 0);
    int32_t held = TrumpHeldCard(p);
    if (TrumpHolding(p) != 0 && held >= 0 && held < kCards) {
      SetDrawBlend(1, 128);
      DrawGraphRotated(left + 72 * (held % 4), 120 + 88 * (held / 4), 1.0, 0.0, TrumpCursorPictures[p - 1], 1, 0);
      SetDrawBlend(0, 255);
    }
  }
}
