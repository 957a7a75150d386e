#pragma once

#include "environment/run_context.h"

namespace twinbook {

inline constexpr const char* kStatusUndone = "Status: Last synchronization undone.";

// Undo Last Synchronization: puts the PhoneBook database, the sync database
// and the contacts folder back as they were before the last run that wrote
// anything, from that run's backup (run_backup.h), at the paths recorded
// with it.
//
// Refused, with a message and nothing changed, while a run is under way,
// while another Twinbook works on these stores, when there is no backup,
// when the last run was undone already or did not finish its writing (ended
// by Quit or killed: what it wrote is not known), and when anything it wrote
// has changed since (named in the message). Otherwise asks "Undo
// Synchronization" first; Cancel changes nothing.
//
// Every step is whole: a database's content is replaced in one transaction,
// a card is written to a temporary file and renamed. An undo that was cut
// short finds each item either as the run left it or as it was before, and
// a second Undo finishes the rest. The activity log gets what was put back.
// Errors are reported, never thrown; a Quit during the question ends it with
// nothing written.
void UndoLastSync(RunContext& context);

}  // namespace twinbook
