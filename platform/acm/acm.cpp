#include <mpg123.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/acm/msacm.h"

struct HACMSTREAM__ {
  WAVEFORMATEX source;
  WAVEFORMATEX pcm;
  uint32_t frameBytes;    // the first frame's size (the format's block size)
  uint32_t frameSamples;  // samples per frame at the source's rate
  mpg123_handle* decoder;
};

namespace {

std::atomic<int> liveStreams{0};

bool IsMpeg(const WAVEFORMATEX* f) {
  return f != nullptr && (f->wFormatTag == WAVE_FORMAT_MPEGLAYER3 || f->wFormatTag == WAVE_FORMAT_MPEG) &&
         (f->nChannels == 1 || f->nChannels == 2) && f->nSamplesPerSec >= 8000 && f->nSamplesPerSec <= 48000;
}

void SuggestPcm(const WAVEFORMATEX* src, WAVEFORMATEX* dst) {
  dst->wFormatTag = WAVE_FORMAT_PCM;
  dst->nChannels = src->nChannels;
  dst->nSamplesPerSec = src->nSamplesPerSec;
  dst->wBitsPerSample = 16;
  dst->nBlockAlign = static_cast<WORD>(src->nChannels * 2);
  dst->nAvgBytesPerSec = dst->nSamplesPerSec * dst->nBlockAlign;
  dst->cbSize = 0;
}

// Layer III at the low rates (MPEG-2 and 2.5) has 576 samples a frame;
// everything else 1152 (layer I's 384 stays below that bound).
uint32_t SamplesPerFrame(uint32_t rate) { return rate >= 32000 ? 1152 : 576; }

mpg123_handle* NewDecoder(const WAVEFORMATEX& pcm) {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
  int error = 0;
  mpg123_handle* h = mpg123_new(nullptr, &error);
  if (h == nullptr) return nullptr;
  // Whole frames come in as they are: decode from the first one on, keep
  // every sample, and take an information frame for the frame it is.
  long remove = MPG123_GAPLESS;
  long add = MPG123_QUIET | MPG123_NO_READAHEAD | MPG123_IGNORE_INFOFRAME | MPG123_SKIP_ID3V2;
  if (mpg123_param(h, MPG123_REMOVE_FLAGS, remove, 0) != MPG123_OK ||
      mpg123_param(h, MPG123_ADD_FLAGS, add, 0) != MPG123_OK || mpg123_format_none(h) != MPG123_OK ||
      mpg123_format(h, static_cast<long>(pcm.nSamplesPerSec), pcm.nChannels == 1 ? MPG123_MONO : MPG123_STEREO,
                    MPG123_ENC_SIGNED_16) != MPG123_OK ||
      mpg123_open_feed(h) != MPG123_OK) {
    mpg123_delete(h);
    return nullptr;
  }
  return h;
}

}  // namespace

MMRESULT acmMetrics(HACMOBJ object, UINT metric, void* value) {
  if (object != nullptr) return MMSYSERR_INVALHANDLE;
  if (value == nullptr) return MMSYSERR_INVALPARAM;
  if (metric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_INVALPARAM;
  DWORD size = sizeof(MPEGLAYER3WAVEFORMAT);
  memcpy(value, &size, sizeof size);
  return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(HACMDRIVER driver, const WAVEFORMATEX* src, WAVEFORMATEX* dst, DWORD dstSize, DWORD flags) {
  if (driver != nullptr) return MMSYSERR_INVALHANDLE;
  if (src == nullptr || dst == nullptr || dstSize < sizeof(WAVEFORMATEX) - sizeof(WORD)) return MMSYSERR_INVALPARAM;
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
  if (!IsMpeg(src)) return ACMERR_NOTPOSSIBLE;
  WAVEFORMATEX pcm{};
  SuggestPcm(src, &pcm);
  if ((flags & ACM_FORMATSUGGESTF_NCHANNELS) && dst->nChannels != pcm.nChannels) return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && dst->nSamplesPerSec != pcm.nSamplesPerSec)
    return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && dst->wBitsPerSample != 16) return ACMERR_NOTPOSSIBLE;
  memcpy(dst, &pcm, dstSize < sizeof pcm ? dstSize : sizeof pcm);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* src, const WAVEFORMATEX* dst,
                       void* filter, uintptr_t callback, uintptr_t, DWORD flags) {
  if (driver != nullptr) return MMSYSERR_INVALHANDLE;
  if (src == nullptr || dst == nullptr || filter != nullptr || callback != 0) return MMSYSERR_INVALPARAM;
  if (!IsMpeg(src)) return ACMERR_NOTPOSSIBLE;
  WAVEFORMATEX pcm{};
  SuggestPcm(src, &pcm);
  if (dst->wFormatTag != WAVE_FORMAT_PCM || dst->nChannels != pcm.nChannels ||
      dst->nSamplesPerSec != pcm.nSamplesPerSec || dst->wBitsPerSample != 16 || dst->nBlockAlign != pcm.nBlockAlign) {
    return ACMERR_NOTPOSSIBLE;
  }
  if (flags & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
  if (stream == nullptr) return MMSYSERR_INVALPARAM;
  *stream = nullptr;
  uint32_t frameBytes = 0;
  if (src->wFormatTag == WAVE_FORMAT_MPEGLAYER3 && src->cbSize >= MPEGLAYER3_WFX_EXTRA_BYTES) {
    MPEGLAYER3WAVEFORMAT mp3;
    memcpy(&mp3, src, sizeof mp3);
    frameBytes = mp3.nBlockSize;
  }
  if (frameBytes == 0) {
    // Without a block size: frames of the format's average rate.
    uint32_t samples = SamplesPerFrame(src->nSamplesPerSec);
    frameBytes = static_cast<uint32_t>(static_cast<uint64_t>(src->nAvgBytesPerSec) * samples / src->nSamplesPerSec);
  }
  mpg123_handle* decoder = NewDecoder(pcm);
  if (decoder == nullptr) return MMSYSERR_NOMEM;
  auto* s = new HACMSTREAM__{*src, pcm, frameBytes > 1 ? frameBytes : 2, SamplesPerFrame(src->nSamplesPerSec), decoder};
  s->source.cbSize = 0;
  ++liveStreams;
  *stream = s;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  mpg123_delete(stream->decoder);
  delete stream;
  --liveStreams;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (output == nullptr) return MMSYSERR_INVALPARAM;
  const uint64_t frameBytes = stream->frameBytes;
  const uint64_t framePcm = static_cast<uint64_t>(stream->frameSamples) * stream->pcm.nBlockAlign;
  uint64_t size;
  if (flags == ACM_STREAMSIZEF_SOURCE) {
    size = (input / (frameBytes - 1) + 1) * framePcm;
  } else if (flags == ACM_STREAMSIZEF_DESTINATION) {
    size = (input + framePcm - 1) / framePcm * frameBytes;
  } else {
    return MMSYSERR_INVALFLAG;
  }
  if (size > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
  *output = static_cast<DWORD>(size);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || header->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  header->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || header->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || header->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0) return ACMERR_UNPREPARED;
  if ((header->cbSrcLength != 0 && header->pbSrc == nullptr) || (header->cbDstLength != 0 && header->pbDst == nullptr))
    return MMSYSERR_INVALPARAM;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
  header->cbSrcLengthUsed = 0;
  header->cbDstLengthUsed = 0;
  mpg123_handle* h = stream->decoder;
  if (header->cbSrcLength != 0) {
    if (mpg123_feed(h, header->pbSrc, header->cbSrcLength) != MPG123_OK) return MMSYSERR_NOMEM;
    header->cbSrcLengthUsed = header->cbSrcLength;
  }
  // Whole sample frames only, as many as the destination holds.
  const size_t align = stream->pcm.nBlockAlign;
  size_t room = header->cbDstLength / align * align;
  uint8_t* out = header->pbDst;
  size_t written = 0;
  while (written < room) {
    size_t done = 0;
    int result = mpg123_read(h, out + written, room - written, &done);
    written += done;
    if (result == MPG123_NEW_FORMAT) continue;
    if (result != MPG123_OK || done == 0) break;  // needs more source, or a frame it cannot decode
  }
  header->cbDstLengthUsed = static_cast<DWORD>(written);
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  return MMSYSERR_NOERROR;
}

int PlatformLiveAcmStreamCount() { return liveStreams.load(); }
