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
  for (const auto& [path, folder] :
       std::vector<std::pair<std::string, std::string>>{{"/data/SyncLog.txt", "/data"},
                                                        {"/data/", ""},
                                                        {"/data/sub/", "/data"},
                                                        {"/x", "/"},
                                                        {"/", ""},
                                                        {"SyncLog.txt", ""},
                                                        {"", ""},
                                                        {"Data/Log.txt", "Data"},
                                                        {"//x", "/"},
                                                        {"/a b/c'd/\"e\".txt", "/a b/c'd"}}) {
    EXPECT_EQ(FolderOfPath(path), folder) << path;
  }
}

// The Options dialog opened from the Tools menu, over settings stored in a
// temporary folder with files for the pickers to list.
class OptionsTest : public ::testing::Test {
 protected:
  OptionsTest() {
    std::filesystem::create_directories(dir / "contacts/work");
    std::filesystem::create_directories(dir / "logs");
    for (const char* file :
         {"PhoneBook.mdb", "Twinbook.mdb", "logs/SyncLog.txt", "logs/Older.txt", "logs/.hidden"}) {
      WriteFile(dir / file, "");
    }
    for (const auto& [key, box, value] : Stored())
      fake.settings.Set(key, value);
    ResetSyncState(state, fake.settings);
    window.show();
    Child<QAction>(&window, "Settings")->trigger();
  }
  // Each setting with its box, as stored before the test.
  std::vector<std::tuple<std::string, const char*, std::string>> Stored() {
    return {{"NameField", "olNameField", "Full Name"},
            {"MaskOption", "dashes", "3"},
            {"PhoneBookPath", "pbPath", dir / "PhoneBook.mdb"},
            {"SyncPath", "SyPath", dir / "Twinbook.mdb"},
            {"LogPath", "lgPath", dir / "logs/SyncLog.txt"},
            {"ContactsPath", "ctPath", dir / "contacts"},
            {"PMBefore", "StartPMBefore", "False"},
            {"PMAfter", "StartPMAfter", "True"},
            {"NameLimit", "MaxNames", "100"},
            {"NumberLimit", "MaxNumbers", "200"}};
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
  std::string StoredValue(const std::string& key) {
    return fake.settings.Read("Settings", key).value_or("<absent>");
  }

  TempDir dir;
  FakePlatform fake;
  RunState state{dir / "program"};
  MainWindow window{state, fake.platform};
  QObject owner;
  std::vector<std::string> messages;
};

// Shows what is stored; Save stores every box and reloads the settings at once.
TEST_F(OptionsTest, ShowsTheStoredValuesAndSaveStoresTheBoxes) {
  OptionsDialog* dialog = window.options();
  Child<QAction>(&window, "Settings")->trigger();
  EXPECT_EQ(window.findChildren<OptionsDialog*>(), QList<OptionsDialog*>{dialog});  // at most one
  EXPECT_EQ(Child<QComboBox>(dialog, "olNameField")->currentText(), "Full Name");
  EXPECT_TRUE(Child<QRadioButton>(dialog, "dashes")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(dialog, "StartPMBefore")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(dialog, "StartPMAfter")->isChecked());
  for (const auto& [key, box, value] : Stored()) {
    if (auto* field = dialog->findChild<QLineEdit*>(box)) {
      EXPECT_EQ(field->text().toStdString(), value) << box;
    }
  }
  Child<QComboBox>(dialog, "olNameField")->setCurrentText("File As");
  Child<QRadioButton>(dialog, "none")->click();
  Child<QCheckBox>(dialog, "StartPMBefore")->setChecked(true);
  Child<QCheckBox>(dialog, "StartPMAfter")->setChecked(false);
  for (const char* box : {"pbPath", "SyPath", "lgPath", "ctPath"})
    Field(box)->setText(QString("/n/") + box);
  Field("MaxNames")->setText("007");
  Field("MaxNumbers")->setText("7");
  Click("save");
  EXPECT_EQ(window.options(), nullptr);
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"NameField", "File As"},
           {"MaskOption", "1"},
           {"NameLimit", "7"},
           {"NumberLimit", "7"},
           {"PMBefore", "True"},
           {"PMAfter", "False"},
           {"PhoneBookPath", "/n/pbPath"},
           {"SyncPath", "/n/SyPath"},
           {"LogPath", "/n/lgPath"},
           {"ContactsPath", "/n/ctPath"},
           {"ManagerPath", dir / "program/idenpm.exe"}}) {
    EXPECT_EQ(StoredValue(key), value) << key;
  }
  EXPECT_EQ(
      state.settings.NameField + state.settings.LogPath + std::to_string(state.settings.NameLimit),
      "File As/n/lgPath7");
}

// Each stored mask selects its button and is saved back (a stranger as the
// default); a nickname name field is kept; a save during a run leaves the run
// the settings it loaded.
TEST_F(OptionsTest, MaskOptionsNicknameAndASaveDuringARun) {
  Click("cancel");
  for (const auto& [stored, button, saved] :
       std::vector<std::tuple<std::string, const char*, std::string>>{
           {"1", "none", "1"}, {"2", "parenth", "2"}, {"4", "dots", "4"}, {"7", "parenth", "2"}}) {
    fake.settings.Set("MaskOption", stored);
    fake.settings.Set("NameField", "Nickname");
    ResetSyncState(state, fake.settings);
    Child<QAction>(&window, "Settings")->trigger();
    EXPECT_TRUE(Child<QRadioButton>(window.options(), button)->isChecked()) << stored;
    Click("save");
    EXPECT_EQ(StoredValue("MaskOption") + StoredValue("NameField"), saved + "Nickname");
  }
  state.RunInProgress = true;
  Child<QAction>(&window, "Settings")->trigger();
  Field("lgPath")->setText("/l/Log.txt");
  Click("save");
  EXPECT_EQ(StoredValue("LogPath"), "/l/Log.txt");
  EXPECT_EQ(state.settings.LogPath, dir / "logs/SyncLog.txt");
  state.RunInProgress = false;
}

// Save refuses bad capacities with a message and keeps the dialog as typed;
// Cancel stores nothing.
TEST_F(OptionsTest, SaveRefusesBadCapacitiesAndCancelStoresNothing) {
  const auto before = fake.settings.values;
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
    ASSERT_NE(window.options(), nullptr);
    EXPECT_EQ(Field("MaxNames")->text() + Field("MaxNumbers")->text() + Field("lgPath")->text(),
              names + numbers + "/elsewhere/log.txt");
  }
  Click("cancel");
  EXPECT_EQ(window.options(), nullptr);
  EXPECT_EQ(fake.settings.values, before);
}

// A picker starts in the folder of the stored setting (home when there is
// none), lists that folder's files, and puts the one clicked, the folder, or
// the one chosen with Enter into its box; Cancel leaves the box alone.
TEST_F(OptionsTest, EachBrowseButtonPicksAPathForItsBox) {
  BrowseDialog* picker = Picker("BrowseLog");
  EXPECT_EQ(picker->windowTitle(), "Log File");
  EXPECT_EQ(picker->folder().toStdString(), dir / "logs");
  EXPECT_EQ(Files(picker), (QStringList{"Older.txt", "SyncLog.txt"}));
  auto* list = Child<QListWidget>(picker, "brsFile");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(0)).center());
  EXPECT_EQ(Field("lgPath")->text().toStdString(), dir / "logs/Older.txt");

  picker = Picker("BrowsePhoneBook");
  EXPECT_EQ(picker->windowTitle() + picker->folder(),
            "PhoneBook Database" + QString::fromStdString(dir.path()));
  auto* tree = Child<QTreeView>(picker, "BrsDir");
  tree->setCurrentIndex(
      qobject_cast<QFileSystemModel*>(tree->model())->index(QString::fromStdString(dir / "logs")));
  EXPECT_EQ(Files(picker), (QStringList{"Older.txt", "SyncLog.txt"}));
  Click("OK", picker);
  EXPECT_EQ(Field("pbPath")->text().toStdString(), dir / "logs/");

  picker = Picker("BrowseSync");
  list = Child<QListWidget>(picker, "brsFile");
  list->setFocus();
  list->setCurrentRow(0);
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(window.options()->picker(), picker);  // moving does not pick
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(Field("SyPath")->text().toStdString(), dir / "Twinbook.mdb");

  picker = Picker("BrowseContacts");
  EXPECT_EQ(picker->windowTitle(), "Contacts Folder");
  EXPECT_FALSE(Child<QListWidget>(picker, "brsFile")->isVisible());
  picker->SetFolder(QString::fromStdString(dir / "contacts/work"));
  Click("CancelBrowse", picker);
  EXPECT_EQ(Field("ctPath")->text().toStdString(), dir / "contacts");
  picker = Picker("BrowseContacts");
  picker->SetFolder(QString::fromStdString(dir / "contacts/work"));
  Click("OK", picker);
  EXPECT_EQ(Field("ctPath")->text().toStdString(), dir / "contacts/work");

  for (const std::string& stored :
       {std::string("Log.txt"), dir / "gone/Log.txt", std::string("/Log.txt")}) {
    fake.settings.Set("LogPath", stored);
    ResetSyncState(state, fake.settings);
    EXPECT_EQ(Picker("BrowseLog")->folder(),
              stored == "/Log.txt" ? "/" : QDir::cleanPath(QDir::homePath()));
    Click("OK", window.options()->picker());
  }
  EXPECT_EQ(Field("lgPath")->text(), "/");
}

}  // namespace
}  // namespace twinbook::testing
