#include "ui/options_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTreeView>
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
           {"/", ""}, {"SyncLog.txt", ""}, {"", ""}, {"Data/Log.txt", "Data"}, {"//x", "/"},
           {"/a b/c'd/\"e\".txt", "/a b/c'd"}}) {
    // clang-format on
    EXPECT_EQ(FolderOfPath(path), folder) << path;
  }
}

const char* const kBoxes[] = {"pbPath", "SyPath", "lgPath", "ctPath", "MaxNames", "MaxNumbers"};

// The Options dialog opened from the Tools menu over stored settings, with
// files in a temporary folder for the pickers to list; "~" is that folder.
class OptionsTest : public ::testing::Test {
 protected:
  OptionsTest() {
    std::filesystem::create_directories(dir / "contacts/work");
    std::filesystem::create_directories(dir / "logs");
    for (const char* file : {"PhoneBook.mdb", "Twinbook.mdb", "logs/Log.txt", "logs/Old.txt"}) {
      WriteFile(dir / file, "");
    }
    Store(
        "NameField=Full Name MaskOption=3 PMBefore=False PMAfter=True NameLimit=100 "
        "NumberLimit=200 PhoneBookPath=~/PhoneBook.mdb SyncPath=~/Twinbook.mdb "
        "LogPath=~/logs/Log.txt ContactsPath=~/contacts");
  }
  // Stores the settings written as "Key=value ..." and opens the dialog.
  void Store(const QString& settings) {
    for (const QString& setting : settings.split(QRegularExpression(" (?=[A-Za-z]+=)"))) {
      fake.settings.Set(setting.section('=', 0, 0).toStdString(), Path(setting.section('=', 1)));
    }
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
  QStringList Files(BrowseDialog* picker) {
    QStringList names;
    for (auto* item : Child<QListWidget>(picker, "brsFile")->findItems("*", Qt::MatchWildcard))
      names << item->text();
    return names;
  }

  TempDir dir;
  FakePlatform fake;
  RunState state{dir / "program"};
  MainWindow window{state, fake.platform};
  QObject owner;
  std::vector<std::string> messages;
};

// It shows what is stored, one dialog at most; Save stores every box and
// reloads the settings at once, but not under a run, which keeps the ones it
// loaded. Each stored mask selects its button (a stranger the default).
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
  Child<QAction>(&window, "Settings")->trigger();
  Field("lgPath")->setText("/l/Log.txt");
  Click("save");
  EXPECT_EQ(QString::fromStdString(state.settings.LogPath) + " " + Stored().section(' ', 1, 1),
            "/n/lgPath LogPath=/l/Log.txt");
  state.RunInProgress = false;
}

// Save refuses bad capacities with a message and keeps the dialog as typed;
// Cancel stores nothing.
TEST_F(OptionsTest, SaveRefusesBadCapacitiesAndCancelStoresNothing) {
  const QString before = Stored();
  Field("lgPath")->setText("/elsewhere/log.txt");
  for (const auto& [names, numbers, message] :
       std::vector<std::tuple<QString, QString, std::string>>{
           {"25a", "250", "The quantities for the phone limitations must be numeric values."},
           {"300", "250",
            "The quantity limit for names cannot be greater than the quantity limit for "
            "numbers."}}) {
    Field("MaxNames")->setText(names);
    Field("MaxNumbers")->setText(numbers);
    AnswerMessageBox(&owner, messages);
    Click("save");
    EXPECT_EQ(messages.back(), message);
    EXPECT_EQ(
        Shown(),
        "Full Name mask 3 after ~/PhoneBook.mdb ~/Twinbook.mdb /elsewhere/log.txt ~/contacts " +
            names + " " + numbers);
  }
  Click("cancel");
  EXPECT_EQ(window.options(), nullptr);
  EXPECT_EQ(Stored(), before);
}

// A picker starts in the folder of the stored setting (home without one) and
// lists its files; the file clicked, chosen with Enter, or the folder with OK
// goes into its box, and Cancel leaves the box alone.
TEST_F(OptionsTest, EachBrowseButtonPicksAPathForItsBox) {
  BrowseDialog* picker = Picker("BrowseLog");
  EXPECT_EQ(picker->windowTitle() + " " + picker->folder(),
            "Log File " + QString::fromStdString(dir / "logs"));
  EXPECT_EQ(Files(picker), (QStringList{"Log.txt", "Old.txt"}));
  auto* list = Child<QListWidget>(picker, "brsFile");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(1)).center());

  picker = Picker("BrowsePhoneBook");
  EXPECT_EQ(picker->windowTitle() + " " + picker->folder(),
            "PhoneBook Database " + QString::fromStdString(dir.path()));
  auto* tree = Child<QTreeView>(picker, "BrsDir");
  tree->setCurrentIndex(
      qobject_cast<QFileSystemModel*>(tree->model())->index(QString::fromStdString(dir / "logs")));
  EXPECT_EQ(Files(picker), (QStringList{"Log.txt", "Old.txt"}));
  Click("OK", picker);

  list = Child<QListWidget>(Picker("BrowseSync"), "brsFile");
  list->setFocus();
  list->setCurrentRow(0);
  QTest::keyClick(list, Qt::Key_Down);
  ASSERT_NE(window.options()->picker(), nullptr);  // moving does not pick
  QTest::keyClick(list, Qt::Key_Return);

  for (const char* button : {"CancelBrowse", "OK"}) {
    picker = Picker("BrowseContacts");
    EXPECT_EQ(picker->windowTitle() + " " + picker->folder(),
              "Contacts Folder " + QString::fromStdString(dir / "contacts"));
    EXPECT_FALSE(Child<QListWidget>(picker, "brsFile")->isVisible());
    picker->SetFolder(QString::fromStdString(dir / "contacts/work"));
    Click(button, picker);
  }
  EXPECT_EQ(Shown(),
            "Full Name mask 3 after ~/logs/ ~/Twinbook.mdb ~/logs/Old.txt ~/contacts/work 100 200");

  for (const QString stored : {"Log.txt", "~/gone/Log.txt", "/Log.txt"}) {
    fake.settings.Set("LogPath", Path(stored));
    ResetSyncState(state, fake.settings);
    EXPECT_EQ(Picker("BrowseLog")->folder(),
              stored == "/Log.txt" ? "/" : QDir::cleanPath(QDir::homePath()));
    Click("OK", window.options()->picker());
  }
  EXPECT_EQ(Field("lgPath")->text(), "/");
}

}  // namespace
}  // namespace twinbook::testing
