// COM start-up and shut-down for the calling thread, and the creation of the
// one class the library asks COM for: the DirectDraw object.
#pragma once

#include "platform/win32/win32_types.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
  bool operator==(const GUID&) const = default;
};
typedef const GUID& REFCLSID;
typedef const GUID& REFIID;

constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_ALL = 0x17;

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// S_OK on the thread's first call, S_FALSE on later ones; each call is
// paired with a CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// A new object of the class for the interface; REGDB_E_CLASSNOTREG for any
// class but CLSID_DirectDraw7.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out);
