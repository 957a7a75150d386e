// Whole runs over generated stores on disk, against the time it takes merely
// to read those stores. A first run starts from a fresh copy of the same
// stores, made while the clock is stopped; an unchanged run changes nothing,
// so all unchanged runs of one size share one copy.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "whole_run.h"

namespace twinbook::bench {

namespace {

namespace fs = std::filesystem;

StoreTemplates& Templates() {
  static StoreTemplates templates;
  return templates;
}

// Copies of the stores to run on. They are all kept until the benchmark
// ends: removing thousands of files shortly before a measured run would
// slow down the file system under it (ext4 without a journal passes over
// every inode freed in the last half minute when it makes a file; mounted
// with "discard", it waits for the disk on every block it frees).
class Copies {
 public:
  // A new copy of `from`, its cards settled.
  fs::path Fresh(const fs::path& from) {
    const fs::path data = scratch_.path() / std::to_string(++made_) / "Data";
    CopyDataFolder(from, data);
    // The run should not share the disk with the writing back of the copy.
    ::sync();
    WaitUntilCardsSettle();
    return data;
  }

  // One copy of `from` for every caller: for stores that runs leave as they
  // were.
  const fs::path& Shared(const fs::path& from) {
    auto it = shared_.find(from);
    if (it == shared_.end()) {
      it = shared_.emplace(from, Fresh(from)).first;
    }
    return it->second;
  }

 private:
  ScratchFolder scratch_;
  int made_ = 0;
  std::map<fs::path, fs::path> shared_;
};

Copies& WorkingCopies() {
  static Copies copies;
  return copies;
}

// Milliseconds of phases first..last of the run just made.
double PhaseMs(const WholeRun& run, Phase first, Phase last) {
  double seconds = 0;
  for (size_t p = static_cast<size_t>(first); p <= static_cast<size_t>(last); ++p) {
    seconds += run.view.phaseSeconds[p];
  }
  return seconds * 1000;
}

// Times one StartSync per iteration over `stores` (a fresh copy of them
// for each when `fresh`), and reports how the time divides between loading,
// deciding and writing.
void TimeRuns(benchmark::State& state, const fs::path& stores, bool fresh) {
  std::optional<WholeRun> run;
  int conflicts = 0;
  double loadMs = 0, decideMs = 0, writeMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    run.reset();
    run.emplace(fresh ? WorkingCopies().Fresh(stores) : WorkingCopies().Shared(stores));
    state.ResumeTiming();
    run->Run();
    state.PauseTiming();
    conflicts = run->view.conflicts;
    loadMs += PhaseMs(*run, Phase::LoadingOutlook, Phase::LoadingSync);
    decideMs += PhaseMs(*run, Phase::AssignIDs, Phase::SyncingNew);
    writeMs += PhaseMs(*run, Phase::WritingOutlook, Phase::WritingSync);
    state.ResumeTiming();
  }
  state.counters["conflicts"] = conflicts;
  state.counters["load_ms"] = benchmark::Counter(loadMs, benchmark::Counter::kAvgIterations);
  state.counters["decide_ms"] = benchmark::Counter(decideMs, benchmark::Counter::kAvgIterations);
  state.counters["write_ms"] = benchmark::Counter(writeMs, benchmark::Counter::kAvgIterations);
}

void BM_FirstRun(benchmark::State& state) {
  try {
    const fs::path& stores = Templates().FirstRun(static_cast<int>(state.range(0)));
    TimeRuns(state, stores, true);
  } catch (const std::exception& error) {
    state.SkipWithError(error.what());
  }
}

void BM_UnchangedRun(benchmark::State& state) {
  try {
    std::string how;
    const fs::path& stores = Templates().Unchanged(static_cast<int>(state.range(0)), &how);
    state.SetLabel(how);
    TimeRuns(state, stores, false);
  } catch (const std::exception& error) {
    state.SkipWithError(error.what());
  }
}

// The floor under an unchanged run: the same stores read once, nothing
// decided or written.
void BM_ReadEverything(benchmark::State& state) {
  try {
    const fs::path& stores =
        WorkingCopies().Shared(Templates().Unchanged(static_cast<int>(state.range(0))));
    std::size_t bytes = 0;
    for (auto _ : state) {
      bytes = ReadEverything(stores);
      benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
  } catch (const std::exception& error) {
    state.SkipWithError(error.what());
  }
}

BENCHMARK(BM_FirstRun)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnchangedRun)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEverything)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace twinbook::bench

BENCHMARK_MAIN();
