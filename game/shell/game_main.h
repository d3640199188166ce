// The game's entry: configures and starts the library, runs the main loop
// and ends the library.
#pragma once

// 0 after a normal end, -1 when start-up fails.
int WinMain();
