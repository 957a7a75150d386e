// The safety net around a run's writes, over real stores in a temporary Data
// folder: the question before mass deletions, the backup of every run, Undo
// of the last run (also after a crash at any of its writes), and one run at
// a time.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLockFile>
#include <algorithm>
#include <filesystem>

#include "engine/deletion_check.h"
#include "engine/start_sync.h"
#include "engine/undo_sync.h"
#include "environment/run_backup.h"
#include "platform/qt/qt_file_system.h"
#include "support/faulty_platform.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using P = ContactProperty;
using testing::CardSpec;
using testing::CrashPlan;
using testing::QueryRows;
using testing::SimulatedCrash;
using testing::StoreFiles;

// Stores whose runs keep backups, as the program's do.
struct Stores : StoreFiles {
  Stores() { platform.files = &files; }
  LocalFileSystem files;

  // Schema and rows in stored order of both databases, as SQLite reads them.
  std::vector<std::string> Databases() const {
    std::vector<std::string> lines;
    for (const std::string& path : {phoneBookPath, syncPath}) {
      for (const auto& entry : QueryRows(path, "SELECT sql FROM sqlite_schema")) {
        lines.push_back(entry[0].text);
      }
      for (const auto& table :
           QueryRows(path, "SELECT name FROM sqlite_schema WHERE type = 'table'")) {
        for (const auto& row : QueryRows(path, "SELECT rowid, * FROM \"" + table[0].text + "\"")) {
          std::string& line = lines.emplace_back();
          for (const auto& value : row) {
            line += value.text + "|";
          }
        }
      }
    }
    return lines;
  }
  // Every file of the contacts folder, ".deleted" too, by relative path.
  std::map<std::string, std::string> CardFiles() const {
    std::map<std::string, std::string> cards;
    for (const auto& [path, bytes] : Snapshot()) {
      if (path.starts_with("Contacts/")) {
        cards[path.substr(9)] = bytes;
      }
    }
    return cards;
  }
  std::vector<std::string> BackupNames() const {
    std::vector<std::string> names;
    if (fs::exists(data + "/Backups")) {
      for (const auto& entry : fs::directory_iterator(data + "/Backups")) {
        names.push_back(entry.path().filename().string());
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  void Undo(std::optional<bool> answer) {
    if (answer) {
      view.confirmScript.push_back(*answer);
    }
    UndoLastSync(context);
  }
  void AddIncluded(const std::string& uid, const std::string& name, const std::string& mobile) {
    AddCard(
        CardSpec{uid, {{P::FileAs, name}, {P::User2, "YES"}, {P::MobileTelephoneNumber, mobile}}});
  }
};

TEST(SafetyNetTest, AsksBeforeDeletingMoreThanHalfOfAtLeastFive) {
  struct Case {
    int contacts;
    int removed;
    std::optional<bool> answer;  // nullopt: no question expected
  };
  for (const Case& c : {Case{50, 50, false}, Case{50, 50, true}, Case{6, 3, {}}, Case{4, 4, {}}}) {
    SCOPED_TRACE(std::to_string(c.contacts) + " contacts, " + std::to_string(c.removed) +
                 " removed");
    Stores stores;
    for (int i = 0; i < c.contacts; ++i) {
      stores.AddIncluded("c" + std::to_string(i), "Name " + std::to_string(i),
                         std::to_string(5550100 + i));
    }
    stores.Run();
    for (int i = 0; i < c.removed; ++i) {
      fs::remove(stores.contactsPath + "/c" + std::to_string(i) + ".vcf");
    }
    const auto databases = stores.Databases();
    const auto cards = stores.CardFiles();
    if (c.answer) {
      stores.view.confirmScript.push_back(*c.answer);
    }
    stores.Run();
    EXPECT_EQ(stores.view.questionsAsked.size(), c.answer ? 1u : 0u);
    if (c.answer == false) {
      EXPECT_EQ(stores.view.questionsAsked[0].text,
                "This synchronization would delete 50 of your 50 contacts from the PhoneBook, "
                "because they are no longer among the desktop contacts marked for "
                "synchronization in " +
                    stores.contactsPath + ". Delete them?");
      EXPECT_EQ(stores.view.status(), kStatusStopped);
      EXPECT_EQ(stores.Databases(), databases);
      EXPECT_EQ(stores.CardFiles(), cards);
      EXPECT_EQ(stores.LogLines().back(),
                "Synchronization stopped: the deletions were not confirmed.");
    } else {
      EXPECT_EQ(stores.view.status(), kStatusComplete);
      EXPECT_EQ(stores.PhoneBookRows().size(), static_cast<size_t>(c.contacts - c.removed));
    }
  }
}

// Stores after a first run, with changes for a second run to carry: a card
// to rewrite as excluded, a card added, a contact added to and one deleted
// from the PhoneBook.
void SeedChanges(Stores& stores) {
  stores.AddIncluded("ann", "Lee, Ann", "5550101");
  stores.AddIncluded("cy", "Cy", "5550102");
  stores.AddPhoneBookRow("9", "Dee", "5550109", 4, 9);
  stores.Run();
  stores.AddIncluded("eve", "Eve", "5550105");
  stores.AddCard(CardSpec{"bob", {{P::FileAs, "Bob"}, {P::User2, "maybe"}, {P::User3, "7"}}});
  stores.ExecutePhoneBookSql("DELETE FROM tblContactList WHERE ContactName = 'Cy'");
  stores.AddPhoneBookRow("20", "Fay", "5550120", 4, 20);
}

// What a reader sees of every card, without file names (a created card's is
// random).
std::vector<std::map<std::string, std::string>> CardContents(const Stores& stores) {
  std::vector<std::map<std::string, std::string>> contents;
  for (const auto& card : stores.Cards()) {
    contents.push_back(card.properties);
  }
  std::sort(contents.begin(), contents.end());
  return contents;
}

TEST(SafetyNetTest, UndoPutsEveryStoreBackAndTheNextRunRedoesTheRun) {
  Stores stores;
  SeedChanges(stores);
  const auto databasesBefore = stores.Databases();
  const auto cardsBefore = stores.CardFiles();
  stores.Run();
  ASSERT_EQ(stores.view.status(), kStatusComplete);
  const auto databasesAfter = stores.Databases();
  const auto contentsAfter = CardContents(stores);
  const auto cardsAfter = stores.CardFiles();

  stores.Undo(true);
  ASSERT_EQ(stores.view.status(), kStatusUndone);
  EXPECT_EQ(stores.Databases(), databasesBefore);
  // ".deleted" holds what it held and the card the run made (for Fay).
  auto expected = cardsBefore;
  for (const auto& [name, bytes] : cardsAfter) {
    if (!cardsBefore.contains(name) && !name.starts_with(".deleted/")) {
      expected[".deleted/" + name] = bytes;
    }
  }
  EXPECT_EQ(stores.CardFiles(), expected);
  EXPECT_EQ(stores.LogLines().back(), "Synchronization undone.");

  stores.Undo({});  // undone already: no question
  EXPECT_NE(stores.view.messages.back().find("has been undone already"), std::string::npos);

  stores.Run();
  EXPECT_EQ(stores.Databases(), databasesAfter);
  EXPECT_EQ(CardContents(stores), contentsAfter);

  // The PhoneBook Manager changes a number: nothing is undone.
  stores.ExecutePhoneBookSql("UPDATE tblContactList SET Number = '5550199' WHERE ContactID = 1");
  const auto databasesChanged = stores.Databases();
  const auto cardsChanged = stores.CardFiles();
  stores.Undo({});
  EXPECT_NE(stores.view.messages.back().find("have changed since:\nthe PhoneBook database " +
                                             stores.phoneBookPath + "\n"),
            std::string::npos)
      << stores.view.messages.back();
  EXPECT_EQ(stores.Databases(), databasesChanged);
  EXPECT_EQ(stores.CardFiles(), cardsChanged);
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

TEST(SafetyNetTest, ABackupThatCannotBeMadeStopsTheRunBeforeAnyWrite) {
  Stores stores;
  stores.AddIncluded("ann", "Lee, Ann", "5550101");
  testing::WriteFile(stores.data + "/Backups", "not a folder");
  const auto databases = stores.Databases();
  const auto cards = stores.CardFiles();
  stores.Run();
  EXPECT_EQ(stores.view.status(), kStatusError);
  ASSERT_EQ(stores.view.messages.size(), 1u);
  EXPECT_NE(stores.view.messages[0].find("Cannot make the backup of this synchronization in " +
                                         stores.data + "/Backups/"),
            std::string::npos);
  EXPECT_EQ(stores.Databases(), databases);
  EXPECT_EQ(stores.CardFiles(), cards);
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
    const auto databasesBefore = stores.Databases();
    const auto cardsBefore = stores.CardFiles();
    stores.Run();
    CrashPlan plan(crashAt);
    CrashingFiles files(plan);
    testing::FaultyDatabaseEngine databases(stores.databases, plan);
    Platform crashing{databases, stores.contacts, stores.settings, stores.launcher, &files};
    RunContext context{stores.state, stores.view, crashing};
    stores.view.confirmScript.push_back(true);
    try {
      UndoLastSync(context);
    } catch (const SimulatedCrash&) {
    }
    if (!plan.crashed()) {
      EXPECT_GT(crashAt, 5);  // the databases, the cards and the mark of the undo
      break;
    }
    stores.Undo(true);
    EXPECT_EQ(stores.view.status(), kStatusUndone);
    EXPECT_EQ(stores.Databases(), databasesBefore);
    for (const auto& [name, bytes] : cardsBefore) {
      EXPECT_EQ(stores.CardFiles()[name], bytes) << name;
    }
  }
}

TEST(SafetyNetTest, ARunWhileAnotherProcessHoldsTheLockDoesNothing) {
  Stores stores;
  stores.AddIncluded("ann", "Lee, Ann", "5550101");
  const auto databases = stores.Databases();
  const auto cards = stores.CardFiles();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    QLockFile lock(QString::fromStdString(LockPathFor(stores.syncPath)));
    const char locked = lock.tryLock(0) ? 'y' : 'n';
    static_cast<void>(write(ready[1], &locked, 1));
    pause();
    _exit(0);
  }
  char locked = 0;
  ASSERT_EQ(read(ready[0], &locked, 1), 1);
  ASSERT_EQ(locked, 'y');
  stores.Run();
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_EQ(stores.view.messages, std::vector<std::string>{kAnotherRunMessage});
  EXPECT_EQ(stores.Databases(), databases);
  EXPECT_EQ(stores.CardFiles(), cards);
  EXPECT_FALSE(fs::exists(stores.logPath));
}

}  // namespace
}  // namespace twinbook
