#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "engine/start_sync.h"
#include "hostile/hostile_cases.h"
#include "ui/gui_test_support.h"
#include "ui/main_window.h"

namespace twinbook::testing {
namespace {

std::vector<HostileCase> WindowCases() {
  std::vector<HostileCase> cases;
  for (const HostileCase& c : HostileCases()) {
    if (c.throughWindow) {
      cases.push_back(c);
    }
  }
  return cases;
}

// Answers the window's dialogs as they come up: message boxes with OK (their
// texts kept), name prompts as proposed, conflicts by keeping the desktop's
// version when the case says so.
class DialogAnswers : public QObject {
 public:
  explicit DialogAnswers(bool keepOutlook) : keepOutlook_(keepOutlook) {
    timer_.setParent(this);
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Answer(); });
    timer_.start();
  }

  std::vector<std::string> messages;
  int namePrompts = 0;
  int conflicts = 0;

 private:
  void Answer() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      return;
    }
    const QString name = modal->objectName();
    if (name == "TwinbookMessage") {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->windowTitle(), "Twinbook");
      EXPECT_EQ(box->buttons().size(), 1);
      messages.push_back(box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    } else if (name == "NamePrompt") {
      ++namePrompts;
      modal->findChild<QPushButton*>("NameOK")->click();
    } else if (name == "TwinbookConflict") {
      ++conflicts;
      if (keepOutlook_) {
        modal->findChild<QPushButton*>("KeepOutlook")->click();
      } else {
        modal->close();
      }
    }
  }

  bool keepOutlook_;
  QTimer timer_;
};

void ClickStart(MainWindow& window, const HostileCase& c) {
  WithPermissionBits(
      c, [&window] { QTest::mouseClick(window.findChild<QPushButton*>("Start"), Qt::LeftButton); });
}

class HostileWindowTest : public ::testing::TestWithParam<HostileCase> {};

// The same inputs through the program's window and its real dialogs: the
// message box names the culprit, and the window goes on to run again.
TEST_P(HostileWindowTest, TheWindowNamesTheCulpritOrWorksAndStaysUsable) {
  const HostileCase& c = GetParam();
  Scene scene;
  if (const auto skip = PutCase(scene, c)) {
    GTEST_SKIP() << *skip;
  }
  const auto before = scene.StoreSnapshot();
  MainWindow window(scene.files.state, scene.platform);
  window.show();
  DialogAnswers answers(c.keepOutlookInConflicts);

  ClickStart(window, c);

  if (!c.named.empty()) {
    EXPECT_EQ(StatusOf(window), kStatusError);
    ASSERT_EQ(answers.messages.size(), 1u);
    ExpectNamesCulprit(answers.messages[0], c, scene.files);
    ExpectSameFiles(scene.StoreSnapshot(), before, "the refused run");

    c.removeCulprit(scene);
    answers.messages.clear();
    ClickStart(window, HostileCase{});
    EXPECT_EQ(StatusOf(window), kStatusComplete);
    EXPECT_TRUE(answers.messages.empty()) << answers.messages.front().substr(0, 2000);
    ExpectGoodOutcome(scene.files);
    return;
  }

  EXPECT_EQ(StatusOf(window), kStatusComplete);
  EXPECT_TRUE(answers.messages.empty()) << answers.messages.front().substr(0, 2000);
  ExpectGoodOutcome(scene.files);
  c.check(scene);
  const auto after = scene.StoreContent();
  ClickStart(window, c);
  EXPECT_EQ(StatusOf(window), kStatusComplete);
  EXPECT_TRUE(answers.messages.empty()) << answers.messages.front().substr(0, 2000);
  ExpectSameFiles(scene.StoreContent(), after, "the second run");
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileWindowTest, ::testing::ValuesIn(WindowCases()),
                         PrintCaseName);

}  // namespace
}  // namespace twinbook::testing
