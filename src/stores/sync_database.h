#pragma once

#include "environment/run_context.h"
#include "model/sync_set.h"
#include "platform/database.h"
#include "stores/field_reading.h"

namespace twinbook {

inline constexpr const char* kSyncTable = "SyncContacts";

// Loading phase 3: one record of SyncDatabaseSet per row of SyncContacts,
// in table order; rows sharing an ID give a record each.
void LoadSyncRecords(RunContext& context);

// Appends the record built from the current row.
SyncObject& ImportSyncData(SyncSet& set, const RowReader& row);

// Write phase 13: applies the flags of SyncDatabaseSet to SyncContacts:
// "D" deletes the contact's row, "M" and "W" rewrite it, "C" and "N" add one.
void WriteSyncDatabase(RunContext& context);

}  // namespace twinbook
