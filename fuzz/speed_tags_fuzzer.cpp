// Arbitrary text as speed-dial tags: ApplySpeedTagText sets exactly the speeds
// SpeedTagValue reads, in canonical decimal, and no number.
#include <cstdint>

#include "fuzz_check.h"
#include "model/number_kinds.h"
#include "stores/speed_tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace twinbook;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto canonical = [](const std::string& speed) {
    const std::string_view digits = std::string_view(speed).substr(speed.starts_with('-'));
    return speed == "0" || (!digits.empty() && digits.front() != '0' &&
                            digits.find_first_not_of("0123456789") == digits.npos);
  };
  for (const unsigned mask : {0x1FFu, 0u, static_cast<unsigned>(size * 37) & 0x1FFu}) {
    SyncObject blank;
    unsigned bit = 0;
    for (const NumberKind& kind : NumberKinds()) {
      blank.*kind.number = mask & (1u << bit++) ? "555" + std::to_string(bit) : "";
      blank.*kind.speed = "untouched";
    }
    SyncObject record = blank;
    ApplySpeedTagText(record, text);
    for (const NumberKind& kind : NumberKinds()) {
      const std::string value = SpeedTagValue(kind.tag, text).value_or("untouched");
      TWINBOOK_REQUIRE(record.*kind.speed == value && (value == "untouched" || canonical(value)) &&
                           record.*kind.number == blank.*kind.number,
                       std::string("tag ") + kind.tag + " reads " +
                           fuzz::Shown(record.*kind.speed) + " in " + fuzz::Shown(text));
    }
  }
  return 0;
}
