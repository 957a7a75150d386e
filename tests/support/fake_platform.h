#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/memory_settings_store.h"

namespace twinbook::testing {

// A launcher that starts nothing: it records what it was asked to start and
// plays a program that ends after a set number of one-interval waits.
class FakeLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<RunningProcess> Start(const std::string& program) override;
  bool StartDetached(const std::string& program) override;

  bool canStart = true;
  int waitsBeforeExit = 0;  // WaitForExit calls answered "still running"
  std::vector<std::string> started;
  std::vector<std::string> startedDetached;
  int waits = 0;
};

// Stores for tests that must not touch any: every open fails, naming the path.
class NoDatabases : public DatabaseEngine {
 public:
  std::unique_ptr<Database> OpenDatabase(const std::string& path) override {
    throw DatabaseError("No database in this test: " + path);
  }
};
class NoContacts : public ContactStore {
 public:
  std::unique_ptr<ContactsFolder> OpenFolder(const std::string& path) override {
    throw ContactsError("No contacts folder in this test: " + path);
  }
};

// A Platform made of the fakes above, with public parts a test can adjust.
struct FakePlatform {
  NoDatabases databases;
  NoContacts contacts;
  MemorySettingsStore settings;
  FakeLauncher launcher;
  Platform platform{databases, contacts, settings, launcher};
};

}  // namespace twinbook::testing
