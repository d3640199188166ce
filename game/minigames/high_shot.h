// Minigame 21, high shooting ("media\mini\highshooting"): one against three
// in a round arena seen through a zooming camera. The lone participant
// (team 1) dodges, with a dash on A; the three (team 2) hold A to fire aimed
// shots at it, and hold B to move slowly and show their hit point. A shot
// that meets the lone participant ends play, and team 2 wins; a lone
// participant still untouched after 90 seconds wins for team 1. 10 coins to
// each winner.
#pragma once

#include <cstdint>

// The steps: the entry (numbering B), the play and the outcome.
extern int32_t HighShotStep;
extern int32_t HighShotPlayStep;
extern int32_t HighShotOutcomeStep;  // left at 1 after a game
// Play frames left (5400 at the start).
extern int32_t HighShotTimer;

// The arena: a circle of radius 320 around (320, 320).
constexpr float kHighShotArenaX = 320.0f, kHighShotArenaY = 320.0f, kHighShotArenaRadius = 320.0f;

struct HighShotBullet {
  int32_t active;
  float x, y;
  float vx, vy;
  float angle;  // radians
  float speed;
  int32_t unused[2];
};
constexpr int kHighShotBulletsEach = 20;
// Each participant's shots (row p for participant p; row 0 unused).
extern HighShotBullet HighShotBullets[5][kHighShotBulletsEach];

// The camera: the arena point shown at the middle of the screen, the view
// (arena rectangle) it follows, and the zoom (640 / the view's width, at
// most 1.5). An arena point p shows at p * zoom - centre * zoom + (320, 240).
struct HighShotCameraRecord {
  float centreX, centreY;
  float left, top, right, bottom;
};
extern HighShotCameraRecord HighShotCamera;
extern float HighShotZoom;

// The picture the game loads (and frees) with its media.
extern int32_t HighShotPicture;

// The participant record's fields this game uses (x, y: arena position;
// the first two speed fields: the velocity; the phase byte: 2 once hit):
// the fire flag and fire counter of team 2; the dash counter of team 1 or
// the hit point's opacity of team 2; the slow flag of team 2 (B held).
int32_t& HighShotFire(int32_t p);
int32_t& HighShotFireCounter(int32_t p);
int32_t& HighShotDashOrOpacity(int32_t p);
uint8_t& HighShotSlow(int32_t p);
constexpr uint8_t kHighShotHit = 2;

// The entry (slot 20 of the runner's table) is HighShotMain in minigame_entries.h.
void DrawHighShot();
// Moves the shots; those that leave the arena end.
void MoveHighShotBullets();
// A shot whose circle meets a team-1 participant's marks it as hit and ends.
void HitHighShotTargets();
void UpdateHighShotCamera();
// One frame of play: 1 when play is over.
int HighShotPlay();
int HighShotOutcome();
