// The blend application on the stand-in: every blend mode, the subtract
// emulation, the blend graph's border, transparency under each filter, and
// the state cache between draws that share their settings.
#include <cstring>

#include "library/graphics/d3d9/d3d_draw.h"
#include "tests/graphics/d3d9/d3d_fixture.h"
#include "tests/graphics/scene.h"

namespace {

class D3DBlendTest : public D3DTest {
 protected:
  void SetUp() override {
    D3DTest::SetUp();
    StartOnBackScreen();
    graphs_ = MakeSceneGraphs();
    G_D3D_FlushVertexBatch();
    D3D9ClearRecords();
  }
  // The draws of one call, flushed.
  static std::vector<D3D9DrawRecord> DrawsOf(const std::function<void()>& call) {
    D3D9ClearRecords();
    call();
    G_D3D_FlushVertexBatch();
    return D3D9Draws();
  }
  static uint32_t TextureOf(ObjectHandle graph) {
    return D3D9ObjectId(GetGraphRecordChecked(graph)->drawPieces[0].piece->texture);
  }
  SceneGraphs graphs_{};
};

// Each blend mode's render states and stage set for a texture with alpha.
TEST_F(D3DBlendTest, EveryModeOnATextureWithAlpha) {
  struct Case {
    int mode;
    DWORD blend, src, dest, op;
    DWORD colorOp1;   // stage 1's colour operation (DISABLE: one stage)
    DWORD colorArg1;  // stage 0's first colour argument
  };
  const DWORD kLeave = 0xFFFFFFFF;
  const Case cases[] = {
      {0, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, D3DTOP_DISABLE, D3DTA_TEXTURE},
      {1, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, D3DTOP_DISABLE, D3DTA_TEXTURE},
      {2, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, D3DTOP_DISABLE, D3DTA_TEXTURE},
      // The device subtracts by itself: the reverse subtraction.
      {3, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT, D3DTOP_DISABLE, D3DTA_TEXTURE},
      {4, TRUE, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD, D3DTOP_DISABLE, D3DTA_TEXTURE},
      {5, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, D3DTOP_DISABLE, D3DTA_TEXTURE},
      // Blending off by the table, on for the texture's alpha.
      {6, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, D3DTOP_DISABLE, D3DTA_TEXTURE},
      {7, TRUE, kLeave, kLeave, D3DBLENDOP_ADD, D3DTOP_DISABLE, D3DTA_TEXTURE},
      {8, TRUE, D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLENDOP_ADD, D3DTOP_DISABLE, D3DTA_TEXTURE},
      {9, TRUE, D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD, D3DTOP_DISABLE, D3DTA_TEXTURE},
      // The source inverted first.
      {10, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, D3DTOP_DISABLE,
       D3DTA_TEXTURE | D3DTA_COMPLEMENT},
      // Transparent parts made white before the multiplication.
      {11, TRUE, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD, D3DTOP_BLENDCURRENTALPHA, D3DTA_TEXTURE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    SetDrawBlend(c.mode, 128);
    const auto draws = DrawsOf([&] { DrawGraphAt(10, 10, graphs_.alpha, 1); });
    ASSERT_EQ(draws.size(), 1u);
    const D3D9DeviceState& s = draws[0].state;
    EXPECT_EQ(s.renderStates[D3DRS_ALPHABLENDENABLE], c.blend);
    if (c.src != kLeave) {
      EXPECT_EQ(s.renderStates[D3DRS_SRCBLEND], c.src);
    }
    if (c.dest != kLeave) {
      EXPECT_EQ(s.renderStates[D3DRS_DESTBLEND], c.dest);
    }
    EXPECT_EQ(s.renderStates[D3DRS_BLENDOP], c.op);
    EXPECT_EQ(s.renderStates[D3DRS_ALPHATESTENABLE], 0u);
    EXPECT_EQ(s.textureStageStates[0][D3DTSS_COLORARG1], c.colorArg1);
    EXPECT_EQ(s.textureStageStates[0][D3DTSS_COLOROP], D3DTOP_SELECTARG1);
    // Alpha from the texture, times the vertex alpha (the blend parameter)
    // while a blend mode is set.
    EXPECT_EQ(s.textureStageStates[0][D3DTSS_ALPHAOP], c.mode == 0 ? D3DTOP_SELECTARG1 : D3DTOP_MODULATE);
    EXPECT_EQ(s.textureStageStates[1][D3DTSS_COLOROP], c.colorOp1);
    if (c.colorOp1 != D3DTOP_DISABLE) {
      EXPECT_EQ(s.textureStageStates[1][D3DTSS_COLORARG1], D3DTA_CURRENT);
      EXPECT_EQ(s.textureStageStates[1][D3DTSS_COLORARG2], D3DTA_TFACTOR);
      EXPECT_EQ(s.renderStates[D3DRS_TEXTUREFACTOR], 0xFFFFFFFFu);
      EXPECT_EQ(s.textureStageStates[2][D3DTSS_COLOROP], D3DTOP_DISABLE);
    }
    uint32_t colour = 0;
    std::memcpy(&colour, draws[0].vertices.data() + 16, 4);
    EXPECT_EQ(colour >> 24, c.mode == 0 ? 255u : 128u);
  }
}

// Blend mode 3 without a reverse subtraction: the draw sits between two
// boxes that invert the destination, and is made in mode 5.
TEST_F(D3DBlendTest, SubtractWithoutTheBlendOperationIsEmulated) {
  StopGraphics();
  StartOn(AdapterWith([](D3D9AdapterSetup* a) { a->caps.PrimitiveMiscCaps &= ~D3DPMISCCAPS_BLENDOP; }), 32, 640, 480);
  SelectDrawTarget(BackScreenHandle);
  graphs_ = MakeSceneGraphs();
  SetDrawBlend(3, 100);
  SetDrawBrightness(200, 200, 200);
  const auto draws = DrawsOf([&] { DrawGraphAt(20, 30, graphs_.plain, 1); });
  ASSERT_EQ(draws.size(), 3u);
  for (int i : {0, 2}) {
    const D3D9DeviceState& s = draws[i].state;
    EXPECT_EQ(s.fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    EXPECT_EQ(s.renderStates[D3DRS_SRCBLEND], D3DBLEND_INVDESTCOLOR);
    EXPECT_EQ(s.renderStates[D3DRS_DESTBLEND], D3DBLEND_ZERO);
    EXPECT_EQ(s.renderStates[D3DRS_BLENDOP], D3DBLENDOP_ADD);
    EXPECT_EQ(s.textureStageStates[0][D3DTSS_COLOROP], D3DTOP_SELECTARG1);
    EXPECT_EQ(s.textureStageStates[0][D3DTSS_COLORARG1], D3DTA_DIFFUSE);
    BatchVertexColour v[6];
    std::memcpy(v, draws[i].vertices.data(), sizeof v);
    EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu) << "a white box at full strength";
    EXPECT_EQ(v[0].x, 20.0f);
    EXPECT_EQ(v[3].x, 68.0f);
    EXPECT_EQ(v[3].y, 62.0f);
  }
  const D3D9DeviceState& image = draws[1].state;
  EXPECT_EQ(image.renderStates[D3DRS_SRCBLEND], D3DBLEND_SRCALPHA);
  EXPECT_EQ(image.renderStates[D3DRS_DESTBLEND], D3DBLEND_ONE);
  BatchVertexTextured t;
  std::memcpy(&t, draws[1].vertices.data(), sizeof t);
  EXPECT_EQ(t.diffuse, 0x64C8C8C8u) << "the saved parameter and brightness";
  EXPECT_EQ(DrawBlendMode, 3);
  EXPECT_EQ(DrawBlendParam, 100);
  EXPECT_EQ(DrawBright.red, 200);
}

// The blend graph: its border parameter and range become an alpha test or a
// scaled alpha through the texture factor; parameter 255 draws nothing.
TEST_F(D3DBlendTest, TheBlendGraphsBorder) {
  struct Case {
    int param, range;
    bool drawn, alphaTest;
    DWORD ref, stage0AlphaOp, stage1AlphaOp, factor;
  };
  const Case cases[] = {
      {255, 0, false, false, 0, 0, 0, 0},
      {100, 1, true, true, 100, D3DTOP_ADD, D3DTOP_MODULATE, 0x00FFFFFF},
      // Range 64: span 1280, split 1024; c = 128 x 1280 / 255 = 642, v = 638.
      {128, 64, true, false, 0, D3DTOP_SUBTRACT, D3DTOP_MODULATE4X, (255u - 638u * 255u / 1024u) << 24 | 0xFFFFFF},
      // Range 100: span 768, split 512; c = 10 x 768 / 255 = 30, v = 738: (738 - 512) x 128 / 256.
      {10, 100, true, false, 0, D3DTOP_ADD, D3DTOP_MODULATE2X, 113u << 24 | 0xFFFFFF},
      // Range 200: span 512, split 256; c = 0, v = 512: (512 - 256) x 255 / 256.
      {0, 200, true, false, 0, D3DTOP_ADD, D3DTOP_MODULATE, 255u << 24 | 0xFFFFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.param << " " << c.range);
    ASSERT_EQ(SelectBlendGraph(graphs_.plain, c.param, c.range), 0);
    const auto draws = DrawsOf([&] { DrawGraphAt(5, 5, graphs_.small, 0); });
    if (!c.drawn) {
      EXPECT_TRUE(draws.empty());
      continue;
    }
    ASSERT_EQ(draws.size(), 1u);
    const D3D9DeviceState& s = draws[0].state;
    EXPECT_EQ(s.fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2);
    EXPECT_EQ(draws[0].stride, 40u);
    EXPECT_EQ(s.textures[0], TextureOf(graphs_.plain));
    EXPECT_EQ(s.textures[1], TextureOf(graphs_.small));
    EXPECT_EQ(s.renderStates[D3DRS_ALPHATESTENABLE], c.alphaTest ? 1u : 0u);
    if (c.alphaTest) {
      EXPECT_EQ(s.renderStates[D3DRS_ALPHAREF], c.ref);
      EXPECT_EQ(s.renderStates[D3DRS_ALPHAFUNC], D3DCMP_GREATEREQUAL);
      EXPECT_EQ(s.renderStates[D3DRS_ALPHABLENDENABLE], 0u);
    } else {
      EXPECT_EQ(s.renderStates[D3DRS_ALPHABLENDENABLE], 1u);
    }
    EXPECT_EQ(s.textureStageStates[0][D3DTSS_ALPHAOP], c.stage0AlphaOp);
    EXPECT_EQ(s.textureStageStates[1][D3DTSS_ALPHAOP], c.stage1AlphaOp);
    EXPECT_EQ(s.renderStates[D3DRS_TEXTUREFACTOR], c.factor);
    // The blend graph's coordinates follow the image's pixels.
    BatchVertexBlend v[6];
    std::memcpy(v, draws[0].vertices.data(), sizeof v);
    EXPECT_FLOAT_EQ(v[3].u1, 19.0f / 64.0f);
    EXPECT_FLOAT_EQ(v[3].v1, 13.0f / 32.0f);
    EXPECT_FLOAT_EQ(v[3].u2, 19.0f / 32.0f);
  }
  SelectBlendGraph(-1, 0, 0);
  const auto draws = DrawsOf([&] { DrawGraphAt(5, 5, graphs_.small, 0); });
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].stride, 28u);
  EXPECT_EQ(draws[0].state.textures[1], 0u);
}

// A colour-key texture in mode 0: turned under bilinear filtering it is
// alpha-blended; at a point it keeps the alpha test under both filters.
TEST_F(D3DBlendTest, ColourKeysUnderEachFilter) {
  struct Case {
    int filter;
    bool rotated;
    bool alphaTest, blend;
  };
  const Case cases[] = {{0, true, true, false}, {1, true, false, true}, {0, false, true, false}, {1, false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.filter << " " << c.rotated);
    SetDrawFilterMode(c.filter);
    const auto draws = DrawsOf([&] {
      if (c.rotated)
        DrawGraphRotated(100, 100, 1.0, 0.3, graphs_.plain, 1, 0);
      else
        DrawGraphAt(100, 100, graphs_.plain, 1);
    });
    ASSERT_EQ(draws.size(), 1u);
    const D3D9DeviceState& s = draws[0].state;
    EXPECT_EQ(s.renderStates[D3DRS_ALPHATESTENABLE], c.alphaTest ? 1u : 0u);
    if (c.alphaTest) {
      EXPECT_EQ(s.renderStates[D3DRS_ALPHAREF], 16u);
      EXPECT_EQ(s.renderStates[D3DRS_ALPHAFUNC], D3DCMP_GREATER);
    }
    EXPECT_EQ(s.renderStates[D3DRS_ALPHABLENDENABLE], c.blend ? 1u : 0u);
    EXPECT_EQ(s.samplerStates[0][D3DSAMP_MAGFILTER], c.filter == 1 ? D3DTEXF_LINEAR : D3DTEXF_POINT);
  }
}

// Draws that share their texture and settings are one batch with no state
// sent between them; a shape after them draws untextured.
TEST_F(D3DBlendTest, DrawsThatShareTheirStateAreOneBatch) {
  SetDrawBlend(1, 200);
  DrawGraphAt(0, 0, graphs_.plain, 1);
  G_D3D_FlushVertexBatch();
  D3D9ClearRecords();
  DrawGraphAt(10, 10, graphs_.plain, 1);
  DrawGraphAt(60, 10, graphs_.plain, 1);
  DrawGraphStretched(0, 100, 96, 164, graphs_.plain, 1);
  FillRectangleShape(0, 0, 8, 8, MakeScreenColor(255, 0, 0));
  G_D3D_FlushVertexBatch();
  const std::vector<D3D9DrawRecord>& draws = D3D9Draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].vertexCount, 18u);
  for (const D3D9CallRecord& r : D3D9Journal()) {
    if (r.call == D3D9Call::DrawPrimitiveUP) break;
    EXPECT_TRUE(r.call != D3D9Call::SetRenderState && r.call != D3D9Call::SetTextureStageState &&
                r.call != D3D9Call::SetTexture)
        << "sent before the first draw: " << D3D9CallName(r.call);
  }
  EXPECT_EQ(draws[1].state.textures[0], 0u);
  EXPECT_EQ(draws[1].state.fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
}

}  // namespace
