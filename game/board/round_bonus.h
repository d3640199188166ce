// The round bonus of square kind 14: 10 coins, announced in three lines read
// from the current board map's text file.
#pragma once

#include <cstdint>

constexpr int32_t kRoundBonusCoins = 10;

// The bonus text: five lines of 60 bytes, allocated while a bonus runs.
constexpr int kRoundBonusTextLines = 5;
constexpr int kRoundBonusLineBytes = 60;
extern char* RoundBonusText;

extern int32_t RoundBonusState;
// The window's portrait: map id + 2, left as it was on map 1.
extern int32_t RoundBonusPortrait;

// One frame of the bonus: 1 on its last frame, else 0.
int RunRoundBonus(int32_t player);
// Reads "media\text\roundbonus\<key>.txt" of the current map into RoundBonusText.
void LoadRoundBonusText();
