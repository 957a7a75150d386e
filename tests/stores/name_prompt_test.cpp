#include "stores/name_prompt.h"

#include <gtest/gtest.h>

namespace twinbook {
namespace {

const std::string kFileAsMessage =
    "The 'New File As' and 'New File As' fields must each have a value.";
const std::string kFullNameMessage =
    "The 'New File As' and 'New Full Name' fields must each have a value.";

struct CheckCase {
  std::string nameField;
  NameValues typed;  // first, last, full, file as
  std::optional<std::string> message;
};

TEST(CheckNewNameTest, RequiredFieldsByNameField) {
  const std::vector<CheckCase> cases = {
      // File As: only New File As is required.
      {"File As", {"Ann", "Doe", "Ann Doe", "Doe, Ann"}, std::nullopt},
      {"File As", {"", "", "", "Doe, Ann"}, std::nullopt},
      {"File As", {"Ann", "Doe", "Ann Doe", ""}, kFileAsMessage},
      {"File As", {"", "", "", " "}, std::nullopt},
      // Full Name: New Full Name as well.
      {"Full Name", {"Ann", "Doe", "Ann Doe", "Doe, Ann"}, std::nullopt},
      {"Full Name", {"Ann", "Doe", "", "Doe, Ann"}, kFullNameMessage},
      {"Full Name", {"Ann", "Doe", "Ann Doe", ""}, kFullNameMessage},
      {"Full Name", {"", "", "", ""}, kFullNameMessage},
      {"Full Name", {"", "", " ", " "}, std::nullopt},
      // Nickname: the prompt has no nickname box; New File As alone, and the
      // message of the File As mode.
      {"Nickname", {"", "", "", "Doe, Ann"}, std::nullopt},
      {"Nickname", {"Ann", "Doe", "Ann Doe", ""}, kFileAsMessage},
      // Letter case counts: "full name" is not "Full Name".
      {"full name", {"", "", "", "Doe, Ann"}, std::nullopt},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.nameField + " / full '" + c.typed.FullName + "' / file as '" + c.typed.FileAs +
                 "'");
    EXPECT_EQ(CheckNewName(c.typed, c.nameField), c.message);
  }
}

struct ProposalCase {
  std::string nameField;
  NameValues expected;
};

TEST(ProposeNewNameTest, TheNewNameGoesIntoTheBoxOfTheNameField) {
  const NameValues current{"Ann", "Doe", "Ann Doe", "Doe, Ann"};
  const std::vector<ProposalCase> cases = {
      {"File As", {"Ann", "Doe", "Ann Doe", "Smith, Ann"}},
      {"Full Name", {"Ann", "Doe", "Smith, Ann", "Doe, Ann"}},
      {"Nickname", {"Ann", "Doe", "Ann Doe", "Doe, Ann"}},
  };
  for (const ProposalCase& c : cases) {
    SCOPED_TRACE(c.nameField);
    EXPECT_EQ(ProposeNewName(c.nameField, "Smith, Ann", current), c.expected);
  }
}

TEST(ProposeNewNameTest, ANewContactGetsOnlyTheName) {
  EXPECT_EQ(ProposeNewName("File As", "Ann", NameValues{}), (NameValues{"", "", "", "Ann"}));
  EXPECT_EQ(ProposeNewName("Full Name", "Ann", NameValues{}), (NameValues{"", "", "Ann", ""}));
  EXPECT_EQ(ProposeNewName("Nickname", "Ann", NameValues{}), NameValues{});
}

}  // namespace
}  // namespace twinbook
