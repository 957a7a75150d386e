#pragma once

#include "environment/run_context.h"

namespace twinbook {

// Run right after loading. Two Outlook contacts carrying the same contact ID
// (a card copied by hand) cannot be synchronised: every decision is taken on
// the last of them while the Outlook writer finds the first, so the wrong
// card would be written. The run then stops before anything is decided,
// like a capacity stop: log lines naming both contacts and their ID, the
// error status and a message box; returns false. Empty IDs (contacts not yet
// synchronised) are no duplicates.
//
// Sync records sharing an ID do no such harm (the last one stands for the
// contact, as everywhere); each such ID is noted in the log and the run goes
// on.
bool ContactIDsAllowRun(RunContext& context);

}  // namespace twinbook
