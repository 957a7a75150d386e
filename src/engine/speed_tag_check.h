#pragma once

#include "model/sync_object.h"

namespace twinbook {

// True when the speed-dial tag texts of the two records differ: a tag for
// every number or address present ("W2:3,H:7,E:4"), so a number added or
// removed, or a speed dial changed, shows as a difference; a changed number
// text does not.
bool SpeedTagTextsDiffer(const SyncObject& a, const SyncObject& b);

// Sets the record's speed dials from its own tag text again, as they read
// back from Outlook: the speed dial of every present entry becomes the
// decimal value of its text ("" reads as 0, "012" as 12).
void ReapplyOwnSpeedTags(SyncObject& record);

}  // namespace twinbook
