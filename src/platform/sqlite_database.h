#pragma once

#include "platform/database.h"

namespace twinbook {

// Database files in SQLite format.
class SqliteDatabaseEngine : public DatabaseEngine {
 public:
  std::unique_ptr<Database> OpenDatabase(const std::string& path) override;
};

}  // namespace twinbook
