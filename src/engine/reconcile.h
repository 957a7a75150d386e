#pragma once

#include "environment/run_context.h"

namespace twinbook {

// Carries one-sided changes across, recognises identical changes and puts
// conflicts to the user.
void SyncModifiedItems(RunContext& context);

// Turns the copies made for new contacts into additions.
void SyncNewItems(RunContext& context);

}  // namespace twinbook
