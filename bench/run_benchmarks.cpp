// Whole runs over generated stores on disk, each timed beside the floor of
// the work it cannot avoid, measured on the same disk in the same process:
//
//   twinbook_bench [--with-100k] [--rounds=N] [Google Benchmark flags]
//
// Every size (1,000, 10,000 and 30,000 contacts per side; 100,000 too with
// --with-100k) is measured over stores made both ways: with the ContactID
// indexes that twinbook-setup makes, and without them, as the PhoneBook
// Manager may leave its database. A first run works on a fresh copy of the
// stores, its floor on another fresh copy; an unchanged run changes nothing,
// so all unchanged runs of one size share one copy, and its floor is reading
// every byte of the three stores. An unchanged run and its floor are timed
// in turn, one first and then the other, so that each follows the other
// equally often. A first run goes before its floor, at least a minute after
// the last floor: the floors free an inode for every card they replace,
// which slows the making of files for a minute (see TimeRuns). The whole set
// runs in rounds (five unless told), each timing every benchmark once (the
// stores with indexes first in odd rounds, without in even ones, so that
// neither always follows the other's floor), so that a slow spell of the
// disk or the machine, which lasts minutes, falls on one measurement of
// several sizes rather than on every measurement of one size. At the end the
// medians and the ratios that matter are printed, each beside its target,
// and under each ratio between sizes the same ratio of the floors.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

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
  // New copies of `from`, their cards settled.
  std::vector<fs::path> Fresh(const fs::path& from, int count) {
    std::vector<fs::path> made;
    for (int i = 0; i < count; ++i) {
      made.push_back(scratch_.path() / std::to_string(++made_) / "Data");
      CopyDataFolder(from, made.back());
    }
    // The run should not share the disk with the writing back of the copy.
    ::sync();
    WaitUntilCardsSettle();
    return made;
  }

  // One copy of `from` for every caller: for stores that runs leave as they
  // were.
  const fs::path& Shared(const fs::path& from) {
    auto it = shared_.find(from);
    if (it == shared_.end()) {
      it = shared_.emplace(from, Fresh(from, 1).front()).first;
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

double SecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Milliseconds of phases first..last of the run just made.
double PhaseMs(const WholeRun& run, Phase first, Phase last) {
  double seconds = 0;
  for (size_t p = static_cast<size_t>(first); p <= static_cast<size_t>(last); ++p) {
    seconds += run.view.phaseSeconds[p];
  }
  return seconds * 1000;
}

enum class Kind { First, Unchanged };

// Every measurement of one benchmark: a run's milliseconds and its floor's.
struct Measured {
  std::vector<double> runMs;
  std::vector<double> floorMs;
};

using ResultKey = std::tuple<Kind, Indexes, int>;

std::map<ResultKey, Measured>& Results() {
  static std::map<ResultKey, Measured> results;
  return results;
}

// When a floor last freed an inode for every card it replaced, by the
// steady clock; never, before the first floor.
std::optional<std::chrono::steady_clock::time_point>& LastFreeing() {
  static std::optional<std::chrono::steady_clock::time_point> last;
  return last;
}

void NoteInodesFreed() {
  ::sync();  // ext4 counts an inode in a block not yet written back as recent for longer
  LastFreeing() = std::chrono::steady_clock::now();
}

// ext4 counts an inode freed less than a minute ago as recent when its block
// has been written back (five minutes more while it has not); a little more,
// as it counts in whole seconds.
void WaitUntilFreedInodesAreOld() {
  if (LastFreeing()) {
    std::this_thread::sleep_until(*LastFreeing() + std::chrono::seconds(62));
  }
}

// Times one run per iteration beside its floor, and reports how the run's
// time divides between loading, deciding and writing.
void TimeRuns(benchmark::State& state, Kind kind, Indexes indexes, int contacts) {
  Measured& measured = Results()[ResultKey{kind, indexes, contacts}];
  double floorMs = 0, ratio = 0, loadMs = 0, decideMs = 0, writeMs = 0;
  for (auto _ : state) {
    fs::path runOn, floorOn;
    const FirstRunWrites* writes = nullptr;
    if (kind == Kind::First) {
      writes = &Templates().WritesOfFirstRun(contacts, indexes);
      const std::vector<fs::path> copies =
          WorkingCopies().Fresh(Templates().FirstRun(contacts, indexes), 2);
      runOn = copies[0];
      floorOn = copies[1];
    } else {
      runOn = floorOn = WorkingCopies().Shared(Templates().Unchanged(contacts, indexes));
    }
    // The disk should not still be writing back what the last measurement
    // wrote (a first run at 30,000 leaves tens of megabytes behind it).
    ::sync();
    WholeRun run(runOn);
    double runSeconds = 0, floorSeconds = 0;
    auto timeRun = [&] { runSeconds = SecondsOf([&] { run.Run(); }); };
    auto timeFloor = [&] {
      floorSeconds =
          kind == Kind::First ? TimeFirstRunFloor(floorOn, *writes) : TimeReadingBytes(floorOn);
    };
    if (kind == Kind::First) {
      // The floor renames a new file over every card, which frees the old
      // one; the run keeps the old card in its backup and frees nothing.
      // Without a journal, ext4 passes over every inode freed in the last
      // minute each time it makes a file, so a run timed after a floor
      // would pay for the floor's work: the run goes first, and waits
      // until the last floor's inodes are no longer recent.
      WaitUntilFreedInodesAreOld();
      timeRun();
      ::sync();
      timeFloor();
      NoteInodesFreed();
    } else {
      // The shared copy is read once untimed first: between two rounds the
      // benchmark makes gigabytes of copies, which push it out of memory,
      // and whichever of the pair went first would pay for reading it back.
      TimeReadingBytes(floorOn);
      if (measured.runMs.size() % 2 == 0) {
        timeFloor();
        timeRun();
      } else {
        timeRun();
        timeFloor();
      }
    }
    state.SetIterationTime(runSeconds);
    measured.runMs.push_back(runSeconds * 1000);
    measured.floorMs.push_back(floorSeconds * 1000);
    floorMs += floorSeconds * 1000;
    ratio += runSeconds / floorSeconds;
    loadMs += PhaseMs(run, Phase::LoadingOutlook, Phase::LoadingSync);
    decideMs += PhaseMs(run, Phase::AssignIDs, Phase::SyncingNew);
    writeMs += PhaseMs(run, Phase::WritingOutlook, Phase::WritingSync);
  }
  using benchmark::Counter;
  state.counters["floor_ms"] = Counter(floorMs, Counter::kAvgIterations);
  state.counters["ratio"] = Counter(ratio, Counter::kAvgIterations);
  state.counters["load_ms"] = Counter(loadMs, Counter::kAvgIterations);
  state.counters["decide_ms"] = Counter(decideMs, Counter::kAvgIterations);
  state.counters["write_ms"] = Counter(writeMs, Counter::kAvgIterations);
}

double Median(std::vector<double> values) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::vector<double> Ratios(const Measured& measured) {
  std::vector<double> ratios;
  for (size_t i = 0; i < measured.runMs.size(); ++i) {
    ratios.push_back(measured.runMs[i] / measured.floorMs[i]);
  }
  return ratios;
}

// A ratio shown beside the verdicts, without a target of its own.
void PrintAside(const char* what, double value) {
  if (!(value > 0) || std::isinf(value)) {
    return;
  }
  std::printf("    %-50s %6.2f\n", what, value);
}

void PrintVerdict(const char* what, double value, double target) {
  if (!(value > 0) || std::isinf(value)) {
    std::printf("  %-52s not measured\n", what);
    return;
  }
  std::printf("  %-52s %6.2f  (target <= %4.1f)  %s\n", what, value, target,
              value <= target ? "ok" : "MISSED");
}

// The medians of every measurement, and the ratios the targets are set on.
void PrintSummary(const std::vector<int>& sizes) {
  std::printf(
      "\nMedians (ms)      contacts   first run   its floor   ratio   unchanged   "
      "read bytes   ratio\n");
  for (Indexes indexes : {Indexes::Kept, Indexes::Dropped}) {
    for (int contacts : sizes) {
      const Measured& first = Results()[ResultKey{Kind::First, indexes, contacts}];
      const Measured& same = Results()[ResultKey{Kind::Unchanged, indexes, contacts}];
      if (first.runMs.empty() && same.runMs.empty()) {
        continue;
      }
      std::printf("%-16s %9d %11.0f %11.0f %7.2f %11.0f %12.0f %7.2f\n", NameOf(indexes), contacts,
                  Median(first.runMs), Median(first.floorMs), Median(Ratios(first)),
                  Median(same.runMs), Median(same.floorMs), Median(Ratios(same)));
    }
  }
  auto run = [](Kind kind, Indexes indexes, int contacts) {
    return Median(Results()[ResultKey{kind, indexes, contacts}].runMs);
  };
  auto floorOf = [](Kind kind, Indexes indexes, int contacts) {
    return Median(Results()[ResultKey{kind, indexes, contacts}].floorMs);
  };
  for (Indexes indexes : {Indexes::Kept, Indexes::Dropped}) {
    std::printf("\n%s:\n", NameOf(indexes));
    for (int contacts : sizes) {
      if (contacts <= 10000) {
        continue;
      }
      const double target = contacts == 30000 ? 3.3 : 11.0 * contacts / 100000;
      for (Kind kind : {Kind::First, Kind::Unchanged}) {
        const std::string what = std::string(kind == Kind::First ? "first" : "unchanged") +
                                 " run, " + std::to_string(contacts) + " / 10000";
        PrintVerdict(what.c_str(), run(kind, indexes, contacts) / run(kind, indexes, 10000),
                     target);
        // How the floor itself grows on this disk: the share of the growth
        // that no program doing the same work could avoid.
        PrintAside("its floor, the same sizes",
                   floorOf(kind, indexes, contacts) / floorOf(kind, indexes, 10000));
      }
    }
    PrintVerdict("first run at 10000 / its floor",
                 Median(Ratios(Results()[ResultKey{Kind::First, indexes, 10000}])), 1.5);
    PrintVerdict("unchanged run at 10000 / reading every byte",
                 Median(Ratios(Results()[ResultKey{Kind::Unchanged, indexes, 10000}])), 3.0);
  }
}

}  // namespace

}  // namespace twinbook::bench

int main(int argc, char** argv) {
  using namespace twinbook::bench;
  std::vector<int> sizes = {1000, 10000, 30000};
  int rounds = 5;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--with-100k") == 0) {
      sizes.push_back(100000);
    } else if (std::strncmp(argv[i], "--rounds=", 9) == 0) {
      rounds = std::atoi(argv[i] + 9);
      if (rounds < 1) {
        std::fprintf(stderr, "twinbook_bench: --rounds needs a whole number above 0\n");
        return 1;
      }
    } else {
      args.push_back(argv[i]);
    }
  }
  // A round is the whole set registered once more: the library runs its
  // benchmarks in the order they were registered, and cannot be started twice.
  for (int round = 1; round <= rounds; ++round) {
    // Every other round measures the stores without indexes first, so that
    // neither way of making them always follows the other's floor.
    const std::vector<Indexes> order = round % 2 == 1
                                           ? std::vector<Indexes>{Indexes::Kept, Indexes::Dropped}
                                           : std::vector<Indexes>{Indexes::Dropped, Indexes::Kept};
    for (int contacts : sizes) {
      for (Indexes indexes : order) {
        for (Kind kind : {Kind::First, Kind::Unchanged}) {
          const std::string name =
              std::string(kind == Kind::First ? "FirstRun/" : "UnchangedRun/") + NameOf(indexes) +
              "/" + std::to_string(contacts) + "/round:" + std::to_string(round);
          benchmark::RegisterBenchmark(name.c_str(),
                                       [kind, indexes, contacts](benchmark::State& state) {
                                         try {
                                           TimeRuns(state, kind, indexes, contacts);
                                         } catch (const std::exception& error) {
                                           state.SkipWithError(error.what());
                                         }
                                       })
              ->Iterations(1)
              ->UseManualTime()
              ->Unit(benchmark::kMillisecond);
        }
      }
    }
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary(sizes);
  // Before the copies are removed, which takes long.
  std::fflush(stdout);
  return 0;
}
