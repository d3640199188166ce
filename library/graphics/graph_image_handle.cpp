#include "library/graphics/graph_image_handle.h"

#include "library/core/memory.h"

GraphImageHandleTableType GraphImageHandleTable;

int FreeGraphImageHandle(ObjectHandle handle) {
  GraphImageHandleRecord* record = GraphImageHandleTable.Find(handle);
  if (record == nullptr) return -1;
  ReleaseGraphImage(&record->image);
  GraphImageHandleTable.Remove(static_cast<uint32_t>(handle) & HandleSlotBits);
  TrackedFree(record);
  return 0;
}

int FreeAllGraphImageHandles() {
  for (uint32_t slot = 0; slot < GraphImageHandleTable.top; ++slot) {
    if (GraphImageHandleTable.records[slot] != nullptr) FreeGraphImageHandle(GraphImageHandleTable.HandleAt(slot));
  }
  return 0;
}

int EndGraphImageHandles() { return FreeAllGraphImageHandles(); }
