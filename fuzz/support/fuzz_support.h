// What the fuzz targets share: reading the input as a script, checking
// properties, a started library, streams over memory and a plain reference
// decoder of the LZ format.
//
// A target is a folder fuzz/<name>/ with fuzz.cpp defining
//   extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
// (and LLVMFuzzerInitialize when the library must be started first), a seed
// corpus in seeds/ and the inputs of faults found in repro/. fuzz/CMakeLists.txt
// picks the folder up; CI replays seeds/ and repro/ through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "library/graphics/image_decoders.h"

// A property that must hold: prints the message and aborts otherwise, so
// the fuzzer keeps the input and the replay test fails.
[[noreturn]] void FuzzFailure(const char* file, int line, const char* condition, const std::string& message);
#define FUZZ_CHECK(condition, message)                                          \
  do {                                                                          \
    if (!(condition)) FuzzFailure(__FILE__, __LINE__, #condition, (message));   \
  } while (0)

// The input read from the front as numbers and byte runs; past its end every
// read gives zeros (or nothing).
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
  bool Bool() { return (Byte() & 1) != 0; }
  // 0 to n - 1 (n > 0).
  uint32_t Below(uint32_t n) { return U16() % n; }
  std::vector<uint8_t> Take(size_t n);
  std::vector<uint8_t> Rest() { return Take(size_ - at_); }
  size_t Left() const { return size_ - at_; }
  bool Empty() const { return at_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Starts the library once for the process (dummy SDL drivers, the virtual
// clock, a scratch folder of its own as the working folder, which is removed
// at exit). Targets that need the started library call it from
// LLVMFuzzerInitialize.
void StartLibraryForFuzzing();
// Ends the started library (if it was started) while the process still
// runs whole: the replay calls it before main returns, since at exit the
// threads' own objects (the text converters among them) are gone already.
void EndLibraryForFuzzing();
// Defines LLVMFuzzerInitialize for a target that only needs the started library.
#define FUZZ_TARGET_STARTS_LIBRARY()                        \
  extern "C" int LLVMFuzzerInitialize(int*, char***) {     \
    StartLibraryForFuzzing();                               \
    return 0;                                               \
  }

// Keeps the scratch folder's "Log.txt" small over a long campaign: call it
// once an input.
void TrimScratchLog();
// Writes the bytes as a file of the working folder (its folders made as
// needed), for targets of readers that open files by name.
void WriteScratchFile(const std::string& name, const std::vector<uint8_t>& bytes);
// Puts the working folder (the scratch folder) in front of a file name.
std::string ScratchPath(const std::string& name);

// A decoder stream over bytes the caller keeps; CloseMemoryDecoderStream ends it.
DecoderStream OpenMemoryDecoderStream(const std::vector<uint8_t>& bytes);
void CloseMemoryDecoderStream(DecoderStream* stream);

// Reads every byte of the block, so the sanitizers see its whole extent.
void TouchBytes(const void* data, size_t size);
// Checks a decoded picture: a size the decoders accept, a pitch that holds a
// row, and pixels (and palette) readable to the last byte.
void CheckGraphImage(const GraphImage& image);

// One decoder over the input: refused with nothing left allocated, or a
// picture that CheckGraphImage accepts and that releases whole.
void FuzzImageDecoder(int (*decoder)(DecoderStream*, GraphImage*), const uint8_t* data, size_t size);

// The LZ block format decoded the plain way, one byte at a time, straight
// from its description (library/file/lz.h). -1 for a corrupt block, else
// the unpacked bytes in out. Blocks standing for more than limit bytes are
// left alone (-2).
int64_t ReferenceLzDecode(const uint8_t* block, size_t size, std::vector<uint8_t>* out, uint64_t limit);
