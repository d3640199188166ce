#include "tools/mediagen/canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace mediagen {

namespace {

uint8_t Clamp8(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }
double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

}  // namespace

Rgba Mix(Rgba a, Rgba b, double t) {
  return {Clamp8(a.r + (b.r - a.r) * t), Clamp8(a.g + (b.g - a.g) * t), Clamp8(a.b + (b.b - a.b) * t),
          Clamp8(a.a + (b.a - a.a) * t)};
}

Rgba Shade(Rgba c, double f) {
  Rgba target = f > 0 ? Rgba{255, 255, 255, c.a} : Rgba{0, 0, 0, c.a};
  return Mix(c, target, std::fabs(f));
}

Rgba WithAlpha(Rgba c, uint8_t a) { return {c.r, c.g, c.b, a}; }

Rgba Hsv(double hue, double s, double v) {
  hue = std::fmod(hue, 360.0);
  if (hue < 0) hue += 360.0;
  double c = v * s;
  double x = c * (1 - std::fabs(std::fmod(hue / 60.0, 2.0) - 1));
  double m = v - c;
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(hue / 60.0)) {
    case 0: r = c, g = x; break;
    case 1: r = x, g = c; break;
    case 2: g = c, b = x; break;
    case 3: g = x, b = c; break;
    case 4: r = x, b = c; break;
    default: r = c, b = x; break;
  }
  return {Clamp8((r + m) * 255), Clamp8((g + m) * 255), Clamp8((b + m) * 255), 255};
}

Canvas::Canvas(int width, int height, Rgba fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

void Canvas::Blend(int x, int y, Rgba c, double coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  double sa = c.a / 255.0 * Clamp01(coverage);
  if (sa <= 0) return;
  Rgba& d = pixels_[static_cast<size_t>(y) * width_ + x];
  double da = d.a / 255.0;
  double oa = sa + da * (1 - sa);
  if (oa <= 0) {
    d = kTransparent;
    return;
  }
  auto channel = [&](uint8_t s, uint8_t dst) { return (s * sa + dst * da * (1 - sa)) / oa; };
  d = {Clamp8(channel(c.r, d.r)), Clamp8(channel(c.g, d.g)), Clamp8(channel(c.b, d.b)), Clamp8(oa * 255)};
}

bool Canvas::Opaque() const {
  return std::all_of(pixels_.begin(), pixels_.end(), [](Rgba p) { return p.a == 255; });
}

void Canvas::Clear(Rgba c) { std::fill(pixels_.begin(), pixels_.end(), c); }

template <typename Coverage>
void Canvas::FillShape(double x0, double y0, double x1, double y1, Rgba c, Coverage coverage) {
  int ix0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
  int iy0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
  int ix1 = std::min(width_, static_cast<int>(std::ceil(x1)) + 1);
  int iy1 = std::min(height_, static_cast<int>(std::ceil(y1)) + 1);
  for (int y = iy0; y < iy1; ++y)
    for (int x = ix0; x < ix1; ++x) {
      double cov = coverage(x + 0.5, y + 0.5);
      if (cov > 0) Blend(x, y, c, cov);
    }
}

void Canvas::FillRect(double x0, double y0, double x1, double y1, Rgba c) {
  FillShape(x0, y0, x1, y1, c, [&](double px, double py) {
    double cx = Clamp01(std::min(px + 0.5, x1) - std::max(px - 0.5, x0));
    double cy = Clamp01(std::min(py + 0.5, y1) - std::max(py - 0.5, y0));
    return cx * cy;
  });
}

void Canvas::StrokeRect(double x0, double y0, double x1, double y1, double t, Rgba c) {
  FillRect(x0, y0, x1, y0 + t, c);
  FillRect(x0, y1 - t, x1, y1, c);
  FillRect(x0, y0 + t, x0 + t, y1 - t, c);
  FillRect(x1 - t, y0 + t, x1, y1 - t, c);
}

namespace {

// Signed distance from a point to a rounded box (negative inside).
double RoundRectDistance(double px, double py, double x0, double y0, double x1, double y1, double r) {
  double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  double hx = (x1 - x0) / 2 - r, hy = (y1 - y0) / 2 - r;
  double qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
  double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return outside + std::min(std::max(qx, qy), 0.0) - r;
}

// Approximate signed distance to an ellipse (exact for a circle).
double EllipseDistance(double px, double py, double cx, double cy, double rx, double ry) {
  double dx = (px - cx) / rx, dy = (py - cy) / ry;
  double k = std::sqrt(dx * dx + dy * dy);
  if (k == 0) return -std::min(rx, ry);
  double gx = dx / rx, gy = dy / ry;
  double g = std::sqrt(gx * gx + gy * gy) / k;
  return (k - 1) / std::max(g, 1e-9);
}

double SegmentDistance(double px, double py, double x0, double y0, double x1, double y1) {
  double vx = x1 - x0, vy = y1 - y0;
  double len2 = vx * vx + vy * vy;
  double t = len2 > 0 ? Clamp01(((px - x0) * vx + (py - y0) * vy) / len2) : 0.0;
  return std::hypot(px - (x0 + t * vx), py - (y0 + t * vy));
}

}  // namespace

void Canvas::FillRoundRect(double x0, double y0, double x1, double y1, double r, Rgba c) {
  r = std::min({r, (x1 - x0) / 2, (y1 - y0) / 2});
  FillShape(x0, y0, x1, y1, c,
            [&](double px, double py) { return Clamp01(0.5 - RoundRectDistance(px, py, x0, y0, x1, y1, r)); });
}

void Canvas::StrokeRoundRect(double x0, double y0, double x1, double y1, double r, double t, Rgba c) {
  r = std::min({r, (x1 - x0) / 2, (y1 - y0) / 2});
  double mid = t / 2;
  FillShape(x0, y0, x1, y1, c, [&](double px, double py) {
    double d = RoundRectDistance(px, py, x0 + mid, y0 + mid, x1 - mid, y1 - mid, std::max(0.0, r - mid));
    return Clamp01(mid + 0.5 - std::fabs(d));
  });
}

void Canvas::VerticalGradient(double x0, double y0, double x1, double y1, Rgba top, Rgba bottom) {
  for (int y = std::max(0, static_cast<int>(y0)); y < std::min(height_, static_cast<int>(std::ceil(y1))); ++y) {
    Rgba c = Mix(top, bottom, y1 - y0 > 1 ? (y - y0) / (y1 - y0 - 1) : 0.0);
    FillRect(x0, y, x1, y + 1, c);
  }
}

void Canvas::HorizontalGradient(double x0, double y0, double x1, double y1, Rgba left, Rgba right) {
  for (int x = std::max(0, static_cast<int>(x0)); x < std::min(width_, static_cast<int>(std::ceil(x1))); ++x) {
    Rgba c = Mix(left, right, x1 - x0 > 1 ? (x - x0) / (x1 - x0 - 1) : 0.0);
    FillRect(x, y0, x + 1, y1, c);
  }
}

void Canvas::RadialGradient(double cx, double cy, double radius, Rgba inner, Rgba outer) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      double t = Clamp01(std::hypot(x + 0.5 - cx, y + 0.5 - cy) / radius);
      Blend(x, y, Mix(inner, outer, t));
    }
}

void Canvas::FillEllipse(double cx, double cy, double rx, double ry, Rgba c) {
  FillShape(cx - rx, cy - ry, cx + rx, cy + ry, c,
            [&](double px, double py) { return Clamp01(0.5 - EllipseDistance(px, py, cx, cy, rx, ry)); });
}

void Canvas::StrokeEllipse(double cx, double cy, double rx, double ry, double t, Rgba c) {
  double h = t / 2;
  FillShape(cx - rx - h, cy - ry - h, cx + rx + h, cy + ry + h, c, [&](double px, double py) {
    return Clamp01(h + 0.5 - std::fabs(EllipseDistance(px, py, cx, cy, rx, ry)));
  });
}

void Canvas::Line(double x0, double y0, double x1, double y1, double t, Rgba c) {
  double h = t / 2;
  FillShape(std::min(x0, x1) - h, std::min(y0, y1) - h, std::max(x0, x1) + h, std::max(y0, y1) + h, c,
            [&](double px, double py) { return Clamp01(h + 0.5 - SegmentDistance(px, py, x0, y0, x1, y1)); });
}

void Canvas::Polyline(const std::vector<Point>& p, double t, Rgba c, bool closed) {
  // One coverage pass over the whole line, so joints are not drawn twice.
  if (p.empty()) return;
  double h = t / 2;
  double x0 = p[0].x, y0 = p[0].y, x1 = x0, y1 = y0;
  for (const Point& q : p) {
    x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
  }
  size_t n = p.size();
  size_t segments = closed ? n : n - 1;
  FillShape(x0 - h, y0 - h, x1 + h, y1 + h, c, [&](double px, double py) {
    double d = 1e9;
    for (size_t i = 0; i < segments; ++i) {
      const Point& a = p[i];
      const Point& b = p[(i + 1) % n];
      d = std::min(d, SegmentDistance(px, py, a.x, a.y, b.x, b.y));
    }
    return Clamp01(h + 0.5 - d);
  });
}

void Canvas::FillPolygon(const std::vector<Point>& p, Rgba c) {
  if (p.size() < 3) return;
  double x0 = p[0].x, y0 = p[0].y, x1 = x0, y1 = y0;
  for (const Point& q : p) {
    x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
  }
  size_t n = p.size();
  FillShape(x0, y0, x1, y1, c, [&](double px, double py) {
    bool inside = false;
    double d = 1e9;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
      const Point& a = p[i];
      const Point& b = p[j];
      if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) inside = !inside;
      d = std::min(d, SegmentDistance(px, py, a.x, a.y, b.x, b.y));
    }
    return inside ? Clamp01(0.5 + d) : Clamp01(0.5 - d);
  });
}

void Canvas::FillStar(double cx, double cy, double r, double inner, int points, Rgba c, double turn) {
  std::vector<Point> p;
  for (int i = 0; i < points * 2; ++i) {
    double a = -M_PI / 2 + turn + i * M_PI / points;
    double rr = i % 2 ? r * inner : r;
    p.push_back({cx + rr * std::cos(a), cy + rr * std::sin(a)});
  }
  FillPolygon(p, c);
}

void Canvas::Draw(const Canvas& s, int x, int y) {
  for (int sy = 0; sy < s.height(); ++sy)
    for (int sx = 0; sx < s.width(); ++sx) Blend(x + sx, y + sy, s.At(sx, sy));
}

void Canvas::DrawScaled(const Canvas& s, int x, int y, int w, int h) {
  if (w <= 0 || h <= 0 || s.width() == 0 || s.height() == 0) return;
  for (int dy = 0; dy < h; ++dy) {
    int sy0 = dy * s.height() / h, sy1 = std::max(sy0 + 1, (dy + 1) * s.height() / h);
    for (int dx = 0; dx < w; ++dx) {
      int sx0 = dx * s.width() / w, sx1 = std::max(sx0 + 1, (dx + 1) * s.width() / w);
      double r = 0, g = 0, b = 0, a = 0;
      int n = 0;
      for (int sy = sy0; sy < sy1; ++sy)
        for (int sx = sx0; sx < sx1; ++sx) {
          Rgba p = s.At(sx, sy);
          r += p.r * p.a, g += p.g * p.a, b += p.b * p.a, a += p.a;
          ++n;
        }
      if (a <= 0) continue;
      Blend(x + dx, y + dy, {Clamp8(r / a), Clamp8(g / a), Clamp8(b / a), Clamp8(a / n)});
    }
  }
}

Canvas Canvas::Mirrored() const {
  Canvas m(width_, height_);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) m.Set(width_ - 1 - x, y, At(x, y));
  return m;
}

// ---- Text ----

namespace {

const char* const kFontFiles[] = {
    "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf",
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
    "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf",
};

struct Glyph {
  int left = 0, top = 0, width = 0, rows = 0, advance = 0;
  std::vector<uint8_t> bitmap;
};

// The font and its rendered glyphs by (size, code point); generation may
// run on several threads, so the cache is locked.
class Font {
 public:
  static Font& Get() {
    static Font font;
    return font;
  }
  bool ok() const { return face_ != nullptr; }
  const std::string& error() const { return error_; }
  int Ascender(int size) {
    std::lock_guard<std::mutex> lock(mutex_);
    FT_Set_Pixel_Sizes(face_, 0, size);
    return static_cast<int>(face_->size->metrics.ascender >> 6);
  }
  Glyph Render(int size, char32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto key = std::make_pair(size, code);
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    Glyph g;
    FT_Set_Pixel_Sizes(face_, 0, size);
    if (FT_Load_Char(face_, code, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) == 0) {
      FT_GlyphSlot s = face_->glyph;
      g.left = s->bitmap_left;
      g.top = s->bitmap_top;
      g.width = static_cast<int>(s->bitmap.width);
      g.rows = static_cast<int>(s->bitmap.rows);
      g.advance = static_cast<int>((s->advance.x + 32) >> 6);
      for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x) g.bitmap.push_back(s->bitmap.buffer[y * s->bitmap.pitch + x]);
    }
    cache_.emplace(key, g);
    return g;
  }

 private:
  Font() {
    if (FT_Init_FreeType(&library_) != 0) {
      error_ = "FreeType cannot start";
      return;
    }
    for (const char* path : kFontFiles)
      if (FT_New_Face(library_, path, 0, &face_) == 0) return;
    face_ = nullptr;
    error_ = "no IPA Gothic font file (install fonts-ipafont-gothic)";
  }
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  std::string error_;
  std::mutex mutex_;
  std::map<std::pair<int, char32_t>, Glyph> cache_;
};

std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    char32_t cp = c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) cp = c & (0x3F >> extra);
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i) cp = cp << 6 | (static_cast<unsigned char>(s[i]) & 0x3F);
    out.push_back(cp);
  }
  return out;
}

}  // namespace

bool FontAvailable(std::string* error) {
  if (Font::Get().ok()) return true;
  if (error) *error = Font::Get().error();
  return false;
}

int TextWidth(std::string_view utf8, int size) {
  Font& font = Font::Get();
  if (!font.ok()) return 0;
  int w = 0;
  for (char32_t c : DecodeUtf8(utf8)) w += font.Render(size, c).advance;
  return w;
}

void Canvas::Text(double x, double y, std::string_view utf8, int size, Rgba c, Align align, int outlineWidth,
                  Rgba outline) {
  Font& font = Font::Get();
  if (!font.ok()) return;
  int w = TextWidth(utf8, size);
  double pen = align == Align::Left ? x : align == Align::Centre ? x - w / 2.0 : x - w;
  int baseline = static_cast<int>(std::lround(y)) + font.Ascender(size);
  std::vector<std::pair<int, Glyph>> glyphs;
  int penX = static_cast<int>(std::lround(pen));
  for (char32_t code : DecodeUtf8(utf8)) {
    Glyph g = font.Render(size, code);
    glyphs.emplace_back(penX, g);
    penX += g.advance;
  }
  auto paint = [&](Rgba colour, int dx, int dy) {
    for (const auto& [gx, g] : glyphs)
      for (int row = 0; row < g.rows; ++row)
        for (int col = 0; col < g.width; ++col) {
          uint8_t v = g.bitmap[row * g.width + col];
          if (v) Blend(gx + g.left + col + dx, baseline - g.top + row + dy, colour, v / 255.0);
        }
  };
  if (outlineWidth > 0)
    for (int dy = -outlineWidth; dy <= outlineWidth; ++dy)
      for (int dx = -outlineWidth; dx <= outlineWidth; ++dx)
        if ((dx || dy) && dx * dx + dy * dy <= outlineWidth * outlineWidth + 1) paint(outline, dx, dy);
  paint(c, 0, 0);
}

void Canvas::TextCentred(double cx, double cy, std::string_view utf8, int size, Rgba c, int maxWidth,
                         int outlineWidth, Rgba outline) {
  if (maxWidth > 0)
    while (size > 6 && TextWidth(utf8, size) + 2 * outlineWidth > maxWidth) --size;
  // The line box is about 1.1 sizes high; the glyphs sit a little above its middle.
  Text(cx, cy - size * 0.55, utf8, size, c, Align::Centre, outlineWidth, outline);
}

// ---- PNG ----

std::vector<uint8_t> EncodePng(const Canvas& canvas, bool forceAlpha) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + length);
      },
      nullptr);
  bool alpha = forceAlpha || !canvas.Opaque();
  png_set_IHDR(png, info, canvas.width(), canvas.height(), 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Unfiltered rows at level 3: the drawn pictures (flat fills, outlines,
  // text) compress as small this way as with the row filters, and a reader
  // skips the per-byte undoing of a filter on every row, which took a third
  // of the program's decoding time.
  png_set_compression_level(png, 3);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_write_info(png, info);
  int channels = alpha ? 4 : 3;
  std::vector<uint8_t> row(static_cast<size_t>(canvas.width()) * channels);
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      Rgba p = canvas.At(x, y);
      uint8_t* d = &row[static_cast<size_t>(x) * channels];
      d[0] = p.r, d[1] = p.g, d[2] = p.b;
      if (alpha) d[3] = p.a;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

namespace {

// The header of a PNG file read into a simplified-API image.
bool BeginPng(const std::string& path, png_image* image) {
  std::memset(image, 0, sizeof *image);
  image->version = PNG_IMAGE_VERSION;
  return png_image_begin_read_from_file(image, path.c_str()) != 0;
}

}  // namespace

bool ReadPng(const std::string& path, Canvas* canvas) {
  png_image image;
  if (!BeginPng(path, &image)) return false;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> buffer(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  *canvas = Canvas(static_cast<int>(image.width), static_cast<int>(image.height));
  for (int y = 0; y < canvas->height(); ++y)
    for (int x = 0; x < canvas->width(); ++x) {
      const uint8_t* p = &buffer[(static_cast<size_t>(y) * canvas->width() + x) * 4];
      canvas->Set(x, y, {p[0], p[1], p[2], p[3]});
    }
  return true;
}

bool ReadPngInfo(const std::string& path, PngInfo* info) {
  png_image image;
  if (!BeginPng(path, &image)) return false;
  info->width = static_cast<int>(image.width);
  info->height = static_cast<int>(image.height);
  info->alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png_image_free(&image);
  return true;
}

}  // namespace mediagen
