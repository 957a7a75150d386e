#pragma once

#include "platform/contacts_folder.h"
#include "platform/database.h"
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
};

}  // namespace twinbook
