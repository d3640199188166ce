// The filter graph over libavformat and libavcodec: what RenderFile builds
// for a movie file, frames that come when the clock reaches them and equal
// libavcodec's own decode, seeking, the end of the stream, and files that
// cannot be rendered.
#include "tests/platform/dshow/dshow_fixture.h"

namespace {

using namespace dshowtest;

avclip::ClipOptions MovieClip() {
  avclip::ClipOptions o;
  o.width = 48;
  o.height = 32;
  o.frames = 12;
  o.fps = 25;
  o.audio = AV_CODEC_ID_MP2;
  return o;
}

constexpr int64_t kFrameMicroseconds = 40000;

class GraphTest : public DShowTest {
 protected:
  void SetUp() override {
    DShowTest::SetUp();
    clip_ = avclip::MakeClip(MovieClip());
    ASSERT_FALSE(clip_.empty());
    reference_ = avclip::DecodePictures(clip_);
    ASSERT_EQ(reference_.size(), 12u);
    path_ = WriteClip("clip.avi", clip_);
  }

  static void ExpectSamePicture(const avclip::Picture& got, const avclip::Picture& want, size_t index) {
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    EXPECT_TRUE(got.pixels == want.pixels) << "frame " << index << " differs from libavcodec's decode";
  }

  avclip::Bytes clip_;
  std::vector<avclip::Picture> reference_;
  std::string path_;
};

TEST_F(GraphTest, RenderFileEndsTheVideoInTheRendererOfTheGraphAndTheSoundInTheAudioRenderer) {
  IGraphBuilder* graph = NewGraph();
  auto* catcher = new FrameCatcher();
  catcher->AddRef();
  ASSERT_EQ(graph->AddFilter(catcher, u"Catcher"), S_OK);
  ASSERT_EQ(graph->RenderFile(Wide(path_).c_str(), nullptr), S_OK);
  const auto names = FilterNames(graph);
  EXPECT_TRUE(Contains(names, u"Catcher"));
  EXPECT_TRUE(Contains(names, Wide(path_)));
  EXPECT_TRUE(Contains(names, u"AV Splitter"));
  EXPECT_TRUE(Contains(names, u"AV Video Decoder"));
  EXPECT_TRUE(Contains(names, u"AV Audio Decoder"));
  EXPECT_TRUE(Contains(names, u"Default DirectSound Device"));
  EXPECT_EQ(names.size(), 6u);

  // The renderer takes RGB24 of the clip's size.
  AM_MEDIA_TYPE type;
  ASSERT_EQ(catcher->InputPin()->ConnectionMediaType(&type), S_OK);
  EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB24);
  VIDEOINFOHEADER info;
  memcpy(&info, type.pbFormat, sizeof info);
  EXPECT_EQ(info.bmiHeader.biWidth, 48);
  EXPECT_EQ(info.bmiHeader.biHeight, 32);
  FreeMediaType(type);

  auto* seeking = Query<IMediaSeeking>(graph, IID_IMediaSeeking);
  LONGLONG duration = 0, stop = 0, current = -1;
  EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_NEAR(static_cast<double>(duration), 12 * kFrameMicroseconds * 10.0, 300000.0);
  EXPECT_EQ(seeking->GetStopPosition(&stop), S_OK);
  EXPECT_EQ(stop, duration);
  EXPECT_EQ(seeking->GetCurrentPosition(&current), S_OK);
  EXPECT_EQ(current, 0);
  seeking->Release();
  catcher->Release();
  graph->Release();
}

TEST_F(GraphTest, FramesComeWhenTheClockReachesThemAndEqualLibavcodecsDecode) {
  IGraphBuilder* graph = NewGraph();
  auto* catcher = new FrameCatcher();
  catcher->AddRef();
  graph->AddFilter(catcher, u"Catcher");
  ASSERT_EQ(graph->RenderFile(Wide(path_).c_str(), nullptr), S_OK);
  auto* control = Query<IMediaControl>(graph, IID_IMediaControl);
  auto* events = Query<IMediaEvent>(graph, IID_IMediaEvent);
  ASSERT_EQ(control->Run(), S_OK);
  for (size_t i = 0; i < reference_.size(); ++i) {
    ASSERT_TRUE(catcher->WaitFor(i + 1)) << "frame " << i << " never came";
    // The next one waits for its time.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(catcher->Count(), i + 1);
    const avclip::Picture got = catcher->Frame(i);
    EXPECT_EQ(got.time, reference_[i].time);
    ExpectSamePicture(got, reference_[i], i);
    Advance(kFrameMicroseconds);
  }
  long code = 0;
  HRESULT hr = E_ABORT;
  for (int i = 0; i < 200 && hr == E_ABORT; ++i) {
    Advance(kFrameMicroseconds);
    hr = events->WaitForCompletion(50, &code);
  }
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  // At the end the position is the stop position.
  auto* seeking = Query<IMediaSeeking>(graph, IID_IMediaSeeking);
  LONGLONG current = 0, stop = 0;
  seeking->GetCurrentPosition(&current);
  seeking->GetStopPosition(&stop);
  EXPECT_EQ(current, stop);
  EXPECT_EQ(control->Stop(), S_OK);
  seeking->Release();
  events->Release();
  control->Release();
  catcher->Release();
  graph->Release();
}

}  // namespace
