// twinbook_client_sync DATAFOLDER
//
// One whole synchronisation run over DATAFOLDER (PhoneBook.mdb, Twinbook.mdb,
// SyncLog.txt and the Contacts folder in it) with the program's real stores,
// for the tests that put other vCard programs (khard, vdirsyncer, a CardDAV
// server) on the other side of the contacts folder. The PhoneBook Manager is
// not started.
//
// No one sits at this run, so the dialogs answer themselves as a user who
// trusts the desktop would: a conflict keeps the desktop's version, and the
// name prompt is confirmed, with the first and last names filled from a
// "Last, First" name when they are empty, so that vCard programs, which show
// FN and N, show the person's name rather than the filing name.
//
// Prints what was shown and answered. Exits 0 when the run completed; 1 with
// the activity log on stderr when it did not; 2 for a wrong command line.

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "engine/start_sync.h"
#include "environment/run_state.h"
#include "environment/user_view.h"
#include "platform/platform.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/fake_platform.h"
#include "support/memory_settings_store.h"

namespace twinbook {
namespace {

// Answers every dialog at once and echoes it, so a failing test's output
// tells what the run asked.
class AnsweringView : public UserView {
 public:
  void SetStatus(const std::string& text) override { status = text; }
  void HidePhaseLabels() override {}
  void ShowPhaseStart(Phase) override {}
  void ShowPhaseDone(Phase) override {}
  void ShowMessage(const std::string& text) override { std::cout << "message: " << text << "\n"; }

  std::optional<ConflictAnswer> AskConflict(const ConflictQuestion& question) override {
    std::cout << "conflict: " << question.phoneBook.ContactName
              << ": keeping the desktop's version\n";
    return ConflictAnswer{ConflictAnswer::Keep::Outlook, question.outlook};
  }

  std::optional<NameValues> AskNewName(const NameValues& proposal,
                                       const std::string& nameField) override {
    NameValues answer = proposal;
    const std::string& name = nameField == "Full Name" ? proposal.FullName : proposal.FileAs;
    const size_t comma = name.find(", ");
    if (answer.FirstName.empty() && answer.LastName.empty() && comma != std::string::npos) {
      answer.LastName = name.substr(0, comma);
      answer.FirstName = name.substr(comma + 2);
    }
    if (answer.FullName.empty() && !answer.FirstName.empty()) {
      answer.FullName = answer.FirstName + " " + answer.LastName;
    }
    std::cout << "name prompt: first '" << answer.FirstName << "', last '" << answer.LastName
              << "', full '" << answer.FullName << "', file as '" << answer.FileAs << "'\n";
    return answer;
  }

  void ProcessEvents() override {}
  bool QuitRequested() const override { return false; }

  std::string status;
};

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int Run(std::string data) {
  data = std::filesystem::absolute(data).lexically_normal().string();
  while (data.size() > 1 && data.back() == '/') {
    data.pop_back();
  }
  if (!std::filesystem::is_directory(data)) {
    std::cerr << "twinbook_client_sync: no Data folder at " << data << "\n";
    return 2;
  }
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

  if (view.status != kStatusComplete || !launcher.started.empty()) {
    std::cerr << "The run did not complete: " << view.status << "\n--- " << data << "/SyncLog.txt\n"
              << ReadWhole(data + "/SyncLog.txt") << "---\n";
    return 1;
  }
  std::cout << view.status << "\n";
  return 0;
}

}  // namespace
}  // namespace twinbook

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "Usage: twinbook_client_sync DATAFOLDER\n";
    return 2;
  }
  try {
    return twinbook::Run(argv[1]);
  } catch (const std::exception& error) {
    std::cerr << "twinbook_client_sync: " << error.what() << "\n";
    return 1;
  }
}
