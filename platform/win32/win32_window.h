// Windows, window classes, the thread message queue, painting, the cursor,
// the clipboard, dropped files and message boxes, over SDL2.
//
// Every window belongs to the thread that created it; that thread must be
// the one that first used the window functions (SDL's video thread), and
// PeekMessageA called on it turns SDL's events into window messages. Input,
// close, paint and dropped-file messages are queued; activation, move and
// size messages are sent straight to the window procedure, as Windows sends
// them rather than posting them.
#pragma once

#include "platform/win32/win32_types.h"

struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HICON__;
typedef HICON__* HICON;
typedef HICON HCURSOR;
struct HMENU__;
typedef HMENU__* HMENU;
struct HDC__;
typedef HDC__* HDC;
struct HGDIOBJ__;
typedef HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ HBRUSH;
struct HDROP__;
typedef HDROP__* HDROP;
typedef HANDLE HGLOBAL;

typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t LONG_PTR;
typedef WORD ATOM;
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef uintptr_t UINT_PTR;
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct WNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

inline constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline constexpr LPARAM MAKELPARAM(int low, int high) {
  return static_cast<LPARAM>(static_cast<int32_t>((static_cast<uint32_t>(low) & 0xFFFF) |
                                                  (static_cast<uint32_t>(high) << 16)));
}
inline constexpr WPARAM MAKEWPARAM(int low, int high) {
  return static_cast<WPARAM>((static_cast<uint32_t>(low) & 0xFFFF) |
                             ((static_cast<uint32_t>(high) & 0xFFFF) << 16));
}
inline LPCSTR MAKEINTRESOURCEA(int id) {
  return reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<WORD>(id)));
}

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_IME_STARTCOMPOSITION = 0x010D;
constexpr UINT WM_IME_ENDCOMPOSITION = 0x010E;
constexpr UINT WM_IME_COMPOSITION = 0x010F;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_SIZING = 0x0214;
constexpr UINT WM_MOVING = 0x0216;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_IME_SETCONTEXT = 0x0281;
constexpr UINT WM_IME_NOTIFY = 0x0282;
constexpr UINT WM_USER = 0x0400;

// Message parameters.
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_SCREENSAVE = 0xF140;
constexpr WPARAM SC_MONITORPOWER = 0xF170;
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTMENU = 5;
constexpr WPARAM MK_LBUTTON = 0x1;
constexpr WPARAM MK_RBUTTON = 0x2;
constexpr WPARAM MK_SHIFT = 0x4;
constexpr WPARAM MK_CONTROL = 0x8;
constexpr WPARAM MK_MBUTTON = 0x10;
constexpr int WHEEL_DELTA = 120;
// WM_SIZING edges.
constexpr WPARAM WMSZ_LEFT = 1;
constexpr WPARAM WMSZ_RIGHT = 2;
constexpr WPARAM WMSZ_TOP = 3;
constexpr WPARAM WMSZ_TOPLEFT = 4;
constexpr WPARAM WMSZ_TOPRIGHT = 5;
constexpr WPARAM WMSZ_BOTTOM = 6;
constexpr WPARAM WMSZ_BOTTOMLEFT = 7;
constexpr WPARAM WMSZ_BOTTOMRIGHT = 8;

// Virtual-key codes of the keys the library names.
constexpr WPARAM VK_LBUTTON = 0x01;
constexpr WPARAM VK_RBUTTON = 0x02;
constexpr WPARAM VK_MBUTTON = 0x04;
constexpr WPARAM VK_BACK = 0x08;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_SHIFT = 0x10;
constexpr WPARAM VK_CONTROL = 0x11;
constexpr WPARAM VK_MENU = 0x12;
constexpr WPARAM VK_PAUSE = 0x13;
constexpr WPARAM VK_CAPITAL = 0x14;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_SPACE = 0x20;
constexpr WPARAM VK_PRIOR = 0x21;
constexpr WPARAM VK_NEXT = 0x22;
constexpr WPARAM VK_END = 0x23;
constexpr WPARAM VK_HOME = 0x24;
constexpr WPARAM VK_LEFT = 0x25;
constexpr WPARAM VK_UP = 0x26;
constexpr WPARAM VK_RIGHT = 0x27;
constexpr WPARAM VK_DOWN = 0x28;
constexpr WPARAM VK_INSERT = 0x2D;
constexpr WPARAM VK_DELETE = 0x2E;
// '0' to '9' and 'A' to 'Z' are their own codes.
constexpr WPARAM VK_NUMPAD0 = 0x60;  // to VK_NUMPAD9 = 0x69
constexpr WPARAM VK_MULTIPLY = 0x6A;
constexpr WPARAM VK_ADD = 0x6B;
constexpr WPARAM VK_SUBTRACT = 0x6D;
constexpr WPARAM VK_DECIMAL = 0x6E;
constexpr WPARAM VK_DIVIDE = 0x6F;
constexpr WPARAM VK_F1 = 0x70;  // to VK_F12 = 0x7B
constexpr WPARAM VK_F10 = 0x79;
constexpr WPARAM VK_SCROLL = 0x91;
constexpr WPARAM VK_LSHIFT = 0xA0;
constexpr WPARAM VK_RSHIFT = 0xA1;
constexpr WPARAM VK_LCONTROL = 0xA2;
constexpr WPARAM VK_RCONTROL = 0xA3;
constexpr WPARAM VK_LMENU = 0xA4;
constexpr WPARAM VK_RMENU = 0xA5;

// Styles.
constexpr DWORD WS_POPUP = 0x80000000u;
// A child window has no picture of its own here: it only receives messages.
constexpr DWORD WS_CHILD = 0x40000000u;
constexpr DWORD WS_MINIMIZE = 0x20000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD WS_DLGFRAME = 0x00400000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_THICKFRAME = 0x00040000u;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010u;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020u;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100u;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200u;
constexpr UINT CS_VREDRAW = 0x1;
constexpr UINT CS_HREDRAW = 0x2;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GCLP_HICON = -14;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

constexpr UINT SWP_NOSIZE = 0x1;
constexpr UINT SWP_NOMOVE = 0x2;
constexpr UINT SWP_NOZORDER = 0x4;
constexpr UINT SWP_NOREDRAW = 0x8;
constexpr UINT SWP_NOACTIVATE = 0x10;
constexpr UINT SWP_SHOWWINDOW = 0x40;
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<intptr_t>(-2));

constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

constexpr UINT SPI_GETSCREENSAVEACTIVE = 0x10;
constexpr UINT SPI_SETSCREENSAVEACTIVE = 0x11;
constexpr UINT SPI_GETFOREGROUNDLOCKTIMEOUT = 0x2000;
constexpr UINT SPI_SETFOREGROUNDLOCKTIMEOUT = 0x2001;
constexpr UINT SPIF_SENDWININICHANGE = 0x2;

constexpr int IDI_APPLICATION = 32512;
constexpr int IDC_ARROW = 32512;

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;

constexpr UINT CF_TEXT = 1;
constexpr UINT GMEM_MOVEABLE = 0x2;
constexpr UINT GMEM_ZEROINIT = 0x40;

constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_BRUSH = 0;

// GetDeviceCaps indices.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;

constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_BADMODE = -2;
constexpr DWORD CDS_FULLSCREEN = 0x4;
constexpr DWORD ENUM_CURRENT_SETTINGS = 0xFFFFFFFF;
constexpr DWORD DM_BITSPERPEL = 0x00040000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;
constexpr DWORD DM_DISPLAYFREQUENCY = 0x00400000;

// A display mode: 156 bytes, of which the display functions read and write
// the size, fields, bits per pixel, width, height and frequency.
struct DEVMODEA {
  BYTE dmDeviceName[32];
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
  DWORD dmFields;
  BYTE dmPrinterFields[16];
  short dmColor;
  short dmDuplex;
  short dmYResolution;
  short dmTTOption;
  short dmCollate;
  BYTE dmFormName[32];
  WORD dmLogPixels;
  DWORD dmBitsPerPel;
  DWORD dmPelsWidth;
  DWORD dmPelsHeight;
  DWORD dmDisplayFlags;
  DWORD dmDisplayFrequency;
  DWORD dmICMMethod;
  DWORD dmICMIntent;
  DWORD dmMediaType;
  DWORD dmDitherType;
  DWORD dmReserved1;
  DWORD dmReserved2;
  DWORD dmPanningWidth;
  DWORD dmPanningHeight;
};
static_assert(sizeof(DEVMODEA) == 156);

// ---------------------------------------------------------------- classes and windows

HINSTANCE GetModuleHandleA(LPCSTR name);

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
// Fails while a window of the class exists.
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
LONG_PTR SetClassLongPtrA(HWND window, int index, LONG_PTR value);

// x, y, width and height are the window rectangle, frame included. Sends
// WM_CREATE; a WS_VISIBLE style shows the window.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter);
// Sends WM_DESTROY, then discards the window and its queued messages.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// The desktop: a handle that only tests non-null (no window procedure, no messages).
HWND GetDesktopWindow();
// Finds a window by class (and title, when given): first among this
// process's windows, then among the windows of other processes of the same
// user, where a found window is answered by a handle that only tests non-null.
HWND FindWindowA(LPCSTR className, LPCSTR windowName);

// Returns whether the window was visible before. The first showing activates it.
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL IsIconic(HWND window);
BOOL IsWindowVisible(HWND window);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int size);
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);

BOOL BringWindowToTop(HWND window);
HWND SetActiveWindow(HWND window);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND window);
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);
BOOL AttachThreadInput(DWORD attachThread, DWORD toThread, BOOL attach);

// ---------------------------------------------------------------- messages

// Takes the next message of the calling thread's queue: posted messages in
// order, then WM_QUIT once PostQuitMessage was called, then WM_PAINT for a
// window with an invalid area (WM_PAINT stays until the area is validated),
// then WM_TIMER for a timer whose time has come (taking it starts the next
// period).
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// Key-downs of Backspace, Tab, Enter (Ctrl+Enter: line feed), Esc and
// Ctrl+letter post their WM_CHAR; typed text arrives as WM_CHAR by itself,
// one message per Shift-JIS byte.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
// Safe from any thread. A null window posts to the calling thread.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Calls the window procedure; from another thread than the window's, the
// message is posted instead and 0 returned.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A timer of the window (id replaces a timer with the same id) that sends
// WM_TIMER every `elapse` milliseconds of timeGetTime, to the procedure when
// one is given (lParam), else to the window. Returns the id, 0 on failure.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// ---------------------------------------------------------------- painting and the screen

HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// Null window: the screen's context.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int GetDeviceCaps(HDC dc, int index);
HGDIOBJ GetStockObject(int object);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

int GetSystemMetrics(int index);
BOOL SystemParametersInfoA(UINT action, UINT param, void* value, UINT winIni);
// The display modes of the primary display, index 0 up (FALSE past the
// last), or the current one. The picture is converted to the display, so
// each size is listed at 16 and at 32 bits.
BOOL EnumDisplaySettingsA(LPCSTR device, DWORD index, DEVMODEA* mode);
// After ChangeDisplaySettingsA has accepted a mode: the Shift-JIS line that
// says how it is shown (the display's own mode, or the picture scaled to the
// desktop), for the log; null before, and after the desktop is restored.
// A display without the 640 x 480 mode offers it scaled: EnumDisplaySettingsA
// lists it after the display's own modes.
const char* PlatformDisplayModeNote();
// Null goes back to the desktop's mode. A mode is taken when its size and
// bits per pixel (those of its fields that are set) are listed; the picture
// itself stays the window's.
LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);

// ---------------------------------------------------------------- cursor, icons

HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
// The cursor shows while the display count is 0 or more and a cursor is set.
int ShowCursor(BOOL show);
HCURSOR SetCursor(HCURSOR cursor);
BOOL GetCursorPos(POINT* point);

// ---------------------------------------------------------------- keyboard state

// The state of every virtual key as the messages taken from the queue so far
// leave it (0x80 while held), the mouse buttons and the left and right forms
// of Shift, Control and Alt included.
BOOL GetKeyboardState(BYTE state[256]);

// ---------------------------------------------------------------- IME switch, dropped files

// Returns the previous setting. Typed characters keep arriving either way.
BOOL WINNLSEnableIME(HWND window, BOOL enable);
// WM_DROPFILES reaches only windows that accept files (this call or WS_EX_ACCEPTFILES).
void DragAcceptFiles(HWND window, BOOL accept);
// Index 0xFFFFFFFF: the number of files. Otherwise copies the Windows-form
// Shift-JIS path (cut to size - 1) and returns its length without the terminator.
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
void DragFinish(HDROP drop);

// ---------------------------------------------------------------- clipboard and global memory

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
BOOL IsClipboardFormatAvailable(UINT format);
// CF_TEXT only, Shift-JIS. The handle belongs to the clipboard.
HANDLE GetClipboardData(UINT format);
// CF_TEXT only; the clipboard takes the handle over.
HANDLE SetClipboardData(UINT format, HANDLE data);
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
void* GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
size_t GlobalSize(HGLOBAL memory);
HGLOBAL GlobalFree(HGLOBAL memory);

// ---------------------------------------------------------------- message box

// Shows the box and returns IDOK. Without a display (or under SDL's dummy
// driver) the caption and text go to standard error instead. A hook set by a
// test receives the call instead and gives the result.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---------------------------------------------------------------- tests only

// Windows of other processes are seen by FindWindowA only within the same
// scope; each test process takes its own so parallel tests never meet.
void PlatformSetWindowScope(const char* scope);
// SDL's id of the window, for tests that push SDL events.
uint32_t PlatformSdlWindowId(HWND window);
// Ends SDL's video when no window is left, so that the next window starts it
// again under the environment of that time (SDL_VIDEODRIVER, DISPLAY); false
// while windows remain.
bool PlatformRestartVideo();
// The desktop depth GetDeviceCaps reports (0: the real one).
void PlatformSetDesktopColorBits(int bits);
// For tests: off, a display without the 640 x 480 mode does not offer it
// scaled (as a display smaller than the screen cannot), so full screen fails.
void PlatformOfferScaledDisplayModes(bool offer);
// Whether the SDL cursor is currently shown.
bool PlatformCursorVisible();
// The colour (0x00RRGGBB) of a pixel of the window's client area as last
// drawn into it; 0 outside it.
uint32_t PlatformWindowPixel(HWND window, int x, int y);
// MessageBoxA hands its Shift-JIS text and caption to the hook (null: none)
// and returns what the hook returns.
typedef int (*PlatformMessageBoxHook)(const char* text, const char* caption, UINT type);
void PlatformSetMessageBoxHook(PlatformMessageBoxHook hook);
// The SDL scan code of a keyboard scan code (0x80 marks the extended keys),
// for tests that push key events; 0 for a code no key has.
int PlatformScancodeOfKeyCode(int keyCode);

// For the GDI blits: the client-area pixels behind a window's device context,
// 16 or 32 bits a pixel with the channel masks given, rows top-down. Each
// successful lock is paired with an unlock that shows the changed rectangle.
struct PlatformWindowPixels {
  uint8_t* pixels;
  int32_t pitch;
  int32_t width, height;
  int32_t bits;
  uint32_t masks[3];  // red, green, blue
};
bool PlatformLockWindowPixels(HDC dc, PlatformWindowPixels* out);
void PlatformUnlockWindowPixels(HDC dc, const RECT* changed);
