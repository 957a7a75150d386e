#include "support/fake_platform.h"

namespace twinbook::testing {

namespace {

struct FakeProcess : RunningProcess {
  explicit FakeProcess(FakeLauncher& launcher) : launcher(launcher) {}
  bool WaitForExit(int) override { return ++launcher.waits > launcher.waitsBeforeExit; }
  FakeLauncher& launcher;
};

}  // namespace

std::unique_ptr<RunningProcess> FakeLauncher::Start(const std::string& program) {
  if (!canStart)
    return nullptr;
  started.push_back(program);
  waits = 0;
  return std::make_unique<FakeProcess>(*this);
}

bool FakeLauncher::StartDetached(const std::string& program) {
  if (!canStart)
    return false;
  startedDetached.push_back(program);
  return true;
}

}  // namespace twinbook::testing
