// The device lost between two frames: the frame that finds it lost is
// dropped, and once the device can be had again every graph, font and the
// mask screen come back from their sources, so that the next frame records
// the same draws as before. A graph whose file is gone stays empty alone.
#include <cstdio>
#include <cstring>

#include <algorithm>

#include "library/graphics/d3d9/d3d_draw.h"
#include "library/graphics/draw_api.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/mask_screen.h"
#include "library/input/input_devices.h"
#include "library/text/font_handle.h"
#include "library/text/text_draw.h"
#include "tests/graphics/d3d9/d3d_fixture.h"

namespace {

Bytes Bmp(int width, int height, uint32_t seed) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.pixels = PackRows(width, height, 24, false, [&](int x, int y) { return Hash(x, y, seed) | 0x404040; });
  return MakeBmp(layout);
}

// The texels of level 0 of a graph texture found by its id (through its
// staging copy), or empty when no graph has it.
std::vector<uint8_t> TextureBytes(uint32_t id) {
  for (uint32_t slot = 0; slot < GraphHandleTable.top; ++slot) {
    const GraphRecord* g = GraphHandleTable.records[slot];
    if (g == nullptr || g->surface == nullptr) continue;
    for (int32_t i = 0; i < g->surface->pieceCount; ++i) {
      const TexturePiece& p = g->surface->pieces[i];
      if (D3D9ObjectId(p.texture) != id) continue;
      IDirect3DTexture9* t = p.staging != nullptr ? p.staging : p.texture;
      D3DLOCKED_RECT locked{};
      if (t->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) < 0) return {};
      const auto* b = static_cast<const uint8_t*>(locked.pBits);
      std::vector<uint8_t> out(b, b + static_cast<size_t>(locked.Pitch) * p.textureHeight);
      t->UnlockRect(0);
      return out;
    }
  }
  return {};
}

std::vector<uint8_t> MaskTexels() {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  IDirect3DTexture9* t = G_D3D_MaskImageTexture(&format);
  if (t == nullptr) return {};
  D3DLOCKED_RECT locked{};
  if (t->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) < 0) return {};
  D3DSURFACE_DESC desc{};
  t->GetLevelDesc(0, &desc);
  const auto* b = static_cast<const uint8_t*>(locked.pBits);
  std::vector<uint8_t> out(b, b + static_cast<size_t>(locked.Pitch) * desc.Height);
  t->UnlockRect(0);
  return out;
}

// A recorded draw as the next frame must repeat it: its vertices, its
// states without the objects' ids, and the texels of its graph textures.
struct DrawCopy {
  D3DPRIMITIVETYPE type;
  UINT primitives, stride;
  std::vector<uint8_t> vertices;
  D3D9DeviceState state;
  std::vector<std::vector<uint8_t>> textures;
};

std::vector<DrawCopy> CopyDraws() {
  std::vector<DrawCopy> out;
  for (const D3D9DrawRecord& d : D3D9Draws()) {
    DrawCopy c{d.type, d.primitiveCount, d.stride, d.vertices, d.state, {}};
    for (uint32_t& id : c.state.textures) {
      c.textures.push_back(TextureBytes(id));
      id = id != 0 ? 1 : 0;
    }
    c.state.renderTarget = c.state.depthStencil = 0;
    out.push_back(std::move(c));
  }
  return out;
}

class D3DRestoreTest : public D3DTest {
 protected:
  // Frames are presented in the main window.
  void SetUp() override {
    D3DTest::SetUp();
    ASSERT_EQ(CreateMainWindow(), 0);
  }
  void TearDown() override {
    StopGraphics();
    EndInputSystem();  // started again by the restore
    DestroyMainWindow();
    // The next test has no window, and none closed.
    MainWindowClosed = 0;
    QuitRequested = 0;
    D3DTest::TearDown();
  }

  struct Scene {
    ObjectHandle picture = -1, cells[2] = {-1, -1}, gone = -1, font = -1, mask = -1;
  };

  static Scene Load() {
    Scene s;
    WriteFileBytes("picture.bmp", Bmp(40, 30, 1));
    WriteFileBytes("cells.bmp", Bmp(64, 32, 2));
    WriteFileBytes("gone.bmp", Bmp(20, 20, 3));
    s.picture = LoadGraphFile("picture.bmp", 0);
    EXPECT_EQ(LoadDividedGraph("cells.bmp", 2, 2, 1, 32, 32, s.cells, 0), 0);
    s.gone = LoadGraphFile("gone.bmp", 0);
    s.font = CreateFontToHandle(nullptr, 20, -1, 1, -1, 2, -1, -1, -1);
    MakeMaskScreen();
    s.mask = CreateMaskData(16, 16);
    for (int i = 0; i < 16 * 16; i += 3) MaskTable[s.mask & 0xFFFF].bytes[i] = 0xFF;
    DrawMaskData(100, 100, s.mask, 2);
    EnableMaskScreen(0);
    return s;
  }

  // One frame of the game's kind: clear, graphs, text, a draw through the
  // mask screen, shapes, present.
  static int Frame(const Scene& s) {
    ClearDrawTarget(nullptr);
    SetDrawBlend(1, 200);
    SetDrawBrightness(250, 240, 230);
    DrawGraphAt(10, 10, s.picture, 1);
    DrawGraphRotated(120, 60, 1.0, 0.5, s.cells[0], 1, 0);
    DrawGraphAt(200, 10, s.cells[1], 1);
    DrawGraphAt(300, 10, s.gone, 1);
    DrawTextToHandle(10, 200, "Restore テスト", MakeScreenColor(255, 255, 0), s.font, MakeScreenColor(0, 0, 255), 0);
    EnableMaskScreen(1);
    FillRectangleShape(90, 90, 130, 130, MakeScreenColor(0, 255, 0));
    EnableMaskScreen(0);
    DrawCircleShape(400, 300, 30, MakeScreenColor(255, 0, 0), 1);
    SetDrawBlend(0, 0);
    SetDrawBrightness(255, 255, 255);
    return PresentScreen();
  }
};

TEST_F(D3DRestoreTest, EverythingComesBackAndTheNextFrameIsTheSame) {
  StartOn(D3D9FullAdapter(), 32, 640, 480);
  SelectDrawTarget(BackScreenHandle);
  const Scene s = Load();
  ASSERT_NE(s.gone, -1);
  Frame(s);  // the glyphs are cached by the first frame
  D3D9ClearRecords();
  ASSERT_EQ(Frame(s), 0);
  const std::vector<DrawCopy> before = CopyDraws();
  const std::vector<uint8_t> maskBefore = MaskTexels();
  ASSERT_GE(before.size(), 6u);
  ASSERT_FALSE(maskBefore.empty());
  const ObjectHandle goneTexture = D3D9ObjectId(GetGraphRecordChecked(s.gone)->drawPieces[0].piece->texture);
  size_t goneDraw = before.size();
  for (size_t i = 0; i < before.size(); ++i)
    if (!before[i].textures.empty() && before[i].textures[0] == TextureBytes(static_cast<uint32_t>(goneTexture)))
      goneDraw = i;
  ASSERT_LT(goneDraw, before.size());

  // Lost between two frames: the next frame finds it at its present and is dropped.
  D3D9SetDeviceLost(true);
  D3D9ClearRecords();
  EXPECT_EQ(Frame(s), -1);
  EXPECT_TRUE(D3D9Draws().empty());
  EXPECT_EQ(D3DDeviceLost, 1);
  EXPECT_EQ(Frame(s), -1) << "still lost: nothing is drawn";
  EXPECT_TRUE(D3D9Draws().empty());

  // The device can be had again, and one file is gone meanwhile.
  std::remove((TestScratchDir() + "/gone.bmp").c_str());
  D3D9SetDeviceLost(false);
  D3D9ClearRecords();
  ASSERT_EQ(Frame(s), 0);
  EXPECT_EQ(D3DDeviceLost, 0);
  EXPECT_EQ(HardwareActive, 1);
  EXPECT_TRUE(LogHas("ファイル:*gone.bmp がロードできませんでした"));
  std::vector<DrawCopy> after = CopyDraws();
  // The new device's defaults queue their one point, drawn first.
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after[0].type, D3DPT_POINTLIST);
  EXPECT_EQ(after[0].primitives, 1u);
  after.erase(after.begin());
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    SCOPED_TRACE(i);
    const DrawCopy &a = before[i], &b = after[i];
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.primitives, b.primitives);
    EXPECT_EQ(a.vertices, b.vertices);
    for (UINT k = 0; k < D3D9RenderStateCount; ++k)
      EXPECT_EQ(a.state.renderStates[k], b.state.renderStates[k]) << "render state " << k;
    for (UINT t = 0; t < D3D9TextureStageCount; ++t)
      for (UINT k = 0; k < D3D9TextureStageStateCount; ++k)
        EXPECT_EQ(a.state.textureStageStates[t][k], b.state.textureStageStates[t][k]) << "stage " << t << " state " << k;
    for (UINT t = 0; t < D3D9SamplerCount; ++t)
      for (UINT k = 0; k < D3D9SamplerStateCount; ++k)
        EXPECT_EQ(a.state.samplerStates[t][k], b.state.samplerStates[t][k]) << "sampler " << t << " state " << k;
    EXPECT_EQ(std::memcmp(a.state.textures, b.state.textures, sizeof a.state.textures), 0);
    EXPECT_EQ(a.state.fvf, b.state.fvf);
    EXPECT_EQ(std::memcmp(&a.state.viewport, &b.state.viewport, sizeof a.state.viewport), 0);
    if (i == goneDraw) {
      // Its source is gone: the graph keeps its handle and an empty texture.
      ASSERT_FALSE(b.textures[0].empty());
      EXPECT_TRUE(std::all_of(b.textures[0].begin(), b.textures[0].end(), [](uint8_t v) { return v == 0; }));
      continue;
    }
    EXPECT_EQ(a.textures, b.textures) << "the texels came back";
  }
  EXPECT_EQ(MaskTexels(), maskBefore) << "the mask drawn so far came back";
  EXPECT_NE(GetFontHandleRecord(s.font), nullptr) << "the font handle stays valid";
}

// Without a device the restore waits: draws stay dropped and the next
// present tries again.
TEST_F(D3DRestoreTest, ADeviceThatCannotBeMadeIsTriedAgain) {
  StartOn(D3D9FullAdapter(), 32, 640, 480);
  SelectDrawTarget(BackScreenHandle);
  WriteFileBytes("picture.bmp", Bmp(40, 30, 1));
  const ObjectHandle picture = LoadGraphFile("picture.bmp", 0);
  D3D9SetDeviceLost(true);
  EXPECT_EQ(PresentScreen(), -1);
  D3D9SetDeviceLost(false);
  D3D9FailCall(D3D9Call::CreateDeviceEx, D3DERR_NOTAVAILABLE, 0, 2);
  D3D9FailCall(D3D9Call::CreateDevice, D3DERR_NOTAVAILABLE, 0, 2);
  EXPECT_EQ(PresentScreen(), -1);
  EXPECT_EQ(HardwareActive, 1);
  EXPECT_EQ(D3DDeviceLost, 1);
  EXPECT_EQ(DrawGraphAt(0, 0, picture, 1), -1);
  D3D9ClearFailures();
  EXPECT_EQ(PresentScreen(), 0);
  EXPECT_EQ(D3DDeviceLost, 0);
  D3D9ClearRecords();
  EXPECT_EQ(DrawGraphAt(0, 0, picture, 1), 0);
  G_D3D_FlushVertexBatch();
  ASSERT_EQ(D3D9Draws().size(), 1u);
  EXPECT_FALSE(TextureBytes(D3D9Draws()[0].state.textures[0]).empty());
}

}  // namespace
