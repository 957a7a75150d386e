#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/change_flags.h"
#include "engine/contact_ids.h"
#include "engine/reconcile.h"
#include "engine/speed_dials.h"
#include "support/fake_platform.h"
#include "support/scripted_view.h"
#include "support/temp_dir.h"

namespace twinbook::testing {

// A record as the tables write it: ID, name, flag, then entries "m=5551:3"
// (number 5551 with speed dial 3) of the kinds m(obile) h(ome) w(ork) e(-mail).
inline SyncObject R(std::string id, std::string name, std::string flag = "",
                    std::vector<std::string> entries = {}) {
  SyncObject r;
  r.ContactID = std::move(id);
  r.ContactName = std::move(name);
  r.Flag = std::move(flag);
  for (const std::string& entry : entries) {
    using F = std::string SyncObject::*;
    const std::pair<F, F> kinds[] = {{&SyncObject::MobileNumber, &SyncObject::MobileSpeed},
                                     {&SyncObject::HomeNumber, &SyncObject::HomeSpeed},
                                     {&SyncObject::Work1Number, &SyncObject::Work1Speed},
                                     {&SyncObject::EmailAddress, &SyncObject::EmailSpeed}};
    const auto [number, speed] = kinds[std::string("mhwe").find(entry[0])];
    const size_t colon = entry.find(':');
    r.*number = entry.substr(2, colon - 2);
    r.*speed = colon == std::string::npos ? "" : entry.substr(colon + 1);
  }
  return r;
}

inline const std::array<void (*)(RunContext&), 7> kEnginePhases = {
    AssignContactIDs,  FlagDeletedItems,  FlagNewItems, AssignSpeedDials,
    FlagModifiedItems, SyncModifiedItems, SyncNewItems};

inline std::vector<SyncObject> RecordsOf(const SyncSet& set) {
  return {set.begin(), set.end()};
}

// One run state over three seeded sets, with its own log, scripted user and
// fake stores, for calling phase routines.
struct EngineSide {
  EngineSide(const std::vector<SyncObject>& outlook, const std::vector<SyncObject>& phoneBook,
             const std::vector<SyncObject>& sync) {
    fake.settings.Set("LogPath", log);
    ResetSyncState(state, fake.settings);
    for (auto [records, set] : {std::pair{&outlook, &state.OutlookSet},
                                {&phoneBook, &state.PhoneBookSet},
                                {&sync, &state.SyncDatabaseSet}}) {
      for (const SyncObject& record : *records) {
        set->Append() = record;
      }
    }
  }
  // Runs the routines in order; the message of an error that ends them.
  template <typename Routines>
  std::string Run(const Routines& routines) {
    try {
      for (auto routine : routines) {
        routine(context);
      }
    } catch (const std::exception& error) {
      return error.what();
    }
    return "";
  }
  std::vector<std::string> Log() const {
    return std::filesystem::exists(log) ? ReadCrLfLines(log) : std::vector<std::string>{};
  }

  TempDir dir;
  const std::string log = dir / "SyncLog.txt";
  FakePlatform fake;
  ScriptedView view;
  RunState state{"/opt/tb"};
  RunContext context{state, view, fake.platform};
};

}  // namespace twinbook::testing
