#pragma once

#include <string>

#include "environment/run_context.h"
#include "model/sync_set.h"
#include "platform/contacts_folder.h"

namespace twinbook {

// Loading phase 1: every included contact of the contacts folder becomes one
// record of OutlookSet, in the folder's order. Contacts that do not take part
// are remembered in the run state and rewritten by RewriteExcludedContacts.
void LoadOutlookContacts(RunContext& context);

// Once all three stores have loaded: writes "No" to User2 and empties User3
// and User4 of every contact that does not take part, and saves it.
void RewriteExcludedContacts(RunContext& context);

// Appends to `set` the record built from one contact item.
SyncObject& ImportOutlookData(SyncSet& set, const ContactItem& item, const std::string& nameField);

// True when the inclusion flag (User2), in upper case, is "Y" or "YES".
bool IsIncluded(const std::string& user2);

// The digits 0 to 9 of `text`, in order.
std::string DigitsOnly(const std::string& text);

}  // namespace twinbook
