// Ogg Vorbis links written in the process with libvorbisenc, for tests and
// fuzz inputs that need a chain of links of chosen formats, and the two
// rewrites that make a link lie about itself: the rate its header names,
// and the granule position of its last page (the length vorbisfile gives it).
#pragma once

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vorbis_writer {

// A sine of `hertz` cycles a second at `rate` (`frames` x `channels`
// samples, the channels a quarter of a cycle apart).
inline std::vector<int16_t> Sine(uint32_t frames, int channels, double rate, double hertz, double amplitude = 12000) {
  std::vector<int16_t> v(static_cast<size_t>(frames) * channels);
  for (uint32_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double phase = 2 * M_PI * hertz * i / rate + c * M_PI / 2;
      v[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(std::lround(amplitude * std::sin(phase)));
    }
  }
  return v;
}

// One link: the samples (interleaved) encoded at `rate` with its own serial
// number, a page at least every 4 packets (so that even a short link has
// audio pages besides its last). Empty when the encoder takes no such
// format.
inline std::vector<uint8_t> EncodeLink(const std::vector<int16_t>& samples, int channels, long rate, int serial,
                                       float quality = 0.3f) {
  std::vector<uint8_t> out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
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
  ogg_stream_init(&os, serial);
  ogg_page og;
  ogg_packet op;
  const auto write = [&] {
    out.insert(out.end(), og.header, og.header + og.header_len);
    out.insert(out.end(), og.body, og.body + og.body_len);
  };
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  while (ogg_stream_flush(&os, &og) != 0) write();

  const size_t frames = samples.size() / static_cast<size_t>(channels);
  size_t done = 0;
  int packets = 0;
  for (bool last = false; !last;) {
    const size_t n = std::min<size_t>(1024, frames - done);
    if (n == 0) {
      vorbis_analysis_wrote(&vd, 0);
      last = true;
    } else {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
          buffer[c][i] = static_cast<float>(samples[(done + i) * static_cast<size_t>(channels) + c]) / 32768.0f;
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
      done += n;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      while (vorbis_bitrate_flushpacket(&vd, &op) != 0) {
        ogg_stream_packetin(&os, &op);
        if (++packets % 4 == 0) {
          while (ogg_stream_flush(&os, &og) != 0) write();
        } else {
          while (ogg_stream_pageout(&os, &og) != 0) write();
        }
      }
    }
  }
  while (ogg_stream_flush(&os, &og) != 0) write();
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

// The pages of a link: where each starts and its whole size.
struct PageSpan {
  size_t start, size;
};
inline std::vector<PageSpan> Pages(const std::vector<uint8_t>& link) {
  std::vector<PageSpan> pages;
  for (size_t at = 0; at + 27 <= link.size() && memcmp(link.data() + at, "OggS", 4) == 0;) {
    const size_t segments = link[at + 26];
    if (at + 27 + segments > link.size()) break;
    size_t size = 27 + segments;
    for (size_t s = 0; s < segments; ++s) size += link[at + 27 + s];
    if (at + size > link.size()) break;
    pages.push_back({at, size});
    at += size;
  }
  return pages;
}

// Sets the page's checksum again after a change.
inline void Reseal(std::vector<uint8_t>& link, const PageSpan& p) {
  const size_t headerLength = 27 + link[p.start + 26];
  ogg_page page;
  page.header = link.data() + p.start;
  page.header_len = static_cast<long>(headerLength);
  page.body = link.data() + p.start + headerLength;
  page.body_len = static_cast<long>(p.size - headerLength);
  ogg_page_checksum_set(&page);
}

// The rate the link's identification header names (the first page holds
// that packet alone: 7 bytes of type and name, 4 of version, 1 of channels,
// then the rate).
inline void SetHeaderRate(std::vector<uint8_t>& link, uint32_t rate) {
  const std::vector<PageSpan> pages = Pages(link);
  if (pages.empty()) return;
  const size_t rateAt = pages[0].start + 27 + link[pages[0].start + 26] + 12;
  for (int i = 0; i < 4; ++i) link[rateAt + i] = static_cast<uint8_t>(rate >> (8 * i));
  Reseal(link, pages[0]);
}

// The granule position of the link's last page.
inline void SetLastGranule(std::vector<uint8_t>& link, int64_t granule) {
  const std::vector<PageSpan> pages = Pages(link);
  if (pages.empty()) return;
  const PageSpan& last = pages.back();
  for (int i = 0; i < 8; ++i) link[last.start + 6 + i] = static_cast<uint8_t>(static_cast<uint64_t>(granule) >> (8 * i));
  Reseal(link, last);
}

}  // namespace vorbis_writer
