#include "engine/undo_sync.h"

#include <exception>
#include <string>
#include <vector>

#include "engine/start_sync.h"
#include "environment/activity_log.h"
#include "environment/run_backup.h"
#include "platform/fingerprint.h"

namespace twinbook {

namespace {

// One database of the run: where it is, its backup, and its fingerprints.
struct DatabaseState {
  DatabaseState(const char* what, std::string path, std::string copy, std::string after)
      : what(what), path(std::move(path)), copy(std::move(copy)), after(std::move(after)) {}
  const char* what;  // "the PhoneBook database"
  std::string path;
  std::string copy;  // in the backup
  std::string after;
  std::string before;
  std::string now;
};

// One card the run touched, as the undo finds it.
struct CardState {
  CardChange change;
  std::string path;     // in the contacts folder
  std::string deleted;  // in ".deleted", when the run deleted it
  std::string before;   // fingerprint of the copy; "" for a card the run made
  std::string after;
  std::string deletedAfter;
  std::string now;
  std::string deletedNow;
};

class Undo {
 public:
  Undo(RunContext& context, FileSystem& files, BackupRecord record)
      : context_(context), files_(files), record_(std::move(record)) {}

  // Reads the stores as they are now; the names of what changed since the
  // run, empty when it can be undone.
  std::vector<std::string> Inspect() {
    DatabaseEngine& engine = context_.platform.databases;
    databases_.clear();
    databases_.push_back({"the PhoneBook database", record_.phoneBookPath,
                          record_.folder + "/PhoneBook.mdb", record_.phoneBookAfter});
    databases_.push_back({"the sync database", record_.syncPath, record_.folder + "/Twinbook.mdb",
                          record_.syncAfter});
    std::vector<std::string> changed;
    for (DatabaseState& db : databases_) {
      db.before = engine.OpenDatabase(db.copy)->ContentFingerprint();
      db.now = engine.OpenDatabase(db.path)->ContentFingerprint();
      if (db.now != db.after && db.now != db.before) {
        changed.push_back(std::string(db.what) + " " + db.path);
      }
    }
    cards_.clear();
    const std::string folder = record_.contactsPath;
    for (const CardChange& change : record_.cards) {
      CardState card;
      card.change = change;
      card.path = folder + "/" + change.name;
      card.after = record_.cardsAfter[change.name];
      card.now = CardFingerprint(files_, card.path);
      if (change.copied) {
        card.before = FingerprintOf(files_.Read(record_.folder + "/Cards/" + change.name));
      }
      if (change.deletedAs && change.deletedAs->empty()) {
        // The run could not tell where in ".deleted" the card went.
        changed.push_back("the deleted contact card " + card.path + " (not found in " +
                          kDeletedCardsFolder + ")");
        cards_.push_back(std::move(card));
        continue;
      }
      if (change.deletedAs) {
        const std::string relative = std::string(kDeletedCardsFolder) + "/" + *change.deletedAs;
        card.deleted = folder + "/" + relative;
        card.deletedAfter = record_.cardsAfter[relative];
        card.deletedNow = CardFingerprint(files_, card.deleted);
      }
      // A deleted card already brought back holds what it held in ".deleted".
      const bool broughtBack =
          change.deletedAs && card.deletedNow.empty() && card.now == card.deletedAfter;
      if (card.now != card.after && card.now != card.before && !broughtBack) {
        changed.push_back(card.after.empty() && !card.now.empty()
                              ? "a contact card now has the name " + card.path
                              : "the contact card " + card.path);
      } else if (change.deletedAs && !card.deletedNow.empty() &&
                 card.deletedNow != card.deletedAfter) {
        changed.push_back("the deleted contact card " + card.deleted);
      }
      cards_.push_back(std::move(card));
    }
    return changed;
  }

  std::string Summary() const {
    std::vector<std::string> parts;
    for (const DatabaseState& db : databases_) {
      if (db.before != db.after) {
        parts.push_back(std::string(db.what) + " " + db.path);
      }
    }
    int created = 0, changed = 0, deleted = 0;
    for (const CardState& card : cards_) {
      created += card.change.created ? 1 : 0;
      changed += card.change.changed && !card.change.created ? 1 : 0;
      deleted += card.change.deletedAs && !card.change.created ? 1 : 0;
    }
    if (!cards_.empty()) {
      parts.push_back(std::to_string(cards_.size()) + " contact cards in " + record_.contactsPath +
                      " (" + std::to_string(created) + " created, " + std::to_string(changed) +
                      " changed, " + std::to_string(deleted) + " deleted)");
    }
    if (parts.empty()) {
      return "nothing that is still different";
    }
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
      text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    }
    return text;
  }

  // Puts everything back; each step on its own is whole.
  void PutBack(LogFile& log) {
    for (const CardState& card : cards_) {
      const CardChange& change = card.change;
      if (change.created) {
        // A card made and deleted by the run stays in ".deleted", where the
        // run put it.
        if (!card.now.empty()) {
          const std::string given =
              files_.MoveIntoFolder(card.path, record_.contactsPath + "/" + kDeletedCardsFolder);
          log.WriteLine("... Moved the new contact card " + card.path + " to " +
                        kDeletedCardsFolder + "/" + given + ".");
        }
        continue;
      }
      if (change.deletedAs && !card.deletedNow.empty()) {
        files_.Move(card.deleted, card.path);
        log.WriteLine("... Brought back the deleted contact card " + card.path + ".");
      }
      if (CardFingerprint(files_, card.path) != card.before) {
        files_.Write(card.path, files_.Read(record_.folder + "/Cards/" + change.name));
        log.WriteLine("... Put back the contact card " + card.path + ".");
      }
    }
    for (const DatabaseState& db : databases_) {
      if (db.now != db.before) {
        context_.platform.databases.OpenDatabase(db.path)->ReplaceContentFrom(db.copy);
        log.WriteLine("... Put back " + std::string(db.what) + " " + db.path + ".");
      }
    }
  }

 private:
  RunContext& context_;
  FileSystem& files_;
  BackupRecord record_;
  std::vector<DatabaseState> databases_;
  std::vector<CardState> cards_;
};

void Refuse(RunContext& context, const std::string& text) {
  context.view.ShowMessage(text);
}

void UndoWith(RunContext& context, FileSystem& files) {
  const std::string syncPath = context.settings().SyncPath;
  const std::optional<std::string> folder = NewestBackup(files, syncPath);
  if (!folder) {
    Refuse(context, "There is no synchronization to undo: " + BackupsFolderFor(syncPath) +
                        " holds no backup.");
    return;
  }
  BackupRecord record = ReadBackupRecord(files, *folder);
  const std::string run = "The synchronization of " + record.started;
  if (record.undone) {
    Refuse(context, run + " has been undone already.");
    return;
  }
  if (record.finished.empty()) {
    Refuse(context, run +
                        " cannot be undone: it was ended before its writing was over, so Undo "
                        "cannot tell whether anything changed since. Its backup, to restore by "
                        "hand, is in " +
                        *folder + ".");
    return;
  }
  const std::unique_ptr<FileLock> lock = files.TryLock(LockPathFor(record.syncPath));
  if (!lock) {
    Refuse(context, kAnotherRunMessage);
    return;
  }
  Undo undo(context, files, record);
  std::vector<std::string> changed = undo.Inspect();
  if (!changed.empty()) {
    std::string text = run + " cannot be undone, because these have changed since:";
    for (const std::string& item : changed) {
      text += "\n" + item;
    }
    Refuse(context, text + "\nNothing was changed.");
    return;
  }
  const bool confirmed =
      context.view.Confirm({"Undo Synchronization",
                            "Undo the synchronization of " + record.started + "? It changed " +
                                undo.Summary() + ". Undo puts them back as they were before it.",
                            "&Undo", "&Cancel"});
  context.StopIfQuitting();
  if (!confirmed) {
    return;
  }
  // Looked at again: the question may have stood open while another
  // program wrote.
  changed = undo.Inspect();
  if (!changed.empty()) {
    Refuse(context, run + " cannot be undone, because " + changed.front() +
                        " changed meanwhile. Nothing was changed.");
    return;
  }
  LogFile log(context.settings().LogPath, LogFile::Mode::Append);
  log.WriteLine("");
  log.WriteLine("Undoing the synchronization of " + record.started + " from the backup in " +
                *folder);
  undo.PutBack(log);
  MarkBackupUndone(files, *folder);
  log.WriteLine("Synchronization undone.");
  log.Close();
  context.view.SetStatus(kStatusUndone);
}

}  // namespace

void UndoLastSync(RunContext& context) {
  RunState& state = context.state;
  if (state.RunInProgress) {
    Refuse(context, "A synchronization is under way. Undo it once it has finished.");
    return;
  }
  if (context.platform.files == nullptr) {
    Refuse(context, "This Twinbook keeps no backups, so there is nothing to undo.");
    return;
  }
  struct Busy {
    RunState& state;
    explicit Busy(RunState& s) : state(s) { state.RunInProgress = true; }
    ~Busy() { state.RunInProgress = false; }
  } busy(state);
  try {
    ResetSyncState(state, context.platform.settings);
    UndoWith(context, *context.platform.files);
  } catch (const RunAborted&) {
    // The program is ending: nothing more is written.
  } catch (const std::exception& error) {
    const std::string message =
        std::string("Undo stopped by an error: ") + error.what() + ". Undo again to finish it.";
    try {
      LogFile log(context.settings().LogPath, LogFile::Mode::Append);
      log.WriteLine(message);
      log.Close();
    } catch (const std::exception&) {
      // The message box still says it.
    }
    context.view.SetStatus(kStatusError);
    context.view.ShowMessage(message);
  }
}

}  // namespace twinbook
