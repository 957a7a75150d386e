// A run stopped at any one of its writes, as a crash would, then run again
// must leave the stores exactly as the uninterrupted run does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "engine/start_sync.h"
#include "support/faulty_platform.h"
#include "support/store_files.h"

namespace twinbook::testing {
namespace {

using P = ContactProperty;
using Keep = ConflictAnswer::Keep;

// Answers a conflict by the side `keep` gives for the Outlook name (else the
// PhoneBook's), a name prompt with its proposal: the same user run after run.
class AnsweringView : public ScriptedView {
 public:
  explicit AnsweringView(std::map<std::string, Keep> keep) : keep_(std::move(keep)) {}
  std::optional<ConflictAnswer> AskConflict(const ConflictQuestion& question) override {
    const auto chosen = keep_.find(question.outlook.ContactName);
    const Keep keep = chosen == keep_.end() ? Keep::PhoneBook : chosen->second;
    return ConflictAnswer{keep, keep == Keep::Outlook ? question.outlook : question.phoneBook};
  }
  std::optional<NameValues> AskNewName(const NameValues& proposal, const std::string&) override {
    return proposal;
  }

 private:
  std::map<std::string, Keep> keep_;
};

struct Scenario {
  std::string name;
  std::function<void(StoreFiles&)> seed;  // fills the stores of a fresh StoreFiles
  std::map<std::string, Keep> keep;
};

void Card(StoreFiles& f, const std::string& uid, const std::string& fileAs,
          std::map<ContactProperty, std::string> more) {
  more[P::FileAs] = fileAs;
  more.try_emplace(P::User2, "Y");
  f.AddCard({uid, more});
}

// Edits a card as another program would; without changes, removes it.
void EditCard(StoreFiles& f, const std::string& fileAs,
              const std::map<ContactProperty, std::string>& changes = {}) {
  VCardContactStore other;
  auto item = other.OpenFolder(f.contactsPath)->Find("[FileAs] = " + SqlQuote(fileAs));
  for (const auto& [property, value] : changes) {
    item->Set(property, value);
  }
  changes.empty() ? void(std::filesystem::remove(item->Describe())) : item->Save();
}

// One StartSync over `files`, through crashing wrappers when given a plan.
// True when the run completed without a message.
bool RunWith(StoreFiles& files, AnsweringView& view, CrashPlan* plan = nullptr) {
  CrashPlan counting;  // never crashes
  SqliteDatabaseEngine databases;
  VCardContactStore contacts;
  FaultyDatabaseEngine faultyDatabases(databases, plan != nullptr ? *plan : counting);
  FaultyContactStore faultyContacts(contacts, plan != nullptr ? *plan : counting);
  Platform platform{faultyDatabases, faultyContacts, files.settings, files.launcher};
  RunContext context{files.state, view, platform};
  StartSync(context);
  return view.status() == kStatusComplete && view.messages.empty();
}

void SeedChanges(StoreFiles& f, const std::map<std::string, Keep>& keep) {
  // Before: the phone's contacts and two desktop ones, put in step.
  f.ExecutePhoneBookSql(PhoneBookRowSql("1", "Lee, Ann", "5551110000", 4, 1) +
                        PhoneBookRowSql("2", "Ng, Bo", "5552220000", 2, 2) +
                        PhoneBookRowSql("2", "Ng, Bo", "bo@example.org", 10, 3) +
                        PhoneBookRowSql("3", "Ox, Cy", "5553330000", 6, 4) +
                        PhoneBookRowSql("4", "Poe, Ed", "5554440000", 2, 5) +
                        PhoneBookRowSql("5", "Ray, Al", "5556660000", 4, 6) +
                        PhoneBookRowSql("6", "Kim, Jo", "5558880000", 3, 7) +
                        PhoneBookRowSql("7", "Uma, Sue", "5551212000", 4, 8) +
                        PhoneBookRowSql("8", "Tan, Wei", "5553434000", 4, 9) +
                        PhoneBookRowSql("9", "Lim, Kay", "5556565000", 4, 10) +
                        PhoneBookRowSql("11", "Fox, Liv", "5552424000", 4, 12) +
                        PhoneBookRowSql("11", "Fox, Liv", "5552525000", 2, 13));
  Card(f, "mei", "Oda, Mei",
       {{P::MobileTelephoneNumber, "5557171000"}, {P::HomeTelephoneNumber, "5557272000"}});
  Card(f, "max", "Montgomery-Smythe, Alexandra", {{P::MobileTelephoneNumber, "5554545000"}});
  Card(f, "dee", "Dee", {{P::User2, "No"}, {P::User3, "4"}, {P::User4, "M:9"}});
  f.WriteCardFile("club.vcf",
                  "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:club\r\nKIND:group\r\nFN:Book Club\r\n"
                  "N:;;;;\r\nMEMBER:urn:uuid:ann\r\nEND:VCARD\r\n");
  AnsweringView view(keep);
  if (!RunWith(f, view)) {
    throw std::runtime_error("The run that puts the stores in step did not complete");
  }
  // Changed on the desktop: edits, a rename, a deletion, a contact switched
  // off, a number on a contact the phone deleted, a name the phone shortens.
  EditCard(f, "Lee, Ann", {{P::MobileTelephoneNumber, "(555) 111-2222"}});
  EditCard(f, "Ng, Bo", {{P::FileAs, "Ng, Bob"}, {P::BusinessFaxNumber, "5552229999"}});
  EditCard(f, "Poe, Ed");
  EditCard(f, "Tan, Wei", {{P::User2, "No"}});
  EditCard(f, "Kim, Jo", {{P::BusinessTelephoneNumber, "5558880001"}});
  EditCard(f, "Uma, Sue", {{P::Email1Address, "sue@example.org"}});
  EditCard(f, "Oda, Mei", {{P::HomeTelephoneNumber, ""}});
  EditCard(f, "Ray, Al", {{P::HomeTelephoneNumber, "5556660001"}});
  EditCard(f, "Montgomery-Smythe, Alexandra", {{P::FileAs, "Montgomery-Smythe, Alexandria"}});
  Card(f, "tam", "Vo, Tam", {{P::MobileTelephoneNumber, "5559990000"}});
  // Changed on the phone: the same kinds, identical edits and conflicts.
  f.ExecutePhoneBookSql(
      "UPDATE tblContactList SET Number = '5553330001', ContactName = 'Ox, Cyrus' "
      "WHERE ContactID = 3;"
      "DELETE FROM tblContactList WHERE ContactID = 5;"
      "UPDATE tblContactList SET Number = '5558880002' WHERE ContactID = 6;"
      "UPDATE tblContactList SET Number = '5551212999' WHERE ContactID = 7;"
      "UPDATE tblContactList SET SpeedDial = 30 WHERE ContactID = 9;"
      "DELETE FROM tblContactList WHERE ContactID = 11 AND NumberType = 2;\n" +
      PhoneBookRowSql("9", "Lim, Kay", "5556767000", 2, 31) +
      PhoneBookRowSql("20", "Wu, Lin", "lin@example.org", 10, 22));
}

void CopyDataFolder(const std::string& from, const std::string& to) {
  std::filesystem::remove_all(to);
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
}

// Stores in step then changed on both sides in every way a run handles; the
// first run over the sample Data folder.
std::vector<Scenario> CrashScenarios() {
  const std::map<std::string, Keep> changesKeep = {{"Uma, Sue", Keep::Outlook}};
  return {{"Changes", [changesKeep](StoreFiles& f) { SeedChanges(f, changesKeep); }, changesKeep},
          {"SampleData",
           [](StoreFiles& f) { CopyDataFolder(StoreFiles::WithSampleData().data, f.data); },
           {{"Brennan, Thomas", Keep::Outlook}}}};
}

// Every PhoneBook and sync row and every card (deleted ones too) as sorted
// text; throws when a card cannot be read.
std::vector<std::string> StoreLines(const StoreFiles& files) {
  std::vector<std::string> lines;
  for (auto [path, table] :
       {std::pair{files.phoneBookPath, "tblContactList"}, {files.syncPath, "SyncContacts"}}) {
    for (const std::vector<SqlValue>& row :
         QueryRows(path, std::string("SELECT * FROM ") + table)) {
      std::string& line = lines.emplace_back(table);
      for (const SqlValue& value : row) {
        line += " " + value.column + "=" + value.text + ";";
      }
    }
  }
  for (const std::string& folder : {std::string(), std::string("/.deleted")}) {
    const std::string path = files.contactsPath + folder;
    for (const CardView& card :
         std::filesystem::exists(path) ? ReadCards(path) : std::vector<CardView>{}) {
      std::string& line = lines.emplace_back("card" + folder + " " + card.typeName + ":");
      for (const auto& [name, value] : card.properties) {
        line += " " + name + "=" + value + ";";
      }
    }
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class CrashAtEveryWriteTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(CrashAtEveryWriteTest, EveryCrashConvergesToTheUninterruptedRun) {
  const Scenario& scenario = GetParam();
  StoreFiles start, reference;
  scenario.seed(start);
  CopyDataFolder(start.data, reference.data);
  CrashPlan counting;
  AnsweringView referenceView(scenario.keep);
  ASSERT_TRUE(RunWith(reference, referenceView, &counting));
  const std::vector<std::string> expected = StoreLines(reference);
  ASSERT_NE(expected, StoreLines(start));

  for (int k = 1; k <= static_cast<int>(counting.writes().size()); ++k) {
    SCOPED_TRACE("crash at write " + std::to_string(k) + " (" + counting.writes()[k - 1] + ")");
    StoreFiles files;
    CopyDataFolder(start.data, files.data);
    CrashPlan plan(k);
    AnsweringView crashed(scenario.keep), after(scenario.keep);
    try {
      RunWith(files, crashed, &plan);
    } catch (const SimulatedCrash&) {
    }
    ASSERT_EQ(plan.writes().size(), static_cast<size_t>(k - 1)) << "the run did not crash there";
    ASSERT_EQ(plan.crashesThrown(), 1) << "the crash was caught and the run wrote again";
    ASSERT_TRUE(RunWith(files, after)) << after.status();
    ASSERT_EQ(StoreLines(files), expected);
    CrashPlan third;
    ASSERT_TRUE(RunWith(files, after, &third));
    ASSERT_EQ(third.writes(), std::vector<std::string>{}) << "a run after convergence writes";
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, CrashAtEveryWriteTest, ::testing::ValuesIn(CrashScenarios()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace twinbook::testing
