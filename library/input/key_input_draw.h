// Drawing a key-input field: its text with the selection, the caret, and
// for the active field the input method's composition and candidate list,
// all with the key-input font (or the default font) in the fields' colours.
#pragma once

#include <cstdint>

#include "library/input/key_input.h"

// Screen colour values of the fields (MakeScreenColor).
struct KeyInputColorTable {
  uint32_t text, textEdge;
  uint32_t caret;
  uint32_t selectionBox, selectedText, selectedTextEdge;
  uint32_t compositionEdge, imeCaret, clauseUnderline;
  // The converted clause's box and the selected candidate's text.
  uint32_t convertedClause;
  uint32_t selectedCandidateEdge;
  uint32_t candidateFrame, candidateFill;
};
extern KeyInputColorTable KeyInputColors;

// Candidates shown at once; the page that holds the selection is shown.
constexpr int32_t kCandidatePageSize = 9;

// The defaults, once the screen format is known.
void SetDefaultKeyInputColors();
// Draws the field at (x, y) moved into the draw area; scrolls its text so
// that the cursor stays in view. 0, or -1 without a usable font.
int DrawKeyInputField(int32_t x, int32_t y, KeyInputRecord& field, bool active);
