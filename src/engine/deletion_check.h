#pragma once

#include "environment/run_context.h"

namespace twinbook {

// The deletions a run has decided on, per side: PhoneBook contacts whose
// desktop card is gone, and desktop cards whose PhoneBook contact is gone. A
// contact gone from both sides counts for neither: nothing of it is left to
// delete.
struct DeletionCounts {
  int fromPhoneBook = 0;
  int fromDesktop = 0;
};
DeletionCounts CountDeletions(const RunState& state);

// True when `deletions` of `syncRows` contacts is a mass deletion worth a
// question: at least 5, and more than half of the contacts the sync database
// held when it was loaded.
bool IsMassDeletion(int deletions, int syncRows);

// After the capacity check, before the writers: for each side with a mass
// deletion, asks "Confirm Deletions" and logs the question and the answer.
// False when a question was answered Stop: the run then ends with nothing
// more written, its status "Status: Synchronization stopped." and the log
// saying why. Throws RunAborted when the program is ending.
bool DeletionsConfirmed(RunContext& context, int syncRows);

inline constexpr const char* kStatusStopped = "Status: Synchronization stopped.";

}  // namespace twinbook
