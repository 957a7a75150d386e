#include "environment/run_state.h"

#include <gtest/gtest.h>

#include "support/memory_settings_store.h"

namespace twinbook {
namespace {

// NewFullName is the one name-prompt result a reset leaves alone.
TEST(ResetSyncStateTest, EmptiesTheRunAndReloadsTheSettings) {
  testing::MemorySettingsStore store;
  store.Set("NameField", "Full Name");
  RunState state("/opt/tb");
  for (SyncSet* set : {&state.OutlookSet, &state.PhoneBookSet, &state.SyncDatabaseSet}) {
    set->Append();
  }
  state.ConflictOutlookIndex = state.ConflictPhoneBookIndex = state.ConflictSyncIndex = 1;
  state.NewFirstName = state.NewLastName = state.NewFileAs = "A";
  state.NewFullName = "D";

  ResetSyncState(state, store);

  EXPECT_EQ(state.OutlookSet.Count() + state.PhoneBookSet.Count() + state.SyncDatabaseSet.Count(),
            0);
  EXPECT_EQ(state.ConflictOutlookIndex + state.ConflictPhoneBookIndex + state.ConflictSyncIndex, 0);
  EXPECT_EQ(state.NewFirstName + state.NewLastName + state.NewFileAs, "");
  EXPECT_EQ(state.NewFullName, "D");
  EXPECT_EQ(state.ManagerPath, "/opt/tb/idenpm.exe");
  EXPECT_EQ(state.settings.NameField, "Full Name");
}

}  // namespace
}  // namespace twinbook
