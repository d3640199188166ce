// The board map reader compiled from its source.
#include "game/board/board_map.cpp"
#include "game/shell/csv_reader.cpp"

#include <cstdio>
#include <cstdlib>

int32_t CurrentMapId;
int32_t FatedOneCountdown[5];
int32_t ImpossibleRequestGiven[7];
KeyConfigRecord KeyLatchTable[5];
int32_t MinigameWeights[30];
int32_t PassageClosedRounds;
PlayerRecord PlayerTable[4];
int32_t RoundEffect;
int32_t RoundEffectRoundsLeft;
int32_t StandingsTable[4];
int32_t WarpPairs[10];
void CenterCameraOnPlayer(int32_t) {}
// The target always writes the file it reads: a missing one is a fault of
// the target.
void ExitGame(int32_t, const char* cause) {
  fprintf(stderr, "the game would end: %s\n", cause);
  abort();
}
