#pragma once

#include "environment/run_context.h"
#include "model/sync_object.h"

namespace twinbook {

// Carries one-sided changes across, recognises identical changes and puts
// conflicts to the user.
void SyncModifiedItems(RunContext& context);

// Turns the copies made for new contacts into additions.
void SyncNewItems(RunContext& context);

// Copies the twenty data fields (all but Flag) of `source` into
// `destination`, and flags `destination` "M" when its flag is empty.
void CopyContact(SyncObject& destination, const SyncObject& source);

}  // namespace twinbook
