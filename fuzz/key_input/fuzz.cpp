// Key-input fields: a field of some maximum length and kind is typed into
// with any bytes (characters, double-byte characters, editing codes, a NUL),
// with Shift held or not between batches. After every batch the field must
// hold a NUL-terminated text of its length within its maximum, the cursor on
// a character boundary within it and the selection within it.
//
// Input: maximum length, the field's kind (bit 0 numbers only, bit 1 single
// byte only, bit 2 cancel allowed), then batches: a length byte (bit 7: Shift
// held) and that many bytes.
#include <cstring>
#include <string>

#include "fuzz/support/fuzz_support.h"
#include "library/core/text_helpers.h"
#include "library/input/input_devices.h"
#include "library/input/key_input.h"

namespace {

void CheckField(const KeyInputRecord& r, const std::string& typed) {
  const std::string where = " after typing " + std::to_string(typed.size()) + " bytes";
  FUZZ_CHECK(r.length <= r.maxLength, "a text longer than the field" + where);
  FUZZ_CHECK(std::strlen(r.text) == r.length, "the text's end mark is not at its length" + where);
  FUZZ_CHECK(r.cursor <= r.length, "the cursor past the text (" + std::to_string(r.cursor) + " of " +
                                       std::to_string(r.length) + ")" + where);
  uint32_t i = 0;
  while (i < r.cursor) i += IsDoubleByteAt(r.text + i) ? 2 : 1;
  FUZZ_CHECK(i == r.cursor, "the cursor inside a double-byte character" + where);
  if (r.selectionStart != -1) {
    FUZZ_CHECK(r.selectionStart >= 0 && static_cast<uint32_t>(r.selectionStart) <= r.length &&
                   r.selectionEnd >= 0 && static_cast<uint32_t>(r.selectionEnd) <= r.length,
               "a selection outside the text" + where);
  }
}

}  // namespace

FUZZ_TARGET_STARTS_LIBRARY()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  FuzzInput in(data, size);
  const int maxLength = in.Byte() % 64;
  const uint8_t kind = in.Byte();
  const int handle = CreateKeyInputHandle(maxLength, kind & 4, kind & 2, kind & 1);
  FUZZ_CHECK(handle != -1, "no field could be made");
  ActivateKeyInputHandle(handle);
  std::string typed;
  while (!in.Empty()) {
    const uint8_t head = in.Byte();
    const std::vector<uint8_t> batch = in.Take(head & 0x7F);
    KeyStateTable[0x2A] = (head & 0x80) ? 0x80 : 0;
    for (uint8_t b : batch) PutCharCode(b);
    typed.append(batch.begin(), batch.end());
    UpdateKeyInputs();
    KeyStateTable[0x2A] = 0;
    const KeyInputRecord* r = GetKeyInputRecord(handle);
    FUZZ_CHECK(r != nullptr, "the field's handle went bad");
    CheckField(*r, typed);
    if (GetKeyInputStatus(handle) != 0) ActivateKeyInputHandle(handle);  // finished: edit on
  }
  GetKeyInputValue(handle);
  DeleteKeyInputHandle(handle);
  // What typing left in the buffer goes too.
  CharCodeBuffer.read = CharCodeBuffer.write = 0;
  return 0;
}
