#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/database.h"
#include "platform/sqlite/sqlite_connection.h"
#include "platform/sqlite/sqlite_row_lookup.h"

namespace twinbook {

// How a column converts what is written to it, after SQLite's type affinity.
enum class ColumnAffinity {
  Integer,   // whole numbers; integral reals and numeric texts convert
  Real,      // reals; whole numbers and numeric texts convert
  Numeric,   // numbers where a value converts, else kept (tables not STRICT)
  Text,      // texts; numbers are written out as SQLite writes them
  AsGiven,   // kept as given (ANY, or no declared type)
  BlobOnly,  // BLOB in a STRICT table: nothing but null fits
};

struct SqliteColumn {
  std::string name;
  ColumnAffinity affinity = ColumnAffinity::AsGiven;
  bool notNull = false;
  bool writable = true;                   // false for generated columns
  std::optional<std::string> defaultSql;  // the DEFAULT expression
};

// What a cursor needs to know of its table. Read once and kept by the
// connection for as long as the schema version stays the same.
struct SqliteTableShape {
  std::int64_t schemaVersion = 0;
  std::vector<SqliteColumn> columns;
  std::string rowidName;  // the name that reaches the rowid in this table
};

// The affinity of a column declared with `declaredType`.
ColumnAffinity AffinityOf(const std::string& declaredType, bool strictTable);

// `value` as `column` stores it, or nothing when the column cannot take it:
// a text that is not a number, or a real with a fraction, for a whole-number
// column; a text that is not a number for a real column; null for a NOT NULL
// column. Whole-number and real columns refuse such values whether or not
// the table is declared STRICT, as the engine this layer replaces does.
std::optional<FieldValue> ConvertForColumn(SqliteConnection& connection, const SqliteColumn& column,
                                           const FieldValue& value);

// The live cursor of Table over one SQLite table, optionally restricted to
// the rows whose column `filterColumn` equals `filterValue` (compared as
// SQLite's `IS` compares them: a number matches the same number stored as a
// whole number or a real; a text is compared after the column's affinity).
//
// Walking steps one prepared statement in rowid order, so a walk costs a
// step per row, not a query. The statement is sought afresh whenever the
// walk could have gone stale: after any change committed through a
// connection of this process (through this cursor included), after a change
// of direction, and at MoveFirst/MoveLast. Changes made by another process
// while a walk is stepping are seen from the next of these.
//
// A filtered cursor over a column without an index does not step: each move
// visits the rows the connection's RowLookups files under the filter's
// value, from the cursor's place on, and goes to the first that the file
// says holds the value now.
class SqliteTable final : public Table {
 public:
  struct Filter {
    std::string column;
    FieldValue value;
  };

  // Throws DatabaseError naming the table and the file when the table does
  // not exist, and the column too when the filter's column does not.
  SqliteTable(std::shared_ptr<SqliteConnection> connection, const std::string& table,
              std::optional<Filter> filter);
  ~SqliteTable() override;

  // Throws what the constructor throws when the table or `column` does not
  // exist, from the table's definition alone: no row is read.
  static void RequireColumn(std::shared_ptr<SqliteConnection> connection, const std::string& table,
                            const std::string& column);

  bool IsEOF() const override { return eof_; }
  bool IsBOF() const override { return bof_; }
  void MoveFirst() override;
  void MoveLast() override;
  void MoveNext() override;
  void MovePrevious() override;
  FieldValue Field(const std::string& column) const override;
  void AddNew() override;
  void Edit() override;
  void SetField(const std::string& column, FieldValue value) override;
  void Update() override;
  void Delete() override;

 private:
  enum class Mode { None, Adding, Editing };

  // A cursor that knows its table's shape and nothing else: no statement,
  // no row. Only for RequireColumn.
  struct ShapeOnly {};
  SqliteTable(std::shared_ptr<SqliteConnection> connection, const std::string& table, ShapeOnly);

  enum class Walk { None, Forward, Backward };

  void LoadShape();
  void PrepareStatements(const std::optional<Filter>& filter);
  std::string Where() const;
  size_t ColumnIndex(const std::string& column) const;
  void RequireRow() const;
  sqlite3_stmt* WalkStatement(Walk walk) const;
  bool CanContinue(Walk walk) const;
  bool Seek(Walk walk, std::int64_t bound);
  bool Step();
  void StopWalk();
  bool IsEmpty();
  void Arrive(bool found, Walk walk);
  void ReloadRow();
  // The rowids filed under the filter's value, in increasing order, when
  // the connection keeps a filing of the filter's column; false when the
  // cursor asks SQLite instead. `rows` is null when no row is filed.
  bool FiledRows(const std::vector<std::int64_t>*& rows);
  // Whether the row `rowid` exists and holds the filter's value; when it
  // does and `arrive`, the cursor goes there.
  bool Holds(std::int64_t rowid, bool arrive);
  bool SeekFiled(const std::vector<std::int64_t>* rows, Walk walk, std::int64_t bound);
  void Write(sqlite3_stmt* statement, const std::string& what, RowLookups::Write write);
  // The statement that adds a row (or changes the current one) setting the
  // columns marked in `set`, made once per cursor and combination.
  sqlite3_stmt* WriteStatement(bool adding, const std::vector<bool>& set);
  FieldValue DefaultValue(size_t index) const;

  std::shared_ptr<SqliteConnection> connection_;
  std::string table_;
  std::string from_;  // the quoted table, in the main schema
  std::shared_ptr<const SqliteTableShape> shape_;

  // Taken from the connection, given back when the cursor goes; each with
  // the text it was prepared from.
  struct Statement {
    std::string sql;
    SqliteStatement statement;
    sqlite3_stmt* get() const { return statement.get(); }
  };
  Statement forward_;   // rows from a rowid upwards
  Statement backward_;  // rows from a rowid downwards
  Statement byRowid_;   // the row of a rowid
  Statement any_;       // whether there is a row at all
  Statement holds_;     // whether a row holds the filter's value, and its values

  std::optional<std::string> filterColumn_;  // as the table declares it
  LookupKey filterKey_ = 0;                  // the filter value's, as compared

  Walk walk_ = Walk::None;         // the statement stepping, if any
  std::uint64_t walkChanges_ = 0;  // CommittedChangeCount() when it started
  bool eof_ = true;
  bool bof_ = true;
  bool deleted_ = false;         // the row at the cursor was deleted
  std::int64_t rowid_ = 0;       // the cursor's place
  std::vector<FieldValue> row_;  // the current row's values

  // Kept by the connection, which outlives the cursor.
  std::map<std::vector<bool>, sqlite3_stmt*> inserts_;
  std::map<std::vector<bool>, sqlite3_stmt*> updates_;

  Mode mode_ = Mode::None;
  std::vector<std::optional<FieldValue>> pending_;  // values set since AddNew/Edit
};

}  // namespace twinbook
