// Chained Ogg Vorbis files through the sound decoder: links of other rates
// and channel counts converted to the first link's format, lengths that a
// file claims checked against what it can hold, and seeks into converted
// links. The links are written here with libvorbisenc.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/sound/sound_fixture.h"
#include "tests/sound/vorbis_writer.h"
#include "tests/support/scratch_log.h"
#include "tests/support/test_support.h"

namespace {

using vorbis_writer::EncodeLink;
using vorbis_writer::Sine;

struct LinkSpec {
  int channels;
  uint32_t rate;      // the rate the link's header names
  uint32_t frames;
  double hertz;       // the tone, at the named rate
  uint32_t encodedAt = 0;  // the rate the encoder worked at, when other than the named one
};

// A link of a sine of `hertz` at its named rate. Rates the encoder is not
// made for are encoded at another rate and the header's rate rewritten: the
// samples stay the same, and at the named rate they make the named tone.
std::vector<uint8_t> MakeLink(const LinkSpec& s, int serial) {
  const uint32_t at = s.encodedAt != 0 ? s.encodedAt : s.rate;
  std::vector<uint8_t> link = EncodeLink(Sine(s.frames, s.channels, s.rate, s.hertz), s.channels, at, serial);
  if (at != s.rate) vorbis_writer::SetHeaderRate(link, s.rate);
  return link;
}

std::vector<uint8_t> Joined(const std::vector<std::vector<uint8_t>>& links) {
  std::vector<uint8_t> v;
  for (const auto& l : links) v.insert(v.end(), l.begin(), l.end());
  return v;
}

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& pcm) {
  std::vector<int16_t> v(pcm.size() / 2);
  memcpy(v.data(), pcm.data(), v.size() * 2);
  return v;
}

// A link's own decode (vorbisfile's, of the link as a file of its own),
// its channels mixed to the output's as a player mixes them: mono doubled,
// stereo averaged.
std::vector<int16_t> OwnDecode(const std::vector<uint8_t>& link, int channels, int outChannels) {
  const std::vector<int16_t> own = AsSamples(sound_media::VorbisDecode(link));
  if (channels == outChannels) return own;
  std::vector<int16_t> mixed;
  for (size_t i = 0; i + channels <= own.size(); i += channels) {
    if (outChannels == 2) {
      mixed.insert(mixed.end(), {own[i], own[i]});
    } else {
      mixed.push_back(static_cast<int16_t>((own[i] + own[i + 1]) / 2));
    }
  }
  return mixed;
}

// Another resampler: the link's frames as a line through its samples, read
// in floating point at every output frame's time before its last frame.
std::vector<double> Resampled(const std::vector<int16_t>& frames, int channels, double rate, double outRate) {
  std::vector<double> out;
  const size_t n = frames.size() / channels;
  for (size_t k = 0;; ++k) {
    const double at = static_cast<double>(k) * rate / outRate;
    if (at >= static_cast<double>(n - 1)) break;
    const size_t i = static_cast<size_t>(at);
    const double fraction = at - static_cast<double>(i);
    for (int c = 0; c < channels; ++c) {
      const double p = frames[i * channels + c], q = frames[(i + 1) * channels + c];
      out.push_back(p + (q - p) * fraction);
    }
  }
  return out;
}

class OggChainTest : public ScratchLogTest {};

// ---------------------------------------------------------------- what a file may claim

TEST_F(OggChainTest, LengthsAFileCannotHoldAreRefusedBeforeAnythingRestsOnThem) {
  const LinkSpec stereo = {2, 44100, 22050, 440}, mono = {1, 22050, 22050, 330};
  struct Case {
    const char* name;
    std::vector<LinkSpec> links;
    int64_t lastGranule;  // of the last link's last page
    const char* line;     // what the log says
  };
  const Case cases[] = {
      // The frames of the second link times the output rate pass 2^63.
      {"another rate, 2^48 frames", {stereo, mono}, int64_t(1) << 48, "リンク 1 の長さ"},
      {"another rate, 2^62 frames", {stereo, mono}, int64_t(1) << 62, "サンプルがそのデータ"},
      {"the same rate, 2^48 frames", {stereo, stereo}, int64_t(1) << 48, "サンプルがそのデータ"},
      {"one link, 2^40 frames", {mono}, int64_t(1) << 40, "リンク 0 の長さ"},
      // 40 million frames: under 2 GB of PCM, but more than the link's few
      // kilobytes can decode to.
      {"one link, 40 million frames", {mono}, 40000000, "リンク 0 の長さ 40000"},
      // Frames the bytes can hold, but 2,000 times as many once converted:
      // more PCM than 32-bit bytes count.
      {"converted past 2 GB",
       {{1, 200000, 2000, 1000, 8000}, {1, 100, 800, 2, 8000}},
       int64_t(1) << 20,
       "ＰＣＭが 2147483647 バイトを超えます"},
  };
  const int32_t blocks = TrackedBlockCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::vector<uint8_t>> links;
    for (size_t i = 0; i < c.links.size(); ++i) links.push_back(MakeLink(c.links[i], static_cast<int>(i + 1)));
    ASSERT_FALSE(links.back().empty());
    {
      // Told the truth, the file opens and gives what it says.
      MemoryDecoder honest(Joined(links));
      ASSERT_TRUE(honest.ok());
      EXPECT_EQ(honest.Whole().size(), GetSoundDecoderPcmSize(honest.get()));
    }
    vorbis_writer::SetLastGranule(links.back(), c.lastGranule);
    StartScratchLog();
    MemoryDecoder d(Joined(links));
    EXPECT_FALSE(d.ok());
    EXPECT_NE(ReadScratchLog().find(c.line), std::string::npos) << SjisForPrint(ReadScratchLog());
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

// ---------------------------------------------------------------- conversion

// Chains whose second link is of another rate (and channel count), from
// ratios near 1 to the widest taken: the length announced is what the
// decoder delivers, read in pieces or whole, and is the second link's own
// decode converted; converted, a tone keeps its pitch and its length.
TEST_F(OggChainTest, ConvertedLinksKeepTheirLengthAndPitchUpToTheWidestRatio) {
  struct Case {
    const char* name;
    LinkSpec first, second;
  };
  const Case cases[] = {
      {"44.1 kHz into 22.05 kHz", {1, 22050, 4000, 300}, {2, 44100, 30000, 441}},
      {"22.05 kHz into 44.1 kHz", {2, 44100, 8000, 300}, {1, 22050, 15000, 441}},
      {"48 kHz into 44.1 kHz", {2, 44100, 8000, 300}, {2, 48000, 30000, 600}},
      {"8 kHz into 44.1 kHz", {1, 44100, 8000, 300}, {1, 8000, 8000, 200}},
      {"11.025 kHz into 8 kHz", {1, 8000, 3000, 100}, {2, 11025, 11025, 150}},
      // The widest ratio taken, both ways (rates no encoder is made for,
      // encoded at 8 kHz and renamed).
      {"100 Hz into 200 kHz", {2, 200000, 8000, 5000, 8000}, {1, 100, 800, 2.5, 8000}},
      {"200 kHz into 100 Hz", {2, 100, 400, 2, 8000}, {2, 200000, 400000, 4, 8000}},
  };
  // The encoder's own loss on these tones reaches some 550 (of 12,000): a
  // tone of another pitch, or one shifted by a hundredth of a cycle, is
  // further off than 5 % of its height.
  constexpr double kToneBound = 600;
  const int32_t blocks = TrackedBlockCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> first = MakeLink(c.first, 1), second = MakeLink(c.second, 2);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    const int channels = c.first.channels;
    const std::vector<int16_t> head = OwnDecode(first, c.first.channels, channels);
    const std::vector<int16_t> own = OwnDecode(second, c.second.channels, channels);
    const size_t ownFrames = own.size() / channels;
    MemoryDecoder d(Joined({first, second}));
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.get()->format.nSamplesPerSec, c.first.rate);
    EXPECT_EQ(d.get()->format.nChannels, channels);
    const std::vector<uint8_t> whole = d.Whole();
    SeekSoundDecoder(d.get(), 0);
    const std::vector<uint8_t> pieces = d.ReadAll(3000 * channels);
    EXPECT_EQ(whole.size(), GetSoundDecoderPcmSize(d.get()));
    EXPECT_TRUE(pieces == whole);
    const std::vector<int16_t> out = AsSamples(whole);
    ASSERT_GE(out.size(), head.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), out.begin())) << "the first link as it decodes";
    const std::vector<int16_t> converted(out.begin() + static_cast<std::ptrdiff_t>(head.size()), out.end());

    // Its length: the second link's own time, to the frame.
    const double seconds = static_cast<double>(ownFrames - 1) / c.second.rate;
    EXPECT_NEAR(static_cast<double>(converted.size() / channels), seconds * c.first.rate, 1.0);

    // Against another resampler, to the rounding of a sample.
    const std::vector<double> reference = Resampled(own, channels, c.second.rate, c.first.rate);
    ASSERT_EQ(converted.size(), reference.size());
    double furthest = 0;
    for (size_t i = 0; i < reference.size(); ++i) furthest = std::max(furthest, std::abs(converted[i] - reference[i]));
    EXPECT_LE(furthest, 1.0);

    // Against the tone itself: its pitch at the output rate (channel 0, away
    // from the link's two ends, where the encoder's windows start and stop;
    // two channels a quarter of a cycle apart mixed to one are their mean).
    double worst = 0;
    const size_t frames = converted.size() / channels, edge = frames / 20;
    const bool mixed = c.second.channels == 2 && channels == 1;
    for (size_t k = edge; k + edge < frames; ++k) {
      const double phase = 2 * M_PI * c.second.hertz * static_cast<double>(k) / c.first.rate;
      const double tone = mixed ? 6000 * (std::sin(phase) + std::sin(phase + M_PI / 2)) : 12000 * std::sin(phase);
      worst = std::max(worst, std::abs(converted[k * channels] - tone));
    }
    EXPECT_LE(worst, kToneBound);
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

TEST_F(OggChainTest, RatesNoSoundBufferPlaysAreNotConverted) {
  struct Case {
    const char* name;
    LinkSpec first, second;
  };
  const Case cases[] = {
      {"a link that says 8 Hz", {2, 44100, 22050, 440}, {1, 8, 4000, 0.4, 8000}},
      {"a link that says 400 kHz", {1, 22050, 22050, 440}, {1, 400000, 4000, 20000, 8000}},
      {"a first link that says 50 Hz", {1, 50, 4000, 1, 8000}, {1, 22050, 4000, 440}},
  };
  const int32_t blocks = TrackedBlockCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartScratchLog();
    MemoryDecoder d(Joined({MakeLink(c.first, 1), MakeLink(c.second, 2)}));
    EXPECT_FALSE(d.ok());
    EXPECT_NE(ReadScratchLog().find("に変換できません（100 Hz から 200000 Hz まで）"), std::string::npos)
        << SjisForPrint(ReadScratchLog());
  }
  {
    // A link at such a rate plays when nothing converts it.
    MemoryDecoder alone(MakeLink({1, 8, 4000, 0.4, 8000}, 1));
    ASSERT_TRUE(alone.ok());
    EXPECT_EQ(alone.Whole().size(), GetSoundDecoderPcmSize(alone.get()));
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

// ---------------------------------------------------------------- seeks

// Every seek reads what the whole decode holds at the frame sought: in
// links of the output format and in converted ones, across the links'
// joins, in an order that seeks back and forth.
TEST_F(OggChainTest, EverySeekReadsWhatTheWholeDecodeHoldsThere) {
  struct Case {
    const char* name;
    std::vector<LinkSpec> links;
  };
  const Case cases[] = {
      {"1 s mono 22.05 kHz, 1.3 s stereo 44.1 kHz", {{1, 22050, 22050, 440}, {2, 44100, 57330, 330}}},
      {"stereo 44.1 kHz, mono 22.05 kHz, stereo 44.1 kHz",
       {{2, 44100, 30000, 440}, {1, 22050, 20000, 330}, {2, 44100, 30000, 550}}},
      {"three links of one format", {{2, 44100, 30000, 440}, {2, 44100, 30000, 330}, {2, 44100, 20000, 550}}},
      {"100 Hz into 200 kHz", {{2, 200000, 8000, 5000, 8000}, {1, 100, 600, 2.5, 8000}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::vector<uint8_t>> links;
    for (size_t i = 0; i < c.links.size(); ++i) links.push_back(MakeLink(c.links[i], static_cast<int>(i + 1)));
    MemoryDecoder d(Joined(links));
    ASSERT_TRUE(d.ok());
    const uint32_t align = d.get()->format.nBlockAlign;
    const std::vector<uint8_t> whole = d.Whole();
    ASSERT_EQ(whole.size(), GetSoundDecoderPcmSize(d.get()));
    const uint32_t frames = static_cast<uint32_t>(whole.size() / align);
    // Targets through the whole, each join and a few frames each side of
    // it, the last frames, and past the end.
    std::vector<uint32_t> targets;
    for (uint32_t t = 0; t < frames; t += frames / 500) targets.push_back(t);
    uint32_t join = 0;
    for (size_t i = 0; i + 1 < links.size(); ++i) {
      join += static_cast<uint32_t>(d.get()->vorbisLinks[i]);
      for (uint32_t t = join - 9; t <= join + 9; ++t) targets.push_back(t);
    }
    for (uint32_t t : {frames - 1, frames - 10, frames, frames + 1000}) targets.push_back(t);
    // Shuffled, so that seeks go back as well as forth.
    uint32_t x = 7;
    for (size_t i = targets.size() - 1; i > 0; --i) {
      x = x * 1103515245u + 12345u;
      std::swap(targets[i], targets[(x >> 8) % (i + 1)]);
    }
    int wrong = 0;
    uint32_t firstWrong = 0;
    for (uint32_t t : targets) {
      // A seek within 16 bytes of where the decoder stands is not made: such
      // a target is sought from the other end.
      const uint64_t target = static_cast<uint64_t>(t) * align;
      if ((target > d.get()->pcmPosition ? target - d.get()->pcmPosition : d.get()->pcmPosition - target) < 16)
        SeekSoundDecoder(d.get(), t < frames / 2 ? frames - 1 : 0);
      SeekSoundDecoder(d.get(), t);
      ASSERT_EQ(d.get()->pcmPosition, target);
      std::vector<uint8_t> read(64 * align);
      const int n = ReadSoundDecoder(d.get(), read.data(), static_cast<uint32_t>(read.size()));
      const size_t at = std::min<size_t>(static_cast<size_t>(t) * align, whole.size());
      const size_t want = std::min(read.size(), whole.size() - at);
      if (n != static_cast<int>(want) || memcmp(read.data(), whole.data() + at, want) != 0) {
        if (wrong++ == 0) firstWrong = t;
      }
    }
    EXPECT_EQ(wrong, 0) << "of " << targets.size() << " targets; the first at frame " << firstWrong;
  }
}

}  // namespace
