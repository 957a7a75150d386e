// Whole runs of the deciding phases over loaded sets the table gives, the
// stores' writing left out: what the run shows and logs, line by line.
#include "engine/start_sync.h"

#include <gtest/gtest.h>

#include "reference_engine.h"

namespace twinbook {
namespace {

using testing::R;

struct RunCase {
  const char* what;
  std::vector<std::pair<const char*, const char*>> settings;
  std::vector<SyncObject> outlook, phoneBook, sync;  // as loaded
  std::vector<std::function<std::optional<ConflictAnswer>(const ConflictQuestion&)>> answers;
  int phases;                                          // started
  std::vector<std::string> lines, statuses, messages;  // lines without the phases' headings
};

const RunCase* gCase = nullptr;  // the case at hand, for phases that cannot capture

PhaseRoutines TestPhases() {
  PhaseRoutines routines = StandardPhases();
  routines.phases[0] = [](RunContext& c) {
    for (auto [records, set] : {std::pair{&gCase->outlook, &c.state.OutlookSet},
                                {&gCase->phoneBook, &c.state.PhoneBookSet},
                                {&gCase->sync, &c.state.SyncDatabaseSet}}) {
      for (const SyncObject& record : *records) {
        set->Append() = record;
      }
    }
  };
  for (int phase : {1, 2, 10, 11, 12}) {
    routines.phases[phase] = [](RunContext&) {};
  }
  routines.afterLoading = [](RunContext&) {};
  return routines;
}

const char* const kIn = kStatusInProgress;
const char* const kError = kStatusError;
const std::vector<std::string> kDone = {kIn, kStatusComplete};
const std::string kCannot = "Synchronization cannot continue.";
const std::string kCheck =
    "... If your phone is actually capable of this capacity, please check "
    "the settings from the main menu.";
const std::string kCopy =
    "... Please delete the copy, or empty the contact ID (User3) of one of "
    "them in Outlook, and synchronize again.";
const std::string kNames = "The 3 names in Outlook exceeds your phone's capacity of 2.";
const std::string kNumbers = "The 4 phone numbers in Outlook exceeds your phone's capacity of 3.";
const std::string kSame = " in Outlook carry the same contact ID of ";
const std::vector<SyncObject> kTwo = {R("1", "C1", "", {"m=55:1", "h=55:2"}),
                                      R("2", "C2", "", {"m=55:3", "h=55:4"})};
const std::vector<SyncObject> kTwoAndGone = {kTwo[0], kTwo[1], R("3", "D1", "", {"m=55:5"})};

// clang-format off
const std::vector<RunCase> kCases = {
    {"names and numbers too many, one deleted in the PhoneBook counted: the names are reported",
     {{"NameLimit", "2"}, {"NumberLimit", "3"}}, kTwoAndGone, kTwo, kTwoAndGone, {}, 10,
     {"... D1 has been deleted from the PhoneBook.", kCannot, "... " + kNames, kCheck},
     {kIn, kError}, {kNames}},
    {"numbers too many with the names allowed: the numbers are reported",
     {{"NumberLimit", "3"}}, kTwoAndGone, kTwo, kTwoAndGone, {}, 10,
     {"... D1 has been deleted from the PhoneBook.", kCannot, "... " + kNumbers, kCheck},
     {kIn, kError}, {kNumbers}},
    {"a negative name limit stops silently with no names", {{"NameLimit", "-1"}}, {}, {}, {}, {},
     10, {}, {kIn}, {}},
    {"every pair sharing an ID is logged, none for no ID; the message points to the log", {},
     {R("7", "Ann"), R("", "New"), R("7", "Ann 2"), R("9", "Bob"), R("7", "Ann 3"), R("", "N"),
      R("9", "Bob 2")}, {}, {}, {}, 3,
     {kCannot, "... Ann and Ann 2" + kSame + "7.", "... Ann and Ann 3" + kSame + "7.",
      "... Bob and Bob 2" + kSame + "9.", kCopy}, {kIn, kError},
     {"The contacts Ann and Ann 2" + kSame + "7. Other contacts share an ID as well; please "
      "check the log."}},
    {"sync records sharing an ID are noted and the run goes on", {},
     {R("5", "Ann")}, {R("5", "Ann")}, {R("5", "Ann"), R("5", "Ann")}, {}, 13,
     {"... More than one record of the sync database carries the contact ID of 5; the last of "
      "them is used."}, kDone, {}},
    {"changed on both sides, the card matched by name, its side kept with its boxes edited", {},
     {R("", "Ann", "", {"m=5559:3"})}, {R("7", "Ann", "", {"m=5558:3"})}, {R("7", "Ann", "", {"m=5551:3"})},
     {[](const ConflictQuestion& q) { ConflictAnswer a{ConflictAnswer::Keep::Outlook, q.outlook}; a.values.ContactName = "Anna"; return std::optional(a); }}, 13,
     {"... Ann in Outlook has been matched with Ann in the PhoneBook and assigned a contact ID of 7.",
      "... Ann will be modified in Outlook.", "... Ann has been modified in Outlook.", "... Ann has been modified in the PhoneBook.",
      "... Conflict detected for Ann", "... Conflict resolution for Ann: Outlook data will overwrite PhoneBook data.",
      "... Anna will be modified in Outlook.", "... Anna will be modified in the PhoneBook.", "... Anna will be modified in the sync database."},
     kDone, {}},
    {"desktop contacts new to the PhoneBook and differing from their copies there: a kept one is added, one left open waits",
     {}, {R("7", "Ann", "I", {"m=5559"}), R("8", "Bo", "I")}, {R("7", "Annie", "N", {"m=5551"}), R("8", "Bob", "N")},
     {R("7", "Annie", "N", {"m=5551"}), R("8", "Bob", "N")},
     {[](const ConflictQuestion& q) { return std::optional(ConflictAnswer{ConflictAnswer::Keep::Outlook, q.outlook}); }}, 13,
     {"... Annie has been modified in Outlook.", "... Bob has been modified in Outlook.", "... Conflict detected for Annie",
      "... Conflict resolution for Ann: Outlook data will overwrite PhoneBook data.", "... Ann will be added to the PhoneBook.",
      "... Ann will be added to the sync database.", "... Conflict detected for Bob",
      "... Bob will not be added to the sync database until its conflict is resolved."},
     kDone, {}},
};
// clang-format on

TEST(StartSyncTest, RunTable) {
  const PhaseRoutines routines = TestPhases();
  for (const RunCase& c : kCases) {
    SCOPED_TRACE(c.what);
    testing::EngineSide s({}, {}, {});
    s.fake.settings.Set("PMBefore", "False");
    s.fake.settings.Set("PMAfter", "False");
    for (auto [name, value] : c.settings) {
      s.fake.settings.Set(name, value);
    }
    s.view.conflictScript.assign(c.answers.begin(), c.answers.end());
    gCase = &c;
    StartSync(s.context, routines);

    std::vector<std::string> log = s.Log();  // after its head of five lines
    ASSERT_GE(log.size(), 5u);
    std::erase_if(log, [](const std::string& line) {  // the phases' headings
      return line.starts_with("Loaded ") || line.starts_with("Checking for ") ||
             line.starts_with("Verifying ") || line.starts_with("Synchronizing ");
    });
    EXPECT_EQ(std::vector(log.begin() + 5, log.end()), c.lines);
    EXPECT_EQ(s.view.statuses, c.statuses);
    EXPECT_EQ(s.view.messages, c.messages);
    for (int i = 0; i < kPhaseCount; ++i) {
      EXPECT_EQ(s.view.StartShown(static_cast<Phase>(i)), i < c.phases) << i;
      EXPECT_EQ(s.view.DoneShown(static_cast<Phase>(i)), i < c.phases) << i;
    }
    EXPECT_EQ(s.state.OutlookSet.Count() + s.state.SyncDatabaseSet.Count(), 0);
    EXPECT_FALSE(s.state.RunInProgress);
  }
}

}  // namespace
}  // namespace twinbook
