#include "engine/speed_tag_check.h"

#include <cctype>
#include <optional>
#include <string>

#include "model/number_kinds.h"

namespace twinbook {

namespace {

// The tag text: in code order, "tag" + speed for every entry with a value.
std::string TagText(const SyncObject& record) {
  std::string text;
  for (const NumberKind& kind : NumberKinds()) {
    if ((record.*kind.number).empty()) {
      continue;
    }
    if (!text.empty()) {
      text += ",";
    }
    text += kind.tag;
    text += record.*kind.speed;
  }
  return text;
}

// The number at the start of `piece`, read as Outlook's tag readers read it:
// blanks skipped, an optional sign, digits up to the first character that
// cannot continue the number, 0 when there are none; in plain decimal.
std::string NumberAtStart(const std::string& piece) {
  std::size_t i = 0;
  while (i < piece.size() && (piece[i] == ' ' || piece[i] == '\t')) {
    ++i;
  }
  bool negative = false;
  if (i < piece.size() && (piece[i] == '-' || piece[i] == '+')) {
    negative = piece[i] == '-';
    ++i;
  }
  std::string digits;
  while (i < piece.size() && std::isdigit(static_cast<unsigned char>(piece[i]))) {
    if (!(digits.empty() && piece[i] == '0')) {
      digits += piece[i];
    }
    ++i;
  }
  if (digits.empty()) {
    return "0";
  }
  return negative ? "-" + digits : digits;
}

// The value after the first occurrence of `tag`, up to the next ",".
std::optional<std::string> TagValue(const std::string& tag, const std::string& text) {
  const std::size_t at = text.find(tag);
  if (at == std::string::npos) {
    return std::nullopt;
  }
  const std::size_t start = at + tag.size();
  const std::size_t comma = text.find(',', start);
  return NumberAtStart(
      text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
}

}  // namespace

bool SpeedTagTextsDiffer(const SyncObject& a, const SyncObject& b) {
  return TagText(a) != TagText(b);
}

void ReapplyOwnSpeedTags(SyncObject& record) {
  const std::string text = TagText(record);
  for (const NumberKind& kind : NumberKinds()) {
    if (std::optional<std::string> value = TagValue(kind.tag, text)) {
      record.*kind.speed = *value;
    }
  }
}

}  // namespace twinbook
