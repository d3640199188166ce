// The scene of the software renderer's test drawn by the library on the
// drawing Direct3D device (OpenGL through Mesa under a private X server),
// each call's frame read back and set beside the frame the software path
// draws for the same call on the same background; and a lost context made
// again with everything on it.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "library/core/main_window.h"
#include "library/graphics/d3d9/d3d_batch.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "platform/d3d9/d3d9_control.h"
#include "platform/win32/sdl_window.h"
#include "tests/graphics/scene.h"
#include "tests/support/gl_display.h"

namespace {

constexpr int kW = 640, kH = 480;

using Frame = std::vector<uint8_t>;  // rows of the screen, tightly packed

int BytesPerPixel(int bits) { return bits == 16 ? 2 : 4; }

Frame CopyScreen(int bits) {
  const int row = kW * BytesPerPixel(bits);
  Frame f(static_cast<size_t>(row) * kH);
  for (int y = 0; y < kH; ++y)
    std::memcpy(&f[static_cast<size_t>(y) * row], ScreenMemImg.pixels + static_cast<int64_t>(y) * ScreenMemImg.buffer->pitch,
                static_cast<size_t>(row));
  return f;
}

// The device's back buffer read through its lock, or written.
Frame ReadBackBuffer(int bits) {
  G_D3D_FlushVertexBatch();
  const int row = kW * BytesPerPixel(bits);
  Frame f(static_cast<size_t>(row) * kH);
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(D3DBackBuffer->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  for (int y = 0; y < kH; ++y)
    std::memcpy(&f[static_cast<size_t>(y) * row], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                static_cast<size_t>(row));
  D3DBackBuffer->UnlockRect();
  return f;
}

void WriteBackBuffer(const Frame& f, int bits) {
  G_D3D_FlushVertexBatch();
  const int row = kW * BytesPerPixel(bits);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(D3DBackBuffer->LockRect(&locked, nullptr, 0), D3D_OK);
  for (int y = 0; y < kH; ++y)
    std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &f[static_cast<size_t>(y) * row],
                static_cast<size_t>(row));
  D3DBackBuffer->UnlockRect();
}

// The channels of a pixel in the screen's own units (5 or 6 bits at 16).
void Channels(const Frame& f, int bits, int i, int out[3]) {
  if (bits == 16) {
    const uint32_t v = f[2 * i] | f[2 * i + 1] << 8;
    out[0] = static_cast<int>(v >> 11), out[1] = static_cast<int>(v >> 5 & 63), out[2] = static_cast<int>(v & 31);
  } else {
    out[0] = f[4 * i + 2], out[1] = f[4 * i + 1], out[2] = f[4 * i];
  }
}

bool SamePixel(const Frame& a, const Frame& b, int bits, int i) {
  const int n = BytesPerPixel(bits);
  // The fourth byte of a 32-bit screen is no colour.
  return std::memcmp(&a[static_cast<size_t>(i) * n], &b[static_cast<size_t>(i) * n], n == 4 ? 3 : 2) == 0;
}

// The largest channel difference of pixel i of one frame and pixel j of another.
int ChannelDistance(const Frame& a, int i, const Frame& b, int j, int bits) {
  int x[3], y[3], worst = 0;
  Channels(a, bits, i, x);
  Channels(b, bits, j, y);
  for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(x[c] - y[c]));
  return worst;
}

bool Near(const Frame& a, int i, const Frame& b, int j, int bits, int close) {
  return ChannelDistance(a, i, b, j, bits) <= close;
}

// Whether a pixel's colour in one frame is found in the other within one
// pixel of it, or is the background the call left there.
bool FoundAround(const Frame& in, const Frame& from, const Frame& before, int i, int bits, int close) {
  if (Near(from, i, before, i, bits, close)) return true;
  const int x = i % kW, y = i / kW;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int nx = x + dx, ny = y + dy;
      if (nx >= 0 && ny >= 0 && nx < kW && ny < kH && Near(in, ny * kW + nx, from, i, bits, close)) return true;
    }
  return false;
}

// How the OpenGL frame of one call stands to the software frame, over the
// pixels either path changed: how many differ by more than `close` units in
// some channel, and how many are not even found as the other path drew them
// within one pixel (looked at from both frames).
struct CallDifference {
  int changed = 0, far = 0, unmatched = 0, worst = 0;
  int outside = 0;  // changed by one path with nothing changed by the other within one pixel
};

// Whether the other path changed a pixel within one pixel of this one.
bool ChangedAround(const Frame& other, const Frame& before, int i, int bits) {
  const int x = i % kW, y = i / kW;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int nx = x + dx, ny = y + dy;
      if (nx >= 0 && ny >= 0 && nx < kW && ny < kH && !SamePixel(other, before, bits, ny * kW + nx)) return true;
    }
  return false;
}

CallDifference Compare(const Frame& before, const Frame& soft, const Frame& gl, int bits, int close) {
  CallDifference d;
  for (int i = 0; i < kW * kH; ++i) {
    const bool bySoft = !SamePixel(before, soft, bits, i), byGl = !SamePixel(before, gl, bits, i);
    if (!bySoft && !byGl) continue;
    ++d.changed;
    if ((bySoft && !ChangedAround(gl, before, i, bits)) || (byGl && !ChangedAround(soft, before, i, bits))) ++d.outside;
    const int distance = ChannelDistance(soft, i, gl, i, bits);
    d.worst = std::max(d.worst, distance);
    if (distance <= close) continue;
    ++d.far;
    if (!FoundAround(soft, gl, before, i, bits, close) || !FoundAround(gl, soft, before, i, bits, close)) ++d.unmatched;
  }
  return d;
}

// What the two paths may differ by, per family of calls. Every call is drawn
// alone on a background of one colour, on both paths.
//
// Both paths put texels on pixels alike and rasterise boxes by the same
// top-left rule; circles are stepped on the processor by both alike. So
// images drawn at a point, boxes, their frames and circles must match pixel
// for pixel, exactly when unblended at white brightness.
//
// Blended and brightened pixels, and images with an alpha channel, may
// differ by two units: the device multiplies texel, vertex colour and blend
// factors in normalised arithmetic rounded once to the nearest 8-bit value,
// the software renderer truncates twice (the weight, texel alpha times the
// blend parameter, then the mix, each shifted down by 8 or divided by 255
// toward the destination; its add keeps green's and red's lowest bit from
// the channel below). At 16 bits the same holds in 5- and 6-bit units, and
// an image with a transparent colour lives in an A1R5G5B5 texture (the
// device's format for such images) that drops green's sixth bit: one unit
// even unblended.
//
// Scaled, rotated and quadrilateral images pick texels by coordinates at the
// pixel centre on the device and by fixed-point steps from the pixel's corner
// in the software renderer; lines and the outlines of triangles follow the
// diamond-exit rule on the device and Bresenham's steps in software; the
// edges of filled triangles and of the device's free quad (a grid of
// triangles where the software renderer draws two) fall on slightly
// different pixels; the library steps the device's ellipse its own way. For
// these families each pixel must take, within the units above, a colour the
// other path drew within one pixel of it (or the background, where the other
// path drew an edge), from both sides; 2% of the pixels may miss even so
// (the quad's interior, mapped differently).
//
// An image rotated about a point between pixels is drawn there by the device
// and at the whole pixel by the software renderer: its texels differ
// throughout, so only its place is compared (every pixel either path drew
// lies within one pixel of the other's drawing, but for 5%: the corners).
enum class Check { Pixels, Around, Place };

struct Tolerance {
  Check check;
  int close;     // units a colour may be off by
  double share;  // Around and Place: the share of changed pixels that may miss
};

Tolerance ToleranceOf(const ScenePass& p, const SceneCall& c, int bits) {
  const bool plain = p.mode == 0 && p.red == 255 && p.green == 255 && p.blue == 255;
  const bool alphaImage = c.graph != -1 && GetGraphRecordChecked(c.graph)->surface->request.alphaChannel;
  int close = plain && !alphaImage ? 0 : 2;
  if (bits == 16 && c.graph != -1) close = std::max(close, 1);
  switch (c.kind) {
    case SceneCallKind::GraphAt:
    case SceneCallKind::FillBox:
    case SceneCallKind::FrameBox:
    case SceneCallKind::Circle:
      return {Check::Pixels, close, 0.0};
    case SceneCallKind::RotatedF:
      return {Check::Place, close, 0.05};
    default:  // stretched, rotated at a pixel, quadrilateral, lines, ellipses, triangles
      return {Check::Around, close, 0.02};
  }
}

class GlSceneTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    ASSERT_TRUE(display_.Start()) << "no X server (scripts/setup.sh installs Xvfb and Mesa)";
    D3D9SetAdapter(D3D9OpenGLAdapter());
  }
  void TearDown() override {
    StopGraphics();
    DestroyMainWindow();
    MainWindowClosed = 0;
    QuitRequested = 0;
    PlatformSetDesktopColorBits(0);
    SoftwareOnlyFlag = 0;
    GraphicsTest::TearDown();
    EXPECT_EQ(D3D9LiveObjectCount(), 0);
    D3D9ResetAdapter();
  }

  // Graphics on the drawing device in the main window, the desktop at `bits`.
  void StartOnOpenGL(int bits) {
    PlatformSetDesktopColorBits(bits);
    ASSERT_EQ(CreateMainWindow(), 0);
    StartGraphics(bits, kW, kH);
    ASSERT_EQ(HardwareActive, 1) << D3D9ExecutorError();
    ASSERT_TRUE(D3D9DeviceExecutes());
    SelectDrawTarget(BackScreenHandle);
  }

  GlDisplay display_;
};

// The background every call is drawn on: one colour, so that a pixel
// shifted by one keeps its colour wherever it lands.
void FillBackground() {
  const PixelRect all = {0, 0, kW, kH};
  FillMemImgRect(&ScreenMemImg, &all, MakeScreenColor(64, 96, 128));
}

// Keeps the software frame of each call, each drawn on the background alone.
struct FrameKeeper : SceneObserver {
  int bits;
  std::vector<Frame> frames;
  void Called(const ScenePass&, const SceneCall&) override {
    frames.push_back(CopyScreen(bits));
    FillBackground();
  }
};

// After each call on the device: its frame against the software one, then
// the software frame as the next call's background.
struct FrameChecker : SceneObserver {
  int bits;
  const std::vector<Frame>* soft;
  size_t next = 1;
  int empty = 0;  // calls wholly outside their draw area
  void Called(const ScenePass& p, const SceneCall& c) override {
    const Frame gl = ReadBackBuffer(bits);
    const Frame& before = (*soft)[0];
    const Frame& want = (*soft)[next];
    const Tolerance t = ToleranceOf(p, c, bits);
    const CallDifference d = Compare(before, want, gl, bits, t.close);
    const std::string what = std::to_string(bits) + " bits, call " + std::to_string(next - 1) + " (kind " +
                             std::to_string(static_cast<int>(c.kind)) + ", mode " + std::to_string(p.mode) + "): ";
    const int allowed = static_cast<int>(t.share * d.changed);
    switch (t.check) {
      case Check::Pixels:
        EXPECT_EQ(d.far, 0) << what << d.far << " pixels off by more than " << t.close << " (worst " << d.worst << ")";
        break;
      case Check::Around:
        EXPECT_LE(d.unmatched, allowed) << what << d.unmatched << " of " << d.changed
                                        << " changed pixels not found within one pixel";
        EXPECT_LE(d.outside, allowed) << what << d.outside << " of " << d.changed << " drawn away from the other";
        break;
      case Check::Place:
        EXPECT_LE(d.outside, allowed) << what << d.outside << " of " << d.changed << " drawn away from the other";
        break;
    }
    if (d.changed == 0) ++empty;
    WriteBackBuffer(before, bits);
    ++next;
  }
};

TEST_F(GlSceneTest, TheDeviceDrawsTheSceneAsTheSoftwareRenderer) {
  for (int bits : {32, 16}) {
    SCOPED_TRACE(testing::Message() << bits << " bits");
    // The software path, frame by frame.
    SoftwareOnlyFlag = 1;
    StartGraphics(bits, kW, kH);
    SoftwareOnlyFlag = 0;
    ASSERT_EQ(HardwareActive, 0);
    SelectDrawTarget(BackScreenHandle);
    FillBackground();
    FrameKeeper keeper;
    keeper.bits = bits;
    keeper.frames.push_back(CopyScreen(bits));
    DrawScene(MakeSceneGraphsFromImages(), nullptr, &keeper);
    StopGraphics();
    ASSERT_EQ(keeper.frames.size(), 52u);

    // The device, each call from the software frame before it.
    StartOnOpenGL(bits);
    ASSERT_EQ(ScreenColorBits, bits);
    const SceneGraphs graphs = MakeSceneGraphsFromImages();
    WriteBackBuffer(keeper.frames[0], bits);
    FrameChecker checker;
    checker.bits = bits;
    checker.soft = &keeper.frames;
    DrawScene(graphs, nullptr, &checker);
    EXPECT_EQ(checker.next, 52u);
    EXPECT_LT(checker.empty, 15) << "the scene draws";
    StopGraphics();
    DestroyMainWindow();
  }
}

// The rasterisation setting decides the path on the display's OpenGL:
// "hardware" draws through it whatever the renderer, "software" leaves the
// window without OpenGL and draws with the software renderer.
TEST_F(GlSceneTest, TheRasterisationSettingChoosesThePath) {
  for (const D3D9Rasterizer setting : {D3D9Rasterizer::Hardware, D3D9Rasterizer::Software}) {
    const bool hardware = setting == D3D9Rasterizer::Hardware;
    SCOPED_TRACE(hardware ? "hardware" : "software");
    D3D9AdapterSetup adapter = D3D9OpenGLAdapter();
    adapter.rasterizer = setting;
    D3D9SetAdapter(adapter);
    PlatformSetDesktopColorBits(32);
    ASSERT_EQ(CreateMainWindow(), 0);
    StartGraphics(32, kW, kH);
    EXPECT_EQ(HardwareActive, hardware ? 1 : 0) << D3D9ExecutorError();
    EXPECT_EQ((SDL_GetWindowFlags(PlatformSdlWindow(GetMainHwnd())) & SDL_WINDOW_OPENGL) != 0, hardware);
    std::ifstream log(TestScratchDir() + "/Log.txt", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("描画デバイスはハードウエアラスタライズを行いません ソフトウエアレンダラを使用します") !=
                  std::string::npos,
              !hardware);
    SelectDrawTarget(BackScreenHandle);
    EXPECT_EQ(PresentScreen(), 0);
    StopGraphics();
    DestroyMainWindow();
    MainWindowClosed = 0;
    QuitRequested = 0;
  }
}

TEST_F(GlSceneTest, ALostContextIsMadeAgainWithEveryGraph) {
  StartOnOpenGL(32);
  // The log names the context's renderer.
  std::ifstream log(TestScratchDir() + "/Log.txt", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Description:" + D3D9RendererString()), std::string::npos) << text;

  BmpLayout layout;
  layout.width = 40;
  layout.height = 30;
  layout.pixels = PackRows(40, 30, 24, false, [](int x, int y) { return Hash(x, y, 5) | 0x404040; });
  WriteFileBytes("picture.bmp", MakeBmp(layout));
  const ObjectHandle picture = LoadGraphFile("picture.bmp", 0);
  ASSERT_NE(picture, -1);
  auto frame = [&]() {
    ClearDrawTarget(nullptr);
    SetDrawBlend(1, 200);
    DrawGraphAt(10, 10, picture, 1);
    DrawGraphRotated(120, 60, 1.0, 0.5, picture, 1, 0);
    SetDrawBlend(0, 0);
    DrawCircleShape(300, 200, 30, MakeScreenColor(255, 0, 0), 1);
    return ReadBackBuffer(32);
  };
  const Frame first = frame();
  EXPECT_EQ(PresentScreen(), 0);
  D3D9LoseContext();
  EXPECT_EQ(PresentScreen(), -1) << "the frame that finds the context lost";
  // The next frame finds a new device, with the graph loaded again.
  const Frame second = frame();
  EXPECT_TRUE(D3D9DeviceExecutes());
  EXPECT_TRUE(first == second) << "the frame after the new context differs";
  EXPECT_EQ(PresentScreen(), 0);
}

}  // namespace
