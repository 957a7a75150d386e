#pragma once

#include "environment/run_context.h"
#include "model/sync_set.h"
#include "platform/database.h"

namespace twinbook {

// Loading phase 2: folds the rows of tblContactList into PhoneBookSet, one
// record per contact, in the order of each contact's first row.
void LoadPhoneBookRecords(RunContext& context);

}  // namespace twinbook
