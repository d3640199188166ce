// Entries of modules that are not built yet, which start-up, shut-down, the
// message pump and the window procedure call. Each is an empty step here and
// moves to its own module, with its body, when that module is built.
#pragma once

#include <cstdint>

#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_image_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/mask_screen.h"
#include "library/graphics/texture_tables.h"

