#include "support/faulty_platform.h"

namespace twinbook::testing {

void CrashPlan::BeforeWrite(const std::string& what) {
  const int number = static_cast<int>(writes_.size()) + 1;
  if (crashed_ || number == crashAt_) {
    crashed_ = true;
    ++crashesThrown_;
    throw SimulatedCrash{number, what};
  }
  writes_.push_back(what);
}

void CrashPlan::RefuseAfterCrash(const std::string& what) const {
  if (crashed_) {
    ++crashesThrown_;
    throw SimulatedCrash{static_cast<int>(writes_.size()) + 1, what};
  }
}

namespace {

// What the cursors and the transaction of one opened database share: whether
// a transaction is open, and whether it has changed anything yet. Cursors may
// outlive their Database, so they share it by pointer.
struct DatabaseState {
  std::string path;
  CrashPlan& plan;
  bool inTransaction = false;
  int changesInTransaction = 0;
};

class FaultyTable : public ForwardingTable {
 public:
  FaultyTable(std::unique_ptr<Table> inner, std::shared_ptr<DatabaseState> state, std::string name)
      : ForwardingTable(std::move(inner)), state_(std::move(state)), name_(std::move(name)) {}

  void Update() override {
    Change("update", [this] { inner_->Update(); });
  }
  void Delete() override {
    Change("delete", [this] { inner_->Delete(); });
  }

 private:
  template <typename Action>
  void Change(const char* kind, Action action) {
    const std::string what = std::string(kind) + " in " + name_ + " of " + state_->path;
    if (state_->inTransaction) {
      // Lands only with the commit, which is the write.
      state_->plan.RefuseAfterCrash(what);
      action();
      ++state_->changesInTransaction;
      return;
    }
    state_->plan.BeforeWrite(what);
    action();
  }

  std::shared_ptr<DatabaseState> state_;
  std::string name_;
};

class FaultyTransaction : public Transaction {
 public:
  FaultyTransaction(std::unique_ptr<Transaction> inner, std::shared_ptr<DatabaseState> state)
      : inner_(std::move(inner)), state_(std::move(state)) {
    state_->inTransaction = true;
    state_->changesInTransaction = 0;
  }
  // The inner transaction, destroyed after this body, undoes what was not
  // committed.
  ~FaultyTransaction() override { state_->inTransaction = false; }

  void Commit() override {
    const std::string what =
        "commit of " + std::to_string(state_->changesInTransaction) + " changes to " + state_->path;
    if (state_->changesInTransaction > 0) {
      state_->plan.BeforeWrite(what);
    } else {
      state_->plan.RefuseAfterCrash(what);
    }
    state_->inTransaction = false;
    inner_->Commit();
  }

 private:
  std::unique_ptr<Transaction> inner_;
  std::shared_ptr<DatabaseState> state_;
};

class FaultyDatabase : public Database {
 public:
  FaultyDatabase(std::unique_ptr<Database> inner, std::shared_ptr<DatabaseState> state)
      : inner_(std::move(inner)), state_(std::move(state)) {}

  std::unique_ptr<Table> OpenTable(const std::string& table) override {
    return std::make_unique<FaultyTable>(inner_->OpenTable(table), state_, table);
  }
  std::unique_ptr<Table> OpenTableWhere(const std::string& table, const std::string& column,
                                        const FieldValue& value) override {
    return std::make_unique<FaultyTable>(inner_->OpenTableWhere(table, column, value), state_,
                                         table);
  }
  void RequireColumn(const std::string& table, const std::string& column) override {
    inner_->RequireColumn(table, column);
  }
  std::unique_ptr<Transaction> BeginTransaction() override {
    return std::make_unique<FaultyTransaction>(inner_->BeginTransaction(), state_);
  }
  std::string ContentFingerprint() override { return inner_->ContentFingerprint(); }
  void ReplaceContentFrom(const std::string& path) override {
    state_->plan.BeforeWrite("restore of " + state_->path + " from " + path);
    inner_->ReplaceContentFrom(path);
  }

 private:
  std::unique_ptr<Database> inner_;
  std::shared_ptr<DatabaseState> state_;
};

class FaultyItem : public WatchedItem {
 public:
  FaultyItem(std::unique_ptr<ContactItem> inner, CrashPlan& plan, bool isNew)
      : WatchedItem(std::move(inner), isNew), plan_(plan) {}

  void Save() override {
    BeforeSave();
    inner_->Save();
    unsaved_ = false;
    changed_ = false;
  }

  bool SaveKeepingOld(const std::string& keepAs) override {
    BeforeSave();
    const bool written = inner_->SaveKeepingOld(keepAs);
    changed_ = false;
    return written;
  }

  void Delete() override {
    const std::string what = "delete of " + inner_->Describe();
    if (unsaved_) {
      plan_.RefuseAfterCrash(what);  // never in the folder: nothing to remove
    } else {
      plan_.BeforeWrite(what);
    }
    inner_->Delete();
  }

 private:
  // A save that writes is a write of the plan; one that writes nothing is
  // refused only after the crash.
  void BeforeSave() {
    const std::string what = "save of " + inner_->Describe();
    if (unsaved_ || changed_) {
      plan_.BeforeWrite(what);
    } else {
      plan_.RefuseAfterCrash(what);
    }
  }

  CrashPlan& plan_;
};

class FaultyFolder : public WrappingFolder {
 public:
  FaultyFolder(std::unique_ptr<ContactsFolder> inner, CrashPlan& plan)
      : WrappingFolder(std::move(inner)), plan_(plan) {}

 private:
  std::unique_ptr<ContactItem> Wrap(std::unique_ptr<ContactItem> item, bool isNew) override {
    return std::make_unique<FaultyItem>(std::move(item), plan_, isNew);
  }

  CrashPlan& plan_;
};

}  // namespace

std::unique_ptr<Database> FaultyDatabaseEngine::OpenDatabase(const std::string& path) {
  auto state = std::make_shared<DatabaseState>(DatabaseState{path, plan_});
  return std::make_unique<FaultyDatabase>(inner_.OpenDatabase(path), std::move(state));
}

std::unique_ptr<ContactsFolder> FaultyContactStore::OpenFolder(const std::string& path) {
  return std::make_unique<FaultyFolder>(inner_.OpenFolder(path), plan_);
}

}  // namespace twinbook::testing
