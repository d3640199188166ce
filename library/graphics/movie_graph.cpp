#include "library/graphics/movie_graph.h"

#include <cstring>

#include "library/core/log.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_texture.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/mem_img.h"
#include "library/movie/movie_handle.h"
#include "library/movie/theora_player.h"

namespace {

// A texture graph: the frame through the Theora player's YUV surface when
// it has one (StretchRect into the first piece), else the RGB frame image
// written into the graph's textures.
void G_D3D_UpdateMovieGraphTexture(MovieHandleRecord* record, GraphRecord* graph) {
  if (record->theora && GetTheoraYuvSurface(record->player) != nullptr && graph->surface->pieceCount > 0 &&
      graph->surface->pieces[0].surface != nullptr) {
    ConvertTheoraFrame(record->player, 0, 1);
    const TexturePiece& piece = graph->surface->pieces[0];
    const RECT area = {0, 0, piece.width, piece.height};
    Direct3DDevice->StretchRect(static_cast<IDirect3DSurface9*>(GetTheoraYuvSurface(record->player)), &area,
                                piece.surface, &area, D3DTEXF_NONE);
    return;
  }
  if (record->theora) ConvertTheoraFrame(record->player, 1, 0);
  GraphImage* frame = record->currentFrameImage;
  if (frame == nullptr || frame->pixels == nullptr) return;
  const PixelRect area = {0, 0, graph->width, graph->height};
  TransferImageToGraphTexture(graph->handle, &area, 0, 0, frame, nullptr,
                              !GraphCreateSettings.transferOptionInverse, 0);
}

bool SameLayout(const ColorFormat& a, const ColorFormat& b) {
  return a.colorBits == b.colorBits && a.bytesPerPixel == b.bytesPerPixel && a.redMask == b.redMask &&
         a.greenMask == b.greenMask && a.blueMask == b.blueMask && a.alphaMask == b.alphaMask;
}

}  // namespace

ObjectHandle OpenMovieGraph(const char* fileName, int32_t movieMode) {
  int32_t width = 0, height = 0;
  const GraphCreateSettingsState saved = GraphCreateSettings;
  const ObjectHandle movie = OpenMovie(fileName, &width, &height, movieMode);
  if (movie == -1) return WriteErrorLogFormat("右記のグラフィックファイルのロードに失敗しました：%s \n", fileName);
  GraphCreateSettings.bitDepth = GetScreenColorBits();
  GraphCreateSettings.movieGraphFlag = 1;
  GraphCreateSettings.transColorFlag = 0;
  GraphCreateSettings.keepFlag = 1;
  GraphCreateSettings.drawableFlag = 1;
  // Single textures only while the movie graph is made: later graphs are cut
  // as before.
  const uint32_t single = SingleTextureRequest;
  SingleTextureRequest = 1;
  ObjectHandle graph = AllocGraphHandle();
  const int made = SetupGraphSurface(-1, graph, width, height, 0, 0, 0);
  GraphCreateSettings = saved;
  SingleTextureRequest = single;
  if (made != 0) {
    // Neither the graph nor the movie is left behind.
    WriteErrorLogFormat("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", fileName);
    FreeGraph(graph);
    CloseMovieHandle(movie);
    return -1;
  }
  GetGraphRecordChecked(graph)->movie = movie;
  SetMovieFrameCallback(movie, UpdateMovieGraphFrame, reinterpret_cast<void*>(static_cast<intptr_t>(graph)));
  return graph;
}

void UpdateMovieGraphFrame(MovieHandleRecord* record, void* graphHandle) {
  GraphRecord* graph = GetGraphRecordChecked(static_cast<ObjectHandle>(reinterpret_cast<intptr_t>(graphHandle)));
  if (graph == nullptr || graph->surface == nullptr) return;
  if (graph->surface->request.hardware) {
    G_D3D_UpdateMovieGraphTexture(record, graph);
    return;
  }
  // The frame the RGB image already holds counts as converted: a movie that
  // has not moved since it opened still shows its first frame.
  if (record->theora && ConvertTheoraFrame(record->player, 1, 0) == 0 && !record->player->rgbUpToDate) return;
  const GraphImage* frame = record->currentFrameImage;
  MEMIMG* image = &graph->image;
  if (frame == nullptr || frame->pixels == nullptr || !IsMemImgValid(image)) return;
  const int32_t width = frame->width < image->width ? frame->width : image->width;
  const int32_t height = frame->height < image->height ? frame->height : image->height;
  if (SameLayout(frame->format, *image->buffer->format)) {
    SettleMemImgExtras(image->buffer);
    const size_t rowBytes = static_cast<size_t>(width) * frame->format.bytesPerPixel;
    for (int32_t row = 0; row < height; ++row) {
      std::memcpy(image->pixels + static_cast<intptr_t>(row) * image->buffer->pitch,
                  frame->pixels + static_cast<intptr_t>(row) * frame->pitch, rowBytes);
    }
  } else {
    FillMemImgFromGraphImage(frame, nullptr, image, 0, 0, width, height, 0, 0, 0);
  }
}
