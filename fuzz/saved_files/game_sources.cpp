// The saved-file readers of the game, compiled from their sources, and the
// game objects they touch, standing alone.
#include "game/board/party_backup.cpp"
#include "game/shell/input_mapping.cpp"
#include "game/shell/option_file.cpp"
#include "game/shell/player_table.cpp"
#include "game/shell/saved_files.cpp"

SquareRecord SquareTable[kSquareCount];
int32_t FatedOneCountdown[5];
int32_t PartyRestored;
int32_t CurrentMapId;
int32_t TotalTurns;
int32_t TurnsLeft;
int32_t WarpPairs[10];
int32_t MusicVolume;
int32_t SoundEffectVolume;

// The restore loads the saved map's pictures first; the target has none.
void LoadBoardImages() {}
// The coin animation plays its sound and draws digits with these; the target
// loads none.
int32_t SoundEffectHandles[kSoundEffectSlots];
int32_t SmallDigitPictures[10];
int32_t DieBlockPicture;
bool CompareFloatWithInt(int32_t, float, int32_t) { return false; }
