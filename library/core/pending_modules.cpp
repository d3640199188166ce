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

int ConvertMp3ToPcm(SoundDecoder*) { return -1; }

