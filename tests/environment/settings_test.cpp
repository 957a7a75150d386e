#include "environment/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "platform/qt/qt_settings_store.h"
#include "support/memory_settings_store.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::MemorySettingsStore;
using testing::TempDir;

const std::string kFolder = "/opt/twinbook";

// Every field of the settings, so that a case checks what it did not mean
// to change as well.
std::string Summary(const Settings& s) {
  return "|NameField=" + s.NameField + "|MaskOption=" + std::to_string(s.MaskOption) +
         "|NameLimit=" + std::to_string(s.NameLimit) +
         "|NumberLimit=" + std::to_string(s.NumberLimit) +
         "|PMBefore=" + std::to_string(s.PMBefore) + "|PMAfter=" + std::to_string(s.PMAfter) +
         "|PhoneBookPath=" + s.PhoneBookPath + "|SyncPath=" + s.SyncPath + "|LogPath=" + s.LogPath +
         "|ContactsPath=" + s.ContactsPath + "|";
}

const std::string kDefaults =
    "|NameField=File As|MaskOption=2|NameLimit=0|NumberLimit=250|PMBefore=1|PMAfter=1"
    "|PhoneBookPath=/opt/twinbook/Data/PhoneBook.mdb|SyncPath=/opt/twinbook/Data/Twinbook.mdb"
    "|LogPath=/opt/twinbook/Data/SyncLog.txt|ContactsPath=/opt/twinbook/Data/Contacts|";

// Stored keys and the fields of the loaded settings that differ from the
// defaults ("Key=value"); every other field keeps its default.
TEST(LoadSettingsTest, ConvertsAndRepairsStoredValues) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  const std::vector<std::pair<Pairs, std::vector<std::string>>> cases = {
      {{}, {}},
      {{{"MaskOption", "7"}}, {}},
      {{{"MaskOption", "0"}}, {}},
      {{{"MaskOption", "4"}}, {"MaskOption=4"}},
      {{{"MaskOption", "dots"}}, {}},
      {{{"MaskOption", "260"}}, {}},
      {{{"NumberLimit", "0"}, {"NameLimit", "300"}}, {"NumberLimit=300", "NameLimit=300"}},
      {{{"NumberLimit", "0"}, {"NameLimit", "0"}}, {}},
      {{{"NameLimit", "-5"}}, {"NameLimit=-5"}},
      {{{"NameLimit", "12x"}}, {}},
      {{{"NumberLimit", "99999999999"}}, {}},
      {{{"PMBefore", "False"}, {"PMAfter", "false"}}, {"PMBefore=0", "PMAfter=0"}},
      {{{"PMBefore", "0"}, {"PMAfter", "-1"}}, {"PMBefore=0"}},
      {{{"PMBefore", "maybe"}}, {}},
      {{{"NameField", ""}}, {}},
      {{{"NameField", "Company"}}, {"NameField=Company"}},
      {{{"PhoneBookPath", ""}, {"SyncPath", ""}, {"LogPath", ""}, {"ContactsPath", ""}}, {}},
      {{{"LogPath", "/tmp/my log.txt"}}, {"LogPath=/tmp/my log.txt"}},
  };
  for (const auto& [stored, changed] : cases) {
    MemorySettingsStore store;
    std::string what;
    for (const auto& [key, value] : stored) {
      store.Set(key, value);
      what += key + "=" + value + " ";
    }
    const std::string loaded = Summary(LoadSettings(store, kFolder));
    std::string expected = kDefaults;
    for (const std::string& field : changed) {
      const std::string key = field.substr(0, field.find('=') + 1);
      const size_t at = expected.find("|" + key) + 1;
      expected.replace(at, expected.find('|', at) - at, field);
    }
    EXPECT_EQ(loaded, expected) << what;
  }
}

SettingsForm ValidForm() {
  SettingsForm form;
  form.NameField = "Full Name";
  form.MaskOption = 3;
  form.NameLimitText = "100";
  form.NumberLimitText = "250";
  form.PMBefore = false;
  form.PMAfter = true;
  form.PhoneBookPath = "/p/PhoneBook.mdb";
  form.SyncPath = "/p/Twinbook.mdb";
  form.LogPath = "/p/SyncLog.txt";
  form.ContactsPath = "/p/Contacts";
  return form;
}

TEST(SaveSettingsTest, RefusesBadCapacitiesAndWritesNothing) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"300", "250", kNamesAboveNumbersMessage},
      {"25a", "250", kNotNumericMessage},
      {"25", "2 50", kNotNumericMessage},
      {"", "250", kNotNumericMessage},
      {"10", "", kNotNumericMessage},
      {"10", "32768", kNotNumericMessage},
      {"-1", "250", kNotNumericMessage},
      {"99999999999999999999999", "1", kNotNumericMessage},
      {"+1", "250", kNotNumericMessage},
      {"\xd9\xa3", "250", kNotNumericMessage},  // an Arabic-Indic digit is not ours
  };
  for (const auto& [names, numbers, message] : cases) {
    MemorySettingsStore store;
    SettingsForm form = ValidForm();
    form.NameLimitText = names;
    form.NumberLimitText = numbers;
    EXPECT_EQ(SaveSettings(store, form, "/p/idenpm.exe"), message) << names << " / " << numbers;
    EXPECT_TRUE(store.values.empty());
  }
}

TEST(SaveSettingsTest, AcceptsEqualAndLargestCapacities) {
  for (const auto& [names, numbers] :
       std::vector<std::pair<std::string, std::string>>{{"250", "250"}, {"0", "32767"}}) {
    MemorySettingsStore store;
    SettingsForm form = ValidForm();
    form.NameLimitText = names;
    form.NumberLimitText = numbers;
    EXPECT_EQ(SaveSettings(store, form, "/p/idenpm.exe"), std::nullopt);
    EXPECT_EQ(store.values["Settings/NameLimit"], names);
  }
}

// The real store: an INI file under XDG_CONFIG_HOME, as the program uses it.
TEST(QtSettingsStoreTest, SaveWritesTheIniFileAndLoadReadsItBack) {
  TempDir config;
  ASSERT_EQ(::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1), 0);
  {
    QtSettingsStore store;
    SettingsForm form = ValidForm();
    form.NameLimitText = "007";
    form.LogPath = "/p/a folder, with a comma/SyncLog.txt";
    ASSERT_EQ(SaveSettings(store, form, "/p/idenpm.exe"), std::nullopt);
  }
  const std::string ini = config / "Twinbook/Twinbook.conf";
  std::string content = testing::ReadFile(ini);
  for (const char* line : {"[Settings]", "NameLimit=7", "PMBefore=False", "PMAfter=True",
                           "ManagerPath=/p/idenpm.exe"}) {
    EXPECT_NE(content.find(line), std::string::npos) << line << " not in " << content;
  }
  QtSettingsStore again(ini);
  EXPECT_EQ(Summary(LoadSettings(again, kFolder)),
            "|NameField=Full Name|MaskOption=3|NameLimit=7|NumberLimit=250|PMBefore=0|PMAfter=1"
            "|PhoneBookPath=/p/PhoneBook.mdb|SyncPath=/p/Twinbook.mdb"
            "|LogPath=/p/a folder, with a comma/SyncLog.txt|ContactsPath=/p/Contacts|");

  // Hand-edited values that do not convert count as absent.
  const std::string edited = config / "edited.conf";
  testing::WriteFile(edited,
                     "[Settings]\nMaskOption=fancy\nPMAfter=perhaps\nNumberLimit=0\n"
                     "NameLimit=120\nSyncPath=/a,b/Twinbook.mdb\n");
  QtSettingsStore editedStore(edited);
  Settings s = LoadSettings(editedStore, kFolder);
  EXPECT_EQ(s.MaskOption, 2);
  EXPECT_TRUE(s.PMAfter);
  EXPECT_EQ(s.NumberLimit, 120);
  EXPECT_EQ(s.SyncPath, "/a,b/Twinbook.mdb");
}

}  // namespace
}  // namespace twinbook
