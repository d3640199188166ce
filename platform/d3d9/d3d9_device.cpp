#include "platform/d3d9/d3d9_device.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

namespace d3d9 {

namespace {

bool Listed(const std::vector<D3DFORMAT>& list, D3DFORMAT format) {
  return std::find(list.begin(), list.end(), format) != list.end();
}

const D3D9AdapterSetup& Adapter() { return Global().adapter; }

bool Blocked() { return Global().lost || Global().needsReset; }

UINT VerticesOf(D3DPRIMITIVETYPE type, UINT primitives) {
  switch (type) {
    case D3DPT_POINTLIST:
      return primitives;
    case D3DPT_LINELIST:
      return primitives * 2;
    case D3DPT_LINESTRIP:
      return primitives + 1;
    case D3DPT_TRIANGLELIST:
      return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return primitives + 2;
    default:
      return 0;
  }
}

D3DMATRIX Identity() {
  D3DMATRIX m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

Surface* AsSurface(IDirect3DSurface9* s) { return dynamic_cast<Surface*>(s); }

RECT WholeOf(const PixelStore& p) { return {0, 0, static_cast<LONG>(p.width), static_cast<LONG>(p.height)}; }

// Copies a block-aligned rectangle between two stores of one format.
void CopyRect(PixelStore& from, const RECT& r, PixelStore& to, LONG x, LONG y) {
  const FormatLayout l = LayoutOf(from.format);
  const UINT rowBytes = static_cast<UINT>((r.right - r.left + static_cast<LONG>(l.block) - 1) / static_cast<LONG>(l.block)) * l.bytes;
  for (LONG row = r.top; row < r.bottom; row += static_cast<LONG>(l.block)) {
    std::memcpy(to.At(static_cast<UINT>(x), static_cast<UINT>(y + row - r.top)),
                from.At(static_cast<UINT>(r.left), static_cast<UINT>(row)), rowBytes);
  }
}

bool Inside(const RECT& r, const PixelStore& p) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= static_cast<LONG>(p.width) &&
         r.bottom <= static_cast<LONG>(p.height);
}

bool IsRenderTarget(Surface* s) { return (s->info().usage & D3DUSAGE_RENDERTARGET) != 0; }

}  // namespace

// ---------------------------------------------------------------- life

Device::Device(const D3DPRESENT_PARAMETERS& parameters, DWORD behaviour, bool ex, std::unique_ptr<Executor> executor)
    : executor_(std::move(executor)), parameters_(parameters), behaviour_(behaviour), ex_(ex) {}

bool Device::Start() {
  backBuffer_ = new Surface(this, false, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET,
                            (parameters_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0);
  if (!backBuffer_->pixels().Allocate(parameters_.BackBufferFormat, parameters_.BackBufferWidth,
                                      parameters_.BackBufferHeight))
    return false;
  swapChain_ = new SwapChain(this, backBuffer_);
  SetDefaults();
  Global().device = this;
  Global().needsReset = false;
  return true;
}

Device::~Device() {
  ReleaseBindings();
  for (ResourceInfo* info : resources) info->device = nullptr;
  // The GPU's copies go with the context, before the back buffer they copy.
  executor_.reset();
  if (swapChain_ != nullptr) {
    swapChain_->Detach();
    swapChain_->Release();
  }
  if (backBuffer_ != nullptr) {
    backBuffer_->Detach();
    backBuffer_->Release();
  }
  if (Global().device == this) Global().device = nullptr;
}

void Device::ReleaseBindings() {
  for (IDirect3DBaseTexture9*& t : textures_) {
    if (t != nullptr) t->Release();
    t = nullptr;
  }
  if (renderTarget_ != nullptr) renderTarget_->Release();
  if (depthStencil_ != nullptr) depthStencil_->Release();
  if (vertexShader_ != nullptr) vertexShader_->Release();
  if (pixelShader_ != nullptr) pixelShader_->Release();
  renderTarget_ = nullptr;
  depthStencil_ = nullptr;
  vertexShader_ = nullptr;
  pixelShader_ = nullptr;
}

// The states of a new or reset device.
void Device::SetDefaults() {
  ReleaseBindings();
  inScene_ = false;
  renderTarget_ = backBuffer_;
  renderTarget_->AddRef();
  D3D9DeviceState& s = state_;
  s = D3D9DeviceState{};
  DWORD* rs = s.renderStates;
  rs[D3DRS_ZENABLE] = parameters_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGEND] = FloatBits(1.0f);
  rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  for (auto& sampler : s.samplerStates) {
    sampler[D3DSAMP_ADDRESSU] = sampler[D3DSAMP_ADDRESSV] = sampler[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    sampler[D3DSAMP_MAGFILTER] = sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    sampler[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    sampler[D3DSAMP_MAXANISOTROPY] = 1;
  }
  for (DWORD stage = 0; stage < D3D9TextureStageCount; ++stage) {
    DWORD* t = s.textureStageStates[stage];
    t[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    t[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    t[D3DTSS_COLORARG1] = t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    t[D3DTSS_COLORARG2] = t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    t[D3DTSS_TEXCOORDINDEX] = stage;
    t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
  }
  s.world = s.view = s.projection = Identity();
  for (D3DMATRIX& m : s.texture) m = Identity();
  const PixelStore& b = backBuffer_->pixels();
  s.viewport = {0, 0, b.width, b.height, 0.0f, 1.0f};
  s.scissor = WholeOf(b);
  s.renderTarget = backBuffer_->id();
  lights_.clear();
  lightEnabled_.clear();
  std::memset(vsFloat_, 0, sizeof vsFloat_);
  std::memset(psFloat_, 0, sizeof psFloat_);
  std::memset(vsInt_, 0, sizeof vsInt_);
  std::memset(psInt_, 0, sizeof psInt_);
  std::memset(vsBool_, 0, sizeof vsBool_);
  std::memset(psBool_, 0, sizeof psBool_);
}

// ---------------------------------------------------------------- device and presentation

HRESULT Device::TestCooperativeLevel() {
  HRESULT r = Enter(D3D9Call::TestCooperativeLevel);
  CheckContext();
  if (r == D3D_OK) r = Global().lost ? D3DERR_DEVICELOST : Global().needsReset ? D3DERR_DEVICENOTRESET : D3D_OK;
  return Record(D3D9Call::TestCooperativeLevel, r);
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
  HRESULT r = Enter(D3D9Call::DeviceGetDeviceCaps);
  if (r == D3D_OK) {
    if (caps == nullptr)
      r = D3DERR_INVALIDCALL;
    else
      *caps = Adapter().caps;
    // No larger textures than the context takes; hardware rasterisation as
    // the context's renderer or the adapter's setting says.
    if (caps != nullptr && executor_ != nullptr) {
      caps->MaxTextureWidth = std::min<DWORD>(caps->MaxTextureWidth, executor_->maxTextureSize());
      caps->MaxTextureHeight = std::min<DWORD>(caps->MaxTextureHeight, executor_->maxTextureSize());
      const bool hardware = HardwareRasterization(executor_->renderer());
      constexpr DWORD kHardware = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION;
      caps->DevCaps = hardware ? caps->DevCaps | kHardware : caps->DevCaps & ~kHardware;
    }
  }
  return Record(D3D9Call::DeviceGetDeviceCaps, r);
}

HRESULT Device::GetSwapChain(UINT index, IDirect3DSwapChain9** chain) {
  HRESULT r = Enter(D3D9Call::GetSwapChain);
  if (r == D3D_OK) {
    if (chain == nullptr || index != 0) {
      r = D3DERR_INVALIDCALL;
    } else {
      swapChain_->AddRef();
      *chain = swapChain_;
    }
  }
  return Record(D3D9Call::GetSwapChain, r, {index});
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* parameters) {
  HRESULT r = Enter(D3D9Call::Reset);
  if (r == D3D_OK) {
    if (Global().lost) {
      r = D3DERR_DEVICELOST;
    } else if (parameters == nullptr || defaultPoolObjects > 0 ||
               backBuffer_->references() > 2u + (renderTarget_ == backBuffer_ ? 1u : 0u) ||
               swapChain_->references() > 1) {
      // The back buffer is held by the device, its swap chain and the
      // render-target binding; any other reference blocks the Reset.
      r = D3DERR_INVALIDCALL;
    } else {
      D3DPRESENT_PARAMETERS p = *parameters;
      PixelStore fresh;
      if (!fresh.Allocate(p.BackBufferFormat, p.BackBufferWidth, p.BackBufferHeight)) {
        r = D3DERR_INVALIDCALL;
      } else {
        std::string error;
        if (executor_ != nullptr) {
          Forget(&backBuffer_->pixels());
          // A lost context is made anew: whatever it held is gone.
          if (executor_->Lost() && !executor_->Reopen(&error)) {
            Global().lost = true;
            return Record(D3D9Call::Reset, D3DERR_DEVICELOST);
          }
        }
        parameters_ = p;
        backBuffer_->pixels() = std::move(fresh);
        SetDefaults();
        Global().needsReset = false;
      }
    }
  }
  return Record(D3D9Call::Reset, r);
}

HRESULT Device::Present(const RECT* source, const RECT* dest, HWND, const void*) {
  HRESULT r = Enter(D3D9Call::Present);
  if (r == D3D_OK) {
    const RECT whole = WholeOf(backBuffer_->pixels());
    if (inScene_ || (source != nullptr && !Inside(*source, backBuffer_->pixels())))
      r = D3DERR_INVALIDCALL;
    else if (Blocked() || CheckContext())
      r = D3DERR_DEVICELOST;
    else if (executor_ != nullptr && !Global().windowPresentsSkipped &&
             !executor_->Present(&backBuffer_->pixels(), source, dest, parameters_.PresentationInterval) &&
             CheckContext())
      r = D3DERR_DEVICELOST;
    else
      ++Global().presents;
    const RECT& s = source != nullptr ? *source : whole;
    const RECT& d = dest != nullptr ? *dest : whole;
    return Record(D3D9Call::Present, r,
                  {static_cast<uint32_t>(s.right - s.left), static_cast<uint32_t>(s.bottom - s.top),
                   static_cast<uint32_t>(d.right - d.left), static_cast<uint32_t>(d.bottom - d.top)});
  }
  return Record(D3D9Call::Present, r);
}

HRESULT Device::GetBackBuffer(UINT chain, UINT index, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface) {
  HRESULT r = Enter(D3D9Call::GetBackBuffer);
  if (r == D3D_OK) {
    if (chain != 0 || index != 0 || surface == nullptr) {
      r = D3DERR_INVALIDCALL;
    } else {
      backBuffer_->AddRef();
      *surface = backBuffer_;
    }
  }
  return Record(D3D9Call::GetBackBuffer, r, {chain, index});
}

HRESULT Device::GetRasterStatus(UINT chain, D3DRASTER_STATUS* status) {
  HRESULT r = Enter(D3D9Call::GetRasterStatus);
  if (r == D3D_OK) {
    if (chain != 0 || status == nullptr)
      r = D3DERR_INVALIDCALL;
    else
      ReadRasterStatus(backBuffer_->pixels().height, status);
  }
  return r;
}

HRESULT Device::SetDialogBoxMode(BOOL on) {
  HRESULT r = Enter(D3D9Call::SetDialogBoxMode);
  if (r == D3D_OK && (parameters_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) == 0) r = D3DERR_INVALIDCALL;
  return Record(D3D9Call::SetDialogBoxMode, r, {static_cast<uint32_t>(on)});
}

HRESULT Device::SetMaximumFrameLatency(UINT frames) {
  HRESULT r = Enter(D3D9Call::SetMaximumFrameLatency);
  if (r == D3D_OK && !ex_) r = D3DERR_INVALIDCALL;
  return Record(D3D9Call::SetMaximumFrameLatency, r, {frames});
}

// ---------------------------------------------------------------- resources

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** out, HANDLE*) {
  HRESULT r = Enter(D3D9Call::CreateTexture);
  if (r == D3D_OK) {
    const D3DCAPS9& caps = Adapter().caps;
    const bool target = (usage & D3DUSAGE_RENDERTARGET) != 0;
    const bool formatOk = target ? Listed(Adapter().renderTargetFormats, format) : Listed(Adapter().textureFormats, format);
    if (out == nullptr || !formatOk || width == 0 || height == 0 || width > caps.MaxTextureWidth ||
        height > caps.MaxTextureHeight || (target && pool != D3DPOOL_DEFAULT) ||
        ((usage & D3DUSAGE_DYNAMIC) != 0 && pool == D3DPOOL_MANAGED)) {
      r = D3DERR_INVALIDCALL;
    } else {
      auto* t = new Texture(this, pool, usage);
      if (!t->Allocate(width, height, levels, format)) {
        t->Release();
        r = D3DERR_INVALIDCALL;
      } else {
        *out = t;
      }
    }
  }
  return Record(D3D9Call::CreateTexture, r, {width, height, levels, format});
}

HRESULT Device::CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                                    D3DPOOL pool, IDirect3DVolumeTexture9** out, HANDLE*) {
  HRESULT r = Enter(D3D9Call::CreateVolumeTexture);
  if (r == D3D_OK) {
    if (out == nullptr || !Listed(Adapter().textureFormats, format) || (usage & D3DUSAGE_RENDERTARGET) != 0) {
      r = D3DERR_INVALIDCALL;
    } else {
      auto* t = new VolumeTexture(this, pool, usage);
      if (!t->Allocate(width, height, depth, levels, format)) {
        t->Release();
        r = D3DERR_INVALIDCALL;
      } else {
        *out = t;
      }
    }
  }
  return Record(D3D9Call::CreateVolumeTexture, r, {width, height, depth, format});
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** out,
                                   HANDLE*) {
  HRESULT r = Enter(D3D9Call::CreateVertexBuffer);
  if (r == D3D_OK) {
    if (out == nullptr || length == 0)
      r = D3DERR_INVALIDCALL;
    else
      *out = new VertexBuffer(this, pool, usage, length);
  }
  return Record(D3D9Call::CreateVertexBuffer, r, {length, usage, fvf, pool});
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** out, HANDLE*) {
  HRESULT r = Enter(D3D9Call::CreateIndexBuffer);
  if (r == D3D_OK) {
    if (out == nullptr || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
      r = D3DERR_INVALIDCALL;
    else
      *out = new IndexBuffer(this, pool, usage, length);
  }
  return Record(D3D9Call::CreateIndexBuffer, r, {length, usage, format, pool});
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample, DWORD,
                                   BOOL lockable, IDirect3DSurface9** out, HANDLE*) {
  HRESULT r = Enter(D3D9Call::CreateRenderTarget);
  if (r == D3D_OK) {
    if (out == nullptr || !Listed(Adapter().renderTargetFormats, format) || multiSample != D3DMULTISAMPLE_NONE) {
      r = D3DERR_INVALIDCALL;
    } else {
      auto* s = new Surface(this, true, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, lockable != FALSE);
      if (!s->pixels().Allocate(format, width, height)) {
        s->Release();
        r = D3DERR_INVALIDCALL;
      } else {
        *out = s;
      }
    }
  }
  return Record(D3D9Call::CreateRenderTarget, r, {width, height, format, static_cast<uint32_t>(lockable)});
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                          DWORD, BOOL discard, IDirect3DSurface9** out, HANDLE*) {
  HRESULT r = Enter(D3D9Call::CreateDepthStencilSurface);
  if (r == D3D_OK) {
    if (out == nullptr || !Listed(Adapter().depthFormats, format) || multiSample != D3DMULTISAMPLE_NONE) {
      r = D3DERR_INVALIDCALL;
    } else {
      auto* s = new Surface(this, true, D3DPOOL_DEFAULT, D3DUSAGE_DEPTHSTENCIL, false);
      if (!s->pixels().Allocate(format, width, height)) {
        s->Release();
        r = D3DERR_INVALIDCALL;
      } else {
        *out = s;
      }
    }
  }
  return Record(D3D9Call::CreateDepthStencilSurface, r, {width, height, format, static_cast<uint32_t>(discard)});
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** out, HANDLE*) {
  HRESULT r = Enter(D3D9Call::CreateOffscreenPlainSurface);
  if (r == D3D_OK) {
    if (out == nullptr || pool == D3DPOOL_MANAGED || IsDepthFormat(format)) {
      r = D3DERR_INVALIDCALL;
    } else {
      auto* s = new Surface(this, true, pool, 0, true);
      if (!s->pixels().Allocate(format, width, height)) {
        s->Release();
        r = D3DERR_INVALIDCALL;
      } else {
        *out = s;
      }
    }
  }
  return Record(D3D9Call::CreateOffscreenPlainSurface, r, {width, height, format, pool});
}

HRESULT Device::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                              const POINT* destPoint) {
  HRESULT r = Enter(D3D9Call::UpdateSurface);
  Surface* from = AsSurface(source);
  Surface* to = AsSurface(dest);
  if (r == D3D_OK) {
    if (from == nullptr || to == nullptr || from->info().pool != D3DPOOL_SYSTEMMEM ||
        to->info().pool != D3DPOOL_DEFAULT || from->pixels().format != to->pixels().format) {
      r = D3DERR_INVALIDCALL;
    } else {
      const RECT s = sourceRect != nullptr ? *sourceRect : WholeOf(from->pixels());
      const LONG x = destPoint != nullptr ? destPoint->x : 0, y = destPoint != nullptr ? destPoint->y : 0;
      const RECT d = {x, y, x + s.right - s.left, y + s.bottom - s.top};
      if (!from->pixels().ValidRect(&s) || !to->pixels().ValidRect(&d)) {
        r = D3DERR_INVALIDCALL;
      } else {
        PrepareMemory(&from->pixels());
        PrepareMemory(&to->pixels());
        CopyRect(from->pixels(), s, to->pixels(), x, y);
        to->pixels().newest = Newest::Memory;
      }
    }
  }
  return Record(D3D9Call::UpdateSurface, r, {IdOf(from), IdOf(to)});
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* dest) {
  HRESULT r = Enter(D3D9Call::UpdateTexture);
  auto* from = dynamic_cast<Texture*>(source);
  auto* to = dynamic_cast<Texture*>(dest);
  auto* fromVolume = dynamic_cast<VolumeTexture*>(source);
  auto* toVolume = dynamic_cast<VolumeTexture*>(dest);
  if (r == D3D_OK) {
    std::vector<PixelStore>* a = from != nullptr ? &from->levels() : fromVolume != nullptr ? &fromVolume->levels() : nullptr;
    std::vector<PixelStore>* b = to != nullptr ? &to->levels() : toVolume != nullptr ? &toVolume->levels() : nullptr;
    const D3DPOOL poolA = from != nullptr ? from->info().pool : fromVolume != nullptr ? fromVolume->info().pool : 0;
    const D3DPOOL poolB = to != nullptr ? to->info().pool : toVolume != nullptr ? toVolume->info().pool : 1;
    bool ok = a != nullptr && b != nullptr && poolA == D3DPOOL_SYSTEMMEM && poolB == D3DPOOL_DEFAULT &&
              (from != nullptr) == (to != nullptr) && a->size() >= b->size();
    for (size_t i = 0; ok && i < b->size(); ++i) {
      const PixelStore &p = (*a)[i], &q = (*b)[i];
      ok = p.format == q.format && p.width == q.width && p.height == q.height && p.depth == q.depth;
    }
    if (!ok) {
      r = D3DERR_INVALIDCALL;
    } else {
      for (size_t i = 0; i < b->size(); ++i) {
        PrepareMemory(&(*a)[i]);
        (*b)[i].bytes = (*a)[i].bytes;
        (*b)[i].newest = Newest::Memory;
      }
    }
  }
  return Record(D3D9Call::UpdateTexture, r, {IdOf(source), IdOf(dest)});
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) {
  HRESULT r = Enter(D3D9Call::GetRenderTargetData);
  Surface* from = AsSurface(renderTarget);
  Surface* to = AsSurface(dest);
  if (r == D3D_OK) {
    if (from == nullptr || to == nullptr || !IsRenderTarget(from) || to->info().pool != D3DPOOL_SYSTEMMEM ||
        from->pixels().format != to->pixels().format || from->pixels().width != to->pixels().width ||
        from->pixels().height != to->pixels().height)
      r = D3DERR_INVALIDCALL;
    else
      PrepareMemory(&from->pixels()), to->pixels().bytes = from->pixels().bytes, to->pixels().newest = Newest::Memory;
  }
  return Record(D3D9Call::GetRenderTargetData, r, {IdOf(from), IdOf(to)});
}

HRESULT Device::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                            const RECT* destRect, D3DTEXTUREFILTERTYPE filter) {
  HRESULT r = Enter(D3D9Call::StretchRect);
  Surface* from = AsSurface(source);
  Surface* to = AsSurface(dest);
  if (r == D3D_OK) {
    if (from == nullptr || to == nullptr || from->info().pool != D3DPOOL_DEFAULT ||
        to->info().pool != D3DPOOL_DEFAULT || !IsRenderTarget(to) || from->pixels().format != to->pixels().format ||
        LayoutOf(from->pixels().format).block != 1) {
      r = D3DERR_INVALIDCALL;
    } else {
      PixelStore &a = from->pixels(), &b = to->pixels();
      const RECT s = sourceRect != nullptr ? *sourceRect : WholeOf(a);
      const RECT d = destRect != nullptr ? *destRect : WholeOf(b);
      if (!Inside(s, a) || !Inside(d, b)) {
        r = D3DERR_INVALIDCALL;
      } else if (executor_ != nullptr) {
        if (!Blocked() && !BackBufferSkipped(to) && !executor_->Blit(&a, s, &b, d, filter == D3DTEXF_LINEAR))
          r = D3DERR_INVALIDCALL;
      } else {
        const UINT n = LayoutOf(a.format).bytes;
        const int64_t sw = s.right - s.left, sh = s.bottom - s.top, dw = d.right - d.left, dh = d.bottom - d.top;
        for (int64_t y = 0; y < dh; ++y)
          for (int64_t x = 0; x < dw; ++x)
            std::memcpy(b.At(static_cast<UINT>(d.left + x), static_cast<UINT>(d.top + y)),
                        a.At(static_cast<UINT>(s.left + x * sw / dw), static_cast<UINT>(s.top + y * sh / dh)), n);
      }
    }
  }
  return Record(D3D9Call::StretchRect, r, {IdOf(from), IdOf(to), filter});
}

HRESULT Device::ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) {
  HRESULT r = Enter(D3D9Call::ColorFill);
  Surface* s = AsSurface(surface);
  if (r == D3D_OK) {
    uint8_t value[4];
    if (s == nullptr || s->info().pool != D3DPOOL_DEFAULT || !PackColor(s->pixels().format, color, value) ||
        (rect != nullptr && !Inside(*rect, s->pixels())))
      r = D3DERR_INVALIDCALL;
    else if (executor_ != nullptr && IsRenderTarget(s))
      r = Blocked() || BackBufferSkipped(s) ||
                  executor_->Fill(&s->pixels(), rect != nullptr ? *rect : WholeOf(s->pixels()), color)
              ? D3D_OK
              : D3DERR_INVALIDCALL;
    else
      PrepareMemory(&s->pixels()), s->pixels().Fill(rect, value), s->pixels().newest = Newest::Memory;
  }
  return Record(D3D9Call::ColorFill, r, {IdOf(s), color});
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
  HRESULT r = Enter(D3D9Call::SetRenderTarget);
  Surface* s = AsSurface(surface);
  if (r == D3D_OK) {
    if (index != 0 || s == nullptr || !IsRenderTarget(s)) {
      r = D3DERR_INVALIDCALL;
    } else {
      s->AddRef();
      renderTarget_->Release();
      renderTarget_ = s;
      state_.renderTarget = s->id();
      state_.viewport = {0, 0, s->pixels().width, s->pixels().height, 0.0f, 1.0f};
      state_.scissor = WholeOf(s->pixels());
    }
  }
  return Record(D3D9Call::SetRenderTarget, r, {index, IdOf(s)});
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
  HRESULT r = Enter(D3D9Call::GetRenderTarget);
  if (r == D3D_OK) {
    if (index != 0 || surface == nullptr) {
      r = D3DERR_INVALIDCALL;
    } else {
      renderTarget_->AddRef();
      *surface = renderTarget_;
    }
  }
  return Record(D3D9Call::GetRenderTarget, r, {index});
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* surface) {
  HRESULT r = Enter(D3D9Call::SetDepthStencilSurface);
  Surface* s = AsSurface(surface);
  if (r == D3D_OK) {
    if (surface != nullptr && (s == nullptr || (s->info().usage & D3DUSAGE_DEPTHSTENCIL) == 0)) {
      r = D3DERR_INVALIDCALL;
    } else {
      if (s != nullptr) s->AddRef();
      if (depthStencil_ != nullptr) depthStencil_->Release();
      depthStencil_ = s;
      state_.depthStencil = IdOf(s);
    }
  }
  return Record(D3D9Call::SetDepthStencilSurface, r, {IdOf(s)});
}

// ---------------------------------------------------------------- scene

HRESULT Device::BeginScene() {
  HRESULT r = Enter(D3D9Call::BeginScene);
  if (r == D3D_OK) {
    if (inScene_)
      r = D3DERR_INVALIDCALL;
    else
      inScene_ = true;
  }
  return Record(D3D9Call::BeginScene, r);
}

HRESULT Device::EndScene() {
  HRESULT r = Enter(D3D9Call::EndScene);
  if (r == D3D_OK) {
    if (!inScene_)
      r = D3DERR_INVALIDCALL;
    else
      inScene_ = false;
  }
  return Record(D3D9Call::EndScene, r);
}

HRESULT Device::Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD) {
  HRESULT r = Enter(D3D9Call::Clear);
  if (r == D3D_OK) {
    if ((count != 0 && rects == nullptr) || ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0 && depthStencil_ == nullptr)) {
      r = D3DERR_INVALIDCALL;
    } else if (!Blocked()) {
      // Within the viewport, and the given rectangles.
      const D3DVIEWPORT9& v = state_.viewport;
      const RECT view = {static_cast<LONG>(v.X), static_cast<LONG>(v.Y), static_cast<LONG>(v.X + v.Width),
                         static_cast<LONG>(v.Y + v.Height)};
      auto clear = [&](const RECT& area) {
        uint8_t value[4];
        if ((flags & D3DCLEAR_TARGET) != 0 && PackColor(renderTarget_->pixels().format, color, value))
          renderTarget_->pixels().Fill(&area, value);
        if ((flags & D3DCLEAR_ZBUFFER) != 0) {
          const D3DFORMAT f = depthStencil_->pixels().format;
          const double scale = f == D3DFMT_D16 ? 65535.0 : f == D3DFMT_D24X8 ? 16777215.0 : 4294967295.0;
          const auto depth = static_cast<uint32_t>(std::clamp(static_cast<double>(z), 0.0, 1.0) * scale);
          std::memcpy(value, &depth, 4);
          depthStencil_->pixels().Fill(&area, value);
        }
      };
      std::vector<RECT> areas;
      if (count == 0) {
        areas.push_back(view);
      } else {
        for (DWORD i = 0; i < count; ++i) {
          RECT a = rects[i];
          a.left = std::max(a.left, view.left);
          a.top = std::max(a.top, view.top);
          a.right = std::min(a.right, view.right);
          a.bottom = std::min(a.bottom, view.bottom);
          areas.push_back(a);
        }
      }
      if (executor_ != nullptr) {
        PixelStore* depth = depthStencil_ != nullptr ? &depthStencil_->pixels() : nullptr;
        if (!BackBufferSkipped(renderTarget_) &&
            !executor_->Clear(&renderTarget_->pixels(), depth, areas, flags, color, z))
          r = D3DERR_INVALIDCALL;
      } else {
        for (const RECT& a : areas) clear(a);
      }
    }
  }
  return Record(D3D9Call::Clear, r, {count, flags, color, FloatBits(z)});
}

// ---------------------------------------------------------------- states

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) {
  HRESULT r = Enter(D3D9Call::SetTransform);
  if (r == D3D_OK) {
    D3DMATRIX* slot = type == D3DTS_WORLD        ? &state_.world
                      : type == D3DTS_VIEW       ? &state_.view
                      : type == D3DTS_PROJECTION ? &state_.projection
                      : type >= D3DTS_TEXTURE0 && type < D3DTS_TEXTURE0 + D3D9TextureStageCount
                          ? &state_.texture[type - D3DTS_TEXTURE0]
                          : nullptr;
    if (slot == nullptr || matrix == nullptr)
      r = D3DERR_INVALIDCALL;
    else
      *slot = *matrix;
  }
  return Record(D3D9Call::SetTransform, r, {type});
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
  HRESULT r = Enter(D3D9Call::SetViewport);
  if (r == D3D_OK) {
    const PixelStore& t = renderTarget_->pixels();
    if (viewport == nullptr || viewport->X + static_cast<uint64_t>(viewport->Width) > t.width ||
        viewport->Y + static_cast<uint64_t>(viewport->Height) > t.height || viewport->Width == 0 ||
        viewport->Height == 0)
      r = D3DERR_INVALIDCALL;
    else
      state_.viewport = *viewport;
  }
  if (viewport == nullptr) return Record(D3D9Call::SetViewport, r);
  return Record(D3D9Call::SetViewport, r, {viewport->X, viewport->Y, viewport->Width, viewport->Height});
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
  HRESULT r = Enter(D3D9Call::SetMaterial);
  if (r == D3D_OK) {
    if (material == nullptr)
      r = D3DERR_INVALIDCALL;
    else
      state_.material = *material;
  }
  return Record(D3D9Call::SetMaterial, r);
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
  HRESULT r = Enter(D3D9Call::SetLight);
  if (r == D3D_OK) {
    if (light == nullptr || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
      r = D3DERR_INVALIDCALL;
    else
      lights_[index] = *light;
  }
  return Record(D3D9Call::SetLight, r, {index});
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
  HRESULT r = Enter(D3D9Call::LightEnable);
  if (r == D3D_OK) {
    if (lights_.find(index) == lights_.end()) {
      // A light enabled before it was set is the default white directional light.
      D3DLIGHT9 l{};
      l.Type = D3DLIGHT_DIRECTIONAL;
      l.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
      l.Direction = {0.0f, 0.0f, 1.0f};
      lights_[index] = l;
    }
    lightEnabled_[index] = enable != FALSE;
  }
  return Record(D3D9Call::LightEnable, r, {index, static_cast<uint32_t>(enable)});
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  HRESULT r = Enter(D3D9Call::SetRenderState);
  if (r == D3D_OK) {
    if (state >= D3D9RenderStateCount)
      r = D3DERR_INVALIDCALL;
    else
      state_.renderStates[state] = value;
  }
  return Record(D3D9Call::SetRenderState, r, {state, value});
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  HRESULT r = Enter(D3D9Call::SetTexture);
  if (r == D3D_OK) {
    if (stage >= D3D9SamplerCount) {
      r = D3DERR_INVALIDCALL;
    } else {
      if (texture != nullptr) texture->AddRef();
      if (textures_[stage] != nullptr) textures_[stage]->Release();
      textures_[stage] = texture;
      state_.textures[stage] = IdOf(texture);
    }
  }
  return Record(D3D9Call::SetTexture, r, {stage, IdOf(texture)});
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  HRESULT r = Enter(D3D9Call::SetTextureStageState);
  if (r == D3D_OK) {
    if (stage >= D3D9TextureStageCount || type >= D3D9TextureStageStateCount || type == 0)
      r = D3DERR_INVALIDCALL;
    else
      state_.textureStageStates[stage][type] = value;
  }
  return Record(D3D9Call::SetTextureStageState, r, {stage, type, value});
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  HRESULT r = Enter(D3D9Call::SetSamplerState);
  if (r == D3D_OK) {
    if (sampler >= D3D9SamplerCount || type >= D3D9SamplerStateCount || type == 0)
      r = D3DERR_INVALIDCALL;
    else
      state_.samplerStates[sampler][type] = value;
  }
  return Record(D3D9Call::SetSamplerState, r, {sampler, type, value});
}

HRESULT Device::SetScissorRect(const RECT* rect) {
  HRESULT r = Enter(D3D9Call::SetScissorRect);
  if (r == D3D_OK) {
    if (rect == nullptr)
      r = D3DERR_INVALIDCALL;
    else
      state_.scissor = *rect;
  }
  if (rect == nullptr) return Record(D3D9Call::SetScissorRect, r);
  return Record(D3D9Call::SetScissorRect, r,
                {static_cast<uint32_t>(rect->left), static_cast<uint32_t>(rect->top),
                 static_cast<uint32_t>(rect->right), static_cast<uint32_t>(rect->bottom)});
}

// ---------------------------------------------------------------- draws

HRESULT Device::RecordDraw(D3D9Call call, D3DPRIMITIVETYPE type, UINT primitiveCount, UINT vertexCount,
                           const void* vertices, UINT stride, const void* indices, UINT indexCount,
                           D3DFORMAT indexFormat) {
  State& g = Global();
  if (!g.recording || Blocked()) return D3D_OK;
  D3D9DrawRecord d;
  d.call = call;
  d.type = type;
  d.primitiveCount = primitiveCount;
  d.vertexCount = vertexCount;
  d.stride = stride;
  const auto* v = static_cast<const uint8_t*>(vertices);
  d.vertices.assign(v, v + static_cast<size_t>(vertexCount) * stride);
  if (indices != nullptr) {
    const auto* i = static_cast<const uint8_t*>(indices);
    d.indices.assign(i, i + static_cast<size_t>(indexCount) * LayoutOf(indexFormat).bytes);
  }
  d.indexFormat = indexFormat;
  d.callIndex = g.journal.size();
  d.state = state_;
  g.draws.push_back(std::move(d));
  return D3D_OK;
}

void Device::Execute(D3DPRIMITIVETYPE type, UINT vertexCount, const void* vertices, UINT stride,
                     const void* indices, UINT indexCount, D3DFORMAT indexFormat) {
  if (executor_ == nullptr || Blocked() || BackBufferSkipped(renderTarget_)) return;
  ExecutorDraw d{};
  d.state = &state_;
  for (UINT s = 0; s < D3D9SamplerCount; ++s) {
    auto* t = dynamic_cast<Texture*>(textures_[s]);
    d.textures[s] = t != nullptr ? &t->levels()[0] : nullptr;
  }
  d.target = &renderTarget_->pixels();
  d.depth = depthStencil_ != nullptr ? &depthStencil_->pixels() : nullptr;
  d.type = type;
  d.vertices = vertices;
  d.vertexCount = vertexCount;
  d.stride = stride;
  d.indices = indices;
  d.indexCount = indexCount;
  d.indexFormat = indexFormat;
  const auto* vs = dynamic_cast<VertexShader*>(vertexShader_);
  const auto* ps = dynamic_cast<PixelShader*>(pixelShader_);
  if (vs != nullptr && ps != nullptr) {
    d.vertexShader = &vs->text();
    d.pixelShader = &ps->text();
    d.vertexConstants = &vsFloat_[0][0];
    d.vertexBools = vsBool_;
    d.pixelConstants = &psFloat_[0][0];
  }
  executor_->Draw(d);
}

bool Device::BackBufferSkipped(const Surface* target) const {
  return Global().windowPresentsSkipped && target == backBuffer_;
}

bool Device::CheckContext() {
  if (executor_ == nullptr || !executor_->Lost()) return false;
  // A context can be had again at once: the device waits to be made anew.
  if (!Global().lost) Global().needsReset = true;
  return true;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) {
  HRESULT r = Enter(D3D9Call::DrawPrimitiveUP);
  const UINT count = VerticesOf(type, primitiveCount);
  if (r == D3D_OK) {
    if (!inScene_ || count == 0 || primitiveCount == 0 || vertices == nullptr || stride == 0) {
      r = D3DERR_INVALIDCALL;
    } else {
      r = RecordDraw(D3D9Call::DrawPrimitiveUP, type, primitiveCount, count, vertices, stride, nullptr, 0, 0);
      Execute(type, count, vertices, stride, nullptr, 0, 0);
    }
  }
  return Record(D3D9Call::DrawPrimitiveUP, r, {type, primitiveCount, stride, state_.fvf});
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount, UINT primitiveCount,
                                       const void* indices, D3DFORMAT indexFormat, const void* vertices, UINT stride) {
  HRESULT r = Enter(D3D9Call::DrawIndexedPrimitiveUP);
  const UINT indexCount = VerticesOf(type, primitiveCount);
  if (r == D3D_OK) {
    if (!inScene_ || indexCount == 0 || primitiveCount == 0 || vertices == nullptr || indices == nullptr ||
        stride == 0 || vertexCount == 0 || (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
      r = D3DERR_INVALIDCALL;
    else
      r = RecordDraw(D3D9Call::DrawIndexedPrimitiveUP, type, primitiveCount, minIndex + vertexCount, vertices, stride,
                     indices, indexCount, indexFormat),
      Execute(type, minIndex + vertexCount, vertices, stride, indices, indexCount, indexFormat);
  }
  return Record(D3D9Call::DrawIndexedPrimitiveUP, r, {type, primitiveCount, stride, vertexCount});
}

// ---------------------------------------------------------------- declarations and shaders

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** out) {
  HRESULT r = Enter(D3D9Call::CreateVertexDeclaration);
  if (r == D3D_OK) {
    std::vector<D3DVERTEXELEMENT9> list;
    for (size_t i = 0; elements != nullptr && i < 65 && elements[i].Stream != 0xFF; ++i) list.push_back(elements[i]);
    if (out == nullptr || elements == nullptr || list.size() > 64)
      r = D3DERR_INVALIDCALL;
    else
      *out = new Declaration(this, std::move(list));
  }
  return Record(D3D9Call::CreateVertexDeclaration, r);
}

HRESULT Device::SetFVF(DWORD fvf) {
  HRESULT r = Enter(D3D9Call::SetFVF);
  if (r == D3D_OK) state_.fvf = fvf;
  return Record(D3D9Call::SetFVF, r, {fvf});
}

namespace {

template <typename S, typename I>
HRESULT MakeShader(Device* device, const DWORD* code, I** out) {
  if (code == nullptr || out == nullptr) return D3DERR_INVALIDCALL;
  std::string text(reinterpret_cast<const char*>(code));
  if (text.empty()) return D3DERR_INVALIDCALL;
  // Drawing devices take only code that compiles as GLSL of its stage.
  constexpr bool pixel = std::is_same_v<I, IDirect3DPixelShader9>;
  if (device->executor() != nullptr && !device->executor()->CompileCheck(pixel, text, &Global().shaderLog))
    return D3DERR_INVALIDCALL;
  *out = new S(device, std::move(text));
  return D3D_OK;
}

template <typename I>
void Bind(I*& slot, I* shader, uint32_t* id) {
  if (shader != nullptr) shader->AddRef();
  if (slot != nullptr) slot->Release();
  slot = shader;
  *id = IdOf(shader);
}

template <typename T, size_t N, size_t W>
HRESULT StoreConstants(T (&table)[N][W], UINT start, const T* data, UINT count) {
  if (data == nullptr || start > N || count > N - start) return D3DERR_INVALIDCALL;
  std::memcpy(table[start], data, sizeof(T) * W * count);
  return D3D_OK;
}

template <typename T, size_t N>
HRESULT StoreConstants(T (&table)[N], UINT start, const T* data, UINT count) {
  if (data == nullptr || start > N || count > N - start) return D3DERR_INVALIDCALL;
  std::memcpy(table + start, data, sizeof(T) * count);
  return D3D_OK;
}

// One of the constant setters: counted, stored, journalled.
template <typename Table, typename T>
HRESULT ConstantCall(D3D9Call call, Table& table, UINT start, const T* data, UINT count) {
  HRESULT r = Enter(call);
  if (r == D3D_OK) r = StoreConstants(table, start, data, count);
  return Record(call, r, {start, count});
}

}  // namespace

HRESULT Device::CreateVertexShader(const DWORD* code, IDirect3DVertexShader9** out) {
  HRESULT r = Enter(D3D9Call::CreateVertexShader);
  if (r == D3D_OK) r = MakeShader<VertexShader>(this, code, out);
  return Record(D3D9Call::CreateVertexShader, r);
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* shader) {
  HRESULT r = Enter(D3D9Call::SetVertexShader);
  if (r == D3D_OK) Bind(vertexShader_, shader, &state_.vertexShader);
  return Record(D3D9Call::SetVertexShader, r, {IdOf(shader)});
}

HRESULT Device::CreatePixelShader(const DWORD* code, IDirect3DPixelShader9** out) {
  HRESULT r = Enter(D3D9Call::CreatePixelShader);
  if (r == D3D_OK) r = MakeShader<PixelShader>(this, code, out);
  return Record(D3D9Call::CreatePixelShader, r);
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9* shader) {
  HRESULT r = Enter(D3D9Call::SetPixelShader);
  if (r == D3D_OK) Bind(pixelShader_, shader, &state_.pixelShader);
  return Record(D3D9Call::SetPixelShader, r, {IdOf(shader)});
}

HRESULT Device::SetVertexShaderConstantF(UINT start, const float* data, UINT count) {
  return ConstantCall(D3D9Call::SetVertexShaderConstantF, vsFloat_, start, data, count);
}
HRESULT Device::SetVertexShaderConstantI(UINT start, const int* data, UINT count) {
  return ConstantCall(D3D9Call::SetVertexShaderConstantI, vsInt_, start, data, count);
}
HRESULT Device::SetVertexShaderConstantB(UINT start, const BOOL* data, UINT count) {
  return ConstantCall(D3D9Call::SetVertexShaderConstantB, vsBool_, start, data, count);
}
HRESULT Device::SetPixelShaderConstantF(UINT start, const float* data, UINT count) {
  return ConstantCall(D3D9Call::SetPixelShaderConstantF, psFloat_, start, data, count);
}
HRESULT Device::SetPixelShaderConstantI(UINT start, const int* data, UINT count) {
  return ConstantCall(D3D9Call::SetPixelShaderConstantI, psInt_, start, data, count);
}
HRESULT Device::SetPixelShaderConstantB(UINT start, const BOOL* data, UINT count) {
  return ConstantCall(D3D9Call::SetPixelShaderConstantB, psBool_, start, data, count);
}

const D3DLIGHT9* Device::light(DWORD index) const {
  auto it = lights_.find(index);
  return it != lights_.end() ? &it->second : nullptr;
}

BOOL Device::lightEnabled(DWORD index) const {
  auto it = lightEnabled_.find(index);
  return it != lightEnabled_.end() && it->second ? TRUE : FALSE;
}

}  // namespace d3d9
