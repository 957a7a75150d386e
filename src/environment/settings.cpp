#include "environment/settings.h"

#include <charconv>
#include <limits>

namespace twinbook {

namespace {

// Numbers are read as a whole text of decimal digits with an optional sign;
// surrounding blanks are tolerated, anything else makes the value absent.
template <typename T>
std::optional<T> ParseInteger(const std::optional<std::string>& stored) {
  if (!stored) {
    return std::nullopt;
  }
  std::string_view text = *stored;
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
    return std::nullopt;
  }
  return static_cast<T>(value);
}

std::optional<bool> ParseBoolean(const std::optional<std::string>& stored) {
  if (!stored) {
    return std::nullopt;
  }
  std::string lower;
  for (char c : *stored) {
    lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  if (lower == "true") {
    return true;
  }
  if (lower == "false") {
    return false;
  }
  // A number is true unless it is zero, as the stored texts of older
  // versions may be.
  if (std::optional<long long> number = ParseInteger<long long>(stored)) {
    return *number != 0;
  }
  return std::nullopt;
}

std::string Read(SettingsStore& store, const char* key, const std::string& fallback) {
  return store.Read(kSettingsSection, key).value_or(fallback);
}

}  // namespace

std::string DefaultPhoneBookPath(const std::string& dataFolder) {
  return dataFolder + "/PhoneBook.mdb";
}
std::string DefaultSyncPath(const std::string& dataFolder) {
  return dataFolder + "/Twinbook.mdb";
}
std::string DefaultLogPath(const std::string& dataFolder) {
  return dataFolder + "/SyncLog.txt";
}
std::string DefaultContactsPath(const std::string& dataFolder) {
  return dataFolder + "/Contacts";
}
std::string DefaultManagerPath(const std::string& toolFolder) {
  return toolFolder + "/idenpm.exe";
}

Settings LoadSettings(SettingsStore& store, const std::string& programFolder) {
  return LoadSettingsWithDefaultsIn(store, programFolder + "/Data");
}

Settings LoadSettingsWithDefaultsIn(SettingsStore& store, const std::string& dataFolder) {
  Settings s;
  s.NameField = Read(store, "NameField", "File As");
  s.MaskOption = ParseInteger<std::uint8_t>(store.Read(kSettingsSection, "MaskOption")).value_or(2);
  s.PhoneBookPath = Read(store, "PhoneBookPath", DefaultPhoneBookPath(dataFolder));
  s.SyncPath = Read(store, "SyncPath", DefaultSyncPath(dataFolder));
  s.LogPath = Read(store, "LogPath", DefaultLogPath(dataFolder));
  s.PMBefore = ParseBoolean(store.Read(kSettingsSection, "PMBefore")).value_or(true);
  s.PMAfter = ParseBoolean(store.Read(kSettingsSection, "PMAfter")).value_or(true);
  s.NameLimit = ParseInteger<std::int32_t>(store.Read(kSettingsSection, "NameLimit")).value_or(0);
  s.NumberLimit =
      ParseInteger<std::int32_t>(store.Read(kSettingsSection, "NumberLimit")).value_or(250);
  s.ContactsPath = Read(store, "ContactsPath", DefaultContactsPath(dataFolder));

  if (s.NameField.empty()) {
    s.NameField = "File As";
  }
  if (s.MaskOption == 0 || s.MaskOption > 4) {
    s.MaskOption = 2;
  }
  if (s.PhoneBookPath.empty()) {
    s.PhoneBookPath = DefaultPhoneBookPath(dataFolder);
  }
  if (s.SyncPath.empty()) {
    s.SyncPath = DefaultSyncPath(dataFolder);
  }
  if (s.LogPath.empty()) {
    s.LogPath = DefaultLogPath(dataFolder);
  }
  if (s.ContactsPath.empty()) {
    s.ContactsPath = DefaultContactsPath(dataFolder);
  }
  // NameLimit 0 means "no limit on names", so it is never repaired; the
  // number capacity must always hold a limit.
  if (s.NumberLimit == 0) {
    s.NumberLimit = s.NameLimit != 0 ? s.NameLimit : 250;
  }
  return s;
}

bool IsAllDigits(const std::string& text) {
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

namespace {

// A capacity is a text of digits whose value fits the phone's 16-bit
// counters. An empty text has no value at all, so it is refused as well.
std::optional<int> CapacityValue(const std::string& text) {
  if (text.empty() || !IsAllDigits(text)) {
    return std::nullopt;
  }
  // A text too long even for a long long fails to parse: also out of range.
  std::optional<long long> value = ParseInteger<long long>(text);
  if (!value || *value > std::numeric_limits<std::int16_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

}  // namespace

std::optional<std::string> SaveSettings(SettingsStore& store, const SettingsForm& form,
                                        const std::string& managerPath) {
  std::optional<int> names = CapacityValue(form.NameLimitText);
  std::optional<int> numbers = CapacityValue(form.NumberLimitText);
  if (!names || !numbers) {
    return std::string(kNotNumericMessage);
  }
  if (*names > *numbers) {
    return std::string(kNamesAboveNumbersMessage);
  }
  store.Write(kSettingsSection, "NameField", form.NameField);
  store.Write(kSettingsSection, "MaskOption", std::to_string(form.MaskOption));
  store.Write(kSettingsSection, "NameLimit", std::to_string(*names));
  store.Write(kSettingsSection, "NumberLimit", std::to_string(*numbers));
  store.Write(kSettingsSection, "PMBefore", form.PMBefore ? "True" : "False");
  store.Write(kSettingsSection, "PMAfter", form.PMAfter ? "True" : "False");
  store.Write(kSettingsSection, "PhoneBookPath", form.PhoneBookPath);
  store.Write(kSettingsSection, "SyncPath", form.SyncPath);
  store.Write(kSettingsSection, "LogPath", form.LogPath);
  store.Write(kSettingsSection, "ContactsPath", form.ContactsPath);
  store.Write(kSettingsSection, "ManagerPath", managerPath);
  return std::nullopt;
}

}  // namespace twinbook
