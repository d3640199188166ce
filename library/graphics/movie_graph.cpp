#include "library/graphics/movie_graph.h"

#include <cstring>

#include "library/core/log.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_create.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/mem_img.h"
#include "library/movie/movie_handle.h"
#include "library/movie/theora_player.h"

namespace {

// The Direct3D back end asks for single-texture surfaces here while a movie
// graph is made (SingleTextureRequest).
void G_D3D_RequestSingleTexture() {}
// The Direct3D back end moves the movie's frame into the graph's texture
// here: through the Theora player's YUV surface when it has one, else from
// the frame image.
void G_D3D_UpdateMovieGraphTexture(MovieHandleRecord*, GraphRecord*) {}

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
  G_D3D_RequestSingleTexture();
  ObjectHandle graph = AllocGraphHandle();
  const int made = SetupGraphSurface(-1, graph, width, height, 0, 0, 0);
  GraphCreateSettings = saved;
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
    const size_t rowBytes = static_cast<size_t>(width) * frame->format.bytesPerPixel;
    for (int32_t row = 0; row < height; ++row) {
      std::memcpy(image->pixels + static_cast<intptr_t>(row) * image->buffer->pitch,
                  frame->pixels + static_cast<intptr_t>(row) * frame->pitch, rowBytes);
    }
  } else {
    FillMemImgFromGraphImage(frame, nullptr, image, 0, 0, width, height, 0, 0, 0);
  }
}
