#pragma once

#include "environment/run_context.h"
#include "model/sync_set.h"
#include "platform/database.h"
#include "stores/field_reading.h"

namespace twinbook {

inline constexpr const char* kPhoneBookTable = "tblContactList";

// Loading phase 2: folds the rows of tblContactList (one per number) into
// PhoneBookSet, one record per contact, in the order of each contact's first
// row. Rows of one contact need not be adjacent; when a contact has two rows
// of one type, the later row wins.
void LoadPhoneBookRecords(RunContext& context);

// Appends the record that the current row starts.
SyncObject& ImportPhoneBookData(SyncSet& set, const RowReader& row);

// Puts the current row's number and speed dial into the record at `position`.
void AddPhoneBookNumber(SyncSet& set, const RowReader& row, int position);

}  // namespace twinbook
