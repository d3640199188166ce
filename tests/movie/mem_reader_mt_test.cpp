// The memory stream and the memory reader filter: reads that stay inside
// the block, bytes that arrive at the stream's rate, requests served in
// order by the reader's worker, a flush, and what the output pin lets
// connect.
#include <thread>

#include "library/movie/mem_reader.h"
#include "tests/platform/dshow/dshow_fixture.h"

namespace {

using namespace dshowtest;

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> v(size);
  for (size_t i = 0; i < size; ++i) v[i] = static_cast<uint8_t>(i * 31 + i / 256);
  return v;
}

AM_MEDIA_TYPE StreamType() {
  AM_MEDIA_TYPE t{};
  t.majortype = MEDIATYPE_Stream;
  t.subtype = MEDIASUBTYPE_MPEG1Audio;
  return t;
}

class MemReaderTest : public DShowTest {};

TEST_F(MemReaderTest, TheStreamReadsInsideItsBlockOnly) {
  const std::vector<uint8_t> data = Pattern(1000);
  D_CMemStream* stream = CreateMemStream(data.data(), 1000, 0, 0xFFFFFFFF);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->SetPointer(1000), S_OK);
  EXPECT_EQ(stream->SetPointer(1001), S_FALSE);
  EXPECT_EQ(stream->SetPointer(-1), S_FALSE);
  // Still at the end: nothing more to read.
  uint8_t buffer[200];
  int32_t read = -1;
  EXPECT_EQ(stream->Read(buffer, 100, FALSE, &read), S_OK);
  EXPECT_EQ(read, 0);
  ASSERT_EQ(stream->SetPointer(950), S_OK);
  const DWORD before = timeGetTime();
  EXPECT_EQ(stream->Read(buffer, 200, FALSE, &read), S_OK);
  EXPECT_EQ(read, 50);
  EXPECT_TRUE(std::equal(buffer, buffer + 50, data.begin() + 950));
  // Without a rate nothing waits, and everything is there.
  EXPECT_EQ(timeGetTime(), before);
  int64_t available = 0;
  EXPECT_EQ(stream->Size(&available), 1000);
  EXPECT_EQ(available, 1000);
  DeleteMemStream(stream);
}

TEST_F(MemReaderTest, AtOneKilobyteASecondTenThousandBytesTakeTenSeconds) {
  const std::vector<uint8_t> data = Pattern(10000);
  D_CMemStream* stream = CreateMemStream(data.data(), 10000, 0, 1);
  const DWORD made = timeGetTime();
  int64_t available = -1;
  stream->Size(&available);
  EXPECT_EQ(available, 0);
  Advance(2000000);
  stream->Size(&available);
  EXPECT_EQ(available, 2000);
  // Sleeping on this thread moves the virtual clock.
  std::vector<uint8_t> out(10000);
  int32_t read = 0;
  ASSERT_EQ(stream->Read(out.data(), 10000, FALSE, &read), S_OK);
  EXPECT_EQ(read, 10000);
  EXPECT_GE(timeGetTime() - made, 10000u);
  EXPECT_EQ(out, data);
  DeleteMemStream(stream);
}

class ReaderFixture : public MemReaderTest {
 protected:
  void SetUp() override {
    MemReaderTest::SetUp();
    data_ = Pattern(100000);
  }
  // A reader over the data, its output pin's IAsyncReader and an allocator
  // of `size`-byte buffers agreed with it.
  void Open(uint32_t rate, LONG size = 1000) {
    stream_ = CreateMemStream(data_.data(), static_cast<uint32_t>(data_.size()), 0, rate);
    const AM_MEDIA_TYPE type = StreamType();
    int result = -1;
    reader_ = CreateMemReader(stream_, &type, &result);
    ASSERT_NE(reader_, nullptr);
    EXPECT_EQ(result, S_OK);
    reader_->AddRef();
    async_ = Query<IAsyncReader>(reader_->GetPin(0), IID_IAsyncReader);
    ASSERT_NE(async_, nullptr);
    HRESULT hr = S_OK;
    auto* mine = new D_CMemAllocator("Requests", nullptr, &hr);
    mine->AddRef();
    ALLOCATOR_PROPERTIES wanted = {4, size, 1, 0};
    ASSERT_EQ(async_->RequestAllocator(mine, &wanted, &allocator_), S_OK);
    EXPECT_EQ(allocator_, mine);  // the caller's allocator suits the stream
    mine->Release();
    ASSERT_EQ(allocator_->Commit(), S_OK);
  }
  void TearDown() override {
    if (allocator_ != nullptr) allocator_->Release();
    if (async_ != nullptr) async_->Release();
    if (reader_ != nullptr) reader_->Release();
    DeleteMemStream(stream_);
    MemReaderTest::TearDown();
  }
  IMediaSample* Sample(int64_t first, int64_t last) {
    IMediaSample* sample = nullptr;
    EXPECT_EQ(allocator_->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
    REFERENCE_TIME start = first * UNITS, stop = last * UNITS;
    sample->SetTime(&start, &stop);
    return sample;
  }
  bool Holds(IMediaSample* sample, int64_t first, int64_t count) {
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    return sample->GetActualDataLength() == count && std::equal(p, p + count, data_.begin() + first);
  }

  std::vector<uint8_t> data_;
  D_CMemStream* stream_ = nullptr;
  D_CMemReader* reader_ = nullptr;
  IAsyncReader* async_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
};

TEST_F(ReaderFixture, RequestsComeBackInOrderAndARangePastTheEndIsCut) {
  Open(0xFFFFFFFF);
  IMediaSample* a = Sample(0, 1000);
  IMediaSample* b = Sample(40000, 41000);
  IMediaSample* c = Sample(99500, 100500);
  ASSERT_EQ(async_->Request(a, 1), S_OK);
  ASSERT_EQ(async_->Request(b, 2), S_OK);
  ASSERT_EQ(async_->Request(c, 3), S_OK);
  IMediaSample* done = nullptr;
  DWORD_PTR user = 0;
  ASSERT_EQ(async_->WaitForNext(INFINITE, &done, &user), S_OK);
  EXPECT_EQ(done, a);
  EXPECT_EQ(user, 1u);
  EXPECT_TRUE(Holds(a, 0, 1000));
  ASSERT_EQ(async_->WaitForNext(INFINITE, &done, &user), S_OK);
  EXPECT_EQ(done, b);
  EXPECT_TRUE(Holds(b, 40000, 1000));
  // Cut at the end: the remaining bytes, the sample's times set anew.
  ASSERT_EQ(async_->WaitForNext(INFINITE, &done, &user), S_OK);
  EXPECT_EQ(done, c);
  EXPECT_TRUE(Holds(c, 99500, 500));
  REFERENCE_TIME start, stop;
  c->GetTime(&start, &stop);
  EXPECT_EQ(stop, 100000 * UNITS);
  EXPECT_EQ(async_->WaitForNext(0, &done, &user), VFW_E_TIMEOUT);
  EXPECT_EQ(done, nullptr);

  // Read at once on the caller's thread.
  ASSERT_EQ(async_->SyncReadAligned(a), S_OK);
  EXPECT_TRUE(Holds(a, 0, 1000));
  uint8_t bytes[100];
  EXPECT_EQ(async_->SyncRead(99950, 50, bytes), S_OK);
  EXPECT_TRUE(std::equal(bytes, bytes + 50, data_.begin() + 99950));
  EXPECT_EQ(async_->SyncRead(99990, 100, bytes), S_FALSE);  // short: ten bytes
  LONGLONG total = 0, available = 0;
  EXPECT_EQ(async_->Length(&total, &available), S_OK);
  EXPECT_EQ(total, 100000);
  EXPECT_EQ(available, 100000);
  a->Release();
  b->Release();
  c->Release();
}

TEST_F(ReaderFixture, RangesOutsideTheBlockOrTheBufferAreRefused) {
  Open(0xFFFFFFFF);
  struct Case {
    int64_t first, last;
  };
  const Case cases[] = {
      {100001, 100100},  // past the end
      {-10, 10},         // before the start
      {0, 2000},         // more than the buffer holds
      {500, 400},        // backwards
  };
  for (const Case& c : cases) {
    IMediaSample* sample = Sample(c.first, c.last);
    EXPECT_EQ(async_->Request(sample, 0), E_INVALIDARG) << c.first << ".." << c.last;
    EXPECT_EQ(async_->SyncReadAligned(sample), E_INVALIDARG) << c.first << ".." << c.last;
    sample->Release();
  }
  uint8_t bytes[10];
  EXPECT_EQ(async_->SyncRead(-1, 10, bytes), E_INVALIDARG);
  EXPECT_EQ(async_->SyncRead(100001, 1, bytes), E_INVALIDARG);
  EXPECT_EQ(async_->SyncRead(0, -1, bytes), E_INVALIDARG);

  // The engine itself: a position the stream refuses reads nothing.
  AsyncIo io(stream_);
  uint8_t buffer[100];
  ASSERT_EQ(io.Request(200000, 100, FALSE, buffer, nullptr, 7), S_OK);
  void* context = nullptr;
  DWORD_PTR user = 0;
  int32_t actual = -1;
  EXPECT_EQ(io.WaitForNext(INFINITE, &context, &user, &actual), E_FAIL);
  EXPECT_EQ(user, 7u);
  EXPECT_EQ(actual, 0);
}

TEST_F(ReaderFixture, AFlushSendsBackWhatWaitsAndRefusesNewRequests) {
  // 5 bytes a millisecond: the first thousand bytes keep the worker busy
  // for about 200 ms (the worker sleeps for real; the virtual clock stands).
  Open(5);
  IMediaSample* a = Sample(0, 1000);
  IMediaSample* b = Sample(1000, 2000);
  IMediaSample* c = Sample(2000, 3000);
  ASSERT_EQ(async_->Request(a, 1), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(async_->Request(b, 2), S_OK);
  ASSERT_EQ(async_->Request(c, 3), S_OK);
  // The queued requests come back unread first; the flush waits for the
  // one being read, which comes back read.
  ASSERT_EQ(async_->BeginFlush(), S_OK);
  EXPECT_EQ(async_->Request(a, 9), VFW_E_WRONG_STATE);
  IMediaSample* done = nullptr;
  DWORD_PTR user = 0;
  EXPECT_EQ(async_->WaitForNext(0, &done, &user), VFW_E_TIMEOUT);
  EXPECT_EQ(done, b);
  EXPECT_EQ(async_->WaitForNext(0, &done, &user), VFW_E_TIMEOUT);
  EXPECT_EQ(done, c);
  EXPECT_EQ(async_->WaitForNext(0, &done, &user), S_OK);
  EXPECT_EQ(done, a);
  EXPECT_TRUE(Holds(a, 0, 1000));
  EXPECT_EQ(async_->WaitForNext(0, &done, &user), VFW_E_WRONG_STATE);
  EXPECT_EQ(done, nullptr);
  ASSERT_EQ(async_->EndFlush(), S_OK);
  Advance(10000000);  // everything has arrived
  ASSERT_EQ(async_->Request(b, 4), S_OK);
  EXPECT_EQ(async_->WaitForNext(INFINITE, &done, &user), S_OK);
  EXPECT_EQ(user, 4u);
  EXPECT_TRUE(Holds(b, 1000, 1000));
  a->Release();
  b->Release();
  c->Release();
}

TEST_F(MemReaderTest, TheOutputPinOffersItsTypeAndConnectsOnlyToAReaderOfIt) {
  const std::vector<uint8_t> data = Pattern(100);
  D_CMemStream* stream = CreateMemStream(data.data(), 100, 0, 0xFFFFFFFF);
  const AM_MEDIA_TYPE type = StreamType();
  D_CMemReader* reader = CreateMemReader(stream, &type, nullptr);
  reader->AddRef();
  auto* pin = static_cast<AsyncOutputPin*>(reader->GetPin(0));
  EXPECT_EQ(reader->GetPinCount(), 1);
  EXPECT_EQ(reader->GetPin(1), nullptr);
  D_CMediaType offered;
  EXPECT_EQ(pin->GetMediaType(0, &offered), S_OK);
  EXPECT_EQ(offered.majortype, MEDIATYPE_Stream);
  EXPECT_EQ(offered.subtype, MEDIASUBTYPE_MPEG1Audio);
  EXPECT_EQ(pin->GetMediaType(1, &offered), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(pin->GetMediaType(-1, &offered), E_INVALIDARG);
  const D_CMediaType same = MakeType(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG1Audio);
  const D_CMediaType otherSubtype = MakeType(MEDIATYPE_Stream, MEDIASUBTYPE_PCM);
  const D_CMediaType otherMajor = MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1Audio);
  EXPECT_EQ(pin->CheckMediaType(&same), S_OK);
  EXPECT_EQ(pin->CheckMediaType(&otherSubtype), S_FALSE);
  EXPECT_EQ(pin->CheckMediaType(&otherMajor), S_FALSE);

  // Only a peer that asked for IAsyncReader may connect.
  auto* sink = new TestSink({MEDIASUBTYPE_MPEG1Audio});
  sink->AddRef();
  EXPECT_EQ(pin->CheckConnect(sink->InputPin()), E_FAIL);
  EXPECT_EQ(pin->Connect(sink->InputPin(), nullptr), E_FAIL);
  IAsyncReader* async = Query<IAsyncReader>(static_cast<IPin*>(pin), IID_IAsyncReader);
  EXPECT_EQ(pin->CheckConnect(sink->InputPin()), S_OK);
  pin->BreakConnect();
  EXPECT_EQ(pin->CheckConnect(sink->InputPin()), E_FAIL);
  async->Release();
  sink->Release();
  reader->Release();
  DeleteMemStream(stream);
}

}  // namespace
