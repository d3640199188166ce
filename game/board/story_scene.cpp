// The spotlight scene.
#include "game/board/story_scene.h"

#include <cmath>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t SpotlightSceneStep = 0;
int32_t SpotlightScenePictures[5] = {};
SpotlightBeam SpotlightBeams[3] = {};

namespace {

const char* const kSpotlightFiles[5] = {
    "media\\spotlightver0.8.png",     "media\\spotlightver0.7.png",  "media\\spotlightver0.9_2_2.png",
    "media\\spotlightver0.9_3.png",   "media\\spotlightver0.9_4.png",
};

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 2.0f * kPi;

void LoadScenePictures() {
  for (int32_t i = 0; i < 5; ++i) {
    SpotlightScenePictures[i] = LoadGraphFile(kSpotlightFiles[i], 0);
    if (SpotlightScenePictures[i] == -1) ExitGame(1, kSpotlightFiles[i]);
  }
}

void FreeScenePictures() {
  for (int32_t& picture : SpotlightScenePictures) {
    FreeGraph(picture);
    picture = 0;
  }
}

}  // namespace

void MoveSpotlightBeam(SpotlightBeam* beam, int32_t index) {
  if (beam->motion == 0) {
    beam->phase += kPi / static_cast<float>(80 - 8 * index);
    if (beam->half == 0) {
      if (beam->phase >= kPi) {
        beam->motion = 1;
        beam->half = 1;
      }
    } else if (beam->phase >= kTwoPi) {
      beam->phase -= kTwoPi;
      beam->motion = 1;
      beam->half = 0;
    }
    beam->swing = 100.0f * std::sin(beam->phase);
    return;
  }
  float speed = 4.0f + 0.5f * static_cast<float>(index);
  beam->offset += beam->direction == 0 ? speed : -speed;
  if (beam->offset > 100.0f) {
    beam->offset = 100.0f;
    beam->direction = 1;
    beam->motion = 0;
  } else if (beam->offset < -100.0f) {
    beam->offset = -100.0f;
    beam->direction = 0;
    beam->motion = 0;
  }
}

void DrawSpotlightBeam(const SpotlightBeam& beam, int32_t widePicture, int32_t narrowPicture) {
  // The beam's foot: each corner cut to an integer.
  auto foot = [&beam](float x) { return static_cast<int32_t>(x - beam.swing + beam.offset); };
  SetDrawBlend(2, 80);
  DrawGraphQuad(160, 120, 480, 120, foot(480.0f), 368, foot(160.0f), 368, widePicture, 1);
  SetDrawBlend(2, 200);
  DrawGraphQuad(160, 0, 480, 0, foot(484.0f), 368, foot(164.0f), 368, narrowPicture, 1);
  SetDrawBlend(0, 255);
}

void DrawPlayerPiece(int32_t player, int32_t x, int32_t y) {
  const PlayerRecord* record = GetPlayer(player);
  // A player without a character (a set-up left unfinished) has no piece.
  if (record == nullptr || record->character < 0 || record->character >= kCharacterCount) return;
  DrawGraphRotated(x, y, 1.0, 0.0, CharacterImageTable[record->character][1], 1, 0);
}

int RunSpotlightScene() {
  if (UpdateFade() == 1) SpotlightSceneStep = 11;
  switch (SpotlightSceneStep) {
    case 0:
      SpotlightSceneStep = 1;
      return 0;
    case 1:
      LoadScenePictures();
      SpotlightSceneStep = 2;
      return 0;
    case 2:
      for (SpotlightBeam& beam : SpotlightBeams) beam = SpotlightBeam{};
      SpotlightSceneStep = 9;
      return 0;
    case 9:
      if (IsNewButtonPress(1, kButtonA)) SpotlightSceneStep = 11;
      for (int32_t i = 0; i < 3; ++i) MoveSpotlightBeam(&SpotlightBeams[i], i);
      DrawGraphAt(0, 0, FinalResultPicture, 0);
      for (int32_t p = 1; p <= 4; ++p) DrawPlayerPiece(p, 128 * p, 320);
      DrawAlphaBox(150, 0, 0, 640, 480, MakeScreenColor(0, 0, 0));
      for (const SpotlightBeam& beam : SpotlightBeams)
        DrawSpotlightBeam(beam, SpotlightScenePictures[0], SpotlightScenePictures[1]);
      return 0;
    case 11:
      FreeScenePictures();
      SpotlightSceneStep = 0;
      return 1;
    default:  // a step nothing leads to: the scene ends
      SpotlightSceneStep = 11;
      return 0;
  }
}
