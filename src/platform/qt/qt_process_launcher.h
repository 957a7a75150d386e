#pragma once

#include "platform/process_launcher.h"

namespace twinbook {

// Starts programs with QProcess, detached, so that ending Twinbook never
// ends them. The waited-for program is watched by its process ID.
class QtProcessLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<RunningProcess> Start(const std::string& program) override;
  bool StartDetached(const std::string& program) override;
};

}  // namespace twinbook
