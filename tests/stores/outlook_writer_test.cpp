// The Outlook writer over a real folder of cards: records flagged by hand,
// the cards and the log read back afterwards.

#include "stores/outlook_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/faulty_platform.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using testing::CardSpec;
using testing::CardView;
using ::testing::ElementsAre;
using testing::StoreFiles;
using P = ContactProperty;

class OutlookWriterTest : public ::testing::Test {
 protected:
  SyncObject& Record(const std::string& id, const std::string& name, const std::string& flag) {
    SyncObject& record = files.state.OutlookSet.Append();
    record.ContactID = id;
    record.ContactName = name;
    record.Flag = flag;
    return record;
  }

  // The log lines the phase wrote, its heading left out.
  std::vector<std::string> Write() {
    WriteOutlookContacts(context);
    std::vector<std::string> lines = files.LogLines();
    EXPECT_EQ(lines.at(0), "Writing to Outlook Contacts.");
    return {lines.begin() + 1, lines.end()};
  }

  CardView Card(const std::string& fileAs) {
    std::optional<CardView> card = files.CardNamed(fileAs);
    EXPECT_TRUE(card.has_value()) << fileAs;
    return card.value_or(CardView{});
  }

  // Counts the card saves that change something, creations included.
  int Saves() const { return static_cast<int>(plan.writes().size()); }

  StoreFiles files;
  testing::CrashPlan plan;
  testing::FaultyContactStore counting{files.contacts, plan};
  Platform platform{files.databases, counting, files.settings, files.launcher};
  RunContext context{files.state, files.view, platform};
};

TEST_F(OutlookWriterTest, AnUpdateChangesNameNumbersAddressAndSpeedDialsInOneSave) {
  files.AddCard({"ann",
                 {{P::FileAs, "Lee, Ann"},
                  {P::FirstName, "Ann"},
                  {P::LastName, "Lee"},
                  {P::FullName, "Ann Lee"},
                  {P::User2, "YES"},
                  {P::User3, "4"},
                  {P::User4, "H:2,M:1,F:3"},
                  {P::MobileTelephoneNumber, "(555) 111-2222"},
                  {P::HomeTelephoneNumber, "555-3333"},
                  {P::BusinessFaxNumber, "5554444"}}});
  SyncObject& ann = Record("4", "Lee-Park, Ann", "W");
  ann.DCNumber = "12*34";
  ann.DCSpeed = "7";
  ann.EmailAddress = "ann@example.org";
  ann.EmailSpeed = "6";
  ann.HomeNumber = "5553334444";
  ann.HomeSpeed = "2";
  ann.MobileNumber = "5551112222";
  ann.MobileSpeed = "1";
  ann.PagerNumber = "5556667777";
  ann.PagerSpeed = "5";
  const NameValues confirmed{"Ann", "Lee-Park", "Ann Lee-Park", "Lee-Park, Ann"};
  files.view.nameScript.push_back(confirmed);

  EXPECT_THAT(
      Write(),
      ElementsAre("... The following name changes for Lee, Ann have been made:",
                  "........ First name: Ann", "........ Last name: Lee-Park",
                  "........ Full name: Ann Lee-Park", "........ File as: Lee-Park, Ann",
                  "... The direct connect number for Lee-Park, Ann has been changed from  to "
                  "12*34.",
                  "... The email address for Lee-Park, Ann has been changed from  to "
                  "ann@example.org.",
                  "... The FAX number for Lee-Park, Ann has been deleted.",
                  "... The home number for Lee-Park, Ann has been changed from 5553333 to (555) "
                  "333-4444.",
                  "... The pager number for Lee-Park, Ann has been changed from  to (555) "
                  "666-7777.",
                  "... The new speed dial values for Lee-Park, Ann have been saved."));
  ASSERT_EQ(files.view.namesAsked.size(), 1u);
  EXPECT_EQ(files.view.namesAsked[0].first, (NameValues{"Ann", "Lee", "Ann Lee", "Lee-Park, Ann"}));
  EXPECT_EQ(files.view.namesAsked[0].second, "File As");
  EXPECT_EQ(Saves(), 1);

  CardView card = Card("Lee-Park, Ann");
  EXPECT_EQ(card["FirstName"], "Ann");
  EXPECT_EQ(card["LastName"], "Lee-Park");
  EXPECT_EQ(card["FullName"], "Ann Lee-Park");
  EXPECT_EQ(card["User1"], "12*34");
  EXPECT_EQ(card["User3"], "4");
  EXPECT_EQ(card["User4"], "DC:7,H:2,M:1,P:5,E:6");
  EXPECT_EQ(card["Email1Address"], "ann@example.org");
  EXPECT_EQ(card["BusinessFaxNumber"], "");
  EXPECT_EQ(card["HomeTelephoneNumber"], "(555) 333-4444");
  EXPECT_EQ(card["MobileTelephoneNumber"], "(555) 111-2222");  // same digits: left as written
  EXPECT_EQ(card["PagerNumber"], "(555) 666-7777");
  EXPECT_EQ(files.state.NewFirstName, "Ann");
  EXPECT_EQ(files.state.NewLastName, "Lee-Park");
  EXPECT_EQ(files.state.NewFullName, "Ann Lee-Park");
  EXPECT_EQ(files.state.NewFileAs, "Lee-Park, Ann");
}

TEST_F(OutlookWriterTest, NumbersGoToTheCardsInTheChosenMask) {
  struct Case {
    std::uint8_t option;
    std::string digits, written;
  };
  const std::vector<Case> cases = {
      {1, "5551234567", "5551234567"},     {2, "15551234567", "1 (555) 123-4567"},
      {2, "155512345678", "155512345678"}, {3, "5551234", "555-1234"},
      {4, "5551234567", "555.123.4567"},
  };
  for (const Case& c : cases) {
    StoreFiles run;
    run.state.settings.MaskOption = c.option;
    run.AddCard({"kim", {{P::FileAs, "Kim"}, {P::User2, "Y"}, {P::User3, "1"}}});
    SyncObject& updated = run.state.OutlookSet.Append();
    updated.ContactID = "1";
    updated.ContactName = "Kim";
    updated.Flag = "W";
    updated.Work2Number = c.digits;
    SyncObject& created = run.state.OutlookSet.Append();
    created.ContactID = "2";
    created.ContactName = "Lou";
    created.Flag = "C";
    created.OtherNumber = c.digits;
    WriteOutlookContacts(run.context);
    EXPECT_EQ(run.CardNamed("Kim").value_or(CardView{})["Business2TelephoneNumber"], c.written)
        << int(c.option) << " " << c.digits;
    EXPECT_EQ(run.CardNamed("Lou").value_or(CardView{})["OtherTelephoneNumber"], c.written)
        << int(c.option) << " " << c.digits;
  }
}

TEST_F(OutlookWriterTest, NumbersWithTheSameDigitsAreNotRewrittenAndTheCardIsNotTouched) {
  files.AddCard({"bo",
                 {{P::FileAs, "Bo"},
                  {P::User2, "yes"},
                  {P::User3, "2"},
                  {P::User4, "F:3"},
                  {P::BusinessFaxNumber, "555.123.4567"}}});
  SyncObject& bo = Record("2", "Bo", "W");
  bo.FaxNumber = "5551234567";
  bo.FaxSpeed = "3";
  const auto before = files.Snapshot();
  EXPECT_THAT(Write(), ElementsAre());
  auto after = files.Snapshot();
  after.erase("SyncLog.txt");
  EXPECT_EQ(after, before);
}

// An address differing in letter case is rewritten, an emptied one takes
// its display name with it, and speed dials alone ("S") are rewritten.
TEST_F(OutlookWriterTest, AddressesAndSpeedDialsOfAnUpdate) {
  files.AddCard({"bo",
                 {{P::FileAs, "Bo"},
                  {P::User2, "Y"},
                  {P::User3, "2"},
                  {P::User4, "P:1,E:2"},
                  {P::PagerNumber, "5551234"},
                  {P::Email1Address, "Bo@Example.org"}}});
  files.AddCard({"cy",
                 {{P::FileAs, "Cy"},
                  {P::User2, "Y"},
                  {P::User3, "3"},
                  {P::Email1Address, "cy@example.org"},
                  {P::Email1DisplayName, "Cy at home"}}});
  files.AddCard({"di", {{P::FileAs, "Di"}, {P::User2, "Y"}, {P::User3, "4"}, {P::User4, "M:1"}}});
  SyncObject& bo = Record("2", "Bo", "W");
  bo.EmailAddress = "bo@example.org";
  bo.EmailSpeed = "2";
  Record("3", "Cy", "W");
  SyncObject& di = Record("4", "Di", "S");
  di.MobileNumber = "5551234";
  di.MobileSpeed = "8";
  // Each gives up a slot, so they are saved last to first.
  EXPECT_THAT(Write(),
              ElementsAre("... The new speed dial values for Di have been saved.",
                          "... The email address for Cy has been deleted.",
                          "... The email address for Bo has been changed from Bo@Example.org to "
                          "bo@example.org.",
                          "... The pager number for Bo has been deleted.",
                          "... The new speed dial values for Bo have been saved."));
  CardView card = Card("Bo");
  EXPECT_EQ(card["Email1Address"], "bo@example.org");
  EXPECT_EQ(card["PagerNumber"], "");
  EXPECT_EQ(card["User4"], "E:2");
  EXPECT_EQ(Card("Cy")["Email1Address"], "");
  EXPECT_EQ(Card("Cy")["Email1DisplayName"], "");
  EXPECT_EQ(Card("Di")["User4"], "M:8");
  EXPECT_EQ(Card("Di")["MobileTelephoneNumber"], "");  // "S" writes no number
}

// A contact that no longer takes part is not found; a deletion finds its
// card by ID only, and the deleted card is kept aside.
TEST_F(OutlookWriterTest, WhatIsNotFoundIsLoggedSo) {
  files.AddCard({"bo", {{P::FileAs, "Bo"}, {P::User2, "No"}, {P::User3, "2"}}});
  files.AddCard({"cy", {{P::FileAs, "Cy"}, {P::User2, "No"}}});
  files.AddCard({"di", {{P::FileAs, "Di"}, {P::User2, "Y"}, {P::User3, "4"}}});
  files.AddCard({"ee", {{P::FileAs, "Ee"}, {P::User2, "Y"}}});
  Record("2", "Bo", "W");
  Record("3", "Cy", "I");
  Record("2", "Bo", "D");
  Record("4", "Di", "D");
  Record("5", "Ee", "D");
  EXPECT_THAT(
      Write(),
      ElementsAre("... Bo was not found to be modified.", "... Cy was not found to be modified.",
                  "... Bo was not found to be deleted.", "... Di has been deleted.",
                  "... Ee was not found to be deleted."));
  std::vector<CardView> cards = files.Cards();
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_EQ(cards[2]["FileAs"], "Ee");
  EXPECT_TRUE(std::filesystem::exists(files.contactsPath + "/.deleted/di.vcf"));
}

// A quote in a name is found as itself; the name search takes only cards
// that carry no ID yet.
TEST_F(OutlookWriterTest, ANewIdGoesToTheCardOfThatNameThatHasNoIdYet) {
  files.AddCard({"a", {{P::FileAs, "O'Brien, Pat"}, {P::User2, "Y"}, {P::User3, "9"}}});
  files.AddCard({"b", {{P::FileAs, "o'brien, pat"}, {P::User2, "Y"}}});
  SyncObject& pat = Record("3", "O'Brien, Pat", "I");
  pat.MobileNumber = "5551234";
  pat.MobileSpeed = "4";
  EXPECT_THAT(Write(), ElementsAre("... O'Brien, Pat has been assigned a contact ID of 3.",
                                   "... The new speed dial values for O'Brien, Pat have been "
                                   "saved."));
  std::vector<CardView> cards = files.Cards();
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0]["User3"], "9");
  EXPECT_EQ(cards[0]["User4"], "");
  EXPECT_EQ(cards[1]["User3"], "3");
  EXPECT_EQ(cards[1]["User4"], "M:4");
  // The number itself is not written by "I".
  EXPECT_EQ(cards[1]["MobileTelephoneNumber"], "");
}

TEST_F(OutlookWriterTest, AnUnchangedNameFoundByNameGetsItsIdWithoutAPrompt) {
  files.AddCard({"b", {{P::FileAs, "Lou"}, {P::User2, "Y"}}});
  Record("6", "Lou", "W");
  EXPECT_THAT(Write(), ElementsAre());
  EXPECT_TRUE(files.view.namesAsked.empty());
  EXPECT_EQ(Card("Lou")["User3"], "6");
}

TEST_F(OutlookWriterTest, ACreatedContactHoldsEveryValueAndTheLogReadsThemBack) {
  SyncObject& dee = Record("12", "Dee Ray", "C");
  dee.DCNumber = "1*2*3";
  dee.DCSpeed = "5";
  dee.EmailAddress = "dee@example.org";
  dee.EmailSpeed = "6";
  dee.MobileNumber = "5551234567";
  dee.MobileSpeed = "7";
  dee.Work2Number = "5557654";
  dee.Work2Speed = "8";
  SyncObject& eve = Record("13", "Eve", "C");
  eve.HomeNumber = "5551234";
  eve.HomeSpeed = "1";
  files.view.nameScript.push_back(NameValues{"Dee", "Ray", "Dee Ray", "Ray, Dee"});
  EXPECT_THAT(
      Write(),
      ElementsAre(
          "... Dee Ray has been added with the following values:", "........ Contact ID: 12",
          "........ File as: Ray, Dee", "........ First name: Dee", "........ Last name: Ray",
          "........ Full name: Dee Ray", "........ Direct connect number: 1*2*3, Speed dial: 5",
          "........ Email address: dee@example.org, Speed dial:  6",
          "........ Mobile number: (555) 123-4567, Speed dial: 7",
          "........ Secondary work number: 555-7654, Speed dial: 8",
          "... Eve has been added with the following values:", "........ Contact ID: 13",
          "........ File as: Eve", "........ Home number: 555-1234, Speed dial: 1"));
  EXPECT_EQ(files.view.namesAsked.at(0).first, (NameValues{"", "", "", "Dee Ray"}));
  EXPECT_EQ(Saves(), 2);
  CardView card = Card("Ray, Dee");
  EXPECT_EQ(card["User2"], "YES");
  EXPECT_EQ(card["User3"], "12");
  EXPECT_EQ(card["User4"], "W2:8,DC:5,M:7,E:6");
  EXPECT_EQ(card["Email1AddressType"], "SMTP");
  EXPECT_EQ(card["NickName"], "");
  EXPECT_EQ(Card("Eve")["Email1Address"], "");
  EXPECT_EQ(Card("Eve")["Email1AddressType"], "");
}

// A prompt closed without OK writes what it was filled with for that
// contact, never what was confirmed for the one before.
TEST_F(OutlookWriterTest, APromptClosedWithoutOkGivesItsOwnProposal) {
  files.AddCard({"a",
                 {{P::FileAs, "Al"},
                  {P::FirstName, "Al"},
                  {P::FullName, "Al"},
                  {P::User2, "Y"},
                  {P::User3, "1"}}});
  files.AddCard({"b",
                 {{P::FileAs, "Bo"},
                  {P::FirstName, "Bo"},
                  {P::FullName, "Bo B"},
                  {P::User2, "Y"},
                  {P::User3, "2"}}});
  Record("1", "Alan", "W");
  Record("2", "Bob", "W");
  files.view.nameScript.push_back(NameValues{"Alan", "Smith", "Alan Smith", "Alan"});
  files.view.nameScript.push_back(std::nullopt);
  EXPECT_THAT(
      Write(),
      ElementsAre(
          "... The following name changes for Al have been made:", "........ First name: Alan",
          "........ Last name: Smith", "........ Full name: Alan Smith", "........ File as: Alan",
          "... The following name changes for Bo have been made:", "........ First name: Bo",
          "........ Full name: Bo B", "........ File as: Bob"));
  CardView bob = Card("Bob");
  EXPECT_EQ(bob["FirstName"], "Bo");
  EXPECT_EQ(bob["LastName"], "");
  EXPECT_EQ(bob["FullName"], "Bo B");
  EXPECT_EQ(files.state.NewFirstName, "Bo");
  EXPECT_EQ(files.state.NewLastName, "");
  EXPECT_EQ(files.state.NewFullName, "Bo B");
  EXPECT_EQ(files.state.NewFileAs, "Bob");
}

TEST_F(OutlookWriterTest, WithTheFullNameAsNameTheFullNameIsProposedAndSearched) {
  files.state.settings.NameField = "Full Name";
  files.AddCard({"a", {{P::FileAs, "Ek, Al"}, {P::FullName, "Al Ek"}, {P::User2, "Y"}}});
  Record("1", "Al Ek", "I");
  Record("2", "Al Eklund", "W");  // no card with ID 2, nor one named so
  EXPECT_THAT(Write(), ElementsAre("... Al Ek has been assigned a contact ID of 1.",
                                   "... The new speed dial values for Al Ek have been saved.",
                                   "... Al Eklund was not found to be modified."));
  files.state.OutlookSet.Item(2).ContactID = "1";
  files.view.nameScript.push_back(std::nullopt);
  Write();
  EXPECT_EQ(files.view.namesAsked.at(0).first, (NameValues{"", "", "Al Eklund", "Ek, Al"}));
  EXPECT_EQ(files.view.namesAsked.at(0).second, "Full Name");
  EXPECT_EQ(Card("Ek, Al")["FullName"], "Al Eklund");
}

// With the nickname as the synchronised name, a rename reaches NickName,
// and a created contact carries it.
TEST_F(OutlookWriterTest, WithTheNicknameAsNameARenameReachesTheNickname) {
  files.state.settings.NameField = "Nickname";
  files.AddCard({"a",
                 {{P::FileAs, "Ek, Al"},
                  {P::FullName, "Al Ek"},
                  {P::NickName, "Ally"},
                  {P::User2, "Y"},
                  {P::User3, "1"}}});
  Record("1", "Big Al", "W");
  Record("2", "Cee", "C");
  files.view.nameScript.push_back(std::nullopt);
  files.view.nameScript.push_back(NameValues{"", "", "", "Cee"});
  EXPECT_THAT(
      Write(),
      ElementsAre(
          "... The following name changes for Ally have been made:", "........ Full name: Al Ek",
          "........ Nick name: Big Al", "........ File as: Ek, Al",
          "... Cee has been added with the following values:", "........ Contact ID: 2",
          "........ File as: Cee", "........ Nickname: Cee"));
  EXPECT_EQ(files.view.namesAsked.at(0).first, (NameValues{"", "", "Al Ek", "Ek, Al"}));
  EXPECT_EQ(Card("Ek, Al")["NickName"], "Big Al");
  EXPECT_EQ(Card("Cee")["NickName"], "Cee");
}

TEST_F(OutlookWriterTest, QuittingAtThePromptLeavesTheContactUnsaved) {
  files.AddCard({"a", {{P::FileAs, "Al"}, {P::User2, "Y"}, {P::User3, "1"}}});
  SyncObject& al = Record("1", "Alan", "W");
  al.HomeNumber = "5551234";
  files.view.quit = true;
  const auto before = files.Snapshot();
  EXPECT_THROW(WriteOutlookContacts(context), RunAborted);
  auto after = files.Snapshot();
  after.erase("SyncLog.txt");
  EXPECT_EQ(after, before);
  EXPECT_EQ(Saves(), 0);
}

}  // namespace
}  // namespace twinbook
