#include <cmath>
#include <cstring>

#include "tests/graphics/d3d9/d3d_fixture.h"

namespace {

class D3DStateCacheTest : public D3DTest {
 protected:
  void SetUp() override {
    D3DTest::SetUp();
    StartOn(D3D9FullAdapter(), 16, 640, 480);
    // Two texture stages in use, as a stage set of the blend application has.
    D3DStateShadow.activeSamplerCount = 2;
    G_D3D_FlushVertexBatch();
    D3D9ClearRecords();
  }
  // A vertex queued, so that a flush shows as a draw.
  static void Queue() {
    G_D3D_SetBatchVertexKind(0);
    ASSERT_NE(G_D3D_ReserveBatchVertices(D3DPT_POINTLIST, 1), nullptr);
  }
  static int Draws() { return static_cast<int>(D3D9Draws().size()); }
};

// Each change reaches the device once, after the queued vertices are drawn;
// asking again for the value the device holds sends nothing and keeps the
// batch.
TEST_F(D3DStateCacheTest, EachChangeIsSentOnceAfterAFlush) {
  struct Step {
    const char* name;
    int (*set)();
    D3D9Call call;
    std::vector<uint32_t> args;  // the first call's leading arguments
    int calls;                   // device calls of the first setting
  };
  const Step steps[] = {
      // Sampler 0 already has no mip filter (the draw preparation of start-up
      // set mode 0 on it): five of the six states change.
      {"filter", [] { return G_D3D_SetFilterMode(1); }, D3D9Call::SetSamplerState, {0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR}, 5},
      {"anisotropy", [] { return G_D3D_SetMaxAnisotropy(4); }, D3D9Call::SetSamplerState, {0, D3DSAMP_MAXANISOTROPY, 4}, 2},
      {"z write", [] { return G_D3D_SetZWriteEnable(1); }, D3D9Call::SetRenderState, {D3DRS_ZWRITEENABLE, 1}, 1},
      {"z function", [] { return G_D3D_SetZFunc(D3DCMP_ALWAYS); }, D3D9Call::SetRenderState, {D3DRS_ZFUNC, D3DCMP_ALWAYS}, 1},
      {"depth bias", [] { return G_D3D_SetDepthBias(3); }, D3D9Call::SetRenderState, {D3DRS_DEPTHBIAS, 3}, 1},
      {"cull", [] { return G_D3D_SetCullMode(5); }, D3D9Call::SetRenderState, {D3DRS_CULLMODE, D3DCULL_CCW}, 1},
      {"diffuse source", [] { return G_D3D_SetDiffuseFromVertex(1); }, D3D9Call::SetRenderState,
       {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1}, 1},
      {"specular source", [] { return G_D3D_SetSpecularFromVertex(0); }, D3D9Call::SetRenderState,
       {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL}, 1},
      {"fog colour", [] { return G_D3D_SetFogColor(0xFF123456); }, D3D9Call::SetRenderState, {D3DRS_FOGCOLOR, 0xFF123456}, 1},
      {"fog enable", [] { return G_D3D_SetFogEnable(1); }, D3D9Call::SetRenderState, {D3DRS_FOGENABLE, 1}, 1},
      {"viewport", [] { return G_D3D_SetViewportRect(10, 20, 110, 220); }, D3D9Call::SetViewport, {10, 20, 100, 200}, 1},
      {"scissor",
       [] {
         const RECT r = {1, 2, 3, 4};
         return G_D3D_SetScissorRect(&r);
       },
       D3D9Call::SetScissorRect, {1, 2, 3, 4}, 1},
      {"address", [] { return G_D3D_SetTextureAddress(D3DTADDRESS_WRAP, 3); }, D3D9Call::SetSamplerState,
       {3, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP}, 3},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    D3D9ClearRecords();
    Queue();
    ASSERT_EQ(step.set(), 0);
    EXPECT_EQ(Draws(), 1) << "the queued vertex is drawn before the change";
    ASSERT_EQ(static_cast<int>(D3D9JournalOf(step.call).size()), step.calls);
    EXPECT_EQ(Sent(step.call, step.args), 1);
    const size_t before = D3D9Journal().size();
    Queue();
    ASSERT_EQ(step.set(), 0);
    EXPECT_EQ(D3D9Journal().size(), before) << "the same value again sends nothing";
    EXPECT_EQ(VertexBatch.count, 1) << "and keeps the batch";
    G_D3D_FlushVertexBatch();
  }
}

TEST_F(D3DStateCacheTest, EdgeCasesOfTheSetters) {
  // Z enable 2 sends FALSE and keeps 2: a later 2 sends nothing.
  EXPECT_EQ(G_D3D_SetZEnable(2), 0);
  EXPECT_EQ(D3D9CurrentState()->renderStates[D3DRS_ZENABLE], D3DZB_FALSE);
  EXPECT_EQ(D3DStateShadow.zEnable, 2);
  EXPECT_EQ(G_D3D_SetZEnable(2), 0);
  EXPECT_EQ(Sent(D3D9Call::SetRenderState, {D3DRS_ZENABLE}), 1);

  // Anisotropy below 1 is 1.
  G_D3D_SetMaxAnisotropy(8);
  D3D9ClearRecords();
  G_D3D_SetMaxAnisotropy(0);
  EXPECT_EQ(Sent(D3D9Call::SetSamplerState, {0, D3DSAMP_MAXANISOTROPY, 1}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetSamplerState, {1, D3DSAMP_MAXANISOTROPY, 1}), 1);

  // Filter modes outside 0 to 2 send nothing.
  D3D9ClearRecords();
  EXPECT_EQ(G_D3D_SetFilterMode(2), 0);
  EXPECT_EQ(Sent(D3D9Call::SetSamplerState, {1, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetSamplerState, {1, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetSamplerState, {2}), 0) << "only the samplers in use";
  EXPECT_EQ(G_D3D_SetFilterMode(4), -1);
  EXPECT_EQ(D3DStateShadow.filterMode, 2);

  // Addressing of all eight: nothing while all hold the mode; one differs
  // and all 24 go, sampler 7 first.
  D3D9ClearRecords();
  EXPECT_EQ(G_D3D_SetTextureAddress(D3DTADDRESS_CLAMP, -1), 0);
  EXPECT_TRUE(D3D9Journal().empty());
  EXPECT_EQ(G_D3D_SetTextureAddressV(D3DTADDRESS_MIRROR, 5), 0);
  D3D9ClearRecords();
  EXPECT_EQ(G_D3D_SetTextureAddress(D3DTADDRESS_CLAMP, -1), 0);
  const std::vector<D3D9CallRecord> sent = D3D9JournalOf(D3D9Call::SetSamplerState);
  ASSERT_EQ(sent.size(), 24u);
  EXPECT_EQ(sent[0].args[0], 7u);
  EXPECT_EQ(sent[23].args[0], 0u);
  EXPECT_EQ(G_D3D_SetTextureAddress(D3DTADDRESS_CLAMP, 8), -1);

  // Texture transform: nothing while off and asked off; 1 sets COUNT3 and
  // the matrix, anything else switches it off.
  D3DMATRIX m{};
  m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 2.0f;
  D3D9ClearRecords();
  EXPECT_EQ(G_D3D_SetTextureTransform(1, 0, &m), 0);
  EXPECT_TRUE(D3D9Journal().empty());
  EXPECT_EQ(G_D3D_SetTextureTransform(1, 1, &m), 0);
  EXPECT_EQ(D3D9CurrentState()->textureStageStates[1][D3DTSS_TEXTURETRANSFORMFLAGS], D3DTTFF_COUNT3);
  EXPECT_EQ(D3D9CurrentState()->texture[1].m[0][0], 2.0f);
  EXPECT_EQ(G_D3D_SetTextureTransform(1, 5, &m), 0);
  EXPECT_EQ(D3D9CurrentState()->textureStageStates[1][D3DTSS_TEXTURETRANSFORMFLAGS], D3DTTFF_DISABLE);
}

TEST_F(D3DStateCacheTest, TheBlendRequestIsOnlyMarked) {
  IDirect3DTexture9 *a = nullptr, *b = nullptr;
  ASSERT_EQ(Direct3DDevice->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &a, nullptr), D3D_OK);
  ASSERT_EQ(Direct3DDevice->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &b, nullptr), D3D_OK);
  BlendRequestState& r = D3DStateShadow.request;
  G_D3D_SetDrawTexture(nullptr);
  r.blendDirty = r.textureDirty = 0;
  D3D9ClearRecords();
  Queue();
  G_D3D_SetDrawTexture(a);
  EXPECT_EQ(r.textureDirty, 1);
  EXPECT_EQ(r.blendDirty, 1) << "from no texture to one";
  EXPECT_EQ(Draws(), 1);
  r.blendDirty = r.textureDirty = 0;
  G_D3D_SetDrawTexture(b);
  EXPECT_EQ(r.textureDirty, 1);
  EXPECT_EQ(r.blendDirty, 0) << "from one texture to another";
  r.textureDirty = 0;
  G_D3D_SetBlendRequest(1, 1, 0);
  EXPECT_EQ(r.blendDirty, 1);
  r.blendDirty = 0;
  G_D3D_SetBlendRequest(1, 1, 0);
  EXPECT_EQ(r.blendDirty, 0);
  // The blend graph: -1 keeps a parameter; no texture equals no texture.
  G_D3D_SetBlendGraphTexture(a, 100, 20);
  r.blendDirty = 0;
  G_D3D_SetBlendGraphTexture(a, -1, 30);
  EXPECT_EQ(r.borderParam, 100);
  EXPECT_EQ(r.borderRange, 30);
  EXPECT_EQ(r.blendDirty, 1);
  G_D3D_SetBlendGraphTexture(nullptr, 0, 0);
  r.blendDirty = 0;
  G_D3D_SetBlendGraphTexture(nullptr, 5, 6);
  EXPECT_EQ(r.blendDirty, 0);
  // None of it reached the device.
  EXPECT_EQ(Sent(D3D9Call::SetTexture, {}), 0);
  G_D3D_SetDrawTexture(nullptr);
  a->Release();
  b->Release();
}

TEST_F(D3DStateCacheTest, AFailedViewportIsLoggedAndTriedAgain) {
  D3D9FailCall(D3D9Call::SetViewport, D3DERR_INVALIDCALL);
  EXPECT_EQ(G_D3D_SetViewportRect(0, 0, 320, 240), -1);
  EXPECT_TRUE(LogHas("ビューポートのセットに失敗しました ErrorCode 8876086c"));
  EXPECT_EQ(D3DStateShadow.viewport.Width, 640u);
  EXPECT_EQ(G_D3D_SetViewportRect(0, 0, 320, 240), 0);
  EXPECT_EQ(Sent(D3D9Call::SetViewport, {0, 0, 320, 240}), 2);
  EXPECT_EQ(D3D9CurrentState()->viewport.Width, 320u);
  // A viewport beyond the target is refused by the device.
  EXPECT_EQ(G_D3D_SetViewportRect(0, 0, 641, 480), -1);
}

// After a reset everything the cache holds is sent again, whether or not it
// differs from what the (new) device holds.
TEST_F(D3DStateCacheTest, EverythingIsSentAgainAfterAReset) {
  G_D3D_SetZEnable(0);
  G_D3D_SetZFunc(D3DCMP_GREATER);
  G_D3D_SetCullMode(2);
  G_D3D_SetFillMode(2);
  G_D3D_SetFilterMode(1);
  G_D3D_SetViewportRect(8, 8, 200, 100);
  D3D9ClearRecords();
  EXPECT_EQ(G_D3D_ReapplyDeviceStates(), 0);
  EXPECT_EQ(StateResendForced, 0);
  EXPECT_EQ(Sent(D3D9Call::SetViewport, {8, 8, 192, 92}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetScissorRect, {}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetRenderState, {D3DRS_ZENABLE, D3DZB_FALSE}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetRenderState, {D3DRS_ZWRITEENABLE, 0}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetRenderState, {D3DRS_ZFUNC, D3DCMP_GREATER}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetRenderState, {D3DRS_DEPTHBIAS, 0}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetRenderState, {D3DRS_FILLMODE, 2}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetRenderState, {D3DRS_CULLMODE, D3DCULL_CW}), 1);
  EXPECT_GE(Sent(D3D9Call::SetRenderState, {D3DRS_SHADEMODE, D3DSHADE_FLAT}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetSamplerState, {1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR}), 1);
  for (uint32_t sampler = 0; sampler < 4; ++sampler) {
    EXPECT_EQ(Sent(D3D9Call::SetSamplerState, {sampler, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP}), 1);
    // Stages 0 and 1 go again with the blend state's own stages.
    EXPECT_GE(Sent(D3D9Call::SetTextureStageState, {sampler, D3DTSS_TEXCOORDINDEX}), 1);
  }

  // A rebuilt device gets the same states from the cache.
  G_D3D_ReleaseResourceObjects();
  G_D3D_Terminate();
  ASSERT_EQ(G_D3D_Initialize(), 0);
  ASSERT_EQ(HardwareActive, 1);
  G_D3D_ReapplyDeviceStates();
  const D3D9DeviceState* s = D3D9CurrentState();
  EXPECT_EQ(s->renderStates[D3DRS_ZENABLE], D3DZB_FALSE);
  EXPECT_EQ(s->renderStates[D3DRS_ZFUNC], D3DCMP_GREATER);
  EXPECT_EQ(s->renderStates[D3DRS_CULLMODE], D3DCULL_CW);
  EXPECT_EQ(s->renderStates[D3DRS_FILLMODE], 2u);
  EXPECT_EQ(s->viewport.X, 8u);
  EXPECT_EQ(s->viewport.Width, 192u);
  // The blend state in force (untextured) uses one stage: its sampler's filter.
  EXPECT_EQ(s->samplerStates[0][D3DSAMP_MINFILTER], D3DTEXF_LINEAR);
}

TEST_F(D3DStateCacheTest, EveryCachedStateIsSentAgainThroughItsSetter) {
  G_D3D_SetFogMode(3);
  G_D3D_SetFogStartEnd(10.0f, 110.0f);
  G_D3D_SetTextureAddressU(D3DTADDRESS_WRAP, 6);
  D3D9ClearRecords();
  EXPECT_EQ(ReapplyDeviceState(), 0);
  EXPECT_EQ(Sent(D3D9Call::SetRenderState, {D3DRS_FOGVERTEXMODE, 3}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetSamplerState, {6, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetSamplerState, {7, D3DSAMP_ADDRESSW}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetTextureStageState, {7, D3DTSS_TEXCOORDINDEX, 7}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetMaterial, {}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetTransform, {D3DTS_VIEW}), 1);
  EXPECT_EQ(Sent(D3D9Call::SetTransform, {D3DTS_PROJECTION}), 1);
  EXPECT_EQ(StateResendForced, 0);
  IDirect3DDevice9* device = Direct3DDevice;
  Direct3DDevice = nullptr;
  EXPECT_EQ(ReapplyDeviceState(), -1);
  Direct3DDevice = device;
}

TEST_F(D3DStateCacheTest, ShaderConstants) {
  // Fog: mode flags in bool constants 0-3, the fog constant in register 10.
  G_D3D_SetFogMode(3);
  EXPECT_EQ(D3D9VertexConstantB(0), TRUE);
  EXPECT_EQ(D3D9VertexConstantB(1), FALSE);
  EXPECT_EQ(D3D9VertexConstantB(3), TRUE);
  G_D3D_SetFogStartEnd(10.0f, 110.0f);
  G_D3D_SetFogDensity(0.5f);
  const float* fog = D3D9VertexConstantF(10);
  EXPECT_FLOAT_EQ(fog[0], 1.1f);
  EXPECT_FLOAT_EQ(fog[1], -0.01f);
  EXPECT_EQ(fog[2], 0.5f);
  EXPECT_EQ(fog[3], 2.7182817f);

  // Projection and view go transposed into registers 2-5 and 6-9; a light's
  // position is moved into view space.
  D3DMATRIX m{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = static_cast<float>(r * 4 + c);
  G_D3D_SetProjectionMatrix(&m);
  EXPECT_EQ(D3D9VertexConstantF(2)[1], 4.0f);
  EXPECT_EQ(D3D9VertexConstantF(3)[0], 1.0f);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_POINT;
  light.Position = {1.0f, 2.0f, 3.0f};
  light.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
  G_D3D_SetLight(1, &light);
  D3DMATRIX view{};
  view.m[0][0] = view.m[1][1] = view.m[2][2] = view.m[3][3] = 1.0f;
  view.m[3][0] = 10.0f;
  G_D3D_SetViewMatrix(&view);
  EXPECT_EQ(D3D9VertexConstantF(6)[3], 10.0f);
  const float* position = D3D9VertexConstantF(14 + 7);
  EXPECT_EQ(position[0], 11.0f);
  EXPECT_EQ(position[3], 1.0f);
  EXPECT_EQ(D3D9VertexConstantF(14 + 7 + 1)[3], 0.0f);

  // Lights and material: ambient products and the global term.
  D3DMATERIAL9 material{};
  material.Ambient = {0.5f, 1.0f, 1.0f, 1.0f};
  material.Emissive = {0.25f, 0.0f, 0.0f, 0.0f};
  material.Power = 20.0f;
  G_D3D_SetMaterial(&material);
  EXPECT_EQ(D3D9VertexConstantF(13)[0], 20.0f);
  G_D3D_SetAmbientLight(0xFF808080);
  G_D3D_EnableLight(1, 1);
  EXPECT_EQ(D3D9VertexConstantB(4 + 3), TRUE);
  EXPECT_EQ(D3D9VertexConstantF(18 + 7)[0], 0.25f);
  EXPECT_EQ(D3D9PixelConstantF(11 + 3)[1], 0.5f);
  EXPECT_FLOAT_EQ(D3D9VertexConstantF(1)[0], 128.0f / 255.0f * 0.5f + 0.25f);
  EXPECT_EQ(D3D9LightEnabled(1), TRUE);

  // The highest enabled light falls back to the next below.
  G_D3D_EnableLight(5, 1);
  G_D3D_EnableLight(9, 1);
  EXPECT_EQ(D3DStateShadow.highestLight, 9);
  G_D3D_EnableLight(9, 0);
  EXPECT_EQ(D3DStateShadow.highestLight, 5);
}

TEST_F(D3DStateCacheTest, WithoutShadersConstantsStayInTheShadow) {
  StopGraphics();
  StartOn(AdapterWith([](D3D9AdapterSetup* a) { a->caps.PixelShaderVersion = D3DPS_VERSION(1, 4); }));
  ASSERT_EQ(ShadersInUse, 0);
  D3D9ClearRecords();
  const float value[4] = {1, 2, 3, 4};
  EXPECT_EQ(G_D3D_SetVSConstantF(40, value, 1), 0);
  EXPECT_EQ(D3DStateShadow.vertexConstants[40][2], 3.0f);
  EXPECT_EQ(D3D9CallCount(D3D9Call::SetVertexShaderConstantF), 0);
  EXPECT_EQ(G_D3D_SetPSConstantF(31, value, 2), -1) << "past the 32 pixel registers";
}

}  // namespace
