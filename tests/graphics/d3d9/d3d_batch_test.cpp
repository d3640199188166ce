#include <cstring>

#include "library/core/main_window.h"
#include "tests/graphics/d3d9/d3d_fixture.h"

namespace {

class D3DBatchTest : public D3DTest {
 protected:
  void SetUp() override {
    D3DTest::SetUp();
    StartOn(D3D9FullAdapter(), 16, 640, 480);
    // The draw preparation of start-up switched the Z test off; these tests
    // start from the device's defaults.
    G_D3D_SetZEnable(1);
    G_D3D_FlushVertexBatch();
    VertexBatch.lastFvf = 0;
    D3D9ClearRecords();
  }

  // n colour-only vertices of one primitive, at (i, 2i) with colour c + i.
  static void AppendColour(uint32_t type, int n, uint32_t colour) {
    G_D3D_SetBatchVertexKind(0);
    auto* v = reinterpret_cast<BatchVertexColour*>(G_D3D_ReserveBatchVertices(type, n));
    ASSERT_NE(v, nullptr);
    for (int i = 0; i < n; ++i) {
      v[i].x = static_cast<float>(i);
      v[i].y = static_cast<float>(2 * i);
      v[i].diffuse = colour + static_cast<uint32_t>(i);
    }
  }
  static void AppendTexturedQuad(float x, float y) {
    G_D3D_SetBatchVertexKind(1);
    auto* v = reinterpret_cast<BatchVertexTextured*>(G_D3D_ReserveBatchVertices(D3DPT_TRIANGLELIST, 6));
    ASSERT_NE(v, nullptr);
    const float corners[6][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 1}, {1, 0}};
    for (int i = 0; i < 6; ++i) {
      v[i].x = x + 16 * corners[i][0];
      v[i].y = y + 16 * corners[i][1];
      v[i].diffuse = 0xFFFFFFFF;
      v[i].u = corners[i][0];
      v[i].v = corners[i][1];
    }
  }
};

// The device as start-up leaves it: the defaults, then the untextured draw
// preparation of their last step (lighting, specular and the Z test off,
// filter mode 0 on the one stage in use), then the first flush.
TEST_F(D3DBatchTest, DeviceDefaults) {
  StopGraphics();
  std::memset(&D3DStateShadow, 0, sizeof D3DStateShadow);
  StartOn(D3D9FullAdapter(), 16, 640, 480);
  const D3D9DeviceState* s = D3D9CurrentState();
  ASSERT_NE(s, nullptr);
  for (int sampler = 0; sampler < 8; ++sampler) {
    EXPECT_EQ(s->samplerStates[sampler][D3DSAMP_ADDRESSU], D3DTADDRESS_CLAMP);
    EXPECT_EQ(s->samplerStates[sampler][D3DSAMP_ADDRESSV], D3DTADDRESS_CLAMP);
    EXPECT_EQ(s->samplerStates[sampler][D3DSAMP_ADDRESSW], D3DTADDRESS_CLAMP);
    // The filter shadow starts at mode 0: point sampling, sent to all eight;
    // mode 0 proper has no mip filter, on the sampler in use.
    EXPECT_EQ(s->samplerStates[sampler][D3DSAMP_MAGFILTER], D3DTEXF_POINT);
    EXPECT_EQ(s->samplerStates[sampler][D3DSAMP_MIPFILTER], sampler == 0 ? D3DTEXF_NONE : D3DTEXF_POINT);
  }
  struct Expected {
    D3DRENDERSTATETYPE state;
    DWORD value;
  };
  const Expected states[] = {
      {D3DRS_CULLMODE, D3DCULL_NONE},          {D3DRS_LIGHTING, FALSE},       {D3DRS_SHADEMODE, D3DSHADE_FLAT},
      {D3DRS_DITHERENABLE, FALSE},             {D3DRS_SPECULARENABLE, FALSE}, {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
      {D3DRS_NORMALIZENORMALS, TRUE},          {D3DRS_FOGENABLE, FALSE},      {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
      {D3DRS_FOGCOLOR, 0},                     {D3DRS_FOGSTART, 0},           {D3DRS_FOGEND, 0x3F800000},
      {D3DRS_ZENABLE, D3DZB_FALSE},            {D3DRS_ZWRITEENABLE, FALSE},   {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
      {D3DRS_FILLMODE, D3DFILL_SOLID},         {D3DRS_DEPTHBIAS, 0},          {D3DRS_ALPHABLENDENABLE, FALSE},
  };
  for (const Expected& e : states) EXPECT_EQ(s->renderStates[e.state], e.value) << "render state " << e.state;
  const DWORD texCoord[4] = {0, 1, 1, 0};
  for (int stage = 0; stage < 4; ++stage) {
    EXPECT_EQ(s->textureStageStates[stage][D3DTSS_TEXCOORDINDEX], texCoord[stage]);
    EXPECT_EQ(s->textureStageStates[stage][D3DTSS_RESULTARG], D3DTA_CURRENT);
  }
  // The untextured stage: the vertex colour and alpha.
  EXPECT_EQ(s->textureStageStates[0][D3DTSS_COLOROP], D3DTOP_SELECTARG2);
  EXPECT_EQ(s->textureStageStates[0][D3DTSS_COLORARG2], D3DTA_DIFFUSE);
  EXPECT_EQ(s->textureStageStates[1][D3DTSS_COLOROP], D3DTOP_DISABLE);
  EXPECT_EQ(s->viewport.Width, 640u);
  EXPECT_EQ(s->viewport.Height, 480u);
  EXPECT_EQ(PackedDrawColor, 0xFFFFFFFFu);
  EXPECT_EQ(D3DStateShadow.filterMode, 0);
  EXPECT_EQ(D3DStateShadow.diffuseMaterialSource, 255);
  // Register 0 of both shaders.
  const float* vc = D3D9VertexConstantF(0);
  const float* pc = D3D9PixelConstantF(0);
  EXPECT_EQ(vc[1], 1.0f);
  EXPECT_EQ(pc[1], 0.5f);
  EXPECT_EQ(pc[3], 2.0f);

  // One point at the origin was queued; the first flush (the draw target's
  // selection) drew it, in the colour layout, with z 0 and rhw 1.
  ASSERT_GE(D3D9Draws().size(), 1u);
  const D3D9DrawRecord& d = D3D9Draws()[0];
  EXPECT_EQ(d.type, D3DPT_POINTLIST);
  EXPECT_EQ(d.primitiveCount, 1u);
  EXPECT_EQ(d.stride, 20u);
  EXPECT_EQ(d.state.fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  BatchVertexColour v;
  std::memcpy(&v, d.vertices.data(), sizeof v);
  EXPECT_EQ(v.x, 0.0f);
  EXPECT_EQ(v.y, 0.0f);
  EXPECT_EQ(v.z, 0.0f);
  EXPECT_EQ(v.rhw, 1.0f);
}

// 1076 colour-only triangles appended one at a time are drawn in two calls
// of 1074 and 2: an append needs count + 3 below the 3225 vertices.
TEST_F(D3DBatchTest, AFullBufferIsDrawnBeforeTheNextAppend) {
  for (int i = 0; i < 1076; ++i) AppendColour(D3DPT_TRIANGLELIST, 3, 0xFF000000);
  G_D3D_FlushVertexBatch();
  const std::vector<D3D9DrawRecord>& draws = D3D9Draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].primitiveCount, 1074u);
  EXPECT_EQ(draws[1].primitiveCount, 2u);
  EXPECT_EQ(draws[0].stride, 20u);
  EXPECT_EQ(draws[0].state.fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  // The vertex format went to the device once.
  EXPECT_EQ(Sent(D3D9Call::SetFVF, {}), 1);
}

TEST_F(D3DBatchTest, PrimitiveCountsOfAFlush) {
  struct Case {
    uint32_t type;
    UINT primitives;
  };
  const Case cases[] = {{D3DPT_TRIANGLELIST, 2}, {D3DPT_LINELIST, 3}, {D3DPT_LINESTRIP, 6},
                        {D3DPT_POINTLIST, 7},    {D3DPT_TRIANGLESTRIP, 5}, {D3DPT_TRIANGLEFAN, 5}};
  for (const Case& c : cases) {
    D3D9ClearRecords();
    AppendColour(c.type, 7, 0);
    EXPECT_EQ(G_D3D_FlushVertexBatch(), 0);
    ASSERT_EQ(D3D9Draws().size(), 1u) << c.type;
    EXPECT_EQ(D3D9Draws()[0].primitiveCount, c.primitives) << c.type;
    EXPECT_EQ(D3D9Draws()[0].type, c.type);
  }
}

// Mixed draws: each run of one primitive, layout and state is one draw,
// made under the states in force when it was queued.
TEST_F(D3DBatchTest, MixedDrawsAreRecordedWithTheirStatesAndFlushPoints) {
  AppendColour(D3DPT_TRIANGLELIST, 3, 0xFF102030);
  AppendColour(D3DPT_TRIANGLELIST, 3, 0xFF405060);  // joins the run
  G_D3D_SetZEnable(0);                                // a change: the run is drawn first
  AppendColour(D3DPT_LINELIST, 2, 0x80000000);
  G_D3D_SetZEnable(0);                                // no change: no flush
  AppendColour(D3DPT_LINELIST, 2, 0x80000010);
  AppendTexturedQuad(8, 8);                           // another layout: the lines are drawn
  AppendTexturedQuad(40, 8);
  G_D3D_SetCullMode(2);
  G_D3D_FlushVertexBatch();
  G_D3D_FlushVertexBatch();  // nothing left: no draw

  const std::vector<D3D9DrawRecord>& draws = D3D9Draws();
  ASSERT_EQ(draws.size(), 3u);
  EXPECT_EQ(draws[0].type, D3DPT_TRIANGLELIST);
  EXPECT_EQ(draws[0].primitiveCount, 2u);
  EXPECT_EQ(draws[0].state.renderStates[D3DRS_ZENABLE], D3DZB_TRUE);
  EXPECT_EQ(draws[1].type, D3DPT_LINELIST);
  EXPECT_EQ(draws[1].primitiveCount, 2u);
  EXPECT_EQ(draws[1].state.renderStates[D3DRS_ZENABLE], D3DZB_FALSE);
  EXPECT_EQ(draws[1].state.fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  EXPECT_EQ(draws[2].type, D3DPT_TRIANGLELIST);
  EXPECT_EQ(draws[2].primitiveCount, 4u);
  EXPECT_EQ(draws[2].stride, 28u);
  EXPECT_EQ(draws[2].state.fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  EXPECT_EQ(draws[2].state.renderStates[D3DRS_CULLMODE], D3DCULL_NONE) << "drawn before the cull change";
  EXPECT_EQ(D3D9CurrentState()->renderStates[D3DRS_CULLMODE], D3DCULL_CW);

  // The journal: each state change sits after the draw it ended.
  const std::vector<D3D9CallRecord>& journal = D3D9Journal();
  EXPECT_EQ(journal[draws[0].callIndex].call, D3D9Call::DrawPrimitiveUP);
  EXPECT_EQ(journal[draws[0].callIndex + 1].call, D3D9Call::SetRenderState);
  EXPECT_EQ(journal[draws[0].callIndex + 1].args[0], D3DRS_ZENABLE);
  EXPECT_EQ(Sent(D3D9Call::SetRenderState, {D3DRS_ZENABLE}), 1);

  // The vertices as written, with the pre-filled z and rhw.
  BatchVertexColour v[4];
  ASSERT_EQ(draws[1].vertices.size(), sizeof v);
  std::memcpy(v, draws[1].vertices.data(), sizeof v);
  EXPECT_EQ(v[1].x, 1.0f);
  EXPECT_EQ(v[1].y, 2.0f);
  EXPECT_EQ(v[1].z, 0.0f);
  EXPECT_EQ(v[1].rhw, 1.0f);
  EXPECT_EQ(v[1].diffuse, 0x80000001u);
  EXPECT_EQ(v[3].diffuse, 0x80000011u);
  BatchVertexTextured t[12];
  std::memcpy(t, draws[2].vertices.data(), sizeof t);
  EXPECT_EQ(t[7].x, 56.0f);
  EXPECT_EQ(t[7].u, 1.0f);
  EXPECT_EQ(t[11].rhw, 1.0f);
}

TEST_F(D3DBatchTest, AfterTheWindowClosedTheBatchIsDropped) {
  AppendColour(D3DPT_TRIANGLELIST, 3, 0);
  MainWindowClosed = 1;
  EXPECT_EQ(G_D3D_FlushVertexBatch(), 0);
  MainWindowClosed = 0;
  EXPECT_EQ(VertexBatch.count, 0);
  EXPECT_TRUE(D3D9Draws().empty());
}

TEST_F(D3DBatchTest, TheSkipMarkDropsTheDraw) {
  AppendColour(D3DPT_TRIANGLELIST, 3, 0);
  VertexBatch.skip = 1;
  G_D3D_FlushVertexBatch();
  VertexBatch.skip = 0;
  EXPECT_TRUE(D3D9Draws().empty());
  EXPECT_EQ(VertexBatch.count, 0);
}

TEST_F(D3DBatchTest, TheSceneOpensWithTheFirstFlushAndClosesOnce) {
  G_D3D_BeginScene();
  D3D9ClearRecords();
  G_D3D_EndScene();
  G_D3D_EndScene();
  EXPECT_EQ(VertexBatch.sceneOpen, 0);
  AppendColour(D3DPT_LINELIST, 2, 0);
  G_D3D_FlushVertexBatch();
  EXPECT_EQ(VertexBatch.sceneOpen, 1);
  EXPECT_EQ(D3D9Draws().size(), 1u);
  G_D3D_BeginScene();
  EXPECT_EQ(Sent(D3D9Call::BeginScene, {}), 1);
  EXPECT_EQ(Sent(D3D9Call::EndScene, {}), 1);
  for (const D3D9CallRecord& r : D3D9Journal()) EXPECT_EQ(r.result, D3D_OK) << D3D9CallName(r.call);
}

TEST_F(D3DBatchTest, WithoutADeviceNothingIsDrawn) {
  AppendColour(D3DPT_TRIANGLELIST, 3, 0);
  IDirect3DDevice9* device = Direct3DDevice;
  Direct3DDevice = nullptr;
  EXPECT_EQ(G_D3D_FlushVertexBatch(), -1);
  EXPECT_EQ(VertexBatch.count, 3) << "the batch stays as it was";
  EXPECT_EQ(G_D3D_ApplyBaseStates(), -1);
  Direct3DDevice = device;
}

TEST_F(D3DBatchTest, BaseStatesOfARebuiltDevice) {
  D3DStateShadow.addressU[2] = D3DTADDRESS_WRAP;
  D3DStateShadow.shadeMode = D3DSHADE_GOURAUD;
  D3DStateShadow.lighting = 0;
  AppendColour(D3DPT_POINTLIST, 1, 0);
  EXPECT_EQ(G_D3D_ApplyBaseStates(), 0);
  EXPECT_EQ(D3D9Draws().size(), 1u) << "flushed first";
  const D3D9DeviceState* s = D3D9CurrentState();
  EXPECT_EQ(s->samplerStates[2][D3DSAMP_ADDRESSU], D3DTADDRESS_WRAP);
  EXPECT_EQ(s->renderStates[D3DRS_SHADEMODE], D3DSHADE_GOURAUD);
  EXPECT_EQ(s->renderStates[D3DRS_LIGHTING], FALSE);
  EXPECT_EQ(VertexBatch.lastFvf, 0u);
}

}  // namespace
