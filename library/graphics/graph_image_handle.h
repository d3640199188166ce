// Graph-image handles: base images held behind a handle of their own kind.
// Nothing in the library makes one; the table is emptied at library end.
#pragma once

#include <cstdint>

#include "library/graphics/color_format.h"
#include "library/graphics/object_handle.h"

struct GraphImageHandleRecord {
  GraphImage image;
  uint32_t checkNumber;
};

constexpr uint32_t GraphImageHandleCapacity = 8192;
using GraphImageHandleTableType =
    HandleTable<GraphImageHandleRecord, HandleKindGraphImage, GraphImageHandleCapacity>;
extern GraphImageHandleTableType GraphImageHandleTable;

// Releases the image and its record; -1 for an invalid handle.
int FreeGraphImageHandle(ObjectHandle handle);
int FreeAllGraphImageHandles();
// The library's end step for this kind.
int EndGraphImageHandles();
