// The START and FINISH banners and the winner text, each run as a scene of
// its own through the real loop on the generated media: their timing, the
// letters' flight, the sounds, and where the winner text stands for each
// number of winners.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "game/minigames/minigame_screens.h"
#include "game/minigames/participants.h"
#include "game/shell/game_helpers.h"
#include "game/shell/game_main.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "tests/game/harness/game_harness.h"

namespace {

#define START_GAME(h)                                                   \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"; \
  ASSERT_EQ((h).StartUp(), 0)

int (*ScreenUnderTest)() = nullptr;
int ScreenResult = 0;

int ScreenScene() {
  SetDrawBrightness(255, 255, 255);
  ScreenResult = ScreenUnderTest();
  return 0;
}

void ShowScene(GameHarness& h, int (*screen)()) {
  ScreenUnderTest = screen;
  ScreenResult = 0;
  SceneHandlers[3] = ScreenScene;
  SceneState = 3;
  (void)h;
}

// Frames until the screen returns 1; the number of calls.
int CallsToEnd(GameHarness& h) {
  int calls = 0;
  do {
    if (!h.Frame()) return -1;
    ++calls;
  } while (ScreenResult == 0 && calls < 1000);
  return calls;
}

TEST(StartBanner, LettersFlyInOneAfterAnotherThenTheWordStands) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    ASSERT_TRUE(h.Frame());
    ShowScene(h, ShowStartBanner);
    ASSERT_TRUE(h.RunUntil([] { return StartBannerStep == 4; }, 5));
    EXPECT_EQ(h.frame(), 4) << "steps 0, 1 and 2 take a frame each";
    // The call of step 4 in which each letter first moves.
    int firstMove[5] = {-1, -1, -1, -1, -1};
    int letterCalls = 0;
    float lastY[5];
    for (int i = 0; i < 5; ++i) lastY[i] = StartLetterSprites[i].y;
    while (StartBannerStep == 4 && letterCalls < 200) {
      ASSERT_TRUE(h.Frame());
      for (int i = 0; i < 5; ++i) {
        if (firstMove[i] < 0 && StartLetterSprites[i].y != lastY[i]) firstMove[i] = letterCalls;
        lastY[i] = StartLetterSprites[i].y;
      }
      ++letterCalls;
    }
    EXPECT_EQ(std::vector<int>(firstMove, firstMove + 5), (std::vector<int>{1, 16, 31, 46, 61}));
    EXPECT_EQ(letterCalls, 100) << "the fifth letter arrives 39 frames after it set off";
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(StartLetterSprites[i].y, 200.0f);
      EXPECT_EQ(StartLetterSprites[i].x, 120.0f + 80.0f * i);
      EXPECT_EQ(StartLetterSprites[i].opacity, 255);
    }
    EXPECT_EQ(CheckSoundHandle(SoundEffectHandles[10]), 1) << "the bell marks the word's completion";
    EXPECT_EQ(CallsToEnd(h), 22) << "the word stands 21 frames, one more returns 1";
    EXPECT_EQ(StartBannerStep, 2);
    // A later use starts at step 2.
    ScreenResult = 0;
    EXPECT_EQ(CallsToEnd(h), 123);
  });
}

TEST(FinishBanner, GrowsInThreeFramesThenStands) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    ASSERT_TRUE(h.Frame());
    ShowScene(h, ShowFinishBanner);
    ASSERT_TRUE(h.Frames(3));
    EXPECT_EQ(FinishBannerStep, 4);
    EXPECT_EQ(FinishWordSprite.scale, 0.4f);
    EXPECT_EQ(CheckSoundHandle(SoundEffectHandles[9]), 1);
    std::vector<float> scales;
    while (FinishBannerStep == 4) {
      ASSERT_TRUE(h.Frame());
      scales.push_back(FinishWordSprite.scale);
    }
    ASSERT_EQ(scales.size(), 4u);
    EXPECT_NEAR(scales[0], 0.6f, 1e-6);
    EXPECT_NEAR(scales[1], 0.8f, 1e-6);
    EXPECT_NEAR(scales[2], 1.0f, 1e-6);
    EXPECT_NEAR(scales[3], 1.0f, 1e-6);
    EXPECT_EQ(CallsToEnd(h), 22);
    ScreenResult = 0;
    EXPECT_EQ(CallsToEnd(h), 27) << "a later use: 1 + 4 + 21 + 1";
  });
}

struct Box {
  int left = 9999, top = 9999, right = -1, bottom = -1;
  bool empty() const { return right < 0; }
  int centreX() const { return (left + right) / 2; }
};

// The near-white pixels inside the rectangle.
Box WhiteBox(const GameHarness& h, int x1, int y1, int x2, int y2) {
  Box b;
  for (int y = y1; y < y2; ++y)
    for (int x = x1; x < x2; ++x) {
      uint32_t p = h.Pixel(x, y);
      if ((p >> 16 & 0xFF) < 200 || (p >> 8 & 0xFF) < 200 || (p & 0xFF) < 200) continue;
      b.left = std::min(b.left, x);
      b.right = std::max(b.right, x);
      b.top = std::min(b.top, y);
      b.bottom = std::max(b.bottom, y);
    }
  return b;
}

TEST(WinnerText, TimingAndLayoutForNoneToFourWinners) {
  RunGame({}, [](GameHarness& h) {
    START_GAME(h);
    ASSERT_TRUE(h.Frame());
    struct Case {
      std::vector<int> winners;
      const char* what;
    };
    const Case cases[] = {{{}, "Draw"}, {{3}, "Player3 Won"}, {{2, 4}, "two names"}, {{1, 2, 4}, "three names"},
                          {{1, 2, 3, 4}, "four names"}};
    bool first = true;
    for (const Case& c : cases) {
      for (int p = 1; p <= 4; ++p) ParticipantTable[p].won = 0;
      for (int p : c.winners) ParticipantTable[p].won = 1;
      ShowScene(h, ShowMinigameWinners);
      // Steps 0 and 1 run the first time only; then step 2 and 21 frames without text.
      int silent = first ? 24 : 22;
      first = false;
      for (int i = 0; i < silent; ++i) {
        ASSERT_TRUE(h.Frame());
        ASSERT_TRUE(WhiteBox(h, 0, 100, 640, 290).empty()) << c.what << ", frame " << i;
      }
      int text = 0;
      while (ScreenResult == 0 && text < 200) {
        ASSERT_TRUE(h.Frame());
        if (ScreenResult != 0) break;
        ASSERT_FALSE(WhiteBox(h, 0, 100, 640, 290).empty()) << c.what;
        ++text;
      }
      EXPECT_EQ(text, 102) << c.what;
      // The last frame with text, drawn again for a look at its layout.
      WinnerTextStep = 4;
      WinnerTextFrame = 0;
      ASSERT_TRUE(h.Frame());
      Box top = WhiteBox(h, 0, 110, 640, 150), third = WhiteBox(h, 0, 155, 640, 195);
      Box left = WhiteBox(h, 0, 198, 330, 238), right = WhiteBox(h, 330, 198, 640, 238);
      Box low = WhiteBox(h, 0, 238, 640, 280);
      size_t n = c.winners.size();
      if (n == 0) {
        EXPECT_TRUE(left.empty() && right.empty() && third.empty());
        EXPECT_NEAR(low.centreX(), 320, 3) << "Draw";
      } else if (n == 1) {
        EXPECT_TRUE(low.empty() && third.empty());
        EXPECT_NEAR((left.left + right.right) / 2, 320, 3) << "Player3 Won centred at y 200";
      } else {
        // The first two names from x 144 and 340 (the glyphs' own margin added).
        EXPECT_EQ(right.left - left.left, 196) << c.what;
        EXPECT_GE(left.left, 144);
        EXPECT_LE(left.left, 150);
        EXPECT_NEAR(low.centreX(), 320, 3) << "Won";
        EXPECT_EQ(!third.empty(), n >= 3) << c.what;
        if (n >= 3) {
          EXPECT_NEAR(third.centreX(), 320, 3);
        }
        EXPECT_EQ(!top.empty(), n == 4) << "the fourth name above the third";
        if (n == 4) {
          EXPECT_NEAR(top.centreX(), 320, 3);
        }
      }
      ASSERT_TRUE(h.RunUntil([] { return ScreenResult != 0; }, 200));
      EXPECT_EQ(WinnerTextStep, 2);
    }
  });
}

}  // namespace
