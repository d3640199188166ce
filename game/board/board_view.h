// The board as the board states draw it every frame: the camera, the board
// of each map (background, links, squares, pieces), the animated piece of
// the moving player, the four status panels, and the two map views of the
// action menu and the fork (C held: free scrolling; D: the whole map).
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- camera and panels

// The board point at the screen's top-left corner: board point (x, y) is
// drawn at (x - CameraX, y - CameraY).
extern float CameraX;
extern float CameraY;
// By turn position (entry 0 unused): how far each status panel is slid out
// towards its screen edge, 0 = in place.
extern int32_t PanelSlideOffsets[5];

// ---------------------------------------------------------------- map views

extern int32_t MapViewState;          // step of the map views, 0 = closed
extern int32_t MapViewFloor;          // map 2: the floor shown
extern float MapViewSavedCamera[2];   // the camera (x, y) the view returns to

// ---------------------------------------------------------------- drawing

// Centres the camera on player p's piece, held within the board picture
// (0 when the board is smaller than the screen).
void CenterCameraOnPlayer(int32_t player);
// The board for player p: the map's layers, links and squares, the other
// players' pieces still and p's piece animated.
void DrawBoard(int32_t player);
// Player p's piece, animated by its facing.
void DrawMovingPiece(int32_t player);
// The status panel of the player whose turn order is k (1 to 4).
void DrawStatusPanel(int32_t turnPosition);
// Map 2: the marks of the warp pairs on the squares of the floor.
void DrawWarpMarks(int32_t floor);
// Map 2: the floor of a square: 1 for squares 1-22 and 59-62, 2 for 24-58
// and 63-68, 3 for square 23, else 0.
int32_t GetSquareFloor(int32_t square);

// The free map view while C is held: 0 while shown, 1 once closed and the
// camera and panels are back.
int RunMapView(int32_t player);
// The whole-map view (D): 0 while shown, 1 once closed.
int RunWholeMapView(int32_t player);
