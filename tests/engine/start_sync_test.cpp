// Whole runs over the engine's deciding phases, with the stores' loading and
// writing played by the table: what the run shows and logs, line by line.
#include "engine/start_sync.h"

#include <gtest/gtest.h>

#include <set>

#include "engine_fixture.h"
#include "environment/app_info.h"

namespace twinbook {
namespace {

using testing::R;
using testing::ScriptedView;
using Answer = std::function<std::optional<ConflictAnswer>(const ConflictQuestion&)>;

struct RunCase {
  const char* what;
  std::vector<std::pair<const char*, const char*>> settings;
  std::vector<SyncObject> outlook, phoneBook, sync;  // as loaded
  std::vector<Answer> answers;
  int phases;                      // started
  std::vector<std::string> lines;  // after the head, without the phases' headings
  std::vector<std::string> statuses, messages;
  size_t managerStarts = 0;
  bool loadingFails = false;
};

// Plain function pointers cannot capture: the case of the run at hand.
const RunCase* gCase = nullptr;

PhaseRoutines TestPhases() {
  PhaseRoutines routines = StandardPhases();
  routines.phases[0] = [](RunContext& c) {
    if (gCase->loadingFails) {
      throw std::runtime_error("Cannot open /data/Contacts");
    }
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

// `count` contacts with `numbers` numbers each, all with speed dials.
std::vector<SyncObject> Contacts(int count, int numbers, const std::string& name = "C") {
  std::vector<SyncObject> records;
  for (int i = 1; i <= count; ++i) {
    std::vector<std::string> entries;
    for (int n = 0; n < numbers; ++n) {
      entries.push_back(std::string(1, "mhwe"[n]) + "=555:" + name + std::to_string(4 * i + n));
    }
    records.push_back(R(name + std::to_string(i), name + std::to_string(i), "", entries));
  }
  return records;
}
std::vector<SyncObject> operator+(std::vector<SyncObject> a, const std::vector<SyncObject>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
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
const std::string kNumbers = "The 4 phone numbers in Outlook exceeds your phone's capacity of 3.";
const std::string kNames = "The 3 names in Outlook exceeds your phone's capacity of 2.";
const std::string kSame = " in Outlook carry the same contact ID of ";
const std::vector<SyncObject> kTwo = Contacts(2, 2), kTwoAndGone = kTwo + Contacts(1, 1, "D");

// clang-format off
const std::vector<RunCase> kCases = {
    {"as many numbers as the limit", {{"NumberLimit", "3"}},
     Contacts(1, 3), Contacts(1, 3), Contacts(1, 3), {}, 13, {}, kDone, {}},
    {"one number too many", {{"NumberLimit", "3"}},
     Contacts(1, 4), Contacts(1, 4), Contacts(1, 4), {}, 10,
     {kCannot, "... " + kNumbers, kCheck}, {kIn, kError}, {kNumbers}},
    {"as many names as the limit, one deleted in the PhoneBook: it counts, its numbers do not",
     {{"NameLimit", "3"}, {"NumberLimit", "4"}}, kTwoAndGone, kTwo, kTwoAndGone, {}, 13,
     {"... D1 has been deleted from the PhoneBook."}, kDone, {}},
    {"names and numbers too many: the names are reported",
     {{"NameLimit", "2"}, {"NumberLimit", "3"}}, kTwoAndGone, kTwo, kTwoAndGone, {}, 10,
     {"... D1 has been deleted from the PhoneBook.", kCannot, "... " + kNames, kCheck},
     {kIn, kError}, {kNames}},
    {"a negative name limit stops silently with no names; the manager is not run",
     {{"NameLimit", "-1"}, {"PMAfter", "True"}}, {}, {}, {}, {}, 10, {}, {kIn}, {}},
    {"the manager before and after", {{"PMBefore", "True"}, {"PMAfter", "True"}}, {}, {}, {}, {},
     13, {}, {kStatusWaiting, kIn, kStatusWaiting, kStatusComplete}, {}, 2},
    {"two contacts with one ID stop the run before anything is decided; no ID is no duplicate",
     {{"PMAfter", "True"}},
     {R("7", "Ann"), R("", "New"), R("8", "Bob"), R("7", "Ann (copy)"), R("", "Newer")}, {}, {},
     {}, 3, {kCannot, "... Ann and Ann (copy)" + kSame + "7.", kCopy}, {kIn, kError},
     {"The contacts Ann and Ann (copy)" + kSame + "7."}},
    {"every pair is logged and the message points to the log", {},
     {R("7", "Ann"), R("7", "Ann 2"), R("9", "Bob"), R("7", "Ann 3"), R("9", "Bob 2")}, {}, {},
     {}, 3, {kCannot, "... Ann and Ann 2" + kSame + "7.", "... Ann and Ann 3" + kSame + "7.",
             "... Bob and Bob 2" + kSame + "9.", kCopy}, {kIn, kError},
     {"The contacts Ann and Ann 2" + kSame + "7. Other contacts share an ID as well; please "
      "check the log."}},
    {"sync records sharing an ID are noted and the run goes on", {},
     {R("5", "Ann")}, {R("5", "Ann")}, {R("5", "Ann"), R("5", "Ann")}, {}, 13,
     {"... More than one record of the sync database carries the contact ID of 5; the last of "
      "them is used."}, kDone, {}},
    {"an error ends the run, naming it", {}, {}, {}, {}, {}, 1,
     {"Synchronization stopped by an error: Cannot open /data/Contacts"}, {kIn, kError},
     {"Synchronization stopped by an error: Cannot open /data/Contacts"}, 0, true},
    {"on both sides but not in the sync database, differing: the phone's side kept", {},
     {R("", "Ann", "", {"m=5551"})}, {R("12", "Ann", "", {"m=5559:3"})}, {},
     {ScriptedView::KeepPhoneBook()}, 13,
     {"... Ann in Outlook has been matched with Ann in the PhoneBook and assigned a contact ID "
      "of 12.", "... Ann will be modified in Outlook.", "... Ann is new to the sync database.",
      "... Ann has been modified in the PhoneBook.", "... Conflict detected for Ann",
      "... Conflict resolution for Ann: PhoneBook data will overwrite Outlook data.",
      "... Ann will be modified in Outlook.", "... Ann will be modified in the PhoneBook.",
      "... Ann will be added to the sync database."}, kDone, {}},
    {"the same with an ID, the dialog closed twice: the new sync record is held back", {},
     {R("7", "Ann", "", {"m=5559:3"})}, {R("7", "Ann", "", {"m=5558:3"})}, {}, {}, 13,
     {"... Ann is new to the sync database.", "... Ann has been modified in the PhoneBook.",
      "... Conflict detected for Ann", "... Conflict detected for Ann",
      "... Ann will not be added to the sync database until its conflict is resolved."},
     kDone, {}},
    {"changed on both sides, the desktop's side kept with its boxes edited", {},
     {R("7", "Ann", "", {"m=5559:3"})}, {R("7", "Ann", "", {"m=5558:3"})},
     {R("7", "Ann", "", {"m=5551:3"})},
     {[](const ConflictQuestion& q) {
       ConflictAnswer answer{ConflictAnswer::Keep::Outlook, q.outlook};
       answer.values.ContactName = "Anna";
       return std::optional(answer);
     }}, 13,
     {"... Ann has been modified in Outlook.", "... Ann has been modified in the PhoneBook.",
      "... Conflict detected for Ann",
      "... Conflict resolution for Ann: Outlook data will overwrite PhoneBook data.",
      "... Anna will be modified in Outlook.", "... Anna will be modified in the PhoneBook.",
      "... Anna will be modified in the sync database."}, kDone, {}},
};
// clang-format on

TEST(StartSyncTest, RunTable) {
  const PhaseRoutines routines = TestPhases();
  const std::set<std::string> headings = {
      "Loaded Outlook contacts.",
      "Loaded PhoneBook records from /data/PhoneBook.mdb",
      "Loaded previous sync data from /data/Twinbook.mdb",
      "Verifying that all Outlook Contact items contain a contact ID.",
      "Checking for items that have been deleted.",
      "Checking for new items in Outlook.",
      "Checking for new items in the PhoneBook.",
      "Checking for items that have been modified.",
      "Synchronizing modified items.",
      "Synchronizing new items."};
  for (const RunCase& c : kCases) {
    SCOPED_TRACE(c.what);
    testing::EngineSide s({}, {}, {});
    for (auto [name, value] : {std::pair{"PhoneBookPath", "/data/PhoneBook.mdb"},
                               {"SyncPath", "/data/Twinbook.mdb"},
                               {"PMBefore", "False"},
                               {"PMAfter", "False"}}) {
      s.fake.settings.Set(name, value);
    }
    for (auto [name, value] : c.settings) {
      s.fake.settings.Set(name, value);
    }
    s.fake.launcher.waitsBeforeExit = 2;
    s.view.conflictScript.assign(c.answers.begin(), c.answers.end());
    gCase = &c;
    StartSync(s.context, routines);

    std::vector<std::string> log = s.Log();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(std::vector(log.begin(), log.begin() + 5),
              (std::vector<std::string>{TitleAndVersionLine(), kNotice, "Activity Log", "", kIn}));
    std::erase_if(log, [&headings](const std::string& line) { return headings.contains(line); });
    EXPECT_EQ(std::vector(log.begin() + 5, log.end()), c.lines);
    EXPECT_EQ(s.view.statuses, c.statuses);
    EXPECT_EQ(s.view.messages, c.messages);
    EXPECT_EQ(s.fake.launcher.started.size(), c.managerStarts);
    for (int i = 0; i < kPhaseCount; ++i) {
      EXPECT_EQ(s.view.StartShown(static_cast<Phase>(i)), i < c.phases) << i;
      EXPECT_EQ(s.view.DoneShown(static_cast<Phase>(i)), i < c.phases - c.loadingFails) << i;
    }
    EXPECT_EQ(s.state.OutlookSet.Count() + s.state.SyncDatabaseSet.Count(), 0);
    EXPECT_FALSE(s.state.RunInProgress);
  }
}

}  // namespace
}  // namespace twinbook
