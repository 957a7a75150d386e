// Arbitrary text as a speed-dial tag text: ApplySpeedTagText sets exactly the
// speeds SpeedTagValue reads, in canonical decimal, and no number; the text
// SpeedTagText writes reads back as the same speeds.
#include <cstdint>

#include "fuzz_check.h"
#include "model/number_kinds.h"
#include "stores/speed_tags.h"

namespace twinbook {
namespace {

bool IsCanonical(const std::string& speed) {
  const std::string_view digits = std::string_view(speed).substr(speed.starts_with('-'));
  return speed == "0" || (!digits.empty() && digits.front() != '0' &&
                          digits.find_first_not_of("0123456789") == digits.npos);
}

SyncObject RecordWith(unsigned mask) {
  SyncObject record;
  unsigned bit = 0;
  for (const NumberKind& kind : NumberKinds()) {
    record.*kind.number = mask & (1u << bit++) ? "555" + std::to_string(bit) : "";
    record.*kind.speed = "untouched";
  }
  return record;
}

}  // namespace
}  // namespace twinbook

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace twinbook;
  using fuzz::Shown;
  const std::string text(reinterpret_cast<const char*>(data), size);
  unsigned hashed = 0;
  for (const unsigned char c : text)
    hashed = hashed * 31 + c;
  for (const unsigned mask : {0x1FFu, 0u, hashed & 0x1FFu}) {
    SyncObject record = RecordWith(mask);
    ApplySpeedTagText(record, text);
    for (const NumberKind& kind : NumberKinds()) {
      const std::string value = SpeedTagValue(kind.tag, text).value_or("untouched");
      TWINBOOK_REQUIRE(record.*kind.speed == value &&
                           (value == "untouched" || IsCanonical(value)) &&
                           record.*kind.number == RecordWith(mask).*kind.number,
                       std::string("tag ") + kind.tag + " reads " + Shown(record.*kind.speed) +
                           " in " + Shown(text));
      if (record.*kind.speed == "untouched")
        record.*kind.speed = "7";
    }
    const std::string tags = SpeedTagText(record);
    SyncObject reread = RecordWith(mask);
    ApplySpeedTagText(reread, tags);
    for (const NumberKind& kind : NumberKinds()) {
      TWINBOOK_REQUIRE(
          (record.*kind.number).empty() || reread.*kind.speed == record.*kind.speed,
          std::string("tag ") + kind.tag + " written as " + Shown(tags) + " from " + Shown(text));
    }
  }
  if (const size_t lf = text.find('\n'); lf != std::string::npos) {
    const auto value = SpeedTagValue(text.substr(0, lf), text.substr(lf + 1));
    TWINBOOK_REQUIRE(!value || IsCanonical(*value),
                     "SpeedTagValue reads " + Shown(*value) + " in " + Shown(text));
  }
  return 0;
}
