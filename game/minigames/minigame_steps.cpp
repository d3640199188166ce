// The minigames' step driver, media lists and push chain.
#include "game/minigames/minigame_steps.h"

#include "game/shell/game_main.h"
#include "library/zrlib.h"

// ---------------------------------------------------------------- the step driver

int32_t NextMinigameStep(const MinigameNumbering& numbering, int32_t step) {
  for (int32_t s = step + 1; s < kMinigameStepCount; ++s)
    if (s >= 0 && numbering.kinds[s] != kStepUnused) return s;
  return step;
}

namespace {

MinigameStepKind KindOf(const MinigameNumbering& numbering, int32_t step) {
  return step >= 0 && step < kMinigameStepCount ? numbering.kinds[step] : kStepUnused;
}

int32_t UnloadStep(const MinigameNumbering& numbering) {
  for (int32_t s = 0; s < kMinigameStepCount; ++s)
    if (numbering.kinds[s] == kStepUnload) return s;
  return -1;
}

}  // namespace

int RunMinigameSteps(const MinigameSteps& minigame) {
  int32_t& step = *minigame.step;
  const MinigameNumbering& numbering = *minigame.numbering;
  // The completed fade-out runs the unload step in this same call.
  if (UpdateFade() == 1) {
    int32_t unload = UnloadStep(numbering);
    if (unload >= 0) step = unload;
  }
  auto draw = [&minigame] {
    if (minigame.draw != nullptr) minigame.draw();
  };
  auto next = [&] { step = NextMinigameStep(numbering, step); };
  switch (KindOf(numbering, step)) {
    case kStepUnused:
      break;
    case kStepNothing:
      next();
      break;
    case kStepLoad:
      if (minigame.load != nullptr && minigame.load() == -1) return -1;
      next();
      break;
    case kStepSetUp:
      if (minigame.setUp != nullptr) minigame.setUp();
      next();
      break;
    case kStepIntro:
      if (minigame.intro == nullptr || minigame.intro() == 1) next();
      break;
    case kStepStartBanner:
      draw();
      if (ShowStartBanner() != 0) next();
      break;
    case kStepPlay:
      if (minigame.play != nullptr && minigame.play() == 1) next();
      break;
    case kStepFinishBanner:
      draw();
      if (ShowFinishBanner() != 0) next();
      break;
    case kStepOutcome:
      if (minigame.outcome == nullptr || minigame.outcome() == 1) next();
      break;
    case kStepWinners:
      draw();
      if (ShowMinigameWinners() != 0) next();
      break;
    case kStepFadeOut:
      FadeOutRequest = 1;
      draw();
      break;
    case kStepUnload:
      if (minigame.unload != nullptr) minigame.unload();
      step = minigame.restartStep;
      return 1;
  }
  return 0;
}

// ---------------------------------------------------------------- media lists

namespace {

void ForgetHandles(const MinigameMedia& m) {
  for (int16_t i = 0; i < m.count; ++i) m.handles[i] = -1;
}

// True when the file loaded into the entry's handles (all -1 when not).
bool LoadEntry(const MinigameMedia& m) {
  switch (m.kind) {
    case MinigameMedia::kPicture:
      *m.handles = LoadGraphFile(m.file, 0);
      return *m.handles != -1;
    case MinigameMedia::kPictureCells:
      if (LoadDividedGraph(m.file, m.count, m.across, m.down, m.width, m.height, m.handles, 0) != -1) return true;
      ForgetHandles(m);
      return false;
    case MinigameMedia::kSound:
      *m.handles = LoadSoundFile(m.file, 3, -1);
      return *m.handles != -1;
  }
  return false;
}

}  // namespace

int LoadMinigameMedia(const MinigameMedia* list, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (LoadEntry(list[i])) continue;
    WriteErrorLogFormat("%s の読み込みに失敗しました", list[i].file);
    FreeMinigameMedia(list, i);
    return -1;
  }
  return 1;
}

void FreeMinigameMedia(const MinigameMedia* list, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const MinigameMedia& m = list[i];
    for (int16_t k = 0; k < m.count; ++k) {
      // Handles are positive; -1 (and 0 before the first load) hold nothing.
      if (m.handles[k] > 0) {
        if (m.kind == MinigameMedia::kSound)
          DeleteSoundHandle(m.handles[k], 0);
        else
          FreeGraph(m.handles[k]);
      }
      m.handles[k] = -1;
    }
  }
}

// ---------------------------------------------------------------- push chain

namespace {

// The next mover among those not moved: the greatest position moving up the
// axis above low, else the smallest moving down below high, else the last
// standing one; 0 when none is left. A later participant must be strictly
// beyond the one found, so equal positions go to the lower number.
int32_t ChooseMover(const PushChain& chain, const bool moved[5], float low, float high) {
  int32_t found = 0;
  float best = low;
  for (int32_t p = 1; p <= 4; ++p)
    if (!moved[p] && chain.speed(p) > 0.0f && chain.position(p) > best) {
      found = p;
      best = chain.position(p);
    }
  if (found != 0) return found;
  best = high;
  for (int32_t p = 1; p <= 4; ++p)
    if (!moved[p] && chain.speed(p) < 0.0f && chain.position(p) < best) {
      found = p;
      best = chain.position(p);
    }
  if (found != 0) return found;
  for (int32_t p = 1; p <= 4; ++p)
    if (!moved[p] && chain.speed(p) == 0.0f) found = p;
  return found;
}

}  // namespace

int RunPushChain(const PushChain& chain) {
  bool moved[5] = {};
  int moves = 0;
  int32_t mover = ChooseMover(chain, moved, chain.firstLow, chain.firstHigh);
  while (mover != 0 && moves < kPushChainMovesPerPass) {
    moved[mover] = true;
    ++moves;
    int32_t shoved = chain.move(mover);
    if (shoved >= 1 && shoved <= 4 && shoved != mover) {
      moved[shoved] = false;
      mover = shoved;
    } else {
      mover = ChooseMover(chain, moved, chain.low, chain.high);
    }
  }
  return moves;
}

int32_t ShoveSide(float moverPosition, float otherPosition, int32_t mover, int32_t other) {
  if (otherPosition > moverPosition) return 1;
  if (otherPosition < moverPosition) return -1;
  return other > mover ? 1 : -1;
}
