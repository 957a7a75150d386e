// The inputs on which fuzzing (scripts/fuzz) found the vCard reader, mapping
// or writer at fault, the seeds and the exporters' cards, replayed through the
// fuzz target's own checks.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz_check.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

TEST(VCardFuzzRegressionTest, PastFindingsSeedsAndFixturesKeepEveryInvariant) {
  int inputs = 0;
  for (const char* dir : {"fuzz/regressions/vcard", "fuzz/seeds/vcard", "tests/fixtures/vcards"}) {
    for (const auto& entry : std::filesystem::directory_iterator(testing::SourceDir() / dir)) {
      ++inputs;
      try {
        fuzz::CheckCard(testing::ReadFile(entry.path().string()));
      } catch (const fuzz::InvariantBroken& broken) {
        ADD_FAILURE() << entry.path() << ": " << broken.what();
      }
    }
  }
  EXPECT_GE(inputs, 20);
}

}  // namespace
}  // namespace twinbook
