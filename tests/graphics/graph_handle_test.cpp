#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <tuple>
#include <string>
#include <vector>

#include "library/core/library_state.h"
#include "library/core/log.h"
#include "library/core/memory.h"
#include "library/core/text_helpers.h"
#include "library/graphics/graph_handle.h"
#include "library/graphics/graph_image_handle.h"
#include "library/graphics/graphics_system.h"
#include "platform/win32/win32.h"
#include "tests/support/scratch_log.h"
#include "tests/support/test_support.h"

namespace {

// The rules every kind's table follows, on a table of four slots.
struct SmallRecord {
  uint32_t checkNumber;
};
using SmallTable = HandleTable<SmallRecord, HandleKindSound, 4>;

ObjectHandle Add(SmallTable& table, SmallRecord* record) {
  int32_t slot = table.FreeSlot();
  return slot < 0 ? -1 : table.Insert(slot, record);
}

TEST(HandleTable, SlotsCheckNumbersAndTop) {
  static SmallTable table{};
  SmallRecord r[6] = {};
  ObjectHandle a = Add(table, &r[0]);
  ObjectHandle b = Add(table, &r[1]);
  ObjectHandle c = Add(table, &r[2]);
  EXPECT_EQ(a, 0x10000000);
  EXPECT_EQ(b, 0x10010001);
  EXPECT_EQ(c, 0x10020002);
  EXPECT_EQ(table.Find(b), &r[1]);

  // A freed slot waits until the top has reached the capacity.
  table.Remove(1);
  EXPECT_EQ(table.Find(b), nullptr);
  ObjectHandle d = Add(table, &r[3]);
  EXPECT_EQ(d & HandleSlotBits, 3);
  EXPECT_EQ(table.top, 4u);
  ObjectHandle e = Add(table, &r[4]);
  EXPECT_EQ(e, 0x10040001);
  EXPECT_EQ(table.Find(b), nullptr);  // the same slot, another check number: stale
  EXPECT_EQ(table.Find(e), &r[4]);
  EXPECT_EQ(table.FreeSlot(), -1);
  EXPECT_TRUE(table.Full());

  // Freeing the highest slot lowers the top past the free slots below it.
  table.Remove(1);
  table.Remove(2);
  EXPECT_EQ(table.top, 4u);
  table.Remove(3);
  EXPECT_EQ(table.top, 1u);
  EXPECT_EQ(table.count, 1u);
  EXPECT_EQ(Add(table, &r[5]) & HandleSlotBits, 1);  // the top again, not a scan
  table.Remove(1);
  table.Remove(0);
  EXPECT_EQ(table.top, 0u);
  EXPECT_EQ(table.count, 0u);
}

TEST(HandleTable, CheckNumberWrapsAfter2047AndForeignHandlesAreRefused) {
  static SmallTable table{};
  SmallRecord record{};
  std::vector<ObjectHandle> handles;
  for (int i = 0; i < 2049; ++i) {
    handles.push_back(Add(table, &record));
    table.Remove(0);
  }
  EXPECT_EQ(handles[2047], 0x17FF0000);
  EXPECT_EQ(handles[2048], 0x10000000);
  EXPECT_EQ(record.checkNumber, 0u);

  ObjectHandle live = Add(table, &record);
  ASSERT_EQ(table.Find(live), &record);
  const ObjectHandle refused[] = {
      -1,
      -2,
      static_cast<ObjectHandle>(live | 0x80000000u),  // bit 31
      (live & ~HandleKindBits) | HandleKindGraph,      // another kind
      live + 4,                                        // a slot past the capacity
      live + 1,                                        // a free slot
      live + 0x10000,                                  // another check number
  };
  for (ObjectHandle h : refused) EXPECT_EQ(table.Find(h), nullptr) << std::hex << h;
}

class GraphHandleTest : public testing::Test {
 protected:
  void SetUp() override {
    StartScratchLog();
    GraphicsInitialised = 1;
    GraphHandleTable.checkCounter = 0;
    blocks_ = TrackedBlockCount();
  }
  void TearDown() override {
    FreeAllGraphs(0);
    EXPECT_EQ(GraphHandleTable.count, 0u);
    EXPECT_EQ(TrackedBlockCount(), blocks_);
    GraphicsInitialised = 0;
    ScreenWidth = ScreenHeight = 0;
    EndScratchLog();
  }
  // A memory surface shared by count graphs.
  static GraphSurface* NewSurface(uint32_t count) {
    auto* s = static_cast<GraphSurface*>(TrackedCalloc(sizeof(GraphSurface)));
    s->referenceCount = count;
    return s;
  }
  int32_t blocks_ = 0;
};

TEST_F(GraphHandleTest, FirstHandlesAndRecords) {
  ObjectHandle first = AllocGraphHandle();
  ObjectHandle second = AllocGraphHandle();
  EXPECT_EQ(first, 0x08000000);
  EXPECT_EQ(second, 0x08010001);
  GraphRecord* record = GetGraphRecordChecked(second);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->checkNumber, 1u);
  EXPECT_EQ(record->handle, second);
  EXPECT_EQ(record->movie, -1);
  EXPECT_EQ(record->surface, nullptr);
  EXPECT_EQ(record->fileName, nullptr);
  EXPECT_EQ(record->width, 0);
  EXPECT_EQ(IsGraphHandleValid(first), 1);
  EXPECT_EQ(GraphHandleTable.count, 2u);
  EXPECT_EQ(GraphHandleTable.top, 2u);

  // Deleting the lower graph keeps the top; the next graph takes slot 2.
  int32_t notified = 7;
  EXPECT_EQ(SetGraphDeleteNotify(first, &notified), 0);
  EXPECT_EQ(notified, 0);
  EXPECT_EQ(FreeGraph(first), 0);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(IsGraphHandleValid(first), 0);
  EXPECT_EQ(FreeGraph(first), -1);
  EXPECT_EQ(AllocGraphHandle(), 0x08020002);
  EXPECT_EQ(GraphHandleTable.top, 3u);
}

TEST_F(GraphHandleTest, InvalidHandlesChangeNothing) {
  ObjectHandle graph = AllocGraphHandle();
  FreeGraph(graph);
  const ObjectHandle invalid[] = {-1, -3, -5, graph, 0x10000000, 0x0800FFFF};
  for (ObjectHandle h : invalid) {
    int32_t w = 11, h2 = 12;
    EXPECT_EQ(QueryGraphSize(h, &w, &h2), -1) << h;
    EXPECT_EQ(w, 11);
    EXPECT_EQ(IsGraphHandleValid(h), 0);
    EXPECT_EQ(FreeGraph(h), -1);
    EXPECT_EQ(SetGraphFileName(h, "x.png", -1), -1);
  }
  EXPECT_EQ(FreeGraph(BackScreenHandle), -1);
}

TEST_F(GraphHandleTest, SizesOfGraphsAndScreens) {
  ScreenWidth = 640;
  ScreenHeight = 480;
  ObjectHandle graph = AllocGraphHandle();
  GetGraphRecordChecked(graph)->width = 33;
  GetGraphRecordChecked(graph)->height = 17;
  const std::tuple<ObjectHandle, int, int> cases[] = {
      {FrontScreenHandle, 640, 480}, {BackScreenHandle, 640, 480}, {graph, 33, 17}};
  for (auto [handle, w, h] : cases) {
    int32_t gotW = 0, gotH = 0;
    EXPECT_EQ(QueryGraphSize(handle, &gotW, &gotH), 0);
    EXPECT_EQ(gotW, w);
    EXPECT_EQ(gotH, h);
    EXPECT_EQ(QueryGraphSize(handle, nullptr, &gotH), 0);
  }
}

TEST_F(GraphHandleTest, FileNamesAreAbsoluteAndShared) {
  ObjectHandle a = AllocGraphHandle(), b = AllocGraphHandle(), c = AllocGraphHandle();
  char expected[2048];
  ASSERT_EQ(MakeFullPath("media\\..\\img\\a.png", expected, nullptr), 0);
  ASSERT_EQ(SetGraphFileName(a, "media\\..\\img\\a.png", -1), 0);
  GraphFileNameRecord* name = GetGraphRecordChecked(a)->fileName;
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name->Path(), expected);
  EXPECT_EQ(name->referenceCount, 1u);

  EXPECT_EQ(SetGraphFileName(b, nullptr, a), 0);
  EXPECT_EQ(GetGraphRecordChecked(b)->fileName, name);
  EXPECT_EQ(name->referenceCount, 2u);
  EXPECT_EQ(SetGraphFileName(c, nullptr, b), 0);
  EXPECT_EQ(SetGraphFileName(c, nullptr, c), 0);  // its own name: kept
  EXPECT_EQ(name->referenceCount, 3u);

  // A refused source leaves the name as it was.
  EXPECT_EQ(SetGraphFileName(c, nullptr, 0x08000123), -1);
  EXPECT_EQ(GetGraphRecordChecked(c)->fileName, name);

  EXPECT_EQ(FreeGraph(a), 0);
  EXPECT_EQ(name->referenceCount, 2u);
  EXPECT_STREQ(GetGraphRecordChecked(b)->fileName->Path(), expected);
  EXPECT_EQ(SetGraphFileName(c, nullptr, -1), 0);
  EXPECT_EQ(GetGraphRecordChecked(c)->fileName, nullptr);
  EXPECT_EQ(name->referenceCount, 1u);

  // A graph without a name shares none.
  ObjectHandle d = AllocGraphHandle();
  EXPECT_EQ(SetGraphFileName(b, nullptr, d), 0);
  EXPECT_EQ(GetGraphRecordChecked(b)->fileName, nullptr);
  EXPECT_EQ(SetGraphFileName(b, "z.bmp", -1), 0);
  EXPECT_EQ(SetGraphFileName(b, "y.bmp", -1), 0);  // the old name is let go
}

TEST_F(GraphHandleTest, SurfacesLiveUntilTheirLastGraph) {
  ObjectHandle base = AllocGraphHandle(), cell = AllocGraphHandle();
  GraphSurface* surface = NewSurface(2);
  GetGraphRecordChecked(base)->surface = surface;
  GetGraphRecordChecked(cell)->surface = surface;
  int32_t before = TrackedBlockCount();
  EXPECT_EQ(FreeGraph(base), 0);
  EXPECT_EQ(surface->referenceCount, 1u);
  EXPECT_EQ(TrackedBlockCount(), before - 1);  // the record only
  EXPECT_EQ(FreeGraph(cell), 0);
  EXPECT_EQ(TrackedBlockCount(), before - 3);
}

TEST_F(GraphHandleTest, FreeAllOnlyAfterStartUp) {
  std::vector<ObjectHandle> graphs;
  for (int i = 0; i < 6; ++i) graphs.push_back(AllocGraphHandle());
  FreeGraph(graphs[2]);
  SetGraphFileName(graphs[0], "a.png", -1);
  SetGraphFileName(graphs[5], nullptr, graphs[0]);
  GetGraphRecordChecked(graphs[4])->surface = NewSurface(1);
  GraphicsInitialised = 0;
  EXPECT_EQ(FreeAllGraphs(0), 0);
  EXPECT_EQ(GraphHandleTable.count, 5u);
  GraphicsInitialised = 1;
  EXPECT_EQ(FreeAllGraphs(0), 0);
  EXPECT_EQ(GraphHandleTable.count, 0u);
  EXPECT_EQ(GraphHandleTable.top, 0u);
  for (ObjectHandle h : graphs) EXPECT_EQ(IsGraphHandleValid(h), 0);
}

TEST_F(GraphHandleTest, AFullTableEndsTheProgram) {
  EXPECT_EXIT(
      {
        for (uint32_t i = 0; i < GraphHandleCapacity; ++i) AllocGraphHandle();
        // Slots come back only once the table is full: the first free from 0.
        FreeGraph(MakeObjectHandle(HandleKindGraph, 5, 5));
        FreeGraph(MakeObjectHandle(HandleKindGraph, 9, 9));
        if (AllocGraphHandle() != MakeObjectHandle(HandleKindGraph, 0, 5)) std::exit(3);
        if (AllocGraphHandle() != MakeObjectHandle(HandleKindGraph, 1, 9)) std::exit(4);
        AllocGraphHandle();
      },
      testing::ExitedWithCode(255), "");
  std::vector<uint8_t> log = ReadFileBytes("Log.txt");
  std::string text(log.begin(), log.end());
  EXPECT_NE(text.find("グラフィックの数が許容量を越えました終了します\r\n"), std::string::npos);
}

TEST(GraphImageHandle, FreeingReleasesTheImage) {
  int32_t blocks = TrackedBlockCount();
  auto* record = static_cast<GraphImageHandleRecord*>(TrackedCalloc(sizeof(GraphImageHandleRecord)));
  ASSERT_EQ(CreateGraphImage(3, 3, &record->image), 0);
  ObjectHandle handle = GraphImageHandleTable.Insert(GraphImageHandleTable.FreeSlot(), record);
  EXPECT_EQ(handle, HandleKindGraphImage);
  auto* second = static_cast<GraphImageHandleRecord*>(TrackedCalloc(sizeof(GraphImageHandleRecord)));
  GraphImageHandleTable.Insert(GraphImageHandleTable.FreeSlot(), second);
  EXPECT_EQ(FreeGraphImageHandle(handle | 0x10000), -1);
  EXPECT_EQ(FreeGraphImageHandle(handle), 0);
  EXPECT_EQ(FreeGraphImageHandle(handle), -1);
  EXPECT_EQ(GraphImageHandleTable.top, 2u);
  EXPECT_EQ(EndGraphImageHandles(), 0);
  EXPECT_EQ(GraphImageHandleTable.top, 0u);
  EXPECT_EQ(GraphImageHandleTable.count, 0u);
  EXPECT_EQ(TrackedBlockCount(), blocks);
}

}  // namespace
