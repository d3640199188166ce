// Animated strips, sprite records and the START pieces, the triangle wave,
// the number keys, and the looped music helpers.
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

float ItemShopWavePhase = 0.0f;
int32_t CurrentBgmIndex = 0;

void DrawAnimatedSprite(int32_t x, int32_t y, int32_t turn, const int32_t* handles, int32_t count, int32_t fps,
                        double scale, double angle) {
  if (handles == nullptr || count <= 0 || fps <= 0) return;
  int32_t ms = GetMillisecondCount(0);
  int32_t frame = static_cast<int32_t>(ms / (1000.0 / fps)) % count;
  DrawGraphRotated(x, y, scale, angle, handles[frame], 1, turn);
}

int DrawSpriteRecord(SpriteRecord record) {
  return DrawGraphRotated(static_cast<int32_t>(record.x), static_cast<int32_t>(record.y), record.scale, 0.0,
                          record.graph, 1, 0) == -1
             ? -1
             : 0;
}

int MoveSpriteToward(SpriteRecord* record, float targetX) {
  constexpr float kTargetY = 200.0f;
  Vector2f dir = NormalizeVector(targetX - record->x, kTargetY - record->y);
  record->x += 2.0f * dir.x;
  record->y += 2.0f * dir.y;
  bool xArrived = false, yArrived = false;
  float dx = targetX - record->x, dy = kTargetY - record->y;
  if (-2.0f <= dx && dx <= 2.0f) {
    record->x = targetX;
    xArrived = true;
  }
  if (-2.0f <= dy && dy <= 2.0f) {
    record->y = kTargetY;
    yArrived = true;
  }
  return xArrived && yArrived ? 1 : -1;
}

const char kStartPiecesFile[] = "media\\other\\STARTver0.2.png";

int LoadStartPieces() {
  int32_t handles[5];
  if (LoadDividedGraph(kStartPiecesFile, 5, 5, 1, 80, 80, handles, 0) == -1) {
    WriteErrorLogFormat("%s の読み込みに失敗しました", kStartPiecesFile);
    return -1;
  }
  for (int i = 0; i < 5; ++i) StartLetterSprites[i].graph = handles[i];
  return 1;
}

float TriangleWave() {
  constexpr float kTwoPi = 6.2831854820251465f;
  constexpr double k = 0.6366197546520227;
  float phase = ItemShopWavePhase;
  if (phase < 0.0f) return phase;
  while (phase >= kTwoPi) phase -= kTwoPi;
  if (phase <= 1.5707963705062866f) return static_cast<float>(phase * k);
  if (phase <= 4.71238899230957f) return static_cast<float>(2.0 - phase * k);
  return static_cast<float>(phase * k - 4.0);
}

int32_t GetPressedNumberKey() {
  if (KeyHoldFrames[11] == 1) return 10;
  for (int32_t code = 2; code <= 10; ++code)
    if (KeyHoldFrames[code] == 1) return code - 1;
  return 0;
}

void StopAllBgm() {
  for (int32_t handle : MusicHandles) StopSoundHandle(handle);
  CurrentBgmIndex = 0;
}

void PlayBgmLooped(int32_t index) {
  if (index == CurrentBgmIndex) return;
  if (index < 0 || index >= kMusicSlots) return;
  for (int32_t handle : MusicHandles) StopSoundHandle(handle);
  PlaySoundHandle(MusicHandles[index], 3, 1);
  CurrentBgmIndex = index;
}
