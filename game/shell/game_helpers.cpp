// Vector arithmetic, hit tests and the fork's nearest direction.
#include "game/shell/game_helpers.h"

#include <cmath>

namespace {

constexpr double kNearZero = 1e-5;
constexpr float kFloatTolerance = 9.999999747378752e-6f;

bool NearZero(float x, float y) {
  return -kNearZero < x && x < kNearZero && -kNearZero < y && y < kNearZero;
}

// Moves a coordinate 0.005 away from zero (zero itself goes down).
float Nudge(float v) { return static_cast<float>(v > 0 ? v + 0.005 : v - 0.005); }

float Cross(float ux, float uy, float vx, float vy) { return ux * vy - uy * vx; }

}  // namespace

Vector2f AddVectors(float x1, float y1, float x2, float y2) { return {x1 + x2, y1 + y2}; }

Vector2f SubtractVectors(float x1, float y1, float x2, float y2) { return {x1 - x2, y1 - y2}; }

Vector2f GetUnitVector(float x, float y) {
  float len = static_cast<float>(std::sqrt(x * x + y * y));
  if (len == 0.0f) return {0.0f, 0.0f};
  return {x / len, y / len};
}

Vector2f NormalizeVector(float x, float y) {
  if (NearZero(x, y)) return {x, y};
  return GetUnitVector(x, y);
}

Vector2f RotateVector(float angle, float x, float y) {
  if (NearZero(x, y)) return {x, y};
  double c = std::cos(angle), s = std::sin(angle);
  return {static_cast<float>(x * c - y * s), static_cast<float>(x * s + y * c)};
}

Vector2f ScaleVector(float s, float x, float y) {
  if (NearZero(x, y)) return {x, y};
  return {x * s, y * s};
}

float GetDistanceSquared(float x1, float y1, float x2, float y2) {
  float dx = x2 - x1, dy = y2 - y1;
  return dx * dx + dy * dy;
}

Vector2f GetAngleVector(float angle) {
  return {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
}

bool HitPointRect(RectRecord rect, float x, float y) {
  return rect.left < x && x < rect.right && rect.top < y && y < rect.bottom;
}

bool HitCircleCircle(float x1, float y1, float r1, float x2, float y2, float r2) {
  float dx = x1 - x2, dy = y1 - y2, r = r1 + r2;
  return dx * dx + dy * dy < r * r;
}

bool IsWithinRadius(float x1, float y1, float r, float x2, float y2) {
  float dx = x1 - x2, dy = y1 - y2;
  return static_cast<float>(std::sqrt(dx * dx + dy * dy)) < r;
}

bool HitSegmentCircle(SegmentRecord s, CircleRecord c) {
  float dx = s.x2 - s.x1, dy = s.y2 - s.y1;
  float wx = c.x - s.x1, wy = c.y - s.y1;
  float p = dx * wx + dy * wy;
  if (!(-kNearZero < p && p < dx * dx + dy * dy)) return false;
  Vector2f u = GetUnitVector(dx, dy);
  float along = u.x * wx + u.y * wy;
  float fx = s.x1 + u.x * along, fy = s.y1 + u.y * along;
  return GetDistanceSquared(c.x, c.y, fx, fy) < c.r * c.r;
}

bool HitSegmentSegment(SegmentRecord a, SegmentRecord b) {
  a = {Nudge(a.x1), Nudge(a.y1), Nudge(a.x2), Nudge(a.y2)};
  b = {Nudge(b.x1), Nudge(b.y1), Nudge(b.x2), Nudge(b.y2)};
  float dax = a.x2 - a.x1, day = a.y2 - a.y1;
  float dbx = b.x2 - b.x1, dby = b.y2 - b.y1;
  float tA = Cross(dax, day, b.x2 - a.x1, b.y2 - a.y1) * Cross(dax, day, b.x1 - a.x1, b.y1 - a.y1);
  float tB = Cross(dbx, dby, a.x2 - b.x1, a.y2 - b.y1) * Cross(dbx, dby, a.x1 - b.x1, a.y1 - b.y1);
  if (tA == 0.0f && tB == 0.0f) {
    auto inBox = [&](float x, float y) { return a.x1 <= x && x <= a.x2 && a.y1 <= y && y <= a.y2; };
    return inBox(b.x1, b.y1) || inBox(b.x2, b.y2);
  }
  return tA < kFloatTolerance && tB < kFloatTolerance;
}

bool HitSegmentRect(SegmentRecord segment, float left, float top, float right, float bottom) {
  const SegmentRecord edges[4] = {
      {left, top, right, top}, {right, top, right, bottom}, {left, bottom, right, bottom}, {left, top, left, bottom}};
  for (const SegmentRecord& edge : edges)
    if (HitSegmentSegment(segment, edge)) return true;
  return false;
}

bool HitCircleRect(CircleRecord circle, RectRecord rect) {
  if (HitPointRect(rect, circle.x, circle.y)) return true;
  const SegmentRecord edges[4] = {{rect.left, rect.top, rect.right, rect.top},
                                  {rect.right, rect.top, rect.right, rect.bottom},
                                  {rect.left, rect.bottom, rect.right, rect.bottom},
                                  {rect.left, rect.top, rect.left, rect.bottom}};
  for (const SegmentRecord& edge : edges)
    if (HitSegmentCircle(edge, circle)) return true;
  return false;
}

bool HitRectRect(RectRecord a, RectRecord b) {
  const SegmentRecord edges[4] = {
      {a.left, a.top, a.right, a.top}, {a.right, a.top, a.right, a.bottom}, {a.left, a.bottom, a.right, a.bottom},
      {a.left, a.top, a.left, a.bottom}};
  for (const SegmentRecord& edge : edges)
    if (HitSegmentRect(edge, b.left, b.top, b.right, b.bottom)) return true;
  return false;
}

bool CompareFloatWithInt(int32_t kind, float a, int32_t b) {
  float low = static_cast<float>(b - kFloatTolerance);
  float high = static_cast<float>(b + kFloatTolerance);
  switch (kind) {
    case 0:
      return a > low;
    case 1:
      return a < high;
    case 2:
      return low < a && a < high;
    case 3:
      return a < low || a > high;
    default:
      return false;
  }
}

int32_t ForkCandidates[4] = {};
float ForkArrowAngles[4] = {-9.0f, -9.0f, -9.0f, -9.0f};

int32_t NearestAngleIndex(float angle) {
  constexpr float kPi = 3.1415927410125732f;
  constexpr float kTwoPi = 6.2831854820251465f;
  int32_t best = -1;
  float bestDistance = 0.0f;
  for (int32_t i = 0; i < 4; ++i) {
    if (ForkCandidates[i] == 0) continue;  // an empty slot never wins
    float d = angle - ForkArrowAngles[i];
    while (d >= kPi) d -= kTwoPi;
    float distance = std::fabs(d);
    if (best == -1 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}
