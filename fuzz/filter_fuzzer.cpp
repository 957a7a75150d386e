// Arbitrary text as a contacts filter, compared with a plain reading of the
// filter language written here again: both accept the same texts and answer
// the same for a few contacts; a matching contact satisfies every required
// term; each term quoted alone reads as itself; FoldCase keeps the length and
// UTF-8 validity and is idempotent.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>

#include "fuzz_check.h"
#include "platform/contact_filter.h"

namespace twinbook {
namespace {

using fuzz::Shown;
using Contact = std::map<ContactProperty, std::string>;

std::string Get(const Contact& contact, ContactProperty property) {
  const auto found = contact.find(property);
  return found == contact.end() ? std::string() : found->second;
}

// Recursive descent: or := and {"or" and}; and := primary {"and" primary};
// primary := "(" or ")" | "[" name "]" "=" "'" value "'". nullopt: no filter.
class Reference {
 public:
  Reference(std::string_view s, const Contact& c) : s_(s), c_(c) {}
  std::optional<bool> Whole() {
    const auto value = Join(0, 0);
    Blanks();
    return pos_ == s_.size() ? value : std::nullopt;
  }

 private:
  void Blanks() { pos_ = std::min(s_.find_first_not_of(" \t\r\n", pos_), s_.size()); }
  bool Word(std::string_view word) {
    Blanks();
    std::string found(s_.substr(pos_, word.size() + 1));
    for (char& c : found) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto last = static_cast<unsigned char>(found.empty() ? ' ' : found.back());
    const bool ends = found.size() == word.size() || !(std::isalnum(last) || last == '_');
    return found.starts_with(word) && ends && (pos_ += word.size());
  }
  bool At(char c) {
    Blanks();
    return pos_ < s_.size() && s_[pos_] == c && ++pos_;
  }
  // level 0 joins by "or" the parts of level 1, joined by "and".
  std::optional<bool> Join(int level, int depth) {
    auto value = level ? Primary(depth) : Join(1, depth);
    while (value && Word(level ? "and" : "or")) {
      const auto next = level ? Primary(depth) : Join(1, depth);
      value = next ? std::optional<bool>(level ? *value && *next : *value || *next) : std::nullopt;
    }
    return value;
  }
  std::optional<bool> Primary(int depth) {
    if (At('(')) {
      const auto value = depth < ContactFilter::kMaxNesting ? Join(0, depth + 1) : std::nullopt;
      return value && At(')') ? value : std::nullopt;
    }
    const size_t close = At('[') ? s_.find(']', pos_) : s_.npos;
    if (close == s_.npos) {
      return std::nullopt;
    }
    const auto property = PropertyNamed(s_.substr(pos_, close - pos_));
    pos_ = close + 1;
    std::string value;
    bool open = property && At('=') && At('\'');
    for (; open && pos_ < s_.size(); ++pos_) {
      open = s_[pos_] != '\'' || s_.substr(pos_, 2) == "''";
      value += open ? s_[pos_] : '\0';
      pos_ += s_.substr(pos_, 2) == "''";
    }
    if (open || value.empty()) {
      return std::nullopt;
    }
    value.pop_back();
    return FoldCase(Get(c_, *property)) == FoldCase(value);
  }

  std::string_view s_;
  const Contact& c_;
  size_t pos_ = 0;
};

void CheckFoldCase(std::string_view text) {
  const std::string folded = FoldCase(text);
  TWINBOOK_REQUIRE(folded.size() == text.size() && FoldCase(folded) == folded &&
                       (!IsValidUtf8(text) || IsValidUtf8(folded)),
                   "FoldCase " + Shown(text) + " gives " + Shown(folded));
}

}  // namespace
}  // namespace twinbook

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace twinbook;
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckFoldCase(text);
  std::optional<ContactFilter> filter;
  try {
    filter = ContactFilter::Parse(text);
  } catch (const ContactsError&) {
  }
  std::vector<Contact> contacts = {{{ContactProperty::FullName, "Ann O'Neil"},
                                    {ContactProperty::NickName, "\xC3\x84nnie"},
                                    {ContactProperty::User2, "YES"},
                                    {ContactProperty::User3, "12"}},
                                   {}};
  TWINBOOK_REQUIRE(filter.has_value() == Reference(text, contacts[0]).Whole().has_value(),
                   "the parser and the plain reading disagree on accepting " + fuzz::Shown(text));
  if (!filter)
    return 0;
  TWINBOOK_REQUIRE(filter->Text() == text && !filter->Terms().empty(),
                   "terms of " + fuzz::Shown(text));
  contacts.emplace_back();
  for (const FilterTerm& term : filter->Terms()) {
    contacts.back().emplace(term.property, term.value);
    CheckFoldCase(term.value);
    const auto single = ContactFilter::Parse("[" + std::string(PropertyName(term.property)) +
                                             "] = '" + QuoteFilterValue(term.value) + "'");
    TWINBOOK_REQUIRE(
        single.Terms() == std::vector<FilterTerm>{term} && single.RequiredTerms() == single.Terms(),
        "a quoted term does not read as itself: " + fuzz::Shown(term.value));
  }
  for (const Contact& contact : contacts) {
    const bool matches = filter->Matches([&](ContactProperty p) { return Get(contact, p); });
    TWINBOOK_REQUIRE(matches == Reference(text, contact).Whole(),
                     "the filter and the plain reading "
                     "answer differently for " +
                         fuzz::Shown(text));
    for (const FilterTerm& term : filter->RequiredTerms()) {
      TWINBOOK_REQUIRE(!matches || FoldCase(Get(contact, term.property)) == FoldCase(term.value),
                       "a match fails a required term of " + fuzz::Shown(text));
    }
  }
  return 0;
}
