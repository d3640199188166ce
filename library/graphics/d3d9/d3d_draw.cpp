#include "library/graphics/d3d9/d3d_draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"
#include "library/graphics/draw_state.h"

int32_t D3DDeviceLost = 0;
BlendGraphTextureState BlendGraphTexture = {0, 0, 0, 0};

bool G_D3D_CanDraw() { return Direct3DDevice != nullptr && !D3DDeviceLost; }

namespace {

constexpr DWORD kTexturedFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// One corner of a quad: its place on the target, its texture coordinates,
// and its place in the graph (for the blend graph's coordinates).
struct QuadCorner {
  float x, y, u, v;
  float gx, gy;
};

// Writes a quad (corners top-left, top-right, bottom-left, bottom-right) as
// the six vertices TL, TR, BL, BR, BL, TR of a triangle list, in the layout
// of the batch's vertex kind.
void AppendQuad(const QuadCorner* c, const int* order = nullptr) {
  static const int kOrder[6] = {0, 1, 2, 3, 2, 1};
  if (order == nullptr) order = kOrder;
  uint8_t* at = G_D3D_ReserveBatchVertices(D3DPT_TRIANGLELIST, 6);
  if (at == nullptr) return;
  const bool blend = VertexBatch.vertexKind == 2;
  const BlendGraphTextureState& b = BlendGraphTexture;
  for (int i = 0; i < 6; ++i) {
    const QuadCorner& q = c[order[i]];
    auto place = [&](auto* v) {
      v->x = q.x;
      v->y = q.y;
      v->z = Draw2DDepth;
      v->diffuse = PackedDrawColor;
    };
    if (blend) {
      BatchVertexBlend* v = reinterpret_cast<BatchVertexBlend*>(at) + i;
      place(v);
      v->u1 = (b.offsetX + q.gx) * b.reciprocalWidth;
      v->v1 = (b.offsetY + q.gy) * b.reciprocalHeight;
      v->u2 = q.u;
      v->v2 = q.v;
    } else {
      BatchVertexTextured* v = reinterpret_cast<BatchVertexTextured*>(at) + i;
      place(v);
      v->u = q.u;
      v->v = q.v;
    }
  }
}

// The piece's texture on its stage before its vertices are written.
void UsePieceTexture(const GraphDrawPiece& piece) {
  if (piece.piece->texture != D3DStateShadow.request.drawTexture) G_D3D_SetDrawTexture(piece.piece->texture);
  if (D3DStateShadow.request.blendDirty || D3DStateShadow.request.textureDirty) G_D3D_ApplyBlendState(1, nullptr, 0);
}

// The corners of a piece as the piece list gives them, before they are placed.
void PieceCorners(const GraphDrawPiece& d, QuadCorner* c) {
  for (int i = 0; i < 4; ++i) {
    c[i] = {d.corners[i].x, d.corners[i].y, d.corners[i].u, d.corners[i].v, d.corners[i].x, d.corners[i].y};
  }
}

int Begin(GraphRecord* graph, int32_t flags) {
  if (!G_D3D_CanDraw() || graph == nullptr || graph->surface == nullptr) return -1;
  G_D3D_BeginScene();
  G_D3D_PrepareDrawState(&graph->surface->request, GraphFirstTexture(graph), flags);
  return 0;
}

double Fraction(double v) { return v - std::floor(v); }

float SignedArea(float x1, float y1, float x2, float y2, float x3, float y3) {
  return (x2 - x1) * (y3 - y1) - (x3 - x1) * (y2 - y1);
}

// The order of a quad's six vertices that keeps both triangles wound alike.
const int* WindingOrder(const QuadCorner* c) {
  static const int kPlain[6] = {0, 1, 2, 3, 2, 1};
  static const int kSwapped[6] = {0, 2, 1, 3, 1, 2};
  static const int kSecondSwapped[6] = {0, 1, 2, 3, 1, 2};
  static const int kFirstSwapped[6] = {0, 2, 1, 3, 2, 1};
  const float a1 = SignedArea(c[0].x, c[0].y, c[1].x, c[1].y, c[2].x, c[2].y);
  const float a2 = SignedArea(c[3].x, c[3].y, c[2].x, c[2].y, c[1].x, c[1].y);
  if (a1 <= 0 && a2 <= 0) return kSwapped;
  if (a1 > 0 && a2 < 0) return kSecondSwapped;
  if (a1 < 0 && a2 > 0) return kFirstSwapped;
  return kPlain;
}

void SetTexturedFvf() {
  if (VertexBatch.lastFvf == kTexturedFvf) return;
  Direct3DDevice->SetFVF(kTexturedFvf);
  VertexBatch.lastFvf = kTexturedFvf;
}

// The 4-degree windows around the quarter turns in which a turned graph of an
// odd size is moved by half a pixel.
bool NearQuarterTurn(double a) {
  return a <= 0.06981317007977318 || (a >= 1.5009831567151235 && a <= 1.6406094968746698) ||
         (a >= 3.07177948351002 && a <= 3.2114058236695664) || (a >= 4.642575810304916 && a <= 4.782202150464463) ||
         a >= 6.213372137099813;
}

}  // namespace

// ---------------------------------------------------------------- at a point and stretched

namespace {

// The pieces of a graph placed from (originX, originY) at scale (sx, sy).
// Unless the graph lies inside the area, every corner is held inside clip
// {left, top, right, bottom}, its texture (and blend-graph) coordinates
// moved by the distance it was held back, so that the visible part keeps
// its texels where they were.
void PlacePieces(GraphRecord* graph, float originX, float originY, float sx, float sy, bool inside,
                 const float* clip) {
  for (int32_t i = 0; i < graph->drawPieceCount; ++i) {
    const GraphDrawPiece& d = graph->drawPieces[i];
    UsePieceTexture(d);
    QuadCorner q[4];
    PieceCorners(d, q);
    const float tw = static_cast<float>(d.piece->textureWidth), th = static_cast<float>(d.piece->textureHeight);
    for (QuadCorner& k : q) {
      k.x = originX + k.x * sx;
      k.y = originY + k.y * sy;
      if (inside) continue;
      const float cx = std::clamp(k.x, clip[0], clip[2]), cy = std::clamp(k.y, clip[1], clip[3]);
      k.u += (cx - k.x) / (tw * sx);
      k.v += (cy - k.y) / (th * sy);
      k.gx += (cx - k.x) / sx;
      k.gy += (cy - k.y) / sy;
      k.x = cx;
      k.y = cy;
    }
    AppendQuad(q);
  }
}

// Whether the box lies inside the draw area, and whether it meets it at all.
bool InsideArea(float left, float top, float right, float bottom) {
  const PixelRect& c = DrawClipRect;
  return c.left <= left && c.top <= top && right <= c.right && bottom <= c.bottom;
}
bool MeetsArea(float left, float top, float right, float bottom) {
  const PixelRect& c = DrawClipRect;
  return right > c.left && bottom > c.top && left < c.right && top < c.bottom;
}

}  // namespace

int G_D3D_DrawGraph(GraphRecord* graph, float x, float y, int32_t trans, int32_t keepTransparency) {
  if (Begin(graph, (trans ? DrawPrepTransparency : 0) | (keepTransparency ? DrawPrepKeepTransparency : 0)) != 0)
    return -1;
  const float right = x + static_cast<float>(graph->width), bottom = y + static_cast<float>(graph->height);
  const bool inside = InsideArea(x, y, right, bottom);
  if (!inside && !MeetsArea(x, y, right, bottom)) return 0;
  PlacePieces(graph, x - 0.5f, y - 0.5f, 1.0f, 1.0f, inside, DrawClipRectF);
  return 0;
}

int G_D3D_DrawGraphStretched(GraphRecord* graph, float x1, float y1, float x2, float y2, int32_t trans,
                             int32_t filterSensitive) {
  const int32_t keep = filterSensitive && DrawFilterMode != 1 ? DrawPrepKeepTransparency : 0;
  if (Begin(graph, (trans ? DrawPrepTransparency : 0) | keep) != 0) return -1;
  if (x1 == x2 || y1 == y2) return 0;
  const float left = std::min(x1, x2), right = std::max(x1, x2), top = std::min(y1, y2), bottom = std::max(y1, y2);
  const bool inside = InsideArea(left, top, right, bottom);
  if (!inside && !MeetsArea(left, top, right, bottom)) return 0;
  const float sx = (x2 - x1) / static_cast<float>(graph->width), sy = (y2 - y1) / static_cast<float>(graph->height);
  // Held half a pixel inside, as the corners are placed half a pixel up and left.
  const float clip[4] = {DrawClipRectF[0] - 0.5f, DrawClipRectF[1] - 0.5f, DrawClipRectF[2] - 0.5f,
                         DrawClipRectF[3] - 0.5f};
  PlacePieces(graph, x1 - 0.5f, y1 - 0.5f, sx, sy, inside, clip);
  return 0;
}

// ---------------------------------------------------------------- rotated

int G_D3D_DrawGraphRotated(GraphRecord* graph, float x, float y, double scale, double angle, int32_t flags,
                           int32_t turn) {
  if (!G_D3D_CanDraw()) return -1;
  if (scale == 0) return -1;
  if (Begin(graph, flags) != 0) return -1;
  const double sn = angle != 0 ? std::sin(angle) : 0.0, cs = angle != 0 ? std::cos(angle) : 1.0;
  const int32_t w = graph->width, h = graph->height;
  const bool oddW = (w & 1) != 0, oddH = (h & 1) != 0;
  const double fx = std::fabs(x - std::trunc(x)), fy = std::fabs(y - std::trunc(y));
  double cx = w * 0.5, cy = h * 0.5, px = x, py = y;
  bool fixX = false, fixY = false, symmetric = false;
  if (fx >= 0.00001 || fy >= 0.00001) {
    fixX = fixY = true;
  } else {
    if (scale == 1.0) {
      if (!oddW && !oddH) {
        cx = w / 2;
        cy = h / 2;
        px = x - 0.5;
        py = y - 0.5;
      } else if (oddW && oddH) {
        symmetric = true;
      } else {
        if (!oddW) cx -= 0.5;
        if (!oddH) cy -= 0.5;
      }
    } else {
      px = x - 0.5;
      py = y - 0.5;
      symmetric = true;
    }
    const bool near = angle != 0 && (oddW || oddH) && NearQuarterTurn(angle);
    fixX = near && oddW;
    fixY = near && oddH;
  }
  const double sx = turn == 1 ? -scale : scale, sy = scale;
  const bool textured = VertexBatch.vertexKind != 0;
  const bool reflect = symmetric && graph->drawPieceCount == 1;
  for (int32_t i = 0; i < graph->drawPieceCount; ++i) {
    const GraphDrawPiece& d = graph->drawPieces[i];
    UsePieceTexture(d);
    QuadCorner q[4];
    PieceCorners(d, q);
    for (int k = 0; k < 4; ++k) {
      if (reflect && k >= 2) continue;
      const double ox = sx * (q[k].gx - cx), oy = sy * (q[k].gy - cy);
      q[k].x = static_cast<float>(angle != 0 ? px + cs * ox - sn * oy : px + ox);
      q[k].y = static_cast<float>(angle != 0 ? py + sn * ox + cs * oy : py + oy);
    }
    if (reflect) {
      // Bottom-left and bottom-right as the point reflections of the top
      // corners about the centre.
      q[2].x = static_cast<float>(2 * px - q[1].x);
      q[2].y = static_cast<float>(2 * py - q[1].y);
      q[3].x = static_cast<float>(2 * px - q[0].x);
      q[3].y = static_cast<float>(2 * py - q[0].y);
    }
    if (textured && angle != 0) {
      auto onPixel = [&](float v) { return reflect || Fraction(v) < 0.001 || Fraction(v) > 0.999; };
      if (fixX && (std::fabs(q[0].x - q[2].x) < 0.01f || std::fabs(q[0].x - q[1].x) < 0.01f) && onPixel(q[0].x))
        for (QuadCorner& k : q) k.x -= 0.5f;
      if (fixY && (std::fabs(q[0].y - q[2].y) < 0.01f || std::fabs(q[0].y - q[1].y) < 0.01f) && onPixel(q[0].y))
        for (QuadCorner& k : q) k.y -= 0.5f;
    }
    AppendQuad(q);
  }
  return 0;
}

// ---------------------------------------------------------------- quadrilaterals

int G_D3D_DrawGraphQuad(GraphRecord* graph, const int32_t corners[8], int32_t trans) {
  if (!G_D3D_CanDraw()) return -1;
  const int32_t x1 = corners[0], y1 = corners[1], x2 = corners[2], y2 = corners[3];
  const int32_t x3 = corners[4], y3 = corners[5], x4 = corners[6], y4 = corners[7];
  if (x1 == x3 && x2 == x4 && y1 == y2 && y3 == y4)
    return G_D3D_DrawGraphStretched(graph, static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x4),
                                    static_cast<float>(y4), trans, 1);
  if (BlendGraph.handle == -1) {
    const float round[8] = {static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                            static_cast<float>(y2), static_cast<float>(x4), static_cast<float>(y4),
                            static_cast<float>(x3), static_cast<float>(y3)};
    return G_D3D_DrawGraphQuadF(graph, round, trans);
  }
  G_D3D_FlushVertexBatch();
  if (Begin(graph, (trans ? DrawPrepTransparency : 0) | DrawPrepKeepTransparency) != 0) return -1;
  const double w = graph->width, h = graph->height;
  for (int32_t i = 0; i < graph->drawPieceCount; ++i) {
    const GraphDrawPiece& d = graph->drawPieces[i];
    UsePieceTexture(d);
    QuadCorner q[4];
    PieceCorners(d, q);
    for (int k = 0; k < 4; ++k) {
      const double px = q[k].gx, py = q[k].gy;
      if (d.cornerFlags[k]) {
        q[k].x = static_cast<float>(x1 - 0.5 + px * (x2 - x1) / w + py * (x3 - x1) / h);
        q[k].y = static_cast<float>(y1 - 0.5 + px * (y2 - y1) / w + py * (y3 - y1) / h);
      } else {
        q[k].x = static_cast<float>(x4 - 0.5 + (px - w) * (x3 - x4) / -w + (py - h) * (x2 - x4) / -h);
        q[k].y = static_cast<float>(y4 - 0.5 + (px - w) * (y3 - y4) / -w + (py - h) * (y2 - y4) / -h);
      }
    }
    AppendQuad(q, WindingOrder(q));
  }
  return 0;
}

int G_D3D_DrawGraphQuadF(GraphRecord* graph, const float corners[8], int32_t trans) {
  if (!G_D3D_CanDraw() || graph == nullptr) return -1;
  // Top-left, top-right, bottom-left, bottom-right.
  const float c[8] = {corners[0], corners[1], corners[2], corners[3], corners[6], corners[7], corners[4], corners[5]};
  if (BlendGraph.handle != -1) {
    int32_t ints[8];
    for (int i = 0; i < 8; ++i) ints[i] = static_cast<int32_t>(c[i]);
    return G_D3D_DrawGraphQuad(graph, ints, trans);
  }
  if (Begin(graph, (trans ? DrawPrepTransparency : 0) | DrawPrepKeepTransparency) != 0) return -1;
  if (graph->drawPieceCount == 1) {
    const GraphDrawPiece& d = graph->drawPieces[0];
    UsePieceTexture(d);
    QuadCorner q[4];
    PieceCorners(d, q);
    for (int k = 0; k < 4; ++k) {
      q[k].x = c[2 * k];
      q[k].y = c[2 * k + 1];
    }
    AppendQuad(q);
    return 0;
  }
  const double w = graph->width, h = graph->height;
  for (int32_t i = 0; i < graph->drawPieceCount; ++i) {
    const GraphDrawPiece& d = graph->drawPieces[i];
    // The piece's corners by bilinear interpolation of the graph's at the
    // piece's bounds.
    float pc[8];
    for (int k = 0; k < 4; ++k) {
      const double fx = d.corners[k].x / w, fy = d.corners[k].y / h;
      for (int axis = 0; axis < 2; ++axis) {
        pc[2 * k + axis] = static_cast<float>(c[axis] * (1 - fx) * (1 - fy) + c[2 + axis] * fx * (1 - fy) +
                                              c[4 + axis] * (1 - fx) * fy + c[6 + axis] * fx * fy);
      }
    }
    G_D3D_DrawGraphPieceOnQuad(&d, pc);
  }
  return 0;
}

int G_D3D_DrawGraphPieceOnQuad(const GraphDrawPiece* piece, const float corners[8]) {
  if (!G_D3D_CanDraw() || piece == nullptr) return -1;
  UsePieceTexture(*piece);
  // The texture coordinates, each end moved in by a thousandth of a pixel
  // unless it lies on the texture's edge.
  float u0 = piece->corners[0].u, u1 = piece->corners[1].u, v0 = piece->corners[0].v, v1 = piece->corners[2].v;
  const float du = piece->width > 0 ? 0.001f * (u1 - u0) / static_cast<float>(piece->width) : 0.0f;
  const float dv = piece->height > 0 ? 0.001f * (v1 - v0) / static_cast<float>(piece->height) : 0.0f;
  if (u0 >= 0.000001f) u0 += du;
  if (u1 <= 0.99999f) u1 -= du;
  if (v0 >= 0.000001f) v0 += dv;
  if (v1 <= 0.99999f) v1 -= dv;
  const float* c = corners;
  const bool parallelogram = std::fabs((c[2] - c[0]) - (c[6] - c[4])) < 1 && std::fabs((c[3] - c[1]) - (c[7] - c[5])) < 1 &&
                             std::fabs((c[4] - c[0]) - (c[6] - c[2])) < 1 && std::fabs((c[5] - c[1]) - (c[7] - c[3])) < 1;
  if (parallelogram) {
    const QuadCorner q[4] = {{c[0], c[1], u0, v0, 0, 0},
                             {c[2], c[3], u1, v0, 0, 0},
                             {c[4], c[5], u0, v1, 0, 0},
                             {c[6], c[7], u1, v1, 0, 0}};
    const float a1 = SignedArea(q[0].x, q[0].y, q[1].x, q[1].y, q[2].x, q[2].y);
    const float a2 = SignedArea(q[3].x, q[3].y, q[2].x, q[2].y, q[1].x, q[1].y);
    static const int kSwapped[6] = {0, 2, 1, 3, 1, 2};
    AppendQuad(q, a1 <= 0 && a2 <= 0 ? kSwapped : nullptr);
    return 0;
  }
  BatchVertexTextured grid[64];
  for (int r = 0; r < 8; ++r) {
    const float t = static_cast<float>(r) / 7.0f;
    const float lx = c[0] + t * (c[4] - c[0]), ly = c[1] + t * (c[5] - c[1]);
    const float rx = c[2] + t * (c[6] - c[2]), ry = c[3] + t * (c[7] - c[3]);
    for (int col = 0; col < 8; ++col) {
      const float s = static_cast<float>(col) / 7.0f;
      BatchVertexTextured& v = grid[r * 8 + col];
      v.x = lx + s * (rx - lx);
      v.y = ly + s * (ry - ly);
      v.z = Draw2DDepth;
      v.rhw = 1.0f;
      v.diffuse = PackedDrawColor;
      v.u = u0 + s * (u1 - u0);
      v.v = v0 + t * (v1 - v0);
    }
  }
  return G_D3D_DrawGridMesh(8, 8, grid);
}

int G_D3D_DrawGridMesh(int32_t columns, int32_t rows, const BatchVertexTextured* vertices) {
  if (columns < 2 || rows < 2 || vertices == nullptr) return -1;
  if (!G_D3D_CanDraw()) return -1;
  G_D3D_FlushVertexBatch();
  G_D3D_BeginScene();
  SetTexturedFvf();
  uint16_t indices[1000];
  int32_t n = 0;
  auto draw = [&]() {
    if (n >= 3)
      Direct3DDevice->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, static_cast<UINT>(columns * rows),
                                             static_cast<UINT>(n - 2), indices, D3DFMT_INDEX16, vertices,
                                             sizeof(BatchVertexTextured));
    n = 0;
  };
  for (int32_t r = 0; r + 1 < rows; ++r) {
    const int32_t pair = 2 * columns;
    if (n > 0 && n + 2 + pair > 1000) draw();
    if (pair > 1000) return -1;
    if (n > 0) {
      // The degenerate join: the last index again, and the first of this pair.
      indices[n] = indices[n - 1];
      indices[n + 1] = static_cast<uint16_t>((r + 1) * columns);
      n += 2;
    }
    for (int32_t c = 0; c < columns; ++c) {
      indices[n++] = static_cast<uint16_t>((r + 1) * columns + c);
      indices[n++] = static_cast<uint16_t>(r * columns + c);
    }
  }
  draw();
  return 0;
}

int G_D3D_DrawPolygonList(GraphRecord* graph, const BatchVertexTextured* vertices, int32_t count, uint32_t type,
                          int32_t flags, int32_t turn, int32_t) {
  if (!G_D3D_CanDraw() || vertices == nullptr || count <= 0) return -1;
  G_D3D_FlushVertexBatch();
  G_D3D_BeginScene();
  // The list draws without the blend graph; its selection comes back after.
  BlendRequestState& q = D3DStateShadow.request;
  IDirect3DBaseTexture9* blendTexture = q.blendGraphTexture;
  G_D3D_SetBlendGraphTexture(nullptr, -1, -1);
  q.blendDirty = 1;
  const int32_t prep = flags | DrawPrepAddressing | (flags != 1 ? 0x78 : 0);
  G_D3D_PrepareDrawState(graph != nullptr && graph->surface != nullptr ? &graph->surface->request : nullptr,
                         GraphFirstTexture(graph), prep);
  SetTexturedFvf();
  const BatchVertexTextured* list = vertices;
  BatchVertexTextured* turned = nullptr;
  if (turn == 1) {
    turned = new BatchVertexTextured[static_cast<size_t>(count)];
    std::memcpy(turned, vertices, sizeof(BatchVertexTextured) * static_cast<size_t>(count));
    for (int32_t i = 0; i + 6 <= count; i += 6) {
      float lo = turned[i].u, hi = turned[i].u;
      for (int32_t k = 1; k < 6; ++k) {
        lo = std::min(lo, turned[i + k].u);
        hi = std::max(hi, turned[i + k].u);
      }
      for (int32_t k = 0; k < 6; ++k) turned[i + k].u = lo + hi - turned[i + k].u;
    }
    list = turned;
  }
  UINT primitives = 0;
  switch (type) {
    case D3DPT_POINTLIST:
      primitives = static_cast<UINT>(count);
      break;
    case D3DPT_LINELIST:
      primitives = static_cast<UINT>(count / 2);
      break;
    case D3DPT_LINESTRIP:
      primitives = static_cast<UINT>(count - 1);
      break;
    case D3DPT_TRIANGLELIST:
      primitives = static_cast<UINT>(count / 3);
      break;
    default:
      primitives = count > 2 ? static_cast<UINT>(count - 2) : 0;
      break;
  }
  if (primitives > 0 && !VertexBatch.skip)
    Direct3DDevice->DrawPrimitiveUP(type, primitives, list, sizeof(BatchVertexTextured));
  delete[] turned;
  if (blendTexture != nullptr) G_D3D_SetBlendGraphTexture(blendTexture, -1, -1);
  return 0;
}

// ---------------------------------------------------------------- render target

int G_D3D_SetRenderTarget(IDirect3DSurface9* surface) {
  if (Direct3DDevice == nullptr || surface == nullptr) return -1;
  if (surface == CurrentRenderTarget && !StateResendForced) return 0;
  G_D3D_FlushVertexBatch();
  Direct3DDevice->SetRenderTarget(0, surface);
  CurrentRenderTarget = surface;
  D3DSURFACE_DESC desc{};
  surface->GetDesc(&desc);
  const D3DVIEWPORT9 viewport = {0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
  // The device set this viewport with the target: the shadow follows it.
  const int32_t forced = StateResendForced;
  StateResendForced = 1;
  G_D3D_SetViewport(&viewport);
  StateResendForced = forced;
  return 0;
}
