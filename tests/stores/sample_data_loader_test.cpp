#include <gtest/gtest.h>

#include <algorithm>

#include "engine/start_sync.h"
#include "stores/loader_helpers.h"
#include "stores/outlook_import.h"
#include "stores/sync_database.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using testing::Record;
using testing::Records;
using testing::StoreFiles;

// What the run held at two moments: the sets right after loading, and the
// sync set as the engine hands it to the writer.
struct Seen {
  std::vector<SyncObject> outlook, phoneBook, sync, syncToWrite;
};
Seen seen;

void SeeLoadedSets(RunContext& context) {
  seen.outlook = Records(context.state.OutlookSet);
  seen.phoneBook = Records(context.state.PhoneBookSet);
  seen.sync = Records(context.state.SyncDatabaseSet);
  RewriteExcludedContacts(context);
}

void SeeSyncSetAndWrite(RunContext& context) {
  seen.syncToWrite = Records(context.state.SyncDatabaseSet);
  WriteSyncDatabase(context);
}

PhaseRoutines WatchedPhases() {
  PhaseRoutines routines = StandardPhases();
  routines.afterLoading = SeeLoadedSets;
  routines.phases[static_cast<size_t>(Phase::WritingSync)] = SeeSyncSetAndWrite;
  return routines;
}

// The run script's sample Data folder: four cards take part, one does not,
// one is a distribution list; five phone book contacts; no previous sync.
TEST(SampleDataLoaderTest, TheSampleStoresLoadAndTheSyncDatabaseEndsAsFlagged) {
  seen = {};
  StoreFiles files = StoreFiles::WithSampleData();
  files.view.conflictScript.push_back(testing::ScriptedView::KeepOutlook());
  StartSync(files.context, WatchedPhases());
  ASSERT_EQ(files.view.status(), kStatusComplete);
  EXPECT_TRUE(files.view.messages.empty()) << files.view.messages.front();
  EXPECT_EQ(files.view.conflictsAsked.size(), 1u);

  // The loaders' own tests pin each field; here the sample files as shipped.
  auto names = [](const std::vector<SyncObject>& records) {
    std::vector<std::string> names;
    for (const SyncObject& record : records) {
      names.push_back(record.ContactID + " " + record.ContactName);
    }
    return names;
  };
  EXPECT_EQ(names(seen.outlook), (std::vector<std::string>{" Fischer, Anna", " Brennan, Thomas",
                                                           " Nakamura, Kenji", " Patel, Priya"}));
  const SyncObject alvarez = Record("1", "Alvarez, Maria",
                                    {{&SyncObject::MobileNumber, "3125550142"},
                                     {&SyncObject::MobileSpeed, "1"},
                                     {&SyncObject::HomeNumber, "3125550117"},
                                     {&SyncObject::HomeSpeed, "2"},
                                     {&SyncObject::EmailAddress, "maria.alvarez@example.com"},
                                     {&SyncObject::EmailSpeed, "3"}});
  EXPECT_EQ(seen.phoneBook.at(0), alvarez);
  EXPECT_EQ(names(seen.phoneBook),
            (std::vector<std::string>{"1 Alvarez, Maria", "2 Brennan, Thomas", "3 Chen, Wei",
                                      "4 Dubois, Claire", "5 Okafor, Emeka"}));
  EXPECT_TRUE(seen.sync.empty());

  // The card that does not take part has been rewritten.
  std::optional<testing::CardView> quinn = files.CardNamed("Quinn, Liam");
  ASSERT_TRUE(quinn.has_value());
  EXPECT_EQ((*quinn)["User2"], "No");
  EXPECT_EQ((*quinn)["User3"], "");
  EXPECT_EQ((*quinn)["User4"], "");
  EXPECT_EQ((*quinn)["MobileTelephoneNumber"], "(312) 555-0112");

  // Nothing was in the sync database, so every contact is new to it: eight
  // contacts, the five of the phone book and the four cards, Brennan being
  // in both.
  std::vector<SyncObject> added;
  std::vector<std::string> addedLines = {"Writing to the sync database."};
  for (const SyncObject& record : seen.syncToWrite) {
    if (record.Flag == "C" || record.Flag == "N") {
      SyncObject unflagged = record;
      unflagged.Flag = "";
      added.push_back(unflagged);
      addedLines.push_back("... " + record.ContactName + " has been added.");
    }
  }
  ASSERT_EQ(added.size(), 8u);
  ClearSet(files.state.SyncDatabaseSet);
  LoadSyncRecords(files.context);
  EXPECT_EQ(Records(files.state.SyncDatabaseSet), added);
  EXPECT_NE(std::find(added.begin(), added.end(), alvarez), added.end());

  std::vector<std::string> log = files.LogLines();
  ASSERT_GE(log.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(log.begin() + 5, log.begin() + 8),
            (std::vector<std::string>{"Loaded Outlook contacts.",
                                      "Loaded PhoneBook records from " + files.phoneBookPath,
                                      "Loaded previous sync data from " + files.syncPath}));
  auto writing = std::find(log.begin(), log.end(), "Writing to the sync database.");
  EXPECT_EQ(std::vector<std::string>(writing, log.end()), addedLines);
}

}  // namespace
}  // namespace twinbook
