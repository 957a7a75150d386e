// Settings as loaded from what is stored and saved from the dialog's form,
// through the memory store and the real INI file; the Data folder a run
// finds by them.

#include "environment/settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "data_setup.h"
#include "engine/start_sync.h"
#include "platform/data_folder.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/fake_platform.h"
#include "support/memory_settings_store.h"
#include "support/scripted_view.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::MemorySettingsStore;

const std::string kPaths =
    "/t/Data/PhoneBook.mdb|/t/Data/Twinbook.mdb|/t/Data/SyncLog.txt|/t/Data/Contacts";

// Every field, so that a case checks what it did not mean to change too.
std::string Summary(const Settings& s) {
  return s.NameField + "|" + std::to_string(s.MaskOption) + "|" + std::to_string(s.NameLimit) +
         "|" + std::to_string(s.NumberLimit) + "|" + std::to_string(s.PMBefore) +
         std::to_string(s.PMAfter) + "|" + s.PhoneBookPath + "|" + s.SyncPath + "|" + s.LogPath +
         "|" + s.ContactsPath;
}

// Stored keys ("Key=value;...") and the settings loaded: NameField, mask,
// name and number capacity, the two manager flags, the paths by default.
TEST(LoadSettingsTest, ConvertsAndRepairsStoredValues) {
  const std::string defaults = "File As|2|0|250|11";
  std::vector<std::pair<std::string, std::string>> cases = {
      {"MaskOption=4", "File As|4|0|250|11"},
      {"MaskOption=  +4 ", "File As|4|0|250|11"},  // nor are blanks around a number or a sign
      {"NumberLimit=0;NameLimit=300", "File As|2|300|300|11"},
      {"NameLimit=-5", "File As|2|-5|250|11"},
      {"PMBefore=False;PMAfter=false", "File As|2|0|250|00"},
      {"PMBefore=0;PMAfter=-1", "File As|2|0|250|01"},
      {"NameField=Company", "Company|2|0|250|11"},
      {"LogPath=/tmp/my log.txt",
       "File As|2|0|250|11|/t/Data/PhoneBook.mdb|/t/Data/Twinbook.mdb|/tmp/my log.txt|/t/Data/"
       "Contacts"},
  };
  // Values out of range or not converting, each giving the defaults.
  for (const char* stored :
       {"", "MaskOption=7", "MaskOption=0", "MaskOption=dots", "MaskOption=260",
        "NumberLimit=0;NameLimit=0", "NameLimit=12x", "NumberLimit=99999999999", "PMBefore=maybe",
        "NameField=", "PhoneBookPath=;SyncPath=;LogPath=;ContactsPath="}) {
    cases.emplace_back(stored, defaults);
  }
  for (const auto& [stored, expected] : cases) {
    MemorySettingsStore store;
    std::istringstream pairs(stored);
    for (std::string pair; std::getline(pairs, pair, ';');)
      store.Set(pair.substr(0, pair.find('=')), pair.substr(pair.find('=') + 1));
    EXPECT_EQ(Summary(LoadSettings(store, "/t")),
              expected.find('/') == std::string::npos ? expected + "|" + kPaths : expected)
        << stored;
  }
}

SettingsForm Form(const std::string& names, const std::string& numbers) {
  return {"Full Name", 3, names, numbers, false, true, "/p/PB", "/p/S", "/p/L", "/p/C"};
}

// Capacities that are not plain digits within the phone's counters, or more
// names than numbers, are refused and nothing is written.
TEST(SaveSettingsTest, RefusesBadCapacitiesAndWritesNothing) {
  const std::tuple<std::string, std::string, std::optional<std::string>> cases[] = {
      {"300", "250", kNamesAboveNumbersMessage},
      {"25a", "250", kNotNumericMessage},
      {"", "250", kNotNumericMessage},
      {"10", "32768", kNotNumericMessage},
      {"99999999999999999999999", "1", kNotNumericMessage},
      {"\xd9\xa3", "250", kNotNumericMessage},
      {"250", "250", std::nullopt},
      {"0", "32767", std::nullopt},
  };
  for (const auto& [names, numbers, message] : cases) {
    MemorySettingsStore store;
    EXPECT_EQ(SaveSettings(store, Form(names, numbers), "/p/idenpm.exe"), message)
        << names << " / " << numbers;
    EXPECT_EQ(store.values.size(), message ? 0u : 11u);
  }
}

// The real store: an INI file under XDG_CONFIG_HOME, as the program uses it.
TEST(SaveSettingsTest, SaveWritesTheIniFileAndLoadReadsItBack) {
  testing::TempDir config;
  ASSERT_EQ(::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1), 0);
  SettingsForm form = Form("007", "250");
  form.LogPath = "/p/a folder, with a comma/SyncLog.txt";
  {
    QtSettingsStore store;
    ASSERT_EQ(SaveSettings(store, form, "/p/idenpm.exe"), std::nullopt);
  }
  const std::string ini = config / "Twinbook/Twinbook.conf";
  const std::string content = testing::ReadFile(ini);
  for (const char* line : {"[Settings]", "NameLimit=7", "PMBefore=False", "PMAfter=True",
                           "ManagerPath=/p/idenpm.exe"}) {
    EXPECT_NE(content.find(line), std::string::npos) << line << " not in " << content;
  }
  QtSettingsStore again(ini);
  EXPECT_EQ(Summary(LoadSettings(again, "/t")),
            "Full Name|3|7|250|01|/p/PB|/p/S|/p/a folder, with a comma/SyncLog.txt|/p/C");
}

// Over real folders in a temporary HOME: the layout main() decides, the
// user's data folder made at a first start, and a whole run that finds its
// stores by the defaults alone.
TEST(DataFolderTest, TheLayoutDecidesWhereARunFindsItsData) {
  enum Data { kNone, kBeside, kBesideReadOnly, kUserLacksPhoneBook };
  const struct {
    Data given;
    bool xdgSet;
    Layout layout;
    const char* data;  // below the temporary folder
    bool created;
  } cases[] = {
      {kBeside, true, Layout::kPortable, "program/Data", false},
      {kNone, true, Layout::kInstalled, "xdg/Twinbook", true},
      {kNone, false, Layout::kInstalled, "home/.local/share/Twinbook", true},
      {kBesideReadOnly, true, Layout::kInstalled, "xdg/Twinbook", true},
      {kUserLacksPhoneBook, true, Layout::kInstalled, "xdg/Twinbook", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data + std::string(c.given == kBesideReadOnly ? ", Data read-only" : ""));
    if (c.given == kBesideReadOnly && ::geteuid() == 0)
      continue;  // root may write anywhere: this case cannot be told apart
    testing::TempDir dir;
    const std::string program = dir / "program";
    ::setenv("HOME", (dir / "home").c_str(), 1);
    c.xdgSet ? ::setenv("XDG_DATA_HOME", (dir / "xdg").c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    fs::create_directories(program);
    if (c.given == kBeside || c.given == kBesideReadOnly) {
      InstallEmptyData(program + "/Data");
      fs::permissions(program + "/Data", fs::perms::owner_write,
                      c.given == kBeside ? fs::perm_options::add : fs::perm_options::remove);
    } else if (c.given == kUserLacksPhoneBook) {
      InstallEmptyData(dir / c.data);
      fs::remove(dir / c.data + "/PhoneBook.mdb");
    }

    const ProgramFolders folders = DecideProgramFolders(program);
    EXPECT_EQ(folders.layout, c.layout);
    EXPECT_EQ(folders.data, dir / c.data);
    EXPECT_EQ(CreateDataFolderIfAbsent(folders), c.created);
    if (c.created) {  // renamed into place whole: nothing left beside it
      EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(folders.data).parent_path()), {}), 1);
    }
    EXPECT_EQ(fs::exists(dir / "xdg") || fs::exists(dir / "home"), c.layout == Layout::kInstalled);

    SqliteDatabaseEngine databases;
    VCardContactStore contacts;
    MemorySettingsStore settings;
    settings.values = {{"Settings/PMBefore", "False"}, {"Settings/PMAfter", "False"}};
    testing::FakeLauncher launcher;
    Platform platform{databases, contacts, settings, launcher};
    RunState state(folders);
    testing::ScriptedView view;
    RunContext context{state, view, platform};
    ResetSyncState(state, settings);
    EXPECT_EQ(state.ManagerPath,
              (c.layout == Layout::kPortable ? program : folders.data) + "/idenpm.exe");
    StartSync(context);
    if (c.given == kUserLacksPhoneBook) {
      EXPECT_THAT(view.messages, ElementsAre(HasSubstr(folders.data + "/PhoneBook.mdb")));
      EXPECT_FALSE(fs::exists(folders.data + "/PhoneBook.mdb"));
    } else {
      EXPECT_EQ(view.status(), "Status: Synchronization complete.");
      EXPECT_TRUE(fs::exists(folders.data + "/SyncLog.txt"));
    }
    std::error_code noData;  // let the temporary folder go
    fs::permissions(program + "/Data", fs::perms::owner_write, fs::perm_options::add, noData);
  }
}

}  // namespace
}  // namespace twinbook
