#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/database.h"

namespace twinbook {

struct SqliteStatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteStatementDeleter>;

// Double-quotes an SQL identifier, so any table or column name is safe in SQL.
std::string QuoteIdentifier(const std::string& name);

// True when two SQL identifiers name the same thing (SQLite folds ASCII case only).
bool SameIdentifier(const std::string& a, const std::string& b);

// Binds `value` to parameter `index` of `statement`.
void BindValue(sqlite3_stmt* statement, int index, const FieldValue& value);

// Column `index` of the current result row of `statement`.
FieldValue ColumnValue(sqlite3_stmt* statement, int index);
// The same, reusing the storage of `target` for texts.
void ReadColumnInto(sqlite3_stmt* statement, int index, FieldValue& target);

// A text for messages: texts in double quotes, numbers as written, "null".
std::string DescribeValue(const FieldValue& value);

// A count of the changes committed through every connection of this process.
// Cursors compare it between moves: when it moved, the row they stepped to
// next may be stale, so they seek afresh.
std::uint64_t CommittedChangeCount();

struct SqliteTableShape;  // sqlite_table.h
class RowLookups;         // sqlite_row_lookup.h

// One open database file: the connection, its settings and the statements
// shared by every cursor on it. Cursors hold it by shared_ptr, so it lives as
// long as the last of them. It must not be used by two threads at once:
// SQLite is told so, and does not lock it around every call.
class SqliteConnection {
 public:
  // Opens the existing file at `path` for reading and writing; never creates
  // one. A write waits up to `busyTimeout` for another program that holds
  // the file. Throws DatabaseError naming the path when the file is missing,
  // is not a database, or can only be read.
  static std::shared_ptr<SqliteConnection> Open(const std::string& path,
                                                std::chrono::milliseconds busyTimeout);

 private:
  struct Key {};

 public:
  // Only Open() can make the key, so only Open() makes connections.
  SqliteConnection(Key, sqlite3* db, std::string path);
  ~SqliteConnection();
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }
  std::string LastError() const { return sqlite3_errmsg(db_); }

  // A new statement; throws DatabaseError starting with `context`.
  SqliteStatement Prepare(const std::string& sql, const std::string& context) const;
  // A statement kept for reuse; the caller resets it after use.
  sqlite3_stmt* Cached(const std::string& sql, const std::string& context);

  // A statement of `sql` for one user at a time, until given back: one given
  // back before, else a new one. A writer opens a cursor for each contact it
  // changes; preparing the cursor's statements anew each time would cost
  // more than the change itself.
  SqliteStatement Take(const std::string& sql, const std::string& context);
  // Keeps `statement`, prepared from `sql`, for the next Take: reset, its
  // parameters cleared.
  void GiveBack(const std::string& sql, SqliteStatement statement);

  // The shape of `table` kept by the cursors (sqlite_table.cpp), with the
  // schema version it was read under; null when none is kept.
  std::shared_ptr<const SqliteTableShape> KeptShape(const std::string& table) const;
  void KeepShape(const std::string& table, std::shared_ptr<const SqliteTableShape> shape);
  // The file's schema version: it changes with every change to a table's
  // definition, by any program.
  std::int64_t SchemaVersion();

  // Where the filtered cursors on this connection find their rows, for
  // columns without an index; kept up to date by every write made here.
  RowLookups& lookups() { return *lookups_; }

  // Called before every write. The first one puts the file into WAL mode
  // (see the .cpp). Outside a transaction each write runs in autocommit
  // mode and is committed when its statement ends, whatever statements are
  // still reading. Throws DatabaseError when the open transaction has been
  // undone by SQLite.
  void BeginWrite();
  // Called after every write, whether it succeeded or not: cursors that
  // are stepping through a table then know to seek afresh. Throws
  // DatabaseError when the write ended a transaction that was open: SQLite
  // undoes the whole transaction after some failures (a full disk, an I/O
  // error, a trigger's RAISE(ROLLBACK)). Until that transaction is ended,
  // every further write throws too (BeginWrite), so that none is committed
  // on its own.
  void EndWrite();

  // A transaction over the file (see Transaction in database.h). Begin takes
  // the file for writing at once (BEGIN IMMEDIATE), so a file held by
  // another program fails here, after the busy timeout, rather than halfway
  // through the changes. Each throws DatabaseError naming the file.
  void BeginTransaction();
  // Commits; when that fails the transaction is rolled back and the error
  // thrown.
  void CommitTransaction();
  // Undoes the open transaction, if any. Never throws.
  void RollbackTransaction() noexcept;
  bool InTransaction() const { return inTransaction_; }

  // The number `text` stands for, as SQLite's numeric affinity reads it
  // (leading and trailing blanks allowed, "7", "7.5", "1e3"), or nothing
  // when it is not a number ("", "abc", "0x10", "7 apples").
  std::optional<FieldValue> TextAsNumber(const std::string& text);
  // `value` as SQLite writes a number as text ("7", "7.5", "7.0").
  std::string NumberAsText(const FieldValue& value);
  // The value of a constant SQL expression, such as a column's default.
  FieldValue Evaluate(const std::string& expression);

 private:
  // Ends every statement that is still stepping.
  void ResetReadingStatements();
  // Runs one statement without result rows from the kept ones: SQLITE_OK,
  // or the error code (LastError() tells more).
  int Run(const char* sql);

  sqlite3* db_;
  std::string path_;
  bool journalChecked_ = false;
  bool inTransaction_ = false;
  bool transactionLost_ = false;  // SQLite undid the open transaction
  std::map<std::string, SqliteStatement> cache_;
  std::unordered_map<std::string, std::vector<SqliteStatement>> givenBack_;
  std::map<std::string, std::shared_ptr<const SqliteTableShape>> shapes_;
  std::unique_ptr<RowLookups> lookups_;
};

}  // namespace twinbook
