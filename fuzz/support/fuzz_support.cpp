#include "fuzz/support/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "library/core/memory.h"
#include "library/core/startup.h"
#include "library/file/file_table.h"
#include "library/file/lz.h"
#include "library/file/memory_stream.h"
#include "platform/win32/win32_misc.h"
#include "platform/win32/win32_time.h"
#include "platform/win32/win32_window.h"

void FuzzFailure(const char* file, int line, const char* condition, const std::string& message) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n  %s\n", file, line, condition, message.c_str());
  std::fflush(stderr);
  std::abort();
}

std::vector<uint8_t> FuzzInput::Take(size_t n) {
  n = n < size_ - at_ ? n : size_ - at_;
  std::vector<uint8_t> out(data_ + at_, data_ + at_ + n);
  at_ += n;
  return out;
}

namespace {

std::string& ScratchFolder() {
  static std::string folder;
  return folder;
}

// The replays end the library (its shut-down is part of what they check); a
// campaign leaves it to the process's end, which a font module shutting
// down after millions of inputs would only slow.
void EndFuzzingLibrary() {
  static bool ended = false;
  if (ended) return;
  ended = true;
#ifdef ZR_FUZZ_REPLAY
  EndLibrary();
#endif
  if (chdir("/") == 0 && !ScratchFolder().empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(ScratchFolder(), ignored);
  }
}

}  // namespace

void StartLibraryForFuzzing() {
  static bool started = false;
  if (started) return;
  started = true;
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::string pattern = std::filesystem::temp_directory_path().string() + "/zrfuzzXXXXXX";
  if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
    std::perror("fuzz scratch folder");
    std::abort();
  }
  ScratchFolder() = pattern;
  PlatformSetWindowScope(("fuzz" + std::to_string(getpid())).c_str());
  PlatformSetDebugOutput(false);
  PlatformUseVirtualClock(true, 1000000);
  if (InitLibrary() != 0) {
    std::fprintf(stderr, "the library did not start\n");
    std::abort();
  }
  std::atexit(EndFuzzingLibrary);
}

void EndLibraryForFuzzing() {
  if (!ScratchFolder().empty()) EndFuzzingLibrary();
}

void TrimScratchLog() {
  std::error_code error;
  const auto log = std::filesystem::path(ScratchPath("Log.txt"));
  if (std::filesystem::file_size(log, error) > (1u << 20)) std::filesystem::remove(log, error);
}

void WriteScratchFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path path(name);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  FILE* f = std::fopen(name.c_str(), "wb");
  FUZZ_CHECK(f != nullptr, "the scratch folder takes no file " + name);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string ScratchPath(const std::string& name) {
  return ScratchFolder().empty() ? name : ScratchFolder() + "/" + name;
}

DecoderStream OpenMemoryDecoderStream(const std::vector<uint8_t>& bytes) {
  DecoderStream stream{*GetMemoryStreamInterface(), 0};
  stream.handle = reinterpret_cast<uintptr_t>(OpenMemoryStream(bytes.data(), static_cast<uint32_t>(bytes.size())));
  return stream;
}

void CloseMemoryDecoderStream(DecoderStream* stream) {
  if (stream->handle != 0) stream->ops.Close(stream->handle);
  stream->handle = 0;
}

void TouchBytes(const void* data, size_t size) {
  const volatile uint8_t* p = static_cast<const volatile uint8_t*>(data);
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + p[i]);
  static volatile uint8_t sink;
  sink = static_cast<uint8_t>(sink + sum);
}

void CheckGraphImage(const GraphImage& image) {
  FUZZ_CHECK(image.pixels != nullptr, "a decoded picture without pixels");
  FUZZ_CHECK(DecodedSizeAllowed(image.width, image.height),
             "size " + std::to_string(image.width) + " x " + std::to_string(image.height));
  const ColorFormat& f = image.format;
  if (f.compression != 0 || image.mipLevels != 0) return;  // blocks and mip chains: sized by their reader
  FUZZ_CHECK(f.bytesPerPixel >= 1 && f.bytesPerPixel <= 4, "bytes per pixel " + std::to_string(f.bytesPerPixel));
  const int64_t row = static_cast<int64_t>(image.width) * f.bytesPerPixel;
  FUZZ_CHECK(image.pitch >= row, "pitch " + std::to_string(image.pitch) + " below a row of " + std::to_string(row));
  TouchBytes(image.pixels, static_cast<size_t>(static_cast<int64_t>(image.pitch) * (image.height - 1) + row));
}

int64_t ReferenceLzDecode(const uint8_t* block, size_t size, std::vector<uint8_t>* out, uint64_t limit) {
  out->clear();
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(block[at]) | static_cast<uint32_t>(block[at + 1]) << 8 |
           static_cast<uint32_t>(block[at + 2]) << 16 | static_cast<uint32_t>(block[at + 3]) << 24;
  };
  if (size < 9) return -1;
  const uint32_t unpacked = u32(0), packed = u32(4);
  const uint8_t escape = block[8];
  if (packed < 9 || packed > size) return -1;
  // No code stream gives more than a longest copy for every four bytes.
  if (unpacked > static_cast<uint64_t>(packed - 9) * ((8195 + 3) / 4)) return -1;
  if (unpacked > limit) return -2;
  size_t at = 9;
  while (at < packed) {
    const uint8_t byte = block[at++];
    if (byte != escape) {
      out->push_back(byte);
    } else {
      if (at >= packed) return -1;
      uint32_t code = block[at++];
      if (code == escape) {
        out->push_back(escape);
      } else {
        if (code > escape) code -= 1;
        uint32_t length = code >> 3;
        if (code & 4) {
          if (at >= packed) return -1;
          length += static_cast<uint32_t>(block[at++]) << 5;
        }
        length += 4;
        const uint32_t fieldBytes = (code & 3) + 1;
        if (fieldBytes == 4) return -1;
        uint64_t distance = 0;
        for (uint32_t i = 0; i < fieldBytes; ++i) {
          if (at >= packed) return -1;
          distance |= static_cast<uint64_t>(block[at++]) << (8 * i);
        }
        distance += 1;
        if (distance > out->size()) return -1;
        for (uint32_t i = 0; i < length; ++i) out->push_back((*out)[out->size() - distance]);
      }
    }
    if (out->size() > unpacked) return -1;
  }
  return out->size() == unpacked ? static_cast<int64_t>(unpacked) : -1;
}

void FuzzImageDecoder(int (*decoder)(DecoderStream*, GraphImage*), const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  const int32_t blocks = TrackedBlockCount();
  DecoderStream stream = OpenMemoryDecoderStream(bytes);
  GraphImage image;
  std::memset(&image, 0, sizeof image);
  const int result = decoder(&stream, &image);
  CloseMemoryDecoderStream(&stream);
  FUZZ_CHECK(result == 0 || result == -1, "result " + std::to_string(result));
  if (result == 0) {
    CheckGraphImage(image);
    ReleaseGraphImage(&image);
  } else {
    FUZZ_CHECK(image.pixels == nullptr, "a refusal that hands out pixels");
  }
  FUZZ_CHECK(TrackedBlockCount() == blocks, "memory left behind");
}
