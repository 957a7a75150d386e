#pragma once

#include "environment/run_context.h"

namespace twinbook {

// Makes sure every number and address of OutlookSet has a speed dial.
void AssignSpeedDials(RunContext& context);

}  // namespace twinbook
