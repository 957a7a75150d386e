#include "model/sync_set.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace twinbook {
namespace {

// Lookups find the last exact match or give 0; records stay in place while
// the set grows; removing one moves the later ones down; a position outside
// the set is an error naming it.
TEST(SyncSetTest, LookupsRemovalsAndPositions) {
  SyncSet set;
  for (const auto& [id, name] : {std::pair{"1", "Ann"}, {"7", "Bob"}, {"", "Ann"}, {"7", "Dee"}}) {
    SyncObject& record = set.Append();
    record.ContactID = id;
    record.ContactName = name;
  }
  EXPECT_EQ(FindByContactID("7", set), 4);
  EXPECT_EQ(FindByContactName("Ann", set), 3);
  EXPECT_EQ(FindByContactID("07", set) + FindByContactName("ann", set), 0);
  SyncObject& held = set.Item(2);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(set.Append(), SyncObject{});
  }
  set.Remove(1);
  EXPECT_EQ(&set.Item(1), &held);
  for (int bad : {0, -1, 104}) {
    EXPECT_THAT([&] { set.Item(bad); },
                ::testing::ThrowsMessage<std::out_of_range>(
                    ::testing::HasSubstr("position " + std::to_string(bad))));
    EXPECT_THROW(set.Remove(bad), std::out_of_range);
  }
  ClearSet(set);
  EXPECT_EQ(set.Count(), 0);
}

}  // namespace
}  // namespace twinbook
