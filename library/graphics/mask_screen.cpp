#include "library/graphics/mask_screen.h"

#include <cstring>

#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/core/startup.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/d3d9/soft_glue.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graphics_system.h"
#include "library/graphics/image_load.h"

int32_t MaskScreenCreated = 0;
int32_t MaskScreenEnabled = 1;
int32_t MaskScreenActive = 0;
MEMIMG MaskScreenMemImg;
MaskRecord MaskTable[MaskHandleCapacity];
MaskBytesState MaskBytes;

namespace {

uint32_t MaskCheckCounter = 0;
int32_t MaskNesting = 0;
// The drawing area before the outermost bracket narrowed it to the mask screen.
PixelRect SavedClipRect;
float SavedClipRectF[4];

// The image of the real draw target: the target graph's, else the screen's.
MEMIMG* RealTargetMemImg() {
  GraphRecord* graph = GetGraphRecordChecked(DrawTarget);
  return graph != nullptr ? &graph->image : &ScreenMemImg;
}

MaskRecord* FindMask(ObjectHandle handle) {
  if (handle < 0 || (handle & HandleKindBits) != HandleKindMask) return nullptr;
  const uint32_t slot = static_cast<uint32_t>(handle) & HandleSlotBits;
  if (slot >= MaskHandleCapacity) return nullptr;
  MaskRecord* record = &MaskTable[slot];
  if (!record->inUse || (static_cast<int32_t>(record->checkNumber) << 16) != (handle & HandleCheckBits))
    return nullptr;
  return record;
}

// The rectangle cut to the drawing area and to the mask screen.
PixelRect ClipToMask(PixelRect rect) {
  ClipRectToArea(&rect, &DrawClipRect);
  const PixelRect mask = {0, 0, MaskBytes.width, MaskBytes.height};
  ClipRectToArea(&rect, &mask);
  return rect;
}

void SetClipRect(const PixelRect& rect) {
  DrawClipRect = rect;
  DrawClipRectF[0] = static_cast<float>(rect.left);
  DrawClipRectF[1] = static_cast<float>(rect.top);
  DrawClipRectF[2] = static_cast<float>(rect.right);
  DrawClipRectF[3] = static_cast<float>(rect.bottom);
}

// Writes the mask-screen pixels of the rectangle whose mask byte is 0 into
// the target, converting when the target keeps another pixel format.
void WriteBackThroughMask(MEMIMG* target, const PixelRect& r) {
  const MemImgBuffer* from = MaskScreenMemImg.buffer;
  const MemImgBuffer* to = target->buffer;
  const int32_t fromBytes = from->format->bytesPerPixel, toBytes = to->format->bytesPerPixel;
  const bool same = from->format == to->format;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const uint8_t* mask = MaskBytes.bytes + static_cast<int64_t>(y) * MaskBytes.pitch;
    const uint8_t* src = MaskScreenMemImg.pixels + static_cast<int64_t>(y) * from->pitch;
    uint8_t* dst = target->pixels + static_cast<int64_t>(y) * to->pitch;
    if (same) {
      // Runs of open mask bytes are copied whole; the bytes are looked at
      // eight at a time where a word is all closed or all open.
      constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
      const auto word = [mask](int32_t at) {
        uint64_t w;
        std::memcpy(&w, mask + at, sizeof w);
        return w;
      };
      for (int32_t x = r.left; x < r.right;) {
        while (x + 8 <= r.right && ((word(x) - kOnes) & ~word(x) & kHighs) == 0) x += 8;  // no open byte
        while (x < r.right && mask[x] != 0) ++x;
        if (x >= r.right) break;
        int32_t end = x + 1;
        while (end + 8 <= r.right && word(end) == 0) end += 8;
        while (end < r.right && mask[end] == 0) ++end;
        std::memcpy(dst + x * toBytes, src + x * fromBytes, static_cast<size_t>(end - x) * toBytes);
        x = end;
      }
      continue;
    }
    for (int32_t x = r.left; x < r.right; ++x) {
      if (mask[x] != 0) continue;
      uint32_t value = 0;
      std::memcpy(&value, src + x * fromBytes, static_cast<size_t>(fromBytes));
      int32_t red, green, blue;
      SplitFormatColor(from->format, value, &red, &green, &blue, nullptr);
      value = MakeFormatColor(to->format, red, green, blue, 255);
      std::memcpy(dst + x * toBytes, &value, static_cast<size_t>(toBytes));
    }
  }
}

}  // namespace

int MakeMaskScreen() {
  CreateMaskScreen(1);
  MaskScreenCreated = 1;
  MaskScreenActive = MaskScreenEnabled ? 1 : 0;
  EnableMaskScreen(1);
  return 0;
}

int CreateMaskScreen(int32_t flag) {
  if (!flag) return 0;
  int32_t width, height;
  GetScreenSizeOrDefault(&width, &height);
  if (MaskBytes.bytes == nullptr) {
    const int32_t pitch = (width + 3) / 4 * 4;
    MaskBytes.bytes = static_cast<uint8_t*>(
        TrackedCalloc(static_cast<size_t>(pitch) * static_cast<size_t>(height), __FILE__, __LINE__));
    if (MaskBytes.bytes == nullptr) FatalErrorExit("マスク用 MEMIMG の作成に失敗しました");
    MaskBytes.pitch = pitch;
    MaskBytes.width = width;
    MaskBytes.height = height;
  }
  if (HardwareActive) {
    G_D3D_CreateMaskTextures();
  } else if (!IsMemImgValid(&MaskScreenMemImg) && CreateMemImg(&MaskScreenMemImg, width, height, -1) != 0) {
    FatalErrorExit("マスク用 MEMIMG の作成に失敗しました");
  }
  return 0;
}

int EnableMaskScreen(int32_t flag) {
  if (MaskBytes.bytes == nullptr) return -1;
  MaskScreenEnabled = flag;
  MaskScreenActive = flag && MaskScreenCreated ? 1 : 0;
  if (HardwareActive)
    G_D3D_PointRenderTargetAtMask(MaskScreenActive);
  else
    DrawDestMemImg = MaskScreenActive ? &MaskScreenMemImg : RealTargetMemImg();
  return 0;
}

int IsMaskScreenEnabled() { return MaskScreenEnabled; }

int PaintMaskScreen(int32_t flag) {
  WaitWhileInactive();
  if (MaskBytes.bytes == nullptr) return -1;
  // The draw target may be taller than the mask: its rows stop at the mask's.
  const int32_t rows = DrawTargetHeight < MaskBytes.height ? DrawTargetHeight : MaskBytes.height;
  if (rows > 0) std::memset(MaskBytes.bytes, flag ? 0xFF : 0, static_cast<size_t>(MaskBytes.pitch) * rows);
  if (HardwareActive) G_D3D_PaintMaskTexture(flag);
  return 0;
}

ObjectHandle CreateMaskData(int32_t width, int32_t height) {
  WaitWhileInactive();
  if (width < 0 || height < 0) return -1;
  int32_t slot = 0;
  while (slot < MaskHandleCapacity && MaskTable[slot].inUse) ++slot;
  if (slot == MaskHandleCapacity) return -1;
  const int64_t pitch = (static_cast<int64_t>(width) + 3) / 4 * 4;
  if (pitch * height > INT32_MAX) return -1;
  auto* bytes = static_cast<uint8_t*>(TrackedCalloc(static_cast<size_t>(pitch * height), __FILE__, __LINE__));
  if (bytes == nullptr) return -1;
  MaskRecord& record = MaskTable[slot];
  record = {MaskCheckCounter, bytes, static_cast<int32_t>(pitch), width, height, 1, 1};
  MaskCheckCounter = MaskCheckCounter >= HandleCheckMax ? 0 : MaskCheckCounter + 1;
  return MakeObjectHandle(HandleKindMask, record.checkNumber, static_cast<uint32_t>(slot));
}

int DeleteMaskData(ObjectHandle handle) {
  MaskRecord* record = FindMask(handle);
  if (record == nullptr) return -1;
  TrackedFree(record->bytes);
  *record = MaskRecord{};
  return 0;
}

int DeleteAllMaskData() {
  for (int32_t slot = 0; slot < MaskHandleCapacity; ++slot) {
    if (MaskTable[slot].inUse) DeleteMaskData(MakeObjectHandle(HandleKindMask, MaskTable[slot].checkNumber, slot));
  }
  return 0;
}

ObjectHandle LoadMaskFile(const char* fileName) {
  WaitWhileInactive();
  ColorFormat format{};
  SetColorFormatRGB24(&format);
  HBITMAP bitmap = LoadImageFileToDIBSection(fileName, 0, &format);
  if (bitmap == nullptr) return -1;
  BITMAP info{};
  ObjectHandle handle = -1;
  if (GetObjectA(bitmap, sizeof info, &info) != 0) {
    handle = CreateMaskData(info.bmWidth, info.bmHeight);
    if (handle != -1) SetMaskDataFromBitmap(bitmap, 0, 0, handle);
  }
  DeleteObject(bitmap);
  return handle;
}

int SetMaskDataFromBitmap(HBITMAP bitmap, int32_t x, int32_t y, ObjectHandle handle) {
  MaskRecord* record = FindMask(handle);
  if (record == nullptr) return -1;
  BITMAP info{};
  if (GetObjectA(bitmap, sizeof info, &info) == 0 || info.bmBits == nullptr || info.bmBitsPixel != 24) return -1;
  if (x < 0 || y < 0) return -1;
  // Only the part of the pattern that the bitmap covers from (x, y) is read.
  const int32_t rows = info.bmHeight - y < record->height ? info.bmHeight - y : record->height;
  const int32_t columns = info.bmWidth - x < record->width ? info.bmWidth - x : record->width;
  const int64_t rowBytes = (static_cast<int64_t>(info.bmWidth) * 3 + 3) / 4 * 4;
  for (int32_t r = 0; r < rows; ++r) {
    const uint8_t* src = static_cast<const uint8_t*>(info.bmBits) + (y + r) * rowBytes + static_cast<int64_t>(x) * 3;
    uint8_t* dst = record->bytes + static_cast<int64_t>(r) * record->pitch;
    for (int32_t c = 0; c < columns; ++c) dst[c] = src[c * 3];
  }
  return 0;
}

int DrawMaskData(int32_t x, int32_t y, ObjectHandle handle, int32_t mode) {
  const MaskRecord* record = FindMask(handle);
  if (record == nullptr) return -1;
  if (MaskBytes.bytes == nullptr) return 0;
  const PixelRect r = ClipToMask({x, y, static_cast<int32_t>(static_cast<int64_t>(x) + record->width),
                                  static_cast<int32_t>(static_cast<int64_t>(y) + record->height)});
  if (r.left >= r.right || r.top >= r.bottom || mode < 0 || mode > 2) return 0;
  for (int32_t row = r.top; row < r.bottom; ++row) {
    const uint8_t* src = record->bytes + static_cast<int64_t>(row - y) * record->pitch + (r.left - x);
    uint8_t* dst = MaskBytes.bytes + static_cast<int64_t>(row) * MaskBytes.pitch + r.left;
    const int32_t n = r.right - r.left;
    if (mode == 2) {
      std::memcpy(dst, src, static_cast<size_t>(n));
    } else {
      for (int32_t i = 0; i < n; ++i) dst[i] = mode == 0 ? dst[i] & src[i] : dst[i] | src[i];
    }
  }
  if (HardwareActive) G_D3D_UploadMaskBytes(r);
  return 0;
}

int BeginMaskScreenDraw(PixelRect rect) {
  if (++MaskNesting != 1) return 0;
  SavedClipRect = DrawClipRect;
  std::memcpy(SavedClipRectF, DrawClipRectF, sizeof SavedClipRectF);
  const PixelRect r = ClipToMask(rect);
  if (!MaskScreenActive) return 0;
  // Drawing goes into the mask screen, which may be smaller than the target.
  SetClipRect(ClipToMask(DrawClipRect));
  if (HardwareActive) {
    G_D3D_BeginMaskDraw(r);
  } else if (r.left < r.right && r.top < r.bottom) {
    CopyMemImgRect(&MaskScreenMemImg, RealTargetMemImg(), &r, r.left, r.top);
  }
  return 0;
}

int EndMaskScreenDraw(PixelRect rect) {
  if (MaskNesting <= 0 || --MaskNesting != 0) return 0;
  const PixelRect r = ClipToMask(rect);
  if (MaskScreenActive && r.left < r.right && r.top < r.bottom) {
    if (HardwareActive) {
      G_D3D_EndMaskDraw(r);
    } else {
      MEMIMG* target = RealTargetMemImg();
      DropMemImgDerivedData(target);
      WriteBackThroughMask(target, r);
    }
  }
  DrawClipRect = SavedClipRect;
  std::memcpy(DrawClipRectF, SavedClipRectF, sizeof SavedClipRectF);
  return 0;
}

int EndMaskScreen() {
  EnableMaskScreen(0);
  if (HardwareActive) G_D3D_ReleaseMaskTextures();
  if (IsMemImgValid(&MaskScreenMemImg)) ReleaseMemImg(&MaskScreenMemImg);
  TrackedFree(MaskBytes.bytes);
  MaskBytes = MaskBytesState{};
  MaskScreenCreated = 0;
  MaskScreenActive = 0;
  MaskNesting = 0;
  return 0;
}

int RestoreMaskScreen() {
  if (!MaskScreenCreated) return 0;
  CreateMaskScreen(1);
  if (MaskScreenEnabled) EnableMaskScreen(1);
  return 0;
}
