// The handle tables of vertex buffers, index buffers and shaders. The
// library keeps their records across a device rebuild and gives them new
// Direct3D objects afterwards; nothing in this system adds an entry.
#pragma once

#include <cstdint>

#include "library/graphics/object_handle.h"
#include "platform/d3d9/d3d9.h"

struct VertexBufferRecord {
  uint32_t checkNumber;
  ObjectHandle handle;
  int32_t kind;  // 0: the standard layout (XYZ, NORMAL, DIFFUSE, SPECULAR, TEX2)
  int32_t elementSize;
  int32_t elementCount;
  uint8_t* copy;  // tracked, elementSize x elementCount bytes
  IDirect3DVertexBuffer9* buffer;
};

struct IndexBufferRecord {
  uint32_t checkNumber;
  ObjectHandle handle;
  int32_t kind;  // 0: 16-bit indices
  int32_t elementSize;
  int32_t elementCount;
  uint8_t* copy;
  IDirect3DIndexBuffer9* buffer;
};

struct ShaderRecord {
  uint32_t checkNumber;
  int32_t kind;  // 0 vertex, else pixel
  const DWORD* code;
  IUnknown* shader;
};

using VertexBufferTableType = HandleTable<VertexBufferRecord, HandleKindVertexBuffer, 16384>;
using IndexBufferTableType = HandleTable<IndexBufferRecord, HandleKindIndexBuffer, 16384>;
using ShaderTableType = HandleTable<ShaderRecord, HandleKindShader, 4096>;
extern VertexBufferTableType VertexBufferTable;
extern IndexBufferTableType IndexBufferTable;
extern ShaderTableType ShaderTable;

int DeleteVertexBuffer(ObjectHandle handle);
int DeleteIndexBuffer(ObjectHandle handle);
int DeleteShader(ObjectHandle handle);
int DeleteAllVertexBuffers();
int DeleteAllIndexBuffers();
int DeleteAllShaders();
// Elements start .. start + count - 1 into the record's copy and its buffer.
int G_D3D_FillVertexBuffer(int32_t start, const void* data, int32_t count, ObjectHandle handle);
int G_D3D_FillIndexBuffer(int32_t start, const void* data, int32_t count, ObjectHandle handle);
// The Direct3D buffer of a record, filled from its copy.
int G_D3D_CreateVertexBufferObject(VertexBufferRecord* record);
int G_D3D_CreateIndexBufferObject(IndexBufferRecord* record);
// A Direct3D buffer, or null without a device or on failure.
IDirect3DVertexBuffer9* G_D3D_CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
IDirect3DIndexBuffer9* G_D3D_CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
// After a device rebuild: the graph textures, then the buffers, then the shaders.
int G_D3D_RecreateResourceObjects();
// Before the device goes: the Direct3D objects of the buffer and shader
// records (the records stay).
void ReleaseBufferObjects();
void ReleaseShaderRecordObjects();
