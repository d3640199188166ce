// Edge cases of the hardware image draws and shapes.
#include <cmath>
#include <cstring>

#include "library/graphics/d3d9/d3d_draw.h"
#include "library/graphics/draw_api.h"
#include "tests/graphics/d3d9/d3d_fixture.h"
#include "tests/graphics/scene.h"

namespace {

class D3DDrawTest : public D3DTest {
 protected:
  void SetUp() override {
    D3DTest::SetUp();
    StartOnBackScreen();
  }
  static ObjectHandle Graph(int w, int h) {
    GraphImage image{};
    PatternImage(&image, w, h, 5, false);
    const ObjectHandle g = BuildGraphFromGraphImage(&image, nullptr, 0, 0, 0);
    ReleaseGraphImage(&image);
    return g;
  }
  // The vertices of everything drawn since the last call.
  template <typename V>
  static std::vector<V> Drawn() {
    G_D3D_FlushVertexBatch();
    std::vector<V> out;
    for (const D3D9DrawRecord& d : D3D9Draws()) {
      EXPECT_EQ(d.stride, sizeof(V));
      for (UINT i = 0; i < d.vertexCount; ++i) {
        V v;
        std::memcpy(&v, d.vertices.data() + static_cast<size_t>(i) * d.stride, sizeof v);
        out.push_back(v);
      }
    }
    D3D9ClearRecords();
    return out;
  }
};

// Where the corners of a turned graph land (top-left, top-right,
// bottom-left of the six vertices).
TEST_F(D3DDrawTest, TurnedGraphsLandOnPixels) {
  struct Case {
    int w, h;
    float x, y;
    double angle;
    int turn;
    float tl[2], tr[2], bl[2];
  };
  const Case cases[] = {
      // An even size at scale 1 and angle 0: its centre (w/2, h/2) at (99.5, 99.5).
      {8, 6, 100, 100, 0.0, 0, {95.5f, 96.5f}, {103.5f, 96.5f}, {95.5f, 102.5f}},
      // Odd sizes: centred on the pixel, corners on half pixels.
      {7, 5, 100, 100, 0.0, 0, {96.5f, 97.5f}, {103.5f, 97.5f}, {96.5f, 102.5f}},
      // A quarter turn of odd sizes moves half a pixel so texels fall on pixels.
      {7, 5, 100, 100, M_PI / 2, 0, {102.0f, 96.0f}, {102.0f, 103.0f}, {97.0f, 96.0f}},
      // Odd by even: the even side's centre is lowered instead, nothing moves.
      {7, 4, 100, 100, M_PI / 2, 0, {101.5f, 96.5f}, {101.5f, 103.5f}, {97.5f, 96.5f}},
      // The turn flag mirrors about the centre.
      {8, 6, 100, 100, 0.0, 1, {103.5f, 96.5f}, {95.5f, 96.5f}, {103.5f, 102.5f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " " << c.angle << " " << c.turn);
    const ObjectHandle g = Graph(c.w, c.h);
    D3D9ClearRecords();
    ASSERT_EQ(DrawGraphRotatedF(c.x, c.y, 1.0, c.angle, g, 1, c.turn), 0);
    const auto v = Drawn<BatchVertexTextured>();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_NEAR(v[0].x, c.tl[0], 0.001f);
    EXPECT_NEAR(v[0].y, c.tl[1], 0.001f);
    EXPECT_NEAR(v[1].x, c.tr[0], 0.001f);
    EXPECT_NEAR(v[1].y, c.tr[1], 0.001f);
    EXPECT_NEAR(v[2].x, c.bl[0], 0.001f);
    EXPECT_NEAR(v[2].y, c.bl[1], 0.001f);
    FreeGraph(g);
  }
  EXPECT_EQ(DrawGraphRotated(10, 10, 0.0, 0.0, Graph(4, 4), 1, 0), -1) << "scale 0";
}

// A graph partly outside the area: cut, its texture coordinates moved, so
// the visible part does not stretch; a quad that is an upright rectangle
// draws stretched.
TEST_F(D3DDrawTest, ClippedGraphsAndUprightQuads) {
  const ObjectHandle g = Graph(16, 16);
  SetDrawClipArea(10, 0, 640, 480);
  ASSERT_EQ(DrawGraphAt(2, 0, g, 1), 0);
  auto v = Drawn<BatchVertexTextured>();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].x, 10.0f);
  EXPECT_FLOAT_EQ(v[0].u, 8.5f / 16.0f);
  EXPECT_FLOAT_EQ(v[1].x - v[0].x, (v[1].u - v[0].u) * 16.0f) << "one texel a pixel";
  SetDrawClipArea(0, 0, 640, 480);
  ASSERT_EQ(DrawGraphQuad(20, 20, 52, 20, 52, 36, 20, 36, g, 1), 0);
  v = Drawn<BatchVertexTextured>();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].x, 19.5f) << "the stretched draw's half-pixel placement";
  EXPECT_EQ(v[3].x, 51.5f);
  EXPECT_EQ(v[3].y, 35.5f);
  // Without a device (or while it is lost) nothing is queued.
  D3DDeviceLost = 1;
  EXPECT_EQ(DrawGraphAt(0, 0, g, 1), -1);
  EXPECT_EQ(FillRectangleShape(0, 0, 4, 4, 0), -1);
  D3DDeviceLost = 0;
  EXPECT_TRUE(Drawn<BatchVertexTextured>().empty());
}

// A grid mesh of 2 x 2 vertices is one strip of two triangles; a quad that
// is no parallelogram is drawn as a grid of 8 x 8.
TEST_F(D3DDrawTest, GridMeshes) {
  BatchVertexTextured grid[4] = {};
  EXPECT_EQ(G_D3D_DrawGridMesh(1, 4, grid), -1);
  ASSERT_EQ(G_D3D_DrawGridMesh(2, 2, grid), 0);
  ASSERT_EQ(D3D9Draws().size(), 1u);
  const D3D9DrawRecord& d = D3D9Draws()[0];
  EXPECT_EQ(d.call, D3D9Call::DrawIndexedPrimitiveUP);
  EXPECT_EQ(d.type, D3DPT_TRIANGLESTRIP);
  EXPECT_EQ(d.primitiveCount, 2u);
  uint16_t indices[4];
  std::memcpy(indices, d.indices.data(), sizeof indices);
  EXPECT_EQ(indices[0], 2);
  EXPECT_EQ(indices[1], 0);
  EXPECT_EQ(indices[2], 3);
  EXPECT_EQ(indices[3], 1);
  D3D9ClearRecords();
  const ObjectHandle g = Graph(300, 20);  // below the screen's width: one texture
  // Several pieces take the piece-by-piece path: a graph past the screen's width.
  const ObjectHandle wide = Graph(700, 20);
  const int32_t pieces = GetGraphRecordChecked(wide)->drawPieceCount;
  ASSERT_EQ(pieces, 3);  // 512, 128, 64
  D3D9ClearRecords();
  ASSERT_EQ(DrawGraphQuadF(0, 0, 700, 50, 690, 120, 10, 100, wide, 1), 0);
  G_D3D_FlushVertexBatch();
  int meshes = 0;
  for (const D3D9DrawRecord& r : D3D9Draws()) meshes += r.call == D3D9Call::DrawIndexedPrimitiveUP;
  EXPECT_EQ(meshes, pieces);
  FreeGraph(g);
}

// The shapes' own edge cases.
TEST_F(D3DDrawTest, ShapeEdgeCases) {
  const uint32_t c = MakeScreenColor(255, 255, 255);
  ASSERT_EQ(DrawLineShape(0, 5, 10, 5, c, 1), 0);
  auto v = Drawn<BatchVertexColour>();
  ASSERT_EQ(v.size(), 2u);
  EXPECT_FLOAT_EQ(v[1].x, 9.9f) << "a straight line stops just before its end";
  ASSERT_EQ(DrawLineShape(3, 20, 3, 10, c, 1), 0);
  v = Drawn<BatchVertexColour>();
  EXPECT_FLOAT_EQ(v[1].y, 10.1f);
  EXPECT_EQ(DrawLineShape(4, 4, 4, 4, c, 1), 0);
  EXPECT_TRUE(Drawn<BatchVertexColour>().empty());
  EXPECT_EQ(DrawEllipseShape(50, 50, 0, 10, c, 1), -1);
  EXPECT_TRUE(Drawn<BatchVertexColour>().empty());
  ASSERT_EQ(DrawCircleShape(50, 50, 0, c, 0), 0);
  v = Drawn<BatchVertexColour>();
  ASSERT_FALSE(v.empty());
  for (const auto& p : v) EXPECT_TRUE(p.x == 50 && p.y == 50);
  // A thick line is a filled quadrilateral of the polygon list.
  ASSERT_EQ(DrawLineShape(10, 10, 30, 10, MakeScreenColor(0, 128, 255), 4), 0);
  ASSERT_EQ(D3D9Draws().size(), 1u);
  EXPECT_EQ(D3D9Draws()[0].primitiveCount, 2u);
  auto t = Drawn<BatchVertexTextured>();
  EXPECT_EQ(t[0].diffuse, 0xFF0080FFu);
  EXPECT_FLOAT_EQ(t[0].y, 8.0f);
  EXPECT_FLOAT_EQ(t[2].y, 12.0f);
  // A shape after an image draws untextured.
  DrawGraphAt(0, 0, Graph(4, 4), 1);
  FillRectangleShape(0, 0, 4, 4, c);
  G_D3D_FlushVertexBatch();
  ASSERT_EQ(D3D9Draws().size(), 2u);
  EXPECT_EQ(D3D9Draws()[1].state.textures[0], 0u);
}

}  // namespace

namespace {

// Drawable graphs: a draw target of their own, filled and copied into on the
// device; a plain texture graph takes a copy of the target through system
// memory.
TEST_F(D3DDrawTest, DrawableGraphsCopiesAndFills) {
  SetDrawableGraphFlag(1);
  const ObjectHandle target = CreateEmptyGraph(100, 60);
  SetDrawableGraphFlag(0);
  const GraphRecord* t = GetGraphRecordChecked(target);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->surface->request.drawable, 1);
  ASSERT_EQ(SelectDrawTarget(target), 0);
  EXPECT_EQ(D3D9CurrentState()->renderTarget, D3D9ObjectId(t->drawPieces[0].piece->surface));
  EXPECT_EQ(D3D9CurrentState()->viewport.Width, 100u);
  ASSERT_EQ(FillGraphWithColor(target, 10, 20, 30, 255), 0);
  EXPECT_EQ(Sent(D3D9Call::ColorFill, {D3D9ObjectId(t->drawPieces[0].piece->surface), 0xFF0A141Eu}), 1);

  // The target's rectangle into a plain graph: read back, converted.
  const ObjectHandle copy = Graph(20, 10);
  ASSERT_EQ(CopyScreenToGraph(5, 5, 25, 15, copy), 0);
  EXPECT_EQ(Sent(D3D9Call::GetRenderTargetData, {}), 1);
  const GraphRecord* c = GetGraphRecordChecked(copy);
  const TexturePiece* p = c->drawPieces[0].piece;
  D3DLOCKED_RECT locked{};
  ASSERT_GE(p->staging->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), 0);
  uint32_t texel = 0;
  std::memcpy(&texel, static_cast<uint8_t*>(locked.pBits) + 3 * locked.Pitch + 4 * 4, 4);
  p->staging->UnlockRect(0);
  EXPECT_EQ(texel & 0xFFFFFF, 0x0A141Eu) << "the filled colour, read back";
  EXPECT_EQ(CopyScreenToGraph(5, 5, 26, 15, copy), -1) << "not the graph's size";
  // Into another drawable graph: copied on the device.
  SetDrawableGraphFlag(1);
  const ObjectHandle second = CreateEmptyGraph(20, 10);
  SetDrawableGraphFlag(0);
  D3D9ClearRecords();
  ASSERT_EQ(CopyScreenToGraph(5, 5, 25, 15, second), 0);
  EXPECT_EQ(Sent(D3D9Call::StretchRect, {D3D9ObjectId(t->drawPieces[0].piece->surface)}), 1);
  SelectDrawTarget(BackScreenHandle);
  EXPECT_EQ(D3D9CurrentState()->renderTarget, D3D9ObjectId(D3DBackBuffer));
}

}  // namespace
