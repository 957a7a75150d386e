#include "ui/options_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest/QTest>
#include <filesystem>

#include "gui_test_support.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "ui/browse_dialog.h"
#include "ui/main_window.h"

namespace twinbook::testing {
namespace {

TEST(FolderOfPathTest, TheFolderBeforeTheLastSeparator) {
  // clang-format off
  for (const auto& [path, folder] : std::vector<std::pair<std::string, std::string>>{
           {"/data/SyncLog.txt", "/data"}, {"/data/", ""}, {"/data/sub/", "/data"}, {"/x", "/"},
           {"/", ""}, {"SyncLog.txt", ""}, {"Data/Log.txt", "Data"}, {"//x", "/"}})
    EXPECT_EQ(FolderOfPath(path), folder) << path;
  // clang-format on
}

const char* const kBoxes[] = {"pbPath", "SyPath", "lgPath", "ctPath", "MaxNames", "MaxNumbers"};

// The Options dialog opened from the Tools menu over stored settings, with
// files in a temporary folder for the pickers to list; "~" is that folder.
class OptionsTest : public ::testing::Test {
 protected:
  OptionsTest() {
    std::filesystem::create_directories(dir / "contacts/work");
    std::filesystem::create_directories(dir / "logs");
    for (const char* file : {"PhoneBook.mdb", "Twinbook.mdb", "logs/Log.txt", "logs/Old.txt"})
      WriteFile(dir / file, "");
    Store(
        "NameField=Full Name MaskOption=3 PMBefore=False PMAfter=True NameLimit=100 "
        "NumberLimit=200 PhoneBookPath=~/PhoneBook.mdb SyncPath=~/Twinbook.mdb "
        "LogPath=~/logs/Log.txt ContactsPath=~/contacts");
  }
  // Stores the settings written as "Key=value ..." and opens the dialog.
  void Store(const QString& settings) {
    for (const QString& setting : settings.split(QRegularExpression(" (?=[A-Za-z]+=)")))
      fake.settings.Set(setting.section('=', 0, 0).toStdString(), Path(setting.section('=', 1)));
    ResetSyncState(state, fake.settings);
    window.show();
    Child<QAction>(&window, "Settings")->trigger();
  }
  std::string Path(QString text) { return text.replace("~", dir.path().c_str()).toStdString(); }
  QString Stored() {
    QString stored;
    for (const auto& [key, value] : fake.settings.values)
      stored += QString::fromStdString(key.substr(9) + "=" + value + " ");
    return stored.replace(dir.path().c_str(), "~").trimmed();
  }
  // The dialog's controls as one line.
  QString Shown() {
    OptionsDialog* dialog = window.options();
    QString shown = Child<QComboBox>(dialog, "olNameField")->currentText() +
                    QString(" mask %1").arg(dialog->GetMaskOption()) +
                    (Child<QCheckBox>(dialog, "StartPMBefore")->isChecked() ? " before" : "") +
                    (Child<QCheckBox>(dialog, "StartPMAfter")->isChecked() ? " after" : "");
    for (const char* box : kBoxes)
      shown += " " + Field(box)->text();
    return shown.replace(dir.path().c_str(), "~");
  }
  QLineEdit* Field(const char* name) { return Child<QLineEdit>(window.options(), name); }
  void Click(const char* name, QWidget* in = nullptr) {
    Child<QPushButton>(in ? in : window.options(), name)->click();
    FlushDeletes();
  }
  BrowseDialog* Picker(const char* button) {
    Click(button);
    return window.options()->picker();
  }

  TempDir dir;
  FakePlatform fake;
  RunState state{dir / "program"};
  MainWindow window{state, fake.platform};
  QObject owner;
  std::vector<std::string> messages;
};

// It shows what is stored, one dialog at most, each stored mask its button (a
// stranger the default). Save refuses bad capacities with a message, keeping
// the dialog as typed; else it stores every box and reloads the settings at
// once, but not under a run. Cancel stores nothing.
TEST_F(OptionsTest, ShowsTheStoredSettingsAndSaveStoresTheBoxes) {
  Child<QAction>(&window, "Settings")->trigger();
  EXPECT_EQ(window.findChildren<OptionsDialog*>().size(), 1);
  EXPECT_EQ(
      Shown(),
      "Full Name mask 3 after ~/PhoneBook.mdb ~/Twinbook.mdb ~/logs/Log.txt ~/contacts 100 200");
  Child<QComboBox>(window.options(), "olNameField")->setCurrentText("File As");
  Child<QRadioButton>(window.options(), "none")->click();
  Child<QCheckBox>(window.options(), "StartPMBefore")->setChecked(true);
  Child<QCheckBox>(window.options(), "StartPMAfter")->setChecked(false);
  for (const char* box : kBoxes)
    Field(box)->setText(QString("/n/") + box);
  // clang-format off
  for (const auto& [names, numbers, message] : std::vector<std::tuple<QString, QString, std::string>>{
           {"25a", "250", "The quantities for the phone limitations must be numeric values."},
           {"300", "250", "The quantity limit for names cannot be greater than the quantity limit for numbers."}}) {
    // clang-format on
    Field("MaxNames")->setText(names);
    Field("MaxNumbers")->setText(numbers);
    AnswerMessageBox(&owner, messages);
    Click("save");
    EXPECT_EQ(messages.back(), message);
    EXPECT_EQ(Shown(), "File As mask 1 before /n/pbPath /n/SyPath /n/lgPath /n/ctPath " + names +
                           " " + numbers);
  }
  Field("MaxNames")->setText("007");
  Field("MaxNumbers")->setText("7");
  Click("save");
  EXPECT_EQ(window.options(), nullptr);
  EXPECT_EQ(
      Stored(),
      "ContactsPath=/n/ctPath LogPath=/n/lgPath ManagerPath=~/program/idenpm.exe MaskOption=1 "
      "NameField=File As NameLimit=7 NumberLimit=7 PMAfter=False PMBefore=True "
      "PhoneBookPath=/n/pbPath SyncPath=/n/SyPath");
  EXPECT_EQ(
      state.settings.NameField + state.settings.LogPath + std::to_string(state.settings.MaskOption),
      "File As/n/lgPath1");
  for (const auto& [stored, shown] : {std::pair{"2", "2"}, {"4", "4"}, {"7", "2"}}) {
    Store(QString("NameField=Nickname MaskOption=") + stored);
    EXPECT_EQ(Shown().section(' ', 0, 2), QString("Nickname mask ") + shown);
    Click("save");
  }
  state.RunInProgress = true;
  const QString before = Stored();
  Child<QAction>(&window, "Settings")->trigger();
  Field("lgPath")->setText("/l/Log.txt");
  Click("cancel");
  EXPECT_EQ(Stored(), before);
  Child<QAction>(&window, "Settings")->trigger();
  Field("lgPath")->setText("/l/Log.txt");
  Click("save");
  EXPECT_EQ(QString::fromStdString(state.settings.LogPath) + " " + Stored().section(' ', 1, 1),
            "/n/lgPath LogPath=/l/Log.txt");
  state.RunInProgress = false;
}

// A picker starts in the folder of the stored setting (home when that is gone)
// and lists its files; the file clicked or chosen with Enter, or the folder
// taken with OK, goes into its box; Cancel leaves the box alone.
TEST_F(OptionsTest, EachBrowseButtonPicksAPathForItsBox) {
  BrowseDialog* picker = Picker("BrowseLog");
  EXPECT_EQ(picker->windowTitle() + " " + picker->folder(),
            QString::fromStdString("Log File " + dir / "logs"));
  auto* list = Child<QListWidget>(picker, "brsFile");
  EXPECT_EQ(list->count() == 2 ? list->item(0)->text() + list->item(1)->text() : "",
            "Log.txtOld.txt");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(1)).center());
  for (const char* button : {"CancelBrowse", "OK"}) {
    picker = Picker("BrowseContacts");
    EXPECT_EQ(picker->windowTitle() + " " + picker->folder(),
              QString::fromStdString("Contacts Folder " + dir / "contacts"));
    picker->SetFolder(QString::fromStdString(dir / "contacts/work"));
    Click(button, picker);
  }
  fake.settings.Set("SyncPath", Path("~/gone/Twinbook.mdb"));
  ResetSyncState(state, fake.settings);
  picker = Picker("BrowseSync");
  EXPECT_EQ(picker->folder(), QDir::cleanPath(QDir::homePath()));
  picker->SetFolder(QString::fromStdString(dir / "logs"));
  list = Child<QListWidget>(picker, "brsFile");
  list->setFocus();
  list->setCurrentRow(0);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(Shown(),
            "Full Name mask 3 after ~/PhoneBook.mdb ~/logs/Log.txt ~/logs/Old.txt ~/contacts/work "
            "100 200");
}

}  // namespace
}  // namespace twinbook::testing
