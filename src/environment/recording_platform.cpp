#include "environment/recording_platform.h"

#include <stdexcept>
#include <string>

#include "environment/run_backup.h"

namespace twinbook {

namespace {

// The name of a card file as its item describes it: the folder as given,
// "/" and the file name.
std::string CardName(const std::string& folder, const std::string& described) {
  std::string prefix = folder;
  while (prefix.size() > 1 && prefix.back() == '/') {
    prefix.pop_back();
  }
  prefix += "/";
  if (described.compare(0, prefix.size(), prefix) == 0) {
    return described.substr(prefix.size());
  }
  return described.substr(described.rfind('/') + 1);
}

class RecordingTable : public ForwardingTable {
 public:
  RecordingTable(std::unique_ptr<Table> inner, RunBackup& backup)
      : ForwardingTable(std::move(inner)), backup_(backup) {}

  void Update() override {
    backup_.BeforeDatabaseWrite();
    inner_->Update();
  }
  void Delete() override {
    backup_.BeforeDatabaseWrite();
    inner_->Delete();
  }

 private:
  RunBackup& backup_;
};

class RecordingDatabase : public Database {
 public:
  RecordingDatabase(std::unique_ptr<Database> inner, RunBackup& backup)
      : inner_(std::move(inner)), backup_(backup) {}

  std::unique_ptr<Table> OpenTable(const std::string& table) override {
    return std::make_unique<RecordingTable>(inner_->OpenTable(table), backup_);
  }
  std::unique_ptr<Table> OpenTableWhere(const std::string& table, const std::string& column,
                                        const FieldValue& value) override {
    return std::make_unique<RecordingTable>(inner_->OpenTableWhere(table, column, value), backup_);
  }
  void RequireColumn(const std::string& table, const std::string& column) override {
    inner_->RequireColumn(table, column);
  }
  // Every change inside it passes a RecordingTable first, and the backup is
  // read through a connection of its own, which sees the file as it was
  // before the transaction.
  std::unique_ptr<Transaction> BeginTransaction() override { return inner_->BeginTransaction(); }

 private:
  std::unique_ptr<Database> inner_;
  RunBackup& backup_;
};

class RecordingDatabaseEngine : public DatabaseEngine {
 public:
  RecordingDatabaseEngine(DatabaseEngine& inner, RunBackup& backup)
      : inner_(inner), backup_(backup) {}
  std::unique_ptr<Database> OpenDatabase(const std::string& path) override {
    return std::make_unique<RecordingDatabase>(inner_.OpenDatabase(path), backup_);
  }

 private:
  DatabaseEngine& inner_;
  RunBackup& backup_;
};

class RecordingItem : public WatchedItem {
 public:
  RecordingItem(std::unique_ptr<ContactItem> inner, RunBackup& backup, std::string folder,
                bool isNew)
      : WatchedItem(std::move(inner), isNew), backup_(backup), folder_(std::move(folder)) {}

  void Save() override {
    if (unsaved_) {
      inner_->Save();
      unsaved_ = false;
      backup_.CardWritten(Name(), true);
      return;
    }
    // Saving a card with nothing set to another value writes nothing.
    if (!changed_) {
      inner_->Save();
      return;
    }
    const std::string name = Name();
    const bool written = inner_->SaveKeepingOld(backup_.PlaceToKeep(name));
    changed_ = false;
    if (written) {
      backup_.CardWritten(name, false);
    }
  }

  // The run's backup is what keeps the cards a run replaces; nothing above
  // it keeps cards of its own.
  bool SaveKeepingOld(const std::string& keepAs) override {
    throw std::logic_error("Cannot keep " + Describe() + " as " + keepAs +
                           ": a recorded run's backup keeps its cards");
  }

  void Delete() override {
    if (unsaved_) {
      inner_->Delete();  // never in the folder: nothing to remove
      return;
    }
    const std::string name = Name();
    backup_.BeforeCardWrite(name);
    // The folder gives a deleted card its own name in ".deleted", or the
    // first free one of name-2, name-3 ...: the first free one now is the
    // one it gets, unless another program takes it meanwhile.
    const std::string deleted = folder_ + "/" + kDeletedCardsFolder + "/";
    std::string given = name;
    const size_t dot = name.rfind('.');
    for (int n = 2; backup_.files().Exists(deleted + given); ++n) {
      given = dot == std::string::npos
                  ? name + "-" + std::to_string(n)
                  : name.substr(0, dot) + "-" + std::to_string(n) + name.substr(dot);
    }
    inner_->Delete();
    backup_.CardDeleted(name, backup_.files().Exists(deleted + given) ? given : std::string());
  }

 private:
  std::string Name() const { return CardName(folder_, inner_->Describe()); }

  RunBackup& backup_;
  std::string folder_;
};

class RecordingFolder : public WrappingFolder {
 public:
  RecordingFolder(std::unique_ptr<ContactsFolder> inner, RunBackup& backup, std::string path)
      : WrappingFolder(std::move(inner)), backup_(backup), path_(std::move(path)) {}

 private:
  std::unique_ptr<ContactItem> Wrap(std::unique_ptr<ContactItem> item, bool isNew) override {
    return std::make_unique<RecordingItem>(std::move(item), backup_, path_, isNew);
  }

  RunBackup& backup_;
  std::string path_;
};

class RecordingContactStore : public ContactStore {
 public:
  RecordingContactStore(ContactStore& inner, RunBackup& backup) : inner_(inner), backup_(backup) {}
  std::unique_ptr<ContactsFolder> OpenFolder(const std::string& path) override {
    return std::make_unique<RecordingFolder>(inner_.OpenFolder(path), backup_, path);
  }

 private:
  ContactStore& inner_;
  RunBackup& backup_;
};

}  // namespace

std::unique_ptr<DatabaseEngine> RecordingDatabases(DatabaseEngine& inner, RunBackup& backup) {
  return std::make_unique<RecordingDatabaseEngine>(inner, backup);
}

std::unique_ptr<ContactStore> RecordingContacts(ContactStore& inner, RunBackup& backup) {
  return std::make_unique<RecordingContactStore>(inner, backup);
}

}  // namespace twinbook
