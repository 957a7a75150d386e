#pragma once

#include "engine/phase_log.h"
#include "model/sync_object.h"

namespace twinbook {

// The sync record of a reconciled contact is added to the sync database when
// it was new in this run and updated otherwise.
inline void MarkSyncRecordReconciled(SyncObject& sync, PhaseLog& log) {
  if (sync.Flag == "N") {
    sync.Flag = "C";
    log.Write("... " + sync.ContactName + " will be added to the sync database.");
  } else {
    sync.Flag = "W";
    log.Write("... " + sync.ContactName + " will be modified in the sync database.");
  }
}

}  // namespace twinbook
