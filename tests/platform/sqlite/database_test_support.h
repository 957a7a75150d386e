#pragma once

#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/database.h"
#include "support/temp_dir.h"

namespace twinbook::testing {

// A connection of its own, as another program would open it, to see what a
// file really holds and to change it behind the cursor's back.
class RawConnection {
 public:
  explicit RawConnection(const std::string& path);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  void Exec(const std::string& sql);
  // Each row's values joined by "|", a null as "NULL".
  std::vector<std::string> Rows(const std::string& sql);
  // The first value of the first row.
  std::string Value(const std::string& sql);

 private:
  sqlite3* db_ = nullptr;
};

// A new PhoneBook database in `dir` (made by the setup library) holding the
// rows of `insertSql`, if any; returns its path.
std::string MakePhoneBook(const TempDir& dir, const std::string& insertSql = "");

// SQL adding one tblContactList row labelled by its Number; rowid 0 lets the
// database choose.
std::string RowSql(int contactId, const std::string& number, int rowid = 0);
// Adds a row through the cursor.
void AddRow(Table& table, int contactId, const std::string& number);

// A value as text: "7", "7.5", "abc", "NULL".
std::string Text(const FieldValue& value);

// The values of `column` in the rows a walk from the cursor's current
// place visits, forward to EOF or backward to BOF.
std::vector<std::string> WalkForward(Table& table, const std::string& column);
std::vector<std::string> WalkBackward(Table& table, const std::string& column);

// The names in a folder, sorted.
std::vector<std::string> Listing(const std::string& folder);

// The message of the `Error` that `call` throws; "(no error)" when none.
template <typename Error = DatabaseError>
std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

}  // namespace twinbook::testing
