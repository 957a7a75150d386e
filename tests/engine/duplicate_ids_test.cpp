#include "engine/duplicate_ids.h"

#include "engine/start_sync.h"
#include "engine_fixture.h"
#include "environment/app_info.h"

namespace twinbook {
namespace {

using testing::Contact;
using testing::EngineTest;

// The stores a test run "loads", and the phases it got to.
std::vector<SyncObject> gOutlook;
std::vector<SyncObject> gSync;
std::vector<std::string> gPhasesRun;

template <Phase P>
void Routine(RunContext& context) {
  gPhasesRun.push_back(std::string(InfoOf(P).startLabel));
  if (P == Phase::LoadingOutlook) {
    testing::Seed(context.state.OutlookSet, gOutlook);
  }
  if (P == Phase::LoadingSync) {
    testing::Seed(context.state.SyncDatabaseSet, gSync);
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

class DuplicateIdTest : public EngineTest {
 protected:
  DuplicateIdTest() {
    gOutlook.clear();
    gSync.clear();
    gPhasesRun.clear();
    fake.settings.Set("PhoneBookPath", "/data/PhoneBook.mdb");
    fake.settings.Set("SyncPath", "/data/Twinbook.mdb");
    fake.settings.Set("PMBefore", "False");
    fake.settings.Set("PMAfter", "True");
  }

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

  void Run() { StartSync(context, TestPhases()); }
};

TEST_F(DuplicateIdTest, TwoContactsWithOneIDStopTheRunBeforeAnythingIsDecided) {
  gOutlook = {Contact("7", "Ann"), Contact("", "New"), Contact("8", "Bob"),
              Contact("7", "Ann (copy)"), Contact("", "Newer")};
  Run();
  EXPECT_EQ(gPhasesRun,
            (std::vector<std::string>{"LoadingOutlook", "LoadingPhoneBook", "LoadingSync"}));
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

TEST_F(DuplicateIdTest, EveryPairIsLoggedAndTheMessagePointsToTheLog) {
  gOutlook = {Contact("7", "Ann"), Contact("7", "Ann 2"), Contact("9", "Bob"),
              Contact("7", "Ann 3"), Contact("9", "Bob 2")};
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

TEST_F(DuplicateIdTest, ContactsWithoutIDAreNoDuplicates) {
  gOutlook = {Contact("", "New"), Contact("", "Newer"), Contact("1", "Ann")};
  gSync = {Contact("1", "Ann")};
  Run();
  EXPECT_EQ(gPhasesRun.size(), 13u);
  EXPECT_EQ(LogLines(), Head());
  EXPECT_EQ(view.status(), kStatusComplete);
}

TEST_F(DuplicateIdTest, SyncRecordsSharingAnIDAreNotedAndTheRunGoesOn) {
  gOutlook = {Contact("5", "Ann")};
  gSync = {Contact("5", "Ann"), Contact("6", "Bob"), Contact("5", "Ann"), Contact("6", "Bob"),
           Contact("5", "Ann")};
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
