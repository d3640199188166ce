// Movie handles over the Theora player with graphics on the software path:
// opening and closing, frame timing by the clock, the end of a movie and the
// loop, pause and resume (by hand and by deactivation), movie graphs drawn
// from disk and from archives at both depths, deletion while the thread
// decodes, and a file that breaks while it plays.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <set>

#include "library/core/system_report.h"
#include "library/core/timer.h"
#include "library/graphics/draw_api.h"
#include "library/movie/movie_handle.h"
#include "library/sound/sound_handle.h"
#include "tests/graphics/graphics_fixture.h"
#include "tests/movie/movie_fixture.h"

namespace {

using namespace movietest;

TheoraClipOptions Clip24() {
  TheoraClipOptions o;
  o.width = 48;
  o.height = 32;
  o.frames = 24;
  o.keyFrameInterval = 8;
  o.fpsNumerator = 30;
  return o;
}

class MovieHandleTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    BuildYuvToRgbTables();
    threads_ = PlatformLiveThreadCount();
    clip_ = MakeTheoraClip(Clip24());
    ref_ = DecodeWithLibtheora(clip_);
    ASSERT_EQ(ref_.frames.size(), 24u);
    WriteFileBytes("clip.ogv", clip_);
  }
  void TearDown() override {
    EXPECT_EQ(MovieHandleTable.count, 0u);
    GraphicsTest::TearDown();
    EXPECT_EQ(PlatformLiveThreadCount(), threads_);
  }

  // Moves the virtual clock to `at` microseconds after `from`.
  static void ClockTo(int64_t from, int64_t at) {
    const int64_t now = GetMicrosecondCount(0);
    ASSERT_LE(now, from + at);
    PlatformAdvanceVirtualClock(static_cast<uint64_t>(from + at - now));
  }
  // The middle of frame f at 30 frames a second.
  static int64_t FrameTime(double f) { return static_cast<int64_t>((f + 0.5) * 1000000.0 / 30.0); }

  // Plays a paused movie as activation does: the playing mark set, resumed.
  static int64_t Play(ObjectHandle movie) {
    GetMovieHandleData(movie)->playing = 1;
    ResumeMoviesAfterActivate();
    return GetMovieHandleData(movie)->startTime;
  }

  static void ExpectGraphShows(ObjectHandle graph, const Picture& picture) {
    const GraphRecord* record = GetGraphRecordChecked(graph);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->width, picture.width);
    ASSERT_EQ(record->height, picture.height);
    int failures = 0;
    for (int y = 0; y < picture.height && failures < 5; ++y) {
      for (int x = 0; x < picture.width && failures < 5; ++x) {
        const uint8_t* p = &picture.pixels[(static_cast<size_t>(y) * picture.width + x) * 4];
        const Rgba want = Quantised({p[2], p[1], p[0], 0}, record->image.buffer->depthKind);
        const Rgba got = MemImgColour(&record->image, x, y);
        if (!(got == want)) {
          ADD_FAILURE() << "graph pixel " << x << "," << y << " is " << got << ", expected " << want;
          ++failures;
        }
      }
    }
  }

  Bytes clip_;
  ReferenceDecode ref_;

 private:
  int threads_ = 0;
};

// What a frame callback saw.
struct Seen {
  std::vector<int32_t> frames;
  std::vector<Picture> pictures;
};
void RecordFrame(MovieHandleRecord* record, void* user) {
  auto* seen = static_cast<Seen*>(user);
  ConvertTheoraFrame(record->player, 1, 0);
  seen->frames.push_back(GetTheoraCurrentFrame(record->player));
  seen->pictures.push_back(PictureOf(*record->currentFrameImage));
}

TEST_F(MovieHandleTest, OpensPausedOnTheFirstFrameAndCloses) {
  StartGraphics(32);
  int32_t w = 0, h = 0;
  const ObjectHandle movie = OpenMovie("clip.ogv", &w, &h, 7);
  ASSERT_NE(movie, -1);
  EXPECT_EQ(movie & HandleKindBits, HandleKindMovie);
  EXPECT_EQ(w, 48);
  EXPECT_EQ(h, 32);
  MovieHandleRecord* record = GetMovieHandleData(movie);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->theora, 1);
  EXPECT_EQ(record->paused, 1);
  EXPECT_EQ(record->playing, 0);
  EXPECT_EQ(record->playType, 1);
  EXPECT_EQ(record->audio, -1);
  EXPECT_EQ(record->currentFrameImage, GetTheoraRgbImage(record->player));
  EXPECT_EQ(PictureOf(*record->currentFrameImage), ref_.frames[0]);
  EXPECT_EQ(OpenMovie("clip.ogv", nullptr, nullptr, 0) & HandleSlotBits, 1);

  // A paused movie refreshes to the frame it holds; activation leaves it
  // alone while its playing mark is clear.
  Seen seen;
  EXPECT_EQ(SetMovieFrameCallback(movie, RecordFrame, &seen), 0);
  ResumeMoviesAfterActivate();
  PlatformAdvanceVirtualClock(2000000);
  EXPECT_EQ(RefreshMovieFrame(movie), 0);
  EXPECT_EQ(seen.frames, std::vector<int32_t>{0});
  EXPECT_EQ(record->frameShown, 1);

  // Slots: the first free one is taken again, with a new check number.
  EXPECT_EQ(CloseMovieHandle(movie), 0);
  EXPECT_EQ(CloseMovieHandle(movie), -1);
  EXPECT_EQ(GetMovieHandleData(movie), nullptr);
  EXPECT_EQ(RefreshMovieFrame(movie), -1);
  EXPECT_EQ(PauseMovieHandle(movie, 0), -1);
  EXPECT_EQ(SetMovieFrameCallback(movie, RecordFrame, &seen), -1);
  EXPECT_EQ(CloseMovieHandle(-1), -1);
  const ObjectHandle again = OpenMovie("clip.ogv", nullptr, nullptr, 0);
  EXPECT_EQ(again & HandleSlotBits, 0);
  EXPECT_NE(again, movie);
  EXPECT_EQ(MovieHandleTable.count, 2u);
  CloseMovieHandle(again);
  CloseMovieHandle(MovieHandleTable.HandleAt(1));

  // Anything else goes to DirectShow, which plays nothing yet.
  WriteFileBytes("notes.txt", {'n', 'o'});
  EXPECT_EQ(OpenMovie("notes.txt", &w, &h, 0), -1);
  EXPECT_EQ(OpenMovie("missing.ogv", &w, &h, 0), -1);
  EXPECT_NE(Log().find("ムービーファイルオープン処理時にエラーが発生しました"), std::string::npos);
  StopGraphics();
}

TEST_F(MovieHandleTest, FramesFollowTheClockAndTheMovieStopsOnItsLast) {
  StartGraphics(32);
  const ObjectHandle movie = OpenMovie("clip.ogv", nullptr, nullptr, 0);
  ASSERT_NE(movie, -1);
  Seen seen;
  SetMovieFrameCallback(movie, RecordFrame, &seen);
  const int64_t start = Play(movie);
  MovieHandleRecord* record = GetMovieHandleData(movie);
  EXPECT_EQ(record->paused, 0);
  // Frames skipped by a slow caller are skipped, not shown late. The
  // position is the time at which the frame last changed.
  int32_t previous = 0;
  for (double f : {0.0, 1.0, 2.0, 2.2, 7.0, 8.0, 16.0, 22.0}) {
    ClockTo(start, FrameTime(f));
    RefreshMovieFrame(movie);
    const int32_t want = static_cast<int32_t>(f);
    ASSERT_EQ(seen.frames.back(), want);
    EXPECT_EQ(seen.pictures.back(), ref_.frames[want]) << f;
    if (want != previous) {
      EXPECT_NEAR(record->position, FrameTime(f) / 1000, 1) << f;
    }
    previous = want;
  }
  EXPECT_EQ(record->paused, 0);
  // Reaching the last frame ends the movie there.
  ClockTo(start, FrameTime(30));
  RefreshMovieFrame(movie);
  EXPECT_EQ(seen.frames.back(), 23);
  EXPECT_EQ(seen.pictures.back(), ref_.frames[23]);
  EXPECT_EQ(record->paused, 1);
  EXPECT_EQ(record->playing, 0);
  PlatformAdvanceVirtualClock(1000000);
  RefreshMovieFrame(movie);
  EXPECT_EQ(seen.frames.back(), 23);
  CloseMovieHandle(movie);

  // With the loop bit the movie wraps to its first frames and plays on.
  const ObjectHandle loop = OpenMovie("clip.ogv", nullptr, nullptr, 0);
  Seen looped;
  SetMovieFrameCallback(loop, RecordFrame, &looped);
  GetMovieHandleData(loop)->playType = 3;
  const int64_t loopStart = Play(loop);
  for (double f : {20.0, 23.0, 24.0, 29.0, 47.0, 50.0}) {
    ClockTo(loopStart, FrameTime(f));
    RefreshMovieFrame(loop);
    const int32_t want = static_cast<int32_t>(f) % 24;
    ASSERT_EQ(looped.frames.back(), want) << f;
    EXPECT_EQ(looped.pictures.back(), ref_.frames[want]) << f;
  }
  EXPECT_EQ(GetMovieHandleData(loop)->paused, 0);
  CloseMovieHandle(loop);
  StopGraphics();
}

// The sound module on the manual device: its output advances only as the
// test mixes it, 10 ms a tick, refilling the stream sounds every third tick
// as the pump would.
struct ManualSound {
  int ticks = 0;
  ManualSound() {
    PlatformSoundUseManualClock(true);
    ProcessorCount = 1;
    EXPECT_EQ(InitSoundSystem(), 0);
  }
  ~ManualSound() {
    EndSoundSystem();
    PlatformSoundUseManualClock(false);
  }
  void Tick() {
    std::vector<int16_t> out(441 * 2);
    if (ticks++ % 3 == 0) UpdateStreamSounds();
    PlatformSoundRender(out.data(), 441);
  }
};

TEST_F(MovieHandleTest, FramesFollowTheSoundTrackWhileItPlays) {
  TheoraClipOptions o = Clip24();
  o.frames = 60;
  o.audioRate = 22050;
  WriteFileBytes("talk.ogv", MakeTheoraClip(o));
  const ReferenceDecode ref = DecodeWithLibtheora(ReadFileBytes("talk.ogv"));
  StartGraphics(32);
  {
    ManualSound sound;
    // Loading the sound track leaves the sound module's settings as they were.
    SetSoundLoadType(2);
    const ObjectHandle movie = OpenMovie("talk.ogv", nullptr, nullptr, 0);
    ASSERT_NE(movie, -1);
    EXPECT_EQ(GetSoundLoadType(), 2);
    EXPECT_EQ(GetSoundDecoderSkipMask(), 0u);
    EXPECT_EQ(SoundMovieSwitch, 0);
    SetSoundLoadType(0);
    MovieHandleRecord* record = GetMovieHandleData(movie);
    const ObjectHandle audio = record->audio;
    ASSERT_NE(audio, -1);
    EXPECT_EQ(FindSoundRecord(audio)->streamFlag, 1u);
    EXPECT_EQ(GetSoundTotalTime(audio), 2000);
    EXPECT_EQ(CheckSoundHandle(audio), 0);
    Seen seen;
    SetMovieFrameCallback(movie, RecordFrame, &seen);
    Play(movie);
    EXPECT_EQ(CheckSoundHandle(audio), 1);
    // The game's frames: 10 ms of sound each, while the clock runs half as
    // fast again. The frame is the sound's.
    auto frame = [&](int64_t clockStep) {
      sound.Tick();
      PlatformAdvanceVirtualClock(static_cast<uint64_t>(clockStep));
      RefreshMovieFrame(movie);
    };
    for (int i = 0; i < 70; ++i) {
      frame(15000);
      const int32_t want = GetSoundCurrentTime(audio) * 30 / 1000;
      ASSERT_EQ(seen.frames.back(), want) << i;
      ASSERT_EQ(seen.pictures.back(), ref.frames[want]) << i;
    }
    EXPECT_NEAR(GetSoundCurrentTime(audio), 700, 20);
    // Paused, the sound stops and the frame with it; played again, both go on.
    EXPECT_EQ(PauseMovieHandle(movie, 0), 0);
    EXPECT_EQ(CheckSoundHandle(audio), 0);
    const int32_t held = seen.frames.back();
    for (int i = 0; i < 30; ++i) frame(15000);
    EXPECT_EQ(seen.frames.back(), held);
    EXPECT_NEAR(GetSoundCurrentTime(audio), 700, 20);
    Play(movie);
    for (int i = 0; i < 20; ++i) frame(15000);
    EXPECT_EQ(seen.frames.back(), GetSoundCurrentTime(audio) * 30 / 1000);
    EXPECT_GT(seen.frames.back(), held + 4);
    // Once the sound has played out (its position back at its start), the
    // clock carries the movie on to its last frame, where it ends.
    for (int i = 0; i < 200 && record->playing; ++i) frame(10000);
    EXPECT_EQ(CheckSoundHandle(audio), 0);
    EXPECT_EQ(seen.frames.back(), 59);
    EXPECT_EQ(seen.pictures.back(), ref.frames[59]);
    EXPECT_EQ(record->paused, 1);
    EXPECT_EQ(record->playing, 0);
    // Closing the movie deletes its sound.
    EXPECT_EQ(CloseMovieHandle(movie), 0);
    EXPECT_EQ(FindSoundRecord(audio), nullptr);
  }
  StopGraphics();
}

// The clip's pages in another layout: the sound stream's pages before the
// video's (its beginning page first, then every other page of the sound,
// then the video's), as a muxer that writes the sound ahead may lay them
// out. Without sound data, the sound's data pages are kept but every byte of
// their packets says "no audio packet": the track opens, as long as it is,
// and gives no samples.
Bytes Relaid(const Bytes& clip, bool soundData) {
  const std::vector<PageSpan> pages = ListPages(clip);
  uint32_t videoSerial = 0;
  std::memcpy(&videoSerial, &clip[pages[0].offset + 14], 4);  // the clip begins with the video
  Bytes soundBegin, videoBegin, sound, video;
  for (const PageSpan& p : pages) {
    uint32_t serial = 0;
    std::memcpy(&serial, &clip[p.offset + 14], 4);
    const bool begins = (clip[p.offset + 5] & 2) != 0;
    Bytes& to = serial == videoSerial ? (begins ? videoBegin : video) : (begins ? soundBegin : sound);
    const size_t at = to.size();
    to.insert(to.end(), clip.begin() + static_cast<std::ptrdiff_t>(p.offset),
              clip.begin() + static_cast<std::ptrdiff_t>(p.offset + p.length));
    if (serial != videoSerial && !soundData && PageGranule(clip, p) > 0) {
      std::memset(&to[at + p.headerLength], 0xFF, p.length - p.headerLength);
      FixPageChecksum(&to, {at, p.length, p.headerLength});
    }
  }
  Bytes out = soundBegin;
  for (const Bytes* part : {&videoBegin, &sound, &video}) out.insert(out.end(), part->begin(), part->end());
  return out;
}

TEST_F(MovieHandleTest, AMovieWhoseSoundComesFirstOrGivesNothingPlaysAndEnds) {
  TheoraClipOptions o = Clip24();
  o.frames = 30;
  o.audioRate = 22050;
  const Bytes clip = MakeTheoraClip(o);
  for (bool soundData : {true, false}) {
    SCOPED_TRACE(soundData ? "sound pages first" : "sound without data");
    WriteFileBytes("first.ogv", Relaid(clip, soundData));
    const ReferenceDecode ref = DecodeWithLibtheora(ReadFileBytes("first.ogv"));
    ASSERT_EQ(ref.frames.size(), 30u);
    StartGraphics(32);
    {
      ManualSound sound;
      const ObjectHandle movie = OpenMovie("first.ogv", nullptr, nullptr, 0);
      ASSERT_NE(movie, -1);
      MovieHandleRecord* record = GetMovieHandleData(movie);
      const ObjectHandle audio = record->audio;
      ASSERT_NE(audio, -1);
      if (soundData) {
        EXPECT_EQ(GetSoundTotalTime(audio), 1000);
      }
      Seen seen;
      SetMovieFrameCallback(movie, RecordFrame, &seen);
      Play(movie);
      int32_t heard = 0;
      for (int i = 0; i < 300 && record->playing; ++i) {
        sound.Tick();
        PlatformAdvanceVirtualClock(10000);
        RefreshMovieFrame(movie);
        if (CheckSoundHandle(audio) == 1) heard = std::max(heard, GetSoundCurrentTime(audio));
        ASSERT_EQ(seen.pictures.back(), ref.frames[seen.frames.back()]) << i;
      }
      // The sound played through (when it has samples), the frames followed,
      // and the movie ended on its last frame.
      if (soundData) {
        EXPECT_GE(heard, 900);
      }
      EXPECT_EQ(seen.frames.back(), 29);
      EXPECT_EQ(record->playing, 0);
      EXPECT_EQ(record->paused, 1);
      EXPECT_EQ(CheckSoundHandle(audio), 0);
      EXPECT_EQ(CloseMovieHandle(movie), 0);
    }
    StopGraphics();
  }
}

TEST_F(MovieHandleTest, PauseAndResumeByHandAndByDeactivation) {
  StartGraphics(32);
  const ObjectHandle movie = OpenMovie("clip.ogv", nullptr, nullptr, 0);
  Seen seen;
  SetMovieFrameCallback(movie, RecordFrame, &seen);
  MovieHandleRecord* record = GetMovieHandleData(movie);
  int64_t start = Play(movie);
  ClockTo(start, FrameTime(5));
  // A pause by hand shows the frame of its time and clears the playing mark.
  ClockTo(start, FrameTime(6));
  EXPECT_EQ(PauseMovieHandle(movie, 0), 0);
  EXPECT_EQ(seen.frames.back(), 6);
  EXPECT_EQ(record->paused, 1);
  EXPECT_EQ(record->playing, 0);
  EXPECT_EQ(PauseMovieHandle(movie, 0), 0);
  PlatformAdvanceVirtualClock(3000000);
  ResumeMoviesAfterActivate();
  RefreshMovieFrame(movie);
  EXPECT_EQ(seen.frames.back(), 6);
  EXPECT_EQ(record->paused, 1);

  // Played again, it goes on from its frame.
  start = Play(movie);
  ClockTo(start, FrameTime(8));
  RefreshMovieFrame(movie);
  EXPECT_EQ(seen.frames.back(), 8);
  // Deactivation pauses and keeps the mark; activation plays on from there.
  PauseMoviesOnDeactivate();
  EXPECT_EQ(record->paused, 1);
  EXPECT_EQ(record->playing, 1);
  PlatformAdvanceVirtualClock(5000000);
  RefreshMovieFrame(movie);
  EXPECT_EQ(seen.frames.back(), 8);
  ResumeMoviesAfterActivate();
  EXPECT_EQ(record->paused, 0);
  start = GetMovieHandleData(movie)->startTime;
  ClockTo(start, FrameTime(11));
  RefreshMovieFrame(movie);
  EXPECT_EQ(seen.frames.back(), 11);
  EXPECT_EQ(seen.pictures.back(), ref_.frames[11]);
  CloseMovieHandle(movie);
  StopGraphics();
}

TEST_F(MovieHandleTest, MovieGraphsShowTheFramesAtBothDepths) {
  ArchiveWriteOptions stored;
  stored.packing = ArchivePacking::Store;
  ArchiveWriteOptions packed;
  packed.packing = ArchivePacking::Always;
  WriteFileBytes("films.dat", BuildImage(FolderNode("", {FileNode("Clip.ogv", clip_)}), stored));
  WriteFileBytes("packed.dat", BuildImage(FolderNode("", {FileNode("clip.ogv", clip_)}), packed));
  for (int bits : {32, 16}) {
    for (const char* name : {"clip.ogv", "films\\clip.ogv", "packed\\clip.ogv"}) {
      SCOPED_TRACE(std::string(name) + " at " + std::to_string(bits));
      StartGraphics(bits);
      const ObjectHandle graph = LoadGraphFile(name, 0);
      ASSERT_NE(graph, -1);
      GraphRecord* record = GetGraphRecordChecked(graph);
      const ObjectHandle movie = record->movie;
      ASSERT_NE(GetMovieHandleData(movie), nullptr);
      EXPECT_EQ(record->image.buffer->depthKind, bits == 16 ? MemImgDepth16 : MemImgDepth32);
      // The creation settings are back as they were.
      EXPECT_EQ(GetMovieGraphFlag(), 0);
      EXPECT_EQ(GetDrawableGraphFlag(), 0);
      EXPECT_EQ(GetGraphTransColorFlag(), 1);
      EXPECT_EQ(GetGraphKeepFlag(), 0);
      // A movie that has not played yet shows its first frame when drawn.
      EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), 0);
      ExpectGraphShows(graph, ref_.frames[0]);
      const int64_t start = Play(movie);
      for (double f : {4.0, 13.0}) {
        ClockTo(start, FrameTime(f));
        DrawGraphAt(0, 0, graph, 0);
        ExpectGraphShows(graph, ref_.frames[static_cast<int>(f)]);
      }
      // Deleting the graph closes its movie.
      EXPECT_EQ(FreeGraph(graph), 0);
      EXPECT_EQ(GetMovieHandleData(movie), nullptr);
      StopGraphics();
    }
  }
}

// The file table with a watch on reads of files already closed.
struct ClosedFileWatch {
  static inline FileFunctionTable inner{};
  static inline std::mutex lock;
  static inline std::set<FileId> closed;
  static inline int readsAfterClose = 0;
  static void Install() {
    inner = ActiveFileFunctions;
    closed.clear();
    readsAfterClose = 0;
    ActiveFileFunctions.Open = [](const char* path, int32_t useCache, int32_t reserved, int32_t async) {
      const FileId file = inner.Open(path, useCache, reserved, async);
      std::lock_guard<std::mutex> hold(lock);
      closed.erase(file);
      return file;
    };
    ActiveFileFunctions.Close = [](FileId file) {
      {
        std::lock_guard<std::mutex> hold(lock);
        closed.insert(file);
      }
      return inner.Close(file);
    };
    ActiveFileFunctions.Read = [](void* buffer, uint32_t size, uint32_t count, FileId file) {
      {
        std::lock_guard<std::mutex> hold(lock);
        if (closed.count(file) != 0) ++readsAfterClose;
      }
      return inner.Read(buffer, size, count, file);
    };
  }
};

TEST_F(MovieHandleTest, DeletingWhileTheThreadDecodesClosesTheFileAfterIt) {
  // One key frame: a seek to the end decodes the whole clip.
  TheoraClipOptions big = Clip24();
  big.width = 320;
  big.height = 240;
  big.frames = 60;
  big.keyFrameInterval = 64;
  WriteFileBytes("big.ogv", MakeTheoraClip(big));
  StartGraphics(32);
  ClosedFileWatch::Install();
  for (int round = 0; round < 6; ++round) {
    const ObjectHandle graph = LoadGraphFile("big.ogv", 0);
    ASSERT_NE(graph, -1);
    const ObjectHandle movie = GetGraphRecordChecked(graph)->movie;
    TheoraMovieState* player = GetMovieHandleData(movie)->player;
    // Round 0 deletes while the ring fills; 1 in the middle of a long seek;
    // 2 while the thread catches up with a jump.
    if (round % 3 == 1) {
      TheoraSeekFrame(player, 59);
      while (player->threadState.load() == TheoraThreadPaused) std::this_thread::yield();
    }
    if (round % 3 == 2) {
      TheoraAdvance(player, 40);
      while (player->threadState.load() != TheoraThreadDecoding) std::this_thread::yield();
    }
    if (round < 3) {
      EXPECT_EQ(FreeGraph(graph), 0);
    } else {
      // The movie closed first: the graph's handle to it is stale.
      EXPECT_EQ(CloseMovieHandle(movie), 0);
      EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), 0);
      EXPECT_EQ(FreeGraph(graph), 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  EXPECT_EQ(ClosedFileWatch::readsAfterClose, 0);
  StopGraphics();
}

TEST_F(MovieHandleTest, AFileThatBreaksWhilePlayingEndsTheMovie) {
  StartGraphics(32);
  WriteFileBytes("cut.ogv", clip_);
  const ObjectHandle graph = LoadGraphFile("cut.ogv", 0);
  ASSERT_NE(graph, -1);
  const ObjectHandle movie = GetGraphRecordChecked(graph)->movie;
  MovieHandleRecord* record = GetMovieHandleData(movie);
  ASSERT_TRUE(WaitForThreadState(record->player, TheoraThreadIdle));
  std::filesystem::resize_file("cut.ogv", 300);
  const int64_t start = Play(movie);
  ClockTo(start, FrameTime(3));
  DrawGraphAt(0, 0, graph, 0);
  ExpectGraphShows(graph, ref_.frames[3]);
  EXPECT_EQ(record->paused, 0);
  // Frame 20 is not in the ring and the file cannot give it.
  ClockTo(start, FrameTime(20));
  EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), 0);
  EXPECT_EQ(record->paused, 1);
  EXPECT_EQ(record->playing, 0);
  ExpectGraphShows(graph, ref_.frames[3]);
  FreeGraph(graph);
  StopGraphics();
}

TEST_F(MovieHandleTest, AFileThatBreaksWhilePlayingEndsTheMovieWithItsSound) {
  // Every frame a key frame of some size: the file's bytes read ahead of
  // the ring hold few more pictures.
  TheoraClipOptions o = Clip24();
  o.width = 160;
  o.height = 120;
  o.keyFrameInterval = 1;
  o.frames = 60;
  o.audioRate = 22050;
  WriteFileBytes("cut.ogv", MakeTheoraClip(o));
  StartGraphics(32);
  {
    ManualSound sound;
    const ObjectHandle graph = LoadGraphFile("cut.ogv", 0);
    ASSERT_NE(graph, -1);
    const ObjectHandle movie = GetGraphRecordChecked(graph)->movie;
    MovieHandleRecord* record = GetMovieHandleData(movie);
    const ObjectHandle audio = record->audio;
    ASSERT_NE(audio, -1);
    ASSERT_TRUE(WaitForThreadState(record->player, TheoraThreadIdle));
    // The first three quarters of a second of sound are in its buffer; the
    // pictures the ring holds last a third of a second.
    std::filesystem::resize_file("cut.ogv", 300);
    Play(movie);
    int ticks = 0;
    for (; ticks < 100 && record->playing; ++ticks) {
      sound.Tick();
      PlatformAdvanceVirtualClock(10000);
      EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), 0);
    }
    // The movie ended on a frame the file could not give, before its sound
    // had played what it holds; the sound ended with it, as at a pause.
    EXPECT_EQ(record->playing, 0);
    EXPECT_EQ(record->paused, 1);
    EXPECT_LT(ticks, 50);
    EXPECT_EQ(CheckSoundHandle(audio), 0);
    const int32_t heard = GetSoundCurrentTime(audio);
    EXPECT_LT(heard, 600);
    for (int i = 0; i < 10; ++i) sound.Tick();
    EXPECT_EQ(CheckSoundHandle(audio), 0);
    EXPECT_EQ(GetSoundCurrentTime(audio), heard);
    FreeGraph(graph);
  }
  StopGraphics();
}

}  // namespace
