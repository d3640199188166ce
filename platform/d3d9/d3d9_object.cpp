// The Direct3D object: the adapter's answers, and device creation.
#include <algorithm>
#include <cstring>

#include "platform/d3d9/d3d9_device.h"
#include "platform/win32/sdl_window.h"

namespace d3d9 {

namespace {

const D3D9AdapterSetup& Adapter() { return Global().adapter; }

bool Listed(const std::vector<D3DFORMAT>& list, D3DFORMAT format) {
  return std::find(list.begin(), list.end(), format) != list.end();
}

D3DFORMAT DesktopFormat() {
  if (Adapter().displayMode.Format != D3DFMT_UNKNOWN) return Adapter().displayMode.Format;
  HDC dc = GetDC(nullptr);
  const int bits = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(nullptr, dc);
  return bits == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
}

void CopyText(char* to, size_t size, const std::string& text) {
  const size_t n = std::min(size - 1, text.size());
  std::memcpy(to, text.data(), n);
  to[n] = '\0';
}

class Direct3D final : public Com<IDirect3D9Ex> {
 public:
  explicit Direct3D(bool ex) : ex_(ex) {}

  UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
    Enter(D3D9Call::GetAdapterModeCount);
    // Four sizes of each listed format.
    const UINT count = adapter == 0 && Listed(Adapter().modeFormats, format) ? 4 : 0;
    Record(D3D9Call::GetAdapterModeCount, D3D_OK, {adapter, format, count});
    return count;
  }

  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    HRESULT r = Enter(D3D9Call::GetAdapterDisplayMode);
    if (r == D3D_OK) {
      if (adapter != 0 || mode == nullptr) {
        r = D3DERR_INVALIDCALL;
      } else {
        *mode = Adapter().displayMode;
        mode->Format = DesktopFormat();
      }
    }
    return Record(D3D9Call::GetAdapterDisplayMode, r, {adapter});
  }

  HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* id) override {
    HRESULT r = Enter(D3D9Call::GetAdapterIdentifier);
    if (r == D3D_OK) {
      if (adapter != 0 || id == nullptr) {
        r = D3DERR_INVALIDCALL;
      } else {
        std::memset(id, 0, sizeof *id);
        // A drawing adapter names the context it draws with (before any,
        // the one the probe made on the display).
        std::string renderer, version;
        const bool gl = Adapter().executor == D3D9Executor::OpenGL && KnownRenderer(&renderer, &version);
        const std::string driver = !gl ? Adapter().driver : version.empty() ? "OpenGL" : "OpenGL " + version;
        CopyText(id->Driver, sizeof id->Driver, driver);
        CopyText(id->Description, sizeof id->Description, gl ? renderer : Adapter().description);
        CopyText(id->DeviceName, sizeof id->DeviceName, "\\\\.\\DISPLAY1");
      }
    }
    return Record(D3D9Call::GetAdapterIdentifier, r, {adapter, flags});
  }

  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT format) override {
    HRESULT r = Enter(D3D9Call::CheckDeviceFormat);
    if (r == D3D_OK) {
      if (adapter != 0 || type != D3DDEVTYPE_HAL || !IsDisplayFormat(adapterFormat)) {
        r = D3DERR_INVALIDCALL;
      } else {
        const std::vector<D3DFORMAT>& list = (usage & D3DUSAGE_DEPTHSTENCIL) != 0    ? Adapter().depthFormats
                                             : (usage & D3DUSAGE_RENDERTARGET) != 0 ? Adapter().renderTargetFormats
                                                                                    : Adapter().textureFormats;
        r = Listed(list, format) ? D3D_OK : D3DERR_NOTAVAILABLE;
      }
    }
    return Record(D3D9Call::CheckDeviceFormat, r, {usage, resourceType, format, adapterFormat});
  }

  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT targetFormat,
                                 D3DFORMAT depthFormat) override {
    HRESULT r = Enter(D3D9Call::CheckDepthStencilMatch);
    if (r == D3D_OK) {
      if (adapter != 0 || type != D3DDEVTYPE_HAL || !IsDisplayFormat(adapterFormat))
        r = D3DERR_INVALIDCALL;
      else
        r = Listed(Adapter().depthFormats, depthFormat) && Listed(Adapter().renderTargetFormats, targetFormat)
                ? D3D_OK
                : D3DERR_NOTAVAILABLE;
    }
    return Record(D3D9Call::CheckDepthStencilMatch, r, {adapterFormat, targetFormat, depthFormat});
  }

  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    HRESULT r = Enter(D3D9Call::GetDeviceCaps);
    if (r == D3D_OK) {
      if (adapter != 0 || type != D3DDEVTYPE_HAL || caps == nullptr)
        r = D3DERR_INVALIDCALL;
      else
        *caps = Adapter().caps;
      // An adapter drawing through OpenGL rasterises in hardware as its
      // setting or the renderer says.
      if (r == D3D_OK && Adapter().executor == D3D9Executor::OpenGL) {
        std::string renderer, version;
        KnownRenderer(&renderer, &version);
        constexpr DWORD kHardware = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION;
        caps->DevCaps = HardwareRasterization(renderer) ? caps->DevCaps | kHardware : caps->DevCaps & ~kHardware;
      }
    }
    return Record(D3D9Call::GetDeviceCaps, r, {adapter, type});
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD behaviour,
                       D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** out) override {
    HRESULT r = Enter(D3D9Call::CreateDevice);
    Device* device = nullptr;
    if (r == D3D_OK) r = Make(adapter, type, window, behaviour, parameters, nullptr, &device);
    if (r == D3D_OK) *out = device;
    return Record(D3D9Call::CreateDevice, r, {adapter, type, behaviour});
  }

  HRESULT CreateDeviceEx(UINT adapter, D3DDEVTYPE type, HWND window, DWORD behaviour,
                         D3DPRESENT_PARAMETERS* parameters, D3DDISPLAYMODEEX* mode, IDirect3DDevice9Ex** out) override {
    HRESULT r = Enter(D3D9Call::CreateDeviceEx);
    Device* device = nullptr;
    if (r == D3D_OK) r = ex_ ? Make(adapter, type, window, behaviour, parameters, mode, &device) : D3DERR_INVALIDCALL;
    if (r == D3D_OK) *out = device;
    return Record(D3D9Call::CreateDeviceEx, r, {adapter, type, behaviour});
  }

 private:
  ~Direct3D() override = default;

  HRESULT Make(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD behaviour, D3DPRESENT_PARAMETERS* p,
               const D3DDISPLAYMODEEX* mode, Device** out) {
    const DWORD processing = behaviour & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                          D3DCREATE_MIXED_VERTEXPROCESSING);
    if (adapter != 0 || type != D3DDEVTYPE_HAL || p == nullptr || out == nullptr ||
        (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
         processing != D3DCREATE_MIXED_VERTEXPROCESSING))
      return D3DERR_INVALIDCALL;
    // A full-screen 9Ex device names its mode; a windowed one must not.
    if (ex_ && (p->Windowed ? mode != nullptr : mode == nullptr || mode->Size != sizeof(D3DDISPLAYMODEEX)))
      return D3DERR_INVALIDCALL;
    if (!Adapter().deviceCreation) return D3DERR_NOTAVAILABLE;
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && !Adapter().hardwareVertexProcessing)
      return D3DERR_NOTAVAILABLE;
    D3DPRESENT_PARAMETERS parameters = *p;
    if (parameters.Windowed && parameters.BackBufferFormat == D3DFMT_UNKNOWN) parameters.BackBufferFormat = DesktopFormat();
    if (!IsDisplayFormat(parameters.BackBufferFormat) || parameters.BackBufferWidth == 0 ||
        parameters.BackBufferHeight == 0 || parameters.BackBufferCount > 1 ||
        parameters.MultiSampleType != D3DMULTISAMPLE_NONE || parameters.EnableAutoDepthStencil)
      return D3DERR_INVALIDCALL;
    if (parameters.BackBufferCount == 0) parameters.BackBufferCount = 1;
    // A full-screen device takes its back buffer's size as the display's
    // mode, as on Windows; a display without that mode shows it scaled (a size
    // the display cannot show at all stays a window of its size).
    if (!parameters.Windowed) {
      DEVMODEA fullScreen{};
      fullScreen.dmSize = sizeof fullScreen;
      fullScreen.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
      fullScreen.dmPelsWidth = parameters.BackBufferWidth;
      fullScreen.dmPelsHeight = parameters.BackBufferHeight;
      ChangeDisplaySettingsA(&fullScreen, CDS_FULLSCREEN);
    }
    // A drawing device needs its context on the device window.
    std::unique_ptr<Executor> executor;
    if (Adapter().executor == D3D9Executor::OpenGL) {
      HWND window = parameters.hDeviceWindow != nullptr ? parameters.hDeviceWindow : focus;
      std::string error;
      executor = Executor::Open(PlatformSdlWindow(window), Adapter().useS3tc, &error);
      if (executor == nullptr) {
        Global().executorError = error.empty() ? "no OpenGL context" : error;
        return D3DERR_NOTAVAILABLE;
      }
      Global().executorError.clear();
      Global().renderer = executor->renderer();
      Global().version = executor->version();
    }
    *p = parameters;
    auto* device = new Device(parameters, behaviour, ex_, std::move(executor));
    if (!device->Start()) {
      device->Release();
      return D3DERR_OUTOFVIDEOMEMORY;
    }
    *out = device;
    return D3D_OK;
  }

  bool ex_;
};

}  // namespace

}  // namespace d3d9

using namespace d3d9;

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
  const HRESULT r = Enter(D3D9Call::Direct3DCreate9);
  const bool made = r == D3D_OK && sdkVersion == D3D_SDK_VERSION && Adapter().create9;
  Record(D3D9Call::Direct3DCreate9, made ? D3D_OK : D3DERR_NOTAVAILABLE, {sdkVersion});
  return made ? new Direct3D(false) : nullptr;
}

HRESULT Direct3DCreate9Ex(UINT sdkVersion, IDirect3D9Ex** object) {
  HRESULT r = Enter(D3D9Call::Direct3DCreate9Ex);
  if (r == D3D_OK) {
    if (object == nullptr || sdkVersion != D3D_SDK_VERSION)
      r = D3DERR_INVALIDCALL;
    else if (!Adapter().create9Ex)
      r = D3DERR_NOTAVAILABLE;
    else
      *object = new Direct3D(true);
  }
  return Record(D3D9Call::Direct3DCreate9Ex, r, {sdkVersion});
}

// ---------------------------------------------------------------- what the current device holds

IDirect3DDevice9* D3D9CurrentDevice() { return Global().device; }

const D3D9DeviceState* D3D9CurrentState() {
  return Global().device != nullptr ? &Global().device->state() : nullptr;
}

const D3DPRESENT_PARAMETERS* D3D9DeviceParameters() {
  return Global().device != nullptr ? &Global().device->parameters() : nullptr;
}

DWORD D3D9DeviceBehaviour() { return Global().device != nullptr ? Global().device->behaviour() : 0; }

const D3DLIGHT9* D3D9Light(DWORD index) {
  return Global().device != nullptr ? Global().device->light(index) : nullptr;
}

BOOL D3D9LightEnabled(DWORD index) { return Global().device != nullptr ? Global().device->lightEnabled(index) : FALSE; }

const float* D3D9VertexConstantF(UINT index) {
  return Global().device != nullptr ? Global().device->vertexConstantF(index) : nullptr;
}

const float* D3D9PixelConstantF(UINT index) {
  return Global().device != nullptr ? Global().device->pixelConstantF(index) : nullptr;
}

BOOL D3D9VertexConstantB(UINT index) {
  return Global().device != nullptr ? Global().device->vertexConstantB(index) : FALSE;
}

std::string D3D9ShaderText(const IUnknown* shader) {
  if (const auto* v = dynamic_cast<const VertexShader*>(shader)) return v->text();
  if (const auto* p = dynamic_cast<const PixelShader*>(shader)) return p->text();
  return "";
}

std::vector<D3DVERTEXELEMENT9> D3D9DeclarationElements(const IUnknown* declaration) {
  const auto* d = dynamic_cast<const Declaration*>(declaration);
  return d != nullptr ? d->elements() : std::vector<D3DVERTEXELEMENT9>{};
}

bool D3D9DescribeObject(const IUnknown* object, D3DSURFACE_DESC* desc, UINT* depth, UINT* levels) {
  PixelStore* p = nullptr;
  const ResourceInfo* info = nullptr;
  D3DRESOURCETYPE type = D3DRTYPE_SURFACE;
  UINT count = 1;
  if (auto* s = dynamic_cast<Surface*>(const_cast<IUnknown*>(object))) {
    p = &s->pixels();
    info = &s->info();
  } else if (auto* t = dynamic_cast<Texture*>(const_cast<IUnknown*>(object))) {
    p = &t->levels()[0];
    info = &t->info();
    type = D3DRTYPE_TEXTURE;
    count = t->GetLevelCount();
  } else if (auto* v = dynamic_cast<VolumeTexture*>(const_cast<IUnknown*>(object))) {
    p = &v->levels()[0];
    info = &v->info();
    type = D3DRTYPE_VOLUMETEXTURE;
    count = v->GetLevelCount();
  }
  if (p == nullptr) return false;
  if (desc != nullptr) *desc = {p->format, type, info->usage, info->pool, D3DMULTISAMPLE_NONE, 0, p->width, p->height};
  if (depth != nullptr) *depth = p->depth;
  if (levels != nullptr) *levels = count;
  return true;
}

void D3D9LoseContext() {
  if (Global().device != nullptr && Global().device->executor() != nullptr) Global().device->executor()->LoseContext();
}

bool D3D9DeviceExecutes() { return Global().device != nullptr && Global().device->executor() != nullptr; }

bool D3D9DeviceTakesS3tc() {
  return D3D9DeviceExecutes() && Global().device->executor()->compressedUpload();
}
