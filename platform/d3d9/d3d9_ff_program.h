// Inside the Direct3D 9 stand-in: the GLSL programs that stand for the
// fixed-function pipeline of a draw. A key holds what decides the program's
// text (vertex kind, shading, the texture stages in use with their
// operations and arguments, alpha test, specular and fog); the states that
// change nothing but values (texture factor, alpha reference, fog colour,
// transforms) are uniforms.
#pragma once

#include <cstdint>
#include <string>

#include "platform/d3d9/d3d9_control.h"

namespace d3d9 {

struct FixedFunctionStage {
  uint8_t colorOp, colorArg1, colorArg2;
  uint8_t alphaOp, alphaArg1, alphaArg2;
  uint8_t texCoord;  // the coordinate set read by TEXTURE
  uint8_t toTemp;    // the result goes to the temporary register
  uint8_t textured;  // a texture is set on the stage
};

struct FixedFunctionKey {
  uint8_t pretransformed;  // XYZRHW positions (else XYZ through the transforms)
  uint8_t flat;            // flat shading: the first vertex's colours
  uint8_t texCoordSets;    // coordinate sets in the vertices (0-8)
  uint8_t alphaFunc;       // D3DCMP of the alpha test, 0: no test
  uint8_t specularAdd;     // the specular colour added after the stages
  uint8_t fog;             // vertex fog from the specular alpha
  uint8_t stageCount;      // stages before the first disabled one
  FixedFunctionStage stages[D3D9TextureStageCount];

  // The key as map text.
  std::string Bytes() const;
};

// The key of the states of a draw with these vertices.
FixedFunctionKey FixedFunctionKeyOf(const D3D9DeviceState& state, DWORD fvf, const bool textured[8]);

// The programs' texts. Attributes: 0 position, 1 diffuse, 2 specular, 3-10
// texture coordinates. Uniforms: uTarget, uTransform, uFactor, uAlphaRef,
// uFogColor, uTexture0-7.
std::string FixedFunctionVertexText(const FixedFunctionKey& key);
std::string FixedFunctionPixelText(const FixedFunctionKey& key);

// The number of texture coordinate sets of a vertex format, and the bytes of set i.
UINT TexCoordSetsOf(DWORD fvf);
UINT TexCoordFloats(DWORD fvf, UINT set);

}  // namespace d3d9
