#include "environment/phonebook_manager.h"

#include <memory>

namespace twinbook {

bool ShellAndWait(RunContext& context, const std::string& program, int intervalMs) {
  if (intervalMs < 1) {
    intervalMs = 1000;
  }
  std::unique_ptr<RunningProcess> process = context.platform.launcher.Start(program);
  if (!process) {
    return false;
  }
  while (!process->WaitForExit(intervalMs)) {
    context.view.ProcessEvents();
    context.StopIfQuitting();
  }
  return true;
}

bool RunPhoneBookManager(RunContext& context, bool wait) {
  if (!wait) {
    return context.platform.launcher.StartDetached(context.state.ManagerPath);
  }
  return ShellAndWait(context, context.state.ManagerPath, 1000);
}

}  // namespace twinbook
