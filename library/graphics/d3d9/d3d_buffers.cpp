#include "library/graphics/d3d9/d3d_buffers.h"

#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_texture.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"

VertexBufferTableType VertexBufferTable;
IndexBufferTableType IndexBufferTable;
ShaderTableType ShaderTable;

namespace {

constexpr DWORD kStandardFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2;

template <typename Table>
int DeleteRecord(Table& table, ObjectHandle handle) {
  auto* record = table.Find(handle);
  if (record == nullptr) return -1;
  if constexpr (requires { record->buffer; }) {
    ReleaseD3DObject(record->buffer);
    TrackedFree(record->copy);
  } else {
    ReleaseD3DObject(record->shader);
  }
  table.Remove(static_cast<uint32_t>(handle) & HandleSlotBits);
  TrackedFree(record);
  return 0;
}

template <typename Table>
int DeleteAll(Table& table) {
  if (!GraphicsInitialised) return 0;
  for (uint32_t slot = 0; slot < table.top; ++slot)
    if (table.records[slot] != nullptr) DeleteRecord(table, table.HandleAt(slot));
  return 0;
}

// Writes count elements from start into the record's copy and, through a
// lock, its Direct3D buffer.
template <typename Record>
int Fill(Record* record, int32_t start, const void* data, int32_t count, const char* lockFailure) {
  if (record == nullptr || data == nullptr || start < 0 || count < 0 ||
      static_cast<int64_t>(start) + count > record->elementCount)
    return -1;
  const size_t offset = static_cast<size_t>(start) * static_cast<size_t>(record->elementSize);
  const size_t bytes = static_cast<size_t>(count) * static_cast<size_t>(record->elementSize);
  if (record->buffer != nullptr) {
    void* locked = nullptr;
    if (record->buffer->Lock(static_cast<UINT>(offset), static_cast<UINT>(bytes), &locked, 0) < 0)
      return WriteErrorLog(lockFailure);
    std::memcpy(locked, data, bytes);
    record->buffer->Unlock();
  }
  if (record->copy != nullptr && bytes != 0) std::memcpy(record->copy + offset, data, bytes);
  return 0;
}

}  // namespace

int DeleteVertexBuffer(ObjectHandle handle) { return DeleteRecord(VertexBufferTable, handle); }
int DeleteIndexBuffer(ObjectHandle handle) { return DeleteRecord(IndexBufferTable, handle); }
int DeleteShader(ObjectHandle handle) { return DeleteRecord(ShaderTable, handle); }
int DeleteAllVertexBuffers() { return DeleteAll(VertexBufferTable); }
int DeleteAllIndexBuffers() { return DeleteAll(IndexBufferTable); }
int DeleteAllShaders() { return DeleteAll(ShaderTable); }

int G_D3D_FillVertexBuffer(int32_t start, const void* data, int32_t count, ObjectHandle handle) {
  return Fill(VertexBufferTable.Find(handle), start, data, count, "頂点バッファのロックに失敗しました\n");
}

int G_D3D_FillIndexBuffer(int32_t start, const void* data, int32_t count, ObjectHandle handle) {
  return Fill(IndexBufferTable.Find(handle), start, data, count, "インデックスバッファのロックに失敗しました\n");
}

IDirect3DVertexBuffer9* G_D3D_CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) {
  IDirect3DVertexBuffer9* buffer = nullptr;
  if (Direct3DDevice == nullptr || Direct3DDevice->CreateVertexBuffer(length, usage, fvf, pool, &buffer, nullptr) < 0)
    return nullptr;
  return buffer;
}

IDirect3DIndexBuffer9* G_D3D_CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
  IDirect3DIndexBuffer9* buffer = nullptr;
  if (Direct3DDevice == nullptr || Direct3DDevice->CreateIndexBuffer(length, usage, format, pool, &buffer, nullptr) < 0)
    return nullptr;
  return buffer;
}

int G_D3D_CreateVertexBufferObject(VertexBufferRecord* record) {
  if (!ShaderModel2Capable || record == nullptr) return 0;
  ReleaseD3DObject(record->buffer);  // a record holds one buffer at a time
  const auto length = static_cast<UINT>(record->elementCount * record->elementSize);
  record->buffer = G_D3D_CreateVertexBuffer(length, D3DUSAGE_WRITEONLY, record->kind == 0 ? kStandardFvf : 0,
                                            D3DPOOL_DEFAULT);
  if (record->buffer == nullptr) return WriteErrorLog("頂点バッファの作成に失敗しました\n");
  // A buffer that cannot be filled is not kept.
  if (G_D3D_FillVertexBuffer(0, record->copy, record->elementCount, record->handle) != 0) {
    ReleaseD3DObject(record->buffer);
    return -1;
  }
  return 0;
}

int G_D3D_CreateIndexBufferObject(IndexBufferRecord* record) {
  if (!ShaderModel2Capable || record == nullptr) return 0;
  ReleaseD3DObject(record->buffer);
  const auto length = static_cast<UINT>(record->elementCount * record->elementSize);
  record->buffer = G_D3D_CreateIndexBuffer(length, D3DUSAGE_WRITEONLY,
                                           record->kind == 0 ? D3DFMT_INDEX16 : D3DFMT_INDEX32, D3DPOOL_DEFAULT);
  if (record->buffer == nullptr) return WriteErrorLog("インデックスバッファの作成に失敗しました\n");
  if (G_D3D_FillIndexBuffer(0, record->copy, record->elementCount, record->handle) != 0) {
    ReleaseD3DObject(record->buffer);
    return -1;
  }
  return 0;
}

int G_D3D_RecreateResourceObjects() {
  for (uint32_t slot = 0; slot < GraphHandleTable.top; ++slot) {
    GraphRecord* graph = GraphHandleTable.records[slot];
    if (graph != nullptr && graph->surface != nullptr && graph->surface->request.hardware)
      CreateSurfaceTextures(graph->surface);
  }
  for (uint32_t slot = 0; slot < VertexBufferTable.top; ++slot)
    if (VertexBufferTable.records[slot] != nullptr) G_D3D_CreateVertexBufferObject(VertexBufferTable.records[slot]);
  for (uint32_t slot = 0; slot < IndexBufferTable.top; ++slot)
    if (IndexBufferTable.records[slot] != nullptr) G_D3D_CreateIndexBufferObject(IndexBufferTable.records[slot]);
  for (uint32_t slot = 0; slot < ShaderTable.top; ++slot) {
    ShaderRecord* record = ShaderTable.records[slot];
    if (record == nullptr || Direct3DDevice == nullptr || record->shader != nullptr) continue;
    if (record->kind == 0) {
      IDirect3DVertexShader9* shader = nullptr;
      if (Direct3DDevice->CreateVertexShader(record->code, &shader) >= 0) record->shader = shader;
    } else {
      IDirect3DPixelShader9* shader = nullptr;
      if (Direct3DDevice->CreatePixelShader(record->code, &shader) >= 0) record->shader = shader;
    }
  }
  return 0;
}

void ReleaseBufferObjects() {
  for (uint32_t slot = 0; slot < VertexBufferTable.top; ++slot)
    if (VertexBufferTable.records[slot] != nullptr) ReleaseD3DObject(VertexBufferTable.records[slot]->buffer);
  for (uint32_t slot = 0; slot < IndexBufferTable.top; ++slot)
    if (IndexBufferTable.records[slot] != nullptr) ReleaseD3DObject(IndexBufferTable.records[slot]->buffer);
}

void ReleaseShaderRecordObjects() {
  for (uint32_t slot = 0; slot < ShaderTable.top; ++slot)
    if (ShaderTable.records[slot] != nullptr) ReleaseD3DObject(ShaderTable.records[slot]->shader);
}
