// The data folder setup: the schemas, the sample data, creating only what
// is absent, and the twinbook-setup tool.

#include "data_setup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "database_test_support.h"
#include "platform/sqlite_database.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::RawConnection;
using testing::ReadFile;
using testing::TempDir;
using testing::Text;

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const SetupError& error) {
    return error.what();
  }
  return "(no error)";
}

std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The value of the first line of `card` starting with `name` + ":" (or ";").
std::string CardValue(const std::string& card, const std::string& name) {
  size_t start = 0;
  while (start < card.size()) {
    size_t end = card.find("\r\n", start);
    const std::string line = card.substr(start, end - start);
    if (line.rfind(name + ":", 0) == 0 || line.rfind(name + ";", 0) == 0) {
      return line.substr(line.find(':') + 1);
    }
    start = end == std::string::npos ? card.size() : end + 2;
  }
  return "";
}

TEST(DataSetupTest, APhoneBookDatabaseIsMadeEmptyStrictIndexedAndInWalMode) {
  TempDir dir;
  const std::string path = dir / "PhoneBook.mdb";
  CreatePhoneBookDatabase(path);
  RawConnection db(path);
  EXPECT_EQ(db.Value("PRAGMA journal_mode"), "wal");
  EXPECT_EQ(db.Value("SELECT strict FROM pragma_table_list WHERE name = 'tblContactList'"), "1");
  EXPECT_EQ(db.Value("SELECT count(*) FROM tblContactList"), "0");
  EXPECT_THAT(
      db.Rows("SELECT name, type, \"notnull\" FROM pragma_table_info('tblContactList') "
              "WHERE cid < 6"),
      ElementsAre("ContactID|INTEGER|0", "ContactName|TEXT|0", "Number|TEXT|0",
                  "NumberType|INTEGER|0", "SpeedDial|INTEGER|0", "PhoneNumberLength|INTEGER|0"));
  EXPECT_EQ(db.Value("SELECT count(*) FROM pragma_index_list('tblContactList') AS i, "
                     "pragma_index_info(i.name) AS c WHERE c.name = 'ContactID'"),
            "1");
}

TEST(DataSetupTest, ASyncDatabaseHasTheTwelveColumns) {
  TempDir dir;
  const std::string path = dir / "Twinbook.mdb";
  CreateSyncDatabase(path);
  // The file stands alone: its log was folded into it when it was made.
  EXPECT_THAT(Listing(dir.path()), ElementsAre("Twinbook.mdb"));
  RawConnection db(path);
  EXPECT_EQ(db.Value("PRAGMA journal_mode"), "wal");
  EXPECT_EQ(db.Value("SELECT strict FROM pragma_table_list WHERE name = 'SyncContacts'"), "1");
  EXPECT_THAT(db.Rows("SELECT name || ' ' || type FROM pragma_table_info('SyncContacts')"),
              ElementsAre("ContactID INTEGER", "Name TEXT", "Work2 TEXT", "DirectConnect TEXT",
                          "Home TEXT", "Work1 TEXT", "Mobile TEXT", "Fax TEXT", "Pager TEXT",
                          "Other TEXT", "Email TEXT", "SpeedDial TEXT"));
  EXPECT_EQ(db.Value("SELECT count(*) FROM pragma_index_list('SyncContacts') AS i, "
                     "pragma_index_info(i.name) AS c WHERE c.name = 'ContactID'"),
            "1");
}

TEST(DataSetupTest, CreatingADatabaseOverAnExistingFileIsRefusedAndLeavesIt) {
  TempDir dir;
  const std::string path = dir / "PhoneBook.mdb";
  testing::WriteFile(path, "the user's own file");
  EXPECT_THAT(ErrorOf([&] { CreatePhoneBookDatabase(path); }),
              AllOf(HasSubstr(path), HasSubstr("exists")));
  EXPECT_THAT(ErrorOf([&] { CreateSyncDatabase(path); }), HasSubstr(path));
  EXPECT_EQ(ReadFile(path), "the user's own file");
}

TEST(DataSetupTest, ExecuteSqlNeedsAnExistingDatabaseAndNamesItOnFailure) {
  TempDir dir;
  const std::string missing = dir / "missing.mdb";
  EXPECT_THAT(ErrorOf([&] { ExecuteSql(missing, "SELECT 1"); }), HasSubstr(missing));
  EXPECT_FALSE(fs::exists(missing));

  const std::string path = dir / "Twinbook.mdb";
  CreateSyncDatabase(path);
  EXPECT_THAT(ErrorOf([&] { ExecuteSql(path, "INSERT INTO Nowhere VALUES (1)"); }),
              AllOf(HasSubstr(path), HasSubstr("Nowhere")));
  // One transaction: a failing statement takes the ones before it back.
  EXPECT_NE(ErrorOf([&] {
              ExecuteSql(path,
                         "INSERT INTO SyncContacts (ContactID) VALUES (1); INSERT INTO x "
                         "VALUES (1);");
            }),
            "(no error)");
  EXPECT_EQ(RawConnection(path).Value("SELECT count(*) FROM SyncContacts"), "0");
}

TEST(DataSetupTest, SampleDataFillsAnEmptyDataFolder) {
  TempDir dir;
  const std::string data = dir / "Data";
  const std::vector<SetupItem> items = InstallSampleData(data);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].path, data + "/PhoneBook.mdb");
  EXPECT_EQ(items[1].path, data + "/Twinbook.mdb");
  EXPECT_EQ(items[2].path, data + "/Contacts");
  EXPECT_TRUE(items[0].created && items[1].created && items[2].created);
  EXPECT_THAT(Listing(data), ElementsAre("Contacts", "PhoneBook.mdb", "Twinbook.mdb"));

  // Through the program's own database layer, as a run reads them.
  SqliteDatabaseEngine engine;
  auto phoneBook = engine.OpenDatabase(data + "/PhoneBook.mdb");
  auto rows = phoneBook->OpenTable("tblContactList");
  std::map<std::string, int> numbersPerContact;
  std::set<std::string> speedDials;
  int count = 0;
  while (!rows->IsEOF()) {
    ++numbersPerContact[Text(rows->Field("ContactName"))];
    speedDials.insert(Text(rows->Field("SpeedDial")));
    ++count;
    rows->MoveNext();
  }
  EXPECT_EQ(count, 14);
  EXPECT_EQ(numbersPerContact.size(), 5u);
  for (const auto& [name, numbers] : numbersPerContact) {
    EXPECT_NE(name.find(", "), std::string::npos) << name;
    EXPECT_GE(numbers, 2) << name;
    EXPECT_LE(numbers, 4) << name;
  }
  EXPECT_EQ(speedDials.size(), 14u) << "every number has a speed dial of its own";

  auto sync = engine.OpenDatabase(data + "/Twinbook.mdb");
  EXPECT_TRUE(sync->OpenTable("SyncContacts")->IsEOF());

  // The cards: named after their UIDs, CR LF, some taking part, one not,
  // one a distribution list, one sharing a name with a PhoneBook contact.
  int takingPart = 0;
  int notTakingPart = 0;
  int groups = 0;
  int sharedNames = 0;
  for (const std::string& name : Listing(data + "/Contacts")) {
    const std::string card = ReadFile(data + "/Contacts/" + name);
    SCOPED_TRACE(name);
    EXPECT_EQ(CardValue(card, "UID") + ".vcf", name);
    EXPECT_EQ(card.rfind("BEGIN:VCARD\r\n", 0), 0u);
    EXPECT_EQ(std::count(card.begin(), card.end(), '\n'),
              std::count(card.begin(), card.end(), '\r'));
    EXPECT_NE(CardValue(card, "FN"), "");
    if (CardValue(card, "KIND") == "group") {
      ++groups;
      continue;
    }
    std::string fileAs = CardValue(card, "X-EVOLUTION-FILE-AS");
    fileAs.erase(std::remove(fileAs.begin(), fileAs.end(), '\\'), fileAs.end());
    sharedNames += static_cast<int>(numbersPerContact.count(fileAs));
    std::string user2 = CardValue(card, "X-TWINBOOK-USER2");
    std::transform(user2.begin(), user2.end(), user2.begin(), ::toupper);
    (user2 == "YES" || user2 == "Y" ? takingPart : notTakingPart) += 1;
  }
  EXPECT_GE(takingPart, 3);
  EXPECT_EQ(notTakingPart, 1);
  EXPECT_EQ(groups, 1);
  EXPECT_GE(sharedNames, 1);
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

TEST(DataSetupTest, ASecondInstallChangesNothing) {
  TempDir dir;
  const std::string data = dir / "Data";
  InstallSampleData(data);
  const std::string phoneBook = ReadFile(data + "/PhoneBook.mdb");
  const std::string sync = ReadFile(data + "/Twinbook.mdb");
  const auto cards = Listing(data + "/Contacts");
  for (const SetupItem& item : InstallSampleData(data)) {
    EXPECT_FALSE(item.created) << item.path;
  }
  EXPECT_EQ(ReadFile(data + "/PhoneBook.mdb"), phoneBook);
  EXPECT_EQ(ReadFile(data + "/Twinbook.mdb"), sync);
  EXPECT_EQ(Listing(data + "/Contacts"), cards);
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
  EXPECT_THAT(Listing(data), ElementsAre("Contacts", "PhoneBook.mdb", "Twinbook.mdb"));
  EXPECT_EQ(Listing(data + "/Contacts").size(), 6u);
  EXPECT_EQ(RawConnection(data + "/PhoneBook.mdb").Value("SELECT count(*) FROM tblContactList"),
            "14");

  ASSERT_EQ(RunSetupTool("'" + data + "'", output), 0) << ReadFile(output);
  EXPECT_EQ(ReadFile(output), "Kept " + data + "/PhoneBook.mdb\nKept " + data +
                                  "/Twinbook.mdb\nKept " + data + "/Contacts\n");
}

TEST(SetupToolTest, WithoutAFolderItShowsItsUsageAndFails) {
  TempDir dir;
  const std::string output = dir / "output.txt";
  EXPECT_EQ(RunSetupTool("", output), 2);
  EXPECT_THAT(ReadFile(output), HasSubstr("Usage: twinbook-setup [--empty] DATAFOLDER"));
  EXPECT_EQ(RunSetupTool("--empty", output), 2);
  EXPECT_EQ(RunSetupTool("--full '" + (dir / "Data") + "'", output), 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "Data"));
}

TEST(SetupToolTest, EmptyMakesEmptyDatabasesAndAnEmptyContactsFolder) {
  TempDir dir;
  const std::string data = dir / "Data";
  const std::string output = dir / "output.txt";
  ASSERT_EQ(RunSetupTool("--empty '" + data + "'", output), 0) << ReadFile(output);
  EXPECT_THAT(Listing(data), ElementsAre("Contacts", "PhoneBook.mdb", "Twinbook.mdb"));
  EXPECT_TRUE(Listing(data + "/Contacts").empty());
  EXPECT_EQ(RawConnection(data + "/PhoneBook.mdb").Value("SELECT count(*) FROM tblContactList"),
            "0");
  EXPECT_EQ(RawConnection(data + "/Twinbook.mdb").Value("SELECT count(*) FROM SyncContacts"), "0");
}

TEST(SetupToolTest, AFolderThatCannotBeMadeIsReportedByName) {
  TempDir dir;
  testing::WriteFile(dir / "file", "not a folder");
  const std::string data = dir / "file/Data";
  const std::string output = dir / "output.txt";
  EXPECT_EQ(RunSetupTool("'" + data + "'", output), 1);
  EXPECT_THAT(ReadFile(output), HasSubstr("twinbook-setup: Cannot create the folder " + data));
}

}  // namespace
}  // namespace twinbook
