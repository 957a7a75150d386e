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

// A contact's rows fold into one record at its first row, with that row's
// name; of two rows of one type the later wins; texts and speed dials are
// taken as stored, 0 being a speed of its own.
TEST_F(PhoneBookLoaderTest, RowsOfOneContactFoldIntoOneRecordAtItsFirstRow) {
  files.AddPhoneBookRow("7", " Ann  Lee ", "1111111", 4, 5);
  files.AddPhoneBookRow("9", "Bob", " 555-0200 ", 2, -1);
  files.AddPhoneBookRow("7", "Ann Smith", "Ann@Example.COM ", 10, 250);
  files.AddPhoneBookRow("7", "", "3333333", 4, 0);
  files.AddPhoneBookRow("2", "", "", 2, 3);

  EXPECT_EQ(Load(),
            (std::vector<SyncObject>{
                Record("7", " Ann  Lee ",
                       {{&SyncObject::MobileNumber, "3333333"},
                        {&SyncObject::MobileSpeed, "0"},
                        {&SyncObject::EmailAddress, "Ann@Example.COM "},
                        {&SyncObject::EmailSpeed, "250"}}),
                Record("9", "Bob",
                       {{&SyncObject::HomeNumber, " 555-0200 "}, {&SyncObject::HomeSpeed, "-1"}}),
                Record("2", "", {{&SyncObject::HomeSpeed, "3"}}),
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

TEST_F(PhoneBookLoaderTest, RowsOfUnsynchronisedTypesGiveOnlyTheContact) {
  files.AddPhoneBookRow("5", "Seven", "5550007", 7, 1);
  files.AddPhoneBookRow("6", "Eight", "5550008", 8, 2);
  files.AddPhoneBookRow("7", "Eleven", "5550011", 11, 3);
  files.AddPhoneBookRow("8", "Negative", "5550012", -4, 4);
  files.ExecutePhoneBookSql(
      "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial) "
      "VALUES (9, 'Untyped', '5550013', NULL, 5)");
  // A later row of a known type still adds its number; nulls in the
  // manager's own columns are its business.
  files.ExecutePhoneBookSql(
      "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
      "PhoneNumberLength, RingTone, Category, Hidden) "
      "VALUES (5, 'Seven', '5550099', 4, 6, NULL, NULL, NULL, NULL)");

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
