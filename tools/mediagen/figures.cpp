#include "tools/mediagen/figures.h"

#include <cmath>
#include <cstring>
#include <cstdint>

namespace mediagen {

namespace {

const CharacterLook kCharacters[6] = {
    {"tavisha", "タヴィシャ", {220, 50, 50, 255}, {120, 30, 30, 255}},
    {"belnora", "ベルノーラ", {50, 100, 225, 255}, {240, 230, 200, 255}},
    {"quendri", "クェンドリ", {40, 165, 70, 255}, {90, 60, 30, 255}},
    {"falisse", "ファリッセ", {245, 185, 30, 255}, {200, 90, 20, 255}},
    {"odwyna", "オドウィナ", {145, 70, 200, 255}, {40, 30, 70, 255}},
    {"jurelle", "ジュレール", {30, 190, 200, 255}, {230, 110, 170, 255}},
};

constexpr Rgba kSkin{255, 220, 185, 255};
constexpr Rgba kInk{40, 30, 30, 255};

double Rad(double degrees) { return degrees * M_PI / 180.0; }

}  // namespace

const CharacterLook& Character(int index) { return kCharacters[index % 6]; }

Rgba NameColour(const std::string& name) {
  uint32_t h = 2166136261u;
  for (unsigned char ch : name) h = (h ^ ch) * 16777619u;
  return Hsv(h % 360, 0.55 + (h >> 12) % 30 / 100.0, 0.75 + (h >> 20) % 20 / 100.0);
}

void DrawHead(Canvas& c, const CharacterLook& look, double cx, double cy, double r, Facing facing, Eyes eyes) {
  double line = std::max(1.0, r / 9);
  c.FillCircle(cx, cy, r + line, kInk);
  c.FillCircle(cx, cy, r, kSkin);
  // Hair: a cap over the top (the whole head from behind).
  if (facing == Facing::Back) {
    c.FillCircle(cx, cy, r, look.hair);
    c.FillEllipse(cx, cy + r * 0.55, r * 0.7, r * 0.35, Shade(look.hair, -0.2));
    return;
  }
  std::vector<Point> cap;
  for (int i = 0; i <= 20; ++i) {
    double a = M_PI + M_PI * i / 20;
    cap.push_back({cx + r * 1.02 * std::cos(a), cy - r * 0.1 + r * 1.02 * std::sin(a)});
  }
  if (facing == Facing::Right) {
    cap.push_back({cx - r * 0.2, cy - r * 0.05});
    cap.push_back({cx - r * 1.0, cy + r * 0.5});
  } else {
    cap.push_back({cx + r * 1.0, cy + r * 0.2});
    cap.push_back({cx + r * 0.5, cy - r * 0.35});
    cap.push_back({cx, cy - r * 0.2});
    cap.push_back({cx - r * 0.5, cy - r * 0.35});
    cap.push_back({cx - r * 1.0, cy + r * 0.2});
  }
  c.FillPolygon(cap, look.hair);
  // A band in the outfit colour marks the character even in tiny pictures.
  c.Line(cx - r * 0.75, cy - r * 0.62, cx + r * 0.75, cy - r * 0.62, std::max(1.5, r * 0.18), look.body);
  // Face.
  double ex = facing == Facing::Right ? r * 0.25 : 0;
  double eyeY = cy + r * 0.15;
  double spread = facing == Facing::Right ? r * 0.3 : r * 0.38;
  for (int side : {-1, 1}) {
    if (facing == Facing::Right && side < 0) continue;
    double x = cx + ex + side * spread;
    switch (eyes) {
      case Eyes::Open:
        c.FillEllipse(x, eyeY, r * 0.12, r * 0.2, kInk);
        c.FillCircle(x + r * 0.04, eyeY - r * 0.08, r * 0.05, kWhite);
        break;
      case Eyes::Happy:
        c.Polyline({{x - r * 0.13, eyeY + r * 0.05}, {x, eyeY - r * 0.1}, {x + r * 0.13, eyeY + r * 0.05}},
                   std::max(1.0, r * 0.08), kInk);
        break;
      case Eyes::Hurt:
        c.Line(x - r * 0.12, eyeY - r * 0.12, x + r * 0.12, eyeY + r * 0.12, std::max(1.0, r * 0.08), kInk);
        c.Line(x - r * 0.12, eyeY + r * 0.12, x + r * 0.12, eyeY - r * 0.12, std::max(1.0, r * 0.08), kInk);
        break;
      case Eyes::Closed:
        c.Line(x - r * 0.13, eyeY, x + r * 0.13, eyeY, std::max(1.0, r * 0.08), kInk);
        break;
    }
  }
  if (r >= 6) {
    double mx = cx + ex * 1.3;
    if (eyes == Eyes::Hurt)
      c.StrokeEllipse(mx, cy + r * 0.55, r * 0.12, r * 0.1, std::max(1.0, r * 0.06), kInk);
    else
      c.Polyline({{mx - r * 0.18, cy + r * 0.48}, {mx, cy + r * 0.6}, {mx + r * 0.18, cy + r * 0.48}},
                 std::max(1.0, r * 0.07), kInk);
    if (facing == Facing::Front) {
      c.FillEllipse(cx - r * 0.6, cy + r * 0.4, r * 0.14, r * 0.08, {255, 150, 150, 160});
      c.FillEllipse(cx + r * 0.6, cy + r * 0.4, r * 0.14, r * 0.08, {255, 150, 150, 160});
    }
  }
}

void DrawFigure(Canvas& c, const CharacterLook& look, double cx, double groundY, double h, const Pose& p) {
  // Proportions of a small, big-headed figure.
  double legLen = h * 0.24 * (1 - 0.45 * p.crouch);
  double hipY = groundY - legLen - h * 0.02;
  double bodyH = h * 0.3;
  double bodyW = h * 0.3 * p.squeeze;
  double lean = Rad(p.lean);
  double neckX = cx + std::sin(lean) * bodyH, neckY = hipY - std::cos(lean) * bodyH;
  double headR = h * 0.2;
  double headX = neckX + std::sin(lean) * headR, headY = neckY - headR * 0.95;
  double limb = std::max(1.5, h * 0.075);
  double outline = std::max(1.0, h * 0.02);
  auto limbLine = [&](double x0, double y0, double angle, double len, Rgba colour, bool hand, bool ball = false) {
    double x1 = x0 + std::sin(Rad(angle)) * len, y1 = y0 + std::cos(Rad(angle)) * len;
    c.Line(x0, y0, x1, y1, limb + outline * 2, kInk);
    c.Line(x0, y0, x1, y1, limb, colour);
    if (hand) {
      c.FillCircle(x1, y1, limb * 0.75 + outline, kInk);
      c.FillCircle(x1, y1, limb * 0.75, kSkin);
      if (ball) {
        c.FillCircle(x1 + limb * 1.2, y1, limb * 1.1 + outline, kInk);
        c.FillCircle(x1 + limb * 1.2, y1, limb * 1.1, {255, 250, 140, 255});
      }
    }
  };
  // Legs with a bend at the knee when crouching.
  for (int side : {-1, 1}) {
    double angle = side < 0 ? p.legLeft : p.legRight;
    double hx = cx + side * bodyW * 0.25;
    double upper = legLen * 0.55, lower = legLen * 0.55;
    double kneeAngle = angle + side * 30 * p.crouch;
    double kx = hx + std::sin(Rad(kneeAngle)) * upper, ky = hipY + std::cos(Rad(kneeAngle)) * upper;
    c.Line(hx, hipY, kx, ky, limb + outline * 2, kInk);
    c.Line(hx, hipY, kx, ky, limb, Shade(look.body, -0.45));
    limbLine(kx, ky, angle - side * 30 * p.crouch, lower, Shade(look.body, -0.45), false);
    double fx = kx + std::sin(Rad(angle - side * 30 * p.crouch)) * lower;
    double fy = ky + std::cos(Rad(angle - side * 30 * p.crouch)) * lower;
    double toe = p.facing == Facing::Right ? limb * 0.6 : 0;
    c.FillEllipse(fx + toe, fy, limb * 0.9 + outline, limb * 0.55 + outline, kInk);
    c.FillEllipse(fx + toe, fy, limb * 0.9, limb * 0.55, {90, 60, 40, 255});
  }
  // The arm behind the body first.
  double shoulderY = neckY + bodyH * 0.18;
  limbLine(neckX - bodyW * 0.42, shoulderY, p.armLeft, h * 0.23, look.body, true);
  // Body: a rounded tunic, leaning.
  std::vector<Point> body = {{neckX - bodyW * 0.38, neckY}, {neckX + bodyW * 0.38, neckY},
                             {cx + bodyW * 0.55, hipY + h * 0.04}, {cx - bodyW * 0.55, hipY + h * 0.04}};
  std::vector<Point> rim;
  for (const Point& q : body) rim.push_back(q);
  c.Polyline(rim, outline * 2 + 0.5, kInk, true);
  c.FillPolygon(body, look.body);
  c.Line(cx - bodyW * 0.5, hipY - h * 0.02, cx + bodyW * 0.5, hipY - h * 0.02, std::max(1.0, h * 0.03),
         Shade(look.body, -0.35));
  if (p.facing != Facing::Back) c.FillCircle(neckX, neckY + bodyH * 0.35, std::max(1.0, h * 0.035), kWhite);
  limbLine(neckX + bodyW * 0.42, shoulderY, p.armRight, h * 0.23, look.body, true, p.ball);
  DrawHead(c, look, headX, headY, headR, p.facing, p.eyes);
}

void DrawPortrait(Canvas& c, const std::string& name, const std::string& label) {
  Rgba colour = NameColour(name);
  CharacterLook look{name.c_str(), name.c_str(), colour, Shade(NameColour(name + "hair"), -0.3)};
  double w = c.width(), h = c.height();
  // Shoulders and a collar.
  c.FillRoundRect(w * 0.12, h * 0.62, w * 0.88, h + 20, w * 0.2, kInk);
  c.FillRoundRect(w * 0.14, h * 0.635, w * 0.86, h + 20, w * 0.19, colour);
  c.FillPolygon({{w * 0.4, h * 0.64}, {w * 0.6, h * 0.64}, {w * 0.5, h * 0.76}}, kWhite);
  // Each character gets one of four looks from its name: long hair, a
  // pointed hat, a ribbon or a crown.
  uint32_t style = 2166136261u;
  for (unsigned char ch : name) style = (style ^ ch) * 16777619u;
  double hx = w * 0.5, hy = h * 0.4, hr = w * 0.27;
  if (style % 4 == 0) c.FillRoundRect(hx - hr * 1.15, hy - hr * 0.6, hx + hr * 1.15, hy + hr * 1.5, hr * 0.6, look.hair);
  DrawHead(c, look, hx, hy, hr, Facing::Front, Eyes::Open);
  if (style % 4 == 1) {
    c.FillPolygon({{hx - hr * 1.1, hy - hr * 0.55}, {hx + hr * 1.1, hy - hr * 0.55}, {hx + hr * 0.2, hy - hr * 2.0}}, kInk);
    c.FillPolygon({{hx - hr * 0.95, hy - hr * 0.62}, {hx + hr * 0.95, hy - hr * 0.62}, {hx + hr * 0.18, hy - hr * 1.85}},
                  Shade(colour, -0.25));
    c.FillStar(hx + hr * 0.1, hy - hr * 1.05, hr * 0.22, 0.45, 5, {255, 230, 90, 255});
  } else if (style % 4 == 2) {
    c.FillPolygon({{hx + hr * 0.5, hy - hr * 0.9}, {hx + hr * 1.2, hy - hr * 1.3}, {hx + hr * 1.1, hy - hr * 0.5}}, {240, 80, 120, 255});
    c.FillPolygon({{hx + hr * 0.5, hy - hr * 0.9}, {hx - hr * 0.1, hy - hr * 1.4}, {hx, hy - hr * 0.6}}, {240, 80, 120, 255});
    c.FillCircle(hx + hr * 0.5, hy - hr * 0.9, hr * 0.15, {200, 40, 80, 255});
  } else if (style % 4 == 3) {
    c.FillPolygon({{hx - hr * 0.6, hy - hr * 0.8}, {hx - hr * 0.6, hy - hr * 1.35}, {hx - hr * 0.3, hy - hr * 1.05},
                   {hx, hy - hr * 1.45}, {hx + hr * 0.3, hy - hr * 1.05}, {hx + hr * 0.6, hy - hr * 1.35},
                   {hx + hr * 0.6, hy - hr * 0.8}},
                  {245, 200, 40, 255});
  }
  c.FillRoundRect(w * 0.05, h - 26, w * 0.95, h - 3, 6, {20, 20, 40, 220});
  c.TextCentred(w * 0.5, h - 14.5, label, 14, kWhite, static_cast<int>(w * 0.86));
}

void DrawCoin(Canvas& c, double cx, double cy, double r) {
  c.FillCircle(cx, cy, r, {150, 100, 0, 255});
  c.FillCircle(cx, cy, r * 0.85, {250, 200, 40, 255});
  c.FillCircle(cx - r * 0.2, cy - r * 0.2, r * 0.35, {255, 240, 150, 255});
  c.StrokeCircle(cx, cy, r * 0.6, std::max(1.0, r * 0.12), {200, 140, 0, 255});
}

void DrawStarShape(Canvas& c, double cx, double cy, double r, Rgba fill) {
  c.FillStar(cx, cy + r * 0.05, r, 0.45, 5, Shade(fill, -0.5));
  c.FillStar(cx, cy + r * 0.05, r * 0.82, 0.45, 5, fill);
  c.FillStar(cx - r * 0.1, cy - r * 0.05, r * 0.3, 0.45, 5, Shade(fill, 0.6));
}

void DrawUpArrow(Canvas& c, double cx, double top, double bottom, double width, Rgba fill) {
  double head = (bottom - top) * 0.45;
  std::vector<Point> p = {{cx, top},
                          {cx + width / 2, top + head},
                          {cx + width * 0.2, top + head},
                          {cx + width * 0.2, bottom},
                          {cx - width * 0.2, bottom},
                          {cx - width * 0.2, top + head},
                          {cx - width / 2, top + head}};
  c.Polyline(p, 3, kBlack, true);
  c.FillPolygon(p, fill);
}

std::string PortraitName(const std::string& fileName) {
  std::string name = fileName;
  for (const char* mark : {"ver1", "_L", "edg"}) {
    size_t at = name.rfind(mark);
    if (at != std::string::npos && at > 0 && at + std::strlen(mark) == name.size()) name.erase(at);
  }
  return name;
}

void DrawToken(Canvas& c, const std::string& symbol, const std::string& caption, Rgba colour) {
  double w = c.width(), h = c.height();
  double m = std::max(1.0, std::min(w, h) * 0.06);
  c.FillRoundRect(m, m, w - m, h - m, std::min(w, h) * 0.25, Shade(colour, -0.5));
  c.FillRoundRect(m * 2, m * 2, w - m * 2, h - m * 2, std::min(w, h) * 0.22, colour);
  c.VerticalGradient(m * 3, m * 3, w - m * 3, h * 0.45, WithAlpha(kWhite, 110), WithAlpha(kWhite, 0));
  int size = static_cast<int>(std::min(w, h) * (caption.empty() ? 0.55 : 0.42));
  double cy = caption.empty() ? h / 2 : h * 0.42;
  c.TextCentred(w / 2, cy, symbol, size, kWhite, static_cast<int>(w - m * 6), std::max(1, size / 12), kBlack);
  if (!caption.empty()) {
    int cs = std::max(7, std::min(14, static_cast<int>(h * 0.16)));
    c.TextCentred(w / 2, h - m * 2 - cs * 0.75, caption, cs, kWhite, static_cast<int>(w - m * 4), 1, kBlack);
  }
}

}  // namespace mediagen
