// Start-up and tear-down of the graphics back end: the DirectDraw object that
// serves the vertical-blank wait, the display-mode change of full-screen
// mode and the measured refresh period. The Direct3D device is tried first;
// when none can be made the software renderer draws.
#pragma once

#include <cstdint>

#include "platform/ddraw/ddraw.h"

extern IDirectDraw7* DirectDrawObject;
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
// Switches the desktop to the screen size and depth (full screen).
int ChangeScreenDisplayMode();
int MeasureVSyncPeriod();
void WaitVerticalBlank();
// Releases what G_D3D_Initialize made and restores the desktop mode.
int G_D3D_Terminate();
void* GetDirectDrawObject();
