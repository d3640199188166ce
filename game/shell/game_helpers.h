// Small helpers shared by the board and the minigames: vector arithmetic on
// single-precision floats, hit tests, a float-against-int test, animated
// strips and sprite records, the START pieces, a triangle wave, the number
// keys, and the two helpers that keep one looped music track playing.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- vectors

struct Vector2f {
  float x, y;
};

// "Near zero": both parts strictly between -1e-5 and 1e-5.
Vector2f AddVectors(float x1, float y1, float x2, float y2);
Vector2f SubtractVectors(float x1, float y1, float x2, float y2);
// (x / len, y / len); the zero vector gives (0, 0), so a mover that walks
// along it stops at once.
Vector2f GetUnitVector(float x, float y);
// A near-zero vector unchanged, else the unit vector.
Vector2f NormalizeVector(float x, float y);
// A near-zero vector unchanged, else rotated by the angle (radians).
Vector2f RotateVector(float angle, float x, float y);
// A near-zero vector unchanged, else scaled.
Vector2f ScaleVector(float s, float x, float y);
float GetDistanceSquared(float x1, float y1, float x2, float y2);
Vector2f GetAngleVector(float angle);

// ---------------------------------------------------------------- hit tests

struct CircleRecord {
  float x, y, r;
};
struct RectRecord {
  float left, top, right, bottom;
};
struct SegmentRecord {
  float x1, y1, x2, y2;
};

// Points on a border are outside throughout.
bool HitPointRect(RectRecord rect, float x, float y);
bool HitCircleCircle(float x1, float y1, float r1, float x2, float y2, float r2);
bool IsWithinRadius(float x1, float y1, float r, float x2, float y2);
bool HitSegmentCircle(SegmentRecord segment, CircleRecord circle);
bool HitSegmentSegment(SegmentRecord a, SegmentRecord b);
// A segment wholly inside the rectangle is no hit.
bool HitSegmentRect(SegmentRecord segment, float left, float top, float right, float bottom);
bool HitCircleRect(CircleRecord circle, RectRecord rect);
// One rectangle wholly inside the other is no hit.
bool HitRectRect(RectRecord a, RectRecord b);
// kind 0: a > b - e; 1: a < b + e; 2: equal within e; 3: not equal; e = 1e-5
// as a float. Other kinds are false.
bool CompareFloatWithInt(int32_t kind, float a, int32_t b);

// ---------------------------------------------------------------- the fork's directions

// The fork choice's candidates (square numbers compacted to the front, 0 =
// none) and their arrow angles; written by the fork choice of the movement.
extern int32_t ForkCandidates[4];
extern float ForkArrowAngles[4];
// The index of the candidate whose arrow angle is nearest to the angle
// (differences of pi or more brought down by 2 pi; ties keep the earlier
// index). Empty slots (candidate 0) never win; -1 when every slot is empty.
int32_t NearestAngleIndex(float angle);

// ---------------------------------------------------------------- sprites

// A sprite of the START and FINISH banners; the opacity belongs to the banner
// code.
struct SpriteRecord {
  int32_t graph;
  float x, y;
  int32_t opacity;
  float scale;
};

// One frame of a looping strip, chosen by the millisecond clock:
// frame = (int)(ms / (1000 / fps)) mod count.
void DrawAnimatedSprite(int32_t x, int32_t y, int32_t turn, const int32_t* handles, int32_t count, int32_t fps,
                        double scale, double angle);
// DrawGraphRotated at the record's point and scale; 0, or -1 when the draw failed.
int DrawSpriteRecord(SpriteRecord record);
// Two pixels along the line to (target x, 200); 1 when both axes have
// arrived in this call, else -1.
int MoveSpriteToward(SpriteRecord* record, float targetX);
// The five START letters into StartLetterSprites; 1, or -1 when the image
// does not load.
int LoadStartPieces();
// The file they are cut from.
extern const char kStartPiecesFile[];

// The item shop's animation phase, advanced by the item shop every frame.
extern float ItemShopWavePhase;
// A triangle wave of the phase: -1..1 (a negative phase is returned as it is).
float TriangleWave();

// 10 for a fresh 0 key, 1 to 9 for fresh keys 1 to 9 (first frame held only), else 0.
int32_t GetPressedNumberKey();

// ---------------------------------------------------------------- music

// The music slot PlayBgmLooped last started; 0 = none.
extern int32_t CurrentBgmIndex;
// Stops the ten music slots; no music is current.
void StopAllBgm();
// Nothing when the slot is already current; otherwise stops the ten slots and
// plays that slot looped from its start.
void PlayBgmLooped(int32_t index);
