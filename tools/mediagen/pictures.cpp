// The pictures of the media tree and how each is drawn.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "tools/mediagen/data.h"
#include "tools/mediagen/figures.h"
#include "tools/mediagen/manifest.h"
#include "tools/mediagen/pictures.h"

namespace mediagen {

std::string Num(int n) { return std::to_string(n); }

// ---- Catalogue helpers ----

void Picture(std::vector<MediaFile>& m, const std::string& path, int w, int h, bool alpha, Painter paint,
             bool sample, SizeRule rule) {
  MediaFile f;
  f.path = path;
  f.kind = FileKind::Picture;
  f.width = w;
  f.height = h;
  f.alpha = alpha;
  f.paint = std::move(paint);
  f.sample = sample;
  f.size = rule;
  m.push_back(std::move(f));
}

void Sheet(std::vector<MediaFile>& m, const std::string& path, Cut cut, bool alpha, CellPainter cell,
           bool sample) {
  Picture(
      m, path, cut.across * cut.w, cut.down * cut.h, alpha,
      [cut, cell](Canvas& c) {
        for (int i = 0; i < cut.count; ++i) {
          Canvas one(cut.w, cut.h);
          cell(one, i);
          c.Draw(one, (i % cut.across) * cut.w, (i / cut.across) * cut.h);
        }
      },
      sample, SizeRule::Exact);
  m.back().loader = Loader::Divided;
  m.back().cut = cut;
}

void Screen(std::vector<MediaFile>& m, const std::string& path, Painter paint, bool sample, bool alpha) {
  Picture(m, path, 640, 480, alpha, std::move(paint), sample, SizeRule::Exact);
}

// ---- Painters ----

// A full-screen background: a gradient and soft shapes. The name only varies
// the shapes: backgrounds stand under windows, scores and texts, so they
// carry no writing of their own.
Painter Backdrop(Rgba top, Rgba bottom, const std::string& title, int pattern) {
  return [=](Canvas& c) {
    c.VerticalGradient(0, 0, c.width(), c.height(), top, bottom);
    Scatter r(static_cast<uint32_t>(title.size() * 131 + pattern));
    for (int i = 0; i < 24; ++i) {
      double x = r.Next() * c.width(), y = r.Next() * c.height(), s = 10 + r.Next() * 40;
      Rgba soft = WithAlpha(kWhite, static_cast<uint8_t>(25 + r.Next() * 30));
      if (pattern == 0) c.FillCircle(x, y, s, soft);
      if (pattern == 1) c.FillStar(x, y, s * 0.7, 0.45, 5, soft, r.Next());
      if (pattern == 2) c.FillRoundRect(x - s, y - s / 2, x + s, y + s / 2, s / 3, soft);
      if (pattern == 3) c.StrokeCircle(x, y, s, 4, soft);
    }
    for (int i = 0; i < c.width() + c.height(); i += 48)
      c.Line(i, 0, i - c.height(), c.height(), 10, WithAlpha(kWhite, 14));
  };
}

// A sprite on a transparent ground: a token with a symbol and a caption.
Painter Token(const std::string& symbol, const std::string& caption, Rgba colour) {
  return [=](Canvas& c) { DrawToken(c, symbol, caption, colour); };
}

// A banner word in big outlined letters.
void BannerWord(Canvas& c, const std::string& word, Rgba fill, double cx, double cy, int size) {
  c.TextCentred(cx + 3, cy + 3, word, size, WithAlpha(kBlack, 120), c.width() - 8, 0);
  c.TextCentred(cx, cy, word, size, fill, c.width() - 8, std::max(2, size / 14), {40, 20, 10, 255});
}

// One character picture cell: the figure alone. The game flips these
// sprites and shows them in play, so they carry no writing (the contact
// sheet names the files and numbers the cells).
void FigureCell(Canvas& c, int who, const Pose& pose, double lift, bool mirror) {
  Canvas fig(c.width(), c.height());
  double height = std::min((c.height() - 4) * 0.86, c.width() * 0.95);
  DrawFigure(fig, Character(who), c.width() / 2.0, c.height() - 4 - lift, height, pose);
  c.Draw(mirror ? fig.Mirrored() : fig, 0, 0);
}

Pose RunPose(int f) {
  static const double swing[4] = {32, 10, -32, -10};
  Pose p;
  p.facing = Facing::Right;
  p.lean = 12;
  p.legLeft = swing[f];
  p.legRight = -swing[f];
  p.armLeft = -swing[f] * 1.3;
  p.armRight = swing[f] * 1.3;
  return p;
}

Pose ShotPose(int f) {
  static const double arm[5] = {-30, 30, 80, 100, 70};
  Pose p;
  p.facing = Facing::Right;
  p.armRight = arm[f];
  p.armLeft = -40;
  p.lean = f >= 2 ? 8 : -5;
  p.ball = f >= 1 && f <= 3;
  return p;
}

Pose JumpPose(int f, double* lift) {
  static const double crouch[8] = {0.7, 0.4, 0, 0, 0, 0, 0.1, 0.5};
  static const double up[8] = {0, 1, 5, 8, 8, 5, 2, 0};
  Pose p;
  p.facing = Facing::Right;
  p.crouch = crouch[f];
  *lift = up[f];
  if (f >= 2 && f <= 4) {
    p.armLeft = -150, p.armRight = 150, p.eyes = Eyes::Happy;
    p.legLeft = -20, p.legRight = 25;
  } else if (f >= 5) {
    p.armLeft = -100, p.armRight = 100;
  } else {
    p.armLeft = -40, p.armRight = 40;
  }
  return p;
}

void CharacterFiles(std::vector<MediaFile>& m, int who) {
  std::string dir = std::string(Character(who).key) + "/";
  // The contact sheet shows every pose of the first character and the
  // faces and pieces of all six.
  bool sample = who == 0;
  // Several screens draw the face without transparency, so it is a whole
  // square: a card in the character's colour.
  Picture(
      m, dir + "face.png", 64, 64, false,
      [who](Canvas& c) {
        c.Clear(Shade(Character(who).body, 0.7));
        c.StrokeRect(0, 0, 64, 64, 2, Shade(Character(who).body, -0.4));
        c.FillCircle(32, 32, 31, Shade(Character(who).body, -0.4));
        c.FillCircle(32, 32, 29, Shade(Character(who).body, 0.35));
        DrawHead(c, Character(who), 32, 35, 22, Facing::Front, Eyes::Open);
      },
      true);
  Sheet(
      m, dir + "koma.png", {12, 4, 3, 32, 32}, true,
      [who](Canvas& c, int i) {
        int row = i / 4, f = i % 4;
        static const double swing[4] = {0, 18, 0, -18};
        Pose p;
        p.facing = row == 0 ? Facing::Front : row == 1 ? Facing::Back : Facing::Right;
        p.legLeft = -6 + swing[f], p.legRight = 6 - swing[f];
        p.armLeft = -20 - swing[f], p.armRight = 20 + swing[f];
        double bob = f % 2 ? 1 : 0;
        DrawFigure(c, Character(who), 16, 31 - bob, 30, p);
      },
      true);
  Picture(m, dir + "m_air.png", 80, 80, true, [who](Canvas& c) {
    Pose p;
    p.armLeft = -155, p.armRight = 155, p.legLeft = -28, p.legRight = 28, p.eyes = Eyes::Happy;
    FigureCell(c, who, p, 6);
  });
  Picture(
      m, dir + "m_damage.png", 80, 80, true,
      [who](Canvas& c) {
        Pose p;
        p.armLeft = -120, p.armRight = 120, p.lean = -22, p.eyes = Eyes::Hurt;
        FigureCell(c, who, p);
        c.FillStar(62, 20, 9, 0.4, 6, {255, 240, 60, 230});
      },
      sample);
  Picture(m, dir + "m_wait.png", 80, 80, true, [who](Canvas& c) { FigureCell(c, who, Pose{}); }, sample);
  Sheet(m, dir + "m_run.png", {4, 4, 1, 80, 80}, true,
        [who](Canvas& c, int i) { FigureCell(c, who, RunPose(i)); }, sample);
  Sheet(m, dir + "m_shot.png", {5, 5, 1, 80, 80}, true,
        [who](Canvas& c, int i) { FigureCell(c, who, ShotPose(i)); }, sample);
  Sheet(
      m, dir + "m_jump.png", {8, 8, 1, 80, 80}, true,
      [who](Canvas& c, int i) {
        double lift = 0;
        Pose p = JumpPose(i, &lift);
        FigureCell(c, who, p, lift);
      },
      sample);
  Sheet(
      m, dir + "m_turn.png", {6, 6, 1, 80, 115}, true,
      [who](Canvas& c, int i) {
        // A whirl: front, side, back, the other side, front, side; the arms
        // swing round with the body.
        static const Facing facing[6] = {Facing::Front, Facing::Right, Facing::Back,
                                         Facing::Right, Facing::Front, Facing::Right};
        static const double squeeze[6] = {1, 0.55, 1, 0.55, 1, 0.55};
        Pose p;
        p.facing = facing[i];
        p.squeeze = squeeze[i];
        p.armLeft = -70, p.armRight = 70;
        if (i % 2) p.armLeft = 60, p.armRight = 110;
        c.StrokeEllipse(40, 96, 30, 6, 3, WithAlpha(Character(who).body, 160));
        for (int k = 0; k < 3; ++k)
          c.Line(8 + k * 4, 30 + k * 14, 18 + k * 4, 26 + k * 14, 2, WithAlpha(kBlack, 120));
        FigureCell(c, who, p, 8, i == 3);
      },
      sample);
  Picture(m, dir + "koma_front.png", 64, 64, true, [who](Canvas& c) {
    c.FillRoundRect(2, 2, 62, 62, 10, Shade(Character(who).body, -0.45));
    c.FillRoundRect(4, 4, 60, 60, 9, Shade(Character(who).body, 0.55));
    DrawFigure(c, Character(who), 32, 60, 54, Pose{});
  });
}

// A small die with pips, for the dice items.
void SmallDie(Canvas& c, double cx, double cy, double size, int pips) {
  double h = size / 2;
  c.FillRoundRect(cx - h, cy - h, cx + h, cy + h, size * 0.2, {50, 40, 40, 255});
  c.FillRoundRect(cx - h + 1, cy - h + 1, cx + h - 1, cy + h - 1, size * 0.18, kWhite);
  static const double spots[4][4][2] = {{{0, 0}}, {{-1, -1}, {1, 1}}, {{-1, -1}, {0, 0}, {1, 1}},
                                        {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}}};
  for (int k = 0; k < pips; ++k)
    c.FillCircle(cx + spots[pips - 1][k][0] * size * 0.25, cy + spots[pips - 1][k][1] * size * 0.25,
                 std::max(1.2, size * 0.1), pips == 1 ? Rgba{220, 30, 40, 255} : Rgba{30, 30, 40, 255});
}

// What an item icon shows: dice for the dice items, shapes, or the one
// character that names the item (unused ids stay plain).
void ItemSymbol(Canvas& c, int id) {
  switch (id) {
    case 1:
      SmallDie(c, 11, 12, 12, 2), SmallDie(c, 20, 20, 12, 3);
      return;
    case 2:
      SmallDie(c, 10, 11, 10, 1), SmallDie(c, 22, 11, 10, 2), SmallDie(c, 16, 22, 10, 3);
      return;
    case 4:
      c.FillEllipse(16, 16, 11, 5, {40, 0, 60, 255});
      c.FillCircle(16, 16, 3, {230, 40, 60, 255});
      return;
    case 5:
      c.FillEllipse(16, 13, 11, 7, {220, 50, 50, 255});
      c.FillCircle(12, 11, 2, kWhite), c.FillCircle(20, 12, 2, kWhite);
      c.FillRoundRect(12, 17, 20, 27, 3, {250, 235, 200, 255});
      return;
    case 6:
      SmallDie(c, 16, 16, 22, 4);
      return;
    case 7:
      SmallDie(c, 16, 16, 12, 1);
      return;
    case 11:
      DrawCoin(c, 16, 16, 9);
      return;
    case 13:
    case 27:
      DrawStarShape(c, 16, 16, 11, {255, 215, 0, 255});
      return;
    case 26:
      c.FillPolygon({{7, 7}, {25, 7}, {25, 16}, {16, 27}, {7, 16}}, {200, 210, 230, 255});
      c.FillPolygon({{10, 10}, {22, 10}, {22, 16}, {16, 23}, {10, 16}}, {90, 110, 200, 255});
      return;
    default:
      break;
  }
  static const std::map<int, const char*> glyphs = {
      {3, "休"},  {12, "笛"}, {14, "笛"}, {21, "守"}, {22, "守"}, {23, "手"}, {24, "+3"}, {25, "-2"},
      {28, "券"}, {31, "玉"}, {32, "鉢"}, {33, "衣"}, {34, "貝"}, {35, "枝"},
  };
  auto it = glyphs.find(id);
  if (it == glyphs.end()) return;
  Rgba ink = id == 21 ? Rgba{120, 170, 255, 255} : id == 22 ? Rgba{255, 120, 120, 255} : kWhite;
  c.TextCentred(16, 16, it->second, 18, ink, 28, 1, kBlack);
}

void DieFace(Canvas& c, int face) {
  c.FillRoundRect(3, 3, 61, 61, 12, {60, 60, 70, 255});
  c.FillRoundRect(5, 5, 59, 59, 10, kWhite);
  c.VerticalGradient(6, 40, 58, 58, WithAlpha({200, 200, 220, 255}, 0), WithAlpha({200, 200, 220, 255}, 160));
  static const int pips[7][6][2] = {{},
                                    {{1, 1}},
                                    {{0, 0}, {2, 2}},
                                    {{0, 0}, {1, 1}, {2, 2}},
                                    {{0, 0}, {2, 0}, {0, 2}, {2, 2}},
                                    {{0, 0}, {2, 0}, {1, 1}, {0, 2}, {2, 2}},
                                    {{0, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {2, 2}}};
  if (face <= 6) {
    for (int i = 0; i < face; ++i) {
      double x = 17 + pips[face][i][0] * 15, y = 17 + pips[face][i][1] * 15;
      c.FillCircle(x, y, face == 1 ? 8 : 5.5, face == 1 ? Rgba{220, 30, 40, 255} : Rgba{30, 30, 40, 255});
    }
  } else {
    c.TextCentred(32, 33, Num(face), 34, {220, 30, 40, 255}, 54, 1, {90, 0, 0, 255});
  }
}

// Board square pictures by kind.
void SquarePicture(Canvas& c, Rgba colour, const std::string& symbol, const std::string& caption, int shape) {
  double w = c.width(), h = c.height();
  Rgba dark = Shade(colour, -0.5);
  if (shape == 0) {
    c.FillEllipse(w / 2, h / 2 + 3, w / 2 - 2, h / 2 - 5, WithAlpha(kBlack, 90));
    c.FillEllipse(w / 2, h / 2, w / 2 - 3, h / 2 - 6, dark);
    c.FillEllipse(w / 2, h / 2, w / 2 - 7, h / 2 - 10, colour);
    c.FillEllipse(w / 2, h / 2 - 8, w / 2 - 18, h / 4 - 6, WithAlpha(kWhite, 90));
  } else {
    c.FillRoundRect(4, 7, w - 2, h - 3, 14, WithAlpha(kBlack, 90));
    c.FillRoundRect(3, 4, w - 3, h - 6, 14, dark);
    c.FillRoundRect(7, 8, w - 7, h - 10, 11, colour);
    c.VerticalGradient(9, 10, w - 9, h / 2, WithAlpha(kWhite, 110), WithAlpha(kWhite, 0));
  }
  // The symbol says what the square does; the caption names the kind only
  // in the catalogue (the board shows no writing on its squares).
  (void)caption;
  c.TextCentred(w / 2, h / 2 - 2, symbol, 32, kWhite, static_cast<int>(w - 20), 2, dark);
}

struct SquareLook {
  const char* file;
  Rgba colour;
  const char* symbol;
  const char* caption;
  int shape;
};
const SquareLook kSquareLooks[] = {
    {"マス_緑.png", {40, 170, 60, 255}, "！", "item", 1},
    {"マス_hatena.png", {150, 60, 200, 255}, "？", "event", 1},
    {"マス_星 (2).png", {235, 180, 0, 255}, "★", "star", 1},
    {"マス_店 (2).png", {30, 150, 160, 255}, "店", "item shop", 1},
    {"マス_三 (2).png", {110, 60, 40, 255}, "三", "mischief", 1},
    {"masu_usagi_2.png", {240, 150, 180, 255}, "兎", "rabbit", 1},
    {"zanberimasu.png", {200, 140, 20, 255}, "Ｚ", "coin", 1},
};

void BlueSquare(Canvas& c) { SquarePicture(c, {40, 100, 230, 255}, "+3", "blue", 0); }
void RedSquare(Canvas& c) { SquarePicture(c, {220, 40, 40, 255}, "-3", "red", 0); }

void SquareFiles(std::vector<MediaFile>& m, const std::string& dir) {
  for (const SquareLook& s : kSquareLooks)
    Picture(m, dir + s.file, 90, 80, true, [s](Canvas& c) { SquarePicture(c, s.colour, s.symbol, s.caption, s.shape); },
            dir.find("masu") != std::string::npos);
}

// Board backgrounds, drawn at a scale so the overviews match the boards.
void Ground(Canvas& c, double scale, Rgba top, Rgba bottom, uint32_t seed, Rgba speck) {
  c.VerticalGradient(0, 0, c.width(), c.height(), top, bottom);
  Scatter r(seed);
  int n = static_cast<int>(c.width() * c.height() / (9000 * scale * scale + 1) + 10);
  for (int i = 0; i < n; ++i) {
    double x = r.Next() * c.width(), y = r.Next() * c.height();
    c.FillEllipse(x, y, (6 + r.Next() * 10) * scale, (3 + r.Next() * 4) * scale, speck);
  }
}

// The roads of a board under its squares (every link but warps and stones).
void Roads(Canvas& c, int mapId, double scale, Rgba colour, double width, const std::function<bool(int)>& on) {
  const std::vector<Square>& s = BoardSquares(mapId);
  for (size_t i = 0; i < s.size(); ++i) {
    if (!on(static_cast<int>(i) + 1)) continue;
    for (int l = 0; l < 3; ++l) {
      int to = s[i].links[l];
      if (to <= 0 || !on(to) || s[i].kind == "warp" || s[to - 1].kind == "warp") continue;
      c.Line(s[i].x * scale, s[i].y * scale, s[to - 1].x * scale, s[to - 1].y * scale, width * scale, colour);
    }
  }
}

void Dots(Canvas& c, int mapId, double scale, const std::function<bool(int)>& on) {
  for (const Square& q : BoardSquares(mapId)) {
    int k = static_cast<int>(&q - &BoardSquares(mapId)[0]) + 1;
    if (!on(k)) continue;
    Rgba col = q.kind == "blue" ? Rgba{40, 100, 230, 255} : q.kind == "red" ? Rgba{220, 40, 40, 255}
                                                                            : Rgba{240, 200, 40, 255};
    if (q.kind == "warp") col = {240, 240, 255, 255};
    c.FillCircle(q.x * scale, q.y * scale, 6, kBlack);
    c.FillCircle(q.x * scale, q.y * scale, 4.5, col);
  }
}

bool Floor1(int k) { return k <= 22 || (k >= 59 && k <= 62); }
bool Floor2(int k) { return (k >= 24 && k <= 58) || k >= 63; }
bool Any(int) { return true; }

void MansionFloor(Canvas& c, int floor, double scale) {
  if (floor == 1) {
    c.VerticalGradient(0, 0, c.width(), c.height(), {150, 100, 60, 255}, {110, 70, 40, 255});
    for (double y = 0; y < c.height(); y += 40 * scale) c.FillRect(0, y, c.width(), y + 2 * scale + 0.5, {90, 55, 30, 200});
  } else {
    c.VerticalGradient(0, 0, c.width(), c.height(), {110, 115, 140, 255}, {70, 75, 100, 255});
    for (double y = 0; y < c.height(); y += 80 * scale) c.FillRect(0, y, c.width(), y + 2 * scale + 0.5, {50, 50, 70, 200});
    for (double x = 0; x < c.width(); x += 80 * scale) c.FillRect(x, 0, x + 2 * scale + 0.5, c.height(), {50, 50, 70, 200});
  }
  c.StrokeRect(0, 0, c.width(), c.height(), 30 * scale + 1, {60, 30, 20, 255});
  Roads(c, 2, scale, floor == 1 ? Rgba{170, 30, 50, 255} : Rgba{30, 60, 150, 255}, 70, floor == 1 ? Floor1 : Floor2);
}

void CherryGarden(Canvas& c, double scale) {
  Ground(c, scale, {150, 200, 110, 255}, {110, 170, 90, 255}, 33, {235, 170, 200, 120});
  Roads(c, 3, scale, {200, 170, 120, 255}, 80, Any);
}

void CherryCanopies(Canvas& c) {
  // Tree tops over the corners of the board, away from the squares.
  const double spots[][2] = {{80, 80}, {2320, 80}, {80, 1720}, {2320, 1720}, {1200, 900}, {700, 700}, {1700, 1100}};
  for (const auto& s : spots) {
    c.FillCircle(s[0], s[1], 110, {230, 140, 170, 200});
    c.FillCircle(s[0] - 40, s[1] - 30, 60, {250, 190, 210, 220});
    c.FillCircle(s[0] + 50, s[1] + 20, 50, {220, 120, 160, 220});
  }
}

void Meadow(Canvas& c, double scale) {
  Ground(c, scale, {120, 190, 90, 255}, {80, 150, 70, 255}, 11, {60, 120, 50, 110});
  Roads(c, 1, scale, {205, 180, 120, 255}, 60, Any);
  Scatter r(5);
  for (int i = 0; i < 14; ++i) {
    double x = r.Next() * c.width(), y = r.Next() * c.height();
    bool clear = true;
    for (const Square& q : BoardSquares(1)) clear &= std::hypot(q.x * scale - x, q.y * scale - y) > 110 * scale;
    if (!clear) continue;
    c.FillCircle(x, y + 8 * scale, 34 * scale, {40, 90, 40, 160});
    c.FillCircle(x, y, 30 * scale, {50, 130, 50, 255});
    c.FillCircle(x - 8 * scale, y - 8 * scale, 14 * scale, {90, 170, 80, 255});
  }
}

// How far a point of a 640 x 480 bamboo tile lies from its middle, where the
// player's cell is drawn, in the half size of the player's cell and the
// eight around it (1 at the edge of that block), the block's corners
// rounded.
double BambooBlockDistance(double x, double y) {
  double dx = (x - 320) / (1.5 * kBambooCellWidth), dy = (y - 240) / (1.5 * kBambooCellHeight);
  return std::pow(std::pow(std::fabs(dx), 4) + std::pow(std::fabs(dy), 4), 0.25);
}

// The bamboo wood of map 4, tiled every 640 x 480 about the player's cell:
// layer 2, behind, is the wood's dim depth (thin far stalks and leaves);
// layers 0 and 1 are the stalks in front of it (layer 1 the nearest and
// brightest), with their nodes, a lit edge and leaves. The wood thins out
// towards the middle: it is clear over the squares of the cells about the
// player's and stands whole from a little past them. A stalk near the
// tile's right edge goes on at its left, so the tiles join.
void Bamboo(Canvas& c, int layer) {
  Scatter r(40 + layer);
  if (layer == 2) c.VerticalGradient(0, 0, c.width(), c.height(), {34, 62, 28, 255}, {22, 44, 20, 255});
  int stalks = layer == 2 ? 40 : layer == 0 ? 16 : 11;
  for (int i = 0; i < stalks; ++i) {
    double x = r.Next() * c.width();
    double w = layer == 2 ? 4 + r.Next() * 5 : 10 + r.Next() * 10;
    Rgba g = layer == 2 ? Hsv(105 + r.Next() * 25, 0.55, 0.22 + r.Next() * 0.12)
                        : Hsv(95 + r.Next() * 30, 0.6, 0.5 + layer * 0.14 + r.Next() * 0.08);
    double firstNode = 30 + r.Next() * 40, leafY = 40 + r.Next() * (c.height() - 80);
    bool leafLeft = r.Next() < 0.5;
    for (double shift : {0.0, -static_cast<double>(c.width())}) {
      double left = x + shift;
      if (left + w + 40 < 0) continue;
      c.FillRect(left, 0, left + w, c.height(), g);
      c.FillRect(left + w * 0.2, 0, left + w * 0.35, c.height(), Shade(g, 0.3));
      for (double y = firstNode; y < c.height(); y += 70)
        c.FillRect(left - 1, y, left + w + 1, y + 3, Shade(g, -0.4));
      double leafX = leafLeft ? left - 14 : left + w + 14;
      c.FillEllipse(leafX, leafY, 18, 5, Shade(g, 0.1));
      c.FillEllipse(leafX + (leafLeft ? -10 : 10), leafY + 12, 15, 4, Shade(g, -0.1));
    }
  }
  // Nothing within 0.88 of the block (about the outer edges of the squares
  // of the cells around the player's), the whole wood from 1.05.
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      double t = std::clamp((BambooBlockDistance(x + 0.5, y + 0.5) - 0.88) / 0.17, 0.0, 1.0);
      Rgba p = c.At(x, y);
      p.a = static_cast<uint8_t>(std::lround(p.a * t * t * (3 - 2 * t)));
      c.Set(x, y, p);
    }
}

// A screenshot stand-in: the game's name and number over a small scene.
void Screenshot(Canvas& c, int number, const std::string& name) {
  Rgba hue = Hsv(number * 47.0, 0.5, 0.85);
  c.VerticalGradient(0, 0, c.width(), c.height(), Shade(hue, 0.4), Shade(hue, -0.35));
  for (int p = 0; p < 4; ++p) {
    Canvas fig(40, 50);
    Pose pose = p % 2 ? RunPose(p) : Pose{};
    DrawFigure(fig, Character(p), 20, 48, 44, pose);
    c.Draw(fig, 20 + p * 55, 110);
  }
  // The explanation screen writes the minigame's name above it: the picture
  // itself is a scene without writing, its shapes varied by the number.
  (void)name;
  Scatter r(static_cast<uint32_t>(number) * 7 + 3);
  for (int i = 0; i < 5; ++i) {
    double x = 20 + r.Next() * (c.width() - 40), y = 20 + r.Next() * 70, s = 8 + r.Next() * 10;
    if (number % 3 == 0) c.FillStar(x, y, s, 0.45, 5, WithAlpha(kWhite, 200), r.Next());
    else if (number % 3 == 1) c.FillCircle(x, y, s, WithAlpha(Shade(hue, 0.7), 220));
    else c.FillRoundRect(x - s, y - s / 2, x + s, y + s / 2, s / 3, WithAlpha(Shade(hue, -0.5), 200));
  }
  c.FillRect(0, 160, c.width(), c.height(), Shade(hue, -0.5));
}

// A beam for additive drawing: black where there is no light, brightest on
// its middle line (`peak` of full white), fading smoothly to the sides and
// towards its foot (and, with fadeIn, in from its top edge). `width` is the
// share of the picture's width the light spreads over. The beams are mapped onto quadrilaterals of
// about their own size (320 pixels wide), so they are drawn at that size: no
// step of the gradient is stretched.
//
// The game adds them at blend parameter `blend` to a 16-bit screen, where a
// channel moves in steps of 8 (red and blue; green 4). A smooth gradient
// would add amounts that fall between those steps differently in each
// channel: bands with coloured edges. So the grey is dithered (4 x 4 ordered
// dither) to values whose share is a whole step: the light stays grey and
// its gradient turns into a fine grain.
void Beam(Canvas& c, double width, bool fadeIn, int blend, double peak) {
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const double half = c.width() / 2.0;
  const double step = 8.0 * 255.0 / blend;  // a grey that adds one step of 8
  for (int y = 0; y < c.height(); ++y) {
    // The light weakens downwards but still reaches the floor the beam
    // points at; the last rows and (with fadeIn) the first ones fade out,
    // so the quadrilateral's edges do not show.
    double down = (y + 0.5) / c.height();
    double light = (0.4 + 0.6 * std::pow(1.0 - down, 1.3)) * std::min(1.0, (1.0 - down) / 0.08);
    if (fadeIn) light *= std::min(1.0, down / 0.25);
    for (int x = 0; x < c.width(); ++x) {
      double d = std::fabs(x + 0.5 - half) / (half * width);
      double across = d >= 1 ? 0 : (1 - d * d) * (1 - d * d);
      double v = peak * across * light * 255.0 / step;  // in steps
      int steps = static_cast<int>(std::floor(v + (bayer[y % 4][x % 4] + 0.5) / 16.0));
      int grey = std::min(255, static_cast<int>(std::lround(steps * step)));
      uint8_t g = static_cast<uint8_t>(grey);
      c.Set(x, y, {g, g, g, 255});
    }
  }
}

void SpotlightSet(std::vector<MediaFile>& m, const std::string& dir) {
  Picture(m, dir + "spotlightver0.8.png", 320, 248, false, [](Canvas& c) { Beam(c, 0.85, true, 80, 1.0); });
  Picture(m, dir + "spotlightver0.7.png", 320, 368, false, [](Canvas& c) { Beam(c, 0.45, false, 200, 0.55); });
  // A cone of light from the lamp at (25, 4), widening downwards: brightest
  // on its middle line near the lamp, its alpha falling off smoothly to the
  // sides and along its length.
  Picture(m, dir + "spotlightver0.9_2_2.png", 50, 300, true, [](Canvas& c) {
    for (int y = 0; y < c.height(); ++y) {
      double along = std::max(0.0, (y + 0.5 - 4) / (c.height() - 4));
      double half = 5 + 20 * along;
      double fade = std::pow(1 - along, 0.8) * std::min(1.0, (y + 0.5) / 6);
      for (int x = 0; x < c.width(); ++x) {
        double d = std::fabs(x + 0.5 - 25) / half;
        double across = d >= 1 ? 0 : (1 - d * d);
        double a = across * fade * 200;
        c.Set(x, y, {255, 250, 215, static_cast<uint8_t>(std::lround(a))});
      }
    }
  });
  Picture(m, dir + "spotlightver0.9_3.png", 32, 32, true, [](Canvas& c) {
    c.FillRoundRect(6, 2, 26, 22, 4, {60, 60, 70, 255});
    c.FillEllipse(16, 22, 10, 6, {255, 250, 190, 255});
    c.FillRect(14, 24, 18, 31, {60, 60, 70, 255});
  });
  // Scaled up to 25 times: a soft disc whose light falls off smoothly.
  Picture(m, dir + "spotlightver0.9_4.png", 64, 64, false, [](Canvas& c) {
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        double d = std::min(1.0, std::hypot(x + 0.5 - 32, y + 0.5 - 32) / 32);
        double v = (1 - d * d) * (1 - d * d);
        c.Set(x, y, {static_cast<uint8_t>(std::lround(v * 255)), static_cast<uint8_t>(std::lround(v * 255)),
                     static_cast<uint8_t>(std::lround(v * 230)), 255});
      }
  });
}

void AddPictures(std::vector<MediaFile>& m) {
  // media\circle
  Picture(
      m, "circle/サークルロゴ.png", 320, 160, true,
      [](Canvas& c) {
        c.FillRoundRect(4, 4, 316, 156, 30, {250, 120, 60, 255});
        c.FillRoundRect(10, 10, 310, 150, 26, {255, 245, 230, 255});
        c.FillStar(60, 80, 40, 0.45, 5, {250, 180, 40, 255});
        c.TextCentred(190, 80, "ZR CIRCLE", 34, {200, 70, 40, 255}, 220);
      },
      true);
  Picture(m, "circle/NowLoading_ver2.png", 300, 64, true, [](Canvas& c) {
    c.FillRoundRect(0, 8, 300, 56, 24, {20, 30, 60, 200});
    c.TextCentred(150, 32, "Now Loading...", 26, kWhite, 280, 2, {60, 90, 200, 255});
  });

  // media\other
  static const char* const levels[5] = {"easy", "normal", "hard", "dravosk", "extra"};
  for (int i = 0; i < 5; ++i)
    Picture(m, std::string("other/CPULv：") + levels[i] + ".png", 96, 32, true, [i](Canvas& c) {
      Rgba col = Hsv(120 - i * 30, 0.7, 0.85);
      c.FillRoundRect(1, 1, 95, 31, 10, Shade(col, -0.5));
      c.FillRoundRect(3, 3, 93, 29, 8, col);
      c.TextCentred(48, 16, std::string("CPU ") + levels[i], 14, kWhite, 86, 1, kBlack);
    });
  Picture(m, "other/ステータス：背景.png", 150, 100, true, [](Canvas& c) {
    c.VerticalGradient(0, 0, 150, 100, {40, 50, 110, 220}, {20, 25, 60, 220});
  });
  Picture(
      m, "other/ステータス：枠.png", 150, 100, true,
      [](Canvas& c) {
        c.StrokeRoundRect(1, 1, 149, 99, 10, 6, {90, 60, 20, 255});
        c.StrokeRoundRect(2, 2, 148, 98, 9, 3, {250, 210, 90, 255});
      },
      true);
  Picture(m, "other/点.png", 16, 16, true, [](Canvas& c) { DrawCoin(c, 8, 8, 7.5); }, true);
  Picture(m, "other/ステータス：星.png", 16, 16, true, [](Canvas& c) { DrawStarShape(c, 8, 8, 8, {255, 215, 0, 255}); },
          true);
  Picture(
      m, "other/サイコロ元ver0.2.png", 64, 64, true,
      [](Canvas& c) {
        c.FillRoundRect(1, 1, 63, 63, 8, {150, 90, 0, 255});
        c.FillRoundRect(3, 3, 61, 61, 7, {250, 190, 40, 255});
        c.FillRoundRect(12, 12, 52, 52, 6, {255, 225, 120, 255});
        for (double x : {7.0, 57.0})
          for (double y : {7.0, 57.0}) c.FillCircle(x, y, 2.2, {150, 90, 0, 255});
      },
      true);
  Sheet(m, "other/サイコロ.png", {10, 5, 2, 64, 64}, true, [](Canvas& c, int i) { DieFace(c, i + 1); }, true);
  Sheet(
      m, "other/順位ver0.6.png", {4, 4, 1, 100, 100}, true,
      [](Canvas& c, int i) {
        static const Rgba medal[4] = {{245, 200, 40, 255}, {200, 205, 215, 255}, {205, 130, 60, 255}, {120, 120, 140, 255}};
        static const char* const text[4] = {"1st", "2nd", "3rd", "4th"};
        // The standings rows are 80 pixels apart: the medal keeps to rows 10 to 86.
        c.FillPolygon({{32, 10}, {45, 10}, {54, 34}, {41, 34}}, {200, 40, 40, 255});
        c.FillPolygon({{68, 10}, {55, 10}, {46, 34}, {59, 34}}, {40, 60, 200, 255});
        c.FillCircle(50, 56, 30, Shade(medal[i], -0.4));
        c.FillCircle(50, 56, 26, medal[i]);
        c.TextCentred(50, 57, text[i], 24, kWhite, 50, 2, Shade(medal[i], -0.55));
      },
      true);
  Sheet(m, "other/キャラ選択ver0.2.png", {4, 4, 1, 64, 64}, true, [](Canvas& c, int i) {
    static const Rgba player[4] = {{230, 40, 40, 255}, {40, 90, 230, 255}, {240, 200, 20, 255}, {40, 180, 60, 255}};
    c.StrokeRoundRect(1, 1, 63, 63, 12, 6, player[i]);
    c.StrokeRoundRect(1, 1, 63, 63, 12, 2, kWhite);
    c.FillRoundRect(0, 0, 26, 16, 5, player[i]);
    c.TextCentred(13, 8, Num(i + 1) + "P", 12, kWhite, 24, 1, kBlack);
  });
  Sheet(
      m, "other/ステージ：全部.png", {6, 3, 2, 200, 200}, true,
      [](Canvas& c, int i) {
        int map = i + 1;
        BoardSize size = BoardPictureSize(map);
        double scale = std::min(184.0 / size.width, 150.0 / size.height);
        Canvas thumb(static_cast<int>(size.width * scale), static_cast<int>(size.height * scale));
        if (map == 2) MansionFloor(thumb, 1, scale);
        else if (map == 3) CherryGarden(thumb, scale);
        else if (map == 4) thumb.VerticalGradient(0, 0, thumb.width(), thumb.height(), {40, 110, 50, 255}, {20, 70, 30, 255});
        else Meadow(thumb, scale);
        Dots(thumb, map, scale, Any);
        c.FillRoundRect(0, 0, 200, 200, 14, {30, 30, 50, 255});
        c.Draw(thumb, 100 - thumb.width() / 2, 8);
        c.FillRoundRect(60, 168, 140, 192, 10, Shade(Hsv(map * 60.0, 0.6, 0.8), -0.2));
        for (int k = 0; k < map; ++k) c.FillStar(100 - (map - 1) * 9 + k * 18, 180, 7, 0.45, 5, {255, 220, 80, 255});
      },
      true);
  Sheet(m, "other/ミニゲーム：文字背景.png", {3, 3, 1, 300, 400}, true, [](Canvas& c, int i) {
    static const Rgba page[3] = {{255, 245, 210, 255}, {215, 240, 255, 255}, {225, 250, 215, 255}};
    c.FillRoundRect(0, 0, 300, 400, 18, Shade(page[i], -0.25));
    c.FillRoundRect(4, 4, 296, 396, 15, page[i]);
    // The picker writes entry i's name 32 i pixels below the page's top in a
    // 30-pixel font: a rule under each name.
    for (int row = 0; row < 12; ++row) c.FillRect(14, 32 * row + 31, 286, 32 * row + 32, Shade(page[i], -0.12));
  });
  Sheet(m, "other/ミニゲーム：タグ.png", {3, 1, 3, 50, 100}, true, [](Canvas& c, int i) {
    static const Rgba tab[3] = {{240, 160, 40, 255}, {40, 140, 230, 255}, {60, 180, 70, 255}};
    static const char* const text[3] = {"4人", "1対3", "2対2"};
    c.FillRoundRect(2, 4, 58, 96, 10, Shade(tab[i], -0.4));
    c.FillRoundRect(4, 6, 56, 94, 8, tab[i]);
    c.TextCentred(25, 50, text[i], 15, kWhite, 44, 1, kBlack);
  });
  // The arrow fills the top 40 rows: turned sideways about its centre beside
  // the map choice's name, its empty end faces the name, and on the board it
  // stands a little above the piece its bottom centre is placed on.
  Picture(m, "other/矢印.png", 32, 64, true, [](Canvas& c) { DrawUpArrow(c, 16, 2, 40, 28, {250, 80, 40, 255}); }, true);
  Picture(m, "other/通路.png", 16, 16, false, [](Canvas& c) {
    c.Clear({200, 170, 120, 255});
    c.FillCircle(4, 5, 3, {175, 145, 100, 255});
    c.FillCircle(12, 11, 3.5, {180, 150, 105, 255});
  });
  Picture(m, "other/雅.png", 64, 64, true, [](Canvas& c) {
    for (int k = 0; k < 8; ++k) {
      double a = k * M_PI / 4;
      c.FillEllipse(32 + 17 * std::cos(a), 32 + 17 * std::sin(a), 10, 10, {230, 120, 170, 230});
    }
    c.FillCircle(32, 32, 10, {250, 220, 80, 255});
  });
  Sheet(
      m, "other/アイテムver1.4.png", {40, 10, 4, 32, 32}, true,
      [](Canvas& c, int i) {
        int id = i + 1;
        Rgba col = (id <= 7 || (id >= 11 && id <= 14)) ? Rgba{240, 140, 30, 255}
                   : (id >= 21 && id <= 28)              ? Rgba{30, 160, 170, 255}
                   : (id >= 31 && id <= 35)              ? Rgba{160, 80, 200, 255}
                                                         : Rgba{130, 130, 130, 255};
        c.FillRoundRect(1, 1, 31, 31, 7, Shade(col, -0.5));
        c.FillRoundRect(2, 2, 30, 30, 6, col);
        ItemSymbol(c, id);
      },
      true);
  Picture(m, "other/アイテム：枠ver0.3.png", 34, 34, true, [](Canvas& c) {
    c.StrokeRoundRect(0, 0, 34, 34, 6, 4, {255, 230, 60, 255});
    c.StrokeRoundRect(0, 0, 34, 34, 6, 1.5, {120, 70, 0, 255});
  });
  Picture(m, "other/エフェクト：弾.png", 16, 16, true, [](Canvas& c) {
    c.FillCircle(8, 8, 7, {255, 160, 40, 200});
    c.FillCircle(8, 8, 4, {255, 250, 200, 255});
  });
  Picture(m, "other/エフェクト：背景７.png", 640, 480, false, Backdrop({30, 0, 60, 255}, {120, 20, 90, 255}, "effect 7", 1));
  Sheet(m, "other/スキマver0.1.png", {8, 4, 2, 64, 64}, true, [](Canvas& c, int i) {
    double open = (i < 4 ? i + 1 : 8 - i) / 4.0;
    c.FillEllipse(32, 32, 28, 3 + 20 * open, {60, 0, 80, 255});
    c.FillEllipse(32, 32, 24, 1 + 17 * open, {10, 0, 20, 255});
    c.FillCircle(32, 32, 5 * open, {230, 40, 60, 255});
  });
  Sheet(m, "other/数値_小.png", {10, 10, 1, 20, 32}, true,
        [](Canvas& c, int i) { c.TextCentred(10, 16, Num(i), 28, kWhite, 19, 2, {20, 20, 60, 255}); }, true);
  Screen(m, "other/final result.png", [](Canvas& c) {
    // The opening, the results and the story all stand on this picture, so it
    // carries no heading of its own: a stage under its lights.
    Backdrop({40, 20, 90, 255}, {200, 120, 40, 255}, "", 1)(c);
    c.FillEllipse(320, 470, 360, 70, WithAlpha(kBlack, 70));
  }, true);
  Sheet(
      m, "other/STARTver0.2.png", {5, 5, 1, 80, 80}, true,
      [](Canvas& c, int i) {
        static const char* const letters[5] = {"S", "T", "A", "R", "T"};
        BannerWord(c, letters[i], Hsv(i * 50, 0.8, 1.0), 40, 40, 70);
      },
      true);
  Picture(m, "other/スタート円.png", 500, 400, true, [](Canvas& c) {
    c.FillEllipse(250, 200, 245, 195, {255, 200, 60, 90});
    c.StrokeEllipse(250, 200, 235, 185, 12, {255, 240, 150, 200});
    c.StrokeEllipse(250, 200, 200, 155, 5, {255, 255, 255, 150});
  });
  Picture(m, "other/FINISHver0.2.png", 400, 80, true, [](Canvas& c) { BannerWord(c, "FINISH!", {255, 90, 60, 255}, 200, 40, 64); },
          true);
  Picture(m, "other/ベルパ_タヴィシャ_tama.png", 32, 32, true, [](Canvas& c) {
    c.FillCircle(16, 16, 15, {255, 120, 40, 160});
    c.FillCircle(16, 16, 10, {255, 230, 120, 255});
    c.FillCircle(13, 13, 4, kWhite);
  });
  Picture(
      m, "other/titleimage2.png", 640, 240, true,
      [](Canvas& c) {
        c.FillEllipse(320, 120, 300, 100, {255, 255, 255, 90});
        c.FillStar(90, 110, 50, 0.45, 5, {255, 210, 40, 255}, 0.2);
        c.FillStar(550, 110, 50, 0.45, 5, {255, 210, 40, 255}, -0.2);
        c.TextCentred(320, 110, "ベルノーラパーティ", 58, {255, 110, 150, 255}, 440, 4, {90, 20, 60, 255});
        for (int i = 0; i < 6; ++i) {
          Canvas fig(50, 60);
          DrawFigure(fig, Character(i), 25, 58, 52, Pose{});
          c.Draw(fig, 160 + i * 55, 178);
        }
      },
      true);
  SpotlightSet(m, "other/");
  SpotlightSet(m, "");  // the story scene reads them from media\ itself

  // media\window
  Sheet(
      m, "window/window_枠.png", {2, 2, 1, 32, 32}, true,
      [](Canvas& c, int i) {
        // Cell 0 is the corner (bands along the top and the left), cell 1 the
        // edge (a band along the top); the others are rotations of them.
        Rgba gold{245, 205, 90, 255}, dark{90, 55, 15, 255};
        c.FillRect(0, 0, 32, 10, dark);
        c.FillRect(0, 2, 32, 8, gold);
        c.FillRect(0, 4, 32, 5, Shade(gold, 0.5));
        if (i == 0) {
          c.FillRect(0, 0, 10, 32, dark);
          c.FillRect(2, 2, 8, 32, gold);
          c.FillRect(4, 4, 5, 32, Shade(gold, 0.5));
          c.FillCircle(6, 6, 5, {200, 40, 60, 255});
        }
      },
      true);

  // media\background
  struct Bg {
    const char* file;
    Rgba top, bottom;
    int pattern;
  };
  static const Bg backgrounds[] = {
      {"汎用背景01.png", {90, 160, 230, 255}, {200, 230, 255, 255}, 0},
      {"汎用背景02.png", {240, 170, 90, 255}, {255, 230, 180, 255}, 1},
      {"汎用背景03.png", {120, 60, 160, 255}, {230, 170, 220, 255}, 3},
      {"汎用背景04.png", {50, 130, 90, 255}, {170, 230, 190, 255}, 2},
      {"ミニゲーム結果画面.png", {200, 80, 60, 255}, {255, 200, 150, 255}, 1},
      {"汎用背景５.png", {40, 60, 120, 255}, {120, 170, 220, 255}, 0},
  };
  for (const Bg& b : backgrounds) {
    std::string name = b.file;
    Screen(m, "background/" + name, Backdrop(b.top, b.bottom, name.substr(0, name.size() - 4), b.pattern),
           name == "汎用背景01.png");
    // Two of them may be read from media\other as well.
    if (name == "ミニゲーム結果画面.png" || name == "汎用背景５.png")
      Screen(m, "other/" + name, Backdrop(b.top, b.bottom, name.substr(0, name.size() - 4), b.pattern));
  }
  Picture(
      m, "background/result.png", 640, 128, true,
      [](Canvas& c) {
        c.HorizontalGradient(0, 20, 640, 108, {255, 200, 60, 0}, {255, 200, 60, 0});
        c.FillRoundRect(60, 20, 580, 108, 40, {200, 60, 40, 220});
        c.StrokeRoundRect(60, 20, 580, 108, 40, 5, {255, 230, 120, 255});
        c.TextCentred(320, 64, "RESULT", 54, {255, 240, 180, 255}, 480, 3, {100, 20, 10, 255});
      },
      false);
  m.back().alpha = true;
  static const int focus[6] = {430, 325, 420, 320, 530, 200};
  for (int i = 0; i < 6; ++i)
    Screen(
        m, std::string("background/chara/") + Character(i).key + ".png",
        [i](Canvas& c) {
          c.VerticalGradient(0, 0, 640, 480, Shade(Character(i).body, 0.55), Shade(Character(i).body, -0.3));
          c.RadialGradient(focus[i], 260, 260, WithAlpha(kWhite, 150), WithAlpha(kWhite, 0));
          Pose p;
          p.armLeft = -150, p.armRight = 150, p.eyes = Eyes::Happy;
          // The tally lays its RESULT band over the top and writes the
          // winner's texts itself: the picture carries no writing.
          DrawFigure(c, Character(i), focus[i], 450, 330, p);
        },
        i == 0);

  // media\eventchar
  static const char* const portraits[] = {"ヴァシュテ", "グラヴォネ", "ペロナント", "ティボラ",   "メグノス",
                                          "ニクセラver1", "ブロウニャ", "ズィルベ", "ヴェスピナ", "アンセリ",
                                          "ボフィネ",   "ユクスタ",   "ピコルダ_L", "ザンベリedg", "エスロヴァ"};
  for (const char* name : portraits) {
    std::string n = name;
    Picture(m, "eventchar/" + n + ".png", 160, 170, true, [n](Canvas& c) { DrawPortrait(c, n, PortraitName(n)); },
            n == "グラヴォネ" || n == "メグノス");
  }

  // The six characters.
  for (int i = 0; i < 6; ++i) CharacterFiles(m, i);

  // media\sugoroku\other\masu (and the second reading of the folder)
  Picture(m, "sugoroku/other/masu/青マスver4.png", 90, 80, true, BlueSquare, true);
  Picture(m, "sugoroku/other/masu/赤マスver4.png", 90, 80, true, RedSquare, true);
  SquareFiles(m, "sugoroku/other/masu/");
  Picture(m, "other/赤マスver4.png", 90, 80, true, RedSquare);
  SquareFiles(m, "other/");

  // Round-start slot.
  for (int e = 0; e < 6; ++e) {
    std::string dir = std::string("sugoroku/other/spellslot/MagicSquare/") + Character(e).kana + "/";
    Rgba col = Character(e).body;
    Picture(m, dir + "外円.png", 256, 256, true, [col](Canvas& c) {
      c.StrokeCircle(128, 128, 120, 10, WithAlpha(col, 220));
      for (int k = 0; k < 12; ++k) {
        double a = k * M_PI / 6;
        c.FillCircle(128 + 110 * std::cos(a), 128 + 110 * std::sin(a), 7, Shade(col, 0.5));
      }
    }, e == 0);
    Picture(m, dir + "四角.png", 256, 256, true, [col](Canvas& c) {
      std::vector<Point> sq;
      for (int k = 0; k < 4; ++k) sq.push_back({128 + 90 * std::cos(k * M_PI / 2 + M_PI / 4), 128 + 90 * std::sin(k * M_PI / 2 + M_PI / 4)});
      c.Polyline(sq, 6, WithAlpha(Shade(col, 0.3), 230), true);
      std::vector<Point> sq2;
      for (int k = 0; k < 4; ++k) sq2.push_back({128 + 90 * std::cos(k * M_PI / 2), 128 + 90 * std::sin(k * M_PI / 2)});
      c.Polyline(sq2, 6, WithAlpha(Shade(col, 0.3), 230), true);
    });
    Picture(m, dir + "内円.png", 256, 256, true, [col, e](Canvas& c) {
      c.StrokeCircle(128, 128, 60, 6, WithAlpha(col, 230));
      c.FillCircle(128, 128, 52, WithAlpha(Shade(col, 0.6), 120));
      c.FillStar(128, 128, 40, 0.4, e + 3, WithAlpha(kWhite, 230));
    });
  }
  static const char* const slotLetters[3] = {"ス", "ペ", "ル"};
  for (const char* l : slotLetters) {
    std::string s = l;
    Picture(m, "sugoroku/other/spellslot/" + s + ".png", 64, 64, true, Token(s, "", {120, 60, 200, 255}));
  }
  Picture(m, "sugoroku/other/spellslot/スロット.png", 256, 64, true, [](Canvas& c) {
    c.FillRoundRect(2, 2, 254, 62, 20, {90, 40, 150, 230});
    c.TextCentred(128, 32, "スペルスロット", 30, {255, 230, 120, 255}, 236, 2, {40, 10, 60, 255});
  });

  // Map 1 (and 0).
  BoardSize b1 = BoardPictureSize(1);
  Picture(m, "sugoroku/thornyle/thornyle_bg.png", b1.width, b1.height, false, [](Canvas& c) { Meadow(c, 1.0); }, true);

  // Map 2, the mansion.
  BoardSize b2 = BoardPictureSize(2);
  Picture(m, "sugoroku/zarvie/ザルヴィエ_MAP_1.png", b2.width, b2.height, false, [](Canvas& c) { MansionFloor(c, 1, 1.0); }, true);
  Picture(m, "sugoroku/zarvie/ザルヴィエ_MAP_2.png", b2.width, b2.height, false, [](Canvas& c) { MansionFloor(c, 2, 1.0); });
  Picture(m, "sugoroku/zarvie/ザルヴィエ_MAP_all1.png", b2.width / 5, b2.height / 5, false, [](Canvas& c) {
    MansionFloor(c, 1, 0.2);
    Dots(c, 2, 0.2, Floor1);
  }, true, SizeRule::Exact);
  Picture(m, "sugoroku/zarvie/ザルヴィエ_MAP_all2.png", b2.width / 5, b2.height / 5, false, [](Canvas& c) {
    MansionFloor(c, 2, 0.2);
    Dots(c, 2, 0.2, Floor2);
  }, false, SizeRule::Exact);
  static const Rgba stones[5] = {{230, 40, 60, 255}, {40, 120, 240, 255}, {40, 190, 80, 255}, {240, 200, 30, 255}, {170, 60, 220, 255}};
  for (int k = 0; k < 5; ++k) {
    std::string name = k == 0 ? "賢者の石.png" : "賢者の石_" + Num(k + 1) + ".png";
    Painter gem = [k](Canvas& c) {
      std::vector<Point> p = {{16, 2}, {29, 12}, {24, 30}, {8, 30}, {3, 12}};
      c.Polyline(p, 2.5, Shade(stones[k], -0.6), true);
      c.FillPolygon(p, stones[k]);
      c.FillPolygon({{16, 4}, {24, 12}, {16, 16}, {8, 12}}, Shade(stones[k], 0.5));
    };
    Picture(m, "sugoroku/zarvie/" + name, 32, 32, true, gem, k == 0);
    if (k > 0) Picture(m, "other/" + name, 32, 32, true, gem);
  }
  Painter master = [](Canvas& c) { DrawPortrait(c, "ズィルベ", PortraitName("ズィルベ")); };
  Picture(m, "other/ミニズィルベedg_000.png", 48, 52, true, [](Canvas& c) {
    DrawHead(c, {"z", "z", NameColour("ズィルベ"), Shade(NameColour("ズィルベhair"), -0.3)}, 24, 26, 20, Facing::Front, Eyes::Open);
  });
  Picture(m, "sugoroku/zarvie/ミニズィルベedg_000.png", 48, 52, true, [](Canvas& c) {
    DrawHead(c, {"z", "z", NameColour("ズィルベ"), Shade(NameColour("ズィルベhair"), -0.3)}, 24, 26, 20, Facing::Front, Eyes::Open);
  });
  (void)master;

  // Map 3, the banquet garden.
  BoardSize b3 = BoardPictureSize(3);
  Picture(m, "sugoroku/cadris/セリュナ下.png", b3.width, b3.height, false, [](Canvas& c) { CherryGarden(c, 1.0); });
  Picture(m, "sugoroku/cadris/セリュナ上.png", b3.width, b3.height, true, CherryCanopies);
  Picture(m, "sugoroku/cadris/セリュナ全部.png", 640, 480, false, [b3](Canvas& c) {
    double scale = 640.0 / b3.width;
    CherryGarden(c, scale);
    Dots(c, 3, scale, Any);
  }, true, SizeRule::Exact);
  Picture(m, "sugoroku/cadris/さくら封鎖.png", 64, 64, true, [](Canvas& c) {
    c.FillRoundRect(4, 20, 60, 44, 6, {120, 70, 40, 255});
    c.Line(8, 8, 56, 56, 8, {200, 40, 60, 255});
    c.Line(8, 56, 56, 8, 8, {200, 40, 60, 255});
    for (int k = 0; k < 5; ++k) c.FillCircle(12 + k * 10, 14 + (k % 2) * 36, 5, {250, 180, 210, 255});
  });
  for (const char* trio : {"ボフィネ", "アンセリ", "ユクスタ"}) {
    std::string n = trio;
    Picture(m, "sugoroku/cadris/" + n + "_mini.png", 48, 48, true, [n](Canvas& c) {
      DrawHead(c, {"t", "t", NameColour(n), Shade(NameColour(n + "hair"), -0.3)}, 24, 25, 19, Facing::Front, Eyes::Happy);
    });
  }
  Picture(m, "sugoroku/cadris/トゥミナ.png", 64, 64, true, [](Canvas& c) {
    c.FillEllipse(20, 30, 18, 8, {255, 255, 255, 200});
    c.FillEllipse(44, 30, 18, 8, {255, 255, 255, 200});
    DrawHead(c, {"t", "t", NameColour("トゥミナ"), {250, 200, 220, 255}}, 32, 34, 16, Facing::Front, Eyes::Happy);
  });
  Painter petals = [](Canvas& c) {
    Scatter r(77);
    for (int i = 0; i < 160; ++i) {
      double x = r.Next() * c.width(), y = r.Next() * c.height();
      c.FillEllipse(x, y, 5, 3, {250, 170, 200, 220});
    }
  };
  Picture(m, "sugoroku/cadris/階段 桜吹雪.png", 640, 480, true, petals);

  // Map 4, the bamboo wood.
  Picture(m, "sugoroku/brimwold/brimwold_bg1.png", kBambooCellWidth, kBambooCellHeight, false, [](Canvas& c) {
    c.VerticalGradient(0, 0, c.width(), c.height(), {70, 120, 60, 255}, {50, 95, 45, 255});
    Scatter r(9);
    for (int i = 0; i < 20; ++i) c.FillEllipse(r.Next() * c.width(), r.Next() * c.height(), 8, 2.5, {110, 150, 70, 200});
    c.StrokeRect(0, 0, c.width(), c.height(), 3, {35, 60, 30, 255});
  }, true, SizeRule::Exact);
  Picture(m, "sugoroku/brimwold/takeyabu_ver1.png", 640, 480, true, [](Canvas& c) { Bamboo(c, 0); }, true);
  Picture(m, "sugoroku/brimwold/brimwold_bg_bamboo12.png", 640, 480, true, [](Canvas& c) { Bamboo(c, 1); });
  Picture(m, "sugoroku/brimwold/brimwold_bg_bamboo_under.png", 640, 480, true, [](Canvas& c) { Bamboo(c, 2); });
  // The masks, one for each of the game's two passes: white where the board
  // stays clear about the player's cell (drawn at the middle of the mask),
  // black where the bamboo may stand. Both clear the squares (90 x 80) of the
  // cells around the player's with a little room; the bamboo pictures have
  // thinned out to nothing about there already.
  for (const char* mask : {"brimwold_bg_mask2.png", "brimwold_bg_mask.png"}) {
    Picture(m, std::string("sugoroku/brimwold/") + mask, 640, 480, false, [](Canvas& c) {
      double halfWidth = kBambooCellWidth + 45 + 11, halfHeight = kBambooCellHeight + 40 + 10;
      c.Clear(kBlack);
      c.FillRoundRect(320 - halfWidth, 240 - halfHeight, 320 + halfWidth, 240 + halfHeight, 24, kWhite);
    });
    m.back().loader = Loader::Mask;
  }
  struct Glyph {
    const char* file;
    const char* text;
    int w;
    Rgba colour;
  };
  static const Glyph verdicts[] = {{"勝.png", "勝", 64, {230, 50, 40, 255}},
                                   {"利.png", "利", 64, {230, 50, 40, 255}},
                                   {"引き分け.png", "引き分け", 192, {240, 170, 30, 255}},
                                   {"負.png", "負", 64, {50, 80, 200, 255}},
                                   {"け.png", "け", 64, {50, 80, 200, 255}}};
  for (const Glyph& g : verdicts)
    Picture(m, std::string("sugoroku/brimwold/") + g.file, g.w, 64, true,
            [g](Canvas& c) { c.TextCentred(c.width() / 2.0, 32, g.text, 54, g.colour, c.width() - 4, 3, kWhite); });

  // Minigames.
  for (const MinigameFolder& f : MinigameFolders()) {
    int n = f.number;
    std::string name = f.name;
    Picture(m, std::string("mini/") + f.folder + "/screenshot.png", 250, 190, false,
            [n, name](Canvas& c) { Screenshot(c, n, name); }, n == 1 || n == 7 || n == 16, SizeRule::Exact);
  }
  AddMinigamePictures(m);
}

}  // namespace mediagen
