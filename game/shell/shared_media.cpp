// Loading the shared pictures, sounds, music and fonts.
#include "game/shell/shared_media.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "library/zrlib.h"

int32_t CharacterImageTable[kCharacterCount][kCharacterSlots] = {};
int32_t EventPortraitTable[23] = {};

int32_t WindowFrameTiles[2] = {};
int32_t CpuLevelPictures[5] = {};
int32_t StatusBackgroundPicture = 0;
int32_t StatusFramePicture = 0;
int32_t CoinIconPicture = 0;
int32_t StarIconPicture = 0;
int32_t DieBlockPicture = 0;
int32_t DiceFacePictures[10] = {};
int32_t PlacementPictures[4] = {};
int32_t CharacterSelectPictures[4] = {};
int32_t StagePictures[6] = {};
int32_t MinigameTextBackgrounds[3] = {};
int32_t MinigameTypeTags[3] = {};
int32_t ArrowPicture = 0;
int32_t PassagePicture = 0;
int32_t OrnamentPictures[2] = {};
int32_t ItemIcons[40] = {};
int32_t ItemFramePicture = 0;
int32_t BulletEffectPicture = 0;
int32_t EffectBackgroundPicture = 0;
int32_t GapAnimationPictures[8] = {};
int32_t ResultBandPicture = 0;
int32_t MansionMapPictures[4] = {};
int32_t StonePictures[5] = {};
int32_t MansionMasterPicture = 0;
int32_t BanquetMapPictures[5] = {};
int32_t BanquetTrioPictures[3] = {};
int32_t BackgroundPictures[6] = {};
int32_t SquarePictures[10] = {};
int32_t SmallDigitPictures[10] = {};
int32_t FinalResultPicture = 0;

int32_t MagicSquarePictures[6][3] = {};
int32_t MagicSquareCards[6] = {};
int32_t SlotLetterPictures[3] = {};
int32_t SlotTitlePicture = 0;

SpriteRecord StartWordSprite = {};
SpriteRecord StartLetterSprites[5] = {};
int32_t StartCircleImage = 0;
SpriteRecord FinishWordSprite = {};
int32_t ShotPicture = 0;
int32_t RiverCoursePicture = 0;
int32_t RiverRescuerPicture = 0;
int32_t RiverWaterPicture = 0;
int32_t RiverRockPicture = 0;
int32_t LeisurePosePicture = 0;
int32_t RightMarkPicture = 0;
int32_t WrongMarkPicture = 0;
int32_t PooyanPushPictures[3] = {};
int32_t PooyanPullPictures[3] = {};
int32_t BalloonPumpPictures[4] = {};
int32_t BalloonFlyPictures[2] = {};
int32_t BalloonBreakPictures[3] = {};
int32_t PooyanRockPictures[2] = {};
int32_t PooyanMapPicture = 0;
int32_t FuzzballPicture = 0;
int32_t NumberSearchHostPictures[2][3] = {};
int32_t NumberSearchShadowPicture = 0;
int32_t NumberSearchPanelPicture = 0;
int32_t NumberSearchFramePictures[4] = {};
int32_t NumberSearchCallFramePicture = 0;
int32_t CharacterBackgroundPictures[6] = {};

int32_t SoundEffectHandles[kSoundEffectSlots] = {};
int32_t MusicHandles[kMusicSlots] = {};
int32_t ExtraSoundHandle = 0;
int32_t MusicVolume = 255;
int32_t SoundEffectVolume = 255;

int32_t FontHandlesBySize[24] = {};
int32_t FontHandle30 = 0;
int32_t FontHandle30Type2 = 0;
int32_t FontHandle35 = 0;

namespace {

// Every graph the image loaders made, so a reload can free them first.
std::vector<int32_t> madeGraphs;
bool fontsMade = false;

// One picture to load: the whole file into one graph (cells 0), or cut into
// cells (count, across x down, each w x h) into consecutive handles.
struct Picture {
  std::string file;
  int32_t* handles;
  int32_t cells = 0;
  int32_t across = 0, down = 0, width = 0, height = 0;
};
using Pictures = std::vector<Picture>;

bool Load(const Picture& p) {
  if (p.cells == 0) {
    *p.handles = LoadGraphFile(p.file.c_str(), 0);
    if (*p.handles == -1) return false;
    madeGraphs.push_back(*p.handles);
    return true;
  }
  if (LoadDividedGraph(p.file.c_str(), p.cells, p.across, p.down, p.width, p.height, p.handles, 0) == -1)
    return false;
  madeGraphs.insert(madeGraphs.end(), p.handles, p.handles + p.cells);
  return true;
}

// Loads the pictures in order; 1, or -1 at the first that fails (logged).
int LoadAll(const Pictures& pictures) {
  for (const Picture& picture : pictures) {
    if (!Load(picture)) {
      WriteErrorLogFormat("%s の読み込みに失敗しました", picture.file.c_str());
      return -1;
    }
  }
  return 1;
}

// A path built from parts, as the loaders need it.
std::string Path(const char* a, const char* b, const char* c = "") { return std::string(a) + b + c; }

const char* const kCharacterFolders[kCharacterCount] = {
    "media\\tavisha\\", "media\\belnora\\", "media\\quendri\\",
    "media\\falisse\\", "media\\odwyna\\",  "media\\jurelle\\",
};

const char* const kCharacterKeys[kCharacterCount] = {"tavisha", "belnora", "quendri",
                                                      "falisse", "odwyna",  "jurelle"};

const char kFontFace[] = "HGP創英角ﾎﾟｯﾌﾟ体";

// ---------------------------------------------------------------- the pictures, in the order they load

Pictures CommonPicturesBefore() {
  return {
      {"media\\window\\window_枠.png", WindowFrameTiles, 2, 2, 1, 32, 32},
      {"media\\other\\CPULv：easy.png", &CpuLevelPictures[0]},
      {"media\\other\\CPULv：normal.png", &CpuLevelPictures[1]},
      {"media\\other\\CPULv：hard.png", &CpuLevelPictures[2]},
      {"media\\other\\CPULv：dravosk.png", &CpuLevelPictures[3]},
      {"media\\other\\CPULv：extra.png", &CpuLevelPictures[4]},
      {"media\\other\\ステータス：背景.png", &StatusBackgroundPicture},
      {"media\\other\\ステータス：枠.png", &StatusFramePicture},
      {"media\\other\\点.png", &CoinIconPicture},
      {"media\\other\\ステータス：星.png", &StarIconPicture},
      {"media\\other\\サイコロ元ver0.2.png", &DieBlockPicture},
      {"media\\other\\サイコロ.png", DiceFacePictures, 10, 5, 2, 64, 64},
      {"media\\other\\順位ver0.6.png", PlacementPictures, 4, 4, 1, 100, 100},
      {"media\\other\\キャラ選択ver0.2.png", CharacterSelectPictures, 4, 4, 1, 64, 64},
      {"media\\other\\ステージ：全部.png", StagePictures, 6, 3, 2, 200, 200},
      {"media\\other\\ミニゲーム：文字背景.png", MinigameTextBackgrounds, 3, 3, 1, 300, 400},
      {"media\\other\\ミニゲーム：タグ.png", MinigameTypeTags, 3, 1, 3, 50, 100},
      {"media\\other\\矢印.png", &ArrowPicture},
      {"media\\other\\通路.png", &PassagePicture},
      {"media\\other\\雅.png", &OrnamentPictures[0]},
      {"media\\other\\雅.png", &OrnamentPictures[1]},
      {"media\\other\\アイテムver1.4.png", ItemIcons, 40, 10, 4, 32, 32},
      {"media\\other\\アイテム：枠ver0.3.png", &ItemFramePicture},
      {"media\\other\\エフェクト：弾.png", &BulletEffectPicture},
      {"media\\other\\エフェクト：背景７.png", &EffectBackgroundPicture},
      {"media\\other\\スキマver0.1.png", GapAnimationPictures, 8, 4, 2, 64, 64},
      {"media\\background\\result.png", &ResultBandPicture},
  };
}

// The round-start slot's pictures.
Pictures MagicSquarePictureList() {
  static const char* const kTags[6] = {"タヴィシャ", "ベルノーラ", "クェンドリ", "ファリッセ", "オドウィナ", "ジュレール"};
  static const char* const kParts[3] = {"\\外円.png", "\\四角.png", "\\内円.png"};
  Pictures pictures;
  for (int e = 0; e < 6; ++e) {
    for (int k = 0; k < 3; ++k)
      pictures.push_back({Path("media\\sugoroku\\other\\spellslot\\MagicSquare\\", kTags[e], kParts[k]),
                          &MagicSquarePictures[e][k]});
  }
  for (int c = 0; c < 6; ++c) pictures.push_back({Path(kCharacterFolders[c], "koma_front.png"), &MagicSquareCards[c]});
  static const char* const kLetters[3] = {"ス.png", "ペ.png", "ル.png"};
  for (int i = 0; i < 3; ++i)
    pictures.push_back({Path("media\\sugoroku\\other\\spellslot\\", kLetters[i]), &SlotLetterPictures[i]});
  pictures.push_back({"media\\sugoroku\\other\\spellslot\\スロット.png", &SlotTitlePicture});
  return pictures;
}

Pictures CommonPicturesAfter() {
  return {
      {"media\\sugoroku\\zarvie\\ザルヴィエ_MAP_1.png", &MansionMapPictures[0]},
      {"media\\sugoroku\\zarvie\\ザルヴィエ_MAP_2.png", &MansionMapPictures[1]},
      {"media\\sugoroku\\zarvie\\ザルヴィエ_MAP_all1.png", &MansionMapPictures[2]},
      {"media\\sugoroku\\zarvie\\ザルヴィエ_MAP_all2.png", &MansionMapPictures[3]},
      {"media\\sugoroku\\zarvie\\賢者の石.png", &StonePictures[0]},
      {"media\\sugoroku\\zarvie\\賢者の石_2.png", &StonePictures[1]},
      {"media\\sugoroku\\zarvie\\賢者の石_3.png", &StonePictures[2]},
      {"media\\sugoroku\\zarvie\\賢者の石_4.png", &StonePictures[3]},
      {"media\\sugoroku\\zarvie\\賢者の石_5.png", &StonePictures[4]},
      {"media\\other\\ミニズィルベedg_000.png", &MansionMasterPicture},
      {"media\\sugoroku\\cadris\\セリュナ下.png", &BanquetMapPictures[0]},
      {"media\\sugoroku\\cadris\\セリュナ上.png", &BanquetMapPictures[1]},
      {"media\\sugoroku\\cadris\\セリュナ全部.png", &BanquetMapPictures[2]},
      {"media\\sugoroku\\cadris\\セリュナ全部.png", &BanquetMapPictures[3]},
      {"media\\sugoroku\\cadris\\さくら封鎖.png", &BanquetMapPictures[4]},
      {"media\\sugoroku\\cadris\\ボフィネ_mini.png", &BanquetTrioPictures[0]},
      {"media\\sugoroku\\cadris\\アンセリ_mini.png", &BanquetTrioPictures[1]},
      {"media\\sugoroku\\cadris\\ユクスタ_mini.png", &BanquetTrioPictures[2]},
      {"media\\background\\汎用背景01.png", &BackgroundPictures[0]},
      {"media\\background\\汎用背景02.png", &BackgroundPictures[1]},
      {"media\\background\\汎用背景03.png", &BackgroundPictures[2]},
      {"media\\background\\汎用背景04.png", &BackgroundPictures[3]},
      {"media\\background\\ミニゲーム結果画面.png", &BackgroundPictures[4]},
      {"media\\background\\汎用背景５.png", &BackgroundPictures[5]},
      {"media\\sugoroku\\other\\masu\\青マスver4.png", &SquarePictures[0]},
      {"media\\sugoroku\\other\\masu\\赤マスver4.png", &SquarePictures[1]},
      {"media\\sugoroku\\other\\masu\\マス_緑.png", &SquarePictures[2]},
      {"media\\sugoroku\\other\\masu\\マス_hatena.png", &SquarePictures[3]},
      {"media\\sugoroku\\other\\masu\\マス_星 (2).png", &SquarePictures[4]},
      {"media\\sugoroku\\other\\masu\\マス_店 (2).png", &SquarePictures[5]},
      {"media\\sugoroku\\other\\masu\\マス_三 (2).png", &SquarePictures[6]},
      {"media\\sugoroku\\other\\masu\\マス_星 (2).png", &SquarePictures[7]},
      {"media\\sugoroku\\other\\masu\\masu_usagi_2.png", &SquarePictures[8]},
      {"media\\sugoroku\\other\\masu\\zanberimasu.png", &SquarePictures[9]},
      {"media\\other\\数値_小.png", SmallDigitPictures, 10, 10, 1, 20, 32},
      {"media\\other\\final result.png", &FinalResultPicture},
  };
}

// The nine files of a character's block.
Pictures CharacterPictures(int32_t c) {
  int32_t* slots = CharacterImageTable[c];
  const char* folder = kCharacterFolders[c];
  return {
      {Path(folder, "face.png"), &slots[0]},
      {Path(folder, "koma.png"), &slots[1], 12, 4, 3, 32, 32},
      {Path(folder, "m_air.png"), &slots[19]},
      {Path(folder, "m_damage.png"), &slots[18]},
      {Path(folder, "m_wait.png"), &slots[17]},
      {Path(folder, "m_run.png"), &slots[13], 4, 4, 1, 80, 80},
      {Path(folder, "m_shot.png"), &slots[20], 5, 5, 1, 80, 80},
      {Path(folder, "m_jump.png"), &slots[25], 8, 8, 1, 80, 80},
      {Path(folder, "m_turn.png"), &slots[33], 6, 6, 1, 80, 115},
  };
}

// The event portraits in the order of their numbers (12 has none).
Pictures PortraitPictures() {
  static const char* const kPortraits[23] = {
      nullptr,          "ヴァシュテ.png", "グラヴォネ.png", "グラヴォネ.png", "グラヴォネ.png",   "ペロナント.png",
      "ティボラ.png",   "グラヴォネ.png", "グラヴォネ.png", "グラヴォネ.png", "メグノス.png",     "ニクセラver1.png",
      nullptr,          "グラヴォネ.png", "ブロウニャ.png", "ズィルベ.png",   "ヴェスピナ.png",   "アンセリ.png",
      "ボフィネ.png",   "ユクスタ.png",   "ピコルダ_L.png", "ザンベリedg.png", "エスロヴァ.png"};
  Pictures pictures;
  for (int32_t n = 1; n < 23; ++n)
    if (kPortraits[n] != nullptr) pictures.push_back({Path("media\\eventchar\\", kPortraits[n]), &EventPortraitTable[n]});
  return pictures;
}

Pictures StagePictureList() {
  return {
      {"media\\other\\STARTver0.2.png", &StartWordSprite.graph},
      {"media\\other\\スタート円.png", &StartCircleImage},
      {"media\\other\\FINISHver0.2.png", &FinishWordSprite.graph},
      {"media\\other\\ベルパ_タヴィシャ_tama.png", &ShotPicture},
      {"media\\mini\\river\\RJ_course.png", &RiverCoursePicture},
      {"media\\mini\\river\\ヴェンティカ.png", &RiverRescuerPicture},
      {"media\\mini\\river\\RJ_river.png", &RiverWaterPicture},
      {"media\\mini\\river\\RJ_rock.png", &RiverRockPicture},
      {"media\\mini\\leisure\\ミラドゥン_000.png", &LeisurePosePicture},
      {"media\\mini\\stair\\maru.png", &RightMarkPicture},
      {"media\\mini\\stair\\batu.png", &WrongMarkPicture},
      {"media\\mini\\pooyan\\ナヴォルカ_push.png", PooyanPushPictures, 3, 3, 1, 35, 40},
      {"media\\mini\\pooyan\\ボグリエナ_pull.png", PooyanPullPictures, 3, 3, 1, 32, 40},
      {"media\\mini\\pooyan\\風船_pump.png", BalloonPumpPictures, 4, 4, 1, 32, 32},
      {"media\\mini\\pooyan\\風船_fly.png", BalloonFlyPictures, 2, 2, 1, 32, 32},
      {"media\\mini\\pooyan\\風船_break.png", BalloonBreakPictures, 3, 3, 1, 32, 32},
      {"media\\mini\\pooyan\\プーヤン_岩.png", PooyanRockPictures, 2, 2, 1, 50, 55},
      {"media\\mini\\pooyan\\プーヤン_マップ.png", &PooyanMapPicture},
      {"media\\mini\\shooting\\けだま.png", &FuzzballPicture},
      {"media\\mini\\numbersearch\\チペラ.png", NumberSearchHostPictures[0], 3, 3, 1, 100, 120},
      {"media\\mini\\numbersearch\\ヴォクサン.png", NumberSearchHostPictures[1], 3, 3, 1, 100, 120},
      {"media\\mini\\numbersearch\\枠.png", &NumberSearchPanelPicture},
      {"media\\mini\\numbersearch\\カゲ.png", &NumberSearchShadowPicture},
      {"media\\mini\\numbersearch\\キャラ枠_赤.png", &NumberSearchFramePictures[0]},
      {"media\\mini\\numbersearch\\キャラ枠_青.png", &NumberSearchFramePictures[1]},
      {"media\\mini\\numbersearch\\キャラ枠_黄.png", &NumberSearchFramePictures[2]},
      {"media\\mini\\numbersearch\\キャラ枠_緑.png", &NumberSearchFramePictures[3]},
      {"media\\mini\\numbersearch\\問題枠.png", &NumberSearchCallFramePicture},
  };
}

// The board's character backgrounds.
Pictures CharacterBackgroundList() {
  Pictures pictures;
  for (int c = 0; c < kCharacterCount; ++c)
    pictures.push_back({Path("media\\background\\chara\\", kCharacterKeys[c], ".png"), &CharacterBackgroundPictures[c]});
  return pictures;
}

}  // namespace

void GetCharacterFolder(int32_t character, char* out) {
  if (out == nullptr) return;
  out[0] = '\0';
  if (character >= 0 && character < kCharacterCount) strcpy(out, kCharacterFolders[character]);
}

int LoadCommonImages() {
  if (LoadAll(CommonPicturesBefore()) == -1) return -1;
  LoadMagicSquarePictures();
  return LoadAll(CommonPicturesAfter());
}

int LoadCharacterImages() {
  for (int32_t c = 0; c < kCharacterCount; ++c)
    if (LoadAll(CharacterPictures(c)) == -1) return -1;
  return LoadAll(PortraitPictures());
}

int LoadStageImages() {
  if (LoadStartPieces() == -1) return -1;
  for (const SpriteRecord& letter : StartLetterSprites) madeGraphs.push_back(letter.graph);
  if (LoadAll(StagePictureList()) == -1) return -1;
  LoadCharacterBackgrounds();
  return 1;
}

void LoadMagicSquarePictures() {
  for (const Picture& picture : MagicSquarePictureList()) {
    if (!Load(picture)) {
      WriteErrorLogFormat("%s の読み込みに失敗しました 残りのスロット画像は読み込みません", picture.file.c_str());
      return;
    }
  }
}

void LoadCharacterBackgrounds() {
  for (const Picture& picture : CharacterBackgroundList()) {
    if (!Load(picture)) {
      WriteErrorLogFormat("%s の読み込みに失敗しました 残りの背景は読み込みません", picture.file.c_str());
      return;
    }
  }
}

void ReadAheadGamePictures() {
  std::vector<Pictures> parts = {CommonPicturesBefore(), MagicSquarePictureList(), CommonPicturesAfter()};
  for (int32_t c = 0; c < kCharacterCount; ++c) parts.push_back(CharacterPictures(c));
  parts.push_back(PortraitPictures());
  parts.push_back({{kStartPiecesFile, nullptr}});
  parts.push_back(StagePictureList());
  parts.push_back(CharacterBackgroundList());
  std::vector<const char*> files;
  for (const Pictures& part : parts)
    for (const Picture& picture : part) files.push_back(picture.file.c_str());
  ReadAheadGraphFiles(files.data(), static_cast<int32_t>(files.size()));
}

void CreateGameFonts() {
  for (int32_t n = 1; n <= 24; ++n) FontHandlesBySize[n - 1] = CreateFontToHandle(kFontFace, n, 5, 3, -1, -1, 0, -1, -1);
  FontHandle30 = CreateFontToHandle(kFontFace, 30, 4, 3, -1, -1, 0, -1, -1);
  FontHandle30Type2 = CreateFontToHandle(kFontFace, 30, 4, 2, -1, -1, 0, -1, -1);
  FontHandle35 = CreateFontToHandle(kFontFace, 35, 4, 3, -1, -1, 0, -1, -1);
  fontsMade = true;
}

void FreeGameImagesAndFonts() {
  for (int32_t handle : madeGraphs) FreeGraph(handle);
  madeGraphs.clear();
  if (!fontsMade) return;
  for (int32_t& handle : FontHandlesBySize) DeleteFontHandle(handle);
  DeleteFontHandle(FontHandle30);
  DeleteFontHandle(FontHandle30Type2);
  DeleteFontHandle(FontHandle35);
  fontsMade = false;
}

int LoadSounds() {
  static const char* const kEffects[28] = {
      "cursor27.wav",  "cursor33.wav",  "coin03.wav",  "power04.wav",    "push22.wav",
      "kachi13.wav",   "bell02.wav",    "cursor18.wav", "chari02.wav",   "gun14_a.wav",
      "bell08.wav",    "cursor34.wav",  "power14.wav", "coin05.wav",     "open51.wav",
      "voice011.wav",  "crash05_b.wav", "pi14.wav",    "crash22_a.wav",  "tm2_quiz000goodver2.wav",
      "tm2_quiz001good.wav", "beep15.wav", "tm2_quiz003bad.wav", "tm2_quiz004.wav", "swing29.wav",
      "bom26_a.wav",   "bom17_c.wav",   "puu79_a.wav"};
  auto load = [](const std::string& file, int32_t* handle) {
    *handle = LoadSoundFile(file.c_str(), 3, -1);
    if (*handle != -1) return true;
    WriteErrorLogFormat("%s の読み込みに失敗しました", file.c_str());
    return false;
  };
  for (int i = 0; i < 28; ++i)
    if (!load(Path("media\\sound\\SE\\", kEffects[i]), &SoundEffectHandles[i])) return -1;
  SetSoundLoadType(2);
  bool music = load("media\\sound\\BGM\\水･風･炎･地･空･冥･天.ogg", &MusicHandles[0]) &&
               load("media\\sound\\BGM\\Very Xmas.ogg", &MusicHandles[3]);
  SetSoundLoadType(0);
  if (!music) return -1;
  if (!load("media\\sound\\SE\\plimbo.wav", &ExtraSoundHandle)) return -1;
  return 1;
}

void PlayMusicSlotOnce(int32_t slot) {
  for (int32_t handle : MusicHandles) StopSoundHandle(handle);
  if (slot < 0 || slot >= kMusicSlots) return;
  PlaySoundHandle(MusicHandles[slot], 1, 1);
}
