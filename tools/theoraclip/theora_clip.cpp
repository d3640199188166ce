#include "tools/theoraclip/theora_clip.h"

#include <ogg/ogg.h>
#include <theora/theoraenc.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// One finished Ogg page and the time at which its last packet ends.
struct TimedPage {
  double time;
  int32_t stream;  // 0 video, 1 audio: video first among equal times
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> PageBytes(const ogg_page& page) {
  std::vector<uint8_t> bytes(page.header, page.header + page.header_len);
  bytes.insert(bytes.end(), page.body, page.body + page.body_len);
  return bytes;
}

void Append(std::vector<uint8_t>* out, const std::vector<uint8_t>& bytes) {
  out->insert(out->end(), bytes.begin(), bytes.end());
}

// Every page the stream can give now; flush forces out what is buffered. A
// page on which no packet ends keeps the time of the page before it.
template <typename Time>
void DrainPages(ogg_stream_state* stream, bool flush, int32_t index, Time time,
                std::vector<TimedPage>* out, double* lastTime) {
  ogg_page page;
  for (;;) {
    const int got = flush ? ogg_stream_flush(stream, &page) : ogg_stream_pageout(stream, &page);
    if (got == 0) break;
    const ogg_int64_t granule = ogg_page_granulepos(&page);
    if (granule >= 0) *lastTime = time(granule);
    out->push_back({*lastTime, index, PageBytes(page)});
  }
}

// Packets laid out on pages of about `fill` body bytes each, cut anywhere,
// so that packets run on from one page to the next (libogg keeps small
// packets whole). Sequence numbers start at firstSequence.
template <typename Time>
void WriteCutPages(const std::vector<std::pair<std::vector<uint8_t>, ogg_int64_t>>& packets, uint32_t serial,
                   uint32_t firstSequence, int32_t fill, Time time, std::vector<TimedPage>* out) {
  struct Segment {
    size_t packet, offset;
    uint8_t length;
    bool last;
  };
  std::vector<Segment> segments;
  for (size_t i = 0; i < packets.size(); ++i) {
    size_t left = packets[i].first.size(), offset = 0;
    for (;;) {
      const uint8_t length = static_cast<uint8_t>(left >= 255 ? 255 : left);
      segments.push_back({i, offset, length, length < 255});
      offset += length;
      left -= length;
      if (length < 255) break;
    }
  }
  uint32_t sequence = firstSequence;
  double lastTime = 0;
  for (size_t at = 0; at < segments.size();) {
    std::vector<uint8_t> lacing, body;
    ogg_int64_t granule = -1;
    const bool continued = segments[at].offset != 0;
    while (at < segments.size() && lacing.size() < 255 && static_cast<int32_t>(body.size()) < fill) {
      const Segment& g = segments[at++];
      lacing.push_back(g.length);
      const std::vector<uint8_t>& data = packets[g.packet].first;
      body.insert(body.end(), data.begin() + static_cast<long>(g.offset),
                  data.begin() + static_cast<long>(g.offset + g.length));
      if (g.last) granule = packets[g.packet].second;
    }
    std::vector<uint8_t> header = {'O', 'g', 'g', 'S', 0, static_cast<uint8_t>((continued ? 1 : 0) | (at == segments.size() ? 4 : 0))};
    for (int b = 0; b < 8; ++b) header.push_back(static_cast<uint8_t>(static_cast<uint64_t>(granule) >> (8 * b)));
    for (uint32_t v : {serial, sequence++, 0u})
      for (int b = 0; b < 4; ++b) header.push_back(static_cast<uint8_t>(v >> (8 * b)));
    header.push_back(static_cast<uint8_t>(lacing.size()));
    header.insert(header.end(), lacing.begin(), lacing.end());
    ogg_page page;
    page.header = header.data();
    page.header_len = static_cast<long>(header.size());
    page.body = body.data();
    page.body_len = static_cast<long>(body.size());
    ogg_page_checksum_set(&page);
    if (granule >= 0) lastTime = time(granule);
    out->push_back({lastTime, 0, PageBytes(page)});
  }
}

struct VideoEncoder {
  th_enc_ctx* encoder = nullptr;
  ogg_stream_state stream{};
  bool streamReady = false;
  ~VideoEncoder() {
    if (encoder != nullptr) th_encode_free(encoder);
    if (streamReady) ogg_stream_clear(&stream);
  }
};

struct AudioEncoder {
  vorbis_info info{};
  vorbis_comment comment{};
  vorbis_dsp_state dsp{};
  vorbis_block block{};
  ogg_stream_state stream{};
  bool infoReady = false, dspReady = false, streamReady = false;
  ~AudioEncoder() {
    if (streamReady) ogg_stream_clear(&stream);
    if (dspReady) {
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    if (infoReady) vorbis_info_clear(&info);
  }
};

// Headers of the Vorbis track into their pages; false when the encoder refuses.
bool StartAudio(AudioEncoder* audio, int32_t rate, std::vector<uint8_t>* bosPage,
                std::vector<TimedPage>* headerPages) {
  vorbis_info_init(&audio->info);
  audio->infoReady = true;
  vorbis_comment_init(&audio->comment);
  if (vorbis_encode_init_vbr(&audio->info, 1, rate, 0.2f) != 0) return false;
  vorbis_analysis_init(&audio->dsp, &audio->info);
  vorbis_block_init(&audio->dsp, &audio->block);
  audio->dspReady = true;
  ogg_stream_init(&audio->stream, 0x5A0D);
  audio->streamReady = true;
  ogg_packet identity, comments, codebooks;
  vorbis_analysis_headerout(&audio->dsp, &audio->comment, &identity, &comments, &codebooks);
  ogg_page page;
  ogg_stream_packetin(&audio->stream, &identity);
  if (ogg_stream_flush(&audio->stream, &page) == 0) return false;
  *bosPage = PageBytes(page);
  ogg_stream_packetin(&audio->stream, &comments);
  ogg_stream_packetin(&audio->stream, &codebooks);
  double start = 0;
  DrainPages(&audio->stream, true, 1, [](ogg_int64_t) { return 0.0; }, headerPages, &start);
  return true;
}

// A sine of the clip's length, encoded into pages timed by their granule.
void EncodeAudio(AudioEncoder* audio, int32_t rate, double seconds, std::vector<TimedPage>* pages) {
  const auto time = [rate](ogg_int64_t granule) { return static_cast<double>(granule) / rate; };
  double last = 0;
  ogg_int64_t flushed = 0;
  const int64_t total = static_cast<int64_t>(seconds * rate);
  int64_t done = 0;
  const int32_t chunk = 1024;
  for (bool ended = false; !ended;) {
    if (done < total) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(chunk, total - done));
      float** buffer = vorbis_analysis_buffer(&audio->dsp, n);
      for (int32_t i = 0; i < n; ++i)
        buffer[0][i] = 0.3f * static_cast<float>(std::sin(2 * M_PI * 440.0 * static_cast<double>(done + i) / rate));
      vorbis_analysis_wrote(&audio->dsp, n);
      done += n;
    } else {
      vorbis_analysis_wrote(&audio->dsp, 0);
      ended = true;
    }
    while (vorbis_analysis_blockout(&audio->dsp, &audio->block) == 1) {
      vorbis_analysis(&audio->block, nullptr);
      vorbis_bitrate_addblock(&audio->block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&audio->dsp, &packet) == 1) {
        ogg_stream_packetin(&audio->stream, &packet);
        // A page about every tenth of a second, as muxers interleave sound.
        const bool due = packet.granulepos >= 0 && packet.granulepos - flushed >= rate / 10;
        if (due) flushed = packet.granulepos;
        DrainPages(&audio->stream, due, 1, time, pages, &last);
      }
    }
  }
  DrainPages(&audio->stream, true, 1, time, pages, &last);
}

}  // namespace

TheoraClipFrame MakeTheoraClipFrame(const TheoraClipOptions& o, int32_t index) {
  TheoraClipFrame f;
  f.frameWidth = (o.pictureX + o.width + 15) & ~15;
  f.frameHeight = (o.pictureY + o.height + 15) & ~15;
  const int32_t cw = f.frameWidth / 2, ch = f.frameHeight / 2;
  f.y.resize(static_cast<size_t>(f.frameWidth) * f.frameHeight);
  f.cb.resize(static_cast<size_t>(cw) * ch);
  f.cr.resize(f.cb.size());
  const int32_t s = static_cast<int32_t>(o.seed % 97);
  // A square of a quarter of the picture's height moving right and down.
  const int32_t side = std::max(2, o.height / 4);
  const int32_t bx = o.pictureX + (index * 3 + s) % std::max(1, o.width - side);
  const int32_t by = o.pictureY + (index * 2 + s) % std::max(1, o.height - side);
  for (int32_t y = 0; y < f.frameHeight; ++y) {
    for (int32_t x = 0; x < f.frameWidth; ++x) {
      int32_t v = 16 + (x * 2 + y * 3 + index * 5 + s * 7) % 200;
      if (o.texture > 0) {
        uint32_t h = static_cast<uint32_t>(x + index * 2) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u;
        h ^= h >> 15;
        v = std::clamp(v + static_cast<int32_t>(h % static_cast<uint32_t>(2 * o.texture + 1)) - o.texture, 0, 255);
      }
      if (x >= bx && x < bx + side && y >= by && y < by + side) v = 235 - (index % 8) * 4;
      f.y[static_cast<size_t>(y) * f.frameWidth + x] = static_cast<uint8_t>(v);
    }
  }
  for (int32_t y = 0; y < ch; ++y) {
    for (int32_t x = 0; x < cw; ++x) {
      f.cb[static_cast<size_t>(y) * cw + x] = static_cast<uint8_t>(64 + (x * 3 + index * 4 + s) % 128);
      f.cr[static_cast<size_t>(y) * cw + x] = static_cast<uint8_t>(64 + (y * 5 + x + index * 3) % 128);
    }
  }
  return f;
}

std::vector<uint8_t> MakeTheoraClip(const TheoraClipOptions& o) {
  if (o.width < 2 || o.height < 2 || o.frames < 1 || o.keyFrameInterval < 1 || o.keyFrameInterval > 64) return {};
  th_info info;
  th_info_init(&info);
  const TheoraClipFrame first = MakeTheoraClipFrame(o, 0);
  info.frame_width = static_cast<ogg_uint32_t>(first.frameWidth);
  info.frame_height = static_cast<ogg_uint32_t>(first.frameHeight);
  info.pic_width = static_cast<ogg_uint32_t>(o.width);
  info.pic_height = static_cast<ogg_uint32_t>(o.height);
  info.pic_x = static_cast<ogg_uint32_t>(o.pictureX);
  info.pic_y = static_cast<ogg_uint32_t>(o.pictureY);
  info.fps_numerator = o.fpsNumerator;
  info.fps_denominator = o.fpsDenominator;
  info.aspect_numerator = 1;
  info.aspect_denominator = 1;
  info.colorspace = TH_CS_UNSPECIFIED;
  info.pixel_fmt = TH_PF_420;
  info.target_bitrate = 0;
  info.quality = o.quality;
  info.keyframe_granule_shift = 6;

  VideoEncoder video;
  video.encoder = th_encode_alloc(&info);
  th_info_clear(&info);
  if (video.encoder == nullptr) return {};
  ogg_uint32_t interval = static_cast<ogg_uint32_t>(o.keyFrameInterval);
  th_encode_ctl(video.encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof(interval));
  ogg_stream_init(&video.stream, 0x7E0A + static_cast<int>(o.seed));
  video.streamReady = true;

  // The identification header alone on the first page, then the others.
  th_comment comment;
  th_comment_init(&comment);
  std::vector<uint8_t> videoBos;
  std::vector<TimedPage> headerPages;
  ogg_packet packet;
  bool firstHeader = true;
  while (th_encode_flushheader(video.encoder, &comment, &packet) > 0) {
    ogg_stream_packetin(&video.stream, &packet);
    if (firstHeader) {
      ogg_page page;
      if (ogg_stream_flush(&video.stream, &page) != 0) videoBos = PageBytes(page);
      firstHeader = false;
    }
  }
  th_comment_clear(&comment);
  if (videoBos.empty()) return {};
  double last = 0;
  DrainPages(&video.stream, true, 0, [](ogg_int64_t) { return 0.0; }, &headerPages, &last);

  AudioEncoder audio;
  std::vector<uint8_t> audioBos;
  std::vector<TimedPage> audioHeaders;
  if (o.audioRate > 0 && !StartAudio(&audio, o.audioRate, &audioBos, &audioHeaders)) return {};

  std::vector<TimedPage> pages;
  th_enc_ctx* encoder = video.encoder;
  const auto videoTime = [encoder](ogg_int64_t granule) { return th_granule_time(encoder, granule); };
  std::vector<std::pair<std::vector<uint8_t>, ogg_int64_t>> cutPackets;
  for (int32_t i = 0; i < o.frames; ++i) {
    TheoraClipFrame f = i == 0 ? first : MakeTheoraClipFrame(o, i);
    th_ycbcr_buffer planes;
    planes[0] = {f.frameWidth, f.frameHeight, f.frameWidth, f.y.data()};
    planes[1] = {f.frameWidth / 2, f.frameHeight / 2, f.frameWidth / 2, f.cb.data()};
    planes[2] = {f.frameWidth / 2, f.frameHeight / 2, f.frameWidth / 2, f.cr.data()};
    if (th_encode_ycbcr_in(video.encoder, planes) != 0) return {};
    while (th_encode_packetout(video.encoder, i + 1 == o.frames ? 1 : 0, &packet) > 0) {
      if (o.pageFill > 0) {
        cutPackets.emplace_back(std::vector<uint8_t>(packet.packet, packet.packet + packet.bytes), packet.granulepos);
        continue;
      }
      ogg_stream_packetin(&video.stream, &packet);
      DrainPages(&video.stream, false, 0, videoTime, &pages, &last);
    }
  }
  if (o.pageFill > 0) {
    WriteCutPages(cutPackets, static_cast<uint32_t>(0x7E0A + static_cast<int>(o.seed)),
                  static_cast<uint32_t>(1 + headerPages.size()), o.pageFill, videoTime, &pages);
  } else {
    DrainPages(&video.stream, true, 0, videoTime, &pages, &last);
  }
  if (o.audioRate > 0) {
    EncodeAudio(&audio, o.audioRate, static_cast<double>(o.frames) * o.fpsDenominator / o.fpsNumerator, &pages);
  }
  std::stable_sort(pages.begin(), pages.end(), [](const TimedPage& a, const TimedPage& b) {
    return a.time != b.time ? a.time < b.time : a.stream < b.stream;
  });

  std::vector<uint8_t> out = videoBos;
  Append(&out, audioBos);
  for (const TimedPage& p : headerPages) Append(&out, p.bytes);
  for (const TimedPage& p : audioHeaders) Append(&out, p.bytes);
  for (const TimedPage& p : pages) Append(&out, p.bytes);
  return out;
}
