// The Theora player against libtheora's own decode of the same clips: every
// frame in order, seeks between key frames and past the end, the loop back
// to the first frame, jumps that leave the ring behind, closing while the
// thread decodes, and a table of truncated and damaged clips.
#include <gtest/gtest.h>

#include <random>

#include "library/core/log.h"
#include "tests/movie/movie_fixture.h"
#include "tests/support/scratch_log.h"

namespace {

using namespace movietest;

class TheoraPlayerTest : public ScratchLogTest {
 protected:
  void SetUp() override {
    ScratchLogTest::SetUp();
    BuildYuvToRgbTables();
    blocks_ = TrackedBlockCount();
    threads_ = PlatformLiveThreadCount();
  }
  void TearDown() override {
    EXPECT_EQ(TrackedBlockCount(), blocks_);
    EXPECT_EQ(PlatformLiveThreadCount(), threads_);
    ScratchLogTest::TearDown();
  }

  // The frame the player shows now, converted.
  static Picture Shown(TheoraMovieState* s) {
    s->rgbUpToDate = 0;
    EXPECT_EQ(ConvertTheoraFrame(s, 1, 0), 1);
    return PictureOf(*GetTheoraRgbImage(s));
  }

 private:
  int32_t blocks_ = 0;
  int threads_ = 0;
};

struct ClipCase {
  const char* name;
  TheoraClipOptions options;
};

TheoraClipOptions Clip(int w, int h, int frames, int key, int fill = 0, int audio = 0, int px = 0, int py = 0,
                       uint32_t fps = 30) {
  TheoraClipOptions o;
  o.width = w;
  o.height = h;
  o.frames = frames;
  o.keyFrameInterval = key;
  o.pageFill = fill;
  o.audioRate = audio;
  o.pictureX = px;
  o.pictureY = py;
  o.fpsNumerator = fps;
  return o;
}

const ClipCase kClips[] = {
    {"plain", Clip(48, 32, 24, 8)},
    {"cropped picture", Clip(50, 30, 13, 5, 0, 0, 6, 4, 25)},
    {"small pages", Clip(64, 48, 30, 7, 300)},
    {"every frame a key frame", Clip(32, 32, 9, 1)},
    {"with a sound track", Clip(48, 32, 20, 6, 0, 22050)},
    {"one frame", Clip(16, 16, 1, 1)},
    // Rows of several vectors' width, decoded in several bands.
    {"larger picture", Clip(320, 240, 12, 5)},
    {"larger picture, cropped", Clip(300, 200, 8, 4, 0, 0, 10, 6)},
};

TEST_F(TheoraPlayerTest, EveryFrameInOrderEqualsLibtheorasDecode) {
  for (const ClipCase& c : kClips) {
    SCOPED_TRACE(c.name);
    ByteStream stream;
    stream.bytes = MakeTheoraClip(c.options);
    ASSERT_FALSE(stream.bytes.empty());
    const ReferenceDecode ref = DecodeWithLibtheora(stream.bytes);
    ASSERT_EQ(static_cast<int>(ref.frames.size()), c.options.frames);

    TheoraMovieState* s = OpenBytes(&stream);
    ASSERT_NE(s, nullptr);
    TheoraMovieInfo info;
    GetTheoraInfo(s, &info);
    EXPECT_EQ(info.totalFrames, c.options.frames);
    EXPECT_EQ(info.width, c.options.width);
    EXPECT_EQ(info.height, c.options.height);
    EXPECT_DOUBLE_EQ(info.framesPerSecond, static_cast<double>(c.options.fpsNumerator));
    // The open leaves frame 0 converted.
    EXPECT_EQ(GetTheoraCurrentFrame(s), 0);
    EXPECT_EQ(s->rgbUpToDate, 1);
    EXPECT_EQ(PictureOf(*GetTheoraRgbImage(s)), ref.frames[0]);
    for (int f = 1; f < c.options.frames; ++f) {
      TheoraAdvance(s, 1);
      ASSERT_EQ(ConvertTheoraFrame(s, 1, 0), 1) << f;
      ASSERT_EQ(PictureOf(*GetTheoraRgbImage(s)), ref.frames[f]) << "frame " << f;
    }
    // Nothing new to convert until the frame moves.
    EXPECT_EQ(ConvertTheoraFrame(s, 1, 1), 0);
    // Past the last frame the player starts over: the thread rewinds the file.
    for (int f = 0; f < 3 && f < c.options.frames; ++f) {
      TheoraAdvance(s, 1);
      EXPECT_EQ(GetTheoraCurrentFrame(s), (c.options.frames + f) % c.options.frames);
      ASSERT_EQ(Shown(s), ref.frames[GetTheoraCurrentFrame(s)]) << "after the loop, " << f;
    }
    // The index: one byte a frame, matching the stream's key frames.
    for (int f = 0; f < c.options.frames; ++f) EXPECT_EQ(s->keyFrames[f] == 1, ref.keyFrames[f]) << f;
    TheoraClose(s);
  }
}

TEST_F(TheoraPlayerTest, PicturesAreTheEncodedOnesTheRightWayUp) {
  // Independent of libtheora's reading of the picture offsets: each frame is
  // closest to the picture it was made from.
  const TheoraClipOptions o = Clip(50, 30, 6, 3, 0, 0, 6, 4);
  ByteStream stream;
  stream.bytes = MakeTheoraClip([&] {
    TheoraClipOptions q = o;
    q.quality = 63;
    return q;
  }());
  TheoraMovieState* s = OpenBytes(&stream);
  ASSERT_NE(s, nullptr);
  for (int f = 0; f < o.frames; ++f) {
    if (f > 0) TheoraAdvance(s, 1);
    const Picture shown = Shown(s);
    const double own = MeanDifference(shown, SourcePicture(o, f));
    EXPECT_LT(own, 6.0) << f;
    EXPECT_LT(own * 2, MeanDifference(shown, SourcePicture(o, (f + 1) % o.frames))) << f;
  }
  TheoraClose(s);
}

TEST_F(TheoraPlayerTest, SeeksShowTheExactFrameAndStopAtTheLast) {
  for (int fill : {0, 300}) {
    SCOPED_TRACE(fill);
    ByteStream stream;
    stream.bytes = MakeTheoraClip(Clip(64, 48, 40, 9, fill));
    const ReferenceDecode ref = DecodeWithLibtheora(stream.bytes);
    // Small pages split packets, so seeks land on pages that continue one.
    int continued = 0;
    for (const PageSpan& p : ListPages(stream.bytes)) continued += stream.bytes[p.offset + 5] & 1;
    EXPECT_EQ(continued > 10, fill != 0) << continued;
    TheoraMovieState* s = OpenBytes(&stream);
    ASSERT_NE(s, nullptr);
    // Between key frames, backwards and forwards, on key frames, the ends.
    struct Seek {
      int to, shown;
    } seeks[] = {{13, 13}, {2, 2}, {27, 27}, {26, 26}, {9, 9}, {8, 8}, {39, 39}, {0, 0},
                 {40, 39}, {1000, 39}, {-5, 0}, {35, 35}, {36, 36}};
    for (const Seek& k : seeks) {
      TheoraSeekFrame(s, k.to);
      EXPECT_EQ(GetTheoraCurrentFrame(s), k.shown) << k.to;
      ASSERT_EQ(ConvertTheoraFrame(s, 1, 0), 1) << k.to;
      ASSERT_EQ(PictureOf(*GetTheoraRgbImage(s)), ref.frames[k.shown]) << "seek to " << k.to;
    }
    // A seek past the end leaves a thread that goes on decoding.
    TheoraSeekFrame(s, 500);
    EXPECT_EQ(Shown(s), ref.frames[39]);
    TheoraAdvance(s, 1);
    EXPECT_EQ(Shown(s), ref.frames[0]);
    EXPECT_EQ(TheoraFrameLost(s), 0);
    TheoraClose(s);
  }
}

TEST_F(TheoraPlayerTest, JumpsPastTheRingAndAcrossTheEnd) {
  ByteStream stream;
  stream.bytes = MakeTheoraClip(Clip(48, 32, 24, 8));
  const ReferenceDecode ref = DecodeWithLibtheora(stream.bytes);
  TheoraMovieState* s = OpenBytes(&stream);
  ASSERT_NE(s, nullptr);
  // Let the ring fill with frames 14 to 23, then move beyond all of them in
  // one step, to frame 5 after the end.
  TheoraSeekFrame(s, 14);
  EXPECT_EQ(Shown(s), ref.frames[14]);
  ASSERT_TRUE(WaitForThreadState(s, TheoraThreadIdle));
  TheoraAdvance(s, 15);
  EXPECT_EQ(GetTheoraCurrentFrame(s), 5);
  EXPECT_EQ(Shown(s), ref.frames[5]);
  // Forward past the ring without wrapping, and a whole lap.
  TheoraAdvance(s, 12);
  EXPECT_EQ(Shown(s), ref.frames[17]);
  TheoraAdvance(s, 24);
  EXPECT_EQ(Shown(s), ref.frames[17]);
  TheoraAdvance(s, 0);
  EXPECT_EQ(GetTheoraCurrentFrame(s), 17);
  TheoraClose(s);

  // Random steps, some waiting for the thread and some not, with rings
  // smaller and larger than the movie.
  std::mt19937 random(3);
  for (int ring : {3, 30}) {
    SCOPED_TRACE(ring);
    stream.position = 0;
    s = OpenBytes(&stream, ring);
    ASSERT_NE(s, nullptr);
    for (int i = 0; i < 150; ++i) {
      const int step = static_cast<int>(random() % 4 == 0 ? random() % 40 : random() % 3);
      TheoraAdvance(s, step);
      if (random() % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(random() % 500));
      ASSERT_EQ(Shown(s), ref.frames[GetTheoraCurrentFrame(s)]) << i;
    }
    TheoraClose(s);
  }
}

TEST_F(TheoraPlayerTest, ClosingWhileTheThreadDecodesWaitsForIt) {
  ByteStream stream;
  stream.bytes = MakeTheoraClip(Clip(160, 120, 90, 30));
  for (int round = 0; round < 4; ++round) {
    stream.closed = false;
    stream.position = 0;
    TheoraMovieState* s = OpenBytes(&stream);
    ASSERT_NE(s, nullptr);
    // Round 0 closes while the ring fills; the others in the middle of a
    // long seek, or right after a jump.
    if (round == 1) TheoraSeekFrame(s, 89);
    if (round == 2) TheoraAdvance(s, 60);
    if (round == 3) {
      TheoraSeekFrame(s, 50);
      TheoraAdvance(s, 30);
    }
    TheoraClose(s);
    // The caller closes the stream only now; the thread is gone.
    ByteStreamInterface()->Close(reinterpret_cast<uintptr_t>(&stream));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(stream.readsAfterClose.load(), 0);
  }
}

TEST_F(TheoraPlayerTest, AStreamThatBreaksWhilePlayingEndsWithoutHanging) {
  ByteStream stream;
  stream.bytes = MakeTheoraClip(Clip(64, 48, 40, 10));
  TheoraMovieState* s = OpenBytes(&stream);
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(WaitForThreadState(s, TheoraThreadIdle));
  stream.cut = true;
  // Frames still in the ring show; one the file must give does not.
  TheoraAdvance(s, 3);
  EXPECT_EQ(ConvertTheoraFrame(s, 1, 0), 1);
  EXPECT_EQ(TheoraFrameLost(s), 0);
  TheoraSeekFrame(s, 30);
  EXPECT_EQ(ConvertTheoraFrame(s, 1, 0), 0);
  EXPECT_EQ(TheoraFrameLost(s), 1);
  TheoraAdvance(s, 1);
  EXPECT_EQ(ConvertTheoraFrame(s, 1, 0), 0);
  EXPECT_EQ(TheoraFrameLost(s), 1);
  TheoraClose(s);
}

// A clip of one stream laid out again one packet a page, with one frame's
// packet replaced.
Bytes WithFramePacket(const Bytes& clip, int frame, const Bytes& replacement) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(clip.size()));
  std::memcpy(buffer, clip.data(), clip.size());
  ogg_sync_wrote(&sync, static_cast<long>(clip.size()));
  ogg_stream_state in, out;
  bool ready = false;
  int packets = 0;
  Bytes result;
  ogg_page page;
  while (ogg_sync_pageout(&sync, &page) > 0) {
    if (!ready) {
      ogg_stream_init(&in, ogg_page_serialno(&page));
      ogg_stream_init(&out, ogg_page_serialno(&page));
      ready = true;
    }
    ogg_stream_pagein(&in, &page);
    ogg_packet packet;
    while (ogg_stream_packetout(&in, &packet) > 0) {
      if (packets++ == 3 + frame) {  // after the three headers
        packet.packet = const_cast<unsigned char*>(replacement.data());
        packet.bytes = static_cast<long>(replacement.size());
      }
      ogg_stream_packetin(&out, &packet);
      ogg_page written;
      while (ogg_stream_flush(&out, &written) != 0) {
        result.insert(result.end(), written.header, written.header + written.header_len);
        result.insert(result.end(), written.body, written.body + written.body_len);
      }
    }
  }
  if (ready) {
    ogg_stream_clear(&in);
    ogg_stream_clear(&out);
  }
  ogg_sync_clear(&sync);
  return result;
}

TEST_F(TheoraPlayerTest, AFrameTheDecoderDoesNotGiveIsNeverCopied) {
  const Bytes clip = MakeTheoraClip(Clip(48, 32, 12, 6));
  const ReferenceDecode ref = DecodeWithLibtheora(clip);
  // The first frame's packet empty (the frame before repeated, before any was
  // decoded): the decoder takes it but has no picture to give.
  {
    ByteStream stream;
    stream.bytes = WithFramePacket(clip, 0, Bytes());
    TheoraMovieState* s = OpenBytes(&stream);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(TheoraFrameLost(s), 1);
    s->rgbUpToDate = 0;
    EXPECT_EQ(ConvertTheoraFrame(s, 1, 0), 0);
    // A seek to the next key frame shows it again.
    TheoraSeekFrame(s, 6);
    EXPECT_EQ(Shown(s), ref.frames[6]);
    EXPECT_EQ(TheoraFrameLost(s), 0);
    TheoraClose(s);
  }
}

// An empty packet repeats the frame before.
TEST_F(TheoraPlayerTest, ARepeatedFrameShowsTheFrameBefore) {
  ByteStream stream;
  stream.bytes = WithFramePacket(MakeTheoraClip(Clip(320, 240, 8, 8)), 4, Bytes());
  const ReferenceDecode ref = DecodeWithLibtheora(stream.bytes);
  ASSERT_EQ(ref.frames.size(), 8u);
  ASSERT_EQ(ref.frames[4], ref.frames[3]);
  TheoraMovieState* s = OpenBytes(&stream);
  ASSERT_NE(s, nullptr);
  GraphImage* image = GetTheoraRgbImage(s);
  for (int f = 1; f < 8; ++f) {
    TheoraAdvance(s, 1);
    // (The picture before is wiped, so that only the slot's can show.)
    std::memset(image->pixels, 0, static_cast<size_t>(image->pitch) * image->height);
    ASSERT_EQ(ConvertTheoraFrame(s, 1, 0), 1) << f;
    ASSERT_EQ(PictureOf(*image), ref.frames[f]) << "frame " << f;
  }
  TheoraClose(s);
}

TEST_F(TheoraPlayerTest, FilesThatAreNoOggTheoraAreRefusedQuietly) {
  TheoraClipOptions audioOnly = Clip(48, 32, 4, 2, 0, 22050);
  Bytes vorbis;
  {
    // The Vorbis stream of a clip with sound, without the Theora pages.
    const Bytes both = MakeTheoraClip(audioOnly);
    const Bytes video = MakeTheoraClip(Clip(48, 32, 4, 2));
    uint32_t videoSerial = 0;
    std::memcpy(&videoSerial, &video[14], 4);
    for (const PageSpan& p : ListPages(both)) {
      uint32_t serial = 0;
      std::memcpy(&serial, &both[p.offset + 14], 4);
      if (serial != videoSerial) vorbis.insert(vorbis.end(), both.begin() + p.offset, both.begin() + p.offset + p.length);
    }
  }
  const std::string before = Log();
  for (const Bytes& bytes : {Bytes{'B', 'M', 0, 0, 0, 0}, Bytes{}, Bytes{'O', 'g', 'g'}}) {
    ByteStream stream;
    stream.bytes = bytes;
    EXPECT_EQ(OpenBytes(&stream), nullptr);
  }
  EXPECT_EQ(Log(), before);  // no line for a file that is no Ogg file
  ByteStream stream;
  stream.bytes = vorbis;
  EXPECT_EQ(OpenBytes(&stream), nullptr);
  EXPECT_NE(Log().find("End of file while searching for codec headers."), std::string::npos);
}

// Truncated and damaged clips: each is refused, or plays (whatever its
// pictures) and closes; never a crash, a hang or a read out of bounds.
TEST_F(TheoraPlayerTest, TruncatedAndDamagedClips) {
  const Bytes clip = MakeTheoraClip(Clip(48, 32, 30, 5, 150, 11025));
  const std::vector<PageSpan> pages = ListPages(clip);
  ASSERT_GT(pages.size(), 12u);
  // The header pages are those of granule position 0.
  size_t firstData = 0;
  while (firstData < pages.size() && PageGranule(clip, pages[firstData]) == 0) ++firstData;
  ASSERT_LT(firstData + 8, pages.size());
  const size_t headersEnd = pages[firstData].offset;

  struct Damaged {
    std::string name;
    Bytes bytes;
    bool opens;
  };
  std::vector<Damaged> cases;
  auto cut = [&](const std::string& name, size_t size, bool opens) {
    cases.push_back({name, Bytes(clip.begin(), clip.begin() + std::min(size, clip.size())), opens});
  };
  cut("magic only", 4, false);
  cut("inside the first page", 40, false);
  cut("after the first page", pages[0].length, false);
  cut("inside the headers", headersEnd - 100, false);
  cut("headers and no frame", headersEnd, false);
  cut("half the frames", clip.size() / 2, true);
  cut("the last byte missing", clip.size() - 1, true);

  std::mt19937 random(7);
  for (int i = 0; i < 6; ++i) {
    // Bytes changed inside data pages: the pages fail their checksum and are skipped.
    Bytes b = clip;
    for (int k = 0; k < 4; ++k) b[headersEnd + random() % (b.size() - headersEnd)] ^= 0x5A;
    cases.push_back({"flipped bytes " + std::to_string(i), b, true});
  }
  for (int i = 0; i < 8; ++i) {
    // Packet bytes changed under a valid checksum: the decoder gets them.
    Bytes b = clip;
    for (size_t p = firstData; p < pages.size(); ++p) {
      const PageSpan& span = pages[p];
      if (span.length == span.headerLength) continue;
      for (int k = 0; k < 3; ++k) b[span.offset + span.headerLength + random() % (span.length - span.headerLength)] = static_cast<uint8_t>(random());
      FixPageChecksum(&b, span);
    }
    cases.push_back({"garbled packets " + std::to_string(i), b, true});
  }
  {
    // A page dropped from the middle, and the pages in another order.
    Bytes b(clip.begin(), clip.begin() + pages[firstData + 4].offset);
    b.insert(b.end(), clip.begin() + pages[firstData + 5].offset, clip.end());
    cases.push_back({"a page missing", b, true});
    Bytes shuffled(clip.begin(), clip.begin() + headersEnd);
    for (size_t p = pages.size(); p-- > firstData;)
      shuffled.insert(shuffled.end(), clip.begin() + pages[p].offset, clip.begin() + pages[p].offset + pages[p].length);
    cases.push_back({"data pages backwards", shuffled, true});
  }
  {
    // The identification header asking for a huge frame, and for a frame rate of 0.
    Bytes huge = clip, still = clip;
    const size_t body = pages[0].offset + pages[0].headerLength;
    huge[body + 10] = 0xFF, huge[body + 11] = 0xF0;  // frame width in macroblocks
    FixPageChecksum(&huge, pages[0]);
    cases.push_back({"huge frame", huge, false});
    std::memset(&still[body + 22], 0, 4);  // frame-rate numerator
    FixPageChecksum(&still, pages[0]);
    cases.push_back({"no frame rate", still, false});
  }

  for (Damaged& c : cases) {
    SCOPED_TRACE(c.name);
    ByteStream stream;
    stream.bytes = c.bytes;
    TheoraMovieState* s = OpenBytes(&stream, 4);
    if (c.opens) {
      ASSERT_NE(s, nullptr);
    } else {
      EXPECT_EQ(s, nullptr);
    }
    if (s == nullptr) continue;
    TheoraMovieInfo info;
    GetTheoraInfo(s, &info);
    EXPECT_GE(info.totalFrames, 1);
    for (int64_t f = 0; f < info.totalFrames + 2; ++f) {
      TheoraAdvance(s, 1);
      ConvertTheoraFrame(s, 1, 0);
    }
    for (int k = 0; k < 4; ++k) {
      TheoraSeekFrame(s, static_cast<int32_t>(random() % (info.totalFrames + 3)));
      ConvertTheoraFrame(s, 1, 0);
    }
    TheoraClose(s);
  }
}

TEST_F(TheoraPlayerTest, YuvSurfaceFormatsPackTheSlot) {
  // A 4 x 4 picture at (2, 2) of an 8 x 6 frame.
  TheoraFrameSlot slot{};
  uint8_t luma[48], cb[12], cr[12];
  for (int i = 0; i < 48; ++i) luma[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 12; ++i) cb[i] = static_cast<uint8_t>(100 + i), cr[i] = static_cast<uint8_t>(200 + i);
  slot.luma = luma, slot.cb = cb, slot.cr = cr;
  slot.lumaWidth = slot.lumaStride = 8, slot.lumaHeight = 6;
  slot.chromaWidth = slot.chromaStride = 4, slot.chromaHeight = 3;
  uint8_t out[64] = {};
  ASSERT_TRUE(PackTheoraFrameYuv(slot, 2, 2, 4, 4, FourCCYV12, out, 8));
  EXPECT_EQ((std::vector<uint8_t>(out, out + 4)), (std::vector<uint8_t>{18, 19, 20, 21}));
  EXPECT_EQ((std::vector<uint8_t>(out + 24, out + 28)), (std::vector<uint8_t>{42, 43, 44, 45}));
  // Cr rows, then Cb rows, at half the pitch.
  EXPECT_EQ((std::vector<uint8_t>(out + 32, out + 34)), (std::vector<uint8_t>{205, 206}));
  EXPECT_EQ((std::vector<uint8_t>(out + 36, out + 38)), (std::vector<uint8_t>{209, 210}));
  EXPECT_EQ((std::vector<uint8_t>(out + 40, out + 42)), (std::vector<uint8_t>{105, 106}));
  ASSERT_TRUE(PackTheoraFrameYuv(slot, 2, 2, 4, 4, FourCCYUY2, out, 8));
  EXPECT_EQ((std::vector<uint8_t>(out, out + 8)), (std::vector<uint8_t>{18, 105, 19, 205, 20, 106, 21, 206}));
  EXPECT_EQ((std::vector<uint8_t>(out + 8, out + 12)), (std::vector<uint8_t>{26, 105, 27, 205}));
  ASSERT_TRUE(PackTheoraFrameYuv(slot, 2, 2, 4, 4, FourCCUYVY, out, 8));
  EXPECT_EQ((std::vector<uint8_t>(out + 16, out + 20)), (std::vector<uint8_t>{109, 34, 209, 35}));
  // Only 4:2:0 pictures inside the planes, in the three formats.
  EXPECT_FALSE(PackTheoraFrameYuv(slot, 2, 2, 4, 4, MakeFourCC('N', 'V', '1', '2'), out, 8));
  EXPECT_FALSE(PackTheoraFrameYuv(slot, 6, 2, 4, 4, FourCCYV12, out, 8));
  slot.chromaWidth = 8;
  EXPECT_FALSE(PackTheoraFrameYuv(slot, 2, 2, 4, 4, FourCCYUY2, out, 8));
}

}  // namespace
