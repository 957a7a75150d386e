#pragma once

#include <string>

#include "environment/run_context.h"

// The deciding phases as plain transcriptions of their algorithms: every
// lookup a walk over the whole set, every free ID and slot searched from 1.
// Slow, and obviously right; the engine's indexed versions must give the
// same IDs, flags, speed dials, sets and log lines. They include the
// engine's deliberate departures (IDs of the sync database taken, missing
// counterparts skipped, the PhoneBook's shortened names, sync records of
// unresolved conflicts held back) so that both agree.
namespace twinbook::reference {

void AssignContactIDs(RunContext& context);
void FlagDeletedItems(RunContext& context);
void FlagNewItems(RunContext& context);
void AssignSpeedDials(RunContext& context);
void FlagModifiedItems(RunContext& context);
void SyncModifiedItems(RunContext& context);
void SyncNewItems(RunContext& context);

int FindSpeedDialOwner(const std::string& speed, const SyncSet& set);

}  // namespace twinbook::reference
