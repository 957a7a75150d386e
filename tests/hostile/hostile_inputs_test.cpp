#include <gtest/gtest.h>

#include "engine/start_sync.h"
#include "hostile/hostile_cases.h"

namespace twinbook::testing {
namespace {

class HostileInputTest : public ::testing::TestWithParam<HostileCase> {};

void RunCase(Scene& scene, const HostileCase& c) {
  for (int i = 0; c.keepOutlookInConflicts && i < 10; ++i) {
    scene.files.view.conflictScript.push_back(ScriptedView::KeepOutlook());
  }
  WithPermissionBits(c, [&scene] { scene.Run(); });
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
  if (const auto skip = PutCase(scene, c)) {
    GTEST_SKIP() << *skip;
  }
  const auto before = scene.StoreSnapshot();

  RunCase(scene, c);

  if (!c.named.empty()) {
    EXPECT_EQ(scene.files.view.status(), kStatusError);
    ASSERT_EQ(scene.files.view.messages.size(), 1u);
    ExpectNamesCulprit(scene.files.view.messages[0], c, scene.files);
    if (!c.logBroken) {
      EXPECT_EQ(scene.files.LogLines().back(), scene.files.view.messages[0]);
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
