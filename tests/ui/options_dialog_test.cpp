#include "ui/options_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
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

namespace twinbook {
namespace {

using testing::AnswerMessageBox;
using testing::Child;
using testing::FlushDeletes;
using testing::TempDir;

TEST(FolderOfPathTest, TheFolderBeforeTheLastSeparator) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/data/SyncLog.txt", "/data"},
      {"/home/ann/Data/PhoneBook.mdb", "/home/ann/Data"},
      {"/data/", ""},  // the only other "/" is the first character
      {"/data/sub/", "/data"},
      {"/x", "/"},  // a file in the root
      {"/", ""},
      {"SyncLog.txt", ""},
      {"", ""},
      {"Data/SyncLog.txt", "Data"},
      {"/a b/c'd/\"e\".txt", "/a b/c'd"},
      {"//x", "/"},
  };
  for (const auto& [path, folder] : cases) {
    EXPECT_EQ(FolderOfPath(path), folder) << path;
  }
}

class OptionsTest : public ::testing::Test {
 protected:
  OptionsTest() {
    std::filesystem::create_directories(dir / "data");
    std::filesystem::create_directories(dir / "logs");
    std::filesystem::create_directories(dir / "contacts/work");
    for (const char* file : {"data/PhoneBook.mdb", "data/Twinbook.mdb", "logs/SyncLog.txt",
                             "logs/Older.txt", "logs/.hidden"}) {
      testing::WriteFile(dir / file, "");
    }
    Stored("NameField", "Full Name");
    Stored("MaskOption", "3");
    Stored("PhoneBookPath", dir / "data/PhoneBook.mdb");
    Stored("SyncPath", dir / "data/Twinbook.mdb");
    Stored("LogPath", dir / "logs/SyncLog.txt");
    Stored("ContactsPath", dir / "contacts");
    Stored("PMBefore", "False");
    Stored("PMAfter", "True");
    Stored("NameLimit", "100");
    Stored("NumberLimit", "200");
    // The window loaded the settings before they were stored above.
    ResetSyncState(state, fake.settings);
  }
  void Stored(const std::string& key, const std::string& value) { fake.settings.Set(key, value); }
  std::string StoredValue(const std::string& key) {
    return fake.settings.Read("Settings", key).value_or("<absent>");
  }

  // Opens the dialog the way the user does, from the Tools menu.
  OptionsDialog* Open() {
    window->findChild<QAction*>("Settings")->trigger();
    OptionsDialog* dialog = window->options();
    EXPECT_NE(dialog, nullptr);
    return dialog;
  }
  QLineEdit* Field(const char* name) { return Child<QLineEdit>(window->options(), name); }
  QString Text(const char* name) { return Field(name)->text(); }
  void Click(const char* name) { Child<QPushButton>(window->options(), name)->click(); }

  TempDir dir;
  testing::FakePlatform fake;
  RunState state{dir / "program"};
  std::unique_ptr<MainWindow> window = [this] {
    auto w = std::make_unique<MainWindow>(state, fake.platform);
    w->show();
    return w;
  }();
  QObject owner;
  std::vector<std::string> messages;
};

TEST_F(OptionsTest, OpensWithTheStoredValuesAsLaidOut) {
  OptionsDialog* dialog = Open();
  EXPECT_EQ(dialog->objectName(), "ChangeSettings");
  EXPECT_EQ(dialog->windowTitle(), "Options");
  EXPECT_FALSE(dialog->isModal());
  EXPECT_EQ(dialog->parentWidget(), window.get());

  const std::vector<std::pair<const char*, const char*>> labels = {
      {"lbNameField", "Outlook name field to match with the PhoneBook:"},
      {"lbPBPath", "Full path and name for the iDEN PhoneBook database:"},
      {"lbSyncPath", "Full path and name for the Sync database:"},
      {"lblogpath", "Full path and name for the log file:"},
      {"lbContactsPath", "Full path of the contacts folder:"},
      {"lbMaxNames", "Capacity for names:"},
      {"lbMaxNumbers", "Capacity for numbers:"},
  };
  for (const auto& [name, caption] : labels) {
    EXPECT_EQ(Child<QLabel>(dialog, name)->text(), caption);
  }
  const std::vector<std::pair<const char*, const char*>> frames = {
      {"Files", "Files"},
      {"PhoneMask", "Phone number masking for Outlook:"},
      {"StartPhoneBook", "Start the PhoneBook Manager:"},
      {"PhoneCapacity", "Phone capacity:"},
  };
  for (const auto& [name, caption] : frames) {
    EXPECT_EQ(Child<QGroupBox>(dialog, name)->title(), caption);
  }
  const std::vector<std::pair<const char*, const char*>> buttons = {
      {"none", "None: nnnnnnnnnn"},
      {"parenth", "(nnn) nnn-nnnn"},
      {"dashes", "nnn-nnn-nnnn"},
      {"dots", "nnn.nnn.nnnn"},
      {"StartPMBefore", "Before each synchronization"},
      {"StartPMAfter", "After each synchronization"},
      {"BrowsePhoneBook", "..."},
      {"BrowseSync", "..."},
      {"BrowseLog", "..."},
      {"BrowseContacts", "..."},
      {"save", "Save"},
      {"cancel", "Cancel"},
  };
  for (const auto& [name, caption] : buttons) {
    EXPECT_EQ(Child<QAbstractButton>(dialog, name)->text(), caption);
  }

  auto* nameField = Child<QComboBox>(dialog, "olNameField");
  EXPECT_EQ(nameField->count(), 2);
  EXPECT_EQ(nameField->itemText(0), "File As");
  EXPECT_EQ(nameField->itemText(1), "Full Name");
  EXPECT_EQ(nameField->currentText(), "Full Name");
  EXPECT_TRUE(Child<QRadioButton>(dialog, "dashes")->isChecked());
  EXPECT_EQ(dialog->GetMaskOption(), 3);
  EXPECT_EQ(Text("MaxNames"), "100");
  EXPECT_EQ(Text("MaxNumbers"), "200");
  EXPECT_FALSE(Child<QCheckBox>(dialog, "StartPMBefore")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(dialog, "StartPMAfter")->isChecked());
  EXPECT_EQ(Text("pbPath").toStdString(), dir / "data/PhoneBook.mdb");
  EXPECT_EQ(Text("SyPath").toStdString(), dir / "data/Twinbook.mdb");
  EXPECT_EQ(Text("lgPath").toStdString(), dir / "logs/SyncLog.txt");
  EXPECT_EQ(Text("ctPath").toStdString(), dir / "contacts");
}

TEST_F(OptionsTest, AtMostOneIsOpen) {
  OptionsDialog* first = Open();
  OptionsDialog* second = Open();
  EXPECT_EQ(first, second);
  EXPECT_EQ(window->findChildren<OptionsDialog*>().size(), 1);
}

TEST_F(OptionsTest, EachMaskOptionSelectsItsButtonAndIsSavedBack) {
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"1", "none"}, {"2", "parenth"}, {"3", "dashes"}, {"4", "dots"}, {"7", "parenth"}};
  for (const auto& [stored, button] : cases) {
    SCOPED_TRACE(stored);
    Stored("MaskOption", stored);
    ResetSyncState(state, fake.settings);
    OptionsDialog* dialog = Open();
    EXPECT_TRUE(Child<QRadioButton>(dialog, button)->isChecked());
    Click("save");
    FlushDeletes();
    EXPECT_EQ(window->options(), nullptr);
    EXPECT_EQ(StoredValue("MaskOption"), stored == "7" ? "2" : stored);
  }
}

TEST_F(OptionsTest, CancelStoresNothing) {
  const auto before = fake.settings.values;
  const Settings loaded = state.settings;
  Open();
  Child<QComboBox>(window->options(), "olNameField")->setCurrentText("File As");
  Child<QRadioButton>(window->options(), "dots")->click();
  for (const char* name : {"MaxNames", "MaxNumbers", "pbPath", "SyPath", "lgPath", "ctPath"}) {
    Field(name)->setText("1");
  }
  Child<QCheckBox>(window->options(), "StartPMBefore")->setChecked(true);
  Child<QCheckBox>(window->options(), "StartPMAfter")->setChecked(false);
  Click("cancel");
  FlushDeletes();
  EXPECT_EQ(window->options(), nullptr);
  EXPECT_EQ(fake.settings.values, before);
  EXPECT_EQ(state.settings.LogPath, loaded.LogPath);

  Open();
  EXPECT_EQ(Text("MaxNames"), "100");
  EXPECT_EQ(Text("lgPath").toStdString(), dir / "logs/SyncLog.txt");
  EXPECT_TRUE(Child<QRadioButton>(window->options(), "dashes")->isChecked());
}

TEST_F(OptionsTest, SaveRefusesBadCapacitiesAndKeepsTheDialogAsTyped) {
  const auto before = fake.settings.values;
  Open();
  const std::vector<std::tuple<QString, QString, std::string>> refused = {
      {"25a", "250", "The quantities for the phone limitations must be numeric values."},
      {"300", "250",
       "The quantity limit for names cannot be greater than the quantity limit "
       "for numbers."},
  };
  for (const auto& [names, numbers, message] : refused) {
    SCOPED_TRACE(names.toStdString() + " / " + numbers.toStdString());
    messages.clear();
    Field("MaxNames")->setText(names);
    Field("MaxNumbers")->setText(numbers);
    Field("lgPath")->setText("/elsewhere/log.txt");
    AnswerMessageBox(&owner, messages);
    Click("save");
    EXPECT_EQ(messages, std::vector<std::string>{message});
    FlushDeletes();
    ASSERT_NE(window->options(), nullptr);
    EXPECT_TRUE(window->options()->isVisible());
    EXPECT_EQ(Text("MaxNames"), names);
    EXPECT_EQ(Text("MaxNumbers"), numbers);
    EXPECT_EQ(Text("lgPath"), "/elsewhere/log.txt");
    EXPECT_EQ(fake.settings.values, before);
  }
}

TEST_F(OptionsTest, SaveStoresEveryFieldAndReloadsTheSettings) {
  Open();
  Child<QComboBox>(window->options(), "olNameField")->setCurrentText("File As");
  Child<QRadioButton>(window->options(), "none")->click();
  Field("MaxNames")->setText("007");
  Field("MaxNumbers")->setText("7");
  Child<QCheckBox>(window->options(), "StartPMBefore")->setChecked(true);
  Child<QCheckBox>(window->options(), "StartPMAfter")->setChecked(false);
  Field("pbPath")->setText("/p/PhoneBook.mdb");
  Field("SyPath")->setText("/s/Twinbook.mdb");
  Field("lgPath")->setText("/l/Log.txt");
  Field("ctPath")->setText("/c/Contacts");
  Click("save");
  FlushDeletes();
  EXPECT_EQ(window->options(), nullptr);

  const std::vector<std::pair<std::string, std::string>> expected = {
      {"NameField", "File As"},
      {"MaskOption", "1"},
      {"NameLimit", "7"},
      {"NumberLimit", "7"},
      {"PMBefore", "True"},
      {"PMAfter", "False"},
      {"PhoneBookPath", "/p/PhoneBook.mdb"},
      {"SyncPath", "/s/Twinbook.mdb"},
      {"LogPath", "/l/Log.txt"},
      {"ContactsPath", "/c/Contacts"},
      {"ManagerPath", dir / "program/idenpm.exe"},
  };
  for (const auto& [key, value] : expected) {
    EXPECT_EQ(StoredValue(key), value) << key;
  }
  // Reloaded at once.
  EXPECT_EQ(state.settings.NameField, "File As");
  EXPECT_EQ(state.settings.MaskOption, 1);
  EXPECT_EQ(state.settings.NameLimit, 7);
  EXPECT_EQ(state.settings.LogPath, "/l/Log.txt");
  EXPECT_EQ(state.settings.ContactsPath, "/c/Contacts");
}

TEST_F(OptionsTest, ASaveDuringARunLeavesTheRunItsSettings) {
  state.RunInProgress = true;
  state.OutlookSet.Append().ContactName = "loaded by the run";
  Open();
  Field("lgPath")->setText("/l/Log.txt");
  Click("save");
  EXPECT_EQ(StoredValue("LogPath"), "/l/Log.txt");
  EXPECT_EQ(state.settings.LogPath, dir / "logs/SyncLog.txt");
  EXPECT_EQ(state.OutlookSet.Count(), 1);
  state.RunInProgress = false;
}

TEST_F(OptionsTest, ANicknameNameFieldIsShownAndKept) {
  Stored("NameField", "Nickname");
  ResetSyncState(state, fake.settings);
  Open();
  EXPECT_EQ(Child<QComboBox>(window->options(), "olNameField")->currentText(), "Nickname");
  Click("save");
  EXPECT_EQ(StoredValue("NameField"), "Nickname");
}

// The picker --------------------------------------------------------------

class BrowseTest : public OptionsTest {
 protected:
  BrowseDialog* OpenPicker(const char* button) {
    Open();
    Click(button);
    BrowseDialog* picker = window->options()->picker();
    EXPECT_NE(picker, nullptr);
    return picker;
  }
  QStringList Files(BrowseDialog* picker) {
    QStringList names;
    auto* list = Child<QListWidget>(picker, "brsFile");
    for (int i = 0; i < list->count(); ++i) {
      names << list->item(i)->text();
    }
    return names;
  }
};

TEST_F(BrowseTest, EachButtonOpensAPickerNamedAfterItsFieldInTheStoredFolder) {
  const std::vector<std::tuple<const char*, const char*, std::string>> cases = {
      {"BrowsePhoneBook", "PhoneBook Database", dir / "data"},
      {"BrowseSync", "Sync Database", dir / "data"},
      {"BrowseLog", "Log File", dir / "logs"},
  };
  for (const auto& [button, caption, folder] : cases) {
    SCOPED_TRACE(button);
    BrowseDialog* picker = OpenPicker(button);
    EXPECT_EQ(picker->objectName(), "Browse");
    EXPECT_EQ(picker->windowTitle(), caption);
    EXPECT_FALSE(picker->isModal());
    EXPECT_EQ(picker->parentWidget(), window->options());
    EXPECT_EQ(picker->folder().toStdString(), folder);
    EXPECT_NE(Child<QTreeView>(picker, "BrsDir"), nullptr);
    EXPECT_EQ(Child<QPushButton>(picker, "OK")->text(), "OK");
    EXPECT_EQ(Child<QPushButton>(picker, "CancelBrowse")->text(), "Cancel");
    Child<QPushButton>(picker, "CancelBrowse")->click();
  }
  EXPECT_EQ(Files(OpenPicker("BrowseLog")), (QStringList{"Older.txt", "SyncLog.txt"}));
}

TEST_F(BrowseTest, StartsFromTheStoredSettingNotTheField) {
  Open();
  Field("lgPath")->setText((dir / "data/x.txt").c_str());
  BrowseDialog* picker = OpenPicker("BrowseLog");
  EXPECT_EQ(picker->folder().toStdString(), dir / "logs");
}

TEST_F(BrowseTest, ClickingAFilePutsItsPathIntoTheField) {
  BrowseDialog* picker = OpenPicker("BrowseLog");
  auto* list = Child<QListWidget>(picker, "brsFile");
  QListWidgetItem* item = list->findItems("Older.txt", Qt::MatchExactly).value(0);
  ASSERT_NE(item, nullptr);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
  EXPECT_EQ(Text("lgPath").toStdString(), dir / "logs/Older.txt");
  FlushDeletes();
  EXPECT_EQ(window->options()->picker(), nullptr);
}

TEST_F(BrowseTest, EnterOnAFilePicksIt) {
  BrowseDialog* picker = OpenPicker("BrowseSync");
  auto* list = Child<QListWidget>(picker, "brsFile");
  list->setFocus();
  list->setCurrentRow(0);
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(window->options()->picker(), picker);  // moving does not pick
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(Text("SyPath").toStdString(), dir / "data/Twinbook.mdb");
}

TEST_F(BrowseTest, ChoosingAnotherFolderInTheTreeListsItsFiles) {
  BrowseDialog* picker = OpenPicker("BrowsePhoneBook");
  auto* tree = Child<QTreeView>(picker, "BrsDir");
  auto* model = qobject_cast<QFileSystemModel*>(tree->model());
  ASSERT_NE(model, nullptr);
  tree->setCurrentIndex(model->index(QString::fromStdString(dir / "logs")));
  EXPECT_EQ(picker->folder().toStdString(), dir / "logs");
  EXPECT_EQ(Files(picker), (QStringList{"Older.txt", "SyncLog.txt"}));
  auto* list = Child<QListWidget>(picker, "brsFile");
  list->setCurrentRow(1);
  Child<QPushButton>(picker, "OK")->click();
  EXPECT_EQ(Text("pbPath").toStdString(), dir / "logs/SyncLog.txt");
}

TEST_F(BrowseTest, OkWithoutAFilePutsTheFolderAndASlash) {
  BrowseDialog* picker = OpenPicker("BrowseLog");
  Child<QPushButton>(picker, "OK")->click();
  EXPECT_EQ(Text("lgPath").toStdString(), dir / "logs/");
}

TEST_F(BrowseTest, CancelLeavesTheFieldAsItWas) {
  BrowseDialog* picker = OpenPicker("BrowseLog");
  picker->SetFolder(QString::fromStdString(dir / "data"));
  Child<QListWidget>(picker, "brsFile")->setCurrentRow(0);
  Child<QPushButton>(picker, "CancelBrowse")->click();
  EXPECT_EQ(Text("lgPath").toStdString(), dir / "logs/SyncLog.txt");
  FlushDeletes();
  EXPECT_EQ(window->options()->picker(), nullptr);
}

TEST_F(BrowseTest, AFileInTheRoot) {
  Stored("LogPath", "/SyncLog.txt");
  ResetSyncState(state, fake.settings);
  BrowseDialog* picker = OpenPicker("BrowseLog");
  EXPECT_EQ(picker->folder(), "/");
  Child<QPushButton>(picker, "OK")->click();
  EXPECT_EQ(Text("lgPath"), "/");
}

TEST_F(BrowseTest, WithoutAUsableFolderItStartsAtHome) {
  for (const std::string& stored : {std::string("SyncLog.txt"), dir / "gone/SyncLog.txt",
                                    dir / "logs/SyncLog.txt/x", std::string("/")}) {
    SCOPED_TRACE(stored);
    Stored("LogPath", stored);
    ResetSyncState(state, fake.settings);
    EXPECT_EQ(OpenPicker("BrowseLog")->folder(), QDir::cleanPath(QDir::homePath()));
  }
}

TEST_F(BrowseTest, TheContactsFolderIsPickedAsAFolder) {
  BrowseDialog* picker = OpenPicker("BrowseContacts");
  EXPECT_EQ(picker->windowTitle(), "Contacts Folder");
  EXPECT_EQ(picker->folder().toStdString(), dir / "contacts");
  EXPECT_FALSE(Child<QListWidget>(picker, "brsFile")->isVisible());
  picker->SetFolder(QString::fromStdString(dir / "contacts/work"));
  Child<QPushButton>(picker, "OK")->click();
  EXPECT_EQ(Text("ctPath").toStdString(), dir / "contacts/work");
}

}  // namespace
}  // namespace twinbook
