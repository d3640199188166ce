// The base classes on their own: media types, samples, allocators, events,
// and how two pins agree on a type and an allocator.
#include "tests/platform/dshow/dshow_fixture.h"

namespace {

using namespace dshowtest;

const GUID kSubA = {0x5A520001, 0, 0, {'S', 'U', 'B', 'A', 0, 0, 0, 0}};
const GUID kSubB = {0x5A520002, 0, 0, {'S', 'U', 'B', 'B', 0, 0, 0, 0}};

TEST(DShowMediaType, CopiesAreDeepAndNullFieldsMatchAnything) {
  const uint8_t block[6] = {1, 2, 3, 4, 5, 6};
  D_CMediaType a = MakeType(MEDIATYPE_Audio, kSubA, FORMAT_WaveFormatEx, block, sizeof block);
  D_CMediaType b = a;
  EXPECT_NE(a.pbFormat, b.pbFormat);
  EXPECT_TRUE(a == b);
  b.pbFormat[0] = 9;
  EXPECT_FALSE(a == b);
  AM_MEDIA_TYPE* c = CreateMediaType(&a);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(memcmp(c->pbFormat, block, sizeof block), 0);
  DeleteMediaType(c);

  struct Case {
    D_CMediaType partial;
    bool matches;
  };
  const Case cases[] = {
      {D_CMediaType(), true},
      {MakeType(MEDIATYPE_Audio, GUID_NULL), true},
      {MakeType(MEDIATYPE_Audio, kSubA), true},
      {MakeType(MEDIATYPE_Audio, kSubB), false},
      {MakeType(MEDIATYPE_Video, GUID_NULL), false},
      {MakeType(MEDIATYPE_Audio, kSubA, FORMAT_VideoInfo), false},
      {MakeType(MEDIATYPE_Audio, kSubA, FORMAT_WaveFormatEx, block, sizeof block), true},
      {MakeType(MEDIATYPE_Audio, kSubA, FORMAT_WaveFormatEx, block, 4), false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(a.MatchesPartial(cases[i].partial), cases[i].matches) << i;
}

TEST(DShowSample, TimesLengthsAndFlags) {
  HRESULT hr = S_OK;
  auto* allocator = new D_CMemAllocator("Test", nullptr, &hr);
  allocator->AddRef();
  ALLOCATOR_PROPERTIES wanted = {1, 100, 1, 0}, actual;
  ASSERT_EQ(allocator->SetProperties(&wanted, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  REFERENCE_TIME start = 5, stop = 9;
  EXPECT_EQ(sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(sample->SetTime(&start, nullptr), S_OK);
  REFERENCE_TIME s = 0, e = 0;
  EXPECT_EQ(sample->GetTime(&s, &e), VFW_S_NO_STOP_TIME);
  EXPECT_EQ(e, 6);
  EXPECT_EQ(sample->SetTime(&start, &stop), S_OK);
  EXPECT_EQ(sample->GetTime(&s, &e), S_OK);
  EXPECT_EQ(e, 9);
  EXPECT_EQ(sample->GetSize(), 100);
  EXPECT_EQ(sample->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(sample->SetActualDataLength(-1), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(sample->SetActualDataLength(100), S_OK);
  EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(TRUE);
  AM_SAMPLE2_PROPERTIES props{};
  auto* second = Query<IMediaSample2>(sample, IID_IMediaSample2);
  ASSERT_NE(second, nullptr);
  second->GetProperties(sizeof props, reinterpret_cast<BYTE*>(&props));
  EXPECT_EQ(props.dwSampleFlags, AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_DATADISCONTINUITY | AM_SAMPLE_TIMEVALID |
                                     AM_SAMPLE_STOPVALID);
  EXPECT_EQ(props.dwStreamId, AM_STREAM_MEDIA);
  second->Release();
  sample->Release();
  // A sample handed out again starts afresh.
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(sample->GetTime(&s, &e), VFW_E_SAMPLE_TIME_NOT_SET);
  sample->Release();
  allocator->Release();
}

TEST(DShowAllocator, PropertiesCommitAndBuffersHandedOut) {
  const int before = PlatformLiveDShowObjectCount();
  HRESULT hr = S_OK;
  auto* allocator = new D_CMemAllocator("Test", nullptr, &hr);
  allocator->AddRef();
  IMediaSample* sample = nullptr;
  EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
  EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
  ALLOCATOR_PROPERTIES actual;
  struct Case {
    ALLOCATOR_PROPERTIES request;
    HRESULT want;
  };
  const Case cases[] = {
      {{2, 64, 0, 0}, VFW_E_BADALIGN},
      {{2, 64, 3, 0}, VFW_E_BADALIGN},
      {{-1, 64, 1, 0}, E_INVALIDARG},
      {{2, 64, 16, 8}, S_OK},
  };
  for (const Case& c : cases) {
    ALLOCATOR_PROPERTIES request = c.request;
    EXPECT_EQ(allocator->SetProperties(&request, &actual), c.want);
  }
  ASSERT_EQ(allocator->Commit(), S_OK);
  ALLOCATOR_PROPERTIES request = {1, 1, 1, 0};
  EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);
  IMediaSample* a = nullptr;
  IMediaSample* b = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&a, nullptr, nullptr, 0), S_OK);
  ASSERT_EQ(allocator->GetBuffer(&b, nullptr, nullptr, 0), S_OK);
  BYTE* pa = nullptr;
  a->GetPointer(&pa);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(pa) % 16, 0u) << "data on the alignment";
  EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
  // Decommitted with samples out: those stay usable, no new ones.
  EXPECT_EQ(allocator->Decommit(), S_OK);
  EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
  EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BUFFERS_OUTSTANDING);
  memset(pa, 0x5A, 64);
  // The allocator lives on while a sample is out.
  allocator->Release();
  a->Release();
  EXPECT_GT(PlatformLiveDShowObjectCount(), before);
  b->Release();
  EXPECT_EQ(PlatformLiveDShowObjectCount(), before);
}

TEST(DShowEvents, AWaitEndsAtTheFirstEventSet) {
  D_CAMEvent manual(true), automatic(false);
  D_CAMEvent* both[2] = {&manual, &automatic};
  EXPECT_EQ(D_WaitForEvents(both, 2, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  automatic.Set();
  EXPECT_EQ(D_WaitForEvents(both, 2, 0), WAIT_OBJECT_0 + 1);
  EXPECT_FALSE(automatic.Check());  // an automatic event lets one wait through
  manual.Set();
  EXPECT_EQ(D_WaitForEvents(both, 2, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(manual.Check());
  manual.Reset();
  std::thread setter([&] { automatic.Set(); });
  EXPECT_EQ(D_WaitForEvents(both, 2, INFINITE), WAIT_OBJECT_0 + 1);
  setter.join();
}

class DShowPinTest : public DShowTest {};

TEST_F(DShowPinTest, PinsAgreeOnTheFirstTypeBothTake) {
  auto* source = new TestSource({MakeType(MEDIATYPE_Audio, kSubA, FORMAT_None), MakeType(MEDIATYPE_Audio, kSubB, FORMAT_None)});
  auto* sink = new TestSink({kSubB});
  auto* none = new TestSink({});
  source->AddRef();
  sink->AddRef();
  none->AddRef();
  IPin* out = source->Output();
  IPin* in = sink->InputPin();
  // Pins of one direction, a receiver that takes nothing.
  EXPECT_EQ(out->Connect(source->Output(), nullptr), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(out->Connect(none->InputPin(), nullptr), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_FALSE(source->Output()->IsConnected());
  // A partial type that only the first offered type fits.
  const D_CMediaType onlyA = MakeType(MEDIATYPE_Audio, kSubA);
  EXPECT_EQ(out->Connect(in, &onlyA), VFW_E_TYPE_NOT_ACCEPTED);
  ASSERT_EQ(out->Connect(in, nullptr), S_OK);
  AM_MEDIA_TYPE agreed;
  ASSERT_EQ(in->ConnectionMediaType(&agreed), S_OK);
  EXPECT_EQ(agreed.subtype, kSubB);
  FreeMediaType(agreed);
  EXPECT_EQ(out->Connect(in, nullptr), VFW_E_ALREADY_CONNECTED);
  // The receiver's allocator with the source's properties.
  IMemAllocator* allocator = nullptr;
  ASSERT_EQ(sink->InputPin()->GetAllocator(&allocator), S_OK);
  EXPECT_EQ(allocator, source->Output()->Allocator());
  ALLOCATOR_PROPERTIES props;
  allocator->GetProperties(&props);
  EXPECT_EQ(props.cBuffers, 2);
  EXPECT_EQ(props.cbBuffer, 4096);
  allocator->Release();

  // Streaming without a clock: each sample is rendered as it comes.
  ASSERT_EQ(sink->Pause(), S_OK);
  ASSERT_EQ(source->Pause(), S_OK);
  ASSERT_EQ(sink->Run(0), S_OK);
  EXPECT_EQ(source->Send({1, 2, 3}), S_OK);
  EXPECT_EQ(source->Send({4}), S_OK);
  EXPECT_EQ(sink->Received(), (std::vector<std::vector<uint8_t>>{{1, 2, 3}, {4}}));
  // Connections change only while stopped; a stopped sink refuses samples.
  EXPECT_EQ(in->Disconnect(), VFW_E_NOT_STOPPED);
  sink->Stop();
  EXPECT_EQ(source->Send({5}), VFW_E_NOT_COMMITTED);
  source->Stop();
  EXPECT_EQ(in->Disconnect(), S_OK);
  EXPECT_EQ(out->Disconnect(), S_OK);
  EXPECT_EQ(out->Disconnect(), S_FALSE);
  none->Release();
  sink->Release();
  source->Release();
}

}  // namespace
