#include "stores/phonebook_names.h"

#include <gtest/gtest.h>

namespace twinbook {
namespace {

// New rows hold what the phone keeps of a name: 22 characters, counted as
// characters so that no UTF-8 sequence is cut, and read back as the same name.
TEST(PhoneBookNameTest, KeepsTheFirst22CharactersWithoutCuttingOne) {
  struct Case {
    std::string name, kept;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"Ann Lee", "Ann Lee"},
      {"Alexandria Montgomery-", "Alexandria Montgomery-"},  // exactly 22
      {"Alexandria Montgomery-Smythe Jr", "Alexandria Montgomery-"},
      // Three two-byte characters among the first 22: 25 bytes kept.
      {"Zoë Ångström-Hallberg Senior", "Zoë Ångström-Hallberg "},
      // The 22nd character is a three-byte one: kept whole.
      {"abcdefghijklmnopqrstu€vw", "abcdefghijklmnopqrstu€"},
      {"abcdefghijklmnopqrstuv€", "abcdefghijklmnopqrstuv"},
  };
  for (const Case& c : cases) {
    const std::string kept = PhoneBookName(c.name);
    EXPECT_EQ(kept, c.kept) << c.name;
    EXPECT_TRUE(SamePhoneBookName(kept, c.name)) << c.name;
  }
}

}  // namespace
}  // namespace twinbook
