// The crashing wrappers themselves, over real files: what they count as a
// write, and that the write they stop does not happen and nothing after it
// does. (That no writer swallows a crash is checked at every crash point.)

#include "support/faulty_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "stores/phonebook_import.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using testing::CrashPlan;
using ::testing::ElementsAre;
using testing::FaultyContactStore;
using testing::FaultyDatabaseEngine;
using ::testing::HasSubstr;
using testing::PhoneBookRow;
using testing::SimulatedCrash;
using ::testing::SizeIs;
using testing::StoreFiles;
using P = ContactProperty;

// Adds a PhoneBook row through the wrappers, outside any transaction.
void AddRow(Database& database, const std::string& id, const std::string& number) {
  std::unique_ptr<Table> table = database.OpenTable(kPhoneBookTable);
  table->AddNew();
  table->SetField("ContactID", std::int64_t{std::stoll(id)});
  table->SetField("ContactName", "Kim");
  table->SetField("Number", number);
  table->SetField("NumberType", std::int64_t{4});
  table->Update();
}

TEST(FaultyPlatformTest, EachDatabaseChangeOutsideATransactionIsOneWrite) {
  StoreFiles files;
  CrashPlan plan(3);
  FaultyDatabaseEngine engine(files.databases, plan);
  std::unique_ptr<Database> database = engine.OpenDatabase(files.phoneBookPath);
  AddRow(*database, "1", "5550000001");
  {
    std::unique_ptr<Table> table = database->OpenTable(kPhoneBookTable);
    table->MoveFirst();
    table->Delete();
  }
  EXPECT_THROW(AddRow(*database, "2", "5550000002"), SimulatedCrash);
  EXPECT_THAT(plan.writes(), SizeIs(2));
  EXPECT_THAT(files.PhoneBookRows(), ElementsAre());

  // Nothing more is written once the run has crashed.
  EXPECT_THROW(AddRow(*database, "3", "5550000003"), SimulatedCrash);
  EXPECT_THAT(files.PhoneBookRows(), ElementsAre());
  EXPECT_EQ(plan.crashesThrown(), 2);
}

TEST(FaultyPlatformTest, ATransactionIsOneWriteAndACrashAtItsCommitUndoesIt) {
  StoreFiles files;
  files.AddPhoneBookRow("1", "Kim", "5550000001", 4, 1);
  for (int crashAt : {0, 1}) {
    SCOPED_TRACE(crashAt);
    CrashPlan plan(crashAt);
    FaultyDatabaseEngine engine(files.databases, plan);
    std::unique_ptr<Database> database = engine.OpenDatabase(files.phoneBookPath);
    try {
      std::unique_ptr<Transaction> transaction = database->BeginTransaction();
      AddRow(*database, "2", "5550000002");
      AddRow(*database, "2", "5550000003");
      transaction->Commit();
    } catch (const SimulatedCrash& crash) {
      EXPECT_EQ(crash.write, 1);
      EXPECT_THAT(crash.where, HasSubstr("commit of 2 changes to " + files.phoneBookPath));
    }
    if (crashAt == 0) {
      EXPECT_THAT(plan.writes(), ElementsAre("commit of 2 changes to " + files.phoneBookPath));
      EXPECT_THAT(files.PhoneBookRows(), SizeIs(3));
      files.ExecutePhoneBookSql("DELETE FROM tblContactList WHERE ContactID = 2");
    } else {
      EXPECT_TRUE(plan.crashed());
      EXPECT_THAT(plan.writes(), ElementsAre());
      EXPECT_THAT(files.PhoneBookRows(),
                  ElementsAre(PhoneBookRow{"1", "Kim", "5550000001", "4", "1", "6"}));
    }
  }
}

TEST(FaultyPlatformTest, ACommitThatChangesNothingIsNoWrite) {
  StoreFiles files;
  CrashPlan plan;
  FaultyDatabaseEngine engine(files.databases, plan);
  std::unique_ptr<Database> database = engine.OpenDatabase(files.phoneBookPath);
  std::unique_ptr<Transaction> transaction = database->BeginTransaction();
  transaction->Commit();
  EXPECT_THAT(plan.writes(), ElementsAre());
}

TEST(FaultyPlatformTest, OnlyCardSavesAndDeletesThatChangeTheFolderAreWrites) {
  StoreFiles files;
  const std::string annPath = files.AddCard({"ann", {{P::FileAs, "Lee, Ann"}, {P::User2, "Y"}}});
  files.AddCard({"bo", {{P::FileAs, "Ng, Bo"}, {P::User2, "Y"}}});
  CrashPlan plan(4);
  FaultyContactStore store(files.contacts, plan);
  std::unique_ptr<ContactsFolder> folder = store.OpenFolder(files.contactsPath);

  std::unique_ptr<ContactItem> ann = folder->Find("[FileAs] = 'Lee, Ann'");
  ann->Set(P::User2, "Y");  // as it is
  ann->Save();
  EXPECT_THAT(plan.writes(), ElementsAre());
  ann->Set(P::User3, "1");
  ann->Save();
  std::unique_ptr<ContactItem> created = folder->CreateItem();
  created->Set(P::FileAs, "Ox, Cy");
  created->Save();
  folder->Find("[FileAs] = 'Ng, Bo'")->Delete();
  EXPECT_THAT(plan.writes(), ElementsAre("save of " + annPath, HasSubstr("save of a new contact"),
                                         "delete of " + files.contactsPath + "/bo.vcf"));

  // The fourth write does not happen.
  const std::string before = testing::ReadFile(annPath);
  ann->Set(P::User3, "2");
  EXPECT_THROW(ann->Save(), SimulatedCrash);
  EXPECT_EQ(testing::ReadFile(annPath), before);
  EXPECT_EQ(files.CardNamed("Lee, Ann").value()["User3"], "1");
  EXPECT_EQ(files.Cards().size(), 2u);
}

}  // namespace
}  // namespace twinbook
