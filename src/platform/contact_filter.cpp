#include "platform/contact_filter.h"

#include <array>
#include <optional>

#include "platform/utf8_text.h"

namespace twinbook {

namespace {

// The small letter of a capital in the scripts FoldCase covers, else the
// code point itself.
char32_t SmallLetter(char32_t c) {
  if (c < 0x80) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  }
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) ||     // Latin-1 capitals
      (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||  // Greek capitals
      (c >= 0x410 && c <= 0x42F)) {                // Cyrillic capitals
    return c + 32;
  }
  if (c >= 0x400 && c <= 0x40F) {
    return c + 80;
  }
  // Latin Extended-A pairs its letters capital first, on even code points in
  // two runs and on odd ones in the two runs between; U+0130, U+0131, U+0138,
  // U+0149 and U+017F have no simple partner.
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return (c % 2 == 0) ? c + 1 : c;
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
    return (c % 2 == 1) ? c + 1 : c;
  }
  switch (c) {
    case 0x178:
      return 0xFF;  // Y with diaeresis
    case 0x386:
      return 0x3AC;
    case 0x388:
    case 0x389:
    case 0x38A:
      return c + 37;
    case 0x38C:
      return 0x3CC;
    case 0x38E:
    case 0x38F:
      return c + 63;
    case 0x3C2:
      return 0x3C3;  // final sigma compares as sigma
    default:
      return c;
  }
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      out += AsciiLower(text[i]);
      ++i;
      continue;
    }
    // Only two-byte sequences (U+0080 to U+07FF) hold letters that fold; any
    // other byte, valid or not, is copied unchanged.
    if (byte >= 0xC2 && byte <= 0xDF && i + 1 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      char32_t c = ((byte & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
      AppendUtf8(out, SmallLetter(c));
      i += 2;
      continue;
    }
    out += text[i];
    ++i;
  }
  return out;
}

class ContactFilter::Parser {
 public:
  Parser(std::string_view text, ContactFilter& filter) : s_(text), filter_(filter) {}

  void ParseAll() {
    filter_.root_ = ParseOr(0);
    SkipBlanks();
    if (pos_ < s_.size()) {
      if (s_[pos_] == ')') {
        Fail("a closing parenthesis without an opening one", pos_);
      }
      Fail("\"and\" or \"or\" expected before further text", pos_);
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& what, size_t at) const {
    throw ContactsError("Malformed contact filter \"" + std::string(s_) + "\": " + what +
                        " at position " + std::to_string(at + 1));
  }

  void SkipBlanks() {
    while (pos_ < s_.size() && IsBlank(s_[pos_])) {
      ++pos_;
    }
  }

  // Consumes `word` when it stands next, in any letter case, as a word of its
  // own ("andy" is not "and").
  bool Keyword(std::string_view word) {
    SkipBlanks();
    if (s_.size() - pos_ < word.size()) {
      return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
      if (AsciiLower(s_[pos_ + i]) != word[i]) {
        return false;
      }
    }
    const size_t end = pos_ + word.size();
    if (end < s_.size() && IsWordChar(s_[end])) {
      return false;
    }
    pos_ = end;
    return true;
  }

  size_t AddNode(Node node) {
    filter_.nodes_.push_back(std::move(node));
    return filter_.nodes_.size() - 1;
  }

  // A chain of `kind` joined by `word`; a parenthesised chain of the same kind
  // is merged into it, so evaluation walks lists rather than deep trees.
  template <typename ParsePart>
  size_t ParseChain(Node::Kind kind, std::string_view word, int depth, ParsePart parsePart) {
    const size_t first = parsePart(depth);
    if (!Keyword(word)) {
      return first;
    }
    Node chain;
    chain.kind = kind;
    auto add = [&](size_t part) {
      if (filter_.nodes_[part].kind == kind) {
        const std::vector<size_t> inner = filter_.nodes_[part].parts;
        chain.parts.insert(chain.parts.end(), inner.begin(), inner.end());
      } else {
        chain.parts.push_back(part);
      }
    };
    add(first);
    do {
      add(parsePart(depth));
    } while (Keyword(word));
    return AddNode(std::move(chain));
  }

  size_t ParseOr(int depth) {
    return ParseChain(Node::Kind::kOr, "or", depth, [this](int d) { return ParseAnd(d); });
  }

  size_t ParseAnd(int depth) {
    return ParseChain(Node::Kind::kAnd, "and", depth, [this](int d) { return ParsePrimary(d); });
  }

  size_t ParsePrimary(int depth) {
    SkipBlanks();
    if (pos_ >= s_.size()) {
      Fail("a term \"[Property] = 'value'\" is missing", pos_);
    }
    if (s_[pos_] == '(') {
      if (depth >= kMaxNesting) {
        Fail("parentheses nested deeper than " + std::to_string(kMaxNesting), pos_);
      }
      const size_t open = pos_++;
      const size_t inner = ParseOr(depth + 1);
      SkipBlanks();
      if (pos_ >= s_.size() || s_[pos_] != ')') {
        Fail("the parenthesis opened at position " + std::to_string(open + 1) + " is not closed",
             pos_);
      }
      ++pos_;
      return inner;
    }
    if (s_[pos_] == '[') {
      return ParseTerm();
    }
    Fail("a term \"[Property] = 'value'\" expected", pos_);
  }

  size_t ParseTerm() {
    const size_t open = pos_++;
    const size_t close = s_.find(']', pos_);
    if (close == std::string_view::npos) {
      Fail("the bracket opened at position " + std::to_string(open + 1) + " is not closed", open);
    }
    const std::string_view name = s_.substr(pos_, close - pos_);
    const auto property = PropertyNamed(name);
    if (!property) {
      throw ContactsError("Unknown property [" + std::string(name) + "] in contact filter \"" +
                          std::string(s_) + "\"");
    }
    pos_ = close + 1;
    SkipBlanks();
    if (pos_ >= s_.size() || s_[pos_] != '=') {
      Fail("\"=\" expected after [" + std::string(name) + "]", pos_);
    }
    ++pos_;
    SkipBlanks();
    if (pos_ >= s_.size() || s_[pos_] != '\'') {
      Fail("a value in single quotes expected", pos_);
    }
    const size_t quote = pos_++;
    std::string value;
    for (;;) {
      const size_t next = s_.find('\'', pos_);
      if (next == std::string_view::npos) {
        Fail("the quote opened at position " + std::to_string(quote + 1) + " is not closed", quote);
      }
      value.append(s_.substr(pos_, next - pos_));
      if (next + 1 < s_.size() && s_[next + 1] == '\'') {
        value += '\'';
        pos_ = next + 2;
        continue;
      }
      pos_ = next + 1;
      break;
    }
    filter_.terms_.push_back(FilterTerm{*property, std::move(value)});
    Node node;
    node.kind = Node::Kind::kTerm;
    node.term = filter_.terms_.size() - 1;
    return AddNode(std::move(node));
  }

  std::string_view s_;
  size_t pos_ = 0;
  ContactFilter& filter_;
};

ContactFilter ContactFilter::Parse(std::string_view text) {
  ContactFilter filter;
  filter.text_ = std::string(text);
  Parser(filter.text_, filter).ParseAll();
  for (const FilterTerm& term : filter.terms_) {
    filter.folded_.push_back(FoldCase(term.value));
  }
  const Node& root = filter.nodes_[filter.root_];
  if (root.kind == Node::Kind::kTerm) {
    filter.required_.push_back(filter.terms_[root.term]);
  } else if (root.kind == Node::Kind::kAnd) {
    for (size_t part : root.parts) {
      if (filter.nodes_[part].kind == Node::Kind::kTerm) {
        filter.required_.push_back(filter.terms_[filter.nodes_[part].term]);
      }
    }
  }
  return filter;
}

bool ContactFilter::Matches(const PropertyReader& read) const {
  // -1 unknown, 0 no, 1 yes: each term is tested at most once per item.
  std::vector<int> cache(terms_.size(), -1);
  return Evaluate(root_, read, cache);
}

bool ContactFilter::Evaluate(size_t index, const PropertyReader& read,
                             std::vector<int>& cache) const {
  const Node& node = nodes_[index];
  switch (node.kind) {
    case Node::Kind::kTerm: {
      int& known = cache[node.term];
      if (known < 0) {
        const FilterTerm& term = terms_[node.term];
        known = FoldCase(read(term.property)) == folded_[node.term] ? 1 : 0;
      }
      return known == 1;
    }
    case Node::Kind::kAnd:
      for (size_t part : node.parts) {
        if (!Evaluate(part, read, cache)) {
          return false;
        }
      }
      return true;
    case Node::Kind::kOr:
      for (size_t part : node.parts) {
        if (Evaluate(part, read, cache)) {
          return true;
        }
      }
      return false;
  }
  return false;
}

}  // namespace twinbook
