#include "library/sound/mp3_graph.h"

#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/movie/mem_reader.h"
#include "library/movie/sample_grabber.h"
#include "library/sound/sound_decoder.h"

namespace {

// The PCM block grows by this much at a time.
constexpr uint32_t kPcmGrowth = 1048576;
// No limit on the rate at which the memory stream delivers.
constexpr uint32_t kUnlimitedRate = 0xFFFFFFFFu;

// What one conversion made, released in one place.
struct Conversion {
  void* mp3 = nullptr;
  D_CMemStream* stream = nullptr;
  D_CMemReader* reader = nullptr;
  IBaseFilter* nullRenderer = nullptr;
  IGraphBuilder* graph = nullptr;
  D_CSampleGrabber* grabber = nullptr;
  IMediaFilter* filter = nullptr;
  IMediaControl* control = nullptr;
  IMediaEvent* event = nullptr;

  // The graph goes before the filters it holds (it stops its threads),
  // the reader before its stream.
  void Release() {
    SafeRelease(event);
    SafeRelease(filter);
    SafeRelease(control);
    SafeRelease(graph);
    SafeRelease(nullRenderer);
    SafeRelease(grabber);
    SafeRelease(reader);
    DeleteMemStream(stream);
    stream = nullptr;
    TrackedFree(mp3);
    mp3 = nullptr;
  }
};

int Fail(Conversion* c, SoundDecoder* d, const char* message) {
  c->Release();
  TrackedFree(d->pcmBlock);
  d->pcmBlock = nullptr;
  d->pcmCapacity = d->pcmUsed = 0;
  return WriteLogMessage(message);
}

// The graph's audio renderer (the first filter with a connected input and
// no output) replaced by the null renderer.
bool ReplaceRenderer(IGraphBuilder* graph, IBaseFilter* nullRenderer) {
  IEnumFilters* filters = nullptr;
  if (FAILED(graph->EnumFilters(&filters))) return false;
  IPin* upstream = nullptr;
  IBaseFilter* filter = nullptr;
  ULONG fetched = 0;
  while (upstream == nullptr && filters->Next(1, &filter, &fetched) == S_OK && fetched == 1) {
    IPin* input = FindFilterPin(filter, PINDIR_INPUT);
    IPin* output = FindFilterPin(filter, PINDIR_OUTPUT);
    if (input != nullptr && output == nullptr && SUCCEEDED(input->ConnectedTo(&upstream))) {
      graph->Disconnect(upstream);
      graph->Disconnect(input);
    }
    if (input != nullptr) input->Release();
    if (output != nullptr) output->Release();
    filter->Release();
  }
  filters->Release();
  if (upstream == nullptr) return false;
  IPin* nullInput = FindFilterPin(nullRenderer, PINDIR_INPUT);
  const bool connected = nullInput != nullptr && SUCCEEDED(graph->Connect(upstream, nullInput));
  if (nullInput != nullptr) nullInput->Release();
  upstream->Release();
  return connected;
}

}  // namespace

IPin* FindFilterPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  IEnumPins* pins = nullptr;
  if (filter == nullptr || FAILED(filter->EnumPins(&pins))) return nullptr;
  IPin* found = nullptr;
  IPin* pin = nullptr;
  ULONG fetched = 0;
  while (found == nullptr && pins->Next(1, &pin, &fetched) == S_OK && fetched == 1) {
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction)
      found = pin;
    else
      pin->Release();
  }
  pins->Release();
  return found;
}

HRESULT CollectPcmSample(IMediaSample* sample, REFERENCE_TIME*, REFERENCE_TIME*, BOOL, void* decoder) {
  auto* d = static_cast<SoundDecoder*>(decoder);
  if (d->pcmBlock == nullptr) return S_OK;
  BYTE* data = nullptr;
  const LONG length = sample->GetActualDataLength();
  if (length <= 0 || FAILED(sample->GetPointer(&data))) return S_OK;
  const uint64_t needed = static_cast<uint64_t>(d->pcmUsed) + static_cast<uint64_t>(length);
  if (needed > d->pcmCapacity) {
    uint64_t capacity = d->pcmCapacity;
    while (capacity < needed) capacity += kPcmGrowth;
    uint8_t* grown = capacity > 0xFFFFFFFFu ? nullptr : static_cast<uint8_t*>(TrackedAlloc(capacity, __FILE__, __LINE__));
    if (grown == nullptr) {
      TrackedFree(d->pcmBlock);
      d->pcmBlock = nullptr;
      return S_OK;
    }
    memcpy(grown, d->pcmBlock, d->pcmUsed);
    TrackedFree(d->pcmBlock);
    d->pcmBlock = grown;
    d->pcmCapacity = static_cast<uint32_t>(capacity);
  }
  memcpy(d->pcmBlock + d->pcmUsed, data, static_cast<size_t>(length));
  d->pcmUsed += static_cast<uint32_t>(length);
  return S_OK;
}

int ConvertMp3ToPcm(SoundDecoder* d) {
  d->pcmBlock = nullptr;
  d->pcmCapacity = d->pcmUsed = d->pcmReadPosition = 0;
  Conversion c;
  uint32_t size = 0;
  if (ReadWholeStream(&d->stream, d->streamHandle, &c.mp3, &size) != 0) return -1;

  c.stream = CreateMemStream(c.mp3, size, 0, kUnlimitedRate);
  if (c.stream == nullptr) return Fail(&c, d, "MP3変換用 D_CMemStream の作成に失敗しました");
  AM_MEDIA_TYPE streamType{};
  streamType.majortype = MEDIATYPE_Stream;
  streamType.subtype = MEDIASUBTYPE_MPEG1Audio;
  int result = S_OK;
  c.reader = CreateMemReader(c.stream, &streamType, &result);
  if (c.reader == nullptr) return Fail(&c, d, "MP3変換用 D_CMemReader の作成に失敗しました");
  c.reader->AddRef();
  if (FAILED(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(&c.nullRenderer)))) {
    c.nullRenderer = nullptr;
    return Fail(&c, d, "MP3変換用 NullRender の作成に失敗しました");
  }
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                              IID_IGraphBuilder, reinterpret_cast<void**>(&c.graph)))) {
    c.graph = nullptr;
    return Fail(&c, d, "MP3変換用 IGraphBuilder の作成に失敗しました");
  }
  // A reference of the conversion's own, so that a grabber the graph does
  // not take is not lost.
  c.grabber = CreateSampleGrabber(&result);
  if (c.grabber == nullptr) return Fail(&c, d, "MP3変換用 D_CSampleGrabber の作成に失敗しました");
  c.grabber->AddRef();
  AM_MEDIA_TYPE pcmType{};
  pcmType.majortype = MEDIATYPE_Audio;
  pcmType.subtype = MEDIASUBTYPE_PCM;
  if (FAILED(c.grabber->SetAcceptedMediaType(&pcmType)))
    return Fail(&c, d, "サンプルグラバフィルタのメディアタイプの設定に失敗しました");
  if (FAILED(c.graph->AddFilter(c.grabber, u"SampleGrabber")))
    return Fail(&c, d, "サンプルグラバフィルタのグラフへの追加に失敗しました");
  if (FAILED(c.graph->AddFilter(c.reader, u"MemFile")))
    return Fail(&c, d, "メモリファイルフィルタのグラフへの追加に失敗しました");

  IPin* readerOutput = c.reader->GetPin(0);
  if (readerOutput == nullptr || FAILED(c.graph->Render(readerOutput))) return Fail(&c, d, "グラフの構築に失敗しました");
  if (FAILED(c.graph->AddFilter(c.nullRenderer, u"File Renderer")))
    return Fail(&c, d, "ヌルレンダラーフィルタのグラフへの追加に失敗しました");
  if (!ReplaceRenderer(c.graph, c.nullRenderer))
    return Fail(&c, d, "既存レンダラーをNullレンダラーと交換する処理が失敗しました");

  AM_MEDIA_TYPE connected{};
  if (FAILED(c.grabber->GetConnectedMediaType(&connected)))
    return Fail(&c, d, "音声が含まれていないか、オーディオフォーマットの取得に失敗しました。");
  WAVEFORMATEX wave{};
  const bool waveFormat = connected.formattype == FORMAT_WaveFormatEx && connected.pbFormat != nullptr &&
                          connected.cbFormat >= sizeof(WAVEFORMATEX) - sizeof(WORD);
  if (waveFormat) memcpy(&wave, connected.pbFormat, connected.cbFormat < sizeof wave ? connected.cbFormat : sizeof wave);
  FreeMediaType(connected);
  if (!waveFormat) return Fail(&c, d, "サポート外のストリームフォーマットです。");
  if (wave.wFormatTag != WAVE_FORMAT_PCM || wave.nChannels == 0 || wave.nBlockAlign == 0)
    return Fail(&c, d, "サポート外のオーディオフォーマットです。");
  d->format.wFormatTag = wave.wFormatTag;
  d->format.nChannels = wave.nChannels;
  d->format.nSamplesPerSec = wave.nSamplesPerSec;
  d->format.nBlockAlign = wave.nBlockAlign;
  d->format.nAvgBytesPerSec = static_cast<DWORD>(wave.nBlockAlign) * wave.nSamplesPerSec;
  d->format.wBitsPerSample = static_cast<WORD>(wave.nBlockAlign * 8 / wave.nChannels);
  d->format.cbSize = 0;

  if (FAILED(c.grabber->SetCallback(CollectPcmSample, d))) return Fail(&c, d, "コールバック関数を設定できません");
  const uint64_t capacity = static_cast<uint64_t>(size) * 10;
  d->pcmBlock = capacity > 0xFFFFFFFFu ? nullptr
                                       : static_cast<uint8_t*>(TrackedAlloc(capacity == 0 ? 1 : capacity, __FILE__, __LINE__));
  if (d->pcmBlock == nullptr) return Fail(&c, d, "PCMデータを格納するメモリ領域の確保に失敗しました");
  d->pcmCapacity = static_cast<uint32_t>(capacity);
  d->pcmUsed = 0;

  if (FAILED(c.graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&c.filter)))) {
    c.filter = nullptr;
    return Fail(&c, d, "IMediaFilter の取得に失敗しました");
  }
  // No clock: the graph decodes as fast as it can.
  c.filter->SetSyncSource(nullptr);
  if (FAILED(c.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&c.control)))) {
    c.control = nullptr;
    return Fail(&c, d, "IMediaControl の取得に失敗しました");
  }
  if (FAILED(c.graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&c.event)))) {
    c.event = nullptr;
    return Fail(&c, d, "IMediaEvent の取得に失敗しました");
  }
  // A graph that does not run, or that reports anything but its
  // completion, ends the conversion (waiting on would never end).
  if (FAILED(c.control->Run())) return Fail(&c, d, "MP3変換の途中でエラーが発生しました");
  for (;;) {
    if (ProcessWindowMessages_Unlocked() != 0) return Fail(&c, d, "MP3変換の途中でソフトが終了しました");
    long code = 0;
    const HRESULT hr = c.event->WaitForCompletion(100, &code);
    if (hr == E_ABORT) continue;
    if (hr == S_OK && code == EC_COMPLETE) break;
    return Fail(&c, d, "MP3変換の途中でエラーが発生しました");
  }
  if (d->pcmBlock == nullptr) return Fail(&c, d, "PCMデータを格納するメモリ領域の再確保に失敗しました");

  c.Release();
  d->kind = SoundDecoderPcmMemory;
  d->bufferSize = d->format.nAvgBytesPerSec;
  d->dataSize = d->pcmUsed;
  return 0;
}
