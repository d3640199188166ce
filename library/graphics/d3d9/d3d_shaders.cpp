#include "library/graphics/d3d9/d3d_shaders.h"

#include <cstring>
#include <vector>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/file/lz.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"

uint8_t* ShaderCodeBlock = nullptr;
const uint8_t* VertexShaderCodeTable[ShaderVertexRecordCount * ShaderVariantCount];
const uint8_t* PixelShaderCodeTable[ShaderPixelRecordCount * ShaderVariantCount];
IDirect3DVertexShader9* VertexShaderObjectTable[ShaderVertexRecordCount * ShaderVariantCount];
IDirect3DPixelShader9* PixelShaderObjectTable[ShaderPixelRecordCount * ShaderVariantCount];
ArchiveObject ShaderPackArchive;
int32_t ShadersInUse = 0;
IDirect3DVertexDeclaration9* VertexDeclarationTable[54];
IDirect3DVertexDeclaration9* FixedVertexDeclaration = nullptr;
IDirect3DVolumeTexture9* MaxBrightnessVolumeTexture = nullptr;

namespace {

// The unpacked archive image behind ShaderPackArchive.
uint8_t* ShaderPackImage = nullptr;
uint32_t ShaderPackImageSize = 0;
bool ShaderPackArchiveOpen = false;

// A tracked buffer with the unpacked bytes of an LZ block, or null.
uint8_t* Unpack(const uint8_t* block, size_t size, uint32_t* unpackedSize) {
  const int64_t total = DecompressArchiveData(block, size, nullptr, 0);
  if (total <= 0 || total > 0x7FFFFFFF) return nullptr;
  auto* out = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(total), __FILE__, __LINE__));
  if (out == nullptr) return nullptr;
  if (DecompressArchiveData(block, size, out, static_cast<size_t>(total)) != total) {
    TrackedFree(out);
    return nullptr;
  }
  *unpackedSize = static_cast<uint32_t>(total);
  return out;
}

// Points the code tables into the unpacked block; false when a variant's
// code would run past the block's end.
bool IndexCodeBlock(const uint8_t* block, uint32_t size) {
  if (size < ShaderPackHeadSize) return false;
  const uint8_t* running = block + ShaderPackHeadSize;
  const uint8_t* end = block + size;
  for (size_t i = 0; i < ShaderPackHeadSize / 2; ++i) {
    const uint16_t length = static_cast<uint16_t>(block[2 * i] | block[2 * i + 1] << 8);
    const uint8_t** slot = i < static_cast<size_t>(ShaderVertexRecordCount) * ShaderVariantCount
                               ? &VertexShaderCodeTable[i]
                               : &PixelShaderCodeTable[i - static_cast<size_t>(ShaderVertexRecordCount) * ShaderVariantCount];
    *slot = nullptr;
    if (length == 0) continue;
    if (length > end - running) return false;
    *slot = running;
    running += length;
  }
  return true;
}

void ClearCodeTables() {
  std::memset(VertexShaderCodeTable, 0, sizeof VertexShaderCodeTable);
  std::memset(PixelShaderCodeTable, 0, sizeof PixelShaderCodeTable);
}

// A vertex-declaration element.
D3DVERTEXELEMENT9 Element(WORD offset, BYTE type, BYTE usage, BYTE index = 0) {
  return {0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index};
}

// The base elements of family (a, b): position; b sets of blend indices and
// weights (b = 1: one, b = 2: two); the normal, and with a = 1 a tangent and
// binormal; two colours. Returns the offset after them.
WORD BaseElements(int a, int b, std::vector<D3DVERTEXELEMENT9>* out) {
  WORD offset = 0;
  out->push_back(Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION));
  offset += 12;
  for (int i = 0; i < b; ++i, offset += 4)
    out->push_back(Element(offset, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, static_cast<BYTE>(i)));
  for (int i = 0; i < b; ++i, offset += 16)
    out->push_back(Element(offset, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, static_cast<BYTE>(i)));
  out->push_back(Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL));
  offset += 12;
  if (a == 1) {
    out->push_back(Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_TANGENT));
    offset += 12;
    out->push_back(Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_BINORMAL));
    offset += 12;
  }
  out->push_back(Element(offset, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR));
  out->push_back(Element(static_cast<WORD>(offset + 4), D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1));
  return static_cast<WORD>(offset + 8);
}

}  // namespace

// ---------------------------------------------------------------- the pack

int LoadShaderPack() {
  if (&ShaderPackDataSize == nullptr || ShaderPackData == nullptr) return 0;
  return LoadShaderPackFrom(ShaderPackData, ShaderPackDataSize);
}

int LoadShaderPackFrom(const uint8_t* pack, size_t size) {
  if (ShaderCodeBlock != nullptr) return 1;
  InitArchiveObject(&ShaderPackArchive);
  ShaderPackImage = Unpack(pack, size, &ShaderPackImageSize);
  if (ShaderPackImage == nullptr) return 0;
  uint32_t offset = 0, memberSize = 0;
  if (OpenArchiveFromMemory(&ShaderPackArchive, ShaderPackImage, ShaderPackImageSize, nullptr) != 0) {
    ReleaseShaderPack();
    return 0;
  }
  ShaderPackArchiveOpen = true;
  if (GetArchiveMemberInMemory(&ShaderPackArchive, ShaderPackMemberName, &offset, &memberSize) != 0) {
    ReleaseShaderPack();
    return 0;
  }
  const uint8_t* member = static_cast<const uint8_t*>(GetArchiveImage(&ShaderPackArchive)) + offset;
  uint32_t blockSize = 0;
  ShaderCodeBlock = Unpack(member, ShaderPackImageSize - offset, &blockSize);
  if (ShaderCodeBlock == nullptr || blockSize != memberSize || !IndexCodeBlock(ShaderCodeBlock, blockSize)) {
    ReleaseShaderPack();
    return 0;
  }
  return 1;
}

void ReleaseShaderPack() {
  if (ShaderPackArchiveOpen) CloseArchiveObject(&ShaderPackArchive);
  ShaderPackArchiveOpen = false;
  TrackedFree(ShaderPackImage);
  ShaderPackImage = nullptr;
  ShaderPackImageSize = 0;
  TrackedFree(ShaderCodeBlock);
  ShaderCodeBlock = nullptr;
  ClearCodeTables();
}

// ---------------------------------------------------------------- shaders

int G_D3D_SetupShaders() {
  G_D3D_ReleaseShaders();
  ShadersInUse = 0;
  if (VertexShader20Usable && PixelShader20Usable && Direct3DDevice != nullptr) {
    ShadersInUse = 1;
    if (!LoadShaderPack()) {
      WriteErrorLog("シェーダーコードを展開するメモリ領域の確保に失敗しました\n");
      ShadersInUse = 0;
    } else {
      IDirect3DVertexShader9*& vertex = VertexShaderObjectTable[LibraryVertexShaderIndex];
      IDirect3DPixelShader9*& pixel = PixelShaderObjectTable[LibraryPixelShaderIndex];
      const auto* vertexCode = reinterpret_cast<const DWORD*>(VertexShaderCodeTable[LibraryVertexShaderIndex]);
      const auto* pixelCode = reinterpret_cast<const DWORD*>(PixelShaderCodeTable[LibraryPixelShaderIndex]);
      if (Direct3DDevice->CreateVertexShader(vertexCode, &vertex) < 0) {
        vertex = nullptr;
        ShadersInUse = 0;
      }
      if (Direct3DDevice->CreatePixelShader(pixelCode, &pixel) < 0) {
        pixel = nullptr;
        ShadersInUse = 0;
      }
      // One shader without the other is of no use: it is not kept.
      if (!ShadersInUse) {
        ReleaseD3DObject(vertex);
        ReleaseD3DObject(pixel);
      }
    }
  }
  WriteErrorLog(ShadersInUse ? "プログラマブルシェーダーを使用します\n" : "プログラマブルシェーダーを使用しません\n");
  G_D3D_SetShaderRegisterZero();
  return 0;
}

void G_D3D_SetShaderRegisterZero() {
  static const float kVertex[4] = {0.0f, 1.0f, 0.0f, 0.0f};
  static const float kPixel[4] = {0.0f, 0.5f, 1.0f, 2.0f};
  G_D3D_SetVSConstantF(0, kVertex, 1);
  G_D3D_SetPSConstantF(0, kPixel, 1);
}

int G_D3D_ReleaseShaders() {
  if (Direct3DDevice != nullptr) {
    Direct3DDevice->SetVertexShader(nullptr);
    Direct3DDevice->SetPixelShader(nullptr);
  }
  CurrentVertexShader = nullptr;
  CurrentPixelShader = nullptr;
  ShadersInUse = 0;  // in use only while both shaders exist
  for (IDirect3DVertexShader9*& s : VertexShaderObjectTable) ReleaseD3DObject(s);
  for (IDirect3DPixelShader9*& s : PixelShaderObjectTable) ReleaseD3DObject(s);
  return 0;
}

// ---------------------------------------------------------------- vertex declarations

int G_D3D_CreateVertexDeclarations() {
  G_D3D_ReleaseVertexDeclarations();
  if (Direct3DDevice == nullptr) return 0;
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 3; ++b)
      for (int j = 0; j < 9; ++j) {
        std::vector<D3DVERTEXELEMENT9> elements;
        const WORD start = BaseElements(a, b, &elements);
        for (int t = 0; t < j; ++t)
          elements.push_back(Element(static_cast<WORD>(start + 16 * t), D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD,
                                     static_cast<BYTE>(t)));
        elements.push_back(D3DDECL_END);
        IDirect3DVertexDeclaration9*& slot = VertexDeclarationTable[(a * 3 + b) * 9 + j];
        if (Direct3DDevice->CreateVertexDeclaration(elements.data(), &slot) < 0) slot = nullptr;
      }
  // The layout of the buffers' vertices (XYZ, NORMAL, DIFFUSE, SPECULAR,
  // TEX2): the second texture coordinates follow the first, at 40.
  const D3DVERTEXELEMENT9 fixed[] = {Element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                                     Element(12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL),
                                     Element(24, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR),
                                     Element(28, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1),
                                     Element(32, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD),
                                     Element(40, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, 1),
                                     D3DDECL_END};
  if (Direct3DDevice->CreateVertexDeclaration(fixed, &FixedVertexDeclaration) < 0) FixedVertexDeclaration = nullptr;
  return 0;
}

int G_D3D_ReleaseVertexDeclarations() {
  if (Direct3DDevice != nullptr) {
    Direct3DDevice->SetVertexShader(nullptr);
    Direct3DDevice->SetPixelShader(nullptr);
  }
  CurrentVertexShader = nullptr;
  CurrentPixelShader = nullptr;
  for (IDirect3DVertexDeclaration9*& d : VertexDeclarationTable) ReleaseD3DObject(d);
  ReleaseD3DObject(FixedVertexDeclaration);
  return 0;
}

// ---------------------------------------------------------------- the full-brightness volume texture

void ComputeMaxBrightnessColor(int32_t red, int32_t green, int32_t blue, uint8_t* outRed, uint8_t* outGreen,
                               uint8_t* outBlue) {
  if (red + green + blue == 0) {
    *outRed = *outGreen = *outBlue = 255;
    return;
  }
  int32_t c[3] = {red > 255 ? 255 : red, green > 255 ? 255 : green, blue > 255 ? 255 : blue};
  int maxAt = 0, minAt = 0;
  for (int i = 1; i < 3; ++i) {
    if (c[i] > c[maxAt]) maxAt = i;
    if (c[i] < c[minAt]) minAt = i;
  }
  if (c[maxAt] == c[minAt]) {
    *outRed = *outGreen = *outBlue = 255;
    return;
  }
  const int midAt = 3 - maxAt - minAt;
  const int32_t high = c[maxAt], low = c[minAt], mid = c[midAt];
  const int32_t s = (high - low) * 255 / high;
  const int32_t t = (low - mid) * 255 / (high - low);
  int32_t out[3];
  out[maxAt] = 255;
  out[minAt] = 255 - s;
  out[midAt] = 255 - (t + 255) * s / 255;
  *outRed = static_cast<uint8_t>(out[0]);
  *outGreen = static_cast<uint8_t>(out[1]);
  *outBlue = static_cast<uint8_t>(out[2]);
}

int G_D3D_CreateMaxBrightnessTexture() {
  if (Direct3DDevice == nullptr) return -1;
  G_D3D_ReleaseMaxBrightnessTexture();
  IDirect3DVolumeTexture9* source = nullptr;
  auto fail = [&](const char* message) {
    ReleaseD3DObject(source);
    ReleaseD3DObject(MaxBrightnessVolumeTexture);
    return WriteErrorLog(message);
  };
  if (Direct3DDevice->CreateVolumeTexture(128, 128, 128, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                          &MaxBrightnessVolumeTexture, nullptr) < 0) {
    MaxBrightnessVolumeTexture = nullptr;
    return fail("RGBカラーを輝度を最大にしたRGB値に変換するためのボリュームテクスチャの作成に失敗しました\n");
  }
  if (Direct3DDevice->CreateVolumeTexture(128, 128, 128, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &source,
                                          nullptr) < 0) {
    source = nullptr;
    return fail("RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャの作成に失敗しました\n");
  }
  const D3DBOX box = {0, 0, 128, 128, 0, 128};
  D3DLOCKED_BOX locked{};
  if (source->LockBox(0, &locked, &box, 0) < 0)
    return fail("RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャのロックに失敗しました\n");
  for (int32_t z = 0; z < 128; ++z)
    for (int32_t y = 0; y < 128; ++y) {
      uint8_t* row = static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(z) * static_cast<size_t>(locked.SlicePitch) +
                     static_cast<size_t>(y) * static_cast<size_t>(locked.RowPitch);
      for (int32_t x = 0; x < 128; ++x) {
        uint8_t* texel = row + 4 * x;
        uint8_t r = 255, g = 255, b = 255;
        if (x >= 8 || y >= 8 || z >= 8) ComputeMaxBrightnessColor(2 * x, 2 * y, 2 * z, &r, &g, &b);
        texel[0] = b;
        texel[1] = g;
        texel[2] = r;
        texel[3] = 0xFF;
      }
    }
  source->UnlockBox(0);
  Direct3DDevice->UpdateTexture(source, MaxBrightnessVolumeTexture);
  ReleaseD3DObject(source);
  return 0;
}

void G_D3D_ReleaseMaxBrightnessTexture() { ReleaseD3DObject(MaxBrightnessVolumeTexture); }
