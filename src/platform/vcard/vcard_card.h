#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// One vCard as a list of its content lines, read from and written to bytes.
// Independent of files, so that any bytes can be fed to the reader.
namespace twinbook::vcard {

// A parameter of a content line. 2.1's bare parameters ("TEL;CELL;VOICE")
// are filed as values of a TYPE parameter of their own, one per bare word.
struct Param {
  std::string name;                 // as written
  std::vector<std::string> values;  // without quotes, split at unquoted commas

  bool operator==(const Param&) const = default;
};

// A text that is empty in nearly every line: an empty one costs a pointer
// instead of a whole string, in each of the thousands of lines a folder
// keeps. Copies are deep; it reads as the text it holds, "" when empty.
class RareText {
 public:
  RareText() = default;
  // Not explicit: set and read like the string it stands for.
  RareText(std::string text) { *this = std::move(text); }
  RareText(const char* text) : RareText(std::string(text)) {}
  RareText(const RareText& other) { *this = other; }
  RareText(RareText&&) noexcept = default;
  RareText& operator=(const RareText& other) {
    if (this != &other) {
      text_ = other.text_ ? std::make_unique<std::string>(*other.text_) : nullptr;
    }
    return *this;
  }
  RareText& operator=(RareText&&) noexcept = default;
  RareText& operator=(std::string text) {
    text_ = text.empty() ? nullptr : std::make_unique<std::string>(std::move(text));
    return *this;
  }

  bool empty() const { return !text_; }
  void clear() { text_.reset(); }  // frees the text
  const std::string& str() const { return text_ ? *text_ : Empty(); }
  operator const std::string&() const { return str(); }
  operator std::string_view() const { return str(); }

  bool operator==(const RareText& other) const { return str() == other.str(); }

 private:
  static const std::string& Empty() {
    static const std::string empty;
    return empty;
  }

  std::unique_ptr<std::string> text_;
};

struct Line {
  RareText group;    // "item1" of "item1.TEL", else empty
  std::string name;  // as written
  std::vector<Param> params;
  // The value in vCard 3.0 form: UTF-8, 3.0 backslash escapes, no
  // quoted-printable, binary data as base64 without blanks. The parameters
  // above match this form (no CHARSET; ENCODING=b for base64).
  std::string value;
  // The line as it stood in the file, unfolded. A 3.0 or 4.0 card writes a
  // line it did not change with exactly these bytes; empty for a line made
  // or changed here, which is written from the fields above, and for a line
  // read whose fields write it as it stood (RenderLine), so that cards
  // written as this program writes them keep no second copy of each line.
  RareText original;
  // A line that is no property line ("name:value"): kept as it stood, never
  // interpreted.
  bool opaque = false;
  // Made or changed by this program since the card was read. Not the same
  // as an empty `original`, which a read line also has when it renders as
  // it stood.
  bool edited = false;

  bool Is(std::string_view upperName) const;
  const Param* FindParam(std::string_view upperName) const;
  Param* FindParam(std::string_view upperName);
  void RemoveParam(std::string_view upperName);
  // Whether any TYPE value (comma lists and repeated TYPE parameters
  // included) equals `upperType` without regard to letter case.
  bool HasType(std::string_view upperType) const;

  bool operator==(const Line&) const = default;
};

// The words of one TYPE value, which may itself be a comma list (2.1's bare
// "PREF,", a quoted "home,x400"): the words HasType compares, without the
// blanks around them, empty ones left out.
std::vector<std::string_view> TypeWords(std::string_view value);

enum class Version { k21, k30, k40 };

struct Card {
  // The version the card was read as. Cards are written as 3.0, except that
  // a 4.0 card stays 4.0: its unchanged lines may use 4.0 forms that a 3.0
  // label would misdescribe.
  Version version = Version::k30;
  // Every line between BEGIN:VCARD and END:VCARD, VERSION included, in the
  // card's order.
  std::vector<Line> lines;

  const Line* First(std::string_view upperName) const;
  Line* First(std::string_view upperName);

  bool operator==(const Card&) const = default;
};

// Why bytes could not be read as one vCard; the message says what and, where
// it helps, the line number.
class SyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads exactly one card from `bytes`: versions 2.1, 3.0 and 4.0 as real
// programs write them (see vcard_card.cpp). Throws SyntaxError when the bytes
// are no vCard, hold more than one card, or end inside the card. Values of
// any character set come out as valid UTF-8 (vcard_text.h).
Card Parse(std::string_view bytes);

// Throws the SyntaxError Parse would throw for `bytes`, and otherwise
// returns, without making the card: a fraction of the work, for bytes
// that are kept to be parsed later.
void CheckParses(std::string_view bytes);

// Re-encodes a 2.1 card as 3.0: every line is written from its 3.0 form, and
// VERSION says 3.0. Other cards are left alone.
void ConvertTo30(Card& card);

// The card as bytes: BEGIN:VCARD, its lines, END:VCARD, each folded at 75
// octets and ended by CR LF. A 2.1 card is written as ConvertTo30 makes it.
std::string Write(const Card& card);

// A line as written before folding: group, name, parameters (quoted where
// needed), ":" and value.
std::string RenderLine(const Line& line);

}  // namespace twinbook::vcard
