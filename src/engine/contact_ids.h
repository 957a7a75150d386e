#pragma once

#include "environment/run_context.h"

namespace twinbook {

// Gives every Outlook record without a contact ID one: the ID of the
// PhoneBook contact of exactly the same name, or the smallest free number.
void AssignContactIDs(RunContext& context);

}  // namespace twinbook
