#include <cstring>

#include "library/core/main_window.h"
#include "library/core/timer.h"
#include "library/graphics/d3d9/d3d_buffers.h"
#include "tests/graphics/d3d9/d3d_fixture.h"

namespace {

using Formats = std::vector<D3DFORMAT>;

struct AdapterCase {
  const char* name;
  void (*change)(D3D9AdapterSetup*);
  int desktopBits;
  bool hardware;
  bool shaders;
  Formats rows;  // TextureD3DFormats 0 to 15
  std::vector<std::string> lines;  // patterns found somewhere in the log
};

const Formats kFullRows16 = {D3DFMT_R5G6B5,   D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8,
                             D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_DXT1,     D3DFMT_DXT2,
                             D3DFMT_DXT3,     D3DFMT_DXT4,     D3DFMT_DXT5,     D3DFMT_R5G6B5,
                             D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5,   D3DFMT_A1R5G5B5};

class D3DStartTest : public D3DTest {};

TEST_F(D3DStartTest, FullAdapterLogsEveryStepAndFormat) {
  StartOn(D3D9FullAdapter(), 16);
  ASSERT_EQ(HardwareActive, 1);
  ExpectLines(LogFrom("IDirect3D9Ex オブジェクトを取得します.... *"),
              {
                  "IDirect3D9Ex オブジェクトを取得します.... 成功",
                  "IDirect3DDevice9Ex オブジェクトを取得します.... ハードウエア頂点演算を使用します",
                  "成功",
                  "Driver:zrd3d9.dll  Description:ZR Direct3D 9 recording device",
                  "画面のフォーマットは D3DFMT_R5G6B5 です",
                  "Ｚバッファのフォーマットは D3DFMT_D16 です",
                  "16bit カラーフォーマットは D_D3DFMT_R5G6B5 です",
                  "32bit カラーフォーマットは D_D3DFMT_X8R8G8B8 です",
                  "アルファ付き 16bit カラーフォーマットは D_D3DFMT_A4R4G4B4 です",
                  "アルファ付き 32bit カラーフォーマットは D_D3DFMT_A8R8G8B8 です",
                  "アルファテスト用 16bit カラーフォーマットは D_D3DFMT_A1R5G5B5 です",
                  "アルファテスト用 32bit カラーフォーマットは D_D3DFMT_A8R8G8B8 です",
                  "ＤＸＴ１テクスチャフォーマットは D_D3DFMT_DXT1 です",
                  "ＤＸＴ２テクスチャフォーマットは D_D3DFMT_DXT2 です",
                  "ＤＸＴ３テクスチャフォーマットは D_D3DFMT_DXT3 です",
                  "ＤＸＴ４テクスチャフォーマットは D_D3DFMT_DXT4 です",
                  "ＤＸＴ５テクスチャフォーマットは D_D3DFMT_DXT5 です",
                  "描画用 16bit カラーフォーマットは D3DFMT_R5G6B5 です",
                  "描画用 32bit カラーフォーマットは D_D3DFMT_X8R8G8B8 です",
                  "描画用アルファ付き 32bit カラーフォーマットは D_D3DFMT_A8R8G8B8 です",
                  "バックバッファロック転送の時間:*nsec  一時的な描画可能バッファを使用した転送の時間:*nsec",
                  "バックバッファロックを使用*",
                  "Ｚバッファを作成します.... 成功",
                  "プログラマブルシェーダーを使用します",
              });
  // The device: the main window's screen, copy swap, a lockable back buffer,
  // no automatic depth buffer, mixed vertex processing, presents at once
  // only when not waiting for the vertical blank.
  const D3DPRESENT_PARAMETERS* p = D3D9DeviceParameters();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->BackBufferWidth, 64u);
  EXPECT_EQ(p->BackBufferHeight, 48u);
  EXPECT_EQ(p->SwapEffect, D3DSWAPEFFECT_COPY);
  EXPECT_EQ(p->Flags, D3DPRESENTFLAG_LOCKABLE_BACKBUFFER);
  EXPECT_EQ(p->Windowed, TRUE);
  EXPECT_EQ(p->EnableAutoDepthStencil, FALSE);
  EXPECT_EQ(p->PresentationInterval, D3DPRESENT_INTERVAL_ONE);
  EXPECT_EQ(D3D9DeviceBehaviour(), D3DCREATE_MIXED_VERTEXPROCESSING);
  // Three cleared frames are presented before the back buffer is taken.
  EXPECT_EQ(D3D9PresentCount(), 3);
  EXPECT_EQ(CanUseResultArg, 1);
  EXPECT_EQ(CanUseBlendOp, 1);
  EXPECT_EQ(MaxTextureSize, 4096);
  EXPECT_EQ(ScreenColorBits, 16);
  EXPECT_GE(RefreshPeriodMilliseconds, 16);
  EXPECT_LE(RefreshPeriodMilliseconds, 17);
}

// Typical adapters: the formats chosen, the fallbacks and the lines that
// tell them.
TEST_F(D3DStartTest, TypicalAdapters) {
  const AdapterCase cases[] = {
      {"every format", [](D3D9AdapterSetup*) {}, 16, true, true, kFullRows16, {"プログラマブルシェーダーを使用します"}},
      {"every format, 32-bit desktop", [](D3D9AdapterSetup*) {}, 32, true, true,
       {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_DXT1,
        D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5, D3DFMT_X1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8,
        D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8},
       {"画面のフォーマットは D3DFMT_X8R8G8B8 です", "描画用 16bit カラーフォーマットは D_D3DFMT_R5G5B5 です"}},
      {"no 32-bit textures",
       [](D3D9AdapterSetup* a) { Remove(&a->textureFormats, {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}); }, 16, true, true,
       {D3DFMT_R5G6B5, D3DFMT_R5G6B5, D3DFMT_A4R4G4B4, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_DXT1,
        D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5, D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8,
        D3DFMT_R5G6B5, D3DFMT_A1R5G5B5},
       {"32bit カラーフォーマットは D_D3DFMT_R5G6B5 です", "アルファ付き 32bit カラーフォーマットは D_D3DFMT_A4R4G4B4 です",
        "アルファテスト用 32bit カラーフォーマットは D_D3DFMT_A1R5G5B5 です"}},
      {"no shaders and no compressed textures",
       [](D3D9AdapterSetup* a) {
         a->caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
         a->caps.PixelShaderVersion = D3DPS_VERSION(1, 4);
         Remove(&a->textureFormats, {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5});
       },
       16, true, false,
       {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8,
        D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5,
        D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5},
       {"ＤＸＴ１テクスチャフォーマットは使えません", "ＤＸＴ５テクスチャフォーマットは使えません",
        "プログラマブルシェーダーを使用しません"}},
      {"16-bit X1R5G5B5 desktop",
       [](D3D9AdapterSetup* a) { a->displayMode.Format = D3DFMT_X1R5G5B5; }, 32, true, true,
       {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_DXT1,
        D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5, D3DFMT_X1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8,
        D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5},
       {"画面のフォーマットは D3DFMT_X1R5G5B5 です", "描画用 16bit カラーフォーマットは D_D3DFMT_R5G5B5 です"}},
      {"no render target with alpha",
       [](D3D9AdapterSetup* a) { Remove(&a->renderTargetFormats, {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4}); }, 16, true,
       true,
       {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_DXT1,
        D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5, D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, 0, D3DFMT_R5G6B5,
        D3DFMT_A1R5G5B5},
       {"使用できる描画用アルファ付き 32bit カラーフォーマットがありませんでした"}},
      {"device creation fails", [](D3D9AdapterSetup* a) { a->deviceCreation = false; }, 16, false, false, {},
       {"IDirect3DDevice9Ex オブジェクトを取得します.... Direct3DDevice9Ex の作成に失敗しました"}},
      {"no 16-bit alpha texture",
       [](D3D9AdapterSetup* a) { Remove(&a->textureFormats, {D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8}); }, 16, false, false,
       {}, {"使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした"}},
      {"no depth format", [](D3D9AdapterSetup* a) { a->depthFormats.clear(); }, 16, false, false, {},
       {"使用できる Zバッファフォーマットが見つかりませんでした"}},
      {"only Direct3DCreate9", [](D3D9AdapterSetup* a) { a->create9Ex = false; }, 16, true, true, kFullRows16,
       {"IDirect3D9Ex オブジェクトを取得します.... IDirect3D9 オブジェクトを取得します.... 成功",
        "IDirect3DDevice9 オブジェクトを取得します.... ハードウエア頂点演算を使用します"}},
      {"hardware vertex processing refused",
       [](D3D9AdapterSetup* a) { a->hardwareVertexProcessing = false; }, 16, true, false, kFullRows16,
       {"IDirect3DDevice9Ex オブジェクトを取得します.... ソフトウエア頂点演算を使用します",
        "プログラマブルシェーダーを使用しません"}},
  };
  for (const AdapterCase& c : cases) {
    SCOPED_TRACE(c.name);
    StartScratchLog();
    StartOn(AdapterWith(c.change), c.desktopBits);
    EXPECT_EQ(HardwareActive, c.hardware ? 1 : 0);
    EXPECT_EQ(ShadersInUse, c.shaders ? 1 : 0);
    if (c.hardware) {
      for (size_t row = 0; row < c.rows.size(); ++row)
        EXPECT_EQ(TextureD3DFormats[row], c.rows[row]) << "row " << row;
    } else {
      // The software renderer draws instead, and no Direct3D object is held.
      EXPECT_TRUE(IsMemImgValid(&ScreenMemImg));
      EXPECT_EQ(Direct3DDevice, nullptr);
      EXPECT_EQ(Direct3DObject, nullptr);
      EXPECT_EQ(D3D9LiveObjectCount(), 0);
    }
    if (!c.shaders) {
      EXPECT_EQ(ShaderCodeBlock, nullptr) << "the pack is unpacked only for shaders";
    }
    for (const std::string& line : c.lines) EXPECT_TRUE(LogHas(line)) << SjisForPrint(line);
    StopGraphics();
    EXPECT_EQ(D3D9LiveObjectCount(), 0);
  }
}

// A windowed device takes the desktop's depth; when no device is made, the
// software renderer keeps the depth asked for.
TEST_F(D3DStartTest, WithoutADeviceTheScreenKeepsTheDepthAskedFor) {
  StartOn(D3D9FullAdapter(), 32);
  EXPECT_EQ(ScreenColorBits, 32);
  StopGraphics();
  for (const bool created : {false, true}) {
    PlatformSetDesktopColorBits(32);
    D3D9SetAdapter(AdapterWith([](D3D9AdapterSetup* a) { a->depthFormats.clear(); }));
    if (created) D3D9SetAdapter(D3D9FullAdapter());
    ScreenWidth = 64;
    ScreenHeight = 48;
    ScreenColorBits = 16;
    WindowedMode = 1;
    ASSERT_EQ(InitGraphicsSystem(), 0);
    EXPECT_EQ(HardwareActive, created ? 1 : 0);
    EXPECT_EQ(ScreenColorBits, created ? 32 : 16);
    if (!created) {
      EXPECT_EQ(ScreenMemImg.buffer->depthKind, MemImgDepth16);
    }
    EndGraphicsSystem();
  }
}

TEST_F(D3DStartTest, CreationRetriesWithSoftwareVertexProcessingOnce) {
  StartOn(AdapterWith([](D3D9AdapterSetup* a) { a->deviceCreation = false; }));
  EXPECT_EQ(D3D9CallCount(D3D9Call::CreateDeviceEx), 2);
  const std::vector<D3D9CallRecord> calls = D3D9JournalOf(D3D9Call::CreateDeviceEx);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args[2], D3DCREATE_MIXED_VERTEXPROCESSING);
  EXPECT_EQ(calls[1].args[2], D3DCREATE_SOFTWARE_VERTEXPROCESSING);
  EXPECT_EQ(ShaderModel2Capable, 0);
}

// Any call of device creation that fails leaves no Direct3D object behind:
// the device's swap chain and back buffer go with it.
TEST_F(D3DStartTest, AFailureAnywhereInCreationReleasesEverything) {
  const D3D9Call calls[] = {D3D9Call::Direct3DCreate9Ex,  D3D9Call::CreateDeviceEx, D3D9Call::GetBackBuffer,
                            D3D9Call::GetSwapChain,       D3D9Call::CheckDepthStencilMatch,
                            D3D9Call::CreateDepthStencilSurface};
  for (D3D9Call call : calls) {
    SCOPED_TRACE(D3D9CallName(call));
    D3D9SetAdapter(D3D9FullAdapter());
    // Every call of the kind fails (the 9Ex object falls back to the plain one).
    D3D9FailCall(call, D3DERR_OUTOFVIDEOMEMORY, 0, -1);
    StartGraphics(16);
    if (call == D3D9Call::Direct3DCreate9Ex) {
      EXPECT_EQ(HardwareActive, 1);
      EXPECT_EQ(Direct3DObjectEx, nullptr);
    } else {
      EXPECT_EQ(HardwareActive, 0);
      EXPECT_EQ(D3D9LiveObjectCount(), 0);
    }
    StopGraphics();
    EXPECT_EQ(D3D9LiveObjectCount(), 0);
  }
}

TEST_F(D3DStartTest, ZBufferAndReadBackSizes) {
  StartOn(D3D9FullAdapter(), 16, 640, 480);
  D3DSURFACE_DESC desc{};
  ASSERT_TRUE(D3D9DescribeObject(D3DZBuffer, &desc, nullptr, nullptr));
  EXPECT_EQ(desc.Width, 1024u);
  EXPECT_EQ(desc.Height, 512u);
  EXPECT_EQ(desc.Format, D3DFMT_D16);
  // A 256 x 256 square is read back three times, each way.
  EXPECT_EQ(Sent(D3D9Call::CreateRenderTarget, {256, 256, D3DFMT_R5G6B5, FALSE}), 3);
  StopGraphics();

  StartOn(D3D9FullAdapter(), 16, 200, 150);
  EXPECT_EQ(Sent(D3D9Call::CreateRenderTarget, {128, 128, D3DFMT_R5G6B5, FALSE}), 3);
  ASSERT_TRUE(D3D9DescribeObject(D3DZBuffer, &desc, nullptr, nullptr));
  EXPECT_EQ(desc.Width, 256u);
  EXPECT_EQ(desc.Height, 256u);
}

TEST_F(D3DStartTest, TheWorkBackBuffer) {
  StartOn(D3D9FullAdapter(), 32, 320, 200);
  ASSERT_EQ(G_D3D_CreateWorkBackBuffer(), 0);
  D3DSURFACE_DESC desc{};
  ASSERT_TRUE(D3D9DescribeObject(D3DWorkBackBuffer, &desc, nullptr, nullptr));
  EXPECT_EQ(desc.Width, 320u);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(desc.Usage, D3DUSAGE_RENDERTARGET);
  D3D9FailCall(D3D9Call::CreateRenderTarget, D3DERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(G_D3D_CreateWorkBackBuffer(), -1);
  EXPECT_EQ(D3DWorkBackBuffer, nullptr);
  EXPECT_TRUE(LogHas("サブバックバッファの作成に失敗しました"));
}

TEST_F(D3DStartTest, AFailingReadBackIsNotFatal) {
  D3D9SetAdapter(D3D9FullAdapter());
  D3D9FailCall(D3D9Call::GetRenderTargetData, D3DERR_DEVICELOST, 0, -1);
  StartGraphics(16);
  EXPECT_EQ(HardwareActive, 1);
  EXPECT_EQ(BackBufferLockPreferred, 0);
  EXPECT_TRUE(LogHas("バックバッファロックはロックできません"));
}

TEST_F(D3DStartTest, TheSmallerTextureSideLimitsTextures) {
  StartOn(AdapterWith([](D3D9AdapterSetup* a) {
    a->caps.MaxTextureWidth = 4096;
    a->caps.MaxTextureHeight = 2048;
  }));
  EXPECT_EQ(MaxTextureSize, 2048);
  StopGraphics();
  StartOn(AdapterWith([](D3D9AdapterSetup* a) {
    a->caps.MaxTextureWidth = 0;
    a->caps.MaxTextureHeight = 1024;
  }));
  EXPECT_EQ(MaxTextureSize, 256);
}

// A display whose raster status never shows a blank does not hold start-up:
// each wait gives up after its time limit, and the period stays unknown.
TEST_F(D3DStartTest, TheRefreshMeasurementIsBounded) {
  int64_t before = GetMicrosecondCount(0);
  StartOn(D3D9FullAdapter());
  const int64_t usual = GetMicrosecondCount(0) - before;
  StopGraphics();
  before = GetMicrosecondCount(0);
  StartOn(AdapterWith([](D3D9AdapterSetup* a) { a->verticalBlankReported = false; }));
  EXPECT_EQ(HardwareActive, 1);
  EXPECT_EQ(RefreshPeriodMilliseconds, 0);
  // One wait that gives up after its limit, in place of two periods.
  EXPECT_LT(GetMicrosecondCount(0) - before - usual, 150000);
}

TEST_F(D3DStartTest, D3DColorFormats) {
  struct Case {
    D3DFORMAT format;
    int bits;
    uint32_t red, green, blue, alpha;
  };
  const Case cases[] = {
      {D3DFMT_R8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},
      {D3DFMT_A4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0xF000},
      {D3DFMT_A8R3G3B2, 16, 0xE0, 0x1C, 0x3, 0xFF00},
      {D3DFMT_A2B10G10R10, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
      {D3DFMT_A2R10G10B10, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
  };
  for (const Case& c : cases) {
    const ColorFormat* f = GetD3DColorFormat(c.format);
    ASSERT_NE(f, nullptr) << c.format;
    EXPECT_EQ(f->colorBits, c.bits);
    EXPECT_EQ(f->redMask, c.red);
    EXPECT_EQ(f->greenMask, c.green);
    EXPECT_EQ(f->blueMask, c.blue);
    EXPECT_EQ(f->alphaMask, c.alpha);
  }
  EXPECT_EQ(GetD3DColorFormat(D3DFMT_DXT1), nullptr);
  EXPECT_EQ(GetD3DColorFormat(D3DFMT_D16), nullptr);
}

TEST_F(D3DStartTest, WithoutTheModuleGraphicsDoNotStart) {
  D3D9SetAdapter(AdapterWith([](D3D9AdapterSetup* a) { a->libraryPresent = false; }));
  ScreenWidth = 64;
  ScreenHeight = 48;
  ScreenColorBits = 16;
  WindowedMode = 1;
  EXPECT_EQ(InitGraphicsSystem(), -1);
  EXPECT_EQ(GraphicsInitialised, 0);
  EXPECT_TRUE(LogHas("d3d9.dll の読み込みに失敗しました"));
}

// An adapter without hardware rasterisation (a processor drawing behind
// Direct3D, as Mesa's llvmpipe does) gets no device: the software path is
// taken, and the log names the adapter and the choice.
TEST_F(D3DStartTest, WithoutHardwareRasterisationTheSoftwarePathIsTaken) {
  StartOn(AdapterWith([](D3D9AdapterSetup* a) { a->caps.DevCaps = 0; }), 32);
  EXPECT_EQ(HardwareActive, 0);
  EXPECT_EQ(D3D9CallCount(D3D9Call::CreateDeviceEx), 0);
  EXPECT_EQ(D3D9CallCount(D3D9Call::CreateDevice), 0);
  EXPECT_EQ(Direct3DObject, nullptr);
  EXPECT_EQ(ScreenColorBits, 32);
  ASSERT_NE(ScreenMemImg.buffer, nullptr);
  EXPECT_TRUE(LogHas("Driver:zrd3d9.dll  Description:ZR Direct3D 9 recording device"));
  EXPECT_TRUE(LogHas("描画デバイスはハードウエアラスタライズを行いません ソフトウエアレンダラを使用します"));
  StopGraphics();
  EXPECT_EQ(D3D9LiveObjectCount(), 0);
}

TEST_F(D3DStartTest, SoftwareOnlyNeverTriesDirect3D) {
  SoftwareOnlyFlag = 1;
  StartOn(D3D9FullAdapter());
  SoftwareOnlyFlag = 0;
  EXPECT_EQ(HardwareActive, 0);
  EXPECT_EQ(D3D9CallCount(D3D9Call::Direct3DCreate9Ex), 0);
  EXPECT_EQ(D3D9CallCount(D3D9Call::Direct3DCreate9), 0);
}

}  // namespace

namespace {

// Full screen: the back buffer's format follows the requested depth (16 bits
// as R5G6B5 when the adapter has such modes, else X1R5G5B5), and the 9Ex
// device gets its display mode.
TEST_F(D3DStartTest, FullScreenDevices) {
  struct Case {
    const char* name;
    int bits;
    bool r565Modes;
    D3DFORMAT format;
  };
  const Case cases[] = {{"32 bits", 32, true, D3DFMT_X8R8G8B8},
                        {"16 bits", 16, true, D3DFMT_R5G6B5},
                        {"16 bits without R5G6B5 modes", 16, false, D3DFMT_X1R5G5B5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    D3D9AdapterSetup adapter = D3D9FullAdapter();
    if (!c.r565Modes) Remove(&adapter.modeFormats, {D3DFMT_R5G6B5});
    D3D9SetAdapter(adapter);
    ScreenWidth = 640;
    ScreenHeight = 480;
    ScreenColorBits = c.bits;
    ScreenRefreshRate = 75;
    WindowedMode = 0;
    ASSERT_EQ(InitGraphicsSystem(), 0);
    EXPECT_EQ(HardwareActive, 1);
    const D3DPRESENT_PARAMETERS* p = D3D9DeviceParameters();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Windowed, FALSE);
    EXPECT_EQ(p->BackBufferFormat, c.format);
    EXPECT_EQ(p->FullScreen_RefreshRateInHz, 75u);
    EXPECT_EQ(ScreenColorBits, c.bits);
    EndGraphicsSystem();
    ScreenRefreshRate = 0;
    WindowedMode = 1;
  }
}

TEST_F(D3DStartTest, AnUnsupportedFullScreenDepthMakesNoDevice) {
  ScreenWidth = 640;
  ScreenHeight = 480;
  ScreenColorBits = 24;
  WindowedMode = 0;
  EXPECT_EQ(InitGraphicsSystem(), -1) << "the software path cannot change to 24 bits either";
  WindowedMode = 1;
  EXPECT_TRUE(LogHas("非対応のバックバッファービット深度が指定されました"));
  EXPECT_EQ(D3D9CallCount(D3D9Call::CreateDeviceEx), 0);
  EXPECT_EQ(D3D9LiveObjectCount(), 0);
}

}  // namespace
