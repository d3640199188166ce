// The picture catalogue and the drawing helpers its parts share.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/mediagen/canvas.h"
#include "tools/mediagen/figures.h"
#include "tools/mediagen/manifest.h"

namespace mediagen {

using Painter = std::function<void(Canvas&)>;
using CellPainter = std::function<void(Canvas&, int)>;

// A fixed pseudo-random sequence for scattered details.
struct Scatter {
  uint32_t s;
  explicit Scatter(uint32_t seed) : s(seed * 747796405u + 2891336453u) {}
  double Next() {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) / 16777216.0;
  }
};

std::string Num(int n);

// Catalogue entries: a picture, a sheet cut into cells, a full screen.
void Picture(std::vector<MediaFile>& m, const std::string& path, int w, int h, bool alpha, Painter paint,
             bool sample = false, SizeRule rule = SizeRule::Free);
void Sheet(std::vector<MediaFile>& m, const std::string& path, Cut cut, bool alpha, CellPainter cell,
           bool sample = false);
void Screen(std::vector<MediaFile>& m, const std::string& path, Painter paint, bool sample = false,
            bool alpha = false);

Painter Backdrop(Rgba top, Rgba bottom, const std::string& title, int pattern);
Painter Token(const std::string& symbol, const std::string& caption, Rgba colour);
void BannerWord(Canvas& c, const std::string& word, Rgba fill, double cx, double cy, int size);
void FigureCell(Canvas& c, int who, const Pose& pose, double lift = 0, bool mirror = false);
Pose RunPose(int frame);

// Every picture of the tree, in catalogue order; the minigames' own part.
void AddPictures(std::vector<MediaFile>& m);
void AddMinigamePictures(std::vector<MediaFile>& m);

}  // namespace mediagen
