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

// An input pin that pulls its stream through the IAsyncReader of the pin it
// connects to (asked for when it checks the connection).
class ReaderInputPin : public D_CBasePin {
 public:
  ReaderInputPin(const char* objectName, D_CBaseFilter* filter, D_CCritSec* lock);
  ~ReaderInputPin() override;
  HRESULT CheckConnect(IPin* pin) override;  // VFW_E_NO_TRANSPORT without a reader
  HRESULT BreakConnect() override;           // lets the reader go
  IAsyncReader* Reader() const { return reader_; }

 private:
  IAsyncReader* reader_ = nullptr;
};

// 16-bit PCM of the rate and channels.
WAVEFORMATEX PcmFormat(DWORD rate, WORD channels);
// The media type of PCM audio in the format.
HRESULT MakePcmMediaType(const WAVEFORMATEX& wave, D_CMediaType* mediaType);
// S_OK when the type is PCM audio of the format's channels, rate and bits.
HRESULT CheckPcmMediaType(const D_CMediaType* mediaType, const WAVEFORMATEX& wave);
// `count` buffers of a `part` of a second of the format each (whole
// frames, at least `least` bytes).
HRESULT SetPcmBuffers(IMemAllocator* allocator, const WAVEFORMATEX& wave, LONG count, DWORD part, LONG least);

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
