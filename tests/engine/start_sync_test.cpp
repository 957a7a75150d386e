#include "engine/start_sync.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "engine_fixture.h"
#include "environment/app_info.h"

namespace twinbook {
namespace {

using testing::Contact;
using testing::ScriptedView;

// The routines of a test run: every phase records that it ran and calls the
// test's hook for it, if any. Plain function pointers cannot capture, so the
// hooks live here for the duration of one test.
std::array<std::function<void(RunContext&)>, kPhaseCount> gHooks;
std::vector<Phase> gPhasesRun;

template <Phase P>
void Routine(RunContext& context) {
  gPhasesRun.push_back(P);
  if (gHooks[static_cast<size_t>(P)]) {
    gHooks[static_cast<size_t>(P)](context);
  }
}

const PhaseRoutines& TestPhases() {
  static const PhaseRoutines routines{
      {Routine<Phase::LoadingOutlook>, Routine<Phase::LoadingPhoneBook>,
       Routine<Phase::LoadingSync>, Routine<Phase::AssignIDs>, Routine<Phase::FlaggingDeleted>,
       Routine<Phase::FlaggingNew>, Routine<Phase::AssignSpeeds>, Routine<Phase::FlaggingModified>,
       Routine<Phase::SyncingModified>, Routine<Phase::SyncingNew>, Routine<Phase::WritingOutlook>,
       Routine<Phase::WritingPhoneBook>, Routine<Phase::WritingSync>},
      [](RunContext&) {}};
  return routines;
}

class StartSyncTest : public testing::EngineTest {
 protected:
  void SetUp() override {
    gHooks = {};
    gPhasesRun.clear();
    fake.settings.Set("PhoneBookPath", "/data/PhoneBook.mdb");
    fake.settings.Set("SyncPath", "/data/Twinbook.mdb");
    fake.settings.Set("PMBefore", "False");
    fake.settings.Set("PMAfter", "False");
  }
  void TearDown() override { gHooks = {}; }

  // Fills OutlookSet while "loading Outlook": `records` contacts, each with
  // `numbersEach` numbers, and `deleted` more flagged "D" with one number.
  void SeedOutlook(int records, int numbersEach, int deleted = 0) {
    gHooks[static_cast<size_t>(Phase::LoadingOutlook)] = [=](RunContext& c) {
      for (int i = 0; i < records + deleted; ++i) {
        SyncObject& r = c.state.OutlookSet.Append();
        r.ContactID = std::to_string(i + 1);
        std::string* fields[] = {&r.MobileNumber, &r.HomeNumber,  &r.Work1Number,
                                 &r.Work2Number,  &r.DCNumber,    &r.FaxNumber,
                                 &r.PagerNumber,  &r.OtherNumber, &r.EmailAddress};
        for (int n = 0; n < (i < records ? numbersEach : 1); ++n) {
          *fields[n] = "5550" + std::to_string(n);
        }
        if (i >= records) {
          r.Flag = "D";
        }
      }
    };
  }

  // Loads these records as the Outlook contacts and the sync database.
  void Load(std::vector<SyncObject> outlook, std::vector<SyncObject> sync = {}) {
    gHooks[static_cast<size_t>(Phase::LoadingOutlook)] = [outlook](RunContext& c) {
      testing::Seed(c.state.OutlookSet, outlook);
    };
    gHooks[static_cast<size_t>(Phase::LoadingSync)] = [sync](RunContext& c) {
      testing::Seed(c.state.SyncDatabaseSet, sync);
    };
  }

  void Run() { StartSync(context, TestPhases()); }

  std::vector<std::string> Head() const {
    return {TitleAndVersionLine(),
            kNotice,
            "Activity Log",
            "",
            "Status: Synchronization in progress . . .",
            "Loaded Outlook contacts.",
            "Loaded PhoneBook records from /data/PhoneBook.mdb",
            "Loaded previous sync data from /data/Twinbook.mdb"};
  }
};

TEST_F(StartSyncTest, ACompleteRunShowsEveryPhaseInOrderAndWritesTheHead) {
  testing::WriteFile(log, "the previous run\r\n");
  Run();
  ASSERT_EQ(gPhasesRun.size(), 13u);
  for (int i = 0; i < kPhaseCount; ++i) {
    EXPECT_EQ(gPhasesRun[static_cast<size_t>(i)], static_cast<Phase>(i));
    EXPECT_TRUE(view.StartShown(static_cast<Phase>(i)));
    EXPECT_TRUE(view.DoneShown(static_cast<Phase>(i)));
  }
  EXPECT_EQ(view.labelEvents.front(), "hide all");
  EXPECT_EQ(view.labelEvents[1], "show LoadingOutlook");
  EXPECT_EQ(view.labelEvents[2], "show LoadingOutlookDone");
  EXPECT_EQ(view.labelEvents.back(), "show WritingSyncDone");
  EXPECT_EQ(LogLines(), Head());
  EXPECT_EQ(view.statuses, (std::vector<std::string>{kStatusInProgress, kStatusComplete}));
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(StartSyncTest, TheLabelsOfAPhaseShowWhileItRuns) {
  gHooks[static_cast<size_t>(Phase::FlaggingNew)] = [this](RunContext&) {
    EXPECT_TRUE(view.StartShown(Phase::FlaggingNew));
    EXPECT_FALSE(view.DoneShown(Phase::FlaggingNew));
    EXPECT_FALSE(view.StartShown(Phase::AssignSpeeds));
  };
  Run();
}

// One row of the capacity decision: limits, what is counted, and the outcome.
struct CapacityCase {
  const char* nameLimit;
  const char* numberLimit;
  int names;
  int numbersEach;
  int deleted;
  const char* stopLine;  // nullptr when the run writes
};

TEST_F(StartSyncTest, CapacityDecisionTable) {
  const std::vector<CapacityCase> cases = {
      // Names 0 means no limit on names; only numbers count.
      {"0", "250", 400, 0, 0, nullptr},
      {"0", "3", 1, 3, 0, nullptr},  // equal numbers pass
      {"0", "3", 1, 4, 0, "The 4 phone numbers in Outlook exceeds your phone's capacity of 3."},
      {"2", "250", 2, 1, 0, nullptr},  // equal names pass
      {"2", "250", 3, 1, 0, "The 3 names in Outlook exceeds your phone's capacity of 2."},
      // Both exceeded: only the names are reported.
      {"2", "3", 3, 2, 0, "The 3 names in Outlook exceeds your phone's capacity of 2."},
      // A deleted record counts as a name but not as numbers.
      {"3", "4", 2, 2, 1, nullptr},
      {"2", "4", 2, 2, 1, "The 3 names in Outlook exceeds your phone's capacity of 2."},
      // An empty contact list passes the default limits.
      {"0", "250", 0, 0, 0, nullptr},
  };
  for (const CapacityCase& c : cases) {
    SCOPED_TRACE(std::string(c.nameLimit) + "/" + c.numberLimit + " names " +
                 std::to_string(c.names) + " x " + std::to_string(c.numbersEach));
    gPhasesRun.clear();
    view = ScriptedView{};
    fake.settings.Set("NameLimit", c.nameLimit);
    fake.settings.Set("NumberLimit", c.numberLimit);
    SeedOutlook(c.names, c.numbersEach, c.deleted);
    Run();

    std::vector<std::string> expected = Head();
    if (c.stopLine == nullptr) {
      EXPECT_EQ(gPhasesRun.size(), 13u);
      EXPECT_EQ(view.status(), kStatusComplete);
      EXPECT_TRUE(view.messages.empty());
    } else {
      expected.push_back("Synchronization cannot continue.");
      expected.push_back(std::string("... ") + c.stopLine);
      expected.push_back(
          "... If your phone is actually capable of this capacity, please check the settings "
          "from the main menu.");
      EXPECT_EQ(gPhasesRun.size(), 10u);
      EXPECT_EQ(view.status(), kStatusError);
      EXPECT_EQ(view.messages, std::vector<std::string>{c.stopLine});
      for (int i = 0; i < kPhaseCount; ++i) {
        EXPECT_EQ(view.StartShown(static_cast<Phase>(i)), i < 10);
        EXPECT_EQ(view.DoneShown(static_cast<Phase>(i)), i < 10);
      }
    }
    EXPECT_EQ(LogLines(), expected);
    EXPECT_EQ(state.OutlookSet.Count(), 0);
  }
}

TEST_F(StartSyncTest, ANegativeNameLimitStopsSilentlyWithNoNames) {
  fake.settings.Set("NameLimit", "-1");
  fake.settings.Set("PMAfter", "True");
  Run();
  EXPECT_EQ(gPhasesRun.size(), 10u);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(LogLines(), Head());
  EXPECT_TRUE(fake.launcher.started.empty());
  EXPECT_EQ(view.status(), kStatusInProgress);
}

TEST_F(StartSyncTest, AnErrorInAPhaseEndsTheRunAndTheNextRunWorks) {
  gHooks[static_cast<size_t>(Phase::LoadingPhoneBook)] = [](RunContext& c) {
    c.state.OutlookSet.Append();
    c.state.PhoneBookSet.Append();
    throw std::runtime_error("Cannot open /data/PhoneBook.mdb: no such file");
  };
  Run();
  EXPECT_EQ(gPhasesRun.size(), 2u);
  EXPECT_EQ(view.status(), kStatusError);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find("Cannot open /data/PhoneBook.mdb"), std::string::npos);
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines.back(),
            "Synchronization stopped by an error: Cannot open /data/PhoneBook.mdb: no such file");
  EXPECT_EQ(state.OutlookSet.Count(), 0);
  EXPECT_EQ(state.PhoneBookSet.Count(), 0);
  EXPECT_TRUE(view.StartShown(Phase::LoadingPhoneBook));
  EXPECT_FALSE(view.DoneShown(Phase::LoadingPhoneBook));

  gHooks = {};
  gPhasesRun.clear();
  Run();
  EXPECT_EQ(gPhasesRun.size(), 13u);
  EXPECT_EQ(view.status(), kStatusComplete);
}

TEST_F(StartSyncTest, AnInvalidPositionEndsTheRunWithAMessageNamingIt) {
  gHooks[static_cast<size_t>(Phase::AssignIDs)] = [](RunContext& c) { c.state.OutlookSet.Item(0); };
  Run();
  EXPECT_EQ(view.status(), kStatusError);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find("position 0"), std::string::npos) << view.messages[0];
}

TEST_F(StartSyncTest, ALogThatCannotBeWrittenIsReportedByMessage) {
  fake.settings.Set("LogPath", dir / "no such folder/SyncLog.txt");
  Run();
  EXPECT_TRUE(gPhasesRun.empty());
  EXPECT_EQ(view.status(), kStatusError);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find(dir / "no such folder/SyncLog.txt"), std::string::npos);
}

TEST_F(StartSyncTest, ASecondStartDuringARunIsRefused) {
  gHooks[static_cast<size_t>(Phase::SyncingModified)] = [this](RunContext& c) {
    c.state.OutlookSet.Append().ContactName = "kept";
    size_t statuses = view.statuses.size();
    StartSync(c, TestPhases());
    EXPECT_EQ(view.statuses.size(), statuses);
    EXPECT_EQ(c.state.OutlookSet.Count(), 1);
  };
  Run();
  EXPECT_EQ(gPhasesRun.size(), 13u);
  EXPECT_EQ(view.status(), kStatusComplete);
}

TEST_F(StartSyncTest, TheManagerRunsBeforeAndAfterWithTheWaitingStatus) {
  fake.settings.Set("PMBefore", "True");
  fake.settings.Set("PMAfter", "True");
  fake.launcher.waitsBeforeExit = 2;
  Run();
  EXPECT_EQ(fake.launcher.started,
            (std::vector<std::string>{"/opt/tb/idenpm.exe", "/opt/tb/idenpm.exe"}));
  EXPECT_EQ(view.statuses, (std::vector<std::string>{kStatusWaiting, kStatusInProgress,
                                                     kStatusWaiting, kStatusComplete}));
  EXPECT_EQ(view.eventsProcessed, 4);
}

TEST_F(StartSyncTest, AMissingManagerLetsTheRunGoOn) {
  fake.settings.Set("PMBefore", "True");
  fake.launcher.canStart = false;
  Run();
  EXPECT_EQ(gPhasesRun.size(), 13u);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.status(), kStatusComplete);
}

TEST_F(StartSyncTest, QuittingDuringTheFirstWaitWritesNothing) {
  testing::WriteFile(log, "the previous run\r\n");
  fake.settings.Set("PMBefore", "True");
  fake.launcher.waitsBeforeExit = 100;
  view.onProcessEvents = [](ScriptedView& v) { v.quit = true; };
  Run();
  EXPECT_TRUE(gPhasesRun.empty());
  EXPECT_EQ(testing::ReadFile(log), "the previous run\r\n");
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.status(), kStatusWaiting);
}

TEST_F(StartSyncTest, QuittingDuringTheLastWaitLeavesTheRunUnfinished) {
  fake.settings.Set("PMAfter", "True");
  fake.launcher.waitsBeforeExit = 100;
  view.onProcessEvents = [](ScriptedView& v) { v.quit = true; };
  Run();
  EXPECT_EQ(gPhasesRun.size(), 13u);
  EXPECT_EQ(view.status(), kStatusWaiting);
  EXPECT_EQ(LogLines(), Head());
}

// Contacts without an ID ("New", "Newer") are no duplicates of each other.
TEST_F(StartSyncTest, TwoContactsWithOneIDStopTheRunBeforeAnythingIsDecided) {
  fake.settings.Set("PMAfter", "True");
  Load({Contact("7", "Ann"), Contact("", "New"), Contact("8", "Bob"), Contact("7", "Ann (copy)"),
        Contact("", "Newer")});
  Run();
  EXPECT_EQ(gPhasesRun.size(), 3u);
  std::vector<std::string> expected = Head();
  expected.insert(expected.end(),
                  {"Synchronization cannot continue.",
                   "... Ann and Ann (copy) in Outlook carry the same contact ID of 7.",
                   "... Please delete the copy, or empty the contact ID (User3) of one of them "
                   "in Outlook, and synchronize again."});
  EXPECT_EQ(LogLines(), expected);
  EXPECT_EQ(view.status(), kStatusError);
  EXPECT_EQ(view.messages, std::vector<std::string>{
                               "The contacts Ann and Ann (copy) in Outlook carry the same contact "
                               "ID of 7."});
  EXPECT_TRUE(fake.launcher.started.empty()) << "PMAfter is not honoured after a stop";
  EXPECT_EQ(state.OutlookSet.Count(), 0);
}

TEST_F(StartSyncTest, EveryPairOfDuplicateIDsIsLoggedAndTheMessagePointsToTheLog) {
  Load({Contact("7", "Ann"), Contact("7", "Ann 2"), Contact("9", "Bob"), Contact("7", "Ann 3"),
        Contact("9", "Bob 2")});
  Run();
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), Head().size() + 5);
  EXPECT_EQ(
      std::vector<std::string>(lines.begin() + 9, lines.begin() + 12),
      (std::vector<std::string>{"... Ann and Ann 2 in Outlook carry the same contact ID of 7.",
                                "... Ann and Ann 3 in Outlook carry the same contact ID of 7.",
                                "... Bob and Bob 2 in Outlook carry the same contact ID of 9."}));
  EXPECT_EQ(view.messages, std::vector<std::string>{
                               "The contacts Ann and Ann 2 in Outlook carry the same contact ID "
                               "of 7. Other contacts share an ID as well; please check the log."});
}

TEST_F(StartSyncTest, SyncRecordsSharingAnIDAreNotedAndTheRunGoesOn) {
  Load({Contact("5", "Ann")}, {Contact("5", "Ann"), Contact("6", "Bob"), Contact("5", "Ann"),
                               Contact("6", "Bob"), Contact("5", "Ann")});
  Run();
  EXPECT_EQ(gPhasesRun.size(), 13u);
  std::vector<std::string> expected = Head();
  expected.insert(
      expected.end(),
      {"... More than one record of the sync database carries the contact ID of 5; the last of "
       "them is used.",
       "... More than one record of the sync database carries the contact ID of 6; the last of "
       "them is used."});
  EXPECT_EQ(LogLines(), expected);
  EXPECT_EQ(view.status(), kStatusComplete);
  EXPECT_TRUE(view.messages.empty());
}

}  // namespace
}  // namespace twinbook
