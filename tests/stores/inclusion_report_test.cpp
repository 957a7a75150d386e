#include "stores/inclusion_report.h"

#include <gtest/gtest.h>

#include <functional>

#include "environment/app_info.h"
#include "stores/fake_contacts.h"
#include "support/fake_platform.h"
#include "support/scripted_view.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::FakeContactStore;
using testing::ReadCrLfLines;
using testing::TempDir;
using P = ContactProperty;

const std::string kContacts = "/home/ann/Contacts";

class InclusionReportTest : public ::testing::Test {
 protected:
  InclusionReportTest() {
    state.settings.ContactsPath = kContacts;
    state.settings.NameField = "File As";
    contacts.folders[kContacts];
  }

  void AddContact(const std::string& fileAs, const std::string& user2,
                  std::string type = std::string(kContactItemType)) {
    contacts.Add(kContacts, fileAs + ".vcf",
                 {{P::FileAs, fileAs}, {P::FullName, "Full " + fileAs}, {P::User2, user2}},
                 std::move(type));
  }

  std::vector<std::string> Head() {
    return {TitleAndVersionLine(), kNotice, "Inclusion Report", ""};
  }
  std::vector<std::string> Expected(const std::vector<std::string>& included,
                                    const std::vector<std::string>& excluded) {
    std::vector<std::string> lines = Head();
    lines.push_back("Included Contacts:");
    for (const std::string& name : included) {
      lines.push_back("     " + name);
    }
    lines.push_back("");
    lines.push_back("Excluded Contacts:");
    for (const std::string& name : excluded) {
      lines.push_back("     " + name);
    }
    return lines;
  }

  TempDir dir;
  const std::string report = dir / "InclusionReport.txt";
  testing::FakePlatform fake;
  FakeContactStore contacts;
  Platform platform{fake.databases, contacts, fake.settings, fake.launcher};
  RunState state{dir.path().string()};
  testing::ScriptedView view;
  RunContext context{state, view, platform};
};

TEST_F(InclusionReportTest, ListsIncludedAndExcludedContactsInFolderOrder) {
  testing::WriteFile(report, "an older and much longer report\r\nwith two lines\r\n");
  AddContact("Adams", "yes");
  AddContact("Baker", "No");
  AddContact("Team", "YES", "DistListItem");
  AddContact("Clark", "y");
  AddContact("Davis", "");
  contacts.Add(kContacts, "nameless.vcf", {{P::User2, "YES"}});
  AddContact("Evans", "YeS");
  AddContact("Foster", "maybe");
  AddContact("Grant", "Y");
  AddContact("Hill", " yes");

  WriteInclusionReport(context);

  EXPECT_EQ(ReadCrLfLines(report), Expected({"Adams", "Clark", "", "Evans", "Grant"},
                                            {"Baker", "Davis", "Foster", "Hill"}));
  EXPECT_EQ(view.messages,
            std::vector<std::string>{"The Inclusion Report has been written to " + report});
  EXPECT_EQ(contacts.saves, 0);
  EXPECT_EQ(contacts.deletes, 0);
}

TEST_F(InclusionReportTest, NamesAreTheSynchronisedNames) {
  AddContact("Adams", "Y");
  AddContact("Baker", "N");
  state.settings.NameField = "Full Name";
  WriteInclusionReport(context);
  EXPECT_EQ(ReadCrLfLines(report), Expected({"Full Adams"}, {"Full Baker"}));
}

// Not an empty folder: the report is written, with both lists empty.
TEST_F(InclusionReportTest, AFolderOfDistributionListsOnlyIsReportedEmpty) {
  AddContact("Team", "YES", "DistListItem");
  WriteInclusionReport(context);
  EXPECT_EQ(ReadCrLfLines(report), Expected({}, {}));
}

// A folder that cannot be read through stops the report before its file is
// touched; a report that cannot be written is an error naming it.
TEST_F(InclusionReportTest, ErrorsNameTheCulpritAndLeaveTheEarlierReport) {
  AddContact("Adams", "Y");
  contacts.Add(kContacts, "broken.vcf", {}).unreadable = true;
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[] {}, "broken.vcf"},
      {[this] { state.settings.ContactsPath = "/nowhere/Contacts"; }, "/nowhere/Contacts"},
      {[this] {
         state.settings.ContactsPath = kContacts;
         contacts.folders[kContacts].pop_back();
         state.ProgramFolder = dir / "missing";
       },
       dir / "missing/InclusionReport.txt"},
  };
  testing::WriteFile(report, "earlier report\r\n");
  for (const auto& [breakIt, culprit] : cases) {
    SCOPED_TRACE(culprit);
    breakIt();
    try {
      WriteInclusionReport(context);
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(culprit), std::string::npos) << error.what();
    }
    EXPECT_EQ(testing::ReadFile(report), "earlier report\r\n");
    EXPECT_TRUE(view.messages.empty());
  }
}

}  // namespace
}  // namespace twinbook
