// The folder of vCard files: real files in temporary folders, the cards
// exporters write, and the files the program leaves behind.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/vcard/vcard_contact_store.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using P = ContactProperty;
using testing::ReadFile;
using testing::SourceDir;
using testing::TempDir;
using testing::WriteFile;

std::string Fixture(const std::string& name) {
  return ReadFile((SourceDir() / "tests/fixtures/vcards" / name).string());
}

// Logical lines of a card file, unfolded: written here again, apart from the
// reader under test.
std::vector<std::string> UnfoldedLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) {
      end = bytes.size();
    }
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines.empty()) {
      lines.back() += line.substr(1);
    } else {
      lines.push_back(line);
    }
    start = end + 1;
  }
  return lines;
}

// Every entry of a folder, by name, sorted.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Stat {
  ino_t inode;
  timespec modified;
  timespec changed;
};
Stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return {st.st_ino, st.st_mtim, st.st_ctim};
}
bool Same(const Stat& a, const Stat& b) {
  return a.inode == b.inode && a.modified.tv_sec == b.modified.tv_sec &&
         a.modified.tv_nsec == b.modified.tv_nsec && a.changed.tv_sec == b.changed.tv_sec &&
         a.changed.tv_nsec == b.changed.tv_nsec;
}

std::string FileNameOf(const ContactItem& item) {
  return fs::path(item.Describe()).filename().string();
}

class VCardFolderTest : public ::testing::Test {
 protected:
  VCardFolderTest() { fs::create_directory(folder_); }

  std::string In(const std::string& name) const { return folder_ + "/" + name; }
  void Put(const std::string& name, const std::string& bytes) { WriteFile(In(name), bytes); }
  std::unique_ptr<ContactsFolder> Open() { return store_.OpenFolder(folder_); }

  static std::string Card(const std::string& fullName) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + fullName + "\r\nFN:" + fullName +
           "\r\nN:;;;;\r\nEND:VCARD\r\n";
  }

  TempDir dir_;
  std::string folder_ = dir_ / "Contacts";
  VCardContactStore store_;
};

// --- Cards as exporters write them --------------------------------------

struct FixtureCase {
  const char* file;
  const char* typeName;
  std::map<P, std::string> properties;  // every property not listed reads ""
};

const std::vector<FixtureCase>& Fixtures() {
  static const std::vector<FixtureCase> cases = {
      {"outlook-2.1.vcf",
       "ContactItem",
       {{P::FullName, "Pat O'Brien"},
        {P::FirstName, "Pat"},
        {P::LastName, "O'Brien"},
        {P::FileAs, "O'Brien, Pat"},
        {P::Email1Address, "pat@example.com"},
        {P::Email1AddressType, "SMTP"},
        {P::BusinessTelephoneNumber, "(555) 123-4567"},
        {P::Business2TelephoneNumber, "(555) 123-9999"},
        {P::BusinessFaxNumber, "(555) 123-4568"},
        {P::HomeTelephoneNumber, "(555) 765-4321"},
        {P::MobileTelephoneNumber, "(555) 222-3333"},
        {P::PagerNumber, "(555) 444-5555"},
        {P::OtherTelephoneNumber, "(555) 000-1111"}}},
      {"android-2.1.vcf",
       "ContactItem",
       {{P::FullName, "Björn Åström"},
        {P::FirstName, "Björn"},
        {P::LastName, "Åström"},
        {P::FileAs, "Åström, Björn"},
        {P::Email1Address, "bjorn@example.se"},
        {P::Email1AddressType, "SMTP"},
        {P::HomeTelephoneNumber, "+46 8 123 456"},
        {P::MobileTelephoneNumber, "+46 70 123 45 67"},
        {P::OtherTelephoneNumber, "555 0199"}}},
      {"apple-3.0.vcf",
       "ContactItem",
       {{P::FullName, "Johnny Appleseed"},
        {P::FirstName, "Johnny"},
        {P::LastName, "Appleseed"},
        {P::FileAs, "Appleseed, Johnny"},
        {P::Email1Address, "johnny@example.com"},
        {P::Email1AddressType, "SMTP"},
        {P::BusinessTelephoneNumber, "+1 (408) 555-0101"},
        {P::BusinessFaxNumber, "+1 (408) 555-0102"},
        {P::MobileTelephoneNumber, "+1 (408) 555-0100"},
        {P::OtherTelephoneNumber, "+1 (408) 555-0103"}}},
      {"evolution-3.0.vcf",
       "ContactItem",
       {{P::FullName, "Anna Smith"},
        {P::FirstName, "Anna"},
        {P::LastName, "Smith"},
        {P::NickName, "Annie"},
        {P::FileAs, "Smith, Anna"},
        {P::Email1Address, "/o=Acme/ou=Exchange/cn=anna"},
        {P::Email1AddressType, "SMTP"},
        {P::Email1DisplayName, "Anna Smith (anna@example.net)"},
        {P::Business2TelephoneNumber, "555-0200"},
        {P::HomeTelephoneNumber, "555-0300"},
        {P::MobileTelephoneNumber, "555-0400"},
        {P::User1, "123*45*678"},
        {P::User2, "yes"},
        {P::User3, "42"},
        {P::User4, "W2:5,DC:3"}}},
      {"nextcloud-4.0.vcf",
       "ContactItem",
       {{P::FullName, "Élodie Durand"},
        {P::FirstName, "Élodie"},
        {P::LastName, "Durand"},
        {P::FileAs, "Durand, Élodie"},
        {P::Email1Address, "elodie.durand@example.org"},
        {P::Email1AddressType, "SMTP"},
        {P::BusinessTelephoneNumber, "+33-1-23-45-67-89;ext=12"},
        {P::HomeTelephoneNumber, "01 98 76 54 32"},
        {P::MobileTelephoneNumber, "+33-6-12-34-56-78"}}},
      {"group-4.0.vcf", "DistListItem", {{P::FullName, "Book club"}, {P::FileAs, "Book club"}}},
      {"group-apple-3.0.vcf",
       "DistListItem",
       {{P::FullName, "Neighbours"}, {P::LastName, "Neighbours"}, {P::FileAs, "Neighbours"}}},
  };
  return cases;
}

TEST_F(VCardFolderTest, ReadsEveryPropertyOfCardsAsExportersWriteThem) {
  for (const FixtureCase& c : Fixtures()) {
    Put(c.file, Fixture(c.file));
  }
  auto folder = Open();
  ASSERT_EQ(folder->Count(), static_cast<int>(Fixtures().size()));
  for (int i = 1; i <= folder->Count(); ++i) {
    auto item = folder->Item(i);
    const std::string file = FileNameOf(*item);
    const auto c = std::find_if(Fixtures().begin(), Fixtures().end(),
                                [&](const FixtureCase& f) { return file == f.file; });
    ASSERT_NE(c, Fixtures().end()) << file;
    EXPECT_EQ(item->TypeName(), c->typeName) << file;
    for (int p = 0; p <= static_cast<int>(P::User4); ++p) {
      const auto property = static_cast<P>(p);
      const auto expected = c->properties.find(property);
      EXPECT_EQ(item->Get(property), expected == c->properties.end() ? "" : expected->second)
          << file << ": " << PropertyName(property);
    }
  }
}

// One property rewritten in a 3.0 or 4.0 card: that line changes, or a line
// is added before END:VCARD; every other line stays byte for byte.
TEST_F(VCardFolderTest, RewritingOnePropertyKeepsEveryOtherLine) {
  struct Case {
    const char* file;
    P property;
    const char* value;
    const char* oldLine;  // nullptr: the new line is added before END:VCARD
    const char* newLine;
  };
  const Case cases[] = {
      {"apple-3.0.vcf", P::MobileTelephoneNumber, "+1 (408) 555-0199",
       "TEL;type=CELL;type=VOICE;type=pref:+1 (408) 555-0100",
       "TEL;type=CELL;type=VOICE;type=pref;X-TWINBOOK-PROPERTY=MobileTelephoneNumber:+1 (408) "
       "555-0199"},
      {"apple-3.0.vcf", P::Email1Address, "johnny@example.net",
       "item1.EMAIL;type=INTERNET;type=HOME;type=pref:johnny@example.com",
       "item1.EMAIL;type=INTERNET;type=HOME;type=pref:johnny@example.net"},
      {"apple-3.0.vcf", P::User2, "YES", nullptr, "X-TWINBOOK-USER2:YES"},
      {"evolution-3.0.vcf", P::User3, "43", "X-TWINBOOK-USER3:42", "X-TWINBOOK-USER3:43"},
      {"evolution-3.0.vcf", P::FirstName, "Anne", "N:Smith;Anna;Maria;;", "N:Smith;Anne;Maria;;"},
      {"nextcloud-4.0.vcf", P::User4, "H:3", nullptr, "X-TWINBOOK-USER4:H:3"},
      {"nextcloud-4.0.vcf", P::HomeTelephoneNumber, "01 11 11 11 11",
       "TEL;TYPE=home:01 98 76 54 32",
       "TEL;TYPE=home;X-TWINBOOK-PROPERTY=HomeTelephoneNumber:01 11 11 11 11"},
  };
  for (const Case& c : cases) {
    const std::string original = Fixture(c.file);
    Put("card.vcf", original);
    {
      auto item = Open()->Item(1);
      item->Set(c.property, c.value);
      item->Save();
    }
    std::vector<std::string> expected = UnfoldedLines(original);
    if (c.oldLine) {
      const auto at = std::find(expected.begin(), expected.end(), c.oldLine);
      ASSERT_NE(at, expected.end()) << c.oldLine;
      *at = c.newLine;
    } else {
      expected.insert(expected.end() - 1, c.newLine);
    }
    const std::string written = ReadFile(In("card.vcf"));
    EXPECT_EQ(UnfoldedLines(written), expected) << c.file << " " << PropertyName(c.property);
    EXPECT_EQ(testing::ReadCrLfLines(In("card.vcf")).size(),
              std::count(written.begin(), written.end(), '\n'));
    VCardContactStore fresh;
    EXPECT_EQ(fresh.OpenFolder(folder_)->Item(1)->Get(c.property), c.value);
  }
}

// --- Rewritten 2.1 cards, also read by a parser that shares no code with ours ---

std::vector<std::string> ReadWithVobject(const std::string& path) {
  const std::string script =
      (SourceDir() / "tests/platform/vcard/read_vcard_with_vobject.py").string();
  const std::string command =
      std::string("'") + TWINBOOK_VOBJECT_PYTHON + "' '" + script + "' '" + path + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return {};
  }
  std::string output;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) {
    output.append(buffer, n);
  }
  const int status = ::pclose(pipe.release());
  EXPECT_EQ(status, 0) << command << "\n" << output;
  std::vector<std::string> lines = UnfoldedLines(output);
  if (!lines.empty() && lines.back().empty()) {
    lines.pop_back();
  }
  return lines;
}

TEST_F(VCardFolderTest, ARewrittenTwoOneCardIsWrittenAsThreeZeroThatVobjectReadsTheSame) {
  Put("outlook.vcf", Fixture("outlook-2.1.vcf"));
  {
    auto item = Open()->Item(1);
    item->Set(P::User3, "7");
    item->Save();
  }
  const std::string photo =
      "iVBORw0KGgoAAAANSUhEUgAAAAUAAAAECAIAAADJUWIXAAAAS0lEQVR4AQFAAL//AAAAACUFAEoKAG8PAJQUAAALAQ"
      "kwBglVCwl6EAmfFQkAFgISOwcSYAwShRESqhYSACEDG0YIG2sNG5ASG7UXG/KECQcUYWHWAAAAAElFTkSuQmCC";
  std::vector<std::string> lines = testing::ReadCrLfLines(In("outlook.vcf"));
  for (const std::string& line : lines) {
    EXPECT_LE(line.size(), 75u) << line;
  }
  lines = UnfoldedLines(ReadFile(In("outlook.vcf")));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].substr(0, 4), "UID:") << "a card written has a UID";
  lines.erase(lines.end() - 2);
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "BEGIN:VCARD",
                "VERSION:3.0",
                "N;LANGUAGE=en-us:O'Brien;Pat;J.;Dr.;Jr.",
                "FN:Pat O'Brien",
                "ORG:Acme Widgets;Sales",
                "TITLE:Directeur général – Ventes",
                "NOTE:Met at the café – “bring coffee”.\\nSecond line\\; with a semicolon\\, "
                "and a comma.",
                "TEL;TYPE=WORK,VOICE:(555) 123-4567",
                "TEL;TYPE=WORK,VOICE:(555) 123-9999",
                "TEL;TYPE=HOME,VOICE:(555) 765-4321",
                "TEL;TYPE=CELL,VOICE:(555) 222-3333",
                "TEL;TYPE=PAGER:(555) 444-5555",
                "TEL;TYPE=WORK,FAX:(555) 123-4568",
                "TEL;TYPE=VOICE:(555) 000-1111",
                "TEL;TYPE=HOME,VOICE:(555) 765-0000",
                "ADR;TYPE=WORK,PREF:;;1 Rue de la Paix\\nBoîte 3;Paris;;75002;France",
                "LABEL;TYPE=WORK,PREF:1 Rue de la Paix\\nParis 75002",
                "X-MS-OL-DEFAULT-POSTAL-ADDRESS:2",
                "EMAIL;TYPE=INTERNET:pobrien@example.org",
                "EMAIL;TYPE=PREF,INTERNET:pat@example.com",
                "PHOTO;TYPE=PNG;ENCODING=b:" + photo,
                "X-MS-OL-DESIGN:<card xmlns=\"http://schemas.microsoft.com/office/outlook/12/"
                "electronicbusinesscards\"/>",
                "REV:20240101T120000Z",
                "X-TWINBOOK-USER3:7",
                "END:VCARD",
            }));

  // The same values through a parser that shares no code with ours.
  lines = ReadWithVobject(In("outlook.vcf"));
  const auto uid = std::find_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.rfind("UID\t", 0) == 0; });
  ASSERT_NE(uid, lines.end());
  lines.erase(uid);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "VERSION\t3.0",
                       "N;LANGUAGE=en-us\tO'Brien;Pat;J.;Dr.;Jr.",
                       "FN\tPat O'Brien",
                       "ORG\tAcme Widgets;Sales",
                       "TITLE\tDirecteur général – Ventes",
                       "NOTE\tMet at the café – “bring coffee”.\\nSecond line; with a semicolon, "
                       "and a comma.",
                       "TEL;VOICE,WORK\t(555) 123-4567",
                       "TEL;VOICE,WORK\t(555) 123-9999",
                       "TEL;HOME,VOICE\t(555) 765-4321",
                       "TEL;CELL,VOICE\t(555) 222-3333",
                       "TEL;PAGER\t(555) 444-5555",
                       "TEL;FAX,WORK\t(555) 123-4568",
                       "TEL;VOICE\t(555) 000-1111",
                       "TEL;HOME,VOICE\t(555) 765-0000",
                       "ADR;PREF,WORK\t;;1 Rue de la Paix\\nBoîte 3;Paris;;75002;France",
                       "LABEL;PREF,WORK\t1 Rue de la Paix\\nParis 75002",
                       "X-MS-OL-DEFAULT-POSTAL-ADDRESS\t2",
                       "EMAIL;INTERNET\tpobrien@example.org",
                       "EMAIL;INTERNET,PREF\tpat@example.com",
                       "PHOTO;PNG\t" + photo,
                       "X-MS-OL-DESIGN\t<card xmlns=\"http://schemas.microsoft.com/office/outlook/"
                       "12/electronicbusinesscards\"/>",
                       "REV\t20240101T120000Z",
                       "X-TWINBOOK-USER3\t7",
                   }));
}

TEST_F(VCardFolderTest, ACardWithEveryPropertyReadsTheSameInVobject) {
  {
    auto item = Open()->CreateItem();
    item->Set(P::FullName, "Pat O'Brien");
    item->Set(P::FirstName, "Zoë; Pat");
    item->Set(P::LastName, "O'Brien, Jr.");
    item->Set(P::NickName, "Paddy\nthe \\Boss\\");
    item->Set(P::FileAs, "O'Brien, Pat");
    item->Set(P::Email1Address, "pat@example.com");
    item->Set(P::Email1AddressType, "SMTP");
    item->Set(P::Email1DisplayName, "Pat \"P\" O'Brien, (pat@example.com)");
    item->Set(P::HomeTelephoneNumber, "555;0004");
    item->Set(P::OtherTelephoneNumber, "555,0007");
    item->Set(P::User1, "123*45*678");
    item->Set(P::User4, "W2:5,DC:3");
    item->Save();
  }
  const std::vector<std::string> names = Entries(folder_);
  ASSERT_EQ(names.size(), 1u);
  std::vector<std::string> lines = ReadWithVobject(In(names[0]));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "UID\t" + names[0].substr(0, names[0].size() - 4));
  lines.erase(lines.begin() + 1);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "VERSION\t3.0",
                       "FN\tPat O'Brien",
                       "N\tO'Brien, Jr.;Zoë; Pat;;;",
                       "NICKNAME\tPaddy\\nthe \\\\Boss\\\\",
                       "X-EVOLUTION-FILE-AS\tO'Brien, Pat",
                       "EMAIL;INTERNET;X-TWINBOOK-DISPLAY-NAME=Pat ^'P^' O'Brien, "
                       "(pat@example.com)\tpat@example.com",
                       "TEL;HOME,VOICE;X-TWINBOOK-PROPERTY=HomeTelephoneNumber\t555;0004",
                       "TEL;VOICE;X-TWINBOOK-PROPERTY=OtherTelephoneNumber\t555,0007",
                       "X-TWINBOOK-USER1\t123*45*678",
                       "X-TWINBOOK-USER4\tW2:5,DC:3",
                   }));
}

// --- Which files are items -------------------------------------------------

TEST_F(VCardFolderTest, OnlyVisibleVcfFilesAreItemsListedByNameBytes) {
  for (const char* name : {"b.vcf", "a.vcf", "A.vcf", "_.vcf", "10.vcf", "9.vcf", "é.vcf", "C.VCF",
                           ".hidden.vcf", ".vcf", "notes.txt", "vcf", "x.vcf~"}) {
    Put(name, Card(name));
  }
  fs::create_directory(In("sub"));
  Put("sub/inner.vcf", Card("inner"));
  fs::create_directory(In(".deleted"));
  Put(".deleted/gone.vcf", Card("gone"));
  auto folder = Open();
  std::vector<std::string> listed;
  for (int i = 1; i <= folder->Count(); ++i) {
    listed.push_back(FileNameOf(*folder->Item(i)));
    EXPECT_EQ(folder->Item(i)->Get(P::FullName), listed.back());
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"10.vcf", "9.vcf", "A.vcf", "C.VCF", "_.vcf", "a.vcf",
                                              "b.vcf", "é.vcf"}));
}

TEST_F(VCardFolderTest, ALinkInsideTheFolderIsReadAndWrittenThroughAndStaysALink) {
  fs::create_directory(In("real"));
  Put("real/ann.card", Card("Ann"));
  fs::create_symlink("real/ann.card", In("ann.vcf"));
  auto folder = Open();
  ASSERT_EQ(folder->Count(), 1);
  auto ann = folder->Item(1);
  EXPECT_EQ(ann->Get(P::FullName), "Ann");
  ann->Set(P::User3, "5");
  ann->Save();
  EXPECT_TRUE(fs::is_symlink(In("ann.vcf")));
  EXPECT_NE(ReadFile(In("real/ann.card")).find("X-TWINBOOK-USER3:5\r\n"), std::string::npos);
  EXPECT_EQ(Entries(folder_), (std::vector<std::string>{"ann.vcf", "real"}));
  EXPECT_EQ(Entries(In("real")), (std::vector<std::string>{"ann.card"}));
}

// --- Errors that stop a run before anything is written ---------------------

TEST_F(VCardFolderTest, FilesThatAreNoReadableCardAreErrorsNamingThem) {
  TempDir outside;
  WriteFile(outside / "elsewhere.vcf", Card("Elsewhere"));
  struct Case {
    const char* name;
    std::function<void(const std::string& path)> make;
    const char* says;
  };
  const Case cases[] = {
      {"notes.vcf", [](const std::string& p) { WriteFile(p, "Remember the milk\r\n"); },
       "is not a readable vCard: no vCard: line 1 is not BEGIN:VCARD"},
      {"empty.vcf", [](const std::string& p) { WriteFile(p, ""); },
       "is not a readable vCard: no vCard: the file is empty"},
      {"two.vcf", [](const std::string& p) { WriteFile(p, Card("One") + Card("Two")); },
       "is not a readable vCard: more than one card (another begins at line 7)"},
      {"cut.vcf", [](const std::string& p) { WriteFile(p, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cu"); },
       "is not a readable vCard: the card that begins at line 1 has no END:VCARD"},
      {"folder.vcf", [](const std::string& p) { fs::create_directory(p); },
       "is a folder, not a card file"},
      {"out.vcf", [&](const std::string& p) { fs::create_symlink(outside / "elsewhere.vcf", p); },
       "elsewhere.vcf, outside the contacts folder"},
      {"up.vcf", [](const std::string& p) { fs::create_symlink("../", p); },
       "outside the contacts folder"},
      {"dangling.vcf", [](const std::string& p) { fs::create_symlink("nowhere.vcf", p); },
       "is a link to nowhere.vcf, which cannot be followed"},
      {"fifo.vcf", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
       "is not a regular file"},
      {"locked.vcf",
       [](const std::string& p) {
         WriteFile(p, Card("Locked"));
         fs::permissions(p, fs::perms::none);
       },
       "Cannot read contact card"},
  };
  for (const Case& c : cases) {
    if (std::string(c.name) == "locked.vcf" && ::geteuid() == 0) {
      continue;  // root reads every file
    }
    TempDir scratch;
    const std::string folder = scratch / "Contacts";
    fs::create_directory(folder);
    WriteFile(folder + "/a-good-one.vcf", Card("Good"));
    c.make(folder + "/" + c.name);
    try {
      store_.OpenFolder(folder);
      ADD_FAILURE() << "no error for " << c.name;
    } catch (const ContactsError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("ontact card " + folder + "/" + c.name), std::string::npos) << message;
      EXPECT_NE(message.find(c.says), std::string::npos) << message;
    }
  }
}

TEST_F(VCardFolderTest, AFolderThatIsMissingOrNoFolderIsAnErrorNamingIt) {
  struct Case {
    std::string path;
    std::string says;
  };
  Put("plain.vcf", Card("x"));
  const Case cases[] = {
      {dir_ / "Missing", "Contacts folder " + (dir_ / "Missing") + " does not exist"},
      {dir_ / "Missing/Deeper", "Contacts folder " + (dir_ / "Missing/Deeper") + " does not exist"},
      {In("plain.vcf"), "Contacts folder " + In("plain.vcf") + " is not a folder"},
  };
  for (const Case& c : cases) {
    try {
      store_.OpenFolder(c.path);
      ADD_FAILURE() << "no error for " << c.path;
    } catch (const ContactsError& error) {
      EXPECT_EQ(std::string(error.what()), c.says);
    }
  }
}

TEST_F(VCardFolderTest, AFolderThatCannotBeListedIsAnErrorNamingIt) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root lists every folder";
  }
  fs::permissions(folder_, fs::perms::owner_write);
  try {
    Open();
    ADD_FAILURE() << "no error";
  } catch (const ContactsError& error) {
    EXPECT_NE(std::string(error.what()).find(folder_), std::string::npos) << error.what();
  }
}

// --- What saving leaves on the disk ------------------------------------------

TEST(VCardFileNameTest, NewFilesAreNamedAfterPlainUidsOnly) {
  struct Case {
    std::string uid;
    std::string name;
  };
  const Case cases[] = {
      {"4fbe8971-0bc3-424c-9c26-36c3e1eff6b1", "4fbe8971-0bc3-424c-9c26-36c3e1eff6b1.vcf"},
      {"pas-id-5F1A2B3C_0.1+2", "pas-id-5F1A2B3C_0.1+2.vcf"},
      {std::string(128, 'a'), std::string(128, 'a') + ".vcf"},
      {std::string(129, 'a'), ""},
      {"", ""},
      {"../x", ""},
      {"a/b", ""},
      {"..", ""},
      {".hidden", ""},
      {"urn:uuid:4fbe8971", ""},
      {"with space", ""},
      {"x\\y", ""},
      {"é", ""},
      {std::string("nul\0x", 5), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vcard::CardFileNameForUid(c.uid), c.name) << c.uid;
  }
}

TEST_F(VCardFolderTest, ANewCardIsNamedAfterItsUidAndAnUpdatedOneKeepsItsName) {
  Put("my card.vcf", Card("Mine"));
  auto folder = Open();
  auto created = folder->CreateItem();
  created->Set(P::FullName, "New");
  created->Save();
  const std::string name = FileNameOf(*created);
  EXPECT_NE(ReadFile(In(name)).find("\r\nUID:" + name.substr(0, name.size() - 4) + "\r\n"),
            std::string::npos)
      << ReadFile(In(name));
  std::vector<std::string> expected = {"my card.vcf", name};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(folder_), expected);
  auto mine = folder->Find("[FullName]='Mine'");
  mine->Set(P::NickName, "Me");
  mine->Save();
  created->Set(P::NickName, "Newbie");
  created->Save();
  EXPECT_EQ(Entries(folder_), expected);
  EXPECT_NE(ReadFile(In("my card.vcf")).find("NICKNAME:Me\r\n"), std::string::npos);
  EXPECT_NE(ReadFile(In(name)).find("NICKNAME:Newbie\r\n"), std::string::npos);
}

TEST_F(VCardFolderTest, SavesLeaveNoTemporaryFilesBehind) {
  auto folder = Open();
  for (int i = 0; i < 20; ++i) {
    auto item = folder->CreateItem();
    item->Set(P::FullName, "Contact " + std::to_string(i));
    item->Save();
    item->Set(P::User3, std::to_string(i));
    item->Save();
    if (i % 4 == 0) {
      item->Delete();
    }
  }
  for (const std::string& name : Entries(folder_)) {
    EXPECT_TRUE(name == ".deleted" || (name.size() > 4 && name.substr(name.size() - 4) == ".vcf"))
        << name;
  }
  EXPECT_EQ(Entries(folder_).size(), 16u);
  EXPECT_EQ(Entries(In(".deleted")).size(), 5u);
}

// A process killed while replacing a card leaves its temporary file; the
// next opening removes such a file once it is old enough to belong to no
// save still under way, and nothing else.
TEST_F(VCardFolderTest, OpeningRemovesOnlyTemporaryFilesLeftByAKilledSaveAnHourAgo) {
  const std::string leftover = ".twinbook-0123456789abcdef.tmp";
  const std::vector<std::string> kept = {
      ".twinbook-fedcba9876543210.tmp",  // fresh: a save may be writing it now
      ".twinbook-0123456789ABCDEF.tmp",  // not a name this program makes
      ".twinbook-0123.tmp",
      "twinbook-0123456789abcdef.tmp",
      ".other.tmp",
  };
  Put("ann.vcf", Card("Ann Lee"));
  for (const std::string& name : kept) {
    Put(name, "not ours");
  }
  Put(leftover, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Half");
  fs::create_directory(In(".twinbook-00000000000000aa.tmp"));  // no file: kept
  const auto twoHoursAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
  for (const std::string& name : {leftover, kept[1], kept[2], kept[3], kept[4],
                                  std::string(".twinbook-00000000000000aa.tmp")}) {
    fs::last_write_time(In(name), twoHoursAgo);
  }

  auto folder = Open();
  EXPECT_EQ(folder->Count(), 1);
  std::vector<std::string> expected = kept;
  expected.push_back(".twinbook-00000000000000aa.tmp");
  expected.push_back("ann.vcf");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(folder_), expected);
}

TEST_F(VCardFolderTest, SavingAnUnchangedItemWritesNothing) {
  Put("outlook.vcf", Fixture("outlook-2.1.vcf"));
  Put("evolution.vcf", Fixture("evolution-3.0.vcf"));
  const Stat outlook = StatOf(In("outlook.vcf"));
  const Stat evolution = StatOf(In("evolution.vcf"));
  auto folder = Open();
  for (int i = 1; i <= folder->Count(); ++i) {
    auto item = folder->Item(i);
    item->Save();
    // FileAs is left out: written, it is stored, so that it stops following N.
    for (int p = 0; p <= static_cast<int>(P::User4); ++p) {
      if (static_cast<P>(p) != P::FileAs) {
        item->Set(static_cast<P>(p), item->Get(static_cast<P>(p)));
      }
    }
    item->Save();
    // A change taken back is no change either.
    for (P p : {P::User1, P::NickName, P::LastName}) {
      const std::string before = item->Get(p);
      item->Set(p, before + "changed");
      item->Set(p, before);
    }
    item->Save();
  }
  EXPECT_TRUE(Same(StatOf(In("outlook.vcf")), outlook));
  EXPECT_TRUE(Same(StatOf(In("evolution.vcf")), evolution));
  EXPECT_EQ(ReadFile(In("outlook.vcf")), Fixture("outlook-2.1.vcf"));
}

TEST_F(VCardFolderTest, SavingReplacesTheFileKeepingItsModeButNotOneChangedElsewhere) {
  Put("ann.vcf", Card("Ann"));
  fs::permissions(In("ann.vcf"), fs::perms::owner_read | fs::perms::owner_write);
  const Stat before = StatOf(In("ann.vcf"));
  auto item = Open()->Item(1);
  item->Set(P::User2, "YES");
  item->Save();
  EXPECT_NE(StatOf(In("ann.vcf")).inode, before.inode) << "written beside and renamed over";
  EXPECT_EQ(fs::status(In("ann.vcf")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);

  item = Open()->Item(1);
  const std::string theirs = Card("Ann Changed Elsewhere");
  Put("ann.vcf", theirs);
  item->Set(P::User2, "No");
  try {
    item->Save();
    ADD_FAILURE() << "no error";
  } catch (const ContactsError& error) {
    EXPECT_NE(std::string(error.what())
                  .find(In("ann.vcf") + " was changed or removed by another program"),
              std::string::npos)
        << error.what();
  }
  EXPECT_EQ(ReadFile(In("ann.vcf")), theirs);

  auto removed = Open()->Item(1);
  fs::remove(In("ann.vcf"));
  removed->Set(P::User2, "YES");
  EXPECT_THROW(removed->Save(), ContactsError);
  EXPECT_FALSE(fs::exists(In("ann.vcf"))) << "a card removed elsewhere is not brought back";
}

TEST_F(VCardFolderTest, DeleteMovesTheCardIntoTheHiddenDeletedFolder) {
  const std::string first = Card("First");
  const std::string second = Card("Second");
  Put("x.vcf", first);
  Open()->Item(1)->Delete();
  EXPECT_EQ(Entries(folder_), std::vector<std::string>{".deleted"});
  Put("x.vcf", second);
  Open()->Item(1)->Delete();
  Put("x.vcf", Card("Third"));
  auto folder = Open();
  EXPECT_EQ(folder->Count(), 1) << "the deleted cards are no items";
  EXPECT_EQ(Entries(In(".deleted")), (std::vector<std::string>{"x-2.vcf", "x.vcf"}));
  EXPECT_EQ(ReadFile(In(".deleted/x.vcf")), first);
  EXPECT_EQ(ReadFile(In(".deleted/x-2.vcf")), second);
}

TEST_F(VCardFolderTest, ASecondOpenParsesOnlyTheFilesThatChangedInTheFolderOpenedLast) {
  // Files written by this test are all fresh: trust them at once.
  VCardContactStore store(std::chrono::nanoseconds(0));
  for (int i = 0; i < 5; ++i) {
    Put("c" + std::to_string(i) + ".vcf", Card("C" + std::to_string(i)));
  }
  store.OpenFolder(folder_);
  EXPECT_EQ(store.CardsParsed(), 5u);
  auto folder = store.OpenFolder(folder_);
  EXPECT_EQ(store.CardsParsed(), 5u);

  auto item = folder->Item(2);
  item->Set(P::User3, "9");
  item->Save();
  Put("c3.vcf", Card("Changed elsewhere"));
  auto reopened = store.OpenFolder(folder_);
  EXPECT_EQ(store.CardsParsed(), 6u) << "only the card changed elsewhere is parsed";
  EXPECT_EQ(reopened->Item(2)->Get(P::User3), "9");
  EXPECT_EQ(reopened->Item(4)->Get(P::FullName), "Changed elsewhere");

  fs::remove(In("c0.vcf"));
  EXPECT_EQ(store.OpenFolder(folder_)->Count(), 4);
  EXPECT_EQ(store.CardsParsed(), 6u);

  // Only the cards of the folder opened last are kept.
  const std::string other = dir_ / "Other";
  fs::create_directory(other);
  WriteFile(other + "/c.vcf", Card("C"));
  store.OpenFolder(other);
  store.OpenFolder(other);
  EXPECT_EQ(store.CardsParsed(), 7u);
  EXPECT_EQ(store.OpenFolder(folder_)->Count(), 4);
  EXPECT_EQ(store.CardsParsed(), 11u) << "the first folder's cards were let go";
}

TEST_F(VCardFolderTest, ASecondOpenTakesALinkedCardFromWhatItKeptUntilTheFileChanges) {
  VCardContactStore store(std::chrono::nanoseconds(0));
  fs::create_directory(In("real"));
  Put("real/ann.card", Card("Ann"));
  fs::create_symlink("real/ann.card", In("ann.vcf"));
  Put("bob.vcf", Card("Bob"));
  store.OpenFolder(folder_);
  EXPECT_EQ(store.CardsParsed(), 2u);
  EXPECT_EQ(store.OpenFolder(folder_)->Item(1)->Get(P::FullName), "Ann");
  EXPECT_EQ(store.CardsParsed(), 2u);
  Put("real/ann.card", Card("Ann Changed"));
  EXPECT_EQ(store.OpenFolder(folder_)->Item(1)->Get(P::FullName), "Ann Changed");
  EXPECT_EQ(store.CardsParsed(), 3u);
}

TEST_F(VCardFolderTest, CardsOfFilesChangedJustNowAreReadAgain) {
  // A rewrite of the same size within one tick of the file clock leaves the
  // file's identity as it was; only the content tells.
  for (int i = 0; i < 3; ++i) {
    Put("c" + std::to_string(i) + ".vcf", Card("C" + std::to_string(i)));
  }
  EXPECT_EQ(Open()->Item(2)->Get(P::FullName), "C1");
  Put("c1.vcf", Card("X1"));
  EXPECT_EQ(Open()->Item(2)->Get(P::FullName), "X1");
  EXPECT_EQ(store_.CardsParsed(), 6u);
}

TEST_F(VCardFolderTest, FindUsesCurrentValuesAfterManyChanges) {
  // The index Find uses against a plain scan, on a fixed random walk of
  // creations, changes and deletions.
  auto folder = Open();
  unsigned seed = 7;
  auto next = [&seed](unsigned range) {
    seed = seed * 1103515245 + 12345;
    return (seed >> 16) % range;
  };
  for (int step = 0; step < 300; ++step) {
    const unsigned action = next(10);
    if (action < 4 || folder->Count() == 0) {
      auto item = folder->CreateItem();
      item->Set(P::FullName, "N" + std::to_string(step));
      item->Set(P::User3, std::to_string(next(20)));
      item->Set(P::User2, next(2) ? "Y" : "no");
      item->Save();
    } else if (action < 8) {
      auto item = folder->Item(1 + static_cast<int>(next(static_cast<unsigned>(folder->Count()))));
      item->Set(P::User3, std::to_string(next(20)));
      item->Save();
    } else {
      folder->Item(1 + static_cast<int>(next(static_cast<unsigned>(folder->Count()))))->Delete();
    }
    const std::string id = std::to_string(next(20));
    std::string scanned = "(none)";
    for (int i = 1; i <= folder->Count(); ++i) {
      auto item = folder->Item(i);
      if (item->Get(P::User3) == id && item->Get(P::User2) == "Y") {
        scanned = item->Get(P::FullName);
        break;
      }
    }
    auto found = folder->Find("[User3] ='" + id + "' and ([User2] = 'Y' or [User2]='YES')");
    EXPECT_EQ(found ? found->Get(P::FullName) : "(none)", scanned) << "step " << step;
  }
}

}  // namespace
}  // namespace twinbook
