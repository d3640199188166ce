// An RGBA picture with the drawing operations the stand-in media need:
// boxes, gradients, anti-aliased discs, rings, thick lines and polygons,
// text in the IPA Gothic font, and PNG files written and read back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mediagen {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
};

constexpr Rgba kTransparent{0, 0, 0, 0};
constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kBlack{0, 0, 0, 255};

// Colour helpers: a mix of two colours (t = 0 gives a), a colour made
// lighter (f > 0) or darker (f < 0), the same colour with another alpha, and
// a colour from hue (degrees), saturation and value (0..1).
Rgba Mix(Rgba a, Rgba b, double t);
Rgba Shade(Rgba c, double f);
Rgba WithAlpha(Rgba c, uint8_t a);
Rgba Hsv(double hue, double saturation, double value);

struct Point {
  double x = 0, y = 0;
};

enum class Align { Left, Centre, Right };

class Canvas {
 public:
  Canvas() = default;
  Canvas(int width, int height, Rgba fill = kTransparent);

  int width() const { return width_; }
  int height() const { return height_; }
  Rgba At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  void Set(int x, int y, Rgba c) { pixels_[static_cast<size_t>(y) * width_ + x] = c; }
  // The colour c laid over the pixel with coverage 0..1 (source over).
  void Blend(int x, int y, Rgba c, double coverage = 1.0);
  const std::vector<Rgba>& pixels() const { return pixels_; }
  // True when every pixel is fully opaque.
  bool Opaque() const;

  void Clear(Rgba c);
  void FillRect(double x0, double y0, double x1, double y1, Rgba c);
  void StrokeRect(double x0, double y0, double x1, double y1, double thickness, Rgba c);
  // Corners rounded with radius r.
  void FillRoundRect(double x0, double y0, double x1, double y1, double r, Rgba c);
  void StrokeRoundRect(double x0, double y0, double x1, double y1, double r, double thickness, Rgba c);
  // A gradient over a box, from top to bottom or from left to right.
  void VerticalGradient(double x0, double y0, double x1, double y1, Rgba top, Rgba bottom);
  void HorizontalGradient(double x0, double y0, double x1, double y1, Rgba left, Rgba right);
  // Colour from the centre outwards, reaching outer at radius.
  void RadialGradient(double cx, double cy, double radius, Rgba inner, Rgba outer);
  void FillEllipse(double cx, double cy, double rx, double ry, Rgba c);
  void FillCircle(double cx, double cy, double r, Rgba c) { FillEllipse(cx, cy, r, r, c); }
  void StrokeEllipse(double cx, double cy, double rx, double ry, double thickness, Rgba c);
  void StrokeCircle(double cx, double cy, double r, double thickness, Rgba c) {
    StrokeEllipse(cx, cy, r, r, thickness, c);
  }
  // A segment with round ends.
  void Line(double x0, double y0, double x1, double y1, double thickness, Rgba c);
  void Polyline(const std::vector<Point>& points, double thickness, Rgba c, bool closed = false);
  void FillPolygon(const std::vector<Point>& points, Rgba c);
  // A star of n points (outer radius r, inner radius r * inner), first point up.
  void FillStar(double cx, double cy, double r, double inner, int points, Rgba c, double turn = 0.0);
  // Another canvas laid over this one with its top-left at (x, y).
  void Draw(const Canvas& source, int x, int y);
  // Another canvas scaled into the box (x, y, w, h), box-filtered.
  void DrawScaled(const Canvas& source, int x, int y, int w, int h);
  // The canvas mirrored left to right.
  Canvas Mirrored() const;

  // Text in the IPA Gothic font (UTF-8). y is the top of the line box; the
  // outline, when its width is above 0, is drawn around every glyph.
  void Text(double x, double y, std::string_view utf8, int pixelSize, Rgba c, Align align = Align::Left,
            int outlineWidth = 0, Rgba outline = kBlack);
  // Text centred on (cx, cy) and shrunk until it fits maxWidth.
  void TextCentred(double cx, double cy, std::string_view utf8, int pixelSize, Rgba c, int maxWidth = 0,
                   int outlineWidth = 0, Rgba outline = kBlack);

 private:
  // Coverage of a shape given by an inside test, 4 x 4 samples a pixel, over
  // the pixels of the box.
  template <typename Inside>
  void FillShape(double x0, double y0, double x1, double y1, Rgba c, Inside inside);

  int width_ = 0;
  int height_ = 0;
  std::vector<Rgba> pixels_;
};

// Width in pixels of a text at a size.
int TextWidth(std::string_view utf8, int pixelSize);
// False with a reason when no IPA Gothic font file is found.
bool FontAvailable(std::string* error);

// The PNG image of a canvas: RGBA when any pixel is not opaque, else RGB.
// Deterministic: the same canvas always gives the same bytes.
std::vector<uint8_t> EncodePng(const Canvas& canvas, bool forceAlpha = false);
// Reads a PNG file into a canvas; false when it is no readable PNG.
bool ReadPng(const std::string& path, Canvas* canvas);
// The header of a PNG file: size and whether it carries an alpha channel.
struct PngInfo {
  int width = 0;
  int height = 0;
  bool alpha = false;
};
bool ReadPngInfo(const std::string& path, PngInfo* info);

}  // namespace mediagen
