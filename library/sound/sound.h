// Sound handles: sounds loaded from WAVE, MP3 and Ogg Vorbis files (or file
// images in memory), played, stopped, measured and deleted by handle.
// Volumes are 0 to 255 (255 full, 0 silent); play types are 0 (play and
// wait for the end), 1 (background) and 3 (loop).
#pragma once

#include <cstdint>

// How later loads keep their data: 0 decoded whole to PCM at load (sounds
// over 180 seconds become stream sounds anyway), 2 a stream sound that
// decodes a memory copy of the file while it plays, 3 a stream sound that
// decodes straight from the open file. 1 is taken as 0; above 3: -1.
int SetSoundLoadType(int32_t loadType);
int GetSoundLoadType();

// A sound from a file with 1 to 10 play buffers (a sound with n buffers can
// sound n times at once); share names a stream sound whose buffer a stream
// sound may use, or -1. The handle, or -1.
int CreateSoundFromFile(const char* fileName, int32_t bufferCount, int32_t share);
int LoadSoundFile(const char* fileName, int32_t bufferCount, int32_t share);
// The same from a file image in memory (at most 10 buffers; the last
// argument is -1).
int CreateSoundFromMemory(const void* image, uint32_t size, int32_t bufferCount, int32_t unused);

// Play type 0 returns when the sound has ended (or the window is closed).
// fromTop 1 starts from the beginning; fromTop 0 lets a playing sound be.
int PlaySoundHandle(int32_t handle, int32_t playType, int32_t fromTop);
int StopSoundHandle(int32_t handle);
// 1 playing, 0 not, -1 for a bad handle.
int CheckSoundHandle(int32_t handle);
// The second argument has no effect (pass 0).
int DeleteSoundHandle(int32_t handle, int32_t unused = 0);
int DeleteAllSoundHandles(int32_t unused = 0);
// volume 0 to 255 (more counts as 255), applied now and to later plays.
int SetSoundHandleVolume(int32_t volume, int32_t handle);

// Length and position: samples, or milliseconds (truncated).
int GetSoundTotalSample(int32_t handle);
int GetSoundTotalTime(int32_t handle);
int GetSoundCurrentTime(int32_t handle);
