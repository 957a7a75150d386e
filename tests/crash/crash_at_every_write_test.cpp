// A run stopped at any one of its writes, as a crash would stop it, and then
// run again without faults, must leave the three stores exactly as the same
// run does uninterrupted: no contact lost, duplicated or holding another's
// data, and every file readable. Tried for every write of each reference
// run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>

#include "crash/crash_scenarios.h"
#include "engine/start_sync.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/faulty_platform.h"

namespace twinbook {
namespace {

using testing::AnsweringView;
using testing::CrashPlan;
using testing::FaultyContactStore;
using testing::FaultyDatabaseEngine;
using testing::Joined;
using testing::Scenario;
using testing::SimulatedCrash;
using testing::StoreFiles;
using testing::StoreLines;

// A run through the crashing wrappers, with a database engine and a contact
// store of its own, as a program started afresh has.
std::optional<SimulatedCrash> RunThrough(StoreFiles& files, CrashPlan& plan, AnsweringView& view) {
  SqliteDatabaseEngine databases;
  VCardContactStore contacts;
  FaultyDatabaseEngine faultyDatabases(databases, plan);
  FaultyContactStore faultyContacts(contacts, plan);
  Platform platform{faultyDatabases, faultyContacts, files.settings, files.launcher};
  try {
    testing::RunWith(files, view, platform);
  } catch (const SimulatedCrash& crash) {
    return crash;
  }
  return std::nullopt;
}

// What went wrong with a run that completes, if anything.
std::string RunProblem(const AnsweringView& view) {
  if (view.status() != kStatusComplete) {
    return "ended with status '" + view.status() + "'" +
           (view.messages.empty() ? "" : ": " + view.messages.front());
  }
  if (!view.messages.empty()) {
    return "showed the message '" + view.messages.front() + "'";
  }
  return "";
}

// Questions asked that the uninterrupted run never asked.
std::vector<std::string> NewQuestions(const AnsweringView& view,
                                      const std::set<std::string>& known) {
  std::vector<std::string> unknown;
  for (const std::string& question : testing::QuestionsAsked(view)) {
    if (!known.contains(question)) {
      unknown.push_back(question);
    }
  }
  return unknown;
}

class CrashAtEveryWriteTest : public ::testing::TestWithParam<Scenario (*)()> {};

TEST_P(CrashAtEveryWriteTest, EveryCrashConvergesToTheUninterruptedRun) {
  const Scenario scenario = GetParam()();
  StoreFiles start;
  scenario.seed(start);
  const std::vector<std::string> startLines = StoreLines(start);

  // The uninterrupted run: the stores it leaves, its writes and questions.
  StoreFiles reference;
  testing::CopyDataFolder(start.data, reference.data);
  CrashPlan counting;
  AnsweringView referenceView = scenario.MakeView();
  ASSERT_FALSE(RunThrough(reference, counting, referenceView));
  ASSERT_EQ(RunProblem(referenceView), "");
  const std::vector<std::string> writes = counting.writes();
  const std::vector<std::string> expected = StoreLines(reference);
  const std::vector<std::string> questionList = testing::QuestionsAsked(referenceView);
  const std::set<std::string> questions(questionList.begin(), questionList.end());
  ASSERT_FALSE(writes.empty());
  ASSERT_NE(expected, startLines);
  {
    CrashPlan again;
    AnsweringView view = scenario.MakeView();
    ASSERT_FALSE(RunThrough(reference, again, view));
    ASSERT_EQ(RunProblem(view), "");
    ASSERT_THAT(again.writes(), ::testing::ElementsAre()) << "the run after a clean run writes";
    ASSERT_THAT(view.conflictsAsked, ::testing::ElementsAre());
  }
  std::cout << scenario.name << ": " << writes.size() << " writes, " << questions.size()
            << " questions\n";

  std::vector<std::string> failures;
  for (int k = 1; k <= static_cast<int>(writes.size()); ++k) {
    const std::string at = "crash at write " + std::to_string(k) + " (" + writes[k - 1] + "): ";
    try {
      StoreFiles files;
      testing::CopyDataFolder(start.data, files.data);

      CrashPlan plan(k);
      AnsweringView crashedView = scenario.MakeView();
      const std::optional<SimulatedCrash> crash = RunThrough(files, plan, crashedView);
      if (!crash || crash->write != k) {
        failures.push_back(at + "the run did not crash there");
        continue;
      }
      if (plan.crashesThrown() != 1) {
        failures.push_back(at + "the crash was caught and the run tried to write again");
      }

      AnsweringView againView = scenario.MakeView();
      testing::RunWith(files, againView, files.platform);
      if (const std::string problem = RunProblem(againView); !problem.empty()) {
        failures.push_back(at + "the run after it " + problem);
        continue;
      }
      std::vector<std::string> unknown = NewQuestions(crashedView, questions);
      for (std::string& question : NewQuestions(againView, questions)) {
        unknown.push_back("(after) " + question);
      }
      if (!unknown.empty()) {
        failures.push_back(at +
                           "questions the uninterrupted run never asked:" + Joined(unknown, 6));
      }
      const std::vector<std::string> difference = testing::Difference(expected, StoreLines(files));
      if (!difference.empty()) {
        failures.push_back(
            at + "the stores differ from the uninterrupted run's:" + Joined(difference, 12));
        continue;
      }

      CrashPlan third;
      AnsweringView thirdView = scenario.MakeView();
      RunThrough(files, third, thirdView);
      if (!third.writes().empty() || !RunProblem(thirdView).empty()) {
        failures.push_back(at + "the run after that writes again:" + Joined(third.writes(), 6));
      }
    } catch (const std::exception& error) {
      failures.push_back(at + error.what());
    }
  }
  EXPECT_TRUE(failures.empty()) << failures.size() << " of " << writes.size()
                                << " crash points fail:" << Joined(failures, failures.size());
}

INSTANTIATE_TEST_SUITE_P(ReferenceRuns, CrashAtEveryWriteTest,
                         ::testing::Values(
                             &testing::FirstRunScenario, &testing::ChangesScenario,
                             &testing::SampleDataScenario,
                             +[] { return testing::RandomChangesScenario(1); },
                             +[] { return testing::RandomChangesScenario(2); },
                             +[] { return testing::RandomChangesScenario(15); },
                             +[] { return testing::RandomChangesScenario(28); }),
                         [](const ::testing::TestParamInfo<Scenario (*)()>& info) {
                           return info.param().name;
                         });

}  // namespace
}  // namespace twinbook
