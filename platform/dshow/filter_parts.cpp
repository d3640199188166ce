// Pieces the stand-in's filters share: the pull-model input pin and the
// PCM output of the audio decoders.
#include <cstring>

#include "platform/dshow/filters_internal.h"

ReaderInputPin::ReaderInputPin(const char* objectName, D_CBaseFilter* filter, D_CCritSec* lock)
    : D_CBasePin(objectName, filter, lock, nullptr, u"Input", PINDIR_INPUT) {}

ReaderInputPin::~ReaderInputPin() {
  if (reader_ != nullptr) reader_->Release();
}

HRESULT ReaderInputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = D_CBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  void* reader = nullptr;
  if (FAILED(pin->QueryInterface(IID_IAsyncReader, &reader))) return VFW_E_NO_TRANSPORT;
  if (reader_ != nullptr) reader_->Release();
  reader_ = static_cast<IAsyncReader*>(reader);
  return S_OK;
}

HRESULT ReaderInputPin::BreakConnect() {
  if (reader_ != nullptr) reader_->Release();
  reader_ = nullptr;
  return S_OK;
}

WAVEFORMATEX PcmFormat(DWORD rate, WORD channels) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = channels;
  wave.nSamplesPerSec = rate;
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = static_cast<WORD>(channels * 2);
  wave.nAvgBytesPerSec = rate * wave.nBlockAlign;
  return wave;
}

HRESULT MakePcmMediaType(const WAVEFORMATEX& wave, D_CMediaType* mediaType) {
  mediaType->Clear();
  mediaType->SetType(MEDIATYPE_Audio);
  mediaType->SetSubtype(MEDIASUBTYPE_PCM);
  mediaType->SetFormatType(FORMAT_WaveFormatEx);
  mediaType->lSampleSize = wave.nBlockAlign;
  return mediaType->SetFormat(&wave, sizeof wave) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CheckPcmMediaType(const D_CMediaType* mediaType, const WAVEFORMATEX& wave) {
  if (mediaType->majortype != MEDIATYPE_Audio || mediaType->subtype != MEDIASUBTYPE_PCM ||
      mediaType->formattype != FORMAT_WaveFormatEx || mediaType->cbFormat < sizeof(WAVEFORMATEX)) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  WAVEFORMATEX offered;
  memcpy(&offered, mediaType->pbFormat, sizeof offered);
  return offered.wFormatTag == WAVE_FORMAT_PCM && offered.nChannels == wave.nChannels &&
                 offered.nSamplesPerSec == wave.nSamplesPerSec && offered.wBitsPerSample == wave.wBitsPerSample
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT SetPcmBuffers(IMemAllocator* allocator, const WAVEFORMATEX& wave, LONG count, DWORD part, LONG least) {
  LONG size = static_cast<LONG>(wave.nAvgBytesPerSec / part);
  if (size < least) size = least;
  size -= size % wave.nBlockAlign;
  ALLOCATOR_PROPERTIES wanted = {count, size, 1, 0}, actual;
  const HRESULT hr = allocator->SetProperties(&wanted, &actual);
  return FAILED(hr) ? hr : (actual.cbBuffer >= wave.nBlockAlign ? S_OK : E_FAIL);
}
