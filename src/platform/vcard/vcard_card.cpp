#include "platform/vcard/vcard_card.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "platform/vcard/vcard_text.h"

namespace twinbook::vcard {

namespace {

struct PhysicalLine {
  std::string_view text;
  int number;
};

// Most lines are one physical line and stay a view of the card's bytes;
// only a line that continues is copied, to join its parts.
class LogicalLine {
 public:
  LogicalLine(std::string_view text, int number) : view_(text), number_(number) {}

  std::string_view Text() const { return joined_ ? std::string_view(*joined_) : view_; }
  int Number() const { return number_; }

  void Append(std::string_view more) {
    if (!joined_) {
      joined_ = std::string(view_);
    }
    joined_->append(more);
  }
  void DropLast() {
    if (joined_) {
      joined_->pop_back();
    } else {
      view_.remove_suffix(1);
    }
  }

 private:
  std::string_view view_;
  std::optional<std::string> joined_;
  int number_;  // of its first physical line
};

// CR LF, LF and a lone CR all end a line: files pass through many hands.
std::vector<PhysicalLine> SplitPhysicalLines(std::string_view bytes) {
  std::vector<PhysicalLine> lines;
  // Sized once: growing it line by line costs a folder of cards thousands
  // of allocations.
  lines.reserve(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
  size_t start = 0;
  int number = 1;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' || bytes[i] == '\r') {
      lines.push_back({bytes.substr(start, i - start), number++});
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        ++i;
      }
      start = i + 1;
    }
  }
  if (start < bytes.size()) {
    lines.push_back({bytes.substr(start), number});
  }
  return lines;
}

// Blank lines, and lines of nothing but control characters (a DOS end-of-file
// mark, stray NULs), separate nothing and say nothing.
bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

bool IsFoldBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsFoldBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsFoldBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// The part of a line before its value: up to the first colon outside double
// quotes (or the first colon at all, when quotes never close).
std::string_view HeaderOf(std::string_view line) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      quoted = !quoted;
    } else if (line[i] == ':' && !quoted) {
      return line.substr(0, i);
    }
  }
  const size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

// Calls `part` with each piece of `text` split at `separator` outside double
// quotes (everywhere, when honourQuotes is false), in order, until it returns
// false. Returns false when `part` stopped it. Every line of every card is
// split so: no list of the pieces is made.
template <typename Part>
bool ForEachPart(std::string_view text, char separator, bool honourQuotes, Part part) {
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"' && honourQuotes) {
      quoted = !quoted;
    } else if (text[i] == separator && !quoted) {
      if (!part(text.substr(start, i - start))) {
        return false;
      }
      start = i + 1;
    }
  }
  return part(text.substr(start));
}

// Whether the header declares the encoding `upper` (QUOTED-PRINTABLE or
// BASE64), as "ENCODING=..." or as 2.1's bare word. A quoted parameter value
// that holds such text declares nothing, as the line is read (quotes count
// when they close before the value, see ParseContentLine).
bool DeclaresEncoding(std::string_view header, std::string_view upper) {
  const bool honourQuotes = std::count(header.begin(), header.end(), '"') % 2 == 0;
  bool name = true;  // the first piece is the property's name
  return !ForEachPart(header, ';', honourQuotes, [&](std::string_view piece) {
    if (std::exchange(name, false)) {
      return true;
    }
    std::string_view token = Trim(piece);
    const size_t equals = token.find('=');
    if (equals != std::string_view::npos) {
      if (EqualsIgnoringCase(Trim(token.substr(0, equals)), "ENCODING")) {
        token = Trim(token.substr(equals + 1));
      } else {
        token = {};
      }
    }
    return !EqualsIgnoringCase(token, upper) &&
           !(upper == "BASE64" && EqualsIgnoringCase(token, "B"));
  });
}

bool IsBase64Text(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=' || IsFoldBlank(c);
  });
}

bool IsEndLine(std::string_view text) {
  return text.size() >= 4 && EqualsIgnoringCase(text.substr(0, 4), "END:");
}

Line ReadLine(std::string_view text);

// Whether the card says it is 2.1, before its lines are known: its first
// VERSION line of its own, as Parse takes the version. Any other card,
// written again, is read as it was; a 2.1 card is written as 3.0. A line
// that starts with a blank continues another and says nothing.
bool DeclaresVersion21(const std::vector<PhysicalLine>& physical) {
  for (const PhysicalLine& line : physical) {
    if (line.text.empty() || IsFoldBlank(line.text.front())) {
      continue;
    }
    const auto start = std::find_if(line.text.begin(), line.text.end(),
                                    [](char c) { return static_cast<unsigned char>(c) > ' '; });
    const Line read = ReadLine(line.text.substr(static_cast<size_t>(start - line.text.begin())));
    if (!read.opaque && read.group.empty() && read.Is("VERSION")) {
      return Trim(read.value) == "2.1";
    }
  }
  return false;
}

// Joins physical lines into logical ones. Besides the folding of every
// version (a line starting with a blank continues the previous one, the
// blank removed), 2.1 writers continue lines in two more ways: a
// quoted-printable value ending in "=" goes on in the next line, which starts
// without a blank (seen in other versions too, so taken from any), and base64
// data may go on in lines without a blank up to an empty line.
std::vector<LogicalLine> Unfold(const std::vector<PhysicalLine>& physical, bool version21) {
  std::vector<LogicalLine> logical;
  logical.reserve(physical.size());
  bool open = false;  // whether logical.back() may still grow
  for (const PhysicalLine& line : physical) {
    if (open) {
      LogicalLine& current = logical.back();
      const std::string_view text = current.Text();
      // Only a property line has an encoding: a line that is none is kept as
      // it stands and written so, folded, and a fold may well end in "=".
      if (!text.empty() && text.back() == '=' && !IsBlank(line.text) && !IsEndLine(line.text) &&
          DeclaresEncoding(HeaderOf(text), "QUOTED-PRINTABLE") && !ReadLine(text).opaque) {
        current.DropLast();
        current.Append(line.text);
        continue;
      }
      if (!line.text.empty() && IsFoldBlank(line.text.front())) {
        current.Append(line.text.substr(1));
        continue;
      }
      if (IsBlank(line.text)) {
        open = false;
        continue;
      }
      if (version21 && IsBase64Text(line.text) && DeclaresEncoding(HeaderOf(text), "BASE64")) {
        current.Append(line.text);
        continue;
      }
    } else if (IsBlank(line.text)) {
      continue;
    }
    // A blank at the start of a line that continues nothing is no fold; kept,
    // it would make the line a continuation once the card is written again.
    // Control characters there go too: a line whose first 75 octets are all
    // control characters would be written with a first physical line that
    // reads as a blank one.
    const auto start = static_cast<size_t>(
        std::find_if(line.text.begin(), line.text.end(),
                     [](char c) { return static_cast<unsigned char>(c) > ' '; }) -
        line.text.begin());
    logical.emplace_back(line.text.substr(start), line.number);
    open = true;
  }
  // A soft line break with nothing after it means nothing, and kept it would
  // take in the next line once the card is written again.
  for (LogicalLine& line : logical) {
    while (!line.Text().empty() && line.Text().back() == '=' &&
           DeclaresEncoding(HeaderOf(line.Text()), "QUOTED-PRINTABLE")) {
      line.DropLast();
    }
  }
  return logical;
}

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

bool IsName(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsNameChar);
}

std::string Unquoted(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  // Neither a double quote nor a control character can be written in a
  // parameter value; a value that holds one anyway reads without it.
  std::string out;
  for (char c : value) {
    if (c != '"' && (static_cast<unsigned char>(c) >= ' ' || c == '\t') && c != 0x7F) {
      out += c;
    }
  }
  // Parameter values are text like property values, and come out as UTF-8
  // the same way.
  return TextToUtf8(out, "");
}

// Reads "[group.]name[;param...]:value". False when the text is no such line.
bool ParseContentLine(std::string_view text, bool honourQuotes, Line& line) {
  bool quoted = false;
  size_t colon = std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"' && honourQuotes) {
      quoted = !quoted;
    } else if (text[i] == ':' && !quoted) {
      colon = i;
      break;
    }
  }
  if (colon == std::string_view::npos) {
    return false;
  }
  bool first = true;
  size_t bareTypes = std::string::npos;  // where 2.1's bare words are gathered
  auto readPiece = [&](std::string_view piece) {
    if (std::exchange(first, false)) {
      const std::string_view fullName = Trim(piece);
      const size_t dot = fullName.rfind('.');
      const std::string_view group =
          dot == std::string_view::npos ? std::string_view() : fullName.substr(0, dot);
      const std::string_view name =
          dot == std::string_view::npos ? fullName : fullName.substr(dot + 1);
      if (!IsName(name) || (dot != std::string_view::npos && !IsName(group))) {
        return false;
      }
      line.group = std::string(group);
      line.name = std::string(name);
      line.params.clear();
      return true;
    }
    const std::string_view token = Trim(piece);
    if (token.empty()) {
      return true;
    }
    const size_t equals = token.find('=');
    if (equals == std::string_view::npos || (honourQuotes && token.find('"') < equals)) {
      if (bareTypes == std::string::npos) {
        bareTypes = line.params.size();
        line.params.push_back(Param{"TYPE", {}});
      }
      line.params[bareTypes].values.push_back(Unquoted(token));
      return true;
    }
    Param param;
    param.name = std::string(Trim(token.substr(0, equals)));
    if (!IsName(param.name)) {
      return false;
    }
    ForEachPart(token.substr(equals + 1), ',', honourQuotes, [&](std::string_view value) {
      param.values.push_back(Unquoted(value));
      return true;
    });
    line.params.push_back(std::move(param));
    return true;
  };
  if (!ForEachPart(text.substr(0, colon), ';', honourQuotes, readPiece)) {
    return false;
  }
  line.value = std::string(text.substr(colon + 1));
  line.opaque = false;
  return true;
}

// The line read from `text`. An opaque line keeps the text as `original`;
// a property line gets none here (see Parse).
Line ReadLine(std::string_view text) {
  Line line;
  if (!ParseContentLine(text, true, line) && !ParseContentLine(text, false, line)) {
    line = Line{};
    line.original = std::string(text);
    line.opaque = true;
  }
  return line;
}

bool IsLine(const Line& line, std::string_view upperName, std::string_view upperValue) {
  return !line.opaque && line.group.empty() && line.Is(upperName) &&
         EqualsIgnoringCase(Trim(line.value), upperValue);
}

// In 2.1 a backslash escapes only what would otherwise separate, and commas
// and line ends are plain text. The 3.0 form escapes every backslash, comma,
// semicolon and line end, except the semicolons that separate the parts of
// structured values and the commas that separate list items.
std::string From21(std::string_view text, const Line& line) {
  std::string plain;
  if (line.Is("N") || line.Is("ADR") || line.Is("ORG")) {
    plain += ';';
  }
  if (line.Is("CATEGORIES") || line.Is("NICKNAME")) {
    plain += ',';
  }
  std::string out;
  out.reserve(text.size() + 8);
  size_t start = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const char next = text[i + 1];
    if (text[i] == '\\' && (next == ';' || next == ',' || next == '\\' || next == ':')) {
      out += EscapeText(text.substr(start, i - start), plain);
      out += next == ':' ? std::string(":") : std::string("\\") + next;
      start = i + 2;
      ++i;
    }
  }
  out += EscapeText(text.substr(start), plain);
  return out;
}

std::string EscapeLineEnds(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
      out += "\\n";
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string WithoutBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (static_cast<unsigned char>(c) > ' ') {
      out += c;
    }
  }
  return out;
}

void RemoveEmptyParams(Line& line) {
  std::erase_if(line.params, [](const Param& p) {
    return p.values.empty() && EqualsIgnoringCase(p.name, "TYPE");
  });
}

// Brings a line's value and parameters into the 3.0 form (see Line::value).
// False when the line must be written from that form even where it could
// be written as it stood.
bool Normalize(Line& line, Version version) {
  bool quotedPrintable = false;
  bool base64 = false;
  std::string charset;
  auto isEncodingWord = [](std::string_view v) {
    return EqualsIgnoringCase(v, "QUOTED-PRINTABLE") || EqualsIgnoringCase(v, "BASE64") ||
           EqualsIgnoringCase(v, "B") || EqualsIgnoringCase(v, "8BIT") ||
           EqualsIgnoringCase(v, "7BIT");
  };
  auto note = [&](std::string_view v) {
    if (EqualsIgnoringCase(v, "QUOTED-PRINTABLE")) {
      quotedPrintable = true;
    } else if (EqualsIgnoringCase(v, "BASE64") || EqualsIgnoringCase(v, "B")) {
      base64 = true;
    }
  };
  for (auto it = line.params.begin(); it != line.params.end();) {
    if (EqualsIgnoringCase(it->name, "ENCODING")) {
      for (const std::string& v : it->values) {
        note(v);
      }
      it = line.params.erase(it);
    } else if (EqualsIgnoringCase(it->name, "CHARSET")) {
      if (!it->values.empty()) {
        charset = it->values.front();
      }
      it = line.params.erase(it);
    } else {
      if (EqualsIgnoringCase(it->name, "TYPE")) {
        for (const std::string& v : it->values) {
          note(v);
        }
        std::erase_if(it->values, isEncodingWord);
      } else if (version == Version::k21 && EqualsIgnoringCase(it->name, "VALUE")) {
        for (std::string& v : it->values) {
          if (EqualsIgnoringCase(v, "URL")) {
            v = "uri";
          }
        }
      }
      ++it;
    }
  }
  RemoveEmptyParams(line);
  if (base64) {
    // Base64 is ASCII; a stray byte in it is damage, but the value is still
    // text of the card and written as UTF-8 like any other.
    line.value = TextToUtf8(WithoutBlanks(line.value), "");
    line.params.push_back(Param{"ENCODING", {"b"}});
    return true;
  }
  if (!quotedPrintable && version != Version::k21 && charset.empty() && IsValidUtf8(line.value)) {
    // What follows would leave such a value as it is, after two copies of
    // it: most lines of most cards are like this.
    return true;
  }
  const std::string bytes = quotedPrintable ? DecodeQuotedPrintable(line.value) : line.value;
  const std::string text = TextToUtf8(bytes, charset);
  if (version == Version::k21) {
    line.value = From21(text, line);
  } else {
    line.value = quotedPrintable ? EscapeLineEnds(text) : text;
  }
  // Written in its 3.0 form even in a 3.0 or 4.0 card, which has no
  // quoted-printable: as it stood, a run of "=" longer than a line would be
  // folded into lines that end in "=", which read as soft line breaks.
  return !quotedPrintable;
}

bool NeedsQuotes(std::string_view value) {
  return value.find_first_of(";:,") != std::string_view::npos ||
         (!value.empty() && (IsFoldBlank(value.front()) || IsFoldBlank(value.back())));
}

// A parameter value as it can be written: without double quotes and
// control characters, which parameter values cannot hold (see CaretEncode).
// Only a value holding one of them needs a copy.
std::string_view WritableParamValue(const std::string& value, std::string& copy) {
  auto unwritable = [](char c) {
    return c == '"' || (static_cast<unsigned char>(c) < ' ' && c != '\t') || c == 0x7F;
  };
  if (std::none_of(value.begin(), value.end(), unwritable)) {
    return value;
  }
  copy.clear();
  for (char c : value) {
    if (!unwritable(c)) {
      copy += c;
    }
  }
  return copy;
}

// Writes the line before folding into `out`, which takes string_views.
template <typename Out>
void RenderLineTo(const Line& line, Out& out) {
  std::string copy;
  if (!line.group.empty()) {
    out(line.group);
    out(".");
  }
  out(line.name);
  for (const Param& param : line.params) {
    out(";");
    out(param.name);
    out("=");
    for (size_t i = 0; i < param.values.size(); ++i) {
      if (i > 0) {
        out(",");
      }
      const std::string_view value = WritableParamValue(param.values[i], copy);
      if (NeedsQuotes(value)) {
        out("\"");
        out(value);
        out("\"");
      } else {
        out(value);
      }
    }
  }
  out(":");
  out(line.value);
}

// Whether the line as RenderLine writes it is exactly `text`; found without
// writing it.
bool RendersAs(const Line& line, std::string_view text) {
  bool same = true;
  auto match = [&](std::string_view part) {
    if (same && text.substr(0, part.size()) == part) {
      text.remove_prefix(part.size());
    } else {
      same = false;
    }
  };
  RenderLineTo(line, match);
  return same && text.empty();
}

}  // namespace

bool Line::Is(std::string_view upperName) const {
  return EqualsIgnoringCase(name, upperName);
}

const Param* Line::FindParam(std::string_view upperName) const {
  for (const Param& param : params) {
    if (EqualsIgnoringCase(param.name, upperName)) {
      return &param;
    }
  }
  return nullptr;
}

Param* Line::FindParam(std::string_view upperName) {
  return const_cast<Param*>(std::as_const(*this).FindParam(upperName));
}

void Line::RemoveParam(std::string_view upperName) {
  std::erase_if(params, [&](const Param& p) { return EqualsIgnoringCase(p.name, upperName); });
}

bool Line::HasType(std::string_view upperType) const {
  for (const Param& param : params) {
    if (!EqualsIgnoringCase(param.name, "TYPE")) {
      continue;
    }
    for (const std::string& value : param.values) {
      const bool found = !ForEachPart(value, ',', false, [&](std::string_view type) {
        return !EqualsIgnoringCase(Trim(type), upperType);
      });
      if (found) {
        return true;
      }
    }
  }
  return false;
}

std::vector<std::string_view> TypeWords(std::string_view value) {
  std::vector<std::string_view> words;
  ForEachPart(value, ',', false, [&](std::string_view part) {
    if (const std::string_view word = Trim(part); !word.empty()) {
      words.push_back(word);
    }
    return true;
  });
  return words;
}

const Line* Card::First(std::string_view upperName) const {
  for (const Line& line : lines) {
    if (!line.opaque && line.Is(upperName)) {
      return &line;
    }
  }
  return nullptr;
}

Line* Card::First(std::string_view upperName) {
  return const_cast<Line*>(std::as_const(*this).First(upperName));
}

namespace {

// Whether the logical line `text` is BEGIN:VCARD or END:VCARD (`upperName`
// BEGIN or END) as read. Only a line that starts with the name can be one,
// and only such a line is read.
bool IsCardMark(std::string_view text, std::string_view upperName) {
  return text.size() > upperName.size() &&
         EqualsIgnoringCase(text.substr(0, upperName.size()), upperName) &&
         IsLine(ReadLine(text), upperName, "VCARD");
}

// The logical lines of the one card `bytes` hold, from BEGIN:VCARD to
// END:VCARD; throws SyntaxError as Parse says.
std::vector<LogicalLine> CardLines(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bytes.remove_prefix(3);
  }
  if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
    throw SyntaxError("UTF-16 text, which is not read; save the card as UTF-8");
  }
  const std::vector<PhysicalLine> physical = SplitPhysicalLines(bytes);
  std::vector<LogicalLine> logical = Unfold(physical, DeclaresVersion21(physical));
  if (logical.empty()) {
    throw SyntaxError("no vCard: the file is empty");
  }
  if (!IsCardMark(logical.front().Text(), "BEGIN")) {
    throw SyntaxError("no vCard: line " + std::to_string(logical.front().Number()) +
                      " is not BEGIN:VCARD");
  }
  size_t k = 1;
  bool ended = false;
  for (; k < logical.size(); ++k) {
    if (IsCardMark(logical[k].Text(), "END")) {
      ended = true;
      ++k;
      break;
    }
    if (IsCardMark(logical[k].Text(), "BEGIN")) {
      throw SyntaxError("line " + std::to_string(logical[k].Number()) +
                        ": a card begins inside another card (an embedded card, or END:VCARD "
                        "missing)");
    }
  }
  if (!ended) {
    throw SyntaxError("the card that begins at line " + std::to_string(logical.front().Number()) +
                      " has no END:VCARD");
  }
  if (k < logical.size()) {
    if (IsCardMark(logical[k].Text(), "BEGIN")) {
      throw SyntaxError("more than one card (another begins at line " +
                        std::to_string(logical[k].Number()) + ")");
    }
    throw SyntaxError("line " + std::to_string(logical[k].Number()) + ": text after END:VCARD");
  }
  return logical;
}

}  // namespace

void CheckParses(std::string_view bytes) {
  CardLines(bytes);
}

Card Parse(std::string_view bytes) {
  const std::vector<LogicalLine> logical = CardLines(bytes);
  Card card;
  // A folder keeps thousands of cards: no room to spare in each.
  card.lines.reserve(logical.size() - 2);
  for (size_t k = 1; k + 1 < logical.size(); ++k) {
    card.lines.push_back(ReadLine(logical[k].Text()));
  }
  // A grouped line ("a.VERSION") is no VERSION property: conversion to 3.0
  // leaves it alone, so counted here it would make the saved card 2.1 again.
  const auto version = std::find_if(card.lines.begin(), card.lines.end(), [](const Line& line) {
    return !line.opaque && line.group.empty() && line.Is("VERSION");
  });
  if (version != card.lines.end()) {
    const std::string_view v = Trim(version->value);
    card.version = v == "2.1" ? Version::k21 : v == "4.0" ? Version::k40 : Version::k30;
  }
  for (size_t i = 0; i < card.lines.size(); ++i) {
    Line& line = card.lines[i];
    if (line.opaque) {
      continue;
    }
    const std::string_view original = logical[i + 1].Text();  // after BEGIN:VCARD
    // The original text is kept only where writing the line from its
    // fields would change it: a folder holds thousands of cards, and most
    // lines are written the way this program writes them. A 2.1 card is
    // always written from the fields (ConvertTo30).
    if (Normalize(line, card.version) && card.version != Version::k21 &&
        !RendersAs(line, original)) {
      line.original = std::string(original);
    }
  }
  return card;
}

void ConvertTo30(Card& card) {
  if (card.version != Version::k21) {
    return;
  }
  for (Line& line : card.lines) {
    if (line.opaque) {
      continue;
    }
    line.original.clear();
    if (line.group.empty() && line.Is("VERSION")) {
      line.value = "3.0";
    }
  }
  card.version = Version::k30;
}

std::string RenderLine(const Line& line) {
  std::string out;
  auto append = [&](std::string_view part) { out.append(part); };
  RenderLineTo(line, append);
  return out;
}

std::string Write(const Card& card) {
  if (card.version == Version::k21) {
    Card converted = card;
    ConvertTo30(converted);
    return Write(converted);
  }
  std::string out = "BEGIN:VCARD\r\n";
  for (const Line& line : card.lines) {
    if (line.original.empty() || IsValidUtf8(line.original)) {
      AppendFolded(out,
                   line.opaque || !line.original.empty() ? line.original.str() : RenderLine(line));
    } else {
      // A line kept as it stood can hold bytes that are no UTF-8, which the
      // reader took for Windows-1252; a card is written in UTF-8 throughout,
      // so such a line is written as it was read.
      AppendFolded(out, line.opaque ? TextToUtf8(line.original, "") : RenderLine(line));
    }
  }
  out += "END:VCARD\r\n";
  return out;
}

}  // namespace twinbook::vcard
