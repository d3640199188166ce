// Internal to the DirectShow stand-in: the filters the graph builder finds
// on its own, and what they share.
#pragma once

#include <string>

#include "platform/dshow/dshow_base.h"

// A filter the graph builder may insert: the input types it takes (a major
// type and a subtype, compared exactly) and its maker. Tried in the order of
// the table.
struct RegisteredFilter {
  const char16_t* name;
  const GUID* inputs[4][2];  // {major, subtype} pairs, ended by a null major
  HRESULT (*create)(IBaseFilter** filter);
};
extern const RegisteredFilter RegisteredFilters[];
extern const int RegisteredFilterCount;

// The file source: an IAsyncReader over a host file (a UTF-8 path).
// VFW_E_NOT_FOUND when the file cannot be opened.
HRESULT CreateFileSourceFilter(const std::string& hostPath, IBaseFilter** filter);
HRESULT CreateNullRendererFilter(IBaseFilter** filter);

// Subtype and format type of the compressed streams the demultiplexer
// hands its decoders: the format block is a CodecFormat.
extern const GUID MEDIASUBTYPE_ZRCodec;
extern const GUID FORMAT_ZRCodec;

// A graph's default clock: the platform's performance counter.
HRESULT CreateSystemClock(IReferenceClock** clock);

// A filter's pins, each with a reference (release them with ReleasePins).
std::vector<IPin*> ListPins(IBaseFilter* filter);
void ReleasePins(std::vector<IPin*>& pins);
// The direction of a pin (PINDIR_INPUT when it cannot tell).
PIN_DIRECTION DirectionOf(IPin* pin);
// The filter a pin belongs to, with a reference.
IBaseFilter* FilterOf(IPin* pin);

// Streaming threads: a thread of CreateThread that runs `body` and is
// waited for by Join.
class StreamingThread {
 public:
  ~StreamingThread() { Join(); }
  bool Start(void (*body)(void* context), void* context);
  void Join();
  bool Running() const { return handle_ != nullptr; }

 private:
  static DWORD Entry(LPVOID parameter);
  HANDLE handle_ = nullptr;
  void (*body_)(void*) = nullptr;
  void* context_ = nullptr;
};
