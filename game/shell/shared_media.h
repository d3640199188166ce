// The pictures, sounds, music and fonts that more than one scene uses,
// loaded once at start-up into global handle tables that every scene and
// minigame reads directly. The images and fonts are loaded again after a
// change of window mode (InitGame); sounds and music only once.
#pragma once

#include <cstdint>

#include "game/shell/game_helpers.h"

// ---------------------------------------------------------------- characters

constexpr int kCharacterCount = 6;
constexpr int kCharacterSlots = 39;

// Slots of a character's block: 0 face; 1-12 the board piece (1-4 facing
// down, 5-8 up, 9-12 sideways); 13-16 run; 17 wait; 18 damage; 19 air;
// 20-24 shot; 25-32 jump; 33-38 turn.
extern int32_t CharacterImageTable[kCharacterCount][kCharacterSlots];

// The folder prefix of a character (0 "media\tavisha\" ... 5 "media\jurelle\")
// into out (at least 32 bytes); an index outside 0..5 writes "".
void GetCharacterFolder(int32_t character, char* out);

// Portraits of the event characters by number 1 to 22 (entry 0 and 12 stay 0).
extern int32_t EventPortraitTable[23];

// ---------------------------------------------------------------- pictures of media\other and others

extern int32_t WindowFrameTiles[2];        // "media\window\window_枠.png", 2 cells of 32 x 32
extern int32_t CpuLevelPictures[5];        // "CPULv：easy.png" ... "CPULv：extra.png"
extern int32_t StatusBackgroundPicture;    // "ステータス：背景.png"
extern int32_t StatusFramePicture;         // "ステータス：枠.png"
extern int32_t CoinIconPicture;            // "点.png"
extern int32_t StarIconPicture;            // "ステータス：星.png"
extern int32_t DieBlockPicture;            // "サイコロ元ver0.2.png", the blank die
extern int32_t DiceFacePictures[10];       // "サイコロ.png", faces 1 to 10
extern int32_t PlacementPictures[4];       // "順位ver0.6.png", places 1 to 4
extern int32_t CharacterSelectPictures[4]; // "キャラ選択ver0.2.png", 1P to 4P
extern int32_t StagePictures[6];           // "ステージ：全部.png"
extern int32_t MinigameTextBackgrounds[3]; // "ミニゲーム：文字背景.png", categories 0 to 2
extern int32_t MinigameTypeTags[3];        // "ミニゲーム：タグ.png"
extern int32_t ArrowPicture;               // "矢印.png"
extern int32_t PassagePicture;             // "通路.png"
extern int32_t OrnamentPictures[2];        // "雅.png", loaded into two handles
extern int32_t ItemIcons[40];              // "アイテムver1.4.png", icon n - 1 for item n
extern int32_t ItemFramePicture;           // "アイテム：枠ver0.3.png"
extern int32_t BulletEffectPicture;        // "エフェクト：弾.png"
extern int32_t EffectBackgroundPicture;    // "エフェクト：背景７.png"
extern int32_t GapAnimationPictures[8];    // "スキマver0.1.png"
extern int32_t ResultBandPicture;          // "media\background\result.png"
// Board map 2: floor 1, floor 2, overview 1, overview 2.
extern int32_t MansionMapPictures[4];
// The five stone colours "賢者の石.png", "賢者の石_2.png" ... "賢者の石_5.png".
extern int32_t StonePictures[5];
extern int32_t MansionMasterPicture;  // "ミニズィルベedg_000.png"
// Board map 3: lower layer, upper layer, the whole map (twice), the blockade.
extern int32_t BanquetMapPictures[5];
// The banquet trio on the board: "ボフィネ_mini.png", "アンセリ_mini.png", "ユクスタ_mini.png".
extern int32_t BanquetTrioPictures[3];
// "汎用背景01.png" to "汎用背景04.png", "ミニゲーム結果画面.png", "汎用背景５.png".
extern int32_t BackgroundPictures[6];
// By square kind: blue, red, green, "?", star, shop, three, star again,
// rabbit, coin square.
extern int32_t SquarePictures[10];
extern int32_t SmallDigitPictures[10];  // "数値_小.png", digits 0 to 9
extern int32_t FinalResultPicture;      // "final result.png"

// The round-start slot: by effect 1 to 6 (index 0 to 5) the outer circle,
// square and inner circle; the effect cards; the letters ス, ペ, ル; the title.
extern int32_t MagicSquarePictures[6][3];
extern int32_t MagicSquareCards[6];
extern int32_t SlotLetterPictures[3];
extern int32_t SlotTitlePicture;

// ---------------------------------------------------------------- minigame pictures shared at start-up

// The START and FINISH banners (drawn by the banner code of the minigames).
extern SpriteRecord StartWordSprite;       // "STARTver0.2.png" whole
extern SpriteRecord StartLetterSprites[5]; // its five letters (LoadStartPieces)
extern int32_t StartCircleImage;           // "スタート円.png"
extern SpriteRecord FinishWordSprite;      // "FINISHver0.2.png"
extern int32_t ShotPicture;                // "ベルパ_タヴィシャ_tama.png"
// media\mini\river: course, rescuer, water, stone.
extern int32_t RiverCoursePicture;
extern int32_t RiverRescuerPicture;
extern int32_t RiverWaterPicture;
extern int32_t RiverRockPicture;
extern int32_t LeisurePosePicture;  // "media\mini\leisure\ミラドゥン_000.png"
extern int32_t RightMarkPicture;    // "media\mini\stair\maru.png"
extern int32_t WrongMarkPicture;    // "media\mini\stair\batu.png"
// media\mini\pooyan.
extern int32_t PooyanPushPictures[3];
extern int32_t PooyanPullPictures[3];
extern int32_t BalloonPumpPictures[4];
extern int32_t BalloonFlyPictures[2];
extern int32_t BalloonBreakPictures[3];
extern int32_t PooyanRockPictures[2];
extern int32_t PooyanMapPicture;
extern int32_t FuzzballPicture;  // "media\mini\shooting\けだま.png"
// media\mini\numbersearch: the two hosts (3 cells each), shadow, panel,
// participant frames red, blue, yellow, green, the call frame.
extern int32_t NumberSearchHostPictures[2][3];
extern int32_t NumberSearchShadowPicture;
extern int32_t NumberSearchPanelPicture;
extern int32_t NumberSearchFramePictures[4];
extern int32_t NumberSearchCallFramePicture;
// The winners' backgrounds of the coin tally, by character
// ("media\background\chara\%s.png"); the first that fails to load is -1
// and the later ones stay unloaded (0).
extern int32_t CharacterBackgroundPictures[6];

// ---------------------------------------------------------------- sounds and music

constexpr int kSoundEffectSlots = 30;
constexpr int kMusicSlots = 10;

// Slots 0 to 27 from "media\sound\SE\" in a fixed order; 28 and 29 stay empty.
extern int32_t SoundEffectHandles[kSoundEffectSlots];
// Slot 0 the title music, 3 "Very Xmas"; 1, 2 and 5 are filled by their scenes.
extern int32_t MusicHandles[kMusicSlots];
// "plimbo.wav", the key configuration's confirmation.
extern int32_t ExtraSoundHandle;

// The volumes in use (0 to 255), from "option.dat".
extern int32_t MusicVolume;
extern int32_t SoundEffectVolume;

// ---------------------------------------------------------------- fonts

// Entry n - 1 has size n (1 to 24); face "HGP創英角ﾎﾟｯﾌﾟ体", thickness 5, type 3.
extern int32_t FontHandlesBySize[24];
extern int32_t FontHandle30;       // size 30, thickness 4, type 3
extern int32_t FontHandle30Type2;  // size 30, thickness 4, type 2
extern int32_t FontHandle35;       // size 35, thickness 4, type 3

// ---------------------------------------------------------------- loading

// Each stops at its first failing load (with a log line naming the file)
// and returns -1; 1 when everything loaded.
int LoadCommonImages();
int LoadCharacterImages();
int LoadStageImages();
// Lists every picture file the three image loaders will load, in their order,
// for the library to decode ahead on the processor's other cores
// (ReadAheadGraphFiles); the loaders still make every handle and log line.
void ReadAheadGamePictures();
int LoadSounds();
// The 27 fonts (no failure test).
void CreateGameFonts();
// Frees every graph the three image loaders made and every game font (the
// reload after a change of window mode).
void FreeGameImagesAndFonts();

// Loaders of the round-start slot and of the tally's backgrounds, run by the
// common and the stage image loaders; each stops at its first failing
// picture and leaves the rest unloaded, without failing start-up.
void LoadMagicSquarePictures();
void LoadCharacterBackgrounds();

// Stops all ten music slots, then plays the slot once in the background from
// its start.
void PlayMusicSlotOnce(int32_t slot);
