#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "environment/run_context.h"
#include "platform/platform.h"
#include "platform/qt/qt_file_system.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"

namespace twinbook::bench {

// Settings kept in memory, keyed "Section/Key".
class MemorySettings : public SettingsStore {
 public:
  std::optional<std::string> Read(const std::string& section, const std::string& key) override;
  void Write(const std::string& section, const std::string& key, const std::string& value) override;

 private:
  std::map<std::string, std::string> values_;
};

// Starts nothing: the manager is off in every measured run.
class NoLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<RunningProcess> Start(const std::string&) override { return nullptr; }
  bool StartDetached(const std::string&) override { return false; }
};

// The user of a measured run: keeps the desktop's version in every conflict
// and accepts every proposed name, at once. Times each phase by its labels.
class AnsweringView : public UserView {
 public:
  void SetStatus(const std::string& text) override { status = text; }
  void HidePhaseLabels() override {}
  void ShowPhaseStart(Phase) override { phaseStart_ = Clock::now(); }
  void ShowPhaseDone(Phase phase) override {
    phaseSeconds[static_cast<size_t>(phase)] =
        std::chrono::duration<double>(Clock::now() - phaseStart_).count();
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::optional<ConflictAnswer> AskConflict(const ConflictQuestion& question) override;
  std::optional<NameValues> AskNewName(const NameValues& proposal,
                                       const std::string& nameField) override;
  // No benchmark deletes most of a side; should one ever ask, the run goes on
  // as the user who confirms would have it, and the question is kept.
  bool Confirm(const Question& question) override {
    messages.push_back(question.text);
    return true;
  }
  void ProcessEvents() override {}
  bool QuitRequested() const override { return false; }

  std::string status;
  std::vector<std::string> messages;
  int conflicts = 0;
  int namePrompts = 0;
  // Wall-clock seconds of each phase of the last run (0 for phases not run).
  std::array<double, kPhaseCount> phaseSeconds{};

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point phaseStart_;
};

// One run of the program, as the Start button makes it, over the stores of a
// Data folder (PhoneBook.mdb, Twinbook.mdb, SyncLog.txt, Contacts): the real
// SQLite and vCard stores, the run's backup (in Data/Backups) and its lock,
// the manager off, and capacity limits so high that they never stop the run.
// Each WholeRun starts with nothing cached, as the program does when it has
// just been started.
class WholeRun {
 public:
  explicit WholeRun(const std::filesystem::path& dataFolder);

  // Runs StartSync. Throws std::runtime_error with the program's message
  // when the run did not complete.
  void Run();

  AnsweringView view;

 private:
  SqliteDatabaseEngine databases_;
  VCardContactStore contacts_;
  MemorySettings settings_;
  NoLauncher launcher_;
  LocalFileSystem files_;
  Platform platform_{databases_, contacts_, settings_, launcher_, &files_};
  RunState state_;
  RunContext context_{state_, view, platform_};
};

// Reads what a run has to read at the least, through the same platform layer:
// every card of the folder with all its mapped properties, and every row of
// both tables with every column the program uses. Returns the number of
// bytes of values read, so that nothing can be left out unseen.
std::size_t ReadEverything(const std::filesystem::path& dataFolder);

// What the stores of a Data folder hold, for telling whether a run changed
// anything: every card file's bytes (deleted ones included) and every row of
// both tables as SQLite itself reads it. The log is left out; each run
// replaces it.
std::map<std::string, std::string> StoreContents(const std::filesystem::path& dataFolder);

// The first entry in which two StoreContents differ, described for a
// message; "" when they are equal.
std::string FirstDifference(const std::map<std::string, std::string>& before,
                            const std::map<std::string, std::string>& after);

// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Copies the Data folder `from` to `to` (which must not exist), so that a
// measured run can start from the same stores as the one before.
void CopyDataFolder(const std::filesystem::path& from, const std::filesystem::path& to);

// Waits until card files written just now are old enough for the contacts
// store to trust what it kept of them (VCardContactStore's settle time), as
// a user's cards are when a run starts. A run over cards copied a moment
// ago would otherwise read every card twice, once for loading and once for
// writing.
void WaitUntilCardsSettle();

// Whether the stores keep the ContactID indexes that twinbook-setup makes,
// or have none, as the PhoneBook Manager may leave its database (and an
// older sync database may be).
enum class Indexes { Kept, Dropped };

const char* NameOf(Indexes indexes);

// Drops every index of the PhoneBook and sync databases of a Data folder.
void DropIndexes(const std::filesystem::path& dataFolder);

// What a first run over a Data folder writes, found by making one over a
// copy: the cards it saves or makes (their paths below the Data folder and
// their new content), the PhoneBook contacts whose rows it changes, and the
// sync rows it adds, changes or deletes.
struct FirstRunWrites {
  std::vector<std::pair<std::string, std::string>> cards;
  int phoneBookContacts = 0;
  int syncRows = 0;
};

// The stores every measured run of one size starts from, made once per size
// and process, below one scratch folder.
class StoreTemplates {
 public:
  // Cards and phone book before any run, empty sync database.
  const std::filesystem::path& FirstRun(int contactsPerSide, Indexes indexes = Indexes::Kept);

  // Stores in step: a run over them changes nothing. Made by one full run
  // over the first-run stores, provided that a second run then changes
  // nothing; otherwise (while a store writer is incomplete the first run
  // cannot bring the stores in step) generated in step directly. Either way a
  // run over them is tried once and must leave every store as it was.
  // `how` receives which of the two it was.
  const std::filesystem::path& Unchanged(int contactsPerSide, Indexes indexes = Indexes::Kept,
                                         std::string* how = nullptr);

  // What the first run over FirstRun(contactsPerSide, indexes) writes.
  const FirstRunWrites& WritesOfFirstRun(int contactsPerSide, Indexes indexes = Indexes::Kept);

 private:
  using Key = std::pair<int, Indexes>;
  ScratchFolder scratch_;
  std::map<Key, std::filesystem::path> firstRun_;
  std::map<Key, std::pair<std::filesystem::path, std::string>> unchanged_;
  std::map<Key, FirstRunWrites> writes_;
};

// The floor under a first run over a Data folder that it writes `writes`
// to: the time to read every card once, replace or make every card the run
// writes the safe way (a temporary file renamed over it), and commit one
// single-row transaction per PhoneBook contact and per sync row the run
// writes, in WAL mode with synchronous=NORMAL, as the program sets the files.
// Writes to the folder; in seconds.
double TimeFirstRunFloor(const std::filesystem::path& dataFolder, const FirstRunWrites& writes);

// The floor under an unchanged run: the time to read every byte of the
// three stores (every file of the Contacts folder, both database files and
// their write-ahead logs), in seconds. `bytes` receives how many were read.
double TimeReadingBytes(const std::filesystem::path& dataFolder, std::size_t* bytes = nullptr);

// Whether a run over the Data folder leaves the stores as they were; when it
// does not, `difference` receives the first change.
bool RunChangesNothing(const std::filesystem::path& dataFolder, std::string* difference);

}  // namespace twinbook::bench
