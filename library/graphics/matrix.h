// Matrix and vector helpers of the 3-D settings. Direct3D conventions: the
// matrices are row-major with row vectors (a point is multiplied from the
// left, the translation sits in row 3) and the projections are left-handed.
#pragma once

#include <cstdint>

struct Matrix4F {
  float m[4][4];  // [row][column]
};

struct Vector3F {
  float x, y, z;
};

int SetIdentityMatrix(Matrix4F* out);
// out = a x b; out may be a or b; a null out writes nothing.
int MultiplyMatrix(Matrix4F* out, const Matrix4F* a, const Matrix4F* b);
int TransposeMatrix(Matrix4F* out, const Matrix4F* in);
// -1, out untouched, when the determinant lies within 1e-7 of 0.
int InvertMatrix(Matrix4F* out, const Matrix4F* in);
// A negative aspect (height / width) takes the screen's; -1 for a depth range
// or a field of view too small to divide by.
int BuildPerspectiveMatrix(Matrix4F* out, float fov, float nearZ, float farZ, float aspect);
int BuildOrthoMatrix(Matrix4F* out, float height, float nearZ, float farZ, float aspect);
int BuildViewportMatrix(Matrix4F* out, float x, float y, float width, float height);
int BuildLookAtMatrix(Matrix4F* out, const Vector3F* eye, const Vector3F* at, const Vector3F* up);
// A zero vector stays zero.
int NormalizeVector3(Vector3F* out, const Vector3F* in);
Vector3F* MakeNormalizedVector3(Vector3F* out, float x, float y, float z);
float DotVector3(const Vector3F* a, const Vector3F* b);
// out = (in, 1) x the first three columns of m.
int TransformPoint3x4(Vector3F* out, const Vector3F* in, const Matrix4F* m);
