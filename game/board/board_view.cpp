// The board drawing, the camera, the status panels and the map views.
#include "game/board/board_view.h"

#include <algorithm>
#include <cmath>

#include "game/board/board_map.h"
#include "game/board/board_pictures.h"
#include "game/board/dice_movement.h"
#include "game/board/party_scene.h"
#include "game/board/board_helpers.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

float CameraX = 0.0f;
float CameraY = 0.0f;
int32_t PanelSlideOffsets[5] = {};

int32_t MapViewState = 0;
int32_t MapViewFloor = 0;
float MapViewSavedCamera[2] = {};
int32_t WholeMapViewState = 0;
int32_t WholeMapCoverAlpha = 0;

namespace {

constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;

// The status panels: their origins step 400 pixels across and 300 down (see
// DrawStatusPanel), and each covers from 18 to 232 pixels across and from
// 20 to 130 down from its origin (the face to the placement picture, the
// frame to the items and the player's number). The help line's band starts
// 450 pixels down.
constexpr int32_t kPanelColumnStep = 400, kPanelRowStep = 300;
constexpr int32_t kPanelLeft = 18, kPanelRight = 232, kPanelTop = 20, kPanelBottom = 130;
constexpr int32_t kHelpLineTop = 450;

// How board points reach the screen: screen = origin + board x scale.
struct BoardTransform {
  float scale;
  float originX, originY;
  float X(float x) const { return originX + x * scale; }
  float Y(float y) const { return originY + y * scale; }
};

BoardTransform CameraTransform() { return {1.0f, -CameraX, -CameraY}; }

const MapInfoRecord* CurrentMapInfo() {
  return CurrentMapId >= 0 && CurrentMapId < kMapInfoRows ? &MapInfoTable[CurrentMapId] : nullptr;
}

int32_t BoardWidth() { return CurrentMapInfo() ? CurrentMapInfo()->width : 0; }
int32_t BoardHeight() { return CurrentMapInfo() ? CurrentMapInfo()->height : 0; }

bool IsPlayer(int32_t player) { return player >= 1 && player <= 4; }

// The picture of a square kind, 0 for a kind without one.
int32_t SquarePictureOf(int32_t kind) {
  switch (kind) {
    case kSquareBlue:
      return SquarePictures[0];
    case kSquareRed:
      return SquarePictures[1];
    case kSquareItem:
      return SquarePictures[2];
    case kSquareEvent:
      return SquarePictures[3];
    case kSquareHouse:
      return SquarePictures[4];
    case kSquareItemShop:
      return SquarePictures[5];
    case kSquareMischiefShop:
      return SquarePictures[6];
    case kSquareStarShop:
      return SquarePictures[7];
    case kSquareRabbit:
      return SquarePictures[8];
    case kSquareZanberi:
      return SquarePictures[9];
    default:
      return 0;
  }
}

// A piece of character c's board pictures (slot 1 to 12), 0 for no character.
int32_t PiecePicture(int32_t character, int32_t slot) {
  return character >= 0 && character < kCharacterCount ? CharacterImageTable[character][slot] : 0;
}

// Whether a box about the screen point, `reach` pixels each way, can touch
// the screen: what cannot is not handed to the library at all.
bool Visible(float x, float y, float reach) {
  return x + reach >= 0 && y + reach >= 0 && x - reach < kScreenWidth && y - reach < kScreenHeight;
}

// Which squares a drawing takes: every square, or those of one map-2 floor
// (a square's floor taken from its id field).
struct SquareFilter {
  int32_t floor;  // 0: every square
  bool Takes(int32_t square) const { return floor == 0 || GetSquareFloor(SquareTable[square].id) == floor; }
};

// The passage strips of the links, 16 pixels wide, under the squares: not
// from warp or stone squares, nor to stone squares. On map 4 a link is drawn
// towards the nearest copy of its target, so the wrapping links of the grid
// cross the board's edge instead of the whole board.
void DrawLinks(const BoardTransform& t, SquareFilter filter, float wrapWidth, float wrapHeight) {
  SetDrawFilterMode(1);
  for (int32_t s = 1; s < kSquareCount; ++s) {
    const SquareRecord& from = SquareTable[s];
    if (from.kind == kSquareWarp || from.kind == kSquareStoneShop || !filter.Takes(s)) continue;
    for (int32_t target : from.link) {
      if (target <= 0 || target >= kSquareCount || SquareTable[target].kind == kSquareStoneShop) continue;
      float dx = SquareTable[target].x - from.x, dy = SquareTable[target].y - from.y;
      if (wrapWidth > 0 && std::fabs(dx) > wrapWidth / 2) dx -= std::copysign(wrapWidth, dx);
      if (wrapHeight > 0 && std::fabs(dy) > wrapHeight / 2) dy -= std::copysign(wrapHeight, dy);
      float length = std::sqrt(dx * dx + dy * dy);
      if (length < 0.5f) continue;
      float ax = t.X(from.x), ay = t.Y(from.y);
      float bx = ax + dx * t.scale, by = ay + dy * t.scale;
      float reach = length * t.scale + 8;
      if (!Visible((ax + bx) / 2, (ay + by) / 2, reach / 2 + 8)) continue;
      float nx = -dy / length * 8 * t.scale, ny = dx / length * 8 * t.scale;
      DrawGraphQuadF(ax - nx, ay - ny, bx - nx, by - ny, bx + nx, by + ny, ax + nx, ay + ny, PassagePicture, 1);
    }
  }
  SetDrawFilterMode(0);
}

// The square pictures centred on their squares at the scale (map 0: the
// top-left corner at (x - 45, y - 40)).
void DrawSquares(const BoardTransform& t, SquareFilter filter, double scale) {
  for (int32_t s = 1; s < kSquareCount; ++s) {
    const SquareRecord& square = SquareTable[s];
    int32_t picture = SquarePictureOf(square.kind);
    if (picture == 0 || !filter.Takes(s)) continue;
    float x = t.X(square.x), y = t.Y(square.y);
    if (!Visible(x, y, 64)) continue;
    if (CurrentMapId == 0) {
      DrawGraphAt(static_cast<int32_t>(x) - 45, static_cast<int32_t>(y) - 40, picture, 1);
    } else {
      DrawGraphRotated(static_cast<int32_t>(x), static_cast<int32_t>(y), scale, 0.0, picture, 1, 0);
    }
  }
}

// A still piece: the character's first piece picture stretched to 38 x 38
// about the piece's position, each player 16 pixels further right than the
// one before so that pieces on one square stay apart.
void DrawStillPiece(int32_t player, const BoardTransform& t) {
  const PlayerRecord& record = PlayerTable[player - 1];
  int32_t picture = PiecePicture(record.character, 1);
  if (picture == 0) return;
  float x = t.X(record.x) + 16 * (player - 1) - 24, y = t.Y(record.y);
  if (!Visible(x, y, 24)) return;
  int32_t cx = static_cast<int32_t>(x), cy = static_cast<int32_t>(y);
  DrawGraphStretched(cx - 19, cy - 19, cx + 19, cy + 19, picture, 1);
}

// Map 2: the floor a player stands on.
int32_t PlayerFloor(int32_t player) { return IsPlayer(player) ? GetSquareFloor(PlayerTable[player - 1].square) : 0; }

// Map 2: the floor a view starts with (square 23 counts as floor 2; a piece
// on no floor shows floor 1).
int32_t ViewFloorOf(int32_t player) {
  int32_t floor = PlayerFloor(player);
  return floor == 3 ? 2 : floor == 2 ? 2 : 1;
}

void DrawOtherPieces(int32_t player, const BoardTransform& t, int32_t floor) {
  for (int32_t q = 1; q <= 4; ++q)
    if (q != player && (floor == 0 || PlayerFloor(q) == floor)) DrawStillPiece(q, t);
}

// Map 2: one floor as the board shows it: its picture, its links and
// squares, the warp marks and the other players on it.
void DrawMansionFloor(int32_t player, int32_t floor) {
  BoardTransform t = CameraTransform();
  if (floor == 1 || floor == 2) DrawGraphAt(static_cast<int32_t>(-CameraX), static_cast<int32_t>(-CameraY),
                                            MansionMapPictures[floor - 1], 1);
  DrawLinks(t, {floor}, 0, 0);
  DrawSquares(t, {floor}, 1.0);
  DrawWarpMarks(floor);
  DrawOtherPieces(player, t, floor);
}

// The pair marks of the warp squares of a floor, at the scale.
void DrawWarpMarksAt(int32_t floor, const BoardTransform& t, double scale) {
  for (int32_t pair = 0; pair < 5; ++pair)
    for (int32_t side = 0; side < 2; ++side) {
      int32_t square = WarpPairs[2 * pair + side];
      if (square <= 0 || square >= kSquareCount || GetSquareFloor(square) != floor) continue;
      float x = t.X(SquareTable[square].x), y = t.Y(SquareTable[square].y);
      if (!Visible(x, y, 48)) continue;
      DrawGraphRotated(static_cast<int32_t>(x), static_cast<int32_t>(y), scale, 0.0, StonePictures[pair], 1, 0);
    }
}

// ---------------------------------------------------------------- map 4

struct ClipBox {
  int32_t left, top, right, bottom;
};
constexpr ClipBox kWholeScreen = {0, 0, kScreenWidth, kScreenHeight};
// Map 4's bamboo stalks stand only where no status panel is and above the
// help line: between the top panels, across the screen between the top and
// the bottom panels, and between the bottom panels down to the help line.
// The panels, their texts and the help line have only the wood's dim depth
// behind them. (Panels slide out only in the map view, which map 4 does not
// have.)
constexpr ClipBox kStalkAreas[3] = {
    {kPanelRight, 0, kPanelColumnStep + kPanelLeft, kPanelBottom},
    {0, kPanelBottom, kScreenWidth, kPanelRowStep + kPanelTop},
    {kPanelRight, kPanelRowStep + kPanelTop, kPanelColumnStep + kPanelLeft, kHelpLineTop}};

// The bamboo tiles are 640 x 480; a layer is tiled about the grid cell's
// centre so that the clearing's middle picture sits on the cell. Tiles
// outside the area are left out.
void DrawBambooLayerTiles(int32_t picture, int32_t left, int32_t top, const ClipBox& area) {
  for (int32_t j = -1; j <= 1; ++j)
    for (int32_t i = -1; i <= 1; ++i) {
      int32_t x = left + i * kScreenWidth, y = top + j * kScreenHeight;
      if (x >= area.right || y >= area.bottom || x + kScreenWidth <= area.left || y + kScreenHeight <= area.top)
        continue;
      DrawGraphAt(x, y, picture, 1);
    }
}

// The bamboo layers through the mask screen. A mask byte of 0 lets drawing
// through and any other byte keeps the screen: the mask is cleared (every
// byte 0, PaintMaskScreen(0)) and the mask picture copied over it centred on
// the player's cell (DrawMaskData mode 2): its white clearing keeps the
// board, its black surround lets the bamboo through, and the screen beyond
// the mask picture takes bamboo everywhere. The clearing reaches past the
// squares of the eight cells around the player's, so the squares the player
// moves to stay in sight, and the bamboo pictures thin out towards it. The
// under-layer, the wood's dim depth, goes through the second mask over the
// whole screen; the two layers of stalks go through the first, only where
// they leave the panels and the help line alone. The layers stay within the
// drawing area the caller set, and leave it set.
void DrawBambooLayers(int32_t player) {
  int32_t callerArea[4];
  GetDrawClipArea(callerArea);
  int32_t cellWidth = 0, cellHeight = 0;
  QueryGraphSize(BambooBoardPictures[0], &cellWidth, &cellHeight);
  const PlayerRecord* record = IsPlayer(player) ? &PlayerTable[player - 1] : nullptr;
  int32_t square = record != nullptr ? record->square : 0;
  int32_t column = 0, row = 0;
  GetBambooCell(square, &column, &row);
  float centreX = static_cast<float>(column * cellWidth + cellWidth / 2);
  float centreY = static_cast<float>(row * cellHeight + cellHeight / 2);
  // A piece on its way from its square takes the clearing along (as the
  // camera follows it): the clearing does not jump when it arrives, and the
  // tiles' other clearings, 640 and 480 pixels off, stay out of sight.
  if (record != nullptr && square >= 1 && square < kSquareCount) {
    centreX += record->x - SquareTable[square].x;
    centreY += record->y - SquareTable[square].y;
  }
  int32_t left = static_cast<int32_t>(std::floor(centreX - CameraX)) - kScreenWidth / 2;
  int32_t top = static_cast<int32_t>(std::floor(centreY - CameraY)) - kScreenHeight / 2;
  struct Pass {
    int32_t mask;
    int32_t layers[2];
    const ClipBox* areas;
    int32_t areaCount;
  };
  const Pass passes[2] = {{BambooBoardPictures[5], {BambooBoardPictures[4], 0}, &kWholeScreen, 1},
                          {BambooBoardPictures[3], {BambooBoardPictures[1], BambooBoardPictures[2]}, kStalkAreas, 3}};
  for (const Pass& pass : passes) {
    PaintMaskScreen(0);
    DrawMaskData(left, top, pass.mask, 2);
    EnableMaskScreen(1);
    for (int32_t layer : pass.layers) {
      if (layer == 0) continue;
      for (int32_t k = 0; k < pass.areaCount; ++k) {
        const ClipBox& area = pass.areas[k];
        const ClipBox within{std::max(area.left, callerArea[0]), std::max(area.top, callerArea[1]),
                             std::min(area.right, callerArea[2]), std::min(area.bottom, callerArea[3])};
        if (within.left >= within.right || within.top >= within.bottom) continue;
        SetDrawClipArea(within.left, within.top, within.right, within.bottom);
        DrawBambooLayerTiles(layer, left, top, within);
      }
    }
    SetDrawClipArea(callerArea[0], callerArea[1], callerArea[2], callerArea[3]);
    EnableMaskScreen(0);
  }
}

// Map 4: the orange ground, then the grid drawn nine times (shifted by the
// board's size both ways) so the board continues past its edges: the links
// and the squares, the bamboo over them, and the other players' pieces over
// the bamboo, so that a piece in the wood is still seen.
void DrawBambooBoard(int32_t player) {
  DrawRectangleShape(0, 0, kScreenWidth, kScreenHeight, MakeScreenColor(165, 90, 0), 1);
  int32_t cellWidth = 0, cellHeight = 0;
  QueryGraphSize(BambooBoardPictures[0], &cellWidth, &cellHeight);
  float wrapWidth = 5.0f * cellWidth, wrapHeight = 5.0f * cellHeight;
  for (int32_t j = -1; j <= 1; ++j)
    for (int32_t i = -1; i <= 1; ++i) {
      BoardTransform t{1.0f, i * wrapWidth - CameraX, j * wrapHeight - CameraY};
      DrawLinks(t, {0}, wrapWidth, wrapHeight);
    }
  for (int32_t j = -1; j <= 1; ++j)
    for (int32_t i = -1; i <= 1; ++i) DrawSquares({1.0f, i * wrapWidth - CameraX, j * wrapHeight - CameraY}, {0}, 1.0);
  DrawBambooLayers(player);
  for (int32_t j = -1; j <= 1; ++j)
    for (int32_t i = -1; i <= 1; ++i)
      DrawOtherPieces(player, {1.0f, i * wrapWidth - CameraX, j * wrapHeight - CameraY}, 0);
}

// Map 3: the blockade over a closed passage, halfway between its squares.
void DrawBlockade(int32_t from, int32_t to) {
  float x = (SquareTable[from].x + SquareTable[to].x) / 2 - CameraX;
  float y = (SquareTable[from].y + SquareTable[to].y) / 2 - CameraY;
  if (Visible(x, y, 64))
    DrawGraphRotated(static_cast<int32_t>(x), static_cast<int32_t>(y), 1.0, 0.0, BanquetMapPictures[4], 1, 0);
}

// Map 3: the banquet trio in a row above the first banquet square.
void DrawBanquetTrio() {
  for (int32_t s = 1; s < kSquareCount; ++s) {
    if (SquareTable[s].kind != kSquareBanquet) continue;
    float x = SquareTable[s].x - CameraX, y = SquareTable[s].y - CameraY - 64;
    if (!Visible(x, y, 96)) return;
    for (int32_t k = 0; k < 3; ++k)
      DrawGraphRotated(static_cast<int32_t>(x) + 48 * (k - 1), static_cast<int32_t>(y), 1.0, 0.0,
                       BanquetTrioPictures[k], 1, 0);
    return;
  }
}

// ---------------------------------------------------------------- status panels

uint32_t SquareColourOf(int32_t colour) {
  switch (colour) {
    case 0:
      return MakeScreenColor(0, 0, 0);
    case 1:
      return MakeScreenColor(0, 0, 255);
    case 2:
      return MakeScreenColor(255, 0, 0);
    default:
      return MakeScreenColor(0, 255, 0);
  }
}

// ---------------------------------------------------------------- map views

// The held bits of a player's device.
uint32_t HeldButtons(int32_t player) { return GetDeviceButtons(KeyConfigTable[player].device); }

void ClampCameraToBoard() {
  float maxX = static_cast<float>(BoardWidth() - kScreenWidth);
  float maxY = static_cast<float>(BoardHeight() - kScreenHeight);
  if (CameraX > maxX) CameraX = maxX;
  if (CameraY > maxY) CameraY = maxY;
  if (CameraX < 0) CameraX = 0;
  if (CameraY < 0) CameraY = 0;
}

// One frame of the camera's glide back: 10 pixels along the line, snapping
// to the saved point once within 5 pixels, or within 7 once it has passed
// it. True once it is there.
bool GlideCameraBack() {
  float dx = MapViewSavedCamera[0] - CameraX, dy = MapViewSavedCamera[1] - CameraY;
  float distance = std::sqrt(dx * dx + dy * dy);
  if (distance <= 5.0f) {
    CameraX = MapViewSavedCamera[0];
    CameraY = MapViewSavedCamera[1];
    return true;
  }
  CameraX += dx / distance * 10;
  CameraY += dy / distance * 10;
  float rx = MapViewSavedCamera[0] - CameraX, ry = MapViewSavedCamera[1] - CameraY;
  float rest = std::sqrt(rx * rx + ry * ry);
  bool passed = rx * dx + ry * dy < 0;
  if (rest <= 5.0f || (passed && rest <= 7.0f)) {
    CameraX = MapViewSavedCamera[0];
    CameraY = MapViewSavedCamera[1];
  }
  return false;
}

// The whole board fitted to the screen: map 2 one floor's overview at a
// fifth of the board (as the introduction shows it), the other maps the
// board picture scaled to fit the screen.
BoardTransform WholeMapTransform() {
  if (CurrentMapId == 2) return {0.2f, 80.0f, 32.0f};
  float width = static_cast<float>(BoardWidth()), height = static_cast<float>(BoardHeight());
  if (width <= 0 || height <= 0) return {1.0f, 0.0f, 0.0f};
  float scale = std::fmin(kScreenWidth / width, kScreenHeight / height);
  return {scale, (kScreenWidth - width * scale) / 2, (kScreenHeight - height * scale) / 2};
}

void DrawWholeMap(int32_t floor) {
  DrawRectangleShape(0, 0, kScreenWidth, kScreenHeight, MakeScreenColor(0, 0, 0), 1);
  BoardTransform t = WholeMapTransform();
  SquareFilter filter{CurrentMapId == 2 ? floor : 0};
  int32_t right = static_cast<int32_t>(t.X(static_cast<float>(BoardWidth())));
  int32_t bottom = static_cast<int32_t>(t.Y(static_cast<float>(BoardHeight())));
  int32_t left = static_cast<int32_t>(t.originX), top = static_cast<int32_t>(t.originY);
  switch (CurrentMapId) {
    case 0:
    case 1:
      SetDrawFilterMode(1);
      DrawGraphStretched(left, top, right, bottom, BoardPictures[CurrentMapId], 0);
      SetDrawFilterMode(0);
      break;
    case 2:
      DrawGraphRotated(320, 240, 1.0, 0.0, MansionMapPictures[floor == 2 ? 3 : 2], 1, 0);
      break;
    case 3:
      DrawGraphRotated(320, 240, 1.0, 0.0, BanquetMapPictures[2], 1, 0);
      break;
    default:
      DrawRectangleShape(left, top, right, bottom, MakeScreenColor(165, 90, 0), 1);
      break;
  }
  SetDrawFilterMode(1);
  DrawSquares(t, filter, 0.25);
  SetDrawFilterMode(0);
  if (CurrentMapId == 2) DrawWarpMarksAt(floor, t, 0.5);
  const int32_t labelX[4] = {48, 592, 48, 592}, labelY[4] = {128, 128, 352, 352};
  uint32_t red = MakeScreenColor(255, 0, 0);
  for (int32_t q = 1; q <= 4; ++q) {
    const PlayerRecord& record = PlayerTable[q - 1];
    if (CurrentMapId != 2 || PlayerFloor(q) == floor ||
        (floor == 2 && PlayerFloor(q) == 3)) {
      int32_t x = static_cast<int32_t>(t.X(record.x)), y = static_cast<int32_t>(t.Y(record.y));
      DrawLineShape(labelX[q - 1], labelY[q - 1], x, y, red, 1);
      DrawCircleShape(x, y, 4, red, 1);
    }
    int32_t picture = PiecePicture(record.character, 1);
    if (picture != 0) DrawGraphRotated(labelX[q - 1], labelY[q - 1], 1.0, 0.0, picture, 1, 0);
  }
}

}  // namespace

// ---------------------------------------------------------------- camera

void CenterCameraOnPlayer(int32_t player) {
  if (!IsPlayer(player)) return;
  CameraX = PlayerTable[player - 1].x - kScreenWidth / 2;
  CameraY = PlayerTable[player - 1].y - kScreenHeight / 2;
  // Map 4's board continues past its edges: the piece stays in the middle
  // of the screen, its clearing round it, clear of the status panels in the
  // corners (held within the board, a piece near its edge stood under them).
  if (CurrentMapId != 4) ClampCameraToBoard();
}

// ---------------------------------------------------------------- the board

int32_t GetSquareFloor(int32_t square) {
  if ((square >= 1 && square <= 22) || (square >= 59 && square <= 62)) return 1;
  if ((square >= 24 && square <= 58) || (square >= 63 && square <= 68)) return 2;
  if (square == 23) return 3;
  return 0;
}

void GetBambooCell(int32_t square, int32_t* column, int32_t* row) {
  if (square > 25 && square < kSquareCount) {
    int32_t link = SquareTable[square].link[0];
    square = link >= 1 && link <= 25 ? link : 0;
  }
  if (square < 1 || square > 25) square = 1;
  *column = (square - 1) % 5;
  *row = (square - 1) / 5;
}

void DrawWarpMarks(int32_t floor) { DrawWarpMarksAt(floor, CameraTransform(), 1.0); }

void DrawMovingPiece(int32_t player) {
  if (!IsPlayer(player)) return;
  const PlayerRecord& record = PlayerTable[player - 1];
  if (record.character < 0 || record.character >= kCharacterCount) return;
  int32_t first = 1, turn = 0;
  switch (record.facing) {
    case 8:
      first = 5;
      break;
    case 6:
      first = 9;
      break;
    case 4:
      first = 9;
      turn = 1;
      break;
    default:
      break;
  }
  SetDrawFilterMode(1);
  DrawAnimatedSprite(static_cast<int32_t>(record.x - CameraX), static_cast<int32_t>(record.y - CameraY), turn,
                     &CharacterImageTable[record.character][first], 4, 15, 1.2, 0.0);
  SetDrawFilterMode(0);
}

void DrawBoard(int32_t player) {
  BoardTransform t = CameraTransform();
  int32_t backgroundX = static_cast<int32_t>(-CameraX), backgroundY = static_cast<int32_t>(-CameraY);
  switch (CurrentMapId) {
    case 0:
      DrawGraphAt(backgroundX, backgroundY, BoardPictures[0], 1);
      DrawSquares(t, {0}, 1.0);
      DrawOtherPieces(player, t, 0);
      break;
    case 1:
      DrawGraphAt(backgroundX, backgroundY, BoardPictures[1], 1);
      DrawLinks(t, {0}, 0, 0);
      DrawSquares(t, {0}, 1.0);
      DrawOtherPieces(player, t, 0);
      break;
    case 2:
      DrawMansionFloor(player, PlayerFloor(player) != 0 ? PlayerFloor(player) : 1);
      break;
    case 3:
      DrawGraphAt(backgroundX, backgroundY, BanquetMapPictures[0], 1);
      DrawLinks(t, {0}, 0, 0);
      DrawSquares(t, {0}, 1.0);
      DrawOtherPieces(player, t, 0);
      DrawMovingPiece(player);
      if (PassageClosedRounds > 0) {
        DrawBlockade(6, 9);
        DrawBlockade(47, 53);
      }
      DrawGraphAt(backgroundX, backgroundY, BanquetMapPictures[1], 1);
      DrawBanquetTrio();
      return;
    case 4:
      DrawBambooBoard(player);
      break;
    default:
      break;
  }
  DrawMovingPiece(player);
}

void DrawTurnBoard(int32_t player, bool die, bool placements) {
  DrawBoard(player);
  const PlayerRecord* record = GetPlayer(player);
  if (die && record != nullptr && record->moveCount != 0) DrawDieNumber(record->moveCount, 320, 160);
  if (placements) AssignPlacements();
  for (int32_t k = 1; k <= 4; ++k) DrawStatusPanel(k);
}

// ---------------------------------------------------------------- status panels

void DrawStatusPanel(int32_t turnPosition) {
  if (turnPosition < 1 || turnPosition > 4) return;
  int32_t player = GetPlayerByTurnOrder(turnPosition);
  if (player == 0) return;
  const PlayerRecord& record = PlayerTable[player - 1];
  int32_t column = (turnPosition - 1) % 2, row = (turnPosition - 1) / 2;
  int32_t x = kPanelColumnStep * column - PanelSlideOffsets[turnPosition] * (1 - 2 * column);
  int32_t y = kPanelRowStep * row;
  uint32_t white = MakeScreenColor(255, 255, 255);
  int32_t font16 = FontHandlesBySize[15];

  SetDrawBlend(1, 128);
  DrawRectangleShape(x + 50, y + 20, x + 200, y + 120, SquareColourOf(record.squareColour), 1);
  SetDrawBlend(0, 255);
  DrawGraphAt(x + 50, y + 20, StatusFramePicture, 1);
  DrawFormatTextToHandle(x + 98, y + 36, white, font16, "%s", record.name);
  DrawGraphAt(x + 82, y + 52, CoinIconPicture, 1);
  DrawFormatTextToHandle(x + 98, y + 52, white, font16, "×%d", record.coins);
  DrawGraphAt(x + 82, y + 84, StarIconPicture, 1);
  DrawFormatTextToHandle(x + 98, y + 84, white, font16, "×%d", record.stars);
  DrawGraphAt(x + 18, y + 36, PiecePicture(record.character, 0), 1);
  DrawGraphAt(x + 18, y + 36, CharacterSelectPictures[player - 1], 1);
  DrawFormatTextToHandle(x + 26, y + 92, white, FontHandle35, "%dＰ", player);
  if (FatedOneCountdown[player] > 0) DrawGraphAt(x + 50, y + 20, MansionMasterPicture, 1);
  SetDrawFilterMode(1);
  for (int32_t slot = 0; slot < 3; ++slot) {
    int32_t item = record.items[slot];
    if (item < 1 || item > 40) continue;
    // 24 pixels square, 34 apart, the third's corner at (x + 150, y + 104):
    // each sits in the item menu's frame of its slot.
    DrawGraphRotated(x + 94 + 34 * slot, y + 116, 0.75, 0.0, ItemIcons[item - 1], 1, 0);
  }
  SetDrawFilterMode(0);
  if (record.placement >= 1 && record.placement <= 4)
    DrawGraphStretched(x + 168, y + 36, x + 232, y + 100, PlacementPictures[record.placement - 1], 1);
}

// ---------------------------------------------------------------- map views

int MapViewKeyPressed(int32_t player) {
  if (CurrentMapId == 4) return 0;
  if (IsNewButtonPress(player, kButtonC)) {
    MapViewSavedCamera[0] = CameraX;
    MapViewSavedCamera[1] = CameraY;
    return 1;
  }
  return IsNewButtonPress(player, kButtonD) ? 2 : 0;
}

int RunMapView(int32_t player) {
  if (!IsPlayer(player)) return 1;
  bool mansion = CurrentMapId == 2;
  switch (MapViewState) {
    case 0:
      MapViewSavedCamera[0] = CameraX;
      MapViewSavedCamera[1] = CameraY;
      MapViewFloor = ViewFloorOf(player);
      MapViewState = 1;
      [[fallthrough]];
    case 1: {
      uint32_t held = HeldButtons(player);
      const KeyConfigRecord& keys = KeyConfigTable[player];
      if ((held & keys.c) == 0 || keys.c == 0) {
        if (mansion) {
          // The floor view closes at once, the camera back where it was.
          CameraX = MapViewSavedCamera[0];
          CameraY = MapViewSavedCamera[1];
          MapViewState = 0;
          return 1;
        }
        MapViewState = 2;
        return 0;
      }
      if (held & keys.up) CameraY -= 5;
      if (held & keys.down) CameraY += 5;
      if (held & keys.left) CameraX -= 5;
      if (held & keys.right) CameraX += 5;
      ClampCameraToBoard();
      if (mansion) {
        // One floor over the whole screen, scrolled as on the other maps.
        if (IsNewButtonPress(player, kButtonB)) MapViewFloor = MapViewFloor == 1 ? 2 : 1;
        DrawRectangleShape(0, 0, kScreenWidth, kScreenHeight, MakeScreenColor(0, 0, 0), 1);
        DrawMansionFloor(0, MapViewFloor);
        DrawHelpLine("Ｂ：表示する階を変える　Ｃを離す：戻る");
        return 0;
      }
      for (int32_t k = 1; k <= 4; ++k)
        if (PanelSlideOffsets[k] <= 249) PanelSlideOffsets[k] += 12;
      return 0;
    }
    case 2: {
      bool back = CameraX == MapViewSavedCamera[0] && CameraY == MapViewSavedCamera[1];
      if (!back) GlideCameraBack();
      bool panelsIn = true;
      for (int32_t k = 1; k <= 4; ++k) {
        PanelSlideOffsets[k] = PanelSlideOffsets[k] > 12 ? PanelSlideOffsets[k] - 12 : 0;
        if (PanelSlideOffsets[k] != 0) panelsIn = false;
      }
      if (back && panelsIn) {
        MapViewState = 0;
        return 1;
      }
      return 0;
    }
    default:  // a step no state leads to: closed
      MapViewState = 0;
      return 1;
  }
}

int RunWholeMapView(int32_t player) {
  if (!IsPlayer(player)) return 1;
  uint32_t black = MakeScreenColor(0, 0, 0);
  switch (WholeMapViewState) {
    case 0:
      WholeMapCoverAlpha = 0;
      MapViewFloor = ViewFloorOf(player);
      WholeMapViewState = 1;
      [[fallthrough]];
    case 1:
      WholeMapCoverAlpha += 15;
      if (WholeMapCoverAlpha >= 255) {
        WholeMapCoverAlpha = 255;
        WholeMapViewState = 2;
      }
      DrawAlphaBox(WholeMapCoverAlpha, 0, 0, kScreenWidth, kScreenHeight, black);
      return 0;
    case 2:
      if (CurrentMapId == 2 && IsNewButtonPress(player, kButtonA)) MapViewFloor = MapViewFloor == 1 ? 2 : 1;
      if (IsNewButtonPress(player, kButtonB)) WholeMapViewState = 3;
      DrawWholeMap(MapViewFloor);
      DrawHelpLine(CurrentMapId == 2 ? "Ａ：表示する階を変える　Ｂ：戻る" : "Ｂ：戻る");
      return 0;
    case 3:
      // The cover clears again over the board.
      WholeMapCoverAlpha -= 15;
      if (WholeMapCoverAlpha <= 0) {
        WholeMapCoverAlpha = 0;
        WholeMapViewState = 0;
        return 1;
      }
      DrawAlphaBox(WholeMapCoverAlpha, 0, 0, kScreenWidth, kScreenHeight, black);
      return 0;
    default:
      WholeMapViewState = 0;
      return 1;
  }
}
