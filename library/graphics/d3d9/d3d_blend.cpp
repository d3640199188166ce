// The draw preparation and the blend application: before every Direct3D draw
// the device is brought in line with the draw settings (blend mode and
// parameter, brightness, filter, blend graph) and the texture to be drawn,
// all with the fixed-function texture stages.
#include <cstring>

#include "library/graphics/d3d9/d3d_batch.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"
#include "library/graphics/d3d9/d3d_texture.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/light_state.h"

namespace {

constexpr int32_t kLeave = -1;

const int16_t kTexture = D3DTA_TEXTURE, kDiffuse = D3DTA_DIFFUSE, kCurrent = D3DTA_CURRENT, kFactor = D3DTA_TFACTOR,
              kSpecular = D3DTA_SPECULAR;

// One stage: its coordinate set, colour operation and arguments, alpha
// operation and arguments (-1 leaves an argument as it is).
TextureStageEntry Stage(int32_t texCoord, DWORD colorOp, int16_t colorArg1, int16_t colorArg2, DWORD alphaOp,
                        int16_t alphaArg1, int16_t alphaArg2) {
  TextureStageEntry e{};
  e.texCoordIndex = texCoord;
  e.resultArg = 0;
  e.colorOp = static_cast<int16_t>(colorOp);
  e.colorArg1 = colorArg1;
  e.colorArg2 = colorArg2;
  e.alphaOp = static_cast<int16_t>(alphaOp);
  e.alphaArg1 = alphaArg1;
  e.alphaArg2 = alphaArg2;
  return e;
}

TextureStageEntry Disabled() {
  TextureStageEntry e = Stage(kLeave, D3DTOP_DISABLE, -1, -1, D3DTOP_DISABLE, -1, -1);
  e.resultArg = kLeave;
  return e;
}

// The colour of the image's own stage: the texture, or the texture times the
// vertex colour.
void ImageColour(TextureStageEntry* e, int32_t b, int16_t arg1) {
  e->colorOp = static_cast<int16_t>(b ? D3DTOP_MODULATE : D3DTOP_SELECTARG1);
  e->colorArg1 = arg1;
  e->colorArg2 = b ? kDiffuse : -1;
}

void Finish(TextureStageSet* set, int32_t count) {
  if (count < 8) set->stages[count] = Disabled();
  set->stages[0].texture = static_cast<uint32_t>(count);
}

// The textured sets of stage kind k (0, 1, 2) and the blend-graph sets.
void BuildTexturedSet(TextureStageSet* set, int32_t k, int32_t a, int32_t b, int32_t t) {
  const int16_t arg1 = static_cast<int16_t>(k == 2 ? D3DTA_TEXTURE | D3DTA_COMPLEMENT : D3DTA_TEXTURE);
  TextureStageEntry s0 = t == 0   ? Stage(0, 0, 0, 0, D3DTOP_SELECTARG2, -1, kDiffuse)
                         : a == 0 ? Stage(0, 0, 0, 0, D3DTOP_SELECTARG1, kTexture, -1)
                                  : Stage(0, 0, 0, 0, D3DTOP_MODULATE, kTexture, kDiffuse);
  ImageColour(&s0, b, arg1);
  set->stages[0] = s0;
  int32_t count = 1;
  if (k == 1) {
    // Transparent parts become white before the multiplication.
    set->stages[1] = Stage(1, D3DTOP_BLENDCURRENTALPHA, kCurrent, kFactor, D3DTOP_SELECTARG1, kCurrent, -1);
    count = 2;
  }
  Finish(set, count);
}

void BuildBlendGraphSet(TextureStageSet* set, int32_t a, int32_t b, int32_t t) {
  set->stages[0] = Stage(0, D3DTOP_SELECTARG2, kTexture, kDiffuse, D3DTOP_ADD, kTexture, kFactor);
  int32_t count = 1;
  auto image = [&](DWORD alphaOp, int16_t alphaArg1, int16_t alphaArg2) {
    TextureStageEntry e = Stage(1, 0, 0, 0, alphaOp, alphaArg1, alphaArg2);
    ImageColour(&e, b, kTexture);
    set->stages[count++] = e;
  };
  auto current = [&](int16_t alphaArg1) {
    set->stages[count++] = Stage(1, D3DTOP_SELECTARG1, kCurrent, -1, D3DTOP_MODULATE, alphaArg1, kCurrent);
  };
  if (t == 0) {
    if (a)
      image(D3DTOP_MODULATE, kDiffuse, kCurrent);
    else
      image(D3DTOP_MODULATE, kCurrent, kDiffuse);
  } else if (t == 1) {
    current(kSpecular);
    image(D3DTOP_MODULATE, kTexture, kCurrent);
    if (a) current(kDiffuse);
  } else {
    image(D3DTOP_MODULATE, kTexture, kCurrent);
    if (a) current(kDiffuse);
  }
  Finish(set, count);
}

const TextureStageSet* BuildStageSets() {
  static TextureStageSet sets[60];
  for (int32_t i = 0; i < 60; ++i) Finish(&sets[i], 0);
  for (int32_t k = 0; k < 3; ++k)
    for (int32_t b = 0; b < 2; ++b)
      for (int32_t a = 0; a < 2; ++a)
        for (int32_t t = 0; t < 3; ++t) BuildTexturedSet(&sets[t + 3 * (a + 2 * b + 8 * k)], k, a, b, t);
  for (int32_t b = 0; b < 2; ++b)
    for (int32_t a = 0; a < 2; ++a)
      for (int32_t t = 0; t < 3; ++t) BuildBlendGraphSet(&sets[12 + t + 3 * (a + 2 * b)], a, b, t);
  return sets;
}

// A caller's record, in force until it is cleared.
UserBlendInfo InstalledUserBlend;
bool UserBlendInstalled = false;
int32_t UserBlendTexturesOnly = 0;

// The Z settings of the 2-D draws (the first set and the second of flag
// 0x800): the library's drawing keeps the Z test off.
struct ZSettings {
  int32_t enable, writeEnable, func, depthBias;
};
constexpr ZSettings kZSettings[2] = {{0, 0, D3DCMP_LESSEQUAL, 0}, {0, 0, D3DCMP_LESSEQUAL, 0}};

bool ZTestOn() { return D3DStateShadow.zEnable == 1; }

// A render-state word of the blend state: sent when it differs from the
// shadow, or (forced) whatever it is; -1 leaves it, or re-sends a forced
// shadow value above 1.
void SendBlendWord(int32_t* shadow, int32_t value, D3DRENDERSTATETYPE state) {
  if (value == kLeave) {
    if (StateResendForced && *shadow > 1) Direct3DDevice->SetRenderState(state, static_cast<DWORD>(*shadow));
    return;
  }
  if (value == *shadow && !StateResendForced) return;
  Direct3DDevice->SetRenderState(state, static_cast<DWORD>(value));
  *shadow = value;
}

void SendStageValue(DWORD stage, D3DTEXTURESTAGESTATETYPE type, int32_t value, int32_t* shadow) {
  if (value == kLeave || (value == *shadow && !StateResendForced)) return;
  Direct3DDevice->SetTextureStageState(stage, type, static_cast<DWORD>(value));
  *shadow = value;
}

void SendStageArg(DWORD stage, D3DTEXTURESTAGESTATETYPE type, int16_t value, int16_t* shadow) {
  if (value == -1 || (value == *shadow && !StateResendForced)) return;
  Direct3DDevice->SetTextureStageState(stage, type, static_cast<DWORD>(static_cast<uint16_t>(value)));
  *shadow = value;
}

void SetStageTexture(int32_t stage, IDirect3DBaseTexture9* texture) {
  IDirect3DBaseTexture9*& shadow = D3DStateShadow.stageTextures[stage];
  if (shadow == texture && !StateResendForced) return;
  Direct3DDevice->SetTexture(static_cast<DWORD>(stage), texture);
  shadow = texture;
}

// Steps 9 and 10 of the application: the render states, then the stages.
void SendBlendState(const UserBlendInfo& state, IDirect3DBaseTexture9* const* textures, int32_t stagesToSend,
                    int32_t texturesOnly) {
  D3DShadowState& s = D3DStateShadow;
  UserBlendInfo& shadow = s.blendState;
  SendBlendWord(&shadow.alphaFunc, state.alphaFunc, D3DRS_ALPHAFUNC);
  SendBlendWord(&shadow.alphaRef, state.alphaRef, D3DRS_ALPHAREF);
  SendBlendWord(&shadow.alphaTestEnable, state.alphaTestEnable, D3DRS_ALPHATESTENABLE);
  SendBlendWord(&shadow.alphaBlendEnable, state.alphaBlendEnable, D3DRS_ALPHABLENDENABLE);
  if (state.textureFactor != shadow.textureFactor || StateResendForced) {
    const auto factor = static_cast<uint32_t>(state.textureFactor);
    Direct3DDevice->SetRenderState(D3DRS_TEXTUREFACTOR, factor);
    shadow.textureFactor = state.textureFactor;
    const float constant[4] = {static_cast<float>(factor & 0xFF) / 255.0f, static_cast<float>(factor >> 8 & 0xFF) / 255.0f,
                               static_cast<float>(factor >> 16 & 0xFF) / 255.0f, static_cast<float>(factor >> 24) / 255.0f};
    G_D3D_SetPSConstantF(5, constant, 1);
  }
  SendBlendWord(&shadow.srcBlend, state.srcBlend, D3DRS_SRCBLEND);
  SendBlendWord(&shadow.destBlend, state.destBlend, D3DRS_DESTBLEND);
  SendBlendWord(&shadow.blendOp, state.blendOp, D3DRS_BLENDOP);
  shadow.stageCount = state.stageCount;

  for (int32_t i = 0; i < stagesToSend && i < 8; ++i) {
    const TextureStageEntry& e = state.stages[i];
    TextureStageEntry& sh = shadow.stages[i];
    const auto stage = static_cast<DWORD>(i);
    SetStageTexture(i, textures[i]);
    SendStageValue(stage, D3DTSS_TEXCOORDINDEX, e.texCoordIndex, &s.texCoordIndex[i]);
    if (!texturesOnly) {
      if (CanUseResultArg && e.resultArg != kLeave && (e.resultArg != s.resultArg[i] || StateResendForced)) {
        Direct3DDevice->SetTextureStageState(stage, D3DTSS_RESULTARG, e.resultArg == 0 ? D3DTA_CURRENT : D3DTA_TEMP);
        s.resultArg[i] = e.resultArg;
      }
      SendStageArg(stage, D3DTSS_ALPHAOP, e.alphaOp, &sh.alphaOp);
      SendStageArg(stage, D3DTSS_ALPHAARG1, e.alphaArg1, &sh.alphaArg1);
      SendStageArg(stage, D3DTSS_ALPHAARG2, e.alphaArg2, &sh.alphaArg2);
      SendStageArg(stage, D3DTSS_COLOROP, e.colorOp, &sh.colorOp);
      SendStageArg(stage, D3DTSS_COLORARG1, e.colorArg1, &sh.colorArg1);
      SendStageArg(stage, D3DTSS_COLORARG2, e.colorArg2, &sh.colorArg2);
    }
    if (i >= 2 && e.alphaOp == static_cast<int16_t>(D3DTOP_DISABLE) && !texturesOnly) break;
  }
}

void SetSkip(int32_t skip) {
  if (VertexBatch.skip == skip) return;
  G_D3D_FlushVertexBatch();
  VertexBatch.skip = skip;
}

}  // namespace

const BlendModeStates BlendModeStateTable[12] = {
    {kLeave, kLeave, 0, D3DBLENDOP_ADD, 0},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD, 1},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD, 1},
    {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, 0, D3DBLENDOP_ADD, 1},
    {D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 0, D3DBLENDOP_ADD, 1},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD, 1},
    {kLeave, kLeave, 0, D3DBLENDOP_ADD, 0},
    {kLeave, kLeave, 0, D3DBLENDOP_ADD, 1},
    {D3DBLEND_ONE, D3DBLEND_ZERO, 0, D3DBLENDOP_ADD, 1},
    {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, 0, D3DBLENDOP_ADD, 1},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 2, D3DBLENDOP_ADD, 1},
    {D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 1, D3DBLENDOP_ADD, 1},
};

const TextureStageSet* const TextureStageSetTable = BuildStageSets();

int G_D3D_ApplyBlendState(int32_t graphHandleFlag, const UserBlendInfo* record, int32_t texturesOnly) {
  if (Direct3DDevice == nullptr) return -1;
  D3DShadowState& s = D3DStateShadow;
  BlendRequestState& q = s.request;
  IDirect3DBaseTexture9* textures[8] = {};

  const UserBlendInfo* caller = record != nullptr ? record : UserBlendInstalled ? &InstalledUserBlend : nullptr;
  if (caller != nullptr) {
    if (record == nullptr) texturesOnly = UserBlendTexturesOnly;
    const int32_t count = caller->stageCount < 0 ? 0 : caller->stageCount > 8 ? 8 : caller->stageCount;
    for (int32_t i = 0; i < count; ++i)
      textures[i] = graphHandleFlag ? GraphFirstTexture(GetGraphRecordChecked(static_cast<ObjectHandle>(caller->stages[i].texture)))
                                    : nullptr;
    q.blendDirty = q.textureDirty = 0;
    SendBlendState(*caller, textures, count, texturesOnly);
    return 0;
  }

  if (!StateResendForced && !q.blendDirty) {
    if (!q.textureDirty) return -1;
    const int32_t stage = q.blendGraphTexture == nullptr ? 0 : q.alphaChannel == 1 ? 2 : 1;
    SetStageTexture(stage, q.drawTexture);
    q.textureDirty = 0;
    return 0;
  }
  q.blendDirty = q.textureDirty = 0;

  const int32_t mode = q.blendMode >= 0 && q.blendMode < 12 ? q.blendMode : 0;
  const BlendModeStates& row = BlendModeStateTable[mode];
  UserBlendInfo state;
  std::memset(&state, 0, sizeof state);
  state.destBlend = row.destBlend;
  state.srcBlend = row.srcBlend;
  state.blendOp = row.blendOp;
  if (mode == 3 && CanUseBlendOp) {
    state.destBlend = D3DBLEND_ONE;
    state.srcBlend = D3DBLEND_SRCALPHA;
    state.blendOp = D3DBLENDOP_REVSUBTRACT;
  }
  const bool blending = mode != 0 && mode != 6;
  state.alphaBlendEnable = blending ? 1 : 0;
  state.textureFactor = -1;  // white
  state.alphaTestEnable = 0;
  state.alphaRef = kLeave;
  state.alphaFunc = kLeave;
  const int32_t k = row.stageKind, a = q.vertexAlphaUsed ? 1 : 0, b = q.vertexColorModulates ? 1 : 0;
  int32_t skip = 0;
  TextureStageSet stages{};

  if (q.drawTexture == nullptr) {
    G_D3D_SetBatchVertexKind(0);
    TextureStageEntry e = Stage(0, D3DTOP_SELECTARG2, -1, kDiffuse, D3DTOP_SELECTARG2, -1, kDiffuse);
    if (mode == 3) {
      e.colorOp = static_cast<int16_t>(D3DTOP_SELECTARG1);
      e.colorArg1 = kDiffuse;
      e.colorArg2 = -1;
    } else if (k == 1) {
      e.colorOp = static_cast<int16_t>(D3DTOP_BLENDDIFFUSEALPHA);
      e.colorArg1 = kDiffuse;
      e.colorArg2 = kFactor;
    } else if (k == 2) {
      e.colorOp = static_cast<int16_t>(D3DTOP_SELECTARG1);
      e.colorArg1 = static_cast<int16_t>(D3DTA_DIFFUSE | D3DTA_COMPLEMENT);
      e.colorArg2 = -1;
    }
    stages.stages[0] = e;
    Finish(&stages, 1);
  } else if (q.blendGraphTexture == nullptr) {
    const int32_t t = q.alphaChannel ? 1 : (q.colorKey || ZTestOn()) ? 2 : 0;
    G_D3D_SetBatchVertexKind(1);
    stages = TextureStageSetTable[t + 3 * (a + 2 * b + 8 * k)];
    textures[0] = q.drawTexture;
    if (q.colorKey && !q.alphaChannel) {
      state.alphaTestEnable = 1;
      state.alphaRef = 16;
      state.alphaFunc = D3DCMP_GREATER;
    } else if (ZTestOn()) {
      state.alphaTestEnable = 1;
      state.alphaRef = 0;
      state.alphaFunc = D3DCMP_GREATER;
    }
    if (q.alphaChannel && !blending) {
      state.destBlend = D3DBLEND_INVSRCALPHA;
      state.srcBlend = D3DBLEND_SRCALPHA;
    }
    state.alphaBlendEnable = q.alphaChannel || blending ? 1 : 0;
  } else {
    const int32_t t = q.alphaChannel ? 1 : q.colorKey ? 2 : 0;
    const int32_t p = q.borderParam, range = q.borderRange;
    G_D3D_SetBatchVertexKind(2);
    skip = p == 255 ? 1 : 0;
    stages = TextureStageSetTable[12 + t + 3 * (a + 2 * b)];
    textures[0] = q.blendGraphTexture;
    textures[q.alphaChannel == 1 ? 2 : 1] = q.drawTexture;
    if (!blending) {
      state.destBlend = D3DBLEND_INVSRCALPHA;
      state.srcBlend = D3DBLEND_SRCALPHA;
    }
    if (range <= 1) {
      state.alphaTestEnable = 1;
      state.alphaRef = p == 0 && t != 0 ? 1 : p;
      state.alphaFunc = D3DCMP_GREATEREQUAL;
      state.alphaBlendEnable = 0;
      state.textureFactor = 0x00FFFFFF;
    } else {
      state.alphaTestEnable = 0;
      state.alphaBlendEnable = 1;
      DWORD scaleOp;
      int32_t span, split, factorScale;
      if (range <= 64) {
        scaleOp = D3DTOP_MODULATE4X, span = 1280, split = 1024, factorScale = 64;
      } else if (range <= 128) {
        scaleOp = D3DTOP_MODULATE2X, span = 768, split = 512, factorScale = 128;
      } else {
        scaleOp = D3DTOP_MODULATE, span = 512, split = 256, factorScale = 255;
      }
      stages.stages[1].alphaOp = static_cast<int16_t>(scaleOp);
      const int32_t c = p * span / 255, v = span - c;
      int32_t alpha;
      if (v < split) {
        stages.stages[0].alphaOp = static_cast<int16_t>(D3DTOP_SUBTRACT);
        alpha = 255 - v * 255 / split;
      } else {
        stages.stages[0].alphaOp = static_cast<int16_t>(D3DTOP_ADD);
        alpha = (v - split) * factorScale / 256;
      }
      state.textureFactor = static_cast<int32_t>(static_cast<uint32_t>(alpha) << 24 | 0xFFFFFFu);
    }
  }
  SetSkip(skip);

  const int32_t count = static_cast<int32_t>(stages.stages[0].texture);
  state.stageCount = count;
  std::memcpy(state.stages, stages.stages, sizeof state.stages);
  if (count != s.activeSamplerCount) {
    s.activeSamplerCount = count;
    const int32_t forced = StateResendForced;
    StateResendForced = 1;
    G_D3D_SetFilterMode(s.filterMode);
    G_D3D_SetMaxAnisotropy(s.maxAnisotropy);
    StateResendForced = forced;
  }
  SendBlendState(state, textures, count < 8 ? count + 1 : 8, texturesOnly);
  return 0;
}

int G_D3D_SetUserBlendInfo(const UserBlendInfo* record, int32_t texturesOnly) {
  if (record == nullptr) {
    UserBlendInstalled = false;
    D3DStateShadow.request.blendDirty = 1;
    return 0;
  }
  InstalledUserBlend = *record;
  UserBlendInstalled = true;
  UserBlendTexturesOnly = texturesOnly;
  D3DStateShadow.request.blendDirty = 1;
  D3DStateShadow.request.textureDirty = 1;
  G_D3D_ApplyBlendState(1, nullptr, 0);
  return 0;
}

void G_D3D_PrepareDrawState(const GraphFormatRequest* format, IDirect3DBaseTexture9* texture, int32_t flags) {
  if (Direct3DDevice == nullptr) return;
  D3DShadowState& s = D3DStateShadow;
  BlendRequestState& q = s.request;

  if ((flags & DrawPrepKeepShaders) == 0) {
    if (CurrentVertexShader != nullptr) {
      G_D3D_FlushVertexBatch();
      Direct3DDevice->SetVertexShader(nullptr);
      CurrentVertexShader = nullptr;
      VertexBatch.lastFvf = 0;
    }
    if (CurrentPixelShader != nullptr) {
      G_D3D_FlushVertexBatch();
      Direct3DDevice->SetPixelShader(nullptr);
      CurrentPixelShader = nullptr;
    }
  }
  if ((flags & DrawPrepLit) != 0 && !Scene3D.lightingOff) {
    ApplyLights();
    D3DMATERIAL9 material;
    const Scene3DState& d = Scene3D;
    material.Diffuse = {d.materialDiffuse.r, d.materialDiffuse.g, d.materialDiffuse.b, d.materialDiffuse.a};
    material.Ambient = {d.materialAmbient.r, d.materialAmbient.g, d.materialAmbient.b, d.materialAmbient.a};
    material.Specular = {d.materialSpecular.r, d.materialSpecular.g, d.materialSpecular.b, d.materialSpecular.a};
    material.Emissive = {d.materialEmissive.r, d.materialEmissive.g, d.materialEmissive.b, d.materialEmissive.a};
    material.Power = d.materialPower;
    G_D3D_SetMaterial(&material);
    G_D3D_SetDiffuseFromVertex(0);
    G_D3D_SetSpecularFromVertex(0);
  } else if (s.lighting != 0) {
    G_D3D_FlushVertexBatch();
    G_D3D_SetLighting(0);
  }
  G_D3D_SetSpecularEnable((flags & DrawPrepSpecular) != 0 ? 1 : 0);
  const ZSettings& z = kZSettings[(flags & DrawPrepSecondZ) != 0 ? 1 : 0];
  if (z.enable == 0) {
    if (s.zEnable != 0) G_D3D_SetZEnable(0);
  } else {
    G_D3D_SetZEnable(z.enable);
    G_D3D_SetZWriteEnable(z.writeEnable);
    G_D3D_SetZFunc(z.func);
    G_D3D_SetDepthBias(z.depthBias);
  }
  G_D3D_SetFillMode(D3DFILL_SOLID);
  // The 3-D settings keep fog switched off, with flag 0x80 or without.
  G_D3D_SetFogEnable(0);

  if ((flags & DrawPrepKeepBlend) == 0) {
    int32_t alpha = 0, key = 0;
    if (texture != nullptr && format != nullptr && (flags & DrawPrepTransparency) != 0 &&
        (format->alphaChannel || format->transparentColor)) {
      if (DrawBlendMode != 0 && DrawBlendMode != 8) {
        alpha = 1;
      } else if ((flags & DrawPrepKeepTransparency) != 0 || DrawFilterMode != 1) {
        alpha = format->alphaChannel ? 1 : 0;
        key = format->transparentColor ? 1 : 0;
      } else {
        alpha = 1;
      }
    }
    const int32_t b = (flags & DrawPrepModulate) != 0 || !IsDrawBrightWhite() ? 1 : 0;
    const int32_t a = (flags & DrawPrepVertexAlpha) != 0 || DrawBlendMode != 0 ? 1 : 0;
    if (b != q.vertexColorModulates || a != q.vertexAlphaUsed) {
      G_D3D_FlushVertexBatch();
      q.vertexColorModulates = b;
      q.vertexAlphaUsed = a;
      q.blendDirty = 1;
    }
    if (texture != q.drawTexture) G_D3D_SetDrawTexture(texture);
    G_D3D_SetBlendRequest(DrawBlendMode, alpha, key);
    if (q.blendDirty || q.textureDirty) G_D3D_ApplyBlendState(1, nullptr, 0);
  }
  G_D3D_SetShadeMode((flags & DrawPrepGouraud) != 0 ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
  if (DrawFilterMode != s.filterMode) G_D3D_SetFilterMode(DrawFilterMode);
  if (s.maxAnisotropy != 1) G_D3D_SetMaxAnisotropy(1);
  if (s.cullMode != 0) G_D3D_SetCullMode(0);
  if ((flags & DrawPrepAddressing) != 0) {
    for (int32_t sampler = 0; sampler < 8; ++sampler)
      if (s.addressU[sampler] != DrawSamplerAddress[0][sampler])
        G_D3D_SetTextureAddressU(DrawSamplerAddress[0][sampler], sampler);
    for (int32_t sampler = 0; sampler < 8; ++sampler)
      if (s.addressV[sampler] != DrawSamplerAddress[1][sampler])
        G_D3D_SetTextureAddressV(DrawSamplerAddress[1][sampler], sampler);
  } else {
    for (int32_t sampler = 0; sampler < 4; ++sampler)
      if (s.addressU[sampler] != D3DTADDRESS_CLAMP || s.addressV[sampler] != D3DTADDRESS_CLAMP)
        G_D3D_SetTextureAddress(D3DTADDRESS_CLAMP, sampler);
  }
  LastPreparedDraw = {format, texture, flags};
}
