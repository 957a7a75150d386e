// The inputs on which fuzzing (scripts/fuzz) found the vCard reader, mapping
// or writer at fault, replayed through the fuzz target's own checks; the
// seeds and the exporters' cards go through them too.
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

// A cheap stand-in for fuzzing, with a fixed seed: the exporters' cards with
// bytes replaced, added and removed.
TEST(VCardFuzzRegressionTest, MutatedCardsKeepEveryInvariant) {
  const std::string interesting = "\r\n =:;,\\\"\t.\x80\xC3\xE2=0D=0A";
  unsigned seed = 2024;
  auto next = [&seed](size_t range) {
    seed = seed * 1103515245 + 12345;
    return static_cast<size_t>((seed >> 8) % range);
  };
  for (const auto& entry :
       std::filesystem::directory_iterator(testing::SourceDir() / "tests/fixtures/vcards")) {
    const std::string original = testing::ReadFile(entry.path().string());
    for (int round = 0; round < 30; ++round) {
      std::string bytes = original;
      for (size_t edits = 1 + next(4); edits > 0 && !bytes.empty(); --edits) {
        const size_t at = next(bytes.size());
        const char c = interesting[next(interesting.size())];
        const size_t how = next(3);
        how == 0   ? void(bytes[at] = c)
        : how == 1 ? void(bytes.insert(at, 1, c))
                   : void(bytes.erase(at, 1 + next(8)));
      }
      try {
        fuzz::CheckCard(bytes);
      } catch (const fuzz::InvariantBroken& broken) {
        ADD_FAILURE() << broken.what();
      }
    }
  }
}

}  // namespace
}  // namespace twinbook
