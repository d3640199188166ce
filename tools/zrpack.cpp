// Packs a folder into an archive file the library reads in its place.
//
//   zrpack [-v VERSION] [-k KEY | -2] [-s | -a] FOLDER [ARCHIVE]
//
//   -v VERSION  format version 0 to 4 (default 4)
//   -k KEY      scramble with the key made from KEY (default: the fixed key)
//   -2          scramble with the second fixed key
//   -s          store every member as it is
//   -a          pack every member, also where packing saves nothing
//   ARCHIVE     default: FOLDER with ".dat" appended, beside the folder
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "tools/archive/archive_writer.h"

namespace {

int Usage() {
  fprintf(stderr, "usage: zrpack [-v VERSION] [-k KEY | -2] [-s | -a] FOLDER [ARCHIVE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  ArchiveWriteOptions options;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    std::string flag = argv[i];
    if (flag == "-v" && i + 1 < argc) {
      char* end = nullptr;
      long version = strtol(argv[++i], &end, 10);
      if (*end != '\0' || version < 0 || version > 4) return Usage();
      options.version = static_cast<uint16_t>(version);
    } else if (flag == "-k" && i + 1 < argc) {
      options.key = ArchiveKeyKind::String;
      options.keyString = argv[++i];
    } else if (flag == "-2") {
      options.key = ArchiveKeyKind::Second;
    } else if (flag == "-s") {
      options.packing = ArchivePacking::Store;
    } else if (flag == "-a") {
      options.packing = ArchivePacking::Always;
    } else {
      return Usage();
    }
  }
  if (argc - i < 1 || argc - i > 2) return Usage();
  std::string folder = argv[i];
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::string output = argc - i == 2 ? argv[i + 1] : folder + ".dat";

  ArchiveNode root;
  std::vector<uint8_t> image;
  std::string error;
  if (!ReadHostFolder(folder, &root, &error) || !root.directory ||
      !BuildArchive(root, options, &image, &error)) {
    fprintf(stderr, "zrpack: %s\n", error.empty() ? (folder + " is no folder").c_str() : error.c_str());
    return 1;
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!out.flush()) {
    fprintf(stderr, "zrpack: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}
