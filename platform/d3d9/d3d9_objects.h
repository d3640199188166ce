// The stand-in's objects: resources, swap chain and device.
#pragma once

#include <map>
#include <string>

#include "platform/d3d9/d3d9_internal.h"

namespace d3d9 {

class Device;

// What every resource knows: its device (which lists the resources made on
// it, unless it made them for itself), pool and usage. A resource does not
// keep its device alive: a device released while resources remain leaves
// them detached (and counted among the live objects).
struct ResourceInfo {
  Device* device = nullptr;
  bool holdsDevice = false;
  D3DPOOL pool = D3DPOOL_DEFAULT;
  DWORD usage = 0;
};

void HoldDevice(ResourceInfo* info, Device* device);
void DropDevice(ResourceInfo* info);

// A surface: on its own (render target, depth stencil, offscreen plain, back
// buffer), or one level of a texture, whose references it shares.
class Surface final : public Com<IDirect3DSurface9> {
 public:
  // Own pixels.
  Surface(Device* device, bool holdsDevice, D3DPOOL pool, DWORD usage, bool lockable);
  // A texture's level.
  Surface(IUnknown* container, PixelStore* level, D3DPOOL pool, DWORD usage);
  ULONG AddRef() override;
  ULONG Release() override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;

  PixelStore& pixels() { return *level_; }
  const ResourceInfo& info() const { return info_; }
  bool lockable() const { return lockable_; }
  // The texture whose level this is, or null.
  IUnknown* container() const { return container_; }
  // The device it was made on (its texture's, for a level), null once detached.
  Device* device() const;
  // Unhooks the surface from a device that goes away first.
  void Detach() { info_.device = nullptr; }

 private:
  ~Surface() override;
  ResourceInfo info_;
  IUnknown* container_ = nullptr;
  PixelStore own_;
  PixelStore* level_;
  bool lockable_;
};

class Texture final : public Com<IDirect3DTexture9> {
 public:
  Texture(Device* device, D3DPOOL pool, DWORD usage);
  bool Allocate(UINT width, UINT height, UINT levels, D3DFORMAT format);
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  std::vector<PixelStore>& levels() { return levels_; }
  const ResourceInfo& info() const { return info_; }

 private:
  ~Texture() override;
  ResourceInfo info_;
  std::vector<PixelStore> levels_;
  std::vector<Surface*> surfaces_;
};

class VolumeTexture final : public Com<IDirect3DVolumeTexture9> {
 public:
  VolumeTexture(Device* device, D3DPOOL pool, DWORD usage);
  bool Allocate(UINT width, UINT height, UINT depth, UINT levels, D3DFORMAT format);
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VOLUMETEXTURE; }
  DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
  HRESULT LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) override;
  HRESULT UnlockBox(UINT level) override;

  std::vector<PixelStore>& levels() { return levels_; }
  const ResourceInfo& info() const { return info_; }

 private:
  ~VolumeTexture() override;
  ResourceInfo info_;
  std::vector<PixelStore> levels_;
};

// Vertex and index buffers: bytes and their lock.
template <typename I, D3DRESOURCETYPE Type>
class Buffer final : public Com<I> {
 public:
  Buffer(Device* device, D3DPOOL pool, DWORD usage, UINT length) : bytes_(length, 0) {
    info_.pool = pool;
    info_.usage = usage;
    HoldDevice(&info_, device);
  }
  D3DRESOURCETYPE GetType() override { return Type; }
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD) override {
    HRESULT r = Enter(D3D9Call::BufferLock);
    if (r == D3D_OK) {
      if (data == nullptr || locked_ || offset > bytes_.size() || size > bytes_.size() - offset) {
        r = D3DERR_INVALIDCALL;
      } else {
        *data = bytes_.data() + offset;
        locked_ = true;
      }
    }
    return Record(D3D9Call::BufferLock, r, {IdOf(this), offset, size});
  }
  HRESULT Unlock() override {
    HRESULT r = Enter(D3D9Call::BufferUnlock);
    if (r == D3D_OK) {
      if (!locked_) r = D3DERR_INVALIDCALL;
      locked_ = false;
    }
    return Record(D3D9Call::BufferUnlock, r, {IdOf(this)});
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  const ResourceInfo& info() const { return info_; }

 private:
  ~Buffer() override { DropDevice(&info_); }
  ResourceInfo info_;
  std::vector<uint8_t> bytes_;
  bool locked_ = false;
};
using VertexBuffer = Buffer<IDirect3DVertexBuffer9, D3DRTYPE_VERTEXBUFFER>;
using IndexBuffer = Buffer<IDirect3DIndexBuffer9, D3DRTYPE_INDEXBUFFER>;

class Declaration final : public Com<IDirect3DVertexDeclaration9> {
 public:
  Declaration(Device* device, std::vector<D3DVERTEXELEMENT9> elements);
  const std::vector<D3DVERTEXELEMENT9>& elements() const { return elements_; }

 private:
  ~Declaration() override;
  ResourceInfo info_;
  std::vector<D3DVERTEXELEMENT9> elements_;
};

// A vertex or pixel shader: its text.
template <typename I>
class Shader final : public Com<I> {
 public:
  Shader(Device* device, std::string text) : text_(std::move(text)) {
    info_.pool = D3DPOOL_MANAGED;  // outlives a Reset
    HoldDevice(&info_, device);
  }
  const std::string& text() const { return text_; }

 private:
  ~Shader() override { DropDevice(&info_); }
  ResourceInfo info_;
  std::string text_;
};
using VertexShader = Shader<IDirect3DVertexShader9>;
using PixelShader = Shader<IDirect3DPixelShader9>;

class SwapChain final : public Com<IDirect3DSwapChain9> {
 public:
  SwapChain(Device* device, Surface* backBuffer) : device_(device), backBuffer_(backBuffer) { backBuffer_->AddRef(); }
  HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirtyRegion, DWORD flags) override;
  HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) override;
  HRESULT GetRasterStatus(D3DRASTER_STATUS* status) override;
  void Detach() { device_ = nullptr; }

 private:
  ~SwapChain() override { backBuffer_->Release(); }
  Device* device_;
  Surface* backBuffer_;
};

// The raster status of a display of `height` lines at 60 Hz.
void ReadRasterStatus(UINT height, D3DRASTER_STATUS* status);

}  // namespace d3d9
