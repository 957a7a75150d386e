#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "engine/start_sync.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::FakePlatform;
using testing::TempDir;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.settings.Set("LogPath", log);
    fake.settings.Set("PMBefore", "False");
    fake.settings.Set("PMAfter", "False");
  }

  QString StatusText() { return window.findChild<QGroupBox*>("Status")->title(); }
  int VisibleLabels() {
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

  TempDir dir;
  const std::string log = dir / "SyncLog.txt";
  FakePlatform fake;
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

TEST_F(MainWindowTest, PressingStartRunsEveryPhase) {
  window.show();
  QTest::mouseClick(window.findChild<QPushButton*>("Start"), Qt::LeftButton);
  EXPECT_EQ(StatusText(), "Status: Synchronization complete.");
  EXPECT_EQ(VisibleLabels(), 26);
  EXPECT_EQ(testing::ReadCrLfLines(log).at(2), "Activity Log");
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

}  // namespace
}  // namespace twinbook
