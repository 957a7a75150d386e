// A whole run over the real stores, in a process of its own, killed with
// SIGKILL at random moments: whatever it had written, both databases pass
// SQLite's integrity check, every card reads, and the next run leaves the
// stores as an uninterrupted run does.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "crash/crash_scenarios.h"
#include "engine/start_sync.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/faulty_platform.h"

extern char** environ;

namespace twinbook {
namespace {

using testing::AnsweringView;
using testing::Scenario;
using testing::StoreFiles;
using testing::StoreLines;

// Five numbers for each: 240 numbers, within the phone's default capacity.
constexpr int kContactsOfEachKind = 48;
constexpr int kKills = 24;

// The runner process over `data`; its exit status is taken by Wait().
class Runner {
 public:
  explicit Runner(const std::string& data) {
    std::string program = TWINBOOK_CRASH_RUNNER;
    std::string folder = data;
    std::string count = std::to_string(kContactsOfEachKind);
    char* argv[] = {program.data(), folder.data(), count.data(), nullptr};
    if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
      throw std::runtime_error("Cannot start " + program);
    }
  }
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;
  ~Runner() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  void Kill() { ::kill(pid_, SIGKILL); }

  // The wait status of the ended process.
  int Wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
    return status;
  }

 private:
  pid_t pid_ = 0;
};

TEST(SigkillTest, ARunKilledAtRandomMomentsConvergesOnTheNextRun) {
  const Scenario scenario = testing::LargeScenario(kContactsOfEachKind);
  StoreFiles start;
  scenario.seed(start);

  // The uninterrupted run, in this process, for the stores and questions.
  StoreFiles reference;
  testing::CopyDataFolder(start.data, reference.data);
  AnsweringView referenceView = scenario.MakeView();
  testing::RunWith(reference, referenceView, reference.platform);
  ASSERT_EQ(referenceView.status(), kStatusComplete);
  const std::vector<std::string> expected = StoreLines(reference);
  const std::vector<std::string> questionList = testing::QuestionsAsked(referenceView);
  const std::set<std::string> questions(questionList.begin(), questionList.end());

  // The same run by the runner, to be sure it does the same, and to learn
  // how long a run takes, so that the kills fall across the whole of one.
  std::chrono::steady_clock::duration runTime{};
  {
    StoreFiles files;
    testing::CopyDataFolder(start.data, files.data);
    const auto begun = std::chrono::steady_clock::now();
    Runner runner(files.data);
    const int status = runner.Wait();
    runTime = std::chrono::steady_clock::now() - begun;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_THAT(testing::Difference(expected, StoreLines(files)), ::testing::ElementsAre());
  }

  std::mt19937 random(20240611);
  // The first tenth of a run is spent starting and loading, which writes
  // nothing.
  const long long runMicroseconds =
      std::chrono::duration_cast<std::chrono::microseconds>(runTime).count();
  std::uniform_int_distribution<long long> delay(runMicroseconds / 10, runMicroseconds);
  for (int kill = 1; kill <= kKills; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    StoreFiles files;
    testing::CopyDataFolder(start.data, files.data);
    {
      Runner runner(files.data);
      std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
      runner.Kill();
      const int status = runner.Wait();
      // The kill may come after the run ended.
      ASSERT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ||
                  (WIFEXITED(status) && WEXITSTATUS(status) == 0))
          << status;
    }
    // What the killed process left: intact databases, readable cards.
    EXPECT_EQ(testing::IntegrityCheck(files.phoneBookPath), "ok");
    EXPECT_EQ(testing::IntegrityCheck(files.syncPath), "ok");
    ASSERT_NO_THROW(StoreLines(files));

    AnsweringView view = scenario.MakeView();
    testing::RunWith(files, view, files.platform);
    ASSERT_EQ(view.status(), kStatusComplete)
        << (view.messages.empty() ? "" : view.messages.front());
    for (const std::string& question : testing::QuestionsAsked(view)) {
      EXPECT_TRUE(questions.contains(question)) << question;
    }
    EXPECT_THAT(testing::Difference(expected, StoreLines(files)), ::testing::ElementsAre());
    EXPECT_EQ(testing::IntegrityCheck(files.phoneBookPath), "ok");
    EXPECT_EQ(testing::IntegrityCheck(files.syncPath), "ok");

    testing::CrashPlan counting;
    SqliteDatabaseEngine databases;
    VCardContactStore contacts;
    testing::FaultyDatabaseEngine countingDatabases(databases, counting);
    testing::FaultyContactStore countingContacts(contacts, counting);
    Platform platform{countingDatabases, countingContacts, files.settings, files.launcher};
    AnsweringView thirdView = scenario.MakeView();
    testing::RunWith(files, thirdView, platform);
    EXPECT_THAT(counting.writes(), ::testing::ElementsAre()) << "the run after that writes again";
  }
}

}  // namespace
}  // namespace twinbook
