// The LAN lobby compiled from its source, with the game objects its scene
// touches standing alone (the target calls only its record handling).
#include "game/board/lan_lobby.cpp"

KeyConfigRecord KeyConfigTable[5];
int32_t FadeOutRequest;
int32_t FontHandlesBySize[24];
int UpdateFade() { return 0; }
uint32_t GetDeviceButtons(uint32_t) { return 0; }
bool IsNewButtonPress(int32_t, int32_t) { return false; }
int DrawWindowFrame(int32_t, int32_t, int32_t, int32_t) { return 0; }
