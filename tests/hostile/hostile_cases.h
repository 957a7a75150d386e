#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hostile/hostile_support.h"

namespace twinbook::testing {

// One hostile input, put into stores that otherwise synchronise without a
// fault (SeedGoodStores).
//
// Either the run must refuse it (`named` not empty): a message names the
// culprit, nothing in the stores changes, and once `removeCulprit` has run
// the next run completes. Or the input is legitimate and the run must simply
// work (`named` empty): `check` looks at the stores afterwards, and a second
// run finds nothing more to change.
struct HostileCase {
  std::string name;  // the test's name
  std::function<void(Scene&)> put;
  // Texts the message must hold; "$PB", "$SYNC", "$DATA" and "$CONTACTS"
  // stand for those paths.
  std::vector<std::string> named;
  std::function<void(Scene&)> removeCulprit;
  std::function<void(Scene&)> check;
  // The run needs permission bits to bind, also for root.
  bool permissionBits = false;
  // The culprit is the log itself: no log line can report it.
  bool logBroken = false;
  // The run asks about conflicts; the answer keeps the desktop's version.
  bool keepOutlookInConflicts = false;
  // Also driven through the program's window, with its real dialogs.
  bool throughWindow = false;
};

const std::vector<HostileCase>& HostileCases();

// Seeds the good stores and puts the case into them; the reason to skip the
// case when this machine cannot give it what it needs.
std::optional<std::string> PutCase(Scene& scene, const HostileCase& c);
// Runs `run` with permission bits binding when the case needs it.
void WithPermissionBits(const HostileCase& c, const std::function<void()>& run);
// Fails the test unless `message` names everything the case says it must.
void ExpectNamesCulprit(const std::string& message, const HostileCase& c, const StoreFiles& files);

std::string PrintCaseName(const ::testing::TestParamInfo<HostileCase>& info);
void PrintTo(const HostileCase& c, std::ostream* out);

}  // namespace twinbook::testing
