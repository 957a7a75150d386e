#pragma once

#include "environment/run_context.h"
#include "model/sync_object.h"

namespace twinbook {

void FlagDeletedItems(RunContext& context);
void FlagNewItems(RunContext& context);
void FlagModifiedItems(RunContext& context);

// True when the nineteen data fields (name, numbers, address, speed dials)
// of the two records are equal as texts.
bool ContactsMatch(const SyncObject& a, const SyncObject& b);
// ContactsMatch without the name: the eighteen numbers, address and speeds.
bool DetailsMatch(const SyncObject& a, const SyncObject& b);

}  // namespace twinbook
