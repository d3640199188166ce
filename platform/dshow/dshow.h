// DirectShow, as far as the library uses it: filter graphs built by a graph
// builder (RenderFile, AddSourceFilter, Render, Connect), run by media
// control, positioned by media seeking and watched through media events;
// filters with pins that agree on media types and pass media samples from
// allocators downstream. The library's own filters derive from the base
// classes of dshow_base.h.
//
// What the graph builder finds for a file or a stream (dshow_filters.h):
// a file source over the host file; a demultiplexer and decoders over
// libavformat and libavcodec for every container and codec they know,
// giving RGB24 video and 16-bit PCM audio; a parser of MPEG-1 audio streams
// and an MPEG audio decoder over libmpg123; a DirectSound audio renderer.
// There is no default video renderer: a graph shows video only through a
// renderer of the caller's own that it holds.
//
// Time is REFERENCE_TIME, 100-nanosecond units. The graph's default clock
// follows the platform's performance counter (the virtual clock in tests).
#pragma once

#include <cstdint>

#include "platform/com/com.h"
#include "platform/dsound/wave_format.h"
#include "platform/gdi/gdi.h"
#include "platform/win32/win32_window.h"

inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }

typedef LONGLONG REFERENCE_TIME;
typedef uintptr_t DWORD_PTR;
constexpr REFERENCE_TIME UNITS = 10000000;  // REFERENCE_TIME units a second

// ---------------------------------------------------------------- results

constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);

constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
constexpr HRESULT VFW_S_PARTIAL_RENDER = 0x00040242;
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = static_cast<HRESULT>(0x80040204u);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = static_cast<HRESULT>(0x80040207u);
constexpr HRESULT VFW_E_INVALID_DIRECTION = static_cast<HRESULT>(0x80040208u);
constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
constexpr HRESULT VFW_E_NO_ALLOCATOR = static_cast<HRESULT>(0x8004020Au);
constexpr HRESULT VFW_E_RUNTIME_ERROR = static_cast<HRESULT>(0x8004020Bu);
constexpr HRESULT VFW_E_BUFFER_OVERFLOW = static_cast<HRESULT>(0x8004020Du);
constexpr HRESULT VFW_E_BADALIGN = static_cast<HRESULT>(0x8004020Eu);
constexpr HRESULT VFW_E_ALREADY_COMMITTED = static_cast<HRESULT>(0x8004020Fu);
constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = static_cast<HRESULT>(0x80040210u);
constexpr HRESULT VFW_E_NOT_COMMITTED = static_cast<HRESULT>(0x80040211u);
constexpr HRESULT VFW_E_SIZENOTSET = static_cast<HRESULT>(0x80040212u);
constexpr HRESULT VFW_E_NO_TRANSPORT = static_cast<HRESULT>(0x80040215u);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217u);
constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
constexpr HRESULT VFW_E_NOT_STOPPED = static_cast<HRESULT>(0x80040224u);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);
constexpr HRESULT VFW_E_SAMPLE_REJECTED_EOS = static_cast<HRESULT>(0x8004022Cu);
constexpr HRESULT VFW_E_TIMEOUT = static_cast<HRESULT>(0x8004022Eu);
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x8004022Fu);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = static_cast<HRESULT>(0x80040240u);
// A pin or filter that refuses the media type offered to it.
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = static_cast<HRESULT>(0x80040248u);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265u);

// ---------------------------------------------------------------- identifiers

extern const GUID GUID_NULL;

// Media major types, subtypes and format types.
extern const GUID MEDIATYPE_Video;
extern const GUID MEDIATYPE_Audio;
extern const GUID MEDIATYPE_Stream;
extern const GUID MEDIASUBTYPE_NULL;  // GUID_NULL: any subtype
extern const GUID MEDIASUBTYPE_RGB24;
extern const GUID MEDIASUBTYPE_RGB32;
extern const GUID MEDIASUBTYPE_PCM;
extern const GUID MEDIASUBTYPE_MPEG1Audio;         // a stream of MPEG audio frames
extern const GUID MEDIASUBTYPE_MPEG1AudioPayload;  // MPEG audio layers I and II
extern const GUID MEDIASUBTYPE_MP3;                // MPEG audio layer III
extern const GUID FORMAT_None;
extern const GUID FORMAT_VideoInfo;
extern const GUID FORMAT_WaveFormatEx;

// Classes CoCreateInstance makes.
extern const CLSID CLSID_FilterGraph;
extern const CLSID CLSID_NullRenderer;

extern const IID IID_IPersist;
extern const IID IID_IMediaFilter;
extern const IID IID_IBaseFilter;
extern const IID IID_IPin;
extern const IID IID_IEnumPins;
extern const IID IID_IEnumMediaTypes;
extern const IID IID_IEnumFilters;
extern const IID IID_IMemAllocator;
extern const IID IID_IMemInputPin;
extern const IID IID_IMediaSample;
extern const IID IID_IMediaSample2;
extern const IID IID_IAsyncReader;
extern const IID IID_IReferenceClock;
extern const IID IID_IFilterGraph;
extern const IID IID_IGraphBuilder;
extern const IID IID_IMediaControl;
extern const IID IID_IMediaEvent;
extern const IID IID_IMediaEventSink;
extern const IID IID_IMediaSeeking;
extern const IID IID_IBasicAudio;

// ---------------------------------------------------------------- records

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;  // from CoTaskMemAlloc
};

// The format block of FORMAT_VideoInfo.
struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};


struct ALLOCATOR_PROPERTIES {
  LONG cBuffers;
  LONG cbBuffer;
  LONG cbAlign;
  LONG cbPrefix;
};

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
typedef LONG OAFilterState;

constexpr int MAX_PIN_NAME = 128;
constexpr int MAX_FILTER_NAME = 128;

struct IBaseFilter;
struct IFilterGraph;

struct PIN_INFO {
  IBaseFilter* pFilter;  // with a reference
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;  // with a reference, or null
};

// Sample flags of AM_SAMPLE2_PROPERTIES.
constexpr DWORD AM_SAMPLE_SPLICEPOINT = 0x01;
constexpr DWORD AM_SAMPLE_PREROLL = 0x02;
constexpr DWORD AM_SAMPLE_DATADISCONTINUITY = 0x04;
constexpr DWORD AM_SAMPLE_TIMEVALID = 0x10;
constexpr DWORD AM_SAMPLE_STOPVALID = 0x100;
constexpr DWORD AM_STREAM_MEDIA = 0;  // the stream id of media data

struct AM_SAMPLE2_PROPERTIES {
  DWORD cbData;  // sizeof(AM_SAMPLE2_PROPERTIES)
  DWORD dwTypeSpecificFlags;
  DWORD dwSampleFlags;
  LONG lActual;
  REFERENCE_TIME tStart;
  REFERENCE_TIME tStop;
  DWORD dwStreamId;
  AM_MEDIA_TYPE* pMediaType;
  BYTE* pbBuffer;
  LONG cbBuffer;
};

// Flags of IMemAllocator::GetBuffer.
constexpr DWORD AM_GBF_NOWAIT = 0x4;

// Event codes.
constexpr long EC_COMPLETE = 0x01;
constexpr long EC_USERABORT = 0x02;
constexpr long EC_ERRORABORT = 0x03;

// Positioning flags of IMediaSeeking::SetPositions.
constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;

// ---------------------------------------------------------------- interfaces

struct IEnumMediaTypes;
struct IMemAllocator;
struct IReferenceClock;

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* classId) = 0;

 protected:
  ~IPersist() = default;
};

struct IMediaFilter : IPersist {
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  // start: the reference time at which stream time 0 is due.
  virtual HRESULT Run(REFERENCE_TIME start) = 0;
  virtual HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) = 0;
  // Null: run without a clock (as fast as samples come).
  virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;

 protected:
  ~IMediaFilter() = default;
};

struct IPin;

struct IEnumPins : IUnknown {
  virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;

 protected:
  ~IEnumPins() = default;
};

struct IBaseFilter : IMediaFilter {
  virtual HRESULT EnumPins(IEnumPins** pins) = 0;
  virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
  // The graph calls this when it adds (graph, name) or removes (null, null)
  // the filter. The filter keeps the graph without a reference.
  virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;

 protected:
  ~IBaseFilter() = default;
};

struct IPin : IUnknown {
  // On an output pin: connects to receivePin with the type given, or the
  // first type both agree on when mediaType is null or partly given.
  virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) = 0;
  // On an input pin, called by the connecting output pin.
  virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mediaType) = 0;
  // Breaks this side of a connection (the graph disconnects both sides).
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT ConnectedTo(IPin** pin) = 0;
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mediaType) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
  // S_OK when the pin would accept the type, else S_FALSE.
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* mediaType) = 0;
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
  virtual HRESULT EndOfStream() = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
  // The samples that follow have times relative to start.
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;

 protected:
  ~IPin() = default;
};

struct IEnumMediaTypes : IUnknown {
  // Each type from CoTaskMemAlloc; free with DeleteMediaType.
  virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;

 protected:
  ~IEnumMediaTypes() = default;
};

struct IMediaSample : IUnknown {
  virtual HRESULT GetPointer(BYTE** buffer) = 0;
  virtual LONG GetSize() = 0;
  // VFW_E_SAMPLE_TIME_NOT_SET without times; VFW_S_NO_STOP_TIME with a start only.
  virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
  // Null start clears both times; null stop sets a start only.
  virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
  virtual HRESULT IsSyncPoint() = 0;
  virtual HRESULT SetSyncPoint(BOOL syncPoint) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(BOOL preroll) = 0;
  virtual LONG GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(LONG length) = 0;
  // S_FALSE (and null) when the type has not changed.
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** mediaType) = 0;
  virtual HRESULT SetMediaType(AM_MEDIA_TYPE* mediaType) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;

 protected:
  ~IMediaSample() = default;
};

constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = static_cast<HRESULT>(0x80040249u);
constexpr HRESULT VFW_S_NO_STOP_TIME = 0x00040270;

struct IMediaSample2 : IMediaSample {
  // size bytes of the properties (at most sizeof(AM_SAMPLE2_PROPERTIES)).
  virtual HRESULT GetProperties(DWORD size, BYTE* properties) = 0;
  virtual HRESULT SetProperties(DWORD size, const BYTE* properties) = 0;

 protected:
  ~IMediaSample2() = default;
};

struct IMemAllocator : IUnknown {
  virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) = 0;
  virtual HRESULT Commit() = 0;
  // Samples handed out stay valid until released; GetBuffer fails from now on.
  virtual HRESULT Decommit() = 0;
  // Waits for a free sample (not with AM_GBF_NOWAIT: VFW_E_TIMEOUT).
  virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) = 0;
  // Called by a sample whose last reference went.
  virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;

 protected:
  ~IMemAllocator() = default;
};

struct IMemInputPin : IUnknown {
  virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
  virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) = 0;
  // Takes one sample downstream; S_FALSE while flushing (send no more until
  // the flush ends).
  virtual HRESULT Receive(IMediaSample* sample) = 0;
  virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
  // S_OK: Receive may block.
  virtual HRESULT ReceiveCanBlock() = 0;

 protected:
  ~IMemInputPin() = default;
};

// The pull-model transport of a source's output pin: the reader of the
// connected parser asks for byte ranges.
struct IAsyncReader : IUnknown {
  virtual HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                                   IMemAllocator** actual) = 0;
  // The sample's times carry the byte range (position x UNITS).
  virtual HRESULT Request(IMediaSample* sample, DWORD_PTR user) = 0;
  virtual HRESULT WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user) = 0;
  virtual HRESULT SyncReadAligned(IMediaSample* sample) = 0;
  virtual HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) = 0;
  virtual HRESULT Length(LONGLONG* total, LONGLONG* available) = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;

 protected:
  ~IAsyncReader() = default;
};

struct IReferenceClock : IUnknown {
  virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;

 protected:
  ~IReferenceClock() = default;
};

struct IEnumFilters : IUnknown {
  virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;

 protected:
  ~IEnumFilters() = default;
};

struct IFilterGraph : IUnknown {
  // The graph takes a reference. A null or taken name gets a new one
  // (VFW_S_DUPLICATE_NAME).
  virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
  // Disconnects the filter's pins and drops the graph's reference.
  virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
  virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
  virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* mediaType) = 0;
  // Disconnects one pin (call it for both pins of a connection).
  virtual HRESULT Disconnect(IPin* pin) = 0;

 protected:
  ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
  // Connects the two pins, directly or through filters the builder adds.
  virtual HRESULT Connect(IPin* output, IPin* input) = 0;
  // Completes the graph downstream of the output pin: first through the
  // filters already in the graph, then through filters the builder adds.
  // S_OK, VFW_S_PARTIAL_RENDER when some streams found no renderer, or
  // VFW_E_CANNOT_RENDER.
  virtual HRESULT Render(IPin* output) = 0;
  // A source filter for the file, rendered. playList must be null. Nothing
  // it added stays behind when it fails.
  virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
  virtual HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR name, IBaseFilter** filter) = 0;

 protected:
  ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(LONG milliseconds, OAFilterState* state) = 0;

 protected:
  ~IMediaControl() = default;
};

struct IMediaEvent : IUnknown {
  // E_ABORT when no event comes within the time.
  virtual HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long milliseconds) = 0;
  // S_OK with EC_COMPLETE once every renderer reached the end of its stream,
  // EC_ERRORABORT or EC_USERABORT; E_ABORT when the time passes first;
  // VFW_E_WRONG_STATE when the graph does not run.
  virtual HRESULT WaitForCompletion(long milliseconds, long* code) = 0;
  virtual HRESULT FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) = 0;

 protected:
  ~IMediaEvent() = default;
};

// What filters report to their graph.
struct IMediaEventSink : IUnknown {
  virtual HRESULT Notify(long code, LONG_PTR param1, LONG_PTR param2) = 0;

 protected:
  ~IMediaEventSink() = default;
};

struct IMediaSeeking : IUnknown {
  virtual HRESULT GetDuration(LONGLONG* duration) = 0;
  virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
  virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
  // Either pointer may be null with AM_SEEKING_NoPositioning.
  virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;

 protected:
  ~IMediaSeeking() = default;
};

struct IBasicAudio : IUnknown {
  // Hundredths of a decibel, -10000 (silence) to 0.
  virtual HRESULT put_Volume(long volume) = 0;
  virtual HRESULT get_Volume(long* volume) = 0;

 protected:
  ~IBasicAudio() = default;
};

// ---------------------------------------------------------------- media types

// Frees the format block and the object reference of a type (not the
// record itself).
void FreeMediaType(AM_MEDIA_TYPE& mediaType);
// Frees a type from CoTaskMemAlloc together with its contents.
void DeleteMediaType(AM_MEDIA_TYPE* mediaType);
// A deep copy into target (whose old contents are not freed).
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// A deep copy from CoTaskMemAlloc, or null.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

// Releases the interface, when there is one, and clears the pointer.
template <typename T>
void SafeRelease(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// ---------------------------------------------------------------- COM

// CoCreateInstance's maker of the filter graph and the null renderer;
// REGDB_E_CLASSNOTREG for any other class.
HRESULT CreateDirectShowClassObject(const CLSID& classId, const IID& iid, void** out);

// ---------------------------------------------------------------- tests only

// DirectShow objects (filters, pins' owners, allocators, samples'
// allocators, graphs, clocks, enumerators) alive in the process.
int PlatformLiveDShowObjectCount();
