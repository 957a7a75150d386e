#pragma once

#include "environment/run_context.h"

namespace twinbook {

// Write phase 11: carries the flags of OutlookSet into the contacts folder.
void WriteOutlookContacts(RunContext& context);

}  // namespace twinbook
