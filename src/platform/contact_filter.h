#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/contacts_folder.h"

namespace twinbook {

// Contact texts as filters compare them: letter case folded, so that two texts
// are equal for a filter exactly when their folded forms are equal.
//
// Folded are ASCII letters and the letters of Latin-1, Latin Extended-A, Greek
// and Cyrillic (each capital to its small letter; final sigma to sigma). Every
// other character, and every byte that is not part of valid UTF-8, stays as it
// is, so such text still matches itself and nothing else. No normalisation
// takes place: "ß" does not equal "ss", and a precomposed "é" does not equal
// "e" followed by a combining accent.
std::string FoldCase(std::string_view text);

// One comparison of a filter: [property] = 'value'.
struct FilterTerm {
  ContactProperty property;
  std::string value;  // with '' already turned into '

  bool operator==(const FilterTerm&) const = default;
};

// A contacts filter in the syntax the program builds:
//
//   [User3] ='12' and ([User2] = 'Y' or [User2]='YES')
//
// Terms are a property name in square brackets (any letter case), "=", and a
// value in single quotes in which '' stands for one quote. Terms are joined by
// "and" and "or" (any letter case; "and" binds tighter) and grouped with
// parentheses. Blanks between the parts are optional. A term matches an item
// whose property equals the value without regard to letter case (FoldCase).
class ContactFilter {
 public:
  // Parentheses may nest this deep; deeper nesting is refused rather than
  // risking the stack on hostile input.
  static constexpr int kMaxNesting = 64;

  // Throws ContactsError quoting the filter and saying what is wrong and
  // where (1-based character position): an unknown property, an unbalanced
  // quote or parenthesis, a missing operator or term, text after the end.
  static ContactFilter Parse(std::string_view text);

  // Reads one property of the item being tested.
  using PropertyReader = std::function<std::string(ContactProperty)>;

  // True when the item that `read` reads satisfies the filter.
  bool Matches(const PropertyReader& read) const;

  // The filter as written.
  const std::string& Text() const { return text_; }

  // Terms that every matching item satisfies: those joined to the whole
  // filter by "and" alone. A folder can look up the candidates of any one of
  // them in an index instead of testing every item. Empty when no such term
  // exists (an "or" at the top, for instance).
  const std::vector<FilterTerm>& RequiredTerms() const { return required_; }

  // Every term, in the order written.
  const std::vector<FilterTerm>& Terms() const { return terms_; }

 private:
  struct Node {
    enum class Kind { kTerm, kAnd, kOr } kind = Kind::kTerm;
    size_t term = 0;            // index into terms_, for kTerm
    std::vector<size_t> parts;  // indexes into nodes_, for kAnd and kOr
  };
  class Parser;

  bool Evaluate(size_t node, const PropertyReader& read, std::vector<int>& cache) const;

  std::string text_;
  std::vector<FilterTerm> terms_;
  std::vector<std::string> folded_;  // FoldCase of each term's value
  std::vector<Node> nodes_;
  size_t root_ = 0;
  std::vector<FilterTerm> required_;
};

}  // namespace twinbook
