// The library's public interface: the flat set of functions the game calls.
#pragma once

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/message_pump.h"
#include "library/core/random.h"
#include "library/core/startup.h"
#include "library/core/system_report.h"
#include "library/core/text_helpers.h"
#include "library/core/timer.h"
#include "library/core/window_mode.h"
#include "library/file/file_table.h"
#include "library/input/input_devices.h"
#include "library/input/key_input.h"
#include "library/net/network.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/mask_screen.h"
<<<<<<< HEAD
// Entries of the font and sound modules until they are built.
#include "library/core/pending_modules.h"
=======
#include "library/text/font_handle.h"
#include "library/text/text_draw.h"
>>>>>>> main
