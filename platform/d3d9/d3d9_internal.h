// Inside the Direct3D 9 stand-in: the bookkeeping every object shares, the
// pixel stores behind surfaces and textures, and the calls' accounting.
#pragma once

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9_control.h"

namespace d3d9 {

// Every object: its id and whether it counts as an object of its own (a
// texture's level surfaces live and die with the texture).
class ObjectBase {
 public:
  explicit ObjectBase(bool counted = true);
  virtual ~ObjectBase();
  ObjectBase(const ObjectBase&) = delete;
  ObjectBase& operator=(const ObjectBase&) = delete;
  uint32_t id() const { return id_; }

 private:
  uint32_t id_;
  bool counted_;
};

// The reference count of a COM object of interface I.
template <typename I>
class Com : public I, public ObjectBase {
 public:
  explicit Com(bool counted = true) : ObjectBase(counted) {}
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(iid, IID_IUnknown)) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IUnknown*>(static_cast<I*>(this));
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  ULONG references() const { return references_; }

 protected:
  ULONG references_ = 1;
};

// Bytes of one block of a format: 1 x 1 pixel blocks for the plain formats,
// 4 x 4 for the compressed ones. bytes 0: a format the stand-in cannot hold.
struct FormatLayout {
  uint32_t bytes;
  uint32_t block;
};
FormatLayout LayoutOf(D3DFORMAT format);
bool IsDisplayFormat(D3DFORMAT format);
bool IsDepthFormat(D3DFORMAT format);
// An ARGB colour (or a depth in 0..1) in a format's bytes; false when the
// format has no such form.
bool PackColor(D3DFORMAT format, D3DCOLOR color, uint8_t out[4]);

// Where the newest pixels of a store are while an executor draws: in its
// bytes, in the executor's copy, or alike in both.
enum class Newest : uint8_t { Memory, Gpu, Both };

// Bytes that start as zeros, taken from the system already zeroed: a
// texture's pixels are mostly written by the program before they are read,
// and its padding often never is, so they are not cleared byte by byte (that
// touched every page of every texture as it was made).
class ZeroedBytes {
 public:
  ZeroedBytes() = default;
  ZeroedBytes(const ZeroedBytes& other) { *this = other; }
  ZeroedBytes(ZeroedBytes&&) noexcept = default;
  ZeroedBytes& operator=(ZeroedBytes&&) noexcept = default;
  ZeroedBytes& operator=(const ZeroedBytes& other) {
    if (this == &other) return *this;
    if (other.size_ == 0) {
      bytes_.reset();
      size_ = 0;
      return *this;
    }
    if (size_ == other.size_) {
      std::memcpy(bytes_.get(), other.bytes_.get(), size_);
      return *this;
    }
    auto* copy = static_cast<uint8_t*>(std::malloc(other.size_));
    if (copy == nullptr) throw std::bad_alloc();
    std::memcpy(copy, other.bytes_.get(), other.size_);
    bytes_.reset(copy);
    size_ = other.size_;
    return *this;
  }
  // False (and empty) when the memory cannot be had.
  bool AssignZeros(size_t size) {
    bytes_.reset(size != 0 ? static_cast<uint8_t*>(std::calloc(size, 1)) : nullptr);
    size_ = bytes_ != nullptr ? size : 0;
    return size == 0 || bytes_ != nullptr;
  }
  uint8_t* data() { return bytes_.get(); }
  const uint8_t* data() const { return bytes_.get(); }
  size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t, Free> bytes_;
  size_t size_ = 0;
};

// The pixels of one surface or level: rows of blocks, slices for volumes.
struct PixelStore {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  UINT width = 0, height = 0, depth = 1;
  UINT pitch = 0, rows = 0, slicePitch = 0;
  ZeroedBytes bytes;
  bool locked = false;
  bool lockedReadOnly = false;
  Newest newest = Newest::Memory;
  // Its place among a texture's levels, which lie one after the other (a
  // store of its own is level 0 of 1).
  UINT level = 0, levelCount = 1;
  PixelStore* First() { return this - level; }

  // False for a format without a layout, a size of 0 or memory that cannot
  // be had.
  bool Allocate(D3DFORMAT f, UINT w, UINT h, UINT d = 1);
  // The byte of pixel (x, y) in slice z (x and y multiples of the block).
  uint8_t* At(UINT x, UINT y, UINT z = 0) {
    const FormatLayout l = LayoutOf(format);
    return bytes.data() + static_cast<size_t>(z) * slicePitch + static_cast<size_t>(y / l.block) * pitch +
           static_cast<size_t>(x / l.block) * l.bytes;
  }
  // Fills a rectangle (null: all) with a packed value.
  void Fill(const RECT* rect, const uint8_t* value);
  // False when the rectangle does not lie inside or is not block aligned.
  bool ValidRect(const RECT* rect) const;
};

// Global state of the stand-in.
class Device;
struct State {
  D3D9AdapterSetup adapter;
  struct Failure {
    D3D9Call call;
    HRESULT result;
    int skip;
    int times;
  };
  std::vector<Failure> failures;
  int counts[static_cast<int>(D3D9Call::Count)] = {};
  bool lost = false;
  bool needsReset = false;
  bool recording = false;
  std::vector<D3D9CallRecord> journal;
  std::vector<D3D9DrawRecord> draws;
  uint32_t nextId = 1;
  int live = 0;
  int presents = 0;
  bool windowPresentsSkipped = false;
  Device* device = nullptr;
  // The executor's words: why no context could be made, the renderer and
  // version of the last one made, the last compiler log.
  std::string executorError, renderer, version, shaderLog;
};
State& Global();

// Whether the adapter's drawing counts as hardware rasterisation: by its
// setting, or by the OpenGL renderer (unknown, "": hardware).
bool HardwareRasterization(const std::string& renderer);
// The renderer and version of the display's OpenGL as far as known: the
// last context made, else the probe's answer; false when neither is known.
bool KnownRenderer(std::string* renderer, std::string* version);

// Counts a call; the injected failure that takes it, else D3D_OK.
HRESULT Enter(D3D9Call call);
// Writes an entered call to the journal (while recording) and returns its result.
HRESULT Record(D3D9Call call, HRESULT result, std::initializer_list<uint32_t> args = {});
inline uint32_t FloatBits(float f) {
  uint32_t u;
  static_assert(sizeof u == sizeof f);
  __builtin_memcpy(&u, &f, sizeof u);
  return u;
}
uint32_t IdOf(const IUnknown* object);

// Microseconds of the performance counter's clock.
int64_t NowMicroseconds();

}  // namespace d3d9
