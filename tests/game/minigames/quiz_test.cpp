// The quiz played through the runner on the generated media: five lines of
// "QTA.csv" never asked twice, the answer time taken in the answering frame,
// two letters in one frame, the judge after four answers or once the clock
// has run out, an answer at 0 that scores nothing, the CPU's silent first
// 120 frames, the winners (four scores of 0 all win), answer slots taken
// whatever their text, and hostile question files refused at load.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "game/minigames/quiz.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "library/core/random.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/minigame_test_support.h"

namespace {

#define START_GAME(h)                                                   \
  if (!GeneratedMediaAvailable()) GTEST_FAIL() << "no generated media (the media target)"; \
  ASSERT_EQ((h).StartUp(), 0)

constexpr int32_t kLetters[4] = {kButtonA, kButtonB, kButtonC, kButtonD};

void Hold(FrameInput& in, int record, int button) {
  GameHarness::PadButton b = GameHarness::ButtonOf(record, button);
  in.pads[b.pad - 1] |= b.mask;
}

// The letter of the right answer, or of a wrong one.
int RightLetter() { return kLetters[QuizRightSlot - 1]; }
int WrongLetter() { return kLetters[QuizRightSlot % 4]; }

// The question lines of a question file: fields by line (line 0 the header).
std::vector<std::vector<std::string>> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::vector<std::string>> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::stringstream s(line);
    std::string field;
    while (std::getline(s, field, ',')) fields.push_back(field);
    lines.push_back(fields);
  }
  return lines;
}

std::vector<int32_t> Scores() {
  std::vector<int32_t> scores;
  for (int p = 1; p <= 4; ++p) scores.push_back(QuizScore(p));
  return scores;
}

TEST(Quiz, HighestTotalsWinAndFourZerosAllWin) {
  struct Case {
    std::vector<int32_t> scores, awards;
  };
  const std::vector<Case> cases = {
      {{0, 0, 0, 0}, {10, 10, 10, 10}},  // nobody answered right: all four win
      {{1100, 900, 0, 0}, {10, 0, 0, 0}},
      {{500, 700, 700, 3}, {0, 10, 10, 0}},
      {{0, 0, 0, 1}, {0, 0, 0, 10}},
  };
  for (const Case& c : cases) {
    for (int p = 1; p <= 4; ++p) {
      QuizScore(p) = c.scores[p - 1];
      ParticipantTable[p].award = 0;
      ParticipantTable[p].won = 0;
    }
    QuizOutcomeStep = 0;
    EXPECT_EQ(QuizOutcome(), 0);
    EXPECT_EQ(QuizOutcome(), 0);
    EXPECT_EQ(QuizOutcome(), 1);
    std::vector<int32_t> awards;
    for (int p = 1; p <= 4; ++p) awards.push_back(ParticipantTable[p].award);
    EXPECT_EQ(awards, c.awards) << ::testing::PrintToString(c.scores);
  }
}

TEST(Quiz, FiveQuestionsAnsweredByHand) {
  RunGame({.seed = 17}, [](GameHarness& h) {
    START_GAME(h);
    // Question 1: player 2 A and C in one frame at 1195, player 1 right at
    // 1190, player 3 D at 1185, player 4 wrong at 1180 (the fourth answer).
    // Question 2: player 1 right at 1190; nobody else answers (the clock
    // is then cut to 30). Question 3 (clock cut to 10): player 3 right in the
    // frame that finds the clock at 0. Questions 4 and 5: everybody at 1190,
    // player 1 right, the others wrong.
    h.AddInputRule([](FrameInput& in) {
      if (QuizPlayStep != 3) return;
      int q = QuizQuestionNumber;
      if (q == 1) {
        if (QuizClock == 1190) Hold(in, 1, RightLetter());
        if (QuizClock == 1195) {
          Hold(in, 2, kButtonA);
          Hold(in, 2, kButtonC);
        }
        if (QuizClock == 1185) Hold(in, 3, kButtonD);
        if (QuizClock == 1180) Hold(in, 4, WrongLetter());
      }
      if (q == 2 && QuizClock == 1190) Hold(in, 1, RightLetter());
      if (q == 3 && QuizClock == 0) Hold(in, 3, RightLetter());
      if (q >= 4 && QuizClock == 1190) {
        Hold(in, 1, RightLetter());
        for (int p = 2; p <= 4; ++p) Hold(in, p, WrongLetter());
      }
    });
    h.AddFrameHook([](GameHarness&) {
      // The reveals after the first are cut short.
      if (QuizPlayStep == 6 && QuizQuestionNumber >= 2 && QuizRevealCounter < kQuizRevealFrames - 2)
        QuizRevealCounter = kQuizRevealFrames - 2;
      if (QuizPlayStep != 3) return;
      if (QuizQuestionNumber == 2 && QuizClock == 1189) QuizClock = 30;
      if (QuizQuestionNumber == 3 && QuizClock > 10) QuizClock = 10;
    });
    // What each judge should add, from the answers it finds.
    std::vector<int32_t> expected(5, 0);
    std::vector<std::vector<int32_t>> answers, times;
    std::vector<int> answeringFrames;
    std::vector<std::string> questions, rights;
    std::vector<int32_t> rightSlots;
    int answering = 0;
    h.AddFrameHook([&](GameHarness&) {
      if (QuizPlayStep == 3) ++answering;
      if (QuizPlayStep != 4) return;
      answeringFrames.push_back(answering);
      answering = 0;
      std::vector<int32_t> a, t;
      for (int p = 1; p <= 4; ++p) {
        a.push_back(QuizAnswer(p));
        t.push_back(QuizAnswerTime(p));
        if (QuizAnswer(p) == QuizRightSlot) expected[p] += QuizAnswerTime(p);
      }
      answers.push_back(a);
      times.push_back(t);
      questions.push_back(QuizQuestionText);
      rights.push_back(QuizAnswerSlots[QuizRightSlot]);
      rightSlots.push_back(QuizRightSlot);
    });
    EnterMinigame(h, 6, HumanSeats({1, 2, 3, 4}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return QuizPlayStep == 3; }, 400));
    EXPECT_EQ(QuizClock, kQuizAnswerFrames);
    EXPECT_EQ(QuizQuestionNumber, 1);
    ASSERT_TRUE(h.RunUntil([] { return QuizPlayStep == 7; }, 3000));
    ASSERT_TRUE(h.RunUntil(MinigameEnded, 500));
    ASSERT_EQ(answers.size(), 5u);

    // Question 1: the answer times are the clock of the answering frame; the
    // judge follows the fourth answer at once (21 answering frames: 1200
    // down to 1180).
    EXPECT_EQ(times[0], (std::vector<int32_t>{1190, 1195, 1185, 1180}));
    EXPECT_EQ(answers[0][1], 3) << "A and C in one frame answer C";
    EXPECT_EQ(answers[0][2], 4);
    EXPECT_EQ(answeringFrames[0], 21);
    // Question 2: the clock ran out (cut to 30 after 11 frames: 31 more, the
    // last one finding it at 0).
    EXPECT_EQ(answeringFrames[1], 11 + 31);
    EXPECT_EQ(answers[1], (std::vector<int32_t>{answers[1][0], 0, 0, 0}));
    // Question 3: an answer in the frame that finds the clock at 0 is taken
    // with time 0 and scores nothing.
    EXPECT_EQ(times[2], (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(answers[2], (std::vector<int32_t>{0, 0, rightSlots[2], 0}));
    EXPECT_EQ(answeringFrames[2], 11);
    for (int q : {0, 1, 3, 4}) EXPECT_EQ(answers[q][0], rightSlots[q]) << "question " << q + 1;
    EXPECT_EQ(Scores(), std::vector<int32_t>(expected.begin() + 1, expected.end()));
    EXPECT_EQ(QuizScore(1), 4 * 1190);
    EXPECT_EQ(QuizScore(3), rightSlots[0] == 4 ? 1185 : 0) << "right only if D was right";

    // Five different lines, each shown as the file has it, its right answer
    // in the right slot.
    std::set<int32_t> lines(QuizUsedLines + 1, QuizUsedLines + 6);
    EXPECT_EQ(lines.size(), 5u);
    EXPECT_GE(*lines.begin(), 1);
    EXPECT_LE(*lines.rbegin(), 19);
    auto file = ReadLines(h.workDir() + "/media/mini/quizvemla/QTA.csv");
    for (int q = 0; q < 5; ++q) {
      const std::vector<std::string>& fields = file.at(static_cast<size_t>(QuizUsedLines[q + 1]));
      ASSERT_EQ(fields.size(), 6u);
      EXPECT_EQ(questions[q], fields[5] + "@N");
      EXPECT_EQ(rights[q], fields[1]);
    }

    MinigameOutcome out = ReadMinigameOutcome();
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{10, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.won + 1, out.won + 5), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(QuizStep, 0);
    EXPECT_EQ(QuizJingleSound, -1) << "the sounds are freed";
  });
}

// Whether the box holds a white pixel (text; the answer rows under it are
// dark).
bool WhiteIn(const GameHarness& h, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (h.Pixel(x, y) == 0xFFFFFF) return true;
  return false;
}

// The answering frames draw with the next play state as the mode: the
// question and its answers while they are open, and plainly in the frame
// that closes them; the judge shows them again.
TEST(Quiz, TheFrameThatClosesTheAnswersIsDrawnPlainly) {
  RunGame({.seed = 5}, [](GameHarness& h) {
    START_GAME(h);
    EnterMinigame(h, 6, HumanSeats({1, 2, 3, 4}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return QuizPlayStep == 3 && QuizClock < 1190; }, 400));
    auto letterA = [&h] { return WhiteIn(h, 128, 214, 146, 238); };
    EXPECT_TRUE(letterA()) << "the answers are open";
    h.AddInputRule([](FrameInput& in) {
      if (QuizPlayStep != 3) return;
      for (int p = 1; p <= 4; ++p) Hold(in, p, kButtonB);
    });
    ASSERT_TRUE(h.RunUntil([] { return QuizPlayStep == 4; }, 5));
    EXPECT_FALSE(letterA()) << "the frame that took the fourth answer";
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(QuizPlayStep, 6);
    EXPECT_TRUE(letterA()) << "the judge";
  });
}

TEST(Quiz, FourCpuPlayersWaitTheirFirst120FramesAndTheGameEnds) {
  RunGame({.seed = 23}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // The reveals are cut short, and so is the clock once it is below 1000.
    h.AddFrameHook([](GameHarness&) {
      if (QuizPlayStep == 6 && QuizRevealCounter < kQuizRevealFrames - 2) QuizRevealCounter = kQuizRevealFrames - 2;
      if (QuizPlayStep == 3 && QuizClock == 999) QuizClock = 150;
    });
    int silentFrames = 0, drawsWhileSilent = 0;
    uint64_t draws = 0;
    bool silent = false;
    std::vector<int32_t> firstAnswerClocks;
    bool answeredThisQuestion = false;
    h.AddFrameHook([&](GameHarness&) {
      if (silent && RandomDrawCount != draws) ++drawsWhileSilent;
      silent = QuizPlayStep == 3 && QuizClock >= kQuizCpuWaitClock;
      if (silent) ++silentFrames;
      draws = RandomDrawCount;
      if (QuizPlayStep == 2) answeredThisQuestion = false;
      if (QuizPlayStep == 3 && !answeredThisQuestion) {
        for (int p = 1; p <= 4; ++p)
          if (QuizAnswerTime(p) != 0) {
            firstAnswerClocks.push_back(QuizAnswerTime(p));
            answeredThisQuestion = true;
            break;
          }
      }
    });
    // What a last game may leave over is set up again.
    QuizPlayStep = 6;
    QuizRevealCounter = 50;
    QuizQuestionNumber = 4;
    for (int q = 1; q <= 5; ++q) QuizUsedLines[q] = q;
    QuizOutcomeStep = 2;
    h.SetStallLimit("QuizMain", 8000);
    MinigameOutcome out = PlayMinigame(h, 6, MinigameSeats{}, 8000);
    ASSERT_TRUE(out.ended);
    EXPECT_TRUE(h.stall().empty()) << h.stall();
    EXPECT_EQ(silentFrames, 5 * 121) << "clock 1200 down to 1080 in each question";
    EXPECT_EQ(drawsWhileSilent, 0);
    ASSERT_EQ(firstAnswerClocks.size(), 5u);
    for (int32_t clock : firstAnswerClocks) EXPECT_LT(clock, kQuizCpuWaitClock);
    EXPECT_EQ(std::set<int32_t>(QuizUsedLines + 1, QuizUsedLines + 6).size(), 5u);
    const std::vector<int32_t> scores = Scores();
    int32_t best = *std::max_element(scores.begin(), scores.end());
    EXPECT_GT(best, 0);
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(out.award[p], QuizScore(p) == best ? 10 : 0) << "participant " << p;
  });
}

TEST(Quiz, HostileQuestionFilesAreRefusedAtLoad) {
  const std::string path = "media/mini/quizvemla/QTA.csv";
  RunGame({.files = {{path, {}}}}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    const std::string file = h.workDir() + "/" + path;
    ASSERT_FALSE(std::filesystem::is_symlink(file));
    auto write = [&file](const std::string& bytes) {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out << bytes;
    };
    std::string good = "id,a,b,c,d,q\n";
    for (int n = 1; n <= 19; ++n) good += std::to_string(n) + ",right,w1,w2,w3,question " + std::to_string(n) + "\n";
    struct Case {
      std::string bytes;
      std::string logged;  // in the log line
    };
    const std::vector<Case> cases = {
        {"", "1 行目"},
        {good.substr(0, good.size() / 2), "行目"},
        {"h\n1,a,b,c,d\n", "1 行目"},
        {"h\n1,a,b,c,d,q@N\n" + good.substr(good.find("2,")), "1 行目"},
        {"h\n1,a,b,c,d,\xB1\n" + good.substr(good.find("2,")), "1 行目"},
        {good.substr(0, good.find("7,")) + "7,a,b,c,d,q\r7\n" + good.substr(good.find("8,")), "7 行目"},
        {std::string(100000, '\n'), "1 行目"},
        {std::string(100000, ','), "1 行目"},
        {"", "を開けませんでした"},  // no file at all
    };
    for (size_t i = 0; i < cases.size(); ++i) {
      if (i + 1 == cases.size())
        std::filesystem::remove(file);
      else
        write(cases[i].bytes);
      size_t logLines = h.LogLines().size();
      EnterMinigame(h, 6, HumanSeats({1}));
      PressStartOnExplanation(h);
      ASSERT_TRUE(h.RunUntil(MinigameEnded, 400)) << "case " << i;
      MinigameOutcome out = ReadMinigameOutcome();
      EXPECT_EQ(out.result, 1);
      EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0})) << i;
      EXPECT_EQ(QuizStep, 1) << "the next start checks again";
      EXPECT_EQ(QuizJingleSound, 0) << "no sound loaded";
      std::vector<std::string> log = h.LogLines();
      bool named = false;
      for (size_t k = logLines; k < log.size(); ++k)
        named |= log[k].find("QTA.csv") != std::string::npos && log[k].find(cases[i].logged) != std::string::npos;
      EXPECT_TRUE(named) << "case " << i;
    }
    // A good file, with lines after its 19th that are never read, plays.
    write(good + std::string(5000, 'x'));
    EnterMinigame(h, 6, HumanSeats({1}));
    PressStartOnExplanation(h);
    ASSERT_TRUE(h.RunUntil([] { return QuizPlayStep == 3; }, 400));
    EXPECT_EQ(std::string(QuizAnswerSlots[QuizRightSlot]), "right");
  });
}

TEST(Quiz, AnswerSlotsAreTakenWhateverTheirTextAndAChangedFileIsReadSafely) {
  const std::string path = "media/mini/quizvemla/QTA.csv";
  std::string empty = "h\n";
  for (int n = 1; n <= 19; ++n) empty += std::to_string(n) + ",,,,w" + std::to_string(n) + ",q\n";
  RunGame({.seed = 4, .files = {{path, std::vector<uint8_t>(empty.begin(), empty.end())}}}, [&](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    // The right answer and two wrong ones are empty: four slots all the same.
    for (int i = 0; i < 30; ++i) {
      QuizQuestionNumber = 1;
      int32_t line = LoadQuizQuestion();
      ASSERT_GE(line, 1);
      ASSERT_LE(line, 19);
      std::vector<uint8_t> taken(QuizSlotTaken + 1, QuizSlotTaken + 5);
      EXPECT_EQ(taken, (std::vector<uint8_t>{1, 1, 1, 1}));
      EXPECT_EQ(std::string(QuizAnswerSlots[QuizRightSlot]), "") << "the right slot holds the right answer";
      int filled = 0;
      for (int s = 1; s <= 4; ++s) filled += QuizAnswerSlots[s][0] != '\0';
      EXPECT_EQ(filled, 1);
      EXPECT_EQ(std::string(QuizQuestionText), "q@N");
    }
    // A file cut short after the game checked it: the skip stops at its end.
    {
      std::ofstream out(h.workDir() + "/" + path, std::ios::binary | std::ios::trunc);
      out << "h\n1,a,b,c,d,q\n";
    }
    size_t logLines = h.LogLines().size();
    for (int i = 0; i < 10; ++i) {
      QuizQuestionNumber = 1;
      int32_t line = LoadQuizQuestion();
      EXPECT_EQ(std::string(QuizQuestionText), line == 1 ? "q@N" : "@N");
      std::vector<uint8_t> taken(QuizSlotTaken + 1, QuizSlotTaken + 5);
      EXPECT_EQ(taken, (std::vector<uint8_t>{1, 1, 1, 1}));
    }
    EXPECT_GT(h.LogLines().size(), logLines);

    // The row check agrees with the message window itself: what it accepts
    // is typed within the window's four rows, what it refuses is not.
    const std::string x52(52, 'x'), kana = "\x82\xA0";
    const std::vector<std::string> texts = {
        std::string(208, 'x'), std::string(209, 'x'), x52 + "@R" + x52 + "y", x52 + "@R" + x52 + "@Ry",
        std::string(51, 'x') + kana + std::string(156, 'y'), std::string(51, 'x') + kana + std::string(157, 'y'),
        "@R@R@Rx", "@R@R@R@Rx", "a@Rb@Rc@Rd", "a@Rb@Rc@Rd@Re",
    };
    int32_t id = 1000;
    for (const std::string& t : texts) {
      const std::string text = t + "@N";
      int result = 0;
      for (int call = 0; call < 5000 && result != -1; ++call)
        result = DrawMessageText(kQuizTextRight, id, kQuizTextLeft, kQuizTextTop, kQuizTextBottom, kQuizTextSize,
                                 text.c_str(), 0);
      ++id;
      ASSERT_EQ(result, -1) << t;
      bool beyond = false;
      for (int row = 4; row < kMessageLineCount; ++row) beyond |= MessageLines[row][0] != '\0';
      EXPECT_EQ(beyond, CheckQuizQuestionText(t.data(), t.size()) == kQuizTooManyRows) << t;
    }
  });
}

TEST(Quiz, AFailedSoundLoadEndsWithNobodyWinning) {
  RunGame({.hiddenMedia = {"mini/quizvemla/cursor33.wav"}}, [](GameHarness& h) {
    ASSERT_EQ(h.StartUpWithoutMedia(), 0);
    MinigameOutcome out = PlayMinigame(h, 6, HumanSeats({1}), 300);
    ASSERT_TRUE(out.ended);
    EXPECT_EQ(std::vector<int32_t>(out.award + 1, out.award + 5), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(QuizStep, 1);
    EXPECT_EQ(QuizJingleSound, -1);
    EXPECT_EQ(QuizRightSound, -1);
    EXPECT_TRUE(h.LogHas("cursor33.wav"));
  });
}

}  // namespace
