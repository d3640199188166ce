#include "tools/mediagen/check.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>

#include "tools/mediagen/audio.h"
#include "tools/mediagen/data.h"
#include "tools/mediagen/manifest.h"

namespace fs = std::filesystem;

namespace mediagen {

namespace {

using Bytes = std::string;  // file contents (CP932 for texts)

class Checker {
 public:
  Checker(const std::string& dir, const CheckOptions& options) : dir_(dir), options_(options) {}

  std::vector<CheckFailure> Run() {
    if (!fs::is_directory(dir_)) {
      Fail("", "the media folder does not exist");
      return failures_;
    }
    for (const MediaFile& f : Manifest()) CheckFile(f);
    CheckTree();
    CheckBoardSizes();
    return failures_;
  }

 private:
  void Fail(const std::string& file, const std::string& rule) { failures_.push_back({file, rule}); }

  std::string Full(const std::string& rel) const { return dir_ + "/" + rel; }

  bool Read(const std::string& rel, Bytes* out) {
    std::ifstream in(Full(rel), std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), {});
    return true;
  }

  void CheckFile(const MediaFile& f) {
    if (!fs::is_regular_file(Full(f.path))) {
      Fail(f.path, "missing: the game cannot load it");
      return;
    }
    switch (f.kind) {
      case FileKind::Picture: CheckPicture(f); break;
      case FileKind::Effect: {
        Bytes b;
        Read(f.path, &b);
        std::string why = CheckWave(std::vector<uint8_t>(b.begin(), b.end()));
        if (!why.empty()) Fail(f.path, "sound effect must be a 16-bit PCM WAVE file: " + why);
        break;
      }
      case FileKind::Music: {
        Bytes b;
        Read(f.path, &b);
        std::string why = CheckVorbis(std::vector<uint8_t>(b.begin(), b.end()));
        if (!why.empty()) Fail(f.path, "music must be an Ogg Vorbis file: " + why);
        break;
      }
      case FileKind::Text:
      case FileKind::Table: CheckData(f); break;
    }
  }

  // ---- Pictures ----

  void CheckPicture(const MediaFile& f) {
    Canvas c;
    PngInfo info;
    if (!ReadPngInfo(Full(f.path), &info) || (options_.decodePictures && !ReadPng(Full(f.path), &c))) {
      Fail(f.path, "not a readable PNG picture");
      return;
    }
    sizes_[f.path] = {info.width, info.height};
    std::string size = std::to_string(info.width) + "x" + std::to_string(info.height);
    if (f.loader == Loader::Divided) {
      int w = f.cut.across * f.cut.w, h = f.cut.down * f.cut.h;
      if (info.width < w || info.height < h)
        Fail(f.path, "sheet is " + size + " but its cut into " + std::to_string(f.cut.count) + " cells of " +
                         std::to_string(f.cut.w) + "x" + std::to_string(f.cut.h) + " needs " + std::to_string(w) +
                         "x" + std::to_string(h));
      else if (info.width != w || info.height != h)
        Fail(f.path, "sheet is " + size + ", not exactly " + std::to_string(w) + "x" + std::to_string(h));
    } else if (f.size == SizeRule::Exact && (info.width != f.width || info.height != f.height)) {
      Fail(f.path, "picture is " + size + " but the game draws it as " + std::to_string(f.width) + "x" +
                       std::to_string(f.height));
    }
    if (f.alpha && !info.alpha) Fail(f.path, "drawn with transparency, so it needs an alpha channel");
    // The library loads "<path up to its first '.'>_a<rest>" as an alpha channel.
    std::string game = "media/" + f.path;
    size_t dot = game.find('.');
    std::string companion = game.substr(0, dot) + "_a" + game.substr(dot);
    if (fs::exists(dir_ + "/" + companion.substr(6)))
      Fail(companion.substr(6), "an _a companion is loaded as the alpha channel of " + f.path);
  }

  // Files in the tree the game would misread.
  void CheckTree() {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir_, ec); it != fs::recursive_directory_iterator(); ++it) {
      if (!it->is_regular_file()) continue;
      std::string ext = it->path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
      if (ext == ".dat" && !options_.allowArchives)
        Fail(fs::relative(it->path(), dir_).string(), "a .dat file inside media is opened as an archive");
    }
  }

  // ---- Texts ----

  // A message text for the renderer: CP932 characters, codes only after '@',
  // and an end code. Reports the first fault; `body` gets the text up to and
  // including its end code.
  bool MessageText(const std::string& file, const std::string& where, const Bytes& t, std::string* endCode,
                   int breakBytes = 0, int rows = 0) {
    size_t i = 0;
    int column = 0, line = 0, maxLine = 0;
    while (i < t.size()) {
      unsigned char c = t[i];
      if (c == '@') {
        if (i + 1 >= t.size()) break;
        char code = t[i + 1];
        if (code == 'F' || code == 'N') {
          *endCode = std::string("@") + code;
          for (size_t k = i + 2; k < t.size(); ++k)
            if (t[k] != '\r') {
              Fail(file, where + ": bytes after the end code " + *endCode);
              return false;
            }
          if (rows > 0 && maxLine + 1 > rows) {
            Fail(file, where + ": needs " + std::to_string(maxLine + 1) + " rows but the window shows " +
                           std::to_string(rows));
            return false;
          }
          return true;
        }
        if (!std::strchr("ACPRIMBSEV", code)) {
          Fail(file, where + ": '@" + std::string(1, code) + "' is no message code");
          return false;
        }
        i += 2;
        if (code == 'M' || code == 'B' || code == 'S')
          while (i < t.size() && (std::isdigit(static_cast<unsigned char>(t[i])) || t[i] == ',')) ++i;
        if (code == 'R') column = 0, ++line;
        if (code == 'P' || code == 'I') column = 0, line = 0;
        if (code == 'E' || code == 'V') column += 1;
        maxLine = std::max(maxLine, line);
        if (line >= 10) {
          Fail(file, where + ": runs past the 10 lines of the message buffer");
          return false;
        }
        continue;
      }
      int len = 0;
      if (c >= 0x20 && c <= 0x7E) {
        len = 1;
      } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
        unsigned char d = i + 1 < t.size() ? t[i + 1] : 0;
        if (!((d >= 0x40 && d <= 0x7E) || (d >= 0x80 && d <= 0xFC))) {
          Fail(file, where + ": broken two-byte character");
          return false;
        }
        len = 2;
      } else {
        char b[8];
        std::snprintf(b, sizeof b, "0x%02X", c);
        Fail(file, where + ": byte " + b + " before the end code is not a character the renderer types");
        return false;
      }
      column += len;
      i += len;
      if (breakBytes > 0 && column >= breakBytes) column = 0, ++line;
      if (column > 64) {
        Fail(file, where + ": a line longer than the 64 bytes of the message buffer");
        return false;
      }
      maxLine = std::max(maxLine, line);
      if (line >= 10) {
        Fail(file, where + ": runs past the 10 lines of the message buffer");
        return false;
      }
    }
    Fail(file, where + ": no end code @F or @N");
    return false;
  }

  static std::vector<std::string> Lines(const Bytes& t) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < t.size()) {
      size_t nl = t.find('\n', start);
      if (nl == std::string::npos) nl = t.size();
      lines.push_back(t.substr(start, nl - start));
      start = nl + 1;
    }
    return lines;
  }

  static Bytes WithoutLineEnds(const Bytes& t) {
    Bytes out;
    for (char c : t)
      if (c != '\r' && c != '\n') out += c;
    return out;
  }

  // Texts read a line at a time: `count` lines of at most `limit` bytes, each
  // ending with one of `endings` (per line), typed in a window.
  void LineTexts(const MediaFile& f, const Bytes& t, int count, int limit, const std::vector<std::string>& endings,
                 int breakBytes, int rows) {
    std::vector<std::string> lines = Lines(t);
    if (static_cast<int>(lines.size()) < count) {
      Fail(f.path, "holds " + std::to_string(lines.size()) + " lines; the game reads " + std::to_string(count));
      return;
    }
    for (int k = 0; k < count; ++k) {
      std::string where = "line " + std::to_string(k);
      if (static_cast<int>(lines[k].size()) > limit) {
        Fail(f.path, where + " is " + std::to_string(lines[k].size()) + " bytes; the reader keeps " +
                         std::to_string(limit));
        continue;
      }
      std::string end;
      if (!MessageText(f.path, where, lines[k], &end, breakBytes, rows)) continue;
      const std::string& want = endings[std::min<size_t>(k, endings.size() - 1)];
      if (want.find(end) == std::string::npos)
        Fail(f.path, where + " ends " + end + " but must end " + want);
    }
  }

  void CheckData(const MediaFile& f) {
    Bytes t;
    Read(f.path, &t);
    switch (f.rules) {
      case Rules::OrderText:
        // Line 0 must restart (@F) so line 1 starts afresh; lines 3 and 4 are waited for (-1).
        LineTexts(f, t, 5, 59, {"@F", "@F@N", "@F@N", "@N", "@N"}, 42, 4);
        break;
      case Rules::StarText: LineTexts(f, t, 6, 99, {"@N"}, 24, 3); break;
      case Rules::RoundText: LineTexts(f, t, 3, 59, {"@N"}, 24, 3); break;
      case Rules::EventText: {
        bool rabbit = f.path.find("rabbit") != std::string::npos;
        LineTexts(f, t, f.textLines, 99, {"@N"}, rabbit ? 30 : 24, rabbit ? 8 : 3);
        break;
      }
      case Rules::ResultText: {
        Bytes b = WithoutLineEnds(t);
        if (b.size() > 299) Fail(f.path, "more than the 299 bytes the results keep");
        std::string end;
        if (MessageText(f.path, "text", b, &end, 40, 4) && end != "@N")
          Fail(f.path, "must end @N: the ranking waits for the end of the text");
        break;
      }
      case Rules::Explanation: CheckExplanation(f, t); break;
      case Rules::BanquetText: CheckBanquet(f, t); break;
      case Rules::MinigameTable: CheckMinigameTable(f, t); break;
      case Rules::ItemTable: CheckItemTable(f, t); break;
      case Rules::MapTable: CheckMapTable(f, t); break;
      case Rules::BoardMap: CheckBoard(f, t); break;
      case Rules::RiverCourse: CheckRiver(f, t); break;
      case Rules::QuizQuestions: CheckQuiz(f, t); break;
      case Rules::BlockPatterns: CheckBlocks(f, t); break;
      case Rules::AirRideCourse: CheckAirRide(f, t); break;
      case Rules::None: break;
    }
  }

  void CheckExplanation(const MediaFile& f, const Bytes& t) {
    Bytes b = WithoutLineEnds(t);
    if (b.size() > 299) {
      Fail(f.path, "more than the 299 bytes of the explanation buffer");
      return;
    }
    std::string end;
    if (!MessageText(f.path, "text", b, &end)) return;
    if (end != "@N") Fail(f.path, "must end @N");
    int lines = 1;
    size_t start = 0;
    for (size_t i = 0; i <= b.size(); ++i) {
      bool brk = i + 1 < b.size() && b[i] == '@' && b[i + 1] == 'R';
      bool last = i == b.size();
      if (brk || last) {
        size_t len = i - start;
        if (len > 62)
          Fail(f.path, "line " + std::to_string(lines) + " runs " + std::to_string(len) +
                           " bytes without @R; the window wraps at 72, past the 64-byte line buffer, so break every 62");
        if (brk) ++lines, start = i + 2, ++i;
      }
    }
    if (lines > 5) Fail(f.path, "more than the 5 lines the window shows");
  }

  void CheckBanquet(const MediaFile& f, const Bytes& t) {
    Bytes b = WithoutLineEnds(t);
    std::vector<std::string> pages;
    size_t start = 0;
    while (start < b.size()) {
      size_t end = b.find("@N", start);
      if (end == std::string::npos) {
        Fail(f.path, "page " + std::to_string(pages.size()) + " has no @N; it would run into the next");
        return;
      }
      pages.push_back(b.substr(start, end + 2 - start));
      start = end + 2;
    }
    if (pages.size() < 5) Fail(f.path, "holds " + std::to_string(pages.size()) + " pages; the banquet reads 5");
    for (size_t k = 0; k < pages.size() && k < 5; ++k) {
      if (pages[k].size() > 99) Fail(f.path, "page " + std::to_string(k) + " is longer than 99 bytes");
      std::string end;
      MessageText(f.path, "page " + std::to_string(k), pages[k], &end, 24, 3);
    }
  }

  // ---- Tables ----

  static std::vector<std::string> Split(const std::string& line, char sep = ',') {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
      size_t k = line.find(sep, start);
      out.push_back(line.substr(start, k == std::string::npos ? std::string::npos : k - start));
      if (k == std::string::npos) break;
      start = k + 1;
    }
    return out;
  }
  static std::string StripCr(std::string s) {
    while (!s.empty() && s.back() == '\r') s.pop_back();
    return s;
  }
  static bool IsNumber(const std::string& s) {
    if (s.empty()) return false;
    size_t i = s[0] == '-' ? 1 : 0;
    return i < s.size() && std::all_of(s.begin() + i, s.end(), [](unsigned char c) { return std::isdigit(c); });
  }
  static int Int(const std::string& s) { return std::atoi(s.c_str()); }

  // Data rows after `headers` header lines; empty lines at the end dropped.
  static std::vector<std::vector<std::string>> Rows(const Bytes& t, int headers) {
    std::vector<std::string> lines = Lines(t);
    std::vector<std::vector<std::string>> rows;
    for (size_t k = headers; k < lines.size(); ++k) rows.push_back(Split(StripCr(lines[k])));
    while (!rows.empty() && rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
    return rows;
  }

  void CheckMinigameTable(const MediaFile& f, const Bytes& t) {
    auto rows = Rows(t, 1);
    if (rows.size() > 69) Fail(f.path, "more than the 69 rows of the minigame table");
    std::set<int> entries;
    for (const MinigameFolder& m : MinigameFolders()) entries.insert(m.number);
    std::set<int> seen;
    for (size_t k = 0; k < rows.size(); ++k) {
      int row = static_cast<int>(k) + 1;
      std::string where = "row " + std::to_string(row);
      const auto& r = rows[k];
      if (r.size() != 4) {
        Fail(f.path, where + " has " + std::to_string(r.size()) + " fields, not 4 (number, name, category, group)");
        continue;
      }
      for (const auto& field : r)
        if (field.size() > 39) Fail(f.path, where + ": a field longer than 39 bytes");
      int number = Int(r[0]);
      bool boardPicks = row <= 29 && row != 15 && row != 23;
      if (number != 0 && entries.count(number) == 0)
        Fail(f.path, where + ": number " + std::to_string(number) + " has no minigame, so the runner never ends");
      if (boardPicks && number != row)
        Fail(f.path, where + ": number " + std::to_string(number) +
                         " must equal the row, since the board passes the row and the picker the number");
      if (number != 0 && r[1].empty()) Fail(f.path, where + ": a minigame without a name");
      int category = Int(r[2]);
      if (number != 0 && (category < 0 || category > 2))
        Fail(f.path, where + ": category " + r[2] + " is no page of the picker (0, 1 or 2)");
      if (number != 0) seen.insert(number);
    }
    for (int n : entries)
      if (!seen.count(n)) Fail(f.path, "minigame " + std::to_string(n) + " has no row");
  }

  void CheckItemTable(const MediaFile& f, const Bytes& t) {
    // Fields end at ',' or CR, so every line must end CR LF.
    std::vector<std::string> lines = Lines(t);
    for (size_t k = 0; k < lines.size(); ++k)
      if (lines[k].empty() || lines[k].back() != '\r') {
        Fail(f.path, "line " + std::to_string(k) + " does not end CR LF; fields end at CR, so the rows shift");
        return;
      }
    auto rows = Rows(t, 1);
    if (rows.size() != 39) Fail(f.path, "holds " + std::to_string(rows.size()) + " items, not 39");
    auto mustBeZero = [](int id) {
      return id == 8 || id == 9 || id == 10 || (id >= 15 && id <= 20) || id == 29 || id == 30 || id >= 36;
    };
    int usable = 0, held = 0;
    for (size_t k = 0; k < rows.size() && k < 39; ++k) {
      int id = static_cast<int>(k) + 1;
      std::string where = "item " + std::to_string(id);
      const auto& r = rows[k];
      if (r.size() != 4) {
        Fail(f.path, where + " has " + std::to_string(r.size()) + " fields, not 4 (number, price, name, description)");
        continue;
      }
      if (r[2].size() > 19) Fail(f.path, where + ": name longer than 19 bytes");
      if (r[3].size() > 99) Fail(f.path, where + ": description longer than 99 bytes");
      if (!IsNumber(r[1])) Fail(f.path, where + ": price is not a number");
      int price = Int(r[1]);
      if (mustBeZero(id) && price != 0)
        Fail(f.path, where + ": price must be 0; the item has no effect and would stall the item step");
      if (!mustBeZero(id) && price <= 0) Fail(f.path, where + ": needs a price, the game hands it out");
      if (price > 0 && id <= 19 && id != 10) ++usable;
      if (price > 0 && id >= 21 && id <= 29 && id != 25) ++held;
    }
    if (usable < 5) Fail(f.path, "fewer than 5 usable items with a price: the item reel cannot stop");
    if (held < 1) Fail(f.path, "no held item (21-29 but 25) with a price: the shop cannot fill its list");
  }

  void CheckMapTable(const MediaFile& f, const Bytes& t) {
    auto rows = Rows(t, 1);
    if (rows.size() < 7 || rows.size() > 10) Fail(f.path, "must hold the 7 board maps (at most 10 rows)");
    for (size_t k = 0; k < rows.size(); ++k) {
      std::string where = "map " + std::to_string(k);
      const auto& r = rows[k];
      if (r.size() != 4) {
        Fail(f.path, where + " has " + std::to_string(r.size()) + " fields, not 4 (name, height, width, extra)");
        continue;
      }
      if (r[0].size() > 11) Fail(f.path, where + ": name longer than 11 bytes");
      for (const auto& field : r)
        if (field.size() > 19) Fail(f.path, where + ": a field longer than 19 characters");
      int h = Int(r[1]), w = Int(r[2]);
      if (w < 640 || h < 480) Fail(f.path, where + ": board smaller than the 640x480 screen");
      mapSizes_[static_cast<int>(k)] = {w, h};
    }
  }

  struct Board {
    std::vector<int> x, y, kind;
    std::vector<std::array<int, 4>> links;
    int count = 0;
  };

  static int KindCode(const std::string& keyword) {
    static const std::map<std::string, int> codes = {
        {"blue", 2},       {"red", 3},      {"item", 4},         {"event", 5},       {"chance", 6},
        {"fonterica", 7},  {"rabbit", 8},   {"way", 10},         {"starshop", 11},   {"itemshop", 12},
        {"attackshop", 13}, {"round", 14},  {"getkinoko", 15},   {"ovrelle", 16},    {"brounya", 17},
        {"warp", 18},      {"banquet", 19}, {"gimhole", 20},     {"zanberiin", 21},  {"pseudomasu", 22}};
    auto it = codes.find(keyword);
    return it == codes.end() ? -1 : it->second;
  }
  static bool PassThrough(int kind) { return kind >= 10 && kind <= 22; }

  void CheckBoard(const MediaFile& f, const Bytes& t) {
    int map = f.mapId;
    auto rows = Rows(t, 1);
    Board b;
    b.count = static_cast<int>(rows.size());
    if (b.count > 99) Fail(f.path, "more than 99 squares");
    b.x.assign(b.count + 1, 0), b.y = b.x, b.kind = b.x;
    b.links.assign(b.count + 1, {0, 0, 0, 0});
    bool ok = true;
    for (int k = 1; k <= b.count; ++k) {
      const auto& r = rows[k - 1];
      std::string where = "square " + std::to_string(k);
      if (r.size() != 8) {
        Fail(f.path, where + " has " + std::to_string(r.size()) + " fields, not 8 (id, x, y, kind, 4 links)");
        ok = false;
        continue;
      }
      for (const auto& field : r)
        if (field.size() > 19) Fail(f.path, where + ": a field longer than 19 characters");
      if (Int(r[0]) != k) Fail(f.path, where + ": id " + r[0] + " is not its row");
      b.x[k] = Int(r[1]), b.y[k] = Int(r[2]);
      b.kind[k] = KindCode(r[3]);
      if (b.kind[k] < 0) {
        Fail(f.path, where + ": kind '" + r[3] + "' is no keyword (it would read as a plain square)");
        b.kind[k] = 0;
      }
      for (int l = 0; l < 4; ++l) {
        b.links[k][l] = Int(r[4 + l]);
        if (b.links[k][l] < 0 || b.links[k][l] > b.count) {
          Fail(f.path, where + ": link " + std::to_string(l + 1) + " names square " + r[4 + l] + ", which does not exist");
          ok = false;
        }
      }
    }
    if (!ok || b.count == 0) return;
    boards_[map] = b;
    CheckBoardLayout(f, b);
    CheckBoardGraph(f, b);
  }

  void CheckBoardLayout(const MediaFile& f, const Board& b) {
    auto size = mapSizes_.find(f.mapId);
    for (int k = 1; k <= b.count; ++k) {
      if (size != mapSizes_.end() &&
          (b.x[k] < 0 || b.y[k] < 0 || b.x[k] >= size->second.first || b.y[k] >= size->second.second))
        Fail(f.path, "square " + std::to_string(k) + " lies outside the board picture");
      for (int j = k + 1; j <= b.count; ++j) {
        double d = std::hypot(b.x[k] - b.x[j], b.y[k] - b.y[j]);
        if (d < 100)
          Fail(f.path, "squares " + std::to_string(k) + " and " + std::to_string(j) + " are " +
                           std::to_string(static_cast<int>(d)) + " px apart; square pictures need 100");
      }
    }
  }

  // The links a piece may take from a square (link 4 of a warp holds its partner).
  static std::vector<int> Onward(const Board& b, int s) {
    std::vector<int> out;
    for (int l = 0; l < 4; ++l)
      if (b.links[s][l] > 0 && !(l == 3 && b.kind[s] == 18)) out.push_back(b.links[s][l]);
    return out;
  }

  void CheckBoardGraph(const MediaFile& f, const Board& b) {
    int map = f.mapId;
    const std::string& p = f.path;
    auto sq = [](int k) { return "square " + std::to_string(k); };
    // Where pieces start, and the square they count as coming from.
    std::vector<std::pair<int, int>> starts;
    if (map == 2) starts = {{1, 5}};
    else if (map == 3) starts = {{68, 62}};
    else if (map == 4) for (int k = 1; k <= std::min(25, b.count); ++k) starts.push_back({k, 0});
    else starts = {{1, 24}};
    std::vector<int> warps;
    for (int k = 1; k <= b.count; ++k)
      if (b.kind[k] == 18) warps.push_back(k);
    // Squares a piece can reach, and from where.
    std::vector<std::set<int>> from(b.count + 1);
    std::vector<bool> seen(b.count + 1, false);
    std::vector<int> todo;
    for (auto [s, prev] : starts) {
      if (s > b.count) {
        Fail(p, "pieces start on " + sq(s) + ", which does not exist");
        return;
      }
      from[s].insert(prev);
      if (!seen[s]) seen[s] = true, todo.push_back(s);
    }
    while (!todo.empty()) {
      int s = todo.back();
      todo.pop_back();
      std::vector<int> next = Onward(b, s);
      if (b.kind[s] == 18)  // a warp sends the piece on from any other warp
        for (int w : warps)
          if (w != s)
            for (int n : Onward(b, w)) next.push_back(n);
      for (int n : next) {
        from[n].insert(s);
        if (!seen[n]) seen[n] = true, todo.push_back(n);
      }
    }
    for (int s = 1; s <= b.count; ++s) {
      if (!seen[s]) continue;
      std::vector<int> on = Onward(b, s);
      for (int prev : from[s]) {
        bool way = std::any_of(on.begin(), on.end(), [prev](int n) { return n != prev; });
        if (!way) {
          Fail(p, sq(s) + " is a dead end for a piece coming from " + (prev ? sq(prev) : "nowhere") +
                      ": the fork would wait for ever");
          break;
        }
      }
    }
    // No loop made only of squares that cost no step.
    std::vector<int> state(b.count + 1, 0);
    std::function<bool(int)> cycle = [&](int s) {
      state[s] = 1;
      std::vector<int> next = Onward(b, s);
      if (b.kind[s] == 18)  // the piece goes on from the partner's links
        for (int w : warps)
          if (w != s)
            for (int n : Onward(b, w)) next.push_back(n);
      for (int n : next) {
        if (!PassThrough(b.kind[n])) continue;
        if (state[n] == 1 || (state[n] == 0 && cycle(n))) return true;
      }
      state[s] = 2;
      return false;
    };
    for (int s = 1; s <= b.count; ++s)
      if (PassThrough(b.kind[s]) && state[s] == 0 && cycle(s)) {
        Fail(p, "a loop through " + sq(s) + " has only squares that cost no step: a piece would circle for ever");
        break;
      }
    int blue = 0;
    for (int k = 1; k <= b.count; ++k) blue += b.kind[k] == 2;
    if (blue < 8) Fail(p, "only " + std::to_string(blue) + " blue squares; the star shop and events need at least 8");
    for (int w : warps)
      if (b.links[w][0] == 0 || PassThrough(b.kind[b.links[w][0]]))
        Fail(p, "warp " + sq(w) + " must lead on (link 1) to a square that costs a step");
    auto links = [&](int s, int to) {
      for (int l = 0; l < 4; ++l)
        if (b.links[s][l] == to) return true;
      return false;
    };
    if (map == 0 || map == 1) {
      bool shop = false;
      for (int k = 1; k <= b.count; ++k) shop |= b.kind[k] == 11;
      if (!shop) Fail(p, "no starshop square: this map has no star shop of its own");
    }
    if (map == 2) {
      if (warps.size() != 10) Fail(p, "holds " + std::to_string(warps.size()) + " warp squares; the set-up pairs exactly 10");
      for (int w : warps)
        if (b.links[w][3] != 0) Fail(p, "warp " + sq(w) + " has link 4, which the set-up keeps for its partner");
    }
    if (map == 3) {
      if (b.count < 68) Fail(p, "fewer than 68 squares; the pieces start on square 68");
      if (b.count >= 53) {
        if (!links(6, 9) || Onward(b, 6).size() < 2)
          Fail(p, "square 6 must link 9 and another square (closing the passage removes 9)");
        if (!links(47, 53) || Onward(b, 47).size() < 2)
          Fail(p, "square 47 must link 53 and another square (closing the passage removes 53)");
      }
      int banquet = 0;
      for (int k = 1; k <= b.count && !banquet; ++k)
        if (b.kind[k] == 19) banquet = k;
      if (!banquet) Fail(p, "no banquet square");
      else {
        if (b.count >= 40 && !links(40, banquet)) Fail(p, "the banquet " + sq(banquet) + " is not reached from square 40");
        std::vector<int> on = Onward(b, banquet);
        if (std::none_of(on.begin(), on.end(), [](int n) { return n != 40; }))
          Fail(p, "guests arrive at the banquet from square 40, so it needs another way on");
      }
    }
    if (map == 4) {
      if (b.count < 25) {
        Fail(p, "fewer than the 25 squares of the 5x5 grid");
        return;
      }
      int colours = 0;
      for (int k = 1; k <= 25; ++k) colours += b.kind[k] == 2 || b.kind[k] == 3;
      if (colours < 15) Fail(p, "squares 1-25 must be mostly blue and red: the shuffles lose and double kinds");
      for (int k = 1; k <= 25; ++k)
        for (int n : Onward(b, k))
          if (n > 25) Fail(p, sq(k) + " leaves the 5x5 grid");
    }
  }

  // Boards against their pictures and the map table.
  void CheckBoardSizes() {
    auto pictureSize = [&](const std::string& rel) -> std::pair<int, int> {
      auto it = sizes_.find(rel);
      return it == sizes_.end() ? std::pair<int, int>{0, 0} : it->second;
    };
    auto expect = [&](int map, std::pair<int, int> size, const std::string& picture) {
      auto it = mapSizes_.find(map);
      if (it == mapSizes_.end() || size.first == 0) return;
      if (it->second != size)
        Fail("data/mapdata.csv", "map " + std::to_string(map) + " is " + std::to_string(it->second.first) + "x" +
                                     std::to_string(it->second.second) + " but " + picture + " is " +
                                     std::to_string(size.first) + "x" + std::to_string(size.second));
    };
    auto thornyle = pictureSize("sugoroku/thornyle/thornyle_bg.png");
    expect(0, thornyle, "thornyle_bg.png");
    expect(1, thornyle, "thornyle_bg.png");
    auto mansion = pictureSize("sugoroku/zarvie/ザルヴィエ_MAP_1.png");
    expect(2, mansion, "ザルヴィエ_MAP_1.png");
    if (pictureSize("sugoroku/zarvie/ザルヴィエ_MAP_2.png") != mansion)
      Fail("sugoroku/zarvie/ザルヴィエ_MAP_2.png", "the two floors must have one size");
    expect(3, pictureSize("sugoroku/cadris/セリュナ下.png"), "セリュナ下.png");
    if (pictureSize("sugoroku/cadris/セリュナ上.png") != pictureSize("sugoroku/cadris/セリュナ下.png"))
      Fail("sugoroku/cadris/セリュナ上.png", "the upper layer must have the size of the lower one");
    auto cell = pictureSize("sugoroku/brimwold/brimwold_bg1.png");
    if (cell.first > 0) {
      expect(4, {cell.first * 5, cell.second * 5}, "5 x brimwold_bg1.png");
      auto it = boards_.find(4);
      if (it != boards_.end())
        for (int k = 1; k <= std::min(25, it->second.count); ++k) {
          int col = (k - 1) % 5, row = (k - 1) / 5;
          if (it->second.x[k] != cell.first * col + cell.first / 2 || it->second.y[k] != cell.second * row + cell.second / 2)
            Fail("data/map/brimwold.csv", "square " + std::to_string(k) + " is not at the centre of its cell of the 5x5 grid");
        }
    }
  }

  void CheckRiver(const MediaFile& f, const Bytes& t) {
    std::vector<std::string> lines = Lines(t);
    if (lines.size() < 2) {
      Fail(f.path, "no header lines");
      return;
    }
    int rows = 0;
    for (size_t k = 2; k < lines.size(); ++k) {
      std::string line = StripCr(lines[k]);
      if (line.empty() && k + 1 == lines.size()) break;
      std::string where = "row " + std::to_string(rows);
      auto fields = Split(line);
      ++rows;
      if (fields.size() != 11) {
        Fail(f.path, where + " has " + std::to_string(fields.size()) + " fields, not 11: every later row shifts");
        continue;
      }
      for (const auto& field : fields)
        if (field.size() > 30) Fail(f.path, where + ": a field longer than 30 characters");
      int v[10];
      for (int i = 0; i < 10; ++i) v[i] = Int(fields[i + 1]);
      if (v[0] != 0 || v[1] <= 0) Fail(f.path, where + ": must begin with a stone at 0");
      if (rows == 1 && !(v[0] < 46 && v[1] > 49))
        Fail(f.path, where + ": the first stone must hold x 46-49, where the opening jump lands");
      bool ended = false;
      int lastEnd = 0;
      for (int i = 0; i < 5; ++i) {
        int s = v[2 * i], e = v[2 * i + 1];
        if (s == 0 && e == 0 && i > 0) {
          ended = true;
          continue;
        }
        if (ended) {
          Fail(f.path, where + ": a stone after an empty (0, 0) pair");
          break;
        }
        if (e - s < 80 || e - s > 110) Fail(f.path, where + ": stone " + std::to_string(i) + " is not 80-110 px wide");
        if (i > 0 && (s - lastEnd < 30 || s - lastEnd > 120))
          Fail(f.path, where + ": the gap before stone " + std::to_string(i) + " is not 30-120 px");
        lastEnd = e;
      }
      if (lastEnd > 620) Fail(f.path, where + ": the last stone ends past 620");
    }
    if (rows < 13 || rows > 20) Fail(f.path, "holds " + std::to_string(rows) + " rows; the course needs 13 to 20");
  }

  void CheckQuiz(const MediaFile& f, const Bytes& t) {
    std::vector<std::string> lines = Lines(t);
    if (lines.size() < 20) {
      Fail(f.path, "holds " + std::to_string(lines.size()) + " lines; a header and 19 questions are read");
      return;
    }
    for (int k = 1; k <= 19; ++k) {
      auto fields = Split(StripCr(lines[k]));
      std::string where = "question " + std::to_string(k);
      if (fields.size() != 6) {
        Fail(f.path, where + " has " + std::to_string(fields.size()) + " fields, not 6");
        continue;
      }
      for (int a = 1; a <= 4; ++a) {
        if (fields[a].empty()) Fail(f.path, where + ": an empty answer");
        if (fields[a].size() > 39) Fail(f.path, where + ": an answer longer than 39 bytes");
        if (fields[a].find('@') != std::string::npos) Fail(f.path, where + ": an answer holds '@'");
      }
      if (fields[5].size() > 297) Fail(f.path, where + ": question longer than 297 bytes");
      std::string end;
      // The game appends @N to the question.
      MessageText(f.path, where, fields[5] + "@N", &end, 52, 4);
    }
  }

  void CheckBlocks(const MediaFile& f, const Bytes& t) {
    std::vector<int> cells;
    for (unsigned char c : t) {
      if (c == ',' || c == '\r' || c == '\n') continue;
      if (c != '0' && c != '1') {
        Fail(f.path, "every byte but ',', CR and LF is a cell: only 0 and 1 belong there");
        return;
      }
      cells.push_back(c - '0');
    }
    if (cells.size() != 700) {
      Fail(f.path, "holds " + std::to_string(cells.size()) + " cells, not the 700 of seven 10x10 patterns");
      return;
    }
    std::set<std::vector<std::pair<int, int>>> shapes;
    for (int k = 0; k < 7; ++k) {
      std::vector<std::pair<int, int>> on;
      for (int i = 0; i < 100; ++i)
        if (cells[k * 100 + i]) on.push_back({i / 10, i % 10});
      std::string where = "pattern " + std::to_string(k);
      if (on.size() != 4) {
        Fail(f.path, where + " is not a piece of 4 cells");
        continue;
      }
      bool inside = true;
      for (auto [r, c] : on) inside &= r >= 3 && r <= 6 && c >= 3 && c <= 6;
      if (!inside) Fail(f.path, where + " leaves rows 3-6 and columns 3-6 (rows 0-2 are lost)");
      // Connected, and its shape up to rotation.
      std::set<std::pair<int, int>> set(on.begin(), on.end()), reached = {on[0]};
      std::vector<std::pair<int, int>> stack = {on[0]};
      while (!stack.empty()) {
        auto [r, c] = stack.back();
        stack.pop_back();
        for (auto [dr, dc] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
          if (set.count({r + dr, c + dc}) && reached.insert({r + dr, c + dc}).second) stack.push_back({r + dr, c + dc});
      }
      if (reached.size() != 4) Fail(f.path, where + " is not one connected piece");
      std::vector<std::pair<int, int>> best;
      auto shape = on;
      for (int turn = 0; turn < 4; ++turn) {
        for (auto& [r, c] : shape) std::tie(r, c) = std::pair{c, -r};
        int mr = 99, mc = 99;
        for (auto [r, c] : shape) mr = std::min(mr, r), mc = std::min(mc, c);
        auto norm = shape;
        for (auto& [r, c] : norm) r -= mr, c -= mc;
        std::sort(norm.begin(), norm.end());
        if (best.empty() || norm < best) best = norm;
      }
      shapes.insert(best);
    }
    if (shapes.size() != 7) Fail(f.path, "the seven patterns must be the seven different tetrominoes");
  }

  void CheckAirRide(const MediaFile& f, const Bytes& t) {
    // Values each end at ','; leading white space is skipped as by atoi.
    std::vector<int> v;
    size_t start = 0;
    while (start < t.size()) {
      size_t comma = t.find(',', start);
      std::string field = t.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      size_t first = field.find_first_not_of(" \t\r\n");
      if (first == std::string::npos) {
        if (comma == std::string::npos) break;
        Fail(f.path, "an empty value");
        return;
      }
      if (field.size() > 20) Fail(f.path, "a value longer than 20 characters");
      v.push_back(std::atoi(field.c_str()));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (v.size() < 2 || v[0] != 64 || v[1] != 48) {
      Fail(f.path, "width and height must be 64 and 48: the game addresses the 640x480 screen");
      return;
    }
    if (v.size() != 2 + 64 * 48) {
      Fail(f.path, "holds " + std::to_string(v.size() - 2) + " cells, not 3072");
      return;
    }
    auto cell = [&](int c, int r) { return v[2 + r * 64 + c]; };
    auto drivable = [](int x) { return x == 2 || x == 3 || x == 24; };
    std::vector<std::pair<int, int>> starts;
    int track = 0;
    for (int r = 0; r < 48; ++r)
      for (int c = 0; c < 64; ++c) {
        int x = cell(c, r);
        if (x != 0 && x != 1 && x != 2 && x != 3 && x != 4 && x != 24) {
          Fail(f.path, "cell " + std::to_string(c) + "," + std::to_string(r) + " holds " + std::to_string(x) +
                           ", no value of the course");
          return;
        }
        if (x == 24) starts.push_back({c, r});
        if (drivable(x)) ++track;
        bool border = r == 0 || c == 0 || r == 47 || c == 63;
        if (border && x != 1) {
          Fail(f.path, "the border must be wall (1): riders would leave the screen");
          return;
        }
        if (x == 0 || x == 4)
          for (auto [dc, dr] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            int nc = c + dc, nr = r + dr;
            if (nc >= 0 && nr >= 0 && nc < 64 && nr < 48 && drivable(cell(nc, nr))) {
              Fail(f.path, "cell " + std::to_string(c) + "," + std::to_string(r) +
                               " is open ground beside the track; only walls (1) block a rider");
              return;
            }
          }
      }
    if (starts.size() != 4) {
      Fail(f.path, "holds " + std::to_string(starts.size()) + " start cells (24); the race needs exactly 4");
      return;
    }
    for (size_t a = 0; a < 4; ++a)
      for (size_t b = a + 1; b < 4; ++b)
        if (std::abs(starts[a].first - starts[b].first) < 4 || std::abs(starts[a].second - starts[b].second) < 4)
          Fail(f.path, "start cells " + std::to_string(a + 1) + " and " + std::to_string(b + 1) +
                           " are closer than 4 cells in a direction: the riders would shove each other at once");
    for (auto [c, r] : starts)
      for (auto [dc, dr] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
        if (!drivable(cell(c + dc, r + dr))) {
          Fail(f.path, "start cell " + std::to_string(c) + "," + std::to_string(r) + " is not inside the track");
          break;
        }
    // The track is one piece.
    std::vector<bool> seen(64 * 48, false);
    std::vector<std::pair<int, int>> stack = {starts[0]};
    seen[starts[0].second * 64 + starts[0].first] = true;
    int reached = 0;
    while (!stack.empty()) {
      auto [c, r] = stack.back();
      stack.pop_back();
      ++reached;
      for (auto [dc, dr] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        int nc = c + dc, nr = r + dr;
        if (drivable(cell(nc, nr)) && !seen[nr * 64 + nc]) seen[nr * 64 + nc] = true, stack.push_back({nc, nr});
      }
    }
    if (reached != track) Fail(f.path, "the track is not one connected loop");
  }

  std::string dir_;
  CheckOptions options_;
  std::vector<CheckFailure> failures_;
  std::map<std::string, std::pair<int, int>> sizes_;
  std::map<int, std::pair<int, int>> mapSizes_;
  std::map<int, Board> boards_;
};

}  // namespace

std::vector<CheckFailure> CheckMedia(const std::string& mediaDir, const CheckOptions& options) {
  return Checker(mediaDir, options).Run();
}

}  // namespace mediagen
