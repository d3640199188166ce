#include "platform/d3d9/d3d9_ff_program.h"

#include <cstring>

namespace d3d9 {

namespace {

constexpr DWORD kArgMask = 0xF;
constexpr DWORD kComplement = 0x10;
constexpr DWORD kAlphaReplicate = 0x20;

// An argument's value: the register, complemented or its alpha replicated.
std::string Argument(DWORD arg, bool first) {
  std::string base;
  switch (arg & kArgMask) {
    case D3DTA_DIFFUSE:
      base = "diffuse";
      break;
    case D3DTA_CURRENT:
      base = first ? "diffuse" : "current";
      break;
    case D3DTA_TEXTURE:
      base = "t";
      break;
    case D3DTA_TFACTOR:
      base = "uFactor";
      break;
    case D3DTA_SPECULAR:
      base = "specular";
      break;
    case D3DTA_TEMP:
      base = "temp";
      break;
    default:
      base = "vec4(1.0)";
      break;
  }
  if ((arg & kAlphaReplicate) != 0) base = "vec4((" + base + ").a)";
  if ((arg & kComplement) != 0) base = "(vec4(1.0) - " + base + ")";
  return base;
}

// An operation over two arguments (a1, a2), as a vec4 expression.
std::string Operation(DWORD op) {
  switch (op) {
    case D3DTOP_SELECTARG2:
      return "a2";
    case D3DTOP_MODULATE:
      return "a1 * a2";
    case D3DTOP_MODULATE2X:
      return "a1 * a2 * 2.0";
    case D3DTOP_MODULATE4X:
      return "a1 * a2 * 4.0";
    case D3DTOP_ADD:
      return "a1 + a2";
    case D3DTOP_SUBTRACT:
      return "a1 - a2";
    case D3DTOP_BLENDDIFFUSEALPHA:
      return "mix(a2, a1, diffuse.a)";
    case D3DTOP_BLENDCURRENTALPHA:
      return "mix(a2, a1, previous.a)";
    default:  // SELECTARG1, and operations the library never sets
      return "a1";
  }
}

const char* Comparison(DWORD func) {
  switch (func) {
    case D3DCMP_NEVER:
      return "false";
    case D3DCMP_LESS:
      return "alpha < uAlphaRef";
    case D3DCMP_EQUAL:
      return "alpha == uAlphaRef";
    case D3DCMP_LESSEQUAL:
      return "alpha <= uAlphaRef";
    case D3DCMP_GREATER:
      return "alpha > uAlphaRef";
    case D3DCMP_NOTEQUAL:
      return "alpha != uAlphaRef";
    case D3DCMP_GREATEREQUAL:
      return "alpha >= uAlphaRef";
    default:
      return "true";
  }
}

bool Reads(DWORD arg, DWORD what) { return (arg & kArgMask) == what; }

std::string Qualifier(const FixedFunctionKey& key) { return key.flat ? "flat " : ""; }

}  // namespace

UINT TexCoordSetsOf(DWORD fvf) {
  const UINT sets = (fvf >> 8) & 0xF;
  return sets > 8 ? 8 : sets;
}

UINT TexCoordFloats(DWORD fvf, UINT set) {
  switch ((fvf >> (16 + 2 * set)) & 3) {
    case 1:
      return 3;
    case 2:
      return 4;
    case 3:
      return 1;
    default:
      return 2;
  }
}

std::string FixedFunctionKey::Bytes() const {
  std::string out(reinterpret_cast<const char*>(this), 7);
  out.append(reinterpret_cast<const char*>(stages), sizeof(FixedFunctionStage) * stageCount);
  return out;
}

FixedFunctionKey FixedFunctionKeyOf(const D3D9DeviceState& state, DWORD fvf, const bool textured[8]) {
  FixedFunctionKey key;
  std::memset(&key, 0, sizeof key);
  const DWORD* rs = state.renderStates;
  key.pretransformed = (fvf & D3DFVF_XYZRHW) != 0 ? 1 : 0;
  key.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? 1 : 0;
  key.texCoordSets = static_cast<uint8_t>(TexCoordSetsOf(fvf));
  key.alphaFunc = rs[D3DRS_ALPHATESTENABLE] != 0 && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS
                      ? static_cast<uint8_t>(rs[D3DRS_ALPHAFUNC])
                      : 0;
  key.specularAdd = rs[D3DRS_SPECULARENABLE] != 0 && (fvf & D3DFVF_SPECULAR) != 0 ? 1 : 0;
  key.fog = rs[D3DRS_FOGENABLE] != 0 && key.pretransformed ? 1 : 0;
  for (UINT s = 0; s < D3D9TextureStageCount; ++s) {
    const DWORD* t = state.textureStageStates[s];
    if (t[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    FixedFunctionStage& stage = key.stages[s];
    stage.colorOp = static_cast<uint8_t>(t[D3DTSS_COLOROP]);
    stage.colorArg1 = static_cast<uint8_t>(t[D3DTSS_COLORARG1]);
    stage.colorArg2 = static_cast<uint8_t>(t[D3DTSS_COLORARG2]);
    // A stage whose alpha is disabled passes the alpha on.
    const bool alphaOff = t[D3DTSS_ALPHAOP] == D3DTOP_DISABLE;
    stage.alphaOp = static_cast<uint8_t>(alphaOff ? D3DTOP_SELECTARG1 : t[D3DTSS_ALPHAOP]);
    stage.alphaArg1 = static_cast<uint8_t>(alphaOff ? D3DTA_CURRENT : t[D3DTSS_ALPHAARG1]);
    stage.alphaArg2 = static_cast<uint8_t>(t[D3DTSS_ALPHAARG2]);
    stage.texCoord = static_cast<uint8_t>(t[D3DTSS_TEXCOORDINDEX] & 0xFFFF);
    stage.toTemp = t[D3DTSS_RESULTARG] == D3DTA_TEMP ? 1 : 0;
    stage.textured = textured[s] ? 1 : 0;
    key.stageCount = static_cast<uint8_t>(s + 1);
  }
  return key;
}

std::string FixedFunctionVertexText(const FixedFunctionKey& key) {
  std::string s = "#version 330 core\n";
  s += "layout(location = 0) in vec4 inPosition;\n";
  s += "layout(location = 1) in vec4 inDiffuse;\n";
  s += "layout(location = 2) in vec4 inSpecular;\n";
  for (int i = 0; i < key.texCoordSets; ++i)
    s += "layout(location = " + std::to_string(3 + i) + ") in vec4 inTex" + std::to_string(i) + ";\n";
  s += "uniform vec4 uTarget;\nuniform mat4 uTransform;\n";
  s += Qualifier(key) + "out vec4 vDiffuse;\n" + Qualifier(key) + "out vec4 vSpecular;\n";
  for (int i = 0; i < key.texCoordSets; ++i) s += "out vec4 vTex" + std::to_string(i) + ";\n";
  s += "void main() {\n";
  if (key.pretransformed) {
    // Screen positions whose pixel centres lie on whole numbers: half a
    // pixel on, over the whole target; rhw gives the clip w back.
    s += "  float w = inPosition.w != 0.0 ? 1.0 / inPosition.w : 1.0;\n";
    s += "  vec2 p = (inPosition.xy + 0.5) * uTarget.xy - 1.0;\n";
    s += "  gl_Position = vec4(p * w, (2.0 * inPosition.z - 1.0) * w, w);\n";
  } else {
    // Through world, view and projection; the clip space of Direct3D (y up,
    // z from 0 to w, pixel centres on whole numbers) into OpenGL's.
    s += "  vec4 c = uTransform * vec4(inPosition.xyz, 1.0);\n";
    s += "  gl_Position = vec4(c.x + c.w * uTarget.x, -c.y + c.w * uTarget.y, 2.0 * c.z - c.w, c.w);\n";
  }
  s += "  vDiffuse = inDiffuse;\n  vSpecular = inSpecular;\n";
  for (int i = 0; i < key.texCoordSets; ++i) s += "  vTex" + std::to_string(i) + " = inTex" + std::to_string(i) + ";\n";
  s += "}\n";
  return s;
}

std::string FixedFunctionPixelText(const FixedFunctionKey& key) {
  std::string s = "#version 330 core\n";
  s += Qualifier(key) + "in vec4 vDiffuse;\n" + Qualifier(key) + "in vec4 vSpecular;\n";
  for (int i = 0; i < key.texCoordSets; ++i) s += "in vec4 vTex" + std::to_string(i) + ";\n";
  for (int i = 0; i < key.stageCount; ++i)
    if (key.stages[i].textured) s += "uniform sampler2D uTexture" + std::to_string(i) + ";\n";
  s += "uniform vec4 uFactor;\nuniform int uAlphaRef;\nuniform vec4 uFogColor;\n";
  s += "out vec4 outColor;\n";
  s += "void main() {\n";
  s += "  vec4 diffuse = vDiffuse, specular = vSpecular;\n";
  s += "  vec4 current = diffuse, temp = vec4(0.0), previous, t, a1, a2;\n";
  for (int i = 0; i < key.stageCount; ++i) {
    const FixedFunctionStage& st = key.stages[i];
    const bool first = i == 0;
    const std::string index = std::to_string(i);
    s += "  // stage " + index + "\n";
    s += "  previous = " + std::string(first ? "diffuse" : "current") + ";\n";
    const bool readsTexture = Reads(st.colorArg1, D3DTA_TEXTURE) || Reads(st.colorArg2, D3DTA_TEXTURE) ||
                              Reads(st.alphaArg1, D3DTA_TEXTURE) || Reads(st.alphaArg2, D3DTA_TEXTURE);
    if (readsTexture) {
      if (!st.textured) {
        s += "  t = vec4(0.0, 0.0, 0.0, 1.0);\n";
      } else {
        const std::string coords = st.texCoord < key.texCoordSets ? "vTex" + std::to_string(st.texCoord) + ".xy" : "vec2(0.0)";
        s += "  t = texture(uTexture" + index + ", " + coords + ");\n";
      }
    }
    s += "  a1 = " + Argument(st.colorArg1, first) + ";\n  a2 = " + Argument(st.colorArg2, first) + ";\n";
    s += "  vec3 rgb" + index + " = (" + Operation(st.colorOp) + ").rgb;\n";
    s += "  a1 = " + Argument(st.alphaArg1, first) + ";\n  a2 = " + Argument(st.alphaArg2, first) + ";\n";
    s += "  float alpha" + index + " = (" + Operation(st.alphaOp) + ").a;\n";
    s += std::string("  ") + (st.toTemp ? "temp" : "current") + " = clamp(vec4(rgb" + index + ", alpha" + index +
         "), 0.0, 1.0);\n";
  }
  if (key.specularAdd) s += "  current.rgb = clamp(current.rgb + specular.rgb, 0.0, 1.0);\n";
  if (key.fog) s += "  current.rgb = mix(uFogColor.rgb, current.rgb, specular.a);\n";
  if (key.alphaFunc != 0) {
    // The test of Direct3D: the alpha as an 8-bit value against the reference.
    s += "  int alpha = int(current.a * 255.0 + 0.5);\n";
    s += std::string("  if (!(") + Comparison(key.alphaFunc) + ")) discard;\n";
  }
  s += "  outColor = current;\n}\n";
  return s;
}

}  // namespace d3d9
