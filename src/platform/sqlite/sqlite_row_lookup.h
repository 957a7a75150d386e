#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/database.h"

namespace twinbook {

class SqliteConnection;
struct SqliteTableShape;

// A value's place in ColumnRows. Values that SQLite's IS finds equal always
// share a key; different values may share one too, so the rows filed under a
// key are candidates, each checked by the cursor against the file.
using LookupKey = std::uint64_t;

// The key of column `index` of the current result row of `statement`, or
// false when nothing a cursor may look for can equal it (a blob).
bool KeyOfStored(sqlite3_stmt* statement, int index, LookupKey& key);
// The key of a value as it is compared with the column's values, that is
// after the column's affinity has converted it (ComparedAs below).
LookupKey KeyOfCompared(const FieldValue& value);

// The rowids of one table filed by the key of one column's value, each
// key's in increasing order.
class ColumnRows {
 public:
  // The rowids filed under `key`, in increasing order; null for none.
  const std::vector<std::int64_t>* Rows(LookupKey key) const;
  void Add(LookupKey key, std::int64_t rowid);
  void Remove(LookupKey key, std::int64_t rowid);

 private:
  std::unordered_map<LookupKey, std::vector<std::int64_t>> rows_;
};

// The candidate rows of a filtered cursor, for columns that SQLite has no
// index on. Without one, SQLite answers "the next row from here whose column
// IS this value" by reading every row after here, so a writer that looks up
// each contact's rows reads the whole table for each contact. Here one read
// of the column files every rowid under its value's key, once a table's
// column has been looked up twice; the cursor then visits only the rows filed
// under its value's key, checking each against the file, and finds exactly
// what the plain query would have found, in the same order.
//
// The filing must never miss a row that holds the value now: a missing row
// would be skipped unseen (a row filed wrongly is only checked and passed
// over). So it is kept up to date with the writes made through this
// connection (WriteDone) and dropped whenever anything else may have changed
// the file: a commit by another connection (the file's data version moved),
// an undone transaction, a write that changed more rows than the one it named
// (triggers) or that failed. It is not used at all where a write could
// change rows unseen or values could compare other than by their bytes:
// files with triggers or with foreign keys enforced, texts compared by a
// collation other than BINARY, files not in UTF-8.
class RowLookups {
 public:
  explicit RowLookups(SqliteConnection& connection) : connection_(connection) {}

  // Counts a cursor opened on `table` filtered by its column `column`
  // (named as the table declares it).
  void NoteOpened(const std::string& table, const std::string& column);

  // The rows of `table` filed by the values of `column`, or null when the
  // cursor should ask SQLite instead: the column has an index, it has been
  // looked up only once since the filing was last dropped, or it cannot be
  // filed (see above). Throws DatabaseError when the file cannot be read.
  const ColumnRows* Find(const std::string& table, const SqliteTableShape& shape,
                         const std::string& column);

  // `value` as SQLite converts it before comparing it with `column`'s values
  // (a number text becomes a number for a numeric column, a number becomes
  // text for a text column).
  FieldValue ComparedAs(const SqliteTableShape& shape, const std::string& column,
                        const FieldValue& value);

  enum class Write { Insert, Update, Delete };

  // Before every write through this connection.
  void WriteStarting();
  // After it: `rc` is what the statement returned, `rowid` the row it named
  // (for an insert: ignored, the row made is asked of SQLite), `before` that
  // row's values as the cursor last read them (null for an insert). The
  // filings of `table` are brought up to date, or dropped when the write
  // changed other rows than that one or failed. Never throws: the write
  // has been made whatever happens here.
  void WriteDone(const std::string& table, const SqliteTableShape& shape, int rc, Write write,
                 std::int64_t rowid, const std::vector<FieldValue>* before);
  // Drops every filing: an undone transaction took back writes they hold.
  void DropAll();

 private:
  struct Filing {
    std::string table;
    std::string column;
    int opened = 0;        // cursors opened since the filing was dropped
    bool checked = false;  // whether `usable` has been found out
    bool usable = false;   // no index, and nothing that could bypass the filing
    std::unique_ptr<ColumnRows> rows;
  };

  static std::string KeyOf(const std::string& table, const std::string& column);
  // Drops the filings when another connection has committed since they were made.
  void CheckDataVersion();
  bool Usable(const Filing& filing);
  std::string Select(const Filing& filing, const SqliteTableShape& shape) const;
  void Build(Filing& filing, const SqliteTableShape& shape);
  // Files the row `rowid` under the key of its value, if it exists; drops
  // the filing when the row cannot be read.
  void FileRow(Filing& filing, const SqliteTableShape& shape, std::int64_t rowid);
  static void Drop(Filing& filing);

  SqliteConnection& connection_;
  std::map<std::string, Filing> filings_;
  std::int64_t dataVersion_ = -1;
  std::int64_t totalChanges_ = 0;
};

}  // namespace twinbook
