// The sample grabber: the types its accepted type lets in, the callback
// with each sample on its way downstream, and the allocator over a delivery
// buffer.
#include "library/movie/sample_grabber.h"
#include "tests/platform/dshow/dshow_fixture.h"

namespace {

using namespace dshowtest;

D_CMediaType PcmType() {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = 1;
  wave.nSamplesPerSec = 8000;
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = 2;
  wave.nAvgBytesPerSec = 16000;
  return MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, &wave, sizeof wave);
}

struct Calls {
  std::vector<std::vector<uint8_t>> bytes;
  std::vector<REFERENCE_TIME> starts, stops;
  std::vector<BOOL> changed;
  HRESULT answer = S_OK;
};

HRESULT Grab(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL changed, void* user) {
  auto* calls = static_cast<Calls*>(user);
  BYTE* p = nullptr;
  sample->GetPointer(&p);
  calls->bytes.emplace_back(p, p + sample->GetActualDataLength());
  calls->starts.push_back(*start);
  calls->stops.push_back(*stop);
  calls->changed.push_back(changed);
  return calls->answer;
}

class SampleGrabberTest : public DShowTest {
 protected:
  void SetUp() override {
    DShowTest::SetUp();
    int result = -1;
    grabber_ = CreateSampleGrabber(&result);
    ASSERT_NE(grabber_, nullptr);
    EXPECT_EQ(result, S_OK);
    grabber_->AddRef();
    control_ = Query<D_ISampleGrabber>(static_cast<IBaseFilter*>(grabber_), IID_D_ISampleGrabber);
    ASSERT_NE(control_, nullptr);
  }
  void TearDown() override {
    control_->Release();
    grabber_->Release();
    DShowTest::TearDown();
  }
  D_CSampleGrabber* grabber_ = nullptr;
  D_ISampleGrabber* control_ = nullptr;
};

TEST_F(SampleGrabberTest, TheAcceptedTypeKeepsCompressedAudioOut) {
  AM_MEDIA_TYPE connected{};
  EXPECT_EQ(control_->GetConnectedMediaType(&connected), VFW_E_NOT_CONNECTED);
  const D_CMediaType pcm = MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
  ASSERT_EQ(control_->SetAcceptedMediaType(&pcm), S_OK);
  auto* mp3 = new TestSource({MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_MP3, FORMAT_WaveFormatEx)});
  mp3->AddRef();
  EXPECT_EQ(mp3->Output()->Connect(grabber_->InputPin(), nullptr), VFW_E_TYPE_NOT_ACCEPTED);
  // The empty type takes anything.
  ASSERT_EQ(control_->SetAcceptedMediaType(nullptr), S_OK);
  EXPECT_EQ(mp3->Output()->Connect(grabber_->InputPin(), nullptr), S_OK);
  ASSERT_EQ(control_->GetConnectedMediaType(&connected), S_OK);
  EXPECT_EQ(connected.subtype, MEDIASUBTYPE_MP3);
  FreeMediaType(connected);
  grabber_->InputPin()->Disconnect();
  mp3->Output()->Disconnect();
  mp3->Release();
}

TEST_F(SampleGrabberTest, EachSampleGoesThroughTheCallbackAndOnDownstream) {
  const D_CMediaType pcm = MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
  control_->SetAcceptedMediaType(&pcm);
  auto* source = new TestSource({MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_MP3, FORMAT_WaveFormatEx), PcmType()});
  auto* sink = new TestSink({MEDIASUBTYPE_PCM});
  source->AddRef();
  sink->AddRef();
  ASSERT_EQ(source->Output()->Connect(grabber_->InputPin(), nullptr), S_OK);
  ASSERT_EQ(grabber_->OutputPin()->Connect(sink->InputPin(), nullptr), S_OK);
  AM_MEDIA_TYPE connected{};
  ASSERT_EQ(control_->GetConnectedMediaType(&connected), S_OK);
  EXPECT_TRUE(D_CMediaType(connected) == PcmType());
  FreeMediaType(connected);
  // One allocator from the source through to the sink: nothing is copied.
  EXPECT_EQ(grabber_->InputPin()->Allocator(), grabber_->OutputPin()->Allocator());
  EXPECT_EQ(source->Output()->Allocator(), grabber_->InputPin()->Allocator());

  Calls calls;
  ASSERT_EQ(control_->SetCallback(Grab, &calls), S_OK);
  for (IBaseFilter* f : {static_cast<IBaseFilter*>(sink), static_cast<IBaseFilter*>(grabber_),
                         static_cast<IBaseFilter*>(source)})
    ASSERT_EQ(f->Run(0), S_OK);
  source->Output()->DeliverNewSegment(5000, 100000, 1.0);
  EXPECT_EQ(source->Send({1, 2, 3, 4}, 100, 200), S_OK);
  EXPECT_EQ(source->Send({5, 6}, 200, 300), S_OK);
  // Refused by the callback: not delivered.
  calls.answer = S_FALSE;
  EXPECT_EQ(source->Send({7, 8}, 300, 400), S_OK);
  // Without a callback: delivered as it is.
  control_->SetCallback(nullptr, nullptr);
  EXPECT_EQ(source->Send({9, 10}, 400, 500), S_OK);
  EXPECT_EQ(calls.bytes, (std::vector<std::vector<uint8_t>>{{1, 2, 3, 4}, {5, 6}, {7, 8}}));
  EXPECT_EQ(calls.starts, (std::vector<REFERENCE_TIME>{5100, 5200, 5300}));
  EXPECT_EQ(calls.stops, (std::vector<REFERENCE_TIME>{5200, 5300, 5400}));
  EXPECT_EQ(calls.changed, (std::vector<BOOL>{TRUE, FALSE, FALSE}));
  EXPECT_EQ(sink->Received(), (std::vector<std::vector<uint8_t>>{{1, 2, 3, 4}, {5, 6}, {9, 10}}));
  for (IBaseFilter* f : {static_cast<IBaseFilter*>(sink), static_cast<IBaseFilter*>(grabber_),
                         static_cast<IBaseFilter*>(source)})
    f->Stop();
  // A delivery buffer cannot be set while connected.
  BYTE buffer[64];
  EXPECT_EQ(control_->SetDeliveryBuffer({1, 32, 1, 0}, buffer), E_INVALIDARG);
  for (IPin* p : {static_cast<IPin*>(source->Output()), static_cast<IPin*>(grabber_->InputPin()),
                  static_cast<IPin*>(grabber_->OutputPin()), static_cast<IPin*>(sink->InputPin())})
    p->Disconnect();
  sink->Release();
  source->Release();
}

TEST_F(SampleGrabberTest, ADeliveryBufferGivesTheInputAnAllocatorOverIt) {
  alignas(16) BYTE buffer[512];
  EXPECT_EQ(control_->SetDeliveryBuffer({1, 256, 16, 16}, buffer), E_POINTER);  // no pins yet
  ASSERT_NE(grabber_->InputPin(), nullptr);
  EXPECT_EQ(control_->SetDeliveryBuffer({2, 256, 16, 16}, buffer), E_INVALIDARG);
  EXPECT_EQ(control_->SetDeliveryBuffer({1, 256, 16, 16}, nullptr), E_POINTER);
  ASSERT_EQ(control_->SetDeliveryBuffer({1, 256, 16, 16}, buffer), S_OK);
  IMemAllocator* allocator = nullptr;
  ASSERT_EQ(grabber_->InputPin()->GetAllocator(&allocator), S_OK);
  HRESULT hr = S_OK;
  auto* other = new D_CMemAllocator("Other", nullptr, &hr);
  other->AddRef();
  EXPECT_EQ(grabber_->InputPin()->NotifyAllocator(other, FALSE), E_FAIL);
  EXPECT_EQ(grabber_->InputPin()->NotifyAllocator(allocator, FALSE), S_OK);
  other->Release();
  struct Case {
    ALLOCATOR_PROPERTIES request;
    HRESULT want;
  };
  const Case cases[] = {
      {{1, 256, 8, 16}, VFW_E_BADALIGN},
      {{1, 256, 16, 0}, E_FAIL},
      {{2, 256, 16, 16}, E_FAIL},
      {{1, 300, 16, 16}, E_FAIL},
      {{1, 100, 16, 16}, S_OK},
  };
  ALLOCATOR_PROPERTIES actual{};
  for (const Case& c : cases) {
    ALLOCATOR_PROPERTIES request = c.request;
    EXPECT_EQ(allocator->SetProperties(&request, &actual), c.want);
  }
  // What is granted is the delivery buffer's layout.
  EXPECT_EQ(actual.cbBuffer, 256);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  EXPECT_EQ(data, buffer + 16);
  EXPECT_EQ(sample->GetSize(), 256);
  sample->Release();
  allocator->Decommit();
  allocator->Release();
}

}  // namespace
