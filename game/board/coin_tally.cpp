// The coin tally.
#include "game/board/coin_tally.h"

#include "game/minigames/participants.h"
#include "game/shell/game_helpers.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t TallyState = 0;
int32_t TallySlide[4] = {};
int32_t TallyAlpha[4] = {};
int32_t TallyLeaving = 0;
int32_t& VictoryMusic = MusicHandles[2];

namespace {

const char kVictoryMusicFile[] = "media\\sound\\BGM\\…Wish .ogg";

uint32_t White() { return MakeScreenColor(255, 255, 255); }

bool IsCharacter(int32_t character) { return character >= 0 && character < kCharacterCount; }

// The winners' character backgrounds side by side, each in a column of its
// own with the character at the column's centre as far as the picture
// reaches, under a dark veil.
void DrawWinnerBackgrounds() {
  int32_t winners[4];
  int32_t count = 0;
  for (int32_t p = 1; p <= 4; ++p)
    if (ParticipantTable[p].won == 1) winners[count++] = p;
  if (count == 0) return;
  int32_t columnWidth = 640 / count;
  for (int32_t i = 0; i < count; ++i) {
    int32_t character = PlayerTable[winners[i] - 1].character;
    if (!IsCharacter(character)) continue;
    int32_t picture = CharacterBackgroundPictures[character];
    int32_t width = 0;
    if (QueryGraphSize(picture, &width, nullptr) != 0) continue;
    int32_t left = i * columnWidth;
    int32_t x = left + columnWidth / 2 - kCharacterFocusX[character];
    if (x + width < left + columnWidth) x = left + columnWidth - width;  // no gap past its right edge
    if (x > left) x = left;                                              // nor past its left edge
    SetDrawClipArea(left, 0, left + columnWidth, 480);
    DrawGraphAt(x, 0, picture, 1);
  }
  SetDrawClipArea(0, 0, 640, 480);
  DrawAlphaBox(150, 0, 0, 640, 480, MakeScreenColor(0, 0, 0));
}

void DrawBackground() {
  DrawGraphAt(0, 0, BackgroundPictures[2], 0);
  DrawWinnerBackgrounds();
  DrawGraphRotated(320, 64, 1.0, 0.0, ResultBandPicture, 1, 0);
}

void DrawFace(int32_t player, int32_t x, int32_t y) {
  int32_t character = PlayerTable[player - 1].character;
  if (IsCharacter(character)) DrawGraphAt(x, y, CharacterImageTable[character][0], 1);
  DrawGraphAt(x, y, CharacterSelectPictures[player - 1], 1);
}

// The award screen: each player's stars, coins and the coins won.
void DrawAwardRows() {
  int32_t s = TallySlide[0];
  SetDrawBlend(1, TallyAlpha[0]);
  for (int32_t p = 1; p <= 4; ++p) {
    const PlayerRecord& r = PlayerTable[p - 1];
    int32_t y = 200 + 80 * (p - 1);
    DrawFace(p, s + 100, y - 32);
    DrawFormatTextToHandle(s + 200, y - 40, White(), FontHandle30, "%s", r.name);
    DrawGraphStretched(s + 200, y, s + 232, y + 32, StarIconPicture, 1);
    DrawFormatTextToHandle(s + 240, y, White(), FontHandle30, "×%d", r.stars);
    DrawGraphStretched(s + 300, y, s + 332, y + 32, CoinIconPicture, 1);
    DrawFormatTextToHandle(s + 340, y, White(), FontHandle30, "×%d", r.coins);
    int32_t after = s + 340 + GetFormatTextWidthToHandle(FontHandle30, "×%d", r.coins);
    DrawFormatTextToHandle(after, y, White(), FontHandle30, "＋%d", ParticipantTable[p].award);
  }
  SetDrawBlend(0, 255);
}

// The standings: one row per player, place by place, tied players in the
// order their numbers are written in the standings slot.
void DrawStandingRows() {
  int32_t row = 0;
  for (int32_t k = 0; k < 4; ++k) {
    int32_t players[4];
    int32_t count = SplitStandingsSlot(StandingsTable[k], players);
    for (int32_t i = 0; i < count && row < 4; ++i, ++row) {
      const PlayerRecord& r = PlayerTable[players[i] - 1];
      int32_t s = TallySlide[row];
      int32_t y = 168 + 80 * row;
      SetDrawBlend(1, TallyAlpha[row]);
      DrawGraphAt(s + 100, y - 18, PlacementPictures[k], 1);
      DrawFace(players[i], s + 216, y);
      DrawFormatTextToHandle(s + 300, y - 8, White(), FontHandle30, "%s", r.name);
      DrawGraphStretched(s + 300, y + 32, s + 332, y + 64, StarIconPicture, 1);
      DrawFormatTextToHandle(s + 340, y + 32, White(), FontHandle30, "×%d", r.stars);
      DrawGraphStretched(s + 400, y + 32, s + 432, y + 64, CoinIconPicture, 1);
      DrawFormatTextToHandle(s + 440, y + 32, White(), FontHandle30, "×%d", r.coins);
    }
  }
  SetDrawBlend(0, 255);
}

// One row a frame slides in, the bottom row first: 20 frames each.
void SlideStandingsIn() {
  for (int32_t r = 3; r >= 0; --r) {
    if (TallySlide[r] == 0) continue;
    TallySlide[r] -= 10;
    if (TallySlide[r] < 0) TallySlide[r] = 0;
    TallyAlpha[r] += 15;
    if (TallyAlpha[r] > 255) TallyAlpha[r] = 255;
    return;
  }
}

// The passive items' change of the minigame's awards: item 21 one coin
// more, item 22 one less; an award of 0 stays 0.
void AdjustAwards() {
  for (int32_t p = 1; p <= 4; ++p) {
    int32_t& award = ParticipantTable[p].award;
    if (award == 0) continue;
    int32_t held = PlayerTable[p - 1].items[2];
    if (held == 21) ++award;
    if (held == 22) --award;
  }
}

}  // namespace

int RunCoinTally() {
  if (UpdateFade() == 1) TallyState = 9;
  DrawBackground();
  switch (TallyState) {
    case 0:
      TallyState = 1;
      return 0;
    case 1: {
      SetSoundLoadType(2);
      VictoryMusic = LoadSoundFile(kVictoryMusicFile, 3, -1);
      SetSoundLoadType(0);
      TallyState = 2;
      if (VictoryMusic == -1) {
        // The tally goes on without music; the next tally tries again.
        WriteErrorLogFormat("%s の読み込みに失敗しました", kVictoryMusicFile);
        return -1;
      }
      SetSoundHandleVolume(MusicVolume, VictoryMusic);
      return 0;
    }
    case 2:
      TallySlide[0] = 0;
      TallyAlpha[0] = 255;
      TallyLeaving = 0;
      AdjustAwards();
      PlayBgmLooped(2);
      TallyState = 3;
      return 0;
    case 3:
      DrawAwardRows();
      if (IsNewButtonPress(1, kButtonA)) TallyLeaving = 1;
      if (TallyLeaving == 1) {
        TallySlide[0] += 10;
        TallyAlpha[0] = TallyAlpha[0] > 15 ? TallyAlpha[0] - 15 : 0;
        if (TallySlide[0] >= 640) {
          for (int32_t& slide : TallySlide) slide = 0;
          TallyState = 4;
        }
      }
      return 0;
    case 4:
      for (int32_t p = 1; p <= 4; ++p) {
        int32_t award = ParticipantTable[p].award;
        PlayerTable[p - 1].coins += CoinChangeWithinHeld(p, award);  // within 0 and the bound
      }
      for (int32_t& slide : TallySlide) slide = 200;
      for (int32_t& alpha : TallyAlpha) alpha = 0;
      AssignPlacements();
      TallyState = 5;
      return 0;
    case 5:
      DrawStandingRows();
      if (IsNewButtonPress(1, kButtonA)) {
        PlaySoundHandle(SoundEffectHandles[1], 1, 1);
        TallyState = 6;
      }
      return 0;
    case 6:
      DrawStandingRows();
      SlideStandingsIn();
      if (TallySlide[0] == 0 && IsNewButtonPress(1, kButtonA)) TallyState = 8;
      return 0;
    case 8:
      FadeOutRequest = 1;
      DrawStandingRows();
      return 0;
    case 9:
      // Later tallies start with the music loaded, or try it again.
      TallyState = VictoryMusic > 0 ? 2 : 0;
      return 1;
    default:  // a state no step leads to: the tally ends
      TallyState = 9;
      return 0;
  }
}
