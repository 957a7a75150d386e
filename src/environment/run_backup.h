#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "environment/settings.h"
#include "platform/platform.h"

namespace twinbook {

// The backups of runs, one folder per run in the folder "Backups" beside
// the sync database, named after the run's local date and time to the
// millisecond ("2026-12-07_16-13-16.123"), so that names sort by age.
//
// A backup folder holds:
// - PhoneBook.mdb and Twinbook.mdb: consistent copies of both databases as
//   they were before the run's first write, each a single SQLite file;
// - Cards/: a copy of each card file as it was before the run first changed
//   or deleted it;
// - Record.txt: the paths the run used, every card file it created, changed
//   or deleted (with the name a deleted card got in ".deleted"), and, once
//   the run's writing is over, a fingerprint of both databases and of every
//   card file it wrote: what Undo compares to tell whether anything changed
//   since;
// - Undone.txt once the run has been undone.
inline constexpr int kBackupsKept = 10;
inline constexpr const char* kDeletedCardsFolder = ".deleted";

std::string BackupsFolderFor(const std::string& syncPath);
// The lock file that lets one run or undo at a time work on the stores of
// this sync database.
std::string LockPathFor(const std::string& syncPath);
inline constexpr const char* kAnotherRunMessage =
    "Another Twinbook is synchronizing these contacts.";

// One card file a run created, changed or deleted. `name` is its file name
// in the contacts folder; `deletedAs` the name it got in ".deleted" when the
// run deleted it.
struct CardChange {
  std::string name;
  bool copied = false;   // existed before the run: Cards/name is its copy
  bool created = false;  // the run made it
  bool changed = false;  // the run saved it over
  std::optional<std::string> deletedAs = std::nullopt;
};

// What Record.txt holds, read back.
struct BackupRecord {
  std::string folder;   // the backup folder
  std::string started;  // "2026-12-07 16:13:16"
  std::string phoneBookPath;
  std::string syncPath;
  std::string contactsPath;
  std::vector<CardChange> cards;  // in the order first touched
  // Present once the run's writing was over; empty for a run ended by Quit
  // or killed.
  std::string finished;
  std::string phoneBookAfter;
  std::string syncAfter;
  // By path relative to the contacts folder ("a.vcf", ".deleted/a-2.vcf"):
  // the file's fingerprint after the run, "" when there was none.
  std::map<std::string, std::string> cardsAfter;
  bool undone = false;
};

// Reads the record of the backup in `folder`. Throws FileError naming it
// when it cannot be read or is not a record.
BackupRecord ReadBackupRecord(FileSystem& files, const std::string& folder);
// The newest backup folder beside `syncPath`, or nullopt when there is none.
std::optional<std::string> NewestBackup(FileSystem& files, const std::string& syncPath);
// Marks the backup in `folder` as undone.
void MarkBackupUndone(FileSystem& files, const std::string& folder);

// The fingerprint of a card file, "" when there is none.
std::string CardFingerprint(FileSystem& files, const std::string& path);

// The backup of one run, and the platform that the run writes through: its
// databases and contacts folders pass every write on to the real ones, and
// first make the backup (on the first write of any store) and the copy of
// the card about to change. A run that writes nothing makes no backup.
//
// Paths come from `settings` as the run loaded them. A backup that cannot be
// made throws FileError naming the backup folder before the write that needed
// it: the run then stops with nothing written.
class RunBackup {
 public:
  RunBackup(Platform& platform, const Settings& settings);
  ~RunBackup();
  RunBackup(const RunBackup&) = delete;
  RunBackup& operator=(const RunBackup&) = delete;

  // The platform for the run's phases.
  Platform& platform() { return recording_; }

  // Called when the run's writing is over, however it ended (except by
  // Quit): records the fingerprints of both databases and that the writing
  // is over, and removes the oldest backups beyond kBackupsKept. Does
  // nothing when nothing was written, or when called again.
  void Seal();

  // Called by the wrappers around the stores.
  void BeforeDatabaseWrite();
  // Copies the card `name` into the backup unless this run has kept it
  // there already.
  void BeforeCardWrite(const std::string& name);
  // Where the card `name` is kept before this run first replaces it (the
  // backup is started when needed). What this run kept there first is the
  // card as it was before the run, and must not be replaced.
  std::string PlaceToKeep(const std::string& name);
  // Record that the run saved (or made) the card `name`, or deleted it
  // (moved it to .deleted as `deletedAs`, "" when unknown), each with the
  // fingerprint of what it left, taken as soon as it is left so that Undo
  // sees any later change.
  void CardWritten(const std::string& name, bool created);
  void CardDeleted(const std::string& name, const std::string& deletedAs);
  const std::string& contactsPath() const { return contactsPath_; }
  FileSystem& files() { return files_; }

 private:
  void Start();
  // The record's line of the card file at `relative` (to the contacts
  // folder) as it now is.
  std::string CardAfter(const std::string& relative);
  // The record is written as the run goes, each card after its write, so
  // that the backup of a run that was ended by Quit or killed still says what
  // the run wrote; the databases' fingerprints come once its writing is over.
  // Nothing is kept per card in memory: a run may rewrite every card.
  void WriteRecordHead();
  void AddToRecord(const std::string& lines);
  void WriteRecordTail();

  Platform& inner_;
  FileSystem& files_;
  std::string phoneBookPath_;
  std::string syncPath_;
  std::string contactsPath_;
  std::unique_ptr<DatabaseEngine> recordingDatabases_;
  std::unique_ptr<ContactStore> recordingContacts_;
  Platform recording_;
  std::string folder_;   // "" until started
  std::string started_;  // for people: "2026-12-07 16:13:16"
  bool sealed_ = false;
};

}  // namespace twinbook
