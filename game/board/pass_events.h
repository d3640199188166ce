// The other events a passing piece sets off, one per square kind: the
// mushroom (15), ovrelle's house (16), the banquet (19), the pitfall (20,
// which stops the piece), zanberi's coin event (21) and the false square (22).
#pragma once

#include <cstdint>

// The banquet text: four texts of five pages of 100 bytes (text f page n at
// byte 500 f + 100 n), allocated while a banquet runs.
constexpr int kBanquetTexts = 4;
constexpr int kBanquetPages = 5;
constexpr int kBanquetPageBytes = 100;
constexpr int kBanquetTextBytes = kBanquetTexts * kBanquetPages * kBanquetPageBytes;
extern char* BanquetText;

extern int32_t MushroomState;
extern int32_t OvrelleHouseState;
extern int32_t BanquetState;
extern int32_t PitfallState;
extern int32_t ZanberiCoinState;
extern int32_t FalseSquareState;

// Each: one frame, 1 on the frame the event ends, else 0 (the banquet: -1
// for a frame in which its text could not be allocated).
int RunMushroomPickUp(int32_t player);
int RunOvrelleHouse(int32_t player);
int RunBanquet(int32_t player);
int RunPitfall(int32_t player);
int RunZanberiCoinEvent(int32_t player);
int RunFalseSquare(int32_t player);
// Reads the host's and the three guests' texts into BanquetText.
void BuildBanquetText();
