// The board drawing, the camera, the status panels and the map views.
#include "game/board/board_view.h"

float CameraX = 0.0f;
float CameraY = 0.0f;
int32_t PanelSlideOffsets[5] = {};

int32_t MapViewState = 0;
int32_t MapViewFloor = 0;
float MapViewSavedCamera[2] = {};

// empty step: built with its module
void CenterCameraOnPlayer(int32_t) {}
// empty step: built with its module
void DrawBoard(int32_t) {}
// empty step: built with its module
void DrawMovingPiece(int32_t) {}
// empty step: built with its module
void DrawStatusPanel(int32_t) {}
// empty step: built with its module
void DrawWarpMarks(int32_t) {}
// empty step: built with its module
int32_t GetSquareFloor(int32_t) { return 0; }
// empty step: built with its module
int RunMapView(int32_t) { return 1; }
// empty step: built with its module
int RunWholeMapView(int32_t) { return 1; }
