#include "environment/phonebook_manager.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "support/scripted_view.h"

namespace twinbook {
namespace {

using testing::FakePlatform;
using testing::ScriptedView;

struct ManagerFixture : ::testing::Test {
  FakePlatform fake;
  ScriptedView view;
  RunState state{"/opt/tb"};
  RunContext context{state, view, fake.platform};
  void SetUp() override { ResetSyncState(state, fake.settings); }
};

TEST_F(ManagerFixture, WaitingProcessesEventsAfterEveryIntervalUntilTheManagerEnds) {
  fake.launcher.waitsBeforeExit = 3;
  EXPECT_TRUE(RunPhoneBookManager(context, true));
  EXPECT_EQ(fake.launcher.started, std::vector<std::string>{"/opt/tb/idenpm.exe"});
  EXPECT_EQ(fake.launcher.waits, 4);
  EXPECT_EQ(view.eventsProcessed, 3);
}

TEST_F(ManagerFixture, AManagerThatCannotStartIsPassedOverSilently) {
  fake.launcher.canStart = false;
  EXPECT_FALSE(RunPhoneBookManager(context, true));
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(RunPhoneBookManager(context, false));
}

TEST_F(ManagerFixture, StartingAlongsideReturnsAtOnce) {
  EXPECT_TRUE(RunPhoneBookManager(context, false));
  EXPECT_EQ(fake.launcher.startedDetached, std::vector<std::string>{"/opt/tb/idenpm.exe"});
  EXPECT_EQ(fake.launcher.waits, 0);
}

TEST_F(ManagerFixture, QuittingDuringTheWaitEndsTheRun) {
  fake.launcher.waitsBeforeExit = 1000;
  view.onProcessEvents = [](ScriptedView& v) {
    if (v.eventsProcessed == 2) {
      v.quit = true;
    }
  };
  EXPECT_THROW(RunPhoneBookManager(context, true), RunAborted);
  EXPECT_EQ(view.eventsProcessed, 2);
}

}  // namespace
}  // namespace twinbook
