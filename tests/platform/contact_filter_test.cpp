#include "platform/contact_filter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace twinbook {
namespace {

using Values = std::map<ContactProperty, std::string>;

bool Matches(const std::string& filter, const Values& values) {
  return ContactFilter::Parse(filter).Matches([&](ContactProperty p) {
    const auto it = values.find(p);
    return it == values.end() ? std::string() : it->second;
  });
}

TEST(ContactFilterTest, RequiredTermsAreThoseJoinedToTheWholeByAnd) {
  struct Case {
    const char* filter;
    std::vector<FilterTerm> required;
  };
  const FilterTerm a{ContactProperty::User1, "a"};
  const FilterTerm b{ContactProperty::User2, "b"};
  const FilterTerm c{ContactProperty::User3, "c"};
  const Case cases[] = {
      // clang-format off
      {"([User1]='a')", {a}}, {"([User1]='a' and [User2]='b') and [User3]='c'", {a, b, c}},
      {"[User1]='a' or [User2]='b'", {}}, {"[User1]='a' and [User2]='b' or [User3]='c'", {}},
      {"[User1]='a' and ([User2]='b' or [User3]='c')", {a}},
      {"([User1]='a' or [User2]='b') and [User3]='c'", {c}},
  };  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(ContactFilter::Parse(c.filter).RequiredTerms(), c.required) << c.filter;
  }
}

TEST(ContactFilterTest, ComparesWithoutRegardToLetterCase) {
  struct Case {
    const char* stored;
    const char* wanted;
    bool equal;
  };
  const Case cases[] = {
      // clang-format off
      {"Pat O'Brien", "PAT O'BRIEN", true}, {"ÀÉÎÕÜÝÞ", "àéîõüýþ", true}, {"ŁÓDŹ", "łódź", true},
      {"ŸVES", "ÿves", true}, {"ΣΟΦΊΑ", "σοφία", true}, {"Οδυσσευς", "Οδυσσευσ", true},
      {"ДМИТРИЙ ЁЛКИН", "дмитрий ёлкин", true}, {"×", "÷", false}, {"Straße", "STRASSE", false},
      {"yes ", "yes", false}, {"\xC3", "\xC3", true}, {"\xC3", "\xE3", false}, {"a''b", "a''b", true},
  };  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(FoldCase(c.stored) == FoldCase(c.wanted), c.equal) << c.stored << " / " << c.wanted;
    EXPECT_EQ(Matches("[User1]='" + QuoteFilterValue(c.wanted) + "'",
                      {{ContactProperty::User1, c.stored}}),
              c.equal)
        << c.stored;
  }
}

TEST(ContactFilterTest, ErrorsSayWhatAndWhereAndQuoteTheFilter) {
  struct Case {
    const char* filter;
    const char* says;
  };
  const Case cases[] = {
      {"[User3] = '12", "the quote opened at position 11 is not closed"},
      {"([User3] = '12'", "the parenthesis opened at position 1 is not closed"},
      {"[User3] = '12')", "a closing parenthesis without an opening one at position 15"},
      {"[User3] = '12' [User2] = 'Y'", "\"and\" or \"or\" expected"},
      {"[User3] '12'", "\"=\" expected after [User3] at position 9"},
      {"[User3] = 12", "a value in single quotes expected at position 11"},
      {"[User3 = '12'", "the bracket opened at position 1 is not closed"},
      {"[User3] = '12' and", "a term \"[Property] = 'value'\" is missing at position 19"},
      {"[Colour] = 'red'", "Unknown property [Colour] in contact filter \"[Colour] = 'red'\""},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  for (const char* filter : {"", "[User3] = 'O'Brien'", "[User3] == '1'", "[] = '1'", "()",
                             "[User3] = '1' andy [User2] = 'Y'", "[User3] = '1' trailing"}) {
    all.push_back({filter, ""});
  }
  for (const Case& c : all) {
    try {
      ContactFilter::Parse(c.filter);
      ADD_FAILURE() << "no error for " << c.filter;
    } catch (const ContactsError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(c.says), std::string::npos) << message;
      EXPECT_NE(message.find(std::string("\"") + c.filter + "\""), std::string::npos) << message;
    }
  }
}

TEST(ContactFilterTest, NestingIsBounded) {
  const int limit = ContactFilter::kMaxNesting;
  auto nested = [](int depth) {
    return std::string(depth, '(') + "[User1]='a'" + std::string(depth, ')');
  };
  EXPECT_TRUE(Matches(nested(limit), {{ContactProperty::User1, "a"}}));
  try {
    ContactFilter::Parse(nested(limit + 1));
    ADD_FAILURE() << "no error for nesting deeper than the limit";
  } catch (const ContactsError& error) {
    EXPECT_NE(std::string(error.what()).find("nested deeper than"), std::string::npos);
  }
  // Far deeper than any stack would take, refused just the same.
  EXPECT_THROW(ContactFilter::Parse(std::string(1000000, '(')), ContactsError);
}

}  // namespace
}  // namespace twinbook
