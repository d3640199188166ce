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

// The coins of the events.
constexpr int32_t kMushroomItem = 5;
constexpr int32_t kOvrelleFee = 3;
constexpr int32_t kBanquetFee = 10;         // paid by the host and by each guest who joins
constexpr int32_t kBanquetDeclineFee = 5;   // paid by a guest who declines, to the host
constexpr int32_t kZanberiFee = 5;

// The portraits of the events' characters.
constexpr int32_t kOvrellePortrait = 13;   // グラヴォネ
constexpr int32_t kPitfallPortrait = 20;   // ピコルダ
constexpr int32_t kZanberiPortrait = 21;   // ザンベリ

extern int32_t MushroomState;
extern int32_t OvrelleHouseState;
extern int32_t BanquetState;
extern int32_t PitfallState;
extern int32_t ZanberiCoinState;
extern int32_t FalseSquareState;

// The banquet under way: its host, the text (0 the host's, 1 to 3 the
// guests') and the player whose turn it is (0 before the first).
extern int32_t BanquetHost;
extern int32_t BanquetTextIndex;
extern int32_t BanquetCurrentPlayer;

// Each: one frame, 1 on the frame the event ends, else 0 (the banquet: -1
// for a frame in which its text could not be allocated).
int RunMushroomPickUp(int32_t player);
int RunOvrelleHouse(int32_t player);
int RunBanquet(int32_t player);
int RunPitfall(int32_t player);
int RunZanberiCoinEvent(int32_t player);
int RunFalseSquare(int32_t player);
// Reads the host's and the three guests' texts into BanquetText: five pages
// a file, each up to and with its "@N" (line breaks skipped), at most 99
// bytes and whole characters; a missing file leaves its pages empty.
void BuildBanquetText();
