// The windows drawn around texts: the tile frame, the animated window, the
// alpha box, the two choice windows and the dialogue box.
#include "game/shell/message_text.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

AnimatedWindowRecord AnimatedWindow = {};
AnimatedWindowRecord ChoiceWindow = {};
AnimatedWindowRecord WideChoiceWindow = {};

namespace {

// The tiles of "window_枠.png": cell 0 the corner (drawn as the top-left
// corner), cell 1 the edge (drawn as the top edge); the other corners and
// edges are rotations of them.
int32_t CornerTile() { return WindowFrameTiles[0]; }
int32_t EdgeTile() { return WindowFrameTiles[1]; }

constexpr double kHalfTurn = 3.1415927410125732;
constexpr double kQuarterTurn = 1.5707963705062866;
constexpr double kThreeQuarterTurn = 4.71238911151886;

void DrawTile(int32_t x, int32_t y, double angle, int32_t tile) { DrawGraphRotated(x, y, 1.0, angle, tile, 1, 0); }

// How one window grows and shrinks: its full half sizes and the growth of
// each call. A capped window never grows past its full size.
struct WindowShape {
  int32_t halfWidth, halfHeight;
  float growWidth, growHeight;
  bool capped;
};

// One call of a window's machine (without the drawing). 1 when the phase is
// complete, else 0.
int StepWindow(AnimatedWindowRecord& w, const WindowShape& shape, int32_t command) {
  if (command == 2) w.state = 3;
  if (command == 3) w.state = 4;
  switch (w.state) {
    case 0:
    case 1:
      w = AnimatedWindowRecord{2, 0, 0, 0.0f, 0.0f};
      return 0;
    case 2:
      if (w.halfWidth == shape.halfWidth || w.halfHeight == shape.halfHeight) return 1;
      w.widthAccumulator += shape.growWidth;
      w.heightAccumulator += shape.growHeight;
      w.halfWidth = static_cast<int32_t>(w.widthAccumulator);
      w.halfHeight = static_cast<int32_t>(w.heightAccumulator);
      if (shape.capped) {
        if (w.halfWidth > shape.halfWidth) w.halfWidth = shape.halfWidth;
        if (w.halfHeight > shape.halfHeight) w.halfHeight = shape.halfHeight;
      }
      return 0;
    case 3:
      return 1;
    case 4:
      // At zero (or below, should the rectangle have changed since it opened).
      if (w.halfWidth <= 0 || w.halfHeight <= 0) {
        w.state = 1;
        return 1;
      }
      w.widthAccumulator -= shape.growWidth;
      w.heightAccumulator -= shape.growHeight;
      w.halfWidth = static_cast<int32_t>(w.widthAccumulator);
      w.halfHeight = static_cast<int32_t>(w.heightAccumulator);
      return 0;
    default:
      return 0;
  }
}

// The window's half-transparent black inside and its frame about the centre.
void DrawWindowBody(int32_t cx, int32_t cy, const AnimatedWindowRecord& w) {
  int32_t x1 = cx - w.halfWidth, y1 = cy - w.halfHeight, x2 = cx + w.halfWidth, y2 = cy + w.halfHeight;
  SetDrawBlend(1, 150);
  DrawRectangleShape(x1, y1, x2, y2, MakeScreenColor(0, 0, 0), 1);
  SetDrawBlend(0, 255);
  DrawWindowFrame(x1, y1, x2, y2);
}

// The portrait of an event character, or 0 (nothing) for a number outside the table.
int32_t Portrait(int32_t number) { return number >= 0 && number < 23 ? EventPortraitTable[number] : 0; }

// The choice windows' centre.
constexpr int32_t kChoiceCentreX = 320;
constexpr int32_t kChoiceCentreY = 230;

}  // namespace

int DrawWindowFrame(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  int64_t width = static_cast<int64_t>(right) - left;
  int64_t height = static_cast<int64_t>(bottom) - top;
  if (width <= 32 || height <= 32) return -1;
  int32_t edge = EdgeTile(), corner = CornerTile();
  // The rows and columns of edge tiles run on until they reach under the
  // far corners. Where the side is a whole number of tiles they would end
  // exactly where the far corner begins, and the software renderer turns a
  // tile of even size about its integer centre, which puts a quarter-turned
  // corner a pixel right of its place: the top row and the right column
  // would show a one-pixel gap before their last corner. One more edge tile,
  // wholly under the corner, fills it; a corner drawn in its place hides it.
  for (int64_t i = 0;; ++i) {
    int32_t x = static_cast<int32_t>(left + 16 + 32 * i);
    DrawTile(x, top + 16, 0.0, edge);
    DrawTile(x, bottom - 16, kHalfTurn, edge);
    if (width - 32 * (i + 1) < 32) break;
  }
  for (int64_t j = 0;; ++j) {
    int32_t y = static_cast<int32_t>(top + 16 + 32 * j);
    DrawTile(left + 16, y, kThreeQuarterTurn, edge);
    DrawTile(right - 16, y, kQuarterTurn, edge);
    if (height - 32 * (j + 1) < 32) break;
  }
  DrawTile(left + 16, top + 16, 0.0, corner);
  DrawTile(left + 16, bottom - 16, kThreeQuarterTurn, corner);
  DrawTile(right - 16, bottom - 16, kHalfTurn, corner);
  DrawTile(right - 16, top + 16, kQuarterTurn, corner);
  return 1;
}

int DrawAnimatedWindow(int32_t top, int32_t bottom, int32_t left, int32_t right, int32_t steps, int32_t command) {
  int32_t cx = (left + right) / 2, cy = (top + bottom) / 2;
  WindowShape shape{};
  shape.halfWidth = (right - left) / 2;
  shape.halfHeight = (bottom - top) / 2;
  // Zero steps open the window at once; a window smaller than its steps
  // still grows by a pixel a call, so it opens and closes in every case.
  int32_t n = steps < 1 ? 1 : steps;
  int32_t dw = shape.halfWidth / n, dh = shape.halfHeight / n;
  shape.growWidth = static_cast<float>(dw < 1 ? 1 : dw);
  shape.growHeight = static_cast<float>(dh < 1 ? 1 : dh);
  shape.capped = true;
  int result = StepWindow(AnimatedWindow, shape, command);
  DrawWindowBody(cx, cy, AnimatedWindow);
  return result;
}

int DrawAlphaBox(int32_t alpha, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  if (alpha < 1) alpha = 0;
  if (alpha >= 255) alpha = 255;
  SetDrawBlend(1, alpha);
  int drawn = DrawRectangleShape(x1, y1, x2, y2, colour, 1);
  SetDrawBlend(0, 255);
  return drawn == 0 ? 0 : -1;
}

int DrawChoiceWindow(int32_t command, int32_t portrait) {
  int result = StepWindow(ChoiceWindow, WindowShape{192, 96, 12.0f, 6.0f, false}, command);
  DrawWindowBody(kChoiceCentreX, kChoiceCentreY, ChoiceWindow);
  int32_t graph = Portrait(portrait);
  int32_t width = 0, height = 0;
  QueryGraphSize(graph, &width, &height);
  DrawGraphRotated(128 + width / 2, 326 - height / 2, 1.0, 0.0, graph, 1, 0);
  return result;
}

int DrawWideChoiceWindow(int32_t command, int32_t n) {
  // The half height completes first (after 16 calls), when the half width
  // has grown to 304.
  int result = StepWindow(WideChoiceWindow, WindowShape{288, 96, 19.0f, 6.0f, false}, command);
  DrawWindowBody(kChoiceCentreX, kChoiceCentreY, WideChoiceWindow);
  if (n == 11) DrawGraphAt(-6, 140, EventPortraitTable[11], 1);
  return result;
}

void DrawDialogueBox(int32_t portrait) {
  SetDrawBlend(1, 150);
  DrawRectangleShape(16, 352, 624, 464, MakeScreenColor(0, 0, 0), 1);
  SetDrawBlend(0, 255);
  DrawWindowFrame(16, 352, 624, 464);
  int32_t graph = Portrait(portrait);
  int32_t height = 0;
  QueryGraphSize(graph, nullptr, &height);
  DrawGraphAt(16, 464 - height, graph, 1);
}

int32_t GetHostPortrait(int32_t map) {
  switch (map) {
    case 3:
      return 5;
    case 4:
      return 6;
    case 1:
    case 2:
    case 5:
    case 6:
    case 7:
      return 4;
    default:
      return 0;
  }
}

void DrawHostDialogueBox(int32_t map) {
  int32_t portrait = GetHostPortrait(map);
  if (portrait != 0) DrawDialogueBox(portrait);
}
