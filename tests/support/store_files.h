#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "environment/run_context.h"
#include "platform/contacts_folder.h"
#include "platform/platform.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/fake_platform.h"
#include "support/memory_settings_store.h"
#include "support/scripted_view.h"
#include "support/temp_dir.h"

namespace twinbook::testing {

// A row of tblContactList as SQLite itself reads the file; null as "<null>".
struct PhoneBookRow {
  std::string ContactID, ContactName, Number, NumberType, SpeedDial, PhoneNumberLength;
  bool operator==(const PhoneBookRow&) const = default;
};

// A row of SyncContacts the same way.
struct SyncRow {
  std::string ContactID, Name, Work2, DirectConnect, Home, Work1, Mobile, Fax, Pager, Other, Email,
      SpeedDial;
  bool operator==(const SyncRow&) const = default;
};

// A card's non-empty properties by name, as a fresh reader of the folder sees them.
struct CardView {
  std::string file;
  std::string typeName;
  std::map<std::string, std::string> properties;
  std::string operator[](const std::string& name) const {
    auto it = properties.find(name);
    return it == properties.end() ? "" : it->second;
  }
};

// A desktop contact to put into the folder as a vCard 3.0 file.
struct CardSpec {
  std::string uid;  // also the file name, with ".vcf"
  std::map<ContactProperty, std::string> properties;
};

std::ostream& operator<<(std::ostream& out, const PhoneBookRow& row);
std::ostream& operator<<(std::ostream& out, const SyncRow& row);

// A value SQLite itself reads: its column and text ("<null>" for null).
struct SqlValue {
  std::string column, text;
};
// Every row of `sql` over the database file at `path`; throws naming the file.
std::vector<std::vector<SqlValue>> QueryRows(const std::string& path, const std::string& sql);

// Every item of the folder at `path` as a fresh reader sees it, in listing order.
std::vector<CardView> ReadCards(const std::string& path);

// `text` as an SQL string literal.
std::string SqlQuote(const std::string& text);
// The INSERT of a tblContactList row as the manager adds it, with its length code.
std::string PhoneBookRowSql(const std::string& id, const std::string& name,
                            const std::string& number, int type, int speed);

// Everything a whole run needs over real files: a temporary Data folder with the setup code's
// empty databases and Contacts folder, the SQLite and vCard stores, settings pointing there
// (manager off), a scripted view and the run state.
class StoreFiles {
 public:
  StoreFiles();
  // The sample Data folder of the run script instead of empty stores.
  static StoreFiles WithSampleData();

  // One StartSync through the window's routines.
  void Run();

  // Seeding the stores as other programs would.
  void AddPhoneBookRow(const std::string& id, const std::string& name, const std::string& number,
                       int type, int speed);
  void AddSyncRow(const SyncRow& row);
  void ExecutePhoneBookSql(const std::string& sql);
  void ExecuteSyncSql(const std::string& sql);
  // Writes a card file; returns its path.
  std::string AddCard(const CardSpec& card);
  std::string WriteCardFile(const std::string& fileName, const std::string& content);

  // Reading the stores back.
  std::vector<PhoneBookRow> PhoneBookRows() const;
  std::vector<SyncRow> SyncRows() const;
  std::vector<CardView> Cards() const;  // listing order, distribution lists included
  std::optional<CardView> CardNamed(const std::string& fileAs) const;
  std::vector<std::string> LogLines() const;
  // Every file under the Data folder with its bytes, for "nothing changed".
  std::map<std::string, std::string> Snapshot() const;

  TempDir dir;
  std::string data, phoneBookPath, syncPath, logPath, contactsPath;
  SqliteDatabaseEngine databases;
  VCardContactStore contacts;
  MemorySettingsStore settings;
  FakeLauncher launcher;
  Platform platform{databases, contacts, settings, launcher};
  RunState state;
  ScriptedView view;
  RunContext context{state, view, platform};

 private:
  struct SampleData {};
  explicit StoreFiles(SampleData);
  void PointSettingsAtData();
};

}  // namespace twinbook::testing
