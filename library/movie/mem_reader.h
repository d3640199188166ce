// The memory reader: a DirectShow source filter ("Mem Reader") that offers
// a block of memory to a parser through IAsyncReader. Its output pin hands
// byte ranges to a request engine whose worker thread reads them from a
// D_CMemStream; the stream can make its bytes arrive at a given rate.
//
// Reads stay inside the block: a position outside it, a negative length or
// a range larger than the sample's buffer is refused.
#pragma once

#include <cstdint>
#include <deque>

#include "platform/dshow/dshow_base.h"
#include "platform/win32/win32.h"

// A byte stream over memory it does not own.
class D_CMemStream {
 public:
  // rate: kilobytes (1000 bytes) a second at which the bytes are made to
  // arrive; 0xFFFFFFFF (and 0) for no limit.
  D_CMemStream(const uint8_t* data, int64_t length, uint32_t rate);
  ~D_CMemStream();
  D_CMemStream(const D_CMemStream&) = delete;
  D_CMemStream& operator=(const D_CMemStream&) = delete;

  // S_OK, or S_FALSE (the position unchanged) for a position below 0 or
  // beyond the length.
  HRESULT SetPointer(int64_t position);
  // At most `bytes` from the position on, after waiting until they have
  // arrived; the count read in *read. S_OK.
  HRESULT Read(uint8_t* buffer, int32_t bytes, BOOL aligned, int32_t* read);
  // The length; in *available what has arrived by now.
  int64_t Size(int64_t* available);
  int32_t Alignment() const { return 1; }
  void Lock();
  void Unlock();

 private:
  CRITICAL_SECTION lock_;
  const uint8_t* data_;
  int64_t length_;
  int64_t position_ = 0;
  uint32_t rate_;
  uint32_t startTime_;  // timeGetTime when made
};

// Null when memory runs out.
D_CMemStream* CreateMemStream(const void* data, uint32_t lengthLow, uint32_t lengthHigh, uint32_t rate);
void DeleteMemStream(D_CMemStream* stream);

// One read of the engine.
struct AsyncRequest {
  D_CMemStream* stream;
  int64_t position;
  int32_t length;
  BOOL aligned;
  BYTE* buffer;
  void* context;  // the media sample, or the caller's value
  DWORD_PTR user;
  HRESULT result;  // VFW_E_TIMEOUT until it is completed
  int32_t actual;
};

// The request engine: requests queue on a work list and are completed by a
// worker thread (started with the first) onto a done list.
class AsyncIo {
 public:
  explicit AsyncIo(D_CMemStream* stream);
  ~AsyncIo();  // stops the worker and waits for it
  AsyncIo(const AsyncIo&) = delete;
  AsyncIo& operator=(const AsyncIo&) = delete;

  HRESULT Request(int64_t position, int32_t length, BOOL aligned, BYTE* buffer, void* context, DWORD_PTR user);
  // The next completed request: S_OK, E_FAIL for a read that came short
  // before the end, VFW_E_TIMEOUT (and no request), VFW_E_WRONG_STATE while
  // flushing with nothing done, or the request's own failure.
  HRESULT WaitForNext(DWORD timeout, void** context, DWORD_PTR* user, int32_t* actual);
  HRESULT SyncReadAligned(int64_t position, int32_t length, BYTE* buffer, int32_t* actual, void* context);
  HRESULT SyncRead(int64_t position, int32_t length, BYTE* buffer);
  HRESULT Length(int64_t* total, int64_t* available);
  // Queued requests go to the done list uncompleted; waits for the ones
  // being read.
  HRESULT BeginFlush();
  HRESULT EndFlush();
  int32_t Alignment() const { return stream_->Alignment(); }
  bool IsAligned(int64_t value) const { return value % Alignment() == 0; }

 private:
  static DWORD WorkerEntry(LPVOID self);
  void Worker();
  void ProcessRequests();
  void Complete(AsyncRequest* request);

  CRITICAL_SECTION listLock_;
  D_CMemStream* stream_;
  std::deque<AsyncRequest*> work_;
  std::deque<AsyncRequest*> done_;
  D_CAMEvent workEvent_{true};     // set while work is queued
  D_CAMEvent doneEvent_{true};     // set while requests are done
  D_CAMEvent allDoneEvent_{true};  // the last request in progress finished during a flush
  D_CAMEvent stopEvent_{false};
  HANDLE thread_ = nullptr;
  bool flushing_ = false;
  int32_t inProgress_ = 0;
  bool waitingForFlush_ = false;
};

class D_CMemReader;

// The reader's output pin.
class AsyncOutputPin : public D_CBasePin, public IAsyncReader {
 public:
  AsyncOutputPin(D_CMemReader* reader, AsyncIo* io, D_CCritSec* lock, HRESULT* result);
  D_DECLARE_IUNKNOWN
  // Asking for IAsyncReader is what lets a peer connect.
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT GetMediaType(int position, D_CMediaType* mediaType) override;
  HRESULT CheckMediaType(const D_CMediaType* mediaType) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT InitAllocator(IMemAllocator** allocator);

  HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                           IMemAllocator** actual) override;
  HRESULT Request(IMediaSample* sample, DWORD_PTR user) override;
  HRESULT WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user) override;
  HRESULT SyncReadAligned(IMediaSample* sample) override;
  HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override;
  HRESULT Length(LONGLONG* total, LONGLONG* available) override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  // The byte range a sample's times ask for, cut at the end of the stream
  // (the sample's times then set anew); false when it lies outside the
  // stream or the sample's buffer.
  bool RangeOf(IMediaSample* sample, int64_t* position, int32_t* length, BYTE** buffer);

  D_CMemReader* reader_;
  AsyncIo* io_;
  bool queriedForAsyncReader_ = false;
};

// {C553F2C0-1529-11D0-B4D1-00805F6CBBEA}
extern const CLSID CLSID_D_CMemReader;

class D_CMemReader : public D_CBaseFilter {
 public:
  D_CMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* mediaType, HRESULT* result);
  ~D_CMemReader() override;
  int GetPinCount() override { return 1; }
  D_CBasePin* GetPin(int index) override;
  const D_CMediaType* MediaType() const { return &mediaType_; }

 private:
  D_CCritSec lock_;
  AsyncIo io_;
  AsyncOutputPin pin_;
  D_CMediaType mediaType_;
};

// A new reader without references over the stream (which it does not own),
// offering the media type; null (E_OUTOFMEMORY in result) when memory runs
// out.
D_CMemReader* CreateMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* mediaType, int* result);
