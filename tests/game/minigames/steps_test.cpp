// The step driver with a minigame of the test's own, run as a scene through
// the real loop: the steps of both numberings in order, the hooks' calls,
// the banners between them, a failed load, the fade-out that runs the unload
// step, and the restart step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/minigames/minigame_steps.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "tests/game/harness/game_harness.h"

namespace {

int32_t FakeStep = 0;
int FakeLoadResult = 1;
int FakeIntroFrames = 0, FakePlayFrames = 0, FakeOutcomeFrames = 0;
std::string FakeCalls;  // one letter a hook call
std::vector<int32_t> FakeSteps;  // the step after each frame, repeats collapsed
std::vector<int> FakeResults;    // every non-zero result
int FakeDrawsInLastFrame = 0;

int FakeLoad() {
  FakeCalls += 'L';
  return FakeLoadResult;
}
void FakeSetUp() { FakeCalls += 'S'; }
int FakeIntro() {
  FakeCalls += 'I';
  return ++FakeIntroFrames == 3 ? 1 : 0;
}
void FakeDraw() { ++FakeDrawsInLastFrame; }
int FakePlay() {
  FakeCalls += 'P';
  return ++FakePlayFrames == 4 ? 1 : 0;
}
int FakeOutcome() {
  FakeCalls += 'O';
  return ++FakeOutcomeFrames == 2 ? 1 : 0;
}
void FakeUnload() { FakeCalls += 'U'; }

MinigameSteps FakeMinigame = {
    .step = &FakeStep,
    .numbering = &kMinigameStepsA,
    .load = FakeLoad,
    .setUp = FakeSetUp,
    .intro = FakeIntro,
    .draw = FakeDraw,
    .play = FakePlay,
    .outcome = FakeOutcome,
    .unload = FakeUnload,
};

int FakeScene() {
  FakeDrawsInLastFrame = 0;
  int result = RunMinigameSteps(FakeMinigame);
  if (result != 0) FakeResults.push_back(result);
  if (FakeSteps.empty() || FakeSteps.back() != FakeStep) FakeSteps.push_back(FakeStep);
  return 0;
}

void StartFake(const MinigameNumbering& numbering, int32_t restartStep) {
  FakeMinigame.numbering = &numbering;
  FakeMinigame.restartStep = restartStep;
  FakeCalls.clear();
  FakeSteps.clear();
  FakeResults.clear();
  FakeIntroFrames = FakePlayFrames = FakeOutcomeFrames = 0;
  SceneHandlers[3] = FakeScene;
  SceneState = 3;
  FadeInDone = 0;
  FadeOutRequest = 0;
  FadeLevel = 0;
}

TEST(StepDriver, RunsEachNumberingThroughItsSteps) {
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    ASSERT_TRUE(h.Frame());

    // Pattern A: a failed load ends the call with -1 and stays on the load step.
    FakeLoadResult = -1;
    StartFake(kMinigameStepsA, 0);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(FakeStep, 1);
    EXPECT_EQ(FakeResults, (std::vector<int>{-1, -1}));
    EXPECT_EQ(FakeCalls, "LL");
    FakeLoadResult = 1;
    FakeResults.clear();
    FakeCalls.clear();
    ASSERT_TRUE(h.RunUntil([] { return FakeStep == 9; }, 600));
    ASSERT_TRUE(h.RunUntil([] { return !FakeResults.empty(); }, 30));
    EXPECT_EQ(FakeResults, (std::vector<int>{1}));
    EXPECT_EQ(FakeCalls, "LSPPPPOOU") << "A has no intro";
    EXPECT_EQ(FakeSteps, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 9, 0}));
    EXPECT_EQ(FakeDrawsInLastFrame, 0) << "the completed fade-out runs the unload step, not the draw";
    EXPECT_EQ(FadeInDone, 0) << "the next scene fades in";

    // Pattern B with an intro of three frames, restarting at the set-up.
    StartFake(kMinigameStepsB, 2);
    ASSERT_TRUE(h.RunUntil([] { return !FakeResults.empty(); }, 800));
    EXPECT_EQ(FakeCalls, "LSIIIPPPPOOU");
    EXPECT_EQ(FakeSteps, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 10, 2}));
    // The media stay: the next game starts at the set-up.
    StartFake(kMinigameStepsB, 2);
    ASSERT_TRUE(h.RunUntil([] { return !FakeResults.empty(); }, 800));
    EXPECT_EQ(FakeCalls, "SIIIPPPPOOU");

    // Without an intro, step 3 of pattern B is one frame of nothing; the
    // banners and the winner text each start afresh from their step 2.
    FakeMinigame.intro = nullptr;
    FakeStep = 0;
    StartFake(kMinigameStepsB, 0);
    int startFrame = -1, playFrame = -1;
    for (int guard = 0; guard < 800 && FakeResults.empty(); ++guard) {
      ASSERT_TRUE(h.Frame());
      if (FakeStep == 4 && startFrame < 0) startFrame = h.frame();
      if (FakeStep == 5 && playFrame < 0) playFrame = h.frame();
    }
    EXPECT_EQ(FakeCalls, "LSPPPPOOU");
    EXPECT_EQ(playFrame - startFrame, 123) << "a later START banner: 1 + 100 + 21 + 1 frames";
  });
}

TEST(ParticipantInput, HeldButtonsAndNewPressesOnTheParticipantsOwnRecords) {
  RunGame({}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    h.HoldButton(2, kButtonB, 3);
    ASSERT_TRUE(h.Frame());
    EXPECT_TRUE(IsParticipantButtonHeld(2, kButtonB));
    EXPECT_FALSE(IsParticipantButtonHeld(2, kButtonA));
    EXPECT_FALSE(IsParticipantButtonHeld(3, kButtonB));
    EXPECT_FALSE(IsParticipantButtonHeld(0, kButtonB));
    EXPECT_TRUE(IsNewParticipantPress(2, kButtonB));
    ASSERT_TRUE(h.Frame());
    EXPECT_FALSE(IsNewParticipantPress(2, kButtonB)) << "still held";
    EXPECT_FALSE(IsNewButtonPressOnAnyRecord(kButtonB));
    ASSERT_TRUE(h.Frames(2));
    EXPECT_FALSE(IsNewButtonPressOnAnyRecord(kButtonB)) << "released: the latch clears";
    h.Tap(4, kButtonB);
    ASSERT_TRUE(h.Frame());
    EXPECT_TRUE(IsNewButtonPressOnAnyRecord(kButtonB)) << "a CPU seat's record counts";
    EXPECT_FALSE(IsNewParticipantPress(5, kButtonB));
  });
}

}  // namespace
