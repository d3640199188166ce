// The Direct3D 9 stand-in's controls, for tests: the adapter's answers,
// capabilities and formats; calls made to fail; the journal of device calls
// and the record of every draw with the states in force; objects alive; the
// OpenGL executor's context.
//
// The program runs with the default adapter, which offers every format the
// library asks for and makes a device that draws through OpenGL 3.3 core on
// the device window, when that window takes such a context (an X display
// with OpenGL); elsewhere (SDL's dummy driver) no device can be made and the
// library takes its software path. Where the display's OpenGL is a software
// rasteriser, its windows take no OpenGL and its capabilities say so, and the
// library takes its software path too (unless ZR_D3D9_RASTERIZER says
// otherwise, below).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9.h"

// ---------------------------------------------------------------- the adapter

// What carries a device's work out: nothing (the device keeps its states and
// pixels in memory and records), or OpenGL on the device window.
enum class D3D9Executor { Recording, OpenGL };

// What an OpenGL device's capabilities say of its rasterisation
// (D3DDEVCAPS_HWRASTERIZATION and D3DDEVCAPS_HWTRANSFORMANDLIGHT): what the
// context's renderer is (a software rasteriser, such as Mesa's llvmpipe,
// softpipe or swrast, has neither), or hardware or software whatever the
// renderer. The adapters made below say hardware; the default adapter takes
// it from the environment variable ZR_D3D9_RASTERIZER ("hardware" or
// "software"; unset or anything else: by the renderer), as a driver reads
// its own settings.
enum class D3D9Rasterizer { ByRenderer, Hardware, Software };

struct D3D9AdapterSetup {
  D3D9Executor executor = D3D9Executor::Recording;
  // The OpenGL executor takes S3TC for the compressed formats where the
  // context has it; false: it always decodes them on upload.
  bool useS3tc = true;
  D3D9Rasterizer rasterizer = D3D9Rasterizer::Hardware;
  bool libraryPresent = true;   // LoadLibraryA("d3d9.dll") finds the module
  bool create9Ex = true;        // Direct3DCreate9Ex succeeds
  bool create9 = true;          // Direct3DCreate9 gives an object
  bool deviceCreation = false;  // CreateDevice and CreateDeviceEx succeed
  bool hardwareVertexProcessing = true;  // creation with mixed or hardware vertex processing succeeds
  bool verticalBlankReported = true;     // false: the raster status never shows a blank
  // The desktop mode; format unknown: D3DFMT_X8R8G8B8 or D3DFMT_R5G6B5 by
  // the desktop depth GetDeviceCaps reports.
  D3DDISPLAYMODE displayMode = {640, 480, 60, D3DFMT_UNKNOWN};
  D3DCAPS9 caps{};
  // What CheckDeviceFormat accepts: plain and volume textures, render-target
  // textures and surfaces, depth formats; the formats with display modes.
  std::vector<D3DFORMAT> textureFormats;
  std::vector<D3DFORMAT> renderTargetFormats;
  std::vector<D3DFORMAT> depthFormats;
  std::vector<D3DFORMAT> modeFormats;
  std::string driver = "zrd3d9.dll";
  std::string description = "ZR Direct3D 9 recording device";
};

// An adapter with every format the library tries, shader model 3.0, the
// temporary-register and blend-operation capabilities, hardware
// rasterisation, 4096 x 4096 textures, and device creation on; its devices
// record.
D3D9AdapterSetup D3D9FullAdapter();
// The same adapter whose devices draw through OpenGL (the default adapter,
// but for its rasterisation setting): a device is made only when the window
// takes an OpenGL 3.3 core context, and the adapter identifier then gives the
// context's version as the driver and its renderer string as the
// description (before any context, those the probe found on the display).
D3D9AdapterSetup D3D9OpenGLAdapter();
// The adapter the next Direct3D object answers for.
void D3D9SetAdapter(const D3D9AdapterSetup& setup);
// Whether the program's windows take an OpenGL context: not where the
// adapter draws through OpenGL and its rasterisation is software (by its
// setting, or by the renderer that a child process found on the display:
// then the OpenGL driver is never loaded here); else they do.
bool D3D9WindowTakesOpenGL();
// Whether an OpenGL renderer string names a software rasteriser.
bool D3D9IsSoftwareRenderer(const std::string& renderer);
// The rasterisation setting a ZR_D3D9_RASTERIZER value (or null) stands for.
D3D9Rasterizer D3D9RasterizerSetting(const char* value);
// Back to the default adapter (D3D9OpenGLAdapter with the rasterisation
// setting of ZR_D3D9_RASTERIZER); also clears the
// failures, the records and the lost state.
void D3D9ResetAdapter();
const D3D9AdapterSetup& D3D9CurrentAdapter();

// ---------------------------------------------------------------- calls and failures

// Every call the stand-in counts, records and can make fail.
enum class D3D9Call {
  Direct3DCreate9,
  Direct3DCreate9Ex,
  GetAdapterModeCount,
  GetAdapterDisplayMode,
  GetAdapterIdentifier,
  CheckDeviceFormat,
  CheckDepthStencilMatch,
  GetDeviceCaps,
  CreateDevice,
  CreateDeviceEx,
  TestCooperativeLevel,
  DeviceGetDeviceCaps,
  GetSwapChain,
  Reset,
  Present,
  GetBackBuffer,
  GetRasterStatus,
  SetDialogBoxMode,
  SetMaximumFrameLatency,
  CreateTexture,
  CreateVolumeTexture,
  CreateVertexBuffer,
  CreateIndexBuffer,
  CreateRenderTarget,
  CreateDepthStencilSurface,
  CreateOffscreenPlainSurface,
  UpdateSurface,
  UpdateTexture,
  GetRenderTargetData,
  StretchRect,
  ColorFill,
  SetRenderTarget,
  GetRenderTarget,
  SetDepthStencilSurface,
  BeginScene,
  EndScene,
  Clear,
  SetTransform,
  SetViewport,
  SetMaterial,
  SetLight,
  LightEnable,
  SetRenderState,
  SetTexture,
  SetTextureStageState,
  SetSamplerState,
  SetScissorRect,
  DrawPrimitiveUP,
  DrawIndexedPrimitiveUP,
  CreateVertexDeclaration,
  SetFVF,
  CreateVertexShader,
  SetVertexShader,
  SetVertexShaderConstantF,
  SetVertexShaderConstantI,
  SetVertexShaderConstantB,
  CreatePixelShader,
  SetPixelShader,
  SetPixelShaderConstantF,
  SetPixelShaderConstantI,
  SetPixelShaderConstantB,
  SurfaceLockRect,
  SurfaceUnlockRect,
  SurfaceGetDesc,
  TextureGetSurfaceLevel,
  TextureGetLevelDesc,
  TextureLockRect,
  TextureUnlockRect,
  VolumeLockBox,
  VolumeUnlockBox,
  BufferLock,
  BufferUnlock,
  SwapChainPresent,
  SwapChainGetBackBuffer,
  SwapChainGetRasterStatus,
  Count
};
const char* D3D9CallName(D3D9Call call);

// From the (skip + 1)-th call of `call` on, `times` calls fail with result
// (times -1: every one). A failed call changes nothing.
void D3D9FailCall(D3D9Call call, HRESULT result, int skip = 0, int times = 1);
void D3D9ClearFailures();
// The number of calls of each kind since the adapter was set or reset.
int D3D9CallCount(D3D9Call call);

// The device is lost (Present, TestCooperativeLevel and Reset report
// D3DERR_DEVICELOST, draws and clears are dropped); when it is no longer
// lost it waits for a Reset (D3DERR_DEVICENOTRESET) or a new device.
void D3D9SetDeviceLost(bool lost);

// ---------------------------------------------------------------- records

// One device call while recording is on: its integer arguments in order
// (states and their values, indices, flags, counts; floats as their bits;
// objects by their ids), and its result.
struct D3D9CallRecord {
  D3D9Call call;
  uint32_t args[4];
  HRESULT result;
};

// The states a draw is made under.
struct D3D9DeviceState {
  DWORD renderStates[D3D9RenderStateCount];
  DWORD samplerStates[D3D9SamplerCount][D3D9SamplerStateCount];
  DWORD textureStageStates[D3D9TextureStageCount][D3D9TextureStageStateCount];
  uint32_t textures[D3D9SamplerCount];  // object ids, 0 for none
  D3DMATRIX world, view, projection, texture[D3D9TextureStageCount];
  D3DVIEWPORT9 viewport;
  RECT scissor;
  D3DMATERIAL9 material;
  DWORD fvf;
  uint32_t vertexShader, pixelShader;  // object ids
  uint32_t renderTarget, depthStencil;
};

struct D3D9DrawRecord {
  D3D9Call call;  // DrawPrimitiveUP or DrawIndexedPrimitiveUP
  D3DPRIMITIVETYPE type;
  UINT primitiveCount;
  UINT vertexCount;
  UINT stride;
  std::vector<uint8_t> vertices;  // vertexCount x stride bytes
  std::vector<uint8_t> indices;   // indexed draws
  D3DFORMAT indexFormat;
  size_t callIndex;  // its place in the journal
  D3D9DeviceState state;
};

// Recording starts empty when turned on; off, nothing is kept.
void D3D9SetRecording(bool on);
void D3D9ClearRecords();
const std::vector<D3D9CallRecord>& D3D9Journal();
const std::vector<D3D9DrawRecord>& D3D9Draws();
// The journal entries of one kind of call.
std::vector<D3D9CallRecord> D3D9JournalOf(D3D9Call call);

// ---------------------------------------------------------------- objects

// The id of a stand-in object (1 up, in creation order), 0 for null.
uint32_t D3D9ObjectId(const IUnknown* object);
// Objects alive: the Direct3D object, devices, swap chains, surfaces,
// textures, buffers, declarations and shaders.
int D3D9LiveObjectCount();
// The device made last and still alive, or null; its current state.
IDirect3DDevice9* D3D9CurrentDevice();
const D3D9DeviceState* D3D9CurrentState();
// The present parameters and behaviour flags of the device made last.
const D3DPRESENT_PARAMETERS* D3D9DeviceParameters();
DWORD D3D9DeviceBehaviour();
// Lights and shader constants of the current device.
const D3DLIGHT9* D3D9Light(DWORD index);
BOOL D3D9LightEnabled(DWORD index);
const float* D3D9VertexConstantF(UINT index);
const float* D3D9PixelConstantF(UINT index);
BOOL D3D9VertexConstantB(UINT index);
// The text of a shader object, "" for another object.
std::string D3D9ShaderText(const IUnknown* shader);
// The elements of a declaration up to D3DDECL_END.
std::vector<D3DVERTEXELEMENT9> D3D9DeclarationElements(const IUnknown* declaration);
// The description of a surface, a texture's level 0 or a volume texture.
bool D3D9DescribeObject(const IUnknown* object, D3DSURFACE_DESC* desc, UINT* depth, UINT* levels);
// The number of successful presents since the adapter was set.
int D3D9PresentCount();
// While set, presents succeed and count but leave the device window as it
// is: the OpenGL executor neither copies the back buffer to the window nor
// swaps, and leaves out the draws, clears, fills and copies whose target is
// the back buffer (for tests that look at some frames only, each of them
// drawn whole; other render targets are drawn as ever, for what later
// frames take from them; the adapter's setting does not change it).
void D3D9SkipWindowPresents(bool skip);

// ---------------------------------------------------------------- the OpenGL executor

// Why the last OpenGL device could not be made ("" when it could).
std::string D3D9ExecutorError();
// The renderer string and version of the last context made ("" before one).
std::string D3D9RendererString();
std::string D3D9RendererVersion();
// The compiler's log of the last shader text a drawing device refused.
std::string D3D9ShaderLog();
// The current device's context is lost, as its reset status would report:
// draws and presents stop, and the device waits to be made again.
void D3D9LoseContext();
// Whether the current device draws through OpenGL, and takes compressed
// textures as they are (S3TC) rather than decoding them.
bool D3D9DeviceExecutes();
bool D3D9DeviceTakesS3tc();

// "d3d9.dll"'s export table, for the module loader of the win32 layer.
bool D3D9ModuleAvailable();
