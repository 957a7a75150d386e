#include "environment/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <tuple>

#include "platform/qt_settings_store.h"
#include "support/memory_settings_store.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::MemorySettingsStore;
using testing::TempDir;

const std::string kFolder = "/opt/twinbook";

TEST(LoadSettingsTest, FreshUserGetsTheDefaults) {
  MemorySettingsStore store;
  Settings s = LoadSettings(store, kFolder);
  EXPECT_EQ(s.NameField, "File As");
  EXPECT_EQ(s.MaskOption, 2);
  EXPECT_EQ(s.PhoneBookPath, "/opt/twinbook/Data/PhoneBook.mdb");
  EXPECT_EQ(s.SyncPath, "/opt/twinbook/Data/Twinbook.mdb");
  EXPECT_EQ(s.LogPath, "/opt/twinbook/Data/SyncLog.txt");
  EXPECT_EQ(s.ContactsPath, "/opt/twinbook/Data/Contacts");
  EXPECT_TRUE(s.PMBefore);
  EXPECT_TRUE(s.PMAfter);
  EXPECT_EQ(s.NameLimit, 0);
  EXPECT_EQ(s.NumberLimit, 250);
}

// One stored key and what the loaded settings make of it.
struct StoredCase {
  std::vector<std::pair<std::string, std::string>> stored;
  std::function<bool(const Settings&)> expected;
  const char* what;
};

TEST(LoadSettingsTest, ConvertsAndRepairsStoredValues) {
  const std::vector<StoredCase> cases = {
      {{{"MaskOption", "7"}}, [](auto& s) { return s.MaskOption == 2; }, "mask 7 -> 2"},
      {{{"MaskOption", "0"}}, [](auto& s) { return s.MaskOption == 2; }, "mask 0 -> 2"},
      {{{"MaskOption", "4"}}, [](auto& s) { return s.MaskOption == 4; }, "mask 4 kept"},
      {{{"MaskOption", "dots"}}, [](auto& s) { return s.MaskOption == 2; }, "mask text absent"},
      {{{"MaskOption", "260"}}, [](auto& s) { return s.MaskOption == 2; }, "mask overflow"},
      {{{"NumberLimit", "0"}, {"NameLimit", "300"}},
       [](auto& s) { return s.NumberLimit == 300 && s.NameLimit == 300; },
       "numbers 0 take names"},
      {{{"NumberLimit", "0"}, {"NameLimit", "0"}},
       [](auto& s) { return s.NumberLimit == 250 && s.NameLimit == 0; },
       "both 0"},
      {{{"NameLimit", "-5"}}, [](auto& s) { return s.NameLimit == -5; }, "negative kept"},
      {{{"NameLimit", "12x"}}, [](auto& s) { return s.NameLimit == 0; }, "bad number absent"},
      {{{"NumberLimit", "99999999999"}},
       [](auto& s) { return s.NumberLimit == 250; },
       "32-bit overflow absent"},
      {{{"PMBefore", "False"}, {"PMAfter", "false"}},
       [](auto& s) { return !s.PMBefore && !s.PMAfter; },
       "booleans"},
      {{{"PMBefore", "0"}, {"PMAfter", "-1"}},
       [](auto& s) { return !s.PMBefore && s.PMAfter; },
       "numeric booleans"},
      {{{"PMBefore", "maybe"}}, [](auto& s) { return s.PMBefore; }, "bad boolean absent"},
      {{{"NameField", ""}}, [](auto& s) { return s.NameField == "File As"; }, "empty name field"},
      {{{"NameField", "Company"}},
       [](auto& s) { return s.NameField == "Company"; },
       "other name field kept"},
      {{{"PhoneBookPath", ""}, {"SyncPath", ""}, {"LogPath", ""}, {"ContactsPath", ""}},
       [](auto& s) {
         return s.PhoneBookPath == "/opt/twinbook/Data/PhoneBook.mdb" &&
                s.SyncPath == "/opt/twinbook/Data/Twinbook.mdb" &&
                s.LogPath == "/opt/twinbook/Data/SyncLog.txt" &&
                s.ContactsPath == "/opt/twinbook/Data/Contacts";
       },
       "empty paths"},
      {{{"LogPath", "/tmp/my log.txt"}},
       [](auto& s) { return s.LogPath == "/tmp/my log.txt"; },
       "path kept"},
  };
  for (const StoredCase& c : cases) {
    MemorySettingsStore store;
    for (const auto& [key, value] : c.stored) {
      store.Set(key, value);
    }
    EXPECT_TRUE(c.expected(LoadSettings(store, kFolder))) << c.what;
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

TEST(IsAllDigitsTest, OnlyDecimalDigits) {
  EXPECT_TRUE(IsAllDigits(""));
  EXPECT_TRUE(IsAllDigits("0123456789"));
  EXPECT_FALSE(IsAllDigits("12 "));
  EXPECT_FALSE(IsAllDigits("+1"));
  EXPECT_FALSE(IsAllDigits("\xd9\xa3"));  // an Arabic-Indic digit is not ours
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
  ASSERT_TRUE(std::filesystem::exists(ini));
  std::string content = testing::ReadFile(ini);
  EXPECT_NE(content.find("[Settings]"), std::string::npos);
  EXPECT_NE(content.find("NameLimit=7"), std::string::npos) << content;
  EXPECT_NE(content.find("PMBefore=False"), std::string::npos) << content;
  EXPECT_NE(content.find("PMAfter=True"), std::string::npos) << content;
  EXPECT_NE(content.find("ManagerPath=/p/idenpm.exe"), std::string::npos) << content;

  QtSettingsStore again(ini);
  Settings s = LoadSettings(again, kFolder);
  EXPECT_EQ(s.NameField, "Full Name");
  EXPECT_EQ(s.MaskOption, 3);
  EXPECT_EQ(s.NameLimit, 7);
  EXPECT_EQ(s.NumberLimit, 250);
  EXPECT_FALSE(s.PMBefore);
  EXPECT_TRUE(s.PMAfter);
  EXPECT_EQ(s.LogPath, "/p/a folder, with a comma/SyncLog.txt");
  EXPECT_EQ(s.ContactsPath, "/p/Contacts");
}

TEST(QtSettingsStoreTest, HandEditedValuesThatDoNotConvertCountAsAbsent) {
  TempDir config;
  const std::string ini = config / "Twinbook.conf";
  testing::WriteFile(ini,
                     "[Settings]\nMaskOption=fancy\nPMAfter=perhaps\nNumberLimit=0\n"
                     "NameLimit=120\nSyncPath=/a,b/Twinbook.mdb\n");
  QtSettingsStore store(ini);
  Settings s = LoadSettings(store, kFolder);
  EXPECT_EQ(s.MaskOption, 2);
  EXPECT_TRUE(s.PMAfter);
  EXPECT_EQ(s.NumberLimit, 120);
  EXPECT_EQ(s.SyncPath, "/a,b/Twinbook.mdb");
}

}  // namespace
}  // namespace twinbook
