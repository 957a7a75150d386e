#include "database_test_support.h"

#include <stdexcept>

#include "data_setup.h"

namespace twinbook::testing {

RawConnection::RawConnection(const std::string& path) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    throw std::runtime_error("Test cannot open " + path);
  }
  sqlite3_busy_timeout(db_, 5000);
}

std::vector<std::string> RawConnection::Rows(const std::string& sql) {
  std::vector<std::string> rows;
  char* message = nullptr;
  const auto collect = [](void* out, int count, char** values, char**) {
    std::string row;
    for (int i = 0; i < count; ++i) {
      row += (i > 0 ? "|" : "") + std::string(values[i] ? values[i] : "NULL");
    }
    static_cast<std::vector<std::string>*>(out)->push_back(row);
    return 0;
  };
  if (sqlite3_exec(db_, sql.c_str(), collect, &rows, &message) != SQLITE_OK) {
    const std::string text = message ? message : "";
    sqlite3_free(message);
    throw std::runtime_error("Test SQL failed: " + sql + ": " + text);
  }
  return rows;
}

std::string MakePhoneBook(const TempDir& dir, const std::string& insertSql) {
  const std::string path = dir / "PhoneBook.mdb";
  CreatePhoneBookDatabase(path);
  if (!insertSql.empty()) {
    ExecuteSql(path, insertSql);
  }
  return path;
}

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(no error)";
}

}  // namespace twinbook::testing
