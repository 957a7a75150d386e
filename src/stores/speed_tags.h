#pragma once

#include <optional>
#include <string>

#include "model/sync_object.h"

namespace twinbook {

// A contact's speed dials as one text, e.g. "W2:3,H:7,E:4": one tag per
// non-empty number or address, in NumberType order, each followed by that
// number's speed dial (possibly empty). The sync database and the desktop
// contact carry the speed dials this way.
std::string SpeedTagText(const SyncObject& record);

// Sets the speed dial of every kind whose tag occurs in `text` (anywhere,
// case-sensitive, first occurrence) to the number that follows the tag,
// in decimal without leading zeros; a tag with no digits after it gives "0".
// Kinds whose tag is absent keep their speed; numbers are left alone.
//
// The parse is tolerant because the desktop copy can be edited by hand:
// tags in any order, with or without commas, and whatever follows a number
// up to the next comma is ignored.
void ApplySpeedTagText(SyncObject& record, const std::string& text);

// The number after the first occurrence of `tag` in `text`, read from the
// piece up to the next comma: leading blanks skipped, an optional sign, then
// decimal digits; anything else ends it (no point, exponent or hexadecimal).
// Returned in decimal without leading zeros ("0" when no digit follows);
// nullopt when the tag does not occur.
std::optional<std::string> SpeedTagValue(const std::string& tag, const std::string& text);

}  // namespace twinbook
