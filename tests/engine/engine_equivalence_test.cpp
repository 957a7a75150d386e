// The indexed engine against the reference transcription of the deciding
// phases, over many small random sets drawn from tiny pools, so that shared
// names and IDs, "01" beside "1", empty values, names the phone shortens,
// duplicates, deletions and conflicts answered every way all occur.
#include <gtest/gtest.h>

#include <random>

#include "engine_fixture.h"
#include "reference_engine.h"

namespace twinbook {
namespace {

using testing::EngineSide;
using testing::RecordsOf;
using Routines = std::vector<void (*)(RunContext&)>;

const std::string kLongName = "Alexandria Montgomery-Smythe Jr";  // the phone keeps 22
const std::string kCutName = kLongName.substr(0, 22);

struct Draw {
  std::mt19937 random;
  std::string Pick(const std::vector<std::string>& pool) { return pool[random() % pool.size()]; }
  bool Chance(unsigned percent) { return random() % 100 < percent; }

  SyncObject Record() {
    SyncObject r = testing::R(Pick({"", "1", "2", "3", "01", "4", "7"}),
                              Pick({"Ann", "Ann", "ann", "Ann ", "Bob", "", kLongName, kCutName}));
    for (auto number :
         {&SyncObject::Work2Number, &SyncObject::DCNumber, &SyncObject::HomeNumber,
          &SyncObject::Work1Number, &SyncObject::MobileNumber, &SyncObject::FaxNumber,
          &SyncObject::PagerNumber, &SyncObject::OtherNumber, &SyncObject::EmailAddress}) {
      r.*number = Pick({"", "", "", "5551", "5552"});
    }
    for (auto speed : {&SyncObject::Work2Speed, &SyncObject::DCSpeed, &SyncObject::HomeSpeed,
                       &SyncObject::Work1Speed, &SyncObject::MobileSpeed, &SyncObject::FaxSpeed,
                       &SyncObject::PagerSpeed, &SyncObject::OtherSpeed, &SyncObject::EmailSpeed}) {
      r.*speed = Pick({"", "", "", "", "1", "2", "3", "01", "5"});
    }
    return r;
  }
  // Up to nine contacts spread over the three stores, each store's copy
  // often alike, else changed a little.
  void Stores(const std::vector<std::string>& flags, std::vector<SyncObject> stores[3]) {
    for (int i = random() % 10; i > 0; --i) {
      const SyncObject base = Record();
      for (int store = 0; store < 3; ++store) {
        if (Chance(store == 0 ? 70 : 60)) {
          SyncObject& r = stores[store].emplace_back(base);
          r.MobileNumber = Chance(20) ? Pick({"", "5551", "5553"}) : r.MobileNumber;
          r.FaxSpeed = Chance(15) ? Pick({"", "2", "4"}) : r.FaxSpeed;
          r.ContactName = Chance(10) ? Pick({"Ann", "Dee", kCutName}) : r.ContactName;
          r.Flag = Pick(flags);
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

// Runs both over the same random sets; returns the conflicts asked and the
// deletions found.
std::pair<size_t, int> Compare(unsigned seed, const std::vector<std::string>& flags,
                               const Routines& engine, const Routines& reference) {
  std::vector<SyncObject> stores[3];
  Draw draw{std::mt19937(seed)};
  draw.Stores(flags, stores);
  EngineSide a(stores[0], stores[1], stores[2]), b(stores[0], stores[1], stores[2]);
  draw.Script(a, b);
  EXPECT_EQ(a.Run(engine), b.Run(reference));
  for (auto set : {&RunState::OutlookSet, &RunState::PhoneBookSet, &RunState::SyncDatabaseSet}) {
    EXPECT_EQ(RecordsOf(a.state.*set), RecordsOf(b.state.*set));
  }
  EXPECT_EQ(a.Log(), b.Log());
  std::vector<ConflictBoxes> asked[2];
  for (int i : {0, 1}) {
    for (const ConflictQuestion& q : (i == 0 ? a : b).view.conflictsAsked) {
      asked[i].insert(asked[i].end(), {q.outlook, q.phoneBook});
    }
  }
  EXPECT_EQ(asked[0], asked[1]);
  EXPECT_EQ(std::tie(a.state.ConflictOutlookIndex, a.state.ConflictPhoneBookIndex,
                     a.state.ConflictSyncIndex),
            std::tie(b.state.ConflictOutlookIndex, b.state.ConflictPhoneBookIndex,
                     b.state.ConflictSyncIndex));
  for (const char* slot : {"", "1", "01", "2", "5", "9"}) {
    EXPECT_EQ(FindSpeedDialOwner(slot, a.state.OutlookSet),
              reference::FindSpeedDialOwner(slot, a.state.OutlookSet));
  }
  int deletions = 0;
  for (const SyncObject& r : a.state.SyncDatabaseSet) {
    deletions += r.Flag == "D";
  }
  return {asked[0].size() / 2, deletions};
}

// The whole deciding part of a run, from stores as the loaders give them.
TEST(EngineEquivalence, DecidingPhasesAgreeWithTheReferenceFromLoadedStores) {
  size_t conflicts = 0;
  int deletions = 0;
  for (unsigned seed = 1; seed <= 600 && !::testing::Test::HasFailure(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto [asked, deleted] =
        Compare(seed, {""}, {testing::kEnginePhases.begin(), testing::kEnginePhases.end()},
                {reference::kDecidingPhases.begin(), reference::kDecidingPhases.end()});
    conflicts += asked;
    deletions += deleted;
  }
  // The draw must reach the interesting cases, or the comparison says little.
  EXPECT_GT(conflicts, 60u);
  EXPECT_GT(deletions, 60);
}

// Each routine alone on records carrying any flag, errors included.
TEST(EngineEquivalence, EachRoutineAgreesWithTheReferenceOnFlaggedSets) {
  for (size_t routine = 0; routine < 7; ++routine) {
    for (unsigned seed = 1; seed <= 150 && !::testing::Test::HasFailure(); ++seed) {
      SCOPED_TRACE("routine " + std::to_string(routine) + ", seed " + std::to_string(seed));
      Compare(seed * 31 + routine, {"", "", "", "D", "M", "N", "I", "S", "W", "C"},
              {testing::kEnginePhases[routine]}, {reference::kDecidingPhases[routine]});
    }
  }
}

}  // namespace
}  // namespace twinbook
