#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "stores/outlook_import.h"

namespace twinbook {
namespace {

// A contact item held in a map: enough to test the field mapping.
class MapItem : public ContactItem {
 public:
  std::string TypeName() const override { return "ContactItem"; }
  std::string Get(ContactProperty p) const override {
    auto it = values.find(p);
    return it == values.end() ? "" : it->second;
  }
  void Set(ContactProperty p, const std::string& v) override { values[p] = v; }
  void Save() override {}
  void Delete() override {}
  std::string Describe() const override { return "test item"; }
  std::map<ContactProperty, std::string> values;
};

TEST(ImportOutlookDataTest, MapsEveryField) {
  MapItem item;
  item.Set(ContactProperty::User3, "12");
  item.Set(ContactProperty::FileAs, "Doe, Ann");
  item.Set(ContactProperty::FullName, "Ann Doe");
  item.Set(ContactProperty::NickName, "Annie");
  item.Set(ContactProperty::Business2TelephoneNumber, "555-0100");
  item.Set(ContactProperty::User1, "123*45*678");
  item.Set(ContactProperty::HomeTelephoneNumber, "+1 (555) 010-0200");
  item.Set(ContactProperty::BusinessTelephoneNumber, "555 0300 x12");
  item.Set(ContactProperty::MobileTelephoneNumber, "5550400");
  item.Set(ContactProperty::BusinessFaxNumber, "555.0500");
  item.Set(ContactProperty::PagerNumber, "5550600");
  item.Set(ContactProperty::OtherTelephoneNumber, "(555)0700");
  item.Set(ContactProperty::Email1Address, "Ann.Doe@Example.COM");
  item.Set(ContactProperty::User4, "W2:5,DC:3");

  SyncSet set;
  set.Append();
  SyncObject& r = ImportOutlookData(set, item, "File As");
  EXPECT_EQ(&r, &set.Item(2));
  EXPECT_EQ(r.ContactID, "12");
  EXPECT_EQ(r.ContactName, "Doe, Ann");
  EXPECT_EQ(r.Work2Number, "5550100");
  EXPECT_EQ(r.DCNumber, "123*45*678");
  EXPECT_EQ(r.HomeNumber, "15550100200");
  EXPECT_EQ(r.Work1Number, "555030012");
  EXPECT_EQ(r.MobileNumber, "5550400");
  EXPECT_EQ(r.FaxNumber, "5550500");
  EXPECT_EQ(r.PagerNumber, "5550600");
  EXPECT_EQ(r.OtherNumber, "5550700");
  EXPECT_EQ(r.EmailAddress, "ann.doe@example.com");
  EXPECT_EQ(r.Work2Speed, "5");
  EXPECT_EQ(r.DCSpeed, "3");
  for (auto speed : {&SyncObject::HomeSpeed, &SyncObject::Work1Speed, &SyncObject::MobileSpeed,
                     &SyncObject::FaxSpeed, &SyncObject::PagerSpeed, &SyncObject::OtherSpeed,
                     &SyncObject::EmailSpeed}) {
    EXPECT_EQ(r.*speed, "");
  }
  EXPECT_EQ(r.Flag, "");

  EXPECT_EQ(ImportOutlookData(set, item, "Full Name").ContactName, "Ann Doe");
  EXPECT_EQ(ImportOutlookData(set, item, "Nickname").ContactName, "Annie");
  EXPECT_EQ(ImportOutlookData(set, item, "Company").ContactName, "");
  EXPECT_EQ(ImportOutlookData(set, item, "file as").ContactName, "");
}

TEST(ImportOutlookDataTest, EmailRule) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"Ann@Example.com", "", "ann@example.com"},
      {"/o=ORG/ou=Site/cn=Recipients/cn=ann", "Ann Doe (Ann@Example.com)", "ann@example.com"},
      {"/o=ORG/cn=ann", "Ann Doe", "ann doe"},
      {"/o=ORG/cn=ann", "Ann Doe (ann@example.com", "ann@example.com"},
      {"/o=ORG/cn=ann", "Ann (Doe) (x)", "doe"},
      {"/o=ORG/cn=ann", "Ann ) Doe (ann@x.org)", "ann@x.org"},
      // An ordinary address with "=" or "/" and no display name stays.
      {"a=b/c@example.com", "", "a=b/c@example.com"},
      {"", "", ""},
  };
  for (const auto& [address, display, expected] : cases) {
    MapItem item;
    item.Set(ContactProperty::Email1Address, address);
    item.Set(ContactProperty::Email1DisplayName, display);
    SyncSet set;
    EXPECT_EQ(ImportOutlookData(set, item, "File As").EmailAddress, expected)
        << address << " / " << display;
  }
}

TEST(IsIncludedTest, OnlyYAndYesInAnyCase) {
  for (const char* yes : {"Y", "y", "YES", "yes", "Yes", "yEs"}) {
    EXPECT_TRUE(IsIncluded(yes)) << yes;
  }
  for (const char* no : {"", " Y", "YES ", "1", "No", "YE", "true", "Y\n"}) {
    EXPECT_FALSE(IsIncluded(no)) << no;
  }
}

TEST(DigitsOnlyTest, KeepsDigitsInOrder) {
  EXPECT_EQ(DigitsOnly("+1 (555) 123-4567"), "15551234567");
  EXPECT_EQ(DigitsOnly("555 1234 x56"), "555123456");
  EXPECT_EQ(DigitsOnly("\xd9\xa3 no digits"), "");
}

}  // namespace
}  // namespace twinbook
