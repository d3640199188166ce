// The scene of the software renderer's test drawn on the Direct3D stand-in:
// every call's recorded draws checked, by family, for their vertices
// (positions, texture coordinates, colours) and the states they were drawn
// under.
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "library/graphics/d3d9/d3d_texture.h"
#include "tests/graphics/d3d9/d3d_fixture.h"
#include "tests/graphics/scene.h"

namespace {

constexpr DWORD kTexturedFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kColourFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

struct Vertex {
  float x, y, u, v;
  uint32_t colour;
};

// The vertices of the draws, whatever their layout.
std::vector<Vertex> VerticesOf(const std::vector<const D3D9DrawRecord*>& draws) {
  std::vector<Vertex> out;
  for (const D3D9DrawRecord* d : draws)
    for (UINT i = 0; i < d->vertexCount; ++i) {
      const uint8_t* p = d->vertices.data() + static_cast<size_t>(i) * d->stride;
      Vertex v{};
      std::memcpy(&v.x, p, 4);
      std::memcpy(&v.y, p + 4, 4);
      float z = 0, rhw = 0;
      std::memcpy(&z, p + 8, 4);
      std::memcpy(&rhw, p + 12, 4);
      EXPECT_FLOAT_EQ(z, 0.2f);
      EXPECT_EQ(rhw, 1.0f);
      std::memcpy(&v.colour, p + 16, 4);
      if (d->stride == 28) {
        std::memcpy(&v.u, p + 20, 4);
        std::memcpy(&v.v, p + 24, 4);
      }
      out.push_back(v);
    }
  return out;
}

// What a call's draws must have been made under.
struct ExpectedStates {
  DWORD fvf;
  DWORD colorOp, colorArg;  // the argument besides the texture (or the diffuse arg of untextured draws)
  DWORD alphaOp;
  bool alphaTest;           // colour key: reference 16, GREATER
  bool blend;
  DWORD src, dest;
};

// The rules of the blend application for the scene's draws: t from the
// graph's alpha channel or colour key (the call's trans flag honouring
// them), b from the brightness, a from the blend mode.
ExpectedStates ImageStates(const ScenePass& p, const SceneCall& c, const GraphFormatRequest& f) {
  ExpectedStates e{};
  e.fvf = kTexturedFvf;
  const bool honoured = c.trans && (f.alphaChannel || f.transparentColor);
  const bool alpha = honoured && (p.mode != 0 || f.alphaChannel);
  const bool key = honoured && p.mode == 0 && !f.alphaChannel && f.transparentColor;
  const int t = alpha ? 1 : key ? 2 : 0;
  const bool b = !(p.red == 255 && p.green == 255 && p.blue == 255);
  const bool a = p.mode != 0;
  e.colorOp = b ? D3DTOP_MODULATE : D3DTOP_SELECTARG1;
  e.colorArg = D3DTA_TEXTURE;
  e.alphaOp = t == 0 ? D3DTOP_SELECTARG2 : a ? D3DTOP_MODULATE : D3DTOP_SELECTARG1;
  e.alphaTest = t == 2;
  e.blend = p.mode != 0 || alpha;
  e.src = p.mode == 2 ? D3DBLEND_SRCALPHA : D3DBLEND_SRCALPHA;
  e.dest = p.mode == 2 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA;
  return e;
}

ExpectedStates ShapeStates(const ScenePass& p) {
  ExpectedStates e{};
  e.fvf = kColourFvf;
  e.colorOp = D3DTOP_SELECTARG2;
  e.colorArg = D3DTA_DIFFUSE;
  e.alphaOp = D3DTOP_SELECTARG2;
  e.alphaTest = false;
  e.blend = p.mode != 0;
  e.src = D3DBLEND_SRCALPHA;
  e.dest = p.mode == 2 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA;
  return e;
}

void ExpectStates(const D3D9DrawRecord& d, const ExpectedStates& e, uint32_t texture, const ScenePass& p) {
  const D3D9DeviceState& s = d.state;
  EXPECT_EQ(s.fvf, e.fvf);
  EXPECT_EQ(s.textures[0], texture);
  EXPECT_EQ(s.textureStageStates[0][D3DTSS_COLOROP], e.colorOp);
  if (e.fvf == kTexturedFvf) {
    EXPECT_EQ(s.textureStageStates[0][D3DTSS_COLORARG1], D3DTA_TEXTURE);
    if (e.colorOp == D3DTOP_MODULATE) {
      EXPECT_EQ(s.textureStageStates[0][D3DTSS_COLORARG2], D3DTA_DIFFUSE);
    }
  } else {
    EXPECT_EQ(s.textureStageStates[0][D3DTSS_COLORARG2], D3DTA_DIFFUSE);
  }
  EXPECT_EQ(s.textureStageStates[0][D3DTSS_ALPHAOP], e.alphaOp);
  EXPECT_EQ(s.textureStageStates[1][D3DTSS_COLOROP], D3DTOP_DISABLE);
  EXPECT_EQ(s.textureStageStates[0][D3DTSS_TEXCOORDINDEX], 0u);
  EXPECT_EQ(s.renderStates[D3DRS_ALPHATESTENABLE], e.alphaTest ? 1u : 0u);
  if (e.alphaTest) {
    EXPECT_EQ(s.renderStates[D3DRS_ALPHAREF], 16u);
    EXPECT_EQ(s.renderStates[D3DRS_ALPHAFUNC], D3DCMP_GREATER);
  }
  EXPECT_EQ(s.renderStates[D3DRS_ALPHABLENDENABLE], e.blend ? 1u : 0u);
  if (e.blend) {
    EXPECT_EQ(s.renderStates[D3DRS_SRCBLEND], e.src);
    EXPECT_EQ(s.renderStates[D3DRS_DESTBLEND], e.dest);
    EXPECT_EQ(s.renderStates[D3DRS_BLENDOP], D3DBLENDOP_ADD);
  }
  // The draw area is the viewport; the 2-D draws keep lighting and Z off.
  EXPECT_EQ(s.viewport.X, static_cast<DWORD>(p.area.left));
  EXPECT_EQ(s.viewport.Width, static_cast<DWORD>(p.area.right - p.area.left));
  EXPECT_EQ(s.renderStates[D3DRS_LIGHTING], 0u);
  EXPECT_EQ(s.renderStates[D3DRS_ZENABLE], 0u);
  EXPECT_EQ(s.renderStates[D3DRS_SPECULARENABLE], 0u);
}

uint32_t PackedColour(const ScenePass& p) {
  return static_cast<uint32_t>(p.mode != 0 ? p.param : 255) << 24 | static_cast<uint32_t>(p.red) << 16 |
         static_cast<uint32_t>(p.green) << 8 | static_cast<uint32_t>(p.blue);
}

uint32_t ShapeColour(const ScenePass& p, uint32_t colour) {
  int32_t r = 0, g = 0, b = 0;
  SplitScreenColor(colour, &r, &g, &b);
  const uint32_t packed = PackedColour(p);
  return (packed & 0xFF000000u) | ((packed >> 16 & 0xFF) * r / 255) << 16 | ((packed >> 8 & 0xFF) * g / 255) << 8 |
         ((packed & 0xFF) * b / 255);
}

// A quad's six vertices: top-left, top-right, bottom-left, bottom-right,
// bottom-left, top-right.
void ExpectQuad(const std::vector<Vertex>& v, size_t at, const float (&corners)[4][4], uint32_t colour,
                float tolerance = 0.0001f) {
  static const int kOrder[6] = {0, 1, 2, 3, 2, 1};
  ASSERT_GE(v.size(), at + 6);
  for (int i = 0; i < 6; ++i) {
    const Vertex& got = v[at + i];
    const float* want = corners[kOrder[i]];
    EXPECT_NEAR(got.x, want[0], tolerance) << "vertex " << i;
    EXPECT_NEAR(got.y, want[1], tolerance) << "vertex " << i;
    EXPECT_NEAR(got.u, want[2], 0.0001f) << "vertex " << i;
    EXPECT_NEAR(got.v, want[3], 0.0001f) << "vertex " << i;
    EXPECT_EQ(got.colour, colour) << "vertex " << i;
  }
}

class Checker : public SceneObserver {
 public:
  int calls = 0;
  std::map<SceneCallKind, int> drawn;

  void Called(const ScenePass& p, const SceneCall& c) override {
    ++calls;
    // Each call's vertices go out on their own.
    G_D3D_FlushVertexBatch();
    const std::vector<D3D9DrawRecord>& all = D3D9Draws();
    std::vector<const D3D9DrawRecord*> mine;
    for (size_t i = mark_; i < all.size(); ++i) mine.push_back(&all[i]);
    mark_ = all.size();
    SCOPED_TRACE(testing::Message() << "pass mode " << p.mode << ", call " << static_cast<int>(c.kind));
    if (!mine.empty()) ++drawn[c.kind];
    if (c.graph != -1)
      CheckImage(p, c, mine);
    else
      CheckShape(p, c, mine);
  }

 private:
  size_t mark_ = 0;

  static void CheckImage(const ScenePass& p, const SceneCall& c, const std::vector<const D3D9DrawRecord*>& draws) {
    const GraphRecord* g = GetGraphRecordChecked(c.graph);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->drawPieceCount, 1);
    const TexturePiece* piece = g->drawPieces[0].piece;
    const float w = static_cast<float>(g->width), h = static_cast<float>(g->height);
    const float tw = static_cast<float>(piece->textureWidth), th = static_cast<float>(piece->textureHeight);
    const float u1 = w / tw, v1 = h / th;
    const std::vector<int32_t>& a = c.ints;
    const PixelRect& area = p.area;
    const uint32_t colour = PackedColour(p);
    float q[4][4];  // x, y, u, v of TL, TR, BL, BR
    auto corners = [&](float l, float t, float r, float b, float ul, float vt, float ur, float vb) {
      const float set[4][4] = {{l, t, ul, vt}, {r, t, ur, vt}, {l, b, ul, vb}, {r, b, ur, vb}};
      std::memcpy(q, set, sizeof q);
    };
    bool expectDraw = true;
    float tolerance = 0.0001f;
    switch (c.kind) {
      case SceneCallKind::GraphAt: {
        const float x = static_cast<float>(a[0]), y = static_cast<float>(a[1]);
        const bool inside = area.left <= x && area.top <= y && x + w <= area.right && y + h <= area.bottom;
        expectDraw = x + w > area.left && y + h > area.top && x < area.right && y < area.bottom;
        corners(x - 0.5f, y - 0.5f, x - 0.5f + w, y - 0.5f + h, 0, 0, u1, v1);
        // Partly outside: every corner held inside the area, its texture
        // coordinates moved with it.
        if (!inside)
          for (auto& k : q) {
            const float cx = std::clamp(k[0], static_cast<float>(area.left), static_cast<float>(area.right));
            const float cy = std::clamp(k[1], static_cast<float>(area.top), static_cast<float>(area.bottom));
            k[2] += (cx - k[0]) / tw;
            k[3] += (cy - k[1]) / th;
            k[0] = cx;
            k[1] = cy;
          }
        break;
      }
      case SceneCallKind::Stretched: {
        const float x1 = static_cast<float>(a[0]), y1 = static_cast<float>(a[1]);
        const float x2 = static_cast<float>(a[2]), y2 = static_cast<float>(a[3]);
        const float l = std::min(x1, x2), r = std::max(x1, x2), t = std::min(y1, y2), b = std::max(y1, y2);
        const bool inside = area.left <= l && area.top <= t && r <= area.right && b <= area.bottom;
        expectDraw = r > area.left && b > area.top && l < area.right && t < area.bottom;
        corners(x1 - 0.5f, y1 - 0.5f, x2 - 0.5f, y2 - 0.5f, 0, 0, u1, v1);
        if (!inside) {
          const float sx = (x2 - x1) / w, sy = (y2 - y1) / h;
          for (auto& k : q) {
            const float cx = std::clamp(k[0], area.left - 0.5f, area.right - 0.5f);
            const float cy = std::clamp(k[1], area.top - 0.5f, area.bottom - 0.5f);
            k[2] += (cx - k[0]) / (tw * sx);
            k[3] += (cy - k[1]) / (th * sy);
            k[0] = cx;
            k[1] = cy;
          }
        }
        break;
      }
      case SceneCallKind::Rotated:
      case SceneCallKind::RotatedF: {
        // About the centre (integer halves for even sizes at whole pixels
        // and another scale than 1: placed half a pixel up and left).
        const bool between = c.kind == SceneCallKind::RotatedF;
        const double px = between ? c.fx : a[0] - 0.5, py = between ? c.fy : a[1] - 0.5;
        const double cx = w * 0.5, cy = h * 0.5;
        const double sx = c.turn ? -c.scale : c.scale, sy = c.scale;
        const double cs = std::cos(c.angle), sn = std::sin(c.angle);
        const float gx[4] = {0, w, 0, w}, gy[4] = {0, 0, h, h};
        const float us[4] = {0, u1, 0, u1}, vs[4] = {0, 0, v1, v1};
        for (int k = 0; k < 4; ++k) {
          const double ox = sx * (gx[k] - cx), oy = sy * (gy[k] - cy);
          q[k][0] = static_cast<float>(px + cs * ox - sn * oy);
          q[k][1] = static_cast<float>(py + sn * ox + cs * oy);
          q[k][2] = us[k];
          q[k][3] = vs[k];
        }
        tolerance = 0.001f;
        break;
      }
      case SceneCallKind::Quad:
        // Corners 1 to 4 round the graph: top-left, top-right, bottom-right,
        // bottom-left; no half-pixel move, no clipping.
        corners(0, 0, 0, 0, 0, 0, u1, v1);
        q[0][0] = static_cast<float>(a[0]), q[0][1] = static_cast<float>(a[1]);
        q[1][0] = static_cast<float>(a[2]), q[1][1] = static_cast<float>(a[3]);
        q[3][0] = static_cast<float>(a[4]), q[3][1] = static_cast<float>(a[5]);
        q[2][0] = static_cast<float>(a[6]), q[2][1] = static_cast<float>(a[7]);
        break;
      default:
        FAIL();
    }
    if (!expectDraw) {
      EXPECT_TRUE(draws.empty());
      return;
    }
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(draws[0]->stride, 28u);
    const std::vector<Vertex> v = VerticesOf(draws);
    ASSERT_EQ(v.size(), 6u);
    ExpectQuad(v, 0, q, colour, tolerance);
    ExpectStates(*draws[0], ImageStates(p, c, g->surface->request), D3D9ObjectId(piece->texture), p);
  }

  static void CheckShape(const ScenePass& p, const SceneCall& c, const std::vector<const D3D9DrawRecord*>& draws) {
    const std::vector<int32_t>& a = c.ints;
    const uint32_t colour = ShapeColour(p, c.colour);
    const PixelRect& area = p.area;
    for (const D3D9DrawRecord* d : draws) {
      EXPECT_EQ(d->stride, 20u);
      ExpectStates(*d, ShapeStates(p), 0, p);
    }
    const std::vector<Vertex> v = VerticesOf(draws);
    for (const Vertex& k : v) EXPECT_EQ(k.colour, colour);
    auto box = [&](size_t at, float l, float t, float r, float b) {
      const float set[4][4] = {{l, t, 0, 0}, {r, t, 0, 0}, {l, b, 0, 0}, {r, b, 0, 0}};
      ExpectQuad(v, at, set, colour);
    };
    float f[6] = {};
    for (size_t i = 0; i < a.size() && i < 6; ++i) f[i] = static_cast<float>(a[i]);
    switch (c.kind) {
      case SceneCallKind::FillBox: {
        PixelRect r = {a[0], a[1], a[2], a[3]};
        ClipRectToArea(&r, &area);
        if (r.left >= r.right || r.top >= r.bottom) {
          EXPECT_TRUE(v.empty());
          return;
        }
        ASSERT_EQ(v.size(), 6u);
        box(0, static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
            static_cast<float>(r.bottom));
        break;
      }
      case SceneCallKind::FrameBox:
        ASSERT_EQ(v.size(), 24u);
        box(0, f[0], f[1], f[2], f[1] + 1);
        box(6, f[2] - 1, f[1] + 1, f[2], f[3]);
        box(12, f[0], f[1] + 1, f[0] + 1, f[3]);
        box(18, f[0] + 1, f[3] - 1, f[2] - 1, f[3]);
        break;
      case SceneCallKind::Line:
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_EQ(draws[0]->type, D3DPT_LINELIST);
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(v[0].x, f[0]);
        EXPECT_EQ(v[0].y, f[1]);
        EXPECT_EQ(v[1].x, f[2]);
        EXPECT_EQ(v[1].y, f[3]);
        break;
      case SceneCallKind::Triangle:
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_EQ(draws[0]->type, c.fill ? D3DPT_TRIANGLELIST : D3DPT_LINELIST);
        if (c.fill) {
          ASSERT_EQ(v.size(), 3u);
          for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(v[i].x, f[2 * i]);
            EXPECT_EQ(v[i].y, f[2 * i + 1]);
          }
        } else {
          ASSERT_EQ(v.size(), 6u);
          for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(v[2 * i].x, f[2 * i]);
            EXPECT_EQ(v[2 * i + 1].x, f[(2 * i + 2) % 6]);
            EXPECT_EQ(v[2 * i + 1].y, f[(2 * i + 3) % 6]);
          }
        }
        break;
      case SceneCallKind::Circle:
      case SceneCallKind::Ellipse: {
        const bool circle = c.kind == SceneCallKind::Circle;
        const double cx = a[0], cy = a[1], rx = a[2], ry = circle ? a[2] : a[3];
        // How far a point lies from the curve, in pixels across it.
        auto off = [&](double dx, double dy) {
          const double e = std::sqrt(dx * dx / (rx * rx) + dy * dy / (ry * ry));
          return std::fabs(e - 1.0) * std::min(rx, ry);
        };
        for (const D3D9DrawRecord* d : draws) EXPECT_EQ(d->type, c.fill ? D3DPT_LINELIST : D3DPT_POINTLIST);
        if (cy - ry > area.bottom || cy + ry < area.top) {
          EXPECT_TRUE(v.empty()) << "wholly outside the area";
          return;
        }
        if (!c.fill) {
          ASSERT_FALSE(v.empty());
          std::set<std::pair<int, int>> points;
          for (const Vertex& k : v) {
            EXPECT_LE(off(k.x - cx, k.y - cy), 1.0) << k.x << "," << k.y;
            EXPECT_TRUE(k.x >= 0 && k.x <= area.right && k.y >= area.top && k.y <= area.bottom);
            EXPECT_TRUE(points.insert({static_cast<int>(k.x - cx), static_cast<int>(k.y - cy)}).second)
                << "a point drawn twice: " << k.x << "," << k.y;
          }
          // The outline is whole: the mirror images of each point are there
          // too, wherever they are not clipped away.
          for (const auto& [dx, dy] : points)
            for (const auto& [mx, my] : {std::pair{-dx, dy}, std::pair{dx, -dy}}) {
              const double x = cx + mx, y = cy + my;
              if (x >= 0 && x <= area.right && y >= area.top && y <= area.bottom) {
                EXPECT_TRUE(points.count({mx, my})) << "missing " << x << "," << y;
              }
            }
          return;
        }
        // Filled: one span a row, each row of the curve inside the area,
        // its ends on the curve (where the area does not cut them).
        std::set<int> rows;
        ASSERT_EQ(v.size() % 2, 0u);
        for (size_t i = 0; i < v.size(); i += 2) {
          const Vertex &l = v[i], &r = v[i + 1];
          EXPECT_EQ(l.y, r.y);
          EXPECT_TRUE(rows.insert(static_cast<int>(l.y)).second) << "row drawn twice: " << l.y;
          EXPECT_GE(l.x, area.left);
          EXPECT_LE(r.x, area.right);
          const double dy = l.y - cy;
          if (l.x > area.left) {
            EXPECT_LE(off(cx - l.x, dy), 1.0) << "row " << l.y;
          }
          if (r.x < area.right) {
            EXPECT_LE(off(r.x - 1 - cx, dy), 1.0) << "row " << l.y;
          }
        }
        const int top = static_cast<int>(std::max<double>(cy - ry, area.top));
        const int bottom = static_cast<int>(std::min<double>(cy + ry, area.bottom - 1));
        if (cx + rx >= area.left && cx - rx < area.right) {
          for (int y = top; y <= bottom; ++y) {
            EXPECT_TRUE(rows.count(y)) << "row " << y << " missing";
          }
        }
        break;
      }
      default:
        FAIL();
    }
  }
};

class D3DSceneTest : public D3DTest {};

TEST_F(D3DSceneTest, EveryCallIsRecordedWithItsVerticesAndStates) {
  for (int bits : {16, 32}) {
    SCOPED_TRACE(bits);
    StartOn(D3D9FullAdapter(), bits, 640, 480);
    ASSERT_EQ(HardwareActive, 1);
    SelectDrawTarget(BackScreenHandle);
    const SceneGraphs graphs = MakeSceneGraphs();
    ASSERT_NE(graphs.alpha, -1);
    G_D3D_FlushVertexBatch();
    D3D9ClearRecords();
    Checker checker;
    DrawScene(graphs, nullptr, &checker);
    EXPECT_EQ(checker.calls, 51);
    // Every family reached the device.
    for (SceneCallKind kind : {SceneCallKind::GraphAt, SceneCallKind::Stretched, SceneCallKind::Rotated,
                               SceneCallKind::RotatedF, SceneCallKind::Quad, SceneCallKind::FillBox,
                               SceneCallKind::FrameBox, SceneCallKind::Line, SceneCallKind::Circle,
                               SceneCallKind::Ellipse, SceneCallKind::Triangle})
      EXPECT_GT(checker.drawn[kind], 0) << static_cast<int>(kind);
    StopGraphics();
  }
}

}  // namespace
