// The contact-ID index against FindByContactID, which walks the whole set,
// over fixed random sequences of the changes the phases make through it:
// IDs given, records cloned, shared and empty IDs, and enough records to
// make the index grow its table.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/indexed_set.h"

namespace twinbook {
namespace {

std::string AnyId(std::mt19937& random) {
  static const std::vector<std::string> kIds = {"", "1", "01", "2", "7", "10", "x", "1 "};
  const unsigned pick = random() % 12;
  return pick < kIds.size() ? kIds[pick] : std::to_string(100 + random() % 60);
}

TEST(IndexedSetTest, AnswersAsAWalkOfTheSetWhileIdsChangeAndRecordsAreCloned) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    SyncSet set;
    const int start = static_cast<int>(random() % 40);
    for (int i = 0; i < start; ++i) {
      set.Append().ContactID = AnyId(random);
    }
    IndexedSet index(set);
    for (int step = 0; step < 400; ++step) {
      if (random() % 3 == 0 || set.Count() == 0) {
        SyncObject source;
        source.ContactID = AnyId(random);
        index.CloneNew(source);
      } else {
        index.SetContactID(1 + static_cast<int>(random() % set.Count()), AnyId(random));
      }
      const std::string id = AnyId(random);
      ASSERT_EQ(index.FindContactID(id), FindByContactID(id, set)) << "step " << step;
      ASSERT_EQ(index.HoldsContactID(id), FindByContactID(id, set) != 0) << "step " << step;
    }
    EXPECT_EQ(index.Count(), set.Count());
  }
}

TEST(IndexedSetTest, ARecordCopiedOverItsCounterpartKeepsBeingFound) {
  SyncSet set;
  set.Append().ContactID = "5";
  set.Append().ContactID = "6";
  IndexedSet index(set);
  SyncObject copy = index.Item(2);
  copy.ContactID = "5";
  index.Item(1) = copy;  // same ID: the phases copy data between counterparts
  EXPECT_EQ(index.FindContactID("5"), 1);
  EXPECT_EQ(index.FindContactID("6"), 2);
  index.SetContactID(2, "5");
  EXPECT_EQ(index.FindContactID("5"), 2);
  EXPECT_EQ(index.FindContactID("6"), 0);
  index.SetContactID(2, "6");
  EXPECT_EQ(index.FindContactID("5"), 1);
  EXPECT_EQ(index.FindContactID("6"), 2);
}

}  // namespace
}  // namespace twinbook
