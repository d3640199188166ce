#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "library/graphics/graphics_system.h"
#include "library/graphics/matrix.h"

namespace {

Matrix4F Rows(std::initializer_list<float> values) {
  Matrix4F m{};
  int i = 0;
  for (float v : values) m.m[i / 4][i % 4] = v, ++i;
  return m;
}

void ExpectNear(const Matrix4F& got, const Matrix4F& expected, float tolerance = 1e-5f) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(got.m[r][c], expected.m[r][c], tolerance) << r << "," << c;
  }
}

TEST(Matrix, Perspective) {
  Matrix4F m;
  ASSERT_EQ(BuildPerspectiveMatrix(&m, 1.0471976f, 10.0f, 10000.0f, 0.75f), 0);
  ExpectNear(m, Rows({1.2990381f, 0, 0, 0,  //
                      0, 1.7320508f, 0, 0,  //
                      0, 0, 1.001001f, 1,   //
                      0, 0, -10.01001f, 0}));
  EXPECT_FLOAT_EQ(m.m[1][1], 1.7320508f);
  EXPECT_FLOAT_EQ(m.m[0][0], 1.2990381f);

  // A negative aspect takes the screen's, 640 x 480 while unset.
  Matrix4F screen;
  ASSERT_EQ(BuildPerspectiveMatrix(&screen, 1.0471976f, 10.0f, 10000.0f, -1.0f), 0);
  EXPECT_FLOAT_EQ(screen.m[0][0], m.m[0][0]);
  ScreenWidth = 640;
  ScreenHeight = 400;
  ASSERT_EQ(BuildPerspectiveMatrix(&screen, 1.0471976f, 10.0f, 10000.0f, -1.0f), 0);
  EXPECT_FLOAT_EQ(screen.m[0][0], 0.625f * 1.7320508f);
  ScreenWidth = ScreenHeight = 0;

  Matrix4F untouched = Rows({7});
  EXPECT_EQ(BuildPerspectiveMatrix(&untouched, 1.0f, 10.0f, 10.0f, 0.75f), -1);
  EXPECT_EQ(BuildPerspectiveMatrix(&untouched, 0.0f, 1.0f, 10.0f, 0.75f), -1);
  EXPECT_EQ(untouched.m[0][0], 7.0f);
}

TEST(Matrix, OrthoAndViewport) {
  Matrix4F m;
  ASSERT_EQ(BuildOrthoMatrix(&m, 480.0f, 2.0f, 6.0f, 0.75f), 0);
  ExpectNear(m, Rows({2.0f / 640, 0, 0, 0, 0, 2.0f / 480, 0, 0, 0, 0, 0.25f, 0, 0, 0, -0.5f, 1}));
  EXPECT_EQ(BuildOrthoMatrix(&m, 480.0f, 5.0f, 5.00005f, 0.75f), -1);
  ASSERT_EQ(BuildViewportMatrix(&m, 320.0f, 240.0f, 640.0f, 480.0f), 0);
  ExpectNear(m, Rows({320, 0, 0, 0, 0, -240, 0, 0, 0, 0, 1, 0, 320, 240, 0, 1}));
}

TEST(Matrix, LookAtAndTransform) {
  // Looking from (2, 0, 0) along +x with y up: +x becomes depth, -z right.
  Vector3F eye{2, 0, 0}, at{3, 0, 0}, up{0, 5, 0};
  Matrix4F m;
  ASSERT_EQ(BuildLookAtMatrix(&m, &eye, &at, &up), 0);
  ExpectNear(m, Rows({0, 0, 1, 0,   //
                      0, 1, 0, 0,   //
                      -1, 0, 0, 0,  //
                      0, 0, -2, 1}));
  Vector3F p{3, 1, -4};
  ASSERT_EQ(TransformPoint3x4(&p, &p, &m), 0);  // in place
  EXPECT_FLOAT_EQ(p.x, 4);
  EXPECT_FLOAT_EQ(p.y, 1);
  EXPECT_FLOAT_EQ(p.z, 1);
}

TEST(Matrix, MultiplyWithTheOutputAliasingAnInput) {
  Matrix4F translate = Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
  Matrix4F swapXY = Rows({0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  Matrix4F product;
  ASSERT_EQ(MultiplyMatrix(&product, &translate, &swapXY), 0);
  ExpectNear(product, Rows({0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 2, 1, 3, 1}), 0);

  std::mt19937 random(9);
  std::uniform_real_distribution<float> value(-4.0f, 4.0f);
  Matrix4F a, b, expected;
  for (auto& row : a.m) for (float& v : row) v = value(random);
  for (auto& row : b.m) for (float& v : row) v = value(random);
  MultiplyMatrix(&expected, &a, &b);
  Matrix4F intoA = a, intoB = b, square = a, squared;
  ASSERT_EQ(MultiplyMatrix(&intoA, &intoA, &b), 0);
  ASSERT_EQ(MultiplyMatrix(&intoB, &a, &intoB), 0);
  EXPECT_EQ(memcmp(&intoA, &expected, sizeof expected), 0);
  EXPECT_EQ(memcmp(&intoB, &expected, sizeof expected), 0);
  MultiplyMatrix(&squared, &a, &a);
  ASSERT_EQ(MultiplyMatrix(&square, &square, &square), 0);
  EXPECT_EQ(memcmp(&square, &squared, sizeof squared), 0);
  EXPECT_EQ(MultiplyMatrix(nullptr, &a, &b), 0);

  Matrix4F t = a;
  ASSERT_EQ(TransposeMatrix(&t, &t), 0);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t.m[r][c], a.m[c][r]);
  }
}

TEST(Matrix, Inverse) {
  // Scale by 2, 4, 8, then move by 1, 2, 3.
  Matrix4F m = Rows({2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 1, 2, 3, 1});
  Matrix4F inverse;
  ASSERT_EQ(InvertMatrix(&inverse, &m), 0);
  ExpectNear(inverse, Rows({0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.125f, 0, -0.5f, -0.5f, -0.375f, 1}));

  std::mt19937 random(4);
  std::uniform_real_distribution<float> value(-2.0f, 2.0f);
  Matrix4F identity, product;
  SetIdentityMatrix(&identity);
  for (int n = 0; n < 5; ++n) {
    Matrix4F a;
    for (auto& row : a.m) for (float& v : row) v = value(random);
    Matrix4F inv = a;
    ASSERT_EQ(InvertMatrix(&inv, &inv), 0);  // in place
    MultiplyMatrix(&product, &a, &inv);
    ExpectNear(product, identity, 1e-3f);
  }

  Matrix4F untouched = Rows({9});
  Matrix4F zeroRow = Rows({1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 1, 0, 1, 0});
  Matrix4F tiny = Rows({0.01f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, 0.01f});  // det 1e-8
  EXPECT_EQ(InvertMatrix(&untouched, &zeroRow), -1);
  EXPECT_EQ(InvertMatrix(&untouched, &tiny), -1);
  EXPECT_EQ(untouched.m[0][0], 9.0f);
}

TEST(Vector, NormalizeAndDot) {
  Vector3F v{3, 0, -4}, n;
  ASSERT_EQ(NormalizeVector3(&n, &v), 0);
  EXPECT_FLOAT_EQ(n.x, 0.6f);
  EXPECT_FLOAT_EQ(n.z, -0.8f);
  Vector3F m;
  EXPECT_EQ(MakeNormalizedVector3(&m, 0, 2, 0), &m);
  EXPECT_FLOAT_EQ(m.y, 1.0f);
  Vector3F zero{0, 0, 0};
  ASSERT_EQ(NormalizeVector3(&zero, &zero), 0);
  EXPECT_EQ(zero.x, 0.0f);
  EXPECT_EQ(zero.y, 0.0f);
  EXPECT_EQ(zero.z, 0.0f);
  EXPECT_FLOAT_EQ(DotVector3(&v, &n), 5.0f);
}

}  // namespace
