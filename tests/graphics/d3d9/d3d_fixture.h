// Graphics on the Direct3D stand-in device: an adapter chosen by the test,
// the device calls and draws recorded, and no Direct3D object left once
// graphics have ended.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library/graphics/d3d9/d3d_batch.h"
#include "library/graphics/d3d9/d3d_shaders.h"
#include "library/graphics/d3d9/d3d_start.h"
#include "library/graphics/d3d9/d3d_state_cache.h"
#include "platform/d3d9/d3d9_control.h"
#include "tests/graphics/graphics_fixture.h"

class D3DTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    // The shadow state as at program start.
    std::memset(&D3DStateShadow, 0, sizeof D3DStateShadow);
    PlatformSetDesktopColorBits(16);
    D3D9SetAdapter(D3D9FullAdapter());
    D3D9SetRecording(true);
  }
  void TearDown() override {
    GraphicsTest::TearDown();
    PlatformSetDesktopColorBits(0);
    EXPECT_EQ(D3D9LiveObjectCount(), 0) << "Direct3D objects left behind";
    D3D9SetRecording(false);
    D3D9ResetAdapter();
  }

  // Graphics started in a window on a desktop of `bits` on this adapter.
  static void StartOn(const D3D9AdapterSetup& adapter, int bits = 16, int width = 64, int height = 48) {
    PlatformSetDesktopColorBits(bits);
    D3D9SetAdapter(adapter);
    D3D9SetRecording(true);
    StartGraphics(bits, width, height);
  }

  // Graphics on the full adapter at 32 bits and 640 x 480, drawing on the
  // back screen, with nothing recorded yet.
  static void StartOnBackScreen() {
    StartOn(D3D9FullAdapter(), 32, 640, 480);
    SelectDrawTarget(BackScreenHandle);
    G_D3D_FlushVertexBatch();
    D3D9ClearRecords();
  }

  // The log's lines, without their time prefix (negative here: the virtual
  // clock starts after the log).
  static std::vector<std::string> LogLines() {
    std::vector<std::string> lines = ReadLogLines(TestScratchDir() + "/Log.txt");
    for (std::string& line : lines) {
      size_t digits = line.size() > 1 && line[0] == '-' ? 1 : 0;
      const size_t start = digits;
      while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
      if (digits > start && digits < line.size() && line[digits] == ':') line.erase(0, digits + 1);
    }
    return lines;
  }
  // The lines from the first that matches `first` on.
  static std::vector<std::string> LogFrom(const std::string& first) {
    std::vector<std::string> out;
    bool on = false;
    for (const std::string& line : LogLines()) {
      std::string bare = line;
      while (!bare.empty() && bare[0] == '\t') bare.erase(0, 1);
      if (!on && MatchesPattern(bare, first)) on = true;
      if (on) out.push_back(bare);
    }
    return out;
  }
  static bool LogHas(const std::string& pattern) {
    for (std::string line : LogLines()) {
      while (!line.empty() && line[0] == '\t') line.erase(0, 1);
      if (MatchesPattern(line, pattern)) return true;
    }
    return false;
  }
  static void ExpectLines(const std::vector<std::string>& got, const std::vector<std::string>& want) {
    std::string all;
    for (const std::string& line : got) all += SjisForPrint(line) + "\n";
    ASSERT_GE(got.size(), want.size()) << all;
    for (size_t i = 0; i < want.size(); ++i)
      EXPECT_TRUE(MatchesPattern(got[i], want[i])) << "line " << i << ": " << SjisForPrint(got[i]) << "\nwanted "
                                                   << SjisForPrint(want[i]);
  }

  // The journal entries of a call whose first arguments are these.
  static int Sent(D3D9Call call, std::vector<uint32_t> args) {
    int n = 0;
    for (const D3D9CallRecord& r : D3D9JournalOf(call)) {
      bool match = true;
      for (size_t i = 0; i < args.size() && i < 4; ++i) match = match && r.args[i] == args[i];
      n += match ? 1 : 0;
    }
    return n;
  }
};

inline D3D9AdapterSetup AdapterWith(void (*change)(D3D9AdapterSetup*)) {
  D3D9AdapterSetup a = D3D9FullAdapter();
  change(&a);
  return a;
}

inline void Remove(std::vector<D3DFORMAT>* list, std::initializer_list<D3DFORMAT> formats) {
  for (D3DFORMAT f : formats) std::erase(*list, f);
}
