// A run stopped at any one of its writes, as a crash would stop it, and then
// run again without faults, must leave the three stores exactly as the same
// run does uninterrupted: no contact lost, duplicated or holding another's
// data, every file readable, and no question the uninterrupted run did not
// ask. Tried for every write of each scenario.
#include <gtest/gtest.h>

#include <algorithm>

#include "crash/crash_scenarios.h"

namespace twinbook {
namespace {

using testing::AnsweringView;
using testing::CrashPlan;
using testing::StoreFiles;
using testing::StoreLines;

class CrashAtEveryWriteTest : public ::testing::TestWithParam<testing::Scenario> {};

TEST_P(CrashAtEveryWriteTest, EveryCrashConvergesToTheUninterruptedRun) {
  const testing::Scenario& scenario = GetParam();
  StoreFiles start;
  scenario.seed(start);

  // The uninterrupted run: the stores it leaves, its writes and questions.
  StoreFiles reference;
  testing::CopyDataFolder(start.data, reference.data);
  CrashPlan counting;
  AnsweringView referenceView(scenario.keep);
  ASSERT_TRUE(testing::RunWith(reference, referenceView, &counting));
  const std::vector<std::string> expected = StoreLines(reference);
  ASSERT_NE(expected, StoreLines(start));
  ASSERT_FALSE(counting.writes().empty());
  {
    CrashPlan again;
    AnsweringView view(scenario.keep);
    ASSERT_TRUE(testing::RunWith(reference, view, &again));
    ASSERT_EQ(again.writes(), std::vector<std::string>{}) << "the run after a clean run writes";
    ASSERT_TRUE(view.questions.empty());
  }

  for (int k = 1; k <= static_cast<int>(counting.writes().size()); ++k) {
    SCOPED_TRACE("crash at write " + std::to_string(k) + " (" + counting.writes()[k - 1] + ")");
    StoreFiles files;
    testing::CopyDataFolder(start.data, files.data);
    CrashPlan plan(k);
    AnsweringView crashed(scenario.keep);
    try {
      testing::RunWith(files, crashed, &plan);
    } catch (const testing::SimulatedCrash&) {
    }
    ASSERT_EQ(plan.writes().size(), static_cast<size_t>(k - 1)) << "the run did not crash there";
    ASSERT_EQ(plan.crashesThrown(), 1) << "the crash was caught and the run wrote again";

    AnsweringView after(scenario.keep);
    ASSERT_TRUE(testing::RunWith(files, after)) << after.status();
    for (const std::set<std::string>* asked : {&crashed.questions, &after.questions}) {
      EXPECT_TRUE(std::includes(referenceView.questions.begin(), referenceView.questions.end(),
                                asked->begin(), asked->end()))
          << "a question the uninterrupted run never asked";
    }
    ASSERT_EQ(StoreLines(files), expected);

    CrashPlan third;
    AnsweringView thirdView(scenario.keep);
    ASSERT_TRUE(testing::RunWith(files, thirdView, &third));
    ASSERT_EQ(third.writes(), std::vector<std::string>{}) << "the run after that writes again";
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, CrashAtEveryWriteTest,
                         ::testing::ValuesIn(testing::CrashScenarios()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace twinbook
