// What the unscaled and the stretched blit entries share: the checks of the
// image records, the per-call blend context and the palette copy, and the
// choice of the row loop.
#pragma once

#include <cstdint>

#include "library/graphics/mem_img.h"
#include "library/softrender/blit_kernels.h"

// The records can be drawn from src onto dst: both present with consistent
// pixel sizes, the same depth kind, a destination that is neither paletted
// nor carries alpha, and a mask (when given) that covers the source.
bool BlitRecordsFit(const MEMIMG* dst, const MEMIMG* src, const MEMIMG* mask);

// The table rows of the current draw state and the source's transparent colour.
BlendContext MakeBlendContext(const MemImgBuffer* src, const uint8_t* paletteCopy);

// Copies the source palette (at most 256 entries, 4 or 2 bytes each by
// depth kind) into copy and zeroes the entries after it.
void CopySourcePalette(uint8_t* copy, const MemImgBuffer* src);

// The blend mode as the loops know it (mode 1 at parameter 255 becomes 0),
// or -1 when the mode and parameter draw nothing. Paletted sources draw
// mode 3 at parameter 0.
int32_t EffectiveBlendMode(bool paletted);

BlitSource SourceKindOf(const MemImgBuffer* src);

// Sets up a blit from src under the current draw state: copies a paletted
// source's palette into paletteCopy, fills *context and *variant, and
// returns the variant's row loop; null when nothing is drawn (a depth kind
// without loops, a mode and parameter that draw nothing).
BlitRowFn PrepareBlitRow(const MemImgBuffer* src, bool masked, int32_t trans, bool stretched,
                         uint8_t* paletteCopy, BlendContext* context, BlitVariant* variant);
