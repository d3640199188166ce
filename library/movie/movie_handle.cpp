#include "library/movie/movie_handle.h"

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/timer.h"
#include "library/movie/dshow_movie.h"
#include "library/movie/theora_player.h"
#include "library/sound/sound.h"
#include "library/sound/sound_decoder.h"

MovieHandleTableType MovieHandleTable;

namespace {

// Frames decoded ahead of the one shown.
constexpr int32_t kMovieRingSize = 10;

// ---------------------------------------------------------------- sound

// Decoder skip mask while a movie's sound loads: every format but Ogg Vorbis.
constexpr uint32_t kMovieSoundSkipMask = ~0x4u;

// The file's Vorbis track as a stream sound decoded straight from the file,
// with the movie switch on; the load type and skip mask in force before are
// put back. -1 when the file has no sound (or sound is off).
ObjectHandle LoadMovieSound(const char* fileName) {
  const int32_t loadType = GetSoundLoadType();
  const uint32_t skipMask = GetSoundDecoderSkipMask();
  SetSoundLoadType(3);
  SetSoundDecoderSkipMask(kMovieSoundSkipMask);
  SoundMovieSwitch = 1;
  const ObjectHandle sound = LoadSoundFile(fileName, 1, -1);
  SoundMovieSwitch = 0;
  SetSoundDecoderSkipMask(skipMask);
  SetSoundLoadType(loadType);
  return sound;
}

// ---------------------------------------------------------------- Theora

int64_t Now() { return GetMicrosecondCount(0); }

void RefreshTheoraMovie(MovieHandleRecord* record) {
  TheoraMovieState* player = record->player;
  TheoraMovieInfo info;
  GetTheoraInfo(player, &info);
  const int64_t total = info.totalFrames;
  if (!record->paused) {
    const bool loop = (record->playType & MoviePlayLoopBit) != 0;
    // The sound's play position while it plays; once it has played out the
    // clock goes on from where the sound left off (the sound's position
    // falls back to its start when it ends).
    const bool bySound = record->audio != -1 && CheckSoundHandle(record->audio) == 1;
    int64_t time;
    if (bySound) {
      time = static_cast<int64_t>(GetSoundCurrentTime(record->audio)) * 1000;
      record->startTime = Now() - time;
    } else {
      time = Now() - record->startTime;
    }
    int64_t target = static_cast<int64_t>(static_cast<double>(time) * info.framesPerSecond / 1000000.0);
    if (target < 0) target = 0;
    if (target >= total) target = !bySound && loop ? target % total : total - 1;
    const int32_t current = GetTheoraCurrentFrame(player);
    if (target != current) {
      TheoraAdvance(player, static_cast<int32_t>(target > current ? target - current : total - current + target));
      record->position = static_cast<int32_t>(time / 1000);
    }
    if (!bySound && !loop && target == total - 1) {
      record->playing = 0;
      record->paused = 1;
    }
  }
  if (record->frameCallback != nullptr) {
    record->frameCallback(record, record->callbackValue);
    record->frameShown = 1;
  }
  // A stream that cannot give the frame any more ends the movie where it
  // is, and its sound with it.
  if (TheoraFrameLost(player)) {
    if (record->audio != -1) StopSoundHandle(record->audio);
    record->playing = 0;
    record->paused = 1;
  }
}

// Plays a paused movie on from its current frame.
void ResumeMovie(MovieHandleRecord* record) {
  if (record->theora) {
    TheoraMovieInfo info;
    GetTheoraInfo(record->player, &info);
    record->startTime =
        Now() - static_cast<int64_t>(GetTheoraCurrentFrame(record->player) * 1000000.0 / info.framesPerSecond);
    if (record->audio != -1) PlaySoundHandle(record->audio, record->playType != 0 ? record->playType : 1, 0);
  } else {
    RunDirectShowMovie(record);
  }
  record->paused = 0;
  record->playing = 1;
}

int32_t FirstFreeSlot() {
  for (uint32_t slot = 0; slot < MovieHandleCapacity; ++slot) {
    if (MovieHandleTable.records[slot] == nullptr) return static_cast<int32_t>(slot);
  }
  return -1;
}

}  // namespace

ObjectHandle OpenMovie(const char* fileName, int32_t* width, int32_t* height, int32_t) {
  const int32_t slot = FirstFreeSlot();
  if (slot < 0) return -1;
  auto* record = static_cast<MovieHandleRecord*>(TrackedCalloc(sizeof(MovieHandleRecord), __FILE__, __LINE__));
  if (record == nullptr) return WriteLogMessage("メモリの確保に失敗しました in OpenMovie");
  record->audio = -1;

  const FileId file = FileStreamOpen(fileName, 0, 1, 0);
  TheoraMovieState* player = file != 0 ? TheoraOpen(GetFileStreamInterface(), file, kMovieRingSize) : nullptr;
  if (player == nullptr && file != 0) FileStreamClose(file);
  if (player != nullptr) {
    record->theora = 1;
    record->player = player;
    record->file = file;
    record->audio = LoadMovieSound(fileName);
    TheoraMovieInfo info;
    GetTheoraInfo(player, &info);
    record->width = info.width;
    record->height = info.height;
    record->currentFrameImage = GetTheoraRgbImage(player);
  } else {
    int32_t w = 0, h = 0;
    if (OpenDirectShowMovie(record, fileName, &w, &h) != 0) {
      TrackedFree(record);
      return WriteLogMessage("ムービーファイルオープン処理時にエラーが発生しました");
    }
    record->width = w;
    record->height = h;
    record->currentFrameImage = &record->frameImage;
  }
  if (width != nullptr) *width = record->width;
  if (height != nullptr) *height = record->height;
  record->paused = 1;
  record->playing = 0;
  record->playType = 1;
  return MovieHandleTable.Insert(slot, record);
}

int CloseMovieHandle(ObjectHandle handle) {
  MovieHandleRecord* record = MovieHandleTable.Find(handle);
  if (record == nullptr) return -1;
  if (record->theora) {
    // The thread reads the file until it has ended.
    TheoraClose(record->player);
    FileStreamClose(record->file);
    if (record->audio != -1) DeleteSoundHandle(record->audio, 0);
  } else {
    CloseDirectShowMovie(record);
  }
  MovieHandleTable.Remove(static_cast<uint32_t>(handle) & HandleSlotBits);
  TrackedFree(record);
  return 0;
}

MovieHandleRecord* GetMovieHandleData(ObjectHandle handle) { return MovieHandleTable.Find(handle); }

int SetMovieFrameCallback(ObjectHandle handle, MovieFrameCallback callback, void* userValue) {
  MovieHandleRecord* record = MovieHandleTable.Find(handle);
  if (record == nullptr) return -1;
  record->frameCallback = callback;
  record->callbackValue = userValue;
  return 0;
}

int RefreshMovieFrame(ObjectHandle handle, int32_t) {
  MovieHandleRecord* record = MovieHandleTable.Find(handle);
  if (record == nullptr) return -1;
  if (record->theora)
    RefreshTheoraMovie(record);
  else
    RefreshDirectShowMovie(record);
  return 0;
}

int PauseMovieHandle(ObjectHandle handle, int32_t systemFlag) {
  MovieHandleRecord* record = MovieHandleTable.Find(handle);
  if (record == nullptr) return -1;
  if (record->paused) return 0;
  if (record->theora) {
    if (record->audio != -1) StopSoundHandle(record->audio);
    RefreshMovieFrame(handle, 0);
  } else {
    PauseDirectShowMovie(record);
  }
  record->paused = 1;
  if (!systemFlag) record->playing = 0;
  return 0;
}

int PauseMoviesOnDeactivate() {
  for (uint32_t slot = 0; slot < MovieHandleTable.top; ++slot) {
    if (MovieHandleTable.records[slot] != nullptr) PauseMovieHandle(MovieHandleTable.HandleAt(slot), 1);
  }
  return 0;
}

int ResumeMoviesAfterActivate() {
  for (uint32_t slot = 0; slot < MovieHandleTable.top; ++slot) {
    MovieHandleRecord* record = MovieHandleTable.records[slot];
    if (record != nullptr && record->paused && record->playing) ResumeMovie(record);
  }
  return 0;
}

int UpdateMovieOverlays() { return 0; }

int CloseAllMovieHandles() {
  for (uint32_t slot = 0; slot < MovieHandleTable.top; ++slot) {
    if (MovieHandleTable.records[slot] != nullptr) CloseMovieHandle(MovieHandleTable.HandleAt(slot));
  }
  return 0;
}
