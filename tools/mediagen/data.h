// The data and text files of the media tree: board maps, tables, the
// minigames' data files and the Shift-JIS texts.
#pragma once

#include <string>
#include <vector>

namespace mediagen {

// One square of a board map file (row k = square k).
struct Square {
  int x = 0, y = 0;
  std::string kind;  // keyword
  int links[4] = {0, 0, 0, 0};
};

// Board keys by map id 0..6 and the generated boards.
extern const char* const kBoardKeys[7];
// Picture sizes of the boards (width, height).
struct BoardSize {
  int width, height;
};
BoardSize BoardPictureSize(int mapId);
// The squares of map id 0..6 (index 0 = square 1).
const std::vector<Square>& BoardSquares(int mapId);
// Map 4's grid step: the size of brimwold_bg1.png.
constexpr int kBambooCellWidth = 160;
constexpr int kBambooCellHeight = 120;

// File contents (UTF-8 for texts; the writer converts them to CP932).
std::string BoardCsv(int mapId);
std::string MapTableCsv();
std::string MinigameTableCsv();
std::string ItemTableCsv();  // CRLF line ends
std::string RiverCourseCsv();
std::string QuizCsv();
std::string BlockPatternsCsv();
std::string AirRideCourse();
// The course file of the given cells.
std::string AirRideCourseText(const std::vector<int>& cells);
// The air-ride course as cell values, row by row (64 x 48).
std::vector<int> AirRideCells();

// The minigames that have a folder: number and folder.
struct MinigameFolder {
  int number;
  const char* folder;
  const char* name;  // display name
};
const std::vector<MinigameFolder>& MinigameFolders();
std::string ExplanationText(int number);

std::string OrderText(int key);  // text\order keys 0..7
std::string StarText(int key);
std::string RoundBonusText(int key);  // roundbonus keys 0..6
std::string ResultText();
// Event and banquet texts by file name ("ovrelle", "banquet"...).
std::string EventText(const std::string& name);

extern const char* const kOrderKeys[8];
extern const char* const kRoundBonusKeys[7];

}  // namespace mediagen
