// The order in which the Outlook writer saves cards: those that give up a
// number, an address or a speed dial after all the others, the last of them
// first, so that a run interrupted between two saves never frees a slot
// below one it has just handed out.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "stores/outlook_writer.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using ::testing::ElementsAre;
using testing::StoreFiles;
using P = ContactProperty;

SyncObject& Record(StoreFiles& files, const std::string& id, const std::string& name,
                   const std::string& flag) {
  SyncObject& record = files.state.OutlookSet.Append();
  record.ContactID = id;
  record.ContactName = name;
  record.Flag = flag;
  return record;
}

TEST(OutlookWriteOrderTest, CardsGivingUpASlotAreSavedLastAndTheLastOfThemFirst) {
  StoreFiles files;
  files.AddCard({"ann",
                 {{P::FileAs, "Ann"},
                  {P::User2, "YES"},
                  {P::User3, "1"},
                  {P::User4, "H:2,M:1"},
                  {P::MobileTelephoneNumber, "5551110000"},
                  {P::HomeTelephoneNumber, "5551112222"}}});
  files.AddCard({"bo",
                 {{P::FileAs, "Bo"},
                  {P::User2, "YES"},
                  {P::User3, "2"},
                  {P::User4, "M:3"},
                  {P::MobileTelephoneNumber, "5552220000"},
                  {P::HomeTelephoneNumber, "5552221111"}}});
  files.AddCard({"cy",
                 {{P::FileAs, "Cy"},
                  {P::User2, "YES"},
                  {P::User3, "3"},
                  {P::User4, "M:4,P:5,E:9"},
                  {P::MobileTelephoneNumber, "5553330000"}}});
  files.AddCard({"dee",
                 {{P::FileAs, "Dee"},
                  {P::User2, "YES"},
                  {P::User3, "4"},
                  {P::User4, "M:7"},
                  {P::MobileTelephoneNumber, "5554440000"}}});

  // Ann loses her home number, Cy a stale e-mail tag; Bo's home number and
  // Dee's new pager take up new slots.
  SyncObject& ann = Record(files, "1", "Ann", "W");
  ann.MobileNumber = "5551110000";
  ann.MobileSpeed = "1";
  SyncObject& bo = Record(files, "2", "Bo", "S");
  bo.MobileNumber = "5552220000";
  bo.MobileSpeed = "3";
  bo.HomeNumber = "5552221111";
  bo.HomeSpeed = "10";
  SyncObject& cy = Record(files, "3", "Cy", "S");
  cy.MobileNumber = "5553330000";
  cy.MobileSpeed = "4";
  SyncObject& dee = Record(files, "4", "Dee", "W");
  dee.MobileNumber = "5554440000";
  dee.MobileSpeed = "7";
  dee.PagerNumber = "5554441111";
  dee.PagerSpeed = "11";

  WriteOutlookContacts(files.context);
  EXPECT_THAT(files.LogLines(),
              ElementsAre("Writing to Outlook Contacts.",
                          "... The new speed dial values for Bo have been saved.",
                          "... The pager number for Dee has been changed from  to (555) 444-1111.",
                          "... The new speed dial values for Dee have been saved.",
                          "... The new speed dial values for Cy have been saved.",
                          "... The home number for Ann has been deleted.",
                          "... The new speed dial values for Ann have been saved."));
  EXPECT_EQ(files.CardNamed("Ann").value()["User4"], "M:1");
  EXPECT_EQ(files.CardNamed("Ann").value()["HomeTelephoneNumber"], "");
  EXPECT_EQ(files.CardNamed("Bo").value()["User4"], "H:10,M:3");
  EXPECT_EQ(files.CardNamed("Cy").value()["User4"], "M:4");
  EXPECT_EQ(files.CardNamed("Dee").value()["User4"], "M:7,P:11");
}

}  // namespace
}  // namespace twinbook
