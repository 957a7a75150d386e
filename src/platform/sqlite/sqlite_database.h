#pragma once

#include <chrono>

#include "platform/database.h"

namespace twinbook {

// Database files in SQLite format.
//
// A file is opened for reading and writing and never created. Reading a
// file changes nothing in it; the first write puts it into WAL mode (files
// made by the setup tool are in WAL mode already), where each Update() and
// Delete() is one small commit that waits for no disk flush, and so is a
// Transaction. Another program holding the file for a moment makes a write
// wait (up to `busyTimeout`, a few seconds by default), not fail.
class SqliteDatabaseEngine : public DatabaseEngine {
 public:
  // Long enough for another program to finish a write it has begun, short
  // enough that a file held open for good still fails visibly.
  static constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

  explicit SqliteDatabaseEngine(std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);

  std::unique_ptr<Database> OpenDatabase(const std::string& path) override;

 private:
  std::chrono::milliseconds busyTimeout_;
};

}  // namespace twinbook
