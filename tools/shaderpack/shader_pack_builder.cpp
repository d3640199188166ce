#include "tools/shaderpack/shader_pack_builder.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "library/graphics/d3d9/d3d_shaders.h"
#include "tools/archive/archive_writer.h"
#include "tools/archive/lz_encoder.h"

namespace {

size_t SlotOf(const PackedShader& s) {
  return (s.pixel ? static_cast<size_t>(ShaderVertexRecordCount) * ShaderVariantCount : 0) +
         static_cast<size_t>(s.record) * ShaderVariantCount + static_cast<size_t>(s.variant);
}

std::vector<uint8_t> CodeOf(const PackedShader& s) {
  std::vector<uint8_t> code(s.text.begin(), s.text.end());
  code.push_back(0);
  while (code.size() % 4 != 0) code.push_back(0);
  return code;
}

}  // namespace

std::vector<uint8_t> BuildShaderCodeBlock(const std::vector<PackedShader>& shaders) {
  const size_t slots = ShaderPackHeadSize / 2;
  std::vector<std::vector<uint8_t>> codes(slots);
  for (const PackedShader& s : shaders) codes[SlotOf(s)] = CodeOf(s);
  std::vector<uint8_t> block(ShaderPackHeadSize, 0);
  for (size_t i = 0; i < slots; ++i) {
    block[2 * i] = static_cast<uint8_t>(codes[i].size());
    block[2 * i + 1] = static_cast<uint8_t>(codes[i].size() >> 8);
    block.insert(block.end(), codes[i].begin(), codes[i].end());
  }
  return block;
}

bool BuildShaderPack(const std::vector<PackedShader>& shaders, std::vector<uint8_t>* pack, std::string* error) {
  for (const PackedShader& s : shaders) {
    const int records = s.pixel ? ShaderPixelRecordCount : ShaderVertexRecordCount;
    if (s.record < 0 || s.record >= records || s.variant < 0 || s.variant >= ShaderVariantCount) {
      *error = "a shader at record " + std::to_string(s.record) + " variant " + std::to_string(s.variant);
      return false;
    }
    if (CodeOf(s).size() > 0xFFFF) {
      *error = "a shader text of " + std::to_string(s.text.size()) + " bytes";
      return false;
    }
  }
  return ShaderPackOfBlock(BuildShaderCodeBlock(shaders), ShaderPackMemberName, pack, error);
}

bool ShaderPackOfBlock(const std::vector<uint8_t>& block, const std::string& memberName, std::vector<uint8_t>* pack,
                       std::string* error) {
  ArchiveNode root;
  root.directory = true;
  ArchiveNode member;
  member.name = memberName;
  member.data = block;
  root.children.push_back(member);
  ArchiveWriteOptions options;
  options.packing = ArchivePacking::Always;
  std::vector<uint8_t> image;
  if (!BuildArchive(root, options, &image, error)) return false;
  *pack = LzEncode(image.data(), image.size());
  return true;
}

std::string ShaderPackSource(const std::vector<uint8_t>& pack) {
  std::ostringstream out;
  out << "// Made by zrshaderpack from tools/shaderpack: the library's shader pack.\n"
      << "#include <cstdint>\n\n"
      << "extern const uint32_t ShaderPackDataSize;\n"
      << "extern const uint8_t ShaderPackData[];\n"
      << "const uint32_t ShaderPackDataSize = " << pack.size() << ";\n"
      << "const uint8_t ShaderPackData[] = {";
  for (size_t i = 0; i < pack.size(); ++i) {
    if (i % 20 == 0) out << "\n   ";
    out << ' ' << static_cast<unsigned>(pack[i]) << ',';
  }
  out << "\n};\n";
  return out.str();
}

bool ReadLibraryShaders(const std::string& folder, std::vector<PackedShader>* shaders, std::string* error) {
  struct Source {
    const char* file;
    bool pixel;
    int index;
  };
  const Source sources[] = {{"library.vert", false, LibraryVertexShaderIndex},
                            {"library.frag", true, LibraryPixelShaderIndex}};
  for (const Source& s : sources) {
    std::ifstream in(folder + "/" + s.file, std::ios::binary);
    if (!in) {
      *error = "cannot read " + folder + "/" + s.file;
      return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    shaders->push_back({s.pixel, s.index / ShaderVariantCount, s.index % ShaderVariantCount, text});
  }
  return true;
}
