#include "engine/phonebook_names.h"

#include <gtest/gtest.h>

namespace twinbook {
namespace {

TEST(PhoneBookNames, TheFirst22CharactersOfALongerNameAreTheSameName) {
  const std::string ascii = "Alexandria Montgomery-Smythe Jr";  // 31 bytes
  // Its first 22 characters take 25 bytes: three of them take two each in UTF-8.
  const std::string accented = "Zoë Ångström-Hallberg Senior";
  const std::string accentedByCharacters = accented.substr(0, 25);
  const std::string accentedByBytes = accented.substr(0, 22);
  struct Case {
    std::string phoneBook, other;
    bool same;
  };
  const std::vector<Case> cases = {
      {ascii, ascii, true},
      {ascii.substr(0, 22), ascii, true},
      {ascii.substr(0, 21), ascii, false},
      {ascii.substr(0, 23), ascii, false},
      {ascii, ascii.substr(0, 22), false},
      {"Ann", "Annie", false},
      {"", "", true},
      {"", ascii, false},
      {accentedByCharacters, accented, true},
      {accentedByBytes, accented, true},
      {accented.substr(0, 23), accented, false},
      {ascii.substr(0, 21) + "x", ascii, false},
      // Cut inside a character: 22 characters are begun, but not all ended.
      {std::string("Zoë Ångström-Hallbergé").substr(0, 25), "Zoë Ångström-Hallbergé Senior", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SamePhoneBookName(c.phoneBook, c.other), c.same)
        << "'" << c.phoneBook << "' / '" << c.other << "'";
  }
}

TEST(PhoneBookNames, RecordsMatchOnTheOtherFieldsWithTheShortenedName) {
  SyncObject whole;
  whole.ContactName = "Alexandria Montgomery-Smythe Jr";
  whole.MobileNumber = "5551";
  SyncObject phone = whole;
  phone.ContactName = whole.ContactName.substr(0, 22);
  phone.Flag = "M";
  EXPECT_TRUE(PhoneBookRecordMatches(phone, whole));
  EXPECT_FALSE(PhoneBookRecordMatches(whole, phone));
  phone.MobileSpeed = "1";
  EXPECT_FALSE(PhoneBookRecordMatches(phone, whole));

  SyncObject destination = whole;
  destination.Flag = "";
  phone.HomeNumber = "5552";
  CopyFromPhoneBook(destination, phone);
  EXPECT_EQ(destination.ContactName, whole.ContactName);
  EXPECT_EQ(destination.HomeNumber, "5552");
  EXPECT_EQ(destination.MobileSpeed, "1");
  EXPECT_EQ(destination.Flag, "M");
  phone.ContactName = "Alexandra";
  CopyFromPhoneBook(destination, phone);
  EXPECT_EQ(destination.ContactName, "Alexandra");
}

}  // namespace
}  // namespace twinbook
