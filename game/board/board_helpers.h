// What the steps of a turn on the board share, beneath the turn machine that
// runs them: the acting player, the CPU players' wait counters and item
// choice, and the text helpers (fonts by size, centred text, the help band).
#pragma once

#include <cstdint>

// The acting player, 0 when no player has the turn order.
extern int32_t CurrentPlayer;
// The usable slot (0 or 1) a CPU player chose this turn, -1 = none.
extern int32_t CpuItemSlot;
// A CPU player's frame counters of the turn, cleared at each turn start.
constexpr int kCpuWaitBanner = 0;
constexpr int kCpuWaitFork = 1;
extern int32_t CpuWaitFrames[2];

// The help band at the bottom of the screen.
void DrawHelpLine(const char* text);
// The font of the size (1 to 24; sizes beyond are clamped).
int32_t FontOfSize(int32_t size);
// The text in white, centred on x, its top at y.
void DrawCentredText(int32_t x, int32_t y, const char* text, int32_t font);
