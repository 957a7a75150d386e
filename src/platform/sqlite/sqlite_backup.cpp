#include "platform/sqlite/sqlite_backup.h"

#include <unistd.h>

#include <memory>

#include "platform/fingerprint.h"

namespace twinbook {

namespace {

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using OwnedDatabase = std::unique_ptr<sqlite3, DatabaseCloser>;

// Copies every page of `from` into `to` in one step. SQLITE_OK or the error.
int CopyPages(sqlite3* to, sqlite3* from) {
  sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
  if (backup == nullptr) {
    return sqlite3_errcode(to);
  }
  // -1: every page at once, so the copy is one consistent state of `from`.
  const int stepped = sqlite3_backup_step(backup, -1);
  const int finished = sqlite3_backup_finish(backup);
  return stepped != SQLITE_DONE ? stepped : finished;
}

}  // namespace

void CopyDatabase(SqliteConnection& connection, const std::string& path) {
  const std::string context = "Cannot copy the database " + connection.path() + " to " + path;
  sqlite3* raw = nullptr;
  const int opened =
      sqlite3_open_v2(path.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE, nullptr);
  OwnedDatabase copy(raw);
  if (opened != SQLITE_OK) {
    throw DatabaseError(context + ": " + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(opened)));
  }
  int rc = CopyPages(copy.get(), connection.handle());
  if (rc == SQLITE_OK) {
    // The copy carries the WAL mode of its source; a single file is what a
    // user can copy back.
    rc = sqlite3_exec(copy.get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    const std::string error = copy ? sqlite3_errmsg(copy.get()) : std::string(sqlite3_errstr(rc));
    copy.reset();
    ::unlink(path.c_str());
    throw DatabaseError(context + ": " + error);
  }
  copy.reset();
}

void ReplaceDatabaseContent(SqliteConnection& connection, const std::string& path) {
  const std::string context = "Cannot restore the database " + connection.path() + " from " + path;
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  OwnedDatabase source(raw);
  if (opened != SQLITE_OK) {
    throw DatabaseError(context + ": " + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(opened)));
  }
  connection.BeginWrite();
  const int rc = CopyPages(connection.handle(), source.get());
  connection.EndWrite();
  if (rc != SQLITE_OK) {
    throw DatabaseError(context + ": " + sqlite3_errstr(rc));
  }
}

std::string DatabaseFingerprint(SqliteConnection& connection) {
  const std::string context = "Cannot read the content of " + connection.path();
  Fingerprinter fingerprint;
  auto addColumns = [&](sqlite3_stmt* statement) {
    const int columns = sqlite3_column_count(statement);
    for (int i = 0; i < columns; ++i) {
      const int type = sqlite3_column_type(statement, i);
      fingerprint.Add(std::string(1, static_cast<char>('0' + type)));
      if (type != SQLITE_NULL) {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, i));
        fingerprint.Add(std::string_view(bytes == nullptr ? "" : bytes,
                                         static_cast<size_t>(sqlite3_column_bytes(statement, i))));
      }
    }
  };
  // A read transaction, so every table is read in the same state.
  SqliteStatement begin = connection.Prepare("BEGIN", context);
  SqliteStatement schema = connection.Prepare(
      "SELECT type, name, tbl_name, sql FROM main.sqlite_schema ORDER BY rowid", context);
  if (sqlite3_step(begin.get()) != SQLITE_DONE) {
    throw DatabaseError(context + ": " + connection.LastError());
  }
  struct EndRead {
    SqliteConnection& connection;
    ~EndRead() { sqlite3_exec(connection.handle(), "COMMIT", nullptr, nullptr, nullptr); }
  } endRead{connection};
  std::vector<std::string> tables;
  int rc;
  while ((rc = sqlite3_step(schema.get())) == SQLITE_ROW) {
    addColumns(schema.get());
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(schema.get(), 0));
    if (type != nullptr && std::string(type) == "table") {
      tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(schema.get(), 1)));
    }
  }
  if (rc != SQLITE_DONE) {
    throw DatabaseError(context + ": " + connection.LastError());
  }
  for (const std::string& table : tables) {
    fingerprint.Add(table);
    SqliteStatement rows;
    sqlite3_stmt* statement = nullptr;
    const std::string ordered =
        "SELECT rowid, * FROM main." + QuoteIdentifier(table) + " ORDER BY rowid";
    if (sqlite3_prepare_v2(connection.handle(), ordered.c_str(), -1, &statement, nullptr) ==
        SQLITE_OK) {
      rows.reset(statement);
    } else {
      // A table without rowids: its primary key orders it.
      rows = connection.Prepare("SELECT * FROM main." + QuoteIdentifier(table),
                                context + ", table " + table);
    }
    while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
      addColumns(rows.get());
    }
    if (rc != SQLITE_DONE) {
      throw DatabaseError(context + ", table " + table + ": " + connection.LastError());
    }
  }
  return fingerprint.Hex();
}

}  // namespace twinbook
