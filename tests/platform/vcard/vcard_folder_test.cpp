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

Strings Entries(const std::string& folder) {
  Strings names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The logical lines of a card, as our reader keeps them.
Strings Lines(const std::string& bytes) {
  Strings lines;
  for (const vcard::Line& line : vcard::Parse(bytes).lines) {
    lines.push_back(line.original.empty() ? vcard::RenderLine(line) : line.original.str());
  }
  return lines;
}

// Each line of a card as Python's vobject reads it: "NAME;TYPES<TAB>value".
std::string ReadByVobject(const std::string& path) {
  const std::string command = std::string("'") + TWINBOOK_VOBJECT_PYTHON + "' '" +
                              testing::SourceDir().string() +
                              "/tests/platform/vcard/read_vcard_with_vobject.py' '" + path + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string output;
  for (char buffer[4096]; size_t n = std::fread(buffer, 1, sizeof buffer, pipe);) {
    output.append(buffer, n);
  }
  EXPECT_EQ(::pclose(pipe), 0) << output;
  return output;
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
  void Age(const std::string& name) {
    fs::last_write_time(In(name), fs::file_time_type::clock::now() - std::chrono::hours(2));
  }

  testing::TempDir dir_;
  std::string folder_ = dir_ / "Contacts";
  VCardContactStore store_;
};

TEST_F(VCardFolderTest, ReadsEveryPropertyOfCardsAsExportersWriteThem) {
  // clang-format off
  const std::map<std::string, std::string> cards = {
      {"outlook-2.1.vcf", "ContactItem|Pat O'Brien|Pat|O'Brien||O'Brien, Pat|pat@example.com|SMTP||(555) 123-4567|(555) 123-9999|(555) 123-4568|(555) 765-4321|(555) 222-3333|(555) 444-5555|(555) 000-1111||||"},
      {"android-2.1.vcf", "ContactItem|Björn Åström|Björn|Åström||Åström, Björn|bjorn@example.se|SMTP|||||+46 8 123 456|+46 70 123 45 67||555 0199||||"},
      {"apple-3.0.vcf", "ContactItem|Johnny Appleseed|Johnny|Appleseed||Appleseed, Johnny|johnny@example.com|SMTP||+1 (408) 555-0101||+1 (408) 555-0102||+1 (408) 555-0100||+1 (408) 555-0103||||"},
      {"evolution-3.0.vcf", "ContactItem|Anna Smith|Anna|Smith|Annie|Smith, Anna|/o=Acme/ou=Exchange/cn=anna|SMTP|Anna Smith (anna@example.net)||555-0200||555-0300|555-0400|||123*45*678|yes|42|W2:5,DC:3"},
      {"nextcloud-4.0.vcf", "ContactItem|Élodie Durand|Élodie|Durand||Durand, Élodie|elodie.durand@example.org|SMTP||+33-1-23-45-67-89;ext=12|||01 98 76 54 32|+33-6-12-34-56-78||||||"},
      {"group-4.0.vcf", "DistListItem|Book club||||Book club" + std::string(14, '|')},
      {"group-apple-3.0.vcf", "DistListItem|Neighbours||Neighbours||Neighbours" + std::string(14, '|')},
  };  // clang-format on
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

// One property rewritten: that line changes, or one is added; every other
// line stays as it was. Another reader (vobject) reads what is written.
TEST_F(VCardFolderTest, RewritingOnePropertyChangesOneLineAndAnotherReaderReadsTheCard) {
  // clang-format off
  const struct { const char* file; P property; const char* value, *oldLine, *newLine; } cases[] = {
      {"apple-3.0.vcf", P::MobileTelephoneNumber, "+1 (408) 555-0199", "TEL;type=CELL;type=VOICE;type=pref:+1 (408) 555-0100", "TEL;type=CELL;type=VOICE;type=pref;X-TWINBOOK-PROPERTY=MobileTelephoneNumber:+1 (408) 555-0199"},
      {"apple-3.0.vcf", P::Email1Address, "johnny@example.net", "item1.EMAIL;type=INTERNET;type=HOME;type=pref:johnny@example.com", "item1.EMAIL;type=INTERNET;type=HOME;type=pref:johnny@example.net"},
      {"evolution-3.0.vcf", P::FirstName, "Anne", "N:Smith;Anna;Maria;;", "N:Smith;Anne;Maria;;"},
      {"nextcloud-4.0.vcf", P::User4, "H:3", nullptr, "X-TWINBOOK-USER4:H:3"},
  };  // clang-format on
  for (const auto& c : cases) {
    Put("card.vcf", Fixture(c.file));
    Strings expected = Lines(Fixture(c.file));
    auto item = Open()->Item(1);
    item->Set(c.property, c.value);
    item->Save();
    const auto at = c.oldLine ? std::find(expected.begin(), expected.end(), c.oldLine)
                              : expected.insert(expected.end(), c.newLine);
    ASSERT_NE(at, expected.end()) << c.oldLine;
    *at = c.newLine;
    EXPECT_EQ(Lines(ReadFile(In("card.vcf"))), expected);
    EXPECT_EQ(VCardContactStore().OpenFolder(folder_)->Item(1)->Get(c.property), c.value);
  }
  Put("card.vcf", Fixture("outlook-2.1.vcf"));  // written as 3.0
  auto outlook = Open()->Item(1);
  outlook->Set(P::User3, "7");
  outlook->Save();
  const std::string read = ReadByVobject(In("card.vcf"));
  for (const char* line : {"X-TWINBOOK-USER3;\t7\n", "N;\tO'Brien;Pat;J.;Dr.;Jr.\n",
                           "TEL;CELL,VOICE\t(555) 222-3333\n"}) {
    EXPECT_NE(read.find(line), std::string::npos) << line << " in " << read;
  }
  auto item = Open()->CreateItem();  // a card this program makes, every property set
  const std::string tricky = "Pat \"P\" O'Brien; Zoë\\ \n";
  for (const P p : AllContactProperties()) {
    item->Set(p, p == P::Email1AddressType ? "SMTP" : tricky + std::string(PropertyName(p)));
  }
  item->Save();
  const std::string made = ReadByVobject(In(FileOf(*item)));
  for (const P p : AllContactProperties()) {
    if (p != P::Email1AddressType && p != P::Email1DisplayName) {
      EXPECT_NE(made.find("Pat \"P\" O'Brien; Zoë\\\\ \\n" + std::string(PropertyName(p))),
                std::string::npos)
          << PropertyName(p) << " in " << made;
    }
  }
}

TEST_F(VCardFolderTest, OnlyVisibleVcfFilesAreItemsListedByNameBytesLinksIncluded) {
  for (const char* name : {"b.vcf", "a.vcf", "A.vcf", "10.vcf", "9.vcf", "é.vcf", "C.VCF",
                           ".hidden.vcf", "notes.txt", "x.vcf~"}) {
    Put(name, Card(name));
  }
  fs::create_directory(In("sub"));
  Put("sub/linked.card", Card("linked"));
  fs::create_symlink("sub/linked.card", In("linked.vcf"));
  auto folder = Open();
  Strings listed;
  for (int i = 1; i <= folder->Count(); ++i) {
    listed.push_back(FileOf(*folder->Item(i)));
    EXPECT_EQ(folder->Item(i)->Get(P::FullName),
              listed.back() == "linked.vcf" ? "linked" : listed.back());
  }
  EXPECT_EQ(listed, (Strings{"10.vcf", "9.vcf", "A.vcf", "C.VCF", "a.vcf", "b.vcf", "linked.vcf",
                             "é.vcf"}));
  auto linked = folder->Find("[FullName]='linked'");
  linked->Set(P::User3, "5");
  linked->Save();
  EXPECT_TRUE(fs::is_symlink(In("linked.vcf")));
  EXPECT_NE(ReadFile(In("sub/linked.card")).find("X-TWINBOOK-USER3:5\r\n"), std::string::npos);
}

TEST_F(VCardFolderTest, WhatIsNoReadableCardOrFolderIsAnErrorNamingIt) {
  testing::TempDir outside;
  testing::WriteFile(outside / "elsewhere.vcf", Card("Elsewhere"));
  const std::pair<std::function<void(const std::string&)>, std::string> cases[] = {
      {[](auto& p) { testing::WriteFile(p, "Remember the milk\r\n"); },
       "is not a readable vCard: no vCard: line 1 is not BEGIN:VCARD"},
      {[&](auto& p) { fs::create_symlink(outside / "elsewhere.vcf", p); },
       "is a link to " + (outside / "elsewhere.vcf") + ", outside the contacts folder"},
      {[](auto& p) { ::mkfifo(p.c_str(), 0600); }, "is not a regular file"},
  };
  for (const auto& [make, says] : cases) {
    testing::TempDir scratch;
    const std::string folder = scratch / "Contacts";
    fs::create_directory(folder);
    testing::WriteFile(folder + "/a-good-one.vcf", Card("Good"));
    make(folder + "/bad.vcf");
    try {
      store_.OpenFolder(folder);
      ADD_FAILURE() << "no error: " << says;
    } catch (const ContactsError& error) {
      EXPECT_NE(std::string(error.what()).find("Contact card " + folder + "/bad.vcf " + says),
                std::string::npos)
          << error.what();
    }
  }
  Put("plain.vcf", Card("x"));
  for (const auto& [path, says] : {std::pair{dir_ / "Missing/Deeper", " does not exist"},
                                   {In("plain.vcf"), " is not a folder"}}) {
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
  for (const std::string& uid : {std::string("pas-id-5F_0.1+2"), std::string(128, 'a')}) {
    EXPECT_EQ(vcard::CardFileNameForUid(uid), uid + ".vcf");
  }
  for (const std::string& uid : {std::string(129, 'a'), std::string(), std::string("../x"),
                                 std::string(".h"), std::string("urn:uuid:4f"), std::string("é")}) {
    EXPECT_EQ(vcard::CardFileNameForUid(uid), "") << uid;
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
  EXPECT_EQ(Entries(folder_).size(), 2u);
  EXPECT_NE(ReadFile(In("my card.vcf")).find("NICKNAME:Me\r\n"), std::string::npos);
}

// A save writes beside the card and renames over it, keeping its mode; a
// killed save leaves its temporary file, which the next opening removes once
// it is old enough to belong to no save under way, and nothing else.
TEST_F(VCardFolderTest, SavesReplaceFilesAtomicallyAndLeftoversAreCleanedUp) {
  Put("ann.vcf", Card("Ann"));
  fs::permissions(In("ann.vcf"), fs::perms::owner_read | fs::perms::owner_write);
  struct stat before {};
  ::stat(In("ann.vcf").c_str(), &before);
  const Strings kept = {".other.tmp", ".twinbook-0123456789ABCDEF.tmp",
                        ".twinbook-fedcba9876543210.tmp"};
  for (const std::string& name : kept) {
    Put(name, "not ours");
  }
  Put(".twinbook-0123456789abcdef.tmp", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Half");
  Age(".other.tmp"), Age(".twinbook-0123456789ABCDEF.tmp"), Age(".twinbook-0123456789abcdef.tmp");
  auto folder = Open();
  auto item = folder->Item(1);
  item->Set(P::User2, "YES");
  item->Save();
  struct stat after {};
  ::stat(In("ann.vcf").c_str(), &after);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(fs::status(In("ann.vcf")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  auto more = folder->CreateItem();
  more->Set(P::FullName, "C");
  more->Save();
  more->Delete();
  Strings expected = kept;
  expected.insert(expected.begin(), ".deleted");
  expected.push_back("ann.vcf");
  EXPECT_EQ(Entries(folder_), expected);
}

// Through the folder's index as it changes, and from storage.
TEST_F(VCardFolderTest, FindGivesTheFirstListedMatchOfEachFilterAndMalformedOnesAreErrors) {
  auto folder = Open();
  for (const Strings& f : {Strings{"Ann Lee", "1", "Y", "Annie"},
                           {"Pat O'Brien", "12", "yes", "Paddy"},
                           {"Cy", "13", "No", ""},
                           {"Élise Über", "12", "YES", ""},
                           {"Eve", "2", "Y", ""}}) {
    auto item = folder->CreateItem();
    for (const auto& [p, value] :
         {std::pair{P::FullName, f[0]}, {P::User3, f[1]}, {P::User2, f[2]}, {P::NickName, f[3]}}) {
      item->Set(p, value);
    }
    item->Save();
  }
  folder->Find("[User3]='1'")->Set(P::User3, "14");  // unsaved: not found by it yet
  auto pat = folder->Find("[FullName]='Pat O''Brien'");
  pat->Set(P::User3, "15");
  pat->Save();
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"[User3] ='12' and ([User2] = 'Y' or [User2]='YES')", "Élise Über"},
      {"[User3] ='13' and ([User2] = 'Y' or [User2]='YES')", "(none)"},
      {"[User3]='14'", "(none)"}, {"[User3]='15' and [nickname]='PADDY'", "Pat O'Brien"},
      {"[User3]='99' or [FullName]='élise über'", "Élise Über"},
      {"[User3]='1' and [User2]='Y'", "Ann Lee"}, {"[User3]='' or [User2]='no'", "Cy"},
  };  // clang-format on
  for (auto* f : {folder.get(), VCardContactStore().OpenFolder(folder_).release()}) {
    for (const auto& [filter, found] : cases) {
      auto item = f->Find(filter);
      EXPECT_EQ(item ? item->Get(P::FullName) : "(none)", found) << filter;
    }
    EXPECT_THROW(f->Find("[User3] = 'O'Brien'"), ContactsError);
    if (f != folder.get())
      delete f;
  }
}

// Find against a plain scan, over a fixed random walk of changes.
TEST_F(VCardFolderTest, FindGivesTheFirstListedMatchAfterEveryChange) {
  auto folder = Open();
  unsigned seed = 7;
  auto next = [&seed](unsigned range) {
    return static_cast<int>(((seed = seed * 1103515245 + 12345) >> 16) % range);
  };
  for (int step = 0; step < 200; ++step) {
    const int count = folder->Count();
    auto item = next(10) < 4 || count == 0 ? folder->CreateItem() : folder->Item(1 + next(count));
    item->Set(P::User3, std::to_string(next(20)));
    item->Set(P::User2, next(2) ? "Y" : "no");
    if (next(10) < 2 && count > 0) {
      item->Delete();
    } else {
      item->Save();
    }
    const std::string id = std::to_string(next(20));
    std::string scanned = "(none)";
    for (int i = folder->Count(); i >= 1; --i) {
      auto it = folder->Item(i);
      scanned = it->Get(P::User3) == id && it->Get(P::User2) == "Y" ? FileOf(*it) : scanned;
    }
    auto found = folder->Find("[User3] ='" + id + "' and ([User2] = 'Y' or [User2]='YES')");
    EXPECT_EQ(found ? FileOf(*found) : "(none)", scanned) << "step " << step;
  }
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
  EXPECT_EQ(Open()->Count(), 0);
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
  // With the default trust, a rewrite of the same size just now is told by its content.
  Put("c1.vcf", Card("X1"));
  EXPECT_EQ(Open()->Item(2)->Get(P::FullName), "X1");
  Put("c1.vcf", Card("Y1"));
  EXPECT_EQ(Open()->Item(2)->Get(P::FullName), "Y1");
}

}  // namespace
}  // namespace twinbook
