#pragma once

#include "environment/run_context.h"
#include "model/sync_set.h"
#include "platform/database.h"

namespace twinbook {

// Loading phase 3: one record of SyncDatabaseSet per row of SyncContacts.
void LoadSyncRecords(RunContext& context);

// Write phase 13: applies the flags of SyncDatabaseSet to SyncContacts.
void WriteSyncDatabase(RunContext& context);

}  // namespace twinbook
