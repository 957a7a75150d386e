#include "model/sync_set.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// Records appended as copies, and clones, hold every text as given, however
// long, also a clone of a record of the same set while the set grows; a
// record copied or moved out of the set keeps its texts after the set is
// emptied.
TEST(SyncSetTest, CopiedRecordsKeepTheirTexts) {
  const std::vector<std::string> texts = {"",
                                          "fifteen bytes!!",
                                          "sixteen bytes!!!",
                                          std::string("nul\0inside a text", 18),
                                          std::string(20000, 'x'),
                                          std::string(1000, 'y')};
  SyncSet set;
  std::vector<SyncObject> given;
  for (int i = 0; i < 300; ++i) {
    SyncObject record;
    record.ContactID = std::to_string(i);
    record.ContactName = texts[static_cast<size_t>(i) % texts.size()] + std::to_string(i);
    record.EmailAddress = texts[static_cast<size_t>(i + 1) % texts.size()];
    record.Flag = "M";
    given.push_back(record);
    EXPECT_EQ(set.Append(record), record);
  }
  for (int i = 1; i <= 300; ++i) {
    SyncObject expected = set.Item(i);
    expected.Flag = "N";
    EXPECT_EQ(set.CloneNew(set.Item(i)), expected);
  }
  for (int i = 1; i <= 300; ++i) {
    EXPECT_EQ(set.Item(i), given[static_cast<size_t>(i - 1)]) << i;
  }
  SyncObject copied = set.Item(5);
  SyncObject moved = std::move(set.Item(6));
  ClearSet(set);
  EXPECT_EQ(copied, given[4]);
  EXPECT_EQ(moved, given[5]);
}

}  // namespace
}  // namespace twinbook
