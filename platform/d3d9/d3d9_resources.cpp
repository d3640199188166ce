#include <cstring>

#include "platform/d3d9/d3d9_device.h"
#include "platform/win32/win32_time.h"

namespace d3d9 {

void HoldDevice(ResourceInfo* info, Device* device) {
  info->device = device;
  info->holdsDevice = device != nullptr;
  if (device == nullptr) return;
  device->resources.insert(info);
  if (info->pool == D3DPOOL_DEFAULT) ++device->defaultPoolObjects;
}

void DropDevice(ResourceInfo* info) {
  if (info->holdsDevice && info->device != nullptr) {
    if (info->pool == D3DPOOL_DEFAULT) --info->device->defaultPoolObjects;
    info->device->resources.erase(info);
  }
  info->device = nullptr;
  info->holdsDevice = false;
}

namespace {

void Describe(const PixelStore& p, D3DRESOURCETYPE type, const ResourceInfo& info, D3DSURFACE_DESC* desc) {
  desc->Format = p.format;
  desc->Type = type;
  desc->Usage = info.usage;
  desc->Pool = info.pool;
  desc->MultiSampleType = D3DMULTISAMPLE_NONE;
  desc->MultiSampleQuality = 0;
  desc->Width = p.width;
  desc->Height = p.height;
}

// The device (null: detached) brings the newest pixels into memory first.
HRESULT LockStore(Device* device, PixelStore* p, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (locked == nullptr || p->locked || !p->ValidRect(rect)) return D3DERR_INVALIDCALL;
  if (device != nullptr) device->PrepareMemory(p);
  p->lockedReadOnly = (flags & D3DLOCK_READONLY) != 0;
  locked->Pitch = static_cast<int>(p->pitch);
  locked->pBits = rect != nullptr ? p->At(static_cast<UINT>(rect->left), static_cast<UINT>(rect->top)) : p->bytes.data();
  p->locked = true;
  return D3D_OK;
}

HRESULT UnlockStore(PixelStore* p) {
  if (!p->locked) return D3DERR_INVALIDCALL;
  p->locked = false;
  if (!p->lockedReadOnly) p->newest = Newest::Memory;
  return D3D_OK;
}

UINT FullChain(UINT width, UINT height, UINT depth) {
  UINT levels = 1;
  while (width > 1 || height > 1 || depth > 1) {
    width = width > 1 ? width / 2 : 1;
    height = height > 1 ? height / 2 : 1;
    depth = depth > 1 ? depth / 2 : 1;
    ++levels;
  }
  return levels;
}

UINT Half(UINT v) { return v > 1 ? v / 2 : 1; }

}  // namespace

// ---------------------------------------------------------------- surfaces

Surface::Surface(Device* device, bool holdsDevice, D3DPOOL pool, DWORD usage, bool lockable)
    : level_(&own_), lockable_(lockable) {
  info_.pool = pool;
  info_.usage = usage;
  if (holdsDevice)
    HoldDevice(&info_, device);
  else
    info_.device = device;
}

Surface::Surface(IUnknown* container, PixelStore* level, D3DPOOL pool, DWORD usage)
    : Com(false), container_(container), level_(level) {
  info_.pool = pool;
  info_.usage = usage;
  lockable_ = (usage & D3DUSAGE_RENDERTARGET) == 0 && (pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0);
}

Surface::~Surface() {
  if (container_ == nullptr && info_.device != nullptr) info_.device->Forget(&own_);
  DropDevice(&info_);
}

Device* Surface::device() const {
  if (container_ != nullptr) {
    const auto* t = dynamic_cast<const Texture*>(container_);
    return t != nullptr ? t->info().device : nullptr;
  }
  return info_.device;
}

ULONG Surface::AddRef() { return container_ != nullptr ? container_->AddRef() : Com::AddRef(); }
ULONG Surface::Release() { return container_ != nullptr ? container_->Release() : Com::Release(); }

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
  HRESULT r = Enter(D3D9Call::SurfaceGetDesc);
  if (r == D3D_OK) {
    if (desc == nullptr)
      r = D3DERR_INVALIDCALL;
    else
      Describe(*level_, D3DRTYPE_SURFACE, info_, desc);
  }
  return Record(D3D9Call::SurfaceGetDesc, r, {id()});
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  HRESULT r = Enter(D3D9Call::SurfaceLockRect);
  if (r == D3D_OK) r = lockable_ ? LockStore(device(), level_, locked, rect, flags) : D3DERR_INVALIDCALL;
  return Record(D3D9Call::SurfaceLockRect, r, {id(), flags});
}

HRESULT Surface::UnlockRect() {
  HRESULT r = Enter(D3D9Call::SurfaceUnlockRect);
  if (r == D3D_OK) r = UnlockStore(level_);
  return Record(D3D9Call::SurfaceUnlockRect, r, {id()});
}

// ---------------------------------------------------------------- textures

Texture::Texture(Device* device, D3DPOOL pool, DWORD usage) {
  info_.pool = pool;
  info_.usage = usage;
  HoldDevice(&info_, device);
}

bool Texture::Allocate(UINT width, UINT height, UINT levels, D3DFORMAT format) {
  if (levels == 0) levels = FullChain(width, height, 1);
  if (levels > FullChain(width, height, 1)) return false;
  levels_.resize(levels);
  for (UINT i = 0; i < levels; ++i) {
    if (!levels_[i].Allocate(format, width, height)) return false;
    levels_[i].level = i;
    levels_[i].levelCount = levels;
    width = Half(width);
    height = Half(height);
  }
  for (PixelStore& level : levels_) surfaces_.push_back(new Surface(this, &level, info_.pool, info_.usage));
  return true;
}

Texture::~Texture() {
  // The level surfaces share the texture's count: delete them directly.
  for (Surface* s : surfaces_) delete static_cast<ObjectBase*>(s);
  if (info_.device != nullptr && !levels_.empty()) info_.device->Forget(&levels_[0]);
  DropDevice(&info_);
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  HRESULT r = Enter(D3D9Call::TextureGetLevelDesc);
  if (r == D3D_OK) {
    if (desc == nullptr || level >= levels_.size())
      r = D3DERR_INVALIDCALL;
    else
      Describe(levels_[level], D3DRTYPE_SURFACE, info_, desc);
  }
  return Record(D3D9Call::TextureGetLevelDesc, r, {id(), level});
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  HRESULT r = Enter(D3D9Call::TextureGetSurfaceLevel);
  if (r == D3D_OK) {
    if (surface == nullptr || level >= levels_.size()) {
      r = D3DERR_INVALIDCALL;
    } else {
      *surface = surfaces_[level];
      AddRef();
    }
  }
  return Record(D3D9Call::TextureGetSurfaceLevel, r, {id(), level});
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  HRESULT r = Enter(D3D9Call::TextureLockRect);
  if (r == D3D_OK) {
    if (level >= levels_.size() || !surfaces_[level]->lockable())
      r = D3DERR_INVALIDCALL;
    else
      r = LockStore(info_.device, &levels_[level], locked, rect, flags);
  }
  return Record(D3D9Call::TextureLockRect, r, {id(), level, flags});
}

HRESULT Texture::UnlockRect(UINT level) {
  HRESULT r = Enter(D3D9Call::TextureUnlockRect);
  if (r == D3D_OK) r = level < levels_.size() ? UnlockStore(&levels_[level]) : D3DERR_INVALIDCALL;
  return Record(D3D9Call::TextureUnlockRect, r, {id(), level});
}

// ---------------------------------------------------------------- volume textures

VolumeTexture::VolumeTexture(Device* device, D3DPOOL pool, DWORD usage) {
  info_.pool = pool;
  info_.usage = usage;
  HoldDevice(&info_, device);
}

VolumeTexture::~VolumeTexture() { DropDevice(&info_); }

bool VolumeTexture::Allocate(UINT width, UINT height, UINT depth, UINT levels, D3DFORMAT format) {
  if (LayoutOf(format).block != 1) return false;
  if (levels == 0) levels = FullChain(width, height, depth);
  if (levels > FullChain(width, height, depth)) return false;
  levels_.resize(levels);
  for (UINT i = 0; i < levels; ++i) {
    if (!levels_[i].Allocate(format, width, height, depth)) return false;
    width = Half(width);
    height = Half(height);
    depth = Half(depth);
  }
  return true;
}

HRESULT VolumeTexture::LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) {
  HRESULT r = Enter(D3D9Call::VolumeLockBox);
  if (r == D3D_OK) {
    PixelStore* p = level < levels_.size() ? &levels_[level] : nullptr;
    const bool lockable = info_.pool != D3DPOOL_DEFAULT || (info_.usage & D3DUSAGE_DYNAMIC) != 0;
    if (p == nullptr || locked == nullptr || p->locked || !lockable ||
        (box != nullptr && (box->Left >= box->Right || box->Top >= box->Bottom || box->Front >= box->Back ||
                            box->Right > p->width || box->Bottom > p->height || box->Back > p->depth))) {
      r = D3DERR_INVALIDCALL;
    } else {
      locked->RowPitch = static_cast<int>(p->pitch);
      locked->SlicePitch = static_cast<int>(p->slicePitch);
      locked->pBits = box != nullptr ? p->At(box->Left, box->Top, box->Front) : p->bytes.data();
      p->locked = true;
    }
  }
  return Record(D3D9Call::VolumeLockBox, r, {id(), level, flags});
}

HRESULT VolumeTexture::UnlockBox(UINT level) {
  HRESULT r = Enter(D3D9Call::VolumeUnlockBox);
  if (r == D3D_OK) r = level < levels_.size() ? UnlockStore(&levels_[level]) : D3DERR_INVALIDCALL;
  return Record(D3D9Call::VolumeUnlockBox, r, {id(), level});
}

// ---------------------------------------------------------------- declarations

Declaration::Declaration(Device* device, std::vector<D3DVERTEXELEMENT9> elements)
    : elements_(std::move(elements)) {
  info_.pool = D3DPOOL_MANAGED;  // outlives a Reset
  HoldDevice(&info_, device);
}

Declaration::~Declaration() { DropDevice(&info_); }

// ---------------------------------------------------------------- swap chain and raster status

void ReadRasterStatus(UINT height, D3DRASTER_STATUS* status) {
  // A polling caller sees time pass under the virtual clock as it would on
  // a real display.
  if (PlatformVirtualClockActive()) PlatformAdvanceVirtualClock(100);
  constexpr int64_t kPeriod = 1000000 / 60;
  const int64_t phase = NowMicroseconds() % kPeriod;
  const int64_t blank = kPeriod / 20;
  status->InVBlank = phase < blank && Global().adapter.verticalBlankReported ? TRUE : FALSE;
  status->ScanLine = phase < blank ? 0 : static_cast<UINT>((phase - blank) * height / (kPeriod - blank));
}

HRESULT SwapChain::Present(const RECT* source, const RECT* dest, HWND window, const void* dirtyRegion, DWORD) {
  HRESULT r = Enter(D3D9Call::SwapChainPresent);
  Record(D3D9Call::SwapChainPresent, r, {});
  if (r != D3D_OK) return r;
  return device_ != nullptr ? device_->Present(source, dest, window, dirtyRegion) : D3DERR_INVALIDCALL;
}

HRESULT SwapChain::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface) {
  HRESULT r = Enter(D3D9Call::SwapChainGetBackBuffer);
  if (r == D3D_OK) {
    if (surface == nullptr || index != 0 || backBuffer_ == nullptr) {
      r = D3DERR_INVALIDCALL;
    } else {
      backBuffer_->AddRef();
      *surface = backBuffer_;
    }
  }
  return Record(D3D9Call::SwapChainGetBackBuffer, r, {index});
}

HRESULT SwapChain::GetRasterStatus(D3DRASTER_STATUS* status) {
  HRESULT r = Enter(D3D9Call::SwapChainGetRasterStatus);
  if (r == D3D_OK) {
    if (status == nullptr || backBuffer_ == nullptr)
      r = D3DERR_INVALIDCALL;
    else
      ReadRasterStatus(backBuffer_->pixels().height, status);
  }
  return r;  // polled in loops: not journalled
}

}  // namespace d3d9
