#include "engine_fixture.h"

namespace twinbook::testing {

void Seed(SyncSet& set, const std::vector<SyncObject>& records) {
  for (const SyncObject& record : records) {
    set.Append() = record;
  }
}

std::vector<SyncObject> RecordsOf(const SyncSet& set) {
  return std::vector<SyncObject>(set.begin(), set.end());
}

std::vector<std::string> FlagsOf(const SyncSet& set) {
  std::vector<std::string> flags;
  for (const SyncObject& record : set) {
    flags.push_back(record.Flag);
  }
  return flags;
}

EngineTest::EngineTest() {
  fake.settings.Set("LogPath", log);
  ResetSyncState(state, fake.settings);
}

std::vector<std::string> EngineTest::LogLines() const {
  return ReadCrLfLines(log);
}

}  // namespace twinbook::testing
