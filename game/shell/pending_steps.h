// Entries of the game's later modules that the shell and the party already
// call. Each is an empty step here and moves to its own module, with its
// body, when that module is built; a party step returns the result that
// lets the party go on at once.
#pragma once

#include <cstdint>

// One frame of minigame n: 1 once it has ended. Empty: ends at once.
int RunMinigame(int32_t n);
