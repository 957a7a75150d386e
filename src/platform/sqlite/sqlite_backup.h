#pragma once

#include <string>

#include "platform/sqlite/sqlite_connection.h"

namespace twinbook {

// Whole-database operations for the backups of a run and their undo, on
// SQLite's online backup API (see Database in database.h).

// Copies the database of `connection` into a new file at `path`, made as
// a single file in rollback-journal mode, so that it can be copied back by
// hand. Throws DatabaseError naming both files; a copy begun is removed.
void CopyDatabase(SqliteConnection& connection, const std::string& path);

// Replaces the content of `connection`'s database by that of the file at
// `path`, in one transaction. Throws DatabaseError naming both files.
void ReplaceDatabaseContent(SqliteConnection& connection, const std::string& path);

// A fingerprint of every table's definition and every row, in rowid order.
std::string DatabaseFingerprint(SqliteConnection& connection);

}  // namespace twinbook
