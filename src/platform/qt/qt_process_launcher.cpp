#include "platform/qt/qt_process_launcher.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QProcess>
#include <QString>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

namespace twinbook {

namespace {

// True while the process exists and has not ended (a zombie has ended).
bool ProcessAlive(qint64 pid) {
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
    return false;
  }
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pidText, command, state;
  if (!(stat >> pidText)) {
    return false;
  }
  // The command name is in parentheses and may hold blanks; the state
  // letter follows the closing one.
  std::string rest((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t close = rest.rfind(')');
  if (close == std::string::npos || close + 2 >= rest.size()) {
    return false;
  }
  char letter = rest[close + 2];
  return letter != 'Z' && letter != 'X';
}

class DetachedProcess : public RunningProcess {
 public:
  explicit DetachedProcess(qint64 pid) : pid_(pid) {
    // A pidfd reports the end of the process exactly, whoever reaps it.
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
  }
  ~DetachedProcess() override {
    if (pidfd_ >= 0) {
      ::close(pidfd_);
    }
  }
  DetachedProcess(const DetachedProcess&) = delete;
  DetachedProcess& operator=(const DetachedProcess&) = delete;

  bool WaitForExit(int milliseconds) override {
    if (pidfd_ >= 0) {
      pollfd fd{pidfd_, POLLIN, 0};
      int ready = ::poll(&fd, 1, milliseconds);
      if (ready < 0 && errno == EINTR) {
        return false;  // interrupted: still running as far as we know
      }
      return ready != 0;  // ended, or the wait failed: stop waiting either way
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (ProcessAlive(pid_)) {
      if (std::chrono::steady_clock::now() >= deadline) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

 private:
  qint64 pid_;
  int pidfd_ = -1;
};

}  // namespace

std::unique_ptr<RunningProcess> QtProcessLauncher::Start(const std::string& program) {
  qint64 pid = 0;
  if (!QProcess::startDetached(QString::fromStdString(program), {}, QString(), &pid)) {
    return nullptr;
  }
  return std::make_unique<DetachedProcess>(pid);
}

bool QtProcessLauncher::StartDetached(const std::string& program) {
  return QProcess::startDetached(QString::fromStdString(program), {});
}

}  // namespace twinbook
