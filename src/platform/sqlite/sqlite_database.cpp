#include "platform/sqlite/sqlite_database.h"

#include "platform/sqlite/sqlite_backup.h"
#include "platform/sqlite/sqlite_connection.h"
#include "platform/sqlite/sqlite_table.h"

namespace twinbook {

namespace {

class SqliteTransaction : public Transaction {
 public:
  explicit SqliteTransaction(std::shared_ptr<SqliteConnection> connection)
      : connection_(std::move(connection)) {
    connection_->BeginTransaction();
  }
  ~SqliteTransaction() override {
    if (!committed_) {
      connection_->RollbackTransaction();
    }
  }
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;

  void Commit() override {
    if (committed_) {
      throw DatabaseError("Cannot commit the changes to " + connection_->path() +
                          " twice: the transaction has ended");
    }
    // Marked first: a failed commit has rolled back already.
    committed_ = true;
    connection_->CommitTransaction();
  }

 private:
  std::shared_ptr<SqliteConnection> connection_;
  bool committed_ = false;
};

class SqliteDatabase : public Database {
 public:
  explicit SqliteDatabase(std::shared_ptr<SqliteConnection> connection)
      : connection_(std::move(connection)) {}

  std::unique_ptr<Table> OpenTable(const std::string& table) override {
    return std::make_unique<SqliteTable>(connection_, table, std::nullopt);
  }

  std::unique_ptr<Table> OpenTableWhere(const std::string& table, const std::string& column,
                                        const FieldValue& value) override {
    return std::make_unique<SqliteTable>(connection_, table, SqliteTable::Filter{column, value});
  }

  void RequireColumn(const std::string& table, const std::string& column) override {
    SqliteTable::RequireColumn(connection_, table, column);
  }

  std::unique_ptr<Transaction> BeginTransaction() override {
    return std::make_unique<SqliteTransaction>(connection_);
  }

  void CopyTo(const std::string& path) override { CopyDatabase(*connection_, path); }
  void ReplaceContentFrom(const std::string& path) override {
    ReplaceDatabaseContent(*connection_, path);
  }
  std::string ContentFingerprint() override { return DatabaseFingerprint(*connection_); }

 private:
  // Shared with the cursors, which may outlive this object.
  std::shared_ptr<SqliteConnection> connection_;
};

}  // namespace

SqliteDatabaseEngine::SqliteDatabaseEngine(std::chrono::milliseconds busyTimeout)
    : busyTimeout_(busyTimeout) {}

std::unique_ptr<Database> SqliteDatabaseEngine::OpenDatabase(const std::string& path) {
  return std::make_unique<SqliteDatabase>(SqliteConnection::Open(path, busyTimeout_));
}

}  // namespace twinbook
