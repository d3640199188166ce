#include "library/core/memory.h"
#include "library/file/disk_file.h"
#include "library/file/lz.h"
#include "tests/file/archive_fixture.h"

namespace {

using ArchiveTest = FileTest;

// Reads the whole member in chunks of an odd size.
Bytes ReadMember(ArchiveObject* object, const std::string& path, int* result) {
  ArchiveMemberStream stream;
  *result = OpenArchiveMember(&stream, object, path.c_str(), 0);
  Bytes out;
  if (*result != 0) return out;
  uint8_t chunk[777];
  while (uint32_t n = ReadArchiveMember(&stream, chunk, sizeof chunk)) out.insert(out.end(), chunk, chunk + n);
  EXPECT_EQ(ArchiveMemberEof(&stream), -1);
  CloseArchiveMember(&stream);
  return out;
}

void ExpectAllMembers(ArchiveObject* object, const ArchiveNode& tree) {
  std::vector<std::pair<std::string, const ArchiveNode*>> files;
  ListFiles(tree, "", &files);
  for (auto& [path, node] : files) {
    int result = -1;
    Bytes got = ReadMember(object, path, &result);
    EXPECT_EQ(result, 0) << path;
    EXPECT_EQ(got, node->data) << path;
  }
}

TEST_F(ArchiveTest, EveryVersionKeyAndPackingReadsBack) {
  ArchiveNode tree = SampleTree();
  const int32_t blocks = TrackedBlockCount();
  for (uint16_t version = 0; version <= 4; ++version) {
    for (ArchiveKeyKind key : {ArchiveKeyKind::Fixed, ArchiveKeyKind::String, ArchiveKeyKind::Second}) {
      for (ArchivePacking packing : {ArchivePacking::Store, ArchivePacking::WhenSmaller, ArchivePacking::Always}) {
        SCOPED_TRACE(testing::Message() << "version " << version << " key " << static_cast<int>(key)
                                        << " packing " << static_cast<int>(packing));
        ArchiveWriteOptions options;
        options.version = version;
        options.key = key;
        options.keyString = "secret key text";  // 13 or more chars: the first 12 count
        options.packing = packing;
        Bytes image = BuildImage(tree, options);
        WriteFileBytes("t.dat", image);
        const char* keyString = key == ArchiveKeyKind::String ? "secret key t" : nullptr;

        ArchiveObject object;
        InitArchiveObject(&object);
        ASSERT_EQ(OpenArchiveFile(&object, "t.dat", keyString), 0);
        EXPECT_EQ(object.head.version, version);
        EXPECT_EQ(object.charSet, version == 4 ? 1 : 0);
        EXPECT_EQ(OpenArchiveFile(&object, "t.dat", keyString), -1);  // already open
        ExpectAllMembers(&object, tree);
        ReleaseArchiveObject(&object);

        Bytes copy = image;
        ASSERT_EQ(OpenArchiveFromMemory(&object, copy.data(), static_cast<uint32_t>(copy.size()), keyString), 0);
        ExpectAllMembers(&object, tree);
        ReleaseArchiveObject(&object);
        EXPECT_EQ(copy, image);  // the caller's image is scrambled back

        if (key == ArchiveKeyKind::String) {  // the wrong key gives no magic
          EXPECT_EQ(OpenArchiveFile(&object, "t.dat", nullptr), -1);
          EXPECT_EQ(OpenArchiveFromMemory(&object, copy.data(), static_cast<uint32_t>(copy.size()), "other"), -1);
          EXPECT_EQ(copy, image);
        }
      }
    }
  }
  EXPECT_EQ(TrackedBlockCount(), blocks);
  EXPECT_EQ(PlatformLiveThreadCount(), 0);
}

TEST_F(ArchiveTest, WholeFileModeAndMembersInMemory) {
  ArchiveNode tree = SampleTree();
  WriteFileBytes("t.dat", BuildImage(tree));
  for (int async : {0, 1}) {
    ArchiveObject object;
    InitArchiveObject(&object);
    ASSERT_EQ(OpenArchiveWholeFile(&object, "t.dat", nullptr, async), 0);
    ASSERT_NE(GetArchiveImage(&object), nullptr);
    EXPECT_EQ(IsArchiveImageLoaded(&object), 1);
    ExpectAllMembers(&object, tree);
    uint32_t offset = 0, size = 0;
    ASSERT_EQ(GetArchiveMemberInMemory(&object, "x\\Y.PNG", &offset, &size), 0);
    ASSERT_EQ(size, 5000u);
    Bytes expected = PatternBytes(5000, 1);
    EXPECT_EQ(0, memcmp(static_cast<uint8_t*>(GetArchiveImage(&object)) + offset, expected.data(), size));
    EXPECT_EQ(GetArchiveMemberInMemory(&object, "x\\none.png", nullptr, nullptr), -1);
    EXPECT_EQ(CloseArchiveObject(&object), 0);
  }
  ArchiveObject streamed;
  InitArchiveObject(&streamed);
  ASSERT_EQ(OpenArchiveFile(&streamed, "t.dat", nullptr), 0);
  EXPECT_EQ(GetArchiveImage(&streamed), nullptr);
  EXPECT_EQ(GetArchiveMemberInMemory(&streamed, "x\\y.png", nullptr, nullptr), -1);
  ReleaseArchiveObject(&streamed);
  EXPECT_EQ(PlatformLiveThreadCount(), 0);
}

TEST(ArchiveNames, SearchFormLengthAndCheckSum) {
  struct Case {
    const char* text;
    int32_t charSet;
    uint16_t units;
    std::string form;
    size_t consumed;
  } cases[] = {
      {"abc", 0, 1, std::string("ABC\0", 4), 3},
      {"abcd", 0, 2, std::string("ABCD\0\0\0\0", 8), 4},
      {"", 0, 1, std::string(4, '\0'), 0},
      {"a.b\\rest", 0, 1, std::string("A.B\0", 4), 3},
      {"x/y", 1, 1, std::string("X\0\0\0", 4), 1},
      // A double-byte character is copied whole: its trail byte 0x61 stays
      // lower-case and its trail byte 0x5C is no separator.
      {"\x83\x61z", 0, 1, std::string("\x83\x61Z\0", 4), 3},
      {"\x95\x5C" "a", 1, 1, std::string("\x95\x5C" "A\0", 4), 3},
      // Code 2: every byte from 0x80 leads.
      {"\xA1\x61", 2, 1, std::string("\xA1\x61\0\0", 4), 2},
      {"\xA1\x61", 0, 1, std::string("\xA1\x41\0\0", 4), 2},  // 0xA1 is single-byte in Shift-JIS
  };
  for (const Case& c : cases) {
    ArchiveName name;
    size_t consumed = 99;
    ASSERT_EQ(MakeArchiveName(c.charSet, c.text, &name, &consumed), 0) << c.text;
    EXPECT_EQ(name.units, c.units) << c.text;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name.bytes), name.units * 4), c.form) << c.text;
    uint16_t sum = 0;
    for (unsigned char b : c.form) sum = static_cast<uint16_t>(sum + b);
    EXPECT_EQ(name.checkSum, sum) << c.text;
    EXPECT_EQ(consumed, c.consumed) << c.text;
  }
  ArchiveName name;
  EXPECT_EQ(MakeArchiveName(0, std::string(255, 'a').c_str(), &name, nullptr), 0);
  EXPECT_EQ(name.units, 64);
  EXPECT_EQ(MakeArchiveName(0, std::string(256, 'a').c_str(), &name, nullptr), -1);
}

TEST(ArchiveKeys, KeyStringsAndScrambling) {
  uint8_t a[12], b[12], c[12], d[12];
  MakeArchiveKey("ab", a);
  MakeArchiveKey("abababababab", b);
  EXPECT_EQ(0, memcmp(a, b, 12));
  MakeArchiveKey("abcdefghijklXYZ", a);
  MakeArchiveKey("abcdefghijkl", b);
  EXPECT_EQ(0, memcmp(a, b, 12));
  MakeArchiveKey(nullptr, c);
  MakeArchiveKey("", d);
  EXPECT_EQ(0, memcmp(c, d, 12));
  EXPECT_NE(0, memcmp(a, c, 12));

  Bytes plain = PatternBytes(40, 3);
  Bytes whole = plain;
  ScrambleArchiveBytes(40, whole.data(), 7, c);
  EXPECT_NE(whole, plain);
  Bytes tail(plain.begin() + 5, plain.end());  // the same bytes scrambled from position 12
  ScrambleArchiveBytes(35, tail.data(), 12, c);
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), whole.begin() + 5));
  ScrambleArchiveBytes(40, whole.data(), 7, c);
  EXPECT_EQ(whole, plain);
}

// ---------------------------------------------------------------- look-ups

TEST_F(ArchiveTest, LookUpsWalkFoldersAndFindOnlyFiles) {
  ArchiveNode tree = SampleTree();
  tree.children.push_back(FileNode("file", {1, 2, 3}));
  Bytes image = BuildImage(tree);
  ArchiveObject object;
  InitArchiveObject(&object);
  ASSERT_EQ(OpenArchiveFromMemory(&object, image.data(), static_cast<uint32_t>(image.size()), nullptr), 0);
  struct Case {
    const char* path;
    int32_t size;  // -1: not found
  } cases[] = {
      {"x\\y.png", 5000},
      {"X/Y.PNG", 5000},
      {"\\x\\y.png", 5000},
      {"x\\..\\x\\.\\y.png", 5000},
      {".\\a.bin", 0},
      {"表示\\深い\\z.dat", 1},
      {"表示/深い/../画像.bmp", 3001},
      {"x", -1},           // a folder is no file
      {"x\\", -1},         // nor is a path ending on one
      {"..\\a.bin", -1},   // no parent above the root
      {"file\\y.png", -1}, // a file is no folder to walk through
      {"x\\y.png\\z", -1},
      {"nope\\y.png", -1},
      {"", -1},
  };
  for (const Case& c : cases) {
    ArchiveFileEntry entry;
    int result = FindArchiveFileEntry(&object, c.path, &entry);
    EXPECT_EQ(result, c.size < 0 ? -1 : 0) << c.path;
    if (result == 0) {
      EXPECT_EQ(entry.size, static_cast<uint32_t>(c.size)) << c.path;
    }
  }
  ReleaseArchiveObject(&object);
}

// ---------------------------------------------------------------- damaged archives

uint32_t GetU32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void PutU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Positions in an unscrambled version 4 archive of the tree
//   D\m.bin (packed), s.bin (stored)
// whose file table holds the root, D, s.bin, then m.bin.
struct Layout {
  Bytes image;
  size_t headTable, files, directories;
  size_t Entry(int i) const { return files + 44 * i; }
  size_t Member(int i) const { return 28 + GetU32(image, Entry(i) + 32); }
};

Layout MakeLayout() {
  ArchiveNode tree = FolderNode("", {FolderNode("D", {FileNode("m.bin", TextBytes(4000))}),
                                     FileNode("s.bin", PatternBytes(300, 4))});
  ArchiveWriteOptions options;
  options.key = ArchiveKeyKind::Second;  // unscrambled
  Layout l{BuildImage(tree, options), 0, 0, 0};
  l.headTable = GetU32(l.image, 12);
  l.files = l.headTable + GetU32(l.image, 16);
  l.directories = l.headTable + GetU32(l.image, 20);
  return l;
}

TEST_F(ArchiveTest, DamagedArchivesAreRefusedWithoutStrayReads) {
  const Layout base = MakeLayout();
  ASSERT_NE(GetU32(base.image, base.Entry(3) + 40), ArchiveStoredMark);  // m.bin packed
  ASSERT_EQ(GetU32(base.image, base.Entry(2) + 40), ArchiveStoredMark);  // s.bin stored
  using Edit = void (*)(Layout&);
  struct Case {
    const char* what;
    Edit edit;
    bool opens;
    bool storedReads;
    bool packedReads;
  } cases[] = {
      {"intact", [](Layout&) {}, true, true, true},
      {"empty file", [](Layout& l) { l.image.clear(); }, false, false, false},
      {"head cut after the magic", [](Layout& l) { l.image.resize(5); }, false, false, false},
      {"head cut inside", [](Layout& l) { l.image.resize(20); }, false, false, false},
      {"bad magic", [](Layout& l) { l.image[1] = 'X'; }, false, false, false},
      {"version 5", [](Layout& l) { l.image[2] = 5; }, false, false, false},
      {"head table past the end", [](Layout& l) { PutU32(l.image, 4, GetU32(l.image, 4) + 1); }, false, false, false},
      {"head table offset past the end", [](Layout& l) { PutU32(l.image, 12, 0xFFFFFFF0u); }, false, false, false},
      {"file table past the head table", [](Layout& l) { PutU32(l.image, 16, 0x7FFFFFFF); }, false, false, false},
      {"directory table past the head table", [](Layout& l) { PutU32(l.image, 20, GetU32(l.image, 4) - 8); },
       false, false, false},
      {"file cut before the head table", [](Layout& l) { l.image.resize(l.headTable + 10); }, false, false, false},
      {"root entry count huge", [](Layout& l) { PutU32(l.image, l.directories + 8, 0xFFFFFFFF); }, true, true, true},
      {"root entries past the table", [](Layout& l) { PutU32(l.image, l.directories + 12, 0xFFFFFFF0u); },
       true, false, false},
      {"name offset past the table", [](Layout& l) { PutU32(l.image, l.Entry(2), 0xFFFFFFFD); }, true, false, true},
      {"name record longer than the table", [](Layout& l) { l.image[l.headTable + GetU32(l.image, l.Entry(2))] = 0xFF; },
       true, false, true},
      {"folder record past the table", [](Layout& l) { PutU32(l.image, l.Entry(1) + 32, 0x10000); }, true, true, false},
      {"stored member past the end", [](Layout& l) { PutU32(l.image, l.Entry(2) + 36, 0x7FFFFFFF); }, true, false, true},
      {"member offset past the end", [](Layout& l) { PutU32(l.image, l.Entry(2) + 32, 0xFFFFFF00u); }, true, false, true},
      {"packed size past the end", [](Layout& l) { PutU32(l.image, l.Entry(3) + 40, 0x7FFFFFFF); }, true, true, false},
      {"packed size below a block head", [](Layout& l) { PutU32(l.image, l.Entry(3) + 40, 5); }, true, true, false},
      {"block longer than the member", [](Layout& l) { PutU32(l.image, l.Member(3) + 4, GetU32(l.image, l.Member(3) + 4) + 1); },
       true, true, false},
      {"block unpacks to another size", [](Layout& l) { PutU32(l.image, l.Member(3), 3999); }, true, true, false},
      {"member larger than its block can give", [](Layout& l) { PutU32(l.image, l.Entry(3) + 36, 0x40000000); },
       true, true, false},
      {"reference before the start", [](Layout& l) {
         size_t code = l.Member(3) + 9;
         uint8_t escape = l.image[code - 1];
         l.image[code] = escape;  // the first item becomes a reference one byte back
         l.image[code + 1] = escape == 0 ? 1 : 0;
       }, true, true, false},
  };
  TrackedWatchSize = 0x40000000;  // the size a damaged entry claims: never allocated
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Layout l = base;
    c.edit(l);
    WriteFileBytes("bad.dat", l.image);
    Bytes plain = PatternBytes(300, 4), text = TextBytes(4000);

    ArchiveObject object;
    InitArchiveObject(&object);
    int result = -1;
    ASSERT_EQ(OpenArchiveFile(&object, "bad.dat", nullptr) == 0, c.opens);
    if (c.opens) {
      Bytes got = ReadMember(&object, "s.bin", &result);
      EXPECT_EQ(result == 0, c.storedReads);
      if (result == 0) {
        EXPECT_EQ(got, plain);
      }
      got = ReadMember(&object, "D\\m.bin", &result);
      EXPECT_EQ(result == 0, c.packedReads);
      if (result == 0) {
        EXPECT_EQ(got, text);
      }
      EXPECT_EQ(ReadMember(&object, "missing", &result).size(), 0u);
      EXPECT_EQ(result, -1);
      ReleaseArchiveObject(&object);
    }

    Bytes copy = l.image;  // the same from memory, and the image comes back as it was
    ASSERT_EQ(OpenArchiveFromMemory(&object, copy.data(), static_cast<uint32_t>(copy.size()), nullptr) == 0, c.opens);
    if (c.opens) {
      ReadMember(&object, "s.bin", &result);
      EXPECT_EQ(result == 0, c.storedReads);
      ReadMember(&object, "D\\m.bin", &result);
      EXPECT_EQ(result == 0, c.packedReads);
      ReleaseArchiveObject(&object);
    }
    EXPECT_EQ(copy, l.image);
  }
  TrackedWatchSize = 0;
  EXPECT_EQ(Log().find("mem alloc"), std::string::npos);
  EXPECT_EQ(PlatformLiveThreadCount(), 0);
}

}  // namespace
