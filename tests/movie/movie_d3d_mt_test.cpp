// Movie graphs on the Direct3D stand-in: the YUV surfaces the player asks
// for, in order, and the frames reaching the graph's texture when the device
// makes none of them.
#include <gtest/gtest.h>

#include "library/graphics/d3d9/d3d_texture.h"
#include "library/graphics/draw_api.h"
#include "library/movie/movie_handle.h"
#include "tests/graphics/d3d9/d3d_fixture.h"
#include "tests/movie/movie_fixture.h"

namespace {

using namespace movietest;

class MovieD3DTest : public D3DTest {
 protected:
  // The texel colours (0xRRGGBB) of a graph's first texture, read back from the device.
  static std::vector<uint32_t> Texels(const GraphRecord* graph) {
    std::vector<uint32_t> out;
    IDirect3DSurface9* target = graph->surface->pieces[0].surface;
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    EXPECT_GE(Direct3DDevice->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                          &copy, nullptr),
              0);
    EXPECT_GE(Direct3DDevice->GetRenderTargetData(target, copy), 0);
    D3DLOCKED_RECT locked{};
    EXPECT_GE(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), 0);
    for (int y = 0; y < graph->height; ++y)
      for (int x = 0; x < graph->width; ++x) {
        uint32_t v = 0;
        std::memcpy(&v, static_cast<uint8_t*>(locked.pBits) + static_cast<int64_t>(y) * locked.Pitch + x * 4, 4);
        out.push_back(v & 0xFFFFFF);
      }
    copy->UnlockRect();
    copy->Release();
    return out;
  }
  static std::vector<uint32_t> Colours(const Picture& p) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < p.pixels.size(); i += 4)
      out.push_back(static_cast<uint32_t>(p.pixels[i + 2]) << 16 | p.pixels[i + 1] << 8 | p.pixels[i]);
    return out;
  }
};

TEST_F(MovieD3DTest, FramesReachTheGraphsTexture) {
  TheoraClipOptions o;
  o.width = 48;
  o.height = 32;
  o.frames = 24;
  const Bytes clip = MakeTheoraClip(o);
  const ReferenceDecode ref = DecodeWithLibtheora(clip);
  WriteFileBytes("clip.ogv", clip);
  BuildYuvToRgbTables();
  StartOn(D3D9FullAdapter(), 32, 64, 48);
  D3D9ClearRecords();
  const ObjectHandle graph = LoadGraphFile("clip.ogv", 0);
  ASSERT_NE(graph, -1);
  // The three YUV formats, in order; this device makes none.
  std::vector<uint32_t> tried;
  for (const D3D9CallRecord& r : D3D9JournalOf(D3D9Call::CreateOffscreenPlainSurface)) tried.push_back(r.args[2]);
  EXPECT_EQ(tried, (std::vector<uint32_t>{FourCCYV12, FourCCYUY2, FourCCUYVY}));
  const GraphRecord* record = GetGraphRecordChecked(graph);
  MovieHandleRecord* movie = GetMovieHandleData(record->movie);
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(GetTheoraYuvSurface(movie->player), nullptr);
  // One texture for the movie, a draw target; later graphs are cut as before.
  EXPECT_EQ(record->surface->request.hardware, 1);
  EXPECT_EQ(record->surface->request.drawable, 1);
  EXPECT_EQ(record->surface->pieceCount, 1);
  EXPECT_EQ(SingleTextureRequest, 0u);

  EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), 0);
  EXPECT_EQ(Texels(record), Colours(ref.frames[0]));
  movie->playing = 1;
  ResumeMoviesAfterActivate();
  PlatformAdvanceVirtualClock(static_cast<uint64_t>(13.5 * 1000000 / 30));
  EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), 0);
  EXPECT_EQ(GetTheoraCurrentFrame(movie->player), 13);
  EXPECT_EQ(Texels(record), Colours(ref.frames[13]));
  EXPECT_EQ(FreeGraph(graph), 0);
  StopGraphics();
}

}  // namespace
