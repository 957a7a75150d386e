// One whole run over a Data folder with the real stores and a view that
// answers every dialog as the scenario says, in a process of its own, so
// that a test can kill it at any moment:
//
//   twinbook_crash_runner DATA_FOLDER SCENARIO [COUNT]
//
// SCENARIO names one of crash_scenarios.h; COUNT is the size of "Large".
// Exits 0 when the run completed, 1 when it ended otherwise (the reason on
// standard error), 2 on wrong arguments.

#include <exception>
#include <iostream>

#include "crash/crash_scenarios.h"
#include "engine/start_sync.h"
#include "platform/sqlite_database.h"
#include "platform/vcard_contact_store.h"
#include "support/fake_platform.h"
#include "support/memory_settings_store.h"

namespace {

using namespace twinbook;

int Run(const std::string& data, const std::string& scenarioName, int count) {
  testing::Scenario scenario;
  for (testing::Scenario (*make)() :
       {&testing::FirstRunScenario, &testing::ChangesScenario, &testing::SampleDataScenario}) {
    if (make().name == scenarioName) {
      scenario = make();
    }
  }
  if (scenarioName == "Large") {
    scenario = testing::LargeScenario(count);
  }
  if (scenario.name.empty()) {
    std::cerr << "Unknown scenario " << scenarioName << "\n";
    return 2;
  }

  SqliteDatabaseEngine databases;
  VCardContactStore contacts;
  testing::MemorySettingsStore settings;
  settings.Set("PhoneBookPath", data + "/PhoneBook.mdb");
  settings.Set("SyncPath", data + "/Twinbook.mdb");
  settings.Set("LogPath", data + "/SyncLog.txt");
  settings.Set("ContactsPath", data + "/Contacts");
  settings.Set("PMBefore", "False");
  settings.Set("PMAfter", "False");
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
  if (argc != 3 && argc != 4) {
    std::cerr << "Usage: twinbook_crash_runner DATA_FOLDER SCENARIO [COUNT]\n";
    return 2;
  }
  try {
    return Run(argv[1], argv[2], argc == 4 ? std::stoi(argv[3]) : 0);
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
}
