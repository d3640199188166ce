// A whole 99-turn party of four CPU players on map 1, headless, through the
// game harness exactly as the party replay test drives its 10-turn parties
// (tests/game/party_replay.h): the set-up, every round with its minigame,
// the results, back to the main menu. Reports the frames of the party and
// frames per second of the replay loop (the start-up left out):
//
//   ./build/release/bench/party_replay_bench
//
// --turns=N plays a party of another length the set-up offers (10, 15, 20,
// 30 or 50 turns; the smoke run of the build takes 10).
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/game/harness/game_harness.h"
#include "tests/game/party_replay.h"

namespace {

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int32_t turns = 99;

void PartyReplay(benchmark::State& state) {
  const int32_t map = static_cast<int32_t>(state.range(0));
  double frames = 0, seconds = 0;
  for (auto _ : state) {
    GameRunResult run = RunGame({.seed = 1000u + static_cast<uint32_t>(map), .pads = 1, .stallFrames = 20000},
                                [&](GameHarness& h) {
                                  if (h.StartUpWithoutMedia() != 0 || !h.Frame()) return;
                                  party_replay::StartCpuParty(h, map, turns);
                                  const int first = h.frame();
                                  const double start = Now();
                                  const bool done = party_replay::PlayCpuParty(h, 3000000);
                                  char text[128];
                                  snprintf(text, sizeof text, "%d %d %.6f %d", done ? 1 : 0, h.frame() - first,
                                           Now() - start, TurnsLeft);
                                  h.Report(text + (" " + h.stall()));
                                });
    if (run.reports.size() != 1) {
      state.SkipWithError("the party did not run");
      return;
    }
    int done = 0, count = 0, left = 0;
    double elapsed = 0;
    sscanf(run.reports[0].c_str(), "%d %d %lf %d", &done, &count, &elapsed, &left);
    if (done != 1) {
      state.SkipWithError(("the party did not end: " + run.reports[0]).c_str());
      return;
    }
    frames += count;
    seconds += elapsed;
  }
  state.counters["frames"] = frames / static_cast<double>(state.iterations());
  state.counters["fps"] = seconds > 0 ? frames / seconds : 0;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--turns=", 8) != 0) {
      args.push_back(argv[i]);
      continue;
    }
    turns = std::atoi(argv[i] + 8);
    bool offered = false;
    for (int32_t count : kTurnCounts) offered = offered || count == turns;
    if (!offered) {
      std::fprintf(stderr, "%s: a party has 10, 15, 20, 30, 50 or 99 turns, not %s\n", argv[0], argv[i] + 8);
      return 2;
    }
  }
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::RegisterBenchmark(("BM_PartyReplay" + std::to_string(turns) + "Turns").c_str(), PartyReplay)
      ->Arg(1)
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
