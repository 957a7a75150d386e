#pragma once

#include <string>
#include <vector>

#include "engine/phase_log.h"
#include "environment/run_context.h"

namespace twinbook {

// The effect of a button of the conflict dialog on the contact at the three
// conflict positions of the run state: the nineteen values of the answer go
// into the Outlook, the PhoneBook and the sync record, in that order, and
// each record's flag says what its writer has to do, with a log line each.
// Opens the activity log for appending and closes it again.
//
// Beyond the plain copy: an Outlook record flagged "I" or "S" whose data the
// choice changes becomes "W", or the chosen data would never reach the card
// and the next run would undo the choice. And a PhoneBook name that is the
// shortened form of a record's whole name leaves that record its whole name.
void ApplyConflictChoice(RunContext& context, const ConflictAnswer& answer);

// The reconciling phases' hand-over of one conflict: logs it, closes the log,
// stores the three positions, asks the user and applies the answer, then
// opens the log again. Returns false when the dialog was closed without a
// choice. Throws RunAborted, writing nothing more, when the user ended the
// program meanwhile; std::out_of_range for a position the run state cannot
// hold.
bool HandOverConflict(RunContext& context, PhaseLog& log, const std::string& visitedName,
                      int outlookPosition, int phoneBookPosition, int syncPosition);

// The end of a reconciling phase. A sync record made in this run ("N") for a
// contact whose conflict was left without a choice is not written: added to
// the sync database with one side's data, the next run would take the other
// side for a change (or, for a copy that was not added, for a deletion) and
// act on it without asking. Unflagged, the next run meets the contact as it
// met it now and asks again.
void HoldBackOpenConflicts(RunContext& context, PhaseLog& log,
                           const std::vector<int>& openSyncPositions);

}  // namespace twinbook
