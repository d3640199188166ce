// Empty steps of modules not built yet; see pending_modules.h.
#include "library/core/pending_modules.h"

#include "platform/win32/win32.h"

