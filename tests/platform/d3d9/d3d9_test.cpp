#include <gtest/gtest.h>

#include <cstring>

#include "platform/d3d9/d3d9_control.h"
#include "platform/win32/win32.h"

namespace {

// A windowed device of 64 x 48 at 16 bits on the full adapter, recorded.
class D3D9Test : public testing::Test {
 protected:
  void SetUp() override {
    PlatformUseVirtualClock(true, 1000000);
    D3D9SetAdapter(D3D9FullAdapter());
    D3D9SetRecording(true);
    ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d_), D3D_OK);
    ASSERT_EQ(d3d_->CreateDeviceEx(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MIXED_VERTEXPROCESSING, Parameters(),
                                   nullptr, &device_),
              D3D_OK);
  }
  void TearDown() override {
    if (device_ != nullptr) device_->Release();
    if (d3d_ != nullptr) d3d_->Release();
    EXPECT_EQ(D3D9LiveObjectCount(), 0);
    D3D9SetRecording(false);
    D3D9ResetAdapter();
    PlatformUseVirtualClock(false);
  }
  static D3DPRESENT_PARAMETERS* Parameters() {
    static D3DPRESENT_PARAMETERS p;
    std::memset(&p, 0, sizeof p);
    p.BackBufferWidth = 64;
    p.BackBufferHeight = 48;
    p.BackBufferFormat = D3DFMT_R5G6B5;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_COPY;
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    p.Windowed = TRUE;
    return &p;
  }
  IDirect3D9Ex* d3d_ = nullptr;
  IDirect3DDevice9Ex* device_ = nullptr;
};

TEST_F(D3D9Test, TheAdapterAnswersAsSet) {
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, 0, D3DRTYPE_TEXTURE, D3DFMT_DXT3), D3D_OK);
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE,
                                    D3DFMT_DXT3),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5),
            D3DERR_INVALIDCALL)
      << "no display format";
  EXPECT_EQ(d3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, D3DFMT_D24X8), D3D_OK);
  EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_R5G6B5), 4u);
  EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_A8R8G8B8), 0u);
  D3DCAPS9 caps{};
  EXPECT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(3, 0));

  D3D9AdapterSetup setup = D3D9FullAdapter();
  setup.displayMode.Format = D3DFMT_UNKNOWN;
  D3D9SetAdapter(setup);
  for (int bits : {16, 32}) {
    PlatformSetDesktopColorBits(bits);
    D3DDISPLAYMODE mode{};
    EXPECT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, bits == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8);
  }
  PlatformSetDesktopColorBits(0);
}

TEST_F(D3D9Test, TheModuleAndItsEntryPoints) {
  HMODULE module = LoadLibraryA("D3D9.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "Direct3DCreate9"), nullptr);
  EXPECT_NE(GetProcAddress(module, "Direct3DCreate9Ex"), nullptr);
  FreeLibrary(module);
  D3D9AdapterSetup setup = D3D9FullAdapter();
  setup.libraryPresent = false;
  D3D9SetAdapter(setup);
  EXPECT_EQ(LoadLibraryA("d3d9.dll"), nullptr);
  setup.libraryPresent = true;
  setup.create9Ex = false;
  D3D9SetAdapter(setup);
  IDirect3D9Ex* ex = nullptr;
  EXPECT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &ex), D3DERR_NOTAVAILABLE);
  IDirect3D9* plain = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(plain, nullptr);
  IDirect3DDevice9* device = nullptr;
  D3DPRESENT_PARAMETERS p = *Parameters();
  // The default adapter makes no device.
  D3D9ResetAdapter();
  EXPECT_EQ(plain->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
            D3DERR_NOTAVAILABLE);
  plain->Release();
}

TEST_F(D3D9Test, TexturesKeepTheirLevelsAndLocks) {
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(device_->CreateTexture(64, 32, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
  EXPECT_EQ(t->GetLevelCount(), 7u);
  D3DSURFACE_DESC desc{};
  EXPECT_EQ(t->GetLevelDesc(3, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 8u);
  EXPECT_EQ(desc.Height, 4u);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 16 * 8) << "sixteen 8-byte blocks a row";
  EXPECT_EQ(t->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "locked already";
  EXPECT_EQ(t->UnlockRect(0), D3D_OK);
  const RECT unaligned = {2, 0, 6, 4};
  EXPECT_EQ(t->LockRect(0, &locked, &unaligned, 0), D3DERR_INVALIDCALL);
  // A level surface shares the texture's count.
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(t->GetSurfaceLevel(1, &level), D3D_OK);
  const int live = D3D9LiveObjectCount();
  t->Release();
  EXPECT_EQ(D3D9LiveObjectCount(), live) << "the surface holds the texture";
  level->Release();
  EXPECT_EQ(D3D9LiveObjectCount(), live - 1);

  // Default-pool textures are not locked; they are filled from system memory.
  IDirect3DTexture9 *source = nullptr, *target = nullptr;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &source, nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr), D3D_OK);
  EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(source->LockRect(0, &locked, nullptr, 0), D3D_OK);
  static_cast<uint32_t*>(locked.pBits)[5] = 0x12345678;
  source->UnlockRect(0);
  EXPECT_EQ(device_->UpdateTexture(source, target), D3D_OK);
  EXPECT_EQ(device_->UpdateTexture(target, source), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(8192, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL)
      << "beyond the largest texture";
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
            D3DERR_INVALIDCALL);
  source->Release();
  target->Release();
}

TEST_F(D3D9Test, SurfacesCopyAndFill) {
  IDirect3DSurface9 *back = nullptr, *target = nullptr, *memory = nullptr;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device_->CreateRenderTarget(16, 16, D3DFMT_R5G6B5, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr), D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 16, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, &memory, nullptr), D3D_OK);
  const RECT part = {0, 0, 16, 16};
  EXPECT_EQ(device_->ColorFill(target, nullptr, 0xFFFF0000), D3D_OK);
  EXPECT_EQ(device_->StretchRect(back, &part, target, nullptr, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(device_->GetRenderTargetData(target, memory), D3D_OK);
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(target->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3DERR_INVALIDCALL) << "not lockable";
  ASSERT_EQ(memory->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(static_cast<uint16_t*>(locked.pBits)[17], 0x07E0) << "green in RGB565";
  memory->UnlockRect();
  ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK) << "a lockable back buffer";
  back->UnlockRect();
  EXPECT_EQ(device_->StretchRect(memory, nullptr, target, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  target->Release();
  memory->Release();
  back->Release();
}

TEST_F(D3D9Test, DrawsAreRecordedWithTheirStates) {
  const float triangle[3][5] = {{0, 0, 0, 1, 0}, {10, 0, 0, 1, 0}, {0, 10, 0, 1, 0}};
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 20), D3DERR_INVALIDCALL) << "outside a scene";
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
  device_->BeginScene();
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetTexture(0, t);
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 20), D3D_OK);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  const uint16_t indices[4] = {0, 1, 2, 0};
  EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_LINESTRIP, 0, 3, 3, indices, D3DFMT_INDEX16, triangle, 20), D3D_OK);
  device_->EndScene();
  ASSERT_EQ(D3D9Draws().size(), 2u);
  const D3D9DrawRecord& a = D3D9Draws()[0];
  EXPECT_EQ(a.vertexCount, 3u);
  EXPECT_EQ(a.vertices.size(), 60u);
  EXPECT_EQ(a.state.renderStates[D3DRS_ALPHABLENDENABLE], TRUE);
  EXPECT_EQ(a.state.textures[0], D3D9ObjectId(t));
  EXPECT_EQ(a.state.fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  EXPECT_EQ(D3D9Journal()[a.callIndex].call, D3D9Call::DrawPrimitiveUP);
  const D3D9DrawRecord& b = D3D9Draws()[1];
  EXPECT_EQ(b.state.renderStates[D3DRS_ALPHABLENDENABLE], FALSE);
  EXPECT_EQ(b.indices.size(), 8u);
  // The device holds what it was given until it lets go.
  const int live = D3D9LiveObjectCount();
  t->Release();
  EXPECT_EQ(D3D9LiveObjectCount(), live);
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(D3D9LiveObjectCount(), live - 1);
}

TEST_F(D3D9Test, FailuresOnDemand) {
  D3D9FailCall(D3D9Call::SetRenderState, D3DERR_DRIVERINTERNALERROR, 1, 2);
  EXPECT_EQ(device_->SetRenderState(D3DRS_ZENABLE, 1), D3D_OK);
  EXPECT_EQ(device_->SetRenderState(D3DRS_ZENABLE, 0), D3DERR_DRIVERINTERNALERROR);
  EXPECT_EQ(device_->SetRenderState(D3DRS_ZENABLE, 0), D3DERR_DRIVERINTERNALERROR);
  EXPECT_EQ(device_->SetRenderState(D3DRS_ZENABLE, 0), D3D_OK);
  EXPECT_EQ(D3D9CurrentState()->renderStates[D3DRS_ZENABLE], 0u);
  EXPECT_EQ(D3D9CallCount(D3D9Call::SetRenderState), 4);
  // A failed creation makes nothing.
  const int live = D3D9LiveObjectCount();
  D3D9FailCall(D3D9Call::CreateTexture, D3DERR_OUTOFVIDEOMEMORY);
  IDirect3DTexture9* t = nullptr;
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t, nullptr), D3DERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(D3D9LiveObjectCount(), live);
}

TEST_F(D3D9Test, ALostDeviceWaitsForAReset) {
  IDirect3DTexture9* target = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr),
            D3D_OK);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  D3D9SetDeviceLost(true);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  device_->BeginScene();
  const float point[5] = {0, 0, 0, 1, 0};
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, 20), D3D_OK);
  device_->EndScene();
  EXPECT_TRUE(D3D9Draws().empty()) << "dropped";
  EXPECT_EQ(device_->Reset(Parameters()), D3DERR_DEVICELOST);
  D3D9SetDeviceLost(false);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device_->Reset(Parameters()), D3DERR_INVALIDCALL) << "a default-pool texture is still held";
  target->Release();
  EXPECT_EQ(device_->Reset(Parameters()), D3D_OK);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(D3D9CurrentState()->renderStates[D3DRS_CULLMODE], D3DCULL_CCW) << "states back at their defaults";
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(D3D9Test, TheRasterStatusFollowsTheClock) {
  IDirect3DSwapChain9* chain = nullptr;
  ASSERT_EQ(device_->GetSwapChain(0, &chain), D3D_OK);
  int blanks = 0, lines = 0;
  BOOL last = FALSE;
  for (int i = 0; i < 400; ++i) {  // 40 ms of polls
    D3DRASTER_STATUS status{};
    ASSERT_EQ(chain->GetRasterStatus(&status), D3D_OK);
    if (status.InVBlank && !last) ++blanks;
    if (!status.InVBlank) lines = static_cast<int>(status.ScanLine) > lines ? static_cast<int>(status.ScanLine) : lines;
    last = status.InVBlank;
  }
  EXPECT_GE(blanks, 2);
  EXPECT_LE(blanks, 3);
  EXPECT_GT(lines, 40);
  EXPECT_LT(lines, 48);
  chain->Release();
}

TEST_F(D3D9Test, ShadersAndDeclarationsKeepWhatTheyWereMadeOf) {
  const char text[] = "void main() {}";
  DWORD code[8] = {};
  std::memcpy(code, text, sizeof text);
  IDirect3DVertexShader9* vs = nullptr;
  ASSERT_EQ(device_->CreateVertexShader(code, &vs), D3D_OK);
  EXPECT_EQ(D3D9ShaderText(vs), text);
  EXPECT_EQ(device_->CreateVertexShader(nullptr, &vs), D3DERR_INVALIDCALL);
  const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END};
  IDirect3DVertexDeclaration9* declaration = nullptr;
  ASSERT_EQ(device_->CreateVertexDeclaration(elements, &declaration), D3D_OK);
  EXPECT_EQ(D3D9DeclarationElements(declaration).size(), 1u);
  const float constants[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(device_->SetVertexShaderConstantF(254, constants, 2), D3D_OK);
  EXPECT_EQ(device_->SetVertexShaderConstantF(255, constants, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3D9VertexConstantF(255)[0], 5.0f);
  vs->Release();
  declaration->Release();
}

}  // namespace
