#include "library/core/library_state.h"

int32_t LibraryInitialised = 0;
char SavedCurrentDirectory[1024] = "";
