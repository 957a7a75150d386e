#pragma once

#include <memory>
#include <string>

namespace twinbook {

// A program started by the launcher and not yet known to have ended.
// Dropping it never stops the program: the program runs until its user ends it.
class RunningProcess {
 public:
  virtual ~RunningProcess() = default;

  // Waits at most `milliseconds` for the program to end. True when it has
  // ended (or can no longer be watched), false when it is still running.
  virtual bool WaitForExit(int milliseconds) = 0;
};

// Starts programs by path, as programs with no arguments, never through a
// shell, so a path with blanks or quotes is just a path.
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;

  // Starts the program to be waited for; nullptr when it cannot be started.
  virtual std::unique_ptr<RunningProcess> Start(const std::string& program) = 0;
  // Starts the program alongside and returns at once; false when it cannot
  // be started.
  virtual bool StartDetached(const std::string& program) = 0;
};

}  // namespace twinbook
