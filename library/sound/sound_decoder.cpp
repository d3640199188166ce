#include "library/sound/sound_decoder.h"

#include <algorithm>
#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"

int32_t SoundMovieSwitch = 0;

namespace {

uint32_t skipMask = 0;

constexpr uint32_t kAcmSourceStep = 2048;    // compressed bytes converted per block
constexpr uint32_t kMaxFormatChunk = 65536;  // larger format chunks are not sound files
constexpr uint32_t kMaxSampleRate = 1000000;

// Bit rates (kbit/s) by MPEG-2 flag x 3 + layer, for bit-rate indexes 1 to 14.
constexpr uint16_t kBitRates[6][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
// Sample rates (Hz) by MPEG-2 flag x 3 + sample-rate index.
constexpr uint32_t kSampleRates[6] = {44100, 48000, 32000, 22050, 24000, 16000};

// ---------------------------------------------------------------- stream helpers

bool ReadExactly(SoundDecoder* d, void* buffer, uint32_t bytes) {
  return bytes == 0 || d->stream.Read(buffer, 1, bytes, d->streamHandle) == bytes;
}

bool SeekTo(SoundDecoder* d, int64_t position) {
  if (position < 0 || position > INT32_MAX) return false;
  return d->stream.Seek(d->streamHandle, static_cast<int32_t>(position), SeekFromStart) == 0;
}

// The stream's length, the position left at 0; -1 when it cannot be had.
int64_t StreamLength(SoundDecoder* d) {
  if (d->stream.Seek(d->streamHandle, 0, SeekFromEnd) != 0) return -1;
  int32_t length = d->stream.Tell(d->streamHandle);
  if (length < 0 || !SeekTo(d, 0)) return -1;
  return length;
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

bool ChunkIs(const uint8_t* header, const char* id) { return memcmp(header, id, 4) == 0; }

// Clears what an opener may have set, keeping the stream and the variant flag.
void ResetDecoder(SoundDecoder* d) {
  StreamInterface stream = d->stream;
  uintptr_t handle = d->streamHandle;
  uint32_t variant = d->vorbisVariant;
  memset(d, 0, sizeof *d);
  d->stream = stream;
  d->streamHandle = handle;
  d->vorbisVariant = variant;
}

// ---------------------------------------------------------------- WAVE chunks

struct WaveLayout {
  uint8_t* fmt;  // the format chunk's body (tracked)
  uint32_t fmtSize;
  uint32_t dataStart;
  uint32_t dataSize;  // cut to the bytes the stream holds
};

// Walks "RIFF", "WAVE", an optional "bext", "fmt " and the chunks up to
// "data". 0, or -1 with nothing allocated.
int ReadWaveLayout(SoundDecoder* d, WaveLayout* out) {
  const int64_t length = StreamLength(d);
  if (length < 0) return -1;
  uint8_t header[8];
  if (!ReadExactly(d, header, 8) || !ChunkIs(header, "RIFF")) return -1;
  uint8_t wave[4];
  if (!ReadExactly(d, wave, 4) || !ChunkIs(wave, "WAVE")) return -1;
  int64_t position = 12;
  if (!ReadExactly(d, header, 8)) return -1;
  position += 8;
  if (ChunkIs(header, "bext")) {
    uint32_t size = Le32(header + 4);
    position += static_cast<int64_t>(size) + (size & 1);
    if (position + 8 > length || !SeekTo(d, position) || !ReadExactly(d, header, 8)) return -1;
    position += 8;
  }
  if (!ChunkIs(header, "fmt ")) return -1;
  const uint32_t fmtSize = Le32(header + 4);
  if (fmtSize > kMaxFormatChunk || position + fmtSize > length) return -1;
  auto* fmt = static_cast<uint8_t*>(TrackedCalloc(fmtSize < 18 ? 18 : fmtSize, __FILE__, __LINE__));
  if (fmt == nullptr) return -1;
  if (!ReadExactly(d, fmt, fmtSize)) {
    TrackedFree(fmt);
    return -1;
  }
  position += static_cast<int64_t>(fmtSize) + (fmtSize & 1);
  for (;;) {
    if (position + 8 > length || !SeekTo(d, position) || !ReadExactly(d, header, 8)) {
      TrackedFree(fmt);
      return -1;
    }
    position += 8;
    const uint32_t size = Le32(header + 4);
    if (ChunkIs(header, "data")) {
      out->fmt = fmt;
      out->fmtSize = fmtSize;
      out->dataStart = static_cast<uint32_t>(position);
      out->dataSize = static_cast<uint32_t>(std::min<int64_t>(size, length - position));
      return 0;
    }
    position += static_cast<int64_t>(size) + (size & 1);
  }
}

// The bytes [start, start + size) of the stream in a tracked block.
uint8_t* ReadRange(SoundDecoder* d, uint32_t start, uint32_t size) {
  auto* data = static_cast<uint8_t*>(TrackedAlloc(size == 0 ? 1 : size, __FILE__, __LINE__));
  if (data == nullptr) return nullptr;
  if (!SeekTo(d, start) || !ReadExactly(d, data, size)) {
    TrackedFree(data);
    return nullptr;
  }
  return data;
}

void FreeAcmState(SoundDecoder* d) {
  if (d->acmStream != nullptr) acmStreamClose(d->acmStream, 0);
  if (d->spareStream != nullptr) acmStreamClose(d->spareStream, 0);
  d->acmStream = d->spareStream = nullptr;
  TrackedFree(d->sourceFormat);
  TrackedFree(d->compressedData);
  d->sourceFormat = nullptr;
  d->compressedData = nullptr;
}

// With the source format and the compressed data in place: the PCM format
// and both conversions. 0, or -1 with the ACM state freed.
int StartAcmConversion(SoundDecoder* d) {
  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  if (acmFormatSuggest(nullptr, d->sourceFormat, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG) != 0 ||
      pcm.nAvgBytesPerSec == 0 || pcm.nBlockAlign == 0 ||
      acmStreamOpen(&d->acmStream, nullptr, d->sourceFormat, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0 ||
      acmStreamOpen(&d->spareStream, nullptr, d->sourceFormat, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
    FreeAcmState(d);
    return -1;
  }
  d->format = pcm;
  d->format.cbSize = 0;
  d->bufferSize = pcm.nAvgBytesPerSec;
  d->kind = SoundDecoderAcm;
  return 0;
}

// ---------------------------------------------------------------- openers

int OpenPcmWave(SoundDecoder* d) {
  WaveLayout layout{};
  if (ReadWaveLayout(d, &layout) != 0) return -1;
  WAVEFORMATEX f{};
  memcpy(&f, layout.fmt, std::min<uint32_t>(layout.fmtSize, sizeof f));
  const uint32_t fmtSize = layout.fmtSize;
  TrackedFree(layout.fmt);
  if (fmtSize < 16 || f.wFormatTag != WAVE_FORMAT_PCM) return -1;
  if (fmtSize == 16 && f.nChannels != 0) f.wBitsPerSample = static_cast<WORD>(f.nBlockAlign / f.nChannels * 8);
  // A header that cannot describe PCM (no channels, no block, a depth the
  // sound buffers do not take, a block that does not hold one sample per
  // channel, no rate) is not a sound this opener plays.
  if (f.nChannels == 0 || f.nBlockAlign == 0 || (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) ||
      f.nBlockAlign != f.nChannels * (f.wBitsPerSample / 8) || f.nSamplesPerSec == 0 ||
      f.nSamplesPerSec > kMaxSampleRate) {
    return -1;
  }
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  f.cbSize = 0;
  d->format = f;
  d->dataStart = layout.dataStart;
  d->dataSize = layout.dataSize / f.nBlockAlign * f.nBlockAlign;
  d->bufferSize = f.nAvgBytesPerSec;
  d->kind = SoundDecoderPcmWave;
  return SeekTo(d, d->dataStart) ? 0 : -1;
}

int OpenAcmWave(SoundDecoder* d) {
  WaveLayout layout{};
  if (ReadWaveLayout(d, &layout) != 0) return -1;
  auto* source = reinterpret_cast<WAVEFORMATEX*>(layout.fmt);  // at least 18 bytes, zero-filled
  if (layout.fmtSize < 16 || source->wFormatTag == WAVE_FORMAT_PCM) {
    TrackedFree(layout.fmt);
    return -1;
  }
  // The extra bytes never reach past the chunk.
  const uint32_t extraRoom = layout.fmtSize > 18 ? layout.fmtSize - 18 : 0;
  if (source->cbSize > extraRoom) source->cbSize = static_cast<WORD>(extraRoom);
  d->sourceFormat = source;
  d->compressedData = ReadRange(d, layout.dataStart, layout.dataSize);
  if (d->compressedData == nullptr) {
    FreeAcmState(d);
    return -1;
  }
  d->compressedSize = layout.dataSize;
  d->dataStart = layout.dataStart;
  d->dataSize = layout.dataSize;
  d->totalSamples = -1;
  return StartAcmConversion(d);
}

int OpenAcmMp3(SoundDecoder* d) {
  const int64_t length = StreamLength(d);
  if (length <= 0) return -1;
  int64_t end = length;
  if (length > 128) {
    uint8_t tag[3];
    if (!SeekTo(d, length - 128) || !ReadExactly(d, tag, 3)) return -1;
    if (memcmp(tag, "TAG", 3) == 0) end -= 128;
  }
  int64_t start = 0;
  uint8_t id3[10];
  if (end >= 10 && SeekTo(d, 0) && ReadExactly(d, id3, 10) && memcmp(id3, "ID3", 3) == 0) {
    uint32_t size = (id3[6] & 0x7Fu) << 21 | (id3[7] & 0x7Fu) << 14 | (id3[8] & 0x7Fu) << 7 | (id3[9] & 0x7Fu);
    start = 10 + static_cast<int64_t>(size) + (id3[3] == 4 && (id3[5] & 0x10) ? 10 : 0);
  }
  if (start >= end) return -1;
  const uint32_t size = static_cast<uint32_t>(end - start);
  uint8_t* data = ReadRange(d, static_cast<uint32_t>(start), size);
  if (data == nullptr) return -1;

  // The frames: each from a sync to its size; a frame cut off by the end of
  // the data is not counted.
  int64_t first = -1;
  MpegFrameHeader firstHeader{};
  uint64_t samples = 0;
  uint32_t p = 0;
  for (;;) {
    while (p + 1 < size && !(data[p] == 0xFF && (data[p + 1] & 0xF0) == 0xF0)) ++p;
    if (p + 4 > size) break;
    MpegFrameHeader header;
    if (ParseMpegFrameHeader(data + p, &header) != 0 || header.frameSize == 0) {
      TrackedFree(data);
      return -1;
    }
    if (header.frameSize > size - p) break;
    if (first < 0) {
      first = p;
      firstHeader = header;
    }
    samples += header.samplesPerFrame;
    p += header.frameSize;
  }
  if (first < 0 || samples > INT32_MAX) {
    TrackedFree(data);
    return -1;
  }
  const uint32_t kept = size - static_cast<uint32_t>(first);
  memmove(data, data + first, kept);

  DWORD formatSize = 0;
  if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &formatSize) != 0 || formatSize < sizeof(MPEGLAYER3WAVEFORMAT))
    formatSize = sizeof(MPEGLAYER3WAVEFORMAT);
  auto* mp3 = static_cast<MPEGLAYER3WAVEFORMAT*>(TrackedCalloc(formatSize, __FILE__, __LINE__));
  if (mp3 == nullptr) {
    TrackedFree(data);
    return -1;
  }
  mp3->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  mp3->wfx.nChannels = firstHeader.channels;
  mp3->wfx.nSamplesPerSec = firstHeader.sampleRate;
  mp3->wfx.nAvgBytesPerSec = firstHeader.bitRate * 1000 / 8;
  mp3->wfx.nBlockAlign = 1;
  mp3->wfx.wBitsPerSample = 0;
  mp3->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  mp3->wID = MPEGLAYER3_ID_MPEG;
  mp3->fdwFlags = firstHeader.padding;
  mp3->nBlockSize = static_cast<WORD>(firstHeader.frameSize);
  mp3->nFramesPerBlock = 1;
  mp3->nCodecDelay = 700;
  d->sourceFormat = &mp3->wfx;
  d->compressedData = data;
  d->compressedSize = kept;
  d->dataStart = static_cast<uint32_t>(start + first);
  d->dataSize = kept;
  d->totalSamples = static_cast<int32_t>(samples);
  return StartAcmConversion(d);
}

// ---------------------------------------------------------------- blocks

// Decodes the next block into the (empty) decode buffer; the bytes now in it,
// 0 at the end of the data.
uint32_t DecodeBlock(SoundDecoder* d) {
  switch (d->kind) {
    case SoundDecoderPcmWave: {
      uint32_t want = std::min(d->bufferSize, d->dataSize - std::min(d->pcmPosition, d->dataSize));
      return want == 0 ? 0 : d->stream.Read(d->buffer, 1, want, d->streamHandle);
    }
    case SoundDecoderAcm: {
      if (d->acmStream == nullptr) return 0;
      // A block of the data larger than one step of source gives nothing
      // until it is whole: the steps go on until PCM comes or the data ends.
      for (;;) {
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = d->compressedData + d->sourcePosition;
        header.cbSrcLength = std::min(kAcmSourceStep, d->compressedSize - d->sourcePosition);
        header.pbDst = d->buffer;
        header.cbDstLength = d->bufferSize;
        if (acmStreamPrepareHeader(d->acmStream, &header, 0) != 0) return 0;
        MMRESULT result = acmStreamConvert(d->acmStream, &header, 0);
        acmStreamUnprepareHeader(d->acmStream, &header, 0);
        if (result != 0) return 0;
        const uint32_t used = std::min(header.cbSrcLengthUsed, header.cbSrcLength);
        d->sourcePosition += used;
        const uint32_t got = std::min(header.cbDstLengthUsed, d->bufferSize);
        if (got != 0 || used == 0 || d->sourcePosition >= d->compressedSize) return got;
      }
    }
    case SoundDecoderOggVorbis:
      return ReadOggVorbisBlock(d) == 0 ? d->bufferValid : 0;
    case SoundDecoderPcmMemory: {
      uint32_t take = std::min(d->bufferSize, d->pcmUsed - std::min(d->pcmReadPosition, d->pcmUsed));
      if (take != 0) memcpy(d->buffer, d->pcmBlock + d->pcmReadPosition, take);
      d->pcmReadPosition += take;
      return take;
    }
    default:
      return 0;
  }
}

void EmptyBuffer(SoundDecoder* d) {
  d->bufferValid = 0;
  d->bufferOffset = 0;
}

// Converts forward until the target (at or after the position) lies in the
// buffer; the end of the data sets the end flag.
void SkipForward(SoundDecoder* d, uint32_t target) {
  for (;;) {
    const uint32_t bufferEnd = d->pcmPosition - d->bufferOffset + d->bufferValid;
    if (target < bufferEnd) {
      d->bufferOffset += target - d->pcmPosition;
      d->pcmPosition = target;
      return;
    }
    d->pcmPosition = bufferEnd;
    EmptyBuffer(d);
    uint32_t got = DecodeBlock(d);
    if (got == 0) {
      d->ended = 1;
      return;
    }
    d->bufferValid = got;
  }
}

void SeekAcm(SoundDecoder* d, uint32_t target) {
  const uint32_t bufferStart = d->pcmPosition - d->bufferOffset;
  if (target >= bufferStart && target < bufferStart + d->bufferValid) {
    d->bufferOffset = target - bufferStart;
    d->pcmPosition = target;
    return;
  }
  if (target < d->pcmPosition) {
    // Back to the start: the spare takes over and a new spare is opened.
    HACMSTREAM old = d->acmStream;
    d->acmStream = d->spareStream;
    d->spareStream = nullptr;
    if (old != nullptr) acmStreamClose(old, 0);
    if (d->acmStream == nullptr)
      acmStreamOpen(&d->acmStream, nullptr, d->sourceFormat, &d->format, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    acmStreamOpen(&d->spareStream, nullptr, d->sourceFormat, &d->format, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    d->sourcePosition = d->spareSourcePosition;
    d->pcmPosition = d->spareOutputPosition;
    EmptyBuffer(d);
  }
  SkipForward(d, target);
}

}  // namespace

// ---------------------------------------------------------------- interface

int ParseMpegFrameHeader(const uint8_t b[4], MpegFrameHeader* h) {
  if (b[0] != 0xFF || (b[1] & 0xF0) != 0xF0) return -2;
  h->lowSamplingFrequency = (b[1] & 0x08) == 0 ? 1 : 0;
  int layer = 3 - ((b[1] >> 1) & 3);
  if (layer > 2) return -1;
  h->layer = static_cast<uint8_t>(layer);
  h->bitRateIndex = b[2] >> 4;
  // Index 0 is free format, 15 is forbidden: neither has a table entry.
  if (h->bitRateIndex == 0 || h->bitRateIndex == 15) return -1;
  h->sampleRateIndex = (b[2] >> 2) & 3;
  if (h->sampleRateIndex == 3) return -1;
  h->padding = (b[2] >> 1) & 1;
  h->channels = (b[3] & 0xC0) == 0xC0 ? 1 : 2;
  const int row = h->lowSamplingFrequency * 3;
  h->bitRate = kBitRates[row + layer][h->bitRateIndex - 1];
  h->sampleRate = kSampleRates[row + h->sampleRateIndex];
  if (layer == 0) {
    h->frameSize = (12000 * h->bitRate / h->sampleRate + h->padding) * 4;
    h->samplesPerFrame = 384;
  } else if (layer == 1 || !h->lowSamplingFrequency) {
    h->frameSize = 144000 * h->bitRate / h->sampleRate + h->padding;
    h->samplesPerFrame = 1152;
  } else {
    h->frameSize = 72000 * h->bitRate / h->sampleRate + h->padding;
    h->samplesPerFrame = 576;
  }
  return 0;
}

int OpenSoundDecoder(const StreamInterface* stream, uintptr_t streamHandle, SoundDecoder* d) {
  memset(d, 0, sizeof *d);
  d->stream = *stream;
  d->streamHandle = streamHandle;
  d->vorbisVariant = SoundMovieSwitch ? 1 : 0;
  using Opener = int (*)(SoundDecoder*);
  static const struct {
    uint32_t bit;
    Opener open;
  } kOpeners[] = {
      {SoundSkipPcmWave, OpenPcmWave},
      {SoundSkipAcmWave, OpenAcmWave},
      {SoundSkipOggVorbis, OpenOggVorbisDecoder},
      {SoundSkipAcmMp3, OpenAcmMp3},
  };
  bool opened = false;
  for (const auto& opener : kOpeners) {
    if (skipMask & opener.bit) continue;
    SeekTo(d, 0);
    if (opener.open(d) == 0) {
      opened = true;
      break;
    }
    ResetDecoder(d);
  }
  if (!opened) {
    if (skipMask & SoundSkipDirectShowMp3) return -1;
    SeekTo(d, 0);
    if (ConvertMp3ToPcm(d) != 0) {
      ResetDecoder(d);
      return -1;
    }
  }
  d->opened = 1;
  d->buffer = d->bufferSize == 0 ? nullptr : static_cast<uint8_t*>(TrackedAlloc(d->bufferSize, __FILE__, __LINE__));
  if (d->buffer == nullptr) {
    CloseSoundDecoder(d);
    return -1;
  }
  EmptyBuffer(d);
  d->pcmPosition = 0;
  d->lookAhead = 0;
  d->ended = 0;
  return 0;
}

int ReadSoundDecoder(SoundDecoder* d, void* destination, uint32_t bytes) {
  if (!d->opened) return -1;
  if (d->ended) return 0;
  auto* out = static_cast<uint8_t*>(destination);
  uint32_t delivered = 0;
  while (delivered < bytes) {
    if (d->bufferOffset >= d->bufferValid) {
      EmptyBuffer(d);
      uint32_t got = DecodeBlock(d);
      if (got == 0) {
        d->ended = 1;
        break;
      }
      d->bufferValid = got;
    }
    uint32_t take = std::min(bytes - delivered, d->bufferValid - d->bufferOffset);
    memcpy(out + delivered, d->buffer + d->bufferOffset, take);
    d->bufferOffset += take;
    d->pcmPosition += take;
    delivered += take;
  }
  return static_cast<int>(delivered);
}

int SeekSoundDecoder(SoundDecoder* d, uint32_t sample) {
  if (!d->opened) return -1;
  const uint64_t wanted = static_cast<uint64_t>(d->format.nBlockAlign) * sample;
  const uint32_t target = wanted > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(wanted);
  const uint32_t distance = target > d->pcmPosition ? target - d->pcmPosition : d->pcmPosition - target;
  if (distance < 16) return 0;
  d->ended = 0;
  switch (d->kind) {
    case SoundDecoderPcmWave: {
      const uint32_t at = std::min(target, d->dataSize);
      SeekTo(d, static_cast<int64_t>(d->dataStart) + at);
      EmptyBuffer(d);
      d->pcmPosition = at;
      break;
    }
    case SoundDecoderAcm:
      SeekAcm(d, target);
      break;
    case SoundDecoderOggVorbis:
      SeekOggVorbisDecoder(d, sample);
      break;
    case SoundDecoderPcmMemory:
      d->pcmReadPosition = std::min(target, d->pcmUsed);
      EmptyBuffer(d);
      d->pcmPosition = d->pcmReadPosition;
      break;
  }
  return 0;
}

int CloseSoundDecoder(SoundDecoder* d) {
  if (!d->opened) return -1;
  TrackedFree(d->buffer);
  d->buffer = nullptr;
  switch (d->kind) {
    case SoundDecoderAcm:
      FreeAcmState(d);
      break;
    case SoundDecoderOggVorbis:
      CloseOggVorbisDecoder(d);
      break;
    case SoundDecoderPcmMemory:
      TrackedFree(d->pcmBlock);
      d->pcmBlock = nullptr;
      break;
  }
  d->opened = 0;
  return 0;
}

int GetSoundDecoderFormat(const SoundDecoder* d, WAVEFORMATEX* format) {
  *format = d->format;
  return 0;
}

uint32_t GetSoundDecoderPcmSize(SoundDecoder* d) {
  switch (d->kind) {
    case SoundDecoderPcmWave:
      return d->dataSize;
    case SoundDecoderAcm: {
      if (d->totalSamples >= 0) {
        uint64_t size = static_cast<uint64_t>(d->format.nBlockAlign) * static_cast<uint32_t>(d->totalSamples);
        return size > INT32_MAX ? INT32_MAX : static_cast<uint32_t>(size);
      }
      DWORD size = 0;
      HACMSTREAM s = d->acmStream != nullptr ? d->acmStream : d->spareStream;
      if (s == nullptr || acmStreamSize(s, d->compressedSize, &size, ACM_STREAMSIZEF_SOURCE) != 0) return 0;
      return size > INT32_MAX ? INT32_MAX : size;
    }
    case SoundDecoderOggVorbis:
      return GetOggVorbisPcmSize(d);
    case SoundDecoderPcmMemory:
      return d->pcmUsed;
    default:
      return 0;
  }
}

int DecodeWholeSound(SoundDecoder* d, WAVEFORMATEX* format, void** data, uint32_t* size) {
  const uint32_t pcmSize = GetSoundDecoderPcmSize(d);
  auto* block = static_cast<uint8_t*>(TrackedAlloc(pcmSize == 0 ? 1 : pcmSize, __FILE__, __LINE__));
  if (block == nullptr) return -1;
  uint32_t got;
  if (d->kind == SoundDecoderPcmWave) {
    // Straight from the stream, past the decode buffer.
    got = SeekTo(d, d->dataStart) ? d->stream.Read(block, 1, pcmSize, d->streamHandle) : 0;
    EmptyBuffer(d);
    d->pcmPosition = got;
    d->ended = got < pcmSize ? 1 : 0;
  } else {
    SeekSoundDecoder(d, 0);
    int read = ReadSoundDecoder(d, block, pcmSize);
    got = read > 0 ? static_cast<uint32_t>(read) : 0;
  }
  // What the data really held, when it was less than its headers promised.
  if (got != 0 && got < pcmSize) {
    if (void* smaller = TrackedRealloc(block, got, __FILE__, __LINE__)) block = static_cast<uint8_t*>(smaller);
  }
  *format = d->format;
  *data = block;
  *size = got;
  return 0;
}

int ReadWholeStream(const StreamInterface* stream, uintptr_t handle, void** data, uint32_t* size) {
  if (stream->Seek(handle, 0, SeekFromEnd) != 0) return -1;
  const int32_t length = stream->Tell(handle);
  if (length < 0 || stream->Seek(handle, 0, SeekFromStart) != 0) return -1;
  void* block = TrackedAlloc(length == 0 ? 1 : static_cast<size_t>(length), __FILE__, __LINE__);
  if (block == nullptr) return -2;
  if (length != 0 && stream->Read(block, 1, static_cast<uint32_t>(length), handle) != static_cast<uint32_t>(length)) {
    TrackedFree(block);
    return -1;
  }
  *data = block;
  *size = static_cast<uint32_t>(length);
  return 0;
}

int ReadStreamToMemory(const StreamInterface* stream, uintptr_t handle, void** data, uint32_t* size) {
  int result = ReadWholeStream(stream, handle, data, size);
  if (result == -2) WriteLogMessage("ストリームの読み込みに必要なメモリの確保に失敗しました");
  return result == 0 ? 0 : -1;
}

int SetSoundDecoderSkipMask(uint32_t mask) {
  skipMask = mask;
  return 0;
}

uint32_t GetSoundDecoderSkipMask() { return skipMask; }
