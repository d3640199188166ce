#include <unistd.h>

#include <map>
#include <random>

#include "library/file/disk_file.h"
#include "tests/file/archive_fixture.h"

namespace {

// The archive-aware set installed, with the extension "dat".
class ArchiveTableTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    SetFileFunctionTable(nullptr);
    ArchiveSetExtension("dat");
  }
  void TearDown() override {
    SetCurrentDirectoryA(SavedCurrentDirectory);
    CleanupArchives();
    EXPECT_EQ(SharedArchives.count, 0);
    EXPECT_EQ(ArchiveOpenFiles.count, 0);
    FileTest::TearDown();
  }
};

// Writes the tree under hostDir with UTF-8 names.
void WriteTree(const ArchiveNode& node, const std::string& hostDir) {
  for (const ArchiveNode& child : node.children) {
    std::string name;
    SjisToUtf8(child.name, name);
    if (child.directory) {
      ASSERT_EQ(mkdir((hostDir + "/" + name).c_str(), 0755), 0);
      WriteTree(child, hostDir + "/" + name);
    } else {
      WriteFileBytes(hostDir + "/" + name, child.data);
    }
  }
}

// Packs the host folder with the packer's own reading of it.
void PackFolder(const std::string& folder, const std::string& archive, const ArchiveWriteOptions& options = {}) {
  ArchiveNode root;
  std::string error;
  ASSERT_TRUE(ReadHostFolder(folder, &root, &error)) << error;
  WriteFileBytes(archive, BuildImage(root, options));
}

void WriteArchive(const std::string& path, const ArchiveNode& tree) { WriteFileBytes(path, BuildImage(tree)); }

Bytes ReadAll(const std::string& path) {
  Bytes out;
  FileId file = FileStreamOpen(path.c_str(), 0, 1, 0);
  if (file == 0) return {0xDE, 0xAD};
  uint8_t chunk[100];
  while (uint32_t n = FileStreamRead(chunk, 1, sizeof chunk, file)) out.insert(out.end(), chunk, chunk + n);
  FileStreamClose(file);
  return out;
}

// Random reads and seeks through the table, checked against the source bytes.
void CheckRandomReads(const std::string& path, const Bytes& data, uint32_t seed) {
  SCOPED_TRACE(path);
  FileId file = FileStreamOpen(path.c_str(), 0, 1, 0);
  ASSERT_NE(file, 0u);
  ReadOracle oracle{&data};
  std::mt19937 random(seed);
  const uint32_t elementSizes[] = {1, 2, 3, 4, 5, 8, 13, 64, 1000, 4096};
  Bytes got(data.size() + 8), want(data.size() + 8);
  for (int step = 0; step < 150; ++step) {
    if (random() % 3 != 0) {
      uint32_t elementSize = elementSizes[random() % std::size(elementSizes)];
      uint32_t count = random() % 4 == 0 ? 0xFFFFFFFFu : random() % (4 + 3000 / elementSize);
      uint32_t n = FileStreamRead(got.data(), elementSize, count, file);
      ASSERT_EQ(n, oracle.Read(want.data(), elementSize, count)) << "step " << step;
      ASSERT_EQ(0, memcmp(got.data(), want.data(), static_cast<size_t>(n) * elementSize)) << "step " << step;
    } else {
      int32_t origin = static_cast<int32_t>(random() % 3);
      int32_t offset = static_cast<int32_t>(random() % (2 * data.size() + 21)) - static_cast<int32_t>(data.size()) - 10;
      ASSERT_EQ(FileStreamSeek(file, offset, origin), 0);
      oracle.Seek(offset, origin);
    }
    ASSERT_EQ(FileStreamTell(file), static_cast<int32_t>(oracle.position)) << "step " << step;
    ASSERT_EQ(FileStreamEof(file) != 0, oracle.eof) << "step " << step;
    ASSERT_EQ(FileStreamIdle(file), 1);
  }
  EXPECT_EQ(FileStreamClose(file), 0);
}

TEST_F(ArchiveTableTest, PackedFolderReadsBackByteForByteAndHidesTheDisk) {
  ArchiveNode tree = SampleTree();
  ASSERT_EQ(mkdir("src", 0755), 0);
  ASSERT_EQ(mkdir("src/media", 0755), 0);
  WriteTree(tree, "src/media");
  PackFolder("src/media", "media.dat");

  std::vector<std::pair<std::string, const ArchiveNode*>> files;
  ListFiles(tree, "", &files);
  uint32_t seed = 1;
  for (auto& [path, node] : files) CheckRandomReads("media\\" + path, node->data, seed++);
  EXPECT_EQ(ReadAll("media/x/y.png"), PatternBytes(5000, 1));
  EXPECT_EQ(ReadAll(Win(TestScratchDir()) + "\\MEDIA\\X\\..\\X\\Y.PNG"), PatternBytes(5000, 1));

  char archive[ArchivePathSize], inner[ArchivePathSize];
  int32_t index = -1;
  ASSERT_EQ(OpenArchiveForPath("media\\x\\y.png", &index, archive, inner), 0);
  std::string archivePath = archive;
  EXPECT_EQ(archivePath.substr(archivePath.size() - 10), "\\MEDIA.dat");
  EXPECT_STREQ(inner, "X\\Y.PNG");
  ReleaseSharedArchive(index);

  // A file on disk under the packed folder is hidden by the member, and
  // one the archive lacks is not found at all.
  ASSERT_EQ(mkdir("media", 0755), 0);
  ASSERT_EQ(mkdir("media/x", 0755), 0);
  WriteFileBytes("media/x/y.png", {1, 2, 3});
  WriteFileBytes("media/only.txt", {4, 5, 6});
  EXPECT_EQ(ReadAll("media\\x\\y.png"), PatternBytes(5000, 1));
  EXPECT_EQ(FileStreamOpen("media\\only.txt", 0, 1, 0), 0u);
  // Outside the packed folder the disk is read.
  WriteFileBytes("plain.bin", PatternBytes(999, 5));
  CheckRandomReads("plain.bin", PatternBytes(999, 5), 99);
  EXPECT_EQ(Log(), "");
}

TEST_F(ArchiveTableTest, ShortestPrefixFirstThenTheRememberedArchive) {
  ASSERT_EQ(mkdir("t", 0755), 0);
  ASSERT_EQ(mkdir("t/media", 0755), 0);
  ASSERT_TRUE(SetCurrentDirectoryA("t"));
  WriteArchive("media.dat", FolderNode("", {FolderNode("img", {FileNode("a.png", {1})})}));
  WriteArchive("media/img.dat", FolderNode("", {FileNode("a.png", {2})}));

  char archive[ArchivePathSize], inner[ArchivePathSize];
  int32_t index = -1;
  ASSERT_EQ(OpenArchiveForPath("media\\img\\a.png", &index, archive, inner), 0);
  EXPECT_STREQ(inner, "IMG\\A.PNG");
  ReleaseSharedArchive(index);
  EXPECT_EQ(ReadAll("media\\img\\a.png"), Bytes{1});

  // An archive of a shorter folder that appears later is not probed while
  // paths fall under the remembered one...
  WriteArchive("../t.dat", FolderNode("", {FolderNode("MEDIA", {FolderNode("IMG", {FileNode("A.PNG", {3})})}),
                                          FolderNode("other", {FileNode("b.txt", {4})})}));
  EXPECT_EQ(ReadAll("media\\img\\a.png"), Bytes{1});
  // ... a path outside it probes from the shortest folder again.
  EXPECT_EQ(ReadAll("other\\b.txt"), Bytes{4});
  EXPECT_EQ(ReadAll("media\\img\\a.png"), Bytes{3});

  // A remembered archive that no longer opens sends the look-up back to the probe.
  CleanupArchives();
  ASSERT_TRUE(DeleteFileA("../t.dat"));
  ASSERT_TRUE(DeleteFileA("media.dat"));
  ASSERT_EQ(OpenArchiveForPath("media\\img\\a.png", &index, archive, inner), 0);
  EXPECT_STREQ(inner, "A.PNG");
  ReleaseSharedArchive(index);
  EXPECT_EQ(ReadAll("media\\img\\a.png"), Bytes{2});
}

TEST_F(ArchiveTableTest, UpperCasedPathsFindArchivesAndMembersWhateverTheirCase) {
  ArchiveNode tree = FolderNode("", {FolderNode("SubDir", {FileNode("MiXed.Png", {7, 8})})});
  WriteArchive("Media.DAT", tree);
  EXPECT_EQ(ReadAll("mEdIa\\subdir\\mixed.PNG"), (Bytes{7, 8}));
  EXPECT_EQ(ReadAll("MEDIA/SUBDIR/MIXED.PNG"), (Bytes{7, 8}));

  // Without an extension archives are looked for as "ZRA".
  WriteArchive("pack.zra", tree);
  EXPECT_EQ(FileStreamOpen("pack\\subdir\\mixed.png", 0, 1, 0), 0u);
  ArchiveSetExtension(std::string(64, 'x').c_str());  // too long: cleared
  EXPECT_EQ(ReadAll("pack\\subdir\\mixed.png"), (Bytes{7, 8}));
  ArchiveSetExtension("");
  EXPECT_EQ(ReadAll("Pack\\SubDir\\Mixed.png"), (Bytes{7, 8}));
}

TEST(ArchivePaths, NormalisedAbsoluteUpperCaseForms) {
  char cwd[1024];
  ASSERT_NE(GetCurrentDirectoryA(sizeof cwd, cwd), 0u);
  std::string base = cwd;
  for (char& c : base)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  struct Case {
    const char* path;
    std::string expected;
  } cases[] = {
      {"media\\img\\a.png", base + "\\MEDIA\\IMG\\A.PNG"},
      {"./media//x/../y.png", base + "\\MEDIA\\Y.PNG"},
      {"\\root\\f", "C:\\ROOT\\F"},
      {"d:game\\..\\..\\x", "D:\\X"},
      {"e:\\a\\.\\b", "E:\\A\\B"},
      {"\\\\server\\share\\..\\..\\f", "\\\\F"},
      {"表示\\abc", base + "\\表示\\ABC"},  // 表 ends in 0x5C: no separator
      {"\x83\x61z", base + "\\\x83\x61Z"},  // a trail byte 0x61 stays lower-case
  };
  for (const Case& c : cases) {
    char out[ArchivePathSize];
    ASSERT_EQ(NormalizeArchivePath(c.path, out, sizeof out), 0) << c.path;
    EXPECT_EQ(std::string(out), c.expected) << c.path;
  }
  char small[8];
  EXPECT_EQ(NormalizeArchivePath("abcdefghij", small, sizeof small), -1);
  EXPECT_STREQ(small, "");
}

// ---------------------------------------------------------------- searches

using FoundMap = std::map<std::string, FileFindInfo>;

FoundMap FindAll(const std::string& pattern) {
  FoundMap found;
  FileFindInfo info;
  FindHandle find = ActiveFileFunctions.FindFirst(pattern.c_str(), &info);
  if (find == -1) return found;
  do found[info.name] = info;
  while (ActiveFileFunctions.FindNext(find, &info) == 0);
  EXPECT_EQ(ActiveFileFunctions.FindClose(find), 0);
  return found;
}

TEST_F(ArchiveTableTest, FindInsideArchivesAgreesWithFindOnTheSourceFolder) {
  ArchiveNode tree = SampleTree();
  ASSERT_EQ(mkdir("src", 0755), 0);
  ASSERT_EQ(mkdir("src/media", 0755), 0);
  WriteTree(tree, "src/media");
  PackFolder("src/media", "media.dat");

  const char* patterns[] = {"*", "*.bin", "x\\*", "x\\?.png", "X\\*.TXT", "表示\\*", "表示\\画*", "表示\\深い\\z.*",
                            "*.none"};
  for (const char* pattern : patterns) {
    SCOPED_TRACE(pattern);
    FoundMap packed = FindAll(std::string("media\\") + pattern);
    FoundMap disk = FindAll(std::string("src\\media\\") + pattern);
    bool root = strchr(pattern, '\\') == nullptr;
    // Dots: "." in the root, "." and ".." below it, as directories of size 0 and no time.
    if (packed.count(".")) {
      EXPECT_EQ(packed["."].isDirectory, 1u);
      EXPECT_EQ(packed["."].lastWriteTime.year, 0u);
      EXPECT_EQ(packed.count(".."), root ? 0u : 1u);
      packed.erase(".");
      packed.erase("..");
      disk.erase(".");
      disk.erase("..");
    }
    ASSERT_EQ(packed.size(), disk.size());
    for (auto& [name, info] : disk) {
      ASSERT_EQ(packed.count(name), 1u) << name;
      const FileFindInfo& p = packed[name];
      EXPECT_EQ(p.isDirectory, info.isDirectory) << name;
      EXPECT_EQ(p.sizeLow, info.sizeLow) << name;
      EXPECT_EQ(p.sizeHigh, 0u);
      EXPECT_EQ(0, memcmp(&p.lastWriteTime, &info.lastWriteTime, sizeof info.lastWriteTime)) << name;
      EXPECT_EQ(0, memcmp(&p.creationTime, &info.creationTime, sizeof info.creationTime)) << name;
    }
  }
  EXPECT_EQ(FindAll("media\\*.none").size(), 0u);
  EXPECT_EQ(FindAll("media\\nofolder\\*").size(), 0u);

  // An open search holds the archive.
  FindHandle find = ActiveFileFunctions.FindFirst("media\\x\\*", nullptr);
  ASSERT_NE(find, -1);
  ASSERT_EQ(SharedArchives.count, 1);
  SharedArchiveEntry* entry = nullptr;
  for (SharedArchiveEntry* e : SharedArchives.entries)
    if (e != nullptr) entry = e;
  EXPECT_EQ(entry->refCount, 1u);
  EXPECT_EQ(ActiveFileFunctions.FindNext(find, nullptr), 0);
  EXPECT_EQ(ActiveFileFunctions.FindClose(find), 0);
  EXPECT_EQ(entry->refCount, 0u);
  EXPECT_EQ(ActiveFileFunctions.FindClose(-1), -1);
}

TEST(ArchiveWildcards, ByteRulesWithoutBackTracking) {
  struct Case {
    const char* name;
    const char* pattern;
    int result;
  } cases[] = {
      {"ABC.PNG", "*", 0},         {"ABC.PNG", "*.PNG", 0},  {"ABC.PNG", "A?C.*", 0},
      {"ABC.PNG", "*.BMP", -1},    {"ABC", "ABC?", -1},      {"ABC", "AB", -1},
      {"A.B.C", "*.C", -1},        // '*' stops at the first '.': no back-tracking
      {"A.B.C", "*.*", 0},         {"NODOT", "*.*", -1},     {"", "*", 0},
      {"表示", "表*", 0},          {"表示", "表?", -1},      // '?' is one byte
      {"表示", "表??", 0},         {"\x95\x5C\x95\x5D", "*\x95\x5D", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchArchiveWildcard(c.name, strlen(c.name), c.pattern, 1), c.result) << c.name << " " << c.pattern;
}

// ---------------------------------------------------------------- tables

SharedArchiveEntry* EntryOf(const char* name) {
  for (SharedArchiveEntry* e : SharedArchives.entries)
    if (e != nullptr && strstr(e->path, name) != nullptr) return e;
  return nullptr;
}

TEST_F(ArchiveTableTest, ReferenceCountsAndEvictionPast512Archives) {
  WriteArchive("one.dat", FolderNode("", {FileNode("a", {1}), FileNode("b", {2})}));
  FileId a = FileStreamOpen("one\\a", 0, 1, 0);
  FileId b = FileStreamOpen("one\\b", 0, 1, 0);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  ASSERT_EQ(SharedArchives.count, 1);
  SharedArchiveEntry* one = EntryOf("ONE.dat");
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->refCount, 2u);
  EXPECT_EQ(FileStreamOpen("one\\missing", 0, 1, 0), 0u);  // a failed open gives its reference back
  EXPECT_EQ(one->refCount, 2u);
  FileStreamClose(a);
  FileStreamClose(b);
  EXPECT_EQ(one->refCount, 0u);
  EXPECT_EQ(SharedArchives.count, 1);  // closed files leave the archive open
  CleanupArchives();
  EXPECT_EQ(SharedArchives.count, 0);

  // 513 archives: the 513th closes every archive no one holds.
  for (int i = 0; i <= 512; ++i) {
    char name[16];
    snprintf(name, sizeof name, "a%03d.dat", i);
    WriteArchive(name, FolderNode("", {FileNode("m.txt", {static_cast<uint8_t>(i)})}));
  }
  FileId held = FileStreamOpen("a000\\m.txt", 0, 1, 0);
  ASSERT_NE(held, 0u);
  for (int i = 1; i < 512; ++i) {
    std::string path = "a" + std::string(i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i) + "\\m.txt";
    ASSERT_EQ(ReadAll(path), Bytes{static_cast<uint8_t>(i)}) << path;
  }
  EXPECT_EQ(SharedArchives.count, 512);
  EXPECT_EQ(ReadAll("a512\\m.txt"), Bytes{0});  // 512 wraps to byte 0
  EXPECT_EQ(SharedArchives.count, 2);
  EXPECT_NE(EntryOf("A000.dat"), nullptr);
  EXPECT_NE(EntryOf("A512.dat"), nullptr);

  // With every entry held no archive can be added, and its files are not found.
  CleanupArchives();
  EXPECT_EQ(SharedArchives.count, 1);
  std::vector<int32_t> taken;
  for (int i = 1; i < 512; ++i) {
    char name[16];
    snprintf(name, sizeof name, "a%03d.dat", i);
    int32_t index = OpenSharedArchive(-1, name, 0, 0);
    ASSERT_GE(index, 0);
    taken.push_back(index);
  }
  EXPECT_EQ(SharedArchives.count, 512);
  EXPECT_EQ(OpenSharedArchive(-1, "a512.dat", 0, 0), -1);
  EXPECT_EQ(FileStreamOpen("a512\\m.txt", 0, 1, 0), 0u);
  EXPECT_EQ(SharedArchives.count, 512);
  for (int32_t index : taken) ReleaseSharedArchive(index);
  FileStreamClose(held);
  CleanupArchives();
  EXPECT_EQ(SharedArchives.count, 0);
}

TEST_F(ArchiveTableTest, OpenFileLimitAndFileIds) {
  WriteArchive("one.dat", FolderNode("", {FileNode("a", {0x41, 0x42})}));
  std::vector<FileId> files;
  for (int i = 0; i < 512; ++i) {
    files.push_back(FileStreamOpen("one\\a", 0, 1, 0));
    ASSERT_NE(files.back(), 0u);
  }
  EXPECT_EQ(files[0], 0xF0000000u);
  EXPECT_EQ(FileStreamOpen("one\\a", 0, 1, 0), 0u);
  EXPECT_NE(Log().find("同時に開けるファイルの数が限界を超えました"), std::string::npos);
  // Id 0 is no file, though slot 0 is in use; neither are ids without the tag.
  for (FileId bad : {FileId{0}, FileId{1}, FileId{0xF0000000u | 600}, FileId{0x70000001}}) {
    EXPECT_EQ(FileStreamGetChar(bad), -1);
    EXPECT_EQ(FileStreamTell(bad), -1);
    EXPECT_EQ(FileStreamSeek(bad, 0, 0), -1);
    EXPECT_EQ(FileStreamEof(bad), -1);
    EXPECT_EQ(FileStreamIdle(bad), -1);
    EXPECT_EQ(FileStreamClose(bad), -1);
  }
  EXPECT_EQ(FileStreamTell(files[0]), 0);
  EXPECT_EQ(FileStreamGetChar(files[0]), 'A');
  for (FileId file : files) EXPECT_EQ(FileStreamClose(file), 0);
  EXPECT_EQ(FileStreamClose(files[0]), -1);
}

}  // namespace
