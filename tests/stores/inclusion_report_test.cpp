#include "stores/inclusion_report.h"

#include <gtest/gtest.h>

#include <filesystem>

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
  AddContact("Adams", "yes");
  AddContact("Baker", "No");
  AddContact("Team", "YES", "DistListItem");
  AddContact("Clark", "y");
  AddContact("Davis", "");
  AddContact("Evans", "YeS");
  AddContact("Foster", "maybe");
  AddContact("Grant", "Y");
  AddContact("Hill", " yes");

  WriteInclusionReport(context);

  EXPECT_EQ(ReadCrLfLines(report),
            Expected({"Adams", "Clark", "Evans", "Grant"}, {"Baker", "Davis", "Foster", "Hill"}));
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

TEST_F(InclusionReportTest, AnEmptyNameIsALineOfFiveBlanks) {
  contacts.Add(kContacts, "nameless.vcf", {{P::User2, "YES"}});
  WriteInclusionReport(context);
  EXPECT_EQ(ReadCrLfLines(report), Expected({""}, {}));
}

TEST_F(InclusionReportTest, AllExcluded) {
  AddContact("Adams", "No");
  AddContact("Baker", "");
  WriteInclusionReport(context);
  std::vector<std::string> lines = ReadCrLfLines(report);
  EXPECT_EQ(lines, Expected({}, {"Adams", "Baker"}));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[4], "Included Contacts:");
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines[6], "Excluded Contacts:");
}

TEST_F(InclusionReportTest, ReplacesAnEarlierReport) {
  testing::WriteFile(report, "an older and much longer report\r\nwith two lines\r\n");
  AddContact("Adams", "Y");
  WriteInclusionReport(context);
  EXPECT_EQ(ReadCrLfLines(report), Expected({"Adams"}, {}));
}

TEST_F(InclusionReportTest, AnEmptyFolderWritesNothingAndSaysNothing) {
  WriteInclusionReport(context);
  EXPECT_FALSE(std::filesystem::exists(report));
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(InclusionReportTest, AFolderOfDistributionListsOnlyIsReportedEmpty) {
  AddContact("Team", "YES", "DistListItem");
  WriteInclusionReport(context);
  EXPECT_EQ(ReadCrLfLines(report), Expected({}, {}));
}

TEST_F(InclusionReportTest, AMissingFolderIsAnErrorNamingIt) {
  state.settings.ContactsPath = "/nowhere/Contacts";
  try {
    WriteInclusionReport(context);
    FAIL() << "no error";
  } catch (const ContactsError& error) {
    EXPECT_NE(std::string(error.what()).find("/nowhere/Contacts"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(report));
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(InclusionReportTest, AnUnreadableCardStopsItBeforeTheFileIsTouched) {
  testing::WriteFile(report, "earlier report\r\n");
  AddContact("Adams", "Y");
  contacts.Add(kContacts, "broken.vcf", {}).unreadable = true;
  AddContact("Clark", "Y");
  try {
    WriteInclusionReport(context);
    FAIL() << "no error";
  } catch (const ContactsError& error) {
    EXPECT_NE(std::string(error.what()).find("broken.vcf"), std::string::npos);
  }
  EXPECT_EQ(testing::ReadFile(report), "earlier report\r\n");
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(InclusionReportTest, AReportThatCannotBeWrittenIsAnErrorNamingIt) {
  state.ProgramFolder = dir / "missing";
  AddContact("Adams", "Y");
  try {
    WriteInclusionReport(context);
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(dir / "missing/InclusionReport.txt"),
              std::string::npos)
        << error.what();
  }
  EXPECT_TRUE(view.messages.empty());
}

TEST(InclusionReportPathTest, BesideTheProgram) {
  EXPECT_EQ(InclusionReportPath("/opt/twinbook"), "/opt/twinbook/InclusionReport.txt");
}

}  // namespace
}  // namespace twinbook
