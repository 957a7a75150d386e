// Whole runs through StartSync, and the inclusion report, over real files: cards, the PhoneBook and
// the sync database seeded as other programs leave them, the user's answers scripted, and every
// store and the log read back after each run.
//
// A case is a script, one step a line, "#" lines its heading. Before a run,
// "card UID Prop=value|...", "pb ID|Name|Number|Type|Speed" and "sync ID|Name|
// W2|DC|H|W1|M|F|P|O|E|SpeedDial" add a card or row; after it, "card FILEAS:
// Prop=..." checks that card ("Prop=": none), "pb" rows (with the length code)
// or "sync" rows the whole table ("pb": empty). "synced": Ann and Cy as the
// last run left them; "good": good_stores.h; "file NAME TEXT" ("\n" a line
// end), "rm NAME", "pbsql SQL", "syncsql SQL", "loose pb|sync" and "set Key=
// value" do what other programs do; "name First|Last|Full|FileAs" answers the
// next name prompt ("name -" closes it). "run" must end well; "stable" too,
// changing no store, asking and logging nothing; "fails Word|..." must stop,
// changing no store, with an error naming each word. "log" lines: the log from
// the first to its end; "cards N": the items. $PB, $SYNC, $DATA: the paths.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/start_sync.h"
#include "environment/app_info.h"
#include "stores/inclusion_report.h"
#include "support/good_stores.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using ::testing::ElementsAre;
using testing::StoreFiles;

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at = 0; (at = text.find(separator, start)) != std::string::npos;
       start = at + separator.size()) {
    parts.push_back(text.substr(start, at - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The store files, without the log and SQLite's WAL index and empty WAL.
std::map<std::string, std::string> Stores(const StoreFiles& files) {
  std::map<std::string, std::string> stores = files.Snapshot();
  std::erase_if(stores, [](const auto& file) {
    return file.first == "SyncLog.txt" || file.first.ends_with("-shm") ||
           (file.first.ends_with("-wal") && file.second.empty());
  });
  return stores;
}

// A table's rows in stored order, their values joined by "|".
std::vector<std::string> TableLines(const StoreFiles& files, bool phoneBook) {
  std::vector<std::string> lines;
  for (const auto& row : testing::QueryRows(
           phoneBook ? files.phoneBookPath : files.syncPath,
           phoneBook ? "SELECT ContactID, ContactName, Number, NumberType, SpeedDial, "
                       "PhoneNumberLength FROM tblContactList ORDER BY rowid"
                     : "SELECT * FROM SyncContacts ORDER BY rowid")) {
    std::string& line = lines.emplace_back();
    for (const testing::SqlValue& value : row) {
      line += (&value == &row.front() ? "" : "|") + value.text;
    }
  }
  return lines;
}

const std::string kSynced = R"(
card card1 FileAs=Lee, Ann|User2=YES|User3=1|User4=M:1|MobileTelephoneNumber=5551110000
pb 1|Lee, Ann|5551110000|4|1
sync 1|Lee, Ann|||||5551110000|||||M:1
card card2 FileAs=Ox, Cy|User2=YES|User3=2|User4=H:3,M:2|HomeTelephoneNumber=5552220000|MobileTelephoneNumber=5553330000
pb 2|Ox, Cy|5552220000|2|3
pb 2|Ox, Cy|5553330000|4|2
sync 2|Ox, Cy|||5552220000||5553330000|||||H:3,M:2
)";

void RunScript(std::string script) {
  script = Replace(script, "\nsynced\n", kSynced);
  StoreFiles files;
  bool ran = false;
  std::map<std::string, std::string> before;
  std::map<std::string, std::vector<std::string>> expected;  // "log", "pb", "sync"
  size_t prompts = 0;
  auto run = [&](const std::string& status) {
    const auto log = expected.contains("log") ? files.LogLines() : std::vector<std::string>{};
    for (const auto& [what, lines] : expected) {
      EXPECT_EQ(what == "log" ? std::vector(std::find(log.begin(), log.end(), lines[0]), log.end())
                              : TableLines(files, what == "pb"),
                lines);
    }
    expected.clear();
    if (!status.empty()) {
      before = Stores(files);
      prompts = files.view.namesAsked.size() + files.view.conflictsAsked.size();
      files.view.messages.clear();
      files.Run();
      ran = true;
      EXPECT_EQ(files.view.status(), status);
    }
  };
  for (std::string line : Split(script, "\n")) {
    for (const auto& [name, value] : {std::pair{"$PB", files.phoneBookPath},
                                      {"$SYNC", files.syncPath},
                                      {"$DATA", files.data}}) {
      line = Replace(line, name, value);
    }
    SCOPED_TRACE(line);
    const std::string step = line.substr(0, line.find(' '));
    const std::string rest = step.size() < line.size() ? line.substr(step.size() + 1) : "";
    const std::vector<std::string> f = Split(rest, "|");
    const size_t split = std::min(rest.find(ran ? ": " : " "), rest.size());
    std::map<std::string, std::string> properties;  // of a card
    for (const std::string& pair :
         Split(rest.substr(std::min(split + 1 + ran, rest.size())), "|")) {
      properties[pair.substr(0, pair.find('='))] = pair.substr(pair.find('=') + 1);
    }
    if (step == "card" && !ran) {
      testing::CardSpec card{rest.substr(0, split), {}};
      for (const auto& [name, value] : properties) {
        card.properties[PropertyNamed(name).value()] = value;
      }
      files.AddCard(card);
    } else if (step == "card") {
      const std::optional<testing::CardView> card = files.CardNamed(rest.substr(0, split));
      ASSERT_TRUE(card.has_value());
      for (const auto& [name, value] : properties) {
        EXPECT_EQ((*card)[name], value) << name;
      }
    } else if (step == "pb" && !ran) {
      files.AddPhoneBookRow(f.at(0), f.at(1), f.at(2), std::stoi(f.at(3)), std::stoi(f.at(4)));
    } else if (step == "sync" && !ran) {
      files.AddSyncRow({f.at(0), f.at(1), f.at(2), f.at(3), f.at(4), f.at(5), f.at(6), f.at(7),
                        f.at(8), f.at(9), f.at(10), f.at(11)});
    } else if (step == "log" || step == "pb" || step == "sync") {
      std::vector<std::string>& lines = expected[step];  // "pb" alone: an empty table
      if (!rest.empty() || step == "log") {
        lines.push_back(rest);
      }
    } else if (step == "good") {
      SeedGoodStores(files);
    } else if (step == "file") {
      files.WriteCardFile(rest.substr(0, split), Replace(rest.substr(split + 1), "\\n", "\r\n"));
    } else if (step == "rm") {
      std::filesystem::remove(files.contactsPath + "/" + rest);
    } else if (step == "pbsql") {
      files.ExecutePhoneBookSql(rest);
    } else if (step == "syncsql") {
      files.ExecuteSyncSql(rest);
    } else if (step == "loose") {
      testing::LoosenTable(files, rest == "pb");
    } else if (step == "set") {
      files.settings.Set(rest.substr(0, rest.find('=')), rest.substr(rest.find('=') + 1));
    } else if (step == "name") {
      files.view.nameScript.push_back(
          rest == "-" ? std::nullopt
                      : std::optional(NameValues{f.at(0), f.at(1), f.at(2), f.at(3)}));
    } else if (step == "run" || step == "stable") {
      run(kStatusComplete);
      EXPECT_THAT(files.view.messages, ElementsAre());
      if (step == "stable") {
        EXPECT_TRUE(Stores(files) == before) << "a store file changed";
        EXPECT_EQ(files.view.namesAsked.size() + files.view.conflictsAsked.size(), prompts);
        const std::vector<std::string> log = files.LogLines();
        EXPECT_THAT(std::vector(std::find(log.begin(), log.end(), "Writing to Outlook Contacts."),
                                log.end()),
                    ::testing::Each(::testing::Not(::testing::StartsWith("... "))));
      }
    } else if (step == "fails") {
      run(kStatusError);
      ASSERT_EQ(files.view.messages.size(), 1u);
      for (const std::string& word : f) {
        EXPECT_THAT(files.view.messages[0], ::testing::HasSubstr(word));
      }
      EXPECT_EQ(files.LogLines().back(), files.view.messages[0]);
      EXPECT_FALSE(files.view.StartShown(Phase::AssignIDs));
      EXPECT_TRUE(Stores(files) == before) << "a store file changed";
    } else if (step == "cards") {
      EXPECT_EQ(files.Cards().size(), std::stoul(rest));
    } else if (!line.empty() && !line.starts_with("#")) {
      ADD_FAILURE() << "unknown step";
    }
  }
  run("");
  EXPECT_TRUE(files.view.conflictScript.empty() && files.view.nameScript.empty()) << "unused";
}

const std::string kRuns = R"x(
# No sync database yet: the desktop contact of the PhoneBook's name takes its
# ID and speed dial, one on one side only is added to the other.
card ann FileAs=Lee, Ann|User2=Y|MobileTelephoneNumber=555-111-0000
card bo FileAs=Ng, Bo|User2=yes|HomeTelephoneNumber=5552220000|Email1Address=bo@example.org
card dee FileAs=Dee|User2=No|User3=4
pb 1|Lee, Ann|5551110000|4|1
pb 2|Ox, Cy|5553330000|6|2
run
log Writing to Outlook Contacts.
log ... Lee, Ann has been assigned a contact ID of 1.
log ... The new speed dial values for Lee, Ann have been saved.
log ... Ng, Bo has been assigned a contact ID of 3.
log ... The new speed dial values for Ng, Bo have been saved.
log ... Ox, Cy has been added with the following values:
log ........ Contact ID: 2
log ........ File as: Ox, Cy
log ........ Pager number: (555) 333-0000, Speed dial: 2
log Writing to the PhoneBook database.
log ... A home number of 5552220000 was added for Ng, Bo.
log ... A email address of bo@example.org was added for Ng, Bo.
log Writing to the sync database.
log ... Lee, Ann has been added.
log ... Ng, Bo has been added.
log ... Ox, Cy has been added.
pb 1|Lee, Ann|5551110000|4|1|6
pb 2|Ox, Cy|5553330000|6|2|6
pb 3|Ng, Bo|5552220000|2|3|6
pb 3|Ng, Bo|bo@example.org|10|4|255
card Ng, Bo: User3=3|User4=H:3,E:4
card Ox, Cy: User2=YES|User3=2|User4=P:2|PagerNumber=(555) 333-0000
stable

# Cards reach the PhoneBook as the phone keeps them: digits only but for a
# direct connect number, addresses in small letters, a directory address as
# the one in parentheses in its display name, else that name, else as it is;
# speed dials kept. Only "Y" and "YES" in any case take part: other cards are
# rewritten as not taking part, distribution lists are left alone, even one
# that carries the ID a contact is given.
card ann FileAs=Doe, Ann|User2=yEs|Business2TelephoneNumber=+1 (312) 555-0142|User1=123*45*678|HomeTelephoneNumber=555-1234 x12|BusinessTelephoneNumber=312.555.0300|MobileTelephoneNumber=(312) 555 0400|BusinessFaxNumber=312-555-0500|PagerNumber=3125550600|OtherTelephoneNumber=tel. 312 555 0700|Email1Address=Ann.Doe@Example.COM|User4=W2:5,DC:3,H:1,W1:2,M:4,F:6,P:7,O:8,E:9
file bo.vcf BEGIN:VCARD\nVERSION:3.0\nUID:bo\nFN:Bo\nN:Bo;;;;\nX-EVOLUTION-FILE-AS:Ek, Bo\nX-TWINBOOK-USER2:y\nEMAIL;TYPE=INTERNET;X-TWINBOOK-DISPLAY-NAME="Bo Ek (Bo.Ek@Example.COM)":/o=Corp/cn=BEk\nEND:VCARD\n
card cy FileAs=Cy|User2=YES |User3=07|User4=M:1|MobileTelephoneNumber=5553330000
file dee.vcf BEGIN:VCARD\nVERSION:3.0\nUID:dee\nFN:Dee\nX-TWINBOOK-USER2:y\nEMAIL;X-TWINBOOK-DISPLAY-NAME=Dee@Example.COM:/o=Corp/cn=Dee\nEND:VCARD\n
file eve.vcf BEGIN:VCARD\nVERSION:3.0\nUID:eve\nFN:Eve\nX-TWINBOOK-USER2:y\nEMAIL;X-TWINBOOK-DISPLAY-NAME=Eve (eve@example.com:cn=Eve\nEND:VCARD\n
card fay FileAs=Fay|User2=Y|Email1Address=/o=Corp/cn=Fay
file group.vcf BEGIN:VCARD\nVERSION:4.0\nUID:group\nKIND:group \nFN:Club\nMEMBER:urn:uuid:ann\nX-TWINBOOK-USER2:YES\nX-TWINBOOK-USER3:5\nEND:VCARD\n
run
sync 1|Doe, Ann|13125550142|123*45*678|555123412|3125550300|3125550400|3125550500|3125550600|3125550700|ann.doe@example.com|W2:5,DC:3,H:1,W1:2,M:4,F:6,P:7,O:8,E:9
sync 2|Ek, Bo|||||||||bo.ek@example.com|E:10
sync 3|Dee|||||||||dee@example.com|E:11
sync 4|Eve|||||||||eve@example.com|E:12
sync 5|Fay|||||||||/o=corp/cn=fay|E:13
card Fay: User3=5|User4=E:13
card Cy: User2=No|User3=|User4=|MobileTelephoneNumber=5553330000
cards 7
stable

# A contact's PhoneBook rows fold into one at its first row, with that row's
# name; of two rows of one kind the later wins; rows of kinds not synchronised
# give only the contact; whole numbers may be stored as reals.
loose pb
pb 7|Ann Lee|1111111|4|5
pb 9|Bob|5550200|2|-1
pb 7|Ann Smith|ann@example.com|10|250
pb 7||3333333|4|0
pb 5|Seven|5550007|7|1
pb 5|Seven|5550099|4|6
pbsql INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial) VALUES (6, 'Untyped', '5550013', NULL, 5), (12.0, 'Real', 5550100, 4.0, 3.0)
run
card Ann Lee: User3=7|User4=M:0,E:250|MobileTelephoneNumber=333-3333|Email1Address=ann@example.com
card Bob: User3=9|User4=H:-1|HomeTelephoneNumber=555-0200
card Seven: User3=5|User4=M:6|MobileTelephoneNumber=555-0099
card Real: User3=12|User4=M:3|MobileTelephoneNumber=555-0100
stable

# A PhoneBook change reaches the card in one save, numbers in the chosen mask,
# a direct connect number and an address as they are.
synced
set MaskOption=4
pb 2|Ox, Cy|123*45*678|1|7
pb 2|Ox, Cy|5556667777|6|5
pb 2|Ox, Cy|cy@example.org|10|6
pbsql UPDATE tblContactList SET Number = '5553334444' WHERE Number = '5552220000'; DELETE FROM tblContactList WHERE Number = '5553330000'
run
log Writing to Outlook Contacts.
log ... The direct connect number for Ox, Cy has been changed from  to 123*45*678.
log ... The email address for Ox, Cy has been changed from  to cy@example.org.
log ... The home number for Ox, Cy has been changed from 5552220000 to 555.333.4444.
log ... The mobile number for Ox, Cy has been deleted.
log ... The pager number for Ox, Cy has been changed from  to 555.666.7777.
log ... The new speed dial values for Ox, Cy have been saved.
log Writing to the PhoneBook database.
log Writing to the sync database.
log ... Ox, Cy has been modified.
card Ox, Cy: User1=123*45*678|HomeTelephoneNumber=555.333.4444|MobileTelephoneNumber=|PagerNumber=555.666.7777|Email1Address=cy@example.org|User4=DC:7,H:3,P:5,E:6
stable

# Desktop changes reach every row of the contact, last row first: a rename
# with the whole name, numbers changed, removed and added (a new row holding
# what the phone keeps of the name); a row of a kind not synchronised is left.
card bo FileAs=Ekström-Lindqvist Andersson, Bo|User2=Y|User3=5|User4=M:1,H:2,DC:3|MobileTelephoneNumber=15551110000|User1=123*456*789|PagerNumber=5554440000
pb 5|Ek, Bo|5551110000|4|1
pb 5|Ek, Bo|5552220000|2|2
pb 5|Ek, Bo|77*88|1|3
pb 5|Ek, Bo|radio|7|20
sync 5|Ek, Bo||77*88|5552220000||5551110000|||||M:1,H:2,DC:3
run
log Writing to Outlook Contacts.
log ... The new speed dial values for Ekström-Lindqvist Andersson, Bo have been saved.
log Writing to the PhoneBook database.
log ... The name for Ek, Bo has been changed to Ekström-Lindqvist Andersson, Bo.
log ... The direct connect number for Ekström-Lindqvist Andersson, Bo has been changed from 77*88 to 123*456*789.
log ... The home number for Ekström-Lindqvist Andersson, Bo has been deleted.
log ... The name for Ek, Bo has been changed to Ekström-Lindqvist Andersson, Bo.
log ... The mobile number for Ekström-Lindqvist Andersson, Bo has been changed from 5551110000 to 15551110000.
log ... A pager number of 5554440000 was added for Ekström-Lindqvist Andersson, Bo.
log Writing to the sync database.
log ... Ekström-Lindqvist Andersson, Bo has been modified.
pb 5|Ekström-Lindqvist Andersson, Bo|15551110000|4|1|7
pb 5|Ekström-Lindqvist Andersson, Bo|123*456*789|1|3|255
pb 5|Ek, Bo|radio|7|20|0
pb 5|Ekström-Lindqvist Ande|5554440000|6|4|6
stable

# A contact deleted on either side is deleted on the other, every row of it.
synced
pb 1|Lee, Ann|77*88|1|3
syncsql UPDATE SyncContacts SET DirectConnect = '77*88', SpeedDial = 'DC:3,M:1' WHERE ContactID = 1
rm card1.vcf
pbsql DELETE FROM tblContactList WHERE ContactID = 2
run
log Writing to Outlook Contacts.
log ... Ox, Cy has been deleted.
log Writing to the PhoneBook database.
log ... The direct connect number for Lee, Ann has been deleted.
log ... The mobile number for Lee, Ann has been deleted.
log Writing to the sync database.
log ... Lee, Ann has been deleted.
log ... Ox, Cy has been deleted.
pb
sync
cards 0
stable

# A rename on the phone reaches the card through the name prompt, closed:
# the card takes what the prompt was filled with.
synced
card card1 FileAs=Lee, Ann|FirstName=Ann|LastName=Lee|FullName=Ann Lee|User2=YES|User3=1|User4=M:1|MobileTelephoneNumber=5551110000
pbsql UPDATE tblContactList SET ContactName = 'Lee-Park, Ann' WHERE ContactID = 1
name -
run
card Lee-Park, Ann: FirstName=Ann|LastName=Lee|FullName=Ann Lee
stable

# With the nickname as the name, a card is found by it, a rename reaches it,
# and a created card carries it.
set NameField=Nickname
card al FileAs=Ek, Al|FullName=Al Ek|NickName=Ally|User2=Y|MobileTelephoneNumber=5551234567
pb 1|Ally|5551234567|4|1
pb 2|Cee|5557654321|4|2
name |||Cee
run
card Ek, Al: User3=1|User4=M:1|NickName=Ally
card Cee: NickName=Cee|User3=2
pbsql UPDATE tblContactList SET ContactName = 'Big Al' WHERE ContactID = 1
name -
run
log Writing to Outlook Contacts.
log ... The following name changes for Ally have been made:
log ........ Full name: Al Ek
log ........ Nick name: Big Al
log ........ File as: Ek, Al
log Writing to the PhoneBook database.
log Writing to the sync database.
log ... Big Al has been modified.
card Ek, Al: NickName=Big Al
stable

# A PhoneBook change that fails is logged, leaves the contact's rows and sync
# row as they were, and is made by the next run; no card is lost. Made, a
# desktop change reaches the PhoneBook and the sync row, and the card stays.
synced
card card1 FileAs=Lee, Ann|User2=YES|User3=1|User4=M:1|MobileTelephoneNumber=(555) 999-0000
card bo FileAs=Ng, Bo|User2=Y|PagerNumber=5554440000
pbsql CREATE TRIGGER refuseInsert BEFORE INSERT ON tblContactList WHEN NEW.Number = '5554440000' BEGIN SELECT RAISE(ABORT, 'no room'); END; CREATE TRIGGER refuseUpdate BEFORE UPDATE ON tblContactList WHEN NEW.Number = '5559990000' BEGIN SELECT RAISE(ABORT, 'no change'); END;
run
log Writing to the PhoneBook database.
log ... The changes for Lee, Ann could not be written to the PhoneBook and will be tried again at the next synchronization: Cannot change row id 1 in table tblContactList of $PB: no change
log ... The changes for Ng, Bo could not be written to the PhoneBook and will be tried again at the next synchronization: Cannot add a row in table tblContactList of $PB: no room
log Writing to the sync database.
pb 1|Lee, Ann|5551110000|4|1|6
pb 2|Ox, Cy|5552220000|2|3|6
pb 2|Ox, Cy|5553330000|4|2|6
card Ng, Bo: User3=3
pbsql DROP TRIGGER refuseInsert; DROP TRIGGER refuseUpdate;
run
log Writing to the PhoneBook database.
log ... The mobile number for Lee, Ann has been changed from 5551110000 to 5559990000.
log ... A pager number of 5554440000 was added for Ng, Bo.
log Writing to the sync database.
log ... Lee, Ann has been modified.
log ... Ng, Bo has been added.
pb 1|Lee, Ann|5559990000|4|1|6
pb 2|Ox, Cy|5552220000|2|3|6
pb 2|Ox, Cy|5553330000|4|2|6
pb 3|Ng, Bo|5554440000|6|4|6
sync 1|Lee, Ann|||||5559990000|||||M:1
sync 2|Ox, Cy|||5552220000||5553330000|||||H:3,M:2
sync 3|Ng, Bo|||||||5554440000|||P:4
card Lee, Ann: MobileTelephoneNumber=(555) 999-0000
cards 3
stable

# The PhoneBook keeps a contact only through its numbers' rows: a contact left
# without any is kept as it was there, lest the next run delete its card.
synced
card nobody FileAs=Vu, Nobody|User2=YES
card card1 FileAs=Lee, Ann|User2=YES|User3=1
run
log Writing to the PhoneBook database.
log ... Lee, Ann has no number or e-mail address for the PhoneBook, which cannot keep a contact without one; the PhoneBook is left as it was for this contact.
log ... Vu, Nobody has no number or e-mail address for the PhoneBook, which cannot keep a contact without one; the PhoneBook is left as it was for this contact.
log Writing to the sync database.
pb 1|Lee, Ann|5551110000|4|1|6
pb 2|Ox, Cy|5552220000|2|3|6
pb 2|Ox, Cy|5553330000|4|2|6
card Lee, Ann: MobileTelephoneNumber=
cards 3
)x";

TEST(WriteRunTest, WholeRuns) {
  for (const std::string& script : Split(kRuns, "\n\n")) {
    SCOPED_TRACE(script.substr(0, script.find('\n')));
    RunScript("\n" + script + "\n");
  }
}

// Bad input stops the run, naming the culprit, before any store is written.
// Each line: what is broken ("PB(", "SYNC(": an inserted row; " ; " parts
// steps), "=>", the words the error names ("ROW3", "ROW2": the row's place).
const std::string kBroken = R"(
PB(NULL, 'Dee', '5550404', 4, 3) => ROW3|ContactID|null
PB(1, NULL, '5550404', 2, 3) => ROW3|ContactName|null
PB(1, 'Lee, Ann', NULL, 2, 3) => ROW3|column Number|null
PB(1, 'Lee, Ann', '5550404', 2, NULL) => ROW3|SpeedDial|null
PB(0, 'Dee', '5550404', 4, 3) => ROW3|ContactID|0
loose pb ; PB('12', 'Dee', '5550404', 4, 3) => ROW3|ContactID|'12'
loose pb ; PB(1, 'Lee, Ann', '5550404', 2, 'one') => ROW3|SpeedDial|'one'
loose pb ; PB(1, 'Lee, Ann', '5550404', 'home', 3) => ROW3|NumberType|'home'
loose pb ; PB(1, 'Lee, Ann', '5550404', 2.5, 3) => ROW3|NumberType|2.5
pbsql DROP TABLE tblContactList => tblContactList|$PB
pbsql ALTER TABLE tblContactList DROP COLUMN SpeedDial => tblContactList|SpeedDial|$PB
pbsql ALTER TABLE tblContactList DROP COLUMN PhoneNumberLength => tblContactList|PhoneNumberLength|$PB
set PhoneBookPath=$DATA/Missing.mdb => $DATA/Missing.mdb
file ../Text.mdb Name,Number\nAnn,555\n ; set PhoneBookPath=$DATA/Text.mdb => $DATA/Text.mdb
SYNC(NULL, 'Dee', '', '', '', '', '', '', '', '', '', '') => ROW2|ContactID|null
loose sync ; SYNC('x', 'Dee', '', '', '', '', '', '', '', '', '', '') => ROW2|ContactID|'x'
SYNC(4, NULL, '', '', '', '', '', '', '', '', '', '') => ROW2|column Name|null
SYNC(4, 'Dee', '', '', '', '', NULL, '', '', '', '', '') => ROW2|column Mobile|null
syncsql DROP TABLE SyncContacts => SyncContacts|$SYNC
syncsql ALTER TABLE SyncContacts DROP COLUMN Pager => SyncContacts|Pager|$SYNC
syncsql DELETE FROM SyncContacts; ALTER TABLE SyncContacts DROP COLUMN Email => SyncContacts|Email|$SYNC
set SyncPath=$DATA/Missing.mdb => $DATA/Missing.mdb
set ContactsPath=$DATA/NoContacts => $DATA/NoContacts
file notes.vcf Call Ann about the phone.\n => notes.vcf
card odd FileAs=Odd|User2=y|User3=07 => odd.vcf|'07'
card odd FileAs=Odd|User2=y|User3=+5 => odd.vcf|'+5'
card odd FileAs=Odd|User2=y|User3=5.0 => odd.vcf|'5.0'
card odd FileAs=Odd|User2=y|User3=five => odd.vcf|'five'
)";

TEST(WriteRunTest, BadInputStopsTheRunBeforeAnythingIsWritten) {
  for (std::string line : Split(kBroken.substr(1), "\n")) {
    for (const auto& [from, to] : {std::pair{" ; ", "\n"},
                                   {"PB(",
                                    "pbsql INSERT INTO tblContactList (ContactID, "
                                    "ContactName, Number, NumberType, SpeedDial) VALUES ("},
                                   {"SYNC(", "syncsql INSERT INTO SyncContacts VALUES ("},
                                   {"ROW3", "Row 3 of table tblContactList in $PB"},
                                   {"ROW2", "Row 2 of table SyncContacts in $SYNC"},
                                   {" => ", "\nfails "}}) {
      line = Replace(line, from, to);
    }
    if (!line.empty()) {
      SCOPED_TRACE(line);
      RunScript("\ngood\n" + line + "\n");
    }
  }
}

// Contacts that take part and those that do not, each in folder order under
// the synchronised name; a distribution list is in neither; no card is saved.
// A card that cannot be read stops the report before its file is touched.
TEST(InclusionReportTest, ListsIncludedAndExcludedContactsInFolderOrder) {
  StoreFiles files;
  const std::string report = files.data + "/InclusionReport.txt";
  testing::WriteFile(report, "an older and much longer report\r\nwith two lines\r\n");
  for (const std::string card : {"|YES", "Adams|yes", "Baker|No", "Clark|y", "Davis|", "Evans|YeS",
                                 "Foster|maybe", "Hill| yes"}) {
    const std::string name = card.substr(0, card.find('|'));
    files.AddCard({"c" + name,
                   {{ContactProperty::FileAs, name.empty() ? "" : "F " + name},
                    {ContactProperty::FullName, name},
                    {ContactProperty::User2, card.substr(card.find('|') + 1)}}});
  }
  files.WriteCardFile("a-list.vcf",
                      "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:list\r\nKIND:group\r\nFN:Club"
                      "\r\nX-TWINBOOK-USER2:YES\r\nEND:VCARD\r\n");
  files.state.settings.NameField = "Full Name";
  auto before = files.Snapshot();
  WriteInclusionReport(files.context);
  auto after = files.Snapshot();
  before.erase("InclusionReport.txt"), after.erase("InclusionReport.txt");

  EXPECT_THAT(
      testing::ReadCrLfLines(report),
      ElementsAre(TitleAndVersionLine(), kNotice, "Inclusion Report", "",
                  "Included Contacts:", "     ", "     Adams", "     Clark", "     Evans", "",
                  "Excluded Contacts:", "     Baker", "     Davis", "     Foster", "     Hill"));
  EXPECT_THAT(files.view.messages,
              ElementsAre("The Inclusion Report has been written to " + report));
  EXPECT_EQ(after, before);

  files.WriteCardFile("broken.vcf", "not a card\r\n");
  const std::string written = testing::ReadFile(report);
  EXPECT_THAT([&] { WriteInclusionReport(files.context); },
              ::testing::ThrowsMessage<std::runtime_error>(::testing::HasSubstr("broken.vcf")));
  EXPECT_EQ(testing::ReadFile(report), written);
}

}  // namespace
}  // namespace twinbook
