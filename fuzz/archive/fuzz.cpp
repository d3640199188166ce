// Archives: an archive image is opened (over memory, streamed from a file, or
// read whole from a file) and every member its tables name is read back. Each
// must give exactly its bytes as the tables place them, unpacked by the
// reference LZ decoder when packed, or be refused when they lie outside the
// archive or do not unpack; an image opened over memory is handed back
// scrambled as it came.
//
// Input: a flags byte (bits 0-1: the open mode; bits 2-3: the key: fixed,
// key string, second key), the read chunk size, then the archive image
// unscrambled (the target scrambles it with the chosen key).
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/support/fuzz_support.h"
#include "library/core/memory.h"
#include "library/file/archive.h"
#include "library/file/lz.h"

namespace {

constexpr uint64_t kUnpackLimit = 32u << 20;
constexpr int kMaxDepth = 4;
constexpr int kMaxMembers = 64;

struct Walk {
  ArchiveObject* object;
  const std::vector<uint8_t>* plain;  // the whole archive unscrambled
  uint32_t chunk;
  int members = 0;
};

// What reading the member of this entry must give: false when it must be refused.
bool ExpectedBytes(const Walk& w, const ArchiveFileEntry& e, std::vector<uint8_t>* out, bool* unchecked) {
  const ArchiveHead& head = w.object->head;
  const bool stored = head.version < 2 || e.packedSize == ArchiveStoredMark;
  const uint64_t start = static_cast<uint64_t>(head.dataStart) + e.dataOffset;
  const uint64_t extent = stored ? e.size : e.packedSize;
  if (start + extent > w.plain->size()) return false;
  if (stored) {
    out->assign(w.plain->begin() + static_cast<ptrdiff_t>(start),
                w.plain->begin() + static_cast<ptrdiff_t>(start + e.size));
    return true;
  }
  const int64_t got = ReferenceLzDecode(w.plain->data() + start, e.packedSize, out, kUnpackLimit);
  if (got == -2) *unchecked = true;
  return got == static_cast<int64_t>(e.size);
}

void CheckMember(Walk& w, const std::string& path) {
  ArchiveFileEntry entry;
  if (FindArchiveFileEntry(w.object, path.c_str(), &entry) != 0) return;
  std::vector<uint8_t> expected;
  bool unchecked = false;
  const bool readable = ExpectedBytes(w, entry, &expected, &unchecked);
  if (unchecked) return;
  const int32_t blocks = TrackedBlockCount();
  ArchiveMemberStream stream;
  const int opened = OpenArchiveMember(&stream, w.object, path.c_str(), 0);
  FUZZ_CHECK((opened == 0) == readable, path + (readable ? ": a readable member was refused" : ": a broken member opened"));
  if (opened != 0) {
    FUZZ_CHECK(TrackedBlockCount() == blocks, path + ": a refused member left memory behind");
    return;
  }
  std::vector<uint8_t> got;
  std::vector<uint8_t> buffer(w.chunk);
  for (;;) {
    const uint32_t n = ReadArchiveMember(&stream, buffer.data(), w.chunk);
    if (n == 0) break;
    FUZZ_CHECK(n <= w.chunk, path + ": a read returned more than asked");
    got.insert(got.end(), buffer.begin(), buffer.begin() + n);
    FUZZ_CHECK(got.size() <= expected.size(), path + ": more bytes than the member holds");
  }
  FUZZ_CHECK(got == expected, path + ": bytes differ from the member's (" + std::to_string(got.size()) + " read, " +
                                  std::to_string(expected.size()) + " expected)");
  FUZZ_CHECK(ArchiveMemberEof(&stream) != 0, path + ": no end of file after the last byte");
  // Back to the middle: the rest again.
  const uint32_t middle = static_cast<uint32_t>(expected.size() / 2);
  SeekArchiveMember(&stream, static_cast<int32_t>(middle), SeekFromStart);
  FUZZ_CHECK(TellArchiveMember(&stream) == static_cast<int32_t>(middle), path + ": seek went elsewhere");
  std::vector<uint8_t> tail(expected.size() - middle + 1);
  const uint32_t n = ReadArchiveMember(&stream, tail.data(), static_cast<uint32_t>(tail.size()));
  FUZZ_CHECK(n == expected.size() - middle && (n == 0 || std::memcmp(tail.data(), expected.data() + middle, n) == 0),
             path + ": the bytes after a seek differ");
  CloseArchiveMember(&stream);
  FUZZ_CHECK(TrackedBlockCount() == blocks, path + ": a closed member left memory behind");
}

void WalkDirectory(Walk& w, uint32_t directory, const std::string& prefix, int depth) {
  ArchiveDirectoryRecord record;
  if (ReadArchiveDirectory(w.object, directory, &record) != 0) return;
  ArchiveFileEntry entry;
  for (uint32_t i = 0; w.members < kMaxMembers && ReadArchiveDirectoryEntry(w.object, record, i, &entry) == 0; ++i) {
    ++w.members;
    const uint8_t* form;
    size_t formSize;
    const char* written;
    if (GetArchiveEntryName(w.object, entry, &form, &formSize, &written) != 0) continue;
    TouchBytes(form, formSize);
    const std::string path = prefix.empty() ? written : prefix + "\\" + written;
    if (entry.attributes & ArchiveDirectoryAttribute) {
      if (depth < kMaxDepth) WalkDirectory(w, entry.dataOffset, path, depth + 1);
    } else {
      CheckMember(w, path);
    }
  }
}

}  // namespace

FUZZ_TARGET_STARTS_LIBRARY()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t flags = in.Byte();
  const uint32_t chunk = 1 + in.Byte() * 37u;
  const std::vector<uint8_t> plain = in.Rest();
  if (plain.size() < 8) return 0;
  const int mode = flags & 3;
  const int keyKind = (flags >> 2) & 3;
  const char* keyString = keyKind == 1 ? "fuzz key" : nullptr;
  uint8_t key[ArchiveKeySize];
  if (keyKind == 2)
    MakeArchiveSecondKey(key);
  else
    MakeArchiveKey(keyString, key);
  std::vector<uint8_t> scrambled = plain;
  ScrambleArchiveBytes(static_cast<uint32_t>(scrambled.size()), scrambled.data(), 0, key);

  const int32_t blocks = TrackedBlockCount();
  ArchiveObject object;
  InitArchiveObject(&object);
  int opened;
  std::vector<uint8_t> image = scrambled;
  const std::string file = ScratchPath("fuzz.zra");
  if (mode == 0 || mode == 3) {
    opened = OpenArchiveFromMemory(&object, image.data(), static_cast<uint32_t>(image.size()), keyString);
  } else {
    FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(scrambled.data(), 1, scrambled.size(), f);
    std::fclose(f);
    opened = mode == 1 ? OpenArchiveFile(&object, file.c_str(), keyString)
                       : OpenArchiveWholeFile(&object, file.c_str(), keyString, 0);
  }
  if (opened == 0) {
    // The archive as the reader sees it: unscrambled with the key it settled on.
    std::vector<uint8_t> seen = scrambled;
    ScrambleArchiveBytes(static_cast<uint32_t>(seen.size()), seen.data(), 0, object.key);
    Walk w{&object, &seen, chunk};
    WalkDirectory(w, 0, "", 0);
    // Paths that climb, stay and leave the root.
    for (const char* path : {"..\\x", ".\\x", "\\x\\..\\..\\y", "x/./y", "", "\\"}) {
      ArchiveFileEntry entry;
      FindArchiveFileEntry(&object, path, &entry);
    }
  }
  ReleaseArchiveObject(&object);
  FUZZ_CHECK(image == scrambled, "the caller's image is not handed back as it came");
  FUZZ_CHECK(TrackedBlockCount() == blocks, "the archive left memory behind");
  return 0;
}
