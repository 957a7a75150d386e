#include "engine/change_flags.h"

#include "engine/speed_dials.h"
#include "engine_fixture.h"

namespace twinbook {
namespace {

using testing::Contact;
using testing::EngineTest;
using testing::FlagsOf;

const std::vector<std::string> kHeadings = {
    "Checking for items that have been deleted.", "Checking for new items in Outlook.",
    "Checking for new items in the PhoneBook.", "Checking for items that have been modified."};

// Lines are given in the order the phases write them; each phase's heading
// is put in front of its own lines.
struct ThreeWayCase {
  bool sync, outlook, phoneBook;
  std::vector<std::string> outlookFlags, phoneBookFlags, syncFlags;
  std::vector<std::string> deletedLines, newOutlookLines, newPhoneBookLines;
};

class ChangeFlagsTest : public EngineTest {
 protected:
  void RunFlagging() {
    FlagDeletedItems(context);
    FlagNewItems(context);
    FlagModifiedItems(context);
  }
};

TEST_F(ChangeFlagsTest, ThreeWayOutcomeTable) {
  // clang-format off
  const std::vector<ThreeWayCase> cases = {
      // S     O      P      Outlook  PhoneBook sync   then the lines of the deleted phase,
      //                     flags    flags     flags  of the Outlook and PhoneBook loops
      {true,  false, true,  {},      {"D"},    {"D"},
       {"... P Ann has been deleted from Outlook."}, {}, {}},
      {true,  true,  false, {"D"},   {},       {"D"},
       {"... O Ann has been deleted from the PhoneBook."}, {}, {}},
      {true,  false, false, {},      {},       {"D"},
       {"... S Ann has been deleted from both Outlook and the PhoneBook."}, {}, {}},
      {false, true,  false, {""},    {"N"},    {"N"},
       {}, {"... O Ann is new to the PhoneBook.", "... O Ann is new to the sync database."}, {}},
      {false, false, true,  {"N"},   {""},     {"N"},
       {}, {}, {"... P Ann is new to Outlook.", "... P Ann is new to the sync database."}},
      {false, true,  true,  {""},    {""},     {"N"},
       {}, {"... O Ann is new to the sync database."}, {}},
      {true,  true,  true,  {""},    {""},     {""},
       {}, {}, {}},
  };
  // clang-format on
  for (const ThreeWayCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.sync) + std::to_string(c.outlook) + std::to_string(c.phoneBook));
    ResetSyncState(state, fake.settings);
    std::filesystem::remove(log);
    // The names differ by store only where a deletion line must name the
    // right record; the data are otherwise alike.
    if (c.sync)
      SeedSync({Contact("7", c.outlook && c.phoneBook ? "O Ann" : "S Ann")});
    if (c.outlook)
      SeedOutlook({Contact("7", "O Ann")});
    if (c.phoneBook)
      SeedPhoneBook({Contact("7", c.outlook ? "O Ann" : "P Ann")});
    RunFlagging();

    EXPECT_EQ(FlagsOf(state.OutlookSet), c.outlookFlags);
    EXPECT_EQ(FlagsOf(state.PhoneBookSet), c.phoneBookFlags);
    EXPECT_EQ(FlagsOf(state.SyncDatabaseSet), c.syncFlags);
    std::vector<std::string> expected{kHeadings[0]};
    expected.insert(expected.end(), c.deletedLines.begin(), c.deletedLines.end());
    expected.push_back(kHeadings[1]);
    expected.insert(expected.end(), c.newOutlookLines.begin(), c.newOutlookLines.end());
    expected.push_back(kHeadings[2]);
    expected.insert(expected.end(), c.newPhoneBookLines.begin(), c.newPhoneBookLines.end());
    expected.push_back(kHeadings[3]);
    EXPECT_EQ(LogLines(), expected);
  }
}

// A contact present in all three stores: which side changed since the last
// run, told by comparing each with the sync record.
struct ModifiedCase {
  const char* what;
  SyncObject outlook, phoneBook, sync;
  std::string outlookFlag, phoneBookFlag, syncFlag;
  std::vector<std::string> lines;
};

TEST_F(ChangeFlagsTest, ModifiedOutcomeTable) {
  const SyncObject before = Contact("7", "Ann").Mobile("5551", "3");
  const SyncObject changed = Contact("7", "Ann").Mobile("5559", "3");
  const std::string inOutlook = "... Ann has been modified in Outlook.";
  const std::string inPhoneBook = "... Ann has been modified in the PhoneBook.";
  const std::string longName = "Alexandria Montgomery-Smythe Jr";
  const std::string cutName = longName.substr(0, 22);
  // clang-format off
  const std::vector<ModifiedCase> cases = {
      {"unchanged", before, before, before, "", "", "", {}},
      {"changed in Outlook", changed, before, before, "", "M", "M", {inOutlook}},
      {"changed in the PhoneBook", before, changed, before, "M", "", "M", {inPhoneBook}},
      {"changed on both sides", changed, changed, before, "M", "M", "M", {inOutlook, inPhoneBook}},
      {"M only over an empty flag", changed, changed, Contact(before).Flagged("W"), "M", "M", "W",
       {inOutlook, inPhoneBook}},
      {"a speed dial alone is a change", Contact(before).Home("", "4"), before, before, "", "M",
       "M", {inOutlook}},
      {"letter case of the name is a change", Contact("7", "ann").Mobile("5551", "3"), before,
       before, "", "M", "M", {inOutlook}},
      {"a single blank is a change", Contact(before).Pager(" "), before, before, "", "M", "M",
       {inOutlook}},
      {"the PhoneBook's shortened name is the same name",
       Contact("7", longName).Mobile("5551", "3"), Contact("7", cutName).Mobile("5551", "3"),
       Contact("7", longName).Mobile("5551", "3"), "", "", "", {}},
      {"a shortened name shorter than the phone keeps is a change",
       Contact("7", longName).Mobile("5551", "3"),
       Contact("7", cutName.substr(0, 21)).Mobile("5551", "3"),
       Contact("7", longName).Mobile("5551", "3"), "M", "", "M",
       {"... " + longName + " has been modified in the PhoneBook."}},
      {"a deleted sync record is skipped", changed, changed, Contact(before).Flagged("D"), "", "",
       "D", {}},
      {"a sync record new in this run stays N; the Outlook record gets M", before, changed,
       Contact(before).Flagged("N"), "M", "M", "N", {inPhoneBook}},
      {"an Outlook record flagged I keeps it; the PhoneBook record gets M",
       Contact(before).Flagged("I"), changed, Contact(before).Flagged("N"), "I", "M", "N",
       {inPhoneBook}},
  };
  // clang-format on
  for (const ModifiedCase& c : cases) {
    SCOPED_TRACE(c.what);
    ResetSyncState(state, fake.settings);
    std::filesystem::remove(log);
    SeedOutlook({c.outlook});
    SeedPhoneBook({c.phoneBook});
    SeedSync({c.sync});
    FlagModifiedItems(context);

    EXPECT_EQ(state.OutlookSet.Item(1).Flag, c.outlookFlag);
    EXPECT_EQ(state.PhoneBookSet.Item(1).Flag, c.phoneBookFlag);
    EXPECT_EQ(state.SyncDatabaseSet.Item(1).Flag, c.syncFlag);
    std::vector<std::string> expected{kHeadings[3]};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(LogLines(), expected);
  }
}

TEST_F(ChangeFlagsTest, AnIRecordBecomesDWhenItsPhoneBookCopyIsGone) {
  SeedOutlook({Contact("7", "Ann").Flagged("I")});
  SeedSync({Contact("7", "Ann")});
  RunFlagging();
  EXPECT_EQ(FlagsOf(state.OutlookSet), std::vector<std::string>{"D"});
  EXPECT_EQ(state.PhoneBookSet.Count(), 0);
}

TEST_F(ChangeFlagsTest, DuplicateIDsAreLookedUpAtTheirLastRecord) {
  SeedOutlook({Contact("7", "First"), Contact("7", "Second")});
  SeedSync({Contact("7", "Ann")});
  RunFlagging();
  EXPECT_EQ(FlagsOf(state.OutlookSet), (std::vector<std::string>{"", "D"}));
}

TEST_F(ChangeFlagsTest, ContactsMatchComparesTheNineteenDataFieldsOnly) {
  const SyncObject base = Contact("7", "Ann").Mobile("5551", "3").Flagged("M");
  SyncObject other = base;
  other.ContactID = "8";
  other.Flag = "W";
  EXPECT_TRUE(ContactsMatch(base, other));
  const std::vector<std::string SyncObject::*> dataFields = {
      &SyncObject::ContactName,  &SyncObject::Work2Number, &SyncObject::DCNumber,
      &SyncObject::HomeNumber,   &SyncObject::Work1Number, &SyncObject::MobileNumber,
      &SyncObject::FaxNumber,    &SyncObject::PagerNumber, &SyncObject::OtherNumber,
      &SyncObject::EmailAddress, &SyncObject::DCSpeed,     &SyncObject::EmailSpeed,
      &SyncObject::FaxSpeed,     &SyncObject::HomeSpeed,   &SyncObject::PagerSpeed,
      &SyncObject::OtherSpeed,   &SyncObject::MobileSpeed, &SyncObject::Work1Speed,
      &SyncObject::Work2Speed};
  for (auto field : dataFields) {
    SyncObject changed = base;
    changed.*field += " ";
    EXPECT_FALSE(ContactsMatch(base, changed)) << changed.*field;
    EXPECT_FALSE(ContactsMatch(changed, base));
  }
}

}  // namespace
}  // namespace twinbook
