#include <cstring>
#include <fstream>
#include <iterator>

#include "library/core/memory.h"
#include "library/graphics/d3d9/d3d_buffers.h"
#include "tests/graphics/d3d9/d3d_fixture.h"
#include "tools/shaderpack/shader_pack_builder.h"

namespace {

std::string SourceText(const char* file) {
  std::ifstream in(std::string(ZR_SOURCE_DIR) + "/tools/shaderpack/" + file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<PackedShader> LibraryShaders() {
  std::vector<PackedShader> shaders;
  std::string error;
  EXPECT_TRUE(ReadLibraryShaders(std::string(ZR_SOURCE_DIR) + "/tools/shaderpack", &shaders, &error)) << error;
  return shaders;
}

// A pack around a code block given as it is, under a member name.
std::vector<uint8_t> PackOfBlock(const std::vector<uint8_t>& block, const char* member = ShaderPackMemberName) {
  std::vector<uint8_t> pack;
  std::string error;
  EXPECT_TRUE(ShaderPackOfBlock(block, member, &pack, &error)) << error;
  return pack;
}

int CodeEntries() {
  int n = 0;
  for (const uint8_t* p : VertexShaderCodeTable) n += p != nullptr;
  for (const uint8_t* p : PixelShaderCodeTable) n += p != nullptr;
  return n;
}

class D3DShaderTest : public D3DTest {
 protected:
  void TearDown() override {
    ReleaseShaderPack();
    D3DTest::TearDown();
  }
};

TEST_F(D3DShaderTest, TheProgramCarriesTheLibraryShaders) {
  StartOn(D3D9FullAdapter());
  ASSERT_EQ(ShadersInUse, 1);
  EXPECT_TRUE(LogHas("プログラマブルシェーダーを使用します"));
  EXPECT_EQ(CodeEntries(), 2);
  EXPECT_EQ(D3D9ShaderText(VertexShaderObjectTable[LibraryVertexShaderIndex]), SourceText("library.vert"));
  EXPECT_EQ(D3D9ShaderText(PixelShaderObjectTable[LibraryPixelShaderIndex]), SourceText("library.frag"));
  // A second start finds the pack unpacked.
  EXPECT_EQ(LoadShaderPack(), 1);
  StopGraphics();
  EXPECT_EQ(ShaderCodeBlock, nullptr) << "graphics shut-down frees the pack";
}

TEST_F(D3DShaderTest, ThePackRoundTrips) {
  std::vector<PackedShader> shaders = LibraryShaders();
  shaders.push_back({false, 16383, 5, "last vertex record"});
  shaders.push_back({true, 0, 0, "first pixel record"});
  std::vector<uint8_t> pack;
  std::string error;
  ASSERT_TRUE(BuildShaderPack(shaders, &pack, &error)) << error;
  ASSERT_EQ(LoadShaderPackFrom(pack.data(), pack.size()), 1);
  EXPECT_EQ(CodeEntries(), 4);
  EXPECT_STREQ(reinterpret_cast<const char*>(VertexShaderCodeTable[16383 * 6 + 5]), "last vertex record");
  EXPECT_STREQ(reinterpret_cast<const char*>(PixelShaderCodeTable[0]), "first pixel record");
  EXPECT_STREQ(reinterpret_cast<const char*>(VertexShaderCodeTable[LibraryVertexShaderIndex]),
               SourceText("library.vert").c_str());
  // Out of range for the builder.
  EXPECT_FALSE(BuildShaderPack({{true, 6912, 0, "x"}}, &pack, &error));
  EXPECT_FALSE(BuildShaderPack({{false, 0, 6, "x"}}, &pack, &error));
}

// Damaged packs are refused, whatever is damaged, and leave nothing behind
// (the fixture counts the tracked blocks).
TEST_F(D3DShaderTest, DamagedPacksAreRefused) {
  const std::vector<uint8_t> block = BuildShaderCodeBlock(LibraryShaders());
  struct Case {
    const char* name;
    std::vector<uint8_t> pack;
  };
  std::vector<uint8_t> beyond = block;  // a size that runs past the block
  beyond[2 * LibraryVertexShaderIndex + 1] = 0xFF;
  std::vector<uint8_t> lastBeyond = block;  // the last variant one byte too long
  const size_t lastSlot = static_cast<size_t>(ShaderVertexRecordCount) * 6 + LibraryPixelShaderIndex;
  lastBeyond[2 * lastSlot] = static_cast<uint8_t>(lastBeyond[2 * lastSlot] + 1);
  const std::vector<uint8_t> headOnly(block.begin(), block.begin() + 1000);
  const std::vector<Case> cases = {
      {"a size beyond the block", PackOfBlock(beyond)},
      {"the last code one byte past the end", PackOfBlock(lastBeyond)},
      {"a head cut short", PackOfBlock(headOnly)},
      {"another member name", PackOfBlock(block, "Other.bin")},
      {"empty", {}},
      {"a head only", std::vector<uint8_t>(9, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LoadShaderPackFrom(c.pack.data(), c.pack.size()), 0);
    EXPECT_EQ(ShaderCodeBlock, nullptr);
    EXPECT_EQ(CodeEntries(), 0);
  }
  // Every cut and a spread of flipped bytes: refused or read, never past
  // the bytes given.
  std::vector<uint8_t> pack;
  std::string error;
  ASSERT_TRUE(BuildShaderPack(LibraryShaders(), &pack, &error));
  for (size_t cut = 0; cut < pack.size(); cut += 37) {
    std::vector<uint8_t> part(pack.begin(), pack.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_EQ(LoadShaderPackFrom(part.data(), part.size()), 0) << cut;
  }
  for (size_t at = 0; at < pack.size(); at += 23) {
    std::vector<uint8_t> damaged = pack;
    damaged[at] ^= 0x5A;
    LoadShaderPackFrom(damaged.data(), damaged.size());
    ReleaseShaderPack();
  }
}

TEST_F(D3DShaderTest, AShaderThatCannotBeMadeTakesTheOtherWithIt) {
  D3D9SetAdapter(D3D9FullAdapter());
  D3D9FailCall(D3D9Call::CreatePixelShader, D3DERR_OUTOFVIDEOMEMORY);
  StartGraphics(16);
  EXPECT_EQ(ShadersInUse, 0);
  EXPECT_EQ(VertexShaderObjectTable[LibraryVertexShaderIndex], nullptr);
  EXPECT_TRUE(LogHas("プログラマブルシェーダーを使用しません"));
  // Neither the declarations nor the volume texture are made without shaders.
  EXPECT_EQ(FixedVertexDeclaration, nullptr);
  EXPECT_EQ(MaxBrightnessVolumeTexture, nullptr);
}

TEST_F(D3DShaderTest, VertexDeclarations) {
  StartOn(D3D9FullAdapter());
  for (IDirect3DVertexDeclaration9* d : VertexDeclarationTable) EXPECT_NE(d, nullptr);
  // Family (0, 2) with two texture coordinates.
  const std::vector<D3DVERTEXELEMENT9> e = D3D9DeclarationElements(VertexDeclarationTable[(0 * 3 + 2) * 9 + 2]);
  struct Want {
    WORD offset;
    BYTE type, usage, index;
  };
  const Want want[] = {
      {0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},      {12, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 0},
      {16, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 1}, {20, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 0},
      {36, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 1},  {52, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0},
      {64, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0},      {68, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1},
      {72, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, 0},     {88, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, 1},
  };
  ASSERT_EQ(e.size(), std::size(want));
  for (size_t i = 0; i < e.size(); ++i) {
    EXPECT_EQ(e[i].Offset, want[i].offset) << i;
    EXPECT_EQ(e[i].Type, want[i].type) << i;
    EXPECT_EQ(e[i].Usage, want[i].usage) << i;
    EXPECT_EQ(e[i].UsageIndex, want[i].index) << i;
  }
  // The buffers' vertex: the second texture coordinates after the first.
  const std::vector<D3DVERTEXELEMENT9> f = D3D9DeclarationElements(FixedVertexDeclaration);
  ASSERT_EQ(f.size(), 6u);
  EXPECT_EQ(f[4].Offset, 32);
  EXPECT_EQ(f[5].Offset, 40);
  EXPECT_EQ(f[5].UsageIndex, 1);
}

TEST_F(D3DShaderTest, MaxBrightnessColours) {
  struct Case {
    int r, g, b;
    uint8_t wr, wg, wb;
  };
  const Case cases[] = {{0, 0, 0, 255, 255, 255},     {10, 10, 10, 255, 255, 255}, {255, 0, 0, 255, 0, 0},
                        {0, 0, 128, 0, 0, 255},       {100, 50, 0, 255, 127, 0},   {0, 2, 4, 0, 127, 255},
                        {100, 50, 25, 255, 128, 64},  {300, 0, 0, 255, 0, 0},      {25, 50, 100, 64, 128, 255}};
  for (const Case& c : cases) {
    uint8_t r = 0, g = 0, b = 0;
    ComputeMaxBrightnessColor(c.r, c.g, c.b, &r, &g, &b);
    EXPECT_EQ(r, c.wr) << c.r << "," << c.g << "," << c.b;
    EXPECT_EQ(g, c.wg) << c.r << "," << c.g << "," << c.b;
    EXPECT_EQ(b, c.wb) << c.r << "," << c.g << "," << c.b;
  }
}

TEST_F(D3DShaderTest, TheVolumeTextureAndItsFailures) {
  StartOn(D3D9FullAdapter());
  D3DSURFACE_DESC desc{};
  UINT depth = 0;
  ASSERT_TRUE(D3D9DescribeObject(MaxBrightnessVolumeTexture, &desc, &depth, nullptr));
  EXPECT_EQ(desc.Width, 128u);
  EXPECT_EQ(depth, 128u);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
  StopGraphics();

  const struct {
    int skip;
    const char* line;
  } failures[] = {
      {0, "RGBカラーを輝度を最大にしたRGB値に変換するためのボリュームテクスチャの作成に失敗しました"},
      {1, "RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャの作成に失敗しました"},
  };
  for (const auto& f : failures) {
    D3D9SetAdapter(D3D9FullAdapter());
    D3D9FailCall(D3D9Call::CreateVolumeTexture, D3DERR_OUTOFVIDEOMEMORY, f.skip);
    StartGraphics(16);
    EXPECT_EQ(HardwareActive, 1) << "not fatal";
    EXPECT_EQ(MaxBrightnessVolumeTexture, nullptr);
    EXPECT_TRUE(LogHas(f.line));
    StopGraphics();
    EXPECT_EQ(D3D9LiveObjectCount(), 0);
  }
  D3D9SetAdapter(D3D9FullAdapter());
  D3D9FailCall(D3D9Call::VolumeLockBox, D3DERR_INVALIDCALL);
  StartGraphics(16);
  EXPECT_EQ(MaxBrightnessVolumeTexture, nullptr);
  EXPECT_TRUE(LogHas("RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャのロックに失敗しました"));
}

// ---------------------------------------------------------------- buffer and shader handles

template <typename Table>
ObjectHandle AddRecord(Table& table, int32_t elements, int32_t size) {
  using Record = std::remove_pointer_t<std::remove_reference_t<decltype(table.records[0])>>;
  auto* record = static_cast<Record*>(TrackedCalloc(sizeof(Record), __FILE__, __LINE__));
  const int32_t slot = table.FreeSlot();
  const ObjectHandle handle = table.Insert(slot, record);
  if constexpr (requires { record->copy; }) {
    record->handle = handle;
    record->elementCount = elements;
    record->elementSize = size;
    record->copy = static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(elements * size), __FILE__, __LINE__));
  }
  return handle;
}

TEST_F(D3DShaderTest, BufferHandles) {
  StartOn(D3D9FullAdapter());
  ObjectHandle handles[6];
  for (ObjectHandle& h : handles) h = AddRecord(VertexBufferTable, 4, 48);
  EXPECT_EQ(handles[5] & HandleKindBits, HandleKindVertexBuffer);
  for (int i = 2; i <= 4; ++i) EXPECT_EQ(DeleteVertexBuffer(handles[i]), 0);
  EXPECT_EQ(VertexBufferTable.top, 6u);
  EXPECT_EQ(DeleteVertexBuffer(handles[5]), 0);
  EXPECT_EQ(VertexBufferTable.top, 2u) << "the top comes down past the free slots";
  EXPECT_EQ(DeleteVertexBuffer(handles[5]), -1) << "a stale handle";
  EXPECT_EQ(DeleteIndexBuffer(handles[0]), -1) << "a handle of another kind";

  // Filling: within the elements only, into the copy and the Direct3D buffer.
  VertexBufferRecord* record = VertexBufferTable.Find(handles[0]);
  ASSERT_EQ(G_D3D_CreateVertexBufferObject(record), 0);
  ASSERT_NE(record->buffer, nullptr);
  uint8_t data[96];
  for (int i = 0; i < 96; ++i) data[i] = static_cast<uint8_t>(i + 1);
  D3D9ClearRecords();
  EXPECT_EQ(G_D3D_FillVertexBuffer(3, data, 2, handles[0]), -1);
  EXPECT_EQ(record->copy[3 * 48], 0) << "nothing written";
  EXPECT_EQ(G_D3D_FillVertexBuffer(-1, data, 1, handles[0]), -1);
  EXPECT_EQ(G_D3D_FillVertexBuffer(2, data, 2, handles[0]), 0);
  EXPECT_EQ(record->copy[2 * 48], 1);
  EXPECT_EQ(record->copy[4 * 48 - 1], 96);
  EXPECT_EQ(Sent(D3D9Call::BufferLock, {D3D9ObjectId(record->buffer), 96, 96}), 1);

  // A lock that fails is logged; a buffer that cannot be filled is not kept.
  D3D9FailCall(D3D9Call::BufferLock, D3DERR_INVALIDCALL);
  EXPECT_EQ(G_D3D_FillVertexBuffer(0, data, 1, handles[0]), -1);
  EXPECT_TRUE(LogHas("頂点バッファのロックに失敗しました"));
  G_D3D_ReleaseResourceObjects();
  EXPECT_EQ(record->buffer, nullptr);
  D3D9FailCall(D3D9Call::BufferLock, D3DERR_INVALIDCALL);
  EXPECT_EQ(G_D3D_CreateVertexBufferObject(record), -1);
  EXPECT_EQ(record->buffer, nullptr);
  // After a rebuild every record gets its buffer again.
  G_D3D_RecreateResourceObjects();
  EXPECT_NE(record->buffer, nullptr);

  const ObjectHandle index = AddRecord(IndexBufferTable, 6, 2);
  D3D9FailCall(D3D9Call::CreateIndexBuffer, D3DERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(G_D3D_CreateIndexBufferObject(IndexBufferTable.Find(index)), -1);
  EXPECT_TRUE(LogHas("インデックスバッファの作成に失敗しました"));
  // Shader records get their objects again after a rebuild, and lose them before.
  static const char kText[8] = "shader";
  const ObjectHandle shader = AddRecord(ShaderTable, 0, 0);
  ShaderRecord* shaderRecord = ShaderTable.Find(shader);
  shaderRecord->kind = 1;
  shaderRecord->code = reinterpret_cast<const DWORD*>(kText);
  G_D3D_RecreateResourceObjects();
  ASSERT_NE(shaderRecord->shader, nullptr);
  EXPECT_EQ(D3D9ShaderText(shaderRecord->shader), "shader");
  G_D3D_ReleaseResourceObjects();
  EXPECT_EQ(shaderRecord->shader, nullptr);
  // Graphics shut-down deletes them all (the fixture checks the memory).
  StopGraphics();
  EXPECT_EQ(VertexBufferTable.count, 0u);
  EXPECT_EQ(IndexBufferTable.count, 0u);
  EXPECT_EQ(ShaderTable.count, 0u);
}

}  // namespace
