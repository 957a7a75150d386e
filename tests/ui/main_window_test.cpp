#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>

#include "engine/start_sync.h"
#include "environment/app_info.h"
#include "gui_test_support.h"
#include "support/store_files.h"
#include "ui/about_dialog.h"

namespace twinbook::testing {
namespace {

// The real window over real files: the sample Data folder the run script
// prepares, the SQLite and vCard stores, its dialogs answered as a user would.
class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { window.show(); }
  int VisibleLabels() {
    int visible = 0;
    for (const PhaseInfo& info : kPhases) {
      for (std::string_view name : {info.startLabel, info.doneLabel}) {
        visible += Child<QLabel>(&window, std::string(name).c_str())->isVisible();
      }
    }
    return visible;
  }
  void Click(const char* button) {
    QTest::mouseClick(Child<QPushButton>(&window, button), Qt::LeftButton);
  }
  void Trigger(const char* action) { Child<QAction>(&window, action)->trigger(); }

  StoreFiles f = StoreFiles::WithSampleData();
  MainWindow window{f.state, f.platform};
  QObject owner;
  std::vector<std::string> messages;
};

TEST_F(MainWindowTest, StartRunsEveryPhaseAskingTheUserThenTheMenusWork) {
  EXPECT_TRUE(window.windowTitle().startsWith("Twinbook - "));
  EXPECT_EQ(StatusOf(window), "Status: Idle");
  EXPECT_EQ(VisibleLabels(), 0);
  for (const auto& [name, caption] :
       std::vector<std::pair<const char*, QString>>{{"PhoneBookManager", "iDEN PhoneBook Manager"},
                                                    {"Synchronize", "Synchronize"},
                                                    {"Quit", "Quit"},
                                                    {"Inclusion", "Inclusion Report"},
                                                    {"Settings", "Options"},
                                                    {"AboutTwinbook", "About Twinbook"}}) {
    EXPECT_EQ(Child<QAction>(&window, name)->text(), caption);
  }
  // The five PhoneBook contacts new to the desktop but one come through the
  // name prompt, confirmed as proposed; Brennan's mobile differs on the two
  // sides and the desktop's is kept.
  int prompts = 0, conflicts = 0;
  std::function<void(QWidget*)> answer = [&](QWidget* dialog) {
    const bool prompt = dialog->objectName() == "NamePrompt";
    (prompt ? prompts : conflicts)++;
    if (prompts + conflicts < 5)
      WhenModal(&owner, {}, answer);
    Child<QPushButton>(dialog, prompt ? "NameOK" : "KeepOutlook")->click();
  };
  WhenModal(&owner, {}, answer);
  Click("Start");
  EXPECT_EQ(prompts, 4);
  EXPECT_EQ(conflicts, 1);
  EXPECT_EQ(StatusOf(window), kStatusComplete);
  EXPECT_EQ(VisibleLabels(), 26);
  const std::vector<std::string> log = f.LogLines();
  EXPECT_EQ(log.at(0), TitleAndVersionLine());
  EXPECT_EQ(log.at(2), "Activity Log");
  EXPECT_NE(std::find(log.begin(), log.end(), "... Conflict detected for Brennan, Thomas"),
            log.end());
  EXPECT_EQ(f.CardNamed("Brennan, Thomas").value()["MobileTelephoneNumber"], "(312) 555-0199");
  const auto rows = f.PhoneBookRows();
  EXPECT_NE(std::find(rows.begin(), rows.end(),
                      PhoneBookRow{"2", "Brennan, Thomas", "3125550199", "4", "5", "6"}),
            rows.end());

  // The Inclusion Report, written while the status says so; the labels stay.
  QString statusWhileWriting;
  AnswerMessageBox(&owner, messages, [&] { statusWhileWriting = StatusOf(window); });
  Trigger("Inclusion");
  const std::string report = f.dir / "InclusionReport.txt";
  EXPECT_EQ(messages,
            std::vector<std::string>{"The Inclusion Report has been written to " + report});
  EXPECT_EQ(statusWhileWriting, "Status: Creating Inclusion Report . . .");
  EXPECT_EQ(StatusOf(window), "Status: Idle");
  EXPECT_EQ(VisibleLabels(), 26);
  EXPECT_EQ(ReadCrLfLines(report).at(4), "Included Contacts:");
  WriteFile(f.contactsPath + "/broken.vcf", "no card");
  AnswerMessageBox(&owner, messages);
  Trigger("Inclusion");
  EXPECT_EQ(messages.at(1),
            "The Inclusion Report could not be written: Contact card " + f.contactsPath +
                "/broken.vcf is not a readable vCard: no vCard: line 1 is not BEGIN:VCARD");

  // The About box, with the log's title and version; one at most.
  Trigger("AboutTwinbook");
  Trigger("AboutTwinbook");
  AboutDialog* about = window.about();
  ASSERT_EQ(window.findChildren<AboutDialog*>(), QList<AboutDialog*>{about});
  EXPECT_EQ(about->windowTitle(), "About Twinbook");
  EXPECT_FALSE(about->isModal());
  EXPECT_EQ("Twinbook, version: " + Child<QLabel>(about, "lblVersion")->text().mid(8).toStdString(),
            log.at(0));
  Child<QPushButton>(about, "cmdOK")->click();
  FlushDeletes();
  EXPECT_EQ(window.about(), nullptr);

  // The manager menu starts it alongside, or says it could not.
  Trigger("PhoneBookManager");
  EXPECT_EQ(f.launcher.startedDetached, std::vector<std::string>{f.dir / "idenpm.exe"});
  f.launcher.canStart = false;
  AnswerMessageBox(&owner, messages);
  Trigger("PhoneBookManager");
  EXPECT_EQ(messages.at(2),
            "The PhoneBook Manager could not be started: " + (f.dir / "idenpm.exe"));
}

// Quit ends a run at once wherever it is, and it writes nothing more; Start
// or a report during a run leave the run alone.
TEST_F(MainWindowTest, QuitDuringTheManagerWait) {
  const auto before = f.Snapshot();
  f.settings.Set("PMBefore", "True");
  f.launcher.waitsBeforeExit = 1000000;
  QString statusAfterReport;
  QTimer::singleShot(0, &owner, [&] {
    Click("Start");
    Trigger("Inclusion");
    statusAfterReport = StatusOf(window);
  });
  QTimer::singleShot(50, &owner, [&] { Click("QuitSync"); });
  window.StartSyncClicked();
  EXPECT_TRUE(window.QuitRequested());
  EXPECT_EQ(f.launcher.started.size(), 1u);
  EXPECT_EQ(statusAfterReport, "Status: Waiting for PhoneBook Manager . . .");
  EXPECT_EQ(StatusOf(window), statusAfterReport);
  EXPECT_EQ(VisibleLabels(), 0);
  EXPECT_TRUE(f.Snapshot() == before);
}

TEST_F(MainWindowTest, QuitDuringADialog) {
  QString asking;
  WhenModal(&owner, {}, [&](QWidget* dialog) {
    asking = dialog->objectName();
    Click("QuitSync");
  });
  window.StartSyncClicked();
  EXPECT_EQ(asking, "TwinbookConflict");
  EXPECT_NE(StatusOf(window), kStatusComplete);
  EXPECT_EQ(f.Cards().size(), 6u);
  EXPECT_EQ(window.AskConflict({}), std::nullopt);  // no dialog once quitting
}

}  // namespace
}  // namespace twinbook::testing
