// Feeds arbitrary bytes to the vCard reader and checks what the contacts
// folder relies on when it reads a card, changes it and writes it back:
//
//   - reading never fails other than with a SyntaxError, and every property
//     it maps reads as valid UTF-8;
//   - a card written (after PrepareForWriting, as the folder saves it) is
//     valid UTF-8 with CR LF line ends, folded into lines of at most 75
//     octets without splitting a character, holds VERSION, UID, FN and N,
//     reads back with the same property values, and is written again with
//     the same bytes (an unchanged item writes nothing);
//   - writing a property the value it reads changes nothing, a written value
//     reads back as written, and a write changes no property but the one
//     written and those derived from it (FileAs from N and FN, the e-mail
//     type and display name from the address line).
//
// The values written in the last part are taken from the input's lines, so
// that the fuzzer varies them together with the card (except the e-mail
// type, which the program only ever writes as "SMTP").
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/vcard/vcard_card.h"
#include "platform/vcard/vcard_mapping.h"
#include "platform/vcard/vcard_text.h"

namespace twinbook::vcard {
namespace {

using fuzz::Shown;
using P = ContactProperty;

constexpr std::array<P, 19> kProperties = {
    P::FullName,
    P::FirstName,
    P::LastName,
    P::NickName,
    P::FileAs,
    P::Email1Address,
    P::Email1AddressType,
    P::Email1DisplayName,
    P::BusinessTelephoneNumber,
    P::Business2TelephoneNumber,
    P::BusinessFaxNumber,
    P::HomeTelephoneNumber,
    P::MobileTelephoneNumber,
    P::PagerNumber,
    P::OtherTelephoneNumber,
    P::User1,
    P::User2,
    P::User3,
    P::User4,
};

constexpr char kNewUid[] = "fuzz-new-uid";

struct Reading {
  std::array<std::string, kProperties.size()> values;
  std::string typeName;
  std::string uid;
};

Reading Read(const Card& card) {
  Reading reading;
  for (size_t i = 0; i < kProperties.size(); ++i) {
    reading.values[i] = ReadProperty(card, kProperties[i]);
  }
  reading.typeName = CardTypeName(card);
  reading.uid = CardUid(card);
  return reading;
}

std::string Name(P property) {
  return std::string(PropertyName(property));
}

// The properties whose value may change when `written` is written.
bool MayChangeWith(P written, P other) {
  if (other == written) {
    return true;
  }
  switch (written) {
    case P::FullName:
    case P::FirstName:
    case P::LastName:
      return other == P::FileAs;
    case P::Email1Address:
      return other == P::Email1AddressType || other == P::Email1DisplayName;
    default:
      return false;
  }
}

// The properties that read exactly what was written, for a non-empty value
// and (second) for "". A written "" removes a line, and a further line of
// the same kind (a second NICKNAME, a second CELL number, a second EMAIL)
// then takes its place; FileAs falls back to N; the e-mail type is "SMTP"
// whenever there is an address, and the display name is a parameter value,
// which drops control characters.
bool ReadsAsWritten(P property, const std::string& value) {
  switch (property) {
    case P::FullName:
    case P::FirstName:
    case P::LastName:
      return true;
    case P::Email1AddressType:
    case P::Email1DisplayName:
      return false;
    case P::BusinessTelephoneNumber:
    case P::Business2TelephoneNumber:
    case P::BusinessFaxNumber:
    case P::HomeTelephoneNumber:
    case P::MobileTelephoneNumber:
    case P::PagerNumber:
    case P::OtherTelephoneNumber:
      // A number that starts with "tel:" reads as a tel: URI, whose scheme
      // is not part of the number.
      return !value.empty() &&
             !(value.size() >= 4 && EqualsIgnoringCase(value.substr(0, 4), "TEL:"));
    default:
      return !value.empty();
  }
}

void CheckWritten(std::string_view written, std::string_view input) {
  // Built only for a message: the checks run thousands of times a second.
  auto context = [&] { return Shown(written) + " written from input " + Shown(input); };
  TWINBOOK_REQUIRE(IsValidUtf8(written), "written card is not valid UTF-8: " + context());
  TWINBOOK_REQUIRE(written.starts_with("BEGIN:VCARD\r\n") && written.ends_with("END:VCARD\r\n"),
                   "written card is not framed by BEGIN:VCARD and END:VCARD: " + context());
  size_t start = 0;
  while (start < written.size()) {
    const size_t end = written.find("\r\n", start);
    TWINBOOK_REQUIRE(end != std::string_view::npos,
                     "written card does not end in CR LF: " + context());
    const std::string_view line = written.substr(start, end - start);
    TWINBOOK_REQUIRE(line.find_first_of("\r\n") == std::string_view::npos,
                     "written line holds a bare CR or LF " + Shown(line) + ": " + context());
    TWINBOOK_REQUIRE(line.size() <= 75,
                     "written line longer than 75 octets " + Shown(line) + ": " + context());
    TWINBOOK_REQUIRE(IsValidUtf8(line),
                     "a fold splits a character in line " + Shown(line) + ": " + context());
    start = end + 2;
  }
}

// `what` is the step and `written` the card written in it, if any.
void RequireSameReading(const Reading& expected, const Reading& actual, std::string_view what,
                        std::string_view written, bool sameUid, std::string_view input) {
  for (size_t i = 0; i < kProperties.size(); ++i) {
    TWINBOOK_REQUIRE(expected.values[i] == actual.values[i],
                     std::string(what) + ": " + Name(kProperties[i]) + " was " +
                         Shown(expected.values[i]) + ", is " + Shown(actual.values[i]) +
                         "; written " + Shown(written) + " from input " + Shown(input));
  }
  TWINBOOK_REQUIRE(expected.typeName == actual.typeName,
                   std::string(what) + ": type name was " + expected.typeName + ", is " +
                       actual.typeName + "; input " + Shown(input));
  if (sameUid) {
    TWINBOOK_REQUIRE(expected.uid == actual.uid, std::string(what) + ": UID was " +
                                                     Shown(expected.uid) + ", is " +
                                                     Shown(actual.uid) + "; input " + Shown(input));
  }
}

// Writes the card as the folder saves it, checks the bytes, reads them back
// and writes them once more.
void CheckRoundTrip(const Card& card, std::string_view input) {
  const Reading before = Read(card);
  Card prepared = card;
  PrepareForWriting(prepared, [] { return std::string(kNewUid); });
  const Reading ready = Read(prepared);
  RequireSameReading(before, ready, "preparing for writing", "", false, input);
  TWINBOOK_REQUIRE(ready.uid == (before.uid.empty() ? kNewUid : before.uid),
                   "preparing for writing: UID " + Shown(before.uid) + " became " +
                       Shown(ready.uid) + "; input " + Shown(input));

  const std::string written = Write(prepared);
  CheckWritten(written, input);
  Card reread;
  try {
    reread = Parse(written);
  } catch (const SyntaxError& error) {
    fuzz::Fail("a written card does not read: " + std::string(error.what()) + "; written " +
               Shown(written) + " from input " + Shown(input));
  }
  TWINBOOK_REQUIRE(std::any_of(reread.lines.begin(), reread.lines.end(),
                               [](const Line& line) {
                                 return !line.opaque && line.group.empty() && line.Is("VERSION");
                               }),
                   "written card has no VERSION line of its own: " + Shown(written));
  for (std::string_view name : {"UID", "FN", "N"}) {
    TWINBOOK_REQUIRE(reread.First(name) != nullptr,
                     "written card has no " + std::string(name) + ": " + Shown(written));
  }
  RequireSameReading(ready, Read(reread), "reading the written card", written, true, input);

  Card again = reread;
  PrepareForWriting(again, [] { return std::string("another-uid"); });
  const std::string rewritten = Write(again);
  TWINBOOK_REQUIRE(rewritten == written, "a written card, read and written again, changes from " +
                                             Shown(written) + " to " + Shown(rewritten));
}

// The values to write: the part after the first colon of each input line,
// as valid UTF-8 without CR (which a value cannot hold: EscapeText turns it
// into a line end).
std::vector<std::string> ValuesToWrite(std::string_view input) {
  std::vector<std::string> values;
  size_t start = 0;
  while (start <= input.size() && values.size() < kProperties.size() + 1) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) {
      end = input.size();
    }
    std::string_view line = input.substr(start, end - start);
    if (const size_t colon = line.find(':'); colon != std::string_view::npos) {
      line.remove_prefix(colon + 1);
    }
    std::string value = TextToUtf8(line, "");
    std::erase(value, '\r');
    values.push_back(std::move(value));
    start = end + 1;
  }
  return values;
}

void CheckWrites(const Card& card, std::string_view input) {
  const Reading original = Read(card);
  for (size_t i = 0; i < kProperties.size(); ++i) {
    if (kProperties[i] == P::FileAs) {
      continue;  // stored when written, even with the value it reads
    }
    Card copy = card;
    TWINBOOK_REQUIRE(!WriteProperty(copy, kProperties[i], original.values[i]),
                     "writing " + Name(kProperties[i]) + " its own value " +
                         Shown(original.values[i]) + " changes the card; input " + Shown(input));
  }

  const std::vector<std::string> values = ValuesToWrite(input);
  Card edited = card;
  Reading current = original;
  for (size_t i = 0; i < kProperties.size(); ++i) {
    const P property = kProperties[i];
    // Line 0 is mostly BEGIN:VCARD; line i + 1 feeds property i.
    std::string value = i + 1 < values.size() ? values[i + 1] : std::string();
    if (property == P::Email1AddressType && !value.empty()) {
      // The only type the program writes; other texts can collide with the
      // words that TYPE also carries (PREF, HOME, B for base64).
      value = "SMTP";
    }
    WriteProperty(edited, property, value);
    const Reading after = Read(edited);
    auto context = [&] {
      return "writing " + Shown(value) + " to " + Name(property) + " in input " + Shown(input);
    };
    if (ReadsAsWritten(property, value)) {
      TWINBOOK_REQUIRE(after.values[i] == value, context() + ": reads " + Shown(after.values[i]));
    }
    for (size_t k = 0; k < kProperties.size(); ++k) {
      TWINBOOK_REQUIRE(
          MayChangeWith(property, kProperties[k]) || after.values[k] == current.values[k],
          context() + ": " + Name(kProperties[k]) + " changed from " + Shown(current.values[k]) +
              " to " + Shown(after.values[k]));
    }
    TWINBOOK_REQUIRE(after.typeName == current.typeName && after.uid == current.uid,
                     context() + ": type name or UID changed");
    current = after;
  }
  CheckRoundTrip(edited, input);
}

}  // namespace
}  // namespace twinbook::vcard

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace twinbook::vcard;
  using twinbook::fuzz::Shown;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Card card;
  try {
    card = Parse(input);
  } catch (const SyntaxError&) {
    return 0;
  }
  const Reading reading = Read(card);
  for (size_t i = 0; i < kProperties.size(); ++i) {
    TWINBOOK_REQUIRE(IsValidUtf8(reading.values[i]),
                     Name(kProperties[i]) + " reads as invalid UTF-8 " + Shown(reading.values[i]) +
                         "; input " + Shown(input));
  }
  CheckRoundTrip(card, input);
  CheckWrites(card, input);
  return 0;
}
