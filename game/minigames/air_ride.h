// Minigame 7, air ride ("media\mini\airride"): the four participants each
// steer a flying rider over a top-down course of 64 x 48 cells of 10 x 10
// pixels: up accelerates, down brakes and reverses, left and right turn.
// Walls block, grass slows a fast rider, riders shove each other aside, and
// the camera zooms so that the rider farthest from the centre stays in view.
// A race of three laps round the course's centre, or 60 seconds: the riders
// who came farthest round win 10 coins each.
#pragma once

#include <cstdint>
#include <vector>

extern int32_t AirRideStep;         // the entry (numbering A)
extern int32_t AirRidePlayStep;     // 0 to 3
extern int32_t AirRideOutcomeStep;  // left at 1 after a game

// The course grid, row by row, and its size (1 x 1 before the first load).
extern std::vector<int32_t> AirRideGrid;
extern int32_t AirRideGridWidth, AirRideGridHeight, AirRideCellCount;
// The zoom of the view, 0.5 to 1.2, carried from play to play.
extern float AirRideZoom;
struct AirRideViewRect {
  float left, top, right, bottom;
  float centreX, centreY;  // always (320, 240)
};
extern AirRideViewRect AirRideView;
// Play frames left (3600 at the start of play).
extern int32_t AirRideTimer;

extern int32_t AirRideRiderPictures[6];
extern int32_t AirRideArrow;

// Cell values.
enum : int32_t {
  kAirRideOpen = 0,
  kAirRideWall = 1,
  kAirRideTrack = 2,
  kAirRideGrass = 3,
  kAirRideDecoration = 4,
  kAirRideStart = 24,
};
constexpr int32_t kAirRideLaps = 3;
constexpr int32_t kAirRidePlayFrames = 3600;

// The participant record's fields: x, y the rider's centre; the first two
// reals its velocity this frame.
int32_t& AirRideInput(int32_t p);  // numeric-keypad digit (5 none, 0 no input yet)
float& AirRideHeading(int32_t p);  // radians, 0 towards +x, clockwise on the screen
float& AirRideSpeed(int32_t p);    // pixels a frame along the heading, -2 to 4
// The net angle (radians) the rider has wound round the course's centre,
// and its angle there last frame.
float& AirRideWinding(int32_t p);
float& AirRideLastAngle(int32_t p);
// The progress the outcome ranks: whole degrees wound round the centre, in
// either direction.
int32_t AirRideProgress(int32_t p);

// Reads "media\mini\airride\airridetest.mdt" from disk: 1, or -1 (after its
// message box) when it cannot be opened or is not a 64 x 48 grid.
int32_t LoadAirRideGrid();
void UpdateAirRideCamera();
void DrawAirRide();
int32_t GetAirRideCell(float x, float y);
// Shortens the one non-zero component of a move that would enter a wall:
// 0 nothing, 1 right, 2 left, 3 down, 4 up.
int32_t ClipAirRideMoveAtWall(float x, float y, float* vx, float* vy);
void AirRideCpu(int32_t p);
// The ray lengths the CPU casts (19 rays from heading - pi/4 in steps of
// pi/36) and the input it picks from them.
void CastAirRideRays(int32_t p, int32_t lengths[19]);
int32_t ChooseAirRideInput(const int32_t lengths[19]);
void MoveAirRideRiders();
void SeparateAirRideRiders();
int AirRidePlay();
int AirRideOutcome();
