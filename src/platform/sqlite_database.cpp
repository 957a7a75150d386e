#include "platform/sqlite_database.h"

#include "platform/sqlite_connection.h"
#include "platform/sqlite_table.h"

namespace twinbook {

namespace {

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

 private:
  // Shared with the cursors, which may outlive this object.
  std::shared_ptr<SqliteConnection> connection_;
};

}  // namespace

std::unique_ptr<Database> SqliteDatabaseEngine::OpenDatabase(const std::string& path) {
  return std::make_unique<SqliteDatabase>(SqliteConnection::Open(path));
}

}  // namespace twinbook
