#include "model/sync_set.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace twinbook {
namespace {

SyncSet SetOf(std::initializer_list<std::pair<const char*, const char*>> idsAndNames) {
  SyncSet set;
  for (const auto& [id, name] : idsAndNames) {
    SyncObject& record = set.Append();
    EXPECT_EQ(record, SyncObject{});
    record.ContactID = id;
    record.ContactName = name;
  }
  return set;
}

TEST(SyncSetTest, LookupsReturnTheLastExactMatchOrZero) {
  const SyncSet set = SetOf({{"1", "Ann"}, {"7", "Bob"}, {"", "Ann"}, {"9", "Cy"}, {"7", "Dee"}});
  EXPECT_EQ(FindByContactID("7", set), 5);
  EXPECT_EQ(FindByContactName("Ann", set), 3);
  EXPECT_EQ(FindByContactID("", set), 3);
  EXPECT_EQ(FindByContactID("07", set) + FindByContactName("ann", set) +
                FindByContactName("Ann ", set) + FindByContactID("7", SyncSet{}),
            0);
}

// Records handed out stay in place while the set grows; removing one moves
// the later ones down; a position outside the set is an error naming it.
TEST(SyncSetTest, RecordsStayInPlaceAndPositionsAreChecked) {
  SyncSet set = SetOf({{"3", "C"}, {"1", "A"}, {"2", "B"}});
  SyncObject& held = set.Item(2);
  for (int i = 0; i < 100; ++i) {
    set.Append();
  }
  held.Flag = "W";
  set.Remove(1);
  EXPECT_EQ(set.Item(1).Flag, "W");
  EXPECT_EQ(FindByContactID("2", set), 2);
  for (int bad : {0, -1, 103}) {
    EXPECT_THAT([&] { set.Item(bad); },
                ::testing::ThrowsMessage<std::out_of_range>(
                    ::testing::HasSubstr("position " + std::to_string(bad))));
    EXPECT_THROW(set.Remove(bad), std::out_of_range);
  }
  ClearSet(set);
  EXPECT_EQ(set.Count(), 0);
}

// A source within the same set must be copied before the set grows.
TEST(SyncSetTest, CloneNewCopiesTheDataFlagsNAndLeavesTheSourceAlone) {
  SyncSet set;
  set.Append() = SyncObject{"12", "Ann", "w2", "dc", "h", "w1", "m", "f", "p", "o", "e",
                            "1",  "2",   "3",  "4",  "5", "6",  "7", "8", "9", "M"};
  SyncObject& clone = set.CloneNew(set.Item(1));
  SyncObject expected = set.Item(1);
  expected.Flag = "N";
  EXPECT_EQ(clone, expected);
  EXPECT_EQ(set.Item(1).Flag, "M");
  EXPECT_EQ(&set.Item(2), &clone);
}

}  // namespace
}  // namespace twinbook
