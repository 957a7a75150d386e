#pragma once

#include "platform/contacts_folder.h"
#include "platform/database.h"
#include "platform/file_system.h"
#include "platform/process_launcher.h"
#include "platform/settings_store.h"

namespace twinbook {

// The platform pieces a run needs, each behind its interface so that tests
// and other platforms can supply their own.
struct Platform {
  DatabaseEngine& databases;
  ContactStore& contacts;
  SettingsStore& settings;
  ProcessLauncher& launcher;
  // The files around the stores: the backup of each run, its undo and the
  // lock that lets one run at a time work on the stores. Without it (tests
  // of the run's decisions over stores in memory) runs keep no backup and
  // take no lock, and there is nothing to undo.
  FileSystem* files = nullptr;
};

}  // namespace twinbook
