// The contract of ContactsFolder, run against every implementation: the
// folder of vCard files and the in-memory folder the engine tests use.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/contacts_folder.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/memory_contacts.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::MemoryContact;
using testing::MemoryContactStore;
using testing::TempDir;
using testing::WriteFile;
using Properties = std::map<ContactProperty, std::string>;

class VCardFolderEnvironment {
 public:
  VCardFolderEnvironment() { std::filesystem::create_directory(path_); }

  std::unique_ptr<ContactsFolder> Open() { return store_.OpenFolder(path_); }
  // Reads the folder back through a store that has kept nothing.
  std::unique_ptr<ContactsFolder> Reopen() {
    VCardContactStore fresh;
    return fresh.OpenFolder(path_);
  }
  void AddDistributionList(const std::string& name) {
    WriteFile(path_ + "/list-" + std::to_string(++lists_) + ".vcf",
              "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:" + name + "\r\nEND:VCARD\r\n");
  }

 private:
  TempDir dir_;
  std::string path_ = dir_ / "Contacts";
  VCardContactStore store_;
  int lists_ = 0;
};

class MemoryFolderEnvironment {
 public:
  MemoryFolderEnvironment() { store_.Folder("/contacts"); }

  std::unique_ptr<ContactsFolder> Open() { return store_.OpenFolder("/contacts"); }
  std::unique_ptr<ContactsFolder> Reopen() { return store_.OpenFolder("/contacts"); }
  void AddDistributionList(const std::string& name) {
    store_.Folder("/contacts")
        .Add(MemoryContact{"DistListItem", {{ContactProperty::FullName, name}}});
  }

 private:
  MemoryContactStore store_;
};

template <typename Environment>
class ContactsFolderContract : public ::testing::Test {
 protected:
  std::unique_ptr<ContactItem> Create(ContactsFolder& folder, const Properties& properties) {
    std::unique_ptr<ContactItem> item = folder.CreateItem();
    for (const auto& [property, value] : properties) {
      item->Set(property, value);
    }
    item->Save();
    return item;
  }

  // FullName of every item, in listing order.
  std::vector<std::string> Names(ContactsFolder& folder) {
    std::vector<std::string> names;
    for (int i = 1; i <= folder.Count(); ++i) {
      names.push_back(folder.Item(i)->Get(ContactProperty::FullName));
    }
    return names;
  }

  std::string FoundName(ContactsFolder& folder, const std::string& filter) {
    std::unique_ptr<ContactItem> found = folder.Find(filter);
    return found ? found->Get(ContactProperty::FullName) : "(none)";
  }

  Environment env;
};

using Implementations = ::testing::Types<VCardFolderEnvironment, MemoryFolderEnvironment>;
class ImplementationNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, VCardFolderEnvironment> ? "VCardFolder" : "MemoryFolder";
  }
};
TYPED_TEST_SUITE(ContactsFolderContract, Implementations, ImplementationNames);

// Every property with a value that tests escaping somewhere: quotes,
// commas, semicolons, backslashes, line ends, colons, non-ASCII letters.
const Properties& EveryProperty() {
  static const Properties properties = {
      {ContactProperty::FullName, "Pat O'Brien"},
      {ContactProperty::FirstName, "Zoë; Pat"},
      {ContactProperty::LastName, "O'Brien, Jr."},
      {ContactProperty::NickName, "Paddy\nthe \"Boss\""},
      {ContactProperty::FileAs, "O'Brien, Pat"},
      {ContactProperty::Email1Address, "pat@example.com"},
      {ContactProperty::Email1AddressType, "SMTP"},
      {ContactProperty::Email1DisplayName, "Pat \"P\" O'Brien, (pat@example.com)"},
      {ContactProperty::BusinessTelephoneNumber, "(555) 123-4567"},
      {ContactProperty::Business2TelephoneNumber, "555-0002"},
      {ContactProperty::BusinessFaxNumber, "555-0003"},
      {ContactProperty::HomeTelephoneNumber, "555;0004"},
      {ContactProperty::MobileTelephoneNumber, "+1 555 0005"},
      {ContactProperty::PagerNumber, "555\\0006"},
      {ContactProperty::OtherTelephoneNumber, "555,0007 x12"},
      {ContactProperty::User1, "123*45*678"},
      {ContactProperty::User2, "YES"},
      {ContactProperty::User3, "42"},
      {ContactProperty::User4, "W2:5,DC:3,H:7"},
  };
  return properties;
}

TYPED_TEST(ContactsFolderContract, AnEmptyFolderHasNoItemsAndAnUnsavedNewItemIsNotInIt) {
  auto folder = this->env.Open();
  EXPECT_EQ(folder->Count(), 0);
  EXPECT_EQ(folder->Find("[User3]='1'"), nullptr);
  auto item = folder->CreateItem();
  item->Set(ContactProperty::FullName, "Ann");
  EXPECT_EQ(item->TypeName(), kContactItemType);
  EXPECT_EQ(folder->Count(), 0);
  EXPECT_EQ(this->env.Reopen()->Count(), 0);
  EXPECT_THROW(folder->Item(1), std::out_of_range);
  item->Save();
  EXPECT_EQ(folder->Count(), 1);
  EXPECT_EQ(this->env.Reopen()->Count(), 1);
  EXPECT_NO_THROW(folder->Item(1));
  for (int outside : {0, 2, -1}) {
    EXPECT_THROW(folder->Item(outside), std::out_of_range) << outside;
  }
}

TYPED_TEST(ContactsFolderContract, EveryPropertyReadsBackAfterSaveAndEmptyValuesClearThem) {
  auto folder = this->env.Open();
  auto item = this->Create(*folder, EveryProperty());
  for (const auto& [property, value] : EveryProperty()) {
    EXPECT_EQ(item->Get(property), value) << PropertyName(property) << " of the saved handle";
  }
  auto reread = this->env.Reopen();
  ASSERT_EQ(reread->Count(), 1);
  auto stored = reread->Item(1);
  EXPECT_EQ(stored->TypeName(), kContactItemType);
  for (const auto& [property, value] : EveryProperty()) {
    EXPECT_EQ(stored->Get(property), value) << PropertyName(property);
  }
  for (const auto& [property, value] : EveryProperty()) {
    stored->Set(property, "");
  }
  stored->Save();
  auto cleared = this->env.Reopen()->Item(1);
  for (const auto& [property, value] : EveryProperty()) {
    EXPECT_EQ(cleared->Get(property), "") << PropertyName(property);
  }
}

TYPED_TEST(ContactsFolderContract, ClearingTheAddressClearsItsTypeAndDisplayName) {
  auto folder = this->env.Open();
  auto item =
      this->Create(*folder, {{ContactProperty::FullName, "Ann"},
                             {ContactProperty::Email1Address, "/o=Acme/cn=ann"},
                             {ContactProperty::Email1AddressType, "EX"},
                             {ContactProperty::Email1DisplayName, "Ann (ann@example.com)"}});
  auto stored = this->env.Reopen()->Item(1);
  EXPECT_EQ(stored->Get(ContactProperty::Email1AddressType), "EX");
  stored->Set(ContactProperty::Email1Address, "");
  stored->Save();
  auto cleared = this->env.Reopen()->Item(1);
  EXPECT_EQ(cleared->Get(ContactProperty::Email1Address), "");
  EXPECT_EQ(cleared->Get(ContactProperty::Email1AddressType), "");
  EXPECT_EQ(cleared->Get(ContactProperty::Email1DisplayName), "");
  EXPECT_EQ(cleared->Get(ContactProperty::FullName), "Ann");
}

TYPED_TEST(ContactsFolderContract, ChangesAreStoredOnlyBySaveAndSavesThroughTwoHandlesKeepBoth) {
  auto folder = this->env.Open();
  this->Create(*folder, {{ContactProperty::FullName, "Ann"}, {ContactProperty::User3, "1"}});
  auto first = folder->Item(1);
  auto second = folder->Item(1);
  first->Set(ContactProperty::User3, "9");
  EXPECT_EQ(first->Get(ContactProperty::User3), "9");
  EXPECT_EQ(folder->Find("[User3]='9'"), nullptr);
  EXPECT_EQ(folder->Item(1)->Get(ContactProperty::User3), "1");
  EXPECT_EQ(this->env.Reopen()->Item(1)->Get(ContactProperty::User3), "1");
  first->Save();
  EXPECT_NE(folder->Find("[User3]='9'"), nullptr);
  second->Set(ContactProperty::User4, "W1:2");
  second->Save();
  auto stored = this->env.Reopen()->Item(1);
  EXPECT_EQ(stored->Get(ContactProperty::User3), "9");
  EXPECT_EQ(stored->Get(ContactProperty::User4), "W1:2");
  EXPECT_EQ(second->Get(ContactProperty::User3), "9") << "a saved handle shows the stored item";
}

struct FindCase {
  const char* filter;
  const char* found;  // FullName of the item found, or "(none)"
};

TYPED_TEST(ContactsFolderContract, FindMatchesEachFilterForm) {
  auto folder = this->env.Open();
  this->Create(*folder, {{ContactProperty::FullName, "Ann Lee"},
                         {ContactProperty::FileAs, "Lee, Ann"},
                         {ContactProperty::NickName, "Annie"},
                         {ContactProperty::User2, "Y"},
                         {ContactProperty::User3, "1"}});
  this->Create(*folder, {{ContactProperty::FullName, "Pat O'Brien"},
                         {ContactProperty::FileAs, "O'Brien, Pat"},
                         {ContactProperty::NickName, "Paddy"},
                         {ContactProperty::User2, "yes"},
                         {ContactProperty::User3, "12"}});
  this->Create(*folder, {{ContactProperty::FullName, "Cy Twombly"},
                         {ContactProperty::User2, "No"},
                         {ContactProperty::User3, "13"}});
  this->Create(*folder, {{ContactProperty::FullName, "Élise Über"},
                         {ContactProperty::FileAs, "Über, Élise"},
                         {ContactProperty::User2, "YES"},
                         {ContactProperty::User3, "14"}});
  this->Create(*folder, {{ContactProperty::FullName, "Eve Noid"}, {ContactProperty::User2, "Y"}});
  const FindCase cases[] = {
      {"[User3] ='12' and ([User2] = 'Y' or [User2]='YES')", "Pat O'Brien"},
      {"[User3] ='13' and ([User2] = 'Y' or [User2]='YES')", "(none)"},
      {"[User3] ='99' and ([User2] = 'Y' or [User2]='YES')", "(none)"},
      {"[FileAs] ='O''Brien, Pat' and ([User2] = 'Y' or [User2]='YES')", "Pat O'Brien"},
      {"[FullName] ='pat o''brien' and ([User2] = 'Y' or [User2]='YES')", "Pat O'Brien"},
      {"[Nickname] ='ANNIE' and ([User2] = 'Y' or [User2]='YES')", "Ann Lee"},
      {"[FILEAS]='lee, ann'", "Ann Lee"},
      {"[fileas]='über, élise'", "Élise Über"},
      {"[User3]='99' or [NickName]='paddy'", "Pat O'Brien"},
      {"([User3]='1')", "Ann Lee"},
      {"(([User3]='14'))", "Élise Über"},
      {"[User3]='1' AND [User2]='y'", "Ann Lee"},
      {"[User3]='1'and[User2]='Y'", "Ann Lee"},
      {"[User3]='12' and [User2]='Y' or [User3]='1'", "Ann Lee"},
      {"[User3]='12' and ([User2]='Y' or [User3]='1')", "(none)"},
      {"[User3]='12' OR [User3]='99' and [User2]='Y'", "Pat O'Brien"},
      {"[User3] = '12 '", "(none)"},
      {"[User3]=' 12'", "(none)"},
      {"[User3]=''", "Eve Noid"},
      {"[User3]='13' and [User2]='no'", "Cy Twombly"},
      {"\t[User3]\n=\r'14'  ", "Élise Über"},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(this->FoundName(*folder, c.filter), c.found) << c.filter;
  }
  // And through a folder that has read everything back from storage.
  auto reread = this->env.Reopen();
  for (const FindCase& c : cases) {
    EXPECT_EQ(this->FoundName(*reread, c.filter), c.found) << c.filter << " after reopening";
  }
}

TYPED_TEST(ContactsFolderContract, FindReturnsTheFirstMatchInListingOrder) {
  auto folder = this->env.Open();
  for (int i = 0; i < 12; ++i) {
    this->Create(*folder, {{ContactProperty::FullName, "Contact " + std::to_string(i)},
                           {ContactProperty::User2, i % 3 == 0 ? "No" : "Y"},
                           {ContactProperty::User3, i % 2 == 0 ? "7" : std::to_string(i)}});
  }
  auto reread = this->env.Reopen();
  for (ContactsFolder* f : {folder.get(), reread.get()}) {
    // The first listed with User3 `id` (any when empty) and, if `taking`, User2 "Y".
    auto firstListed = [&](const std::string& id, bool taking) -> std::string {
      for (int i = 1; i <= f->Count(); ++i) {
        auto item = f->Item(i);
        if ((id.empty() || item->Get(ContactProperty::User3) == id) &&
            (!taking || item->Get(ContactProperty::User2) == "Y")) {
          return item->Get(ContactProperty::FullName);
        }
      }
      return "(none)";
    };
    EXPECT_EQ(this->FoundName(*f, "[User3]='7'"), firstListed("7", false));
    EXPECT_EQ(this->FoundName(*f, "[User3]='7' and ([User2] = 'Y' or [User2]='YES')"),
              firstListed("7", true));
    EXPECT_EQ(this->FoundName(*f, "[User2] = 'y' or [User2]='yes'"), firstListed("", true));
  }
}

// Every malformed filter is refused by ContactFilter (contact_filter_test);
// the folders pass that error on.
TYPED_TEST(ContactsFolderContract, MalformedFiltersAreErrorsNamingTheFilter) {
  auto folder = this->env.Open();
  this->Create(*folder, {{ContactProperty::FullName, "Ann"}, {ContactProperty::User3, "1"}});
  for (const char* filter : {"", "[User3] = 'O'Brien'", "[NoSuchProperty] = '1'"}) {
    try {
      folder->Find(filter);
      ADD_FAILURE() << "no error for " << filter;
    } catch (const ContactsError& error) {
      EXPECT_NE(std::string(error.what()).find(std::string("\"") + filter + "\""),
                std::string::npos)
          << error.what();
    }
  }
}

TYPED_TEST(ContactsFolderContract, FindFollowsSavesCreationsAndDeletions) {
  auto folder = this->env.Open();
  this->Create(*folder, {{ContactProperty::FullName, "Ann"}, {ContactProperty::User3, "1"}});
  EXPECT_EQ(this->FoundName(*folder, "[User3]='1'"), "Ann");
  auto ann = folder->Find("[User3]='1'");
  ann->Set(ContactProperty::User3, "2");
  ann->Save();
  EXPECT_EQ(this->FoundName(*folder, "[User3]='1'"), "(none)");
  EXPECT_EQ(this->FoundName(*folder, "[User3]='2'"), "Ann");
  this->Create(*folder, {{ContactProperty::FullName, "Bob"}, {ContactProperty::User3, "1"}});
  this->Create(*folder, {{ContactProperty::FullName, "Cy"}});
  EXPECT_EQ(this->FoundName(*folder, "[User3]='1'"), "Bob");

  ann->Delete();
  EXPECT_EQ(folder->Count(), 2);
  EXPECT_THROW(ann->Save(), ContactsError);
  EXPECT_THROW(ann->Delete(), ContactsError);
  EXPECT_EQ(this->FoundName(*folder, "[User3]='2'"), "(none)");
  EXPECT_EQ(this->FoundName(*folder, "[FullName]='ann'"), "(none)");
  std::vector<std::string> names = this->Names(*this->env.Reopen());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Bob", "Cy"}));
}

TYPED_TEST(ContactsFolderContract, DistributionListsAreListedButAreNoContactItems) {
  this->env.AddDistributionList("Book club");
  auto folder = this->env.Open();
  this->Create(*folder, {{ContactProperty::FullName, "Ann"}});
  auto reread = this->env.Reopen();
  std::map<std::string, std::string> types;
  for (int i = 1; i <= reread->Count(); ++i) {
    auto item = reread->Item(i);
    types[item->Get(ContactProperty::FullName)] = item->TypeName();
  }
  EXPECT_EQ(types, (std::map<std::string, std::string>{{"Ann", std::string(kContactItemType)},
                                                       {"Book club", "DistListItem"}}));
}

}  // namespace
}  // namespace twinbook
