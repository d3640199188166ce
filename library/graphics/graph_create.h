// Graph creation: image files loaded into graphs, images cut into a grid of
// cell graphs, empty graphs, part graphs that share their source's pixels,
// and pixels transferred into existing graphs. Each graph gets a record, a
// surface made from the creation settings, and its pixels: a memory image on
// the software renderer, texture pieces on Direct3D.
#pragma once

#include <cstdint>

#include "library/graphics/color_format.h"
#include "library/graphics/graph_handle.h"

struct DecoderStream;

// The settings read when a surface is made.
struct GraphCreateSettingsState {
  int32_t bitDepth;        // 0: the screen's, else 16 or 32
  int32_t drawableFlag;    // 1: new graphs can be draw targets
  int32_t transColorFlag;  // 1: new graphs use the transparent colour
  int32_t emptyGraphAlphaFlag;
  int32_t keepFlag;        // 1: texture pieces keep a system-memory copy
  int32_t movieGraphFlag;  // 1 while a movie graph is being set up
  int32_t transferOptionInverse;
  uint32_t transColor;     // 0xRRGGBB
};
extern GraphCreateSettingsState GraphCreateSettings;

int SetGraphCreateBitDepth(int32_t bits);
int GetGraphCreateBitDepth();
int SetDrawableGraphFlag(int32_t flag);
int GetDrawableGraphFlag();
int SetGraphTransColorFlag(int32_t flag);
int GetGraphTransColorFlag();
int SetEmptyGraphAlphaFlag(int32_t flag);
int GetEmptyGraphAlphaFlag();
int SetGraphKeepFlag(int32_t flag);
int GetGraphKeepFlag();
int GetMovieGraphFlag();
int SetGraphTransferOption(int32_t flag);

// The game's loader: CreateGraphFromFile(name, !flag, 0, 0).
ObjectHandle LoadGraphFile(const char* fileName, int32_t flag);
// Loads the image (and its alpha image) into a new graph and records the
// file name. A file that opens but is no image is tried as a movie.
ObjectHandle CreateGraphFromFile(const char* fileName, int32_t flags, int32_t mirror, int32_t movieMode);
// count cells of w x h, row by row; handles[] gets count entries, -1 for
// every cell not made.
int LoadDividedGraph(const char* fileName, int32_t count, int32_t xcount, int32_t ycount, int32_t w, int32_t h,
                     ObjectHandle* handles, int32_t flag);
int LoadDividedGraphBody(const char* fileName, int32_t count, int32_t xcount, int32_t ycount, int32_t w,
                         int32_t h, ObjectHandle* handles, int32_t flags, int32_t mirror);
int CreateDivGraphFromGraphImage(GraphImage* rgb, GraphImage* alpha, int32_t count, int32_t xcount,
                                 int32_t ycount, int32_t w, int32_t h, ObjectHandle* handles, int32_t flags,
                                 int32_t mirror, int32_t reserved);
// The second half of CreateDivGraphFromGraphImage: the cells of the graph
// base (made from an image imageWidth pixels wide) into handles, then base
// deleted. 0 or -1.
int CutGraphIntoCells(ObjectHandle base, int32_t imageWidth, int32_t count, int32_t xcount, int32_t ycount,
                      int32_t w, int32_t h, ObjectHandle* handles, int32_t mirror);

// Image files decoded on the processor's other cores ahead of the loads that
// will ask for them (software renderer only; nothing otherwise): the
// LoadGraphFile and LoadDividedGraph calls that follow take their pictures
// from here, in any order, and load files that are not listed as before.
// Every handle, log line and failure comes from those calls, as it would
// without the list. A second list replaces the first. 0.
int ReadAheadGraphFiles(const char* const* fileNames, int32_t count);
// Ends the list: waits for the decoding threads and frees the pictures that
// no load took. 0.
int EndGraphReadAhead();
ObjectHandle BuildGraphFromGraphImage(GraphImage* rgb, GraphImage* alpha, int32_t flags, int32_t mirror,
                                      int32_t mirrorToo);
ObjectHandle NewGraphFromGraphImage(GraphImage* rgb, GraphImage* alpha, int32_t flags);
// The image into an existing graph of its size.
int ReloadGraphFromGraphImage(GraphImage* rgb, GraphImage* alpha, ObjectHandle handle, int32_t reserved,
                              int32_t mirror, int32_t mirrorToo);
// An image file held in memory into an existing graph.
int ReloadGraphFromMemoryImage(const void* data, int32_t size, ObjectHandle handle, int32_t mirror);
int ReloadGraphFromPlainImage(GraphImage* rgb, ObjectHandle handle);
// Raw pixels (pointer, pitch, format and size of the whole data) into a
// graph: the rectangle of the data lands at its own position less the origin
// (0, 0 without one) in the graph's surface. The graph takes the source name
// (null forgets it). Block-compressed data is refused.
int ReloadGraphFromImageData(const char* sourceName, const void* pixels, int32_t pitch, const ColorFormat* format,
                             int32_t width, int32_t height, const PixelRect* rect, const int32_t* origin,
                             ObjectHandle handle);
// The rectangle at (srcX, srcY) of the graph's size into the graph; records
// the file name (null forgets it), the source offset and the load flag.
int TransferGraphImageToGraph(const char* fileName, GraphImage* rgb, GraphImage* alpha, int32_t srcX,
                              int32_t srcY, ObjectHandle handle, uint32_t loadFlag);
ObjectHandle CreateEmptyGraph(int32_t w, int32_t h);
// A graph of the w x h part at (x, y) of the source, sharing its pixels; w
// and h are cut at the source's edges.
ObjectHandle CreateGraphPart(int32_t x, int32_t y, int32_t w, int32_t h, ObjectHandle source);
// The surface and pixels of a graph whose record exists (mip -1: default).
// A memory image starts cleared unless the caller fills it whole next
// (wholeFillNext 1).
int SetupGraphSurface(int32_t mip, ObjectHandle handle, int32_t w, int32_t h, int32_t alpha, int32_t palette,
                      int32_t compression, int32_t wholeFillNext = 0);
const ColorFormat* ChooseTextureColorFormat(const GraphFormatRequest* request);
const ColorFormat* GetTextureColorFormat(uint8_t alpha, uint8_t transColor, int32_t use32bit, uint8_t drawable);
// Index 0 to 13 of the texture colour formats, else null.
const ColorFormat* GetTextureColorFormat14(int32_t index);
void* ZeroFill380(void* p);

// What a memory-image surface is made from: the creation settings and the
// screen depth at the time.
struct SurfaceSettings {
  GraphCreateSettingsState create;
  int32_t screenBits;
};
SurfaceSettings CurrentSurfaceSettings();
bool SameSurfaceSettings(const SurfaceSettings& a, const SurfaceSettings& b);
// The format request SetupGraphSurface makes from the settings.
GraphFormatRequest MakeGraphFormatRequest(int32_t mip, int32_t alpha, int32_t compression,
                                          const GraphCreateSettingsState& settings, int32_t hardware,
                                          int32_t screenBits);
// The memory image of a software surface whose request is set: 0, or -1
// (nothing logged).
int SetupMemorySurfaceImage(GraphSurface* surface, int32_t w, int32_t h, int32_t palette, int32_t wholeFillNext,
                            const GraphCreateSettingsState& settings);
// A PNG picture decoded from the stream straight into the memory image of a
// new surface, which is the one NewGraphFromGraphImage would make of the
// decoded image under these settings, filled as BuildGraphFromGraphImage
// fills it (no alpha image); the rows pass through a band buffer that each
// thread reuses. Null when the data is no PNG, is refused, or is interlaced,
// or memory runs out; nothing is logged. Safe on any thread.
GraphSurface* DecodePngIntoSurface(DecoderStream* stream, const SurfaceSettings& settings, int32_t* width,
                                   int32_t* height);
// Frees a surface that no graph holds.
void ReleaseGraphSurface(GraphSurface* surface);
// A new graph holding the surface (width x height) as BuildGraphFromGraphImage
// leaves its graph, named after the file (null: no name); -1 when its view
// cannot be made (the surface is freed then).
ObjectHandle AdoptGraphSurface(GraphSurface* surface, int32_t width, int32_t height, const char* fileName);

// The graph's draw information after its surface exists: the view of the
// surface's memory image over the graph's rectangle, or the draw pieces of
// its textures.
int BuildGraphDrawInfo(ObjectHandle handle);
// The body of CreateGraphPart: the new graph shares the source's surface and
// file name, at the source's position moved by (x, y).
int AttachGraphPart(ObjectHandle handle, ObjectHandle source, int32_t x, int32_t y, int32_t w, int32_t h);
// Writes the rectangle of the image into the graph at (destX, destY), a
// point of the whole surface when surfaceRelative, else of the graph.
int TransferImageToGraphTexture(ObjectHandle handle, const PixelRect* srcRect, int32_t destX, int32_t destY,
                                GraphImage* rgb, GraphImage* alpha, int32_t useTransColor,
                                int32_t surfaceRelative);
