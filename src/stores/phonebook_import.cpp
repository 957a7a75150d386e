#include "stores/phonebook_import.h"

#include <unordered_map>

#include "model/number_kinds.h"

namespace twinbook {

namespace {

// The number and speed dial of the current row into `record`; a row whose
// NumberType is null or a code that is not synchronised adds nothing. A type
// that is no whole number at all is an error rather than such a code: the
// number would be missing from the record and read as deleted on the phone.
void PutNumber(SyncObject& record, const RowReader& row) {
  if (row.IsNullAt("NumberType")) {
    return;
  }
  std::optional<NumberKind> kind = NumberKindOf(std::stoll(row.WholeNumber("NumberType")));
  if (!kind) {
    return;
  }
  record.*kind->number = row.Text("Number");
  record.*kind->speed = row.WholeNumber("SpeedDial");
}

}  // namespace

SyncObject& ImportPhoneBookData(SyncSet& set, const RowReader& row) {
  SyncObject record;
  record.ContactID = row.ContactID("ContactID");
  record.ContactName = row.Text("ContactName");
  // Every row must be whole, also those whose type adds no number.
  row.Text("Number");
  row.WholeNumber("SpeedDial");
  PutNumber(record, row);
  record.Flag = "";
  return set.Append(record);
}

void AddPhoneBookNumber(SyncSet& set, const RowReader& row, int position) {
  SyncObject& record = set.Item(position);
  row.Text("ContactName");
  row.Text("Number");
  row.WholeNumber("SpeedDial");
  PutNumber(record, row);
}

void LoadPhoneBookRecords(RunContext& context) {
  const std::string& path = context.settings().PhoneBookPath;
  std::unique_ptr<Database> database = context.platform.databases.OpenDatabase(path);
  std::unique_ptr<Table> table = database->OpenTable(kPhoneBookTable);
  // PhoneNumberLength is not read, but the writer of this run sets it.
  RequireColumns(
      *database, kPhoneBookTable,
      {"ContactID", "ContactName", "Number", "NumberType", "SpeedDial", "PhoneNumberLength"});
  SyncSet& set = context.state.PhoneBookSet;

  // Each row finds its contact's record by ID. The set only grows here and
  // every ID enters it once, so a map from ID to position gives the same
  // answer as searching the set for the last record with that ID.
  std::unordered_map<std::string, int> positions;
  int position = 0;
  for (const SyncObject& record : set) {
    positions[record.ContactID] = ++position;  // the last record of an ID wins
  }

  RowReader row(*table, kPhoneBookTable, path);
  if (!table->IsEOF()) {
    table->MoveFirst();
  }
  while (!table->IsEOF()) {
    std::string id = row.ContactID("ContactID");
    auto found = positions.find(id);
    if (found == positions.end()) {
      ImportPhoneBookData(set, row);
      positions.emplace(id, set.Count());
    } else {
      AddPhoneBookNumber(set, row, found->second);
    }
    table->MoveNext();
    row.NextRow();
  }
}

}  // namespace twinbook
