// The data folder setup and the twinbook-setup tool: the schemas, creating
// only what is absent, and what the tool says.
#include "data_setup.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "database_test_support.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using testing::ErrorOf;
using testing::RawConnection;
using testing::ReadFile;
using Strings = std::vector<std::string>;

Strings Listing(const std::string& folder) {
  Strings names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DataSetupTest, DatabasesAreMadeEmptyStrictIndexedInWalModeAndNeverOverExistingFiles) {
  const std::pair<void (*)(const std::string&), std::string> cases[] = {
      {CreatePhoneBookDatabase,
       "tblContactList|ContactID INTEGER,ContactName TEXT,Number TEXT,NumberType INTEGER,"
       "SpeedDial INTEGER,PhoneNumberLength INTEGER,RingTone TEXT,Category INTEGER,Hidden INTEGER"},
      {CreateSyncDatabase,
       "SyncContacts|ContactID INTEGER,Name TEXT,Work2 TEXT,DirectConnect TEXT,Home TEXT,"
       "Work1 TEXT,Mobile TEXT,Fax TEXT,Pager TEXT,Other TEXT,Email TEXT,SpeedDial TEXT"},
  };
  for (const auto& [create, schema] : cases) {
    testing::TempDir dir;
    const std::string path = dir / "Data.mdb";
    create(path);
    EXPECT_EQ(Listing(dir.path().string()), Strings{"Data.mdb"});
    const std::string table = schema.substr(0, schema.find('|'));
    EXPECT_EQ(RawConnection(path).Rows(
                  "SELECT t.name, group_concat(c.name || ' ' || c.type), strict, "
                  "(SELECT count(*) FROM " +
                  table +
                  "), (SELECT count(*) FROM "
                  "pragma_index_list(t.name) AS i, pragma_index_info(i.name) AS x WHERE x.name = "
                  "'ContactID'), (SELECT journal_mode FROM pragma_journal_mode) FROM "
                  "pragma_table_list AS t, pragma_table_info(t.name) AS c WHERE t.name = '" +
                  table + "'"),
              Strings{schema + "|1|0|1|wal"});
    const std::string error = ErrorOf([&] { create(path); });
    EXPECT_TRUE(error.find(path) != std::string::npos && error.find("exists") != std::string::npos);
  }
  testing::TempDir dir;
  const std::string sync = dir / "Twinbook.mdb";
  EXPECT_NE(ErrorOf([&] { ExecuteSql(sync, "SELECT 1"); }).find(sync), std::string::npos);
  EXPECT_FALSE(fs::exists(sync));
  CreateSyncDatabase(sync);
  const std::string error = ErrorOf([&] {
    ExecuteSql(sync,
               "INSERT INTO SyncContacts (ContactID) VALUES (1); INSERT INTO Nowhere VALUES (1)");
  });
  EXPECT_TRUE(error.find(sync) != std::string::npos && error.find("Nowhere") != std::string::npos);
  EXPECT_EQ(RawConnection(sync).Rows("SELECT count(*) FROM SyncContacts"), Strings{"0"});
}

// Runs twinbook-setup with `arguments`; returns its exit status and output.
std::pair<int, std::string> RunSetup(const testing::TempDir& dir, const std::string& arguments) {
  const std::string output = dir / "output.txt";
  const int status = std::system(
      (std::string("'") + TWINBOOK_SETUP_EXECUTABLE + "' " + arguments + " >'" + output + "' 2>&1")
          .c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(output)};
}

TEST(DataSetupTest, TheToolMakesOnlyWhatIsAbsentAndSaysWhatItDid) {
  testing::TempDir dir;
  const std::string data = dir / "Data";
  fs::create_directories(data + "/Contacts");
  testing::WriteFile(data + "/PhoneBook.mdb", "the manager's own");
  EXPECT_EQ(RunSetup(dir, "'" + data + "'"),
            std::make_pair(0, "Kept " + data + "/PhoneBook.mdb\nCreated " + data +
                                  "/Twinbook.mdb\nKept " + data + "/Contacts\n"));
  EXPECT_EQ(ReadFile(data + "/PhoneBook.mdb"), "the manager's own");
  EXPECT_TRUE(Listing(data + "/Contacts").empty());

  const std::string full = dir / "Full";
  EXPECT_EQ(RunSetup(dir, "'" + full + "'").second, "Created " + full + "/PhoneBook.mdb\nCreated " +
                                                        full + "/Twinbook.mdb\nCreated " + full +
                                                        "/Contacts\n");
  const Strings cards = Listing(full + "/Contacts");
  ASSERT_EQ(cards.size(), 6u);
  for (const std::string& name : cards) {
    const std::string card = ReadFile(full + "/Contacts/" + name);
    EXPECT_NE(card.find("\r\nUID:" + name.substr(0, name.size() - 4) + "\r\n"), std::string::npos);
    EXPECT_EQ(std::count(card.begin(), card.end(), '\n'),
              std::count(card.begin(), card.end(), '\r'));
  }
  EXPECT_EQ(RawConnection(full + "/PhoneBook.mdb").Rows("SELECT count(*) FROM tblContactList"),
            Strings{"14"});
  const std::string phoneBook = ReadFile(full + "/PhoneBook.mdb");
  EXPECT_EQ(RunSetup(dir, "'" + full + "'").first, 0);
  EXPECT_EQ(ReadFile(full + "/PhoneBook.mdb"), phoneBook);

  const std::string empty = dir / "Empty";
  EXPECT_EQ(RunSetup(dir, "--empty '" + empty + "'").first, 0);
  EXPECT_EQ(Listing(empty), (Strings{"Contacts", "PhoneBook.mdb", "Twinbook.mdb"}));
  EXPECT_TRUE(Listing(empty + "/Contacts").empty());
  EXPECT_EQ(RawConnection(empty + "/PhoneBook.mdb").Rows("SELECT count(*) FROM tblContactList"),
            Strings{"0"});

  for (const std::string& arguments : Strings{"", "--empty", "--full '" + (dir / "X") + "'"}) {
    EXPECT_EQ(RunSetup(dir, arguments).first, 2) << arguments;
  }
  EXPECT_NE(RunSetup(dir, "").second.find("Usage: twinbook-setup [--empty] DATAFOLDER"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "X"));
  const auto [status, said] = RunSetup(dir, "'" + (dir / "output.txt/Data") + "'");
  EXPECT_EQ(status, 1);
  EXPECT_NE(said.find("twinbook-setup: Cannot create the folder " + (dir / "output.txt/Data")),
            std::string::npos);
}

}  // namespace
}  // namespace twinbook
