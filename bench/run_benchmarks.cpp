// Whole runs over generated stores on disk, against the time it takes merely
// to read those stores. Every iteration starts from a fresh copy of the same
// stores, made while the clock is stopped.

#include <benchmark/benchmark.h>

#include <filesystem>
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

// A copy of `from` to run on, in the scratch folder of this benchmark.
class WorkingCopy {
 public:
  explicit WorkingCopy(const fs::path& from) : data_(scratch_.path() / "Data") {
    CopyDataFolder(from, data_);
  }
  const fs::path& data() const { return data_; }

 private:
  ScratchFolder scratch_;
  fs::path data_;
};

// Milliseconds of phases first..last of the run just made.
double PhaseMs(const WholeRun& run, Phase first, Phase last) {
  double seconds = 0;
  for (size_t p = static_cast<size_t>(first); p <= static_cast<size_t>(last); ++p) {
    seconds += run.view.phaseSeconds[p];
  }
  return seconds * 1000;
}

// Times one StartSync per iteration over a fresh copy of `stores`, and
// reports how the time divides between loading, deciding and writing.
void TimeRuns(benchmark::State& state, const fs::path& stores) {
  std::optional<WorkingCopy> copy;
  std::optional<WholeRun> run;
  int conflicts = 0;
  double loadMs = 0, decideMs = 0, writeMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    run.reset();
    copy.reset();
    copy.emplace(stores);
    run.emplace(copy->data());
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
    TimeRuns(state, stores);
  } catch (const std::exception& error) {
    state.SkipWithError(error.what());
  }
}

void BM_UnchangedRun(benchmark::State& state) {
  try {
    std::string how;
    const fs::path& stores = Templates().Unchanged(static_cast<int>(state.range(0)), &how);
    state.SetLabel(how);
    TimeRuns(state, stores);
  } catch (const std::exception& error) {
    state.SkipWithError(error.what());
  }
}

// The floor under an unchanged run: the same stores read once, nothing
// decided or written.
void BM_ReadEverything(benchmark::State& state) {
  try {
    const fs::path& stores = Templates().Unchanged(static_cast<int>(state.range(0)));
    std::optional<WorkingCopy> copy;
    std::size_t bytes = 0;
    for (auto _ : state) {
      state.PauseTiming();
      copy.reset();
      copy.emplace(stores);
      state.ResumeTiming();
      bytes = ReadEverything(copy->data());
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
