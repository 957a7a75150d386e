#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "environment/run_context.h"
#include "support/fake_platform.h"
#include "support/scripted_view.h"
#include "support/temp_dir.h"

// The deciding phases written plainly from their outcome tables: every lookup
// a walk over the whole set, every free ID and slot searched from 1. The
// record comparisons and copies and the conflict answer are the program's.
namespace twinbook::reference {

using Field = RecordText SyncObject::*;
// The nine entries, number and speed dial, in the order speed dials are handed out.
extern const std::pair<Field, Field> kEntries[9];
// AssignContactIDs .. SyncNewItems, in run order.
extern const std::array<void (*)(RunContext&), 7> kDecidingPhases;
int FindSpeedDialOwner(const std::string& speed, const SyncSet& set);

}  // namespace twinbook::reference

namespace twinbook::testing {

// ID, name, flag and entries "m=5551:3" (number 5551, speed dial 3) of the
// kinds d(c) f(ax) h(ome) m(obile) o(ther) p(ager) w(ork1) x (work2) e(-mail).
inline SyncObject R(std::string id, std::string name, std::string flag = "",
                    std::vector<std::string> entries = {}) {
  SyncObject r;
  r.ContactID = std::move(id);
  r.ContactName = std::move(name);
  r.Flag = std::move(flag);
  for (const std::string& entry : entries) {
    const auto [number, speed] = reference::kEntries[std::string("dfhmopwxe").find(entry[0])];
    const size_t colon = entry.find(':');
    r.*number = entry.substr(2, colon - 2);
    r.*speed = colon == std::string::npos ? "" : entry.substr(colon + 1);
  }
  return r;
}

// A run state over three seeded sets, with its own log, user and stores.
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
