#include "hostile/hostile_cases.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "stores/phonebook_names.h"

namespace twinbook::testing {

namespace fs = std::filesystem;
using P = ContactProperty;

namespace {

const char* kSyncRow2 = "Row 2 of table SyncContacts in $SYNC";

using Step = std::function<void(Scene&)>;

std::string PhoneBookInsert(const std::string& values) {
  return "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
         "PhoneNumberLength) VALUES (" +
         values + ")";
}

// Removes the last row of the table (the one a case added).
std::string DeleteLastRow(const std::string& table) {
  return "DELETE FROM " + table + " WHERE rowid = (SELECT max(rowid) FROM " + table + ")";
}

// A vCard 3.0 card text with the given lines between UID and END.
std::string CardText(const std::string& uid, const std::vector<std::string>& lines) {
  std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\n";
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text + "END:VCARD\r\n";
}

Step PhoneBookSql(std::string sql) {
  return [sql](Scene& s) { s.files.ExecutePhoneBookSql(sql); };
}
Step SyncSql(std::string sql) {
  return [sql](Scene& s) { s.files.ExecuteSyncSql(sql); };
}
Step LoosePhoneBookSql(std::string sql) {
  return [sql](Scene& s) {
    LoosenTable(s.files, true);
    s.files.ExecutePhoneBookSql(sql);
  };
}

// Permissions taken away for a case, given back however the test ends.
Step WithMode(const std::string StoreFiles::*path, fs::perms perms) {
  return [path, perms](Scene& s) {
    const std::string target = s.files.*path;
    const fs::perms before = fs::status(target).permissions();
    fs::permissions(target, perms);
    s.undo.push_back([target, before] { fs::permissions(target, before); });
  };
}

Step RestoreMode(const std::string StoreFiles::*path, fs::perms perms) {
  return [path, perms](Scene& s) { fs::permissions(s.files.*path, perms); };
}

constexpr fs::perms kFileMode =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms kFolderMode = fs::perms::owner_all | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read |
                                  fs::perms::others_exec;
constexpr fs::perms kReadOnlyFile =
    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms kReadOnlyFolder = kFolderMode & ~fs::perms::owner_write;

Step Immutable(std::function<std::string(const StoreFiles&)> path) {
  return [path](Scene& s) {
    const std::string target = path(s.files);
    SetImmutable(target, true);
    s.undo.push_back([target] { SetImmutable(target, false); });
  };
}

Step Mutable(std::function<std::string(const StoreFiles&)> path) {
  return [path](Scene& s) { SetImmutable(path(s.files), false); };
}

std::string AnnCard(const StoreFiles& f) {
  return f.contactsPath + "/ann.vcf";
}
std::string BobCard(const StoreFiles& f) {
  return f.contactsPath + "/bob.vcf";
}

std::string Escape(const std::string& value) {
  std::string escaped;
  for (char c : value) {
    if (c == '\\' || c == ',' || c == ';') {
      escaped += '\\';
    }
    escaped += c;
  }
  return escaped;
}

// The card of a contact new on the desktop: included, no ID yet.
std::string NewCardText(const std::string& uid, const std::string& fileAs,
                        const std::vector<std::string>& more) {
  const std::string name = Escape(fileAs);
  std::vector<std::string> lines = {"FN:" + name, "N:" + name + ";;;;",
                                    "X-EVOLUTION-FILE-AS:" + name, "X-TWINBOOK-USER2:YES"};
  lines.insert(lines.end(), more.begin(), more.end());
  return CardText(uid, lines);
}

// Contact 5, "2024", in step on all three sides, with every value a
// number: its sync row holds `raw` (an SQL value) in `column`.
struct NumericValue {
  const char* column;
  const char* value;
};
constexpr NumericValue kNumericContact[] = {
    {"Name", "2024"},
    {"Work2", "3125550501"},
    {"DirectConnect", "5551234"},
    {"Home", "3125550502"},
    {"Work1", "3125550503"},
    {"Mobile", "3125550504"},
    {"Fax", "3125550505"},
    {"Pager", "3125550506"},
    {"Other", "3125550507"},
    {"Email", "5550508"},
    {"SpeedDial", "W2:11,DC:12,H:13,W1:14,M:15,F:16,P:17,O:18,E:19"},
};

SyncRow NumericSyncRow() {
  SyncRow row{"5",          "2024",       "3125550501", "5551234",    "3125550502", "3125550503",
              "3125550504", "3125550505", "3125550506", "3125550507", "5550508",    ""};
  row.SpeedDial = kNumericContact[10].value;
  return row;
}

void SeedNumericContact(Scene& s, const std::string& column, const std::string& raw) {
  s.files.AddCard(CardSpec{"numeric",
                           {{P::FileAs, "2024"},
                            {P::User2, "YES"},
                            {P::User3, "5"},
                            {P::User4, kNumericContact[10].value},
                            {P::User1, "5551234"},
                            {P::Email1Address, "5550508"},
                            {P::Business2TelephoneNumber, "(312) 555-0501"},
                            {P::HomeTelephoneNumber, "(312) 555-0502"},
                            {P::BusinessTelephoneNumber, "(312) 555-0503"},
                            {P::MobileTelephoneNumber, "(312) 555-0504"},
                            {P::BusinessFaxNumber, "(312) 555-0505"},
                            {P::PagerNumber, "(312) 555-0506"},
                            {P::OtherTelephoneNumber, "(312) 555-0507"}}});
  const std::pair<int, int> kinds[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5},
                                       {5, 6}, {6, 7}, {9, 8}, {10, 9}};
  for (const auto& [type, column] : kinds) {
    s.files.AddPhoneBookRow("5", "2024", kNumericContact[column].value, type, 10 + column);
  }
  LoosenTable(s.files, false);
  std::string values = "5";
  for (const NumericValue& v : kNumericContact) {
    values += ", " + (v.column == column ? raw : SqlQuote(v.value));
  }
  s.files.ExecuteSyncSql(SyncInsert(values));
}

// A sync row of contact 4, Dee, with null in one column.
std::string SyncRowWithNull(const std::string& column) {
  const char* columns[] = {"Name", "Work2", "DirectConnect", "Home",  "Work1",    "Mobile",
                           "Fax",  "Pager", "Other",         "Email", "SpeedDial"};
  std::string values = "4";
  for (const char* c : columns) {
    values += ", " + (c == column                ? std::string("NULL")
                      : std::string(c) == "Name" ? "'Dee'"
                                                 : "''");
  }
  return SyncInsert(values);
}

std::string OneMegabyteName() {
  std::string name = "Big, Name ";
  while (name.size() < (1u << 20)) {
    name += "Abcdefghij";
  }
  return name;
}

std::string OneMegabyteNumber() {
  std::string digits;
  while (digits.size() < (1u << 20)) {
    digits += "3125550199";
  }
  return digits;
}

// Names that are not valid UTF-8: Latin-1 bytes, a cut sequence, a byte
// that never starts a character, one that Windows-1252 leaves unassigned.
// Longer than the phone keeps.
const std::string kLatin1Name =
    "M\xfcller-L\xfc"
    "denscheidt, Ren\xe9"
    "e \xff\xfe\x81 end";
const std::string kCutName = "Cut \xc3 Sequence, \xe2\x82 Again";
// The same as every store reads them: each stray byte as Windows-1252.
const std::string kLatin1NameRead =
    "M\xc3\xbcller-L\xc3\xbc"
    "denscheidt, Ren\xc3\xa9"
    "e \xc3\xbf\xc3\xbe\xc2\x81 end";
const std::string kCutNameRead = "Cut \xc3\x83 Sequence, \xc3\xa2\xe2\x80\x9a Again";

// Every regular file under the test's folder, relative to it.
std::vector<std::string> AllFiles(const StoreFiles& files) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(files.dir.path())) {
    if (!entry.is_directory()) {
      found.push_back(fs::relative(entry.path(), files.dir.path()).string());
    }
  }
  return found;
}

// No file was made outside the Contacts folder, the databases and the log.
void ExpectNothingOutsideTheStores(const StoreFiles& files) {
  for (const std::string& file : AllFiles(files)) {
    const bool known = file.rfind("Data/Contacts/", 0) == 0 || file == "Data/PhoneBook.mdb" ||
                       file == "Data/Twinbook.mdb" || file == "Data/SyncLog.txt" ||
                       file.rfind("Data/PhoneBook.mdb-", 0) == 0 ||
                       file.rfind("Data/Twinbook.mdb-", 0) == 0;
    EXPECT_TRUE(known) << "a file outside the stores: " << file;
    EXPECT_EQ(file.find("escape"), std::string::npos) << file;
    EXPECT_EQ(file.find("passwd"), std::string::npos) << file;
  }
}

// The sync row of the contact with that ID; a row with every field "<none>"
// (and a failure) when there is none.
SyncRow SyncRowOf(const std::vector<SyncRow>& rows, const std::string& id) {
  for (const SyncRow& row : rows) {
    if (row.ContactID == id) {
      return row;
    }
  }
  ADD_FAILURE() << "no sync row for contact " << id;
  const std::string n = "<none>";
  return SyncRow{n, n, n, n, n, n, n, n, n, n, n, n};
}

std::vector<PhoneBookRow> PhoneBookRowsOf(const StoreFiles& files, const std::string& id) {
  std::vector<PhoneBookRow> rows;
  for (const PhoneBookRow& row : files.PhoneBookRows()) {
    if (row.ContactID == id) {
      rows.push_back(row);
    }
  }
  return rows;
}

// The sync row of a contact that took part, found by name; fails when absent.
SyncRow SyncRowNamed(const StoreFiles& files, const std::string& name) {
  for (const SyncRow& row : files.SyncRows()) {
    if (row.Name == name) {
      return row;
    }
  }
  ADD_FAILURE() << "no sync row named " << name.substr(0, 60);
  return {};
}

// The stand-in PhoneBook Manager at a path with blanks and quotes: it
// appends to "runs" beside itself and, the first time, adds a card to the
// contacts folder after a moment, so the card is synchronised only if the
// run waited for it.
void InstallManagerAtAnAwkwardPath(Scene& s) {
  const std::string folder = s.files.dir / "Program Files/Ann's \"phone\" tools; $HOME & co";
  fs::create_directories(folder);
  s.files.state.ProgramFolder = folder;
  const std::string card = s.files.contactsPath + "/dee.vcf";
  WriteFile(folder + "/idenpm.exe",
            "#!/bin/sh\n"
            "here=\"$(dirname \"$0\")\"\n"
            "echo ran >> \"$here/runs\"\n"
            "card='" +
                card +
                "'\n"
                "if [ ! -e \"$card\" ]; then\n"
                "  sleep 0.3\n"
                "  printf 'BEGIN:VCARD\\r\\nVERSION:3.0\\r\\nUID:dee\\r\\nFN:Dee\\r\\n"
                "N:Dee;;;;\\r\\nX-EVOLUTION-FILE-AS:Dee\\r\\nTEL;TYPE=CELL:312 555 0404\\r\\n"
                "X-TWINBOOK-USER2:YES\\r\\nEND:VCARD\\r\\n' > \"$card.part\"\n"
                "  mv \"$card.part\" \"$card\"\n"
                "fi\n");
  fs::permissions(folder + "/idenpm.exe", fs::perms::owner_all);
  s.files.settings.Set("PMBefore", "True");
  s.files.settings.Set("PMAfter", "True");
}

// 100,000 rows: 2,000 contacts of 50 rows each, one of each of the nine kinds
// the program synchronises and 41 of the kinds 7 and 8, which are the
// manager's alone and must be left as they are.
void SeedHundredThousandRows(Scene& s) {
  s.files.ExecutePhoneBookSql(
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 99999), "
      "r(i, id, k) AS (SELECT i, 100 + i / 50, i % 50 FROM n) "
      "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
      "PhoneNumberLength) SELECT id, 'Contact ' || id, "
      "CASE k WHEN 1 THEN id || '*' || k WHEN 8 THEN 'c' || id || '@example.com' "
      "ELSE printf('3%09d', i) END, "
      "CASE WHEN k = 7 THEN 9 WHEN k = 8 THEN 10 WHEN k > 8 THEN 7 + k % 2 ELSE k END, "
      "i + 10, CASE k WHEN 1 THEN 255 WHEN 8 THEN 255 ELSE 6 END FROM r");
  s.files.settings.Set("NumberLimit", "1000000");
}

void CheckHundredThousandRows(Scene& s) {
  const std::vector<PhoneBookRow> rows = s.files.PhoneBookRows();
  EXPECT_EQ(rows.size(), 100002u);
  const std::vector<SyncRow> sync = s.files.SyncRows();
  EXPECT_EQ(sync.size(), 2002u);
  const std::map<std::string, CardView> cards = CardsByFileAs(s.files);
  EXPECT_EQ(cards.size(), 2003u);
  // Contact 1100 holds rows 50000 to 50049.
  auto card = cards.find("Contact 1100");
  ASSERT_NE(card, cards.end());
  EXPECT_EQ(card->second["User3"], "1100");
  EXPECT_EQ(card->second["Business2TelephoneNumber"], "(300) 005-0000");
  EXPECT_EQ(card->second["User1"], "1100*1");
  EXPECT_EQ(card->second["OtherTelephoneNumber"], "(300) 005-0007");
  EXPECT_EQ(card->second["Email1Address"], "c1100@example.com");
  EXPECT_EQ(card->second["User4"],
            "W2:50010,DC:50011,H:50012,W1:50013,M:50014,F:50015,P:50016,"
            "O:50017,E:50018");
  EXPECT_EQ(SyncRowOf(sync, "1100"),
            (SyncRow{"1100", "Contact 1100", "3000050000", "1100*1", "3000050002", "3000050003",
                     "3000050004", "3000050005", "3000050006", "3000050007", "c1100@example.com",
                     "W2:50010,DC:50011,H:50012,W1:50013,M:50014,F:50015,P:50016,O:50017,"
                     "E:50018"}));
  // Its rows of the manager's own kinds are still there, as they were.
  const PhoneBookRow last = rows.at(2 + 50049);
  EXPECT_EQ(last, (PhoneBookRow{"1100", "Contact 1100", "3000050049", "8", "50059", "6"}));
}

// A card with 10,000 TEL lines: the first line of each kind is its phone,
// the others are kept as they were.
std::string TenThousandTelCard() {
  const char* types[] = {"CELL",  "WORK,VOICE", "HOME,VOICE", "WORK,FAX",
                         "PAGER", "VOICE",      "WORK,VOICE"};
  std::vector<std::string> lines;
  for (int i = 0; i < 10000; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "31277%05d", i);
    lines.push_back(std::string("TEL;TYPE=") + types[i % 7] + ":" + number);
  }
  return NewCardText("tels", "Many, Tel", lines);
}

}  // namespace

const std::vector<HostileCase>& HostileCases() {
  static const std::vector<HostileCase> cases = [] {
    std::vector<HostileCase> c;
    auto refused = [&c](std::string name, Step put, std::vector<std::string> named,
                        Step removeCulprit) {
      HostileCase hc;
      hc.name = std::move(name);
      hc.put = std::move(put);
      hc.named = std::move(named);
      hc.removeCulprit = std::move(removeCulprit);
      c.push_back(std::move(hc));
      return &c.back();
    };
    auto works = [&c](std::string name, Step put, Step check) {
      HostileCase hc;
      hc.name = std::move(name);
      hc.put = std::move(put);
      hc.check = std::move(check);
      c.push_back(std::move(hc));
      return &c.back();
    };
    const std::string lastPhoneBookRow = DeleteLastRow("tblContactList");
    const std::string lastSyncRow = DeleteLastRow("SyncContacts");

    // Values of the wrong type. A null or a text where a number belongs is
    // refused (most columns are tried in tests/stores/broken_stores_test); a
    // number where a text belongs is read as its decimal text.
    works("PhoneBookNumberAsContactName",
          LoosePhoneBookSql(PhoneBookInsert("4, 42, '3125550404', 4, 3, 6")), [](Scene& s) {
            const auto cards = CardsByFileAs(s.files);
            ASSERT_EQ(cards.count("42"), 1u);
            EXPECT_EQ(cards.at("42")["User3"], "4");
            EXPECT_EQ(cards.at("42")["MobileTelephoneNumber"], "(312) 555-0404");
            const SyncRow row = SyncRowOf(s.files.SyncRows(), "4");
            EXPECT_EQ(row.Name, "42");
            EXPECT_EQ(row.Mobile, "3125550404");
          });
    works("PhoneBookNumberAsNumber",
          LoosePhoneBookSql(PhoneBookInsert("4, 'Dee', 3125550404, 4, 3, 6")), [](Scene& s) {
            const auto cards = CardsByFileAs(s.files);
            ASSERT_EQ(cards.count("Dee"), 1u);
            EXPECT_EQ(cards.at("Dee")["MobileTelephoneNumber"], "(312) 555-0404");
            EXPECT_EQ(SyncRowOf(s.files.SyncRows(), "4").Mobile, "3125550404");
          });
    // A null type is a kind the program does not synchronise: the row adds
    // nothing and is left alone.
    works("PhoneBookNullNumberType",
          PhoneBookSql(PhoneBookInsert("1, 'Lee, Ann', '3125550999', NULL, 9, 6")), [](Scene& s) {
            EXPECT_EQ(
                PhoneBookRowsOf(s.files, "1"),
                (std::vector<PhoneBookRow>{{"1", "Lee, Ann", "3125550101", "4", "1", "6"},
                                           {"1", "Lee, Ann", "3125550999", "<null>", "9", "6"}}));
          });
    // PhoneNumberLength is the manager's and only written: whatever it holds,
    // a number whose length changes gets the code of its new length.
    for (const char* held : {"NULL", "'ten'"}) {
      const bool text = held[0] == '\'';
      works(
          text ? "PhoneBookTextPhoneNumberLength" : "PhoneBookNullPhoneNumberLength",
          [held, text](Scene& s) {
            if (text) {
              LoosenTable(s.files, true);
            }
            s.files.ExecutePhoneBookSql(
                PhoneBookInsert(std::string("4, 'Dee', '3125550444', 4, 5, ") + held));
            s.files.AddSyncRow({"4", "Dee", "", "", "", "", "3125550444", "", "", "", "", "M:5"});
            s.files.AddCard(CardSpec{"dee",
                                     {{P::FileAs, "Dee"},
                                      {P::User2, "YES"},
                                      {P::User3, "4"},
                                      {P::User4, "M:5"},
                                      {P::MobileTelephoneNumber, "1 312 555 0444"}}});
          },
          [](Scene& s) {
            EXPECT_EQ(PhoneBookRowsOf(s.files, "4"),
                      (std::vector<PhoneBookRow>{{"4", "Dee", "13125550444", "4", "5", "7"}}));
            EXPECT_EQ(SyncRowOf(s.files.SyncRows(), "4"),
                      (SyncRow{"4", "Dee", "", "", "", "", "13125550444", "", "", "", "", "M:5"}));
          });
    }
    // A number stored as a real where a text belongs, in a row the run must
    // delete: read as its decimal text, by the writer as by the loader.
    works(
        "PhoneBookRealAsNumber",
        [](Scene& s) {
          LoosenTable(s.files, true);
          s.files.ExecutePhoneBookSql(PhoneBookInsert("4, 'Dee', 3125550404.0, 4, 5, 6") + "; " +
                                      PhoneBookInsert("4, 'Dee', '3125550444', 2, 6, 6"));
          s.files.AddSyncRow(
              {"4", "Dee", "", "", "3125550444", "", "3125550404", "", "", "", "", "H:6,M:5"});
          s.files.AddCard(CardSpec{"dee",
                                   {{P::FileAs, "Dee"},
                                    {P::User2, "YES"},
                                    {P::User3, "4"},
                                    {P::User4, "H:6"},
                                    {P::HomeTelephoneNumber, "312 555 0444"}}});
        },
        [](Scene& s) {
          EXPECT_EQ(PhoneBookRowsOf(s.files, "4"),
                    (std::vector<PhoneBookRow>{{"4", "Dee", "3125550444", "2", "6", "6"}}));
          EXPECT_EQ(SyncRowOf(s.files.SyncRows(), "4"),
                    (SyncRow{"4", "Dee", "", "", "3125550444", "", "", "", "", "", "", "H:6"}));
        });
    refused("PhoneBookMegabyteTextAsContactID",
            LoosePhoneBookSql(
                PhoneBookInsert(SqlQuote(OneMegabyteName()) + ", 'Dee', '3125550404', 4, 3, 6")),
            {"Row 3 of table tblContactList in $PB", "ContactID", "'Big, Name Abcdefghij"},
            PhoneBookSql(lastPhoneBookRow));

    for (const NumericValue& v : kNumericContact) {
      const std::string column = v.column;
      if (column != "Email") {
        refused("SyncNull" + column, SyncSql(SyncRowWithNull(column)),
                {kSyncRow2, "column " + column + " ", "null"}, SyncSql(lastSyncRow));
      }
      // A number where a text belongs reads as its text: the contact is in
      // step and stays so.
      const std::string raw = column == "SpeedDial" ? "5" : v.value;
      works(
          "SyncNumberAs" + column, [column, raw](Scene& s) { SeedNumericContact(s, column, raw); },
          [](Scene& s) {
            EXPECT_EQ(SyncRowOf(s.files.SyncRows(), "5"), NumericSyncRow());
            const auto cards = CardsByFileAs(s.files);
            ASSERT_EQ(cards.count("2024"), 1u);
            EXPECT_EQ(cards.at("2024")["MobileTelephoneNumber"], "(312) 555-0504");
            EXPECT_EQ(PhoneBookRowsOf(s.files, "5").size(), 9u);
          });
    }
    // Null and empty e-mail alike mean no address.
    works("SyncNullEmail", SyncSql("UPDATE SyncContacts SET Email = NULL WHERE ContactID = 1"),
          [](Scene& s) {
            EXPECT_EQ(SyncRowOf(s.files.SyncRows(), "1").Email, "<null>");
            EXPECT_EQ(PhoneBookRowsOf(s.files, "1").size(), 1u);
          });

    // Files and folders that cannot be read or written.
    refused(
        "CardUnreadable",
        [](Scene& s) {
          const std::string card = AnnCard(s.files);
          fs::permissions(card, fs::perms::none);
          s.undo.push_back([card] { fs::permissions(card, kFileMode); });
        },
        {"$CONTACTS/ann.vcf"}, [](Scene& s) { fs::permissions(AnnCard(s.files), kFileMode); })
        ->permissionBits = true;
    refused("ContactsFolderReadOnly", WithMode(&StoreFiles::contactsPath, kReadOnlyFolder),
            {"$CONTACTS/bob.vcf"}, RestoreMode(&StoreFiles::contactsPath, kFolderMode))
        ->permissionBits = true;
    refused("CardImmutable", Immutable(BobCard), {"$CONTACTS/bob.vcf"}, Mutable(BobCard));
    refused("PhoneBookUnreadable", WithMode(&StoreFiles::phoneBookPath, fs::perms::none), {"$PB"},
            RestoreMode(&StoreFiles::phoneBookPath, kFileMode))
        ->permissionBits = true;
    HostileCase* readOnly =
        refused("PhoneBookReadOnly", WithMode(&StoreFiles::phoneBookPath, kReadOnlyFile),
                {"$PB", "read-only"}, RestoreMode(&StoreFiles::phoneBookPath, kFileMode));
    readOnly->permissionBits = true;
    readOnly->throughWindow = true;
    refused("PhoneBookImmutable", Immutable([](const StoreFiles& f) { return f.phoneBookPath; }),
            {"$PB", "read-only"}, Mutable([](const StoreFiles& f) { return f.phoneBookPath; }));
    // A database in WAL mode needs its folder for its journal files.
    refused(
        "PhoneBookFolderReadOnly",
        [](Scene& s) {
          const std::string folder = s.files.data + "/Phone";
          fs::create_directory(folder);
          fs::rename(s.files.phoneBookPath, folder + "/PhoneBook.mdb");
          s.files.phoneBookPath = folder + "/PhoneBook.mdb";
          s.files.settings.Set("PhoneBookPath", s.files.phoneBookPath);
          fs::permissions(folder, kReadOnlyFolder);
          s.undo.push_back([folder] { fs::permissions(folder, kFolderMode); });
        },
        {"$PB"}, [](Scene& s) { fs::permissions(s.files.data + "/Phone", kFolderMode); })
        ->permissionBits = true;
    refused("SyncDatabaseUnreadable", WithMode(&StoreFiles::syncPath, fs::perms::none), {"$SYNC"},
            RestoreMode(&StoreFiles::syncPath, kFileMode))
        ->permissionBits = true;
    refused("SyncDatabaseReadOnly", WithMode(&StoreFiles::syncPath, kReadOnlyFile),
            {"$SYNC", "read-only"}, RestoreMode(&StoreFiles::syncPath, kFileMode))
        ->permissionBits = true;
    refused("SyncDatabaseImmutable", Immutable([](const StoreFiles& f) { return f.syncPath; }),
            {"$SYNC", "read-only"}, Mutable([](const StoreFiles& f) { return f.syncPath; }));

    // The contacts folder holding what is no card of its own.
    HostileCase* link = refused(
        "LinkOutOfTheContactsFolder",
        [](Scene& s) {
          fs::create_directories(s.files.data + "/Outside");
          WriteFile(s.files.data + "/Outside/far.vcf",
                    NewCardText("far", "Far, Away", {"TEL;TYPE=CELL:312 555 0909"}));
          fs::create_symlink("../Outside/far.vcf", s.files.contactsPath + "/far.vcf");
        },
        {"$CONTACTS/far.vcf", "$DATA/Outside/far.vcf", "outside"},
        [](Scene& s) { fs::remove(s.files.contactsPath + "/far.vcf"); });
    link->throughWindow = true;
    refused(
        "LinkLeadingNowhere",
        [](Scene& s) {
          fs::create_symlink(s.files.data + "/gone.vcf", s.files.contactsPath + "/gone.vcf");
        },
        {"$CONTACTS/gone.vcf", "$DATA/gone.vcf"},
        [](Scene& s) { fs::remove(s.files.contactsPath + "/gone.vcf"); });
    refused(
        "FolderNamedLikeACard",
        [](Scene& s) { fs::create_directory(s.files.contactsPath + "/x.vcf"); },
        {"$CONTACTS/x.vcf", "folder"},
        [](Scene& s) { fs::remove(s.files.contactsPath + "/x.vcf"); });

    // Cards that hold "../" and "/" where a file name could come from.
    works(
        "UidWithDotDotAndSlash",
        [](Scene& s) {
          s.files.WriteCardFile(
              "odd.vcf", NewCardText("../../escape", "Odd, Uid", {"TEL;TYPE=CELL:312 555 0606"}));
          s.files.WriteCardFile("slash.vcf", NewCardText("/etc/passwd", "Slash, Uid",
                                                         {"TEL;TYPE=CELL:312 555 0707"}));
        },
        [](Scene& s) {
          const auto cards = CardsByFileAs(s.files);
          ASSERT_EQ(cards.count("Odd, Uid"), 1u);
          ASSERT_EQ(cards.count("Slash, Uid"), 1u);
          EXPECT_EQ(cards.at("Odd, Uid").file, s.files.contactsPath + "/odd.vcf");
          EXPECT_EQ(cards.at("Slash, Uid").file, s.files.contactsPath + "/slash.vcf");
          EXPECT_NE(cards.at("Odd, Uid")["User3"], "");
          EXPECT_NE(ReadFile(s.files.contactsPath + "/odd.vcf").find("UID:../../escape\r\n"),
                    std::string::npos);
          ExpectNothingOutsideTheStores(s.files);
        });
    works(
        "PhoneBookNamesWithDotDotAndSlash",
        [](Scene& s) {
          s.files.AddPhoneBookRow("4", "../../escape/evil", "3125550404", 4, 3);
          s.files.AddPhoneBookRow("5", "/etc/passwd", "3125550505", 4, 4);
        },
        [](Scene& s) {
          const auto cards = CardsByFileAs(s.files);
          for (const char* name : {"../../escape/evil", "/etc/passwd"}) {
            ASSERT_EQ(cards.count(name), 1u) << name;
            EXPECT_EQ(fs::path(cards.at(name).file).parent_path(), s.files.contactsPath);
          }
          ExpectNothingOutsideTheStores(s.files);
        });

    // Bytes that are no UTF-8 are read the same way in every store, as
    // Windows-1252, so a name means the same everywhere and survives every
    // display. A card saved is UTF-8 throughout: lines the run did not
    // change keep their meaning in that encoding, since a card mixing the
    // two would be read otherwise the next time.
    works(
        "InvalidUtf8InACard",
        [](Scene& s) {
          s.files.WriteCardFile("latin.vcf", NewCardText("latin", kLatin1Name,
                                                         {"TEL;TYPE=CELL:312 555 0808",
                                                          "NOTE:caf\xe9 \xff", "X-CUSTOM:\xc3"}));
        },
        [](Scene& s) {
          const auto cards = CardsByFileAs(s.files);
          ASSERT_EQ(cards.count(kLatin1NameRead), 1u);
          const CardView& card = cards.at(kLatin1NameRead);
          EXPECT_EQ(card.file, s.files.contactsPath + "/latin.vcf");
          EXPECT_NE(card["User3"], "");
          const std::string text = ReadFile(card.file);
          for (const std::string& line :
               {"FN:" + Escape(kLatin1NameRead), "X-EVOLUTION-FILE-AS:" + Escape(kLatin1NameRead),
                std::string("NOTE:caf\xc3\xa9 \xc3\xbf"), std::string("X-CUSTOM:\xc3\x83")}) {
            EXPECT_NE(text.find("\r\n" + line + "\r\n"), std::string::npos) << line;
          }
          EXPECT_EQ(SyncRowNamed(s.files, kLatin1NameRead).Mobile, "3125550808");
          EXPECT_EQ(PhoneBookRowsOf(s.files, card["User3"]),
                    (std::vector<PhoneBookRow>{
                        {card["User3"], PhoneBookName(kLatin1NameRead), "3125550808", "4",
                         SyncRowNamed(s.files, kLatin1NameRead).SpeedDial.substr(2), "6"}}));
        });
    works(
        "InvalidUtf8InThePhoneBook",
        [](Scene& s) {
          s.files.AddPhoneBookRow("4", kLatin1Name, "3125550404", 4, 3);
          s.files.AddPhoneBookRow("5", kCutName, "3125550505", 4, 4);
        },
        [](Scene& s) {
          const auto cards = CardsByFileAs(s.files);
          for (const std::string& name : {kLatin1NameRead, kCutNameRead}) {
            ASSERT_EQ(cards.count(name), 1u) << name;
            EXPECT_EQ(SyncRowNamed(s.files, name).Name, name);
          }
          EXPECT_EQ(cards.at(kCutNameRead)["MobileTelephoneNumber"], "(312) 555-0505");
          // The phone's rows are the manager's and needed no change.
          EXPECT_EQ(PhoneBookRowsOf(s.files, "4").at(0).ContactName, kLatin1Name);
          EXPECT_EQ(PhoneBookRowsOf(s.files, "5").at(0).ContactName, kCutName);
        })
        ->throughWindow = true;

    // A megabyte where a name and a number belong: long, but the user's.
    works(
        "MegabyteNameAndNumberInACard",
        [](Scene& s) {
          s.files.WriteCardFile("big.vcf", NewCardText("big", OneMegabyteName(),
                                                       {"TEL;TYPE=CELL:" + OneMegabyteNumber()}));
        },
        [](Scene& s) {
          const std::string name = OneMegabyteName();
          const auto cards = CardsByFileAs(s.files);
          ASSERT_EQ(cards.count(name), 1u);
          const std::string id = cards.at(name)["User3"];
          EXPECT_EQ(cards.at(name)["FullName"], name);
          EXPECT_EQ(cards.at(name)["MobileTelephoneNumber"], OneMegabyteNumber());
          EXPECT_EQ(SyncRowNamed(s.files, name).Mobile, OneMegabyteNumber());
          EXPECT_EQ(
              PhoneBookRowsOf(s.files, id),
              (std::vector<PhoneBookRow>{{id, PhoneBookName(name), OneMegabyteNumber(), "4",
                                          SyncRowNamed(s.files, name).SpeedDial.substr(2), "0"}}));
        });
    works(
        "MegabyteNameAndNumberInThePhoneBook",
        [](Scene& s) {
          s.files.AddPhoneBookRow("4", OneMegabyteName(), OneMegabyteNumber(), 4, 3);
        },
        [](Scene& s) {
          const std::string name = OneMegabyteName();
          const auto cards = CardsByFileAs(s.files);
          ASSERT_EQ(cards.count(name), 1u);
          EXPECT_EQ(cards.at(name)["User3"], "4");
          EXPECT_EQ(cards.at(name)["MobileTelephoneNumber"], OneMegabyteNumber());
          EXPECT_EQ(SyncRowOf(s.files.SyncRows(), "4").Mobile, OneMegabyteNumber());
          EXPECT_EQ(PhoneBookRowsOf(s.files, "4").at(0).ContactName, name);
        })
        ->throughWindow = true;
    // Both sides changed a contact whose name is a megabyte, and one whose
    // name is no UTF-8: the desktop's version is kept, names and all.
    HostileCase* conflict = works(
        "ConflictOverMegabyteAndInvalidNames",
        [](Scene& s) {
          const std::pair<std::string, std::string> contacts[] = {{"6", OneMegabyteName()},
                                                                  {"7", kLatin1Name}};
          for (const auto& [id, name] : contacts) {
            s.files.AddCard(CardSpec{"c" + id,
                                     {{P::FileAs, name},
                                      {P::FullName, name},
                                      {P::User2, "YES"},
                                      {P::User3, id},
                                      {P::User4, "M:" + id},
                                      {P::MobileTelephoneNumber, "312 555 060" + id}}});
            const std::string read = id == "7" ? kLatin1NameRead : name;
            s.files.AddPhoneBookRow(id, PhoneBookName(read), "3125550700", 4, std::stoi(id));
            s.files.AddSyncRow({id, name, "", "", "", "", "3125550500", "", "", "", "", "M:" + id});
          }
        },
        [](Scene& s) {
          const std::pair<std::string, std::string> contacts[] = {{"6", OneMegabyteName()},
                                                                  {"7", kLatin1NameRead}};
          const auto cards = CardsByFileAs(s.files);
          for (const auto& [id, name] : contacts) {
            ASSERT_EQ(cards.count(name), 1u) << id;
            EXPECT_EQ(cards.at(name)["FullName"], name);
            EXPECT_EQ(cards.at(name)["User3"], id);
            EXPECT_EQ(cards.at(name).file, s.files.contactsPath + "/c" + id + ".vcf");
            EXPECT_EQ(
                SyncRowOf(s.files.SyncRows(), id),
                (SyncRow{id, name, "", "", "", "", "312555060" + id, "", "", "", "", "M:" + id}));
            EXPECT_EQ(PhoneBookRowsOf(s.files, id),
                      (std::vector<PhoneBookRow>{
                          {id, PhoneBookName(name), "312555060" + id, "4", id, "6"}}));
          }
        });
    conflict->keepOutlookInConflicts = true;
    conflict->throughWindow = true;

    // Sizes far beyond a phone's.
    works("HundredThousandPhoneBookRows", SeedHundredThousandRows, CheckHundredThousandRows);
    works(
        "TenThousandTelLines",
        [](Scene& s) { s.files.WriteCardFile("tels.vcf", TenThousandTelCard()); },
        [](Scene& s) {
          const auto cards = CardsByFileAs(s.files);
          ASSERT_EQ(cards.count("Many, Tel"), 1u);
          const CardView& card = cards.at("Many, Tel");
          EXPECT_EQ(card.file, s.files.contactsPath + "/tels.vcf");
          // A folded line's continuation starts with a blank and never counts.
          const std::string text = ReadFile(card.file);
          int tels = text.starts_with("TEL");
          for (size_t at = text.find("\nTEL"); at != std::string::npos;
               at = text.find("\nTEL", at + 1)) {
            ++tels;
          }
          EXPECT_EQ(tels, 10000);
          const std::string id = card["User3"];
          std::vector<std::string> numbers;
          for (const PhoneBookRow& row : PhoneBookRowsOf(s.files, id)) {
            numbers.push_back(row.NumberType + ":" + row.Number);
          }
          EXPECT_EQ(numbers, (std::vector<std::string>{
                                 "0:3127700006", "2:3127700002", "3:3127700001", "4:3127700000",
                                 "5:3127700003", "6:3127700004", "9:3127700005"}));
        });

    // The settings.
    HostileCase* log = refused(
        "LogInAMissingFolder",
        [](Scene& s) { s.files.settings.Set("LogPath", s.files.data + "/No Such/SyncLog.txt"); },
        {"$DATA/No Such/SyncLog.txt"},
        [](Scene& s) { s.files.settings.Set("LogPath", s.files.logPath); });
    log->logBroken = true;
    log->throughWindow = true;
    refused(
        "LogIsAFolder", [](Scene& s) { s.files.settings.Set("LogPath", s.files.contactsPath); },
        {"$CONTACTS"}, [](Scene& s) { s.files.settings.Set("LogPath", s.files.logPath); })
        ->logBroken = true;
    works("ManagerPathWithBlanksAndQuotes", InstallManagerAtAnAwkwardPath, [](Scene& s) {
      EXPECT_EQ(ReadFile(s.files.state.ProgramFolder + "/runs"), "ran\nran\n");
      const auto cards = CardsByFileAs(s.files);
      ASSERT_EQ(cards.count("Dee"), 1u);
      const std::string id = cards.at("Dee")["User3"];
      EXPECT_NE(id, "");
      const std::vector<PhoneBookRow> rows = PhoneBookRowsOf(s.files, id);
      ASSERT_EQ(rows.size(), 1u);
      EXPECT_EQ(rows[0].Number, "3125550404");
    })->throughWindow = true;
    return c;
  }();
  return cases;
}

std::optional<std::string> PutCase(Scene& scene, const HostileCase& c) {
  SeedGoodStores(scene.files);
  try {
    c.put(scene);
    if (c.permissionBits) {
      PermissionBitsBind probe;
    }
  } catch (const CaseSkipped& reason) {
    return reason.what();
  }
  return std::nullopt;
}

void WithPermissionBits(const HostileCase& c, const std::function<void()>& run) {
  std::optional<PermissionBitsBind> bits;
  if (c.permissionBits) {
    bits.emplace();
  }
  run();
}

void ExpectNamesCulprit(const std::string& message, const HostileCase& c, const StoreFiles& files) {
  EXPECT_LT(message.size(), 1000u) << "a message too long to read";
  for (const std::string& named : c.named) {
    EXPECT_NE(message.find(Expand(named, files)), std::string::npos)
        << "'" << Expand(named, files) << "' is not named in: " << message;
  }
}

std::string PrintCaseName(const ::testing::TestParamInfo<HostileCase>& info) {
  return info.param.name;
}

void PrintTo(const HostileCase& c, std::ostream* out) {
  *out << c.name;
}

}  // namespace twinbook::testing
