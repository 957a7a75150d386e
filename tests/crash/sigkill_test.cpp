// A run over the real stores in a process of its own, killed at random
// moments: both databases must stay intact and the next run must
// leave the stores as an uninterrupted run does.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "crash/crash_scenarios.h"

namespace twinbook {
namespace {

using namespace testing;

// One run over `files` in a child process, killed after `delay` unless it
// ended first; returns its wait status.
int RunAndKill(StoreFiles& files, const Scenario& scenario, std::chrono::microseconds delay) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    AnsweringView view(scenario.keep);
    ::_exit(RunWith(files, view) ? 0 : 1);
  }
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + delay;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= end) {
      ::kill(pid, SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return status;
}

bool Intact(const std::string& path) {
  return QueryRows(path, "PRAGMA integrity_check").at(0).at(0).text == "ok";
}

TEST(SigkillTest, ARunKilledAtRandomMomentsConvergesOnTheNextRun) {
  const Scenario scenario = CrashScenarios().front();
  StoreFiles start, reference;
  scenario.seed(start);
  CopyDataFolder(start.data, reference.data);
  const auto begun = std::chrono::steady_clock::now();
  ASSERT_EQ(RunAndKill(reference, scenario, std::chrono::minutes(5)), 0);
  const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - begun);
  const std::vector<std::string> expected = StoreLines(reference);

  std::mt19937 random(20240611);
  for (int kill = 1; kill <= 12; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    StoreFiles files;
    CopyDataFolder(start.data, files.data);
    RunAndKill(files, scenario, runTime * (random() % 100) / 100);
    EXPECT_TRUE(Intact(files.phoneBookPath) && Intact(files.syncPath));
    AnsweringView view(scenario.keep);
    ASSERT_TRUE(RunWith(files, view)) << view.status();
    EXPECT_EQ(StoreLines(files), expected);
  }
}

}  // namespace
}  // namespace twinbook
