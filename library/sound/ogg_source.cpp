// The Ogg Vorbis opener of the sound decoder: vorbisfile over the decoder's
// stream, serving 16-bit signed little-endian PCM. One vorbisfile build
// serves plain files and movie files alike: it passes over the logical
// streams that are not Vorbis (a movie's Theora video) on its own.
#include <vorbis/vorbisfile.h>

#include <cstring>

#include "library/core/memory.h"
#include "library/sound/sound_decoder.h"

namespace {

constexpr uint32_t kBlockBytes = 4096;
constexpr int kBytesPerSample = 2;
// Holes (lost pages) in a row that a block read passes over before it takes
// the data for ended.
constexpr int kHolesSkipped = 64;

OggVorbis_File* State(SoundDecoder* d) { return static_cast<OggVorbis_File*>(d->vorbisFile); }

size_t ReadCallback(void* buffer, size_t size, size_t count, void* source) {
  auto* d = static_cast<SoundDecoder*>(source);
  if (d == nullptr) return static_cast<size_t>(-1);
  if (size > UINT32_MAX || count > UINT32_MAX) return 0;
  return d->stream.Read(buffer, static_cast<uint32_t>(size), static_cast<uint32_t>(count), d->streamHandle);
}

int SeekCallback(void* source, ogg_int64_t offset, int whence) {
  auto* d = static_cast<SoundDecoder*>(source);
  if (d == nullptr) return -1;
  // The streams address 32 bits.
  return d->stream.Seek(d->streamHandle, static_cast<int32_t>(offset), whence);
}

int CloseCallback(void*) { return 0; }  // the stream stays with the decoder

long TellCallback(void* source) {
  auto* d = static_cast<SoundDecoder*>(source);
  if (d == nullptr) return -1;
  return d->stream.Tell(d->streamHandle);
}

}  // namespace

int OpenOggVorbisDecoder(SoundDecoder* d) {
  d->vorbisOpen = 0;
  auto* state = static_cast<OggVorbis_File*>(TrackedCalloc(sizeof(OggVorbis_File), __FILE__, __LINE__));
  if (state == nullptr) return -1;
  const ov_callbacks callbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};
  if (ov_open_callbacks(d, state, nullptr, 0, callbacks) != 0) {
    TrackedFree(state);
    return -1;
  }
  d->vorbisFile = state;
  d->vorbisOpen = 1;
  const vorbis_info* info = ov_info(state, -1);
  const ogg_int64_t samples = ov_pcm_total(state, -1);
  // A stream that cannot say its length, or one longer than the decoder
  // counts in bytes, is refused.
  if (info == nullptr || info->channels < 1 || info->channels > 255 || info->rate <= 0 || samples < 0 ||
      samples * info->channels * kBytesPerSample > INT32_MAX) {
    CloseOggVorbisDecoder(d);
    return -1;
  }
  WAVEFORMATEX& f = d->format;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<WORD>(info->channels);
  f.nSamplesPerSec = static_cast<DWORD>(info->rate);
  f.nBlockAlign = static_cast<WORD>(info->channels * kBytesPerSample);
  f.wBitsPerSample = 16;
  f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
  f.cbSize = 0;
  d->bufferSize = kBlockBytes;
  d->dataSize = GetOggVorbisPcmSize(d);
  d->kind = SoundDecoderOggVorbis;
  return 0;
}

int ReadOggVorbisBlock(SoundDecoder* d) {
  if (!d->vorbisOpen) return -1;
  for (int holes = 0; holes <= kHolesSkipped; ++holes) {
    int link = 0;
    long got = ov_read(State(d), reinterpret_cast<char*>(d->buffer), static_cast<int>(d->bufferSize), 0,
                       kBytesPerSample, 1, &link);
    if (got == OV_HOLE) continue;  // a gap in the data: the samples after it follow
    if (got <= 0) return -1;       // the end, or a link that cannot be read
    // A chained link of another channel count would break the sample
    // frames: the data ends before it.
    const vorbis_info* info = ov_info(State(d), link);
    if (info == nullptr || info->channels != d->format.nChannels) return -1;
    d->bufferValid = static_cast<uint32_t>(got);
    d->bufferOffset = 0;
    return 0;
  }
  return -1;
}

int SeekOggVorbisDecoder(SoundDecoder* d, uint32_t sample) {
  if (d->vorbisOpen) ov_pcm_seek(State(d), sample);
  d->bufferValid = 0;
  d->bufferOffset = 0;
  const uint64_t position = static_cast<uint64_t>(d->format.nBlockAlign) * sample;
  d->pcmPosition = position > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(position);
  return 0;
}

int CloseOggVorbisDecoder(SoundDecoder* d) {
  if (d->vorbisOpen) ov_clear(State(d));
  d->vorbisOpen = 0;
  TrackedFree(d->vorbisFile);
  d->vorbisFile = nullptr;
  return 0;
}

uint32_t GetOggVorbisPcmSize(SoundDecoder* d) {
  if (!d->vorbisOpen) return 0;
  const ogg_int64_t samples = ov_pcm_total(State(d), -1);
  if (samples < 0) return 0;
  const ogg_int64_t bytes = samples * d->format.nChannels * kBytesPerSample;
  return bytes > INT32_MAX ? INT32_MAX : static_cast<uint32_t>(bytes);
}
