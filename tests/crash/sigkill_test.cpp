// A run over the real stores, in a process of its own, killed with SIGKILL
// at random moments: whatever it had written, both databases pass SQLite's
// integrity check, every card reads, and the next run leaves the stores as
// an uninterrupted run does, asking nothing new.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "crash/crash_scenarios.h"

extern char** environ;

namespace twinbook {
namespace {

using testing::StoreFiles;

// Runs the runner over `data`, killed after `delay` unless it ended first;
// returns its wait status.
int RunAndKill(std::string data, std::chrono::microseconds delay) {
  std::string program = TWINBOOK_CRASH_RUNNER;
  char* argv[] = {program.data(), data.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
    throw std::runtime_error("Cannot start " + program);
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
  return testing::QueryRows(path, "PRAGMA integrity_check").at(0).at(0).text == "ok";
}

TEST(SigkillTest, ARunKilledAtRandomMomentsConvergesOnTheNextRun) {
  const testing::Scenario scenario = testing::CrashScenarios().front();
  StoreFiles start, reference, whole;
  scenario.seed(start);
  testing::CopyDataFolder(start.data, reference.data);
  testing::AnsweringView referenceView(scenario.keep);
  ASSERT_TRUE(testing::RunWith(reference, referenceView));
  const std::vector<std::string> expected = testing::StoreLines(reference);

  // The runner uninterrupted: the same stores, and how long a run takes.
  testing::CopyDataFolder(start.data, whole.data);
  const auto begun = std::chrono::steady_clock::now();
  ASSERT_EQ(RunAndKill(whole.data, std::chrono::minutes(5)), 0);
  const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - begun);
  ASSERT_EQ(testing::StoreLines(whole), expected);

  std::mt19937 random(20240611);
  for (int kill = 1; kill <= 16; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    StoreFiles files;
    testing::CopyDataFolder(start.data, files.data);
    const int status = RunAndKill(files.data, runTime * (random() % 100) / 100);
    ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
    EXPECT_TRUE(Intact(files.phoneBookPath) && Intact(files.syncPath));
    ASSERT_NO_THROW(testing::StoreLines(files));

    testing::AnsweringView view(scenario.keep);
    ASSERT_TRUE(testing::RunWith(files, view)) << view.status();
    EXPECT_TRUE(std::includes(referenceView.questions.begin(), referenceView.questions.end(),
                              view.questions.begin(), view.questions.end()));
    EXPECT_EQ(testing::StoreLines(files), expected);
  }
}

}  // namespace
}  // namespace twinbook
