// The draw preparation and the blend application: the device brought in line
// with the draw settings and the texture of each draw. Built with the blend
// modes, the texture upload and the hardware draws; until then no draw
// reaches the batch through them, and both are empty steps.
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"

int G_D3D_ApplyBlendState(int32_t, const UserBlendInfo*, int32_t) { return Direct3DDevice != nullptr ? 0 : -1; }

void G_D3D_PrepareDrawState(const void*, IDirect3DBaseTexture9*, int32_t) {}
