// The data folder setup: the schemas, the sample data, creating only what
// is absent, and the twinbook-setup tool.

#include "data_setup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "database_test_support.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::Listing;
using testing::RawConnection;
using testing::ReadFile;
using testing::TempDir;

std::string ErrorOf(const std::function<void()>& call) {
  return testing::ErrorOf<SetupError>(call);
}

TEST(DataSetupTest, DatabasesAreMadeEmptyStrictIndexedOnContactIdAndInWalMode) {
  struct Case {
    void (*create)(const std::string&);
    const char* table;
    const char* which;                 // the columns listed
    std::vector<std::string> columns;  // with their types, none NOT NULL
  };
  const Case cases[] = {
      {CreatePhoneBookDatabase,
       "tblContactList",
       "cid < 6",
       {"ContactID INTEGER", "ContactName TEXT", "Number TEXT", "NumberType INTEGER",
        "SpeedDial INTEGER", "PhoneNumberLength INTEGER"}},
      {CreateSyncDatabase,
       "SyncContacts",
       "1",
       {"ContactID INTEGER", "Name TEXT", "Work2 TEXT", "DirectConnect TEXT", "Home TEXT",
        "Work1 TEXT", "Mobile TEXT", "Fax TEXT", "Pager TEXT", "Other TEXT", "Email TEXT",
        "SpeedDial TEXT"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    TempDir dir;
    const std::string path = dir / "Data.mdb";
    c.create(path);
    // The file stands alone: its log was folded into it when it was made.
    EXPECT_THAT(Listing(dir.path().string()), ElementsAre("Data.mdb"));
    RawConnection db(path);
    const std::string table = c.table;
    EXPECT_EQ(db.Value("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(db.Value("SELECT strict FROM pragma_table_list WHERE name = '" + table + "'"), "1");
    EXPECT_EQ(db.Value("SELECT count(*) FROM " + table), "0");
    EXPECT_EQ(db.Rows("SELECT name || ' ' || type FROM pragma_table_info('" + table +
                      "') WHERE \"notnull\" = 0 AND " + c.which),
              c.columns);
    EXPECT_EQ(db.Value("SELECT count(*) FROM pragma_index_list('" + table +
                       "') AS i, pragma_index_info(i.name) AS c WHERE c.name = 'ContactID'"),
              "1");
  }
}

TEST(DataSetupTest, CreateAndExecuteSqlNameTheFileAndLeaveWhatIsThere) {
  TempDir dir;
  const std::string path = dir / "PhoneBook.mdb";
  testing::WriteFile(path, "the user's own file");
  EXPECT_THAT(ErrorOf([&] { CreatePhoneBookDatabase(path); }),
              AllOf(HasSubstr(path), HasSubstr("exists")));
  EXPECT_THAT(ErrorOf([&] { CreateSyncDatabase(path); }), HasSubstr(path));
  EXPECT_EQ(ReadFile(path), "the user's own file");

  const std::string missing = dir / "missing.mdb";
  EXPECT_THAT(ErrorOf([&] { ExecuteSql(missing, "SELECT 1"); }), HasSubstr(missing));
  EXPECT_FALSE(fs::exists(missing));

  const std::string sync = dir / "Twinbook.mdb";
  CreateSyncDatabase(sync);
  EXPECT_THAT(ErrorOf([&] { ExecuteSql(sync, "INSERT INTO Nowhere VALUES (1)"); }),
              AllOf(HasSubstr(sync), HasSubstr("Nowhere")));
  // One transaction: a failing statement takes the ones before it back.
  EXPECT_NE(ErrorOf([&] {
              ExecuteSql(sync,
                         "INSERT INTO SyncContacts (ContactID) VALUES (1); INSERT INTO x "
                         "VALUES (1);");
            }),
            "(no error)");
  EXPECT_EQ(RawConnection(sync).Value("SELECT count(*) FROM SyncContacts"), "0");
}

// What the sample stores hold is checked by loading them in a whole run
// (tests/stores); here, the files themselves.
TEST(DataSetupTest, SampleDataFillsAnEmptyDataFolderAndASecondInstallChangesNothing) {
  TempDir dir;
  const std::string data = dir / "Data";
  std::vector<SetupItem> items = InstallSampleData(data);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].path, data + "/PhoneBook.mdb");
  EXPECT_EQ(items[1].path, data + "/Twinbook.mdb");
  EXPECT_EQ(items[2].path, data + "/Contacts");
  EXPECT_TRUE(items[0].created && items[1].created && items[2].created);
  EXPECT_THAT(Listing(data), ElementsAre("Contacts", "PhoneBook.mdb", "Twinbook.mdb"));
  const std::vector<std::string> cards = Listing(data + "/Contacts");
  EXPECT_EQ(cards.size(), 6u);
  for (const std::string& name : cards) {
    // Named after its UID, CR LF throughout.
    const std::string card = ReadFile(data + "/Contacts/" + name);
    EXPECT_NE(card.find("\r\nUID:" + name.substr(0, name.size() - 4) + "\r\n"), std::string::npos)
        << name;
    EXPECT_EQ(std::count(card.begin(), card.end(), '\n'),
              std::count(card.begin(), card.end(), '\r'))
        << name;
  }

  const std::string phoneBook = ReadFile(data + "/PhoneBook.mdb");
  const std::string sync = ReadFile(data + "/Twinbook.mdb");
  for (const SetupItem& item : InstallSampleData(data)) {
    EXPECT_FALSE(item.created) << item.path;
  }
  EXPECT_EQ(ReadFile(data + "/PhoneBook.mdb"), phoneBook);
  EXPECT_EQ(ReadFile(data + "/Twinbook.mdb"), sync);
  EXPECT_EQ(Listing(data + "/Contacts"), cards);
}

TEST(DataSetupTest, WhatExistsIsKeptByteForByteAndOnlyTheRestIsMade) {
  TempDir dir;
  const std::string data = dir / "Data";
  fs::create_directories(data + "/Contacts");
  testing::WriteFile(data + "/PhoneBook.mdb", "the manager's own database");
  testing::WriteFile(data + "/Contacts/mine.vcf", "BEGIN:VCARD\r\nEND:VCARD\r\n");

  const std::vector<SetupItem> items = InstallSampleData(data);
  EXPECT_FALSE(items[0].created);
  EXPECT_TRUE(items[1].created);
  EXPECT_FALSE(items[2].created);
  EXPECT_EQ(ReadFile(data + "/PhoneBook.mdb"), "the manager's own database");
  EXPECT_THAT(Listing(data + "/Contacts"), ElementsAre("mine.vcf"));
  EXPECT_EQ(RawConnection(data + "/Twinbook.mdb").Value("SELECT count(*) FROM SyncContacts"), "0");
}

// Runs twinbook-setup with `arguments`; returns its exit status and output.
int RunSetupTool(const std::string& arguments, const std::string& output) {
  const std::string command =
      std::string("'") + TWINBOOK_SETUP_EXECUTABLE + "' " + arguments + " >'" + output + "' 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SetupToolTest, PreparesTheDataFolderOnceAndSaysWhatItDid) {
  TempDir dir;
  const std::string data = dir / "Data";
  const std::string output = dir / "output.txt";
  ASSERT_EQ(RunSetupTool("'" + data + "'", output), 0) << ReadFile(output);
  EXPECT_EQ(ReadFile(output), "Created " + data + "/PhoneBook.mdb\nCreated " + data +
                                  "/Twinbook.mdb\nCreated " + data + "/Contacts\n");
  EXPECT_EQ(Listing(data + "/Contacts").size(), 6u);
  EXPECT_EQ(RawConnection(data + "/PhoneBook.mdb").Value("SELECT count(*) FROM tblContactList"),
            "14");
  ASSERT_EQ(RunSetupTool("'" + data + "'", output), 0) << ReadFile(output);
  EXPECT_EQ(ReadFile(output), "Kept " + data + "/PhoneBook.mdb\nKept " + data +
                                  "/Twinbook.mdb\nKept " + data + "/Contacts\n");

  const std::string empty = dir / "Empty";
  ASSERT_EQ(RunSetupTool("--empty '" + empty + "'", output), 0) << ReadFile(output);
  EXPECT_THAT(Listing(empty), ElementsAre("Contacts", "PhoneBook.mdb", "Twinbook.mdb"));
  EXPECT_TRUE(Listing(empty + "/Contacts").empty());
  EXPECT_EQ(RawConnection(empty + "/PhoneBook.mdb").Value("SELECT count(*) FROM tblContactList"),
            "0");
  EXPECT_EQ(RawConnection(empty + "/Twinbook.mdb").Value("SELECT count(*) FROM SyncContacts"), "0");
}

TEST(SetupToolTest, WrongArgumentsShowTheUsageAndAFolderThatCannotBeMadeIsNamed) {
  TempDir dir;
  const std::string output = dir / "output.txt";
  EXPECT_EQ(RunSetupTool("", output), 2);
  EXPECT_THAT(ReadFile(output), HasSubstr("Usage: twinbook-setup [--empty] DATAFOLDER"));
  EXPECT_EQ(RunSetupTool("--empty", output), 2);
  EXPECT_EQ(RunSetupTool("--full '" + (dir / "Data") + "'", output), 2);
  EXPECT_FALSE(fs::exists(dir / "Data"));

  testing::WriteFile(dir / "file", "not a folder");
  const std::string data = dir / "file/Data";
  EXPECT_EQ(RunSetupTool("'" + data + "'", output), 1);
  EXPECT_THAT(ReadFile(output), HasSubstr("twinbook-setup: Cannot create the folder " + data));
}

}  // namespace
}  // namespace twinbook
