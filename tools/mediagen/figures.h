// Figures drawn into the stand-in pictures: the six playable characters in
// their poses, event-character portraits, and the small shared shapes
// (coins, stars, arrows, labels).
#pragma once

#include <string>

#include "tools/mediagen/canvas.h"

namespace mediagen {

// The playable characters 0..5.
struct CharacterLook {
  const char* key;   // folder name: "tavisha"
  const char* kana;  // katakana name: "タヴィシャ"
  Rgba body;         // outfit colour (six distinct hues)
  Rgba hair;
};
const CharacterLook& Character(int index);

enum class Facing { Front, Back, Right };
enum class Eyes { Open, Happy, Hurt, Closed };

// A pose: angles in degrees from straight down (positive swings towards the
// right of the picture) for the arms and legs, the lean of the body, a bend
// of the legs (0 straight, 1 fully crouched) and a turn (1 = full width,
// smaller squeezes the figure as it spins).
struct Pose {
  double armLeft = -20, armRight = 20;
  double legLeft = -6, legRight = 6;
  double lean = 0;
  double crouch = 0;
  double squeeze = 1;
  Facing facing = Facing::Front;
  Eyes eyes = Eyes::Open;
  bool ball = false;  // a shot ball in the forward hand
};

// A character figure standing with its feet on (cx, groundY), height tall.
void DrawFigure(Canvas& c, const CharacterLook& look, double cx, double groundY, double height, const Pose& pose);
// A head with its face (for face pictures and portraits), radius r.
void DrawHead(Canvas& c, const CharacterLook& look, double cx, double cy, double r, Facing facing, Eyes eyes);
// A portrait of an event character: a bust in the colour the name gives, its
// name on a plate.
void DrawPortrait(Canvas& c, const std::string& name, const std::string& label);
// The name a portrait's plate shows for its file name: the file's version
// and variant marks ("ver1", "_L", "edg") left out.
std::string PortraitName(const std::string& fileName);
// A colour chosen from a name (stable for every run).
Rgba NameColour(const std::string& name);

void DrawCoin(Canvas& c, double cx, double cy, double r);
void DrawStarShape(Canvas& c, double cx, double cy, double r, Rgba fill);
// An arrow pointing up from (cx, bottom) to (cx, top).
void DrawUpArrow(Canvas& c, double cx, double top, double bottom, double width, Rgba fill);
// A stand-in object: a rounded token of a colour with a symbol and a caption.
void DrawToken(Canvas& c, const std::string& symbol, const std::string& caption, Rgba colour);

}  // namespace mediagen
