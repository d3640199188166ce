// The drawing device: the stand-in's work carried out through OpenGL 3.3
// core on a window of a private X server (Mesa's software rasteriser), read
// back through the device's own locks. Clears, copies and format widening
// are exact; stage arithmetic is checked against its formula; blending
// within one step of the 8-bit result, as a GPU rounds its products.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9_control.h"
#include "platform/d3d9/dxt_decode.h"
#include "platform/d3d9/gl_probe.h"
#include "platform/win32/sdl_window.h"
#include "platform/win32/win32.h"
#include "platform/win32/win32_system.h"
#include "tests/support/gl_display.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;
constexpr DWORD kTexturedFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Vertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
  float u, v;
};

HWND MakeWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = DefWindowProcA;
    c.lpszClassName = "ZrGlTest";
    RegisterClassExA(&c);
    registered = true;
  }
  return CreateWindowExA(0, "ZrGlTest", "ZR OpenGL device test", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr,
                         nullptr, nullptr);
}

D3DPRESENT_PARAMETERS Parameters(HWND window, UINT interval = D3DPRESENT_INTERVAL_IMMEDIATE) {
  D3DPRESENT_PARAMETERS p;
  std::memset(&p, 0, sizeof p);
  p.BackBufferWidth = kWidth;
  p.BackBufferHeight = kHeight;
  p.BackBufferFormat = D3DFMT_X8R8G8B8;
  p.BackBufferCount = 1;
  p.SwapEffect = D3DSWAPEFFECT_COPY;
  p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  p.Windowed = TRUE;
  p.hDeviceWindow = window;
  p.PresentationInterval = interval;
  return p;
}

// A quad of the whole of a texture at (x, y), w x h pixels, texels on pixels.
void Quad(Vertex* v, float x, float y, float w, float h, D3DCOLOR colour) {
  const float l = x - 0.5f, t = y - 0.5f, r = l + w, b = t + h;
  const Vertex corners[4] = {{l, t, 0, 1, colour, 0, 0}, {r, t, 0, 1, colour, 1, 0}, {l, b, 0, 1, colour, 0, 1},
                             {r, b, 0, 1, colour, 1, 1}};
  static const int kOrder[6] = {0, 1, 2, 3, 2, 1};
  for (int i = 0; i < 6; ++i) v[i] = corners[kOrder[i]];
}

// A channel of `bits` widened to 8 by repeating its bits, as texture units
// read narrow formats.
uint32_t Channel(uint32_t v, int shift, int bits) {
  const uint32_t c = v >> shift & ((1u << bits) - 1);
  uint32_t out = 0;
  for (int filled = 0; filled < 8; filled += bits) out |= filled + bits <= 8 ? c << (8 - filled - bits) : c >> (filled + bits - 8);
  return out;
}

// A texel of a plain format as 0xAARRGGBB, each channel widened as a
// texture unit reads it; formats without alpha read it as 255.
uint32_t Widened(D3DFORMAT f, uint32_t v) {
  switch (f) {
    case D3DFMT_R5G6B5:
      return 0xFF000000u | Channel(v, 11, 5) << 16 | Channel(v, 5, 6) << 8 | Channel(v, 0, 5);
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      return (f == D3DFMT_X1R5G5B5 || (v & 0x8000) ? 0xFF000000u : 0) | Channel(v, 10, 5) << 16 |
             Channel(v, 5, 5) << 8 | Channel(v, 0, 5);
    case D3DFMT_A4R4G4B4:
      return Channel(v, 12, 4) << 24 | Channel(v, 8, 4) << 16 | Channel(v, 4, 4) << 8 | Channel(v, 0, 4);
    case D3DFMT_X8R8G8B8:
      return v | 0xFF000000u;
    default:
      return v;
  }
}

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

class GlDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display_.Start()) << "no X server (scripts/setup.sh installs Xvfb and Mesa)";
    D3D9SetAdapter(D3D9OpenGLAdapter());
    window_ = MakeWindow();
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d_), D3D_OK);
    MakeDevice(D3DPRESENT_INTERVAL_IMMEDIATE);
  }
  void TearDown() override {
    ReleaseDevice();
    if (d3d_ != nullptr) d3d_->Release();
    if (window_ != nullptr) DestroyWindow(window_);
    EXPECT_EQ(D3D9LiveObjectCount(), 0);
    D3D9ResetAdapter();
  }

  void MakeDevice(UINT interval) {
    D3DPRESENT_PARAMETERS p = Parameters(window_, interval);
    ASSERT_EQ(d3d_->CreateDeviceEx(0, D3DDEVTYPE_HAL, window_, D3DCREATE_MIXED_VERTEXPROCESSING, &p, nullptr, &device_),
              D3D_OK)
        << D3D9ExecutorError();
    ASSERT_TRUE(D3D9DeviceExecutes());
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back_), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
  }
  void ReleaseDevice() {
    if (back_ != nullptr) back_->Release();
    if (device_ != nullptr) device_->Release();
    back_ = nullptr;
    device_ = nullptr;
  }

  // A managed texture of the format whose level 0 holds fill(x, y) (raw).
  IDirect3DTexture9* Texture(D3DFORMAT f, UINT w, UINT h, const std::function<uint32_t(UINT, UINT)>& fill) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(device_->CreateTexture(w, h, 1, 0, f, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
    const UINT bytes = f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8 ? 4 : 2;
    for (UINT y = 0; y < h; ++y)
      for (UINT x = 0; x < w; ++x) {
        const uint32_t v = fill(x, y);
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * bytes, &v, bytes);
      }
    t->UnlockRect(0);
    return t;
  }

  // One stage: the colour and alpha operations with their arguments.
  void Stage(DWORD stage, DWORD colorOp, DWORD c1, DWORD c2, DWORD alphaOp, DWORD a1, DWORD a2) {
    device_->SetTextureStageState(stage, D3DTSS_COLOROP, colorOp);
    device_->SetTextureStageState(stage, D3DTSS_COLORARG1, c1);
    device_->SetTextureStageState(stage, D3DTSS_COLORARG2, c2);
    device_->SetTextureStageState(stage, D3DTSS_ALPHAOP, alphaOp);
    device_->SetTextureStageState(stage, D3DTSS_ALPHAARG1, a1);
    device_->SetTextureStageState(stage, D3DTSS_ALPHAARG2, a2);
  }
  void Blend(bool on, DWORD src = D3DBLEND_ONE, DWORD dest = D3DBLEND_ZERO, DWORD op = D3DBLENDOP_ADD) {
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, on);
    device_->SetRenderState(D3DRS_SRCBLEND, src);
    device_->SetRenderState(D3DRS_DESTBLEND, dest);
    device_->SetRenderState(D3DRS_BLENDOP, op);
  }
  // The texture drawn 1:1 at (x, y).
  void DrawTexture(IDirect3DBaseTexture9* t, float x, float y, float w, float h, D3DCOLOR colour = 0xFFFFFFFFu) {
    Vertex v[6];
    Quad(v, x, y, w, h, colour);
    device_->SetTexture(0, t);
    device_->SetFVF(kTexturedFvf);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(Vertex)), D3D_OK);
  }
  void Clear(D3DCOLOR colour) { ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK); }

  // The back buffer, read through its lock (0x00RRGGBB).
  std::vector<uint32_t> Frame() {
    std::vector<uint32_t> out(kWidth * kHeight);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(back_->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        uint32_t v;
        std::memcpy(&v, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + 4 * x, 4);
        out[y * kWidth + x] = v & 0xFFFFFF;
      }
    back_->UnlockRect();
    return out;
  }

  // A 16 x 16 render target texture and its level (null when either is not
  // made).
  IDirect3DSurface9* RenderTargetLevel(IDirect3DTexture9** target) {
    *target = nullptr;
    IDirect3DSurface9* level = nullptr;
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, target, nullptr),
              D3D_OK);
    if (*target != nullptr) {
      EXPECT_EQ((*target)->GetSurfaceLevel(0, &level), D3D_OK);
    }
    return level;
  }

  // A 16 x 16 render target's level, read back through system memory
  // (0x00RRGGBB); `system` receives the surface when asked for.
  std::vector<uint32_t> TargetPixels(IDirect3DSurface9* level, IDirect3DSurface9** system = nullptr) {
    std::vector<uint32_t> out(16 * 16);
    IDirect3DSurface9* copy = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(16, 16, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr), D3D_OK);
    if (copy == nullptr) return out;
    EXPECT_EQ(device_->GetRenderTargetData(level, copy), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < 16; ++y)
      for (UINT x = 0; x < 16; ++x) {
        std::memcpy(&out[y * 16 + x], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + 4 * x, 4);
        out[y * 16 + x] &= 0xFFFFFF;
      }
    copy->UnlockRect();
    if (system != nullptr)
      *system = copy;
    else
      copy->Release();
    return out;
  }

  GlDisplay display_;
  HWND window_ = nullptr;
  IDirect3D9Ex* d3d_ = nullptr;
  IDirect3DDevice9Ex* device_ = nullptr;
  IDirect3DSurface9* back_ = nullptr;
};

// Largest channel difference of two 0x00RRGGBB colours.
int Distance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int s = 0; s < 24; s += 8) d = std::max(d, std::abs(static_cast<int>(a >> s & 0xFF) - static_cast<int>(b >> s & 0xFF)));
  return d;
}

// Work for the window's wait on the display: its steps, and whether it saw
// the stop and returned.
std::atomic<int> waitSteps{0};
std::atomic<bool> waitReturned{false};
void StepUntilStopped(const std::atomic<bool>& stop) {
  do {
    ++waitSteps;
    usleep(1000);
  } while (!stop.load());
  waitReturned = true;
}

// The adapter reports no hardware rasterisation and makes no device.
void ExpectSoftwareRasterisation(IDirect3D9Ex* d3d, HWND window) {
  D3DCAPS9 caps{};
  ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
  EXPECT_EQ(caps.DevCaps & D3DDEVCAPS_HWRASTERIZATION, 0u);
  D3DPRESENT_PARAMETERS p = Parameters(window);
  IDirect3DDevice9Ex* device = nullptr;
  EXPECT_EQ(d3d->CreateDeviceEx(0, D3DDEVTYPE_HAL, window, D3DCREATE_MIXED_VERTEXPROCESSING, &p, nullptr, &device),
            D3DERR_NOTAVAILABLE);
}

// Going by the renderer, a display without direct rendering (Xvfb: GLX,
// and no DRI3, DRI2 or NVIDIA's GLX) is known by its extensions to draw
// with Mesa's software rasteriser: no child is asked and the window does not
// wait; it takes no OpenGL, the adapter names the software rasteriser,
// reports software rasterisation, and makes no device.
TEST(GlProbe, ADisplayWithoutDirectRenderingIsKnownWithoutAChild) {
  GlDisplay display;
  ASSERT_TRUE(display.Start()) << "no X server (scripts/setup.sh installs Xvfb and Mesa)";
  D3D9AdapterSetup adapter = D3D9OpenGLAdapter();
  adapter.rasterizer = D3D9Rasterizer::ByRenderer;
  D3D9SetAdapter(adapter);
  PlatformSetDisplayWaitWork(StepUntilStopped);
  HWND window = MakeWindow();
  PlatformSetDisplayWaitWork(nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(d3d9::GlProbeChildren(), 0);
  EXPECT_EQ(waitSteps.load(), 0) << "the window waited";
  EXPECT_EQ(SDL_GetWindowFlags(PlatformSdlWindow(window)) & SDL_WINDOW_OPENGL, 0u);
  IDirect3D9Ex* d3d = nullptr;
  ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d), D3D_OK);
  D3DADAPTER_IDENTIFIER9 id{};
  ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
  EXPECT_STREQ(id.Driver, "OpenGL");
  EXPECT_STREQ(id.Description, d3d9::kDisplaySoftwareRenderer);
  EXPECT_TRUE(D3D9IsSoftwareRenderer(id.Description));
  ExpectSoftwareRasterisation(d3d, window);
  d3d->Release();
  DestroyWindow(window);
  D3D9ResetAdapter();
}

// A setting of the OpenGL stack (here Mesa's driver chosen by name) can make
// another renderer than the display's extensions tell, so the child asks:
// with a software rasteriser (Mesa's llvmpipe under Xvfb) the window takes
// no OpenGL, so the driver is never loaded here; the adapter names the
// renderer, reports software rasterisation, and makes no device. With a
// renderer of a graphics card, the window takes OpenGL. The work given for
// the wait runs while the window waits for the answer, and has returned by
// the time the window is made.
TEST(GlProbeByChild, ASettingOfTheOpenGLStackLeavesTheAnswerToTheChild) {
  GlDisplay display;
  ASSERT_TRUE(display.Start()) << "no X server (scripts/setup.sh installs Xvfb and Mesa)";
  const char* before = getenv("GALLIUM_DRIVER");
  const std::string saved = before != nullptr ? before : "";
  setenv("GALLIUM_DRIVER", "llvmpipe", 1);
  D3D9AdapterSetup adapter = D3D9OpenGLAdapter();
  adapter.rasterizer = D3D9Rasterizer::ByRenderer;
  D3D9SetAdapter(adapter);
  PlatformSetDisplayWaitWork(StepUntilStopped);
  HWND window = MakeWindow();
  PlatformSetDisplayWaitWork(nullptr);
  if (before != nullptr)
    setenv("GALLIUM_DRIVER", saved.c_str(), 1);
  else
    unsetenv("GALLIUM_DRIVER");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(d3d9::GlProbeChildren(), 1);
  EXPECT_GT(waitSteps.load(), 0) << "the work did not run during the wait";
  EXPECT_TRUE(waitReturned.load()) << "the window was made before the work returned";
  const int steps = waitSteps.load();
  usleep(20000);
  EXPECT_EQ(waitSteps.load(), steps) << "the work went on after the wait";
  IDirect3D9Ex* d3d = nullptr;
  ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d), D3D_OK);
  D3DADAPTER_IDENTIFIER9 id{};
  ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
  const std::string renderer = id.Description;
  EXPECT_EQ(std::string(id.Driver).rfind("OpenGL ", 0), 0u) << id.Driver;
  ASSERT_NE(renderer, D3D9OpenGLAdapter().description) << "the probe found no renderer";
  EXPECT_NE(renderer, d3d9::kDisplaySoftwareRenderer);
  const bool software = D3D9IsSoftwareRenderer(renderer);
  EXPECT_EQ((SDL_GetWindowFlags(PlatformSdlWindow(window)) & SDL_WINDOW_OPENGL) != 0, !software);
  if (software) {
    ExpectSoftwareRasterisation(d3d, window);
  } else {
    D3DCAPS9 caps{};
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_NE(caps.DevCaps & D3DDEVCAPS_HWRASTERIZATION, 0u);
  }
  d3d->Release();
  DestroyWindow(window);
  D3D9ResetAdapter();
}

TEST(GlDeviceWithoutDisplay, NoContextMeansNoDevice) {
  // SDL's dummy driver: windows take no OpenGL context, so the default
  // adapter makes no device and the library draws in software.
  D3D9ResetAdapter();
  HWND window = MakeWindow();
  ASSERT_NE(window, nullptr);
  IDirect3D9Ex* d3d = nullptr;
  ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d), D3D_OK);
  D3DPRESENT_PARAMETERS p = Parameters(window);
  IDirect3DDevice9Ex* device = nullptr;
  EXPECT_EQ(d3d->CreateDeviceEx(0, D3DDEVTYPE_HAL, window, D3DCREATE_MIXED_VERTEXPROCESSING, &p, nullptr, &device),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(device, nullptr);
  EXPECT_FALSE(D3D9ExecutorError().empty());
  d3d->Release();
  DestroyWindow(window);
  EXPECT_EQ(D3D9LiveObjectCount(), 0);
}

// Renderer strings that name a software rasteriser, and the values of the
// rasterisation setting.
TEST(GlRasterization, SoftwareRenderersAndSettings) {
  const struct {
    const char* renderer;
    bool software;
  } renderers[] = {{"llvmpipe (LLVM 15.0.6, 256 bits)", true},
                   {"softpipe", true},
                   {"Software Rasterizer", true},
                   {"Mesa X11", true},
                   {"AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", false},
                   {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
                   {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", false},
                   {"", false}};
  for (const auto& r : renderers) EXPECT_EQ(D3D9IsSoftwareRenderer(r.renderer), r.software) << r.renderer;
  EXPECT_EQ(D3D9RasterizerSetting("hardware"), D3D9Rasterizer::Hardware);
  EXPECT_EQ(D3D9RasterizerSetting("software"), D3D9Rasterizer::Software);
  for (const char* other : {"", "auto", "Hardware"}) EXPECT_EQ(D3D9RasterizerSetting(other), D3D9Rasterizer::ByRenderer);
  EXPECT_EQ(D3D9RasterizerSetting(nullptr), D3D9Rasterizer::ByRenderer);
}

// The device's and the adapter's capabilities tell hardware rasterisation as
// the adapter's setting says, or by the context's renderer; the program's
// windows take OpenGL as they do.
TEST_F(GlDeviceTest, CapabilitiesTellTheRasterisation) {
  const bool rendererHardware = !D3D9IsSoftwareRenderer(D3D9RendererString());
  const struct {
    D3D9Rasterizer setting;
    bool hardware;
  } cases[] = {{D3D9Rasterizer::Hardware, true},
               {D3D9Rasterizer::Software, false},
               {D3D9Rasterizer::ByRenderer, rendererHardware}};
  constexpr DWORD kBoth = D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.setting));
    D3D9AdapterSetup adapter = D3D9OpenGLAdapter();
    adapter.rasterizer = c.setting;
    D3D9SetAdapter(adapter);
    D3DCAPS9 device{}, fromAdapter{};
    ASSERT_EQ(device_->GetDeviceCaps(&device), D3D_OK);
    ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &fromAdapter), D3D_OK);
    EXPECT_EQ(device.DevCaps & kBoth, c.hardware ? kBoth : 0);
    EXPECT_EQ(fromAdapter.DevCaps & kBoth, c.hardware ? kBoth : 0);
    EXPECT_EQ(D3D9WindowTakesOpenGL(), c.hardware);
  }
  // A recording adapter's windows take OpenGL whatever its setting.
  D3D9AdapterSetup recording = D3D9FullAdapter();
  recording.rasterizer = D3D9Rasterizer::Software;
  D3D9SetAdapter(recording);
  EXPECT_TRUE(D3D9WindowTakesOpenGL());
  D3D9SetAdapter(D3D9OpenGLAdapter());
}

TEST_F(GlDeviceTest, ClearsFillsAndTextureCopiesAreExact) {
  D3DADAPTER_IDENTIFIER9 id{};
  ASSERT_EQ(d3d_->GetAdapterIdentifier(0, 0, &id), D3D_OK);
  EXPECT_EQ(std::string(id.Description), D3D9RendererString());
  EXPECT_FALSE(D3D9RendererString().empty());

  Clear(0x00336699);
  for (uint32_t p : Frame()) ASSERT_EQ(p, 0x336699u);
  const RECT box = {5, 6, 20, 9};
  ASSERT_EQ(device_->ColorFill(back_, &box, 0x00ABCDEF), D3D_OK);
  const std::vector<uint32_t> filled = Frame();
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      ASSERT_EQ(filled[y * kWidth + x], x >= 5 && x < 20 && y >= 6 && y < 9 ? 0xABCDEFu : 0x336699u) << x << "," << y;

  // Every plain texture format, drawn texel for pixel, reads as its channels
  // widened; formats without alpha are opaque under alpha blending.
  Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
  Stage(1, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT);
  Blend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
  for (D3DFORMAT f : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5}) {
    SCOPED_TRACE(f);
    Clear(0);
    auto texel = [&](UINT x, UINT y) { return Hash(x, y, f) & (f == D3DFMT_X8R8G8B8 ? 0x00FFFFFFu : 0xFFFFu); };
    IDirect3DTexture9* t = Texture(f, 16, 8, texel);
    DrawTexture(t, 3, 4, 16, 8);
    const std::vector<uint32_t> frame = Frame();
    for (UINT y = 0; y < 8; ++y)
      for (UINT x = 0; x < 16; ++x)
        ASSERT_EQ(frame[(4 + y) * kWidth + 3 + x], Widened(f, texel(x, y)) & 0xFFFFFF) << x << "," << y;
    EXPECT_EQ(frame[3 * kWidth + 3], 0u) << "nothing beyond the quad";
    EXPECT_EQ(frame[4 * kWidth + 19], 0u);
    t->Release();
  }
  Blend(false);
  for (D3DFORMAT f : {D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4}) {
    SCOPED_TRACE(f);
    auto texel = [&](UINT x, UINT y) { return Hash(x, y, f) & (f == D3DFMT_A8R8G8B8 ? 0xFFFFFFFFu : 0xFFFFu); };
    IDirect3DTexture9* t = Texture(f, 8, 8, texel);
    DrawTexture(t, 0, 0, 8, 8);
    const std::vector<uint32_t> frame = Frame();
    for (UINT y = 0; y < 8; ++y)
      for (UINT x = 0; x < 8; ++x) ASSERT_EQ(frame[y * kWidth + x], Widened(f, texel(x, y)) & 0xFFFFFF);
    t->Release();
  }
}

// Each case sets the states of one draw of an A8R8G8B8 texture over a
// background, and gives the colour a pixel must take from its texel, the
// vertex colour and the background, within a tolerance.
struct StageCase {
  const char* name;
  std::function<void(IDirect3DDevice9*)> set;
  std::function<uint32_t(uint32_t texel, uint32_t diffuse, uint32_t dest)> expect;
  int tolerance;
};

uint32_t PerChannel(uint32_t a, uint32_t b, uint32_t c, const std::function<double(double, double, double)>& f) {
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) {
    const double v = f((a >> s & 0xFF) / 255.0, (b >> s & 0xFF) / 255.0, (c >> s & 0xFF) / 255.0);
    out |= static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)) << s;
  }
  return out;
}
double Alpha(uint32_t c) { return (c >> 24) / 255.0; }

TEST_F(GlDeviceTest, StagesBlendingAndAlphaTestFollowTheirFormulas) {
  const D3DCOLOR diffuse = 0x9F50C0FFu, background = 0x00406080u, factor = 0x80FFFFFFu;
  auto stage0 = [](DWORD colorOp, DWORD c1, DWORD c2, DWORD alphaOp, DWORD a1, DWORD a2) {
    return [=](IDirect3DDevice9* d) {
      d->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
      d->SetTextureStageState(0, D3DTSS_COLORARG1, c1);
      d->SetTextureStageState(0, D3DTSS_COLORARG2, c2);
      d->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
      d->SetTextureStageState(0, D3DTSS_ALPHAARG1, a1);
      d->SetTextureStageState(0, D3DTSS_ALPHAARG2, a2);
    };
  };
  using F = std::function<double(double, double, double)>;
  auto mix = [](uint32_t s, uint32_t d, double a) {
    return PerChannel(s, d, 0, [a](double x, double y, double) { return x * a + y * (1 - a); });
  };
  const std::vector<StageCase> cases = {
      {"texture times diffuse", stage0(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2, 0, 0),
       [](uint32_t t, uint32_t d, uint32_t) { return PerChannel(t, d, 0, F([](double x, double y, double) { return x * y; })); },
       0},
      {"inverted texture", stage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, 0, D3DTOP_SELECTARG2, 0, 0),
       [](uint32_t t, uint32_t, uint32_t) { return ~t; }, 0},
      {"diffuse lerped toward the factor by the texture alpha, then blended by its alpha",
       [&](IDirect3DDevice9* d) {
         stage0(D3DTOP_BLENDDIFFUSEALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE)(d);
         d->SetRenderState(D3DRS_TEXTUREFACTOR, factor);
         d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
         d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
         d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
       },
       [&](uint32_t t, uint32_t d, uint32_t dest) {
         const uint32_t c = PerChannel(t, factor, 0, [&](double x, double f, double) { return x * Alpha(d) + f * (1 - Alpha(d)); });
         return mix(c, dest, std::lround(Alpha(t) * Alpha(d) * 255.0) / 255.0);
       },
       1},
      {"white where transparent, then multiplied (a second stage)",
       [&](IDirect3DDevice9* d) {
         stage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0)(d);
         d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDCURRENTALPHA);
         d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
         d->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
         d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
         d->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
         d->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu);
         d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
         d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
         d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR);
       },
       [&](uint32_t t, uint32_t, uint32_t dest) {
         const uint32_t c = PerChannel(t, 0, 0, [&](double x, double, double) { return x * Alpha(t) + (1 - Alpha(t)); });
         return PerChannel(c, dest, 0, F([](double x, double y, double) { return x * y; }));
       },
       1},
      {"added by source alpha", 
       [&](IDirect3DDevice9* d) {
         stage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE)(d);
         d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
         d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
         d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
       },
       [&](uint32_t t, uint32_t d, uint32_t dest) {
         const double a = std::lround(Alpha(t) * Alpha(d) * 255.0) / 255.0;
         return PerChannel(t, dest, 0, [a](double x, double y, double) { return x * a + y; });
       },
       1},
      {"subtracted by source alpha (reverse subtraction)",
       [&](IDirect3DDevice9* d) {
         stage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG2, 0, D3DTA_DIFFUSE)(d);
         d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
         d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
         d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
         d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT);
       },
       [&](uint32_t t, uint32_t d, uint32_t dest) {
         return PerChannel(t, dest, 0, [&](double x, double y, double) { return y - x * Alpha(d); });
       },
       1},
      {"alpha test: texels of alpha 16 or less leave the background",
       [&](IDirect3DDevice9* d) {
         stage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0)(d);
         d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
         d->SetRenderState(D3DRS_ALPHAREF, 16);
         d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
       },
       [&](uint32_t t, uint32_t, uint32_t dest) { return (t >> 24) > 16 ? t : dest; }, 0},
  };
  // Texel alphas run over the whole range, some exactly at the reference.
  auto texel = [](UINT x, UINT y) {
    const uint32_t h = Hash(x, y, 7);
    const uint32_t alpha = (x + 8 * y) % 5 == 0 ? 16 : (x + 8 * y) % 7 == 0 ? 17 : h >> 24;
    return alpha << 24 | (h & 0xFFFFFF);
  };
  IDirect3DTexture9* t = Texture(D3DFMT_A8R8G8B8, 8, 8, texel);
  for (const StageCase& c : cases) {
    SCOPED_TRACE(c.name);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    Stage(1, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT);
    Clear(background);
    c.set(device_);
    DrawTexture(t, 10, 10, 8, 8, diffuse);
    const std::vector<uint32_t> frame = Frame();
    int worst = 0;
    for (UINT y = 0; y < 8; ++y)
      for (UINT x = 0; x < 8; ++x) {
        const uint32_t want = c.expect(texel(x, y), diffuse, 0xFF000000u | background) & 0xFFFFFF;
        const uint32_t got = frame[(10 + y) * kWidth + 10 + x];
        worst = std::max(worst, Distance(got, want));
        ASSERT_LE(Distance(got, want), c.tolerance) << x << "," << y << ": " << std::hex << got << " for " << want;
      }
    EXPECT_EQ(frame[9 * kWidth + 10], background) << "nothing beyond the quad";
  }
  t->Release();
}

TEST_F(GlDeviceTest, CompressedTexturesReadAsTheirBlocksDecode) {
  for (bool s3tc : {true, false}) {
    ReleaseDevice();
    D3D9AdapterSetup adapter = D3D9OpenGLAdapter();
    adapter.useS3tc = s3tc;
    D3D9SetAdapter(adapter);
    MakeDevice(D3DPRESENT_INTERVAL_IMMEDIATE);
    if (s3tc && !D3D9DeviceTakesS3tc()) continue;  // a context without S3TC decodes in both rounds
    EXPECT_EQ(D3D9DeviceTakesS3tc(), s3tc);
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0);
    Blend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    for (D3DFORMAT f : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
      SCOPED_TRACE(testing::Message() << (s3tc ? "S3TC " : "decoded ") << f);
      const UINT blockBytes = f == D3DFMT_DXT1 ? 8 : 16;
      std::vector<uint8_t> blocks(4 * blockBytes);
      for (size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<uint8_t>(Hash(static_cast<uint32_t>(i), f, 3));
      // One DXT1 block in its three-colour form, with transparent texels.
      if (f == D3DFMT_DXT1) blocks[0] = 0x00, blocks[1] = 0x00, blocks[2] = 0xFF, blocks[3] = 0xFF;
      IDirect3DTexture9* t = nullptr;
      ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, f, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
      D3DLOCKED_RECT locked{};
      ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
      for (int row = 0; row < 2; ++row)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + row * locked.Pitch, &blocks[row * 2 * blockBytes], 2 * blockBytes);
      t->UnlockRect(0);
      std::vector<uint8_t> decoded(8 * 8 * 4);
      d3d9::DecodeDxtLevel(f, blocks.data(), 8, 8, decoded.data(), 32);
      Clear(0x00204060);
      DrawTexture(t, 2, 2, 8, 8);
      const std::vector<uint32_t> frame = Frame();
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
          uint32_t texel;
          std::memcpy(&texel, &decoded[(y * 8 + x) * 4], 4);
          const uint32_t want = PerChannel(texel, 0x00204060, 0, [&](double s, double d, double) {
                                  return s * Alpha(texel) + d * (1 - Alpha(texel));
                                }) & 0xFFFFFF;
          ASSERT_LE(Distance(frame[(2 + y) * kWidth + 2 + x], want), 1) << x << "," << y;
        }
      t->Release();
    }
  }
}

TEST_F(GlDeviceTest, RenderTargetTexturesAreDrawnIntoCopiedAndSampled) {
  IDirect3DTexture9* target = nullptr;
  IDirect3DSurface9* level = RenderTargetLevel(&target);
  ASSERT_NE(level, nullptr);
  ASSERT_EQ(device_->ColorFill(level, nullptr, 0x00102030), D3D_OK);
  // A texture drawn into its middle.
  auto texel = [](UINT x, UINT y) { return 0xFF000000u | (Hash(x, y, 9) & 0xFFFFFF); };
  IDirect3DTexture9* image = Texture(D3DFMT_A8R8G8B8, 4, 4, texel);
  Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0);
  Blend(false);
  ASSERT_EQ(device_->SetRenderTarget(0, level), D3D_OK);
  DrawTexture(image, 6, 6, 4, 4);
  ASSERT_EQ(device_->SetRenderTarget(0, back_), D3D_OK);
  auto expected = [&](UINT x, UINT y) {
    return x >= 6 && x < 10 && y >= 6 && y < 10 ? texel(x - 6, y - 6) & 0xFFFFFF : 0x102030u;
  };
  // Read back through system memory.
  IDirect3DSurface9* system = nullptr;
  const std::vector<uint32_t> drawn = TargetPixels(level, &system);
  ASSERT_NE(system, nullptr);
  for (UINT y = 0; y < 16; ++y)
    for (UINT x = 0; x < 16; ++x) ASSERT_EQ(drawn[y * 16 + x], expected(x, y)) << x << "," << y;
  D3DLOCKED_RECT locked{};
  // Sampled onto the back buffer, then the back buffer's corner copied back
  // into the target and a system-memory rectangle written into it.
  Clear(0x00FFFFFF);
  DrawTexture(target, 30, 20, 16, 16);
  const RECT corner = {30, 20, 34, 24}, into = {0, 0, 4, 4};
  ASSERT_EQ(device_->StretchRect(back_, &corner, level, &into, D3DTEXF_NONE), D3D_OK);
  ASSERT_EQ(system->LockRect(&locked, nullptr, 0), D3D_OK);
  for (UINT y = 0; y < 2; ++y)
    for (UINT x = 0; x < 2; ++x) {
      const uint32_t v = 0x00AA5500u + x + y;
      std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + 4 * x, &v, 4);
    }
  system->UnlockRect();
  const RECT two = {0, 0, 2, 2};
  const POINT at = {14, 14};
  ASSERT_EQ(device_->UpdateSurface(system, &two, level, &at), D3D_OK);
  DrawTexture(target, 0, 0, 16, 16);
  const std::vector<uint32_t> frame = Frame();
  for (UINT y = 0; y < 16; ++y)
    for (UINT x = 0; x < 16; ++x) {
      uint32_t want = expected(x, y);
      if (x < 4 && y < 4) want = 0x102030u;  // the corner copied from the drawn target
      if (x >= 14 && y >= 14) want = 0x00AA5500u + (x - 14) + (y - 14);
      ASSERT_EQ(frame[y * kWidth + x], want) << x << "," << y;
      ASSERT_EQ(frame[(20 + y) * kWidth + 30 + x], expected(x, y)) << x << "," << y;
    }
  system->Release();
  image->Release();
  level->Release();
  target->Release();
}

// While presents are skipped, nothing reaches the back buffer (clears,
// fills, draws and copies into it are left out), while a render target
// texture is cleared and drawn into as ever; once they are not, the back
// buffer is drawn again.
TEST_F(GlDeviceTest, SkippedPresentsLeaveTheBackBufferAloneButNotOtherTargets) {
  IDirect3DTexture9* target = nullptr;
  IDirect3DSurface9* level = RenderTargetLevel(&target);
  ASSERT_NE(level, nullptr);
  auto texel = [](UINT x, UINT y) { return 0xFF000000u | (Hash(x, y, 5) & 0xFFFFFF); };
  IDirect3DTexture9* image = Texture(D3DFMT_A8R8G8B8, 4, 4, texel);
  Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0);
  Blend(false);
  Clear(0x00102030);

  D3D9SkipWindowPresents(true);
  Clear(0x00FFFFFF);
  const RECT box = {10, 10, 30, 20};
  EXPECT_EQ(device_->ColorFill(back_, &box, 0x00C08040), D3D_OK);
  DrawTexture(image, 36, 4, 4, 4);
  ASSERT_EQ(device_->SetRenderTarget(0, level), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00405060, 1.0f, 0), D3D_OK);
  DrawTexture(image, 6, 6, 4, 4);
  ASSERT_EQ(device_->SetRenderTarget(0, back_), D3D_OK);
  const RECT whole = {0, 0, 16, 16}, into = {44, 26, 60, 42};
  EXPECT_EQ(device_->StretchRect(level, &whole, back_, &into, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(device_->EndScene(), D3D_OK);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(device_->BeginScene(), D3D_OK);
  D3D9SkipWindowPresents(false);

  std::vector<uint32_t> frame = Frame();
  int touched = 0;
  for (uint32_t v : frame) touched += v != 0x102030u;
  EXPECT_EQ(touched, 0) << "pixels of the back buffer drawn while presents were skipped";
  const std::vector<uint32_t> drawn = TargetPixels(level);
  for (UINT y = 0; y < 16; ++y)
    for (UINT x = 0; x < 16; ++x) {
      const uint32_t want = x >= 6 && x < 10 && y >= 6 && y < 10 ? texel(x - 6, y - 6) & 0xFFFFFF : 0x405060u;
      ASSERT_EQ(drawn[y * 16 + x], want) << x << "," << y;
    }

  Clear(0x00FFFFFF);
  EXPECT_EQ(device_->StretchRect(level, &whole, back_, &into, D3DTEXF_NONE), D3D_OK);
  frame = Frame();
  EXPECT_EQ(frame[0], 0xFFFFFFu);
  EXPECT_EQ(frame[(26 + 7) * kWidth + 44 + 7], texel(1, 1) & 0xFFFFFF);
  image->Release();
  level->Release();
  target->Release();
}

TEST_F(GlDeviceTest, PresentShowsTheBackBufferInTheWindow) {
  ShowWindow(window_, SW_SHOW);
  Clear(0x00102030);
  const RECT box = {10, 10, 30, 20};
  ASSERT_EQ(device_->ColorFill(back_, &box, 0x00C08040), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_TRUE(SDL_GetWindowWMInfo(PlatformSdlWindow(window_), &info));
  Display* x = XOpenDisplay(display_.name().c_str());
  ASSERT_NE(x, nullptr);
  int mismatches = -1;
  for (int attempt = 0; attempt < 50 && mismatches != 0; ++attempt) {
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    Pause(20);
    XImage* image = XGetImage(x, info.info.x11.window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    mismatches = 0;
    for (int py = 0; py < kHeight; ++py)
      for (int px = 0; px < kWidth; ++px) {
        const bool inBox = px >= 10 && px < 30 && py >= 10 && py < 20;
        mismatches += (XGetPixel(image, px, py) & 0xFFFFFF) != (inBox ? 0xC08040u : 0x102030u);
      }
    XDestroyImage(image);
  }
  XCloseDisplay(x);
  EXPECT_EQ(mismatches, 0) << "the window, rows top down";
  EXPECT_EQ(SDL_GL_GetSwapInterval(), 0) << "an immediate device waits for no blank";
}

TEST_F(GlDeviceTest, ALostContextStopsTheDeviceUntilItIsMadeAgain) {
  Clear(0x00112233);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  D3D9LoseContext();
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET) << "a new context can be had at once";
  // A new device draws again.
  ReleaseDevice();
  MakeDevice(D3DPRESENT_INTERVAL_IMMEDIATE);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  Clear(0x00445566);
  for (uint32_t p : Frame()) ASSERT_EQ(p, 0x445566u);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(GlDeviceTest, ShaderTextsMustCompileAsGlsl) {
  for (const char* file : {"library.vert", "library.frag"}) {
    std::ifstream in(std::string(ZR_SOURCE_DIR) + "/tools/shaderpack/" + file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty()) << file;
    const auto* code = reinterpret_cast<const DWORD*>(text.c_str());
    if (std::string(file).ends_with(".vert")) {
      IDirect3DVertexShader9* shader = nullptr;
      EXPECT_EQ(device_->CreateVertexShader(code, &shader), D3D_OK) << D3D9ShaderLog();
      if (shader != nullptr) shader->Release();
    } else {
      IDirect3DPixelShader9* shader = nullptr;
      EXPECT_EQ(device_->CreatePixelShader(code, &shader), D3D_OK) << D3D9ShaderLog();
      if (shader != nullptr) shader->Release();
    }
  }
  // The pair draws: untransformed vertices through the view and projection
  // constants (identity here), lit by the ambient term alone (white), their
  // colour times the texture's.
  IDirect3DVertexShader9* vertex = nullptr;
  IDirect3DPixelShader9* pixel = nullptr;
  std::string texts[2];
  for (int i = 0; i < 2; ++i) {
    std::ifstream in(std::string(ZR_SOURCE_DIR) + "/tools/shaderpack/" + (i == 0 ? "library.vert" : "library.frag"));
    texts[i].assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  ASSERT_EQ(device_->CreateVertexShader(reinterpret_cast<const DWORD*>(texts[0].c_str()), &vertex), D3D_OK);
  ASSERT_EQ(device_->CreatePixelShader(reinterpret_cast<const DWORD*>(texts[1].c_str()), &pixel), D3D_OK);
  float constants[14][4] = {};
  constants[0][1] = 1.0f;  // (0, 1, 0, 0)
  for (int c = 0; c < 4; ++c) constants[1][c] = 1.0f;  // ambient
  for (int r = 0; r < 4; ++r) constants[2 + r][r] = constants[6 + r][r] = 1.0f;  // projection, view
  constants[13][0] = 1.0f;
  ASSERT_EQ(device_->SetVertexShaderConstantF(0, &constants[0][0], 14), D3D_OK);
  const float pixelZero[4] = {0.0f, 0.5f, 1.0f, 2.0f};
  ASSERT_EQ(device_->SetPixelShaderConstantF(0, pixelZero, 1), D3D_OK);
  IDirect3DTexture9* white = Texture(D3DFMT_A8R8G8B8, 1, 1, [](UINT, UINT) { return 0xFFFFFFFFu; });
  device_->SetTexture(0, white);
  device_->SetVertexShader(vertex);
  device_->SetPixelShader(pixel);
  device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  struct Lit {
    float x, y, z;
    D3DCOLOR colour;
    float u, v;
  };
  // The top left quarter of the target, in Direct3D's clip space (y up).
  const Lit quad[4] = {{-1, 1, 0.5f, 0xFF20C040u, 0, 0}, {0, 1, 0.5f, 0xFF20C040u, 0, 0},
                       {-1, 0, 0.5f, 0xFF20C040u, 0, 0}, {0, 0, 0.5f, 0xFF20C040u, 0, 0}};
  Clear(0);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Lit)), D3D_OK);
  const std::vector<uint32_t> frame = Frame();
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      ASSERT_EQ(frame[y * kWidth + x], x < kWidth / 2 && y < kHeight / 2 ? 0x20C040u : 0u) << x << "," << y;
  device_->SetVertexShader(nullptr);
  device_->SetPixelShader(nullptr);
  device_->SetTexture(0, nullptr);
  white->Release();
  vertex->Release();
  pixel->Release();

  const std::string broken = "#version 330 core\nvoid main() { gl_Position = undefinedThing; }\n";
  IDirect3DVertexShader9* shader = nullptr;
  EXPECT_EQ(device_->CreateVertexShader(reinterpret_cast<const DWORD*>(broken.c_str()), &shader), D3DERR_INVALIDCALL);
  EXPECT_EQ(shader, nullptr);
  EXPECT_NE(D3D9ShaderLog().find("undefinedThing"), std::string::npos) << D3D9ShaderLog();
}

}  // namespace
