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
// Contacts are handled in the set's order, except that those whose save
// takes a number, an address or a speed dial off the card come after all
// the others, the last of them first: then a run interrupted between two
// saves never leaves a slot free below a slot it has handed out, and the
// next run numbers new entries as this one did. Each contact is saved once,
// after all of its changes, and its log lines follow that save. The four name results of RunState
// are set for every contact that is prompted for. A contacts failure throws and ends the run; a
// RunAborted from the prompt ends it before the contact is saved.
void WriteOutlookContacts(RunContext& context);

}  // namespace twinbook
