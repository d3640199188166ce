// The lookup tables of the software renderer's blending: divisions by 255,
// the 6-bit blend of 16-bit pixels, and the blend graph's weight ramp.
#pragma once

#include <cstdint>

// Row p, entry 255 + k: (k * p) / 255 truncated toward zero, k = -255..255.
// Entry 511 of each row is unused.
extern int32_t BlendDiffTable[256][512];
// Row p, entry v: floor(v * p / 255).
extern int32_t BlendScaleTable[256][256];
// [a][s][d]: floor((s * a + d * (63 - a)) / 63) on 6-bit values.
extern uint8_t Blend6BitTable[64][64][64];
// Blend graph byte to weight 0..255, rebuilt whenever a blend graph is selected.
extern uint8_t MaskRampTable[256];

// Fills BlendDiffTable, BlendScaleTable and Blend6BitTable. Returns 0.
int BuildBlendTables();
// Rebuilds MaskRampTable for the blend graph's border and range (each
// clamped to 0..255). Returns 0.
int BuildMaskRampTable(int32_t border, int32_t range);
