#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/contacts_folder.h"
#include "platform/database.h"

namespace twinbook::testing {

// Thrown by a CrashPlan in place of a write. No handler of the program catches it (it is no
// std::exception): the run ends at once, as a killed process would, with no error report, no
// cleanup writes and no "skip this contact and go on".
struct SimulatedCrash {
  int write;          // the number of the write that did not happen
  std::string where;  // what that write was
};

// Counts the writes that reach the stores through the wrappers below and
// stops the run at a chosen one.
//
// A write is each change that lands in a store on its own:
// - a database Update() or Delete() made outside a transaction (committed at once);
// - the Commit() of a transaction holding at least one Update() or Delete() (its rows land
//   together and are no writes of their own; an empty commit changes nothing);
// - a card Save() of a new card, or of one with a property set to a value other than the one
//   it read (saving an unchanged card writes nothing);
// - a card Delete() of a card in the folder;
// - a database's whole content replaced (ReplaceContentFrom, by an undo).
//
// At write number `crashAt` the write does not happen and SimulatedCrash is
// thrown; from then on every write through any wrapper of this plan throws
// it too. A transaction open at the crash is undone when the run unwinds, as
// SQLite's journal undoes it when a crashed program's file is next opened.
class CrashPlan {
 public:
  // crashAt 0: count every write, never crash.
  explicit CrashPlan(int crashAt = 0) : crashAt_(crashAt) {}

  // Called just before a write; throws SimulatedCrash at the chosen one and
  // after it.
  void BeforeWrite(const std::string& what);
  // Throws SimulatedCrash once the run has crashed: for steps that are no
  // write of their own (a row changed inside a transaction) but must not
  // happen after a crash either.
  void RefuseAfterCrash(const std::string& what) const;

  bool crashed() const { return crashed_; }
  // How often SimulatedCrash was thrown: more than once means a handler
  // caught the crash and the run went on to write again.
  int crashesThrown() const { return crashesThrown_; }
  // The writes done, each described ("commit of /x/PhoneBook.mdb", ...).
  const std::vector<std::string>& writes() const { return writes_; }

 private:
  int crashAt_;
  bool crashed_ = false;
  mutable int crashesThrown_ = 0;
  std::vector<std::string> writes_;
};

// A DatabaseEngine whose databases, cursors and transactions count their
// writes in `plan` and crash where it says.
class FaultyDatabaseEngine : public DatabaseEngine {
 public:
  FaultyDatabaseEngine(DatabaseEngine& inner, CrashPlan& plan) : inner_(inner), plan_(plan) {}
  std::unique_ptr<Database> OpenDatabase(const std::string& path) override;

 private:
  DatabaseEngine& inner_;
  CrashPlan& plan_;
};

// A ContactStore whose folders and items count their writes in `plan` and
// crash where it says.
class FaultyContactStore : public ContactStore {
 public:
  FaultyContactStore(ContactStore& inner, CrashPlan& plan) : inner_(inner), plan_(plan) {}
  std::unique_ptr<ContactsFolder> OpenFolder(const std::string& path) override;

 private:
  ContactStore& inner_;
  CrashPlan& plan_;
};

}  // namespace twinbook::testing
