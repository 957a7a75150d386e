// Arbitrary text as a contacts filter, against a plain reading of the filter
// language written here again: both accept the same texts and answer the same
// for a few contacts; a match satisfies every required term.
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

std::string Get(const Contact& c, ContactProperty p) {
  return c.count(p) ? c.at(p) : "";
}

// or := and {"or" and}; and := primary {"and" primary}; primary := "(" or ")"
// | "[" name "]" "=" "'" value "'". nullopt: no filter.
class Reference {
 public:
  Reference(const std::string& s, const Contact& c) : s_(s), c_(c) {}
  std::optional<bool> Whole() {
    const auto value = Join(0, 0);
    return At('\0') || pos_ == s_.size() ? value : std::nullopt;
  }

 private:
  bool Word(std::string_view word) {
    At('\0');
    const auto next = static_cast<unsigned char>(
        s_.substr(std::min(pos_ + word.size(), s_.size())).append(" ")[0]);
    return vcard::EqualsIgnoringCase(s_.substr(pos_, word.size()), word) &&
           !(std::isalnum(next) || next == '_') && (pos_ += word.size());
  }
  bool At(char c) {  // after blanks
    pos_ = std::min(s_.find_first_not_of(" \t\r\n", pos_), s_.size());
    return c && pos_ < s_.size() && s_[pos_] == c && ++pos_;
  }
  std::optional<bool> Join(int level, int depth) {  // level 0: "or", 1: "and"
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
    if (close == s_.npos)
      return std::nullopt;
    const auto property = PropertyNamed(s_.substr(pos_, close - pos_));
    pos_ = close + 1;
    std::string value;
    bool open = property && At('=') && At('\'');
    for (; open && pos_ < s_.size(); ++pos_) {
      open = s_[pos_] != '\'' || s_.substr(pos_, 2) == "''";
      value += open ? s_[pos_] : '\0';
      pos_ += s_.substr(pos_, 2) == "''";
    }
    if (open || value.empty())
      return std::nullopt;
    value.pop_back();
    return FoldCase(Get(c_, *property)) == FoldCase(value);
  }

  std::string s_;
  const Contact& c_;
  size_t pos_ = 0;
};

}  // namespace
}  // namespace twinbook

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace twinbook;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::optional<ContactFilter> filter;
  try {
    filter = ContactFilter::Parse(text);
  } catch (const ContactsError&) {
  }
  std::vector<Contact> contacts = {{{ContactProperty::FullName, "Ann O'Neil"},
                                    {ContactProperty::NickName, "\xC3\x84nnie"},
                                    {ContactProperty::User3, "12"}},
                                   {}};
  TWINBOOK_REQUIRE(filter.has_value() == Reference(text, contacts[0]).Whole().has_value(),
                   "the parser and the plain reading disagree on accepting " + Shown(text));
  if (!filter)
    return 0;
  TWINBOOK_REQUIRE(filter->Text() == text && !filter->Terms().empty(), "terms of " + Shown(text));
  contacts.emplace_back();
  for (const FilterTerm& term : filter->Terms()) {
    contacts.back().emplace(term.property, term.value);
  }
  for (const Contact& contact : contacts) {
    const bool matches = filter->Matches([&](ContactProperty p) { return Get(contact, p); });
    TWINBOOK_REQUIRE(matches == Reference(text, contact).Whole(),
                     "the filter and the plain reading answer differently for " + Shown(text));
    for (const FilterTerm& term : filter->RequiredTerms()) {
      TWINBOOK_REQUIRE(!matches || FoldCase(Get(contact, term.property)) == FoldCase(term.value),
                       "a match fails a required term of " + Shown(text));
    }
  }
  return 0;
}
