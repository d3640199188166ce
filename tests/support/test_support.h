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

// The lines of a Shift-JIS log file, each without its time prefix
// ("123:") and without its CR LF.
std::vector<std::string> ReadLogLines(const std::string& path);
// True when text matches pattern, where '*' stands for any run of characters.
bool MatchesPattern(const std::string& text, const std::string& pattern);
// Shift-JIS text as UTF-8, for failure messages.
std::string SjisForPrint(const std::string& sjis);
