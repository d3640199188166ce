#include "library/graphics/graph_handle.h"

#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/startup.h"
#include "library/core/text_helpers.h"
#include "library/graphics/d3d9/d3d_texture.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"
#include "library/movie/movie_handle.h"

GraphHandleTableType GraphHandleTable;

namespace {

void CloseGraphMovie(GraphRecord* record) {
  if (record->movie != -1) CloseMovieHandle(record->movie);
  record->movie = -1;
}

void ReleaseGraphSurfacePixels(GraphSurface* surface) {
  if (surface->request.hardware)
    G_D3D_FreeSurfacePieces(surface);
  else
    ReleaseMemImg(&surface->image);
}

void DropFileName(GraphRecord* record) {
  GraphFileNameRecord* name = record->fileName;
  record->fileName = nullptr;
  if (name != nullptr && --name->referenceCount == 0) TrackedFree(name);
}

}  // namespace

ObjectHandle AllocGraphHandle() {
  int32_t slot = GraphHandleTable.FreeSlot();
  if (slot < 0) FatalErrorExit("グラフィックの数が許容量を越えました終了します");
  auto* record = static_cast<GraphRecord*>(TrackedCalloc(sizeof(GraphRecord), __FILE__, __LINE__));
  if (record == nullptr) FatalErrorExit("メモリの確保に失敗しました");
  ObjectHandle handle = GraphHandleTable.Insert(slot, record);
  record->handle = handle;
  record->movie = -1;
  return handle;
}

int IsGraphHandleValid(ObjectHandle handle) { return GraphHandleTable.Find(handle) != nullptr ? 1 : 0; }

GraphRecord* GetGraphRecordChecked(ObjectHandle handle) { return GraphHandleTable.Find(handle); }

int FreeGraph(ObjectHandle handle) {
  GraphRecord* record = GraphHandleTable.Find(handle);
  if (record == nullptr) return -1;
  CloseGraphMovie(record);
  const MEMIMG* releasedImage = nullptr;
  if (GraphSurface* surface = record->surface; surface != nullptr) {
    if (surface->request.hardware == 0) ReleaseMemImg(&record->image);
    if (--surface->referenceCount == 0) {
      releasedImage = &surface->image;
      ReleaseGraphSurfacePixels(surface);
      TrackedFree(surface);
    }
    record->surface = nullptr;
  }
  G_D3D_FreeGraphDrawPieces(record);
  DropFileName(record);
  GraphHandleTable.Remove(static_cast<uint32_t>(handle) & HandleSlotBits);
  if (record->deleteNotify != nullptr) *record->deleteNotify = 1;
  TrackedFree(record);
  ForgetDeletedGraph(handle, releasedImage);
  return 0;
}

int FreeAllGraphs(int32_t) {
  if (!GraphicsInitialised) return 0;
  for (uint32_t slot = 0; slot < GraphHandleTable.top; ++slot) {
    if (GraphHandleTable.records[slot] != nullptr) FreeGraph(GraphHandleTable.HandleAt(slot));
  }
  return 0;
}

int SetGraphFileName(ObjectHandle handle, const char* name, ObjectHandle shareFrom) {
  GraphRecord* record = GraphHandleTable.Find(handle);
  if (record == nullptr) return -1;
  if (name == nullptr) {
    if (shareFrom == -1) {
      DropFileName(record);
      return 0;
    }
    // The other graph is checked first, so a refused call keeps the name.
    GraphRecord* other = GraphHandleTable.Find(shareFrom);
    if (other == nullptr) return -1;
    if (other == record) return 0;
    DropFileName(record);
    if (other->fileName != nullptr) {
      ++other->fileName->referenceCount;
      record->fileName = other->fileName;
    }
    return 0;
  }
  char path[2048];
  if (MakeFullPath(name, path, nullptr) != 0) return -1;
  size_t length = strlen(path);
  auto* stored = static_cast<GraphFileNameRecord*>(
      TrackedAlloc(sizeof(GraphFileNameRecord) + length + 1, __FILE__, __LINE__));
  DropFileName(record);
  if (stored == nullptr) {
    return WriteErrorLog("転送する画像ファイルのファイル名を保存するメモリ領域の確保に失敗しました\n");
  }
  stored->referenceCount = 1;
  memcpy(stored->Path(), path, length + 1);
  record->fileName = stored;
  return 0;
}

int SetGraphDeleteNotify(ObjectHandle handle, int32_t* notify) {
  GraphRecord* record = GraphHandleTable.Find(handle);
  if (record == nullptr) return -1;
  record->deleteNotify = notify;
  if (notify != nullptr) *notify = 0;
  return 0;
}

int QueryGraphSize(ObjectHandle handle, int32_t* width, int32_t* height) {
  int32_t w, h;
  if (handle == FrontScreenHandle || handle == BackScreenHandle) {
    w = ScreenWidth;
    h = ScreenHeight;
  } else {
    GraphRecord* record = GraphHandleTable.Find(handle);
    if (record == nullptr) return -1;
    w = record->width;
    h = record->height;
  }
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
  return 0;
}
