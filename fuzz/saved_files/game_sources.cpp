// The saved-file readers of the game, compiled from their sources, and the
// game objects they touch, standing alone.
#include "game/board/party_backup.cpp"
#include "game/shell/input_mapping.cpp"
#include "game/shell/option_file.cpp"
#include "game/shell/saved_files.cpp"

SquareRecord SquareTable[kSquareCount];
int32_t FatedOneCountdown[5];
int32_t PartyRestored;
int32_t CurrentMapId;
int32_t TotalTurns;
int32_t TurnsLeft;
int32_t WarpPairs[10];
PlayerRecord PlayerTable[4];
int32_t MusicVolume;
int32_t SoundEffectVolume;

// The restore loads the saved map's pictures first; the target has none.
void LoadBoardImages() {}
