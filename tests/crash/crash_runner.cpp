// One run of the Changes scenario's user over a Data folder with the real
// stores, in a process of its own, so that a test can kill it at any moment:
//   twinbook_crash_runner DATA_FOLDER
// Exits 0 when the run completed, 1 otherwise.
#include "crash/crash_scenarios.h"
#include "engine/start_sync.h"

int main(int argc, char** argv) {
  using namespace twinbook;
  SqliteDatabaseEngine databases;
  VCardContactStore contacts;
  testing::MemorySettingsStore settings;
  settings.PointAtDataFolder(argc == 2 ? argv[1] : "");
  testing::FakeLauncher launcher;
  Platform platform{databases, contacts, settings, launcher};
  RunState state(argv[0]);
  testing::AnsweringView view(testing::CrashScenarios().front().keep);
  RunContext context{state, view, platform};
  StartSync(context);
  return view.status() == kStatusComplete && view.messages.empty() ? 0 : 1;
}
