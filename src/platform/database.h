#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>

namespace twinbook {

// A value read from or written to a column: null, a whole number, a real or a
// text. Writes are converted to the column's type by the database (a whole
// number column takes 7.0 and " 7 " as 7, a text column takes 7 as "7"); a
// value the column cannot take ("abc" or "" for a whole number) is refused
// by SetField().
using FieldValue = std::variant<std::monostate, std::int64_t, double, std::string>;

inline bool IsNull(const FieldValue& value) {
  return std::holds_alternative<std::monostate>(value);
}

// Thrown by every database operation that fails. The message names the file,
// and the table, column or row where there is one.
class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A live cursor over the rows of one table in stored (rowid) order.
//
// The cursor holds the rowid of its current row, and every move asks the file
// for the next or previous row that exists now: a walk stays valid across a
// row just deleted at the cursor, rows added during a walk show up at its end,
// and changes made through another connection of this program are seen by
// the next move. Changes made by another program while a walk is under way
// are seen no later than the next MoveFirst() or MoveLast().
//
// Every Update() and Delete() is committed at once, on its own, and another
// connection sees the change as soon as the call returns, unless a
// Transaction of the table's Database is open: then the change is committed
// with that transaction, or undone with it. Any move abandons a row being
// added or edited.
class Table {
 public:
  virtual ~Table() = default;

  // True past the last row, and on an empty table. A row added to an empty
  // table clears IsBOF() but leaves IsEOF() set until the next move.
  virtual bool IsEOF() const = 0;
  // True before the first row, and on an empty table.
  virtual bool IsBOF() const = 0;

  // Go to the smallest / largest rowid present (EOF and BOF when there is none).
  virtual void MoveFirst() = 0;
  virtual void MoveLast() = 0;
  // Go to the next larger / smaller rowid present; past the end sets EOF,
  // before the start sets BOF. REQUIRES: !IsEOF() / !IsBOF().
  virtual void MoveNext() = 0;
  virtual void MovePrevious() = 0;

  // The current row's value of `column` (while adding or editing: the value
  // as set so far). Throws DatabaseError when the column does not exist or
  // there is no current row.
  virtual FieldValue Field(const std::string& column) const = 0;

  // Starts a new row; unset columns take the table's defaults. The cursor's
  // position is unchanged until Update().
  virtual void AddNew() = 0;
  // Opens the current row for change. REQUIRES: a current row.
  virtual void Edit() = 0;
  // Sets a column of the row being added or edited. Throws DatabaseError
  // when the column does not exist, no row is being added or edited, or the
  // column cannot take the value (naming table, column and value); the column
  // then keeps what it had (its default in a new row), and the row can still
  // be stored with its other values.
  virtual void SetField(const std::string& column, FieldValue value) = 0;
  // Stores the row being added or edited and commits it (with the open
  // Transaction, if any). Only the columns set are written: the others keep their values (or take
  // their defaults). After AddNew the cursor stays where it was; after Edit it stays on the row,
  // whose fields then read as stored. Throws DatabaseError (naming table and row or column where
  // known) when the database refuses the row; the row is then not stored and the edit is abandoned.
  virtual void Update() = 0;
  // Deletes the current row and commits (with the open Transaction, if
  // any). The cursor keeps its place (between the neighbours) until the next
  // move.
  virtual void Delete() = 0;
};

// A Table that passes every call to another one: the base of wrappers that
// watch or refuse some calls (Update, Delete) and leave the rest alone.
class ForwardingTable : public Table {
 public:
  explicit ForwardingTable(std::unique_ptr<Table> inner) : inner_(std::move(inner)) {}

  bool IsEOF() const override { return inner_->IsEOF(); }
  bool IsBOF() const override { return inner_->IsBOF(); }
  void MoveFirst() override { inner_->MoveFirst(); }
  void MoveLast() override { inner_->MoveLast(); }
  void MoveNext() override { inner_->MoveNext(); }
  void MovePrevious() override { inner_->MovePrevious(); }
  FieldValue Field(const std::string& column) const override { return inner_->Field(column); }
  void AddNew() override { inner_->AddNew(); }
  void Edit() override { inner_->Edit(); }
  void SetField(const std::string& column, FieldValue value) override {
    inner_->SetField(column, std::move(value));
  }
  void Update() override { inner_->Update(); }
  void Delete() override { inner_->Delete(); }

 protected:
  std::unique_ptr<Table> inner_;
};

// The changes made through every cursor of one Database while the
// transaction is open: Commit() stores all of them at once, and a
// transaction ended without Commit() (its destructor) undoes all of them, so
// another connection sees either every change or none. Cursors keep working
// inside it and see its changes as they are made.
class Transaction {
 public:
  // Undoes every change made since BeginTransaction() unless Commit() has
  // succeeded. Never throws.
  virtual ~Transaction() = default;
  // Stores every change made since BeginTransaction(). Throws DatabaseError
  // naming the file when they cannot be stored; they are then undone.
  // REQUIRES: not committed yet.
  virtual void Commit() = 0;
};

// One open database file.
class Database {
 public:
  virtual ~Database() = default;

  // A cursor over every row of `table`. Throws DatabaseError naming the table
  // and the file when the table does not exist.
  virtual std::unique_ptr<Table> OpenTable(const std::string& table) = 0;

  // A cursor over the rows of `table` whose `column` equals `value`, in the
  // same order and with the same live behaviour as OpenTable: it yields
  // exactly the rows that a full walk skipping the others would visit. It
  // lets a writer look at one contact's rows without walking the whole table.
  // Numbers compare by value (7 finds 7 and 7.0); null finds the nulls.
  // Throws DatabaseError naming the table, the column and the file when one
  // of them does not exist.
  virtual std::unique_ptr<Table> OpenTableWhere(const std::string& table, const std::string& column,
                                                const FieldValue& value) = 0;

  // Begins a transaction over this file; it holds the file for writing until
  // it ends, so other programs wait for it (and it waits for them as a single
  // change does). Throws DatabaseError naming the file when the file cannot
  // be taken for writing, or when a transaction of this Database is open
  // already. Like a cursor, it keeps the file open and may outlive this
  // object.
  virtual std::unique_ptr<Transaction> BeginTransaction() = 0;

  // Throws DatabaseError, as OpenTableWhere does, naming the table, the
  // column and the file when one of them does not exist. An engine that
  // can answer from the table's definition alone says so here: a filtered
  // cursor opens on its first row, and finding that may read the table.
  virtual void RequireColumn(const std::string& table, const std::string& column) {
    OpenTableWhere(table, column, FieldValue{});
  }

  // Copies the whole database, as it stands now, into a new file at
  // `path`, consistently even while other programs write to it. Throws
  // DatabaseError naming both files when the copy cannot be made; a copy
  // begun is then removed. This engine cannot copy unless it says otherwise.
  virtual void CopyTo(const std::string& path) {
    throw DatabaseError("Cannot copy the database to " + path + ": not supported here");
  }
  // Replaces the whole content of this database, in one step, by that of
  // the database file at `path` (a copy made by CopyTo). Throws
  // DatabaseError naming both files when that fails; the content is then
  // unchanged.
  virtual void ReplaceContentFrom(const std::string& path) {
    throw DatabaseError("Cannot restore the database from " + path + ": not supported here");
  }
  // A fingerprint of the whole content (every table's definition and every
  // row in stored order): equal fingerprints mean equal content, whoever
  // wrote it. Throws DatabaseError naming the file.
  virtual std::string ContentFingerprint() {
    throw DatabaseError("Cannot take the fingerprint of a database: not supported here");
  }
};

// Opens database files. Never creates one.
class DatabaseEngine {
 public:
  virtual ~DatabaseEngine() = default;

  // Opens the existing file at `path` for reading and writing. Throws
  // DatabaseError naming the path when it is missing or is not a database.
  virtual std::unique_ptr<Database> OpenDatabase(const std::string& path) = 0;
};

}  // namespace twinbook
