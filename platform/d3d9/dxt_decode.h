// Inside the Direct3D 9 stand-in: compressed DXT1-5 levels turned into
// 32-bit pixels (blue, green, red, alpha bytes) for an OpenGL context
// without S3TC, as a texture unit would read them: DXT2 and DXT4 keep their
// premultiplied colours.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d9/d3d9.h"

namespace d3d9 {

// `blocks` holds ceil(width / 4) x ceil(height / 4) blocks in rows.
void DecodeDxtLevel(D3DFORMAT format, const uint8_t* blocks, uint32_t width, uint32_t height, uint8_t* out,
                    size_t outPitch);

}  // namespace d3d9
