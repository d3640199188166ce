// Sound data decoding: a sound file in memory through the whole decoder
// (plain PCM WAVE, compressed WAVE, Ogg Vorbis, MP3 frames through the
// compression manager and through DirectShow), read in pieces, decoded
// whole, and read again after a seek; and the MPEG frame-header parser.
//
// Input: a byte of formats to pass over (the decoder's skip mask), a byte
// choosing the piece size, two bytes of a sample to seek to, then the file.
//
// Besides memory safety: an open decoder delivers 8- or 16-bit PCM whose
// block is its channels' samples; reads are whole blocks of that format, no
// more than asked; the whole decode is never more than the PCM size the
// decoder announces and is the start of what the pieces read (all of it for
// PCM kept plain or in memory); after a seek, plain PCM reads from exactly
// the block sought; a refused file and a closed decoder leave no memory; a
// frame header that parses names a frame of its layer's size. Compressed
// WAVE data decodes to whole sample frames. An Ogg Vorbis decoder stands at
// the first sample of its first link when it opens, and every link is
// decoded: the frames delivered are each played link's own decode (as
// vorbisfile alone gives it) converted to the first link's rate, no more
// than the link announced, and a link in the first link's format is its own
// decode exactly; when every link decodes to the length it announces, the
// decoder delivers exactly the length it announces, and (no page lost)
// reads after a seek what the whole decode holds there. A file whose
// decoder gives no PCM at all still makes a stream sound that, played once,
// ends.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "library/core/memory.h"
#include "library/file/memory_stream.h"
#include "library/sound/sound_decoder.h"
#include "library/sound/sound_handle.h"
#include "platform/win32/win32_time.h"

#include <vorbis/vorbisfile.h>

FUZZ_TARGET_STARTS_LIBRARY()

namespace {

// Reads past this many bytes are stopped (a few hundred bytes of Vorbis can
// stand for much PCM); the comparisons then hold for what was read.
constexpr size_t kReadCap = 8u << 20;

void CheckFrameHeaders(const std::vector<uint8_t>& file) {
  for (size_t i = 0; i + 4 <= file.size() && i < 64; ++i) {
    MpegFrameHeader h{};
    const int r = ParseMpegFrameHeader(file.data() + i, &h);
    FUZZ_CHECK(r == 0 || r == -1 || r == -2, "a frame header result outside 0, -1, -2");
    if (r == -2) FUZZ_CHECK(file[i] != 0xFF || (file[i + 1] & 0xF0) != 0xF0, "a frame sync refused as missing");
    if (r != 0) continue;
    FUZZ_CHECK(h.layer <= 2 && h.channels >= 1 && h.channels <= 2, "a frame header with an impossible layer or channels");
    FUZZ_CHECK(h.sampleRate >= 16000 && h.sampleRate <= 48000 && h.bitRate >= 8 && h.bitRate <= 448,
               "a frame header outside the tables");
    FUZZ_CHECK(h.frameSize >= 4 && h.frameSize < 8192, "a frame size no frame has");
    FUZZ_CHECK(h.samplesPerFrame == 384 || h.samplesPerFrame == 576 || h.samplesPerFrame == 1152,
               "samples per frame no layer has");
  }
}

// A stream sound over the file (its whole image copied), played once: it
// must end like a sound that reaches its end, even when it gives nothing.
void CheckEmptyStreamEnds(const std::vector<uint8_t>& file) {
  if (DirectSoundObject == nullptr) return;
  const int h = AddSoundData();
  if (h == -1) return;
  if (AddStreamSoundMemory(file.data(), static_cast<uint32_t>(file.size()), 0, h, 2, -1) == 0 &&
      PrepareStreamSound(h) == 0 && PlaySoundHandle(h, 1, 1) == 0) {
    // The cursor goes round the one-second buffer twice at the most.
    for (int step = 0; step < 200 && CheckSoundHandle(h) == 1; ++step) {
      PlatformAdvanceVirtualClock(10000);
      RefillStreamSound(h);
    }
    FUZZ_CHECK(CheckSoundHandle(h) == 0, "a stream sound that gives nothing never ends");
  }
  DeleteSoundHandle(h, 0);
}

// vorbisfile's own decode of an Ogg Vorbis file, from the first sample of
// its first link, link by link: the links a player plays (it stops before a
// link whose format or length cannot be read, and, when the first link has
// more than two channels, before a link of another format), and for each
// its format, the frames it announces and the frames it decodes to. The PCM
// of links in the first link's format is kept.
struct OwnLinks {
  bool whole = false;  // read to its end (not stopped at the read cap)
  bool holes = false;  // pages were lost on the way
  std::vector<int> channels;
  std::vector<long> rates;
  std::vector<int64_t> announced, decoded;
  std::vector<std::vector<uint8_t>> pcm;
};

struct MemoryFile {
  const std::vector<uint8_t>* bytes;
  size_t at;
};

size_t ReadMemory(void* out, size_t size, size_t count, void* source) {
  auto* f = static_cast<MemoryFile*>(source);
  if (size == 0) return 0;
  const size_t n = std::min(count, (f->bytes->size() - f->at) / size);
  if (n != 0) memcpy(out, f->bytes->data() + f->at, n * size);
  f->at += n * size;
  return n;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(source);
  const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(f->at) : static_cast<int64_t>(f->bytes->size());
  if (offset > INT32_MAX || offset < INT32_MIN) return -1;
  const int64_t to = base + offset;
  if (to < 0 || to > static_cast<int64_t>(f->bytes->size())) return -1;
  f->at = static_cast<size_t>(to);
  return 0;
}

long TellMemory(void* source) { return static_cast<long>(static_cast<MemoryFile*>(source)->at); }

OwnLinks DecodeOwnLinks(const std::vector<uint8_t>& file) {
  OwnLinks own;
  MemoryFile source{&file, 0};
  const ov_callbacks callbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};
  OggVorbis_File vf;
  if (ov_open_callbacks(&source, &vf, nullptr, 0, callbacks) != 0) return own;
  for (int i = 0; i < ov_streams(&vf); ++i) {
    const vorbis_info* info = ov_info(&vf, i);
    if (info == nullptr || info->channels < 1 || info->channels > 255 || info->rate <= 0 || ov_pcm_total(&vf, i) < 0 ||
        ov_raw_total(&vf, i) < 0)
      break;
    if (i > 0 && own.channels[0] > 2 && (info->channels != own.channels[0] || info->rate != own.rates[0])) break;
    own.channels.push_back(info->channels);
    own.rates.push_back(info->rate);
    own.announced.push_back(ov_pcm_total(&vf, i));
  }
  own.decoded.assign(own.channels.size(), 0);
  own.pcm.resize(own.channels.size());
  ov_pcm_seek(&vf, 0);
  std::vector<char> block(4096);
  size_t total = 0;
  for (int holes = 0;;) {
    int link = 0;
    const long got = ov_read(&vf, block.data(), static_cast<int>(block.size()), 0, 2, 1, &link);
    if (got == OV_HOLE) {
      own.holes = true;
      if (++holes > 64) break;
      continue;
    }
    holes = 0;
    if (got <= 0 || link < 0 || static_cast<size_t>(link) >= own.channels.size()) break;
    own.decoded[link] += got / (own.channels[link] * 2);
    if (own.channels[link] == own.channels[0] && own.rates[link] == own.rates[0])
      own.pcm[link].insert(own.pcm[link].end(), block.data(), block.data() + got);
    total += static_cast<size_t>(got);
    if (total >= kReadCap) {
      ov_clear(&vf);
      return own;
    }
  }
  own.whole = true;
  ov_clear(&vf);
  return own;
}

// The frames a link of `frames` frames at `rate` lasts at `outRate`: one for
// every output frame's time before the link's last frame.
int64_t FramesAt(int64_t frames, long rate, long outRate) {
  if (frames <= 0) return 0;
  if (rate == outRate) return frames;
  return static_cast<int64_t>((static_cast<__int128>(frames - 1) * outRate + rate - 1) / rate);
}

// Every link of an Ogg Vorbis file decoded, in order, into the pieces read.
// True when the file is whole and truthful (no page lost, every link
// decoding to the length it announces): then a seek reads what the pieces
// hold where it lands.
bool CheckEveryLinkDecoded(const std::vector<uint8_t>& file, const WAVEFORMATEX& f, const std::vector<uint8_t>& pieces,
                           uint32_t pcmSize) {
  const OwnLinks own = DecodeOwnLinks(file);
  if (!own.whole) return false;  // beyond the cap, the pieces hold only a start
  FUZZ_CHECK(!own.channels.empty() && own.channels[0] == f.nChannels && own.rates[0] == static_cast<long>(f.nSamplesPerSec),
             "an Ogg Vorbis decoder in another format than its first link");
  size_t at = 0;
  bool honest = true;
  for (size_t i = 0; i < own.channels.size(); ++i) {
    const int64_t frames = FramesAt(std::min(own.decoded[i], own.announced[i]), own.rates[i], own.rates[0]);
    const size_t bytes = static_cast<size_t>(frames) * f.nBlockAlign;
    FUZZ_CHECK(at + bytes <= pieces.size(), "a link of a chain decoded short or not at all");
    if (own.channels[i] == own.channels[0] && own.rates[i] == own.rates[0]) {
      FUZZ_CHECK(memcmp(pieces.data() + at, own.pcm[i].data(), bytes) == 0,
                 "a link in the first link's format decoded otherwise than on its own");
    }
    at += bytes;
    honest = honest && own.decoded[i] == own.announced[i];
  }
  FUZZ_CHECK(at == pieces.size(), "an Ogg Vorbis decoder delivering more than its links' own decodes");
  FUZZ_CHECK(pieces.size() <= pcmSize, "an Ogg Vorbis decoder delivering more than it announced");
  if (honest) FUZZ_CHECK(pieces.size() == pcmSize, "announced length differs from delivered length");
  return honest && !own.holes;
}

std::vector<uint8_t> ReadPieces(SoundDecoder* d, uint32_t piece, bool* capped) {
  std::vector<uint8_t> pcm;
  std::vector<uint8_t> block(piece + 16, 0xA5);
  *capped = false;
  for (;;) {
    const int n = ReadSoundDecoder(d, block.data(), piece);
    FUZZ_CHECK(n >= 0 && static_cast<uint32_t>(n) <= piece, "a read of more than asked or failing while open");
    for (size_t i = piece; i < block.size(); ++i) FUZZ_CHECK(block[i] == 0xA5, "a read wrote past its room");
    pcm.insert(pcm.end(), block.begin(), block.begin() + n);
    if (static_cast<uint32_t>(n) < piece) break;
    if (pcm.size() >= kReadCap) {
      *capped = true;
      break;
    }
  }
  return pcm;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  FuzzInput in(data, size);
  const uint32_t mask = in.Byte() & 0x1F;
  static const uint32_t kPieces[] = {1, 3, 4, 100, 1024, 4096, 65536, 1000003};
  const uint32_t piece = kPieces[in.Byte() % 8];
  const uint32_t seekSample = in.U16();
  const std::vector<uint8_t> file = in.Rest();
  CheckFrameHeaders(file);

  const uint32_t oldMask = GetSoundDecoderSkipMask();
  SetSoundDecoderSkipMask(mask);
  const int32_t blocks = TrackedBlockCount();
  MemoryStream* stream = OpenMemoryStream(file.data(), static_cast<uint32_t>(file.size()));
  const uintptr_t handle = reinterpret_cast<uintptr_t>(stream);
  SoundDecoder d{};
  if (OpenSoundDecoder(GetMemoryStreamInterface(), handle, &d) != 0) {
    CloseMemoryStream(handle);
    SetSoundDecoderSkipMask(oldMask);
    FUZZ_CHECK(TrackedBlockCount() == blocks, "a refused file left memory behind");
    return 0;
  }
  WAVEFORMATEX f{};
  GetSoundDecoderFormat(&d, &f);
  FUZZ_CHECK(f.wFormatTag == WAVE_FORMAT_PCM && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16),
             "an open decoder delivering other than 8- or 16-bit PCM");
  FUZZ_CHECK(f.nChannels >= 1 && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8,
             "a PCM block that is not its channels' samples");
  const bool exact = d.kind == SoundDecoderPcmWave || d.kind == SoundDecoderPcmMemory;
  if (d.kind == SoundDecoderOggVorbis) {
    FUZZ_CHECK(ov_pcm_tell(static_cast<OggVorbis_File*>(d.vorbisFile)) == 0,
               "an Ogg Vorbis decoder opened elsewhere than at its first sample");
  }

  bool capped = false;
  const std::vector<uint8_t> pieces = ReadPieces(&d, piece, &capped);
  if (exact && !capped) FUZZ_CHECK(pieces.size() % f.nBlockAlign == 0, "plain PCM read in part blocks");
  if (d.kind == SoundDecoderAcm && d.totalSamples < 0 && !capped)
    FUZZ_CHECK(pieces.size() % f.nBlockAlign == 0, "compressed WAVE data decoded to part sample frames");

  const uint32_t pcmSize = GetSoundDecoderPcmSize(&d);
  const bool truthfulOgg =
      d.kind == SoundDecoderOggVorbis && !capped && CheckEveryLinkDecoded(file, f, pieces, pcmSize);
  if (pcmSize <= (64u << 20)) {
    WAVEFORMATEX wholeFormat{};
    void* whole = nullptr;
    uint32_t wholeSize = 0;
    if (DecodeWholeSound(&d, &wholeFormat, &whole, &wholeSize) == 0) {
      FUZZ_CHECK(wholeSize <= pcmSize, "a whole decode longer than the PCM size announced");
      FUZZ_CHECK(memcmp(&wholeFormat, &f, sizeof f) == 0, "the whole decode in another format");
      TouchBytes(whole, wholeSize);
      const size_t common = std::min<size_t>(wholeSize, pieces.size());
      FUZZ_CHECK(common == 0 || memcmp(whole, pieces.data(), common) == 0,
                 "the whole decode differs from the pieces read");
      if (!capped) {
        FUZZ_CHECK(wholeSize <= pieces.size(), "the whole decode longer than the pieces read");
        if (exact) FUZZ_CHECK(wholeSize == pieces.size(), "plain PCM decoded whole to another length");
      }
      TrackedFree(whole);
    }
  }

  const uint32_t before = d.pcmPosition;
  FUZZ_CHECK(SeekSoundDecoder(&d, seekSample) == 0, "a seek on an open decoder failed");
  std::vector<uint8_t> after(4096);
  const int n = ReadSoundDecoder(&d, after.data(), 4096);
  FUZZ_CHECK(n >= 0 && n <= 4096, "a read after a seek out of range");
  const uint64_t target = static_cast<uint64_t>(seekSample) * f.nBlockAlign;
  // A seek under 16 bytes away leaves the decoder where it stands.
  const bool moved = (target > before ? target - before : before - target) >= 16;
  if ((exact || truthfulOgg) && !capped && moved) {
    const size_t at = std::min<size_t>(target, pieces.size());
    FUZZ_CHECK(static_cast<size_t>(n) == std::min<size_t>(4096, pieces.size() - at),
               "a read after a seek of the wrong length");
    FUZZ_CHECK(n == 0 || memcmp(after.data(), pieces.data() + at, static_cast<size_t>(n)) == 0,
               "a read after a seek from the wrong place");
  }
  FUZZ_CHECK(CloseSoundDecoder(&d) == 0, "closing an open decoder failed");
  CloseMemoryStream(handle);
  if (pieces.empty()) CheckEmptyStreamEnds(file);
  SetSoundDecoderSkipMask(oldMask);
  FUZZ_CHECK(TrackedBlockCount() == blocks, "a closed decoder left memory behind");
  return 0;
}
