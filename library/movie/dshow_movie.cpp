#include "library/movie/dshow_movie.h"

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "library/movie/movie_handle.h"
#include "library/movie/movie_renderer.h"
#include "library/sound/sound_handle.h"
#include "platform/dshow/dshow.h"
#include "platform/win32/win32.h"

namespace {

// The copy into a temporary file goes through a buffer of this size.
constexpr uint32_t kCopyPiece = 1048576;
// A graph that reports no duration counts as one sixtieth of a second.
constexpr int64_t kShortestDuration = 166666;

// The record's DirectShow interfaces released, the graph last but one and
// the movie's own reference to the renderer last (the graph held the other).
void ReleaseGraph(MovieHandleRecord* record) {
  SafeRelease(record->basicAudio);
  SafeRelease(record->seeking);
  SafeRelease(record->control);
  SafeRelease(record->graph);
  SafeRelease(record->renderer);
}

void DeleteTempFile(MovieHandleRecord* record) {
  if (!record->tempFile) return;
  DeleteFileW(record->tempName);
  record->tempFile = 0;
}

// The file (through the file function table) copied into a new temporary
// file whose wide name goes to the record; false when the file cannot be
// read or the temporary file made. A copy cut short by a failed write
// still counts: rendering it tells.
bool CopyToTempFile(MovieHandleRecord* record, const char* fileName) {
  const FileId file = FileStreamOpen(fileName, 0, 1, 0);
  if (file == 0) return false;
  FileStreamSeek(file, 0, SeekFromEnd);
  const int32_t size = FileStreamTell(file);
  FileStreamSeek(file, 0, SeekFromStart);
  char path[MAX_PATH];
  HANDLE temp = size < 0 ? nullptr : CreateTempFile(path);
  if (temp == nullptr || temp == INVALID_HANDLE_VALUE) {
    FileStreamClose(file);
    return false;
  }
  MultiByteToWideChar(932, 0, path, -1, record->tempName, MovieTempNameLength);
  record->tempFile = 1;
  auto* buffer = static_cast<uint8_t*>(TrackedAlloc(kCopyPiece, __FILE__, __LINE__));
  bool copied = buffer != nullptr;
  for (uint32_t left = static_cast<uint32_t>(size); copied && left > 0;) {
    const uint32_t piece = left < kCopyPiece ? left : kCopyPiece;
    const uint32_t read = FileStreamRead(buffer, 1, piece, file);
    DWORD written = 0;
    WriteFile(temp, buffer, read, &written, nullptr);
    if (written < piece) break;
    left -= piece;
  }
  TrackedFree(buffer);
  CloseHandle(temp);
  FileStreamClose(file);
  return copied;
}

// Logs the failure of the step and leaves nothing behind.
int FailOpen(MovieHandleRecord* record, const char* message) {
  ReleaseGraph(record);
  DeleteTempFile(record);
  return WriteLogMessage(message);
}

}  // namespace

int OpenDirectShowMovie(MovieHandleRecord* record, const char* fileName, int32_t* width, int32_t* height) {
  record->graph = nullptr;
  record->control = nullptr;
  record->seeking = nullptr;
  record->basicAudio = nullptr;
  record->renderer = nullptr;
  record->duration = record->stopPosition = 0;
  record->tempFile = 0;

  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                              reinterpret_cast<void**>(&record->graph)))) {
    record->graph = nullptr;
    return FailOpen(record, "CLSID_FilterGraph の作成に失敗しました");
  }
  // The movie keeps a reference of its own, so that a renderer the graph
  // does not take is not lost.
  int result = S_OK;
  record->renderer = CreateMovieFrameRenderer(nullptr, &result);
  if (record->renderer != nullptr) record->renderer->AddRef();
  if (record->renderer == nullptr || FAILED(result) || FAILED(record->graph->AddFilter(record->renderer, u"MovieRenderer")))
    return FailOpen(record, "Could not add renderer filter to graph!");
  if (FAILED(record->graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&record->basicAudio))))
    return FailOpen(record, "BasicAudio インターフェースの取得に失敗しました");
  if (FAILED(record->graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&record->control))))
    return FailOpen(record, "IID_IMediaControlインターフェイスの取得に失敗しました");
  if (FAILED(record->graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&record->seeking))))
    return FailOpen(record, "IID_IMediaSeekingインターフェイスの取得に失敗しました");

  const UINT codePage = LibraryCodePage != 0 ? static_cast<UINT>(LibraryCodePage) : CP_ACP;
  record->tempName[0] = 0;
  if (MultiByteToWideChar(codePage, 0, fileName, -1, record->tempName, MovieTempNameLength) == 0)
    record->tempName[0] = 0;
  if (FAILED(record->graph->RenderFile(record->tempName, nullptr))) {
    char message[MAX_PATH + 64];
    FormatString(message, sizeof message, "ファイル:%s が開けませんでした", fileName);
    // Members of archive files (and other names the graph cannot open)
    // play from a copy on disk.
    if (!CopyToTempFile(record, fileName) || FAILED(record->graph->RenderFile(record->tempName, nullptr)))
      return FailOpen(record, message);
  }

  if (FAILED(record->seeking->GetDuration(&record->duration)) || record->duration == 0)
    record->duration = kShortestDuration;
  if (FAILED(record->seeking->GetStopPosition(&record->stopPosition))) record->stopPosition = record->duration;
  *width = record->renderer->width;
  *height = record->renderer->height;
  return 0;
}

void RefreshDirectShowMovie(MovieHandleRecord* record) {
  MovieFrameRenderer* renderer = record->renderer;
  // The frame is handed on under the renderer's frame lock, so that the
  // next frame is not copied in while the callback reads this one.
  if (renderer != nullptr) renderer->LockFrame();
  if (renderer != nullptr && renderer->newFrame.exchange(0, std::memory_order_acquire) != 0 &&
      record->frameCallback != nullptr) {
    GraphImage& image = record->frameImage;
    SetColorFormatRGB24(&image.format);
    image.width = renderer->width;
    image.height = renderer->height;
    image.pitch = renderer->pitch;
    image.pixels = renderer->frameBuffer;
    image.mipLevels = 0;
    record->currentFrameImage = &image;
    record->frameCallback(record, record->callbackValue);
  }
  if (renderer != nullptr) renderer->UnlockFrame();
  // A paused movie stays where it is.
  if (record->seeking == nullptr || record->control == nullptr || record->paused) return;
  LONGLONG now = 0;
  if (FAILED(record->seeking->GetCurrentPosition(&now)) || now < record->stopPosition) return;
  if (record->playType & MoviePlayLoopBit) {
    LONGLONG start = 0;
    record->seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    record->control->Run();
  } else {
    record->playing = 0;
    record->paused = 1;
  }
}

void CloseDirectShowMovie(MovieHandleRecord* record) {
  // The graph lets go of the file before it is deleted.
  ReleaseGraph(record);
  DeleteTempFile(record);
  record->frameImage.pixels = nullptr;
  record->currentFrameImage = nullptr;
}

void PauseDirectShowMovie(MovieHandleRecord* record) {
  if (record->control != nullptr) record->control->Pause();
}

void RunDirectShowMovie(MovieHandleRecord* record) {
  if (record->control != nullptr) record->control->Run();
}
