#pragma once

#include "environment/run_context.h"

namespace twinbook {

// Write phase 11: carries the flags of OutlookSet into the contacts folder:
// "D" deletes the contact, "W" updates its name (through the name change
// prompt), numbers, address and speed dials, "C" creates it (through the
// prompt), "S" stores its speed dials, "I" its new contact ID; other flags
// change nothing. A contact is found by its ID, else by its name among the
// contacts that carry no ID yet; only included contacts are found.
//
// Each contact is saved once, after all of its changes, and its log lines
// follow that save. The four name results of RunState are set for every
// contact that is prompted for. A contacts failure throws and ends the run;
// a RunAborted from the prompt ends it before the contact is saved.
void WriteOutlookContacts(RunContext& context);

}  // namespace twinbook
