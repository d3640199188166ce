#include "library/graphics/texture_tables.h"

#include <cmath>

#include "library/core/memory.h"
#include "library/graphics/graphics_system.h"

float SinTable[65536];
int32_t GraphicsTablesStarted = 0;

namespace {

// A table of record pointers (null when absent).
struct TextureTable {
  void** records;
  int32_t count;
  int32_t capacity;
};
TextureTable GraphTextureTable;
TextureTable TextureSetTable;

void ReleaseTable(TextureTable* table) {
  for (int32_t i = 0; i < table->count; ++i) TrackedFree(table->records[i]);
  TrackedFree(table->records);
  *table = TextureTable{};
}

}  // namespace

int InitGraphicsTables() {
  if (!HardwareActive || GraphicsTablesStarted) return 0;
  for (int32_t i = 0; i < 65536; ++i) SinTable[i] = static_cast<float>(std::sin(2.0 * M_PI * i / 65536.0));
  GraphTextureTable = TextureTable{};
  TextureSetTable = TextureTable{};
  GraphicsTablesStarted = 1;
  return 0;
}

int ReleaseTextureTableDeviceObjects() { return 0; }
int RebuildTextureTables() { return 0; }
int RestoreGraphTextures() { return 0; }

int ReleaseGraphicsTables() {
  ReleaseTable(&GraphTextureTable);
  ReleaseTable(&TextureSetTable);
  GraphicsTablesStarted = 0;
  return 0;
}
