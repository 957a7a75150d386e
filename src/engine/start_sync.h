#pragma once

#include <array>

#include "environment/phases.h"
#include "environment/run_context.h"
#include "model/sync_set.h"

namespace twinbook {

inline constexpr const char* kStatusIdle = "Status: Idle";
inline constexpr const char* kStatusWaiting = "Status: Waiting for PhoneBook Manager . . .";
inline constexpr const char* kStatusInProgress = "Status: Synchronization in progress . . .";
inline constexpr const char* kStatusComplete = "Status: Synchronization complete.";
inline constexpr const char* kStatusError = "Status: Synchronization error. Please check the log.";

// The routine of each phase, in run order, and the rewrite of excluded
// contacts that follows the loading phases. A run normally uses
// StandardPhases(); tests may put their own routines in.
struct PhaseRoutines {
  using Routine = void (*)(RunContext&);
  std::array<Routine, kPhaseCount> phases{};
  Routine afterLoading = nullptr;
};
const PhaseRoutines& StandardPhases();

// One synchronisation run: the thirteen phases in order with their labels,
// the log head, the capacity check before the write phases, and the
// PhoneBook Manager before and after when the settings ask for it.
//
// Any error inside the run ends it: the log gets a line naming the error, a
// message box names it, the status says so and the sets are emptied, so the
// program stays usable. A call while a run is in progress does nothing.
void StartSync(RunContext& context, const PhaseRoutines& routines = StandardPhases());

// The numbers and addresses of OutlookSet that count against the phone's
// capacity: every non-empty number and address of every record not flagged "D".
int CountPhoneNumbers(const SyncSet& outlookSet);

}  // namespace twinbook
