#include "platform/contact_filter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace twinbook {
namespace {

using ::testing::HasSubstr;

TEST(ContactFilterTest, RequiredTermsAreThoseJoinedToTheWholeByAnd) {
  const FilterTerm a{ContactProperty::User1, "a"}, b{ContactProperty::User2, "b"},
      c{ContactProperty::User3, "c"};
  const std::pair<const char*, std::vector<FilterTerm>> cases[] = {
      // clang-format off
      {"([User1]='a')", {a}}, {"([User1]='a' and [User2]='b') and [User3]='c'", {a, b, c}},
      {"[User1]='a' or [User2]='b'", {}}, {"[User1]='a' and [User2]='b' or [User3]='c'", {}},
      {"[User1]='a' and ([User2]='b' or [User3]='c')", {a}},
      {"([User1]='a' or [User2]='b') and [User3]='c'", {c}},
  };  // clang-format on
  for (const auto& [filter, required] : cases) {
    EXPECT_EQ(ContactFilter::Parse(filter).RequiredTerms(), required) << filter;
  }
}

TEST(ContactFilterTest, ComparesWithoutRegardToLetterCase) {
  const struct {
    const char *stored, *wanted;
    bool equal;
  } cases[] = {
      // clang-format off
      {"Pat O'Brien", "PAT O'BRIEN", true}, {"ÀÉÎÕÜÝÞ", "àéîõüýþ", true}, {"ŁÓDŹ", "łódź", true},
      {"ŸVES", "ÿves", true}, {"ΆΣΟΦΊΑ ΌΎ", "άσοφία όύ", true}, {"Οδυσσευς", "Οδυσσευσ", true},
      {"ДМИТРИЙ ЁЛКИН", "дмитрий ёлкин", true}, {"×", "÷", false}, {"Straße", "STRASSE", false},
      {"yes ", "yes", false}, {"\xC3", "\xC3", true}, {"\xC3", "\xE3", false}, {"a''b", "a''b", true},
  };  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(FoldCase(c.stored) == FoldCase(c.wanted), c.equal) << c.stored << " / " << c.wanted;
    const auto filter = ContactFilter::Parse("[User1]='" + QuoteFilterValue(c.wanted) + "'");
    EXPECT_EQ(filter.Matches([&](ContactProperty) { return std::string(c.stored); }), c.equal)
        << c.stored;
  }
}

// Nesting is bounded: at the limit a filter still matches, one deeper is
// refused, and far deeper than any stack would take is refused just the same.
TEST(ContactFilterTest, ErrorsSayWhatAndWhereAndQuoteTheFilter) {
  const int limit = ContactFilter::kMaxNesting;
  const auto nested = [](int depth) {
    return std::string(depth, '(') + "[User1]='a'" + std::string(depth, ')');
  };
  EXPECT_TRUE(ContactFilter::Parse(nested(limit)).Matches([](ContactProperty) { return "A"; }));
  std::vector<std::pair<std::string, std::string>> cases = {
      {"[User3] = '12", "the quote opened at position 11 is not closed"},
      {"([User3] = '12'", "the parenthesis opened at position 1 is not closed"},
      {"[User3] = '12')", "a closing parenthesis without an opening one at position 15"},
      {"[User3] = '12' [User2] = 'Y'", "\"and\" or \"or\" expected"},
      {"[User3] '12'", "\"=\" expected after [User3] at position 9"},
      {"[User3] = 12", "a value in single quotes expected at position 11"},
      {"[User3 = '12'", "the bracket opened at position 1 is not closed"},
      {"[User3] = '12' and", "a term \"[Property] = 'value'\" is missing at position 19"},
      {"[Colour] = 'red'", "Unknown property [Colour] in contact filter \"[Colour] = 'red'\""},
      {nested(limit + 1), "nested deeper than"},
      {std::string(1000000, '('), ""}};
  for (const char* filter : {"", "[User3] = 'O'Brien'", "[User3] == '1'", "[] = '1'", "()",
                             "[User3] = '1' andy [User2] = 'Y'", "[User3] = '1' trailing"}) {
    cases.emplace_back(filter, "");
  }
  for (const auto& [filter, says] : cases) {
    EXPECT_THAT([&] { ContactFilter::Parse(filter); },
                ::testing::ThrowsMessage<ContactsError>(
                    ::testing::AllOf(HasSubstr(says), HasSubstr("\"" + filter + "\""))));
  }
}

}  // namespace
}  // namespace twinbook
