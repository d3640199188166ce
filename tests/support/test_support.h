// Helpers shared by the test programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The scratch directory the test process runs in (created fresh by the test
// main and removed afterwards).
const std::string& TestScratchDir();

// A fresh directory below the scratch directory, removed with its contents
// when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + relative, with parent directories created.
  std::string Make(const std::string& relative) const;

 private:
  std::string path_;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::string& path, const std::string& text);
void RemoveTree(const std::string& path);
