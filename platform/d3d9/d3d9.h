// Direct3D 9 and 9Ex, as far as the library calls them: the Direct3D object
// with its adapter, format and capability queries, the device with its
// resources (surfaces, textures with levels, volume textures, vertex and
// index buffers, vertex declarations, shaders), every render, sampler and
// texture-stage state, transforms, lights, the scene, user-pointer draws and
// the present, and the swap chain's raster status.
//
// The device keeps its resources and states in memory and records each draw
// with the states in force (d3d9_control.h); the adapter's answers, its
// capabilities and formats are set there too. A device of the default
// adapter also carries its work out through OpenGL on the device window
// (d3d9_executor.h); it is made only where that window takes an OpenGL 3.3
// core context. Reached through LoadLibraryA("d3d9.dll") and GetProcAddress,
// as the library loads it.
#pragma once

#include "platform/com/com.h"
#include "platform/win32/win32_window.h"

constexpr UINT D3D_SDK_VERSION = 32;
constexpr UINT D3DADAPTER_DEFAULT = 0;

typedef DWORD D3DCOLOR;
typedef uint32_t D3DFORMAT;
typedef uint32_t D3DDEVTYPE;
typedef uint32_t D3DRESOURCETYPE;
typedef uint32_t D3DPOOL;
typedef uint32_t D3DMULTISAMPLE_TYPE;
typedef uint32_t D3DSWAPEFFECT;
typedef uint32_t D3DBACKBUFFER_TYPE;
typedef uint32_t D3DRENDERSTATETYPE;
typedef uint32_t D3DSAMPLERSTATETYPE;
typedef uint32_t D3DTEXTURESTAGESTATETYPE;
typedef uint32_t D3DTRANSFORMSTATETYPE;
typedef uint32_t D3DPRIMITIVETYPE;
typedef uint32_t D3DTEXTUREFILTERTYPE;
typedef uint32_t D3DSCANLINEORDERING;

// ---------------------------------------------------------------- results

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_NOTFOUND = static_cast<HRESULT>(0x88760866u);
constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869u);
constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = static_cast<HRESULT>(0x88760827u);

// ---------------------------------------------------------------- formats

constexpr D3DFORMAT MakeD3DFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

constexpr D3DFORMAT D3DFMT_UNKNOWN = 0;
constexpr D3DFORMAT D3DFMT_R8G8B8 = 20;
constexpr D3DFORMAT D3DFMT_A8R8G8B8 = 21;
constexpr D3DFORMAT D3DFMT_X8R8G8B8 = 22;
constexpr D3DFORMAT D3DFMT_R5G6B5 = 23;
constexpr D3DFORMAT D3DFMT_X1R5G5B5 = 24;
constexpr D3DFORMAT D3DFMT_A1R5G5B5 = 25;
constexpr D3DFORMAT D3DFMT_A4R4G4B4 = 26;
constexpr D3DFORMAT D3DFMT_R3G3B2 = 27;
constexpr D3DFORMAT D3DFMT_A8R3G3B2 = 29;
constexpr D3DFORMAT D3DFMT_X4R4G4B4 = 30;
constexpr D3DFORMAT D3DFMT_A2B10G10R10 = 31;
constexpr D3DFORMAT D3DFMT_A8B8G8R8 = 32;
constexpr D3DFORMAT D3DFMT_X8B8G8R8 = 33;
constexpr D3DFORMAT D3DFMT_A2R10G10B10 = 35;
constexpr D3DFORMAT D3DFMT_D32 = 71;
constexpr D3DFORMAT D3DFMT_D24X8 = 77;
constexpr D3DFORMAT D3DFMT_D16 = 80;
constexpr D3DFORMAT D3DFMT_INDEX16 = 101;
constexpr D3DFORMAT D3DFMT_INDEX32 = 102;
constexpr D3DFORMAT D3DFMT_DXT1 = MakeD3DFourCC('D', 'X', 'T', '1');
constexpr D3DFORMAT D3DFMT_DXT2 = MakeD3DFourCC('D', 'X', 'T', '2');
constexpr D3DFORMAT D3DFMT_DXT3 = MakeD3DFourCC('D', 'X', 'T', '3');
constexpr D3DFORMAT D3DFMT_DXT4 = MakeD3DFourCC('D', 'X', 'T', '4');
constexpr D3DFORMAT D3DFMT_DXT5 = MakeD3DFourCC('D', 'X', 'T', '5');

// ---------------------------------------------------------------- enumerations and flags

constexpr D3DDEVTYPE D3DDEVTYPE_HAL = 1;

constexpr D3DRESOURCETYPE D3DRTYPE_SURFACE = 1;
constexpr D3DRESOURCETYPE D3DRTYPE_VOLUME = 2;
constexpr D3DRESOURCETYPE D3DRTYPE_TEXTURE = 3;
constexpr D3DRESOURCETYPE D3DRTYPE_VOLUMETEXTURE = 4;
constexpr D3DRESOURCETYPE D3DRTYPE_VERTEXBUFFER = 6;
constexpr D3DRESOURCETYPE D3DRTYPE_INDEXBUFFER = 7;

constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x2;
constexpr DWORD D3DUSAGE_WRITEONLY = 0x8;
constexpr DWORD D3DUSAGE_DYNAMIC = 0x200;

constexpr D3DPOOL D3DPOOL_DEFAULT = 0;
constexpr D3DPOOL D3DPOOL_MANAGED = 1;
constexpr D3DPOOL D3DPOOL_SYSTEMMEM = 2;

constexpr D3DMULTISAMPLE_TYPE D3DMULTISAMPLE_NONE = 0;

constexpr DWORD D3DCREATE_FPU_PRESERVE = 0x2;
constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
constexpr DWORD D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;

constexpr D3DSWAPEFFECT D3DSWAPEFFECT_DISCARD = 1;
constexpr D3DSWAPEFFECT D3DSWAPEFFECT_FLIP = 2;
constexpr D3DSWAPEFFECT D3DSWAPEFFECT_COPY = 3;

constexpr DWORD D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 0x1;
constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0;
constexpr UINT D3DPRESENT_INTERVAL_ONE = 1;
constexpr UINT D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;

constexpr D3DBACKBUFFER_TYPE D3DBACKBUFFER_TYPE_MONO = 0;
constexpr D3DSCANLINEORDERING D3DSCANLINEORDERING_PROGRESSIVE = 1;

constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
constexpr DWORD D3DCLEAR_STENCIL = 0x4;

constexpr DWORD D3DLOCK_READONLY = 0x10;
constexpr DWORD D3DLOCK_NOSYSLOCK = 0x800;
constexpr DWORD D3DLOCK_NOOVERWRITE = 0x1000;
constexpr DWORD D3DLOCK_DISCARD = 0x2000;

constexpr D3DTEXTUREFILTERTYPE D3DTEXF_NONE = 0;
constexpr D3DTEXTUREFILTERTYPE D3DTEXF_POINT = 1;
constexpr D3DTEXTUREFILTERTYPE D3DTEXF_LINEAR = 2;
constexpr D3DTEXTUREFILTERTYPE D3DTEXF_ANISOTROPIC = 3;

constexpr D3DPRIMITIVETYPE D3DPT_POINTLIST = 1;
constexpr D3DPRIMITIVETYPE D3DPT_LINELIST = 2;
constexpr D3DPRIMITIVETYPE D3DPT_LINESTRIP = 3;
constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLELIST = 4;
constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLESTRIP = 5;
constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLEFAN = 6;

constexpr DWORD D3DFVF_XYZ = 0x2;
constexpr DWORD D3DFVF_XYZRHW = 0x4;
constexpr DWORD D3DFVF_NORMAL = 0x10;
constexpr DWORD D3DFVF_DIFFUSE = 0x40;
constexpr DWORD D3DFVF_SPECULAR = 0x80;
constexpr DWORD D3DFVF_TEX1 = 0x100;
constexpr DWORD D3DFVF_TEX2 = 0x200;

// Capability bits and shader versions.
constexpr DWORD D3DPMISCCAPS_TSSARGTEMP = 0x400;
constexpr DWORD D3DPMISCCAPS_BLENDOP = 0x800;
constexpr DWORD D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x10000;
constexpr DWORD D3DDEVCAPS_HWRASTERIZATION = 0x80000;
constexpr DWORD D3DVS_VERSION(int major, int minor) { return 0xFFFE0000u | major << 8 | minor; }
constexpr DWORD D3DPS_VERSION(int major, int minor) { return 0xFFFF0000u | major << 8 | minor; }

// ---------------------------------------------------------------- render states and their values

constexpr D3DRENDERSTATETYPE D3DRS_ZENABLE = 7;
constexpr D3DRENDERSTATETYPE D3DRS_FILLMODE = 8;
constexpr D3DRENDERSTATETYPE D3DRS_SHADEMODE = 9;
constexpr D3DRENDERSTATETYPE D3DRS_ZWRITEENABLE = 14;
constexpr D3DRENDERSTATETYPE D3DRS_ALPHATESTENABLE = 15;
constexpr D3DRENDERSTATETYPE D3DRS_SRCBLEND = 19;
constexpr D3DRENDERSTATETYPE D3DRS_DESTBLEND = 20;
constexpr D3DRENDERSTATETYPE D3DRS_CULLMODE = 22;
constexpr D3DRENDERSTATETYPE D3DRS_ZFUNC = 23;
constexpr D3DRENDERSTATETYPE D3DRS_ALPHAREF = 24;
constexpr D3DRENDERSTATETYPE D3DRS_ALPHAFUNC = 25;
constexpr D3DRENDERSTATETYPE D3DRS_DITHERENABLE = 26;
constexpr D3DRENDERSTATETYPE D3DRS_ALPHABLENDENABLE = 27;
constexpr D3DRENDERSTATETYPE D3DRS_FOGENABLE = 28;
constexpr D3DRENDERSTATETYPE D3DRS_SPECULARENABLE = 29;
constexpr D3DRENDERSTATETYPE D3DRS_FOGCOLOR = 34;
constexpr D3DRENDERSTATETYPE D3DRS_FOGTABLEMODE = 35;
constexpr D3DRENDERSTATETYPE D3DRS_FOGSTART = 36;
constexpr D3DRENDERSTATETYPE D3DRS_FOGEND = 37;
constexpr D3DRENDERSTATETYPE D3DRS_FOGDENSITY = 38;
constexpr D3DRENDERSTATETYPE D3DRS_TEXTUREFACTOR = 60;
constexpr D3DRENDERSTATETYPE D3DRS_LIGHTING = 137;
constexpr D3DRENDERSTATETYPE D3DRS_AMBIENT = 139;
constexpr D3DRENDERSTATETYPE D3DRS_FOGVERTEXMODE = 140;
constexpr D3DRENDERSTATETYPE D3DRS_COLORVERTEX = 141;
constexpr D3DRENDERSTATETYPE D3DRS_NORMALIZENORMALS = 143;
constexpr D3DRENDERSTATETYPE D3DRS_DIFFUSEMATERIALSOURCE = 145;
constexpr D3DRENDERSTATETYPE D3DRS_SPECULARMATERIALSOURCE = 146;
constexpr D3DRENDERSTATETYPE D3DRS_AMBIENTMATERIALSOURCE = 147;
constexpr D3DRENDERSTATETYPE D3DRS_EMISSIVEMATERIALSOURCE = 148;
constexpr D3DRENDERSTATETYPE D3DRS_BLENDOP = 171;
constexpr D3DRENDERSTATETYPE D3DRS_SCISSORTESTENABLE = 174;
constexpr D3DRENDERSTATETYPE D3DRS_DEPTHBIAS = 195;
// One past the highest render state.
constexpr UINT D3D9RenderStateCount = 210;

constexpr DWORD D3DZB_FALSE = 0;
constexpr DWORD D3DZB_TRUE = 1;
constexpr DWORD D3DFILL_SOLID = 3;
constexpr DWORD D3DSHADE_FLAT = 1;
constexpr DWORD D3DSHADE_GOURAUD = 2;
constexpr DWORD D3DCULL_NONE = 1;
constexpr DWORD D3DCULL_CW = 2;
constexpr DWORD D3DCULL_CCW = 3;
constexpr DWORD D3DCMP_NEVER = 1;
constexpr DWORD D3DCMP_LESS = 2;
constexpr DWORD D3DCMP_EQUAL = 3;
constexpr DWORD D3DCMP_LESSEQUAL = 4;
constexpr DWORD D3DCMP_GREATER = 5;
constexpr DWORD D3DCMP_NOTEQUAL = 6;
constexpr DWORD D3DCMP_GREATEREQUAL = 7;
constexpr DWORD D3DCMP_ALWAYS = 8;
constexpr DWORD D3DBLEND_ZERO = 1;
constexpr DWORD D3DBLEND_ONE = 2;
constexpr DWORD D3DBLEND_SRCCOLOR = 3;
constexpr DWORD D3DBLEND_INVSRCCOLOR = 4;
constexpr DWORD D3DBLEND_SRCALPHA = 5;
constexpr DWORD D3DBLEND_INVSRCALPHA = 6;
constexpr DWORD D3DBLEND_DESTALPHA = 7;
constexpr DWORD D3DBLEND_INVDESTALPHA = 8;
constexpr DWORD D3DBLEND_DESTCOLOR = 9;
constexpr DWORD D3DBLEND_INVDESTCOLOR = 10;
constexpr DWORD D3DBLENDOP_ADD = 1;
constexpr DWORD D3DBLENDOP_SUBTRACT = 2;
constexpr DWORD D3DBLENDOP_REVSUBTRACT = 3;
constexpr DWORD D3DFOG_NONE = 0;
constexpr DWORD D3DFOG_EXP = 1;
constexpr DWORD D3DFOG_EXP2 = 2;
constexpr DWORD D3DFOG_LINEAR = 3;
constexpr DWORD D3DMCS_MATERIAL = 0;
constexpr DWORD D3DMCS_COLOR1 = 1;
constexpr DWORD D3DMCS_COLOR2 = 2;

// ---------------------------------------------------------------- sampler and texture-stage states

constexpr D3DSAMPLERSTATETYPE D3DSAMP_ADDRESSU = 1;
constexpr D3DSAMPLERSTATETYPE D3DSAMP_ADDRESSV = 2;
constexpr D3DSAMPLERSTATETYPE D3DSAMP_ADDRESSW = 3;
constexpr D3DSAMPLERSTATETYPE D3DSAMP_BORDERCOLOR = 4;
constexpr D3DSAMPLERSTATETYPE D3DSAMP_MAGFILTER = 5;
constexpr D3DSAMPLERSTATETYPE D3DSAMP_MINFILTER = 6;
constexpr D3DSAMPLERSTATETYPE D3DSAMP_MIPFILTER = 7;
constexpr D3DSAMPLERSTATETYPE D3DSAMP_MIPMAPLODBIAS = 8;
constexpr D3DSAMPLERSTATETYPE D3DSAMP_MAXMIPLEVEL = 9;
constexpr D3DSAMPLERSTATETYPE D3DSAMP_MAXANISOTROPY = 10;
constexpr UINT D3D9SamplerStateCount = 14;
constexpr UINT D3D9SamplerCount = 16;

constexpr DWORD D3DTADDRESS_WRAP = 1;
constexpr DWORD D3DTADDRESS_MIRROR = 2;
constexpr DWORD D3DTADDRESS_CLAMP = 3;
constexpr DWORD D3DTADDRESS_BORDER = 4;

constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLOROP = 1;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLORARG1 = 2;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLORARG2 = 3;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAOP = 4;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAARG1 = 5;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAARG2 = 6;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_TEXCOORDINDEX = 11;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_TEXTURETRANSFORMFLAGS = 24;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLORARG0 = 26;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAARG0 = 27;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_RESULTARG = 28;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_CONSTANT = 32;
constexpr UINT D3D9TextureStageStateCount = 33;
constexpr UINT D3D9TextureStageCount = 8;

constexpr DWORD D3DTOP_DISABLE = 1;
constexpr DWORD D3DTOP_SELECTARG1 = 2;
constexpr DWORD D3DTOP_SELECTARG2 = 3;
constexpr DWORD D3DTOP_MODULATE = 4;
constexpr DWORD D3DTOP_MODULATE2X = 5;
constexpr DWORD D3DTOP_MODULATE4X = 6;
constexpr DWORD D3DTOP_ADD = 7;
constexpr DWORD D3DTOP_SUBTRACT = 10;
constexpr DWORD D3DTOP_BLENDDIFFUSEALPHA = 12;
constexpr DWORD D3DTOP_BLENDCURRENTALPHA = 16;

constexpr DWORD D3DTA_DIFFUSE = 0x0;
constexpr DWORD D3DTA_CURRENT = 0x1;
constexpr DWORD D3DTA_TEXTURE = 0x2;
constexpr DWORD D3DTA_TFACTOR = 0x3;
constexpr DWORD D3DTA_SPECULAR = 0x4;
constexpr DWORD D3DTA_TEMP = 0x5;
constexpr DWORD D3DTA_COMPLEMENT = 0x10;

constexpr DWORD D3DTTFF_DISABLE = 0;
constexpr DWORD D3DTTFF_COUNT3 = 3;

// ---------------------------------------------------------------- transforms

constexpr D3DTRANSFORMSTATETYPE D3DTS_VIEW = 2;
constexpr D3DTRANSFORMSTATETYPE D3DTS_PROJECTION = 3;
constexpr D3DTRANSFORMSTATETYPE D3DTS_TEXTURE0 = 16;
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLD = 256;

// ---------------------------------------------------------------- vertex declarations

constexpr BYTE D3DDECLTYPE_FLOAT1 = 0;
constexpr BYTE D3DDECLTYPE_FLOAT2 = 1;
constexpr BYTE D3DDECLTYPE_FLOAT3 = 2;
constexpr BYTE D3DDECLTYPE_FLOAT4 = 3;
constexpr BYTE D3DDECLTYPE_D3DCOLOR = 4;
constexpr BYTE D3DDECLTYPE_UBYTE4 = 5;
constexpr BYTE D3DDECLTYPE_UNUSED = 17;
constexpr BYTE D3DDECLMETHOD_DEFAULT = 0;
constexpr BYTE D3DDECLUSAGE_POSITION = 0;
constexpr BYTE D3DDECLUSAGE_BLENDWEIGHT = 1;
constexpr BYTE D3DDECLUSAGE_BLENDINDICES = 2;
constexpr BYTE D3DDECLUSAGE_NORMAL = 3;
constexpr BYTE D3DDECLUSAGE_TEXCOORD = 5;
constexpr BYTE D3DDECLUSAGE_TANGENT = 6;
constexpr BYTE D3DDECLUSAGE_BINORMAL = 7;
constexpr BYTE D3DDECLUSAGE_COLOR = 10;

struct D3DVERTEXELEMENT9 {
  WORD Stream;
  WORD Offset;
  BYTE Type;
  BYTE Method;
  BYTE Usage;
  BYTE UsageIndex;
};
// The element that ends a declaration's list.
constexpr D3DVERTEXELEMENT9 D3DDECL_END = {0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0};

// ---------------------------------------------------------------- records

struct D3DVECTOR {
  float x, y, z;
};
struct D3DCOLORVALUE {
  float r, g, b, a;
};
struct D3DMATRIX {
  float m[4][4];
};
struct D3DVIEWPORT9 {
  DWORD X, Y, Width, Height;
  float MinZ, MaxZ;
};

constexpr DWORD D3DLIGHT_POINT = 1;
constexpr DWORD D3DLIGHT_SPOT = 2;
constexpr DWORD D3DLIGHT_DIRECTIONAL = 3;
struct D3DLIGHT9 {
  DWORD Type;
  D3DCOLORVALUE Diffuse, Specular, Ambient;
  D3DVECTOR Position, Direction;
  float Range, Falloff, Attenuation0, Attenuation1, Attenuation2, Theta, Phi;
};
struct D3DMATERIAL9 {
  D3DCOLORVALUE Diffuse, Ambient, Specular, Emissive;
  float Power;
};

struct D3DDISPLAYMODE {
  UINT Width, Height, RefreshRate;
  D3DFORMAT Format;
};
struct D3DDISPLAYMODEEX {
  UINT Size;
  UINT Width, Height, RefreshRate;
  D3DFORMAT Format;
  D3DSCANLINEORDERING ScanLineOrdering;
};

struct D3DPRESENT_PARAMETERS {
  UINT BackBufferWidth, BackBufferHeight;
  D3DFORMAT BackBufferFormat;
  UINT BackBufferCount;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  D3DSWAPEFFECT SwapEffect;
  HWND hDeviceWindow;
  BOOL Windowed;
  BOOL EnableAutoDepthStencil;
  D3DFORMAT AutoDepthStencilFormat;
  DWORD Flags;
  UINT FullScreen_RefreshRateInHz;
  UINT PresentationInterval;
};

// The capabilities the library reads.
struct D3DCAPS9 {
  D3DDEVTYPE DeviceType;
  UINT AdapterOrdinal;
  DWORD DevCaps;
  DWORD PrimitiveMiscCaps;
  DWORD MaxTextureWidth, MaxTextureHeight;
  DWORD MaxAnisotropy;
  DWORD MaxTextureBlendStages;
  DWORD MaxSimultaneousTextures;
  DWORD VertexShaderVersion;
  DWORD PixelShaderVersion;
};

struct D3DADAPTER_IDENTIFIER9 {
  char Driver[512];
  char Description[512];
  char DeviceName[32];
  DWORD VendorId, DeviceId;
};

struct D3DRASTER_STATUS {
  BOOL InVBlank;
  UINT ScanLine;
};

struct D3DSURFACE_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  UINT Width, Height;
};

struct D3DLOCKED_RECT {
  int Pitch;
  void* pBits;
};
struct D3DBOX {
  UINT Left, Top, Right, Bottom, Front, Back;
};
struct D3DLOCKED_BOX {
  int RowPitch;
  int SlicePitch;
  void* pBits;
};

// ---------------------------------------------------------------- interfaces

struct IDirect3DDevice9;
struct IDirect3DDevice9Ex;
struct IDirect3DSurface9;

struct IDirect3DResource9 : IUnknown {
  virtual D3DRESOURCETYPE GetType() = 0;

 protected:
  ~IDirect3DResource9() = default;
};

struct IDirect3DSurface9 : IDirect3DResource9 {
  virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
  // Null rect: the whole surface. Lockable surfaces only, one lock at a time.
  virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect() = 0;

 protected:
  ~IDirect3DSurface9() = default;
};

struct IDirect3DBaseTexture9 : IDirect3DResource9 {
  virtual DWORD GetLevelCount() = 0;

 protected:
  ~IDirect3DBaseTexture9() = default;
};

struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
  virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
  virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
  virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect(UINT level) = 0;

 protected:
  ~IDirect3DTexture9() = default;
};

struct IDirect3DVolumeTexture9 : IDirect3DBaseTexture9 {
  // Null box: the whole level.
  virtual HRESULT LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) = 0;
  virtual HRESULT UnlockBox(UINT level) = 0;

 protected:
  ~IDirect3DVolumeTexture9() = default;
};

struct IDirect3DVertexBuffer9 : IDirect3DResource9 {
  // size 0 with offset 0: the whole buffer.
  virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;

 protected:
  ~IDirect3DVertexBuffer9() = default;
};

struct IDirect3DIndexBuffer9 : IDirect3DResource9 {
  virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;

 protected:
  ~IDirect3DIndexBuffer9() = default;
};

struct IDirect3DVertexDeclaration9 : IUnknown {
 protected:
  ~IDirect3DVertexDeclaration9() = default;
};
struct IDirect3DVertexShader9 : IUnknown {
 protected:
  ~IDirect3DVertexShader9() = default;
};
struct IDirect3DPixelShader9 : IUnknown {
 protected:
  ~IDirect3DPixelShader9() = default;
};

struct IDirect3DSwapChain9 : IUnknown {
  virtual HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirtyRegion,
                          DWORD flags) = 0;
  virtual HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) = 0;
  // The display runs at 60 Hz of the performance counter's clock; the blank
  // is the first twentieth of each period.
  virtual HRESULT GetRasterStatus(D3DRASTER_STATUS* status) = 0;

 protected:
  ~IDirect3DSwapChain9() = default;
};

struct IDirect3DDevice9 : IUnknown {
  // D3DERR_DEVICELOST while the device is lost, D3DERR_DEVICENOTRESET once
  // it can be reset, else D3D_OK.
  virtual HRESULT TestCooperativeLevel() = 0;
  virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
  virtual HRESULT GetSwapChain(UINT index, IDirect3DSwapChain9** chain) = 0;
  // Fails while default-pool resources or references to the back buffer
  // are held; afterwards every state is back at its default.
  virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
  virtual HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirtyRegion) = 0;
  virtual HRESULT GetBackBuffer(UINT chain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) = 0;
  virtual HRESULT GetRasterStatus(UINT chain, D3DRASTER_STATUS* status) = 0;
  virtual HRESULT SetDialogBoxMode(BOOL on) = 0;

  virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                IDirect3DTexture9** texture, HANDLE* shared) = 0;
  virtual HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                      D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture9** texture,
                                      HANDLE* shared) = 0;
  virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     IDirect3DVertexBuffer9** buffer, HANDLE* shared) = 0;
  virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DIndexBuffer9** buffer, HANDLE* shared) = 0;
  virtual HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                     DWORD quality, BOOL lockable, IDirect3DSurface9** surface, HANDLE* shared) = 0;
  virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                            D3DMULTISAMPLE_TYPE multiSample, DWORD quality, BOOL discard,
                                            IDirect3DSurface9** surface, HANDLE* shared) = 0;
  virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                              IDirect3DSurface9** surface, HANDLE* shared) = 0;
  // System memory to default pool, same format.
  virtual HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                const POINT* destPoint) = 0;
  virtual HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* dest) = 0;
  virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) = 0;
  // Default-pool surfaces of one format; the nearest source pixel is taken.
  virtual HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                              const RECT* destRect, D3DTEXTUREFILTERTYPE filter) = 0;
  virtual HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) = 0;
  virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) = 0;
  virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) = 0;
  virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) = 0;

  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;

  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
  virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
  virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
  virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
  virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
  virtual HRESULT SetScissorRect(const RECT* rect) = 0;

  virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                  UINT stride) = 0;
  virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                         UINT primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                         const void* vertices, UINT stride) = 0;

  virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                          IDirect3DVertexDeclaration9** declaration) = 0;
  virtual HRESULT SetFVF(DWORD fvf) = 0;
  // The code is the shader's text, ended by a zero byte.
  virtual HRESULT CreateVertexShader(const DWORD* code, IDirect3DVertexShader9** shader) = 0;
  virtual HRESULT SetVertexShader(IDirect3DVertexShader9* shader) = 0;
  virtual HRESULT SetVertexShaderConstantF(UINT start, const float* data, UINT count) = 0;
  virtual HRESULT SetVertexShaderConstantI(UINT start, const int* data, UINT count) = 0;
  virtual HRESULT SetVertexShaderConstantB(UINT start, const BOOL* data, UINT count) = 0;
  virtual HRESULT CreatePixelShader(const DWORD* code, IDirect3DPixelShader9** shader) = 0;
  virtual HRESULT SetPixelShader(IDirect3DPixelShader9* shader) = 0;
  virtual HRESULT SetPixelShaderConstantF(UINT start, const float* data, UINT count) = 0;
  virtual HRESULT SetPixelShaderConstantI(UINT start, const int* data, UINT count) = 0;
  virtual HRESULT SetPixelShaderConstantB(UINT start, const BOOL* data, UINT count) = 0;

 protected:
  ~IDirect3DDevice9() = default;
};

struct IDirect3DDevice9Ex : IDirect3DDevice9 {
  virtual HRESULT SetMaximumFrameLatency(UINT frames) = 0;

 protected:
  ~IDirect3DDevice9Ex() = default;
};

struct IDirect3D9 : IUnknown {
  virtual UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
  virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) = 0;
  virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                    D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
  virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                         D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) = 0;
  virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
  virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD behaviour,
                               D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) = 0;

 protected:
  ~IDirect3D9() = default;
};

struct IDirect3D9Ex : IDirect3D9 {
  // mode: the display mode of a full-screen device, null for a windowed one.
  virtual HRESULT CreateDeviceEx(UINT adapter, D3DDEVTYPE type, HWND window, DWORD behaviour,
                                 D3DPRESENT_PARAMETERS* parameters, D3DDISPLAYMODEEX* mode,
                                 IDirect3DDevice9Ex** device) = 0;

 protected:
  ~IDirect3D9Ex() = default;
};

// The two entry points of "d3d9.dll".
IDirect3D9* Direct3DCreate9(UINT sdkVersion);
HRESULT Direct3DCreate9Ex(UINT sdkVersion, IDirect3D9Ex** object);
typedef IDirect3D9* (*Direct3DCreate9Proc)(UINT sdkVersion);
typedef HRESULT (*Direct3DCreate9ExProc)(UINT sdkVersion, IDirect3D9Ex** object);
