#include <gtest/gtest.h>

#include "stores/loader_helpers.h"
#include "stores/sync_database.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using testing::Record;
using testing::Records;
using testing::StoreFiles;
using testing::SyncRow;

class SyncLoaderTest : public ::testing::Test {
 protected:
  std::vector<SyncObject> Load() {
    ClearSet(files.state.SyncDatabaseSet);
    LoadSyncRecords(files.context);
    return Records(files.state.SyncDatabaseSet);
  }

  // Puts `records` into SyncDatabaseSet as the engine would leave them and
  // runs the writer.
  void Write(const std::vector<SyncObject>& records) {
    ClearSet(files.state.SyncDatabaseSet);
    for (const SyncObject& record : records) {
      files.state.SyncDatabaseSet.Append() = record;
    }
    WriteSyncDatabase(files.context);
  }

  static SyncObject Flagged(SyncObject record, const std::string& flag) {
    record.Flag = flag;
    return record;
  }

  StoreFiles files;
};

// Every field filled, each with a value of its own.
const SyncObject kFull = Record("4096", "Doe, Ann \"Annie\" O'Neil",
                                {{&SyncObject::Work2Number, "5550100"},
                                 {&SyncObject::DCNumber, "123*45*678"},
                                 {&SyncObject::HomeNumber, "5550200"},
                                 {&SyncObject::Work1Number, "5550300"},
                                 {&SyncObject::MobileNumber, "5550400"},
                                 {&SyncObject::FaxNumber, "5550500"},
                                 {&SyncObject::PagerNumber, "5550600"},
                                 {&SyncObject::OtherNumber, "5550700"},
                                 {&SyncObject::EmailAddress, "ann@example.com"},
                                 {&SyncObject::Work2Speed, "1"},
                                 {&SyncObject::DCSpeed, "22"},
                                 {&SyncObject::HomeSpeed, "3"},
                                 {&SyncObject::Work1Speed, "4"},
                                 {&SyncObject::MobileSpeed, "5"},
                                 {&SyncObject::FaxSpeed, "6"},
                                 {&SyncObject::PagerSpeed, "7"},
                                 {&SyncObject::OtherSpeed, "8"},
                                 {&SyncObject::EmailSpeed, "250"}});

SyncRow Row(const std::string& id, const std::string& name, const std::string& mobile,
            const std::string& email, const std::string& speedDial) {
  SyncRow row{};
  row.ContactID = id;
  row.Name = name;
  row.Mobile = mobile;
  row.Email = email;
  row.SpeedDial = speedDial;
  return row;
}

TEST_F(SyncLoaderTest, EveryColumnLoadsIntoItsField) {
  files.AddSyncRow({"4096", kFull.ContactName, "5550100", "123*45*678", "5550200", "5550300",
                    "5550400", "5550500", "5550600", "5550700", "ann@example.com",
                    "W2:1,DC:22,H:3,W1:4,M:5,F:6,P:7,O:8,E:250"});
  EXPECT_EQ(Load(), std::vector<SyncObject>{kFull});
}

TEST_F(SyncLoaderTest, ANullOrEmptyEmailLoadsAsNoAddress) {
  files.AddSyncRow(Row("1", "Empty", "", "", ""));
  files.ExecuteSyncSql(
      "INSERT INTO SyncContacts (ContactID, Name, Work2, DirectConnect, Home, Work1, Mobile, Fax,"
      " Pager, Other, Email, SpeedDial) VALUES (2, 'Null', '', '', '', '', '', '', '', '', NULL,"
      " '')");
  EXPECT_EQ(Load(), (std::vector<SyncObject>{Record("1", "Empty"), Record("2", "Null")}));
}

TEST_F(SyncLoaderTest, RowsSharingAnIDLoadAsARecordEachInTableOrder) {
  files.AddSyncRow(Row("5", "First", "5550001", "", "M:1"));
  files.AddSyncRow(Row("3", "Other", "", "", ""));
  files.AddSyncRow(Row("5", "Second", "5550002", "", "M:2"));
  EXPECT_EQ(Load(),
            (std::vector<SyncObject>{
                Record("5", "First",
                       {{&SyncObject::MobileNumber, "5550001"}, {&SyncObject::MobileSpeed, "1"}}),
                Record("3", "Other"),
                Record("5", "Second",
                       {{&SyncObject::MobileNumber, "5550002"}, {&SyncObject::MobileSpeed, "2"}}),
            }));
}

// Every flag over one table: what each does to the rows and to the log.
TEST_F(SyncLoaderTest, EachFlagActsOnTheTableAndTheLog) {
  files.AddSyncRow(Row("1", "Ann", "5550001", "ann@example.com", "M:1,E:2"));
  files.AddSyncRow(Row("2", "Bob", "5550002", "bob@example.com", "M:3,E:4"));
  files.AddSyncRow(Row("3", "Cy", "5550003", "cy@example.com", "M:5,E:6"));
  files.AddSyncRow(Row("4", "Di", "5550004", "di@example.com", "M:7,E:8"));
  files.AddSyncRow(Row("5", "Ed", "5550005", "ed@example.com", "M:9,E:10"));

  testing::WriteFile(files.logPath, "Earlier line\r\n");  // appended to, not replaced
  const std::string directory = "/o=corp/ou=sales/cn=recipients/cn=bob";
  Write({
      Flagged(Record("1", "Ann"), "D"),
      Flagged(Record("2", "Bob B",
                     {{&SyncObject::HomeNumber, "5550022"},
                      {&SyncObject::HomeSpeed, "11"},
                      {&SyncObject::EmailAddress, directory},
                      {&SyncObject::EmailSpeed, "12"}}),
              "W"),
      Flagged(Record("3", "Cy C",
                     {{&SyncObject::MobileNumber, "5550033"},
                      {&SyncObject::EmailAddress, directory},
                      {&SyncObject::EmailSpeed, "13"}}),
              "M"),
      Flagged(Record("4", "Di D", {{&SyncObject::EmailAddress, "di@example.org"}}), "W"),
      Flagged(Record("5", "Ed E"), ""),
      Flagged(Record("5", "Ed S"), "S"),
      Flagged(Record("5", "Ed I"), "I"),
      Flagged(Record("5", "Ed X"), "m"),
      Flagged(Record("99", "Nobody D"), "D"),
      Flagged(Record("98", "Nobody M"), "M"),
      Flagged(Record("97", "Nobody W"), "W"),
      Flagged(Record("10", "New C",
                     {{&SyncObject::DCNumber, "164*12*3456"}, {&SyncObject::DCSpeed, "14"}}),
              "C"),
      Flagged(Record("11", "New N",
                     {{&SyncObject::PagerNumber, "5550011"}, {&SyncObject::PagerSpeed, "15"}}),
              "N"),
  });

  EXPECT_EQ(files.LogLines(), (std::vector<std::string>{
                                  "Earlier line",
                                  "Writing to the sync database.",
                                  "... Ann has been deleted.",
                                  "... Bob B has been modified.",
                                  "... Cy C has been modified.",
                                  "... Di D has been modified.",
                                  "... New C has been added.",
                                  "... New N has been added.",
                              }));

  SyncRow bob = Row("2", "Bob B", "", "bob@example.com", "H:11,E:12");
  bob.Home = "5550022";
  SyncRow cy = Row("3", "Cy C", "5550033", directory, "M:,E:13");
  SyncRow di = Row("4", "Di D", "", "di@example.org", "E:");
  SyncRow newC = Row("10", "New C", "", "", "DC:14");
  newC.DirectConnect = "164*12*3456";
  SyncRow newN = Row("11", "New N", "", "", "P:15");
  newN.Pager = "5550011";
  EXPECT_EQ(files.SyncRows(), (std::vector<SyncRow>{
                                  bob,
                                  cy,
                                  di,
                                  Row("5", "Ed", "5550005", "ed@example.com", "M:9,E:10"),
                                  newC,
                                  newN,
                              }));
}

// A "D", "M" or "W" record finds the first row bearing its ID; the second
// row of that ID stays as it was.
TEST_F(SyncLoaderTest, ARecordActsOnTheFirstOfTwoRowsWithItsID) {
  for (const char* flag : {"D", "M", "W"}) {
    SCOPED_TRACE(flag);
    files.ExecuteSyncSql("DELETE FROM SyncContacts");
    files.AddSyncRow(Row("8", "Other", "5550000", "", "M:1"));
    files.AddSyncRow(Row("2", "First", "5550001", "", "M:2"));
    files.AddSyncRow(Row("2", "Second", "5550002", "", "M:3"));
    Write({Flagged(Record("2", "Changed", {{&SyncObject::MobileNumber, "5550009"}}), flag)});

    std::vector<SyncRow> expected = {Row("8", "Other", "5550000", "", "M:1")};
    if (std::string(flag) != "D") {
      expected.push_back(Row("2", "Changed", "5550009", "", "M:"));
    }
    expected.push_back(Row("2", "Second", "5550002", "", "M:3"));
    EXPECT_EQ(files.SyncRows(), expected);
  }
}

// What the writer stores, the loader gives back: the whole record, apart
// from what the stored form cannot carry (leading zeros of a speed, the
// speed of an empty number).
TEST_F(SyncLoaderTest, WrittenRecordsLoadBackAsTheyWere) {
  const SyncObject lean = Record("7", "", {{&SyncObject::OtherNumber, "5550007"}});
  SyncObject zeros = Record("12", "Zeros",
                            {{&SyncObject::FaxNumber, "5550012"},
                             {&SyncObject::FaxSpeed, "007"},
                             {&SyncObject::HomeSpeed, "9"}});

  Write({Flagged(kFull, "C"), Flagged(lean, "N"), Flagged(zeros, "C")});
  SyncObject leanBack = lean;
  leanBack.OtherSpeed = "0";
  SyncObject zerosBack = zeros;
  zerosBack.FaxSpeed = "7";
  zerosBack.HomeSpeed = "";
  EXPECT_EQ(Load(), (std::vector<SyncObject>{kFull, leanBack, zerosBack}));

  // Rewriting with "M" and loading again changes nothing more.
  Write({Flagged(kFull, "M"), Flagged(leanBack, "W"), Flagged(zerosBack, "M")});
  EXPECT_EQ(Load(), (std::vector<SyncObject>{kFull, leanBack, zerosBack}));
}

// A new record must carry an ID the table can hold; one that does not is
// refused before its row is begun, and the rows written before it stay.
TEST_F(SyncLoaderTest, ANewRecordWithoutAPlainIDIsRefusedWithoutAddingARow) {
  for (const char* id : {"", "07", "-3", "x"}) {
    SCOPED_TRACE(id);
    files.ExecuteSyncSql("DELETE FROM SyncContacts");
    try {
      Write({Flagged(Record("1", "Ann"), "C"), Flagged(Record(id, "Bob"), "N")});
      ADD_FAILURE() << "no error";
    } catch (const DatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find("Bob"), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find("'" + std::string(id) + "'"), std::string::npos)
          << error.what();
    }
    EXPECT_EQ(files.SyncRows(), std::vector<SyncRow>{Row("1", "Ann", "", "", "")});
  }
}

}  // namespace
}  // namespace twinbook
