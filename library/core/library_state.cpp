#include "library/core/library_state.h"

int32_t LibraryInitialised = 0;
char SavedCurrentDirectory[1024] = "";
int32_t LibraryStarting = 0;
int32_t LibraryEnding = 0;
int32_t ComInitialised = 0;
