// Empty steps of modules not built yet; see pending_modules.h.
#include "library/core/pending_modules.h"

#include "platform/win32/win32.h"

// ---------------------------------------------------------------- graphics

int G_D3D_EndSceneAndPresent() { return 0; }

// ---------------------------------------------------------------- movies

int BuildYuvToRgbTables() { return 0; }
int ResumeMoviesAfterActivate() { return 0; }
int PauseMoviesOnDeactivate() { return 0; }

// ---------------------------------------------------------------- sound

int InitSoundSystem() { return 0; }  // sound: device, buffers, sound thread
int EndSoundSystem() { return 0; }
int UpdateStreamSounds() { return 0; }

// ---------------------------------------------------------------- sound (game entries)

int SetSoundLoadType(int32_t) { return 0; }
int LoadSoundFile(const char*, int32_t, int32_t) { return 0; }
int PlaySoundHandle(int32_t, int32_t, int32_t) { return -1; }
int StopSoundHandle(int32_t) { return -1; }
int DeleteSoundHandle(int32_t, int32_t) { return -1; }
int SetSoundHandleVolume(int32_t, int32_t) { return -1; }
