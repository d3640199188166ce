#include "tools/mediagen/audio.h"

#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mediagen {

namespace {

// A small fixed generator, so every run gives the same noise.
struct Lcg {
  uint32_t state;
  explicit Lcg(uint32_t seed) : state(seed * 2654435761u + 1) {}
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  double Unit() { return (Next() & 0xFFFF) / 32768.0 - 1.0; }
};

void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(x & 255);
  v.push_back(x >> 8 & 255);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
uint32_t Get32(const std::vector<uint8_t>& v, size_t at) {
  return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | static_cast<uint32_t>(v[at + 3]) << 24;
}
uint32_t Get16(const std::vector<uint8_t>& v, size_t at) { return v[at] | v[at + 1] << 8; }

}  // namespace

std::vector<float> Synthesise(const std::vector<Voice>& voices, int rate) {
  double end = 0;
  for (const Voice& v : voices) end = std::max(end, v.start + v.length);
  std::vector<float> out(static_cast<size_t>(end * rate) + 1, 0.0f);
  Lcg noise(static_cast<uint32_t>(voices.size() * 977 + out.size()));
  for (const Voice& v : voices) {
    size_t first = static_cast<size_t>(v.start * rate);
    size_t count = static_cast<size_t>(v.length * rate);
    double phase = 0;
    double held = 0;
    for (size_t i = 0; i < count && first + i < out.size(); ++i) {
      double t = static_cast<double>(i) / rate;
      double f = v.f0 + (v.f1 - v.f0) * (t / v.length);
      phase += f / rate;
      phase -= std::floor(phase);
      double s = 0;
      switch (v.wave) {
        case Wave::Sine: s = std::sin(2 * M_PI * phase); break;
        case Wave::Square: s = phase < 0.5 ? 0.6 : -0.6; break;
        case Wave::Triangle: s = 4 * std::fabs(phase - 0.5) - 1; break;
        case Wave::Saw: s = (2 * phase - 1) * 0.7; break;
        case Wave::Noise:
          // Noise held for a period of the tone, so f sets its colour.
          if (phase < f / rate || i == 0) held = noise.Unit();
          s = held;
          break;
      }
      double envelope = std::exp(-v.decay * t);
      double attack = std::min(1.0, t / 0.004);
      double release = std::min(1.0, (v.length - t) / 0.01);
      out[first + i] += static_cast<float>(s * v.volume * envelope * attack * std::max(0.0, release));
    }
  }
  for (float& s : out) s = std::clamp(s, -1.0f, 1.0f);
  return out;
}

std::vector<uint8_t> EncodeWave(const std::vector<float>& samples, int rate) {
  std::vector<uint8_t> v;
  uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  v.insert(v.end(), {'R', 'I', 'F', 'F'});
  Put32(v, 36 + dataBytes);
  v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(v, 16);
  Put16(v, 1);  // PCM
  Put16(v, 1);  // mono
  Put32(v, static_cast<uint32_t>(rate));
  Put32(v, static_cast<uint32_t>(rate * 2));
  Put16(v, 2);
  Put16(v, 16);
  v.insert(v.end(), {'d', 'a', 't', 'a'});
  Put32(v, dataBytes);
  for (float s : samples) Put16(v, static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * 32000.0f))));
  return v;
}

std::vector<float> ComposeLoop(uint32_t seed, double seconds, int rate) {
  static const int kMajor[] = {0, 2, 4, 5, 7, 9, 11};
  static const int kMinor[] = {0, 2, 3, 5, 7, 8, 10};
  Lcg rng(seed);
  const int* scale = seed % 2 ? kMinor : kMajor;
  double root = 196.0 * std::pow(2.0, (rng.Next() % 7) / 12.0);
  int beatsPerBar = 4;
  double beat = 0.25 + (rng.Next() % 3) * 0.05;  // 240 to 171 beats a minute
  int beats = std::max(4, static_cast<int>(seconds / beat));
  beats -= beats % beatsPerBar;
  Wave lead = (rng.Next() % 2) ? Wave::Square : Wave::Triangle;
  auto note = [&](int degree) {
    int octave = degree >= 0 ? degree / 7 : (degree - 6) / 7;
    int d = degree - octave * 7;
    return root * std::pow(2.0, octave + scale[d] / 12.0);
  };
  // A four-bar chord walk (I, VI, IV, V or I, IV, V, I).
  static const int kWalks[2][4] = {{0, 5, 3, 4}, {0, 3, 4, 0}};
  const int* walk = kWalks[rng.Next() % 2];
  std::vector<Voice> voices;
  int degree = 2;
  for (int b = 0; b < beats; ++b) {
    double t = b * beat;
    int chord = walk[(b / beatsPerBar) % 4];
    if (b % beatsPerBar == 0) {
      voices.push_back({Wave::Triangle, t, beat * beatsPerBar, note(chord - 7), note(chord - 7), 0.28, 0.6});
      voices.push_back({Wave::Sine, t, beat * beatsPerBar, note(chord + 2), note(chord + 2), 0.10, 0.5});
      voices.push_back({Wave::Sine, t, beat * beatsPerBar, note(chord + 4), note(chord + 4), 0.10, 0.5});
    }
    // Drum: a low thump on beats 1 and 3, a tick of noise on 2 and 4.
    if (b % 2 == 0)
      voices.push_back({Wave::Sine, t, 0.12, 110.0, 40.0, 0.45, 18.0});
    else
      voices.push_back({Wave::Noise, t, 0.06, 6000.0, 6000.0, 0.12, 40.0});
    // Melody: two notes a beat, a walk that leans on the chord.
    for (int half = 0; half < 2; ++half) {
      int step = static_cast<int>(rng.Next() % 5) - 2;
      degree = std::clamp(degree + step, chord, chord + 9);
      if (rng.Next() % 5 == 0) continue;  // a rest now and then
      voices.push_back({lead, t + half * beat / 2, beat / 2 * 0.9, note(degree + 7), note(degree + 7), 0.16, 3.0});
    }
  }
  std::vector<float> out = Synthesise(voices, rate);
  out.resize(static_cast<size_t>(beats * beat * rate));
  return out;
}

std::vector<uint8_t> EncodeVorbis(const std::vector<float>& samples, int rate, uint32_t serial) {
  std::vector<uint8_t> out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 1, rate, 0.1f) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, static_cast<int>(serial));
  ogg_page og;
  ogg_packet op;
  auto writePage = [&]() {
    out.insert(out.end(), og.header, og.header + og.header_len);
    out.insert(out.end(), og.body, og.body + og.body_len);
  };
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  while (ogg_stream_flush(&os, &og) != 0) writePage();

  size_t done = 0;
  const size_t chunk = 4096;
  bool eos = false;
  while (!eos) {
    size_t n = std::min(chunk, samples.size() - done);
    if (n == 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      std::memcpy(buffer[0], samples.data() + done, n * sizeof(float));
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
      done += n;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (!eos && ogg_stream_pageout(&os, &og) != 0) {
          writePage();
          if (ogg_page_eos(&og)) eos = true;
        }
      }
    }
    if (n == 0 && !eos) {
      // Everything is flushed once the last packet (end of stream) is out.
      while (ogg_stream_flush(&os, &og) != 0) writePage();
      eos = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

std::string CheckWave(const std::vector<uint8_t>& v) {
  if (v.size() < 44 || std::memcmp(v.data(), "RIFF", 4) != 0 || std::memcmp(v.data() + 8, "WAVE", 4) != 0)
    return "not a RIFF WAVE file";
  size_t at = 12;
  bool format = false;
  while (at + 8 <= v.size()) {
    uint32_t size = Get32(v, at + 4);
    if (std::memcmp(v.data() + at, "fmt ", 4) == 0) {
      if (size < 16 || at + 8 + 16 > v.size()) return "short fmt chunk";
      if (Get16(v, at + 8) != 1) return "not PCM";
      if (Get16(v, at + 22) != 16) return "not 16-bit samples";
      uint32_t channels = Get16(v, at + 10);
      if (channels < 1 || channels > 2) return "not mono or stereo";
      format = true;
    } else if (std::memcmp(v.data() + at, "data", 4) == 0) {
      if (!format) return "data before the fmt chunk";
      if (size == 0) return "no samples";
      if (at + 8 + size > v.size()) return "data chunk runs past the end of the file";
      return "";
    }
    at += 8 + size + (size & 1);
  }
  return "no data chunk";
}

std::string CheckVorbis(const std::vector<uint8_t>& v) {
  // The first page must start the stream and carry the Vorbis identification
  // header; the last page must end the stream.
  if (v.size() < 58 || std::memcmp(v.data(), "OggS", 4) != 0) return "not an Ogg file";
  if (!(v[5] & 2)) return "first page does not begin the stream";
  size_t segments = v[26];
  size_t body = 27 + segments;
  if (body + 7 > v.size() || v[body] != 1 || std::memcmp(v.data() + body + 1, "vorbis", 6) != 0)
    return "no Vorbis identification header";
  // Walk the pages to the end.
  size_t at = 0;
  bool last = false;
  while (at < v.size()) {
    if (at + 27 > v.size() || std::memcmp(v.data() + at, "OggS", 4) != 0) return "broken Ogg page";
    size_t n = v[at + 26];
    if (at + 27 + n > v.size()) return "broken Ogg page";
    size_t len = 0;
    for (size_t i = 0; i < n; ++i) len += v[at + 27 + i];
    last = v[at + 5] & 4;
    at += 27 + n + len;
  }
  if (at != v.size()) return "Ogg page runs past the end of the file";
  if (!last) return "no end-of-stream page";
  return "";
}

}  // namespace mediagen
