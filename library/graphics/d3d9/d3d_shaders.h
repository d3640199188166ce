// Programmable shaders of the Direct3D back end: the shader pack the program
// carries in its own data, the one vertex and one pixel shader the library
// uses, the vertex declarations and the volume texture that maps a colour to
// the same hue at full brightness.
//
// The pack is an LZ block holding an archive image (opened from memory
// without a key) whose member "ZrShaderPack.bin" is itself an LZ block: a
// head of 16384 vertex-shader and 6912 pixel-shader records of six u16 sizes
// (one per variant, 0 for absent), then the code of every present variant
// back to back in record and variant order. The code of a variant is the
// shader's text, ended by a zero byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/file/archive.h"
#include "platform/d3d9/d3d9.h"

constexpr int32_t ShaderVertexRecordCount = 16384;
constexpr int32_t ShaderPixelRecordCount = 6912;
constexpr int32_t ShaderVariantCount = 6;
constexpr size_t ShaderPackHeadSize =
    static_cast<size_t>(ShaderVertexRecordCount + ShaderPixelRecordCount) * ShaderVariantCount * 2;
// The shaders in use: vertex record 5462 variant 2, pixel record 409 variant 0.
constexpr int32_t LibraryVertexShaderIndex = 5462 * ShaderVariantCount + 2;
constexpr int32_t LibraryPixelShaderIndex = 409 * ShaderVariantCount + 0;
constexpr const char* ShaderPackMemberName = "ZrShaderPack.bin";

// The pack in the program's data (made by tools/zrshaderpack, linked into
// the program and the tests). Weak: a build-time tool that links the library
// without the pack has none, and shaders stay off there.
extern const uint8_t ShaderPackData[] __attribute__((weak));
extern const uint32_t ShaderPackDataSize __attribute__((weak));

extern uint8_t* ShaderCodeBlock;
extern const uint8_t* VertexShaderCodeTable[ShaderVertexRecordCount * ShaderVariantCount];
extern const uint8_t* PixelShaderCodeTable[ShaderPixelRecordCount * ShaderVariantCount];
extern IDirect3DVertexShader9* VertexShaderObjectTable[ShaderVertexRecordCount * ShaderVariantCount];
extern IDirect3DPixelShader9* PixelShaderObjectTable[ShaderPixelRecordCount * ShaderVariantCount];
extern ArchiveObject ShaderPackArchive;
// 1 while both library shaders are made.
extern int32_t ShadersInUse;
extern IDirect3DVertexDeclaration9* VertexDeclarationTable[54];
extern IDirect3DVertexDeclaration9* FixedVertexDeclaration;
extern IDirect3DVolumeTexture9* MaxBrightnessVolumeTexture;

// 1 when the pack is (or already was) unpacked, 0 when it cannot be: a
// corrupt block, a missing member, or a variant whose code lies beyond the
// unpacked block.
int LoadShaderPack();
// The same from a pack held by the caller.
int LoadShaderPackFrom(const uint8_t* pack, size_t size);
// Closes the pack's archive and frees its buffers (graphics shut-down).
void ReleaseShaderPack();

int G_D3D_SetupShaders();
int G_D3D_ReleaseShaders();
// Constant register 0 of both shaders: the shadow copies, and the device
// while shaders are in use.
void G_D3D_SetShaderRegisterZero();
int G_D3D_CreateVertexDeclarations();
int G_D3D_ReleaseVertexDeclarations();
int G_D3D_CreateMaxBrightnessTexture();
void G_D3D_ReleaseMaxBrightnessTexture();
// The colour of the same hue and saturation at full value.
void ComputeMaxBrightnessColor(int32_t red, int32_t green, int32_t blue, uint8_t* outRed, uint8_t* outGreen,
                               uint8_t* outBlue);
