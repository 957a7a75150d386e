#pragma once

#include "platform/database.h"

namespace twinbook {

// Database files in SQLite format.
//
// A file is opened for reading and writing and never created. Reading a
// file changes nothing in it; the first write puts it into WAL mode (files
// made by the setup tool are in WAL mode already), where each Update() and
// Delete() is one small commit that waits for no disk flush. Another
// program holding the file for a moment makes a write wait (up to a few
// seconds), not fail.
class SqliteDatabaseEngine : public DatabaseEngine {
 public:
  std::unique_ptr<Database> OpenDatabase(const std::string& path) override;
};

}  // namespace twinbook
