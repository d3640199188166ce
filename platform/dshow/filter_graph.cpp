// The filter graph manager: filters and their names, intelligent connection
// and rendering, state changes from the renderers up, the clock and the
// stream time, seeking through the renderers, and the event queue.
#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>

#include "platform/dshow/filters_internal.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32_sync.h"
#include "platform/win32/win32_time.h"
#include "platform/win32/win32_wide.h"

namespace {

// How many filters deep the builder goes from one pin.
constexpr int kMaxDepth = 8;

class SystemClock : public D_CUnknown, public IReferenceClock {
 public:
  SystemClock() : D_CUnknown("SystemClock", nullptr) {}
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IReferenceClock || iid == IID_IUnknown)
      return D_GetInterface(static_cast<IReferenceClock*>(this), out);
    return D_CUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT GetTime(REFERENCE_TIME* time) override {
    if (time == nullptr) return E_POINTER;
    *time = PlatformCounterMicroseconds() * 10;
    return S_OK;
  }
};

class FilterEnumerator : public D_CUnknown, public IEnumFilters {
 public:
  explicit FilterEnumerator(std::vector<IBaseFilter*> filters)
      : D_CUnknown("EnumFilters", nullptr), filters_(std::move(filters)) {
    for (IBaseFilter* f : filters_) f->AddRef();
  }
  ~FilterEnumerator() override {
    for (IBaseFilter* f : filters_) f->Release();
  }
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IEnumFilters || iid == IID_IUnknown) return D_GetInterface(static_cast<IEnumFilters*>(this), out);
    return D_CUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) override {
    if (filters == nullptr) return E_POINTER;
    ULONG n = 0;
    while (n < count && position_ < filters_.size()) {
      filters[n] = filters_[position_++];
      filters[n]->AddRef();
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    position_ += count;
    return position_ <= filters_.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }

 private:
  std::vector<IBaseFilter*> filters_;
  size_t position_ = 0;
};

struct GraphEvent {
  long code;
  LONG_PTR param1, param2;
};

class FilterGraph : public D_CUnknown,
                    public IGraphBuilder,
                    public IMediaControl,
                    public IMediaEvent,
                    public IMediaEventSink,
                    public IMediaSeeking,
                    public IMediaFilter,
                    public IBasicAudio {
 public:
  FilterGraph() : D_CUnknown("FilterGraph", nullptr) {}
  ~FilterGraph() override {
    Stop();
    for (Entry& e : filters_) DisconnectAll(e.filter);
    for (Entry& e : filters_) {
      e.filter->JoinFilterGraph(nullptr, nullptr);
      e.filter->Release();
    }
    if (clock_ != nullptr) clock_->Release();
  }
  D_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IFilterGraph || iid == IID_IGraphBuilder)
      return D_GetInterface(static_cast<IGraphBuilder*>(this), out);
    if (iid == IID_IMediaControl) return D_GetInterface(static_cast<IMediaControl*>(this), out);
    if (iid == IID_IMediaEvent) return D_GetInterface(static_cast<IMediaEvent*>(this), out);
    if (iid == IID_IMediaEventSink) return D_GetInterface(static_cast<IMediaEventSink*>(this), out);
    if (iid == IID_IMediaSeeking) return D_GetInterface(static_cast<IMediaSeeking*>(this), out);
    if (iid == IID_IMediaFilter || iid == IID_IPersist) return D_GetInterface(static_cast<IMediaFilter*>(this), out);
    if (iid == IID_IBasicAudio) return D_GetInterface(static_cast<IBasicAudio*>(this), out);
    return D_CUnknown::NonDelegatingQueryInterface(iid, out);
  }

  // ---------------------------------------------------------------- filters

  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override {
    if (filter == nullptr) return E_POINTER;
    D_CAutoLock lock(&lock_);
    for (Entry& e : filters_)
      if (e.filter == filter) return E_INVALIDARG;
    std::u16string wanted = name != nullptr && name[0] != 0 ? std::u16string(name) : u"Filter";
    std::u16string unique = wanted;
    for (int n = 1; FindByName(unique) != nullptr; ++n) {
      char suffix[8];
      snprintf(suffix, sizeof suffix, " %04d", n);
      unique = wanted;
      for (const char* c = suffix; *c != 0; ++c) unique.push_back(static_cast<char16_t>(*c));
    }
    const HRESULT hr = filter->JoinFilterGraph(this, unique.c_str());
    if (FAILED(hr)) return hr;
    filter->AddRef();
    filters_.push_back({filter, unique});
    return unique == wanted ? S_OK : VFW_S_DUPLICATE_NAME;
  }

  HRESULT RemoveFilter(IBaseFilter* filter) override {
    D_CAutoLock lock(&lock_);
    auto it = std::find_if(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter == filter; });
    if (it == filters_.end()) return VFW_E_NOT_FOUND;
    if (state_ != State_Stopped) filter->Stop();
    DisconnectAll(filter);
    filter->JoinFilterGraph(nullptr, nullptr);
    filters_.erase(it);
    filter->Release();
    return S_OK;
  }

  HRESULT EnumFilters(IEnumFilters** filters) override {
    if (filters == nullptr) return E_POINTER;
    D_CAutoLock lock(&lock_);
    std::vector<IBaseFilter*> list;
    for (Entry& e : filters_) list.push_back(e.filter);
    *filters = new FilterEnumerator(std::move(list));
    (*filters)->AddRef();
    return S_OK;
  }

  HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override {
    if (name == nullptr || filter == nullptr) return E_POINTER;
    D_CAutoLock lock(&lock_);
    *filter = FindByName(name);
    if (*filter == nullptr) return VFW_E_NOT_FOUND;
    (*filter)->AddRef();
    return S_OK;
  }

  HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* mediaType) override {
    if (output == nullptr || input == nullptr) return E_POINTER;
    D_CAutoLock lock(&lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (DirectionOf(output) != PINDIR_OUTPUT || DirectionOf(input) != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    return output->Connect(input, mediaType);
  }

  HRESULT Disconnect(IPin* pin) override {
    if (pin == nullptr) return E_POINTER;
    D_CAutoLock lock(&lock_);
    return pin->Disconnect();
  }

  // ---------------------------------------------------------------- building

  HRESULT Connect(IPin* output, IPin* input) override {
    if (output == nullptr || input == nullptr) return E_POINTER;
    D_CAutoLock lock(&lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (DirectionOf(output) != PINDIR_OUTPUT || DirectionOf(input) != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    return ConnectVia(output, input, 0);
  }

  HRESULT Render(IPin* output) override {
    if (output == nullptr) return E_POINTER;
    D_CAutoLock lock(&lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (DirectionOf(output) != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    IPin* peer = nullptr;
    if (SUCCEEDED(output->ConnectedTo(&peer))) {
      peer->Release();
      return VFW_E_ALREADY_CONNECTED;
    }
    return RenderPin(output, 0);
  }

  HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override {
    if (file == nullptr) return E_POINTER;
    if (playList != nullptr) return E_INVALIDARG;
    D_CAutoLock lock(&lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    IBaseFilter* source = nullptr;
    HRESULT hr = AddSourceFilter(file, file, &source);
    if (FAILED(hr)) return hr;
    hr = RenderOutputs(source, 0);
    if (FAILED(hr)) RemoveFilter(source);
    source->Release();
    return hr;
  }

  HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR name, IBaseFilter** filter) override {
    if (file == nullptr || filter == nullptr) return E_POINTER;
    *filter = nullptr;
    D_CAutoLock lock(&lock_);
    IBaseFilter* source = nullptr;
    HRESULT hr = CreateFileSourceFilter(MapUtf8PathToHost(WideToUtf8(file)), &source);
    if (FAILED(hr)) return hr;
    hr = AddFilter(source, name != nullptr ? name : file);
    if (FAILED(hr)) {
      source->Release();
      return hr;
    }
    *filter = source;
    return S_OK;
  }

  // ---------------------------------------------------------------- control

  HRESULT Run() override {
    D_CAutoLock lock(&lock_);
    if (state_ == State_Running) return S_OK;
    if (state_ == State_Stopped) {
      const HRESULT hr = Pause();
      if (FAILED(hr)) return hr;
    }
    const REFERENCE_TIME now = ClockTime();
    start_ = restartStreamTime_ ? now : now - pausedStreamTime_;
    restartStreamTime_ = false;
    for (IBaseFilter* f : DownstreamFirst()) {
      const HRESULT hr = f->Run(start_);
      if (FAILED(hr)) {
        Stop();
        return hr;
      }
    }
    state_ = State_Running;
    return S_OK;
  }

  HRESULT Pause() override {
    D_CAutoLock lock(&lock_);
    if (state_ == State_Paused) return S_OK;
    if (state_ == State_Running) {
      pausedStreamTime_ = ClockTime() - start_;
    } else {
      // From stopped: the clock goes to every filter, the stream starts at 0
      // and the renderers are counted for the completion.
      if (!clockChosen_ && clock_ == nullptr) CreateSystemClock(&clock_);
      for (Entry& e : filters_) e.filter->SetSyncSource(clock_);
      restartStreamTime_ = true;
      ResetCompletion();
    }
    for (IBaseFilter* f : DownstreamFirst()) {
      const HRESULT hr = f->Pause();
      if (FAILED(hr)) {
        Stop();
        return hr;
      }
    }
    state_ = State_Paused;
    return S_OK;
  }

  HRESULT Stop() override {
    D_CAutoLock lock(&lock_);
    for (IBaseFilter* f : DownstreamFirst()) f->Stop();
    state_ = State_Stopped;
    restartStreamTime_ = true;
    return S_OK;
  }

  HRESULT GetState(LONG, OAFilterState* state) override {
    if (state == nullptr) return E_POINTER;
    *state = state_;
    return S_OK;
  }

  // ---------------------------------------------------------------- IMediaFilter

  HRESULT GetClassID(CLSID* classId) override {
    if (classId == nullptr) return E_POINTER;
    *classId = CLSID_FilterGraph;
    return S_OK;
  }
  HRESULT Run(REFERENCE_TIME) override { return Run(); }
  HRESULT GetState(DWORD, FILTER_STATE* state) override {
    if (state == nullptr) return E_POINTER;
    *state = static_cast<FILTER_STATE>(state_.load());
    return S_OK;
  }
  HRESULT SetSyncSource(IReferenceClock* clock) override {
    D_CAutoLock lock(&lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (clock != nullptr) clock->AddRef();
    if (clock_ != nullptr) clock_->Release();
    clock_ = clock;
    clockChosen_ = true;
    for (Entry& e : filters_) e.filter->SetSyncSource(clock_);
    return S_OK;
  }
  HRESULT GetSyncSource(IReferenceClock** clock) override {
    if (clock == nullptr) return E_POINTER;
    D_CAutoLock lock(&lock_);
    *clock = clock_;
    if (clock_ != nullptr) clock_->AddRef();
    return S_OK;
  }

  // ---------------------------------------------------------------- events

  HRESULT Notify(long code, LONG_PTR param1, LONG_PTR param2) override {
    {
      std::lock_guard<std::mutex> lock(eventMutex_);
      if (code == EC_COMPLETE) {
        // One completion for the graph, once every renderer has ended.
        if (++completed_ < renderers_ || completionCode_ != 0) return S_OK;
        param1 = S_OK;
        param2 = 0;
      }
      if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT) {
        if (completionCode_ == 0) completionCode_ = code;
      }
      events_.push_back({code, param1, param2});
    }
    eventArrived_.notify_all();
    return S_OK;
  }

  HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long milliseconds) override {
    if (code == nullptr || param1 == nullptr || param2 == nullptr) return E_POINTER;
    std::unique_lock<std::mutex> lock(eventMutex_);
    auto any = [&] { return !events_.empty(); };
    if (milliseconds < 0)
      eventArrived_.wait(lock, any);
    else if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(milliseconds), any))
      return E_ABORT;
    *code = events_.front().code;
    *param1 = events_.front().param1;
    *param2 = events_.front().param2;
    events_.pop_front();
    return S_OK;
  }

  HRESULT WaitForCompletion(long milliseconds, long* code) override {
    if (code == nullptr) return E_POINTER;
    *code = 0;
    if (state_ != State_Running) return VFW_E_WRONG_STATE;
    std::unique_lock<std::mutex> lock(eventMutex_);
    auto done = [&] { return completionCode_ != 0; };
    if (milliseconds < 0)
      eventArrived_.wait(lock, done);
    else if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(milliseconds), done))
      return E_ABORT;
    *code = completionCode_;
    return S_OK;
  }

  HRESULT FreeEventParams(long, LONG_PTR, LONG_PTR) override { return S_OK; }

  // ---------------------------------------------------------------- seeking

  HRESULT GetDuration(LONGLONG* duration) override {
    if (duration == nullptr) return E_POINTER;
    return Gather([](IMediaSeeking* s, LONGLONG* v) { return s->GetDuration(v); }, duration, true);
  }
  HRESULT GetStopPosition(LONGLONG* stop) override {
    if (stop == nullptr) return E_POINTER;
    return Gather([](IMediaSeeking* s, LONGLONG* v) { return s->GetStopPosition(v); }, stop, true);
  }
  HRESULT GetCurrentPosition(LONGLONG* current) override {
    if (current == nullptr) return E_POINTER;
    // The stream is as far as its slowest renderer.
    return Gather([](IMediaSeeking* s, LONGLONG* v) { return s->GetCurrentPosition(v); }, current, false);
  }

  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override {
    D_CAutoLock lock(&lock_);
    const bool running = state_ == State_Running;
    if (running) {
      // The new position plays from now on: filters running on take the
      // new stream time before the old samples are flushed, so that none of
      // those comes due on the way.
      start_ = ClockTime();
      restartStreamTime_ = false;
      for (IBaseFilter* f : DownstreamFirst()) f->Run(start_);
    }
    HRESULT result = E_NOTIMPL;
    for (IMediaSeeking* s : RendererSeeking()) {
      const HRESULT hr = s->SetPositions(current, currentFlags, stop, stopFlags);
      s->Release();
      if (SUCCEEDED(hr) || result == E_NOTIMPL) result = hr;
    }
    if ((currentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning) {
      // The new position plays from stream time 0.
      if (!running) restartStreamTime_ = true;
      pausedStreamTime_ = 0;
      ResetCompletion();
    }
    return result;
  }

  // ---------------------------------------------------------------- audio

  HRESULT put_Volume(long volume) override {
    D_CAutoLock lock(&lock_);
    HRESULT result = E_NOTIMPL;
    for (Entry& e : filters_) {
      void* audio = nullptr;
      if (FAILED(e.filter->QueryInterface(IID_IBasicAudio, &audio))) continue;
      const HRESULT hr = static_cast<IBasicAudio*>(audio)->put_Volume(volume);
      static_cast<IBasicAudio*>(audio)->Release();
      if (result == E_NOTIMPL || FAILED(hr)) result = hr;
    }
    return result;
  }
  HRESULT get_Volume(long* volume) override {
    if (volume == nullptr) return E_POINTER;
    D_CAutoLock lock(&lock_);
    for (Entry& e : filters_) {
      void* audio = nullptr;
      if (FAILED(e.filter->QueryInterface(IID_IBasicAudio, &audio))) continue;
      const HRESULT hr = static_cast<IBasicAudio*>(audio)->get_Volume(volume);
      static_cast<IBasicAudio*>(audio)->Release();
      return hr;
    }
    return E_NOTIMPL;
  }

 private:
  struct Entry {
    IBaseFilter* filter;
    std::u16string name;
  };

  IBaseFilter* FindByName(const std::u16string& name) {
    for (Entry& e : filters_)
      if (e.name == name) return e.filter;
    return nullptr;
  }

  static void DisconnectAll(IBaseFilter* filter) {
    std::vector<IPin*> pins = ListPins(filter);
    for (IPin* pin : pins) {
      IPin* peer = nullptr;
      if (SUCCEEDED(pin->ConnectedTo(&peer))) {
        peer->Disconnect();
        peer->Release();
      }
      pin->Disconnect();
    }
    ReleasePins(pins);
  }

  static bool IsRenderer(IBaseFilter* filter) {
    std::vector<IPin*> pins = ListPins(filter);
    bool connectedInput = false, output = false;
    for (IPin* pin : pins) {
      if (DirectionOf(pin) == PINDIR_OUTPUT) {
        output = true;
        continue;
      }
      IPin* peer = nullptr;
      if (SUCCEEDED(pin->ConnectedTo(&peer))) {
        connectedInput = true;
        peer->Release();
      }
    }
    ReleasePins(pins);
    return connectedInput && !output;
  }

  // The filters ordered so that each comes before the filters upstream of it.
  std::vector<IBaseFilter*> DownstreamFirst() {
    std::map<IBaseFilter*, int> depth;
    for (Entry& e : filters_) depth[e.filter] = 0;
    // Depth from the sources, relaxed until it settles (graphs are small
    // and have no cycles; the bound guards against one anyway).
    for (size_t pass = 0; pass <= filters_.size(); ++pass) {
      bool changed = false;
      for (Entry& e : filters_) {
        std::vector<IPin*> pins = ListPins(e.filter);
        for (IPin* pin : pins) {
          if (DirectionOf(pin) != PINDIR_INPUT) continue;
          IPin* peer = nullptr;
          if (FAILED(pin->ConnectedTo(&peer))) continue;
          IBaseFilter* upstream = FilterOf(peer);
          peer->Release();
          if (upstream == nullptr) continue;
          auto it = depth.find(upstream);
          if (it != depth.end() && depth[e.filter] < it->second + 1) {
            depth[e.filter] = it->second + 1;
            changed = true;
          }
          upstream->Release();
        }
        ReleasePins(pins);
      }
      if (!changed) break;
    }
    std::vector<IBaseFilter*> order;
    for (Entry& e : filters_) order.push_back(e.filter);
    std::stable_sort(order.begin(), order.end(), [&](IBaseFilter* a, IBaseFilter* b) { return depth[a] > depth[b]; });
    return order;
  }

  REFERENCE_TIME ClockTime() {
    REFERENCE_TIME now = 0;
    if (clock_ != nullptr) clock_->GetTime(&now);
    return now;
  }

  void ResetCompletion() {
    int renderers = 0;
    for (Entry& e : filters_)
      if (IsRenderer(e.filter)) ++renderers;
    std::lock_guard<std::mutex> lock(eventMutex_);
    renderers_ = renderers;
    completed_ = 0;
    completionCode_ = 0;
  }

  // The renderers' seeking interfaces, each with a reference.
  std::vector<IMediaSeeking*> RendererSeeking() {
    std::vector<IMediaSeeking*> list;
    for (Entry& e : filters_) {
      if (!IsRenderer(e.filter)) continue;
      void* seeking = nullptr;
      if (SUCCEEDED(e.filter->QueryInterface(IID_IMediaSeeking, &seeking)))
        list.push_back(static_cast<IMediaSeeking*>(seeking));
    }
    return list;
  }

  // The largest (or smallest) answer of the renderers that give one.
  template <typename Ask>
  HRESULT Gather(Ask ask, LONGLONG* out, bool largest) {
    D_CAutoLock lock(&lock_);
    HRESULT result = E_NOTIMPL;
    bool have = false;
    for (IMediaSeeking* s : RendererSeeking()) {
      LONGLONG value = 0;
      const HRESULT hr = ask(s, &value);
      s->Release();
      if (FAILED(hr)) {
        if (!have) result = hr;
        continue;
      }
      if (!have || (largest ? value > *out : value < *out)) *out = value;
      have = true;
      result = S_OK;
    }
    return result;
  }

  // Connects output to input directly, or through filters of the table.
  HRESULT ConnectVia(IPin* output, IPin* input, int depth) {
    HRESULT hr = output->Connect(input, nullptr);
    if (SUCCEEDED(hr) || depth >= kMaxDepth) return hr;
    for (int i = 0; i < RegisteredFilterCount; ++i) {
      const RegisteredFilter& r = RegisteredFilters[i];
      if (!OffersTypeFor(output, r)) continue;
      IBaseFilter* middle = nullptr;
      if (FAILED(r.create(&middle))) continue;
      if (FAILED(AddFilter(middle, r.name))) {
        middle->Release();
        continue;
      }
      bool done = false;
      if (ConnectInputs(output, middle)) {
        std::vector<IPin*> pins = ListPins(middle);
        for (IPin* pin : pins) {
          if (DirectionOf(pin) != PINDIR_OUTPUT || IsPinConnected(pin)) continue;
          if (SUCCEEDED(ConnectVia(pin, input, depth + 1))) {
            done = true;
            break;
          }
        }
        ReleasePins(pins);
      }
      if (done) {
        middle->Release();
        return S_OK;
      }
      RemoveFilter(middle);
      middle->Release();
    }
    return FAILED(hr) ? hr : VFW_E_CANNOT_CONNECT;
  }

  static bool IsPinConnected(IPin* pin) {
    IPin* peer = nullptr;
    if (FAILED(pin->ConnectedTo(&peer))) return false;
    peer->Release();
    return true;
  }

  // Connects output to the first free input pin of the filter that takes it.
  static bool ConnectInputs(IPin* output, IBaseFilter* filter) {
    std::vector<IPin*> pins = ListPins(filter);
    bool connected = false;
    for (IPin* pin : pins) {
      if (DirectionOf(pin) != PINDIR_INPUT || IsPinConnected(pin)) continue;
      if (SUCCEEDED(output->Connect(pin, nullptr))) {
        connected = true;
        break;
      }
    }
    ReleasePins(pins);
    return connected;
  }

  // True when one of the output pin's types is an input type of the entry.
  static bool OffersTypeFor(IPin* output, const RegisteredFilter& entry) {
    IEnumMediaTypes* types = nullptr;
    if (FAILED(output->EnumMediaTypes(&types))) return false;
    bool match = false;
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    while (!match && types->Next(1, &type, &fetched) == S_OK && fetched == 1) {
      for (const auto& in : entry.inputs) {
        if (in[0] == nullptr) break;
        if (type->majortype == *in[0] && type->subtype == *in[1]) match = true;
      }
      DeleteMediaType(type);
    }
    types->Release();
    return match;
  }

  // Ends the stream of the output pin in a renderer: through the filters in
  // the graph first, then through filters of the table. Whatever a failed
  // attempt added or connected is taken away again.
  HRESULT RenderPin(IPin* output, int depth) {
    if (depth >= kMaxDepth) return VFW_E_CANNOT_RENDER;
    IBaseFilter* own = FilterOf(output);
    std::vector<IBaseFilter*> present;
    for (Entry& e : filters_)
      if (e.filter != own) present.push_back(e.filter);
    if (own != nullptr) own->Release();
    for (IBaseFilter* f : present) {
      f->AddRef();
      const HRESULT hr = TryFilter(output, f, depth);
      f->Release();
      if (SUCCEEDED(hr)) return hr;
    }
    for (int i = 0; i < RegisteredFilterCount; ++i) {
      const RegisteredFilter& r = RegisteredFilters[i];
      if (!OffersTypeFor(output, r)) continue;
      IBaseFilter* added = nullptr;
      if (FAILED(r.create(&added))) continue;
      if (FAILED(AddFilter(added, r.name))) {
        added->Release();
        continue;
      }
      const HRESULT hr = TryFilter(output, added, depth);
      if (FAILED(hr)) RemoveFilter(added);
      added->Release();
      if (SUCCEEDED(hr)) return hr;
    }
    return VFW_E_CANNOT_RENDER;
  }

  // Connects the output pin to a free input of the filter and renders the
  // filter's outputs.
  HRESULT TryFilter(IPin* output, IBaseFilter* filter, int depth) {
    std::vector<IPin*> pins = ListPins(filter);
    HRESULT result = VFW_E_CANNOT_CONNECT;
    for (IPin* pin : pins) {
      if (DirectionOf(pin) != PINDIR_INPUT || IsPinConnected(pin)) continue;
      if (FAILED(output->Connect(pin, nullptr))) continue;
      const HRESULT hr = RenderOutputs(filter, depth + 1);
      if (SUCCEEDED(hr)) {
        result = hr;
        break;
      }
      output->Disconnect();
      pin->Disconnect();
      result = hr;
    }
    ReleasePins(pins);
    return result;
  }

  // Renders every free output pin of the filter: S_OK when all found a
  // renderer (or it has none), VFW_S_PARTIAL_RENDER when some did (or one
  // did only in part).
  HRESULT RenderOutputs(IBaseFilter* filter, int depth) {
    std::vector<IPin*> pins = ListPins(filter);
    int outputs = 0, rendered = 0;
    bool partial = false;
    for (IPin* pin : pins) {
      if (DirectionOf(pin) != PINDIR_OUTPUT || IsPinConnected(pin)) continue;
      ++outputs;
      const HRESULT hr = RenderPin(pin, depth);
      if (SUCCEEDED(hr)) ++rendered;
      if (hr == VFW_S_PARTIAL_RENDER) partial = true;
    }
    ReleasePins(pins);
    if (outputs == 0) return S_OK;
    if (rendered == 0) return VFW_E_CANNOT_RENDER;
    return rendered == outputs && !partial ? S_OK : VFW_S_PARTIAL_RENDER;
  }

  D_CCritSec lock_;
  std::vector<Entry> filters_;
  std::atomic<OAFilterState> state_{State_Stopped};
  IReferenceClock* clock_ = nullptr;
  bool clockChosen_ = false;  // SetSyncSource was called (null: no clock)
  REFERENCE_TIME start_ = 0;
  REFERENCE_TIME pausedStreamTime_ = 0;
  bool restartStreamTime_ = true;

  std::mutex eventMutex_;
  std::condition_variable eventArrived_;
  std::deque<GraphEvent> events_;
  int renderers_ = 0;
  int completed_ = 0;
  long completionCode_ = 0;
};

}  // namespace

HRESULT CreateSystemClock(IReferenceClock** clock) {
  auto* made = new SystemClock();
  return made->NonDelegatingQueryInterface(IID_IReferenceClock, reinterpret_cast<void**>(clock));
}

std::vector<IPin*> ListPins(IBaseFilter* filter) {
  std::vector<IPin*> pins;
  IEnumPins* e = nullptr;
  if (filter == nullptr || FAILED(filter->EnumPins(&e))) return pins;
  IPin* pin = nullptr;
  ULONG fetched = 0;
  while (e->Next(1, &pin, &fetched) == S_OK && fetched == 1) pins.push_back(pin);
  e->Release();
  return pins;
}

void ReleasePins(std::vector<IPin*>& pins) {
  for (IPin* pin : pins) pin->Release();
  pins.clear();
}

PIN_DIRECTION DirectionOf(IPin* pin) {
  PIN_DIRECTION direction = PINDIR_INPUT;
  pin->QueryDirection(&direction);
  return direction;
}

IBaseFilter* FilterOf(IPin* pin) {
  PIN_INFO info{};
  if (FAILED(pin->QueryPinInfo(&info))) return nullptr;
  return info.pFilter;
}

bool StreamingThread::Start(void (*body)(void*), void* context) {
  if (handle_ != nullptr) return false;
  body_ = body;
  context_ = context;
  handle_ = CreateThread(nullptr, 0, Entry, this, 0, nullptr);
  return handle_ != nullptr;
}

void StreamingThread::Join() {
  if (handle_ == nullptr) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}

DWORD StreamingThread::Entry(LPVOID parameter) {
  auto* self = static_cast<StreamingThread*>(parameter);
  self->body_(self->context_);
  return 0;
}

HRESULT CreateDirectShowClassObject(const CLSID& classId, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (classId == CLSID_FilterGraph) {
    auto* graph = new FilterGraph();
    graph->NonDelegatingAddRef();
    const HRESULT hr = graph->NonDelegatingQueryInterface(iid, out);
    graph->NonDelegatingRelease();
    return hr;
  }
  if (classId == CLSID_NullRenderer) {
    IBaseFilter* filter = nullptr;
    HRESULT hr = CreateNullRendererFilter(&filter);
    if (FAILED(hr)) return hr;
    hr = filter->QueryInterface(iid, out);
    filter->Release();
    return hr;
  }
  return REGDB_E_CLASSNOTREG;
}
