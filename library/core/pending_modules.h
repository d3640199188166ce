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

// The game's entries of the sound module, until it is built: sounds load as
// handle 0, which no sound call accepts, so start-up goes on silent.
int SetSoundLoadType(int32_t type);
int LoadSoundFile(const char* fileName, int32_t bufferCount, int32_t shareHandle);
int PlaySoundHandle(int32_t handle, int32_t playType, int32_t fromTop);
int StopSoundHandle(int32_t handle);
int DeleteSoundHandle(int32_t handle, int32_t unused);
int SetSoundHandleVolume(int32_t volume, int32_t handle);

