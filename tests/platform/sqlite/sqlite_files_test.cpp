// Files: what cannot be opened, what opening and reading leave behind, the
// journal mode, and waiting for another program's write.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "data_setup.h"
#include "database_test_support.h"
#include "platform/sqlite/sqlite_database.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::ElementsAre;
using testing::ErrorOf;
using ::testing::HasSubstr;
using testing::Listing;
using testing::RawConnection;
using testing::ReadFile;
using testing::TempDir;

const char kRows[] =
    "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
    "PhoneNumberLength) VALUES (1, 'Ann', '3125550100', 4, 1, 6), (2, 'Bob', '3125550101', 2, "
    "2, 6), (1, 'Ann', 'ann@example.com', 10, 3, 255);";

void ReadEverything(Database& db) {
  auto table = db.OpenTable("tblContactList");
  testing::WalkForward(*table, "Number");
  table->MoveLast();
  testing::WalkBackward(*table, "ContactName");
  auto some = db.OpenTableWhere("tblContactList", "ContactID", std::int64_t{1});
  testing::WalkForward(*some, "Number");
}

class FilesTest : public ::testing::Test {
 protected:
  TempDir dir_;
  SqliteDatabaseEngine engine_;
};

TEST_F(FilesTest, AMissingFileIsAnErrorNamingItAndNoFileIsCreated) {
  const std::string path = dir_ / "PhoneBook.mdb";
  EXPECT_THAT(ErrorOf([&] { engine_.OpenDatabase(path); }),
              AllOf(HasSubstr(path), HasSubstr("does not exist")));
  EXPECT_TRUE(Listing(dir_.path().string()).empty());

  const std::string inMissingFolder = dir_ / "no such folder/PhoneBook.mdb";
  EXPECT_THAT(ErrorOf([&] { engine_.OpenDatabase(inMissingFolder); }), HasSubstr(inMissingFolder));
  EXPECT_TRUE(Listing(dir_.path().string()).empty());
}

TEST_F(FilesTest, AFileThatIsNotADatabaseIsAnErrorNamingItAndIsLeftAlone) {
  const std::string path = dir_ / "PhoneBook.mdb";
  std::string content;
  for (int i = 0; i < 40; ++i) {
    content += "This is a list of phone numbers, not a database.\n";
  }
  testing::WriteFile(path, content);
  EXPECT_THAT(ErrorOf([&] { engine_.OpenDatabase(path); }),
              AllOf(HasSubstr(path), HasSubstr("not a database")));
  EXPECT_EQ(ReadFile(path), content);
  EXPECT_THAT(Listing(dir_.path().string()), ElementsAre("PhoneBook.mdb"));
}

TEST_F(FilesTest, AMissingTableOrFilterColumnIsAnErrorNamingItAndTheFile) {
  const std::string path = dir_ / "Twinbook.mdb";
  CreateSyncDatabase(path);
  auto db = engine_.OpenDatabase(path);
  EXPECT_THAT(ErrorOf([&] { db->OpenTable("tblContactList"); }),
              HasSubstr("The database " + path + " has no table tblContactList"));
  EXPECT_THAT(ErrorOf([&] { db->OpenTableWhere("Contacts", "ContactID", std::int64_t{1}); }),
              HasSubstr("The database " + path + " has no table Contacts"));
  EXPECT_THAT(ErrorOf([&] { db->OpenTableWhere("SyncContacts", "ID", std::int64_t{1}); }),
              HasSubstr("Table SyncContacts of " + path + " has no column ID"));
}

TEST_F(FilesTest, OpeningAndReadingAWalFileLeavesItByteIdenticalAndAlone) {
  const std::string path = testing::MakePhoneBook(dir_, kRows);
  const std::string before = ReadFile(path);
  {
    auto db = engine_.OpenDatabase(path);
    ReadEverything(*db);
  }
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_THAT(Listing(dir_.path().string()), ElementsAre("PhoneBook.mdb"));
}

TEST_F(FilesTest, AFileInRollbackModeIsUnchangedByReadingAndTurnedToWalByTheFirstWrite) {
  const std::string path = testing::MakePhoneBook(dir_, kRows);
  RawConnection(path).Exec("PRAGMA journal_mode=DELETE");
  const std::string before = ReadFile(path);
  auto db = engine_.OpenDatabase(path);
  ReadEverything(*db);
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(RawConnection(path).Value("PRAGMA journal_mode"), "delete");

  // A walk under way on the same database does not keep the mode as it was.
  auto walker = db->OpenTable("tblContactList");
  auto table = db->OpenTable("tblContactList");
  table->Delete();
  RawConnection after(path);
  EXPECT_EQ(after.Value("PRAGMA journal_mode"), "wal");
  EXPECT_EQ(after.Value("SELECT count(*) FROM tblContactList"), "2");
  walker->MoveNext();
  EXPECT_EQ(testing::Text(walker->Field("ContactName")), "Bob");
}

TEST_F(FilesTest, AFileThatCanOnlyBeReadIsRefusedBeforeAnythingIsWritten) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "the superuser may write any file";
  }
  const std::string path = testing::MakePhoneBook(dir_, kRows);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_THAT(ErrorOf([&] { engine_.OpenDatabase(path); }),
              AllOf(HasSubstr(path), HasSubstr("read-only")));
}

TEST_F(FilesTest, AWriteWaitsForAnotherProgramHoldingTheFileForAMoment) {
  const std::string path = testing::MakePhoneBook(dir_, kRows);
  auto db = engine_.OpenDatabase(path);
  auto table = db->OpenTable("tblContactList");

  std::promise<void> holding;
  std::thread other([&] {
    RawConnection connection(path);
    connection.Exec(
        "BEGIN IMMEDIATE; INSERT INTO tblContactList (ContactID, Number) VALUES (3, 'other');");
    holding.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    connection.Exec("COMMIT");
  });
  holding.get_future().wait();
  std::string error;
  try {
    table->AddNew();
    table->SetField("ContactID", std::int64_t{4});
    table->SetField("Number", std::string("ours"));
    table->Update();
    table->Edit();
    table->SetField("Number", std::string("edited"));
    table->Update();
  } catch (const DatabaseError& e) {
    error = e.what();
  }
  other.join();
  EXPECT_EQ(error, "");
  EXPECT_THAT(RawConnection(path).Rows(
                  "SELECT Number FROM tblContactList WHERE ContactID > 2 ORDER BY ContactID"),
              ElementsAre("other", "ours"));
  EXPECT_EQ(RawConnection(path).Value("SELECT Number FROM tblContactList WHERE rowid = 1"),
            "edited");
}

}  // namespace
}  // namespace twinbook
