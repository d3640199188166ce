// PNG pictures decoded straight into their graph's memory image: every graph
// is the one the general path (the whole decoded image, then its transfer)
// makes of the same file, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "library/graphics/graph_direct_load.h"
#include "library/graphics/mem_img.h"
#include "tests/graphics/graphics_fixture.h"
#include "tests/graphics/graph_compare.h"

namespace {

class DirectLoadTest : public GraphicsTest {
 protected:
  void TearDown() override {
    GraphDirectLoadOff = 0;
    GraphicsTest::TearDown();
  }
};

TEST_F(DirectLoadTest, GraphsAreThoseOfTheGeneralPathForEveryKindOfPicture) {
  const std::vector<PngPicture> cases = PngPictures();
  for (const PngPicture& c : cases) WriteFileBytes(c.file, MakePng(c.layout));
  for (int bits : {16, 32}) {
    for (int transFlag : {1, 0}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, transparent colour flag " + std::to_string(transFlag));
      StartGraphics(bits);
      SetGraphTransColorFlag(transFlag);
      GraphCreateSettings.transColor = kKeyColour;
      for (const PngPicture& c : cases) {
        SCOPED_TRACE(c.file);
        GraphDirectLoadOff = 1;
        const ObjectHandle general = LoadGraphFile(c.file.c_str(), 0);
        ObjectHandle generalCells[6];
        ASSERT_EQ(LoadDividedGraph(c.file.c_str(), 6, 3, 2, 5, 4, generalCells, 0), 0);
        GraphDirectLoadOff = 0;
        const int32_t before = GraphDirectLoads;
        const ObjectHandle direct = LoadGraphFile(c.file.c_str(), 0);
        ObjectHandle directCells[6];
        ASSERT_EQ(LoadDividedGraph(c.file.c_str(), 6, 3, 2, 5, 4, directCells, 0), 0);
        EXPECT_EQ(GraphDirectLoads - before, c.direct ? 2 : 0) << "the pictures that go straight in";
        ASSERT_NE(general, -1);
        ASSERT_NE(direct, -1);
        ExpectSameGraph(general, direct);
        for (int i = 0; i < 6; ++i) ExpectSameGraph(generalCells[i], directCells[i]);
        for (ObjectHandle h : {general, direct}) FreeGraph(h);
        for (int i = 0; i < 6; ++i) {
          FreeGraph(generalCells[i]);
          FreeGraph(directCells[i]);
        }
      }
      StopGraphics();
    }
  }
}

TEST_F(DirectLoadTest, FilesTheDecoderCannotTakeStraightGoTheGeneralWay) {
  const PngPicture plain = PngPictures()[0];
  Bytes damaged = MakePng(plain.layout);
  damaged.resize(damaged.size() - 30);  // the picture data cut short
  Bytes alphaImage = MakePng(GreyLayout(plain.layout.width, plain.layout.height, 9));
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, Bytes>> files;  // the first is loaded
  };
  const Case cases[] = {
      {"a picture with an alpha image beside it", {{"face.png", MakePng(plain.layout)}, {"face_a.png", alphaImage}}},
      {"a picture cut short", {{"cut.png", damaged}}},
      {"no picture at all", {{"text.png", Bytes(200, 'x')}}},
      {"no file", {}},
  };
  StartGraphics(16);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& [name, bytes] : c.files) WriteFileBytes(name, bytes);
    const std::string file = c.files.empty() ? "missing.png" : c.files[0].first;
    GraphDirectLoadOff = 1;
    const size_t logBefore = Log().size();
    const ObjectHandle general = LoadGraphFile(file.c_str(), 0);
    const std::string generalLog = Log().substr(logBefore);
    GraphDirectLoadOff = 0;
    const int32_t loadsBefore = GraphDirectLoads;
    const size_t directLogBefore = Log().size();
    const ObjectHandle direct = LoadGraphFile(file.c_str(), 0);
    EXPECT_EQ(Log().substr(directLogBefore), generalLog);
    EXPECT_EQ(GraphDirectLoads, loadsBefore);
    EXPECT_EQ(general == -1, direct == -1);
    if (general != -1 && direct != -1) ExpectSameGraph(general, direct);
    FreeGraph(general);
    FreeGraph(direct);
  }
}

}  // namespace
