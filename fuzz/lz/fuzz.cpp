// LZ blocks: the library's decoder against the plain reference decoder, and
// the encoder's blocks decoded back to what it packed.
//
// Input: a mode byte, then for mode 0 a block, with a destination a few
// bytes short or long now and then; for mode 1 encoder settings and the
// bytes to pack.
#include <cstring>

#include "fuzz/support/fuzz_support.h"
#include "library/file/lz.h"
#include "tools/archive/lz_encoder.h"

namespace {

// Blocks that stand for more are only checked for their head.
constexpr uint64_t kLimit = 16u << 20;

void DecodeBlock(FuzzInput& in) {
  const int slack = static_cast<int8_t>(in.Byte()) % 4;  // destination size off by -3..3
  const std::vector<uint8_t> block = in.Rest();
  std::vector<uint8_t> expected;
  const int64_t reference = ReferenceLzDecode(block.data(), block.size(), &expected, kLimit);
  const int64_t head = DecompressArchiveData(block.data(), block.size(), nullptr, 0);
  if (reference == -2) {
    FUZZ_CHECK(head >= 0, "a block the reference reads the head of");
    return;
  }
  if (reference < 0) {
    // A head the library takes may still hold a corrupt code stream.
    if (head < 0) return;
  } else {
    FUZZ_CHECK(head == reference, "head size " + std::to_string(head) + " against " + std::to_string(reference));
  }
  const int64_t room = head + slack < 0 ? 0 : head + slack;
  std::vector<uint8_t> out(static_cast<size_t>(room) + 1, 0xCD);
  const int64_t got = DecompressArchiveData(block.data(), block.size(), out.data(), static_cast<size_t>(room));
  if (reference < 0 || room < reference) {
    FUZZ_CHECK(got == -1, "a corrupt block (or a short destination) decoded to " + std::to_string(got) + " bytes");
  } else {
    FUZZ_CHECK(got == reference, "decoded " + std::to_string(got) + " bytes, the reference " + std::to_string(reference));
    FUZZ_CHECK(expected.empty() || std::memcmp(out.data(), expected.data(), expected.size()) == 0,
               "bytes differ from the reference");
  }
  FUZZ_CHECK(out[static_cast<size_t>(room)] == 0xCD, "a byte written past the destination");
}

void RoundTrip(FuzzInput& in) {
  LzEncodeOptions options;
  options.maxDistance = 1 + in.U32() % (1u << 24);
  options.maxLength = LzMinMatch + in.U16() % (LzMaxMatch - LzMinMatch + 1);
  const uint8_t escape = in.Byte();
  options.escape = (escape & 1) ? escape : -1;
  options.chainLimit = 1 + in.Byte() % 16;
  const std::vector<uint8_t> data = in.Rest();
  const std::vector<uint8_t> block = LzEncode(data.data(), data.size(), options);
  std::vector<uint8_t> out(data.size());
  FUZZ_CHECK(DecompressArchiveData(block.data(), block.size(), out.data(), out.size()) ==
                 static_cast<int64_t>(data.size()),
             "an encoded block does not decode");
  FUZZ_CHECK(out == data, "an encoded block decodes to other bytes");
  std::vector<uint8_t> reference;
  FUZZ_CHECK(ReferenceLzDecode(block.data(), block.size(), &reference, kLimit) == static_cast<int64_t>(data.size()) &&
                 reference == data,
             "the reference decoder reads an encoded block otherwise");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  if (in.Byte() & 1)
    RoundTrip(in);
  else
    DecodeBlock(in);
  return 0;
}
