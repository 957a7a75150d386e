#include "engine/speed_dials.h"

#include "engine_fixture.h"

namespace twinbook {
namespace {

using testing::Contact;
using testing::EngineTest;
using testing::RecordsOf;

struct SpeedCase {
  const char* what;
  std::vector<SyncObject> outlook, phoneBook, sync;
  std::vector<SyncObject> outlookAfter, phoneBookAfter, syncAfter;
};

class SpeedDialTest : public EngineTest {};

TEST_F(SpeedDialTest, OutcomeTable) {
  const std::vector<SpeedCase> cases = {
      {"lowest free slots in record order and kind order; counterparts flagged M",
       {Contact("7", "Ann").Mobile("m").DC("d"), Contact("8", "Bob").Fax("f")},
       {Contact("7", "Ann").Mobile("m").DC("d"), Contact("8", "Bob").Fax("f").Flagged("N")},
       {Contact("7", "Ann").Mobile("m"), Contact("8", "Bob").Fax("f")},
       {Contact("7", "Ann").Mobile("m", "2").DC("d", "1"), Contact("8", "Bob").Fax("f", "3")},
       {Contact("7", "Ann").Mobile("m", "2").DC("d", "1").Flagged("M"),
        Contact("8", "Bob").Fax("f", "3").Flagged("N")},
       {Contact("7", "Ann").Mobile("m", "2").Flagged("M"),
        Contact("8", "Bob").Fax("f", "3").Flagged("M")}},
      {"a slot in use anywhere, on any kind and any flag, is skipped",
       {Contact("7", "Ann").Mobile("m").Home("h"), Contact("9", "Cy").Email("e", "1")},
       {Contact("7", "Ann"), Contact("3", "Dee").Pager("p", "4")},
       {Contact("7", "Ann"), Contact("5", "Gone").Other("o", "2").Flagged("D")},
       {Contact("7", "Ann").Mobile("m", "5").Home("h", "3"), Contact("9", "Cy").Email("e", "1")},
       {Contact("7", "Ann").Flagged("M"), Contact("3", "Dee").Pager("p", "4")},
       {Contact("7", "Ann").Flagged("M"), Contact("5", "Gone").Other("o", "2").Flagged("D")}},
      {"01 does not take slot 1",
       {Contact("7", "Ann").Mobile("m")},
       {Contact("7", "Ann").Mobile("m").Home("h", "01")},
       {Contact("7", "Ann").Mobile("m")},
       {Contact("7", "Ann").Mobile("m", "1")},
       {Contact("7", "Ann").Mobile("m", "1").Home("h", "01").Flagged("M")},
       {Contact("7", "Ann").Mobile("m", "1").Flagged("M")}},
      {"the PhoneBook's slot is adopted, even when another record uses it",
       {Contact("7", "Ann").Mobile("m"), Contact("8", "Bob").Home("h", "7")},
       {Contact("7", "Ann").Mobile("m", "7")},
       {Contact("7", "Ann").Mobile("m", "5")},
       {Contact("7", "Ann").Mobile("m", "7"), Contact("8", "Bob").Home("h", "7")},
       {Contact("7", "Ann").Mobile("m", "7")},
       {Contact("7", "Ann").Mobile("m", "7").Flagged("M")}},
      {"an adopted slot the sync record already holds flags nothing",
       {Contact("7", "Ann").Mobile("m")},
       {Contact("7", "Ann").Mobile("m", "7")},
       {Contact("7", "Ann").Mobile("m", "7")},
       {Contact("7", "Ann").Mobile("m", "7")},
       {Contact("7", "Ann").Mobile("m", "7")},
       {Contact("7", "Ann").Mobile("m", "7")}},
      {"entries that have slots change nothing",
       {Contact("7", "Ann").Mobile("m", "4").Email("e", "9")},
       {Contact("7", "Ann")},
       {Contact("7", "Ann")},
       {Contact("7", "Ann").Mobile("m", "4").Email("e", "9")},
       {Contact("7", "Ann")},
       {Contact("7", "Ann")}},
      {"a counterpart without the entry gets no slot but still M",
       {Contact("7", "Ann").Email("e")},
       {Contact("7", "Ann")},
       {Contact("7", "Ann").Email("e")},
       {Contact("7", "Ann").Email("e", "1")},
       {Contact("7", "Ann").Flagged("M")},
       {Contact("7", "Ann").Email("e", "1").Flagged("M")}},
      {"a slot the sync record gives up is free again for the next entry",
       {Contact("7", "Ann").Mobile("m").Home("h"), Contact("8", "Bob").DC("d")},
       {Contact("7", "Ann").Mobile("m").Home("h"), Contact("8", "Bob").DC("d")},
       {Contact("7", "Ann").Mobile("m", "1").Home("h"), Contact("8", "Bob").DC("d")},
       {Contact("7", "Ann").Mobile("m", "3").Home("h", "2"), Contact("8", "Bob").DC("d", "1")},
       {Contact("7", "Ann").Mobile("m", "3").Home("h", "2").Flagged("M"),
        Contact("8", "Bob").DC("d", "1").Flagged("M")},
       {Contact("7", "Ann").Mobile("m", "3").Home("h", "2").Flagged("M"),
        Contact("8", "Bob").DC("d", "1").Flagged("M")}},
      {"an Outlook record deleted in the PhoneBook gets no slot: the next entry takes it",
       {Contact("7", "Ann").Mobile("m").Flagged("D"), Contact("8", "Bob").Home("h")},
       {Contact("8", "Bob").Home("h")},
       {Contact("7", "Ann").Mobile("m").Flagged("D"), Contact("8", "Bob").Home("h")},
       {Contact("7", "Ann").Mobile("m").Flagged("D"), Contact("8", "Bob").Home("h", "1")},
       {Contact("8", "Bob").Home("h", "1").Flagged("M")},
       {Contact("7", "Ann").Mobile("m").Flagged("D"),
        Contact("8", "Bob").Home("h", "1").Flagged("M")}},
      {"the slots a deleted record holds stay in use",
       {Contact("7", "Ann").Mobile("m", "1").Home("h").Flagged("D"), Contact("8", "Bob").Home("h")},
       {Contact("8", "Bob").Home("h")},
       {Contact("7", "Ann").Mobile("m", "1").Flagged("D"), Contact("8", "Bob").Home("h")},
       {Contact("7", "Ann").Mobile("m", "1").Home("h").Flagged("D"),
        Contact("8", "Bob").Home("h", "2")},
       {Contact("8", "Bob").Home("h", "2").Flagged("M")},
       {Contact("7", "Ann").Mobile("m", "1").Flagged("D"),
        Contact("8", "Bob").Home("h", "2").Flagged("M")}},
  };
  for (const SpeedCase& c : cases) {
    SCOPED_TRACE(c.what);
    ResetSyncState(state, fake.settings);
    SeedOutlook(c.outlook);
    SeedPhoneBook(c.phoneBook);
    SeedSync(c.sync);
    AssignSpeedDials(context);
    EXPECT_EQ(RecordsOf(state.OutlookSet), c.outlookAfter);
    EXPECT_EQ(RecordsOf(state.PhoneBookSet), c.phoneBookAfter);
    EXPECT_EQ(RecordsOf(state.SyncDatabaseSet), c.syncAfter);
  }
  EXPECT_FALSE(std::filesystem::exists(log)) << "the phase writes no lines";
}

}  // namespace
}  // namespace twinbook
