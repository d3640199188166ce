// What the movie tests share: clips made with the clip maker, libtheora's
// own decode of a clip converted to RGB by the formulas (the oracle every
// frame of the player is held against), a stream over bytes that can be cut
// while a movie plays, and Ogg page surgery for the damaged clips.
#pragma once

#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "library/core/memory.h"
#include "library/file/file_table.h"
#include "library/graphics/color_format.h"
#include "library/movie/theora_player.h"
#include "library/movie/yuv_tables.h"
#include "platform/win32/win32.h"
#include "tools/theoraclip/theora_clip.h"

namespace movietest {

using Bytes = std::vector<uint8_t>;

// One picture as 32-bit pixels B, G, R, 0xFF, rows packed.
struct Picture {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
  bool operator==(const Picture&) const = default;
};

inline uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// The conversion written from its formulas: 14-bit fixed point, division
// truncated toward zero.
inline void PixelFromYuv(int32_t y, int32_t cb, int32_t cr, uint8_t* out) {
  const int32_t l = 19070 * y - 305120;
  out[0] = Clamp((l + 33062 * cb - 4231936) / 16384);
  out[1] = Clamp((l + 819968 - 6406 * cb + 1705984 - 13320 * cr) / 16384);
  out[2] = Clamp((l + 26148 * cr - 3346944) / 16384);
  out[3] = 0xFF;
}

// The picture rectangle of a 4:2:0 frame (planes given top row first).
inline Picture PictureFromPlanes(const uint8_t* luma, int32_t lumaStride, const uint8_t* cb, const uint8_t* cr,
                                 int32_t chromaStride, int32_t x0, int32_t y0, int32_t width, int32_t height) {
  Picture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int32_t lx = x0 + x, ly = y0 + y;
      PixelFromYuv(luma[static_cast<intptr_t>(ly) * lumaStride + lx],
                   cb[static_cast<intptr_t>(ly / 2) * chromaStride + lx / 2],
                   cr[static_cast<intptr_t>(ly / 2) * chromaStride + lx / 2],
                   &p.pixels[(static_cast<size_t>(y) * width + x) * 4]);
    }
  }
  return p;
}

// libtheora's own decode of every frame of the clip, in order.
struct ReferenceDecode {
  double fps = 0;
  int32_t width = 0, height = 0;
  std::vector<Picture> frames;
  std::vector<bool> keyFrames;
};

inline ReferenceDecode DecodeWithLibtheora(const Bytes& clip) {
  ReferenceDecode out;
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(clip.size()));
  std::memcpy(buffer, clip.data(), clip.size());
  ogg_sync_wrote(&sync, static_cast<long>(clip.size()));
  th_info info;
  th_comment comment;
  th_info_init(&info);
  th_comment_init(&comment);
  th_setup_info* setup = nullptr;
  th_dec_ctx* decoder = nullptr;
  ogg_stream_state stream;
  bool haveStream = false;
  int headers = 0;
  ogg_page page;
  while (ogg_sync_pageout(&sync, &page) > 0) {
    if (ogg_page_bos(&page)) {
      if (haveStream) continue;
      ogg_stream_init(&stream, ogg_page_serialno(&page));
      ogg_stream_pagein(&stream, &page);
      ogg_packet packet;
      if (ogg_stream_packetout(&stream, &packet) > 0 && th_decode_headerin(&info, &comment, &setup, &packet) > 0) {
        haveStream = true;
        headers = 1;
      } else {
        ogg_stream_clear(&stream);
      }
      continue;
    }
    if (!haveStream || ogg_stream_pagein(&stream, &page) != 0) continue;
    ogg_packet packet;
    while (ogg_stream_packetout(&stream, &packet) > 0) {
      if (headers < 3) {
        if (th_decode_headerin(&info, &comment, &setup, &packet) > 0) ++headers;
        if (headers == 3) {
          decoder = th_decode_alloc(&info, setup);
          out.fps = static_cast<double>(info.fps_numerator) / info.fps_denominator;
          out.width = static_cast<int32_t>(info.pic_width);
          out.height = static_cast<int32_t>(info.pic_height);
        }
        continue;
      }
      out.keyFrames.push_back(th_packet_iskeyframe(&packet) == 1);
      th_decode_packetin(decoder, &packet, nullptr);
      th_ycbcr_buffer planes;
      th_decode_ycbcr_out(decoder, planes);
      out.frames.push_back(PictureFromPlanes(planes[0].data, planes[0].stride, planes[1].data, planes[2].data,
                                             planes[1].stride, static_cast<int32_t>(info.pic_x),
                                             static_cast<int32_t>(info.pic_y), out.width, out.height));
    }
  }
  if (decoder != nullptr) th_decode_free(decoder);
  th_setup_free(setup);
  if (haveStream) ogg_stream_clear(&stream);
  th_comment_clear(&comment);
  th_info_clear(&info);
  ogg_sync_clear(&sync);
  return out;
}

inline Picture PictureOf(const GraphImage& image) {
  Picture p{image.width, image.height, std::vector<uint8_t>(static_cast<size_t>(image.width) * image.height * 4)};
  for (int32_t y = 0; y < image.height; ++y)
    std::memcpy(&p.pixels[static_cast<size_t>(y) * image.width * 4],
                image.pixels + static_cast<intptr_t>(y) * image.pitch, static_cast<size_t>(image.width) * 4);
  return p;
}

// Mean absolute difference of the colour bytes of two pictures.
inline double MeanDifference(const Picture& a, const Picture& b) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
    if (i % 4 == 3) continue;
    sum += std::abs(static_cast<int>(a.pixels[i]) - static_cast<int>(b.pixels[i]));
    ++n;
  }
  return n == 0 ? 0 : sum / static_cast<double>(n);
}

// The picture the clip maker gave the encoder for a frame, converted alike.
inline Picture SourcePicture(const TheoraClipOptions& o, int32_t index) {
  const TheoraClipFrame f = MakeTheoraClipFrame(o, index);
  return PictureFromPlanes(f.y.data(), f.frameWidth, f.cb.data(), f.cr.data(), f.frameWidth / 2, o.pictureX,
                           o.pictureY, o.width, o.height);
}

// ---------------------------------------------------------------- streams

// A stream over bytes held by the test. Reads fail once `cut` is set (the
// file went away under the movie); reads after `closed` are counted.
struct ByteStream {
  Bytes bytes;
  int64_t position = 0;
  std::atomic<bool> cut{false};
  std::atomic<bool> closed{false};
  std::atomic<int> readsAfterClose{0};
};

inline ByteStream* AsByteStream(uintptr_t id) { return reinterpret_cast<ByteStream*>(id); }

inline const StreamInterface* ByteStreamInterface() {
  static const StreamInterface kInterface = {
      [](uintptr_t id) { return static_cast<int32_t>(AsByteStream(id)->position); },
      [](uintptr_t id, int32_t offset, int32_t origin) {
        ByteStream* s = AsByteStream(id);
        const int64_t to = SeekTarget(s->position, static_cast<int64_t>(s->bytes.size()), offset, origin);
        if (to < 0) return -1;
        s->position = to;
        return 0;
      },
      [](void* buffer, uint32_t size, uint32_t count, uintptr_t id) -> uint32_t {
        ByteStream* s = AsByteStream(id);
        if (s->closed) ++s->readsAfterClose;
        if (s->cut || size == 0) return 0;
        const uint32_t n =
            WholeElementsLeft(size, count, static_cast<uint64_t>(static_cast<int64_t>(s->bytes.size()) - s->position));
        if (n > 0) std::memcpy(buffer, s->bytes.data() + s->position, static_cast<size_t>(n) * size);
        s->position += static_cast<int64_t>(n) * size;
        return n;
      },
      [](uintptr_t id) { return AsByteStream(id)->position >= static_cast<int64_t>(AsByteStream(id)->bytes.size()) ? 1 : 0; },
      [](uintptr_t) { return 0; },
      [](uintptr_t id) {
        AsByteStream(id)->closed = true;
        return 0;
      },
  };
  return &kInterface;
}

inline TheoraMovieState* OpenBytes(ByteStream* stream, int32_t ring = 10) {
  return TheoraOpen(ByteStreamInterface(), reinterpret_cast<uintptr_t>(stream), ring);
}

// ---------------------------------------------------------------- pages

// Where each page of an Ogg file starts, and its length.
struct PageSpan {
  size_t offset, length, headerLength;
};

inline std::vector<PageSpan> ListPages(const Bytes& bytes) {
  std::vector<PageSpan> pages;
  size_t at = 0;
  while (at + 27 <= bytes.size() && std::memcmp(&bytes[at], "OggS", 4) == 0) {
    const size_t segments = bytes[at + 26];
    if (at + 27 + segments > bytes.size()) break;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += bytes[at + 27 + i];
    const PageSpan span{at, 27 + segments + body, 27 + segments};
    if (at + span.length > bytes.size()) break;
    pages.push_back(span);
    at += span.length;
  }
  return pages;
}

inline int64_t PageGranule(const Bytes& bytes, const PageSpan& span) {
  int64_t granule = 0;
  std::memcpy(&granule, &bytes[span.offset + 6], 8);
  return granule;
}

// Sets the checksum of the page again after its bytes were changed.
inline void FixPageChecksum(Bytes* bytes, const PageSpan& span) {
  ogg_page page;
  page.header = &(*bytes)[span.offset];
  page.header_len = static_cast<long>(span.headerLength);
  page.body = &(*bytes)[span.offset + span.headerLength];
  page.body_len = static_cast<long>(span.length - span.headerLength);
  ogg_page_checksum_set(&page);
}

// ---------------------------------------------------------------- waiting

// The player's thread state reaching `state`; false after about 20 s.
inline bool WaitForThreadState(const TheoraMovieState* s, int32_t state) {
  for (int i = 0; i < 20000; ++i) {
    if (s->threadState.load() == state) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

}  // namespace movietest
