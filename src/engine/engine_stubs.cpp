#include "engine/change_flags.h"
#include "engine/contact_ids.h"
#include "engine/reconcile.h"
#include "engine/speed_dials.h"

namespace twinbook {

void AssignContactIDs(RunContext&) {}
void FlagDeletedItems(RunContext&) {}
void FlagNewItems(RunContext&) {}
void FlagModifiedItems(RunContext&) {}
void AssignSpeedDials(RunContext&) {}
void SyncModifiedItems(RunContext&) {}
void SyncNewItems(RunContext&) {}

}  // namespace twinbook
