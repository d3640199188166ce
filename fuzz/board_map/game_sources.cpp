// The board map reader and the move of a piece compiled from their sources;
// the rest of the board stands in: the drawing draws nothing and every event
// of a square ends at once, letting the move go on.
#include "game/board/board_map.cpp"
#include "game/board/dice_movement.cpp"
#include "game/shell/csv_reader.cpp"
#include "game/shell/game_helpers.cpp"
#include "game/shell/player_table.cpp"

#include <cstdio>
#include <cstdlib>

int32_t CurrentMapId;
int32_t ImpossibleRequestGiven[7];
KeyConfigRecord KeyLatchTable[5];
int32_t MinigameWeights[30];
int32_t PassageClosedRounds;
int32_t RoundEffect;
int32_t RoundEffectRoundsLeft;
int32_t WarpPairs[10];
int32_t CurrentPlayer;
int32_t CpuWaitFrames[2];
float CameraX, CameraY;
float MapViewSavedCamera[2];
int32_t SoundEffectHandles[kSoundEffectSlots];
int32_t SmallDigitPictures[10];
int32_t DieBlockPicture;
int32_t ArrowPicture;

void CenterCameraOnPlayer(int32_t) {}
void DrawTurnBoard(int32_t, bool, bool) {}
void DrawHelpLine(const char*) {}
int32_t GetSquareFloor(int32_t) { return 0; }
int MapViewKeyPressed(int32_t) { return 0; }
int RunMapView(int32_t) { return 1; }
int RunWholeMapView(int32_t) { return 1; }
bool IsNewButtonPress(int32_t, int32_t) { return false; }
int32_t GetPadDirection(int32_t) { return 5; }

int RunStarSale(int32_t, int32_t) { return 1; }
int RunItemShop(int32_t) { return 1; }
int RunMischiefShop(int32_t) { return 1; }
int RunCpuMischiefShop(int32_t) { return 1; }
int RunRoundBonus(int32_t) { return 1; }
int RunMushroomPickUp(int32_t) { return 1; }
int RunOvrelleHouse(int32_t) { return 1; }
int RunStoneColourShop(int32_t) { return 1; }
int RunCpuStoneColourShop(int32_t) { return 1; }
int RunWarpSquare(int32_t) { return 1; }
int RunBanquet(int32_t) { return 1; }
int RunPitfall(int32_t) { return 1; }
int RunZanberiCoinEvent(int32_t) { return 1; }
int RunFalseSquare(int32_t) { return 1; }

// The target always writes the file it reads: a missing one is a fault of
// the target.
void ExitGame(int32_t, const char* cause) {
  fprintf(stderr, "the game would end: %s\n", cause);
  abort();
}
