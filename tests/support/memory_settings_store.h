#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/settings_store.h"

namespace twinbook::testing {

// Settings kept in a map, keyed "Section/Key".
class MemorySettingsStore : public SettingsStore {
 public:
  std::optional<std::string> Read(const std::string& section, const std::string& key) override {
    auto it = values.find(section + "/" + key);
    if (it == values.end())
      return std::nullopt;
    return it->second;
  }
  void Write(const std::string& section, const std::string& key,
             const std::string& value) override {
    values[section + "/" + key] = value;
  }
  // Convenience for tests: a key of the "Settings" section.
  void Set(const std::string& key, const std::string& value) { values["Settings/" + key] = value; }
  // The stores and the log of the Data folder at `data`, the manager off.
  void PointAtDataFolder(const std::string& data) {
    Set("PhoneBookPath", data + "/PhoneBook.mdb");
    Set("SyncPath", data + "/Twinbook.mdb");
    Set("LogPath", data + "/SyncLog.txt");
    Set("ContactsPath", data + "/Contacts");
    Set("PMBefore", "False");
    Set("PMAfter", "False");
  }

  std::map<std::string, std::string> values;
};

}  // namespace twinbook::testing
