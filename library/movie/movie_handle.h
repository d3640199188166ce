// Movie handles: one opened movie file whose current frame feeds a graph. An
// Ogg file with a Theora stream plays through the library's own Theora
// player (its Vorbis track as a stream sound); every other file goes to
// DirectShow. A movie opens paused on its first frame; activation of the
// window resumes the movies whose playing mark is set.
#pragma once

#include <cstdint>

#include "library/file/file_table.h"
#include "library/graphics/color_format.h"
#include "library/graphics/object_handle.h"
#include "platform/win32/win32_types.h"

struct TheoraMovieState;
struct MovieHandleRecord;
struct IGraphBuilder;
struct IMediaControl;
struct IMediaSeeking;
struct IBasicAudio;
class MovieFrameRenderer;

// Called with each new frame: the record (its current frame image holds the
// frame) and the value given with the callback.
using MovieFrameCallback = void (*)(MovieHandleRecord* record, void* userValue);

// Bit of the play type that loops the movie.
constexpr int32_t MoviePlayLoopBit = 2;

// Wide characters of a movie's path or temporary file name.
constexpr int MovieTempNameLength = 260;

struct MovieHandleRecord {
  uint32_t checkNumber;
  int32_t playType;          // bit 1 (MoviePlayLoopBit) loops; 1 after opening
  int32_t theora;            // 1: the Theora player, 0: DirectShow
  TheoraMovieState* player;
  int64_t startTime;         // microseconds: when frame 0 would have been shown
  FileId file;               // the Theora file
  ObjectHandle audio;        // the Theora file's sound, -1 for none
  // DirectShow (every other file): the graph and its interfaces, the
  // library's renderer at the end of the video chain (with a reference of
  // the movie's own), times in 100-nanosecond units, and the temporary
  // copy of a file the graph could not open by name. tempName holds the
  // wide form of the movie's path until a temporary file is made.
  IGraphBuilder* graph;
  IMediaControl* control;
  IMediaSeeking* seeking;
  IBasicAudio* basicAudio;
  MovieFrameRenderer* renderer;
  int64_t duration;
  int64_t stopPosition;
  int32_t tempFile;
  WCHAR tempName[MovieTempNameLength];
  int32_t position;          // milliseconds: the play time of the last frame picked
  int32_t width, height;
  int32_t playing;           // 1 while the movie is meant to play (kept through a pause on deactivation)
  int32_t paused;
  int32_t frameShown;        // 1 after a Theora frame was handed to the callback
  GraphImage frameImage;     // DirectShow frames
  GraphImage* currentFrameImage;  // what the callback reads: the player's RGB image, or frameImage
  MovieFrameCallback frameCallback;
  void* callbackValue;
};

constexpr uint32_t MovieHandleCapacity = 100;
using MovieHandleTableType = HandleTable<MovieHandleRecord, HandleKindMovie, MovieHandleCapacity>;
extern MovieHandleTableType MovieHandleTable;

// mode has no effect. Width and height may be null.
ObjectHandle OpenMovie(const char* fileName, int32_t* width, int32_t* height, int32_t mode);
// -1 for a handle that is no open movie (-1 included).
int CloseMovieHandle(ObjectHandle handle);
MovieHandleRecord* GetMovieHandleData(ObjectHandle handle);
int SetMovieFrameCallback(ObjectHandle handle, MovieFrameCallback callback, void* userValue);
// Picks the frame for the time that has passed (unless paused) and hands the
// current frame to the callback. Every draw of a movie graph calls it first.
int RefreshMovieFrame(ObjectHandle handle, int32_t ignored = 0);
// systemFlag 1 (deactivation) keeps the playing mark.
int PauseMovieHandle(ObjectHandle handle, int32_t systemFlag);
int PauseMoviesOnDeactivate();
int ResumeMoviesAfterActivate();
// No movie is ever shown as an overlay: nothing to do.
int UpdateMovieOverlays();
// Closes every movie (library shut-down): their threads, graphs and
// temporary files go with them.
int CloseAllMovieHandles();
