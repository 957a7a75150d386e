// The stores' pure text rules, as tables: speed dial tags, number masks,
// what the phone keeps of a name, and the name prompt's proposal.

#include <gtest/gtest.h>

#include <array>

#include "model/number_kinds.h"
#include "stores/masking.h"
#include "stores/name_prompt.h"
#include "stores/phonebook_names.h"
#include "stores/speed_tags.h"

namespace twinbook {
namespace {

// Each case: a text applied to speeds that all start as "old", and the tags
// whose speed it changed.
TEST(SpeedTagsTest, ApplyingATextSetsTheSpeedsOfItsTags) {
  const std::pair<const char*, const char*> cases[] = {
      {"W2:3,H:7,E:", "W2:3,H:7,E:0"},
      {"M:12 H:4", "H:4,M:12"},
      {"m:12", ""},
      {"M:012", "M:12"},
      {"M: 5x,W1:\t 8", "W1:8,M:5"},
      {"F:1,F:2", "F:1"},  // only the first counts
      // What a general number parser would take is no speed dial here.
      {"M:0x1A,H:1e3,W1:inf,W2:3.9,F:-0", "W2:3,H:1,W1:0,M:0,F:0"},
      // A sign belongs to the number, so that a stored -1 reads back as -1.
      {"P:-5,O:+07,DC:- 3", "DC:0,P:-5,O:7"},
      {"M:123456789012345678901234567890", "M:123456789012345678901234567890"},
  };
  for (const auto& [text, changed] : cases) {
    SyncObject record;
    for (const NumberKind& kind : NumberKinds()) {
      record.*kind.speed = "old";
    }
    ApplySpeedTagText(record, text);
    std::string tags;
    for (const NumberKind& kind : NumberKinds()) {
      if (record.*kind.speed != "old") {
        tags += (tags.empty() ? "" : ",") + std::string(kind.tag) + record.*kind.speed;
      }
    }
    EXPECT_EQ(tags, changed) << text;
  }
}

// Each case: a number and its masks in styles 2, 3 and 4; styles 0, 1 and 5
// leave every number as it is. Positions count characters, not bytes.
TEST(MaskPhoneNumberTest, FormatsByLengthAndStyle) {
  const std::array<std::string, 4> cases[] = {
      {"abcdefg", "abc-defg", "abc-defg", "abc.defg"},
      {"abc€efgh😀j", "(abc) €ef-gh😀j", "abc-€ef-gh😀j", "abc.€ef.gh😀j"},
      {"abcdefghijk", "a (bcd) efg-hijk", "a-bcd-efg-hijk", "a.bcd.efg.hijk"},
      {"é2345678901", "é (234) 567-8901", "é-234-567-8901", "é.234.567.8901"},
      {"123456", "123456", "123456", "123456"},
      {"12345678", "12345678", "12345678", "12345678"},
      {"123456789012", "123456789012", "123456789012", "123456789012"},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    for (std::uint8_t style : {0, 1, 2, 3, 4, 5}) {
      EXPECT_EQ(MaskPhoneNumber(c[0], style), style >= 2 && style <= 4 ? c[style - 1] : c[0])
          << int(style) << " " << c[0];
    }
  }
}

// New rows hold what the phone keeps of a name: 22 characters, no UTF-8
// sequence cut, and read back as the same name.
TEST(PhoneBookNameTest, KeepsTheFirst22CharactersWithoutCuttingOne) {
  const std::pair<std::string, std::string> cases[] = {
      {"Alexandria Montgomery-Smythe Jr", "Alexandria Montgomery-"},
      {"Zoë Ångström-Hallberg Senior", "Zoë Ångström-Hallberg "},
      {"abcdefghijklmnopqrstu€vw", "abcdefghijklmnopqrstu€"},
      {"abcdefghijklmnopqrstuv€", "abcdefghijklmnopqrstuv"},
  };
  for (const auto& [name, kept] : cases) {
    EXPECT_EQ(PhoneBookName(name), kept) << name;
    EXPECT_TRUE(SamePhoneBookName(kept, name)) << name;
  }
}

// The new name goes into the box of the name field, over the current names
// or, for a contact about to be created, alone.
TEST(NamePromptTest, TheProposalPutsTheNewNameInTheBoxOfTheNameField) {
  const NameValues current{"Ann", "Doe", "Ann Doe", "Doe, Ann"};
  const std::vector<std::tuple<std::string, NameValues, NameValues>> cases = {
      {"File As", {"Ann", "Doe", "Ann Doe", "Smith, Ann"}, {"", "", "", "Smith, Ann"}},
      {"Full Name", {"Ann", "Doe", "Smith, Ann", "Doe, Ann"}, {"", "", "Smith, Ann", ""}},
      {"Nickname", current, {}},
  };
  for (const auto& [nameField, updated, created] : cases) {
    EXPECT_EQ(ProposeNewName(nameField, "Smith, Ann", current), updated) << nameField;
    EXPECT_EQ(ProposeNewName(nameField, "Smith, Ann", NameValues{}), created) << nameField;
  }
}

}  // namespace
}  // namespace twinbook
