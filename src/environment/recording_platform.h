#pragma once

#include <memory>

#include "platform/contacts_folder.h"
#include "platform/database.h"

namespace twinbook {

class RunBackup;

// The stores a run writes through, so that its backup catches every write:
// each database Update() and Delete() first makes the backup (on the
// run's first write), each card about to be saved over or deleted is first
// copied into it, and each card created, changed or deleted is recorded with
// its file name (a deleted card with the name it got in ".deleted").
// Everything else passes straight through. `backup` must outlive them.
std::unique_ptr<DatabaseEngine> RecordingDatabases(DatabaseEngine& inner, RunBackup& backup);
std::unique_ptr<ContactStore> RecordingContacts(ContactStore& inner, RunBackup& backup);

}  // namespace twinbook
