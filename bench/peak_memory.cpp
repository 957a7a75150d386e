// The peak memory of one whole run, measured in a process of its own:
//
//   bench_peak_memory [contacts per side, default 10000] [first|unchanged] [indexed|no-index]
//
// The stores are made by a child process, so that the peak resident size
// (VmHWM) printed is that of the run alone, on top of what the program
// holds before any run; the difference is printed per contact per side.

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "whole_run.h"

namespace {

// A "Vm...:   1234 kB" line of /proc/self/status, in kB; -1 when absent.
long StatusKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
  }
  return -1;
}

// Makes the stores in a child process, so that nothing of making them
// counts against this process's peak. True when the child succeeded.
bool MakeStoresApart(int contacts, const std::string& which, twinbook::bench::Indexes indexes,
                     const std::filesystem::path& data) {
  const pid_t child = fork();
  if (child < 0) {
    return false;
  }
  if (child == 0) {
    int code = 0;
    // Made below the parent's scratch folder and left there: the parent
    // removes it after the run, not the child just before it (removing
    // thousands of files slows down the file system under the run).
    ::setenv("TMPDIR", data.parent_path().c_str(), 1);
    std::optional<twinbook::bench::StoreTemplates> templates;
    try {
      templates.emplace();
      twinbook::bench::CopyDataFolder(which == "first" ? templates->FirstRun(contacts, indexes)
                                                       : templates->Unchanged(contacts, indexes),
                                      data);
    } catch (const std::exception& error) {
      std::cerr << error.what() << "\n";
      code = 1;
    }
    // Leave without destructors: the templates stay, and the parent's
    // scratch folder is not ours.
    std::_Exit(code);
  }
  int status = 0;
  const bool made =
      waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  // The run should not share the disk with the writing back of the stores.
  ::sync();
  return made;
}

}  // namespace

int main(int argc, char** argv) {
  const int contacts = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::string which = argc > 2 ? argv[2] : "first";
  const std::string indexed = argc > 3 ? argv[3] : "indexed";
  if (contacts <= 0 || (which != "first" && which != "unchanged") ||
      (indexed != "indexed" && indexed != "no-index")) {
    std::cerr << "usage: bench_peak_memory [contacts per side] [first|unchanged] "
                 "[indexed|no-index]\n";
    return 2;
  }
  const auto indexes =
      indexed == "indexed" ? twinbook::bench::Indexes::Kept : twinbook::bench::Indexes::Dropped;
  try {
    twinbook::bench::ScratchFolder scratch;
    const std::filesystem::path data = scratch.path() / "Data";
    if (!MakeStoresApart(contacts, which, indexes, data)) {
      std::cerr << "Cannot make the stores\n";
      return 1;
    }
    twinbook::bench::WaitUntilCardsSettle();
    const long before = StatusKb("VmHWM");
    twinbook::bench::WholeRun run(data);
    const auto start = std::chrono::steady_clock::now();
    run.Run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peak = StatusKb("VmHWM");
    std::cout << which << " run, " << contacts << " contacts per side, " << indexed << "\n"
              << "peak resident before the run: " << before << " kB\n"
              << "peak resident (VmHWM):        " << peak << " kB (" << (peak + 512) / 1024
              << " MB)\n"
              << "above the start, per contact:  "
              << static_cast<double>(peak - before) * 1024 / contacts << " bytes\n"
              << "run: " << seconds * 1000 << " ms, of which\n";
    for (const twinbook::PhaseInfo& phase : twinbook::kPhases) {
      std::cout << "  " << phase.startLabel << ": "
                << run.view.phaseSeconds[static_cast<size_t>(phase.phase)] * 1000 << " ms\n";
    }
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  return 0;
}
