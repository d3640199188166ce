// The library's public interface: the flat set of functions the game calls.
#pragma once

#include "library/core/random.h"
#include "library/core/text_helpers.h"
#include "library/core/timer.h"
#include "library/file/file_table.h"
