// The board drawing: the floors and cells of maps 2 and 4, the camera and
// its clamp, the boards of maps 1 to 4 on the screen (map 2's floors, map
// 4's bamboo clearing through the mask screen, away from the player, the
// panels and the texts), the status panels, and the two map views with the
// panels sliding out and back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/board/board_map.h"
#include "game/board/board_pictures.h"
#include "game/board/board_view.h"
#include "game/board/dice_movement.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/party_support.h"

namespace {

#define REQUIRE_MEDIA() \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"

// Screens are saved for a look when ZR_BOARD_SHOTS names a folder.
void Shot(GameHarness& h, const std::string& name) {
  if (const char* dir = getenv("ZR_BOARD_SHOTS")) h.SaveScreen(std::string(dir) + "/" + name + ".bmp");
}

TEST(BoardView, FloorsAndBambooCells) {
  struct FloorCase {
    int32_t square, floor;
  };
  const FloorCase floors[] = {{0, 0},  {1, 1},  {22, 1}, {23, 3}, {24, 2}, {58, 2},  {59, 1},
                              {62, 1}, {63, 2}, {68, 2}, {69, 0}, {99, 0}, {-1, 0}, {100, 0}};
  for (const FloorCase& c : floors) EXPECT_EQ(GetSquareFloor(c.square), c.floor) << c.square;

  memset(SquareTable, 0, sizeof SquareTable);
  SquareTable[26].link[0] = 8;   // a false square beside square 8
  SquareTable[27].link[0] = 0;   // no first link
  SquareTable[28].link[0] = 30;  // a first link above 25
  SquareTable[29].link[0] = 25;
  struct CellCase {
    int32_t square, column, row;
  };
  const CellCase cells[] = {{1, 0, 0},  {5, 4, 0},  {6, 0, 1},  {13, 2, 2}, {25, 4, 4}, {26, 2, 1},
                            {27, 0, 0}, {28, 0, 0}, {29, 4, 4}, {0, 0, 0},  {-4, 0, 0}, {150, 0, 0}};
  for (const CellCase& c : cells) {
    int32_t column = -1, row = -1;
    GetBambooCell(c.square, &column, &row);
    EXPECT_EQ(column, c.column) << c.square;
    EXPECT_EQ(row, c.row) << c.square;
  }
}

TEST(BoardView, TheCameraStaysOnTheBoard) {
  memset(PlayerTable, 0, sizeof PlayerTable);
  CurrentMapId = 1;
  struct Case {
    int32_t width, height;
    float x, y;
    float cameraX, cameraY;
  };
  const Case cases[] = {
      {1280, 960, 700, 500, 380, 260},    // centred
      {1280, 960, 100, 50, 0, 0},         // near the top-left corner
      {1280, 960, 1270, 950, 640, 480},   // near the bottom-right corner
      {800, 600, 400, 300, 80, 60},       // map 4's board
      {300, 200, 250, 150, 0, 0},         // a board smaller than the screen: 0
      {640, 480, 600, 400, 0, 0},         // exactly the screen
      {300, 900, 290, 800, 0, 420},       // narrow: x held at 0, y clamped
  };
  for (const Case& c : cases) {
    MapInfoTable[1].width = c.width;
    MapInfoTable[1].height = c.height;
    PlayerTable[2].x = c.x;
    PlayerTable[2].y = c.y;
    CameraX = CameraY = -99;
    CenterCameraOnPlayer(3);
    EXPECT_EQ(CameraX, c.cameraX) << c.width << "x" << c.height << " at " << c.x;
    EXPECT_EQ(CameraY, c.cameraY) << c.width << "x" << c.height << " at " << c.y;
  }
  // Player 0 (no player holds the turn) and numbers outside 1..4 keep the camera.
  CameraX = 12;
  CameraY = 34;
  for (int32_t nobody : {0, 5, -1}) {
    CenterCameraOnPlayer(nobody);
    EXPECT_EQ(CameraX, 12);
    EXPECT_EQ(CameraY, 34);
  }
}

// ---------------------------------------------------------------- on the screen

// Four players set up on the map as a new party is, with turn order 2, 4,
// 1, 3, a few coins, stars and items.
void SetUpParty(int32_t map) {
  PokePlayers();
  CurrentMapId = map;
  LoadBoardImages();
  while (SetUpBoard() != 1) {
  }
  for (int p = 0; p < 4; ++p) {
    PlayerRecord& r = PlayerTable[p];
    r.coins = 5 + 7 * p;
    r.stars = p % 2;
    r.items[0] = p + 1;
    r.items[1] = p == 1 ? 24 : 0;
    r.items[2] = p == 1 ? 31 : 0;
    r.squareColour = p;
    r.facing = 2 + 2 * p;
  }
  AssignPlacements();
  for (int32_t& offset : PanelSlideOffsets) offset = 0;
}

// The board scene of the tests: the board for BoardScenePlayer and the four
// panels, then the view under test.
int32_t BoardScenePlayer = 1;
int (*BoardSceneView)(int32_t) = nullptr;
int BoardSceneResult = 0;
int BoardScene() {
  DrawBoard(BoardScenePlayer);
  for (int32_t k = 1; k <= 4; ++k) DrawStatusPanel(k);
  BoardSceneResult = BoardSceneView != nullptr ? BoardSceneView(BoardScenePlayer) : 0;
  return 0;
}

constexpr int32_t kTestScene = 13;

void ShowBoard(GameHarness& h, int32_t player) {
  BoardScenePlayer = player;
  BoardSceneView = nullptr;
  SceneHandlers[kTestScene] = &BoardScene;
  SceneState = kTestScene;
  ASSERT_TRUE(h.Frame());
}

// The screen of one drawing on a cleared screen.
template <class Draw>
uint64_t ScreenOf(GameHarness& h, Draw draw) {
  SetDrawBrightness(255, 255, 255);
  ClearDrawTarget(nullptr);
  draw();
  return h.ScreenHash();
}

TEST(BoardView, BoardsOfMapsOneToFour) {
  REQUIRE_MEDIA();
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());
    FadeInDone = 1;
    for (int32_t map = 1; map <= 4; ++map) {
      SetUpParty(map);
      // Spread the pieces over the view around player 1.
      for (int p = 1; p < 4; ++p) {
        int32_t square = map == 4 ? (PlayerTable[0].square + p - 1) % 25 + 1 : PlayerTable[0].square + p;
        if (map == 3) square = (PlayerTable[0].square + p - 1) % 68 + 1;
        PlayerTable[p].square = square;
        PlayerTable[p].x = SquareTable[square].x;
        PlayerTable[p].y = SquareTable[square].y;
      }
      CenterCameraOnPlayer(1);
      ShowBoard(h, 1);
      Shot(h, "board-map" + std::to_string(map));
    }
  });
}

TEST(BoardView, MapTwoShowsOnlyTheFloorOfThePlayer) {
  REQUIRE_MEDIA();
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());
    SetUpParty(2);
    // Player 1 on square 30 (floor 2); square 5 (floor 1) and player 2 on it
    // moved into the view.
    auto place = [](int32_t player, int32_t square) {
      PlayerTable[player - 1].square = square;
      PlayerTable[player - 1].x = SquareTable[square].x;
      PlayerTable[player - 1].y = SquareTable[square].y;
    };
    place(1, 30);
    place(3, 31);
    place(4, 32);
    CenterCameraOnPlayer(1);
    SquareTable[5].x = SquareTable[30].x + 100;
    SquareTable[5].y = SquareTable[30].y + 40;
    SquareTable[5].kind = kSquareRed;
    place(2, 5);
    uint64_t withFloorOne = ScreenOf(h, [] { DrawBoard(1); });
    SquareTable[5].kind = kSquarePlain;
    PlayerTable[1].x = PlayerTable[1].y = -5000;
    uint64_t withoutFloorOne = ScreenOf(h, [] { DrawBoard(1); });
    EXPECT_EQ(withFloorOne, withoutFloorOne) << "floor 1's square and piece are not drawn on floor 2";
    // The same square and piece on floor 2 are drawn.
    SquareTable[40].x = SquareTable[5].x;
    SquareTable[40].y = SquareTable[5].y;
    SquareTable[40].kind = kSquareRed;
    memset(SquareTable[40].link, 0, sizeof SquareTable[40].link);
    uint64_t squareOnFloorTwo = ScreenOf(h, [] { DrawBoard(1); });
    EXPECT_NE(squareOnFloorTwo, withoutFloorOne);
    place(2, 40);
    EXPECT_NE(ScreenOf(h, [] { DrawBoard(1); }), squareOnFloorTwo) << "a piece on floor 2 is drawn";
    // On floor 1 the first-floor picture is drawn instead.
    place(1, 5);
    CenterCameraOnPlayer(1);
    ClearDrawTarget(nullptr);
    DrawBoard(1);
    Shot(h, "map2-floor1");
    uint32_t floorOne = h.Pixel(5, 5);
    ClearDrawTarget(nullptr);
    DrawGraphAt(static_cast<int32_t>(-CameraX), static_cast<int32_t>(-CameraY), MansionMapPictures[0], 1);
    EXPECT_EQ(h.Pixel(5, 5), floorOne);
  });
}


// Map 4 keeps its current piece in the middle of the screen (its board
// continues past its edges), and its bamboo wood closes in only away from
// the player: nothing of it over the squares of the player's cell and the
// eight cells around it nor over the turn banner, no stalks over the status
// panels and the help line (only the wood's dim depth behind them), and the
// other players' pieces over it.
TEST(BoardView, MapFourWoodKeepsThePlayerAndTheTextsInSight) {
  ASSERT_TRUE(GeneratedMediaAvailable()) << "the test build makes the media";
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());
    SetUpParty(4);
    struct Box {
      const char* what;
      int left, top, right, bottom;
    };
    // Nothing of the wood over these.
    std::vector<Box> clear = {{"the turn banner", 190, 140, 510, 240}};
    int32_t cellWidth = 0, cellHeight = 0;
    QueryGraphSize(BambooBoardPictures[0], &cellWidth, &cellHeight);
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        // The square (90 x 80) of the player's cell, in the middle of the
        // screen, or of one around it.
        int x = 320 + dx * cellWidth, y = 240 + dy * cellHeight;
        clear.push_back({"a square by the player's", x - 45, y - 40, x + 45, y + 40});
      }
    // No stalks over these.
    const Box stalkFree[] = {{"panel 1", 18, 20, 232, 130},  {"panel 2", 418, 20, 632, 130},
                             {"panel 3", 18, 320, 232, 430}, {"panel 4", 418, 320, 632, 430},
                             {"the help line", 0, 450, 640, 480}};
    const int32_t stalks[2] = {BambooBoardPictures[1], BambooBoardPictures[2]};
    const int32_t depth = BambooBoardPictures[4];
    // The board drawn with the layers asked for.
    auto screen = [&](bool withStalks, bool withDepth) {
      BambooBoardPictures[1] = withStalks ? stalks[0] : 0;
      BambooBoardPictures[2] = withStalks ? stalks[1] : 0;
      BambooBoardPictures[4] = withDepth ? depth : 0;
      ClearDrawTarget(nullptr);
      DrawBoard(1);
      BambooBoardPictures[1] = stalks[0];
      BambooBoardPictures[2] = stalks[1];
      BambooBoardPictures[4] = depth;
      std::vector<uint32_t> pixels;
      for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) pixels.push_back(h.Pixel(x, y));
      return pixels;
    };
    auto differences = [](const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, const Box& box) {
      int count = 0;
      for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) count += a[y * 640 + x] != b[y * 640 + x];
      return count;
    };
    // The middle cell and the corner cells on either side of the board's
    // edges (where a camera held within the board put the piece under a
    // panel).
    for (int32_t square : {13, 1, 25}) {
      SCOPED_TRACE(testing::Message() << "player 1 on square " << square);
      PlayerTable[0].square = square;
      PlayerTable[0].x = SquareTable[square].x;
      PlayerTable[0].y = SquareTable[square].y;
      PlayerTable[1].x = PlayerTable[1].y = -5000;  // player 2 away, for now
      CenterCameraOnPlayer(1);
      EXPECT_EQ(CameraX, SquareTable[square].x - 320);
      EXPECT_EQ(CameraY, SquareTable[square].y - 240);
      const std::vector<uint32_t> wood = screen(true, true);
      EXPECT_EQ(IsMaskScreenEnabled(), 0) << "drawing goes on without the mask";
      const std::vector<uint32_t> depthOnly = screen(false, true);
      const std::vector<uint32_t> none = screen(false, false);
      for (const Box& b : clear) EXPECT_EQ(differences(wood, none, b), 0) << "the wood over " << b.what;
      for (const Box& b : stalkFree) EXPECT_EQ(differences(wood, depthOnly, b), 0) << "stalks over " << b.what;
      // The wood stands at the screen's left and right edges, with stalks.
      int edge = 0, edgeWood = 0, stalkX = -1, stalkY = -1;
      for (int y = 140; y < 310; ++y)
        for (int x : {4, 10, 30, 50, 590, 610, 630}) {
          ++edge;
          edgeWood += wood[y * 640 + x] != none[y * 640 + x];
          if (stalkX < 0 && x > 20 && x < 60 && wood[y * 640 + x] != depthOnly[y * 640 + x]) stalkX = x, stalkY = y;
        }
      EXPECT_GT(edgeWood, edge * 3 / 4) << "the wood at the edges (" << edge << " samples)";
      ASSERT_GE(stalkX, 0) << "a stalk at the left edge";
      // Once: player 2's piece stands on that stalk, and it is drawn over the
      // wood (a still piece is drawn 8 pixels left of its point, 38 x 38).
      if (square == 13) {
        PlayerTable[1].x = CameraX + stalkX + 8;
        PlayerTable[1].y = CameraY + stalkY;
        const std::vector<uint32_t> pieceAlone = screen(false, false);
        const std::vector<uint32_t> pieceInTheWood = screen(true, true);
        Shot(h, "map4-wood");
        EXPECT_EQ(differences(pieceInTheWood, pieceAlone, {"", stalkX - 3, stalkY - 3, stalkX + 4, stalkY + 4}), 0)
            << "the wood over player 2's piece at " << stalkX << "," << stalkY;
      }
      // Drawing after the board reaches the whole screen again.
      DrawRectangleShape(0, 0, 640, 480, MakeScreenColor(255, 255, 255), 1);
      EXPECT_EQ(h.Pixel(5, 5), 0xFFFFFFu);
      EXPECT_EQ(h.Pixel(635, 475), 0xFFFFFFu);
    }
    // Halfway to the next square, the clearing has gone along with the piece.
    PlayerTable[0].square = 13;
    PlayerTable[0].x = SquareTable[13].x + cellWidth / 2;
    PlayerTable[0].y = SquareTable[13].y - cellHeight / 2;
    PlayerTable[1].x = PlayerTable[1].y = -5000;
    CenterCameraOnPlayer(1);
    EXPECT_EQ(differences(screen(true, true), screen(false, false), {"", 130, 90, 510, 390}), 0)
        << "the wood in the clearing of a piece on its way";
    // A square above 25 takes the cell of its first link.
    PlayerTable[0].x = SquareTable[16].x;
    PlayerTable[0].y = SquareTable[16].y;
    CenterCameraOnPlayer(1);
    PlayerTable[0].square = 30;
    SquareTable[30].link[0] = 16;
    SquareTable[30].x = SquareTable[16].x;
    SquareTable[30].y = SquareTable[16].y;
    uint64_t viaLink = ScreenOf(h, [] { DrawBoard(1); });
    PlayerTable[0].square = 16;
    EXPECT_EQ(viaLink, ScreenOf(h, [] { DrawBoard(1); }));
    // A drawing area set before the board holds for the wood too, and is
    // still set after it.
    ClearDrawTarget(nullptr);
    SetDrawClipArea(300, 200, 340, 260);
    DrawBoard(1);
    int32_t area[4];
    GetDrawClipArea(area);
    EXPECT_EQ(std::vector<int32_t>(area, area + 4), (std::vector<int32_t>{300, 200, 340, 260}));
    int outside = 0, inside = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        const bool in = x >= 300 && x < 340 && y >= 200 && y < 260;
        (in ? inside : outside) += h.Pixel(x, y) != 0;
      }
    EXPECT_EQ(outside, 0) << "pixels drawn outside the drawing area";
    EXPECT_GT(inside, 0) << "the board within it";
    SetDrawClipArea(0, 0, 640, 480);
  });
}

TEST(BoardView, StatusPanels) {
  REQUIRE_MEDIA();
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());
    SetUpParty(1);
    uint64_t blank = ScreenOf(h, [] {});
    // Turn position 2 is player 1's panel, in the top-right corner.
    PlayerTable[0].squareColour = 3;
    uint64_t panel = ScreenOf(h, [] { DrawStatusPanel(2); });
    EXPECT_NE(panel, blank);
    EXPECT_EQ(h.Pixel(500, 60) & 0xFF00FF, 0u) << "player 1's square colour, green";
    EXPECT_GT(h.Pixel(500, 60) & 0x00FF00, 0x004000u);
    EXPECT_EQ(h.Pixel(100, 60), 0u) << "nothing in the top-left corner";
    // Nobody holds position 2: no panel, and no read outside the table.
    PlayerTable[0].turnOrder = 0;
    EXPECT_EQ(ScreenOf(h, [] { DrawStatusPanel(2); }), blank);
    for (int32_t k : {0, 5, -1}) EXPECT_EQ(ScreenOf(h, [k] { DrawStatusPanel(k); }), blank) << k;
    PlayerTable[0].turnOrder = 2;
    // Items outside 1..40 and placements outside 1..4 draw nothing.
    PlayerTable[0].items[0] = PlayerTable[0].items[1] = PlayerTable[0].items[2] = 0;
    PlayerTable[0].placement = 0;
    uint64_t bare = ScreenOf(h, [] { DrawStatusPanel(2); });
    for (int32_t item : {41, -1, 1000}) {
      PlayerTable[0].items[2] = item;
      EXPECT_EQ(ScreenOf(h, [] { DrawStatusPanel(2); }), bare) << "item " << item;
    }
    PlayerTable[0].items[2] = 40;
    EXPECT_NE(ScreenOf(h, [] { DrawStatusPanel(2); }), bare) << "item 40 has its icon";
    PlayerTable[0].items[2] = 0;
    for (int32_t place : {5, -2}) {
      PlayerTable[0].placement = place;
      EXPECT_EQ(ScreenOf(h, [] { DrawStatusPanel(2); }), bare) << "placement " << place;
    }
    PlayerTable[0].placement = 4;
    EXPECT_NE(ScreenOf(h, [] { DrawStatusPanel(2); }), bare);
    // The fated-one countdown shows the master's picture.
    PlayerTable[0].placement = 0;
    FatedOneCountdown[1] = 2;
    EXPECT_NE(ScreenOf(h, [] { DrawStatusPanel(2); }), bare);
    FatedOneCountdown[1] = 0;
    // Slid out: a right panel moves right by its offset, a left one left.
    PlayerTable[0].squareColour = 3;
    PanelSlideOffsets[2] = 100;
    ScreenOf(h, [] { DrawStatusPanel(2); });
    EXPECT_EQ(h.Pixel(505, 30), 0u) << "the box now starts at x 550";
    EXPECT_GT(h.Pixel(630, 110) & 0x00FF00, 0x004000u);
    PanelSlideOffsets[2] = 0;
    PanelSlideOffsets[1] = 30;  // position 1, player 3, on the left
    PlayerTable[2].squareColour = 3;
    ScreenOf(h, [] { DrawStatusPanel(1); });
    EXPECT_EQ(h.Pixel(175, 110), 0u) << "the box now ends at x 170";
    EXPECT_GT(h.Pixel(150, 110) & 0x00FF00, 0x004000u);
    PanelSlideOffsets[1] = 0;
  });
}

// The map views in the test scene on map 1: C held with right for 40
// frames, then released; the panels slide out to 252 and back to exactly 0
// and the camera glides back to where it was.
TEST(BoardView, MapViewSlidesThePanelsOutAndBack) {
  REQUIRE_MEDIA();
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());
    FadeInDone = 1;
    SetUpParty(1);
    CenterCameraOnPlayer(1);
    const float startX = CameraX, startY = CameraY;
    ShowBoard(h, 1);
    BoardSceneView = &RunMapView;
    GameHarness::PadButton c = GameHarness::ButtonOf(1, kButtonC), right = GameHarness::ButtonOf(1, kButtonRight);
    ASSERT_EQ(c.pad, right.pad);
    h.HoldPad(c.pad, c.mask | right.mask, 40);
    std::vector<int32_t> offsets;
    for (int i = 0; i < 40; ++i) {
      ASSERT_TRUE(h.Frame());
      offsets.push_back(PanelSlideOffsets[1]);
      EXPECT_EQ(BoardSceneResult, 0);
    }
    Shot(h, "mapview-held");
    EXPECT_EQ(offsets[0], 12);
    EXPECT_EQ(offsets[20], 252) << "21 frames of 12";
    EXPECT_EQ(offsets.back(), 252) << "it stops once past 249";
    EXPECT_EQ(PanelSlideOffsets[3], 252);
    EXPECT_EQ(CameraX, startX + 5 * 40) << "5 pixels a frame to the right";
    EXPECT_EQ(CameraY, startY);
    EXPECT_EQ(MapViewSavedCamera[0], startX);
    int frames = 0;
    while (BoardSceneResult == 0) {
      ASSERT_TRUE(h.Frame());
      ++frames;
      for (int k = 1; k <= 4; ++k) ASSERT_GE(PanelSlideOffsets[k], 0);
      ASSERT_LT(frames, 100);
    }
    EXPECT_EQ(frames, 22) << "the release frame, then 21 frames of 12 back, the last one closing";
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(PanelSlideOffsets[k], 0) << k;
    EXPECT_EQ(CameraX, startX);
    EXPECT_EQ(CameraY, startY);
    EXPECT_EQ(MapViewState, 0);

    // The whole-map view: the cover fades in over 17 frames, B closes it.
    BoardSceneView = &RunWholeMapView;
    BoardSceneResult = 0;
    ASSERT_TRUE(h.Frames(17));
    EXPECT_EQ(WholeMapViewState, 2);
    ASSERT_TRUE(h.Frames(3));
    Shot(h, "wholemap-map1");
    h.Tap(1, kButtonB);
    frames = 0;
    while (BoardSceneResult == 0 && frames < 40) {
      ASSERT_TRUE(h.Frame());
      ++frames;
    }
    EXPECT_EQ(frames, 18) << "B, then the cover clears over 17 frames";
    EXPECT_EQ(WholeMapViewState, 0);
    EXPECT_EQ(WholeMapCoverAlpha, 0);
  });
}

TEST(BoardView, MapViewsOfMapTwo) {
  REQUIRE_MEDIA();
  RunGame({.seed = 3}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUp(), 0);
    ASSERT_TRUE(h.Frame());
    FadeInDone = 1;
    SetUpParty(2);
    CenterCameraOnPlayer(1);
    ShowBoard(h, 1);
    // C held: floor 1 (the player's); B switches to floor 2; releasing C closes.
    BoardSceneView = &RunMapView;
    GameHarness::PadButton c = GameHarness::ButtonOf(1, kButtonC), b = GameHarness::ButtonOf(1, kButtonB),
                           down = GameHarness::ButtonOf(1, kButtonDown);
    const float startX = CameraX, startY = CameraY;
    h.HoldPad(c.pad, c.mask, 2);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(MapViewFloor, 1);
    h.HoldPad(b.pad, b.mask | c.mask, 1);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(MapViewFloor, 2);
    h.HoldPad(c.pad, c.mask | down.mask, 60);
    ASSERT_TRUE(h.Frames(60));
    EXPECT_EQ(CameraY, startY + 300) << "the floor view scrolls too";
    Shot(h, "mapview-map2-floor2");
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(BoardSceneResult, 1) << "releasing C closes the view";
    EXPECT_EQ(CameraX, startX);
    EXPECT_EQ(CameraY, startY) << "the camera back where it was";
    EXPECT_EQ(PanelSlideOffsets[1], 0) << "map 2's view does not slide the panels";

    BoardSceneView = &RunWholeMapView;
    BoardSceneResult = 0;
    ASSERT_TRUE(h.Frames(20));
    Shot(h, "wholemap-map2-floor1");
    h.Tap(1, kButtonA);
    ASSERT_TRUE(h.Frames(2));
    EXPECT_EQ(MapViewFloor, 2);
    Shot(h, "wholemap-map2-floor2");
    h.Tap(1, kButtonB);
    ASSERT_TRUE(h.RunUntil([] { return BoardSceneResult == 1; }, 40));
  });
}

}  // namespace
