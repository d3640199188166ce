// Writes archive files in every form the library reads: versions 0 to 4,
// the fixed key, a key string or the second key, members stored or packed,
// nested folders and Shift-JIS names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/win32_types.h"

struct ArchiveNode {
  std::string name;  // as written, Shift-JIS; the root's is not stored
  bool directory = false;
  std::vector<uint8_t> data;
  uint32_t attributes = 0;  // 0: 0x10 for folders, 0x20 for files
  FILETIME creationTime{};
  FILETIME accessTime{};
  FILETIME lastWriteTime{};
  std::vector<ArchiveNode> children;
};

enum class ArchivePacking {
  Store,        // every member as it is
  WhenSmaller,  // packed where that saves bytes
  Always,       // every member packed
};

enum class ArchiveKeyKind {
  Fixed,   // the key every archive of the program uses
  String,  // the key made from keyString
  Second,  // the second fixed key
};

struct ArchiveWriteOptions {
  uint16_t version = 4;
  ArchiveKeyKind key = ArchiveKeyKind::Fixed;
  std::string keyString;
  ArchivePacking packing = ArchivePacking::WhenSmaller;  // versions 0 and 1 always store
  uint32_t codePage = 932;                              // written from version 4
};

// The archive image of root's children. False with a reason for a name the
// format cannot hold (empty, too long, with a separator, "." or "..", or
// twice in one folder) or a version above 4.
bool BuildArchive(const ArchiveNode& root, const ArchiveWriteOptions& options, std::vector<uint8_t>* image,
                  std::string* error);

// The tree of a host folder: names turned into Shift-JIS, times and
// attributes from the file system.
bool ReadHostFolder(const std::string& folder, ArchiveNode* root, std::string* error);

// FILETIME of a moment given in seconds and nanoseconds since 1970 UTC.
FILETIME FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
