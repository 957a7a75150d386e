// Feeds arbitrary text to the contacts filter parser and checks:
//
//   - parsing either succeeds or throws ContactsError, and never goes deeper
//     than its nesting limit;
//   - a plain recursive reading of the same grammar, written here without
//     the parser's merging of chains, accepts exactly the same texts and
//     gives the same answer for every test contact;
//   - every contact a filter matches satisfies its RequiredTerms (the folder
//     looks candidates up by them), and each term's value, quoted with
//     QuoteFilterValue, parses back as that one term;
//   - FoldCase keeps the length in bytes, keeps valid UTF-8 valid, and
//     folding twice gives what folding once gives.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/contact_filter.h"
#include "platform/vcard/vcard_text.h"

namespace twinbook {
namespace {

using fuzz::Shown;
using Contact = std::map<ContactProperty, std::string>;

// The grammar read the simplest way: recursive descent straight to a truth
// value. Any difference from ContactFilter is a fault in one of the two.
class ReferenceFilter {
 public:
  ReferenceFilter(std::string_view text, const Contact& contact) : s_(text), contact_(contact) {}

  // The filter's value for the contact, or nullopt when the text is no
  // filter.
  std::optional<bool> Evaluate() {
    const std::optional<bool> value = Or(0);
    SkipBlanks();
    if (!value || pos_ != s_.size()) {
      return std::nullopt;
    }
    return value;
  }

 private:
  void SkipBlanks() {
    while (pos_ < s_.size() &&
           std::string_view(" \t\r\n").find(s_[pos_]) != std::string_view::npos) {
      ++pos_;
    }
  }

  bool Word(std::string_view word) {
    SkipBlanks();
    if (s_.substr(pos_, word.size()).size() != word.size()) {
      return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
      char c = s_[pos_ + i];
      if (c >= 'A' && c <= 'Z') {
        c = static_cast<char>(c + 32);
      }
      if (c != word[i]) {
        return false;
      }
    }
    if (pos_ + word.size() < s_.size()) {
      const char next = s_[pos_ + word.size()];
      if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') ||
          (next >= '0' && next <= '9') || next == '_') {
        return false;
      }
    }
    pos_ += word.size();
    return true;
  }

  std::optional<bool> Or(int depth) {
    std::optional<bool> value = And(depth);
    while (value && Word("or")) {
      const std::optional<bool> next = And(depth);
      if (!next) {
        return std::nullopt;
      }
      value = *value || *next;
    }
    return value;
  }

  std::optional<bool> And(int depth) {
    std::optional<bool> value = Primary(depth);
    while (value && Word("and")) {
      const std::optional<bool> next = Primary(depth);
      if (!next) {
        return std::nullopt;
      }
      value = *value && *next;
    }
    return value;
  }

  std::optional<bool> Primary(int depth) {
    SkipBlanks();
    if (pos_ < s_.size() && s_[pos_] == '(') {
      if (depth >= ContactFilter::kMaxNesting) {
        return std::nullopt;
      }
      ++pos_;
      const std::optional<bool> value = Or(depth + 1);
      SkipBlanks();
      if (!value || pos_ >= s_.size() || s_[pos_] != ')') {
        return std::nullopt;
      }
      ++pos_;
      return value;
    }
    if (pos_ >= s_.size() || s_[pos_] != '[') {
      return std::nullopt;
    }
    const size_t close = s_.find(']', pos_);
    if (close == std::string_view::npos) {
      return std::nullopt;
    }
    const std::optional<ContactProperty> property =
        PropertyNamed(s_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
    SkipBlanks();
    if (!property || pos_ >= s_.size() || s_[pos_] != '=') {
      return std::nullopt;
    }
    ++pos_;
    SkipBlanks();
    if (pos_ >= s_.size() || s_[pos_] != '\'') {
      return std::nullopt;
    }
    ++pos_;
    std::string value;
    for (;;) {
      if (pos_ >= s_.size()) {
        return std::nullopt;
      }
      if (s_[pos_] == '\'') {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
          value += '\'';
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      value += s_[pos_++];
    }
    const auto found = contact_.find(*property);
    const std::string actual = found == contact_.end() ? std::string() : found->second;
    return FoldCase(actual) == FoldCase(value);
  }

  std::string_view s_;
  const Contact& contact_;
  size_t pos_ = 0;
};

ContactFilter::PropertyReader ReaderOf(const Contact& contact) {
  return [&contact](ContactProperty property) {
    const auto found = contact.find(property);
    return found == contact.end() ? std::string() : found->second;
  };
}

bool Satisfies(const Contact& contact, const FilterTerm& term) {
  return FoldCase(ReaderOf(contact)(term.property)) == FoldCase(term.value);
}

void CheckFoldCase(std::string_view text) {
  const std::string folded = FoldCase(text);
  TWINBOOK_REQUIRE(folded.size() == text.size(),
                   "FoldCase changes the length of " + Shown(text) + " to " + Shown(folded));
  TWINBOOK_REQUIRE(!vcard::IsValidUtf8(text) || vcard::IsValidUtf8(folded),
                   "FoldCase makes valid UTF-8 invalid: " + Shown(text) + " to " + Shown(folded));
  TWINBOOK_REQUIRE(FoldCase(folded) == folded,
                   "FoldCase folds " + Shown(folded) + " (from " + Shown(text) + ") again");
}

}  // namespace
}  // namespace twinbook

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace twinbook;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckFoldCase(text);

  const Contact ann = {
      {ContactProperty::FullName, "Ann O'Neil"},
      {ContactProperty::FirstName, "Ann"},
      {ContactProperty::LastName, "O'Neil"},
      {ContactProperty::FileAs, "O'Neil, Ann"},
      {ContactProperty::NickName, "\xC3\x84nnie"},  // Ännie
      {ContactProperty::Email1Address, "ann@example.com"},
      {ContactProperty::Email1AddressType, "SMTP"},
      {ContactProperty::MobileTelephoneNumber, "5551234"},
      {ContactProperty::User2, "YES"},
      {ContactProperty::User3, "12"},
  };
  std::vector<Contact> contacts = {ann, Contact{}};

  std::optional<ContactFilter> filter;
  try {
    filter = ContactFilter::Parse(text);
  } catch (const ContactsError&) {
  }
  const std::optional<bool> reference = ReferenceFilter(text, ann).Evaluate();
  TWINBOOK_REQUIRE(filter.has_value() == reference.has_value(),
                   std::string(filter ? "the parser accepts " : "the parser refuses ") +
                       Shown(text) + (reference ? ", which is a filter" : ", which is no filter"));
  if (!filter) {
    return 0;
  }
  TWINBOOK_REQUIRE(filter->Text() == text,
                   "Text() is " + Shown(filter->Text()) + " for " + Shown(text));
  TWINBOOK_REQUIRE(!filter->Terms().empty(), "a filter without terms: " + Shown(text));

  // A contact that holds the value of the first term of each property, so
  // that terms match and the operators decide.
  Contact matching;
  for (const FilterTerm& term : filter->Terms()) {
    matching.emplace(term.property, term.value);
    CheckFoldCase(term.value);
  }
  contacts.push_back(matching);

  for (const Contact& contact : contacts) {
    const bool matches = filter->Matches(ReaderOf(contact));
    TWINBOOK_REQUIRE(matches == ReferenceFilter(text, contact).Evaluate(),
                     "the filter " + Shown(text) + " answers " + (matches ? "true" : "false") +
                         " where the plain reading answers otherwise");
    if (matches) {
      for (const FilterTerm& term : filter->RequiredTerms()) {
        TWINBOOK_REQUIRE(Satisfies(contact, term),
                         "a contact matches " + Shown(text) + " but not its required term [" +
                             std::string(PropertyName(term.property)) + "]=" + Shown(term.value));
      }
    }
  }

  for (const FilterTerm& term : filter->Terms()) {
    const std::string single = "[" + std::string(PropertyName(term.property)) + "] = '" +
                               QuoteFilterValue(term.value) + "'";
    const ContactFilter parsed = ContactFilter::Parse(single);
    TWINBOOK_REQUIRE(parsed.Terms().size() == 1 && parsed.Terms().front() == term &&
                         parsed.RequiredTerms() == parsed.Terms(),
                     "the quoted term " + Shown(single) + " does not read as itself");
  }
  return 0;
}
