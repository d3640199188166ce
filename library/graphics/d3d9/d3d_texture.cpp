#include "library/graphics/d3d9/d3d_texture.h"

#include <algorithm>
#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/graphics/d3d9/d3d_batch.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"
#include "library/graphics/graphics_system.h"

uint32_t SingleTextureRequest = 0;

namespace {

constexpr int32_t kMaxPieces = 32;

// The largest power of two within the device's texture size.
int32_t TextureSizeLimit() {
  int32_t limit = 8;
  while (limit * 2 <= MaxTextureSize && limit < (1 << 24)) limit *= 2;
  return limit;
}

bool IsCompressedRow(int32_t index) { return index >= 6 && index <= 10; }

bool IsDxtFormat(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}

D3DFORMAT SurfaceD3DFormat(const GraphSurface* surface) {
  const int32_t index = surface->textureFormatIndex;
  return index >= 0 && index < 16 ? TextureD3DFormats[index] : D3DFMT_UNKNOWN;
}

// The DXT kind (1 to 5) of a Direct3D format, 0 for another.
uint32_t DxtKindOf(D3DFORMAT format) {
  for (uint32_t kind = 1; kind <= 5; ++kind)
    if (format == TextureD3DFormats[5 + kind] && IsDxtFormat(format)) return kind;
  return 0;
}

int32_t LevelSide(int32_t side, int32_t level) { return std::max(side >> level, 1); }

// Where a rectangle (in the surface) lies on one texture piece.
struct PieceOverlap {
  TexturePiece* piece;
  PixelRect region;  // the part of the surface the transfer may write through this piece
};

// The overlap of two half-open rectangles (empty: left >= right or top >= bottom).
PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const PixelRect& r) { return r.left >= r.right || r.top >= r.bottom; }

// Repeats the last column and row of the written part into the extra column
// and row that the lock took, so that filtering at the edge of the used part
// reads the image's own pixels.
void RepeatEdgeTexels(uint8_t* bits, int32_t pitch, int32_t bytes, int32_t width, int32_t height, bool column,
                      bool row) {
  if (bytes != 2 && bytes != 4) return;
  if (column)
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* line = bits + static_cast<int64_t>(y) * pitch;
      std::memcpy(line + static_cast<int64_t>(width) * bytes, line + static_cast<int64_t>(width - 1) * bytes,
                  static_cast<size_t>(bytes));
    }
  if (row) {
    const int32_t n = width + (column ? 1 : 0);
    std::memcpy(bits + static_cast<int64_t>(height) * pitch, bits + static_cast<int64_t>(height - 1) * pitch,
                static_cast<size_t>(n) * static_cast<size_t>(bytes));
  }
}

// Copies block data of one level into a locked level: rows of blocks.
void CopyBlockLevel(uint8_t* dest, int32_t destPitch, const uint8_t* src, uint32_t kind, int32_t width,
                    int32_t height) {
  const int32_t blockBytes = kind == 1 ? 8 : 16;
  const int32_t rowBytes = std::max((width + 3) / 4, 1) * blockBytes;
  const int32_t rows = std::max((height + 3) / 4, 1);
  for (int32_t r = 0; r < rows; ++r)
    std::memcpy(dest + static_cast<int64_t>(r) * destPitch, src + static_cast<int64_t>(r) * rowBytes,
                static_cast<size_t>(rowBytes));
}

bool SameLayout(const ColorFormat& a, const ColorFormat& b) {
  return a.colorBits == b.colorBits && a.bytesPerPixel == b.bytesPerPixel && a.redMask == b.redMask &&
         a.greenMask == b.greenMask && a.blueMask == b.blueMask && a.alphaMask == b.alphaMask;
}

const char* kDxtFromPlain = "DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません\n";

// What one transfer writes, and how.
struct TransferJob {
  GraphSurface* surface;
  const ColorFormat* format;  // of the textures
  D3DFORMAT d3dFormat;
  GraphImage* rgb;
  GraphImage* alpha;
  int32_t keyToAlpha;
  bool decoded;  // the base images were made plain
};

// Makes the base images plain before pixels are converted from them.
int MakePlain(TransferJob* job) {
  if (job->decoded) return 0;
  if ((job->rgb->format.compression != 0 && DecodeCompressedGraphImage(job->rgb) != 0) ||
      (job->alpha != nullptr && job->alpha->format.compression != 0 && DecodeCompressedGraphImage(job->alpha) != 0))
    return WriteErrorLog("標準イメージ用のメモリ確保に失敗しました\n");
  job->decoded = true;
  return 0;
}

int ConvertInto(const TransferJob& job, void* dest, int32_t pitch, const PixelRect& src) {
  const GraphImage* a = job.alpha;
  return ConvertPixelRect(dest, pitch, job.format, job.rgb->pixels, job.rgb->pitch, &job.rgb->format,
                          a != nullptr ? a->pixels : nullptr, a != nullptr ? a->pitch : 0,
                          a != nullptr ? &a->format : nullptr, 0, 0, &src, 0, job.keyToAlpha,
                          job.surface->transparentColor, DitherNone, 0, 0, 0, 0);
}

// One piece of one mip level: the source rectangle into the piece at (x, y)
// of its texture, with the edge texels when the part ends at the used size.
int WriteSingleLevel(TransferJob* job, TexturePiece* p, IDirect3DTexture9* target, const PixelRect& src, int32_t x,
                     int32_t y) {
  const int32_t w = src.right - src.left, h = src.bottom - src.top;
  const bool whole = x == 0 && y == 0 && w == p->textureWidth && h == p->textureHeight;
  const uint32_t kind = DxtKindOf(job->d3dFormat);
  // Block data goes in as it is only when it is exactly this texture.
  if (whole && kind != 0 && job->rgb->format.compression == kind && src.left == 0 && src.top == 0 &&
      job->rgb->width == w && job->rgb->height == h) {
    D3DLOCKED_RECT locked{};
    if (target->LockRect(0, &locked, nullptr, 0) < 0) return WriteErrorLog("テクスチャのロックに失敗しました\n");
    CopyBlockLevel(static_cast<uint8_t*>(locked.pBits), locked.Pitch, job->rgb->pixels, kind, w, h);
    target->UnlockRect(0);
    return 0;
  }
  if (IsDxtFormat(job->d3dFormat)) {
    WriteErrorLog(kDxtFromPlain);
    return 0;
  }
  const bool column = x + w == p->width && p->width < p->textureWidth;
  const bool row = y + h == p->height && p->height < p->textureHeight;
  const RECT lock = {x, y, x + w + (column ? 1 : 0), y + h + (row ? 1 : 0)};
  if (MakePlain(job) != 0) return -1;
  D3DLOCKED_RECT locked{};
  if (target->LockRect(0, &locked, &lock, 0) < 0) return WriteErrorLog("テクスチャのロックに失敗しました\n");
  ConvertInto(*job, locked.pBits, locked.Pitch, src);
  RepeatEdgeTexels(static_cast<uint8_t*>(locked.pBits), locked.Pitch, job->format->bytesPerPixel, w, h, column, row);
  target->UnlockRect(0);
  return 0;
}

// Every level of a piece with a mip chain.
int WriteMipLevels(TransferJob* job, TexturePiece* p, IDirect3DTexture9* target, const PixelRect& src, int32_t x,
                   int32_t y) {
  const int32_t levels = static_cast<int32_t>(target->GetLevelCount());
  const int32_t w = src.right - src.left, h = src.bottom - src.top;
  const bool whole = x == 0 && y == 0 && w == p->textureWidth && h == p->textureHeight && src.left == 0 &&
                     src.top == 0 && job->rgb->width == w && job->rgb->height == h;
  const int32_t imageLevels = static_cast<int32_t>(std::max(job->rgb->mipLevels, 1u));
  const uint32_t kind = DxtKindOf(job->d3dFormat);
  if (whole && kind != 0 && job->rgb->format.compression == kind && imageLevels >= levels) {
    const uint8_t* level = job->rgb->pixels;
    for (int32_t l = 0; l < levels; ++l) {
      D3DLOCKED_RECT locked{};
      if (target->LockRect(static_cast<UINT>(l), &locked, nullptr, 0) < 0)
        return WriteErrorLog("ミップマップテクスチャのロックに失敗しました\n");
      CopyBlockLevel(static_cast<uint8_t*>(locked.pBits), locked.Pitch, level, kind, LevelSide(w, l), LevelSide(h, l));
      target->UnlockRect(static_cast<UINT>(l));
      level += CompressedLevelSize(kind, LevelSide(w, l), LevelSide(h, l));
    }
    return 0;
  }
  if (IsDxtFormat(job->d3dFormat)) {
    WriteErrorLog(kDxtFromPlain);
    return 0;
  }
  const int32_t bytes = job->format->bytesPerPixel;
  // Plain levels of the texture's own layout go in as they are.
  if (whole && job->rgb->format.compression == 0 && imageLevels >= levels && SameLayout(job->rgb->format, *job->format)) {
    const uint8_t* level = job->rgb->pixels;
    int64_t levelSize = static_cast<int64_t>(job->rgb->pitch) * h;
    for (int32_t l = 0; l < levels; ++l, levelSize /= 4) {
      const int32_t lw = LevelSide(w, l), lh = LevelSide(h, l);
      const int32_t levelPitch = std::max(job->rgb->pitch >> l, lw * bytes);
      D3DLOCKED_RECT locked{};
      if (target->LockRect(static_cast<UINT>(l), &locked, nullptr, 0) < 0)
        return WriteErrorLog("ミップマップテクスチャのロックに失敗しました\n");
      for (int32_t r = 0; r < lh; ++r)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + static_cast<int64_t>(r) * locked.Pitch,
                    level + static_cast<int64_t>(r) * levelPitch, static_cast<size_t>(lw) * bytes);
      target->UnlockRect(static_cast<UINT>(l));
      level += levelSize;
    }
    return 0;
  }
  if (MakePlain(job) != 0) return -1;
  // Level 0 converted into a work image of powers of two, each further level
  // the half of the one before, the two work images taking turns.
  int32_t W = 1, H = 1;
  while (W < w) W *= 2;
  while (H < h) H *= 2;
  const size_t size = static_cast<size_t>(W) * static_cast<size_t>(H) * static_cast<size_t>(bytes);
  auto* work = static_cast<uint8_t*>(TrackedCalloc(size * 2, __FILE__, __LINE__));
  if (work == nullptr)
    return WriteErrorLog("テクスチャへ転送する画像を一時的に格納するメモリ領域の確保に失敗しました\n");
  uint8_t* images[2] = {work, work + size};
  int result = 0;
  ConvertInto(*job, images[0], W * bytes, src);
  int32_t lw = W, lh = H;
  for (int32_t l = 0; l < levels && result == 0; ++l) {
    uint8_t* current = images[l & 1];
    if (l > 0) {
      const int32_t pw = lw, ph = lh;
      lw = std::max(pw / 2, 1);
      lh = std::max(ph / 2, 1);
      ReduceImageForMipLevel(job->format, current, lw * bytes, images[(l - 1) & 1], pw * bytes, 0, 0, 0, 0, pw, ph);
    }
    // The level's part of the piece, never past the level's size.
    const int32_t tw = LevelSide(p->textureWidth, l), th = LevelSide(p->textureHeight, l);
    const int32_t lx = x >> l, ly = y >> l;
    const int32_t cw = std::min(lw, tw - lx), ch = std::min(lh, th - ly);
    if (cw <= 0 || ch <= 0) continue;
    const RECT lock = {lx, ly, lx + cw, ly + ch};
    D3DLOCKED_RECT locked{};
    if (target->LockRect(static_cast<UINT>(l), &locked, &lock, 0) < 0) {
      result = WriteErrorLog("ミップマップテクスチャのロックに失敗しました\n");
      break;
    }
    for (int32_t r = 0; r < ch; ++r)
      std::memcpy(static_cast<uint8_t*>(locked.pBits) + static_cast<int64_t>(r) * locked.Pitch,
                  current + static_cast<int64_t>(r) * lw * bytes, static_cast<size_t>(cw) * bytes);
    target->UnlockRect(static_cast<UINT>(l));
  }
  TrackedFree(work);
  return result;
}

}  // namespace

// ---------------------------------------------------------------- sizes

int32_t SplitTextureSize(int32_t size, int32_t* out, int32_t single) {
  const int32_t limit = TextureSizeLimit();
  if (size <= 8) {
    out[0] = 8;
    return 1;
  }
  int32_t s = limit;
  while (s > 8 && s > size) s /= 2;
  if ((SingleTextureRequest || single || size < ScreenWidth) && 2 * s <= limit) {
    if (s < size) s *= 2;
    out[0] = s;
    return 1;
  }
  int32_t n = 0, rest = size;
  while (n < kMaxPieces) {
    out[n++] = s;
    rest -= s;
    if (rest <= 0) break;
    if (rest > 3 * s / 4 && s < limit) {
      out[n - 1] = 2 * s;
      break;
    }
    while (rest < s && s > 8) s /= 2;
  }
  if (n >= 2 && out[n - 1] == out[n - 2] && 2 * out[n - 1] <= limit) {
    out[n - 2] *= 2;
    --n;
  }
  return n;
}

int32_t ChooseTextureFormatIndex(const GraphFormatRequest* request) {
  const bool wide = request->colorBits == 32;
  if (request->compression >= 1 && request->compression <= 5) return 5 + request->compression;
  if (request->drawable) return request->alphaChannel || request->transparentColor ? 13 : wide ? 12 : 11;
  if (request->alphaChannel) return wide ? 3 : 2;
  if (request->transparentColor) return wide ? 5 : 4;
  return wide ? 1 : 0;
}

const ColorFormat* SurfaceTextureColorFormat(const GraphSurface* surface) {
  return GetD3DColorFormat(SurfaceD3DFormat(surface));
}

IDirect3DTexture9* GraphFirstTexture(const GraphRecord* graph) {
  if (graph == nullptr || graph->drawPieceCount < 1 || graph->drawPieces == nullptr) return nullptr;
  return graph->drawPieces[0].piece->texture;
}

// ---------------------------------------------------------------- surfaces

int G_D3D_SetupSurfacePieces(GraphSurface* surface, int32_t w, int32_t h) {
  GraphFormatRequest& request = surface->request;
  const int32_t single = request.drawable ? 1 : 0;
  int32_t widths[kMaxPieces], heights[kMaxPieces];
  const int32_t columns = SplitTextureSize(w, widths, single);
  const int32_t rows = SplitTextureSize(h, heights, single);
  // The pieces together must hold the whole size.
  int64_t coverW = 0, coverH = 0;
  for (int32_t i = 0; i < columns; ++i) coverW += widths[i];
  for (int32_t i = 0; i < rows; ++i) coverH += heights[i];
  if (coverW < w || coverH < h) return WriteErrorLog("テクスチャ描画情報の作成に失敗しました\n");
  surface->textureFormatIndex = ChooseTextureFormatIndex(&request);
  // Block data fits a texture only as a whole: an image that is cut or
  // padded takes the plain format its kind falls back to, and is decoded.
  if (IsCompressedRow(surface->textureFormatIndex) && !(columns == 1 && rows == 1 && widths[0] == w && heights[0] == h))
    surface->textureFormatIndex = request.compression == 1 ? 4 : 3;
  surface->mipLevelCount = request.mipLevels == 0 ? 1 : request.mipLevels;
  auto* pieces = static_cast<TexturePiece*>(
      TrackedCalloc(sizeof(TexturePiece) * static_cast<size_t>(columns * rows), __FILE__, __LINE__));
  if (pieces == nullptr) return WriteErrorLog("グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました\n");
  int32_t y = 0;
  for (int32_t r = 0; r < rows; ++r) {
    int32_t x = 0;
    for (int32_t c = 0; c < columns; ++c) {
      TexturePiece& p = pieces[r * columns + c];
      p.x = x;
      p.y = y;
      p.width = std::min(widths[c], w - x);
      p.height = std::min(heights[r], h - y);
      p.textureWidth = widths[c];
      p.textureHeight = heights[r];
      x += widths[c];
    }
    y += heights[r];
  }
  surface->pieces = pieces;
  surface->pieceCount = columns * rows;
  return CreateSurfaceTextures(surface);
}

int CreateSurfaceTextures(GraphSurface* surface) {
  if (Direct3DDevice == nullptr) return -1;
  if (!surface->request.hardware) return 0;
  const D3DFORMAT format = SurfaceD3DFormat(surface);
  if (format == D3DFMT_UNKNOWN)
    return WriteErrorLog("指定のフォーマットで作成できるテクスチャフォーマットがありませんでした\n");
  GraphFormatRequest& request = surface->request;
  if (Direct3DDeviceEx != nullptr) request.textureKeep = 1;
  const bool target = request.drawable != 0;
  const bool keep = request.textureKeep != 0 && !target;
  const D3DPOOL pool = request.textureKeep || target ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
  const auto levels = static_cast<UINT>(surface->mipLevelCount);
  for (int32_t i = 0; i < surface->pieceCount; ++i) {
    TexturePiece& p = surface->pieces[i];
    if (p.texture != nullptr) continue;
    const auto tw = static_cast<UINT>(p.textureWidth), th = static_cast<UINT>(p.textureHeight);
    if (Direct3DDevice->CreateTexture(tw, th, levels, target ? D3DUSAGE_RENDERTARGET : 0, format, pool, &p.texture,
                                      nullptr) < 0) {
      p.texture = nullptr;
      return WriteErrorLog("書き込み専用テクスチャの作成に失敗しました\n");
    }
    if (keep && Direct3DDevice->CreateTexture(tw, th, levels, D3DUSAGE_DYNAMIC, format, D3DPOOL_SYSTEMMEM,
                                              &p.staging, nullptr) < 0) {
      p.staging = nullptr;
      ReleaseD3DObject(p.texture);
      return WriteErrorLog("メモリテクスチャの作成に失敗しました\n");
    }
    if (p.texture->GetSurfaceLevel(0, &p.surface) < 0) {
      p.surface = nullptr;
      return WriteErrorLog("テクスチャのサーフェスアドレスの取得に失敗しました\n");
    }
    if (target) {
      Direct3DDevice->ColorFill(p.surface, nullptr, 0);
    } else if (!IsDxtFormat(format)) {
      IDirect3DTexture9* written = keep ? p.staging : p.texture;
      for (UINT l = 0; l < written->GetLevelCount(); ++l) {
        D3DLOCKED_RECT locked{};
        if (written->LockRect(l, &locked, nullptr, 0) < 0) continue;
        const int64_t rows = std::max(p.textureHeight >> l, 1);
        std::memset(locked.pBits, 0, static_cast<size_t>(locked.Pitch * rows));
        written->UnlockRect(l);
      }
      if (keep) Direct3DDevice->UpdateTexture(p.staging, p.texture);
    }
  }
  return 0;
}

void G_D3D_ForgetTexture(IDirect3DBaseTexture9* texture) {
  if (texture == nullptr) return;
  D3DShadowState& s = D3DStateShadow;
  bool used = s.request.drawTexture == texture || s.request.blendGraphTexture == texture;
  for (IDirect3DBaseTexture9* t : s.stageTextures) used = used || t == texture;
  if (!used) return;
  G_D3D_FlushVertexBatch();
  for (DWORD stage = 0; stage < 8; ++stage) {
    if (s.stageTextures[stage] != texture) continue;
    if (Direct3DDevice != nullptr) Direct3DDevice->SetTexture(stage, nullptr);
    s.stageTextures[stage] = nullptr;
  }
  if (s.request.drawTexture == texture) {
    s.request.drawTexture = nullptr;
    s.request.textureDirty = 1;
    s.request.blendDirty = 1;
  }
  if (s.request.blendGraphTexture == texture) {
    s.request.blendGraphTexture = nullptr;
    s.request.blendDirty = 1;
  }
}

int ReleaseSurfaceTextures(GraphSurface* surface) {
  if (surface == nullptr || !surface->request.hardware) return 0;
  for (int32_t i = 0; i < surface->pieceCount; ++i) {
    TexturePiece& p = surface->pieces[i];
    G_D3D_ForgetTexture(p.texture);
    if (p.surface != nullptr && p.surface == CurrentRenderTarget) CurrentRenderTarget = nullptr;
    ReleaseD3DObject(p.surface);
    ReleaseD3DObject(p.texture);
    ReleaseD3DObject(p.staging);
  }
  return 0;
}

int ReleaseSurfaceTargetObjects(GraphSurface* surface) {
  if (surface == nullptr || !surface->request.hardware) return 0;
  for (int32_t i = 0; i < surface->pieceCount; ++i) ReleaseD3DObject(surface->pieces[i].targetCompanion);
  return 0;
}

void G_D3D_FreeSurfacePieces(GraphSurface* surface) {
  ReleaseSurfaceTargetObjects(surface);
  ReleaseSurfaceTextures(surface);
  TrackedFree(surface->pieces);
  surface->pieces = nullptr;
  surface->pieceCount = 0;
}

// ---------------------------------------------------------------- draw pieces

void G_D3D_FreeGraphDrawPieces(GraphRecord* graph) {
  TrackedFree(graph->drawPieces);
  graph->drawPieces = nullptr;
  graph->drawPieceCount = 0;
}

int G_D3D_BuildGraphDrawPieces(GraphRecord* graph) {
  const GraphSurface* surface = graph->surface;
  const PixelRect area = {graph->surfaceX, graph->surfaceY, graph->surfaceX + graph->width,
                          graph->surfaceY + graph->height};
  int32_t count = 0;
  for (int32_t i = 0; i < surface->pieceCount; ++i) {
    const TexturePiece& p = surface->pieces[i];
    if (!IsEmpty(Intersect(area, {p.x, p.y, p.x + p.width, p.y + p.height}))) ++count;
  }
  if (count == 0) return WriteErrorLog("テクスチャ描画情報の作成に失敗しました\n");
  auto* pieces = static_cast<GraphDrawPiece*>(
      TrackedCalloc(sizeof(GraphDrawPiece) * static_cast<size_t>(count), __FILE__, __LINE__));
  if (pieces == nullptr) return WriteErrorLog("画像描画情報格納用メモリの確保に失敗しました\n");
  G_D3D_FreeGraphDrawPieces(graph);
  // One axis of the overlap: where the part starts in the graph and in the
  // piece, and its length.
  auto axis = [](int32_t pieceStart, int32_t pieceLength, int32_t graphStart, int32_t graphLength, int32_t* dest,
                 int32_t* src, int32_t* length) {
    if (pieceStart > graphStart) {
      *dest = pieceStart - graphStart;
      *src = 0;
      *length = pieceStart + pieceLength > graphStart + graphLength ? graphLength - pieceStart + graphStart
                                                                     : pieceLength;
    } else {
      *dest = 0;
      *src = graphStart - pieceStart;
      *length = pieceStart + pieceLength > graphStart + graphLength ? graphLength
                                                                     : pieceLength - graphStart + pieceStart;
    }
  };
  const double W = graph->width, H = graph->height;
  int32_t n = 0;
  for (int32_t i = 0; i < surface->pieceCount; ++i) {
    TexturePiece* p = &surface->pieces[i];
    if (IsEmpty(Intersect(area, {p->x, p->y, p->x + p->width, p->y + p->height}))) continue;
    GraphDrawPiece& d = pieces[n++];
    d.piece = p;
    axis(p->x, p->width, area.left, graph->width, &d.destX, &d.srcX, &d.width);
    axis(p->y, p->height, area.top, graph->height, &d.destY, &d.srcY, &d.height);
    const float left = static_cast<float>(d.destX), right = static_cast<float>(d.destX + d.width);
    const float top = static_cast<float>(d.destY), bottom = static_cast<float>(d.destY + d.height);
    const float u0 = static_cast<float>(d.srcX) / static_cast<float>(p->textureWidth);
    const float u1 = static_cast<float>(d.srcX + d.width) / static_cast<float>(p->textureWidth);
    const float v0 = static_cast<float>(d.srcY) / static_cast<float>(p->textureHeight);
    const float v1 = static_cast<float>(d.srcY + d.height) / static_cast<float>(p->textureHeight);
    d.corners[0] = {left, top, u0, v0};
    d.corners[1] = {right, top, u1, v0};
    d.corners[2] = {left, bottom, u0, v1};
    d.corners[3] = {right, bottom, u1, v1};
    for (int c = 0; c < 4; ++c) {
      const double x = d.corners[c].x, y = d.corners[c].y;
      d.cornerFlags[c] = y <= H - x * H / W ? 1 : 0;
    }
  }
  graph->drawPieces = pieces;
  graph->drawPieceCount = count;
  return 0;
}

// ---------------------------------------------------------------- pixels

int G_D3D_TransferImageToTextures(GraphRecord* graph, const PixelRect* srcRect, int32_t destX, int32_t destY,
                                  GraphImage* rgb, GraphImage* alpha, int32_t useTransColor,
                                  int32_t surfaceRelative) {
  if (Direct3DDevice == nullptr) return -1;
  GraphSurface* surface = graph->surface;
  G_D3D_FlushVertexBatch();
  const int32_t width = srcRect->right - srcRect->left, height = srcRect->bottom - srcRect->top;
  if (width < 1 || height < 1) return 0;
  // The source rectangle must lie inside the image.
  if (srcRect->left < 0 || srcRect->top < 0 || srcRect->right > rgb->width || srcRect->bottom > rgb->height) return -1;
  if (alpha != nullptr && (alpha->width < srcRect->right || alpha->height < srcRect->bottom)) return -1;
  TransferJob job{};
  job.surface = surface;
  job.d3dFormat = SurfaceD3DFormat(surface);
  job.format = SurfaceTextureColorFormat(surface);
  job.rgb = rgb;
  job.alpha = alpha;
  job.keyToAlpha = useTransColor && surface->request.transparentColor && alpha == nullptr ? 1 : 0;
  if (job.format == nullptr && !IsDxtFormat(job.d3dFormat)) return -1;
  const bool target = surface->request.drawable != 0;

  // Where the rectangle lands in the surface, and the parts of the pieces it
  // may write: the whole pieces, or only the graph's own part of them.
  const int32_t originX = surfaceRelative ? 0 : graph->surfaceX, originY = surfaceRelative ? 0 : graph->surfaceY;
  const PixelRect dest = {originX + destX, originY + destY, originX + destX + width, originY + destY + height};
  const PixelRect limit = surfaceRelative ? PixelRect{0, 0, INT32_MAX, INT32_MAX}
                                          : PixelRect{graph->surfaceX, graph->surfaceY, graph->surfaceX + graph->width,
                                                      graph->surfaceY + graph->height};

  IDirect3DSurface9* system = nullptr;
  if (target) {
    if (job.format == nullptr || MakePlain(&job) != 0) return -1;
    if (Direct3DDevice->CreateOffscreenPlainSurface(static_cast<UINT>(width), static_cast<UINT>(height), job.d3dFormat,
                                                    D3DPOOL_SYSTEMMEM, &system, nullptr) < 0) {
      system = nullptr;
      return WriteErrorLog("画像転送用のシステムメモリテクスチャの作成に失敗しました\n");
    }
    D3DLOCKED_RECT locked{};
    if (system->LockRect(&locked, nullptr, D3DLOCK_DISCARD) >= 0) {
      ConvertInto(job, locked.pBits, locked.Pitch, *srcRect);
      system->UnlockRect();
    }
  }

  int result = 0;
  for (int32_t i = 0; i < surface->pieceCount && result == 0; ++i) {
    TexturePiece* p = &surface->pieces[i];
    if (p->texture == nullptr) {
      result = -1;
      break;
    }
    const PixelRect region = Intersect({p->x, p->y, p->x + p->width, p->y + p->height}, limit);
    const PixelRect o = Intersect(region, dest);
    if (IsEmpty(o)) continue;
    const PixelRect src = {srcRect->left + o.left - dest.left, srcRect->top + o.top - dest.top,
                           srcRect->left + o.right - dest.left, srcRect->top + o.bottom - dest.top};
    const int32_t x = o.left - p->x, y = o.top - p->y;
    if (target) {
      const RECT from = {o.left - dest.left, o.top - dest.top, o.right - dest.left, o.bottom - dest.top};
      const POINT to = {x, y};
      if (Direct3DDevice->UpdateSurface(system, &from, p->surface, &to) < 0 && !surfaceRelative)
        result = WriteErrorLog("描画可能テクスチャへの画像の転送に失敗しました\n");
      continue;
    }
    const bool keep = surface->request.textureKeep != 0;
    IDirect3DTexture9* written = keep && p->staging != nullptr ? p->staging : p->texture;
    result = written->GetLevelCount() > 1 ? WriteMipLevels(&job, p, written, src, x, y)
                                          : WriteSingleLevel(&job, p, written, src, x, y);
    if (result == 0 && written != p->texture) Direct3DDevice->UpdateTexture(p->staging, p->texture);
  }
  ReleaseD3DObject(system);
  return result;
}
