#pragma once

#include <string>

#include "environment/run_context.h"

namespace twinbook {

// Starts the PhoneBook Manager (state.ManagerPath). With `wait`, returns only
// when the manager has ended, letting the window handle its events every
// second meanwhile; a manager that cannot be started is passed over (the run
// goes on). Without `wait`, starts it alongside and returns at once. Returns
// false when the manager could not be started.
bool RunPhoneBookManager(RunContext& context, bool wait);

// Starts `program` and waits until it ends, processing window events after
// every `intervalMs` of waiting (below 1 means 1000). Returns false when the
// program could not be started. Throws RunAborted when the user ends the
// program meanwhile; the manager itself keeps running.
bool ShellAndWait(RunContext& context, const std::string& program, int intervalMs);

}  // namespace twinbook
