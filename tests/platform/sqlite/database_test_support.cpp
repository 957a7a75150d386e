#include "database_test_support.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "data_setup.h"

namespace twinbook::testing {

RawConnection::RawConnection(const std::string& path) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    const std::string message = sqlite3_errmsg(db_);
    sqlite3_close(db_);
    throw std::runtime_error("Test cannot open " + path + ": " + message);
  }
  sqlite3_busy_timeout(db_, 5000);
}

RawConnection::~RawConnection() {
  sqlite3_close_v2(db_);
}

void RawConnection::Exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message != nullptr ? message : "";
    sqlite3_free(message);
    throw std::runtime_error("Test SQL failed: " + sql + ": " + text);
  }
}

std::vector<std::string> RawConnection::Rows(const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    throw std::runtime_error("Test SQL failed: " + sql + ": " + sqlite3_errmsg(db_));
  }
  std::vector<std::string> rows;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const auto* text = sqlite3_column_text(statement, i);
      row += (i > 0 ? "|" : "") +
             std::string(text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(row);
  }
  const std::string message = sqlite3_errmsg(db_);
  sqlite3_finalize(statement);
  if (rc != SQLITE_DONE) {
    throw std::runtime_error("Test SQL failed: " + sql + ": " + message);
  }
  return rows;
}

std::string RawConnection::Value(const std::string& sql) {
  std::vector<std::string> rows = Rows(sql);
  if (rows.empty()) {
    throw std::runtime_error("Test SQL gave no row: " + sql);
  }
  return rows.front().substr(0, rows.front().find('|'));
}

std::string MakePhoneBook(const TempDir& dir, const std::string& insertSql) {
  const std::string path = dir / "PhoneBook.mdb";
  CreatePhoneBookDatabase(path);
  if (!insertSql.empty()) {
    ExecuteSql(path, insertSql);
  }
  return path;
}

std::string RowSql(int contactId, const std::string& number, int rowid) {
  return "INSERT INTO tblContactList (" + std::string(rowid > 0 ? "rowid, " : "") +
         "ContactID, ContactName, Number, NumberType, SpeedDial, PhoneNumberLength) VALUES (" +
         (rowid > 0 ? std::to_string(rowid) + ", " : "") + std::to_string(contactId) +
         ", 'Name', '" + number + "', 4, 1, 6);";
}

void AddRow(Table& table, int contactId, const std::string& number) {
  table.AddNew();
  table.SetField("ContactID", std::int64_t{contactId});
  table.SetField("Number", number);
  table.Update();
}

std::string Text(const FieldValue& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) {
    return std::to_string(*number);
  }
  if (const auto* real = std::get_if<double>(&value)) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", *real);
    return buffer;
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    return *text;
  }
  return "NULL";
}

std::vector<std::string> WalkForward(Table& table, const std::string& column) {
  std::vector<std::string> values;
  while (!table.IsEOF()) {
    values.push_back(Text(table.Field(column)));
    table.MoveNext();
  }
  return values;
}

std::vector<std::string> WalkBackward(Table& table, const std::string& column) {
  std::vector<std::string> values;
  while (!table.IsBOF()) {
    values.push_back(Text(table.Field(column)));
    table.MovePrevious();
  }
  return values;
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace twinbook::testing
