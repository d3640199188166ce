#include "tests/support/test_support.h"

#include "platform/win32/sjis.h"

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

std::vector<std::string> ReadLogLines(const std::string& path) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  std::string utf8(bytes.begin(), bytes.end());  // Shift-JIS: no byte of a line is '\n'
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < utf8.size()) {
    size_t end = utf8.find('\n', start);
    if (end == std::string::npos) end = utf8.size();
    std::string line = utf8.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits > 0 && digits < line.size() && line[digits] == ':') line.erase(0, digits + 1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool MatchesPattern(const std::string& text, const std::string& pattern) {
  size_t t = 0, p = 0, star = std::string::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string SjisForPrint(const std::string& sjis) {
  std::string utf8;
  SjisToUtf8(sjis, utf8);
  return utf8;
}
