#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest/QTest>
#include <set>

#include "engine/start_sync.h"
#include "environment/app_info.h"
#include "gui_test_support.h"
#include "support/store_files.h"
#include "ui/about_dialog.h"
#include "ui/browse_dialog.h"
#include "ui/conflict_dialog.h"
#include "ui/options_dialog.h"

namespace twinbook::testing {
namespace {
const char* const kBoxes[] = {"pbPath", "SyPath", "lgPath", "ctPath", "MaxNames", "MaxNumbers"};

// The real window over the sample Data folder with the SQLite and vCard stores.
class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { window.show(); }
  // The status line and how many phase labels show.
  QString State() {
    int shown = 0;
    for (const PhaseInfo& info : kPhases)
      shown += Child<QLabel>(&window, std::string(info.startLabel).c_str())->isVisible() +
               Child<QLabel>(&window, std::string(info.doneLabel).c_str())->isVisible();
    return StatusOf(window) + " " + QString::number(shown);
  }
  void Trigger(const char* action) { Child<QAction>(&window, action)->trigger(); }
  // Options: store "Key=value ..." ("~" the test's folder) and open it; shown as one line; stored.
  void Store(const QString& settings) {
    for (const QString& setting : settings.split(QRegularExpression(" (?=[A-Za-z]+=)")))
      f.settings.Set(setting.section('=', 0, 0).toStdString(), Path(setting.section('=', 1)));
    ResetSyncState(f.state, f.settings);
    Trigger("Settings");
  }
  std::string Path(QString text) { return text.replace("~", f.dir.path().c_str()).toStdString(); }
  QString Stored() {
    QString stored;
    for (const auto& [key, value] : f.settings.values)
      stored += QString::fromStdString(key.substr(9) + "=" + value + " ");
    return stored.replace(f.dir.path().c_str(), "~").trimmed();
  }
  QString Shown() {
    OptionsDialog* dialog = window.options();
    QString shown = Child<QComboBox>(dialog, "olNameField")->currentText() +
                    QString(" mask %1").arg(dialog->GetMaskOption()) +
                    (Child<QCheckBox>(dialog, "StartPMBefore")->isChecked() ? " before" : "") +
                    (Child<QCheckBox>(dialog, "StartPMAfter")->isChecked() ? " after" : "");
    for (const char* box : kBoxes)
      shown += " " + Field(box)->text();
    return shown.replace(f.dir.path().c_str(), "~");
  }
  QLineEdit* Field(const char* name) { return Child<QLineEdit>(window.options(), name); }
  void Click(const char* name, QWidget* in = nullptr) {
    Child<QPushButton>(in ? in : &window, name)->click();
    FlushDeletes();
  }
  BrowseDialog* Picker(const char* button) {
    Click(button, window.options());
    return window.options()->picker();
  }

  StoreFiles f = StoreFiles::WithSampleData();
  MainWindow window{f.state, f.platform};
  QObject owner;
  std::vector<std::string> messages;
};

// Four PhoneBook contacts new to the desktop come through the name prompt; Brennan's
// mobile differs and the desktop's is kept. Then the menus, and Quit during a run.
TEST_F(MainWindowTest, StartRunsEveryPhaseAskingTheUserThenTheMenusAndQuitWork) {
  EXPECT_EQ(State(), "Status: Idle 0");
  QStringList asked;
  std::function<void(QWidget*)> answer = [&](QWidget* dialog) {
    asked.push_back(dialog->objectName());
    if (asked.size() < 5)
      WhenModal(&owner, {}, answer);
    Child<QPushButton>(dialog, asked.back() == "NamePrompt" ? "NameOK" : "KeepOutlook")->click();
  };
  WhenModal(&owner, {}, answer);
  QTest::mouseClick(Child<QPushButton>(&window, "Start"), Qt::LeftButton);
  EXPECT_EQ(asked.join(" "), "TwinbookConflict NamePrompt NamePrompt NamePrompt NamePrompt");
  EXPECT_EQ(State(), QString(kStatusComplete) + " 26");
  const std::vector<std::string> log = f.LogLines();
  EXPECT_EQ(log.at(0) + log.at(2), TitleAndVersionLine() + "Activity Log");
  EXPECT_EQ(std::ranges::count(log, "... Conflict detected for Brennan, Thomas"), 1);
  EXPECT_EQ(f.CardNamed("Brennan, Thomas").value()["MobileTelephoneNumber"], "(312) 555-0199");
  // The Inclusion Report, while the status says so; the labels stay.
  QString statusWhileWriting;
  AnswerMessageBox(&owner, messages, [&] { statusWhileWriting = StatusOf(window); });
  Trigger("Inclusion");
  EXPECT_EQ(statusWhileWriting, "Status: Creating Inclusion Report . . .");
  EXPECT_EQ(State(), "Status: Idle 26");
  EXPECT_EQ(ReadCrLfLines(f.data + "/InclusionReport.txt").at(4), "Included Contacts:");
  // The About box, one at most, with the log's title and version.
  Trigger("AboutTwinbook");
  Trigger("AboutTwinbook");
  ASSERT_EQ(window.findChildren<AboutDialog*>(), QList<AboutDialog*>{window.about()});
  EXPECT_EQ("Twinbook, version: " +
                Child<QLabel>(window.about(), "lblVersion")->text().mid(8).toStdString(),
            log.at(0));
  // The manager menu starts it alongside, or says it could not; Undo has no backup here.
  Trigger("PhoneBookManager");
  EXPECT_EQ(f.launcher.startedDetached, std::vector<std::string>{f.dir / "idenpm.exe"});
  f.launcher.canStart = false;
  AnswerMessageBox(&owner, messages);
  Trigger("PhoneBookManager");
  AnswerMessageBox(&owner, messages);
  Trigger("UndoSync");
  EXPECT_EQ(messages,
            (std::vector<std::string>{
                "The Inclusion Report has been written to " + (f.data + "/InclusionReport.txt"),
                "The PhoneBook Manager could not be started: " + (f.dir / "idenpm.exe"),
                "This Twinbook keeps no backups, so there is nothing to undo."}));
  // Quit ends a run at once, writing nothing; Start or a report during a run
  // leave it alone; once quitting no dialog is asked.
  auto before = f.Snapshot();
  before.erase("InclusionReport.txt");  // written again by the report below
  f.settings.Set("PMBefore", "True");
  f.launcher.canStart = true;
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
  EXPECT_EQ(window.AskConflict({}), std::nullopt);
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
  window.close();  // the program ends: nothing more is asked
  EXPECT_TRUE(window.QuitRequested() && !window.Confirm({"Q", "Delete?", "&Yes", "&No"}));
}

// Each box, "ol" or "pb" before its field's name, shows that field (here its own name);
// the button pressed hands on its side's boxes as edited; closing answers nothing.
TEST_F(MainWindowTest, TheConflictButtonsHandOnTheBoxesOfTheirSide) {
  // One side's boxes, each holding its own name and `mark`, in the fields' order.
  const auto side = [](const std::string& side, const std::string& mark) {
    const auto box = [&](const char* stem) { return side + stem + mark; };
    return ConflictBoxes{box("Name"),       box("Work2"),  box("Work2Speed"),  box("DirectConnect"),
                         box("DCSpeed"),    box("Home"),   box("HomeSpeed"),   box("Work1"),
                         box("Work1Speed"), box("Mobile"), box("MobileSpeed"), box("Fax"),
                         box("FaxSpeed"),   box("Pager"),  box("PagerSpeed"),  box("Other"),
                         box("OtherSpeed"), box("Email"),  box("EmailSpeed")};
  };
  const ConflictQuestion question{side("ol", ""), side("pb", "")};
  for (const std::string button : {"KeepOutlook", "KeepPhoneBook", "close"}) {
    WhenModal(&owner, "TwinbookConflict", [&](QWidget* dialog) {
      for (auto* box : dialog->findChildren<QLineEdit*>()) {
        EXPECT_EQ(box->text(), box->objectName());
        box->setText(box->text() + "!");
      }
      button == "close" ? void(dialog->close())
                        : Child<QPushButton>(dialog, button.c_str())->click();
    });
    const std::optional<ConflictAnswer> answer = window.AskConflict(question);
    ASSERT_EQ(answer.has_value(), button != "close");
    const bool outlook = button == "KeepOutlook";
    EXPECT_TRUE(!answer || answer->keep == (outlook ? ConflictAnswer::Keep::Outlook
                                                    : ConflictAnswer::Keep::PhoneBook));
    EXPECT_TRUE(!answer || answer->values == side(outlook ? "ol" : "pb", "!"));
  }
}

// The name prompt shows the proposal (here each box's own name). OK hands on the boxes once
// the File As box and that of the name field hold anything; else a message says which must.
TEST_F(MainWindowTest, TheNamePromptHandsOnTheNamesOnceTheRequiredBoxesHoldAValue) {
  const NameValues proposal{"NewFirst", "NewLast", "NewFull", "NewFile"};
  const std::string fileAs = "The 'New File As' and 'New File As' fields must each have a value.";
  // clang-format off
  const std::tuple<std::string, NameValues, std::string> cases[] = {  // no message: accepted
      {"File As", {"Ann", "Doe", "Ann Doe", ""}, fileAs}, {"File As", {"", "", "", " "}, ""},
      {"Full Name", {"Ann", "Doe", "", "Doe, Ann"}, "The 'New File As' and 'New Full Name' fields must each have a value."},
      {"Full Name", {"", "", " ", " "}, ""}, {"Nickname", {"Ann", "Doe", "Ann Doe", ""}, fileAs},
      {"Nickname", {"", "", "", "Annie"}, ""}};
  // clang-format on
  for (const auto& [nameField, typed, message] : cases) {
    std::vector<std::string> messages;
    WhenModal(&owner, "NamePrompt", [&](QWidget* prompt) {
      for (auto field : {&NameValues::FirstName, &NameValues::LastName, &NameValues::FullName,
                         &NameValues::FileAs}) {
        auto* box = Child<QLineEdit>(prompt, (proposal.*field).c_str());
        EXPECT_EQ(box->text(), box->objectName());
        box->setText(QString::fromStdString(typed.*field));
      }
      if (!message.empty())
        AnswerMessageBox(&owner, messages, [&] {
          WhenModal(&owner, "NamePrompt", [](QWidget* again) { again->close(); });
        });
      Child<QPushButton>(prompt, "NameOK")->click();
    });
    EXPECT_EQ(window.AskNewName(proposal, nameField),
              message.empty() ? std::optional(typed) : std::nullopt);
    EXPECT_EQ(messages, message.empty() ? std::vector<std::string>{} : std::vector{message});
  }
}

// It shows what is stored, one dialog at most, each stored mask its button (a
// stranger the default); the pickers fill the boxes. Save refuses bad capacities with a message,
// keeping the dialog as typed; else it stores every box and reloads the settings at once, but not
// under a run. Cancel stores nothing.
TEST_F(MainWindowTest, OptionsShowTheStoredSettingsPickPathsAndSaveStoresTheBoxes) {
  std::filesystem::create_directories(f.dir / "contacts/work");
  std::filesystem::create_directories(f.dir / "logs");
  for (const char* file : {"PhoneBook.mdb", "Twinbook.mdb", "logs/Log.txt", "logs/Old.txt"})
    WriteFile(f.dir / file, "");
  Store(
      "NameField=Full Name MaskOption=3 PMBefore=False PMAfter=True NameLimit=100 "
      "NumberLimit=200 PhoneBookPath=~/PhoneBook.mdb SyncPath=~/Twinbook.mdb "
      "LogPath=~/logs/Log.txt ContactsPath=~/contacts");
  Child<QAction>(&window, "Settings")->trigger();
  EXPECT_EQ(window.findChildren<OptionsDialog*>().size(), 1);
  EXPECT_EQ(
      Shown(),
      "Full Name mask 3 after ~/PhoneBook.mdb ~/Twinbook.mdb ~/logs/Log.txt ~/contacts 100 200");
  // A picker starts in the folder of the stored setting (home when there is none)
  // and lists its files; the file clicked, or the folder taken with OK, goes
  // into its box; Cancel leaves the box alone.
  BrowseDialog* picker = Picker("BrowseLog");
  EXPECT_EQ(picker->windowTitle() + " " + picker->folder(),
            QString::fromStdString("Log File " + f.dir / "logs"));
  auto* list = Child<QListWidget>(picker, "brsFile");
  EXPECT_EQ(list->count() == 2 ? list->item(0)->text() + list->item(1)->text() : "",
            "Log.txtOld.txt");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(1)).center());
  Picker("BrowseContacts")->SetFolder(QString::fromStdString(f.dir / "contacts/work"));
  Click("OK", window.options()->picker());
  for (const char* stored : {"~/gone/Twinbook.mdb", "Twinbook.mdb", "/"}) {
    f.settings.Set("SyncPath", Path(stored));
    ResetSyncState(f.state, f.settings);
    EXPECT_EQ(Picker("BrowseSync")->folder(), QDir::cleanPath(QDir::homePath())) << stored;
    Click("CancelBrowse", window.options()->picker());
  }
  EXPECT_EQ(Shown(),
            "Full Name mask 3 after ~/PhoneBook.mdb ~/Twinbook.mdb ~/logs/Old.txt ~/contacts/work "
            "100 200");
  Child<QComboBox>(window.options(), "olNameField")->setCurrentText("File As");
  Child<QRadioButton>(window.options(), "none")->click();
  Child<QCheckBox>(window.options(), "StartPMBefore")->setChecked(true);
  Child<QCheckBox>(window.options(), "StartPMAfter")->setChecked(false);
  for (const char* box : kBoxes)
    Field(box)->setText(QString("/n/") + box);
  Field("MaxNames")->setText("300");
  Field("MaxNumbers")->setText("250");
  AnswerMessageBox(&owner, messages);
  Click("save", window.options());
  EXPECT_EQ(messages.back(),
            "The quantity limit for names cannot be greater than the quantity limit for numbers.");
  EXPECT_EQ(Shown(), "File As mask 1 before /n/pbPath /n/SyPath /n/lgPath /n/ctPath 300 250");
  Field("MaxNames")->setText("007");
  Field("MaxNumbers")->setText("7");
  Click("save", window.options());
  EXPECT_EQ(window.options(), nullptr);
  EXPECT_EQ(Stored().toStdString(),
            "ContactsPath=/n/ctPath LogPath=/n/lgPath ManagerPath=~/idenpm.exe MaskOption=1 "
            "NameField=File As NameLimit=7 NumberLimit=7 PMAfter=False PMBefore=True "
            "PhoneBookPath=/n/pbPath SyncPath=/n/SyPath");
  EXPECT_EQ(f.state.settings.NameField + f.state.settings.LogPath +
                std::to_string(f.state.settings.MaskOption),
            "File As/n/lgPath1");
  for (const QString mask : {"1", "4", "7"}) {  // 7, a stranger mask: the default
    Store("NameField=Nickname MaskOption=" + mask);
    EXPECT_EQ(Shown().section(' ', 0, 2), "Nickname mask " + (mask == "7" ? "2" : mask));
    Click("cancel", window.options());
  }
  f.state.RunInProgress = true;
  for (const char* button : {"save", "cancel"}) {
    Trigger("Settings");
    Field("lgPath")->setText(QString("/") + button);
    Click(button, window.options());
  }
  EXPECT_EQ(QString::fromStdString(f.state.settings.LogPath) + " " + Stored().section(' ', 1, 1),
            "/n/lgPath LogPath=/save");
  f.state.RunInProgress = false;
}

// The fields (box names after "ol"/"pb") marked on both sides: "differs" set
// and bold; every other box unmarked.
std::set<std::string> Marked(const ConflictDialog& dialog) {
  std::set<std::string> marked;
  for (QLineEdit* outlook : dialog.findChildren<QLineEdit*>(QRegularExpression("^ol"))) {
    const QString stem = outlook->objectName().mid(2);
    auto* phoneBook = Child<QLineEdit>(&dialog, ("pb" + stem).toUtf8().constData());
    const bool differs = outlook->property("differs").toBool();
    EXPECT_EQ(phoneBook->property("differs").toBool(), differs) << stem.toStdString();
    EXPECT_EQ(outlook->font().bold() && phoneBook->font().bold(), differs) << stem.toStdString();
    EXPECT_EQ(outlook->font().bold() || phoneBook->font().bold(), differs) << stem.toStdString();
    if (differs)
      marked.insert(stem.toStdString());
  }
  return marked;
}

// Letter case, a speed dial alone and a value on one side only all differ;
// equal values, empty ones included, do not. Edits move the marks both ways.
TEST(ConflictMarksTest, MarkExactlyTheDifferingFieldsAndFollowEdits) {
  ConflictQuestion question;
  question.outlook = {"Doe, Ann", "5550101",         "1", "", "", "5550102", "2", "",
                      "",         "5550103",         "3", "", "", "",        "",  "",
                      "",         "ann@example.com", "5"};
  question.phoneBook = question.outlook;
  question.phoneBook.ContactName = "doe, ann";
  question.phoneBook.MobileNumber = "5550199";
  question.phoneBook.HomeSpeed = "4";
  question.phoneBook.EmailSpeed = "";
  ConflictDialog dialog(question, nullptr);
  EXPECT_EQ(Marked(dialog), (std::set<std::string>{"Name", "Mobile", "HomeSpeed", "EmailSpeed"}));

  auto* mobile = Child<QLineEdit>(&dialog, "olMobile");
  mobile->clear();
  QTest::keyClicks(mobile, "5550199");
  QTest::keyClicks(Child<QLineEdit>(&dialog, "pbFax"), "7");
  EXPECT_EQ(Marked(dialog), (std::set<std::string>{"Name", "HomeSpeed", "EmailSpeed", "Fax"}));
}

}  // namespace
}  // namespace twinbook::testing
