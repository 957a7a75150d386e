#include "ui/conflict_dialog.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui_test_support.h"
#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace twinbook {
namespace {

using testing::Child;
using testing::WhenModal;

ConflictBoxes Side(const std::string& name, const std::string& digit) {
  ConflictBoxes b;
  b.ContactName = name;
  std::string* numbers[] = {&b.Work2Number,  &b.DCNumber,  &b.HomeNumber,  &b.Work1Number,
                            &b.MobileNumber, &b.FaxNumber, &b.PagerNumber, &b.OtherNumber};
  int i = 0;
  for (std::string* number : numbers) {
    *number = "555010" + digit + std::to_string(i++);
  }
  b.EmailAddress = name + "@example.com";
  std::string* speeds[] = {&b.Work2Speed, &b.DCSpeed,     &b.HomeSpeed,
                           &b.Work1Speed, &b.MobileSpeed, &b.FaxSpeed,
                           &b.PagerSpeed, &b.OtherSpeed,  &b.EmailSpeed};
  for (std::string* speed : speeds) {
    *speed = digit + std::to_string(i++);
  }
  return b;
}

// Every box of one side: its object-name stem after the side's prefix and
// the field it shows.
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

QLineEdit* Box(QWidget* dialog, const std::string& prefix, const char* stem) {
  return Child<QLineEdit>(dialog, (prefix + stem).c_str());
}

class ConflictDialogTest : public ::testing::Test {
 protected:
  ConflictQuestion question{Side("Doe, Ann", "1"), Side("Ann Doe", "2")};
  testing::FakePlatform fake;
  RunState state{"/opt/tb"};
  MainWindow window{state, fake.platform};
  QObject owner;
};

TEST_F(ConflictDialogTest, ShowsBothSidesAsLaidOut) {
  window.show();
  WhenModal(&owner, "TwinbookConflict", [this](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Conflict");
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->parentWidget(), &window);
    EXPECT_EQ(Child<QGroupBox>(dialog, "OutlookData")->title(), "Outlook Data");
    EXPECT_EQ(Child<QGroupBox>(dialog, "PhoneBookData")->title(), "PhoneBook Data");
    EXPECT_EQ(Child<QPushButton>(dialog, "KeepOutlook")->text(), "Keep &Outlook Data");
    EXPECT_EQ(Child<QPushButton>(dialog, "KeepPhoneBook")->text(), "Keep &PhoneBook Data");
    EXPECT_EQ(Child<QLabel>(dialog, "olbSpeeds")->text(), "Speed Dial");
    EXPECT_EQ(Child<QLabel>(dialog, "plbSpeeds")->text(), "Speed Dial");
    const std::vector<std::pair<const char*, const char*>> rows = {
        {"Name", "Name .................."},      {"Work2", "Work 2 ................"},
        {"DirectConnect", "Direct Connect ...."}, {"Home", "Home .................."},
        {"Work1", "Work 1 ................"},     {"Mobile", "Mobile ................."},
        {"Fax", "Fax ......................"},    {"Pager", "Pager .................."},
        {"Other", "Other ..................."},   {"Email", "Email ..................."},
    };
    for (const auto& [stem, caption] : rows) {
      for (const char* prefix : {"olbl", "plbl"}) {
        QLabel* label = Child<QLabel>(dialog, (std::string(prefix) + stem).c_str());
        if (label != nullptr) {
          EXPECT_EQ(label->text(), caption);
          // The whole dotted caption shows.
          EXPECT_GE(label->width(), label->sizeHint().width()) << stem;
        }
      }
    }
    for (const auto& [stem, field] : kBoxes) {
      EXPECT_EQ(Box(dialog, "ol", stem)->text().toStdString(), question.outlook.*field) << stem;
      EXPECT_EQ(Box(dialog, "pb", stem)->text().toStdString(), question.phoneBook.*field) << stem;
    }
    // The name row has no speed box.
    EXPECT_EQ(dialog->findChild<QLineEdit*>("olNameSpeed"), nullptr);
    dialog->close();
  });
  EXPECT_EQ(window.AskConflict(question), std::nullopt);
}

// Every box of both sides edited, one emptied: each reaches its own field,
// and only the kept side's boxes count.
TEST_F(ConflictDialogTest, EachButtonKeepsItsSideAsItsBoxesHoldIt) {
  window.show();
  for (ConflictAnswer::Keep keep :
       {ConflictAnswer::Keep::Outlook, ConflictAnswer::Keep::PhoneBook}) {
    const std::string prefix = keep == ConflictAnswer::Keep::Outlook ? "ol" : "pb";
    SCOPED_TRACE(prefix);
    WhenModal(&owner, "TwinbookConflict", [prefix](QWidget* dialog) {
      for (const auto& [stem, field] : kBoxes) {
        Box(dialog, "ol", stem)->setText(QString("ol") + stem);
        Box(dialog, "pb", stem)->setText(QString("pb") + stem);
      }
      Box(dialog, prefix, "DCSpeed")->setText("");  // an emptied box stays empty
      Child<QPushButton>(dialog, prefix == "ol" ? "KeepOutlook" : "KeepPhoneBook")->click();
    });
    std::optional<ConflictAnswer> answer = window.AskConflict(question);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->keep, keep);
    for (const auto& [stem, field] : kBoxes) {
      EXPECT_EQ(answer->values.*field, std::string(stem) == "DCSpeed" ? "" : prefix + stem);
    }
  }
}

TEST_F(ConflictDialogTest, TheCloseBoxAnswersNothing) {
  window.show();
  WhenModal(&owner, "TwinbookConflict", [](QWidget* dialog) {
    Box(dialog, "ol", "Name")->setText("changed");
    dialog->close();
  });
  EXPECT_EQ(window.AskConflict(question), std::nullopt);
}

TEST_F(ConflictDialogTest, QuittingWhileItIsOpenAnswersNothing) {
  window.show();
  WhenModal(&owner, "TwinbookConflict", [this](QWidget*) { window.RequestQuit(); });
  EXPECT_EQ(window.AskConflict(question), std::nullopt);
  EXPECT_TRUE(window.QuitRequested());
  // Asked again after the quit: no dialog, no answer.
  EXPECT_EQ(window.AskConflict(question), std::nullopt);
}

}  // namespace
}  // namespace twinbook
