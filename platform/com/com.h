// COM start-up and shut-down for the calling thread, the identifiers and the
// base interface of COM objects, and object creation by class identifier.
#pragma once

#include <cstring>

#include "platform/win32/win32_types.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;

inline bool IsEqualGUID(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof a) == 0; }

inline bool FAILED(HRESULT result) { return result < 0; }
inline bool SUCCEEDED(HRESULT result) { return result >= 0; }

constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_ALL = 0x17;

extern const IID IID_IUnknown;

// The base of every COM interface: objects count their references and free
// themselves when the last one is released.
struct IUnknown {
  virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// S_OK on the thread's first call, S_FALSE on later ones; each call is
// paired with a CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// Creates an object of a class this system provides (the DirectInput
// objects, the DirectDraw object, the DirectSound object, the DirectShow
// filter graph and null renderer). Fails with
// CO_E_NOTINITIALIZED on a thread without COM, with REGDB_E_CLASSNOTREG for
// an unknown class and E_NOINTERFACE when the class does not offer the
// interface.
HRESULT CoCreateInstance(const CLSID& classId, IUnknown* outer, DWORD context, const IID& iid, void** out);

// The task allocator: blocks that COM calls hand between caller and callee
// (media type formats, pin names). CoTaskMemFree(null) does nothing.
void* CoTaskMemAlloc(size_t size);
void CoTaskMemFree(void* block);
