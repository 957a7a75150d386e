#include "platform/vcard/vcard_mapping.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "platform/vcard/vcard_text.h"

namespace twinbook::vcard {

namespace {

constexpr std::string_view kPropertyParam = "X-TWINBOOK-PROPERTY";
constexpr std::string_view kStandInParam = "X-TWINBOOK-STAND-IN";
constexpr std::string_view kDisplayNameParam = "X-TWINBOOK-DISPLAY-NAME";
constexpr std::string_view kFileAs = "X-EVOLUTION-FILE-AS";

// The phone properties in the order in which a TEL line without the
// program's parameter is tested, with the types of a line written for each.
struct PhoneKind {
  ContactProperty property;
  std::vector<std::string> types;
};
const std::array<PhoneKind, 7>& PhoneKinds() {
  static const std::array<PhoneKind, 7> kinds = {{
      {ContactProperty::BusinessFaxNumber, {"WORK", "FAX"}},
      {ContactProperty::PagerNumber, {"PAGER"}},
      {ContactProperty::MobileTelephoneNumber, {"CELL"}},
      {ContactProperty::BusinessTelephoneNumber, {"WORK", "VOICE"}},
      {ContactProperty::Business2TelephoneNumber, {"WORK", "VOICE"}},
      {ContactProperty::HomeTelephoneNumber, {"HOME", "VOICE"}},
      {ContactProperty::OtherTelephoneNumber, {"VOICE"}},
  }};
  return kinds;
}
constexpr int kFax = 0, kPager = 1, kMobile = 2, kWork = 3, kWork2 = 4, kHome = 5, kOther = 6;

int PhoneSlot(ContactProperty property) {
  for (int slot = 0; slot < 7; ++slot) {
    if (PhoneKinds()[slot].property == property) {
      return slot;
    }
  }
  return -1;
}

std::string_view UserLineName(ContactProperty property) {
  switch (property) {
    case ContactProperty::User1:
      return "X-TWINBOOK-USER1";
    case ContactProperty::User2:
      return "X-TWINBOOK-USER2";
    case ContactProperty::User3:
      return "X-TWINBOOK-USER3";
    case ContactProperty::User4:
      return "X-TWINBOOK-USER4";
    default:
      return {};
  }
}

// FNV-1a: enough to tell whether FN still holds the text written as its
// stand-in; nothing depends on it being hard to forge.
std::string Fingerprint(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return digits;
}

std::string TextOf(const Line* line) {
  return line ? UnescapeText(line->value) : std::string();
}

const std::string* ParamValue(const Line& line, std::string_view name) {
  const Param* param = line.FindParam(name);
  return param && !param->values.empty() ? &param->values.front() : nullptr;
}

void SetParam(Line& line, std::string_view name, const std::string& value) {
  if (Param* param = line.FindParam(name)) {
    param->values = {value};
  } else {
    line.params.push_back(Param{std::string(name), {value}});
  }
}

bool IsStandIn(const Line& fn) {
  const std::string* mark = ParamValue(fn, kStandInParam);
  return mark && *mark == Fingerprint(UnescapeText(fn.value));
}

Line NewLine(std::string_view name, std::string value, std::vector<Param> params = {}) {
  Line line;
  line.name = std::string(name);
  line.params = std::move(params);
  line.value = std::move(value);
  line.edited = true;
  return line;
}

// A line whose fields changed is written from them, not as it was read.
void MarkEdited(Line& line) {
  line.original.clear();
  line.edited = true;
}

// Sets the value of a line's text, marking it changed; keeps group and
// parameters.
void SetText(Line& line, std::string_view text) {
  line.value = EscapeText(text);
  // The value is plain text now, whatever encoding the line declared.
  line.RemoveParam("ENCODING");
  MarkEdited(line);
}

// The first line named `name` gets `text`; "" removes it.
void WriteSimple(Card& card, std::string_view name, const std::string& text) {
  for (auto it = card.lines.begin(); it != card.lines.end(); ++it) {
    if (!it->opaque && it->Is(name)) {
      if (text.empty()) {
        card.lines.erase(it);
      } else {
        SetText(*it, text);
      }
      return;
    }
  }
  if (!text.empty()) {
    card.lines.push_back(NewLine(name, EscapeText(text)));
  }
}

// The parts of N as written, escapes kept, so that rewriting one part leaves
// the others exactly as they were.
std::vector<std::string> RawComponents(std::string_view value) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\') {
      ++i;
    } else if (value[i] == ';') {
      parts.emplace_back(value.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.emplace_back(value.substr(std::min(start, value.size())));
  return parts;
}

std::string NamePart(const Card& card, size_t index) {
  const Line* n = card.First("N");
  if (!n) {
    return {};
  }
  const std::vector<std::string> parts = RawComponents(n->value);
  return index < parts.size() ? UnescapeText(parts[index]) : std::string();
}

void WriteNamePart(Card& card, size_t index, const std::string& text) {
  Line* n = card.First("N");
  if (!n) {
    card.lines.push_back(NewLine("N", ";;;;"));
    n = &card.lines.back();
  }
  std::vector<std::string> parts = RawComponents(n->value);
  if (parts.size() < 5) {
    parts.resize(5);
  }
  parts[index] = EscapeText(text);
  for (std::string& part : parts) {
    // A lone backslash ending the last part reads as itself; with a ";"
    // after it, it would escape that instead. Doubled, it still reads so.
    const size_t kept = part.find_last_not_of('\\');
    const size_t trailing = part.size() - (kept == std::string::npos ? 0 : kept + 1);
    if (trailing % 2 == 1) {
      part += '\\';
    }
  }
  std::string value;
  for (size_t i = 0; i < parts.size(); ++i) {
    value += (i > 0 ? ";" : "") + parts[i];
  }
  n->value = value;
  n->RemoveParam("ENCODING");
  MarkEdited(*n);
}

// How a card without a file-as files: "Last, First" from N, the one part
// alone when N has only one; "" when N has neither.
std::string FileAsOfName(const Card& card) {
  const std::string last = NamePart(card, 0);
  const std::string first = NamePart(card, 1);
  if (!last.empty() && !first.empty()) {
    return last + ", " + first;
  }
  return last + first;
}

std::string FileAsOf(const Card& card) {
  if (const Line* line = card.First(kFileAs)) {
    std::string text = UnescapeText(line->value);
    if (!text.empty()) {
      return text;
    }
  }
  if (std::string fromName = FileAsOfName(card); !fromName.empty()) {
    return fromName;
  }
  const Line* fn = card.First("FN");
  return fn && !IsStandIn(*fn) ? UnescapeText(fn->value) : std::string();
}

// 4.0's PREF=1 is the most preferred; 3.0's TYPE=pref and 2.1's bare PREF
// count as 1 too; a line without preference comes last.
int PreferenceRank(const Line& line) {
  if (const std::string* pref = ParamValue(line, "PREF")) {
    int rank = 0;
    for (char c : *pref) {
      if (c < '0' || c > '9' || rank > 1000) {
        return 1;
      }
      rank = rank * 10 + (c - '0');
    }
    return rank > 0 ? rank : 1;
  }
  return line.HasType("PREF") ? 1 : INT_MAX;
}

int ChosenEmail(const Card& card) {
  int chosen = -1;
  int best = INT_MAX;
  for (size_t i = 0; i < card.lines.size(); ++i) {
    const Line& line = card.lines[i];
    if (line.opaque || !line.Is("EMAIL")) {
      continue;
    }
    const int rank = PreferenceRank(line);
    if (chosen < 0 || rank < best) {
      chosen = static_cast<int>(i);
      best = rank;
    }
  }
  return chosen;
}

// TYPE values that say whose or how preferred an address is, not what kind
// of address it is.
bool IsUsageType(std::string_view type) {
  return EqualsIgnoringCase(type, "PREF") || EqualsIgnoringCase(type, "HOME") ||
         EqualsIgnoringCase(type, "WORK") || EqualsIgnoringCase(type, "OTHER");
}

std::string EmailKind(const Line& line) {
  if (line.HasType("INTERNET")) {
    return "SMTP";
  }
  for (const Param& param : line.params) {
    if (!EqualsIgnoringCase(param.name, "TYPE")) {
      continue;
    }
    for (const std::string& value : param.values) {
      for (const std::string_view type : TypeWords(value)) {
        if (!IsUsageType(type)) {
          return AsciiUpper(type);
        }
      }
    }
  }
  return line.value.empty() ? "" : "SMTP";
}

Line& EmailLineForWriting(Card& card) {
  const int chosen = ChosenEmail(card);
  if (chosen >= 0) {
    return card.lines[chosen];
  }
  card.lines.push_back(NewLine("EMAIL", ""));
  return card.lines.back();
}

void WriteEmailKind(Card& card, const std::string& kind) {
  Line& line = EmailLineForWriting(card);
  for (Param& param : line.params) {
    if (!EqualsIgnoringCase(param.name, "TYPE")) {
      continue;
    }
    // Only the kind goes: a preference ("PREF" in a list) still decides
    // which address is the first.
    std::vector<std::string> kept;
    for (const std::string& value : param.values) {
      for (const std::string_view type : TypeWords(value)) {
        if (IsUsageType(type)) {
          kept.emplace_back(type);
        }
      }
    }
    param.values = std::move(kept);
  }
  std::erase_if(line.params, [](const Param& p) {
    return EqualsIgnoringCase(p.name, "TYPE") && p.values.empty();
  });
  if (!kind.empty()) {
    const std::string type = EqualsIgnoringCase(kind, "SMTP") ? "INTERNET" : kind;
    if (Param* types = line.FindParam("TYPE")) {
      types->values.insert(types->values.begin(), type);
    } else {
      line.params.insert(line.params.begin(), Param{"TYPE", {type}});
    }
  }
  MarkEdited(line);
}

void WriteEmailAddress(Card& card, const std::string& address) {
  const int chosen = ChosenEmail(card);
  if (address.empty()) {
    if (chosen >= 0) {
      card.lines.erase(card.lines.begin() + chosen);
    }
    return;
  }
  if (chosen >= 0) {
    SetText(card.lines[chosen], address);
  } else {
    card.lines.push_back(NewLine("EMAIL", EscapeText(address), {Param{"TYPE", {"INTERNET"}}}));
  }
}

std::string PhoneText(const Line& line) {
  const std::string* valueType = ParamValue(line, "VALUE");
  const bool uri = valueType && EqualsIgnoringCase(*valueType, "URI");
  if (uri || (line.value.size() >= 4 && EqualsIgnoringCase(line.value.substr(0, 4), "TEL:"))) {
    return line.value.size() >= 4 && EqualsIgnoringCase(line.value.substr(0, 4), "TEL:")
               ? line.value.substr(4)
               : line.value;
  }
  return UnescapeText(line.value);
}

// Which TEL line holds which phone property (index into card.lines per
// PhoneKinds() slot, -1 for none). Lines carrying the program's parameter
// hold the property it names, first such line first. The other lines fill
// the properties still empty in their order, each line tested in the order
// of PhoneKinds(): FAX, PAGER, CELL, WORK (first and second work number),
// HOME, anything else. A line whose property is already held stays
// unassigned, and is left alone by every write.
std::array<int, 7> AssignPhones(const Card& card) {
  std::array<int, 7> slots;
  slots.fill(-1);
  std::vector<bool> pinned(card.lines.size(), false);
  for (size_t i = 0; i < card.lines.size(); ++i) {
    const Line& line = card.lines[i];
    if (line.opaque || !line.Is("TEL")) {
      continue;
    }
    const std::string* named = ParamValue(line, kPropertyParam);
    const auto property = named ? PropertyNamed(*named) : std::nullopt;
    const int slot = property ? PhoneSlot(*property) : -1;
    if (slot >= 0) {
      pinned[i] = true;
      if (slots[slot] < 0) {
        slots[slot] = static_cast<int>(i);
      }
    }
  }
  for (size_t i = 0; i < card.lines.size(); ++i) {
    const Line& line = card.lines[i];
    if (line.opaque || !line.Is("TEL") || pinned[i]) {
      continue;
    }
    int slot = kOther;
    if (line.HasType("FAX")) {
      slot = kFax;
    } else if (line.HasType("PAGER")) {
      slot = kPager;
    } else if (line.HasType("CELL")) {
      slot = kMobile;
    } else if (line.HasType("WORK")) {
      slot = slots[kWork] < 0 ? kWork : kWork2;
    } else if (line.HasType("HOME")) {
      slot = kHome;
    }
    if (slots[slot] < 0) {
      slots[slot] = static_cast<int>(i);
    }
  }
  return slots;
}

void Pin(Line& line, int slot) {
  SetParam(line, kPropertyParam, std::string(PropertyName(PhoneKinds()[slot].property)));
  MarkEdited(line);
}

void WritePhone(Card& card, int slot, const std::string& number) {
  std::array<int, 7> before = AssignPhones(card);
  const int index = before[slot];
  if (number.empty()) {
    if (index < 0) {
      return;
    }
    card.lines.erase(card.lines.begin() + index);
    for (int& other : before) {
      other = other == index ? -1 : other > index ? other - 1 : other;
    }
  } else if (index >= 0) {
    Line& line = card.lines[index];
    SetText(line, number);
    line.RemoveParam("VALUE");  // the number is now text, not a tel: URI
    Pin(line, slot);
  } else {
    const PhoneKind& kind = PhoneKinds()[slot];
    card.lines.push_back(
        NewLine("TEL", EscapeText(number),
                {Param{"TYPE", kind.types},
                 Param{std::string(kPropertyParam), {std::string(PropertyName(kind.property))}}}));
  }
  // A removed or pinned line can change which property a later line without
  // the parameter falls to ("a lone second work number"); pin the others
  // where they were so that this write changes one property only.
  for (int round = 0; round < 8; ++round) {
    const std::array<int, 7> after = AssignPhones(card);
    bool moved = false;
    for (int other = 0; other < 7; ++other) {
      if (other != slot && before[other] >= 0 && after[other] != before[other]) {
        Pin(card.lines[before[other]], other);
        moved = true;
      }
    }
    if (!moved) {
      break;
    }
  }
}

void WriteFullName(Card& card, const std::string& name) {
  Line* fn = card.First("FN");
  if (!fn) {
    card.lines.push_back(NewLine("FN", ""));
    fn = &card.lines.back();
  }
  if (name.empty()) {
    // The stand-in text is filled in by PrepareForWriting, when the other
    // properties have their final values.
    SetText(*fn, "");
    SetParam(*fn, kStandInParam, Fingerprint(""));
  } else {
    SetText(*fn, name);
    fn->RemoveParam(kStandInParam);
  }
}

void WriteFileAs(Card& card, const std::string& text) {
  if (text.empty()) {
    std::erase_if(card.lines, [](const Line& l) { return !l.opaque && l.Is(kFileAs); });
    return;
  }
  Line* line = card.First(kFileAs);
  if (line && UnescapeText(line->value) == text) {
    return;
  }
  WriteSimple(card, kFileAs, text);
}

std::string StandInName(const Card& card) {
  if (std::string fileAs = FileAsOf(card); !fileAs.empty()) {
    return fileAs;
  }
  const std::string first = NamePart(card, 1);
  const std::string last = NamePart(card, 0);
  if (!first.empty() || !last.empty()) {
    return first.empty() || last.empty() ? first + last : first + " " + last;
  }
  for (ContactProperty property : {ContactProperty::NickName, ContactProperty::Email1Address}) {
    if (std::string text = ReadProperty(card, property); !text.empty()) {
      return text;
    }
  }
  for (const Line& line : card.lines) {
    if (!line.opaque && line.Is("TEL")) {
      if (std::string text = PhoneText(line); !text.empty()) {
        return text;
      }
    }
  }
  return {};
}

}  // namespace

std::string ReadProperty(const Card& card, ContactProperty property) {
  std::optional<PhoneLines> phones;
  return ReadProperty(card, property, phones);
}

std::string ReadProperty(const Card& card, ContactProperty property,
                         std::optional<PhoneLines>& phones) {
  switch (property) {
    case ContactProperty::FullName: {
      const Line* fn = card.First("FN");
      return fn && !IsStandIn(*fn) ? UnescapeText(fn->value) : std::string();
    }
    case ContactProperty::LastName:
      return NamePart(card, 0);
    case ContactProperty::FirstName:
      return NamePart(card, 1);
    case ContactProperty::NickName:
      return TextOf(card.First("NICKNAME"));
    case ContactProperty::FileAs:
      return FileAsOf(card);
    case ContactProperty::Email1Address:
    case ContactProperty::Email1AddressType:
    case ContactProperty::Email1DisplayName: {
      const int chosen = ChosenEmail(card);
      if (chosen < 0) {
        return {};
      }
      const Line& line = card.lines[chosen];
      if (property == ContactProperty::Email1Address) {
        return UnescapeText(line.value);
      }
      if (property == ContactProperty::Email1AddressType) {
        return EmailKind(line);
      }
      const Param* name = line.FindParam(kDisplayNameParam);
      std::string joined;
      for (size_t i = 0; name && i < name->values.size(); ++i) {
        joined += (i > 0 ? "," : "") + name->values[i];
      }
      return CaretDecode(joined);
    }
    case ContactProperty::User1:
    case ContactProperty::User2:
    case ContactProperty::User3:
    case ContactProperty::User4:
      return TextOf(card.First(UserLineName(property)));
    default: {
      const int slot = PhoneSlot(property);
      if (slot < 0) {
        return {};
      }
      if (!phones) {
        phones = AssignPhones(card);
      }
      const int index = (*phones)[slot];
      return index < 0 ? std::string() : PhoneText(card.lines[index]);
    }
  }
}

bool WriteProperty(Card& card, ContactProperty property, const std::string& value) {
  if (property != ContactProperty::FileAs && ReadProperty(card, property) == value) {
    return false;
  }
  const std::vector<Line> before = card.lines;
  switch (property) {
    case ContactProperty::FullName:
      WriteFullName(card, value);
      break;
    case ContactProperty::LastName:
      WriteNamePart(card, 0, value);
      break;
    case ContactProperty::FirstName:
      WriteNamePart(card, 1, value);
      break;
    case ContactProperty::NickName:
      WriteSimple(card, "NICKNAME", value);
      break;
    case ContactProperty::FileAs:
      WriteFileAs(card, value);
      break;
    case ContactProperty::Email1Address:
      WriteEmailAddress(card, value);
      break;
    case ContactProperty::Email1AddressType:
      WriteEmailKind(card, value);
      break;
    case ContactProperty::Email1DisplayName: {
      Line& line = EmailLineForWriting(card);
      line.RemoveParam(kDisplayNameParam);
      if (!value.empty()) {
        line.params.push_back(Param{std::string(kDisplayNameParam), {CaretEncode(value)}});
      }
      MarkEdited(line);
      break;
    }
    case ContactProperty::User1:
    case ContactProperty::User2:
    case ContactProperty::User3:
    case ContactProperty::User4:
      WriteSimple(card, UserLineName(property), value);
      break;
    default:
      if (const int slot = PhoneSlot(property); slot >= 0) {
        WritePhone(card, slot, value);
      }
      break;
  }
  return card.lines != before;
}

std::string CardTypeName(const Card& card) {
  for (const Line& line : card.lines) {
    if (!line.opaque && (line.Is("KIND") || line.Is("X-ADDRESSBOOKSERVER-KIND"))) {
      std::string_view kind = line.value;
      while (!kind.empty() && kind.back() == ' ') {
        kind.remove_suffix(1);
      }
      if (EqualsIgnoringCase(kind, "GROUP")) {
        return std::string(kDistListItemType);
      }
    }
  }
  return std::string(kContactItemType);
}

std::string CardUid(const Card& card) {
  return TextOf(card.First("UID"));
}

void PrepareForWriting(Card& card, const std::function<std::string()>& newUid) {
  // A file-as written in this save that merely restates N ("Last, First") is
  // left out, so that the card files under its name also after a rename.
  // vCard programs other than Evolution (khard, phones through CardDAV)
  // rename a contact by changing N and FN and keep X-EVOLUTION-FILE-AS as
  // it was: a stored copy would hold the old name, and a rename made there
  // would never reach the phone. A file-as of any other form, and one this
  // save did not write, is kept.
  if (const Line* fileAs = card.First(kFileAs); fileAs && fileAs->edited) {
    const std::string text = UnescapeText(fileAs->value);
    const auto isFileAs = [](const Line& line) { return !line.opaque && line.Is(kFileAs); };
    if (!text.empty() && text == FileAsOfName(card) &&
        std::count_if(card.lines.begin(), card.lines.end(), isFileAs) == 1) {
      std::erase_if(card.lines, isFileAs);
    }
  }
  ConvertTo30(card);
  if (std::none_of(card.lines.begin(), card.lines.end(), [](const Line& line) {
        return !line.opaque && line.group.empty() && line.Is("VERSION");
      })) {
    card.lines.insert(card.lines.begin(),
                      NewLine("VERSION", card.version == Version::k40 ? "4.0" : "3.0"));
  }
  if (Line* uid = card.First("UID")) {
    if (UnescapeText(uid->value).empty()) {
      SetText(*uid, newUid());
    }
  } else {
    card.lines.push_back(NewLine("UID", EscapeText(newUid())));
  }
  if (!card.First("N")) {
    card.lines.push_back(NewLine("N", ";;;;"));
  }
  if (!card.First("FN")) {
    card.lines.push_back(NewLine("FN", "", {Param{std::string(kStandInParam), {Fingerprint("")}}}));
  }
  Line* fn = card.First("FN");
  if (UnescapeText(fn->value).empty() || IsStandIn(*fn)) {
    const std::string standIn = StandInName(card);
    fn = card.First("FN");
    if (UnescapeText(fn->value) != standIn || !IsStandIn(*fn)) {
      SetText(*fn, standIn);
      SetParam(*fn, kStandInParam, Fingerprint(standIn));
    }
  }
}

void StampRevision(Card& card, std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  bool stamped = false;
  std::erase_if(card.lines, [&](Line& line) {
    if (line.opaque || !line.group.empty() || !line.Is("REV")) {
      return false;
    }
    if (stamped) {
      return true;
    }
    line.params.clear();
    line.value = text;
    MarkEdited(line);
    stamped = true;
    return false;
  });
  if (!stamped) {
    card.lines.push_back(NewLine("REV", text));
  }
}

Card NewCard(const std::string& uid) {
  Card card;
  card.version = Version::k30;
  card.lines.push_back(NewLine("VERSION", "3.0"));
  card.lines.push_back(NewLine("UID", EscapeText(uid)));
  card.lines.push_back(NewLine("FN", "", {Param{std::string(kStandInParam), {Fingerprint("")}}}));
  card.lines.push_back(NewLine("N", ";;;;"));
  return card;
}

}  // namespace twinbook::vcard
