#pragma once

#include <string>

#include "environment/run_context.h"
#include "model/sync_set.h"

namespace twinbook {

// Makes sure every number and address of OutlookSet has a speed dial: the
// one its PhoneBook counterpart already has, or the lowest slot that no
// record of the three sets uses, on any kind. The slot is recorded on the
// counterparts (flag "M" where theirs is empty). A counterpart that is
// missing is skipped. Outlook records flagged "D" (deleted in the PhoneBook,
// about to be deleted here) get no slots; the slots they hold stay in use.
void AssignSpeedDials(RunContext& context);

// Position of the last record of `set` that uses `speed` as any of its nine
// speed dials (exact text), 0 when none does.
int FindSpeedDialOwner(const std::string& speed, const SyncSet& set);

}  // namespace twinbook
