// The engine against the reference over random sets from tiny pools (shared
// names and IDs, "01" beside "1", empty values, shortened names, deletions,
// conflicts answered every way), now and then a first run that grows the indexes.
#include <gtest/gtest.h>

#include <random>

#include "engine/change_flags.h"
#include "engine/contact_ids.h"
#include "engine/reconcile.h"
#include "engine/speed_dials.h"
#include "reference_engine.h"

namespace twinbook {
namespace {

using testing::EngineSide;

const std::string kLongName = "Alexandria Montgomery-Smythe Jr";  // the phone keeps 22
const std::string kCutName = kLongName.substr(0, 22);

struct Draw {
  std::mt19937 random;
  std::string Pick(const std::vector<std::string>& pool) { return pool[random() % pool.size()]; }
  bool Chance(unsigned percent) { return random() % 100 < percent; }

  SyncObject Record() {
    SyncObject r = testing::R(Pick({"", "1", "2", "3", "01", "4", "7"}),
                              Pick({"Ann", "Ann", "ann", "Ann ", "Bob", "", kLongName, kCutName}));
    for (auto [number, speed] : reference::kEntries) {
      r.*number = Pick({"", "", "", "5551", "5552"});
      r.*speed = Pick({"", "", "", "", "1", "2", "3", "01", "5"});
    }
    return r;
  }
  // Contacts spread over the three stores, each copy often alike, else
  // changed a little.
  void Stores(std::vector<SyncObject> stores[3]) {
    const bool firstRun = Chance(8);
    for (int i = firstRun ? 24 + random() % 8 : random() % 10; i > 0; --i) {
      SyncObject base = Record();
      base.ContactID = firstRun && Chance(90) ? std::to_string(i) : base.ContactID.str();
      for (int store = 0; store < 3; ++store) {
        if (Chance(store == 0 ? 70 : store == 1 || !firstRun ? 60 : 0)) {
          SyncObject& r = stores[store].emplace_back(base);
          r.MobileNumber = Chance(20) ? Pick({"", "5551", "5553"}) : r.MobileNumber.str();
          r.FaxSpeed = Chance(15) ? Pick({"", "2", "4"}) : r.FaxSpeed.str();
          r.ContactName = Chance(10) ? Pick({"Ann", "Dee", kCutName}) : r.ContactName.str();
        }
      }
    }
  }
  // Either button, the boxes possibly edited, or the dialog closed.
  void Script(EngineSide& a, EngineSide& b) {
    for (int i = 0; i < 12; ++i) {
      const unsigned kind = random() % 6;
      const std::string edit = Pick({"5559", "", kCutName});
      auto answer = [kind, edit](const ConflictQuestion& q) -> std::optional<ConflictAnswer> {
        ConflictAnswer a{
            kind % 2 == 0 ? ConflictAnswer::Keep::Outlook : ConflictAnswer::Keep::PhoneBook,
            kind % 2 == 0 ? q.outlook : q.phoneBook};
        if (kind == 2 || kind == 3) {
          (kind == 2 ? a.values.HomeNumber : a.values.ContactName) = edit;
        }
        return kind < 4 ? std::optional(a) : std::nullopt;
      };
      a.view.conflictScript.push_back(answer);
      b.view.conflictScript.push_back(answer);
    }
  }
};

TEST(EngineEquivalence, DecidingPhasesAgreeWithTheReferenceFromLoadedStores) {
  const std::vector<void (*)(RunContext&)> engine = {
      AssignContactIDs,  FlagDeletedItems,  FlagNewItems, AssignSpeedDials,
      FlagModifiedItems, SyncModifiedItems, SyncNewItems};
  size_t conflicts = 0;
  int deletions = 0;
  for (unsigned seed = 1; seed <= 600 && !::testing::Test::HasFailure(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::vector<SyncObject> stores[3];
    Draw draw{std::mt19937(seed)};
    draw.Stores(stores);
    EngineSide a(stores[0], stores[1], stores[2]), b(stores[0], stores[1], stores[2]);
    draw.Script(a, b);
    EXPECT_EQ(a.Run(engine), b.Run(reference::kDecidingPhases));
    for (auto set : {&RunState::OutlookSet, &RunState::PhoneBookSet, &RunState::SyncDatabaseSet}) {
      EXPECT_EQ(std::vector((a.state.*set).begin(), (a.state.*set).end()),
                std::vector((b.state.*set).begin(), (b.state.*set).end()));
    }
    EXPECT_EQ(a.Log(), b.Log());
    ASSERT_EQ(a.view.conflictsAsked.size(), b.view.conflictsAsked.size());
    for (size_t i = 0; i < a.view.conflictsAsked.size(); ++i) {
      EXPECT_EQ(a.view.conflictsAsked[i].outlook, b.view.conflictsAsked[i].outlook);
      EXPECT_EQ(a.view.conflictsAsked[i].phoneBook, b.view.conflictsAsked[i].phoneBook);
    }
    for (auto index : {&RunState::ConflictOutlookIndex, &RunState::ConflictPhoneBookIndex,
                       &RunState::ConflictSyncIndex}) {
      EXPECT_EQ(a.state.*index, b.state.*index);
    }
    for (const char* slot : {"", "1", "01", "2", "5", "9"}) {
      EXPECT_EQ(FindSpeedDialOwner(slot, a.state.OutlookSet),
                reference::FindSpeedDialOwner(slot, a.state.OutlookSet));
    }
    conflicts += a.view.conflictsAsked.size();
    for (const SyncObject& r : a.state.SyncDatabaseSet) {
      deletions += r.Flag == "D";
    }
  }
  // The draw must reach the interesting cases, or the comparison says little.
  EXPECT_GT(conflicts, 60u);
  EXPECT_GT(deletions, 60);
}

}  // namespace
}  // namespace twinbook
