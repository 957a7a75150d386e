// Hostile inputs, one row each, put into stores that otherwise synchronise
// without a fault (SeedGoodStores) and run through whole runs over the real
// files. A refused input gives one message naming the culprit and changes no
// store; once it is taken away the next run completes. A legitimate one
// simply works, loses nothing, and a second run finds nothing to change.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <set>
#include <sstream>

#include "engine/start_sync.h"
#include "platform/qt/qt_process_launcher.h"
#include "support/good_stores.h"
#include "support/permission_bits.h"
#include "ui/gui_test_support.h"
#include "ui/main_window.h"

namespace twinbook::testing {
namespace {

namespace fs = std::filesystem;
using Step = std::function<void(StoreFiles&)>;
using P = ContactProperty;

struct HostileCase {
  const char* name;
  Step put;
  std::vector<std::string> named = {};  // refused when not empty; "$PB" and so on stand for paths
  Step after = {};                      // refused: takes the culprit away; else: checks more
  bool throughWindow = false;
};

std::string Expand(std::string text, const StoreFiles& f) {
  for (const auto& [name, value] : {std::pair{"$PB", f.phoneBookPath},
                                    {"$SYNC", f.syncPath},
                                    {"$CONTACTS", f.contactsPath},
                                    {"$DATA", f.data}}) {
    if (const size_t at = text.find(name); at != std::string::npos) {
      text.replace(at, std::string(name).size(), value);
    }
  }
  return text;
}
std::string Card(const std::string& uid, const std::string& name, const std::string& more) {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + name + "\r\nN:" + name +
         ";;;;\r\nX-EVOLUTION-FILE-AS:" + name + "\r\nX-TWINBOOK-USER2:YES\r\n" + more +
         "END:VCARD\r\n";
}
// SQL run on the PhoneBook or the sync database, in a table without declared
// types when `loosen`, so that any value fits any column.
Step Sql(bool phoneBook, std::string sql, bool loosen = false) {
  return [=](StoreFiles& f) {
    if (loosen) {
      LoosenTable(f, phoneBook);
    }
    phoneBook ? f.ExecutePhoneBookSql(sql) : f.ExecuteSyncSql(sql);
  };
}
Step Mode(std::string path, fs::perms perms) {
  return [=](StoreFiles& f) { fs::permissions(Expand(path, f), perms); };
}
Step Remove(std::string path) {
  return [=](StoreFiles& f) { fs::remove(Expand(path, f)); };
}
Step Set(std::string key, std::string value) {
  return [=](StoreFiles& f) { f.settings.Set(key, Expand(value, f)); };
}
std::string PbRow(const std::string& values) {
  return "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
         "PhoneNumberLength) VALUES (" +
         values + ")";
}
std::vector<PhoneBookRow> PbRowsOf(const StoreFiles& f, const std::string& id) {
  std::vector<PhoneBookRow> rows = f.PhoneBookRows();
  std::erase_if(rows, [&id](const PhoneBookRow& row) { return row.ContactID != id; });
  return rows;
}
std::string CardField(const StoreFiles& f, const std::string& fileAs, const std::string& name) {
  const auto card = f.CardNamed(fileAs);
  EXPECT_TRUE(card) << fileAs.substr(0, 60);
  return card ? (*card)[name] : "<no card>";
}

// Names that are no UTF-8 (Latin-1, cut sequences, a byte Windows-1252 leaves
// unassigned), and as every store reads them: each stray byte as Windows-1252.
const std::string kOdd =
    "M\xfcller \xc3 \xe2\x82 \xff\x81\x80 Ren\xe9"
    "e";
const std::string kOddRead =
    "M\xc3\xbcller \xc3\x83 \xc3\xa2\xe2\x80\x9a \xc3\xbf\xc2\x81\xe2\x82\xac Ren\xc3\xa9"
    "e";
const std::string kBig = "Big " + std::string(1 << 20, 'x'), kNumber(1 << 20, '7');
const auto kNone = fs::perms::none, kRead = fs::perms::owner_read,
           kFile = kRead | fs::perms::owner_write, kFolder = fs::perms::owner_all,
           kReadFolder = kRead | fs::perms::owner_exec;

// clang-format off
const std::vector<HostileCase> kCases = {
  // Values of another type than the column's: a number where a text belongs
  // reads as its decimal text, also in a row the run must delete; a null
  // type is a kind not synchronised; PhoneNumberLength is only written.
  {"NumbersAsTexts", Sql(true, PbRow("4, 42, 3125550404, 4, 3, 6"), true)},
  {"SyncNumbersAsTexts", [](StoreFiles& f) {
     f.AddCard({"y", {{P::FileAs, "2024"}, {P::User2, "YES"}, {P::User3, "5"}, {P::User4, "M:15"},
                      {P::MobileTelephoneNumber, "(312) 555-0504"}}});
     f.AddPhoneBookRow("5", "2024", "3125550504", 4, 15);
     Sql(false, SyncInsert("5, 2024, '', '', '', '', 3125550504, '', '', '', '', 'M:15'"), true)(f); }},
  {"RealNumberNullTypeTextLength", [](StoreFiles& f) {
     Sql(true, PbRow("4, 'Dee', 3125550404.0, 2, 6, 6") + ";" + PbRow("4, 'Dee', '3125550444', 4, 5, 'ten'")
        + ";" + PbRow("1, 'Lee, Ann', '3125550999', NULL, 9, 6"), true)(f);
     f.ExecuteSyncSql(SyncInsert("4, 'Dee', '', '', '3125550404', '', '3125550444', '', '', '', '', 'H:6,M:5'"));
     f.AddCard({"dee", {{P::FileAs, "Dee"}, {P::User2, "YES"}, {P::User3, "4"}, {P::User4, "M:5"},
                        {P::MobileTelephoneNumber, "1 312 555 0444"}}}); },
   {}, [](StoreFiles& f) {
     EXPECT_EQ(PbRowsOf(f, "4"), (std::vector<PhoneBookRow>{{"4", "Dee", "13125550444", "4", "5", "7"}}));
     EXPECT_EQ(PbRowsOf(f, "1").at(1), (PhoneBookRow{"1", "Lee, Ann", "3125550999", "<null>", "9", "6"})); }},
  {"SyncNullEmail", Sql(false, "UPDATE SyncContacts SET Email = NULL")},
  {"MegabyteTextAsContactID", Sql(true, PbRow(SqlQuote(kBig) + ", 'Dee', '3125550404', 4, 3, 6"), true),
   {"Row 3 of table tblContactList in $PB", "ContactID", "'Big xxxxxxxx"},
   Sql(true, "DELETE FROM tblContactList WHERE ContactName = 'Dee'")},
  {"SyncNullMobile", Sql(false, SyncInsert("4, 'Dee', '', '', '', '', NULL, '', '', '', '', ''")),
   {"Row 2 of table SyncContacts in $SYNC", "column Mobile ", "null"},
   Sql(false, "DELETE FROM SyncContacts WHERE ContactID = 4")},
  // Files and folders that cannot be read or written; a database in WAL
  // mode needs its folder for its journal files.
  {"CardUnreadable", Mode("$CONTACTS/ann.vcf", kNone), {"$CONTACTS/ann.vcf"}, Mode("$CONTACTS/ann.vcf", kFile)},
  {"ContactsFolderReadOnly", Mode("$CONTACTS", kReadFolder), {"$CONTACTS/bob.vcf"}, Mode("$CONTACTS", kFolder)},
  {"PhoneBookUnreadable", Mode("$PB", kNone), {"$PB"}, Mode("$PB", kFile)},
  {"PhoneBookReadOnly", Mode("$PB", kRead), {"$PB", "read-only"}, Mode("$PB", kFile), true},
  {"SyncDatabaseUnreadable", Mode("$SYNC", kNone), {"$SYNC"}, Mode("$SYNC", kFile)},
  {"SyncDatabaseReadOnly", Mode("$SYNC", kRead), {"$SYNC", "read-only"}, Mode("$SYNC", kFile)},
  {"PhoneBookFolderReadOnly", [](StoreFiles& f) {
     fs::create_directory(f.data + "/Phone");
     fs::rename(f.phoneBookPath, f.data + "/Phone/PhoneBook.mdb");
     f.settings.Set("PhoneBookPath", f.phoneBookPath = f.data + "/Phone/PhoneBook.mdb");
     Mode("$DATA/Phone", kReadFolder)(f); }, {"$PB"}, Mode("$DATA/Phone", kFolder)},
  // The contacts folder holding what is no card of its own.
  {"LinkOutOfTheContactsFolder", [](StoreFiles& f) {
     WriteFile(f.data + "/far.vcf", Card("far", "Far", "TEL;TYPE=CELL:312 555 0909\r\n"));
     fs::create_symlink("../far.vcf", f.contactsPath + "/far.vcf"); },
   {"$CONTACTS/far.vcf", "$DATA/far.vcf", "outside"}, Remove("$CONTACTS/far.vcf"), true},
  {"LinkLeadingNowhere", [](StoreFiles& f) { fs::create_symlink(f.data + "/no.vcf", f.contactsPath + "/no.vcf"); },
   {"$CONTACTS/no.vcf", "$DATA/no.vcf"}, Remove("$CONTACTS/no.vcf")},
  {"FolderNamedLikeACard", [](StoreFiles& f) { fs::create_directory(f.contactsPath + "/x.vcf"); },
   {"$CONTACTS/x.vcf", "folder"}, Remove("$CONTACTS/x.vcf")},
  // "../" and "/" where a file name could come from: nothing outside the stores.
  {"DotDotAndSlashInUidsAndNames", [](StoreFiles& f) {
     f.WriteCardFile("odd.vcf", Card("../../escape", "Odd", "TEL;TYPE=CELL:312 555 0606\r\n"));
     f.WriteCardFile("slash.vcf", Card("/etc/passwd", "Slash", "TEL;TYPE=CELL:312 555 0707\r\n"));
     f.AddPhoneBookRow("4", "../../escape/evil", "3125550404", 4, 3);
     f.AddPhoneBookRow("5", "/etc/passwd", "3125550505", 4, 4); },
   {}, [](StoreFiles& f) {
     EXPECT_NE(ReadFile(f.contactsPath + "/odd.vcf").find("\nUID:../../escape\r\n"), std::string::npos);
     for (const auto& entry : fs::recursive_directory_iterator(f.dir.path())) {
       const std::string path = entry.path(), in = entry.path().parent_path();
       EXPECT_TRUE((in == f.contactsPath || in == f.data || path == f.data) &&
                   path.find("escape") == path.find("passwd")) << "outside the stores: " << path;
     } }},
  // Stray bytes read as Windows-1252 everywhere; a card saved is UTF-8 throughout.
  {"InvalidUtf8", [](StoreFiles& f) {
     f.WriteCardFile("odd.vcf", Card("odd", kOdd, "TEL;TYPE=CELL:312 555 0808\r\nNOTE:caf\xe9 \xff\r\n"));
     f.AddPhoneBookRow("4", "Z" + kOdd, "3125550404", 4, 3); },
   {}, [](StoreFiles& f) {
     const std::string text = ReadFile(f.contactsPath + "/odd.vcf");
     EXPECT_NE(text.find("\nFN:" + kOddRead + "\r\n"), std::string::npos) << text;
     EXPECT_NE(text.find("\nNOTE:caf\xc3\xa9 \xc3\xbf\r\n"), std::string::npos) << text;
     EXPECT_EQ(CardField(f, "Z" + kOddRead, "MobileTelephoneNumber"), "(312) 555-0404");
     EXPECT_EQ(PbRowsOf(f, "4").at(0).ContactName, "Z" + kOdd); }, true},  // the manager's, as it was
  // Sizes far beyond a phone's, but the user's.
  {"MegabyteNamesAndNumbers", [](StoreFiles& f) {
     f.WriteCardFile("big.vcf", Card("big", kBig, "TEL;TYPE=CELL:" + kNumber + "\r\n"));
     f.AddPhoneBookRow("4", "Huge", kNumber, 4, 3); },
   {}, [](StoreFiles& f) {
     EXPECT_EQ(PbRowsOf(f, CardField(f, kBig, "User3")).at(0).Number, kNumber);
     EXPECT_EQ(CardField(f, "Huge", "MobileTelephoneNumber"), kNumber); }, true},
  {"HundredThousandPhoneBookRows", [](StoreFiles& f) {  // 2,000 contacts of 50 rows each
     f.ExecutePhoneBookSql("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE "
       "i < 99999), r(i, id, k) AS (SELECT i, 100 + i / 50, i % 50 FROM n) INSERT INTO "
       "tblContactList SELECT id, 'Contact ' || id, CASE k WHEN 1 THEN id || '*1' WHEN 8 THEN 'c' "
       "|| id || '@example.com' ELSE printf('3%09d', i) END, CASE WHEN k = 7 THEN 9 WHEN k = 8 "
       "THEN 10 WHEN k > 8 THEN 7 + k % 2 ELSE k END, i + 10, 6, NULL, NULL, NULL FROM r");
     f.settings.Set("NumberLimit", "1000000"); },
   {}, [](StoreFiles& f) {
     EXPECT_EQ(f.PhoneBookRows().size(), 100002u);
     EXPECT_EQ(CardField(f, "Contact 1100", "OtherTelephoneNumber"), "(300) 005-0007");
     EXPECT_EQ(CardField(f, "Contact 1100", "User4"),
               "W2:50010,DC:50011,H:50012,W1:50013,M:50014,F:50015,P:50016,O:50017,E:50018"); }},
  {"TenThousandTelLines", [](StoreFiles& f) {
     std::string tels;
     for (int i = 10000; i < 20000; ++i) tels += (i % 2 ? "TEL;TYPE=HOME:31277" : "TEL;TYPE=CELL:31277") + std::to_string(i) + "\r\n";
     f.WriteCardFile("tels.vcf", Card("tels", "Tel", tels)); },
   {}, [](StoreFiles& f) {
     const std::string text = ReadFile(f.contactsPath + "/tels.vcf");
     int tels = 0;
     for (size_t at = text.find("\nTEL"); at != std::string::npos; at = text.find("\nTEL", at + 1)) ++tels;
     EXPECT_EQ(tels, 10000);
     EXPECT_EQ(PbRowsOf(f, CardField(f, "Tel", "User3")).size(), 2u); }},
  // The settings.
  {"LogInAMissingFolder", Set("LogPath", "$DATA/No/Log.txt"), {"$DATA/No/Log.txt"}, Set("LogPath", "$DATA/SyncLog.txt"), true},
  {"LogIsAFolder", Set("LogPath", "$CONTACTS"), {"$CONTACTS"}, Set("LogPath", "$DATA/SyncLog.txt")},
  // The manager at a path with blanks and quotes adds a card a moment after it
  // starts: the card is synchronised only if the run waited for it.
  {"ManagerPathWithBlanksAndQuotes", [](StoreFiles& f) {
     fs::create_directories(f.state.ProgramFolder = f.dir / "Ann's \"phone\"; $HOME & co");
     WriteFile(f.state.ProgramFolder + "/idenpm.exe", "#!/bin/sh\necho ran >> \"$(dirname \"$0\")/runs\"\n"
       "[ -e '" + f.contactsPath + "/dee.vcf' ] || { sleep 0.3; printf '" + Card("dee", "Dee",
       "TEL;TYPE=CELL:312 555 0404\r\n") + "' > '" + f.data + "/dee'; mv '" + f.data + "/dee' '"
       + f.contactsPath + "/dee.vcf'; }\n");
     fs::permissions(f.state.ProgramFolder + "/idenpm.exe", kFolder);
     f.settings.Set("PMBefore", "True");
     f.settings.Set("PMAfter", "True"); },
   {}, [](StoreFiles& f) {
     EXPECT_EQ(ReadFile(f.state.ProgramFolder + "/runs"), "ran\nran\n");
     EXPECT_EQ(CardField(f, "Dee", "MobileTelephoneNumber"), "312 555 0404"); }, true},
};
// clang-format on

// After a completed run every contact taking part is on all three sides
// under one ID and one name, Bob is rewritten as excluded, and the good
// stores' contacts are as a run leaves them.
void ExpectAllInStep(const StoreFiles& f) {
  std::map<std::string, std::string> syncNames;
  std::set<std::string> phoneIds, cardIds;
  for (const SyncRow& row : f.SyncRows())
    syncNames[row.ContactID] = row.Name;
  for (const PhoneBookRow& row : f.PhoneBookRows())
    phoneIds.insert(row.ContactID);
  for (const CardView& card : f.Cards()) {
    cardIds.insert(card["User3"]);
    EXPECT_EQ(syncNames[card["User3"]], card["User3"].empty() ? "" : card["FileAs"]) << card.file;
  }
  phoneIds.insert("");
  EXPECT_EQ(cardIds, phoneIds);
  EXPECT_EQ(syncNames.size(), phoneIds.size());
  EXPECT_EQ(CardField(f, "Ray, Bob", "User2") + CardField(f, "Ray, Bob", "User3"), "No");
  EXPECT_EQ(CardField(f, "Lee, Ann", "MobileTelephoneNumber"), "312 555 0101");
  EXPECT_EQ(CardField(f, "Cole, Cy", "HomeTelephoneNumber") + CardField(f, "Cole, Cy", "User4"),
            "(312) 555-0303H:2");
  EXPECT_EQ(PbRowsOf(f, "1").at(0), (PhoneBookRow{"1", "Lee, Ann", "3125550101", "4", "1", "6"}));
}

// Every file's bytes but the log's; or the cards' bytes and the rows, all a
// run with nothing to do may not change (SQLite may rearrange its pages).
std::string StoreContent(const StoreFiles& f, bool bytes) {
  std::ostringstream out;
  for (const auto& [file, content] : f.Snapshot()) {
    if (file.starts_with("Contacts/") || (bytes && file != "SyncLog.txt"))
      out << file << content;
  }
  if (!bytes)
    out << ::testing::PrintToString(f.PhoneBookRows()) << ::testing::PrintToString(f.SyncRows());
  return out.str();
}

// A run through StartSync, or through the window's Start button with its
// real dialogs where the window adds something (its message box and status
// line); the message it gave, if any.
std::optional<std::string> RunOnce(StoreFiles& f, RunContext& context, MainWindow* window) {
  PermissionBitsBind bits;
  std::vector<std::string>& messages = f.view.messages;
  messages.clear();
  QTimer answers;
  QObject::connect(&answers, &QTimer::timeout, &answers, [&messages] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      EXPECT_EQ(box->windowTitle() + box->objectName(), "TwinbookTwinbookMessage");
      messages.push_back(box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    } else if (modal != nullptr) {
      const bool prompt = modal->objectName() == "NamePrompt";
      modal->findChild<QPushButton*>(prompt ? "NameOK" : "KeepOutlook")->click();
    }
  });
  answers.start(5);
  if (window) {
    QTest::mouseClick(window->findChild<QPushButton*>("Start"), Qt::LeftButton);
  } else {
    StartSync(context);
  }
  EXPECT_EQ(window ? StatusOf(*window).toStdString() : f.view.status(),
            messages.empty() ? kStatusComplete : kStatusError);
  EXPECT_LE(messages.size(), 1u);
  return messages.empty() ? std::nullopt : std::optional(messages[0]);
}

class HostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTest, NamesTheCulpritOrWorksAndLosesNothing) {
  const HostileCase& c = GetParam();
  StoreFiles f;
  QtProcessLauncher launcher;
  Platform platform{f.databases, f.contacts, f.settings, launcher};
  RunContext context{f.state, f.view, platform};
  std::optional<MainWindow> window;
  if (c.throughWindow)
    window.emplace(f.state, platform).show();
  const auto run = [&] { return RunOnce(f, context, window ? &*window : nullptr); };
  SeedGoodStores(f);
  c.put(f);
  const std::string before = StoreContent(f, true);
  const std::optional<std::string> message = run();
  if (c.named.empty()) {
    ASSERT_EQ(message, std::nullopt);
    ExpectAllInStep(f);
    if (c.after)
      c.after(f);
    const std::string after = StoreContent(f, false);
    EXPECT_EQ(run(), std::nullopt);
    EXPECT_TRUE(StoreContent(f, false) == after) << "the second run changed the stores";
    return;
  }
  ASSERT_TRUE(message);
  EXPECT_LT(message->size(), 1000u) << "a message too long to read";
  for (const std::string& named : c.named) {
    EXPECT_NE(message->find(Expand(named, f)), std::string::npos)
        << Expand(named, f) << " not in " << *message;
  }
  if (!std::string(c.name).starts_with("Log")) {
    EXPECT_EQ(f.LogLines().back(), *message);
  }
  EXPECT_TRUE(StoreContent(f, true) == before) << "the refused run changed the stores";
  c.after(f);
  EXPECT_EQ(run(), std::nullopt);
  ExpectAllInStep(f);
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twinbook::testing
