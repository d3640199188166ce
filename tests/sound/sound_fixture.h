// Sound tests: a decoder over a file image in memory, and the checks that
// an open leaves nothing of the tracked heap behind.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "library/core/memory.h"
#include "library/file/memory_stream.h"
#include "library/sound/sound_decoder.h"
#include "tests/sound/sound_media.h"

// A decoder opened over a copy of the bytes.
class MemoryDecoder {
 public:
  explicit MemoryDecoder(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    stream_ = OpenMemoryStream(bytes_.data(), static_cast<uint32_t>(bytes_.size()));
    result_ = OpenSoundDecoder(GetMemoryStreamInterface(), reinterpret_cast<uintptr_t>(stream_), &decoder_);
  }
  ~MemoryDecoder() {
    if (result_ == 0) CloseSoundDecoder(&decoder_);
    CloseMemoryStream(reinterpret_cast<uintptr_t>(stream_));
  }
  MemoryDecoder(const MemoryDecoder&) = delete;
  MemoryDecoder& operator=(const MemoryDecoder&) = delete;

  bool ok() const { return result_ == 0; }
  SoundDecoder* get() { return &decoder_; }

  // DecodeWholeSound's PCM, or empty when the decoder is not open.
  std::vector<uint8_t> Whole() {
    if (!ok()) return {};
    WAVEFORMATEX format{};
    void* data = nullptr;
    uint32_t size = 0;
    if (DecodeWholeSound(&decoder_, &format, &data, &size) != 0) return {};
    std::vector<uint8_t> pcm(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    TrackedFree(data);
    return pcm;
  }

  // Reads in pieces of the given size until the end.
  std::vector<uint8_t> ReadAll(uint32_t piece) {
    std::vector<uint8_t> pcm, block(piece);
    for (;;) {
      int n = ReadSoundDecoder(&decoder_, block.data(), piece);
      if (n <= 0) break;
      pcm.insert(pcm.end(), block.begin(), block.begin() + n);
      if (static_cast<uint32_t>(n) < piece) break;
    }
    return pcm;
  }

 private:
  std::vector<uint8_t> bytes_;
  MemoryStream* stream_ = nullptr;
  SoundDecoder decoder_{};
  int result_ = -1;
};

// Fails the test when a Debian encoder the file needs is missing
// (scripts/setup.sh installs lame and vorbis-tools): a case not encoded is a
// case not checked.
#define REQUIRE_ENCODED(bytes)                                                       \
  do {                                                                               \
    ASSERT_FALSE((bytes).empty()) << "encoder (lame/oggenc) missing or failed"; \
  } while (0)
