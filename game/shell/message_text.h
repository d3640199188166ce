// The message text renderer and the windows drawn around texts.
//
// Every spoken or explanatory text of the game goes through DrawMessageText,
// called once a frame: it types the text character by character into ten
// lines, pausing at the '@' codes written into the text itself. The window
// shapes: the frame of 32-pixel tiles, the animated window that grows from
// its centre and shrinks back, a plain alpha box, two fixed choice windows
// with an event-character portrait, and the dialogue box at the bottom of
// the screen.
#pragma once

#include <cstdint>

#include "library/zrlib.h"

// ---------------------------------------------------------------- message lines

constexpr int kMessageLineCount = 10;
constexpr int kMessageLineBytes = 65;

// Ten NUL-terminated Shift-JIS lines; line i is drawn at y = top + i x size.
extern char MessageLines[kMessageLineCount][kMessageLineBytes];

// The typing state, one for the whole game (only one text runs at a time).
extern int32_t MessageTextId;         // the text id of the last call
extern int32_t MessageTextState;      // 2 restart, 3 typing, 4 instant, 6 confirmed; 0 and 1 act as 2
extern int32_t MessageReadPos;        // byte index into the text
extern int32_t MessageColumn;         // bytes written into the current line
extern int32_t MessageLine;           // 0 to 9
extern int32_t MessageTypingCounter;  // 0 to 3
// 1 once the text has reached its end ('@N', or a NUL where a text lacks its
// end code); 0 again when a text starts.
extern int32_t MessageTextEnded;

// One frame of a text in the area (left, top)-(right, bottom) with
// characters of `size` pixels (1 to 24; the font is FontHandlesBySize entry
// size - 1). A textId other than the last call's starts the text anew. The
// speaker (1 to 4) is the input record whose A button confirms and skips.
// 0 while running; 1 once, when the text is confirmed at '@F'; -1 on every
// call once '@N' (or the text's end) is reached.
//
// Codes: '@A' show the rest at once up to the next wait; '@C' wait for A;
// '@F' wait for A, then the result 1; '@N' the end; '@P' wait for A on input
// record 1, then a new page; '@R' a new line; '@I' clear and start at the
// top; '@M' n play music slot n once; '@B' n and '@S' n[,n] are read and
// do nothing; '@E', '@V' type the letter itself. A byte 0x20..0x7E is one
// character, every other byte starts a character of two bytes. A NUL ends a
// text wherever it stands, as '@N' does.
int DrawMessageText(int32_t right, int32_t textId, int32_t left, int32_t top, int32_t bottom, int32_t size,
                    const char* text, int32_t speaker);
// Zero-fills the lines; read position, column, line and typing counter to 0.
void ClearMessageLines();

// Reads up to five lines of a Shift-JIS text file into buffer (a zeroed
// block of 5 x 100 bytes): line k at buffer + 100 k, at most 99 bytes of it
// (the rest of a longer line is skipped), NUL-terminated; a '\r' before the
// '\n' stays in the line. A file that does not open ends the program after a
// message box.
constexpr int kTextFileLines = 5;
constexpr int kTextFileLineBytes = 100;
void LoadTextFile(const char* path, char* buffer);
// The line reader of the text files: up to `lines` lines of the open file
// into buffer, line k at buffer + lineBytes k, at most lineBytes - 1 bytes
// of it (the rest of a longer line is skipped), NUL-terminated; '\n' ends a
// line, a byte 0xFF (the file's end) ends the reading. work holds lineBytes
// bytes. True when a line was cut.
bool ReadTextLines(FileId file, char* buffer, int32_t lines, int32_t lineBytes, char* work);

// ---------------------------------------------------------------- windows

// The frame of 32 x 32 tiles around the rectangle (its inside is not
// filled). 1 when drawn; -1, drawing nothing, when the rectangle is 32
// pixels or less in either direction.
int DrawWindowFrame(int32_t left, int32_t top, int32_t right, int32_t bottom);

// The state of a window that grows from its centre and shrinks back.
struct AnimatedWindowRecord {
  int32_t state;  // 0 and 1 reset, 2 grow, 3 hold, 4 shrink
  int32_t halfWidth, halfHeight;
  float widthAccumulator, heightAccumulator;
};
extern AnimatedWindowRecord AnimatedWindow;
extern AnimatedWindowRecord ChoiceWindow;
extern AnimatedWindowRecord WideChoiceWindow;

// A half-transparent black window with its frame, growing over `steps`
// calls to the rectangle and shrinking back by the same amounts. command 1
// opens (or keeps going), 2 holds it open, 3 closes it. 1 when the current
// phase is complete, else 0. Each growth is at least one pixel, so a window
// always opens and closes.
int DrawAnimatedWindow(int32_t top, int32_t bottom, int32_t left, int32_t right, int32_t steps, int32_t command);
// A filled box at the opacity (clamped to 0..255). 0, or -1 when the box
// could not be drawn.
int DrawAlphaBox(int32_t alpha, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
// The choice window (128, 134)-(512, 326) after 16 calls, with the event
// portrait standing on its bottom left corner. As DrawAnimatedWindow.
int DrawChoiceWindow(int32_t command, int32_t portrait);
// The wide choice window (16, 134)-(624, 326) after 16 calls; for n 11 the
// portrait 11 at (-6, 140). As DrawAnimatedWindow.
int DrawWideChoiceWindow(int32_t command, int32_t n);
// The dialogue box (16, 352)-(624, 464) with the event portrait standing on
// its bottom edge at the left.
void DrawDialogueBox(int32_t portrait);
// The portrait of the board map's host: 5 for map 3, 6 for map 4, 4 for maps
// 1, 2, 5, 6 and 7; 0 (none) for any other map.
int32_t GetHostPortrait(int32_t map);
// The dialogue box with the board map's host; nothing for a map without one.
void DrawHostDialogueBox(int32_t map);
