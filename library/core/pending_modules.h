// Entries of modules that are not built yet, which start-up, shut-down, the
// message pump and the window procedure call. Each is an empty step here and
// moves to its own module, with its body, when that module is built.
#pragma once

#include <cstdint>

#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_image_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/mask_screen.h"
#include "library/graphics/texture_tables.h"

// ---------------------------------------------------------------- graphics

// Ends the open Direct3D scene and presents; -1 when the present fails.
int G_D3D_EndSceneAndPresent();

// ---------------------------------------------------------------- movies

int BuildYuvToRgbTables();
int ResumeMoviesAfterActivate();
int PauseMoviesOnDeactivate();

// ---------------------------------------------------------------- sound

int InitSoundSystem();
int EndSoundSystem();
int UpdateStreamSounds();

<<<<<<< HEAD
// ---------------------------------------------------------------- fonts

int DeleteFontHandle(int handle);

// The game's entries of the font and sound modules, until those modules are
// built: fonts are never made (-1) and draw nothing; sounds load as handle 0,
// which no sound call accepts, so start-up goes on silent.
int CreateFontToHandle(const char* face, int32_t size, int32_t thickness, int32_t fontType, int32_t charSet,
                       int32_t edgeSize, int32_t italic, int32_t wantedSlot, int32_t wantedCheck);
int DrawTextToHandle(int32_t x, int32_t y, const char* text, uint32_t colour, int32_t fontHandle,
                     uint32_t edgeColour, int32_t vertical);
int DrawFormatTextToHandle(int32_t x, int32_t y, uint32_t colour, int32_t fontHandle, const char* format, ...);
int DrawTextWithDefaultFont(int32_t x, int32_t y, const char* text, uint32_t colour, uint32_t edgeColour);
int GetFormatTextWidthToHandle(int32_t fontHandle, const char* format, ...);

// ---------------------------------------------------------------- sound (game entries)

int SetSoundLoadType(int32_t type);
int LoadSoundFile(const char* fileName, int32_t bufferCount, int32_t shareHandle);
int PlaySoundHandle(int32_t handle, int32_t playType, int32_t fromTop);
int StopSoundHandle(int32_t handle);
int DeleteSoundHandle(int32_t handle, int32_t unused);
int SetSoundHandleVolume(int32_t volume, int32_t handle);

=======
>>>>>>> main
