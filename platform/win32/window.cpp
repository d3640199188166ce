#include <SDL.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9_control.h"
#include "platform/d3d9/gl_probe.h"
#include "platform/win32/input_sources.h"
#include "platform/win32/message_source.h"
#include "platform/win32/sdl_window.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32_file.h"
#include "platform/win32/win32_misc.h"
#include "platform/win32/win32_sync.h"
#include "platform/win32/win32_time.h"
#include "platform/win32/win32_window.h"

// ---------------------------------------------------------------- objects behind the handles

struct HWND__ {
  std::string className;
  WNDPROC proc = nullptr;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};  // window rectangle on the screen, frame included
  SDL_Window* sdl = nullptr;
  uint32_t sdlId = 0;
  DWORD thread = 0;
  bool shownOnce = false;
  bool minimized = false;
  bool invalid = false;
  RECT updateRect{};  // client coordinates
  bool acceptFiles = false;
  BOOL imeEnabled = TRUE;
  int scopeSocket = -1;
  POINT mouse{};  // last cursor position, client coordinates
  bool dropOpen = false;
  std::vector<std::string> dropping;
  // Full screen on a display without the screen's mode: the SDL window
  // covers the desktop and the client area's pixels live in `shadow`, shown
  // scaled with their aspect kept.
  bool scaled = false;
  SDL_Surface* shadow = nullptr;
};

struct HDC__ {
  HWND window;  // null: the screen
};

struct HICON__ {
  int id;
};

struct HGDIOBJ__ {
  bool hollow;
  uint8_t gray;
};

struct HDROP__ {
  std::vector<std::string> files;  // Windows-form Shift-JIS paths
};

namespace {

struct GlobalBlock {
  uint32_t magic = 0x474C4F42;  // "GLOB"
  std::vector<char> bytes;
};

GlobalBlock* AsGlobal(HGLOBAL memory) {
  auto* block = static_cast<GlobalBlock*>(memory);
  return block != nullptr && block->magic == 0x474C4F42 ? block : nullptr;
}

struct ClassEntry {
  std::string name;
  WNDPROC proc;
  UINT style;
  HICON icon;
  HCURSOR cursor;
  HBRUSH background;
};

struct ThreadQueue {
  std::deque<MSG> messages;
  bool quitPosted = false;
  int quitCode = 0;
};

// Guards the class and window registries and the message queues, which other
// threads reach through PostMessageA. Window procedures run without it.
std::mutex registryMutex;
std::vector<ClassEntry> classes;
std::vector<HWND> windows;
std::map<DWORD, ThreadQueue> queues;

// State of the video thread only.
bool videoReady = false;
DWORD videoThread = 0;
HWND activeWindow = nullptr;
HWND mouseWindow = nullptr;
uint8_t keyState[256] = {};  // by virtual key, as the messages read so far left it
// The keyboard and mouse as SDL reports them, for the DirectInput devices.
uint8_t deviceKeys[256] = {};
// Motion sums run wide: nothing may read them for a long time.
int64_t deviceMouseDx = 0, deviceMouseDy = 0, deviceWheel = 0;
uint8_t deviceMouseButtons[8] = {};
HANDLE keyboardNotify = nullptr;
HANDLE mouseNotify = nullptr;
int cursorCount = 0;
HICON__ arrowCursor{IDC_ARROW};
HCURSOR currentCursor = &arrowCursor;
bool cursorShown = true;
BOOL screenSaverActive = TRUE;
DWORD foregroundLockTimeout = 200000;
int desktopBitsOverride = 0;
std::string windowScope;

bool clipboardOpen = false;
HGLOBAL clipboardData = nullptr;  // the last text handed out by GetClipboardData

struct TimerEntry {
  HWND window;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  DWORD due;  // timeGetTime of the next WM_TIMER
};
std::vector<TimerEntry> timers;  // under registryMutex
// The window contexts handed out and not yet released (video thread only).
std::set<HDC> windowDcs;

HDC__ screenDc{nullptr};
HGDIOBJ__ stockObjects[] = {{false, 255}, {false, 192}, {false, 128}, {false, 64}, {false, 0},
                            {true, 0}};

// Frame thickness of a style: our own metrics, close to the classic look.
constexpr int kCaptionHeight = 20;

RECT FrameInsets(DWORD style, DWORD exStyle) {
  int edge = 0;
  if (style & WS_THICKFRAME)
    edge = 4;
  else if (style & WS_DLGFRAME)
    edge = 3;
  else if (style & WS_BORDER)
    edge = 1;
  if (exStyle & WS_EX_CLIENTEDGE) edge += 2;
  int caption = (style & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0;
  return RECT{edge, edge + caption, edge, edge};
}

RECT ClientOnScreen(HWND w) {
  RECT in = FrameInsets(w->style, w->exStyle);
  RECT r{w->rect.left + in.left, w->rect.top + in.top, w->rect.right - in.right,
         w->rect.bottom - in.bottom};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool CaseEqual(const std::string& a, const char* b) {
  size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

ClassEntry* FindClassLocked(const char* name) {
  for (ClassEntry& c : classes)
    if (CaseEqual(c.name, name)) return &c;
  return nullptr;
}

bool IsLiveLocked(HWND w) {
  return w != nullptr && std::find(windows.begin(), windows.end(), w) != windows.end();
}

bool IsLive(HWND w) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return IsLiveLocked(w);
}

HWND WindowFromSdlId(uint32_t id) {
  std::lock_guard<std::mutex> lock(registryMutex);
  for (HWND w : windows)
    if (w->sdlId == id) return w;
  return nullptr;
}

std::string ToUtf8(const std::string& sjis) {
  std::string utf8;
  SjisToUtf8(sjis, utf8);
  return utf8;
}

void QuitVideo() {
  if (videoReady) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  videoReady = false;
}

// SDL video starts on first need; the thread that starts it owns the windows' events.
bool EnsureVideo() {
  if (videoReady) return true;
  // Signals keep their usual effect instead of becoming SDL quit events.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Compositions longer than SDL's fixed event text arrive whole.
  SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
  // A window's pixels (the GDI blits) go to the display as they are, not
  // through a renderer of SDL's own: that renderer would put an OpenGL
  // context beside the Direct3D device's on the window, on a desktop without
  // a graphics card a software rasteriser's, whose upload, draw and swap of
  // every frame cost more than the software renderer's whole frame.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Whether the display's OpenGL is worth a context is asked on a
  // connection of the probe's own, before this one opens.
  d3d9::StartGlProbe();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "SDL video: %s\n", SDL_GetError());
    return false;
  }
  static bool exitHook = false;
  if (!exitHook) {
    atexit(QuitVideo);
    exitHook = true;
  }
  videoReady = true;
  videoThread = GetCurrentThreadId();
  if (!screenSaverActive) SDL_DisableScreenSaver();
  return true;
}

void ApplyCursor() {
  bool show = cursorCount >= 0 && currentCursor != nullptr;
  if (show == cursorShown) return;
  cursorShown = show;
  if (videoReady) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

// The full-screen mode ChangeDisplaySettingsA accepted (none: 0 x 0), and
// whether the display has it or the picture is scaled to the desktop.
struct FullScreenMode {
  int width = 0, height = 0;
  bool scaled = false;
};
FullScreenMode fullScreen;
std::string displayModeNote;

// The windows that have an SDL window, taken under the registry's lock.
std::vector<HWND> LiveTopWindows() {
  std::vector<HWND> out;
  std::lock_guard<std::mutex> lock(registryMutex);
  for (HWND w : windows)
    if (w->sdl != nullptr) out.push_back(w);
  return out;
}

void DropShadow(HWND w) {
  if (w->shadow != nullptr) SDL_FreeSurface(w->shadow);
  w->shadow = nullptr;
  w->scaled = false;
}

// A window without a caption whose client area is the accepted full-screen
// mode's rectangle at the origin is shown full screen: in the display's mode
// when it has it, else over the whole desktop with the picture scaled.
bool TakeFullScreen(HWND w, const RECT& c) {
  if (fullScreen.width == 0 || (w->style & WS_CAPTION) == WS_CAPTION || c.left != 0 || c.top != 0 ||
      c.right != fullScreen.width || c.bottom != fullScreen.height)
    return false;
  if (fullScreen.scaled) {
    // The window takes the desktop's rectangle itself as well, so that it
    // covers the desktop where no window manager acts on the request.
    SDL_Rect desktop{};
    if (SDL_GetDisplayBounds(0, &desktop) == 0) {
      SDL_SetWindowBordered(w->sdl, SDL_FALSE);
      SDL_SetWindowPosition(w->sdl, desktop.x, desktop.y);
      SDL_SetWindowSize(w->sdl, desktop.w, desktop.h);
    }
    SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    w->scaled = true;
  } else {
    SDL_DisplayMode wanted{0, fullScreen.width, fullScreen.height, 0, nullptr}, mode{};
    SDL_SetWindowSize(w->sdl, fullScreen.width, fullScreen.height);
    if (SDL_GetClosestDisplayMode(0, &wanted, &mode) != nullptr) SDL_SetWindowDisplayMode(w->sdl, &mode);
    SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN);
    DropShadow(w);
  }
  return true;
}

// Puts the SDL window where the window's client area is.
void PlaceSdlWindow(HWND w) {
  if (w->sdl == nullptr) return;
  RECT c = ClientOnScreen(w);
  if (TakeFullScreen(w, c)) return;
  if ((SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) != 0) SDL_SetWindowFullscreen(w->sdl, 0);
  DropShadow(w);
  SDL_SetWindowBordered(w->sdl, (w->style & WS_CAPTION) == WS_CAPTION ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowSize(w->sdl, std::max<LONG>(1, c.right - c.left), std::max<LONG>(1, c.bottom - c.top));
  SDL_SetWindowPosition(w->sdl, c.left, c.top);
}

LPARAM ClientOriginParam(HWND w) {
  RECT c = ClientOnScreen(w);
  return MAKELPARAM(c.left, c.top);
}

LPARAM ClientSizeParam(HWND w) {
  RECT c = ClientOnScreen(w);
  return MAKELPARAM(c.right - c.left, c.bottom - c.top);
}

// ---------------------------------------------------------------- activation

void Activate(HWND w) {
  if (activeWindow == w) return;
  HWND old = activeWindow;
  activeWindow = w;
  if (old != nullptr && IsLive(old))
    SendMessageA(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, old->minimized ? 1 : 0),
                 reinterpret_cast<LPARAM>(w));
  if (old == nullptr) SendMessageA(w, WM_ACTIVATEAPP, TRUE, 0);
  SendMessageA(w, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, w->minimized ? 1 : 0),
               reinterpret_cast<LPARAM>(old));
}

void Deactivate(HWND w) {
  if (activeWindow != w) return;
  activeWindow = nullptr;
  SendMessageA(w, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, w->minimized ? 1 : 0), 0);
  SendMessageA(w, WM_ACTIVATEAPP, FALSE, 0);
}

// ---------------------------------------------------------------- other processes' windows

HWND__ foreignWindow;

std::string ScopeName(const std::string& className) {
  uint64_t hash = 1469598103934665603ull;
  for (char c : className) {
    char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    hash = (hash ^ static_cast<uint8_t>(upper)) * 1099511628211ull;
  }
  // Windows are found within one desktop session: the user and the display.
  std::string scope = windowScope;
  if (scope.empty()) {
    const char* display = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    scope = "uid" + std::to_string(getuid()) + "@" + (display != nullptr ? display : "") + "/" +
            (wayland != nullptr ? wayland : "");
  }
  char tail[32];
  snprintf(tail, sizeof tail, "%016llx", static_cast<unsigned long long>(hash));
  return "zr-window/" + scope.substr(0, 64) + "/" + tail;
}

// Binds the abstract socket that marks a window of the class as existing.
// Returns the socket, or -1 when the name is taken (or sockets fail).
int BindScopeSocket(const std::string& className) {
  int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return -1;
  std::string name = ScopeName(className);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  memcpy(address.sun_path + 1, name.data(), length);  // leading NUL: abstract name
  socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    close(s);
    return -1;
  }
  return s;
}

bool ExistsElsewhere(const std::string& className) {
  int s = BindScopeSocket(className);
  if (s >= 0) {
    close(s);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- keys

struct KeyCode {
  SDL_Scancode scancode;
  uint8_t vk;
  uint8_t dik;  // the keyboard scan code; 0x80 marks an extended key
};

const KeyCode kKeyCodes[] = {
    {SDL_SCANCODE_ESCAPE, 0x1B, 0x01},    {SDL_SCANCODE_1, '1', 0x02},
    {SDL_SCANCODE_2, '2', 0x03},          {SDL_SCANCODE_3, '3', 0x04},
    {SDL_SCANCODE_4, '4', 0x05},          {SDL_SCANCODE_5, '5', 0x06},
    {SDL_SCANCODE_6, '6', 0x07},          {SDL_SCANCODE_7, '7', 0x08},
    {SDL_SCANCODE_8, '8', 0x09},          {SDL_SCANCODE_9, '9', 0x0A},
    {SDL_SCANCODE_0, '0', 0x0B},          {SDL_SCANCODE_MINUS, 0xBD, 0x0C},
    {SDL_SCANCODE_EQUALS, 0xBB, 0x0D},    {SDL_SCANCODE_BACKSPACE, 0x08, 0x0E},
    {SDL_SCANCODE_TAB, 0x09, 0x0F},       {SDL_SCANCODE_Q, 'Q', 0x10},
    {SDL_SCANCODE_W, 'W', 0x11},          {SDL_SCANCODE_E, 'E', 0x12},
    {SDL_SCANCODE_R, 'R', 0x13},          {SDL_SCANCODE_T, 'T', 0x14},
    {SDL_SCANCODE_Y, 'Y', 0x15},          {SDL_SCANCODE_U, 'U', 0x16},
    {SDL_SCANCODE_I, 'I', 0x17},          {SDL_SCANCODE_O, 'O', 0x18},
    {SDL_SCANCODE_P, 'P', 0x19},          {SDL_SCANCODE_LEFTBRACKET, 0xDB, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0xDD, 0x1B}, {SDL_SCANCODE_RETURN, 0x0D, 0x1C},
    {SDL_SCANCODE_LCTRL, 0x11, 0x1D},     {SDL_SCANCODE_A, 'A', 0x1E},
    {SDL_SCANCODE_S, 'S', 0x1F},          {SDL_SCANCODE_D, 'D', 0x20},
    {SDL_SCANCODE_F, 'F', 0x21},          {SDL_SCANCODE_G, 'G', 0x22},
    {SDL_SCANCODE_H, 'H', 0x23},          {SDL_SCANCODE_J, 'J', 0x24},
    {SDL_SCANCODE_K, 'K', 0x25},          {SDL_SCANCODE_L, 'L', 0x26},
    {SDL_SCANCODE_SEMICOLON, 0xBA, 0x27}, {SDL_SCANCODE_APOSTROPHE, 0xDE, 0x28},
    {SDL_SCANCODE_GRAVE, 0xC0, 0x29},     {SDL_SCANCODE_LSHIFT, 0x10, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0xDC, 0x2B}, {SDL_SCANCODE_Z, 'Z', 0x2C},
    {SDL_SCANCODE_X, 'X', 0x2D},          {SDL_SCANCODE_C, 'C', 0x2E},
    {SDL_SCANCODE_V, 'V', 0x2F},          {SDL_SCANCODE_B, 'B', 0x30},
    {SDL_SCANCODE_N, 'N', 0x31},          {SDL_SCANCODE_M, 'M', 0x32},
    {SDL_SCANCODE_COMMA, 0xBC, 0x33},     {SDL_SCANCODE_PERIOD, 0xBE, 0x34},
    {SDL_SCANCODE_SLASH, 0xBF, 0x35},     {SDL_SCANCODE_RSHIFT, 0x10, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, 0x6A, 0x37}, {SDL_SCANCODE_LALT, 0x12, 0x38},
    {SDL_SCANCODE_SPACE, 0x20, 0x39},     {SDL_SCANCODE_CAPSLOCK, 0x14, 0x3A},
    {SDL_SCANCODE_F1, 0x70, 0x3B},        {SDL_SCANCODE_F2, 0x71, 0x3C},
    {SDL_SCANCODE_F3, 0x72, 0x3D},        {SDL_SCANCODE_F4, 0x73, 0x3E},
    {SDL_SCANCODE_F5, 0x74, 0x3F},        {SDL_SCANCODE_F6, 0x75, 0x40},
    {SDL_SCANCODE_F7, 0x76, 0x41},        {SDL_SCANCODE_F8, 0x77, 0x42},
    {SDL_SCANCODE_F9, 0x78, 0x43},        {SDL_SCANCODE_F10, 0x79, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90, 0x45}, {SDL_SCANCODE_SCROLLLOCK, 0x91, 0x46},
    {SDL_SCANCODE_KP_7, 0x67, 0x47},      {SDL_SCANCODE_KP_8, 0x68, 0x48},
    {SDL_SCANCODE_KP_9, 0x69, 0x49},      {SDL_SCANCODE_KP_MINUS, 0x6D, 0x4A},
    {SDL_SCANCODE_KP_4, 0x64, 0x4B},      {SDL_SCANCODE_KP_5, 0x65, 0x4C},
    {SDL_SCANCODE_KP_6, 0x66, 0x4D},      {SDL_SCANCODE_KP_PLUS, 0x6B, 0x4E},
    {SDL_SCANCODE_KP_1, 0x61, 0x4F},      {SDL_SCANCODE_KP_2, 0x62, 0x50},
    {SDL_SCANCODE_KP_3, 0x63, 0x51},      {SDL_SCANCODE_KP_0, 0x60, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x6E, 0x53}, {SDL_SCANCODE_NONUSBACKSLASH, 0xE2, 0x56},
    {SDL_SCANCODE_F11, 0x7A, 0x57},       {SDL_SCANCODE_F12, 0x7B, 0x58},
    {SDL_SCANCODE_KP_ENTER, 0x0D, 0x9C},  {SDL_SCANCODE_RCTRL, 0x11, 0x9D},
    {SDL_SCANCODE_KP_DIVIDE, 0x6F, 0xB5}, {SDL_SCANCODE_RALT, 0x12, 0xB8},
    {SDL_SCANCODE_PAUSE, 0x13, 0xC5},     {SDL_SCANCODE_HOME, 0x24, 0xC7},
    {SDL_SCANCODE_UP, 0x26, 0xC8},        {SDL_SCANCODE_PAGEUP, 0x21, 0xC9},
    {SDL_SCANCODE_LEFT, 0x25, 0xCB},      {SDL_SCANCODE_RIGHT, 0x27, 0xCD},
    {SDL_SCANCODE_END, 0x23, 0xCF},       {SDL_SCANCODE_DOWN, 0x28, 0xD0},
    {SDL_SCANCODE_PAGEDOWN, 0x22, 0xD1},  {SDL_SCANCODE_INSERT, 0x2D, 0xD2},
    {SDL_SCANCODE_DELETE, 0x2E, 0xD3},
};

const KeyCode* FindKey(SDL_Scancode scancode) {
  for (const KeyCode& k : kKeyCodes)
    if (k.scancode == scancode) return &k;
  return nullptr;
}

WPARAM MouseKeyFlags() {
  WPARAM flags = 0;
  uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
  if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
  if (keyState[VK_SHIFT] & 0x80) flags |= MK_SHIFT;
  if (keyState[VK_CONTROL] & 0x80) flags |= MK_CONTROL;
  return flags;
}

// ---------------------------------------------------------------- SDL events to messages

HWND EventWindow(uint32_t windowId) {
  HWND w = windowId != 0 ? WindowFromSdlId(windowId) : nullptr;
  if (w == nullptr && windowId == 0) w = activeWindow;
  return w;
}

void PostDrop(HWND w, std::vector<std::string> files) {
  if (files.empty() || !w->acceptFiles) return;
  auto* drop = new HDROP__{std::move(files)};
  if (!PostMessageA(w, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) delete drop;
}

void TranslateWindowEvent(const SDL_WindowEvent& e) {
  HWND w = WindowFromSdlId(e.windowID);
  if (w == nullptr) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
      InvalidateRect(w, nullptr, FALSE);
      break;
    case SDL_WINDOWEVENT_MOVED: {
      // A full-screen window keeps the client rectangle the program gave it.
      if ((SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) != 0) break;
      RECT c = ClientOnScreen(w);
      LONG dx = e.data1 - c.left, dy = e.data2 - c.top;
      if (dx == 0 && dy == 0) break;
      w->rect.left += dx;
      w->rect.right += dx;
      w->rect.top += dy;
      w->rect.bottom += dy;
      SendMessageA(w, WM_MOVE, 0, ClientOriginParam(w));
      break;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      if ((SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) != 0) break;
      RECT c = ClientOnScreen(w);
      LONG dw = e.data1 - (c.right - c.left), dh = e.data2 - (c.bottom - c.top);
      if (dw == 0 && dh == 0) break;
      w->rect.right += dw;
      w->rect.bottom += dh;
      SendMessageA(w, WM_SIZE, SIZE_RESTORED, ClientSizeParam(w));
      break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
      if (!w->minimized) {
        w->minimized = true;
        w->style |= WS_MINIMIZE;
        SendMessageA(w, WM_SIZE, SIZE_MINIMIZED, 0);
      }
      break;
    case SDL_WINDOWEVENT_RESTORED:
      if (w->minimized) {
        w->minimized = false;
        w->style &= ~WS_MINIMIZE;
        SendMessageA(w, WM_SIZE, SIZE_RESTORED, ClientSizeParam(w));
      }
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      Activate(w);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      Deactivate(w);
      break;
    case SDL_WINDOWEVENT_CLOSE:
      PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    default:
      break;
  }
}

void TranslateEvent(SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(e.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      HWND w = EventWindow(e.key.windowID);
      const KeyCode* key = FindKey(e.key.keysym.scancode);
      if (key == nullptr) break;
      bool down = e.type == SDL_KEYDOWN;
      deviceKeys[key->dik] = down ? 0x80 : 0;
      if (keyboardNotify != nullptr) SetEvent(keyboardNotify);
      if (w == nullptr) break;
      bool system = (e.key.keysym.mod & KMOD_ALT) != 0 || key->vk == VK_F10 || key->vk == VK_MENU;
      UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
      uint32_t lParam = 1u | (static_cast<uint32_t>(key->dik & 0x7F) << 16);
      if (key->dik & 0x80) lParam |= 1u << 24;
      if (!down)
        lParam |= (1u << 30) | (1u << 31);
      else if (e.key.repeat)
        lParam |= 1u << 30;
      PostMessageA(w, message, key->vk, static_cast<LPARAM>(static_cast<int32_t>(lParam)));
      break;
    }
    case SDL_TEXTEDITING: {
      HWND w = EventWindow(e.edit.windowID);
      if (w != nullptr) ImeTranslateEditing(w, w->imeEnabled != FALSE, e.edit.text, e.edit.start, e.edit.length);
      break;
    }
    case SDL_TEXTEDITING_EXT: {
      HWND w = EventWindow(e.editExt.windowID);
      if (w != nullptr && e.editExt.text != nullptr)
        ImeTranslateEditing(w, w->imeEnabled != FALSE, e.editExt.text, e.editExt.start, e.editExt.length);
      SDL_free(e.editExt.text);
      break;
    }
    case SDL_TEXTINPUT: {
      HWND w = EventWindow(e.text.windowID);
      if (w == nullptr || ImeTranslateText(w, w->imeEnabled != FALSE, e.text.text)) break;
      // One character at a time, so one that Shift-JIS lacks is dropped alone.
      const char* p = e.text.text;
      while (*p != '\0') {
        size_t n = 1;
        unsigned char lead = static_cast<unsigned char>(*p);
        if (lead >= 0xF0)
          n = 4;
        else if (lead >= 0xE0)
          n = 3;
        else if (lead >= 0xC0)
          n = 2;
        n = strnlen(p, n);
        std::string sjis;
        if (Utf8ToSjis(std::string_view(p, n), sjis))
          for (char c : sjis) PostMessageA(w, WM_CHAR, static_cast<uint8_t>(c), 1);
        p += n;
      }
      break;
    }
    case SDL_MOUSEMOTION: {
      deviceMouseDx += e.motion.xrel;
      deviceMouseDy += e.motion.yrel;
      if (mouseNotify != nullptr) SetEvent(mouseNotify);
      HWND w = EventWindow(e.motion.windowID);
      if (w == nullptr) break;
      w->mouse = POINT{e.motion.x, e.motion.y};
      mouseWindow = w;
      SendMessageA(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      PostMessageA(w, WM_MOUSEMOVE, MouseKeyFlags(), MAKELPARAM(e.motion.x, e.motion.y));
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      bool down = e.type == SDL_MOUSEBUTTONDOWN;
      // Device order: left, right, middle, then the further buttons.
      static const int kDeviceButton[] = {-1, 0, 2, 1, 3, 4, 5, 6, 7};
      if (e.button.button < sizeof kDeviceButton / sizeof kDeviceButton[0] && e.button.button != 0) {
        deviceMouseButtons[kDeviceButton[e.button.button]] = down ? 0x80 : 0;
        if (mouseNotify != nullptr) SetEvent(mouseNotify);
      }
      HWND w = EventWindow(e.button.windowID);
      if (w == nullptr) break;
      UINT message;
      switch (e.button.button) {
        case SDL_BUTTON_LEFT:
          message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
          break;
        case SDL_BUTTON_RIGHT:
          message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
          break;
        case SDL_BUTTON_MIDDLE:
          message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
          break;
        default:
          return;
      }
      w->mouse = POINT{e.button.x, e.button.y};
      mouseWindow = w;
      SendMessageA(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, message));
      PostMessageA(w, message, MouseKeyFlags(), MAKELPARAM(e.button.x, e.button.y));
      break;
    }
    case SDL_MOUSEWHEEL: {
      HWND w = EventWindow(e.wheel.windowID);
      int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      deviceWheel += notches * WHEEL_DELTA;
      if (notches != 0 && mouseNotify != nullptr) SetEvent(mouseNotify);
      if (w == nullptr || e.wheel.y == 0) break;
      POINT p{};
      GetCursorPos(&p);
      PostMessageA(w, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(MouseKeyFlags()), notches * WHEEL_DELTA),
                   MAKELPARAM(p.x, p.y));
      break;
    }
    case SDL_DROPBEGIN: {
      HWND w = EventWindow(e.drop.windowID);
      if (w == nullptr) break;
      w->dropOpen = true;
      w->dropping.clear();
      break;
    }
    case SDL_DROPFILE: {
      HWND w = EventWindow(e.drop.windowID);
      if (w != nullptr && e.drop.file != nullptr) {
        std::string path = HostPathToWindows(e.drop.file);
        if (w->dropOpen)
          w->dropping.push_back(std::move(path));
        else
          PostDrop(w, {std::move(path)});
      }
      SDL_free(e.drop.file);
      break;
    }
    case SDL_DROPTEXT:
      SDL_free(e.drop.file);
      break;
    case SDL_DROPCOMPLETE: {
      HWND w = EventWindow(e.drop.windowID);
      if (w == nullptr) break;
      w->dropOpen = false;
      PostDrop(w, std::move(w->dropping));
      w->dropping.clear();
      break;
    }
    default:
      break;
  }
}

void PumpSdlEvents() {
  if (!videoReady || GetCurrentThreadId() != videoThread) return;
  SDL_PumpEvents();
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) TranslateEvent(e);
}

bool Matches(const MSG& m, HWND w, UINT low, UINT high) {
  if (w != nullptr && m.hwnd != w) return false;
  if (low == 0 && high == 0) return true;
  return m.message >= low && m.message <= high;
}

void FillMessage(MSG* msg, HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  msg->hwnd = w;
  msg->message = message;
  msg->wParam = wParam;
  msg->lParam = lParam;
  msg->time = timeGetTime();
  msg->pt = POINT{};
  GetCursorPos(&msg->pt);
}

void SetKeyHeld(WPARAM vk, bool down) {
  if (down)
    keyState[vk] |= 0x80;
  else
    keyState[vk] &= 0x7F;
}

// Keeps the key table as the messages taken so far leave it: the key itself,
// the left or right form of Shift, Control and Alt beside the shared one, and
// the mouse buttons.
void NoteKey(const MSG& m) {
  switch (m.message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      SetKeyHeld(VK_LBUTTON, m.message == WM_LBUTTONDOWN);
      return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      SetKeyHeld(VK_RBUTTON, m.message == WM_RBUTTONDOWN);
      return;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      SetKeyHeld(VK_MBUTTON, m.message == WM_MBUTTONDOWN);
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
      break;
    default:
      return;
  }
  if (m.wParam > 0xFF) return;
  bool down = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
  uint32_t info = static_cast<uint32_t>(m.lParam);
  bool right = (info & (1u << 24)) != 0;  // the extended key: right Control and Alt
  WPARAM vk = m.wParam, left = 0, rightForm = 0;
  if (vk == VK_SHIFT) {
    right = ((info >> 16) & 0xFF) == 0x36;
    left = VK_LSHIFT;
    rightForm = VK_RSHIFT;
  } else if (vk == VK_CONTROL) {
    left = VK_LCONTROL;
    rightForm = VK_RCONTROL;
  } else if (vk == VK_MENU) {
    left = VK_LMENU;
    rightForm = VK_RMENU;
  }
  if (left == 0) {
    SetKeyHeld(vk, down);
    return;
  }
  SetKeyHeld(right ? rightForm : left, down);
  SetKeyHeld(vk, ((keyState[left] | keyState[rightForm]) & 0x80) != 0);
}

}  // namespace

// ---------------------------------------------------------------- message sources

namespace {

std::atomic<void (*)()> messageSources[8];

void PollMessageSources() {
  for (auto& source : messageSources) {
    void (*poll)() = source.load();
    if (poll == nullptr) break;
    poll();
  }
}

}  // namespace

void AddMessageSource(void (*poll)()) {
  static std::mutex addMutex;
  std::lock_guard<std::mutex> lock(addMutex);
  for (auto& source : messageSources) {
    void (*present)() = source.load();
    if (present == poll) return;
    if (present == nullptr) {
      source.store(poll);
      return;
    }
  }
}

// ---------------------------------------------------------------- classes and windows

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
  if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpszClassName == nullptr ||
      wc->lpfnWndProc == nullptr || wc->lpszClassName[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> lock(registryMutex);
  if (FindClassLocked(wc->lpszClassName) != nullptr) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  classes.push_back(ClassEntry{wc->lpszClassName, wc->lpfnWndProc, wc->style, wc->hIcon, wc->hCursor,
                               wc->hbrBackground});
  return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (className == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(registryMutex);
  for (HWND w : windows)
    if (CaseEqual(w->className, className)) return FALSE;
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    if (CaseEqual(it->name, className)) {
      classes.erase(it);
      return TRUE;
    }
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return FALSE;
}

LONG_PTR SetClassLongPtrA(HWND window, int index, LONG_PTR value) {
  std::lock_guard<std::mutex> lock(registryMutex);
  if (!IsLiveLocked(window) || index != GCLP_HICON) return 0;
  ClassEntry* c = FindClassLocked(window->className.c_str());
  if (c == nullptr) return 0;
  LONG_PTR old = reinterpret_cast<LONG_PTR>(c->icon);
  c->icon = reinterpret_cast<HICON>(value);
  return old;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
  if (className == nullptr) return nullptr;
  // A child window shows nothing of its own here: it has no SDL window and
  // only receives messages, so any thread can make one.
  bool child = (style & WS_CHILD) != 0;
  if (!child && (!EnsureVideo() || GetCurrentThreadId() != videoThread)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* w = new HWND__();
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    ClassEntry* c = FindClassLocked(className);
    if (c == nullptr) {
      delete w;
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    w->className = c->name;
    w->proc = c->proc;
  }
  w->text = windowName != nullptr ? windowName : "";
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->acceptFiles = (exStyle & WS_EX_ACCEPTFILES) != 0;
  w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  w->thread = GetCurrentThreadId();
  if (!child) {
    RECT c = ClientOnScreen(w);
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if ((style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    if (exStyle & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    // An OpenGL window where the display offers OpenGL and the Direct3D
    // device would draw with it, so that the device can draw into it; a
    // plain one elsewhere.
    auto create = [&](Uint32 f) {
      return SDL_CreateWindow(ToUtf8(w->text).c_str(), c.left, c.top, std::max<LONG>(1, c.right - c.left),
                              std::max<LONG>(1, c.bottom - c.top), f);
    };
    if (D3D9WindowTakesOpenGL()) w->sdl = create(flags | SDL_WINDOW_OPENGL);
    if (w->sdl == nullptr) w->sdl = create(flags);
    if (w->sdl == nullptr) {
      fprintf(stderr, "SDL window: %s\n", SDL_GetError());
      delete w;
      return nullptr;
    }
    w->sdlId = SDL_GetWindowID(w->sdl);
    w->scopeSocket = BindScopeSocket(w->className);
    TakeFullScreen(w, c);
  }
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    windows.push_back(w);
  }
  if (!child) SDL_StartTextInput();
  SendMessageA(w, WM_CREATE, 0, 0);
  if (!IsLive(w)) return nullptr;
  if (style & WS_VISIBLE) ShowWindow(w, SW_SHOW);
  return w;
}

BOOL DestroyWindow(HWND window) {
  if (!IsLive(window) || window->thread != GetCurrentThreadId()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  SendMessageA(window, WM_DESTROY, 0, 0);
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    auto it = std::find(windows.begin(), windows.end(), window);
    if (it == windows.end()) return TRUE;  // destroyed again from its own WM_DESTROY
    windows.erase(it);
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const TimerEntry& t) { return t.window == window; }),
                 timers.end());
    auto q = queues.find(window->thread);
    if (q != queues.end()) {
      auto& messages = q->second.messages;
      for (auto m = messages.begin(); m != messages.end();) {
        if (m->hwnd == window) {
          if (m->message == WM_DROPFILES) delete reinterpret_cast<HDROP>(m->wParam);
          m = messages.erase(m);
        } else {
          ++m;
        }
      }
    }
  }
  if (activeWindow == window) activeWindow = nullptr;
  if (mouseWindow == window) mouseWindow = nullptr;
  ImeForgetWindow(window);
  if (window->scopeSocket >= 0) close(window->scopeSocket);
  DropShadow(window);
  if (window->sdl != nullptr) SDL_DestroyWindow(window->sdl);
  delete window;
  return TRUE;
}

BOOL IsWindow(HWND window) { return IsLive(window) ? TRUE : FALSE; }

HWND GetDesktopWindow() {
  static HWND__ desktop;
  return &desktop;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    for (HWND w : windows) {
      if (className != nullptr && !CaseEqual(w->className, className)) continue;
      if (windowName != nullptr && w->text != windowName) continue;
      return w;
    }
  }
  if (className != nullptr && windowName == nullptr && ExistsElsewhere(className)) return &foreignWindow;
  return nullptr;
}

BOOL ShowWindow(HWND window, int command) {
  if (!IsLive(window)) return FALSE;
  BOOL wasVisible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      SDL_HideWindow(window->sdl);
      window->style &= ~WS_VISIBLE;
      Deactivate(window);
      break;
    case SW_MINIMIZE:
      SDL_MinimizeWindow(window->sdl);
      window->style |= WS_VISIBLE;
      if (!window->minimized) {
        window->minimized = true;
        window->style |= WS_MINIMIZE;
        SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
      }
      Deactivate(window);
      break;
    default: {  // SW_SHOW, SW_SHOWNORMAL, SW_RESTORE
      SDL_ShowWindow(window->sdl);
      window->style |= WS_VISIBLE;
      if (window->minimized) {
        SDL_RestoreWindow(window->sdl);
        window->minimized = false;
        window->style &= ~WS_MINIMIZE;
        SendMessageA(window, WM_SIZE, SIZE_RESTORED, ClientSizeParam(window));
      }
      if (!wasVisible) InvalidateRect(window, nullptr, TRUE);
      if (!window->shownOnce || command == SW_RESTORE) Activate(window);
      window->shownOnce = true;
      break;
    }
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND window) {
  if (!IsLive(window)) return FALSE;
  if (window->invalid && (window->style & WS_VISIBLE)) SendMessageA(window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL) {
  if (!IsLive(window)) return FALSE;
  RECT c = ClientOnScreen(window);
  RECT whole{0, 0, c.right - c.left, c.bottom - c.top};
  RECT add = rect != nullptr ? *rect : whole;
  if (!window->invalid) {
    window->updateRect = add;
  } else {
    window->updateRect.left = std::min(window->updateRect.left, add.left);
    window->updateRect.top = std::min(window->updateRect.top, add.top);
    window->updateRect.right = std::max(window->updateRect.right, add.right);
    window->updateRect.bottom = std::max(window->updateRect.bottom, add.bottom);
  }
  window->invalid = true;
  return TRUE;
}

BOOL IsIconic(HWND window) { return IsLive(window) && window->minimized ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND window) {
  return IsLive(window) && (window->style & WS_VISIBLE) ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  if (!IsLive(window)) return FALSE;
  window->text = text != nullptr ? text : "";
  SDL_SetWindowTitle(window->sdl, ToUtf8(window->text).c_str());
  return TRUE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  if (!IsLive(window) || buffer == nullptr || size <= 0) return 0;
  size_t n = std::min(window->text.size(), static_cast<size_t>(size - 1));
  memcpy(buffer, window->text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

LONG GetWindowLongA(HWND window, int index) {
  if (!IsLive(window)) return 0;
  if (index == GWL_STYLE) return static_cast<LONG>(window->style);
  if (index == GWL_EXSTYLE) return static_cast<LONG>(window->exStyle);
  return 0;
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  if (!IsLive(window)) return 0;
  LONG old = GetWindowLongA(window, index);
  if (index == GWL_STYLE) {
    window->style = static_cast<DWORD>(value);
    if (window->minimized) window->style |= WS_MINIMIZE;
    PlaceSdlWindow(window);
  } else if (index == GWL_EXSTYLE) {
    window->exStyle = static_cast<DWORD>(value);
    window->acceptFiles = (window->exStyle & WS_EX_ACCEPTFILES) != 0;
    PlaceSdlWindow(window);
  }
  return old;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  if (!IsLive(window)) return FALSE;
  RECT old = window->rect;
  RECT& r = window->rect;
  if (!(flags & SWP_NOMOVE)) {
    r.right += x - r.left;
    r.bottom += y - r.top;
    r.left = x;
    r.top = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(width, 0);
    r.bottom = r.top + std::max(height, 0);
  }
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST) {
      window->exStyle |= WS_EX_TOPMOST;
      SDL_SetWindowAlwaysOnTop(window->sdl, SDL_TRUE);
    } else if (insertAfter == HWND_NOTOPMOST) {
      window->exStyle &= ~WS_EX_TOPMOST;
      SDL_SetWindowAlwaysOnTop(window->sdl, SDL_FALSE);
    }
  }
  PlaceSdlWindow(window);
  bool moved = old.left != r.left || old.top != r.top;
  bool sized = old.right - old.left != r.right - r.left || old.bottom - old.top != r.bottom - r.top;
  if (sized) InvalidateRect(window, nullptr, TRUE);
  if (moved) SendMessageA(window, WM_MOVE, 0, ClientOriginParam(window));
  if (sized && IsLive(window)) SendMessageA(window, WM_SIZE, SIZE_RESTORED, ClientSizeParam(window));
  if ((flags & SWP_SHOWWINDOW) && IsLive(window)) ShowWindow(window, SW_SHOW);
  return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  if (!IsLive(window) || rect == nullptr) return FALSE;
  *rect = window->rect;
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  if (!IsLive(window) || rect == nullptr) return FALSE;
  RECT c = ClientOnScreen(window);
  *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  if (!IsLive(window) || point == nullptr) return FALSE;
  RECT c = ClientOnScreen(window);
  point->x += c.left;
  point->y += c.top;
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD exStyle) {
  if (rect == nullptr) return FALSE;
  RECT in = FrameInsets(style, exStyle);
  rect->left -= in.left;
  rect->top -= in.top;
  rect->right += in.right;
  rect->bottom += in.bottom;
  return TRUE;
}

BOOL BringWindowToTop(HWND window) {
  if (!IsLive(window)) return FALSE;
  SDL_RaiseWindow(window->sdl);
  return TRUE;
}

HWND SetActiveWindow(HWND window) {
  HWND previous = activeWindow;
  if (IsLive(window)) Activate(window);
  return previous;
}

HWND GetForegroundWindow() { return activeWindow; }

BOOL SetForegroundWindow(HWND window) {
  if (!IsLive(window)) return FALSE;
  SDL_RaiseWindow(window->sdl);
  Activate(window);
  return TRUE;
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
  if (!IsLive(window)) return 0;
  if (processId != nullptr) *processId = static_cast<DWORD>(getpid());
  return window->thread;
}

BOOL AttachThreadInput(DWORD, DWORD, BOOL) { return TRUE; }

// ---------------------------------------------------------------- messages

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (msg == nullptr) return FALSE;
  PumpSdlEvents();
  PollMessageSources();
  DWORD thread = GetCurrentThreadId();
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    ThreadQueue& q = queues[thread];
    for (auto it = q.messages.begin(); it != q.messages.end(); ++it) {
      if (!Matches(*it, window, filterMin, filterMax)) continue;
      *msg = *it;
      if (removeFlags & PM_REMOVE) {
        q.messages.erase(it);
        NoteKey(*msg);
      }
      return TRUE;
    }
    bool quitWanted = window == nullptr && ((filterMin == 0 && filterMax == 0) ||
                                            (WM_QUIT >= filterMin && WM_QUIT <= filterMax));
    if (q.quitPosted && quitWanted) {
      int code = q.quitCode;
      if (removeFlags & PM_REMOVE) q.quitPosted = false;
      msg->hwnd = nullptr;
      msg->message = WM_QUIT;
      msg->wParam = static_cast<WPARAM>(code);
      msg->lParam = 0;
      msg->time = timeGetTime();
      msg->pt = POINT{};
      return TRUE;
    }
  }
  HWND paint = nullptr;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    for (HWND w : windows)
      if (w->thread == thread && w->invalid && (w->style & WS_VISIBLE) &&
          (window == nullptr || w == window)) {
        paint = w;
        break;
      }
  }
  if (paint != nullptr && Matches(MSG{paint, WM_PAINT, 0, 0, 0, {}}, window, filterMin, filterMax)) {
    FillMessage(msg, paint, WM_PAINT, 0, 0);
    return TRUE;
  }
  const DWORD now = timeGetTime();
  std::lock_guard<std::mutex> lock(registryMutex);
  for (TimerEntry& t : timers) {
    if (t.window->thread != thread || static_cast<int32_t>(now - t.due) < 0 ||
        !Matches(MSG{t.window, WM_TIMER, 0, 0, 0, {}}, window, filterMin, filterMax))
      continue;
    msg->hwnd = t.window;
    msg->message = WM_TIMER;
    msg->wParam = t.id;
    msg->lParam = reinterpret_cast<LPARAM>(t.proc);
    msg->time = now;
    msg->pt = POINT{};
    if (removeFlags & PM_REMOVE) t.due = now + t.elapse;
    return TRUE;
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  bool control = (keyState[VK_CONTROL] & 0x80) != 0;
  WPARAM vk = msg->wParam;
  int code = 0;
  if (vk == VK_BACK)
    code = 8;
  else if (vk == VK_TAB)
    code = 9;
  else if (vk == VK_RETURN)
    code = control ? 10 : 13;
  else if (vk == VK_ESCAPE)
    code = 27;
  else if (control && vk >= 'A' && vk <= 'Z')
    code = static_cast<int>(vk - 'A' + 1);
  if (code == 0) return FALSE;
  MSG ch = *msg;
  ch.message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  ch.wParam = static_cast<WPARAM>(code);
  std::lock_guard<std::mutex> lock(registryMutex);
  queues[GetCurrentThreadId()].messages.push_front(ch);  // the character comes next
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr || !IsLive(msg->hwnd)) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, timeGetTime());
    return 0;
  }
  return msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m;
  FillMessage(&m, window, message, wParam, lParam);
  std::lock_guard<std::mutex> lock(registryMutex);
  DWORD thread = GetCurrentThreadId();
  if (window != nullptr) {
    if (!IsLiveLocked(window)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    thread = window->thread;
  }
  queues[thread].messages.push_back(m);
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsLive(window)) return 0;
  if (window->thread != GetCurrentThreadId()) {
    PostMessageA(window, message, wParam, lParam);
    return 0;
  }
  return window->proc(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  std::lock_guard<std::mutex> lock(registryMutex);
  ThreadQueue& q = queues[GetCurrentThreadId()];
  q.quitPosted = true;
  q.quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
      if ((wParam & 0xFFF0) == SC_MINIMIZE) ShowWindow(window, SW_MINIMIZE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SETCURSOR: {
      if (LOWORD(static_cast<uintptr_t>(lParam)) != HTCLIENT) return FALSE;
      HCURSOR cursor = nullptr;
      {
        std::lock_guard<std::mutex> lock(registryMutex);
        if (!IsLiveLocked(window)) return FALSE;
        ClassEntry* c = FindClassLocked(window->className.c_str());
        if (c != nullptr) cursor = c->cursor;
      }
      if (cursor == nullptr) return FALSE;
      SetCursor(cursor);
      return TRUE;
    }
    case WM_NCHITTEST:
      return HTCLIENT;
    default:
      return 0;
  }
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  std::lock_guard<std::mutex> lock(registryMutex);
  if (!IsLiveLocked(window) || id == 0) return 0;
  const DWORD due = timeGetTime() + elapse;
  for (TimerEntry& t : timers) {
    if (t.window == window && t.id == id) {
      t = {window, id, elapse, proc, due};
      return id;
    }
  }
  timers.push_back({window, id, elapse, proc, due});
  return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  std::lock_guard<std::mutex> lock(registryMutex);
  for (auto it = timers.begin(); it != timers.end(); ++it) {
    if (it->window == window && it->id == id) {
      timers.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}

// ---------------------------------------------------------------- painting and the screen

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (!IsLive(window) || paint == nullptr) return nullptr;
  memset(paint, 0, sizeof *paint);
  paint->hdc = new HDC__{window};
  windowDcs.insert(paint->hdc);
  paint->fErase = TRUE;
  if (window->invalid) paint->rcPaint = window->updateRect;
  window->invalid = false;
  return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint == nullptr || paint->hdc == nullptr || paint->hdc == &screenDc) return FALSE;
  windowDcs.erase(paint->hdc);
  delete paint->hdc;
  return TRUE;
}

HDC GetDC(HWND window) {
  if (window == nullptr) return &screenDc;
  if (!IsLive(window)) return nullptr;
  HDC dc = new HDC__{window};
  windowDcs.insert(dc);
  return dc;
}

int ReleaseDC(HWND, HDC dc) {
  if (dc == nullptr) return 0;
  if (dc != &screenDc && windowDcs.erase(dc) != 0) delete dc;
  return 1;
}

int GetDeviceCaps(HDC dc, int index) {
  if (dc == nullptr || !EnsureVideo()) return 0;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
  switch (index) {
    case BITSPIXEL: {
      if (desktopBitsOverride != 0) return desktopBitsOverride;
      int bytes = SDL_BYTESPERPIXEL(mode.format);  // X11's depth 24 is 32 bits a pixel
      return bytes > 0 ? bytes * 8 : 32;
    }
    case PLANES:
      return 1;
    case HORZRES:
      return mode.w;
    case VERTRES:
      return mode.h;
    default:
      return 0;
  }
}

HGDIOBJ GetStockObject(int object) {
  if (object < 0 || object >= static_cast<int>(sizeof stockObjects / sizeof stockObjects[0])) return nullptr;
  return &stockObjects[object];
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (dc == nullptr || rect == nullptr || brush == nullptr) return 0;
  if (brush->hollow || dc->window == nullptr) return 1;
  if (!IsLive(dc->window)) return 0;
  SDL_Surface* surface = SDL_GetWindowSurface(dc->window->sdl);
  if (surface == nullptr) return 0;
  SDL_Rect r{rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top};
  if (r.w <= 0 || r.h <= 0) return 1;
  SDL_FillRect(surface, &r, SDL_MapRGB(surface->format, brush->gray, brush->gray, brush->gray));
  SDL_UpdateWindowSurfaceRects(dc->window->sdl, &r, 1);
  return 1;
}

int GetSystemMetrics(int index) {
  if (!EnsureVideo()) return 0;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
  if (index == SM_CXSCREEN) return mode.w;
  if (index == SM_CYSCREEN) return mode.h;
  return 0;
}

BOOL SystemParametersInfoA(UINT action, UINT param, void* value, UINT) {
  switch (action) {
    case SPI_SETSCREENSAVEACTIVE:
      screenSaverActive = param != 0 ? TRUE : FALSE;
      if (videoReady) {
        if (screenSaverActive)
          SDL_EnableScreenSaver();
        else
          SDL_DisableScreenSaver();
      }
      return TRUE;
    case SPI_GETSCREENSAVEACTIVE:
      if (value == nullptr) return FALSE;
      *static_cast<BOOL*>(value) = screenSaverActive;
      return TRUE;
    case SPI_GETFOREGROUNDLOCKTIMEOUT:
      if (value == nullptr) return FALSE;
      *static_cast<DWORD*>(value) = foregroundLockTimeout;
      return TRUE;
    case SPI_SETFOREGROUNDLOCKTIMEOUT:
      foregroundLockTimeout = static_cast<DWORD>(reinterpret_cast<uintptr_t>(value));
      return TRUE;
    default:
      return FALSE;
  }
}

namespace {

struct DisplayMode {
  DWORD width, height, bits, frequency;
  bool operator==(const DisplayMode&) const = default;
};

// The screens a program may ask for that every display can show: a display
// without one of these modes shows it scaled to the desktop.
constexpr DWORD kScaledModes[][2] = {{640, 480}};
bool offerScaledModes = true;

std::vector<DisplayMode> NativeDisplayModes() {
  std::vector<DisplayMode> modes;
  if (!EnsureVideo()) return modes;
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w <= 0 || m.h <= 0) continue;
    for (DWORD bits : {16u, 32u}) {
      DisplayMode mode{static_cast<DWORD>(m.w), static_cast<DWORD>(m.h), bits, static_cast<DWORD>(m.refresh_rate)};
      if (std::find(modes.begin(), modes.end(), mode) == modes.end()) modes.push_back(mode);
    }
  }
  return modes;
}

bool HasSize(const std::vector<DisplayMode>& modes, DWORD width, DWORD height) {
  for (const DisplayMode& m : modes)
    if (m.width == width && m.height == height) return true;
  return false;
}

// The display's modes, then the scaled screens it lacks (at the desktop's
// refresh rate) where the desktop is at least that large.
std::vector<DisplayMode> ListDisplayModes() {
  std::vector<DisplayMode> modes = NativeDisplayModes();
  SDL_DisplayMode desktop{};
  if (!offerScaledModes || modes.empty() || SDL_GetDesktopDisplayMode(0, &desktop) != 0) return modes;
  for (const auto& size : kScaledModes) {
    if (HasSize(modes, size[0], size[1]) || static_cast<DWORD>(desktop.w) < size[0] ||
        static_cast<DWORD>(desktop.h) < size[1])
      continue;
    for (DWORD bits : {16u, 32u})
      modes.push_back({size[0], size[1], bits, static_cast<DWORD>(desktop.refresh_rate)});
  }
  return modes;
}

void FillDevMode(DEVMODEA* out, const DisplayMode& mode) {
  memset(out, 0, sizeof *out);
  out->dmSize = sizeof *out;
  out->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  out->dmBitsPerPel = mode.bits;
  out->dmPelsWidth = mode.width;
  out->dmPelsHeight = mode.height;
  out->dmDisplayFrequency = mode.frequency;
}

}  // namespace

BOOL EnumDisplaySettingsA(LPCSTR, DWORD index, DEVMODEA* mode) {
  if (mode == nullptr) return FALSE;
  if (index == ENUM_CURRENT_SETTINGS) {
    SDL_DisplayMode m{};
    if (!EnsureVideo() || SDL_GetDesktopDisplayMode(0, &m) != 0) return FALSE;
    FillDevMode(mode, {static_cast<DWORD>(m.w), static_cast<DWORD>(m.h),
                       static_cast<DWORD>(GetDeviceCaps(&screenDc, BITSPIXEL)), static_cast<DWORD>(m.refresh_rate)});
    return TRUE;
  }
  const std::vector<DisplayMode> modes = ListDisplayModes();
  if (index >= modes.size()) return FALSE;
  FillDevMode(mode, modes[index]);
  return TRUE;
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD) {
  if (mode == nullptr) {
    // Back to the desktop: full-screen windows become windows again.
    fullScreen = FullScreenMode{};
    displayModeNote.clear();
    for (HWND w : LiveTopWindows())
      if ((SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) != 0) PlaceSdlWindow(w);
    return DISP_CHANGE_SUCCESSFUL;
  }
  const std::vector<DisplayMode> native = NativeDisplayModes();
  for (const DisplayMode& m : ListDisplayModes()) {
    if (((mode->dmFields & DM_PELSWIDTH) == 0 || mode->dmPelsWidth == m.width) &&
        ((mode->dmFields & DM_PELSHEIGHT) == 0 || mode->dmPelsHeight == m.height) &&
        ((mode->dmFields & DM_BITSPERPEL) == 0 || mode->dmBitsPerPel == m.bits) &&
        ((mode->dmFields & DM_DISPLAYFREQUENCY) == 0 || mode->dmDisplayFrequency == m.frequency)) {
      fullScreen.width = static_cast<int>(m.width);
      fullScreen.height = static_cast<int>(m.height);
      fullScreen.scaled = !HasSize(native, m.width, m.height);
      char note[160];
      if (fullScreen.scaled) {
        SDL_DisplayMode desktop{};
        SDL_GetDesktopDisplayMode(0, &desktop);
        double scale = std::min(static_cast<double>(desktop.w) / m.width, static_cast<double>(desktop.h) / m.height);
        snprintf(note, sizeof note,
                 "フルスクリーン: 表示モード %u x %u がないため デスクトップ %d x %d に縦横比を保って拡大します (%d x %d)",
                 static_cast<unsigned>(m.width), static_cast<unsigned>(m.height), desktop.w, desktop.h,
                 static_cast<int>(m.width * scale), static_cast<int>(m.height * scale));
      } else {
        snprintf(note, sizeof note, "フルスクリーン: 表示モード %u x %u を使います", static_cast<unsigned>(m.width),
                 static_cast<unsigned>(m.height));
      }
      displayModeNote = note;
      OutputDebugStringA((displayModeNote + "\n").c_str());
      for (HWND w : LiveTopWindows()) PlaceSdlWindow(w);
      return DISP_CHANGE_SUCCESSFUL;
    }
  }
  return DISP_CHANGE_BADMODE;
}

const char* PlatformDisplayModeNote() { return displayModeNote.empty() ? nullptr : displayModeNote.c_str(); }

// ---------------------------------------------------------------- cursor, icons

HICON LoadIconA(HINSTANCE, LPCSTR name) {
  static std::map<uintptr_t, HICON__> icons;
  uintptr_t id = reinterpret_cast<uintptr_t>(name);
  if (id > 0xFFFF) return nullptr;  // only resource numbers exist here
  auto it = icons.emplace(id, HICON__{static_cast<int>(id)}).first;
  return &it->second;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
  return reinterpret_cast<uintptr_t>(name) == IDC_ARROW ? &arrowCursor : nullptr;
}

int ShowCursor(BOOL show) {
  cursorCount += show ? 1 : -1;
  ApplyCursor();
  return cursorCount;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = currentCursor;
  currentCursor = cursor;
  ApplyCursor();
  return old;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) return FALSE;
  *point = POINT{};
  if (mouseWindow != nullptr && IsLive(mouseWindow)) {
    *point = mouseWindow->mouse;
    ClientToScreen(mouseWindow, point);
  }
  return TRUE;
}

// ---------------------------------------------------------------- keyboard state

BOOL GetKeyboardState(BYTE state[256]) {
  if (state == nullptr) return FALSE;
  memcpy(state, keyState, sizeof keyState);
  return TRUE;
}

// ---------------------------------------------------------------- input devices

void PumpInputEvents() { PumpSdlEvents(); }

void ReadDeviceKeys(uint8_t out[256]) { memcpy(out, deviceKeys, sizeof deviceKeys); }

static int32_t ClampToInt32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

void ReadDeviceMouse(int32_t* dx, int32_t* dy, int32_t* wheel, uint8_t buttons[8]) {
  *dx = ClampToInt32(deviceMouseDx);
  *dy = ClampToInt32(deviceMouseDy);
  *wheel = ClampToInt32(deviceWheel);
  deviceMouseDx = deviceMouseDy = deviceWheel = 0;
  memcpy(buttons, deviceMouseButtons, sizeof deviceMouseButtons);
}

void SetKeyboardNotifyEvent(HANDLE event) { keyboardNotify = event; }

void SetMouseNotifyEvent(HANDLE event) { mouseNotify = event; }

// ---------------------------------------------------------------- IME switch, dropped files

BOOL WINNLSEnableIME(HWND window, BOOL enable) {
  if (!IsLive(window)) return FALSE;
  BOOL old = window->imeEnabled;
  window->imeEnabled = enable;
  return old;
}

void DragAcceptFiles(HWND window, BOOL accept) {
  if (IsLive(window)) window->acceptFiles = accept != FALSE;
}

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size) {
  if (drop == nullptr) return 0;
  if (index == 0xFFFFFFFFu) return static_cast<UINT>(drop->files.size());
  if (index >= drop->files.size()) return 0;
  const std::string& path = drop->files[index];
  if (buffer == nullptr || size == 0) return static_cast<UINT>(path.size());
  size_t n = std::min(path.size(), static_cast<size_t>(size - 1));
  memcpy(buffer, path.data(), n);
  buffer[n] = '\0';
  return static_cast<UINT>(n);
}

void DragFinish(HDROP drop) { delete drop; }

// ---------------------------------------------------------------- clipboard and global memory

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  auto* block = new GlobalBlock();
  block->bytes.assign(bytes, 0);
  (void)flags;  // always zeroed and never moved
  return block;
}

void* GlobalLock(HGLOBAL memory) {
  GlobalBlock* block = AsGlobal(memory);
  if (block == nullptr) return nullptr;
  return block->bytes.empty() ? static_cast<void*>(block) : block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL memory) { return AsGlobal(memory) != nullptr ? TRUE : FALSE; }

size_t GlobalSize(HGLOBAL memory) {
  GlobalBlock* block = AsGlobal(memory);
  return block != nullptr ? block->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
  GlobalBlock* block = AsGlobal(memory);
  if (block == nullptr) return memory;
  block->magic = 0;
  delete block;
  return nullptr;
}

BOOL OpenClipboard(HWND) {
  if (clipboardOpen || !EnsureVideo()) return FALSE;
  clipboardOpen = true;
  return TRUE;
}

BOOL CloseClipboard() {
  if (!clipboardOpen) return FALSE;
  clipboardOpen = false;
  return TRUE;
}

BOOL EmptyClipboard() {
  if (!clipboardOpen) return FALSE;
  SDL_SetClipboardText("");
  return TRUE;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  return format == CF_TEXT && EnsureVideo() && SDL_HasClipboardText() ? TRUE : FALSE;
}

HANDLE GetClipboardData(UINT format) {
  if (!clipboardOpen || format != CF_TEXT || !SDL_HasClipboardText()) return nullptr;
  char* utf8 = SDL_GetClipboardText();
  if (utf8 == nullptr) return nullptr;
  std::string sjis;
  Utf8ToSjis(utf8, sjis);
  SDL_free(utf8);
  if (sjis.empty()) return nullptr;
  if (clipboardData != nullptr) GlobalFree(clipboardData);
  clipboardData = GlobalAlloc(GMEM_MOVEABLE, sjis.size() + 1);
  memcpy(GlobalLock(clipboardData), sjis.c_str(), sjis.size() + 1);
  return clipboardData;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  GlobalBlock* block = AsGlobal(data);
  if (!clipboardOpen || format != CF_TEXT || block == nullptr) return nullptr;
  std::string sjis(block->bytes.data(), strnlen(block->bytes.data(), block->bytes.size()));
  SDL_SetClipboardText(ToUtf8(sjis).c_str());
  GlobalFree(data);
  return data;
}

// ---------------------------------------------------------------- message box

namespace {
std::atomic<PlatformMessageBoxHook> messageBoxHook{nullptr};
}  // namespace

void PlatformSetMessageBoxHook(PlatformMessageBoxHook hook) { messageBoxHook.store(hook); }

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (PlatformMessageBoxHook hook = messageBoxHook.load())
    return hook(text != nullptr ? text : "", caption != nullptr ? caption : "", type);
  std::string body = ToUtf8(text != nullptr ? text : "");
  std::string title = ToUtf8(caption != nullptr ? caption : "Error");
  fprintf(stderr, "%s: %s\n", title.c_str(), body.c_str());
  const char* driver = videoReady ? SDL_GetCurrentVideoDriver() : getenv("SDL_VIDEODRIVER");
  if (driver != nullptr && (strcmp(driver, "dummy") == 0 || strcmp(driver, "offscreen") == 0))
    return IDOK;
  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  if ((type & 0xF0) == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
  if ((type & 0xF0) == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
  SDL_Window* parent = IsLive(owner) ? owner->sdl : nullptr;
  SDL_ShowSimpleMessageBox(flags, title.c_str(), body.c_str(), parent);
  return IDOK;
}

// ---------------------------------------------------------------- tests only

void PlatformSetWindowScope(const char* scope) { windowScope = scope != nullptr ? scope : ""; }

uint32_t PlatformSdlWindowId(HWND window) { return IsLive(window) ? window->sdlId : 0; }

SDL_Window* PlatformSdlWindow(HWND window) { return IsLive(window) ? window->sdl : nullptr; }

bool PlatformRestartVideo() {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    if (!windows.empty()) return false;
  }
  QuitVideo();
  return true;
}

int PlatformScancodeOfKeyCode(int keyCode) {
  for (const KeyCode& k : kKeyCodes)
    if (k.dik == keyCode) return k.scancode;
  return 0;
}

void PlatformSetDesktopColorBits(int bits) { desktopBitsOverride = bits; }

void PlatformOfferScaledDisplayModes(bool offer) { offerScaledModes = offer; }

bool PlatformCursorVisible() { return cursorShown; }

uint32_t PlatformWindowPixel(HWND window, int x, int y) {
  if (!IsLive(window) || window->sdl == nullptr) return 0;
  SDL_Surface* surface = SDL_GetWindowSurface(window->sdl);
  if (surface == nullptr || x < 0 || y < 0 || x >= surface->w || y >= surface->h) return 0;
  if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
  const uint8_t* p = static_cast<const uint8_t*>(surface->pixels) + static_cast<int64_t>(y) * surface->pitch +
                     x * surface->format->BytesPerPixel;
  uint32_t value = 0;
  memcpy(&value, p, surface->format->BytesPerPixel);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  uint8_t r, g, b;
  SDL_GetRGB(value, surface->format, &r, &g, &b);
  return static_cast<uint32_t>(r) << 16 | g << 8 | b;
}

// ---------------------------------------------------------------- window pixels for the GDI blits

namespace {

// The surface that holds a window's client pixels: the window's own, or for
// a scaled full-screen window the shadow of the client area's size.
SDL_Surface* ClientSurface(HWND w) {
  SDL_Surface* surface = SDL_GetWindowSurface(w->sdl);
  if (surface == nullptr || !w->scaled) return surface;
  RECT c = ClientOnScreen(w);
  int width = std::max<LONG>(1, c.right - c.left), height = std::max<LONG>(1, c.bottom - c.top);
  if (w->shadow == nullptr || w->shadow->w != width || w->shadow->h != height ||
      w->shadow->format->format != surface->format->format) {
    if (w->shadow != nullptr) SDL_FreeSurface(w->shadow);
    w->shadow = SDL_CreateRGBSurfaceWithFormat(0, width, height, surface->format->BitsPerPixel, surface->format->format);
    if (w->shadow != nullptr) SDL_FillRect(w->shadow, nullptr, SDL_MapRGB(w->shadow->format, 0, 0, 0));
  }
  return w->shadow;
}

}  // namespace

bool PlatformScaledRect(SDL_Window* window, int width, int height, SDL_Rect* out) {
  HWND w = nullptr;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    for (HWND candidate : windows)
      if (candidate->sdl == window) w = candidate;
  }
  if (w == nullptr || !w->scaled) return false;
  RECT c = ClientOnScreen(w);
  double cw = std::max<LONG>(1, c.right - c.left), ch = std::max<LONG>(1, c.bottom - c.top);
  double scale = std::min(width / cw, height / ch);
  out->w = static_cast<int>(cw * scale);
  out->h = static_cast<int>(ch * scale);
  out->x = (width - out->w) / 2;
  out->y = (height - out->h) / 2;
  return true;
}

bool PlatformLockWindowPixels(HDC dc, PlatformWindowPixels* out) {
  if (windowDcs.count(dc) == 0 || !IsLive(dc->window) || dc->window->sdl == nullptr) return false;
  SDL_Surface* surface = ClientSurface(dc->window);
  if (surface == nullptr) return false;
  const int bytes = surface->format->BytesPerPixel;
  if (bytes != 2 && bytes != 4) return false;
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
  out->pixels = static_cast<uint8_t*>(surface->pixels);
  out->pitch = surface->pitch;
  out->width = surface->w;
  out->height = surface->h;
  out->bits = bytes * 8;
  out->masks[0] = surface->format->Rmask;
  out->masks[1] = surface->format->Gmask;
  out->masks[2] = surface->format->Bmask;
  return true;
}

void PlatformUnlockWindowPixels(HDC dc, const RECT* changed) {
  SDL_Surface* surface = ClientSurface(dc->window);
  if (surface == nullptr) return;
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  if (changed == nullptr) return;
  if (dc->window->scaled) {
    // The whole client area, scaled into the middle of the desktop with
    // black bars beside or above and below it.
    SDL_Surface* screen = SDL_GetWindowSurface(dc->window->sdl);
    SDL_Rect to;
    if (screen == nullptr || !PlatformScaledRect(dc->window->sdl, screen->w, screen->h, &to)) return;
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
    SDL_BlitScaled(surface, nullptr, screen, &to);
    SDL_UpdateWindowSurface(dc->window->sdl);
    return;
  }
  SDL_Rect r{changed->left, changed->top, changed->right - changed->left, changed->bottom - changed->top};
  if (r.w > 0 && r.h > 0) SDL_UpdateWindowSurfaceRects(dc->window->sdl, &r, 1);
}
