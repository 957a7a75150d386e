#pragma once

#include <string>

#include "support/store_files.h"

// Helpers shared by the whole-run tests over stores with a bad or odd input.
namespace twinbook::testing {

// Stores that synchronise without a fault: Ann on all three sides, Bob on the
// desktop but not taking part (a finished run rewrites his card), Cy on the
// phone only.
inline void SeedGoodStores(StoreFiles& files) {
  using P = ContactProperty;
  files.AddCard(CardSpec{"ann",
                         {{P::FileAs, "Lee, Ann"},
                          {P::User2, "YES"},
                          {P::User3, "1"},
                          {P::User4, "M:1"},
                          {P::MobileTelephoneNumber, "312 555 0101"}}});
  files.AddCard(CardSpec{"bob",
                         {{P::FileAs, "Ray, Bob"},
                          {P::User2, "no"},
                          {P::User3, "2"},
                          {P::User4, "M:4"},
                          {P::MobileTelephoneNumber, "312 555 0202"}}});
  files.AddPhoneBookRow("1", "Lee, Ann", "3125550101", 4, 1);
  files.AddPhoneBookRow("3", "Cole, Cy", "3125550303", 2, 2);
  files.AddSyncRow({"1", "Lee, Ann", "", "", "", "", "3125550101", "", "", "", "", "M:1"});
}

// Gives a table the same columns and rows but no declared types, as a file
// made by another program may have, so that any value fits any column.
inline void LoosenTable(StoreFiles& files, bool phoneBook) {
  const std::string table = phoneBook ? "tblContactList" : "SyncContacts";
  const std::string columns =
      phoneBook ? "ContactID, ContactName, Number, NumberType, SpeedDial, PhoneNumberLength, "
                  "RingTone, Category, Hidden"
                : "ContactID, Name, Work2, DirectConnect, Home, Work1, Mobile, Fax, Pager, Other, "
                  "Email, SpeedDial";
  const std::string sql = "ALTER TABLE " + table + " RENAME TO Old; CREATE TABLE " + table + " (" +
                          columns + "); INSERT INTO " + table +
                          " SELECT * FROM Old; DROP TABLE Old";
  if (phoneBook) {
    files.ExecutePhoneBookSql(sql);
  } else {
    files.ExecuteSyncSql(sql);
  }
}

}  // namespace twinbook::testing
