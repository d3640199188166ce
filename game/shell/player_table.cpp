// The player table, the standings, the coin animation and the digit drawing.
#include "game/shell/player_table.h"

#include <cmath>
#include <cstdlib>

#include "game/shell/game_helpers.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

PlayerRecord PlayerTable[4] = {};
int32_t StandingsTable[4] = {};
CoinAnimationRecord CoinAnimationState[4] = {};

namespace {

PlayerRecord* Player(int32_t player) { return player >= 1 && player <= 4 ? &PlayerTable[player - 1] : nullptr; }

void PlayCoinSound() { PlaySoundHandle(SoundEffectHandles[2], 1, 1); }

void ChangeCoinsByOne(PlayerRecord* record, bool gain) {
  if (gain) {
    record->coins = GainWithinBound(record->coins, 1);
  } else if (record->coins > 0) {
    --record->coins;
  }
}

float StepOf(int32_t amount) { return amount == 0 ? 0.0f : static_cast<float>(60.0 / std::abs(amount)); }

// One call of the coin animation's state table.
int StepCoinAnimation(int32_t amount, PlayerRecord* record, int32_t& counter, int32_t& state, float step) {
  switch (state) {
    case 0:
      counter = 0;
      state = 1;
      return 0;
    case 1:
      state = amount <= -15 ? 5 : amount < 0 ? 4 : amount == 0 ? 6 : amount <= 15 ? 2 : 3;
      return 0;
    case 2:
    case 4:  // slow gain or loss: abs(amount) coins spread over 60 frames
      if (std::fmod(static_cast<double>(counter), static_cast<double>(step)) < 1.0) {
        PlayCoinSound();
        ChangeCoinsByOne(record, state == 2);
      }
      if (counter >= 59) state = 7;
      ++counter;
      return 0;
    case 3:
    case 5: {  // fast gain or loss: a coin every second frame
      if (counter % 4 == 0) PlayCoinSound();
      if (counter % 2 == 0) {
        ChangeCoinsByOne(record, state == 3);
        if (counter / 2 == std::abs(amount) - 1) state = 7;
      }
      ++counter;
      return 0;
    }
    case 6:
      if (counter >= 59) state = 7;
      ++counter;
      return 0;
    default:
      state = 0;
      return 1;
  }
}

}  // namespace

PlayerRecord* GetPlayer(int32_t player) { return Player(player); }

bool HasAnyItem(int32_t player) {
  const PlayerRecord* record = Player(player);
  return record != nullptr && (record->items[0] != 0 || record->items[1] != 0 || record->items[2] != 0);
}

bool AreFirstTwoItemSlotsFull(int32_t player) {
  const PlayerRecord* record = Player(player);
  return record != nullptr && record->items[0] != 0 && record->items[1] != 0;
}

int32_t SplitStandingsSlot(int32_t slot, int32_t players[4]) {
  int32_t count = 0;
  for (int32_t divisor = 1000; divisor >= 1; divisor /= 10) {
    int32_t digit = slot / divisor % 10;
    if (digit >= 1 && digit <= 4 && count < 4) players[count++] = digit;
  }
  return count;
}

void ComputeStandings() {
  bool placed[4] = {};
  for (int32_t k = 0; k < 4; ++k) {
    int32_t slot = 0;
    int32_t bestStars = -1, bestCoins = -1;
    for (int32_t p = 1; p <= 4; ++p) {
      if (placed[p - 1]) continue;
      const PlayerRecord& record = PlayerTable[p - 1];
      if (record.stars > bestStars) {
        slot = p;
        bestStars = record.stars;
        bestCoins = record.coins;
      } else if (record.stars == bestStars && record.coins > bestCoins) {
        slot = p;
        bestCoins = record.coins;
      } else if (record.stars == bestStars && record.coins == bestCoins) {
        slot = slot * 10 + p;
      }
    }
    StandingsTable[k] = slot;
    int32_t players[4];
    int32_t count = SplitStandingsSlot(slot, players);
    for (int32_t i = 0; i < count; ++i) placed[players[i] - 1] = true;
  }
}

void AssignPlacements() {
  ComputeStandings();
  for (int32_t k = 0; k < 4; ++k) {
    int32_t players[4];
    int32_t count = SplitStandingsSlot(StandingsTable[k], players);
    for (int32_t i = 0; i < count; ++i) PlayerTable[players[i] - 1].placement = k + 1;
  }
}

int32_t GetPlayerByTurnOrder(int32_t position) {
  for (int32_t p = 1; p <= 4; ++p)
    if (PlayerTable[p - 1].turnOrder == position) return p;
  return 0;
}

int32_t GainWithinBound(int32_t count, int32_t gain) {
  int64_t sum = static_cast<int64_t>(count) + (gain > 0 ? gain : 0);
  if (sum > kMostCoinsOrStars) return count > kMostCoinsOrStars ? count : kMostCoinsOrStars;
  return static_cast<int32_t>(sum);
}

int32_t CoinChangeWithinHeld(int32_t player, int32_t amount) {
  const PlayerRecord* record = Player(player);
  if (record == nullptr) return amount;
  int32_t held = record->coins > 0 ? record->coins : 0;
  if (amount >= 0) {
    int32_t room = held < kMostCoinsOrStars ? kMostCoinsOrStars - held : 0;
    return amount > room ? room : amount;
  }
  return amount < -held ? -held : amount;
}

int AnimateCoinChange(int32_t amount, int32_t player) {
  PlayerRecord* record = Player(player);
  if (record == nullptr) return 1;
  CoinAnimationRecord& anim = CoinAnimationState[player - 1];
  if (anim.state == 0) anim.step = StepOf(amount);
  return StepCoinAnimation(amount, record, anim.counter, anim.state, anim.step);
}

int AnimateCoinChangeWithState(int32_t amount, int32_t player, int32_t* counter, int32_t* state) {
  PlayerRecord* record = Player(player);
  if (record == nullptr || counter == nullptr || state == nullptr) return 1;
  return StepCoinAnimation(amount, record, *counter, *state, StepOf(amount));
}

int DrawNumber(int32_t value, int32_t x, int32_t y, double scale) {
  int32_t digits[10];
  int32_t count = 0;
  int64_t rest = value > 0 ? value : 0;  // a negative value shows as 0
  do {
    digits[count++] = static_cast<int32_t>(rest % 10);
    rest /= 10;
  } while (rest != 0 && count < 10);
  bool smooth = CompareFloatWithInt(3, static_cast<float>(scale), 1);
  if (smooth) SetDrawFilterMode(1);
  int32_t left = x - 10 * (count - 1);
  for (int32_t i = 0; i < count; ++i)
    DrawGraphRotated(left + 20 * i, y, scale, 0.0, SmallDigitPictures[digits[count - 1 - i]], 1, 0);
  if (smooth) SetDrawFilterMode(0);
  return 0;
}

int DrawDieNumber(int32_t value, int32_t x, int32_t y) {
  DrawGraphRotated(x, y, 1.0, 0.0, DieBlockPicture, 1, 0);
  return DrawNumber(value, x, y, 1.0);
}
