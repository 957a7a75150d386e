#include "platform/sqlite_database.h"

namespace twinbook {

std::unique_ptr<Database> SqliteDatabaseEngine::OpenDatabase(const std::string& path) {
  throw DatabaseError("Cannot open " + path + ": databases are not supported yet");
}

}  // namespace twinbook
