// The library's public interface: the flat set of functions the game calls.
#pragma once

#include "library/core/main_window.h"
#include "library/core/message_pump.h"
#include "library/core/random.h"
#include "library/core/startup.h"
#include "library/core/system_report.h"
#include "library/core/text_helpers.h"
#include "library/core/timer.h"
#include "library/core/window_mode.h"
#include "library/file/file_table.h"
#include "library/net/network.h"
