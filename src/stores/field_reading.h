#pragma once

#include <initializer_list>
#include <string>

#include "platform/database.h"

namespace twinbook {

// Reading the columns of the current row of a table with the checks the
// loaders need. Each failure throws DatabaseError naming the table, the row
// (its place in the walk, counted from 1), the column and what was wrong,
// because a silently empty value would read as a deleted number.
class RowReader {
 public:
  RowReader(const Table& table, std::string tableName, std::string path)
      : table_(table), tableName_(std::move(tableName)), path_(std::move(path)) {}

  // Moves the row count along with the walk.
  void NextRow() { ++row_; }

  // A whole number written in decimal ("12", "-3"). Null, a fraction or a
  // text is an error.
  std::string WholeNumber(const std::string& column) const;
  // A contact ID: a positive whole number in decimal. Anything else is an
  // error: an ID of 0 or below could never be stored on the desktop side.
  std::string ContactID(const std::string& column) const;
  // A whole number, or "" for null or a value that is no whole number.
  std::string WholeNumberOrEmpty(const std::string& column) const;
  // Whether the column holds null in the current row.
  bool IsNullAt(const std::string& column) const;
  // A text; a number stored where a text belongs is read as its decimal
  // form. Null is an error.
  std::string Text(const std::string& column) const;
  // A text, with null read as "".
  std::string TextOrEmpty(const std::string& column) const;

  [[noreturn]] void Fail(const std::string& column, const std::string& problem) const;

 private:
  const Table& table_;
  std::string tableName_;
  std::string path_;
  int row_ = 1;
};

// Throws DatabaseError naming the table, the column and the file when
// `table` of `database` lacks one of `columns`. A walk finds a missing column
// only at the first row: an empty table would load as if whole, and the run
// would fail later, in the middle of its writes.
void RequireColumns(Database& database, const std::string& table,
                    std::initializer_list<const char*> columns);

// Whether `id` is a contact ID in the form the program writes and stores
// keep: the decimal digits of a whole number with no leading zero, blank or
// plus sign.
bool IsCanonicalContactID(const std::string& id);

}  // namespace twinbook
