// The public drawing calls: graphs at a point, stretched, mirrored, rotated
// and scaled, mapped onto a quadrilateral or cut to a region; boxes, lines,
// circles, ellipses and triangles; clearing the draw target, filling a graph
// and copying the target into a graph. Every call draws into the current
// draw target with the current draw state, through the mask screen when it
// is active, on Direct3D or on the software renderer. Positions are pixels
// of the target, y downward; angles are radians, clockwise on the screen.
// Colours are values of MakeScreenColor. A trans flag of 1 lets the graph's
// transparent colour and alpha take effect; turn mirrors the graph left to
// right. Invalid graphs give -1; suppressed drawing and an empty draw area
// give 0 without drawing.
#pragma once

#include <cstdint>

#include "library/graphics/object_handle.h"

int DrawGraphAt(int32_t x, int32_t y, ObjectHandle handle, int32_t trans);
// x1 > x2 mirrors left-right, y1 > y2 upside down.
int DrawGraphStretched(int32_t x1, int32_t y1, int32_t x2, int32_t y2, ObjectHandle handle, int32_t trans);
int DrawGraphStretchedF(float x1, float y1, float x2, float y2, ObjectHandle handle, int32_t trans);
int DrawGraphMirrored(int32_t x, int32_t y, ObjectHandle handle, int32_t trans);
// The graph's centre at (x, y), scaled and turned about it.
int DrawGraphRotated(int32_t x, int32_t y, double scale, double angle, ObjectHandle handle, int32_t trans,
                     int32_t turn);
int DrawGraphRotatedF(float x, float y, double scale, double angle, ObjectHandle handle, int32_t trans,
                      int32_t turn);
// The graph's point (cx, cy) at (x, y), scaled and turned about it.
int DrawGraphRotatedAbout(int32_t x, int32_t y, int32_t cx, int32_t cy, double scale, double angle,
                          ObjectHandle handle, int32_t trans, int32_t turn);
// Corners 1 to 4: top-left, top-right, bottom-right, bottom-left of the graph.
int DrawGraphQuad(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4,
                  ObjectHandle handle, int32_t trans);
int DrawGraphQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                   ObjectHandle handle, int32_t trans);
// The w x h part at (srcX, srcY) of the graph, its top-left at (x, y).
int DrawGraphRegion(int32_t x, int32_t y, int32_t srcX, int32_t srcY, int32_t w, int32_t h, ObjectHandle handle,
                    int32_t trans, int32_t turn);
int DrawGraphRegionStretchedF(float x1, float y1, float x2, float y2, int32_t srcX, int32_t srcY, int32_t w,
                              int32_t h, ObjectHandle handle, int32_t trans);

int DrawRectangleShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t fill);
// Right and bottom exclusive.
int FillRectangleShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
int FrameRectangleShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
// Thickness above 1 draws the line as a filled quadrilateral.
int DrawLineShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t thickness);
int DrawThickLine(uint32_t colour, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t thickness);
// A negative radius draws nothing.
int DrawCircleShape(int32_t x, int32_t y, int32_t r, uint32_t colour, int32_t fill);
int DrawEllipseShape(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t fill);
int DrawTriangleShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint32_t colour,
                      int32_t fill);

// Fills the draw target (or the rectangle; a negative left or top means the
// whole target) with the background colour.
int ClearDrawTarget(const int32_t rect[4]);
// Fills the whole graph with the colour (each value clamped to 0..255).
int FillGraphWithColor(ObjectHandle handle, int32_t red, int32_t green, int32_t blue, int32_t alpha);
// Copies the rectangle of the draw target into a graph of exactly its size.
int CopyScreenToGraph(int32_t x1, int32_t y1, int32_t x2, int32_t y2, ObjectHandle handle, int32_t unused = 0);

// While the front screen is the draw target, the window is refreshed every
// 32 ms: the timer (id 32767) of the main window.
constexpr uint32_t WindowRefreshTimerId = 32767;
void ArmWindowRefreshTimer();
