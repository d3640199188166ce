// Renderers: samples rendered when their time comes on the graph's clock.
#include "platform/dshow/dshow_base.h"
#include "platform/win32/win32_time.h"

D_CBaseRenderer::D_CBaseRenderer(const CLSID& classId, const char* objectName, IUnknown* outer, HRESULT* result)
    : D_CBaseFilter(objectName, outer, &interfaceLock_, classId) {
  input_ = new D_CRendererInputPin(this, result, u"In");
  position_ = new D_CRendererPosPassThru("Renderer position", static_cast<IBaseFilter*>(this), result, input_);
}

D_CBaseRenderer::~D_CBaseRenderer() {
  delete position_;
  delete input_;
}

HRESULT D_CBaseRenderer::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IID_IMediaSeeking) return D_GetInterface(static_cast<IMediaSeeking*>(position_), out);
  return D_CBaseFilter::NonDelegatingQueryInterface(iid, out);
}

D_CBasePin* D_CBaseRenderer::GetPin(int index) { return index == 0 ? input_ : nullptr; }

D_CRendererInputPin* D_CBaseRenderer::InputPin() { return input_; }

HRESULT D_CBaseRenderer::Stop() {
  D_CAutoLock lock(&interfaceLock_);
  {
    std::lock_guard<std::mutex> render(renderMutex_);
    state_ = State_Stopped;
    ended_ = cueing_ = false;
    lastStop_ = 0;
  }
  renderChanged_.notify_all();
  if (input_->IsConnected()) input_->Inactive();
  position_->ResetMediaTime();
  OnStateChanged(State_Stopped);
  return S_OK;
}

HRESULT D_CBaseRenderer::Pause() {
  D_CAutoLock lock(&interfaceLock_);
  if (state_.load() == State_Stopped) {
    if (input_->IsConnected()) {
      const HRESULT hr = input_->Active();
      if (FAILED(hr)) return hr;
    }
    position_->ResetMediaTime();
  }
  {
    std::lock_guard<std::mutex> render(renderMutex_);
    if (state_.load() == State_Stopped) {
      ended_ = false;
      cueing_ = true;
      lastStop_ = 0;
    }
    state_ = State_Paused;
  }
  renderChanged_.notify_all();
  OnStateChanged(State_Paused);
  return S_OK;
}

HRESULT D_CBaseRenderer::Run(REFERENCE_TIME start) {
  D_CAutoLock lock(&interfaceLock_);
  if (state_.load() == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  {
    std::lock_guard<std::mutex> render(renderMutex_);
    start_ = start;
    state_ = State_Running;
    cueing_ = false;
  }
  renderChanged_.notify_all();
  OnStateChanged(State_Running);
  return S_OK;
}

bool D_CBaseRenderer::DueNow(REFERENCE_TIME streamTime, DWORD* waitMilliseconds) {
  IReferenceClock* clock = Clock();
  if (clock == nullptr) return true;
  REFERENCE_TIME now = 0;
  const bool ticking = SUCCEEDED(clock->GetTime(&now));
  clock->Release();
  if (!ticking) return true;
  const REFERENCE_TIME due = StartTime() + streamTime;
  if (now >= due) return true;
  // The virtual clock of the tests moves in jumps: look again soon.
  const REFERENCE_TIME left = (due - now) / 10000 + 1;
  *waitMilliseconds = PlatformVirtualClockActive() ? 1 : static_cast<DWORD>(left < 100 ? left : 100);
  return false;
}

HRESULT D_CBaseRenderer::Receive(IMediaSample* sample) {
  std::unique_lock<std::mutex> lock(renderMutex_);
  if (ended_) return VFW_E_SAMPLE_REJECTED_EOS;
  if (sample->IsPreroll() == S_OK) return S_OK;
  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = sample->GetTime(&start, &stop) >= 0;
  // A pause from stopped, or a flush while paused, shows the first sample
  // that comes as the picture of the pause; it is not rendered again when
  // its time comes. A pause of a running renderer holds its samples.
  bool shown = false;
  if (state_.load() == State_Paused && cueing_ && !flushing_) {
    cueing_ = false;
    lock.unlock();
    OnReceiveFirstSample(sample);
    shown = PosterRendered();
    lock.lock();
  }
  for (;;) {
    if (flushing_) return S_FALSE;
    const FILTER_STATE state = state_.load();
    if (state == State_Stopped) return VFW_E_WRONG_STATE;
    if (state == State_Paused) {
      renderChanged_.wait_for(lock, std::chrono::milliseconds(100));
      continue;
    }
    DWORD wait = 0;
    if (!timed || DueNow(start - RenderLead(), &wait)) break;
    renderChanged_.wait_for(lock, std::chrono::milliseconds(wait));
  }
  if (timed) lastStop_ = stop;
  lock.unlock();
  if (timed) position_->RegisterMediaTime(input_->SegmentStart() + start);
  return shown ? S_OK : DoRenderSample(sample);
}

HRESULT D_CBaseRenderer::EndOfStream() {
  std::unique_lock<std::mutex> lock(renderMutex_);
  // The end comes when the clock reaches the end of the last sample.
  for (;;) {
    if (flushing_ || state_.load() == State_Stopped) return S_OK;
    if (state_.load() == State_Paused) {
      renderChanged_.wait_for(lock, std::chrono::milliseconds(100));
      continue;
    }
    DWORD wait = 0;
    if (DueNow(lastStop_, &wait)) break;
    renderChanged_.wait_for(lock, std::chrono::milliseconds(wait));
  }
  ended_ = true;
  position_->EndOfStream();
  NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
  return S_OK;
}

HRESULT D_CBaseRenderer::BeginFlush() {
  {
    std::lock_guard<std::mutex> lock(renderMutex_);
    flushing_ = true;
  }
  renderChanged_.notify_all();
  return S_OK;
}

HRESULT D_CBaseRenderer::EndFlush() {
  {
    std::lock_guard<std::mutex> lock(renderMutex_);
    flushing_ = false;
    ended_ = false;
    cueing_ = state_.load() == State_Paused;
    lastStop_ = 0;
  }
  position_->ResetMediaTime();
  return S_OK;
}

bool D_CBaseRenderer::RenderAborted() {
  std::lock_guard<std::mutex> lock(renderMutex_);
  return flushing_ || state_.load() == State_Stopped;
}

void D_CBaseRenderer::WaitForChange(DWORD milliseconds) {
  std::unique_lock<std::mutex> lock(renderMutex_);
  if (flushing_ || state_.load() == State_Stopped) return;
  renderChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds));
}

// ---------------------------------------------------------------- input pin

D_CRendererInputPin::D_CRendererInputPin(D_CBaseRenderer* renderer, HRESULT* result, const char16_t* pinName)
    : D_CBaseInputPin("Renderer input pin", renderer, renderer->FilterLock(), result, pinName),
      renderer_(renderer) {}

HRESULT D_CRendererInputPin::CheckMediaType(const D_CMediaType* mediaType) {
  return renderer_->CheckMediaType(mediaType);
}

HRESULT D_CRendererInputPin::SetMediaType(const D_CMediaType* mediaType) {
  const HRESULT hr = D_CBaseInputPin::SetMediaType(mediaType);
  return FAILED(hr) ? hr : renderer_->SetMediaType(mediaType);
}

HRESULT D_CRendererInputPin::CompleteConnect(IPin* pin) {
  const HRESULT hr = D_CBaseInputPin::CompleteConnect(pin);
  return FAILED(hr) ? hr : renderer_->CompleteConnect(pin);
}

HRESULT D_CRendererInputPin::BreakConnect() {
  renderer_->BreakConnect();
  return D_CBaseInputPin::BreakConnect();
}

HRESULT D_CRendererInputPin::Receive(IMediaSample* sample) {
  const HRESULT hr = D_CBaseInputPin::Receive(sample);
  return hr == S_OK ? renderer_->Receive(sample) : hr;
}

HRESULT D_CRendererInputPin::EndOfStream() {
  const HRESULT hr = CheckStreaming();
  return hr == S_OK ? renderer_->EndOfStream() : hr;
}

HRESULT D_CRendererInputPin::BeginFlush() {
  D_CBaseInputPin::BeginFlush();
  return renderer_->BeginFlush();
}

HRESULT D_CRendererInputPin::EndFlush() {
  const HRESULT hr = renderer_->EndFlush();
  D_CBaseInputPin::EndFlush();
  return hr;
}

// ---------------------------------------------------------------- video

D_CBaseVideoRenderer::D_CBaseVideoRenderer(const CLSID& classId, const char* objectName, IUnknown* outer,
                                           HRESULT* result)
    : D_CBaseRenderer(classId, objectName, outer, result) {}

void D_CBaseVideoRenderer::OnReceiveFirstSample(IMediaSample* sample) { DoRenderSample(sample); }
