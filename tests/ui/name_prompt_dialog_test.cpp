#include "ui/name_prompt_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "gui_test_support.h"
#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace twinbook {
namespace {

using testing::AnswerMessageBox;
using testing::Child;
using testing::WhenModal;

void Type(QWidget* prompt, const NameValues& values) {
  Child<QLineEdit>(prompt, "NewFirst")->setText(QString::fromStdString(values.FirstName));
  Child<QLineEdit>(prompt, "NewLast")->setText(QString::fromStdString(values.LastName));
  Child<QLineEdit>(prompt, "NewFull")->setText(QString::fromStdString(values.FullName));
  Child<QLineEdit>(prompt, "NewFile")->setText(QString::fromStdString(values.FileAs));
}

NameValues Shown(QWidget* prompt) {
  return NameValues{Child<QLineEdit>(prompt, "NewFirst")->text().toStdString(),
                    Child<QLineEdit>(prompt, "NewLast")->text().toStdString(),
                    Child<QLineEdit>(prompt, "NewFull")->text().toStdString(),
                    Child<QLineEdit>(prompt, "NewFile")->text().toStdString()};
}

class NamePromptTest : public ::testing::Test {
 protected:
  const NameValues proposal{"Ann", "Doe", "Ann Doe", "Smith, Ann"};
  testing::FakePlatform fake;
  RunState state{"/opt/tb"};
  MainWindow window{state, fake.platform};
  QObject owner;
  std::vector<std::string> messages;
};

TEST_F(NamePromptTest, ShowsTheProposalAsLaidOut) {
  window.show();
  WhenModal(&owner, "NamePrompt", [this](QWidget* prompt) {
    EXPECT_EQ(prompt->windowTitle(), "Name Change");
    EXPECT_TRUE(prompt->isModal());
    EXPECT_EQ(prompt->parentWidget(), &window);
    EXPECT_EQ(Child<QLabel>(prompt, "Instruction")->text(),
              "The name for this contact appears to have changed.  Please confirm the new values "
              "as indicated below.  The only field that requires a value is 'New File As:'.");
    EXPECT_EQ(Child<QLabel>(prompt, "lblNewFirst")->text(), "New First Name:");
    EXPECT_EQ(Child<QLabel>(prompt, "lblNewLast")->text(), "New Last Name:");
    EXPECT_EQ(Child<QLabel>(prompt, "lbFullName")->text(), "New Full Name:");
    EXPECT_EQ(Child<QLabel>(prompt, "lblNewFile")->text(), "New File As:");
    EXPECT_EQ(Child<QPushButton>(prompt, "NameOK")->text(), "OK");
    EXPECT_EQ(Shown(prompt), proposal);

    // Tab goes NewFirst, NewLast, NewFull, NewFile, NameOK.
    std::vector<QString> order;
    QWidget* first = Child<QLineEdit>(prompt, "NewFirst");
    first->setFocus();
    QWidget* current = first;
    for (int i = 0; i < 5; ++i) {
      order.push_back(current->objectName());
      current = current->nextInFocusChain();
      while (current->focusPolicy() == Qt::NoFocus) {
        current = current->nextInFocusChain();
      }
    }
    EXPECT_EQ(order, (std::vector<QString>{"NewFirst", "NewLast", "NewFull", "NewFile", "NameOK"}));
    prompt->close();
  });
  EXPECT_EQ(window.AskNewName(proposal, "File As"), std::nullopt);
}

struct PromptCase {
  std::string nameField;
  NameValues refused;  // typed first: refused with `message`
  std::string message;
  NameValues accepted;  // then typed: accepted as typed
};

TEST_F(NamePromptTest, OkRefusesAnEmptyRequiredFieldThenAccepts) {
  const std::vector<PromptCase> cases = {
      {"File As",
       {"Ann", "Doe", "Ann Doe", ""},
       "The 'New File As' and 'New File As' fields must each have a value.",
       {"", "", "", " "}},
      {"Full Name",
       {"Ann", "Doe", "", "Doe, Ann"},
       "The 'New File As' and 'New Full Name' fields must each have a value.",
       {"Ann", "", "Ann Doe ", "Doe, Ann"}},
      {"Full Name",
       {"Ann", "Doe", "Ann Doe", ""},
       "The 'New File As' and 'New Full Name' fields must each have a value.",
       {"", "", " ", " "}},
      {"Nickname",
       {"Ann", "Doe", "Ann Doe", ""},
       "The 'New File As' and 'New File As' fields must each have a value.",
       {"", "", "", "Annie"}},
  };
  window.show();
  for (const PromptCase& c : cases) {
    SCOPED_TRACE(c.nameField);
    messages.clear();
    WhenModal(&owner, "NamePrompt", [this, &c](QWidget* prompt) {
      Type(prompt, c.refused);
      AnswerMessageBox(&owner, messages, [this, &c, prompt] {
        // Once the message is dismissed the prompt is still there with the
        // entries as typed; correct them and confirm.
        WhenModal(&owner, "NamePrompt", [&c, prompt](QWidget* again) {
          EXPECT_EQ(again, prompt);
          EXPECT_EQ(Shown(again), c.refused);
          Type(again, c.accepted);
          Child<QPushButton>(again, "NameOK")->click();
        });
      });
      Child<QPushButton>(prompt, "NameOK")->click();
    });
    EXPECT_EQ(window.AskNewName(proposal, c.nameField), c.accepted);
    EXPECT_EQ(messages, std::vector<std::string>{c.message});
  }
}

TEST_F(NamePromptTest, ClosedWithoutOkAnswersNothing) {
  window.show();
  WhenModal(&owner, "NamePrompt", [](QWidget* prompt) {
    Type(prompt, {"X", "Y", "Z", "W"});
    prompt->close();
  });
  EXPECT_EQ(window.AskNewName(proposal, "File As"), std::nullopt);

  WhenModal(&owner, "NamePrompt", [](QWidget* prompt) { QTest::keyClick(prompt, Qt::Key_Escape); });
  EXPECT_EQ(window.AskNewName(proposal, "File As"), std::nullopt);
}

TEST_F(NamePromptTest, QuittingWhileTheMessageIsShownEndsBoth) {
  window.show();
  WhenModal(&owner, "NamePrompt", [this](QWidget* prompt) {
    Type(prompt, {"", "", "", ""});
    WhenModal(&owner, "TwinbookMessage", [this](QWidget*) { window.RequestQuit(); });
    Child<QPushButton>(prompt, "NameOK")->click();
  });
  EXPECT_EQ(window.AskNewName(proposal, "File As"), std::nullopt);
  EXPECT_TRUE(window.QuitRequested());
}

}  // namespace
}  // namespace twinbook
