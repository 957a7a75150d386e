// Feeds arbitrary text to the speed-dial tag reader, as it comes from a
// desktop contact that may have been edited by hand, and checks:
//
//   - every speed ApplySpeedTagText sets (and every SpeedTagValue) is "0",
//     or decimal digits without a leading zero, optionally after a "-";
//   - kinds whose tag is absent keep their speed, and no number changes;
//   - SpeedTagText of a record so read, given back to ApplySpeedTagText,
//     gives the same speeds for the numbers present, whichever numbers a
//     record has.
//
// An input holding a line feed is also read as "tag LF text", to try
// SpeedTagValue with tags other than the program's own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "model/number_kinds.h"
#include "stores/speed_tags.h"

namespace twinbook {
namespace {

using fuzz::Shown;

constexpr char kUntouched[] = "untouched";

bool IsCanonical(const std::string& speed) {
  if (speed == "0") {
    return true;
  }
  const std::string_view digits =
      speed.starts_with('-') ? std::string_view(speed).substr(1) : std::string_view(speed);
  if (digits.empty() || digits.front() == '0') {
    return false;
  }
  return digits.find_first_not_of("0123456789") == std::string_view::npos;
}

// A record whose numbers are present as `mask` says (bit per kind, in
// NumberKinds() order) and whose speeds are all kUntouched.
SyncObject RecordWith(unsigned mask) {
  SyncObject record;
  size_t bit = 0;
  for (const NumberKind& kind : NumberKinds()) {
    if (mask & (1u << bit++)) {
      record.*kind.number = "555" + std::to_string(bit);
    }
    record.*kind.speed = kUntouched;
  }
  return record;
}

void CheckApply(const std::string& text, unsigned mask) {
  const SyncObject before = RecordWith(mask);
  SyncObject record = before;
  ApplySpeedTagText(record, text);
  for (const NumberKind& kind : NumberKinds()) {
    const std::string& speed = record.*kind.speed;
    const std::optional<std::string> value = SpeedTagValue(kind.tag, text);
    TWINBOOK_REQUIRE(speed == value.value_or(kUntouched),
                     std::string("ApplySpeedTagText sets ") + kind.tag + Shown(speed) +
                         " where SpeedTagValue reads " + Shown(value.value_or("nothing")) + " in " +
                         Shown(text));
    TWINBOOK_REQUIRE(speed == kUntouched || IsCanonical(speed),
                     std::string("speed ") + kind.tag + Shown(speed) + " from " + Shown(text));
    TWINBOOK_REQUIRE(record.*kind.number == before.*kind.number,
                     "ApplySpeedTagText changes a number, reading " + Shown(text));
  }

  // What the record now says about its speeds, read back.
  SyncObject written = record;
  for (const NumberKind& kind : NumberKinds()) {
    if (written.*kind.speed == kUntouched) {
      written.*kind.speed = "7";
    }
  }
  const std::string tags = SpeedTagText(written);
  SyncObject reread = RecordWith(mask);
  ApplySpeedTagText(reread, tags);
  for (const NumberKind& kind : NumberKinds()) {
    if ((written.*kind.number).empty()) {
      continue;
    }
    TWINBOOK_REQUIRE(reread.*kind.speed == written.*kind.speed,
                     std::string("speed ") + kind.tag + Shown(written.*kind.speed) +
                         " written as " + Shown(tags) + " reads back as " +
                         Shown(reread.*kind.speed) + " (from " + Shown(text) + ")");
  }
}

}  // namespace
}  // namespace twinbook

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace twinbook;
  const std::string text(reinterpret_cast<const char*>(data), size);

  // Every number present, none, and a choice that follows the input.
  unsigned hashed = 0;
  for (unsigned char c : text) {
    hashed = hashed * 31 + c;
  }
  for (unsigned mask : {0x1FFu, 0u, hashed & 0x1FFu}) {
    CheckApply(text, mask);
  }

  if (const size_t lf = text.find('\n'); lf != std::string::npos) {
    const std::string tag = text.substr(0, lf);
    if (const std::optional<std::string> value = SpeedTagValue(tag, text.substr(lf + 1))) {
      TWINBOOK_REQUIRE(IsCanonical(*value), "SpeedTagValue(" + Shown(tag) + ") reads " +
                                                Shown(*value) + " in " + Shown(text));
    }
  }
  return 0;
}
