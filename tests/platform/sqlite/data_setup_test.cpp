// The data folder setup: databases made only where none is, and what the
// twinbook-setup tool says.
#include "data_setup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "database_test_support.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using testing::ErrorOf;
using ::testing::HasSubstr;
using testing::RawConnection;
using testing::ReadFile;

std::pair<int, std::string> RunSetup(const testing::TempDir& dir, const std::string& arguments) {
  const std::string output = dir / "output.txt";
  const int status = std::system(
      (std::string("'") + TWINBOOK_SETUP_EXECUTABLE + "' " + arguments + " >'" + output + "' 2>&1")
          .c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(output)};
}

TEST(DataSetupTest, TheToolMakesOnlyWhatIsAbsentAndSaysWhatItDid) {
  testing::TempDir dir;
  const std::string data = dir / "Data", full = dir / "Full", empty = dir / "Empty";
  fs::create_directories(data + "/Contacts");
  testing::WriteFile(data + "/PhoneBook.mdb", "the manager's own");
  EXPECT_EQ(RunSetup(dir, "'" + data + "'"),
            std::make_pair(0, "Kept " + data + "/PhoneBook.mdb\nCreated " + data +
                                  "/Twinbook.mdb\nKept " + data + "/Contacts\n"));
  EXPECT_EQ(ReadFile(data + "/PhoneBook.mdb"), "the manager's own");
  EXPECT_EQ(RawConnection(data + "/Twinbook.mdb")
                .Value("SELECT strict || (SELECT journal_mode FROM pragma_journal_mode) FROM "
                       "pragma_table_list WHERE name = 'SyncContacts'"),
            "1wal");
  EXPECT_THAT(ErrorOf([&] { CreateSyncDatabase(data + "/Twinbook.mdb"); }), HasSubstr("exists"));
  EXPECT_EQ(RunSetup(dir, "'" + full + "'").first, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(full + "/Contacts"), {}), 6);
  EXPECT_EQ(RawConnection(full + "/PhoneBook.mdb").Value("SELECT count(*) FROM tblContactList"),
            "14");
  EXPECT_EQ(RunSetup(dir, "--empty '" + empty + "'").first, 0);
  EXPECT_EQ(RawConnection(empty + "/PhoneBook.mdb").Value("SELECT count(*) FROM tblContactList"),
            "0");
  EXPECT_EQ(RunSetup(dir, "").first, 2);
  EXPECT_THAT(RunSetup(dir, "--empty").second,
              HasSubstr("Usage: twinbook-setup [--empty] DATAFOLDER"));
  const std::string blocked = dir / "output.txt/Data";
  const auto [status, said] = RunSetup(dir, "'" + blocked + "'");
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(said.starts_with("twinbook-setup: Cannot create the folder " + blocked)) << said;
  const std::string noLogs = dir / "NoLogs.mdb";  // SQLite cannot make its logs: no file is left
  fs::create_directory(noLogs + "-wal"), fs::create_directory(noLogs + "-journal");
  EXPECT_THAT(ErrorOf([&] { CreateSyncDatabase(noLogs); }),
              HasSubstr("prepare the database " + noLogs));
  EXPECT_FALSE(fs::exists(noLogs));
  const std::string missing = dir / "Missing.mdb";
  EXPECT_THAT(ErrorOf([&] { ExecuteSql(missing, "SELECT 1"); }), HasSubstr(missing));
  EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace twinbook
