#include "engine/conflict.h"

#include "engine/change_flags.h"
#include "engine/contact_ids.h"
#include "engine/reconcile.h"
#include "engine/speed_dials.h"
#include "engine_fixture.h"

namespace twinbook {
namespace {

using testing::Contact;
using testing::EngineTest;
using testing::FlagsOf;
using testing::RecordsOf;
using testing::ScriptedView;

class ConflictTest : public EngineTest {
 protected:
  // One contact at position 1 of each set, handed to the dialog.
  void SeedConflict(const SyncObject& outlook, const SyncObject& phoneBook,
                    const SyncObject& sync) {
    SeedOutlook({outlook});
    SeedPhoneBook({phoneBook});
    SeedSync({sync});
    state.ConflictOutlookIndex = 1;
    state.ConflictPhoneBookIndex = 1;
    state.ConflictSyncIndex = 1;
  }

  void RunDecidingPhases() {
    for (auto phase : {AssignContactIDs, FlagDeletedItems, FlagNewItems, AssignSpeedDials,
                       FlagModifiedItems, SyncModifiedItems, SyncNewItems}) {
      phase(context);
    }
  }
};

TEST_F(ConflictTest, TheBoxesAsEditedGoIntoAllThreeRecords) {
  SeedConflict(Contact("7", "Ann").Mobile("1", "2").Flagged("M"),
               Contact("7", "Ann P").Home("3", "4").Flagged("M"),
               Contact("7", "Ann S").Flagged("N"));
  ConflictBoxes edited = BoxesOf(Contact("", "Anna").Mobile("5", "6").Email("a@b", "9"));
  ApplyConflictChoice(context, {ConflictAnswer::Keep::Outlook, edited});

  EXPECT_EQ(state.OutlookSet.Item(1),
            Contact("7", "Anna").Mobile("5", "6").Email("a@b", "9").Flagged("W").record);
  EXPECT_EQ(state.PhoneBookSet.Item(1),
            Contact("7", "Anna").Mobile("5", "6").Email("a@b", "9").Flagged("W").record);
  EXPECT_EQ(state.SyncDatabaseSet.Item(1),
            Contact("7", "Anna").Mobile("5", "6").Email("a@b", "9").Flagged("C").record);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "... Conflict resolution for Ann: Outlook data will overwrite "
                            "PhoneBook data.",
                            "... Anna will be modified in Outlook.",
                            "... Anna will be modified in the PhoneBook.",
                            "... Anna will be added to the sync database."}));
}

TEST_F(ConflictTest, FlagsOtherThanMAndNStayWithoutALine) {
  SeedConflict(Contact("7", "Ann").Flagged("S"), Contact("7", "Ann").Flagged("W"),
               Contact("7", "Ann").Flagged("C"));
  ApplyConflictChoice(context, {ConflictAnswer::Keep::PhoneBook, BoxesOf(Contact("7", "Ann"))});
  EXPECT_EQ(FlagsOf(state.OutlookSet), std::vector<std::string>{"S"});
  EXPECT_EQ(FlagsOf(state.PhoneBookSet), std::vector<std::string>{"W"});
  EXPECT_EQ(FlagsOf(state.SyncDatabaseSet), std::vector<std::string>{"C"});
  EXPECT_EQ(LogLines(),
            std::vector<std::string>{
                "... Conflict resolution for Ann: PhoneBook data will overwrite Outlook data."});
}

TEST_F(ConflictTest, EditedBoxesRewriteAnOutlookRecordFlaggedIOrS) {
  for (const char* flag : {"I", "S"}) {
    SCOPED_TRACE(flag);
    ResetSyncState(state, fake.settings);
    std::filesystem::remove(log);
    SeedConflict(Contact("7", "Ann").Mobile("1", "2").Flagged(flag),
                 Contact("7", "Ann").Flagged("M"), Contact("7", "Ann").Flagged("M"));
    ConflictBoxes edited = BoxesOf(state.OutlookSet.Item(1));
    edited.MobileSpeed = "3";
    ApplyConflictChoice(context, {ConflictAnswer::Keep::Outlook, edited});
    EXPECT_EQ(state.OutlookSet.Item(1), Contact("7", "Ann").Mobile("1", "3").Flagged("W").record);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "... Conflict resolution for Ann: Outlook data will overwrite "
                              "PhoneBook data.",
                              "... Ann will be modified in Outlook.",
                              "... Ann will be modified in the PhoneBook.",
                              "... Ann will be modified in the sync database."}));
  }
}

TEST_F(ConflictTest, KeepingThePhoneBooksShortenedNameLeavesTheWholeNameElsewhere) {
  const std::string longName = "Alexandria Montgomery-Smythe Jr";
  const std::string cutName = longName.substr(0, 22);
  SeedConflict(Contact("7", longName).Mobile("1", "2").Flagged("M"),
               Contact("7", cutName).Mobile("9", "2").Flagged("M"),
               Contact("7", longName).Mobile("1", "2").Flagged("M"));
  ApplyConflictChoice(context,
                      {ConflictAnswer::Keep::PhoneBook, BoxesOf(state.PhoneBookSet.Item(1))});
  EXPECT_EQ(state.OutlookSet.Item(1).ContactName, longName);
  EXPECT_EQ(state.OutlookSet.Item(1).MobileNumber, "9");
  EXPECT_EQ(state.PhoneBookSet.Item(1).ContactName, cutName);
  EXPECT_EQ(state.SyncDatabaseSet.Item(1).ContactName, longName);
  EXPECT_EQ(LogLines()[1], "... " + longName + " will be modified in Outlook.");
  EXPECT_EQ(LogLines()[2], "... " + cutName + " will be modified in the PhoneBook.");
}

TEST_F(ConflictTest, QuittingWhileTheDialogIsOpenWritesNothingMore) {
  SeedOutlook({Contact("7", "Ann").Mobile("1", "2").Flagged("M")});
  SeedPhoneBook({Contact("7", "Ann").Mobile("3", "2").Flagged("M")});
  SeedSync({Contact("7", "Ann").Flagged("M")});
  view.conflictScript.push_back([this](const ConflictQuestion& q) {
    view.quit = true;
    return std::optional<ConflictAnswer>(ConflictAnswer{ConflictAnswer::Keep::Outlook, q.outlook});
  });
  EXPECT_THROW(SyncModifiedItems(context), RunAborted);
  EXPECT_EQ(FlagsOf(state.PhoneBookSet), std::vector<std::string>{"M"});
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Synchronizing modified items.",
                                                  "... Conflict detected for Ann"}));
}

TEST_F(ConflictTest, AConflictFarDownALargeSetReachesTheRightRecords) {
  std::vector<SyncObject> many(40000, Contact("1", "Filler"));
  many.push_back(Contact("7", "Ann").Mobile("1", "2").Flagged("M"));
  SeedOutlook(many);
  SeedPhoneBook({Contact("7", "Ann").Mobile("3", "2").Flagged("M")});
  SeedSync({Contact("7", "Ann").Flagged("M")});
  view.conflictScript.push_back(testing::ScriptedView::KeepPhoneBook());
  SyncModifiedItems(context);
  ASSERT_EQ(view.conflictsAsked.size(), 1u);
  EXPECT_EQ(state.ConflictOutlookIndex, 40001);
  EXPECT_EQ(state.OutlookSet.Item(40001).MobileNumber, "3");
  EXPECT_EQ(state.OutlookSet.Item(40001).Flag, "W");
  EXPECT_EQ(state.OutlookSet.Item(40000).Flag, "");
}

// First run after the sync database was lost: both sides hold the contact,
// the desktop card without its ID, and they differ. The user is asked, and
// the choice reaches both stores and the sync database.
TEST_F(ConflictTest, AContactOnBothSidesButNotInTheSyncDatabaseIsPutToTheUser) {
  SeedOutlook({Contact("", "Ann").Mobile("5551")});
  SeedPhoneBook({Contact("12", "Ann").Mobile("5559", "3")});
  view.conflictScript.push_back(ScriptedView::KeepPhoneBook());
  RunDecidingPhases();

  ASSERT_EQ(view.conflictsAsked.size(), 1u);
  EXPECT_EQ(view.conflictsAsked[0].outlook, BoxesOf(Contact("", "Ann").Mobile("5551", "3")));
  EXPECT_EQ(RecordsOf(state.OutlookSet),
            std::vector<SyncObject>{Contact("12", "Ann").Mobile("5559", "3").Flagged("W")});
  EXPECT_EQ(RecordsOf(state.PhoneBookSet),
            std::vector<SyncObject>{Contact("12", "Ann").Mobile("5559", "3").Flagged("W")});
  EXPECT_EQ(RecordsOf(state.SyncDatabaseSet),
            std::vector<SyncObject>{Contact("12", "Ann").Mobile("5559", "3").Flagged("C")});
  EXPECT_EQ(LogLines(),
            (std::vector<std::string>{
                "Verifying that all Outlook Contact items contain a contact ID.",
                "... Ann in Outlook has been matched with Ann in the PhoneBook and assigned a "
                "contact ID of 12.",
                "... Ann will be modified in Outlook.",
                "Checking for items that have been deleted.",
                "Checking for new items in Outlook.",
                "... Ann is new to the sync database.",
                "Checking for new items in the PhoneBook.",
                "Checking for items that have been modified.",
                "... Ann has been modified in the PhoneBook.",
                "Synchronizing modified items.",
                "... Conflict detected for Ann",
                "... Conflict resolution for Ann: PhoneBook data will overwrite Outlook data.",
                "... Ann will be modified in Outlook.",
                "... Ann will be modified in the PhoneBook.",
                "... Ann will be added to the sync database.",
                "Synchronizing new items.",
            }));
}

}  // namespace
}  // namespace twinbook
