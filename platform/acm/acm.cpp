#include <mpg123.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/acm/msacm.h"

struct HACMSTREAM__ {
  WAVEFORMATEX source;
  WAVEFORMATEX pcm;
  uint32_t frameBytes;    // MPEG: the first frame's size (the format's block size); block codecs: the block
  uint32_t frameSamples;  // samples per frame or block
  mpg123_handle* decoder;  // MPEG
  // Block codecs: the decoder, the source bytes not yet making a whole
  // block, and the PCM decoded but not yet given out.
  AVCodecContext* codec;
  std::vector<uint8_t> input;
  size_t inputUsed;
  std::vector<uint8_t> output;
  size_t outputUsed;
};

namespace {

std::atomic<int> liveStreams{0};

// MPEG audio of one or two channels at one of the rates MPEG-1, 2 and 2.5
// have (the decoder makes nothing of another).
bool IsMpeg(const WAVEFORMATEX* f) {
  if (f == nullptr || (f->wFormatTag != WAVE_FORMAT_MPEGLAYER3 && f->wFormatTag != WAVE_FORMAT_MPEG) ||
      (f->nChannels != 1 && f->nChannels != 2)) {
    return false;
  }
  for (DWORD rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
    if (f->nSamplesPerSec == rate) return true;
  return false;
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

// ---------------------------------------------------------------- block codecs

AVCodecID BlockCodecOf(WORD tag) {
  switch (tag) {
    case WAVE_FORMAT_IMA_ADPCM:
      return AV_CODEC_ID_ADPCM_IMA_WAV;
    case WAVE_FORMAT_ADPCM:
      return AV_CODEC_ID_ADPCM_MS;
    case WAVE_FORMAT_ALAW:
      return AV_CODEC_ID_PCM_ALAW;
    case WAVE_FORMAT_MULAW:
      return AV_CODEC_ID_PCM_MULAW;
    case WAVE_FORMAT_GSM610:
      return AV_CODEC_ID_GSM_MS;
    default:
      return AV_CODEC_ID_NONE;
  }
}

// Samples of each channel that one block of the format holds; 0 when the
// format is none of the block codecs or its block cannot be right.
uint32_t SamplesPerBlock(const WAVEFORMATEX* f) {
  if (f == nullptr || BlockCodecOf(f->wFormatTag) == AV_CODEC_ID_NONE) return 0;
  const uint32_t channels = f->nChannels, block = f->nBlockAlign;
  if (channels < 1 || channels > 2 || f->nSamplesPerSec < 1000 || f->nSamplesPerSec > 192000 || block == 0) return 0;
  switch (f->wFormatTag) {
    case WAVE_FORMAT_IMA_ADPCM:
      // A header of 4 bytes a channel, then 4-bit samples in words of 8 a channel.
      if (f->wBitsPerSample != 4 || block <= 4 * channels || (block - 4 * channels) % (4 * channels) != 0) return 0;
      return (block - 4 * channels) * 2 / channels + 1;
    case WAVE_FORMAT_ADPCM:
      // A header of 7 bytes a channel holding two samples, then 4-bit samples.
      if (f->wBitsPerSample != 4 || block <= 7 * channels) return 0;
      return (block - 7 * channels) * 2 / channels + 2;
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
      return block == channels ? 1 : 0;
    case WAVE_FORMAT_GSM610:
      // Two frames of 160 samples in 65 bytes.
      return channels == 1 && block == 65 ? 320 : 0;
    default:
      return 0;
  }
}

AVCodecContext* NewBlockDecoder(const WAVEFORMATEX* src) {
  const AVCodec* codec = avcodec_find_decoder(BlockCodecOf(src->wFormatTag));
  if (codec == nullptr) return nullptr;
  AVCodecContext* c = avcodec_alloc_context3(codec);
  if (c == nullptr) return nullptr;
  c->sample_rate = static_cast<int>(src->nSamplesPerSec);
  av_channel_layout_default(&c->ch_layout, src->nChannels);
  c->block_align = src->nBlockAlign;
  c->bits_per_coded_sample = src->wBitsPerSample;
  c->bit_rate = static_cast<int64_t>(src->nAvgBytesPerSec) * 8;
  c->thread_count = 1;
  // The format's extra bytes (the ADPCM coefficients and block lengths).
  if (src->cbSize > 0) {
    c->extradata = static_cast<uint8_t*>(av_mallocz(src->cbSize + AV_INPUT_BUFFER_PADDING_SIZE));
    if (c->extradata == nullptr) {
      avcodec_free_context(&c);
      return nullptr;
    }
    memcpy(c->extradata, reinterpret_cast<const uint8_t*>(src) + sizeof(WAVEFORMATEX), src->cbSize);
    c->extradata_size = src->cbSize;
  }
  if (avcodec_open2(c, codec, nullptr) < 0) avcodec_free_context(&c);
  return c;
}

// Appends a decoded frame's samples, 16-bit and interleaved, to the output.
void TakeFrame(HACMSTREAM__* s, const AVFrame* frame) {
  const int channels = s->pcm.nChannels;
  if (frame->ch_layout.nb_channels != channels || frame->nb_samples <= 0) return;
  const size_t bytes = static_cast<size_t>(frame->nb_samples) * channels * 2;
  const size_t at = s->output.size();
  s->output.resize(at + bytes);
  auto* out = reinterpret_cast<int16_t*>(s->output.data() + at);
  if (frame->format == AV_SAMPLE_FMT_S16) {
    memcpy(out, frame->data[0], bytes);
  } else if (frame->format == AV_SAMPLE_FMT_S16P) {
    for (int i = 0; i < frame->nb_samples; ++i)
      for (int c = 0; c < channels; ++c) out[i * channels + c] = reinterpret_cast<const int16_t*>(frame->data[c])[i];
  } else {
    s->output.resize(at);  // no codec here decodes to another sample format
  }
}

// Decodes the whole blocks of the input into the output; a block the codec
// refuses gives nothing.
void DecodeBlocks(HACMSTREAM__* s) {
  const size_t block = s->frameBytes;
  // A-law and mu-law blocks are single sample frames: many go in one packet.
  const size_t perPacket = s->frameSamples == 1 ? block * (4096 / block) : block;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (packet == nullptr || frame == nullptr) {
    av_packet_free(&packet);
    av_frame_free(&frame);
    return;
  }
  while (s->input.size() - s->inputUsed >= block) {
    const size_t take = std::min(perPacket, (s->input.size() - s->inputUsed) / block * block);
    if (av_new_packet(packet, static_cast<int>(take)) < 0) break;
    memcpy(packet->data, s->input.data() + s->inputUsed, take);
    s->inputUsed += take;
    if (avcodec_send_packet(s->codec, packet) == 0) {
      while (avcodec_receive_frame(s->codec, frame) == 0) {
        TakeFrame(s, frame);
        av_frame_unref(frame);
      }
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  av_frame_free(&frame);
  if (s->inputUsed == s->input.size()) {
    s->input.clear();
    s->inputUsed = 0;
  }
}

MMRESULT ConvertBlocks(HACMSTREAM__* s, ACMSTREAMHEADER* header) {
  if (header->cbSrcLength != 0) {
    // What was taken before goes first.
    if (s->inputUsed != 0) {
      s->input.erase(s->input.begin(), s->input.begin() + static_cast<std::ptrdiff_t>(s->inputUsed));
      s->inputUsed = 0;
    }
    s->input.insert(s->input.end(), header->pbSrc, header->pbSrc + header->cbSrcLength);
    header->cbSrcLengthUsed = header->cbSrcLength;
  }
  const size_t align = s->pcm.nBlockAlign;
  const size_t room = header->cbDstLength / align * align;
  size_t written = 0;
  for (;;) {
    const size_t take = std::min(room - written, s->output.size() - s->outputUsed);
    if (take != 0) memcpy(header->pbDst + written, s->output.data() + s->outputUsed, take);
    written += take;
    s->outputUsed += take;
    if (s->outputUsed == s->output.size()) {
      s->output.clear();
      s->outputUsed = 0;
    }
    if (written == room || s->input.size() - s->inputUsed < s->frameBytes) break;
    if (s->outputUsed != 0) {
      s->output.erase(s->output.begin(), s->output.begin() + static_cast<std::ptrdiff_t>(s->outputUsed));
      s->outputUsed = 0;
    }
    DecodeBlocks(s);
  }
  header->cbDstLengthUsed = static_cast<DWORD>(written);
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  return MMSYSERR_NOERROR;
}

// ---------------------------------------------------------------- MPEG

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
  if (!IsMpeg(src) && SamplesPerBlock(src) == 0) return ACMERR_NOTPOSSIBLE;
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
  const uint32_t blockSamples = SamplesPerBlock(src);
  if (!IsMpeg(src) && blockSamples == 0) return ACMERR_NOTPOSSIBLE;
  WAVEFORMATEX pcm{};
  SuggestPcm(src, &pcm);
  if (dst->wFormatTag != WAVE_FORMAT_PCM || dst->nChannels != pcm.nChannels ||
      dst->nSamplesPerSec != pcm.nSamplesPerSec || dst->wBitsPerSample != 16 || dst->nBlockAlign != pcm.nBlockAlign) {
    return ACMERR_NOTPOSSIBLE;
  }
  if (flags & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
  if (stream == nullptr) return MMSYSERR_INVALPARAM;
  *stream = nullptr;
  if (blockSamples != 0) {
    AVCodecContext* codec = NewBlockDecoder(src);
    if (codec == nullptr) return ACMERR_NOTPOSSIBLE;
    auto* s = new HACMSTREAM__{*src, pcm, src->nBlockAlign, blockSamples, nullptr, codec, {}, 0, {}, 0};
    s->source.cbSize = 0;
    ++liveStreams;
    *stream = s;
    return MMSYSERR_NOERROR;
  }
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
  auto* s = new HACMSTREAM__{*src,    pcm, frameBytes > 1 ? frameBytes : 2, SamplesPerFrame(src->nSamplesPerSec),
                             decoder, nullptr, {}, 0, {}, 0};
  s->source.cbSize = 0;
  ++liveStreams;
  *stream = s;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD) {
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (stream->decoder != nullptr) mpg123_delete(stream->decoder);
  avcodec_free_context(&stream->codec);
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
  if (stream->codec != nullptr && flags == ACM_STREAMSIZEF_SOURCE) {
    size = input / frameBytes * framePcm;  // whole blocks only
  } else if (flags == ACM_STREAMSIZEF_SOURCE) {
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
  if (stream->codec != nullptr) return ConvertBlocks(stream, header);
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
