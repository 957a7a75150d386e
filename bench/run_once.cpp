// One whole run over stores kept on disk, for profilers (perf, callgrind,
// massif, heaptrack), which should see the run and nothing of making the
// stores:
//
//   bench_run_once make <contacts per side> first|unchanged <folder> [no-index]
//   bench_run_once run <folder>
//   bench_run_once rerun <folder> [times]
//   bench_run_once read <folder>
//
// "make" writes the stores into <folder>/Data (which must not exist), with
// the databases' ContactID indexes or, given "no-index", without;
// "run" copies them to <folder>/Run-<n> and makes one run over the copy,
// printing how long each phase took; "rerun" runs again over the last copy,
// with no copying for a profiler to see (after an unchanged run, or after a
// first run for an unchanged run over what it wrote), `times` times over in
// one process: the later runs find the process grown, as the benchmark's do; "read" reads
// everything of <folder>/Data once, as a run has to at the least. The copies are left for the
// caller to remove: removing thousands of files just before a measured run would slow down the file
// system under it.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "whole_run.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  try {
    if (command == "make" && (argc == 5 || (argc == 6 && std::string(argv[5]) == "no-index"))) {
      const int contacts = std::atoi(argv[2]);
      const std::string which = argv[3];
      const auto indexes =
          argc == 6 ? twinbook::bench::Indexes::Dropped : twinbook::bench::Indexes::Kept;
      twinbook::bench::StoreTemplates templates;
      twinbook::bench::CopyDataFolder(which == "first" ? templates.FirstRun(contacts, indexes)
                                                       : templates.Unchanged(contacts, indexes),
                                      fs::path(argv[4]) / "Data");
      return 0;
    }
    if (command == "read" && argc == 3) {
      const auto start = std::chrono::steady_clock::now();
      const std::size_t bytes = twinbook::bench::ReadEverything(fs::path(argv[2]) / "Data");
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      std::cout << "read " << bytes << " bytes in " << ms << " ms\n";
      return 0;
    }
    if ((command == "run" && argc == 3) || (command == "rerun" && (argc == 3 || argc == 4))) {
      const int times = argc == 4 ? std::max(1, std::atoi(argv[3])) : 1;
      const fs::path folder = argv[2];
      fs::path copy;
      for (int n = 1;; ++n) {
        const fs::path next = folder / ("Run-" + std::to_string(n));
        if (!fs::exists(next)) {
          copy = command == "run" || n == 1 ? next : copy;
          break;
        }
        copy = next;
      }
      if (command == "run" || !fs::exists(copy)) {
        twinbook::bench::CopyDataFolder(folder / "Data", copy);
        ::sync();
        twinbook::bench::WaitUntilCardsSettle();
      }
      for (int time = 0; time < times; ++time) {
        twinbook::bench::WholeRun run(copy);
        const auto start = std::chrono::steady_clock::now();
        run.Run();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::cout << "run over " << copy.string() << ": " << ms << " ms\n";
        for (const twinbook::PhaseInfo& phase : twinbook::kPhases) {
          std::cout << "  " << phase.startLabel << ": "
                    << run.view.phaseSeconds[static_cast<size_t>(phase.phase)] * 1000 << " ms\n";
        }
      }
      return 0;
    }
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  std::cerr << "usage: bench_run_once make <contacts per side> first|unchanged <folder> "
               "[no-index]\n"
               "       bench_run_once run <folder>\n"
               "       bench_run_once rerun <folder> [times]\n"
               "       bench_run_once read <folder>\n";
  return 2;
}
