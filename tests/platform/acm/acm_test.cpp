#include <dlfcn.h>
#include <gtest/gtest.h>
extern "C" {
#include <libavcodec/version_major.h>
#include <libavutil/macros.h>
}

#include <cstring>
#include <vector>

#include "platform/acm/msacm.h"
#include "tests/sound/sound_media.h"

namespace {

using namespace sound_media;

MPEGLAYER3WAVEFORMAT Mp3Format(uint16_t channels, uint32_t rate, uint16_t blockSize) {
  MPEGLAYER3WAVEFORMAT f{};
  f.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  f.wfx.nChannels = channels;
  f.wfx.nSamplesPerSec = rate;
  f.wfx.nAvgBytesPerSec = 16000;
  f.wfx.nBlockAlign = 1;
  f.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  f.wID = MPEGLAYER3_ID_MPEG;
  f.nBlockSize = blockSize;
  f.nFramesPerBlock = 1;
  f.nCodecDelay = 700;
  return f;
}

WAVEFORMATEX SuggestedPcm(const WAVEFORMATEX* source) {
  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  EXPECT_EQ(acmFormatSuggest(nullptr, source, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
  return pcm;
}

// FFmpeg's libraries are opened by the first stream that needs them, not
// with the program. (First in the file: run in one process, the later tests
// have opened them.)
TEST(AcmLibraries, OpenedByTheFirstStreamThatNeedsThem) {
  const char* codec = "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);
  EXPECT_EQ(dlopen(codec, RTLD_LAZY | RTLD_NOLOAD), nullptr);
  WAVEFORMATEX alaw{};
  alaw.wFormatTag = WAVE_FORMAT_ALAW;
  alaw.nChannels = 1;
  alaw.nSamplesPerSec = 8000;
  alaw.nAvgBytesPerSec = 8000;
  alaw.nBlockAlign = 1;
  alaw.wBitsPerSample = 8;
  WAVEFORMATEX pcm = SuggestedPcm(&alaw);
  HACMSTREAM s = nullptr;
  ASSERT_EQ(acmStreamOpen(&s, nullptr, &alaw, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), MMSYSERR_NOERROR);
  void* opened = dlopen(codec, RTLD_LAZY | RTLD_NOLOAD);
  EXPECT_NE(opened, nullptr);
  if (opened != nullptr) dlclose(opened);
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
}

TEST(AcmFormats, MpegSuggestsSixteenBitPcmAndOthersAreRefused) {
  DWORD size = 0;
  ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size), MMSYSERR_NOERROR);
  EXPECT_EQ(size, 30u);

  MPEGLAYER3WAVEFORMAT mp3 = Mp3Format(1, 22050, 209);
  WAVEFORMATEX pcm = SuggestedPcm(&mp3.wfx);
  EXPECT_EQ(pcm.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(pcm.nChannels, 1);
  EXPECT_EQ(pcm.nSamplesPerSec, 22050u);
  EXPECT_EQ(pcm.wBitsPerSample, 16);
  EXPECT_EQ(pcm.nBlockAlign, 2);
  EXPECT_EQ(pcm.nAvgBytesPerSec, 44100u);
  EXPECT_EQ(pcm.cbSize, 0);
  EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &mp3.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), MMSYSERR_NOERROR);

  // Formats without a codec here, and a PCM target of another shape.
  for (WORD tag : {WAVE_FORMAT_ADPCM, WAVE_FORMAT_IMA_ADPCM, WAVE_FORMAT_PCM, WORD{0x31}}) {
    WAVEFORMATEX other = mp3.wfx;
    other.wFormatTag = tag;
    WAVEFORMATEX out{};
    out.wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, &other, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE)
        << tag;
    HACMSTREAM s = nullptr;
    EXPECT_EQ(acmStreamOpen(&s, nullptr, &other, &pcm, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE) << tag;
  }
  // MPEG at a rate no MPEG stream has.
  MPEGLAYER3WAVEFORMAT odd = Mp3Format(2, 11058, 209);
  WAVEFORMATEX out{};
  out.wFormatTag = WAVE_FORMAT_PCM;
  EXPECT_EQ(acmFormatSuggest(nullptr, &odd.wfx, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE);
  WAVEFORMATEX eight = pcm;
  eight.wBitsPerSample = 8;
  eight.nBlockAlign = 1;
  HACMSTREAM s = nullptr;
  EXPECT_EQ(acmStreamOpen(&s, nullptr, &mp3.wfx, &eight, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(PlatformLiveAcmStreamCount(), 0);
}

// Converts the whole MP3 in source steps of `step` bytes into destinations
// of `room` bytes, then drains with empty sources.
std::vector<uint8_t> Convert(HACMSTREAM s, const std::vector<uint8_t>& mp3, uint32_t step, uint32_t room,
                             int* emptyCallsWithSource) {
  std::vector<uint8_t> pcm, out(room + 64, 0xEE);
  uint32_t at = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    std::vector<uint8_t> source(mp3.begin() + at, mp3.begin() + std::min<size_t>(mp3.size(), at + step));
    h.pbSrc = source.data();
    h.cbSrcLength = static_cast<DWORD>(source.size());
    h.pbDst = out.data();
    h.cbDstLength = room;
    EXPECT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamUnprepareHeader(s, &h, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
    EXPECT_LE(h.cbDstLengthUsed, room);
    EXPECT_EQ(h.cbDstLengthUsed % 4, 0u);
    EXPECT_EQ(out[room], 0xEE);  // nothing past the destination
    at += h.cbSrcLengthUsed;
    if (h.cbDstLengthUsed == 0 && source.empty()) break;
    if (h.cbDstLengthUsed == 0) ++*emptyCallsWithSource;
    pcm.insert(pcm.end(), out.begin(), out.begin() + h.cbDstLengthUsed);
  }
  return pcm;
}

TEST(AcmConversion, EveryFrameComesOutAsLibmpg123DecodesIt) {
  std::vector<uint8_t> mp3 = EncodeMp3(MakeWave(2, 44100, 16, Bytes(Tone(44100, 2, 44100))));
  ASSERT_FALSE(mp3.empty()) << "lame missing or failed";
  const std::vector<uint8_t> reference = Mpg123Decode(mp3);
  ASSERT_EQ(reference.size() % 4608, 0u);  // whole frames of 1152 stereo samples, the information frame among them
  MPEGLAYER3WAVEFORMAT format = Mp3Format(2, 44100, 417);
  WAVEFORMATEX pcm = SuggestedPcm(&format.wfx);

  struct Case {
    uint32_t step, room;
  };
  for (const Case& c : {Case{2048, 176400}, Case{2048, 1002}, Case{418, 176400}, Case{100000, 4608}}) {
    HACMSTREAM s = nullptr;
    ASSERT_EQ(acmStreamOpen(&s, nullptr, &format.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
              MMSYSERR_NOERROR);
    EXPECT_EQ(PlatformLiveAcmStreamCount(), 1);
    int empty = 0;
    std::vector<uint8_t> out = Convert(s, mp3, c.step, c.room, &empty);
    EXPECT_EQ(empty, 0) << c.step << " " << c.room;  // never nothing while source comes in
    EXPECT_TRUE(out == reference) << c.step << " " << c.room << ": " << out.size() << " " << reference.size();
    DWORD bound = 0;
    ASSERT_EQ(acmStreamSize(s, static_cast<DWORD>(mp3.size()), &bound, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_GE(bound, reference.size());
    EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(PlatformLiveAcmStreamCount(), 0);
}

// The body of a chunk of a RIFF WAVE file (the first of its id), or empty.
std::vector<uint8_t> ChunkBody(const std::vector<uint8_t>& wave, const char* id) {
  for (size_t at = 12; at + 8 <= wave.size();) {
    const uint32_t size = wave[at + 4] | wave[at + 5] << 8 | wave[at + 6] << 16 | static_cast<uint32_t>(wave[at + 7]) << 24;
    if (memcmp(&wave[at], id, 4) == 0 && at + 8 + size <= wave.size())
      return std::vector<uint8_t>(wave.begin() + static_cast<std::ptrdiff_t>(at + 8),
                                  wave.begin() + static_cast<std::ptrdiff_t>(at + 8 + size));
    at += 8 + size + (size & 1);
  }
  return {};
}

TEST(AcmConversion, BlocksOfAdpcmComeOutWholeInAnySteps) {
  const std::vector<uint8_t> wave = SoxConvert(MakeWave(2, 22050, 16, Bytes(Tone(20000, 2, 22050))), "ima-adpcm");
  ASSERT_FALSE(wave.empty()) << "sox missing or failed";
  std::vector<uint8_t> fmt = ChunkBody(wave, "fmt ");
  const std::vector<uint8_t> data = ChunkBody(wave, "data");
  ASSERT_GE(fmt.size(), 20u);
  const auto* format = reinterpret_cast<const WAVEFORMATEX*>(fmt.data());
  ASSERT_EQ(format->wFormatTag, WAVE_FORMAT_IMA_ADPCM);
  const uint32_t block = format->nBlockAlign, samples = (block - 8) + 1;  // 4-bit samples after 4 bytes a channel
  WAVEFORMATEX pcm = SuggestedPcm(format);
  EXPECT_EQ(pcm.nChannels, 2);
  EXPECT_EQ(pcm.nSamplesPerSec, 22050u);
  EXPECT_EQ(pcm.wBitsPerSample, 16);
  std::vector<uint8_t> reference;
  struct Case {
    uint32_t step, room;
  };
  for (const Case& c : {Case{100000, 1 << 22}, Case{2048, 88200}, Case{block - 1, 1000}, Case{7, 4 * samples}}) {
    HACMSTREAM s = nullptr;
    ASSERT_EQ(acmStreamOpen(&s, nullptr, format, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), MMSYSERR_NOERROR);
    // The PCM of whole blocks: a block cut short is not converted.
    DWORD size = 0;
    ASSERT_EQ(acmStreamSize(s, static_cast<DWORD>(data.size()), &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(size, data.size() / block * samples * 4);
    ASSERT_EQ(acmStreamSize(s, samples * 4 + 1, &size, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
    EXPECT_EQ(size, 2 * block);
    int empty = 0;
    std::vector<uint8_t> whole(data.begin(), data.end() - static_cast<std::ptrdiff_t>(block / 2));
    const std::vector<uint8_t> out = Convert(s, whole, c.step, c.room, &empty);
    EXPECT_EQ(out.size(), (whole.size() / block) * samples * 4) << c.step << " " << c.room;
    if (reference.empty()) reference = out;
    EXPECT_TRUE(out == reference) << c.step << " " << c.room;
    EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(PlatformLiveAcmStreamCount(), 0);
  // Blocks that cannot be right are refused.
  for (uint16_t bad : {uint16_t{8}, uint16_t{513}}) {
    WAVEFORMATEX f = *format;
    f.nBlockAlign = bad;
    WAVEFORMATEX out{};
    out.wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, &f, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE) << bad;
  }
}

TEST(AcmConversion, HeadersMustBePrepared) {
  MPEGLAYER3WAVEFORMAT format = Mp3Format(1, 32000, 300);
  WAVEFORMATEX pcm = SuggestedPcm(&format.wfx);
  HACMSTREAM s = nullptr;
  ASSERT_EQ(acmStreamOpen(&s, nullptr, &format.wfx, &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  uint8_t out[64];
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbDst = out;
  h.cbDstLength = sizeof out;
  EXPECT_EQ(acmStreamConvert(s, &h, 0), ACMERR_UNPREPARED);
  EXPECT_EQ(acmStreamUnprepareHeader(s, &h, 0), ACMERR_UNPREPARED);
  h.cbStruct = 8;
  EXPECT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_INVALPARAM);
  h.cbStruct = sizeof h;
  ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);  // no source: nothing
  EXPECT_EQ(h.cbDstLengthUsed, 0u);
  // Garbage in: no output and no harm.
  std::vector<uint8_t> junk(5000, 0xFF);
  h.pbSrc = junk.data();
  h.cbSrcLength = static_cast<DWORD>(junk.size());
  ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(h.cbDstLengthUsed, 0u);
  acmStreamUnprepareHeader(s, &h, 0);
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamClose(nullptr, 0), MMSYSERR_INVALHANDLE);
}

}  // namespace
