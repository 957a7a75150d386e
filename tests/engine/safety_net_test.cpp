// The safety net around a run's writes, over real stores in a temporary Data
// folder: the question before mass deletions, the backup of every run, Undo
// of the last run (also after a crash at any of its writes), and one run at
// a time.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

#include "engine/deletion_check.h"
#include "engine/start_sync.h"
#include "engine/undo_sync.h"
#include "environment/run_backup.h"
#include "platform/qt/qt_file_system.h"
#include "support/faulty_platform.h"
#include "support/permission_bits.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using P = ContactProperty;
using testing::CardSpec;
using testing::CrashPlan;
using testing::QueryRows;

// Stores whose runs keep backups, as the program's do.
struct Stores : testing::StoreFiles {
  Stores() { platform.files = &files; }
  LocalFileSystem files;
  std::unique_ptr<FileLock> held;
  std::string backup;  // the newest backup folder

  // Schema and rows in stored order of both databases, as SQLite reads them,
  // and every file of the contacts folder, ".deleted" too, by relative path.
  using Contents = std::pair<std::vector<std::string>, std::map<std::string, std::string>>;
  Contents Stored() const {
    Contents stored;
    for (const std::string& path : {phoneBookPath, syncPath}) {
      for (const auto& entry : QueryRows(path, "SELECT sql FROM sqlite_schema"))
        stored.first.push_back(entry[0].text);
      for (const auto& table : QueryRows(path, "SELECT name FROM sqlite_schema WHERE type='table'"))
        for (const auto& row : QueryRows(path, "SELECT rowid, * FROM \"" + table[0].text + "\"")) {
          std::string& line = stored.first.emplace_back();
          for (const auto& value : row)
            line += value.text + "|";
        }
    }
    for (const auto& [path, bytes] : Snapshot())
      if (path.starts_with("Contacts/"))
        stored.second[path.substr(9)] = bytes;
    return stored;
  }
  std::set<std::string> BackupNames() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(data + "/Backups"))
      names.insert(entry.path().filename());
    return names;
  }
  void Undo(std::optional<bool> answer) {
    if (answer)
      view.confirmScript.push_back(*answer);
    testing::PermissionBitsBind bits;
    UndoLastSync(context);
  }
  void AddIncluded(const std::string& uid, const std::string& name, const std::string& mobile) {
    AddCard(
        CardSpec{uid, {{P::FileAs, name}, {P::User2, "YES"}, {P::MobileTelephoneNumber, mobile}}});
  }
};

TEST(SafetyNetTest, AsksBeforeDeletingMoreThanHalfOfAtLeastFive) {
  // Cards removed (rows of the PhoneBook when negative); nullopt: no question expected.
  const std::tuple<int, int, std::optional<bool>> cases[] = {
      {50, 50, false}, {50, 50, true}, {6, 3, {}}, {4, 4, {}}, {6, -5, true}};
  for (const auto& [contacts, removing, answer] : cases) {
    const int removed = std::abs(removing);
    SCOPED_TRACE(std::to_string(removing) + " of " + std::to_string(contacts) + " removed");
    Stores stores;
    for (int i = 0; i < contacts; ++i)
      stores.AddIncluded("c" + std::to_string(i), "Name " + std::to_string(i),
                         std::to_string(5550100 + i));
    stores.Run();
    for (int i = 0; i < removed; ++i)
      removing > 0 ? void(fs::remove(stores.contactsPath + "/c" + std::to_string(i) + ".vcf"))
                   : stores.ExecutePhoneBookSql("DELETE FROM tblContactList WHERE ContactID = " +
                                                std::to_string(i + 1));
    const auto before = stores.Stored();
    if (answer)
      stores.view.confirmScript.push_back(*answer);
    stores.Run();
    ASSERT_EQ(stores.view.questionsAsked.size(), answer ? 1u : 0u);
    if (answer == false) {
      EXPECT_EQ(stores.view.questionsAsked[0].text,
                "This synchronization would delete 50 of your 50 contacts from the PhoneBook, "
                "because they are no longer among the desktop contacts marked for "
                "synchronization in " +
                    stores.contactsPath + ". Delete them?");
      EXPECT_EQ(stores.view.status(), kStatusStopped);
      EXPECT_EQ(stores.Stored(), before);
      EXPECT_EQ(stores.LogLines().back(),
                "Synchronization stopped: the deletions were not confirmed.");
    } else {
      EXPECT_EQ(stores.view.status(), kStatusComplete);
      EXPECT_EQ(stores.PhoneBookRows().size() + stores.Cards().size(), 2u * (contacts - removed));
      EXPECT_TRUE(removing > 0 || stores.view.questionsAsked[0].text.find(
                                      "delete 5 of your 6 contacts from the desktop contacts in " +
                                      stores.contactsPath) != std::string::npos);
    }
  }
}

// Stores after a first run, with changes for a second run to carry: a card
// (with a tab, a backslash and a line end in its file name) to rewrite as
// excluded, a card added, a contact added to and one deleted from the
// PhoneBook.
void SeedChanges(Stores& stores) {
  stores.AddIncluded("ann", "Lee, Ann", "5550101");
  stores.AddIncluded("cy", "Cy", "5550102");
  stores.AddPhoneBookRow("9", "Dee", "5550109", 4, 9);
  stores.Run();
  stores.AddIncluded("eve", "Eve", "5550105");
  fs::rename(
      stores.AddCard(CardSpec{"bob", {{P::FileAs, "Bob"}, {P::User2, "maybe"}, {P::User3, "7"}}}),
      stores.contactsPath + "/b\to\\b\r\n.vcf");
  stores.ExecutePhoneBookSql("DELETE FROM tblContactList WHERE ContactName = 'Cy'");
  stores.AddPhoneBookRow("20", "Fay", "5550120", 4, 20);
}

// What a reader sees of every card, without file names (a created card's is
// random).
std::vector<std::map<std::string, std::string>> CardContents(const Stores& stores) {
  std::vector<std::map<std::string, std::string>> contents;
  for (const auto& card : stores.Cards())
    contents.push_back(card.properties);
  std::sort(contents.begin(), contents.end());
  return contents;
}

TEST(SafetyNetTest, UndoPutsEveryStoreBackAndTheNextRunRedoesTheRun) {
  Stores stores;
  SeedChanges(stores);
  const auto before = stores.Stored();
  stores.Run();
  ASSERT_EQ(stores.view.status(), kStatusComplete);
  const auto after = stores.Stored();
  const auto contentsAfter = CardContents(stores);

  stores.Undo(true);
  ASSERT_EQ(stores.view.status(), kStatusUndone);
  EXPECT_EQ(
      stores.view.questionsAsked.back().text,
      "Undo the synchronization of " +
          ReadBackupRecord(stores.files, *NewestBackup(stores.files, stores.syncPath)).started +
          "? It changed the PhoneBook database " + stores.phoneBookPath + ", the sync database " +
          stores.syncPath + " and 4 contact cards in " + stores.contactsPath +
          " (1 created, 2 changed, 1 deleted). Undo puts them back as they were before it.");
  EXPECT_EQ(stores.Stored().first, before.first);
  // ".deleted" holds what it held and the card the run made (for Fay).
  auto expected = before.second;
  for (const auto& [name, bytes] : after.second) {
    if (!before.second.contains(name) && !name.starts_with(".deleted/"))
      expected[".deleted/" + name] = bytes;
  }
  EXPECT_EQ(stores.Stored().second, expected);
  EXPECT_EQ(stores.LogLines().back(), "Synchronization undone.");

  stores.Run();
  EXPECT_EQ(stores.Stored().first, after.first);
  EXPECT_EQ(CardContents(stores), contentsAfter);
}

// A run or an Undo that may not or cannot go ahead says why (as the only
// message; "$" stands for the Data folder, "@" for the backup's) and changes
// no store. Each undoes the second run of SeedChanges after `meddle`, or
// tries that run again.
TEST(SafetyNetTest, ARunOrUndoThatCannotGoAheadSaysWhyAndChangesNothing) {
  using Meddle = std::function<void(Stores&)>;
  const auto record = [](const char* from, const char* to) -> Meddle {
    return [=](Stores& s) {
      const std::string text = testing::ReadFile(s.backup + "/Record.txt");
      testing::WriteFile(
          s.backup + "/Record.txt",
          std::regex_replace(text, std::regex(from), to, std::regex_constants::format_first_only));
    };
  };
  const auto sql = [](const char* sql) -> Meddle {
    return [=](Stores& s) { s.ExecutePhoneBookSql(sql); };
  };
  const auto card = [](const char* name) -> Meddle {
    return [=](Stores& s) { testing::WriteFile(s.contactsPath + name, "x"); };
  };
  const auto remove = [](const char* path) -> Meddle {
    return
        [=](Stores& s) { fs::remove_all(path[0] == '@' ? s.backup + (path + 1) : s.data + path); };
  };
  const Meddle lock = [](Stores& s) { s.held = s.files.TryLock(LockPathFor(s.syncPath)); };
  const Meddle file = [](Stores& s) {
    fs::remove_all(s.data + "/Backups"), testing::WriteFile(s.data + "/Backups", "");
  };
  const std::string changed = "cannot be undone, because these have changed since:\n";
  const struct {
    std::string says;  // "" : no message at all
    Meddle meddle;
    std::string how = "";  // "yes"/"no": the answer to the question; "meanwhile": meddles while
                           // it stands open; "run": tries the run again
  } cases[] = {
      {"There is no synchronization to undo: $/Backups holds no backup.", remove("/Backups")},
      {"Undo stopped by an error: Cannot list $/Backups: Not a directory. Undo again to finish it.",
       file},
      {"Cannot make the backup of this synchronization in $/Backups/", file, "run"},
      {"Cannot read @/Record.txt: No such file or directory", remove("@/Record.txt")},
      {"The backup record @/Record.txt is not one that Twinbook wrote", record("^", "x")},
      {"The backup record @/Record.txt lacks the paths of the stores", record("\nSync\t.*", "")},
      {"cannot be undone: it was ended before its writing was over, so Undo cannot tell whether "
       "anything changed since. Its backup, to restore by hand, is in @.",
       record("Finished[\\s\\S]*", "")},
      {"Cannot open the database /gone/PhoneBook.mdb: the file does not exist",
       record("\nPhoneBook\t.*", "\nPhoneBook\t/gone/PhoneBook.mdb")},
      {"Undo stopped by an error: Cannot open the database @/PhoneBook.mdb",
       remove("@/PhoneBook.mdb")},
      {"has been undone already.", [](Stores& s) { s.Undo(true); }},
      {kAnotherRunMessage, lock},
      {kAnotherRunMessage, lock, "run"},
      {"Cannot make the lock file $/Twinbook.mdb.lock: permission denied",
       [](Stores& s) {
         fs::permissions(s.data, fs::perms::owner_write, fs::perm_options::remove);
       }},
      {"Undo stopped by an error: Cannot write contact card $/Contacts/b\to\\b\r\n.vcf: Permission "
       "denied. Undo again to finish it.",
       [](Stores& s) {
         fs::permissions(s.contactsPath, fs::perms::owner_write, fs::perm_options::remove);
       },
       "yes"},
      {"A synchronization is under way. Undo it once it has finished.",
       [](Stores& s) { s.state.RunInProgress = true; }},
      {"This Twinbook keeps no backups, so there is nothing to undo.",
       [](Stores& s) { s.platform.files = nullptr; }},
      {changed + "the PhoneBook database $/PhoneBook.mdb\nNothing was changed.",
       sql("UPDATE tblContactList SET Number = '5550199' WHERE ContactID = 1")},
      {changed + "the contact card $/Contacts/eve.vcf\n", card("/eve.vcf")},
      {changed + "the deleted contact card $/Contacts/.deleted/cy.vcf\n", card("/.deleted/cy.vcf")},
      {changed + "a contact card now has the name $/Contacts/cy.vcf\n", card("/cy.vcf")},
      {changed + "the deleted contact card $/Contacts/cy.vcf (not found in .deleted)",
       record("(\nDeleted\tcy.vcf)\t.*", "$1")},
      {"", [](Stores&) {}, "no"},
      {"", [](Stores& s) { s.view.quit = true; }, "yes meanwhile"},
      {"because the PhoneBook database $/PhoneBook.mdb changed meanwhile. Nothing was changed.",
       sql("DELETE FROM tblContactList"), "yes meanwhile"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    Stores stores;
    SeedChanges(stores);
    if (c.how != "run") {
      stores.Run();
      stores.backup = *NewestBackup(stores.files, stores.syncPath);
    }
    auto before = stores.Stored();
    const auto meddle = [&] { c.meddle(stores), before = stores.Stored(); };
    c.how.ends_with("meanwhile") ? void(stores.view.onQuestion = meddle) : meddle();
    stores.view.messages.clear();
    if (c.how == "run")
      stores.Run();
    else
      stores.Undo(c.how.empty() ? std::nullopt : std::optional(c.how.starts_with("yes")));
    for (const std::string& folder : {stores.data, stores.contactsPath})
      fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    std::string says = c.says;
    for (const auto& [mark, path] : {std::pair{"$", stores.data}, {"@", stores.backup}})
      says = std::regex_replace(says, std::regex("\\" + std::string(mark)), path);
    ASSERT_EQ(stores.view.messages.size(), says.empty() ? 0u : 1u);
    EXPECT_TRUE(says.empty() || stores.view.messages[0].find(says) != std::string::npos)
        << stores.view.messages[0];
    EXPECT_EQ(stores.Stored(), before);
  }
}

TEST(SafetyNetTest, KeepsTheNewestTenBackupsOfRunsThatWrote) {
  Stores stores;
  stores.AddIncluded("ann", "Lee, Ann", "5550101");
  for (int run = 0; run < 11; ++run) {
    stores.ExecuteSyncSql("UPDATE SyncContacts SET Mobile = '" + std::to_string(run) + "'");
    stores.Run();
  }
  const auto names = stores.BackupNames();
  EXPECT_EQ(names.size(), 10u);
  stores.Run();  // nothing to change
  EXPECT_EQ(stores.BackupNames(), names);
}

// The file writes of an Undo, counted and crashed by a CrashPlan (the
// databases' by FaultyDatabaseEngine).
class CrashingFiles : public LocalFileSystem {
 public:
  explicit CrashingFiles(CrashPlan& plan) : plan_(plan) {}
  void Write(const std::string& path, std::string_view content) override {
    plan_.BeforeWrite("write " + path);
    LocalFileSystem::Write(path, content);
  }
  void Move(const std::string& from, const std::string& to) override {
    plan_.BeforeWrite("move " + from);
    LocalFileSystem::Move(from, to);
  }
  std::string MoveIntoFolder(const std::string& path, const std::string& folder) override {
    plan_.BeforeWrite("move " + path);
    return LocalFileSystem::MoveIntoFolder(path, folder);
  }

 private:
  CrashPlan& plan_;
};

TEST(SafetyNetTest, AnUndoCutShortAtAnyWriteIsFinishedByTheNextUndo) {
  for (int crashAt = 1;; ++crashAt) {
    SCOPED_TRACE("crash at write " + std::to_string(crashAt));
    Stores stores;
    SeedChanges(stores);
    const auto before = stores.Stored();
    stores.Run();
    CrashPlan plan(crashAt);
    CrashingFiles files(plan);
    testing::FaultyDatabaseEngine databases(stores.databases, plan);
    Platform crashing{databases, stores.contacts, stores.settings, stores.launcher, &files};
    RunContext context{stores.state, stores.view, crashing};
    stores.view.confirmScript.push_back(true);
    try {
      UndoLastSync(context);
    } catch (const testing::SimulatedCrash&) {
    }
    if (!plan.crashed()) {
      EXPECT_GT(crashAt, 5);  // the databases, the cards and the mark of the undo
      break;
    }
    stores.Undo(true);
    EXPECT_EQ(stores.view.status(), kStatusUndone);
    auto now = stores.Stored();
    EXPECT_EQ(now.first, before.first);
    for (const auto& [name, bytes] : before.second)
      EXPECT_EQ(now.second[name], bytes) << name;
  }
}

}  // namespace
}  // namespace twinbook
