// Movies through DirectShow: a clip that is no Ogg Theora file opens on a
// filter graph whose video ends in the library's frame renderer; its frames
// equal libavcodec's own decode, it ends or loops at its stop position, a
// member of an archive plays from a temporary file that is gone once the
// movie is closed or the library ends, and damaged files fail without
// leaving a graph, a thread or a temporary file behind. The frame renderer
// on its own: the media types it takes and the row order of its buffer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "library/core/library_state.h"
#include "library/core/startup.h"
#include "library/graphics/draw_api.h"
#include "library/movie/movie_handle.h"
#include "library/movie/movie_renderer.h"
#include "tests/core/library_fixture.h"
#include "tests/graphics/graphics_fixture.h"
#include "tests/platform/dshow/av_clip.h"
#include "tests/support/scratch_log.h"

namespace {

using avclip::Picture;

constexpr int64_t kFrameMicroseconds = 40000;  // 25 frames a second

avclip::ClipOptions Clip12() {
  avclip::ClipOptions o;
  o.width = 48;
  o.height = 32;
  o.frames = 12;
  o.audio = AV_CODEC_ID_MP2;
  return o;
}

// A temporary folder of the test's own, so that what is left in it shows.
class TempFolder {
 public:
  TempFolder() {
    const char* old = getenv("TMPDIR");
    if (old != nullptr) saved_ = old;
    had_ = old != nullptr;
    setenv("TMPDIR", dir_.path().c_str(), 1);
  }
  ~TempFolder() {
    if (had_)
      setenv("TMPDIR", saved_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  size_t Files() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_.path())) ++n;
    return n;
  }

 private:
  TempDir dir_;
  std::string saved_;
  bool had_ = false;
};

// What a frame callback saw.
struct Seen {
  std::vector<Picture> pictures;
};
void RecordFrame(MovieHandleRecord* record, void* user) {
  const GraphImage& image = *record->currentFrameImage;
  EXPECT_EQ(image.format.colorBits, 24);
  static_cast<Seen*>(user)->pictures.push_back(
      avclip::PictureOfRows(image.pixels, image.width, image.height, image.pitch));
}

// The renderer has a frame the movie has not handed on yet; false after 20 s.
bool WaitForNewFrame(const MovieHandleRecord* record) {
  for (int i = 0; i < 20000; ++i) {
    if (record->renderer->newFrame.load() != 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Plays a paused movie as activation does.
void Play(ObjectHandle movie) {
  GetMovieHandleData(movie)->playing = 1;
  ResumeMoviesAfterActivate();
}

class DirectShowMovieTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    StartScratchLog();
    objects_ = PlatformLiveDShowObjectCount();
    threads_ = PlatformLiveThreadCount();
    clip_ = avclip::MakeClip(Clip12());
    ASSERT_FALSE(clip_.empty());
    reference_ = avclip::DecodePictures(clip_);
    ASSERT_EQ(reference_.size(), 12u);
    WriteFileBytes("clip.avi", clip_);
  }
  void TearDown() override {
    EXPECT_EQ(MovieHandleTable.count, 0u);
    EXPECT_EQ(PlatformLiveDShowObjectCount(), objects_) << "DirectShow objects left behind";
    EndScratchLog();
    GraphicsTest::TearDown();  // closes the archives and their threads
    EXPECT_EQ(PlatformLiveThreadCount(), threads_) << "threads left behind";
  }

  // Plays the movie frame by frame from where it stands, handing each
  // frame to the callback, until `frames` have been seen.
  static void PlayFrames(ObjectHandle movie, Seen* seen, size_t frames) {
    MovieHandleRecord* record = GetMovieHandleData(movie);
    while (seen->pictures.size() < frames) {
      ASSERT_TRUE(WaitForNewFrame(record)) << "frame " << seen->pictures.size() << " never came";
      RefreshMovieFrame(movie);
      PlatformAdvanceVirtualClock(kFrameMicroseconds);
    }
  }

  // Moves the clock on until the movie reaches its stop position; false
  // when it never does.
  static bool RunToTheEnd(ObjectHandle movie, int32_t wantPaused) {
    MovieHandleRecord* record = GetMovieHandleData(movie);
    for (int i = 0; i < 2000; ++i) {
      PlatformAdvanceVirtualClock(kFrameMicroseconds);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      LONGLONG now = 0;
      record->seeking->GetCurrentPosition(&now);
      if (now >= record->stopPosition) {
        RefreshMovieFrame(movie);
        return record->paused == wantPaused;
      }
    }
    return false;
  }

  avclip::Bytes clip_;
  std::vector<Picture> reference_;
  int objects_ = 0;
  int threads_ = 0;
};

TEST_F(DirectShowMovieTest, OpensPausedAndPlaysFramesEqualToLibavcodecsDecodeThenStops) {
  int32_t width = 0, height = 0;
  const ObjectHandle movie = OpenMovie("clip.avi", &width, &height, 0);
  ASSERT_NE(movie, -1) << SjisForPrint(ReadScratchLog());
  EXPECT_EQ(width, 48);
  EXPECT_EQ(height, 32);
  MovieHandleRecord* record = GetMovieHandleData(movie);
  EXPECT_EQ(record->theora, 0);
  EXPECT_EQ(record->paused, 1);
  EXPECT_EQ(record->playing, 0);
  EXPECT_EQ(record->tempFile, 0);
  EXPECT_NEAR(static_cast<double>(record->duration), 4800000.0, 400000.0);
  EXPECT_EQ(record->stopPosition, record->duration);
  Seen seen;
  SetMovieFrameCallback(movie, RecordFrame, &seen);
  // The graph does not run yet: no frame.
  RefreshMovieFrame(movie);
  EXPECT_TRUE(seen.pictures.empty());

  Play(movie);
  PlayFrames(movie, &seen, reference_.size());
  for (size_t i = 0; i < reference_.size(); ++i)
    EXPECT_TRUE(seen.pictures[i].pixels == reference_[i].pixels) << "frame " << i;
  EXPECT_TRUE(RunToTheEnd(movie, 1));
  EXPECT_EQ(record->playing, 0);
  EXPECT_EQ(CloseMovieHandle(movie), 0);
  EXPECT_EQ(ReadScratchLog(), "");
}

TEST_F(DirectShowMovieTest, ALoopingMovieStartsAgainAtItsFirstFrame) {
  const ObjectHandle movie = OpenMovie("clip.avi", nullptr, nullptr, 0);
  ASSERT_NE(movie, -1);
  MovieHandleRecord* record = GetMovieHandleData(movie);
  record->playType = 1 | MoviePlayLoopBit;
  Seen seen;
  SetMovieFrameCallback(movie, RecordFrame, &seen);
  Play(movie);
  PlayFrames(movie, &seen, reference_.size());
  EXPECT_TRUE(RunToTheEnd(movie, 0));
  EXPECT_EQ(record->playing, 1);
  PlayFrames(movie, &seen, reference_.size() + 3);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(seen.pictures[reference_.size() + i].pixels == reference_[i].pixels) << "looped frame " << i;
  }
  for (size_t i = 0; i < seen.pictures.size(); ++i)
    for (size_t j = 0; j < reference_.size(); ++j)
      if (seen.pictures[i].pixels == reference_[j].pixels) printf("seen %zu = %zu\n", i, j);
  // Paused, the movie stays where it is.
  EXPECT_EQ(PauseMovieHandle(movie, 0), 0);
  EXPECT_EQ(record->paused, 1);
  CloseMovieHandle(movie);
}

TEST_F(DirectShowMovieTest, AStreamOfUnknownLengthCountsAsASixtiethOfASecondAndPlaysToItsEnd) {
  // A raw MPEG-4 video stream says nothing of its length.
  avclip::ClipOptions raw = Clip12();
  raw.audio = AV_CODEC_ID_NONE;
  raw.container = "m4v";
  const avclip::Bytes clip = avclip::MakeClip(raw);
  const std::vector<Picture> reference = avclip::DecodePictures(clip);
  ASSERT_EQ(reference.size(), 12u);
  WriteFileBytes("raw.m4v", clip);
  const ObjectHandle movie = OpenMovie("raw.m4v", nullptr, nullptr, 0);
  ASSERT_NE(movie, -1);
  MovieHandleRecord* record = GetMovieHandleData(movie);
  EXPECT_EQ(record->duration, 166666);
  EXPECT_GT(record->stopPosition, 4800000);
  Seen seen;
  SetMovieFrameCallback(movie, RecordFrame, &seen);
  Play(movie);
  PlayFrames(movie, &seen, reference.size());
  EXPECT_TRUE(seen.pictures.back().pixels == reference.back().pixels);
  EXPECT_TRUE(RunToTheEnd(movie, 1));
  CloseMovieHandle(movie);
}

TEST_F(DirectShowMovieTest, AMovieGraphShowsTheFrames) {
  StartGraphics(32);
  const ObjectHandle graph = LoadGraphFile("clip.avi", 0);
  ASSERT_NE(graph, -1);
  GraphRecord* g = GetGraphRecordChecked(graph);
  EXPECT_EQ(g->width, 48);
  EXPECT_EQ(g->height, 32);
  const ObjectHandle movie = g->movie;
  Play(movie);
  ASSERT_TRUE(WaitForNewFrame(GetMovieHandleData(movie)));
  DrawGraphAt(0, 0, graph, 0);
  const Picture& want = reference_[0];
  int failures = 0;
  for (int y = 0; y < want.height && failures < 5; ++y) {
    for (int x = 0; x < want.width && failures < 5; ++x) {
      const uint8_t* p = &want.pixels[(static_cast<size_t>(y) * want.width + x) * 3];
      const Rgba got = MemImgColour(&g->image, x, y);
      if (!(got == Rgba{p[2], p[1], p[0], got.a})) {
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << got;
        ++failures;
      }
    }
  }
  EXPECT_EQ(FreeGraph(graph), 0);
  EXPECT_EQ(GetMovieHandleData(movie), nullptr);
  StopGraphics();
}

TEST_F(DirectShowMovieTest, AMovieInAnArchivePlaysFromATemporaryFileGoneAfterClosing) {
  TempFolder temp;
  ArchiveWriteOptions packed;
  packed.packing = ArchivePacking::Always;
  WriteFileBytes("films.dat", BuildImage(FolderNode("", {FileNode("clip.avi", clip_)}), packed));
  const ObjectHandle movie = OpenMovie("films\\clip.avi", nullptr, nullptr, 0);
  ASSERT_NE(movie, -1) << SjisForPrint(ReadScratchLog());
  MovieHandleRecord* record = GetMovieHandleData(movie);
  EXPECT_EQ(record->tempFile, 1);
  EXPECT_EQ(temp.Files(), 1u);
  EXPECT_EQ(ReadFileBytes(MapUtf8PathToHost(WideToUtf8(record->tempName))), clip_);
  Seen seen;
  SetMovieFrameCallback(movie, RecordFrame, &seen);
  Play(movie);
  PlayFrames(movie, &seen, 2);
  EXPECT_TRUE(seen.pictures[1].pixels == reference_[1].pixels);
  CloseMovieHandle(movie);
  EXPECT_EQ(temp.Files(), 0u);
}

struct Damaged {
  const char* name;
  avclip::Bytes bytes;
  bool opens;
};

TEST_F(DirectShowMovieTest, DamagedFilesFailOrPlayWithoutLeavingAnythingBehind) {
  TempFolder temp;
  avclip::Bytes noise(5000);
  uint32_t x = 7;
  for (auto& b : noise) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  avclip::Bytes zeroed = clip_;
  std::fill(zeroed.begin() + 3000, zeroed.begin() + 6000, 0);
  avclip::Bytes tail = clip_;
  for (size_t i = tail.size() - 400; i < tail.size(); ++i) tail[i] = noise[i % noise.size()];
  const std::vector<Damaged> cases = {
      {"empty.avi", {}, false},
      {"noise.avi", noise, false},
      {"header.avi", avclip::Bytes(clip_.begin(), clip_.begin() + 200), false},
      {"half.avi", avclip::Bytes(clip_.begin(), clip_.begin() + clip_.size() / 2), true},
      {"zeroed.avi", zeroed, true},
      {"tail.avi", tail, true},
  };
  std::vector<ArchiveNode> members;
  for (const Damaged& c : cases) {
    WriteFileBytes(c.name, c.bytes);
    members.push_back(FileNode(c.name, c.bytes));
  }
  WriteFileBytes("damaged.dat", BuildImage(FolderNode("", members)));
  for (const Damaged& c : cases) {
    for (const std::string& name : {std::string(c.name), "damaged\\" + std::string(c.name)}) {
      SCOPED_TRACE(name);
      const ObjectHandle movie = OpenMovie(name.c_str(), nullptr, nullptr, 0);
      EXPECT_EQ(movie != -1, c.opens);
      if (movie != -1) {
        Seen seen;
        SetMovieFrameCallback(movie, RecordFrame, &seen);
        Play(movie);
        for (int i = 0; i < 20; ++i) {
          PlatformAdvanceVirtualClock(kFrameMicroseconds);
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
          RefreshMovieFrame(movie);
        }
        EXPECT_EQ(CloseMovieHandle(movie), 0);
      } else {
        EXPECT_NE(ReadScratchLog().find("ムービーファイルオープン処理時にエラーが発生しました"), std::string::npos);
      }
      EXPECT_EQ(temp.Files(), 0u) << "a temporary file stayed";
    }
  }
}

// ---------------------------------------------------------------- the renderer

VIDEOINFOHEADER VideoInfo(int32_t width, int32_t height) {
  VIDEOINFOHEADER info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biBitCount = 24;
  return info;
}

D_CMediaType VideoType(const GUID& major, const GUID& subtype, const GUID& format, const VIDEOINFOHEADER& info,
                       ULONG size = sizeof(VIDEOINFOHEADER)) {
  D_CMediaType t;
  t.SetType(major);
  t.SetSubtype(subtype);
  t.SetFormatType(format);
  t.SetFormat(&info, size);
  return t;
}

TEST_F(DirectShowMovieTest, TheRendererTakesUncompressedRgb24VideoOnly) {
  int result = -1;
  MovieFrameRenderer* renderer = CreateMovieFrameRenderer(nullptr, &result);
  ASSERT_NE(renderer, nullptr);
  EXPECT_EQ(result, S_OK);
  renderer->AddRef();
  const VIDEOINFOHEADER info = VideoInfo(16, 8);
  struct Case {
    const char* what;
    D_CMediaType type;
    HRESULT want;
  };
  const Case cases[] = {
      {"RGB24 video", VideoType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, info), S_OK},
      {"top-down RGB24", VideoType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, VideoInfo(16, -8)), S_OK},
      {"wave format", VideoType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_WaveFormatEx, info), E_INVALIDARG},
      {"audio", VideoType(MEDIATYPE_Audio, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, info), E_FAIL},
      {"RGB32", VideoType(MEDIATYPE_Video, MEDIASUBTYPE_RGB32, FORMAT_VideoInfo, info), E_FAIL},
      {"short format", VideoType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, info, 40), E_INVALIDARG},
      {"no width", VideoType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, VideoInfo(0, 8)), E_INVALIDARG},
      {"no height", VideoType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, VideoInfo(16, 0)), E_INVALIDARG},
  };
  for (const Case& c : cases) EXPECT_EQ(renderer->CheckMediaType(&c.type), c.want) << c.what;
  EXPECT_EQ(renderer->CheckMediaType(nullptr), E_POINTER);
  renderer->Release();
}

TEST_F(DirectShowMovieTest, BottomUpAndTopDownSourcesGiveTheSameTopDownBuffer) {
  MovieFrameRenderer* renderer = CreateMovieFrameRenderer(nullptr, nullptr);
  renderer->AddRef();
  HRESULT hr = S_OK;
  auto* allocator = new D_CMemAllocator("TestAllocator", nullptr, &hr);
  allocator->AddRef();
  ALLOCATOR_PROPERTIES wanted = {1, 64, 1, 0}, actual;
  ASSERT_EQ(allocator->SetProperties(&wanted, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  // Three pixels wide: rows of 12 bytes (9 and 3 of padding).
  const uint8_t rowA[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
  const uint8_t rowB[12] = {11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
  std::vector<uint8_t> seen[2];
  for (int topDown = 0; topDown < 2; ++topDown) {
    const D_CMediaType type =
        VideoType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, VideoInfo(3, topDown ? -2 : 2));
    ASSERT_EQ(renderer->SetMediaType(&type), S_OK);
    EXPECT_EQ(renderer->pitch, 12);
    EXPECT_EQ(renderer->width, 3);
    EXPECT_EQ(renderer->height, 2);
    EXPECT_EQ(renderer->sourceBottomUp, topDown ? 0 : 1);
    IMediaSample* sample = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    // The picture's top row is A: stored last when bottom-up.
    memcpy(data, topDown ? rowA : rowB, 12);
    memcpy(data + 12, topDown ? rowB : rowA, 12);
    sample->SetActualDataLength(24);
    EXPECT_EQ(renderer->DoRenderSample(sample), S_OK);
    EXPECT_EQ(renderer->newFrame.exchange(0), 1);
    seen[topDown].assign(renderer->frameBuffer, renderer->frameBuffer + 24);
    // A sample shorter than a frame is dropped.
    sample->SetActualDataLength(23);
    EXPECT_EQ(renderer->DoRenderSample(sample), S_OK);
    EXPECT_EQ(renderer->newFrame.load(), 0);
    sample->Release();
  }
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_TRUE(std::equal(rowA, rowA + 12, seen[0].begin()));
  EXPECT_EQ(renderer->DoRenderSample(nullptr), E_POINTER);
  allocator->Release();
  renderer->Release();
}

// ---------------------------------------------------------------- library end

class DirectShowMovieLibraryTest : public LibraryTest {};

TEST_F(DirectShowMovieLibraryTest, TheLibraryEndDeletesTheTemporaryFile) {
  TempFolder temp;
  const avclip::Bytes clip = avclip::MakeClip(Clip12());
  WriteFileBytes("films.dat", BuildImage(FolderNode("", {FileNode("clip.avi", clip)})));
  ArchiveSetExtension("dat");
  ASSERT_EQ(InitLibrary(), 0);
  const ObjectHandle movie = OpenMovie("films\\clip.avi", nullptr, nullptr, 0);
  ASSERT_NE(movie, -1);
  EXPECT_EQ(temp.Files(), 1u);
  EXPECT_EQ(EndLibrary(), 0);
  EXPECT_EQ(MovieHandleTable.count, 0u);
  EXPECT_EQ(temp.Files(), 0u);
}

}  // namespace
