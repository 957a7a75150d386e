#include "environment/run_state.h"

#include <gtest/gtest.h>

#include "support/memory_settings_store.h"

namespace twinbook {
namespace {

TEST(ResetSyncStateTest, EmptiesTheRunAndReloadsTheSettings) {
  testing::MemorySettingsStore store;
  store.Set("NameField", "Full Name");
  RunState state("/opt/tb");
  for (SyncSet* set : {&state.OutlookSet, &state.PhoneBookSet, &state.SyncDatabaseSet}) {
    set->Append();
    set->Append();
  }
  state.ConflictOutlookIndex = 1;
  state.ConflictPhoneBookIndex = 2;
  state.ConflictSyncIndex = 3;
  state.NewFirstName = "A";
  state.NewLastName = "B";
  state.NewFileAs = "C";
  state.NewFullName = "D";

  ResetSyncState(state, store);

  EXPECT_EQ(state.OutlookSet.Count(), 0);
  EXPECT_EQ(state.PhoneBookSet.Count(), 0);
  EXPECT_EQ(state.SyncDatabaseSet.Count(), 0);
  EXPECT_EQ(state.ConflictOutlookIndex, 0);
  EXPECT_EQ(state.ConflictPhoneBookIndex, 0);
  EXPECT_EQ(state.ConflictSyncIndex, 0);
  EXPECT_EQ(state.NewFirstName, "");
  EXPECT_EQ(state.NewLastName, "");
  EXPECT_EQ(state.NewFileAs, "");
  EXPECT_EQ(state.NewFullName, "D");
  EXPECT_EQ(state.ManagerPath, "/opt/tb/idenpm.exe");
  EXPECT_EQ(state.settings.NameField, "Full Name");
}

}  // namespace
}  // namespace twinbook
