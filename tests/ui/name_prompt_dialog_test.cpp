#include "ui/name_prompt_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "gui_test_support.h"
#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace twinbook::testing {
namespace {

const char* const kBoxes[] = {"NewFirst", "NewLast", "NewFull", "NewFile"};
constexpr std::string NameValues::*kFields[] = {&NameValues::FirstName, &NameValues::LastName,
                                                &NameValues::FullName, &NameValues::FileAs};

NameValues Shown(QWidget* prompt) {
  NameValues shown;
  for (int i = 0; i < 4; ++i)
    shown.*kFields[i] = Child<QLineEdit>(prompt, kBoxes[i])->text().toStdString();
  return shown;
}

// The prompt comes filled with the proposal. OK hands on the boxes as typed
// once the File As box and the one of the name field matched hold anything;
// else a message says which must, and the prompt stays as typed. Closing it,
// or quitting, answers nothing.
TEST(NamePromptTest, OkHandsOnTheTypedNamesOnceTheRequiredBoxesHoldAValue) {
  const std::string kFileAs = "The 'New File As' and 'New File As' fields must each have a value.";
  const std::string kFull = "The 'New File As' and 'New Full Name' fields must each have a value.";
  const struct {
    std::string nameField;
    NameValues typed;
    std::string message;  // empty: accepted
  } cases[] = {
      {"File As", {"Ann", "Doe", "Ann Doe", ""}, kFileAs},
      {"File As", {"", "", "", " "}, ""},
      {"Full Name", {"Ann", "Doe", "", "Doe, Ann"}, kFull},
      {"Full Name", {"Ann", "Doe", "Ann Doe", ""}, kFull},
      {"Full Name", {"", "", " ", " "}, ""},
      {"Nickname", {"Ann", "Doe", "Ann Doe", ""}, kFileAs},
      {"Nickname", {"", "", "", "Annie"}, ""},
      {"quit", {}, ""},
  };
  FakePlatform fake;
  RunState state{"/opt/tb"};
  MainWindow window{state, fake.platform};
  window.show();
  QObject owner;
  const NameValues proposal{"Ann", "Doe", "Ann Doe", "Smith, Ann"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nameField + ": " + c.typed.FullName + "/" + c.typed.FileAs);
    std::vector<std::string> messages;
    WhenModal(&owner, "NamePrompt", [&](QWidget* prompt) {
      EXPECT_EQ(prompt->windowTitle(), "Name Change");
      EXPECT_EQ(Shown(prompt), proposal);
      if (c.nameField == "quit")
        return window.RequestQuit();
      for (int i = 0; i < 4; ++i)
        Child<QLineEdit>(prompt, kBoxes[i])->setText(QString::fromStdString(c.typed.*kFields[i]));
      if (!c.message.empty()) {
        AnswerMessageBox(&owner, messages, [&] {
          WhenModal(&owner, "NamePrompt", [&](QWidget* again) {
            EXPECT_EQ(Shown(again), c.typed);
            again->close();
          });
        });
      }
      Child<QPushButton>(prompt, "NameOK")->click();
    });
    const std::optional<NameValues> answer = window.AskNewName(proposal, c.nameField);
    EXPECT_EQ(answer,
              c.message.empty() && c.nameField != "quit" ? std::optional(c.typed) : std::nullopt);
    EXPECT_EQ(messages, c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
  }
}

}  // namespace
}  // namespace twinbook::testing
