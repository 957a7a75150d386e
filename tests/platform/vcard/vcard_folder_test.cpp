// The folder of vCard files: real files in temporary folders, the cards
// exporters write, and the files the program leaves behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
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
using ::testing::HasSubstr;
using testing::ReadFile;
using ::testing::ThrowsMessage;

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
  // Sets each property and saves the card.
  static void Save(ContactItem& item, const std::vector<std::pair<P, std::string>>& values) {
    for (const auto& [p, value] : values) {
      item.Set(p, value);
    }
    item.Save();
  }
  void Age(const std::string& name) {
    fs::last_write_time(In(name), fs::file_time_type::clock::now() - std::chrono::hours(2));
  }

  testing::TempDir dir_;
  std::string folder_ = dir_ / "Contacts";
  VCardContactStore store_;
};

TEST_F(VCardFolderTest, ReadsEveryPropertyOfCardsAsExportersWriteThem) {
  const std::map<std::string, std::string> cards = {
      // clang-format off
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
// line stays as it was.
TEST_F(VCardFolderTest, RewritingOnePropertyChangesOneLine) {
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
    Save(*Open()->Item(1), {{c.property, c.value}});
    const auto at = c.oldLine ? std::find(expected.begin(), expected.end(), c.oldLine)
                              : expected.insert(expected.end(), c.newLine);
    ASSERT_NE(at, expected.end()) << c.oldLine;
    *at = c.newLine;
    EXPECT_EQ(Lines(ReadFile(In("card.vcf"))), expected);
    EXPECT_EQ(VCardContactStore().OpenFolder(folder_)->Item(1)->Get(c.property), c.value);
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
  Save(*folder->Find("[FullName]='linked'"), {{P::User3, "5"}});
  EXPECT_TRUE(fs::is_symlink(In("linked.vcf")));
  EXPECT_THAT(ReadFile(In("sub/linked.card")), HasSubstr("X-TWINBOOK-USER3:5\r\n"));
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
      {[](auto& p) { fs::create_symlink("gone.card", p); },
       "is a link to gone.card, which cannot be followed"},
  };
  Put("a-good-one.vcf", Card("Good"));
  for (const auto& [make, says] : cases) {
    make(In("bad.vcf"));
    EXPECT_THAT([&] { Open(); }, ThrowsMessage<ContactsError>(
                                     HasSubstr("Contact card " + In("bad.vcf") + " " + says)));
    fs::remove(In("bad.vcf"));
  }
  // Cards are read side by side; still the first one in listing order is named.
  for (int i = 10; i < 50; ++i) {
    Put("card-" + std::to_string(i) + ".vcf", Card("Good"));
  }
  Put("card-25.vcf", "Remember the milk\r\n"), Put("card-45.vcf", "Remember the eggs\r\n");
  EXPECT_THAT([&] { Open(); }, ThrowsMessage<ContactsError>(HasSubstr(In("card-25.vcf"))));
  for (const auto& [path, says] : {std::pair{dir_ / "Missing/Deeper", " does not exist"},
                                   {In("a-good-one.vcf"), " is not a folder"}}) {
    EXPECT_THAT([&] { store_.OpenFolder(path); },
                ThrowsMessage<ContactsError>(HasSubstr("Contacts folder " + path + says)));
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
  Save(*created, {{P::FullName, "New"}});
  const std::string name = FileOf(*created);
  EXPECT_THAT(ReadFile(In(name)), HasSubstr("\r\nUID:" + name.substr(0, name.size() - 4) + "\r\n"));
  Save(*folder->Find("[FullName]='Mine'"), {{P::NickName, "Me"}});
  EXPECT_EQ(Entries(folder_).size(), 2u);
  EXPECT_THAT(ReadFile(In("my card.vcf")), HasSubstr("NICKNAME:Me\r\n"));
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
  Save(*folder->Item(1), {{P::User2, "YES"}});
  struct stat after {};
  ::stat(In("ann.vcf").c_str(), &after);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(fs::status(In("ann.vcf")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  auto more = folder->CreateItem();
  Save(*more, {{P::FullName, "C"}});
  more->Delete();
  Strings expected = kept;
  expected.insert(expected.begin(), ".deleted");
  expected.push_back("ann.vcf");
  EXPECT_EQ(Entries(folder_), expected);
}

// A save that keeps the old file leaves it, as it was, under the name asked
// for: the very file (no copy) on the card's own file system, a copy with its
// permissions on another one (/dev/shm, where it is another file system).
// A save that writes nothing keeps nothing; a later one keeps the first.
TEST_F(VCardFolderTest, SaveKeepingOldKeepsTheReplacedFileAsItWas) {
  struct stat card {};
  Put("ann.vcf", Card("Ann"));
  fs::permissions(In("ann.vcf"), fs::perms::owner_read | fs::perms::owner_write);
  ::stat(In("ann.vcf").c_str(), &card);
  std::vector<std::pair<std::string, bool>> cases = {{dir_ / "kept-here.vcf", true}};
  struct stat shm {};
  if (::stat("/dev/shm", &shm) == 0 && shm.st_dev != card.st_dev && ::access("/dev/shm", W_OK) == 0)
    cases.push_back({"/dev/shm/twinbook-kept-" + std::to_string(::getpid()) + ".vcf", false});
  for (const auto& [keepAs, sameFile] : cases) {
    SCOPED_TRACE(keepAs);
    const std::string before = ReadFile(In("ann.vcf"));
    ::stat(In("ann.vcf").c_str(), &card);
    auto item = Open()->Item(1);
    EXPECT_FALSE(item->SaveKeepingOld(keepAs));
    EXPECT_FALSE(fs::exists(keepAs));
    item->Set(P::NickName, item->Get(P::NickName) + "A");
    EXPECT_TRUE(item->SaveKeepingOld(keepAs));
    struct stat kept {};
    ASSERT_EQ(::stat(keepAs.c_str(), &kept), 0);
    EXPECT_EQ(kept.st_ino == card.st_ino, sameFile);
    EXPECT_EQ(kept.st_mode, card.st_mode);
    EXPECT_EQ(ReadFile(keepAs), before);
    EXPECT_NE(ReadFile(In("ann.vcf")), before);
    item->Set(P::NickName, item->Get(P::NickName) + "A");
    EXPECT_TRUE(item->SaveKeepingOld(keepAs));
    EXPECT_EQ(ReadFile(keepAs), before);
    fs::remove(keepAs);
  }
}

// Find against a plain scan, through the folder's index over a fixed random
// walk of changes (some left unsaved, which Find must not see yet), then from
// storage. Each filter, with # for a User3 value, and what it says in plain code.
TEST_F(VCardFolderTest, FindGivesTheFirstListedMatchAfterEveryChange) {
  using Says = std::function<bool(const std::string& id, ContactItem& c)>;
  const std::pair<std::string, Says> filters[] = {
      // clang-format off
      {"[User3] ='#' and ([User2] = 'Y' or [User2]='YES')", [](auto& id, auto& c) { return c.Get(P::User3) == id && c.Get(P::User2) != "No"; }},
      {"[User3]='#' or [FullName]='élise über'", [](auto& id, auto& c) { return c.Get(P::User3) == id || c.Get(P::FullName) == "Élise Über"; }},
      {"[User3]='#' and [nickname]='PADDY'", [](auto& id, auto& c) { return c.Get(P::User3) == id && c.Get(P::NickName) == "Paddy"; }},
      {"[User3]='#' or [User2]='no'", [](auto& id, auto& c) { return c.Get(P::User3) == id || c.Get(P::User2) == "No"; }},
  };                                           // clang-format on
  const auto filter = [&](int kind, int id) {  // id 20: the empty value
    std::string text = filters[kind].first;
    return text.replace(text.find('#'), 1, id < 20 ? std::to_string(id) : "");
  };
  const auto found = [](ContactsFolder& f, const std::string& text) {
    auto item = f.Find(text);
    return item ? FileOf(*item) : "(none)";
  };
  auto folder = Open();
  unsigned seed = 7;
  auto next = [&seed](unsigned range) {
    return static_cast<int>(((seed = seed * 1103515245 + 12345) >> 16) % range);
  };
  for (int step = 0; step < 300; ++step) {
    const int count = folder->Count(), change = next(10);
    auto item = change < 4 || count == 0 ? folder->CreateItem() : folder->Item(1 + next(count));
    const char* names[] = {"Ann Lee", "Élise Über", "Pat O'Brien", "Cy"};
    item->Set(P::FullName, names[next(4)]);
    item->Set(P::NickName, next(2) ? "Paddy" : "");
    item->Set(P::User3, next(10) ? std::to_string(next(20)) : "");
    item->Set(P::User2, std::vector{"Y", "yes", "No"}[next(3)]);
    if (change == 9 && count > 0) {
      item->Delete();
    } else if (change != 8 || count == 0) {
      item->Save();
    }
    const int kind = next(4), id = next(21);
    std::string scanned = "(none)";
    for (int i = folder->Count(); i >= 1; --i) {
      const std::string value = id < 20 ? std::to_string(id) : "";
      scanned = filters[kind].second(value, *folder->Item(i)) ? FileOf(*folder->Item(i)) : scanned;
    }
    EXPECT_EQ(found(*folder, filter(kind, id)), scanned) << step << ": " << filter(kind, id);
  }
  const auto stored = VCardContactStore().OpenFolder(folder_);
  for (int id = 0; id <= 20; ++id) {
    for (int kind = 0; kind < 4; ++kind) {
      EXPECT_EQ(found(*stored, filter(kind, id)), found(*folder, filter(kind, id)));
    }
  }
  EXPECT_THROW(stored->Find("[User3] = 'O'Brien'"), ContactsError);
}

// Two handles of one card, each saving a change of its own: neither undoes the other.
TEST_F(VCardFolderTest, TwoHandlesOfOneCardKeepEachOthersChanges) {
  Put("ann.vcf", Card("Ann"));
  auto folder = Open();
  auto first = folder->Item(1), second = folder->Item(1);
  Save(*first, {{P::User3, "7"}});
  Save(*second, {{P::NickName, "Annie"}});
  auto read = VCardContactStore().OpenFolder(folder_)->Item(1);
  EXPECT_EQ(read->Get(P::User3) + "|" + read->Get(P::NickName), "7|Annie");
}

TEST_F(VCardFolderTest, ACardChangedOrRemovedElsewhereIsNotOverwrittenAndDeletedCardsAreKept) {
  Put("ann.vcf", Card("Ann"));
  auto changed = Open()->Item(1);
  auto removed = Open()->Item(1);
  Put("ann.vcf", Card("Ann Changed Elsewhere"));
  changed->Set(P::User2, "No");
  EXPECT_THAT([&] { changed->Save(); },
              ThrowsMessage<ContactsError>(
                  HasSubstr(In("ann.vcf") + " was changed or removed by another program")));
  EXPECT_EQ(ReadFile(In("ann.vcf")), Card("Ann Changed Elsewhere"));
  fs::remove(In("ann.vcf"));
  removed->Set(P::User2, "YES");
  EXPECT_THROW(removed->Save(), ContactsError);
  EXPECT_FALSE(fs::exists(In("ann.vcf")));
  for (const char* name : {"First", "Second"}) {
    Put("x.vcf", Card(name));
    auto item = Open()->Item(1);
    item->Delete();
    EXPECT_THROW(name[0] == 'F' ? item->Delete() : item->Save(), ContactsError);  // deleted
  }
  EXPECT_EQ(Open()->Count(), 0);
  EXPECT_THROW(Open()->Item(1), std::out_of_range);
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
  Save(*folder->Item(3), {{P::User3, "9"}});
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

// Cards the store changes or makes are dated by its clock, in UTC whatever the
// local time zone; a card saved unchanged is not written at all. This one was
// dated by another program, with a parameter its new REV cannot keep.
TEST_F(VCardFolderTest, ChangedAndNewCardsAreDatedByTheClock) {
  const std::string card =
      "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ann\r\nFN:Ann Doe\r\nN:Doe;Ann;;;\r\n"
      "REV;VALUE=date:2020-01-02\r\nTEL;TYPE=CELL:5550101\r\nEND:VCARD\r\n";
  ::setenv("TZ", "EST5EDT", 1);
  ::tzset();
  Put("ann.vcf", card);
  using namespace std::chrono;
  const auto when = sys_days{December / 7 / 2026} + hours(16) + minutes(12) + seconds(54);
  VCardContactStore store(nanoseconds(0), [&] { return when; });
  auto save = [&](const char* number) {
    Save(*store.OpenFolder(folder_)->Item(1), {{P::MobileTelephoneNumber, number}});
    return ReadFile(In("ann.vcf"));
  };
  EXPECT_EQ(save("5550101"), card);
  std::string expected = card;
  expected.replace(expected.find("REV;VALUE=date:2020-01-02"), 25, "REV:20261207T161254Z");
  expected.replace(expected.find("TEL;TYPE=CELL:5550101"), 21,
                   "TEL;TYPE=CELL;X-TWINBOOK-PROPERTY=MobileTelephoneNumber:5550102");
  EXPECT_EQ(save("5550102"), expected);
  auto made = store.OpenFolder(folder_)->CreateItem();
  Save(*made, {{P::FullName, "Bo Lee"}});
  EXPECT_THAT(ReadFile(made->Describe()), HasSubstr("\r\nREV:20261207T161254Z\r\n"));
}

}  // namespace
}  // namespace twinbook
