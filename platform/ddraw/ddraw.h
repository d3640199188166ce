// DirectDraw 7, as far as the library uses it: the object made through COM
// and its wait for the vertical blank. The display refreshes at 60 Hz of the
// performance counter's clock (the virtual clock in tests): a blank begins at
// every whole multiple of 1/60 s.
#pragma once

#include "platform/com/com.h"
#include "platform/win32/win32_window.h"

inline constexpr CLSID CLSID_DirectDraw7 = {0x3C305196, 0x50DB, 0x11D3, {0x9C, 0xFE, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};
inline constexpr IID IID_IDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88760005);
constexpr HRESULT DDERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001);

constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_FPUPRESERVE = 0x1000;
constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x1;
constexpr DWORD DDWAITVB_BLOCKBEGINEVENT = 0x2;
constexpr DWORD DDWAITVB_BLOCKEND = 0x4;

struct IDirectDraw7 : IUnknown {
  // Null: the primary display. DDERR_ALREADYINITIALIZED the second time.
  virtual HRESULT Initialize(GUID* driver) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  // Returns once the next blank has begun (BLOCKBEGIN) or ended (BLOCKEND,
  // taken as the same instant); DDERR_UNSUPPORTED for the event form.
  virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;

 protected:
  ~IDirectDraw7() = default;
};

// CoCreateInstance's maker of CLSID_DirectDraw7 objects; REGDB_E_CLASSNOTREG
// for any other class.
HRESULT CreateDirectDrawClassObject(const CLSID& classId, const IID& iid, void** out);
// Tests only: the number of DirectDraw objects alive.
int PlatformLiveDirectDrawCount();
