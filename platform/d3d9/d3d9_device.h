// The stand-in's device: states, lights and constants in memory, resources
// made on it, the scene and the recorded draws.
#pragma once

#include <memory>
#include <set>

#include "platform/d3d9/d3d9_executor.h"
#include "platform/d3d9/d3d9_objects.h"

namespace d3d9 {

class Device final : public Com<IDirect3DDevice9Ex> {
 public:
  // With an executor the device draws through it; without, it only records.
  Device(const D3DPRESENT_PARAMETERS& parameters, DWORD behaviour, bool ex, std::unique_ptr<Executor> executor);
  // False when the back buffer cannot be made.
  bool Start();

  HRESULT TestCooperativeLevel() override;
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
  HRESULT GetSwapChain(UINT index, IDirect3DSwapChain9** chain) override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
  HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirtyRegion) override;
  HRESULT GetBackBuffer(UINT chain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) override;
  HRESULT GetRasterStatus(UINT chain, D3DRASTER_STATUS* status) override;
  HRESULT SetDialogBoxMode(BOOL on) override;
  HRESULT SetMaximumFrameLatency(UINT frames) override;

  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DTexture9** texture, HANDLE* shared) override;
  HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DVolumeTexture9** texture, HANDLE* shared) override;
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                             HANDLE* shared) override;
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DIndexBuffer9** buffer, HANDLE* shared) override;
  HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                             DWORD quality, BOOL lockable, IDirect3DSurface9** surface, HANDLE* shared) override;
  HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                    DWORD quality, BOOL discard, IDirect3DSurface9** surface,
                                    HANDLE* shared) override;
  HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DSurface9** surface, HANDLE* shared) override;
  HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                        const POINT* destPoint) override;
  HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* dest) override;
  HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) override;
  HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                      const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;
  HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) override;
  HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
  HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;

  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;

  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT SetMaterial(const D3DMATERIAL9* material) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT SetScissorRect(const RECT* rect) override;

  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount, UINT primitiveCount,
                                 const void* indices, D3DFORMAT indexFormat, const void* vertices,
                                 UINT stride) override;

  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                  IDirect3DVertexDeclaration9** declaration) override;
  HRESULT SetFVF(DWORD fvf) override;
  HRESULT CreateVertexShader(const DWORD* code, IDirect3DVertexShader9** shader) override;
  HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
  HRESULT SetVertexShaderConstantF(UINT start, const float* data, UINT count) override;
  HRESULT SetVertexShaderConstantI(UINT start, const int* data, UINT count) override;
  HRESULT SetVertexShaderConstantB(UINT start, const BOOL* data, UINT count) override;
  HRESULT CreatePixelShader(const DWORD* code, IDirect3DPixelShader9** shader) override;
  HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
  HRESULT SetPixelShaderConstantF(UINT start, const float* data, UINT count) override;
  HRESULT SetPixelShaderConstantI(UINT start, const int* data, UINT count) override;
  HRESULT SetPixelShaderConstantB(UINT start, const BOOL* data, UINT count) override;

  // Resources in the default pool alive on this device (Reset refuses while
  // any is), and every resource made on it.
  int defaultPoolObjects = 0;
  std::set<ResourceInfo*> resources;

  Executor* executor() const { return executor_.get(); }
  // The newest pixels of a store brought into memory before the CPU reads
  // or writes them.
  void PrepareMemory(PixelStore* store) {
    if (executor_ != nullptr) executor_->PrepareMemory(store);
  }
  // A resource's pixels go away.
  void Forget(PixelStore* first) {
    if (executor_ != nullptr) executor_->Forget(first);
  }
  const D3D9DeviceState& state() const { return state_; }
  const D3DPRESENT_PARAMETERS& parameters() const { return parameters_; }
  DWORD behaviour() const { return behaviour_; }
  const D3DLIGHT9* light(DWORD index) const;
  BOOL lightEnabled(DWORD index) const;
  const float* vertexConstantF(UINT index) const { return index < 256 ? vsFloat_[index] : nullptr; }
  const float* pixelConstantF(UINT index) const { return index < 224 ? psFloat_[index] : nullptr; }
  BOOL vertexConstantB(UINT index) const { return index < 16 ? vsBool_[index] : FALSE; }

 private:
  ~Device() override;
  void SetDefaults();
  void ReleaseBindings();
  HRESULT RecordDraw(D3D9Call call, D3DPRIMITIVETYPE type, UINT primitiveCount, UINT vertexCount,
                     const void* vertices, UINT stride, const void* indices, UINT indexCount, D3DFORMAT indexFormat);

  // The draw of the executor, with the states, textures and targets in force.
  void Execute(D3DPRIMITIVETYPE type, UINT vertexCount, const void* vertices, UINT stride,
               const void* indices, UINT indexCount, D3DFORMAT indexFormat);
  // Whether the executor's context was lost: the device then waits to be made again.
  bool CheckContext();
  // Whether the executor leaves out work on the target: the back buffer of a
  // frame whose present is skipped.
  bool BackBufferSkipped(const Surface* target) const;

  std::unique_ptr<Executor> executor_;
  D3DPRESENT_PARAMETERS parameters_;
  DWORD behaviour_;
  bool ex_;
  bool inScene_ = false;
  Surface* backBuffer_ = nullptr;
  SwapChain* swapChain_ = nullptr;
  Surface* renderTarget_ = nullptr;
  Surface* depthStencil_ = nullptr;
  IDirect3DBaseTexture9* textures_[D3D9SamplerCount] = {};
  IDirect3DVertexShader9* vertexShader_ = nullptr;
  IDirect3DPixelShader9* pixelShader_ = nullptr;
  D3D9DeviceState state_{};
  std::map<DWORD, D3DLIGHT9> lights_;
  std::map<DWORD, BOOL> lightEnabled_;
  float vsFloat_[256][4] = {};
  int vsInt_[16][4] = {};
  BOOL vsBool_[16] = {};
  float psFloat_[224][4] = {};
  int psInt_[16][4] = {};
  BOOL psBool_[16] = {};
};

}  // namespace d3d9
