#include "whole_run.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <set>
#include <stdexcept>
#include <thread>
#include <variant>

#include "engine/start_sync.h"
#include "generated_stores.h"
#include "stores/phonebook_import.h"
#include "stores/sync_database.h"

namespace twinbook::bench {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPhoneBookColumns[] = {"ContactID",  "ContactName", "Number",
                                             "NumberType", "SpeedDial",   "PhoneNumberLength"};
constexpr const char* kSyncColumns[] = {"ContactID", "Name",  "Work2",  "DirectConnect",
                                        "Home",      "Work1", "Mobile", "Fax",
                                        "Pager",     "Other", "Email",  "SpeedDial"};

std::size_t SizeOf(const FieldValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    return text->size();
  }
  return IsNull(value) ? 0 : sizeof(std::int64_t);
}

template <size_t N>
std::size_t ReadTable(Database& database, const char* name, const char* const (&columns)[N]) {
  std::unique_ptr<Table> table = database.OpenTable(name);
  std::size_t bytes = 0;
  if (!table->IsEOF()) {
    table->MoveFirst();
  }
  while (!table->IsEOF()) {
    for (const char* column : columns) {
      bytes += SizeOf(table->Field(column));
    }
    table->MoveNext();
  }
  return bytes;
}

// Every row of `table` as text, keyed by "table:rowid".
void AddRows(const fs::path& path, const std::string& table,
             std::map<std::string, std::string>& contents) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw std::runtime_error("Cannot open " + path.string() + ": " + message);
  }
  sqlite3_stmt* statement = nullptr;
  const std::string sql = "SELECT rowid, * FROM " + table + " ORDER BY rowid";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw std::runtime_error("Cannot read " + table + " of " + path.string() + ": " + message);
  }
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 1; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row += text == nullptr ? "<null>" : reinterpret_cast<const char*>(text);
      row += '|';
    }
    contents[table + ":" + std::to_string(sqlite3_column_int64(statement, 0))] = row;
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
}

std::string ReadWholeFile(const fs::path& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw std::runtime_error("Cannot read " + path.string());
  }
  std::string content;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    content.append(buffer, got);
  }
  std::fclose(file);
  return content;
}

}  // namespace

std::optional<std::string> MemorySettings::Read(const std::string& section,
                                                const std::string& key) {
  auto it = values_.find(section + "/" + key);
  if (it == values_.end()) {
    return std::nullopt;
  }
  return it->second;
}

void MemorySettings::Write(const std::string& section, const std::string& key,
                           const std::string& value) {
  values_[section + "/" + key] = value;
}

std::optional<ConflictAnswer> AnsweringView::AskConflict(const ConflictQuestion& question) {
  ++conflicts;
  return ConflictAnswer{ConflictAnswer::Keep::Outlook, question.outlook};
}

std::optional<NameValues> AnsweringView::AskNewName(const NameValues& proposal,
                                                    const std::string&) {
  ++namePrompts;
  return proposal;
}

WholeRun::WholeRun(const fs::path& dataFolder) : state_(dataFolder.parent_path().string()) {
  settings_.Write(kSettingsSection, "PhoneBookPath", (dataFolder / "PhoneBook.mdb").string());
  settings_.Write(kSettingsSection, "SyncPath", (dataFolder / "Twinbook.mdb").string());
  settings_.Write(kSettingsSection, "LogPath", (dataFolder / "SyncLog.txt").string());
  settings_.Write(kSettingsSection, "ContactsPath", (dataFolder / "Contacts").string());
  settings_.Write(kSettingsSection, "PMBefore", "False");
  settings_.Write(kSettingsSection, "PMAfter", "False");
  settings_.Write(kSettingsSection, "NameLimit", "0");
  settings_.Write(kSettingsSection, "NumberLimit", "1000000000");
  ResetSyncState(state_, settings_);
}

void WholeRun::Run() {
  view.messages.clear();
  view.phaseSeconds.fill(0);
  StartSync(context_);
  if (view.status != kStatusComplete) {
    throw std::runtime_error("The run did not complete: " + view.status + " " +
                             (view.messages.empty() ? "" : view.messages.back()));
  }
}

std::size_t ReadEverything(const fs::path& dataFolder) {
  std::size_t bytes = 0;
  VCardContactStore contacts;
  std::unique_ptr<ContactsFolder> folder = contacts.OpenFolder((dataFolder / "Contacts").string());
  const int count = folder->Count();
  for (int position = 1; position <= count; ++position) {
    std::unique_ptr<ContactItem> item = folder->Item(position);
    bytes += item->TypeName().size();
    for (ContactProperty property : AllContactProperties()) {
      bytes += item->Get(property).size();
    }
  }
  SqliteDatabaseEngine databases;
  std::unique_ptr<Database> phoneBook =
      databases.OpenDatabase((dataFolder / "PhoneBook.mdb").string());
  bytes += ReadTable(*phoneBook, kPhoneBookTable, kPhoneBookColumns);
  std::unique_ptr<Database> sync = databases.OpenDatabase((dataFolder / "Twinbook.mdb").string());
  bytes += ReadTable(*sync, kSyncTable, kSyncColumns);
  return bytes;
}

std::map<std::string, std::string> StoreContents(const fs::path& dataFolder) {
  std::map<std::string, std::string> contents;
  for (const fs::directory_entry& entry :
       fs::recursive_directory_iterator(dataFolder / "Contacts")) {
    if (entry.is_regular_file()) {
      contents["card:" + fs::relative(entry.path(), dataFolder).string()] =
          ReadWholeFile(entry.path());
    }
  }
  AddRows(dataFolder / "PhoneBook.mdb", kPhoneBookTable, contents);
  AddRows(dataFolder / "Twinbook.mdb", kSyncTable, contents);
  return contents;
}

std::string FirstDifference(const std::map<std::string, std::string>& before,
                            const std::map<std::string, std::string>& after) {
  for (const auto& [key, value] : before) {
    auto it = after.find(key);
    if (it == after.end()) {
      return key + " is gone";
    }
    if (it->second != value) {
      return key + " changed from\n" + value + "\nto\n" + it->second;
    }
  }
  for (const auto& [key, value] : after) {
    if (!before.contains(key)) {
      return key + " was added:\n" + value;
    }
  }
  return "";
}

ScratchFolder::ScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "twinbook-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("Cannot make a folder like " + pattern);
  }
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void CopyDataFolder(const fs::path& from, const fs::path& to) {
  if (fs::exists(to)) {
    throw std::runtime_error("Cannot copy onto the existing " + to.string());
  }
  fs::create_directories(to);
  // Real copies, not links: a save that replaces a card must free the old
  // file as it does in a user's folder, and that is a good part of what a
  // save costs on some file systems.
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(from)) {
    const fs::path target = to / fs::relative(entry.path(), from);
    if (entry.is_directory()) {
      fs::create_directory(target);
    } else {
      fs::copy_file(entry.path(), target);
    }
  }
}

void WaitUntilCardsSettle() {
  std::this_thread::sleep_for(VCardContactStore::kDefaultSettleTime +
                              std::chrono::milliseconds(100));
}

bool RunChangesNothing(const fs::path& dataFolder, std::string* difference) {
  const std::map<std::string, std::string> before = StoreContents(dataFolder);
  WholeRun(dataFolder).Run();
  const std::string first = FirstDifference(before, StoreContents(dataFolder));
  if (difference != nullptr) {
    *difference = first;
  }
  return first.empty();
}

const char* NameOf(Indexes indexes) {
  return indexes == Indexes::Kept ? "indexed" : "no-index";
}

namespace {

// An open database file, closed when it goes.
struct OpenFile {
  explicit OpenFile(const fs::path& path) {
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      const std::string message = sqlite3_errmsg(db);
      sqlite3_close(db);
      throw std::runtime_error("Cannot open " + path.string() + ": " + message);
    }
  }
  ~OpenFile() { sqlite3_close(db); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  void Run(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error != nullptr ? error : "";
      sqlite3_free(error);
      throw std::runtime_error("Cannot run " + sql + ": " + message);
    }
  }

  sqlite3* db = nullptr;
};

void DropIndexesOf(const fs::path& path) {
  OpenFile file(path);
  std::vector<std::string> names;
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(file.db,
                     "SELECT name FROM sqlite_schema WHERE type = 'index' AND sql IS NOT NULL", -1,
                     &statement, nullptr);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
  }
  sqlite3_finalize(statement);
  for (const std::string& name : names) {
    file.Run("DROP INDEX \"" + name + "\"");
  }
}

// The ContactID of a row as AddRows writes it: the text before the first bar.
std::string ContactIdOf(const std::string& row) {
  return row.substr(0, row.find('|'));
}

FirstRunWrites WritesBetween(const std::map<std::string, std::string>& before,
                             const std::map<std::string, std::string>& after) {
  FirstRunWrites writes;
  std::set<std::string> contacts;
  auto note = [&](const std::string& key, const std::string* old, const std::string* now) {
    if (key.starts_with("card:")) {
      if (now != nullptr) {
        writes.cards.emplace_back(key.substr(5), *now);
      }
    } else if (key.starts_with(std::string(kPhoneBookTable) + ":")) {
      for (const std::string* row : {old, now}) {
        if (row != nullptr) {
          contacts.insert(ContactIdOf(*row));
        }
      }
    } else {
      ++writes.syncRows;
    }
  };
  for (const auto& [key, value] : before) {
    auto it = after.find(key);
    if (it == after.end()) {
      note(key, &value, nullptr);
    } else if (it->second != value) {
      note(key, &value, &it->second);
    }
  }
  for (const auto& [key, value] : after) {
    if (!before.contains(key)) {
      note(key, nullptr, &value);
    }
  }
  writes.phoneBookContacts = static_cast<int>(contacts.size());
  return writes;
}

class Stopwatch {
 public:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::size_t ReadFileBytes(const fs::path& path, std::vector<char>& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throw std::runtime_error("Cannot read " + path.string());
  }
  std::size_t bytes = 0;
  ssize_t got = 0;
  while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
    bytes += static_cast<std::size_t>(got);
  }
  ::close(fd);
  return bytes;
}

void WriteFileSafely(const fs::path& target, const std::string& content, int serial) {
  const fs::path temporary = target.parent_path() / (".floor-" + std::to_string(serial) + ".tmp");
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 ||
      ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
    throw std::runtime_error("Cannot write " + temporary.string());
  }
  ::close(fd);
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    throw std::runtime_error("Cannot rename " + temporary.string());
  }
}

// `count` transactions of one added row each, with the program's settings.
void CommitSingleRows(const fs::path& path, const std::string& table, int count) {
  OpenFile file(path);
  file.Run("PRAGMA journal_mode=WAL");
  file.Run("PRAGMA synchronous=NORMAL");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(file.db, ("INSERT INTO " + table + " (ContactID) VALUES (?1)").c_str(), -1,
                     &insert, nullptr);
  for (int i = 0; i < count; ++i) {
    file.Run("BEGIN IMMEDIATE");
    sqlite3_bind_int64(insert, 1, 1000000000 + i);
    const int rc = sqlite3_step(insert);
    sqlite3_reset(insert);
    if (rc != SQLITE_DONE) {
      sqlite3_finalize(insert);
      throw std::runtime_error("Cannot add a row to " + path.string());
    }
    file.Run("COMMIT");
  }
  sqlite3_finalize(insert);
}

}  // namespace

void DropIndexes(const fs::path& dataFolder) {
  DropIndexesOf(dataFolder / "PhoneBook.mdb");
  DropIndexesOf(dataFolder / "Twinbook.mdb");
}

double TimeFirstRunFloor(const fs::path& dataFolder, const FirstRunWrites& writes) {
  Stopwatch clock;
  std::vector<char> buffer(1 << 16);
  std::size_t bytes = 0;
  for (const fs::directory_entry& entry :
       fs::recursive_directory_iterator(dataFolder / "Contacts")) {
    if (entry.is_regular_file()) {
      bytes += ReadFileBytes(entry.path(), buffer);
    }
  }
  int serial = 0;
  for (const auto& [path, content] : writes.cards) {
    WriteFileSafely(dataFolder / path, content, ++serial);
  }
  CommitSingleRows(dataFolder / "PhoneBook.mdb", kPhoneBookTable, writes.phoneBookContacts);
  CommitSingleRows(dataFolder / "Twinbook.mdb", kSyncTable, writes.syncRows);
  const double seconds = clock.Seconds();
  if (bytes == 0) {
    throw std::runtime_error("No cards to read in " + dataFolder.string());
  }
  return seconds;
}

double TimeReadingBytes(const fs::path& dataFolder, std::size_t* bytes) {
  Stopwatch clock;
  std::vector<char> buffer(1 << 16);
  std::size_t read = 0;
  for (const fs::directory_entry& entry :
       fs::recursive_directory_iterator(dataFolder / "Contacts")) {
    if (entry.is_regular_file()) {
      read += ReadFileBytes(entry.path(), buffer);
    }
  }
  for (const char* name :
       {"PhoneBook.mdb", "PhoneBook.mdb-wal", "Twinbook.mdb", "Twinbook.mdb-wal"}) {
    if (fs::exists(dataFolder / name)) {
      read += ReadFileBytes(dataFolder / name, buffer);
    }
  }
  const double seconds = clock.Seconds();
  if (bytes != nullptr) {
    *bytes = read;
  }
  return seconds;
}

const fs::path& StoreTemplates::FirstRun(int contactsPerSide, Indexes indexes) {
  const Key key{contactsPerSide, indexes};
  auto it = firstRun_.find(key);
  if (it == firstRun_.end()) {
    fs::path data = scratch_.path() /
                    ("first-run-" + std::to_string(contactsPerSide) + "-" + NameOf(indexes)) /
                    "Data";
    fs::create_directories(data.parent_path());
    WriteFirstRunStores(data.string(), contactsPerSide);
    if (indexes == Indexes::Dropped) {
      DropIndexes(data);
    }
    // Measured runs should not share the disk with the writing back of the
    // stores just made.
    ::sync();
    it = firstRun_.emplace(key, data).first;
  }
  return it->second;
}

const FirstRunWrites& StoreTemplates::WritesOfFirstRun(int contactsPerSide, Indexes indexes) {
  Unchanged(contactsPerSide, indexes);
  return writes_.at(Key{contactsPerSide, indexes});
}

const fs::path& StoreTemplates::Unchanged(int contactsPerSide, Indexes indexes, std::string* how) {
  const Key key{contactsPerSide, indexes};
  auto it = unchanged_.find(key);
  if (it == unchanged_.end()) {
    const fs::path base =
        scratch_.path() / ("unchanged-" + std::to_string(contactsPerSide) + "-" + NameOf(indexes));
    fs::create_directories(base);
    fs::path data = base / "Data";
    CopyDataFolder(FirstRun(contactsPerSide, indexes), data);
    const std::map<std::string, std::string> before = StoreContents(data);
    WholeRun(data).Run();
    writes_[key] = WritesBetween(before, StoreContents(data));
    std::string afterFirstRun;
    std::string note;
    if (RunChangesNothing(data, &afterFirstRun)) {
      note = "in step after a first run";
      // The first run's backup is moved aside, not removed: an unchanged run
      // never reads it, copying it would double every copy of these stores,
      // and removing it would free a file for every card just before the
      // runs measured (see the copies in run_benchmarks.cpp).
      fs::rename(data / "Backups", base / "Backups of the first run");
    } else {
      fs::remove_all(data);
      WriteInStepStores(data.string(), contactsPerSide);
      if (indexes == Indexes::Dropped) {
        DropIndexes(data);
      }
      std::string generated;
      if (!RunChangesNothing(data, &generated)) {
        throw std::runtime_error("The generated stores are not in step: " + generated);
      }
      note = "generated in step";
      std::cerr << "After a first run over the generated stores, a second run still changed "
                << afterFirstRun.substr(0, afterFirstRun.find('\n'))
                << "; measuring over stores generated in step instead.\n";
    }
    ::sync();
    it = unchanged_.emplace(key, std::make_pair(data, note)).first;
  }
  if (how != nullptr) {
    *how = it->second.second;
  }
  return it->second.first;
}

}  // namespace twinbook::bench
