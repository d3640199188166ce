// Mirrors the source tree for compilers without a code-page-932 execution
// character set (clang accepts only UTF-8 there). Every C and C++ source is
// copied with the non-ASCII characters of its string and character literals
// written as three-digit octal escapes of their Shift-JIS bytes, so the
// program holds the same bytes that -fexec-charset=CP932 gives; comments,
// u8 literals and everything else stay as they are. Other files are copied
// unchanged. A file is rewritten only when its contents change, so builds of
// the mirror stay incremental.
//
//   escape_literals SOURCE_ROOT MIRROR_ROOT
//   escape_literals --self-test
//
// Folders named build*, and .git, are left out. Files of the mirror whose
// source is gone are removed, and so the mirror must be one this program
// made (it holds the mark file .literals-escaped), or a new or empty folder;
// it may not be the source tree, hold it, or lie in it outside the folders
// left out. Exit status 1 when a literal
// holds a character Shift-JIS lacks, 2 when the mirror is refused.
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

bool IsSource(const fs::path& p) {
  const std::string e = p.extension().string();
  return e == ".cpp" || e == ".h" || e == ".c" || e == ".cc" || e == ".hpp";
}

// UTF-8 text as code page 932 bytes; false when a character has no mapping.
bool ToCp932(const std::string& utf8, std::string* out) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = utf8;
  out->assign(in.size() * 2 + 4, '\0');
  char* src = in.data();
  size_t srcLeft = in.size();
  char* dst = out->data();
  size_t dstLeft = out->size();
  size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return false;
  out->resize(out->size() - dstLeft);
  return true;
}

void AppendOctal(std::string* out, unsigned char byte) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\%03o", byte);
  out->append(escape);
}

// Escapes the literals of one source text. A small lexer: comments, string
// and character literals (with their encoding prefix) and raw strings.
bool EscapeSource(const std::string& text, std::string* out, std::string* error) {
  out->clear();
  size_t i = 0;
  const size_t n = text.size();
  auto identifierChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  };
  while (i < n) {
    char c = text[i];
    if (c == '/' && i + 1 < n && text[i + 1] == '/') {
      size_t end = text.find('\n', i);
      if (end == std::string::npos) end = n;
      out->append(text, i, end - i);
      i = end;
      continue;
    }
    if (c == '/' && i + 1 < n && text[i + 1] == '*') {
      size_t end = text.find("*/", i + 2);
      end = end == std::string::npos ? n : end + 2;
      out->append(text, i, end - i);
      i = end;
      continue;
    }
    if (c != '"' && c != '\'') {
      out->push_back(c);
      ++i;
      continue;
    }
    // The prefix already copied: letters right before the quote.
    size_t p = out->size();
    while (p > 0 && identifierChar((*out)[p - 1])) --p;
    const std::string prefix = out->substr(p);
    const bool utf8Literal = prefix == "u8" || prefix == "u8R";
    const bool raw = c == '"' && !prefix.empty() && prefix.back() == 'R';
    const bool narrow = prefix.empty() || prefix == "R";
    if (c == '\'' && !prefix.empty() && !(prefix == "u8" || prefix == "u" || prefix == "U" || prefix == "L")) {
      // A digit separator (1'000) or an identifier followed by a quote.
      out->push_back(c);
      ++i;
      continue;
    }
    size_t start = i;
    size_t end;
    if (raw) {
      size_t open = text.find('(', i + 1);
      if (open == std::string::npos) return *error = "unterminated raw string", false;
      const std::string delimiter = ")" + text.substr(i + 1, open - i - 1) + "\"";
      end = text.find(delimiter, open);
      if (end == std::string::npos) return *error = "unterminated raw string", false;
      end += delimiter.size();
    } else {
      end = i + 1;
      while (end < n && text[end] != c) {
        if (text[end] == '\\') ++end;
        if (text[end] == '\n') return *error = "literal broken by a line end", false;
        ++end;
      }
      if (end >= n) return *error = "unterminated literal", false;
      ++end;
    }
    const std::string literal = text.substr(start, end - start);
    bool ascii = true;
    for (unsigned char b : literal) ascii = ascii && b < 0x80;
    if (ascii || utf8Literal || !narrow) {
      out->append(literal);
      i = end;
      continue;
    }
    if (raw) return *error = "a raw string with non-ASCII text", false;
    // Runs of non-ASCII characters become octal escapes of their bytes.
    std::string escaped;
    size_t k = 0;
    while (k < literal.size()) {
      if (static_cast<unsigned char>(literal[k]) < 0x80) {
        if (literal[k] == '\\') escaped.push_back(literal[k++]);
        if (k < literal.size()) escaped.push_back(literal[k++]);
        continue;
      }
      size_t runEnd = k;
      while (runEnd < literal.size() && static_cast<unsigned char>(literal[runEnd]) >= 0x80) ++runEnd;
      std::string sjis;
      if (!ToCp932(literal.substr(k, runEnd - k), &sjis))
        return *error = "no Shift-JIS form for " + literal.substr(k, runEnd - k), false;
      for (unsigned char b : sjis) AppendOctal(&escaped, b);
      k = runEnd;
    }
    out->append(escaped);
    i = end;
  }
  return true;
}

bool ReadWhole(const fs::path& p, std::string* text) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

bool WriteIfChanged(const fs::path& p, const std::string& text) {
  std::string old;
  if (ReadWhole(p, &old) && old == text) return true;
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

// The cases the mirror relies on; 0 when all give what they must.
int SelfTest() {
  const struct {
    std::string in, out;
  } cases[] = {
      {"f(\"完了\\n\");", "f(\"\\212\\256\\227\\271\\n\");"},
      {"\"表A\"", "\"\\225\\134A\""},  // a following hex digit stays a character of its own
      {"// 完了 \"x\"\n\"a\"", "// 完了 \"x\"\n\"a\""},
      {"/* '完' */ 'a'", "/* '完' */ 'a'"},
      {"u8\"完\" L\"完\"", "u8\"完\" L\"完\""},
      {"int x = 1'000; char c = '\\'';", "int x = 1'000; char c = '\\'';"},
      {"\"\\\"完\"", "\"\\\"\\212\\256\""},
  };
  int failures = 0;
  for (const auto& c : cases) {
    std::string out, error;
    if (!EscapeSource(c.in, &out, &error) || out != c.out) {
      std::cerr << "escape_literals: " << c.in << " gave " << out << error << ", not " << c.out << "\n";
      ++failures;
    }
  }
  std::cout << (failures == 0 ? "escape_literals: self-test passed\n" : "");
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--self-test") return SelfTest();
  if (argc != 3) {
    std::cerr << "usage: escape_literals SOURCE_ROOT MIRROR_ROOT\n";
    return 2;
  }
  std::error_code ec;
  const fs::path source = fs::canonical(argv[1], ec);
  if (ec) {
    std::cerr << "escape_literals: no source tree " << argv[1] << "\n";
    return 2;
  }
  const fs::path mirror = fs::weakly_canonical(fs::absolute(argv[2]));
  // The mirror's files are written over and pruned: only a folder of its own.
  const auto [end, at] = std::mismatch(mirror.begin(), mirror.end(), source.begin(), source.end());
  if (end == mirror.end()) {
    std::cerr << "escape_literals: refusing the mirror " << mirror.string() << ": it is or holds the source tree\n";
    return 2;
  }
  if (at == source.end() && std::none_of(end, mirror.end(), [](const fs::path& part) {
        return part.string().rfind("build", 0) == 0 || part == ".git";
      })) {
    std::cerr << "escape_literals: refusing the mirror " << mirror.string()
              << ": it lies in the source tree outside the folders left out\n";
    return 2;
  }
  if (fs::exists(mirror) && !fs::is_empty(mirror, ec) && !fs::exists(mirror / ".literals-escaped")) {
    std::cerr << "escape_literals: refusing the mirror " << mirror.string()
              << ": it holds files and no .literals-escaped mark (a folder this program did not make)\n";
    return 2;
  }
  int failures = 0;
  for (auto it = fs::recursive_directory_iterator(source); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& p = it->path();
    const std::string name = p.filename().string();
    if (it->is_directory()) {
      if (name == ".git" || name.rfind("build", 0) == 0) it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file() || name == ".git") continue;
    const fs::path target = mirror / fs::relative(p, source);
    std::string text;
    if (!ReadWhole(p, &text)) {
      std::cerr << p << ": cannot read\n";
      ++failures;
      continue;
    }
    if (IsSource(p)) {
      std::string escaped, error;
      if (!EscapeSource(text, &escaped, &error)) {
        std::cerr << p << ": " << error << "\n";
        ++failures;
        continue;
      }
      text.swap(escaped);
    }
    if (!WriteIfChanged(target, text)) {
      std::cerr << target << ": cannot write\n";
      ++failures;
    }
  }
  // Files whose source is gone leave the mirror too.
  if (fs::exists(mirror)) {
    for (auto it = fs::recursive_directory_iterator(mirror); it != fs::recursive_directory_iterator(); ++it) {
      if (!it->is_regular_file()) continue;
      const fs::path relative = fs::relative(it->path(), mirror);
      if (relative != ".literals-escaped" && !fs::exists(source / relative)) fs::remove(it->path());
    }
  }
  // The mark that lets clang configure the mirror (see CMakeLists.txt).
  if (!WriteIfChanged(mirror / ".literals-escaped", "Shift-JIS literals written as octal escapes\n")) ++failures;
  return failures == 0 ? 0 : 1;
}
