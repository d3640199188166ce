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
// screen. Beside each picture the game's state at that moment is written
// ("states/<group>-<nn>-<step>.txt"), so that two runs can be shown to have
// reached the same states before their pictures are compared.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

enum class GalleryBackend { Software, OpenGL };

struct GalleryOptions {
  std::string outDir;
  GalleryBackend backend = GalleryBackend::Software;
  uint32_t seed = 5;
  // The frames to draw (GalleryShot::frame of another run of the group),
  // or empty for every frame; the others run with an empty drawing area,
  // much sooner. A run with the same seed and inputs reaches the same
  // states and takes its pictures of the same frames (a picture of a frame
  // not drawn is a problem of the run), and each frame is drawn afresh, so
  // a run whose pictures are only compared with another's draws just those.
  std::set<int> drawnFrames;
};

// One saved picture: its file name in the output folder, what it shows,
// and the frame it shows (the harness's frame count after it).
struct GalleryShot {
  std::string file;
  std::string title;
  int frame = 0;
};

struct GalleryGroupResult {
  std::vector<GalleryShot> shots;
  std::vector<std::string> problems;  // empty when the group ran through
  // The OpenGL path: the log's lines that name the device's driver and
  // renderer.
  std::vector<std::string> device;
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

// What is wrong with a run of the group whose pictures are in the folder:
// its problems, each step it must show without a picture, each picture
// that cannot be read, is not 640 x 480 or is of one colour (a blank
// screen), and each picture the index leaves out. Empty when nothing is.
std::vector<std::string> GalleryGroupFaults(const std::string& group, const GalleryGroupResult& result,
                                            const std::string& outDir);

// ---------------------------------------------------------------- comparing two galleries

// Whether two state files of one step agree: every line the same, but for
// the values of graph handles (the Direct3D path makes graphs of its own, so
// a graph loaded later takes another slot). Otherwise `difference` tells the
// first line that differs.
bool SameGalleryStates(const std::string& a, const std::string& b, std::string* difference);

// How two pictures of one screen differ: the pixels of which a channel
// differs by more than the threshold; of those, the pixels that are not
// within the threshold of any pixel of the other picture one pixel or less
// away (either way), so that a shape drawn one pixel off counts only where it
// is not the same shape moved; the largest difference of a channel, and a
// pixel where it is.
struct PictureDifference {
  int pixels = 0;
  int unmatched = 0;
  int largest = 0;
  int x = -1, y = -1;
};
// Pictures given as files (PNG, 640 x 480); false when one cannot be read.
bool CompareGalleryPictures(const std::string& a, const std::string& b, int threshold, PictureDifference* out);
