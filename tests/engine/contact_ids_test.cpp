#include "engine/contact_ids.h"

#include "engine_fixture.h"

namespace twinbook {
namespace {

using testing::Contact;
using testing::EngineTest;

struct IdCase {
  const char* what;
  std::vector<SyncObject> outlook, phoneBook, sync;
  std::vector<std::string> ids;    // of OutlookSet afterwards
  std::vector<std::string> flags;  // of OutlookSet afterwards
  std::vector<std::string> lines;  // after the heading
};

const char* kHeading = "Verifying that all Outlook Contact items contain a contact ID.";

class ContactIdTest : public EngineTest {};

TEST_F(ContactIdTest, OutcomeTable) {
  const std::vector<IdCase> cases = {
      {"matched by name",
       {Contact("", "Ann")},
       {Contact("12", "Ann")},
       {},
       {"12"},
       {"I"},
       {"... Ann in Outlook has been matched with Ann in the PhoneBook and assigned a contact ID "
        "of 12.",
        "... Ann will be modified in Outlook."}},
      {"the second namesake finds the ID taken and gets the smallest free number",
       {Contact("", "Ann"), Contact("", "Ann")},
       {Contact("12", "Ann")},
       {},
       {"12", "1"},
       {"I", "I"},
       {"... Ann in Outlook has been matched with Ann in the PhoneBook and assigned a contact ID "
        "of 12.",
        "... Ann will be modified in Outlook.", "... Ann has been assigned a new contact ID of 1.",
        "... Ann will be modified in Outlook."}},
      {"only the last PhoneBook namesake counts, even when an earlier one is free",
       {Contact("30", "Bob"), Contact("", "Ann")},
       {Contact("12", "Ann"), Contact("30", "Ann")},
       {},
       {"30", "1"},
       {"", "I"},
       {"... Ann has been assigned a new contact ID of 1.",
        "... Ann will be modified in Outlook."}},
      {"letter case and a trailing blank do not match",
       {Contact("", "ann"), Contact("", "Ann ")},
       {Contact("5", "Ann")},
       {},
       {"1", "2"},
       {"I", "I"},
       {"... ann has been assigned a new contact ID of 1.", "... ann will be modified in Outlook.",
        "... Ann  has been assigned a new contact ID of 2.",
        "... Ann  will be modified in Outlook."}},
      {"a PhoneBook record without ID is never matched",
       {Contact("", "Ann")},
       {Contact("", "Ann")},
       {},
       {"1"},
       {"I"},
       {"... Ann has been assigned a new contact ID of 1.",
        "... Ann will be modified in Outlook."}},
      {"the smallest number free in both sets, then the next",
       {Contact("1", "A"), Contact("", "B"), Contact("5", "C"), Contact("", "D")},
       {Contact("2", "E"), Contact("3", "F")},
       {},
       {"1", "4", "5", "6"},
       {"", "I", "", "I"},
       {"... B has been assigned a new contact ID of 4.", "... B will be modified in Outlook.",
        "... D has been assigned a new contact ID of 6.", "... D will be modified in Outlook."}},
      {"IDs held only by the sync database are taken",
       {Contact("", "New")},
       {},
       {Contact("1", "Gone"), Contact("2", "Gone too")},
       {"3"},
       {"I"},
       {"... New has been assigned a new contact ID of 3.",
        "... New will be modified in Outlook."}},
      {"01 does not take 1",
       {Contact("", "New")},
       {Contact("01", "Old")},
       {},
       {"1"},
       {"I"},
       {"... New has been assigned a new contact ID of 1.",
        "... New will be modified in Outlook."}},
      {"a contact with an ID keeps it; a flagged one gets no I",
       {Contact("99", "Kept"), Contact("", "Flagged").Flagged("M")},
       {},
       {},
       {"99", "1"},
       {"", "M"},
       {"... Flagged has been assigned a new contact ID of 1."}},
      {"no Outlook contacts", {}, {Contact("1", "Ann")}, {}, {}, {}, {}},
  };
  for (const IdCase& c : cases) {
    SCOPED_TRACE(c.what);
    ResetSyncState(state, fake.settings);
    std::filesystem::remove(log);
    SeedOutlook(c.outlook);
    SeedPhoneBook(c.phoneBook);
    SeedSync(c.sync);
    AssignContactIDs(context);

    std::vector<std::string> ids;
    for (const SyncObject& o : state.OutlookSet) {
      ids.push_back(o.ContactID);
    }
    EXPECT_EQ(ids, c.ids);
    EXPECT_EQ(testing::FlagsOf(state.OutlookSet), c.flags);
    std::vector<std::string> expected{kHeading};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(LogLines(), expected);
    EXPECT_EQ(testing::RecordsOf(state.PhoneBookSet), c.phoneBook);
  }
}

}  // namespace
}  // namespace twinbook
