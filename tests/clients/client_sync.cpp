// twinbook_client_sync DATAFOLDER: one whole run over the real stores, the
// manager not started, a conflict left unanswered; the name prompt takes the
// names from "Last, First" as vCard programs show N. Exits 1 unless it completed.
#include <filesystem>

#include "engine/start_sync.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/fake_platform.h"
#include "support/memory_settings_store.h"
#include "support/scripted_view.h"

namespace twinbook {

class AnsweringView : public testing::ScriptedView {
  std::optional<NameValues> AskNewName(const NameValues& proposal, const std::string&) override {
    NameValues answer = proposal;
    const size_t comma = proposal.FileAs.find(", ");
    if (answer.FirstName.empty() && answer.LastName.empty() && comma != std::string::npos) {
      answer.LastName = proposal.FileAs.substr(0, comma);
      answer.FirstName = proposal.FileAs.substr(comma + 2);
    }
    if (answer.FullName.empty() && !answer.FirstName.empty())
      answer.FullName = answer.FirstName + " " + answer.LastName;
    return answer;
  }
};

}  // namespace twinbook

int main(int argc, char* argv[]) {
  using namespace twinbook;
  const std::string data = std::filesystem::absolute(argc == 2 ? argv[1] : "").string();
  testing::MemorySettingsStore settings;
  settings.PointAtDataFolder(data);
  SqliteDatabaseEngine databases;
  VCardContactStore contacts;
  testing::FakeLauncher launcher;
  Platform platform{databases, contacts, settings, launcher};
  RunState state(std::filesystem::path(data).parent_path().string());
  AnsweringView view;
  RunContext context{state, view, platform};
  ResetSyncState(state, settings);
  StartSync(context);
  return view.status() == kStatusComplete ? 0 : 1;
}
