#include "tools/mediagen/data.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

namespace mediagen {

const char* const kBoardKeys[7] = {"kelbrin", "thornyle", "zarvie", "cadris", "brimwold", "damuel", "urdena"};
const char* const kOrderKeys[8] = {"kelbrin", "thornyle", "zarvie", "cadris",
                                   "brimwold", "damuel", "urdena", "cardomina"};
const char* const kRoundBonusKeys[7] = {"kelbrin", "zarvie", "cadris", "fonterica", "damuel", "urdena", "cardomina"};

namespace {

struct P {
  double x, y;
};

// Points along a side from a to b: count points, the first one step after a
// and the last one on b.
void Side(std::vector<P>& out, P a, P b, int count) {
  for (int i = 1; i <= count; ++i) out.push_back({a.x + (b.x - a.x) * i / count, a.y + (b.y - a.y) * i / count});
}

// A rectangular ring clockwise from its top-left corner, with the given
// number of steps on each side.
std::vector<P> Ring(P topLeft, P bottomRight, int top, int right, int bottom, int left) {
  std::vector<P> p = {topLeft};
  P tr{bottomRight.x, topLeft.y}, bl{topLeft.x, bottomRight.y};
  Side(p, topLeft, tr, top);
  Side(p, tr, bottomRight, right);
  Side(p, bottomRight, bl, bottom);
  Side(p, bl, topLeft, left);
  p.pop_back();  // the last step is the first corner again
  return p;
}

Square Sq(P at, const char* kind, int l1, int l2 = 0) {
  Square s;
  s.x = static_cast<int>(std::lround(at.x));
  s.y = static_cast<int>(std::lround(at.y));
  s.kind = kind;
  s.links[0] = l1;
  s.links[1] = l2;
  return s;
}

// Map 1: a loop of 24 squares round the board and a shortcut of four down
// its middle from square 6 to square 15.
std::vector<Square> MakeThornyle() {
  std::vector<P> ring = Ring({140, 140}, {1140, 820}, 7, 5, 7, 5);
  static const char* const kinds[24] = {"blue", "blue",   "red",  "getkinoko", "blue",   "blue",
                                        "item", "blue",   "starshop", "blue",  "event",  "red",
                                        "blue", "itemshop", "blue", "chance", "blue",   "ovrelle",
                                        "blue", "red",    "attackshop", "blue", "round", "blue"};
  std::vector<Square> s;
  for (int i = 0; i < 24; ++i) s.push_back(Sq(ring[i], kinds[i], i == 23 ? 1 : i + 2));
  s[5].links[1] = 25;
  static const char* const middle[4] = {"blue", "item", "red", "blue"};
  for (int k = 0; k < 4; ++k) s.push_back(Sq({ring[5].x, 140.0 + 136 * (k + 1)}, middle[k], k == 3 ? 15 : 26 + k));
  return s;
}

// Map 2, the mansion: floor 1 is an inner loop 1..22 with warps 59..62,
// floor 2 an outer loop 24..58 with warps 63..68; square 23 is a path
// square that leads to floor 2 and that nothing reaches.
std::vector<Square> MakeZarvie() {
  std::vector<Square> s(68);
  std::vector<P> inner = Ring({700, 640}, {1700, 1440}, 6, 5, 6, 5);
  static const char* const floor1[22] = {"blue", "blue", "red",  "blue", "item", "blue",  "blue", "event",
                                         "blue", "red",  "blue", "chance", "blue", "blue", "item", "blue",
                                         "red",  "blue", "blue", "event", "blue", "red"};
  for (int i = 0; i < 22; ++i) s[i] = Sq(inner[i], floor1[i], i == 21 ? 1 : i + 2);
  s[22] = Sq({1200, 1040}, "way", 24);
  std::vector<P> outer = Ring({200, 200}, {2200, 1880}, 10, 8, 10, 7);
  static const char* const floor2[35] = {
      "blue", "blue", "red",  "blue", "blue", "item", "blue", "round", "blue", "red",  "blue",  "event",
      "brounya", "blue", "blue", "red", "blue", "chance", "blue", "blue", "item", "itemshop", "red", "blue",
      "blue", "event", "blue", "red", "blue", "blue", "item", "blue", "attackshop", "blue", "red"};
  for (int i = 0; i < 35; ++i) s[23 + i] = Sq(outer[i], floor2[i], i == 34 ? 24 : 25 + i);
  // Forks to the warps and the warps' onward squares.
  const int forks1[4] = {4, 9, 14, 19};
  for (int w = 0; w < 4; ++w) {
    int fork = forks1[w];
    Square& f = s[fork - 1];
    f.links[1] = 59 + w;
    // A warp sits 160 pixels inside the ring from its fork.
    P at{static_cast<double>(f.x), static_cast<double>(f.y)};
    if (w == 0) at.y += 160;
    if (w == 1) at.x -= 160;
    if (w == 2) at.y -= 160;
    if (w == 3) at.x += 160;
    s[58 + w] = Sq(at, "warp", fork + 2);
  }
  const int forks2[6] = {27, 32, 37, 42, 47, 52};
  for (int w = 0; w < 6; ++w) {
    int fork = forks2[w];
    Square& f = s[fork - 1];
    f.links[1] = 63 + w;
    P at{static_cast<double>(f.x), static_cast<double>(f.y)};
    if (at.y <= 200) at.y += 160;
    if (at.x >= 2200) at.x -= 160;
    if (at.y >= 1880) at.y -= 160;
    if (at.x <= 200) at.x += 160;
    s[62 + w] = Sq(at, "warp", fork + 2);
  }
  return s;
}

// Map 3, the banquet: a ring of 64 squares with two closable shortcuts:
// square 6 links 7 (a bump inwards) and 9; square 47 links 48 (a longer
// bump) and 53. Square 41 is the banquet between 40 and 42; the pieces
// start on 68.
std::vector<Square> MakeCadris() {
  std::vector<P> ring = Ring({200, 200}, {2200, 1600}, 19, 13, 19, 13);
  std::vector<P> at;
  for (int i = 0; i <= 5; ++i) at.push_back(ring[i]);  // 1..6
  at.push_back({ring[5].x, 340});                        // 7
  at.push_back({ring[6].x, 340});                        // 8
  for (int i = 6; i <= 44; ++i) at.push_back(ring[i]);  // 9..47
  double x44 = ring[44].x, x45 = ring[45].x;
  at.push_back({x44, 1460});       // 48
  at.push_back({x44 + 60, 1330});  // 49
  at.push_back({x44 - 52, 1260});  // 50
  at.push_back({x45 - 60, 1330});  // 51
  at.push_back({x45, 1460});       // 52
  for (int i = 45; i <= 63; ++i) at.push_back(ring[i]);  // 53..71
  std::vector<Square> s;
  int n = static_cast<int>(at.size());
  for (int k = 1; k <= n; ++k) {
    const char* kind = "blue";
    if (k % 7 == 3) kind = "red";
    if (k % 11 == 5) kind = "item";
    if (k % 13 == 10) kind = "event";
    if (k % 17 == 14) kind = "chance";
    if (k == 41) kind = "banquet";
    if (k == 20) kind = "itemshop";
    if (k == 60) kind = "attackshop";
    if (k == 30) kind = "round";
    if (k == 68) kind = "blue";
    s.push_back(Sq(at[k - 1], kind, k == n ? 1 : k + 1));
  }
  s[5].links[1] = 9;    // 6 -> 7 and 9
  s[46].links[1] = 53;  // 47 -> 48 and 53
  return s;
}

// Map 4: a 5 x 5 grid that wraps; link 1 is the right neighbour within the
// row, and the last column also links the square below.
std::vector<Square> MakeBrimwold() {
  static const char* const kinds[25] = {"blue", "red",  "blue",   "item",  "blue", "fonterica", "blue",
                                        "red",  "blue", "rabbit", "blue",  "event", "blue", "red",
                                        "zanberiin", "blue", "chance", "red", "blue", "rabbit",
                                        "blue", "red",  "blue",   "red",   "blue"};
  std::vector<Square> s;
  for (int k = 1; k <= 25; ++k) {
    int col = (k - 1) % 5, row = (k - 1) / 5;
    int right = row * 5 + (col + 1) % 5 + 1;
    int below = col == 4 ? ((row + 1) % 5) * 5 + 5 : 0;
    s.push_back(Sq({kBambooCellWidth * col + kBambooCellWidth / 2.0, kBambooCellHeight * row + kBambooCellHeight / 2.0},
                   kinds[k - 1], right, below));
  }
  return s;
}


}  // namespace

BoardSize BoardPictureSize(int mapId) {
  switch (mapId) {
    case 2: return {2400, 2080};
    case 3: return {2400, 1800};
    case 4: return {5 * kBambooCellWidth, 5 * kBambooCellHeight};
    default: return {1280, 960};  // thornyle_bg.png, also for maps 0, 5 and 6
  }
}

const std::vector<Square>& BoardSquares(int mapId) {
  static const std::vector<Square> boards[7] = {MakeThornyle(), MakeThornyle(), MakeZarvie(),  MakeCadris(),
                                                MakeBrimwold(), MakeThornyle(), MakeThornyle()};
  return boards[mapId];
}

std::string BoardCsv(int mapId) {
  std::string out = "id,x,y,kind,link1,link2,link3,link4\n";
  const std::vector<Square>& s = BoardSquares(mapId);
  for (size_t i = 0; i < s.size(); ++i) {
    char line[160];
    std::snprintf(line, sizeof line, "%zu,%d,%d,%s,%d,%d,%d,%d\n", i + 1, s[i].x, s[i].y, s[i].kind.c_str(),
                  s[i].links[0], s[i].links[1], s[i].links[2], s[i].links[3]);
    out += line;
  }
  return out;
}

std::string MapTableCsv() {
  // Names of at most 11 bytes. The map choice writes the name in its
  // 35-pixel font between two arrows 112 pixels apart: three full-width
  // characters fit. The maps that cannot be played are marked as such.
  static const char* const names[7] = {"準備中", "草原", "屋敷", "花園", "竹林", "準備中", "準備中"};
  std::string out = "name,height,width,extra\n";
  for (int id = 0; id < 7; ++id) {
    BoardSize size = BoardPictureSize(id);
    out += std::string(names[id]) + "," + std::to_string(size.height) + "," + std::to_string(size.width) + ",0\n";
  }
  return out;
}

const std::vector<MinigameFolder>& MinigameFolders() {
  static const std::vector<MinigameFolder> folders = {
      {1, "renda", "連打でライト"},       {2, "river", "川渡り"},
      {3, "leisure", "天神の石"},         {4, "stair", "階段レース"},
      {5, "numbersearch", "数字さがし"},  {6, "quizvemla", "クイズ"},
      {7, "airride", "エアライド"},       {8, "snowballfight", "雪合戦"},
      {9, "springset", "キャッチ"},       {10, "bestshot", "ベストショット"},
      {11, "flyingporme", "ポルメ飛ばし"}, {12, "quarteraction", "ブロック渡り"},
      {13, "fallclimb", "クライムレース"}, {14, "breaklabyrinth", "迷宮やぶり"},
      {16, "pooyan", "風船のぼり"},       {17, "gunshooting", "ガンシュー"},
      {18, "threerocket", "三段ロケット"}, {19, "quarterjump", "ブロック跳び"},
      {20, "shootingboss", "ボス戦"}, {21, "highshooting", "ハイシュー"},
      {22, "megnosmemory", "記憶ゲーム"}, {24, "hockey", "ホッケー"},
      {25, "shooting", "対戦シュー"}, {26, "misobomb", "ビームチーム"},
      {27, "repeatup", "要石のぼり"},     {28, "trumpmemory", "神経すいじゃく"},
      {29, "tumbrick", "落ちものブロック"}, {31, "quarterview", "ブロック広場"},
  };
  return folders;
}

std::string MinigameTableCsv() {
  // Row r carries number r, so the board (row index) and the picker (number
  // field) name the same game. Rows 15 and 23 are placeholders without a
  // page; row 30 holds quarterview (number 31). Rows 13, 14 and 30 sit on
  // the one-against-three page so that minigame mode reaches them.
  std::string out = "number,name,category,group\n";
  for (int row = 1; row <= 30; ++row) {
    int number = row == 30 ? 31 : row;
    const MinigameFolder* entry = nullptr;
    for (const MinigameFolder& f : MinigameFolders())
      if (f.number == number) entry = &f;
    if (!entry) {
      out += "0,,9,0\n";
      continue;
    }
    int category = number <= 12 ? 0 : number <= 22 ? 1 : 2;
    if (number == 13 || number == 14 || number == 31) category = 1;
    out += std::to_string(number) + "," + entry->name + "," + std::to_string(category) + ",0\n";
  }
  return out;
}

std::string ItemTableCsv() {
  struct Item {
    int price;
    const char* name;
    const char* text;
  };
  static const Item items[39] = {
      {10, "ダブルサイコロ", "サイコロを2つ振れる"},
      {20, "トリプルサイコロ", "サイコロを3つ振れる"},
      {5, "おやすみ札", "このターンは移動しない"},
      {25, "スキマ", "誰かと場所を入れかえる"},
      {8, "キノコ", "ランダムなサイコロを振る"},
      {15, "ビッグサイコロ", "8から10の目が出る"},
      {5, "ミニサイコロ", "1から3の目が出る"},
      {0, "未使用8", "なし"},
      {0, "未使用9", "なし"},
      {0, "未使用10", "なし"},
      {20, "コインどろぼう", "誰かのコインを奪う"},
      {10, "アイテム屋の笛", "アイテム屋を呼ぶ"},
      {30, "星屋の笛", "星屋を呼ぶ"},
      {10, "いたずら屋の笛", "いたずら屋を呼ぶ"},
      {0, "未使用15", "なし"},
      {0, "未使用16", "なし"},
      {0, "未使用17", "なし"},
      {0, "未使用18", "なし"},
      {0, "未使用19", "なし"},
      {0, "未使用20", "なし"},
      {10, "青のお守り", "青マス+1、赤マス-1"},
      {10, "赤のお守り", "青マス-1、赤マス+1"},
      {15, "すりぬけ手袋", "追い越した人のコインを取る"},
      {15, "サイコロ+3", "サイコロの目が3増える"},
      {10, "サイコロ-2", "サイコロの目が2減る"},
      {20, "守りの盾", "赤マスといたずらを防ぐ"},
      {20, "スター券", "星を安く買える"},
      {10, "アイテム屋券", "アイテムを安く買える"},
      {0, "未使用29", "なし"},
      {0, "未使用30", "なし"},
      {15, "竜の首の玉", "無理な頼みの品"},
      {15, "仏の御石の鉢", "無理な頼みの品"},
      {15, "火鼠の皮衣", "無理な頼みの品"},
      {15, "燕の子安貝", "無理な頼みの品"},
      {15, "蓬莱の玉の枝", "無理な頼みの品"},
      {0, "未使用36", "なし"},
      {0, "未使用37", "なし"},
      {0, "未使用38", "なし"},
      {0, "未使用39", "なし"},
  };
  std::string out = "number,price,name,description\r\n";
  for (int id = 1; id <= 39; ++id) {
    const Item& it = items[id - 1];
    out += std::to_string(id) + "," + std::to_string(it.price) + "," + it.name + "," + it.text + "\r\n";
  }
  return out;
}

std::string RiverCourseCsv() {
  // Stones 80 to 110 pixels wide with gaps of 30 to 120; every row starts
  // with a stone at 0, and row 0's first stone holds the landing point of
  // the opening jump (x 46 to 49).
  std::string out = "label,start0,end0,start1,end1,start2,end2,start3,end3,start4,end4\n";
  out += "course pieces of 640 pixels,,,,,,,,,,\n";
  for (int row = 0; row < 16; ++row) {
    int stones[10] = {0};
    int x = 0;
    int width = 100;
    for (int i = 0; i < 5; ++i) {
      if (i > 0) {
        int gap = 30 + (row * 37 + i * 53) % 91;  // 30..120
        width = 80 + (row * 29 + i * 17) % 31;    // 80..110
        if (x + gap + width > 620) break;
        x += gap;
      }
      stones[2 * i] = x;
      stones[2 * i + 1] = x + width;
      x += width;
    }
    out += "row" + std::to_string(row);
    for (int v : stones) out += "," + std::to_string(v);
    out += "\n";
  }
  return out;
}

std::string QuizCsv() {
  struct Q {
    const char* right;
    const char* wrong[3];
    const char* text;
  };
  static const Q q[19] = {
      {"富士山", {"北岳", "槍ヶ岳", "穂高岳"}, "日本でいちばん高い山は？"},
      {"8本", {"6本", "10本", "4本"}, "タコの足は何本？"},
      {"太平洋", {"大西洋", "インド洋", "北極海"}, "世界でいちばん広い海は？"},
      {"12", {"10", "13", "11"}, "1年は何か月？"},
      {"青", {"赤", "緑", "黄"}, "晴れた日の空の色は？"},
      {"7", {"5", "6", "8"}, "虹は何色といわれる？"},
      {"木星", {"土星", "地球", "火星"}, "太陽系でいちばん大きな惑星は？"},
      {"60", {"100", "24", "30"}, "1分は何秒？"},
      {"ペンギン", {"カラス", "ツバメ", "スズメ"}, "空を飛べない鳥はどれ？"},
      {"6", {"4", "8", "5"}, "サイコロの面の数は？"},
      {"氷", {"湯", "雲", "塩"}, "水がこおると何になる？"},
      {"24", {"12", "20", "48"}, "1日は何時間？"},
      {"クジラ", {"サメ", "マグロ", "イカ"}, "海に住むほ乳類はどれ？"},
      {"東", {"西", "南", "北"}, "太陽がのぼる方角は？"},
      {"100", {"10", "1000", "50"}, "1メートルは何センチ？"},
      {"さくら", {"ひまわり", "あさがお", "コスモス"}, "春に咲く花はどれ？@Rよく考えてね！"},
      {"4", {"3", "5", "2"}, "四角形の角の数は？"},
      {"7日", {"5日", "10日", "6日"}, "1週間は何日？"},
      {"赤", {"青", "白", "黒"}, "ポストの色は？"},
  };
  std::string out = "id,right,wrong1,wrong2,wrong3,question\n";
  for (int i = 0; i < 19; ++i)
    out += std::to_string(i + 1) + "," + q[i].right + "," + q[i].wrong[0] + "," + q[i].wrong[1] + "," +
           q[i].wrong[2] + "," + q[i].text + "\n";
  return out;
}

std::string BlockPatternsCsv() {
  // Seven tetrominoes (I, O, T, S, Z, J, L) inside rows 3..6 and columns
  // 3..6 of their 10 x 10 patterns, about the point (4.5, 4.5).
  static const int cells[7][4][2] = {
      {{4, 3}, {4, 4}, {4, 5}, {4, 6}},  // I
      {{4, 4}, {4, 5}, {5, 4}, {5, 5}},  // O
      {{4, 3}, {4, 4}, {4, 5}, {5, 4}},  // T
      {{4, 4}, {4, 5}, {5, 3}, {5, 4}},  // S
      {{4, 3}, {4, 4}, {5, 4}, {5, 5}},  // Z
      {{3, 5}, {4, 5}, {5, 5}, {5, 4}},  // J
      {{3, 4}, {4, 4}, {5, 4}, {5, 5}},  // L
  };
  std::string out;
  for (const auto& piece : cells)
    for (int r = 0; r < 10; ++r) {
      for (int c = 0; c < 10; ++c) {
        bool on = false;
        for (const auto& cell : piece) on |= cell[0] == r && cell[1] == c;
        out += on ? '1' : '0';
        out += c < 9 ? "," : "\n";
      }
    }
  return out;
}

std::vector<int> AirRideCells() {
  // Walls everywhere but a loop of track round an island; the left straight
  // is wide enough for four starts set four cells apart both ways.
  std::vector<int> g(64 * 48, 1);
  auto set = [&](int c, int r, int v) { g[r * 64 + c] = v; };
  for (int r = 1; r <= 46; ++r)
    for (int c = 1; c <= 62; ++c) {
      bool island = c >= 18 && c <= 53 && r >= 10 && r <= 37;
      if (island) continue;
      bool edge = c == 1 || c == 62 || r == 1 || r == 46 || c == 17 || c == 54 || r == 9 || r == 38;
      set(c, r, edge ? 3 : 2);
    }
  // Decoration in the middle of the island, walled off.
  for (int r = 20; r <= 27; ++r)
    for (int c = 30; c <= 41; ++c) set(c, r, (r + c) % 3 == 0 ? 4 : 1);
  const int starts[4][2] = {{3, 17}, {7, 21}, {11, 25}, {15, 29}};
  for (const auto& s : starts) set(s[0], s[1], 24);
  return g;
}

std::string AirRideCourse() { return AirRideCourseText(AirRideCells()); }

std::string AirRideCourseText(const std::vector<int>& g) {
  std::string out = "64,48,\n";
  for (int r = 0; r < 48; ++r) {
    for (int c = 0; c < 64; ++c) out += std::to_string(g[r * 64 + c]) + ",";
    out += "\n";
  }
  return out;
}

std::string ExplanationText(int number) {
  static const struct {
    int n;
    const char* text;
  } texts[] = {
      {1, "ボタンを連打してライトを点けよう！@R押した回数がいちばん多い人の勝ち。"},
      {2, "Aボタンでジャンプして石をわたろう！@R力がたまるほど遠くへ飛べるよ。@R先にゴールした人の勝ち。"},
      {3, "タイミングよくボタンを押して@R石を落とそう！"},
      {4, "問題に正しく答えて階段をのぼろう！@R先に上までついた人の勝ち。"},
      {5, "呼ばれた数字をさがしてボタンを押そう！@Rはやい者勝ちだよ。"},
      {6, "クイズに答えよう！AからDのボタンで答えてね。@Rはやく正解するほど高得点。"},
      {7, "上で加速、下でブレーキ、左右で曲がる。@Rコースを走りぬけよう！"},
      {8, "雪玉を投げて相手に当てよう！"},
      {9, "落ちてくるものをキャッチしよう！"},
      {10, "ねらいをさだめてベストショット！"},
      {11, "ボタンを連打してポルメを回し、@R遠くまで飛ばそう！"},
      {12, "ブロックの上を動き回ろう！"},
      {13, "だれよりも早く上までのぼろう！"},
      {14, "迷宮のかべを壊してゴールをめざそう！"},
      {16, "ポンプで風船をふくらませよう！@R1人と3人に分かれて勝負だよ。"},
      {17, "照準を動かして的をうとう！"},
      {18, "タイミングよく押してロケットを飛ばそう！"},
      {19, "ブロックの上をジャンプして進もう！"},
      {20, "みんなでボスを倒そう！"},
      {21, "弾を撃って高得点をめざそう！"},
      {22, "光った順番をおぼえてボタンを押そう！"},
      {24, "パドルでパックを打ち返そう！@R2人ずつのチーム戦だよ。"},
      {25, "弾を撃ち合うチーム戦！"},
      {26, "ビームを当てて相手チームを倒そう！"},
      {27, "要石をのぼって上をめざそう！"},
      {28, "同じカードを2枚そろえよう！"},
      {29, "ブロックを落として相手をじゃましよう！"},
      {31, "ブロックの上で遊ぼう！"},
  };
  for (const auto& t : texts)
    if (t.n == number) return std::string(t.text) + "@N";
  return "@N";
}

std::string OrderText(int key) {
  // The place is named as the map choice names it, not by the file's key.
  static const std::map<std::string, std::string> places = {
      {"thornyle", "草原"}, {"zarvie", "屋敷"}, {"cadris", "花園"}, {"brimwold", "竹林"}};
  auto it = places.find(kOrderKeys[key]);
  std::string greeting = it != places.end() ? "ようこそ" + it->second + "へ！" : std::string("ようこそ！");
  return greeting + "まずは順番を決めよう。@F\n"
         "サイコロを止めてね！@N\n"
         "（このページは使われません）@N\n"
         "みんなに10コインずつ配ったよ！@N\n"
         "それではパーティを始めよう！@N\n";
}

std::string StarText(int key) {
  (void)key;
  return "コインが足りないみたい。また来てね。@N\n"
         "いらっしゃい！ここでは星を売っているよ。@N\n"
         "おや、スター券を持っているね！@N\n"
         "星を買っていくかい？@N\n"
         "そうかい、残念だね。@N\n"
         "はい、星をどうぞ！大事にしてね。@N\n";
}

std::string RoundBonusText(int key) {
  (void)key;
  return "ラウンドボーナス！@N\n"
         "10コインをプレゼント！@N\n"
         "またね！@N\n";
}

std::string ResultText() {
  return "パーティ終了！みんなおつかれさま。@C@R"
         "それでは結果を発表するよ！@N\n";
}

std::string EventText(const std::string& name) {
  if (name == "ovrelle")
    return "ここはオヴレルの家だよ。@N\n"
           "お願いを聞いてくれるかい？@N\n"
           "（ここはプログラムが書きます）@N\n"
           "（ここはプログラムが書きます）@N\n"
           "またおいで。@N\n";
  if (name == "princess")
    return "来てくれてありがとう！@N\n"
           "（ここはプログラムが書きます）@N\n"
           "また会いましょう。@N\n";
  if (name == "rabbit")
    return "うさぎ「アイテムはもう持てないね。」@N\n"
           "うさぎ「かわりにコインをあげよう。」@N\n"
           "うさぎ「5コインどうぞ！」@N\n";
  if (name == "pikolda")
    return "落とし穴に落ちてしまった！@N\n"
           "無理な頼みの品を返してもらうよ。@N\n"
           "じゃあね！@N\n";
  if (name == "zanberi")
    return "ザンベリのコイン集めへようこそ！@N\n"
           "参加していくかい？@N\n"
           "コインが足りないみたいだね。@N\n"
           "よし、屋敷へ案内しよう！@N\n"
           "またどうぞ。@N\n";
  // Banquet files: five pages, each ended by @N.
  std::string host = name == "banquet" ? "開催" : "参加";
  return "宴へようこそ！@N\n"
         "コインが10枚ないと宴は開けないよ。@N\n"
         "宴に" + host + "するかい？@N\n"
         "それでは楽しんで！@N\n"
         "残念、またの機会に。@N\n";
}

}  // namespace mediagen
