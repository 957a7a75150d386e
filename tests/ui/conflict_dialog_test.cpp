#include "ui/conflict_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "gui_test_support.h"
#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace twinbook::testing {
namespace {

// Every box of one side: its object name after "ol" or "pb", and its field.
const std::vector<std::pair<const char*, std::string ConflictBoxes::*>> kBoxes = {
    {"Name", &ConflictBoxes::ContactName},        {"Work2", &ConflictBoxes::Work2Number},
    {"Work2Speed", &ConflictBoxes::Work2Speed},   {"DirectConnect", &ConflictBoxes::DCNumber},
    {"DCSpeed", &ConflictBoxes::DCSpeed},         {"Home", &ConflictBoxes::HomeNumber},
    {"HomeSpeed", &ConflictBoxes::HomeSpeed},     {"Work1", &ConflictBoxes::Work1Number},
    {"Work1Speed", &ConflictBoxes::Work1Speed},   {"Mobile", &ConflictBoxes::MobileNumber},
    {"MobileSpeed", &ConflictBoxes::MobileSpeed}, {"Fax", &ConflictBoxes::FaxNumber},
    {"FaxSpeed", &ConflictBoxes::FaxSpeed},       {"Pager", &ConflictBoxes::PagerNumber},
    {"PagerSpeed", &ConflictBoxes::PagerSpeed},   {"Other", &ConflictBoxes::OtherNumber},
    {"OtherSpeed", &ConflictBoxes::OtherSpeed},   {"Email", &ConflictBoxes::EmailAddress},
    {"EmailSpeed", &ConflictBoxes::EmailSpeed},
};

ConflictBoxes Side(const std::string& prefix) {
  ConflictBoxes boxes;
  for (const auto& [stem, field] : kBoxes)
    boxes.*field = prefix + stem;
  return boxes;
}

// Each box shows its own field of its side; the user edits both sides and
// empties a box, and the button pressed hands on its side's boxes as they are
// then. Closing, or quitting while it is open, answers nothing.
TEST(ConflictDialogTest, FillsTheBoxesFromBothSidesAndTheButtonHandsItsSideOn) {
  FakePlatform fake;
  RunState state{"/opt/tb"};
  MainWindow window{state, fake.platform};
  window.show();
  QObject owner;
  const ConflictQuestion question{Side("desktop "), Side("phone ")};
  for (const std::string button : {"KeepOutlook", "KeepPhoneBook", "close", "quit"}) {
    SCOPED_TRACE(button);
    WhenModal(&owner, "TwinbookConflict", [&](QWidget* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Conflict");
      for (const auto& [stem, field] : kBoxes) {
        for (const auto& [prefix, side] :
             {std::pair{"ol", question.outlook}, {"pb", question.phoneBook}}) {
          auto* box = Child<QLineEdit>(dialog, (prefix + std::string(stem)).c_str());
          EXPECT_EQ(box->text().toStdString(), side.*field) << prefix << stem;
          box->setText(std::string(stem) == "DCSpeed" ? "" : prefix + QString(stem));
        }
      }
      if (button == "close") {
        dialog->close();
      } else if (button == "quit") {
        window.RequestQuit();
      } else {
        Child<QPushButton>(dialog, button.c_str())->click();
      }
    });
    const std::optional<ConflictAnswer> answer = window.AskConflict(question);
    ASSERT_EQ(answer.has_value(), button.starts_with("Keep"));
    if (!answer)
      continue;
    const bool outlook = button == "KeepOutlook";
    EXPECT_EQ(answer->keep,
              outlook ? ConflictAnswer::Keep::Outlook : ConflictAnswer::Keep::PhoneBook);
    for (const auto& [stem, field] : kBoxes) {
      EXPECT_EQ(answer->values.*field,
                std::string(stem) == "DCSpeed" ? "" : (outlook ? "ol" : "pb") + std::string(stem));
    }
  }
  EXPECT_TRUE(window.QuitRequested());
}

}  // namespace
}  // namespace twinbook::testing
