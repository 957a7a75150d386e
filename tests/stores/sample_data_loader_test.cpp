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

  EXPECT_EQ(seen.outlook, (std::vector<SyncObject>{
                              Record("", "Fischer, Anna",
                                     {{&SyncObject::HomeNumber, "3125550124"},
                                      {&SyncObject::MobileNumber, "3125550107"},
                                      {&SyncObject::EmailAddress, "anna.fischer@example.com"}}),
                              Record("", "Brennan, Thomas",
                                     {{&SyncObject::Work1Number, "3125550163"},
                                      {&SyncObject::MobileNumber, "3125550199"}}),
                              Record("", "Nakamura, Kenji",
                                     {{&SyncObject::DCNumber, "164*12*7788"},
                                      {&SyncObject::Work1Number, "3125550146"},
                                      {&SyncObject::MobileNumber, "3125550158"},
                                      {&SyncObject::PagerNumber, "3125550171"},
                                      {&SyncObject::EmailAddress, "kenji.nakamura@example.org"}}),
                              Record("", "Patel, Priya",
                                     {{&SyncObject::MobileNumber, "3125550133"},
                                      {&SyncObject::FaxNumber, "3125550195"},
                                      {&SyncObject::EmailAddress, "priya.patel@example.net"}}),
                          }));
  const SyncObject alvarez = Record("1", "Alvarez, Maria",
                                    {{&SyncObject::MobileNumber, "3125550142"},
                                     {&SyncObject::MobileSpeed, "1"},
                                     {&SyncObject::HomeNumber, "3125550117"},
                                     {&SyncObject::HomeSpeed, "2"},
                                     {&SyncObject::EmailAddress, "maria.alvarez@example.com"},
                                     {&SyncObject::EmailSpeed, "3"}});
  ASSERT_EQ(seen.phoneBook.size(), 5u);
  EXPECT_EQ(seen.phoneBook[0], alvarez);
  EXPECT_EQ(seen.phoneBook[2], Record("3", "Chen, Wei",
                                      {{&SyncObject::MobileNumber, "3125550129"},
                                       {&SyncObject::MobileSpeed, "6"},
                                       {&SyncObject::Work1Number, "3125550184"},
                                       {&SyncObject::Work1Speed, "7"},
                                       {&SyncObject::Work2Number, "3125550185"},
                                       {&SyncObject::Work2Speed, "8"},
                                       {&SyncObject::EmailAddress, "wei.chen@example.org"},
                                       {&SyncObject::EmailSpeed, "9"}}));
  std::vector<std::string> phoneBookIDs;
  for (const SyncObject& record : seen.phoneBook) {
    phoneBookIDs.push_back(record.ContactID + " " + record.ContactName);
  }
  EXPECT_EQ(phoneBookIDs,
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

  std::vector<std::string> ids;
  for (const testing::SyncRow& row : files.SyncRows()) {
    ids.push_back(row.ContactID);
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8"}));

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
