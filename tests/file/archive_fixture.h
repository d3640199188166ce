// Archives for the tests: sample trees, packing and the oracle of reads.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "library/file/archive.h"
#include "library/file/archive_files.h"
#include "tests/file/file_fixture.h"
#include "tools/archive/archive_writer.h"

using Bytes = std::vector<uint8_t>;

inline ArchiveNode FileNode(const std::string& name, Bytes data, int64_t writeTime = 1600000000) {
  ArchiveNode node;
  node.name = name;
  node.data = std::move(data);
  node.creationTime = FileTimeFromUnix(writeTime - 1000, 0);
  node.lastWriteTime = FileTimeFromUnix(writeTime, 500000000);
  return node;
}

inline ArchiveNode FolderNode(const std::string& name, std::vector<ArchiveNode> children) {
  ArchiveNode node;
  node.name = name;
  node.directory = true;
  node.children = std::move(children);
  node.lastWriteTime = FileTimeFromUnix(1500000000, 0);
  return node;
}

inline Bytes TextBytes(size_t size) {
  Bytes out;
  for (int i = 0; out.size() < size; ++i) {
    std::string line = "row " + std::to_string(i % 41) + ", some text that repeats\r\n";
    out.insert(out.end(), line.begin(), line.end());
  }
  out.resize(size);
  return out;
}

// Members stored and packed, nested folders, Japanese and mixed-case names,
// an empty member and one of odd size.
inline ArchiveNode SampleTree() {
  return FolderNode("", {
      FolderNode("x", {FileNode("y.png", PatternBytes(5000, 1)), FileNode("Text.txt", TextBytes(20000), 1650000000)}),
      FolderNode("表示", {FileNode("画像.bmp", TextBytes(3001)),
                          FolderNode("深い", {FileNode("z.dat", {0x5A})})}),
      FileNode("a.bin", {}),
      FileNode("odd.bin", PatternBytes(131, 2)),
  });
}

inline Bytes BuildImage(const ArchiveNode& root, const ArchiveWriteOptions& options = {}) {
  Bytes image;
  std::string error;
  EXPECT_TRUE(BuildArchive(root, options, &image, &error)) << error;
  return image;
}

// Every file of the tree with its path (components joined by '\').
inline void ListFiles(const ArchiveNode& node, const std::string& prefix,
                      std::vector<std::pair<std::string, const ArchiveNode*>>* out) {
  for (const ArchiveNode& child : node.children) {
    std::string path = prefix.empty() ? child.name : prefix + "\\" + child.name;
    if (child.directory)
      ListFiles(child, path, out);
    else
      out->push_back({path, &child});
  }
}

// What a read or seek of any file set must give, worked out on the source bytes.
struct ReadOracle {
  const Bytes* data;
  uint32_t position = 0;
  bool eof = false;

  uint32_t Read(uint8_t* out, uint32_t elementSize, uint32_t count) {
    if (elementSize == 0 || count == 0) return 0;
    uint64_t whole = std::min<uint64_t>(count, (data->size() - position) / elementSize);
    if (whole == 0) {
      eof = true;
      return 0;
    }
    size_t bytes = static_cast<size_t>(whole * elementSize);
    memcpy(out, data->data() + position, bytes);
    position += static_cast<uint32_t>(bytes);
    eof = false;
    return static_cast<uint32_t>(whole);
  }
  void Seek(int32_t offset, int32_t origin) {
    int64_t base = origin == 0 ? 0 : origin == 1 ? position : static_cast<int64_t>(data->size());
    position = static_cast<uint32_t>(std::clamp<int64_t>(base + offset, 0, static_cast<int64_t>(data->size())));
    eof = false;
  }
};
