#include "stores/speed_tags.h"

#include "model/number_kinds.h"

namespace twinbook {

std::string SpeedTagText(const SyncObject& record) {
  std::string text;
  for (const NumberKind& kind : NumberKinds()) {
    if ((record.*kind.number).empty()) {
      continue;
    }
    if (!text.empty()) {
      text += ',';
    }
    text += kind.tag;
    text += record.*kind.speed;
  }
  return text;
}

std::optional<std::string> SpeedTagValue(const std::string& tag, const std::string& text) {
  size_t found = text.find(tag);
  if (found == std::string::npos) {
    return std::nullopt;
  }
  size_t pos = found + tag.size();
  size_t end = text.find(',', pos);
  if (end == std::string::npos) {
    end = text.size();
  }
  while (pos < end && (text[pos] == ' ' || text[pos] == '\t')) {
    ++pos;
  }
  // A sign is part of the number: a phone book that stores -1 for "no speed
  // dial" must read back what it wrote, or the contact would show as
  // modified on every run.
  bool negative = false;
  if (pos < end && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // Leading zeros go: the value is a number, written back in plain decimal.
  while (pos < end && text[pos] == '0') {
    ++pos;
  }
  std::string digits;
  while (pos < end && text[pos] >= '0' && text[pos] <= '9') {
    digits += text[pos];
    ++pos;
  }
  if (digits.empty()) {
    return std::string("0");
  }
  return negative ? "-" + digits : digits;
}

void ApplySpeedTagText(SyncObject& record, const std::string& text) {
  for (const NumberKind& kind : NumberKinds()) {
    if (std::optional<std::string> value = SpeedTagValue(kind.tag, text)) {
      record.*kind.speed = *value;
    }
  }
}

}  // namespace twinbook
