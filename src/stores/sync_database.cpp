#include "stores/sync_database.h"

namespace twinbook {

void LoadSyncRecords(RunContext&) {}

void WriteSyncDatabase(RunContext&) {}

}  // namespace twinbook
