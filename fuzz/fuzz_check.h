#pragma once

// The properties the fuzz targets check, shared with the tests that replay
// the inputs of past findings (tests/platform/vcard/fuzz_regressions_test).
// A broken invariant prints what broke and throws InvariantBroken; uncaught in
// a fuzz target, that aborts the run so that libFuzzer keeps the input.
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/vcard/vcard_card.h"
#include "platform/vcard/vcard_mapping.h"
#include "platform/vcard/vcard_text.h"

namespace twinbook::fuzz {

struct InvariantBroken : std::logic_error {
  using std::logic_error::logic_error;
};

// The text with its control and non-ASCII bytes as \xNN.
inline std::string Shown(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    out +=
        byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\' ? std::string(hex) : std::string(1, c);
  }
  return out + "\"";
}

[[noreturn]] inline void Fail(const std::string& message) {
  std::fprintf(stderr, "INVARIANT BROKEN: %s\n", message.c_str());
  throw InvariantBroken(message);
}

// The message is built only when the invariant is broken.
#define TWINBOOK_REQUIRE(holds, message) \
  do {                                   \
    if (!(holds))                        \
      ::twinbook::fuzz::Fail(message);   \
  } while (false)

// --- The vCard reader, mapping and writer ----------------------------------
// Reading fails only with SyntaxError, and every property reads as UTF-8. A
// card saved as the contacts folder saves it is UTF-8 in CR LF lines of at
// most 75 octets, holds VERSION, UID, FN and N, reads back with the same
// properties and is written again byte for byte. Writing a property its own
// value changes nothing; a written value reads back (where the mapping keeps
// it exactly) and changes no property but those derived from it.
using vcard::Card;
using P = ContactProperty;

inline std::vector<std::string> Reading(const Card& card) {
  std::vector<std::string> values = {vcard::CardTypeName(card), vcard::CardUid(card)};
  for (const P p : AllContactProperties())
    values.push_back(vcard::ReadProperty(card, p));
  return values;
}

inline void RequireSame(const std::vector<std::string>& a, const std::vector<std::string>& b,
                        const std::string& what, size_t from = 0) {
  for (size_t i = from; i < a.size(); ++i) {
    TWINBOOK_REQUIRE(a[i] == b[i], what + ": value " + std::to_string(i) + " was " + Shown(a[i]) +
                                       ", is " + Shown(b[i]));
  }
}

inline std::string Saved(Card card, const char* uid) {
  vcard::PrepareForWriting(card, [uid] { return std::string(uid); });
  return vcard::Write(card);
}

inline void CheckSaved(const Card& card, const std::string& input) {
  const auto before = Reading(card);
  const std::string written = Saved(card, "fuzz-uid");
  const std::string context = "saving " + Shown(input) + " as " + Shown(written);
  TWINBOOK_REQUIRE(vcard::IsValidUtf8(written) && written.starts_with("BEGIN:VCARD\r\n") &&
                       written.ends_with("END:VCARD\r\n"),
                   context);
  for (size_t start = 0, end; start < written.size(); start = end + 2) {
    end = written.find("\r\n", start);
    const std::string_view line = std::string_view(written).substr(start, end - start);
    TWINBOOK_REQUIRE(end != std::string::npos && line.find_first_of("\r\n") == line.npos &&
                         line.size() <= 75 && vcard::IsValidUtf8(line),
                     "badly ended or folded line " + Shown(line) + " in " + context);
  }
  Card back;
  try {
    back = vcard::Parse(written);
  } catch (const vcard::SyntaxError& error) {
    Fail(std::string(error.what()) + " reading back " + context);
  }
  TWINBOOK_REQUIRE(std::any_of(back.lines.begin(), back.lines.end(),
                               [](const vcard::Line& l) {
                                 return !l.opaque && l.group.empty() && l.Is("VERSION");
                               }),
                   "no VERSION line " + context);
  for (const char* name : {"UID", "FN", "N"})
    TWINBOOK_REQUIRE(back.First(name), name + (" missing " + context));
  const auto after = Reading(back);
  TWINBOOK_REQUIRE(after[1] == (before[1].empty() ? "fuzz-uid" : before[1]), "UID " + context);
  RequireSame(before, after, context, 2);
  TWINBOOK_REQUIRE(Saved(back, "other-uid") == written, "saved again differently: " + context);
}

// Reads `input`; when it is a card, checks it, writes the values taken from
// its lines (the text after the first colon of line i + 1 goes to property i)
// and checks the result.
inline void CheckCard(const std::string& input) {
  Card card;
  try {
    card = vcard::Parse(input);
  } catch (const vcard::SyntaxError&) {
    return;
  }
  auto current = Reading(card);
  for (const std::string& value : current) {
    TWINBOOK_REQUIRE(vcard::IsValidUtf8(value),
                     "not UTF-8: " + Shown(value) + " in " + Shown(input));
  }
  CheckSaved(card, input);
  for (const P p : AllContactProperties()) {
    Card copy = card;
    TWINBOOK_REQUIRE(
        p == P::FileAs || !vcard::WriteProperty(copy, p, vcard::ReadProperty(card, p)),
        "writing its own value changes " + std::string(PropertyName(p)) + " in " + Shown(input));
  }
  std::vector<std::string> lines;
  for (size_t start = 0; start <= input.size() && lines.size() <= AllContactProperties().size();) {
    const size_t end = std::min(input.find('\n', start), input.size());
    std::string_view line = std::string_view(input).substr(start, end - start);
    line.remove_prefix(line.find(':') == line.npos ? 0 : line.find(':') + 1);
    std::string value = vcard::TextToUtf8(line, "");
    std::erase(value, '\r');  // a value cannot hold one: it becomes a line end
    lines.push_back(value);
    start = end + 1;
  }
  for (const P p : AllContactProperties()) {
    const size_t i = static_cast<size_t>(p);
    std::string value = i + 1 < lines.size() ? lines[i + 1] : "";
    if (p == P::Email1AddressType && !value.empty())
      value = "SMTP";  // all the program writes
    vcard::WriteProperty(card, p, value);
    const auto after = Reading(card);
    const std::string context =
        "writing " + Shown(value) + " to " + std::string(PropertyName(p)) + " in " + Shown(input);
    // "" removes a line, and another of its kind may take its place; the
    // e-mail type and display name read as the mapping keeps them; a phone
    // "tel:" URI reads without its scheme.
    const bool exact = p <= P::LastName ||
                       (!value.empty() && p != P::Email1AddressType && p != P::Email1DisplayName &&
                        !(p >= P::BusinessTelephoneNumber && p <= P::OtherTelephoneNumber &&
                          vcard::EqualsIgnoringCase(value.substr(0, 4), "TEL:")));
    TWINBOOK_REQUIRE(!exact || after[i + 2] == value, context + " reads " + Shown(after[i + 2]));
    for (size_t k = 0; k < after.size(); ++k) {
      const auto other = static_cast<P>(k < 2 ? 0 : k - 2);
      const bool derived = k >= 2 && (other == p || (p <= P::LastName && other == P::FileAs) ||
                                      (p == P::Email1Address && other >= P::Email1AddressType &&
                                       other <= P::Email1DisplayName));
      TWINBOOK_REQUIRE(derived || after[k] == current[k],
                       context + " changes value " + std::to_string(k));
    }
    current = after;
  }
  CheckSaved(card, input);
}

}  // namespace twinbook::fuzz
