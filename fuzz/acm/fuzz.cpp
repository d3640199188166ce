// The compression manager's conversion of WAVE data: a format chunk as a
// WAVE file gives it (IMA or Microsoft ADPCM, A-law, mu-law, GSM 6.10, MPEG
// audio, anything else), then the data converted in steps, as the sound
// decoder converts it, through the same calls (format suggestion, stream
// open, size, header preparation, conversion).
//
// Input: a byte choosing the source step, a byte choosing the destination
// room, two bytes of the format chunk's length, the format chunk, then the
// data.
//
// Besides memory safety: a format is suggested PCM exactly when a stream of
// it opens, and the PCM is 16-bit of the source's channels and rate; every
// conversion takes all the source it is given, writes whole sample frames
// within its room and never past it; all of the data of a block codec gives
// no more PCM than the size the stream announces for it; closing leaves no
// stream open.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "platform/acm/msacm.h"

namespace {

constexpr uint32_t kSteps[] = {1, 7, 65, 512, 2048, 4096, 65536};
constexpr uint32_t kRooms[] = {2, 4, 1000, 4096, 44100, 176400};
constexpr size_t kOutputCap = 16u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint32_t step = kSteps[in.Byte() % 7];
  const uint32_t room = kRooms[in.Byte() % 6];
  const uint16_t formatSize = in.U16() % 512;
  std::vector<uint8_t> chunk = in.Take(formatSize);
  const std::vector<uint8_t> source = in.Rest();
  // As the decoder holds a format chunk: at least 18 bytes, zero-filled, the
  // extra size cut to what the chunk holds.
  std::vector<uint8_t> block(chunk.size() < 18 ? 18 : chunk.size(), 0);
  if (!chunk.empty()) memcpy(block.data(), chunk.data(), chunk.size());
  auto* format = reinterpret_cast<WAVEFORMATEX*>(block.data());
  const size_t extraRoom = block.size() - 18;
  if (format->cbSize > extraRoom) format->cbSize = static_cast<WORD>(extraRoom);

  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  const bool suggested =
      acmFormatSuggest(nullptr, format, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG) == MMSYSERR_NOERROR;
  HACMSTREAM stream = nullptr;
  WAVEFORMATEX target = pcm;
  if (!suggested) {
    target.wFormatTag = WAVE_FORMAT_PCM;
    target.nChannels = format->nChannels;
    target.nSamplesPerSec = format->nSamplesPerSec;
    target.wBitsPerSample = 16;
    target.nBlockAlign = static_cast<WORD>(format->nChannels * 2);
  }
  const MMRESULT opened =
      acmStreamOpen(&stream, nullptr, format, &target, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
  FUZZ_CHECK((opened == MMSYSERR_NOERROR) == suggested, "a format suggested PCM but not opened, or opened unsuggested");
  if (opened != MMSYSERR_NOERROR) {
    FUZZ_CHECK(PlatformLiveAcmStreamCount() == 0, "a refused stream left open");
    return 0;
  }
  FUZZ_CHECK(pcm.wFormatTag == WAVE_FORMAT_PCM && pcm.wBitsPerSample == 16 && pcm.nChannels == format->nChannels &&
                 pcm.nSamplesPerSec == format->nSamplesPerSec && pcm.nBlockAlign == pcm.nChannels * 2,
             "a suggested PCM format other than 16 bits of the source's channels and rate");
  DWORD bound = 0;
  const bool bounded = acmStreamSize(stream, static_cast<DWORD>(source.size()), &bound, ACM_STREAMSIZEF_SOURCE) ==
                       MMSYSERR_NOERROR;

  std::vector<uint8_t> out(room + 16);
  size_t at = 0, total = 0;
  for (int drained = 0; drained < 2 && total < kOutputCap;) {
    memset(out.data(), 0xA5, out.size());
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    const uint32_t length = static_cast<uint32_t>(std::min<size_t>(step, source.size() - at));
    h.pbSrc = const_cast<uint8_t*>(source.data() + at);
    h.cbSrcLength = length;
    h.pbDst = out.data();
    h.cbDstLength = room;
    FUZZ_CHECK(acmStreamPrepareHeader(stream, &h, 0) == MMSYSERR_NOERROR, "a header not prepared");
    FUZZ_CHECK(acmStreamConvert(stream, &h, 0) == MMSYSERR_NOERROR, "a conversion failed");
    FUZZ_CHECK(acmStreamUnprepareHeader(stream, &h, 0) == MMSYSERR_NOERROR, "a header not unprepared");
    FUZZ_CHECK(h.cbSrcLengthUsed == length, "a conversion left source it was given");
    FUZZ_CHECK(h.cbDstLengthUsed <= room && h.cbDstLengthUsed % pcm.nBlockAlign == 0,
               "a conversion wrote part sample frames or more than its room");
    for (size_t i = room; i < out.size(); ++i) FUZZ_CHECK(out[i] == 0xA5, "a conversion wrote past its room");
    TouchBytes(out.data(), h.cbDstLengthUsed);
    at += length;
    total += h.cbDstLengthUsed;
    // Once the data is all given, calls without source drain what waits.
    if (at == source.size() && h.cbDstLengthUsed == 0) ++drained;
  }
  // (MPEG frames may come smaller than the first, whose size the bound
  // counts with: the decoder never reads more PCM than it announced.)
  const bool mpeg = format->wFormatTag == WAVE_FORMAT_MPEG || format->wFormatTag == WAVE_FORMAT_MPEGLAYER3;
  if (bounded && !mpeg && total < kOutputCap) FUZZ_CHECK(total <= bound, "more PCM than the size the stream announced");
  FUZZ_CHECK(acmStreamClose(stream, 0) == MMSYSERR_NOERROR, "closing a stream failed");
  FUZZ_CHECK(PlatformLiveAcmStreamCount() == 0, "a closed stream left open");
  return 0;
}
