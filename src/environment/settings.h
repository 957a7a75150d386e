#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/settings_store.h"

namespace twinbook {

inline constexpr const char* kSettingsSection = "Settings";

// The settings as a run uses them, loaded and repaired.
struct Settings {
  std::string NameField = "File As";
  std::uint8_t MaskOption = 2;
  std::string PhoneBookPath;
  std::string SyncPath;
  std::string LogPath;
  bool PMBefore = true;
  bool PMAfter = true;
  std::int32_t NameLimit = 0;
  std::int32_t NumberLimit = 250;
  // The folder of vCard files that stands for the desktop's Contacts folder.
  std::string ContactsPath;
};

// Default paths inside the data folder (RunState::DataFolder).
std::string DefaultPhoneBookPath(const std::string& dataFolder);
std::string DefaultSyncPath(const std::string& dataFolder);
std::string DefaultLogPath(const std::string& dataFolder);
std::string DefaultContactsPath(const std::string& dataFolder);
// The PhoneBook Manager's program in `toolFolder` (RunState::ManagerFolder).
std::string DefaultManagerPath(const std::string& toolFolder);

// Reads every key with its default, the paths inside `dataFolder`, and
// repairs what a run cannot use. A stored value that does not convert to the
// key's type counts as absent; a stored path always wins over its default.
Settings LoadSettingsWithDefaultsIn(SettingsStore& store, const std::string& dataFolder);
// The same for a program in the portable layout: its data folder is
// `programFolder` + "/Data".
Settings LoadSettings(SettingsStore& store, const std::string& programFolder);

// What the Options dialog hands over to be saved: its fields as typed.
struct SettingsForm {
  std::string NameField;
  int MaskOption = 0;
  std::string NameLimitText;
  std::string NumberLimitText;
  bool PMBefore = false;
  bool PMAfter = false;
  std::string PhoneBookPath;
  std::string SyncPath;
  std::string LogPath;
  std::string ContactsPath;
};

inline constexpr const char* kNotNumericMessage =
    "The quantities for the phone limitations must be numeric values.";
inline constexpr const char* kNamesAboveNumbersMessage =
    "The quantity limit for names cannot be greater than the quantity limit for numbers.";

// Validates the form and, when it is valid, writes every key and returns
// nullopt. Otherwise writes nothing and returns the message to show.
std::optional<std::string> SaveSettings(SettingsStore& store, const SettingsForm& form,
                                        const std::string& managerPath);

// True when every character is a decimal digit; true for "".
bool IsAllDigits(const std::string& text);

}  // namespace twinbook
