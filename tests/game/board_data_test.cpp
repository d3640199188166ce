// The game's CSV tables (minigames, items, board maps, board squares) on the
// generated files and on hostile ones, and the board set-up of maps 1 to 4.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "game/board/board_map.h"
#include "game/board/landing_effects.h"
#include "game/board/magic_square_slot.h"
#include "game/board/party_scene.h"
#include "game/board/turn_machine.h"
#include "game/shell/item_table.h"
#include "game/shell/minigame_table.h"
#include "game/shell/player_table.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"
#include "tests/support/scratch_log.h"
#include "tests/support/test_support.h"

namespace {

#define REQUIRE_MEDIA() \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"

// The loaders read "media\..." below the working folder: the scratch
// directory of this test process.
class BoardData : public ScratchLogTest {
 protected:
  void TearDown() override {
    RemoveTree(TestScratchDir() + "/media");
    ScratchLogTest::TearDown();
  }
  static void Put(const std::string& relative, const std::string& bytes) {
    std::string path = TestScratchDir() + "/media/" + relative;
    std::filesystem::create_directories(path.substr(0, path.rfind('/')));
    WriteFileText(path, bytes);
  }
  static void PutGenerated(const std::string& relative) {
    std::vector<uint8_t> bytes = ReadFileBytes(GeneratedMediaDir() + "/" + relative);
    Put(relative, std::string(bytes.begin(), bytes.end()));
  }
  static bool LogHas(const std::string& text) { return Log().find(text) != std::string::npos; }
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Lines joined with the line end.
std::string Lines(const std::vector<std::string>& lines, const std::string& end = "\n") {
  std::string out;
  for (const std::string& line : lines) out += line + end;
  return out;
}

// ---------------------------------------------------------------- minigame table

TEST_F(BoardData, MinigameTableFromTheGeneratedFile) {
  REQUIRE_MEDIA();
  PutGenerated("data/minidata.csv");
  LoadMinigameTable();
  EXPECT_EQ(MinigameInfoTable[0].number, 0);
  EXPECT_STREQ(MinigameInfoTable[1].name, "連打でライト");
  for (int row = 1; row <= 29; ++row) {
    if (row == 15 || row == 23) {
      EXPECT_EQ(MinigameInfoTable[row].number, 0) << row;
      continue;
    }
    EXPECT_EQ(MinigameInfoTable[row].number, row) << row;
    EXPECT_NE(MinigameInfoTable[row].name[0], '\0') << row;
    EXPECT_TRUE(MinigameInfoTable[row].category >= 0 && MinigameInfoTable[row].category <= 2) << row;
  }
  EXPECT_EQ(MinigameInfoTable[30].number, 31);
  EXPECT_FALSE(LogHas("のミニゲームはありません")) << "the placeholders are not noted";
}

TEST_F(BoardData, MinigameTableHostileFiles) {
  const std::string header = "number,name,category,group\n";
  const std::string longKanji = Repeat("漢", 30);  // 60 bytes
  struct Case {
    const char* what;
    std::string file;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"a long double-byte name keeps whole characters within 39 bytes",
       header + "1," + longKanji + ",2,7\n2,b,1,0\n",
       [&] {
         EXPECT_EQ(strlen(MinigameInfoTable[1].name), 38u);
         EXPECT_EQ(std::string(MinigameInfoTable[1].name), longKanji.substr(0, 38));
         EXPECT_EQ(MinigameInfoTable[1].category, 2);
         EXPECT_EQ(MinigameInfoTable[1].groupWord, 7);
         EXPECT_EQ(MinigameInfoTable[2].number, 2) << "the next row stays in place";
       }},
      {"a long single-byte name keeps 39 bytes", header + "1," + Repeat("x", 55) + ",1,0\n",
       [&] {
         EXPECT_EQ(std::string(MinigameInfoTable[1].name), Repeat("x", 39));
         EXPECT_EQ(MinigameInfoTable[1].category, 1);
       }},
      {"CR LF reads as LF", header + "3,abc,1,4\r\n5,def,2,6\r\n",
       [&] {
         EXPECT_EQ(MinigameInfoTable[1].number, 3);
         EXPECT_STREQ(MinigameInfoTable[1].name, "abc");
         EXPECT_EQ(MinigameInfoTable[1].groupWord, 4);
         EXPECT_EQ(MinigameInfoTable[2].number, 5);
         EXPECT_EQ(MinigameInfoTable[2].groupWord, 6);
       }},
      {"no line end after the last row", header + "3,abc,1,4",
       [&] { EXPECT_EQ(MinigameInfoTable[1].groupWord, 4); }},
      {"a short row shifts the fields after it", header + "1,a,0\n2,b,1,5\n",
       [&] {
         EXPECT_EQ(MinigameInfoTable[1].groupWord, 2);
         EXPECT_EQ(MinigameInfoTable[2].number, 0) << "'b' read as a number";
       }},
      {"rows past 69 are ignored",
       [&] {
         std::string f = header;
         for (int r = 1; r <= 80; ++r) f += std::to_string(r % 29 + 1) + ",n,0,0\n";
         return f;
       }(),
       [&] {
         EXPECT_EQ(MinigameInfoTable[69].number, 69 % 29 + 1);
         EXPECT_TRUE(LogHas("69 行目より後の行は読みません"));
       }},
      {"a number without a minigame is logged", header + "15,ghost,0,0\n1,ok,0,0\n",
       [&] { EXPECT_TRUE(LogHas("1 行目の番号 15 のミニゲームはありません")); }},
      {"an empty file", "", [&] { EXPECT_EQ(MinigameInfoTable[1].number, 0); }},
      {"a header only", "number,name", [&] { EXPECT_EQ(MinigameInfoTable[1].name[0], '\0'); }},
      {"a lone lead byte at a field's end is dropped", header + "1,ab\x82,0,0\n",
       [&] { EXPECT_STREQ(MinigameInfoTable[1].name, "ab"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartScratchLog();
    Put("data/minidata.csv", c.file);
    LoadMinigameTable();
    c.check();
  }
}

// ---------------------------------------------------------------- item table

TEST_F(BoardData, ItemTableFromTheGeneratedFileAndItsLineEnds) {
  REQUIRE_MEDIA();
  PutGenerated("data/item.csv");
  LoadItemTable();
  ItemRecord crlf[kItemTableRows];
  memcpy(crlf, ItemTable, sizeof crlf);
  EXPECT_EQ(crlf[0].price, 0);
  EXPECT_EQ(crlf[1].number, 1);
  EXPECT_EQ(crlf[1].price, 10);
  EXPECT_STREQ(crlf[39].name, "未使用39");
  EXPECT_STREQ(crlf[39].description, "なし");
  for (int id = 1; id < kItemTableRows; ++id) EXPECT_EQ(crlf[id].number, id);
  // The same file with LF alone reads the same.
  std::vector<uint8_t> bytes = ReadFileBytes(GeneratedMediaDir() + "/data/item.csv");
  std::string lf;
  for (uint8_t b : bytes)
    if (b != '\r') lf += static_cast<char>(b);
  Put("data/item.csv", lf);
  LoadItemTable();
  EXPECT_EQ(memcmp(crlf, ItemTable, sizeof crlf), 0);
}

TEST_F(BoardData, ItemTableHostileFiles) {
  const std::string header = "number,price,name,description\r\n";
  StartScratchLog();
  std::string file = header + "1,10," + Repeat("名", 12) + "," + Repeat("d", 150) + "\r\n";
  for (int r = 2; r <= 45; ++r) file += std::to_string(r) + ",5,n" + std::to_string(r) + ",x\n";
  Put("data/item.csv", file);
  LoadItemTable();
  EXPECT_EQ(std::string(ItemTable[1].name), Repeat("名", 9)) << "19 bytes hold 9 whole characters";
  EXPECT_EQ(std::string(ItemTable[1].description), Repeat("d", 99));
  EXPECT_EQ(ItemTable[2].price, 5) << "the row after the long fields is in place";
  EXPECT_STREQ(ItemTable[39].name, "n39");
  EXPECT_TRUE(LogHas("39 行目より後の行は読みません"));
  // A price below 0 refuses its row: the item does not exist (price 0).
  Put("data/item.csv", header + "1,10,a,x\n2,-5,b,y\n3,-2147483648,c,z\n4,0,d,w\n5,7,e,v\n");
  LoadItemTable();
  EXPECT_EQ(ItemTable[1].price, 10);
  for (int id : {2, 3}) {
    EXPECT_EQ(ItemTable[id].price, 0) << id;
    EXPECT_STREQ(ItemTable[id].name, "") << id;
  }
  EXPECT_EQ(ItemTable[5].price, 7) << "the rows after a refused one are in place";
  EXPECT_TRUE(LogHas("2 行目の値段 -5 は使えません"));
  EXPECT_TRUE(LogHas("3 行目の値段 -2147483648 は使えません"));
  // A file that ends inside a row keeps what was read.
  Put("data/item.csv", header + "1,20,abc");
  LoadItemTable();
  EXPECT_EQ(ItemTable[1].price, 20);
  EXPECT_STREQ(ItemTable[1].name, "abc");
  EXPECT_EQ(ItemTable[2].price, 0);
}

// ---------------------------------------------------------------- map list and squares

TEST_F(BoardData, MapListAndSquaresFromTheGeneratedFiles) {
  REQUIRE_MEDIA();
  PutGenerated("data/mapdata.csv");
  LoadMapData();
  EXPECT_STREQ(MapInfoTable[2].name, "屋敷");
  EXPECT_EQ(MapInfoTable[2].height, 2080);
  EXPECT_EQ(MapInfoTable[2].width, 2400);
  EXPECT_EQ(MapInfoTable[7].name[0], '\0') << "rows 7 to 9 stay empty";
  EXPECT_EQ(MapInfoTable[9].width, 0);

  const char* keys[] = {"kelbrin", "thornyle", "zarvie", "cadris", "brimwold", "damuel", "urdena"};
  for (int map = 0; map <= 6; ++map) {
    PutGenerated(std::string("data/map/") + keys[map] + ".csv");
    LoadBoardSquares(map);
    const SquareRecord zero{};
    EXPECT_EQ(memcmp(&SquareTable[0], &zero, sizeof zero), 0) << map;
    EXPECT_EQ(SquareTable[1].id, 1) << map;
  }
  LoadBoardSquares(2);
  EXPECT_EQ(SquareTable[4].kind, kSquareBlue);
  EXPECT_EQ(SquareTable[4].link[0], 5);
  EXPECT_EQ(SquareTable[4].link[1], 59);
  EXPECT_EQ(SquareTable[4].x, 1200.0f);
  EXPECT_EQ(SquareTable[68].kind, kSquareWarp);
  EXPECT_EQ(SquareTable[69].id, 0) << "68 rows";
  EXPECT_FALSE(LogHas("のリンク"));
}

TEST_F(BoardData, SquareFileHostileFiles) {
  const std::string header = "id,x,y,kind,link1,link2,link3,link4\n";
  struct Case {
    const char* what;
    std::string file;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"kinds by exact keyword; a capital letter reads 0",
       header + Lines({"1,10,20,blue,2,0,0,0", "2,30,40,Blue,3,0,0,0", "3,50,60,gimhole,1,0,0,0"}),
       [] {
         EXPECT_EQ(SquareTable[1].kind, kSquareBlue);
         EXPECT_EQ(SquareTable[2].kind, kSquarePlain);
         EXPECT_EQ(SquareTable[3].kind, kSquarePitfall);
         EXPECT_EQ(SquareTable[3].x, 50.0f);
       }},
      {"a keyword ending its line with CR LF", header + Lines({"1,10,20,1,2,0,0,0", "2,5,5,red"}, "\r\n"),
       [] {
         EXPECT_EQ(SquareTable[2].kind, kSquareRed);
         EXPECT_EQ(SquareTable[2].link[0], 0) << "a short row leaves the rest 0";
       }},
      {"links outside 1..rows read as 0",
       header + Lines({"1,0,0,blue,2,150,-3,3", "2,0,0,blue,1,0,0,0", "3,0,0,red,4,99,0,1"}),
       [] {
         EXPECT_EQ(SquareTable[1].link[0], 2);
         EXPECT_EQ(SquareTable[1].link[1], 0);
         EXPECT_EQ(SquareTable[1].link[2], 0);
         EXPECT_EQ(SquareTable[1].link[3], 3);
         EXPECT_EQ(SquareTable[3].link[0], 0);
         EXPECT_EQ(SquareTable[3].link[1], 0);
         EXPECT_EQ(SquareTable[3].link[3], 1);
         EXPECT_TRUE(LogHas("マス 1 のリンク 150 はありません"));
       }},
      {"long fields are cut, extra columns skipped",
       header + Lines({"1," + Repeat("9", 40) + ",7," + Repeat("b", 30) + ",2,0,0,0,5,6,7", "2,1,2,red,1,0,0,0"}),
       [] {
         EXPECT_EQ(SquareTable[1].x, kSquareCoordinateLimit) << "a number too long reads as the largest, then lies at the edge";
         EXPECT_TRUE(LogHas("マス 1 の位置 (2147483648, 7) は盤の外です"));
         EXPECT_EQ(SquareTable[1].y, 7.0f);
         EXPECT_EQ(SquareTable[1].kind, kSquarePlain);
         EXPECT_EQ(SquareTable[1].link[0], 2);
         EXPECT_EQ(SquareTable[2].kind, kSquareRed) << "the next row is in place";
         EXPECT_EQ(SquareTable[2].id, 2);
       }},
      {"rows past 99 are ignored",
       [&] {
         std::string f = header;
         for (int r = 1; r <= 120; ++r) f += std::to_string(r) + ",1,1,blue," + std::to_string(r % 120 + 1) + ",0,0,0\n";
         return f;
       }(),
       [] {
         EXPECT_EQ(SquareTable[99].id, 99);
         EXPECT_EQ(SquareTable[98].link[0], 99);
         EXPECT_EQ(SquareTable[99].link[0], 0) << "100 is no square";
         EXPECT_TRUE(LogHas("99 行目より後の行は読みません"));
       }},
      {"exactly 99 rows",
       [&] {
         std::string f = header;
         for (int r = 1; r <= 99; ++r) f += std::to_string(r) + ",1,1,red,1,0,0,0\n";
         return f;
       }(),
       [] {
         EXPECT_EQ(SquareTable[99].kind, kSquareRed);
         EXPECT_EQ(SquareTable[0].kind, 0);
         EXPECT_FALSE(LogHas("行目より後"));
       }},
      {"squares far off the board lie at its edge; those within stay",
       header + Lines({"1,-1000000000,4096,blue,2,0,0,0", "2,-4096,900000,red,1,0,0,0"}),
       [] {
         EXPECT_EQ(SquareTable[1].x, -kSquareCoordinateLimit);
         EXPECT_EQ(SquareTable[1].y, 4096.0f);
         EXPECT_EQ(SquareTable[2].x, -4096.0f);
         EXPECT_EQ(SquareTable[2].y, kSquareCoordinateLimit);
         EXPECT_TRUE(LogHas("マス 1 の位置 (-1000000000, 4096) は盤の外です"));
         EXPECT_TRUE(LogHas("マス 2 の位置"));
       }},
      {"signs and blanks in numbers", header + "1, -12,+7x,way,1\n",
       [] {
         EXPECT_EQ(SquareTable[1].x, -12.0f);
         EXPECT_EQ(SquareTable[1].y, 7.0f);
         EXPECT_EQ(SquareTable[1].kind, kSquareWay);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartScratchLog();
    Put("data/map/thornyle.csv", c.file);
    LoadBoardSquares(1);
    c.check();
  }
  // The map list: long names, more than ten rows, CR LF.
  std::string list = "name,height,width,extra\r\n";
  list += Repeat("長", 8) + ",480,640,0\r\n";
  for (int r = 1; r < 14; ++r) list += "m" + std::to_string(r) + ",600,800,1\r\n";
  StartScratchLog();
  Put("data/mapdata.csv", list);
  LoadMapData();
  EXPECT_EQ(std::string(MapInfoTable[0].name), Repeat("長", 5));
  EXPECT_EQ(MapInfoTable[0].width, 640);
  EXPECT_STREQ(MapInfoTable[9].name, "m9");
  EXPECT_EQ(MapInfoTable[9].extra, 1);
  EXPECT_TRUE(LogHas("10 行目より後の行は読みません"));
}

TEST(BoardFolders, KeysAndTheirBounds) {
  char buffer[16] = "unchanged";
  EXPECT_FALSE(GetBoardFolderName(8, buffer));
  EXPECT_FALSE(GetBoardFolderName(-1, buffer));
  EXPECT_STREQ(buffer, "unchanged");
  EXPECT_TRUE(GetBoardFolderName(7, buffer));
  EXPECT_STREQ(buffer, "cardomina");
  EXPECT_TRUE(GetBoardFolderName(3, buffer));
  EXPECT_STREQ(buffer, "cadris");
  EXPECT_EQ(ParseSquareKind("pseudomasu"), kSquareFalse);
  EXPECT_EQ(ParseSquareKind("fonterica"), kSquareHouse);
  EXPECT_EQ(ParseSquareKind(""), 0);
  EXPECT_EQ(ParseSquareKind("blue "), 0);
}

// ---------------------------------------------------------------- board set-up

class BoardSetUp : public BoardData {
 protected:
  void SetUp() override {
    BoardData::SetUp();
    if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)";
    for (const char* key : {"thornyle", "zarvie", "cadris", "brimwold"})
      PutGenerated(std::string("data/map/") + key + ".csv");
  }
  // A fresh set-up of the map with the seed; the squares as loaded before it.
  static void SetUpMap(int32_t map, uint32_t seed, SquareRecord before[kSquareCount]) {
    memset(PlayerTable, 0, sizeof PlayerTable);
    for (PlayerRecord& p : PlayerTable) {
      p.coins = 50;
      p.items[0] = 3;
    }
    StandingsTable[0] = 1234;
    CurrentMapId = map;
    LoadBoardSquares(map);
    memcpy(before, SquareTable, sizeof SquareTable);
    SeedRandom(seed);
    int calls = 0;
    while (SetUpBoard() != 1) ASSERT_LT(++calls, 10);
  }
};

TEST_F(BoardSetUp, CommonResetAndStartSquares) {
  SquareRecord before[kSquareCount];
  struct Case {
    int32_t map, square, previous, passage;
  };
  for (Case c : {Case{1, 1, 24, -1}, Case{2, 1, 5, -1}, Case{3, 68, 62, 0}}) {
    SCOPED_TRACE(c.map);
    RoundEffect = 3;
    RoundEffectRoundsLeft = 2;
    SetUpMap(c.map, 11, before);
    for (const PlayerRecord& p : PlayerTable) {
      EXPECT_EQ(p.square, c.square);
      EXPECT_EQ(p.prevSquare, c.previous);
      EXPECT_EQ(p.x, SquareTable[c.square].x);
      EXPECT_EQ(p.y, SquareTable[c.square].y);
      EXPECT_EQ(p.coins, 0);
      EXPECT_EQ(p.items[0], 0);
      EXPECT_EQ(p.facing, 2);
    }
    EXPECT_EQ(SquareTable[c.square].occupancy, 4);
    EXPECT_EQ(StandingsTable[0], 0);
    EXPECT_EQ(PassageClosedRounds, c.passage);
    EXPECT_EQ(RoundEffect, 0);
    EXPECT_EQ(RoundEffectRoundsLeft, 0);
    EXPECT_EQ(MinigameWeights[0], 3);
    EXPECT_EQ(MinigameWeights[29], 3);
    EXPECT_EQ(SetUpBoardState, 2) << "ready for the next party";
  }
}

TEST_F(BoardSetUp, MapTwoPairsTheWarpsAndPlacesTheStarShop) {
  SquareRecord before[kSquareCount];
  std::set<std::vector<int32_t>> pairings;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    SetUpMap(2, seed, before);
    std::vector<int32_t> warps;
    for (int s = 1; s < kSquareCount; ++s)
      if (SquareTable[s].kind == kSquareWarp) warps.push_back(s);
    ASSERT_EQ(warps.size(), 10u);
    std::multiset<int32_t> inPairs(WarpPairs, WarpPairs + 10);
    EXPECT_EQ(inPairs, std::multiset<int32_t>(warps.begin(), warps.end())) << "every warp in one pair";
    for (int k = 0; k < 5; ++k) {
      int32_t a = WarpPairs[2 * k], b = WarpPairs[2 * k + 1];
      EXPECT_NE(a, b);
      EXPECT_EQ(SquareTable[a].link[3], b);
      EXPECT_EQ(SquareTable[b].link[3], a);
    }
    int shops = 0;
    for (int s = 1; s < kSquareCount; ++s) {
      if (SquareTable[s].kind == kSquareStarShop) {
        ++shops;
        EXPECT_EQ(before[s].kind, kSquareBlue);
        EXPECT_NE(s, 1);
      } else if (SquareTable[s].kind != before[s].kind) {
        ADD_FAILURE() << "square " << s << " changed kind";
      }
    }
    EXPECT_EQ(shops, 1);
    pairings.insert(std::vector<int32_t>(WarpPairs, WarpPairs + 10));
  }
  EXPECT_GT(pairings.size(), 30u) << "the pairs are drawn at random";
}

TEST_F(BoardSetUp, MapThreePlacesTheStarShopOffTheStart) {
  SquareRecord before[kSquareCount];
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SetUpMap(3, seed, before);
    int shops = 0;
    for (int s = 1; s < kSquareCount; ++s)
      if (SquareTable[s].kind == kSquareStarShop) {
        ++shops;
        EXPECT_EQ(before[s].kind, kSquareBlue);
        EXPECT_NE(s, 68);
      }
    EXPECT_EQ(shops, 1) << seed;
  }
}

TEST_F(BoardSetUp, MapFourShufflesAroundThePieces) {
  SquareRecord before[kSquareCount];
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    WanderingSquare = 77;
    SetUpMap(4, seed, before);
    int occupancy = 0;
    for (int s = 1; s <= 25; ++s) occupancy += SquareTable[s].occupancy;
    EXPECT_EQ(occupancy, 4);
    for (const PlayerRecord& p : PlayerTable) {
      ASSERT_GE(p.square, 1);
      ASSERT_LE(p.square, 25);
      EXPECT_GE(SquareTable[p.square].occupancy, 1);
      EXPECT_EQ(p.prevSquare, 0);
      EXPECT_EQ(p.x, SquareTable[p.square].x);
    }
    // Every kind now on the board was on it before.
    std::multiset<int32_t> kindsBefore;
    for (int s = 1; s <= 25; ++s) kindsBefore.insert(before[s].kind);
    for (int s = 1; s <= 25; ++s) EXPECT_EQ(kindsBefore.count(SquareTable[s].kind) > 0, true) << s;
    EXPECT_GE(WanderingSquare, 1);
    EXPECT_LE(WanderingSquare, 25);
    EXPECT_EQ(ImpossibleRequestGiven[1], 0);
  }
  // All four pieces on one square: its occupancy stays 4 and its kind
  // stays through all four shuffles.
  LoadBoardSquares(4);
  for (PlayerRecord& p : PlayerTable) p.square = 7;
  SquareTable[7].occupancy = 4;
  SquareTable[7].kind = kSquareHouse;
  WanderingSquare = 0;
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    SeedRandom(seed);
    for (int p = 1; p <= 4; ++p) ShuffleSquareKinds(p);
    EXPECT_EQ(SquareTable[7].kind, kSquareHouse);
    EXPECT_EQ(SquareTable[7].occupancy, 4);
  }
}

TEST_F(BoardSetUp, TheWanderingMarkFollowsItsKind) {
  LoadBoardSquares(4);
  for (PlayerRecord& p : PlayerTable) p.square = 1;
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    SeedRandom(seed);
    for (int s = 1; s <= 25; ++s) SquareTable[s].kind = 100 + s;  // every kind its own
    WanderingSquare = 9;
    ShuffleSquareKinds(1);
    EXPECT_EQ(SquareTable[1].kind, 101) << "the held square keeps its kind";
    if (WanderingSquare != 9 || SquareTable[9].kind == 109) {
      EXPECT_EQ(SquareTable[WanderingSquare].kind, 109) << seed;
    }
  }
}

TEST_F(BoardSetUp, LoopsWithoutACandidateSkipTheirAction) {
  SquareRecord before[kSquareCount];
  // Map 2 without blue squares and with three warps only.
  std::string file = "id,x,y,kind,link1,link2,link3,link4\n";
  for (int r = 1; r <= 12; ++r) file += std::to_string(r) + ",0,0," + (r <= 3 ? "warp" : "red") + ",1,0,0,0\n";
  Put("data/map/zarvie.csv", file);
  SetUpMap(2, 5, before);
  int paired = 0;
  for (int s = 1; s <= 3; ++s)
    if (SquareTable[s].link[3] != 0) ++paired;
  EXPECT_EQ(paired, 2) << "one pair; the third warp finds no partner";
  EXPECT_EQ(SquareTable[WarpPairs[0]].link[3], WarpPairs[1]);
  EXPECT_EQ(WarpPairs[2], 0);
  for (int s = 1; s <= 12; ++s) EXPECT_NE(SquareTable[s].kind, kSquareStarShop);
  EXPECT_TRUE(LogHas("スターショップを置ける青マスがありません"));
  // Map 4 without blue or red squares: no wandering mark.
  file = "id,x,y,kind,link1,link2,link3,link4\n";
  for (int r = 1; r <= 25; ++r) file += std::to_string(r) + ",0,0,item,1,0,0,0\n";
  Put("data/map/brimwold.csv", file);
  SetUpMap(4, 5, before);
  EXPECT_EQ(WanderingSquare, 0);
  EXPECT_EQ(PickRandomColouredSquare(), 0);
  // A map without board rules still ends its set-up.
  Put("data/map/damuel.csv", "h\n1,0,0,blue,1\n");
  SetUpMap(5, 5, before);
  EXPECT_EQ(PlayerTable[0].square, 1);
}

}  // namespace
