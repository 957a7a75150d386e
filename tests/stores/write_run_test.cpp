// Whole runs through StartSync over real files: a folder of cards, the
// PhoneBook and the sync database, with every store and the log read back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/start_sync.h"
#include "environment/app_info.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using testing::CardView;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using testing::PhoneBookRow;
using testing::ScriptedView;
using testing::StoreFiles;
using testing::SyncRow;
using P = ContactProperty;

// Every store file with its bytes, the log left out, and the database
// files' WAL index and empty WAL: SQLite makes and removes them as
// connections come and go (the test's own readers too), and they hold no
// content.
std::map<std::string, std::string> Stores(const StoreFiles& files) {
  std::map<std::string, std::string> snapshot = files.Snapshot();
  snapshot.erase("SyncLog.txt");
  std::erase_if(snapshot, [](const auto& entry) {
    const std::string& name = entry.first;
    return name.ends_with("-shm") || (name.ends_with("-wal") && entry.second.empty());
  });
  return snapshot;
}

// The files whose bytes differ between two snapshots, for a readable failure.
std::vector<std::string> Changed(const std::map<std::string, std::string>& before,
                                 const std::map<std::string, std::string>& after) {
  std::vector<std::string> changed;
  for (const auto& [name, bytes] : after) {
    if (!before.contains(name) || before.at(name) != bytes) {
      changed.push_back(name);
    }
  }
  for (const auto& [name, bytes] : before) {
    if (!after.contains(name)) {
      changed.push_back(name + " (gone)");
    }
  }
  return changed;
}

// The lines from `heading` to the end of the log.
std::vector<std::string> From(const std::vector<std::string>& lines, const std::string& heading) {
  auto start = std::find(lines.begin(), lines.end(), heading);
  EXPECT_NE(start, lines.end()) << heading;
  return {start, lines.end()};
}

// One contact as a previous run left it in all three stores: a card with
// its ID, masked numbers and speed dials, its PhoneBook rows and sync row.
struct Synced {
  std::string id, name, mobile, mobileSpeed, home, homeSpeed;
};

const Synced kAnn{"1", "Lee, Ann", "5551110000", "1", "", ""};
const Synced kCy{"2", "Ox, Cy", "5553330000", "2", "5552220000", "3"};

SyncRow SyncRowOf(const Synced& c) {
  SyncRow row{};
  row.ContactID = c.id;
  row.Name = c.name;
  row.Home = c.home;
  row.Mobile = c.mobile;
  row.SpeedDial =
      c.home.empty() ? "M:" + c.mobileSpeed : "H:" + c.homeSpeed + ",M:" + c.mobileSpeed;
  return row;
}

void AddSynced(StoreFiles& files, const Synced& c) {
  const SyncRow row = SyncRowOf(c);
  std::map<P, std::string> card{{P::FileAs, c.name},
                                {P::User2, "YES"},
                                {P::User3, c.id},
                                {P::User4, row.SpeedDial},
                                {P::MobileTelephoneNumber, c.mobile}};
  if (!c.home.empty()) {
    card[P::HomeTelephoneNumber] = c.home;
    files.AddPhoneBookRow(c.id, c.name, c.home, 2, std::stoi(c.homeSpeed));
  }
  files.AddPhoneBookRow(c.id, c.name, c.mobile, 4, std::stoi(c.mobileSpeed));
  files.AddCard({"card" + c.id, card});
  files.AddSyncRow(row);
}

// Ann's mobile number as edited on the desktop since the last run.
void EditAnnsMobile(StoreFiles& files) {
  files.AddCard({"card1",
                 {{P::FileAs, "Lee, Ann"},
                  {P::User2, "YES"},
                  {P::User3, "1"},
                  {P::User4, "M:1"},
                  {P::MobileTelephoneNumber, "(555) 999-0000"}}});
}

void ExpectComplete(const StoreFiles& files) {
  EXPECT_EQ(files.view.status(), kStatusComplete);
  EXPECT_TRUE(files.view.messages.empty()) << files.view.messages.front();
}

// A second run right after a successful one finds nothing to do.
void ExpectSecondRunChangesNothing(StoreFiles& files) {
  const auto before = Stores(files);
  files.Run();
  ExpectComplete(files);
  EXPECT_THAT(Changed(before, Stores(files)), ElementsAre());
  for (const std::string& line : From(files.LogLines(), "Writing to Outlook Contacts.")) {
    EXPECT_FALSE(line.starts_with("... ")) << line;
  }
}

// A mobile number edited on the desktop reaches the PhoneBook row and the
// sync row; the card is not touched.
TEST(WriteRunTest, TheRoadOfOneChange) {
  StoreFiles files;
  AddSynced(files, kAnn);
  AddSynced(files, kCy);
  EditAnnsMobile(files);
  const std::string card = testing::ReadFile(files.contactsPath + "/card1.vcf");

  files.Run();
  ExpectComplete(files);
  EXPECT_THAT(
      files.LogLines(),
      ElementsAre(
          TitleAndVersionLine(), kNotice, "Activity Log", "", kStatusInProgress,
          "Loaded Outlook contacts.", "Loaded PhoneBook records from " + files.phoneBookPath,
          "Loaded previous sync data from " + files.syncPath,
          "Verifying that all Outlook Contact items contain a contact ID.",
          "Checking for items that have been deleted.", "Checking for new items in Outlook.",
          "Checking for new items in the PhoneBook.", "Checking for items that have been modified.",
          "... Lee, Ann has been modified in Outlook.", "Synchronizing modified items.",
          "... Information for Lee, Ann has been copied from the Outlook data to "
          "the PhoneBook data.",
          "... Information for Lee, Ann has been copied from the Outlook data to "
          "the sync data.",
          "... Lee, Ann will be modified in the PhoneBook.",
          "... Lee, Ann will be modified in the sync database.", "Synchronizing new items.",
          "Writing to Outlook Contacts.", "Writing to the PhoneBook database.",
          "... The mobile number for Lee, Ann has been changed from 5551110000 to "
          "5559990000.",
          "Writing to the sync database.", "... Lee, Ann has been modified."));
  EXPECT_THAT(files.PhoneBookRows(),
              ElementsAre(PhoneBookRow{"1", "Lee, Ann", "5559990000", "4", "1", "6"},
                          PhoneBookRow{"2", "Ox, Cy", "5552220000", "2", "3", "6"},
                          PhoneBookRow{"2", "Ox, Cy", "5553330000", "4", "2", "6"}));
  SyncRow ann = SyncRowOf(kAnn);
  ann.Mobile = "5559990000";
  EXPECT_THAT(files.SyncRows(), ElementsAre(ann, SyncRowOf(kCy)));
  EXPECT_EQ(testing::ReadFile(files.contactsPath + "/card1.vcf"), card);

  ExpectSecondRunChangesNothing(files);
}

// Both sides filled and no sync database yet: the desktop contact of the
// same name takes the PhoneBook's ID and speed dial, a contact on one side
// only is added to the other with a new ID and speed dials.
TEST(WriteRunTest, AFirstRunMatchesByNameAndAddsEachWay) {
  StoreFiles files;
  files.AddCard(
      {"ann",
       {{P::FileAs, "Lee, Ann"}, {P::User2, "Y"}, {P::MobileTelephoneNumber, "555-111-0000"}}});
  files.AddCard({"bo",
                 {{P::FileAs, "Ng, Bo"},
                  {P::User2, "yes"},
                  {P::HomeTelephoneNumber, "5552220000"},
                  {P::Email1Address, "bo@example.org"}}});
  files.AddCard({"dee", {{P::FileAs, "Dee"}, {P::User2, "No"}, {P::User3, "4"}}});
  files.AddPhoneBookRow("1", "Lee, Ann", "5551110000", 4, 1);
  files.AddPhoneBookRow("2", "Ox, Cy", "5553330000", 6, 2);

  files.Run();
  ExpectComplete(files);
  EXPECT_THAT(
      From(files.LogLines(), "Writing to Outlook Contacts."),
      ElementsAre(
          "Writing to Outlook Contacts.", "... Lee, Ann has been assigned a contact ID of 1.",
          "... The new speed dial values for Lee, Ann have been saved.",
          "... Ng, Bo has been assigned a contact ID of 3.",
          "... The new speed dial values for Ng, Bo have been saved.",
          "... Ox, Cy has been added with the following values:", "........ Contact ID: 2",
          "........ File as: Ox, Cy", "........ Pager number: (555) 333-0000, Speed dial: 2",
          "Writing to the PhoneBook database.",
          "... A home number of 5552220000 was added for Ng, Bo.",
          "... A email address of bo@example.org was added for Ng, Bo.",
          "Writing to the sync database.", "... Lee, Ann has been added.",
          "... Ng, Bo has been added.", "... Ox, Cy has been added."));
  EXPECT_THAT(files.PhoneBookRows(),
              ElementsAre(PhoneBookRow{"1", "Lee, Ann", "5551110000", "4", "1", "6"},
                          PhoneBookRow{"2", "Ox, Cy", "5553330000", "6", "2", "6"},
                          PhoneBookRow{"3", "Ng, Bo", "5552220000", "2", "3", "6"},
                          PhoneBookRow{"3", "Ng, Bo", "bo@example.org", "10", "4", "255"}));
  EXPECT_THAT(
      files.SyncRows(),
      ElementsAre(SyncRow{"1", "Lee, Ann", "", "", "", "", "5551110000", "", "", "", "", "M:1"},
                  SyncRow{"3", "Ng, Bo", "", "", "5552220000", "", "", "", "", "", "bo@example.org",
                          "H:3,E:4"},
                  SyncRow{"2", "Ox, Cy", "", "", "", "", "", "", "5553330000", "", "", "P:2"}));
  CardView ann = files.CardNamed("Lee, Ann").value();
  EXPECT_EQ(ann["User3"], "1");
  EXPECT_EQ(ann["User4"], "M:1");
  EXPECT_EQ(ann["MobileTelephoneNumber"], "555-111-0000");
  CardView bo = files.CardNamed("Ng, Bo").value();
  EXPECT_EQ(bo["User3"], "3");
  EXPECT_EQ(bo["User4"], "H:3,E:4");
  CardView cy = files.CardNamed("Ox, Cy").value();
  EXPECT_EQ(cy["User2"], "YES");
  EXPECT_EQ(cy["User3"], "2");
  EXPECT_EQ(cy["User4"], "P:2");
  EXPECT_EQ(cy["PagerNumber"], "(555) 333-0000");
  CardView dee = files.CardNamed("Dee").value();
  EXPECT_EQ(dee["User2"], "No");
  EXPECT_EQ(dee["User3"], "");

  ExpectSecondRunChangesNothing(files);
}

// A contact changed on both sides, kept each way through the conflict
// dialog: the kept version reaches all three stores.
TEST(WriteRunTest, AConflictKeptEitherWayReachesEveryStore) {
  struct Case {
    std::function<std::optional<ConflictAnswer>(const ConflictQuestion&)> answer;
    std::string kept, card;
  };
  const std::vector<Case> cases = {
      {ScriptedView::KeepOutlook(), "5559990000", "(555) 999-0000"},
      {ScriptedView::KeepPhoneBook(), "5558880000", "(555) 888-0000"},
  };
  for (const Case& c : cases) {
    StoreFiles files;
    AddSynced(files, kAnn);
    EditAnnsMobile(files);
    files.ExecutePhoneBookSql("UPDATE tblContactList SET Number = '5558880000'");
    files.view.conflictScript.push_back(c.answer);

    files.Run();
    ExpectComplete(files);
    ASSERT_EQ(files.view.conflictsAsked.size(), 1u);
    EXPECT_EQ(files.PhoneBookRows(),
              (std::vector<PhoneBookRow>{{"1", "Lee, Ann", c.kept, "4", "1", "6"}}));
    SyncRow row = SyncRowOf(kAnn);
    row.Mobile = c.kept;
    EXPECT_EQ(files.SyncRows(), std::vector<SyncRow>{row});
    EXPECT_EQ(files.CardNamed("Lee, Ann").value()["MobileTelephoneNumber"], c.card);

    ExpectSecondRunChangesNothing(files);
  }
}

// A name changed in the PhoneBook reaches the card through the prompt:
// confirmed, the card takes the confirmed names; closed, it takes what the
// prompt was filled with.
TEST(WriteRunTest, ARenameOnThePhoneGoesThroughTheNamePrompt) {
  struct Case {
    std::optional<NameValues> answer;
    NameValues written;
  };
  const std::vector<Case> cases = {
      {NameValues{"Ann", "Lee-Park", "Ann Lee-Park", "Lee-Park, Ann"},
       NameValues{"Ann", "Lee-Park", "Ann Lee-Park", "Lee-Park, Ann"}},
      {std::nullopt, NameValues{"Ann", "Lee", "Ann Lee", "Lee-Park, Ann"}},
  };
  for (const Case& c : cases) {
    StoreFiles files;
    AddSynced(files, kAnn);
    files.AddCard({"card1",
                   {{P::FileAs, "Lee, Ann"},
                    {P::FirstName, "Ann"},
                    {P::LastName, "Lee"},
                    {P::FullName, "Ann Lee"},
                    {P::User2, "YES"},
                    {P::User3, "1"},
                    {P::User4, "M:1"},
                    {P::MobileTelephoneNumber, "5551110000"}}});
    files.ExecutePhoneBookSql("UPDATE tblContactList SET ContactName = 'Lee-Park, Ann'");
    files.view.nameScript.push_back(c.answer);

    files.Run();
    ExpectComplete(files);
    ASSERT_EQ(files.view.namesAsked.size(), 1u);
    EXPECT_EQ(files.view.namesAsked[0].first,
              (NameValues{"Ann", "Lee", "Ann Lee", "Lee-Park, Ann"}));
    std::vector<std::string> expected = {
        "Writing to Outlook Contacts.",
        "... The following name changes for Lee, Ann have been made:",
        "........ First name: " + c.written.FirstName,
        "........ Last name: " + c.written.LastName,
        "........ Full name: " + c.written.FullName,
        "........ File as: Lee-Park, Ann",
        "Writing to the PhoneBook database.",
        "Writing to the sync database.",
        "... Lee-Park, Ann has been modified."};
    EXPECT_THAT(From(files.LogLines(), "Writing to Outlook Contacts."), ElementsAreArray(expected));
    CardView card = files.CardNamed("Lee-Park, Ann").value();
    EXPECT_EQ(card["FirstName"], c.written.FirstName);
    EXPECT_EQ(card["LastName"], c.written.LastName);
    EXPECT_EQ(card["FullName"], c.written.FullName);
    EXPECT_EQ(card["MobileTelephoneNumber"], "5551110000");
    EXPECT_EQ(files.SyncRows().at(0).Name, "Lee-Park, Ann");

    files.view.namesAsked.clear();
    ExpectSecondRunChangesNothing(files);
    EXPECT_TRUE(files.view.namesAsked.empty());
  }
}

// A PhoneBook change that fails is logged, leaves the contact's rows and
// sync row as they were, and is made by the next run; no card is lost.
TEST(WriteRunTest, AFailedPhoneBookWriteIsTriedAgainByTheNextRun) {
  StoreFiles files;
  AddSynced(files, kAnn);
  AddSynced(files, kCy);
  EditAnnsMobile(files);
  files.AddCard({"bo", {{P::FileAs, "Ng, Bo"}, {P::User2, "Y"}, {P::PagerNumber, "5554440000"}}});
  files.ExecutePhoneBookSql(
      "CREATE TRIGGER refuseInsert BEFORE INSERT ON tblContactList WHEN NEW.Number = "
      "'5554440000' BEGIN SELECT RAISE(ABORT, 'no room'); END;"
      "CREATE TRIGGER refuseUpdate BEFORE UPDATE ON tblContactList WHEN NEW.Number = "
      "'5559990000' BEGIN SELECT RAISE(ABORT, 'no change'); END;");
  const std::vector<PhoneBookRow> rowsBefore = files.PhoneBookRows();

  files.Run();
  ExpectComplete(files);
  std::vector<std::string> written = From(files.LogLines(), "Writing to the PhoneBook database.");
  ASSERT_EQ(written.size(), 4u);
  EXPECT_THAT(written[1], HasSubstr("... The changes for Lee, Ann could not be written"));
  EXPECT_THAT(written[1], HasSubstr("no change"));
  EXPECT_THAT(written[2], HasSubstr("... The changes for Ng, Bo could not be written"));
  EXPECT_THAT(written[2], HasSubstr("no room"));
  EXPECT_EQ(written[3], "Writing to the sync database.");
  EXPECT_EQ(files.PhoneBookRows(), rowsBefore);
  EXPECT_THAT(files.SyncRows(), ElementsAre(SyncRowOf(kAnn), SyncRowOf(kCy)));
  EXPECT_EQ(files.CardNamed("Ng, Bo").value()["User3"], "3");

  files.ExecutePhoneBookSql("DROP TRIGGER refuseInsert; DROP TRIGGER refuseUpdate;");
  files.Run();
  ExpectComplete(files);
  EXPECT_THAT(From(files.LogLines(), "Writing to the PhoneBook database."),
              ElementsAre("Writing to the PhoneBook database.",
                          "... The mobile number for Lee, Ann has been changed from 5551110000 to "
                          "5559990000.",
                          "... A pager number of 5554440000 was added for Ng, Bo.",
                          "Writing to the sync database.", "... Lee, Ann has been modified.",
                          "... Ng, Bo has been added."));
  EXPECT_EQ(files.Cards().size(), 3u);
  EXPECT_THAT(files.PhoneBookRows(),
              ElementsAre(PhoneBookRow{"1", "Lee, Ann", "5559990000", "4", "1", "6"},
                          PhoneBookRow{"2", "Ox, Cy", "5552220000", "2", "3", "6"},
                          PhoneBookRow{"2", "Ox, Cy", "5553330000", "4", "2", "6"},
                          PhoneBookRow{"3", "Ng, Bo", "5554440000", "6", "4", "6"}));

  ExpectSecondRunChangesNothing(files);
}

// Not a second run that changes nothing: the desktop side reads phone
// numbers as their digits and addresses in small letters, so a number the
// PhoneBook holds with punctuation, or an address with capitals, reads on
// the run after it was copied to a card as changed on the desktop, and that
// run writes the desktop's form back over the PhoneBook row. The run after
// that finds nothing to do.
TEST(WriteRunTest, APhoneBookSpellingTheDesktopDoesNotKeepIsRewrittenByTheSecondRun) {
  StoreFiles files;
  files.AddPhoneBookRow("2", "Ox, Cy", "Cy@Example.org", 10, 2);
  files.AddPhoneBookRow("2", "Ox, Cy", "555-333-0000", 4, 3);
  files.Run();
  ExpectComplete(files);
  CardView cy = files.CardNamed("Ox, Cy").value();
  EXPECT_EQ(cy["Email1Address"], "Cy@Example.org");
  EXPECT_EQ(cy["MobileTelephoneNumber"], "555-333-0000");  // 12 characters: no mask applies

  files.Run();
  ExpectComplete(files);
  EXPECT_THAT(From(files.LogLines(), "Writing to the PhoneBook database."),
              ElementsAre("Writing to the PhoneBook database.",
                          "... The mobile number for Ox, Cy has been changed from 555-333-0000 to "
                          "5553330000.",
                          "... The email address for Ox, Cy has been changed from Cy@Example.org "
                          "to cy@example.org.",
                          "Writing to the sync database.", "... Ox, Cy has been modified."));
  EXPECT_THAT(files.PhoneBookRows(),
              ElementsAre(PhoneBookRow{"2", "Ox, Cy", "cy@example.org", "10", "2", "255"},
                          PhoneBookRow{"2", "Ox, Cy", "5553330000", "4", "3", "6"}));

  ExpectSecondRunChangesNothing(files);
}

// The PhoneBook holds a contact only through the rows of its numbers. A
// contact with none would vanish from it, and the next run would take that
// for a deletion on the phone and delete the card: the PhoneBook is left as
// it was instead, and the card stays, run after run.
TEST(WriteRunTest, AContactWithoutNumbersIsNeverDeletedForIt) {
  StoreFiles files;
  AddSynced(files, kAnn);
  AddSynced(files, kCy);
  files.AddCard({"nobody", {{P::FileAs, "Vu, Nobody"}, {P::User2, "YES"}}});
  // Ann's only number removed on the desktop.
  files.AddCard({"card1", {{P::FileAs, "Lee, Ann"}, {P::User2, "YES"}, {P::User3, "1"}}});
  const std::vector<PhoneBookRow> rowsBefore = files.PhoneBookRows();

  for (int run = 1; run <= 3; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    files.Run();
    ExpectComplete(files);
    const std::vector<std::string> written =
        From(files.LogLines(), "Writing to the PhoneBook database.");
    EXPECT_THAT(written,
                ::testing::IsSupersetOf(
                    {"... Lee, Ann has no number or e-mail address for the PhoneBook, which "
                     "cannot keep a contact without one; the PhoneBook is left as it was for "
                     "this contact.",
                     "... Vu, Nobody has no number or e-mail address for the PhoneBook, which "
                     "cannot keep a contact without one; the PhoneBook is left as it was for "
                     "this contact."}));
    EXPECT_EQ(files.PhoneBookRows(), rowsBefore);
    EXPECT_THAT(files.SyncRows(), ElementsAre(SyncRowOf(kAnn), SyncRowOf(kCy)));
    ASSERT_TRUE(files.CardNamed("Lee, Ann").has_value());
    EXPECT_EQ(files.CardNamed("Lee, Ann").value()["MobileTelephoneNumber"], "");
    ASSERT_TRUE(files.CardNamed("Vu, Nobody").has_value());
    EXPECT_EQ(files.Cards().size(), 3u);
  }
}

}  // namespace
}  // namespace twinbook
