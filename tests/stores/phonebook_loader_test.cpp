#include <gtest/gtest.h>

#include "stores/loader_helpers.h"
#include "stores/phonebook_import.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using testing::Record;
using testing::Records;
using testing::StoreFiles;

class PhoneBookLoaderTest : public ::testing::Test {
 protected:
  std::vector<SyncObject> Load() {
    LoadPhoneBookRecords(files.context);
    return Records(files.state.PhoneBookSet);
  }

  StoreFiles files;
};

TEST_F(PhoneBookLoaderTest, AnEmptyTableGivesAnEmptySet) {
  EXPECT_TRUE(Load().empty());
}

TEST_F(PhoneBookLoaderTest, RowsOfOneContactApartFoldIntoOneRecordAtItsFirstRow) {
  files.AddPhoneBookRow("7", "Ann", "3125550100", 4, 3);
  files.AddPhoneBookRow("9", "Bob", "3125550200", 2, 1);
  files.AddPhoneBookRow("7", "Ann", "ann@example.com", 10, 4);

  EXPECT_EQ(Load(),
            (std::vector<SyncObject>{
                Record("7", "Ann",
                       {{&SyncObject::MobileNumber, "3125550100"},
                        {&SyncObject::MobileSpeed, "3"},
                        {&SyncObject::EmailAddress, "ann@example.com"},
                        {&SyncObject::EmailSpeed, "4"}}),
                Record("9", "Bob",
                       {{&SyncObject::HomeNumber, "3125550200"}, {&SyncObject::HomeSpeed, "1"}}),
            }));
}

TEST_F(PhoneBookLoaderTest, EachNumberTypeFillsItsOwnNumberAndSpeed) {
  struct Case {
    int type;
    std::string SyncObject::*number;
    std::string SyncObject::*speed;
  };
  const Case cases[] = {
      {0, &SyncObject::Work2Number, &SyncObject::Work2Speed},
      {1, &SyncObject::DCNumber, &SyncObject::DCSpeed},
      {2, &SyncObject::HomeNumber, &SyncObject::HomeSpeed},
      {3, &SyncObject::Work1Number, &SyncObject::Work1Speed},
      {4, &SyncObject::MobileNumber, &SyncObject::MobileSpeed},
      {5, &SyncObject::FaxNumber, &SyncObject::FaxSpeed},
      {6, &SyncObject::PagerNumber, &SyncObject::PagerSpeed},
      {9, &SyncObject::OtherNumber, &SyncObject::OtherSpeed},
      {10, &SyncObject::EmailAddress, &SyncObject::EmailSpeed},
  };
  SyncObject expected = Record("4", "Dee");
  int speed = 20;
  for (const Case& c : cases) {
    const std::string number = "number of type " + std::to_string(c.type);
    files.AddPhoneBookRow("4", "Dee", number, c.type, speed);
    expected.*c.number = number;
    expected.*c.speed = std::to_string(speed);
    ++speed;
  }
  EXPECT_EQ(Load(), std::vector<SyncObject>{expected});
}

TEST_F(PhoneBookLoaderTest, TheLaterOfTwoRowsOfOneTypeWins) {
  files.AddPhoneBookRow("3", "Cy", "1111111", 4, 5);
  files.AddPhoneBookRow("8", "Di", "2222222", 4, 6);
  files.AddPhoneBookRow("3", "Cy", "3333333", 4, 7);
  std::vector<SyncObject> records = Load();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].MobileNumber, "3333333");
  EXPECT_EQ(records[0].MobileSpeed, "7");
}

TEST_F(PhoneBookLoaderTest, SpeedDialsLoadAsTheirDecimalText) {
  files.AddPhoneBookRow("1", "Zero", "5550001", 4, 0);
  files.AddPhoneBookRow("2", "Negative", "5550002", 4, -1);
  files.AddPhoneBookRow("3", "Large", "5550003", 4, 250);
  std::vector<SyncObject> records = Load();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].MobileSpeed, "0");  // a speed of its own, not "no speed"
  EXPECT_EQ(records[1].MobileSpeed, "-1");
  EXPECT_EQ(records[2].MobileSpeed, "250");
}

TEST_F(PhoneBookLoaderTest, RowsOfUnsynchronisedTypesGiveOnlyTheContact) {
  files.AddPhoneBookRow("5", "Seven", "5550007", 7, 1);
  files.AddPhoneBookRow("6", "Eight", "5550008", 8, 2);
  files.AddPhoneBookRow("7", "Eleven", "5550011", 11, 3);
  files.AddPhoneBookRow("8", "Negative", "5550012", -4, 4);
  files.ExecutePhoneBookSql(
      "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial) "
      "VALUES (9, 'Untyped', '5550013', NULL, 5)");
  // A later row of a known type still adds its number.
  files.AddPhoneBookRow("5", "Seven", "5550099", 4, 6);

  EXPECT_EQ(Load(),
            (std::vector<SyncObject>{
                Record("5", "Seven",
                       {{&SyncObject::MobileNumber, "5550099"}, {&SyncObject::MobileSpeed, "6"}}),
                Record("6", "Eight"),
                Record("7", "Eleven"),
                Record("8", "Negative"),
                Record("9", "Untyped"),
            }));
}

TEST_F(PhoneBookLoaderTest, AContactKeepsTheNameOfItsFirstRow) {
  files.AddPhoneBookRow("2", "Ann Lee", "5550001", 4, 1);
  files.AddPhoneBookRow("2", "Ann Smith", "5550002", 2, 2);
  files.AddPhoneBookRow("2", "", "5550003", 3, 3);
  std::vector<SyncObject> records = Load();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].ContactName, "Ann Lee");
  EXPECT_EQ(records[0].Work1Number, "5550003");
}

TEST_F(PhoneBookLoaderTest, TextsAreTakenAsStored) {
  files.AddPhoneBookRow("1", " Ann  Lee ", " 555-0100 ", 4, 1);
  files.AddPhoneBookRow("1", "Ann Lee", "Ann@Example.COM ", 10, 2);
  files.AddPhoneBookRow("2", "", "", 2, 3);
  EXPECT_EQ(Load(), (std::vector<SyncObject>{
                        Record("1", " Ann  Lee ",
                               {{&SyncObject::MobileNumber, " 555-0100 "},
                                {&SyncObject::MobileSpeed, "1"},
                                {&SyncObject::EmailAddress, "Ann@Example.COM "},
                                {&SyncObject::EmailSpeed, "2"}}),
                        Record("2", "", {{&SyncObject::HomeSpeed, "3"}}),
                    }));
}

TEST_F(PhoneBookLoaderTest, TheManagersOwnColumnsAreNotRead) {
  // Nulls and odd values in the columns the program does not use are the
  // manager's business.
  files.ExecutePhoneBookSql(
      "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
      "PhoneNumberLength, RingTone, Category, Hidden) "
      "VALUES (4, 'Dee', '5550004', 4, 2, NULL, NULL, NULL, NULL)");
  EXPECT_EQ(
      Load(),
      std::vector<SyncObject>{Record(
          "4", "Dee", {{&SyncObject::MobileNumber, "5550004"}, {&SyncObject::MobileSpeed, "2"}})});
}

// A file made by another program may declare no column types, so a whole
// number can arrive as a real or as a numeric text.
TEST_F(PhoneBookLoaderTest, WholeNumbersStoredAsRealsOrTextsReadAsTheirDigits) {
  files.ExecutePhoneBookSql(
      "DROP TABLE tblContactList;"
      "CREATE TABLE tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial,"
      " PhoneNumberLength);"
      "INSERT INTO tblContactList VALUES (12.0, 'Real', 5550100, 4.0, 3.0, 6);"
      "INSERT INTO tblContactList VALUES (12, 'Real', '5550200', 2, 0, 6);");
  EXPECT_EQ(Load(), std::vector<SyncObject>{Record("12", "Real",
                                                   {{&SyncObject::MobileNumber, "5550100"},
                                                    {&SyncObject::MobileSpeed, "3"},
                                                    {&SyncObject::HomeNumber, "5550200"},
                                                    {&SyncObject::HomeSpeed, "0"}})});
}

// The two row routines on a cursor of their own: they read the current row
// and leave the cursor where it is.
TEST_F(PhoneBookLoaderTest, TheRowRoutinesReadTheCurrentRowWithoutMovingTheCursor) {
  files.AddPhoneBookRow("7", "Ann", "5550100", 4, 3);
  files.AddPhoneBookRow("7", "Ann", "5550200", 3, 8);
  std::unique_ptr<Database> database = files.databases.OpenDatabase(files.phoneBookPath);
  std::unique_ptr<Table> table = database->OpenTable(kPhoneBookTable);
  RowReader row(*table, kPhoneBookTable, files.phoneBookPath);
  SyncSet set;
  set.Append().ContactID = "1";

  table->MoveFirst();
  SyncObject& started = ImportPhoneBookData(set, row);
  EXPECT_EQ(&started, &set.Item(2));
  EXPECT_EQ(std::get<std::string>(table->Field("Number")), "5550100");

  table->MoveNext();
  row.NextRow();
  AddPhoneBookNumber(set, row, 2);
  EXPECT_EQ(std::get<std::string>(table->Field("Number")), "5550200");
  EXPECT_EQ(set.Item(2), Record("7", "Ann",
                                {{&SyncObject::MobileNumber, "5550100"},
                                 {&SyncObject::MobileSpeed, "3"},
                                 {&SyncObject::Work1Number, "5550200"},
                                 {&SyncObject::Work1Speed, "8"}}));
  EXPECT_EQ(set.Item(1), Record("1", ""));
}

// The manager's phone book is small, but a file of any size must load in
// time proportional to its rows: each row finds its contact without walking
// the set. Half the rows stand far from their contact's first row.
TEST_F(PhoneBookLoaderTest, FiftyThousandRowsFoldIntoTheirContacts) {
  constexpr int kContacts = 25000;
  files.ExecutePhoneBookSql(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
      std::to_string(kContacts) +
      ") "
      "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
      "PhoneNumberLength) "
      "SELECT i, 'Contact ' || i, '555' || i, 4, i, 0 FROM n "
      "UNION ALL SELECT i, 'Contact ' || i, 'c' || i || '@example.com', 10, 0, 255 FROM n");
  std::vector<SyncObject> records = Load();
  ASSERT_EQ(records.size(), static_cast<size_t>(kContacts));
  for (int i : {1, 2, 12345, kContacts}) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(records[i - 1], Record(n, "Contact " + n,
                                     {{&SyncObject::MobileNumber, "555" + n},
                                      {&SyncObject::MobileSpeed, n},
                                      {&SyncObject::EmailAddress, "c" + n + "@example.com"},
                                      {&SyncObject::EmailSpeed, "0"}}));
  }
}

}  // namespace
}  // namespace twinbook
