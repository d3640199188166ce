// The dialogue pieces the board events share: a page of text in the choice
// window with the page wait that ends it, the event characters' built-in
// lines, the yes/no choice, and the Shift-JIS cut of the event text readers.
#pragma once

#include <cstddef>
#include <cstdint>

// The text area inside the choice window (13 columns, 3 rows of size 16).
constexpr int32_t kEventTextRight = 501;
constexpr int32_t kEventTextLeft = 294;
constexpr int32_t kEventTextTop = 150;
constexpr int32_t kEventTextBottom = 200;
constexpr int32_t kEventTextSize = 16;

// The page wait: a human's page ends on a new press of A on the player's own
// input; a CPU's on the 46th frame after the text has been typed (the
// mansion's characters: the 51st).
constexpr int32_t kCpuPageFrames = 46;
constexpr int32_t kCpuLineFrames = 51;

// One page being shown.
struct EventPageRecord {
  int32_t typed;  // 1 once the text has been typed
  int32_t wait;   // a CPU's frames since then (counted while at most 50)
};

// Makes the next DrawMessageText call start its text afresh, whatever id the
// last text had: every event starts its first page with this.
void RestartEventText();

// Plays SoundEffectHandles[slot] in the background from its start.
void PlayEventSound(int32_t slot);

// True on a frame of the page wait that ends the page: a human's new press
// of A, or a CPU's frame count reaching cpuFrames.
bool PageWaitDone(int32_t* wait, int32_t player, int32_t cpuFrames);

// One frame of a page of a text file (each page ends with '@N'): the text is
// typed in the choice window's area, then the page wait. 1 on the frame the
// page ends (the record is cleared for the next page), else 0.
int RunEventPage(EventPageRecord* page, int32_t textId, const char* text, int32_t player);

// One frame of a built-in line of an event character: a human's line ends
// with '@F' and ends when it is confirmed; a CPU's ('@A' ... '@N') ends 51
// frames after it has been typed. 1 on the frame the line ends, else 0.
int RunEventLine(EventPageRecord* page, int32_t textId, const char* text, int32_t player);

// The yes/no choice: two labels at (320, 220) and (320, 260) in size 20 with
// a frame round the one under the cursor.
struct EventChoiceRecord {
  int32_t cursor;    // 0 the first label, 1 the second
  int32_t decision;  // a CPU player's: the label it confirms
  int32_t frames;    // a CPU player's frames since its cursor last moved
};
void ResetEventChoice(EventChoiceRecord* choice, int32_t cpuDecision);
// One frame: a human moves the cursor with up or down (the cursor sound on a
// change) and confirms with a new press of A; a CPU moves its cursor every
// 46 frames until it stands on its decision, then confirms. 0 while
// choosing, 1 the first label, 2 the second.
int RunEventChoice(EventChoiceRecord* choice, int32_t player, const char* first, const char* second);

// Draws the text centred on x 320 with its top at y, in white, font size 16.
void DrawCentredEventText(int32_t y, const char* text);

// The length of the text's longest start that ends on a whole character as
// the message renderer steps it (a byte 0x20..0x7E is one character, any
// other starts a character of two): a lead byte whose trail byte is cut off
// is left out.
size_t WholeCharacterLength(const char* text, size_t length);
