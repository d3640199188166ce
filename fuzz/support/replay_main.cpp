// The main of a fuzz target in ordinary builds: every file named on the
// command line, or found (sorted) in a folder named there, goes through the
// target once. Folders that do not exist are passed over. No fuzzing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
void EndLibraryForFuzzing();

int main(int argc, char** argv) {
  // Paths first: a target may change the working folder as it starts.
  std::vector<std::filesystem::path> named;
  for (int i = 1; i < argc; ++i) named.push_back(std::filesystem::absolute(argv[i]));
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::filesystem::path> inputs;
  for (const auto& p : named) {
    if (std::filesystem::is_directory(p)) {
      std::vector<std::filesystem::path> found;
      for (const auto& entry : std::filesystem::directory_iterator(p))
        if (entry.is_regular_file()) found.push_back(entry.path());
      std::sort(found.begin(), found.end());
      inputs.insert(inputs.end(), found.begin(), found.end());
    } else if (std::filesystem::is_regular_file(p)) {
      inputs.push_back(p);
    }
  }
  for (const auto& p : inputs) {
    std::ifstream in(p, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", p.string().c_str(), bytes.size());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  EndLibraryForFuzzing();
  std::printf("%zu inputs replayed\n", inputs.size());
  return inputs.empty() ? 1 : 0;
}
