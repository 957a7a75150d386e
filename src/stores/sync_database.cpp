#include "stores/sync_database.h"

#include "environment/activity_log.h"
#include "stores/speed_tags.h"

namespace twinbook {

namespace {

struct Column {
  const char* name;
  RecordText SyncObject::*field;
};

// The number columns in the order they are written after SpeedDial.
constexpr Column kNumberColumns[] = {
    {"Work2", &SyncObject::Work2Number},   {"DirectConnect", &SyncObject::DCNumber},
    {"Home", &SyncObject::HomeNumber},     {"Work1", &SyncObject::Work1Number},
    {"Mobile", &SyncObject::MobileNumber}, {"Fax", &SyncObject::FaxNumber},
    {"Pager", &SyncObject::PagerNumber},   {"Other", &SyncObject::OtherNumber},
};

// Writes the record's columns into the row being added or edited. A "W"
// record holding a directory-style address ("/") keeps the row's e-mail.
void WriteColumns(Table& table, const SyncObject& record, bool keepEmail) {
  table.SetField("ContactID", static_cast<std::int64_t>(std::stoll(record.ContactID)));
  table.SetField("Name", record.ContactName);
  table.SetField("SpeedDial", SpeedTagText(record));
  for (const Column& column : kNumberColumns) {
    table.SetField(column.name, record.*column.field);
  }
  if (!keepEmail) {
    table.SetField("Email", record.EmailAddress);
  }
}

// The contact's row: the first in table order with its ID, or nullptr.
std::unique_ptr<Table> FindRow(Database& database, const SyncObject& record) {
  if (!IsCanonicalContactID(record.ContactID)) {
    return nullptr;  // no stored ID is written like this
  }
  std::unique_ptr<Table> row = database.OpenTableWhere(
      kSyncTable, "ContactID", static_cast<std::int64_t>(std::stoll(record.ContactID)));
  if (row->IsEOF()) {
    return nullptr;
  }
  row->MoveFirst();
  return row;
}

}  // namespace

SyncObject& ImportSyncData(SyncSet& set, const RowReader& row) {
  SyncObject record;
  record.ContactID = row.ContactID("ContactID");
  record.ContactName = row.Text("Name");
  for (const Column& column : kNumberColumns) {
    record.*column.field = row.Text(column.name);
  }
  record.EmailAddress = row.TextOrEmpty("Email");
  ApplySpeedTagText(record, row.Text("SpeedDial"));
  record.Flag = "";
  return set.Append(record);
}

void LoadSyncRecords(RunContext& context) {
  const std::string& path = context.settings().SyncPath;
  std::unique_ptr<Database> database = context.platform.databases.OpenDatabase(path);
  std::unique_ptr<Table> table = database->OpenTable(kSyncTable);
  RequireColumns(*database, kSyncTable,
                 {"ContactID", "Name", "Work2", "DirectConnect", "Home", "Work1", "Mobile", "Fax",
                  "Pager", "Other", "Email", "SpeedDial"});
  RowReader row(*table, kSyncTable, path);
  if (!table->IsEOF()) {
    table->MoveFirst();
  }
  while (!table->IsEOF()) {
    ImportSyncData(context.state.SyncDatabaseSet, row);
    table->MoveNext();
    row.NextRow();
  }
}

void WriteSyncDatabase(RunContext& context) {
  LogFile log(context.settings().LogPath, LogFile::Mode::Append);
  log.WriteLine("Writing to the sync database.");
  std::unique_ptr<Database> database =
      context.platform.databases.OpenDatabase(context.settings().SyncPath);
  std::unique_ptr<Table> table = database->OpenTable(kSyncTable);

  for (const SyncObject& record : context.state.SyncDatabaseSet) {
    const std::string& flag = record.Flag;
    if (context.state.PhoneBookWriteFailed.count(record.ContactID) != 0) {
      // The phone book did not take this contact's change: leave its row as
      // it was, so the next run sees the same difference and tries again.
      continue;
    }
    if (flag == "D") {
      if (std::unique_ptr<Table> row = FindRow(*database, record)) {
        row->Delete();
        log.WriteLine("... " + record.ContactName + " has been deleted.");
      }
    } else if (flag == "M" || flag == "W") {
      if (std::unique_ptr<Table> row = FindRow(*database, record)) {
        row->Edit();
        WriteColumns(*row, record,
                     flag == "W" && record.EmailAddress.view().find('/') != std::string_view::npos);
        row->Update();
        log.WriteLine("... " + record.ContactName + " has been modified.");
      }
    } else if (flag == "C" || flag == "N") {
      // Checked before the row is begun: a row must never be left half set.
      if (!IsCanonicalContactID(record.ContactID)) {
        throw DatabaseError("Cannot add " + record.ContactName + " to table " + kSyncTable +
                            " in " + context.settings().SyncPath + ": its contact ID '" +
                            record.ContactID + "' is not a positive whole number");
      }
      table->AddNew();
      WriteColumns(*table, record, false);
      table->Update();
      log.WriteLine("... " + record.ContactName + " has been added.");
    }
  }
  log.Close();
}

}  // namespace twinbook
