// Hostile inputs in stores that otherwise synchronise, through whole runs over the real files: a
// refused one names the culprit and changes no store; a legitimate one works and loses nothing.
#include <gtest/gtest.h>

#include <set>

#include "engine/start_sync.h"
#include "support/good_stores.h"
#include "support/permission_bits.h"

namespace twinbook::testing {
namespace {

namespace fs = std::filesystem;
const auto kRead = fs::perms::owner_read, kFile = kRead | fs::perms::owner_write,
           kReadFolder = kRead | fs::perms::owner_exec;
using Step = std::function<void(StoreFiles&)>;

struct HostileCase {
  const char* name;
  Step put;
  std::vector<std::string> named = {};  // refused when not empty; "$" stands for the Data folder
  Step after = {};                      // refused: takes the culprit away; else: checks more
};

std::string Expand(std::string text, const StoreFiles& f) {
  if (const size_t at = text.find('$'); at != std::string::npos)
    text.replace(at, 1, f.data);
  return text;
}
// SQL on the PhoneBook or the sync database, in a table without declared types.
Step Sql(bool phoneBook, std::string sql) {
  return [=](StoreFiles& f) {
    LoosenTable(f, phoneBook);
    phoneBook ? f.ExecutePhoneBookSql(sql) : f.ExecuteSyncSql(sql);
  };
}
// Gives the file its permissions.
Step Mode(std::string path, fs::perms perms) {
  return [=](StoreFiles& f) { fs::permissions(Expand(path, f), perms); };
}
std::vector<PhoneBookRow> PbRowsOf(const StoreFiles& f, const std::string& id) {
  std::vector<PhoneBookRow> rows = f.PhoneBookRows();
  std::erase_if(rows, [&id](const PhoneBookRow& row) { return row.ContactID != id; });
  return rows;
}
std::string CardField(const StoreFiles& f, const std::string& fileAs, const std::string& name) {
  const auto card = f.CardNamed(fileAs);
  EXPECT_TRUE(card) << fileAs;
  return card ? (*card)[name] : "<no card>";
}

// Names that are no UTF-8 (Latin-1, cut sequences, a byte Windows-1252 leaves
// unassigned), and as every store reads them: each stray byte as Windows-1252.
// clang-format off
const auto PbRow = [](std::string values) { return "INSERT INTO tblContactList VALUES (" + values + ", NULL, NULL, NULL)"; };
const std::string kOdd = "M\xfcller \xc3 \xe2\x82 \xff\x81\x80 Ren\xe9z";
const std::string kOddRead = "M\xc3\xbcller \xc3\x83 \xc3\xa2\xe2\x80\x9a \xc3\xbf\xc2\x81\xe2\x82\xac Ren\xc3\xa9z";
const std::vector<HostileCase> kCases = {
  // A number where a text belongs reads as its decimal text; a null type is a kind not
  // synchronised; PhoneNumberLength is only written; a long text in a message is cut short.
  {"NumbersAsTexts", Sql(true, PbRow("4, 42, 3125550404, 4, 3, 6"))},
  {"SyncNumbersAsTexts", Sql(false, "UPDATE SyncContacts SET Mobile = 3125550101")},
  {"RealNumberAndNullType", Sql(true, PbRow("4, 'Dee', 3125550404.0, 4, 3, 'ten'") + ";" + PbRow("1, 'Lee, Ann', '3125550999', NULL, 9, 6")),
   {}, [](StoreFiles& f) {
     EXPECT_EQ(CardField(f, "Dee", "MobileTelephoneNumber"), "(312) 555-0404");
     EXPECT_EQ(PbRowsOf(f, "1").at(1), (PhoneBookRow{"1", "Lee, Ann", "3125550999", "<null>", "9", "6"})); }},
  {"SyncNullEmail", Sql(false, "UPDATE SyncContacts SET Email = NULL")},
  {"LongTextAsContactID", Sql(true, PbRow(SqlQuote("Big " + std::string(96, 'x')) + ", 'Dee', '3125550404', 4, 3, 6")),
   {"Row 3 of table tblContactList in $/PhoneBook.mdb", "ContactID", "'Big xxxxxxxx", "...' (100 bytes)"},
   Sql(true, "DELETE FROM tblContactList WHERE ContactName = 'Dee'")},
  // Files and folders that cannot be read or written; a database in WAL mode
  // needs its folder for its journal files.
  {"ContactsFolderReadOnly", Mode("$/Contacts", kReadFolder), {"$/Contacts/bob.vcf"}, Mode("$/Contacts", fs::perms::owner_all)},
  {"ContactsFolderUnlistable", Mode("$/Contacts", fs::perms::owner_write | fs::perms::owner_exec), {"Cannot list contacts folder $/Contacts"}, Mode("$/Contacts", fs::perms::owner_all)},
  {"CardUnreadable", Mode("$/Contacts/bob.vcf", fs::perms::none), {"$/Contacts/bob.vcf"}, Mode("$/Contacts/bob.vcf", kFile)},
  {"PhoneBookReadOnly", Mode("$/PhoneBook.mdb", kRead), {"$/PhoneBook.mdb", "read-only"}, Mode("$/PhoneBook.mdb", kFile)},
  {"SyncDatabaseUnreadable", Mode("$/Twinbook.mdb", fs::perms::none), {"$/Twinbook.mdb"}, Mode("$/Twinbook.mdb", kFile)},
  {"PhoneBookFolderReadOnly", [](StoreFiles& f) {
     fs::create_directory(f.data + "/Phone");
     fs::rename(f.phoneBookPath, f.data + "/Phone/PhoneBook.mdb");
     f.settings.Set("PhoneBookPath", f.phoneBookPath = f.data + "/Phone/PhoneBook.mdb");
     Mode("$/Phone", kReadFolder)(f); }, {"$/Phone/PhoneBook.mdb"}, Mode("$/Phone", fs::perms::owner_all)},
  // The contacts folder holding what is no card of its own.
  {"FolderNamedLikeACard", [](StoreFiles& f) { fs::create_directory(f.contactsPath + "/x.vcf"); },
   {"$/Contacts/x.vcf", "folder"}, [](StoreFiles& f) { fs::remove(f.contactsPath + "/x.vcf"); }},
  // Stray bytes read as Windows-1252 everywhere; a card saved is UTF-8 throughout.
  {"InvalidUtf8", [](StoreFiles& f) {
     f.WriteCardFile("odd.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:odd\r\nFN:" + kOdd + "\r\nN:" + kOdd + ";;;;\r\nX-EVOLUTION-FILE-AS:" + kOdd +
                     "\r\nX-TWINBOOK-USER2:YES\r\nTEL;TYPE=CELL:312 555 0808\r\nNOTE:caf\xe9 \xff\r\nEND:VCARD\r\n");
     f.AddPhoneBookRow("4", "Z" + kOdd, "3125550404", 4, 3); },
   {}, [](StoreFiles& f) {
     const std::string text = ReadFile(f.contactsPath + "/odd.vcf");
     EXPECT_NE(text.find("\nFN:" + kOddRead + "\r\n"), std::string::npos) << text;
     EXPECT_NE(text.find("\nNOTE:caf\xc3\xa9 \xc3\xbf\r\n"), std::string::npos) << text;
     EXPECT_EQ(CardField(f, "Z" + kOddRead, "MobileTelephoneNumber"), "(312) 555-0404");
     EXPECT_EQ(PbRowsOf(f, "4").at(0).ContactName, "Z" + kOdd); }},  // the manager's, as it was
  {"LogInAMissingFolder", [](StoreFiles& f) { f.settings.Set("LogPath", f.data + "/No/Log.txt"); },
   {"$/No/Log.txt"}, [](StoreFiles& f) { f.settings.Set("LogPath", f.logPath); }},
  {"LogOnAFullDisk", [](StoreFiles& f) { f.settings.Set("LogPath", "/dev/full"); },
   {"/dev/full"}, [](StoreFiles& f) { f.settings.Set("LogPath", f.logPath); }},
};
// clang-format on

// After a completed run each contact taking part is on all three sides under one ID and name.
void ExpectAllInStep(const StoreFiles& f) {
  std::map<std::string, std::string> syncNames;
  std::set<std::string> phoneIds{""}, cardIds;
  for (const SyncRow& row : f.SyncRows())
    syncNames[row.ContactID] = row.Name;
  for (const PhoneBookRow& row : f.PhoneBookRows())
    phoneIds.insert(row.ContactID);
  for (const CardView& card : f.Cards()) {
    cardIds.insert(card["User3"]);
    EXPECT_EQ(syncNames[card["User3"]], card["User3"].empty() ? "" : card["FileAs"]) << card.file;
  }
  EXPECT_EQ(cardIds, phoneIds);
  EXPECT_EQ(syncNames.size(), phoneIds.size());
  EXPECT_EQ(CardField(f, "Ray, Bob", "User2") + CardField(f, "Ray, Bob", "User3"), "No");
}

// What a run with nothing to do may not change (SQLite may rearrange its pages).
std::string StoreContent(const StoreFiles& f) {
  std::string out =
      ::testing::PrintToString(f.PhoneBookRows()) + ::testing::PrintToString(f.SyncRows());
  for (const auto& [file, content] : f.Snapshot())
    out += file.starts_with("Contacts/") ? file + content : "";
  return out;
}

// A run through StartSync; the message it gave, if any.
std::optional<std::string> RunOnce(StoreFiles& f) {
  PermissionBitsBind bits;
  f.view.messages.clear();
  StartSync(f.context);
  EXPECT_EQ(f.view.status(), f.view.messages.empty() ? kStatusComplete : kStatusError);
  EXPECT_LE(f.view.messages.size(), 1u);
  return f.view.messages.empty() ? std::nullopt : std::optional(f.view.messages[0]);
}

class HostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTest, NamesTheCulpritOrWorksAndLosesNothing) {
  const HostileCase& c = GetParam();
  StoreFiles f;
  const auto run = [&] { return RunOnce(f); };
  SeedGoodStores(f);
  c.put(f);
  std::map<std::string, std::string> before = f.Snapshot(), now;  // every file's bytes
  const std::optional<std::string> message = run();
  ASSERT_EQ(message.has_value(), !c.named.empty()) << message.value_or("");
  for (const std::string& named : c.named)
    EXPECT_NE(message->find(Expand(named, f)), std::string::npos)
        << named << " not in " << *message;
  if (message) {
    now = f.Snapshot();
    before.erase("SyncLog.txt"), now.erase("SyncLog.txt");
    EXPECT_TRUE(now == before) << "the refused run changed the stores";
    EXPECT_TRUE(std::string(c.name).starts_with("Log") || f.LogLines().back() == *message);
  }
  if (c.after)
    c.after(f);
  EXPECT_TRUE(!message || run() == std::nullopt) << "no run once the culprit is gone";
  ExpectAllInStep(f);
  const std::string after = StoreContent(f);
  EXPECT_EQ(run(), std::nullopt);
  EXPECT_EQ(StoreContent(f), after) << "a run with nothing to do changed the stores";
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twinbook::testing
