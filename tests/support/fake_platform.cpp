#include "support/fake_platform.h"

namespace twinbook::testing {

namespace {

class FakeProcess : public RunningProcess {
 public:
  explicit FakeProcess(FakeLauncher& launcher) : launcher_(launcher) {}
  bool WaitForExit(int) override {
    ++launcher_.waits;
    return launcher_.waits > launcher_.waitsBeforeExit;
  }

 private:
  FakeLauncher& launcher_;
};

}  // namespace

std::unique_ptr<RunningProcess> FakeLauncher::Start(const std::string& program) {
  if (!canStart) {
    return nullptr;
  }
  started.push_back(program);
  waits = 0;
  return std::make_unique<FakeProcess>(*this);
}

bool FakeLauncher::StartDetached(const std::string& program) {
  if (!canStart) {
    return false;
  }
  startedDetached.push_back(program);
  return true;
}

}  // namespace twinbook::testing
