#include <cstdlib>
#include <cstring>

#include "platform/d3d9/d3d9_internal.h"
#include "platform/d3d9/gl_probe.h"
#include "platform/win32/win32_time.h"

namespace d3d9 {

namespace {

const char* const kCallNames[] = {
    "Direct3DCreate9", "Direct3DCreate9Ex", "GetAdapterModeCount", "GetAdapterDisplayMode",
    "GetAdapterIdentifier", "CheckDeviceFormat", "CheckDepthStencilMatch", "GetDeviceCaps", "CreateDevice",
    "CreateDeviceEx", "TestCooperativeLevel", "DeviceGetDeviceCaps", "GetSwapChain", "Reset", "Present",
    "GetBackBuffer", "GetRasterStatus", "SetDialogBoxMode", "SetMaximumFrameLatency", "CreateTexture",
    "CreateVolumeTexture", "CreateVertexBuffer", "CreateIndexBuffer", "CreateRenderTarget",
    "CreateDepthStencilSurface", "CreateOffscreenPlainSurface", "UpdateSurface", "UpdateTexture",
    "GetRenderTargetData", "StretchRect", "ColorFill", "SetRenderTarget", "GetRenderTarget",
    "SetDepthStencilSurface", "BeginScene", "EndScene", "Clear", "SetTransform", "SetViewport", "SetMaterial",
    "SetLight", "LightEnable", "SetRenderState", "SetTexture", "SetTextureStageState", "SetSamplerState",
    "SetScissorRect", "DrawPrimitiveUP", "DrawIndexedPrimitiveUP", "CreateVertexDeclaration", "SetFVF",
    "CreateVertexShader", "SetVertexShader", "SetVertexShaderConstantF", "SetVertexShaderConstantI",
    "SetVertexShaderConstantB", "CreatePixelShader", "SetPixelShader", "SetPixelShaderConstantF",
    "SetPixelShaderConstantI", "SetPixelShaderConstantB", "SurfaceLockRect", "SurfaceUnlockRect",
    "SurfaceGetDesc", "TextureGetSurfaceLevel", "TextureGetLevelDesc", "TextureLockRect", "TextureUnlockRect",
    "VolumeLockBox", "VolumeUnlockBox", "BufferLock", "BufferUnlock", "SwapChainPresent",
    "SwapChainGetBackBuffer", "SwapChainGetRasterStatus"};
static_assert(sizeof kCallNames / sizeof kCallNames[0] == static_cast<size_t>(D3D9Call::Count));

D3D9AdapterSetup DefaultAdapter() {
  D3D9AdapterSetup s = D3D9OpenGLAdapter();
  s.rasterizer = D3D9RasterizerSetting(getenv("ZR_D3D9_RASTERIZER"));
  return s;
}

}  // namespace

State& Global() {
  static State state = [] {
    State s;
    s.adapter = DefaultAdapter();
    return s;
  }();
  return state;
}

ObjectBase::ObjectBase(bool counted) : id_(Global().nextId++), counted_(counted) {
  if (counted_) ++Global().live;
}

ObjectBase::~ObjectBase() {
  if (counted_) --Global().live;
}

uint32_t IdOf(const IUnknown* object) {
  const auto* base = dynamic_cast<const ObjectBase*>(object);
  return base != nullptr ? base->id() : 0;
}

HRESULT Enter(D3D9Call call) {
  State& s = Global();
  ++s.counts[static_cast<int>(call)];
  for (State::Failure& f : s.failures) {
    if (f.call != call || f.times == 0) continue;
    if (f.skip > 0) {
      --f.skip;
      continue;
    }
    if (f.times > 0) --f.times;
    return f.result;
  }
  return D3D_OK;
}

HRESULT Record(D3D9Call call, HRESULT result, std::initializer_list<uint32_t> args) {
  State& s = Global();
  if (!s.recording) return result;
  D3D9CallRecord record{call, {0, 0, 0, 0}, result};
  size_t i = 0;
  for (uint32_t a : args)
    if (i < 4) record.args[i++] = a;
  s.journal.push_back(record);
  return result;
}

int64_t NowMicroseconds() {
  LARGE_INTEGER count{}, frequency{};
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  if (frequency.QuadPart <= 0) return 0;
  return count.QuadPart / frequency.QuadPart * 1000000 +
         count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

// ---------------------------------------------------------------- formats and pixel stores

FormatLayout LayoutOf(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_D32:
    case D3DFMT_D24X8:
    case D3DFMT_INDEX32:
      return {4, 1};
    case D3DFMT_R8G8B8:
      return {3, 1};
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_D16:
    case D3DFMT_INDEX16:
      return {2, 1};
    case D3DFMT_R3G3B2:
      return {1, 1};
    case D3DFMT_DXT1:
      return {8, 4};
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      return {16, 4};
    default:
      return {0, 1};
  }
}

bool IsDisplayFormat(D3DFORMAT format) {
  return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5;
}

bool IsDepthFormat(D3DFORMAT format) {
  return format == D3DFMT_D16 || format == D3DFMT_D24X8 || format == D3DFMT_D32;
}

bool PackColor(D3DFORMAT format, D3DCOLOR c, uint8_t out[4]) {
  const uint32_t a = c >> 24, r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
  uint32_t v;
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      v = c;
      break;
    case D3DFMT_R5G6B5:
      v = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
      break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      v = (a >> 7) << 15 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
      break;
    case D3DFMT_A4R4G4B4:
      v = (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4;
      break;
    default:
      return false;
  }
  std::memcpy(out, &v, 4);
  return true;
}

bool PixelStore::Allocate(D3DFORMAT f, UINT w, UINT h, UINT d) {
  const FormatLayout l = LayoutOf(f);
  if (l.bytes == 0 || w == 0 || h == 0 || d == 0) return false;
  format = f;
  width = w;
  height = h;
  depth = d;
  pitch = (w + l.block - 1) / l.block * l.bytes;
  rows = (h + l.block - 1) / l.block;
  slicePitch = pitch * rows;
  return bytes.AssignZeros(static_cast<size_t>(slicePitch) * d);
}

bool PixelStore::ValidRect(const RECT* r) const {
  if (r == nullptr) return true;
  const LONG block = static_cast<LONG>(LayoutOf(format).block);
  if (r->left < 0 || r->top < 0 || r->left >= r->right || r->top >= r->bottom ||
      r->right > static_cast<LONG>(width) || r->bottom > static_cast<LONG>(height))
    return false;
  return r->left % block == 0 && r->top % block == 0;
}

void PixelStore::Fill(const RECT* rect, const uint8_t* value) {
  const RECT all = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
  RECT r = rect != nullptr ? *rect : all;
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  if (r.right > all.right) r.right = all.right;
  if (r.bottom > all.bottom) r.bottom = all.bottom;
  const uint32_t n = LayoutOf(format).bytes;
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x) std::memcpy(At(static_cast<UINT>(x), static_cast<UINT>(y)), value, n);
}

}  // namespace d3d9

using namespace d3d9;

// ---------------------------------------------------------------- the adapter

D3D9AdapterSetup D3D9FullAdapter() {
  D3D9AdapterSetup s;
  s.deviceCreation = true;
  s.caps.DeviceType = D3DDEVTYPE_HAL;
  s.caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION;
  s.caps.PrimitiveMiscCaps = D3DPMISCCAPS_TSSARGTEMP | D3DPMISCCAPS_BLENDOP;
  s.caps.MaxTextureWidth = 4096;
  s.caps.MaxTextureHeight = 4096;
  s.caps.MaxAnisotropy = 16;
  s.caps.MaxTextureBlendStages = 8;
  s.caps.MaxSimultaneousTextures = 8;
  s.caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
  s.caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
  s.textureFormats = {D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4,
                      D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_DXT1,     D3DFMT_DXT2,
                      D3DFMT_DXT3,     D3DFMT_DXT4,     D3DFMT_DXT5};
  s.renderTargetFormats = {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4};
  s.depthFormats = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D32};
  s.modeFormats = {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_X8R8G8B8};
  return s;
}

D3D9AdapterSetup D3D9OpenGLAdapter() {
  D3D9AdapterSetup s = D3D9FullAdapter();
  s.executor = D3D9Executor::OpenGL;
  s.driver = "OpenGL";
  s.description = "OpenGL 3.3 core";
  return s;
}

void D3D9SetAdapter(const D3D9AdapterSetup& setup) {
  State& s = Global();
  s.adapter = setup;
  s.failures.clear();
  std::memset(s.counts, 0, sizeof s.counts);
  s.lost = false;
  s.needsReset = false;
  s.presents = 0;
  s.executorError.clear();
  s.shaderLog.clear();
  D3D9ClearRecords();
}

bool D3D9IsSoftwareRenderer(const std::string& renderer) {
  // Mesa's software rasterisers name themselves so ("llvmpipe (LLVM 15.0.6,
  // 256 bits)", "softpipe", "Mesa X11" for the old swrast, "Software
  // Rasterizer" in older versions).
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer", "Mesa X11"})
    if (renderer.find(name) != std::string::npos) return true;
  return renderer == d3d9::kDisplaySoftwareRenderer;
}

bool d3d9::HardwareRasterization(const std::string& renderer) {
  switch (Global().adapter.rasterizer) {
    case D3D9Rasterizer::Hardware:
      return true;
    case D3D9Rasterizer::Software:
      return false;
    default:
      return renderer.empty() || !D3D9IsSoftwareRenderer(renderer);
  }
}

bool d3d9::KnownRenderer(std::string* renderer, std::string* version) {
  if (!Global().renderer.empty()) {
    *renderer = Global().renderer;
    *version = Global().version;
    return true;
  }
  return GlProbeResult(renderer, version);
}

bool D3D9WindowTakesOpenGL() {
  if (Global().adapter.executor != D3D9Executor::OpenGL) return true;
  std::string renderer, version;
  if (Global().adapter.rasterizer == D3D9Rasterizer::ByRenderer) KnownRenderer(&renderer, &version);
  return HardwareRasterization(renderer);
}

D3D9Rasterizer D3D9RasterizerSetting(const char* value) {
  if (value != nullptr && std::strcmp(value, "hardware") == 0) return D3D9Rasterizer::Hardware;
  if (value != nullptr && std::strcmp(value, "software") == 0) return D3D9Rasterizer::Software;
  return D3D9Rasterizer::ByRenderer;
}

void D3D9ResetAdapter() { D3D9SetAdapter(DefaultAdapter()); }

const D3D9AdapterSetup& D3D9CurrentAdapter() { return Global().adapter; }

bool D3D9ModuleAvailable() { return Global().adapter.libraryPresent; }

// ---------------------------------------------------------------- calls and failures

const char* D3D9CallName(D3D9Call call) {
  const auto i = static_cast<size_t>(call);
  return i < static_cast<size_t>(D3D9Call::Count) ? kCallNames[i] : "?";
}

void D3D9FailCall(D3D9Call call, HRESULT result, int skip, int times) {
  Global().failures.push_back({call, result, skip, times});
}

void D3D9ClearFailures() { Global().failures.clear(); }

int D3D9CallCount(D3D9Call call) { return Global().counts[static_cast<int>(call)]; }

void D3D9SetDeviceLost(bool lost) {
  State& s = Global();
  if (s.lost && !lost) s.needsReset = true;
  s.lost = lost;
}

// ---------------------------------------------------------------- records

void D3D9SetRecording(bool on) {
  D3D9ClearRecords();
  Global().recording = on;
}

void D3D9ClearRecords() {
  Global().journal.clear();
  Global().draws.clear();
}

const std::vector<D3D9CallRecord>& D3D9Journal() { return Global().journal; }
const std::vector<D3D9DrawRecord>& D3D9Draws() { return Global().draws; }

std::vector<D3D9CallRecord> D3D9JournalOf(D3D9Call call) {
  std::vector<D3D9CallRecord> out;
  for (const D3D9CallRecord& r : Global().journal)
    if (r.call == call) out.push_back(r);
  return out;
}

uint32_t D3D9ObjectId(const IUnknown* object) { return IdOf(object); }
int D3D9LiveObjectCount() { return Global().live; }
int D3D9PresentCount() { return Global().presents; }

void D3D9SkipWindowPresents(bool skip) { Global().windowPresentsSkipped = skip; }

std::string D3D9ExecutorError() { return Global().executorError; }
std::string D3D9RendererString() { return Global().renderer; }
std::string D3D9RendererVersion() { return Global().version; }
std::string D3D9ShaderLog() { return Global().shaderLog; }
