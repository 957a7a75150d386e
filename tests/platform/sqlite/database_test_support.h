#pragma once

#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/database.h"
#include "support/temp_dir.h"

namespace twinbook::testing {

// A connection of its own, as another program would open it, to see what a
// file really holds and to change it behind the program's back.
class RawConnection {
 public:
  explicit RawConnection(const std::string& path);
  ~RawConnection() { sqlite3_close_v2(db_); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  void Exec(const std::string& sql) { Rows(sql); }
  // Each row's values joined by "|", a null as "NULL".
  std::vector<std::string> Rows(const std::string& sql);
  std::string Value(const std::string& sql) { return Rows(sql).at(0); }

 private:
  sqlite3* db_ = nullptr;
};

// A new PhoneBook database in `dir` holding the rows of `insertSql`.
std::string MakePhoneBook(const TempDir& dir, const std::string& insertSql = "");

// The message of the exception `call` throws; "(no error)" when none.
std::string ErrorOf(const std::function<void()>& call);

}  // namespace twinbook::testing
