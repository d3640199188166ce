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
//
// What a file says of itself is checked before anything rests on it: a
// link may claim no more frames than its bytes can hold, rates are
// converted only between those a sound buffer plays (so that one link's
// frame never makes more than a couple of thousand of another's), and the
// whole must be countable in 32-bit bytes; a file that fails is refused
// with a log line.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/sound/sound_decoder.h"
#include "platform/dsound/dsound.h"

namespace {

constexpr uint32_t kBlockBytes = 4096;
constexpr int kBytesPerSample = 2;
// Holes (lost pages) in a row that a block read passes over before it takes
// the data for ended.
constexpr int kHolesSkipped = 64;
// The most frames a link's bytes can decode to: a Vorbis packet gives at
// most half of the longest block (8192 samples), and takes at least two
// bytes of the file (one of data, one in its page's segment table).
constexpr int64_t kMaxFramesPerByte = 2048;
// The rates a link of another rate than the first may be converted between.
constexpr long kMinConvertedRate = DSBFREQUENCY_MIN;
constexpr long kMaxConvertedRate = DSBFREQUENCY_MAX;
// vorbisfile may land a seek past its target in a later link of a chain:
// the seek is made again this far before the target, then from the start,
// and the frames between passed over.
constexpr int64_t kSeekBackoffs[] = {0, 4096, 65536};

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

bool ConvertibleRate(long rate) { return rate >= kMinConvertedRate && rate <= kMaxConvertedRate; }

// The frames a link of `frames` frames at `rate` gives at the output rate:
// one for every position k x rate / outRate before its last frame. The
// frames are at most kMaxFramesPerByte x 2^31 and differing rates at most
// kMaxConvertedRate, so the product stays far within 64 bits.
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

// Output frames of the link being read (its format f) from the frames held
// and the scratch block, until the room is full, the scratch block is used
// up or the link has given every frame it announced (the rest of a link
// that decodes longer than it said is passed over). The frames written.
uint32_t TakeFrames(SoundDecoder* d, const LinkFormat& f, int16_t* out, uint32_t room) {
  const int outChannels = d->format.nChannels;
  const int64_t outRate = d->format.nSamplesPerSec;
  const int64_t limit = d->vorbisLinks[d->vorbisLink];
  const auto* in = reinterpret_cast<const int16_t*>(d->vorbisScratch);
  uint32_t written = 0;
  for (;;) {
    if (d->vorbisOutFrame >= limit) {
      d->vorbisScratchUsed = d->vorbisScratchFrames;
      return written;
    }
    if (f.rate == outRate) {
      const int64_t left = std::min<int64_t>(limit - d->vorbisOutFrame, d->vorbisScratchFrames - d->vorbisScratchUsed);
      const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(left, room - written));
      if (n == 0) return written;
      const int16_t* from = in + static_cast<size_t>(d->vorbisScratchUsed) * f.channels;
      int16_t* to = out + static_cast<size_t>(written) * outChannels;
      if (f.channels == outChannels) {
        memcpy(to, from, static_cast<size_t>(n) * outChannels * kBytesPerSample);
      } else {
        for (uint32_t i = 0; i < n; ++i) {
          int32_t x[2] = {0, 0};
          MapChannels(from + static_cast<size_t>(i) * f.channels, f.channels, outChannels, x);
          for (int c = 0; c < outChannels; ++c) to[static_cast<size_t>(i) * outChannels + c] = static_cast<int16_t>(x[c]);
        }
      }
      d->vorbisScratchUsed += n;
      d->vorbisInFrame += n;
      d->vorbisOutFrame += n;
      written += n;
      continue;
    }
    // Output frame k lies at k x rate / outRate input frames. With frames
    // j - 1 and j held (j = vorbisInFrame - 1), every k before frame j is
    // interpolated between the two; the next frame is taken after them.
    const int64_t at = d->vorbisOutFrame * f.rate;  // the position, in input frames x outRate
    if (d->vorbisHeldCount == 2 && at < (d->vorbisInFrame - 1) * outRate) {
      if (written == room) return written;
      const int64_t fraction = at - (d->vorbisInFrame - 2) * outRate;
      int16_t* to = out + static_cast<size_t>(written) * outChannels;
      for (int c = 0; c < outChannels; ++c) {
        const int64_t p = d->vorbisHeld[0][c];
        to[c] = static_cast<int16_t>(p + (d->vorbisHeld[1][c] - p) * fraction / outRate);
      }
      ++d->vorbisOutFrame;
      ++written;
      continue;
    }
    if (d->vorbisScratchUsed == d->vorbisScratchFrames) return written;
    d->vorbisHeld[0][0] = d->vorbisHeld[1][0];
    d->vorbisHeld[0][1] = d->vorbisHeld[1][1];
    MapChannels(in + static_cast<size_t>(d->vorbisScratchUsed) * f.channels, f.channels, outChannels,
                d->vorbisHeld[1]);
    ++d->vorbisScratchUsed;
    ++d->vorbisInFrame;
    if (d->vorbisHeldCount < 2) ++d->vorbisHeldCount;
  }
}

// Each link's frames in the output format, and the links played. False,
// after a log line, for a file whose lengths or rates cannot be trusted;
// false when memory runs out.
bool PlanLinks(SoundDecoder* d) {
  OggVorbis_File* vf = State(d);
  const long links = ov_streams(vf);
  // A stream that cannot say its length is refused.
  if (links < 1 || ov_pcm_total(vf, -1) < 0) return false;
  d->vorbisLinks = static_cast<int64_t*>(TrackedCalloc(sizeof(int64_t) * static_cast<size_t>(links), __FILE__, __LINE__));
  d->vorbisScratch = static_cast<uint8_t*>(TrackedAlloc(kBlockBytes, __FILE__, __LINE__));
  if (d->vorbisLinks == nullptr || d->vorbisScratch == nullptr) return false;
  const long outRate = static_cast<long>(d->format.nSamplesPerSec);
  // The decoder counts its PCM in 32-bit bytes.
  const int64_t mostFrames = INT32_MAX / d->format.nBlockAlign;
  int64_t total = 0;
  int count = 0;
  for (; count < links; ++count) {
    LinkFormat f{};
    const ogg_int64_t frames = ov_pcm_total(vf, count), bytes = ov_raw_total(vf, count);
    // The data ends before a link that cannot be read, and before one of
    // another format when the first has more channels than are converted.
    if (!LinkFormatOf(d, count, &f) || frames < 0 || bytes < 0) break;
    if (!SameFormat(d, f) && d->format.nChannels > 2) break;
    if (frames > kMaxFramesPerByte * bytes) {
      WriteErrorLogFormat("Ogg Vorbis ファイルのリンク %d の長さ %lld サンプルがそのデータ %lld バイトに収まりません", count,
                          static_cast<long long>(frames), static_cast<long long>(bytes));
      return false;
    }
    if (f.rate != outRate && (!ConvertibleRate(f.rate) || !ConvertibleRate(outRate))) {
      WriteErrorLogFormat("Ogg Vorbis ファイルのリンク %d の %ld Hz は %ld Hz に変換できません（%ld Hz から %ld Hz まで）", count,
                          f.rate, outRate, kMinConvertedRate, kMaxConvertedRate);
      return false;
    }
    d->vorbisLinks[count] = ConvertedFrames(frames, f.rate, outRate);
    total += d->vorbisLinks[count];
    if (total > mostFrames) {
      WriteErrorLogFormat("Ogg Vorbis ファイルのＰＣＭが %u バイトを超えます", static_cast<unsigned>(INT32_MAX));
      return false;
    }
  }
  d->vorbisLinkCount = count;
  return true;
}

// Stands vorbisfile at or before the frame `target` of its whole decode (by
// its own count), with the frames between to be passed over. False when no
// seek lands there.
bool LandAtOrBefore(SoundDecoder* d, int64_t target) {
  OggVorbis_File* vf = State(d);
  for (const int64_t back : kSeekBackoffs) {
    const int64_t at = std::max<int64_t>(target - back, 0);
    if (ov_pcm_seek(vf, at) == 0) {
      const int64_t landed = ov_pcm_tell(vf);
      if (landed >= 0 && landed <= target) {
        d->vorbisSkip = target - landed;
        return true;
      }
    }
    if (at == 0) return false;
  }
  // From the start, where the decoder stood when it opened.
  if (ov_pcm_seek(vf, 0) != 0 || ov_pcm_tell(vf) != 0) return false;
  d->vorbisSkip = target;
  return true;
}

// Before the first read and after a seek: nothing decoded is held.
void ForgetDecoded(SoundDecoder* d) {
  d->vorbisScratchFrames = 0;
  d->vorbisScratchUsed = 0;
  d->vorbisHeldCount = 0;
  d->vorbisSkip = 0;
  d->vorbisAtEnd = 0;
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
  d->vorbisInFrame = 0;
  d->vorbisOutFrame = 0;
  ForgetDecoded(d);
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
  d->bufferSize = kBlockBytes;
  d->dataSize = GetOggVorbisPcmSize(d);
  d->kind = SoundDecoderOggVorbis;
  return 0;
}

int ReadOggVorbisBlock(SoundDecoder* d) {
  if (!d->vorbisOpen || d->vorbisAtEnd) return -1;
  const int outChannels = d->format.nChannels;
  const uint32_t room = d->bufferSize / d->format.nBlockAlign;
  auto* out = reinterpret_cast<int16_t*>(d->buffer);
  uint32_t written = 0;
  for (int holes = 0; written < room;) {
    if (d->vorbisLink >= 0) {
      LinkFormat f{};
      if (!LinkFormatOf(d, d->vorbisLink, &f)) {
        d->vorbisAtEnd = 1;
        break;
      }
      written += TakeFrames(d, f, out + static_cast<size_t>(written) * outChannels, room - written);
      if (written == room) break;
    }
    // The scratch block is used up: the next block of the decode.
    int link = 0;
    const long got = ov_read(State(d), reinterpret_cast<char*>(d->vorbisScratch), static_cast<int>(kBlockBytes), 0,
                             kBytesPerSample, 1, &link);
    if (got == OV_HOLE) {  // a gap in the data: the samples after it follow
      if (++holes > kHolesSkipped) {
        d->vorbisAtEnd = 1;
        break;
      }
      continue;
    }
    LinkFormat f{};
    // The end, a link that cannot be read, or one that is not played.
    if (got <= 0 || link < 0 || link >= d->vorbisLinkCount || !LinkFormatOf(d, link, &f)) {
      d->vorbisAtEnd = 1;
      break;
    }
    holes = 0;
    d->vorbisScratchFrames = static_cast<uint32_t>(got) / static_cast<uint32_t>(f.channels * kBytesPerSample);
    d->vorbisScratchUsed = 0;
    if (d->vorbisSkip > 0) {  // what a seek that landed early passes over
      const int64_t skipped = std::min<int64_t>(d->vorbisSkip, d->vorbisScratchFrames);
      d->vorbisScratchUsed = static_cast<uint32_t>(skipped);
      d->vorbisSkip -= skipped;
      if (d->vorbisSkip > 0) continue;
    }
    if (link != d->vorbisLink) {
      d->vorbisLink = link;
      d->vorbisInFrame = 0;
      d->vorbisOutFrame = 0;
      d->vorbisHeldCount = 0;
    }
  }
  if (written == 0) return -1;
  d->bufferValid = written * d->format.nBlockAlign;
  d->bufferOffset = 0;
  return 0;
}

int SeekOggVorbisDecoder(SoundDecoder* d, uint32_t sample) {
  if (d->vorbisOpen) {
    ForgetDecoded(d);
    // Past the last link nothing is read.
    d->vorbisAtEnd = 1;
    // The link that holds the sample, the place in it, and the frame of the
    // link's own decode that place starts from.
    const int64_t outRate = d->format.nSamplesPerSec;
    int64_t rest = sample, base = 0;
    for (int link = 0; link < d->vorbisLinkCount; ++link) {
      if (rest < d->vorbisLinks[link]) {
        LinkFormat f{};
        if (!LinkFormatOf(d, link, &f)) break;
        const int64_t in = f.rate == outRate ? rest : rest * f.rate / outRate;
        if (!LandAtOrBefore(d, base + in)) {
          WriteErrorLogFormat("Ogg Vorbis ファイルのシークに失敗しました（サンプル %u）", sample);
          break;
        }
        d->vorbisAtEnd = 0;
        d->vorbisLink = link;
        d->vorbisInFrame = in;
        d->vorbisOutFrame = rest;
        break;
      }
      rest -= d->vorbisLinks[link];
      base += ov_pcm_total(State(d), link);
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
  for (int i = 0; i < d->vorbisLinkCount; ++i) frames += d->vorbisLinks[i];
  // Within 32 bits: the open refuses more.
  return static_cast<uint32_t>(frames * d->format.nBlockAlign);
}
