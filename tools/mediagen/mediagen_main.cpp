// mediagen: writes the stand-in media tree, checks a media tree, or draws a
// contact sheet of the generated pictures.
//
//   mediagen generate MEDIA_DIR [-j JOBS]
//   mediagen check MEDIA_DIR [--allow-archives]
//   mediagen sheet MEDIA_DIR OUT.png
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tools/mediagen/check.h"
#include "tools/mediagen/generate.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: mediagen generate MEDIA_DIR [-j JOBS]\n"
               "       mediagen check MEDIA_DIR [--allow-archives]\n"
               "       mediagen sheet MEDIA_DIR OUT.png\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string command = argv[1], dir = argv[2];
  if (command == "generate") {
    int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    for (int i = 3; i + 1 < argc; ++i)
      if (std::strcmp(argv[i], "-j") == 0) jobs = std::max(1, std::atoi(argv[i + 1]));
    std::string error;
    if (!mediagen::GenerateMedia(dir, jobs, &error)) {
      std::fprintf(stderr, "mediagen: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (command == "check") {
    mediagen::CheckOptions options;
    for (int i = 3; i < argc; ++i)
      if (std::strcmp(argv[i], "--allow-archives") == 0) options.allowArchives = true;
    std::vector<mediagen::CheckFailure> failures = mediagen::CheckMedia(dir, options);
    for (const auto& f : failures) std::printf("%s: %s\n", f.file.empty() ? dir.c_str() : f.file.c_str(), f.rule.c_str());
    if (!failures.empty()) {
      std::printf("%zu problem(s) in %s\n", failures.size(), dir.c_str());
      return 1;
    }
    std::printf("%s: every file checked\n", dir.c_str());
    return 0;
  }
  if (command == "sheet" && argc >= 4) {
    std::string error;
    if (!mediagen::WriteContactSheet(dir, argv[3], &error)) {
      std::fprintf(stderr, "mediagen: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  return Usage();
}
