#include <gtest/gtest.h>

#include "engine/start_sync.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using testing::StoreFiles;

// The run script's sample data loads through every phase: the excluded card
// is rewritten, the included ones become records and the conflict is asked.
TEST(SampleRunTest, AStartOverTheSampleDataLoadsEveryStore) {
  StoreFiles files = StoreFiles::WithSampleData();
  files.view.conflictScript.push_back(testing::ScriptedView::KeepOutlook());
  files.Run();
  EXPECT_EQ(files.view.status(), kStatusComplete);
  EXPECT_TRUE(files.view.messages.empty()) << files.view.messages.front();
  std::vector<std::string> log = files.LogLines();
  EXPECT_EQ(log.at(6), "Loaded PhoneBook records from " + files.phoneBookPath);
  EXPECT_EQ(files.view.conflictsAsked.size(), 1u);

  std::optional<testing::CardView> excluded = files.CardNamed("Quinn, Liam");
  ASSERT_TRUE(excluded.has_value());
  EXPECT_EQ((*excluded)["User2"], "No");
  EXPECT_EQ((*excluded)["User3"], "");
  EXPECT_EQ((*excluded)["User4"], "");
}

}  // namespace
}  // namespace twinbook
