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

extern int32_t MapViewState;          // the free map view: 0 closed, 1 held, 2 gliding back
extern int32_t MapViewFloor;          // map 2: the floor shown by either view
extern float MapViewSavedCamera[2];   // the camera (x, y) the view returns to
extern int32_t WholeMapViewState;     // the whole-map view: 0 closed, 1 cover, 2 shown, 3 closing
extern int32_t WholeMapCoverAlpha;    // the black cover of the whole-map view, 0 to 255

// ---------------------------------------------------------------- drawing

// Centres the camera on player p's piece, held within the board picture
// (0 when the board is smaller than the screen); on map 4, whose board
// continues past its edges, not held. A player outside 1..4 leaves the
// camera where it is.
void CenterCameraOnPlayer(int32_t player);
// The board for player p: the map's layers, links and squares, the other
// players' pieces still and p's piece animated (no animated piece for a
// player outside 1..4).
void DrawBoard(int32_t player);
// The board for the player as every turn step draws it: the board, the die
// with the player's move count when it is not 0 (die), the placements
// brought up to date (placements), and the four status panels.
void DrawTurnBoard(int32_t player, bool die, bool placements);
// Player p's piece, animated by its facing.
void DrawMovingPiece(int32_t player);
// The status panel of the player whose turn order is k (1 to 4); nothing
// while no player holds that turn position.
void DrawStatusPanel(int32_t turnPosition);
// Map 2: the marks of the warp pairs on the squares of the floor.
void DrawWarpMarks(int32_t floor);
// Map 2: the floor of a square: 1 for squares 1-22 and 59-62, 2 for 24-58
// and 63-68, 3 for square 23, else 0.
int32_t GetSquareFloor(int32_t square);
// Map 4: the grid cell (column, row) of a square: squares 1 to 25 by their
// number, a square above 25 by its first link, anything else cell (0, 0).
void GetBambooCell(int32_t square, int32_t* column, int32_t* row);

// The map keys of the action menu and the fork (none on map 4): 1 for a new
// press of C (the map view; the camera position is saved for it), 2 for D
// (the whole map), else 0.
int MapViewKeyPressed(int32_t player);
// The free map view while C is held: 0 while shown, 1 once closed and the
// camera and panels are back.
int RunMapView(int32_t player);
// The whole-map view (D): 0 while shown, 1 once closed.
int RunWholeMapView(int32_t player);
