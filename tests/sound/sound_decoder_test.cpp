#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/sound/sound_fixture.h"

namespace {

using namespace sound_media;

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& pcm) {
  std::vector<int16_t> v(pcm.size() / 2);
  memcpy(v.data(), pcm.data(), v.size() * 2);
  return v;
}

// Bytes of PCM without 0xFF (no MPEG sync hides in them).
std::vector<uint8_t> QuietPcm(size_t bytes) {
  std::vector<uint8_t> v(bytes);
  for (size_t i = 0; i < bytes; ++i) v[i] = static_cast<uint8_t>(i * 7 % 200);
  return v;
}

// ---------------------------------------------------------------- MPEG frame headers

TEST(MpegFrameHeader, FieldsSizesAndRefusals) {
  struct Case {
    uint8_t b[4];
    int result;
    uint32_t rate, bitRate, size, samples, channels;
  };
  const Case cases[] = {
      {{0xFF, 0xFB, 0x90, 0x44}, 0, 44100, 128, 417, 1152, 2},  // MPEG-1 layer III
      {{0xFF, 0xFB, 0x92, 0xC4}, 0, 44100, 128, 418, 1152, 1},  // padded, mono
      {{0xFF, 0xF3, 0xD0, 0x44}, 0, 22050, 144, 470, 576, 2},   // MPEG-2 layer III, index 13
      {{0xFF, 0xF3, 0xD2, 0x44}, 0, 22050, 144, 471, 576, 2},
      {{0xFF, 0xF5, 0xD8, 0x44}, 0, 16000, 144, 1296, 1152, 2},  // MPEG-2 layer II: 144000 x 144 / 16000
      {{0xFF, 0xFF, 0x10, 0x00}, 0, 44100, 32, 32 * 12000 / 44100 * 4, 384, 2},  // MPEG-1 layer I
      {{0xFF, 0xF9, 0x90, 0x44}, -1, 0, 0, 0, 0, 0},                             // reserved layer
      {{0xFF, 0xFB, 0xF0, 0x44}, -1, 0, 0, 0, 0, 0},                             // bit-rate index 15
      {{0xFF, 0xFB, 0x00, 0x44}, -1, 0, 0, 0, 0, 0},                             // free format: no table entry
      {{0xFF, 0xFB, 0x9C, 0x44}, -1, 0, 0, 0, 0, 0},                             // sample-rate index 3
      {{0xFF, 0xEB, 0x90, 0x44}, -2, 0, 0, 0, 0, 0},                             // MPEG-2.5 sync is not ours
      {{0xFE, 0xFB, 0x90, 0x44}, -2, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    MpegFrameHeader h{};
    ASSERT_EQ(ParseMpegFrameHeader(c.b, &h), c.result) << std::hex << int(c.b[1]) << " " << int(c.b[2]);
    if (c.result != 0) continue;
    EXPECT_EQ(h.sampleRate, c.rate);
    EXPECT_EQ(h.bitRate, c.bitRate);
    EXPECT_EQ(h.frameSize, c.size);
    EXPECT_EQ(h.samplesPerFrame, c.samples);
    EXPECT_EQ(h.channels, c.channels);
  }
}

// ---------------------------------------------------------------- WAVE

TEST(SoundDecoderWave, PcmVariantsDecodeToTheirData) {
  const std::vector<uint8_t> pcm = QuietPcm(4000);
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    uint16_t channels, bits, align;
    uint32_t size;
  };
  std::vector<uint8_t> bext(10, 'b');
  const Case cases[] = {
      {"16-bit stereo", MakeWave(2, 44100, 16, pcm), 2, 16, 4, 4000},
      {"8-bit mono", MakeWave(1, 11025, 8, pcm), 1, 8, 1, 4000},
      {"18-byte format chunk", MakeWave(1, 22050, 16, pcm, 18), 1, 16, 2, 4000},
      // A 16-byte chunk takes its depth from the block: the stored 12 is ignored.
      {"depth from the block", Riff({Chunk("fmt ", FormatBody(1, 2, 22050, 12, 4)), Chunk("data", pcm)}), 2, 16, 4,
       4000},
      {"bext before the format",
       Riff({Chunk("bext", bext), Chunk("fmt ", FormatBody(1, 1, 8000, 8, 1)), Chunk("data", pcm)}), 1, 8, 1, 4000},
      {"chunks between format and data",
       Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 16, 2)), Chunk("LIST", std::vector<uint8_t>(33, 1)),
             Chunk("data", pcm)}),
       1, 16, 2, 4000},
      // A data size past the end of the file is cut to the whole frames present.
      {"data cut short",
       [&] {
         std::vector<uint8_t> f = MakeWave(2, 44100, 16, pcm);
         f.resize(f.size() - 1001);
         return f;
       }(),
       2, 16, 4, 2996},
  };
  for (const Case& c : cases) {
    const int32_t blocks = TrackedBlockCount();
    {
      MemoryDecoder d(c.file);
      ASSERT_TRUE(d.ok()) << c.name;
      EXPECT_EQ(d.get()->kind, SoundDecoderPcmWave) << c.name;
      WAVEFORMATEX f{};
      GetSoundDecoderFormat(d.get(), &f);
      EXPECT_EQ(f.nChannels, c.channels) << c.name;
      EXPECT_EQ(f.wBitsPerSample, c.bits) << c.name;
      EXPECT_EQ(f.nBlockAlign, c.align) << c.name;
      EXPECT_EQ(f.nAvgBytesPerSec, f.nSamplesPerSec * c.align) << c.name;
      EXPECT_EQ(GetSoundDecoderPcmSize(d.get()), c.size) << c.name;
      std::vector<uint8_t> whole = d.Whole();
      ASSERT_EQ(whole.size(), c.size) << c.name;
      EXPECT_TRUE(std::equal(whole.begin(), whole.end(), pcm.begin())) << c.name;
      SeekSoundDecoder(d.get(), 0);
      std::vector<uint8_t> pieces = d.ReadAll(333);
      EXPECT_TRUE(pieces == whole) << c.name;
    }
    EXPECT_EQ(TrackedBlockCount(), blocks) << c.name;
  }
}

TEST(SoundDecoderWave, BrokenHeadersAreRefusedWithoutReadingPastTheBuffer) {
  const std::vector<uint8_t> pcm = QuietPcm(400);
  auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> f = MakeWave(2, 22050, 16, pcm);
    std::copy(bytes.begin(), bytes.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
    return f;
  };
  // Offsets: 12 "fmt ", 16 its size, 20 tag, 22 channels, 24 rate, 32 block
  // align, 34 bits, 36 "data", 40 its size.
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  const Case cases[] = {
      {"no channels", patched(22, {0, 0})},
      {"no block align", patched(32, {0, 0})},
      {"24 bits", Riff({Chunk("fmt ", FormatBody(1, 2, 22050, 24, 6, 18)), Chunk("data", pcm)})},
      {"block not channels x depth", patched(32, {6, 0})},
      {"no sample rate", patched(24, {0, 0, 0, 0})},
      {"format chunk too short", patched(16, {8, 0, 0, 0})},
      {"format chunk past the end", patched(16, {0xF0, 0xFF, 0, 0})},
      {"LIST before the format", Riff({Chunk("LIST", std::vector<uint8_t>(6, 0)),
                                       Chunk("fmt ", FormatBody(1, 1, 8000, 8, 1)), Chunk("data", pcm)})},
      {"no data chunk", Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8, 1)), Chunk("junk", pcm)})},
      {"huge chunk before data",
       Riff({Chunk("fmt ", FormatBody(1, 1, 8000, 8, 1)), {'j', 'u', 'n', 'k', 0xFF, 0xFF, 0xFF, 0xFF}})},
      {"not RIFF", patched(0, {'R', 'I', 'F', 'X'})},
      {"not WAVE", patched(8, {'W', 'A', 'V', 'X'})},
      {"ADPCM", patched(20, {2, 0})},
  };
  const int32_t blocks = TrackedBlockCount();
  for (const Case& c : cases) {
    MemoryDecoder d(c.file);
    EXPECT_FALSE(d.ok()) << c.name;
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);

  // Every prefix of a good file: refused, or decoded to at most what it holds.
  const std::vector<uint8_t> good = MakeWave(1, 8000, 16, pcm);
  for (size_t n = 0; n <= good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    MemoryDecoder d(cut);
    if (!d.ok()) continue;
    std::vector<uint8_t> whole = d.Whole();
    EXPECT_LE(whole.size() + 44, n) << n;
    EXPECT_EQ(whole.size() % 2, 0u) << n;
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

TEST(SoundDecoderWave, SeeksByWholeSamplesAndIgnoresSmallMoves) {
  std::vector<uint8_t> pcm = QuietPcm(80000);
  MemoryDecoder d(MakeWave(2, 8000, 16, pcm));  // one second is 32000 bytes: the buffer holds that
  ASSERT_TRUE(d.ok());
  uint8_t block[64];
  ASSERT_EQ(ReadSoundDecoder(d.get(), block, 64), 64);
  SeekSoundDecoder(d.get(), 19);  // 76 bytes: 12 from where it is, so it stays
  EXPECT_EQ(d.get()->pcmPosition, 64u);
  ASSERT_EQ(ReadSoundDecoder(d.get(), block, 4), 4);
  EXPECT_EQ(memcmp(block, pcm.data() + 64, 4), 0);
  SeekSoundDecoder(d.get(), 15000);
  ASSERT_EQ(ReadSoundDecoder(d.get(), block, 64), 64);
  EXPECT_EQ(memcmp(block, pcm.data() + 60000, 64), 0);
  SeekSoundDecoder(d.get(), 100000);  // past the end: nothing more
  EXPECT_EQ(ReadSoundDecoder(d.get(), block, 64), 0);
  SeekSoundDecoder(d.get(), 1);
  EXPECT_EQ(ReadSoundDecoder(d.get(), block, 64), 64);
  EXPECT_EQ(memcmp(block, pcm.data() + 4, 64), 0);
}

// ---------------------------------------------------------------- MP3 and Ogg Vorbis

// An ID3v2 tag of the given version and body size (footer when asked).
std::vector<uint8_t> Id3v2(uint8_t version, uint32_t size, bool footer) {
  std::vector<uint8_t> v = {'I',
                            'D',
                            '3',
                            version,
                            0,
                            static_cast<uint8_t>(footer ? 0x10 : 0),
                            static_cast<uint8_t>(size >> 21 & 0x7F),
                            static_cast<uint8_t>(size >> 14 & 0x7F),
                            static_cast<uint8_t>(size >> 7 & 0x7F),
                            static_cast<uint8_t>(size & 0x7F)};
  v.resize(10 + size, 0xFF);  // padding of sync-like bytes that must never be taken for frames
  std::fill(v.begin() + 10, v.end(), 0);
  for (size_t i = 10; i < v.size(); i += 2) v[i] = 0xFF;
  if (footer) {
    std::vector<uint8_t> f(v.begin(), v.begin() + 10);
    f[0] = '3';
    f[1] = 'D';
    f[2] = 'I';
    v.insert(v.end(), f.begin(), f.end());
  }
  return v;
}

std::vector<uint8_t> Id3v1() {
  std::vector<uint8_t> v(128, 0xFF);
  v[0] = 'T';
  v[1] = 'A';
  v[2] = 'G';
  return v;
}

struct Mp3Case {
  const char* name;
  uint16_t channels;
  uint32_t rate;
  std::vector<std::string> options;
};

TEST(SoundDecoderMp3, DecodesAsLibmpg123DoesSampleForSample) {
  const Mp3Case cases[] = {
      {"stereo 44.1 kHz", 2, 44100, {}},
      {"mono 22.05 kHz (MPEG-2)", 1, 22050, {"-m", "m"}},
      {"no information frame, 320 kbit/s", 2, 48000, {"-t", "-b", "320"}},
  };
  for (const Mp3Case& c : cases) {
    std::vector<uint8_t> mp3 =
        EncodeMp3(MakeWave(c.channels, c.rate, 16, Bytes(Tone(c.rate * 3 / 2, c.channels, c.rate))), c.options);
    REQUIRE_ENCODED(mp3);
    std::vector<uint8_t> reference = Mpg123Decode(mp3);
    ASSERT_FALSE(reference.empty()) << c.name;
    const int32_t blocks = TrackedBlockCount();
    {
      MemoryDecoder d(mp3);
      ASSERT_TRUE(d.ok()) << c.name;
      EXPECT_EQ(d.get()->kind, SoundDecoderAcm);
      EXPECT_EQ(d.get()->format.nChannels, c.channels);
      EXPECT_EQ(d.get()->format.nSamplesPerSec, c.rate);
      EXPECT_EQ(GetSoundDecoderPcmSize(d.get()), reference.size()) << c.name;
      std::vector<uint8_t> whole = d.Whole();
      EXPECT_EQ(whole.size(), reference.size()) << c.name;
      EXPECT_TRUE(whole == reference) << c.name;
      // Backwards (through the spare conversion) and forwards again.
      const uint32_t align = d.get()->format.nBlockAlign;
      for (uint32_t sample : {1000u, 0u, 30000u, 5u, 29000u}) {
        SeekSoundDecoder(d.get(), sample);
        uint8_t block[400];
        ASSERT_EQ(ReadSoundDecoder(d.get(), block, sizeof block), static_cast<int>(sizeof block)) << sample;
        EXPECT_EQ(memcmp(block, reference.data() + sample * align, sizeof block), 0) << c.name << " " << sample;
      }
    }
    EXPECT_EQ(TrackedBlockCount(), blocks);
  }
}

TEST(SoundDecoderMp3, TagsAtBothEndsAreSkipped) {
  std::vector<uint8_t> mp3 = EncodeMp3(MakeWave(1, 32000, 16, Bytes(Tone(20000, 1, 32000))), {"-t"});
  REQUIRE_ENCODED(mp3);
  const std::vector<uint8_t> reference = Mpg123Decode(mp3);
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  const Case cases[] = {
      {"ID3v2.3 and TAG", Concat(Concat(Id3v2(3, 300, false), mp3), Id3v1())},
      {"ID3v2.4 with footer", Concat(Id3v2(4, 301, true), mp3)},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Mpg123Decode(c.file) == reference) << c.name;
    MemoryDecoder d(c.file);
    ASSERT_TRUE(d.ok()) << c.name;
    EXPECT_EQ(GetSoundDecoderPcmSize(d.get()), reference.size()) << c.name;
    EXPECT_TRUE(d.Whole() == reference) << c.name;
  }
}

TEST(SoundDecoderMp3, MpegInsideAWaveFileGoesThroughTheCompressionManager) {
  std::vector<uint8_t> mp3 = EncodeMp3(MakeWave(2, 44100, 16, Bytes(Tone(30000, 2, 44100))), {"-t"});
  REQUIRE_ENCODED(mp3);
  const std::vector<uint8_t> reference = Mpg123Decode(mp3);
  std::vector<uint8_t> fmt = FormatBody(0x55, 2, 44100, 0, 1, 30);
  fmt[18] = 1;                          // MPEG (the extra size 12 is in place)
  fmt[24] = static_cast<uint8_t>(417);  // block size 417
  fmt[25] = static_cast<uint8_t>(417 >> 8);
  fmt[26] = 1;  // frames per block
  MemoryDecoder d(Riff({Chunk("fmt ", fmt), Chunk("fact", {1, 2, 3, 4}), Chunk("data", mp3)}));
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d.get()->kind, SoundDecoderAcm);
  EXPECT_EQ(d.get()->totalSamples, -1);
  EXPECT_GE(GetSoundDecoderPcmSize(d.get()), reference.size());  // the manager's bound
  std::vector<uint8_t> whole = d.Whole();
  EXPECT_TRUE(whole == reference);  // the block is cut to what was decoded
}

TEST(SoundDecoderOgg, DecodesAsVorbisfileDoesSampleForSample) {
  for (uint16_t channels : {1, 2}) {
    std::vector<uint8_t> ogg = EncodeOgg(MakeWave(channels, 22050, 16, Bytes(Tone(40000, channels, 22050))));
    REQUIRE_ENCODED(ogg);
    long samples = 0;
    const std::vector<uint8_t> reference = VorbisDecode(ogg, &samples);
    const int32_t blocks = TrackedBlockCount();
    {
      MemoryDecoder d(ogg);
      ASSERT_TRUE(d.ok());
      EXPECT_EQ(d.get()->kind, SoundDecoderOggVorbis);
      EXPECT_EQ(d.get()->format.nBlockAlign, channels * 2);
      EXPECT_EQ(d.get()->bufferSize, 4096u);
      EXPECT_EQ(GetSoundDecoderPcmSize(d.get()), static_cast<uint32_t>(samples) * channels * 2);
      std::vector<uint8_t> whole = d.Whole();
      EXPECT_TRUE(whole == reference);
      SeekSoundDecoder(d.get(), 0);
      EXPECT_TRUE(d.ReadAll(1001 * channels * 2) == reference);
      SeekSoundDecoder(d.get(), 12345);
      uint8_t block[256];
      ASSERT_EQ(ReadSoundDecoder(d.get(), block, sizeof block), static_cast<int>(sizeof block));
      EXPECT_EQ(memcmp(block, reference.data() + 12345 * channels * 2, sizeof block), 0);
    }
    EXPECT_EQ(TrackedBlockCount(), blocks);
  }
}

// ---------------------------------------------------------------- compressed WAVE

// The data chunk of a plain WAVE file.
std::vector<uint8_t> WaveData(const std::vector<uint8_t>& wave) {
  MemoryDecoder d(wave);
  return d.ok() && d.get()->kind == SoundDecoderPcmWave ? d.Whole() : std::vector<uint8_t>();
}

TEST(SoundDecoderAcmWave, EachEncodingDecodesAsSoxDecodesIt) {
  struct Case {
    const char* encoding;
    uint16_t channels;
    uint32_t rate;
    int worst;    // largest difference from sox's decode of a sample
    double mean;  // mean difference
  };
  // The ADPCM decoders round their predictions otherwise than sox (the IMA
  // step worked in one multiplication, the Microsoft prediction divided where
  // sox shifts): the difference drifts within a block, more in the long
  // blocks of Microsoft ADPCM, and starts again at the next. A-law, mu-law
  // and GSM decode to the same samples.
  const Case cases[] = {
      {"ima-adpcm", 2, 44100, 64, 8},  {"ima-adpcm", 1, 22050, 64, 8}, {"ms-adpcm", 2, 44100, 1024, 256},
      {"ms-adpcm", 1, 11025, 256, 16}, {"a-law", 2, 22050, 0, 0},      {"u-law", 1, 44100, 0, 0},
      {"gsm-full-rate", 1, 8000, 0, 0},
      // Blocks of 4096 bytes: more than one step of source each.
      {"ms-adpcm", 2, 96000, 2048, 768},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.encoding) + " " + std::to_string(c.channels));
    const std::vector<uint8_t> file =
        SoxConvert(MakeWave(c.channels, c.rate, 16, Bytes(Tone(c.rate * 3 / 2 + 77, c.channels, c.rate))), c.encoding);
    ASSERT_FALSE(file.empty()) << "sox missing or failed";
    const std::vector<uint8_t> reference = WaveData(SoxConvert(file, "signed-integer"));
    ASSERT_FALSE(reference.empty());
    const int32_t blocks = TrackedBlockCount();
    {
      MemoryDecoder d(file);
      ASSERT_TRUE(d.ok());
      EXPECT_EQ(d.get()->kind, SoundDecoderAcm);
      EXPECT_EQ(d.get()->format.wFormatTag, WAVE_FORMAT_PCM);
      EXPECT_EQ(d.get()->format.nChannels, c.channels);
      EXPECT_EQ(d.get()->format.wBitsPerSample, 16);
      const uint32_t align = c.channels * 2u;
      // Every sample sox decodes, and at most the rest of the last block
      // (the padding after the file's last sample) besides.
      const std::vector<uint8_t> whole = d.Whole();
      EXPECT_EQ(whole.size(), GetSoundDecoderPcmSize(d.get()));
      ASSERT_GE(whole.size(), reference.size());
      EXPECT_LT(whole.size() - reference.size(), 2048u * align);
      const std::vector<int16_t> ours = Samples(whole), theirs = Samples(reference);
      int worst = 0;
      int64_t total = 0;
      for (size_t i = 0; i < theirs.size(); ++i) {
        const int difference = std::abs(ours[i] - theirs[i]);
        worst = std::max(worst, difference);
        total += difference;
      }
      EXPECT_LE(worst, c.worst);
      EXPECT_LE(static_cast<double>(total) / static_cast<double>(theirs.size()), c.mean);
      // Read in pieces as a stream sound reads, and after a seek back.
      SeekSoundDecoder(d.get(), 0);
      EXPECT_TRUE(d.ReadAll(777 * align) == whole);
      const uint32_t at = static_cast<uint32_t>(whole.size() / align / 3);
      SeekSoundDecoder(d.get(), at);
      uint8_t block[64];
      ASSERT_EQ(ReadSoundDecoder(d.get(), block, sizeof block), static_cast<int>(sizeof block));
      EXPECT_EQ(memcmp(block, whole.data() + static_cast<size_t>(at) * align, sizeof block), 0);
    }
    EXPECT_EQ(TrackedBlockCount(), blocks);
  }
}

// One link of a chain: a file of its own, with its own serial number.
std::vector<uint8_t> OggLink(uint16_t channels, uint32_t rate, uint32_t frames, int serial) {
  return EncodeOgg(MakeWave(channels, rate, 16, Bytes(Tone(frames, channels, rate, static_cast<uint32_t>(serial)))),
                   {"-s", std::to_string(serial)});
}

TEST(SoundDecoderOgg, EveryLinkOfAChainedFileDecodesInOrder) {
  // Small links: vorbisfile leaves such a chain standing at its last link
  // once it has measured it.
  const std::vector<uint8_t> a = OggLink(2, 44100, 11025, 1), b = OggLink(2, 44100, 5512, 2);
  REQUIRE_ENCODED(a);
  const std::vector<uint8_t> reference = Concat(VorbisDecode(a), VorbisDecode(b));
  const uint32_t firstLink = static_cast<uint32_t>(VorbisDecode(a).size() / 4);
  ASSERT_EQ(reference.size(), (11025u + 5512u) * 4);
  const int32_t blocks = TrackedBlockCount();
  {
    MemoryDecoder d(Concat(a, b));
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(GetSoundDecoderPcmSize(d.get()), reference.size());
    // Read as a stream sound reads it (no seek first), then whole.
    EXPECT_TRUE(d.ReadAll(1000 * 4) == reference);
    EXPECT_TRUE(d.Whole() == reference);
    SeekSoundDecoder(d.get(), firstLink + 100);
    uint8_t block[256];
    ASSERT_EQ(ReadSoundDecoder(d.get(), block, sizeof block), static_cast<int>(sizeof block));
    EXPECT_EQ(memcmp(block, reference.data() + (firstLink + 100) * 4, sizeof block), 0);
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

TEST(SoundDecoderOgg, LinksOfAnotherFormatPlayInTheFirstLinksFormat) {
  const std::vector<uint8_t> stereo = OggLink(2, 44100, 8000, 1), mono = OggLink(1, 44100, 6000, 2),
                             slow = OggLink(2, 22050, 3000, 3);
  REQUIRE_ENCODED(stereo);
  const std::vector<int16_t> s = Samples(VorbisDecode(stereo)), m = Samples(VorbisDecode(mono)),
                             h = Samples(VorbisDecode(slow));
  const int32_t blocks = TrackedBlockCount();
  const auto check = [](const std::vector<uint8_t>& file, const std::vector<int16_t>& expected, uint16_t channels,
                        uint32_t rate) {
    MemoryDecoder d(file);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.get()->format.nChannels, channels);
    EXPECT_EQ(d.get()->format.nSamplesPerSec, rate);
    EXPECT_EQ(GetSoundDecoderPcmSize(d.get()), expected.size() * 2);
    const std::vector<int16_t> read = Samples(d.ReadAll(999 * channels * 2));
    ASSERT_EQ(read.size(), expected.size());
    size_t firstDifference = 0;
    while (firstDifference < read.size() && read[firstDifference] == expected[firstDifference]) ++firstDifference;
    EXPECT_EQ(firstDifference, read.size()) << "first difference at sample " << firstDifference;
    EXPECT_TRUE(Samples(d.Whole()) == expected);
    // A seek into the second link.
    const uint32_t at = static_cast<uint32_t>(expected.size() / channels) - 777;
    SeekSoundDecoder(d.get(), at);
    int16_t block[8];
    ASSERT_EQ(ReadSoundDecoder(d.get(), block, sizeof block), static_cast<int>(sizeof block));
    EXPECT_EQ(memcmp(block, &expected[static_cast<size_t>(at) * channels], sizeof block), 0);
  };

  // Mono after stereo: both channels carry it.
  std::vector<int16_t> expected = s;
  for (int16_t x : m) expected.insert(expected.end(), {x, x});
  check(Concat(stereo, mono), expected, 2, 44100);

  // Stereo after mono: the mean of the two.
  expected = m;
  for (size_t i = 0; i + 1 < s.size(); i += 2) expected.push_back(static_cast<int16_t>((s[i] + s[i + 1]) / 2));
  check(Concat(mono, stereo), expected, 1, 44100);

  // Half the rate: the link's own frames on the even positions, the means of
  // their neighbours between them, up to its last frame.
  expected = s;
  const size_t frames = h.size() / 2;
  for (size_t k = 0; k < 2 * (frames - 1); ++k) {
    for (size_t c = 0; c < 2; ++c) {
      const int p = h[k / 2 * 2 + c];
      expected.push_back(static_cast<int16_t>(k % 2 == 0 ? p : p + (h[(k / 2 + 1) * 2 + c] - p) / 2));
    }
  }
  check(Concat(stereo, slow), expected, 2, 44100);
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

// A page that begins a logical stream of another kind (as a movie's video
// stream begins beside its sound).
std::vector<uint8_t> ForeignStreamStart() {
  ogg_stream_state os;
  ogg_stream_init(&os, 77);
  unsigned char body[42] = {0x80, 't', 'h', 'e', 'o', 'r', 'a'};
  ogg_packet op{};
  op.packet = body;
  op.bytes = sizeof body;
  op.b_o_s = 1;
  ogg_stream_packetin(&os, &op);
  ogg_page page;
  std::vector<uint8_t> v;
  while (ogg_stream_flush(&os, &page) != 0) {
    v.insert(v.end(), page.header, page.header + page.header_len);
    v.insert(v.end(), page.body, page.body + page.body_len);
  }
  ogg_stream_clear(&os);
  return v;
}

TEST(SoundDecoderOgg, TheMovieSwitchFindsTheVorbisStreamBesideAnother) {
  std::vector<uint8_t> ogg = EncodeOgg(MakeWave(1, 22050, 16, Bytes(Tone(30000, 1, 22050))), {"-s", "5"});
  REQUIRE_ENCODED(ogg);
  const std::vector<uint8_t> reference = VorbisDecode(ogg);
  // The movie player's way of opening a movie file's sound.
  SoundMovieSwitch = 1;
  SetSoundDecoderSkipMask(~SoundSkipOggVorbis & 0x1F);
  {
    MemoryDecoder d(Concat(ForeignStreamStart(), ogg));
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.get()->vorbisVariant, 1u);
    EXPECT_TRUE(d.Whole() == reference);
  }
  SetSoundDecoderSkipMask(0);
  SoundMovieSwitch = 0;
}

TEST(SoundDecoder, DamagedCompressedFilesAreRefusedOrDecodedWithinTheirBounds) {
  std::vector<uint8_t> mp3 = EncodeMp3(MakeWave(1, 22050, 16, Bytes(Tone(8000, 1, 22050))));
  std::vector<uint8_t> ogg = EncodeOgg(MakeWave(1, 22050, 16, Bytes(Tone(8000, 1, 22050))));
  REQUIRE_ENCODED(mp3);
  REQUIRE_ENCODED(ogg);
  const int32_t blocks = TrackedBlockCount();
  for (const std::vector<uint8_t>* file : {&mp3, &ogg}) {
    // Truncated anywhere.
    for (size_t n = 0; n < file->size(); n += 13) {
      MemoryDecoder d(std::vector<uint8_t>(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(n)));
      if (d.ok()) {
        EXPECT_LE(d.Whole().size(), GetSoundDecoderPcmSize(d.get())) << n;
      }
    }
    // Bytes overwritten.
    uint32_t x = 99;
    for (int round = 0; round < 60; ++round) {
      std::vector<uint8_t> bad = *file;
      for (int k = 0; k < 1 + round % 5; ++k) {
        x = x * 1103515245u + 12345u;
        bad[(x >> 8) % bad.size()] = static_cast<uint8_t>(x >> 24);
      }
      MemoryDecoder d(bad);
      if (d.ok()) {
        EXPECT_LE(d.Whole().size(), GetSoundDecoderPcmSize(d.get())) << round;
      }
    }
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

TEST(SoundDecoder, SkipMaskAndTheMissingDirectShowRoute) {
  std::vector<uint8_t> ogg = EncodeOgg(MakeWave(1, 8000, 16, Bytes(Tone(4000, 1, 8000))));
  REQUIRE_ENCODED(ogg);
  const std::vector<uint8_t> wave = MakeWave(1, 8000, 16, QuietPcm(100));
  // The movie player's mask: Ogg Vorbis alone.
  SetSoundDecoderSkipMask(~SoundSkipOggVorbis & 0x1F);
  EXPECT_EQ(GetSoundDecoderSkipMask(), 0x1Bu);
  EXPECT_TRUE(MemoryDecoder(ogg).ok());
  EXPECT_FALSE(MemoryDecoder(wave).ok());
  SetSoundDecoderSkipMask(SoundSkipOggVorbis);
  EXPECT_FALSE(MemoryDecoder(ogg).ok());
  EXPECT_TRUE(MemoryDecoder(wave).ok());
  SetSoundDecoderSkipMask(0);
  // Nothing of any format: every opener refuses, the DirectShow route too.
  EXPECT_FALSE(MemoryDecoder(std::vector<uint8_t>(500, 0x42)).ok());
  EXPECT_FALSE(MemoryDecoder(std::vector<uint8_t>()).ok());
  // A decoder that is not open refuses reads and closes.
  SoundDecoder closed{};
  uint8_t byte;
  EXPECT_EQ(ReadSoundDecoder(&closed, &byte, 1), -1);
  EXPECT_EQ(CloseSoundDecoder(&closed), -1);
}

TEST(SoundDecoder, ReadStreamToMemoryTakesTheWholeStream) {
  std::vector<uint8_t> bytes = QuietPcm(777);
  MemoryStream* s = OpenMemoryStream(bytes.data(), static_cast<uint32_t>(bytes.size()));
  MemoryStreamSeek(reinterpret_cast<uintptr_t>(s), 100, SeekFromStart);
  void* data = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(ReadStreamToMemory(GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(s), &data, &size), 0);
  EXPECT_EQ(size, 777u);
  EXPECT_EQ(memcmp(data, bytes.data(), 777), 0);
  TrackedFree(data);
  CloseMemoryStream(reinterpret_cast<uintptr_t>(s));
}

}  // namespace
