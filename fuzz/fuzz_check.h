#pragma once

// The properties the fuzz targets check, shared with the test that replays
// past findings. A broken one prints what broke and throws InvariantBroken,
// which aborts a fuzz run so that libFuzzer keeps the input.
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "platform/vcard/vcard_card.h"
#include "platform/vcard/vcard_mapping.h"
#include "platform/vcard/vcard_text.h"

namespace twinbook::fuzz {

struct InvariantBroken : std::logic_error {
  using std::logic_error::logic_error;
};

inline std::string Shown(std::string_view text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += c < 0x20 || c >= 0x7F || c == '"' || c == '\\' ? hex : std::string(1, c);
  }
  return out + "\"";
}

[[noreturn]] inline void Fail(const std::string& message) {
  throw std::fprintf(stderr, "INVARIANT BROKEN: %s\n", message.c_str()), InvariantBroken(message);
}

#define TWINBOOK_REQUIRE(holds, message) ((holds) ? void() : ::twinbook::fuzz::Fail(message))

// vCards: reading fails only with SyntaxError, the same one when a card is
// only checked (as a folder does on opening), and gives UTF-8. A saved card
// is UTF-8 in CR LF lines of at most 75 octets, holds VERSION, UID, FN and N,
// reads back the same and is saved again byte for byte. Writing a property's
// own value changes nothing; a written value reads back (where kept exactly)
// and changes no property but those derived from it.
using vcard::Card;
using P = ContactProperty;

inline std::vector<std::string> Reading(const Card& card) {
  std::vector<std::string> values = {vcard::CardTypeName(card), vcard::CardUid(card)};
  for (const P p : AllContactProperties())
    values.push_back(vcard::ReadProperty(card, p));
  return values;
}

inline std::string Saved(Card card, const char* uid) {  // as the contacts folder saves it
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
  for (const char* name : {"VERSION", "UID", "FN", "N"})
    TWINBOOK_REQUIRE(back.First(name), name + (" missing " + context));
  const auto after = Reading(back);
  TWINBOOK_REQUIRE(after[1] == (before[1].empty() ? "fuzz-uid" : before[1]), "UID " + context);
  for (size_t i = 2; i < after.size(); ++i)
    TWINBOOK_REQUIRE(before[i] == after[i], context + ": value " + std::to_string(i) + " was " +
                                                Shown(before[i]) + ", is " + Shown(after[i]));
  TWINBOOK_REQUIRE(Saved(back, "other-uid") == written, "saved again differently: " + context);
}

// Checks the card `input` holds, then writes to property i the text after the
// first colon of its line i + 1, and checks the result.
inline void CheckCard(const std::string& input) {
  std::string refusal;
  try {
    vcard::CheckParses(input);
  } catch (const vcard::SyntaxError& error) {
    refusal = error.what();
  }
  Card card;
  try {
    card = vcard::Parse(input);
  } catch (const vcard::SyntaxError& error) {
    TWINBOOK_REQUIRE(refusal == error.what(), "checking " + Shown(input) + " says " + refusal);
    return;
  }
  TWINBOOK_REQUIRE(refusal.empty(), "checking " + Shown(input) + " says " + refusal);
  auto current = Reading(card);
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
    // "" lets another line take its place; a "tel:" URI reads without its scheme.
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
