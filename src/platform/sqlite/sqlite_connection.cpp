#include "platform/sqlite/sqlite_connection.h"

#include <atomic>
#include <cstdio>
#include <filesystem>

#include "platform/sqlite/sqlite_row_lookup.h"

namespace twinbook {

namespace {

std::atomic<std::uint64_t> committedChanges{0};

struct ValueDeleter {
  void operator()(sqlite3_value* value) const { sqlite3_value_free(value); }
};

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string QuoteIdentifier(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') {
      quoted += '"';
    }
  }
  return quoted + "\"";
}

bool SameIdentifier(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

void BindValue(sqlite3_stmt* statement, int index, const FieldValue& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) {
    sqlite3_bind_int64(statement, index, *number);
  } else if (const auto* real = std::get_if<double>(&value)) {
    sqlite3_bind_double(statement, index, *real);
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    sqlite3_bind_text64(statement, index, text->data(), text->size(), SQLITE_TRANSIENT,
                        SQLITE_UTF8);
  } else {
    sqlite3_bind_null(statement, index);
  }
}

void ReadColumnInto(sqlite3_stmt* statement, int index, FieldValue& target) {
  switch (sqlite3_column_type(statement, index)) {
    case SQLITE_INTEGER:
      target = static_cast<std::int64_t>(sqlite3_column_int64(statement, index));
      break;
    case SQLITE_FLOAT:
      target = sqlite3_column_double(statement, index);
      break;
    case SQLITE_NULL:
      target = std::monostate{};
      break;
    default: {
      // Texts, and blobs as their bytes: a field reads as one of four kinds.
      const auto* bytes = static_cast<const char*>(
          sqlite3_column_type(statement, index) == SQLITE_BLOB
              ? sqlite3_column_blob(statement, index)
              : static_cast<const void*>(sqlite3_column_text(statement, index)));
      const size_t size = static_cast<size_t>(sqlite3_column_bytes(statement, index));
      if (auto* text = std::get_if<std::string>(&target)) {
        text->assign(bytes == nullptr ? "" : bytes, size);
      } else {
        target = std::string(bytes == nullptr ? "" : bytes, size);
      }
    }
  }
}

FieldValue ColumnValue(sqlite3_stmt* statement, int index) {
  FieldValue value;
  ReadColumnInto(statement, index, value);
  return value;
}

std::string DescribeValue(const FieldValue& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) {
    return std::to_string(*number);
  }
  if (const auto* real = std::get_if<double>(&value)) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", *real);
    return buffer;
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    return "\"" + *text + "\"";
  }
  return "null";
}

std::uint64_t CommittedChangeCount() {
  return committedChanges.load(std::memory_order_acquire);
}

std::shared_ptr<SqliteConnection> SqliteConnection::Open(const std::string& path,
                                                         std::chrono::milliseconds busyTimeout) {
  sqlite3* raw = nullptr;
  // No SQLITE_OPEN_CREATE: a missing file must stay missing. No URI
  // filenames either, so every path is taken as it is written. A connection
  // is used by one thread at a time, so SQLite need not lock it around
  // every call (a lock and an unlock per column read).
  const int opened =
      sqlite3_open_v2(path.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX, nullptr);
  // Owned from here on, so the handle is closed on every way out.
  auto connection = std::make_shared<SqliteConnection>(Key{}, raw, path);
  if (opened != SQLITE_OK) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
      throw DatabaseError("Cannot open the database " + path + ": the file does not exist");
    }
    throw DatabaseError("Cannot open the database " + path + ": " +
                        (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(opened)));
  }
  // SQLite falls back to reading when the file cannot be written. Refuse
  // that here: a writer whose every change failed would otherwise log them
  // as done, and the next run would take them for changes made on the phone.
  // Refused before anything is read: reading a file in WAL mode makes its
  // -wal and -shm files, which a read-only connection leaves behind.
  if (sqlite3_db_readonly(raw, "main") == 1) {
    throw DatabaseError("Cannot open the database " + path + " for writing: the file is read-only");
  }
  sqlite3_busy_timeout(raw, static_cast<int>(busyTimeout.count()));
  // Per connection, nothing is written to the file. In WAL mode a commit
  // then waits for no disk flush; a power cut can lose the last commits but
  // never leaves the file inconsistent.
  sqlite3_exec(raw, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);

  // SQLite reads the file lazily; reading its schema is what tells a
  // database from any other file.
  {
    SqliteStatement probe;
    sqlite3_stmt* statement = nullptr;
    int rc =
        sqlite3_prepare_v2(raw, "SELECT count(*) FROM main.sqlite_schema", -1, &statement, nullptr);
    probe.reset(statement);
    if (rc == SQLITE_OK) {
      rc = sqlite3_step(statement);
    }
    if (rc != SQLITE_ROW) {
      if ((rc & 0xff) == SQLITE_NOTADB) {
        throw DatabaseError("Cannot open the database " + path + ": the file is not a database");
      }
      throw DatabaseError("Cannot open the database " + path + ": " + sqlite3_errmsg(raw));
    }
  }
  return connection;
}

SqliteConnection::SqliteConnection(Key, sqlite3* db, std::string path)
    : db_(db), path_(std::move(path)), lookups_(std::make_unique<RowLookups>(*this)) {}

SqliteConnection::~SqliteConnection() {
  lookups_.reset();
  cache_.clear();
  givenBack_.clear();
  sqlite3_close_v2(db_);
}

SqliteStatement SqliteConnection::Prepare(const std::string& sql,
                                          const std::string& context) const {
  sqlite3_stmt* statement = nullptr;
  const int rc =
      sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
  SqliteStatement owned(statement);
  if (rc != SQLITE_OK) {
    throw DatabaseError(context + ": " + LastError());
  }
  return owned;
}

sqlite3_stmt* SqliteConnection::Cached(const std::string& sql, const std::string& context) {
  auto found = cache_.find(sql);
  if (found == cache_.end()) {
    found = cache_.emplace(sql, Prepare(sql, context)).first;
  }
  return found->second.get();
}

SqliteStatement SqliteConnection::Take(const std::string& sql, const std::string& context) {
  auto kept = givenBack_.find(sql);
  if (kept == givenBack_.end() || kept->second.empty()) {
    return Prepare(sql, context);
  }
  SqliteStatement statement = std::move(kept->second.back());
  kept->second.pop_back();
  return statement;
}

void SqliteConnection::GiveBack(const std::string& sql, SqliteStatement statement) {
  // A few of each are enough for the cursors open at one time.
  constexpr size_t kKeptPerStatement = 4;
  if (!statement) {
    return;
  }
  sqlite3_reset(statement.get());
  sqlite3_clear_bindings(statement.get());
  std::vector<SqliteStatement>& kept = givenBack_[sql];
  if (kept.size() < kKeptPerStatement) {
    kept.push_back(std::move(statement));
  }
}

std::shared_ptr<const SqliteTableShape> SqliteConnection::KeptShape(
    const std::string& table) const {
  auto kept = shapes_.find(table);
  return kept == shapes_.end() ? nullptr : kept->second;
}

void SqliteConnection::KeepShape(const std::string& table,
                                 std::shared_ptr<const SqliteTableShape> shape) {
  shapes_[table] = std::move(shape);
}

std::int64_t SqliteConnection::SchemaVersion() {
  sqlite3_stmt* statement = Cached("PRAGMA schema_version", "Cannot read the schema of " + path_);
  const int rc = sqlite3_step(statement);
  const std::int64_t version = rc == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
  const std::string error = LastError();
  sqlite3_reset(statement);
  if (rc != SQLITE_ROW) {
    throw DatabaseError("Cannot read the schema of " + path_ + ": " + error);
  }
  return version;
}

void SqliteConnection::BeginWrite() {
  if (transactionLost_) {
    throw DatabaseError("Cannot write to " + path_ +
                        ": the transaction was undone by the database after a failed write");
  }
  if (!journalChecked_) {
    journalChecked_ = true;
    // WAL makes a single-row commit cheap: one append to the log, no flush
    // with synchronous=NORMAL. The switch waits for the first write, so
    // reading a file never changes it. Files made by the setup tool are in
    // WAL mode already, and then nothing changes here. The journal mode
    // cannot change while a statement is reading, so those are ended first;
    // their cursors seek afresh on their next move.
    ResetReadingStatements();
    std::string mode;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode=WAL", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(statement, 0);
      mode = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(statement);
    if (mode != "wal") {
      // The file stays in its rollback-journal mode (another program holds
      // it, or the file system has no shared memory). Writes still work;
      // they then need a full flush to be as safe.
      sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    }
  }
}

int SqliteConnection::Run(const char* sql) {
  sqlite3_stmt* statement = Cached(sql, std::string("Cannot run ") + sql + " on " + path_);
  int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE || rc == SQLITE_ROW) {
    rc = SQLITE_OK;
  }
  // The error stays readable through LastError() after the reset.
  sqlite3_reset(statement);
  return rc;
}

void SqliteConnection::ResetReadingStatements() {
  for (sqlite3_stmt* statement = sqlite3_next_stmt(db_, nullptr); statement != nullptr;
       statement = sqlite3_next_stmt(db_, statement)) {
    if (sqlite3_stmt_busy(statement)) {
      sqlite3_reset(statement);
    }
  }
}

void SqliteConnection::EndWrite() {
  committedChanges.fetch_add(1, std::memory_order_acq_rel);
  if (inTransaction_ && !transactionLost_ && sqlite3_get_autocommit(db_) != 0) {
    transactionLost_ = true;
    lookups_->DropAll();
    throw DatabaseError("The transaction on " + path_ +
                        " was undone by the database after a failed write: " + LastError());
  }
}

void SqliteConnection::BeginTransaction() {
  if (inTransaction_) {
    throw DatabaseError("Cannot begin a transaction on " + path_ + ": one is open already");
  }
  // The journal mode cannot change inside a transaction.
  BeginWrite();
  if (Run("BEGIN IMMEDIATE") != SQLITE_OK) {
    throw DatabaseError("Cannot begin a transaction on " + path_ + ": " + LastError());
  }
  inTransaction_ = true;
}

void SqliteConnection::CommitTransaction() {
  if (!inTransaction_) {
    throw DatabaseError("Cannot commit on " + path_ + ": no transaction is open");
  }
  if (transactionLost_) {
    RollbackTransaction();
    throw DatabaseError("Cannot commit the changes to " + path_ +
                        ": the transaction was undone by the database after a failed write");
  }
  const int rc = Run("COMMIT");
  const std::string error = LastError();
  if (rc != SQLITE_OK) {
    RollbackTransaction();
    throw DatabaseError("Cannot commit the changes to " + path_ + ": " + error);
  }
  inTransaction_ = false;
  // Cursors of other connections stepping since before the commit read an
  // older state of the file.
  committedChanges.fetch_add(1, std::memory_order_acq_rel);
}

void SqliteConnection::RollbackTransaction() noexcept {
  if (!inTransaction_) {
    return;
  }
  inTransaction_ = false;
  transactionLost_ = false;
  lookups_->DropAll();
  // Statements still reading would see rows that are about to vanish; the
  // cursors seek afresh on their next move anyway.
  ResetReadingStatements();
  if (sqlite3_get_autocommit(db_) == 0) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  committedChanges.fetch_add(1, std::memory_order_acq_rel);
}

std::optional<FieldValue> SqliteConnection::TextAsNumber(const std::string& text) {
  sqlite3_stmt* echo = Cached("SELECT ?1", "Cannot convert a value for " + path_);
  BindValue(echo, 1, text);
  std::unique_ptr<sqlite3_value, ValueDeleter> value;
  if (sqlite3_step(echo) == SQLITE_ROW) {
    value.reset(sqlite3_value_dup(sqlite3_column_value(echo, 0)));
  }
  sqlite3_reset(echo);
  if (!value) {
    throw DatabaseError("Cannot convert a value for " + path_ + ": " + LastError());
  }
  // The very routine SQLite uses for numeric affinity, so a text converts
  // here exactly when SQLite would convert it on storing.
  switch (sqlite3_value_numeric_type(value.get())) {
    case SQLITE_INTEGER:
      return static_cast<std::int64_t>(sqlite3_value_int64(value.get()));
    case SQLITE_FLOAT:
      return sqlite3_value_double(value.get());
    default:
      return std::nullopt;
  }
}

std::string SqliteConnection::NumberAsText(const FieldValue& number) {
  sqlite3_stmt* echo = Cached("SELECT ?1", "Cannot convert a value for " + path_);
  BindValue(echo, 1, number);
  std::string text;
  if (sqlite3_step(echo) == SQLITE_ROW) {
    const auto* chars = sqlite3_column_text(echo, 0);
    text.assign(chars != nullptr ? reinterpret_cast<const char*>(chars) : "",
                static_cast<size_t>(sqlite3_column_bytes(echo, 0)));
  }
  sqlite3_reset(echo);
  return text;
}

FieldValue SqliteConnection::Evaluate(const std::string& expression) {
  SqliteStatement statement =
      Prepare("SELECT (" + expression + ")", "Cannot evaluate " + expression + " in " + path_);
  if (sqlite3_step(statement.get()) != SQLITE_ROW) {
    throw DatabaseError("Cannot evaluate " + expression + " in " + path_ + ": " + LastError());
  }
  return ColumnValue(statement.get(), 0);
}

}  // namespace twinbook
