#include <gtest/gtest.h>

#include <functional>

#include "engine/start_sync.h"
#include "support/good_stores.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using testing::LoosenTable;
using testing::SeedGoodStores;
using testing::StoreFiles;
using testing::SyncInsert;
using testing::SyncRow;

constexpr const char* kLogFile = "SyncLog.txt";

std::string PhoneBookInsert(const std::string& values) {
  return "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial) "
         "VALUES (" +
         values + ")";
}

std::string IncludedCardWithID(const std::string& id) {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:odd\r\nFN:Odd\r\nN:Odd;;;;\r\n"
         "X-TWINBOOK-USER2:y\r\nX-TWINBOOK-USER3:" +
         id + "\r\nEND:VCARD\r\n";
}

struct BrokenCase {
  std::string what;
  std::function<void(StoreFiles&)> breakIt;
  // Texts the error must hold; "$PB", "$SYNC" and "$DATA" stand for the
  // phone book's path, the sync database's path and the Data folder.
  std::vector<std::string> named;
};

std::vector<BrokenCase> BrokenCases() {
  auto pb = [](std::string sql) { return [sql](StoreFiles& f) { f.ExecutePhoneBookSql(sql); }; };
  auto sync = [](std::string sql) { return [sql](StoreFiles& f) { f.ExecuteSyncSql(sql); }; };
  auto loosePb = [](std::string sql) {
    return [sql](StoreFiles& f) {
      LoosenTable(f, true);
      f.ExecutePhoneBookSql(sql);
    };
  };
  auto looseSync = [](std::string sql) {
    return [sql](StoreFiles& f) {
      LoosenTable(f, false);
      f.ExecuteSyncSql(sql);
    };
  };
  auto card = [](std::string fileName, std::string content) {
    return [fileName, content](StoreFiles& f) { f.WriteCardFile(fileName, content); };
  };
  const std::string row3 = "Row 3 of table tblContactList in $PB";
  const std::string syncRow2 = "Row 2 of table SyncContacts in $SYNC";
  const std::string emptyCells = "'', '', '', '', '', '', '', '', ''";
  std::vector<BrokenCase> cases = {
      // The phone book.
      {"null ContactID",
       pb(PhoneBookInsert("NULL, 'Dee', '5550404', 4, 3")),
       {row3, "ContactID", "null"}},
      {"null ContactName of a new contact",
       pb(PhoneBookInsert("4, NULL, '5550404', 4, 3")),
       {row3, "ContactName", "null"}},
      {"null ContactName of a further row",
       pb(PhoneBookInsert("1, NULL, '5550404', 2, 3")),
       {row3, "ContactName", "null"}},
      {"null Number",
       pb(PhoneBookInsert("1, 'Lee, Ann', NULL, 2, 3")),
       {row3, "column Number", "null"}},
      {"null Number in a row of type 7",
       pb(PhoneBookInsert("4, 'Dee', NULL, 7, 3")),
       {row3, "column Number", "null"}},
      {"null SpeedDial",
       pb(PhoneBookInsert("1, 'Lee, Ann', '5550404', 2, NULL")),
       {row3, "SpeedDial", "null"}},
      {"ContactID 0", pb(PhoneBookInsert("0, 'Dee', '5550404', 4, 3")), {row3, "ContactID", "0"}},
      {"negative ContactID",
       pb(PhoneBookInsert("-4, 'Dee', '5550404', 4, 3")),
       {row3, "ContactID", "-4"}},
      {"fractional ContactID",
       loosePb(PhoneBookInsert("4.5, 'Dee', '5550404', 4, 3")),
       {row3, "ContactID", "4.5"}},
      {"text ContactID",
       loosePb(PhoneBookInsert("'four', 'Dee', '5550404', 4, 3")),
       {row3, "ContactID", "'four'"}},
      {"text SpeedDial",
       loosePb(PhoneBookInsert("1, 'Lee, Ann', '5550404', 2, 'one'")),
       {row3, "SpeedDial", "'one'"}},
      // A number of an unknown kind would read as deleted from the phone.
      {"text NumberType",
       loosePb(PhoneBookInsert("1, 'Lee, Ann', '5550404', 'home', 3")),
       {row3, "NumberType", "'home'"}},
      {"fractional NumberType",
       loosePb(PhoneBookInsert("1, 'Lee, Ann', '5550404', 2.5, 3")),
       {row3, "NumberType", "2.5"}},
      {"missing phone book table", pb("DROP TABLE tblContactList"), {"tblContactList", "$PB"}},
      {"missing phone book column",
       pb("ALTER TABLE tblContactList DROP COLUMN SpeedDial"),
       {"tblContactList", "SpeedDial", "$PB"}},
      {"missing phone book column of an empty table",
       pb("DELETE FROM tblContactList; ALTER TABLE tblContactList DROP COLUMN NumberType"),
       {"tblContactList", "NumberType", "$PB"}},
      {"missing column that only the writer uses",
       pb("ALTER TABLE tblContactList DROP COLUMN PhoneNumberLength"),
       {"tblContactList", "PhoneNumberLength", "$PB"}},
      {"missing phone book file",
       [](StoreFiles& f) { f.settings.Set("PhoneBookPath", f.data + "/Missing.mdb"); },
       {"$DATA/Missing.mdb"}},
      {"phone book file that is no database",
       [](StoreFiles& f) {
         testing::WriteFile(f.data + "/Text.mdb", "Name,Number\r\nAnn,555\r\n");
         f.settings.Set("PhoneBookPath", f.data + "/Text.mdb");
       },
       {"$DATA/Text.mdb"}},

      // The sync database.
      {"null sync ContactID",
       sync(SyncInsert("NULL, 'Dee', " + emptyCells + ", ''")),
       {syncRow2, "ContactID", "null"}},
      {"sync ContactID 0",
       sync(SyncInsert("0, 'Dee', " + emptyCells + ", ''")),
       {syncRow2, "ContactID", "0"}},
      {"text sync ContactID",
       looseSync(SyncInsert("'x', 'Dee', " + emptyCells + ", ''")),
       {syncRow2, "ContactID", "'x'"}},
      {"null Name",
       sync(SyncInsert("4, NULL, " + emptyCells + ", ''")),
       {syncRow2, "column Name", "null"}},
      {"null Mobile",
       sync(SyncInsert("4, 'Dee', '', '', '', '', NULL, '', '', '', '', ''")),
       {syncRow2, "column Mobile", "null"}},
      {"null SpeedDial in the sync table",
       sync(SyncInsert("4, 'Dee', " + emptyCells + ", NULL")),
       {syncRow2, "column SpeedDial", "null"}},
      {"missing sync table", sync("DROP TABLE SyncContacts"), {"SyncContacts", "$SYNC"}},
      {"missing sync column",
       sync("ALTER TABLE SyncContacts DROP COLUMN Pager"),
       {"SyncContacts", "Pager", "$SYNC"}},
      {"missing sync column of an empty table",
       sync("DELETE FROM SyncContacts; ALTER TABLE SyncContacts DROP COLUMN Email"),
       {"SyncContacts", "Email", "$SYNC"}},
      {"missing sync file",
       [](StoreFiles& f) { f.settings.Set("SyncPath", f.data + "/Missing.mdb"); },
       {"$DATA/Missing.mdb"}},

      // The contacts folder.
      {"missing contacts folder",
       [](StoreFiles& f) { f.settings.Set("ContactsPath", f.data + "/NoContacts"); },
       {"$DATA/NoContacts"}},
      {"card that is no vCard", card("notes.vcf", "Call Ann about the phone.\r\n"), {"notes.vcf"}},
      {"card file holding two cards",
       card("two.vcf", IncludedCardWithID("4") + IncludedCardWithID("5")),
       {"two.vcf"}},
      {"empty card file", card("empty.vcf", ""), {"empty.vcf"}},
  };
  for (std::string id : {"07", "0", "-5", "+5", "5.0", "5 6", "five"}) {
    cases.push_back(
        {"contact ID " + id, card("odd.vcf", IncludedCardWithID(id)), {"odd.vcf", "'" + id + "'"}});
  }
  return cases;
}

std::string Expand(std::string text, const StoreFiles& files) {
  const std::pair<std::string, std::string> names[] = {
      {"$PB", files.phoneBookPath}, {"$SYNC", files.syncPath}, {"$DATA", files.data}};
  for (const auto& [name, value] : names) {
    size_t at = text.find(name);
    if (at != std::string::npos) {
      text.replace(at, name.size(), value);
    }
  }
  return text;
}

std::map<std::string, std::string> WithoutLog(std::map<std::string, std::string> files) {
  files.erase(kLogFile);
  return files;
}

// A run over a store with bad input stops with an error naming the culprit,
// before any store is written: every file stays as it was, the excluded card
// included, which only a run that loaded every store may rewrite.
TEST(BrokenStoresTest, BadInputStopsTheRunBeforeAnythingIsWritten) {
  for (const BrokenCase& c : BrokenCases()) {
    SCOPED_TRACE(c.what);
    StoreFiles files;
    SeedGoodStores(files);
    c.breakIt(files);
    const auto before = WithoutLog(files.Snapshot());

    files.Run();

    EXPECT_EQ(files.view.status(), kStatusError);
    ASSERT_EQ(files.view.messages.size(), 1u);
    const std::string& message = files.view.messages[0];
    for (const std::string& named : c.named) {
      EXPECT_NE(message.find(Expand(named, files)), std::string::npos)
          << "'" << Expand(named, files) << "' is not named in: " << message;
    }
    std::vector<std::string> log = files.LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), message);
    EXPECT_FALSE(files.view.StartShown(Phase::AssignIDs));
    EXPECT_FALSE(files.view.StartShown(Phase::WritingSync));
    // The excluded card among them, unrewritten.
    EXPECT_EQ(before.count("Contacts/bob.vcf"), 1u);
    EXPECT_EQ(WithoutLog(files.Snapshot()), before);
  }
}

// The same stores without a fault: the run ends well and rewrites the
// excluded card, so the cases above fail for their fault alone.
TEST(BrokenStoresTest, TheGoodStoresRunAndRewriteTheExcludedCard) {
  StoreFiles files;
  SeedGoodStores(files);
  files.Run();
  EXPECT_EQ(files.view.status(), kStatusComplete);
  EXPECT_TRUE(files.view.messages.empty()) << files.view.messages.front();
  std::optional<testing::CardView> bob = files.CardNamed("Ray, Bob");
  ASSERT_TRUE(bob.has_value());
  EXPECT_EQ((*bob)["User2"], "No");
  EXPECT_EQ((*bob)["User3"], "");
  EXPECT_EQ((*bob)["User4"], "");
  EXPECT_EQ((*bob)["MobileTelephoneNumber"], "312 555 0202");
}

// A capacity stop writes none of the changes worked out, but the loading's
// own rewrite of excluded contacts has happened by then and stays.
TEST(BrokenStoresTest, ACapacityStopStillRewritesTheExcludedCard) {
  StoreFiles files;
  SeedGoodStores(files);
  files.settings.Set("NumberLimit", "1");
  auto before = files.Snapshot();

  files.Run();

  EXPECT_EQ(files.view.status(), kStatusError);
  ASSERT_EQ(files.view.messages.size(), 1u);
  EXPECT_EQ(files.view.messages[0],
            "The 2 phone numbers in Outlook exceeds your phone's capacity of 1.");
  auto after = files.Snapshot();
  const std::string bobFile = "Contacts/bob.vcf";
  EXPECT_NE(after.at(bobFile), before.at(bobFile));
  before.erase(bobFile);
  after.erase(bobFile);
  EXPECT_EQ(WithoutLog(after), WithoutLog(before));
  EXPECT_EQ(files.CardNamed("Ray, Bob").value()["User2"], "No");
}

}  // namespace
}  // namespace twinbook
