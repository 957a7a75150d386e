// The PhoneBook writer row by row: records flagged by hand, written into a
// real PhoneBook file, and the file and the log read back.

#include "stores/phonebook_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>

#include "support/store_files.h"

namespace twinbook {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PhoneBookRow;
using testing::StoreFiles;

constexpr const char* kHeading = "Writing to the PhoneBook database.";

class PhoneBookWriterTest : public ::testing::Test {
 protected:
  SyncObject& Record(const std::string& id, const std::string& name, const std::string& flag) {
    SyncObject& record = files.state.PhoneBookSet.Append();
    record.ContactID = id;
    record.ContactName = name;
    record.Flag = flag;
    return record;
  }

  // The log lines the phase wrote, its heading left out.
  std::vector<std::string> Write() {
    WritePhoneBookDatabase(files.context);
    std::vector<std::string> lines = files.LogLines();
    EXPECT_EQ(lines.at(0), kHeading);
    return {lines.begin() + 1, lines.end()};
  }

  StoreFiles files;
};

TEST_F(PhoneBookWriterTest, AddingAContactGivesOneRowPerNumberInCodeOrder) {
  SyncObject& ann = Record("7", "Ann Lee", "C");
  ann.EmailAddress = "ann@example.com";
  ann.EmailSpeed = "4";
  ann.MobileNumber = "5551234567";
  ann.MobileSpeed = "3";
  EXPECT_THAT(Write(),
              ElementsAre("... A mobile number of 5551234567 was added for Ann Lee.",
                          "... A email address of ann@example.com was added for Ann Lee."));
  EXPECT_THAT(files.PhoneBookRows(),
              ElementsAre(PhoneBookRow{"7", "Ann Lee", "5551234567", "4", "3", "6"},
                          PhoneBookRow{"7", "Ann Lee", "ann@example.com", "10", "4", "255"}));
}

TEST_F(PhoneBookWriterTest, TheLengthCodeOfANewRowFollowsTheNumbersLengthAndKind) {
  struct Case {
    std::string SyncObject::*number;
    std::string value;
    std::string type, lengthCode;
  };
  const std::vector<Case> cases = {
      {&SyncObject::MobileNumber, "5551234", "4", "0"},
      {&SyncObject::HomeNumber, "5551234567", "2", "6"},
      {&SyncObject::Work1Number, "15551234567", "3", "7"},
      {&SyncObject::FaxNumber, "155512345678", "5", "0"},
      {&SyncObject::DCNumber, "123*456*7890", "1", "255"},
      {&SyncObject::DCNumber, "1*2", "1", "255"},
      {&SyncObject::EmailAddress, "a@b.c", "10", "255"},
      {&SyncObject::EmailAddress, "abcdefghij", "10", "255"},
  };
  int id = 1;
  for (const Case& c : cases) {
    SyncObject& record = Record(std::to_string(id++), "Kim", "C");
    record.*c.number = c.value;
    record.DCSpeed = record.EmailSpeed = record.MobileSpeed = record.HomeSpeed = record.Work1Speed =
        record.FaxSpeed = "1";
  }
  Write();
  std::vector<PhoneBookRow> rows = files.PhoneBookRows();
  ASSERT_EQ(rows.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(rows[i].Number, cases[i].value);
    EXPECT_EQ(rows[i].NumberType, cases[i].type) << cases[i].value;
    EXPECT_EQ(rows[i].PhoneNumberLength, cases[i].lengthCode) << cases[i].value;
  }
}

TEST_F(PhoneBookWriterTest, NewRowsHoldWhatThePhoneKeepsOfALongNameAndTheLogTheWholeName) {
  const std::string name = "Alexandria Montgomery-Smythe J";  // 30 characters
  SyncObject& record = Record("3", name, "C");
  record.HomeNumber = "5551234";
  record.HomeSpeed = "2";
  SyncObject& accented = Record("4", "Zoë Ångström-Hallberg Senior", "C");
  accented.HomeNumber = "5554321";
  accented.HomeSpeed = "5";
  EXPECT_THAT(Write(),
              ElementsAre("... A home number of 5551234 was added for " + name + ".",
                          "... A home number of 5554321 was added for Zoë Ångström-Hallberg "
                          "Senior."));
  EXPECT_THAT(files.PhoneBookRows(),
              ElementsAre(PhoneBookRow{"3", "Alexandria Montgomery-", "5551234", "2", "2", "0"},
                          PhoneBookRow{"4", "Zoë Ångström-Hallberg ", "5554321", "2", "5", "0"}));
}

// The rows of contact 5 before each update below, with a row of contact 6
// between them that no update may touch.
class PhoneBookUpdateTest : public PhoneBookWriterTest {
 protected:
  void SetUp() override {
    files.AddPhoneBookRow("5", "Bo Ek", "5551110000", 4, 1);
    files.AddPhoneBookRow("6", "Cy Fox", "5559990000", 4, 9);
    files.AddPhoneBookRow("5", "Bo Ek", "5552220000", 2, 2);
    files.AddPhoneBookRow("5", "Bo Ek", "77*88", 1, 3);
  }

  // Contact 5 as its rows hold it, flagged "W".
  SyncObject& Bo() {
    SyncObject& bo = Record("5", "Bo Ek", "W");
    bo.MobileNumber = "5551110000";
    bo.MobileSpeed = "1";
    bo.HomeNumber = "5552220000";
    bo.HomeSpeed = "2";
    bo.DCNumber = "77*88";
    bo.DCSpeed = "3";
    return bo;
  }

  const PhoneBookRow mobile{"5", "Bo Ek", "5551110000", "4", "1", "6"};
  const PhoneBookRow other{"6", "Cy Fox", "5559990000", "4", "9", "6"};
  const PhoneBookRow home{"5", "Bo Ek", "5552220000", "2", "2", "6"};
  const PhoneBookRow direct{"5", "Bo Ek", "77*88", "1", "3", "255"};
};

TEST_F(PhoneBookUpdateTest, ARemovedHomeNumberDeletesItsRowOnly) {
  Bo().HomeNumber = "";
  EXPECT_THAT(Write(), ElementsAre("... The home number for Bo Ek has been deleted."));
  EXPECT_THAT(files.PhoneBookRows(), ElementsAre(mobile, other, direct));
}

TEST_F(PhoneBookUpdateTest, AMobileNumberOfNewLengthChangesNumberAndLengthCodeButNotSpeedDial) {
  Bo().MobileNumber = "15551110000";
  EXPECT_THAT(Write(), ElementsAre("... The mobile number for Bo Ek has been changed from "
                                   "5551110000 to 15551110000."));
  PhoneBookRow changed = mobile;
  changed.Number = "15551110000";
  changed.PhoneNumberLength = "7";
  EXPECT_THAT(files.PhoneBookRows(), ElementsAre(changed, other, home, direct));
}

TEST_F(PhoneBookUpdateTest, ADirectConnectNumberOfNewLengthChangesOnlyItsNumber) {
  Bo().DCNumber = "123*456*789";
  EXPECT_THAT(Write(), ElementsAre("... The direct connect number for Bo Ek has been changed "
                                   "from 77*88 to 123*456*789."));
  PhoneBookRow changed = direct;
  changed.Number = "123*456*789";
  EXPECT_THAT(files.PhoneBookRows(), ElementsAre(mobile, other, home, changed));
}

TEST_F(PhoneBookUpdateTest, ANewNameRenamesEveryRowWithTheWholeNameLastRowFirst) {
  const std::string name = "Bo Ekström-Lindqvist Andersson";  // 30 characters
  Bo().ContactName = name;
  EXPECT_THAT(Write(), ElementsAre("... The name for Bo Ek has been changed to " + name + ".",
                                   "... The name for Bo Ek has been changed to " + name + ".",
                                   "... The name for Bo Ek has been changed to " + name + "."));
  std::vector<PhoneBookRow> rows = files.PhoneBookRows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].ContactName, name);
  EXPECT_EQ(rows[1], other);
  EXPECT_EQ(rows[2].ContactName, name);
  EXPECT_EQ(rows[3].ContactName, name);
}

TEST_F(PhoneBookUpdateTest, ARenameAndANewNumberInOneRowAreLoggedUnderTheNewName) {
  SyncObject& bo = Bo();
  bo.ContactName = "Bo Eklund";
  bo.HomeNumber = "5552223333";
  EXPECT_THAT(Write(), ElementsAre("... The name for Bo Ek has been changed to Bo Eklund.",
                                   "... The name for Bo Ek has been changed to Bo Eklund.",
                                   "... The home number for Bo Eklund has been changed from "
                                   "5552220000 to 5552223333.",
                                   "... The name for Bo Ek has been changed to Bo Eklund."));
}

TEST_F(PhoneBookUpdateTest, ARowHoldingThePhonesCutOfALongNameIsNotRenamed) {
  const std::string name = "Alexandria Montgomery-Smythe Jr";
  files.AddPhoneBookRow("8", "Alexandria Montgomery-", "5553330000", 4, 8);
  SyncObject& record = Record("8", name, "W");
  record.MobileNumber = "5553334444";
  EXPECT_THAT(Write(), ElementsAre("... The mobile number for Alexandria Montgomery- has been "
                                   "changed from 5553330000 to 5553334444."));
  EXPECT_EQ(files.PhoneBookRows().back().ContactName, "Alexandria Montgomery-");
}

TEST_F(PhoneBookUpdateTest, ANewPagerNumberIsAddedAfterTheUpdatePass) {
  SyncObject& bo = Bo();
  bo.PagerNumber = "5554440000";
  bo.PagerSpeed = "12";
  bo.HomeNumber = "5552220001";
  EXPECT_THAT(Write(), ElementsAre("... The home number for Bo Ek has been changed from "
                                   "5552220000 to 5552220001.",
                                   "... A pager number of 5554440000 was added for Bo Ek."));
  PhoneBookRow changedHome = home;
  changedHome.Number = "5552220001";
  EXPECT_THAT(files.PhoneBookRows(),
              ElementsAre(mobile, other, changedHome, direct,
                          PhoneBookRow{"5", "Bo Ek", "5554440000", "6", "12", "6"}));
}

TEST_F(PhoneBookUpdateTest, RowsOfUnsynchronisedKindsAreLeftAloneNameIncluded) {
  files.AddPhoneBookRow("5", "Bo Ek", "radio", 7, 20);
  Bo().ContactName = "Bo Eklund";
  Write();
  std::vector<PhoneBookRow> rows = files.PhoneBookRows();
  EXPECT_EQ(rows.back(), (PhoneBookRow{"5", "Bo Ek", "radio", "7", "20", "0"}));
}

TEST_F(PhoneBookUpdateTest, OfTwoRowsOfOneKindTheLaterIsDeletedAndTheOtherEmptied) {
  files.AddPhoneBookRow("5", "Bo Ek", "5552225555", 2, 4);
  Bo().HomeNumber = "";
  EXPECT_THAT(Write(), ElementsAre("... The home number for Bo Ek has been deleted.",
                                   "... The home number for Bo Ek has been changed from "
                                   "5552220000 to ."));
  PhoneBookRow emptied = home;
  emptied.Number = "";
  emptied.PhoneNumberLength = "0";
  EXPECT_THAT(files.PhoneBookRows(), ElementsAre(mobile, other, emptied, direct));
}

TEST_F(PhoneBookUpdateTest, DeletingAContactDeletesEachOfItsRowsLastFirst) {
  files.AddPhoneBookRow("5", "Bo Ek", "radio", 8, 20);
  files.AddPhoneBookRow("5", "Bo Ek", "odd", 12, 21);
  files.AddPhoneBookRow("5", "Bo Ek", "bo@example.com", 10, 22);
  Record("5", "Bo Ek", "D");
  EXPECT_THAT(Write(), ElementsAre("... The email address for Bo Ek has been deleted.",
                                   "... The  for Bo Ek has been deleted.",
                                   "... The direct connect number for Bo Ek has been deleted.",
                                   "... The home number for Bo Ek has been deleted.",
                                   "... The mobile number for Bo Ek has been deleted."));
  EXPECT_THAT(files.PhoneBookRows(), ElementsAre(other));
}

TEST_F(PhoneBookUpdateTest, OtherFlagsChangeNothingAndLogNothing) {
  for (const char* flag : {"", "M", "N", "S", "I", "w"}) {
    Record("5", "Bo Ek", flag);
  }
  EXPECT_THAT(Write(), ElementsAre());
  EXPECT_EQ(files.PhoneBookRows(), (std::vector<PhoneBookRow>{mobile, other, home, direct}));
  EXPECT_TRUE(files.state.PhoneBookWriteFailed.empty());
}

// A failing operation undoes the whole contact and is logged instead of its
// steps; the contacts before and after it are written.
TEST_F(PhoneBookUpdateTest, AFailingOperationLeavesItsContactAsItWasAndIsLoggedInstead) {
  files.ExecutePhoneBookSql(
      "CREATE TRIGGER refuse BEFORE INSERT ON tblContactList WHEN NEW.Number = '5550000000' "
      "BEGIN SELECT RAISE(ABORT, 'the manager refuses this number'); END");
  SyncObject& first = Record("1", "Al Bo", "C");
  first.MobileNumber = "5551000000";
  first.MobileSpeed = "11";
  SyncObject& bo = Bo();
  bo.HomeNumber = "";              // a deletion that must be undone,
  bo.MobileNumber = "5551119999";  // a change that must be undone,
  bo.PagerNumber = "5550000000";   // and the addition that fails
  bo.PagerSpeed = "12";
  SyncObject& last = Record("9", "Di Gu", "C");
  last.HomeNumber = "5559000000";
  last.HomeSpeed = "13";

  std::vector<std::string> lines = Write();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "... A mobile number of 5551000000 was added for Al Bo.");
  EXPECT_THAT(lines[1], HasSubstr("... The changes for Bo Ek could not be written to the "
                                  "PhoneBook and will be tried again at the next "
                                  "synchronization: "));
  EXPECT_THAT(lines[1], HasSubstr("the manager refuses this number"));
  EXPECT_EQ(lines[2], "... A home number of 5559000000 was added for Di Gu.");
  EXPECT_THAT(files.PhoneBookRows(),
              ElementsAre(mobile, other, home, direct,
                          PhoneBookRow{"1", "Al Bo", "5551000000", "4", "11", "6"},
                          PhoneBookRow{"9", "Di Gu", "5559000000", "2", "13", "6"}));
  EXPECT_EQ(files.state.PhoneBookWriteFailed, std::set<std::string>{"5"});
}

TEST_F(PhoneBookWriterTest, ASpeedDialTheColumnRefusesFailsItsContactOnly) {
  SyncObject& bad = Record("1", "Al Bo", "C");
  bad.MobileNumber = "5551000000";
  bad.MobileSpeed = "1";
  bad.HomeNumber = "5552000000";
  bad.HomeSpeed = "";  // nothing the column takes: no row without its speed dial
  std::vector<std::string> lines = Write();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], HasSubstr("... The changes for Al Bo could not be written"));
  EXPECT_THAT(lines[0], HasSubstr("SpeedDial"));
  EXPECT_THAT(files.PhoneBookRows(), ElementsAre());
  EXPECT_EQ(files.state.PhoneBookWriteFailed, std::set<std::string>{"1"});
}

// Another program holding the file for writing: every contact fails after
// one wait, and nothing is written.
TEST_F(PhoneBookUpdateTest, AFileHeldByAnotherProgramFailsEveryContactAfterOneWait) {
  SqliteDatabaseEngine impatient(std::chrono::milliseconds(100));
  Platform platform{impatient, files.contacts, files.settings, files.launcher};
  RunContext context{files.state, files.view, platform};
  Bo().HomeNumber = "";
  Record("1", "Al Bo", "D");
  Record("2", "Cy Do", "M");

  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(files.phoneBookPath.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  WritePhoneBookDatabase(context);
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);

  std::vector<std::string> lines = files.LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_THAT(lines[1], HasSubstr("... The changes for Bo Ek could not be written"));
  EXPECT_THAT(lines[1], HasSubstr(files.phoneBookPath));
  EXPECT_THAT(lines[2], HasSubstr("... The changes for Al Bo could not be written"));
  EXPECT_EQ(files.PhoneBookRows(), (std::vector<PhoneBookRow>{mobile, other, home, direct}));
  EXPECT_EQ(files.state.PhoneBookWriteFailed, (std::set<std::string>{"1", "5"}));
}

TEST_F(PhoneBookWriterTest, AMissingTableEndsTheRunNamingIt) {
  files.ExecutePhoneBookSql("DROP TABLE tblContactList");
  Record("1", "Al Bo", "D");
  try {
    WritePhoneBookDatabase(files.context);
    ADD_FAILURE() << "no error";
  } catch (const DatabaseError& error) {
    EXPECT_THAT(error.what(), HasSubstr("tblContactList"));
  }
}

}  // namespace
}  // namespace twinbook
