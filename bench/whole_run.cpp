#include "whole_run.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <iostream>
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

const fs::path& StoreTemplates::FirstRun(int contactsPerSide) {
  auto it = firstRun_.find(contactsPerSide);
  if (it == firstRun_.end()) {
    fs::path data = scratch_.path() / ("first-run-" + std::to_string(contactsPerSide)) / "Data";
    fs::create_directories(data.parent_path());
    WriteFirstRunStores(data.string(), contactsPerSide);
    // Measured runs should not share the disk with the writing back of the
    // stores just made.
    ::sync();
    it = firstRun_.emplace(contactsPerSide, data).first;
  }
  return it->second;
}

const fs::path& StoreTemplates::Unchanged(int contactsPerSide, std::string* how) {
  auto it = unchanged_.find(contactsPerSide);
  if (it == unchanged_.end()) {
    const fs::path base = scratch_.path() / ("unchanged-" + std::to_string(contactsPerSide));
    fs::create_directories(base);
    fs::path data = base / "Data";
    CopyDataFolder(FirstRun(contactsPerSide), data);
    WholeRun(data).Run();
    std::string afterFirstRun;
    std::string note;
    if (RunChangesNothing(data, &afterFirstRun)) {
      note = "in step after a first run";
    } else {
      fs::remove_all(data);
      WriteInStepStores(data.string(), contactsPerSide);
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
    it = unchanged_.emplace(contactsPerSide, std::make_pair(data, note)).first;
  }
  if (how != nullptr) {
    *how = it->second.second;
  }
  return it->second.first;
}

}  // namespace twinbook::bench
