// The graph texture tables and texture sets kept beside the graph handles.
// Nothing adds records to them, so each step here only keeps the tables'
// bookkeeping, at the points where graphics start, reset and end.
#pragma once

#include <cstdint>

// sin(2 pi i / 65536) for i = 0 to 65535.
extern float SinTable[65536];
// Set from InitGraphicsTables to ReleaseGraphicsTables.
extern int32_t GraphicsTablesStarted;

// Fills SinTable and empties both tables, once, while Direct3D is in use.
int InitGraphicsTables();
// Before a device reset: the Direct3D objects of every record.
int ReleaseTextureTableDeviceObjects();
// On a device reset: every graph texture record.
int RebuildTextureTables();
// After a lost device: the images of every record.
int RestoreGraphTextures();
// Library end: every record and both arrays.
int ReleaseGraphicsTables();
