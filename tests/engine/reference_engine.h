#pragma once

#include <array>
#include <string>

#include "environment/run_context.h"

// The deciding phases written plainly from their outcome tables: every lookup
// a walk over the whole set, every free ID and slot searched from 1. The
// engine's indexed phases must leave the same sets, questions and log lines.
// The record comparisons and copies and the conflict answer are the program's.
namespace twinbook::reference {

// AssignContactIDs .. SyncNewItems, in run order.
extern const std::array<void (*)(RunContext&), 7> kDecidingPhases;
int FindSpeedDialOwner(const std::string& speed, const SyncSet& set);

}  // namespace twinbook::reference
