// The folder of vCard files: real files in temporary folders, the cards
// exporters write, and the files the program leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "platform/vcard/vcard_card.h"
#include "platform/vcard/vcard_contact_store.h"
#include "platform/vcard/vcard_text.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using P = ContactProperty;
using Strings = std::vector<std::string>;
using testing::ReadFile;

std::string Fixture(const std::string& name) {
  return ReadFile((testing::SourceDir() / "tests/fixtures/vcards" / name).string());
}

// Logical lines, unfolded here apart from the reader under test.
Strings Unfolded(const std::string& bytes) {
  Strings lines;
  for (size_t start = 0, end; start < bytes.size(); start = end + 1) {
    end = std::min(bytes.find('\n', start), bytes.size());
    std::string line = bytes.substr(start, end - start);
    line.erase(line.empty() || line.back() != '\r' ? line.size() : line.size() - 1);
    (line[0] == ' ' || line[0] == '\t') && !lines.empty() ? void(lines.back() += line.substr(1))
                                                          : lines.push_back(line);
  }
  return lines;
}

Strings Entries(const std::string& folder) {
  Strings names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Each line as "NAME;TYPES<TAB>value" the way read_vcard_with_vobject.py
// prints it, UID and VERSION left out: from our reader, or from vobject.
Strings Reading(const std::string& path, bool vobject) {
  Strings lines;
  if (vobject) {
    const std::string command = std::string("'") + TWINBOOK_VOBJECT_PYTHON + "' '" +
                                testing::SourceDir().string() +
                                "/tests/platform/vcard/read_vcard_with_vobject.py' '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    for (char buffer[4096]; size_t n = std::fread(buffer, 1, sizeof buffer, pipe);) {
      output.append(buffer, n);
    }
    EXPECT_EQ(::pclose(pipe), 0) << output;
    lines = Unfolded(output);
  } else {
    for (const vcard::Line& line : vcard::Parse(ReadFile(path)).lines) {
      Strings types;
      for (const vcard::Param& param : line.params) {
        for (const std::string& value :
             vcard::EqualsIgnoringCase(param.name, "TYPE") ? param.values : Strings{}) {
          types.push_back(vcard::AsciiUpper(value));
        }
      }
      std::sort(types.begin(), types.end());
      Strings parts = line.Is("N") || line.Is("ADR") || line.Is("ORG")
                          ? vcard::SplitComponents(line.value)
                          : Strings{vcard::UnescapeText(line.value)};
      while (line.Is("ORG") && parts.size() > 1 && parts.back().empty()) {
        parts.pop_back();  // as vobject reads it
      }
      std::string head = vcard::AsciiUpper(line.name) + ";", text;
      for (size_t i = 0; i < std::max(types.size(), parts.size()); ++i) {
        head += i < types.size() ? (i ? "," : "") + types[i] : "";
        text += i < parts.size() ? (i ? ";" : "") + parts[i] : "";
      }
      for (size_t at = 0; (at = text.find_first_of("\\\n", at)) != std::string::npos; at += 2) {
        text.replace(at, 1, text[at] == '\n' ? "\\n" : "\\\\");
      }
      lines.push_back(head + "\t" + text);
    }
  }
  std::erase_if(lines, [](const std::string& l) {
    return l.starts_with("UID;") || l.starts_with("VERSION;");
  });
  std::sort(lines.begin(), lines.end());  // vobject keeps the lines of one name together
  return lines;
}

class VCardFolderTest : public ::testing::Test {
 protected:
  VCardFolderTest() { fs::create_directory(folder_); }
  std::string In(const std::string& name) const { return folder_ + "/" + name; }
  void Put(const std::string& name, const std::string& bytes) {
    testing::WriteFile(In(name), bytes);
  }
  std::unique_ptr<ContactsFolder> Open() { return store_.OpenFolder(folder_); }
  static std::string Card(const std::string& name) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + name + "\r\nFN:" + name +
           "\r\nN:;;;;\r\nEND:VCARD\r\n";
  }
  static std::string FileOf(const ContactItem& item) {
    return fs::path(item.Describe()).filename();
  }

  testing::TempDir dir_;
  std::string folder_ = dir_ / "Contacts";
  VCardContactStore store_;
};

TEST_F(VCardFolderTest, ReadsEveryPropertyOfCardsAsExportersWriteThem) {
  // Every property in declaration order, joined by "|".
  const std::map<std::string, std::string> cards = {
      {"outlook-2.1.vcf",
       "ContactItem|Pat O'Brien|Pat|O'Brien||O'Brien, Pat|pat@example.com|SMTP||(555) 123-4567|"
       "(555) 123-9999|(555) 123-4568|(555) 765-4321|(555) 222-3333|(555) 444-5555|(555) "
       "000-1111|||"
       "|"},
      {"android-2.1.vcf",
       "ContactItem|Björn Åström|Björn|Åström||Åström, Björn|bjorn@example.se|SMTP|||||+46 8 123 "
       "456|+46 70 123 45 67||555 0199||||"},
      {"apple-3.0.vcf",
       "ContactItem|Johnny Appleseed|Johnny|Appleseed||Appleseed, "
       "Johnny|johnny@example.com|SMTP||+1 "
       "(408) 555-0101||+1 (408) 555-0102||+1 (408) 555-0100||+1 (408) 555-0103||||"},
      {"evolution-3.0.vcf",
       "ContactItem|Anna Smith|Anna|Smith|Annie|Smith, Anna|/o=Acme/ou=Exchange/cn=anna|SMTP|Anna "
       "Smith (anna@example.net)||555-0200||555-0300|555-0400|||123*45*678|yes|42|W2:5,DC:3"},
      {"nextcloud-4.0.vcf",
       "ContactItem|Élodie Durand|Élodie|Durand||Durand, "
       "Élodie|elodie.durand@example.org|SMTP||+33-"
       "1-23-45-67-89;ext=12|||01 98 76 54 32|+33-6-12-34-56-78||||||"},
      {"group-4.0.vcf", "DistListItem|Book club||||Book club" + std::string(14, '|')},
      {"group-apple-3.0.vcf",
       "DistListItem|Neighbours||Neighbours||Neighbours" + std::string(14, '|')},
  };
  for (const auto& [file, expected] : cards) {
    Put(file, Fixture(file));
  }
  auto folder = Open();
  ASSERT_EQ(folder->Count(), static_cast<int>(cards.size()));
  for (int i = 1; i <= folder->Count(); ++i) {
    auto item = folder->Item(i);
    std::string read = item->TypeName();
    for (const P p : AllContactProperties()) {
      read += "|" + item->Get(p);
    }
    EXPECT_EQ(read, cards.at(FileOf(*item)));
  }
}

// One property rewritten: that line changes, or one is added before
// END:VCARD; every other line stays byte for byte, and a 2.1 card becomes
// 3.0 holding the same lines. Another reader (vobject) reads the same.
TEST_F(VCardFolderTest, RewritingOnePropertyChangesOneLineAndReadsTheSameElsewhere) {
  const struct {
    const char* file;
    P property;
    const char* value;
    const char* oldLine;  // nullptr: the new line is added before END:VCARD
    const char* newLine;
  } cases[] = {
      {"apple-3.0.vcf", P::MobileTelephoneNumber, "+1 (408) 555-0199",
       "TEL;type=CELL;type=VOICE;type=pref:+1 (408) 555-0100",
       "TEL;type=CELL;type=VOICE;type=pref;X-TWINBOOK-PROPERTY=MobileTelephoneNumber:+1 (408) "
       "555-0199"},
      {"apple-3.0.vcf", P::Email1Address, "johnny@example.net",
       "item1.EMAIL;type=INTERNET;type=HOME;type=pref:johnny@example.com",
       "item1.EMAIL;type=INTERNET;type=HOME;type=pref:johnny@example.net"},
      {"evolution-3.0.vcf", P::User3, "43", "X-TWINBOOK-USER3:42", "X-TWINBOOK-USER3:43"},
      {"evolution-3.0.vcf", P::FirstName, "Anne", "N:Smith;Anna;Maria;;", "N:Smith;Anne;Maria;;"},
      {"nextcloud-4.0.vcf", P::User4, "H:3", nullptr, "X-TWINBOOK-USER4:H:3"},
      {"nextcloud-4.0.vcf", P::HomeTelephoneNumber, "01 11 11 11 11",
       "TEL;TYPE=home:01 98 76 54 32",
       "TEL;TYPE=home;X-TWINBOOK-PROPERTY=HomeTelephoneNumber:01 11 11 11 11"},
      {"outlook-2.1.vcf", P::User3, "7", nullptr, "X-TWINBOOK-USER3;\t7"},
      {"android-2.1.vcf", P::User2, "Y", nullptr, "X-TWINBOOK-USER2;\tY"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + std::string(PropertyName(c.property)));
    Put("card.vcf", Fixture(c.file));
    const bool v21 = std::string(c.file).find("2.1") != std::string::npos;
    Strings expected = v21 ? Reading(In("card.vcf"), false) : Unfolded(Fixture(c.file));
    {
      auto item = Open()->Item(1);
      item->Set(c.property, c.value);
      item->Save();
    }
    const std::string written = ReadFile(In("card.vcf"));
    const auto at = c.oldLine ? std::find(expected.begin(), expected.end(), c.oldLine)
                              : expected.insert(expected.end() - !v21, c.newLine);
    ASSERT_NE(at, expected.end());
    *at = c.newLine;
    std::sort(expected.begin(), v21 ? expected.end() : expected.begin());
    EXPECT_EQ(v21 ? Reading(In("card.vcf"), false) : Unfolded(written), expected);
    EXPECT_EQ(testing::ReadCrLfLines(In("card.vcf")).size(),
              std::count(written.begin(), written.end(), '\n'));
    EXPECT_EQ(VCardContactStore().OpenFolder(folder_)->Item(1)->Get(c.property), c.value);
    if (v21 || std::string(c.file).starts_with("apple")) {
      EXPECT_EQ(Reading(In("card.vcf"), true), Reading(In("card.vcf"), false));
    }
  }
  {
    auto item = Open()->CreateItem();  // a card this program makes, every property set
    for (const P p : AllContactProperties()) {
      item->Set(p, p == P::Email1AddressType
                       ? "SMTP"
                       : "Pat \"P\" O'Brien; Zoë\\ \n" + std::string(PropertyName(p)));
    }
    item->Save();
  }
  for (const std::string& name : Entries(folder_)) {
    EXPECT_EQ(Reading(In(name), true), Reading(In(name), false)) << name;
  }
}

TEST_F(VCardFolderTest, OnlyVisibleVcfFilesAreItemsListedByNameBytesLinksIncluded) {
  for (const char* name : {"b.vcf", "a.vcf", "A.vcf", "_.vcf", "10.vcf", "9.vcf", "é.vcf", "C.VCF",
                           ".hidden.vcf", ".vcf", "notes.txt", "vcf", "x.vcf~"}) {
    Put(name, Card(name));
  }
  fs::create_directory(In("sub"));
  Put("sub/inner.vcf", Card("inner"));
  Put("sub/linked.card", Card("linked"));
  fs::create_symlink("sub/linked.card", In("linked.vcf"));
  fs::create_directory(In(".deleted"));
  Put(".deleted/gone.vcf", Card("gone"));
  auto folder = Open();
  Strings listed;
  for (int i = 1; i <= folder->Count(); ++i) {
    listed.push_back(FileOf(*folder->Item(i)));
    EXPECT_EQ(folder->Item(i)->Get(P::FullName),
              listed.back() == "linked.vcf" ? "linked" : listed.back());
  }
  EXPECT_EQ(listed, (Strings{"10.vcf", "9.vcf", "A.vcf", "C.VCF", "_.vcf", "a.vcf", "b.vcf",
                             "linked.vcf", "é.vcf"}));
  auto linked = folder->Find("[FullName]='linked'");
  linked->Set(P::User3, "5");
  linked->Save();
  EXPECT_TRUE(fs::is_symlink(In("linked.vcf")));
  EXPECT_NE(ReadFile(In("sub/linked.card")).find("X-TWINBOOK-USER3:5\r\n"), std::string::npos);
  EXPECT_EQ(Entries(In("sub")), (Strings{"inner.vcf", "linked.card"}));
}

TEST_F(VCardFolderTest, WhatIsNoReadableCardOrFolderIsAnErrorNamingIt) {
  testing::TempDir outside;
  testing::WriteFile(outside / "elsewhere.vcf", Card("Elsewhere"));
  const bool root = ::geteuid() == 0;
  const std::pair<std::function<void(const std::string&)>, std::string> cases[] = {
      {[](auto& p) { testing::WriteFile(p, "Remember the milk\r\n"); },
       "is not a readable vCard: no vCard: line 1 is not BEGIN:VCARD"},
      {[](auto& p) { testing::WriteFile(p, ""); }, "no vCard: the file is empty"},
      {[](auto& p) { testing::WriteFile(p, Card("One") + Card("Two")); },
       "is not a readable vCard: more than one card (another begins at line 7)"},
      {[](auto& p) { testing::WriteFile(p, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cu"); },
       "the card that begins at line 1 has no END:VCARD"},
      {[](auto& p) { fs::create_directory(p); }, "is a folder, not a card file"},
      {[&](auto& p) { fs::create_symlink(outside / "elsewhere.vcf", p); },
       "elsewhere.vcf, outside the contacts folder"},
      {[](auto& p) { fs::create_symlink("../", p); }, "outside the contacts folder"},
      {[](auto& p) { fs::create_symlink("nowhere.vcf", p); },
       "is a link to nowhere.vcf, which cannot be followed"},
      {[](auto& p) { ::mkfifo(p.c_str(), 0600); }, "is not a regular file"},
      {[](auto& p) { testing::WriteFile(p, Card("x")), fs::permissions(p, fs::perms::none); },
       root ? "" : "Cannot read contact card"},
  };
  for (const auto& [make, says] : cases) {
    testing::TempDir scratch;
    const std::string folder = scratch / "Contacts";
    fs::create_directory(folder);
    testing::WriteFile(folder + "/a-good-one.vcf", Card("Good"));
    make(folder + "/bad.vcf");
    try {
      store_.OpenFolder(folder);
      EXPECT_EQ(says, "") << "no error";
    } catch (const ContactsError& error) {
      EXPECT_NE(std::string(error.what()).find("ontact card " + folder + "/bad.vcf"),
                std::string::npos);
      EXPECT_NE(std::string(error.what()).find(says), std::string::npos) << error.what();
    }
  }
  Put("plain.vcf", Card("x"));
  if (!root) {
    fs::create_directory(In("locked"));
    fs::permissions(In("locked"), fs::perms::owner_write);
  }
  for (const auto& [path, says] :
       {std::pair{dir_ / "Missing/Deeper", " does not exist"},
        {In("plain.vcf"), " is not a folder"},
        {root ? dir_ / "Missing" : In("locked"), root ? " does not exist" : ""}}) {
    try {
      store_.OpenFolder(path);
      ADD_FAILURE() << "no error for " << path;
    } catch (const ContactsError& error) {
      EXPECT_NE(std::string(error.what()).find("Contacts folder " + path + says), std::string::npos)
          << error.what();
    }
  }
}

TEST_F(VCardFolderTest, NewCardsAreNamedAfterPlainUidsAndUpdatedOnesKeepTheirName) {
  const std::pair<std::string, std::string> names[] = {
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
  for (const auto& [uid, name] : names) {
    EXPECT_EQ(vcard::CardFileNameForUid(uid), name) << uid;
  }
  Put("my card.vcf", Card("Mine"));
  auto folder = Open();
  auto created = folder->CreateItem();
  created->Set(P::FullName, "New");
  created->Save();
  const std::string name = FileOf(*created);
  EXPECT_NE(ReadFile(In(name)).find("\r\nUID:" + name.substr(0, name.size() - 4) + "\r\n"),
            std::string::npos);
  auto mine = folder->Find("[FullName]='Mine'");
  mine->Set(P::NickName, "Me");
  mine->Save();
  created->Set(P::NickName, "Newbie");
  created->Save();
  Strings expected = {"my card.vcf", name};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(folder_), expected);
  EXPECT_NE(ReadFile(In("my card.vcf")).find("NICKNAME:Me\r\n"), std::string::npos);
  EXPECT_NE(ReadFile(In(name)).find("NICKNAME:Newbie\r\n"), std::string::npos);
}

// A save writes beside the card and renames over it, keeping its mode; a
// killed save leaves its temporary file, which the next opening removes once
// it is old enough to belong to no save under way, and nothing else.
TEST_F(VCardFolderTest, SavesReplaceFilesAtomicallyAndLeftoversAreCleanedUp) {
  Put("ann.vcf", Card("Ann"));
  fs::permissions(In("ann.vcf"), fs::perms::owner_read | fs::perms::owner_write);
  struct stat before {};
  ::stat(In("ann.vcf").c_str(), &before);
  const std::string leftover = ".twinbook-0123456789abcdef.tmp";
  const Strings kept = {".other.tmp",
                        ".twinbook-0123.tmp",
                        ".twinbook-0123456789ABCDEF.tmp",
                        ".twinbook-00000000000000aa.tmp",
                        ".twinbook-fedcba9876543210.tmp",
                        "twinbook-0123456789abcdef.tmp"};
  for (const std::string& name : kept) {
    name.ends_with("aa.tmp") ? void(fs::create_directory(In(name))) : Put(name, "not ours");
  }
  Put(leftover, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Half");
  for (const std::string& name : kept) {
    if (!name.starts_with(".twinbook-fedc")) {  // that one is fresh: a save may be writing it
      fs::last_write_time(In(name), fs::file_time_type::clock::now() - std::chrono::hours(2));
    }
  }
  fs::last_write_time(In(leftover), fs::file_time_type::clock::now() - std::chrono::hours(2));
  auto folder = Open();
  auto item = folder->Item(1);
  item->Set(P::User2, "YES");
  item->Save();
  struct stat after {};
  ::stat(In("ann.vcf").c_str(), &after);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(fs::status(In("ann.vcf")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  for (int i = 0; i < 8; ++i) {
    auto more = folder->CreateItem();
    more->Set(P::FullName, "C" + std::to_string(i));
    more->Save();
    more->Set(P::User3, "1");
    more->Save();
    if (i % 4 == 0) {
      more->Delete();
    }
  }
  Strings entries = Entries(folder_);
  std::erase_if(entries, [](const std::string& n) { return n.ends_with(".vcf") && n[0] != '.'; });
  Strings expected = kept;
  expected.push_back(".deleted");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(Entries(folder_).size(), 7u + expected.size());
}

TEST_F(VCardFolderTest, SavingAnUnchangedItemWritesNothing) {
  Put("outlook.vcf", Fixture("outlook-2.1.vcf"));
  Put("evolution.vcf", Fixture("evolution-3.0.vcf"));
  fs::last_write_time(In("outlook.vcf"), fs::file_time_type::clock::now() - std::chrono::hours(2));
  fs::last_write_time(In("evolution.vcf"),
                      fs::file_time_type::clock::now() - std::chrono::hours(2));
  const auto outlook = fs::last_write_time(In("outlook.vcf"));
  const auto evolution = fs::last_write_time(In("evolution.vcf"));
  auto folder = Open();
  for (int i = 1; i <= folder->Count(); ++i) {
    auto item = folder->Item(i);
    item->Save();
    for (const P p : AllContactProperties()) {
      if (p != P::FileAs) {  // FileAs written is stored, so that it stops following N
        item->Set(p, item->Get(p));
      }
    }
    for (P p : {P::User1, P::NickName, P::LastName}) {  // a change taken back is none
      const std::string value = item->Get(p);
      item->Set(p, value + "changed");
      item->Set(p, value);
    }
    item->Save();
  }
  EXPECT_EQ(fs::last_write_time(In("outlook.vcf")), outlook);
  EXPECT_EQ(fs::last_write_time(In("evolution.vcf")), evolution);
  EXPECT_EQ(ReadFile(In("outlook.vcf")), Fixture("outlook-2.1.vcf"));
}

TEST_F(VCardFolderTest, ACardChangedOrRemovedElsewhereIsNotOverwrittenAndDeletedCardsAreKept) {
  Put("ann.vcf", Card("Ann"));
  auto changed = Open()->Item(1);
  auto removed = Open()->Item(1);
  Put("ann.vcf", Card("Ann Changed Elsewhere"));
  changed->Set(P::User2, "No");
  try {
    changed->Save();
    ADD_FAILURE() << "no error";
  } catch (const ContactsError& error) {
    EXPECT_NE(std::string(error.what())
                  .find(In("ann.vcf") + " was changed or removed by another program"),
              std::string::npos);
  }
  EXPECT_EQ(ReadFile(In("ann.vcf")), Card("Ann Changed Elsewhere"));
  fs::remove(In("ann.vcf"));
  removed->Set(P::User2, "YES");
  EXPECT_THROW(removed->Save(), ContactsError);
  EXPECT_FALSE(fs::exists(In("ann.vcf")));

  for (const char* name : {"First", "Second"}) {
    Put("x.vcf", Card(name));
    Open()->Item(1)->Delete();
  }
  Put("x.vcf", Card("Third"));
  EXPECT_EQ(Open()->Count(), 1);
  EXPECT_EQ(Entries(In(".deleted")), (Strings{"x-2.vcf", "x.vcf"}));
  EXPECT_EQ(ReadFile(In(".deleted/x.vcf")), Card("First"));
  EXPECT_EQ(ReadFile(In(".deleted/x-2.vcf")), Card("Second"));
}

TEST_F(VCardFolderTest, ASecondOpenParsesOnlyTheCardsChangedSinceInTheFolderOpenedLast) {
  VCardContactStore store(std::chrono::nanoseconds(0));  // the test's files are trusted at once
  for (int i = 0; i < 5; ++i) {
    Put("c" + std::to_string(i) + ".vcf", Card("C" + std::to_string(i)));
  }
  fs::create_directory(In("real"));
  Put("real/ann.card", Card("Ann"));
  fs::create_symlink("real/ann.card", In("ann.vcf"));
  store.OpenFolder(folder_);
  auto folder = store.OpenFolder(folder_);
  EXPECT_EQ(store.CardsParsed(), 6u);
  auto item = folder->Item(3);
  item->Set(P::User3, "9");
  item->Save();
  Put("c3.vcf", Card("Changed elsewhere"));
  Put("real/ann.card", Card("Ann Changed"));
  auto reopened = store.OpenFolder(folder_);
  EXPECT_EQ(store.CardsParsed(), 8u);
  EXPECT_EQ(reopened->Item(3)->Get(P::User3), "9");
  EXPECT_EQ(reopened->Item(5)->Get(P::FullName), "Changed elsewhere");
  EXPECT_EQ(reopened->Item(1)->Get(P::FullName), "Ann Changed");
  fs::remove(In("c0.vcf"));
  EXPECT_EQ(store.OpenFolder(folder_)->Count(), 5);
  EXPECT_EQ(store.CardsParsed(), 8u);
  const std::string other = dir_ / "Other";
  fs::create_directory(other);
  testing::WriteFile(other + "/c.vcf", Card("C"));
  store.OpenFolder(other);
  store.OpenFolder(other);
  EXPECT_EQ(store.OpenFolder(folder_)->Count(), 5);
  EXPECT_EQ(store.CardsParsed(), 14u) << "the first folder's cards were let go";

  // With the default trust, a rewrite of the same size just now, within one
  // tick of the file clock, is told by its content alone.
  Put("c1.vcf", Card("X1"));
  EXPECT_EQ(Open()->Item(2)->Get(P::FullName), "X1");
  Put("c1.vcf", Card("Y1"));
  EXPECT_EQ(Open()->Item(2)->Get(P::FullName), "Y1");
}

}  // namespace
}  // namespace twinbook
