#pragma once

#include <array>
#include <string>

#include "environment/run_context.h"

// The deciding phases written plainly from their outcome tables: every lookup
// a walk over the whole set, every free ID and slot searched from 1. The
// record comparisons and copies and the conflict answer are the program's.
namespace twinbook::reference {

using Field = std::string SyncObject::*;
// The nine entries, number and speed dial, in the order speed dials are handed out.
extern const std::pair<Field, Field> kEntries[9];
// AssignContactIDs .. SyncNewItems, in run order.
extern const std::array<void (*)(RunContext&), 7> kDecidingPhases;
int FindSpeedDialOwner(const std::string& speed, const SyncSet& set);

}  // namespace twinbook::reference
