// Builds the library's shader pack: the shader texts at their record and
// variant, the code block with its head of sizes, packed, put into an archive
// as "ZrShaderPack.bin", and the archive image packed again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackedShader {
  bool pixel;
  int record;
  int variant;
  std::string text;  // stored with a terminating zero, padded to 4 bytes
};

// The unpacked code block: the head of 23296 x 6 u16 sizes, then the code.
std::vector<uint8_t> BuildShaderCodeBlock(const std::vector<PackedShader>& shaders);
// The pack of a code block given as it is, under a member name.
bool ShaderPackOfBlock(const std::vector<uint8_t>& block, const std::string& memberName, std::vector<uint8_t>* pack,
                       std::string* error);
// The whole pack as the program carries it. False with a reason for a
// shader at a record or variant out of range or a text too long.
bool BuildShaderPack(const std::vector<PackedShader>& shaders, std::vector<uint8_t>* pack, std::string* error);
// The pack as a C++ source defining ShaderPackData and ShaderPackDataSize.
std::string ShaderPackSource(const std::vector<uint8_t>& pack);
// The library's two shaders, read from the folder holding library.vert and
// library.frag.
bool ReadLibraryShaders(const std::string& folder, std::vector<PackedShader>* shaders, std::string* error);
