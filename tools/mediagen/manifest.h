// Every file of the media tree: its path, what kind of file it is, the size
// and cut its loader needs, and how it is made.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/mediagen/canvas.h"

namespace mediagen {

enum class FileKind {
  Picture,  // PNG
  Effect,   // WAVE, 16-bit PCM
  Music,    // Ogg Vorbis
  Text,     // CP932 text with message codes
  Table,    // CP932 CSV and other data files
};

// How the game loads a picture.
enum class Loader {
  Graph,    // LoadGraphFile(file, 0)
  Divided,  // LoadDividedGraph with the cut below
  Mask,     // LoadMaskFile
};

// The cells of a divided picture: count cells, across x down, each w x h.
struct Cut {
  int count = 0, across = 0, down = 0, w = 0, h = 0;
};

// What the size of a picture must be.
enum class SizeRule {
  Free,   // any size works; the generated size is a suggestion
  Exact,  // the loader or the drawing needs exactly width x height
};

// Which content rules a text or data file follows (the validator's switch).
enum class Rules {
  None,
  OrderText,     // text\order: 5 lines of 59 bytes, @F / @N endings
  StarText,      // text\star: 6 lines
  RoundText,     // text\roundbonus: 3 lines of 59 bytes
  ResultText,    // sugoresult.txt: one text of 299 bytes ending @N
  EventText,     // TXT5 event files
  BanquetText,   // five pages ended by @N
  Explanation,   // explain.txt
  MinigameTable,
  ItemTable,
  MapTable,
  BoardMap,      // media\data\map\*.csv; mapId says which
  RiverCourse,
  QuizQuestions,
  BlockPatterns,
  AirRideCourse,
};

struct MediaFile {
  std::string path;  // UTF-8, '/' separated, relative to the media folder
  FileKind kind = FileKind::Picture;
  // Pictures.
  int width = 0, height = 0;
  Loader loader = Loader::Graph;
  Cut cut;
  SizeRule size = SizeRule::Free;
  bool alpha = false;   // drawn with transparency: needs an alpha channel
  bool sample = false;  // shown on the contact sheet
  std::function<void(Canvas&)> paint;
  // Every other file: its bytes.
  std::function<std::vector<uint8_t>()> make;
  Rules rules = Rules::None;
  int mapId = -1;     // Rules::BoardMap
  int textLines = 0;  // EventText: lines the event reads
};

// The whole tree, in a fixed order.
const std::vector<MediaFile>& Manifest();

// The game's path of a file: "media\" + path with '\' separators, as
// UTF-8 (the library converts it to Shift-JIS).
std::string GamePath(const MediaFile& file);

// UTF-8 text as CP932 bytes; false when a character has no CP932 form.
bool ToCp932(const std::string& utf8, std::string* cp932);

}  // namespace mediagen
