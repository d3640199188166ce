// The headless game harness: the real program (start-up, then the main loop
// one pass at a time) on the real library with SDL's dummy drivers, in a
// working folder of its own that holds the generated media.
//
//   TEST(Title, StartUpReachesTheTitleScene) {
//     RunGame({.seed = 7}, [](GameHarness& h) {
//       ASSERT_EQ(h.StartUp(), 0);
//       h.Frames(2);
//       EXPECT_EQ(SceneState, 1);
//       h.Tap(1, kButtonA);           // a new press of A on input record 1
//       h.RunUntil([] { return SceneState == 2; }, 200);
//       h.Report(h.Dump());          // handed back to the test process
//     });
//   }
//
// Each RunGame forks: the game runs in a child process whose globals are
// those of a program that has just started, and failures of the body come
// back to the test as failures at their own file and line. (Set
// ZR_GAME_IN_PROCESS=1 to run the body in the test process for a debugger;
// then only one game may run per process.)
//
// Between frames a test reads and writes the game's globals directly: that
// is how set-ups that no player input can reach (four CPU players, a forced
// minigame) are made, from test code. Input is scripted per frame: pad bits
// (through virtual joypads), keyboard keys by scan code, typed characters,
// and rules evaluated before every frame. Sleep advances a virtual clock, so
// frames take no real time beyond their work. Message boxes, WaitAnyInputPress
// and the program's exit reach the harness instead of blocking or ending.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "game/shell/input_mapping.h"

// The working folder's generated media (tools/mediagen's output in the build tree).
const std::string& GeneratedMediaDir();

struct GameOptions {
  // The library's random seed, set once start-up has made the window.
  uint32_t seed = 1;
  // Virtual joypads attached before start-up (pad n is device n).
  int pads = 4;
  // The media folder linked as "media" into the working folder; empty: none.
  std::string media = GeneratedMediaDir();
  // Media files (paths below the media folder with '/', Shift-JIS as the
  // tests' own string literals are) left out of the working folder's media.
  std::vector<std::string> hiddenMedia;
  // Files written into the working folder before start-up (Shift-JIS path,
  // bytes); a path below "media/" replaces or adds a media file for this run
  // only.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  // The stall watchdog: the most frames a running state machine may stay on
  // one step (0: off).
  int stallFrames = 3600;
  // Copy the library's log lines to standard error as they are written.
  bool logToStderr = false;
  // Draw with the software renderer (the library's setting made before
  // start-up), so pictures are the same on every machine and Pixel reads them.
  bool softwareRenderer = true;
  // Copy each presented picture into the (dummy) window as the program
  // does; off, frames skip that copy (Pixel reads the back screen either way).
  bool windowPictures = false;
};

// One frame's input.
struct FrameInput {
  uint32_t pads[16] = {};  // pad input bits of pads 1 to 16
  uint8_t keys[256] = {};  // nonzero: the key (by scan code) is held
  std::string typed;       // Shift-JIS characters typed in this frame
};

struct MessageBoxCall {
  std::string text, caption;  // Shift-JIS
  uint32_t type;
  int frame;
};

class GameHarness;

// What a game run handed back: the body's reports, and how the game process ended.
struct GameRunResult {
  std::vector<std::string> reports;
  bool completed = false;  // the body ran to its end
};

// Runs the body with a fresh game in a child process (see above).
GameRunResult RunGame(const GameOptions& options, const std::function<void(GameHarness&)>& body);

class GameHarness {
 public:
  explicit GameHarness(const GameOptions& options);
  ~GameHarness();
  GameHarness(const GameHarness&) = delete;
  GameHarness& operator=(const GameHarness&) = delete;

  // ---------------------------------------------------------------- running

  // The program's start-up up to its main loop. 0, or -1 when it failed
  // (also when the game exited; see exitCode).
  int StartUp();
  // The start-up without the media: the settings files read, the library
  // started, the mask screen and the game's fonts made as StartUp does, but
  // no picture or sound loaded (their handles stay 0 and draw or play
  // nothing; a font never made would write a log line for each text drawn).
  // For tests of the loop and the input that need no pictures: it takes a
  // tenth of StartUp's time.
  int StartUpWithoutMedia();
  // One pass of the main loop with this frame's input; false once the game
  // has ended (the loop ended, the game exited, or the watchdog found a stall).
  bool Frame();
  // Up to count frames; false when the game ended first.
  bool Frames(int count);
  // Frames until done() holds after a frame (true), or maxFrames have run or
  // the game ended (false, with a test failure that says which).
  bool RunUntil(const std::function<bool()>& done, int maxFrames);
  // Asks the main window to close, as the window manager's close button does.
  void CloseWindow();

  int frame() const { return frame_; }  // main-loop passes run so far
  bool ended() const { return ended_; }
  bool loopEnded() const { return loopEnded_; }  // the main loop ended by itself
  bool exited() const { return exited_; }        // the game called its exit
  int exitCode() const { return exitCode_; }

  // ---------------------------------------------------------------- input

  // The pad bits held on pad (1..16) from the next frame for `frames` frames.
  // A pad holds one direction per axis: left with right, or up with down,
  // cannot be held together (the keyboard can).
  void HoldPad(int pad, uint32_t bits, int frames = 1);
  // A keyboard key (scan code) held from the next frame.
  void HoldKey(int keyCode, int frames = 1);
  // Shift-JIS characters typed in the next frame.
  void Type(const std::string& sjis);
  // The button of input record 1..4 (through its device and mask in
  // KeyConfigTable, read now) held for one frame from the next frame: a new
  // press, when the frame before had it released.
  void Tap(int record, int button);
  void HoldButton(int record, int button, int frames);
  // A rule run before every frame, adding to that frame's input.
  void AddInputRule(std::function<void(FrameInput&)> rule);
  // While condition() holds, the button of the record is pressed on every
  // other frame (pressed, released, pressed...), so each press is new:
  // "press start on record 1 whenever the explanation screen waits".
  void PressWhile(std::function<bool()> condition, int record, int button);
  // A function run before every frame, after the input was made (pokes of
  // game globals that must happen at a given step).
  void AddFrameHook(std::function<void(GameHarness&)> hook);
  // The action, once, before the first frame at which condition() holds:
  //   h.When([] { return SetupStep == 8; }, [] { /* make every player a CPU */ });
  void When(std::function<bool()> condition, std::function<void()> action);

  // The pad and mask that press a button of a record, from KeyConfigTable
  // (device 1 is pad 1; pad 0 for a record without a device).
  struct PadButton {
    int pad;
    uint32_t mask;
  };
  static PadButton ButtonOf(int record, int button);

  // ---------------------------------------------------------------- what the game did

  const std::vector<MessageBoxCall>& messageBoxes() const { return messageBoxes_; }
  int waitAnyInputCalls() const { return waitAnyInputCalls_; }
  // What WaitAnyInputPress answers (the any-input value of a press).
  void SetWaitAnyInputAnswer(int value) { waitAnyInputAnswer_ = value; }
  // The library log so far (Shift-JIS lines, without time prefixes).
  std::vector<std::string> LogLines() const;
  // Whether a line of the game's log holds the text.
  bool LogHas(const std::string& text) const;
  // The working folder (files the game wrote are read from here).
  const std::string& workDir() const { return workDir_; }

  // ---------------------------------------------------------------- state

  // The scene, the frame, the count of random draws, every running state
  // machine's step, and every registered table and value, one per line.
  std::string Dump() const;
  // The stall found by the watchdog ("" while none).
  const std::string& stall() const { return stall_; }
  // A machine that may wait longer on one step than the limit (0: never stalls).
  void SetStallLimit(const std::string& machine, int frames);

  // ---------------------------------------------------------------- screen

  // The presented picture (the back screen after the last frame), 0xRRGGBB.
  uint32_t Pixel(int x, int y) const;
  uint64_t ScreenHash() const;
  // The picture as a 24-bit BMP file.
  bool SaveScreen(const std::string& path) const;

  // ---------------------------------------------------------------- back to the test

  // Text handed to the test process (RunGame's result) in order.
  void Report(const std::string& text);

 private:
  void LinkMedia();
  void ApplyInput(const FrameInput& in);
  void Watchdog();
  void EndGame();

  GameOptions options_;
  std::string workDir_, previousDir_;
  int frame_ = 0;
  bool started_ = false, ended_ = false, loopEnded_ = false, exited_ = false;
  int exitCode_ = 0;
  std::map<int, FrameInput> scheduled_;
  std::vector<std::function<void(FrameInput&)>> rules_;
  std::vector<std::function<void(GameHarness&)>> hooks_;
  FrameInput applied_;
  std::vector<void*> joysticks_;
  std::vector<MessageBoxCall> messageBoxes_;
  int waitAnyInputCalls_ = 0;
  int waitAnyInputAnswer_ = 0x1C;  // the Enter key
  struct WatchState {
    int64_t step = 0;
    int frames = 0;
    int since = 0;
  };
  std::map<std::string, WatchState> watch_;
  std::map<std::string, int> stallLimits_;
  std::string stall_;
  std::vector<std::string> inProcessReports_;

  friend GameRunResult RunGame(const GameOptions&, const std::function<void(GameHarness&)>&);
  friend int HarnessMessageBox(const char*, const char*, unsigned);
  friend void HarnessExit(unsigned);
  friend int HarnessWaitAnyInput();
};


// True when the generated media exist; tests that need them skip otherwise.
bool GeneratedMediaAvailable();
