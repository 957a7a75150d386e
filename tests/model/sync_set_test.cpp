#include "model/sync_set.h"

#include <gtest/gtest.h>

#include <stdexcept>

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

std::string IDs(const SyncSet& set) {
  std::string ids;
  for (const SyncObject& record : set) {
    ids += record.ContactID;
  }
  return ids;
}

TEST(SyncSetTest, LookupsReturnTheLastMatchOrZero) {
  SyncSet set = SetOf({{"1", "Ann"}, {"7", "Bob"}, {"", "Ann"}, {"9", "Cy"}, {"7", "Dee"}});
  EXPECT_EQ(FindByContactID("7", set), 5);
  EXPECT_EQ(FindByContactName("Ann", set), 3);
  EXPECT_EQ(FindByContactID("", set), 3);
  EXPECT_EQ(FindByContactID("07", set), 0);
  EXPECT_EQ(FindByContactName("ann", set), 0);
  EXPECT_EQ(FindByContactName("Ann ", set), 0);
  EXPECT_EQ(FindByContactID("7", SyncSet{}), 0);
}

TEST(SyncSetTest, RemoveShiftsLaterRecordsDownAndClearEmpties) {
  SyncSet set = SetOf({{"3", "C"}, {"1", "A"}, {"2", "B"}});
  set.Remove(1);
  EXPECT_EQ(IDs(set), "12");
  EXPECT_EQ(FindByContactID("2", set), 2);
  ClearSet(set);
  EXPECT_EQ(set.Count(), 0);
}

TEST(SyncSetTest, PositionsOutsideTheSetAreErrorsNamingThem) {
  SyncSet set = SetOf({{"1", "A"}, {"2", "B"}});
  for (int bad : {0, -1, 3}) {
    try {
      set.Item(bad);
      FAIL() << "no error for position " << bad;
    } catch (const std::out_of_range& error) {
      EXPECT_NE(std::string(error.what()).find("position " + std::to_string(bad)),
                std::string::npos)
          << error.what();
    }
    EXPECT_THROW(set.Remove(bad), std::out_of_range);
  }
  EXPECT_EQ(set.Count(), 2);
}

TEST(SyncSetTest, CloneNewCopiesTheDataFlagsNAndLeavesTheSourceAlone) {
  SyncSet set;
  SyncObject& source = set.Append();
  source = SyncObject{"12", "Ann", "w2", "dc", "h", "w1", "m", "f", "p", "o", "e",
                      "1",  "2",   "3",  "4",  "5", "6",  "7", "8", "9", "M"};
  // A source within the same set: it must be copied before the set grows.
  SyncObject& clone = set.CloneNew(set.Item(1));
  SyncObject expected = set.Item(1);
  expected.Flag = "N";
  EXPECT_EQ(clone, expected);
  EXPECT_EQ(set.Item(1).Flag, "M");
  EXPECT_EQ(&set.Item(2), &clone);
}

TEST(SyncSetTest, RecordsHandedOutStayInPlace) {
  SyncSet set = SetOf({{"1", "A"}});
  SyncObject& held = set.Item(1);
  for (int i = 0; i < 100; ++i) {
    set.Append();
  }
  held.Flag = "W";
  EXPECT_EQ(set.Item(1).Flag, "W");
  for (SyncObject& record : set) {
    record.Flag = "D";
  }
  EXPECT_EQ(held.Flag, "D");
}

}  // namespace
}  // namespace twinbook
