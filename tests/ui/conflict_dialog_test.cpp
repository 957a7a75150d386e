// The two dialogs a run asks the user with, as the window opens them.
#include "ui/conflict_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "gui_test_support.h"
#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace twinbook::testing {
namespace {

class RunDialogTest : public ::testing::Test {
 protected:
  RunDialogTest() { window.show(); }
  FakePlatform fake;
  RunState state{"/opt/tb"};
  MainWindow window{state, fake.platform};
  QObject owner;
};

// Each box, "ol" or "pb" before its name, shows its own field of its side; the
// user edits both sides and empties a box, and the button pressed hands on its
// side's boxes as they are then. Closing, or quitting while open, answers nothing.
TEST_F(RunDialogTest, TheConflictButtonsHandOnTheBoxesOfTheirSide) {
  // clang-format off
  const std::pair<const char*, std::string ConflictBoxes::*> boxes[] = {
      {"Name", &ConflictBoxes::ContactName}, {"Work2", &ConflictBoxes::Work2Number},
      {"Work2Speed", &ConflictBoxes::Work2Speed}, {"DirectConnect", &ConflictBoxes::DCNumber},
      {"DCSpeed", &ConflictBoxes::DCSpeed}, {"Home", &ConflictBoxes::HomeNumber},
      {"HomeSpeed", &ConflictBoxes::HomeSpeed}, {"Work1", &ConflictBoxes::Work1Number},
      {"Work1Speed", &ConflictBoxes::Work1Speed}, {"Mobile", &ConflictBoxes::MobileNumber},
      {"MobileSpeed", &ConflictBoxes::MobileSpeed}, {"Fax", &ConflictBoxes::FaxNumber},
      {"FaxSpeed", &ConflictBoxes::FaxSpeed}, {"Pager", &ConflictBoxes::PagerNumber},
      {"PagerSpeed", &ConflictBoxes::PagerSpeed}, {"Other", &ConflictBoxes::OtherNumber},
      {"OtherSpeed", &ConflictBoxes::OtherSpeed}, {"Email", &ConflictBoxes::EmailAddress},
      {"EmailSpeed", &ConflictBoxes::EmailSpeed}};
  // clang-format on
  ConflictQuestion question;
  for (const auto& [stem, field] : boxes) {
    question.outlook.*field = "desktop " + std::string(stem);
    question.phoneBook.*field = "phone " + std::string(stem);
  }
  for (const std::string button : {"KeepOutlook", "KeepPhoneBook", "close", "quit"}) {
    WhenModal(&owner, "TwinbookConflict", [&](QWidget* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Conflict");
      for (const auto& [stem, field] : boxes) {
        for (const auto& [side, values] :
             {std::pair{"ol", question.outlook}, {"pb", question.phoneBook}}) {
          auto* box = Child<QLineEdit>(dialog, (side + std::string(stem)).c_str());
          EXPECT_EQ(box->text().toStdString(), values.*field);
          box->setText(std::string(stem) == "DCSpeed" ? "" : side + QString(stem));
        }
      }
      if (button == "quit")
        return window.RequestQuit();
      button == "close" ? void(dialog->close())
                        : Child<QPushButton>(dialog, button.c_str())->click();
    });
    const std::optional<ConflictAnswer> answer = window.AskConflict(question);
    ASSERT_EQ(answer.has_value(), button.starts_with("Keep")) << button;
    const std::string side = button == "KeepOutlook" ? "ol" : "pb";
    EXPECT_TRUE(!answer || answer->keep == (side == "ol" ? ConflictAnswer::Keep::Outlook
                                                         : ConflictAnswer::Keep::PhoneBook));
    for (const auto& [stem, field] : boxes) {
      const std::string kept = std::string(stem) == "DCSpeed" ? "" : side + stem;
      EXPECT_TRUE(!answer || answer->values.*field == kept) << stem;
    }
  }
}

// The name prompt comes filled with the proposal. OK hands on the boxes as
// typed once the File As box and the one of the name field matched hold
// anything; else a message says which must, and the prompt stays as typed.
TEST_F(RunDialogTest, TheNamePromptHandsOnTheNamesOnceTheRequiredBoxesHoldAValue) {
  const char* const names[] = {"NewFirst", "NewLast", "NewFull", "NewFile"};
  std::string NameValues::*const fields[] = {&NameValues::FirstName, &NameValues::LastName,
                                             &NameValues::FullName, &NameValues::FileAs};
  const auto shown = [&](QWidget* prompt) {
    NameValues values;
    for (int i = 0; i < 4; ++i)
      values.*fields[i] = Child<QLineEdit>(prompt, names[i])->text().toStdString();
    return values;
  };
  const std::string fileAs = "The 'New File As' and 'New File As' fields must each have a value.";
  const std::string full = "The 'New File As' and 'New Full Name' fields must each have a value.";
  const std::tuple<std::string, NameValues, std::string> cases[] = {
      // no message: accepted
      {"File As", {"Ann", "Doe", "Ann Doe", ""}, fileAs},
      {"File As", {"", "", "", " "}, ""},
      {"Full Name", {"Ann", "Doe", "", "Doe, Ann"}, full},
      {"Full Name", {"", "", " ", " "}, ""},
      {"Nickname", {"Ann", "Doe", "Ann Doe", ""}, fileAs},
      {"Nickname", {"", "", "", "Annie"}, ""},
      {"quit", {}, ""}};
  const NameValues proposal{"Ann", "Doe", "Ann Doe", "Smith, Ann"};
  for (const auto& [nameField, typed, message] : cases) {
    std::vector<std::string> messages;
    WhenModal(&owner, "NamePrompt", [&](QWidget* prompt) {
      EXPECT_EQ(shown(prompt), proposal);
      if (nameField == "quit")
        return window.RequestQuit();
      for (int i = 0; i < 4; ++i) {
        Child<QLineEdit>(prompt, names[i])->setText(QString::fromStdString(typed.*fields[i]));
      }
      if (!message.empty()) {
        AnswerMessageBox(&owner, messages, [&] {
          WhenModal(&owner, "NamePrompt", [&](QWidget* again) {
            EXPECT_EQ(shown(again), typed);
            again->close();
          });
        });
      }
      Child<QPushButton>(prompt, "NameOK")->click();
    });
    const bool accepted = message.empty() && nameField != "quit";
    EXPECT_EQ(window.AskNewName(proposal, nameField),
              accepted ? std::optional(typed) : std::nullopt);
    EXPECT_EQ(messages, message.empty() ? std::vector<std::string>{} : std::vector{message});
  }
}

}  // namespace
}  // namespace twinbook::testing
