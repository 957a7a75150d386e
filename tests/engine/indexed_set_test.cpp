// The contact-ID index against FindByContactID, which walks the whole set,
// over fixed random sequences of the changes the phases make through it:
// IDs given, records cloned, shared and empty IDs, and enough records to
// make the index grow its table.
#include "engine/indexed_set.h"

#include <gtest/gtest.h>

#include <random>

namespace twinbook {
namespace {

TEST(IndexedSetTest, AnswersAsAWalkOfTheSetWhileIdsChangeAndRecordsAreCloned) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 random(seed);
    auto anyId = [&random] {
      const std::vector<std::string> ids = {"", "1", "01", "2", "7", "x", "1 "};
      const unsigned pick = random() % 12;
      return pick < ids.size() ? ids[pick] : std::to_string(100 + random() % 60);
    };
    SyncSet set;
    for (int i = random() % 40; i > 0; --i) {
      set.Append().ContactID = anyId();
    }
    IndexedSet index(set);
    for (int step = 0; step < 400; ++step) {
      if (random() % 3 == 0 || set.Count() == 0) {
        SyncObject source;
        source.ContactID = anyId();
        index.CloneNew(source);
      } else {
        index.SetContactID(1 + static_cast<int>(random() % set.Count()), anyId());
      }
      const std::string id = anyId();
      ASSERT_EQ(index.FindContactID(id), FindByContactID(id, set)) << seed << "/" << step;
      ASSERT_EQ(index.HoldsContactID(id), FindByContactID(id, set) != 0);
    }
  }
}

}  // namespace
}  // namespace twinbook
