// The Ogg Vorbis opener of the sound decoder: vorbisfile over the decoder's
// stream, serving 16-bit signed little-endian PCM. One vorbisfile build
// serves plain files and movie files alike: it passes over the logical
// streams that are not Vorbis (a movie's Theora video) on its own.
//
// A chained file (links one after another, as two files written end to end
// give) plays every link in order in the first link's format: the sound
// buffers hold one format. A link of another channel count is mixed to it
// (mono doubled, stereo and more averaged to mono, the front pair of more
// channels taken for stereo) and a link of another rate is resampled to it
// by linear interpolation, so that it keeps its pitch and length. When the
// first link has more than two channels (no sound buffer takes it) the data
// ends before a link of another format.
#include <vorbis/vorbisfile.h>

#include <algorithm>
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

struct LinkFormat {
  int channels;
  long rate;
};

bool LinkFormatOf(SoundDecoder* d, int link, LinkFormat* f) {
  const vorbis_info* info = ov_info(State(d), link);
  if (info == nullptr || info->channels < 1 || info->channels > 255 || info->rate <= 0) return false;
  *f = {info->channels, info->rate};
  return true;
}

bool SameFormat(const SoundDecoder* d, const LinkFormat& f) {
  return f.channels == d->format.nChannels && f.rate == static_cast<long>(d->format.nSamplesPerSec);
}

// The frames a link of `frames` frames at `rate` gives at the output rate:
// one for every position k x rate / outRate before its last frame.
int64_t ConvertedFrames(int64_t frames, long rate, long outRate) {
  if (rate == outRate || frames <= 0) return frames > 0 ? frames : 0;
  return ((frames - 1) * outRate + rate - 1) / rate;
}

// One frame of a link in the output's channels (one or two).
void MapChannels(const int16_t* in, int inChannels, int outChannels, int32_t out[2]) {
  if (inChannels == outChannels) {
    out[0] = in[0];
    if (outChannels == 2) out[1] = in[1];
  } else if (outChannels == 1) {
    int32_t sum = 0;
    for (int c = 0; c < inChannels; ++c) sum += in[c];
    out[0] = sum / inChannels;
  } else if (inChannels == 1) {
    out[0] = out[1] = in[0];
  } else {
    // Vorbis orders three and five to eight channels L, C, R, ...; four as
    // L, R, rear L, rear R.
    const int right = inChannels == 4 || inChannels > 8 ? 1 : 2;
    out[0] = in[0];
    out[1] = in[right];
  }
}

// Converts frames of the link being read (its channels and rate) into the
// output block; the output frames written, never more than room.
uint32_t ConvertFrames(SoundDecoder* d, const int16_t* in, const LinkFormat& f, uint32_t frames, int16_t* out,
                       uint32_t room) {
  const int outChannels = d->format.nChannels;
  const int64_t outRate = d->format.nSamplesPerSec;
  uint32_t written = 0;
  for (uint32_t i = 0; i < frames; ++i) {
    int32_t x[2] = {0, 0};
    MapChannels(in + static_cast<size_t>(i) * f.channels, f.channels, outChannels, x);
    const int64_t j = d->vorbisInFrame++;
    if (f.rate == outRate) {
      if (written < room) {
        for (int c = 0; c < outChannels; ++c) out[written * outChannels + c] = static_cast<int16_t>(x[c]);
        ++written;
      }
      ++d->vorbisOutFrame;
      continue;
    }
    // Every output frame whose position lies between the frame before and
    // this one, interpolated between the two.
    if (d->vorbisHavePrevious) {
      for (;;) {
        const int64_t at = d->vorbisOutFrame * f.rate;  // the position, in input frames x outRate
        if (at >= j * outRate) break;
        if (written < room) {
          const int64_t fraction = std::max<int64_t>(at - (j - 1) * outRate, 0);
          for (int c = 0; c < outChannels; ++c) {
            const int64_t p = d->vorbisPrevious[c];
            out[written * outChannels + c] = static_cast<int16_t>(p + (x[c] - p) * fraction / outRate);
          }
          ++written;
        }
        ++d->vorbisOutFrame;
      }
    }
    d->vorbisPrevious[0] = x[0];
    d->vorbisPrevious[1] = x[1];
    d->vorbisHavePrevious = 1;
  }
  return written;
}

// Each link's frames in the output format, the read size and (when a link
// must be converted) the conversion block. False when memory runs out.
bool PlanLinks(SoundDecoder* d) {
  const long links = ov_streams(State(d));
  if (links < 1) return false;
  d->vorbisLinks = static_cast<int64_t*>(TrackedCalloc(sizeof(int64_t) * static_cast<size_t>(links), __FILE__, __LINE__));
  if (d->vorbisLinks == nullptr) return false;
  const long outRate = static_cast<long>(d->format.nSamplesPerSec);
  const int outChannels = d->format.nChannels;
  const uint32_t room = kBlockBytes / (outChannels * kBytesPerSample);
  bool converts = false, ended = false;
  uint32_t readBytes = kBlockBytes, widest = 0;
  for (long i = 0; i < links; ++i) {
    LinkFormat f{};
    const ogg_int64_t frames = ov_pcm_total(State(d), static_cast<int>(i));
    if (ended || !LinkFormatOf(d, static_cast<int>(i), &f) || frames < 0) {
      ended = true;
      continue;
    }
    if (!SameFormat(d, f)) {
      if (outChannels > 2) {
        ended = true;
        continue;
      }
      converts = true;
    }
    d->vorbisLinks[i] = ConvertedFrames(frames, f.rate, outRate);
    const uint64_t in = f.rate == outRate ? room : std::max<uint64_t>(1, (room - 2) * static_cast<uint64_t>(f.rate) / outRate);
    readBytes = static_cast<uint32_t>(std::min<uint64_t>(readBytes, in * f.channels * kBytesPerSample));
    widest = std::max<uint32_t>(widest, static_cast<uint32_t>(f.channels * kBytesPerSample));
  }
  d->vorbisReadBytes = std::max(readBytes, widest);
  if (converts) {
    d->vorbisScratch = static_cast<uint8_t*>(TrackedAlloc(kBlockBytes, __FILE__, __LINE__));
    if (d->vorbisScratch == nullptr) return false;
  }
  return true;
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
  d->vorbisLink = -1;
  // vorbisfile may leave the file standing elsewhere once it has measured it
  // (a chained file at its last link): the decoder starts at the first
  // sample of the first link.
  const vorbis_info* info = ov_info(state, 0);
  if (info == nullptr || info->channels < 1 || info->channels > 255 || info->rate <= 0 ||
      (ov_pcm_seek(state, 0) != 0 && ov_pcm_tell(state) != 0)) {
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
  if (!PlanLinks(d)) {
    CloseOggVorbisDecoder(d);
    return -1;
  }
  // A stream that cannot say its length, or one longer than the decoder
  // counts in bytes, is refused.
  int64_t frames = 0;
  for (long i = 0; i < ov_streams(state); ++i) frames += d->vorbisLinks[i];
  if (ov_pcm_total(state, -1) < 0 || frames * info->channels * kBytesPerSample > INT32_MAX) {
    CloseOggVorbisDecoder(d);
    return -1;
  }
  d->bufferSize = kBlockBytes;
  d->dataSize = GetOggVorbisPcmSize(d);
  d->kind = SoundDecoderOggVorbis;
  return 0;
}

int ReadOggVorbisBlock(SoundDecoder* d) {
  if (!d->vorbisOpen) return -1;
  const int outChannels = d->format.nChannels;
  for (int holes = 0; holes <= kHolesSkipped;) {
    int link = 0;
    char* into = reinterpret_cast<char*>(d->vorbisScratch != nullptr ? d->vorbisScratch : d->buffer);
    const int want = static_cast<int>(d->vorbisScratch != nullptr ? d->vorbisReadBytes : d->bufferSize);
    const long got = ov_read(State(d), into, want, 0, kBytesPerSample, 1, &link);
    if (got == OV_HOLE) {  // a gap in the data: the samples after it follow
      ++holes;
      continue;
    }
    if (got <= 0) return -1;  // the end, or a link that cannot be read
    LinkFormat f{};
    if (!LinkFormatOf(d, link, &f)) return -1;
    if (d->vorbisScratch == nullptr) {
      // Every link is in the output format, or the first has more channels
      // than a sound buffer takes and the data ends before another format.
      if (!SameFormat(d, f)) return -1;
      d->bufferValid = static_cast<uint32_t>(got);
      d->bufferOffset = 0;
      return 0;
    }
    if (link != d->vorbisLink) {
      d->vorbisLink = link;
      d->vorbisInFrame = 0;
      d->vorbisOutFrame = 0;
      d->vorbisHavePrevious = 0;
    }
    const uint32_t frames = static_cast<uint32_t>(got) / static_cast<uint32_t>(f.channels * kBytesPerSample);
    const uint32_t written =
        ConvertFrames(d, reinterpret_cast<const int16_t*>(d->vorbisScratch), f, frames,
                      reinterpret_cast<int16_t*>(d->buffer), d->bufferSize / (outChannels * kBytesPerSample));
    if (written == 0) continue;  // a link's first frame alone gives nothing yet
    d->bufferValid = written * static_cast<uint32_t>(outChannels * kBytesPerSample);
    d->bufferOffset = 0;
    return 0;
  }
  return -1;
}

int SeekOggVorbisDecoder(SoundDecoder* d, uint32_t sample) {
  if (d->vorbisOpen) {
    if (d->vorbisScratch == nullptr) {
      ov_pcm_seek(State(d), sample);
    } else {
      // The link that holds the sample, and the place in it.
      const long links = ov_streams(State(d));
      int64_t rest = sample, base = 0;
      long link = 0;
      for (; link < links - 1 && rest >= d->vorbisLinks[link]; ++link) {
        rest -= d->vorbisLinks[link];
        base += std::max<ogg_int64_t>(ov_pcm_total(State(d), static_cast<int>(link)), 0);
      }
      LinkFormat f{};
      const int64_t frames = ov_pcm_total(State(d), static_cast<int>(link));
      if (LinkFormatOf(d, static_cast<int>(link), &f) && frames >= 0) {
        const long outRate = static_cast<long>(d->format.nSamplesPerSec);
        const int64_t in = std::min<int64_t>(f.rate == outRate ? rest : rest * f.rate / outRate, frames);
        ov_pcm_seek(State(d), base + in);
        d->vorbisLink = static_cast<int32_t>(link);
        d->vorbisInFrame = in;
        d->vorbisOutFrame = rest;
        d->vorbisHavePrevious = 0;
      }
    }
  }
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
  TrackedFree(d->vorbisLinks);
  TrackedFree(d->vorbisScratch);
  d->vorbisFile = nullptr;
  d->vorbisLinks = nullptr;
  d->vorbisScratch = nullptr;
  return 0;
}

uint32_t GetOggVorbisPcmSize(SoundDecoder* d) {
  if (!d->vorbisOpen || d->vorbisLinks == nullptr) return 0;
  int64_t frames = 0;
  for (long i = 0; i < ov_streams(State(d)); ++i) frames += d->vorbisLinks[i];
  const int64_t bytes = frames * d->format.nBlockAlign;
  return bytes > INT32_MAX ? INT32_MAX : static_cast<uint32_t>(bytes);
}
