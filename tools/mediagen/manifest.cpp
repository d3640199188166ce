#include "tools/mediagen/manifest.h"

#include <algorithm>

#include "platform/win32/sjis.h"
#include "tools/mediagen/audio.h"
#include "tools/mediagen/data.h"
#include "tools/mediagen/pictures.h"

namespace mediagen {

namespace {

uint32_t NameHash(const std::string& s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The voices of an effect, chosen by what its name says it is.
std::vector<Voice> EffectVoices(const std::string& name) {
  double shift = 1.0 + (NameHash(name) % 13) / 26.0;
  if (StartsWith(name, "cursor"))
    return {{Wave::Square, 0, 0.05, 880 * shift, 880 * shift, 0.3, 20}};
  if (StartsWith(name, "coin"))
    return {{Wave::Square, 0, 0.07, 988 * shift, 988 * shift, 0.25, 10},
            {Wave::Square, 0.07, 0.25, 1319 * shift, 1319 * shift, 0.25, 8}};
  if (StartsWith(name, "power"))
    return {{Wave::Triangle, 0, 0.35, 300 * shift, 1200 * shift, 0.4, 2}};
  if (StartsWith(name, "push"))
    return {{Wave::Saw, 0, 0.3, 400 * shift, 120 * shift, 0.4, 3}};
  if (StartsWith(name, "kachi"))
    return {{Wave::Noise, 0, 0.03, 8000, 8000, 0.4, 60}};
  if (StartsWith(name, "bell"))
    return {{Wave::Sine, 0, 0.5, 1046 * shift, 1046 * shift, 0.35, 6},
            {Wave::Sine, 0, 0.5, 2093 * shift, 2093 * shift, 0.15, 9},
            {Wave::Sine, 0, 0.5, 2637 * shift, 2637 * shift, 0.08, 12}};
  if (StartsWith(name, "chari"))
    return {{Wave::Sine, 0, 0.12, 1568, 1568, 0.3, 10}, {Wave::Sine, 0.08, 0.12, 2093, 2093, 0.3, 10},
            {Wave::Noise, 0, 0.2, 9000, 9000, 0.1, 20}};
  if (StartsWith(name, "gun") || StartsWith(name, "swing"))
    return {{Wave::Noise, 0, 0.18, StartsWith(name, "gun") ? 3000.0 : 7000.0, 1500, 0.5, 14}};
  if (StartsWith(name, "open"))
    return {{Wave::Triangle, 0, 0.25, 200, 800, 0.4, 3}, {Wave::Noise, 0, 0.1, 5000, 5000, 0.1, 30}};
  if (StartsWith(name, "voice"))
    return {{Wave::Saw, 0, 0.3, 260, 340, 0.3, 3}, {Wave::Sine, 0, 0.3, 780, 1020, 0.2, 3}};
  if (StartsWith(name, "crash") || StartsWith(name, "bom") || StartsWith(name, "don"))
    return {{Wave::Noise, 0, 0.45, 1500 * shift, 300, 0.55, 6}, {Wave::Sine, 0, 0.3, 120, 40, 0.5, 8}};
  if (StartsWith(name, "pi"))
    return {{Wave::Sine, 0, 0.08, 1760, 2200, 0.4, 10}};
  if (name.find("good") != std::string::npos || StartsWith(name, "plimbo"))
    return {{Wave::Triangle, 0, 0.1, 523 * shift, 523 * shift, 0.35, 4},
            {Wave::Triangle, 0.1, 0.1, 659 * shift, 659 * shift, 0.35, 4},
            {Wave::Triangle, 0.2, 0.25, 784 * shift, 784 * shift, 0.35, 4}};
  if (name.find("bad") != std::string::npos || StartsWith(name, "beep"))
    return {{Wave::Square, 0, 0.15, 330, 330, 0.3, 2}, {Wave::Square, 0.15, 0.25, 262, 262, 0.3, 2}};
  if (StartsWith(name, "tm2_quiz004"))
    return {{Wave::Square, 0, 0.08, 784, 784, 0.25, 4}, {Wave::Square, 0.1, 0.08, 784, 784, 0.25, 4},
            {Wave::Square, 0.2, 0.2, 1046, 1046, 0.25, 4}};
  if (StartsWith(name, "puu"))
    return {{Wave::Square, 0, 0.2, 150, 110, 0.4, 4}};
  return {{Wave::Sine, 0, 0.15, 660 * shift, 660 * shift, 0.4, 8}};
}

void Effect(std::vector<MediaFile>& m, const std::string& path) {
  MediaFile f;
  f.path = path;
  f.kind = FileKind::Effect;
  std::string name = path.substr(path.rfind('/') + 1);
  f.make = [name]() { return EncodeWave(Synthesise(EffectVoices(name), kEffectRate), kEffectRate); };
  m.push_back(std::move(f));
}

void Music(std::vector<MediaFile>& m, const std::string& path, uint32_t seed) {
  MediaFile f;
  f.path = path;
  f.kind = FileKind::Music;
  f.make = [seed]() { return EncodeVorbis(ComposeLoop(seed, 4.0, kMusicRate), kMusicRate, 0x5A520000u + seed); };
  m.push_back(std::move(f));
}

// A CP932 file made from UTF-8 content.
void Cp932File(std::vector<MediaFile>& m, const std::string& path, FileKind kind, Rules rules,
               std::function<std::string()> content, int mapId = -1, int lines = 0) {
  MediaFile f;
  f.path = path;
  f.kind = kind;
  f.rules = rules;
  f.mapId = mapId;
  f.textLines = lines;
  f.make = [content]() {
    std::string bytes;
    ToCp932(content(), &bytes);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  };
  m.push_back(std::move(f));
}

std::vector<MediaFile> Build() {
  std::vector<MediaFile> m;
  AddPictures(m);

  static const char* const effects[] = {
      "cursor27.wav",  "cursor33.wav",   "coin03.wav",    "power04.wav",  "push22.wav",
      "kachi13.wav",   "bell02.wav",     "cursor18.wav",  "chari02.wav",  "gun14_a.wav",
      "bell08.wav",    "cursor34.wav",   "power14.wav",   "coin05.wav",   "open51.wav",
      "voice011.wav",  "crash05_b.wav",  "pi14.wav",      "crash22_a.wav", "tm2_quiz000goodver2.wav",
      "tm2_quiz001good.wav", "beep15.wav", "tm2_quiz003bad.wav", "tm2_quiz004.wav", "swing29.wav",
      "bom26_a.wav",   "bom17_c.wav",    "puu79_a.wav",   "plimbo.wav"};
  for (const char* e : effects) Effect(m, std::string("sound/SE/") + e);
  for (const char* e : {"tm2_quiz004.wav", "tm2_quiz000goodver2.wav", "cursor33.wav"})
    Effect(m, std::string("mini/quizvemla/") + e);
  Effect(m, "mini/threerocket/bom11.wav");
  Effect(m, "mini/misobomb/cursor35.wav");
  Effect(m, "mini/misobomb/don14.wav");

  static const char* const music[] = {"水･風･炎･地･空･冥･天.ogg", "Very Xmas.ogg",       "蒼ノ月-AoNoTuki-.ogg",
                                      "賀正素材その２.ogg",       "…Wish .ogg",          "楓-Remake.Ver-.ogg"};
  for (uint32_t i = 0; i < 6; ++i) Music(m, std::string("sound/BGM/") + music[i], i + 1);

  // Tables.
  Cp932File(m, "data/minidata.csv", FileKind::Table, Rules::MinigameTable, MinigameTableCsv);
  Cp932File(m, "data/item.csv", FileKind::Table, Rules::ItemTable, ItemTableCsv);
  Cp932File(m, "data/mapdata.csv", FileKind::Table, Rules::MapTable, MapTableCsv);
  for (int id = 0; id < 7; ++id)
    Cp932File(m, std::string("data/map/") + kBoardKeys[id] + ".csv", FileKind::Table, Rules::BoardMap,
              [id]() { return BoardCsv(id); }, id);
  Cp932File(m, "data/Mini_RJ2.csv", FileKind::Table, Rules::RiverCourse, RiverCourseCsv);
  Cp932File(m, "mini/quizvemla/QTA.csv", FileKind::Table, Rules::QuizQuestions, QuizCsv);
  Cp932File(m, "mini/tumbrick/block.csv", FileKind::Table, Rules::BlockPatterns, BlockPatternsCsv);
  Cp932File(m, "mini/airride/airridetest.mdt", FileKind::Table, Rules::AirRideCourse, AirRideCourse);

  // Texts.
  for (int k = 0; k < 8; ++k) {
    Cp932File(m, std::string("text/order/") + kOrderKeys[k] + ".txt", FileKind::Text, Rules::OrderText,
              [k]() { return OrderText(k); });
    Cp932File(m, std::string("text/star/") + kOrderKeys[k] + ".txt", FileKind::Text, Rules::StarText,
              [k]() { return StarText(k); });
  }
  for (int k = 0; k < 7; ++k)
    Cp932File(m, std::string("text/roundbonus/") + kRoundBonusKeys[k] + ".txt", FileKind::Text, Rules::RoundText,
              [k]() { return RoundBonusText(k); });
  Cp932File(m, "text/sugoresult.txt", FileKind::Text, Rules::ResultText, ResultText);
  static const struct {
    const char* path;
    const char* name;
    int lines;
  } events[] = {{"sugoroku/thornyle/ovrelle.txt", "ovrelle", 5}, {"sugoroku/brimwold/princess.txt", "princess", 3},
                {"sugoroku/brimwold/rabbit.txt", "rabbit", 3},    {"sugoroku/brimwold/pikolda.txt", "pikolda", 3},
                {"sugoroku/brimwold/zanberi.txt", "zanberi", 5}};
  for (const auto& e : events) {
    std::string name = e.name;
    Cp932File(m, e.path, FileKind::Text, Rules::EventText, [name]() { return EventText(name); }, -1, e.lines);
  }
  for (const char* b : {"banquet", "anseri", "bofine", "yuxta"}) {
    std::string name = b;
    Cp932File(m, "sugoroku/cadris/" + name + ".txt", FileKind::Text, Rules::BanquetText,
              [name]() { return EventText(name); });
  }
  for (const MinigameFolder& f : MinigameFolders()) {
    int n = f.number;
    Cp932File(m, std::string("mini/") + f.folder + "/explain.txt", FileKind::Text, Rules::Explanation,
              [n]() { return ExplanationText(n); });
  }
  return m;
}

}  // namespace

const std::vector<MediaFile>& Manifest() {
  static const std::vector<MediaFile> manifest = Build();
  return manifest;
}

std::string GamePath(const MediaFile& file) {
  std::string p = "media\\" + file.path;
  std::replace(p.begin(), p.end(), '/', '\\');
  return p;
}

bool ToCp932(const std::string& utf8, std::string* cp932) { return Utf8ToSjis(utf8, *cp932); }

}  // namespace mediagen
