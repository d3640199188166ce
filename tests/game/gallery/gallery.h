// The screen gallery: the real program driven through the game harness with
// a fixed seed, one picture saved of every scene and step a player meets,
// and an index page over them.
//
// The gallery is cut into groups (the front end, the party set-up, each
// map's party, each minigame), each run in a game process of its own, so
// that the groups can run side by side. Each group writes its pictures as
// "<group>-<nn>-<step>.png" into the output folder with a list of them
// ("<group>.list"), and rebuilds "index.html" from every list in the folder.
//
// Either drawing back end can be chosen: the software renderer (the default;
// the pictures are read from its screen), or Direct3D through OpenGL, in a
// window on an X display (the pictures are read from the window): the same
// steps then give the same names, so the two galleries compare screen by
// screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class GalleryBackend { Software, OpenGL };

struct GalleryOptions {
  std::string outDir;
  GalleryBackend backend = GalleryBackend::Software;
  uint32_t seed = 5;
};

// One saved picture: its file name in the output folder and what it shows.
struct GalleryShot {
  std::string file;
  std::string title;
};

struct GalleryGroupResult {
  std::vector<GalleryShot> shots;
  std::vector<std::string> problems;  // empty when the group ran through
};

// Every group, in the index's order.
const std::vector<std::string>& GalleryGroups();
// The steps a group must show, by their names (the step part of the file name).
std::vector<std::string> GalleryRequiredSteps(const std::string& group);

// Runs one group (in a game process of its own, through RunGame) and writes
// its pictures, its list and the index.
GalleryGroupResult RunGalleryGroup(const std::string& group, const GalleryOptions& options);

// The index page from the lists in the folder.
bool WriteGalleryIndex(const std::string& outDir);
