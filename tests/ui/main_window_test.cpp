#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <filesystem>

#include "data_setup.h"
#include "engine/start_sync.h"
#include "environment/activity_log.h"
#include "environment/app_info.h"
#include "gui_test_support.h"
#include "platform/qt/qt_process_launcher.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "stores/fake_contacts.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/about_dialog.h"

namespace twinbook {
namespace {

using testing::AnswerMessageBox;
using testing::Child;
using testing::FakePlatform;
using testing::IdlePhases;
using testing::StatusOf;
using testing::TempDir;
using testing::WhenModal;
namespace fs = std::filesystem;

int VisibleLabelsOf(const MainWindow& window) {
  int visible = 0;
  for (const PhaseInfo& info : kPhases) {
    for (std::string_view name : {info.startLabel, info.doneLabel}) {
      QLabel* label = window.findChild<QLabel*>(QString::fromUtf8(name.data(), name.size()));
      EXPECT_NE(label, nullptr) << name;
      if (label != nullptr && label->isVisible()) {
        ++visible;
      }
    }
  }
  return visible;
}

// A log in a temporary folder and no PhoneBook Manager around runs.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.settings.Set("LogPath", log);
    fake.settings.Set("PMBefore", "False");
    fake.settings.Set("PMAfter", "False");
  }

  TempDir dir;
  const std::string log = dir / "SyncLog.txt";
  FakePlatform fake;
};

class MainWindowTest : public WindowTest {
 protected:
  QString StatusText() { return StatusOf(window); }
  int VisibleLabels() { return VisibleLabelsOf(window); }

  RunState state{"/opt/tb"};
  MainWindow window{state, fake.platform};
};

TEST_F(MainWindowTest, OpensIdleWithItsControlsAndMenus) {
  window.show();
  EXPECT_EQ(window.objectName(), "TwinbookStart");
  EXPECT_TRUE(window.windowTitle().startsWith("Twinbook - "));
  EXPECT_EQ(StatusText(), "Status: Idle");
  EXPECT_EQ(VisibleLabels(), 0);
  EXPECT_EQ(window.findChild<QPushButton*>("Start")->text(), "Start");
  EXPECT_EQ(window.findChild<QPushButton*>("QuitSync")->text(), "Quit");
  for (const auto& [name, caption] :
       std::vector<std::pair<QString, QString>>{{"PhoneBookManager", "iDEN PhoneBook Manager"},
                                                {"Synchronize", "Synchronize"},
                                                {"Quit", "Quit"},
                                                {"Inclusion", "Inclusion Report"},
                                                {"Settings", "Options"},
                                                {"AboutTwinbook", "About Twinbook"}}) {
    QAction* action = window.findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << name.toStdString();
    EXPECT_EQ(action->text(), caption);
  }
}

// The real window over real files: the sample Data folder that the run
// script prepares, with the SQLite and vCard stores.
class SampleDataWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallSampleData(data);
    settings.PointAtDataFolder(data);
  }

  TempDir dir;
  const std::string data = dir / "Data";
  SqliteDatabaseEngine databases;
  VCardContactStore contacts;
  testing::MemorySettingsStore settings;
  testing::FakeLauncher launcher;
  Platform platform{databases, contacts, settings, launcher};
  RunState state{dir.path().string()};
  MainWindow window{state, platform};
  QObject owner;
};

TEST_F(SampleDataWindowTest, PressingStartRunsEveryPhaseAndAsksAboutTheConflict) {
  window.show();
  int conflicts = 0;
  std::function<void(QWidget*)> keepOutlook = [&](QWidget* dialog) {
    ++conflicts;
    Child<QPushButton>(dialog, "KeepOutlook")->click();
  };
  WhenModal(&owner, "TwinbookConflict", keepOutlook);
  // The four PhoneBook contacts new to the desktop are each created through
  // the name prompt, which comes filled and is confirmed as it is.
  int prompts = 0;
  std::function<void(QWidget*)> confirmName = [&](QWidget* dialog) {
    if (++prompts < 4) {
      WhenModal(&owner, "NamePrompt", confirmName);
    }
    Child<QPushButton>(dialog, "NameOK")->click();
  };
  WhenModal(&owner, "NamePrompt", confirmName);
  QTest::mouseClick(window.findChild<QPushButton*>("Start"), Qt::LeftButton);
  EXPECT_EQ(conflicts, 1);
  EXPECT_EQ(prompts, 4);
  EXPECT_EQ(StatusOf(window), "Status: Synchronization complete.");
  EXPECT_EQ(VisibleLabelsOf(window), 26);
  std::vector<std::string> lines = testing::ReadCrLfLines(data + "/SyncLog.txt");
  EXPECT_EQ(lines.at(0), TitleAndVersionLine());
  EXPECT_EQ(lines.at(2), "Activity Log");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "... Conflict detected for Brennan, Thomas"),
            lines.end());
}

TEST_F(MainWindowTest, QuitDuringTheManagerWaitEndsTheRunWritingNothing) {
  testing::WriteFile(log, "the previous run\r\n");
  fake.settings.Set("PMBefore", "True");
  fake.launcher.waitsBeforeExit = 1000000;
  window.show();
  QTimer::singleShot(50, &window, [this] {
    QTest::mouseClick(window.findChild<QPushButton*>("QuitSync"), Qt::LeftButton);
  });
  window.StartSyncClicked();
  EXPECT_TRUE(window.QuitRequested());
  EXPECT_EQ(StatusText(), "Status: Waiting for PhoneBook Manager . . .");
  EXPECT_EQ(testing::ReadFile(log), "the previous run\r\n");
  EXPECT_EQ(VisibleLabels(), 0);
}

// The window of a test whose runs must not depend on what the phases do with
// the stores: its phases do nothing, so a run always completes.
class IdleRunWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    fake.settings.Set("ContactsPath", kContacts);
    contacts.folders[kContacts];
    ResetSyncState(state, fake.settings);
    window.show();
  }
  void Trigger(const char* action) { window.findChild<QAction*>(action)->trigger(); }
  QString StatusText() { return StatusOf(window); }
  int VisibleLabels() { return VisibleLabelsOf(window); }
  // Fails the test if a message box shows up (and answers it).
  void ExpectNoMessageBox() {
    WhenModal(&owner, "TwinbookMessage", [](QWidget* box) {
      ADD_FAILURE() << "unexpected message box";
      box->close();
    });
  }

  const std::string kContacts = "/home/ann/Contacts";
  testing::FakeContactStore contacts;
  Platform platform{fake.databases, contacts, fake.settings, fake.launcher};
  RunState state{dir.path().string()};
  MainWindow window{state, platform, nullptr, IdlePhases()};
  QObject owner;
  std::vector<std::string> messages;
};

TEST_F(IdleRunWindowTest, InclusionReportAfterARunResetsTheStatusButNotTheLabels) {
  using P = ContactProperty;
  contacts.Add(kContacts, "a.vcf", {{P::FileAs, "Adams"}, {P::User2, "yes"}});
  contacts.Add(kContacts, "b.vcf", {{P::FileAs, "Baker"}, {P::User2, "no"}});
  QTest::mouseClick(window.findChild<QPushButton*>("Start"), Qt::LeftButton);
  ASSERT_EQ(StatusText(), "Status: Synchronization complete.");
  ASSERT_EQ(VisibleLabels(), 26);

  QString statusWhileWriting;
  AnswerMessageBox(&owner, messages, [&] { statusWhileWriting = StatusText(); });
  Trigger("Inclusion");

  const std::string report = dir / "InclusionReport.txt";
  EXPECT_EQ(messages,
            std::vector<std::string>{"The Inclusion Report has been written to " + report});
  EXPECT_EQ(statusWhileWriting, "Status: Creating Inclusion Report . . .");
  EXPECT_EQ(StatusText(), "Status: Idle");
  EXPECT_EQ(VisibleLabels(), 26);
  EXPECT_EQ(testing::ReadCrLfLines(report),
            (std::vector<std::string>{TitleAndVersionLine(), kNotice, "Inclusion Report", "",
                                      "Included Contacts:", "     Adams", "",
                                      "Excluded Contacts:", "     Baker"}));
  EXPECT_EQ(contacts.saves, 0);
}

TEST_F(IdleRunWindowTest, AnEmptyFolderGivesNoReportAndNoMessage) {
  ExpectNoMessageBox();
  Trigger("Inclusion");
  EXPECT_EQ(StatusText(), "Status: Idle");
  EXPECT_FALSE(fs::exists(dir / "InclusionReport.txt"));
}

TEST_F(IdleRunWindowTest, AReportErrorIsShownAndTheStatusReturnsToIdle) {
  using P = ContactProperty;
  contacts.Add(kContacts, "a.vcf", {{P::FileAs, "Adams"}, {P::User2, "yes"}});
  contacts.Add(kContacts, "broken.vcf", {}).unreadable = true;
  AnswerMessageBox(&owner, messages);
  Trigger("Inclusion");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "The Inclusion Report could not be written: Cannot read " + kContacts +
                             "/broken.vcf: not a vCard");
  EXPECT_EQ(StatusText(), "Status: Idle");
}

TEST_F(IdleRunWindowTest, AboutBox) {
  Trigger("AboutTwinbook");
  AboutDialog* about = window.about();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->objectName(), "AboutSync");
  EXPECT_EQ(about->windowTitle(), "About Twinbook");
  EXPECT_FALSE(about->isModal());
  EXPECT_TRUE(about->isVisible());
  EXPECT_EQ(about->parentWidget(), &window);
  EXPECT_EQ(Child<QLabel>(about, "lblTitle")->text(), "Twinbook");
  EXPECT_EQ(Child<QLabel>(about, "lblDescription")->text(),
            "This program executes a bidirectional synchronization between the iDEN PhoneBook "
            "Manager database and Outlook Contacts.");
  EXPECT_FALSE(Child<QLabel>(about, "lblNotice")->text().isEmpty());
  EXPECT_EQ(Child<QPushButton>(about, "cmdOK")->text(), "OK");

  // The same title and version as the head of the log.
  QTest::mouseClick(window.findChild<QPushButton*>("Start"), Qt::LeftButton);
  const std::string head = testing::ReadCrLfLines(log).at(0);
  const QString version = Child<QLabel>(about, "lblVersion")->text();
  ASSERT_TRUE(version.startsWith("Version "));
  EXPECT_EQ(head, "Twinbook, version: " + version.mid(8).toStdString());

  Trigger("AboutTwinbook");
  EXPECT_EQ(window.findChildren<AboutDialog*>().size(), 1);
  Child<QPushButton>(about, "cmdOK")->click();
  testing::FlushDeletes();
  EXPECT_EQ(window.about(), nullptr);
}

TEST_F(IdleRunWindowTest, TheManagerMenuStartsItAlongside) {
  ExpectNoMessageBox();
  Trigger("PhoneBookManager");
  EXPECT_EQ(fake.launcher.startedDetached, std::vector<std::string>{dir / "idenpm.exe"});
  EXPECT_TRUE(fake.launcher.started.empty());
  EXPECT_EQ(StatusText(), "Status: Idle");
}

TEST_F(IdleRunWindowTest, AManagerThatCannotBeStartedFromTheMenuIsReported) {
  fake.launcher.canStart = false;
  AnswerMessageBox(&owner, messages);
  Trigger("PhoneBookManager");
  EXPECT_EQ(messages, std::vector<std::string>{"The PhoneBook Manager could not be started: " +
                                               (dir / "idenpm.exe")});
}

TEST_F(IdleRunWindowTest, TheReportDuringARunLeavesTheRunItsStatus) {
  fake.settings.Set("PMBefore", "True");
  fake.launcher.waitsBeforeExit = 3;
  QString statusAfterReport;
  QTimer::singleShot(0, &owner, [&] {
    ExpectNoMessageBox();
    Trigger("Inclusion");
    statusAfterReport = StatusText();
  });
  window.StartSyncClicked();
  EXPECT_EQ(statusAfterReport, "Status: Waiting for PhoneBook Manager . . .");
  EXPECT_EQ(StatusText(), "Status: Synchronization complete.");
}

TEST_F(IdleRunWindowTest, StartDuringARunDoesNotStartASecondOne) {
  fake.settings.Set("PMBefore", "True");
  fake.launcher.waitsBeforeExit = 3;
  bool clicked = false;
  QTimer::singleShot(0, &owner, [&] {
    clicked = true;
    QTest::mouseClick(window.findChild<QPushButton*>("Start"), Qt::LeftButton);
  });
  window.StartSyncClicked();
  EXPECT_TRUE(clicked);
  EXPECT_EQ(fake.launcher.started.size(), 1u);
  EXPECT_EQ(StatusText(), "Status: Synchronization complete.");
}

// The run waits for a real program, and the window keeps handling its events.
class ManagerWaitTest : public IdleRunWindowTest {
 protected:
  void SetUp() override {
    IdleRunWindowTest::SetUp();
    window.hide();
  }
  void WriteManager(const std::string& body) {
    testing::WriteFile(dir / "idenpm.exe", "#!/bin/sh\n" + body);
    fs::permissions(dir / "idenpm.exe", fs::perms::owner_all);
  }
  QtProcessLauncher realLauncher;
  Platform realPlatform{fake.databases, contacts, fake.settings, realLauncher};
  RunState realState{dir.path().string()};
  MainWindow realWindow{realState, realPlatform, nullptr, IdlePhases()};
};

TEST_F(ManagerWaitTest, TheRunWaitsWhileTheWindowHandlesEvents) {
  // The manager ends only once the test's timer has fired, which it can do
  // only if the window handles events during the wait.
  WriteManager(
      "here=\"$(dirname \"$0\")\"\n"
      "i=0\n"
      "while [ ! -e \"$here/go\" ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done\n"
      "touch \"$here/ended\"\n");
  fake.settings.Set("PMBefore", "True");
  realWindow.show();
  bool fired = false;
  bool logWrittenBeforeTheManagerEnded = true;
  QTimer::singleShot(0, &owner, [&] {
    fired = true;
    logWrittenBeforeTheManagerEnded = fs::exists(log);
    testing::WriteFile(dir / "go", "");
  });
  realWindow.StartSyncClicked();
  EXPECT_TRUE(fired);
  EXPECT_FALSE(logWrittenBeforeTheManagerEnded);
  EXPECT_TRUE(fs::exists(dir / "ended"));
  EXPECT_EQ(StatusOf(realWindow), "Status: Synchronization complete.");
  EXPECT_EQ(testing::ReadCrLfLines(log).at(2), "Activity Log");
}

// A run that asks the user in the middle, as the reconciling phases do.
std::optional<ConflictAnswer> gAnswer;
void AskInTheMiddle(RunContext& context) {
  ConflictQuestion question;
  question.outlook.ContactName = "Outlook name";
  question.phoneBook.ContactName = "PhoneBook name";
  gAnswer = context.view.AskConflict(question);
  context.StopIfQuitting();
  LogFile log(context.settings().LogPath, LogFile::Mode::Append);
  log.WriteLine("after the dialog");
  log.Close();
}

const PhaseRoutines& AskingPhases() {
  static const PhaseRoutines routines = [] {
    PhaseRoutines r = IdlePhases();
    r.phases[static_cast<size_t>(Phase::SyncingModified)] = AskInTheMiddle;
    return r;
  }();
  return routines;
}

class AskingRunTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ResetSyncState(state, fake.settings);
    gAnswer.reset();
    asking.show();
  }
  RunState state{"/opt/tb"};
  MainWindow asking{state, fake.platform, nullptr, AskingPhases()};
  QObject owner;
};

TEST_F(AskingRunTest, QuitDuringTheDialogEndsTheRunWritingNothingMore) {
  WhenModal(&owner, "TwinbookConflict", [this](QWidget*) {
    QTest::mouseClick(asking.findChild<QPushButton*>("QuitSync"), Qt::LeftButton);
  });
  asking.StartSyncClicked();
  EXPECT_TRUE(asking.QuitRequested());
  EXPECT_FALSE(gAnswer.has_value());
  std::vector<std::string> lines = testing::ReadCrLfLines(log);
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "after the dialog"), lines.end());
  EXPECT_NE(StatusOf(asking), "Status: Synchronization complete.");
}

}  // namespace
}  // namespace twinbook
