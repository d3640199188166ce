// Start-up and tear-down of the graphics back end: "d3d9.dll" loaded at run
// time, the DirectDraw object that serves the vertical-blank wait, the
// Direct3D object and the device for the main window, the surface formats
// every texture, render target and depth buffer uses, the measured refresh
// period, the display-mode change of full-screen mode. When no device can be
// made the software renderer draws.
#pragma once

#include <cstdint>

#include "library/graphics/color_format.h"
#include "platform/d3d9/d3d9.h"
#include "platform/ddraw/ddraw.h"

extern IDirectDraw7* DirectDrawObject;
extern HMODULE D3DModule;
// The Direct3D object; Direct3DObjectEx holds the same object when it was
// made through Direct3DCreate9Ex, else null.
extern IDirect3D9* Direct3DObject;
extern IDirect3D9Ex* Direct3DObjectEx;
extern IDirect3DDevice9* Direct3DDevice;
extern IDirect3DDevice9Ex* Direct3DDeviceEx;  // the same device on the 9Ex path, else null
extern IDirect3DSwapChain9* D3DSwapChain;
extern IDirect3DSurface9* D3DBackBuffer;
extern IDirect3DSurface9* D3DWorkBackBuffer;
extern IDirect3DSurface9* D3DZBuffer;

// Device facts kept after creation.
extern D3DCAPS9 D3DDeviceCaps;
extern int32_t ShaderModel2Capable;
extern int32_t VertexShader20Usable;
extern int32_t PixelShader20Usable;
extern int32_t CanUseResultArg;  // a temporary register for texture stages
extern int32_t CanUseBlendOp;    // blend operations (reverse subtraction)
extern int32_t MaxTextureSize;
extern int32_t RefreshPeriodMilliseconds;
extern int32_t BackBufferLockPreferred;

extern D3DFORMAT ScreenD3DFormat;
extern D3DFORMAT ZBufferD3DFormat;
// By the library's texture-format index: 0 16-bit, 1 32-bit, 2 and 3 with
// alpha, 4 and 5 with a transparent colour, 6 to 10 compressed kinds 1 to 5,
// 11 to 13 render targets (16-bit, 32-bit, with alpha), 14 render target and
// 15 transparent colour at screen depth. 0 where no format was found.
extern D3DFORMAT TextureD3DFormats[16];

// Set when a full-screen device runs as a window over a display mode the
// library set itself (the half-size picture on Windows Vista and later).
extern int32_t EmulatedFullScreen;

// The measured display period in microseconds, -1 while not measured.
extern int64_t VSyncPeriodMicroseconds;
// GetMicrosecondCount of the last finished vertical-blank wait.
extern int64_t LastVBlankTime;
// 1: Direct3D is not tried (SetUseHardwareFlag(0) before start-up).
extern int32_t SoftwareOnlyFlag;

// 0 when graphics can run (on Direct3D or on the software renderer), -1
// when not even the software path can start. Sets HardwareActive.
int G_D3D_Initialize();
int G_D3D_CreateDirectDraw();
int G_D3D_CreateDirect3D();
int G_D3D_CreateDevice();
int G_D3D_CreateZBuffer();
// A render target of screen size and format behind the back buffer.
int G_D3D_CreateWorkBackBuffer();
// Switches the desktop to the screen size and depth (full screen).
int ChangeScreenDisplayMode();
int MeasureVSyncPeriod();
void WaitVerticalBlank();
// Releases the Direct3D objects of graph surfaces, buffer and shader records
// before the device goes; the records stay.
int G_D3D_ReleaseResourceObjects();
// Releases what G_D3D_Initialize made and restores the desktop mode.
int G_D3D_Terminate();
void* GetDirectDrawObject();

// Releases a Direct3D object and clears the pointer.
template <typename T>
void ReleaseD3DObject(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// The colour format of a Direct3D format, or null.
const ColorFormat* GetD3DColorFormat(D3DFORMAT format);

// One wait for the start or the end of a vertical blank through the raster
// status gives up after this many milliseconds or polls: a display that
// never reports the change does not hold start-up.
constexpr uint32_t RasterWaitLimitMilliseconds = 100;
constexpr int32_t RasterWaitPollLimit = 1000000;
