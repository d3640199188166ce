// What the shops share of the board events' conventions: their texts and
// page waits, the vertical choice lists a human moves with up and down and
// a CPU player walks one step at a time, and the buyer's coin and item
// tests.
#pragma once

#include <cstdint>

// A text of the shops: one frame of DrawMessageText in the shops' window
// (right 501, left 294, top 150, bottom 200, size 16), with its result.
int DrawShopText(int32_t textId, const char* text, int32_t player);

// Makes the next DrawMessageText call with this id start its text afresh,
// even when the last text shown had the same id.
void StartShopText(int32_t textId);

// The page wait of a text whose frame returned textResult: a human's page
// ends on a new press of A on the player's own record (or when an '@F' text
// was confirmed); a CPU player's once the text has been typed to its end and
// cpuFrames frames have passed (the counter counts while it is at most 50).
// The counter is cleared when the page ends.
bool IsPageOver(int32_t player, int textResult, int32_t* counter, int32_t cpuFrames);

// A vertical choice: entry k's label at (x, y + step k) in the font of the
// size, the cursor a window frame from (frameLeft, y + step c - 10) to
// (frameRight, y + step c + 30).
struct ChoiceList {
  int32_t count;
  const char* const* labels;
  int32_t x, y, step;
  int32_t frameLeft, frameRight;
  int32_t fontSize;
};
constexpr int kChoiceRunning = -1;
constexpr int kChoiceBack = -2;  // a human's B

// Draws the list and runs one frame of the choice: a human moves the cursor
// with up and down (wrapping, cursor27 on a change), chooses with a new
// press of A and goes back with B; a CPU player moves one step down every
// cpuFrames frames until the cursor stands on cpuTarget, and chooses it on
// the next cpuFrames-th frame. kChoiceRunning, kChoiceBack or the entry chosen.
int RunChoiceList(const ChoiceList& list, int32_t player, int32_t* cursor, int32_t cpuTarget, int32_t* cpuCounter,
                  int32_t cpuFrames);
// The list as drawn by RunChoiceList, without input.
void DrawChoiceList(const ChoiceList& list, int32_t cursor);

// A sound effect from the start, in the background.
void PlayShopSound(int32_t slot);
bool IsCpuPlayer(int32_t player);
