#pragma once

#include "environment/run_context.h"

namespace twinbook {

// Write phase 12: carries the flags of PhoneBookSet into tblContactList.
void WritePhoneBookDatabase(RunContext& context);

}  // namespace twinbook
