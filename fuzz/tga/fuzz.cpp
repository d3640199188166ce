// TGA pictures: the input is the file. Refused with nothing left allocated, or
// decoded into a picture whose pixels lie within its allocation.
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzImageDecoder(ReadTgaImage, data, size);
  return 0;
}
