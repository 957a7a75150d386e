// One whole run of the Large scenario over a Data folder with the real
// stores, in a process of its own, so that a test can kill it at any moment:
//   twinbook_crash_runner DATA_FOLDER COUNT
// Exits 0 when the run completed, 1 otherwise.
#include "crash/crash_scenarios.h"
#include "engine/start_sync.h"

int main(int argc, char** argv) {
  using namespace twinbook;
  if (argc != 3) {
    return 1;
  }
  SqliteDatabaseEngine databases;
  VCardContactStore contacts;
  testing::MemorySettingsStore settings;
  settings.PointAtDataFolder(argv[1]);
  testing::FakeLauncher launcher;
  Platform platform{databases, contacts, settings, launcher};
  RunState state(argv[1]);
  testing::AnsweringView view(testing::LargeScenario(std::stoi(argv[2])).keep);
  RunContext context{state, view, platform};
  StartSync(context);
  return view.status() == kStatusComplete && view.messages.empty() ? 0 : 1;
}
