#include "data_setup.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "embedded_data.h"

namespace twinbook {

namespace {

namespace fs = std::filesystem;

struct ConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

Connection OpenExisting(const std::string& path) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  Connection db(raw);
  if (rc != SQLITE_OK) {
    throw SetupError("Cannot open the database " + path + ": " +
                     (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  sqlite3_busy_timeout(raw, 5000);
  return db;
}

void Execute(sqlite3* db, const std::string& path, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw SetupError("Cannot prepare the database " + path + ": " + text);
  }
}

// Opens `path` for writing only if no file of that name exists, so a file
// made a moment ago by someone else is never overwritten.
File CreateExclusively(const std::string& path) {
  File file(std::fopen(path.c_str(), "wbx"));
  if (!file) {
    const int error = errno;
    if (error == EEXIST) {
      throw SetupError("Cannot create " + path + ": the file exists already");
    }
    throw SetupError("Cannot create " + path + ": " + std::strerror(error));
  }
  return file;
}

void RemoveDatabaseFiles(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    fs::remove(path + suffix, ignored);
  }
}

void CreateDatabase(const std::string& path, std::string_view schema, std::string_view rows) {
  CreateExclusively(path).reset();  // claim the name; SQLite fills the empty file
  try {
    Connection db = OpenExisting(path);
    // Set in the file itself, so that every later connection, the
    // program's included, finds WAL mode without having to switch.
    Execute(db.get(), path, "PRAGMA journal_mode=WAL");
    // One transaction: the file holds its table and rows, or nothing.
    Execute(db.get(), path,
            "BEGIN;\n" + std::string(schema) + "\n;\n" + std::string(rows) + "\n;\nCOMMIT;");
    // Closing the last connection copies the log into the file and removes
    // it, so the new file stands alone.
  } catch (...) {
    RemoveDatabaseFiles(path);
    throw;
  }
}

void WriteCard(const std::string& path, std::string_view content) {
  File file = CreateExclusively(path);
  const bool written = std::fwrite(content.data(), 1, content.size(), file.get()) == content.size();
  if (!written || std::fclose(file.release()) != 0) {
    std::error_code ignored;
    fs::remove(path, ignored);
    throw SetupError("Cannot write " + path);
  }
}

SetupItem InstallDatabase(const std::string& path, std::string_view schema, std::string_view rows) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(path, error))) {
    return {path, false};
  }
  CreateDatabase(path, schema, rows);
  return {path, true};
}

SetupItem InstallCards(const std::string& folder, bool withSamples) {
  std::error_code error;
  // A folder that exists is the user's: no sample card is added to it.
  if (!fs::create_directory(folder, error)) {
    if (error) {
      throw SetupError("Cannot create the folder " + folder + ": " + error.message());
    }
    return {folder, false};
  }
  if (!withSamples) {
    return {folder, true};
  }
  for (const EmbeddedFile& card : SampleCards()) {
    WriteCard(folder + "/" + std::string(card.name), card.content);
  }
  return {folder, true};
}

}  // namespace

void CreatePhoneBookDatabase(const std::string& path) {
  CreateDatabase(path, PhoneBookSchemaSql(), "");
}

void CreateSyncDatabase(const std::string& path) {
  CreateDatabase(path, SyncSchemaSql(), "");
}

void ExecuteSql(const std::string& path, const std::string& sql) {
  if (!fs::exists(path)) {
    throw SetupError("Cannot open the database " + path + ": the file does not exist");
  }
  Connection db = OpenExisting(path);
  // The separators let the last statement go without its semicolon. A
  // failing statement leaves the transaction open; closing rolls it back.
  Execute(db.get(), path, "BEGIN;\n" + sql + "\n;\nCOMMIT;");
}

namespace {

std::vector<SetupItem> InstallData(const std::string& dataFolder, bool withSamples) {
  std::error_code error;
  fs::create_directories(dataFolder, error);
  if (error) {
    throw SetupError("Cannot create the folder " + dataFolder + ": " + error.message());
  }
  return {
      InstallDatabase(dataFolder + "/PhoneBook.mdb", PhoneBookSchemaSql(),
                      withSamples ? SamplePhoneBookSql() : ""),
      InstallDatabase(dataFolder + "/Twinbook.mdb", SyncSchemaSql(), ""),
      InstallCards(dataFolder + "/Contacts", withSamples),
  };
}

}  // namespace

std::vector<SetupItem> InstallSampleData(const std::string& dataFolder) {
  return InstallData(dataFolder, true);
}

std::vector<SetupItem> InstallEmptyData(const std::string& dataFolder) {
  return InstallData(dataFolder, false);
}

}  // namespace twinbook
