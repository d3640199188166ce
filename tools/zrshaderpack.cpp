// zrshaderpack FOLDER OUTPUT: writes the library's shader pack, made from the
// shader texts in FOLDER (library.vert, library.frag), as the C++ source
// OUTPUT that the program is built with.
#include <cstdio>
#include <fstream>

#include "tools/shaderpack/shader_pack_builder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zrshaderpack FOLDER OUTPUT\n");
    return 2;
  }
  std::vector<PackedShader> shaders;
  std::vector<uint8_t> pack;
  std::string error;
  if (!ReadLibraryShaders(argv[1], &shaders, &error) || !BuildShaderPack(shaders, &pack, &error)) {
    std::fprintf(stderr, "zrshaderpack: %s\n", error.c_str());
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << ShaderPackSource(pack);
  if (!out) {
    std::fprintf(stderr, "zrshaderpack: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
