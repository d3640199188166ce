#include "tests/game/harness/game_harness.h"

#include <SDL.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"
#include "library/core/main_window.h"
#include "library/core/random.h"
#include "library/core/startup.h"
#include "library/core/system_report.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/graphics_system.h"
#include "platform/gdi/gdi.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32.h"
#include "tests/game/harness/game_registry.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

GameHarness* current = nullptr;

// Thrown by the exit hook: unwinds the game's frames back to the harness.
struct GameExitSignal {
  int code;
};

// Test literals are Shift-JIS; file names on disk are UTF-8.
std::string Utf8(const std::string& sjis) {
  std::string utf8;
  SjisToUtf8(sjis, utf8);
  return utf8;
}

int AxisOf(uint32_t bits, uint32_t negative, uint32_t positive) {
  if (bits & negative) return -32768;
  if (bits & positive) return 32767;
  return 0;
}

}  // namespace

int HarnessMessageBox(const char* text, const char* caption, unsigned type) {
  if (current == nullptr) return 1;
  current->messageBoxes_.push_back({text, caption, type, current->frame_});
  return 1;  // IDOK
}

void HarnessExit(unsigned code) {
  if (current == nullptr) return;
  throw GameExitSignal{static_cast<int>(code)};
}

int HarnessWaitAnyInput() {
  if (current == nullptr) return 0;
  ++current->waitAnyInputCalls_;
  return current->waitAnyInputAnswer_;
}

const std::string& GeneratedMediaDir() {
  static const std::string dir = [] {
    const char* env = getenv("ZR_MEDIA_DIR");
    return std::string(env != nullptr ? env : ZR_MEDIA_DIR);
  }();
  return dir;
}

bool GeneratedMediaAvailable() {
  std::error_code ec;
  return fs::is_directory(GeneratedMediaDir() + "/circle", ec);
}

GameHarness::GameHarness(const GameOptions& options) : options_(options) {
  if (current != nullptr) ADD_FAILURE() << "one game at a time";
  current = this;
  previousDir_ = fs::current_path().string();
  static int runs = 0;
  std::string base = TestScratchDir().empty() ? fs::temp_directory_path().string() : TestScratchDir();
  workDir_ = base + "/game" + std::to_string(getpid()) + "_" + std::to_string(++runs);
  fs::create_directories(workDir_);
  fs::current_path(workDir_);
  if (!options_.media.empty()) LinkMedia();
  for (const auto& [name, bytes] : options_.files) {
    fs::path path = fs::path(workDir_) / Utf8(name);
    std::error_code ec;
    fs::remove(path, ec);
    fs::create_directories(path.parent_path(), ec);
    WriteFileBytes(path.string(), bytes);
  }

  // The game counts its random draws from its own start, whatever tests of
  // the test process drew before the fork.
  RandomDrawCount = 0;

  PlatformSetDebugOutput(options_.logToStderr);
  PlatformSkipWindowBlits(!options_.windowPictures);
  PlatformUseVirtualClock(true, 1000000);
  PlatformSetMessageBoxHook(&HarnessMessageBox);
  PlatformSetExitHook(&HarnessExit);
  WaitAnyInputPressHook = &HarnessWaitAnyInput;

  // Virtual pads exist before input starts, so start-up finds them.
  if (options_.pads > 0 && SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0) {
    for (int i = 0; i < options_.pads && i < 16; ++i) {
      int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 24, 0);
      SDL_Joystick* pad = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
      if (pad == nullptr) {
        ADD_FAILURE() << "no virtual pad: " << SDL_GetError();
        break;
      }
      joysticks_.push_back(pad);
    }
  }
}

GameHarness::~GameHarness() {
  EndGame();
  for (void* pad : joysticks_) SDL_JoystickClose(static_cast<SDL_Joystick*>(pad));
  if (!joysticks_.empty() || options_.pads > 0) {
    while (SDL_NumJoysticks() > 0 && SDL_JoystickIsVirtual(0)) SDL_JoystickDetachVirtual(0);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }
  WaitAnyInputPressHook = nullptr;
  PlatformSetExitHook(nullptr);
  PlatformSetMessageBoxHook(nullptr);
  PlatformUseVirtualClock(false);
  PlatformSetDebugOutput(true);
  PlatformSkipWindowBlits(false);
  std::error_code ec;
  fs::current_path(previousDir_, ec);
  RemoveTree(workDir_);
  current = nullptr;
}

namespace {

// Builds target as source with the given relative paths left out: a folder
// that holds none of them is one link to the shared folder, the others are
// folders of their own whose entries are linked one by one.
void LinkTree(const fs::path& source, const fs::path& target, const std::vector<fs::path>& left,
              const fs::path& relative) {
  std::error_code ec;
  bool touched = false;
  for (const fs::path& l : left) {
    auto mismatch = std::mismatch(relative.begin(), relative.end(), l.begin(), l.end());
    touched |= mismatch.first == relative.end();
  }
  if (!touched) {
    fs::create_symlink(source / relative, target / relative, ec);
    return;
  }
  fs::create_directories(target / relative, ec);
  for (const fs::directory_entry& e : fs::directory_iterator(source / relative, ec)) {
    fs::path child = relative / e.path().filename();
    if (std::find(left.begin(), left.end(), child) != left.end()) continue;
    LinkTree(source, target, left, child);
  }
}

}  // namespace

void GameHarness::LinkMedia() {
  fs::path source = fs::absolute(options_.media);
  fs::path target = fs::path(workDir_) / "media";
  std::vector<fs::path> left;
  for (const std::string& h : options_.hiddenMedia) left.push_back(fs::path(Utf8(h)).lexically_normal());
  for (const auto& [name, bytes] : options_.files)
    if (name.rfind("media/", 0) == 0) left.push_back(fs::path(Utf8(name.substr(6))).lexically_normal());
  std::error_code ec;
  if (!fs::is_directory(source, ec)) {
    ADD_FAILURE() << "no media folder " << options_.media;
    return;
  }
  // Nothing left out: the shared folder itself, which no run writes into.
  if (left.empty()) {
    fs::create_directory_symlink(source, target, ec);
    if (ec) ADD_FAILURE() << "cannot link the media folder " << options_.media << ": " << ec.message();
    return;
  }
  fs::create_directories(target, ec);
  for (const fs::directory_entry& e : fs::directory_iterator(source, ec)) {
    fs::path child = e.path().filename();
    if (std::find(left.begin(), left.end(), child) == left.end()) LinkTree(source, target, left, child);
  }
}

void GameHarness::EndGame() {
  if (!started_) return;
  started_ = false;
  try {
    EndLibrary();
  } catch (const GameExitSignal&) {
  }
}

int GameHarness::StartUp() {
  if (started_ || ended_) {
    ADD_FAILURE() << "StartUp runs once";
    return -1;
  }
  started_ = true;
  if (options_.softwareRenderer) SetUseHardwareFlag(0);
  int result;
  try {
    result = StartGame();
  } catch (const GameExitSignal& e) {
    exited_ = true;
    exitCode_ = e.code;
    ended_ = true;
    return -1;
  }
  if (result != 0) {
    ended_ = true;
    return result;
  }
  SeedRandom(options_.seed);
  return 0;
}

int GameHarness::StartUpWithoutMedia() {
  if (started_ || ended_) {
    ADD_FAILURE() << "StartUp runs once";
    return -1;
  }
  started_ = true;
  if (options_.softwareRenderer) SetUseHardwareFlag(0);
  SetMainWindowTitle("ZR game harness");
  SetArchiveExtension("dat");
  ReadOptionFile();
  ChangeWindowMode(static_cast<int32_t>(WindowModeFlag));
  if (InitLibrary() != 0 || SelectDrawTarget(-2) != 0) {
    ended_ = true;
    return -1;
  }
  ReadKeyConfigFile();
  MakeMaskScreen();
  EnableMaskScreen(0);
  CreateGameFonts();
  SeedRandom(options_.seed);
  return 0;
}

bool GameHarness::Frame() {
  if (ended_) return false;
  if (!started_) {
    ADD_FAILURE() << "Frame before StartUp";
    ended_ = true;
    return false;
  }
  FrameInput in;
  auto it = scheduled_.find(frame_);
  if (it != scheduled_.end()) {
    in = it->second;
    scheduled_.erase(it);
  }
  for (auto& rule : rules_) rule(in);
  ApplyInput(in);
  for (auto& hook : hooks_) hook(*this);
  int result;
  try {
    result = RunMainLoopFrame();
  } catch (const GameExitSignal& e) {
    ++frame_;
    exited_ = true;
    exitCode_ = e.code;
    ended_ = true;
    return false;
  }
  ++frame_;
  if (result != 0) {
    loopEnded_ = true;
    ended_ = true;
  }
  Watchdog();
  return !ended_;
}

bool GameHarness::Frames(int count) {
  for (int i = 0; i < count; ++i)
    if (!Frame()) return false;
  return true;
}

bool GameHarness::RunUntil(const std::function<bool()>& done, int maxFrames) {
  for (int i = 0; i < maxFrames; ++i) {
    if (!Frame()) {
      if (done()) return true;
      ADD_FAILURE() << "the game ended at frame " << frame_ << " before the condition held"
                    << (stall_.empty() ? "" : ": " + stall_) << (exited_ ? " (exit " + std::to_string(exitCode_) + ")" : "");
      return false;
    }
    if (done()) return true;
  }
  ADD_FAILURE() << "the condition did not hold within " << maxFrames << " frames (frame " << frame_ << ")\n"
                << Dump();
  return false;
}

void GameHarness::CloseWindow() {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = PlatformSdlWindowId(MainHwnd);
  SDL_PushEvent(&e);
}

// ---------------------------------------------------------------- input

void GameHarness::HoldPad(int pad, uint32_t bits, int frames) {
  if (pad < 1 || pad > 16) {
    ADD_FAILURE() << "no pad " << pad;
    return;
  }
  for (int f = 0; f < frames; ++f) scheduled_[frame_ + f].pads[pad - 1] |= bits;
}

void GameHarness::HoldKey(int keyCode, int frames) {
  if (keyCode < 0 || keyCode > 255) {
    ADD_FAILURE() << "no key " << keyCode;
    return;
  }
  for (int f = 0; f < frames; ++f) scheduled_[frame_ + f].keys[keyCode] = 1;
}

void GameHarness::Type(const std::string& sjis) { scheduled_[frame_].typed += sjis; }

GameHarness::PadButton GameHarness::ButtonOf(int record, int button) {
  uint32_t* mask = ButtonWord(KeyConfigTable, record, button);
  if (mask == nullptr) {
    ADD_FAILURE() << "no button " << button << " on record " << record;
    return {0, 0};
  }
  uint32_t device = KeyConfigTable[record].device;
  if (device < 1 || device > 16) return {0, 0};
  return {static_cast<int>(device), *mask};
}

void GameHarness::HoldButton(int record, int button, int frames) {
  PadButton b = ButtonOf(record, button);
  if (b.pad == 0) {
    ADD_FAILURE() << "record " << record << " has no device";
    return;
  }
  HoldPad(b.pad, b.mask, frames);
}

void GameHarness::Tap(int record, int button) { HoldButton(record, button, 1); }

void GameHarness::AddInputRule(std::function<void(FrameInput&)> rule) { rules_.push_back(std::move(rule)); }

void GameHarness::PressWhile(std::function<bool()> condition, int record, int button) {
  auto pressedLast = std::make_shared<bool>(false);
  rules_.push_back([condition = std::move(condition), record, button, pressedLast](FrameInput& in) {
    bool press = !*pressedLast && condition();
    *pressedLast = press;
    if (!press) return;
    PadButton b = ButtonOf(record, button);
    if (b.pad != 0) in.pads[b.pad - 1] |= b.mask;
  });
}

void GameHarness::AddFrameHook(std::function<void(GameHarness&)> hook) { hooks_.push_back(std::move(hook)); }

void GameHarness::When(std::function<bool()> condition, std::function<void()> action) {
  auto done = std::make_shared<bool>(false);
  hooks_.push_back([condition = std::move(condition), action = std::move(action), done](GameHarness&) {
    if (*done || !condition()) return;
    *done = true;
    action();
  });
}

void GameHarness::ApplyInput(const FrameInput& in) {
  for (int p = 0; p < 16; ++p) {
    uint32_t bits = in.pads[p];
    if (bits == applied_.pads[p]) continue;
    if (p >= static_cast<int>(joysticks_.size())) {
      ADD_FAILURE() << "pad " << p + 1 << " is not attached (GameOptions::pads)";
      continue;
    }
    if ((bits & 0x6) == 0x6 || (bits & 0x9) == 0x9) ADD_FAILURE() << "a pad holds one direction per axis";
    auto* pad = static_cast<SDL_Joystick*>(joysticks_[p]);
    SDL_JoystickSetVirtualAxis(pad, 0, static_cast<Sint16>(AxisOf(bits, 0x2, 0x4)));
    SDL_JoystickSetVirtualAxis(pad, 1, static_cast<Sint16>(AxisOf(bits, 0x8, 0x1)));
    for (int b = 0; b < 24; ++b) SDL_JoystickSetVirtualButton(pad, b, (bits >> (4 + b)) & 1 ? 1 : 0);
  }
  uint32_t window = PlatformSdlWindowId(MainHwnd);
  for (int code = 0; code < 256; ++code) {
    bool down = in.keys[code] != 0;
    if (down == (applied_.keys[code] != 0)) continue;
    int scancode = PlatformScancodeOfKeyCode(code);
    if (scancode == 0) {
      ADD_FAILURE() << "no key has scan code " << code;
      continue;
    }
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = window;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = static_cast<SDL_Scancode>(scancode);
    SDL_PushEvent(&e);
  }
  if (!in.typed.empty()) {
    std::string utf8;
    if (!SjisToUtf8(in.typed, utf8)) ADD_FAILURE() << "typed text is not Shift-JIS";
    // One event holds up to 31 bytes; characters are never split.
    size_t at = 0;
    while (at < utf8.size()) {
      size_t n = 0;
      while (at + n < utf8.size()) {
        size_t len = 1;
        unsigned char lead = static_cast<unsigned char>(utf8[at + n]);
        if (lead >= 0xF0)
          len = 4;
        else if (lead >= 0xE0)
          len = 3;
        else if (lead >= 0xC0)
          len = 2;
        if (n + len > 31) break;
        n += len;
      }
      SDL_Event e{};
      e.type = SDL_TEXTINPUT;
      e.text.windowID = window;
      memcpy(e.text.text, utf8.data() + at, n);
      e.text.text[n] = '\0';
      SDL_PushEvent(&e);
      at += n;
    }
  }
  applied_ = in;
  applied_.typed.clear();
}

// ---------------------------------------------------------------- state

std::vector<std::string> GameHarness::LogLines() const { return ReadLogLines(workDir_ + "/Log.txt"); }

bool GameHarness::LogHas(const std::string& text) const {
  for (const std::string& line : LogLines())
    if (line.find(text) != std::string::npos) return true;
  return false;
}

std::string GameHarness::Dump() const {
  std::string out = "scene " + std::to_string(SceneState) + "\n";
  out += "frame " + std::to_string(frame_) + "\n";
  out += "random draws " + std::to_string(RandomDrawCount) + "\n";
  const GameRegistry& registry = GetGameRegistry();
  for (const GameMachineEntry& m : registry.machines) {
    int64_t step = m.read();
    if (step != m.idle) out += "machine " + m.machine + "." + m.variable + " " + std::to_string(step) + "\n";
  }
  for (const GameDumpEntry& e : registry.entries) out += e.name + " " + e.text() + "\n";
  return out;
}

void GameHarness::SetStallLimit(const std::string& machine, int frames) { stallLimits_[machine] = frames; }

void GameHarness::Watchdog() {
  for (const GameMachineEntry& m : GetGameRegistry().machines) {
    std::string key = m.machine + "." + m.variable;
    int64_t step = m.read();
    if (step == m.idle) {
      watch_.erase(key);
      continue;
    }
    auto [it, fresh] = watch_.try_emplace(key);
    WatchState& w = it->second;
    if (fresh || w.step != step) {
      w = WatchState{step, 1, frame_};
    } else {
      ++w.frames;
    }
    auto limit = stallLimits_.find(m.machine);
    int allowed = limit != stallLimits_.end() ? limit->second : options_.stallFrames;
    if (allowed > 0 && w.frames > allowed && stall_.empty()) {
      stall_ = m.machine + " (" + m.variable + ") stayed on step " + std::to_string(step) + " for " +
               std::to_string(w.frames) + " frames, since frame " + std::to_string(w.since);
      ADD_FAILURE() << "stall: " << stall_ << "\n" << Dump();
      ended_ = true;
    }
  }
}

// ---------------------------------------------------------------- screen

uint32_t GameHarness::Pixel(int x, int y) const {
  if (HardwareActive) {
    ADD_FAILURE() << "the screen is drawn by Direct3D: Pixel reads the software renderer's screen only";
    return 0;
  }
  const MEMIMG& screen = ScreenMemImg;
  if (screen.buffer == nullptr || x < 0 || y < 0 || x >= screen.width || y >= screen.height) return 0;
  const uint8_t* row = screen.pixels + static_cast<int64_t>(y) * screen.buffer->pitch;
  if (screen.buffer->depthKind == MemImgDepth16) {
    uint16_t v;
    memcpy(&v, row + x * 2, 2);
    uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
  }
  uint32_t v;
  memcpy(&v, row + x * 4, 4);
  return v & 0xFFFFFF;
}

uint64_t GameHarness::ScreenHash() const {
  uint64_t hash = 1469598103934665603ull;
  for (int y = 0; y < ScreenMemImg.height; ++y)
    for (int x = 0; x < ScreenMemImg.width; ++x) {
      hash ^= Pixel(x, y);
      hash *= 1099511628211ull;
    }
  return hash;
}

bool GameHarness::SaveScreen(const std::string& path) const {
  int w = ScreenMemImg.width, h = ScreenMemImg.height;
  if (ScreenMemImg.buffer == nullptr || w <= 0 || h <= 0) return false;
  int rowBytes = (w * 3 + 3) & ~3;
  std::vector<uint8_t> bmp(54 + static_cast<size_t>(rowBytes) * h, 0);
  auto put32 = [&](size_t at, uint32_t v) { memcpy(&bmp[at], &v, 4); };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  bmp[26] = 1;
  bmp[28] = 24;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = &bmp[54 + static_cast<size_t>(h - 1 - y) * rowBytes];
    for (int x = 0; x < w; ++x) {
      uint32_t c = Pixel(x, y);
      row[x * 3] = c & 0xFF;
      row[x * 3 + 1] = (c >> 8) & 0xFF;
      row[x * 3 + 2] = (c >> 16) & 0xFF;
    }
  }
  WriteFileBytes(path, bmp);
  return true;
}

// ---------------------------------------------------------------- the game process

namespace {

// Records from the game process to the test process: a kind byte, then
// length-prefixed fields.
enum RecordKind : char { kFailure = 'F', kSkip = 'S', kReport = 'R', kDone = 'D' };

int reportFd = -1;

void WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n <= 0) return;
    p += n;
    size -= static_cast<size_t>(n);
  }
}

void SendField(const std::string& text) {
  uint32_t n = static_cast<uint32_t>(text.size());
  WriteAll(reportFd, &n, 4);
  WriteAll(reportFd, text.data(), text.size());
}

void SendRecord(RecordKind kind, const std::string& a, const std::string& b = "", int32_t line = 0) {
  if (reportFd < 0) return;
  WriteAll(reportFd, &kind, 1);
  SendField(a);
  SendField(b);
  WriteAll(reportFd, &line, 4);
}

class ForwardResults : public testing::EmptyTestEventListener {
  void OnTestPartResult(const testing::TestPartResult& result) override {
    if (result.failed())
      SendRecord(kFailure, result.file_name() != nullptr ? result.file_name() : "", result.message(),
                 result.line_number());
    else if (result.skipped())
      SendRecord(kSkip, result.message());
  }
};

bool ReadExact(FILE* in, void* out, size_t size) { return fread(out, 1, size, in) == size; }

bool ReadField(FILE* in, std::string& out) {
  uint32_t n;
  if (!ReadExact(in, &n, 4)) return false;
  out.resize(n);
  return n == 0 || ReadExact(in, out.data(), n);
}

void SkipInParent(const std::string& message) { GTEST_SKIP() << message; }

}  // namespace

void GameHarness::Report(const std::string& text) {
  if (reportFd >= 0)
    SendRecord(kReport, text);
  else
    inProcessReports_.push_back(text);
}

GameRunResult RunGame(const GameOptions& options, const std::function<void(GameHarness&)>& body) {
  GameRunResult result;
  if (getenv("ZR_GAME_IN_PROCESS") != nullptr) {
    {
      GameHarness harness(options);
      body(harness);
      result.reports = harness.inProcessReports_;
    }
    result.completed = true;
    return result;
  }
  int fds[2];
  if (pipe(fds) != 0) {
    ADD_FAILURE() << "pipe failed";
    return result;
  }
  fflush(stdout);
  fflush(stderr);
  pid_t child = fork();
  if (child < 0) {
    ADD_FAILURE() << "fork failed";
    return result;
  }
  if (child == 0) {
    close(fds[0]);
    reportFd = fds[1];
    testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
    delete listeners.Release(listeners.default_result_printer());
    listeners.Append(new ForwardResults);
    try {
      GameHarness harness(options);
      body(harness);
    } catch (const std::exception& e) {
      SendRecord(kFailure, __FILE__, std::string("exception from the game body: ") + e.what(), __LINE__);
    } catch (const GameExitSignal& e) {
      SendRecord(kFailure, __FILE__,
                 "the game exited (code " + std::to_string(e.code) + ") outside StartUp and Frame", __LINE__);
    } catch (...) {
      SendRecord(kFailure, __FILE__, "an exception from the game body", __LINE__);
    }
#if defined(__SANITIZE_ADDRESS__)
    // The process ends with _exit, which skips the leak check at exit.
    if (__lsan_do_recoverable_leak_check() != 0)
      SendRecord(kFailure, __FILE__, "the game process leaked memory (the report is above)", __LINE__);
#endif
    SendRecord(kDone, "");
    close(reportFd);
    fflush(stdout);
    fflush(stderr);
    _exit(0);
  }
  close(fds[1]);
  FILE* in = fdopen(fds[0], "rb");
  std::string skip;
  char kind;
  while (ReadExact(in, &kind, 1)) {
    std::string a, b;
    int32_t line = 0;
    if (!ReadField(in, a) || !ReadField(in, b) || !ReadExact(in, &line, 4)) break;
    switch (kind) {
      case kFailure:
        ADD_FAILURE_AT(a.c_str(), line) << b;
        break;
      case kSkip:
        skip = a;
        break;
      case kReport:
        result.reports.push_back(a);
        break;
      case kDone:
        result.completed = true;
        break;
      default:
        break;
    }
  }
  fclose(in);
  int status = 0;
  waitpid(child, &status, 0);
  if (!result.completed)
    ADD_FAILURE() << "the game process ended before the body finished ("
                  << (WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                          : "exit status " + std::to_string(WEXITSTATUS(status)))
                  << ")";
  if (!skip.empty()) SkipInParent(skip);
  return result;
}
