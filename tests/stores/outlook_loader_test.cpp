#include <gtest/gtest.h>

#include "stores/loader_helpers.h"
#include "stores/outlook_import.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using testing::CardSpec;
using testing::Record;
using testing::Records;
using testing::StoreFiles;

using P = ContactProperty;

// A vCard 3.0 file with the given lines between the head and the end, as
// another client could have written it.
std::string CardText(const std::string& uid, const std::string& fileAs,
                     const std::vector<std::string>& lines) {
  std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + fileAs +
                     "\r\nN:" + fileAs + ";;;;\r\n";
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text + "END:VCARD\r\n";
}

class OutlookLoaderTest : public ::testing::Test {
 protected:
  std::vector<SyncObject> Load() {
    LoadOutlookContacts(files.context);
    return Records(files.state.OutlookSet);
  }

  // An included card with a file name (and UID) from its name.
  void AddIncluded(const std::string& uid, std::map<ContactProperty, std::string> properties) {
    properties[P::User2] = "YES";
    files.AddCard(CardSpec{uid, std::move(properties)});
  }

  StoreFiles files;
};

TEST_F(OutlookLoaderTest, EveryPropertyMapsIntoItsField) {
  AddIncluded("ann", {{P::User3, "12"},
                      {P::FileAs, "Doe, Ann"},
                      {P::Business2TelephoneNumber, "+1 (312) 555-0142"},
                      {P::User1, "123*45*678"},
                      {P::HomeTelephoneNumber, "555-1234 x12"},
                      {P::BusinessTelephoneNumber, "312.555.0300"},
                      {P::MobileTelephoneNumber, "(312) 555 0400"},
                      {P::BusinessFaxNumber, "312-555-0500"},
                      {P::PagerNumber, "3125550600"},
                      {P::OtherTelephoneNumber, "tel. 312 555 0700"},
                      {P::Email1Address, "Ann.Doe@Example.COM"},
                      {P::User4, "W2:5,DC:3,H:1,W1:2,M:4,F:6,P:7,O:8,E:9"}});
  files.state.settings.NameField = "File As";
  std::vector<SyncObject> records = Load();
  ASSERT_EQ(records.size(), 1u);
  const SyncObject& r = records[0];
  EXPECT_EQ(r.ContactID, "12");
  EXPECT_EQ(r.ContactName, "Doe, Ann");
  EXPECT_EQ(r.DCNumber, "123*45*678");   // separators kept
  EXPECT_EQ(r.HomeNumber, "555123412");  // the extension's digits stay
  EXPECT_EQ(r.MobileNumber, "3125550400");
  EXPECT_EQ(r.FaxNumber, "3125550500");
  EXPECT_EQ(r.PagerNumber, "3125550600");
  EXPECT_EQ(r.OtherNumber, "3125550700");
  EXPECT_EQ(r.EmailAddress, "ann.doe@example.com");
  // Work lines without the program's mark: the first is the business
  // number, the second the second business number.
  EXPECT_EQ(r.Work1Number, "3125550300");
  EXPECT_EQ(r.Work2Number, "13125550142");
  EXPECT_EQ(r.Work2Speed + r.DCSpeed + r.HomeSpeed + r.Work1Speed + r.MobileSpeed + r.FaxSpeed +
                r.PagerSpeed + r.OtherSpeed + r.EmailSpeed,
            "531246789");
  EXPECT_EQ(r.Flag, "");
}

// Cards saved through the store carry the property of each phone line, so
// a lone second work number stays the second work number, and the display
// name of the address.
TEST_F(OutlookLoaderTest, CardsSavedByTheStoreLoadEveryNumberAsSaved) {
  {
    std::unique_ptr<ContactsFolder> folder = files.contacts.OpenFolder(files.contactsPath);
    std::unique_ptr<ContactItem> item = folder->CreateItem();
    item->Set(P::FileAs, "Lone, Second");
    item->Set(P::User2, "y");
    item->Set(P::Business2TelephoneNumber, "+1 (312) 555-0142");
    item->Set(P::BusinessFaxNumber, "312 555 0500");
    item->Set(P::User4, "W2:5");
    item->Set(P::Email1Address, "/o=Corp/ou=Site/cn=Recipients/cn=LSecond");
    item->Set(P::Email1DisplayName, "Second, Lone (L.Second@Example.com)");
    item->Save();
  }
  EXPECT_EQ(Load(),
            std::vector<SyncObject>{Record("", "Lone, Second",
                                           {{&SyncObject::Work2Number, "13125550142"},
                                            {&SyncObject::FaxNumber, "3125550500"},
                                            {&SyncObject::EmailAddress, "l.second@example.com"},
                                            {&SyncObject::Work2Speed, "5"}})});
}

TEST_F(OutlookLoaderTest, TheNameComesFromTheChosenNameProperty) {
  AddIncluded("ann", {{P::FileAs, "Doe, Ann"}, {P::FullName, "Ann Doe"}, {P::NickName, "Annie"}});
  const std::pair<const char*, const char*> cases[] = {
      {"File As", "Doe, Ann"},
      {"Full Name", "Ann Doe"},
      {"Nickname", "Annie"},
      {"Company", ""},
      {"", ""},
      {"file as", ""},
      {"NickName", ""},
  };
  for (const auto& [nameField, name] : cases) {
    files.state.settings.NameField = nameField;
    ClearSet(files.state.OutlookSet);
    std::vector<SyncObject> records = Load();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].ContactName, name) << nameField;
  }
}

// The e-mail rule, read from card files as another client leaves them, with
// the display name in the program's own parameter of the address.
TEST_F(OutlookLoaderTest, DirectoryStyleAddressesGiveWayToTheDisplayName) {
  struct Case {
    const char* emailLine;
    const char* expected;
  };
  const Case cases[] = {
      {"EMAIL;TYPE=INTERNET:Ann.Lee@Example.COM", "ann.lee@example.com"},
      {"EMAIL;TYPE=INTERNET;X-TWINBOOK-DISPLAY-NAME=\"Ann Lee (Ann.Lee@Example.COM)\":"
       "/o=Corp/ou=Sales/cn=Recipients/cn=ALee",
       "ann.lee@example.com"},
      {"EMAIL;TYPE=INTERNET;X-TWINBOOK-DISPLAY-NAME=\"Ann Lee\":/o=Corp/cn=ALee", "ann lee"},
      // No ")" after the "(": the rest of the display name.
      {"EMAIL;TYPE=INTERNET;X-TWINBOOK-DISPLAY-NAME=\"Ann Lee (Ann@Example.com\":/o=Corp/cn=ALee",
       "ann@example.com"},
      {"EMAIL;TYPE=INTERNET;X-TWINBOOK-DISPLAY-NAME=\"Ann (Work) (ann@example.com)\":cn=ALee",
       "work"},
      // Only a ")" after the "(" closes it.
      {"EMAIL;TYPE=INTERNET;X-TWINBOOK-DISPLAY-NAME=\"Ann ) Lee (ann@x.org)\":cn=ALee",
       "ann@x.org"},
      // No display name: the address is all there is.
      {"EMAIL;TYPE=INTERNET:/O=Corp/CN=ALee", "/o=corp/cn=alee"},
      // An Internet address keeps itself whatever its display name says.
      {"EMAIL;TYPE=INTERNET;X-TWINBOOK-DISPLAY-NAME=\"Ann (other@example.com)\":ann@example.com",
       "ann@example.com"},
      {"X-NOTE:no address", ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    files.WriteCardFile("card" + std::to_string(n) + ".vcf",
                        CardText("card" + std::to_string(n), "Card " + std::to_string(n),
                                 {c.emailLine, "X-TWINBOOK-USER2:Yes"}));
    ++n;
  }
  std::vector<SyncObject> records = Load();
  ASSERT_EQ(records.size(), std::size(cases));
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].EmailAddress, cases[i].expected) << cases[i].emailLine;
  }
}

// Only "Y" and "YES" in any letter case take part; every other card is
// rewritten as not taking part, but only when RewriteExcludedContacts runs.
// An excluded card's ID is never checked: "01" and the like stop no run.
TEST_F(OutlookLoaderTest, OnlyYOrYesTakePartAndTheOthersAreRewrittenLater) {
  const std::pair<const char*, bool> cases[] = {
      {"YES", true}, {"yes", true}, {"Yes", true},   {"y", true},     {"Y", true},
      {"yEs", true}, {" Y", false}, {"YES ", false}, {"1", false},    {"", false},
      {"No", false}, {"N", false},  {"YE", false},   {"YESS", false}, {"true", false},
  };
  std::vector<std::string> included;
  int n = 0;
  for (const auto& [user2, in] : cases) {
    // Two digits, so that the folder lists the cards in case order.
    const std::string uid = (n < 10 ? "card0" : "card") + std::to_string(n);
    const std::string name = "Card " + std::to_string(n);
    files.WriteCardFile(uid + ".vcf", CardText(uid, name,
                                               {"TEL;TYPE=CELL:5550" + std::to_string(100 + n),
                                                "X-TWINBOOK-USER2:" + std::string(user2),
                                                "X-TWINBOOK-USER3:" + std::string(in ? "" : "0") +
                                                    std::to_string(n + 1),
                                                "X-TWINBOOK-USER4:M:" + std::to_string(n)}));
    if (in) {
      included.push_back(name);
    }
    ++n;
  }
  files.state.settings.NameField = "Full Name";
  auto before = files.Snapshot();
  std::vector<std::string> loaded;
  for (const SyncObject& record : Load()) {
    loaded.push_back(record.ContactName);
  }
  EXPECT_EQ(loaded, included);
  EXPECT_EQ(files.Snapshot(), before) << "loading alone writes nothing";

  RewriteExcludedContacts(files.context);
  std::vector<testing::CardView> cards = files.Cards();
  ASSERT_EQ(cards.size(), std::size(cases));
  for (size_t i = 0; i < cards.size(); ++i) {
    const auto& [user2, in] = cases[i];
    SCOPED_TRACE("User2 '" + std::string(user2) + "'");
    EXPECT_EQ(cards[i]["FullName"], "Card " + std::to_string(i));
    EXPECT_EQ(cards[i]["MobileTelephoneNumber"], "5550" + std::to_string(100 + i));
    if (in) {
      EXPECT_EQ(cards[i]["User2"], user2);
      EXPECT_EQ(cards[i]["User3"], std::to_string(i + 1));
      EXPECT_EQ(cards[i]["User4"], "M:" + std::to_string(i));
    } else {
      EXPECT_EQ(cards[i]["User2"], "No");
      EXPECT_EQ(cards[i]["User3"], "");
      EXPECT_EQ(cards[i]["User4"], "");
    }
  }
}

TEST_F(OutlookLoaderTest, DistributionListsTakeNoPartAndAreLeftAlone) {
  files.WriteCardFile("group.vcf",
                      "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:group\r\nKIND:group\r\nFN:Club\r\n"
                      "MEMBER:urn:uuid:ann\r\nX-TWINBOOK-USER2:YES\r\nX-TWINBOOK-USER3:5\r\n"
                      "END:VCARD\r\n");
  files.WriteCardFile("list.vcf",
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:list\r\nFN:List\r\nN:;;;;\r\n"
                      "X-ADDRESSBOOKSERVER-KIND:group\r\nX-TWINBOOK-USER2:maybe\r\n"
                      "X-TWINBOOK-USER3:6\r\nEND:VCARD\r\n");
  AddIncluded("ann", {{P::FileAs, "Ann"}});
  auto before = files.Snapshot();
  EXPECT_EQ(Load(), std::vector<SyncObject>{Record("", "Ann")});
  RewriteExcludedContacts(files.context);
  EXPECT_EQ(files.Snapshot(), before);
}

}  // namespace
}  // namespace twinbook
