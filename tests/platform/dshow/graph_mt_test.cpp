// The filter graph over libavformat and libavcodec: what RenderFile builds
// for a movie file, frames that come when the clock reaches them and equal
// libavcodec's own decode, seeking, the end of the stream, and files that
// cannot be rendered.
#include <algorithm>
#include <cstdlib>

#include "platform/dsound/dsound.h"
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

  void TearDown() override {
    if (catcher_ != nullptr) catcher_->Release();
    if (graph_ != nullptr) graph_->Release();
    DShowTest::TearDown();
  }

  // A graph with a frame catcher that has rendered the clip.
  void Build() {
    graph_ = NewGraph();
    catcher_ = new FrameCatcher();
    catcher_->AddRef();
    ASSERT_EQ(graph_->AddFilter(catcher_, u"Catcher"), S_OK);
    ASSERT_EQ(graph_->RenderFile(Wide(path_).c_str(), nullptr), S_OK);
  }

  avclip::Bytes clip_;
  std::vector<avclip::Picture> reference_;
  std::string path_;
  IGraphBuilder* graph_ = nullptr;
  FrameCatcher* catcher_ = nullptr;
};

TEST_F(GraphTest, RenderFileEndsTheVideoInTheRendererOfTheGraphAndTheSoundInTheAudioRenderer) {
  ASSERT_NO_FATAL_FAILURE(Build());
  IGraphBuilder* graph = graph_;
  FrameCatcher* catcher = catcher_;
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
}

TEST_F(GraphTest, FramesComeWhenTheClockReachesThemAndEqualLibavcodecsDecode) {
  ASSERT_NO_FATAL_FAILURE(Build());
  IGraphBuilder* graph = graph_;
  FrameCatcher* catcher = catcher_;
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
}

// The first frame at or after the time, waited for.
void ExpectFrameAt(FrameCatcher* catcher, size_t count, const avclip::Picture& want) {
  ASSERT_TRUE(catcher->WaitFor(count)) << "no frame " << count;
  const avclip::Picture got = catcher->Frame(count - 1);
  EXPECT_EQ(got.time, want.time);
  EXPECT_TRUE(got.pixels == want.pixels) << "the frame at " << want.time;
}

TEST_F(GraphTest, ASeekShowsTheFrameOfThePositionAndPauseHoldsTheClock) {
  ASSERT_NO_FATAL_FAILURE(Build());
  IGraphBuilder* graph = graph_;
  FrameCatcher* catcher = catcher_;
  auto* control = Query<IMediaControl>(graph, IID_IMediaControl);
  auto* seeking = Query<IMediaSeeking>(graph, IID_IMediaSeeking);
  ASSERT_EQ(control->Run(), S_OK);
  ExpectFrameAt(catcher, 1, reference_[0]);
  Advance(kFrameMicroseconds);
  ExpectFrameAt(catcher, 2, reference_[1]);

  // A seek while running: the frame of the position comes at once (frames
  // before it in its group of pictures are decoded but not shown).
  LONGLONG to = reference_[7].time;
  ASSERT_EQ(seeking->SetPositions(&to, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  ExpectFrameAt(catcher, 3, reference_[7]);
  // As far as the slowest renderer: the sound may start a little earlier.
  LONGLONG current = 0;
  seeking->GetCurrentPosition(&current);
  EXPECT_LE(current, reference_[7].time);
  EXPECT_GT(current, reference_[7].time - 300000);
  Advance(kFrameMicroseconds);
  ExpectFrameAt(catcher, 4, reference_[8]);

  // Paused, the clock moves on and no frame comes; running again, the
  // stream goes on from where it stood.
  ASSERT_EQ(control->Pause(), S_OK);
  Advance(10 * kFrameMicroseconds);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(catcher->Count(), 4u);
  ASSERT_EQ(control->Run(), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(catcher->Count(), 4u);
  Advance(kFrameMicroseconds);
  ExpectFrameAt(catcher, 5, reference_[9]);

  // A seek while paused shows its frame at once, as the picture of the pause.
  ASSERT_EQ(control->Pause(), S_OK);
  to = reference_[2].time;
  ASSERT_EQ(seeking->SetPositions(&to, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  ExpectFrameAt(catcher, 6, reference_[2]);
  ASSERT_EQ(control->Run(), S_OK);
  Advance(kFrameMicroseconds);
  ExpectFrameAt(catcher, 7, reference_[3]);
  EXPECT_EQ(control->Stop(), S_OK);
  seeking->Release();
  control->Release();
}

TEST_F(GraphTest, WithoutAClockEveryFrameComesAtOnce) {
  ASSERT_NO_FATAL_FAILURE(Build());
  IGraphBuilder* graph = graph_;
  FrameCatcher* catcher = catcher_;
  auto* filter = Query<IMediaFilter>(graph, IID_IMediaFilter);
  auto* control = Query<IMediaControl>(graph, IID_IMediaControl);
  auto* events = Query<IMediaEvent>(graph, IID_IMediaEvent);
  ASSERT_EQ(filter->SetSyncSource(nullptr), S_OK);
  long code = 0;
  EXPECT_EQ(events->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);
  ASSERT_EQ(control->Run(), S_OK);
  EXPECT_EQ(events->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  ASSERT_EQ(catcher->Count(), reference_.size());
  for (size_t i = 0; i < reference_.size(); ++i) EXPECT_TRUE(catcher->Frame(i).pixels == reference_[i].pixels) << i;
  control->Stop();
  events->Release();
  control->Release();
  filter->Release();
}

TEST_F(GraphTest, ConnectPutsTheFiltersBetweenThatTheTwoPinsNeed) {
  IGraphBuilder* graph = NewGraph();
  auto* catcher = new FrameCatcher();
  catcher->AddRef();
  graph->AddFilter(catcher, u"Catcher");
  IBaseFilter* source = nullptr;
  ASSERT_EQ(graph->AddSourceFilter(Wide(path_).c_str(), u"Source", &source), S_OK);
  IPin* output = nullptr;
  ASSERT_EQ(source->FindPin(u"Output", &output), S_OK);
  ASSERT_EQ(graph->Connect(output, catcher->InputPin()), S_OK);
  EXPECT_EQ(FilterNames(graph), (std::vector<std::u16string>{u"Catcher", u"Source", u"AV Splitter", u"AV Video Decoder"}));
  EXPECT_EQ(graph->Render(output), VFW_E_ALREADY_CONNECTED);
  // Removing a filter takes its connections with it.
  IBaseFilter* splitter = nullptr;
  ASSERT_EQ(graph->FindFilterByName(u"AV Splitter", &splitter), S_OK);
  EXPECT_EQ(graph->RemoveFilter(splitter), S_OK);
  IPin* peer = nullptr;
  EXPECT_EQ(output->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
  splitter->Release();
  output->Release();
  source->Release();
  catcher->Release();
  graph->Release();
}

TEST_F(GraphTest, FilesThatCannotBeRenderedLeaveTheGraphAsItWas) {
  avclip::ClipOptions silentOptions = MovieClip();
  silentOptions.audio = AV_CODEC_ID_NONE;
  const std::string silent = WriteClip("silent.avi", avclip::MakeClip(silentOptions));
  avclip::Bytes noise(3000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
  struct Case {
    std::string path;
    bool withRenderer;
    HRESULT want;
  };
  const Case cases[] = {
      {dir_.path() + "/missing.avi", true, VFW_E_NOT_FOUND},
      {WriteClip("noise.avi", noise), true, VFW_E_CANNOT_RENDER},
      {WriteClip("empty.avi", {}), true, VFW_E_CANNOT_RENDER},
      {WriteClip("cut.avi", avclip::Bytes(clip_.begin(), clip_.begin() + 100)), true, VFW_E_CANNOT_RENDER},
      // Video with nowhere to go: nothing renders it.
      {silent, false, VFW_E_CANNOT_RENDER},
      // Its sound renders, its video does not.
      {path_, false, VFW_S_PARTIAL_RENDER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    IGraphBuilder* graph = NewGraph();
    auto* catcher = new FrameCatcher();
    catcher->AddRef();
    if (c.withRenderer) graph->AddFilter(catcher, u"Catcher");
    EXPECT_EQ(graph->RenderFile(Wide(c.path).c_str(), nullptr), c.want);
    if (FAILED(c.want)) {
      EXPECT_EQ(FilterNames(graph).size(), c.withRenderer ? 1u : 0u);
      EXPECT_FALSE(catcher->InputPin()->IsConnected());
    }
    catcher->Release();
    graph->Release();
  }
}

TEST_F(GraphTest, TheSoundTrackPlaysThroughTheSoundDeviceAtTheVolumeSet) {
  PlatformSoundUseManualClock(true);
  avclip::ClipOptions tone = MovieClip();
  tone.video = AV_CODEC_ID_NONE;
  tone.frames = 25;  // one second
  const std::string path = WriteClip("tone.avi", avclip::MakeClip(tone));
  IGraphBuilder* graph = NewGraph();
  ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK);
  EXPECT_TRUE(Contains(FilterNames(graph), u"Default DirectSound Device"));
  auto* control = Query<IMediaControl>(graph, IID_IMediaControl);
  auto* audio = Query<IBasicAudio>(graph, IID_IBasicAudio);
  long volume = 1;
  EXPECT_EQ(audio->get_Volume(&volume), S_OK);
  EXPECT_EQ(volume, 0);
  ASSERT_EQ(control->Run(), S_OK);
  // The device's output as it stands (8-bit samples are unsigned).
  const WAVEFORMATEX out = PlatformSoundOutputFormat();
  const uint32_t step = out.nSamplesPerSec / 100;  // 10 ms
  std::vector<uint8_t> mixed(static_cast<size_t>(step) * out.nBlockAlign);
  auto loudest = [&] {
    Advance(10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    PlatformSoundRender(mixed.data(), step);
    int peak = 0;
    for (size_t i = 0; i < mixed.size(); i += out.wBitsPerSample / 8) {
      const int v = out.wBitsPerSample == 8 ? (mixed[i] - 128) * 256
                                            : static_cast<int16_t>(mixed[i] | mixed[i + 1] << 8);
      peak = std::max(peak, std::abs(v));
    }
    return peak;
  };
  int heard = 0;
  for (int i = 0; i < 40 && heard < 1000; ++i) heard = std::max(heard, loudest());
  EXPECT_GE(heard, 1000) << "the tone never reached the device";
  // At the quietest volume nothing is heard.
  ASSERT_EQ(audio->put_Volume(-10000), S_OK);
  int quiet = 0;
  for (int i = 0; i < 10; ++i) quiet = std::max(quiet, loudest());
  EXPECT_LE(quiet, 256);
  EXPECT_EQ(audio->put_Volume(1), E_INVALIDARG);
  control->Stop();
  audio->Release();
  control->Release();
  graph->Release();
  PlatformSoundUseManualClock(false);
}

}  // namespace
