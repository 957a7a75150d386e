#include <gtest/gtest.h>

#include <optional>

#include "engine/start_sync.h"
#include "hostile/hostile_cases.h"

namespace twinbook::testing {
namespace {

class HostileInputTest : public ::testing::TestWithParam<HostileCase> {};

// Runs once, with permission bits binding when the case needs it.
void RunCase(Scene& scene, const HostileCase& c) {
  std::optional<PermissionBitsBind> bits;
  if (c.permissionBits) {
    bits.emplace();
  }
  if (c.keepOutlookInConflicts) {
    for (int i = 0; i < 10; ++i) {
      scene.files.view.conflictScript.push_back(ScriptedView::KeepOutlook());
    }
  }
  scene.Run();
}

void ExpectCompleted(Scene& scene, const char* which) {
  SCOPED_TRACE(which);
  EXPECT_EQ(scene.files.view.status(), kStatusComplete);
  EXPECT_TRUE(scene.files.view.messages.empty())
      << scene.files.view.messages.front().substr(0, 2000);
}

// The whole run through StartSync over the real stores: refused with a
// message naming the culprit and nothing written, or simply working; in
// either case the program goes on to complete the next run.
TEST_P(HostileInputTest, NamesTheCulpritOrWorksAndLosesNothing) {
  const HostileCase& c = GetParam();
  Scene scene;
  SeedGoodStores(scene.files);
  try {
    c.put(scene);
    if (c.permissionBits) {
      PermissionBitsBind probe;
    }
  } catch (const CaseSkipped& reason) {
    GTEST_SKIP() << reason.what();
  }
  const auto before = scene.StoreSnapshot();

  RunCase(scene, c);

  if (!c.named.empty()) {
    EXPECT_EQ(scene.files.view.status(), kStatusError);
    ASSERT_EQ(scene.files.view.messages.size(), 1u);
    const std::string message = scene.files.view.messages[0];
    EXPECT_LT(message.size(), 1000u) << "a message too long to read";
    for (const std::string& named : c.named) {
      EXPECT_NE(message.find(Expand(named, scene.files)), std::string::npos)
          << "'" << Expand(named, scene.files) << "' is not named in: " << message;
    }
    if (!c.logBroken) {
      EXPECT_EQ(scene.files.LogLines().back(), message);
    }
    ExpectSameFiles(scene.StoreSnapshot(), before, "the refused run");

    c.removeCulprit(scene);
    scene.files.view.messages.clear();
    scene.Run();
    ExpectCompleted(scene, "the run after the culprit was removed");
    ExpectGoodOutcome(scene.files);
    return;
  }

  ExpectCompleted(scene, "the run over the input");
  ExpectGoodOutcome(scene.files);
  c.check(scene);
  const auto after = scene.StoreContent();
  RunCase(scene, c);
  ExpectCompleted(scene, "the second run");
  ExpectSameFiles(scene.StoreContent(), after, "the second run");
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileInputTest, ::testing::ValuesIn(HostileCases()),
                         PrintCaseName);

}  // namespace
}  // namespace twinbook::testing
