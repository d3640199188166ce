#include "tools/archive/archive_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <set>

#include "library/file/archive.h"
#include "platform/win32/sjis.h"
#include "tools/archive/lz_encoder.h"

namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutTime(std::vector<uint8_t>& out, const FILETIME& time) {
  PutU32(out, time.dwLowDateTime);
  PutU32(out, time.dwHighDateTime);
}

struct Writer {
  const ArchiveWriteOptions& options;
  int32_t charSet;
  std::vector<uint8_t> names, files, directories, data;
  std::string error;

  // Appends the name record; its offset, or -1.
  int64_t AddName(const std::string& name) {
    ArchiveName form;
    size_t consumed = 0;
    if (MakeArchiveName(charSet, name.c_str(), &form, &consumed) != 0 || consumed != name.size()) {
      error = "name cannot be stored: " + name;
      return -1;
    }
    int64_t offset = static_cast<int64_t>(names.size());
    PutU16(names, form.units);
    PutU16(names, form.checkSum);
    names.insert(names.end(), form.bytes, form.bytes + form.units * 4);
    names.insert(names.end(), name.begin(), name.end());
    names.push_back(0);
    while (names.size() % 4 != 0) names.push_back(0);
    return offset;
  }

  void AddEntry(uint32_t nameOffset, const ArchiveNode& node, uint32_t dataOffset, uint32_t size,
                uint32_t packedSize) {
    uint32_t attributes = node.attributes != 0 ? node.attributes : node.directory ? 0x10 : 0x20;
    PutU32(files, nameOffset);
    PutU32(files, attributes);
    PutTime(files, node.creationTime);
    PutTime(files, node.accessTime);
    PutTime(files, node.lastWriteTime);
    PutU32(files, dataOffset);
    PutU32(files, size);
    if (options.version >= 2) PutU32(files, packedSize);
  }

  // The member's bytes into the data area; its packed size or the stored mark.
  uint32_t AddData(const ArchiveNode& node, uint32_t* dataOffset) {
    *dataOffset = static_cast<uint32_t>(data.size());
    if (options.version >= 2 && options.packing != ArchivePacking::Store) {
      std::vector<uint8_t> packed = LzEncode(node.data.data(), node.data.size());
      if (options.packing == ArchivePacking::Always || packed.size() < node.data.size()) {
        data.insert(data.end(), packed.begin(), packed.end());
        return static_cast<uint32_t>(packed.size());
      }
    }
    data.insert(data.end(), node.data.begin(), node.data.end());
    return ArchiveStoredMark;
  }

  bool Build(const ArchiveNode& root) {
    struct Folder {
      const ArchiveNode* node;
      uint32_t record;
      uint32_t ownEntry;
      uint32_t parent;
    };
    int64_t rootName = AddName("");
    AddEntry(static_cast<uint32_t>(rootName), root, 0, 0, ArchiveStoredMark);
    directories.resize(ArchiveDirectoryRecordSize);
    std::deque<Folder> folders{{&root, 0, 0, ArchiveNoParent}};
    while (!folders.empty()) {
      Folder folder = folders.front();
      folders.pop_front();
      std::vector<const ArchiveNode*> children;
      std::set<std::string> seen;
      for (const ArchiveNode& child : folder.node->children) {
        ArchiveName form;
        if (child.name.empty() || child.name == "." || child.name == ".." ||
            MakeArchiveName(charSet, child.name.c_str(), &form, nullptr) != 0 ||
            !seen.insert(std::string(reinterpret_cast<char*>(form.bytes), form.units * 4)).second) {
          error = "name cannot be stored: " + child.name;
          return false;
        }
        children.push_back(&child);
      }
      std::sort(children.begin(), children.end(),
                [](const ArchiveNode* a, const ArchiveNode* b) { return a->name < b->name; });
      std::vector<uint8_t> record;
      PutU32(record, folder.ownEntry);
      PutU32(record, folder.parent);
      PutU32(record, static_cast<uint32_t>(children.size()));
      PutU32(record, static_cast<uint32_t>(files.size()));
      std::copy(record.begin(), record.end(), directories.begin() + folder.record);

      for (const ArchiveNode* child : children) {
        int64_t nameOffset = AddName(child->name);
        if (nameOffset < 0) return false;
        uint32_t entryOffset = static_cast<uint32_t>(files.size());
        if (child->directory) {
          uint32_t childRecord = static_cast<uint32_t>(directories.size());
          directories.resize(directories.size() + ArchiveDirectoryRecordSize);
          folders.push_back({child, childRecord, entryOffset, folder.record});
          AddEntry(static_cast<uint32_t>(nameOffset), *child, childRecord, 0, ArchiveStoredMark);
        } else {
          uint32_t dataOffset = 0;
          uint32_t packedSize = AddData(*child, &dataOffset);
          AddEntry(static_cast<uint32_t>(nameOffset), *child, dataOffset,
                   static_cast<uint32_t>(child->data.size()), packedSize);
        }
      }
    }
    return true;
  }
};

}  // namespace

bool BuildArchive(const ArchiveNode& root, const ArchiveWriteOptions& options, std::vector<uint8_t>* image,
                  std::string* error) {
  if (options.version > ArchiveMaxVersion) {
    if (error != nullptr) *error = "version above 4";
    return false;
  }
  Writer writer{options, options.version >= 4 ? ArchiveCharSetOfCodePage(options.codePage) : 0, {}, {}, {}, {}, {}};
  if (!writer.Build(root)) {
    if (error != nullptr) *error = writer.error;
    return false;
  }
  const uint32_t headSize = ArchiveHeadSize(options.version);
  const uint32_t headTableSize =
      static_cast<uint32_t>(writer.names.size() + writer.files.size() + writer.directories.size());
  std::vector<uint8_t>& out = *image;
  out.clear();
  out.push_back('Z');
  out.push_back('R');
  PutU16(out, options.version);
  PutU32(out, headTableSize);
  PutU32(out, headSize);  // data start
  PutU32(out, headSize + static_cast<uint32_t>(writer.data.size()));
  PutU32(out, static_cast<uint32_t>(writer.names.size()));
  PutU32(out, static_cast<uint32_t>(writer.names.size() + writer.files.size()));
  if (options.version >= 4) PutU32(out, options.codePage);
  for (const auto* part : {&writer.data, &writer.names, &writer.files, &writer.directories})
    out.insert(out.end(), part->begin(), part->end());

  uint8_t key[ArchiveKeySize];
  if (options.key == ArchiveKeyKind::Second)
    MakeArchiveSecondKey(key);
  else
    MakeArchiveKey(options.key == ArchiveKeyKind::String ? options.keyString.c_str() : nullptr, key);
  ScrambleArchiveBytes(static_cast<uint32_t>(out.size()), out.data(), 0, key);
  return true;
}

FILETIME FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  uint64_t ticks = static_cast<uint64_t>(seconds + 11644473600) * 10000000u + nanoseconds / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool ReadHostFolder(const std::string& folder, ArchiveNode* root, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  struct statx sx;
  if (statx(AT_FDCWD, folder.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
    return fail("cannot read " + folder);
  root->directory = S_ISDIR(sx.stx_mode);
  root->lastWriteTime = FileTimeFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
  root->accessTime = FileTimeFromUnix(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
  root->creationTime = (sx.stx_mask & STATX_BTIME) != 0 ? FileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                                                         : root->lastWriteTime;
  if (!root->directory) {
    std::ifstream in(folder, std::ios::binary);
    if (!in) return fail("cannot read " + folder);
    root->data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
  }
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return fail("cannot read " + folder);
  std::vector<std::string> names;
  while (dirent* e = readdir(dir))
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    ArchiveNode child;
    if (!Utf8ToSjis(name, child.name)) return fail("no Shift-JIS form for the name " + folder + "/" + name);
    if (!ReadHostFolder(folder + "/" + name, &child, error)) return false;
    root->children.push_back(std::move(child));
  }
  return true;
}
