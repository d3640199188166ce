// The program on a desktop, measured from outside: the real `party` started
// by exec in a fresh working folder beside the generated media, on an X
// display (a private Xvfb unless DISPLAY names one, and a private session
// message bus unless DBUS_SESSION_BUS_ADDRESS names one), once on each drawing
// path, and played with the keyboard as a player would (Z to decide, the
// cursor keys for the map, the confirmation and the way at a fork, space on
// a minigame's explanation). For each path the table gives:
//
// - start to title: from the exec to the end of the present of the title
//   scene's first frame;
// - resident memory (VmRSS) on the title, after two seconds there, and after
//   the party's first round (once the coin tally of round 1 has ended);
// - CPU while idle on the title: the process's user and system time over
//   three seconds, in per cent of one core;
// - each map's board: the frames a second presented while the turn machine
//   runs, and the frame times (the main thread's drawing and presenting of a
//   frame, its sleeps left out): median, 95th percentile and the longest;
//   and the vertical blanks the frames missed (a frame that came n blanks
//   after the one before missed n - 1), in a stall of the machine (see
//   StallMeter) and not.
//
// Each (path, map) pair is one process: start, title, set-up of a 10-turn
// party on that map, board frames of the first round; map 1's process plays
// on to the end of the first round for the memory after it. The start, title
// memory and idle rows take the median of every process of the path. One
// uncounted start on each path comes first (a warm file cache). Each start
// waits until the display has had a quarter of a second without the last
// process: an X server accepts a new connection only some 30 ms after
// another client has gone, and that wait is the server's, not the program's.
// With --title-only each process ends at the title's first frame: the start
// row alone, over more starts. With --mode-changes=N each process goes from
// the title through the main menu into the options and leaves them with the
// other window mode, N times (full screen first), and the table gives the
// resident memory on the title two seconds after each change.
//
// What the program does is seen through the probe (bench/desktop_probe),
// which the program loads with LD_PRELOAD: a line for each presented frame,
// with its times and the game's scene variables, read at their addresses from
// the program's symbol table. The path is chosen through the Direct3D 9
// stand-in's setting ZR_D3D9_RASTERIZER: "opengl" runs with "hardware" (the
// OpenGL path, whatever the renderer), "software" with "software" (the
// software path, no OpenGL asked), "default" without the setting (what a
// user gets: the path by the display's renderer). Each column's head names
// the path its runs took, as the log tells it; the log's "Description:"
// names the OpenGL renderer.
//
//   taskset -c 2,3 ./build/release/bench/desktop_bench [--runs=3] [--maps=1,2,3,4]
//       [--paths=opengl,software,default] [--board-frames=600] [--no-round] [--title-only]
//       [--mode-changes=N] [--keep]
//       [--program=another build's party, for a comparison]
//
// The machine, the cores given (llvmpipe starts one thread for each) and
// LP_NUM_THREADS, when set, are printed with the table.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include "tests/support/xvfb.h"
#include <elf.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- clock, files

int64_t Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void SleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// ---------------------------------------------------------------- the program's variables

// The game variables the probe reads at every present, in this order.
const char* const kWatched[] = {"SceneState",      "PartySceneState", "TurnsLeft",      "TotalTurns",
                                "MapChoiceStep",   "MapCursor",       "ConfirmStep",    "ConfirmCursor",
                                "ExplanationStep", "FadeInDone",      "ForkState",      "ForkChoice",
                                "MainMenuStep",    "MainMenuCursor",  "OptionsStep",    "WindowModeChoice"};
enum Watch { kScene, kPartyState, kTurnsLeft, kTotalTurns, kMapStep, kMapCursor, kConfirmStep, kConfirmCursor,
             kExplanationStep, kFadeInDone, kForkState, kForkChoice, kMenuStep, kMenuCursor, kOptionsStep,
             kWindowModeChoice, kWatchCount };

constexpr int kTitleScene = 1, kMainMenuScene = 2, kSetupScene = 4, kOptionsScene = 7, kPartyScene = 8;
// The main menu waiting for a choice, its entry of the options; the options'
// rows (BGM, SE, window mode, back) and the steps after the back row's decide.
constexpr int kMenuWaiting = 4, kMenuOptions = 2;
constexpr int kRowMusic = 3, kRowEffects = 4, kRowWindow = 5, kRowBack = 8, kOptionsLeaving = 9;
constexpr int kTurnMachineState = 5;

// The symbol values of the names in the ELF file's symbol table; "" when one is missing.
std::string WatchOffsets(const std::string& program, std::string* missing) {
  const std::string elf = ReadFile(program);
  if (elf.size() < sizeof(Elf64_Ehdr) || std::memcmp(elf.data(), ELFMAG, SELFMAG) != 0) {
    *missing = "an ELF file";
    return "";
  }
  Elf64_Ehdr header;
  std::memcpy(&header, elf.data(), sizeof header);
  std::map<std::string, uint64_t> found;
  for (int i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr section, strings;
    const size_t at = header.e_shoff + static_cast<size_t>(i) * header.e_shentsize;
    if (at + sizeof section > elf.size()) break;
    std::memcpy(&section, elf.data() + at, sizeof section);
    if (section.sh_type != SHT_SYMTAB) continue;
    const size_t linkAt = header.e_shoff + static_cast<size_t>(section.sh_link) * header.e_shentsize;
    if (linkAt + sizeof strings > elf.size()) break;
    std::memcpy(&strings, elf.data() + linkAt, sizeof strings);
    const size_t end = std::min<size_t>(section.sh_offset + section.sh_size, elf.size());
    for (size_t s = section.sh_offset; s + sizeof(Elf64_Sym) <= end; s += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, elf.data() + s, sizeof symbol);
      if (ELF64_ST_TYPE(symbol.st_info) != STT_OBJECT || symbol.st_name == 0) continue;
      if (strings.sh_offset + symbol.st_name >= elf.size()) continue;
      const char* name = elf.data() + strings.sh_offset + symbol.st_name;
      for (const char* w : kWatched)
        if (std::strcmp(name, w) == 0) found[w] = symbol.st_value;
    }
  }
  std::string list;
  for (const char* w : kWatched) {
    auto it = found.find(w);
    if (it == found.end()) {
      *missing = w;
      return "";
    }
    char hex[24];
    snprintf(hex, sizeof hex, "%s%llx", list.empty() ? "" : ",", static_cast<unsigned long long>(it->second));
    list += hex;
  }
  return list;
}

// One presented frame as the probe wrote it.
struct Frame {
  int64_t end = 0, busy = 0, present = 0;
  int value[kWatchCount] = {};
};

// The probe's file, read as it grows.
class FrameLog {
 public:
  explicit FrameLog(std::string path) : path_(std::move(path)) {}
  // Reads the lines added since the last call; the number of new frames.
  size_t Poll() {
    const size_t before = frames_.size();
    FILE* f = fopen(path_.c_str(), "r");
    if (f == nullptr) return 0;
    fseek(f, static_cast<long>(offset_), SEEK_SET);
    char line[512];
    while (fgets(line, sizeof line, f) != nullptr) {
      const size_t length = strlen(line);
      if (length == 0 || line[length - 1] != '\n') break;  // a line still being written
      offset_ += length;
      Frame frame;
      long long end = 0, busy = 0, present = 0;
      int n = 0;
      if (sscanf(line, "%lld %lld %lld%n", &end, &busy, &present, &n) != 3) continue;
      frame.end = end, frame.busy = busy, frame.present = present;
      const char* p = line + n;
      for (int i = 0; i < kWatchCount; ++i) {
        char* next = nullptr;
        frame.value[i] = static_cast<int>(strtol(p, &next, 10));
        p = next;
      }
      frames_.push_back(frame);
    }
    fclose(f);
    return frames_.size() - before;
  }
  const std::vector<Frame>& frames() const { return frames_; }
  const Frame* last() const { return frames_.empty() ? nullptr : &frames_.back(); }

 private:
  std::string path_;
  size_t offset_ = 0;
  std::vector<Frame> frames_;
};

// ---------------------------------------------------------------- the process

long ResidentKilobytes(pid_t pid) {
  FILE* f = fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (f == nullptr) return 0;
  char line[256];
  long kb = 0;
  while (fgets(line, sizeof line, f) != nullptr)
    if (strncmp(line, "VmRSS:", 6) == 0) kb = strtol(line + 6, nullptr, 10);
  fclose(f);
  return kb;
}

// User plus system time of the whole process, in seconds.
double CpuSeconds(pid_t pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Program {
  pid_t pid = -1;
  ~Program() { Stop(); }
  void Stop() {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }
  bool Alive() {
    if (pid <= 0) return false;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      return false;
    }
    return true;
  }
};

// ---------------------------------------------------------------- the keyboard

// Key presses sent to the program's window, as the X server would deliver
// a player's.
class Keyboard {
 public:
  explicit Keyboard(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
  ~Keyboard() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  bool open() const { return display_ != nullptr; }

  // Finds the program's top-level window (the one of the process, by
  // _NET_WM_PID) and gives it the input focus.
  bool Attach(pid_t pid) {
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    window_ = Find(DefaultRootWindow(display_), pid);
    if (window_ == 0) return false;
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XSync(display_, False);
    return true;
  }

  // A key pressed and held for about two frames, then released.
  void Tap(KeySym key) {
    Send(key, true);
    SleepMs(40);
    Send(key, false);
  }

 private:
  Window Find(Window parent, pid_t pid) {
    Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
    Window root, up, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
      Atom type;
      int format;
      unsigned long n, after;
      unsigned char* data = nullptr;
      XWindowAttributes attributes;
      if (XGetWindowProperty(display_, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after,
                             &data) == Success &&
          data != nullptr) {
        long value = 0;
        if (n == 1) std::memcpy(&value, data, sizeof value);
        if (value == pid && XGetWindowAttributes(display_, children[i], &attributes) &&
            attributes.map_state == IsViewable)
          found = children[i];
        XFree(data);
      }
      if (found == 0) found = Find(children[i], pid);
    }
    if (children != nullptr) XFree(children);
    return found;
  }

  void Send(KeySym key, bool down) {
    XKeyEvent e{};
    e.type = down ? KeyPress : KeyRelease;
    e.display = display_;
    e.window = window_;
    e.root = DefaultRootWindow(display_);
    e.subwindow = None;
    e.time = CurrentTime;
    e.same_screen = True;
    e.keycode = XKeysymToKeycode(display_, key);
    XSendEvent(display_, window_, True, down ? KeyPressMask : KeyReleaseMask, reinterpret_cast<XEvent*>(&e));
    XFlush(display_);
  }

  Display* display_;
  Window window_ = 0;
};

// ---------------------------------------------------------------- one run

// The board's first second, the turn machine's own set-up, left out of its
// frames.
constexpr size_t kBoardSettleFrames = 60;

struct Setup {
  std::string program, media, probe, display, watch, work;
  bool playRound = true;
  bool keep = false;
  int boardFrames = 600;
  int modeChanges = 0;  // --mode-changes: that many window-mode changes instead of a party
  const class StallMeter* stalls = nullptr;
};

struct RunResult {
  bool ok = false;
  std::string error, renderer;
  bool openGl = false;  // the drawing went through OpenGL
  double startMs = 0, titleMb = 0, idlePercent = 0, roundMb = 0;
  std::vector<double> boardBusyMs;  // the turn machine's frames
  double boardFps = 0;
  // The blanks the board's frames missed (a frame that came n blanks after
  // the one before missed n - 1), in a stall of the machine or not.
  int missedInStalls = 0, missedOtherwise = 0;
  // Resident memory on the title after each change of window mode.
  std::vector<double> changeMb;
};

// Stalls of the machine (a shared virtual machine has its cores stopped now
// and then for up to a tenth of a second, or slowed for tens of
// milliseconds), which no program can make up: a thread of the benchmark on
// each of the program's cores, and one on a core of its own where there is
// one, sleeps 1 ms again and again. A wake-up more than 5 ms late is a stall,
// from the time it was due to the time it came (a waking sleeper takes its
// core from the program's threads within a millisecond or two). On the core
// of its own the thread also does some 10 us of fixed work after each
// wake-up, and that work taking over 1 ms is a stall too.
class StallMeter {
 public:
  StallMeter() {
    cpu_set_t given;
    CPU_ZERO(&given);
    sched_getaffinity(0, sizeof given, &given);
    int spare = -1;
    for (int cpu = 0; cpu < CPU_SETSIZE && cpu < sysconf(_SC_NPROCESSORS_ONLN); ++cpu) {
      if (CPU_ISSET(cpu, &given))
        threads_.emplace_back([this, cpu] { Run(cpu, false); });
      else if (spare < 0)
        spare = cpu;
    }
    if (spare >= 0) threads_.emplace_back([this, spare] { Run(spare, true); });
  }
  ~StallMeter() {
    stop_ = true;
    for (std::thread& t : threads_) t.join();
  }
  StallMeter(const StallMeter&) = delete;
  StallMeter& operator=(const StallMeter&) = delete;
  int stalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(stalls_.size());
  }
  double worstMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int64_t worst = 0;
    for (const auto& [from, to] : stalls_) worst = std::max(worst, to - from);
    return static_cast<double>(worst) / 1e6;
  }
  double seconds() const { return static_cast<double>(Now() - began_) / 1e9; }
  // Whether a stall overlaps the interval (CLOCK_MONOTONIC nanoseconds).
  bool Overlaps(int64_t from, int64_t to) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [begin, end] : stalls_)
      if (begin < to && end > from) return true;
    return false;
  }

 private:
  static constexpr int64_t kLate = 5'000'000;    // ns
  static constexpr int64_t kSlow = 1'000'000;    // ns for the fixed work
  static constexpr int64_t kJoin = 3'000'000;    // ns between the stalls of one stretch
  static constexpr int kWorkSteps = 4000;        // some 10 us of dependent multiplies
  void Run(int cpu, bool work) {
    cpu_set_t own;
    CPU_ZERO(&own);
    CPU_SET(cpu, &own);
    sched_setaffinity(0, sizeof own, &own);
    const timespec oneMs = {0, 1'000'000};
    while (!stop_) {
      const int64_t due = Now() + 1'000'000;
      nanosleep(&oneMs, nullptr);
      const int64_t woke = Now();
      int64_t worked = woke;
      if (work) {
        uint64_t x = static_cast<uint64_t>(woke);
        for (int i = 0; i < kWorkSteps; ++i) x = x * 6364136223846793005u + 1442695040888963407u;
        worked = Now();
        sink_ += x;
      }
      if (woke - due > kLate || worked - woke > kSlow) {
        const int64_t from = woke - due > kLate ? due : woke;
        std::lock_guard<std::mutex> lock(mutex_);
        // One stall for a stretch that several wake-ups find.
        if (!stalls_.empty() && from <= stalls_.back().second + kJoin && worked >= stalls_.back().first)
          stalls_.back().second = std::max(stalls_.back().second, worked);
        else
          stalls_.emplace_back(from, worked);
      }
    }
  }
  const int64_t began_ = Now();
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> sink_{0};
  mutable std::mutex mutex_;
  std::vector<std::pair<int64_t, int64_t>> stalls_;
  std::vector<std::thread> threads_;
};

// The OpenGL renderer the log names, and whether the drawing went through it.
void ReadRenderer(const std::string& folder, RunResult* r) {
  const std::string text = ReadFile(folder + "/Log.txt");
  const size_t at = text.find("Description:");
  if (at != std::string::npos) r->renderer = text.substr(at + 12, text.find('\n', at) - at - 12);
  while (!r->renderer.empty() && (r->renderer.back() == '\r' || r->renderer.back() == ' ')) r->renderer.pop_back();
  r->openGl = at != std::string::npos && text.find("ソフトウエアレンダラを使用します") == std::string::npos;
}

// The key a player leaning on the buttons presses next, for the state of the
// last presented frame, toward a party on `map`.
KeySym NextKey(const Frame& f, int map) {
  const int* v = f.value;
  if (v[kScene] == kSetupScene && v[kMapStep] == 1 && v[kMapCursor] != map) return XK_Right;
  if (v[kScene] == kSetupScene && v[kConfirmStep] == 1 && v[kConfirmCursor] != 0) return XK_Left;
  if (v[kScene] == kPartyScene && v[kExplanationStep] == 3 && v[kFadeInDone] == 1) return XK_space;
  // At a fork player 1 points at a way first (any direction highlights the
  // nearest), then decides.
  if (v[kScene] == kPartyScene && v[kForkState] == 2 && v[kForkChoice] < 0) return XK_Right;
  return XK_z;
}

// The key that leads from the last presented frame toward the options and
// through them to leaving with the window mode `wanted` (0 full screen, 1
// window); 0 while the program is between steps (a fade, a scroll).
KeySym NextModeChangeKey(const Frame& f, int wanted) {
  const int* v = f.value;
  if (v[kScene] == kTitleScene) return v[kFadeInDone] == 1 ? XK_z : 0;
  if (v[kScene] == kMainMenuScene) {
    if (v[kMenuStep] != kMenuWaiting) return 0;
    return v[kMenuCursor] == kMenuOptions ? XK_z : XK_Down;
  }
  if (v[kScene] != kOptionsScene) return 0;
  switch (v[kOptionsStep]) {
    case kRowMusic:
    case kRowEffects: return XK_Down;
    case kRowWindow:
      if (v[kWindowModeChoice] != wanted) return wanted == 0 ? XK_Left : XK_Right;
      return XK_x;  // to the back row
    case kRowBack: return XK_z;
    default: return 0;
  }
}

// One process on the path, toward a party on the map; with titleOnly it
// ends at the title (the warm-up).
RunResult RunOnce(const Setup& s, const std::string& path, int map, bool playRound, bool titleOnly = false) {
  RunResult r;
  const std::string folder = s.work + "/" + path + std::to_string(map);
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  fs::create_directory_symlink(fs::absolute(s.media), folder + "/media", ec);
  const std::string probeOut = folder + "/frames.txt";
  FrameLog log(probeOut);

  // The display left alone since the last process ended.
  SleepMs(250);
  Program program;
  const int64_t started = Now();
  program.pid = fork();
  if (program.pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (chdir(folder.c_str()) != 0) _exit(127);
    setenv("DISPLAY", s.display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (path == "default")
      unsetenv("ZR_D3D9_RASTERIZER");
    else
      setenv("ZR_D3D9_RASTERIZER", path == "opengl" ? "hardware" : "software", 1);
    setenv("LD_PRELOAD", s.probe.c_str(), 1);
    setenv("ZR_PROBE_OUT", probeOut.c_str(), 1);
    setenv("ZR_PROBE_WATCH", s.watch.c_str(), 1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execl(s.program.c_str(), s.program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  auto fail = [&](const std::string& why) {
    r.error = path + " map " + std::to_string(map) + ": " + why;
    return r;
  };

  // Waits (polling the probe) until the predicate holds on the last frame;
  // false when the program ends or the time runs out.
  auto waitFor = [&](int64_t timeoutNs, auto predicate) {
    const int64_t until = Now() + timeoutNs;
    while (Now() < until) {
      log.Poll();
      if (log.last() != nullptr && predicate(*log.last())) return true;
      if (!program.Alive()) return false;
      SleepMs(2);
    }
    return false;
  };

  // The title's first frame: the first present of a frame that began in the title scene.
  size_t titleFrame = 0;
  if (!waitFor(20'000'000'000LL, [&](const Frame&) {
        const auto& frames = log.frames();
        for (size_t i = 1; i < frames.size(); ++i)
          if (frames[i - 1].value[kScene] == kTitleScene) {
            titleFrame = i;
            return true;
          }
        return false;
      }))
    return fail("the title did not come");
  r.startMs = static_cast<double>(log.frames()[titleFrame].end - started) / 1e6;
  if (titleOnly) {
    program.Stop();
    ReadRenderer(folder, &r);
    r.ok = true;
    return r;
  }

  // Idle on the title.
  SleepMs(2000);
  r.titleMb = static_cast<double>(ResidentKilobytes(program.pid)) / 1024.0;
  const double cpu0 = CpuSeconds(program.pid);
  const int64_t t0 = Now();
  SleepMs(3000);
  r.idlePercent = (CpuSeconds(program.pid) - cpu0) / (static_cast<double>(Now() - t0) / 1e9) * 100.0;
  log.Poll();
  if (log.last()->value[kScene] != kTitleScene) return fail("the title did not stay");

  Keyboard keys(s.display);
  if (!keys.open()) return fail("no connection to the display");
  if (!keys.Attach(program.pid)) return fail("no window of the program");

  // Window-mode changes: from the title through the main menu into the
  // options, the other mode chosen, the options left (the mode changes and
  // the game loads its pictures and fonts again), back at the title; its
  // resident memory two seconds later.
  for (int change = 1; change <= s.modeChanges; ++change) {
    const int wanted = change % 2 == 1 ? 0 : 1;
    bool left = false;  // the options were left with the mode wanted
    const int64_t until = Now() + 120'000'000'000LL;
    while (true) {
      if (!program.Alive()) return fail("the program ended");
      if (Now() > until) return fail("change " + std::to_string(change) + " did not come back to the title");
      log.Poll();
      const Frame& f = *log.last();
      if (f.value[kScene] == kOptionsScene && f.value[kOptionsStep] >= kOptionsLeaving &&
          f.value[kWindowModeChoice] == wanted)
        left = true;
      if (left && f.value[kScene] == kTitleScene) break;
      if (const KeySym key = left ? 0 : NextModeChangeKey(f, wanted); key != 0) keys.Tap(key);
      SleepMs(40);
    }
    SleepMs(2000);
    keys.Attach(program.pid);  // the window as the new mode left it
    r.changeMb.push_back(static_cast<double>(ResidentKilobytes(program.pid)) / 1024.0);
  }
  if (s.modeChanges > 0) {
    program.Stop();
    ReadRenderer(folder, &r);
    r.ok = true;
    return r;
  }

  // Through the menus and the set-up into the party, then the board frames
  // of the first round's turns.
  size_t boardFirst = 0, boardLast = 0;
  bool roundDone = false;
  const int64_t deadline = Now() + 600'000'000'000LL;
  while (Now() < deadline) {
    if (!program.Alive()) return fail("the program ended");
    log.Poll();
    const Frame& f = *log.last();
    if (f.value[kScene] == kPartyScene && f.value[kPartyState] == kTurnMachineState) {
      if (boardFirst == 0) boardFirst = log.frames().size();
      boardLast = log.frames().size();
    }
    const size_t boardCount = boardLast > boardFirst ? boardLast - boardFirst : 0;
    if (f.value[kScene] == kPartyScene && f.value[kTurnsLeft] < f.value[kTotalTurns]) {
      roundDone = true;
      break;
    }
    // (The first second of the board is left out of the frames counted.)
    if (!playRound && boardCount >= kBoardSettleFrames + static_cast<size_t>(s.boardFrames)) break;
    if (f.value[kScene] != kTitleScene && f.value[kScene] != kMainMenuScene && f.value[kScene] != kSetupScene &&
        f.value[kScene] != kPartyScene)
      return fail("an unexpected scene " + std::to_string(f.value[kScene]));
    keys.Tap(NextKey(f, map));
    SleepMs(40);
  }
  if (boardFirst == 0) return fail("the board did not come");
  if (playRound && !roundDone) return fail("the first round did not end");
  if (roundDone) {
    SleepMs(500);
    r.roundMb = static_cast<double>(ResidentKilobytes(program.pid)) / 1024.0;
  }

  // Board frames: the turn machine's frames of the first round (the first
  // second left out: the state's own set-up), at most boardFrames of them.
  const auto& frames = log.frames();
  size_t first = std::min(boardFirst + kBoardSettleFrames, boardLast), count = 0;
  int64_t begin = 0, end = 0;
  constexpr int64_t kBlankNs = 16'666'667;
  for (size_t i = first; i < boardLast && count < static_cast<size_t>(s.boardFrames); ++i) {
    const Frame& f = frames[i];
    if (f.value[kScene] != kPartyScene || f.value[kPartyState] != kTurnMachineState) continue;
    const int64_t from = frames[i - 1].end;
    if (begin == 0) begin = from;
    end = f.end;
    r.boardBusyMs.push_back(static_cast<double>(f.busy) / 1e6);
    const int missed = static_cast<int>((f.end - from + kBlankNs / 2) / kBlankNs) - 1;
    if (missed > 0) (s.stalls != nullptr && s.stalls->Overlaps(from, f.end) ? r.missedInStalls : r.missedOtherwise) += missed;
    ++count;
  }
  if (count < 2) return fail("too few board frames");
  r.boardFps = static_cast<double>(count) / (static_cast<double>(end - begin) / 1e9);

  program.Stop();
  ReadRenderer(folder, &r);
  r.ok = true;
  return r;
}

// ---------------------------------------------------------------- the table

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

std::string Spread(const std::vector<double>& v, const char* format) {
  if (v.empty()) return "-";
  char text[96], one[32];
  snprintf(one, sizeof one, format, Percentile(v, 0.5));
  std::string s = one;
  if (v.size() > 1) {
    char lo[32], hi[32];
    snprintf(lo, sizeof lo, format, *std::min_element(v.begin(), v.end()));
    snprintf(hi, sizeof hi, format, *std::max_element(v.begin(), v.end()));
    snprintf(text, sizeof text, "%s (%s-%s)", one, lo, hi);
    s = text;
  }
  return s;
}

std::vector<int> ParseList(const std::string& text) {
  std::vector<int> out;
  std::stringstream s(text);
  std::string item;
  while (std::getline(s, item, ',')) out.push_back(std::atoi(item.c_str()));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  Setup s;
  s.program = ZR_PARTY_PATH;
  s.media = ZR_MEDIA_DIR;
  s.probe = ZR_PROBE_PATH;
  int runs = 3;
  bool titleOnly = false;
  std::vector<int> maps = {1, 2, 3, 4};
  std::vector<std::string> paths = {"opengl", "software", "default"};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* name) { return a.rfind(name, 0) == 0 ? a.substr(strlen(name)) : std::string(); };
    if (!value("--runs=").empty()) {
      runs = std::max(1, std::atoi(value("--runs=").c_str()));
    } else if (!value("--maps=").empty()) {
      maps = ParseList(value("--maps="));
    } else if (!value("--paths=").empty()) {
      paths.clear();
      std::stringstream list(value("--paths="));
      std::string p;
      while (std::getline(list, p, ',')) paths.push_back(p);
    } else if (!value("--board-frames=").empty()) {
      s.boardFrames = std::max(10, std::atoi(value("--board-frames=").c_str()));
    } else if (a == "--keep") {
      s.keep = true;
    } else if (a == "--no-round") {
      s.playRound = false;
    } else if (a == "--title-only") {
      titleOnly = true;
    } else if (!value("--mode-changes=").empty()) {
      s.modeChanges = std::max(1, std::atoi(value("--mode-changes=").c_str()));
    } else if (!value("--program=").empty()) {
      s.program = value("--program=");
    } else {
      fprintf(stderr,
              "usage: %s [--runs=N] [--maps=1,2,3,4] [--paths=opengl,software,default] [--board-frames=N]"
              " [--no-round] [--title-only] [--mode-changes=N] [--keep] [--program=PATH]\n",
              argv[0]);
      return 2;
    }
  }
  std::string missing;
  s.watch = WatchOffsets(s.program, &missing);
  if (s.watch.empty()) {
    fprintf(stderr, "%s: no symbol %s (a build with its symbol table is needed)\n", s.program.c_str(),
            missing.c_str());
    return 1;
  }
  Child server;
  if (const char* display = getenv("DISPLAY"); display != nullptr && *display != '\0') {
    s.display = display;
  } else {
    s.display = StartXvfb(server);
    if (s.display.empty()) {
      fprintf(stderr, "no X server: Xvfb did not start\n");
      return 1;
    }
  }
  // A desktop session has a message bus; without one, each start of the
  // program would have libdbus run dbus-launch to make one (a fork and an
  // exec, some 15 ms, that no desktop pays).
  Child bus;
  if (const char* address = getenv("DBUS_SESSION_BUS_ADDRESS"); address == nullptr || *address == '\0') {
    const std::string started =
        StartServerReadingLine(bus, {"dbus-daemon", "--session", "--nofork", "--print-address={fd}"});
    if (!started.empty()) setenv("DBUS_SESSION_BUS_ADDRESS", started.c_str(), 1);
  }
  s.work = (fs::temp_directory_path() / ("zrdesktop" + std::to_string(getpid()))).string();

  struct PathResults {
    std::vector<double> start, titleMb, idle, roundMb;
    std::vector<std::vector<double>> changeMb;  // [change][run]
    std::map<int, std::vector<double>> fps, busy;
    std::map<int, std::vector<double>> busyMax;
    std::map<int, int> missedInStalls, missedOtherwise, boardFrames;
    std::string renderer;
    int openGl = 0, software = 0;
  };
  std::map<std::string, PathResults> results;
  int failures = 0;
  // A start on each path that is not counted: the program, its libraries
  // and the media in the file cache, as after a first start.
  for (const std::string& path : paths) RunOnce(s, path, maps.front(), false, true);
  const StallMeter stalls;
  s.stalls = &stalls;
  for (int run = 0; run < runs; ++run)
    for (const std::string& path : paths)
      for (int map : titleOnly || s.modeChanges > 0 ? std::vector<int>{maps.front()} : maps) {
        const bool round = s.playRound && s.modeChanges == 0 && map == maps.front();
        RunResult r = RunOnce(s, path, map, round, titleOnly);
        if (!r.ok) {
          fprintf(stderr, "run %d: %s\n", run + 1, r.error.c_str());
          ++failures;
          continue;
        }
        PathResults& p = results[path];
        p.start.push_back(r.startMs);
        if (!r.renderer.empty()) p.renderer = r.renderer;
        ++(r.openGl ? p.openGl : p.software);
        if (titleOnly) {
          fprintf(stderr, "run %d %s: start %.0f ms\n", run + 1, path.c_str(), r.startMs);
          continue;
        }
        p.titleMb.push_back(r.titleMb);
        p.idle.push_back(r.idlePercent);
        if (s.modeChanges > 0) {
          p.changeMb.resize(r.changeMb.size());
          for (size_t c = 0; c < r.changeMb.size(); ++c) p.changeMb[c].push_back(r.changeMb[c]);
          std::string line;
          for (double mb : r.changeMb) line += " " + std::to_string(static_cast<int>(mb + 0.5));
          fprintf(stderr, "run %d %s: title %.0f MB, after each change of window mode (MB):%s\n", run + 1,
                  path.c_str(), r.titleMb, line.c_str());
          continue;
        }
        if (round) p.roundMb.push_back(r.roundMb);
        p.fps[map].push_back(r.boardFps);
        p.busy[map].insert(p.busy[map].end(), r.boardBusyMs.begin(), r.boardBusyMs.end());
        p.busyMax[map].push_back(*std::max_element(r.boardBusyMs.begin(), r.boardBusyMs.end()));
        p.missedInStalls[map] += r.missedInStalls;
        p.missedOtherwise[map] += r.missedOtherwise;
        p.boardFrames[map] += static_cast<int>(r.boardBusyMs.size());
        fprintf(stderr, "run %d %s map %d: start %.0f ms, title %.0f MB, idle %.1f %%, board %.1f fps, frame %.2f ms\n",
                run + 1, path.c_str(), map, r.startMs, r.titleMb, r.idlePercent, r.boardFps,
                Percentile(r.boardBusyMs, 0.5));
      }
  std::error_code ec;
  if (s.keep)
    fprintf(stderr, "working folders kept in %s\n", s.work.c_str());
  else
    fs::remove_all(s.work, ec);

  // The table: a row per measure, a column per path.
  std::vector<std::pair<std::string, std::vector<std::string>>> rows;
  auto row = [&](const std::string& name, auto cell) {
    std::vector<std::string> cells;
    for (const std::string& path : paths) cells.push_back(cell(results[path]));
    rows.emplace_back(name, cells);
  };
  row("start to title, ms", [](PathResults& p) { return Spread(p.start, "%.0f"); });
  if (titleOnly) maps.clear();
  if (!titleOnly) row("resident on the title, MB", [](PathResults& p) { return Spread(p.titleMb, "%.0f"); });
  if (!titleOnly) {
    if (s.modeChanges == 0)
      row("resident after round 1, MB", [](PathResults& p) { return Spread(p.roundMb, "%.0f"); });
    row("CPU idle on the title, % of a core", [](PathResults& p) { return Spread(p.idle, "%.1f"); });
  }
  if (s.modeChanges > 0) {
    for (int c = 0; c < s.modeChanges; ++c)
      row("resident after change " + std::to_string(c + 1) + (c % 2 == 0 ? " (full screen)" : " (window)") + ", MB",
          [c](PathResults& p) {
            return static_cast<size_t>(c) < p.changeMb.size() ? Spread(p.changeMb[c], "%.0f") : std::string("-");
          });
    maps.clear();
  }
  for (int map : maps) {
    row("map " + std::to_string(map) + " board, frames a second",
        [map](PathResults& p) { return Spread(p.fps[map], "%.1f"); });
    row("map " + std::to_string(map) + " frame ms: median / p95 / max", [map](PathResults& p) {
      if (p.busy[map].empty()) return std::string("-");
      char text[64];
      snprintf(text, sizeof text, "%.2f / %.2f / %.2f", Percentile(p.busy[map], 0.5), Percentile(p.busy[map], 0.95),
               *std::max_element(p.busy[map].begin(), p.busy[map].end()));
      return std::string(text);
    });
    row("map " + std::to_string(map) + " blanks missed: in stalls / not", [map](PathResults& p) {
      if (p.boardFrames[map] == 0) return std::string("-");
      return std::to_string(p.missedInStalls[map]) + " / " + std::to_string(p.missedOtherwise[map]) + " in " +
             std::to_string(p.boardFrames[map]) + " frames";
    });
  }
  size_t nameWidth = 0;
  // Each column named by its setting and the path its runs took.
  std::vector<std::string> heads;
  for (const std::string& path : paths) {
    const PathResults& p = results[path];
    heads.push_back(path + (p.openGl > 0 && p.software > 0 ? " (both paths!)"
                            : p.openGl > 0                 ? " (OpenGL path)"
                            : p.software > 0               ? " (software path)"
                                                           : ""));
  }
  std::vector<size_t> width(paths.size(), 0);
  for (size_t i = 0; i < paths.size(); ++i) width[i] = heads[i].size();
  for (auto& [name, cells] : rows) {
    nameWidth = std::max(nameWidth, name.size());
    for (size_t i = 0; i < cells.size(); ++i) width[i] = std::max(width[i], cells[i].size());
  }
  printf("\n%-*s", static_cast<int>(nameWidth), "");
  for (size_t i = 0; i < paths.size(); ++i) printf(" | %-*s", static_cast<int>(width[i]), heads[i].c_str());
  printf("\n");
  for (auto& [name, cells] : rows) {
    printf("%-*s", static_cast<int>(nameWidth), name.c_str());
    for (size_t i = 0; i < cells.size(); ++i) printf(" | %-*s", static_cast<int>(width[i]), cells[i].c_str());
    printf("\n");
  }
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  sched_getaffinity(0, sizeof cpus, &cpus);
  const char* lp = getenv("LP_NUM_THREADS");
  printf("\n%d runs; cores given: %d of %ld; LP_NUM_THREADS %s; display %s\n", runs, CPU_COUNT(&cpus),
         sysconf(_SC_NPROCESSORS_ONLN), lp != nullptr ? lp : "unset", s.display.c_str());
  printf("stalls of the machine (a 1 ms sleep woke over 5 ms late, or 10 us of work took over 1 ms): %d in %.0f s "
         "(the longest %.1f ms)\n",
         stalls.stalls(), stalls.seconds(), stalls.worstMs());
  for (const std::string& path : paths)
    printf("%s: the log's Description: %s\n", path.c_str(),
           results[path].renderer.empty() ? "none" : results[path].renderer.c_str());
  return failures == 0 ? 0 : 1;
}
