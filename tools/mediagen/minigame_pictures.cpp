// The minigames' own pictures.
#include <cmath>
#include <string>

#include "tools/mediagen/data.h"
#include "tools/mediagen/pictures.h"

namespace mediagen {

namespace {

const std::string kMini = "mini/";

// A stand-in figure of a named minigame character in a cell. Sprites carry no
// writing: the game shows and flips them in play (the contact sheet names
// the files and numbers the cells).
void NamedFigure(Canvas& c, const std::string& name, const Pose& pose) {
  CharacterLook look{name.c_str(), name.c_str(), NameColour(name), Shade(NameColour(name + "hair"), -0.3)};
  double h = std::min(c.height() * 0.9, c.width() * 1.1);
  DrawFigure(c, look, c.width() / 2.0, c.height() - 3, h, pose);
}

Pose Frame(int i, int count) {
  Pose p;
  double t = count > 1 ? static_cast<double>(i) / (count - 1) : 0;
  p.armLeft = -20 - 130 * t;
  p.armRight = 20 + 60 * std::sin(t * M_PI);
  p.lean = -8 + 16 * t;
  return p;
}

void Cloudy(Canvas& c, uint32_t seed, Rgba colour) {
  Scatter r(seed);
  for (int i = 0; i < 6; ++i) {
    double x = r.Next() * c.width(), y = c.height() * (0.2 + 0.5 * r.Next());
    for (int k = 0; k < 4; ++k) c.FillCircle(x + k * 18, y - (k % 2) * 8, 16 + k % 3 * 4, colour);
  }
}

void Balloon(Canvas& c, double cx, double cy, double r, Rgba col) {
  c.Line(cx, cy + r, cx, c.height() - 1, 1.5, {80, 80, 80, 255});
  c.FillEllipse(cx, cy, r * 0.9, r, Shade(col, -0.3));
  c.FillEllipse(cx, cy, r * 0.8, r * 0.9, col);
  c.FillCircle(cx - r * 0.3, cy - r * 0.35, r * 0.2, WithAlpha(kWhite, 180));
}

void Rocket(Canvas& c, int flame) {
  double w = c.width();
  if (flame >= 0) {
    double len = flame == 0 ? 22 : 30;
    c.FillPolygon({{w / 2 - 10, 100}, {w / 2 + 10, 100}, {w / 2, 100 + len}}, {255, 150, 30, 255});
    c.FillPolygon({{w / 2 - 5, 100}, {w / 2 + 5, 100}, {w / 2, 100 + len * 0.6}}, {255, 240, 120, 255});
  }
  c.FillPolygon({{w / 2, 4}, {w / 2 + 14, 30}, {w / 2 + 14, 100}, {w / 2 - 14, 100}, {w / 2 - 14, 30}}, {230, 230, 240, 255});
  c.FillPolygon({{w / 2, 4}, {w / 2 + 14, 30}, {w / 2 - 14, 30}}, {220, 50, 50, 255});
  c.FillPolygon({{w / 2 - 14, 80}, {w / 2 - 24, 104}, {w / 2 - 14, 100}}, {220, 50, 50, 255});
  c.FillPolygon({{w / 2 + 14, 80}, {w / 2 + 24, 104}, {w / 2 + 14, 100}}, {220, 50, 50, 255});
  c.FillCircle(w / 2, 50, 6, {60, 140, 230, 255});
}

void Card(Canvas& c, const std::string& face, Rgba colour, bool back) {
  c.FillRoundRect(1, 1, 63, 87, 8, {60, 60, 70, 255});
  c.FillRoundRect(3, 3, 61, 85, 7, back ? Rgba{40, 70, 160, 255} : kWhite);
  if (back) {
    for (int k = 0; k < 8; ++k) c.Line(3, 3 + k * 12, 61, 15 + k * 12, 2, {90, 120, 210, 255});
    c.TextCentred(32, 44, "?", 36, kWhite, 50, 2, {20, 30, 80, 255});
    return;
  }
  // The face: the character's head on its colour, the suit in the corners.
  c.FillCircle(32, 44, 22, colour);
  CharacterLook look{face.c_str(), face.c_str(), colour, Shade(NameColour(face + "hair"), -0.3)};
  DrawHead(c, look, 32, 46, 16, Facing::Front, Eyes::Happy);
  c.FillStar(11, 12, 6, 0.45, 5, colour);
  c.FillStar(53, 76, 6, 0.45, 5, colour);
}

// The quarter-view block: a 64 x 32 diamond top with its sides.
void Block(Canvas& c) {
  c.FillPolygon({{0, 16}, {32, 32}, {32, 64}, {0, 48}}, {120, 80, 40, 255});
  c.FillPolygon({{64, 16}, {32, 32}, {32, 64}, {64, 48}}, {90, 60, 30, 255});
  c.FillPolygon({{32, 0}, {64, 16}, {32, 32}, {0, 16}}, {110, 190, 80, 255});
  c.Polyline({{32, 0}, {64, 16}, {32, 32}, {0, 16}}, 1.2, {60, 120, 40, 255}, true);
}

void QuarterFigure(Canvas& c, int who, int cell) {
  Pose p;
  p.facing = cell == 0 ? Facing::Front : Facing::Back;
  DrawFigure(c, Character(who), 32, 60, 54, p);
}

}  // namespace

void AddMinigamePictures(std::vector<MediaFile>& m) {
  // 1 renda
  Sheet(m, kMini + "renda/ティボラ.png", {4, 4, 1, 60, 60}, true,
        [](Canvas& c, int i) { NamedFigure(c, "ティボラ", Frame(i, 4)); });
  Screen(m, kMini + "renda/背景.png", Backdrop({20, 20, 50, 255}, {60, 40, 90, 255}, "renda", 3));
  Screen(m, kMini + "renda/ライト.png", [](Canvas& c) {
    c.Clear(kBlack);
    for (int k = 0; k < 4; ++k) {
      double x = 80 + k * 160;
      c.FillPolygon({{x - 20, 0}, {x + 20, 0}, {x + 70, 480}, {x - 70, 480}}, {120, 110, 70, 255});
    }
  });
  // 2 river
  Picture(m, kMini + "river/川渡り_goal.png", 32, 96, true, [](Canvas& c) {
    c.FillRect(4, 4, 8, 96, {90, 60, 30, 255});
    c.FillPolygon({{8, 6}, {30, 18}, {8, 30}}, {230, 40, 40, 255});
    c.TextCentred(16, 60, "G", 18, kWhite, 30, 2, kBlack);
  });
  Picture(m, kMini + "river/夕日.png", 640, 115, false, [](Canvas& c) {
    c.VerticalGradient(0, 0, 640, 115, {250, 130, 60, 255}, {255, 220, 150, 255});
    c.FillCircle(500, 90, 30, {255, 240, 180, 255});
  });
  Picture(m, kMini + "river/山.png", 640, 115, true, [](Canvas& c) {
    c.FillPolygon({{0, 115}, {0, 70}, {120, 30}, {230, 80}, {360, 20}, {500, 75}, {640, 40}, {640, 115}}, {90, 70, 110, 255});
  });
  Picture(m, kMini + "river/背面雲.png", 640, 115, true, [](Canvas& c) { Cloudy(c, 3, {255, 230, 220, 150}); });
  Picture(m, kMini + "river/前面雲.png", 640, 115, true, [](Canvas& c) { Cloudy(c, 4, {255, 255, 255, 200}); });
  Picture(m, kMini + "river/RJ_course.png", 640, 115, true, [](Canvas& c) {
    c.FillRect(0, 90, 640, 115, {60, 110, 200, 160});
    for (int x = 0; x < 640; x += 64) c.FillRect(x + 31, 96, x + 33, 109, {200, 225, 255, 200});
  });
  Picture(m, kMini + "river/RJ_river.png", 32, 32, false, [](Canvas& c) {
    c.VerticalGradient(0, 0, 32, 32, {60, 130, 220, 255}, {30, 80, 180, 255});
    c.Line(4, 10, 14, 8, 2, {180, 220, 255, 255});
    c.Line(18, 24, 28, 22, 2, {180, 220, 255, 255});
  });
  Picture(m, kMini + "river/RJ_rock.png", 32, 32, false, [](Canvas& c) {
    c.Clear({130, 125, 120, 255});
    c.FillEllipse(10, 10, 8, 6, {160, 155, 150, 255});
    c.FillEllipse(24, 22, 7, 5, {105, 100, 95, 255});
  });
  Picture(m, kMini + "river/ヴェンティカ.png", 148, 96, true, [](Canvas& c) {
    c.FillEllipse(40, 40, 38, 14, {250, 250, 255, 230});
    c.FillEllipse(108, 40, 38, 14, {250, 250, 255, 230});
    DrawHead(c, {"v", "v", NameColour("ヴェンティカ"), {90, 160, 230, 255}}, 74, 44, 26, Facing::Front, Eyes::Happy);
  });
  // 3 leisure
  Sheet(m, kMini + "leisure/ミラドゥン_剣.png", {11, 11, 1, 150, 170}, true, [](Canvas& c, int i) {
    Pose p = Frame(i, 11);
    p.armRight = 30 + i * 12;
    NamedFigure(c, "ミラドゥン", p);
  }, true);
  Sheet(m, kMini + "leisure/ミラドゥン_降りる.png", {7, 7, 1, 150, 170}, true, [](Canvas& c, int i) {
    Pose p;
    p.crouch = i / 7.0;
    NamedFigure(c, "ミラドゥン", p);
  });
  Sheet(m, kMini + "leisure/ミラドゥン_座る.png", {5, 5, 1, 150, 170}, true, [](Canvas& c, int i) {
    Pose p;
    p.crouch = 0.2 + i * 0.15;
    NamedFigure(c, "ミラドゥン", p);
  });
  Picture(m, kMini + "leisure/ミラドゥン_029.png", 150, 170, true, [](Canvas& c) {
    Pose p;
    p.armLeft = -150;
    NamedFigure(c, "ミラドゥン", p);
  });
  Picture(m, kMini + "leisure/ミラドゥン_030.png", 40, 20, true, [](Canvas& c) {
    c.FillEllipse(20, 11, 19, 8, {90, 85, 80, 255});
    c.FillEllipse(16, 8, 10, 4, {150, 145, 140, 255});
  });
  Picture(m, kMini + "leisure/ミラドゥン_031.png", 150, 170, true, [](Canvas& c) {
    c.FillEllipse(75, 100, 70, 65, {255, 230, 150, 120});
  });
  Picture(m, kMini + "leisure/ミラドゥン_000.png", 150, 170, true,
          [](Canvas& c) { NamedFigure(c, "ミラドゥン", Pose{}); });
  Screen(m, kMini + "leisure/天神　背景　手前石無し.png", Backdrop({80, 140, 220, 255}, {230, 220, 180, 255}, "tenjin", 0));
  Screen(m, kMini + "leisure/天神　背景　手前雲のみ.png", [](Canvas& c) { Cloudy(c, 12, {255, 255, 255, 210}); }, false, true);
  Painter sparkle = [](Canvas& c) {
    c.FillStar(32, 32, 30, 0.2, 4, {255, 255, 200, 230});
    c.FillStar(32, 32, 16, 0.3, 4, kWhite, M_PI / 4);
  };
  Picture(m, kMini + "leisure/キラーンver4.png", 64, 64, true, sparkle);
  // 4 stair
  Screen(m, kMini + "stair/階段 背景.png", Backdrop({250, 200, 210, 255}, {160, 110, 150, 255}, "stair", 1));
  Picture(m, kMini + "stair/階段　単品.png", 512, 476, true, [](Canvas& c) {
    for (int k = 0; k < 10; ++k) {
      double y = 368 - 32 * k;
      c.FillRect(0, y, 512, y + 10, {170, 110, 70, 255});
      c.FillRect(0, y + 10, 512, y + 32, {120, 75, 45, 200});
    }
  }, true);
  Picture(m, kMini + "stair/階段 ミュラグ.png", 640, 480, true, [](Canvas& c) {
    Canvas fig(120, 160);
    NamedFigure(fig, "ミュラグ", Pose{});
    c.Draw(fig, 516, 300);
  });
  Picture(m, kMini + "stair/階段 桜吹雪.png", 640, 480, true, [](Canvas& c) {
    Scatter r(78);
    for (int i = 0; i < 140; ++i) c.FillEllipse(r.Next() * 640, r.Next() * 480, 5, 3, {250, 170, 200, 220});
  });
  Picture(m, kMini + "stair/maru.png", 64, 64, true, [](Canvas& c) { c.StrokeCircle(32, 32, 26, 9, {230, 40, 40, 255}); });
  Picture(m, kMini + "stair/batu.png", 64, 64, true, [](Canvas& c) {
    c.Line(10, 10, 54, 54, 10, {40, 80, 230, 255});
    c.Line(54, 10, 10, 54, 10, {40, 80, 230, 255});
  });
  // 5 numbersearch
  Picture(m, kMini + "numbersearch/キラーンver4.png", 64, 64, true, sparkle);
  Picture(m, kMini + "numbersearch/宝塔.png", 64, 64, true, [](Canvas& c) {
    for (int k = 0; k < 4; ++k) {
      double y = 10 + k * 13, w = 10 + k * 6;
      c.FillPolygon({{32 - w - 6, y + 10}, {32 + w + 6, y + 10}, {32 + w, y}, {32 - w, y}}, {200, 60, 40, 255});
      c.FillRect(32 - w * 0.6, y + 10, 32 + w * 0.6, y + 13, {250, 210, 80, 255});
    }
  });
  for (const char* who : {"チペラ", "ヴォクサン"}) {
    std::string n = who;
    Sheet(m, kMini + "numbersearch/" + n + ".png", {3, 3, 1, 100, 120}, true, [n](Canvas& c, int i) {
      Pose p;
      if (i == 1) p.armLeft = -140, p.armRight = 140;
      if (i == 2) p.eyes = Eyes::Hurt, p.lean = -15;
      NamedFigure(c, n, p);
    }, n == "チペラ");
  }
  Picture(m, kMini + "numbersearch/カゲ.png", 100, 24, true, [](Canvas& c) { c.FillEllipse(50, 12, 48, 10, {0, 0, 0, 110}); });
  Picture(m, kMini + "numbersearch/枠.png", 64, 64, true, [](Canvas& c) {
    c.FillRoundRect(2, 2, 62, 62, 8, {255, 250, 235, 230});
    c.StrokeRoundRect(2, 2, 62, 62, 8, 4, {150, 100, 40, 255});
  });
  static const struct {
    const char* file;
    Rgba colour;
  } frames[4] = {{"キャラ枠_赤.png", {230, 50, 50, 255}},
                 {"キャラ枠_青.png", {50, 90, 230, 255}},
                 {"キャラ枠_黄.png", {240, 200, 30, 255}},
                 {"キャラ枠_緑.png", {50, 180, 70, 255}}};
  for (int k = 0; k < 4; ++k) {
    Rgba col = frames[k].colour;
    Picture(m, kMini + "numbersearch/" + frames[k].file, 96, 144, true, [col, k](Canvas& c) {
      c.StrokeRoundRect(2, 2, 94, 142, 12, 7, col);
      c.FillRoundRect(2, 2, 40, 24, 8, col);
      c.TextCentred(21, 13, Num(k + 1) + "P", 14, kWhite, 36, 1, kBlack);
    });
  }
  Picture(m, kMini + "numbersearch/問題枠.png", 320, 64, true, [](Canvas& c) {
    c.FillRoundRect(2, 2, 318, 62, 16, {20, 30, 70, 210});
    c.StrokeRoundRect(2, 2, 318, 62, 16, 4, {250, 210, 90, 255});
  });
  // 7 airride
  for (int i = 0; i < 6; ++i)
    Picture(m, kMini + "airride/" + Character(i).kana + ".png", 48, 48, true, [i](Canvas& c) {
      // A rider seen from above, facing up: a board and the character's head.
      c.FillRoundRect(14, 4, 34, 46, 9, Shade(Character(i).body, -0.5));
      c.FillRoundRect(16, 6, 32, 44, 8, Character(i).body);
      c.FillPolygon({{24, 0}, {30, 8}, {18, 8}}, {255, 255, 255, 255});
      DrawHead(c, Character(i), 24, 26, 9, Facing::Back, Eyes::Open);
    });
  Picture(m, kMini + "airride/矢印.png", 32, 64, true, [](Canvas& c) { DrawUpArrow(c, 16, 2, 56, 22, {255, 240, 80, 255}); });
  // 8 snowballfight
  Sheet(m, kMini + "snowballfight/quarter_タヴィシャ.png", {2, 2, 1, 64, 64}, true,
        [](Canvas& c, int i) { QuarterFigure(c, 0, i); });
  Screen(m, kMini + "snowballfight/雪合戦背景.png", [](Canvas& c) {
    c.VerticalGradient(0, 0, 640, 480, {220, 235, 250, 255}, {250, 252, 255, 255});
    Scatter r(8);
    for (int i = 0; i < 120; ++i) c.FillCircle(r.Next() * 640, r.Next() * 480, 2, {200, 215, 240, 255});
  });
  Screen(m, kMini + "snowballfight/雪合戦背景(上).png", [](Canvas& c) {
    for (int x = 0; x < 640; x += 80) {
      c.FillEllipse(x + 40, 470, 50, 26, {255, 255, 255, 240});
      c.FillEllipse(x + 40, 10, 50, 20, {255, 255, 255, 240});
    }
  }, false, true);
  Picture(m, kMini + "snowballfight/弾_敵5.png", 12, 12, true, [](Canvas& c) {
    c.FillCircle(6, 6, 5.5, {150, 170, 200, 255});
    c.FillCircle(6, 6, 4.5, kWhite);
  });
  // 11 flyingporme
  Sheet(m, kMini + "flyingporme/ポルメ.png", {6, 6, 1, 110, 110}, true, [](Canvas& c, int i) {
    double a = i * M_PI / 3;
    c.FillEllipse(55, 60, 40, 34, {250, 180, 200, 255});
    c.FillEllipse(55 + 30 * std::cos(a), 60 + 25 * std::sin(a), 16, 10, {230, 120, 160, 255});
    c.FillCircle(45, 52, 4, kBlack);
    c.FillCircle(65, 52, 4, kBlack);
  }, true);
  for (int i = 0; i < 6; ++i)
    Sheet(m, kMini + "flyingporme/turn_" + Character(i).key + ".png", {6, 6, 1, 80, 115}, true, [i](Canvas& c, int f) {
      Pose p;
      p.facing = f % 2 ? Facing::Right : f % 4 == 2 ? Facing::Back : Facing::Front;
      p.squeeze = f % 2 ? 0.55 : 1;
      p.armLeft = -70, p.armRight = 70;
      FigureCell(c, i, p, 8);
    });
  // 19 quarterjump (12 reads it too)
  Picture(m, kMini + "quarterjump/ground2.png", 64, 64, true, Block, true);
  for (int i = 0; i < 6; ++i)
    Sheet(m, kMini + "quarterjump/quarter_" + Character(i).kana + ".png", {2, 2, 1, 64, 64}, true,
          [i](Canvas& c, int f) { QuarterFigure(c, i, f); }, i == 0);
  Picture(m, kMini + "quarterview/ground2.png", 64, 64, true, Block);
  // 20, 21 and 25: the shooters' background
  Painter shooterSky = [](Canvas& c) {
    c.VerticalGradient(0, 0, 640, 480, {10, 10, 40, 255}, {60, 30, 90, 255});
    Scatter r(20);
    for (int i = 0; i < 150; ++i) c.FillCircle(r.Next() * 640, r.Next() * 480, 1 + r.Next() * 1.5, {255, 255, 230, 220});
    for (int i = 0; i < 12; ++i) c.FillStar(r.Next() * 640, r.Next() * 480, 14, 0.5, 5, {250, 150, 200, 90});
  };
  Screen(m, kMini + "shootingboss/花シュー2.png", shooterSky, true);
  Screen(m, kMini + "shooting/花シュー2.png", shooterSky);
  Picture(m, kMini + "shooting/けだま.png", 32, 32, true, [](Canvas& c) {
    Scatter r(21);
    for (int i = 0; i < 40; ++i) {
      double a = r.Next() * 2 * M_PI;
      c.Line(16, 16, 16 + 15 * std::cos(a), 16 + 15 * std::sin(a), 1.5, {120, 90, 60, 255});
    }
    c.FillCircle(16, 16, 10, {150, 110, 70, 255});
    c.FillCircle(12, 14, 2.5, kWhite);
    c.FillCircle(20, 14, 2.5, kWhite);
  });
  // 17 gunshooting
  Picture(m, kMini + "gunshooting/ガンシュー.png", 48, 48, true, [](Canvas& c) {
    c.StrokeCircle(24, 24, 18, 3, {230, 30, 30, 255});
    c.Line(24, 2, 24, 46, 2, {230, 30, 30, 255});
    c.Line(2, 24, 46, 24, 2, {230, 30, 30, 255});
  });
  Picture(m, kMini + "gunshooting/足場.png", 16, 16, false, [](Canvas& c) {
    c.Clear({140, 100, 60, 255});
    c.StrokeRect(0, 0, 16, 16, 1.5, {90, 60, 30, 255});
  });
  Picture(m, kMini + "gunshooting/マークなし.png", 256, 256, true, [](Canvas& c) {
    c.StrokeCircle(128, 128, 110, 8, {200, 200, 220, 200});
  });
  // Drawn without transparency over the black hall: opaque, on black.
  Picture(m, kMini + "gunshooting/マークver3.png", 256, 256, false, [](Canvas& c) {
    c.Clear(kBlack);
    c.FillCircle(128, 128, 120, {170, 34, 52, 255});
    c.FillStar(128, 128, 100, 0.45, 5, {255, 220, 80, 255});
    c.FillCircle(128, 128, 22, {200, 40, 60, 255});
  });
  Picture(m, kMini + "gunshooting/空_001.png", 96, 96, true, [](Canvas& c) {
    c.StrokeCircle(48, 48, 42, 5, {80, 220, 255, 220});
    c.StrokeCircle(48, 48, 30, 2, {80, 220, 255, 160});
  });
  Picture(m, kMini + "gunshooting/金ヒュドネ.png", 64, 64, true, [](Canvas& c) {
    c.FillCircle(32, 36, 24, {230, 180, 40, 255});
    c.Line(32, 12, 40, 2, 3, {90, 60, 20, 255});
    c.FillCircle(41, 3, 3, {255, 120, 30, 255});
    c.FillCircle(24, 34, 4, kBlack);
    c.FillCircle(40, 34, 4, kBlack);
  });
  // 18 threerocket
  Picture(m, kMini + "threerocket/bluestar.png", 64, 64, true, [](Canvas& c) { DrawStarShape(c, 32, 32, 30, {60, 130, 255, 255}); });
  Picture(m, kMini + "threerocket/redstar.png", 64, 64, true, [](Canvas& c) { DrawStarShape(c, 32, 32, 30, {240, 60, 60, 255}); });
  Picture(m, kMini + "threerocket/rocket_2_004.png", 48, 128, true, [](Canvas& c) { Rocket(c, -1); }, true);
  Picture(m, kMini + "threerocket/rocket_2_000.png", 48, 128, true, [](Canvas& c) { Rocket(c, 0); });
  Picture(m, kMini + "threerocket/rocket_2_001.png", 48, 128, true, [](Canvas& c) { Rocket(c, 1); });
  // 26 misobomb
  Picture(m, kMini + "misobomb/yousei_S.png", 32, 32, true, [](Canvas& c) {
    c.FillEllipse(8, 12, 8, 5, {200, 240, 255, 200});
    c.FillEllipse(24, 12, 8, 5, {200, 240, 255, 200});
    DrawHead(c, {"y", "y", {120, 220, 140, 255}, {120, 220, 140, 255}}, 16, 18, 9, Facing::Front, Eyes::Happy);
  });
  Picture(m, kMini + "misobomb/ray.png", 32, 16, true, [](Canvas& c) {
    c.VerticalGradient(0, 0, 32, 8, {80, 200, 255, 0}, {200, 240, 255, 255});
    c.VerticalGradient(0, 8, 32, 16, {200, 240, 255, 255}, {80, 200, 255, 0});
  });
  // 27 repeatup
  Picture(m, kMini + "repeatup/要石.png", 96, 32, true, [](Canvas& c) {
    c.FillRoundRect(2, 4, 94, 30, 10, {100, 95, 110, 255});
    c.FillRoundRect(6, 6, 90, 16, 8, {150, 145, 160, 255});
    c.Line(30, 8, 36, 28, 2, {70, 60, 70, 255});
  });
  // 28 trumpmemory
  Picture(m, kMini + "trumpmemory/trump.png", 64, 88, true, [](Canvas& c) { Card(c, "", {}, true); }, true);
  static const char* const faces[8] = {"tavisha", "belnora", "quendri", "falisse", "odwyna", "jurelle", "brounya", "ovrelle"};
  for (int k = 0; k < 8; ++k) {
    std::string key = faces[k];
    Rgba col = k < 6 ? Character(k).body : NameColour(key);
    Picture(m, kMini + "trumpmemory/trump_" + key + ".png", 64, 88, true,
            [key, col](Canvas& c) { Card(c, key, col, false); });
  }
  static const struct {
    const char* file;
    Rgba colour;
  } arrows[4] = {{"矢印.png", {230, 50, 50, 255}},
                 {"矢印_blue.png", {50, 90, 230, 255}},
                 {"矢印_yellow.png", {240, 200, 30, 255}},
                 {"矢印_green.png", {50, 180, 70, 255}}};
  for (const auto& a : arrows) {
    Rgba col = a.colour;
    Picture(m, kMini + "trumpmemory/" + a.file, 32, 32, true, [col](Canvas& c) { DrawUpArrow(c, 16, 1, 31, 24, col); });
  }
  // 16 pooyan (shared at start-up)
  Sheet(m, kMini + "pooyan/ナヴォルカ_push.png", {3, 3, 1, 35, 40}, true, [](Canvas& c, int i) {
    Pose p;
    p.facing = Facing::Right;
    p.armRight = 60 + i * 15;
    NamedFigure(c, "ナヴォルカ", p);
  });
  Sheet(m, kMini + "pooyan/ボグリエナ_pull.png", {3, 3, 1, 32, 40}, true, [](Canvas& c, int i) {
    Pose p;
    p.armLeft = -100 - i * 20, p.armRight = 100 + i * 20;
    NamedFigure(c, "ボグリエナ", p);
  });
  Sheet(m, kMini + "pooyan/風船_pump.png", {4, 4, 1, 32, 32}, true,
        [](Canvas& c, int i) { Balloon(c, 16, 20 - i, 5 + i * 2.5, {240, 80, 80, 255}); }, true);
  Sheet(m, kMini + "pooyan/風船_fly.png", {2, 2, 1, 32, 32}, true,
        [](Canvas& c, int i) { Balloon(c, 16 + (i ? 2 : -2), 12, 11, {240, 80, 80, 255}); });
  Sheet(m, kMini + "pooyan/風船_break.png", {3, 3, 1, 32, 32}, true, [](Canvas& c, int i) {
    for (int k = 0; k < 8; ++k) {
      double a = k * M_PI / 4, r0 = 4 + i * 4, r1 = 8 + i * 5;
      c.Line(16 + r0 * std::cos(a), 14 + r0 * std::sin(a), 16 + r1 * std::cos(a), 14 + r1 * std::sin(a), 2,
             {240, 80, 80, static_cast<uint8_t>(255 - i * 60)});
    }
  });
  Sheet(m, kMini + "pooyan/プーヤン_岩.png", {2, 2, 1, 50, 55}, true, [](Canvas& c, int i) {
    c.FillEllipse(25, 30, 22, 20 - i * 3, {110, 100, 90, 255});
    c.FillEllipse(20, 24, 9, 6, {150, 140, 130, 255});
  });
  Screen(m, kMini + "pooyan/プーヤン_マップ.png", [](Canvas& c) {
    c.FillRect(0, 400, 640, 480, {90, 160, 70, 255});
    c.FillRect(560, 80, 640, 400, {140, 110, 80, 255});
    for (int y = 120; y < 400; y += 60) c.FillRect(540, y, 560, y + 8, {90, 70, 50, 255});
    Cloudy(c, 16, {255, 255, 255, 200});
  }, false, true);
}

}  // namespace mediagen
