// The screen gallery's driver (see gallery.h).
#include "tests/game/gallery/gallery.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "game/board/party_scene.h"
#include "game/minigames/minigame_runner.h"
#include "game/minigames/minigame_screens.h"
#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/minigame_mode.h"
#include "game/shell/minigame_table.h"
#include "game/shell/options_screen.h"
#include "game/shell/party_setup.h"
#include "game/shell/player_table.h"
#include "game/shell/title_menu.h"
#include "library/core/main_window.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/mem_img.h"
#include "library/zrlib.h"
#include "platform/d3d9/d3d9_control.h"
#include "platform/win32/sdl_window.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/harness/game_registry.h"
#include "tests/game/minigame_test_support.h"
#include "tools/mediagen/canvas.h"
// Xlib last: its macros (None, Bool, Status) clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>

// SDL's X11 video keeps a D-Bus connection's buffer (allocated on a thread of
// its own) for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 640, kHeight = 480;

// The minigame numbers that have an entry, in order.
std::vector<int> MinigameNumbers() {
  std::vector<int> out;
  for (int n = 1; n <= kMinigameSlots; ++n)
    if (n != 15 && n != 23 && n != 30) out.push_back(n);
  return out;
}

std::string TwoDigits(int n) {
  char b[16];
  snprintf(b, sizeof b, "%02d", n);
  return b;
}

// ---------------------------------------------------------------- pictures

// The presented picture: grabbed as it is (cheap enough for every frame),
// turned into 0xRRGGBB by row when it is saved.
struct Grab {
  int depth = 0;  // bytes a pixel on the software screen (2: RGB565, 4: XRGB); 0: already RGB
  std::vector<uint8_t> bytes;
  int frame = 0;  // the frame it shows: the harness's frame count after it
};

class ScreenReader {
 public:
  explicit ScreenReader(GalleryBackend backend) : backend_(backend) {}
  ~ScreenReader() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  bool Take(Grab* out) {
    if (backend_ == GalleryBackend::Software) {
      const MEMIMG& screen = ScreenMemImg;
      if (HardwareActive || screen.buffer == nullptr || screen.width < kWidth || screen.height < kHeight) return false;
      out->depth = screen.buffer->depthKind == MemImgDepth16 ? 2 : 4;
      const size_t row = static_cast<size_t>(kWidth) * out->depth;
      out->bytes.resize(row * kHeight);
      for (int y = 0; y < kHeight; ++y)
        memcpy(&out->bytes[row * y], screen.pixels + static_cast<int64_t>(y) * screen.buffer->pitch, row);
      return true;
    }
    // The OpenGL path: the window's pixels on the X display (none when the
    // library took its software path after all).
    if (!HardwareActive) return false;
    if (display_ == nullptr) display_ = XOpenDisplay(nullptr);
    SDL_Window* sdl = PlatformSdlWindow(MainHwnd);
    if (display_ == nullptr || sdl == nullptr) return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    XImage* image = XGetImage(display_, info.info.x11.window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    out->depth = 0;
    out->bytes.resize(static_cast<size_t>(kWidth) * kHeight * 4);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        uint32_t c = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
        memcpy(&out->bytes[(static_cast<size_t>(y) * kWidth + x) * 4], &c, 4);
      }
    XDestroyImage(image);
    return true;
  }

  static std::vector<uint32_t> Rgb(const Grab& g) {
    std::vector<uint32_t> rgb(static_cast<size_t>(kWidth) * kHeight);
    for (size_t i = 0; i < rgb.size(); ++i) {
      if (g.depth == 2) {
        uint16_t v;
        memcpy(&v, &g.bytes[i * 2], 2);
        uint32_t r = (v >> 11) & 31, gr = (v >> 5) & 63, b = v & 31;
        rgb[i] = ((r << 3 | r >> 2) << 16) | ((gr << 2 | gr >> 4) << 8) | (b << 3 | b >> 2);
      } else {
        uint32_t v;
        memcpy(&v, &g.bytes[i * 4], 4);
        rgb[i] = v & 0xFFFFFF;
      }
    }
    return rgb;
  }

 private:
  GalleryBackend backend_;
  Display* display_ = nullptr;
};

bool WritePng(const std::vector<uint32_t>& rgb, const std::string& path) {
  mediagen::Canvas canvas(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint32_t c = rgb[static_cast<size_t>(y) * kWidth + x];
      canvas.Set(x, y, {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c), 255});
    }
  std::vector<uint8_t> png = mediagen::EncodePng(canvas);
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(f);
}

// ---------------------------------------------------------------- one group's run

// What the game process hands back: one report per saved picture
// ("file\ttitle") and one per problem ("!problem").
class Camera {
 public:
  Camera(GameHarness& h, const std::string& group, const GalleryOptions& options)
      : h_(h), group_(group), dir_(options.outDir), drawn_(options.drawnFrames), reader_(options.backend) {}

  // The picture now on the screen (none when the frame was not drawn).
  bool Take(Grab* out) {
    if (!drawn_.empty() && drawn_.count(h_.frame()) == 0) return false;
    if (!reader_.Take(out)) return false;
    out->frame = h_.frame();
    return true;
  }

  // Saves the picture now on the screen as the step.
  void Shoot(const std::string& step, const std::string& title) {
    if (taken_.count(step) != 0) return;
    Grab grab;
    if (!Take(&grab)) {
      Problem("no picture of " + step);
      return;
    }
    Save(step, title, grab);
  }

  void Save(const std::string& step, const std::string& title, const Grab& grab) {
    if (taken_.count(step) != 0) return;
    taken_.insert(step);
    if (!drawn_.empty() && drawn_.count(grab.frame) == 0)
      Problem("the picture of " + step + " shows frame " + std::to_string(grab.frame) + ", which was not drawn");
    std::string file = group_ + "-" + TwoDigits(++count_) + "-" + step + ".png";
    if (!WritePng(ScreenReader::Rgb(grab), dir_ + "/" + file)) {
      Problem("cannot write " + file);
      return;
    }
    // The game's state at the picture (scene, frame, random draws, machines
    // and tables), beside it: runs that reach the same states show the same
    // screens.
    std::error_code ec;
    fs::create_directories(dir_ + "/states", ec);
    std::ofstream(dir_ + "/states/" + file.substr(0, file.size() - 4) + ".txt") << h_.Dump();
    h_.Report(file + "\t" + std::to_string(grab.frame) + "\t" + title);
  }

  bool Taken(const std::string& step) const { return taken_.count(step) != 0; }
  void Problem(const std::string& text) { h_.Report("!" + text); }

 private:
  GameHarness& h_;
  std::string group_, dir_;
  const std::set<int>& drawn_;
  ScreenReader reader_;
  std::set<std::string> taken_;
  int count_ = 0;
};

// Runs frames until the condition holds (false when it did not within the frames).
bool Reach(GameHarness& h, Camera& cam, const std::string& what, const std::function<bool()>& done, int frames) {
  for (int i = 0; i < frames; ++i) {
    if (done()) return true;
    if (!h.Frame()) break;
  }
  if (done()) return true;
  cam.Problem("did not reach " + what + " (scene " + std::to_string(SceneState) + ", frame " +
              std::to_string(h.frame()) + ")");
  return false;
}

// Frames until the condition holds, then `settle` more, then the picture.
bool ShootWhen(GameHarness& h, Camera& cam, const std::string& step, const std::string& title,
               const std::function<bool()>& done, int frames = 1200, int settle = 8) {
  if (!Reach(h, cam, step, done, frames)) return false;
  h.Frames(settle);
  cam.Shoot(step, title);
  return true;
}

// A button of input record 1, pressed for a frame, then released for one.
void Press(GameHarness& h, int button) {
  h.Tap(1, button);
  h.Frames(2);
}

// The main menu's entry (0 party, 1 minigame mode, 2 options, 3 exit) under
// the cursor, moved there with down.
void ChooseMenuEntry(GameHarness& h, Camera& cam, int32_t entry) {
  for (int guard = 0; guard < 8 && MainMenuCursor != entry; ++guard) {
    Reach(h, cam, "the menu", [] { return SceneState == 2 && MainMenuStep == 4; }, 600);
    Press(h, kButtonDown);
    Reach(h, cam, "the menu", [] { return MainMenuStep == 4; }, 120);
  }
}

// The set-up's remaining steps pressed through with A (はい at the confirmation).
void PushThroughSetup(GameHarness& h) {
  for (int guard = 0; guard < 60 && SceneState == 4; ++guard) {
    Press(h, ConfirmStep != 0 && ConfirmCursor != 0 ? kButtonLeft : kButtonA);
    h.Frames(20);
  }
}

// ---------------------------------------------------------------- the tours of the party

// The party's state machines the tours take pictures of, from the general to
// the particular: the picture's step is the most particular one running.
// Those marked take a picture of each of their steps.
struct Watched {
  const char* machine;
  bool bySteps;
};
const Watched kWatched[] = {
    {"RunPartyOpening", true},     {"RunTurnOrderDraw", false},
    {"RunGemGuideIntro", false},     {"RunPrincessRequestIntro", false}, {"RunBanquetHostIntro", false},
    {"RunMagicSquareSlot", true},    {"RunTurnMachine", true},      {"RunTurnMenu", false},
    {"RunItemStep", false},          {"RunItemMenu", false},        {"RollDie", false},
    {"RollSmallDie", false},         {"RollTwoDice", false},        {"RunRandomDiceItem", false},
    {"SwapPlacesThroughGap", false}, {"MovePiece", false},          {"ChooseForkDirection", false},
    {"RunPassThroughEvent", false},  {"RunMapView", false},         {"RunWholeMapView", false},
    {"RunLandingEffect", false},     {"RunBlueSquare", false},      {"RunRedSquare", false},
    {"RunItemSquare", false},        {"RunEventSquare", false},     {"RunNothingHappensEvent", false},
    {"RunStoneColourEvent", false},  {"RunLostEvent", false},       {"RunPassageClosingEvent", false},
    {"RunHouseEvent", false},        {"RunRabbitDuel", false},      {"RunMushroomPickUp", false},
    {"RunOvrelleHouse", false},      {"RunBanquet", false},         {"RunPitfall", false},
    {"RunZanberiCoinEvent", false},  {"RunFalseSquare", false},     {"RunStoneColourShop", false},
    {"RunCpuStoneColourShop", false}, {"RunWarpSquare", false},     {"RunMasterMeeting", false},
    {"RunCpuMasterMeeting", false},  {"RunStarDestruction", false}, {"RunCpuStarDestruction", false},
    {"RunStarSale", false},          {"RunStarShop", false},        {"RunCpuStarShop", false},
    {"RunItemShop", false},          {"RunMischiefShop", false},    {"RunCpuMischiefShop", false},
    {"RunRoundBonus", false},        {"DecideMinigameType", false}, {"PickBoardMinigame", false},
    {"RunCoinTally", true},          {"RunPartyResults", true},     {"RunResultsStaging", true},
    {"RunResultsRanking", true},
};

// The step of the watched machine that runs, most particular first ("" none).
class StepWatch {
 public:
  StepWatch() {
    for (const Watched& w : kWatched)
      for (const GameMachineEntry& m : GetGameRegistry().machines)
        if (m.machine == w.machine) {
          entries_.push_back({&m, w.bySteps});
          break;
        }
  }
  std::string Current() const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
      int64_t step = it->machine->read();
      if (step == it->machine->idle) continue;
      return it->machine->machine + (it->bySteps ? "-" + std::to_string(step) : "");
    }
    return "";
  }

 private:
  struct Entry {
    const GameMachineEntry* machine;
    bool bySteps;
  };
  std::vector<Entry> entries_;
};

// Plays the party scene with every player a CPU: a picture of each watched
// step the first time it has run for `settle` frames (or of its last frame
// when it ends sooner); texts and screens that wait for a player get A on
// every record once they have stood still for a while; a minigame's
// explanation gets start. Ends when `done` holds, or the party is over.
void TourParty(GameHarness& h, Camera& cam, const std::string& prefix, int maxFrames,
               const std::function<bool()>& done) {
  StepWatch watch;
  std::string current, last;
  int held = 0;
  Grab previous, now;
  const int settle = 40, nudge = 60;
  bool pressed = false;
  h.AddInputRule([&](FrameInput& in) {
    bool explanation = SceneState == 8 && ExplanationStep == 3 && FadeInDone == 1;
    bool waiting = held >= nudge;
    if (pressed || (!explanation && !waiting)) {
      pressed = false;
      return;
    }
    pressed = true;
    for (int record = 1; record <= 4; ++record) {
      GameHarness::PadButton b = GameHarness::ButtonOf(record, explanation ? kButtonStart : kButtonA);
      if (b.pad != 0) in.pads[b.pad - 1] |= b.mask;
    }
  });
  while (h.frame() < maxFrames) {
    if (!h.Frame()) {
      cam.Problem("the game ended in the party");
      return;
    }
    if (SceneState != 8) return;
    std::string step = watch.Current();
    bool wanted = !step.empty() && !cam.Taken(prefix + step);
    if (step != current) {
      // A step that ended before it settled: its last picture.
      if (!current.empty() && !cam.Taken(prefix + current) && held >= 12 && !previous.bytes.empty())
        cam.Save(prefix + current, current, previous);
      current = step;
      held = 0;
    }
    ++held;
    // The picture of each frame from the twelfth of a wanted step, in case
    // the step ends before it settles.
    if (wanted && held >= settle) {
      cam.Shoot(prefix + step, step);
    } else if (wanted && held >= 11 && cam.Take(&now)) {
      previous.bytes.swap(now.bytes);
      previous.depth = now.depth;
      previous.frame = now.frame;
    } else if (!wanted || held < 11) {
      previous.bytes.clear();
    }
    if (done && done()) return;
  }
  cam.Problem("the party ran out of frames at " + current);
}

// From the main menu's scene: a party of four CPU players of `turns` rounds
// on the map, its set-up pushed through.
void EnterCpuParty(GameHarness& h, int32_t map, int32_t turns) {
  int32_t choice = 1;
  for (int i = 0; i < 6; ++i)
    if (kTurnCounts[i] == turns) choice = i + 1;
  h.PressWhile([] { return SceneState == 4; }, 1, kButtonA);
  h.When([] { return TurnCountStep == 1; }, [choice] { TurnChoice = choice; });
  h.When([] { return MapChoiceStep == 1; }, [map] { MapCursor = map; });
  h.When([] { return ConfirmStep == 1; }, [] { ConfirmCursor = 0; });
  h.When([] { return SceneState == 8; }, [] {
    for (PlayerRecord& r : PlayerTable) {
      r.cpuFlag = 1;
      r.cpuLevel = 1;
    }
  });
  MainMenuChoice = 1;
  SceneState = 4;
}

// ---------------------------------------------------------------- the groups

void FrontGroup(GameHarness& h, Camera& cam) {
  // The back screen still holds the start-up's last picture: the logo on
  // white with the loading picture.
  cam.Shoot("logo", "start-up logo and loading picture");
  ShootWhen(h, cam, "title", "title", [] { return SceneState == 1 && TitleStep == 3 && TitleBlinkCounter == 10; });
  Press(h, kButtonA);
  ShootWhen(h, cam, "menu", "main menu", [] { return SceneState == 2 && MainMenuStep == 4; });
  ChooseMenuEntry(h, cam, 2);
  ShootWhen(h, cam, "menu-options", "main menu, options chosen", [] { return MainMenuStep == 4; });
  Press(h, kButtonA);
  ShootWhen(h, cam, "options", "options", [] { return SceneState == 7 && OptionsStep == 3 && FadeInDone == 1; });
  Press(h, kButtonDown);
  Press(h, kButtonDown);
  Press(h, kButtonLeft);
  ShootWhen(h, cam, "options-fullscreen", "options, full screen chosen", [] { return OptionsStep == 5; }, 60);
  Press(h, kButtonRight);
  Press(h, kButtonDown);
  Press(h, kButtonDown);
  Press(h, kButtonRight);
  ShootWhen(h, cam, "options-keyconfig", "options, key configuration of player 1",
            [] { return OptionsStep == 6; }, 60);
  Press(h, kButtonA);
  ShootWhen(h, cam, "keyconfig", "key configuration", [] { return OptionsSceneStep == 4; }, 120, 20);
  h.HoldKey(0x12, 2);  // E leaves it
  Reach(h, cam, "options again", [] { return OptionsSceneStep == 3 && OptionsStep >= 3; }, 120);
  Press(h, kButtonB);
  Press(h, kButtonA);
  Reach(h, cam, "menu again", [] { return SceneState == 2 && MainMenuStep == 4; }, 600);
  // The story scene: no menu leads to it; the picture is of what it draws.
  SceneState = 11;
  FadeInDone = 0;
  FadeLevel = 0;
  ShootWhen(h, cam, "story", "story scene (spotlights)", [] { return SceneState == 11 && FadeInDone == 1; }, 300, 60);
  Press(h, kButtonA);
  Reach(h, cam, "menu after the story", [] { return SceneState == 2 && MainMenuStep == 4; }, 600);
}

void SetupGroup(GameHarness& h, Camera& cam) {
  Reach(h, cam, "title", [] { return SceneState == 1 && TitleStep == 3; }, 600);
  Press(h, kButtonA);
  Reach(h, cam, "menu", [] { return SceneState == 2 && MainMenuStep == 4; }, 600);
  Press(h, kButtonA);
  ShootWhen(h, cam, "players", "set-up: number of players", [] { return SceneState == 4 && HumanCountStep != 0; },
            600, 60);
  Press(h, kButtonA);
  ShootWhen(h, cam, "character-1", "set-up: player 1's character", [] { return CharacterSelectStep != 0; }, 300,
            60);
  Press(h, kButtonRight);
  Press(h, kButtonA);
  ShootWhen(h, cam, "character-cpu", "set-up: the CPU players' characters",
            [] { return CharacterSelectStep != 0 && CharacterDecided[1] == 1; }, 300, 30);
  for (int guard = 0; guard < 20 && TurnCountStep == 0; ++guard) Press(h, kButtonA), h.Frames(20);
  ShootWhen(h, cam, "turns", "set-up: number of turns", [] { return TurnCountStep != 0; }, 300, 60);
  Press(h, kButtonA);
  ShootWhen(h, cam, "map", "set-up: map choice", [] { return MapChoiceStep != 0; }, 300, 60);
  for (int map = 0; map < 7; ++map) {
    ShootWhen(h, cam, "map-" + std::to_string(MapCursor), "set-up: map choice, map " + std::to_string(MapCursor),
              [] { return true; }, 10, 4);
    Press(h, kButtonRight);
    h.Frames(2);
  }
  while (MapCursor != 1) Press(h, kButtonRight);
  Press(h, kButtonA);
  ShootWhen(h, cam, "confirm", "set-up: confirmation", [] { return ConfirmStep != 0; }, 300, 60);
  Press(h, kButtonLeft);
  Press(h, kButtonA);
  ShootWhen(h, cam, "opening", "the party's first picture", [] { return SceneState == 8 && FadeInDone == 1; }, 600,
            30);
}

void MinigameModeGroup(GameHarness& h, Camera& cam) {
  Reach(h, cam, "title", [] { return SceneState == 1 && TitleStep == 3; }, 600);
  Press(h, kButtonA);
  Reach(h, cam, "menu", [] { return SceneState == 2 && MainMenuStep == 4; }, 600);
  ChooseMenuEntry(h, cam, 1);
  Press(h, kButtonA);
  ShootWhen(h, cam, "players", "minigame mode: number of players",
            [] { return SceneState == 4 && HumanCountStep != 0; }, 600, 60);
  PushThroughSetup(h);
  ShootWhen(h, cam, "picker", "minigame mode: the picker", [] { return SceneState == 3 && FadeInDone == 1; }, 600,
            40);
  for (int page = 1; page < 3; ++page) {
    Press(h, kButtonRight);
    ShootWhen(h, cam, "picker-" + std::to_string(page), "minigame mode: the picker, category " + std::to_string(page),
              [] { return true; }, 10, 40);
  }
}

void PartyGroup(GameHarness& h, Camera& cam, int32_t map, bool wholeParty) {
  Reach(h, cam, "main loop", [] { return SceneState != 0; }, 60);
  EnterCpuParty(h, map, 10);
  Reach(h, cam, "the party", [] { return SceneState == 8; }, 3000);
  // Maps 2 to 4 to the end of their first round. Map 1 to its end: after
  // its first round the next is made the last, so the results follow.
  const int32_t firstRound = 10;
  if (wholeParty) h.When([] { return TurnsLeft == firstRound - 1; }, [] { TurnsLeft = 1; });
  TourParty(h, cam, "", wholeParty ? 200000 : 40000,
            [wholeParty, firstRound] { return !wholeParty && TurnsLeft < firstRound; });
}

void MinigameGroup(GameHarness& h, Camera& cam, int32_t n) {
  // Four CPU players, in teams as the minigame's category has them (one
  // against three, two against two); the boot scene reads the table.
  for (int guard = 0; guard < 10 && SceneState == 0; ++guard) h.Frame();
  int32_t category = 0;
  for (const MinigameInfoRecord& r : MinigameInfoTable)
    if (r.number == n) category = r.category;
  MinigameSeats seats;
  static const int32_t kTeams[3][4] = {{0, 0, 0, 0}, {1, 2, 2, 2}, {1, 1, 2, 2}};
  for (int p = 0; p < 4; ++p) seats.team[p] = kTeams[category >= 0 && category <= 2 ? category : 0][p];
  EnterMinigame(h, n, seats);
  h.SetStallLimit("RunMinigame", 20000);
  ShootWhen(h, cam, "explanation", "explanation screen",
            [] { return ExplanationStep == 3 && FadeInDone == 1; }, 600, 90);
  PressStartOnExplanation(h);
  // Some minigames wait for A on their result screens.
  h.PressWhile([] { return FinishBannerStep == 2 && !MinigameEnded(); }, 1, kButtonA);
  bool started = false;
  int played = 0;
  for (int guard = 0; guard < 20000 && !MinigameEnded(); ++guard) {
    if (!h.Frame()) break;
    if (StartBannerStep == 5 && StartBannerFrame == 14) cam.Shoot("start", "START banner");
    if (StartBannerStep == 5) started = true;
    if (started && StartBannerStep == 2 && FinishBannerStep != 4 && FinishBannerStep != 5 && ++played == 150)
      cam.Shoot("play", "play");
    if (FinishBannerStep == 5 && !cam.Taken("play")) cam.Shoot("play", "play (at its end)");
    if (FinishBannerStep == 5 && FinishBannerFrame == 12) cam.Shoot("finish", "FINISH banner");
    if (WinnerTextStep == 4 && WinnerTextFrame == 40) cam.Shoot("winner", "winner screen");
  }
  if (!MinigameEnded()) cam.Problem("minigame " + std::to_string(n) + " did not end");
}

// ---------------------------------------------------------------- the lists and the index

std::string HtmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else out += c;
  }
  return out;
}

}  // namespace

const std::vector<std::string>& GalleryGroups() {
  static const std::vector<std::string> groups = [] {
    std::vector<std::string> g = {"front", "setup", "minigamemode", "map1", "map2", "map3", "map4"};
    for (int n : MinigameNumbers()) g.push_back("minigame" + TwoDigits(n));
    return g;
  }();
  return groups;
}

std::vector<std::string> GalleryRequiredSteps(const std::string& group) {
  if (group == "front")
    return {"logo", "title", "menu", "options", "keyconfig", "story"};
  if (group == "setup")
    return {"players", "character-1", "turns", "map", "confirm", "opening"};
  if (group == "minigamemode") return {"players", "picker"};
  if (group == "map1")
    return {"RunTurnOrderDraw", "RollDie",          "MovePiece",           "PickBoardMinigame",
            "RunCoinTally-3",   "RunMagicSquareSlot-3", "RunResultsStaging-5", "RunResultsRanking-5"};
  if (group.rfind("map", 0) == 0) return {"RunTurnOrderDraw", "RollDie", "MovePiece", "PickBoardMinigame", "RunCoinTally-3"};
  return {"explanation", "play", "winner"};
}

GalleryGroupResult RunGalleryGroup(const std::string& group, const GalleryOptions& options) {
  GalleryGroupResult result;
  std::error_code ec;
  fs::create_directories(options.outDir, ec);
  GameOptions game;
  game.seed = options.seed;
  game.stallFrames = 20000;
  if (options.backend == GalleryBackend::OpenGL) {
    game.softwareRenderer = false;
    game.windowPictures = true;
  }
  GameRunResult run = RunGame(game, [&](GameHarness& h) {
    Camera cam(h, group, options);
    if (options.backend == GalleryBackend::OpenGL) {
      // OpenGL whatever the display's renderer: on Mesa's llvmpipe (Xvfb)
      // the default adapter would send the library to its software path.
      D3D9SetAdapter(D3D9OpenGLAdapter());
#if defined(__SANITIZE_ADDRESS__)
      // The OpenGL driver and the X client libraries keep allocations for
      // the life of the process.
      __lsan_disable();
#endif
    }
    if (h.StartUp() != 0) {
      cam.Problem("start-up failed");
      return;
    }
    if (options.backend == GalleryBackend::OpenGL) {
      for (const std::string& line : h.LogLines())
        if (line.find("Driver:") != std::string::npos) h.Report("#" + line);
      if (!HardwareActive) {
        cam.Problem("no Direct3D device: the library took its software path");
        return;
      }
    }
    SetWaitVSync(0);
    // Only the frames asked for are drawn: every other frame runs with an
    // empty drawing area (the game's own area, the whole screen between
    // frames, put back for a frame that is drawn), and the device leaves its
    // back buffer and the window as they are (what a scene draws with an
    // area of its own, a board's view, say, still reaches the device); a
    // frame that is drawn clears the back buffer and draws it whole.
    if (!options.drawnFrames.empty()) {
      h.AddFrameHook([&options, emptied = false, area = std::array<int32_t, 4>{}](GameHarness& game) mutable {
        if (options.drawnFrames.count(game.frame() + 1) != 0) {
          if (emptied) SetDrawClipArea(area[0], area[1], area[2], area[3]);
          emptied = false;
          D3D9SkipWindowPresents(false);
          return;
        }
        if (!emptied) GetDrawClipArea(area.data());
        emptied = true;
        SetDrawClipArea(0, 0, 0, 0);
        D3D9SkipWindowPresents(true);
      });
    }
    if (group == "front") FrontGroup(h, cam);
    else if (group == "setup") SetupGroup(h, cam);
    else if (group == "minigamemode") MinigameModeGroup(h, cam);
    else if (group.rfind("map", 0) == 0) PartyGroup(h, cam, group[3] - '0', group == "map1");
    else if (group.rfind("minigame", 0) == 0) MinigameGroup(h, cam, std::atoi(group.c_str() + 8));
  });
  for (const std::string& r : run.reports) {
    if (!r.empty() && r[0] == '!') {
      result.problems.push_back(r.substr(1));
      continue;
    }
    if (!r.empty() && r[0] == '#') {
      result.device.push_back(r.substr(1));
      continue;
    }
    // "file\tframe\ttitle"
    const size_t tab = r.find('\t'), second = tab == std::string::npos ? tab : r.find('\t', tab + 1);
    GalleryShot shot{r.substr(0, tab), second == std::string::npos ? "" : r.substr(second + 1)};
    if (tab != std::string::npos) shot.frame = std::atoi(r.c_str() + tab + 1);
    result.shots.push_back(shot);
  }
  if (!run.completed) result.problems.push_back("the game process did not run the group to its end");
  std::string list;
  for (const GalleryShot& s : result.shots) list += s.file + "\t" + s.title + "\n";
  std::string listPath = options.outDir + "/" + group + ".list";
  std::ofstream(listPath + ".part") << list;
  fs::rename(listPath + ".part", listPath, ec);
  WriteGalleryIndex(options.outDir);
  return result;
}

bool WriteGalleryIndex(const std::string& outDir) {
  std::ostringstream html;
  html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Screen gallery</title>\n"
          "<style>body{font-family:sans-serif;background:#222;color:#eee}"
          "figure{display:inline-block;margin:6px}img{width:320px;height:240px;image-rendering:auto}"
          "figcaption{font-size:12px;max-width:320px}a{color:#9cf}</style></head><body>\n"
          "<h1>Screen gallery</h1>\n<p>";
  for (const std::string& g : GalleryGroups()) html << "<a href=\"#" << g << "\">" << g << "</a> ";
  html << "</p>\n";
  for (const std::string& g : GalleryGroups()) {
    std::ifstream list(outDir + "/" + g + ".list");
    html << "<h2 id=\"" << g << "\">" << g << "</h2>\n";
    if (!list) {
      html << "<p>(not run)</p>\n";
      continue;
    }
    std::string line;
    while (std::getline(list, line)) {
      size_t tab = line.find('\t');
      std::string file = line.substr(0, tab), title = tab == std::string::npos ? "" : line.substr(tab + 1);
      html << "<figure><a href=\"" << file << "\"><img src=\"" << file << "\" alt=\"" << HtmlEscape(title)
           << "\"></a><figcaption>" << HtmlEscape(file) << "<br>" << HtmlEscape(title) << "</figcaption></figure>\n";
    }
  }
  html << "</body></html>\n";
  std::string path = outDir + "/index.html";
  std::string part = path + "." + std::to_string(getpid());
  {
    std::ofstream f(part);
    f << html.str();
    if (!f) return false;
  }
  std::error_code ec;
  fs::rename(part, path, ec);
  return !ec;
}

namespace {

// Distinct colours in a 64-pixel grid over the picture: a picture of one
// colour (a blank or black screen) has one.
int Colours(const mediagen::Canvas& c) {
  std::set<uint32_t> seen;
  for (int y = 0; y < c.height(); y += 8)
    for (int x = 0; x < c.width(); x += 8) {
      mediagen::Rgba p = c.At(x, y);
      seen.insert(static_cast<uint32_t>(p.r) << 16 | p.g << 8 | p.b);
    }
  return static_cast<int>(seen.size());
}

}  // namespace

std::vector<std::string> GalleryGroupFaults(const std::string& group, const GalleryGroupResult& result,
                                            const std::string& outDir) {
  std::vector<std::string> faults = result.problems;
  for (const std::string& step : GalleryRequiredSteps(group)) {
    bool found = false;
    for (const GalleryShot& s : result.shots) found |= s.file.find("-" + step + ".png") != std::string::npos;
    if (!found) faults.push_back("no picture of " + step);
  }
  for (const GalleryShot& s : result.shots) {
    mediagen::Canvas picture;
    if (!mediagen::ReadPng(outDir + "/" + s.file, &picture))
      faults.push_back(s.file + " cannot be read");
    else if (picture.width() != kWidth || picture.height() != kHeight)
      faults.push_back(s.file + " is " + std::to_string(picture.width()) + " x " + std::to_string(picture.height()));
    else if (Colours(picture) <= 1)
      faults.push_back(s.file + " is one colour");
  }
  std::ifstream file(outDir + "/index.html", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  const std::string index = text.str();
  if (index.find("id=\"" + group + "\"") == std::string::npos) faults.push_back("the index has no section " + group);
  for (const GalleryShot& s : result.shots)
    if (index.find(s.file) == std::string::npos) faults.push_back("the index leaves out " + s.file);
  return faults;
}

namespace {

bool IsGraphHandle(uint32_t v) {
  return v > 0 && v <= INT32_MAX && (static_cast<int32_t>(v) & HandleKindBits) == GraphHandleTableType::kind;
}

// Two tables, as the dump gives them (their bytes in hex): the same but for
// 32-bit words that are graph handles on both sides.
bool SameTables(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i += 8) {
    if (a.compare(i, 8, b, i, 8) == 0) continue;
    if (i + 8 > a.size()) return false;
    auto word = [](const std::string& hex, size_t at) {
      uint32_t v = 0;
      for (int byte = 3; byte >= 0; --byte) v = v << 8 | std::stoul(hex.substr(at + 2 * byte, 2), nullptr, 16);
      return v;
    };
    if (!IsGraphHandle(word(a, i)) || !IsGraphHandle(word(b, i))) return false;
  }
  return true;
}

bool IsGraphHandle(const std::string& token) {
  if (token.empty() || token.size() > 11) return false;
  char* end = nullptr;
  long long v = std::strtoll(token.c_str(), &end, 10);
  return *end == '\0' && v > 0 && v <= INT32_MAX && IsGraphHandle(static_cast<uint32_t>(v));
}

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  std::string t;
  while (in >> t) out.push_back(t);
  return out;
}

}  // namespace

bool SameGalleryStates(const std::string& a, const std::string& b, std::string* difference) {
  std::istringstream ia(a), ib(b);
  std::string la, lb;
  for (int n = 1;; ++n) {
    bool moreA = static_cast<bool>(std::getline(ia, la)), moreB = static_cast<bool>(std::getline(ib, lb));
    if (!moreA && !moreB) return true;
    if (moreA != moreB) {
      if (difference != nullptr) *difference = "line " + std::to_string(n) + ": \"" + (moreA ? la : lb) + "\" on one side only";
      return false;
    }
    if (la == lb) continue;
    std::vector<std::string> ta = Tokens(la), tb = Tokens(lb);
    bool same = ta.size() == tb.size();
    for (size_t i = 0; same && i < ta.size(); ++i)
      same = ta[i] == tb[i] || (IsGraphHandle(ta[i]) && IsGraphHandle(tb[i])) ||
             (i == 2 && ta[1] == "table" && SameTables(ta[i], tb[i]));
    if (!same) {
      if (difference != nullptr) *difference = "line " + std::to_string(n) + ": \"" + la + "\" against \"" + lb + "\"";
      return false;
    }
  }
}

bool CompareGalleryPictures(const std::string& a, const std::string& b, int threshold, PictureDifference* out) {
  mediagen::Canvas pa, pb;
  if (!mediagen::ReadPng(a, &pa) || !mediagen::ReadPng(b, &pb) || pa.width() != pb.width() ||
      pa.height() != pb.height())
    return false;
  const int w = pa.width(), h = pa.height();
  auto diff = [](mediagen::Rgba p, mediagen::Rgba q) {
    return std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
  };
  // Whether the pixel of one picture has a pixel within the threshold among
  // the other's pixel at the same place and its eight neighbours.
  auto near = [&](const mediagen::Canvas& one, const mediagen::Canvas& other, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        int nx = x + dx, ny = y + dy;
        if (nx >= 0 && ny >= 0 && nx < w && ny < h && diff(one.At(x, y), other.At(nx, ny)) <= threshold) return true;
      }
    return false;
  };
  PictureDifference d;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int most = diff(pa.At(x, y), pb.At(x, y));
      if (most <= threshold) continue;
      ++d.pixels;
      if (!near(pa, pb, x, y) || !near(pb, pa, x, y)) ++d.unmatched;
      if (most > d.largest) {
        d.largest = most;
        d.x = x;
        d.y = y;
      }
    }
  *out = d;
  return true;
}
