#include "library/graphics/matrix.h"

#include <cstring>

#include "library/core/text_helpers.h"
#include "library/graphics/graphics_system.h"

namespace {

float AbsF(float v) { return v < 0.0f ? -v : v; }

float ScreenAspect() {
  int32_t w = 0, h = 0;
  GetScreenSizeOrDefault(&w, &h);
  return static_cast<float>(h) / static_cast<float>(w);
}

Vector3F Subtract(const Vector3F& a, const Vector3F& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3F Cross(const Vector3F& a, const Vector3F& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace

int SetIdentityMatrix(Matrix4F* out) {
  std::memset(out, 0, sizeof(*out));
  for (int i = 0; i < 4; ++i) out->m[i][i] = 1.0f;
  return 0;
}

int MultiplyMatrix(Matrix4F* out, const Matrix4F* a, const Matrix4F* b) {
  if (out == nullptr) return 0;
  Matrix4F t;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      t.m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] + a->m[r][2] * b->m[2][c] +
                  a->m[r][3] * b->m[3][c];
    }
  }
  *out = t;
  return 0;
}

int TransposeMatrix(Matrix4F* out, const Matrix4F* in) {
  Matrix4F t;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) t.m[r][c] = in->m[c][r];
  }
  *out = t;
  return 0;
}

int InvertMatrix(Matrix4F* out, const Matrix4F* in) {
  const float(*m)[4] = in->m;
  // 2x2 determinants of the top two rows and of the bottom two rows.
  float s0 = m[0][0] * m[1][1] - m[1][0] * m[0][1];
  float s1 = m[0][0] * m[1][2] - m[1][0] * m[0][2];
  float s2 = m[0][0] * m[1][3] - m[1][0] * m[0][3];
  float s3 = m[0][1] * m[1][2] - m[1][1] * m[0][2];
  float s4 = m[0][1] * m[1][3] - m[1][1] * m[0][3];
  float s5 = m[0][2] * m[1][3] - m[1][2] * m[0][3];
  float c5 = m[2][2] * m[3][3] - m[3][2] * m[2][3];
  float c4 = m[2][1] * m[3][3] - m[3][1] * m[2][3];
  float c3 = m[2][1] * m[3][2] - m[3][1] * m[2][2];
  float c2 = m[2][0] * m[3][3] - m[3][0] * m[2][3];
  float c1 = m[2][0] * m[3][2] - m[3][0] * m[2][2];
  float c0 = m[2][0] * m[3][1] - m[3][0] * m[2][1];
  float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (det > -1e-7f && det < 1e-7f) return -1;
  float inv = 1.0f / det;
  Matrix4F t;
  t.m[0][0] = (m[1][1] * c5 - m[1][2] * c4 + m[1][3] * c3) * inv;
  t.m[0][1] = (-m[0][1] * c5 + m[0][2] * c4 - m[0][3] * c3) * inv;
  t.m[0][2] = (m[3][1] * s5 - m[3][2] * s4 + m[3][3] * s3) * inv;
  t.m[0][3] = (-m[2][1] * s5 + m[2][2] * s4 - m[2][3] * s3) * inv;
  t.m[1][0] = (-m[1][0] * c5 + m[1][2] * c2 - m[1][3] * c1) * inv;
  t.m[1][1] = (m[0][0] * c5 - m[0][2] * c2 + m[0][3] * c1) * inv;
  t.m[1][2] = (-m[3][0] * s5 + m[3][2] * s2 - m[3][3] * s1) * inv;
  t.m[1][3] = (m[2][0] * s5 - m[2][2] * s2 + m[2][3] * s1) * inv;
  t.m[2][0] = (m[1][0] * c4 - m[1][1] * c2 + m[1][3] * c0) * inv;
  t.m[2][1] = (-m[0][0] * c4 + m[0][1] * c2 - m[0][3] * c0) * inv;
  t.m[2][2] = (m[3][0] * s4 - m[3][1] * s2 + m[3][3] * s0) * inv;
  t.m[2][3] = (-m[2][0] * s4 + m[2][1] * s2 - m[2][3] * s0) * inv;
  t.m[3][0] = (-m[1][0] * c3 + m[1][1] * c1 - m[1][2] * c0) * inv;
  t.m[3][1] = (m[0][0] * c3 - m[0][1] * c1 + m[0][2] * c0) * inv;
  t.m[3][2] = (-m[3][0] * s3 + m[3][1] * s1 - m[3][2] * s0) * inv;
  t.m[3][3] = (m[2][0] * s3 - m[2][1] * s1 + m[2][2] * s0) * inv;
  *out = t;
  return 0;
}

int BuildPerspectiveMatrix(Matrix4F* out, float fov, float nearZ, float farZ, float aspect) {
  if (aspect < 0.0f) aspect = ScreenAspect();
  float s = 0.0f, c = 0.0f;
  ComputeSinCos(fov / 2.0f, &s, &c);
  if (AbsF(farZ - nearZ) < 1e-4f || AbsF(s) < 1e-4f) return -1;
  std::memset(out, 0, sizeof(*out));
  out->m[0][0] = aspect * c / s;
  out->m[1][1] = c / s;
  out->m[2][2] = farZ / (farZ - nearZ);
  out->m[2][3] = 1.0f;
  out->m[3][2] = -out->m[2][2] * nearZ;
  out->m[3][3] = 0.0f;
  return 0;
}

int BuildOrthoMatrix(Matrix4F* out, float height, float nearZ, float farZ, float aspect) {
  if (aspect < 0.0f) aspect = ScreenAspect();
  if (AbsF(nearZ - farZ) < 1e-4f) return -1;
  float width = height / aspect;
  std::memset(out, 0, sizeof(*out));
  out->m[0][0] = 2.0f / width;
  out->m[1][1] = 2.0f / height;
  out->m[2][2] = 1.0f / (farZ - nearZ);
  out->m[3][2] = nearZ / (nearZ - farZ);
  out->m[3][3] = 1.0f;
  return 0;
}

int BuildViewportMatrix(Matrix4F* out, float x, float y, float width, float height) {
  std::memset(out, 0, sizeof(*out));
  out->m[0][0] = width * 0.5f;
  out->m[1][1] = -height * 0.5f;
  out->m[2][2] = 1.0f;
  out->m[3][3] = 1.0f;
  out->m[3][0] = x;
  out->m[3][1] = y;
  return 0;
}

int BuildLookAtMatrix(Matrix4F* out, const Vector3F* eye, const Vector3F* at, const Vector3F* up) {
  Vector3F z = Subtract(*at, *eye);
  Vector3F x = Cross(*up, z);
  Vector3F y = Cross(z, x);
  NormalizeVector3(&x, &x);
  NormalizeVector3(&y, &y);
  NormalizeVector3(&z, &z);
  const Vector3F* axes[3] = {&x, &y, &z};
  for (int c = 0; c < 3; ++c) {
    out->m[0][c] = axes[c]->x;
    out->m[1][c] = axes[c]->y;
    out->m[2][c] = axes[c]->z;
    out->m[3][c] = -DotVector3(axes[c], eye);
  }
  out->m[0][3] = out->m[1][3] = out->m[2][3] = 0.0f;
  out->m[3][3] = 1.0f;
  return 0;
}

int NormalizeVector3(Vector3F* out, const Vector3F* in) {
  float length = SqrtFloat(in->x * in->x + in->y * in->y + in->z * in->z);
  if (length == 0.0f) {
    *out = {0.0f, 0.0f, 0.0f};
    return 0;
  }
  *out = {in->x / length, in->y / length, in->z / length};
  return 0;
}

Vector3F* MakeNormalizedVector3(Vector3F* out, float x, float y, float z) {
  Vector3F v = {x, y, z};
  NormalizeVector3(out, &v);
  return out;
}

float DotVector3(const Vector3F* a, const Vector3F* b) { return a->x * b->x + a->y * b->y + a->z * b->z; }

int TransformPoint3x4(Vector3F* out, const Vector3F* in, const Matrix4F* m) {
  Vector3F v = *in;
  out->x = v.x * m->m[0][0] + v.y * m->m[1][0] + v.z * m->m[2][0] + m->m[3][0];
  out->y = v.x * m->m[0][1] + v.y * m->m[1][1] + v.z * m->m[2][1] + m->m[3][1];
  out->z = v.x * m->m[0][2] + v.y * m->m[1][2] + v.z * m->m[2][2] + m->m[3][2];
  return 0;
}
