#pragma once

#include "environment/run_context.h"

namespace twinbook {

// Write phase 12: carries the flags of PhoneBookSet into tblContactList, one
// row per number: "C" adds the contact's rows, "W" renames, renumbers,
// deletes and adds rows until they match the record, "D" deletes every row
// of the contact; other flags change nothing.
//
// Each contact's rows change in one transaction. When any of its operations
// fails, the contact is left as it was, one line naming it and the failure
// is logged instead of its step lines, and its ContactID goes into
// RunState::PhoneBookWriteFailed so that its sync row is not rewritten and
// the next run tries again. A database or table that cannot be opened throws
// and ends the run.
void WritePhoneBookDatabase(RunContext& context);

}  // namespace twinbook
