#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "environment/settings.h"
#include "model/sync_set.h"
#include "platform/contacts_folder.h"
#include "platform/program_folders.h"
#include "platform/settings_store.h"

namespace twinbook {

// Everything a run shares between its phases and dialogs: the three contact
// sets, the settings, the positions of the contact shown in the conflict
// dialog and the names confirmed in the name change prompt. The program owns
// one and hands it to every routine; nothing of it is global.
struct RunState {
  // A program in the portable layout: its data in the Data folder beside it.
  explicit RunState(std::string programFolder) : ProgramFolder(std::move(programFolder)) {}
  // The layout main() decided; the state itself never looks at the disk.
  explicit RunState(const ProgramFolders& folders)
      : ProgramFolder(folders.program),
        layout(folders.layout),
        UserDataFolder(folders.layout == Layout::kInstalled ? folders.data : "") {}

  // The folder of the running program, without a trailing separator.
  std::string ProgramFolder;
  Layout layout = Layout::kPortable;
  // The user's own data folder; used in the installed layout only.
  std::string UserDataFolder;

  // Where the databases, the log and the contacts folder are by default:
  // ProgramFolder + "/Data" in the portable layout, else UserDataFolder.
  std::string DataFolder() const {
    return layout == Layout::kPortable ? ProgramFolder + "/Data" : UserDataFolder;
  }
  // Where the PhoneBook Manager is by default: the program folder in the
  // portable layout, the data folder otherwise (a system-wide program folder
  // is root's, and shared by every user).
  std::string ManagerFolder() const {
    return layout == Layout::kPortable ? ProgramFolder : UserDataFolder;
  }

  SyncSet OutlookSet;
  SyncSet PhoneBookSet;
  SyncSet SyncDatabaseSet;

  Settings settings;

  // Positions of the contact shown in the conflict dialog. Plain ints: a
  // conflict far down a large set must still name the right records.
  int ConflictOutlookIndex = 0;
  int ConflictPhoneBookIndex = 0;
  int ConflictSyncIndex = 0;

  std::string NewFirstName;
  std::string NewLastName;
  std::string NewFileAs;
  std::string NewFullName;

  std::string ManagerPath;

  // Contacts found not taking part while loading, with the folder they came
  // from. They are rewritten as excluded only once all three stores have
  // loaded, so that a run stopped by bad input writes nothing.
  std::unique_ptr<ContactsFolder> LoadedContacts;
  std::vector<std::unique_ptr<ContactItem>> ExcludedContacts;

  // Contacts whose change the phone book did not take in this run. Their
  // sync rows are left as they were, so the next run tries again.
  std::set<std::string> PhoneBookWriteFailed;

  // Set while StartSync runs, so that a second Start (possible while the run
  // waits for the PhoneBook Manager or shows a dialog) is refused.
  bool RunInProgress = false;
};

// Empties the three sets, clears the conflict positions and the new names
// (NewFullName keeps its value), sets ManagerPath (in ManagerFolder()) and
// reloads the settings, whose paths default to DataFolder().
void ResetSyncState(RunState& state, SettingsStore& store);

}  // namespace twinbook
