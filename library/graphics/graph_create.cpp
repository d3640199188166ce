#include "library/graphics/graph_create.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/file/file_table.h"
#include "library/graphics/color_convert.h"
#include "library/graphics/d3d9/d3d_texture.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_direct_load.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/image_load.h"
#include "library/graphics/mem_img.h"
#include "library/graphics/movie_graph.h"
#include "platform/win32/win32_system.h"

GraphCreateSettingsState GraphCreateSettings = {0, 0, 1, 0, 0, 0, 0, 0};

namespace {

bool IsPaletted(const GraphImage* image) {
  return image->format.bytesPerPixel == 1 && image->format.compression == 0;
}

void MirrorImages(GraphImage* rgb, GraphImage* alpha) {
  MirrorGraphImage(rgb);
  if (alpha != nullptr) MirrorGraphImage(alpha);
}

// The palette index whose entry is the transparent colour, compared as the
// memory image keeps its palette (24 bits, or RGB565 for 16-bit images); 0
// when no entry matches.
uint32_t TransparentPaletteIndex(const ColorFormat& format, int32_t depthKind, uint32_t rgb) {
  const uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  for (uint32_t i = 0; i < 256; ++i) {
    const uint8_t* e = format.palette[i];  // blue, green, red
    const bool same = depthKind == MemImgDepth16
                          ? ((e[2] & 0xF8u) << 8 | (e[1] & 0xFCu) << 3 | e[0] >> 3) ==
                                ((r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3)
                          : (e[0] | e[1] << 8u | static_cast<uint32_t>(e[2]) << 16) == (b | g << 8 | r << 16);
    if (same) return i;
  }
  return 0;
}

const char* kDivideFailure = "グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n";

}  // namespace

// ---------------------------------------------------------------- settings

int SetGraphCreateBitDepth(int32_t bits) {
  GraphCreateSettings.bitDepth = bits;
  return 0;
}
int GetGraphCreateBitDepth() { return GraphCreateSettings.bitDepth; }
int SetDrawableGraphFlag(int32_t flag) {
  GraphCreateSettings.drawableFlag = flag;
  return 0;
}
int GetDrawableGraphFlag() { return GraphCreateSettings.drawableFlag; }
int SetGraphTransColorFlag(int32_t flag) {
  GraphCreateSettings.transColorFlag = flag;
  return 0;
}
int GetGraphTransColorFlag() { return GraphCreateSettings.transColorFlag; }
int SetEmptyGraphAlphaFlag(int32_t flag) {
  GraphCreateSettings.emptyGraphAlphaFlag = flag;
  return 0;
}
int GetEmptyGraphAlphaFlag() { return GraphCreateSettings.emptyGraphAlphaFlag; }
int SetGraphKeepFlag(int32_t flag) {
  GraphCreateSettings.keepFlag = flag;
  return 0;
}
int GetGraphKeepFlag() { return GraphCreateSettings.keepFlag; }
int GetMovieGraphFlag() { return GraphCreateSettings.movieGraphFlag; }
int SetGraphTransferOption(int32_t flag) {
  GraphCreateSettings.transferOptionInverse = !flag;
  return 0;
}

// ---------------------------------------------------------------- loading

ObjectHandle LoadGraphFile(const char* fileName, int32_t flag) {
  return CreateGraphFromFile(fileName, !flag, 0, 0);
}

ObjectHandle CreateGraphFromFile(const char* fileName, int32_t flags, int32_t mirror, int32_t movieMode) {
  if (!GraphicsInitialised) return -1;
  WaitWhileInactive();
  if (mirror != 1) {
    // The picture straight into its surface where it can be.
    int32_t width = 0, height = 0;
    if (GraphSurface* surface = LoadDirectSurface(fileName, &width, &height))
      return AdoptGraphSurface(surface, width, height, fileName);
  }
  GraphImage rgb{}, alpha{};
  const int loaded =
      LoadGraphImageFile(fileName, nullptr, 0, 0, nullptr, 0, AlphaImageFromFile, &rgb, 0, &alpha);
  if (loaded >= 0) {
    GraphImage* alphaImage = loaded == 0 ? &alpha : nullptr;
    if (mirror == 1) MirrorImages(&rgb, alphaImage);
    const ObjectHandle graph = BuildGraphFromGraphImage(&rgb, alphaImage, flags, mirror, 0);
    if (graph != -1) SetGraphFileName(graph, fileName, -1);
    ReleaseGraphImage(&rgb);
    if (alphaImage != nullptr) ReleaseGraphImage(alphaImage);
    return graph;
  }
  const FileId file = FileStreamOpen(fileName, 0, 1, 0);
  if (file == 0) {
    WriteErrorLogFormat("グラフィックファイル %s がありません", fileName);
    return -1;
  }
  FileStreamClose(file);
  return OpenMovieGraph(fileName, movieMode);
}

int LoadDividedGraph(const char* fileName, int32_t count, int32_t xcount, int32_t ycount, int32_t w, int32_t h,
                     ObjectHandle* handles, int32_t flag) {
  return LoadDividedGraphBody(fileName, count, xcount, ycount, w, h, handles, !flag, 0);
}

int LoadDividedGraphBody(const char* fileName, int32_t count, int32_t xcount, int32_t ycount, int32_t w,
                         int32_t h, ObjectHandle* handles, int32_t flags, int32_t mirror) {
  WaitWhileInactive();
  if (handles == nullptr && count > 0) return -1;
  for (int32_t i = 0; i < count; ++i) handles[i] = -1;
  int result;
  GraphImage rgb{}, alpha{};
  GraphImage* alphaImage = nullptr;
  int32_t width = 0, height = 0;
  GraphSurface* surface = mirror != 1 && GraphicsInitialised ? LoadDirectSurface(fileName, &width, &height) : nullptr;
  if (surface != nullptr) {
    // The picture went straight into its surface.
    const ObjectHandle base = AdoptGraphSurface(surface, width, height, nullptr);
    result = base == -1 ? -1 : CutGraphIntoCells(base, width, count, xcount, ycount, w, h, handles, mirror);
    if (base == -1) WriteErrorLog(kDivideFailure);
  } else {
    const int loaded =
        LoadGraphImageFile(fileName, nullptr, 0, 0, nullptr, 0, AlphaImageFromFile, &rgb, 0, &alpha);
    if (loaded < 0) {
      WriteErrorLogFormat("右記のグラフィックファイルのロードに失敗しました：%s", fileName);
      return -1;
    }
    alphaImage = loaded == 0 ? &alpha : nullptr;
    if (mirror == 1) MirrorImages(&rgb, alphaImage);
    result = CreateDivGraphFromGraphImage(&rgb, alphaImage, count, xcount, ycount, w, h, handles, flags, mirror, 0);
  }
  // The cells share one name record.
  ObjectHandle named = -1;
  for (int32_t i = 0; result == 0 && i < count && handles[i] != -1; ++i) {
    if (named == -1) {
      if (SetGraphFileName(handles[i], fileName, -1) == 0) named = handles[i];
    } else {
      SetGraphFileName(handles[i], nullptr, named);
    }
  }
  ReleaseGraphImage(&rgb);
  if (alphaImage != nullptr) ReleaseGraphImage(alphaImage);
  return result;
}

int CreateDivGraphFromGraphImage(GraphImage* rgb, GraphImage* alpha, int32_t count, int32_t xcount,
                                 int32_t ycount, int32_t w, int32_t h, ObjectHandle* handles, int32_t flags,
                                 int32_t mirror, int32_t) {
  if (handles == nullptr && count > 0) return -1;
  // Every handle that is not made reads -1, whatever happens below.
  for (int32_t i = 0; i < count; ++i) handles[i] = -1;
  const ObjectHandle base = BuildGraphFromGraphImage(rgb, alpha, flags, mirror, 0);
  if (base == -1) {
    WriteErrorLog(kDivideFailure);
    return -1;
  }
  return CutGraphIntoCells(base, rgb->width, count, xcount, ycount, w, h, handles, mirror);
}

int CutGraphIntoCells(ObjectHandle base, int32_t imageWidth, int32_t count, int32_t xcount, int32_t ycount,
                      int32_t w, int32_t h, ObjectHandle* handles, int32_t mirror) {
  int32_t made = 0;
  for (int32_t row = 0; row < ycount && made < count; ++row) {
    for (int32_t column = 0; column < xcount && made < count; ++column) {
      // A mirrored image has its first column at its right end.
      const int64_t x = mirror == 1 ? static_cast<int64_t>(imageWidth) - static_cast<int64_t>(column + 1) * w
                                    : static_cast<int64_t>(column) * w;
      const int64_t y = static_cast<int64_t>(row) * h;
      const ObjectHandle cell =
          x < INT32_MIN || x > INT32_MAX || y > INT32_MAX
              ? -1
              : CreateGraphPart(static_cast<int32_t>(x), static_cast<int32_t>(y), w, h, base);
      if (cell == -1) {
        WriteErrorLog(kDivideFailure);
        for (int32_t i = 0; i < made; ++i) {
          FreeGraph(handles[i]);
          handles[i] = -1;
        }
        FreeGraph(base);
        return -1;
      }
      handles[made++] = cell;
    }
  }
  FreeGraph(base);
  return 0;
}

ObjectHandle BuildGraphFromGraphImage(GraphImage* rgb, GraphImage* alpha, int32_t flags, int32_t mirror,
                                      int32_t mirrorToo) {
  RecalcUnusedBitsMask(&rgb->format);
  if (alpha != nullptr) RecalcUnusedBitsMask(&alpha->format);
  const ObjectHandle graph = NewGraphFromGraphImage(rgb, alpha, flags);
  if (graph == -1) return -1;
  const bool flip = mirror == 1 && mirrorToo == 1;
  if (flip) MirrorImages(rgb, alpha);
  const uint32_t transColor = GraphCreateSettings.transColor;
  const int result = TransferGraphImageToGraph(nullptr, rgb, alpha, 0, 0, graph, 0);
  GraphCreateSettings.transColor = transColor;
  if (flip) MirrorImages(rgb, alpha);
  if (result != 0) {
    FreeGraph(graph);
    return -1;
  }
  return graph;
}

ObjectHandle NewGraphFromGraphImage(GraphImage* rgb, GraphImage* alpha, int32_t) {
  if (!GraphicsInitialised) return -1;
  WaitWhileInactive();
  if (alpha != nullptr && (alpha->width != rgb->width || alpha->height != rgb->height)) return -1;
  const ObjectHandle graph = AllocGraphHandle();
  const bool alphaBits = rgb->format.alphaWidth != 0;
  const int32_t alphaChannel = alphaBits || alpha != nullptr ? 1 : 0;
  const int32_t palette = IsPaletted(rgb) && !alphaBits && alpha == nullptr ? 1 : 0;
  const int32_t mip = rgb->mipLevels != 0 ? static_cast<int32_t>(rgb->mipLevels) : -1;
  // The whole image is transferred next (BuildGraphFromGraphImage).
  if (SetupGraphSurface(mip, graph, rgb->width, rgb->height, alphaChannel, palette,
                        static_cast<int32_t>(rgb->format.compression), 1) != 0) {
    FreeGraph(graph);
    return -1;
  }
  return graph;
}

int ReloadGraphFromGraphImage(GraphImage* rgb, GraphImage* alpha, ObjectHandle handle, int32_t, int32_t mirror,
                              int32_t mirrorToo) {
  const GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr || graph->width != rgb->width || graph->height != rgb->height) return -1;
  if (alpha != nullptr && (alpha->width != rgb->width || alpha->height != rgb->height)) return -1;
  const bool flip = mirror == 1 && mirrorToo == 1;
  if (flip) MirrorImages(rgb, alpha);
  const PixelRect whole = {0, 0, rgb->width, rgb->height};
  const int result = TransferImageToGraphTexture(handle, &whole, 0, 0, rgb, alpha,
                                                 !GraphCreateSettings.transferOptionInverse, 0);
  if (flip) MirrorImages(rgb, alpha);
  return result == 0 ? 0 : -1;
}

int ReloadGraphFromMemoryImage(const void* data, int32_t size, ObjectHandle handle, int32_t mirror) {
  GraphImage rgb{}, alpha{};
  const int loaded =
      LoadGraphImageFile(nullptr, data, size, 1, nullptr, 0, AlphaImageFromMemory, &rgb, 0, &alpha);
  if (loaded < 0) return -1;
  GraphImage* alphaImage = loaded == 0 ? &alpha : nullptr;
  if (mirror == 1) MirrorImages(&rgb, alphaImage);
  const int result = ReloadGraphFromGraphImage(&rgb, alphaImage, handle, 0, 0, 0);
  ReleaseGraphImage(&rgb);
  if (alphaImage != nullptr) ReleaseGraphImage(alphaImage);
  return result;
}

int ReloadGraphFromImageData(const char* sourceName, const void* pixels, int32_t pitch, const ColorFormat* format,
                             int32_t width, int32_t height, const PixelRect* rect, const int32_t* origin,
                             ObjectHandle handle) {
  if (!GraphicsInitialised || pixels == nullptr || format == nullptr || rect == nullptr) return -1;
  // Block data has no rectangle to cut: raw data is plain pixels.
  if (format->compression != 0) return -1;
  GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr) return -1;
  if (rect->left < 0 || rect->top < 0 || rect->right > width || rect->bottom > height) return -1;
  GraphImage image{};
  image.format = *format;
  image.width = width;
  image.height = height;
  image.pitch = pitch;
  image.pixels = static_cast<uint8_t*>(const_cast<void*>(pixels));
  const int32_t x = rect->left - (origin != nullptr ? origin[0] : 0);
  const int32_t y = rect->top - (origin != nullptr ? origin[1] : 0);
  SetGraphFileName(handle, sourceName, -1);
  graph->sourceX = x;
  graph->sourceY = y;
  return TransferImageToGraphTexture(handle, rect, x, y, &image, nullptr, !GraphCreateSettings.transferOptionInverse,
                                     1);
}

int ReloadGraphFromPlainImage(GraphImage* rgb, ObjectHandle handle) {
  return ReloadGraphFromGraphImage(rgb, nullptr, handle, 0, 0, 0);
}

int TransferGraphImageToGraph(const char* fileName, GraphImage* rgb, GraphImage* alpha, int32_t srcX,
                              int32_t srcY, ObjectHandle handle, uint32_t loadFlag) {
  if (!GraphicsInitialised) return -1;
  GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr) return -1;
  SetGraphFileName(handle, fileName, -1);
  graph->sourceX = srcX;
  graph->sourceY = srcY;
  graph->loadFlag = loadFlag;
  const PixelRect rect = {srcX, srcY, static_cast<int32_t>(static_cast<int64_t>(srcX) + graph->width),
                          static_cast<int32_t>(static_cast<int64_t>(srcY) + graph->height)};
  return TransferImageToGraphTexture(handle, &rect, 0, 0, rgb, alpha, !GraphCreateSettings.transferOptionInverse,
                                     0);
}

// ---------------------------------------------------------------- empty and part graphs

ObjectHandle CreateEmptyGraph(int32_t w, int32_t h) {
  WaitWhileInactive();
  const ObjectHandle graph = AllocGraphHandle();
  if (SetupGraphSurface(-1, graph, w, h, GraphCreateSettings.emptyGraphAlphaFlag, 0, 0) != 0) {
    FreeGraph(graph);
    return -1;
  }
  return graph;
}

ObjectHandle CreateGraphPart(int32_t x, int32_t y, int32_t w, int32_t h, ObjectHandle source) {
  if (DrawSuppressed) return 0;
  const GraphRecord* record = GetGraphRecordChecked(source);
  if (record == nullptr) return -1;
  if (x < 0 || x >= record->width || y < 0 || y >= record->height) return -1;
  if (w > record->width - x) w = record->width - x;
  if (h > record->height - y) h = record->height - y;
  const ObjectHandle graph = AllocGraphHandle();
  if (AttachGraphPart(graph, source, x, y, w, h) != 0) {
    FreeGraph(graph);
    return -1;
  }
  return graph;
}

int AttachGraphPart(ObjectHandle handle, ObjectHandle source, int32_t x, int32_t y, int32_t w, int32_t h) {
  GraphRecord* graph = GetGraphRecordChecked(handle);
  const GraphRecord* from = GetGraphRecordChecked(source);
  if (graph == nullptr || from == nullptr || from->surface == nullptr || graph->surface != nullptr) return -1;
  graph->surface = from->surface;
  ++graph->surface->referenceCount;
  SetGraphFileName(handle, nullptr, source);
  graph->sourceX = from->sourceX + x;
  graph->sourceY = from->sourceY + y;
  graph->loadFlag = from->loadFlag;
  graph->surfaceX = from->surfaceX + x;
  graph->surfaceY = from->surfaceY + y;
  graph->width = w;
  graph->height = h;
  return BuildGraphDrawInfo(handle);
}

// ---------------------------------------------------------------- surfaces

GraphFormatRequest MakeGraphFormatRequest(int32_t mip, int32_t alpha, int32_t compression,
                                          const GraphCreateSettingsState& settings, int32_t hardware,
                                          int32_t screenBits) {
  GraphFormatRequest request{};
  request.hardware = hardware ? 1 : 0;
  request.textureKeep = settings.keepFlag ? 1 : 0;
  request.compression = static_cast<uint8_t>(compression);
  request.mipLevels = static_cast<uint8_t>(mip == -1 ? 1 : mip);
  if (settings.drawableFlag) {
    request.alphaChannel = 0;
    request.drawable = 1;
    request.transparentColor = 0;
    request.textureKeep = 1;
    request.compression = 0;
    request.mipLevels = 0;
  } else {
    request.alphaChannel = alpha ? 1 : 0;
    request.transparentColor = settings.transColorFlag ? 1 : 0;
    request.drawable = 0;
  }
  if (!hardware) {
    request.memoryImage = 1;
    request.compression = 0;
    request.textureKeep = 0;
    request.mipLevels = 0;
    request.transparentColor = 0;
    request.drawable = 1;
    request.colorBits = static_cast<uint8_t>((settings.bitDepth != 0 ? settings.bitDepth : screenBits) == 32 ? 32 : 16);
  } else {
    request.memoryImage = 0;
    request.colorBits = static_cast<uint8_t>(settings.bitDepth != 0 ? settings.bitDepth
                                             : request.alphaChannel ? 32
                                                                    : screenBits);
    if (request.alphaChannel) request.transparentColor = 0;
  }
  return request;
}

int SetupMemorySurfaceImage(GraphSurface* surface, int32_t w, int32_t h, int32_t palette, int32_t wholeFillNext,
                            const GraphCreateSettingsState& settings) {
  const GraphFormatRequest& request = surface->request;
  const int32_t depthKind = request.colorBits == 32 ? MemImgDepth32 : MemImgDepth16;
  const int32_t withAlpha = request.alphaChannel;
  const int32_t paletted = palette && !withAlpha ? 1 : 0;
  const uint32_t transPixel =
      paletted ? 0
               : MakeFormatColor(GetStandardColorFormat(depthKind, withAlpha, 0), settings.transColor >> 16,
                                 settings.transColor >> 8, settings.transColor, 0);
  // The run table and premultiplied copy serve images with transparent
  // pixels.
  const int32_t extras = withAlpha || settings.transColorFlag ? 1 : 0;
  if (SetupMemImg(&surface->image, w, h, -1, transPixel, depthKind, paletted, withAlpha, extras, nullptr) != 0)
    return -1;
  // Every pixel is written next (filled, or cleared below): the block's
  // pages are made at once rather than one fault at a time.
  const MemImgBuffer* b = surface->image.buffer;
  PlatformPrefaultMemory(b->pixels, static_cast<size_t>(b->pitch) * static_cast<size_t>(b->height));
  // Like the textures of the Direct3D path, a new surface starts cleared
  // (unless every pixel is written next).
  if (!wholeFillNext) FillMemImgRect(&surface->image, nullptr, 0);
  return 0;
}

int SetupGraphSurface(int32_t mip, ObjectHandle handle, int32_t w, int32_t h, int32_t alpha, int32_t palette,
                      int32_t compression, int32_t wholeFillNext) {
  GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr || graph->surface != nullptr) return -1;
  const GraphCreateSettingsState& settings = GraphCreateSettings;
  const GraphFormatRequest request =
      MakeGraphFormatRequest(mip, alpha, compression, settings, HardwareActive, GetScreenColorBits());

  auto* surface = static_cast<GraphSurface*>(TrackedCalloc(sizeof(GraphSurface), __FILE__, __LINE__));
  if (surface == nullptr) {
    return WriteErrorLog("グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました\n");
  }
  surface->request = request;
  surface->transparentColor = settings.transColor;
  surface->referenceCount = 1;
  graph->surface = surface;
  graph->surfaceX = graph->surfaceY = 0;
  graph->width = w;
  graph->height = h;

  if (HardwareActive) return G_D3D_SetupSurfacePieces(surface, w, h) == 0 ? BuildGraphDrawInfo(handle) : -1;

  if (SetupMemorySurfaceImage(surface, w, h, palette, wholeFillNext, settings) != 0) {
    return WriteErrorLog("メモリイメージの作成に失敗しました\n");
  }
  return BuildGraphDrawInfo(handle);
}

int BuildGraphDrawInfo(ObjectHandle handle) {
  GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr || graph->surface == nullptr) return -1;
  if (graph->surface->request.hardware) return G_D3D_BuildGraphDrawPieces(graph);
  if (IsMemImgValid(&graph->image)) ReleaseMemImg(&graph->image);
  return CreateMemImgView(&graph->image, &graph->surface->image, graph->surfaceX, graph->surfaceY, graph->width,
                          graph->height);
}

int TransferImageToGraphTexture(ObjectHandle handle, const PixelRect* srcRect, int32_t destX, int32_t destY,
                                GraphImage* rgb, GraphImage* alpha, int32_t useTransColor,
                                int32_t surfaceRelative) {
  if (!GraphicsInitialised) return -1;
  GraphRecord* graph = GetGraphRecordChecked(handle);
  if (graph == nullptr || graph->surface == nullptr || rgb == nullptr) return -1;
  const int64_t width64 = static_cast<int64_t>(srcRect->right) - srcRect->left;
  const int64_t height64 = static_cast<int64_t>(srcRect->bottom) - srcRect->top;
  if (width64 < 1 || height64 < 1) return 0;
  GraphSurface* surface = graph->surface;
  if (surface->request.hardware) {
    return G_D3D_TransferImageToTextures(graph, srcRect, destX, destY, rgb, alpha, useTransColor,
                                         surfaceRelative);
  }

  MEMIMG* image = &surface->image;
  if (!IsMemImgValid(image) || destX < 0 || destY < 0) return -1;
  // The rectangle is cut to the surface, or to the graph at its place in the surface.
  const int32_t limitW = surfaceRelative ? image->width : graph->width;
  const int32_t limitH = surfaceRelative ? image->height : graph->height;
  const int32_t width = static_cast<int32_t>(width64 < limitW - destX ? width64 : limitW - destX);
  const int32_t height = static_cast<int32_t>(height64 < limitH - destY ? height64 : limitH - destY);
  if (width <= 0 || height <= 0) return -1;
  if (!surfaceRelative) {
    destX += graph->surfaceX;
    destY += graph->surfaceY;
  }

  if (rgb->format.compression != 0 && DecodeCompressedGraphImage(rgb) != 0) return -1;
  if (alpha != nullptr && alpha->format.compression != 0 && DecodeCompressedGraphImage(alpha) != 0) return -1;

  MemImgBuffer* buffer = image->buffer;
  // A paletted image's transparent colour is the index of its entry, looked
  // up before the pixels go in, so that the run table is built against it.
  if (buffer->paletted && buffer->palette != nullptr && IsPaletted(rgb)) {
    buffer->transColor = TransparentPaletteIndex(rgb->format, buffer->depthKind, GraphCreateSettings.transColor);
  }
  const int32_t keyToAlpha = useTransColor && surface->request.transparentColor && alpha == nullptr ? 1 : 0;
  return FillMemImgFromGraphImage(rgb, alpha, image, srcRect->left, srcRect->top, width, height, destX, destY,
                                  keyToAlpha);
}

// ---------------------------------------------------------------- pictures decoded into their surface

namespace {

// The rows of one band of a picture, reused from picture to picture by each
// thread that decodes.
std::vector<uint8_t>& BandRows() {
  thread_local std::vector<uint8_t> rows;
  return rows;
}

// A band holds about this many bytes of decoded rows (at least one row).
constexpr size_t kBandBytes = 64 << 10;

// A PNG's rows decoded a band at a time into the memory image of a new
// surface: the surface and its fill are those that NewGraphFromGraphImage and
// the transfer of BuildGraphFromGraphImage make of the whole decoded image.
class SurfaceRows final : public PngRowSink {
 public:
  explicit SurfaceRows(const SurfaceSettings& settings) : settings_(settings) {}
  ~SurfaceRows() { ReleaseGraphSurface(surface_); }

  bool Begin(const GraphImage& layout, bool interlaced) override {
    // Interlaced rows come in passes over the whole picture: those take the
    // general path.
    if (interlaced) return false;
    layout_ = layout;
    RecalcUnusedBitsMask(&layout_.format);
    const bool alphaBits = layout_.format.alphaWidth != 0;
    const bool paletted = IsPaletted(&layout_) && !alphaBits;
    surface_ = static_cast<GraphSurface*>(TrackedCalloc(sizeof(GraphSurface), __FILE__, __LINE__));
    if (surface_ == nullptr) return false;
    surface_->request = MakeGraphFormatRequest(-1, alphaBits ? 1 : 0, 0, settings_.create, 0, settings_.screenBits);
    surface_->transparentColor = settings_.create.transColor;
    surface_->referenceCount = 1;
    if (SetupMemorySurfaceImage(surface_, layout_.width, layout_.height, paletted ? 1 : 0, 1, settings_.create) != 0)
      return false;
    MemImgBuffer* buffer = surface_->image.buffer;
    if (buffer->paletted && buffer->palette != nullptr && paletted)
      buffer->transColor = TransparentPaletteIndex(layout_.format, buffer->depthKind, settings_.create.transColor);
    keyToAlpha_ = !settings_.create.transferOptionInverse && surface_->request.transparentColor ? 1 : 0;
    const size_t pitch = static_cast<size_t>(layout_.pitch);
    bandRows_ = static_cast<int32_t>(std::clamp<size_t>(kBandBytes / pitch, 1, static_cast<size_t>(layout_.height)));
    std::vector<uint8_t>& rows = BandRows();
    try {
      if (rows.size() < pitch * static_cast<size_t>(bandRows_)) rows.resize(pitch * static_cast<size_t>(bandRows_));
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  uint8_t* Row(uint32_t y) override {
    return BandRows().data() + static_cast<size_t>(layout_.pitch) * (y - static_cast<uint32_t>(bandTop_));
  }
  bool RowDone(uint32_t y) override {
    const int32_t end = static_cast<int32_t>(y) + 1;
    if (end - bandTop_ < bandRows_ && end < layout_.height) return true;
    GraphImage band = layout_;
    band.pixels = BandRows().data();
    band.height = end - bandTop_;
    const int result = ConvertIntoMemImg(&band, nullptr, &surface_->image, 0, 0, band.width, band.height, 0,
                                         bandTop_, keyToAlpha_);
    if (result < 0) return false;
    highest_ = std::max(highest_, result);
    bandTop_ = end;
    return true;
  }
  // The filled surface, now the caller's.
  GraphSurface* Finish(int32_t* width, int32_t* height) {
    FinishMemImgFill(&surface_->image, layout_.format, false, highest_, layout_.width, layout_.height);
    *width = layout_.width;
    *height = layout_.height;
    GraphSurface* surface = surface_;
    surface_ = nullptr;
    return surface;
  }

 private:
  SurfaceSettings settings_;
  GraphImage layout_{};
  GraphSurface* surface_ = nullptr;
  int32_t keyToAlpha_ = 0;
  int32_t bandRows_ = 1, bandTop_ = 0;
  int highest_ = 0;
};

}  // namespace

SurfaceSettings CurrentSurfaceSettings() { return {GraphCreateSettings, GetScreenColorBits()}; }

bool SameSurfaceSettings(const SurfaceSettings& a, const SurfaceSettings& b) {
  return std::memcmp(&a.create, &b.create, sizeof a.create) == 0 && a.screenBits == b.screenBits;
}

GraphSurface* DecodePngIntoSurface(DecoderStream* stream, const SurfaceSettings& settings, int32_t* width,
                                   int32_t* height) {
  SurfaceRows rows(settings);
  if (DecodePng(stream, &rows) != 0) return nullptr;
  return rows.Finish(width, height);
}

void ReleaseGraphSurface(GraphSurface* surface) {
  if (surface == nullptr) return;
  ReleaseMemImg(&surface->image);
  TrackedFree(surface);
}

ObjectHandle AdoptGraphSurface(GraphSurface* surface, int32_t width, int32_t height, const char* fileName) {
  WaitWhileInactive();
  const ObjectHandle handle = AllocGraphHandle();
  GraphRecord* graph = GetGraphRecordChecked(handle);
  graph->surface = surface;
  graph->surfaceX = graph->surfaceY = 0;
  graph->width = width;
  graph->height = height;
  if (BuildGraphDrawInfo(handle) != 0) {
    FreeGraph(handle);
    return -1;
  }
  // As the transfer of the whole image leaves the record.
  graph->sourceX = graph->sourceY = 0;
  graph->loadFlag = 0;
  if (fileName != nullptr) SetGraphFileName(handle, fileName, -1);
  return handle;
}

// ---------------------------------------------------------------- texture formats

const ColorFormat* GetTextureColorFormat14(int32_t index) {
  struct Masks {
    int32_t bits;
    uint32_t r, g, b, a;
  };
  static const Masks kMasks[14] = {
      {16, 0xF800, 0x07E0, 0x001F, 0},           {32, 0xFF0000, 0xFF00, 0xFF, 0},
      {16, 0x0F00, 0x00F0, 0x000F, 0xF000},      {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
      {16, 0x7C00, 0x03E0, 0x001F, 0x8000},      {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
      {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},  {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
      {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},  {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
      {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},  {16, 0xF800, 0x07E0, 0x001F, 0},
      {32, 0xFF0000, 0xFF00, 0xFF, 0},           {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
  };
  static ColorFormat formats[14];
  static bool built = false;
  if (index < 0 || index >= 14) return nullptr;
  if (!built) {
    for (int32_t i = 0; i < 14; ++i) {
      const Masks& m = kMasks[i];
      SetColorFormatFromMasks(&formats[i], m.bits, m.r, m.g, m.b, m.a);
    }
    built = true;
  }
  return &formats[index];
}

const ColorFormat* ChooseTextureColorFormat(const GraphFormatRequest* request) {
  return GetTextureColorFormat14(ChooseTextureFormatIndex(request));
}

const ColorFormat* GetTextureColorFormat(uint8_t alpha, uint8_t transColor, int32_t use32bit, uint8_t drawable) {
  GraphFormatRequest request{};
  request.alphaChannel = alpha;
  request.transparentColor = transColor;
  request.drawable = drawable;
  request.colorBits = use32bit ? 32 : 16;
  return ChooseTextureColorFormat(&request);
}

void* ZeroFill380(void* p) {
  std::memset(p, 0, 380);
  return p;
}
