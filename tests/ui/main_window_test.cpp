#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
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
  // The status line and how many phase labels show.
  QString State() { return StatusOf(window) + " " + QString::number(VisibleLabels()); }
  void Click(const char* button) { Child<QPushButton>(&window, button)->click(); }
  void Trigger(const char* action) { Child<QAction>(&window, action)->trigger(); }

  StoreFiles f = StoreFiles::WithSampleData();
  MainWindow window{f.state, f.platform};
  QObject owner;
  std::vector<std::string> messages;
};

// Four PhoneBook contacts new to the desktop come through the name prompt,
// confirmed as proposed; Brennan's mobile differs on the two sides and the
// desktop's is kept. Then the menus: the report, the About box, the manager.
TEST_F(MainWindowTest, StartRunsEveryPhaseAskingTheUserThenTheMenusWork) {
  EXPECT_EQ(State(), "Status: Idle 0");
  std::vector<QString> asked;
  std::function<void(QWidget*)> answer = [&](QWidget* dialog) {
    asked.push_back(dialog->objectName());
    if (asked.size() < 5)
      WhenModal(&owner, {}, answer);
    Child<QPushButton>(dialog, asked.back() == "NamePrompt" ? "NameOK" : "KeepOutlook")->click();
  };
  WhenModal(&owner, {}, answer);
  QTest::mouseClick(Child<QPushButton>(&window, "Start"), Qt::LeftButton);
  EXPECT_EQ(asked, (std::vector<QString>{"TwinbookConflict", "NamePrompt", "NamePrompt",
                                         "NamePrompt", "NamePrompt"}));
  EXPECT_EQ(State(), QString(kStatusComplete) + " 26");
  const std::vector<std::string> log = f.LogLines();
  EXPECT_EQ(log.at(0) + log.at(2), TitleAndVersionLine() + "Activity Log");
  EXPECT_NE(std::find(log.begin(), log.end(), "... Conflict detected for Brennan, Thomas"),
            log.end());
  EXPECT_EQ(f.CardNamed("Brennan, Thomas").value()["MobileTelephoneNumber"], "(312) 555-0199");
  const auto rows = f.PhoneBookRows();
  EXPECT_NE(std::find(rows.begin(), rows.end(),
                      PhoneBookRow{"2", "Brennan, Thomas", "3125550199", "4", "5", "6"}),
            rows.end());

  // The Inclusion Report, while the status says so; the labels stay.
  QString statusWhileWriting;
  AnswerMessageBox(&owner, messages, [&] { statusWhileWriting = StatusOf(window); });
  Trigger("Inclusion");
  EXPECT_EQ(statusWhileWriting, "Status: Creating Inclusion Report . . .");
  EXPECT_EQ(State(), "Status: Idle 26");
  EXPECT_EQ(ReadCrLfLines(f.data + "/InclusionReport.txt").at(4), "Included Contacts:");
  WriteFile(f.contactsPath + "/broken.vcf", "no card");
  AnswerMessageBox(&owner, messages);
  Trigger("Inclusion");

  // The About box, one at most, with the log's title and version.
  Trigger("AboutTwinbook");
  Trigger("AboutTwinbook");
  AboutDialog* about = window.about();
  ASSERT_EQ(window.findChildren<AboutDialog*>(), QList<AboutDialog*>{about});
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
  EXPECT_EQ(messages,
            (std::vector<std::string>{
                "The Inclusion Report has been written to " + (f.data + "/InclusionReport.txt"),
                "The Inclusion Report could not be written: Contact card " + f.contactsPath +
                    "/broken.vcf is not a readable vCard: no vCard: line 1 is not BEGIN:VCARD",
                "The PhoneBook Manager could not be started: " + (f.dir / "idenpm.exe")}));
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
  EXPECT_EQ(State(), statusAfterReport + " 0");
  auto after = f.Snapshot();
  after.erase("InclusionReport.txt");
  EXPECT_TRUE(after == before);
}

TEST_F(MainWindowTest, QuitDuringADialog) {
  WhenModal(&owner, "TwinbookConflict", [&](QWidget*) { Click("QuitSync"); });
  window.StartSyncClicked();
  EXPECT_NE(StatusOf(window), kStatusComplete);
  EXPECT_EQ(f.Cards().size(), 6u);
  EXPECT_EQ(window.AskConflict({}), std::nullopt);  // no dialog once quitting
}

// A question goes ahead only on its confirm button: Escape and Return (the
// other button is the default) answer no.
TEST_F(MainWindowTest, AQuestionGoesAheadOnlyOnItsConfirmButton) {
  for (int key : {0, int(Qt::Key_Escape), int(Qt::Key_Return)}) {
    WhenModal(&owner, "TwinbookQuestion", [&](QWidget* box) {
      EXPECT_EQ(box->windowTitle(), "Confirm Deletions");
      key == 0 ? Child<QPushButton>(box, "Confirm")->click() : QTest::keyClick(box, Qt::Key(key));
    });
    EXPECT_EQ(window.Confirm({"Confirm Deletions", "Delete them?", "&Delete", "&Stop"}), key == 0);
  }
}

// Each box, "ol" or "pb" before its name, shows its own field of its side; the
// user edits both sides and empties a box, and the button pressed hands on its
// side's boxes as they are then. Closing, or quitting while open, answers nothing.
TEST_F(MainWindowTest, TheConflictButtonsHandOnTheBoxesOfTheirSide) {
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
TEST_F(MainWindowTest, TheNamePromptHandsOnTheNamesOnceTheRequiredBoxesHoldAValue) {
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
