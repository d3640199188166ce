#include "tests/support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {
std::string& ScratchDirStorage() {
  static std::string dir;
  return dir;
}
}  // namespace

const std::string& TestScratchDir() { return ScratchDirStorage(); }

void SetTestScratchDir(const std::string& dir) { ScratchDirStorage() = dir; }

TempDir::TempDir() {
  std::string base = TestScratchDir().empty() ? fs::temp_directory_path().string() : TestScratchDir();
  std::string pattern = base + "/tmpXXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string TempDir::Make(const std::string& relative) const {
  fs::path full = fs::path(path_) / fs::path(relative);
  fs::create_directories(full.parent_path());
  return full.string();
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
}
