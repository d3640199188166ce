#include <random>

#include "library/file/disk_file.h"
#include "tests/file/archive_fixture.h"

namespace {

class ArchiveThreadTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    SetFileFunctionTable(nullptr);
    ArchiveSetExtension("dat");
    threads_ = PlatformLiveThreadCount();
  }
  void TearDown() override {
    CleanupArchives();
    EXPECT_EQ(SharedArchives.count, 0);
    EXPECT_EQ(PlatformLiveThreadCount(), threads_);  // every access thread has ended
    FileTest::TearDown();
  }
  int threads_ = 0;
};

uint32_t WaitIdle(FileId file) {
  uint32_t polls = 0;
  while (FileStreamIdle(file) == 0) {
    Sleep(0);
    ++polls;
  }
  return polls;
}

TEST_F(ArchiveThreadTest, SynchronousAndAsynchronousReadsAgree) {
  ArchiveNode tree = SampleTree();
  tree.children.push_back(FileNode("big.bin", PatternBytes(400000, 9)));  // stored: noise does not pack
  tree.children.push_back(FileNode("big.txt", TextBytes(300000)));        // packed
  WriteFileBytes("media.dat", BuildImage(tree));
  std::vector<std::pair<std::string, const ArchiveNode*>> files;
  ListFiles(tree, "", &files);

  std::mt19937 random(77);
  for (auto& [name, node] : files) {
    SCOPED_TRACE(name);
    const Bytes& data = node->data;
    std::string path = "media\\" + name;
    // Both open at once on the one archive file, their reads interleaved.
    FileId sync = FileStreamOpen(path.c_str(), 0, 1, 0);
    FileId async = FileStreamOpen(path.c_str(), 0, 1, 1);
    ASSERT_NE(sync, 0u);
    ASSERT_NE(async, 0u);
    ReadOracle oracle{&data};
    Bytes a(data.size() + 8), b(data.size() + 8), want(data.size() + 8);
    for (int step = 0; step < 60; ++step) {
      if (random() % 4 != 0) {
        uint32_t elementSize = 1 + random() % 700;
        uint32_t count = random() % 200;
        uint32_t nAsync = FileStreamRead(b.data(), elementSize, count, async);
        uint32_t nSync = FileStreamRead(a.data(), elementSize, count, sync);
        WaitIdle(async);
        uint32_t expected = oracle.Read(want.data(), elementSize, count);
        ASSERT_EQ(nSync, expected) << "step " << step;
        ASSERT_EQ(nAsync, expected) << "step " << step;
        size_t bytes = static_cast<size_t>(expected) * elementSize;
        ASSERT_EQ(0, memcmp(a.data(), want.data(), bytes)) << "step " << step;
        ASSERT_EQ(0, memcmp(b.data(), want.data(), bytes)) << "step " << step;
      } else {
        int32_t offset = static_cast<int32_t>(random() % (data.size() + 1));
        // A seek right behind an async read waits for it first.
        ASSERT_EQ(FileStreamSeek(async, offset, 0), 0);
        ASSERT_EQ(FileStreamSeek(sync, offset, 0), 0);
        oracle.Seek(offset, 0);
      }
      ASSERT_EQ(FileStreamTell(async), static_cast<int32_t>(oracle.position));
      ASSERT_EQ(FileStreamTell(sync), static_cast<int32_t>(oracle.position));
      ASSERT_EQ(FileStreamEof(async) != 0, oracle.eof);
    }
    // An async read of a large piece runs beside the caller until idle.
    FileStreamSeek(async, 0, 0);
    uint32_t n = FileStreamRead(b.data(), 1, static_cast<uint32_t>(data.size()), async);
    WaitIdle(async);
    ASSERT_EQ(n, data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), b.begin()));
    // Closing right behind an async read is safe too.
    FileStreamSeek(async, 0, 0);
    FileStreamRead(b.data(), 1, static_cast<uint32_t>(data.size()), async);
    EXPECT_EQ(FileStreamClose(async), 0);
    EXPECT_EQ(FileStreamClose(sync), 0);
  }
  // A byte reader over an async file.
  FileId file = FileStreamOpenRead("media\\odd.bin", 1);
  Bytes got;
  for (int i = 0; i < 131; ++i) got.push_back(static_cast<uint8_t>(FileStreamGetChar(file)));
  EXPECT_EQ(got, PatternBytes(131, 2));
  EXPECT_EQ(FileStreamGetChar(file), -1);
  FileStreamClose(file);
}

TEST_F(ArchiveThreadTest, WholeFileLoadInTheBackground) {
  ArchiveNode tree = SampleTree();
  WriteFileBytes("media.dat", BuildImage(tree));
  int32_t index = OpenSharedArchive(-1, "media.dat", 1, 1);
  ASSERT_GE(index, 0);
  ArchiveObject* object = &SharedArchives.entries[index]->object;
  std::vector<std::pair<std::string, const ArchiveNode*>> files;
  ListFiles(tree, "", &files);
  for (auto& [name, node] : files) {
    ArchiveMemberStream stream;
    ASSERT_EQ(OpenArchiveMember(&stream, object, name.c_str(), 1), 0) << name;  // waits for the load
    Bytes got(node->data.size() + 1);
    EXPECT_EQ(ReadArchiveMember(&stream, got.data(), static_cast<uint32_t>(got.size())), node->data.size());
    got.pop_back();
    EXPECT_EQ(got, node->data) << name;
    EXPECT_EQ(IsArchiveMemberIdle(&stream), 1);
    CloseArchiveMember(&stream);
  }
  EXPECT_EQ(IsArchiveImageLoaded(object), 1);
  ReleaseSharedArchive(index);
}

}  // namespace
