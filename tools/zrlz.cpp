// Packs a file into one block of the library's LZ format.
//
//   zrlz INPUT OUTPUT
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/archive/lz_encoder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: zrlz INPUT OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    fprintf(stderr, "zrlz: cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> block = LzEncode(data.data(), data.size());
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
  if (!out.flush()) {
    fprintf(stderr, "zrlz: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
