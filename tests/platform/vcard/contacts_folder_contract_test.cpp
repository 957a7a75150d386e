// The contract of ContactsFolder, run against every implementation: the
// folder of vCard files and the in-memory folder the engine tests use.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/contacts_folder.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/memory_contacts.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

using P = ContactProperty;
using Properties = std::map<P, std::string>;

struct VCardFolder {
  VCardFolder() { std::filesystem::create_directory(path); }
  std::unique_ptr<ContactsFolder> Open() { return store.OpenFolder(path); }
  // Through a store that has kept nothing.
  std::unique_ptr<ContactsFolder> Reopen() { return VCardContactStore().OpenFolder(path); }
  void AddList(const std::string& name) {
    testing::WriteFile(path + "/list.vcf", "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:" +
                                               name + "\r\nEND:VCARD\r\n");
  }
  testing::TempDir dir;
  std::string path = dir / "Contacts";
  VCardContactStore store;
};

struct MemoryFolder {
  MemoryFolder() { store.Folder("/c"); }
  std::unique_ptr<ContactsFolder> Open() { return store.OpenFolder("/c"); }
  std::unique_ptr<ContactsFolder> Reopen() { return store.OpenFolder("/c"); }
  void AddList(const std::string& name) {
    store.Folder("/c").Add(testing::MemoryContact{"DistListItem", {{P::FullName, name}}});
  }
  testing::MemoryContactStore store;
};

template <typename Folder>
class ContactsFolderContract : public ::testing::Test {
 protected:
  std::unique_ptr<ContactItem> Create(ContactsFolder& folder, const Properties& properties) {
    auto item = folder.CreateItem();
    for (const auto& [property, value] : properties) {
      item->Set(property, value);
    }
    item->Save();
    return item;
  }
  static std::string Found(ContactsFolder& folder, const std::string& filter) {
    auto found = folder.Find(filter);
    return found ? found->Get(P::FullName) : "(none)";
  }
  Folder env;
};

using Implementations = ::testing::Types<VCardFolder, MemoryFolder>;
TYPED_TEST_SUITE(ContactsFolderContract, Implementations);

// Values that need escaping somewhere: quotes, commas, semicolons,
// backslashes, line ends, colons, non-ASCII letters.
const Properties kEveryProperty = {
    {P::FullName, "Pat O'Brien"},
    {P::FirstName, "Zoë; Pat"},
    {P::LastName, "O'Brien, Jr."},
    {P::NickName, "Paddy\nthe \"Boss\""},
    {P::FileAs, "O'Brien, Pat"},
    {P::Email1Address, "pat@example.com"},
    {P::Email1AddressType, "SMTP"},
    {P::Email1DisplayName, "Pat \"P\" O'Brien, (pat@example.com)"},
    {P::BusinessTelephoneNumber, "(555) 123-4567"},
    {P::Business2TelephoneNumber, "555-0002"},
    {P::BusinessFaxNumber, "555-0003"},
    {P::HomeTelephoneNumber, "555;0004"},
    {P::MobileTelephoneNumber, "+1 555 0005"},
    {P::PagerNumber, "555\\0006"},
    {P::OtherTelephoneNumber, "555,0007 x12"},
    {P::User1, "123*45*678"},
    {P::User2, "YES"},
    {P::User3, "42"},
    {P::User4, "W2:5,DC:3,H:7"},
};

TYPED_TEST(ContactsFolderContract, ItemsAreStoredBySaveAloneAndReadBackAsSaved) {
  auto folder = this->env.Open();
  auto item = folder->CreateItem();
  item->Set(P::FullName, "Ann");
  EXPECT_EQ(item->TypeName(), kContactItemType);
  EXPECT_EQ(folder->Count() + this->env.Reopen()->Count(), 0);
  EXPECT_THROW(folder->Item(1), std::out_of_range);
  item->Delete();  // never saved: just dropped
  item = this->Create(*folder, kEveryProperty);
  EXPECT_EQ(folder->Count() + this->env.Reopen()->Count(), 2);
  for (int outside : {0, 2, -1}) {
    EXPECT_THROW(folder->Item(outside), std::out_of_range) << outside;
  }
  auto reread = this->env.Reopen()->Item(1);
  for (const auto& [property, value] : kEveryProperty) {
    EXPECT_EQ(item->Get(property), value) << PropertyName(property);
    EXPECT_EQ(reread->Get(property), value) << PropertyName(property);
  }
  auto stored = folder->Item(1);
  auto second = folder->Item(1);
  for (const auto& [property, value] : kEveryProperty) {
    stored->Set(property, "");
  }
  stored->Set(P::User3, "9");
  EXPECT_EQ(this->Found(*folder, "[User3]='9'"), "(none)");
  EXPECT_EQ(this->env.Reopen()->Item(1)->Get(P::User3), "42");
  stored->Save();
  second->Set(P::User4, "W1:2");  // saves through two handles keep both
  second->Save();
  EXPECT_EQ(second->Get(P::User3), "9");
  auto cleared = this->env.Reopen()->Item(1);
  for (const auto& [property, value] : kEveryProperty) {
    EXPECT_EQ(cleared->Get(property), property == P::User3   ? "9"
                                      : property == P::User4 ? "W1:2"
                                                             : "")
        << PropertyName(property);
  }
  cleared->Set(P::Email1Address, "/o=Acme/cn=ann");
  cleared->Set(P::Email1AddressType, "EX");
  cleared->Set(P::Email1DisplayName, "Ann");
  cleared->Save();
  auto ex = this->env.Reopen()->Item(1);
  EXPECT_EQ(ex->Get(P::Email1AddressType), "EX");
  ex->Set(P::Email1Address, "");  // takes its type and display name along
  ex->Save();
  ex = this->env.Reopen()->Item(1);
  EXPECT_EQ(ex->Get(P::Email1AddressType) + ex->Get(P::Email1DisplayName), "");
}

TYPED_TEST(ContactsFolderContract, FindMatchesEachFilterFormAndMalformedFiltersAreErrors) {
  this->env.AddList("Book club");
  auto folder = this->env.Open();
  this->Create(*folder, {{P::FullName, "Ann Lee"},
                         {P::FileAs, "Lee, Ann"},
                         {P::NickName, "Annie"},
                         {P::User2, "Y"},
                         {P::User3, "1"}});
  this->Create(*folder, {{P::FullName, "Pat O'Brien"},
                         {P::FileAs, "O'Brien, Pat"},
                         {P::NickName, "Paddy"},
                         {P::User2, "yes"},
                         {P::User3, "12"}});
  this->Create(*folder, {{P::FullName, "Cy Twombly"}, {P::User2, "No"}, {P::User3, "13"}});
  this->Create(*folder, {{P::FullName, "Élise Über"},
                         {P::FileAs, "Über, Élise"},
                         {P::User2, "YES"},
                         {P::User3, "14"}});
  this->Create(*folder, {{P::FullName, "Eve Noid"}, {P::User2, "Y"}});
  const std::pair<const char*, const char*> cases[] = {
      {"[User3] ='12' and ([User2] = 'Y' or [User2]='YES')", "Pat O'Brien"},
      {"[User3] ='13' and ([User2] = 'Y' or [User2]='YES')", "(none)"},
      {"[FileAs] ='O''Brien, Pat' and ([User2] = 'Y' or [User2]='YES')", "Pat O'Brien"},
      {"[FullName] ='pat o''brien'", "Pat O'Brien"},
      {"[Nickname] ='ANNIE' and ([User2] = 'Y' or [User2]='YES')", "Ann Lee"},
      {"[fileas]='über, élise'", "Élise Über"},
      {"[User3]='99' or [NickName]='paddy'", "Pat O'Brien"},
      {"(([User3]='14'))", "Élise Über"},
      {"[User3]='1'and[User2]='y'", "Ann Lee"},
      {"[User3]='12' and [User2]='Y' or [User3]='1'", "Ann Lee"},
      {"[User3]='12' and ([User2]='Y' or [User3]='1')", "(none)"},
      {"[User3] = '12 '", "(none)"},
      {"[User3]='' and [User2]='Y'", "Eve Noid"},
      {"\t[User3]\n=\r'13' AND [User2]='no'  ", "Cy Twombly"},
  };
  auto reopened = this->env.Reopen();
  for (ContactsFolder* f : {folder.get(), reopened.get()}) {
    for (const auto& [filter, found] : cases) {
      EXPECT_EQ(this->Found(*f, filter), found) << filter;
    }
    for (const char* filter : {"", "[User3] = 'O'Brien'", "[NoSuchProperty] = '1'"}) {
      try {
        f->Find(filter);
        ADD_FAILURE() << "no error for " << filter;
      } catch (const ContactsError& error) {
        EXPECT_NE(std::string(error.what()).find(std::string("\"") + filter + "\""),
                  std::string::npos);
      }
    }
  }
  std::map<std::string, std::string> types;
  auto reread = this->env.Reopen();
  for (int i = 1; i <= reread->Count(); ++i) {
    types[reread->Item(i)->Get(P::FullName)] = reread->Item(i)->TypeName();
  }
  EXPECT_EQ(types["Book club"], "DistListItem");
  EXPECT_EQ(types["Ann Lee"], kContactItemType);
}

// Find against a plain scan of the listing, over a fixed random walk of
// creations, changes and deletions.
TYPED_TEST(ContactsFolderContract, FindGivesTheFirstListedMatchAfterEveryChange) {
  auto folder = this->env.Open();
  unsigned seed = 7;
  auto next = [&seed](unsigned range) {
    seed = seed * 1103515245 + 12345;
    return static_cast<int>((seed >> 16) % range);
  };
  for (int step = 0; step < 300; ++step) {
    const int action = next(10);
    const int count = folder->Count();
    if (action < 4 || count == 0) {
      this->Create(*folder, {{P::FullName, "N" + std::to_string(step)},
                             {P::User3, std::to_string(next(20))},
                             {P::User2, next(2) ? "Y" : "no"}});
    } else if (action < 8) {
      auto item = folder->Item(1 + next(count));
      item->Set(P::User3, std::to_string(next(20)));
      item->Save();
    } else {
      auto item = folder->Item(1 + next(count));
      item->Delete();
      EXPECT_THROW(item->Save(), ContactsError);
      EXPECT_THROW(item->Delete(), ContactsError);
    }
    const std::string id = std::to_string(next(20));
    auto reopened = step % 50 ? nullptr : this->env.Reopen();  // now and then, from storage
    ContactsFolder* f = reopened ? reopened.get() : folder.get();
    std::string scanned = "(none)";
    for (int i = f->Count(); i >= 1; --i) {
      auto item = f->Item(i);
      if (item->Get(P::User3) == id && item->Get(P::User2) == "Y") {
        scanned = item->Get(P::FullName);
      }
    }
    EXPECT_EQ(this->Found(*f, "[User3] ='" + id + "' and ([User2] = 'Y' or [User2]='YES')"),
              scanned)
        << "step " << step;
  }
}

}  // namespace
}  // namespace twinbook
