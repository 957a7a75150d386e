// A run stopped at any one of its writes, as a crash would stop it, then run
// again without faults, must leave the stores exactly as the uninterrupted
// run does; tried for every write of each scenario.
#include <gtest/gtest.h>

#include "crash/crash_scenarios.h"

namespace twinbook {
namespace {

using namespace testing;

class CrashAtEveryWriteTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(CrashAtEveryWriteTest, EveryCrashConvergesToTheUninterruptedRun) {
  const Scenario& scenario = GetParam();
  StoreFiles start, reference;
  scenario.seed(start);
  CopyDataFolder(start.data, reference.data);
  CrashPlan counting;
  AnsweringView referenceView(scenario.keep);
  ASSERT_TRUE(RunWith(reference, referenceView, &counting));
  const std::vector<std::string> expected = StoreLines(reference);
  ASSERT_NE(expected, StoreLines(start));

  for (int k = 1; k <= static_cast<int>(counting.writes().size()); ++k) {
    SCOPED_TRACE("crash at write " + std::to_string(k) + " (" + counting.writes()[k - 1] + ")");
    StoreFiles files;
    CopyDataFolder(start.data, files.data);
    CrashPlan plan(k);
    AnsweringView crashed(scenario.keep), after(scenario.keep);
    try {
      RunWith(files, crashed, &plan);
    } catch (const SimulatedCrash&) {
    }
    ASSERT_EQ(plan.writes().size(), static_cast<size_t>(k - 1)) << "the run did not crash there";
    ASSERT_EQ(plan.crashesThrown(), 1) << "the crash was caught and the run wrote again";
    ASSERT_TRUE(RunWith(files, after)) << after.status();
    ASSERT_EQ(StoreLines(files), expected);
    CrashPlan third;
    ASSERT_TRUE(RunWith(files, after, &third));
    ASSERT_EQ(third.writes(), std::vector<std::string>{}) << "a run after convergence writes";
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, CrashAtEveryWriteTest, ::testing::ValuesIn(CrashScenarios()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace twinbook
