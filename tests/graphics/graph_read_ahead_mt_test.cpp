// Pictures decoded ahead of their loads by other threads: each load gets the
// graph it would get without the list, in whatever order the loads come,
// and what no load takes is freed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/graphics/graph_direct_load.h"
#include "tests/graphics/graphics_fixture.h"
#include "tests/graphics/graph_compare.h"

namespace {

class ReadAheadTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    for (const PngPicture& p : PngPictures()) {
      WriteFileBytes(p.file, MakePng(p.layout));
      files_.push_back(p.file);
      direct_.push_back(p.direct);
    }
    StartGraphics(16);
    SetGraphTransColorFlag(1);
    GraphCreateSettings.transColor = kKeyColour;
    GraphReadAheadThreads = 3;
  }
  void TearDown() override {
    EndGraphReadAhead();
    for (ObjectHandle h : made_) FreeGraph(h);
    GraphReadAheadThreads = -1;
    GraphDirectLoadOff = 0;
    GraphicsTest::TearDown();
  }
  // The graph of the file by the general path.
  ObjectHandle General(const std::string& file) {
    GraphDirectLoadOff = 1;
    const ObjectHandle h = LoadGraphFile(file.c_str(), 0);
    GraphDirectLoadOff = 0;
    made_.push_back(h);
    return h;
  }
  ObjectHandle Load(const std::string& file) {
    const ObjectHandle h = LoadGraphFile(file.c_str(), 0);
    made_.push_back(h);
    return h;
  }
  static void List(const std::vector<std::string>& files) {
    std::vector<const char*> names;
    for (const std::string& f : files) names.push_back(f.c_str());
    ReadAheadGraphFiles(names.data(), static_cast<int32_t>(names.size()));
  }

  std::vector<std::string> files_;
  std::vector<bool> direct_;
  std::vector<ObjectHandle> made_;
};

TEST_F(ReadAheadTest, EachLoadGetsTheGraphOfTheGeneralPathInAnyOrder) {
  WriteFileBytes("unlisted.png", MakePng(GreyLayout(16, 8, 11)));
  std::vector<ObjectHandle> expected;
  for (const std::string& f : files_) expected.push_back(General(f));
  const ObjectHandle unlistedExpected = General("unlisted.png");
  // Every file, twenty entries of a file that is never loaded, every file
  // again, and a missing file.
  std::vector<std::string> list = files_;
  for (int i = 0; i < 20; ++i) list.push_back("never-loaded.png");
  list.insert(list.end(), files_.begin(), files_.end());
  list.push_back("missing.png");
  List(list);
  const int32_t takenBefore = GraphReadAheadTaken;
  int listedDirect = 0;
  auto load = [&](size_t i, const char* round) {
    SCOPED_TRACE(files_[i] + round);
    ExpectSameGraph(expected[i], Load(files_[i]));
    listedDirect += direct_[i];
  };
  // The first round in order; a file that is not listed; then the second
  // round from its end: its last file lies far beyond the files read so
  // far, the others are read only when their load comes.
  for (size_t i = 0; i < files_.size(); ++i) load(i, "");
  ExpectSameGraph(unlistedExpected, Load("unlisted.png"));
  for (size_t i = files_.size(); i-- > 0;) load(i, ", again");
  EXPECT_EQ(GraphReadAheadTaken - takenBefore, listedDirect);
  const size_t logBefore = Log().size();
  EXPECT_EQ(Load("missing.png"), -1);
  EXPECT_NE(Log().find("グラフィックファイル missing.png がありません", logBefore), std::string::npos);
}

TEST_F(ReadAheadTest, WhatNoLoadTakesIsFreedAndLaterLoadsDecodeForTheirSettings) {
  std::vector<std::string> list;
  for (int round = 0; round < 3; ++round) list.insert(list.end(), files_.begin(), files_.end());
  // A list ended after two loads: the rest of its pictures are freed (the
  // fixture counts the blocks), the next loads decode their files themselves.
  List(list);
  Load(files_[0]);
  Load(files_[1]);
  EndGraphReadAhead();
  const int32_t taken = GraphReadAheadTaken;
  const ObjectHandle afterEnd = Load(files_[2]);
  EXPECT_EQ(GraphReadAheadTaken, taken);
  ExpectSameGraph(General(files_[2]), afterEnd);
  // A second list in place of the first, and the settings changed before
  // the loads: the pictures are made for the settings of the load.
  List(list);
  List(list);
  SetGraphTransColorFlag(0);
  SetGraphCreateBitDepth(32);
  for (size_t i = 0; i < files_.size(); ++i) {
    SCOPED_TRACE(files_[i]);
    ExpectSameGraph(General(files_[i]), Load(files_[i]));
  }
  EXPECT_EQ(GraphReadAheadTaken, taken) << "none made for the settings of the list";
  SetGraphCreateBitDepth(0);
}

}  // namespace
