// Graph handles: the table of GraphRecord behind every graph (image, movie
// frame, font cache sheet), their deletion, size and file name. The screen
// handles -2 (back screen) and -4 (front screen) have no record.
#pragma once

#include <cstdint>

#include "library/graphics/mem_img.h"
#include "library/graphics/object_handle.h"

constexpr ObjectHandle BackScreenHandle = -2;
constexpr ObjectHandle FrontScreenHandle = -4;

struct TexturePiece;
struct GraphDrawPiece;

// How a surface's pixels were asked for (filled by graph creation).
struct GraphFormatRequest {
  uint8_t hardware;          // 1: Direct3D texture surface, 0: memory image
  uint8_t alphaChannel;
  uint8_t drawable;          // 1: the surface can be a draw target
  uint8_t memoryImage;
  uint8_t textureKeep;
  uint8_t compression;       // 0 plain, 1 to 5 DXT1 to DXT5
  uint8_t mipLevels;
  uint8_t transparentColor;  // 1: the transparent colour is used
  uint8_t colorBits;         // 16 or 32
  uint8_t reserved;
};

// The pixel storage of a graph, shared by every graph cut from it and freed
// with the last of them.
struct GraphSurface {
  uint32_t referenceCount;
  GraphFormatRequest request;
  uint32_t transparentColor;  // 0xRRGGBB in force when the surface was made
  // Memory surface: the image of the whole surface.
  MEMIMG image;
  // Texture surface: the row of TextureD3DFormats its textures take, their
  // mip level count, and the textures that cover it (a tracked array).
  int32_t textureFormatIndex;
  int32_t mipLevelCount;
  int32_t pieceCount;
  TexturePiece* pieces;
};

// The absolute path (Shift-JIS) that a graph's pixels were loaded from,
// shared by the graphs cut from one image.
struct GraphFileNameRecord {
  uint32_t referenceCount;
  // The zero-terminated path follows the count.
  char* Path() { return reinterpret_cast<char*>(this + 1); }
  const char* Path() const { return reinterpret_cast<const char*>(this + 1); }
};

struct GraphRecord {
  uint32_t checkNumber;
  ObjectHandle handle;
  int32_t* deleteNotify;  // set to 1 when the graph is deleted, or null
  GraphSurface* surface;
  ObjectHandle movie;     // the movie feeding this graph, -1 for none
  GraphFileNameRecord* fileName;
  int32_t sourceX, sourceY;  // the graph's top-left pixel in the image file
  uint32_t loadFlag;         // the image-load flag, used again on restore
  int32_t surfaceX, surfaceY;
  int32_t width, height;
  // Memory surface: the view of the surface's image over this graph's
  // rectangle.
  MEMIMG image;
  // Texture surface: the parts of the surface's textures that this graph's
  // rectangle overlaps, with their corners (a tracked array).
  int32_t drawPieceCount;
  GraphDrawPiece* drawPieces;
};

constexpr uint32_t GraphHandleCapacity = 32768;
using GraphHandleTableType = HandleTable<GraphRecord, HandleKindGraph, GraphHandleCapacity>;
extern GraphHandleTableType GraphHandleTable;

// A new graph with a zero-filled record; a full table or a failed allocation
// ends the program.
ObjectHandle AllocGraphHandle();
int IsGraphHandleValid(ObjectHandle handle);
// The record of a live graph handle, or null.
GraphRecord* GetGraphRecordChecked(ObjectHandle handle);
int FreeGraph(ObjectHandle handle);
// Deletes every graph; nothing before graphics start-up. The flag is not read.
int FreeAllGraphs(int32_t flag);
// Gives the graph the absolute form of name; without a name, shares the name
// of the graph shareFrom, or (shareFrom -1) forgets it.
int SetGraphFileName(ObjectHandle handle, const char* name, ObjectHandle shareFrom);
// notify is set to 0 now and to 1 when the graph is deleted.
int SetGraphDeleteNotify(ObjectHandle handle, int32_t* notify);
// The size of a graph or of the screen (-2, -4); either pointer may be null.
int QueryGraphSize(ObjectHandle handle, int32_t* width, int32_t* height);
