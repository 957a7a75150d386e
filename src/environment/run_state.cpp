#include "environment/run_state.h"

namespace twinbook {

void ResetSyncState(RunState& state, SettingsStore& store) {
  ClearSet(state.OutlookSet);
  ClearSet(state.PhoneBookSet);
  ClearSet(state.SyncDatabaseSet);
  state.ExcludedContacts.clear();
  state.LoadedContacts.reset();
  state.PhoneBookWriteFailed.clear();
  state.ConflictOutlookIndex = 0;
  state.ConflictPhoneBookIndex = 0;
  state.ConflictSyncIndex = 0;
  state.NewFirstName.clear();
  state.NewLastName.clear();
  state.NewFileAs.clear();
  state.ManagerPath = DefaultManagerPath(state.ManagerFolder());
  state.settings = LoadSettingsWithDefaultsIn(store, state.DataFolder());
}

}  // namespace twinbook
