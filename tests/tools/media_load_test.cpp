// The generated media through the library's own loaders: every picture with
// the loader and cut the game uses, and every file read back from the tree
// packed into an archive. (Sounds and fonts are checked once their loaders
// exist.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library/file/file_table.h"
#include "library/graphics/mask_screen.h"
#include "platform/win32/sjis.h"
#include "tests/graphics/graphics_fixture.h"
#include "tools/mediagen/manifest.h"

namespace fs = std::filesystem;
using namespace mediagen;

namespace {

const std::string kMedia = ZR_MEDIA_DIR;

// The game's Shift-JIS path of a file.
std::string SjisPath(const MediaFile& f) {
  std::string sjis;
  EXPECT_TRUE(Utf8ToSjis(GamePath(f), sjis)) << f.path;
  return sjis;
}

class MediaLoadTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    // The tests run in their scratch folder, which gets the tree as media/.
    fs::create_directory_symlink(kMedia, "media");
  }
};

TEST_F(MediaLoadTest, EveryPictureLoadsWithItsCut) {
  StartGraphics(32);
  int pictures = 0;
  for (const MediaFile& f : Manifest()) {
    if (f.kind != FileKind::Picture) continue;
    ++pictures;
    std::string path = SjisPath(f);
    if (f.loader == Loader::Mask) {
      ObjectHandle mask = LoadMaskFile(path.c_str());
      EXPECT_NE(mask, -1) << f.path;
      DeleteMaskData(mask);
    } else if (f.loader == Loader::Divided) {
      std::vector<ObjectHandle> cells(f.cut.count, -1);
      ASSERT_EQ(LoadDividedGraph(path.c_str(), f.cut.count, f.cut.across, f.cut.down, f.cut.w, f.cut.h, cells.data(), 0), 0)
          << f.path;
      for (ObjectHandle cell : cells) {
        int32_t w = 0, h = 0;
        EXPECT_EQ(QueryGraphSize(cell, &w, &h), 0) << f.path;
        EXPECT_EQ(w, f.cut.w) << f.path;
        EXPECT_EQ(h, f.cut.h) << f.path;
        FreeGraph(cell);
      }
    } else {
      ObjectHandle graph = LoadGraphFile(path.c_str(), 0);
      ASSERT_NE(graph, -1) << f.path;
      int32_t w = 0, h = 0;
      EXPECT_EQ(QueryGraphSize(graph, &w, &h), 0);
      EXPECT_EQ(w, f.width) << f.path;
      EXPECT_EQ(h, f.height) << f.path;
      // Pictures drawn with transparency keep their alpha channel.
      if (f.alpha) {
        EXPECT_TRUE(GetGraphRecordChecked(graph)->image.buffer->alpha) << f.path;
      }
      FreeGraph(graph);
    }
  }
  EXPECT_GT(pictures, 300);
}

// The whole tree packed as media.dat (what zrpack writes), with no media
// folder beside it: every file reads back through the archive unchanged.
TEST_F(MediaLoadTest, TreePackedIntoAnArchiveReadsBack) {
  fs::remove("media");
  ArchiveNode root;
  std::string error;
  ASSERT_TRUE(ReadHostFolder(kMedia, &root, &error)) << error;
  WriteFileBytes("media.dat", BuildImage(root));
  for (const MediaFile& f : Manifest()) {
    std::vector<uint8_t> want = ReadFileBytes(kMedia + "/" + f.path);
    FileId file = FileStreamOpenRead(SjisPath(f).c_str(), 0);
    ASSERT_NE(file, 0u) << f.path;
    std::vector<uint8_t> got(want.size() + 1);
    uint32_t read = FileStreamRead(got.data(), 1, static_cast<uint32_t>(got.size()), file);
    FileStreamClose(file);
    got.resize(read);
    EXPECT_TRUE(got == want) << f.path;
  }
}

}  // namespace
