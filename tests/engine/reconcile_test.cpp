#include "engine/reconcile.h"

#include "engine_fixture.h"

namespace twinbook {
namespace {

using testing::Contact;
using testing::EngineTest;
using testing::ScriptedView;

using Answer = std::function<std::optional<ConflictAnswer>(const ConflictQuestion&)>;

// One contact with a record in each set, as it enters the phase, and what
// the phase makes of it with the user answering from `script`.
struct ReconcileCase {
  const char* what;
  SyncObject outlook, phoneBook, sync;
  std::vector<Answer> script;
  SyncObject outlookAfter, phoneBookAfter, syncAfter;
  std::vector<std::string> lines;  // after the heading
  size_t asked = 0;
};

class ReconcileTest : public EngineTest {
 protected:
  void Check(const std::vector<ReconcileCase>& cases, void (*phase)(RunContext&),
             const std::string& heading) {
    for (const ReconcileCase& c : cases) {
      SCOPED_TRACE(c.what);
      ResetSyncState(state, fake.settings);
      std::filesystem::remove(log);
      view.conflictsAsked.clear();
      view.conflictScript.assign(c.script.begin(), c.script.end());
      SeedOutlook({c.outlook});
      SeedPhoneBook({c.phoneBook});
      SeedSync({c.sync});
      phase(context);

      EXPECT_EQ(state.OutlookSet.Item(1), c.outlookAfter);
      EXPECT_EQ(state.PhoneBookSet.Item(1), c.phoneBookAfter);
      EXPECT_EQ(state.SyncDatabaseSet.Item(1), c.syncAfter);
      std::vector<std::string> expected{heading};
      expected.insert(expected.end(), c.lines.begin(), c.lines.end());
      EXPECT_EQ(LogLines(), expected);
      EXPECT_EQ(view.conflictsAsked.size(), c.asked);
      EXPECT_TRUE(view.conflictScript.empty());
    }
  }
};

SyncObject Ann(const std::string& mobile, const std::string& flag) {
  return Contact("7", "Ann").Mobile(mobile, "3").Flagged(flag);
}
SyncObject Annie(const std::string& mobile, const std::string& flag) {
  return Contact("7", "Annie").Mobile(mobile, "3").Flagged(flag);
}

TEST_F(ReconcileTest, ModifiedItemsOutcomeTable) {
  const std::string longName = "Alexandria Montgomery-Smythe Jr";
  const std::string cutName = longName.substr(0, 22);
  const std::vector<std::string> keptOutlook = {
      "... Conflict detected for Ann",
      "... Conflict resolution for Ann: Outlook data will overwrite PhoneBook data.",
      "... Ann will be modified in Outlook.", "... Ann will be modified in the PhoneBook.",
      "... Ann will be modified in the sync database."};
  // clang-format off
  const std::vector<ReconcileCase> cases = {
      {"changed in the PhoneBook only, renamed there",
       Ann("5551", "M"), Annie("5552", ""), Ann("5551", "M"), {},
       Annie("5552", "W"), Annie("5552", ""), Annie("5552", "W"),
       {"... Information for Annie has been copied from the PhoneBook data to the Outlook data.",
        "... Information for Annie has been copied from the PhoneBook data to the sync data.",
        "... Annie will be modified in Outlook.",
        "... Annie will be modified in the sync database."}},
      {"changed in Outlook only, same speed-dial tags",
       Annie("5559", ""), Ann("5551", "M"), Ann("5551", "M"), {},
       Annie("5559", ""), Annie("5559", "W"), Annie("5559", "W"),
       {"... Information for Annie has been copied from the Outlook data to the PhoneBook data.",
        "... Information for Annie has been copied from the Outlook data to the sync data.",
        "... Annie will be modified in the PhoneBook.",
        "... Annie will be modified in the sync database."}},
      {"changed in Outlook only, a number added: the card's speed dials are rewritten",
       Contact(Ann("5551", "")).Home("444", "4"), Ann("5551", "M"), Ann("5551", "N"), {},
       Contact(Ann("5551", "S")).Home("444", "4"), Contact(Ann("5551", "W")).Home("444", "4"),
       Contact(Ann("5551", "C")).Home("444", "4"),
       {"... The speed dial values for Ann will be modified in Outlook.",
        "... Information for Ann has been copied from the Outlook data to the PhoneBook data.",
        "... Information for Ann has been copied from the Outlook data to the sync data.",
        "... Ann will be modified in the PhoneBook.",
        "... Ann will be added to the sync database."}},
      {"identical changes: the sync record is brought up to date twice",
       Ann("5559", "M"), Ann("5559", "M"), Ann("5551", "N"), {},
       Ann("5559", "M"), Ann("5559", "M"), Ann("5559", "W"),
       {"... Identical changes have been detected in the Outlook data and the PhoneBook data.",
        "... Information for Ann has been copied from the Outlook data to the sync data.",
        "... Ann will be added to the sync database.",
        "... Identical changes have been detected in the PhoneBook data and the Outlook data.",
        "... Information for Ann has been copied from the PhoneBook data to the sync data.",
        "... Ann will be modified in the sync database."}},
      {"a conflict, the Outlook data kept",
       Ann("5559", "M"), Ann("5558", "M"), Ann("5551", "M"), {ScriptedView::KeepOutlook()},
       Ann("5559", "W"), Ann("5559", "W"), Ann("5559", "W"), keptOutlook, 1},
      {"a conflict, the PhoneBook data kept",
       Ann("5559", "M"), Annie("5558", "M"), Ann("5551", "N"), {ScriptedView::KeepPhoneBook()},
       Annie("5558", "W"), Annie("5558", "W"), Annie("5558", "C"),
       {"... Conflict detected for Ann",
        "... Conflict resolution for Annie: PhoneBook data will overwrite Outlook data.",
        "... Annie will be modified in Outlook.", "... Annie will be modified in the PhoneBook.",
        "... Annie will be added to the sync database."}, 1},
      {"a conflict closed once is asked again in the PhoneBook pass",
       Ann("5559", "M"), Annie("5558", "M"), Ann("5551", "M"),
       {ScriptedView::Close(), ScriptedView::KeepOutlook()},
       Ann("5559", "W"), Ann("5559", "W"), Ann("5559", "W"),
       {"... Conflict detected for Ann", "... Conflict detected for Annie",
        "... Conflict resolution for Ann: Outlook data will overwrite PhoneBook data.",
        "... Ann will be modified in Outlook.", "... Ann will be modified in the PhoneBook.",
        "... Ann will be modified in the sync database."}, 2},
      {"a conflict closed twice stays unreconciled",
       Ann("5559", "M"), Ann("5558", "M"), Ann("5551", "M"), {},
       Ann("5559", "M"), Ann("5558", "M"), Ann("5551", "M"),
       {"... Conflict detected for Ann", "... Conflict detected for Ann"}, 2},
      {"closed twice, a sync record new in this run is held back",
       Ann("5559", "M"), Ann("5558", "M"), Ann("5559", "N"), {},
       Ann("5559", "M"), Ann("5558", "M"), Ann("5559", ""),
       {"... Conflict detected for Ann", "... Conflict detected for Ann",
        "... Ann will not be added to the sync database until its conflict is resolved."}, 2},
      {"I with the PhoneBook flagged, same data: identical changes",
       Ann("5559", "I"), Ann("5559", "M"), Ann("5551", "M"), {},
       Ann("5559", "I"), Ann("5559", "M"), Ann("5559", "W"),
       {"... Identical changes have been detected in the PhoneBook data and the Outlook data.",
        "... Information for Ann has been copied from the PhoneBook data to the sync data.",
        "... Ann will be modified in the sync database."}},
      {"I with the PhoneBook flagged, the Outlook data kept: I stays",
       Ann("5559", "I"), Ann("5558", "M"), Ann("5559", "N"), {ScriptedView::KeepOutlook()},
       Ann("5559", "I"), Ann("5559", "W"), Ann("5559", "C"),
       {"... Conflict detected for Ann",
        "... Conflict resolution for Ann: Outlook data will overwrite PhoneBook data.",
        "... Ann will be modified in the PhoneBook.",
        "... Ann will be added to the sync database."}, 1},
      {"I with the PhoneBook flagged, the PhoneBook data kept: the card is rewritten",
       Ann("5559", "I"), Ann("5558", "M"), Ann("5559", "N"), {ScriptedView::KeepPhoneBook()},
       Ann("5558", "W"), Ann("5558", "W"), Ann("5558", "C"),
       {"... Conflict detected for Ann",
        "... Conflict resolution for Ann: PhoneBook data will overwrite Outlook data.",
        "... Ann will be modified in Outlook.", "... Ann will be modified in the PhoneBook.",
        "... Ann will be added to the sync database."}, 1},
      {"S with the PhoneBook flagged, the Outlook data kept: S stays",
       Ann("5559", "S"), Ann("5558", "M"), Ann("5551", "M"), {ScriptedView::KeepOutlook()},
       Ann("5559", "S"), Ann("5559", "W"), Ann("5559", "W"),
       {"... Conflict detected for Ann",
        "... Conflict resolution for Ann: Outlook data will overwrite PhoneBook data.",
        "... Ann will be modified in the PhoneBook.",
        "... Ann will be modified in the sync database."}, 1},
      {"the PhoneBook's shortened name does not rename the desktop contact",
       Contact("7", longName).Mobile("5551", "3").Flagged("M"),
       Contact("7", cutName).Mobile("5552", "3"),
       Contact("7", longName).Mobile("5551", "3").Flagged("M"), {},
       Contact("7", longName).Mobile("5552", "3").Flagged("W"),
       Contact("7", cutName).Mobile("5552", "3"),
       Contact("7", longName).Mobile("5552", "3").Flagged("W"),
       {"... Information for " + longName +
            " has been copied from the PhoneBook data to the Outlook data.",
        "... Information for " + longName +
            " has been copied from the PhoneBook data to the sync data.",
        "... " + longName + " will be modified in Outlook.",
        "... " + longName + " will be modified in the sync database."}},
      {"nothing flagged M", Ann("5551", "I"), Ann("5551", "N"), Ann("5551", "N"), {},
       Ann("5551", "I"), Ann("5551", "N"), Ann("5551", "N"), {}},
  };
  // clang-format on
  Check(cases, SyncModifiedItems, "Synchronizing modified items.");
}

TEST_F(ReconcileTest, NewItemsOutcomeTable) {
  // clang-format off
  const std::vector<ReconcileCase> cases = {
      {"new in the PhoneBook", Ann("5551", "N"), Ann("5551", ""), Ann("5551", "N"), {},
       Ann("5551", "C"), Ann("5551", ""), Ann("5551", "C"),
       {"... Ann will be added to Outlook.", "... Ann will be added to the sync database."}},
      {"new in Outlook, whatever the sync record held", Ann("5551", ""), Ann("5551", "N"),
       Ann("5551", "W"), {}, Ann("5551", ""), Ann("5551", "C"), Ann("5551", "C"),
       {"... Ann will be added to the PhoneBook.", "... Ann will be added to the sync database."}},
      {"new in Outlook with an ID of its own, the copy equal: I stays", Ann("5551", "I"),
       Ann("5551", "N"), Ann("5551", "N"), {}, Ann("5551", "I"), Ann("5551", "C"),
       Ann("5551", "C"),
       {"... Ann will be added to the PhoneBook.", "... Ann will be added to the sync database."}},
      {"the copy differs from its flagged source: the Outlook data kept", Ann("5559", "I"),
       Annie("5551", "N"), Annie("5551", "N"), {ScriptedView::KeepOutlook()}, Ann("5559", "I"),
       Ann("5559", "C"), Ann("5559", "C"),
       {"... Conflict detected for Annie",
        "... Conflict resolution for Ann: Outlook data will overwrite PhoneBook data.",
        "... Ann will be added to the PhoneBook.", "... Ann will be added to the sync database."},
       1},
      {"the copy differs from its flagged source: the PhoneBook data kept", Ann("5559", "I"),
       Annie("5551", "N"), Annie("5551", "N"), {ScriptedView::KeepPhoneBook()},
       Annie("5551", "W"), Annie("5551", "C"), Annie("5551", "C"),
       {"... Conflict detected for Annie",
        "... Conflict resolution for Annie: PhoneBook data will overwrite Outlook data.",
        "... Annie will be modified in Outlook.", "... Annie will be added to the PhoneBook.",
        "... Annie will be added to the sync database."},
       1},
      {"the copy differs from its flagged source, closed: nothing is added", Ann("5559", "I"),
       Annie("5551", "N"), Annie("5551", "N"), {}, Ann("5559", "I"), Annie("5551", "N"),
       Annie("5551", ""),
       {"... Conflict detected for Annie",
        "... Annie will not be added to the sync database until its conflict is resolved."},
       1},
      {"a conflict in the Outlook pass names the Outlook copy", Annie("5551", "N"),
       Ann("5559", "M"), Annie("5551", "N"), {ScriptedView::KeepPhoneBook()}, Ann("5559", "C"),
       Ann("5559", "W"), Ann("5559", "C"),
       {"... Conflict detected for Annie",
        "... Conflict resolution for Ann: PhoneBook data will overwrite Outlook data.",
        "... Ann will be added to Outlook.", "... Ann will be modified in the PhoneBook.",
        "... Ann will be added to the sync database."},
       1},
      {"nothing new", Ann("5551", "M"), Ann("5551", "W"), Ann("5551", "C"), {}, Ann("5551", "M"),
       Ann("5551", "W"), Ann("5551", "C"), {}},
  };
  // clang-format on
  Check(cases, SyncNewItems, "Synchronizing new items.");
}

TEST_F(ReconcileTest, TheConflictPositionsAreThoseOfTheContactInEachSet) {
  SeedOutlook({Contact("1", "Bob"), Contact("2", "Cy"), Ann("5559", "M")});
  SeedPhoneBook({Ann("5558", "M"), Contact("1", "Bob")});
  SeedSync({Contact("2", "Cy"), Contact("1", "Bob"), Contact("8", "Dee"), Ann("5551", "M")});
  view.conflictScript.push_back([this](const ConflictQuestion& q) {
    EXPECT_EQ(state.ConflictOutlookIndex, 3);
    EXPECT_EQ(state.ConflictPhoneBookIndex, 1);
    EXPECT_EQ(state.ConflictSyncIndex, 4);
    EXPECT_EQ(q.outlook, BoxesOf(Ann("5559", "")));
    EXPECT_EQ(q.phoneBook, BoxesOf(Ann("5558", "")));
    // The log is closed while the dialog is open.
    testing::WriteFile(log, testing::ReadFile(log) + "the dialog's own line\r\n");
    return std::optional<ConflictAnswer>(ConflictAnswer{ConflictAnswer::Keep::Outlook, q.outlook});
  });
  SyncModifiedItems(context);
  ASSERT_EQ(view.conflictsAsked.size(), 1u);
  EXPECT_EQ(state.SyncDatabaseSet.Item(4), Ann("5559", "W"));
  EXPECT_EQ(state.SyncDatabaseSet.Item(3).Flag, "");
  const std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], "... Conflict detected for Ann");
  EXPECT_EQ(lines[2], "the dialog's own line");
}

TEST_F(ReconcileTest, CopyContactCopiesTwentyFieldsAndFlagsAnEmptyDestination) {
  const SyncObject source = Contact("7", "Ann").Mobile("1", "2").Email("e", "3").Flagged("D");
  SyncObject empty;
  CopyContact(empty, source);
  EXPECT_EQ(empty, Contact(source).Flagged("M").record);
  SyncObject flagged = Contact("9", "Old").Home("h", "5").Flagged("N");
  CopyContact(flagged, source);
  EXPECT_EQ(flagged, Contact(source).Flagged("N").record);
}

}  // namespace
}  // namespace twinbook
