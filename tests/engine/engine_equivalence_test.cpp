// The indexed engine against the plain transcriptions of its algorithms, over
// many small random sets drawn from tiny pools, so that shared names and IDs,
// "01" beside "1", empty values, duplicates and deletions all occur.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>

#include "engine/change_flags.h"
#include "engine/contact_ids.h"
#include "engine/reconcile.h"
#include "engine/speed_dials.h"
#include "engine_fixture.h"
#include "reference_engine.h"

namespace twinbook {
namespace {

using testing::FakePlatform;
using testing::ReadCrLfLines;
using testing::RecordsOf;
using testing::ScriptedView;
using testing::Seed;
using testing::TempDir;

using Routine = void (*)(RunContext&);

struct Phases {
  std::vector<Routine> engine;
  std::vector<Routine> reference;
};

const Phases kDecidingPhases = {
    {AssignContactIDs, FlagDeletedItems, FlagNewItems, AssignSpeedDials, FlagModifiedItems,
     SyncModifiedItems, SyncNewItems},
    {reference::AssignContactIDs, reference::FlagDeletedItems, reference::FlagNewItems,
     reference::AssignSpeedDials, reference::FlagModifiedItems, reference::SyncModifiedItems,
     reference::SyncNewItems}};

const std::string kLongName = "Alexandria Montgomery-Smythe Jr";  // 31 characters
const std::string kCutName = kLongName.substr(0, 22);

class RandomSets {
 public:
  explicit RandomSets(unsigned seed) : random_(seed) {}

  std::string Pick(const std::vector<std::string>& pool) {
    return pool[std::uniform_int_distribution<size_t>(0, pool.size() - 1)(random_)];
  }
  bool Chance(int percent) {
    return std::uniform_int_distribution<int>(1, 100)(random_) <= percent;
  }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  SyncObject Record(const std::vector<std::string>& ids) {
    SyncObject r;
    r.ContactID = Pick(ids);
    r.ContactName = Pick({"Ann", "Ann", "ann", "Ann ", "Bob", "Cy", "", kLongName, kCutName});
    for (std::string SyncObject::*number :
         {&SyncObject::Work2Number, &SyncObject::DCNumber, &SyncObject::HomeNumber,
          &SyncObject::Work1Number, &SyncObject::MobileNumber, &SyncObject::FaxNumber,
          &SyncObject::PagerNumber, &SyncObject::OtherNumber, &SyncObject::EmailAddress}) {
      r.*number = Pick({"", "", "", "5551", "5552"});
    }
    for (std::string SyncObject::*speed :
         {&SyncObject::DCSpeed, &SyncObject::EmailSpeed, &SyncObject::FaxSpeed,
          &SyncObject::HomeSpeed, &SyncObject::PagerSpeed, &SyncObject::OtherSpeed,
          &SyncObject::MobileSpeed, &SyncObject::Work1Speed, &SyncObject::Work2Speed}) {
      r.*speed = Pick({"", "", "", "", "1", "2", "3", "01", "5"});
    }
    return r;
  }

  // A variation of `base`, as the same contact looks in another store.
  SyncObject Variation(const SyncObject& base) {
    SyncObject r = base;
    if (Chance(40)) {
      r.MobileNumber = Pick({"", "5551", "5553"});
    }
    if (Chance(30)) {
      r.MobileSpeed = Pick({"", "2", "4"});
    }
    if (Chance(20)) {
      r.ContactName = Pick({"Ann", "Dee", kCutName});
    }
    return r;
  }

  struct Stores {
    std::vector<SyncObject> outlook, phoneBook, sync;
  };

  // Contacts spread over the three stores, some in several with small
  // differences, IDs from small pools.
  Stores Contacts(std::vector<std::string> flags) {
    Stores stores;
    const int contacts = Between(0, 9);
    for (int i = 0; i < contacts; ++i) {
      const SyncObject base = Record({"", "1", "2", "3", "01", "4", "7"});
      if (Chance(70)) {
        stores.outlook.push_back(Chance(50) ? base : Variation(base));
      }
      if (Chance(60)) {
        stores.phoneBook.push_back(Chance(50) ? base : Variation(base));
        if (stores.phoneBook.back().ContactID.empty() && Chance(80)) {
          stores.phoneBook.back().ContactID = "9";
        }
      }
      if (Chance(60)) {
        stores.sync.push_back(Chance(50) ? base : Variation(base));
      }
    }
    for (auto* set : {&stores.outlook, &stores.phoneBook, &stores.sync}) {
      for (SyncObject& r : *set) {
        r.Flag = Pick(flags);
      }
    }
    return stores;
  }

  // A conflict answer: either button, possibly with edited boxes, or none.
  std::function<std::optional<ConflictAnswer>(const ConflictQuestion&)> Answer() {
    const int kind = Between(0, 5);
    const std::string edit = Pick({"5559", "", kCutName});
    return [kind, edit](const ConflictQuestion& q) -> std::optional<ConflictAnswer> {
      switch (kind) {
        case 0:
          return ConflictAnswer{ConflictAnswer::Keep::Outlook, q.outlook};
        case 1:
          return ConflictAnswer{ConflictAnswer::Keep::PhoneBook, q.phoneBook};
        case 2: {
          ConflictAnswer a{ConflictAnswer::Keep::Outlook, q.outlook};
          a.values.HomeNumber = edit;
          return a;
        }
        case 3: {
          ConflictAnswer a{ConflictAnswer::Keep::PhoneBook, q.phoneBook};
          a.values.ContactName = edit;
          return a;
        }
        default:
          return std::nullopt;
      }
    };
  }

 private:
  std::mt19937 random_;
};

// One side of the comparison: its own state, log and scripted user.
struct Side {
  explicit Side(const RandomSets::Stores& stores) {
    fake.settings.Set("LogPath", dir / "SyncLog.txt");
    ResetSyncState(state, fake.settings);
    Seed(state.OutlookSet, stores.outlook);
    Seed(state.PhoneBookSet, stores.phoneBook);
    Seed(state.SyncDatabaseSet, stores.sync);
  }

  // Runs the routines in order; the message of an error that ends them.
  std::string Run(const std::vector<Routine>& routines) {
    try {
      for (Routine routine : routines) {
        routine(context);
      }
    } catch (const std::exception& error) {
      return error.what();
    }
    return "";
  }

  std::vector<std::string> Log() const {
    return std::filesystem::exists(dir / "SyncLog.txt") ? ReadCrLfLines(dir / "SyncLog.txt")
                                                        : std::vector<std::string>{};
  }

  TempDir dir;
  FakePlatform fake;
  ScriptedView view;
  RunState state{"/opt/tb"};
  RunContext context{state, view, fake.platform};
};

void ExpectSameOutcome(Side& engine, Side& reference) {
  EXPECT_EQ(RecordsOf(engine.state.OutlookSet), RecordsOf(reference.state.OutlookSet));
  EXPECT_EQ(RecordsOf(engine.state.PhoneBookSet), RecordsOf(reference.state.PhoneBookSet));
  EXPECT_EQ(RecordsOf(engine.state.SyncDatabaseSet), RecordsOf(reference.state.SyncDatabaseSet));
  EXPECT_EQ(engine.Log(), reference.Log());
  ASSERT_EQ(engine.view.conflictsAsked.size(), reference.view.conflictsAsked.size());
  for (size_t i = 0; i < engine.view.conflictsAsked.size(); ++i) {
    EXPECT_EQ(engine.view.conflictsAsked[i].outlook, reference.view.conflictsAsked[i].outlook);
    EXPECT_EQ(engine.view.conflictsAsked[i].phoneBook, reference.view.conflictsAsked[i].phoneBook);
  }
  EXPECT_EQ(engine.state.ConflictOutlookIndex, reference.state.ConflictOutlookIndex);
  EXPECT_EQ(engine.state.ConflictPhoneBookIndex, reference.state.ConflictPhoneBookIndex);
  EXPECT_EQ(engine.state.ConflictSyncIndex, reference.state.ConflictSyncIndex);
}

// The whole deciding part of a run, from stores as the loaders give them
// (no flags), with the user answering conflicts at random.
TEST(EngineEquivalence, DecidingPhasesAgreeWithTheReferenceFromLoadedStores) {
  int conflicts = 0;
  int deletions = 0;
  for (unsigned seed = 1; seed <= 1500; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomSets random(seed);
    const RandomSets::Stores stores = random.Contacts({""});
    Side engine(stores);
    Side reference(stores);
    for (int i = 0; i < 12; ++i) {
      auto answer = random.Answer();
      engine.view.conflictScript.push_back(answer);
      reference.view.conflictScript.push_back(answer);
    }
    const std::string engineError = engine.Run(kDecidingPhases.engine);
    const std::string referenceError = reference.Run(kDecidingPhases.reference);
    ASSERT_EQ(engineError, referenceError);
    ExpectSameOutcome(engine, reference);
    if (::testing::Test::HasFailure()) {
      return;
    }
    conflicts += static_cast<int>(engine.view.conflictsAsked.size());
    for (const SyncObject& r : engine.state.SyncDatabaseSet) {
      deletions += r.Flag == "D";
    }
  }
  // The draw must reach the interesting cases, or the comparison says little.
  EXPECT_GT(conflicts, 100);
  EXPECT_GT(deletions, 100);
}

// Each routine alone, on sets whose records carry any flag, so that paths the
// run itself rarely takes are compared too, errors included.
TEST(EngineEquivalence, EachRoutineAgreesWithTheReferenceOnFlaggedSets) {
  const std::vector<std::string> flags = {"", "", "", "D", "M", "N", "I", "S", "W", "C"};
  for (size_t routine = 0; routine < kDecidingPhases.engine.size(); ++routine) {
    for (unsigned seed = 1; seed <= 400; ++seed) {
      SCOPED_TRACE("routine " + std::to_string(routine) + ", seed " + std::to_string(seed));
      RandomSets random(seed * 31 + static_cast<unsigned>(routine));
      const RandomSets::Stores stores = random.Contacts(flags);
      Side engine(stores);
      Side reference(stores);
      for (int i = 0; i < 12; ++i) {
        auto answer = random.Answer();
        engine.view.conflictScript.push_back(answer);
        reference.view.conflictScript.push_back(answer);
      }
      ASSERT_EQ(engine.Run({kDecidingPhases.engine[routine]}),
                reference.Run({kDecidingPhases.reference[routine]}));
      ExpectSameOutcome(engine, reference);
      if (::testing::Test::HasFailure()) {
        return;
      }
    }
  }
}

TEST(EngineEquivalence, FindSpeedDialOwnerIsTheLastRecordUsingTheSlotOnAnyKind) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    RandomSets random(seed);
    SyncSet set;
    Seed(set, random.Contacts({""}).outlook);
    for (const char* slot : {"", "1", "01", "2", "3", "5", "9"}) {
      EXPECT_EQ(FindSpeedDialOwner(slot, set), reference::FindSpeedDialOwner(slot, set));
    }
  }
}

// A first run over ten thousand contacts on each side: the Outlook contacts
// have no IDs and no speed dials yet, half of them match a PhoneBook contact
// by name. Walking the sets for every lookup would take hours here.
TEST(EngineScale, AFirstRunOverTenThousandContactsOnEachSide) {
  constexpr int kContacts = 10000;
  RandomSets::Stores stores;
  for (int i = 0; i < kContacts; ++i) {
    SyncObject o;
    o.ContactName = "Contact " + std::to_string(i);
    o.MobileNumber = "555" + std::to_string(i);
    o.HomeNumber = "556" + std::to_string(i);
    stores.outlook.push_back(o);
    SyncObject p;
    p.ContactID = std::to_string(2 * i + 1);
    p.ContactName = i % 2 == 0 ? o.ContactName : "Phone " + std::to_string(i);
    p.MobileNumber = o.MobileNumber;
    p.MobileSpeed = std::to_string(3 * i + 2);
    stores.phoneBook.push_back(p);
  }
  Side engine(stores);
  ASSERT_EQ(engine.Run(kDecidingPhases.engine), "");

  EXPECT_EQ(engine.state.OutlookSet.Count(), kContacts + kContacts / 2);
  EXPECT_EQ(engine.state.PhoneBookSet.Count(), kContacts + kContacts / 2);
  EXPECT_EQ(engine.state.SyncDatabaseSet.Count(), kContacts + kContacts / 2);
  std::set<std::string> ids;
  std::set<std::string> slots;
  int entries = 0;
  for (const SyncObject& o : engine.state.OutlookSet) {
    ids.insert(o.ContactID);
    for (const std::string* slot : {&o.MobileSpeed, &o.HomeSpeed}) {
      if (!slot->empty()) {
        slots.insert(*slot);
        ++entries;
      }
    }
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(engine.state.OutlookSet.Count()));
  EXPECT_EQ(slots.size(), static_cast<size_t>(entries));
  // Matched by name: the first Outlook contact took the ID of its PhoneBook
  // namesake and that contact's slot; the second got the lowest free ID.
  EXPECT_EQ(engine.state.OutlookSet.Item(1).ContactID, "1");
  EXPECT_EQ(engine.state.OutlookSet.Item(1).MobileSpeed, "2");
  EXPECT_EQ(engine.state.OutlookSet.Item(2).ContactID, "2");
}

}  // namespace
}  // namespace twinbook
