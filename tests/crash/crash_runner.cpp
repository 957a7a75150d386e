// One whole run of the Large scenario (crash_scenarios.h) over a Data folder
// with the real stores, in a process of its own, so that a test can kill it
// at any moment:
//
//   twinbook_crash_runner DATA_FOLDER COUNT
//
// Exits 0 when the run completed, 1 when it ended otherwise (the reason on
// standard error), 2 on wrong arguments.

#include <exception>
#include <iostream>

#include "crash/crash_scenarios.h"
#include "engine/start_sync.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/fake_platform.h"
#include "support/memory_settings_store.h"

namespace {

using namespace twinbook;

int Run(const std::string& data, int count) {
  const testing::Scenario scenario = testing::LargeScenario(count);
  SqliteDatabaseEngine databases;
  VCardContactStore contacts;
  testing::MemorySettingsStore settings;
  settings.PointAtDataFolder(data);
  testing::FakeLauncher launcher;
  Platform platform{databases, contacts, settings, launcher};
  RunState state(data);
  testing::AnsweringView view = scenario.MakeView();
  RunContext context{state, view, platform};
  StartSync(context);
  if (view.status() != kStatusComplete || !view.messages.empty()) {
    std::cerr << view.status() << "\n";
    for (const std::string& message : view.messages) {
      std::cerr << message << "\n";
    }
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "Usage: twinbook_crash_runner DATA_FOLDER COUNT\n";
    return 2;
  }
  try {
    return Run(argv[1], std::stoi(argv[2]));
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
}
